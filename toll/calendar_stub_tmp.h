#pragma once
// TEMPORARY STAND-IN, to be replaced by the toll library's calendar
// (packed times, holidays and time-window rules) when it is merged. It
// holds only what the fee calculation calls: daysBetween and ruleApplies,
// with the argument types they take. Passages that span several days use
// the entry's weekday advanced by one a day and no holiday; the real
// calendar takes both from its own tables.

#include <cstdint>

// The day-and-time part of a discount rule.
struct TimeWindowRule {
  uint16_t dayWord = 0;      // bit 15 day 0 .. bit 9 day 6, bit 8 holidays, mode in bits 4-6
  uint16_t windowStart = 0;  // hour x 256 + minute
  uint16_t windowEnd = 0;
};

// One passage of a toll point.
struct RulePassage {
  int32_t facility = 0;  // 0 = no passage
  uint32_t time = 0;     // packed time
  int32_t dayOfWeek = 1;
  uint8_t holiday = 0;
};

// Whole days from the date of a to the date of b (negative when b is earlier).
int32_t daysBetween(uint32_t a, uint32_t b);

// True when the rule's days and window apply to the passage.
bool ruleApplies(const TimeWindowRule& rule, const RulePassage& entry, const RulePassage& exit);
