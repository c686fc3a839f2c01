#include "common/char_class.h"

#include <gtest/gtest.h>

#include "common/keyword_table.h"
#include "common/tokenizer.h"

namespace {

TEST(CharClass, ClassOfEachKindOfCharacter) {
  EXPECT_EQ(GetCharClass("あ"), kClassHiragana);
  EXPECT_EQ(GetCharClass("ア"), kClassKatakana);
  EXPECT_EQ(GetCharClass("亜"), kClassLevel1Kanji);
  EXPECT_EQ(GetCharClass("　"), kClassNonKanji);  // 0x8140 lies before the symbols
  EXPECT_EQ(GetCharClass("ｱ"), kClassHalfWidthKana);
  EXPECT_EQ(GetCharClass("5"), kClassAsciiDigit);
  EXPECT_EQ(GetCharClass("５"), kClassFullWidthDigit);
  EXPECT_EQ(GetCharClass("ａ"), kClassFullWidthLower);
  EXPECT_EQ(GetCharClass("Ａ"), kClassFullWidthUpper);
  EXPECT_EQ(GetCharClass("、"), kClassFullWidthSymbol);
  EXPECT_EQ(GetCharClass("弌"), kClassLevel2Kanji);  // 0x989F
  EXPECT_EQ(GetCharClass("\xED\x40"), kClassOtherDoubleByte);
  EXPECT_EQ(GetCharClass("a"), kClassAsciiLower);
  EXPECT_EQ(GetCharClass("Z"), kClassAsciiUpper);
  EXPECT_EQ(GetCharClass("~"), kClassAsciiPunctuation);
  EXPECT_EQ(GetCharClass("\t"), kClassControl);
  EXPECT_EQ(GetCharClass("\x7F"), kClassControl);
  EXPECT_EQ(GetCharClass(" "), kClassSpace);
  EXPECT_EQ(GetCharClass(""), 0);
  EXPECT_EQ(GetCharClass("\x80"), 0);
  EXPECT_EQ(GetCharClass("\xA0"), 0);
  EXPECT_EQ(GetCharClass("\x82"), 0);  // a lead byte before the NUL
  EXPECT_EQ(GetCharClass(nullptr), 0);
}

TEST(CharClass, CodeRangesAndTheirEnds) {
  EXPECT_EQ(IsHalfWidthKanaByte(0xA1), 1);
  EXPECT_EQ(IsHalfWidthKanaByte(0xDF), 1);
  EXPECT_EQ(IsHalfWidthKanaByte(0xA0), 0);
  EXPECT_EQ(IsHalfWidthKanaByte(0xE0), 0);
  EXPECT_EQ(IsFullWidthLetterCode(0x8260), 1);
  EXPECT_EQ(IsFullWidthLetterCode(0x829A), 1);
  EXPECT_EQ(IsFullWidthLetterCode(0x827A), 0);
  EXPECT_EQ(IsFullWidthSymbolCode(0x8140), 0);
  EXPECT_EQ(IsFullWidthSymbolCode(0x81AC), 1);
  EXPECT_EQ(IsFullWidthSymbolCode(0x877E), 1);
  EXPECT_EQ(IsFullWidthSymbolCode(0x877F), 0);
  EXPECT_EQ(IsKatakanaCode(0x8396), 1);
  EXPECT_EQ(IsKatakanaCode(0x8397), 0);
  EXPECT_EQ(IsNonKanjiCode(0x889E), 1);
  EXPECT_EQ(IsLevel1KanjiCode(0x889F), 1);
  EXPECT_EQ(IsLevel1KanjiCode(0x9873), 0);
  EXPECT_EQ(IsLevel2KanjiCode(0xEAA4), 1);
  EXPECT_EQ(IsLevel2KanjiCode(0xEAA5), 0);
  // JIS kanji: the cut first and last rows of each level.
  EXPECT_EQ(IsJisKanjiCode(0x889E), 0);
  EXPECT_EQ(IsJisKanjiCode(0x889F), 1);
  EXPECT_EQ(IsJisKanjiCode(0x9872), 1);
  EXPECT_EQ(IsJisKanjiCode(0x9873), 0);
  EXPECT_EQ(IsJisKanjiCode(0x989F), 1);
  EXPECT_EQ(IsJisKanjiCode(0x897F), 0);
  EXPECT_EQ(IsJisKanjiCode(0x8980), 1);
  EXPECT_EQ(IsJisKanjiCode(0xEAA4), 1);
  EXPECT_EQ(IsJisKanjiCode(0xEAA5), 0);
  EXPECT_EQ(IsJisKanjiCode(0xEB40), 0);
  EXPECT_EQ(IsJisKanjiCode(0x8740), 0);
  // The pointer forms look at whole double-byte characters only.
  EXPECT_EQ(IsFullWidthUpperAt("Ｚ"), 1);
  EXPECT_EQ(IsFullWidthLowerAt("ｚ"), 1);
  EXPECT_EQ(IsFullWidthLetterAt("a"), 0);
  EXPECT_EQ(IsFullWidthSymbolAt("＋"), 1);
  EXPECT_EQ(IsNonKanjiAt("あ"), 1);
  EXPECT_EQ(IsLevel1KanjiAt("亜"), 1);
  EXPECT_EQ(IsLevel2KanjiAt("亜"), 0);
  EXPECT_EQ(IsLevel1KanjiAt("\x88"), 0);
}

TEST(CharClass, TextsAgainstMasks) {
  EXPECT_EQ(IsStringOfCharClasses("ｱｲ", kMaskKana), 1);
  EXPECT_EQ(IsStringOfCharClasses("ABC", kMaskUpper), 1);
  EXPECT_EQ(IsStringOfCharClasses("ABC", kMaskLower), 0);
  EXPECT_EQ(IsStringOfCharClasses("アイ", kMaskKana), 1);
  EXPECT_EQ(IsStringOfCharClasses("", 0), 1);
  EXPECT_EQ(IsStringOfCharClasses("", kMaskKana), 1);
  EXPECT_EQ(IsStringOfCharClasses("あいう", kMaskHiragana), 1);
  EXPECT_EQ(IsStringOfCharClasses("あア", kMaskHiragana), 0);
  EXPECT_EQ(IsStringOfCharClasses("あア", kMaskHiragana | kMaskKana), 1);
  EXPECT_EQ(IsStringOfCharClasses("１ａＢ＋", kMaskDigit | kMaskLower | kMaskUpper | kMaskSymbol),
            1);
  EXPECT_EQ(IsStringOfCharClasses("漢字", kMaskAnyDoubleByte), 1);
  EXPECT_EQ(IsStringOfCharClasses("漢字a", kMaskAnyDoubleByte), 0);
  EXPECT_EQ(IsStringOfCharClasses("a b~", kMaskAnyAscii), 1);
  EXPECT_EQ(IsStringOfCharClasses("a b", kMaskLower | kMaskSymbol), 0);  // the blank is no sign
  EXPECT_EQ(IsStringOfCharClasses("ｱ", kMaskAnyAscii), 0);
  EXPECT_EQ(IsStringOfCharClasses("\t", kMaskAnyAscii | kMaskAnyDoubleByte), 0);
  // The extended bits.
  EXPECT_EQ(IsStringOfCharClassesEx("a\tb", kMaskLower | kMaskAnySingleByte, nullptr, nullptr), 1);
  EXPECT_EQ(IsStringOfCharClassesEx("a\nb", kMaskLower | kMaskOtherSingleByte, nullptr, nullptr),
            0);
  EXPECT_EQ(IsStringOfCharClassesEx("a\tb", kMaskLower, nullptr, nullptr), 0);
  int calls = 0;
  auto onlyKanji = [](const char* p, void* arg) {
    ++*static_cast<int*>(arg);
    return GetCharClass(p) == kClassLevel1Kanji ? 1 : 0;
  };
  EXPECT_EQ(IsStringOfCharClassesEx("a亜b", kMaskLower | kMaskCallback, &calls, onlyKanji), 1);
  EXPECT_EQ(calls, 1);  // only the character the classes did not pass
  EXPECT_EQ(IsStringOfCharClassesEx("a亜b", kMaskLower, &calls, onlyKanji), 0);
  EXPECT_EQ(IsStringOfCharClassesEx("aあ", kMaskLower | kMaskCallback, &calls, onlyKanji), 0);
}

TEST(CharClass, TextShapes) {
  EXPECT_EQ(IsDigitsOnly("0123", 1, 4), 1);
  EXPECT_EQ(IsDigitsOnly("0123", 1, 3), 0);
  EXPECT_EQ(IsDigitsOnly("", 0, 3), 1);
  EXPECT_EQ(IsDigitsOnly("", 1, 3), 0);
  EXPECT_EQ(IsDigitsOnly("１", 0, 9), 0);
  EXPECT_EQ(IsHalfKanaOnly("ｱｲ", 2, 2), 1);
  EXPECT_EQ(IsHalfKanaOnly("ｱa", 0, 9), 0);
  EXPECT_EQ(IsDoubleByteOnly("漢字", 4, 4), 1);
  EXPECT_EQ(IsDoubleByteOnly("漢a", 0, 9), 0);
  EXPECT_EQ(IsDoubleByteOnly("\x82", 0, 9), 0);
  EXPECT_EQ(IsAlnumOnly("aZ09", 0, 9), 1);
  EXPECT_EQ(IsAlnumOnly("a-1", 0, 9), 0);
  EXPECT_EQ(IsAlnumOnly("Ａ", 0, 9), 0);
  EXPECT_EQ(IsTenDigits("0123456789"), 1);
  EXPECT_EQ(IsTenDigits("012345678"), 0);
  EXPECT_EQ(IsTenDigits("012345678a"), 0);
  EXPECT_EQ(ConsistsOnlyOf("abba", "ab"), 1);
  EXPECT_EQ(ConsistsOnlyOf("abc", "ab"), 0);
  EXPECT_EQ(ConsistsOnlyOf("", "ab"), 1);
  EXPECT_EQ(ConsistsOnlyOf("表表", "表"), 1);
  // Whole characters: the trail byte 0x5C of 表 is no backslash.
  EXPECT_EQ(ConsistsOnlyOf("\\", "表"), 0);
  EXPECT_EQ(ConsistsOnlyOf("表", "\x95\\"), 1);
  EXPECT_EQ(ConsistsOnlyOf("表", "\\\x95"), 0);
  EXPECT_EQ(IsBracketOrDash("「"), 1);
  EXPECT_EQ(IsBracketOrDash("a"), 0);
  for (const char* c : {"ー", "－", "～", "≫", "『", "(", "-", "}", "｢", "｣"})
    EXPECT_EQ(IsBracketOrDash(c), 1) << c;
  for (const char* c : {"ア", "+", "", "\x81"}) EXPECT_EQ(IsBracketOrDash(c), 0) << c;
}

constexpr KeywordTableRow kTable[] = {{"ALL", 1, 0}, {"KANA", 2, 1}, {"NUM", 4, 0}};

TEST(KeywordTable, WordsBecomeFlags) {
  int32_t flags = -1;
  char matched[CTokenizer::kTextSize];
  EXPECT_EQ(ParseKeywordFlags("all|kana1", &flags, matched, kTable, 3), 1);
  EXPECT_EQ(flags, 3);
  EXPECT_STREQ(matched, "KANA1");
  EXPECT_EQ(ParseKeywordFlags("||num||Kanax|ALL", &flags, matched, kTable, 3), 1);
  EXPECT_EQ(flags, 7);
  EXPECT_STREQ(matched, "KANAX");  // the whole-word rows upper-cased it first
  EXPECT_EQ(ParseKeywordFlags("all|bad", &flags, nullptr, kTable, 3), 0);
  EXPECT_EQ(ParseKeywordFlags("", &flags, matched, kTable, 3), 1);
  EXPECT_EQ(flags, 0);
  EXPECT_STREQ(matched, "");
}

TEST(KeywordTable, LookupUpperCasesTheWordInPlace) {
  char word[] = "num";
  int32_t value = -1;
  char matched[16] = "x";
  EXPECT_EQ(LookupKeyword(word, &value, matched, kTable, 3), 1);
  EXPECT_EQ(value, 4);
  EXPECT_STREQ(matched, "");
  EXPECT_STREQ(word, "NUM");
  char prefixOnly[] = "kan";  // shorter than the prefix name
  EXPECT_EQ(LookupKeyword(prefixOnly, &value, matched, kTable, 3), 0);
  EXPECT_EQ(value, 0);
  char first[] = "kana";
  EXPECT_EQ(LookupKeyword(first, &value, matched, kTable + 1, 1), 1);
  EXPECT_STREQ(matched, "kana");  // no whole-word row before it: as given
}

}  // namespace
