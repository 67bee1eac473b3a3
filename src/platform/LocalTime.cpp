#include "platform/LocalTime.h"

#include <sys/time.h>
#include <time.h>

namespace platform {

SystemTime GetLocalTime() {
  timeval now{};
  gettimeofday(&now, nullptr);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  SystemTime time;
  time.year = local.tm_year + 1900;
  time.month = local.tm_mon + 1;
  time.day = local.tm_mday;
  time.hour = local.tm_hour;
  time.minute = local.tm_min;
  time.second = local.tm_sec;
  time.milliseconds = static_cast<int>(now.tv_usec / 1000);
  return time;
}

}  // namespace platform
