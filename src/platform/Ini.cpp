#include "platform/Ini.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/Encoding.h"
#include "platform/UniqueFd.h"

namespace platform {
namespace {

constexpr std::size_t kMaxFileBytes = 16 * 1024 * 1024;

// False when the file cannot be read (missing, a folder, no permission).
bool ReadWholeFile(const std::string& path, std::string* content) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.IsValid()) return false;
  content->clear();
  char buffer[8192];
  for (;;) {
    const ssize_t n = read(fd.Get(), buffer, sizeof(buffer));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    content->append(buffer, static_cast<std::size_t>(n));
    if (content->size() > kMaxFileBytes) return false;
  }
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string Trim(const std::string& text, std::size_t begin, std::size_t end) {
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  return true;
}

// Finds key in the first section named section. False when either is missing.
bool FindValue(const std::string& content, const std::string& section, const std::string& key,
               std::string* value) {
  std::size_t pos = content.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  bool inSection = false;
  while (pos < content.size()) {
    std::size_t end = content.find('\n', pos);
    if (end == std::string::npos) end = content.size();
    const std::string line = Trim(content, pos, end);
    pos = end + 1;
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      const std::size_t close = line.rfind(']');
      if (close == std::string::npos) continue;
      if (inSection) return false;  // only the first section of that name counts
      inSection = EqualsNoCase(Trim(line, 1, close), section);
      continue;
    }
    if (!inSection) continue;
    const std::size_t equals = line.find('=');
    const std::string name = Trim(line, 0, equals == std::string::npos ? line.size() : equals);
    if (!EqualsNoCase(name, key)) continue;
    *value = equals == std::string::npos ? std::string() : Trim(line, equals + 1, line.size());
    return true;
  }
  return false;
}

std::string StripQuotes(const std::string& value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

// RtlUnicodeStringToInteger in base 10: blanks, a sign, digits; stops at the
// first other character; wraps around at 32 bits as Windows does.
int LeadingInteger(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint32_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = value * 10u + static_cast<uint32_t>(text[i] - '0');
  if (negative) value = 0u - value;
  return static_cast<int>(value);
}

}  // namespace

int GetPrivateProfileInt(const std::wstring& section, const std::wstring& key, int defaultValue,
                         const std::wstring& path) {
  std::string content;
  if (!ReadWholeFile(ToUtf8(path), &content)) return defaultValue;
  std::string value;
  if (!FindValue(content, ToUtf8(section), ToUtf8(key), &value)) return defaultValue;
  value = StripQuotes(value);
  if (value.empty()) return defaultValue;
  return LeadingInteger(value);
}

}  // namespace platform
