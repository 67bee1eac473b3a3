#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "FuntionImpl.h"
#include "SignatureMessage.h"
#include "SignatureTestSupport.h"
#include "platform/Encoding.h"
#include "support/TestEnvironment.h"

namespace {

using namespace signature;

TEST(SignatureMessageTest, MessageTable) {
  struct Case {
    TrustVerdict verdict;
    const wchar_t* text;
    bool valid;
  };
  const Case cases[] = {
      {Verdict(kTrustSuccess), L"The file \"/w/setup\" is signed and the signature was verified.",
       true},
      {Verdict(kTrustNoSignature), L"The file \"/w/setup\" is not signed.", false},
      {Verdict(kTrustNoSignature, kTrustSubjectFormUnknown),
       L"The file \"/w/setup\" is not signed.", false},
      {Verdict(kTrustNoSignature, kTrustProviderUnknown), L"The file \"/w/setup\" is not signed.",
       false},
      {Verdict(kTrustNoSignature, kCryptBadMessage),
       L"An unknown error occurred trying to verify the signature of the \"/w/setup\" file.",
       false},
      {Verdict(kTrustNoSignature, 0),
       L"An unknown error occurred trying to verify the signature of the \"/w/setup\" file.",
       false},
      {Verdict(kTrustSubjectNotTrusted), L"The signature is present, but not trusted.", false},
      {Verdict(kTrustExplicitDistrust),
       L"The signature is present, but sp"
       L"ecifically disallowed.",
       false},
      {Verdict(kCryptSecuritySettings),
       L"CRYPT_E_SECURITY_SETTINGS - The hash representing the subject or the publisher wasn't "
       L"explicitly trusted by the admin and admin policy has disabled user trust. No signature, "
       L"publisher or timestamp errors.",
       false},
      {Verdict(kTrustBadDigest), L"Error is: 0x80096010.", false},
      {Verdict(kFileNotFound), L"Error is: 0x80070002.", false},
      {Verdict(kTrustNoSignerCertificate), L"Error is: 0x800b0104.", false},
  };
  for (const Case& c : cases) {
    const TrustMessage message = DescribeTrustVerdict(c.verdict, L"/w/setup");
    EXPECT_EQ(message.text, c.text) << signature_test::Describe(c.verdict);
    EXPECT_EQ(message.valid, c.valid) << signature_test::Describe(c.verdict);
  }
}

TEST(SignatureMessageTest, LongPathIsCutTo255Characters) {
  const std::wstring path = L"/" + std::wstring(400, L'd') + L"/setup";
  const TrustMessage message = DescribeTrustVerdict(Verdict(kTrustNoSignature), path);
  EXPECT_EQ(message.text.size(), kTrustMessageMaxLength);
  EXPECT_EQ(message.text, (L"The file \"" + path).substr(0, kTrustMessageMaxLength));
}

TEST(VerifyEmbeddedSignatureTest, LogsTheResultAndItsMessage) {
  testing_support::TestEnvironment env;
  const std::string folder = env.Root() + "/files";
  std::filesystem::create_directories(folder);
  signature_test::WriteBytes(folder + "/plain", "no signature here");
  signature_test::SignAppended(folder + "/plain", folder + "/signed");
  struct Case {
    std::string path;
    bool valid;
    std::string line;
  };
  const Case cases[] = {
      {folder + "/plain", false,
       " VerifyEmbeddedSignature result is -2146762496, The file \"" + folder +
           "/plain\" is not signed."},
      {folder + "/signed", true,
       " VerifyEmbeddedSignature result is 0, The file \"" + folder +
           "/signed\" is signed and the signature was verified."},
      {folder + "/missing", false,
       " VerifyEmbeddedSignature result is -2147024894, Error is: 0x80070002."},
  };
  for (const Case& c : cases) {
    signature_test::LogRecorder log;
    EXPECT_EQ(FuntionImpl::VerifyEmbeddedSignature(platform::FromUtf8(c.path)), c.valid) << c.path;
    EXPECT_EQ(log.Lines(), std::vector<std::string>{c.line});
  }
}

}  // namespace
