#include "AppendedSignatureFormat.h"

namespace signature {
namespace {

// Offsets inside the info block.
constexpr size_t kIdTypeAt = 2;
constexpr size_t kLengthAt = 8;

}  // namespace

std::string MakeAppendedSignatureTrailer(uint32_t signatureLength) {
  std::string trailer(kAppendedSignatureInfoSize, '\0');
  trailer[kIdTypeAt] = static_cast<char>(kAppendedSignatureIdPkcs7);
  for (size_t i = 0; i < 4; ++i) {
    trailer[kLengthAt + i] = static_cast<char>((signatureLength >> (24 - 8 * i)) & 0xFF);
  }
  return trailer + std::string(kAppendedSignatureMagic, kAppendedSignatureMagicSize);
}

AppendedSignatureLayout ParseAppendedSignatureTrailer(const std::string& tail, uint64_t fileSize) {
  AppendedSignatureLayout layout;
  const std::string magic(kAppendedSignatureMagic, kAppendedSignatureMagicSize);
  if (tail.size() < magic.size() ||
      tail.compare(tail.size() - magic.size(), magic.size(), magic) != 0) {
    return layout;
  }
  layout.status = AppendedTrailerStatus::kMalformed;
  if (fileSize < kAppendedSignatureTrailerSize || tail.size() != kAppendedSignatureTrailerSize) {
    return layout;
  }
  const auto byte = [&tail](size_t at) { return static_cast<uint8_t>(tail[at]); };
  for (size_t at = 0; at < kLengthAt; ++at) {
    const uint8_t expected = at == kIdTypeAt ? kAppendedSignatureIdPkcs7 : 0;
    if (byte(at) != expected) return layout;
  }
  uint64_t length = 0;
  for (size_t i = 0; i < 4; ++i) length = (length << 8) | byte(kLengthAt + i);
  const uint64_t available = fileSize - kAppendedSignatureTrailerSize;
  if (length == 0 || length > kAppendedSignatureMaxLength || length > available) return layout;
  layout.status = AppendedTrailerStatus::kFound;
  layout.signatureLength = length;
  layout.contentLength = available - length;
  return layout;
}

}  // namespace signature
