// TEMPORARY STAND-IN: see calendar_stub_tmp.h.
#include "toll/calendar_stub_tmp.h"

#include <vector>

namespace {

// Days since 1970-01-01 of a packed date (day and month counted from 0).
int64_t DayNumber(uint32_t packed) {
  int64_t y = 2000 + (packed >> 21);
  const int64_t m = ((packed >> 17) & 0x0F) + 1;
  const int64_t d = ((packed >> 12) & 0x1F) + 1;
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int32_t TimeOfDay(uint32_t packed) { return static_cast<int32_t>(((packed >> 6) & 0x1F) * 256 + (packed & 0x3F)); }

bool DayTest(uint16_t dayWord, int32_t dayOfWeek, bool holiday) {
  if (holiday) return (dayWord & 0x0100) != 0;
  if (dayOfWeek < 0 || dayOfWeek > 6) return false;
  return (dayWord >> (15 - dayOfWeek)) & 1;
}

int Position(int32_t v, int32_t p, int32_t q) { return v < p ? 0 : v <= q ? 1 : 2; }

}  // namespace

int32_t daysBetween(uint32_t a, uint32_t b) { return static_cast<int32_t>(DayNumber(b) - DayNumber(a)); }

bool ruleApplies(const TimeWindowRule& rule, const RulePassage& entry, const RulePassage& exit) {
  if (entry.time == 0) return false;
  struct Window {
    int32_t p, q, day;
    bool holiday;
  };
  std::vector<Window> passages;
  const int32_t e = TimeOfDay(entry.time);
  const int32_t d = exit.facility != 0 ? daysBetween(entry.time, exit.time) : 0;
  if (d >= 1) {
    const int32_t x = TimeOfDay(exit.time);
    for (int32_t k = 0; k <= d; ++k)
      passages.push_back({e - 6144 * k, x + 6144 * (d - k), (entry.dayOfWeek + k) % 7, k == 0 && entry.holiday});
  } else {
    const int32_t x = exit.facility != 0 && exit.time != 0 ? TimeOfDay(exit.time) : e;
    passages.push_back({e, x, entry.dayOfWeek, entry.holiday != 0});
  }
  std::vector<std::pair<int32_t, int32_t>> rules;
  if (rule.windowEnd < rule.windowStart) {
    rules.push_back({rule.windowStart - 6144, rule.windowEnd});
    rules.push_back({rule.windowStart, rule.windowEnd + 6144});
  } else {
    rules.push_back({rule.windowStart, rule.windowEnd});
  }
  int mode = (rule.dayWord >> 4) & 7;
  if (mode == 6 || mode == 7) mode = 2;
  for (const auto& [s, t] : rules) {
    for (const Window& w : passages) {
      const bool day = DayTest(rule.dayWord, w.day, w.holiday);
      if (mode == 0) {
        if (day) return true;
        continue;
      }
      const int ps = Position(s, w.p, w.q);
      const int pt = Position(t, w.p, w.q);
      bool match = false;
      if (ps == 0 && pt == 1)
        match = mode != 4;
      else if (ps == 0 && pt == 2)
        match = mode == 1;
      else if (ps == 1 && pt == 1)
        match = true;
      else if (ps == 1 && pt == 2)
        match = mode != 5;
      if (match && day) return true;
    }
  }
  return false;
}
