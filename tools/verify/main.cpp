// vornik-verify: the program's signature check from the command line.
//
//   vornik-verify FILE
//
// Prints "result <code as signed decimal> (0x<code in hex>)" and, on the next
// line, the check's message, exactly as the program would log them. Exits 0
// only when FILE carries a valid signature, 1 when it does not, 2 for a bad
// command line.
#include <cinttypes>
#include <cstdint>
#include <cstdio>

#include "SignatureMessage.h"
#include "SignatureTrust.h"
#include "platform/Encoding.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vornik-verify FILE\n");
    return 2;
  }
  const std::wstring path = platform::FromUtf8(argv[1]);
  const signature::TrustVerdict verdict = signature::VerifyFileTrust(path);
  const signature::TrustMessage message = signature::DescribeTrustVerdict(verdict, path);
  std::printf("result %" PRId32 " (0x%08" PRIx32 ")\n%s\n", static_cast<int32_t>(verdict.result),
              verdict.result, platform::ToUtf8(message.text).c_str());
  return message.valid ? 0 : 1;
}
