#include "common/record_array.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "common/record_stack.h"

namespace {

TEST(CRecordArray, RefusedCreateKeepsEarlierRecords) {
  CRecordArray array;
  EXPECT_EQ(array.IsAllZero(), 0);  // no bytes
  ASSERT_EQ(array.Create(4, 12), 1);
  EXPECT_EQ(array.IsAllZero(), 1);
  const char rec[12] = "record four";
  ASSERT_EQ(array.SetAt(4, rec), 1);
  EXPECT_EQ(array.IsAllZero(), 0);

  const uint32_t tooWide = 65536;  // taken as a 16-bit size: 0
  EXPECT_EQ(array.Create(0, 8), 0);
  EXPECT_EQ(array.Create(10, 0), 0);
  EXPECT_EQ(array.Create(10, static_cast<uint16_t>(tooWide)), 0);
  char out[12] = {};
  ASSERT_EQ(array.GetAt(4, out), 1);
  EXPECT_STREQ(out, "record four");
  EXPECT_EQ(array.GetByteSize(), 48u);
}

TEST(CRecordArray, RecordsAreOneBasedAndBounded) {
  CRecordArray array;
  ASSERT_EQ(array.Create(3, 5), 1);
  auto* base = static_cast<unsigned char*>(array.GetBuffer());
  EXPECT_EQ(array.GetPtr(3), base + 10);
  EXPECT_EQ(array.GetPtr(0), nullptr);
  EXPECT_EQ(array.GetPtr(4), nullptr);
  char buf[5] = {'a', 'b', 'c', 'd', 'e'};
  EXPECT_EQ(array.SetAt(0, buf), 0);
  EXPECT_EQ(array.SetAt(4, buf), 0);
  EXPECT_EQ(array.GetAt(4, buf), 0);
  ASSERT_EQ(array.SetAt(2, buf), 1);
  EXPECT_EQ(std::memcmp(base + 5, buf, 5), 0);
}

TEST(CRecordArray, GrowKeepsRecordsAndOnlyGoesUp) {
  CRecordArray array;
  EXPECT_EQ(array.Grow(4), 0);  // no buffer yet
  ASSERT_EQ(array.Create(2, 4), 1);
  ASSERT_EQ(array.SetInt(2, 22), 1);
  EXPECT_EQ(array.Grow(2), 0);
  EXPECT_EQ(array.Grow(0), 0);
  ASSERT_EQ(array.Grow(5), 1);
  int32_t v = 0;
  ASSERT_EQ(array.GetInt(2, &v), 1);
  EXPECT_EQ(v, 22);
  EXPECT_EQ(array.SetInt(5, 55), 1);
  array.Free();
  EXPECT_EQ(array.GetByteSize(), 0u);
  EXPECT_EQ(array.GetElementSize(), 4u);  // kept by Free
}

// Each typed accessor works only where the element size equals its width;
// "Long" is 4 bytes, as on the system's original platform. The list tests
// its own copy of the element size the same way.
TEST(CRecordArray, TypedAccessorsTestTheElementWidth) {
  for (uint16_t size : {1, 2, 4, 8}) {
    SCOPED_TRACE(size);
    CRecordArray a;
    CRecordList list;
    ASSERT_EQ(a.Create(2, size), 1);
    ASSERT_EQ(list.Create(2, size, 1), 1);
    int16_t s = 0;
    uint16_t us = 0;
    int32_t l = 0;
    uint32_t d = 0;
    double f = 0;
    const int w2 = size == 2, w4 = size == 4, w8 = size == 8;
    EXPECT_EQ(a.SetShort(1, -2), w2);
    EXPECT_EQ(a.GetShort(1, &s), w2);
    EXPECT_EQ(a.SetUShort(2, 65535), w2);
    EXPECT_EQ(a.GetUShort(2, &us), w2);
    EXPECT_EQ(a.SetLong(1, INT32_MIN), w4);
    EXPECT_EQ(a.GetLong(1, &l), w4);
    EXPECT_EQ(a.SetDword(2, 4000000000u), w4);
    EXPECT_EQ(a.GetDword(2, &d), w4);
    EXPECT_EQ(a.SetDouble(2, 2.5), w8);
    EXPECT_EQ(a.GetDouble(2, &f), w8);
    if (size == 4) {
      EXPECT_EQ(l, INT32_MIN);
    }
    EXPECT_EQ(list.SetLong(1, -7), w4);
    EXPECT_EQ(list.GetInt(1, &l), w4);
    if (size == 2) {
      EXPECT_TRUE(s == -2 && us == 65535);
    }
    if (size == 4) {
      EXPECT_TRUE(l == -7 && d == 4000000000u);
    }
    if (size == 8) {
      EXPECT_EQ(f, 2.5);
    }
    if (size != 4) {  // a refused getter copies nothing
      EXPECT_EQ(l, 0);
    }
  }
}

TEST(CRecordList, GrowsByExactlyTheStepOnlyOnceCreated) {
  CRecordList list;
  const int32_t v = 1;
  EXPECT_EQ(list.Add(&v), 0);  // never created
  EXPECT_EQ(list.Create(4, 4, 0), 0);
  EXPECT_EQ(list.Add(&v), 0);
  ASSERT_EQ(list.Create(1, 4, 1), 1);
  for (uint32_t k = 1; k <= 3; ++k) {
    ASSERT_EQ(list.Add(&v), 1);
    EXPECT_EQ(list.GetCapacity(), k);
  }
  ASSERT_EQ(list.Create(2, 4, 128), 1);
  const int32_t three[3] = {5, 6, 7};
  EXPECT_EQ(list.AddMany(three, 0), 0);
  ASSERT_EQ(list.AddMany(three, 3), 1);
  EXPECT_EQ(list.GetCapacity(), 130u);
  list.Free();
  EXPECT_EQ(list.GetCount(), 0u);
  EXPECT_EQ(list.Add(&v), 0);
}

// A list made without zero-filling its block keeps every record it is
// given, through growth, and a record set after the count is zero or as
// written; a zero-filled one reads zero above its count.
TEST(CRecordList, AListMadeWithoutZeroFillKeepsWhatItIsGivenThroughGrowth) {
  CRecordList list;
  ASSERT_EQ(list.Create(2, 4, 3, false), 1);
  EXPECT_EQ(list.GetCount(), 0u);
  for (int32_t k = 1; k <= 9; ++k) ASSERT_EQ(list.Add(&k), 1);
  EXPECT_EQ(list.GetCapacity(), 11u);  // 2, then steps of 3
  for (uint32_t n = 1; n <= 9; ++n) {
    int32_t got = 0;
    ASSERT_EQ(list.GetAt(n, &got), 1);
    EXPECT_EQ(got, static_cast<int32_t>(n));
  }
  CRecordList zeroed;
  ASSERT_EQ(zeroed.Create(4, 4, 1), 1);
  int32_t above = -1;
  ASSERT_EQ(zeroed.GetAt(4, &above), 1);
  EXPECT_EQ(above, 0);
}

TEST(CRecordList, SwapExchangesRecordsCountAndGrowthStep) {
  CRecordList a, b;
  ASSERT_EQ(a.Create(2, 4, 3), 1);
  const int32_t one = 1, two = 2;
  ASSERT_EQ(a.Add(&one), 1);
  ASSERT_EQ(a.Add(&two), 1);
  ASSERT_EQ(a.Add(&one), 1);  // grows by 3
  const void* block = a.GetBuffer();
  a.Swap(b);
  EXPECT_EQ(a.GetBuffer(), nullptr);
  EXPECT_EQ(a.GetCount(), 0u);
  EXPECT_EQ(a.Add(&one), 0) << "a list never created refuses";
  EXPECT_EQ(b.GetBuffer(), block);
  EXPECT_EQ(b.GetCount(), 3u);
  EXPECT_EQ(b.GetCapacity(), 5u);
  EXPECT_EQ(b.GetElementSize(), 4u);
  int32_t got = 0;
  ASSERT_EQ(b.GetInt(2, &got), 1);
  EXPECT_EQ(got, 2);
  ASSERT_EQ(b.Add(&two), 1);
  ASSERT_EQ(b.Add(&two), 1);
  ASSERT_EQ(b.Add(&two), 1);
  EXPECT_EQ(b.GetCapacity(), 8u) << "the growth step came along";
}

TEST(CRecordList, SpareCapacityIsReachableOnlyByGetAtAndSetAt) {
  CRecordList list;
  ASSERT_EQ(list.Create(4, 4, 4), 1);
  const int32_t v = 9;
  ASSERT_EQ(list.Add(&v), 1);
  int32_t out = 0;
  EXPECT_EQ(list.GetAt(2, &out), 1);  // allocated, not in use
  EXPECT_EQ(list.GetPtr(2), nullptr);
  EXPECT_EQ(list.GetAt(5, &out), 0);
  // A page read into the spare records and taken in with SetCount.
  const int32_t page[3] = {20, 30, 40};
  ASSERT_EQ(list.SetRange(2, page, 3), 1);
  list.SetCount(4);
  int32_t back[4] = {};
  ASSERT_EQ(list.GetRange(1, back, 4), 1);
  EXPECT_TRUE(back[0] == 9 && back[3] == 40);
  EXPECT_EQ(list.GetRange(2, back, 4), 0);  // record 5 is beyond the capacity
}

TEST(CRecordList, CountAboveCapacityNeverTouchesMemoryOutside) {
  CRecordList list;
  ASSERT_EQ(list.Create(2, 4, 2), 1);
  list.SetCount(10);
  int32_t out = 0;
  EXPECT_EQ(list.GetPtr(10), nullptr);
  EXPECT_EQ(list.GetAt(10, &out), 0);
  // Grows by one step, fails to store, and still raises the count.
  EXPECT_EQ(list.Add(&out), 0);
  EXPECT_EQ(list.GetCapacity(), 4u);
  EXPECT_EQ(list.GetCount(), 11u);
  EXPECT_EQ(list.DropLast(2), 9u);
  EXPECT_EQ(list.DropLast(9), 0u);
  list.SetCount(3);
  EXPECT_EQ(list.DropLast(7), 0u);
  EXPECT_EQ(list.GetCount(), 0u);
}

}  // namespace

// Records in the caller's memory are used where they stand: read and
// written there, never freed; the first growth moves them into a block of
// the list's own and leaves the caller's bytes as they were.
TEST(CRecordList, AViewedListUsesTheCallersRecordsUntilItGrows) {
  int32_t records[3] = {7, 8, 0};
  CRecordList list;
  EXPECT_EQ(list.View(nullptr, 3, 0, 4, 2), 0);
  EXPECT_EQ(list.View(records, 3, 4, 4, 2), 0) << "a count above the capacity";
  EXPECT_EQ(list.View(records, 3, 2, 4, 0), 0) << "no growth step";
  EXPECT_EQ(list.View(records, 0, 0, 4, 2), 0);
  EXPECT_EQ(list.GetBuffer(), nullptr);
  ASSERT_EQ(list.View(records, 3, 2, 4, 2), 1);
  EXPECT_EQ(list.GetBuffer(), records);
  EXPECT_EQ(list.GetGrowthStep(), 2u);
  int32_t got = 0;
  ASSERT_EQ(list.GetInt(2, &got), 1);
  EXPECT_EQ(got, 8);
  ASSERT_EQ(list.SetInt(1, 70), 1);
  EXPECT_EQ(records[0], 70) << "written where it stands";
  const int32_t nine = 9;
  ASSERT_EQ(list.Add(&nine), 1);
  EXPECT_EQ(list.GetBuffer(), records) << "room left: no growth";
  EXPECT_EQ(records[2], 9);
  ASSERT_EQ(list.Add(&nine), 1);
  ASSERT_NE(list.GetBuffer(), records);
  EXPECT_EQ(list.GetCapacity(), 5u);
  ASSERT_EQ(list.SetInt(1, 1), 1);
  EXPECT_EQ(records[0], 70) << "the caller's bytes are left once grown";
  ASSERT_EQ(list.GetInt(3, &got), 1);
  EXPECT_EQ(got, 9);
  list.Free();  // frees the list's own block (ASan tells a wrong free)
  ASSERT_EQ(list.View(records, 3, 3, 4, 1), 1);
  CRecordList other;
  list.Swap(other);
  EXPECT_EQ(other.GetBuffer(), records);
  other.Free();  // lets the caller's records go, does not free them
  EXPECT_EQ(records[1], 8);

  // A dictionary searches viewed records as its own, and refuses records
  // larger than its work records.
  struct Key {
    char text[8];
  };
  Key sorted[3] = {{"a"}, {"c"}, {"e"}};
  CCharDictionary dictionary;
  EXPECT_EQ(dictionary.View(sorted, 3, 3, CCharDictionary::kWorkRecordSize + 1, 1), 0);
  ASSERT_EQ(dictionary.View(sorted, 3, 3, sizeof(Key), 1), 1);
  auto compare = [](const void* a, const void* b) {
    return static_cast<int32_t>(
        std::strcmp(static_cast<const char*>(a), static_cast<const char*>(b)));
  };
  EXPECT_EQ(dictionary.Find("=", "c", compare), 2u);
  EXPECT_EQ(dictionary.Find(">", "c", compare), 3u);
  EXPECT_EQ(dictionary.GetCapacity(), 3u);
  EXPECT_EQ(dictionary.GetBuffer(), sorted);
}
