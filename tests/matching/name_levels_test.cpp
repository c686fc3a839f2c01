// The name levels over small hand-made data sets: the cases the sample data
// set does not hold (千丁町, the boundary test, a number-unit name, a number
// written another way, a placeholder beginning with 大字, prefectures whose
// names share a head, the county switch) and read failures.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "name_level_fixture.h"

namespace {

using matchtest::DataSet;
using matchtest::Options;
using matchtest::Outcome;
using matchtest::Row;
using matchtest::TableRows;
using testutil::Show;

Row Prefecture(const char* code, const char* name, const char* kana) {
  return {{"都道府県コード", code}, {"正規都道府県名", name}, {"正規かな読み都道府県名", kana}};
}

Row City(const char* code, const char* county, const char* name, const char* kana) {
  return {{"行政JISコード", code},
          {"正規郡名", county},
          {"正規市区町村名", name},
          {"正規かな読み市区町村名", kana},
          {"状態フラグ", "0"}};
}

// An oaza row (chome empty) or an aza/chome row; written and normalised
// names given.
Row Oaza(const char* code, const char* written, const char* name, const char* chomeWritten = "",
         const char* chome = "", const char* flag = "1", const char* control = "0") {
  return {{"地名コード", code},       {"グループコード", std::string(code, 7)},
          {"大字代表点フラグ", flag}, {"大字通称名", written},
          {"正規大字通称名", name},   {"字丁目名", chomeWritten},
          {"正規字丁目名", chome},    {"制御コード", control},
          {"状態フラグ", "0"},        {"座標精度", "2000"}};
}

std::vector<TableRows> Tables(std::vector<Row> prefectures) {
  return {
      {"TC_Todoufuken", std::move(prefectures)},
      {"TC_Shikutyoson",
       {City("13501", "", "千丁町", "せんちようまち"), City("13502", "", "北市", "きたし"),
        City("13503", "西郡", "東町", "ひがしまち")}},
      {"TC_Oaza",
       {
           Oaza("13502001000", "北一", "北１"),  // ends in a numeral, no chome
           Oaza("13502002000", "北三条", "北３条"),
           Oaza("13502002005", "北三条", "北３条", "五丁目", "５丁目", "0"),
           Oaza("13502003000", "上十の町", "上十の町"),          // a number inside the name
           Oaza("13502004000", "大字なし地区", "大字なし地区"),  // placeholder beginning with 大字
           Oaza("13502004001", "大字なし地区", "大字なし地区", "一丁目", "１丁目", "0"),
           Oaza("13503001000", "本郷", "本郷"),
       }},
  };
}

class HandMadeMatch : public ::testing::Test {
 protected:
  // Writes the data set (with a field left out when asked) and opens it.
  void Build(std::vector<Row> prefectures, const std::string& leaveOut = std::string()) {
    ASSERT_TRUE(
        matchtest::WriteHandMadeDataSet(Folder(), 13, Tables(std::move(prefectures)), leaveOut));
    set_ = std::make_unique<DataSet>();
    ASSERT_TRUE(set_->Open(Folder(), 13, 1));
  }
  void Build() {
    Build({Prefecture("13", "東京都", "とうきようと"), Prefecture("14", "東京", "とうきよう")});
  }
  std::string Folder() const { return dir_.path() + "\\"; }
  Outcome Run(const std::string& input, const Options& options = Options()) {
    return set_->Match(input, options, nullptr, nullptr, nullptr);
  }
  void Expect(const std::string& input, int32_t level, const char* node, const char* rest,
              const Options& options = Options()) {
    const Outcome o = Run(input, options);
    ASSERT_EQ(o.result, 1) << Show(input) << ": " << Show(o.message);
    EXPECT_EQ(o.level, level) << Show(input);
    EXPECT_EQ(set_->Describe(o), node) << Show(input);
    EXPECT_EQ(o.rest, rest) << Show(input) << ": rest " << Show(o.rest);
  }

  testutil::TempDir dir_;
  std::unique_ptr<DataSet> set_;
};

TEST_F(HandMadeMatch, SenchoMachiInKanjiAndKana) {
  Build();
  Expect("東京都千丁町", 2, "13501", "");  // the input reads １０００丁町
  Expect("とうきょうとせんちょうまち", 2, "13501", "", {.kana = 1});
}

TEST_F(HandMadeMatch, BoundaryTestKeepsANumberWhole) {
  Build();
  // 北１ must not match the head of 北１２: no oaza-only candidate.
  Expect("東京都北市北１２", 2, "13502", "北１２");
  Expect("東京都北市北１－２", 3, "13502001000", "－２");
}

TEST_F(HandMadeMatch, NumberAndUnitWord) {
  Build();
  // 北３ + 条 completes 北３条; the separator goes, ５ reaches ５丁目 through
  // its own unit word.
  Expect("東京都北市北３－５", 4, "13502002005", "");
  Expect("東京都北市北３－５", 2, "13502", "北３－５", {.numberUnit = 0});
}

TEST_F(HandMadeMatch, NumberWrittenAnotherWay) {
  Build();
  // 一〇 and 十 are both ten: the numeral branch lines them up.
  Expect("東京都北市上一〇の町", 3, "13502003000", "");
  Expect("東京都北市上一一の町", 2, "13502", "上一一の町");
}

// A placeholder whose name begins with 大字 must be recognised before the
// leading 大字 is cut from oaza names: cut first, 大字なし地区 would become
// the name なし地区.
TEST_F(HandMadeMatch, PlaceholderBeginningWithOazaWordIsNotCutIntoAName) {
  Build();
  Expect("東京都北市１丁目", 4, "13502004001", "");
  Expect("東京都北市なし地区１丁目", 2, "13502", "なし地区１丁目");
}

TEST_F(HandMadeMatch, PrefecturesSharingAHeadFirstInEntryOrderWins) {
  Build();
  Expect("東京都北市", 2, "13502", "");
  Expect("東京北市", 1, "14", "北市");
  // The other entry order: 東京 comes first and is a prefix of 東京都.
  testutil::TempDir other;
  ASSERT_TRUE(
      matchtest::WriteHandMadeDataSet(other.path() + "\\", 13,
                                      Tables({Prefecture("14", "東京", "とうきよう"),
                                              Prefecture("13", "東京都", "とうきようと")})));
  DataSet reversed;
  ASSERT_TRUE(reversed.Open(other.path() + "\\", 13, 1));
  const Outcome o = reversed.Match("東京都北市", Options(), nullptr, nullptr, nullptr);
  EXPECT_EQ(o.level, 1);
  EXPECT_EQ(reversed.Describe(o), "14");
  EXPECT_EQ(o.rest, "都北市");
}

TEST_F(HandMadeMatch, CountySwitch) {
  Build();
  Expect("東京都西郡東町本郷", 3, "13503001000", "");
  Expect("東京都東町本郷", 3, "13503001000", "");
  Expect("東京都西郡東町本郷", 3, "13503001000", "", {.countyOptional = 0});
  Expect("東京都東町本郷", 1, "13", "東町本郷", {.countyOptional = 0});
  EXPECT_EQ(set_->engine().SetCountyOptional(2), 0);
  EXPECT_EQ(set_->engine().GetCountyOptional(), 0);
}

// ---- Read failures end the whole match with 0 and the reader's message.

TEST_F(HandMadeMatch, MissingFieldEndsTheMatch) {
  struct Case {
    const char* leaveOut;
    const char* input;
    const char* table;
    const char* field;
  } cases[] = {
      {"TC_Todoufuken/正規都道府県名", "東京都北市", "TC_Todoufuken", "正規都道府県名"},
      {"TC_Shikutyoson/状態フラグ", "東京都北市", "TC_Shikutyoson", "状態フラグ"},
      {"TC_Oaza/正規大字通称名", "東京都北市北１", "TC_Oaza", "正規大字通称名"},
      {"TC_Oaza/座標精度", "東京都北市北３－５", "TC_Oaza", "座標精度"},
      {"TC_Oaza/グループコード", "東京都北市北３－５", "TC_Oaza", "グループコード"},
  };
  for (const Case& c : cases) {
    testutil::TempDir dir;
    ASSERT_TRUE(matchtest::WriteHandMadeDataSet(
        dir.path() + "\\", 13, Tables({Prefecture("13", "東京都", "とうきようと")}), c.leaveOut));
    DataSet set;
    ASSERT_TRUE(set.Open(dir.path() + "\\", 13, 1));
    const Outcome o = set.Match(c.input, Options(), nullptr, nullptr, nullptr);
    EXPECT_EQ(o.result, 0) << c.leaveOut;
    const std::string expected = std::string("データベースの値の取得に失敗しました！[DATABASE:") +
                                 dir.path() + "\\QVAD13.NDB][TABLE:" + c.table +
                                 "][FIELD:" + c.field + "]";
    EXPECT_EQ(o.message, expected) << Show(o.message);
  }
}

TEST_F(HandMadeMatch, IndexReadFailureAfterAnEarlierCandidate) {
  Build();
  // 北１ gives an oaza candidate first; the placeholder oaza further on then
  // reads its chome entry, the last entry of the file, which is cut off.
  const std::string tix = dir_.path() + "/QVAD13.TIX";
  std::string bytes = testutil::ReadBytes(tix);
  ASSERT_GT(bytes.size(), 10u);
  set_.reset();
  ASSERT_TRUE(testutil::WriteBytes(tix, bytes.substr(0, bytes.size() - 10)));
  set_ = std::make_unique<DataSet>();
  ASSERT_TRUE(set_->Open(Folder(), 13, 1));
  const Outcome o = Run("東京都北市北１－２");
  EXPECT_EQ(o.result, 0);
  EXPECT_EQ(o.message, "ファイルの読み込みに失敗しました!(" + Folder() + "QVAD13.TIX)");
  // The same text without the failing read matches.
  EXPECT_EQ(Run("東京都千丁町").level, 2);
}

TEST(MatchAddress, RefusesAnEngineThatIsNotReady) {
  CAdrsEngine engine;
  CEditText text;
  ASSERT_EQ(text.Init("東京都"), 1);
  int32_t level = -1, parent = -1;
  int16_t entry = -1;
  char msg[kMessageSize] = "";
  EXPECT_EQ(engine.MatchAddress(&text, &level, &parent, &entry, msg, nullptr), 0);
  EXPECT_STREQ(msg, "インデックスファイルがオープンされていません！");
}

}  // namespace
