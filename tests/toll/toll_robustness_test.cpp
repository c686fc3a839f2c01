// Damaged toll data files: every prefix of the sample files and random byte
// flips must give clean failures or values, never a crash, an overrun or a
// hang (the sanitizer build runs these too).

#include <gtest/gtest.h>

#include <random>

#include "support/test_util.h"
#include "toll/toll_facil.h"
#include "toll/toll_table.h"
#include "toll_test_util.h"

namespace {

// Runs every lookup of FACIL.DAT; the answers are summed so that nothing is
// optimised away and each one is one of the documented codes.
int64_t ExerciseFacil(const std::string& path) {
  TollFacil f;
  if (!f.open(path.c_str())) return 0;
  int64_t sum = 0;
  const bool header = f.readHeader();
  for (int number = -1; number <= 70; ++number) {
    TollFacilRecord r;
    const int code = f.readFacility(number, &r);
    EXPECT_TRUE(code == 0 || code == TollFacil::kNotFound || code == TollFacil::kNoData) << code;
    if (!header) {
      EXPECT_EQ(code, TollFacil::kNoData);
    }
    if (code == 0) sum += r.valueB + static_cast<int64_t>(r.name.size() + r.name2.size());
    int32_t a = 0, b = 0;
    const int c = f.readCoordinates(number, &a, &b);
    EXPECT_TRUE(c == 0 || c == TollFacil::kNotFound || c == TollFacil::kNoData) << c;
    if (c == 0) {
      EXPECT_LE(a, 0x7FFFFF);
      sum += a + b;
    }
  }
  return sum;
}

int64_t ExerciseList(TollTable& t, uint32_t offset, uint32_t words) {
  TollTable::FeeDataList list;
  if (!t.readFeeList(offset, words, &list)) return 0;
  int64_t sum = 0;
  for (int item = -1; item <= 17; ++item)
    for (int column = -1; column <= 16; ++column) {
      int32_t v = 0;
      if (TollTable::feeValue(list, item, column, &v) == 0) sum += v;
    }
  return sum;
}

int64_t ExerciseToll(const std::string& path, const std::string& facilPath) {
  TollTable t;
  if (!t.open(path.c_str())) return 0;
  int64_t sum = 0;
  {
    TollFacil f;
    if (f.open(facilPath.c_str())) sum += CheckTollData(t, f);
  }
  const int code = t.readHeader();
  EXPECT_TRUE(code == 0 || code == TollTable::kBadHeader) << code;
  if (code != 0) return sum;
  for (int c = 0; c < 16; ++c) sum += t.classColumn(c);
  uint32_t offset = 0, words = 0;
  for (int key = 0; key <= 5; ++key)
    if (t.facilityFeeList(key, &offset, &words)) sum += ExerciseList(t, offset, words);
  for (int group = -1; group <= 2; ++group)
    for (int a = 0; a <= 4; ++a)
      for (int b = 0; b <= 4; ++b)
        if (t.groupFeeList(group, a, b, &offset, &words)) sum += ExerciseList(t, offset, words);
  for (int g = 0; g <= 2; ++g)
    for (int item = 0; item <= 4; ++item) {
      TollDiscountRule rule;
      if (t.findRule(g, item, &rule)) sum += rule.rate;
      std::string name;
      if (t.discountName(1, g, item, &name)) sum += static_cast<int64_t>(name.size());
      if (t.discountName(2, g, item, &name)) sum += static_cast<int64_t>(name.size());
    }
  for (int facility : {10, 21, 25, 50}) {
    for (const TollLink& l : t.linksTouching(facility)) {
      sum += static_cast<int64_t>(t.linksOf(l.first, l.second).size());
      sum += ExerciseList(t, l.listOffset, l.listWords);
    }
  }
  return sum;
}

struct SampleFiles {
  std::string toll, facil;
};

SampleFiles Load(int version) {
  SampleFiles s{testutil::ReadBytes(tolltest::SampleFolder(version) + "TOLL.DAT"),
                testutil::ReadBytes(tolltest::SampleFolder(version) + "FACIL.DAT")};
  EXPECT_FALSE(s.toll.empty());
  EXPECT_FALSE(s.facil.empty());
  return s;
}

class Damaged : public ::testing::TestWithParam<int> {};

TEST_P(Damaged, EveryPrefixReadsCleanly) {
  const SampleFiles s = Load(GetParam());
  testutil::TempDir dir;
  const std::string whole = tolltest::WriteFile(dir, "FULL.DAT", s.facil);
  const int64_t full = ExerciseFacil(whole);
  for (std::size_t n = 0; n < s.facil.size(); ++n) {
    const std::string p = tolltest::WriteFile(dir, "FACIL.DAT", s.facil.substr(0, n));
    ExerciseFacil(p);
  }
  for (std::size_t n = 0; n < s.toll.size(); ++n) {
    const std::string p = tolltest::WriteFile(dir, "TOLL.DAT", s.toll.substr(0, n));
    ExerciseToll(p, whole);
  }
  EXPECT_GT(full, 0);
}

TEST_P(Damaged, RandomByteFlipsReadCleanly) {
  const SampleFiles s = Load(GetParam());
  testutil::TempDir dir;
  const std::string whole = tolltest::WriteFile(dir, "FULL.DAT", s.facil);
  std::mt19937 random(0x70110 + static_cast<unsigned>(GetParam()));
  for (int round = 0; round < 1000; ++round) {
    std::string facil = s.facil;
    std::string toll = s.toll;
    facil[random() % facil.size()] ^= static_cast<char>(1 + random() % 255);
    toll[random() % toll.size()] ^= static_cast<char>(1 + random() % 255);
    ExerciseFacil(tolltest::WriteFile(dir, "FACIL.DAT", facil));
    ExerciseToll(tolltest::WriteFile(dir, "TOLL.DAT", toll), whole);
  }
}

INSTANTIATE_TEST_SUITE_P(Versions, Damaged, ::testing::Values(33, 34, 35));

}  // namespace
