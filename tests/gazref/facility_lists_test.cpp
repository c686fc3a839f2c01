// The category list and the administrative-area list, on the sample
// facility folder of the build tree and on small trees of their own. Every
// test runs with a temporary folder of its own, which must be empty again
// after each call.

#include "gazref/facility_lists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "common/message.h"
#include "facility_folder.h"
#include "gazref/facility_search.h"
#include "gazref/facility_tree.h"
#include "plat/cp932.h"
#include "support/test_util.h"
#include "tabledb/tag_db.h"

namespace {

using facilitydata::FacilityRow;
using facilitytest::Described;
using facilitytest::FacilityFolder;
using testutil::Show;

const std::set<std::string> kExcluded = {"公衆トイレ", "使用しない", "その他"};

// The prefecture and the rest of an administrative name, as "pref,rest".
std::string AreaRow(const std::string& area) {
  char pref[kPrefectureTextSize];
  const char* rest = "";
  SplitPrefectureName(area.c_str(), pref, &rest);
  return std::string(pref) + "," + rest;
}

// The names of one category level (the 大分類 when major is empty, else the
// 中分類 of that 大分類) of the facilities that pass the area filters, in byte
// order, once each, without the excluded names.
std::vector<std::string> ExpectedCategories(const std::string& major, const std::string& pref,
                                            const std::string& muni) {
  std::set<std::string> names;
  for (const FacilityRow& r : Described().facilities) {
    if (!major.empty() && r.major != major) continue;
    const std::string row = AreaRow(r.area);
    const std::string head = row.substr(0, row.find(','));
    const std::string rest = row.substr(row.find(',') + 1);
    if (!pref.empty() && (head != pref || (!muni.empty() && rest != muni))) continue;
    const std::string& name = major.empty() ? r.major : r.middle;
    if (kExcluded.count(name) == 0) names.insert(name);
  }
  return std::vector<std::string>(names.begin(), names.end());
}

// The area rows of the facilities of the categories, in byte order of the
// names.
std::vector<std::string> ExpectedAreas(const std::string& major, const std::string& middle,
                                       const std::string& minor) {
  std::set<std::string> areas;
  for (const FacilityRow& r : Described().facilities) {
    if ((major.empty() || r.major == major) && (middle.empty() || r.middle == middle) &&
        (minor.empty() || r.minor == minor)) {
      areas.insert(r.area);
    }
  }
  std::vector<std::string> rows;
  for (const auto& a : areas) rows.push_back(AreaRow(a));
  return rows;
}

class FacilityListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = FacilityFolder();
    ASSERT_FALSE(folder_.empty());
    const char* old = std::getenv("TMPDIR");
    hadTmp_ = old != nullptr;
    if (hadTmp_) oldTmp_ = old;
    setenv("TMPDIR", tmp_.path().c_str(), 1);
  }
  void TearDown() override {
    if (hadTmp_) {
      setenv("TMPDIR", oldTmp_.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }

  // Nothing is left in the temporary folder.
  void ExpectNoWorkingFiles() {
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::recursive_directory_iterator(tmp_.path())) {
      left.push_back(e.path().string());
    }
    EXPECT_TRUE(left.empty()) << left.front();
  }

  int Categories(const char* text, const char* pref = "", const char* muni = "",
                 int32_t maximum = 100, const std::string& folder = std::string()) {
    rows_.clear();
    msg_[0] = '\0';
    return ListCategories(ArraySink(&rows_),
                          {text, pref, muni, folder.empty() ? folder_.c_str() : folder.c_str(),
                           maximum, &overflow_, msg_});
  }
  int Areas(const char* text, int32_t maximum = 100, const std::string& folder = std::string()) {
    rows_.clear();
    msg_[0] = '\0';
    const int result = ListAreas(
        ArraySink(&rows_),
        {text, folder.empty() ? folder_.c_str() : folder.c_str(), maximum, &overflow_, msg_});
    ExpectNoWorkingFiles();
    return result;
  }

  std::string folder_;
  // Made before the temporary folder is changed: not inside it.
  testutil::TempDir scratch_;
  testutil::TempDir tmp_;
  std::string oldTmp_;
  bool hadTmp_ = false;
  CStringArray rows_;
  char msg_[kMessageSize] = "";
  int32_t overflow_ = -7;
};

TEST_F(FacilityListTest, EmptyCategoryTextListsTheFirstLevelWithoutTheThreeExcluded) {
  ASSERT_EQ(Categories(""), 1) << Show(msg_);
  EXPECT_EQ(rows_, ExpectedCategories("", "", ""));
  EXPECT_EQ(rows_.size(), 7u);
  EXPECT_EQ(overflow_, 0);
  for (const auto& r : rows_) EXPECT_EQ(kExcluded.count(r), 0u) << Show(r);
  // One word: the 中分類 of that 大分類; a third word is not read.
  ASSERT_EQ(Categories("寺社"), 1);
  EXPECT_EQ(rows_, (CStringArray{"寺院", "神社"}));
  ASSERT_EQ(Categories("寺社  寺院"), 1);
  EXPECT_EQ(rows_, (CStringArray{"寺院"}));
  ASSERT_EQ(Categories("寺社 寺院 どれでも"), 1);
  EXPECT_EQ(rows_, (CStringArray{"寺院"}));
}

TEST_F(FacilityListTest, PrefectureAndMunicipalityFilters) {
  ASSERT_EQ(Categories("", "京都府"), 1) << Show(msg_);
  EXPECT_EQ(rows_, ExpectedCategories("", "京都府", ""));
  EXPECT_EQ(rows_, (CStringArray{"交通", "公共施設", "寺社", "宿泊"}));
  ASSERT_EQ(Categories("", "東京都", "千代田区"), 1);
  EXPECT_EQ(rows_, ExpectedCategories("", "東京都", "千代田区"));
  EXPECT_EQ(std::count(rows_.begin(), rows_.end(), "公園"), 0);  // 皇居外苑 has no prefecture
  ASSERT_EQ(Categories("", "東京都"), 1);
  EXPECT_EQ(rows_, ExpectedCategories("", "東京都", ""));
  EXPECT_EQ(std::count(rows_.begin(), rows_.end(), "公園"), 1);
  ASSERT_EQ(Categories("公共施設", "京都府"), 1);
  EXPECT_EQ(rows_, ExpectedCategories("公共施設", "京都府", ""));
  // A municipality filter alone filters nothing.
  ASSERT_EQ(Categories("", "", "中京区"), 1);
  EXPECT_EQ(rows_.size(), 7u);
  EXPECT_EQ(Categories("", "沖縄県"), 0);
  EXPECT_STREQ(msg_, "条件にあてはまる分類はありません！");
}

TEST_F(FacilityListTest, AreaListHoldsEachAreaOnceInByteOrder) {
  ASSERT_EQ(Areas(""), 1) << Show(msg_);
  EXPECT_EQ(rows_, ExpectedAreas("", "", ""));
  EXPECT_EQ(rows_.size(), 10u);
  EXPECT_EQ(rows_.front(), "京都府,乙訓郡大山崎町");
  EXPECT_EQ(std::count(rows_.begin(), rows_.end(), ",千代田区"), 1);
  EXPECT_EQ(overflow_, 0);
  ASSERT_EQ(Areas("寺社"), 1);
  EXPECT_EQ(rows_, ExpectedAreas("寺社", "", ""));
  ASSERT_EQ(Areas("寺社 寺院 寺院"), 1);
  EXPECT_EQ(rows_, ExpectedAreas("寺社", "寺院", "寺院"));
  EXPECT_EQ(rows_.size(), 4u);
}

TEST_F(FacilityListTest, MaximumStopsTheListAndSetsTheOverflowFlag) {
  ASSERT_EQ(ExpectedAreas("寺社", "", "").size(), 5u);
  ASSERT_EQ(Areas("寺社", 2), 1);
  EXPECT_EQ(overflow_, 1);
  EXPECT_EQ(rows_,
            (CStringArray{ExpectedAreas("寺社", "", "")[0], ExpectedAreas("寺社", "", "")[1]}));
  ASSERT_EQ(Areas("寺社", 5), 1);
  EXPECT_EQ(overflow_, 0);
  EXPECT_EQ(rows_.size(), 5u);
  ASSERT_EQ(Categories("", "", "", 2), 1);
  EXPECT_EQ(overflow_, 1);
  EXPECT_EQ(rows_.size(), 2u);
  EXPECT_EQ(Categories("", "", "", 0), 0);
  EXPECT_EQ(overflow_, 1);
  EXPECT_STREQ(msg_, "条件にあてはまる分類はありません！");
}

TEST_F(FacilityListTest, AnUnknownWordLeavesTheOverflowFlagAsTheCallerSetIt) {
  for (const char* text : {"温泉", "寺社 温泉"}) {
    overflow_ = 7;
    EXPECT_EQ(Categories(text), 0) << Show(text);
    EXPECT_STREQ(msg_, "条件にあてはまる分類はありません！");
    EXPECT_EQ(overflow_, 7);
    EXPECT_EQ(Areas(text), 0);
    EXPECT_STREQ(msg_, "条件にあてはまる都道府県市区町村名はありません！");
    EXPECT_EQ(overflow_, 7);
  }
}

TEST_F(FacilityListTest, ANegativeMaximumIsRefusedWithTheListsOwnMessage) {
  overflow_ = 7;
  EXPECT_EQ(Categories("", "", "", -1), 0);
  EXPECT_STREQ(msg_, "最大検索数が不正です[BUNRUI_FINDLISTFIRST]");
  EXPECT_EQ(Areas("", -1), 0);
  EXPECT_STREQ(msg_, "最大検索数が不正です！[GYOSEI_FINDLISTFIRST]");
  EXPECT_EQ(overflow_, 7);
}

TEST_F(FacilityListTest, FileFormsWriteTheRowsOrDeleteTheirFile) {
  testutil::TempDir& out = scratch_;
  const std::string path = out.Sys("areas.csv");
  ASSERT_EQ(ListAreas(FileSink(path.c_str()), {"交通", folder_.c_str(), 100, &overflow_, msg_}), 1)
      << Show(msg_);
  ExpectNoWorkingFiles();
  std::string expected;
  for (const auto& row : ExpectedAreas("交通", "", "")) expected += row + "\r\n";
  EXPECT_EQ(testutil::ReadBytes(out.Native("areas.csv")), expected);
  ASSERT_EQ(ListCategories(FileSink(path.c_str()),
                           {"交通", "", "", folder_.c_str(), 100, &overflow_, msg_}),
            1);
  EXPECT_EQ(testutil::ReadBytes(out.Native("areas.csv")), "鉄道\r\n");
  // A list that stays empty fails: the file of the earlier list stays as
  // it was, and where there was none, none is left.
  EXPECT_EQ(ListAreas(FileSink(path.c_str()), {"温泉", folder_.c_str(), 100, &overflow_, msg_}), 0);
  EXPECT_STREQ(msg_, "条件にあてはまる都道府県市区町村名はありません！");
  EXPECT_EQ(testutil::ReadBytes(out.Native("areas.csv")), "鉄道\r\n");
  ASSERT_TRUE(std::filesystem::remove(out.Native("areas.csv")));
  EXPECT_EQ(ListAreas(FileSink(path.c_str()), {"温泉", folder_.c_str(), 100, &overflow_, msg_}), 0);
  EXPECT_STREQ(msg_, "条件にあてはまる都道府県市区町村名はありません！");
  EXPECT_FALSE(testutil::Exists(out.Native("areas.csv")));
  EXPECT_TRUE(testutil::FolderNames(out.path()).empty());
  ExpectNoWorkingFiles();
}

TEST_F(FacilityListTest, AMissingTreeFailsAndLeavesNoWorkingFile) {
  const std::string folder = scratch_.Sys("");
  EXPECT_EQ(Areas("", 100, folder), 0);
  EXPECT_EQ(std::string(msg_), "ファイルオープンエラー!(" + folder + "施設検索.TDB)");
  EXPECT_EQ(Categories("", "", "", 100, folder), 0);
  EXPECT_EQ(std::string(msg_), "ファイルオープンエラー!(" + folder + "施設検索.TDB)");
}

// A tree of one category path and the given administrative names.
class OwnTreeTest : public FacilityListTest {
 protected:
  std::string Write(const std::vector<std::string>& areas) {
    CTagDb tree;
    const std::string folder = own_.Sys("");
    EXPECT_EQ(tree.Create((folder + "施設検索.TDB").c_str()), 1);
    const uint32_t top = tree.AddTopNode();
    tree.SetName(top, "施設検索");
    const uint32_t group = tree.AddNamedChild(tree.AddNamedChild(top, "CDB_TREE_STR"), "STRING");
    const uint32_t minor =
        tree.AddNamedChild(tree.AddNamedChild(tree.AddNamedChild(group, "交通"), "鉄道"), "駅");
    for (const auto& a : areas) EXPECT_NE(tree.AddNamedChild(minor, a.c_str()), 0u);
    return folder;
  }
  testutil::TempDir own_;
};

TEST_F(OwnTreeTest, OverlongAreaLinesAreRefusedNotCut) {
  const std::string longName = "東京都" + std::string(600, 'x');
  const std::string folder = Write({"東京都千代田区", longName});
  EXPECT_EQ(Areas("", 100, folder), 0);
  EXPECT_EQ(std::string(msg_).rfind("ファイルの読み込みに失敗しました!(", 0), 0u) << Show(msg_);
  EXPECT_TRUE(rows_.empty());
  // Too long even for a sorted line: the tree itself is not read.
  const std::string tooLong = Write({"東京都" + std::string(1100, 'x')});
  EXPECT_EQ(Areas("", 100, tooLong), 0);
  EXPECT_EQ(std::string(msg_), "ファイルの読み込みに失敗しました!(" + tooLong + "施設検索.TDB)");
  EXPECT_TRUE(rows_.empty());
  // Within the line limit it is listed whole.
  const std::string fits = "東京都" + std::string(505, 'x');
  ASSERT_EQ(Areas("", 100, Write({fits})), 1) << Show(msg_);
  EXPECT_EQ(rows_, (CStringArray{"東京都," + std::string(505, 'x')}));
}

TEST_F(OwnTreeTest, AFailureAfterSomeRowsIsStillAFailure) {
  // The short name sorts first and is written; the long one then fails.
  const std::string folder = Write({"東京都" + std::string(600, 'x'), "京都府北区"});
  EXPECT_EQ(Areas("", 100, folder), 0);
  EXPECT_EQ(std::string(msg_).rfind("ファイルの読み込みに失敗しました!(", 0), 0u) << Show(msg_);
  EXPECT_EQ(rows_, (CStringArray{"京都府,北区"}));  // rows before a failure stay
}

TEST_F(OwnTreeTest, ANameThatBreaksTheLineIsNotWritten) {
  EXPECT_EQ(Areas("", 100, Write({"東京都千代田区\n京都府"})), 0);
  EXPECT_STREQ(msg_, "検索結果の登録に失敗しました！[GYOSEI_FINDLISTFIRST_SUB]");
}

TEST_F(OwnTreeTest, ALoopingChainIsAReadFailureNotAHang) {
  const std::string folder = Write({"東京都千代田区", "東京都北区"});
  CTagDb tree;
  const std::string path = folder + "施設検索.TDB";
  ASSERT_EQ(tree.OpenForUpdate(path.c_str()), 1);
  // The second area links back to the first.
  TagNode node;
  int found = 0;
  ASSERT_EQ(FindTreeGroup(&tree, "STRING", &node, &found), 1);
  for (int level = 0; level < 3; ++level) ASSERT_EQ(tree.ReadNode(node.firstChild, &node), 1);
  const uint32_t first = node.firstChild;
  TagNode a;
  ASSERT_EQ(tree.ReadNode(first, &a), 1);
  TagNode b;
  ASSERT_EQ(tree.ReadNode(a.next, &b), 1);
  b.next = first;
  ASSERT_EQ(tree.WriteNode(a.next, b), 1);
  tree.Close();
  EXPECT_EQ(Categories("", "京都府", "", 100, folder), 0);
  EXPECT_EQ(std::string(msg_), "ファイルの読み込みに失敗しました!(" + path + ")");
  EXPECT_EQ(Areas("", 100, folder), 0);
  EXPECT_EQ(std::string(msg_), "ファイルの読み込みに失敗しました!(" + path + ")");
}

TEST_F(FacilityListTest, SortUniqueKeepsOneOfEachLineInByteOrder) {
  testutil::TempDir& dir = scratch_;
  const std::string work = dir.Sys("");
  const std::string in = dir.Sys("in.txt");
  const std::string out = dir.Sys("out.txt");
  char msg[kMessageSize] = "stale";
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("in.txt"), "b\r\na\r\nb\r\n\r\n東京\r\na\r\n"));
  ASSERT_EQ(SortUniqueTextFile(in.c_str(), out.c_str(), work, msg), 1);
  EXPECT_STREQ(msg, "");
  EXPECT_EQ(testutil::ReadBytes(dir.Native("out.txt")), "\r\na\r\nb\r\n東京\r\n");
  EXPECT_FALSE(testutil::Exists(dir.Native("$TXT_DELDUB$.#$#$#")));

  ASSERT_TRUE(testutil::WriteBytes(dir.Native("in.txt"), ""));
  ASSERT_EQ(SortUniqueTextFile(in.c_str(), out.c_str(), work, msg), 1);
  EXPECT_EQ(testutil::ReadBytes(dir.Native("out.txt")), "");

  ASSERT_TRUE(
      testutil::WriteBytes(dir.Native("in.txt"), "a\r\n" + std::string(1100, 'z') + "\r\n"));
  EXPECT_EQ(SortUniqueTextFile(in.c_str(), out.c_str(), work, msg), 0);
  EXPECT_EQ(std::string(msg).rfind("ファイルの読み込みに失敗しました!(", 0), 0u) << Show(msg);
  // The output of the earlier call stays as it was, without the line that
  // was written before the failure.
  EXPECT_EQ(testutil::ReadBytes(dir.Native("out.txt")), "");
  ASSERT_TRUE(std::filesystem::remove(dir.Native("out.txt")));
  EXPECT_EQ(SortUniqueTextFile(in.c_str(), out.c_str(), work, msg), 0);
  EXPECT_FALSE(testutil::Exists(dir.Native("out.txt")));
  EXPECT_FALSE(testutil::Exists(dir.Native("$TXT_DELDUB$.#$#$#")));
}

}  // namespace
