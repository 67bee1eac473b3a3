#include "LanguageTextParts.h"

#include <cwchar>

namespace skin_test {

namespace {

bool IsOneOf(wchar_t c, const wchar_t* set) { return c != L'\0' && std::wcschr(set, c); }

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Skips a printf width or precision: "*" or decimal digits.
std::size_t SkipCount(const std::wstring& text, std::size_t at) {
  if (at < text.size() && text[at] == L'*') return at + 1;
  while (at < text.size() && IsDigit(text[at])) ++at;
  return at;
}

// The end of the conversion that starts with the '%' at start.
std::size_t ConversionEnd(const std::wstring& text, std::size_t start) {
  const auto at = [&text](std::size_t i) { return i < text.size() ? text[i] : L'\0'; };
  std::size_t i = start + 1;
  while (IsOneOf(at(i), L"-+ #0'")) ++i;
  i = SkipCount(text, i);
  if (at(i) == L'.') i = SkipCount(text, i + 1);
  while (IsOneOf(at(i), L"hlLqjzt")) ++i;
  // A complete conversion ends with its letter; an incomplete one keeps the
  // character printf stumbles on, so that it stands out.
  return i < text.size() ? i + 1 : i;
}

}  // namespace

std::vector<std::wstring> PrintfConversions(const std::wstring& text) {
  std::vector<std::wstring> conversions;
  std::size_t start = text.find(L'%');
  while (start != std::wstring::npos) {
    const std::size_t end = ConversionEnd(text, start);
    conversions.push_back(text.substr(start, end - start));
    start = text.find(L'%', end);
  }
  return conversions;
}

std::vector<std::wstring> BraceTags(const std::wstring& text) {
  std::vector<std::wstring> tags;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'}') {
      tags.push_back(L"}");
    } else if (text[i] == L'{') {
      const std::size_t end = text.find_first_of(L"{}", i + 1);
      if (end == std::wstring::npos || text[end] == L'{') {
        tags.push_back(L"{");
      } else {
        tags.push_back(text.substr(i, end - i + 1));
        i = end;
      }
    }
  }
  return tags;
}

}  // namespace skin_test
