// The result builder on the sample road map: runs that resolve through
// findLink, leg-relative cumulative distance and time, shape points,
// positions, guidance entries and toll points as its header lays them down.
#include "outside/route_builder.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "outside/kiwi.h"
#include "sample_road_map.h"
#include "support/test_util.h"

namespace {

using routebuild::GuideSpec;
using routebuild::LegSpec;
using routebuild::PartSpec;
using routebuild::RunSpec;
using sampleroad::Units;

static_assert(sizeof(PathLink) == 24, "link runs are the 24-byte entries");
static_assert(offsetof(PathLink, nameNo) == 8 && offsetof(PathLink, roadNo) == 12 &&
              offsetof(PathLink, distance) == 16 && offsetof(PathLink, time) == 20);
static_assert(sizeof(GuideEntry) == 16 && offsetof(GuideEntry, number) == 6 &&
              offsetof(GuideEntry, distance) == 8 && offsetof(GuideEntry, time) == 12);
static_assert(sizeof(LinkPair) == 8);

class Builder : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string bytes = testutil::ReadBytes(sampleroad::GeneratedMapNative());
    ASSERT_FALSE(bytes.empty()) << sampleroad::GeneratedMapNative();
    ASSERT_TRUE(testutil::WriteBytes(dir_.Native("ALLDATA.KWI"), bytes));
    ASSERT_TRUE(map_.init(dir_.Sys("ALLDATA.KWI").c_str())) << testutil::Show(map_.lastError());
    leg_.departure.set(2015, 5, 2, 23, 50, 0);
  }
  RouteSingleResult Build() {
    RouteSingleResult out;
    std::string error;
    EXPECT_TRUE(routebuild::BuildRouteResult(map_, leg_, &out, &error)) << error;
    return out;
  }
  std::string Fails() {
    RouteSingleResult out;
    std::string error;
    EXPECT_FALSE(routebuild::BuildRouteResult(map_, leg_, &out, &error));
    return error;
  }
  // The link's shape in route units, found by walking the tiles' road data
  // with findLink.
  std::vector<ShapePoint> Shape(std::uint32_t link) {
    for (std::uint32_t tile : map_.tileNumbers()) {
      auto road = map_.roadOfTile(tile);
      KwRoad::Link v;
      if (!road->findLink(link, &v)) continue;
      routebuild::MapLink decoded;
      EXPECT_TRUE(routebuild::FindMapLink(map_, link, &decoded));
      EXPECT_EQ(decoded.tile, tile);
      EXPECT_EQ(decoded.record, v.record);
      EXPECT_EQ(decoded.place, v.place);
      EXPECT_EQ(decoded.roadType, v.link[0]);
      return decoded.points;
    }
    ADD_FAILURE() << "no tile holds link " << link;
    return {};
  }
  testutil::TempDir dir_;
  KiwiHandleForALLDATA map_{0x1000000, true};
  LegSpec leg_;
};

bool Same(ShapePoint a, ShapePoint b) { return a.x == b.x && a.y == b.y; }

TEST_F(Builder, EveryRunResolvesThroughFindLinkWithLegRelativeDistanceAndTime) {
  // 東京IC to 厚木IC on the expressway (one run over both tiles), then on
  // to 旭町 on the prefectural road.
  PartSpec expressway;
  expressway.runs = {{1001, 4, false, 2, 0}, {1006, 4, false, 2, 0}};
  PartSpec prefectural;
  prefectural.runs = {{4004, 1, false, 12, 0xA03F}};
  leg_.parts = {expressway, prefectural};
  leg_.vehicleType = 3;
  leg_.option = 1;
  const RouteSingleResult r = Build();
  ASSERT_EQ(r.getPartCnt(), 2);
  EXPECT_EQ(r.getAllLinkCnt(), 3);
  EXPECT_EQ(r.vehicleType(), 3);
  EXPECT_EQ(r.option(), 1);

  double metres = 0, seconds = 0;
  std::int32_t lastDistance = 0, lastTime = 0;
  ShapePoint at{};
  bool first = true;
  for (int p = 0; p < r.getPartCnt(); ++p) {
    const PartPath& part = *r.getPart(p);
    // A part starts at the time its predecessors took.
    TravelClock::Time start = r.departure();
    start.addSec(p == 0 ? 0 : r.getPart(p - 1)->time);
    EXPECT_EQ(part.startTime.hour, start.hour);
    EXPECT_EQ(part.startTime.minute, start.minute);
    EXPECT_EQ(part.startTime.second, start.second);
    for (const PathLink& run : part.runs) {
      for (std::uint32_t d = 0; d <= run.lastOffset; ++d) {
        const std::vector<ShapePoint> shape = Shape(run.link + d);
        ASSERT_GE(shape.size(), 2u);
        if (!first) {
          EXPECT_TRUE(Same(shape.front(), at)) << run.link + d;
        }
        first = false;
        at = shape.back();
        for (std::size_t i = 1; i < shape.size(); ++i) {
          const double m = routebuild::StepMetres(shape[i - 1], shape[i]);
          metres += m;
          seconds += m * 3.6 / routebuild::TravelSpeedKmh(run.link >= 4000 ? 8 : 10);
        }
      }
      EXPECT_EQ(run.distance, static_cast<std::int32_t>(std::lround(metres)));
      EXPECT_EQ(run.time, static_cast<std::int32_t>(std::lround(seconds)));
      EXPECT_GT(run.distance, lastDistance);
      EXPECT_GT(run.time, lastTime);
      lastDistance = run.distance;
      lastTime = run.time;
    }
    EXPECT_EQ(part.distance, part.runs.back().distance);
    EXPECT_EQ(part.time, part.runs.back().time);
  }
  // The second part counts on from the first.
  EXPECT_GT(r.getPart(1)->runs[0].distance, r.getPart(0)->distance);
  EXPECT_GT(r.getPart(0)->distance, 28000);
  EXPECT_LT(r.getPart(0)->distance, 40000);
  // 80 km/h on the expressway.
  EXPECT_NEAR(r.getPart(0)->time, r.getPart(0)->distance * 3.6 / 80, 1);

  const PartPath& e = *r.getPart(0);
  EXPECT_EQ(e.firstLink, 1001u);
  EXPECT_EQ(e.firstDirection, 0);
  EXPECT_TRUE(Same(e.startPoints.front(), {Units(139.6272), Units(35.6207)}));
  EXPECT_TRUE(Same(e.startPoints.back(), Shape(1001).back()));
  EXPECT_EQ(e.startPoints.size(), Shape(1001).size());
  EXPECT_TRUE(Same(e.endPoints.front(), Shape(1010).front()));
  EXPECT_TRUE(Same(e.endPoints.back(), {Units(139.3470), Units(35.4270)}));
  EXPECT_EQ(e.start.first, 1001u);
  EXPECT_EQ(e.start.second, 0u);
  EXPECT_EQ(e.goal.first, 1010u);
  EXPECT_EQ(e.goal.second, Shape(1010).size() - 1);
  ASSERT_EQ(e.goalSide.size(), 1u);
  EXPECT_EQ(e.goalSide[0].first, 1010u);
  ASSERT_EQ(e.entries.size(), 2u);
  EXPECT_EQ(e.entries[0].first, 1001u);
  EXPECT_EQ(e.entries[1].first, 1010u);
}

TEST_F(Builder, AReverseRunDrivesAgainstItsLinks) {
  PartSpec part;
  part.runs = {{1006, 4, true, 2, 0}};  // 厚木IC to the tile border
  leg_.parts = {part};
  const RouteSingleResult r = Build();
  const PartPath& p = *r.getPart(0);
  EXPECT_EQ(p.firstLink, 1010u);
  EXPECT_EQ(p.firstDirection, 1);
  EXPECT_EQ(p.runs[0].direction, 1);
  const std::vector<ShapePoint> last = Shape(1010);
  EXPECT_TRUE(Same(p.startPoints.front(), last.back()));
  EXPECT_TRUE(Same(p.startPoints.back(), last.front()));
  EXPECT_TRUE(Same(p.endPoints.back(), Shape(1006).front()));
  EXPECT_EQ(p.start.first, 1010u);
  EXPECT_EQ(p.start.second, last.size() - 1);  // counted along the link
  EXPECT_EQ(p.goal.first, 1006u);
  EXPECT_EQ(p.goal.second, 0u);
}

TEST_F(Builder, ExactStartAndGoalCutOneLink) {
  // The ferry route is one link of several shape points.
  const std::vector<ShapePoint> shape = Shape(3001);
  ASSERT_GE(shape.size(), 5u);
  PartSpec part;
  part.runs = {{3001, 0, false, 6, 0}};
  part.start = ShapePoint{shape[1].x + 100, shape[1].y};
  part.goal = ShapePoint{shape[3].x - 100, shape[3].y};
  leg_.parts = {part};
  const RouteSingleResult r = Build();
  const PartPath& p = *r.getPart(0);
  // Start alone; then the rest of the link up to the goal.
  ASSERT_EQ(p.startPoints.size(), 1u);
  EXPECT_TRUE(Same(p.startPoints[0], *part.start));
  ASSERT_EQ(p.endPoints.size(), 2u);
  EXPECT_TRUE(Same(p.endPoints[0], shape[2]));
  EXPECT_TRUE(Same(p.endPoints[1], *part.goal));
  EXPECT_EQ(p.start.second, 1u);
  EXPECT_EQ(p.goal.second, 3u);
  const double m =
      routebuild::StepMetres(*part.start, shape[2]) + routebuild::StepMetres(shape[2], *part.goal);
  EXPECT_EQ(p.distance, static_cast<std::int32_t>(std::lround(m)));
  EXPECT_EQ(p.time, static_cast<std::int32_t>(std::lround(m * 3.6 / 20)));  // ferry speed

  // Exact ends on a part of two links cut the first and the last.
  PartSpec two;
  two.runs = {{2002, 1, false, 8, 0x20F6}};
  const std::vector<ShapePoint> a = Shape(2002), b = Shape(2003);
  ASSERT_EQ(a.size(), 3u);
  ASSERT_EQ(b.size(), 3u);
  two.start = ShapePoint{a[1].x, a[1].y + 50};
  two.goal = ShapePoint{b[1].x, b[1].y - 50};
  leg_.parts = {two};
  const RouteSingleResult cut = Build();
  const PartPath& q = *cut.getPart(0);
  EXPECT_TRUE(Same(q.startPoints.front(), *two.start));
  EXPECT_TRUE(Same(q.startPoints.back(), a.back()));
  EXPECT_EQ(q.startPoints.size(), a.size() - 1);
  EXPECT_TRUE(Same(q.endPoints.front(), b.front()));
  EXPECT_TRUE(Same(q.endPoints.back(), *two.goal));
  EXPECT_EQ(q.endPoints.size(), 2u);

  // Ends nearest the joining node keep it: the links still meet.
  two.start = ShapePoint{a.back().x + 30, a.back().y};
  two.goal = ShapePoint{b.front().x - 30, b.front().y};
  leg_.parts = {two};
  const RouteSingleResult edge = Build();
  const PartPath& j = *edge.getPart(0);
  ASSERT_EQ(j.startPoints.size(), 2u);
  EXPECT_TRUE(Same(j.startPoints[1], a.back()));
  ASSERT_EQ(j.endPoints.size(), 2u);
  EXPECT_TRUE(Same(j.endPoints[0], b.front()));
  EXPECT_TRUE(Same(j.endPoints[1], *two.goal));
}

TEST_F(Builder, GuidanceEntriesAndTollPointsLieWhereTheRouteDrivesThem) {
  PartSpec part;
  part.runs = {{1001, 4, false, 2, 0}, {1006, 4, false, 2, 0}};
  part.facilities = {
      {1009, false, 106, false}, {1001, false, 101, true}, {1001, false, 102, false}};
  part.tolls = {{1010, false, 31, false}, {1001, false, 10, true}, {1008, false, 35, false}};
  PartSpec before;
  before.runs = {{1101, 1, false, 4, 0}};
  leg_.parts = {before, part};
  const RouteSingleResult r = Build();
  const PartPath& p = *r.getPart(1);
  const PartPath& first = *r.getPart(0);
  // Driving order; the entries at the start have the part's start values.
  ASSERT_EQ(p.facilities.size(), 3u);
  EXPECT_EQ(p.facilities[0].number, 101);
  EXPECT_EQ(p.facilities[0].distance, static_cast<std::uint32_t>(first.distance));
  EXPECT_EQ(p.facilities[0].time, static_cast<std::uint32_t>(first.time));
  EXPECT_EQ(p.facilities[1].number, 102);
  EXPECT_EQ(p.facilities[1].link, 1001u);
  double link1001 = 0;
  const std::vector<ShapePoint> shape = Shape(1001);
  for (std::size_t i = 1; i < shape.size(); ++i)
    link1001 += routebuild::StepMetres(shape[i - 1], shape[i]);
  EXPECT_NEAR(p.facilities[1].distance, first.distance + link1001, 1.0);
  EXPECT_GT(p.facilities[1].distance, p.facilities[0].distance);
  EXPECT_EQ(p.facilities[2].number, 106);
  EXPECT_LT(p.facilities[2].distance, static_cast<std::uint32_t>(p.distance));
  ASSERT_EQ(p.tolls.size(), 3u);
  EXPECT_EQ(p.tolls[0].number, 10);
  EXPECT_EQ(p.tolls[1].number, 35);
  EXPECT_EQ(p.tolls[2].number, 31);
  EXPECT_EQ(p.tolls[2].distance, static_cast<std::uint32_t>(p.distance));
  EXPECT_EQ(p.tolls[2].time, static_cast<std::uint32_t>(p.time));
  // One toll point per toll entry, with its seconds.
  ASSERT_EQ(p.links.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(p.links[i].facility, p.tolls[i].number);
    EXPECT_EQ(p.links[i].seconds, p.tolls[i].time);
  }
  EXPECT_TRUE(first.links.empty());
  EXPECT_TRUE(first.tolls.empty());
}

TEST_F(Builder, RunsAndGuidanceThatDoNotFitTheMapAreRefused) {
  PartSpec part;
  part.runs = {{999, 0, false, 0, 0}};
  leg_.parts = {part};
  EXPECT_NE(Fails().find("999"), std::string::npos);
  // 1001 ends where 1002 begins, not 2003.
  part.runs = {{1001, 0, false, 0, 0}, {2003, 0, false, 0, 0}};
  leg_.parts = {part};
  EXPECT_NE(Fails().find("2003"), std::string::npos);
  // A run reaching past its road's last link into nothing.
  part.runs = {{1101, 2, false, 0, 0}};
  leg_.parts = {part};
  EXPECT_NE(Fails().find("1103"), std::string::npos);
  // Guidance on a link driven the other way, or at the start of another.
  part.runs = {{1001, 1, false, 0, 0}};
  part.facilities = {{1002, true, 5, false}};
  leg_.parts = {part};
  EXPECT_NE(Fails().find("1002"), std::string::npos);
  part.facilities = {{1002, false, 5, true}};
  leg_.parts = {part};
  EXPECT_FALSE(Fails().empty());
  part.facilities.clear();
  leg_.parts = {part};
  EXPECT_EQ(Build().getPartCnt(), 1);
}

TEST_F(Builder, APartWithoutRunsStandsAtOnePlace) {
  PartSpec moved;
  moved.runs = {{2001, 0, false, 8, 0}};
  PartSpec still;
  still.standing = {2002, 0};
  leg_.parts = {moved, still};
  const RouteSingleResult r = Build();
  const PartPath& p = *r.getPart(1);
  EXPECT_TRUE(p.runs.empty());
  EXPECT_TRUE(p.goalSide.empty());
  ASSERT_EQ(p.entries.size(), 2u);
  EXPECT_EQ(p.entries[0].first, 2002u);
  EXPECT_EQ(p.entries[1].first, 2002u);
  EXPECT_EQ(p.start.first, p.goal.first);
  EXPECT_EQ(p.distance, r.getPart(0)->distance);
  ASSERT_EQ(p.startPoints.size(), 1u);
  EXPECT_TRUE(Same(p.startPoints[0], Shape(2002).front()));
  // Guidance needs a driven link.
  still.tolls = {{2002, false, 5, true}};
  leg_.parts = {still};
  EXPECT_FALSE(Fails().empty());
}

TEST(TravelDistance, StepsAreMeasuredOnTheSphere) {
  // One arc-second of latitude is about 30.9 m; of longitude at 35.5°,
  // cos(35.5°) of that.
  EXPECT_NEAR(routebuild::StepMetres({0, Units(35.5)}, {0, Units(35.5) + 1024}), 30.92, 0.01);
  EXPECT_NEAR(
      routebuild::StepMetres({Units(139.0), Units(35.5)}, {Units(139.0) + 1024, Units(35.5)}),
      25.17, 0.01);
  EXPECT_EQ(routebuild::StepMetres({5, 5}, {5, 5}), 0.0);
  // Keyed on the map's road types: ferry, expressways, national roads,
  // everything else.
  EXPECT_EQ(routebuild::TravelSpeedKmh(0), 20);
  for (int type : {10, 11, 12}) EXPECT_EQ(routebuild::TravelSpeedKmh(type), 80) << type;
  EXPECT_EQ(routebuild::TravelSpeedKmh(9), 50);
  for (int type : {1, 2, 4, 6, 7, 8, 13}) EXPECT_EQ(routebuild::TravelSpeedKmh(type), 30) << type;
}

}  // namespace
