#include "matching/name_compare.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "matching/normalize.h"
#include "pair_list_fixture.h"
#include "support/test_util.h"

namespace {

using testutil::Show;

using pairtest::FillList;

struct Case {
  const char* name;  // what the case shows
  const char* input;
  const char* tableName;
  int direction, consumed, flag;
};

void RunCases(const std::vector<Case>& cases, CCharDictionary* dict, const CRecordList* list,
              const CRecordList* extra) {
  for (const Case& c : cases) {
    int flag = -1;
    EXPECT_EQ(CompareNameVariantsKanji(c.input, c.tableName, dict, list, c.direction, extra, &flag),
              c.consumed)
        << c.name << ": " << Show(c.tableName) << " against " << Show(c.input);
    if (c.consumed > 0) {
      EXPECT_EQ(flag, c.flag) << c.name;
    }
    int flag2 = -1;
    EXPECT_EQ(CompareNameVariants(c.input, c.tableName, dict, list, c.direction, 0, extra, &flag2),
              c.consumed)
        << c.name;
  }
}

TEST(CompareNameVariantsKanji, VariantForms) {
  RunCases(
      {
          {"plain prefix", "芝公園４丁目", "芝公園", 0, 6, 0},
          {"numeral rule", "５番町１", "五番町", 0, 6, 0},
          {"numeral rule, kanji in the input", "十五番地", "１５番", 0, 6, 0},
          {"different values", "５０番町", "五番町", 0, 0, 0},
          {"字 dropped from the input", "山田字川口", "山田川口", 0, 10, 1},
          {"字 dropped from the name", "山田川口１", "山田字川口", 0, 8, 1},
          {"大字 dropped from the input", "山田大字川口", "山田川口", 0, 12, 1},
          {"大字 dropped from the name", "北山田川口", "北山田大字川口", 0, 10, 1},
          {"大字 at the start of the name", "山田", "大字山田", 0, 0, 0},
          {"々 in the name", "佐佐木町", "佐々木", 0, 6, 1},
          {"々 in the input", "佐々木町", "佐佐木", 0, 6, 1},
          {"々々 in the name", "部分部分町", "部分々々", 0, 8, 1},
          {"々 too early", "々木", "々木", 0, 4, 0},
          {"connecting kana in the name", "一瀬", "一の瀬", 0, 4, 1},
          {"connecting kana in the input", "一の瀬２", "一瀬", 0, 6, 1},
          {"first characters differ", "西山田", "東山田", 0, 0, 0},
          {"empty input", "", "山田", 0, 0, 0},
      },
      nullptr, nullptr, nullptr);
}

TEST(CompareNameVariantsKanji, DirectionWords) {
  RunCases(
      {
          {"通 extended over 通り", "三条通り", "三条通", 1, 8, 0},
          {"no extension when off", "三条通り", "三条通", 0, 6, 0},
          {"通 and 上る", "河原町３条上る", "河原町通３条上る", 1, 14, 1},
          {"off: no match", "河原町３条上る", "河原町通３条上る", 0, 0, 0},
          {"dropped 町 in the name", "河原３条", "河原町３条", 1, 8, 1},
          {"dropped 通り in the input", "烏丸通り七条", "烏丸七条", 1, 12, 1},
          {"西入 extended over 西入る", "西入る", "西入", 1, 6, 0},
          {"東入 extended over 東入る", "三条東入る", "三条東入", 1, 10, 0},
          {"下る against 下がる", "七条下がる", "七条下る", 1, 10, 1},
          {"上る against 上がる", "三条上がる", "三条上る", 1, 10, 1},
      },
      nullptr, nullptr, nullptr);
}

// The Kyoto direction words read 上る / 上がる and 下る / 下がる: "上ける" is
// no form of them.
TEST(CompareNameVariantsKanji, DirectionWordsReadAgaruNotAkeru) {
  RunCases(
      {
          {"上 extended over 上がる", "河原町上がる", "河原町上", 1, 12, 0},
          {"上 not extended over 上ける", "河原町上ける", "河原町上", 1, 8, 0},
          {"下 extended over 下がる", "河原町下がる", "河原町下", 1, 12, 0},
          {"上る against 上ける", "三条上ける", "三条上る", 1, 6, 1},
      },
      nullptr, nullptr, nullptr);
  const char* const up[] = {"上", "上る", "上がる"};
  EXPECT_EQ(ExtendOverDirectionWord("上がる", 2), 6);
  EXPECT_EQ(ExtendOverDirectionWord("上ける", 2), 2);
  EXPECT_EQ(MatchLongestVariant("上がる東", up, 3), 6);
  EXPECT_EQ(MatchLongestVariant("上ける", up, 3), 2);
}

TEST(CompareNameVariantsKanji, ReplacementLists) {
  CRecordList onName;
  FillList(onName, {{"霞ヶ関", "霞が関"}});
  // The list applied to the name: 霞ヶ関 becomes 霞が関.
  RunCases({{"list on the name", "霞が関１", "霞ヶ関", 0, 6, 1}}, nullptr, &onName, nullptr);
  CRecordList onInput;
  FillList(onInput, {{"が", "ヶ"}});
  // The list applied to the input: が becomes ヶ, mapped back.
  RunCases({{"list on the input", "霞が関", "霞ヶ関", 0, 6, 1}}, nullptr, &onInput, nullptr);

  // Extra (user) pairs take part in every comparison.
  CRecordList extra;
  FillList(extra, {{"け", "が"}});
  RunCases({{"extra pairs", "霞け関１", "霞が関", 0, 6, 0}}, nullptr, nullptr, &extra);
}

// The first replacement pair that occurs in the input is applied to it once;
// the count is corrected for it only when it lies inside the matched part.
TEST(CompareNameVariantsKanji, ReplacementOutsideTheMatchLeavesTheCountAlone) {
  CRecordList list;
  FillList(list, {{"１０００", "千"}});
  int flag = 0;
  EXPECT_EQ(
      CompareNameVariantsKanji("山田字川口１０００", "山田川口", nullptr, &list, 0, nullptr, &flag),
      10);
  EXPECT_EQ(flag, 1);
  // Inside the match the count covers the replaced (here: removed) text.
  CRecordList inside;
  FillList(inside, {{"ヶ", ""}});
  EXPECT_EQ(CompareNameVariantsKanji("霞ヶ字関町", "霞関", nullptr, &inside, 0, nullptr, &flag), 8);
}

TEST(CompareNameVariantsKanji, NumeralsNormalisedWhenTheInputHoldsZeros) {
  CCharDictionary dict;
  ASSERT_EQ(dict.Create(1, sizeof(PairRecord), 1), 1);
  PairRecord r{};
  std::strcpy(r.search, "髙");
  std::strcpy(r.replacement, "高");
  ASSERT_EQ(dict.Add(&r), 1);
  int flag = -1;
  EXPECT_EQ(
      CompareNameVariantsKanji("高田１００番", "髙田１００", &dict, nullptr, 0, nullptr, &flag),
      10);
  EXPECT_EQ(flag, 0);
  // Without zeros in the input the step is not taken.
  EXPECT_EQ(CompareNameVariantsKanji("高田１２番", "髙田１２", &dict, nullptr, 0, nullptr, &flag),
            0);
}

TEST(CompareNameVariantsKana, PrefixWords) {
  struct KanaCase {
    const char* input;
    const char* name;
    int consumed, flag;
  } cases[] = {
      {"やまだかわぐち", "やまだ", 6, 0},
      {"やまだあざかわぐち", "やまだかわぐち", 18, 1},
      {"やまだかわぐち", "やまだあざかわぐち", 14, 1},
      {"やまだおおあざかわ", "やまだかわ", 18, 1},
      {"やまだかわ１", "やまだおおあざかわ", 10, 1},
      {"やまだ", "おおあざやまだ", 0, 1},
      {"おおあざやまだ", "やまだ", 0, 1},
      {"かわぐち", "やまだ", 0, 1},
  };
  for (const KanaCase& c : cases) {
    int flag = -1;
    EXPECT_EQ(CompareNameVariantsKana(c.input, c.name, nullptr, nullptr, nullptr, &flag),
              c.consumed)
        << Show(c.name) << " against " << Show(c.input);
    EXPECT_EQ(flag, c.flag) << Show(c.name);
    EXPECT_EQ(CompareNameVariants(c.input, c.name, nullptr, nullptr, 1, 1, nullptr, &flag),
              c.consumed);
  }
}

TEST(ComparePrefixTolerant, NumeralsAndExtraPairs) {
  struct PrefixCase {
    const char* input;
    const char* name;
    int result, consumed;
  } cases[] = {
      {"東京都", "", 1, 0},  // an empty name matches with nothing consumed
      {"", "", 1, 0},
      {"５番町１", "五番町", 1, 6},
      {"２３番", "二十三", 1, 4},
      {"二十三番", "２３", 1, 6},
      {"５０番", "五", 0, 0},
      {"五番", "五", 1, 2},
      {"１二番", "１２", 1, 4},        // run by run: １ = １, 二 = ２
      {"十万", "１０００００", 0, 0},  // 十万 does not read
      {"ab", "ab", 1, 2},
      {"abc", "aBc", 0, 0},
      {"山", "山田", 0, 0},
  };
  for (const PrefixCase& c : cases) {
    int consumed = -1;
    EXPECT_EQ(ComparePrefixTolerant(c.input, c.name, nullptr, &consumed), c.result)
        << Show(c.name) << " against " << Show(c.input);
    EXPECT_EQ(consumed, c.consumed) << Show(c.name) << " against " << Show(c.input);
  }
  CRecordList extra;
  FillList(extra, {{"け", "が"}});
  int consumed = 0;
  EXPECT_EQ(ComparePrefixTolerant("霞け関１", "霞が関", &extra, &consumed), 1);
  EXPECT_EQ(consumed, 6);
  // Pairs that change the rest of the input too refuse the match.
  CRecordList both;
  FillList(both, {{"け", "が"}, {"１", "２"}});
  EXPECT_EQ(ComparePrefixTolerant("霞け関１", "霞が関", &both, &consumed), 0);
  // The name is compared after the pairs as well, and stays as given.
  char name[16] = "霞け関";
  EXPECT_EQ(ComparePrefixTolerant("霞が関１", name, &extra, &consumed), 1);
  EXPECT_EQ(consumed, 6);
  EXPECT_STREQ(name, "霞け関");
}

// A scope takes the pairs as they stood when it began; the next scope sees
// a changed list, and comparisons outside any scope read the list itself.
TEST(ComparePrefixTolerant, ExtraPairsScopeSeesTheListOfItsStart) {
  CRecordList extra;
  FillList(extra, {{"け", "が"}});
  int consumed = 0;
  {
    const CExtraPairsScope scope(&extra);
    EXPECT_EQ(ComparePrefixTolerant("霞け関１", "霞が関", &extra, &consumed), 1);
    EXPECT_EQ(consumed, 6);
    EXPECT_EQ(ComparePrefixTolerant("霞ケ関１", "霞が関", &extra, &consumed), 0);
    // Another list inside the scope is read as it stands.
    CRecordList other;
    FillList(other, {{"ケ", "が"}});
    EXPECT_EQ(ComparePrefixTolerant("霞ケ関１", "霞が関", &other, &consumed), 1);
    EXPECT_EQ(ComparePrefixTolerant("霞け関１", "霞が関", &extra, &consumed), 1);
    other.Free();
  }
  auto* pair = static_cast<PairRecord*>(extra.GetPtr(1));
  std::strcpy(pair->search, "ケ");
  EXPECT_EQ(ComparePrefixTolerant("霞け関１", "霞が関", &extra, &consumed), 0);
  EXPECT_EQ(ComparePrefixTolerant("霞ケ関１", "霞が関", &extra, &consumed), 1);
  {
    const CExtraPairsScope scope(&extra);
    EXPECT_EQ(ComparePrefixTolerant("霞け関１", "霞が関", &extra, &consumed), 0);
    EXPECT_EQ(ComparePrefixTolerant("霞ケ関１", "霞が関", &extra, &consumed), 1);
    EXPECT_EQ(consumed, 6);
  }
  extra.Free();
}

TEST(DropConnectingKana, BetweenTwoKanjiOnly) {
  struct DropCase {
    const char* name;
    const char* out;  // null: nothing dropped
  } cases[] = {
      {"一の瀬", "一瀬"},
      {"三つ木", "三木"},
      {"一け瀬", "一瀬"},
      {"一の", nullptr},
      {"の瀬", nullptr},
      {"あのう", nullptr},
      {"一ノ瀬", nullptr},
      {"一の瀬の木", "一瀬の木"},
      {"一のあ", nullptr},
      {"一の瀬つ木", "一瀬つ木"},
      {"あの瀬一つ木", "あの瀬一木"},
      {"", nullptr},
  };
  for (const DropCase& c : cases) {
    char out[64] = "untouched";
    EXPECT_EQ(DropConnectingKana(c.name, out), c.out ? 1 : 0) << Show(c.name);
    EXPECT_STREQ(out, c.out ? c.out : "untouched") << Show(c.name);
  }
}

TEST(ExtendOverDirectionWord, Table) {
  struct ExtendCase {
    const char* text;
    int n, result;
  } cases[] = {
      {"三条上る", 6, 8}, {"三条上がる", 6, 10}, {"三条下る", 6, 8}, {"三条通り", 6, 8},
      {"三条通る", 6, 6}, {"西入る", 4, 6},      {"東入る", 4, 6},   {"三条西入る", 8, 10},
      {"三条上", 6, 6},   {"上る", 1, 1},        {"上る", 0, 0},     {"ソ上る", 4, 6},
      {"a上る", 3, 5},    {"西入る", 2, 2},      {"三条上る", 4, 4}, {"三条上る", 9, 9},
  };
  for (const ExtendCase& c : cases)
    EXPECT_EQ(ExtendOverDirectionWord(c.text, c.n), c.result) << Show(c.text) << " " << c.n;
}

TEST(MatchLongestVariant, LastListedFirst) {
  const char* const street[] = {"通", "通り"};
  EXPECT_EQ(MatchLongestVariant("通り", street, 2), 4);
  EXPECT_EQ(MatchLongestVariant("通る", street, 2), 2);
  EXPECT_EQ(MatchLongestVariant("町", street, 2), 0);
  EXPECT_EQ(MatchLongestVariant("通り", street, 1), 2);
  EXPECT_EQ(MatchLongestVariant("", street, 2), 0);
}

TEST(CompareNameVariantsKanji, LongTextsAreComparedWithoutOverrun) {
  const std::string longInput = std::string(300, '\x88') + "山田";  // odd bytes on purpose
  std::string longName;
  for (int k = 0; k < 300; ++k) longName += "山";
  int flag = 0;
  EXPECT_EQ(CompareNameVariantsKanji(longInput.c_str(), longName.c_str(), nullptr, nullptr, 1,
                                     nullptr, &flag),
            0);
  std::string same = longName + "町";
  EXPECT_EQ(
      CompareNameVariantsKanji(same.c_str(), longName.c_str(), nullptr, nullptr, 1, nullptr, &flag),
      600);
  CRecordList list;
  FillList(list, {{"山", "川"}});
  EXPECT_EQ(CompareNameVariantsKanji(same.c_str(), (longName + "々").c_str(), nullptr, &list, 1,
                                     &list, &flag),
            0);
}

}  // namespace
