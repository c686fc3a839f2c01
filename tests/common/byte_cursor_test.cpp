#include "common/byte_cursor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

TEST(CByteCursor, ReadsStopAtTheEndWithoutMoving) {
  unsigned char block[10] = {};
  CByteCursor cursor;
  ASSERT_EQ(cursor.Bind(block, sizeof block), 1);
  double d = 0;
  ASSERT_EQ(cursor.Seek(2), 1);
  EXPECT_EQ(cursor.GetDouble(&d), 1);
  EXPECT_EQ(cursor.GetPosition(), 10u);
  EXPECT_EQ(cursor.AtEnd(), 1);

  ASSERT_EQ(cursor.Seek(3), 1);
  EXPECT_EQ(cursor.GetDouble(&d), 0);
  EXPECT_EQ(cursor.GetPosition(), 3u);
  EXPECT_EQ(cursor.PutDouble(1.0), 0);
  EXPECT_EQ(cursor.GetPosition(), 3u);
  EXPECT_EQ(cursor.CanAccess(7), 1);
  EXPECT_EQ(cursor.CanAccess(8), 0);
  EXPECT_EQ(cursor.CanAccess(UINT32_MAX), 0);
}

TEST(CByteCursor, SeekRefusesTheSizeItself) {
  unsigned char block[10] = {};
  CByteCursor cursor;
  ASSERT_EQ(cursor.Bind(block, sizeof block), 1);
  EXPECT_EQ(cursor.Seek(9), 1);
  EXPECT_EQ(cursor.AtEnd(), 0);
  EXPECT_EQ(cursor.Seek(10), 0);
  EXPECT_EQ(cursor.GetPosition(), 9u);
  char c = 0;
  EXPECT_EQ(cursor.GetChar(&c), 1);
  EXPECT_EQ(cursor.AtEnd(), 1);
  EXPECT_EQ(cursor.GetChar(&c), 0);
}

TEST(CByteCursor, UnboundOrEmptyBlockFails) {
  CByteCursor cursor;
  unsigned char block[4] = {};
  EXPECT_EQ(cursor.Bind(block, 0), 0);
  EXPECT_EQ(cursor.Bind(nullptr, 4), 0);
  int32_t v = 0;
  EXPECT_EQ(cursor.GetInt(&v), 0);
  EXPECT_EQ(cursor.PutInt(1), 0);
  EXPECT_EQ(cursor.Skip(1), nullptr);
  EXPECT_EQ(cursor.Seek(0), 0);
  EXPECT_EQ(cursor.AtEnd(), 1);
}

TEST(CByteCursor, TypedValuesRoundTripInLittleEndianOrder) {
  unsigned char block[27] = {};
  CByteCursor w;
  ASSERT_EQ(w.Bind(block, sizeof block), 1);
  ASSERT_EQ(w.PutChar('\x82'), 1);
  ASSERT_EQ(w.PutShort(-2), 1);
  ASSERT_EQ(w.PutInt(0x01020304), 1);
  ASSERT_EQ(w.PutUint(0xFFFFFFFEu), 1);
  ASSERT_EQ(w.PutFloat(1.5f), 1);
  ASSERT_EQ(w.PutDouble(-0.25), 1);
  ASSERT_EQ(w.PutBytes("abcd", 4), 1);
  EXPECT_EQ(w.PutChar('x'), 0);
  const unsigned char head[] = {0x82, 0xFE, 0xFF, 0x04, 0x03, 0x02, 0x01, 0xFE};
  EXPECT_EQ(std::memcmp(block, head, sizeof head), 0);

  CByteCursor r;
  ASSERT_EQ(r.Bind(block, sizeof block), 1);
  char c = 0;
  int16_t s = 0;
  int32_t i = 0;
  uint32_t u = 0;
  float f = 0;
  double d = 0;
  char bytes[4] = {};
  ASSERT_EQ(r.GetChar(&c) && r.GetShort(&s) && r.GetInt(&i) && r.GetUint(&u) && r.GetFloat(&f) &&
                r.GetDouble(&d) && r.GetBytes(bytes, 4),
            1);
  EXPECT_TRUE(c == '\x82' && s == -2 && i == 0x01020304 && u == 0xFFFFFFFEu);
  EXPECT_TRUE(f == 1.5f && d == -0.25 && std::memcmp(bytes, "abcd", 4) == 0);
  EXPECT_EQ(r.AtEnd(), 1);
}

TEST(CByteCursor, SkipsReturnTheSkippedBytes) {
  unsigned char block[16] = {};
  CByteCursor cursor;
  ASSERT_EQ(cursor.Bind(block, sizeof block), 1);
  EXPECT_EQ(cursor.Skip(4), block);
  EXPECT_EQ(cursor.GetPosition(), 4u);
  EXPECT_EQ(cursor.SkipChar(), block + 4);
  EXPECT_EQ(cursor.SkipShort(), block + 5);
  EXPECT_EQ(cursor.SkipInt(), block + 7);
  EXPECT_EQ(cursor.GetPointer(), block + 11);
  EXPECT_EQ(cursor.SkipDouble(), nullptr);  // 5 bytes left
  EXPECT_EQ(cursor.GetPosition(), 11u);
  EXPECT_EQ(cursor.Skip(5), block + 11);
  EXPECT_EQ(cursor.AtEnd(), 1);
  EXPECT_EQ(cursor.Skip(0), block + 16);
}

}  // namespace
