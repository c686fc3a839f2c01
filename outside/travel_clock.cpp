#include "outside/travel_clock.h"

namespace TravelClock {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Days from 1970-01-01 to the first of month `month1` (1-12) of `year`, in the
// proleptic Gregorian calendar.
std::int64_t DaysToMonthStart(std::int64_t year, int month1) {
  const std::int64_t y = year - (month1 <= 2 ? 1 : 0);
  const std::int64_t era = FloorDiv(y, 400);
  const std::int64_t yoe = y - era * 400;                                   // 0-399
  const std::int64_t doy = (153 * (month1 > 2 ? month1 - 3 : month1 + 9) + 2) / 5;  // March-based
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

struct Date {
  std::int64_t year;
  int month1;  // 1-12
  int day1;    // 1-31
};

Date DateOfDays(std::int64_t days) {
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
std::int64_t DaysOf(const Time& t) {
  const std::int64_t months = static_cast<std::int64_t>(t.year) * 12 + t.month;
  return DaysToMonthStart(FloorDiv(months, 12), static_cast<int>(months - FloorDiv(months, 12) * 12) + 1) +
         t.day;
}

std::int64_t SecondsOf(const Time& t) {
  return DaysOf(t) * kSecondsPerDay + t.hour * 3600 + t.minute * 60 + t.second;
}

void SetFromSeconds(Time& t, std::int64_t total) {
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

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

}  // namespace

void Time::set(int y, int mo, int d, int h, int mi, int s) {
  year = static_cast<std::uint16_t>(y);
  month = static_cast<std::uint8_t>(mo);
  day = static_cast<std::uint8_t>(d);
  hour = static_cast<std::uint8_t>(h);
  minute = static_cast<std::uint8_t>(mi);
  second = static_cast<std::uint8_t>(s);
}

void Time::addSec(std::int32_t seconds) { SetFromSeconds(*this, SecondsOf(*this) + seconds); }

void Time::addMin(std::int32_t minutes) {
  SetFromSeconds(*this, SecondsOf(*this) + static_cast<std::int64_t>(minutes) * 60);
}

void Time::addDate(std::int32_t days) {
  SetFromSeconds(*this, SecondsOf(*this) + static_cast<std::int64_t>(days) * kSecondsPerDay);
}

int Week(int year, int month, int day) {
  static const int kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || month < 0 || month > 11 || day < 0) return -1;
  const int length = kDaysInMonth[month] + (month == 1 && IsLeapYear(year) ? 1 : 0);
  if (day >= length) return -1;
  // 1970-01-01 was a Thursday (4).
  const std::int64_t days = DaysToMonthStart(year, month + 1) + day;
  return static_cast<int>(days - FloorDiv(days + 4, 7) * 7 + 4);
}

}  // namespace TravelClock
