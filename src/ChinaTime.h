// China Standard Time: UTC+8 all year, no daylight saving. Pure; any thread.
#pragma once
#include <chrono>
#include <string>

namespace china_time {

constexpr int kOffsetMinutes = 8 * 60;

// "%04d-%02d-%02d %02d:%02d:%02d" of the moment utc in China Standard Time
// (19 characters; the clock's range keeps the year at four digits).
std::string ChinaTimeTextAt(std::chrono::system_clock::time_point utc);

}  // namespace china_time
