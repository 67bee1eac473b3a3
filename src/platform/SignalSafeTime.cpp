#include "platform/SignalSafeTime.h"

#include <time.h>

#include <atomic>
#include <cstdint>

#include "platform/SignalSafeIo.h"

namespace platform {
namespace {

std::atomic<long> g_utcOffsetSeconds{0};

// Days since 1970-01-01 to a proleptic Gregorian date (era-based, exact for
// every 64-bit day count a clock can hold).
void CivilFromDays(int64_t days, int* year, int* month, int* day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  *day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  *month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  *year = static_cast<int>(yearOfEra + era * 400 + (*month <= 2 ? 1 : 0));
}

}  // namespace

void PrepareSignalSafeLocalTime() {
  const time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  g_utcOffsetSeconds.store(local.tm_gmtoff);
}

SystemTime CivilTimeOfSeconds(int64_t seconds, int milliseconds) {
  int64_t days = seconds / 86400;
  int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  SystemTime time;
  CivilFromDays(days, &time.year, &time.month, &time.day);
  time.hour = static_cast<int>(rest / 3600);
  time.minute = static_cast<int>(rest % 3600 / 60);
  time.second = static_cast<int>(rest % 60);
  time.milliseconds = milliseconds;
  return time;
}

SystemTime SignalSafeLocalTime() {
  int64_t seconds = 0;
  long nanoseconds = 0;
  signalsafe::RealTime(&seconds, &nanoseconds);
  return CivilTimeOfSeconds(seconds + g_utcOffsetSeconds.load(),
                            static_cast<int>(nanoseconds / 1000000));
}

}  // namespace platform
