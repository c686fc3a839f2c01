#pragma once
// The time of day and date of the route library's interface, with Gregorian
// calendar arithmetic. Month and day are counted from 0 (0 = January, 0 =
// the first of the month).

#include <cstdint>

namespace TravelClock {

struct Time {
  std::uint16_t year = 0;
  std::uint8_t month = 0;  // 0-11
  std::uint8_t day = 0;    // 0-30
  std::uint8_t hour = 0;
  std::uint8_t minute = 0;
  std::uint8_t second = 0;

  // Stores the fields as given (cut to their widths).
  void set(int year, int month, int day, int hour, int minute, int second);

  // Add (or, when negative, subtract) seconds, minutes or days, carrying
  // through seconds, minutes, hours, days, months and years as the
  // Gregorian calendar has them (29 February in leap years). A field out of
  // its range is carried first (hour 25 is 1 o'clock of the next day, day 31
  // of April is 1 May); a year beyond 16 bits wraps.
  void addSec(std::int32_t seconds);
  void addMin(std::int32_t minutes);
  void addDate(std::int32_t days);
};

// Day of the week of a date: 0 = Sunday .. 6 = Saturday; -1 when the date
// does not exist (month not 0-11, day past the month's end, year below 1).
int Week(int year, int month, int day);

}  // namespace TravelClock
