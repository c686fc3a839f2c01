#include "common/element_array.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/test_util.h"

namespace {

// The values of elements 1..count, read through GetAt.
std::vector<int32_t> Values(const CElementArray& array) {
  std::vector<int32_t> values;
  for (int32_t i = 1; i <= array.GetCount(); ++i) {
    int32_t v = -1;
    EXPECT_EQ(array.GetAt(&v, i), 1);
    values.push_back(v);
  }
  return values;
}

// Element n of the block, also beyond the count (n <= capacity).
int32_t Raw(const CElementArray& array, int32_t n) {
  int32_t v = -1;
  std::memcpy(&v, static_cast<const unsigned char*>(array.GetData()) + (n - 1) * 4, 4);
  return v;
}

CElementArray& AddAll(CElementArray& array, std::initializer_list<int32_t> values) {
  for (int32_t v : values) EXPECT_EQ(array.Add(&v), 1);
  return array;
}

TEST(CElementArray, GrowsInWholeChunksWithZeroFill) {
  CElementArray array;
  ASSERT_EQ(array.Create(4, 3), 1);
  EXPECT_EQ(array.GetCapacity(), 3);
  EXPECT_EQ(array.GetCount(), 0);
  AddAll(array, {11, 12, 13});
  EXPECT_EQ(array.GetCapacity(), 3);
  AddAll(array, {14});
  EXPECT_EQ(array.GetCapacity(), 6);
  EXPECT_EQ(Values(array), (std::vector<int32_t>{11, 12, 13, 14}));
  EXPECT_EQ(Raw(array, 5), 0);
  EXPECT_EQ(Raw(array, 6), 0);
  // 6 elements: 6 / 3 + 1 = 3 chunks once the count passes 6.
  AddAll(array, {15, 16});
  EXPECT_EQ(array.GetCapacity(), 6);
  AddAll(array, {17});
  EXPECT_EQ(array.GetCapacity(), 9);
}

TEST(CElementArray, SetAtBeyondTheCountRaisesItAndLeavesZerosBetween) {
  CElementArray array;
  ASSERT_EQ(array.Create(4, 4), 1);
  const int32_t ten = 10;
  ASSERT_EQ(array.SetAt(&ten, 10), 1);
  EXPECT_EQ(array.GetCount(), 10);
  EXPECT_EQ(array.GetCapacity(), 12);
  EXPECT_EQ(Values(array), (std::vector<int32_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 10}));
  const int32_t five = 5;
  ASSERT_EQ(array.SetAt(&five, 5), 1);  // inside: the count stays
  EXPECT_EQ(array.GetCount(), 10);
  EXPECT_EQ(array.SetAt(&five, 0), 0);
  EXPECT_EQ(array.SetAt(&five, -1), 0);
}

TEST(CElementArray, ChunkSizeZeroMeansOneThousand) {
  CElementArray a;
  ASSERT_EQ(a.Create(8, 0), 1);
  EXPECT_EQ(a.GetChunkSize(), 1000);
  EXPECT_EQ(a.GetCapacity(), 1000);
  CElementArray b;
  ASSERT_EQ(b.Create(8), 1);
  EXPECT_EQ(b.GetCapacity(), 1000);
  const double d = 1.5;
  for (int i = 0; i < 1001; ++i) ASSERT_EQ(b.Add(&d), 1);
  EXPECT_EQ(b.GetCapacity(), 2000);
  EXPECT_EQ(a.Create(0, 10), 0);
  EXPECT_EQ(a.Create(4, -1), 0);
}

TEST(CElementArray, AccessIsBoundedByTheCountAndRemoveAllStartsOver) {
  CElementArray array;
  int32_t v = 7;
  EXPECT_EQ(array.Add(&v), 0);  // not created
  ASSERT_EQ(array.Create(4, 3), 1);
  AddAll(array, {1, 2, 3, 4});
  EXPECT_EQ(array.GetAt(&v, 0), 0);
  EXPECT_EQ(array.GetAt(&v, 5), 0);  // inside the chunk, beyond the count
  EXPECT_EQ(array.GetPtr(5), nullptr);
  EXPECT_EQ(static_cast<unsigned char*>(array.GetPtr(2)),
            static_cast<unsigned char*>(array.GetData()) + 4);
  array.RemoveAll();
  EXPECT_EQ(array.GetCount(), 0);
  EXPECT_EQ(array.GetCapacity(), 0);
  EXPECT_EQ(array.RemoveLast(), 0);
  AddAll(array, {5});
  EXPECT_EQ(Values(array), (std::vector<int32_t>{5}));
  EXPECT_EQ(array.GetCapacity(), 3);
}

TEST(CElementArray, ReverseRemoveAndCopyRebuildTheElements) {
  CElementArray array;
  ASSERT_EQ(array.Create(4, 2), 1);
  AddAll(array, {1, 2, 3});
  ASSERT_EQ(array.Reverse(), 1);
  EXPECT_EQ(Values(array), (std::vector<int32_t>{3, 2, 1}));
  AddAll(array, {4});
  ASSERT_EQ(array.RemoveAt(2), 1);
  EXPECT_EQ(Values(array), (std::vector<int32_t>{3, 1, 4}));
  EXPECT_EQ(array.RemoveAt(4), 0);

  CElementArray copy;
  ASSERT_EQ(array.CopyTo(copy), 1);
  EXPECT_EQ(copy.GetChunkSize(), 2);
  EXPECT_EQ(Values(copy), (std::vector<int32_t>{3, 1, 4}));

  // The place freed by RemoveLast is zero again, so a later gap holds
  // zeros only.
  ASSERT_EQ(array.RemoveLast(), 1);
  const int32_t nine = 9;
  ASSERT_EQ(array.SetAt(&nine, 4), 1);
  EXPECT_EQ(Values(array), (std::vector<int32_t>{3, 1, 0, 9}));
}

TEST(ReadTextLine, ReadsLinesOfAtMostSizeMinusOneBytes) {
  testutil::TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("lines.txt"), "abcdef\r\nxy\r\n\r\nz"));
  plat::File file;
  ASSERT_EQ(OpenTextFileExclusive(&file, dir.Sys("lines.txt").c_str()), 1);
  char buffer[8];
  std::memset(buffer, 'Q', sizeof buffer);
  ASSERT_EQ(ReadTextLine(&file, buffer, 4), 1);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(buffer[4], 'Q');  // only size bytes are touched
  std::memset(buffer, 'Q', sizeof buffer);
  ASSERT_EQ(ReadTextLine(&file, buffer, 8), 1);
  EXPECT_STREQ(buffer, "def\n");
  EXPECT_EQ(std::string(buffer, 8), std::string("def\n\0\0\0", 8));  // zero-filled
  ASSERT_EQ(ReadTextLine(&file, buffer, 8), 1);
  EXPECT_STREQ(buffer, "xy\n");
  ASSERT_EQ(ReadTextLine(&file, buffer, 8), 1);
  EXPECT_STREQ(buffer, "\n");
  ASSERT_EQ(ReadTextLine(&file, buffer, 8), 1);
  EXPECT_STREQ(buffer, "z");
  EXPECT_EQ(ReadTextLine(&file, buffer, 8), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(ReadTextLine(&file, buffer, 1), 0);
  EXPECT_EQ(ReadTextLine(nullptr, buffer, 8), 0);
  plat::File other;
  EXPECT_EQ(OpenTextFileExclusive(&other, dir.Sys("none.txt").c_str()), 0);
}

TEST(CElementStore, GrowsOnlyUpwardsKeepingElements) {
  CElementStore store;
  EXPECT_EQ(store.Create(0, 4), 0);
  EXPECT_EQ(store.Grow(4), 0);  // no element size yet
  ASSERT_EQ(store.Create(2, 2), 1);
  const uint16_t a = 0x1234;
  ASSERT_EQ(store.SetAt(&a, 2), 1);
  EXPECT_EQ(store.SetAt(&a, 3), 0);
  EXPECT_EQ(store.Grow(2), 0);
  ASSERT_EQ(store.Grow(5), 1);
  uint16_t b = 0;
  ASSERT_EQ(store.GetAt(&b, 2), 1);
  EXPECT_EQ(b, 0x1234);
  ASSERT_EQ(store.GetAt(&b, 5), 1);
  EXPECT_EQ(b, 0);
}

}  // namespace
