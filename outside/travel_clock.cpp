// The travel clock is defined in its header: hosts of the installed toll
// library fill and move their times without a library of ours. This unit
// keeps the calendar's anchor dates checked once, when the outside library
// is built.
#include "outside/travel_clock.h"

namespace {

constexpr TravelClock::Time Moved(int days, int minutes) {
  TravelClock::Time t;
  t.set(2016, 1, 28, 23, 30, 0);  // 2016-02-29 23:30
  t.addDate(days);
  t.addMin(minutes);
  return t;
}

static_assert(TravelClock::Week(1970, 0, 0) == 4);    // a Thursday
static_assert(TravelClock::Week(2015, 5, 0) == 1);    // 2015-06-01, a Monday
static_assert(TravelClock::Week(2015, 1, 28) == -1);  // no 29 February in 2015
static_assert(Moved(365, 30).year == 2017 && Moved(365, 30).month == 2 && Moved(365, 30).day == 0 &&
              Moved(365, 30).hour == 0);  // 2017-03-01 00:00

}  // namespace
