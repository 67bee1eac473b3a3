#include "TlsContext.h"

#include <openssl/err.h>

#include <cstdio>
#include <cstring>

namespace localserver {
namespace {

// Offers only HTTP/1.1: a client that would rather speak h2 falls back.
int SelectHttp11(SSL*, const unsigned char** out, unsigned char* outLength, const unsigned char* in,
                 unsigned int inLength, void*) {
  static const char kHttp11[] = "http/1.1";
  for (unsigned int i = 0; i < inLength;) {
    const unsigned int length = in[i];
    if (i + 1 + length > inLength) break;
    if (length == sizeof kHttp11 - 1 && std::memcmp(in + i + 1, kHttp11, length) == 0) {
      *out = in + i + 1;
      *outLength = static_cast<unsigned char>(length);
      return SSL_TLSEXT_ERR_OK;
    }
    i += 1 + length;
  }
  return SSL_TLSEXT_ERR_NOACK;
}

void PrintTlsError(const char* what) {
  char text[256] = "";
  ERR_error_string_n(ERR_get_error(), text, sizeof text);
  std::fprintf(stderr, "localserver: %s: %s\n", what, text);
}

}  // namespace

TlsContext MakeTlsContext(const TlsFiles& files) {
  TlsContext context(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
  if (!context) {
    PrintTlsError("SSL_CTX_new");
    return context;
  }
  SSL_CTX* ctx = context.get();
  SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
  SSL_CTX_set_alpn_select_cb(ctx, SelectHttp11, nullptr);
  if (SSL_CTX_use_certificate_chain_file(ctx, files.certificateChainPem.c_str()) != 1) {
    PrintTlsError(files.certificateChainPem.c_str());
    context.reset();
  } else if (SSL_CTX_use_PrivateKey_file(ctx, files.privateKeyPem.c_str(), SSL_FILETYPE_PEM) != 1 ||
             SSL_CTX_check_private_key(ctx) != 1) {
    PrintTlsError(files.privateKeyPem.c_str());
    context.reset();
  }
  return context;
}

}  // namespace localserver
