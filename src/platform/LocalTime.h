// GetLocalTime stand-in. Any thread.
#pragma once

namespace platform {

struct SystemTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, milliseconds = 0;
};

SystemTime GetLocalTime();

}  // namespace platform
