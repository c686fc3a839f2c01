#include "outside/travel_clock.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using TravelClock::Time;

// Month and day given as on a calendar (1-based); stored counted from 0.
Time At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  Time t;
  t.set(y, mo - 1, d - 1, h, mi, s);
  return t;
}

// "YYYY-MM-DD hh:mm:ss" with the calendar's month and day.
std::string Show(const Time& t) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month + 1, t.day + 1,
                t.hour, t.minute, t.second);
  return buf;
}

}  // namespace

TEST(TravelClockTime, AddDateCarriesAcrossMonthsYearsAndLeapDays) {
  struct Case {
    Time from;
    int days;
    const char* want;
  } cases[] = {
      {At(2017, 1, 31, 10, 20, 30), 1, "2017-02-01 10:20:30"},
      {At(2017, 4, 30), 1, "2017-05-01 00:00:00"},
      {At(2017, 12, 31, 23, 0), 1, "2018-01-01 23:00:00"},
      {At(2016, 2, 28), 1, "2016-02-29 00:00:00"},  // leap year
      {At(2016, 2, 29), 1, "2016-03-01 00:00:00"},
      {At(2015, 2, 28), 1, "2015-03-01 00:00:00"},  // no 29 February
      {At(2000, 2, 28), 1, "2000-02-29 00:00:00"},  // divisible by 400: leap
      {At(2100, 2, 28), 1, "2100-03-01 00:00:00"},  // divisible by 100: not
      {At(2016, 3, 1), -1, "2016-02-29 00:00:00"},
      {At(2018, 1, 1), -1, "2017-12-31 00:00:00"},
      {At(2016, 1, 1), 366, "2017-01-01 00:00:00"},
      {At(2015, 1, 1), 365, "2016-01-01 00:00:00"},
      {At(2012, 12, 24), 0, "2012-12-24 00:00:00"},
  };
  for (const Case& c : cases) {
    Time t = c.from;
    t.addDate(c.days);
    EXPECT_EQ(Show(t), c.want) << Show(c.from) << " + " << c.days << " days";
  }
}

TEST(TravelClockTime, AddSecAndAddMinCarryIntoTheDate) {
  Time t = At(2017, 12, 31, 23, 59, 59);
  t.addSec(1);
  EXPECT_EQ(Show(t), "2018-01-01 00:00:00");
  t.addSec(-1);
  EXPECT_EQ(Show(t), "2017-12-31 23:59:59");

  t = At(2016, 2, 28, 23, 30);
  t.addMin(45);
  EXPECT_EQ(Show(t), "2016-02-29 00:15:00");
  t.addMin(24 * 60);
  EXPECT_EQ(Show(t), "2016-03-01 00:15:00");
  t.addMin(-16);
  EXPECT_EQ(Show(t), "2016-02-29 23:59:00");

  t = At(2010, 1, 1);
  t.addSec(90061);  // one day, one hour, one minute, one second
  EXPECT_EQ(Show(t), "2010-01-02 01:01:01");
}

TEST(TravelClockTime, FieldsOutOfRangeAreCarriedFirst) {
  Time t;
  t.set(2017, 3, 30, 25, 0, 0);  // "31 April", 25 o'clock
  t.addSec(0);
  EXPECT_EQ(Show(t), "2017-05-02 01:00:00");
  t.set(2017, 12, 0, 0, 0, 0);  // month 13
  t.addDate(0);
  EXPECT_EQ(Show(t), "2018-01-01 00:00:00");
}

TEST(TravelClockWeek, KnownDatesAndImpossibleOnes) {
  // Month and day counted from 0; 0 = Sunday.
  EXPECT_EQ(TravelClock::Week(2000, 0, 0), 6);    // 2000-01-01 Saturday
  EXPECT_EQ(TravelClock::Week(1970, 0, 0), 4);    // Thursday
  EXPECT_EQ(TravelClock::Week(2016, 1, 28), 1);   // 2016-02-29 Monday
  EXPECT_EQ(TravelClock::Week(2012, 11, 23), 1);  // 2012-12-24 Monday
  EXPECT_EQ(TravelClock::Week(2017, 11, 30), 0);  // 2017-12-31 Sunday
  EXPECT_EQ(TravelClock::Week(2018, 0, 0), 1);    // 2018-01-01 Monday
  EXPECT_EQ(TravelClock::Week(2015, 7, 14), 6);   // 2015-08-15 Saturday
  EXPECT_EQ(TravelClock::Week(1, 0, 0), 1);       // 0001-01-01 Monday (proleptic)

  EXPECT_EQ(TravelClock::Week(2015, 1, 28), -1);  // 2015-02-29
  EXPECT_EQ(TravelClock::Week(2100, 1, 28), -1);  // 2100-02-29
  EXPECT_EQ(TravelClock::Week(2017, 3, 30), -1);  // 31 April
  EXPECT_EQ(TravelClock::Week(2017, 12, 0), -1);  // month 13
  EXPECT_EQ(TravelClock::Week(2017, -1, 0), -1);
  EXPECT_EQ(TravelClock::Week(2017, 0, -1), -1);
  EXPECT_EQ(TravelClock::Week(0, 0, 0), -1);
}

TEST(TravelClockWeek, StepsOneDayAtATimeOverYears) {
  // Walking day by day from a known Sunday, the week day advances by one
  // each time, across month ends, year ends and leap days.
  Time t = At(2009, 12, 27);  // Sunday
  int expected = 0;
  for (int i = 0; i < 9 * 366; ++i) {
    ASSERT_EQ(TravelClock::Week(t.year, t.month, t.day), expected) << Show(t);
    t.addDate(1);
    expected = (expected + 1) % 7;
  }
}
