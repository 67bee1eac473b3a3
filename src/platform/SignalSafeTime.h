// The local time for code inside a crash signal handler, where the time zone
// database cannot be consulted: the offset from UTC is noted beforehand and
// added to the wall clock. A daylight-saving change after the last
// PrepareSignalSafeLocalTime shows the old offset.
#pragma once
#include <cstdint>

#include "platform/LocalTime.h"

namespace platform {

// Notes the local time's offset from UTC now. Ordinary code, any thread;
// call again to follow a time zone change.
void PrepareSignalSafeLocalTime();

// The local time now, by the noted offset (UTC before any preparation).
// Async-signal-safe.
SystemTime SignalSafeLocalTime();

// The civil date and time of a count of seconds since 1970 (no time zone).
// Pure; exposed for tests.
SystemTime CivilTimeOfSeconds(int64_t seconds, int milliseconds);

}  // namespace platform
