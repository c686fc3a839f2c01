#include "route/item_list.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "item_list_builder.h"
#include "route/item_filter.h"
#include "support/test_util.h"

namespace {

using testutil::Sjis;

// Two tiles side by side, 300 arc-seconds square; tile 2 lies east of tile
// 1 and they share the border x = 1300 arc-seconds.
//   record 0 of tile 1: ordinary links 100-103 running east, 101 bending
//     through (35,12); named crossings at node 2 (end of 101) and node 3
//     (end of 102).
//   record 1: links 104-105, going on north from the end of 103.
//   record 2: highway links 200-201 with guide data at node 1.
//   record 3: links 300-301 running east to the border, continued in tile 2
//     by 302-303 (record 0 there).
constexpr char8_t kMap[] =
    u8"KIWI 1\n"
    "TILE 1 1000 1000 300 300\n"
    "TILE 2 1300 1000 300 300\n"
    "ROAD 1 100\n"
    "LINK 3 0 10,10 20,10 30,10\n"
    "LINK 3 0 30,10 35,12 40,10\n"
    "LINK 3 0 40,10 50,10\n"
    "LINK 3 0 50,10 60,10\n"
    "NODE 2 GUIDE 本町\n"
    "NODE 3 GUIDE 栄町\n"
    "ROAD 1 104\n"
    "LINK 3 0 60,10 60,20\n"
    "LINK 3 0 60,20 60,30\n"
    "ROAD 1 200\n"
    "LINK 1 32 60,10 70,10\n"
    "LINK 1 32 70,10 80,10\n"
    "NODE 1 GUIDE 高速出口\n"
    "ROAD 1 300\n"
    "LINK 3 0 200,50 250,50\n"
    "LINK 3 0 250,50 300,50\n"
    "NODE 2 BORDER 2 0:0\n"
    "ROAD 2 302\n"
    "LINK 3 0 0,50 50,50\n"
    "LINK 3 0 50,50 100,50\n"
    "NODE 0 BORDER 1 3:1\n";

// A point of tile 1 or 2 (tile coordinates) in route units.
ShapePoint T1(int x, int y) { return {(1000 + x) * 1024, (1000 + y) * 1024}; }
ShapePoint T2(int x, int y) { return {(1300 + x) * 1024, (1000 + y) * 1024}; }

using Points = std::vector<std::pair<int, int>>;
Points Of(std::initializer_list<ShapePoint> pts) {
  Points out;
  for (const ShapePoint& p : pts) out.emplace_back(p.x, p.y);
  return out;
}
Points Of(const TmpItemAry::Link& link) {
  Points out;
  for (const auto& p : link.points) {
    EXPECT_EQ(p.level, -1);
    out.emplace_back(p.x, p.y);
  }
  return out;
}

// A run with its road data: name number 6, road number 0x2001, and the
// given cumulative distance (time: a tenth of it).
PathLink LinkRun(std::uint32_t first, std::uint16_t lastOffset, bool reverse,
                 std::int32_t distance) {
  PathLink r;
  r.link = first;
  r.lastOffset = lastOffset;
  r.direction = reverse ? 1 : 0;
  r.nameNo = 6;
  r.roadNo = 0x2001;
  r.distance = distance;
  r.time = distance / 10;
  return r;
}

GuideEntry Guide(std::uint32_t link, std::uint16_t direction, std::uint16_t number,
                 std::uint32_t distance) {
  return GuideEntry{link, direction, number, distance, distance / 10};
}

PartPathPtr Part(std::vector<PathLink> runs, std::vector<ShapePoint> start,
                 std::vector<ShapePoint> end, std::int32_t distance) {
  auto p = std::make_shared<PartPath>();
  p->firstDirection = runs.empty() ? 0 : runs[0].direction;
  p->firstLink =
      runs.empty() ? 0 : (runs[0].direction ? runs[0].link + runs[0].lastOffset : runs[0].link);
  p->runs = std::move(runs);
  p->startPoints = std::move(start);
  p->endPoints = std::move(end);
  p->distance = distance;
  p->time = distance / 10;
  return p;
}

RouteSingleResult Leg(std::vector<PartPathPtr> parts, int hour = 9) {
  auto raw = std::make_shared<RouteSingleResultRaw>();
  raw->departure.set(2015, 5, 2, hour, 30, 15);
  raw->parts = std::move(parts);
  return RouteSingleResult(raw);
}

std::vector<TmpItemAry::Link*> Links(TmpItemAry& items) {
  std::vector<TmpItemAry::Link*> out;
  for (auto& item : items.items())
    if (item.link) out.push_back(item.link.get());
  return out;
}

class ItemListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::u8string_view text(kMap);
    ASSERT_TRUE(
        testutil::WriteBytes(dir_.Native("ALLDATA.KWI"),
                             std::string(reinterpret_cast<const char*>(text.data()), text.size())));
    ASSERT_TRUE(map_.init(dir_.Sys("ALLDATA.KWI").c_str())) << testutil::Show(map_.lastError());
  }
  bool Build(std::vector<RouteSingleResult> legs) { return buildItemList(items_, &map_, legs); }

  testutil::TempDir dir_;
  KiwiHandleForALLDATA map_{0x1000000, true};
  TmpItemAry items_;
};

TEST_F(ItemListTest, SinglePartialLinkGivesOneBreakNodeAndOneLink) {
  // From (33,10) to (38,11) on link 101.
  ASSERT_TRUE(Build({Leg({Part({LinkRun(101, 0, false, 40)}, {T1(33, 11), T1(35, 12)},
                               {T1(35, 12), T1(38, 11)}, 45)})}));
  ASSERT_EQ(items_.items().size(), 1u);
  const TmpItemAry::Item& item = items_.items().front();
  ASSERT_TRUE(item.node && item.link);
  EXPECT_EQ(item.node->flags, nodeflag::kBreak);
  EXPECT_EQ(item.node->year, 2015);
  EXPECT_EQ(item.node->month, 5);
  EXPECT_EQ(item.node->day, 2);
  EXPECT_EQ(item.node->hour, 9);
  EXPECT_EQ(item.node->minute, 30);
  EXPECT_EQ(item.node->second, 15);
  EXPECT_EQ(Of(*item.link), Of({T1(33, 11), T1(35, 12), T1(35, 12), T1(38, 11)}));
  EXPECT_EQ(item.link->roadType, 3);
  EXPECT_EQ(item.link->nameNo, 6);
  EXPECT_EQ(item.link->roadNo, 0x2001);
  EXPECT_EQ(item.link->flags & 1, 0);
  // The part's own distance and time end the part.
  EXPECT_EQ(item.link->distance, 45);
  EXPECT_EQ(item.link->time, 4);
  EXPECT_EQ(item.link->linkClass, -1);
  EXPECT_EQ(item.link->roadNameIdx, -1);
}

TEST_F(ItemListTest, LinksFollowTheMapBetweenStartAndEndPoints) {
  // Two runs: 100-101 and 102-103 (its own distance: a new link), then a
  // highway run 200-201.
  ASSERT_TRUE(Build({Leg(
      {Part({LinkRun(100, 1, false, 30), LinkRun(102, 1, false, 50), LinkRun(200, 1, false, 70)},
            {T1(15, 10), T1(20, 10), T1(30, 10)}, {T1(70, 10), T1(75, 10)}, 72)})}));
  EXPECT_EQ(itemtest::Shape(items_), "80/R -/R -/H");
  auto links = Links(items_);
  ASSERT_EQ(links.size(), 3u);
  // Start points stand for link 100; 101 follows with its bend.
  EXPECT_EQ(Of(*links[0]),
            Of({T1(15, 10), T1(20, 10), T1(30, 10), T1(30, 10), T1(35, 12), T1(40, 10)}));
  EXPECT_EQ(links[0]->distance, 30);
  EXPECT_EQ(links[0]->time, 3);
  EXPECT_EQ(Of(*links[1]), Of({T1(40, 10), T1(50, 10), T1(50, 10), T1(60, 10)}));
  EXPECT_EQ(links[1]->distance, 50);
  // End points stand for link 201; the highway flag comes from the map.
  EXPECT_EQ(Of(*links[2]), Of({T1(60, 10), T1(70, 10), T1(70, 10), T1(75, 10)}));
  EXPECT_EQ(links[2]->roadType, 1);
  EXPECT_EQ(links[2]->flags & 1, 1);
  EXPECT_EQ(links[2]->distance, 72);
  EXPECT_EQ(links[2]->time, 7);
}

TEST_F(ItemListTest, GuidanceRecordsSortAndMergeOnTheSameLinkAndDirection) {
  // Part 0: A (link 5, forward), B (link 5, reverse), C (link 6); part 1:
  // D (link 6), and a toll E on link 6 a little further.
  auto p0 = Part({LinkRun(100, 0, false, 10)}, {}, {}, 10);
  p0->facilities = {Guide(5, 0, 1, 30), Guide(5, 1, 2, 30), Guide(6, 0, 3, 10)};
  auto p1 = Part({LinkRun(101, 0, false, 20)}, {}, {}, 20);
  p1->facilities = {Guide(6, 0, 4, 10)};
  p1->tolls = {Guide(6, 0, 8, 12)};
  const auto records = makeGuideRecords(Leg({p0, p1}));
  ASSERT_EQ(records.size(), 3u);
  // C, D and E merge: E's distance and time, the earliest non-zero numbers.
  EXPECT_EQ(records[0].link, 6u);
  EXPECT_EQ(records[0].facilNo, 3u);
  EXPECT_EQ(records[0].tollFacilNo, 8u);
  EXPECT_EQ(records[0].distance, 12u);
  EXPECT_EQ(records[0].time, 1u);
  // A and B differ in direction: both stay, in their order.
  EXPECT_EQ(records[1].facilNo, 1u);
  EXPECT_EQ(records[1].direction, 0);
  EXPECT_EQ(records[2].facilNo, 2u);
  EXPECT_EQ(records[2].direction, 1);
  EXPECT_TRUE(makeGuideRecords(RouteSingleResult()).empty());
}

// A leg that starts at a facility on the end of link 101, drives 101 back
// to a via point and over it again past the facility to 102: the leg's
// first run (101 forward, driven for no length up to the start) and the
// second passage of 101 forward each carry the facility. The two records stand for two passages and stay
// apart; the toll at the second passage merges with the facility there.
TEST_F(ItemListTest, GuidanceRecordsOfTwoPassagesOfALinkStayApart) {
  auto p0 = Part({LinkRun(101, 0, false, 0), LinkRun(101, 0, true, 12)}, {T1(40, 10), T1(40, 10)},
                 {T1(40, 10), T1(35, 12), T1(30, 10)}, 12);
  p0->facilities = {Guide(101, 0, 7, 0)};
  auto p1 = Part({LinkRun(101, 0, false, 24), LinkRun(102, 0, false, 34)},
                 {T1(30, 10), T1(35, 12), T1(40, 10)}, {T1(40, 10), T1(50, 10)}, 34);
  p1->facilities = {Guide(101, 0, 7, 24)};
  p1->tolls = {Guide(101, 0, 9, 24)};
  const RouteSingleResult leg = Leg({p0, p1});
  const auto records = makeGuideRecords(leg);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].distance, 0u);
  EXPECT_EQ(records[0].facilNo, 7u);
  EXPECT_EQ(records[0].tollFacilNo, 0u);
  EXPECT_EQ(records[1].distance, 24u);
  EXPECT_EQ(records[1].facilNo, 7u);
  EXPECT_EQ(records[1].tollFacilNo, 9u);

  // Walked: a facility node at the start and one at the second passage;
  // the links' distances and times never go back.
  ASSERT_TRUE(Build({leg}));
  EXPECT_EQ(itemtest::Shape(items_), "80/R 0/R 80/R 10/R");
  auto it = std::next(items_.items().begin());
  EXPECT_EQ(it->node->facilNo, 7u);
  EXPECT_EQ(it->node->tollFacilNo, 0u);
  std::advance(it, 2);
  EXPECT_EQ(it->node->facilNo, 7u);
  EXPECT_EQ(it->node->tollFacilNo, 9u);
  std::vector<std::int32_t> distances, times;
  for (const TmpItemAry::Link* link : Links(items_)) {
    distances.push_back(link->distance);
    times.push_back(link->time);
  }
  EXPECT_EQ(distances, (std::vector<std::int32_t>{0, 12, 24, 34}));
  EXPECT_EQ(times, (std::vector<std::int32_t>{0, 1, 2, 3}));
}

// A leg that drives link 101 three times (forward within 100-102, back,
// forward again) with a toll point only where the third passage ends: the
// record waits for that passage and is not applied at the end of the first.
TEST_F(ItemListTest, AGuidanceRecordWaitsForItsOwnPassageOfTheLink) {
  auto p0 = Part({LinkRun(100, 2, false, 30)}, {T1(12, 10), T1(20, 10), T1(30, 10)},
                 {T1(50, 10), T1(60, 10)}, 30);
  auto p1 = Part({LinkRun(101, 1, true, 50)}, {T1(60, 10), T1(50, 10)},
                 {T1(40, 10), T1(35, 12), T1(30, 10)}, 50);
  auto p2 = Part({LinkRun(101, 1, false, 70)}, {T1(30, 10), T1(35, 12), T1(40, 10)},
                 {T1(40, 10), T1(50, 10), T1(60, 10)}, 70);
  p2->tolls = {Guide(101, 0, 9, 60)};
  ASSERT_TRUE(Build({Leg({p0, p1, p2})}));
  int breaks = 0, tollAfterBreak = -1;
  for (const TmpItemAry::Item& item : items_.items()) {
    if (!item.node) continue;
    if (item.node->flags & nodeflag::kBreak) ++breaks;
    if (item.node->tollFacilNo == 9) tollAfterBreak = breaks;
  }
  EXPECT_EQ(breaks, 3);
  EXPECT_EQ(tollAfterBreak, 3);
  std::int32_t last = 0;
  for (const TmpItemAry::Link* link : Links(items_)) {
    EXPECT_GE(link->distance, last);
    last = link->distance;
  }
}

TEST_F(ItemListTest, MergedGuidanceGivesOneNodeWithBothNumbers) {
  auto part = Part({LinkRun(100, 1, false, 60), LinkRun(102, 1, false, 100)},
                   {T1(12, 10), T1(20, 10), T1(30, 10)}, {T1(50, 10), T1(55, 10)}, 90);
  // A facility on the part's first link, applied right after the start
  // points; a facility and a toll on 101, merged into one node.
  part->facilities = {Guide(100, 0, 5, 10), Guide(101, 0, 7, 50)};
  part->tolls = {Guide(101, 0, 9, 55)};
  ASSERT_TRUE(Build({Leg({part})}));
  EXPECT_EQ(itemtest::Shape(items_), "80/R 0/R 10/R");
  auto it = items_.items().begin();
  ++it;
  EXPECT_EQ(it->node->facilNo, 5u);
  EXPECT_EQ(it->node->tollFacilNo, 0u);
  ++it;
  EXPECT_EQ(it->node->facilNo, 7u);
  EXPECT_EQ(it->node->tollFacilNo, 9u);
  EXPECT_EQ(it->node->flags, nodeflag::kToll);
  auto links = Links(items_);
  ASSERT_EQ(links.size(), 3u);
  // Each guidance point ends its link at the record's distance and time.
  EXPECT_EQ(Of(*links[0]), Of({T1(12, 10), T1(20, 10), T1(30, 10)}));
  EXPECT_EQ(links[0]->distance, 10);
  EXPECT_EQ(links[0]->time, 1);
  EXPECT_EQ(Of(*links[1]), Of({T1(30, 10), T1(35, 12), T1(40, 10)}));
  EXPECT_EQ(links[1]->distance, 55);
  EXPECT_EQ(links[1]->time, 5);
  EXPECT_EQ(Of(*links[2]), Of({T1(40, 10), T1(50, 10), T1(50, 10), T1(55, 10)}));
  EXPECT_EQ(links[2]->distance, 90);
}

TEST_F(ItemListTest, ReverseRunYieldsItsPointsInDrivingOrder) {
  // 103 back to 100 in one run, with a facility on 101 driven in reverse
  // and one on 101 forward that this route never passes.
  auto part =
      Part({LinkRun(100, 3, true, 50)}, {T1(58, 10), T1(50, 10)}, {T1(20, 10), T1(14, 10)}, 48);
  EXPECT_EQ(part->firstLink, 103u);
  part->facilities = {Guide(101, 1, 3, 30), Guide(101, 0, 4, 40)};
  ASSERT_TRUE(Build({Leg({part})}));
  EXPECT_EQ(itemtest::Shape(items_), "80/R 0/R");
  EXPECT_EQ(std::next(items_.items().begin())->node->facilNo, 3u);
  auto links = Links(items_);
  ASSERT_EQ(links.size(), 2u);
  EXPECT_EQ(Of(*links[0]), Of({T1(58, 10), T1(50, 10), T1(50, 10), T1(40, 10), T1(40, 10),
                               T1(35, 12), T1(30, 10)}));
  EXPECT_EQ(links[0]->distance, 30);
  EXPECT_EQ(Of(*links[1]), Of({T1(20, 10), T1(14, 10)}));
  EXPECT_EQ(links[1]->distance, 48);
}

TEST_F(ItemListTest, RunCrossingTheTileBorderGoesOnInTheNeighbourTile) {
  // 300-301 in tile 1, 302-303 in tile 2, one run; then back west over the
  // border in a reverse run 302-301 and a last run 300.
  ASSERT_TRUE(Build({Leg({Part({LinkRun(300, 3, false, 80)}, {T1(210, 50), T1(250, 50)},
                               {T2(50, 50), T2(90, 50)}, 78)}),
                     Leg({Part({LinkRun(301, 1, true, 40), LinkRun(300, 0, false, 60)},
                               {T2(40, 50), T2(0, 50)}, {T1(250, 50), T1(240, 50)}, 55)},
                         10)}));
  EXPECT_EQ(itemtest::Shape(items_), "80/R 80/R -/R");
  auto links = Links(items_);
  ASSERT_EQ(links.size(), 3u);
  EXPECT_EQ(Of(*links[0]), Of({T1(210, 50), T1(250, 50), T1(250, 50), T1(300, 50), T2(0, 50),
                               T2(50, 50), T2(50, 50), T2(90, 50)}));
  EXPECT_EQ(links[0]->distance, 78);
  EXPECT_EQ(Of(*links[1]), Of({T2(40, 50), T2(0, 50), T1(300, 50), T1(250, 50)}));
  EXPECT_EQ(Of(*links[2]), Of({T1(250, 50), T1(240, 50)}));
  // Each leg's first break node takes that leg's departure.
  EXPECT_EQ(items_.items().front().node->hour, 9);
  EXPECT_EQ(std::next(items_.items().begin())->node->hour, 10);
}

TEST_F(ItemListTest, PartsOfALegEachStartWithABreakNode) {
  ASSERT_TRUE(Build(
      {Leg({Part({LinkRun(100, 0, false, 10)}, {T1(12, 10)}, {T1(28, 10)}, 10),
            Part({LinkRun(101, 1, false, 30)}, {T1(30, 10), T1(40, 10)}, {T1(45, 10)}, 30)})}));
  EXPECT_EQ(itemtest::Shape(items_), "80/R 80/R");
  // Only part 0 carries the leg's time.
  EXPECT_EQ(items_.items().front().node->year, 2015);
  EXPECT_EQ(items_.items().back().node->year, 0);
  EXPECT_EQ(Of(*items_.items().back().link), Of({T1(30, 10), T1(40, 10), T1(45, 10)}));
}

// A part of one run: the guidance record on its first link still becomes a
// node, and the records after it on later links are not held back.
TEST_F(ItemListTest, GuidanceOnTheFirstLinkOfAOneRunPartIsKept) {
  auto part = LinkRun(100, 2, false, 50);
  auto p0 = Part({part}, {T1(15, 10), T1(30, 10)}, {T1(40, 10), T1(45, 10)}, 48);
  p0->facilities = {Guide(100, 0, 5, 10), Guide(101, 0, 6, 30)};
  ASSERT_TRUE(Build({Leg({p0})}));
  EXPECT_EQ(itemtest::Shape(items_), "80/R 0/R 0/R");
  std::vector<std::uint32_t> facilities;
  for (const auto& item : items_.items())
    if (item.node && item.node->flags == 0) facilities.push_back(item.node->facilNo);
  EXPECT_EQ(facilities, (std::vector<std::uint32_t>{5, 6}));
}

// One run spread over two road records of a tile (100-103, 104-105) is one
// part: its last stretch ends the part and no second break node appears.
TEST_F(ItemListTest, OneRunOverTwoRoadRecordsGivesOneBreakNode) {
  ASSERT_TRUE(Build({Leg({Part({LinkRun(100, 5, false, 90)}, {T1(15, 10), T1(30, 10)},
                               {T1(60, 20), T1(60, 25)}, 88)})}));
  EXPECT_EQ(itemtest::Shape(items_), "80/R");
  const auto& link = *items_.items().front().link;
  EXPECT_EQ(Of(link),
            Of({T1(15, 10), T1(30, 10), T1(30, 10), T1(35, 12), T1(40, 10), T1(40, 10), T1(50, 10),
                T1(50, 10), T1(60, 10), T1(60, 10), T1(60, 20), T1(60, 20), T1(60, 25)}));
  EXPECT_EQ(link.distance, 88);
}

TEST_F(ItemListTest, CrossingNamesEndOrdinaryRunsOnly) {
  // Runs 100 | 101 (ends at 本町) | 102 (ends at 栄町) | 103 (no guide) |
  // highway 200 (guide data, but a highway) | 201 (ends the part).
  ASSERT_TRUE(Build({Leg(
      {Part({LinkRun(100, 0, false, 10), LinkRun(101, 0, false, 20), LinkRun(102, 0, false, 30),
             LinkRun(103, 0, false, 40), LinkRun(200, 0, false, 50), LinkRun(201, 0, false, 60)},
            {T1(15, 10), T1(30, 10)}, {T1(70, 10), T1(80, 10)}, 60)})}));
  EXPECT_EQ(itemtest::Shape(items_), "80/R -/R 40/R 40/R -/H -/H");
  std::vector<std::string> names;
  for (const auto& item : items_.items())
    if (item.node && item.node->flags == nodeflag::kCrossing) names.push_back(item.node->name);
  EXPECT_EQ(names, (std::vector<std::string>{Sjis(u8"本町"), Sjis(u8"栄町")}));
  // The crossing stands between the links it joins.
  auto links = Links(items_);
  ASSERT_EQ(links.size(), 6u);
  EXPECT_EQ(links[1]->points.back().x, T1(40, 10).x);
  EXPECT_EQ(links[2]->points.front().x, T1(40, 10).x);
}

TEST_F(ItemListTest, ALinkInNoTileFailsTheLeg) {
  // Unknown first link.
  EXPECT_FALSE(Build({Leg({Part({LinkRun(999, 0, false, 10)}, {T1(15, 10)}, {T1(20, 10)}, 10)})}));
  // A run going on past the end of the map's chain in tile 2.
  TmpItemAry a;
  EXPECT_FALSE(buildItemList(
      a, &map_, {Leg({Part({LinkRun(300, 4, false, 10)}, {T1(210, 50)}, {T2(90, 50)}, 10)})}));
  // A border that leads to no tile holding the next link (105 lies in
  // tile 1, behind the border).
  TmpItemAry b;
  EXPECT_FALSE(buildItemList(b, &map_,
                             {Leg({Part({LinkRun(300, 1, false, 10), LinkRun(105, 0, false, 20)},
                                        {T1(210, 50)}, {T1(60, 30)}, 10)})}));
  // No tile at the start point, and a leg without start points.
  TmpItemAry c;
  EXPECT_FALSE(buildItemList(
      c, &map_, {Leg({Part({LinkRun(100, 0, false, 10)}, {T1(-500, 10)}, {T1(20, 10)}, 10)})}));
  TmpItemAry d;
  EXPECT_FALSE(
      buildItemList(d, &map_, {Leg({Part({LinkRun(100, 0, false, 10)}, {}, {T1(20, 10)}, 10)})}));
  // A later leg that fails ends the step after the earlier legs' items.
  TmpItemAry e;
  const auto good = Leg({Part({LinkRun(101, 0, false, 40)}, {T1(33, 11)}, {T1(38, 11)}, 45)});
  const auto bad = Leg({Part({LinkRun(998, 0, false, 40)}, {T1(33, 11)}, {T1(38, 11)}, 45)});
  EXPECT_FALSE(buildItemList(e, &map_, {good, bad, good}));
  EXPECT_EQ(e.items().size(), 1u);
  // No legs, or a leg without runs: nothing to add.
  TmpItemAry f;
  EXPECT_TRUE(buildItemList(f, &map_, {}));
  EXPECT_TRUE(buildItemList(f, &map_, {RouteSingleResult()}));
  EXPECT_TRUE(f.items().empty());
}

TEST_F(ItemListTest, StartTileIsProbedAroundTheStartPoint) {
  // The middle of the first two start points lies in tile 2, 50 units past
  // the border; the first link is in tile 1, found by the shift (-100, ...).
  const ShapePoint a{1300 * 1024 + 40, 1050 * 1024};
  const ShapePoint b{1300 * 1024 + 60, 1050 * 1024};
  ASSERT_TRUE(
      Build({Leg({Part({LinkRun(301, 0, true, 10)}, {a, b, T1(280, 50)}, {T1(260, 50)}, 10)})}));
  EXPECT_EQ(itemtest::Shape(items_), "80/R");
}

// Arbitrary runs, offsets, directions, parts and guidance: the conversion
// answers true or false and never reads outside the map or hangs (the
// sanitizer build checks the reads).
TEST_F(ItemListTest, ArbitraryLegResultsNeverCrash) {
  std::mt19937 rng(7120);
  const std::uint32_t links[] = {0,   99,  100, 101, 103, 104, 105,
                                 200, 201, 300, 301, 302, 303, 0xFFFFFFFFu};
  int built = 0;
  for (int i = 0; i < 500; ++i) {
    std::vector<PartPathPtr> parts;
    const int partCount = static_cast<int>(rng() % 3);
    for (int p = 0; p < partCount; ++p) {
      std::vector<PathLink> runs;
      const int runCount = static_cast<int>(rng() % 4);
      for (int r = 0; r < runCount; ++r)
        runs.push_back(LinkRun(links[rng() % std::size(links)],
                               static_cast<std::uint16_t>(rng() % 6), rng() % 2 != 0,
                               static_cast<std::int32_t>(rng() % 1000)));
      std::vector<ShapePoint> start, end;
      for (unsigned k = rng() % 3; k > 0; --k)
        start.push_back(T1(static_cast<int>(rng() % 600) - 100, 10));
      for (unsigned k = rng() % 3; k > 0; --k) end.push_back(T2(static_cast<int>(rng() % 300), 50));
      auto part = Part(std::move(runs), std::move(start), std::move(end),
                       static_cast<std::int32_t>(rng() % 1000));
      for (unsigned k = rng() % 3; k > 0; --k)
        part->facilities.push_back(Guide(links[rng() % std::size(links)],
                                         static_cast<std::uint16_t>(rng() % 2),
                                         static_cast<std::uint16_t>(rng()), rng() % 1000));
      parts.push_back(part);
    }
    TmpItemAry items;
    if (buildItemList(items, &map_, {Leg(std::move(parts))})) ++built;
  }
  EXPECT_GT(built, 0);
}

// The sample road map of the build tree: the 国道246号 from 瀬田 west over
// the tile border, with the crossing 荏田 inside the route.
TEST(SampleRoadMap, NationalRoadAcrossTheTileBorder) {
  const char* build = std::getenv("KORT_BUILD_DIR");
  if (build == nullptr || *build == '\0')
    build = reinterpret_cast<const char*>(u8"" KORT_TEST_BUILD_DIR);
  const std::string path = std::string(build) + "/Database/Road/ALLDATA.KWI";
  ASSERT_TRUE(testutil::Exists(path));
  KiwiHandleForALLDATA map(0x1000000, true);
  ASSERT_TRUE(map.init(path.c_str())) << testutil::Show(map.lastError());
  auto deg = [](double lon, double lat) {
    return ShapePoint{static_cast<std::int32_t>(lon * 3600 * 1024 + 0.5),
                      static_cast<std::int32_t>(lat * 3600 * 1024 + 0.5)};
  };
  // 2001-2002 | 2003 (ends at 荏田) | 2004 (ends at the border) | 2005-2008.
  auto part =
      Part({LinkRun(2001, 1, false, 9000), LinkRun(2003, 0, false, 14000),
            LinkRun(2004, 0, false, 17000), LinkRun(2005, 3, false, 33000)},
           {deg(139.6300, 35.6220), deg(139.6272, 35.6207)}, {deg(139.3600, 35.4400)}, 32000);
  TmpItemAry items;
  ASSERT_TRUE(buildItemList(items, &map, {Leg({part})}));
  // A link per run (each has its own distance), the crossing after 2003.
  EXPECT_EQ(itemtest::Shape(items), "80/R -/R 40/R -/R");
  auto crossing = std::next(items.items().begin(), 2);
  EXPECT_EQ(crossing->node->name, Sjis(u8"荏田"));
  const auto& last = *items.items().back().link;
  EXPECT_EQ(last.roadType, 9);     // national road
  EXPECT_EQ(last.roadNo, 0x2001);  // the run's, not the map's
  EXPECT_EQ(last.distance, 32000);
  // 2004 ends at the tile border (139.5, 35.52); the last run starts there
  // in the western tile.
  const ShapePoint border = deg(139.5, 35.52);
  auto near = [&](const TmpItemAry::Point& p) {
    return std::abs(p.x - border.x) <= 1024 && std::abs(p.y - border.y) <= 1024;
  };
  EXPECT_TRUE(near(crossing->link->points.back()));
  EXPECT_TRUE(near(last.points.front()));
  EXPECT_EQ(last.points.back().x, deg(139.3600, 35.4400).x);
}

}  // namespace
