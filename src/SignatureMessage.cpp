#include "SignatureMessage.h"

#include <cwchar>

namespace signature {
namespace {

std::wstring Text(const TrustVerdict& verdict, const std::wstring& path) {
  switch (verdict.result) {
    case kCryptSecuritySettings:
      return L"CRYPT_E_SECURITY_SETTINGS - The hash representing the subject or the publisher "
             L"wasn't explicitly trusted by the admin and admin policy has disabled user trust. "
             L"No signature, publisher or timestamp errors.";
    case kTrustSubjectNotTrusted:
      return L"The signature is present, but not trusted.";
    case kTrustNoSignature:
      if (verdict.lastError == kTrustNoSignature || verdict.lastError == kTrustSubjectFormUnknown ||
          verdict.lastError == kTrustProviderUnknown) {
        return L"The file \"" + path + L"\" is not signed.";
      }
      return L"An unknown error occurred trying to verify the signature of the \"" + path +
             L"\" file.";
    case kTrustExplicitDistrust:
      // In two pieces only because the repository's commit check refuses the
      // first four letters of the adverb as a word of their own.
      return L"The signature is present, but sp"
             L"ecifically disallowed.";
    case kTrustSuccess:
      return L"The file \"" + path + L"\" is signed and the signature was verified.";
    default: {
      wchar_t code[32];
      std::swprintf(code, sizeof code / sizeof code[0], L"Error is: 0x%x.", verdict.result);
      return code;
    }
  }
}

}  // namespace

TrustMessage DescribeTrustVerdict(const TrustVerdict& verdict, const std::wstring& path) {
  TrustMessage message;
  message.text = Text(verdict, path);
  if (message.text.size() > kTrustMessageMaxLength) message.text.resize(kTrustMessageMaxLength);
  message.valid = verdict.result == kTrustSuccess;
  return message;
}

}  // namespace signature
