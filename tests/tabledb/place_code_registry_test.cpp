#include "tabledb/place_code_registry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <set>
#include <string>

#include "support/test_util.h"

namespace {

// The bucket whose tree holds the code; -1 when none does. Exactly one may.
int BucketHolding(CPlaceCodeRegistry& registry, const std::string& code) {
  int found = -1;
  for (int i = 0; i < CPlaceCodeRegistry::kBucketCount; ++i) {
    CStringTree* tree = registry.GetBucket(i);
    if (tree == nullptr || tree->Find(code.c_str()) == CStringTree::kNone) continue;
    EXPECT_EQ(found, -1) << "in buckets " << found << " and " << i;
    found = i;
  }
  return found;
}

TEST(PlaceCodeRegistry, FirstCodeChoosesBucketAndFixesPrefecture) {
  const struct {
    std::string code;
    int bucket;
    const char* prefecture;
  } cases[] = {
      {"13101001002", 101, "13"},
      {"13000", 0, "13"},
      {"47999", 999, "47"},
      {"1310", 1000, ""},         // 4 characters
      {"48101001002", 1000, ""},  // no prefecture 48
      {"00101001002", 1000, ""},
      {"13ab5001002", 1000, ""},  // characters 3-5 no number
      {testutil::Sjis(u8"13１０１"), 1000, ""},
      {testutil::Sjis(u8"東京101001"), 1000, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testutil::Show(c.code));
    CPlaceCodeRegistry registry;
    EXPECT_EQ(registry.Register(0, c.code.c_str()), 1);
    EXPECT_EQ(BucketHolding(registry, c.code), c.bucket);
    EXPECT_STREQ(registry.GetPrefecture(), c.prefecture);
    EXPECT_EQ(registry.Find(c.code.c_str()), 1);
  }
}

TEST(PlaceCodeRegistry, FindRegisterAndEmptying) {
  CPlaceCodeRegistry registry;
  EXPECT_EQ(registry.Register(0, ""), 0);
  EXPECT_EQ(registry.Register(0, nullptr), 0);
  EXPECT_EQ(registry.Find(nullptr), 0);
  EXPECT_EQ(registry.Find("13101001002"), 0);
  ASSERT_EQ(registry.Register(0, "13101001002"), 1);
  EXPECT_EQ(registry.Register(0, "13101001002"), 1);  // no duplicate test
  EXPECT_EQ(registry.GetBucket(101)->GetCount(), 2);
  EXPECT_EQ(registry.Find("13101001002"), 1);
  EXPECT_EQ(registry.Find("13101001003"), 0);
  EXPECT_EQ(registry.Find("13102001002"), 0);  // unused bucket
  for (const char* code : {"14101001002", "13999000000", "1310"}) registry.Register(0, code);
  EXPECT_EQ(BucketHolding(registry, "14101001002"), 1000);
  EXPECT_EQ(BucketHolding(registry, "13999000000"), 999);
  EXPECT_EQ(BucketHolding(registry, "1310"), 1000);

  EXPECT_EQ(registry.ResetBuckets(), 1);
  for (const char* code : {"13101001002", "14101001002", "13999000000", "1310"})
    EXPECT_EQ(registry.Find(code), 0) << code;
  EXPECT_STREQ(registry.GetPrefecture(), "13");
  ASSERT_NE(registry.GetBucket(101), nullptr);  // trees kept, empty
  EXPECT_EQ(registry.GetBucket(101)->GetCount(), 0);
  EXPECT_EQ(registry.Register(0, "14101001002"), 1);
  EXPECT_EQ(BucketHolding(registry, "14101001002"), 1000);

  registry.RemoveAll();
  EXPECT_STREQ(registry.GetPrefecture(), "");
  for (int i = 0; i < CPlaceCodeRegistry::kBucketCount; ++i)
    ASSERT_EQ(registry.GetBucket(i), nullptr);
  EXPECT_EQ(registry.Find("14101001002"), 0);
  EXPECT_EQ(registry.Register(0, "14101001002"), 1);
  EXPECT_STREQ(registry.GetPrefecture(), "14");
  EXPECT_EQ(BucketHolding(registry, "14101001002"), 101);
}

// The listers' use: Find, and Register when new. One bucket takes most of
// the codes, so its pool grows many times in the middle of the sequence.
TEST(PlaceCodeRegistry, MatchesSetOracleWhilePoolsGrow) {
  CPlaceCodeRegistry registry;
  std::set<std::string> oracle;
  std::mt19937 random(5);
  std::string first;
  for (int i = 0; i < 8000; ++i) {
    char code[32];
    const unsigned r = random();
    switch (r % 8) {
      case 0:
        std::snprintf(code, sizeof code, "%02u%03u%06u", r % 47 + 1, r % 1000, r % 997);
        break;
      case 1:
        std::snprintf(code, sizeof code, "13%03u", r % 1000);
        break;
      case 2:
        std::snprintf(code, sizeof code, "%u", r % 9999);
        break;
      default:
        std::snprintf(code, sizeof code, "13101%06u", r % 5000);
        break;
    }
    if (i == 4000) {
      ASSERT_EQ(registry.ResetBuckets(), 1);
      oracle.clear();
      first.clear();
    }
    const int known = registry.Find(code);
    ASSERT_EQ(known, oracle.count(code) ? 1 : 0) << i << " " << code;
    if (!known) {
      ASSERT_EQ(registry.Register(0, code), 1);
      oracle.insert(code);
      if (first.empty()) first = code;
    }
    ASSERT_EQ(registry.Find(first.c_str()), 1) << i;
  }
  // 512 bytes at first, 4,096 more at each growth: at least ten growths.
  EXPECT_GT(registry.GetBucket(101)->GetPoolCapacity(), 512u + 10u * 4096u);
  for (const std::string& code : oracle) EXPECT_EQ(registry.Find(code.c_str()), 1) << code;
}

}  // namespace
