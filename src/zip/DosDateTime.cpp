#include "zip/DosDateTime.h"

#include <ctime>
#include <mutex>

DosDateTime DosDateTimeOfFields(int year, int month, int day, int hour, int minute, int second) {
  if (year < 1980) return DosDateTimeOfFields(1980, 1, 1, 0, 0, 0);
  if (year > 2107) return DosDateTimeOfFields(2107, 12, 31, 23, 59, 58);
  if (second > 59) second = 59;
  DosDateTime packed;
  packed.date = static_cast<uint16_t>((year - 1980) << 9 | month << 5 | day);
  packed.time = static_cast<uint16_t>(hour << 11 | minute << 5 | second / 2);
  return packed;
}

DosDateTime DosDateTimeOfUnixTime(int64_t seconds) {
  // std::localtime hands back a buffer shared by the whole process; nothing
  // else in the program uses it, and this lock keeps two writers apart.
  static std::mutex localTimeMutex;
  const std::time_t moment = static_cast<std::time_t>(seconds);
  std::lock_guard<std::mutex> lock(localTimeMutex);
  const std::tm* local = std::localtime(&moment);
  if (local == nullptr) return DosDateTimeOfFields(1980, 1, 1, 0, 0, 0);
  return DosDateTimeOfFields(local->tm_year + 1900, local->tm_mon + 1, local->tm_mday,
                             local->tm_hour, local->tm_min, local->tm_sec);
}
