#include "AppendedSignature.h"

#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

#include "AppendedSignatureFormat.h"
#include "SignatureRangeBio.h"

namespace signature {
namespace {

using CmsPtr = std::unique_ptr<CMS_ContentInfo, decltype(&CMS_ContentInfo_free)>;

// The block parses as a whole: DER with nothing after it.
CmsPtr ParseBlock(const std::string& der) {
  const auto* cursor = reinterpret_cast<const unsigned char*>(der.data());
  CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &cursor, static_cast<long>(der.size())),
             CMS_ContentInfo_free);
  if (cms && cursor != reinterpret_cast<const unsigned char*>(der.data()) + der.size()) {
    cms.reset();
  }
  return cms;
}

// A detached SignedData over data, with signers.
bool IsDetachedSignedData(CMS_ContentInfo* cms) {
  if (OBJ_obj2nid(CMS_get0_type(cms)) != NID_pkcs7_signed) return false;
  if (OBJ_obj2nid(CMS_get0_eContentType(cms)) != NID_pkcs7_data) return false;
  ASN1_OCTET_STRING** content = CMS_get0_content(cms);
  if (content == nullptr || *content != nullptr) return false;
  const STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(cms);
  return signers != nullptr && sk_CMS_SignerInfo_num(signers) > 0;
}

// Whether every signer's certificate is carried in the block.
bool EverySignerHasCertificate(CMS_ContentInfo* cms) {
  if (CMS_set1_signers_certs(cms, nullptr, 0) < 0) return false;
  STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(cms);
  for (int i = 0; i < sk_CMS_SignerInfo_num(signers); ++i) {
    X509* certificate = nullptr;
    CMS_SignerInfo_get0_algs(sk_CMS_SignerInfo_value(signers, i), nullptr, &certificate, nullptr,
                             nullptr);
    if (certificate == nullptr) return false;
  }
  return true;
}

TrustVerdict VerifyContent(SignatureFileReader& file, CMS_ContentInfo* cms, uint64_t length) {
  SignatureRangeBio content(&file, 0, length);
  if (content.Get() == nullptr) return Verdict(kReadFault);
  const unsigned flags = CMS_NO_SIGNER_CERT_VERIFY | CMS_BINARY;
  const bool valid = CMS_verify(cms, nullptr, nullptr, content.Get(), nullptr, flags) == 1;
  if (content.ReadFailed()) return Verdict(kReadFault);
  return valid ? Verdict(kTrustSuccess) : Verdict(kTrustBadDigest);
}

TrustVerdict VerifyBlock(SignatureFileReader& file, const AppendedSignatureLayout& layout) {
  std::string der;
  if (!file.ReadAt(layout.contentLength, layout.signatureLength, &der)) return Verdict(kReadFault);
  CmsPtr cms = ParseBlock(der);
  if (!cms || !IsDetachedSignedData(cms.get())) return Verdict(kTrustNoSignature, kCryptBadMessage);
  if (!EverySignerHasCertificate(cms.get())) return Verdict(kTrustNoSignerCertificate);
  return VerifyContent(file, cms.get(), layout.contentLength);
}

}  // namespace

TrustVerdict VerifyAppendedSignature(SignatureFileReader& file) {
  const uint64_t tailLength =
      file.Size() < kAppendedSignatureTrailerSize ? file.Size() : kAppendedSignatureTrailerSize;
  std::string tail;
  if (!file.ReadAt(file.Size() - tailLength, tailLength, &tail)) return Verdict(kReadFault);
  const AppendedSignatureLayout layout = ParseAppendedSignatureTrailer(tail, file.Size());
  switch (layout.status) {
    case AppendedTrailerStatus::kAbsent:
      return Verdict(kTrustNoSignature);
    case AppendedTrailerStatus::kMalformed:
      return Verdict(kTrustNoSignature, kCryptBadMessage);
    case AppendedTrailerStatus::kFound:
      break;
  }
  // OpenSSL reports through the thread's error queue; leave it as found.
  ERR_clear_error();
  const TrustVerdict verdict = VerifyBlock(file, layout);
  ERR_clear_error();
  return verdict;
}

}  // namespace signature
