#include "platform/Encoding.h"

#include <cstdint>

namespace platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsScalarValue(uint32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

void AppendUtf8(uint32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// The well-formed byte sequences of Unicode table 3-7: the lead byte fixes the
// length and the range of the second byte; later bytes are 80..BF.
struct LeadInfo {
  int length;  // 0: not a lead byte
  unsigned char secondLow;
  unsigned char secondHigh;
};

LeadInfo ClassifyLead(unsigned char b) {
  if (b >= 0xC2 && b <= 0xDF) return {2, 0x80, 0xBF};
  if (b == 0xE0) return {3, 0xA0, 0xBF};
  if (b == 0xED) return {3, 0x80, 0x9F};
  if (b >= 0xE1 && b <= 0xEF) return {3, 0x80, 0xBF};
  if (b == 0xF0) return {4, 0x90, 0xBF};
  if (b >= 0xF1 && b <= 0xF3) return {4, 0x80, 0xBF};
  if (b == 0xF4) return {4, 0x80, 0x8F};
  return {0, 0, 0};
}

// Decodes one character at text[*pos] and advances past it. An ill-formed
// sequence yields U+FFFD for its maximal well-formed prefix (at least one byte).
char32_t DecodeOne(const std::string& text, std::size_t* pos) {
  const auto byteAt = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byteAt(*pos);
  ++*pos;
  if (lead < 0x80) return lead;
  const LeadInfo info = ClassifyLead(lead);
  if (info.length == 0) return kReplacement;
  uint32_t c = lead & (0xFF >> (info.length + 1));
  for (int i = 1; i < info.length; ++i) {
    if (*pos >= text.size()) return kReplacement;
    const unsigned char b = byteAt(*pos);
    const unsigned char low = i == 1 ? info.secondLow : 0x80;
    const unsigned char high = i == 1 ? info.secondHigh : 0xBF;
    if (b < low || b > high) return kReplacement;
    c = (c << 6) | (b & 0x3F);
    ++*pos;
  }
  return c;
}

}  // namespace

std::string ToUtf8(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t w : text) {
    const auto c = static_cast<uint32_t>(w);
    AppendUtf8(IsScalarValue(c) ? c : static_cast<uint32_t>(kReplacement), &out);
  }
  return out;
}

std::wstring FromUtf8(const std::string& text) {
  static_assert(sizeof(wchar_t) == 4, "wide strings hold one code point per wchar_t here");
  std::wstring out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) out.push_back(static_cast<wchar_t>(DecodeOne(text, &pos)));
  return out;
}

}  // namespace platform
