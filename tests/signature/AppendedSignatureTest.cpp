#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "AppendedSignatureFormat.h"
#include "SignatureTestSupport.h"
#include "SignatureTrust.h"
#include "platform/Encoding.h"
#include "support/TestEnvironment.h"

namespace {

using namespace signature;
using signature_test::ReadBytes;
using signature_test::VerdictOf;
using signature_test::WriteBytes;

constexpr TrustVerdict kValid = Verdict(kTrustSuccess);
constexpr TrustVerdict kUnsigned = Verdict(kTrustNoSignature);
constexpr TrustVerdict kBadBlock = Verdict(kTrustNoSignature, kCryptBadMessage);
constexpr TrustVerdict kBadDigest = Verdict(kTrustBadDigest);

std::string Content() {
  std::string content;
  for (int i = 0; i < 5000; ++i) content += static_cast<char>('a' + i % 26);
  return content;
}

std::string BigEndian(uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16 & 0xFF),
          static_cast<char>(value >> 8 & 0xFF), static_cast<char>(value & 0xFF)};
}

class AppendedSignatureTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = env_.Root() + "/files";
    std::filesystem::create_directories(folder_);
    WriteBytes(folder_ + "/content", Content());
    signature_test::SignAppended(folder_ + "/content", folder_ + "/signed");
    signed_ = ReadBytes(folder_ + "/signed");
    ASSERT_GT(signed_.size(), Content().size() + kAppendedSignatureTrailerSize);
    infoAt_ = signed_.size() - kAppendedSignatureTrailerSize;
    derAt_ = Content().size();
  }

  // A detached signature over content made by the openssl command line.
  std::string OpenSslSignature(const std::vector<std::string>& options) {
    std::vector<std::string> arguments = {"cms",
                                          "-sign",
                                          "-binary",
                                          "-outform",
                                          "DER",
                                          "-signer",
                                          VORNIK_SIGNING_CERT,
                                          "-inkey",
                                          VORNIK_SIGNING_KEY,
                                          "-in",
                                          folder_ + "/content",
                                          "-out",
                                          folder_ + "/openssl.der"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    EXPECT_EQ(signature_test::Run(VORNIK_OPENSSL, arguments, folder_ + "/openssl.out"), 0);
    return ReadBytes(folder_ + "/openssl.der");
  }

  testing_support::TestEnvironment env_;
  std::string folder_;
  std::string signed_;
  size_t infoAt_ = 0;
  size_t derAt_ = 0;
};

TEST_F(AppendedSignatureTest, TrailerHasTheModuleSigningLayout) {
  const std::string expected = std::string("\0\0\x02\0\0\0\0\0", 8) + BigEndian(0x01020304) +
                               "~Module signature appended~\n";
  EXPECT_EQ(MakeAppendedSignatureTrailer(0x01020304), expected);
  // Our signer writes it with the length of the block it appends.
  const uint32_t derLength = static_cast<uint32_t>(infoAt_ - derAt_);
  EXPECT_EQ(signed_.substr(infoAt_), MakeAppendedSignatureTrailer(derLength));
  EXPECT_EQ(signed_.compare(0, derAt_, Content()), 0);
  EXPECT_EQ(signature_test::DerEnd(signed_, derAt_), infoAt_);
}

TEST_F(AppendedSignatureTest, TrailerParsing) {
  const auto trailer = [](uint32_t length) { return MakeAppendedSignatureTrailer(length); };
  struct Case {
    const char* name;
    std::string tail;
    uint64_t fileSize;
    AppendedTrailerStatus status;
    uint64_t contentLength;
  };
  const uint64_t cap = kAppendedSignatureMaxLength;
  const Case cases[] = {
      {"no magic", std::string(40, 'x'), 1000, AppendedTrailerStatus::kAbsent, 0},
      {"short file", "~Module", 7, AppendedTrailerStatus::kAbsent, 0},
      {"magic alone", "~Module signature appended~\n", 28, AppendedTrailerStatus::kMalformed, 0},
      {"magic with part of the info", std::string(5, '\0') + "~Module signature appended~\n", 33,
       AppendedTrailerStatus::kMalformed, 0},
      {"length zero", trailer(0), 1000, AppendedTrailerStatus::kMalformed, 0},
      {"length of all before the info", trailer(960), 1000, AppendedTrailerStatus::kFound, 0},
      {"length one past the start", trailer(961), 1000, AppendedTrailerStatus::kMalformed, 0},
      {"largest length", trailer(0xFFFFFFFF), 1000, AppendedTrailerStatus::kMalformed, 0},
      {"length at the cap", trailer(cap), cap + 100, AppendedTrailerStatus::kFound, 60},
      {"length above the cap", trailer(cap + 1), cap + 100, AppendedTrailerStatus::kMalformed, 0},
  };
  for (const Case& c : cases) {
    const AppendedSignatureLayout layout = ParseAppendedSignatureTrailer(c.tail, c.fileSize);
    EXPECT_EQ(layout.status, c.status) << c.name;
    if (c.status == AppendedTrailerStatus::kFound) {
      EXPECT_EQ(layout.contentLength, c.contentLength) << c.name;
      EXPECT_EQ(layout.contentLength + layout.signatureLength + kAppendedSignatureTrailerSize,
                c.fileSize)
          << c.name;
    }
  }
}

TEST_F(AppendedSignatureTest, ChangedAndDamagedFiles) {
  using Change = std::function<void(std::string&)>;
  const auto setInfo = [this](size_t at, char value) {
    return [this, at, value](std::string& f) { f[infoAt_ + at] = value; };
  };
  const auto setLength = [this](uint32_t length) {
    return [this, length](std::string& f) { f.replace(infoAt_ + 8, 4, BigEndian(length)); };
  };
  struct Case {
    const char* name;
    Change change;
    TrustVerdict expected;
  };
  const Case cases[] = {
      {"as signed", [](std::string&) {}, kValid},
      {"first content byte", [](std::string& f) { f[0] ^= 1; }, kBadDigest},
      {"middle content byte", [](std::string& f) { f[2500] ^= 0x40; }, kBadDigest},
      {"last content byte", [this](std::string& f) { f[derAt_ - 1] ^= 1; }, kBadDigest},
      {"content byte inserted", [](std::string& f) { f.insert(100, "x"); }, kBadDigest},
      {"content cut away", [this](std::string& f) { f.erase(0, derAt_); }, kBadDigest},
      {"signature value byte", [this](std::string& f) { f[infoAt_ - 5] ^= 1; }, kBadDigest},
      {"byte after the magic", [](std::string& f) { f += '\n'; }, kUnsigned},
      {"magic changed", [](std::string& f) { f[f.size() - 2] = '!'; }, kUnsigned},
      {"key-id type 1", setInfo(2, 1), kBadBlock},
      {"algorithm set", setInfo(0, 1), kBadBlock},
      {"signer name length set", setInfo(3, 4), kBadBlock},
      {"padding set", setInfo(6, 1), kBadBlock},
      {"length zero", setLength(0), kBadBlock},
      {"length one more", setLength(static_cast<uint32_t>(infoAt_ - derAt_ + 1)), kBadBlock},
      {"length one less", setLength(static_cast<uint32_t>(infoAt_ - derAt_ - 1)), kBadBlock},
      {"length past the start", setLength(static_cast<uint32_t>(infoAt_ + 1)), kBadBlock},
      {"largest length", setLength(0xFFFFFFFF), kBadBlock},
      {"garbage instead of DER",
       [this](std::string& f) { f.replace(derAt_, infoAt_ - derAt_, infoAt_ - derAt_, '\x5A'); },
       kBadBlock},
      {"DER length past the block",
       [this](std::string& f) { f.replace(derAt_ + 2, 2, "\xFF\xFF"); }, kBadBlock},
      {"trailer alone", [this](std::string& f) { f = f.substr(infoAt_); }, kBadBlock},
      {"magic alone", [](std::string& f) { f = f.substr(f.size() - 28); }, kBadBlock},
      {"empty file", [](std::string& f) { f.clear(); }, kUnsigned},
  };
  for (const Case& c : cases) {
    std::string file = signed_;
    c.change(file);
    EXPECT_EQ(VerdictOf(folder_, file), c.expected) << c.name;
  }
}

// Every cut in the signature block and trailer, every seventh in the content.
TEST_F(AppendedSignatureTest, TruncationsReadAsUnsigned) {
  for (size_t length = 0; length < signed_.size(); length += length < derAt_ ? 7 : 1) {
    ASSERT_EQ(VerdictOf(folder_, signed_.substr(0, length)), kUnsigned) << "cut at " << length;
  }
}

TEST_F(AppendedSignatureTest, EveryChangedTrailerBitIsRefused) {
  for (size_t at = infoAt_; at < signed_.size(); ++at) {
    for (int bit = 0; bit < 8; ++bit) {
      std::string file = signed_;
      file[at] = static_cast<char>(file[at] ^ (1 << bit));
      const TrustVerdict verdict = VerdictOf(folder_, file);
      ASSERT_TRUE(verdict == kUnsigned || verdict == kBadBlock)
          << "byte " << at - infoAt_ << " bit " << bit << ": " << signature_test::Describe(verdict);
    }
  }
}

// Damage to the signature block never goes unanswered or makes the check
// read outside the file (the sanitizer builds watch the reads).
TEST_F(AppendedSignatureTest, RandomDamageGetsADefinedVerdict) {
  for (const std::string& file : signature_test::RandomlyDamaged(signed_, derAt_, 600)) {
    const TrustVerdict verdict = VerdictOf(folder_, file);
    ASSERT_TRUE(signature_test::IsDefinedVerdict(verdict)) << signature_test::Describe(verdict);
  }
}

TEST_F(AppendedSignatureTest, OpenSslVerifiesOurSignature) {
  WriteBytes(folder_ + "/block.der", signed_.substr(derAt_, infoAt_ - derAt_));
  EXPECT_EQ(signature_test::Run(VORNIK_OPENSSL,
                                {"cms", "-verify", "-binary", "-noverify", "-inform", "DER", "-in",
                                 folder_ + "/block.der", "-content", folder_ + "/content", "-out",
                                 folder_ + "/verified"},
                                folder_ + "/verify.out"),
            0);
}

TEST_F(AppendedSignatureTest, SignaturesMadeByOpenSsl) {
  struct Case {
    const char* name;
    std::vector<std::string> options;
    TrustVerdict expected;
  };
  const Case cases[] = {
      // The kernel's module signing: no signed attributes.
      {"no attributes", {"-noattr", "-nosmimecap", "-md", "sha256"}, kValid},
      {"signed attributes", {"-md", "sha512"}, kValid},
      {"SHA-1", {"-noattr", "-md", "sha1"}, kValid},
      {"signer certificate left out", {"-noattr", "-nocerts"}, Verdict(kTrustNoSignerCertificate)},
      {"content inside the block", {"-noattr", "-nodetach"}, kBadBlock},
  };
  for (const Case& c : cases) {
    const std::string der = OpenSslSignature(c.options);
    ASSERT_FALSE(der.empty()) << c.name;
    const std::string file =
        Content() + der + MakeAppendedSignatureTrailer(static_cast<uint32_t>(der.size()));
    EXPECT_EQ(VerdictOf(folder_, file), c.expected) << c.name;
  }
}

TEST_F(AppendedSignatureTest, ABlockThatIsNotSignedDataIsRefused) {
  ASSERT_EQ(signature_test::Run(VORNIK_OPENSSL,
                                {"cms", "-data_create", "-binary", "-outform", "DER", "-in",
                                 folder_ + "/content", "-out", folder_ + "/data.der"},
                                folder_ + "/data.out"),
            0);
  const std::string der = ReadBytes(folder_ + "/data.der");
  EXPECT_EQ(VerdictOf(folder_, Content() + der +
                                   MakeAppendedSignatureTrailer(static_cast<uint32_t>(der.size()))),
            kBadBlock);
}

TEST_F(AppendedSignatureTest, EmptyContentSigned) {
  WriteBytes(folder_ + "/empty", "");
  signature_test::SignAppended(folder_ + "/empty", folder_ + "/empty-signed");
  EXPECT_EQ(VerifyFileTrust(platform::FromUtf8(folder_ + "/empty-signed")), kValid);
}

TEST_F(AppendedSignatureTest, FilesThatCannotBeRead) {
  EXPECT_EQ(VerifyFileTrust(platform::FromUtf8(folder_ + "/missing")), Verdict(kFileNotFound));
  EXPECT_EQ(VerifyFileTrust(platform::FromUtf8(folder_)), Verdict(kAccessDenied));
  // Opening a pipe for reading would wait for a writer.
  ASSERT_EQ(mkfifo((folder_ + "/pipe").c_str(), 0600), 0);
  EXPECT_EQ(VerifyFileTrust(platform::FromUtf8(folder_ + "/pipe")), Verdict(kAccessDenied));
}

}  // namespace
