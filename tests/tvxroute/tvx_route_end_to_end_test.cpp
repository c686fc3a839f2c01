// The whole calculation on the sample road map and toll data: two legs
// made by the result builder on the map and handed over by the engine's
// script, the tolls computed by the toll engine's worker and delivered on
// this thread, the filter pipeline, one completion message.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "outside/kiwi.h"
#include "outside/route_builder.h"
#include "route/tvx_route.h"
#include "tolllib/toll_lib_test_util.h"
#include "tvxroute/tvx_route_test_util.h"

namespace {

using testutil::Sjis;
using TvxRoute::TVXRoute;
using TvxRoute::TVXRouteCondition;
using TvxRoute::TVXRouteResult;

// Degrees to map units (1/1024 arc-second).
std::int32_t Units(double degrees) {
  return static_cast<std::int32_t>(degrees * 3600 * 1024 + 0.5);
}

class RouteEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(map.init((data.path() + "/ALLDATA.KWI").c_str())) << map.lastError();
  }
  ~RouteEndToEnd() override { TvxRoute::Release(result); }

  // A leg over the 東名 (name number 2 = 東名高速道路 of HIGHWAY.DAT):
  // the links first .. first + lastOffset, with a facility and a toll at
  // the end of the given links.
  RouteSingleResult Leg(int hour, int minute, std::uint32_t first, std::uint16_t lastOffset,
                        std::vector<routebuild::GuideSpec> facilities,
                        std::vector<routebuild::GuideSpec> tolls) {
    routebuild::LegSpec leg;
    leg.departure.set(2015, 5, 2, hour, minute, 0);
    leg.vehicleType = 3;
    leg.option = 1;
    routebuild::PartSpec part;
    part.runs = {routebuild::RunSpec{first, lastOffset, false, 2, 0}};
    part.facilities = std::move(facilities);
    part.tolls = std::move(tolls);
    leg.parts = {part};
    RouteSingleResult out;
    std::string error;
    EXPECT_TRUE(routebuild::BuildRouteResult(map, leg, &out, &error)) << error;
    return out;
  }

  tvxtest::ScratchRegistry registry;
  tvxtest::Script script;
  tvxtest::DataFolder data;
  tvxtest::HostWindow host;
  KiwiHandleForALLDATA map{0x1000000, true};
  TVXRouteResult* result = nullptr;
};

// 東京IC (entering at toll facility 10) by way of 横浜青葉IC, where a time
// starts the second leg, past 横浜町田IC (leaving at toll facility 21) to
// the end of the next link, at night with ETC: the sample toll table charges 1,050 yen for 東京 to
// 横浜町田 (class 3: 105 tens) and the night rule takes 30 % off the third
// fee, rounded up to 740.
TEST_F(RouteEndToEnd, StartViaGoalWithTolls) {
  tvxtest::Condition condition(3, {{0, 0}, {1, 20}});
  const double at[3][2] = {{139.6272, 35.6207}, {139.5240, 35.5630}, {139.4400, 35.4800}};
  for (int i = 0; i < 3; ++i) {
    condition.node(i)->lon = Units(at[i][0]);
    condition.node(i)->lat = Units(at[i][1]);
    condition.node(i)->time.setNoData();
  }
  condition.node(0)->time = CDateTime(2015, 6, 3, 3, 10);
  condition.node(1)->time = CDateTime(2015, 6, 3, 3, 30);
  condition.node(0)->setName(Sjis(u8"出発地").c_str());
  condition.node(1)->setName(Sjis(u8"経由地").c_str());
  condition.node(2)->setName(Sjis(u8"目的地").c_str());
  condition.get()->tollOption1 = 1;  // ETC

  // Leg 0: links 1001-1003 (東京IC to 横浜青葉IC); leg 1: links 1004-1007
  // (横浜青葉IC across the tile border past 横浜町田IC).
  const RouteSingleResult leg0 = Leg(3, 10, 1001, 2, {}, {{1001, false, 10}});
  const RouteSingleResult leg1 = Leg(3, 30, 1004, 3, {{1006, false, 104}}, {{1006, false, 21}});
  script->push(RouteOutcome::Result(leg0));
  script->push(RouteOutcome::Result(leg1));

  TVXRoute route;
  ASSERT_TRUE(route.init(data.path().c_str()));
  ASSERT_TRUE(route.calc(host.hwnd(), condition.get(), &result));
  ASSERT_TRUE(host.PumpDone());
  tvxtest::PumpFor(100);
  EXPECT_EQ(host.done(), 1);
  EXPECT_EQ(host.messages().size(), 1u);
  ASSERT_EQ(route.getLastError(), TVXRoute::kNoError);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(script->conditions().size(), 2u);
  EXPECT_EQ(result->condition, condition.get());

  // Summaries: the third-fee and first-fee totals.
  EXPECT_EQ(result->summary1, 740);
  EXPECT_EQ(result->summary2, 1050);

  // Break numbers 1, 3, 2 at start, via point and goal, with the
  // condition's names.
  std::vector<int> breaks;
  std::vector<std::string> breakNames;
  const TVXRouteResult::Node* toll = nullptr;
  for (int i = 0; i < result->getNodeCnt(); ++i) {
    const TVXRouteResult::Node* n = result->getNode(i);
    if (n->breakNo > 0) {
      breaks.push_back(n->breakNo);
      breakNames.push_back(n->getName() ? n->getName() : "");
    }
    if (n->kind == 5 && n->fee != 0) toll = n;
  }
  EXPECT_EQ(breaks, (std::vector<int>{1, 3, 2}));
  EXPECT_EQ(breakNames,
            (std::vector<std::string>{Sjis(u8"出発地"), Sjis(u8"経由地"), Sjis(u8"目的地")}));
  EXPECT_EQ(result->getNode(0)->breakNo, 1);
  EXPECT_EQ(result->getNode(result->getNodeCnt() - 1)->breakNo, 2);

  // The exit toll node: the fees of its profile, the facility's name.
  ASSERT_NE(toll, nullptr);
  EXPECT_EQ(toll->fee, 740);
  EXPECT_EQ(toll->firstFee, 1050);
  EXPECT_EQ(toll->facilityFlag, 1);
  EXPECT_EQ(std::string(toll->getName() ? toll->getName() : ""), Sjis(u8"横浜町田IC"));

  // Road names from HIGHWAY.DAT; every link names one.
  ASSERT_GE(result->getRoadNameCnt(), 1);
  EXPECT_EQ(std::string(result->getRoadName(0)), Sjis(u8"東名高速道路"));
  ASSERT_GE(result->getLinkCnt(), 1);
  std::int64_t distance = 0;
  for (int i = 0; i < result->getLinkCnt(); ++i) {
    const TVXRouteResult::Link* l = result->getLink(i);
    EXPECT_EQ(l->roadNameIndex, 0) << i;
    EXPECT_GE(l->distance, 0) << i;
    EXPECT_GE(l->getPointCnt(), 2) << i;
    distance += l->distance;
  }
  // The links cover both legs: their distances add up to the two legs'.
  EXPECT_EQ(distance, leg0.getPart(0)->distance + leg1.getPart(0)->distance);
  EXPECT_GT(distance, 15000);
}

// The engine's own search (no script) over the sample map, one leg without
// toll points: the toll engine is skipped, the calculation ends with one
// message and a result whose ends are break nodes 1 and 2.
TEST_F(RouteEndToEnd, SearchedRouteWithoutTolls) {
  tvxtest::Condition condition(2, {{0, 0}});
  // Along the 国道246号 from 瀬田 to 荏田.
  condition.node(0)->lon = Units(139.6330);
  condition.node(0)->lat = Units(35.6240);
  condition.node(1)->lon = Units(139.5300);
  condition.node(1)->lat = Units(35.5300);
  TVXRoute route;
  ASSERT_TRUE(route.init(data.path().c_str()));
  // No toll worker could run: a route without toll points never asks for one.
  tolllib::HeldWorkers held;
  ASSERT_TRUE(route.calc(host.hwnd(), condition.get(), &result));
  ASSERT_TRUE(host.PumpDone());
  tvxtest::PumpFor(50);
  EXPECT_EQ(host.done(), 1);
  EXPECT_EQ(tolllib::HeldWorkers::finished(), 0);
  ASSERT_EQ(route.getLastError(), TVXRoute::kNoError);
  ASSERT_NE(result, nullptr);
  ASSERT_GE(result->getNodeCnt(), 2);
  EXPECT_EQ(result->getNode(0)->breakNo, 1);
  EXPECT_EQ(result->getNode(result->getNodeCnt() - 1)->breakNo, 2);
  EXPECT_EQ(result->summary1, 0);
  EXPECT_EQ(result->summary2, 0);
  EXPECT_GE(result->getLinkCnt(), 1);
}

// The engine's own search over the sample map and toll data: the points at
// the given places (degrees), highway first (road type mode 1), the first
// point timed (and any point listed in `timed`, a minute later each).
class SearchedRoute : public RouteEndToEnd {
 protected:
  bool Calc(const std::vector<std::pair<double, double>>& at, std::vector<int> timed = {}) {
    std::vector<tvxtest::Condition::Timed> times{{0, 0}};
    for (int i : timed) times.push_back({i, i});
    return CalcAt(at, times);
  }
  // The same with the given times (minutes after 10:00).
  bool CalcAt(const std::vector<std::pair<double, double>>& at,
              const std::vector<tvxtest::Condition::Timed>& times) {
    condition = std::make_unique<tvxtest::Condition>(static_cast<int>(at.size()), times);
    for (std::size_t i = 0; i < at.size(); ++i) {
      condition->node(static_cast<int>(i))->lon = Units(at[i].first);
      condition->node(static_cast<int>(i))->lat = Units(at[i].second);
      condition->node(static_cast<int>(i))->roadTypeMode = 1;
    }
    if (!route.init(data.path().c_str()) || !route.calc(host.hwnd(), condition->get(), &result))
      return false;
    return host.PumpDone();
  }
  // The named node of this kind, or null.
  const TVXRouteResult::Node* Named(const char8_t* name, int kind) const {
    for (int i = 0; result && i < result->getNodeCnt(); ++i) {
      const TVXRouteResult::Node* n = result->getNode(i);
      if (n->kind == kind && n->getName() && Sjis(name) == n->getName()) return n;
    }
    return nullptr;
  }
  // Every link with a distance has its points apart, and every node stands
  // somewhere on the map.
  void ExpectNothingLost() const {
    ASSERT_NE(result, nullptr);
    for (int i = 0; i < result->getLinkCnt(); ++i) {
      const TVXRouteResult::Link* l = result->getLink(i);
      bool apart = false;
      const TVXRouteResult::Link::Point* pts = l->getPointAry();
      for (int p = 1; p < l->getPointCnt(); ++p)
        apart |= pts[p].lon != pts[0].lon || pts[p].lat != pts[0].lat;
      EXPECT_EQ(apart, l->distance > 0) << "link " << i << " distance " << l->distance;
    }
    for (int i = 0; i < result->getNodeCnt(); ++i)
      EXPECT_GT(result->getNode(i)->lon, 0) << "node " << i;
  }

  std::unique_ptr<tvxtest::Condition> condition;
  TVXRoute route;
};

// 東京IC to 厚木IC: the goal is the exit, whose toll node carries the fee
// (147 tens of yen for class 3 in the sample toll table).
TEST_F(SearchedRoute, GoalAtAnExitInterchangeKeepsItsTollNode) {
  ASSERT_TRUE(Calc({{139.6272, 35.6207}, {139.3470, 35.4270}}));
  ASSERT_EQ(route.getLastError(), TVXRoute::kNoError);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->summary1, 1470);
  const TVXRouteResult::Node* exit = Named(u8"厚木IC", 5);
  ASSERT_NE(exit, nullptr);
  EXPECT_EQ(exit->fee, 1470);
  EXPECT_EQ(exit->firstFee, 1470);
  ExpectNothingLost();
  // The 東京料金所 stays apart from 東京IC at the start.
  EXPECT_NE(Named(u8"東京料金所", 7), nullptr);
}

// An untimed via point at 横浜青葉IC: the facilities and toll nodes after it
// on the same leg are kept.
TEST_F(SearchedRoute, UntimedViaPointAtAnInterchangeKeepsTheLaterFacilities) {
  ASSERT_TRUE(Calc({{139.6272, 35.6207}, {139.5240, 35.5630}, {139.3300, 35.4450}}));
  ASSERT_EQ(route.getLastError(), TVXRoute::kNoError);
  EXPECT_NE(Named(u8"横浜町田IC", 3), nullptr);
  const TVXRouteResult::Node* exit = Named(u8"厚木IC", 5);
  ASSERT_NE(exit, nullptr);
  EXPECT_EQ(exit->fee, 1470);
  ExpectNothingLost();
}

// A via point on the node where the 東名 crosses the tile border, untimed
// (one leg of two parts) or timed (two legs): the part after it starts in
// the other tile.
TEST_F(SearchedRoute, ViaPointOnATileBorderNodeRoutes) {
  ASSERT_TRUE(Calc({{139.6272, 35.6207}, {139.5000, 35.5430}, {139.3470, 35.4270}}));
  ASSERT_EQ(route.getLastError(), TVXRoute::kNoError);
  EXPECT_NE(Named(u8"横浜町田IC", 1), nullptr);
  EXPECT_NE(Named(u8"厚木IC", 5), nullptr);
  ExpectNothingLost();
}

TEST_F(SearchedRoute, TimedViaPointOnATileBorderNodeRoutes) {
  ASSERT_TRUE(Calc({{139.6272, 35.6207}, {139.5000, 35.5430}, {139.3470, 35.4270}}, {1}));
  ASSERT_EQ(route.getLastError(), TVXRoute::kNoError);
  EXPECT_NE(Named(u8"横浜町田IC", 1), nullptr);
  ExpectNothingLost();
}

// From 瀬田 on the 国道246号 onto the 東名 and off it at 厚木IC, through the
// crossing 旭町 onto the town road: expressway links have class 0, the
// national road's name carries its number, and the crossing is a node.
TEST_F(SearchedRoute, SampleRouteShowsRoadClassesNumberedNamesAndACrossing) {
  ASSERT_TRUE(Calc({{139.6330, 35.6240}, {139.5240, 35.5630}, {139.3300, 35.4450}}));
  ASSERT_EQ(route.getLastError(), TVXRoute::kNoError);
  std::vector<std::string> names;
  for (int i = 0; i < result->getRoadNameCnt(); ++i) names.emplace_back(result->getRoadName(i));
  EXPECT_EQ(names,
            (std::vector<std::string>{Sjis(u8"国道246号(厚木街道)"), Sjis(u8"東名高速道路"),
                                      Sjis(u8"県道63号(伊勢原津久井線)"), Sjis(u8"旭町線")}));
  std::vector<int> classes;
  for (int i = 0; i < result->getLinkCnt(); ++i) classes.push_back(result->getLink(i)->linkClass);
  EXPECT_EQ(classes, (std::vector<int>{1, 0, 0, 0, 0, 2, 4}));
  EXPECT_NE(Named(u8"旭町", 0), nullptr);
  ExpectNothingLost();
}

// A route that stops at 海老名JCT (a timed via point: the first leg ends
// there) shows the junction; one that ends at 海老名SA shows the service
// area. Driven through, both carry a toll point of no fee and go.
TEST_F(SearchedRoute, StopsAtTheJunctionAndTheServiceAreaShowThem) {
  ASSERT_TRUE(Calc({{139.6330, 35.6240}, {139.3886, 35.4338}, {139.3300, 35.4450}}, {1}));
  ASSERT_EQ(route.getLastError(), TVXRoute::kNoError);
  const TVXRouteResult::Node* junction = Named(u8"海老名JCT", 4);
  ASSERT_NE(junction, nullptr);
  EXPECT_EQ(junction->facilityFlag, 1);
  EXPECT_NE(Named(u8"旭町", 0), nullptr);
  EXPECT_NE(Named(u8"厚木IC", 5), nullptr);
  EXPECT_EQ(result->summary1, 1470);
  ExpectNothingLost();
}

TEST_F(SearchedRoute, GoalAtTheServiceAreaShowsIt) {
  ASSERT_TRUE(Calc({{139.6272, 35.6207}, {139.3937, 35.4394}}));
  ASSERT_EQ(route.getLastError(), TVXRoute::kNoError);
  EXPECT_NE(Named(u8"海老名SA", 2), nullptr);
  ExpectNothingLost();
}

// A route that starts at a facility: the facility stands at the start,
// apart from the one at the first link's end. From 東京IC the 東京料金所
// keeps its own node at the end of the first link; on the ferry from
// 久里浜港 (one link with a terminal at each end) the arrival terminal is
// 金谷港 at 金谷港 (the departure one goes as a node inside the crossing).
TEST_F(SearchedRoute, FacilityAtTheStartStandsThereApartFromTheFirstLinksEnd) {
  ASSERT_TRUE(Calc({{139.6272, 35.6207}, {139.5240, 35.5630}}));
  ASSERT_EQ(route.getLastError(), TVXRoute::kNoError);
  const TVXRouteResult::Node* ic = Named(u8"東京IC", 1);
  const TVXRouteResult::Node* barrier = Named(u8"東京料金所", 7);
  ASSERT_NE(ic, nullptr);
  ASSERT_NE(barrier, nullptr);
  EXPECT_EQ(ic->lon, result->getNode(0)->lon);
  EXPECT_NE(barrier->lon, ic->lon);
  ExpectNothingLost();
}

TEST_F(SearchedRoute, FerryArrivalTerminalStandsAtItsOwnEnd) {
  ASSERT_TRUE(Calc({{139.7190, 35.2290}, {139.8160, 35.1710}}));
  ASSERT_EQ(route.getLastError(), TVXRoute::kNoError);
  const TVXRouteResult::Node* to = Named(u8"金谷港", 6);
  ASSERT_NE(to, nullptr);
  EXPECT_EQ(to->lon, result->getNode(result->getNodeCnt() - 1)->lon);
  EXPECT_EQ(Named(u8"久里浜港", 6), nullptr);
  ExpectNothingLost();
}

// A stop at 横浜青葉IC at 12:00 on the way from 瀬田 to 旭町西: the first
// leg leaves the 東名 at the interchange's exit gate, the second enters it
// again there, so the route is priced as two trips (東京-横浜青葉 870 and
// 横浜青葉-厚木 880 for class 3), each at its exit's toll node.
TEST_F(SearchedRoute, ATimedStopAtYokohamaAobaIsPricedAsTwoTrips) {
  ASSERT_TRUE(
      CalcAt({{139.6330, 35.6240}, {139.5240, 35.5630}, {139.3300, 35.4450}}, {{0, 0}, {1, 120}}));
  ASSERT_EQ(route.getLastError(), TVXRoute::kNoError);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->tollError, 0);
  EXPECT_EQ(result->summary1, 1750);
  EXPECT_EQ(result->summary2, 1750);
  const TVXRouteResult::Node* aoba = Named(u8"横浜青葉IC", 5);
  ASSERT_NE(aoba, nullptr);
  EXPECT_EQ(aoba->fee, 870);
  const TVXRouteResult::Node* atsugi = Named(u8"厚木IC", 5);
  ASSERT_NE(atsugi, nullptr);
  EXPECT_EQ(atsugi->fee, 880);
  ExpectNothingLost();
}

// A leg that starts at 横浜町田IC, turns at the tile border node to the
// east and drives its first link again, past 横浜町田IC, to the west: no
// link has a negative distance or time, the node times never go back, and
// 横浜町田IC shows at the start and again where the route passes it.
TEST_F(SearchedRoute, ALegThatDrivesItsFirstLinkAgainKeepsDistancesAndTimesInOrder) {
  ASSERT_TRUE(Calc({{139.4832, 35.5131}, {139.5000, 35.5430}, {139.4400, 35.4800}}));
  ASSERT_EQ(route.getLastError(), TVXRoute::kNoError);
  ASSERT_NE(result, nullptr);
  for (int i = 0; i < result->getLinkCnt(); ++i) {
    EXPECT_GE(result->getLink(i)->distance, 0) << "link " << i;
    EXPECT_GE(result->getLink(i)->time, 0) << "link " << i;
  }
  std::vector<int> facility;
  int via = -1;
  unsigned last = 0;
  for (int i = 0; i < result->getNodeCnt(); ++i) {
    const TVXRouteResult::Node* n = result->getNode(i);
    ASSERT_FALSE(n->time.isNoData()) << "node " << i;
    const unsigned t = static_cast<unsigned>(n->time);
    EXPECT_GE(t, last) << "node " << i;
    last = t;
    if (n->breakNo == 3) via = i;
    if (n->getName() && Sjis(u8"横浜町田IC") == n->getName()) facility.push_back(i);
  }
  ASSERT_EQ(facility.size(), 2u);
  EXPECT_LT(facility[0], via);
  EXPECT_GT(facility[1], via);
  EXPECT_EQ(result->getNode(facility[0])->lon, result->getNode(0)->lon);
  ExpectNothingLost();
}

// A point far from every road of the map finds no link: a bad point, not
// "no route".
TEST_F(SearchedRoute, PointFarOffTheMapFindsNoLink) {
  ASSERT_TRUE(Calc({{139.6272, 35.6207}, {139.3470, 35.3000}}));
  EXPECT_EQ(route.getLastError(), TVXRoute::kBadPoint);
  EXPECT_EQ(result, nullptr);
}

// A leg that the pipeline cannot follow over the map (a link that no tile
// holds): the calculation ends with 1, one message, and the slot untouched.
TEST_F(RouteEndToEnd, ResultNotBuilt) {
  tvxtest::Part part;
  RouteSingleResult leg = tvxtest::Leg({part});
  PathLink run;
  run.link = 424242;
  leg.getPart(0)->runs = {run};
  script->push(RouteOutcome::Result(leg));
  tvxtest::Condition condition(2);
  TVXRoute route;
  ASSERT_TRUE(route.init(data.path().c_str()));
  ASSERT_TRUE(route.calc(host.hwnd(), condition.get(), &result));
  ASSERT_TRUE(host.PumpDone());
  EXPECT_EQ(route.getLastError(), TVXRoute::kNotDone);
  EXPECT_EQ(result, nullptr);
  // The next calculation is accepted.
  script->push(RouteOutcome::Error(9));
  ASSERT_TRUE(route.calc(host.hwnd(), condition.get(), &result));
  ASSERT_TRUE(host.PumpDone(2));
  EXPECT_EQ(route.getLastError(), TVXRoute::kCancelled);
}

// Toll points the toll engine cannot price (two entrances, 東京IC then
// 横浜町田IC: code -40): the route is delivered with its legs, but its
// toll reads as unknown, never as none: tollError holds the code, the
// summaries are -1, and both toll nodes stay with fees -1.
TEST_F(RouteEndToEnd, ATollThatCannotBeComputedReadsAsUnknownAndKeepsTheRoute) {
  tvxtest::Condition condition(3, {{0, 0}, {1, 20}});
  const RouteSingleResult leg0 = Leg(10, 0, 1001, 2, {}, {{1001, false, 10}});
  const RouteSingleResult leg1 = Leg(10, 20, 1004, 3, {}, {{1006, false, 20}});
  script->push(RouteOutcome::Result(leg0));
  script->push(RouteOutcome::Result(leg1));
  TVXRoute route;
  ASSERT_TRUE(route.init(data.path().c_str()));
  ASSERT_TRUE(route.calc(host.hwnd(), condition.get(), &result));
  ASSERT_TRUE(host.PumpDone());
  ASSERT_EQ(route.getLastError(), TVXRoute::kNoError);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->tollError, -40);
  EXPECT_EQ(result->summary1, -1);
  EXPECT_EQ(result->summary2, -1);
  std::vector<std::string> tolls;
  for (int i = 0; i < result->getNodeCnt(); ++i) {
    const TVXRouteResult::Node* n = result->getNode(i);
    if (n->kind != 5) continue;
    tolls.emplace_back(n->getName() ? n->getName() : "");
    EXPECT_EQ(n->fee, -1) << i;
    EXPECT_EQ(n->firstFee, -1) << i;
  }
  EXPECT_EQ(tolls, (std::vector<std::string>{Sjis(u8"東京IC"), Sjis(u8"横浜町田IC")}));
  std::int64_t distance = 0;
  for (int i = 0; i < result->getLinkCnt(); ++i) distance += result->getLink(i)->distance;
  EXPECT_EQ(distance, leg0.getPart(0)->distance + leg1.getPart(0)->distance);
}

// A host that gives no result slot: the calculation runs to its end as it
// would with one, and the result it built is freed, not written anywhere.
TEST_F(RouteEndToEnd, CalcWithoutResultSlotDropsTheResult) {
  tvxtest::Condition condition(2, {{0, 0}});
  script->push(RouteOutcome::Result(Leg(10, 0, 1001, 2, {}, {})));
  TVXRoute route;
  ASSERT_TRUE(route.init(data.path().c_str()));
  ASSERT_TRUE(route.calc(host.hwnd(), condition.get(), nullptr));
  ASSERT_TRUE(host.PumpDone());
  EXPECT_EQ(route.getLastError(), TVXRoute::kNoError);
  tvxtest::PumpFor(50);
  EXPECT_EQ(host.done(), 1);
}

}  // namespace
