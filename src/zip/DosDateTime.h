// DOS date and time, as ZIP headers carry a file's last-write time: the local
// calendar time packed into two 16-bit words, seconds in steps of two.
// Pure functions; any thread.
#pragma once
#include <cstdint>

struct DosDateTime {
  uint16_t date = 0;  // (year - 1980) << 9 | month << 5 | day
  uint16_t time = 0;  // hour << 11 | minute << 5 | second / 2
};

// Packs calendar fields. DOS cannot say a moment before 1980-01-01 00:00:00
// or after 2107-12-31 23:59:58: earlier moments give the first, later ones the
// last. An odd second is rounded down; a leap second counts as 59.
DosDateTime DosDateTimeOfFields(int year, int month, int day, int hour, int minute, int second);

// The local time of a moment given in seconds since 1970 (UTC). A moment the
// C library cannot convert gives the first DOS moment.
DosDateTime DosDateTimeOfUnixTime(int64_t seconds);
