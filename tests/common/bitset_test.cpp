#include "common/bitset.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "common/heap_buffer.h"
#include "common/in_range.h"
#include "common/record_grid.h"

namespace {

TEST(CBitSet, BitOneIsTheTopBitOfTheFirstByte) {
  CBitSet set;
  EXPECT_EQ(set.Create(0, 1), 0);
  ASSERT_EQ(set.Create(9, 1), 1);
  EXPECT_EQ(set.GetByteSize(), 2u);
  for (uint32_t k = 1; k <= 9; ++k) EXPECT_EQ(set.Test(k), 1) << k;
  EXPECT_EQ(set.Test(0), 0);
  EXPECT_EQ(set.Test(10), 0);
  EXPECT_EQ(*set.GetBytePtr(1), 0xFF);
  EXPECT_EQ(set.GetByteOf(9), 0x80);  // the other bits belong to no flag
  EXPECT_EQ(set.GetBytePtr(3), nullptr);

  ASSERT_EQ(set.Create(8, 2), 1);  // only the value 1 sets
  EXPECT_EQ(*set.GetBytePtr(1), 0x00);
  EXPECT_EQ(set.Set(1, 1) + set.Set(8, 1), 2);
  EXPECT_EQ(*set.GetBytePtr(1), 0x81);
  EXPECT_EQ(set.Set(8, -1), 1);
  EXPECT_EQ(*set.GetBytePtr(1), 0x80);
  EXPECT_EQ(set.Set(9, 1), 0);
  set.SetAll(1);
  EXPECT_EQ(set.Test(8), 1);
  set.Free();
  EXPECT_EQ(set.GetBitCount(), 0u);
  EXPECT_EQ(set.Set(1, 1), 0);
}

TEST(CBitList, AppendsBitsMostSignificantFirst) {
  CBitList list;
  ASSERT_EQ(list.Create(8), 1);
  for (int bit : {1, 0, 1}) ASSERT_EQ(list.AppendBit(bit), 1);
  EXPECT_EQ(list.GetBitCount(), 3u);
  EXPECT_EQ(list.GetBuffer()[0], 0xA0);
  ASSERT_EQ(list.AppendByteBits(0x81), 1);
  EXPECT_EQ(list.GetBitCount(), 11u);
  const int expected[] = {1, 0, 1, 1, 0, 0, 0, 0, 0, 0, 1, 0};
  for (uint32_t k = 1; k <= 12; ++k) EXPECT_EQ(list.Test(k), expected[k - 1]) << k;
}

TEST(CBitList, GrowsByStepsAndSetsWithinAllocatedBytes) {
  CBitList list;
  ASSERT_EQ(list.Create(16), 1);
  ASSERT_EQ(list.AppendBit(0), 1);
  EXPECT_EQ(list.Set(0, 1), 0);
  EXPECT_EQ(list.Set(16, 1), 1);  // byte 2 is allocated
  EXPECT_EQ(list.Set(17, 1), 0);  // byte 3 is not
  EXPECT_EQ(list.Test(16), 0);    // tests stop at the bits appended
  for (int i = 0; i < 2000; ++i) ASSERT_EQ(list.AppendBit(i % 3 == 0 ? 1 : 0), 1);
  EXPECT_EQ(list.GetByteSize(), 2u + 2 * 128u);
  for (uint32_t k = 2; k <= 2001; ++k) ASSERT_EQ(list.Test(k), (k - 2) % 3 == 0 ? 1 : 0) << k;
}

TEST(CRecordGrid, RowRecordsAreAdjacent) {
  CRecordGrid grid;
  EXPECT_EQ(grid.Create(0, 5, 4), 0);
  EXPECT_EQ(grid.Create(70000, 70000, 1), 0);  // more records than 32 bits count
  ASSERT_EQ(grid.Create(3, 2, 4), 1);
  EXPECT_EQ(grid.GetByteSize(), 24u);
  auto* base = static_cast<unsigned char*>(grid.GetPtr(1, 1));
  EXPECT_EQ(grid.GetPtr(1, 2), base + 3 * 4);  // array record 4
  EXPECT_EQ(grid.GetPtr(4, 1), nullptr);
  EXPECT_EQ(grid.GetPtr(1, 3), nullptr);
  for (uint32_t r = 1; r <= 2; ++r) {
    for (uint32_t c = 1; c <= 3; ++c)
      ASSERT_EQ(grid.SetLong(c, r, static_cast<int32_t>(c * 10 + r)), 1);
  }
  int32_t v = 0;
  ASSERT_EQ(grid.GetLong(2, 2, &v), 1);
  EXPECT_EQ(v, 22);
  double d = 0;
  EXPECT_EQ(grid.GetDouble(1, 1, &d), 0);
  grid.Free();
  EXPECT_EQ(grid.GetColumns(), 0u);
  EXPECT_EQ(grid.GetPtr(1, 1), nullptr);
}

TEST(CHeapBuffer, ZeroArgumentsGiveNoBlock) {
  CHeapBuffer buffer;
  EXPECT_EQ(buffer.Allocate(0, 8), nullptr);
  auto* p = static_cast<unsigned char*>(buffer.Allocate(4, 8));
  ASSERT_NE(p, nullptr);
  p[31] = 1;                                  // the whole block is usable (ASan checks the bound)
  EXPECT_EQ(buffer.Allocate(8, 0), nullptr);  // the earlier block is freed, not leaked
}

TEST(RangeTests, SignedUnsignedAndByteComparisons) {
  EXPECT_EQ(IsInRange(-1, -5, 5), 1);
  EXPECT_EQ(IsInRangeUnsigned(static_cast<uint32_t>(-1), static_cast<uint32_t>(-5), 5), 0);
  EXPECT_EQ(IsInRange(6, -5, 5), 0);
  EXPECT_EQ(IsInRangeChar(0x80, 0, 0x7F), 0);  // 0x80 is -128
  EXPECT_EQ(IsInRangeChar(0x80, -128, 0), 1);
  EXPECT_EQ(IsInRangeChar(0x141, 0x40, 0x41), 1);  // only the low bytes count
  EXPECT_EQ(MaxInt(-3, -7), -3);
  EXPECT_EQ(MaxInt(INT32_MIN, INT32_MAX), INT32_MAX);
}

}  // namespace
