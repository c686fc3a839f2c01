#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "matching/adrs_engine.h"
#include "matching/edit_text.h"
#include "matching/name_levels.h"
#include "matching/normalize.h"
#include "support/test_util.h"
#include "tabledb/tc_access.h"

namespace {

using testutil::Show;

TEST(NumeralKindAt, DigitsKanjiNumeralsAndOthers) {
  EXPECT_EQ(NumeralKindAt("１２"), 1);
  EXPECT_EQ(NumeralKindAt("三丁目"), 2);
  EXPECT_EQ(NumeralKindAt("〇"), 2);
  EXPECT_EQ(NumeralKindAt("丁目"), 0);
  EXPECT_EQ(NumeralKindAt("1"), 0);  // ASCII digits are no numeral here
  EXPECT_EQ(NumeralKindAt(""), 0);
  EXPECT_EQ(NumeralKindAt(nullptr), 0);
  EXPECT_EQ(NumeralClassAt("二"), 2);
}

TEST(NumberGoesOnPastName, SameKindOnBothSidesOnly) {
  EXPECT_EQ(NumberGoesOnPastName("２", "北１"), 1);  // "１" is the head of "１２"
  EXPECT_EQ(NumberGoesOnPastName("二", "北一"), 1);
  EXPECT_EQ(NumberGoesOnPastName("２", "北一"), 0);    // other kinds
  EXPECT_EQ(NumberGoesOnPastName("－２", "北１"), 0);  // a hyphen stops the number
  EXPECT_EQ(NumberGoesOnPastName("２", "大手町"), 0);  // the name ends in no numeral
  EXPECT_EQ(NumberGoesOnPastName("", "北１"), 0);
  EXPECT_EQ(NumberGoesOnPastName("２", ""), 0);
}

TEST(ExpandRepeatMarks, SingleDoubleAndLeadingMarks) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"代々木", "代代木"},
      {"佐々木町", "佐佐木町"},
      {"部分々々", "部分部分"},
      {"々木", "々木"},      // nothing before the mark
      {"代々々", "代代代"},  // 々々 after one character: two single marks
      {"A々", "AA"},
      {"", ""},
  };
  for (const Case& c : cases) {
    char out[64];
    ASSERT_EQ(ExpandRepeatMarks(c.in, out, sizeof out), 1) << Show(c.in);
    EXPECT_EQ(std::string(out), c.out) << Show(c.in) << " gave " << Show(out);
  }
  char small[5];
  EXPECT_EQ(ExpandRepeatMarks("代々木", small, sizeof small), 0);  // 6 bytes do not fit
  EXPECT_STREQ(small, "");
}

// An edit text as the driver prepares it: the written input normalised.
void Prepare(CEditText* text, const char* written) {
  ASSERT_EQ(text->Init(written), 1);
  ASSERT_EQ(NormalizeEditText(nullptr, nullptr, text), 1);
}

TEST(WrittenPrefixEquals, ComparesWhatTheCallerWrote) {
  CEditText text;
  Prepare(&text, "大手町一丁目");  // normalised: 大手町１丁目
  EXPECT_EQ(WrittenPrefixEquals(&text, 6, "大手町"), 1);
  EXPECT_EQ(WrittenPrefixEquals(&text, 6, "大手"), 0);
  // The number-unit rewriting on both sides: 一丁目 against １丁目.
  ASSERT_EQ(text.Delete(1, 6), 1);
  EXPECT_EQ(WrittenPrefixEquals(&text, 6, "１丁目"), 1);
  EXPECT_EQ(WrittenPrefixEquals(&text, 6, "一丁目"), 1);
  // The whole rest is no proper tail: nothing after it.
  EXPECT_EQ(WrittenPrefixEquals(&text, 0, ""), 0);

  CEditText kana;
  Prepare(&kana, "ﾀﾞｲﾄｸｼﾞ");  // written in half-width katakana
  EXPECT_EQ(WrittenPrefixEquals(&kana, kana.GetLength(), "だいとくじ"), 0);

  CEditText marks;
  Prepare(&marks, "代々木１");
  EXPECT_EQ(WrittenPrefixEquals(&marks, 6, "代代木"), 1);  // marks written out
  EXPECT_EQ(WrittenPrefixEquals(&marks, 6, "代々木"), 1);
}

TEST(SkipWrittenName, ConsumesTheNameAsWritten) {
  CEditText text;
  Prepare(&text, "ﾏﾙﾉｳﾁ1");  // normalised: まるのうち１
  // The written form begins with the half-width name: the cursor moves over
  // its five normalised characters.
  EXPECT_EQ(SkipWrittenName(&text, "ﾏﾙﾉｳﾁ"), 1);
  EXPECT_EQ(std::string(text.GetText()), "１");
  EXPECT_EQ(std::string(text.GetOriginalPointer(1)), "1");

  CEditText whole;
  Prepare(&whole, "大手町");
  EXPECT_EQ(SkipWrittenName(&whole, "大手町"), 1);  // the text runs out, nothing followed
  EXPECT_EQ(whole.IsEmpty(), 1);

  CEditText other;
  Prepare(&other, "大手町１");
  const uint32_t versions = other.GetVersionCount();
  EXPECT_EQ(SkipWrittenName(&other, "丸の内"), 0);
  EXPECT_EQ(SkipWrittenName(&other, ""), 0);
  EXPECT_EQ(other.GetVersionCount(), versions);
}

TEST(SkipWrittenName, RollsBackWhenTheNameEndsInsideAConvertedStretch) {
  // 二十一 became ２１ in one edit: the written name 二十 ends inside it, so
  // no cursor position stands for what followed the name.
  CEditText text;
  Prepare(&text, "二十一番");
  ASSERT_EQ(std::string(text.GetText()), "２１番");
  const uint32_t versions = text.GetVersionCount();
  EXPECT_EQ(SkipWrittenName(&text, "二十"), 0);
  EXPECT_EQ(std::string(text.GetText()), "２１番");
  EXPECT_EQ(text.GetVersionCount(), versions);
  // A name that covers the whole stretch is skipped with it.
  EXPECT_EQ(SkipWrittenName(&text, "二十一"), 1);
  EXPECT_EQ(std::string(text.GetText()), "番");
}

TEST(SkipSeparator, OnlyBeforeTheEndOrANumeral) {
  struct Case {
    const char* text;
    int kana, removed;
  } cases[] = {
      {"－５", 0, 2}, {"の３", 0, 2}, {"－", 0, 2},   {"の森", 0, 0},
      {"５", 0, 0},   {"－５", 1, 2}, {"の３", 1, 0}, {"ノ３", 0, 2},
  };
  for (const Case& c : cases) {
    CEditText text;
    ASSERT_EQ(text.Init(c.text), 1);
    EXPECT_EQ(SkipSeparator(&text, c.kana), c.removed) << Show(c.text) << " kana " << c.kana;
  }
}

TEST(NameWordTables, OrderAndNumberMarks) {
  // The first word of the table that the text begins with decides.
  EXPECT_EQ(MatchWordAt("大字山田", OazaPrefixWords(0)), 4);
  EXPECT_EQ(MatchWordAt("字山田", OazaPrefixWords(0)), 2);
  EXPECT_EQ(MatchWordAt("小字東", OazaPrefixWords(0)), 0);
  EXPECT_EQ(MatchWordAt("小字東", ChomePrefixWords(0)), 4);
  EXPECT_EQ(MatchWordAt("おおあざやまだ", OazaPrefixWords(1)), 8);
  EXPECT_EQ(MatchWordAt("あざやまだ", OazaPrefixWords(1)), 0);
  EXPECT_EQ(MatchWordAt("丁目", ChomeUnitWords(0)), 4);  // 丁目 before 丁
  EXPECT_EQ(MatchWordAt("通り", StreetWords(0)), 4);     // 通り before 通
  EXPECT_EQ(MatchWordAt("とおり", StreetWords(1)), 6);
  int counted = 0;
  for (const NameWord* w = OazaUnitWords(0); w->text; ++w, ++counted) {
    const std::string word = w->text;
    EXPECT_EQ(w->needsNumber, (word == "町" || word == "村") ? 0 : 1) << Show(w->text);
  }
  EXPECT_EQ(counted, 11);
  for (const NameWord* w = OazaUnitWords(1); w->text; ++w) {
    const std::string word = w->text;
    EXPECT_EQ(w->needsNumber, (word == "ちよう" || word == "まち" || word == "むら") ? 0 : 1)
        << Show(w->text);
  }
}

TEST(NameLevelSwitches, DefaultsAndKeptOverClose) {
  CAdrsEngine engine;
  EXPECT_EQ(engine.GetCountyOptional(), 1);
  EXPECT_EQ(engine.GetCountyInBrackets(), 0);
  EXPECT_EQ(engine.SetAnalyzeDepth(1), 1);
  EXPECT_EQ(engine.SetCountyOptional(0), 1);
  EXPECT_EQ(engine.SetCountyOptional(-1), 0);  // refused, value kept
  EXPECT_EQ(engine.SetCountyInBrackets(1), 1);
  engine.Close();
  EXPECT_EQ(engine.GetMatchDepth(), 1);
  EXPECT_EQ(engine.GetCountyOptional(), 0);
  EXPECT_EQ(engine.GetCountyInBrackets(), 1);
}

}  // namespace

// The name as the oaza level compares it: a placeholder empty, a leading
// 大字 (おおあざ) dropped; against the prefix test by strncmp on made-up
// names.
TEST(PrepareOazaName, PlaceholdersEmptyAndTheLeadingAzaWordDropped) {
  const struct {
    const char* name;
    int kana;
    const char* prepared;
  } cases[] = {
      {"大字北町", 0, "北町"},
      {"大字", 0, ""},
      {"大", 0, "大"},
      {"大字なし", 0, ""},
      {"大字なし地区", 0, ""},
      {"北大字", 0, "北大字"},
      {"大字大字南", 0, "大字南"},
      {"おおあざみなみ", 1, "みなみ"},
      {"おおあ", 1, "おおあ"},
      {"おおあざなし", 1, ""},
      {"大字北町", 1, "大字北町"},
      {"おおあざみなみ", 0, "おおあざみなみ"},
      {"", 0, ""},
  };
  for (const auto& c : cases) {
    char name[64];
    std::snprintf(name, sizeof name, "%s", c.name);
    PrepareOazaName(name, c.kana);
    EXPECT_STREQ(name, c.prepared) << Show(c.name) << " " << c.kana;
  }
  const char* const pieces[] = {"大", "字", "お", "あ", "ざ", "北", "\x91", "\x82"};
  uint32_t seed = 7;
  for (int i = 0; i < 5000; ++i) {
    std::string text;
    for (int k = 0; k < 4; ++k) {
      seed = seed * 1103515245u + 12345u;
      text += pieces[(seed >> 16) % 8];
    }
    for (const int kana : {0, 1}) {
      const char* prefix = kana ? "おおあざ" : "大字";
      std::string expected = text;
      if (IsNoOazaName(text.c_str(), kana))
        expected.clear();
      else if (std::strncmp(text.c_str(), prefix, std::strlen(prefix)) == 0)
        expected.erase(0, std::strlen(prefix));
      char name[64];
      std::snprintf(name, sizeof name, "%s", text.c_str());
      PrepareOazaName(name, kana);
      EXPECT_EQ(name, expected) << Show(text) << " " << kana;
    }
  }
}

// A name's bytes said to be left as they are by the preparation are: the
// text they hold (up to a NUL among them) comes out of PrepareOazaName
// unchanged. Names that begin with the aza word or are placeholders are
// never said to be, wherever their bytes end; names without the word's
// bytes always are.
TEST(PrepareOazaName, NamesSaidToBeLeftAsTheyAreAre) {
  for (const int kana : {0, 1}) {
    const std::string word = kana ? "おおあざ" : "大字";
    EXPECT_FALSE(OazaNameLeftAsIs(word + "北町", kana));
    EXPECT_FALSE(OazaNameLeftAsIs(word, kana));
    EXPECT_FALSE(OazaNameLeftAsIs(kana ? "おおあざなし" : "大字なし地区", kana));
    const std::string afterNul = std::string("北") + '\0' + word;
    EXPECT_FALSE(OazaNameLeftAsIs(afterNul, kana)) << "the word after a NUL";
    EXPECT_TRUE(OazaNameLeftAsIs("", kana));
    EXPECT_TRUE(OazaNameLeftAsIs("北町", kana));
    // The word's bytes cut by the end of the name's bytes.
    const std::string cut = "北" + word;
    EXPECT_TRUE(OazaNameLeftAsIs(std::string_view(cut.data(), cut.size() - 1), kana));
  }
  EXPECT_TRUE(OazaNameLeftAsIs("おおあざ", 0));
  EXPECT_TRUE(OazaNameLeftAsIs("大字", 1));
  const char* const pieces[] = {"大", "字", "お", "あ", "ざ", "北", "\x91", "\x82", "な", "し"};
  uint32_t seed = 11;
  int left = 0;
  int changed = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    const int count = 1 + static_cast<int>((seed >> 8) % 12);  // up to 24 bytes
    for (int k = 0; k < count; ++k) {
      seed = seed * 1103515245u + 12345u;
      text += pieces[(seed >> 16) % 10];
    }
    seed = seed * 1103515245u + 12345u;
    if ((seed >> 16) % 8 == 0) text.insert((seed >> 20) % (text.size() + 1), 1, '\0');
    for (const int kana : {0, 1}) {
      const std::string held = text.substr(0, text.find('\0'));  // the text the bytes hold
      char name[64];
      std::snprintf(name, sizeof name, "%s", held.c_str());
      PrepareOazaName(name, kana);
      const bool leftAlone = OazaNameLeftAsIs(text, kana);
      const bool holdsWord = text.find(kana ? "おおあざ" : "大字") != std::string::npos;
      EXPECT_EQ(leftAlone, !holdsWord) << Show(held) << " " << kana;
      if (leftAlone) {
        ++left;
        EXPECT_EQ(name, held) << Show(held) << " " << kana;
      } else {
        ++changed;
      }
    }
  }
  EXPECT_GT(left, 10000);
  EXPECT_GT(changed, 1000);
}

// Bytes compared a word at a time are the same exactly where they are:
// texts of every length up to 24 bytes, the same and differing in any one
// byte (a NUL among them), against texts of other lengths.
TEST(NameBytes, SameBytesAndBytesHeldAsByteByByte) {
  int same = 0;
  int differing = 0;
  for (std::size_t length = 0; length <= 24; ++length) {
    std::string a;
    for (std::size_t i = 0; i < length; ++i) a += static_cast<char>(0x81 + 7 * i);
    for (std::size_t other = 0; other <= 24; ++other) {
      const std::string b = a.substr(0, std::min(other, length)) +
                            std::string(other > length ? other - length : 0, '\x81');
      EXPECT_EQ(SameBytes(a, b), std::string_view(a) == std::string_view(b))
          << length << " " << other;
    }
    EXPECT_TRUE(SameBytes(a, std::string(a)));
    ++same;
    for (std::size_t at = 0; at < length; ++at) {
      for (const char c : {'\0', 'x', static_cast<char>(a[at] ^ 0x80)}) {
        std::string b = a;
        b[at] = c;
        EXPECT_FALSE(SameBytes(a, b)) << length << " at " << at;
        ++differing;
      }
    }
    // Each byte value held or not at each place.
    for (std::size_t at = 0; at < length; ++at) {
      for (const unsigned char byte : {0x00, 0x82, 0x91, 0xFF}) {
        std::string b = a;
        b[at] = static_cast<char>(byte);
        EXPECT_EQ(BytesHoldByte(b, byte), true) << length << " at " << at;
        EXPECT_EQ(BytesHoldByte(a, byte), a.find(static_cast<char>(byte)) != std::string::npos)
            << length;
      }
    }
  }
  EXPECT_EQ(same, 25);
  EXPECT_GT(differing, 800);
}
