#pragma once
// Dates and times of toll passages: the packed time carried by toll input
// items, days between two of them, the day-of-week class, the holiday table
// with its per-year masks, and the test whether a discount rule's days and
// time window apply to a passage. All pure functions of their arguments and
// the built-in holiday table.

#include <cstdint>
#include <span>
#include <vector>

#include "outside/travel_clock.h"

// Packed time (32-bit): minute bits 0-5, hour bits 6-10, day counted from 0
// bits 12-16, month counted from 0 bits 17-20, year - 2000 bits 21-31.
std::uint32_t packTime(const TravelClock::Time& time);
// The five fields back, seconds 0.
TravelClock::Time unpackTime(std::uint32_t packed);

// Whole days from the date of a to the date of b (times of day ignored),
// negative when b is the earlier.
std::int32_t daysBetween(std::uint32_t a, std::uint32_t b);

// Day of the week (0 = Sunday .. 6) of the packed date; 1 when the date does
// not exist.
std::int32_t weekdayClass(std::uint32_t packed);

struct HolidayDate {
  std::uint16_t year;
  std::uint8_t month;  // 1-12
  std::uint8_t day;    // 1-31
};

// The national and substitute holidays of 2010 to 2017, in date order.
std::span<const HolidayDate> HolidayTable();

// Holidays of a base year and the year after: bit d-1 of months[m-1] is day
// d of month m of the base year, months[12 + m-1] the same in the next year.
struct HolidayYearMask {
  std::int32_t baseYear = 0;
  std::uint32_t months[24] = {};
};

HolidayYearMask buildHolidayYearMask(std::span<const HolidayDate> table, std::int32_t baseYear);
// Month 1-12, day 1-31; false out of range and for any year other than the
// base year and the one after.
bool isHoliday(const HolidayYearMask& mask, std::int32_t year, std::int32_t month,
               std::int32_t day);

// The day-and-time part of a discount rule. Day word: bit 15 for day of week
// 0 down to bit 9 for day 6, bit 8 for holidays, the mode in bits 4-6 (6 and
// 7 count as 2). Window start and end are hour * 256 + minute.
struct TimeWindowRule {
  std::uint16_t dayWord = 0;
  std::uint16_t windowStart = 0;
  std::uint16_t windowEnd = 0;
};

// One passage of a toll point: facility number (0 = no passage), packed
// time, day of week and holiday flag.
struct TollPassage {
  std::int32_t facility = 0;
  std::uint32_t time = 0;
  std::int32_t dayOfWeek = 1;
  std::uint8_t holiday = 0;
};

// A stretch of time in hour * 256 + minute units (24 hours = 6144), with the
// day it counts for.
struct PassageWindow {
  std::int64_t start;
  std::int64_t end;
  std::int32_t dayOfWeek;
  bool holiday;
};

struct RuleWindow {
  std::int32_t start;
  std::int32_t end;
};

inline constexpr std::int32_t kDayUnits = 24 * 256;

// The windows ruleApplies compares: one per calendar day the passage spans,
// and the rule's window, split in two when it passes midnight.
std::vector<PassageWindow> passageWindows(const TollPassage& entry, const TollPassage& exit);
std::vector<RuleWindow> ruleWindows(const TimeWindowRule& rule);

// True when the rule's days and window apply to the passage from `entry` to
// `exit` (exit facility 0: the entry alone).
bool ruleApplies(const TimeWindowRule& rule, const TollPassage& entry, const TollPassage& exit);
