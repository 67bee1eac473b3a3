// Packing calendar fields into the DOS date and time, at the edges of what
// DOS can say.
#include <gtest/gtest.h>

#include "zip/DosDateTime.h"

namespace {

struct DosCase {
  const char* what;
  int year, month, day, hour, minute, second;
  int dosYear, dosMonth, dosDay, dosHour, dosMinute, dosSecond;
};

void PrintTo(const DosCase& c, std::ostream* out) { *out << c.what; }

class DosDateTimeTest : public ::testing::TestWithParam<DosCase> {};

TEST_P(DosDateTimeTest, PacksOrClampsTheFields) {
  const DosCase& c = GetParam();
  const DosDateTime packed =
      DosDateTimeOfFields(c.year, c.month, c.day, c.hour, c.minute, c.second);
  EXPECT_EQ(packed.date >> 9, c.dosYear - 1980);
  EXPECT_EQ(packed.date >> 5 & 0xF, c.dosMonth);
  EXPECT_EQ(packed.date & 0x1F, c.dosDay);
  EXPECT_EQ(packed.time >> 11, c.dosHour);
  EXPECT_EQ(packed.time >> 5 & 0x3F, c.dosMinute);
  EXPECT_EQ((packed.time & 0x1F) * 2, c.dosSecond);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, DosDateTimeTest,
    ::testing::Values(DosCase{"even second", 2024, 2, 29, 13, 45, 30, 2024, 2, 29, 13, 45, 30},
                      DosCase{"odd second rounds down", 2024, 2, 29, 13, 45, 31, 2024, 2, 29, 13,
                              45, 30},
                      DosCase{"leap second", 2016, 12, 31, 23, 59, 60, 2016, 12, 31, 23, 59, 58},
                      DosCase{"first moment", 1980, 1, 1, 0, 0, 0, 1980, 1, 1, 0, 0, 0},
                      DosCase{"before 1980", 1979, 12, 31, 23, 59, 59, 1980, 1, 1, 0, 0, 0},
                      DosCase{"last year", 2107, 12, 31, 23, 59, 59, 2107, 12, 31, 23, 59, 58},
                      DosCase{"after 2107", 2108, 1, 1, 0, 0, 0, 2107, 12, 31, 23, 59, 58}));

}  // namespace
