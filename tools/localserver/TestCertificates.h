// A throw-away certificate authority and a server certificate for 127.0.0.1
// and "localhost", made with OpenSSL for local TLS servers in tests and the
// demo. Keys are EC P-256; certificates are valid from an hour ago for a
// year. Any thread.
#pragma once
#include <string>

#include "LocalHttpServer.h"

namespace localserver {

struct TestCertificates {
  std::string caCertificatePem;  // path of the CA certificate, for clients to trust
  TlsFiles server;               // paths of the server's certificate and key
};

// Writes ca.pem, server.pem and server.key into folder (created when
// missing). False when OpenSSL fails or a file cannot be written.
bool MakeTestCertificates(const std::string& folder, TestCertificates* out);

}  // namespace localserver
