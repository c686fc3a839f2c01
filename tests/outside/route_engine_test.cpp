// The route engine stand-in on the sample road map: shortest routes against
// a brute-force search, delivery through the message queue only, the test
// script and the recorded conditions.
#include "outside/route_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "outside/kiwi.h"
#include "plat/message.h"
#include "sample_road_map.h"
#include "support/test_util.h"

namespace {

using sampleroad::Units;

// What the handler was told, in order.
struct Event {
  enum Kind { kResult, kCancel, kError } kind;
  Route* route = nullptr;
  RouteSingleResult result;
  int code = 0;
};

class Recorder : public RouteHandler {
 public:
  void onRouteResult(Route* route, RouteSingleResult result) override {
    events.push_back({Event::kResult, route, std::move(result), 0});
  }
  void onRouteCancel(Route* route) override { events.push_back({Event::kCancel, route, {}, 0}); }
  void onRouteError(Route* route, const int* code) override {
    events.push_back({Event::kError, route, {}, *code});
  }
  std::vector<Event> events;
};

RoutePoint2 At(double lon, double lat, std::int16_t roadKind = 0) {
  RoutePoint2 p;
  p.lon = Units(lon);
  p.lat = Units(lat);
  p.roadKind = roadKind;
  return p;
}

RouteCondition2 Leg(std::vector<RoutePoint2> points) {
  RouteCondition2 c;
  c.time.set(2015, 5, 2, 3, 30, 0);
  for (std::size_t i = 0; i < points.size(); ++i)
    points[i].pointNo = static_cast<std::int16_t>(i + 1);
  c.points = std::move(points);
  return c;
}

// ---- the brute-force search, on the map's bytes decoded here

unsigned Be(const std::uint8_t* p, int n) {
  unsigned v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
  return v;
}

// Great-circle length (haversine) of a step, in metres.
double Metres(KwPoint a, KwPoint b) {
  constexpr double kRad = std::numbers::pi / 180.0 / 3600.0 / 1024.0;
  const double la1 = a.y * kRad, la2 = b.y * kRad, dla = la2 - la1, dlo = (b.x - a.x) * kRad;
  const double h = std::sin(dla / 2) * std::sin(dla / 2) +
                   std::cos(la1) * std::cos(la2) * std::sin(dlo / 2) * std::sin(dlo / 2);
  return 2 * 6378137.0 * std::asin(std::sqrt(h));
}

struct TestLink {
  std::uint32_t number = 0;
  KwPoint from, to;
  double metres = 0;
};

std::vector<TestLink> DecodeAll(const KiwiHandle& map) {
  std::vector<TestLink> out;
  for (std::uint32_t tile : map.tileNumbers()) {
    auto road = map.roadOfTile(tile);
    for (int r = 0; r < road->recordCount(); ++r) {
      KwRoad::Link v;
      EXPECT_TRUE(road->getLink(0, r, &v));
      std::size_t at = 0;
      std::vector<std::vector<KwPoint>> links(static_cast<std::size_t>(v.segmentCount));
      for (int k = 0; k <= v.segmentCount; ++k) {
        const unsigned n = Be(v.segments + at, 2) & 0x3FF;
        int x = static_cast<int>(Be(v.segments + at + 2, 2)),
            y = static_cast<int>(Be(v.segments + at + 4, 2));
        if (k > 0) links[static_cast<std::size_t>(k - 1)].push_back(road->xy2LL(x, y));
        if (k < v.segmentCount) links[static_cast<std::size_t>(k)].push_back(road->xy2LL(x, y));
        for (unsigned i = 0; i < n; ++i) {
          x += static_cast<std::int8_t>(v.segments[at + 6 + 2 * i]);
          y += static_cast<std::int8_t>(v.segments[at + 7 + 2 * i]);
          links[static_cast<std::size_t>(k)].push_back(road->xy2LL(x, y));
        }
        at += 6 + 2 * n;
      }
      for (int k = 0; k < v.segmentCount; ++k) {
        const auto& pts = links[static_cast<std::size_t>(k)];
        TestLink l{v.firstLinkNo + static_cast<std::uint32_t>(k), pts.front(), pts.back(), 0};
        for (std::size_t i = 1; i < pts.size(); ++i) l.metres += Metres(pts[i - 1], pts[i]);
        out.push_back(l);
      }
    }
  }
  return out;
}

bool SamePoint(KwPoint a, KwPoint b) { return a.x == b.x && a.y == b.y; }

// Length of the shortest of all simple paths from a to b (every one is
// tried); nullopt when none joins them.
std::optional<double> BruteForce(const std::vector<TestLink>& links, KwPoint a, KwPoint b) {
  std::optional<double> best;
  std::vector<KwPoint> visited{a};
  auto walk = [&](auto&& self, KwPoint at, double sofar) -> void {
    if (SamePoint(at, b)) {
      if (!best || sofar < *best) best = sofar;
      return;
    }
    for (const TestLink& l : links)
      for (int way = 0; way < 2; ++way) {
        const KwPoint from = way ? l.to : l.from, to = way ? l.from : l.to;
        if (!SamePoint(from, at)) continue;
        if (std::any_of(visited.begin(), visited.end(),
                        [&](KwPoint v) { return SamePoint(v, to); }))
          continue;
        visited.push_back(to);
        self(self, to, sofar + l.metres);
        visited.pop_back();
      }
  };
  walk(walk, a, 0);
  return best;
}

class RouteEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    RouteScript::shared().reset();
    const std::string bytes = testutil::ReadBytes(sampleroad::GeneratedMapNative());
    ASSERT_FALSE(bytes.empty()) << sampleroad::GeneratedMapNative();
    ASSERT_TRUE(testutil::WriteBytes(dir_.Native("ALLDATA.KWI"), bytes));
    ASSERT_TRUE(map_.init(dir_.Sys("ALLDATA.KWI").c_str())) << testutil::Show(map_.lastError());
    ASSERT_EQ(route_.init(&handler_, &map_), 0);
  }
  void TearDown() override {
    plat::PumpMessages();
    RouteScript::shared().reset();
  }
  // Starts a search and pumps until it is reported; the report (a copy: the
  // result handle shares its record).
  Event Run(const RouteCondition2& c) {
    const std::size_t before = handler_.events.size();
    EXPECT_EQ(route_.calc(c), 0);
    EXPECT_EQ(handler_.events.size(), before);
    plat::PumpMessages();
    if (handler_.events.size() != before + 1) {
      ADD_FAILURE() << "expected one report, got " << handler_.events.size() - before;
      return Event{Event::kError, nullptr, {}, -1000};
    }
    return handler_.events.back();
  }
  testutil::TempDir dir_;
  KiwiHandleForALLDATA map_{0x1000000, true};
  Recorder handler_;
  Route route_;
};

// The links a result drives, in order, as (number, reverse).
std::vector<std::pair<std::uint32_t, bool>> Driven(const PartPath& part) {
  std::vector<std::pair<std::uint32_t, bool>> out;
  for (const PathLink& run : part.runs)
    for (std::uint32_t d = 0; d <= run.lastOffset; ++d)
      out.emplace_back(run.direction ? run.link + run.lastOffset - d : run.link + d,
                       run.direction != 0);
  // A facility at the start comes on a piece of no length before the first
  // link: that link driven back to the start.
  if (out.size() >= 2 && out[0].first == out[1].first && out[0].second != out[1].second)
    out.erase(out.begin());
  return out;
}

TEST_F(RouteEngine, ShortestRoutesMatchABruteForceSearchOverEveryPairOfNodes) {
  const std::vector<TestLink> links = DecodeAll(map_);
  ASSERT_GE(links.size(), 25u);
  std::vector<KwPoint> nodes;
  for (const TestLink& l : links)
    for (KwPoint p : {l.from, l.to})
      if (std::none_of(nodes.begin(), nodes.end(), [&](KwPoint n) { return SamePoint(n, p); }))
        nodes.push_back(p);
  std::map<std::uint32_t, const TestLink*> byNumber;
  for (const TestLink& l : links) byNumber[l.number] = &l;

  int routes = 0, unreachable = 0;
  for (KwPoint a : nodes)
    for (KwPoint b : nodes) {
      if (SamePoint(a, b)) continue;
      RoutePoint2 pa, pb;
      pa.lon = a.x, pa.lat = a.y, pb.lon = b.x, pb.lat = b.y;
      const std::optional<double> best = BruteForce(links, a, b);
      const Event e = Run(Leg({pa, pb}));
      if (!best) {
        ASSERT_EQ(e.kind, Event::kError);
        EXPECT_EQ(e.code, Route::kErrorNoRoute);
        ++unreachable;
        continue;
      }
      ASSERT_EQ(e.kind, Event::kResult);
      ASSERT_EQ(e.result.getPartCnt(), 1);
      // The driven links join a to b, and their length is the shortest.
      KwPoint at = a;
      double length = 0;
      for (const auto& [number, reverse] : Driven(*e.result.getPart(0))) {
        ASSERT_TRUE(byNumber.count(number)) << number;
        const TestLink& l = *byNumber[number];
        ASSERT_TRUE(SamePoint(reverse ? l.to : l.from, at)) << number;
        at = reverse ? l.from : l.to;
        length += l.metres;
      }
      EXPECT_TRUE(SamePoint(at, b));
      EXPECT_NEAR(length, *best, 0.5);
      EXPECT_NEAR(e.result.getPart(0)->distance, *best, 2.0);
      ++routes;
    }
  EXPECT_GT(routes, 300);
  EXPECT_GT(unreachable, 20);  // the ferry and its roads are an island
}

TEST_F(RouteEngine, ExpresswayRouteCarriesItsFacilitiesAndTollPointsBothWays) {
  // 東京IC to 厚木IC on highway links: one run over both tiles.
  const Event west = Run(Leg({At(139.6272, 35.6207, 1), At(139.3470, 35.4270, 1)}));
  ASSERT_EQ(west.kind, Event::kResult);
  const PartPath& w = *west.result.getPart(0);
  // 東京IC's facility and entering toll at the start: first a piece of no
  // length, link 1001 driven back to the start.
  ASSERT_EQ(w.runs.size(), 2u);
  EXPECT_EQ(w.runs[0].link, 1001u);
  EXPECT_EQ(w.runs[0].lastOffset, 0);
  EXPECT_EQ(w.runs[0].direction, 1);
  EXPECT_EQ(w.runs[0].distance, 0);
  EXPECT_EQ(w.runs[1].link, 1001u);
  EXPECT_EQ(w.runs[1].lastOffset, 9);
  EXPECT_EQ(w.runs[1].direction, 0);
  EXPECT_EQ(w.runs[1].nameNo, 2);
  EXPECT_EQ(w.firstLink, 1001u);
  EXPECT_EQ(w.firstDirection, 1);
  ASSERT_EQ(w.startPoints.size(), 2u);
  EXPECT_TRUE(w.startPoints[0].x == w.startPoints[1].x && w.startPoints[0].y == w.startPoints[1].y);
  EXPECT_GT(w.distance, 28000);
  EXPECT_LT(w.distance, 40000);
  std::vector<int> facilities, tolls, tollPoints;
  for (const GuideEntry& g : w.facilities) facilities.push_back(g.number);
  for (const GuideEntry& g : w.tolls) tolls.push_back(g.number);
  for (const PartLink& p : w.links) tollPoints.push_back(p.facility);
  EXPECT_EQ(facilities, (std::vector<int>{101, 102, 103, 104, 105, 106, 107}));
  EXPECT_EQ(tolls, (std::vector<int>{10, 35, 25, 31}));
  EXPECT_EQ(tollPoints, tolls);
  EXPECT_EQ(w.tolls.front().link, 1001u);  // at the start: the end of the piece
  EXPECT_EQ(w.tolls.front().direction, 1u);
  EXPECT_EQ(w.tolls.front().distance, 0u);
  EXPECT_EQ(w.facilities[1].link, 1001u);  // 東京料金所 at the end of link 1001, apart
  EXPECT_EQ(w.facilities[1].direction, 0u);
  EXPECT_GT(w.facilities[1].distance, 1000u);
  EXPECT_EQ(w.tolls.back().link, 1010u);  // the end of the last link
  EXPECT_EQ(static_cast<std::int32_t>(w.tolls.back().distance), w.distance);
  EXPECT_EQ(static_cast<std::int32_t>(w.links.back().seconds), w.time);

  const Event east = Run(Leg({At(139.3470, 35.4270, 1), At(139.6272, 35.6207, 1)}));
  ASSERT_EQ(east.kind, Event::kResult);
  const PartPath& e = *east.result.getPart(0);
  ASSERT_EQ(e.runs.size(), 2u);
  EXPECT_EQ(e.runs[0].link, 1010u);
  EXPECT_EQ(e.runs[0].direction, 0);
  EXPECT_EQ(e.runs[1].link, 1001u);
  EXPECT_EQ(e.runs[1].direction, 1);
  EXPECT_EQ(e.firstLink, 1010u);
  EXPECT_EQ(e.firstDirection, 0);
  tolls.clear();
  for (const GuideEntry& g : e.tolls) tolls.push_back(g.number);
  EXPECT_EQ(tolls, (std::vector<int>{30, 25, 35, 11}));
  EXPECT_NEAR(e.distance, w.distance, 1);
}

TEST_F(RouteEngine, TollPointsWhereTwoHighwaysMeetFollowTheWayDriven) {
  auto tolls = [](const Event& e) {
    std::vector<int> out;
    EXPECT_EQ(e.kind, Event::kResult);
    for (int p = 0; p < e.result.getPartCnt(); ++p)
      for (const PartLink& l : e.result.getPart(p)->links) out.push_back(l.facility);
    return out;
  };
  // From the 首都高 onto the 東名 at 東京IC: its entrance; the other way its exit.
  EXPECT_EQ(tolls(Run(Leg({At(139.6500, 35.6300, 1), At(139.4832, 35.5131, 1)}))),
            (std::vector<int>{50, 10, 21}));
  EXPECT_EQ(tolls(Run(Leg({At(139.4832, 35.5131, 1), At(139.6500, 35.6300, 1)}))),
            (std::vector<int>{20, 11, 50}));
}

TEST_F(RouteEngine, RoadKindChoosesTheLinksAPointSnapsTo) {
  // 瀬田 lies on the national road only: kind 1 takes the nearest highway
  // node (用賀料金所), kind 2 and 0 the crossing itself.
  const Event highway = Run(Leg({At(139.6330, 35.6240, 1), At(139.3470, 35.4270, 1)}));
  ASSERT_EQ(highway.kind, Event::kResult);
  const PartPath& h = *highway.result.getPart(0);
  EXPECT_EQ(h.firstLink, 1102u);
  ASSERT_FALSE(h.facilities.empty());
  EXPECT_EQ(h.facilities.front().number, 201);  // the facility at the start
  EXPECT_EQ(h.facilities.front().distance, 0u);
  EXPECT_EQ(h.startPoints.front().x, Units(139.6286));

  const Event road = Run(Leg({At(139.6330, 35.6240, 2), At(139.3470, 35.4400, 2)}));
  ASSERT_EQ(road.kind, Event::kResult);
  const PartPath& r = *road.result.getPart(0);
  EXPECT_EQ(r.firstLink, 2001u);
  EXPECT_EQ(r.startPoints.front().x, Units(139.6330));
  for (const auto& [number, reverse] : Driven(r))
    EXPECT_TRUE(number >= 2001 && number <= 2008) << number;
  EXPECT_TRUE(r.tolls.empty());
  EXPECT_EQ(r.runs.front().roadNo, 0x20F6);
}

TEST_F(RouteEngine, EveryStretchBetweenPointsIsAPartAndTheGoalCarriesTheNextLeg) {
  const Event two =
      Run(Leg({At(139.6272, 35.6207, 1), At(139.4832, 35.5131, 1), At(139.3470, 35.4270, 1)}));
  ASSERT_EQ(two.kind, Event::kResult);
  ASSERT_EQ(two.result.getPartCnt(), 2);
  const PartPath& first = *two.result.getPart(0);
  const PartPath& second = *two.result.getPart(1);
  EXPECT_EQ(first.goal.first, 1006u);
  EXPECT_GT(second.runs.front().distance, first.distance);  // leg-relative
  // The route point at 横浜町田IC is driven through: its facility once, no
  // exit and entry there.
  auto numbers = [](const std::vector<GuideEntry>& entries) {
    std::vector<int> out;
    for (const GuideEntry& g : entries) out.push_back(g.number);
    return out;
  };
  EXPECT_EQ(numbers(first.tolls), (std::vector<int>{10}));
  EXPECT_EQ(numbers(second.tolls), (std::vector<int>{35, 25, 31}));
  EXPECT_EQ(numbers(first.facilities), (std::vector<int>{101, 102, 103, 104}));
  EXPECT_EQ(numbers(second.facilities), (std::vector<int>{105, 106, 107}));
  ASSERT_EQ(second.links.size(), 3u);
  EXPECT_EQ(second.links[0].seconds, second.tolls[0].time);
  TravelClock::Time start = two.result.departure();
  start.addSec(first.time);
  EXPECT_EQ(second.startTime.minute, start.minute);
  EXPECT_EQ(second.startTime.second, start.second);

  // The next leg starts where this one arrived, whatever its coordinates.
  RouteCondition2 next = Leg({At(139.0, 35.0), At(139.3300, 35.4450)});
  next.points[0].link = second.goal.first;
  next.points[0].linkPart = static_cast<std::int16_t>(second.goal.second & 0xFFFF);
  const Event on = Run(next);
  ASSERT_EQ(on.kind, Event::kResult);
  EXPECT_EQ(on.result.getPart(0)->startPoints.front().x, Units(139.3470));
  EXPECT_EQ(on.result.getPart(0)->startPoints.front().y, Units(35.4270));
}

TEST_F(RouteEngine, APartWhoseStartIsItsGoalHasNoLinks) {
  const Event e = Run(Leg({At(139.5800, 35.5700), At(139.5801, 35.5701)}));
  ASSERT_EQ(e.kind, Event::kResult);
  const PartPath& p = *e.result.getPart(0);
  EXPECT_TRUE(p.runs.empty());
  EXPECT_TRUE(p.goalSide.empty());
  ASSERT_EQ(p.entries.size(), 2u);
  EXPECT_EQ(p.entries[0].first, p.entries[1].first);
  EXPECT_EQ(p.entries[0].second, p.entries[1].second);
  EXPECT_EQ(p.start.first, p.goal.first);
  EXPECT_NE(p.start.first, 0u);
  EXPECT_EQ(p.distance, 0);
}

TEST_F(RouteEngine, ArrivalTimeMakesTheLegDepartEarlier) {
  RouteCondition2 c = Leg({At(139.6272, 35.6207, 1), At(139.3470, 35.4270, 1)});
  c.timeDirection = 2;
  c.time.set(2015, 5, 2, 0, 10, 0);
  c.vehicleClass = 4;
  c.tollOption = 3;
  const Event e = Run(c);
  ASSERT_EQ(e.kind, Event::kResult);
  TravelClock::Time arrival = e.result.departure();
  arrival.addSec(e.result.getPart(0)->time);
  EXPECT_EQ(arrival.day, 2);
  EXPECT_EQ(arrival.hour, 0);
  EXPECT_EQ(arrival.minute, 10);
  EXPECT_EQ(arrival.second, 0);
  EXPECT_EQ(e.result.departure().day, 1);  // before midnight
  EXPECT_EQ(e.result.vehicleType(), 4);
  EXPECT_EQ(e.result.option(), 3);
}

TEST_F(RouteEngine, SearchFailuresAreReportedWhenPumped) {
  const Event one = Run(Leg({At(139.6272, 35.6207)}));
  EXPECT_EQ(one.kind, Event::kError);
  EXPECT_EQ(one.code, Route::kErrorTooFewPoints);
  EXPECT_EQ(Run(Leg({})).code, Route::kErrorTooFewPoints);
  // 東京IC to 金谷港: the ferry is not joined to the expressway.
  const Event island = Run(Leg({At(139.6272, 35.6207), At(139.8160, 35.1710)}));
  EXPECT_EQ(island.kind, Event::kError);
  EXPECT_EQ(island.code, Route::kErrorNoRoute);
  EXPECT_EQ(island.route, &route_);
}

TEST_F(RouteEngine, ResultCancelAndErrorComeOnlyWhenPumped) {
  auto raw = std::make_shared<RouteSingleResultRaw>();
  raw->vehicleType = 6;
  RouteScript::shared().push(RouteOutcome::Result(RouteSingleResult(raw)));
  RouteScript::shared().push(RouteOutcome::Cancel());
  RouteScript::shared().push(RouteOutcome::Error(12));
  RouteScript::shared().push(RouteOutcome::Refuse(7));
  const RouteCondition2 c = Leg({At(139.6272, 35.6207), At(139.3470, 35.4270)});

  const Event given = Run(c);
  EXPECT_EQ(given.kind, Event::kResult);
  EXPECT_EQ(given.result.raw(), raw.get());
  EXPECT_EQ(Run(c).kind, Event::kCancel);
  const Event error = Run(c);
  EXPECT_EQ(error.kind, Event::kError);
  EXPECT_EQ(error.code, 12);
  // A refusal starts nothing: no report, ever.
  EXPECT_EQ(route_.calc(c), 7);
  EXPECT_EQ(plat::PumpMessages(), 0u);
  EXPECT_EQ(handler_.events.size(), 3u);
  EXPECT_EQ(RouteScript::shared().pending(), 0u);
  // The script is used up: the map is searched again.
  EXPECT_EQ(Run(c).kind, Event::kResult);
  EXPECT_EQ(RouteScript::shared().conditions().size(), 5u);
}

TEST_F(RouteEngine, CancelTurnsTheWaitingReportIntoACancel) {
  const RouteCondition2 c = Leg({At(139.6272, 35.6207), At(139.3470, 35.4270)});
  EXPECT_EQ(route_.cancel(), 0);  // nothing to cancel
  ASSERT_EQ(route_.calc(c), 0);
  EXPECT_EQ(route_.calc(c), Route::kRouteBusy);
  EXPECT_NE(route_.cancel(), 0);
  EXPECT_TRUE(handler_.events.empty());
  plat::PumpMessages();
  ASSERT_EQ(handler_.events.size(), 1u);
  EXPECT_EQ(handler_.events[0].kind, Event::kCancel);
  EXPECT_EQ(route_.cancel(), 0);

  // A fixed answer of 0 leaves the search to end with its result.
  RouteScript::shared().setCancelAnswer(0);
  ASSERT_EQ(route_.calc(c), 0);
  EXPECT_EQ(route_.cancel(), 0);
  plat::PumpMessages();
  ASSERT_EQ(handler_.events.size(), 2u);
  EXPECT_EQ(handler_.events[1].kind, Event::kResult);
  // A fixed non-zero answer is given even when nothing waits.
  RouteScript::shared().setCancelAnswer(5);
  EXPECT_EQ(route_.cancel(), 5);
}

TEST_F(RouteEngine, AReportWaitingWhenTheEngineGoesIsDropped) {
  const RouteCondition2 c = Leg({At(139.6272, 35.6207), At(139.3470, 35.4270)});
  {
    Route other;
    ASSERT_EQ(other.init(&handler_, &map_), 0);
    ASSERT_EQ(other.calc(c), 0);
  }
  plat::PumpMessages();
  EXPECT_TRUE(handler_.events.empty());
}

// A handler that acts on the engine from inside its notification.
class Reacting : public Recorder {
 public:
  void onRouteResult(Route* route, RouteSingleResult result) override {
    Recorder::onRouteResult(route, std::move(result));
    if (again) {
      again = false;
      answer = route->calc(*againCondition);
    }
    if (destroy) owned.reset();
  }
  bool again = false;
  bool destroy = false;
  int answer = -99;
  const RouteCondition2* againCondition = nullptr;
  std::unique_ptr<Route> owned;
};

TEST_F(RouteEngine, AHandlerMayStartTheNextSearchOrEndTheEngineFromItsNotification) {
  const RouteCondition2 c = Leg({At(139.6272, 35.6207), At(139.3470, 35.4270)});
  Reacting handler;
  handler.owned = std::make_unique<Route>();
  ASSERT_EQ(handler.owned->init(&handler, &map_), 0);
  handler.again = true;
  handler.againCondition = &c;
  ASSERT_EQ(handler.owned->calc(c), 0);
  plat::PumpMessages();  // runs the first report only
  EXPECT_EQ(handler.answer, 0);
  ASSERT_EQ(handler.events.size(), 1u);
  plat::PumpMessages();
  ASSERT_EQ(handler.events.size(), 2u);
  EXPECT_EQ(handler.events[1].kind, Event::kResult);

  handler.destroy = true;
  ASSERT_EQ(handler.owned->calc(c), 0);
  plat::PumpMessages();
  EXPECT_EQ(handler.owned, nullptr);
  EXPECT_EQ(handler.events.size(), 3u);
}

TEST_F(RouteEngine, CalcAndInitRefuseWithoutAReadyEngine) {
  Route fresh;
  const RouteCondition2 c = Leg({At(139.6272, 35.6207), At(139.3470, 35.4270)});
  EXPECT_EQ(fresh.calc(c), Route::kRouteNotReady);
  EXPECT_NE(fresh.init(nullptr, &map_), 0);
  EXPECT_NE(fresh.init(&handler_, nullptr), 0);
  EXPECT_EQ(fresh.calc(c), Route::kRouteNotReady);
  EXPECT_TRUE(RouteScript::shared().conditions().empty());  // refused before it was taken
  // A second init drops the report of a search still waiting.
  ASSERT_EQ(fresh.init(&handler_, &map_), 0);
  ASSERT_EQ(fresh.calc(c), 0);
  ASSERT_EQ(fresh.init(&handler_, &map_), 0);
  plat::PumpMessages();
  EXPECT_TRUE(handler_.events.empty());
}

TEST_F(RouteEngine, EachConditionIsRecordedWithItsTablesCopied) {
  std::vector<RouteHoliday> holidays{{2015, 5, 4}, {2015, 5, 5}};
  std::vector<RouteSpeed> speeds(3);
  speeds[2].roadKind = 7;
  speeds[2].speed[3] = 45;
  auto holidayView = std::make_unique<RouteHolidayView>(RouteHolidayView{2, holidays.data()});
  auto speedView = std::make_unique<RouteSpeedView>(RouteSpeedView{3, speeds.data()});
  RouteCondition2 c = Leg({At(139.6272, 35.6207), At(139.3470, 35.4270)});
  c.searchKind = 2;
  c.holidays = holidayView.get();
  c.speeds = speedView.get();
  c.parts = {{2, 0, 0, 2}};
  RouteScript::shared().push(RouteOutcome::Error(9));
  ASSERT_EQ(route_.calc(c), 0);
  // The caller's tables change and go away before the report.
  holidays[0].day = 9;
  speeds[2].speed[3] = 1;
  holidayView.reset();
  speedView.reset();
  holidays.clear();
  speeds.clear();
  plat::PumpMessages();

  // A condition without tables is recorded too.
  const RouteCondition2 bare = Leg({At(139.6272, 35.6207), At(139.3470, 35.4270)});
  RouteScript::shared().push(RouteOutcome::Refuse(3));
  EXPECT_EQ(route_.calc(bare), 3);

  const auto recorded = RouteScript::shared().conditions();
  ASSERT_EQ(recorded.size(), 2u);
  const RecordedCondition& r = recorded[0];
  EXPECT_EQ(r.condition.searchKind, 2);
  EXPECT_EQ(r.condition.holidays, nullptr);
  EXPECT_EQ(r.condition.speeds, nullptr);
  ASSERT_EQ(r.condition.points.size(), 2u);
  EXPECT_EQ(r.condition.points[1].lon, Units(139.3470));
  ASSERT_EQ(r.condition.parts.size(), 1u);
  EXPECT_EQ(r.condition.parts[0].pointNo, 2);
  EXPECT_TRUE(r.hasHolidays);
  EXPECT_EQ(r.holidayCount, 2);
  ASSERT_EQ(r.holidays.size(), 2u);
  EXPECT_EQ(r.holidays[0].day, 4);
  EXPECT_EQ(r.holidays[1].month, 5);
  EXPECT_TRUE(r.hasSpeeds);
  ASSERT_EQ(r.speeds.size(), 3u);
  EXPECT_EQ(r.speeds[2].roadKind, 7);
  EXPECT_EQ(r.speeds[2].speed[3], 45);
  EXPECT_FALSE(recorded[1].hasHolidays);
  EXPECT_FALSE(recorded[1].hasSpeeds);
  EXPECT_TRUE(recorded[1].holidays.empty());
}

TEST_F(RouteEngine, NearRoadTypeTellsWhichRoadsEndNearThePoint) {
  Point2 ic{Units(139.6272), Units(35.6207)};
  EXPECT_EQ(route_.getNearRoadType(ic), 3);  // expressway and national road
  EXPECT_EQ(route_.getNearRoadType({Units(139.6330), Units(35.6240)}), 1);
  EXPECT_EQ(route_.getNearRoadType({Units(139.6286) + Route::kNearRadius, Units(35.6269)}), 2);
  EXPECT_EQ(route_.getNearRoadType({Units(139.6286) + Route::kNearRadius + 1, Units(35.6269)}), 0);
  EXPECT_EQ(route_.getNearRoadType({Units(139.0), Units(35.0)}), 0);
  RouteScript::shared().setNearRoadType(2);
  EXPECT_EQ(route_.getNearRoadType({Units(139.0), Units(35.0)}), 2);
  RouteScript::shared().setNearRoadType(std::nullopt);
  EXPECT_EQ(route_.getNearRoadType(ic), 3);
}

}  // namespace
