#include "reportsdk/RecordKey.h"

#include <cctype>
#include <ctime>
#include <limits>

#include "platform/LocalTime.h"

namespace reportsdk {

int64_t LocalTimestampMs() {
  const platform::SystemTime now = platform::GetLocalTime();
  std::tm parts{};
  parts.tm_year = now.year - 1900;
  parts.tm_mon = now.month - 1;
  parts.tm_mday = now.day;
  parts.tm_hour = now.hour;
  parts.tm_min = now.minute;
  parts.tm_sec = now.second;
  parts.tm_isdst = 0;
  const std::time_t seconds = std::mktime(&parts);
  return static_cast<int64_t>(seconds) * 1000 + now.milliseconds;
}

std::string MakeRecordKey(int kind, int64_t timestampMs, const std::string& category,
                          const std::string& action) {
  return std::to_string(kind) + "::" + std::to_string(timestampMs) + "::" + category +
         "::" + action;
}

ParsedKey ParseRecordKey(const std::string& key) {
  ParsedKey parsed;
  parsed.prefix = key.substr(0, 3);
  size_t position = parsed.prefix.size();
  int64_t value = 0;
  const int64_t limit = std::numeric_limits<int64_t>::max() / 10 - 9;
  while (position < key.size() && std::isdigit(static_cast<unsigned char>(key[position]))) {
    if (value < limit) value = value * 10 + (key[position] - '0');
    ++position;
  }
  parsed.timestampMs = value;
  parsed.rest = key.substr(position);
  return parsed;
}

}  // namespace reportsdk
