#include "common/kanji_numeral.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "support/test_util.h"

using testutil::Show;

namespace {

// A heap copy of exactly strlen + 1 bytes, so that the sanitizer sees any
// read past the terminator.
std::unique_ptr<char[]> Exact(const std::string& s) {
  auto p = std::make_unique<char[]>(s.size() + 1);
  std::memcpy(p.get(), s.c_str(), s.size() + 1);
  return p;
}

std::string ToDigits(const std::string& text) {
  auto in = Exact(text);
  std::vector<char> out(kNumeralWorkArea, 'x');
  return KanjiNumeralsToDigits(in.get(), out.data());
}

std::string ToKanji(const std::string& text) {
  auto in = Exact(text);
  std::vector<char> out(kNumeralWorkArea, 'x');
  return KanjiNumeralsToKanji(in.get(), out.data());
}

std::string Kanji(int32_t v) {
  char buf[64];
  return IntToKanjiNumeral(buf, v);
}

}  // namespace

TEST(KanjiDigitValue, DigitsUnitsAndOthers) {
  struct Case {
    const char* text;
    int value;
  } cases[] = {
      {"０", 0},    {"９", 9},     {"一", 1},         {"九", 9},  {"十", 10}, {"百", 100},
      {"千", 1000}, {"万", 10000}, {"億", 100000000}, {"〇", 0},  {"零", 0},  {"壱", 1},
      {"弐", 2},    {"参", 3},     {"伍", 5},         {"兆", -1}, {"5", -1},  {"ｲ", -1},
      {"あ", -1},   {"", -1},      {"\x88", -1},  // a lead byte before the NUL
  };
  for (const Case& c : cases) EXPECT_EQ(KanjiDigitValue(c.text), c.value) << Show(c.text);
  EXPECT_EQ(KanjiDigitValue(nullptr), -1);
}

TEST(KanjiDigitValue, NoOtherCodeReadsAsANumeral) {
  // The thirty listed characters, each once, over every two-byte code.
  int numerals = 0;
  int sum = 0;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      const char code[3] = {static_cast<char>(lead), static_cast<char>(trail), '\0'};
      const int v = KanjiDigitValue(code);
      if (v < 0) continue;
      ++numerals;
      sum += v % 100000000;
    }
  }
  EXPECT_EQ(numerals, 30);
  // 0-9 twice, 十 百 千 万 億 (億 as 0 here), 〇 零 壱 弐 参 伍.
  EXPECT_EQ(sum, 45 + 45 + 10 + 100 + 1000 + 10000 + 0 + 0 + 1 + 2 + 3 + 5);
}

// The listed codes are exactly the characters that read as numerals, each
// once, ascending: over every lead and trail byte there is.
TEST(KanjiDigitValue, TheListedCodesAreTheNumerals) {
  const std::span<const uint16_t> codes = KanjiNumeralCodes();
  EXPECT_EQ(codes.size(), 30u);
  EXPECT_TRUE(std::is_sorted(codes.begin(), codes.end()));
  EXPECT_EQ(std::adjacent_find(codes.begin(), codes.end()), codes.end());
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    for (int trail = 0x01; trail <= 0xFF; ++trail) {
      const char text[3] = {static_cast<char>(lead), static_cast<char>(trail), '\0'};
      const auto code = static_cast<uint16_t>(lead << 8 | trail);
      EXPECT_EQ(KanjiDigitValue(text) >= 0, std::binary_search(codes.begin(), codes.end(), code))
          << Show(text);
    }
  }
}

TEST(KanjiNumeralToInt, ReadsUnitsAndDigits) {
  struct Case {
    const char* text;
    int32_t value;
  } cases[] = {
      {"十", 10},      {"十二", 12},       {"二十", 20},        {"百二十三", 123},
      {"千百", 1100},  {"百千", -1},       {"二万三千", 23000}, {"二〇二三", 2023},
      {"１２", 12},    {"12", 12},         {"十万", -1},        {"二十万", -1},
      {"一万", 10000}, {"三億五千万", -1}, {"参拾", -1},        {"壱万弐千", 12000},
      {"零", 0},       {"十a", -1},        {"丁目", -1},        {"九億九千", 900009000},
  };
  for (const Case& c : cases) EXPECT_EQ(KanjiNumeralToInt(c.text), c.value) << Show(c.text);
  EXPECT_EQ(KanjiNumeralToInt(nullptr), -1);
}

TEST(KanjiNumeralToInt, RefusesValuesBeyond32BitsInsteadOfOverflowing) {
  EXPECT_EQ(KanjiNumeralToInt("２１４７４８３６４７"), 2147483647);
  EXPECT_EQ(KanjiNumeralToInt("２１４７４８３６４８"), -1);
  EXPECT_EQ(KanjiNumeralToInt("０３１２３４５６７８９"), -1);
  EXPECT_EQ(KanjiNumeralToInt("99999999999999999999999999"), -1);
  // Leading zeros of any length keep the value.
  EXPECT_EQ(KanjiNumeralToInt("0000000000000000000000000007"), 7);
}

TEST(KanjiNumeralsToDigits, RewritesReadableRuns) {
  EXPECT_EQ(Show(ToDigits("二十三番地")), Show("２３番地"));
  EXPECT_EQ(Show(ToDigits("十万円")), Show("十万円"));
  EXPECT_EQ(Show(ToDigits("三丁目5-12")), Show("３丁目５－１２"));
  EXPECT_EQ(Show(ToDigits("百")), Show("１００"));
  EXPECT_EQ(Show(ToDigits("０１")), Show("１"));
  EXPECT_EQ(ToDigits(""), "");
  EXPECT_EQ(Show(NumeralsToDigits("千百番", std::vector<char>(64).data())), Show("１１００番"));
}

TEST(KanjiNumeralsToDigits, StraySingleBytesAreNonNumeralsAndNothingReadsPastTheText) {
  // Bytes that the full-width conversion leaves as single bytes.
  const std::string cases[][2] = {
      {"1･2", "１･２"},     {"三｡四", "３｡４"},   {"｢五｣", "｢５｣"},
      {"ﾞ十", "ﾞ１０"},     {"六\t七", "６\t７"}, {"八\x7f", "８\x7f"},
      {"九\x80", "９\x80"}, {"二\xa0", "２\xa0"}, {"十\x88", "１０\x88"},
  };
  for (const auto& c : cases) EXPECT_EQ(Show(ToDigits(c[0])), Show(c[1])) << Show(c[0]);
  EXPECT_EQ(Show(ToKanji("1･2")), Show("一･二"));
  EXPECT_EQ(Show(ToKanji("十\x88")), Show("十\x88"));
}

TEST(KanjiNumeralsToDigits, RefusesResultsThatDoNotFit) {
  char out[8];
  std::memset(out, 'x', sizeof out);
  // "１００" needs 7 bytes with its NUL: fits 7, not 6.
  EXPECT_STREQ(KanjiNumeralsToDigits("百", out, 7), "１００");
  EXPECT_STREQ(KanjiNumeralsToDigits("百", out, 6), "");
  // A result of the work area's size is refused without a size.
  const std::string big(kNumeralWorkArea, 'a');
  std::vector<char> buf(2 * kNumeralWorkArea + 1, 'x');
  EXPECT_STREQ(KanjiNumeralsToDigits(big.c_str(), buf.data()), "");
}

TEST(KanjiNumeralsToKanji, WritesRunsBackInKanji) {
  EXPECT_EQ(Show(ToKanji("１２３番地")), Show("百二十三番地"));
  EXPECT_EQ(Show(ToKanji("二〇二三年")), Show("二千二十三年"));
  EXPECT_EQ(Show(ToKanji("十万円")), Show("十万円"));
  EXPECT_EQ(Show(ToKanji("10")), Show("十"));
  EXPECT_EQ(Show(NumeralsToKanji("０", std::vector<char>(64).data())), Show("〇"));
}

TEST(TrailingNumeral, RewritesOnlyTheTrailingRun) {
  char out[256];
  EXPECT_EQ(Show(TrailingNumeralToDigits("三丁目二十三", out)), Show("三丁目２３"));
  // The run stops where the kind changes: only "三" is the trailing run.
  EXPECT_EQ(Show(TrailingNumeralToDigits("１２三", out)), Show("１２３"));
  EXPECT_EQ(Show(TrailingNumeralToDigits("北２三", out)), Show("北２３"));
  EXPECT_EQ(Show(TrailingNumeralToDigits("二十三ab", out)), Show("二十三ab"));
  // The head stays as it was (half-width).
  EXPECT_EQ(Show(TrailingNumeralToDigits("ab十", out)), Show("ab１０"));
  // The kanji form takes a run of any kind.
  EXPECT_EQ(Show(TrailingNumeralToKanji("北１２三", out)), Show("北百二十三"));
  EXPECT_EQ(Show(TrailingNumeralToKanji("北", out)), Show("北"));
}

TEST(IntToKanjiNumeral, GroupsAndUnits) {
  EXPECT_EQ(Show(Kanji(10)), Show("十"));
  EXPECT_EQ(Show(Kanji(1100)), Show("千百"));
  EXPECT_EQ(Show(Kanji(20003)), Show("二万三"));
  EXPECT_EQ(Show(Kanji(-5)), Show("－五"));
  EXPECT_EQ(Show(Kanji(0)), Show("〇"));
  EXPECT_EQ(Show(Kanji(10000)), Show("一万"));
  EXPECT_EQ(Show(Kanji(100000000)), Show("一億"));
  EXPECT_EQ(Show(Kanji(2147483647)), Show("二十一億四千七百四十八万三千六百四十七"));
  EXPECT_EQ(Show(Kanji(2222)), Show("二千二百二十二"));
}

TEST(IntToKanjiNumeral, WritesTheMostNegativeValue) {
  EXPECT_EQ(Show(Kanji(INT32_MIN)), Show("－二十一億四千七百四十八万三千六百四十八"));
}

TEST(DigitConversions, TablesAndMappings) {
  char out[8];
  EXPECT_STREQ(DigitToKanji(out, 0), "〇");
  EXPECT_STREQ(DigitToKanji(out, 7), "七");
  EXPECT_STREQ(DigitToKanji(out, 10), "");
  EXPECT_STREQ(DigitToKanji(out, -1), "");

  char text[] = "十１あ";
  EXPECT_EQ(KanjiDigitToFullWidthDigitAt(text), 1);  // 十 pairs with ０
  EXPECT_EQ(FullWidthDigitToKanjiDigitAt(text + 2), 1);
  EXPECT_EQ(FullWidthDigitToKanjiDigitAt(text + 4), 0);
  EXPECT_STREQ(text, "０一あ");

  EXPECT_STREQ(AsciiDigitToKanji(out, '0'), "○");
  EXPECT_STREQ(AsciiDigitToKanji(out, '.'), "、");
  EXPECT_STREQ(AsciiDigitToKanji(out, 'a'), "a");
  char digits[64] = "-10.5あ";
  EXPECT_STREQ(AsciiDigitsToKanji(digits), "-一○、五あ");
  char kanji[64] = "一〇・五、あ";
  EXPECT_STREQ(KanjiDigitsToAscii(kanji), "10.5.あ");
  EXPECT_STREQ(KanjiDigitToAscii(out, "九"), "9");
  EXPECT_STREQ(KanjiDigitToAscii(out, "あ"), "あ");
  EXPECT_STREQ(IntToKanjiDigits(-205, out), "-二○五");
  char d[64];
  EXPECT_STREQ(DoubleToKanjiDigits(3.25, 8, 2, d), "三、二五");
}

TEST(NumberReading, ReadsDigitsWithSoundChanges) {
  struct Case {
    const char* text;
    const char* reading;
  } cases[] = {
      {"625", "ﾛｯﾋﾟｬｸﾆｼﾞｭｳｺﾞ"},
      {"1.5", "ｲﾁﾃﾝｺﾞｳ"},
      {"1", "ｲﾁ"},
      {"11", "ｼﾞｭｳｲﾁ"},
      {"300", "ｻﾝﾋﾞｬｸ"},
      {"800", "ﾊｯﾋﾟｬｸ"},
      {"3000", "ｻﾝｾﾞﾝ"},
      {"1000", "ｾﾝ"},
      {"10000", "ｲﾁﾏﾝ"},
      {"105", "ﾋｬｸｺﾞ"},
      {"100000000", "ｲﾁｵｸ"},
      {"1000000000000", "ｲｯﾁｮｳ"},
      {"10000000000000", "ｼﾞｭｯﾁｮｳ"},
      {"80000000000000000", "ﾊｯｹｲ"},
      {"0.02", "ﾃﾝｾﾞﾛﾆｲ"},
      {"12a", "12a"},
      {"1234567890123456789012345", "1234567890123456789012345"},
  };
  for (const Case& c : cases) {
    char buf[256];
    std::strcpy(buf, c.text);
    EXPECT_EQ(Show(NumberReading(buf)), Show(c.reading)) << c.text;
  }
}

TEST(NumberReadingsInText, ReplacesEveryRunAndEndsOnUnreadableRuns) {
  char text[512] = "A12あ3";
  EXPECT_EQ(Show(NumberReadingsInText(text)), Show("Aｼﾞｭｳﾆあｻﾝ"));
  // A run too long to read stays and the rewriting still ends.
  char longRun[512] = "x1234567890123456789012345y6";
  EXPECT_EQ(Show(NumberReadingsInText(longRun)), Show("x1234567890123456789012345yﾛｸ"));
}
