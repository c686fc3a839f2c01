// Text helpers of the block and lot levels: number runs, the comparison
// form of numbers, block suffixes, trailing words after a lot, and the
// point of an estimate.

#include "matching/number_text.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_util.h"

using testutil::Show;
using testutil::Sjis;

namespace {

TEST(ClassifyNumberRun, ReadsOneRunOfOneKind) {
  struct Case {
    const char8_t* text;
    int kind, length;
    int32_t value;
    const char8_t* requested;
  } const cases[] = {
      {u8"１２番地３", 1, 4, 12, u8"１２"},
      {u8"０１２", 1, 6, 12, u8"１２"},
      {u8"十二の三", 2, 4, 12, u8"１２"},
      {u8"三丁目", 2, 2, 3, u8"３"},
      {u8"二〇二三", 2, 8, 2023, u8"２０２３"},
      {u8"１二", 1, 2, 1, u8"１"},
      {u8"012-3", 3, 3, 12, u8"０１２"},
      {u8"２１４７４８３６４７", 1, 20, 2147483647, u8"２１４７４８３６４７"},
  };
  for (const auto& c : cases) {
    const std::string text = Sjis(c.text);
    NumberRun run;
    ASSERT_EQ(ClassifyNumberRun(text.c_str(), &run), 1) << Show(text);
    EXPECT_EQ(run.kind, c.kind) << Show(text);
    EXPECT_EQ(run.length, c.length) << Show(text);
    EXPECT_EQ(run.value, c.value) << Show(text);
    EXPECT_EQ(Show(run.requested), Show(Sjis(c.requested))) << Show(text);
  }
}

TEST(ClassifyNumberRun, NoRunWithoutAReadableNumber) {
  for (const char8_t* text :
       {u8"", u8"い１", u8"十万", u8"番地", u8"２１４７４８３６４８", u8"99999999999"}) {
    NumberRun run;
    EXPECT_EQ(ClassifyNumberRun(Sjis(text).c_str(), &run), 0) << Show(Sjis(text));
    EXPECT_EQ(run.kind, 0);
  }
  NumberRun run;
  EXPECT_EQ(ClassifyNumberRun(nullptr, &run), 0);
}

TEST(StripLeadingZeros, KeepsTheLastCharacter) {
  const char8_t* const cases[][2] = {
      {u8"０１２", u8"１２"}, {u8"００", u8"０"}, {u8"０", u8"０"},
      {u8"１０", u8"１０"},   {u8"", u8""},       {u8"０い", u8"い"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Show(StripLeadingZeros(Sjis(c[0]))), Show(Sjis(c[1]))) << Show(Sjis(c[0]));
  }
}

TEST(MeasureNumberSuffix, WordsAfterABlockNumber) {
  struct Case {
    const char8_t* text;
    int bytes;
  } const cases[] = {
      {u8"番地－３", 6}, {u8"番地", 4}, {u8"番地３", 4}, {u8"番３", 2},     {u8"の３", 2},
      {u8"の森", 0},     {u8"－", 2},   {u8"－森", 2},   {u8"号", 2},       {u8"号室", 0},
      {u8"番の３", 4},   {u8"街区", 4}, {u8"地割三", 4}, {u8"線－", 4},     {u8"ノ３", 2},
      {u8"丁目", 0},     {u8"", 0},     {u8"番地甲", 0}, {u8"番地の甲", 6}, {u8"番1", 2},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MeasureNumberSuffix(Sjis(c.text).c_str()), c.bytes) << Show(Sjis(c.text));
  }
  EXPECT_EQ(MeasureNumberSuffix(nullptr), 0);
}

TEST(IsTrailingLotWord, OnlyWholeTrailingWords) {
  struct Case {
    const char8_t* rest;
    int trailing;
  } const cases[] = {
      {u8"号", 1},   {u8"番地", 1}, {u8"番", 1}, {u8"街区", 1},   {u8"地割", 1},
      {u8"線", 1},   {u8"の", 1},   {u8"－", 1}, {u8"ノ", 1},     {u8"ﾉ", 1},
      {u8"号室", 0}, {u8"", 0},     {u8"ー", 0}, {u8"番地１", 0}, {u8"丁目", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsTrailingLotWord(Sjis(c.rest).c_str(), nullptr), c.trailing) << Show(Sjis(c.rest));
  }
  EXPECT_EQ(IsTrailingLotWord(nullptr, nullptr), 0);
}

// The rest is the text as the user wrote it: an ASCII hyphen or the other
// dash of the unification step ends the lot just as the full-width one.
TEST(IsTrailingLotWord, ComparesTheNormalisedRest) {
  EXPECT_EQ(IsTrailingLotWord("-", nullptr), 1);
  EXPECT_EQ(IsTrailingLotWord("\x81\x5D", nullptr), 1);  // "‐"
  EXPECT_EQ(IsTrailingLotWord("--", nullptr), 0);
}

TEST(EstimatePoint, BetweenTheNeighboursByTheirNumbers) {
  EstimateRecord r = {};
  r.requested = 3;
  r.lower = {kNeighbourBlockRow, 1, 1000, -2000, 2};
  r.upper = {kNeighbourBlockRow, 2, 2000, -1000, 6};
  int32_t lat = 0, lon = 0;
  ASSERT_EQ(EstimatePoint(r, &lat, &lon), 1);
  EXPECT_EQ(lat, 1250);  // a quarter of the way
  EXPECT_EQ(lon, -1750);
  r.requested = 4;
  r.upper.latitude = 1003;
  r.upper.longitude = -1001;
  ASSERT_EQ(EstimatePoint(r, &lat, &lon), 1);
  EXPECT_EQ(lat, 1001);   // 1001.5, truncated toward zero
  EXPECT_EQ(lon, -1500);  // -1500.5, likewise
  // One neighbour: its point.
  r.lower.found = kNeighbourNone;
  ASSERT_EQ(EstimatePoint(r, &lat, &lon), 1);
  EXPECT_EQ(lat, 1003);
  EXPECT_EQ(lon, -1001);
  r.upper.found = kNeighbourNone;
  EXPECT_EQ(EstimatePoint(r, &lat, &lon), 0);
}

// Two neighbours of the same number leave nothing to place between them:
// the estimate takes the first neighbour's point instead of failing.
TEST(EstimatePoint, EqualNeighbourNumbersTakeTheFirstNeighbour) {
  EstimateRecord r = {};
  r.requested = 3;
  r.lower = {kNeighbourChangeRecord, 1, 1000, -2000, 3};
  r.upper = {kNeighbourChangeRecord, 2, 2000, -1000, 3};
  int32_t lat = 0, lon = 0;
  ASSERT_EQ(EstimatePoint(r, &lat, &lon), 1);
  EXPECT_EQ(lat, 1000);
  EXPECT_EQ(lon, -2000);
}

}  // namespace
