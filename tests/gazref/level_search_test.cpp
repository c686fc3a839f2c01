// The level walk of the multi-level address search on the generated sample
// data (東京都, QVAD13), driven as the search drives it for one prefecture:
// the text normalised in an edit text, the collector set up over the
// prefecture's engine, the municipality level run. Rows land in a string
// array.
#include "gazref/level_search.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/message.h"
#include "gazref/multi_level_search.h"
#include "matching/dictionary_loaders.h"
#include "matching/edit_text.h"
#include "matching/name_level_fixture.h"
#include "matching/normalize.h"
#include "matching/sample_folder.h"
#include "support/test_util.h"
#include "tabledb/tix_format.h"

namespace {

using testutil::Show;

std::string Field(const std::string& row, int n) {
  const std::vector<std::string> f = SplitRowFields(row);
  return n >= 1 && static_cast<std::size_t>(n) <= f.size() ? f[n - 1] : std::string();
}

// Field n of every row, in row order.
std::vector<std::string> Column(const CStringArray& rows, int n) {
  std::vector<std::string> out;
  for (const std::string& r : rows) out.push_back(Field(r, n));
  return out;
}

class LevelWalk : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = sample::Folder();
    if (folder_.empty()) GTEST_SKIP() << "no build directory";
    ASSERT_TRUE(dictionaries_.Load(folder_, msg_)) << Show(msg_);
    writer_.SetOutputArray(&rows_);
    writer_.EnableLibraryProfile();
    writer_.SetIndexKind(ProbeIndexFiles(folder_.c_str()));
  }

  // Runs the municipality level of prefecture 13 (or another) on the text;
  // the level's answer.
  int Walk(const std::string& input, int32_t freeDescent = 0, int32_t code = 13,
           int32_t maxRows = -1) {
    rows_.clear();
    msg_[0] = '\0';
    count_ = 0;
    if (!files_.Open(folder_, code, true, &writer_, &dictionaries_.unification,
                     &dictionaries_.replacements)) {
      ADD_FAILURE() << "prefecture " << code << " does not open";
      return -9;
    }
    CEditText text;
    if (!text.Init(input.c_str())) return -9;
    NormalizeEditText(nullptr, &dictionaries_.unification, &text);
    collector_.AttachCandidateSet(&candidates_, static_cast<uint8_t>(code));
    if (!collector_.Setup(&writer_, &dictionaries_.unification, &dictionaries_.replacements,
                          &count_, maxRows, &stop_, freeDescent, &files_.Engine())) {
      return -9;
    }
    files_.Engine().SetKanaMatching(IsKanaOnlyText(input.c_str()));
    const int r = collector_.SearchCities(&text, msg_);
    files_.Close();
    return r;
  }

  std::string folder_;
  SearchDictionaries dictionaries_;
  CAdrsContext writer_;
  CStringArray rows_;
  CPrefectureFiles files_;
  CCandidateSet candidates_;
  CLevelCollector collector_;
  int32_t count_ = 0;
  int32_t stop_ = 0;
  char msg_[kMessageSize] = "";
};

// Rows by code (field 12), in row order.
std::vector<std::string> Codes(const CStringArray& rows) { return Column(rows, 12); }

TEST_F(LevelWalk, TextEndingAfterAnOazaListsItsChome) {
  ASSERT_EQ(Walk("千代田区丸の内"), 1) << Show(msg_);
  EXPECT_EQ(Codes(rows_), (std::vector<std::string>{"13101001001", "13101001002", "13101001003"}));
  for (const std::string& r : rows_) {
    EXPECT_EQ(SplitRowFields(r).size(), 14u) << Show(r);
    EXPECT_EQ(Field(r, 14), "4");
    EXPECT_EQ(Field(r, 2), "千代田区");
    EXPECT_EQ(Field(r, 8), "");
  }
  EXPECT_EQ(Show(rows_[0]), Show("東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,,,"
                                 "128446464,503165554,13101001001,0,4"));
  // Rows written directly: candidates are no longer written.
  EXPECT_EQ(candidates_.IsExpandable(), 0);
}

TEST_F(LevelWalk, KanjiNumeralChomeAndIgnoredPrefixes) {
  for (const char* text :
       {"千代田区丸の内三丁目", "千代田区丸の内３丁目", "千代田区大字丸の内字三丁目",
        "千代田区字丸の内小字三丁目", "千代田区丸の内大字三丁目"}) {
    ASSERT_EQ(Walk(text), 1) << Show(msg_);
    EXPECT_EQ(Codes(rows_), std::vector<std::string>{"13101001003"}) << Show(text);
  }
  // A kanji numeral the normalisation leaves (not before a unit word) is
  // tried again in digits: 三の１ reaches block １ of ３丁目.
  ASSERT_EQ(Walk("千代田区丸の内三の１"), 1) << Show(msg_);
  EXPECT_EQ(Codes(rows_), std::vector<std::string>{"1310100100300001"});
}

TEST_F(LevelWalk, NumberAndConnectorMatchAChome) {
  // １－２: the connector is consumed, ２ is the block (stored with an empty
  // 街区番号, written from its code in full-width digits).
  ASSERT_EQ(Walk("千代田区丸の内１－２"), 1) << Show(msg_);
  ASSERT_EQ(rows_.size(), 1u);
  EXPECT_EQ(Field(rows_[0], 6), "一丁目");
  EXPECT_EQ(Field(rows_[0], 8), "２");
  EXPECT_EQ(Field(rows_[0], 12), "1310100100100002");
  EXPECT_EQ(Field(rows_[0], 14), "5");
  // １の and １－ at the end stop at the chome.
  for (const char* text : {"千代田区丸の内１の", "千代田区丸の内１－"}) {
    ASSERT_EQ(Walk(text), 1) << Show(msg_);
    EXPECT_EQ(Codes(rows_), std::vector<std::string>{"13101001001"}) << Show(text);
  }
  // １２ is no chome "１" with more digits.
  ASSERT_EQ(Walk("千代田区丸の内１２"), 1) << Show(msg_);
  EXPECT_TRUE(rows_.empty());
}

TEST_F(LevelWalk, TextStoppingInsideAnOazaName) {
  ASSERT_EQ(Walk("千代田区丸"), 1) << Show(msg_);
  EXPECT_EQ(Codes(rows_), (std::vector<std::string>{"13101001001", "13101001002", "13101001003"}));
  // 大 begins both oaza of 瑞穂町 (stored as 大字箱根ケ崎 and 大字殿ケ谷); the
  // abolished 下宿 is left out.
  ASSERT_EQ(Walk("瑞穂町大"), 1) << Show(msg_);
  EXPECT_EQ(Codes(rows_),
            (std::vector<std::string>{"13303001000", "13303001A00", "13303002001", "13303002002"}));
  // Without the county, the municipality too may stop inside its name.
  ASSERT_EQ(Walk("西多摩郡瑞穂町大字殿"), 1) << Show(msg_);
  EXPECT_EQ(Codes(rows_), (std::vector<std::string>{"13303002001", "13303002002"}));
}

TEST_F(LevelWalk, BlocksFromBothSourcesWrittenOnce) {
  // Block １ lies in TC_Gaiku and in the change-code index: one row.
  ASSERT_EQ(Walk("千代田区丸の内一丁目１"), 1) << Show(msg_);
  EXPECT_EQ(Codes(rows_), std::vector<std::string>{"1310100100100001"});
  // Block ８ is only in the change-code index.
  ASSERT_EQ(Walk("千代田区丸の内一丁目８"), 1) << Show(msg_);
  ASSERT_EQ(rows_.size(), 1u);
  EXPECT_EQ(Field(rows_[0], 8), "８");
  EXPECT_EQ(Field(rows_[0], 12), "1310100100100008");
  // Every block of the chome: the table's (3 and 5 by their live rows)
  // and then the index's, whose block １ is already written.
  ASSERT_TRUE(files_.Open(folder_, 13, true, &writer_, &dictionaries_.unification,
                          &dictionaries_.replacements));
  collector_.AttachCandidateSet(&candidates_, 13);
  ASSERT_EQ(collector_.Setup(&writer_, &dictionaries_.unification, &dictionaries_.replacements,
                             &count_, -1, &stop_, 0, &files_.Engine()),
            1);
  TixEntry prefecture, city, oaza, chome;
  CAdrsEngine& e = files_.Engine();
  ASSERT_TRUE(e.ReadPrefectureEntry(1, &prefecture, msg_) &&
              e.ReadCityEntry(prefecture.childBase, 1, &city, msg_) &&
              e.ReadOazaEntry(city.childBase, 1, &oaza, msg_) &&
              e.ReadChomeEntry(oaza.childBase, 1, &chome, msg_))
      << Show(msg_);
  rows_.clear();
  count_ = 0;
  ASSERT_EQ(collector_.ListBlocks(chome.childBase, chome.childCount, "", false, msg_), 1);
  ASSERT_EQ(collector_.ListHistoryBlocks("13101001001", "", false, msg_), 1) << Show(msg_);
  EXPECT_EQ(Codes(rows_),
            (std::vector<std::string>{"1310100100100001", "1310100100100002", "1310100100100003",
                                      "1310100100100005", "1310100100100006", "1310100100100008"}));
  EXPECT_EQ(Column(rows_, 13), (std::vector<std::string>{"0", "0", "0", "0", "0", "0"}));
  EXPECT_EQ(count_, 6);
  files_.Close();
}

TEST_F(LevelWalk, BlockFooterByResidenceFlag) {
  writer_.SetFooters("番", "号", "番地", "");
  // 丸の内 blocks carry 住居表示フラグ 1, 五番町's 0.
  ASSERT_EQ(Walk("千代田区丸の内一丁目１"), 1) << Show(msg_);
  ASSERT_EQ(rows_.size(), 1u);
  EXPECT_EQ(Field(rows_[0], 8), "１番");
  ASSERT_EQ(Walk("千代田区五番町１２"), 1) << Show(msg_);
  ASSERT_EQ(rows_.size(), 1u);
  EXPECT_EQ(Field(rows_[0], 8), "１２");
  // No block footer set: none whatever the flag says.
  writer_.SetFooters("", "号", "番地", "");
  ASSERT_EQ(Walk("千代田区丸の内一丁目１"), 1) << Show(msg_);
  ASSERT_EQ(rows_.size(), 1u);
  EXPECT_EQ(Field(rows_[0], 8), "１");
}

TEST_F(LevelWalk, TextReachingAHistoryLotWritesItsRow) {
  writer_.SetFooters("番", "号", "番地", "");
  // The block's own flag (that of its first record in the index) is 0
  // for block １, 1 for block ８; lots by their own flag.
  ASSERT_EQ(Walk("千代田区丸の内一丁目１－７"), 1) << Show(msg_);
  ASSERT_EQ(rows_.size(), 1u);
  EXPECT_EQ(Field(rows_[0], 8), "１");
  EXPECT_EQ(Field(rows_[0], 9), "７号");
  EXPECT_EQ(Field(rows_[0], 12), "131010010010000100007");
  EXPECT_EQ(Field(rows_[0], 14), "6");
  EXPECT_EQ(Field(rows_[0], 10), "128450785");
  ASSERT_EQ(Walk("千代田区丸の内一丁目８－２"), 1) << Show(msg_);
  ASSERT_EQ(rows_.size(), 1u);
  EXPECT_EQ(Field(rows_[0], 8), "８番");
  EXPECT_EQ(Field(rows_[0], 9), "２号");
  EXPECT_EQ(Field(rows_[0], 12), "131010010010000800002");
  // A lot of the change history (found there first) listed from the
  // index; 番地 and 号 written out.
  ASSERT_EQ(Walk("瑞穂町箱根ヶ崎２３３５番地１号"), 1) << Show(msg_);
  ASSERT_EQ(rows_.size(), 1u);
  EXPECT_EQ(Field(rows_[0], 12), "133030010000233500001");
  EXPECT_EQ(Field(rows_[0], 6), "");
}

TEST_F(LevelWalk, CandidatesWhereALevelWroteNothing) {
  // An oaza matched with no chome below it: the oaza, its row at level 3
  // without the chome names the walk filled last.
  ASSERT_EQ(Walk("千代田区丸の内四丁目"), 1) << Show(msg_);
  EXPECT_TRUE(rows_.empty());
  ASSERT_EQ(candidates_.Count(), 1u);
  EXPECT_EQ(candidates_.At(0).kind, kCandidateOaza);
  EXPECT_EQ(Show(candidates_.At(0).row),
            Show("東京都,千代田区,ちよだく,丸の内,まるのうち,,,,,0,0,,0,3"));
  // A chome with no block of that number.
  candidates_ = CCandidateSet();
  ASSERT_EQ(Walk("千代田区丸の内一丁目９９"), 1) << Show(msg_);
  EXPECT_TRUE(rows_.empty());
  ASSERT_EQ(candidates_.Count(), 1u);
  EXPECT_EQ(candidates_.At(0).kind, kCandidateChome);
  EXPECT_EQ(Field(candidates_.At(0).row, 6), "一丁目");
  EXPECT_EQ(Field(candidates_.At(0).row, 14), "4");
  // A block with no lot beginning with the rest: the block.
  candidates_ = CCandidateSet();
  ASSERT_EQ(Walk("千代田区丸の内一丁目１－９"), 1) << Show(msg_);
  EXPECT_TRUE(rows_.empty());
  ASSERT_EQ(candidates_.Count(), 1u);
  EXPECT_EQ(candidates_.At(0).kind, kCandidateBlock);
  EXPECT_EQ(candidates_.At(0).blockText, "１");
  EXPECT_EQ(candidates_.At(0).placeCode, "13101001001");
  EXPECT_EQ(Field(candidates_.At(0).row, 8), "");
  // A candidate beside a row written directly: the candidate is kept, the
  // expandable flag is cleared.
  candidates_ = CCandidateSet();
  ASSERT_EQ(Walk("瑞穂町箱根ヶ崎東"), 1) << Show(msg_);
  EXPECT_EQ(Codes(rows_), std::vector<std::string>{"13303001A00"});
  ASSERT_EQ(candidates_.Count(), 1u);
  EXPECT_EQ(candidates_.At(0).kind, kCandidateChome);  // the placeholder chome
  EXPECT_EQ(candidates_.IsExpandable(), 0);
  // The placeholder oaza of 大山崎町 is never an oaza candidate.
  candidates_ = CCandidateSet();
  ASSERT_EQ(Walk("乙訓郡大山崎町円明寺９９", 0, 26), 1) << Show(msg_);
  ASSERT_EQ(candidates_.Count(), 1u);
  EXPECT_EQ(candidates_.At(0).kind, kCandidateChome);
}

TEST_F(LevelWalk, RowLimitSetsTheStopFlag) {
  ASSERT_EQ(Walk("千代田区丸の内", 0, 13, 2), 1) << Show(msg_);
  EXPECT_EQ(rows_.size(), 2u);
  EXPECT_EQ(stop_, 1);
  stop_ = 0;
  ASSERT_EQ(Walk("千代田区丸の内", 0, 13, 0), 1) << Show(msg_);
  EXPECT_TRUE(rows_.empty());
  EXPECT_EQ(stop_, 1);
}

TEST_F(LevelWalk, FreeDescentAndKanaReadings) {
  ASSERT_EQ(Walk("丸の内三丁目"), 1) << Show(msg_);
  EXPECT_TRUE(rows_.empty());
  ASSERT_EQ(Walk("丸の内三丁目", 1), 1) << Show(msg_);
  EXPECT_EQ(Codes(rows_), std::vector<std::string>{"13101001003"});
  ASSERT_EQ(Walk("ちよだくまるのうちさんちょうめ"), 1) << Show(msg_);
  EXPECT_EQ(Codes(rows_), std::vector<std::string>{"13101001003"});
}

// 千丁町 on a hand-made table whose normalised municipality name keeps the
// kanji (the sample builder would store １０００丁町).
TEST(LevelWalkHandMade, SenchoMachiIsComparedInDigits) {
  using matchtest::Row;
  testutil::TempDir dir;
  const std::string folder = dir.path() + "\\";
  const std::vector<matchtest::TableRows> tables = {
      {"TC_Todoufuken",
       {{{"都道府県コード", "43"},
         {"都道府県名", "熊本県"},
         {"かな読み都道府県名", "くまもとけん"},
         {"正規都道府県名", "熊本県"},
         {"正規かな読み都道府県名", "くまもとけん"}}}},
      {"TC_Shikutyoson",
       {{{"行政JISコード", "43502"},
         {"郡名", "八代郡"},
         {"市区町村名", "千丁町"},
         {"かな読み郡名", "やつしろぐん"},
         {"かな読み市区町村名", "せんちょうまち"},
         {"正規郡名", "八代郡"},
         {"正規市区町村名", "千丁町"},
         {"正規かな読み郡名", "やつしろぐん"},
         {"正規かな読み市区町村名", "せんちようまち"},
         {"状態フラグ", "0"}}}},
      {"TC_Oaza",
       {{{"地名コード", "43502001000"},
         {"大字代表点フラグ", "1"},
         {"大字通称名", "太牟田"},
         {"かな読み大字通称名", "ふとむた"},
         {"正規大字通称名", "太牟田"},
         {"正規かな読み大字通称名", "ふとむた"},
         {"状態フラグ", "0"},
         {"緯度", "117390000"},
         {"経度", "470620000"}},
        {{"地名コード", "43502001000"},
         {"大字代表点フラグ", "0"},
         {"大字通称名", "太牟田"},
         {"かな読み大字通称名", "ふとむた"},
         {"正規大字通称名", "太牟田"},
         {"正規かな読み大字通称名", "ふとむた"},
         {"状態フラグ", "0"},
         {"緯度", "117390000"},
         {"経度", "470620000"}}}},
  };
  ASSERT_TRUE(matchtest::WriteHandMadeDataSet(folder, 43, tables));
  CAdrsContext writer;
  CStringArray rows;
  writer.SetOutputArray(&rows);
  writer.EnableLibraryProfile();
  writer.SetIndexKind(1);
  CPrefectureFiles files;
  CCandidateSet candidates;
  CLevelCollector collector;
  int32_t count = 0, stop = 0;
  char msg[kMessageSize] = "";
  auto walk = [&](const char* input, int32_t kana) {
    rows.clear();
    EXPECT_TRUE(files.Open(folder, 43, true, &writer, nullptr, nullptr));
    CEditText text;
    EXPECT_TRUE(text.Init(input));
    NormalizeEditText(nullptr, nullptr, &text);
    collector.AttachCandidateSet(&candidates, 43);
    collector.Setup(&writer, nullptr, nullptr, &count, -1, &stop, 0, &files.Engine());
    files.Engine().SetKanaMatching(kana);
    EXPECT_EQ(collector.SearchCities(&text, msg), 1) << Show(msg);
    files.Close();
    return Codes(rows);
  };
  const std::vector<std::string> found = {"43502001000"};
  EXPECT_EQ(walk("千丁町太牟田", 0), found);
  EXPECT_EQ(walk("１０００丁町太牟田", 0), found);
  EXPECT_EQ(walk("八代郡千丁町", 0), found);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(Field(rows[0], 2), "八代郡千丁町");
  // Readings are compared as stored.
  EXPECT_EQ(walk("せんちょうまちふとむた", 1), found);
}

// The edit text of the search holds 511 bytes: a longer address text is
// refused as a bad parameter instead of being searched cut or not at all.
TEST(MultiLevelEntry, OverLongAddressTextIsRefused) {
  const std::string folder = sample::Folder();
  if (folder.empty()) GTEST_SKIP() << "no build directory";
  const AddressFooters footers;
  char msg[kMessageSize] = "";
  int32_t stop = 7;
  CStringArray rows;
  const std::string text = "千代田区丸の内" + std::string(600, '1');
  EXPECT_EQ(
      FindListFirst2Array(&rows, "", text.c_str(), folder.c_str(), -1, &stop, footers, 0, msg), 0);
  EXPECT_EQ(Show(msg), Show("パラメータに無効な値が渡されました！(検索文字列)"));
  EXPECT_TRUE(rows.empty());
  // Blanks do not count: they are removed first.
  const std::string spaced = "千代田区丸の内" + std::string(600, ' ');
  EXPECT_EQ(
      FindListFirst2Array(&rows, "", spaced.c_str(), folder.c_str(), -1, &stop, footers, 0, msg), 1)
      << Show(msg);
  EXPECT_EQ(rows.size(), 3u);
}

}  // namespace
