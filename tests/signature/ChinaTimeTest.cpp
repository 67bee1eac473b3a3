#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "ChinaTime.h"
#include "FuntionImpl.h"

namespace {

using std::chrono::system_clock;

system_clock::time_point At(int64_t seconds, int64_t milliseconds = 0) {
  return system_clock::time_point(std::chrono::seconds(seconds) +
                                  std::chrono::milliseconds(milliseconds));
}

TEST(ChinaTimeTest, FixedMoments) {
  struct Case {
    int64_t utcSeconds;
    int64_t milliseconds;
    const char* expected;
  };
  const Case cases[] = {
      {1767213000, 0, "2026-01-01 04:30:00"},  // 20:30 UTC on 31 December 2025
      {0, 0, "1970-01-01 08:00:00"},
      {0, -1, "1970-01-01 07:59:59"},
      {-28800, 0, "1970-01-01 00:00:00"},
      {-28801, 0, "1969-12-31 23:59:59"},
      {1709136000, 0, "2024-02-29 00:00:00"},
      {951753600, 0, "2000-02-29 00:00:00"},
      {4107513600, 0, "2100-03-01 00:00:00"},
      {2147483648, 0, "2038-01-19 11:14:08"},
      {-2208988800, 999, "1900-01-01 08:00:00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(china_time::ChinaTimeTextAt(At(c.utcSeconds, c.milliseconds)), c.expected)
        << c.utcSeconds;
  }
}

// The calendar arithmetic against the C library's, over four centuries.
TEST(ChinaTimeTest, AgreesWithTheCLibrary) {
  for (int64_t t = -5000000000; t < 8000000000; t += 7777777) {
    const time_t shifted = static_cast<time_t>(t + 8 * 3600);
    tm fields{};
    ASSERT_NE(gmtime_r(&shifted, &fields), nullptr);
    char expected[32];
    strftime(expected, sizeof expected, "%Y-%m-%d %H:%M:%S", &fields);
    ASSERT_EQ(china_time::ChinaTimeTextAt(At(t)), expected) << t;
  }
}

TEST(ChinaTimeTest, GetChinaTimeTextIsNowInChina) {
  const system_clock::time_point before = system_clock::now();
  const std::string text = FuntionImpl::GetChinaTimeText();
  const system_clock::time_point after = system_clock::now();
  EXPECT_EQ(text.size(), 19u);
  EXPECT_TRUE(text == china_time::ChinaTimeTextAt(before) ||
              text == china_time::ChinaTimeTextAt(after))
      << text;
}

}  // namespace
