#pragma once
// The time of day and date of the route library's interface, with Gregorian
// calendar arithmetic. Month and day are counted from 0 (0 = January, 0 =
// the first of the month).
//
// Everything here is defined in this header, so that a program that links
// only a library built on these types (the toll library's Toll2 takes a
// route result holding them) can fill and move a Time itself.

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
  constexpr void set(int year, int month, int day, int hour, int minute, int second);

  // Add (or, when negative, subtract) seconds, minutes or days, carrying
  // through seconds, minutes, hours, days, months and years as the
  // Gregorian calendar has them (29 February in leap years). A field out of
  // its range is carried first (hour 25 is 1 o'clock of the next day, day 31
  // of April is 1 May); a year beyond 16 bits wraps.
  constexpr void addSec(std::int32_t seconds);
  constexpr void addMin(std::int32_t minutes);
  constexpr void addDate(std::int32_t days);
};

// Day of the week of a date: 0 = Sunday .. 6 = Saturday; -1 when the date
// does not exist (month not 0-11, day past the month's end, year below 1).
constexpr int Week(int year, int month, int day);

namespace detail {

inline constexpr std::int64_t kSecondsPerDay = 86400;

constexpr std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Days from 1970-01-01 to the first of month `month1` (1-12) of `year`, in the
// proleptic Gregorian calendar.
constexpr std::int64_t DaysToMonthStart(std::int64_t year, int month1) {
  const std::int64_t y = year - (month1 <= 2 ? 1 : 0);
  const std::int64_t era = FloorDiv(y, 400);
  const std::int64_t yoe = y - era * 400;                                           // 0-399
  const std::int64_t doy = (153 * (month1 > 2 ? month1 - 3 : month1 + 9) + 2) / 5;  // March-based
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

struct Date {
  std::int64_t year;
  int month1;  // 1-12
  int day1;    // 1-31
};

constexpr Date DateOfDays(std::int64_t days) {
  const std::int64_t z = days + 719468;
  const std::int64_t era = FloorDiv(z, 146097);
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const int day1 = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int month1 = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return {yoe + era * 400 + (month1 <= 2 ? 1 : 0), month1, day1};
}

// Days from 1970-01-01 to the (possibly unnormalised) date of t.
constexpr std::int64_t DaysOf(const Time& t) {
  const std::int64_t months = static_cast<std::int64_t>(t.year) * 12 + t.month;
  return DaysToMonthStart(FloorDiv(months, 12),
                          static_cast<int>(months - FloorDiv(months, 12) * 12) + 1) +
         t.day;
}

constexpr std::int64_t SecondsOf(const Time& t) {
  return DaysOf(t) * kSecondsPerDay + t.hour * 3600 + t.minute * 60 + t.second;
}

constexpr void SetFromSeconds(Time& t, std::int64_t total) {
  const std::int64_t days = FloorDiv(total, kSecondsPerDay);
  std::int64_t rest = total - days * kSecondsPerDay;
  const Date d = DateOfDays(days);
  t.year = static_cast<std::uint16_t>(d.year);
  t.month = static_cast<std::uint8_t>(d.month1 - 1);
  t.day = static_cast<std::uint8_t>(d.day1 - 1);
  t.hour = static_cast<std::uint8_t>(rest / 3600);
  rest %= 3600;
  t.minute = static_cast<std::uint8_t>(rest / 60);
  t.second = static_cast<std::uint8_t>(rest % 60);
}

constexpr bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

}  // namespace detail

constexpr void Time::set(int y, int mo, int d, int h, int mi, int s) {
  year = static_cast<std::uint16_t>(y);
  month = static_cast<std::uint8_t>(mo);
  day = static_cast<std::uint8_t>(d);
  hour = static_cast<std::uint8_t>(h);
  minute = static_cast<std::uint8_t>(mi);
  second = static_cast<std::uint8_t>(s);
}

constexpr void Time::addSec(std::int32_t seconds) {
  detail::SetFromSeconds(*this, detail::SecondsOf(*this) + seconds);
}

constexpr void Time::addMin(std::int32_t minutes) {
  detail::SetFromSeconds(*this, detail::SecondsOf(*this) + static_cast<std::int64_t>(minutes) * 60);
}

constexpr void Time::addDate(std::int32_t days) {
  detail::SetFromSeconds(
      *this, detail::SecondsOf(*this) + static_cast<std::int64_t>(days) * detail::kSecondsPerDay);
}

constexpr int Week(int year, int month, int day) {
  constexpr int kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || month < 0 || month > 11 || day < 0) return -1;
  const int length = kDaysInMonth[month] + (month == 1 && detail::IsLeapYear(year) ? 1 : 0);
  if (day >= length) return -1;
  // 1970-01-01 was a Thursday (4).
  const std::int64_t days = detail::DaysToMonthStart(year, month + 1) + day;
  return static_cast<int>(days - detail::FloorDiv(days + 4, 7) * 7 + 4);
}

}  // namespace TravelClock
