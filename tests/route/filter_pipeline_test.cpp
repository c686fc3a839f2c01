// The whole post-processing chain on leg results made over the sample road
// map, with the sample HIGHWAY.DAT and the sample toll data of the build
// tree, and its failure paths.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "outside/kiwi.h"
#include "outside/route_builder.h"
#include "route/route_work.h"
#include "support/test_util.h"

namespace {

using TvxRoute::RouteDataPaths;
using TvxRoute::RouteWork;
using TvxRoute::TVXRouteCondition;
using TvxRoute::TVXRouteResult;

std::string BuildDir() {
  const char* build = std::getenv("KORT_BUILD_DIR");
  // The compiled-in path as UTF-8 (a plain literal would be CP932).
  if (build == nullptr || *build == '\0')
    build = reinterpret_cast<const char*>(u8"" KORT_TEST_BUILD_DIR);
  return build;
}

struct ConditionDeleter {
  void operator()(TVXRouteCondition* c) const { c->Release(); }
};
struct ResultDeleter {
  void operator()(TVXRouteResult* r) const { r->Release(); }
};

TVXRouteCondition::Node* ConditionNode(const std::u8string& name, CDateTime time) {
  TVXRouteCondition::Node* n = TVXRouteCondition::Node::Create();
  n->setName(testutil::Sjis(name).c_str());
  n->time = time;
  return n;
}

TravelClock::Time Clock(int hour) {
  TravelClock::Time t;
  t.set(2015, 5, 2, hour, 0, 0);  // 3 June 2015
  return t;
}

// The data files in a scratch folder with an ASCII name: the map, HIGHWAY.DAT
// and the toll tables.
class FilterPipeline : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"ALLDATA.KWI", "HIGHWAY.DAT"}) Copy("/Database/Road/", name);
    for (const char* name : {"TOLL.DAT", "FACIL.DAT"}) Copy("/Database/Toll/v35/", name);
    ASSERT_TRUE(map_.init(dir_.Sys("ALLDATA.KWI").c_str()));
    paths_.highwayPath = dir_.Sys("HIGHWAY.DAT");
    paths_.tollFolder = dir_.Sys("");

    condition_.reset(TVXRouteCondition::Create());
    condition_->append(ConditionNode(u8"瀬田", CDateTime(2015, 6, 3, 8, 0)));
    condition_->append(ConditionNode(u8"県境", CDateTime(2015, 6, 3, 9, 0)));
    condition_->append(ConditionNode(u8"旭町", CDateTime()));
    condition_->thinningParam1 = tolerances_;
    condition_->thinningParam2 = 2;
    work_.condition = condition_.get();

    // Leg 0: the 国道246号 from 瀬田 to 東京IC, then the 東名 to the tile
    // border, past the 東京料金所 and 横浜青葉IC.
    routebuild::LegSpec leg0;
    leg0.departure = Clock(8);
    routebuild::PartSpec p0;
    p0.runs = {{2001, 0, false, 8, 0x20F6}, {1001, 4, false, 2, 0}};
    p0.facilities = {{2001, false, 101}};
    p0.tolls = {{1001, false, 12}, {1002, false, 26}};
    leg0.parts = {p0};
    // Leg 1: on from the border over the 東名 to 厚木IC, then the 県道63号
    // to the crossing 旭町 and the 市道 beyond it.
    routebuild::LegSpec leg1;
    leg1.departure = Clock(9);
    routebuild::PartSpec p1;
    p1.runs = {{1006, 4, false, 2, 0}, {4004, 0, false, 12, 0xA03F}, {4005, 0, false, 14, 0}};
    p1.facilities = {{1006, false, 104}, {1010, false, 107}};
    leg1.parts = {p1};
    for (const routebuild::LegSpec* spec : {&leg0, &leg1}) {
      RouteSingleResult leg;
      std::string error;
      ASSERT_TRUE(routebuild::BuildRouteResult(map_, *spec, &leg, &error)) << error;
      work_.legResults.push_back(leg);
    }

    // The toll engine's answer: fees for the 東京料金所, none for 横浜青葉IC.
    auto* raw = new TollResultRaw;
    raw->code = 0;
    raw->total1 = 1050;
    raw->total3 = 740;
    TollResultRaw::Prof tokyo;
    tokyo.facility = 12;
    tokyo.fee1 = 260;
    tokyo.fee3 = 180;
    TollResultRaw::Prof aoba;
    aoba.facility = 26;
    raw->profs.v = {tokyo, aoba};
    work_.tollResult = TollResult(raw);
  }

  void Copy(const std::string& from, const char* name) {
    const std::string bytes = testutil::ReadBytes(BuildDir() + from + name);
    ASSERT_FALSE(bytes.empty()) << from << name;
    ASSERT_TRUE(testutil::WriteBytes(dir_.Native(name), bytes));
  }

  testutil::TempDir dir_;
  KiwiHandleForALLDATA map_{0x1000000, true};
  RouteDataPaths paths_;
  const double tolerances_[2] = {1.0, 30720.0};
  std::unique_ptr<TVXRouteCondition, ConditionDeleter> condition_;
  RouteWork work_;
};

std::string Time(const CDateTime& t) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", t.getYear(), t.getMon(), t.getDay(),
                t.getHour(), t.getMin());
  return buf;
}

// The result as text (names shown as UTF-8).
std::string Describe(const TVXRouteResult& r) {
  std::string out;
  char buf[200];
  for (int i = 0; i < r.getNodeCnt(); ++i) {
    const TVXRouteResult::Node& n = *r.getNode(i);
    std::snprintf(buf, sizeof buf,
                  "node %d kind %d break %d fee %d/%d code %d flag %d at %d,%d time %s ", i, n.kind,
                  n.breakNo, n.fee, n.firstFee, n.facilityCode, n.facilityFlag, n.lon, n.lat,
                  Time(n.time).c_str());
    out += buf + testutil::Show(n.getName() ? n.getName() : "") + "\n";
  }
  for (int i = 0; i < r.getLinkCnt(); ++i) {
    const TVXRouteResult::Link& l = *r.getLink(i);
    std::snprintf(buf, sizeof buf, "link %d class %d dist %d time %d node %d road %d points %d", i,
                  l.linkClass, l.distance, l.time, l.nodeIndex, l.roadNameIndex, l.getPointCnt());
    out += buf;
    const TVXRouteResult::Link::Point* p = l.getPointAry();
    if (p) {
      std::snprintf(buf, sizeof buf, " %d,%d .. %d,%d levels ", p[0].lon, p[0].lat,
                    p[l.getPointCnt() - 1].lon, p[l.getPointCnt() - 1].lat);
      out += buf;
      for (int k = 0; k < l.getPointCnt(); ++k) out += std::to_string(p[k].level);
    }
    out += "\n";
  }
  for (int i = 0; i < r.getRoadNameCnt(); ++i)
    out += "road " + std::to_string(i) + " " + testutil::Show(r.getRoadName(i)) + "\n";
  out += "summary " + std::to_string(r.summary1) + " " + std::to_string(r.summary2) + "\n";
  return out;
}

// Written out from the scenario: the map's points (tile origin + whole
// arc-seconds, times 1024), the builder's distances and times, and each
// step of the chain worked through by hand.
const char8_t kGolden[] =
    u8R"(node 0 kind 7 break 1 fee 0/0 code -1 flag 0 at 514743296,131323904 time 2015-06-03 08:00 瀬田
node 1 kind 3 break 0 fee 0/0 code 10 flag 1 at 514721842,131312666 time 2015-06-03 08:00 東京IC
node 2 kind 5 break 0 fee 180/260 code -1 flag 1 at 514672640,131295232 time 2015-06-03 08:01 東京料金所
node 3 kind 7 break 3 fee 0/0 code -1 flag 0 at 514252800,131025920 time 2015-06-03 09:00 県境
node 4 kind 3 break 0 fee 0/0 code 20 flag 1 at 514191387,130915378 time 2015-06-03 09:02 横浜町田IC
node 5 kind 3 break 0 fee 0/0 code 30 flag 1 at 513688626,130597896 time 2015-06-03 09:14 厚木IC
node 6 kind 0 break 0 fee 0/0 code -1 flag 0 at 513662976,130646016 time 2015-06-03 09:18 旭町
node 7 kind 7 break 2 fee 0/0 code -1 flag 0 at 513626112,130664448 time 2015-06-03 09:20 旭町
link 0 class 1 dist 628 time 45 node 0 road 0 points 2 514743296,131323904 .. 514721842,131312666 levels 22
link 1 class 0 dist 1316 time 59 node 1 road 1 points 2 514721842,131312666 .. 514672640,131295232 levels 22
link 2 class 0 dist 13170 time 593 node 2 road 1 points 6 514672640,131295232 .. 514252800,131025920 levels 211102
link 3 class 0 dist 3665 time 165 node 3 road 1 points 2 514252800,131025920 .. 514191387,130915378 levels 22
link 4 class 0 dist 16177 time 728 node 4 road 1 points 8 514191387,130915378 .. 513688626,130597896 levels 21111212
link 5 class 2 dist 1584 time 190 node 5 road 2 points 2 513688626,130597896 .. 513662976,130646016 levels 22
link 6 class 4 dist 1064 time 128 node 6 road 3 points 2 513662976,130646016 .. 513626112,130664448 levels 22
road 0 国道246号(厚木街道)
road 1 東名高速道路
road 2 県道63号(伊勢原津久井線)
road 3 旭町線
summary 740 1050
)";

TEST_F(FilterPipeline, TwoLegsOverTheSampleMapBecomeTheExpectedResult) {
  TVXRouteResult* slot = nullptr;
  ASSERT_TRUE(work_.runFilterPipeline(paths_, &map_, &slot));
  std::unique_ptr<TVXRouteResult, ResultDeleter> result(slot);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->condition, condition_.get());
  EXPECT_EQ(Describe(*result), reinterpret_cast<const char*>(kGolden));
}

// Leg 0 over the 県道212号 from 久里浜駅 to 久里浜港 and on the 東京湾フェリー to
// 金谷港, with the arrival time at the goal given; no tolls.
const char8_t kFerryGolden[] =
    u8R"(node 0 kind 7 break 1 fee 0/0 code -1 flag 0 at 514990080,129982464 time 2015-06-03 10:00 久里浜駅
node 1 kind 6 break 0 fee 0/0 code -1 flag 0 at 515059681,129867826 time 2015-06-03 10:07 久里浜港
node 2 kind 7 break 2 fee 0/0 code -1 flag 0 at 515418112,129654784 time 2015-06-03 12:30 金谷港
link 0 class 3 dist 3870 time 464 node 0 road 0 points 4 514990080,129982464 .. 515059681,129867826 levels 2112
link 1 class 6 dist 10939 time 1969 node 1 road 1 points 5 515059681,129867826 .. 515418112,129654784 levels 21102
road 0 県道212号(久里浜港線)
road 1 東京湾フェリー
summary 0 0
)";

TEST_F(FilterPipeline, AFerryCrossingWithAnArrivalTimeBecomesTheExpectedResult) {
  std::unique_ptr<TVXRouteCondition, ConditionDeleter> condition(TVXRouteCondition::Create());
  condition->append(ConditionNode(u8"久里浜駅", CDateTime(2015, 6, 3, 10, 0)));
  condition->append(ConditionNode(u8"金谷港", CDateTime(2015, 6, 3, 12, 30)));
  condition->timeMode = 1;
  condition->thinningParam1 = tolerances_;
  condition->thinningParam2 = 2;
  RouteWork work;
  work.condition = condition.get();
  routebuild::LegSpec spec;
  spec.departure = Clock(10);
  routebuild::PartSpec part;
  part.runs = {{4001, 2, false, 10, 0xA0D4}, {3001, 0, false, 6, 0}};
  part.facilities = {{4003, false, 0x8001}};
  spec.parts = {part};
  RouteSingleResult leg;
  std::string error;
  ASSERT_TRUE(routebuild::BuildRouteResult(map_, spec, &leg, &error)) << error;
  work.legResults.push_back(leg);

  TVXRouteResult* slot = nullptr;
  ASSERT_TRUE(work.runFilterPipeline(paths_, &map_, &slot));
  std::unique_ptr<TVXRouteResult, ResultDeleter> result(slot);
  EXPECT_EQ(Describe(*result), reinterpret_cast<const char*>(kFerryGolden));
}

TEST_F(FilterPipeline, MissingHighwayDataLeavesTheSlotAlone) {
  ASSERT_EQ(std::remove(dir_.Native("HIGHWAY.DAT").c_str()), 0);
  auto* sentinel = reinterpret_cast<TVXRouteResult*>(0x1234);
  TVXRouteResult* slot = sentinel;
  EXPECT_FALSE(work_.runFilterPipeline(paths_, &map_, &slot));
  EXPECT_EQ(slot, sentinel);
}

TEST_F(FilterPipeline, UnreadableTollDataLeavesTheSlotAlone) {
  ASSERT_EQ(std::remove(dir_.Native("FACIL.DAT").c_str()), 0);
  TVXRouteResult* slot = nullptr;
  EXPECT_FALSE(work_.runFilterPipeline(paths_, &map_, &slot));
  EXPECT_EQ(slot, nullptr);
}

TEST_F(FilterPipeline, ALegOffTheMapLeavesTheSlotAlone) {
  // The second leg names a link that no tile holds.
  work_.legResults[1].raw()->parts[0]->runs[1].link = 9999;
  TVXRouteResult* slot = nullptr;
  EXPECT_FALSE(work_.runFilterPipeline(paths_, &map_, &slot));
  EXPECT_EQ(slot, nullptr);
  EXPECT_FALSE(work_.runFilterPipeline(paths_, nullptr, &slot));
  EXPECT_EQ(slot, nullptr);
}

TEST_F(FilterPipeline, ARouteWithoutLegsStillGetsItsGoal) {
  work_.legResults.clear();
  TVXRouteResult* slot = nullptr;
  ASSERT_TRUE(work_.runFilterPipeline(paths_, &map_, &slot));
  std::unique_ptr<TVXRouteResult, ResultDeleter> result(slot);
  ASSERT_EQ(result->getNodeCnt(), 1);
  EXPECT_EQ(result->getLinkCnt(), 0);
  EXPECT_EQ(result->getNode(0)->breakNo, 2);
  EXPECT_EQ(testutil::Show(result->getNode(0)->getName()), reinterpret_cast<const char*>(u8"旭町"));
  EXPECT_EQ(result->summary1, 740);
  EXPECT_EQ(result->summary2, 1050);
}

}  // namespace
