#include "common/scpy_splitter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

Strings Fields(const CScpySEX2& s) {
  Strings r;
  for (int i = 1; i <= s.GetCount(); ++i) {
    std::vector<char> buf(static_cast<std::size_t>(s.GetFieldLength(i)) + 1);
    EXPECT_EQ(s.GetField(buf.data(), i, -1), 1);
    r.push_back(buf.data());
  }
  return r;
}

}  // namespace

TEST(CScpySEX2, BlanksAndQuotes) {
  CScpySEX2 s;
  EXPECT_EQ(s.Split("ab  cd"), 1);
  EXPECT_EQ(Fields(s), (Strings{"ab", "cd"}));
  EXPECT_EQ(s.Split(" ab cd "), 1);
  EXPECT_EQ(Fields(s), (Strings{"ab", "cd"}));

  EXPECT_EQ(s.Split("\"x y\" z"), 1);
  EXPECT_EQ(Fields(s), (Strings{"x y", "z"}));
  char out[16];
  int32_t q = -1;
  EXPECT_EQ(s.GetFieldQuoted(out, 1, &q, -1), 1);
  EXPECT_EQ(q, 1);
  EXPECT_EQ(s.GetFieldQuoted(out, 2, &q, -1), 1);
  EXPECT_EQ(q, 0);
  EXPECT_EQ(s.GetFieldQuoted(out, 3, &q, -1), 0);
  EXPECT_EQ(q, 0);

  // An opening quote without its closing one drops that last field.
  EXPECT_EQ(s.Split("a \"b"), 1);
  EXPECT_EQ(Fields(s), (Strings{"a"}));
  // A quoted field that ends the line adds no empty field after it.
  EXPECT_EQ(s.Split("a \"b c\""), 1);
  EXPECT_EQ(Fields(s), (Strings{"a", "b c"}));
  // A closing quote ends a field without a blank after it.
  EXPECT_EQ(s.Split("\"a\"b"), 1);
  EXPECT_EQ(Fields(s), (Strings{"a", "b"}));
  EXPECT_EQ(s.Split(""), 1);
  EXPECT_EQ(Fields(s), (Strings{""}));
  EXPECT_EQ(s.Split(nullptr), 0);
}

TEST(CScpySEX2, FieldAccess) {
  CScpySEX2 s;
  ASSERT_EQ(s.Split("abc defg"), 1);
  char out[16] = "x";
  EXPECT_EQ(s.GetField(out, 1, 4), 1);  // 3 bytes are below the limit 4
  EXPECT_STREQ(out, "abc");
  EXPECT_EQ(s.GetField(out, 2, 4), 0);  // 4 bytes are not
  EXPECT_EQ(s.GetField(out, 2, 5), 1);
  EXPECT_EQ(s.GetField(out, 0, -1), 0);
  EXPECT_EQ(s.GetField(out, 3, -1), 0);
  EXPECT_EQ(s.GetField(nullptr, 1, -1), 0);
  EXPECT_EQ(s.GetFieldLength(2), 4);
  EXPECT_EQ(s.GetFieldLength(3), 0);
  EXPECT_STREQ(s.GetFieldPointer(2), "defg");
  EXPECT_STREQ(s.GetFieldPointer(3), "");
  EXPECT_EQ(s.GetFieldPointer(4), nullptr);
  EXPECT_EQ(s.GetFieldPointer(0), nullptr);
  s.ResetCount();
  EXPECT_EQ(s.GetCount(), 0);
}

TEST(CScpySEX2, ShiftJisTrailBytesAreNotSeparators) {
  CScpySEX2 s;
  // Half of "　" and "ァ" is 0x40, never a blank; 0x22 and 0x20 are never trail bytes,
  // but the walk stays on character starts.
  ASSERT_EQ(s.Split("表ソ \"ァ　ソ\""), 1);
  EXPECT_EQ(Fields(s), (Strings{"表ソ", "ァ　ソ"}));
}

TEST(CScpySEX2, KeepsEveryFieldBeyondTheFirstCapacity) {
  CScpySEX2 s;
  std::string line;
  for (int i = 0; i < 5000; ++i) line += std::to_string(i) + " ";
  ASSERT_EQ(s.Split(line.c_str()), 1);
  ASSERT_EQ(s.GetCount(), 5000);
  int32_t v = 0;
  EXPECT_EQ(s.GetInt(2049, &v), 1);
  EXPECT_EQ(v, 2048);
  EXPECT_EQ(s.GetInt(5000, &v), 1);
  EXPECT_EQ(v, 4999);
  // A later split keeps the grown arrays; Resplit starts afresh.
  EXPECT_EQ(s.Split("a b"), 1);
  EXPECT_EQ(Fields(s), (Strings{"a", "b"}));
  EXPECT_EQ(s.Resplit(line.c_str()), 1);
  EXPECT_EQ(s.GetCount(), 5000);
}

TEST(CScpySEX2, SplitsLinesLongerThan32767BytesWhole) {
  CScpySEX2 s;
  std::string line = "head " + std::string(40000, 'x') + " tail";
  ASSERT_EQ(s.Split(line.c_str()), 1);
  ASSERT_EQ(s.GetCount(), 3);
  EXPECT_EQ(s.GetFieldLength(2), 40000);
  EXPECT_STREQ(s.GetFieldPointer(3), "tail");
  std::vector<char> out(40001);
  EXPECT_EQ(s.GetField(out.data(), 2, -1), 1);
  EXPECT_EQ(std::strlen(out.data()), 40000u);
  EXPECT_EQ(s.GetField(out.data(), 3, -1), 1);
  EXPECT_STREQ(out.data(), "tail");
  // The typed getters refuse a field as long as the work buffer.
  int32_t v = 0;
  EXPECT_EQ(s.GetInt(2, &v), 0);
}

TEST(CScpySEX2, IntegerGettersUseBaseZeroAnd32Bits) {
  CScpySEX2 s;
  ASSERT_EQ(s.Split("0x10 010 12a -2147483648 2147483648 -1 4294967295 4294967296 08"), 1);
  int32_t v = 0;
  EXPECT_EQ(s.GetInt(1, &v), 1);
  EXPECT_EQ(v, 16);
  EXPECT_EQ(s.GetInt(2, &v), 1);
  EXPECT_EQ(v, 8);
  EXPECT_EQ(s.GetInt(3, &v), 0);
  EXPECT_EQ(s.GetInt(4, &v), 1);
  EXPECT_EQ(v, INT32_MIN);
  EXPECT_EQ(s.GetInt(5, &v), 0);
  EXPECT_EQ(s.GetInt(9, &v), 0);
  EXPECT_EQ(v, INT32_MIN);
  uint32_t u = 0;
  EXPECT_EQ(s.GetUnsigned(6, &u), 0);
  EXPECT_EQ(s.GetUnsigned(7, &u), 1);
  EXPECT_EQ(u, 4294967295u);
  EXPECT_EQ(s.GetUnsigned(8, &u), 0);
  EXPECT_EQ(u, 4294967295u);
  EXPECT_EQ(s.GetUnsigned(10, &u), 0);
}

TEST(CScpySEX2, NarrowGettersAndRanges) {
  CScpySEX2 s;
  ASSERT_EQ(s.Split("32767 -32769 65535 65536 255 256 2.5 1e3 x \"\""), 1);
  int16_t sh = 0;
  EXPECT_EQ(s.GetShort(1, &sh), 1);
  EXPECT_EQ(sh, 32767);
  EXPECT_EQ(s.GetShort(2, &sh), 0);
  uint16_t us = 0;
  EXPECT_EQ(s.GetUShort(3, &us), 1);
  EXPECT_EQ(us, 65535);
  EXPECT_EQ(s.GetUShort(4, &us), 0);
  uint8_t b = 0;
  EXPECT_EQ(s.GetByte(5, &b), 1);
  EXPECT_EQ(b, 255);
  EXPECT_EQ(s.GetByte(6, &b), 0);
  double d = 0;
  EXPECT_EQ(s.GetDouble(7, &d), 1);
  EXPECT_DOUBLE_EQ(d, 2.5);
  EXPECT_EQ(s.GetDouble(8, &d), 1);
  EXPECT_DOUBLE_EQ(d, 1000.0);
  EXPECT_EQ(s.GetDouble(9, &d), 0);

  EXPECT_EQ(s.GetDoubleInRange(7, &d, 0.0, 2.0), 0);
  EXPECT_DOUBLE_EQ(d, 1000.0);
  EXPECT_EQ(s.GetDoubleInRange(7, &d, 0.0, 3.0), 1);
  int32_t v = 0;
  EXPECT_EQ(s.GetIntInRange(5, &v, 0, 254), 0);
  EXPECT_EQ(s.GetIntInRange(5, &v, 0, 255), 1);
  EXPECT_EQ(s.GetShortInRange(1, &sh, -5, 5), 0);
  EXPECT_EQ(s.GetShortInRange(1, &sh, 0, 32767), 1);
  uint32_t u = 0;
  EXPECT_EQ(s.GetUnsignedInRange(3, &u, 0, 65534), 0);
  EXPECT_EQ(s.GetUnsignedInRange(3, &u, 0, 65535), 1);
  EXPECT_EQ(s.GetUShortInRange(5, &us, 0, 100), 0);
  EXPECT_EQ(s.GetUShortInRange(5, &us, 200, 300), 1);
  EXPECT_EQ(us, 255);
  EXPECT_EQ(s.GetByteInRange(5, &b, 0, 254), 0);
  EXPECT_EQ(s.GetByteInRange(5, &b, 0, 255), 1);
}

TEST(CScpySEX2, EmptyFieldIsNoNumber) {
  CScpySEX2 s;
  ASSERT_EQ(s.Split("\"\" 1"), 1);
  ASSERT_EQ(s.GetCount(), 2);
  int32_t v = 7;
  double d = 7;
  uint32_t u = 7;
  EXPECT_EQ(s.GetInt(1, &v), 0);
  EXPECT_EQ(s.GetDouble(1, &d), 0);
  EXPECT_EQ(s.GetUnsigned(1, &u), 0);
  EXPECT_EQ(v, 7);
}

TEST(CScpyBase, PlainBlankSplitAndStorage) {
  CScpySEX2 s;
  // The plain split keeps quotes as ordinary bytes.
  ASSERT_EQ(s.SplitAtBlanks("  \"a b\"  c "), 1);
  EXPECT_EQ(Fields(s), (Strings{"\"a", "b\"", "c"}));
  EXPECT_EQ(s.ResplitAtBlanks("x"), 1);
  EXPECT_EQ(Fields(s), (Strings{"x"}));

  CScpyBase base;
  EXPECT_EQ(base.Split("a b"), 0);
  EXPECT_EQ(base.Resplit("a b"), 0);
  EXPECT_EQ(base.Init(nullptr, 4, 4), 0);
  EXPECT_EQ(base.Init("x", 0, 4), 0);
  EXPECT_EQ(base.Init("x", 4, 0), 0);
  ASSERT_EQ(base.Init("x", 4, 4), 1);
  // Growth to hold index 9 from capacity 4 in steps of 4: capacity 12.
  EXPECT_EQ(base.SetField(9, 0, 1, 0), 1);
  EXPECT_EQ(base.SetField(-1, 0, 1, 0), 0);
  base.Destroy();
  EXPECT_EQ(base.SetField(0, 0, 1, 0), 0);
}
