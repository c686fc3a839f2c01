// The reference library's address searches on the generated sample data
// (Database/住所: 東京都 and 京都府), and the library profile of the search
// context that they switch on.
#include "gazref/address_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "matching/adrs_context.h"
#include "matching/sample_folder.h"
#include "support/test_util.h"

namespace {

using testutil::Show;

int FieldCount(const std::string& row) {
  int n = 1;
  for (char c : row) n += c == ',' ? 1 : 0;
  return n;
}

std::string Field(const std::string& row, int n) {
  std::size_t start = 0;
  for (int i = 1; i < n; ++i) {
    start = row.find(',', start);
    if (start == std::string::npos) return std::string();
    ++start;
  }
  const std::size_t end = row.find(',', start);
  return row.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::vector<std::string> Names(const CStringArray& rows) {
  std::vector<std::string> out;
  for (const std::string& r : rows) out.push_back(Field(r, 1));
  return out;
}

class AddressSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = sample::Folder();
    if (folder_.empty()) GTEST_SKIP() << "no build directory";
  }
  // The queries on the sample folder with no row limit.
  AddressListingQuery Listing(const char* text, int32_t* flag, int32_t history = 1) {
    AddressListingQuery q;
    q.text = text;
    q.dataFolder = folder_.c_str();
    q.maxRows = -1;
    q.interrupted = flag;
    q.footers = footers_;
    q.useChangeHistory = history;
    q.message = msg_;
    return q;
  }
  AddressKeywordQuery Keyword(int32_t searchType, char* text, int32_t* flag) {
    AddressKeywordQuery q;
    q.searchType = searchType;
    q.text = text;
    q.dataFolder = folder_.c_str();
    q.maxRows = -1;
    q.interrupted = flag;
    q.footers = footers_;
    q.message = msg_;
    q.useChangeHistory = 1;
    return q;
  }
  AddressAnalysisQuery Analysis(char* text, int32_t countyOptional = 0, int32_t analyzeClass = 4,
                                int32_t defaultAzaMode = 0) {
    AddressAnalysisQuery q;
    q.text = text;
    q.dataFolder = folder_.c_str();
    q.countyOptional = countyOptional;
    q.footers = footers_;
    q.defaultAzaMode = defaultAzaMode;
    q.analyzeClass = analyzeClass;
    q.message = msg_;
    return q;
  }

  int ListNames(const char* text, int32_t deleteGun = 0, int32_t skip = 0, int32_t history = 1) {
    rows_.clear();
    AddressListingQuery q = Listing(text, &flag_, history);
    q.deleteGun = deleteGun;
    q.skipAzaNasi = skip;
    return ListAddressesGz(ArraySink(&rows_), q);
  }
  int ListCode(const char* code, int32_t skip = 0) {
    rows_.clear();
    AddressListingQuery q = Listing(code, &flag_);
    q.byCode = true;
    q.skipAzaNasi = skip;
    return ListAddressesGz(ArraySink(&rows_), q);
  }
  int Analyze(char* text, int32_t analyzeClass = 4, int32_t countyOptional = 0) {
    rows_.clear();
    return AnalyzeAddressGz(ArraySink(&rows_), Analysis(text, countyOptional, analyzeClass));
  }

  std::string folder_;
  CStringArray rows_;
  int32_t flag_ = 7;
  AddressFooters footers_;
  char msg_[1024] = "";
};

TEST_F(AddressSearch, EmptyTextListsBothPrefecturesByReading) {
  ASSERT_EQ(ListNames(""), 1) << Show(msg_);
  EXPECT_EQ(Names(rows_), (std::vector<std::string>{"京都府", "東京都"}));
  EXPECT_EQ(flag_, 0);
  EXPECT_EQ(FieldCount(rows_[0]), 6);
}

TEST_F(AddressSearch, MunicipalitiesSortedByReadingWithCountyInBrackets) {
  ASSERT_EQ(ListNames("京都府", 1), 1) << Show(msg_);
  ASSERT_EQ(rows_.size(), 3u);
  EXPECT_EQ(Field(rows_[0], 1), "大山崎町（乙訓郡）");
  EXPECT_EQ(Field(rows_[0], 2), "おおやまざきちょう（おとくにぐん）");
  EXPECT_EQ(Field(rows_[1], 1), "北区（京都市）");
  // Without the switch the county stands in front, and sorts by its reading.
  ASSERT_EQ(ListNames("京都府", 0), 1) << Show(msg_);
  EXPECT_EQ(Names(rows_),
            (std::vector<std::string>{"乙訓郡大山崎町", "京都市北区", "京都市中京区"}));
}

TEST_F(AddressSearch, PlaceholderOazaIsSkippedOnlyWhenAsked) {
  ASSERT_EQ(ListNames("京都府 乙訓郡大山崎町", 0, 0), 1) << Show(msg_);
  ASSERT_EQ(rows_.size(), 1u);
  EXPECT_EQ(Field(rows_[0], 5), "2630301");
  ASSERT_EQ(ListNames("京都府 乙訓郡大山崎町", 0, 1), 1) << Show(msg_);
  EXPECT_EQ(Names(rows_), (std::vector<std::string>{"円明寺", "大山崎"}));
  // Two or more rows: no second run.
  ASSERT_EQ(ListNames("東京都 千代田区", 0, 1), 1) << Show(msg_);
  EXPECT_EQ(Names(rows_), (std::vector<std::string>{"大手町", "五番町", "丸の内"}));
}

TEST_F(AddressSearch, FiveDigitCodeListsOaza) {
  ASSERT_EQ(ListCode("13101"), 1) << Show(msg_);
  EXPECT_EQ(Names(rows_), (std::vector<std::string>{"大手町", "五番町", "丸の内"}));
  // The placeholder oaza by code: its group code lists its aza rows.
  ASSERT_EQ(ListCode("26303", 0), 1) << Show(msg_);
  EXPECT_EQ(rows_.size(), 1u);
  ASSERT_EQ(ListCode("26303", 1), 1) << Show(msg_);
  EXPECT_EQ(Names(rows_), (std::vector<std::string>{"円明寺", "大山崎"}));
  ASSERT_EQ(ListCode("26"), 1) << Show(msg_);
  EXPECT_EQ(rows_.size(), 3u);
}

TEST_F(AddressSearch, ListingWithoutHistoryOmitsHistoryOnlyBlocks) {
  const char* chome = "東京都 千代田区 丸の内 一丁目";
  ASSERT_EQ(ListNames(chome, 0, 0, 1), 1) << Show(msg_);
  const std::vector<std::string> withHistory = Names(rows_);
  ASSERT_EQ(ListNames(chome, 0, 0, 0), 1) << Show(msg_);
  const std::vector<std::string> without = Names(rows_);
  EXPECT_LT(without.size(), withHistory.size());
  for (const std::string& name : without) {
    EXPECT_NE(std::find(withHistory.begin(), withHistory.end(), name), withHistory.end());
  }
}

TEST_F(AddressSearch, ListingFailuresAndEmptyResult) {
  rows_.clear();
  EXPECT_EQ(ListAddressesGz(ArraySink(&rows_), Listing("", nullptr)), 0);
  EXPECT_STREQ(msg_, "パラメータに無効な値が渡されました！(検索中断フラグ)");
  EXPECT_EQ(ListAddressesGz(ArraySink(nullptr), Listing("", &flag_)), 0);
  EXPECT_STREQ(msg_, "パラメータに無効な値が渡されました！(結果格納配列)");
  const std::string longText(600, 'a');
  EXPECT_EQ(ListNames(longText.c_str()), 0);
  EXPECT_STREQ(msg_, "パラメータに無効な値が渡されました！(検索文字列)");

  testutil::TempDir dir;
  const std::string file = dir.Native("result.txt");
  EXPECT_EQ(ListAddressesGz(FileSink(file.c_str()), Listing("東京都 無名区", &flag_)), 0);
  EXPECT_STREQ(msg_, "対象データがありません！[東京都 無名区]");
  EXPECT_TRUE(testutil::Exists(file));
  EXPECT_EQ(testutil::ReadBytes(file), "");
  // A file listing is sorted like the array.
  ASSERT_EQ(ListAddressesGz(FileSink(file.c_str()), Listing("", &flag_)), 1) << Show(msg_);
  EXPECT_EQ(testutil::ReadBytes(file).rfind("京都府,", 0), 0u);
}

TEST_F(AddressSearch, KeywordRetryWithoutOazaWord) {
  char text[64] = "大字丸の内";
  rows_.clear();
  ASSERT_EQ(KeywordSearchGz(ArraySink(&rows_), Keyword(1, text, &flag_)), 1) << Show(msg_);
  EXPECT_STREQ(text, "丸の内");
  ASSERT_FALSE(rows_.empty());
  EXPECT_NE(rows_[0].find("丸の内"), std::string::npos) << Show(rows_[0]);

  char none[64] = "大字無名野";
  EXPECT_EQ(KeywordSearchGz(ArraySink(&rows_), Keyword(1, none, &flag_)), 0);
  EXPECT_STREQ(msg_, "対象データがありません！[無名野]");
  EXPECT_EQ(KeywordSearchGz(ArraySink(&rows_), Keyword(1, none, nullptr)), 0);
  EXPECT_STREQ(msg_, "パラメータに無効な値が渡されました！(検索中断フラグ)");
}

// Two processes searching at once never share a work file: another
// process's "QVAD13.#W#" in the temporary folder is neither read, nor
// overwritten, nor removed, and the search leaves nothing behind.
TEST_F(AddressSearch, KeywordWorkFileStaysInTheProcessFolder) {
  testutil::TempDir temp;
  const char* before = std::getenv("TMPDIR");
  const std::string saved = before ? before : "";
  setenv("TMPDIR", temp.path().c_str(), 1);
  const std::string planted = temp.Native("QVAD13.#W#");
  const std::string foreign("\xF0\xFF\xFF\x7F", 4);
  ASSERT_TRUE(testutil::WriteBytes(planted, foreign));
  char text[64] = "丸の内";
  rows_.clear();
  const int result = KeywordSearchGz(ArraySink(&rows_), Keyword(2, text, &flag_));
  if (before) {
    setenv("TMPDIR", saved.c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
  ASSERT_EQ(result, 1) << Show(msg_);
  EXPECT_EQ(rows_.size(), 3u);
  EXPECT_EQ(testutil::ReadBytes(planted), foreign);
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(temp.path())) {
    left.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(left, std::vector<std::string>{"QVAD13.#W#"});
}

TEST_F(AddressSearch, AnalysisOfFullAddressGivesOneLongRow) {
  char text[128] = "東京都千代田区丸の内一丁目";
  ASSERT_EQ(Analyze(text), 1) << Show(msg_);
  ASSERT_EQ(rows_.size(), 1u);
  EXPECT_EQ(FieldCount(rows_[0]), 14) << Show(rows_[0]);
  EXPECT_EQ(Field(rows_[0], 1), "東京都");
}

TEST_F(AddressSearch, AnalyzeClassBoundsTheDepth) {
  char deep[128] = "東京都千代田区丸の内一丁目１番";
  ASSERT_EQ(Analyze(deep, 4), 1) << Show(msg_);
  const std::string full = rows_[0];
  char shallow[128] = "東京都千代田区丸の内一丁目１番";
  ASSERT_EQ(Analyze(shallow, 2), 1) << Show(msg_);
  EXPECT_EQ(Field(rows_[0], 8), "") << Show(rows_[0]);
  EXPECT_NE(Field(full, 8), "") << Show(full);
  EXPECT_EQ(Field(rows_[0], 6), Field(full, 6));
  char oazaOnly[128] = "東京都千代田区丸の内一丁目";
  ASSERT_EQ(Analyze(oazaOnly, 1), 1) << Show(msg_);
  EXPECT_EQ(Field(rows_[0], 6), "") << Show(rows_[0]);
}

TEST_F(AddressSearch, MunicipalityFoundTwiceIsNotDetermined) {
  char text[64] = "北区";
  // Without the county-optional switch only 東京都北区 matches.
  EXPECT_EQ(Analyze(text, 4, 0), 1) << Show(msg_);
  EXPECT_EQ(Analyze(text, 4, 1), 2);
  EXPECT_STREQ(msg_, "市区町村が特定できません！[北区]");
  EXPECT_TRUE(rows_.empty());
}

TEST_F(AddressSearch, AnalysisTriesThreeTimesAndLeavesNoFile) {
  char text[64] = "大字字無名野";
  testutil::TempDir dir;
  const std::string file = dir.Native("analysis.txt");
  EXPECT_EQ(AnalyzeAddressGz(FileSink(file.c_str()), Analysis(text)), 0);
  EXPECT_STREQ(text, "無名野");
  EXPECT_STREQ(msg_, "対象データがありません！[無名野]");
  EXPECT_FALSE(testutil::Exists(file));
  char twice[64] = "北区";
  EXPECT_EQ(AnalyzeAddressGz(FileSink(file.c_str()), Analysis(twice, 1)), 2);
  EXPECT_FALSE(testutil::Exists(file));
  EXPECT_EQ(AnalyzeAddressGz(FileSink(file.c_str()), Analysis(nullptr)), -1);
  EXPECT_STREQ(msg_, "パラメータに無効な値が渡されました！(検索文字列)");
}

// ---- Rows of the analysis in the library profile ----

TEST_F(AddressSearch, BlockFootersFollowTheAddressFlag) {
  footers_.gaiku = "番";
  footers_.oyaban = "番地";
  char marked[128] = "東京都千代田区丸の内二丁目３";
  ASSERT_EQ(Analyze(marked), 1) << Show(msg_);
  EXPECT_EQ(Field(rows_[0], 8), "３番") << Show(rows_[0]);
  // Block 6 is not marked 住居表示: no footer.
  char unmarked[128] = "東京都千代田区丸の内二丁目６";
  ASSERT_EQ(Analyze(unmarked), 1) << Show(msg_);
  EXPECT_EQ(Field(rows_[0], 8), "６") << Show(rows_[0]);
  // Without the block footer nothing is appended.
  footers_.gaiku = "";
  char again[128] = "東京都千代田区丸の内二丁目３";
  ASSERT_EQ(Analyze(again), 1) << Show(msg_);
  EXPECT_EQ(Field(rows_[0], 8), "３") << Show(rows_[0]);
}

TEST_F(AddressSearch, PlaceholderOazaInAnalysisRowsByAzaMode) {
  char text[128] = "京都府乙訓郡大山崎町円明寺";
  ASSERT_EQ(Analyze(text), 1) << Show(msg_);
  EXPECT_EQ(Field(rows_[0], 4), "") << Show(rows_[0]);
  EXPECT_EQ(Field(rows_[0], 6), "円明寺") << Show(rows_[0]);
  rows_.clear();
  char again[128] = "京都府乙訓郡大山崎町円明寺";
  ASSERT_EQ(AnalyzeAddressGz(ArraySink(&rows_), Analysis(again, 0, 4, 1)), 1) << Show(msg_);
  EXPECT_EQ(Field(rows_[0], 4), "大字なし地区") << Show(rows_[0]);
  EXPECT_EQ(Field(rows_[0], 5), "おおあざなしちく") << Show(rows_[0]);
}

// ---- The context's library profile ----

TEST(LibraryProfile, FootersOnlyWithProfileAndNumbers) {
  CAdrsContext context;
  context.SetFooters("番", "号", "番地", "");
  std::string block = "１２";
  EXPECT_EQ(context.AppendBlockFooter(&block, 1), 0);  // profile off: kort unchanged
  context.EnableLibraryProfile();
  context.SetFooters("番", "号", "番地", "");
  EXPECT_EQ(context.AppendBlockFooter(&block, 1), 1);
  EXPECT_EQ(block, "１２番");
  std::string lot = "3";
  EXPECT_EQ(context.AppendBlockFooter(&lot, 2), 1);
  EXPECT_EQ(lot, "3番地");
  std::string letters = "１Ａ";
  EXPECT_EQ(context.AppendBlockFooter(&letters, 1), 0);
  std::string huge = "99999999999";
  EXPECT_EQ(context.AppendBlockFooter(&huge, 1), 0);
  std::string kindZero = "5";
  EXPECT_EQ(context.AppendBlockFooter(&kindZero, 0), 0);
  std::string residence = "7";
  EXPECT_EQ(context.AppendLotFooter(&residence, 1), 1);
  EXPECT_EQ(residence, "7号");
  // The parent-lot footer needs the block footer.
  context.SetFooters("", "", "番地", "");
  std::string parent = "4";
  EXPECT_EQ(context.AppendBlockFooter(&parent, 2), 0);
  EXPECT_EQ(parent, "4");
  context.SetFooters("番", "", "", "");
  context.SetFootersEnabled(0);
  EXPECT_EQ(context.AppendBlockFooter(&parent, 1), 0);
  // Footers are cut to 255 bytes.
  context.SetFootersEnabled(1);
  const std::string longFooter(300, 'x');
  context.SetFooters(longFooter.c_str(), "", "", "");
  std::string n = "1";
  EXPECT_EQ(context.AppendBlockFooter(&n, 1), 1);
  EXPECT_EQ(n.size(), 256u);
}

TEST(LibraryProfile, PlaceholderNamesByAzaMode) {
  CAdrsContext context;
  std::string name = "（大字なし）", reading = "おおあざなし";
  context.TreatOazaName(&name, &reading, 0);
  EXPECT_EQ(name, "（大字なし）");  // profile off
  context.EnableLibraryProfile();
  context.TreatOazaName(&name, &reading, 0);
  EXPECT_EQ(name, "");
  EXPECT_EQ(reading, "");
  context.SetAzaModeSwitch(1);
  context.TreatOazaName(&name, &reading, 0);
  EXPECT_EQ(name, "大字なし地区");
  EXPECT_EQ(reading, "おおあざなしちく");
  std::string chome, chomeReading;
  context.TreatChomeName(&chome, &chomeReading, 0);
  EXPECT_EQ(chome, "丁目なし地区");
  EXPECT_EQ(chomeReading, "ちょうもくなしちく");
  EXPECT_EQ(context.SetDefaultAzaMode(3), 0);
  EXPECT_EQ(context.SetDefaultAzaMode(2), 1);
  context.TreatChomeName(&chome, &chomeReading, 0);
  EXPECT_EQ(chome, "");
  EXPECT_EQ(chomeReading, "");
  std::string real = "一丁目", realReading = "いっちょうめ";
  context.TreatChomeName(&real, &realReading, 0);
  EXPECT_EQ(real, "一丁目");
}

}  // namespace
