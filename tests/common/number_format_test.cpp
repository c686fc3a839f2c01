#include "common/number_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(NumberFormatters, WidthAndPrecision) {
  char out[1100];
  EXPECT_STREQ(FormatDouble(out, 3.14159, 8, 2), "    3.14");
  EXPECT_STREQ(FormatDouble(out, -2.5, 0, 0), "-2");
  EXPECT_STREQ(FormatFloat(out, 0.25f, 0, 3), "0.250");
  EXPECT_STREQ(FormatIntWidth(out, 5, 3), "  5");
  EXPECT_STREQ(FormatIntWidth(out, 5, -3), "5  ");
  EXPECT_STREQ(FormatLongWidth(out, -2147483647 - 1, 1), "-2147483648");
  EXPECT_STREQ(FormatIntZeroPadded(out, -5, 4), "00-5");
  EXPECT_STREQ(FormatIntZeroPadded(out, 42, 5), "00042");
  EXPECT_STREQ(FormatIntZeroPadded(out, 123456, 3), "123456");
  EXPECT_STREQ(FormatExponent(out, -1234.5, 12), "-1.2345e+03");
  EXPECT_STREQ(FormatExponent(out, 1234.5, 10), " 1.23e+03");
  EXPECT_STREQ(FormatExponent(out, 1234.5, 3), "   1e+03");  // width 7 pads
  // Bad precisions and results beyond the work area give "".
  EXPECT_STREQ(FormatDouble(out, 1.0, 0, -1), "");
  EXPECT_STREQ(FormatDouble(out, 1.0, 1023, 0), std::string(1022, ' ').append("1").c_str());
  EXPECT_STREQ(FormatDouble(out, 1.0, 1024, 0), "");
  EXPECT_STREQ(FormatDouble(out, 1e300, 0, 800), "");
}

TEST(FormatDoubleTrimmed, TrimsOnlyAFraction) {
  char out[64];
  EXPECT_STREQ(FormatDoubleTrimmed(out, 2.5, 0, 3), "2.5");
  EXPECT_STREQ(FormatDoubleTrimmed(out, 2.0, 0, 2), "2");
  EXPECT_STREQ(FormatDoubleShortest(out, 1.5), "1.5");
  EXPECT_STREQ(FormatDoubleShortest(out, 100.0), "100");
  EXPECT_STREQ(FormatDoubleShortest(out, -0.25), "-0.25");
}

TEST(FormatDoubleTrimmed, KeepsZerosOfAWholeNumber) {
  char out[64];
  EXPECT_STREQ(FormatDoubleTrimmed(out, 100.0, 0, 0), "100");
  EXPECT_STREQ(FormatDoubleTrimmed(out, 1200.0, 6, 0), "  1200");
}

TEST(InsertThousandsSeparators, GroupsByThree) {
  struct Case {
    const char* text;
    const char* result;
  } cases[] = {
      {"-1234567", "-1,234,567"}, {"123", "123"},           {"1234", "1,234"},    {"+123", "+123"},
      {"123456", "123,456"},      {"1234567", "1,234,567"}, {"あ1234", "あ1234"}, {"", ""},
  };
  for (const Case& c : cases) {
    char buf[64];
    std::strcpy(buf, c.text);
    EXPECT_STREQ(InsertThousandsSeparators(buf), c.result) << c.text;
  }
}

TEST(NumberChains, FormatParseAndTest) {
  char out[64] = "unchanged";
  EXPECT_EQ(FormatNumberChain(out, 1, 0, 5), 1);
  EXPECT_STREQ(out, "1");
  EXPECT_EQ(FormatNumberChain(out, 1, 2, 3), 1);
  EXPECT_STREQ(out, "1-2-3");
  EXPECT_EQ(FormatNumberChain(out, 7, 2, 0), 1);
  EXPECT_STREQ(out, "7-2");
  std::strcpy(out, "unchanged");
  EXPECT_EQ(FormatNumberChain(out, 0, 2, 3), 0);
  EXPECT_STREQ(out, "unchanged");
  EXPECT_EQ(FormatNumberChain(nullptr, 1, 2, 3), 0);

  int32_t a = -1, b = -1, c = -1;
  EXPECT_EQ(ParseNumberChain("1-2-3", &a, &b, &c), 1);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(c, 3);
  EXPECT_EQ(ParseNumberChain("12", &a, &b, &c), 1);
  EXPECT_EQ(a, 12);
  EXPECT_EQ(b, 0);
  EXPECT_EQ(c, 0);
  EXPECT_EQ(ParseNumberChain("0-1", &a, &b, &c), 0);
  EXPECT_EQ(ParseNumberChain("1-0", &a, &b, &c), 0);
  EXPECT_EQ(ParseNumberChain("1-a", &a, &b, &c), 0);
  EXPECT_EQ(ParseNumberChain("", &a, &b, &c), 0);
  EXPECT_EQ(a, 12);

  EXPECT_EQ(IsNumberChain("1-2"), 1);
  EXPECT_EQ(IsNumberChain("1-2a"), 0);
  EXPECT_EQ(IsNumberChain("1 2"), 0);
  EXPECT_EQ(IsNumberChain(""), 0);
}

TEST(HexNotation, FormatAndParse) {
  char out[8];
  EXPECT_STREQ(FormatHexByte(out, 0x1AB), "$AB");
  EXPECT_STREQ(FormatHexByte(out, 5), "$05");
  EXPECT_STREQ(FormatHexShort(out, 0x12345), "$2345");
  EXPECT_STREQ(FormatHexShort(out, -1), "$FFFF");

  uint8_t b = 0;
  EXPECT_EQ(ParseHexByte("$ab", &b), 1);
  EXPECT_EQ(b, 0xAB);
  EXPECT_EQ(ParseHexByte(" $7 ", &b), 1);
  EXPECT_EQ(b, 7);
  EXPECT_EQ(ParseHexByte("$abc", &b), 0);
  EXPECT_EQ(ParseHexByte("$", &b), 0);
  EXPECT_EQ(ParseHexByte("ab", &b), 0);
  EXPECT_EQ(ParseHexByte("$G1", &b), 0);
  EXPECT_EQ(b, 7);
  uint16_t s = 0;
  EXPECT_EQ(ParseHexShort("$FFFF", &s), 1);
  EXPECT_EQ(s, 0xFFFF);
  EXPECT_EQ(ParseHexShort("$10000", &s), 0);
  int32_t i = 0;
  EXPECT_EQ(ParseHexInt("$FFFFFFFF", &i), 1);
  EXPECT_EQ(i, -1);
  EXPECT_EQ(ParseHexInt("$7fffffff", &i), 1);
  EXPECT_EQ(i, INT32_MAX);
  EXPECT_EQ(ParseHexInt("$123456789", &i), 0);
}

TEST(TimeTexts, ColonAndDashForms) {
  int32_t sec = -1;
  EXPECT_EQ(ParseTimeText("1:02:03", &sec), 1);
  EXPECT_EQ(sec, 3723);
  EXPECT_EQ(ParseTimeText("1:2", &sec), 0);
  EXPECT_EQ(ParseTimeText("1:2:3:4", &sec), 0);
  EXPECT_EQ(ParseTimeText("a:1:2", &sec), 0);
  EXPECT_EQ(ParseTimeText("-1:0:0", &sec), 0);
  EXPECT_EQ(sec, 3723);

  double d = 0;
  EXPECT_EQ(ParseDashTime("1-2-3", &d), 1);
  EXPECT_DOUBLE_EQ(d, 3723.0);
  EXPECT_EQ(ParseDashTime("0.5-0-0", &d), 1);
  EXPECT_DOUBLE_EQ(d, 1800.0);
  EXPECT_EQ(ParseDashTime("1-2", &d), 0);
  double a = 0, b = 0;
  EXPECT_EQ(ParseDashTimePair("1-0-0,0-1-0", &a, &b), 1);
  EXPECT_DOUBLE_EQ(a, 3600.0);
  EXPECT_DOUBLE_EQ(b, 60.0);
  EXPECT_EQ(ParseDashTimePair("1-0-0", &a, &b), 0);
}

TEST(ParseTimeText, RefusesTotalsBeyond32BitsInsteadOfOverflowing) {
  int32_t sec = -1;
  EXPECT_EQ(ParseTimeText("596523:14:07", &sec), 1);
  EXPECT_EQ(sec, INT32_MAX);
  EXPECT_EQ(ParseTimeText("596523:14:08", &sec), 0);
  EXPECT_EQ(ParseTimeText("2147483647:2147483647:2147483647", &sec), 0);
  EXPECT_EQ(sec, INT32_MAX);
}

TEST(YearToEraCode, Eras) {
  struct Case {
    int32_t year;
    const char* code;
  } cases[] = {{1989, "H01"}, {1988, "S63"}, {2087, "H99"}, {2088, nullptr}, {1926, "S01"},
               {1925, "T14"}, {1912, "T01"}, {1911, "M44"}, {1868, "M01"},   {1867, nullptr}};
  for (const Case& c : cases) {
    char out[8] = "x";
    const char* r = YearToEraCode(out, c.year);
    if (c.code) {
      EXPECT_EQ(r, out) << c.year;
      EXPECT_STREQ(out, c.code) << c.year;
    } else {
      EXPECT_EQ(r, nullptr) << c.year;
      EXPECT_STREQ(out, "x") << c.year;
    }
  }
}
