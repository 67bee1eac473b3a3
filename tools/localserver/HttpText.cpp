#include "HttpText.h"

#include <algorithm>

namespace localserver {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

std::string TrimBlanks(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool ListsToken(const std::string& value, const std::string& token) {
  size_t start = 0;
  while (start <= value.size()) {
    size_t comma = value.find(',', start);
    if (comma == std::string::npos) comma = value.size();
    if (EqualsNoCase(TrimBlanks(value.substr(start, comma - start)), token)) return true;
    start = comma + 1;
  }
  return false;
}

std::string FirstHeader(const Headers& headers, const std::string& name) {
  for (const auto& header : headers) {
    if (EqualsNoCase(header.first, name)) return header.second;
  }
  return std::string();
}

bool HasHeader(const Headers& headers, const std::string& name) {
  return std::any_of(headers.begin(), headers.end(),
                     [&](const auto& header) { return EqualsNoCase(header.first, name); });
}

}  // namespace localserver
