// The server side TLS context of a LocalHttpServer. Internal to the
// localserver library; any thread.
#pragma once
#include <openssl/ssl.h>

#include <memory>

#include "LocalHttpServer.h"

namespace localserver {

using TlsContext = std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)>;

// TLS 1.2 or newer, offering only HTTP/1.1 by ALPN, with the certificate
// chain and key read from files. Empty (and a message on stderr) when OpenSSL
// fails or the files do not load or do not match.
TlsContext MakeTlsContext(const TlsFiles& files);

}  // namespace localserver
