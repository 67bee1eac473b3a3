// vornik-sign: signs a file in the appended-signature layout, for the build's
// test installers and for tests.
//
//   vornik-sign KEY CERT IN OUT
//
// KEY is a PEM private key, CERT the PEM certificate that goes with it. OUT
// (which may be IN) becomes IN followed by a detached PKCS#7 signature over
// IN, the 12-byte signature info and "~Module signature appended~\n".
// Exits 0 on success, 1 when signing fails (the reason on standard error),
// 2 for a bad command line.
#include <cstdio>
#include <string>

#include "AppendedSigner.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: vornik-sign KEY CERT IN OUT\n");
    return 2;
  }
  std::string error;
  if (!SignAppended(argv[1], argv[2], argv[3], argv[4], &error)) {
    std::fprintf(stderr, "vornik-sign: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
