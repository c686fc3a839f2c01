#include "toll/toll_calendar.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Packed time of a calendar date (month and day 1-based) and time of day.
std::uint32_t P(int y, int mo, int d, int h = 0, int mi = 0) {
  TravelClock::Time t;
  t.set(y, mo - 1, d - 1, h, mi, 0);
  return packTime(t);
}

constexpr std::int32_t HM(int h, int m) { return h * 256 + m; }

TollPassage Passage(std::int32_t facility, std::uint32_t time, std::int32_t dow = 3,
                    std::uint8_t holiday = 0) {
  TollPassage p;
  p.facility = facility;
  p.time = time;
  p.dayOfWeek = dow;
  p.holiday = holiday;
  return p;
}

const TollPassage kNoExit{};

// Day word: bits of the given days of week (0 = Sunday), the holiday bit
// when asked, and the mode.
std::uint16_t Days(std::initializer_list<int> days, bool holidays, int mode) {
  unsigned w = holidays ? 0x0100u : 0u;
  for (int d : days) w |= 0x8000u >> d;
  return static_cast<std::uint16_t>(w | (mode << 4));
}
const std::initializer_list<int> kEveryDay = {0, 1, 2, 3, 4, 5, 6};

TimeWindowRule Rule(std::uint16_t dayWord, std::int32_t start, std::int32_t end) {
  TimeWindowRule r;
  r.dayWord = dayWord;
  r.windowStart = static_cast<std::uint16_t>(start);
  r.windowEnd = static_cast<std::uint16_t>(end);
  return r;
}

std::string Show(const std::vector<PassageWindow>& ws) {
  std::ostringstream out;
  for (const auto& w : ws)
    out << "[" << w.start << "," << w.end << " d" << w.dayOfWeek << (w.holiday ? " H" : "") << "]";
  return out.str();
}

}  // namespace

TEST(PackedTime, PacksFieldsIntoTheirBitsAndBack) {
  EXPECT_EQ(P(2017, 12, 31, 23, 59), 0x0237E5FBu);  // 17<<21 | 11<<17 | 30<<12 | 23<<6 | 59
  EXPECT_EQ(P(2000, 1, 1), 0u);                     // (2000 + 48) << 21 wraps to 0
  EXPECT_EQ(P(2047 + 2000, 1, 1), 0xFFE00000u);     // the last year of the form
  EXPECT_EQ(P(2016, 2, 29, 8, 5) & 0x800u, 0u);     // bit 11 stays clear

  TravelClock::Time t;
  t.set(2016, 1, 28, 8, 5, 42);
  const TravelClock::Time back = unpackTime(packTime(t));
  EXPECT_EQ(back.year, 2016);
  EXPECT_EQ(back.month, 1);
  EXPECT_EQ(back.day, 28);
  EXPECT_EQ(back.hour, 8);
  EXPECT_EQ(back.minute, 5);
  EXPECT_EQ(back.second, 0);  // seconds are not carried

  const TravelClock::Time last = unpackTime(0xFFFFFFFFu);
  EXPECT_EQ(last.year, 4047);
  EXPECT_EQ(last.month, 15);
  EXPECT_EQ(last.day, 31);
  EXPECT_EQ(last.hour, 31);
  EXPECT_EQ(last.minute, 63);
}

TEST(PackedTime, DaysBetweenCountsDatesEitherWay) {
  EXPECT_EQ(daysBetween(P(2017, 12, 31, 10, 0), P(2018, 1, 2, 0, 0)), 2);
  EXPECT_EQ(daysBetween(P(2018, 1, 2, 0, 0), P(2017, 12, 31, 10, 0)), -2);
  EXPECT_EQ(daysBetween(P(2017, 5, 3, 23, 59), P(2017, 5, 3, 0, 1)), 0);  // same date
  EXPECT_EQ(daysBetween(P(2017, 5, 3, 23, 59), P(2017, 5, 4, 0, 0)), 1);
  EXPECT_EQ(daysBetween(P(2016, 2, 28), P(2016, 3, 1)), 2);  // through 29 February
  EXPECT_EQ(daysBetween(P(2015, 2, 28), P(2015, 3, 1)), 1);
  EXPECT_EQ(daysBetween(P(2010, 1, 1), P(2018, 1, 1)), 2922);
}

TEST(PackedTime, DaysBetweenEndsForDatesNoDayStepReaches) {
  // An impossible later date: the count stops at the first date past it
  // (1 March).
  EXPECT_EQ(daysBetween(P(2017, 2, 28), P(2017, 2, 30)), 1);
  // Month 16 of the last packable year lies beyond every real date: the
  // count stops past the year's end instead of wrapping to 2000 and on.
  EXPECT_EQ(daysBetween(0u, 0xFFFFFFFFu), daysBetween(0u, P(4047, 12, 31)) + 1);
  EXPECT_EQ(daysBetween(0xFFFFFFFFu, 0u), -(daysBetween(0u, P(4047, 12, 31)) + 1));
}

TEST(PackedTime, WeekdayClassGivesOneForImpossibleDates) {
  EXPECT_EQ(weekdayClass(P(2017, 12, 31)), 0);  // Sunday
  EXPECT_EQ(weekdayClass(P(2016, 8, 11)), 4);   // Thursday
  EXPECT_EQ(weekdayClass(P(2015, 8, 15)), 6);   // Saturday
  EXPECT_EQ(weekdayClass(P(2017, 13, 1)), 1);   // month 12 counted from 0
  EXPECT_EQ(weekdayClass(P(2015, 2, 29)), 1);
  EXPECT_EQ(weekdayClass(P(2017, 4, 31)), 1);
  EXPECT_EQ(weekdayClass(P(2017, 1, 4)), 3);  // a Wednesday: 3 is not the fallback
}

TEST(Holidays, TableIsTheListedDatesPlusMountainDay) {
  const char* const kYears[] = {
      "2010: 01-01 01-11 02-11 03-21 03-22 04-29 05-03 05-04 05-05 07-19 09-20 09-23 10-11 11-03 "
      "11-23 12-23",
      "2011: 01-01 01-10 02-11 03-21 04-29 05-03 05-04 05-05 07-18 09-19 09-23 10-10 11-03 11-23 "
      "12-23",
      "2012: 01-01 01-02 01-09 02-11 03-20 04-29 04-30 05-03 05-04 05-05 07-16 09-17 09-22 10-08 "
      "11-03 11-23 12-23 12-24",
      "2013: 01-01 01-14 02-11 03-20 04-29 05-03 05-04 05-05 05-06 07-15 09-16 09-23 10-14 11-03 "
      "11-04 11-23 12-23",
      "2014: 01-01 01-13 02-11 03-21 04-29 05-03 05-04 05-05 05-06 07-21 09-15 09-23 10-13 11-03 "
      "11-23 11-24 12-23",
      "2015: 01-01 01-12 02-11 03-21 04-29 05-03 05-04 05-05 05-06 07-20 09-21 09-22 09-23 10-12 "
      "11-03 11-23 12-23",
      "2016: 01-01 01-11 02-11 03-20 03-21 04-29 05-03 05-04 05-05 07-18 08-11 09-19 09-22 10-10 "
      "11-03 11-23 12-23",
      "2017: 01-01 01-02 01-09 02-11 03-20 04-29 05-03 05-04 05-05 07-17 08-11 09-18 09-23 10-09 "
      "11-03 11-23 12-23",
  };
  std::vector<std::string> want;
  for (const char* line : kYears) {
    std::istringstream in(line);
    std::string year, md;
    in >> year;
    year.pop_back();  // ':'
    while (in >> md) want.push_back(year + "-" + md);
  }
  std::vector<std::string> got;
  for (const HolidayDate& h : HolidayTable()) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", h.year, h.month, h.day);
    got.push_back(buf);
  }
  EXPECT_EQ(want.size(), 134u);
  EXPECT_EQ(got, want);
}

TEST(Holidays, YearMaskCoversTheBaseYearAndTheNext) {
  const HolidayYearMask m2016 = buildHolidayYearMask(HolidayTable(), 2016);
  EXPECT_EQ(m2016.baseYear, 2016);
  EXPECT_TRUE(isHoliday(m2016, 2016, 8, 11));
  EXPECT_TRUE(isHoliday(m2016, 2017, 8, 11));
  EXPECT_TRUE(isHoliday(m2016, 2017, 1, 2));  // substitute holiday
  EXPECT_FALSE(isHoliday(m2016, 2016, 8, 12));
  EXPECT_FALSE(isHoliday(m2016, 2015, 1, 1));  // the year before
  EXPECT_FALSE(isHoliday(m2016, 2018, 1, 1));  // base year + 2
  EXPECT_EQ(m2016.months[0], 0x401u);          // 1 and 11 January 2016
  EXPECT_EQ(m2016.months[12], 0x103u);         // 1, 2 and 9 January 2017

  const HolidayYearMask m2012 = buildHolidayYearMask(HolidayTable(), 2012);
  EXPECT_TRUE(isHoliday(m2012, 2012, 12, 24));
  EXPECT_TRUE(isHoliday(m2012, 2012, 12, 23));
  EXPECT_FALSE(isHoliday(m2012, 2012, 12, 25));
  const HolidayYearMask m2017 = buildHolidayYearMask(HolidayTable(), 2017);
  EXPECT_FALSE(isHoliday(m2017, 2018, 1, 1));  // the table ends with 2017
  EXPECT_TRUE(isHoliday(m2017, 2017, 12, 23));

  // Month and day out of range: never a holiday, never out of the mask.
  EXPECT_FALSE(isHoliday(m2016, 2016, 0, 1));
  EXPECT_FALSE(isHoliday(m2016, 2016, 13, 1));
  EXPECT_FALSE(isHoliday(m2016, 2016, 1, 0));
  EXPECT_FALSE(isHoliday(m2016, 2016, 1, 32));
}

TEST(Holidays, EntriesOutOfRangeAreSkippedWhenBuildingAMask) {
  const HolidayDate table[] = {{2016, 13, 1}, {2016, 0, 5},   {2016, 2, 0}, {2016, 2, 32},
                               {2016, 2, 29}, {2017, 12, 31}, {2018, 1, 1}};
  const HolidayYearMask m = buildHolidayYearMask(table, 2016);
  for (int i = 0; i < 24; ++i) {
    const std::uint32_t want = i == 1 ? (1u << 28) : i == 23 ? (1u << 30) : 0u;
    EXPECT_EQ(m.months[i], want) << "month slot " << i;
  }
}

TEST(TimeWindows, PassageOverMidnightGivesOneWindowPerDay) {
  // Friday 2017-03-10 23:30 to Saturday 00:30.
  const auto ws =
      passageWindows(Passage(1, P(2017, 3, 10, 23, 30), 3), Passage(2, P(2017, 3, 11, 0, 30)));
  EXPECT_EQ(Show(ws), "[5918,6174 d5][-226,30 d6]");

  // The second day is Mountain Day: its window sees a holiday.
  EXPECT_EQ(
      Show(passageWindows(Passage(1, P(2016, 8, 10, 23, 30)), Passage(2, P(2016, 8, 11, 0, 30)))),
      "[5918,6174 d3][-226,30 d4 H]");
  // Across the year end, holidays come from the mask of the entry's year.
  EXPECT_EQ(
      Show(passageWindows(Passage(1, P(2016, 12, 31, 22, 0)), Passage(2, P(2017, 1, 2, 1, 0)))),
      "[5632,12544 d6][-512,6400 d0 H][-6656,256 d1 H]");
  EXPECT_EQ(
      Show(passageWindows(Passage(1, P(2017, 12, 31, 22, 0)), Passage(2, P(2018, 1, 1, 1, 0)))),
      "[5632,6400 d0][-512,256 d1]");
}

TEST(TimeWindows, SingleDayPassagesKeepTheEntrysOwnDayAndHoliday) {
  // Same date: one window with the day and holiday flag the passage carries.
  EXPECT_EQ(Show(passageWindows(Passage(1, P(2017, 3, 10, 10, 0), 2, 1),
                                Passage(2, P(2017, 3, 10, 11, 30)))),
            "[2560,2846 d2 H]");
  // No exit passage: the window is the entry time itself.
  EXPECT_EQ(Show(passageWindows(Passage(1, P(2017, 3, 10, 10, 0), 4),
                                Passage(0, P(2017, 3, 12, 11, 30)))),
            "[2560,2560 d4]");
  // An exit without a time: likewise.
  EXPECT_EQ(Show(passageWindows(Passage(1, P(2017, 3, 10, 10, 0), 4), Passage(2, 0))),
            "[2560,2560 d4]");
  EXPECT_TRUE(passageWindows(Passage(1, 0), kNoExit).empty());
}

TEST(TimeWindows, RuleWindowPassingMidnightIsSplit) {
  const auto split = ruleWindows(Rule(0, HM(22, 0), HM(6, 0)));
  ASSERT_EQ(split.size(), 2u);
  EXPECT_EQ(split[0].start, -512);
  EXPECT_EQ(split[0].end, 1536);
  EXPECT_EQ(split[1].start, 5632);
  EXPECT_EQ(split[1].end, 7680);
  const auto day = ruleWindows(Rule(0, HM(8, 0), HM(20, 0)));
  ASSERT_EQ(day.size(), 1u);
  EXPECT_EQ(day[0].start, 2048);
  EXPECT_EQ(day[0].end, 5120);
  EXPECT_EQ(ruleWindows(Rule(0, HM(9, 0), HM(9, 0))).size(), 1u);
}

TEST(RuleApplies, ModeMatrixOnAPassageInsideTheNight) {
  // Wednesday 23:30-23:45 on one date: window [5918, 5965].
  const TollPassage in = Passage(1, P(2017, 3, 8, 23, 30), 3);
  const TollPassage out = Passage(2, P(2017, 3, 8, 23, 45));
  struct Case {
    int startH, startM, endH, endM;
    const char* modes;  // result for modes 1..7, '1' = applies
  } cases[] = {
      {22, 0, 6, 0, "1000000"},     // rule covers the passage: mode 1 only
      {23, 0, 23, 40, "1110111"},   // starts before, ends inside: not mode 4
      {23, 35, 23, 59, "1111011"},  // starts inside, ends after: not mode 5
      {23, 35, 23, 40, "1111111"},  // wholly inside the passage
      {8, 0, 20, 0, "0000000"},     // ends before the passage
      {23, 50, 23, 55, "0000000"},  // starts after it
      {23, 45, 23, 50, "1111011"},  // starts on the passage's end: inside
      {23, 0, 23, 30, "1110111"},   // ends on its start: inside
  };
  for (const Case& c : cases) {
    for (int mode = 1; mode <= 7; ++mode) {
      const TimeWindowRule rule =
          Rule(Days(kEveryDay, false, mode), HM(c.startH, c.startM), HM(c.endH, c.endM));
      EXPECT_EQ(ruleApplies(rule, in, out), c.modes[mode - 1] == '1')
          << c.startH << ":" << c.startM << "-" << c.endH << ":" << c.endM << " mode " << mode;
    }
  }
}

TEST(RuleApplies, DayBitsDecideAfterTheWindow) {
  const TollPassage wed = Passage(1, P(2017, 3, 8, 23, 30), 3);
  const TollPassage wedOut = Passage(2, P(2017, 3, 8, 23, 45));
  const std::int32_t s = HM(23, 0), t = HM(23, 40);
  EXPECT_TRUE(ruleApplies(Rule(Days({3}, false, 2), s, t), wed, wedOut));
  EXPECT_FALSE(ruleApplies(Rule(Days({0, 1, 2, 4, 5, 6}, true, 2), s, t), wed, wedOut));
  // On a holiday only the holiday bit counts.
  const TollPassage hol = Passage(1, P(2017, 3, 8, 23, 30), 3, 1);
  EXPECT_FALSE(ruleApplies(Rule(Days({3}, false, 2), s, t), hol, wedOut));
  EXPECT_TRUE(ruleApplies(Rule(Days({}, true, 2), s, t), hol, wedOut));
  // A day of week outside 0-6 matches no day bit.
  EXPECT_FALSE(ruleApplies(Rule(Days(kEveryDay, false, 2), s, t),
                           Passage(1, P(2017, 3, 8, 23, 30), 9), wedOut));
}

TEST(RuleApplies, ModeZeroWithTheHolidayBitIgnoresTheTime) {
  const TimeWindowRule holidaysOnly = Rule(0x0100, HM(8, 0), HM(9, 0));
  for (int h : {0, 3, 8, 15, 23}) {
    EXPECT_TRUE(ruleApplies(holidaysOnly, Passage(1, P(2017, 3, 8, h, 10), 3, 1), kNoExit)) << h;
    for (int dow = 0; dow < 7; ++dow)
      EXPECT_FALSE(ruleApplies(holidaysOnly, Passage(1, P(2017, 3, 8, h, 10), dow, 0), kNoExit))
          << h;
  }
  // Weekday bits in mode 0 likewise ignore the window.
  EXPECT_TRUE(ruleApplies(Rule(Days({5}, false, 0), HM(8, 0), HM(9, 0)),
                          Passage(1, P(2017, 3, 10, 22, 0), 5), kNoExit));
}

TEST(RuleApplies, EntryWithoutTimeNeverMatches) {
  EXPECT_FALSE(ruleApplies(Rule(0xFF00, 0, HM(23, 59)), Passage(1, 0, 3, 1), kNoExit));
  EXPECT_FALSE(ruleApplies(Rule(0xFF00, 0, HM(23, 59)), Passage(1, 0, 3, 1),
                           Passage(2, P(2017, 3, 8, 1, 0))));
}

TEST(RuleApplies, EachDayOfAMultiDayPassageIsTestedWithItsOwnDay) {
  // Friday 23:30 to Saturday 00:30; rule 00:00-01:00, mode 2.
  const TollPassage in = Passage(1, P(2017, 3, 10, 23, 30), 5);
  const TollPassage out = Passage(2, P(2017, 3, 11, 0, 30));
  EXPECT_TRUE(ruleApplies(Rule(Days({6}, false, 2), 0, HM(1, 0)), in, out));
  EXPECT_FALSE(ruleApplies(Rule(Days({5}, false, 2), 0, HM(1, 0)), in, out));
  EXPECT_FALSE(ruleApplies(Rule(Days({6}, false, 5), 0, HM(1, 0)), in, out));

  // Holidays-only rule over midnight into Mountain Day 2016, and the same
  // dates of 2015, when 11 August was a working day.
  const TimeWindowRule hol = Rule(Days({}, true, 2), 0, HM(1, 0));
  EXPECT_TRUE(
      ruleApplies(hol, Passage(1, P(2016, 8, 10, 23, 30), 3), Passage(2, P(2016, 8, 11, 0, 30))));
  EXPECT_FALSE(
      ruleApplies(hol, Passage(1, P(2015, 8, 10, 23, 30), 1), Passage(2, P(2015, 8, 11, 0, 30))));
}
