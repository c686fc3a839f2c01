#include "common/record_stack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

// The table sorter keeps its pending ranges as 8-byte (low, high) records.
struct Range {
  uint32_t low;
  uint32_t high;
};
static_assert(sizeof(Range) == 8);

TEST(CRecordStack, PopsInReverseOrderUntilEmpty) {
  CRecordStack stack;
  const Range first{1, 10};
  EXPECT_EQ(stack.Push(&first), 0);  // not created
  ASSERT_EQ(stack.Create(1, sizeof(Range), 1), 1);
  ASSERT_EQ(stack.Push(&first), 1);
  ASSERT_EQ(stack.Create(1, sizeof(Range), 1), 1);  // starts empty again
  EXPECT_EQ(stack.IsEmpty(), 1);
  for (uint32_t k = 1; k <= 5; ++k) ASSERT_EQ(stack.Push(&(const Range&)Range{k, k * 10}), 1);
  EXPECT_EQ(stack.GetCount(), 5u);
  for (uint32_t k = 5; k >= 1; --k) {
    Range r{};
    ASSERT_EQ(stack.Pop(&r), 1);
    EXPECT_TRUE(r.low == k && r.high == k * 10) << k;
  }
  EXPECT_EQ(stack.IsEmpty(), 1);
  Range untouched{7, 7};
  EXPECT_EQ(stack.Pop(&untouched), 0);
  EXPECT_EQ(untouched.low, 7u);
  stack.Free();
  EXPECT_EQ(stack.Push(&first), 0);
}

// --- dictionary ---------------------------------------------------------

struct Rec {
  int32_t key;
  int32_t tag;
};

int g_calls = 0;
int32_t CompareKeys(const void* a, const void* b) {
  ++g_calls;
  const int32_t x = static_cast<const Rec*>(a)->key;
  const int32_t y = static_cast<const Rec*>(b)->key;
  return x < y ? -1 : (x > y ? 1 : 0);
}

void Fill(CCharDictionary& dict, const std::vector<int32_t>& keys) {
  ASSERT_EQ(dict.Create(keys.empty() ? 1 : static_cast<uint32_t>(keys.size()), sizeof(Rec), 8), 1);
  int32_t tag = 0;
  for (int32_t k : keys) ASSERT_EQ(dict.Add(&(const Rec&)Rec{k, ++tag}), 1);
}

uint32_t Find(CCharDictionary& dict, const char* op, int32_t key) {
  const Rec r{key, 0};
  return dict.Find(op, &r, CompareKeys);
}

TEST(CCharDictionaryFind, AnswersTheFiveQuestionsOverARunOfEqualKeys) {
  CCharDictionary dict;
  Fill(dict, {1, 2, 2, 2, 3});
  struct Case {
    const char* op;
    int32_t key;
    uint32_t expected;
  };
  const Case cases[] = {
      {"=", 2, 2}, {"<=", 2, 4}, {">=", 2, 2}, {"<", 2, 1},  {">", 2, 5},
      {"<", 1, 0}, {">", 3, 0},  {"<=", 0, 0}, {">=", 4, 0}, {"=", 0, 0},
      {"=", 4, 0}, {"=", 3, 5},  {"=", 1, 1},  {"<=", 9, 5}, {">=", 0, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Find(dict, c.op, c.key), c.expected) << c.op << " " << c.key;
  }
}

TEST(CCharDictionaryFind, UnknownOperatorOrEmptyDictionaryDoesNotSearch) {
  CCharDictionary dict;
  Fill(dict, {1, 2, 3});
  g_calls = 0;
  for (const char* op : {"==", "", "=<", "<>", " =", "=>"}) EXPECT_EQ(Find(dict, op, 2), 0u) << op;
  const Rec key{2, 0};
  EXPECT_EQ(dict.Find(nullptr, &key, CompareKeys), 0u);
  EXPECT_EQ(g_calls, 0);

  CCharDictionary empty;
  Fill(empty, {});
  EXPECT_EQ(Find(empty, "=", 2), 0u);
  EXPECT_EQ(g_calls, 0);
}

// Brute-force answers over records first..last.
uint32_t Oracle(const std::vector<int32_t>& keys, int kind, int32_t key, uint32_t first,
                uint32_t last) {
  uint32_t answer = 0;
  for (uint32_t n = first; n <= last; ++n) {
    const int32_t k = keys[n - 1];
    switch (kind) {
      case CCharDictionary::kFindEqual:
        if (k == key && answer == 0) answer = n;
        break;
      case CCharDictionary::kFindNotGreater:
        if (k <= key) answer = n;
        break;
      case CCharDictionary::kFindNotLess:
        if (k >= key && answer == 0) answer = n;
        break;
      case CCharDictionary::kFindLess:
        if (k < key) answer = n;
        break;
      case CCharDictionary::kFindGreater:
        if (k > key && answer == 0) answer = n;
        break;
    }
  }
  return answer;
}

TEST(CCharDictionaryFind, AgreesWithBruteForceOnRandomSortedInput) {
  const char* ops[] = {"=", "<=", ">=", "<", ">"};
  std::mt19937 rng(20240611);
  int checked = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    const uint32_t n = 1 + rng() % (trial < 2000 ? 12 : 300);
    const int32_t spread = 1 + static_cast<int32_t>(rng() % (n + 2));
    std::vector<int32_t> keys(n);
    for (auto& k : keys)
      k = static_cast<int32_t>(rng() % spread) * 2;  // even keys: odd ones fall between
    std::sort(keys.begin(), keys.end());
    CCharDictionary dict;
    Fill(dict, keys);
    for (int q = 0; q < 8; ++q) {
      const int32_t key = static_cast<int32_t>(rng() % (2 * spread + 3)) - 1;
      uint32_t first = 1;
      uint32_t last = n;
      if (q >= 4) {
        first = 1 + rng() % n;
        last = first + rng() % (n - first + 1);
      }
      for (int kind = CCharDictionary::kFindEqual; kind <= CCharDictionary::kFindGreater; ++kind) {
        const Rec r{key, 0};
        const uint32_t got = (first == 1 && last == n)
                                 ? dict.Find(ops[kind - 1], &r, CompareKeys)
                                 : dict.FindInRange(ops[kind - 1], &r, first, last, CompareKeys);
        ASSERT_EQ(got, Oracle(keys, kind, key, first, last))
            << "op " << ops[kind - 1] << " key " << key << " range " << first << ".." << last
            << " n " << n;
        ++checked;
      }
    }
  }
  EXPECT_EQ(checked, 3000 * 8 * 5);
}

TEST(CCharDictionaryFind, RangeOutsideTheRecordsGivesZero) {
  CCharDictionary dict;
  Fill(dict, {1, 2, 3});
  const Rec key{2, 0};
  EXPECT_EQ(dict.FindInRange("=", &key, 0, 3, CompareKeys), 0u);
  EXPECT_EQ(dict.FindInRange("=", &key, 3, 2, CompareKeys), 0u);
  EXPECT_EQ(dict.FindInRange("=", &key, 1, 4, CompareKeys), 0u);
  EXPECT_EQ(dict.BinarySearch(6, &key, 1, 3, CompareKeys), 0u);
}

std::vector<int32_t> Keys(const CCharDictionary& dict) {
  std::vector<int32_t> out;
  for (uint32_t n = 1; n <= dict.GetCount(); ++n) {
    Rec r{};
    dict.GetAt(n, &r);
    out.push_back(r.key);
  }
  return out;
}

TEST(CCharDictionaryInsertBounded, MatchesTheSmallestSeenOnRandomInput) {
  std::mt19937 rng(7);
  for (uint32_t max : {1u, 2u, 5u, 20u}) {
    CCharDictionary dict;
    ASSERT_EQ(dict.Create(1, sizeof(Rec), 1), 1);
    std::vector<int32_t> seen;
    for (int i = 0; i < 200; ++i) {
      const int32_t k = static_cast<int32_t>(rng() % 50);
      seen.push_back(k);
      ASSERT_EQ(dict.InsertBounded(&(const Rec&)Rec{k, i}, max, CompareKeys), 1);
      std::vector<int32_t> expected = seen;
      std::sort(expected.begin(), expected.end());
      if (expected.size() > max) expected.resize(max);
      ASSERT_EQ(Keys(dict), expected) << "max " << max << " after " << i + 1;
    }
  }
}

TEST(CCharDictionaryInsertBounded, ZeroMaximumKeepsListUnchanged) {
  CCharDictionary dict;
  Fill(dict, {});
  EXPECT_EQ(dict.InsertBounded(&(const Rec&)Rec{3, 0}, 0, CompareKeys), 1);
  EXPECT_EQ(dict.GetCount(), 0u);
  Fill(dict, {1, 2});
  EXPECT_EQ(dict.InsertBounded(&(const Rec&)Rec{0, 0}, 0, CompareKeys), 1);
  EXPECT_EQ(Keys(dict), (std::vector<int32_t>{1, 2}));
}

TEST(CCharDictionary, RefusesRecordsLargerThanItsWorkRecords) {
  CCharDictionary dict;
  EXPECT_EQ(dict.Create(4, 12801, 4), 0);
  ASSERT_EQ(dict.Create(4, 12800, 4), 1);
  EXPECT_EQ(dict.GetRecordSize(), 12800u);
  // The pair records of the character dictionaries (516 bytes) fit easily.
  ASSERT_EQ(dict.Create(4, 516, 4), 1);
  std::string rec(516, '\0');
  rec[0] = 'x';
  ASSERT_EQ(dict.Add(rec.data()), 1);
  EXPECT_EQ(dict.GetCount(), 1u);
}

}  // namespace
