#include "matching/edit_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/test_util.h"

namespace {

using testutil::Show;

std::string Text(const CEditText& e) { return e.GetText() ? e.GetText() : "<null>"; }

// The caller's text from the original pointer of position a on.
std::string Origin(const CEditText& e, int a) { return e.GetOriginalPointer(a); }

TEST(CEditText, InitKeepsTheInputAsVersionOne) {
  CEditText e;
  EXPECT_EQ(e.GetText(), nullptr);
  EXPECT_EQ(e.GetLength(), 0);
  EXPECT_EQ(e.IsEmpty(), 1);
  EXPECT_EQ(e.GetPointer(1), nullptr);
  EXPECT_STREQ(e.GetOriginalPointer(1), "");
  EXPECT_EQ(e.Replace(1, 1, "x"), 0);
  EXPECT_EQ(e.Append("x"), 0);
  EXPECT_EQ(e.SetText("x"), 0);
  EXPECT_EQ(e.Undo(), 0);

  ASSERT_EQ(e.Init("東京都"), 1);
  EXPECT_EQ(e.GetVersionCount(), 1u);
  EXPECT_EQ(Text(e), "東京都");
  EXPECT_EQ(e.GetLength(), 6);
  EXPECT_EQ(e.IsEmpty(), 0);
  EXPECT_STREQ(e.GetPointer(3), "京都");
  EXPECT_STREQ(e.GetPointer(7), "");
  EXPECT_STREQ(e.GetPointer(8), "");
  EXPECT_STREQ(e.GetPointer(0), "");
  EXPECT_EQ(e.GetVersionText(0), nullptr);
  EXPECT_EQ(e.GetVersionText(2), nullptr);

  EXPECT_EQ(e.Init(nullptr), 0);
  EXPECT_EQ(e.GetText(), nullptr);
  EXPECT_EQ(e.Init("a", 0, 16), 0);
  EXPECT_EQ(e.Init("a", 16, 0), 0);
  ASSERT_EQ(e.Init("", 1, 1), 1);  // the stores grow as needed
  EXPECT_EQ(e.IsEmpty(), 1);
  for (int k = 0; k < 40; ++k) ASSERT_EQ(e.Append("あいう"), 1);
  EXPECT_EQ(e.GetLength(), 240);
  EXPECT_EQ(e.GetVersionCount(), 41u);
  e.Clear();
  EXPECT_EQ(e.GetVersionCount(), 0u);
  EXPECT_EQ(e.GetText(), nullptr);
}

TEST(CEditText, RefusesTextsLongerThan511Bytes) {
  CEditText e;
  EXPECT_EQ(e.Init(std::string(512, 'a').c_str()), 0);
  EXPECT_EQ(e.Init(std::string(2000, 'a').c_str()), 0);
  EXPECT_EQ(e.GetText(), nullptr);
  ASSERT_EQ(e.Init(std::string(509, 'a').c_str()), 1);
  EXPECT_EQ(e.Append("bc"), 1);
  EXPECT_EQ(e.GetLength(), 511);
  EXPECT_EQ(e.Append("d"), 0);
  EXPECT_EQ(e.Replace(1, 1, "xy"), 0);
  EXPECT_EQ(e.ReplaceAll("a", "aa"), 0);  // the first edit already fails
  EXPECT_EQ(e.GetVersionCount(), 2u);
  // A conversion that outgrows the limit stops with the versions it made.
  ASSERT_EQ(e.Init(std::string(300, 'a').c_str()), 1);
  EXPECT_EQ(e.ToFullWidth(), 0);
  EXPECT_EQ(e.GetVersionCount(), 212u);  // 211 letters widened: 300 + 211 = 511
  EXPECT_EQ(e.GetLength(), 511);
  EXPECT_EQ(Origin(e, 421), std::string(90, 'a'));  // the 211th widened letter
  EXPECT_EQ(Origin(e, 423), std::string(89, 'a'));
  EXPECT_EQ(Origin(e, 511), "a");
}

TEST(CEditText, EditsFollowTheirRules) {
  CEditText e;
  ASSERT_EQ(e.Init("abcdef"), 1);
  EXPECT_EQ(e.Replace(0, 1, "x"), 0);
  EXPECT_EQ(e.Replace(1, 0, "x"), 0);
  EXPECT_EQ(e.Replace(1, 1, nullptr), 0);
  EXPECT_EQ(e.Replace(7, 1, "x"), 0);
  EXPECT_EQ(e.Replace(5, 3, "x"), 0);  // runs past the end
  EXPECT_EQ(e.GetVersionCount(), 1u);
  EXPECT_EQ(e.Replace(5, 2, "XYZ"), 1);
  EXPECT_EQ(Text(e), "abcdXYZ");

  EXPECT_EQ(e.Delete(0, 1), 0);
  EXPECT_EQ(e.Delete(8, 5), 1);  // beyond the text: no change
  EXPECT_EQ(e.Delete(7, 2), 0);  // inside, but running past the end
  EXPECT_EQ(e.GetVersionCount(), 2u);
  EXPECT_EQ(e.Delete(2, 2), 1);
  EXPECT_EQ(Text(e), "adXYZ");

  EXPECT_EQ(e.Truncate(0), 0);
  EXPECT_EQ(e.Truncate(6), 1);
  EXPECT_EQ(e.GetVersionCount(), 3u);
  EXPECT_EQ(e.Truncate(3), 1);
  EXPECT_EQ(Text(e), "ad");

  EXPECT_EQ(e.Append(nullptr), 0);
  EXPECT_EQ(e.Append(""), 1);
  EXPECT_EQ(e.GetVersionCount(), 4u);  // no version for an empty append
  EXPECT_EQ(e.Append("丁目"), 1);
  EXPECT_EQ(Text(e), "ad丁目");

  EXPECT_EQ(e.Undo(), 1);
  EXPECT_EQ(Text(e), "ad");
  EXPECT_EQ(e.Undo(), 1);
  EXPECT_EQ(Text(e), "adXYZ");
  EXPECT_STREQ(e.GetVersionText(1), "abcdef");
  EXPECT_STREQ(e.GetVersionText(2), "abcdXYZ");
}

TEST(CEditText, ReplaceAllDoesNotSearchItsReplacements) {
  CEditText e;
  ASSERT_EQ(e.Init("aXaXa"), 1);
  EXPECT_EQ(e.ReplaceAll("a", "aa"), 1);
  EXPECT_EQ(Text(e), "aaXaaXaa");
  EXPECT_EQ(e.GetVersionCount(), 4u);
  EXPECT_EQ(e.ReplaceAll("", "x"), 1);
  EXPECT_EQ(e.ReplaceAll("X", "X"), 1);
  EXPECT_EQ(e.GetVersionCount(), 4u);
  EXPECT_EQ(e.ReplaceAll("X", ""), 1);
  EXPECT_EQ(Text(e), "aaaaaa");
  EXPECT_EQ(e.ReplaceAll("q", "z"), 1);
  EXPECT_EQ(Text(e), "aaaaaa");

  // A trail byte 0x5C (ソ = 83 5C) is no backslash.
  ASSERT_EQ(e.Init("ソ\\表\\"), 1);
  EXPECT_EQ(e.ReplaceAll("\\", "/"), 1);
  EXPECT_EQ(Text(e), "ソ/表/");
  // The search text may come from the object itself.
  ASSERT_EQ(e.Init("ababab"), 1);
  EXPECT_EQ(e.ReplaceAll(e.GetPointer(5), "c"), 1);
  EXPECT_EQ(Text(e), "ccc");
}

TEST(CEditText, SetTextUsesAtMostOneEdit) {
  struct Case {
    const char* from;
    const char* to;
    uint32_t versions;
  } cases[] = {
      {"東京都港区", "東京都港区", 1},
      {"東京都", "東京都港区", 2},
      {"東京都港区", "東京都", 2},
      {"東京都港区", "東京府", 2},
      {"東京都", "", 2},
      {"", "", 1},
      {"", "大阪", 2},
      {"\x82\xA0", "\x82\xA1", 2},  // one byte differs
  };
  for (const Case& c : cases) {
    CEditText e;
    ASSERT_EQ(e.Init(c.from), 1);
    EXPECT_EQ(e.SetText(c.to), 1) << Show(c.from) << " -> " << Show(c.to);
    EXPECT_EQ(Text(e), c.to);
    EXPECT_EQ(e.GetVersionCount(), c.versions) << Show(c.from) << " -> " << Show(c.to);
  }
  CEditText e;
  ASSERT_EQ(e.Init("abc"), 1);
  EXPECT_EQ(e.SetText(nullptr), 0);
  // A text taken from the object's own store.
  ASSERT_EQ(e.Append("def"), 1);
  EXPECT_EQ(e.SetText(e.GetVersionText(1)), 1);
  EXPECT_EQ(Text(e), "abc");
}

// --- position mapping --------------------------------------------------------

// Replace, Delete and Append are held to a model below.
TEST(CEditText, MapsPositionsBackThroughEdits) {
  CEditText e;
  // ｶﾞ (2 bytes) -> ガ (2 bytes): nothing moves.
  ASSERT_EQ(e.Init("1ｶﾞ2"), 1);
  ASSERT_EQ(e.ToFullWidth(), 1);
  EXPECT_EQ(Text(e), "１ガ２");
  EXPECT_EQ(Origin(e, 3), "ｶﾞ2");
  EXPECT_EQ(Origin(e, 4), "ﾞ2");
  EXPECT_EQ(Origin(e, 5), "2");
  EXPECT_EQ(Origin(e, 0), "");
  EXPECT_EQ(Origin(e, 7), "");  // beyond the current text

  // Appended text has no origin in the input.
  ASSERT_EQ(e.Init("ab"), 1);
  ASSERT_EQ(e.Append("cd"), 1);
  EXPECT_EQ(Origin(e, 2), "b");
  EXPECT_EQ(Origin(e, 3), "");
  // Same-length replacement leaves positions as they are.
  ASSERT_EQ(e.Init("三丁目１"), 1);
  ASSERT_EQ(e.NumeralsBeforeUnitsToDigits(), 1);
  EXPECT_EQ(Text(e), "３丁目１");
  EXPECT_EQ(Origin(e, 3), "丁目１");
}

// Origins by a model: for each byte of the current text, the 1-based input
// position it maps to (0 = none), updated by the mapping rules of an edit.
struct Model {
  std::vector<int> origin;
  int inputLength = 0;
  void Init(int length) {
    inputLength = length;
    origin.clear();
    for (int k = 1; k <= length; ++k) origin.push_back(k);
  }
  void Edit(int p, int oldLength, int newLength) {
    if (newLength == oldLength) return;
    std::vector<int> next(origin.begin(), origin.begin() + (p - 1));
    const int at = p - 1 < static_cast<int>(origin.size()) ? origin[p - 1] : 0;
    for (int k = 0; k < newLength; ++k) next.push_back(at);
    next.insert(next.end(), origin.begin() + (p - 1 + oldLength), origin.end());
    origin = next;
  }
};

TEST(CEditText, RandomEditsMapLikeTheModel) {
  std::mt19937 rng(1234);
  const std::vector<std::string> pieces = {"", "a", "bc", "丁目", "Ｚ", "xyz", "あいう"};
  for (int round = 0; round < 200; ++round) {
    CEditText e;
    Model m;
    std::string start = "Input" + std::to_string(round);
    ASSERT_EQ(e.Init(start.c_str()), 1);
    m.Init(static_cast<int>(start.size()));
    for (int step = 0; step < 12; ++step) {
      const int length = e.GetLength();
      const std::string piece = pieces[rng() % pieces.size()];
      switch (rng() % 3) {
        case 0: {  // replace
          if (length == 0) break;
          const int p = 1 + static_cast<int>(rng() % length);
          const int c = 1 + static_cast<int>(rng() % (length - p + 1));
          ASSERT_EQ(e.Replace(p, c, piece.c_str()), 1);
          m.Edit(p, c, static_cast<int>(piece.size()));
          break;
        }
        case 1: {  // delete
          if (length == 0) break;
          const int p = 1 + static_cast<int>(rng() % length);
          const int c = 1 + static_cast<int>(rng() % (length - p + 1));
          ASSERT_EQ(e.Delete(p, c), 1);
          m.Edit(p, c, 0);
          break;
        }
        default:  // append
          ASSERT_EQ(e.Append(piece.c_str()), 1);
          if (!piece.empty()) m.Edit(length + 1, 0, static_cast<int>(piece.size()));
          break;
      }
      ASSERT_EQ(static_cast<int>(m.origin.size()), e.GetLength());
      for (int a = 1; a <= e.GetLength(); ++a) {
        const int o = m.origin[a - 1];
        const std::string expected = o == 0 ? "" : start.substr(o - 1);
        ASSERT_EQ(Origin(e, a), expected) << "round " << round << " step " << step << " a " << a;
      }
    }
  }
}

// --- marks and rollback ---------------------------------------------------------

TEST(CEditText, LengthFollowsEveryEditAndUndo) {
  CEditText e;
  ASSERT_EQ(e.Init("東京都ABC"), 1);
  auto same = [&] { return e.GetLength() == static_cast<int>(std::strlen(e.GetText())); };
  EXPECT_TRUE(same());
  const int16_t mark = e.BeginMark();
  ASSERT_EQ(e.Replace(1, 2, "x"), 1);
  EXPECT_TRUE(same());
  ASSERT_EQ(e.Append("あいう"), 1);
  EXPECT_TRUE(same());
  ASSERT_EQ(e.Truncate(3), 1);
  EXPECT_EQ(e.GetLength(), 2);
  ASSERT_EQ(e.ReplaceAll("x", ""), 1);
  EXPECT_TRUE(same());
  e.RollbackTo(mark);
  EXPECT_STREQ(e.GetText(), "東京都ABC");
  EXPECT_EQ(e.GetLength(), 9);
  ASSERT_EQ(e.Truncate(1), 1);
  EXPECT_EQ(e.GetLength(), 0);
  EXPECT_EQ(e.GetPointer(1)[0], '\0');
  CEditText none;
  EXPECT_EQ(none.GetLength(), 0);
}

TEST(CEditText, AnEditTextAfterOthersEndedStartsClean) {
  // The stores of ended edit texts are taken up again: nothing of their
  // versions may show through.
  for (int round = 0; round < 3; ++round) {
    std::vector<std::unique_ptr<CEditText>> ended;
    for (int k = 0; k < 12; ++k) {
      ended.push_back(std::make_unique<CEditText>());
      ASSERT_EQ(ended.back()->Init("東京都千代田区"), 1);
      for (int n = 0; n < 40; ++n) ASSERT_EQ(ended.back()->Append("あ"), 1);
    }
    ended.clear();
    CEditText e;
    ASSERT_EQ(e.Init("ab"), 1);
    EXPECT_EQ(e.GetVersionCount(), 1u);
    EXPECT_STREQ(e.GetText(), "ab");
    EXPECT_EQ(e.GetLength(), 2);
    const int16_t mark = e.BeginMark();
    ASSERT_EQ(e.Replace(2, 1, "xyz"), 1);
    EXPECT_STREQ(e.GetText(), "axyz");
    EXPECT_STREQ(e.GetOriginalPointer(2), "b");
    e.RollbackTo(mark);
    EXPECT_STREQ(e.GetText(), "ab");
  }
}

TEST(CEditText, RollbackRestoresEarlierVersions) {
  CEditText e;
  ASSERT_EQ(e.Init("東京都港区芝公園"), 1);
  ASSERT_EQ(e.ReplaceAll("都", "都 "), 1);  // made while the counter is 0
  const std::string normalised = Text(e);

  EXPECT_EQ(e.BeginMark(), 1);
  ASSERT_EQ(e.Delete(1, 7), 1);  // a level consumed
  const std::string level1 = Text(e);
  EXPECT_EQ(e.BeginMark(), 2);
  ASSERT_EQ(e.Delete(1, 4), 1);
  ASSERT_EQ(e.Append("x"), 1);
  EXPECT_EQ(e.BeginMark(), 3);
  ASSERT_EQ(e.Delete(1, 2), 1);

  e.RollbackTo(5);  // above the counter: nothing happens
  EXPECT_EQ(e.GetMarkCounter(), 3);
  EXPECT_EQ(e.GetVersionCount(), 6u);

  e.RollbackTo(2);
  EXPECT_EQ(Text(e), level1);
  EXPECT_EQ(e.GetMarkCounter(), 2);
  EXPECT_EQ(e.BeginMark(), 3);  // m + 1 after a rollback to m
  ASSERT_EQ(e.Delete(1, 2), 1);
  e.RollbackTo(1);
  EXPECT_EQ(Text(e), normalised);  // version 1 and the unmarked versions survive
  EXPECT_EQ(e.GetVersionCount(), 2u);
  EXPECT_EQ(e.BeginMark(), 2);
  e.RollbackTo(1);
  EXPECT_EQ(Text(e), normalised);
  // The store is reused after a rollback.
  ASSERT_EQ(e.Append("!"), 1);
  EXPECT_EQ(Text(e), normalised + "!");
  EXPECT_STREQ(e.GetVersionText(1), "東京都港区芝公園");
}

TEST(CEditText, MarkCounterWrapsAsSixteenBits) {
  CEditText e;
  ASSERT_EQ(e.Init("a"), 1);
  for (int k = 0; k < 32766; ++k) e.BeginMark();
  EXPECT_EQ(e.BeginMark(), 32767);
  EXPECT_EQ(e.BeginMark(), -32768);
  ASSERT_EQ(e.Append("b"), 1);
  e.RollbackTo(32767);  // above the (negative) counter: nothing happens
  EXPECT_EQ(Text(e), "ab");
  EXPECT_EQ(e.GetMarkCounter(), -32768);
}

// --- conversions ------------------------------------------------------------------

TEST(CEditText, CharacterConversions) {
  struct Case {
    const char* name;
    int (CEditText::*step)();
    const char* in;
    const char* out;
  } cases[] = {
      {"full width", &CEditText::ToFullWidth, "abc12-ｶﾞｰﾊﾟ!東", "ａｂｃ１２－ガーパ！東"},
      {"full width, nothing to do", &CEditText::ToFullWidth, "東京", "東京"},
      {"katakana", &CEditText::KatakanaToHiragana, "カスミガセキ", "かすみがせき"},
      {"katakana keeps ヴヵヶ", &CEditText::KatakanaToHiragana, "ヴヵヶケ", "ヴヵヶけ"},
      {"katakana skips half width", &CEditText::KatakanaToHiragana, "ｶカ", "ｶか"},
      {"small kana", &CEditText::SmallHiraganaToLarge, "ちょうめっ", "ちようめつ"},
      {"small katakana untouched", &CEditText::SmallHiraganaToLarge, "ョ", "ョ"},
      {"half kana", &CEditText::HalfKanaToHiragana, "ｶﾞｯｺｳ東ﾊﾟ", "がっこう東ぱ"},
      {"half kana, lone mark", &CEditText::HalfKanaToHiragana, "ﾞA", "ﾞA"},
  };
  for (const Case& c : cases) {
    CEditText e;
    ASSERT_EQ(e.Init(c.in), 1);
    EXPECT_EQ((e.*c.step)(), 1) << c.name;
    EXPECT_EQ(Text(e), c.out) << c.name << ": " << Show(Text(e));
  }
  // One version per changed character.
  CEditText e;
  ASSERT_EQ(e.Init("aｶ東b"), 1);
  ASSERT_EQ(e.ToFullWidth(), 1);
  EXPECT_EQ(e.GetVersionCount(), 4u);
  EXPECT_EQ(Origin(e, 3), "ｶ東b");
  EXPECT_EQ(Origin(e, 4), "ｶ東b");
  EXPECT_EQ(Origin(e, 5), "東b");
  EXPECT_EQ(Origin(e, 7), "b");
}

TEST(CEditText, NumeralsBeforeUnitWords) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      // (The examples of the whole normalisation are in normalize_test.)
      {"西三条四丁目五番六号", "西３条４丁目５番６号"},
      {"十二ノ三", "１２ノ３"},  // ノ is a unit word (before any kana conversion)
      {"二区二区", "２区２区"},
      {"〇一丁目", "１丁目"},
      {"三丁目三丁目三", "３丁目３丁目３"},
      {"２丁目", "２丁目"},
      {"", ""},
  };
  for (const Case& c : cases) {
    CEditText e;
    ASSERT_EQ(e.Init(c.in), 1);
    EXPECT_EQ(e.NumeralsBeforeUnitsToDigits(), 1) << Show(c.in);
    EXPECT_EQ(Text(e), c.out) << Show(c.in) << " gave " << Show(Text(e));
  }
  // Only the changed stretch is edited, and positions map back.
  CEditText e;
  ASSERT_EQ(e.Init("芝二十三番"), 1);
  ASSERT_EQ(e.NumeralsBeforeUnitsToDigits(), 1);
  EXPECT_EQ(Text(e), "芝２３番");
  EXPECT_EQ(e.GetVersionCount(), 2u);
  EXPECT_EQ(Origin(e, 3), "二十三番");
  EXPECT_EQ(Origin(e, 5), "二十三番");
  EXPECT_EQ(Origin(e, 7), "番");
}

}  // namespace
