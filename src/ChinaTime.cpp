#include "ChinaTime.h"

#include <cstdint>
#include <cstdio>

#include "FuntionImpl.h"

namespace china_time {
namespace {

struct CivilDate {
  int64_t year;
  int month;
  int day;
};

// The proleptic Gregorian date of a count of days since 1970-01-01, by eras
// of 400 years, so that no time-zone database or C library state is involved.
CivilDate CivilFromDays(int64_t days) {
  days += 719468;  // days from 0000-03-01 to 1970-01-01
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;  // March is 0
  const int day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  const int month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

int64_t FloorDivide(int64_t value, int64_t divisor) {
  return value / divisor - (value % divisor < 0 ? 1 : 0);
}

}  // namespace

std::string ChinaTimeTextAt(std::chrono::system_clock::time_point utc) {
  using std::chrono::duration_cast;
  const int64_t seconds =
      FloorDivide(duration_cast<std::chrono::microseconds>(utc.time_since_epoch()).count(),
                  1000000) +
      kOffsetMinutes * 60;
  const int64_t days = FloorDivide(seconds, 86400);
  const int64_t secondOfDay = seconds - days * 86400;
  const CivilDate date = CivilFromDays(days);
  // 19 characters: the clock's range keeps every field at its width. The
  // room is for what the compiler cannot know about those ranges.
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", static_cast<int>(date.year),
                date.month, date.day, static_cast<int>(secondOfDay / 3600),
                static_cast<int>(secondOfDay / 60 % 60), static_cast<int>(secondOfDay % 60));
  return text;
}

}  // namespace china_time

namespace FuntionImpl {

std::string GetChinaTimeText() {
  return china_time::ChinaTimeTextAt(std::chrono::system_clock::now());
}

}  // namespace FuntionImpl
