#include "common/sjis_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/width_kana.h"
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

// Runs an in-place function on a copy in a roomy buffer.
template <typename Fn>
std::string InPlace(const std::string& text, Fn fn, std::size_t room = 4096) {
  std::vector<char> buf(room + text.size() + 1, '\0');
  std::memcpy(buf.data(), text.c_str(), text.size() + 1);
  fn(buf.data());
  return std::string(buf.data());
}

}  // namespace

TEST(LeadByte, RangesAndPrintable) {
  struct Case {
    int byte;
    int lead;
  } cases[] = {{0x00, 0}, {0x7F, 0}, {0x80, 0}, {0x81, 1}, {0x9F, 1}, {0xA0, 0},
               {0xA1, 0}, {0xDF, 0}, {0xE0, 1}, {0xFC, 1}, {0xFD, 1}, {0xFF, 1}};
  for (const Case& c : cases)
    EXPECT_EQ(IsLeadByte(static_cast<unsigned char>(c.byte)), c.lead) << c.byte;
  EXPECT_EQ(IsPrintableAsciiByte(0x20), 1);
  EXPECT_EQ(IsPrintableAsciiByte(0x7E), 1);
  EXPECT_EQ(IsPrintableAsciiByte(0x7F), 0);
  EXPECT_EQ(IsPrintableAsciiByte(0x1F), 0);
}

TEST(CharCounting, CountsClassesAndPositions) {
  EXPECT_EQ(CountChars("aあｱ"), 3);
  int s = -1, d = -1;
  EXPECT_EQ(CountCharKinds("aあｱい", &s, &d), 4);
  EXPECT_EQ(s, 2);
  EXPECT_EQ(d, 2);
  EXPECT_EQ(GetCharWidthClass(""), 0);
  EXPECT_EQ(GetCharWidthClass("a"), 1);
  EXPECT_EQ(GetCharWidthClass("ab"), 1);
  EXPECT_EQ(GetCharWidthClass("あ"), 2);
  EXPECT_EQ(GetCharWidthClass("aあ"), 3);
  EXPECT_EQ(GetCharWidthClass("ｱい"), 3);

  const char* t = "aあb";
  EXPECT_EQ(GetCharPtr(t, 0), t);
  EXPECT_EQ(GetCharPtr(t, 3), t + 3);
  EXPECT_EQ(*GetCharPtr(t, 9), '\0');
  const char* two = "aあ";
  EXPECT_EQ(GetLastCharPtr(two), two + 1);
  const char* empty = "";
  EXPECT_EQ(GetLastCharPtr(empty), empty);
  EXPECT_EQ(GetCharBytePos(t, 2), 2);
  EXPECT_EQ(GetCharBytePos(t, 3), 4);
  EXPECT_EQ(GetCharBytePos(t, 4), -1);
  EXPECT_EQ(GetCharBytePos(t, 0), -1);

  char ch[3];
  EXPECT_EQ(GetCharAt(t, ch, 2), 4);
  EXPECT_EQ(std::string(ch), "あ");
  EXPECT_EQ(GetCharAt(t, ch, 4), 0);  // the last character: nothing follows
  EXPECT_EQ(std::string(ch), "b");
  EXPECT_EQ(GetCharAt(t, ch, 5), 0);
  EXPECT_EQ(std::string(ch), "");
  EXPECT_EQ(std::string(GetNthChar(ch, t, 2)), "あ");
  EXPECT_EQ(std::string(GetNthChar(ch, t, 4)), "");
  EXPECT_EQ(std::string(GetNthChar(ch, t, 0)), "");

  int lo = 0, hi = 0;
  GetByteValueRange("", &lo, &hi);
  EXPECT_EQ(lo, 255);
  EXPECT_EQ(hi, 0);
  GetByteValueRange("aあ", &lo, &hi);
  EXPECT_EQ(lo, 0x61);
  EXPECT_EQ(hi, 0xA0);
}

TEST(CommonPrefixLength, CountsWholeCharactersOnly) {
  EXPECT_EQ(CommonPrefixLength("abc", "abd"), 2);
  EXPECT_EQ(CommonPrefixLength("あい", "あう"), 2);
  // あ = 82 A0, ぃ = 82 A1: the first bytes agree, the character does not.
  EXPECT_EQ(CommonPrefixLength("あ", "ぃ"), 0);
  EXPECT_EQ(CommonPrefixLength("abc", "abc"), 3);
  EXPECT_EQ(CommonPrefixLength("", "abc"), 0);
}

TEST(EditByPosition, CopyDeleteInsertReplace) {
  char out[64];
  EXPECT_EQ(std::string(CopySubstring(out, "abc", 2, 10)), "bc");
  EXPECT_EQ(std::string(CopySubstring(out, "abc", 4, 1)), "");
  EXPECT_EQ(std::string(CopySubstring(out, "abc", 1, 0)), "");
  EXPECT_EQ(std::string(CopySubstring(out, "abc", 0, 2)), "");

  EXPECT_EQ(InPlace("abcdef", [](char* t) { DeleteSubstring(t, 3, 10); }), "ab");
  EXPECT_EQ(InPlace("abcdef", [](char* t) { DeleteSubstring(t, 2, 2); }), "adef");
  EXPECT_EQ(InPlace("abc", [](char* t) { DeleteSubstring(t, 4, 1); }), "abc");
  EXPECT_EQ(InPlace("abc", [](char* t) { DeleteSubstring(t, 0, 1); }), "abc");

  EXPECT_EQ(InPlace("ac", [](char* t) { InsertAtBytePos(t, "b", 2); }), "abc");
  EXPECT_EQ(InPlace("bc", [](char* t) { InsertAtBytePos(t, "a", 1); }), "abc");
  EXPECT_EQ(InPlace("ab", [](char* t) { InsertAtBytePos(t, "c", 3); }), "abc");
  EXPECT_EQ(InPlace("ab", [](char* t) { InsertAtBytePos(t, "c", 5); }), "ab");

  EXPECT_EQ(InPlace("aあb", [](char* t) { ReplaceCharAtBytePos(t, 2, "XY"); }), "aXYb");
  EXPECT_EQ(InPlace("ab", [](char* t) { ReplaceCharAtBytePos(t, 3, "X"); }), "ab");
  EXPECT_EQ(ReplaceCharAtBytePos(nullptr, 1, "X"), nullptr);
  EXPECT_EQ(InPlace("aあb", [](char* t) { DeleteCharAtBytePos(t, 2); }), "ab");
}

TEST(EditByPosition, CharacterWiseOperations) {
  char t[64] = "あいう";
  EXPECT_EQ(DeleteNthChar(t, 2), 1);
  EXPECT_EQ(std::string(t), "あう");
  EXPECT_EQ(DeleteNthChar(t, 3), 0);
  EXPECT_EQ(DeleteNthChar(t, 0), 0);
  EXPECT_EQ(InsertBeforeNthChar(t, 2, "い"), 1);
  EXPECT_EQ(std::string(t), "あいう");
  EXPECT_EQ(InsertBeforeNthChar(t, 4, "x"), 0);
  EXPECT_EQ(ReplaceNthChar(t, 3, "え"), 1);
  EXPECT_EQ(std::string(t), "あいえ");
  EXPECT_EQ(ReplaceNthChar(t, 1, "ab"), 0);  // not one character
  EXPECT_EQ(ReplaceNthChar(t, 1, ""), 0);
  EXPECT_EQ(DeleteFirstChar(t), 1);
  EXPECT_EQ(DeleteLastChar(t), 1);
  EXPECT_EQ(std::string(t), "い");
  EXPECT_EQ(std::string(RemoveLastChar(t)), "");
  EXPECT_EQ(DeleteFirstChar(t), 1);  // empty text: success, stays empty
  EXPECT_EQ(DeleteLastChar(t), 1);
  EXPECT_EQ(std::string(RemoveLastChar(t)), "");

  EXPECT_EQ(InPlace("aあb", [](char* s) { ReverseChars(s); }), "bあa");
  EXPECT_EQ(InPlace("abc", [](char* s) { RotateLeftByte(s); }), "bca");
  EXPECT_EQ(InPlace("abc", [](char* s) { RotateRightByte(s); }), "cab");
  EXPECT_EQ(InPlace("a", [](char* s) { RotateRightByte(s); }), "a");

  char head[64], tail[64];
  EXPECT_EQ(std::string(SplitAtChar("あい うえ", 3, head, tail)), "うえ");
  EXPECT_EQ(std::string(head), "あい");
  SplitAtBytePos("ab cd", 3, head, tail);
  EXPECT_EQ(std::string(head), "ab");
  EXPECT_EQ(std::string(tail), "cd");
  SplitAtChar("ab", 0, head, tail);
  EXPECT_EQ(std::string(head) + "|" + tail, "|");
  SplitAtChar("ab", 9, head, tail);
  EXPECT_EQ(std::string(head) + "|" + tail, "ab|");
}

TEST(FindSubstring, MatchesOnlyAtCharacterBoundaries) {
  struct Case {
    const char* pattern;
    const char* text;
    int pos;
  } cases[] = {
      {"", "abc", 1},
      {"", "", 1},
      {"b", "ab", 2},
      {"x", "abc", 0},
      {"abcd", "abc", 0},
      {"\\", "ソ", 0},
      {"\\", "ソ\\", 3},
      {"\\", "表", 0},
      {"A", "ア", 0},
      {"ソ", "aソ", 2},
      {"表", "代表", 3},
      {"ｶﾞ", "ｶｶﾞ", 2},
      {"a", "あa", 3},
      {"\xA0", "あ", 0},
      // A pattern that ends in a lead byte without its trail byte matches
      // only a text that ends in it too.
      {"a\x81", "a\x81\x40", 0},
      {"a\x81", "xa\x81", 2},
      {"三番", "１三番", 3},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FindSubstring(c.pattern, c.text), c.pos) << Show(c.pattern) << " in " << Show(c.text);
}

TEST(FindSubstring, PositionedAndCountingForms) {
  EXPECT_EQ(FindSubstringFrom("x", "abc", 1), 0);
  EXPECT_EQ(FindSubstringFrom("c", "abc", 1), 2);
  EXPECT_EQ(FindSubstringFrom("a", "abca", 1), 3);
  EXPECT_EQ(FindSubstringFrom("a", "abc", 10), 9);  // beyond the text: no match, no over-read
  EXPECT_EQ(FindSubstringAt("a", "abca", 2), 4);
  EXPECT_EQ(FindSubstringAt("a", "abc", 2), 0);
  EXPECT_EQ(FindCharIndex("c", "あbc"), 3);
  EXPECT_EQ(FindCharIndex("z", "あbc"), 0);
  EXPECT_EQ(FindPrefixOf("bcx", "abc", 2), 2);
  EXPECT_EQ(FindPrefixOf("bcx", "abc", 3), 0);
  EXPECT_EQ(FindNthOccurrence("aa", "aaa", 2), 2);  // overlapping
  EXPECT_EQ(FindNthOccurrence("aa", "aaa", 3), 0);
  EXPECT_EQ(FindNthOccurrence("a", "aaa", 0), 0);
  EXPECT_EQ(CountOccurrences("aa", "aaaaa"), 2);
  EXPECT_EQ(CountOccurrences("", "abc"), 0);
  EXPECT_EQ(CountOccurrencesAlloc("\\", "ソ\\表\\"), 2);
  EXPECT_EQ(ContainsByte('\\', "ソ"), 1);  // byte-wise by design
  EXPECT_EQ(CountByte('\\', "ソ\\"), 2);
  EXPECT_EQ(ContainsByte('z', "ソ"), 0);

  char head[32], tail[32];
  EXPECT_EQ(SplitAtPattern("=", "key=value", head, tail), 1);
  EXPECT_EQ(std::string(head) + "|" + tail, "key|value");
  EXPECT_EQ(SplitAtPattern("=", "plain", head, tail), 0);
  EXPECT_EQ(std::string(head) + "|" + tail, "plain|");
  EXPECT_EQ(std::string(PointerAfterPattern("=", "a=b")), "b");
  EXPECT_EQ(PointerAfterPattern("=", "ab"), nullptr);
  EXPECT_EQ(std::string(SkipFirstWord("  ab cd")), "cd");
  EXPECT_EQ(SkipFirstWord("ab"), nullptr);
  EXPECT_EQ(SkipFirstWord("   "), nullptr);
}

// The next search starts one character after the previous match: E0 E0 is one
// character, and its second byte must not start a match.
TEST(FindNthOccurrence, NextSearchStartsOnCharacterBoundary) {
  EXPECT_EQ(FindNthOccurrence("\xE0\xE0", "\xE0\xE0\xE0\xE0", 2), 3);
}

TEST(CountOccurrences, RefusesTextsBeyondItsWorkArea) {
  std::string big(kCountWorkArea, 'a');
  big.back() = 'b';
  EXPECT_EQ(CountOccurrences("b", big.c_str()), 0);
  EXPECT_EQ(CountOccurrencesAlloc("b", big.c_str()), 1);
  big.pop_back();
  big.back() = 'b';
  EXPECT_EQ(CountOccurrences("b", big.c_str()), 1);
}

TEST(Words, BlankSeparatedWords) {
  char out[64];
  EXPECT_EQ(std::string(GetBlankSeparatedWord(out, "  a   b  ", 2)), "b");
  EXPECT_EQ(std::string(GetBlankSeparatedWord(out, "  a   b  ", 3)), "");
  EXPECT_EQ(std::string(GetBlankSeparatedWord(out, "  a   b  ", 0)), "");
  EXPECT_EQ(std::string(GetBlankSeparatedWord(out, "東京　都 港区", 1)), "東京　都");
  EXPECT_EQ(CountBlankSeparatedWords(" a bb  ccc "), 3);
  EXPECT_EQ(CountBlankSeparatedWords("   "), 0);

  int s = 0, e = 0;
  EXPECT_EQ(GetWordBounds("ab  cd", 2, &s, &e), 1);
  EXPECT_EQ(s, 3);
  EXPECT_EQ(e, 6);
  EXPECT_EQ(GetWordBounds("  ab", 1, &s, &e), 1);
  EXPECT_EQ(s, 1);
  EXPECT_EQ(e, 4);
  EXPECT_EQ(GetWordBounds("ab", 2, &s, &e), 0);
  EXPECT_EQ(GetWordBounds("", 1, &s, &e), 0);
  EXPECT_EQ(std::string(CopyWord(out, "ab  cd ef", 2)), "  cd");
  EXPECT_EQ(std::string(CopyWord(out, "ab", 3)), "");

  EXPECT_EQ(InPlace("ab cd ef", [](char* t) { DropFirstWords(t, 3); }), " ef");
  EXPECT_EQ(InPlace("ab cd ef", [](char* t) { DropFirstWords(t, 1); }), "");
  EXPECT_EQ(InPlace("ab cd ef", [](char* t) { DropFirstWords(t, 4); }), "");
  EXPECT_EQ(InPlace(" ab  cd ef", [](char* t) { ReplaceWord(t, 2, "XYZ"); }), " ab  XYZ ef");
  EXPECT_EQ(InPlace("ab", [](char* t) { ReplaceWord(t, 2, "X"); }), "ab");

  EXPECT_EQ(IsWordEqual("COPY", "x copy y", 2, 1), 1);
  EXPECT_EQ(IsWordEqual("COPY", "x copy y", 2, 0), 0);
  EXPECT_EQ(IsHelpSwitch("prog /?", 2), 1);
  EXPECT_EQ(IsHelpSwitch("prog /?x", 2), 0);
}

TEST(Words, RefuseTextsBeyondTheWorkArea) {
  std::string big(kWordWorkArea, 'a');
  big[1] = ' ';
  std::vector<char> out(big.size() + 1);
  EXPECT_EQ(std::string(GetBlankSeparatedWord(out.data(), big.c_str(), 1)), "");
  EXPECT_EQ(CountBlankSeparatedWords(big.c_str()), 0);
  big.resize(kWordWorkArea - 1);
  EXPECT_EQ(std::string(GetBlankSeparatedWord(out.data(), big.c_str(), 1)), "a");
}

TEST(Trim, BlanksNewlinesAndQuotes) {
  EXPECT_EQ(InPlace("  a b  ", [](char* t) { TrimLeftBlanks(t); }), "a b  ");
  EXPECT_EQ(InPlace("  a b  ", [](char* t) { TrimRightBlanks(t); }), "  a b");
  EXPECT_EQ(InPlace("  a b  ", [](char* t) { TrimBlanks(t); }), "a b");
  EXPECT_EQ(InPlace("　a　", [](char* t) { TrimBlanks(t); }), "　a　");  // 0x20 only
  EXPECT_EQ(InPlace("ab\n", [](char* t) { RemoveTrailingNewline(t); }), "ab");
  EXPECT_EQ(InPlace("ab\n\n", [](char* t) { RemoveTrailingNewline(t); }), "ab\n");
  EXPECT_EQ(IsBlankString("   "), 1);
  EXPECT_EQ(IsBlankString(""), 1);
  EXPECT_EQ(IsBlankString(" 　"), 0);
  EXPECT_EQ(InPlace(" あ　い 　", [](char* t) { RemoveAllBlanks(t); }), "あい");
  EXPECT_EQ(InPlace("\"ab\"", [](char* t) { StripEnclosingQuotes(t); }), "ab");
  EXPECT_EQ(InPlace("\"ab", [](char* t) { StripEnclosingQuotes(t); }), "\"ab");
  EXPECT_EQ(InPlace("\"", [](char* t) { StripEnclosingQuotes(t); }), "\"");
  EXPECT_EQ(InPlace("\"ab", [](char* t) { StripQuotes(t); }), "ab");
  EXPECT_EQ(InPlace("ab\"", [](char* t) { StripQuotes(t); }), "ab");
  char out[32];
  EXPECT_EQ(std::string(QuoteText(out, "a b")), "\"a b\"");
  EXPECT_EQ(InPlace(";a", [](char* t) { RemoveLeadingSemicolon(t); }), "a");
  EXPECT_EQ(InPlace("；a", [](char* t) { RemoveLeadingSemicolon(t); }), "a");
  EXPECT_EQ(InPlace("a;", [](char* t) { RemoveLeadingSemicolon(t); }), "a;");
}

TEST(Trim, PatternsAndCharacterSets) {
  EXPECT_EQ(InPlace(",,a,b,,", [](char* t) { TrimLeadingPattern(",", t); }), "a,b,,");
  EXPECT_EQ(InPlace(",,a,b,,", [](char* t) { TrimTrailingPattern(",", t); }), ",,a,b");
  EXPECT_EQ(InPlace(",,a,b,,", [](char* t) { TrimPattern(",", t); }), "a,b");
  EXPECT_EQ(InPlace(",,,", [](char* t) { TrimTrailingPattern(",", t); }),
            ",");  // stops before byte 1
  EXPECT_EQ(InPlace("abab", [](char* t) { TrimLeadingPattern("ab", t); }), "");
  EXPECT_EQ(InPlace("abc", [](char* t) { TrimPattern("", t); }), "abc");
  EXPECT_EQ(InPlace("・あ・", [](char* t) { TrimChars("・", t); }), "あ");
  EXPECT_EQ(InPlace("xyaxy", [](char* t) { TrimLeadingChars("yx", t); }), "axy");
  EXPECT_EQ(InPlace("xyaxy", [](char* t) { TrimTrailingChars("yx", t); }), "xya");
  EXPECT_EQ(InPlace(" 　a 　", [](char* t) { TrimAllBlanks(t); }), "a");
}

// 区 is 8B E6 and 日 93 FA: the second bytes look like lead bytes, so the
// trailing blank must be found by walking forward, not by looking back.
TEST(TrimTrailingChars, KeepsKanjiWhoseSecondByteLooksLikeLeadByte) {
  EXPECT_EQ(InPlace("千代田区 ", [](char* t) { TrimAllBlanks(t); }), "千代田区");
  EXPECT_EQ(InPlace("日　", [](char* t) { TrimAllBlanks(t); }), "日");
  // ＝ is 81 81 and "　" 81 40: the bytes 81 40 at the end are not a character.
  EXPECT_EQ(InPlace("＝@", [](char* t) { TrimChars("　", t); }), "＝@");
}

// ソ is 83 5C: a trailing "\" pattern must not take its second byte.
TEST(TrimTrailingPattern, KeepsCharacterWhoseSecondByteIsBackslash) {
  EXPECT_EQ(InPlace("aソ", [](char* t) { TrimTrailingPattern("\\", t); }), "aソ");
  EXPECT_EQ(InPlace("aソ\\\\", [](char* t) { TrimTrailingPattern("\\", t); }), "aソ");
}

// A lead byte right before the terminator is one character; nothing reads
// past the NUL.
TEST(LeadByteBeforeNul, IsOneCharacterAndNeverStepsOverTheTerminator) {
  auto t = Exact("a\x81");
  EXPECT_EQ(CountChars(t.get()), 2);
  EXPECT_EQ(GetLastCharPtr(t.get()), t.get() + 1);
  EXPECT_EQ(FindSubstring("x", t.get()), 0);
  EXPECT_EQ(FindSubstring("\x81", t.get()), 2);
  EXPECT_EQ(GetCharWidthClass(t.get()), 1);
  EXPECT_EQ(std::string(ReverseChars(t.get())),
            "\x81"
            "a");
  auto u = Exact("ab\x82");
  TrimTrailingChars(" ", u.get());
  EXPECT_EQ(std::string(u.get()), "ab\x82");
  RemoveLastChar(u.get());
  EXPECT_EQ(std::string(u.get()), "ab");
}

TEST(Pad, WidthsAndCutCopies) {
  EXPECT_EQ(InPlace("x", [](char* t) { PadLeftWith("ab", t, 4); }), "aabx");
  EXPECT_EQ(InPlace("x", [](char* t) { PadRightWith("ab", t, 4); }), "xaba");
  EXPECT_EQ(InPlace("x", [](char* t) { PadLeftWith("abc", t, 2); }), "x");  // width below pad
  EXPECT_EQ(InPlace("x", [](char* t) { PadRightWith("abc", t, 2); }), "xa");
  EXPECT_EQ(InPlace("xyz", [](char* t) { PadLeftWith("0", t, 2); }), "xyz");
  EXPECT_EQ(InPlace("12", [](char* t) { PadLeftWithZeros(t, 5); }), "00012");
  EXPECT_EQ(InPlace("12", [](char* t) { PadLeftWithBlanks(t, 4); }), "  12");
  EXPECT_EQ(InPlace("12", [](char* t) { PadRightWithZeros(t, 4); }), "1200");
  EXPECT_EQ(InPlace("12", [](char* t) { PadRightWithBlanks(t, 3); }), "12 ");
  EXPECT_EQ(InPlace("7", [](char* t) { PadLeftWithChar(t, '*', 3); }), "**7");
  EXPECT_EQ(InPlace("7", [](char* t) { PadLeftWithChar(t, '*', 0); }), "7");
  EXPECT_EQ(InPlace("7", [](char* t) { ZeroPadLeft(t, 3); }), "007");
  EXPECT_EQ(InPlace("7", [](char* t) { ZeroPadLeftByFormat(t, 4); }), "0007");
  EXPECT_EQ(InPlace("7", [](char* t) { ZeroPadLeftByFormat(t, -1); }), "7");
  char out[64];
  EXPECT_EQ(std::string(RepeatPadLeft(out, "x", 4, "ab")), "abababx");
  EXPECT_EQ(std::string(RepeatPadRight(out, "x", 3, "ab")), "xabab");
  EXPECT_EQ(std::string(RepeatPadLeft(out, "xyz", 2, "ab")), "xyz");
}

TEST(Pad, GrowingHelpersRefuseResultsBeyondTheWorkArea) {
  EXPECT_EQ(InPlace("x", [](char* t) { PadLeftWithZeros(t, kSjisWorkArea); }), "x");
  EXPECT_EQ(InPlace("x", [](char* t) { PadLeftWithZeros(t, kSjisWorkArea - 1); }).size(),
            static_cast<std::size_t>(kSjisWorkArea - 1));
  char out[16] = "keep";
  EXPECT_EQ(std::string(RepeatPadLeft(out, "x", 600, "ab")), "");
  const std::string long1(600, 'a'), long2(600, 'b');
  std::vector<char> big(2000);
  EXPECT_EQ(std::string(ConcatTexts(big.data(), long1.c_str(), long2.c_str())), "");
  EXPECT_EQ(InPlace(long1, [&](char* t) { PrependText(t, long2.c_str()); }), long1);
  EXPECT_EQ(InPlace(long1, [&](char* t) { AppendLine(t, long2.c_str()); }), long1);
}

TEST(TextBuilding, PrependConcatAppendAndSeparators) {
  EXPECT_EQ(InPlace("b", [](char* t) { PrependText(t, "a"); }), "ab");
  char out[32];
  EXPECT_EQ(std::string(ConcatTexts(out, "東", "京")), "東京");
  EXPECT_EQ(InPlace("", [](char* t) { AppendLine(t, "l1"); }), "l1");
  EXPECT_EQ(InPlace("l1", [](char* t) { AppendLine(t, "l2"); }), "l1\nl2");
  EXPECT_EQ(InPlace("l1", [](char* t) { AppendLine(t, nullptr); }), "l1");
  EXPECT_EQ(AppendLine(nullptr, "x"), nullptr);
  EXPECT_EQ(InPlace("ソ", [](char* t) { AppendBackslash(t); }), "ソ\\");
  EXPECT_EQ(InPlace("C:\\data\\", [](char* t) { AppendBackslash(t); }), "C:\\data\\");
  EXPECT_EQ(InPlace("", [](char* t) { AppendBackslash(t); }), "\\");
  EXPECT_EQ(InPlace("a/", [](char* t) { AppendSlash(t); }), "a/");
  EXPECT_EQ(InPlace("a", [](char* t) { AppendSlash(t); }), "a/");
  char t[8] = "abc";
  EXPECT_EQ(IsEmptyString(ClearString(t)), 1);
  EXPECT_EQ(IsEmptyString("a"), 0);
}

TEST(Case, AsciiAndFullWidthLetters) {
  // ヂ is 83 61: its second byte is "a" and must stay.
  EXPECT_EQ(InPlace("aヂz1", [](char* t) { ToUpperAscii(t); }), "AヂZ1");
  EXPECT_EQ(InPlace("ａｂＣ1ｚ", [](char* t) { ToUpperFullWidthLetters(t); }), "ＡＢＣ1Ｚ");
  EXPECT_EQ(InPlace("ａ￥”", [](char* t) { ToUpperFullWidthLetters(t); }), "Ａ￥”");
  EXPECT_EQ(ToUpperCharByte('q'), 'Q');
  EXPECT_EQ(ToUpperCharByte(0xE1), 0xE1);
}

TEST(ReplaceAll, ReplacesLeftToRightWithoutRescanning) {
  struct Case {
    const char* text;
    const char* search;
    const char* replacement;
    const char* expected;
  } cases[] = {
      {"aaa", "a", "aa", "aaaaaa"}, {"abcabc", "b", "", "acac"},
      {"ソ\\", "\\", "/", "ソ/"},  // the 5C inside ソ is not a match
      {"abc", "", "x", "abc"},      {"", "a", "x", ""},
      {"abc", "b", "b", "abc"},     {"東京都東京", "東京", "京都", "京都都京都"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(InPlace(c.text, [&](char* t) { ReplaceAll(t, c.search, c.replacement); }), c.expected)
        << Show(c.text);
  }
}

TEST(ReplaceAll, RefusesResultsBeyondWorkAreaOrBuffer) {
  const std::string text(kReplaceWorkArea - 2, 'a');
  std::string withB = text + "b";
  EXPECT_EQ(InPlace(withB, [](char* t) { ReplaceAll(t, "b", "cc"); }), withB);
  EXPECT_EQ(InPlace(withB, [](char* t) { ReplaceAll(t, "b", "c"); }), text + "c");
  char small[8] = "ab";
  ReplaceAll(small, "b", "bbbbbbbb", sizeof small);
  EXPECT_EQ(std::string(small), "ab");
  ReplaceAll(small, "b", "bbbbbb", sizeof small);
  EXPECT_EQ(std::string(small), "abbbbbb");
}

TEST(ReplaceAll, SuffixCharacterAndTables) {
  EXPECT_EQ(InPlace("xab", [](char* t) { ReplaceSuffix(t, "ab", "Y"); }), "xY");
  EXPECT_EQ(InPlace("abxab", [](char* t) { ReplaceSuffix(t, "ab", "Y"); }), "abxab");
  EXPECT_EQ(InPlace("あいう", [](char* t) { ReplaceAtChar(t, 2, "いう", "X"); }), "あX");
  EXPECT_EQ(InPlace("あいう", [](char* t) { ReplaceAtChar(t, 1, "いう", "X"); }), "あいう");

  const char* const table[][2] = {{"a", "b"}, {"b", "c"}};
  EXPECT_EQ(InPlace("ab", [&](char* t) { ReplaceAllByTable(t, table, 2); }), "cc");
  EXPECT_EQ(InPlace("bc", [&](char* t) { ReplaceAllByTableReverse(t, table, 2); }),
            "ab");  // rows in order

  std::vector<char> rows(2 * kTextTableRowSize, '\0');
  std::strcpy(&rows[0], "丁目");
  std::strcpy(&rows[kTextTableFieldSize], "-");
  std::strcpy(&rows[kTextTableRowSize], "番地");
  std::strcpy(&rows[kTextTableRowSize + kTextTableFieldSize], "-");
  EXPECT_EQ(InPlace("1丁目2番地", [&](char* t) { ReplaceAllByTextTable(t, rows.data(), 2); }),
            "1-2-");
  EXPECT_EQ(InPlace("1-2", [&](char* t) { ReplaceAllByTextTableReverse(t, rows.data(), 1); }),
            "1丁目2");
}

TEST(RangesAndPascal, FixedLengthForms) {
  EXPECT_EQ(IsInRangeDouble(1.5, 1.0, 2.0), 1);
  EXPECT_EQ(IsInRangeFloat(2.5f, 1.0f, 2.0f), 0);
  EXPECT_EQ(IsInRangeUShort(static_cast<uint16_t>(0x10005), 1, 10), 1);  // cut to 16 bits
  EXPECT_EQ(IsInRangeByte(static_cast<uint8_t>(0x105), 1, 10), 1);
  EXPECT_EQ(MinInt(-3, 2), -3);

  char pascal[256];
  CToPascalString("abc", pascal);
  EXPECT_EQ(static_cast<unsigned char>(pascal[0]), 3);
  EXPECT_EQ(std::string(pascal + 1, 3), "abc");
  EXPECT_EQ(pascal[4], ' ');
  EXPECT_EQ(pascal[255], ' ');
  char back[256];
  EXPECT_EQ(std::string(PascalToCString(pascal, back)), "abc");
  const std::string longText(300, 'x');
  CToPascalString(longText.c_str(), pascal);
  EXPECT_EQ(static_cast<unsigned char>(pascal[0]), 255);
  EXPECT_EQ(std::string(PascalToCString(pascal, back)), std::string(255, 'x'));
}

TEST(Compare, UnsignedByteOrder) {
  struct Case {
    const char* a;
    const char* b;
    int strings;
    int lengthFirst;
  } cases[] = {
      {"ab", "abc", -1, -1}, {"abc", "ab", 1, 1}, {"b", "aa", 1, -1},
      {"ab", "ab", 0, 0},    {"あ", "a", 1, 1},   {"a", "ｱ", -1, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompareStrings(c.a, c.b), c.strings) << Show(c.a) << " " << Show(c.b);
    EXPECT_EQ(CompareLengthFirst(c.a, c.b), c.lengthFirst) << Show(c.a) << " " << Show(c.b);
  }
  EXPECT_EQ(CompareSuffix("xxabc", "abc", 3), 0);
  EXPECT_EQ(CompareSuffix("xabd", "abc", 3), 1);
  EXPECT_EQ(CompareSuffix("c", "abc", 3), 1);
}

TEST(CFixedString, HoldsTextsShorterThanItsBuffer) {
  CFixedString s("  abc  ");
  EXPECT_EQ(s.GetLength(), 7);
  s.TrimBlanks();
  EXPECT_TRUE(s == "abc");
  s.Delete(2, 1);
  EXPECT_TRUE(s == "ac");
  CFixedString t = s + CFixedString("de");
  EXPECT_TRUE(t == "acde");
  EXPECT_TRUE((t + 'f') == "acdef");
  EXPECT_TRUE(t == CFixedString("acde"));
  t = 'z';
  EXPECT_STREQ(t.GetText(), "z");
  t.Clear();
  EXPECT_EQ(t.IsEmpty(), 1);

  const std::string fits(CFixedString::kSize - 1, 'a');
  const std::string tooLong(CFixedString::kSize, 'a');
  EXPECT_EQ(CFixedString(fits.c_str()).GetLength(), CFixedString::kSize - 1);
  EXPECT_EQ(CFixedString(tooLong.c_str()).IsEmpty(), 1);
  CFixedString a(fits.c_str());
  a = tooLong.c_str();
  EXPECT_EQ(a.IsEmpty(), 1);
  EXPECT_EQ((CFixedString(fits.c_str()) + 'b').IsEmpty(), 1);
  EXPECT_EQ((CFixedString(fits.c_str()) + CFixedString("b")).IsEmpty(), 1);
}
