#include "plat/crt.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <ctime>

using namespace plat::crt;

TEST(Crt, AtoI32SaturatesAtThirtyTwoBits) {
  struct Case {
    const char* text;
    std::int32_t want;
  } cases[] = {
      {"123", 123},
      {"  -45x", -45},
      {"+7", 7},
      {"abc", 0},
      {"", 0},
      {"0x10", 0},
      {"010", 10},
      {"2147483647", INT32_MAX},
      {"2147483648", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"-99999999999", INT32_MIN},
  };
  for (const Case& c : cases) EXPECT_EQ(AtoI32(c.text), c.want) << c.text;
  EXPECT_EQ(AtoI32(nullptr), 0);
  EXPECT_EQ(AtoL32("4294967296"), INT32_MAX);
}

TEST(Crt, StrToL32AndStrToUL32WithThirtyTwoBitLong) {
  struct Case {
    const char* text;
    int base;
    std::int64_t want;
    std::ptrdiff_t end;
    bool range;
    bool isUnsigned;
  } cases[] = {
      {"0x10", 0, 16, 4, false, false},
      {"010", 0, 8, 3, false, false},
      {"09", 0, 0, 1, false, false},
      {"0x", 0, 0, 1, false, false},
      {"  -0x1F z", 0, -31, 7, false, false},
      {"0x10", 10, 0, 1, false, false},
      {"0x1f", 16, 31, 4, false, false},
      {"zz", 36, 1295, 2, false, false},
      {"  ", 0, 0, 0, false, false},
      {"+", 0, 0, 0, false, false},
      {"2147483647", 0, INT32_MAX, 10, false, false},
      {"4294967296", 0, INT32_MAX, 10, true, false},
      {"-2147483648", 0, INT32_MIN, 11, false, false},
      {"-2147483649", 0, INT32_MIN, 11, true, false},
      {"-1", 0, 0xFFFFFFFF, 2, false, true},
      {"-0x10", 0, 0xFFFFFFF0, 5, false, true},
      {"4294967295", 0, 0xFFFFFFFF, 10, false, true},
      {"4294967296", 0, 0xFFFFFFFF, 10, true, true},
      {"99999999999999999999999", 10, 0xFFFFFFFF, 23, true, true},
      {"010", 0, 8, 3, false, true},
  };
  for (const Case& c : cases) {
    char* end = nullptr;
    errno = 0;
    std::int64_t got = c.isUnsigned ? std::int64_t{StrToUL32(c.text, &end, c.base)}
                                    : std::int64_t{StrToL32(c.text, &end, c.base)};
    EXPECT_EQ(got, c.want) << c.text;
    EXPECT_EQ(end - c.text, c.end) << c.text;
    EXPECT_EQ(errno == ERANGE, c.range) << c.text;
  }
}

TEST(Crt, StrToDReadsDecimalOnly) {
  struct Case {
    const char* text;
    double want;
    std::ptrdiff_t end;
  } cases[] = {
      {"1.5", 1.5, 3},
      {" -2.25e2x", -225.0, 8},
      {"0x1A", 0.0, 1},
      {"inf", 0.0, 0},
      {"-inf", 0.0, 0},
      {"nan", 0.0, 0},
      {".", 0.0, 0},
      {".5", 0.5, 2},
      {"5.", 5.0, 2},
      {"1e", 1.0, 1},
      {"1e+", 1.0, 1},
      {"1,5", 1.0, 1},
      {"35.681236", 35.681236, 9},
  };
  for (const Case& c : cases) {
    char* end = nullptr;
    EXPECT_EQ(StrToD(c.text, &end), c.want) << c.text;
    EXPECT_EQ(end - c.text, c.end) << c.text;
  }
  errno = 0;
  EXPECT_TRUE(std::isinf(StrToD("1e999", nullptr)));
  EXPECT_EQ(errno, ERANGE);
}

TEST(Crt, TimeLow32IsTheClockCutToThirtyTwoBits) {
  const auto before = static_cast<std::uint32_t>(std::time(nullptr));
  const std::uint32_t t = TimeLow32();
  EXPECT_LE(t - before, 2u);
}
