// The facility search and its candidate selection, on the sample facility
// folder of the build tree (and on copies of it generated with other
// replacement pairs).

#include "gazref/facility_search.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/le_bytes.h"
#include "common/message.h"
#include "common/record_array.h"
#include "common/sjis_text.h"
#include "common/work_memory.h"
#include "facility_folder.h"
#include "gazref/facility_candidates.h"
#include "gazref/facility_lists.h"
#include "gazref/facility_tree.h"
#include "gazref/plane_rect.h"
#include "plat/cp932.h"
#include "support/test_util.h"
#include "tabledb/dictionaries.h"
#include "tabledb/tag_db.h"
#include "tools/facilitydata/facility_generate.h"

namespace {

using facilitydata::FacilityRow;
using facilitytest::Described;
using facilitytest::FacilityFolder;
using testutil::Show;

std::vector<std::string> Fields(const std::string& row) { return testutil::CsvFields(row); }

// Tokyo station, thousandths of an arc second.
constexpr int32_t kTokyoLat = 128446800;
constexpr int32_t kTokyoLon = 503167200;

// Plane distance in metres between two points given in thousandths of an
// arc second, in the zone nearest the first.
double PlaneMetres(double lat1, double lon1, double lat2, double lon2) {
  PlaneRectConverter c;
  c.SelectZone(lat1 * 0.001 / 3600, lon1 * 0.001 / 3600);
  double e1, n1, e2, n2;
  c.ToPlane(lat1 * 0.001, lon1 * 0.001, &e1, &n1);
  c.ToPlane(lat2 * 0.001, lon2 * 0.001, &e2, &n2);
  return std::hypot(e2 - e1, n2 - n1);
}

struct Query {
  std::string major, middle, minor, name, area;
  int32_t latitude = 0;
  int32_t longitude = 0;
  double radius = 0;
  int32_t maximum = 1000;
};

class FacilitySearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = FacilityFolder();
    ASSERT_FALSE(folder_.empty());
  }

  // The array entry; rows in `rows_`, result and flags kept.
  int Run(const Query& q, const std::string& folder = std::string()) {
    rows_.clear();
    msg_[0] = '\0';
    overflow_ = -7;
    return FindFacilities(
        ArraySink(&rows_),
        {q.major.c_str(), q.middle.c_str(), q.minor.c_str(), q.name.c_str(), q.area.c_str(),
         q.latitude, q.longitude, q.radius, folder.empty() ? folder_.c_str() : folder.c_str(),
         q.maximum, &overflow_, msg_});
  }

  std::multiset<std::string> Names() const {
    std::multiset<std::string> names;
    for (const auto& row : rows_) names.insert(Fields(row)[0]);
    return names;
  }

  std::string folder_;
  CStringArray rows_;
  char msg_[kMessageSize] = "";
  int32_t overflow_ = 0;
};

TEST(SplitPrefectureNameTest, SplitsTheLeadingPrefectureByItsBytes) {
  char pref[kPrefectureTextSize];
  const char* rest = nullptr;
  EXPECT_EQ(SplitPrefectureName("京都府京都市中京区", pref, &rest), 6);
  EXPECT_STREQ(pref, "京都府");
  EXPECT_STREQ(rest, "京都市中京区");
  EXPECT_EQ(SplitPrefectureName("神奈川県横浜市", pref, &rest), 8);
  EXPECT_STREQ(pref, "神奈川県");
  EXPECT_STREQ(rest, "横浜市");
  EXPECT_EQ(SplitPrefectureName("北海道", pref, &rest), 6);
  EXPECT_STREQ(rest, "");
  for (const char* none : {"千代田区", "東京", "", "京都市"}) {
    EXPECT_EQ(SplitPrefectureName(none, pref, &rest), 0) << Show(none);
    EXPECT_STREQ(pref, "");
    EXPECT_STREQ(rest, none);
  }
}

TEST_F(FacilitySearchTest, RowsSplitTheAreaNameAndPrintWholeNumbers) {
  Query q;
  q.name = "皇居外苑";
  ASSERT_EQ(Run(q), 1) << Show(msg_);
  ASSERT_EQ(rows_.size(), 1u);
  EXPECT_EQ(rows_[0],
            "皇居外苑,こうきょがいえん,128454000,503130000,,千代田区,13101,公園,都市公園,"
            "国民公園,0");
  q.name = "京都市役所";
  ASSERT_EQ(Run(q), 1) << Show(msg_);
  ASSERT_EQ(rows_.size(), 1u);
  const auto f = Fields(rows_[0]);
  ASSERT_EQ(f.size(), 11u);
  EXPECT_EQ(f[4], "京都府");
  EXPECT_EQ(f[5], "京都市中京区");
  EXPECT_EQ(f[6], "26104");
  EXPECT_EQ(f[10], "0");  // no search point
}

TEST_F(FacilitySearchTest, RangeRowsComeInAscendingDistanceWithinTheRadius) {
  Query q;
  q.latitude = kTokyoLat;
  q.longitude = kTokyoLon;
  q.radius = 600;
  ASSERT_EQ(Run(q), 1) << Show(msg_);
  ASSERT_GE(rows_.size(), 5u);
  double last = -1;
  std::set<std::string> found;
  for (const auto& row : rows_) {
    const auto f = Fields(row);
    ASSERT_EQ(f.size(), 11u) << Show(row);
    const double d = std::atof(f[10].c_str());
    EXPECT_GE(d, last) << Show(row);
    last = d;
    EXPECT_LE(d, q.radius + 1);
    const double plane =
        PlaneMetres(q.latitude, q.longitude, std::atof(f[2].c_str()), std::atof(f[3].c_str()));
    EXPECT_NEAR(d, plane, 1.0) << Show(row);
    found.insert(f[0]);
  }
  // Every usable facility well inside the circle is there; the toilet too,
  // as the point is complete.
  for (const FacilityRow& r : Described().facilities) {
    const double d = PlaneMetres(q.latitude, q.longitude, r.latitude, r.longitude);
    if (r.major == "使用しない") {
      EXPECT_EQ(found.count(r.name), 0u);
    } else if (d < q.radius - 1) {
      EXPECT_EQ(found.count(r.name), 1u) << Show(r.name);
    } else if (d > q.radius + 1) {
      EXPECT_EQ(found.count(r.name), 0u) << Show(r.name);
    }
  }
  EXPECT_EQ(found.count("丸の内公衆トイレ"), 1u);
}

// Every selection mode with a range, against a scan of every record.
TEST_F(FacilitySearchTest, RandomRangesFindWhatAScanOfEveryRecordFinds) {
  const auto& rows = Described().facilities;
  std::mt19937 rng(20261209);
  std::uniform_int_distribution<std::size_t> pick(0, rows.size() - 1);
  std::uniform_real_distribution<double> offset(-60000, 60000);  // about 2 km
  std::uniform_real_distribution<double> logRadius(std::log(20.0), std::log(60000.0));
  struct Filter {
    const char *major, *middle, *name, *area;
  };
  const Filter filters[] = {{"", "", "", ""},
                            {"交通", "", "", ""},
                            {"寺社", "寺院", "", ""},
                            {"", "", "駅", ""},
                            {"", "", "", "東京都"},
                            {"", "鉄道", "駅", ""},
                            {"", "", "", "東京都 千代田区"},
                            {"寺社", "", "", "京都府"}};
  int compared = 0;
  for (int trial = 0; trial < 240; ++trial) {
    const FacilityRow& centre = rows[pick(rng)];
    const Filter& filter = filters[trial % std::size(filters)];
    Query q;
    q.major = filter.major;
    q.middle = filter.middle;
    q.name = filter.name;
    q.area = filter.area;
    q.latitude = static_cast<int32_t>(centre.latitude + offset(rng));
    q.longitude = static_cast<int32_t>(centre.longitude + offset(rng));
    q.radius = std::exp(logRadius(rng));
    const int result = Run(q);
    // The administrative text is a prefix of 行政名 once its blanks are
    // removed.
    std::string areaPrefix;
    for (const char* p = filter.area; *p; ++p) {
      if (*p != ' ') areaPrefix += *p;
    }
    std::set<std::string> expected, uncertain;
    std::map<std::string, double> distances;
    for (const FacilityRow& r : rows) {
      if (r.major == "使用しない") continue;
      if (*filter.major && r.major != filter.major) continue;
      if (*filter.middle && r.middle != filter.middle) continue;
      if (*filter.name && FindSubstring(filter.name, r.name.c_str()) == 0) continue;
      if (!areaPrefix.empty() && r.area.rfind(areaPrefix, 0) != 0) continue;
      const double d = PlaneMetres(q.latitude, q.longitude, r.latitude, r.longitude);
      distances[r.name] = d;
      if (std::fabs(d - q.radius) < 1) {
        uncertain.insert(r.name);
      } else if (d < q.radius) {
        expected.insert(r.name);
      }
    }
    ASSERT_EQ(result, rows_.empty() ? 0 : 1) << Show(msg_);
    std::set<std::string> got;
    double last = -1;
    double lastScanned = -1;
    for (const auto& row : rows_) {
      const auto f = Fields(row);
      const double d = std::atof(f[10].c_str());
      EXPECT_GE(d, last);
      last = d;
      // The scan's distance of the row agrees with field 11 and with the
      // order of the rows (to the metre).
      ASSERT_EQ(distances.count(f[0]), 1u) << Show(row);
      const double scanned = distances[f[0]];
      EXPECT_NEAR(d, scanned, 1.0) << Show(row);
      EXPECT_GE(scanned, lastScanned - 1.0) << Show(row);
      lastScanned = scanned;
      if (uncertain.count(f[0]) == 0) got.insert(f[0]);
    }
    EXPECT_EQ(got, expected) << "trial " << trial;
    compared += static_cast<int>(expected.size());
  }
  EXPECT_GT(compared, 200);  // the trials found something to compare
}

TEST_F(FacilitySearchTest, UnusedNeverAndToiletsOnlyWithAFullPoint) {
  Query q;
  q.name = "旧丸の内倉庫";
  EXPECT_EQ(Run(q), 0);
  EXPECT_STREQ(msg_, "条件にあてはまる施設はありません！");
  q = Query();
  q.major = "使用しない";
  EXPECT_EQ(Run(q), 0);
  EXPECT_STREQ(msg_, "条件にあてはまる施設はありません！");

  q = Query();
  q.name = "公衆トイレ";
  EXPECT_EQ(Run(q), 0);  // no point
  q.latitude = kTokyoLat;
  q.longitude = kTokyoLon;
  EXPECT_EQ(Run(q), 0);  // radius 0: no full point
  q.radius = 1000;
  ASSERT_EQ(Run(q), 1) << Show(msg_);
  EXPECT_EQ(Names(), (std::multiset<std::string>{"丸の内公衆トイレ"}));
  q.radius = 1000000;
  ASSERT_EQ(Run(q), 1);
  EXPECT_EQ(Names(), (std::multiset<std::string>{"丸の内公衆トイレ", "三条公衆トイレ"}));
}

TEST_F(FacilitySearchTest, MaximumCountsTheRowsOfAPass) {
  Query q;
  q.name = "駅";
  q.maximum = 0;
  EXPECT_EQ(Run(q), 0);
  EXPECT_EQ(overflow_, 1);
  EXPECT_TRUE(rows_.empty());
  EXPECT_STREQ(msg_, "条件にあてはまる施設はありません！");

  q.maximum = 2;
  EXPECT_EQ(Run(q), 1);
  EXPECT_EQ(overflow_, 1);
  EXPECT_EQ(rows_.size(), 2u);

  q.maximum = 6;  // exactly the six stations
  EXPECT_EQ(Run(q), 1);
  EXPECT_EQ(overflow_, 0);
  EXPECT_EQ(rows_.size(), 6u);

  q.maximum = -1;
  EXPECT_EQ(Run(q), 0);
  EXPECT_STREQ(msg_, "最大検索数が不正です！[SHISETSU_FINDLISTFIRST]");
  EXPECT_TRUE(rows_.empty());
}

TEST_F(FacilitySearchTest, SpellingsOfTheNameFindTheStoredForm) {
  const std::map<std::string, std::string> cases = {
      {"第一ビル", "第１ビル"},              // numerals as digits
      {"第1ビル", "第１ビル"},               // full width
      {"丸の内第２ビル", "丸の内第二ビル"},  // numerals as kanji
      {"箱根ヶ崎駅", "箱根ケ崎駅"},          // replacement pair
      {"恵比寿町集会所", "恵比須町集会所"}};
  for (const auto& [name, stored] : cases) {
    Query q;
    q.name = name;
    ASSERT_EQ(Run(q), 1) << Show(name) << " " << Show(msg_);
    EXPECT_EQ(Names(), (std::multiset<std::string>{stored})) << Show(name);
  }
}

TEST_F(FacilitySearchTest, ModePrecedenceAndTheOtherConditionsAsFilters) {
  Query q;
  q.name = "駅";
  q.area = "京都府";
  ASSERT_EQ(Run(q), 1) << Show(msg_);
  EXPECT_EQ(Names(), (std::multiset<std::string>{"山崎駅"}));

  // Blank-separated administrative words: each must occur, and the text
  // without its blanks must begin the administrative name.
  const std::multiset<std::string> chiyoda = {"東京駅", "大手町駅", "二重橋前駅"};
  for (const char* area : {"東京都千代田区", "東京都 千代田区", "千代田区 東京都"}) {
    q.area = area;
    const int result = Run(q);
    if (std::string(area) == "千代田区 東京都") {
      EXPECT_EQ(result, 0) << Show(area);
    } else {
      ASSERT_EQ(result, 1) << Show(area) << " " << Show(msg_);
      EXPECT_EQ(Names(), chiyoda) << Show(area);
    }
  }
  // The administrative text alone selects by the administrative index.
  Query byArea;
  byArea.area = "東京都 北区";
  ASSERT_EQ(Run(byArea), 1) << Show(msg_);
  EXPECT_EQ(Names(), (std::multiset<std::string>{"王子駅", "王子神社"}));

  // 中分類 and 小分類 without 大分類 filter a name search.
  Query offices;
  offices.name = "所";
  ASSERT_EQ(Run(offices), 1);
  EXPECT_EQ(rows_.size(), 5u);  // three offices and two halls
  offices.middle = "官公庁";
  ASSERT_EQ(Run(offices), 1);
  EXPECT_EQ(Names(), (std::multiset<std::string>{"千代田区役所", "西東京市役所", "京都市役所"}));
  offices.minor = "市役所";
  ASSERT_EQ(Run(offices), 1);
  EXPECT_EQ(Names(), (std::multiset<std::string>{"西東京市役所", "京都市役所"}));
  // A name decides the mode over the category, which then filters.
  offices.major = "寺社";
  EXPECT_EQ(Run(offices), 0);

  // Category mode.
  Query category;
  category.major = "寺社";
  ASSERT_EQ(Run(category), 1);
  EXPECT_EQ(rows_.size(), 6u);
  category.middle = "神社";
  ASSERT_EQ(Run(category), 1);
  EXPECT_EQ(Names(), (std::multiset<std::string>{"王子神社", "今宮神社"}));
  category.minor = "神社";
  ASSERT_EQ(Run(category), 1);
  EXPECT_EQ(rows_.size(), 2u);
  // A 大分類 that names no category: no candidate, no failure.
  category = Query();
  category.major = "温泉";
  EXPECT_EQ(Run(category), 0);
  EXPECT_STREQ(msg_, "条件にあてはまる施設はありません！");
}

TEST_F(FacilitySearchTest, APointWithRadiusZeroOnlySetsTheDistance) {
  Query q;
  q.name = "駅";
  q.latitude = kTokyoLat;
  q.longitude = kTokyoLon;
  ASSERT_EQ(Run(q), 1);
  ASSERT_EQ(rows_.size(), 6u);  // Kyoto's station included: no range
  bool descending = false;
  double last = -1;
  for (const auto& row : rows_) {
    const auto f = Fields(row);
    const double d = std::atof(f[10].c_str());
    EXPECT_NEAR(
        d, PlaneMetres(q.latitude, q.longitude, std::atof(f[2].c_str()), std::atof(f[3].c_str())),
        1.0);
    descending = descending || d < last;
    last = d;
  }
  EXPECT_TRUE(descending);  // index order, not distance order
}

TEST_F(FacilitySearchTest, NoConditionFails) {
  Query q;
  EXPECT_EQ(Run(q), 0);
  EXPECT_STREQ(msg_, "検索条件が設定されていません！");
  q.latitude = kTokyoLat;
  q.longitude = kTokyoLon;  // radius 0
  EXPECT_EQ(Run(q), 0);
  EXPECT_STREQ(msg_, "検索条件が設定されていません！");
  q = Query();
  q.middle = "鉄道";  // not a selecting condition
  EXPECT_EQ(Run(q), 0);
  EXPECT_STREQ(msg_, "検索条件が設定されていません！");
  q.radius = 500;  // a radius without a point
  EXPECT_EQ(Run(q), 0);
  EXPECT_STREQ(msg_, "検索条件が設定されていません！");
}

TEST_F(FacilitySearchTest, FileFormWritesTheRowsOrDeletesItsFile) {
  testutil::TempDir dir;
  const std::string path = dir.Sys("result.csv");
  const std::string native = dir.Native("result.csv");
  char msg[kMessageSize] = "";
  int32_t overflow = -1;
  ASSERT_EQ(FindFacilities(FileSink(path.c_str()),
                           {"寺社", "", "", "", "", 0, 0, 0, folder_.c_str(), 100, &overflow, msg}),
            1)
      << Show(msg);
  Query q;
  q.major = "寺社";
  ASSERT_EQ(Run(q), 1);
  std::string expected;
  for (const auto& row : rows_) expected += row + "\r\n";
  EXPECT_EQ(testutil::ReadBytes(native), expected);
  EXPECT_EQ(overflow, 0);

  // A search that finds nothing fails: the earlier result file stays as it
  // was, and where there was none, none is left.
  EXPECT_EQ(FindFacilities(FileSink(path.c_str()),
                           {"温泉", "", "", "", "", 0, 0, 0, folder_.c_str(), 100, &overflow, msg}),
            0);
  EXPECT_STREQ(msg, "条件にあてはまる施設はありません！");
  EXPECT_EQ(testutil::ReadBytes(native), expected);
  ASSERT_TRUE(std::filesystem::remove(native));
  EXPECT_EQ(FindFacilities(FileSink(path.c_str()),
                           {"温泉", "", "", "", "", 0, 0, 0, folder_.c_str(), 100, &overflow, msg}),
            0);
  EXPECT_FALSE(testutil::Exists(native));
  EXPECT_EQ(FindFacilities(FileSink(path.c_str()),
                           {"寺社", "", "", "", "", 0, 0, 0, folder_.c_str(), -1, &overflow, msg}),
            0);
  EXPECT_STREQ(msg, "最大検索数が不正です！[SHISETSU_FINDLISTFIRST]");
  EXPECT_FALSE(testutil::Exists(native));
}

// A copy of the sample folder generated with other replacement pairs.
class ReplacementFolderTest : public FacilitySearchTest {
 protected:
  std::string Generate(const std::vector<dictbuild::TextPair>& pairs) {
    facilitydata::FacilityDescription d = Described();
    d.pairs = pairs;
    char msg[kMessageSize] = "";
    const std::string folder = dir_.Sys("data") + "\\";
    EXPECT_EQ(facilitydata::GenerateFacilityFolder(d, folder, nullptr, msg), 1) << Show(msg);
    return folder;
  }
  testutil::TempDir dir_;
};

TEST_F(ReplacementFolderTest, AFacilityFoundUnderSeveralSpellingsIsWrittenOnce) {
  // "丸の内" → "丸の内 ビル" finds the two buildings again; "丸の内" → "大手町"
  // finds two more facilities.
  const std::string folder = Generate({{"丸の内", "丸の内 ビル"}, {"丸の内", "大手町"}});
  Query q;
  q.name = "丸の内";
  ASSERT_EQ(Run(q, folder), 1) << Show(msg_);
  EXPECT_EQ(Names(), (std::multiset<std::string>{"丸の内第二ビル", "丸の内中央ビル", "丸の内ホテル",
                                                 "丸の内カフェ", "大手町駅", "大手町そば処"}));
  // The maximum applies to each pass: four rows of the first pass, two of
  // the last, without overflow.
  q.maximum = 4;
  ASSERT_EQ(Run(q, folder), 1);
  EXPECT_EQ(rows_.size(), 6u);
  EXPECT_EQ(overflow_, 0);
  q.maximum = 3;
  ASSERT_EQ(Run(q, folder), 1);
  EXPECT_EQ(rows_.size(), 3u);
  EXPECT_EQ(overflow_, 1);
}

TEST_F(ReplacementFolderTest, AMissingPairFileOnlyDropsThoseSpellings) {
  const std::string folder = Generate({{"ヶ", "ケ"}});
  ASSERT_TRUE(plat::File::Remove((folder + "施設置換.BIN").c_str()));
  Query q;
  q.name = "箱根ヶ崎駅";
  EXPECT_EQ(Run(q, folder), 0);
  EXPECT_STREQ(msg_, "条件にあてはまる施設はありません！");
  q.name = "箱根ケ崎駅";
  EXPECT_EQ(Run(q, folder), 1) << Show(msg_);
}

TEST_F(ReplacementFolderTest, MissingIndexFilesFailWithTheirPath) {
  const std::string folder = Generate({});
  struct Case {
    const char* file;
    Query query;
  };
  Query byCategory;
  byCategory.major = "交通";
  Query byRange;
  byRange.latitude = kTokyoLat;
  byRange.longitude = kTokyoLon;
  byRange.radius = 300;
  for (const auto& [file, query] : {Case{"分類.TDB", byCategory}, Case{"範囲.NIB", byRange}}) {
    ASSERT_TRUE(plat::File::Remove((folder + file).c_str()));
    EXPECT_EQ(Run(query, folder), 0);
    EXPECT_EQ(std::string(msg_), "ファイルオープンエラー!(" + folder + file + ")");
  }
}

TEST_F(ReplacementFolderTest, ALoopingCategoryChainIsAReadFailure) {
  const std::string folder = Generate({});
  CTagDb tree;
  const std::string path = folder + "分類.TDB";
  ASSERT_EQ(tree.OpenForUpdate(path.c_str()), 1);
  // The last 大分類 links back to the first.
  TagNode index, last;
  int found = 0;
  ASSERT_EQ(FindTreeGroup(&tree, "INDEX", &index, &found), 1);
  ASSERT_EQ(found, 1);
  ASSERT_EQ(tree.ReadNode(index.lastChild, &last), 1);
  last.next = index.firstChild;
  ASSERT_EQ(tree.WriteNode(index.lastChild, last), 1);
  tree.Close();
  Query q;
  q.major = "温泉";
  EXPECT_EQ(Run(q, folder), 0);
  EXPECT_EQ(std::string(msg_), "ファイルの読み込みに失敗しました!(" + path + ")");
}

// A range index whose top cells have no size cannot be searched: the read
// failure with its path, not "no facility".
TEST_F(ReplacementFolderTest, RangeIndexWithoutCellSizesIsAReadFailure) {
  const std::string folder = Generate({});
  const std::string path = folder + "範囲.NIB";
  const std::string native =
      dir_.Native("data") + "/" + reinterpret_cast<const char*>(u8"範囲.NIB");
  const std::string good = testutil::ReadBytes(native);
  ASSERT_GT(good.size(), 48u);
  Query byRange;
  byRange.latitude = kTokyoLat;
  byRange.longitude = kTokyoLon;
  byRange.radius = 300;
  ASSERT_EQ(Run(byRange, folder), 1) << Show(msg_);
  const double bad[] = {0.0, -1.0, std::numeric_limits<double>::quiet_NaN(),
                        std::numeric_limits<double>::infinity()};
  for (int at : {32, 40}) {
    for (double size : bad) {
      std::string image = good;
      StoreLeValue(reinterpret_cast<unsigned char*>(&image[at]), size);
      ASSERT_TRUE(testutil::WriteBytes(native, image));
      EXPECT_EQ(Run(byRange, folder), 0) << at << " " << size;
      EXPECT_EQ(std::string(msg_), "ファイルの読み込みに失敗しました!(" + path + ")")
          << at << " " << size;
    }
  }
  ASSERT_TRUE(testutil::WriteBytes(native, good));
  EXPECT_EQ(Run(byRange, folder), 1) << Show(msg_);
}

TEST(FacilityTreeGroupTest, AMissingGroupNodeIsReportedWithTheTreePath) {
  testutil::TempDir dir;
  for (const char* file : {"分類.TDB", "施設検索.TDB"}) {
    CTagDb tree;
    ASSERT_EQ(tree.Create(dir.Sys(file).c_str()), 1);
    const uint32_t top = tree.AddTopNode();
    tree.SetName(top, "施設検索");
    tree.AddNamedChild(tree.AddNamedChild(top, "CDB_TREE"), "FIELD");
  }
  CRecordList list;
  list.Create(4, sizeof(uint32_t), 4);
  char msg[kMessageSize] = "";
  const std::string categories = dir.Sys("分類.TDB");
  EXPECT_EQ(CollectCategoryRecords(&list, categories.c_str(), "", "", "", msg), 0);
  EXPECT_EQ(std::string(msg),
            "インデックスのレコードが見つかりません！[INDEX:" + categories + "][RECORD:INDEX]");
  CStringArray rows;
  int32_t overflow = 0;
  const std::string folder = dir.Sys("");
  EXPECT_EQ(ListCategories(ArraySink(&rows), {"", "", "", folder.c_str(), 10, &overflow, msg}), 0);
  EXPECT_EQ(std::string(msg), "インデックスのレコードが見つかりません！[INDEX:" + folder +
                                  "施設検索.TDB][RECORD:STRING]");
}

TEST(SortCandidatesByDistanceTest, OneCandidateOrNoRangeIsLeftWithoutOpeningTheDatabase) {
  CRecordList list;
  list.Create(4, sizeof(uint32_t), 4);
  const uint32_t ids[] = {300, 100, 200};
  char msg[kMessageSize] = "";
  list.Add(&ids[0]);
  // The folder holds no database: it is not opened.
  EXPECT_EQ(SortCandidatesByDistance(&list, "/nonexistent", "施設検索", "緯度", "経度", 128446.8,
                                     503167.2, 500, msg),
            1);
  list.Add(&ids[1]);
  list.Add(&ids[2]);
  EXPECT_EQ(SortCandidatesByDistance(&list, "/nonexistent", "施設検索", "緯度", "経度", 128446.8,
                                     503167.2, 0, msg),
            1);
  uint32_t first = 0;
  list.GetDword(1, &first);
  EXPECT_EQ(first, 300u);
  EXPECT_EQ(SortCandidatesByDistance(&list, "/nonexistent", "施設検索", "緯度", "経度", 128446.8,
                                     503167.2, 500, msg),
            0);
  EXPECT_STREQ(msg, "データベースのオープンに失敗しました！[DATABASE:/nonexistent\\施設検索.NDB]");
}

// ---- Replacement spellings ----

CRecordList* Pairs(const std::vector<std::pair<std::string, std::string>>& pairs) {
  static CRecordList list;
  list.Create(16, sizeof(PairRecord), 16);
  for (const auto& [search, replacement] : pairs) {
    PairRecord r = {};
    std::snprintf(r.search, sizeof r.search, "%s", search.c_str());
    std::snprintf(r.replacement, sizeof r.replacement, "%s", replacement.c_str());
    list.Add(&r);
  }
  return &list;
}

std::vector<std::string> Entries(const CWorkMemory& list) {
  std::vector<std::string> out;
  for (uint32_t p = 1; list.GetStringAt(p); ++p) out.push_back(list.GetStringAt(p));
  return out;
}

TEST(ExpandReplacementVariantsTest, AppliesSubsequencesOfThePairsDepthFirst) {
  CWorkMemory list;
  ASSERT_EQ(list.Create(kVariantListEntries, kVariantListPoolBytes), 1);
  list.AddString("AB");
  ASSERT_EQ(ExpandReplacementVariants(&list, *Pairs({{"A", "X"}, {"B", "Y"}, {"Q", "Z"}}), 1, "AB"),
            1);
  EXPECT_EQ(Entries(list), (std::vector<std::string>{"AB", "XB", "XY", "AY"}));
  // A pair applies to every occurrence, in file order only.
  list.Reset();
  list.AddString("ABA");
  ASSERT_EQ(ExpandReplacementVariants(&list, *Pairs({{"B", "A"}, {"A", "B"}}), 1, "ABA"), 1);
  EXPECT_EQ(Entries(list), (std::vector<std::string>{"ABA", "AAA", "BBB"}));
}

TEST(ExpandReplacementVariantsTest, StopsAtTheEntriesAndBytesOfTheList) {
  // Four letters with four replacements each reach 625 texts: the list
  // keeps 512.
  std::vector<std::pair<std::string, std::string>> pairs;
  const std::string text = "abcd";
  for (char c : text) {
    for (char r = '1'; r <= '4'; ++r) pairs.push_back({std::string(1, c), std::string(1, r)});
  }
  CWorkMemory list;
  ASSERT_EQ(list.Create(kVariantListEntries, kVariantListPoolBytes), 1);
  list.AddString(text.c_str());
  ASSERT_EQ(ExpandReplacementVariants(&list, *Pairs(pairs), 1, text.c_str()), 1);
  EXPECT_EQ(Entries(list).size(), kVariantListEntries);

  // Long texts: the 4,096 bytes of strings are reached first.
  const std::string longText = std::string(300, 'x') + text;
  list.Reset();
  list.AddString(longText.c_str());
  ASSERT_EQ(ExpandReplacementVariants(&list, *Pairs(pairs), 1, longText.c_str()), 1);
  const auto entries = Entries(list);
  std::size_t bytes = 0;
  for (const auto& e : entries) bytes += e.size() + 1;
  EXPECT_LE(bytes, kVariantListPoolBytes);
  EXPECT_EQ(entries.size(), kVariantListPoolBytes / (longText.size() + 1));
}

}  // namespace
