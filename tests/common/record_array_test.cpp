#include "common/record_array.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

struct Rec12 {
  int32_t a, b, c;
};
static_assert(sizeof(Rec12) == 12);

TEST(CRecordArray, RefusedCreateKeepsEarlierRecords) {
  CRecordArray array;
  ASSERT_EQ(array.Create(4, sizeof(Rec12)), 1);
  const Rec12 r{1, 2, 3};
  ASSERT_EQ(array.SetAt(4, &r), 1);

  const uint32_t tooWide = 65536;  // taken as a 16-bit size: 0
  EXPECT_EQ(array.Create(0, 8), 0);
  EXPECT_EQ(array.Create(10, 0), 0);
  EXPECT_EQ(array.Create(10, static_cast<uint16_t>(tooWide)), 0);

  Rec12 out{};
  ASSERT_EQ(array.GetAt(4, &out), 1);
  EXPECT_EQ(out.c, 3);
  EXPECT_EQ(array.GetCapacity(), 4u);
  EXPECT_EQ(array.GetByteSize(), 48u);
}

TEST(CRecordArray, RecordsAreOneBasedAndBounded) {
  CRecordArray array;
  ASSERT_EQ(array.Create(3, 5), 1);
  auto* base = static_cast<unsigned char*>(array.GetBuffer());
  EXPECT_EQ(array.GetPtr(1), base);
  EXPECT_EQ(array.GetPtr(3), base + 10);
  EXPECT_EQ(array.GetPtr(0), nullptr);
  EXPECT_EQ(array.GetPtr(4), nullptr);

  const char in[5] = {'a', 'b', 'c', 'd', 'e'};
  char out[5] = {};
  EXPECT_EQ(array.SetAt(0, in), 0);
  EXPECT_EQ(array.SetAt(4, in), 0);
  EXPECT_EQ(array.GetAt(0, out), 0);
  EXPECT_EQ(array.GetAt(4, out), 0);
  ASSERT_EQ(array.SetAt(2, in), 1);
  EXPECT_EQ(std::memcmp(base + 5, in, 5), 0);
  ASSERT_EQ(array.GetAt(2, out), 1);
  EXPECT_EQ(std::memcmp(out, in, 5), 0);
}

TEST(CRecordArray, GrowKeepsRecordsAndOnlyGoesUp) {
  CRecordArray array;
  EXPECT_EQ(array.Grow(4), 0);  // no buffer yet
  ASSERT_EQ(array.Create(2, 4), 1);
  ASSERT_EQ(array.SetInt(1, 11), 1);
  ASSERT_EQ(array.SetInt(2, 22), 1);
  EXPECT_EQ(array.Grow(2), 0);
  EXPECT_EQ(array.Grow(1), 0);
  EXPECT_EQ(array.Grow(0), 0);
  ASSERT_EQ(array.Grow(5), 1);
  EXPECT_EQ(array.GetCapacity(), 5u);
  int32_t v = 0;
  ASSERT_EQ(array.GetInt(1, &v), 1);
  EXPECT_EQ(v, 11);
  ASSERT_EQ(array.GetInt(2, &v), 1);
  EXPECT_EQ(v, 22);
  EXPECT_EQ(array.SetInt(5, 55), 1);
}

TEST(CRecordArray, FreeKeepsElementSize) {
  CRecordArray array;
  ASSERT_EQ(array.Create(3, 6), 1);
  array.Free();
  EXPECT_EQ(array.GetCapacity(), 0u);
  EXPECT_EQ(array.GetByteSize(), 0u);
  EXPECT_EQ(array.GetElementSize(), 6u);
  EXPECT_EQ(array.GetBuffer(), nullptr);
  EXPECT_EQ(array.GetPtr(1), nullptr);
}

TEST(CRecordArray, IsAllZero) {
  CRecordArray array;
  EXPECT_EQ(array.IsAllZero(), 0);  // no bytes
  ASSERT_EQ(array.Create(4, 2), 1);
  EXPECT_EQ(array.IsAllZero(), 1);  // new records are zero-filled here
  ASSERT_EQ(array.SetShort(4, 1), 1);
  EXPECT_EQ(array.IsAllZero(), 0);
}

// Each typed accessor works only where the element size equals its width;
// "Long" is 4 bytes, as on the system's original platform.
TEST(CRecordArray, TypedAccessorsTestTheElementWidth) {
  for (uint16_t size : {1, 2, 4, 8, 12}) {
    SCOPED_TRACE(size);
    CRecordArray a;
    ASSERT_EQ(a.Create(2, size), 1);
    int16_t s = 0;
    uint16_t us = 0;
    int32_t i = 0, l = 0;
    uint32_t d = 0;
    double f = 0;
    EXPECT_EQ(a.SetShort(1, -2), size == 2 ? 1 : 0);
    EXPECT_EQ(a.GetShort(1, &s), size == 2 ? 1 : 0);
    EXPECT_EQ(a.SetUShort(2, 65535), size == 2 ? 1 : 0);
    EXPECT_EQ(a.GetUShort(2, &us), size == 2 ? 1 : 0);
    EXPECT_EQ(a.SetInt(1, -7), size == 4 ? 1 : 0);
    EXPECT_EQ(a.GetInt(1, &i), size == 4 ? 1 : 0);
    EXPECT_EQ(a.SetLong(2, -2147483647 - 1), size == 4 ? 1 : 0);
    EXPECT_EQ(a.GetLong(2, &l), size == 4 ? 1 : 0);
    EXPECT_EQ(a.SetDword(1, 4000000000u), size == 4 ? 1 : 0);
    EXPECT_EQ(a.GetDword(1, &d), size == 4 ? 1 : 0);
    EXPECT_EQ(a.SetDouble(2, 2.5), size == 8 ? 1 : 0);
    EXPECT_EQ(a.GetDouble(2, &f), size == 8 ? 1 : 0);
    if (size == 2) {
      EXPECT_EQ(s, -2);
      EXPECT_EQ(us, 65535);
    }
    if (size == 4) {
      EXPECT_EQ(i, -7);
      EXPECT_EQ(l, INT32_MIN);
      EXPECT_EQ(d, 4000000000u);
    }
    if (size == 8) {
      EXPECT_EQ(f, 2.5);
    }
    // A refused getter copies nothing.
    int32_t untouched = 12345;
    if (size != 4) {
      EXPECT_EQ(a.GetLong(1, &untouched), 0);
      EXPECT_EQ(untouched, 12345);
    }
  }
}

TEST(CRecordList, CreateNeedsAGrowthStep) {
  CRecordList list;
  const int32_t v = 1;
  EXPECT_EQ(list.Add(&v), 0);  // never created
  EXPECT_EQ(list.Create(4, 4, 0), 0);
  EXPECT_EQ(list.Add(&v), 0);
  EXPECT_EQ(list.Create(0, 4, 8), 0);  // the array refuses capacity 0
  ASSERT_EQ(list.Create(4, 4, 8), 1);
  EXPECT_EQ(list.Add(&v), 1);
  list.Free();
  EXPECT_EQ(list.GetCount(), 0u);
  EXPECT_EQ(list.Add(&v), 0);
}

TEST(CRecordList, GrowsByExactlyTheStep) {
  CRecordList one;
  ASSERT_EQ(one.Create(1, 4, 1), 1);
  for (int32_t k = 1; k <= 3; ++k) {
    ASSERT_EQ(one.Add(&k), 1);
    EXPECT_EQ(one.GetCapacity(), static_cast<uint32_t>(k));
  }
  EXPECT_EQ(one.GetCount(), 3u);

  CRecordList list;
  ASSERT_EQ(list.Create(2, 8, 128), 1);
  for (int k = 0; k < 3; ++k) {
    const double v = k;
    ASSERT_EQ(list.Add(&v), 1);
  }
  EXPECT_EQ(list.GetCapacity(), 130u);
  double v = 0;
  ASSERT_EQ(list.GetDouble(3, &v), 1);
  EXPECT_EQ(v, 2.0);
}

TEST(CRecordList, SpareCapacityIsReachableOnlyByGetAtAndSetAt) {
  CRecordList list;
  ASSERT_EQ(list.Create(4, 4, 4), 1);
  const int32_t v = 9;
  ASSERT_EQ(list.Add(&v), 1);
  int32_t out = 0;
  EXPECT_EQ(list.GetAt(2, &out), 1);  // allocated, not in use
  EXPECT_EQ(list.GetPtr(2), nullptr);
  EXPECT_NE(list.GetPtr(1), nullptr);
  EXPECT_EQ(list.GetAt(5, &out), 0);

  // Filling spare records and taking them in with SetCount.
  const int32_t page[3] = {20, 30, 40};
  ASSERT_EQ(list.SetRange(2, page, 3), 1);
  list.SetCount(4);
  int32_t back[4] = {};
  ASSERT_EQ(list.GetRange(1, back, 4), 1);
  EXPECT_EQ(back[0], 9);
  EXPECT_EQ(back[3], 40);
  EXPECT_EQ(list.GetRange(2, back, 4), 0);  // record 5 is beyond the capacity
  EXPECT_EQ(list.GetRange(1, back, 0), 0);
}

TEST(CRecordList, CountAboveCapacityNeverTouchesMemoryOutside) {
  CRecordList list;
  ASSERT_EQ(list.Create(2, 4, 2), 1);
  list.SetCount(10);
  int32_t out = 0;
  EXPECT_EQ(list.GetPtr(10), nullptr);
  EXPECT_EQ(list.GetAt(10, &out), 0);
  const int32_t v = 5;
  // Grows by one step, fails to store, and still raises the count.
  EXPECT_EQ(list.Add(&v), 0);
  EXPECT_EQ(list.GetCapacity(), 4u);
  EXPECT_EQ(list.GetCount(), 11u);
}

TEST(CRecordList, AddManyAndDropLast) {
  CRecordList list;
  ASSERT_EQ(list.Create(1, 2, 1), 1);
  const int16_t values[5] = {1, 2, 3, 4, 5};
  EXPECT_EQ(list.AddMany(values, 0), 0);
  ASSERT_EQ(list.AddMany(values, 5), 1);
  EXPECT_EQ(list.GetCount(), 5u);
  int16_t s = 0;
  ASSERT_EQ(list.GetShort(5, &s), 1);
  EXPECT_EQ(s, 5);

  EXPECT_EQ(list.DropLast(2), 3u);
  EXPECT_EQ(list.GetCount(), 3u);
  EXPECT_EQ(list.DropLast(3), 0u);
  EXPECT_EQ(list.GetCount(), 0u);
  list.SetCount(3);
  EXPECT_EQ(list.DropLast(7), 0u);
  EXPECT_EQ(list.GetCount(), 0u);
}

TEST(CRecordList, TypedAccessorsUseTheListElementSize) {
  CRecordList list;
  ASSERT_EQ(list.Create(2, 4, 2), 1);
  EXPECT_EQ(list.SetLong(1, -123456), 1);
  int32_t l = 0;
  EXPECT_EQ(list.GetLong(1, &l), 1);
  EXPECT_EQ(l, -123456);
  double d = 7.0;
  EXPECT_EQ(list.GetDouble(1, &d), 0);
  EXPECT_EQ(d, 7.0);
  EXPECT_EQ(list.SetShort(1, 1), 0);
}

}  // namespace
