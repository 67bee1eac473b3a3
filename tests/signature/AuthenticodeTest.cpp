#include <gtest/gtest.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "SignatureTestSupport.h"
#include "SignatureTrust.h"
#include "support/TestEnvironment.h"

namespace {

using namespace signature;
using signature_test::GetDword;
using signature_test::PutDword;
using signature_test::ReadBytes;
using signature_test::VerdictOf;
using signature_test::WriteBytes;
namespace pe = signature_test::pe;

constexpr TrustVerdict kValid = Verdict(kTrustSuccess);
constexpr TrustVerdict kUnsigned = Verdict(kTrustNoSignature);
constexpr TrustVerdict kBadImage = Verdict(kTrustNoSignature, kBadImageFormat);
constexpr TrustVerdict kBadBlock = Verdict(kTrustNoSignature, kCryptBadMessage);
constexpr TrustVerdict kBadDigest = Verdict(kTrustBadDigest);

// SPC_PE_IMAGE_DATAOBJ, as it stands in the signed content.
const std::string kPeImageDataOid("\x06\x0A\x2B\x06\x01\x04\x01\x82\x37\x02\x01\x0F", 12);

// The signed images of both kinds are made once: signing runs a program.
class AuthenticodeTest : public testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    folder_ = env_.Root() + "/files";
    std::filesystem::create_directories(folder_);
    image_ = signature_test::MakePeImage(Plus());
    signed_ = Signed(image_, "sha256");
    tableAt_ = GetDword(signed_, pe::CertificateEntryAt(Plus()));
    derAt_ = tableAt_ + 8;
    derEnd_ = signature_test::DerEnd(signed_, derAt_);
  }

  bool Plus() const { return GetParam(); }

  std::string Signed(const std::string& image, const std::string& digest) {
    WriteBytes(folder_ + "/image.exe", image);
    signature_test::SignPe(folder_ + "/image.exe", folder_ + "/signed.exe", digest);
    return ReadBytes(folder_ + "/signed.exe");
  }

  testing_support::TestEnvironment env_;
  std::string folder_;
  std::string image_;
  std::string signed_;
  size_t tableAt_ = 0;
  size_t derAt_ = 0;
  size_t derEnd_ = 0;
};

TEST_P(AuthenticodeTest, SignedByOsslsigncodeWithEachDigest) {
  EXPECT_EQ(VerdictOf(folder_, image_), kUnsigned);
  EXPECT_EQ(VerdictOf(folder_, signed_), kValid);
  for (const char* digest : {"sha1", "sha384", "sha512"}) {
    EXPECT_EQ(VerdictOf(folder_, Signed(image_, digest)), kValid) << digest;
  }
  EXPECT_EQ(VerdictOf(folder_, Signed(image_, "md5")), Verdict(kBadAlgorithm));
}

TEST_P(AuthenticodeTest, ChangedAndDamagedImages) {
  using Change = std::function<void(std::string&)>;
  const size_t entry = pe::CertificateEntryAt(Plus());
  const size_t section = pe::SectionTableAt(Plus());
  const auto setDword = [](size_t at, uint32_t value) {
    return [at, value](std::string& f) { PutDword(&f, at, value); };
  };
  struct Case {
    const char* name;
    Change change;
    TrustVerdict expected;
  };
  const Case cases[] = {
      {"as signed", [](std::string&) {}, kValid},
      // Authenticode leaves the checksum out of the hash.
      {"checksum", setDword(pe::kChecksumAt, 0x12345678), kValid},
      {"section byte", [](std::string& f) { f[pe::kSectionDataAt + 1] ^= 1; }, kBadDigest},
      {"header byte", [](std::string& f) { f[0x48] ^= 1; }, kBadDigest},
      {"DOS stub byte", [](std::string& f) { f[0x20] ^= 1; }, kBadDigest},
      {"signature value byte", [this](std::string& f) { f[derEnd_ - 3] ^= 1; }, kBadDigest},
      {"signed image digest",
       [this](std::string& f) {
         // The digest is the last element of the signed content, after the
         // image data: change its last byte.
         const size_t oid = f.find(kPeImageDataOid, derAt_);
         const size_t digestInfo = signature_test::DerEnd(f, oid - 2);
         f[signature_test::DerEnd(f, digestInfo) - 1] ^= 1;
       },
       kBadDigest},
      {"signed content beside the digest",
       [this](std::string& f) { f[f.find(kPeImageDataOid, derAt_) + 17] ^= 1; }, kBadDigest},
      {"table past the end", setDword(entry + 4, 0x7FFFFFF0), kBadImage},
      {"table not aligned", [&](std::string& f) { PutDword(&f, entry, tableAt_ + 4); }, kBadImage},
      {"table inside the headers", setDword(entry, 0x100), kBadImage},
      {"bytes after the table", [](std::string& f) { f += std::string(8, '\0'); }, kBadImage},
      {"only one of offset and size", setDword(entry, 0), kBadImage},
      {"table shorter than its header",
       [&](std::string& f) {
         f.resize(tableAt_ + 4);
         PutDword(&f, entry + 4, 4);
       },
       kBadImage},
      {"entry length short",
       [this](std::string& f) { PutDword(&f, tableAt_, GetDword(f, tableAt_) - 8); }, kBadBlock},
      {"entry length long",
       [this](std::string& f) { PutDword(&f, tableAt_, GetDword(f, tableAt_) + 8); }, kBadBlock},
      {"entry length below its header", [this](std::string& f) { PutDword(&f, tableAt_, 4); },
       kBadBlock},
      {"entry revision 1.0", [this](std::string& f) { f[tableAt_ + 5] = 0x01; }, kBadBlock},
      {"entry type X.509", [this](std::string& f) { f[tableAt_ + 6] = 0x01; }, kBadBlock},
      {"garbage instead of DER",
       [this](std::string& f) { f.replace(derAt_, derEnd_ - derAt_, derEnd_ - derAt_, '\x5A'); },
       kBadBlock},
      {"DER length past the block",
       [this](std::string& f) { f.replace(derAt_ + 2, 2, "\xFF\xFF"); }, kBadBlock},
      // Without padding the last byte belongs to the signature value.
      {"padding not zero", [](std::string& f) { f.back() ^= 1; },
       derEnd_ < signed_.size() ? kBadBlock : kBadDigest},
      {"section table past the end",
       [](std::string& f) { signature_test::PutWord(&f, pe::kSectionCountAt, 90); }, kBadImage},
      {"more sections than a loader takes",
       [](std::string& f) { signature_test::PutWord(&f, pe::kSectionCountAt, 97); }, kBadImage},
      {"section data past the end", setDword(section + 20, 0x7FFFFFF0), kBadImage},
      {"section data over the table", setDword(section + 16, 0x400), kBadImage},
      {"PE header past the end", setDword(0x3C, 0x7FFFFFF0), kBadImage},
      {"PE header pointer largest", setDword(0x3C, 0xFFFFFFFF), kBadImage},
      {"no PE signature", [](std::string& f) { f[0x41] = 'X'; }, kBadImage},
      {"optional header of no kind", [](std::string& f) { f[0x58] = 0x07; }, kBadImage},
      {"optional header too short", [](std::string& f) { signature_test::PutWord(&f, 0x54, 96); },
       kBadImage},
      {"optional header past the end",
       [](std::string& f) { signature_test::PutWord(&f, 0x54, 0xFFFF); }, kBadImage},
      {"four data directories",
       [this](std::string& f) { PutDword(&f, 0x58 + (Plus() ? 108 : 92), 4); }, kBadImage},
      {"MZ alone", [](std::string& f) { f = "MZ"; }, kBadImage},
      {"DOS header alone", [](std::string& f) { f.resize(64); }, kBadImage},
  };
  for (const Case& c : cases) {
    std::string file = signed_;
    c.change(file);
    EXPECT_EQ(VerdictOf(folder_, file), c.expected) << c.name;
  }
}

// Every cut inside the headers and the table's edges, every seventh elsewhere.
TEST_P(AuthenticodeTest, TruncationsAreRefused) {
  for (size_t length = 0; length < signed_.size();
       length += length < 0x400 || length + 64 > signed_.size() ? 1 : 7) {
    const TrustVerdict expected = length < 2 ? kUnsigned : kBadImage;
    ASSERT_EQ(VerdictOf(folder_, signed_.substr(0, length)), expected) << "cut at " << length;
  }
}

// Damage to the headers and the signature never goes unanswered or makes the
// check read outside the file (the sanitizer builds watch the reads).
TEST_P(AuthenticodeTest, RandomDamageGetsADefinedVerdict) {
  std::string headersAndTable = signed_.substr(0, pe::kSectionDataAt);
  for (const std::string& headers : signature_test::RandomlyDamaged(headersAndTable, 0, 300)) {
    const TrustVerdict verdict = VerdictOf(folder_, headers + signed_.substr(pe::kSectionDataAt));
    ASSERT_TRUE(signature_test::IsDefinedVerdict(verdict)) << signature_test::Describe(verdict);
  }
  for (const std::string& file : signature_test::RandomlyDamaged(signed_, tableAt_, 300)) {
    const TrustVerdict verdict = VerdictOf(folder_, file);
    ASSERT_TRUE(signature_test::IsDefinedVerdict(verdict)) << signature_test::Describe(verdict);
  }
}

TEST_P(AuthenticodeTest, SignerCertificateLeftOut) {
  // The same signature without the certificates it carries.
  const auto* cursor = reinterpret_cast<const unsigned char*>(signed_.data() + derAt_);
  std::unique_ptr<PKCS7, decltype(&PKCS7_free)> pkcs7(
      d2i_PKCS7(nullptr, &cursor, static_cast<long>(derEnd_ - derAt_)), PKCS7_free);
  ASSERT_TRUE(pkcs7 && PKCS7_type_is_signed(pkcs7.get()));
  sk_X509_pop_free(pkcs7->d.sign->cert, X509_free);
  pkcs7->d.sign->cert = nullptr;
  unsigned char* der = nullptr;
  const int length = i2d_PKCS7(pkcs7.get(), &der);
  ASSERT_GT(length, 0);
  std::string table(8, '\0');
  table += std::string(reinterpret_cast<char*>(der), static_cast<size_t>(length));
  OPENSSL_free(der);
  table.resize((table.size() + 7) / 8 * 8, '\0');
  PutDword(&table, 0, static_cast<uint32_t>(table.size()));
  PutDword(&table, 4, 0x00020200);
  std::string file = signed_.substr(0, tableAt_) + table;
  PutDword(&file, pe::CertificateEntryAt(Plus()) + 4, static_cast<uint32_t>(table.size()));
  EXPECT_EQ(VerdictOf(folder_, file), Verdict(kTrustNoSignerCertificate));
}

INSTANTIATE_TEST_SUITE_P(Kinds, AuthenticodeTest, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "Pe32Plus" : "Pe32";
                         });

}  // namespace
