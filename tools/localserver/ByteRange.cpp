#include "ByteRange.h"

#include <optional>

#include "HttpText.h"

namespace localserver {
namespace {

constexpr size_t kMaxDigits = 18;  // stays below 2^63

struct RangeSpec {
  std::optional<int64_t> first;  // none: a suffix range
  std::optional<int64_t> last;   // none: open to the end
};

// Digits only, at least one; none for anything else.
std::optional<int64_t> ReadNumber(const std::string& text) {
  if (text.empty() || text.size() > kMaxDigits) return std::nullopt;
  int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// One "a-b", "a-" or "-n" range of the bytes unit; none when malformed.
std::optional<RangeSpec> ParseSpec(const std::string& header) {
  const size_t equals = header.find('=');
  if (equals == std::string::npos || !EqualsNoCase(TrimBlanks(header.substr(0, equals)), "bytes")) {
    return std::nullopt;
  }
  const std::string asked = TrimBlanks(header.substr(equals + 1));
  const size_t dash = asked.find('-');
  if (dash == std::string::npos || asked.find(',') != std::string::npos) return std::nullopt;
  const std::string head = asked.substr(0, dash);
  const std::string tail = asked.substr(dash + 1);
  RangeSpec range;
  if (!head.empty()) range.first = ReadNumber(head);
  if (!tail.empty()) range.last = ReadNumber(tail);
  if (range.first.has_value() != !head.empty() || range.last.has_value() != !tail.empty() ||
      (head.empty() && tail.empty())) {
    return std::nullopt;
  }
  if (range.first && range.last && *range.last < *range.first) return std::nullopt;
  return range;
}

ByteRange Part(int64_t first, int64_t last) {
  return ByteRange{ByteRange::Kind::kPart, first, last};
}

}  // namespace

ByteRange JudgeRange(const std::string& header, int64_t size) {
  if (header.empty()) return ByteRange{};
  const std::optional<RangeSpec> asked = ParseSpec(header);
  if (!asked) return ByteRange{};
  const ByteRange unsatisfiable{ByteRange::Kind::kUnsatisfiable, 0, -1};
  if (!asked->first) {
    const int64_t count = *asked->last;
    if (count == 0 || size == 0) return unsatisfiable;
    return Part(count >= size ? 0 : size - count, size - 1);
  }
  if (*asked->first >= size) return unsatisfiable;
  const int64_t last = asked->last && *asked->last < size ? *asked->last : size - 1;
  return Part(*asked->first, last);
}

int64_t RangeFirstByte(const std::string& header) {
  const std::optional<RangeSpec> asked = ParseSpec(header);
  return asked && asked->first ? *asked->first : -1;
}

}  // namespace localserver
