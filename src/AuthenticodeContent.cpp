#include "AuthenticodeContent.h"

#include <openssl/asn1.h>
#include <openssl/objects.h>
#include <openssl/x509.h>

#include <memory>

namespace signature {
namespace {

constexpr char kPeImageDataOid[] = "1.3.6.1.4.1.311.2.1.15";  // SPC_PE_IMAGE_DATAOBJ

using ObjectPtr = std::unique_ptr<ASN1_OBJECT, decltype(&ASN1_OBJECT_free)>;
using SigPtr = std::unique_ptr<X509_SIG, decltype(&X509_SIG_free)>;

// One DER element at *cursor inside [*cursor, end): its value starts at
// *value and ends at *valueEnd; *cursor moves past it. False unless it is a
// constructed SEQUENCE of definite length inside the range.
bool EnterSequence(const unsigned char** cursor, const unsigned char* end,
                   const unsigned char** value, const unsigned char** valueEnd) {
  const unsigned char* at = *cursor;
  long length = 0;
  int tag = 0;
  int tagClass = 0;
  const int info = ASN1_get_object(&at, &length, &tag, &tagClass, end - *cursor);
  if ((info & 0x80) != 0 || info != V_ASN1_CONSTRUCTED || tag != V_ASN1_SEQUENCE ||
      tagClass != V_ASN1_UNIVERSAL || length > end - at) {
    return false;
  }
  *value = at;
  *valueEnd = at + length;
  *cursor = *valueEnd;
  return true;
}

bool NamesPeImage(const unsigned char* at, const unsigned char* end) {
  ObjectPtr type(d2i_ASN1_OBJECT(nullptr, &at, end - at), ASN1_OBJECT_free);
  ObjectPtr expected(OBJ_txt2obj(kPeImageDataOid, 1), ASN1_OBJECT_free);
  return type && expected && OBJ_cmp(type.get(), expected.get()) == 0;
}

}  // namespace

AuthenticodeContent ParseAuthenticodeContent(const std::string& der) {
  AuthenticodeContent content;
  const auto* begin = reinterpret_cast<const unsigned char*>(der.data());
  const unsigned char* const end = begin + der.size();
  const unsigned char* cursor = begin;
  const unsigned char* value = nullptr;
  const unsigned char* valueEnd = nullptr;
  if (!EnterSequence(&cursor, end, &value, &valueEnd) || cursor != end) return content;
  content.valueOffset = static_cast<size_t>(value - begin);

  const unsigned char* subject = nullptr;
  const unsigned char* subjectEnd = nullptr;
  if (!EnterSequence(&value, valueEnd, &subject, &subjectEnd) ||
      !NamesPeImage(subject, subjectEnd)) {
    return content;
  }
  SigPtr digestInfo(d2i_X509_SIG(nullptr, &value, valueEnd - value), X509_SIG_free);
  if (!digestInfo || value != valueEnd) return content;
  const X509_ALGOR* algorithm = nullptr;
  const ASN1_OCTET_STRING* digest = nullptr;
  X509_SIG_get0(digestInfo.get(), &algorithm, &digest);
  if (algorithm == nullptr || digest == nullptr) return content;
  const ASN1_OBJECT* algorithmId = nullptr;
  X509_ALGOR_get0(&algorithmId, nullptr, nullptr, algorithm);
  content.digestNid = OBJ_obj2nid(algorithmId);
  content.digest.assign(reinterpret_cast<const char*>(ASN1_STRING_get0_data(digest)),
                        static_cast<size_t>(ASN1_STRING_length(digest)));
  content.sound = true;
  return content;
}

}  // namespace signature
