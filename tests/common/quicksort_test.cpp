// The two record quicksorts (CRecordList::SortByDoubleKey and
// CCharDictionary::Sort): the order they leave, equal keys included, is
// checked against a plain recursive rendering of the partition scheme; their
// stack use is checked on large inputs and on inputs built to make the
// scheme degrade to quadratic work.

#include <gtest/gtest.h>
#include <pthread.h>

#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "common/record_array.h"
#include "common/record_stack.h"

namespace {

struct Rec {
  double key;
  int32_t tag;
  int32_t pad;
  bool operator==(const Rec&) const = default;
};
static_assert(sizeof(Rec) == 16);

int CompareRec(const Rec& a, const Rec& b) { return a.key < b.key ? -1 : (a.key > b.key ? 1 : 0); }

// The partition scheme written out directly, recursing on both parts,
// lower part first. 1-based bounds over a vector.
void ReferenceSort(std::vector<Rec>& v, int64_t lo, int64_t hi) {
  if (hi <= lo) return;
  if (hi == lo + 1) {
    if (CompareRec(v[lo - 1], v[hi - 1]) > 0) std::swap(v[lo - 1], v[hi - 1]);
    return;
  }
  const Rec pivot = v[(lo + hi) / 2 - 1];
  int64_t i = lo - 1;
  int64_t j = hi + 1;
  for (;;) {
    do ++i;
    while (CompareRec(v[i - 1], pivot) < 0);
    do --j;
    while (CompareRec(v[j - 1], pivot) > 0);
    if (j < i) break;
    std::swap(v[i - 1], v[j - 1]);
  }
  ReferenceSort(v, lo, j);
  ReferenceSort(v, i, hi);
}

std::vector<Rec> RandomRecs(uint32_t n, int distinctKeys, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> key(0, distinctKeys - 1);
  std::vector<Rec> recs(n);
  for (uint32_t i = 0; i < n; ++i) recs[i] = Rec{key(rng) * 0.5, static_cast<int32_t>(i), 0};
  return recs;
}

void Fill(CRecordList& list, const std::vector<Rec>& recs) {
  ASSERT_EQ(list.Create(static_cast<uint32_t>(recs.size()), sizeof(Rec), 128), 1);
  ASSERT_EQ(list.AddMany(recs.data(), static_cast<uint32_t>(recs.size())), 1);
}

void Fill(CCharDictionary& dict, const std::vector<Rec>& recs) {
  ASSERT_EQ(dict.Create(static_cast<uint32_t>(recs.size()), sizeof(Rec), 16), 1);
  for (const auto& r : recs) ASSERT_EQ(dict.Add(&r), 1);
}

template <typename Container>
std::vector<Rec> Records(const Container& c) {
  std::vector<Rec> out(c.GetCount());
  for (uint32_t n = 1; n <= c.GetCount(); ++n) c.GetAt(n, &out[n - 1]);
  return out;
}

// The dictionary's comparator, noting the lowest stack frame it runs in.
uintptr_t g_lowestFrame = UINTPTR_MAX;
int32_t CompareKeys(const void* a, const void* b) {
  const auto frame = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  if (frame < g_lowestFrame) g_lowestFrame = frame;
  return CompareRec(*static_cast<const Rec*>(a), *static_cast<const Rec*>(b));
}

// Bytes of stack the dictionary sort uses below the caller's frame.
__attribute__((noinline)) uintptr_t SortAndMeasureStack(CCharDictionary& dict, uint32_t n) {
  g_lowestFrame = UINTPTR_MAX;
  const auto base = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  dict.Sort(1, n, CompareKeys);
  return g_lowestFrame == UINTPTR_MAX ? 0 : base - g_lowestFrame;
}

// --- inputs that drive the scheme to quadratic work -----------------------
// Keys are decided lazily while the sort runs: undecided keys compare beyond
// every decided one, and whenever two undecided keys meet, the one that
// looks like the pivot is fixed as the next value from the near end. Every
// partition then splits off only a few records. Replaying the decided keys
// makes the same sort take the same degenerate path. With pivotsHigh the
// large part of every split is the lower one, otherwise the upper one.

std::vector<int32_t> g_val;
int32_t g_undecided, g_next, g_step, g_candidate;
uint64_t g_comparisons;

int32_t CompareAdversary(const void* a, const void* b) {
  ++g_comparisons;
  const int32_t x = static_cast<const Rec*>(a)->tag;
  const int32_t y = static_cast<const Rec*>(b)->tag;
  if (g_val[x] == g_undecided && g_val[y] == g_undecided) {
    g_val[x == g_candidate ? x : y] = g_next;
    g_next += g_step;
  }
  if (g_val[x] == g_undecided) {
    g_candidate = x;
  } else if (g_val[y] == g_undecided) {
    g_candidate = y;
  }
  return g_val[x] - g_val[y];
}

std::vector<Rec> MakeDegenerateInput(uint32_t n, bool pivotsHigh) {
  g_undecided = pivotsHigh ? -1 : static_cast<int32_t>(n);
  g_val.assign(n, g_undecided);
  g_next = pivotsHigh ? static_cast<int32_t>(n - 1) : 0;
  g_step = pivotsHigh ? -1 : 1;
  g_candidate = 0;
  g_comparisons = 0;
  std::vector<Rec> recs(n);
  for (uint32_t i = 0; i < n; ++i) recs[i] = Rec{0, static_cast<int32_t>(i), 0};
  CCharDictionary dict;
  Fill(dict, recs);
  dict.Sort(1, n, CompareAdversary);
  // The input really is degenerate: quadratic work, so recursing into the
  // large part would nest thousands of frames deep.
  EXPECT_GT(g_comparisons, uint64_t{n} * n / 8);
  for (uint32_t i = 0; i < n; ++i) recs[i].key = g_val[i];
  return recs;
}

// Runs fn on a thread with a small stack: deep recursion would crash.
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

// --- SortByDoubleKey ------------------------------------------------------

TEST(SortByDoubleKey, ShortAndInvalidRanges) {
  CRecordList list;
  Fill(list, {{3, 1, 0}, {1, 2, 0}, {2, 3, 0}, {2, 4, 0}, {0, 5, 0}});
  list.SortByDoubleKey(1, 0);
  list.SortByDoubleKey(5, 5);
  list.SortByDoubleKey(0, 3);  // record 0 does not exist
  list.SortByDoubleKey(4, 9);  // beyond the capacity
  list.SortByDoubleKey(3, 4);  // equal keys: no swap
  list.SortByDoubleKey(1, 2);  // the second is smaller: swapped
  EXPECT_TRUE(Records(list) ==
              (std::vector<Rec>{{1, 2, 0}, {3, 1, 0}, {2, 3, 0}, {2, 4, 0}, {0, 5, 0}}));
}

TEST(SortByDoubleKey, LeavesEqualKeysInTheSchemeOrder) {
  for (uint32_t n : {3u, 7u, 64u, 1000u, 5000u}) {
    for (int distinct : {1, 2, 5, 100000}) {
      auto recs = RandomRecs(n, distinct, n * 31 + distinct);
      CRecordList list;
      Fill(list, recs);
      const uint32_t first = n > 100 ? 10 : 1;  // also part of a list
      list.SortByDoubleKey(first, n);
      ReferenceSort(recs, first, n);
      EXPECT_TRUE(Records(list) == recs) << "n=" << n << " distinct=" << distinct;
    }
  }
}

TEST(SortByDoubleKey, MillionRecordsWithManyEqualKeysOnASmallStack) {
  const uint32_t n = 1000000;
  auto recs = RandomRecs(n, 10, 77);
  CRecordList list;
  Fill(list, recs);
  RunOnSmallStack(256 * 1024, [&] { list.SortByDoubleKey(1, n); });
  ReferenceSort(recs, 1, n);
  EXPECT_TRUE(Records(list) == recs);
}

class SortByDoubleKeyDegenerate : public testing::TestWithParam<bool> {};

TEST_P(SortByDoubleKeyDegenerate, StaysOnASmallStack) {
  const uint32_t n = 10000;
  auto recs = MakeDegenerateInput(n, GetParam());
  CRecordList list;
  Fill(list, recs);
  RunOnSmallStack(256 * 1024, [&] { list.SortByDoubleKey(1, n); });
  ReferenceSort(recs, 1, n);  // on the main thread's large stack
  EXPECT_TRUE(Records(list) == recs);
}

INSTANTIATE_TEST_SUITE_P(BothSides, SortByDoubleKeyDegenerate, testing::Bool());

// --- CCharDictionary::Sort ------------------------------------------------

TEST(CCharDictionarySort, ShortAndInvalidRanges) {
  CCharDictionary dict;
  Fill(dict, {{4, 1, 0}, {4, 2, 0}, {9, 3, 0}, {1, 4, 0}});
  dict.Sort(1, 2, CompareKeys);  // equal: no swap
  dict.Sort(3, 4, CompareKeys);  // the first compares greater: swapped
  dict.Sort(3, 1, CompareKeys);
  dict.Sort(1, 4, nullptr);
  dict.Sort(1, 5, CompareKeys);  // beyond the records
  EXPECT_TRUE(Records(dict) == (std::vector<Rec>{{4, 1, 0}, {4, 2, 0}, {1, 4, 0}, {9, 3, 0}}));
}

TEST(CCharDictionarySort, LeavesEqualKeysInTheSchemeOrder) {
  for (uint32_t n : {3u, 5u, 100u, 2000u}) {
    for (int distinct : {1, 3, 50, 1000000}) {
      auto recs = RandomRecs(n, distinct, n + distinct);
      CCharDictionary dict;
      Fill(dict, recs);
      dict.Sort(1, n, CompareKeys);
      ReferenceSort(recs, 1, n);
      EXPECT_TRUE(Records(dict) == recs) << "n=" << n << " distinct=" << distinct;
    }
  }
}

TEST(CCharDictionarySort, MillionRecordsWithManyEqualKeysUseLittleStack) {
  const uint32_t n = 1000000;
  auto recs = RandomRecs(n, 8, 3);
  CCharDictionary dict;
  Fill(dict, recs);
  EXPECT_LT(SortAndMeasureStack(dict, n), 32u * 1024u);
  ReferenceSort(recs, 1, n);
  EXPECT_TRUE(Records(dict) == recs);
}

class CCharDictionarySortDegenerate : public testing::TestWithParam<bool> {};

TEST_P(CCharDictionarySortDegenerate, UsesLittleStack) {
  const uint32_t n = 10000;
  auto recs = MakeDegenerateInput(n, GetParam());
  CCharDictionary dict;
  Fill(dict, recs);
  // Recursing into the large part would use hundreds of kilobytes here.
  EXPECT_LT(SortAndMeasureStack(dict, n), 32u * 1024u);
  ReferenceSort(recs, 1, n);
  EXPECT_TRUE(Records(dict) == recs);
}

INSTANTIATE_TEST_SUITE_P(BothSides, CCharDictionarySortDegenerate, testing::Bool());

uint32_t g_coin = 0;
int32_t CompareAtRandom(const void*, const void*) {
  g_coin = g_coin * 1103515245u + 12345u;
  return static_cast<int32_t>((g_coin >> 16) % 3) - 1;
}

TEST(CCharDictionarySort, InconsistentComparatorStaysInsideTheRange) {
  // The sort must end and stay inside the records (ASan guards the block),
  // leaving a permutation of them.
  const auto recs = RandomRecs(50, 5, 9);
  CCharDictionary dict;
  Fill(dict, recs);
  for (int round = 0; round < 200; ++round) dict.Sort(1, 50, CompareAtRandom);
  std::vector<Rec> byTag(50);
  for (const Rec& r : Records(dict)) byTag.at(r.tag) = r;
  EXPECT_TRUE(byTag == recs);
}

}  // namespace
