// The signed content of an Authenticode signature, SpcIndirectDataContent:
//
//   SEQUENCE {
//     SEQUENCE { type OBJECT IDENTIFIER (PE image data), value ANY OPTIONAL }
//     SEQUENCE { SEQUENCE { digest algorithm, parameters }, digest OCTET STRING }
//   }
//
// The signer's message digest covers the content's value, that is the DER
// after the outer SEQUENCE's tag and length.
//
// Pure; any thread.
#pragma once
#include <cstddef>
#include <string>

namespace signature {

struct AuthenticodeContent {
  bool sound = false;
  int digestNid = 0;       // OpenSSL's id of the digest algorithm
  std::string digest;      // the image digest the signer vouches for
  size_t valueOffset = 0;  // where the outer SEQUENCE's value starts in der
};

// der is the whole content SEQUENCE. Not sound when it does not parse, holds
// more than the two elements, or names another subject than a PE image.
AuthenticodeContent ParseAuthenticodeContent(const std::string& der);

}  // namespace signature
