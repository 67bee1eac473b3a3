#include "Authenticode.h"

#include <openssl/bio.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

#include "AuthenticodeContent.h"
#include "AuthenticodeImage.h"

namespace signature {
namespace {

constexpr uint64_t kWinCertificateHeaderSize = 8;
constexpr uint16_t kWinCertificateRevision2 = 0x0200;
constexpr uint16_t kWinCertificateTypePkcsSignedData = 0x0002;
constexpr uint64_t kMaxCertificateTableSize = 1024 * 1024;
constexpr char kSpcIndirectDataOid[] = "1.3.6.1.4.1.311.2.1.4";

using Pkcs7Ptr = std::unique_ptr<PKCS7, decltype(&PKCS7_free)>;
using DigestContextPtr = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;
using BioPtr = std::unique_ptr<BIO, decltype(&BIO_free)>;
using ObjectPtr = std::unique_ptr<ASN1_OBJECT, decltype(&ASN1_OBJECT_free)>;

constexpr TrustVerdict kMalformed = Verdict(kTrustNoSignature, kCryptBadMessage);

uint32_t LittleEndian(const std::string& bytes, size_t at, size_t count) {
  uint32_t value = 0;
  for (size_t i = count; i-- > 0;) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

bool OnlyZeros(const std::string& bytes, size_t from) {
  return bytes.find_first_not_of('\0', from) == std::string::npos;
}

// The PKCS#7 block of the certificate table, or nullptr when the table is not
// one WIN_CERTIFICATE holding exactly one DER block and its padding.
Pkcs7Ptr ParseCertificateTable(const std::string& table) {
  Pkcs7Ptr none(nullptr, PKCS7_free);
  const uint64_t length = LittleEndian(table, 0, 4);
  if (length < kWinCertificateHeaderSize || (length + 7) / 8 * 8 != table.size() ||
      LittleEndian(table, 4, 2) != kWinCertificateRevision2 ||
      LittleEndian(table, 6, 2) != kWinCertificateTypePkcsSignedData) {
    return none;
  }
  const auto* start = reinterpret_cast<const unsigned char*>(table.data()) + 8;
  const unsigned char* cursor = start;
  Pkcs7Ptr pkcs7(d2i_PKCS7(nullptr, &cursor, static_cast<long>(length - 8)), PKCS7_free);
  const size_t used = 8 + static_cast<size_t>(cursor - start);
  if (!pkcs7 || table.size() - used >= 8 || !OnlyZeros(table, used)) return none;
  return pkcs7;
}

// The DER of the signed SpcIndirectDataContent; empty when the block is not a
// SignedData over one with signers.
std::string SignedContent(PKCS7* pkcs7) {
  if (!PKCS7_type_is_signed(pkcs7) || pkcs7->d.sign == nullptr) return std::string();
  const STACK_OF(PKCS7_SIGNER_INFO)* signers = PKCS7_get_signer_info(pkcs7);
  if (signers == nullptr || sk_PKCS7_SIGNER_INFO_num(signers) == 0) return std::string();
  const PKCS7* contents = pkcs7->d.sign->contents;
  ObjectPtr expected(OBJ_txt2obj(kSpcIndirectDataOid, 1), ASN1_OBJECT_free);
  if (contents == nullptr || !expected || OBJ_cmp(contents->type, expected.get()) != 0 ||
      contents->d.other == nullptr || contents->d.other->type != V_ASN1_SEQUENCE) {
    return std::string();
  }
  const ASN1_STRING* sequence = contents->d.other->value.sequence;
  return std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(sequence)),
                     static_cast<size_t>(ASN1_STRING_length(sequence)));
}

const EVP_MD* DigestOf(int nid) {
  switch (nid) {
    case NID_sha1:
      return EVP_sha1();
    case NID_sha256:
      return EVP_sha256();
    case NID_sha384:
      return EVP_sha384();
    case NID_sha512:
      return EVP_sha512();
    default:
      return nullptr;
  }
}

// The image hash; false when the file could not be read.
bool HashImage(SignatureFileReader& file, const AuthenticodeImage& image, const EVP_MD* md,
               std::string* digest) {
  DigestContextPtr context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!context || EVP_DigestInit_ex(context.get(), md, nullptr) != 1) return false;
  const auto update = [&context](const char* bytes, size_t size) {
    return EVP_DigestUpdate(context.get(), bytes, size) == 1;
  };
  const uint64_t checksumEnd = image.checksumOffset + 4;
  const uint64_t entryEnd = image.certificateEntryOffset + 8;
  if (!file.ForEachPiece(0, image.checksumOffset, update) ||
      !file.ForEachPiece(checksumEnd, image.certificateEntryOffset - checksumEnd, update) ||
      !file.ForEachPiece(entryEnd, image.certificateTableOffset - entryEnd, update)) {
    return false;
  }
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (EVP_DigestFinal_ex(context.get(), out, &size) != 1) return false;
  digest->assign(reinterpret_cast<const char*>(out), size);
  return true;
}

// Every digest the SignedData announces is one we take. OpenSSL's verify
// would also refuse an unknown one, but on that path it loses the copy it
// makes of the content, once per file.
bool DigestSetSupported(PKCS7* pkcs7) {
  const STACK_OF(X509_ALGOR)* algorithms = pkcs7->d.sign->md_algs;
  for (int i = 0; i < sk_X509_ALGOR_num(algorithms); ++i) {
    const ASN1_OBJECT* algorithm = nullptr;
    X509_ALGOR_get0(&algorithm, nullptr, nullptr, sk_X509_ALGOR_value(algorithms, i));
    if (DigestOf(OBJ_obj2nid(algorithm)) == nullptr) return false;
  }
  return true;
}

bool SignersVerify(PKCS7* pkcs7, const std::string& content, size_t valueOffset) {
  BioPtr data(
      BIO_new_mem_buf(content.data() + valueOffset, static_cast<int>(content.size() - valueOffset)),
      BIO_free);
  return data && PKCS7_verify(pkcs7, nullptr, nullptr, data.get(), nullptr,
                              PKCS7_NOVERIFY | PKCS7_BINARY) == 1;
}

bool EverySignerHasCertificate(PKCS7* pkcs7) {
  STACK_OF(X509)* signers = PKCS7_get0_signers(pkcs7, nullptr, 0);
  sk_X509_free(signers);
  return signers != nullptr;
}

TrustVerdict VerifySignedImage(SignatureFileReader& file, const AuthenticodeImage& image) {
  if (image.certificateTableSize > kMaxCertificateTableSize) return kMalformed;
  std::string table;
  if (!file.ReadAt(image.certificateTableOffset, image.certificateTableSize, &table)) {
    return Verdict(kReadFault);
  }
  Pkcs7Ptr pkcs7 = ParseCertificateTable(table);
  if (!pkcs7) return kMalformed;
  const std::string signedContent = SignedContent(pkcs7.get());
  const AuthenticodeContent content = ParseAuthenticodeContent(signedContent);
  if (!content.sound) return kMalformed;
  const EVP_MD* md = DigestOf(content.digestNid);
  if (md == nullptr || !DigestSetSupported(pkcs7.get())) return Verdict(kBadAlgorithm);
  std::string imageDigest;
  if (!HashImage(file, image, md, &imageDigest)) return Verdict(kReadFault);
  if (imageDigest.size() != content.digest.size() ||
      CRYPTO_memcmp(imageDigest.data(), content.digest.data(), imageDigest.size()) != 0) {
    return Verdict(kTrustBadDigest);
  }
  if (!EverySignerHasCertificate(pkcs7.get())) return Verdict(kTrustNoSignerCertificate);
  if (!SignersVerify(pkcs7.get(), signedContent, content.valueOffset)) {
    return Verdict(kTrustBadDigest);
  }
  return Verdict(kTrustSuccess);
}

}  // namespace

TrustVerdict VerifyAuthenticode(SignatureFileReader& file) {
  const AuthenticodeImage image = ReadAuthenticodeImage(file);
  if (!image.sound) return Verdict(kTrustNoSignature, kBadImageFormat);
  if (image.certificateTableSize == 0) return Verdict(kTrustNoSignature);
  // OpenSSL reports through the thread's error queue; leave it as found.
  ERR_clear_error();
  const TrustVerdict verdict = VerifySignedImage(file, image);
  ERR_clear_error();
  return verdict;
}

}  // namespace signature
