#include "toll/toll_calendar.h"

namespace {

// 2016 and 2017 include Mountain Day (08-11), a national holiday since 2016.
constexpr HolidayDate kHolidays[] = {
    {2010, 1, 1},   {2010, 1, 11},  {2010, 2, 11},  {2010, 3, 21},  {2010, 3, 22},  {2010, 4, 29},
    {2010, 5, 3},   {2010, 5, 4},   {2010, 5, 5},   {2010, 7, 19},  {2010, 9, 20},  {2010, 9, 23},
    {2010, 10, 11}, {2010, 11, 3},  {2010, 11, 23}, {2010, 12, 23}, {2011, 1, 1},   {2011, 1, 10},
    {2011, 2, 11},  {2011, 3, 21},  {2011, 4, 29},  {2011, 5, 3},   {2011, 5, 4},   {2011, 5, 5},
    {2011, 7, 18},  {2011, 9, 19},  {2011, 9, 23},  {2011, 10, 10}, {2011, 11, 3},  {2011, 11, 23},
    {2011, 12, 23}, {2012, 1, 1},   {2012, 1, 2},   {2012, 1, 9},   {2012, 2, 11},  {2012, 3, 20},
    {2012, 4, 29},  {2012, 4, 30},  {2012, 5, 3},   {2012, 5, 4},   {2012, 5, 5},   {2012, 7, 16},
    {2012, 9, 17},  {2012, 9, 22},  {2012, 10, 8},  {2012, 11, 3},  {2012, 11, 23}, {2012, 12, 23},
    {2012, 12, 24}, {2013, 1, 1},   {2013, 1, 14},  {2013, 2, 11},  {2013, 3, 20},  {2013, 4, 29},
    {2013, 5, 3},   {2013, 5, 4},   {2013, 5, 5},   {2013, 5, 6},   {2013, 7, 15},  {2013, 9, 16},
    {2013, 9, 23},  {2013, 10, 14}, {2013, 11, 3},  {2013, 11, 4},  {2013, 11, 23}, {2013, 12, 23},
    {2014, 1, 1},   {2014, 1, 13},  {2014, 2, 11},  {2014, 3, 21},  {2014, 4, 29},  {2014, 5, 3},
    {2014, 5, 4},   {2014, 5, 5},   {2014, 5, 6},   {2014, 7, 21},  {2014, 9, 15},  {2014, 9, 23},
    {2014, 10, 13}, {2014, 11, 3},  {2014, 11, 23}, {2014, 11, 24}, {2014, 12, 23}, {2015, 1, 1},
    {2015, 1, 12},  {2015, 2, 11},  {2015, 3, 21},  {2015, 4, 29},  {2015, 5, 3},   {2015, 5, 4},
    {2015, 5, 5},   {2015, 5, 6},   {2015, 7, 20},  {2015, 9, 21},  {2015, 9, 22},  {2015, 9, 23},
    {2015, 10, 12}, {2015, 11, 3},  {2015, 11, 23}, {2015, 12, 23}, {2016, 1, 1},   {2016, 1, 11},
    {2016, 2, 11},  {2016, 3, 20},  {2016, 3, 21},  {2016, 4, 29},  {2016, 5, 3},   {2016, 5, 4},
    {2016, 5, 5},   {2016, 7, 18},  {2016, 8, 11},  {2016, 9, 19},  {2016, 9, 22},  {2016, 10, 10},
    {2016, 11, 3},  {2016, 11, 23}, {2016, 12, 23}, {2017, 1, 1},   {2017, 1, 2},   {2017, 1, 9},
    {2017, 2, 11},  {2017, 3, 20},  {2017, 4, 29},  {2017, 5, 3},   {2017, 5, 4},   {2017, 5, 5},
    {2017, 7, 17},  {2017, 8, 11},  {2017, 9, 18},  {2017, 9, 23},  {2017, 10, 9},  {2017, 11, 3},
    {2017, 11, 23}, {2017, 12, 23},
};

// The last year the packed form holds (year - 2000 in 11 bits).
constexpr int kLastPackedYear = 2000 + 2047;

std::int32_t TimeOfDay(std::uint32_t packed) {
  return static_cast<std::int32_t>(((packed >> 6) & 0x1F) * 256 + (packed & 0x3F));
}

bool DayTest(std::uint16_t dayWord, const PassageWindow& w) {
  if (w.holiday) return (dayWord & 0x0100) != 0;
  if (w.dayOfWeek < 0 || w.dayOfWeek > 6) return false;
  return (dayWord & (0x8000u >> w.dayOfWeek)) != 0;
}

// 0 before the window, 1 inside, 2 after it.
int Position(std::int64_t v, const PassageWindow& w) {
  if (v < w.start) return 0;
  if (v > w.end) return 2;
  return 1;
}

// Calls visit(window) for each passage window until it answers true; true
// when one did.
template <typename Visit>
bool ForEachPassageWindow(const TollPassage& entry, const TollPassage& exit, Visit visit) {
  if (entry.time == 0) return false;
  const std::int32_t e = TimeOfDay(entry.time);
  const bool hasExit = exit.facility != 0;
  if (hasExit) {
    const std::int32_t d = daysBetween(entry.time, exit.time);
    if (d >= 1) {
      const std::int32_t x = TimeOfDay(exit.time);
      TravelClock::Time day = unpackTime(entry.time);
      day.hour = 0;
      day.minute = 0;
      const HolidayYearMask mask = buildHolidayYearMask(HolidayTable(), day.year);
      for (std::int32_t k = 0; k <= d; ++k) {
        const PassageWindow w{e - static_cast<std::int64_t>(kDayUnits) * k,
                              x + static_cast<std::int64_t>(kDayUnits) * (d - k),
                              weekdayClass(packTime(day)),
                              isHoliday(mask, day.year, day.month + 1, day.day + 1)};
        if (visit(w)) return true;
        day.addDate(1);
      }
      return false;
    }
  }
  const std::int32_t x = (hasExit && exit.time != 0) ? TimeOfDay(exit.time) : e;
  return visit(PassageWindow{e, x, entry.dayOfWeek, entry.holiday != 0});
}

}  // namespace

std::uint32_t packTime(const TravelClock::Time& time) {
  return ((static_cast<std::uint32_t>(time.year) + 48u) << 21) |
         (static_cast<std::uint32_t>(time.month & 0x0F) << 17) |
         (static_cast<std::uint32_t>(time.day & 0x1F) << 12) |
         (static_cast<std::uint32_t>(time.hour & 0x1F) << 6) |
         static_cast<std::uint32_t>(time.minute & 0x3F);
}

TravelClock::Time unpackTime(std::uint32_t packed) {
  TravelClock::Time t;
  t.set(static_cast<int>(packed >> 21) + 2000, static_cast<int>((packed >> 17) & 0x0F),
        static_cast<int>((packed >> 12) & 0x1F), static_cast<int>((packed >> 6) & 0x1F),
        static_cast<int>(packed & 0x3F), 0);
  return t;
}

std::int32_t daysBetween(std::uint32_t a, std::uint32_t b) {
  const bool aEarlier = a < b;
  TravelClock::Time from = unpackTime(aEarlier ? a : b);
  TravelClock::Time to = unpackTime(aEarlier ? b : a);
  from.hour = from.minute = 0;
  to.hour = to.minute = 0;
  const std::uint32_t target = packTime(to);
  std::int32_t count = 0;
  // Stepping stops at the last packable year, so a date that no step can
  // reach (an impossible later date) cannot wrap around.
  while (packTime(from) < target && from.year <= kLastPackedYear) {
    from.addDate(1);
    ++count;
  }
  return aEarlier ? count : -count;
}

std::int32_t weekdayClass(std::uint32_t packed) {
  const TravelClock::Time t = unpackTime(packed);
  const int w = TravelClock::Week(t.year, t.month, t.day);
  return (w >= 0 && w <= 6) ? w : 1;
}

std::span<const HolidayDate> HolidayTable() { return kHolidays; }

HolidayYearMask buildHolidayYearMask(std::span<const HolidayDate> table, std::int32_t baseYear) {
  HolidayYearMask mask;
  mask.baseYear = baseYear;
  for (const HolidayDate& h : table) {
    if (h.month < 1 || h.month > 12 || h.day < 1 || h.day > 31) continue;
    int slot;
    if (h.year == baseYear)
      slot = h.month - 1;
    else if (h.year == baseYear + 1)
      slot = 12 + h.month - 1;
    else
      continue;
    mask.months[slot] |= 1u << (h.day - 1);
  }
  return mask;
}

bool isHoliday(const HolidayYearMask& mask, std::int32_t year, std::int32_t month,
               std::int32_t day) {
  if (month < 1 || month > 12 || day < 1 || day > 31) return false;
  int slot;
  if (year == mask.baseYear)
    slot = month - 1;
  else if (year == mask.baseYear + 1)
    slot = 12 + month - 1;
  else
    return false;
  return (mask.months[slot] >> (day - 1)) & 1u;
}

std::vector<PassageWindow> passageWindows(const TollPassage& entry, const TollPassage& exit) {
  std::vector<PassageWindow> out;
  ForEachPassageWindow(entry, exit, [&](const PassageWindow& w) {
    out.push_back(w);
    return false;
  });
  return out;
}

std::vector<RuleWindow> ruleWindows(const TimeWindowRule& rule) {
  const std::int32_t s = rule.windowStart;
  const std::int32_t t = rule.windowEnd;
  if (t < s) return {{s - kDayUnits, t}, {s, t + kDayUnits}};
  return {{s, t}};
}

bool ruleApplies(const TimeWindowRule& rule, const TollPassage& entry, const TollPassage& exit) {
  if (entry.time == 0) return false;
  int mode = (rule.dayWord >> 4) & 7;
  if (mode >= 6) mode = 2;
  const std::vector<RuleWindow> rules = ruleWindows(rule);
  return ForEachPassageWindow(entry, exit, [&](const PassageWindow& w) {
    const bool dayOk = DayTest(rule.dayWord, w);
    for (const RuleWindow& r : rules) {
      if (mode == 0) {
        if (dayOk) return true;
        continue;
      }
      const int ps = Position(r.start, w);
      const int pt = Position(r.end, w);
      bool match = false;
      if (ps == 0 && pt == 1)
        match = mode != 4;
      else if (ps == 0 && pt == 2)
        // A rule window that covers the whole passage counts only in mode
        // 1 (mode 0 never gets here).
        match = mode == 1;
      else if (ps == 1 && pt == 1)
        match = true;
      else if (ps == 1 && pt == 2)
        match = mode != 5;
      if (match && dayOk) return true;
    }
    return false;
  });
}
