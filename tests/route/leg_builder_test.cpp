#include "route/leg_builder.h"

#include <gtest/gtest.h>

#include <vector>

#include "toll/toll_calendar.h"

namespace {

using TvxRoute::LegList;
using TvxRoute::LegTollLink;
using TvxRoute::LegTollLinks;
using TvxRoute::TVXRouteCondition;
using CondNode = TVXRouteCondition::Node;

// Stands in for the route engine's road-type query: answers a fixed value
// and records the points it was asked about.
class FakeRoadTypes : public TvxRoute::NearRoadTypeQuery {
 public:
  int getNearRoadType(const Point2& point) override {
    asked.push_back(point);
    return answer;
  }
  int answer = 0;
  std::vector<Point2> asked;
};

// A time on 3 May 2015 at one node.
struct Timed {
  int node;
  int hour;
  int minute = 0;
};

// A condition of n nodes at positions (100 * (i + 1), 10 * (i + 1)), with
// the times given.
class Condition {
 public:
  explicit Condition(int n, const std::vector<Timed>& times = {})
      : c_(TVXRouteCondition::Create()) {
    for (int i = 0; i < n; ++i) {
      CondNode* node = CondNode::Create();
      node->lon = 100 * (i + 1);
      node->lat = 10 * (i + 1);
      nodes_.push_back(node);
      c_->append(node);
    }
    for (const Timed& t : times)
      nodes_[static_cast<std::size_t>(t.node)]->time.set(2015, 5, 3, t.hour, t.minute);
  }
  ~Condition() { c_->Release(); }
  TVXRouteCondition* operator->() { return c_; }
  TVXRouteCondition& operator*() { return *c_; }
  CondNode& node(int i) { return *nodes_[static_cast<std::size_t>(i)]; }

 private:
  TVXRouteCondition* c_;
  std::vector<CondNode*> nodes_;
};

struct Built {
  bool ok = false;
  std::int32_t error = 0;
};

Built Build(TVXRouteCondition& c, LegList& legs, FakeRoadTypes* engine = nullptr) {
  FakeRoadTypes local;
  Built b;
  b.ok = TvxRoute::buildLegConditions(c, engine ? *engine : local, legs, b.error);
  return b;
}

// The point numbers of a leg's route points, in order.
std::vector<int> PointNumbers(const RouteCondition2& leg) {
  std::vector<int> out;
  for (const RoutePoint2& p : leg.points) out.push_back(p.pointNo);
  return out;
}

// The leg time as "YYYY-MM-DD hh:mm" with calendar month and day.
std::string Show(const TravelClock::Time& t) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", t.year, t.month + 1, t.day + 1, t.hour,
                t.minute);
  return buf;
}

TEST(LegBuilding, DepartureTimesCutLegsAtIntermediateNodes) {
  Condition c(4, {{0, 8}, {2, 12, 30}});
  c->vehicleClass = 16;
  c->searchType = 2;
  c->tollOption1 = 3;
  LegList legs;
  const Built b = Build(*c, legs);
  ASSERT_TRUE(b.ok) << b.error;
  ASSERT_EQ(legs.count(), 2);
  const RouteCondition2& a = *legs.take(0);
  const RouteCondition2& z = *legs.take(1);
  EXPECT_EQ(PointNumbers(a), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(PointNumbers(z), (std::vector<int>{3, 4}));
  EXPECT_EQ(Show(a.time), "2015-05-03 08:00");
  EXPECT_EQ(Show(z.time), "2015-05-03 12:30");
  EXPECT_EQ(a.points[2].lon, 300);
  EXPECT_EQ(z.points[0].lon, 300);
  EXPECT_EQ(z.points[1].lat, 40);
  for (const RouteCondition2* leg : {&a, &z}) {
    EXPECT_EQ(leg->timeDirection, 1);
    EXPECT_EQ(leg->searchKind, 2);
    EXPECT_EQ(leg->vehicleClass, 4);
    EXPECT_EQ(leg->tollOption, 3);
    EXPECT_EQ(leg->reserved, 0u);
    EXPECT_TRUE(leg->parts.empty());  // search type 2 has no part conditions
  }
  EXPECT_EQ(legs.take(2), nullptr);
  EXPECT_EQ(legs.take(-1), nullptr);
}

TEST(LegBuilding, ArrivalTimesCloseTheLegsThatEndAtThem) {
  Condition c(4, {{2, 12}, {3, 14}});
  c->timeMode = 1;
  LegList legs;
  const Built b = Build(*c, legs);
  ASSERT_TRUE(b.ok) << b.error;
  ASSERT_EQ(legs.count(), 2);
  EXPECT_EQ(PointNumbers(*legs.take(0)), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(PointNumbers(*legs.take(1)), (std::vector<int>{3, 4}));
  EXPECT_EQ(Show(legs.take(0)->time), "2015-05-03 12:00");
  EXPECT_EQ(Show(legs.take(1)->time), "2015-05-03 14:00");
  EXPECT_EQ(legs.take(0)->timeDirection, 2);
}

TEST(LegBuilding, ArrivalLegWithoutTimedEndKeepsTheEarlierTime) {
  Condition c(3, {{1, 12}});
  c->timeMode = 1;
  LegList legs;
  ASSERT_TRUE(Build(*c, legs).ok);
  ASSERT_EQ(legs.count(), 2);
  EXPECT_EQ(Show(legs.take(1)->time), "2015-05-03 12:00");
  EXPECT_EQ(PointNumbers(*legs.take(1)), (std::vector<int>{2, 3}));
}

TEST(LegBuilding, TimeModeOtherThanOneCutsAsArrivalButKeepsTheDepartureWord) {
  Condition c(3, {{2, 12}});
  c->timeMode = 5;
  LegList legs;
  ASSERT_TRUE(Build(*c, legs).ok);  // a time at the last node is allowed only when arriving
  ASSERT_EQ(legs.count(), 1);
  EXPECT_EQ(legs.take(0)->timeDirection, 1);
  EXPECT_EQ(Show(legs.take(0)->time), "2015-05-03 12:00");
}

TEST(LegBuilding, LegWithoutTimedFirstNodeHasAnAllZeroTime) {
  Condition c(3, {{1, 12}});
  LegList legs;
  ASSERT_TRUE(Build(*c, legs).ok);
  ASSERT_EQ(legs.count(), 2);
  const TravelClock::Time& t = legs.take(0)->time;
  EXPECT_EQ(t.year + t.month + t.day + t.hour + t.minute + t.second, 0);
  EXPECT_EQ(Show(legs.take(1)->time), "2015-05-03 12:00");
}

TEST(LegBuilding, SingleTimeAtNodeZeroMakesOneLeg) {
  Condition c(3, {{0, 8}});
  LegList legs;
  ASSERT_TRUE(Build(*c, legs).ok);
  ASSERT_EQ(legs.count(), 1);
  EXPECT_EQ(PointNumbers(*legs.take(0)), (std::vector<int>{1, 2, 3}));
}

TEST(LegBuilding, Failures) {
  struct Case {
    const char* what;
    int nodes;
    int timeMode;
    std::vector<Timed> times;
    int directionNode;
    int direction;
    std::int32_t error;
  };
  const Case cases[] = {
      {"no node", 0, 0, {}, -1, 0, 12},
      {"no time", 3, 0, {}, -1, 0, 12},
      {"equal times", 3, 0, {{0, 8}, {1, 8}}, -1, 0, 13},
      {"falling times", 3, 0, {{0, 9}, {1, 8}}, -1, 0, 13},
      {"falling times arriving", 3, 1, {{1, 9}, {2, 8, 59}}, -1, 0, 13},
      {"departure at last node only", 3, 0, {{2, 8}}, -1, 0, 13},
      {"arrival at node 0", 3, 1, {{0, 8}, {2, 9}}, -1, 0, 13},
      {"direction 361", 3, 0, {{0, 8}}, 1, 361, 11},
      {"direction -2", 3, 0, {{0, 8}}, 2, -2, 11},
  };
  for (const Case& k : cases) {
    Condition c(k.nodes, k.times);
    c->timeMode = k.timeMode;
    if (k.directionNode >= 0) c.node(k.directionNode).direction = k.direction;
    LegList legs;
    const Built b = Build(*c, legs);
    EXPECT_FALSE(b.ok) << k.what;
    EXPECT_EQ(b.error, k.error) << k.what;
    EXPECT_EQ(legs.count(), 0) << k.what;
  }
}

TEST(LegBuilding, FailureDropsTheLegsOfAnEarlierBuild) {
  Condition good(2, {{0, 8}});
  LegList legs;
  ASSERT_TRUE(Build(*good, legs).ok);
  ASSERT_EQ(legs.count(), 1);
  Condition bad(2);
  EXPECT_FALSE(Build(*bad, legs).ok);
  EXPECT_EQ(legs.count(), 0);
}

TEST(LegBuilding, DirectionsAtTheLimitsPassIntoTheRoutePoints) {
  Condition c(3, {{0, 8}});
  c.node(0).direction = 360;
  c.node(1).direction = -1;
  c.node(2).direction = 0;
  LegList legs;
  ASSERT_TRUE(Build(*c, legs).ok);
  const RouteCondition2& leg = *legs.take(0);
  ASSERT_EQ(leg.points.size(), 3u);
  EXPECT_EQ(leg.points[0].direction, 360);
  EXPECT_EQ(leg.points[1].direction, -1);
  EXPECT_EQ(leg.points[2].direction, 0);
  EXPECT_EQ(leg.points[0].reserved, 0);
  EXPECT_EQ(leg.points[0].link, 0u);
  EXPECT_EQ(leg.points[0].linkPart, -1);
  EXPECT_EQ(leg.points[0].reserved2, -1);
}

TEST(LegBuilding, RoadPointsStandForTheNodeAndRoadKindsFollowTheMode) {
  Condition c(3, {{0, 8}});
  c.node(0).roadTypeMode = 1;  // asks the engine: answer with bit 2 → kind 1
  c.node(0).direction = 90;
  CondNode::Point p;
  p.lon = 7;
  p.lat = 8;
  c.node(0).addRoadPoint(p);
  p.lon = 9;
  p.lat = 10;
  c.node(0).addRoadPoint(p);
  c.node(1).roadTypeMode = 0;  // kind 2
  c.node(2).roadTypeMode = 3;  // any other mode: kind 0
  FakeRoadTypes engine;
  engine.answer = 3;
  LegList legs;
  ASSERT_TRUE(Build(*c, legs, &engine).ok);
  const RouteCondition2& leg = *legs.take(0);
  ASSERT_EQ(leg.points.size(), 4u);
  EXPECT_EQ(leg.points[0].lon, 7);
  EXPECT_EQ(leg.points[1].lat, 10);
  EXPECT_EQ(leg.points[0].direction, -1);  // road points carry no direction
  EXPECT_EQ(leg.points[1].pointNo, 1);
  EXPECT_EQ(leg.points[0].roadKind, 1);
  EXPECT_EQ(leg.points[1].roadKind, 1);
  EXPECT_EQ(leg.points[2].roadKind, 2);
  EXPECT_EQ(leg.points[3].roadKind, 0);
  // Only the node of mode 1 was asked about, at its first road point.
  ASSERT_EQ(engine.asked.size(), 1u);
  EXPECT_EQ(engine.asked[0].x, 7);
  EXPECT_EQ(engine.asked[0].y, 8);
}

TEST(LegBuilding, NearRoadTypeWithoutMainRoadGivesKindTwoAtTheNodePosition) {
  Condition c(2, {{0, 8}});
  c.node(1).roadTypeMode = 1;
  FakeRoadTypes engine;
  engine.answer = 1 | 4;  // bit value 2 clear
  LegList legs;
  ASSERT_TRUE(Build(*c, legs, &engine).ok);
  EXPECT_EQ(legs.take(0)->points[1].roadKind, 2);
  ASSERT_EQ(engine.asked.size(), 1u);
  EXPECT_EQ(engine.asked[0].x, 200);
  EXPECT_EQ(engine.asked[0].y, 20);
}

TEST(LegBuilding, VehicleClassBits) {
  const std::pair<int, int> cases[] = {{1, 0},  {2, 1},  {4, 2}, {8, 3}, {16, 4},
                                       {32, 5}, {64, 6}, {0, 3}, {3, 3}, {128, 3}};
  for (const auto& [bit, cls] : cases) {
    Condition c(2, {{0, 8}});
    c->vehicleClass = bit;
    LegList legs;
    ASSERT_TRUE(Build(*c, legs).ok);
    EXPECT_EQ(legs.take(0)->vehicleClass, cls) << bit;
  }
}

TEST(LegBuilding, SearchKinds) {
  const std::pair<int, int> cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 0}, {-1, 0}};
  for (const auto& [type, kind] : cases) {
    Condition c(2, {{0, 8}});
    c->searchType = type;
    LegList legs;
    ASSERT_TRUE(Build(*c, legs).ok);
    EXPECT_EQ(legs.take(0)->searchKind, kind) << type;
  }
}

std::vector<std::vector<int>> Parts(const RouteCondition2& leg) {
  std::vector<std::vector<int>> out;
  for (const PartCondition& p : leg.parts)
    out.push_back({p.value, p.reserved1, p.reserved2, p.pointNo});
  return out;
}

TEST(LegBuilding, PartConditionsToggleAtNodesOfTypeTwo) {
  Condition c(4, {{0, 8}, {1, 9}});
  c.node(2).nodeType = 2;
  LegList legs;
  ASSERT_TRUE(Build(*c, legs).ok);
  ASSERT_EQ(legs.count(), 2);
  const std::vector<std::vector<int>> expected = {{2, 0, 0, 2}, {2, 0, 0, 3}, {4, 0, 0, 4}};
  EXPECT_EQ(Parts(*legs.take(0)), expected);
  EXPECT_EQ(Parts(*legs.take(1)), expected);

  // Two nodes of type 2 switch back.
  Condition d(4, {{0, 8}});
  d.node(1).nodeType = 2;
  d.node(2).nodeType = 2;
  ASSERT_TRUE(Build(*d, legs).ok);
  EXPECT_EQ(Parts(*legs.take(0)),
            (std::vector<std::vector<int>>{{2, 0, 0, 2}, {4, 0, 0, 3}, {2, 0, 0, 4}}));

  // A goal of type 2 marks the list though nothing follows it.
  Condition e(2, {{0, 8}});
  e.node(1).nodeType = 2;
  ASSERT_TRUE(Build(*e, legs).ok);
  EXPECT_EQ(Parts(*legs.take(0)), (std::vector<std::vector<int>>{{2, 0, 0, 2}}));
}

TEST(LegBuilding, NoPartConditionsWithoutTypeTwoOrWithASearchType) {
  Condition c(4, {{0, 8}});
  c.node(0).nodeType = 2;  // node 0 is not looked at
  c.node(1).nodeType = 0;
  LegList legs;
  ASSERT_TRUE(Build(*c, legs).ok);
  EXPECT_TRUE(legs.take(0)->parts.empty());

  Condition d(4, {{0, 8}});
  d.node(2).nodeType = 2;
  d->searchType = 1;
  ASSERT_TRUE(Build(*d, legs).ok);
  EXPECT_TRUE(legs.take(0)->parts.empty());
}

std::vector<std::vector<int>> SpeedRows(const LegList& legs) {
  std::vector<std::vector<int>> out;
  for (const RouteSpeed& s : legs.speeds())
    out.push_back({s.roadKind, s.speed[0], s.speed[1], s.speed[2], s.speed[3]});
  return out;
}

TEST(LegBuilding, DefaultSpeedTable) {
  Condition c(2, {{0, 8}});
  LegList legs;
  ASSERT_TRUE(Build(*c, legs).ok);
  const std::vector<std::vector<int>> expected = {
      {0, 80, 80, 80, 80}, {1, 80, 80, 80, 80}, {2, 30, 30, 30, 30}, {3, 30, 30, 30, 30},
      {4, 20, 20, 20, 20}, {5, 20, 20, 20, 20}, {6, 20, 20, 20, 20}, {7, 20, 20, 20, 20},
      {8, 20, 20, 20, 20}, {9, 20, 20, 20, 20}, {10, 20, 20, 20, 20}};
  EXPECT_EQ(SpeedRows(legs), expected);
  // Every leg points at the one shared table.
  const RouteCondition2* leg = legs.take(0);
  ASSERT_NE(leg->speeds, nullptr);
  EXPECT_EQ(leg->speeds, legs.speedView());
  EXPECT_EQ(leg->speeds->count, 11);
  EXPECT_EQ(leg->speeds->first, legs.speeds().data());
  EXPECT_EQ(leg->holidays, nullptr);  // no holidays, no view
}

TEST(LegBuilding, SpeedSettingsOverrideTheirClasses) {
  Condition c(2, {{0, 8}});
  TVXRouteCondition::SpeedSetting settings[2];
  settings[0].classKey = 4;
  settings[0].speed = 40;
  settings[1].classKey = 9;  // no row has this key
  settings[1].speed = 99;
  c->speedSettings = settings;
  c->speedCount = 2;
  LegList legs;
  ASSERT_TRUE(Build(*c, legs).ok);
  const auto rows = SpeedRows(legs);
  ASSERT_EQ(rows.size(), 11u);
  EXPECT_EQ(rows[5], (std::vector<int>{5, 40, 40, 80, 80}));
  EXPECT_EQ(rows[6], (std::vector<int>{6, 40, 40, 80, 80}));
  EXPECT_EQ(rows[7], (std::vector<int>{7, 40, 40, 40, 40}));
  EXPECT_EQ(rows[4], (std::vector<int>{4, 20, 20, 20, 20}));
  EXPECT_EQ(rows[0], (std::vector<int>{0, 80, 80, 80, 80}));
}

TEST(LegBuilding, KeyZeroSettingGivesTheThirdSpeedsOfTheOtherClasses) {
  Condition c(2, {{0, 8}});
  TVXRouteCondition::SpeedSetting settings[3];
  settings[0].classKey = 1;
  settings[0].speed = 50;
  settings[1].classKey = 0;
  settings[1].speed = 100;
  settings[2].classKey = 0;  // only the first key-0 record gives the default
  settings[2].speed = 60;
  c->speedSettings = settings;
  c->speedCount = 3;
  LegList legs;
  ASSERT_TRUE(Build(*c, legs).ok);
  const auto rows = SpeedRows(legs);
  EXPECT_EQ(rows[2], (std::vector<int>{2, 50, 50, 100, 100}));
  // Both key-0 records apply in turn to their own rows: the later one wins.
  EXPECT_EQ(rows[0], (std::vector<int>{0, 60, 60, 60, 60}));
  EXPECT_EQ(rows[1], (std::vector<int>{1, 60, 60, 60, 60}));
}

TEST(LegBuilding, SpeedAndHolidayArraysWithoutPointerOrCountAreIgnored) {
  Condition c(2, {{0, 8}});
  c->speedSettings = nullptr;
  c->speedCount = 5;
  c->holidayDates = nullptr;
  c->holidayCount = 3;
  LegList legs;
  ASSERT_TRUE(Build(*c, legs).ok);
  EXPECT_EQ(legs.speeds().size(), 11u);
  EXPECT_EQ(legs.holidayView(), nullptr);

  const std::uint32_t date = CDateTime(2015, 1, 1, 0, 0);
  TVXRouteCondition::SpeedSetting s;
  c->holidayDates = &date;
  c->holidayCount = -1;
  c->speedSettings = &s;
  c->speedCount = -4;
  ASSERT_TRUE(Build(*c, legs).ok);
  EXPECT_TRUE(legs.holidays().empty());
  EXPECT_EQ(SpeedRows(legs)[0], (std::vector<int>{0, 80, 80, 80, 80}));
}

TEST(LegBuilding, HolidaysAreUnpackedAndShared) {
  Condition c(3, {{0, 8}, {1, 9}});
  const std::uint32_t dates[] = {CDateTime(2015, 5, 6, 0, 0), CDateTime(2016, 12, 31, 13, 45)};
  c->holidayDates = dates;
  c->holidayCount = 2;
  LegList legs;
  ASSERT_TRUE(Build(*c, legs).ok);
  ASSERT_EQ(legs.holidays().size(), 2u);
  EXPECT_EQ(legs.holidays()[0].year, 2015);
  EXPECT_EQ(legs.holidays()[0].month, 5);
  EXPECT_EQ(legs.holidays()[0].day, 6);
  EXPECT_EQ(legs.holidays()[1].year, 2016);
  EXPECT_EQ(legs.holidays()[1].month, 12);
  EXPECT_EQ(legs.holidays()[1].day, 31);
  ASSERT_EQ(legs.count(), 2);
  EXPECT_EQ(legs.take(0)->holidays, legs.take(1)->holidays);
  ASSERT_NE(legs.take(1)->holidays, nullptr);
  EXPECT_EQ(legs.take(1)->holidays->count, 2);
  EXPECT_EQ(legs.take(1)->holidays->first, legs.holidays().data());
}

TEST(LegTimes, ConvertBothWays) {
  const TravelClock::Time t = TvxRoute::toTravelTime(CDateTime(2016, 2, 29, 23, 59));
  EXPECT_EQ(t.year, 2016);
  EXPECT_EQ(t.month, 1);
  EXPECT_EQ(t.day, 28);
  EXPECT_EQ(t.hour, 23);
  EXPECT_EQ(t.minute, 59);
  EXPECT_EQ(t.second, 0);
  EXPECT_EQ(static_cast<unsigned>(TvxRoute::toDateTime(t)),
            static_cast<unsigned>(CDateTime(2016, 2, 29, 23, 59)));
  TravelClock::Time s = t;
  s.second = 59;  // seconds are not packed
  EXPECT_EQ(static_cast<unsigned>(TvxRoute::toDateTime(s)),
            static_cast<unsigned>(CDateTime(2016, 2, 29, 23, 59)));
}

// Leg 0 of a built two-node condition with the given holidays.
class TollInput : public ::testing::Test {
 protected:
  void Build(const std::vector<std::uint32_t>& holidays) {
    holidays_ = holidays;
    c_.node(0).time.set(2015, 1, 1, 8, 0);
    c_->holidayDates = holidays_.empty() ? nullptr : holidays_.data();
    c_->holidayCount = static_cast<std::int32_t>(holidays_.size());
    FakeRoadTypes engine;
    std::int32_t error = 0;
    ASSERT_TRUE(TvxRoute::buildLegConditions(*c_, engine, legs_, error));
  }
  static TravelClock::Time At(int y, int mo, int d, int h, int mi) {
    TravelClock::Time t;
    t.set(y, mo - 1, d - 1, h, mi, 0);
    return t;
  }
  Condition c_{2};
  std::vector<std::uint32_t> holidays_;
  LegList legs_;
};

TEST_F(TollInput, ItemsFollowLegsAndLinksWithTimesAndWeekdays) {
  c_->vehicleClass = 2;
  c_->tollOption1 = 1;
  c_->tollOption2 = 1;
  Build({});
  // Leg 1 departs on Wed 31 Dec 2014 at 23:00; its second link is passed
  // after midnight. Leg 2 departs on Sat 3 Jan 2015.
  std::vector<LegTollLinks> results(2);
  results[0].departure = At(2014, 12, 31, 23, 0);
  results[0].links = {LegTollLink{0x8123, 600}, LegTollLink{42, 3600 + 59}};
  results[1].departure = At(2015, 1, 3, 10, 0);
  results[1].links = {LegTollLink{7, 0}};
  const TollInputParam in = TvxRoute::buildTollInput(*legs_.take(0), *c_, results);
  EXPECT_EQ(in.vehicleClass, 1);
  EXPECT_EQ(in.option1, 1);
  EXPECT_EQ(in.option2, 1);
  ASSERT_EQ(in.items.v.size(), 3u);
  EXPECT_EQ(in.items.v[0].facility, 0x8123);  // the toll library keeps the low bits
  EXPECT_EQ(in.items.v[0].time, static_cast<unsigned>(CDateTime(2014, 12, 31, 23, 10)));
  EXPECT_EQ(in.items.v[0].dayOfWeek, 3);
  EXPECT_EQ(in.items.v[1].facility, 42);
  EXPECT_EQ(in.items.v[1].time, static_cast<unsigned>(CDateTime(2015, 1, 1, 0, 0)));
  EXPECT_EQ(in.items.v[1].dayOfWeek, 4);
  EXPECT_EQ(in.items.v[2].time, static_cast<unsigned>(CDateTime(2015, 1, 3, 10, 0)));
  EXPECT_EQ(in.items.v[2].dayOfWeek, 6);
  for (const auto& item : in.items.v) EXPECT_EQ(item.holiday, 0);
}

TEST_F(TollInput, HolidaysComeOnlyFromTheHostsList) {
  // 1 Jan 2015 is a public holiday in the toll calendar, but the host listed
  // only 5 Jan.
  ASSERT_TRUE(isHoliday(buildHolidayYearMask(HolidayTable(), 2015), 2015, 1, 1));
  Build({CDateTime(2015, 1, 5, 0, 0)});
  std::vector<LegTollLinks> results(1);
  results[0].departure = At(2015, 1, 1, 9, 0);
  results[0].links = {LegTollLink{1, 0}, LegTollLink{2, 4 * 86400}, LegTollLink{3, 5 * 86400}};
  const TollInputParam in = TvxRoute::buildTollInput(*legs_.take(0), *c_, results);
  ASSERT_EQ(in.items.v.size(), 3u);
  EXPECT_EQ(in.items.v[0].holiday, 0);
  EXPECT_EQ(in.items.v[1].holiday, 1);
  EXPECT_EQ(in.items.v[1].dayOfWeek, 1);  // Monday
  EXPECT_EQ(in.items.v[2].holiday, 0);
}

TEST_F(TollInput, ImpossibleDateGivesWeekdayOne) {
  Build({});
  std::vector<LegTollLinks> results(1);
  results[0].departure = At(2015, 1, 1, 0, 0);
  results[0].departure.month = 13;  // no such month: the week answer is taken as 1
  results[0].links = {LegTollLink{1, 0}};
  const TollInputParam in = TvxRoute::buildTollInput(*legs_.take(0), *c_, results);
  ASSERT_EQ(in.items.v.size(), 1u);
  EXPECT_EQ(in.items.v[0].dayOfWeek, 1);
}

TEST_F(TollInput, NoTollLinksGiveNoItems) {
  Build({});
  std::vector<LegTollLinks> results(2);
  results[0].departure = At(2015, 1, 1, 8, 0);
  results[1].departure = At(2015, 1, 1, 9, 0);
  const TollInputParam in = TvxRoute::buildTollInput(*legs_.take(0), *c_, results);
  EXPECT_TRUE(in.items.v.empty());
}

}  // namespace
