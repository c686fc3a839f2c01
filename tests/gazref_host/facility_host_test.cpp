// The facility search, the category list and the administrative-area list
// of libGazref.so, driven through gazref_host on the sample facility data
// (Database/施設 of the build tree) and checked against its text
// description.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "../gazref/facility_folder.h"
#include "gazref/plane_rect.h"
#include "host_runner.h"
#include "plat/cp932.h"
#include "support/test_util.h"

namespace {

namespace fs = std::filesystem;
using facilitydata::FacilityRow;
using facilitytest::Described;
using hosttest::BuildDir;
using hosttest::HostTest;
using hosttest::U8;
using testutil::Show;

std::string Cp932(const std::string &utf8) {
  std::string out;
  EXPECT_TRUE(plat::cp932::FromUtf8(utf8, out)) << utf8;
  return out;
}

std::string Utf8(const std::string &cp932) { return plat::cp932::ToUtf8Display(cp932); }

std::vector<std::string> Fields(const std::string &row) { return testutil::CsvFields(row); }

// Lines of a CP932 result file (CR LF) without their ends.
std::vector<std::string> FileLines(const std::string &nativePath) {
  std::vector<std::string> lines;
  std::istringstream in(testutil::ReadBytes(nativePath));
  std::string line;
  while (std::getline(in, line)) {
    EXPECT_TRUE(!line.empty() && line.back() == '\r') << Show(line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// What a call printed: its result, its writable arguments by number and
// the rows read after it, texts in CP932.
struct Outcome {
  int result = INT_MIN;
  std::map<int, std::string> args;
  std::vector<std::string> rows;

  // Argument n as printed; "" when it was not printed.
  std::string Arg(int n) const {
    const auto it = args.find(n);
    return it == args.end() ? std::string() : it->second;
  }
};

Outcome Parse(const std::string &out) {
  Outcome o;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t colon = line.find(": ");
    if (line.rfind("= ", 0) == 0 && o.result == INT_MIN) {
      o.result = std::atoi(line.c_str() + 2);
    } else if (line.rfind("  #", 0) == 0 && colon != std::string::npos) {
      o.args[std::atoi(line.c_str() + 3)] = Cp932(line.substr(colon + 2));
    } else if (line.rfind("row ", 0) == 0 && colon != std::string::npos) {
      o.rows.push_back(Cp932(line.substr(colon + 2)));
    }
  }
  return o;
}

// The first row field of every row.
std::multiset<std::string> Names(const std::vector<std::string> &rows) {
  std::multiset<std::string> names;
  for (const auto &row : rows) names.insert(Fields(row)[0]);
  return names;
}

// Conditions of a facility search; texts in UTF-8.
struct Query {
  std::string dai, chu, sho, name, admin;
  int32_t latitude = 0;
  int32_t longitude = 0;
  double radius = 0;
  int32_t maximum = 1000;
  std::string folder = "${GAZREF_FACILITY}";
};

std::string Quote(const std::string &text) { return "\"" + text + "\""; }

// Argument numbers of the overflow flag and the message of each array
// export (the FL twins have one more).
constexpr int kShisetsuFlag = 11;
constexpr int kBunruiFlag = 6;
constexpr int kGyoseiFlag = 4;

std::string ShisetsuCall(const Query &q, const std::string &file = "") {
  std::ostringstream call;
  call << (file.empty() ? "GZR_Shisetsu_FindListFirst " : "GZR_Shisetsu_FindListFirstFL ");
  if (!file.empty()) call << Quote(file) << " ";
  call << Quote(q.dai) << " " << Quote(q.chu) << " " << Quote(q.sho) << " " << Quote(q.name) << " "
       << Quote(q.admin) << " " << q.latitude << " " << q.longitude << " " << std::setprecision(17)
       << q.radius << " " << Quote(q.folder) << " " << q.maximum << " -7 buf";
  return call.str();
}

// Plane distance in metres between points in thousandths of an arc second,
// in the zone nearest the first.
double PlaneMetres(double lat1, double lon1, double lat2, double lon2) {
  PlaneRectConverter c;
  c.SelectZone(lat1 * 0.001 / 3600, lon1 * 0.001 / 3600);
  double e1, n1, e2, n2;
  c.ToPlane(lat1 * 0.001, lon1 * 0.001, &e1, &n1);
  c.ToPlane(lat2 * 0.001, lon2 * 0.001, &e2, &n2);
  return std::hypot(e2 - e1, n2 - n1);
}

// The prefecture and the rest of an administrative name of the sample (its
// names begin with 東京都, 京都府 or no prefecture).
std::pair<std::string, std::string> SplitArea(const std::string &area) {
  for (const std::string pref : {"東京都", "京都府"}) {
    if (area.rfind(pref, 0) == 0) return {pref, area.substr(pref.size())};
  }
  return {"", area};
}

// The display-priority table read on its own: priority by key, the first
// line of a key winning.
class PriorityTable {
 public:
  explicit PriorityTable(const std::string &bytes) {
    std::istringstream in(bytes);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::size_t comma = line.find(',');
      if (comma == std::string::npos || comma == 0) continue;
      const std::string number = line.substr(0, comma);
      if (number.find_first_not_of("0123456789") != std::string::npos) continue;
      const int priority = std::atoi(number.c_str());
      lines_.push_back({priority, Fields(line.substr(comma + 1))});
      keys_.emplace(line.substr(comma + 1), priority);
    }
  }
  static constexpr int kUnknown = 999999;

  // A facility row: by its full category key, else by "大,中,".
  int Facility(const std::vector<std::string> &f, bool *fullKey) const {
    *fullKey = false;
    auto it = keys_.find(f[7] + "," + f[8] + "," + f[9]);
    if (it != keys_.end()) {
      *fullKey = true;
      return it->second;
    }
    it = keys_.find(f[7] + "," + f[8] + ",");
    return it == keys_.end() ? kUnknown : it->second;
  }
  // A category of the first level.
  int Major(const std::string &name) const {
    for (const auto &[priority, key] : lines_) {
      if (key[0] == name) return priority;
    }
    return kUnknown;
  }

 private:
  std::vector<std::pair<int, std::vector<std::string>>> lines_;
  std::map<std::string, int> keys_;
};

class FacilityHostTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    if (IsSkipped()) return;
    folder_ = BuildDir() + U8(u8"/Database/施設");
    setenv("GAZREF_FACILITY", folder_.c_str(), 1);
    // The area list's working files go under this test's own folder.
    setenv("TMPDIR", temp_.path().c_str(), 1);
  }
  void TearDown() override {
    unsetenv("GAZREF_FACILITY");
    unsetenv("TMPDIR");
  }

  Outcome Call(const std::string &call, const char *view = "shisetsu") {
    return Parse(RunOk(call + "\n.rows " + view + "\n"));
  }
  Outcome Shisetsu(const Query &q) { return Call(ShisetsuCall(q)); }
  // The FL twin: its outcome with the rows of its result file (none when
  // the file is gone).
  Outcome ShisetsuFile(const Query &q) {
    const std::string file = dir_.Native("result.csv");
    fs::remove(file);
    Outcome o = Call(ShisetsuCall(q, file));
    EXPECT_TRUE(o.rows.empty()) << "the FL form fills no rows";
    o.rows = FileLines(file);
    EXPECT_EQ(testutil::Exists(file), !o.rows.empty());
    return o;
  }
  // The facilities of the description that a search with a full point
  // lists within the radius: those well inside it, and those near its
  // border in `uncertain`.
  std::set<std::string> Within(const Query &q, std::set<std::string> *uncertain) const {
    std::set<std::string> names;
    for (const FacilityRow &r : Described().facilities) {
      if (r.major == "使用しない") continue;
      const double d = PlaneMetres(q.latitude, q.longitude, r.latitude, r.longitude);
      if (std::fabs(d - q.radius) < 1) {
        uncertain->insert(r.name);
      } else if (d < q.radius) {
        names.insert(r.name);
      }
    }
    return names;
  }

  std::string folder_;
  testutil::TempDir temp_;
};

// ---- The facility search ----

TEST_F(FacilityHostTest, EveryFacilityRowShowsItsRecordWithTheAdministrativeNameSplit) {
  for (const FacilityRow &r : Described().facilities) {
    if (r.major == "使用しない" || r.major == "公衆トイレ") continue;
    Query q;
    q.name = Utf8(r.name);
    const Outcome o = Shisetsu(q);
    ASSERT_EQ(o.result, 1) << Show(r.name) << " " << Show(o.Arg(12));
    const std::string *row = nullptr;
    for (const auto &candidate : o.rows) {
      if (Fields(candidate)[0] == r.name) row = &candidate;
    }
    ASSERT_NE(row, nullptr) << Show(r.name);
    const auto [pref, rest] = SplitArea(r.area);
    EXPECT_EQ(Fields(*row),
              (std::vector<std::string>{
                  r.name, r.kana, std::to_string(r.latitude), std::to_string(r.longitude), pref,
                  rest, std::to_string(r.cityCode), r.major, r.middle, r.minor, "0"}))
        << Show(*row);
  }
  // The two forms of the administrative name, spelt out.
  Query q;
  q.name = U8(u8"京都市役所");
  Outcome o = Shisetsu(q);
  ASSERT_EQ(o.rows.size(), 1u);
  EXPECT_EQ(Fields(o.rows[0])[4], "京都府");
  EXPECT_EQ(Fields(o.rows[0])[5], "京都市中京区");
  q.name = U8(u8"皇居外苑");
  o = Shisetsu(q);
  ASSERT_EQ(o.rows.size(), 1u);
  EXPECT_EQ(Fields(o.rows[0])[4], "");
  EXPECT_EQ(Fields(o.rows[0])[5], "千代田区");
}

TEST_F(FacilityHostTest, RangeRowsAscendWithinTheRadiusAndTheirDistanceIsThePlaneDistance) {
  struct Circle {
    int32_t latitude, longitude;
    double radius;
  };
  const Circle circles[] = {{128446800, 503167200, 600},     // 東京駅
                            {128446800, 503167200, 75.5},    // a few metres
                            {126029900, 488778200, 1500},    // 京都市役所
                            {128728100, 503068300, 2500},    // 王子駅
                            {126029900, 488778200, 20000}};  // every Kyoto facility
  for (const Circle &c : circles) {
    Query q;
    q.latitude = c.latitude;
    q.longitude = c.longitude;
    q.radius = c.radius;
    // The file keeps the search order: ascending distance.
    const Outcome file = ShisetsuFile(q);
    ASSERT_EQ(file.result, 1) << Show(file.Arg(13));
    EXPECT_EQ(file.Arg(12), "0");
    double last = -1;
    std::set<std::string> found;
    for (const auto &row : file.rows) {
      const auto f = Fields(row);
      ASSERT_EQ(f.size(), 11u) << Show(row);
      const double d = std::atof(f[10].c_str());
      EXPECT_GE(d, last) << Show(row);
      last = d;
      EXPECT_LE(d, q.radius + 1) << Show(row);
      EXPECT_NEAR(
          d, PlaneMetres(q.latitude, q.longitude, std::atof(f[2].c_str()), std::atof(f[3].c_str())),
          1.0)
          << Show(row);
      found.insert(f[0]);
    }
    std::set<std::string> uncertain;
    const std::set<std::string> expected = Within(q, &uncertain);
    for (const auto &name : uncertain) found.erase(name);
    EXPECT_EQ(found, expected) << c.radius;
    // The array holds the same rows.
    const Outcome array = Shisetsu(q);
    EXPECT_EQ(std::multiset<std::string>(array.rows.begin(), array.rows.end()),
              std::multiset<std::string>(file.rows.begin(), file.rows.end()));
  }
}

TEST_F(FacilityHostTest, UnusedNeverAndPublicToiletsOnlyWithAFullPoint) {
  Query q;
  q.name = U8(u8"旧丸の内倉庫");
  Outcome o = Shisetsu(q);
  EXPECT_EQ(o.result, 0);
  EXPECT_EQ(o.Arg(12), "条件にあてはまる施設はありません！");
  q = Query();
  q.dai = U8(u8"使用しない");
  EXPECT_EQ(Shisetsu(q).result, 0);
  // The unused facility lies about 120 m from 東京駅 and still is not
  // listed.
  q = Query();
  q.latitude = 128446800;
  q.longitude = 503167200;
  q.radius = 300;
  o = Shisetsu(q);
  ASSERT_EQ(o.result, 1);
  EXPECT_EQ(Names(o.rows).count("旧丸の内倉庫"), 0u);
  EXPECT_EQ(Names(o.rows).count("丸の内公衆トイレ"), 1u);

  q = Query();
  q.name = U8(u8"公衆トイレ");
  EXPECT_EQ(Shisetsu(q).result, 0);  // no point
  q.latitude = 128446800;
  q.longitude = 503167200;
  EXPECT_EQ(Shisetsu(q).result, 0);  // no radius
  q.radius = 1000;
  o = Shisetsu(q);
  ASSERT_EQ(o.result, 1) << Show(o.Arg(12));
  EXPECT_EQ(Names(o.rows), (std::multiset<std::string>{"丸の内公衆トイレ"}));
}

TEST_F(FacilityHostTest, MaximumZeroNothingAndANegativeMaximumRefused) {
  Query q;
  q.name = U8(u8"駅");
  q.maximum = 0;
  Outcome o = Shisetsu(q);
  EXPECT_EQ(o.result, 0);
  EXPECT_EQ(o.Arg(kShisetsuFlag), "1");
  EXPECT_EQ(o.Arg(12), "条件にあてはまる施設はありません！");
  EXPECT_TRUE(o.rows.empty());
  o = ShisetsuFile(q);  // no file left
  EXPECT_EQ(o.result, 0);
  EXPECT_EQ(o.Arg(kShisetsuFlag + 1), "1");

  q.maximum = 2;
  o = Shisetsu(q);
  EXPECT_EQ(o.result, 1);
  EXPECT_EQ(o.Arg(kShisetsuFlag), "1");
  EXPECT_EQ(o.rows.size(), 2u);

  q.maximum = -1;
  for (const Outcome &refused : {Shisetsu(q), ShisetsuFile(q)}) {
    EXPECT_EQ(refused.result, 0);
    EXPECT_TRUE(refused.rows.empty());
  }
  o = Shisetsu(q);
  EXPECT_EQ(o.Arg(kShisetsuFlag), "-7");  // untouched
  EXPECT_EQ(o.Arg(12), "最大検索数が不正です！[SHISETSU_FINDLISTFIRST]");
}

TEST_F(FacilityHostTest, TheKanjiNumeralNameFindsTheDigitFormOnce) {
  Query q;
  q.name = U8(u8"第一ビル");
  for (const Outcome &o : {Shisetsu(q), ShisetsuFile(q)}) {
    ASSERT_EQ(o.result, 1);
    EXPECT_EQ(Names(o.rows), (std::multiset<std::string>{"第１ビル"}));
  }
}

TEST_F(FacilityHostTest, ModePrecedenceAndTheOtherConditionsAsFilters) {
  const auto names = [&](const Query &q) { return Names(Shisetsu(q).rows); };
  using Set = std::multiset<std::string>;
  // The name index selects, the administrative text filters.
  Query q;
  q.name = U8(u8"駅");
  q.admin = U8(u8"京都府");
  EXPECT_EQ(names(q), (Set{"山崎駅"}));
  // Blanks of the administrative text are ignored by the prefix test;
  // the words must still come in the order of the name.
  q.admin = U8(u8"東京都 千代田区");
  EXPECT_EQ(names(q), (Set{"東京駅", "大手町駅", "二重橋前駅"}));
  q.admin = U8(u8"千代田区 東京都");
  EXPECT_EQ(Shisetsu(q).result, 0);
  Query byArea;
  byArea.admin = U8(u8"東京都千代田区");
  const Set whole = names(byArea);
  EXPECT_EQ(whole.size(),
            12u);  // 14 records, less the unused one and the toilet
  byArea.admin = U8(u8"東京都 千代田区");
  EXPECT_EQ(names(byArea), whole);

  // A 中分類 without a 大分類 selects nothing, but filters a name search.
  Query middle;
  middle.chu = U8(u8"ビル");
  Outcome o = Shisetsu(middle);
  EXPECT_EQ(o.result, 0);
  EXPECT_EQ(o.Arg(12), "検索条件が設定されていません！");
  middle.name = U8(u8"丸の内");
  EXPECT_EQ(names(middle), (Set{"丸の内第二ビル", "丸の内中央ビル"}));
  // Category mode; a 大分類 that names no node finds nothing.
  Query category;
  category.dai = U8(u8"寺社");
  category.chu = U8(u8"神社");
  EXPECT_EQ(names(category), (Set{"王子神社", "今宮神社"}));
  category.dai = U8(u8"博物館");
  o = Shisetsu(category);
  EXPECT_EQ(o.result, 0);
  EXPECT_EQ(o.Arg(12), "条件にあてはまる施設はありません！");
}

TEST_F(FacilityHostTest, NoConditionIsRefused) {
  Query q;
  Outcome o = Shisetsu(q);
  EXPECT_EQ(o.result, 0);
  EXPECT_EQ(o.Arg(12), "検索条件が設定されていません！");
  // A point without a radius is no condition.
  q.latitude = 128446800;
  q.longitude = 503167200;
  o = ShisetsuFile(q);
  EXPECT_EQ(o.result, 0);
  EXPECT_EQ(o.Arg(13), "検索条件が設定されていません！");
  // With a name, such a point filters nothing and only gives the distance.
  q.name = U8(u8"駅");
  o = ShisetsuFile(q);
  ASSERT_EQ(o.result, 1);
  EXPECT_EQ(Names(o.rows), (std::multiset<std::string>{"東京駅", "大手町駅", "二重橋前駅", "王子駅",
                                                       "箱根ケ崎駅", "山崎駅"}));
  for (const auto &row : o.rows) {
    const auto f = Fields(row);
    EXPECT_NEAR(
        std::atof(f[10].c_str()),
        PlaneMetres(q.latitude, q.longitude, std::atof(f[2].c_str()), std::atof(f[3].c_str())), 1.0)
        << Show(row);
  }
}

// ---- Display priority ----

TEST_F(FacilityHostTest, ArrayRowsFollowThePriorityTableAndFileRowsKeepTheSearchOrder) {
  const std::string table = testutil::ReadBytes(folder_ + U8(u8"/表示優先.tbl"));
  ASSERT_NE(table.find("\r\n"), std::string::npos) << "the sample table has CR LF lines";
  const PriorityTable priorities(table);

  Query q;  // every Kyoto facility, of six categories
  q.latitude = 126029900;
  q.longitude = 488778200;
  q.radius = 20000;
  const Outcome file = ShisetsuFile(q);
  const Outcome array = Shisetsu(q);
  ASSERT_EQ(array.rows.size(), 9u);
  ASSERT_EQ(std::multiset<std::string>(array.rows.begin(), array.rows.end()),
            std::multiset<std::string>(file.rows.begin(), file.rows.end()));
  EXPECT_NE(array.rows, file.rows) << "the table reorders these rows";
  std::map<std::string, std::size_t> searchOrder;
  for (std::size_t i = 0; i < file.rows.size(); ++i) searchOrder[file.rows[i]] = i;
  int lastPriority = INT_MIN;
  std::size_t lastPlace = 0;
  bool lastFull = false;
  for (const auto &row : array.rows) {
    bool full = false;
    const int priority = priorities.Facility(Fields(row), &full);
    EXPECT_GE(priority, lastPriority) << Show(row);
    // Rows of one priority by their full key stay in distance order.
    if (priority == lastPriority && full && lastFull) {
      EXPECT_GT(searchOrder[row], lastPlace) << Show(row);
    }
    lastPriority = priority;
    lastPlace = searchOrder[row];
    lastFull = full;
  }

  // Categories: the array by the first level's priorities, the file in
  // tree order.
  const std::string categoryFile = dir_.Native("bunrui.csv");
  const Outcome categories = Call(
      "GZR_Bunrui_FindListFirst \"\" \"\" \"\" "
      "\"${GAZREF_FACILITY}\" 100 -7 buf",
      "bunrui");
  const Outcome listed = Call("GZR_Bunrui_FindListFirstFL \"" + categoryFile +
                                  "\" \"\" \"\" \"\" \"${GAZREF_FACILITY}\" 100 -7 buf",
                              "bunrui");
  ASSERT_EQ(listed.result, 1);
  const std::vector<std::string> treeOrder = FileLines(categoryFile);
  ASSERT_EQ(std::multiset<std::string>(categories.rows.begin(), categories.rows.end()),
            std::multiset<std::string>(treeOrder.begin(), treeOrder.end()));
  EXPECT_NE(categories.rows, treeOrder);
  for (std::size_t i = 1; i < categories.rows.size(); ++i) {
    EXPECT_LE(priorities.Major(categories.rows[i - 1]), priorities.Major(categories.rows[i]))
        << Show(categories.rows[i]);
  }

  // A copy of the folder whose table has bare line feeds orders alike.
  testutil::TempDir copy;
  for (const auto &entry : fs::directory_iterator(folder_)) {
    fs::copy_file(entry.path(), fs::path(copy.path()) / entry.path().filename());
  }
  std::string lf;
  for (char c : table) {
    if (c != '\r') lf += c;
  }
  ASSERT_TRUE(testutil::WriteBytes(copy.Native(U8(u8"表示優先.tbl")), lf));
  Query copied = q;
  copied.folder = copy.path();
  EXPECT_EQ(Shisetsu(copied).rows, array.rows);
  EXPECT_EQ(
      Call("GZR_Bunrui_FindListFirst \"\" \"\" \"\" \"" + copy.path() + "\" 100 -7 buf", "bunrui")
          .rows,
      categories.rows);
}

// ---- Category and administrative-area lists ----

// The 大分類 of the description that the category list may show, with a
// facility whose administrative name passes the filters.
std::set<std::string> ListedMajors(const std::string &pref, const std::string &rest) {
  std::set<std::string> majors;
  for (const FacilityRow &r : Described().facilities) {
    if (r.major == "公衆トイレ" || r.major == "使用しない" || r.major == "その他") continue;
    const auto split = SplitArea(r.area);
    if (!pref.empty() && (split.first != pref || (!rest.empty() && split.second != rest))) {
      continue;
    }
    majors.insert(r.major);
  }
  return majors;
}

// The area rows of the facilities of the given categories (empty: all),
// each once, in byte order of the names.
std::vector<std::string> ListedAreas(const std::string &major, const std::string &middle) {
  std::set<std::string> areas;
  for (const FacilityRow &r : Described().facilities) {
    if ((major.empty() || r.major == major) && (middle.empty() || r.middle == middle)) {
      areas.insert(r.area);
    }
  }
  std::vector<std::string> rows;
  for (const auto &area : areas) {
    const auto [pref, rest] = SplitArea(area);
    rows.push_back(pref + "," + rest);
  }
  return rows;
}

TEST_F(FacilityHostTest, CategoryListsTheFirstLevelWithoutTheExcludedNamesAndByFilters) {
  const auto list = [&](const std::string &words, const std::string &pref,
                        const std::string &muni) {
    const Outcome o = Call("GZR_Bunrui_FindListFirst " + Quote(words) + " " + Quote(pref) + " " +
                               Quote(muni) + " \"${GAZREF_FACILITY}\" 100 -7 buf",
                           "bunrui");
    EXPECT_EQ(o.result, o.rows.empty() ? 0 : 1);
    EXPECT_EQ(o.Arg(kBunruiFlag), o.rows.empty() ? "-7" : "0");
    const std::set<std::string> names(o.rows.begin(), o.rows.end());
    EXPECT_EQ(names.size(), o.rows.size()) << "each once";
    return names;
  };
  EXPECT_EQ(list("", "", ""), ListedMajors("", ""));
  EXPECT_EQ(list("", U8(u8"東京都"), ""), ListedMajors("東京都", ""));
  EXPECT_EQ(list("", U8(u8"京都府"), ""), ListedMajors("京都府", ""));
  EXPECT_EQ(list("", U8(u8"京都府"), U8(u8"京都市中京区")), ListedMajors("京都府", "京都市中京区"));
  EXPECT_NE(ListedMajors("京都府", ""), ListedMajors("", "")) << "the filter must matter";
  // One level down, and two.
  EXPECT_EQ(list(U8(u8"寺社"), U8(u8"京都府"), U8(u8"京都市北区")),
            (std::set<std::string>{"寺院", "神社"}));
  EXPECT_EQ(list(U8(u8"寺社"), U8(u8"東京都"), U8(u8"中央区")), (std::set<std::string>{"寺院"}));
  EXPECT_EQ(list(U8(u8"交通 鉄道"), "", ""), (std::set<std::string>{"駅"}));
}

TEST_F(FacilityHostTest, CategoryRowsReorderByTheLevelBelowTheirWordsButNotWithThreeWords) {
  const auto rows = [&](const std::string &words) {
    return Call("GZR_Bunrui_FindListFirst " + Quote(words) +
                    " \"\" \"\" \"${GAZREF_FACILITY}\" 100 -7 buf",
                "bunrui")
        .rows;
  };
  // The table ranks 市役所 20, 区役所 21, 町村役場 22; the tree holds them in
  // byte order.
  using List = std::vector<std::string>;
  EXPECT_EQ(rows(U8(u8"公共施設 官公庁")), (List{"市役所", "区役所", "町村役場"}));
  EXPECT_EQ(rows(U8(u8"公共施設 官公庁 市役所")), (List{"区役所", "市役所", "町村役場"}));
  // One word: the 中分類 by the table's lines under their 大分類.
  EXPECT_EQ(rows(U8(u8"公共施設")), (List{"官公庁", "郵便局"}));
}

TEST_F(FacilityHostTest, AreaListHoldsEachAreaOnceInByteOrderAsPrefectureAndRest) {
  const auto list = [&](const std::string &words) {
    const Outcome o =
        Call("GZR_Gyosei_FindListFirst " + Quote(words) + " \"${GAZREF_FACILITY}\" 100 -7 buf",
             "gyosei");
    EXPECT_EQ(o.result, 1);
    EXPECT_EQ(o.Arg(kGyoseiFlag), "0");
    return o.rows;
  };
  const std::vector<std::string> all = ListedAreas("", "");
  EXPECT_EQ(list(""), all);
  EXPECT_EQ(all.size(), 10u);
  EXPECT_EQ(list(U8(u8"寺社")), ListedAreas("寺社", ""));
  EXPECT_EQ(list(U8(u8"交通 鉄道 駅")), ListedAreas("交通", "鉄道"));
  // The file form holds the same lines.
  const std::string file = dir_.Native("gyosei.csv");
  const Outcome o =
      Call("GZR_Gyosei_FindListFirstFL \"" + file + "\" \"\" \"${GAZREF_FACILITY}\" 100 -7 buf");
  EXPECT_EQ(o.result, 1);
  EXPECT_EQ(FileLines(file), all);
}

TEST_F(FacilityHostTest, ListsStopAtTheMaximumWithTheOverflowFlag) {
  const std::vector<std::string> areas = ListedAreas("寺社", "");
  ASSERT_EQ(areas.size(), 5u);
  Outcome o =
      Call(U8(u8"GZR_Gyosei_FindListFirst \"寺社\" \"${GAZREF_FACILITY}\" 2 -7 buf"), "gyosei");
  EXPECT_EQ(o.result, 1);
  EXPECT_EQ(o.Arg(kGyoseiFlag), "1");
  EXPECT_EQ(o.rows, (std::vector<std::string>{areas[0], areas[1]}));
  o = Call(U8(u8"GZR_Gyosei_FindListFirst \"寺社\" \"${GAZREF_FACILITY}\" 5 -7 buf"), "gyosei");
  EXPECT_EQ(o.Arg(kGyoseiFlag), "0");
  EXPECT_EQ(o.rows, areas);

  o = Call("GZR_Bunrui_FindListFirst \"\" \"\" \"\" \"${GAZREF_FACILITY}\" 2 -7 buf", "bunrui");
  EXPECT_EQ(o.result, 1);
  EXPECT_EQ(o.Arg(kBunruiFlag), "1");
  EXPECT_EQ(o.rows.size(), 2u);
}

TEST_F(FacilityHostTest, AnUnknownWordLeavesTheFlagAndABadMaximumIsRefused) {
  const std::string bunruiFile = dir_.Native("bunrui.csv");
  const std::string gyoseiFile = dir_.Native("gyosei.csv");
  const std::string out = RunOk(U8(u8"GZR_Bunrui_FindListFirst \"博物館\" \"\" \"\" "
                                   u8"\"${GAZREF_FACILITY}\" 5 -7 buf\n") +
                                "GZR_Bunrui_FindListFirstFL \"" + bunruiFile +
                                U8(u8"\" \"交通 航空\" \"\" \"\" \"${GAZREF_FACILITY}\" 5 -7 buf\n"
                                   u8"GZR_Gyosei_FindListFirst \"交通 鉄道 空港\" "
                                   u8"\"${GAZREF_FACILITY}\" 5 -7 buf\n") +
                                "GZR_Gyosei_FindListFirstFL \"" + gyoseiFile +
                                U8(u8"\" \"博物館\" \"${GAZREF_FACILITY}\" 5 -7 buf\n") +
                                "GZR_Bunrui_FindListFirst \"\" \"\" \"\" \"${GAZREF_FACILITY}\" -1 "
                                "-7 buf\n"
                                "GZR_Gyosei_FindListFirst \"\" \"${GAZREF_FACILITY}\" -1 -7 buf\n"
                                "GZR_GetShisetsuTotal\n");
  const std::string expected =
      U8(u8"= 0\n  #6: -7\n  #7: 条件にあてはまる分類はありません！\n"
         u8"= 0\n  #7: -7\n  #8: 条件にあてはまる分類はありません！\n"
         u8"= 0\n  #4: -7\n  #5: "
         u8"条件にあてはまる都道府県市区町村名はありません！\n"
         u8"= 0\n  #5: -7\n  #6: "
         u8"条件にあてはまる都道府県市区町村名はありません！\n"
         u8"= 0\n  #6: -7\n  #7: 最大検索数が不正です[BUNRUI_FINDLISTFIRST]\n"
         u8"= 0\n  #4: -7\n  #5: 最大検索数が不正です！[GYOSEI_FINDLISTFIRST]\n"
         u8"= 0\n");
  // The output without its echoed calls.
  std::string answers;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("> ", 0) != 0) answers += line + "\n";
  }
  EXPECT_EQ(answers, expected) << out;
  EXPECT_FALSE(testutil::Exists(bunruiFile));
  EXPECT_FALSE(testutil::Exists(gyoseiFile));
}

TEST_F(FacilityHostTest, NoWorkingFileOfTheAreaListRemains) {
  const std::string file = dir_.Native("gyosei.csv");
  RunOk(U8(u8"GZR_Gyosei_FindListFirst \"\" \"${GAZREF_FACILITY}\" 100 -7 buf\n"
           u8"GZR_Gyosei_FindListFirst \"寺社\" \"${GAZREF_FACILITY}\" 1 -7 buf\n"
           u8"GZR_Gyosei_FindListFirst \"博物館\" \"${GAZREF_FACILITY}\" 100 -7 "
           u8"buf\n") +
        "GZR_Gyosei_FindListFirst \"\" \"" + dir_.path() +
        "\" 100 -7 buf\n"
        "GZR_Gyosei_FindListFirstFL \"" +
        file +
        "\" \"\" \"${GAZREF_FACILITY}\" 100 -7 buf\n"
        "GZR_Gyosei_FindListFirstFL \"" +
        dir_.Native("none/x.csv") + "\" \"\" \"${GAZREF_FACILITY}\" 100 -7 buf\n");
  EXPECT_TRUE(testutil::Exists(file));
  std::vector<std::string> left;
  for (const auto &entry : fs::recursive_directory_iterator(temp_.path())) {
    left.push_back(entry.path().string());
  }
  std::string shown;
  for (const auto &path : left) shown += path + "\n";
  EXPECT_TRUE(left.empty()) << shown;
}

TEST_F(FacilityHostTest, EachExportReplacesTheFacilityRows) {
  Query q;
  q.name = U8(u8"東京駅");
  const std::string out = RunOk(ShisetsuCall(q) + U8(u8"\nGZR_GetShisetsuTotal\n"
                                                     u8"GZR_Gyosei_FindListFirst \"寺社 神社\" "
                                                     u8"\"${GAZREF_FACILITY}\" 100 -7 buf\n"
                                                     u8".rows gyosei\n"
                                                     u8"GZR_Bunrui_FindListFirst \"博物館\" \"\" "
                                                     u8"\"\" \"${GAZREF_FACILITY}\" 100 -7 buf\n"
                                                     u8"GZR_GetShisetsuTotal\n"));
  EXPECT_NE(out.find("> GZR_GetShisetsuTotal\n= 1\n"), std::string::npos) << out;
  EXPECT_NE(out.find(U8(u8"total 2\nrow 0: 京都府,京都市北区\nrow 1: 東京都,北区\n")),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("> GZR_GetShisetsuTotal\n= 0\n"), std::string::npos) << out;
}

TEST_F(FacilityHostTest, NullTextsAreEmptyAndNullFlagsOrMessagesAreNotWritten) {
  const std::string out = RunOk(
      U8(u8"GZR_Shisetsu_FindListFirst null null null \"東京駅\" null 0 0 0 \"${GAZREF_FACILITY}\" "
         u8"100 "
         u8"null null\n"
         u8"GZR_Shisetsu_FindListFirstFL null null null null \"東京駅\" null 0 0 0 "
         u8"\"${GAZREF_FACILITY}\" 100 null buf\n"
         u8"GZR_Bunrui_FindListFirst null null null \"${GAZREF_FACILITY}\" 100 null null\n"
         u8"GZR_Gyosei_FindListFirst null \"${GAZREF_FACILITY}\" 100 null null\n"
         u8"GZR_Gyosei_FindListFirstFL null null \"${GAZREF_FACILITY}\" 100 null buf\n"
         u8"GZR_Bunrui_FindListFirstFL null null null null \"${GAZREF_FACILITY}\" 100 null buf\n"));
  std::string answers;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("> ", 0) != 0) answers += line + "\n";
  }
  // A null result file cannot be created.
  const std::string noFile = U8(u8"ファイルの作成に失敗しました！()");
  EXPECT_EQ(answers,
            "= 1\n  #11: null\n  #12: null\n"
            "= 0\n  #12: null\n  #13: " +
                noFile +
                "\n"
                "= 1\n  #6: null\n  #7: null\n"
                "= 1\n  #4: null\n  #5: null\n"
                "= 0\n  #5: null\n  #6: " +
                noFile +
                "\n"
                "= 0\n  #7: null\n  #8: " +
                noFile + "\n")
      << out;
}

}  // namespace
