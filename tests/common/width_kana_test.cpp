#include "common/width_kana.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "common/sjis_text.h"
#include "plat/cp932.h"
#include "support/test_util.h"

using testutil::Show;

namespace {

// Runs an in-place conversion on a copy in a buffer with room to grow.
template <typename Fn>
std::string Conv(const std::string& text, Fn fn) {
  std::vector<char> buf(2 * text.size() + 64, '\0');
  std::memcpy(buf.data(), text.c_str(), text.size() + 1);
  fn(buf.data());
  return std::string(buf.data());
}

std::string Conv(const std::string& text, char* (*fn)(char*)) {
  return Conv<char* (*)(char*)>(text, fn);
}

char16_t Unicode(const char* cp932) {
  std::u16string u;
  if (!plat::cp932::ToUtf16(cp932, u) || u.size() != 1) return 0;
  return u[0];
}

std::string CodeText(uint16_t code) {
  char out[3];
  return CharCodeToString(code, out);
}

}  // namespace

// Checks every row against the Unicode full-width block (the code page's own
// forms for the quote signs, yen, overline and the kana comma).
TEST(WidthTables, AsciiRowsAreTheFullWidthForms) {
  std::set<int> halves;
  for (const auto& row : AsciiWidthTable) {
    ASSERT_EQ(std::strlen(row[0]), 1u);
    ASSERT_EQ(std::strlen(row[1]), 2u) << row[0];
    const unsigned char h = static_cast<unsigned char>(row[0][0]);
    halves.insert(h);
    char16_t expected;
    switch (h) {
      case ' ':
        expected = 0x3000;
        break;
      case '"':
        expected = 0x201D;
        break;
      case '\'':
        expected = 0x2019;
        break;
      case '\\':
        expected = 0xFFE5;
        break;
      case '~':
        expected = 0xFFE3;
        break;
      case 0xA4:
        expected = 0x3001;
        break;
      default:
        expected = static_cast<char16_t>(0xFF01 + (h - 0x21));
    }
    EXPECT_EQ(Unicode(row[1]), expected) << Show(row[0]);
  }
  EXPECT_EQ(halves.size(), 95u);
  EXPECT_EQ(halves.count('`'), 0u);
  EXPECT_EQ(halves.count(0xA4), 1u);
  for (int c = 0x20; c <= 0x7E; ++c) {
    if (c == '`') continue;
    EXPECT_EQ(halves.count(c), 1u) << c;
  }
  EXPECT_STREQ(AsciiWidthTable[0][0], " ");
  EXPECT_STREQ(AsciiWidthTable[32][0], "~");
}

TEST(WidthTables, LetterRows) {
  for (int i = 0; i < 52; ++i) {
    const char half = static_cast<char>(i < 26 ? 'A' + i : 'a' + i - 26);
    EXPECT_EQ(LetterWidthTable[i][0][0], half);
    EXPECT_EQ(Unicode(LetterWidthTable[i][1]), 0xFF21 + (half - 'A'));
  }
}

// The kana table and the katakana order table are written independently;
// each must agree with the other.
TEST(WidthTables, KanaRowsAgreeWithKatakanaOrderTable) {
  for (int i = 0; i < 26; ++i) ASSERT_EQ(std::strlen(KanaWidthTable[i][0]), 2u) << i;
  for (int i = 26; i < 81; ++i) ASSERT_EQ(std::strlen(KanaWidthTable[i][0]), 1u) << i;
  EXPECT_STREQ(KanaWidthTable[25][0], "ｳﾞ");
  EXPECT_STREQ(KanaWidthTable[81][1], "ー");
  EXPECT_STREQ(KanaWidthTable[82][0], "-");
  EXPECT_STREQ(KanaWidthTable[82][1], "－");
  for (int i = 0; i < 82; ++i) {
    const uint16_t full = GetCharCode(KanaWidthTable[i][1]);
    EXPECT_EQ(CodeText(FullWidthKatakanaCodeToHalf(full)), KanaWidthTable[i][0]) << i;
    if (i != 25) {  // ｳﾞ reads as two characters
      EXPECT_EQ(HalfKanaCodeToFullWidth(GetCharCode(KanaWidthTable[i][0])), full) << i;
    }
  }
}

TEST(WidthTables, KatakanaOrderTableRoundTrips) {
  int blanks = 0;
  for (uint16_t code = 0x8340; code <= 0x8393; ++code) {
    if (KatakanaOrderTable[code - 0x8340] == ' ') {
      ++blanks;
      EXPECT_EQ(FullWidthKatakanaCodeToHalf(code), code);
      continue;
    }
    EXPECT_EQ(HalfKanaCodeToFullWidth(FullWidthKatakanaCodeToHalf(code)), code) << std::hex << code;
  }
  EXPECT_EQ(blanks, 4);  // ヮ ヰ ヱ and 0x837F
  EXPECT_EQ(KatakanaOrderTable[0x838E - 0x8340], ' ');
}

TEST(WidthTables, HiraganaRowsFollowKanaRows) {
  ASSERT_EQ(GetHalfKanaHiraganaTableSize(), 80);
  ASSERT_EQ(GetHalfKanaHiraganaTable(), HalfKanaHiraganaTable);
  for (int i = 0; i < 80; ++i) {
    const HalfKanaHiraganaRow& row = HalfKanaHiraganaTable[i];
    EXPECT_EQ(row.flag, 1);
    EXPECT_EQ(std::strlen(row.halfKana), i < 25 ? 2u : 1u) << i;
    const char* katakana = nullptr;
    for (const auto& k : KanaWidthTable)
      if (std::strcmp(k[0], row.halfKana) == 0) katakana = k[1];
    ASSERT_NE(katakana, nullptr) << Show(row.halfKana);
    EXPECT_EQ(Conv(katakana, KatakanaToHiragana), row.hiragana) << Show(row.halfKana);
  }
  EXPECT_STREQ(HalfKanaHiraganaTable[16].halfKana, "ﾊﾟ");
  EXPECT_STREQ(HalfKanaHiraganaTable[79].hiragana, "ん");
}

TEST(TableConversion, FullAndHalfWidth) {
  struct Case {
    const char* text;
    char* (*fn)(char*);
    const char* expected;
  } cases[] = {
      {"ｶﾞｽ-1", ToFullWidth, "ガス－１"},
      {"ｶﾞｽ-1", ToFullWidthAsciiKana, "ガス－１"},
      {"ガス－１", ToHalfWidthAsciiKana, "ｶﾞｽ-1"},
      {"￥”Ａ１ア", ToHalfWidthAscii, "\\\"A1ア"},
      {"ー－ガ１", ToHalfWidthKana, "ｰ-ｶﾞ１"},
      {"ｳﾞｨ-a", ToFullWidthKana, "ヴィ－a"},
      {"~`", ToFullWidth, "￣`"},
      {"aZ1", ToFullWidthLetters, "ａＺ1"},
      {"ａＺ１", ToHalfWidthLetters, "aZ１"},
      {"がっこう", HiraganaToHalfKana, "ｶﾞｯｺｳ"},
      {"ｶﾞｯｺｳ", HalfKanaToHiragana, "がっこう"},
      {"ﾊﾟｰﾃｨｰ", HalfKanaToHiragana, "ぱｰてぃｰ"},
      {"ｧｯｮｱ", SmallHalfKanaToLarge, "ｱﾂﾖｱ"},
  };
  for (const Case& c : cases) EXPECT_EQ(Conv(c.text, c.fn), c.expected) << Show(c.text);
  EXPECT_EQ(Conv("ｶﾞｽ-1", ToFullWidth), "\x83\x4B\x83\x58\x81\x7C\x82\x50");
}

TEST(TableConversion, SkipsTextsAlreadyOfTheTargetKind) {
  // All single-byte: the half-width conversions leave the text alone.
  EXPECT_EQ(Conv("abc~", ToHalfWidthAscii), "abc~");
  // All double-byte: the full-width conversions leave the text alone.
  EXPECT_EQ(Conv("あ", ToFullWidth), "あ");
  EXPECT_EQ(Conv("", ToFullWidth), "");
}

TEST(TableConversion, RefusesResultsBeyondWorkAreaOrBuffer) {
  const std::string half(kReplaceWorkArea / 2, 'a');  // doubles to 2,048 bytes
  EXPECT_EQ(Conv(half, ToFullWidth), half);
  const std::string shorter(kReplaceWorkArea / 2 - 1, 'a');
  EXPECT_EQ(Conv(shorter, ToFullWidth).size(), 2 * shorter.size());

  char text[16] = "abcdefg";
  ToFullWidth(text, 14);  // 14 bytes + NUL do not fit
  EXPECT_STREQ(text, "abcdefg");
  ToFullWidth(text, 15);
  EXPECT_STREQ(text, "ａｂｃｄｅｆｇ");
  char kana[8] = "ｱｲｳｴ";
  HalfKanaToHiragana(kana, sizeof kana);
  EXPECT_STREQ(kana, "ｱｲｳｴ");
}

// The table conversions walk a text once where the table allows it; the
// answer is that of one replace-all per row in the row order.
TEST(TableConversion, OneWalkGivesWhatTheRowByRowPassesGive) {
  std::vector<std::string> alphabet = {"東", "あ", "ー", "\x82\x4F", "\xA5", "\x7F"};
  for (const auto* table : {AsciiWidthTable, LetterWidthTable})
    for (int i = 0; i < 52; ++i) alphabet.insert(alphabet.end(), {table[i][0], table[i][1]});
  for (int i = 52; i < 95; ++i)
    alphabet.insert(alphabet.end(), {AsciiWidthTable[i][0], AsciiWidthTable[i][1]});
  for (int i = 0; i < 83; ++i)
    alphabet.insert(alphabet.end(), {KanaWidthTable[i][0], KanaWidthTable[i][1]});
  for (int i = 0; i < 9; ++i) alphabet.push_back(SmallHalfKanaTable[i][0]);
  auto passes = [](std::string text,
                   std::initializer_list<std::pair<const char* const(*)[2], int>> tables,
                   bool reverse) {
    std::vector<char> buf(2 * text.size() + 64, '\0');
    std::memcpy(buf.data(), text.c_str(), text.size() + 1);
    for (const auto& [table, rows] : tables) {
      if (reverse) {
        ReplaceAllByTableReverse(buf.data(), table, rows);
      } else {
        ReplaceAllByTable(buf.data(), table, rows);
      }
    }
    return std::string(buf.data());
  };
  uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 8) % 65536; };
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const uint32_t length = next() % 12;
    for (uint32_t k = 0; k < length; ++k) text += alphabet[next() % alphabet.size()];
    if (next() % 8 == 0) text += "\x82";  // a lone lead byte at the end
    const bool mixed = GetCharWidthClass(text.c_str()) == 3;
    const auto ascii = std::make_pair(AsciiWidthTable, 95);
    const auto kana = std::make_pair(KanaWidthTable, 83);
    const auto letters = std::make_pair(LetterWidthTable, 52);
    const auto small = std::make_pair(SmallHalfKanaTable, 9);
    EXPECT_EQ(Conv(text, ToHalfWidthAscii), passes(text, {ascii}, true)) << Show(text);
    EXPECT_EQ(Conv(text, ToHalfWidthAsciiKana), passes(text, {ascii, kana}, true)) << Show(text);
    EXPECT_EQ(Conv(text, ToHalfWidthKana), passes(text, {kana}, true)) << Show(text);
    EXPECT_EQ(Conv(text, ToHalfWidthLetters), passes(text, {letters}, true)) << Show(text);
    EXPECT_EQ(Conv(text, SmallHalfKanaToLarge), passes(text, {small}, false)) << Show(text);
    if (mixed || GetCharWidthClass(text.c_str()) == 1) {
      EXPECT_EQ(Conv(text, ToFullWidth), passes(text, {ascii, kana}, false)) << Show(text);
      EXPECT_EQ(Conv(text, ToFullWidthLetters), passes(text, {letters}, false)) << Show(text);
    }
  }
}

TEST(TableConversion, AShrinkingTextAtTheWorkAreaIsRefusedLikeThePasses) {
  const std::string at = std::string(kReplaceWorkArea - 2, 'a') + "Ａ";  // 2,048 bytes
  EXPECT_EQ(Conv(at, ToHalfWidthAscii), at);
  const std::string below = std::string(kReplaceWorkArea - 3, 'a') + "Ａ";
  EXPECT_EQ(Conv(below, ToHalfWidthAscii), std::string(kReplaceWorkArea - 3, 'a') + "A");
  const std::string nothing = std::string(kReplaceWorkArea, 'a') + "東";
  EXPECT_EQ(Conv(nothing, ToHalfWidthAscii), nothing);
}

TEST(KanaArithmetic, HiraganaAndKatakana) {
  EXPECT_EQ(Conv("アンヴヵヶ", KatakanaToHiragana), "あんヴヵヶ");
  EXPECT_EQ(Conv("ゎみむa", HiraganaToKatakana), "ヮミムa");
  EXPECT_EQ(IsHiraganaAt("ぁ"), 1);
  EXPECT_EQ(IsHiraganaAt("ア"), 0);
  EXPECT_EQ(IsKatakanaAt("ヶ"), 1);
  EXPECT_EQ(IsKatakanaAt("ー"), 0);
  EXPECT_EQ(IsHiraganaCode(0x82F1), 1);
  EXPECT_EQ(IsHiraganaCode(0x82F2), 0);
  EXPECT_EQ(KatakanaCodeToHiragana(0x8340), 0x829F);
  EXPECT_EQ(KatakanaCodeToHiragana(0x8380), 0x82DE);
  EXPECT_EQ(KatakanaCodeToHiragana(0x8394), 0x8394);
  EXPECT_EQ(HiraganaCodeToKatakana(0x82DD), 0x837E);
  EXPECT_EQ(HiraganaCodeToKatakana(0x82F1), 0x8393);
}

TEST(KanaArithmetic, SmallAndLarge) {
  struct Case {
    const char* small;
    const char* large;
  } kata[] = {{"ァ", "ア"}, {"ッ", "ツ"}, {"ョ", "ヨ"}, {"ヮ", "ワ"}, {"ヵ", "カ"}, {"ヶ", "ケ"}},
    hira[] = {{"ぁ", "あ"}, {"っ", "つ"}, {"ゃ", "や"}, {"ゎ", "わ"}};
  for (const Case& c : kata) {
    EXPECT_EQ(SmallKatakanaCodeToLarge(GetCharCode(c.small)), GetCharCode(c.large))
        << Show(c.small);
    EXPECT_EQ(LargeKatakanaCodeToSmall(GetCharCode(c.large)), GetCharCode(c.small))
        << Show(c.large);
  }
  for (const Case& c : hira) {
    EXPECT_EQ(SmallHiraganaCodeToLarge(GetCharCode(c.small)), GetCharCode(c.large))
        << Show(c.small);
    EXPECT_EQ(LargeHiraganaCodeToSmall(GetCharCode(c.large)), GetCharCode(c.small))
        << Show(c.large);
  }
  EXPECT_EQ(LargeKatakanaCodeToSmall(GetCharCode("キ")), GetCharCode("キ"));
  EXPECT_EQ(SmallHalfKanaToLargeByte(0xA7), 0xB1);  // ｧ ｱ
  EXPECT_EQ(SmallHalfKanaToLargeByte(0xAC), 0xD4);  // ｬ ﾔ
  EXPECT_EQ(SmallHalfKanaToLargeByte(0xAF), 0xC2);  // ｯ ﾂ
  EXPECT_EQ(LargeHalfKanaToSmallByte(0xB5), 0xAB);
  EXPECT_EQ(LargeHalfKanaToSmallByte(0xD6), 0xAE);
  EXPECT_EQ(LargeHalfKanaToSmallByte(0xC2), 0xAF);
  EXPECT_EQ(SmallHalfKanaCodeToLarge(0xAF00), 0xC200);
  EXPECT_EQ(LargeHalfKanaCodeToSmall(0xC2DE), 0xC2DE);  // ﾂﾞ has no small form
  EXPECT_EQ(FullWidthLowerToUpperCode(GetCharCode("ｚ")), GetCharCode("Ｚ"));
  EXPECT_EQ(FullWidthUpperToLowerCode(GetCharCode("Ａ")), GetCharCode("ａ"));
}

TEST(CharCode, MakeReadAndWrite) {
  struct Case {
    int first, second;
    uint16_t code;
  } cases[] = {
      {0x82, 0xA0, 0x82A0}, {0xB6, 0xDE, 0xB6DE}, {0xC4, 0xDE, 0xC4DE},
      {0xCE, 0xDF, 0xCEDF}, {0xB3, 0xDE, 0xB300}, {0xB6, 0xDF, 0xB600},
      {0xC5, 0xDE, 0xC500}, {'a', 'b', 0x6100},   {0x81, 0x00, 0x8100},
  };
  for (const Case& c : cases)
    EXPECT_EQ(
        MakeCharCode(static_cast<unsigned char>(c.first), static_cast<unsigned char>(c.second)),
        c.code)
        << c.first << " " << c.second;

  uint16_t code = 0;
  const char* kana = "ｶﾞ";
  EXPECT_EQ(ReadCharCode(kana, &code), kana + 2);
  EXPECT_EQ(code, 0xB6DE);
  const char* vu = "ｳﾞ";
  EXPECT_EQ(ReadCharCode(vu, &code), vu + 1);
  EXPECT_EQ(code, 0xB300);
  const char* lone = "\x81";
  EXPECT_EQ(ReadCharCode(lone, &code), lone + 1);
  EXPECT_EQ(code, 0x8100);
  const char* empty = "";
  EXPECT_EQ(ReadCharCode(empty, &code), empty);
  EXPECT_EQ(GetCharCode(""), 0);

  EXPECT_EQ(CodeText(0xB6DE), "ｶﾞ");
  EXPECT_EQ(CodeText(0x4100), "A");
  EXPECT_EQ(CharCodeToStringChecked(0x4100, nullptr), nullptr);
  char out[3];
  EXPECT_STREQ(ByteToString('x', out), "x");
  EXPECT_EQ(StringToCharCode("あ"), 0x82A0);
  EXPECT_EQ(StringToCharCode("abc"), 0);
  EXPECT_EQ(StringToCharCode("a"), 0);
  EXPECT_EQ(IsFullWidthDigitAt("９"), 1);
  EXPECT_EQ(IsFullWidthDigitAt("9"), 0);
  EXPECT_EQ(IsFullWidthDigitCode(0x824F), 1);
}

TEST(CharCode, PerCodeWidthConversions) {
  EXPECT_EQ(HalfKanaCodeToFullWidth(0xB000), 0x815B);  // ｰ to ー
  EXPECT_EQ(HalfKanaCodeToFullWidth(0xB6DF), 0xB6DF);  // ｶ with ﾟ has no form
  EXPECT_EQ(HalfKanaCodeToFullWidth(0xDE00), 0xDE00);  // a lone ﾞ is a sign
  EXPECT_EQ(HalfKanaCodeToFullWidth(0xCADF), GetCharCode("パ"));
  EXPECT_EQ(FullWidthKatakanaCodeToHalf(0x8394), 0xB3DE);  // ヴ to ｳﾞ
  EXPECT_EQ(FullWidthKatakanaCodeToHalf(0x8395), 0x8395);  // ヵ unchanged
  EXPECT_EQ(FullWidthKatakanaCodeToHalf(0x815B), 0xB000);
  EXPECT_EQ(LetterCodeToFullWidth('q' << 8), GetCharCode("ｑ"));
  EXPECT_EQ(LetterCodeToFullWidth('1' << 8), '1' << 8);
  EXPECT_EQ(DigitCodeToFullWidth('7' << 8), GetCharCode("７"));
  EXPECT_EQ(FullWidthLetterCodeToHalf(GetCharCode("Ｑ")), 'Q' << 8);
  EXPECT_EQ(FullWidthDigitCodeToHalf(GetCharCode("０")), '0' << 8);

  // Every sign of the symbol ranges goes there and back.
  const int ranges[][2] = {{0x20, 0x2F}, {0x3A, 0x40}, {0x5B, 0x60}, {0x7B, 0x7E}, {0xA1, 0xA4}};
  int signs = 0;
  for (const auto& r : ranges) {
    for (int b = r[0]; b <= r[1]; ++b, ++signs) {
      const uint16_t full = SymbolCodeToFullWidth(static_cast<uint16_t>(b << 8));
      EXPECT_TRUE(IsLeadByte(static_cast<unsigned char>(full >> 8))) << b;
      EXPECT_EQ(FullWidthSymbolCodeToHalf(full), b << 8) << b;
    }
  }
  EXPECT_EQ(signs, 37);
  EXPECT_EQ(CodeText(SymbolCodeToFullWidth('~' << 8)), "～");
  EXPECT_EQ(CodeText(SymbolCodeToFullWidth('`' << 8)), "‘");
  EXPECT_EQ(CodeText(SymbolCodeToFullWidth('\\' << 8)), "￥");
  EXPECT_EQ(CodeText(SymbolCodeToFullWidth(0xA2 << 8)), "「");
  EXPECT_EQ(CodeText(SymbolCodeToFullWidth(0xDE << 8)), "゛");
  EXPECT_EQ(CodeText(SymbolCodeToFullWidth(0xDF << 8)), "゜");
  EXPECT_EQ(FullWidthSymbolCodeToHalf(GetCharCode("゛")), GetCharCode("゛"));  // not turned back
  EXPECT_EQ(FullWidthSymbolCodeToHalf(GetCharCode("ー")), GetCharCode("ー"));
}

TEST(CodeRewriters, EdgeCases) {
  struct Case {
    const char* text;
    char* (*fn)(char*);
    const char* expected;
  } cases[] = {
      {"ｳﾞ", ConvertToFullWidth, "ウ゛"},
      {"ﾊﾟ", ConvertToFullWidth, "パ"},
      {"~", ConvertToFullWidth, "～"},
      {"aZ5 ｶﾞ｢ﾞ漢", ConvertToFullWidth, "ａＺ５　ガ「゛漢"},
      {"ガ　ＡＢ１ヴー漢", ConvertToHalfWidth, "ｶﾞ AB1ｳﾞｰ漢"},
      {"ぁァｧａ", FoldToUpperLarge, "あアｱＡ"},
      {"ｶﾞｯz", FoldToUpperLarge, "ｶﾞﾂZ"},
      {"あアｱＡZ", FoldToLowerSmall, "ぁァｧａz"},
      {"ぁゃ", SmallHiraganaToLarge, "あや"},
      {"ヵッ", SmallKatakanaToLarge, "カツ"},
      {"ｶﾞｰa", HalfKanaToFullKatakana, "ガーa"},
      {"（Ａ）～", FullWidthSymbolsToHalf, "(Ａ)~"},
  };
  for (const Case& c : cases) EXPECT_EQ(Conv(c.text, c.fn), c.expected) << Show(c.text);
  EXPECT_EQ(Conv("~", ToFullWidth), "￣");
}

TEST(CodeRewriters, MapAndFlags) {
  EXPECT_EQ(Conv("ｱ1", [](char* t) { return MapCharCodes(t, DigitCodeToFullWidth); }), "ｱ１");
  EXPECT_EQ(Conv("ｶﾞa",
                 [](char* t) {
                   return ConvertByFlags(t, kConvertFullWidth | kConvertKatakanaToHiragana);
                 }),
            "がａ");
  EXPECT_EQ(Conv("ｶﾞa", [](char* t) { return ConvertByFlags(t, 0x01 | 0x04); }), "ガＡ");
  EXPECT_EQ(Conv("がｶ", [](char* t) { return ConvertByFlags(t, 0x10); }), "ガｶ");
  EXPECT_EQ(Conv("ＡＢ", [](char* t) { return ConvertByFlags(t, 0x02 | 0x08); }), "ab");
  EXPECT_EQ(Conv("abc", [](char* t) { return ConvertByFlags(t, 0); }), "abc");
}

TEST(CodeRewriters, RefuseGrowthBeyondWorkAreaOrBuffer) {
  const std::string text(600, '1');  // 1,200 bytes in full width
  EXPECT_EQ(Conv(text, ConvertToFullWidth), text);
  std::vector<char> buf(1201);
  std::memcpy(buf.data(), text.c_str(), text.size() + 1);
  ConvertToFullWidth(buf.data(), 1200);
  EXPECT_EQ(std::string(buf.data()), text);
  ConvertToFullWidth(buf.data(), 1201);
  EXPECT_EQ(std::strlen(buf.data()), 1200u);
  EXPECT_EQ(std::string(buf.data(), 2), "１");
  // A long text that does not grow is converted without a size.
  const std::string wide(800, 'a');
  const std::string full = Conv(wide, [](char* t) { return ConvertToFullWidth(t, 1601); });
  EXPECT_EQ(Conv(full, ConvertToHalfWidth), wide);
  char small[6] = "ｱｲｳ";
  HalfKanaToFullKatakana(small, sizeof small);
  EXPECT_STREQ(small, "ｱｲｳ");
  ConvertByFlags(small, kConvertFullWidth, sizeof small);
  EXPECT_STREQ(small, "ｱｲｳ");
}
