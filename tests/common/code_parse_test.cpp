#include "common/code_parse.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "common/file_status.h"
#include "common/in_range.h"

TEST(ParseCode3, DigitsOrCapitalAndTwoDigits) {
  struct Case {
    const char* text;
    int ok;
    uint16_t value;
  } cases[] = {
      {"123", 1, 123},  {"000", 1, 0},    {"999", 1, 999}, {"A00", 1, 1000}, {"A05", 1, 1005},
      {"B10", 1, 1110}, {"Z99", 1, 3599}, {"e05", 0, 0},   {"1e2", 0, 0},    {"a05", 0, 0},
      {"12", 0, 0},     {"1234", 0, 0},   {"", 0, 0},      {" 12", 0, 0},    {"1.9", 0, 0},
      {"+12", 0, 0},    {"AB1", 0, 0},    {"A0", 0, 0},    {"Ａ00", 0, 0},
  };
  for (const Case& c : cases) {
    uint16_t v = 7777;
    EXPECT_EQ(ParseCode3(c.text, &v), c.ok) << c.text;
    EXPECT_EQ(v, c.ok ? c.value : 7777) << c.text;
  }
  uint16_t v = 0;
  EXPECT_EQ(ParseCode3(nullptr, &v), 0);
  EXPECT_EQ(ParseCode3("123", nullptr), 0);
}

TEST(ParseCode5, DigitsOrCapitalAndFourDigits) {
  struct Case {
    const char* text;
    int ok;
    uint32_t value;
  } cases[] = {
      {"12345", 1, 12345},  {"00000", 1, 0}, {"A0000", 1, 100000}, {"B0001", 1, 110001},
      {"Z9999", 1, 359999}, {"1e234", 0, 0}, {"e0000", 0, 0},      {"1234", 0, 0},
      {"123456", 0, 0},     {"A000", 0, 0},  {"-1234", 0, 0},      {"A00x0", 0, 0},
  };
  for (const Case& c : cases) {
    uint32_t v = 4242;
    EXPECT_EQ(ParseCode5(c.text, &v), c.ok) << c.text;
    EXPECT_EQ(v, c.ok ? c.value : 4242u) << c.text;
  }
}

TEST(IsInRangeShort, ComparesLow16BitsAsSigned) {
  EXPECT_EQ(IsInRangeShort(0, -5, 5), 1);
  EXPECT_EQ(IsInRangeShort(-5, -5, 5), 1);
  EXPECT_EQ(IsInRangeShort(5, -5, 5), 1);
  EXPECT_EQ(IsInRangeShort(6, -5, 5), 0);
  // 0x18000 cut to 16 bits is 0x8000, that is -32768.
  EXPECT_EQ(IsInRangeShort(0x18000, -5, 5), 0);
  EXPECT_EQ(IsInRangeShort(0x18000, -32768, -32768), 1);
  // 65535 is -1 as a 16-bit number.
  EXPECT_EQ(IsInRangeShort(65535, -1, 0), 1);
  // The bounds are cut as well: 0x10005 is 5.
  EXPECT_EQ(IsInRangeShort(3, 0, 0x10005), 1);
}

TEST(ClearFileStatusTimes, ZeroesOnlyTheThreeTimeStamps) {
  plat::FileStatus st;
  st.created = 11;
  st.modified = 22;
  st.accessed = 33;
  st.size = 44;
  st.isDirectory = true;
  EXPECT_EQ(ClearFileStatusTimes(&st), &st);
  EXPECT_EQ(st.created, 0);
  EXPECT_EQ(st.modified, 0);
  EXPECT_EQ(st.accessed, 0);
  EXPECT_EQ(st.size, 44u);
  EXPECT_TRUE(st.isDirectory);
  EXPECT_EQ(ClearFileStatusTimes(nullptr), nullptr);
}
