#include "uitoolkit/Values.h"

#include <climits>

namespace ui {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

std::vector<std::wstring> SplitCommas(const std::wstring& text) {
  std::vector<std::wstring> parts;
  std::wstring::size_type start = 0;
  for (;;) {
    const auto comma = text.find(L',', start);
    parts.push_back(text.substr(start, comma - start));
    if (comma == std::wstring::npos) return parts;
    start = comma + 1;
  }
}

// Reads the n-th comma-separated number; absent ones are 0.
int NumberAt(const std::vector<std::wstring>& parts, std::size_t n) {
  return n < parts.size() ? ParseInt(parts[n]) : 0;
}

void SkipBlanks(const std::wstring& text, std::size_t* pos) {
  while (*pos < text.size() && IsBlank(text[*pos])) ++*pos;
}

// One key=value pair of a list, quotes optional. False at the end of the text
// or when the pair is broken (no '=', unterminated quote).
bool NextPair(const std::wstring& text, std::size_t* pos, std::wstring* key, std::wstring* value) {
  SkipBlanks(text, pos);
  const std::size_t keyStart = *pos;
  while (*pos < text.size() && text[*pos] != L'=' && !IsBlank(text[*pos])) ++*pos;
  *key = text.substr(keyStart, *pos - keyStart);
  SkipBlanks(text, pos);
  if (key->empty() || *pos >= text.size() || text[*pos] != L'=') return false;
  ++*pos;
  SkipBlanks(text, pos);
  if (*pos < text.size() && (text[*pos] == L'\'' || text[*pos] == L'"')) {
    const wchar_t quote = text[(*pos)++];
    const auto end = text.find(quote, *pos);
    if (end == std::wstring::npos) return false;
    *value = text.substr(*pos, end - *pos);
    *pos = end + 1;
    return true;
  }
  const std::size_t valueStart = *pos;
  while (*pos < text.size() && !IsBlank(text[*pos])) ++*pos;
  *value = text.substr(valueStart, *pos - valueStart);
  return true;
}

// "file='x'" starts with a bare word and '='; a path such as "skin\\a.png" does not.
bool LooksLikePairList(const std::wstring& text) {
  std::size_t pos = 0;
  while (pos < text.size() && IsAsciiLetter(text[pos])) ++pos;
  if (pos == 0) return false;
  SkipBlanks(text, &pos);
  return pos < text.size() && text[pos] == L'=';
}

void ApplyPictureKey(const std::wstring& key, const std::wstring& value, PictureDescriptor* out) {
  if (key == L"file") {
    out->file = TrimBlanks(value);
  } else if (key == L"source") {
    out->source = ParseRect(value);
    out->hasSource = true;
  } else if (key == L"corner") {
    out->corner = ParseRect(value);
    out->hasCorner = true;
  } else if (key == L"dest") {
    out->dest = ParseRect(value);
    out->hasDest = true;
  } else if (key == L"mask") {
    out->hasMask = ParseColour(value, &out->mask);
  }
}

}  // namespace

std::wstring TrimBlanks(const std::wstring& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

int ParseInt(const std::wstring& text) {
  std::size_t pos = 0;
  SkipBlanks(text, &pos);
  bool negative = false;
  if (pos < text.size() && (text[pos] == L'-' || text[pos] == L'+')) negative = text[pos++] == L'-';
  long long value = 0;
  for (; pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9'; ++pos) {
    if (value <= INT_MAX) value = value * 10 + (text[pos] - L'0');
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

bool ParseColour(const std::wstring& text, uint32_t* argb) {
  *argb = 0;
  const std::wstring value = TrimBlanks(text);
  if (value.size() < 2 || value.size() > 9 || value[0] != L'#') return false;
  uint32_t number = 0;
  for (std::size_t i = 1; i < value.size(); ++i) {
    const int digit = HexDigit(value[i]);
    if (digit < 0) return false;
    number = (number << 4) | static_cast<uint32_t>(digit);
  }
  *argb = number;
  return true;
}

bool ParseBool(const std::wstring& text) {
  const std::wstring value = TrimBlanks(text);
  if (value.size() != 4) return false;
  static const wchar_t kTrue[] = L"true";
  for (std::size_t i = 0; i < 4; ++i) {
    const wchar_t c = (value[i] >= L'A' && value[i] <= L'Z') ? value[i] - L'A' + L'a' : value[i];
    if (c != kTrue[i]) return false;
  }
  return true;
}

Rect ParseRect(const std::wstring& text) {
  const auto parts = SplitCommas(text);
  return Rect{NumberAt(parts, 0), NumberAt(parts, 1), NumberAt(parts, 2), NumberAt(parts, 3)};
}

Size ParseSize(const std::wstring& text) {
  const auto parts = SplitCommas(text);
  return Size{NumberAt(parts, 0), NumberAt(parts, 1)};
}

Rect ParseBorderSize(const std::wstring& text) {
  if (text.find(L',') != std::wstring::npos) return ParseRect(text);
  const int all = ParseInt(text);
  return Rect{all, all, all, all};
}

PictureDescriptor ParsePicture(const std::wstring& text) {
  PictureDescriptor picture;
  const std::wstring value = TrimBlanks(text);
  if (!LooksLikePairList(value)) {
    picture.file = value;
    return picture;
  }
  std::size_t pos = 0;
  std::wstring key;
  std::wstring item;
  while (NextPair(value, &pos, &key, &item)) ApplyPictureKey(key, item, &picture);
  return picture;
}

AttributeList ParseAttributeList(const std::wstring& text) {
  AttributeList list;
  std::size_t pos = 0;
  std::wstring key;
  std::wstring value;
  while (NextPair(text, &pos, &key, &value)) list.emplace_back(key, value);
  return list;
}

}  // namespace ui
