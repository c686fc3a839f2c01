// The candidate comparators of the matcher: start values, the status
// filter and every rule of each level, each case built so that the rule
// under test is the first one that separates the two candidates (and, where
// it matters, so that a later rule would answer the other way).

#include "matching/candidate_compare.h"

#include <gtest/gtest.h>

namespace {

template <typename T>
struct Case {
  const char* what;
  T best;
  T candidate;
  int32_t filter;
  int expected;
};

TEST(StatusFilter, RefusesByBitsZeroAndOne) {
  EXPECT_EQ(IsRefusedByStatusFilter(3, 0), 0);
  EXPECT_EQ(IsRefusedByStatusFilter(3, 1), 1);
  EXPECT_EQ(IsRefusedByStatusFilter(0, 1), 0);
  EXPECT_EQ(IsRefusedByStatusFilter(0, 2), 1);
  EXPECT_EQ(IsRefusedByStatusFilter(10, 2), 1);
  EXPECT_EQ(IsRefusedByStatusFilter(3, 2), 0);
  EXPECT_EQ(IsRefusedByStatusFilter(3, 3), 1);
  EXPECT_EQ(IsRefusedByStatusFilter(0, 3), 1);
  EXPECT_EQ(IsRefusedByStatusFilter(3, 4), 0);
  EXPECT_EQ(IsRefusedByStatusFilter(0, 8), 0);
}

// {level, cityConsumed, oazaVariant, oazaConsumed, chomeRoute, chomeConsumed, status}
const Case<CityCandidate> kCityCases[] = {
    {"municipality-only row beats the start values",
     kCityCandidateStart,
     {2, 8, 2, 0, 1, 0, 0},
     0,
     1},
    {"filter 1: a status-3 municipality row finds no place",
     kCityCandidateStart,
     {2, 8, 2, 0, 1, 0, 3},
     1,
     0},
    {"filter 2: only status 3 passes (refused)", kCityCandidateStart, {2, 8, 2, 0, 1, 0, 0}, 2, 0},
    {"filter 2: only status 3 passes (taken)", kCityCandidateStart, {2, 8, 2, 0, 1, 0, 3}, 2, 1},
    {"smaller variant kind beats a longer match",
     {4, 6, 1, 6, 1, 0, 0},
     {3, 6, 0, 4, 1, 0, 0},
     0,
     1},
    {"larger variant kind loses to a shorter match",
     {3, 6, 0, 4, 1, 0, 0},
     {4, 6, 1, 6, 1, 0, 0},
     0,
     0},
    {"larger sum of the three consumed counts wins",
     {4, 6, 0, 4, 0, 4, 0},
     {4, 2, 0, 2, 1, 12, 0},
     0,
     1},
    {"smaller sum loses although its chome route is better",
     {4, 6, 0, 4, 1, 4, 0},
     {4, 6, 0, 4, 0, 2, 0},
     0,
     0},
    {"control-route chome wins at equal length",
     {4, 6, 0, 4, 1, 4, 0},
     {4, 6, 0, 4, 0, 4, 0},
     0,
     1},
    {"name-route chome loses at equal length", {4, 6, 0, 4, 0, 4, 0}, {6, 6, 0, 4, 1, 4, 0}, 0, 0},
    {"larger level wins", {3, 6, 0, 4, 1, 4, 0}, {4, 6, 0, 4, 1, 4, 3}, 0, 1},
    {"smaller level loses", {4, 6, 0, 4, 1, 4, 3}, {3, 6, 0, 4, 1, 4, 10}, 0, 0},
    {"status rule: a status-3 best gives way", {4, 6, 0, 4, 1, 4, 3}, {4, 6, 0, 4, 1, 4, 0}, 0, 1},
    {"status rule: a status-3 new one loses", {4, 6, 0, 4, 1, 4, 0}, {4, 6, 0, 4, 1, 4, 3}, 0, 0},
    {"status rule also with filter bit 2 only", {4, 6, 0, 4, 1, 4, 3}, {4, 6, 0, 4, 1, 4, 0}, 4, 1},
    {"status rule off under filter 1", {4, 6, 0, 4, 1, 4, 3}, {4, 6, 0, 4, 1, 4, 0}, 1, 0},
    {"status-10 best stays", {4, 6, 0, 4, 1, 4, 10}, {4, 6, 0, 4, 1, 4, 0}, 0, 0},
    {"status-10 new one wins", {4, 6, 0, 4, 1, 4, 0}, {4, 6, 0, 4, 1, 4, 10}, 0, 1},
    {"equal candidates: the best stays", {4, 6, 0, 4, 1, 4, 0}, {4, 6, 0, 4, 1, 4, 0}, 0, 0},
    {"status-10 best against status 3", {4, 6, 0, 4, 1, 4, 10}, {4, 6, 0, 4, 1, 4, 3}, 0, 0},
};

TEST(IsBetterCityCandidate, EveryRuleInOrder) {
  for (const auto& c : kCityCases) {
    EXPECT_EQ(IsBetterCityCandidate(c.best, c.candidate, c.filter), c.expected) << c.what;
  }
}

// {level, oazaVariant, oazaConsumed, chomeRoute, chomeConsumed, status, controlRoute}
const Case<OazaCandidate> kOazaCases[] = {
    {"oaza-only row beats the start values", kOazaCandidateStart, {3, 0, 6, 1, 0, 0, 0}, 0, 1},
    {"filter 1 refuses status 3", kOazaCandidateStart, {3, 0, 6, 1, 0, 3, 1}, 1, 0},
    {"control route wins over a longer name-route match",
     {4, 0, 8, 0, 4, 0, 0},
     {3, 1, 4, 1, 0, 0, 1},
     0,
     1},
    {"name route loses to the control route", {3, 1, 4, 1, 0, 0, 1}, {4, 0, 8, 0, 4, 0, 0}, 0, 0},
    {"a number-unit best loses to a shorter plain match",
     {4, 2, 8, 0, 4, 0, 0},
     {3, 1, 4, 1, 0, 0, 0},
     0,
     1},
    {"a number-unit new one loses to a shorter plain match",
     {3, 0, 4, 1, 0, 0, 0},
     {4, 2, 8, 0, 4, 0, 0},
     0,
     0},
    {"variants 0 and 1: the longer match wins", {3, 0, 4, 1, 0, 0, 0}, {4, 1, 4, 1, 4, 0, 0}, 0, 1},
    {"smaller oaza + chome sum loses", {3, 1, 8, 1, 0, 0, 0}, {4, 0, 4, 0, 2, 0, 0}, 0, 0},
    {"control-route chome wins at equal length",
     {4, 0, 4, 1, 4, 0, 0},
     {4, 0, 4, 0, 4, 0, 0},
     0,
     1},
    {"name-route chome loses at equal length", {4, 0, 4, 0, 4, 0, 0}, {5, 0, 4, 1, 4, 0, 0}, 0, 0},
    {"larger level wins", {3, 0, 8, 1, 0, 0, 0}, {4, 1, 8, 1, 0, 3, 0}, 0, 1},
    {"smaller level loses", {4, 1, 8, 1, 0, 3, 0}, {3, 0, 8, 1, 0, 0, 0}, 0, 0},
    {"status rule: status-3 best gives way", {4, 0, 8, 1, 0, 3, 0}, {4, 1, 8, 1, 0, 0, 0}, 0, 1},
    {"status rule: status-3 new one loses", {4, 1, 8, 1, 0, 0, 0}, {4, 0, 8, 1, 0, 3, 0}, 0, 0},
    {"status-10 best stays against a smaller variant",
     {4, 1, 8, 1, 0, 10, 0},
     {4, 0, 8, 1, 0, 0, 0},
     0,
     0},
    {"status-10 new one wins against a smaller variant",
     {4, 0, 8, 1, 0, 0, 0},
     {4, 1, 8, 1, 0, 10, 0},
     0,
     1},
    {"smaller variant kind wins last", {4, 1, 8, 1, 0, 0, 0}, {4, 0, 8, 1, 0, 0, 0}, 0, 1},
    {"larger variant kind loses last", {4, 0, 8, 1, 0, 0, 0}, {4, 1, 8, 1, 0, 0, 0}, 0, 0},
    {"equal candidates: the best stays", {4, 0, 8, 1, 0, 0, 0}, {4, 0, 8, 1, 0, 0, 0}, 0, 0},
};

TEST(IsBetterOazaCandidate, EveryRuleInOrder) {
  for (const auto& c : kOazaCases) {
    EXPECT_EQ(IsBetterOazaCandidate(c.best, c.candidate, c.filter), c.expected) << c.what;
  }
}

TEST(IsWholeChomeGroup8, NeedsAnEmptyRestAndAGroupCodeBeginningWith8) {
  EXPECT_EQ(IsWholeChomeGroup8("", "800001"), 1);
  EXPECT_EQ(IsWholeChomeGroup8(nullptr, "800001"), 1);
  EXPECT_EQ(IsWholeChomeGroup8("\x82\x50", "800001"), 0);  // rest "１"
  EXPECT_EQ(IsWholeChomeGroup8("", "2610405"), 0);
  EXPECT_EQ(IsWholeChomeGroup8("", ""), 0);
  EXPECT_EQ(IsWholeChomeGroup8("", nullptr), 0);
}

TEST(IsBetterOazaCandidateGroupRule, TheWholeGroup8ChomeWinsBetweenTwoLevel4Candidates) {
  const OazaCandidate longer = {4, 0, 8, 1, 4, 0, 0};
  const OazaCandidate shorter = {4, 0, 6, 1, 4, 0, 0};
  // The marked one wins whichever side it is on and whatever the lengths.
  EXPECT_EQ(IsBetterOazaCandidateGroupRule(longer, "", "2610405", shorter, "", "800001", 0), 1);
  EXPECT_EQ(IsBetterOazaCandidateGroupRule(shorter, "", "800001", longer, "", "2610405", 0), 0);
  // Both marked, or neither: the oaza comparator decides (the longer).
  EXPECT_EQ(IsBetterOazaCandidateGroupRule(shorter, "", "800001", longer, "", "800002", 0), 1);
  EXPECT_EQ(IsBetterOazaCandidateGroupRule(shorter, "", "2610405", longer, "", "2610406", 0), 1);
  // A rest after the chome takes the mark away.
  EXPECT_EQ(IsBetterOazaCandidateGroupRule(longer, "", "2610405", shorter, "\x82\x50", "800001", 0),
            0);
  // Not both at level 4: the comparator decides.
  const OazaCandidate deeper = {6, 0, 6, 1, 4, 0, 0};
  EXPECT_EQ(IsBetterOazaCandidateGroupRule(longer, "", "800001", deeper, "", "2610405", 0), 0);
}

TEST(IsBetterOazaCandidateGroupRule, StatusFilterRefusesAMarkedCandidate) {
  const OazaCandidate longer = {4, 0, 8, 1, 4, 0, 0};
  const OazaCandidate abolished = {4, 0, 6, 1, 4, 3, 0};
  EXPECT_EQ(IsBetterOazaCandidateGroupRule(longer, "", "2610405", abolished, "", "800002", 0), 1);
  EXPECT_EQ(IsBetterOazaCandidateGroupRule(longer, "", "2610405", abolished, "", "800002", 1), 0);
}

// {level, chomeRoute, chomeConsumed, status, precision, controlRoute}
const Case<ChomeCandidate> kChomeCases[] = {
    {"chome-only row beats the start values", kChomeCandidateStart, {4, 1, 6, 0, 3, 0}, 0, 1},
    {"filter 2 refuses status 0", kChomeCandidateStart, {4, 1, 6, 0, 3, 0}, 2, 0},
    {"control route wins over a longer name-route match",
     {6, 1, 8, 0, 1, 0},
     {4, 0, 4, 0, 7, 1},
     0,
     1},
    {"name route loses to the control route", {4, 0, 4, 0, 7, 1}, {6, 1, 8, 0, 1, 0}, 0, 0},
    {"longer chome match wins", {6, 0, 4, 0, 1, 0}, {4, 1, 6, 3, 7, 0}, 0, 1},
    {"shorter chome match loses", {4, 1, 6, 3, 7, 0}, {6, 0, 4, 0, 1, 0}, 0, 0},
    {"smaller chome-route flag wins", {6, 1, 6, 0, 1, 0}, {4, 0, 6, 3, 7, 0}, 0, 1},
    {"larger chome-route flag loses", {4, 0, 6, 3, 7, 0}, {6, 1, 6, 0, 1, 0}, 0, 0},
    {"larger level wins", {4, 1, 6, 0, 1, 0}, {6, 1, 6, 3, 7, 0}, 0, 1},
    {"smaller level loses", {6, 1, 6, 3, 7, 0}, {4, 1, 6, 0, 1, 0}, 0, 0},
    {"status-3 best gives way", {4, 1, 6, 3, 1, 0}, {4, 1, 6, 0, 7, 0}, 0, 1},
    {"status-3 new one loses", {4, 1, 6, 0, 7, 0}, {4, 1, 6, 3, 1, 0}, 0, 0},
    {"status-10 best stays", {4, 1, 6, 10, 7, 0}, {4, 1, 6, 0, 1, 0}, 0, 0},
    {"status-10 new one wins", {4, 1, 6, 0, 1, 0}, {4, 1, 6, 10, 7, 0}, 0, 1},
    {"smaller precision class wins at level 4", {4, 1, 6, 0, 3, 0}, {4, 1, 6, 0, 2, 0}, 0, 1},
    {"larger precision class loses", {4, 1, 6, 0, 2, 0}, {4, 1, 6, 0, 3, 0}, 0, 0},
    {"equal precision keeps the best", {4, 1, 6, 0, 2, 0}, {4, 1, 6, 0, 2, 0}, 0, 0},
    {"a best at level 5 is never replaced on precision",
     {5, 1, 6, 0, 7, 0},
     {5, 1, 6, 0, 1, 0},
     0,
     0},
    {"a best at level 8 is never replaced on precision",
     {8, 1, 6, 0, 7, 0},
     {8, 1, 6, 0, 1, 0},
     0,
     0},
};

TEST(IsBetterChomeCandidate, EveryRuleInOrder) {
  for (const auto& c : kChomeCases) {
    EXPECT_EQ(IsBetterChomeCandidate(c.best, c.candidate, c.filter), c.expected) << c.what;
  }
}

// {level, route, consumed, status, precision}
const Case<BlockCandidate> kBlockCases[] = {
    {"a block row beats the start values", kBlockCandidateStart, {6, 0, 4, 0, 2}, 0, 1},
    {"filter 1 refuses status 3", kBlockCandidateStart, {6, 0, 4, 3, 2}, 1, 0},
    {"filter 2 refuses status 10", kBlockCandidateStart, {6, 0, 4, 10, 2}, 2, 0},
    {"an estimate passes the start values", kBlockCandidateStart, {5, 1, 0, 0, 2}, 0, 1},
    {"a status-3 estimate passes them too (tie goes to the level)",
     kBlockCandidateStart,
     {5, 1, 0, 3, 2},
     0,
     1},
    {"larger level wins", {6, 0, 8, 10, 1}, {8, 0, 4, 3, 7}, 0, 1},
    {"smaller level loses", {8, 0, 4, 3, 7}, {6, 0, 8, 10, 1}, 0, 0},
    {"longer match wins", {6, 0, 4, 10, 1}, {6, 0, 8, 3, 7}, 0, 1},
    {"shorter match loses", {6, 0, 8, 3, 7}, {6, 0, 4, 10, 1}, 0, 0},
    {"status-3 best gives way", {6, 0, 4, 3, 1}, {6, 0, 4, 0, 7}, 0, 1},
    {"status-3 new one loses", {6, 0, 4, 0, 7}, {6, 0, 4, 3, 1}, 0, 0},
    {"status-10 best keeps its place", {6, 0, 4, 10, 7}, {6, 0, 4, 0, 1}, 0, 0},
    {"status-10 best keeps its place against status 3", {6, 0, 4, 10, 7}, {6, 0, 4, 3, 1}, 0, 0},
    {"status-10 new one wins", {6, 0, 4, 5, 1}, {6, 0, 4, 10, 7}, 0, 1},
    {"route and precision are not compared", {6, 1, 4, 0, 7}, {6, 0, 4, 0, 1}, 0, 0},
};

TEST(IsBetterBlockCandidate, EveryRuleInOrder) {
  for (const auto& c : kBlockCases) {
    EXPECT_EQ(IsBetterBlockCandidate(c.best, c.candidate, c.filter), c.expected) << c.what;
  }
}

TEST(TakeBetterBlockCandidate, StoresTheWinnerOnly) {
  BlockCandidate best = kBlockCandidateStart;
  EXPECT_EQ(TakeBetterBlockCandidate(&best, {6, 0, 4, 5, 2}, 0), 1);
  EXPECT_EQ(best.level, 6);
  EXPECT_EQ(best.route, 0);
  EXPECT_EQ(best.consumed, 4);
  EXPECT_EQ(best.status, 5);
  EXPECT_EQ(best.precision, 2);
  EXPECT_EQ(TakeBetterBlockCandidate(&best, {6, 1, 4, 0, 1}, 0), 0);
  EXPECT_EQ(best.status, 5);
  EXPECT_EQ(best.precision, 2);
  EXPECT_EQ(TakeBetterBlockCandidate(&best, {6, 1, 4, 10, 7}, 0), 1);
  EXPECT_EQ(best.route, 1);
  EXPECT_EQ(best.status, 10);
  EXPECT_EQ(best.precision, 7);
  EXPECT_EQ(TakeBetterBlockCandidate(nullptr, {8, 0, 4, 0, 1}, 0), 0);
}

struct LotCase {
  const char* what;
  LotCandidate best;
  LotCandidate candidate;
  int32_t filter;
  int tie, expected;
};

// {consumed, status, precision}
const LotCase kLotCases[] = {
    {"longer lot wins", {2, 0, 1}, {4, 3, 7}, 0, 0, 1},
    {"shorter lot loses", {4, 3, 7}, {2, 0, 1}, 0, 1, 0},
    {"filter 1 refuses status 3", kLotCandidateStart, {2, 3, 1}, 1, 1, 0},
    {"filter 2 refuses status 0", kLotCandidateStart, {2, 0, 1}, 2, 1, 0},
    {"filter set: tie result 0", {2, 3, 1}, {2, 3, 1}, 2, 0, 0},
    {"filter set: tie result 1", {2, 3, 1}, {2, 3, 1}, 2, 1, 1},
    {"filter bit 2: the tie result even against status 3", {2, 3, 1}, {2, 0, 1}, 4, 0, 0},
    {"status-3 best: another status wins", {2, 3, 1}, {2, 0, 7}, 0, 0, 1},
    {"status-3 best: status 3 gives the tie result 0", {2, 3, 1}, {2, 3, 1}, 0, 0, 0},
    {"status-3 best: status 3 gives the tie result 1", {2, 3, 1}, {2, 3, 1}, 0, 1, 1},
    {"best of another status: status 3 loses", {2, 0, 7}, {2, 3, 1}, 0, 1, 0},
    {"best of another status: tie result 0", {2, 0, 7}, {2, 5, 1}, 0, 0, 0},
    {"best of another status: tie result 1", {2, 0, 7}, {2, 5, 1}, 0, 1, 1},
    {"estimation: every neighbour passes the start values", kLotCandidateStart, {0, 0, 7}, 0, 1, 1},
    {"estimation: a status-3 neighbour too", kLotCandidateStart, {0, 3, 7}, 0, 1, 1},
    {"precision is not compared", {2, 0, 7}, {2, 0, 1}, 0, 0, 0},
};

TEST(IsBetterLotCandidate, EveryRuleInOrder) {
  for (const auto& c : kLotCases) {
    EXPECT_EQ(IsBetterLotCandidate(c.best, c.candidate, c.filter, c.tie), c.expected) << c.what;
  }
}

TEST(TakeBetterLevelResult, DeeperOrEqualByKindAndCount) {
  LevelResult best = {3, 10, 2, 5, 2};
  // Smaller level: kept.
  TakeBetterLevelResult(&best, {2, 20, 1, 9, 2});
  EXPECT_EQ(best.level, 3);
  EXPECT_EQ(best.parent, 10);
  // Equal level and kind, smaller count: kept.
  TakeBetterLevelResult(&best, {3, 20, 1, 4, 2});
  EXPECT_EQ(best.parent, 10);
  // Equal level and kind, equal count: taken.
  TakeBetterLevelResult(&best, {3, 20, 1, 5, 2});
  EXPECT_EQ(best.parent, 20);
  EXPECT_EQ(best.entry, 1);
  // Equal level, other kind, best's kind 2: kept.
  TakeBetterLevelResult(&best, {3, 30, 7, 9, 1});
  EXPECT_EQ(best.parent, 20);
  // Equal level, other kind, best's kind 1: taken.
  best.kind = 1;
  TakeBetterLevelResult(&best, {3, 40, 7, 0, 3});
  EXPECT_EQ(best.parent, 40);
  EXPECT_EQ(best.kind, 3);
  EXPECT_EQ(best.count, 0);
  // Larger level: taken whatever the kind and count.
  TakeBetterLevelResult(&best, {4, 50, -1, 0, 1});
  EXPECT_EQ(best.level, 4);
  EXPECT_EQ(best.entry, -1);
  TakeBetterLevelResult(nullptr, {5, 0, 0, 0, 0});
}

}  // namespace
