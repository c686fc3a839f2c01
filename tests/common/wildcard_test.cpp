#include "common/wildcard.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "common/width_kana.h"
#include "support/test_util.h"

namespace {

TEST(WildcardCharEqual, QuestionMarkMatchesAnyByte) {
  EXPECT_EQ(WildcardCharEqual('?', 'x'), 1);
  EXPECT_EQ(WildcardCharEqual('x', '?'), 1);
  EXPECT_EQ(WildcardCharEqual('a', 'a'), 1);
  EXPECT_EQ(WildcardCharEqual('a', 'b'), 0);
  EXPECT_EQ(WildcardCharEqual('\x81', '\x81'), 1);
  EXPECT_EQ(WildcardCharEqual('\x81', '\x82'), 0);
  EXPECT_EQ(WildcardCharEqual('*', 'a'), 0);
}

struct Case {
  const char* a;
  const char* b;
  int expected;
};

// The comparison is two-sided: every case must also hold with the texts
// exchanged.
TEST(WildcardCompare, CasesInBothOrders) {
  const Case cases[] = {
      {"abc", "abc", 1},
      {"", "", 1},
      {"abc", "a?c", 1},
      {"abcd", "ab*", 1},
      {"ab", "ab*", 1},
      {"*", "anything", 1},
      {"ab*cd", "ab", 1},
      {"a*x", "a*y", 1},  // both cut before their first "*"
      {"abc*", "ab", 0},  // "abc" against "ab": the rest "c" is no "?"
      {"ab??", "ab", 1},  // the rest of the longer text is all "?"
      {"a?", "abc", 0},
      {"x*", "abc", 0},
      {"a*", "b*", 0},
      {"a?c", "abd", 0},
      {"abc", "abcd", 0},
      {"", "?", 1},
      {"", "a", 0},
      {"QVAD??.NDB", "QVAD13.NDB", 1},
      {"QVAD*", "QVAD13.NDB", 1},
      {"qvad13.ndb", "QVAD13.NDB", 0},  // byte comparison, case counts
      // Bytes, not characters: "?" stands for one byte of a double-byte one.
      {"表?", "表x", 1},
      {"?", "表", 0},
      {"??", "表", 1},
      {"住所*", "住所\\文字統一.BIN", 1},
      {"住所", "住所?", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WildcardCompare(c.a, c.b), c.expected)
        << testutil::Show(c.a) << " | " << testutil::Show(c.b);
    EXPECT_EQ(WildcardCompare(c.b, c.a), c.expected)
        << testutil::Show(c.b) << " | " << testutil::Show(c.a);
  }
}

TEST(WildcardCompare, NullTextIsUnequal) {
  EXPECT_EQ(WildcardCompare(nullptr, "a"), 0);
  EXPECT_EQ(WildcardCompare("a", nullptr), 0);
  EXPECT_EQ(WildcardCompare(nullptr, nullptr), 0);
}

TEST(WildcardMatchSjis, PartsOfPatterns) {
  const Case cases[] = {
      {"abc", "a*c", 1},
      {"abc", "*x", 0},
      {"abc", "a?c", 1},
      {"abc", "ab", 0},
      {"", "", 1},
      {"", "*", 1},
      {"", "**", 1},
      {"", "?", 0},
      {"a", "", 0},
      {"abc", "abc*", 1},
      {"abcbc", "*bc", 1},
      {"abxbc", "a*bc", 1},
      {"abc", "*?c", 1},
      {"ac", "a*?c", 0},
      {"abxc", "a*?c", 1},
      // "?" and "*" take whole characters.
      {"表", "?", 1},
      {"表", "??", 0},
      {"表x", "?x", 1},
      {"a表b", "a*b", 1},
      {"表", "表", 1},
      // The trail byte 0x5C of 表 or 0x7C of ポ is never a "\" or a "|" of the pattern.
      {"表", "*\\", 0},
      {"ポ", "*|", 0},
      {"表\\", "*\\", 1},
      {"ポ|", "?|", 1},
      {"ポ", "\x83*", 0},
      {"x\x83", "x\x83", 1},  // a lead byte before the NUL is one byte
  };
  for (const auto& c : cases)
    EXPECT_EQ(WildcardMatchSjis(c.a, c.b), c.expected)
        << testutil::Show(c.a) << " ~ " << testutil::Show(c.b);
  EXPECT_EQ(WildcardMatchSjis(nullptr, "*"), 0);
  EXPECT_EQ(WildcardMatchSjis("a", nullptr), 0);
}

// A "?" right after a "*" matches at any character, not only at a literal "?".
TEST(WildcardMatchSjis, QuestionMarkAfterStarMatchesAnyCharacter) {
  EXPECT_EQ(WildcardMatchSjis("abcd", "*?d"), 1);
  EXPECT_EQ(WildcardMatchSjis("d", "*?d"), 0);
  EXPECT_EQ(WildcardMatchSjis("住所", "*?"), 1);
}

// The plain meaning of the wildcards, character by character.
int ReferenceMatch(const char* text, const char* pattern) {
  auto len = [](const char* p) {
    const unsigned char b = static_cast<unsigned char>(*p);
    return ((b >= 0x81 && b <= 0x9F) || b >= 0xE0) && p[1] != '\0' ? 2 : 1;
  };
  if (*pattern == '\0') return *text == '\0';
  if (*pattern == '*')
    return ReferenceMatch(text, pattern + 1) ||
           (*text != '\0' && ReferenceMatch(text + len(text), pattern));
  if (*text == '\0') return 0;
  if (*pattern == '?') return ReferenceMatch(text + len(text), pattern + 1);
  const int n = len(pattern);
  if (len(text) != n || std::string(text, n) != std::string(pattern, n)) return 0;
  return ReferenceMatch(text + n, pattern + n);
}

TEST(WildcardMatchSjis, AgreesWithTheReferenceOnRandomTexts) {
  // Characters chosen so that trail bytes collide with "\", "|" and letters.
  const char* const alphabet[] = {"a", "b", "\\", "|", "表", "ソ", "ポ", "\x83\x62", "あ", "ｱ"};
  const char* const wild[] = {"*", "?"};
  std::mt19937 random(20240601);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  int matches = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string text, pattern;
    for (int i = pick(7); i > 0; --i) text += alphabet[pick(10)];
    for (int i = pick(6); i > 0; --i) pattern += pick(3) == 0 ? wild[pick(2)] : alphabet[pick(10)];
    // Half of the patterns are cut from the text itself, so that matches are common.
    if (round % 2 == 0 && !text.empty()) {
      pattern.clear();
      const char* p = text.c_str();
      while (*p) {
        const int n =
            (static_cast<unsigned char>(*p) >= 0x81 && static_cast<unsigned char>(*p) <= 0x9F) ? 2
                                                                                               : 1;
        pattern += pick(4) == 0 ? std::string(wild[pick(2)]) : std::string(p, n);
        p += n;
      }
    }
    const int expected = ReferenceMatch(text.c_str(), pattern.c_str());
    matches += expected;
    ASSERT_EQ(WildcardMatchSjis(text.c_str(), pattern.c_str()), expected)
        << testutil::Show(text) << " ~ " << testutil::Show(pattern);
  }
  EXPECT_GT(matches, 2000);
}

TEST(WildcardMatch, FirstOccurrenceOfTheLiteralRun) {
  const Case cases[] = {
      {"", "", 1},           {"a", "", 0},       {"", "*", 1},
      {"anything", "*", 1},  {"", "a", 0},       {"", "**", 0},
      {"abc", "abc", 1},     {"abc", "a?c", 1},  {"表c", "?c", 1},
      {"abc", "a*", 1},      {"abc", "*c", 1},   {"abc", "*bc", 1},
      {"abc", "*abcd", 0},   // the tail is longer than the text
      {"abxbc", "a*b?", 0},  // "b" is taken at its first place
      {"abxbc", "a*x*c", 1}, {"abc", "a*z*", 0}, {"abc", "a*b", 0},
      {"表", "*\\", 0},  // a tail that begins inside a character does not match
      {"表", "\x95*", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(WildcardMatch(c.a, c.b), c.expected)
        << testutil::Show(c.a) << " ~ " << testutil::Show(c.b);
}

TEST(WildcardLists, AnyPatternOfTheList) {
  EXPECT_EQ(MatchAnyPattern("QVAD13.NDB", "*.TIX|QVAD??.NDB"), 1);
  EXPECT_EQ(MatchAnyPattern("QVAD13.NDB", "*.TIX|\"QVAD*\""), 1);
  EXPECT_EQ(MatchAnyPattern("QVAD13.NDB", "*.TIX|*.CDB"), 0);
  EXPECT_EQ(MatchAnyPattern("ポ", "ポ"), 1);  // 83 7C is no delimiter
  EXPECT_EQ(MatchAnyPattern("", ""), 1);
  EXPECT_EQ(MatchAnyPattern("a", std::string(5000, 'a').c_str()), 0);  // too long a list
  EXPECT_EQ(ConvertAndMatch("ｱｲ", "アイ", kConvertFullWidth), 1);
  EXPECT_EQ(ConvertAndMatch("ｱｲ", "アイ", 0), 0);
  EXPECT_EQ(ConvertAndMatchAny("abc", "x*|ABC", kConvertUpperLarge), 1);
}

}  // namespace
