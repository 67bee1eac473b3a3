#include <cstdint>

#include "FuntionImpl.h"
#include "Logging.h"
#include "SignatureMessage.h"
#include "SignatureTrust.h"
#include "platform/Encoding.h"

namespace FuntionImpl {

bool VerifyEmbeddedSignature(const std::wstring& filePath) {
  const signature::TrustVerdict verdict = signature::VerifyFileTrust(filePath);
  const signature::TrustMessage message = signature::DescribeTrustVerdict(verdict, filePath);
  LOG(INFO) << " VerifyEmbeddedSignature result is " << static_cast<int32_t>(verdict.result) << ", "
            << platform::ToUtf8(message.text);
  // The check keeps no state between files, so there is nothing to release
  // after it, whatever its outcome.
  return message.valid;
}

}  // namespace FuntionImpl
