// The two record quicksorts (CRecordList::SortByDoubleKey and
// CCharDictionary::Sort): the order they leave, equal keys included, is
// checked against a plain recursive rendering of the partition scheme; their
// stack use is checked on large inputs and on an input built to make the
// scheme degrade to quadratic work.

#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "common/record_array.h"
#include "common/record_stack.h"

namespace {

struct DoubleRec {
  double key;
  int32_t tag;
  int32_t pad;
};
static_assert(sizeof(DoubleRec) == 16);

struct IntRec {
  int32_t key;
  int32_t tag;
};
static_assert(sizeof(IntRec) == 8);

// The partition scheme written out directly, recursing on both parts in
// order (lower first). 1-based bounds over a vector.
template <typename Rec, typename Cmp>
void ReferenceSort(std::vector<Rec>& v, int64_t lo, int64_t hi, Cmp cmp) {
  if (hi <= lo) return;
  if (hi == lo + 1) {
    if (cmp(v[lo - 1], v[hi - 1]) > 0) std::swap(v[lo - 1], v[hi - 1]);
    return;
  }
  const Rec pivot = v[(lo + hi) / 2 - 1];
  int64_t i = lo - 1;
  int64_t j = hi + 1;
  for (;;) {
    do ++i;
    while (cmp(v[i - 1], pivot) < 0);
    do --j;
    while (cmp(v[j - 1], pivot) > 0);
    if (j < i) break;
    std::swap(v[i - 1], v[j - 1]);
  }
  ReferenceSort(v, lo, j, cmp);
  ReferenceSort(v, i, hi, cmp);
}

int CompareDoubleRec(const DoubleRec& a, const DoubleRec& b) {
  return a.key < b.key ? -1 : (a.key > b.key ? 1 : 0);
}
int CompareIntRec(const IntRec& a, const IntRec& b) {
  return a.key < b.key ? -1 : (a.key > b.key ? 1 : 0);
}

// --- comparator for the dictionary, with a stack probe -------------------

uintptr_t g_lowestFrame = UINTPTR_MAX;
uint64_t g_compareCalls = 0;

int32_t CompareIntKeys(const void* a, const void* b) {
  ++g_compareCalls;
  const auto frame = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  if (frame < g_lowestFrame) g_lowestFrame = frame;
  const int32_t x = static_cast<const IntRec*>(a)->key;
  const int32_t y = static_cast<const IntRec*>(b)->key;
  return x < y ? -1 : (x > y ? 1 : 0);
}

// Bytes of stack the dictionary sort uses below the caller's frame.
__attribute__((noinline)) uintptr_t SortAndMeasureStack(CCharDictionary& dict, uint32_t n) {
  g_lowestFrame = UINTPTR_MAX;
  const auto base = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  dict.Sort(1, n, CompareIntKeys);
  return g_lowestFrame == UINTPTR_MAX ? 0 : base - g_lowestFrame;
}

// --- an input that drives the scheme to quadratic work --------------------
// Keys are decided lazily while the sort runs: unknown keys ("gas") compare
// beyond every decided one, and whenever two unknown keys meet, the one that
// looks like the pivot is fixed as the next value from the near end. Every
// partition then splits off only a few records. Replaying the decided keys
// makes the same sort take the same degenerate path. With pivotsHigh the
// large part of every split is the lower one, otherwise the upper one.

std::vector<int32_t> g_val;
int32_t g_gas = 0;
int32_t g_solid = 0;
int32_t g_step = 1;
int32_t g_candidate = 0;

int32_t CompareAdversary(const void* a, const void* b) {
  ++g_compareCalls;
  const int32_t x = static_cast<const IntRec*>(a)->key;
  const int32_t y = static_cast<const IntRec*>(b)->key;
  if (g_val[x] == g_gas && g_val[y] == g_gas) {
    g_val[x == g_candidate ? x : y] = g_solid;
    g_solid += g_step;
  }
  if (g_val[x] == g_gas) {
    g_candidate = x;
  } else if (g_val[y] == g_gas) {
    g_candidate = y;
  }
  return g_val[x] - g_val[y];
}

std::vector<int32_t> MakeAdversarialKeys(uint32_t n, bool pivotsHigh, uint64_t* comparisons) {
  g_gas = pivotsHigh ? -1 : static_cast<int32_t>(n);
  g_val.assign(n, g_gas);
  g_solid = pivotsHigh ? static_cast<int32_t>(n - 1) : 0;
  g_step = pivotsHigh ? -1 : 1;
  g_candidate = 0;
  g_compareCalls = 0;
  CCharDictionary dict;
  EXPECT_EQ(dict.Create(n, sizeof(IntRec), 1), 1);
  for (uint32_t i = 0; i < n; ++i) {
    const IntRec r{static_cast<int32_t>(i), 0};
    dict.Add(&r);
  }
  dict.Sort(1, n, CompareAdversary);
  *comparisons = g_compareCalls;
  return g_val;
}

// Runs fn on a thread with a small stack: unbounded recursion would crash.
void RunOnSmallStack(size_t stackBytes, const std::function<void()>& fn) {
  pthread_attr_t attr;
  ASSERT_EQ(pthread_attr_init(&attr), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attr, stackBytes), 0);
  pthread_t thread;
  auto entry = [](void* arg) -> void* {
    (*static_cast<const std::function<void()>*>(arg))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, entry, const_cast<std::function<void()>*>(&fn)), 0);
  ASSERT_EQ(pthread_join(thread, nullptr), 0);
  pthread_attr_destroy(&attr);
}

void FillDoubleList(CRecordList& list, const std::vector<DoubleRec>& recs) {
  ASSERT_EQ(list.Create(static_cast<uint32_t>(recs.size()), sizeof(DoubleRec), 128), 1);
  ASSERT_EQ(list.AddMany(recs.data(), static_cast<uint32_t>(recs.size())), 1);
}

void ExpectListEquals(const CRecordList& list, const std::vector<DoubleRec>& expected) {
  ASSERT_EQ(list.GetCount(), expected.size());
  for (uint32_t n = 1; n <= list.GetCount(); ++n) {
    const auto* r = static_cast<const DoubleRec*>(list.GetPtr(n));
    ASSERT_EQ(r->key, expected[n - 1].key) << "record " << n;
    ASSERT_EQ(r->tag, expected[n - 1].tag) << "record " << n;
  }
}

std::vector<DoubleRec> RandomDoubleRecs(uint32_t n, int distinctKeys, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> key(0, distinctKeys - 1);
  std::vector<DoubleRec> recs(n);
  for (uint32_t i = 0; i < n; ++i) recs[i] = DoubleRec{key(rng) * 0.5, static_cast<int32_t>(i), 0};
  return recs;
}

// --- SortByDoubleKey ------------------------------------------------------

TEST(SortByDoubleKey, EmptyAndSingleRangesChangeNothing) {
  CRecordList list;
  FillDoubleList(list, {{3, 1, 0}, {1, 2, 0}, {2, 3, 0}, {1, 4, 0}, {0, 5, 0}});
  list.SortByDoubleKey(1, 0);
  list.SortByDoubleKey(5, 5);
  list.SortByDoubleKey(0, 3);  // record 0 does not exist
  list.SortByDoubleKey(4, 9);  // beyond the capacity
  ExpectListEquals(list, {{3, 1, 0}, {1, 2, 0}, {2, 3, 0}, {1, 4, 0}, {0, 5, 0}});
}

TEST(SortByDoubleKey, TwoRecordsSwapOnlyWhenTheSecondIsSmaller) {
  CRecordList list;
  FillDoubleList(list, {{2, 1, 0}, {2, 2, 0}, {5, 3, 0}, {4, 4, 0}});
  list.SortByDoubleKey(1, 2);
  list.SortByDoubleKey(3, 4);
  ExpectListEquals(list, {{2, 1, 0}, {2, 2, 0}, {4, 4, 0}, {5, 3, 0}});
}

TEST(SortByDoubleKey, SortsAscending) {
  CRecordList list;
  FillDoubleList(list, {{3, 1, 0}, {1, 2, 0}, {2, 3, 0}, {1, 4, 0}});
  list.SortByDoubleKey(1, 4);
  double k[4];
  for (uint32_t n = 1; n <= 4; ++n) k[n - 1] = static_cast<const DoubleRec*>(list.GetPtr(n))->key;
  EXPECT_EQ(std::vector<double>(k, k + 4), (std::vector<double>{1, 1, 2, 3}));
}

TEST(SortByDoubleKey, LeavesEqualKeysInTheSchemeOrder) {
  for (uint32_t n : {3u, 7u, 64u, 1000u, 5000u}) {
    for (int distinct : {1, 2, 5, 100000}) {
      SCOPED_TRACE(testing::Message() << "n=" << n << " distinct=" << distinct);
      auto recs = RandomDoubleRecs(n, distinct, n * 31 + distinct);
      CRecordList list;
      FillDoubleList(list, recs);
      list.SortByDoubleKey(1, n);
      ReferenceSort(recs, 1, n, CompareDoubleRec);
      ExpectListEquals(list, recs);
    }
  }
}

TEST(SortByDoubleKey, SortsPartOfAList) {
  auto recs = RandomDoubleRecs(200, 7, 5);
  CRecordList list;
  FillDoubleList(list, recs);
  list.SortByDoubleKey(50, 150);
  ReferenceSort(recs, 50, 150, CompareDoubleRec);
  ExpectListEquals(list, recs);
}

TEST(SortByDoubleKey, MillionRecordsWithManyEqualKeysOnASmallStack) {
  const uint32_t n = 1000000;
  auto recs = RandomDoubleRecs(n, 10, 77);
  CRecordList list;
  FillDoubleList(list, recs);
  RunOnSmallStack(256 * 1024, [&] { list.SortByDoubleKey(1, n); });
  ReferenceSort(recs, 1, n, CompareDoubleRec);
  ExpectListEquals(list, recs);
}

class SortByDoubleKeyDegenerate : public testing::TestWithParam<bool> {};

TEST_P(SortByDoubleKeyDegenerate, StaysOnASmallStack) {
  const uint32_t n = 10000;
  uint64_t comparisons = 0;
  const auto keys = MakeAdversarialKeys(n, GetParam(), &comparisons);
  // The input really is degenerate: quadratic work, so recursing into the
  // large part would nest thousands of frames deep.
  ASSERT_GT(comparisons, uint64_t{n} * n / 8);

  std::vector<DoubleRec> recs(n);
  for (uint32_t i = 0; i < n; ++i) recs[i] = DoubleRec{static_cast<double>(keys[i]), static_cast<int32_t>(i), 0};
  CRecordList list;
  FillDoubleList(list, recs);
  RunOnSmallStack(256 * 1024, [&] { list.SortByDoubleKey(1, n); });
  std::vector<DoubleRec> expected = recs;
  std::stable_sort(expected.begin(), expected.end(),
                   [](const DoubleRec& a, const DoubleRec& b) { return a.key < b.key; });
  for (uint32_t i = 1; i <= n; ++i) {
    ASSERT_EQ(static_cast<const DoubleRec*>(list.GetPtr(i))->key, expected[i - 1].key);
  }
}

INSTANTIATE_TEST_SUITE_P(BothSides, SortByDoubleKeyDegenerate, testing::Bool());

// --- CCharDictionary::Sort ------------------------------------------------

void FillDictionary(CCharDictionary& dict, const std::vector<IntRec>& recs) {
  ASSERT_EQ(dict.Create(static_cast<uint32_t>(recs.size()), sizeof(IntRec), 16), 1);
  for (const auto& r : recs) ASSERT_EQ(dict.Add(&r), 1);
}

std::vector<IntRec> DictionaryRecords(CCharDictionary& dict) {
  std::vector<IntRec> out(dict.GetCount());
  for (uint32_t n = 1; n <= dict.GetCount(); ++n) dict.GetAt(n, &out[n - 1]);
  return out;
}

std::vector<IntRec> RandomIntRecs(uint32_t n, int distinctKeys, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> key(0, distinctKeys - 1);
  std::vector<IntRec> recs(n);
  for (uint32_t i = 0; i < n; ++i) recs[i] = IntRec{key(rng), static_cast<int32_t>(i)};
  return recs;
}

bool SameRecords(const std::vector<IntRec>& a, const std::vector<IntRec>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const IntRec& x, const IntRec& y) {
           return x.key == y.key && x.tag == y.tag;
         });
}

TEST(CCharDictionarySort, TwoRecordsSwapOnlyWhenTheFirstComparesGreater) {
  CCharDictionary dict;
  FillDictionary(dict, {{4, 1}, {4, 2}, {9, 3}, {1, 4}});
  dict.Sort(1, 2, CompareIntKeys);
  dict.Sort(3, 4, CompareIntKeys);
  EXPECT_TRUE(SameRecords(DictionaryRecords(dict), {{4, 1}, {4, 2}, {1, 4}, {9, 3}}));
  dict.Sort(2, 2, CompareIntKeys);
  dict.Sort(3, 1, CompareIntKeys);
  dict.Sort(1, 4, nullptr);
  EXPECT_TRUE(SameRecords(DictionaryRecords(dict), {{4, 1}, {4, 2}, {1, 4}, {9, 3}}));
}

TEST(CCharDictionarySort, LeavesEqualKeysInTheSchemeOrder) {
  for (uint32_t n : {3u, 5u, 100u, 2000u}) {
    for (int distinct : {1, 3, 50, 1000000}) {
      SCOPED_TRACE(testing::Message() << "n=" << n << " distinct=" << distinct);
      auto recs = RandomIntRecs(n, distinct, n + distinct);
      CCharDictionary dict;
      FillDictionary(dict, recs);
      dict.Sort(1, n, CompareIntKeys);
      ReferenceSort(recs, 1, n, CompareIntRec);
      EXPECT_TRUE(SameRecords(DictionaryRecords(dict), recs));
    }
  }
}

TEST(CCharDictionarySort, MillionRecordsWithManyEqualKeysUseLittleStack) {
  const uint32_t n = 1000000;
  auto recs = RandomIntRecs(n, 8, 3);
  CCharDictionary dict;
  FillDictionary(dict, recs);
  const uintptr_t used = SortAndMeasureStack(dict, n);
  EXPECT_LT(used, 32u * 1024u);
  ReferenceSort(recs, 1, n, CompareIntRec);
  EXPECT_TRUE(SameRecords(DictionaryRecords(dict), recs));
}

class CCharDictionarySortDegenerate : public testing::TestWithParam<bool> {};

TEST_P(CCharDictionarySortDegenerate, UsesLittleStack) {
  const uint32_t n = 10000;
  uint64_t comparisons = 0;
  const auto keys = MakeAdversarialKeys(n, GetParam(), &comparisons);
  ASSERT_GT(comparisons, uint64_t{n} * n / 8);

  std::vector<IntRec> recs(n);
  for (uint32_t i = 0; i < n; ++i) recs[i] = IntRec{keys[i], static_cast<int32_t>(i)};
  CCharDictionary dict;
  FillDictionary(dict, recs);
  const uintptr_t used = SortAndMeasureStack(dict, n);
  // Recursing on both parts would nest thousands of frames deep here.
  EXPECT_LT(used, 32u * 1024u);
  const auto sorted = DictionaryRecords(dict);
  EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(),
                             [](const IntRec& a, const IntRec& b) { return a.key < b.key; }));
}

INSTANTIATE_TEST_SUITE_P(BothSides, CCharDictionarySortDegenerate, testing::Bool());

int32_t g_coin = 0;
int32_t CompareAtRandom(const void*, const void*) {
  g_coin = g_coin * 1103515245 + 12345;
  return ((g_coin >> 16) % 3) - 1;
}

TEST(CCharDictionarySort, InconsistentComparatorStaysInsideTheRange) {
  // Records 1..50 of a list with spare capacity; the sort must end and
  // touch nothing outside 1..50 (ASan guards the block).
  auto recs = RandomIntRecs(50, 5, 9);
  CCharDictionary dict;
  ASSERT_EQ(dict.Create(50, sizeof(IntRec), 1), 1);
  for (const auto& r : recs) ASSERT_EQ(dict.Add(&r), 1);
  for (int round = 0; round < 200; ++round) dict.Sort(1, 50, CompareAtRandom);
  auto after = DictionaryRecords(dict);
  auto byTag = [](const IntRec& a, const IntRec& b) { return a.tag < b.tag; };
  std::sort(after.begin(), after.end(), byTag);
  EXPECT_TRUE(SameRecords(after, recs));  // still a permutation of the input
}

}  // namespace
