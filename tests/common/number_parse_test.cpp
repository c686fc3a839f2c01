#include "common/number_parse.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "common/csv_fields.h"

TEST(IsNumericText, CharacterSetCountsAndEnds) {
  struct Case {
    const char* text;
    int numeric;
  } cases[] = {
      {"1", 1},     {"e", 0},    {"1e", 0},   {"1.2.3", 0}, {"--1", 1},  {"  12  ", 1},
      {"", 0},      {"   ", 0},  {".", 0},    {"-", 0},     {"1e5", 1},  {"1E5e2", 1},
      {"1e5e2", 0}, {"0x1A", 0}, {"0x12", 1}, {"1x", 0},    {"1X", 0},   {"1E", 0},
      {"12a", 0},   {"1 2", 0},  {"+.5", 1},  {"1-2", 1},   {"１２", 0}, {"1\t", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(IsNumericText(c.text), c.numeric) << '"' << c.text << '"';
  EXPECT_EQ(IsNumericText(nullptr), 0);
}

TEST(ParseDoubleInRange, StoresValueEvenOutOfRange) {
  double v = -1.0;
  EXPECT_EQ(ParseDoubleInRange("2.5", &v, 0.0, 3.0), 1);
  EXPECT_DOUBLE_EQ(v, 2.5);
  EXPECT_EQ(ParseDoubleInRange("4.5", &v, 0.0, 3.0), 0);
  EXPECT_DOUBLE_EQ(v, 4.5);
  // A text that is not numeric leaves the value alone.
  EXPECT_EQ(ParseDoubleInRange("abc", &v, 0.0, 10.0), 0);
  EXPECT_DOUBLE_EQ(v, 4.5);
  // Only the leading number is read; a numeric text without one reads as 0.
  EXPECT_EQ(ParseDoubleInRange("1.5-", &v, 0.0, 10.0), 1);
  EXPECT_DOUBLE_EQ(v, 1.5);
  EXPECT_EQ(ParseDoubleInRange("--1", &v, -10.0, 10.0), 1);
  EXPECT_DOUBLE_EQ(v, 0.0);
  // Decimal only: "0x12" is numeric text but reads as 0.
  EXPECT_EQ(ParseDoubleInRange("0x12", &v, -10.0, 10.0), 1);
  EXPECT_DOUBLE_EQ(v, 0.0);
  EXPECT_EQ(ParseDoubleInRange(" -2.5e2 ", &v, -1000.0, 0.0), 1);
  EXPECT_DOUBLE_EQ(v, -250.0);

  float f = 0.0f;
  EXPECT_EQ(ParseFloatInRange("1.25", &f, 0.0f, 1.0f), 0);
  EXPECT_FLOAT_EQ(f, 1.25f);
  EXPECT_EQ(ParseFloatInRange("0.5", &f, 0.0f, 1.0f), 1);
  EXPECT_FLOAT_EQ(f, 0.5f);
}

TEST(ParseIntInRange, TruncatesAndLeavesValueOnFailure) {
  int32_t v = 99;
  EXPECT_EQ(ParseIntInRange("3.9", &v, 0, 10), 1);
  EXPECT_EQ(v, 3);
  v = 99;
  EXPECT_EQ(ParseIntInRange("11", &v, 0, 10), 0);
  EXPECT_EQ(v, 99);
  EXPECT_EQ(ParseIntInRange("-3.9", &v, -10, 10), 1);
  EXPECT_EQ(v, -3);
  EXPECT_EQ(ParseIntInRange("x", &v, 0, 10), 0);
  EXPECT_EQ(v, -3);
  EXPECT_EQ(ParseIntInRange("2147483647", &v, INT32_MIN, INT32_MAX), 1);
  EXPECT_EQ(v, INT32_MAX);
  EXPECT_EQ(ParseIntInRange("-2147483648", &v, INT32_MIN, INT32_MAX), 1);
  EXPECT_EQ(v, INT32_MIN);
  EXPECT_EQ(ParseIntInRange("2147483648", &v, INT32_MIN, INT32_MAX), 0);
  EXPECT_EQ(v, INT32_MIN);
  EXPECT_EQ(ParseIntInRange("1e999", &v, INT32_MIN, INT32_MAX), 0);
  EXPECT_EQ(ParseIntInRange(nullptr, &v, 0, 10), 0);
  EXPECT_EQ(ParseIntInRange("1", nullptr, 0, 10), 0);
}

TEST(ParseIntInRange, TypedSiblingsUseTheirOwnRanges) {
  uint16_t us = 1;
  EXPECT_EQ(ParseUShortInRange("65535", &us, 0, 65535), 1);
  EXPECT_EQ(us, 65535);
  EXPECT_EQ(ParseUShortInRange("65536", &us, 0, 65535), 0);
  EXPECT_EQ(ParseUShortInRange("-1", &us, 0, 65535), 0);
  EXPECT_EQ(us, 65535);

  int16_t s = 1;
  EXPECT_EQ(ParseShortInRange("-32768", &s, -32768, 32767), 1);
  EXPECT_EQ(s, -32768);
  EXPECT_EQ(ParseShortInRange("32768", &s, -32768, 32767), 0);
  EXPECT_EQ(s, -32768);

  uint32_t u = 1;
  EXPECT_EQ(ParseUIntInRange("4294967295", &u, 0, 0xFFFFFFFFu), 1);
  EXPECT_EQ(u, 0xFFFFFFFFu);
  EXPECT_EQ(ParseUIntInRange("4294967296", &u, 0, 0xFFFFFFFFu), 0);
  EXPECT_EQ(u, 0xFFFFFFFFu);

  uint8_t b = 1;
  EXPECT_EQ(ParseByteInRange("255", &b, 0, 255), 1);
  EXPECT_EQ(b, 255);
  EXPECT_EQ(ParseByteInRange("256", &b, 0, 255), 0);
  EXPECT_EQ(ParseByteInRange("20", &b, 10, 15), 0);
  EXPECT_EQ(b, 255);
}

TEST(ParseDoubleStrict, WholeTextMustBeConsumed) {
  double v = 7.0;
  EXPECT_EQ(ParseDoubleStrict("1.5", &v, 0.0, 10.0), 1);
  EXPECT_DOUBLE_EQ(v, 1.5);
  v = 7.0;
  EXPECT_EQ(ParseDoubleStrict("1.5-", &v, 0.0, 10.0), 0);
  EXPECT_EQ(ParseDoubleStrict("--1", &v, -10.0, 10.0), 0);
  EXPECT_EQ(ParseDoubleStrict("0x12", &v, -10.0, 100.0), 0);
  EXPECT_EQ(ParseDoubleStrict("11", &v, 0.0, 10.0), 0);
  EXPECT_DOUBLE_EQ(v, 7.0);
  EXPECT_EQ(ParseDoubleStrict("  2e1  ", &v, 0.0, 100.0), 1);
  EXPECT_DOUBLE_EQ(v, 20.0);

  uint32_t u = 5;
  EXPECT_EQ(ParseUIntStrict("42.7", &u, 0, 100), 1);
  EXPECT_EQ(u, 42u);
  EXPECT_EQ(ParseUIntStrict("42a", &u, 0, 100), 0);
  EXPECT_EQ(ParseUIntStrict("-1", &u, 0, 100), 0);
  EXPECT_EQ(u, 42u);
}

TEST(ParseWordInRange, PicksTheNthBlankSeparatedWord) {
  int32_t v = 0;
  EXPECT_EQ(ParseWordIntInRange("  label   12   34 ", 3, &v, 0, 100), 1);
  EXPECT_EQ(v, 34);
  EXPECT_EQ(ParseWordIntInRange("label 12", 1, &v, 0, 100), 0);
  EXPECT_EQ(ParseWordIntInRange("label 12", 3, &v, 0, 100), 0);
  EXPECT_EQ(v, 34);
  double d = 0;
  EXPECT_EQ(ParseWordDoubleInRange("x 2.5", 2, &d, 0, 3), 1);
  EXPECT_DOUBLE_EQ(d, 2.5);
  uint16_t us = 0;
  EXPECT_EQ(ParseWordUShortInRange("a 7", 2, &us, 0, 10), 1);
  EXPECT_EQ(us, 7);
  int16_t s = 0;
  EXPECT_EQ(ParseWordShortInRange("a -7", 2, &s, -10, 10), 1);
  EXPECT_EQ(s, -7);
  uint32_t u = 0;
  EXPECT_EQ(ParseWordUIntInRange("a 70000", 2, &u, 0, 100000), 1);
  EXPECT_EQ(u, 70000u);
}

TEST(ParseSubstringInRange, PicksBytesByPositionAndCount) {
  int32_t v = 0;
  EXPECT_EQ(ParseSubstringIntInRange("AB1234CD", 3, 4, &v, 0, 9999), 1);
  EXPECT_EQ(v, 1234);
  EXPECT_EQ(ParseSubstringIntInRange("AB1234CD", 3, 5, &v, 0, 9999), 0);
  // Cut at the end of the text; a position beyond it gives an empty piece.
  EXPECT_EQ(ParseSubstringIntInRange("AB12", 3, 100, &v, 0, 99), 1);
  EXPECT_EQ(v, 12);
  EXPECT_EQ(ParseSubstringIntInRange("AB12", 9, 2, &v, 0, 99), 0);
  uint16_t us = 0;
  EXPECT_EQ(ParseSubstringUShortInRange("x65535", 2, 5, &us, 0, 65535), 1);
  EXPECT_EQ(us, 65535);
  double d = 0;
  EXPECT_EQ(ParseSubstringDoubleInRange("..1.5..", 3, 3, &d, 0, 2), 1);
  EXPECT_DOUBLE_EQ(d, 1.5);
  int16_t s = 0;
  EXPECT_EQ(ParseSubstringShortInRange("-5", 1, 2, &s, -5, 5), 1);
  EXPECT_EQ(s, -5);
  uint32_t u = 0;
  EXPECT_EQ(ParseSubstringUIntInRange("99", 1, 1, &u, 0, 9), 1);
  EXPECT_EQ(u, 9u);
}

TEST(ParseQuotedWordInRange, QuotedWordsMayHoldBlanks) {
  int32_t v = 0;
  EXPECT_EQ(ParseQuotedWordIntInRange("a \" 12 \" 34", 2, &v, 0, 100), 1);
  EXPECT_EQ(v, 12);
  EXPECT_EQ(ParseQuotedWordIntInRange("a \" 12 \" 34", 3, &v, 0, 100), 1);
  EXPECT_EQ(v, 34);
  EXPECT_EQ(ParseQuotedWordIntInRange("a \"1 2\"", 2, &v, 0, 100), 0);
  EXPECT_EQ(v, 34);
  double d = 0;
  EXPECT_EQ(ParseQuotedWordDoubleInRange("\"0.5\"", 1, &d, 0, 1), 1);
  EXPECT_DOUBLE_EQ(d, 0.5);
  uint16_t us = 0;
  EXPECT_EQ(ParseQuotedWordUShortInRange("x 9", 2, &us, 0, 9), 1);
  EXPECT_EQ(us, 9);
  int16_t s = 0;
  EXPECT_EQ(ParseQuotedWordShortInRange("x -9", 2, &s, -9, 0), 1);
  EXPECT_EQ(s, -9);
  uint32_t u = 0;
  EXPECT_EQ(ParseQuotedWordUIntInRange("x 9", 3, &u, 0, 9), 0);
}
