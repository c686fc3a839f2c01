#include "route/link_filters.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "item_list_builder.h"

namespace {

using itemtest::At;
using itemtest::Node;
using itemtest::Push;

using Points = std::vector<TmpItemAry::Point>;

std::unique_ptr<TmpItemAry::Link> L(std::int32_t roadType, std::int32_t nameNo, std::int32_t roadNo,
                                    Points points = {{0, 0, -1}, {10, 0, -1}},
                                    bool highway = false) {
  auto l = std::make_unique<TmpItemAry::Link>();
  l->roadType = roadType;
  l->nameNo = nameNo;
  l->roadNo = roadNo;
  l->flags = highway ? 1 : 0;
  l->points = std::move(points);
  return l;
}

std::string Xy(const Points& points) {
  std::string out;
  for (const auto& p : points) out += "(" + std::to_string(p.x) + "," + std::to_string(p.y) + ")";
  return out;
}

std::vector<std::int32_t> NameNos(TmpItemAry& list) {
  std::vector<std::int32_t> out;
  for (auto& item : list.items()) out.push_back(item.link ? item.link->nameNo : -99);
  return out;
}

TEST(MergeLink2, NodelessNeighboursOfEqualRoadMergeKeepingTheJointTwice) {
  TmpItemAry list;
  Push(list, Node(0x80), L(3, 5, 7, {{0, 0}, {10, 0}}));
  auto& b = Push(list, nullptr, L(3, 5, 7, {{10, 0}, {20, 0}}));
  b.link->distance = 300;
  b.link->time = 30;
  b.link->leg = 1;
  Push(list, nullptr, L(3, 5, 7, {{20, 0}, {30, 5}}));
  list.items().back().link->distance = 450;
  list.items().back().link->leg = 1;
  Push(list, Node(0x10), L(3, 5, 7, {{30, 5}, {40, 5}}));  // a node stops the merge
  Push(list, nullptr, L(3, 5, 8));                         // other road number
  CMergeLink2 merge;
  EXPECT_TRUE(merge.run(list));
  auto items = At(list);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(Xy(items[0]->link->points), "(0,0)(10,0)(10,0)(20,0)(20,0)(30,5)");
  EXPECT_EQ(items[0]->link->distance, 450);
  EXPECT_EQ(items[0]->link->leg, 1);  // the values count from the later link's leg
  EXPECT_TRUE(items[1]->node);
  EXPECT_EQ(items[2]->link->roadNo, 8);
}

TEST(MergeLink2, EachOfTypeNamesAndHighwayFlagKeepsLinksApart) {
  CMergeLink2 merge;
  const TmpItemAry::Link base = *L(3, 5, 7);
  auto differ = [&](auto change) {
    TmpItemAry::Link other = base;
    change(other);
    return !merge.canMerge(base, other);
  };
  EXPECT_FALSE(differ([](TmpItemAry::Link&) {}));
  EXPECT_TRUE(differ([](TmpItemAry::Link& l) { l.roadType = 2; }));
  EXPECT_TRUE(differ([](TmpItemAry::Link& l) { l.nameNo = 6; }));
  EXPECT_TRUE(differ([](TmpItemAry::Link& l) { l.roadNo = 1; }));
  EXPECT_TRUE(differ([](TmpItemAry::Link& l) { l.flags = 1; }));
  EXPECT_FALSE(differ([](TmpItemAry::Link& l) { l.roadNameIdx = 4; }));  // not looked at
}

TEST(MergeLink, RoadNameIndexAndClassDecide) {
  TmpItemAry list;
  auto a = L(3, 1, 1);
  a->roadNameIdx = 2;
  a->linkClass = 5;
  auto b = L(9, 2, 2);  // other type and numbers
  b->roadNameIdx = 2;
  b->linkClass = 5;
  auto c = L(3, 1, 1);
  c->roadNameIdx = 3;
  c->linkClass = 5;
  Push(list, Node(0x80), std::move(a));
  Push(list, nullptr, std::move(b));
  Push(list, nullptr, std::move(c));
  Push(list, Node(0x80), nullptr);
  CMergeLink merge;
  merge.run(list);
  EXPECT_EQ(itemtest::Shape(list), "80/R -/R 80/-");
  TmpItemAry empty;
  EXPECT_TRUE(merge.run(empty));
}

TEST(ShiftBreakPoint, KindNodesPullTheJointBackIntoTheEarlierLink) {
  TmpItemAry list;
  Push(list, Node(0x80), L(3, 0, 0, {{0, 0}, {100, 50}, {140, 70}}));
  Push(list, Node(0x01), L(3, 0, 0, {{140, 70}, {300, 70}}));
  Push(list, nullptr, L(3, 0, 0, {{300, 70}, {400, 70}}));
  Push(list, Node(0x02), L(3, 0, 0, {{400, 70}, {400, 500}}));
  CShiftBreakPoint shift;
  shift.run(list);
  auto items = At(list);
  // 40 wide, 20 high: halfway.
  EXPECT_EQ(Xy(items[0]->link->points), "(0,0)(100,50)(120,60)");
  EXPECT_EQ(Xy(items[1]->link->points), "(120,60)(300,70)");
  // 100 wide: 50 along it.
  EXPECT_EQ(Xy(items[2]->link->points), "(300,70)(350,70)");
  EXPECT_EQ(Xy(items[3]->link->points), "(350,70)(400,500)");
  EXPECT_EQ(items[3]->link->points.front().level, -1);
}

TEST(ShiftBreakPoint, FerryBoundariesMoveIntoTheRoadLinkAndFactorsTruncate) {
  TmpItemAry list;
  Push(list, Node(0x80), L(3, 0, 0, {{0, 0}, {1000, 0}}));
  Push(list, Node(0x20), L(0, 0, 0, {{1000, 0}, {1070, -30}}));    // ferry after road: backward
  Push(list, Node(0x20), L(3, 0, 0, {{1070, -30}, {1140, 370}}));  // road after ferry: forward
  Push(list, Node(0x10), L(3, 0, 0, {{1140, 370}, {0, 0}}));       // road after road: unchanged
  CShiftBreakPoint shift;
  shift.run(list);
  auto items = At(list);
  EXPECT_EQ(Xy(items[0]->link->points), "(0,0)(950,0)");
  // d = -70, e = -400: f = 50/400; d' = trunc(-8.75) = -8, e' = -50.
  EXPECT_EQ(Xy(items[1]->link->points), "(950,0)(1078,20)");
  EXPECT_EQ(Xy(items[2]->link->points), "(1078,20)(1140,370)");
  EXPECT_EQ(Xy(items[3]->link->points), "(1140,370)(0,0)");
}

TEST(ShiftBreakPoint, SkipsANeighbourLinkWithoutASegment) {
  TmpItemAry list;
  Push(list, Node(0x80), L(3, 0, 0, {{5, 5}}));
  Push(list, Node(0x01), L(3, 0, 0, {{5, 5}, {100, 5}}));
  Push(list, Node(0x01), nullptr);
  Push(list, Node(0x02), L(3, 0, 0, {{100, 5}, {200, 5}}));
  Push(list, Node(0x02), L(3, 0, 0, {}));
  CShiftBreakPoint shift;
  EXPECT_TRUE(shift.run(list));
  auto items = At(list);
  EXPECT_EQ(Xy(items[0]->link->points), "(5,5)");
  EXPECT_EQ(Xy(items[1]->link->points), "(5,5)(100,5)");
  EXPECT_EQ(Xy(items[3]->link->points), "(100,5)(200,5)");
}

// A one-point link gives up its only point; the pull runs along the
// other link's last (backward) or first (forward) segment.
TEST(ShiftBreakPoint, PullsAlongTheOtherLinkWhenOneLinkHasASinglePoint) {
  TmpItemAry list;
  Push(list, Node(0x80), L(3, 0, 0, {{0, 0}, {100, 0}}));
  Push(list, Node(0x01), L(3, 0, 0, {{100, 0}}));            // backward into the first link
  Push(list, Node(0x20), L(0, 0, 0, {{100, 0}}));            // backward: no segment to pull along
  Push(list, Node(0x20), L(3, 0, 0, {{100, 0}, {300, 0}}));  // road after ferry: forward
  CShiftBreakPoint shift;
  shift.run(list);
  auto items = At(list);
  EXPECT_EQ(Xy(items[0]->link->points), "(0,0)(50,0)");
  EXPECT_EQ(Xy(items[1]->link->points), "(50,0)");
  EXPECT_EQ(Xy(items[2]->link->points), "(150,0)");
  EXPECT_EQ(Xy(items[3]->link->points), "(150,0)(300,0)");
}

// The 50-unit move is exact: segments whose floating-point factor would
// truncate to 49 (97, 194 and 195 long; 97 of 194 and 117 of 195 across
// giving 25 and 30) move 50 along the longer axis.
TEST(ShiftBreakPoint, MovesExactlyFiftyUnitsAlongTheLongerAxis) {
  TmpItemAry list;
  Push(list, Node(0x80), L(3, 0, 0, {{0, 0}, {97, 0}}));
  Push(list, Node(0x01), L(3, 0, 0, {{97, 0}, {97, 10}}));
  Push(list, nullptr, L(3, 0, 0, {{1000, 0}, {1194, 97}}));
  Push(list, Node(0x02), L(3, 0, 0, {{1194, 97}, {0, 0}}));
  Push(list, nullptr, L(3, 0, 0, {{2000, 0}, {2195, 117}}));
  Push(list, Node(0x01), L(3, 0, 0, {{2195, 117}, {0, 0}}));
  CShiftBreakPoint shift;
  shift.run(list);
  auto items = At(list);
  EXPECT_EQ(Xy(items[0]->link->points), "(0,0)(47,0)");
  EXPECT_EQ(Xy(items[2]->link->points), "(1000,0)(1144,72)");
  EXPECT_EQ(Xy(items[4]->link->points), "(2000,0)(2145,87)");
  EXPECT_EQ(Xy(items[5]->link->points), "(2145,87)(0,0)");
}

TEST(FillHwyRoadNo, GapsTakeTheFollowingNumberTrailingZerosThePreceding) {
  TmpItemAry list;
  Push(list, nullptr, L(3, 4, 0));
  Push(list, nullptr, L(1, 7, 0, {{0, 0}, {1, 1}}, true));
  Push(list, Node(0x04), L(1, 0, 0, {{0, 0}, {1, 1}}, true));
  Push(list, nullptr, L(10, 0, 0));  // highway-like by its type
  Push(list, nullptr, L(11, 9, 0));
  Push(list, nullptr, L(12, 0, 0));
  Push(list, Node(0x80), nullptr);  // no link: the run goes on
  Push(list, nullptr, L(1, 0, 0, {{0, 0}, {1, 1}}, true));
  Push(list, nullptr, L(3, 0, 0));  // an ordinary link ends the run
  Push(list, nullptr, L(10, 0, 0));
  CFillHwyRoadNo fill;
  fill.run(list);
  EXPECT_EQ(NameNos(list), (std::vector<std::int32_t>{4, 7, 9, 9, 9, 9, -99, 9, 0, 0}));
}

TEST(ConvLinkClass, EveryRoadTypeGetsItsClass) {
  const std::vector<std::pair<int, int>> table = {{0, 6},  {1, 4},  {2, 5},  {3, 5},  {4, 4},
                                                  {5, 4},  {6, 4},  {7, 3},  {8, 2},  {9, 1},
                                                  {10, 0}, {11, 0}, {12, 0}, {13, 4}, {-1, 4}};
  TmpItemAry list;
  for (const auto& [type, cls] : table) Push(list, nullptr, L(type, 0, 0));
  CConvLinkClass conv;
  conv.run(list);
  std::size_t i = 0;
  for (auto& item : list.items()) {
    EXPECT_EQ(item.link->linkClass, table[i].second) << "road type " << table[i].first;
    ++i;
  }
}

TEST(ClearMixedRoadNo, ARunOfOneRoadNumberWithMixedNamesLosesThem) {
  TmpItemAry list;
  Push(list, Node(0x80), L(3, 5, 20));
  Push(list, nullptr, L(3, 5, 20));
  Push(list, nullptr, L(3, 6, 20));
  Push(list, nullptr, L(3, 5, 21));  // other road number: the run ends here
  Push(list, nullptr, L(3, 5, 21));
  Push(list, Node(0x10), L(3, 8, 21));  // a node ends the run
  Push(list, nullptr, L(3, 2, 0));      // road number 0 starts no run
  Push(list, nullptr, L(3, 3, 0));
  Push(list, nullptr, L(1, 3, 30, {{0, 0}, {1, 1}}, true));  // highway-like starts no run
  Push(list, nullptr, L(1, 4, 30, {{0, 0}, {1, 1}}, true));
  CClearMixedRoadNo clear;
  clear.run(list);
  EXPECT_EQ(NameNos(list), (std::vector<std::int32_t>{0, 0, 0, 5, 5, 8, 2, 3, 3, 4}));
}

TEST(EraseDupPoint, RepeatsGoExceptInTwoPointLinks) {
  TmpItemAry list;
  Push(list, nullptr,
       L(3, 0, 0, {{0, 0, 1}, {0, 0, 2}, {0, 0, 3}, {5, 5}, {5, 5}, {0, 0}, {0, 0}}));
  Push(list, nullptr, L(3, 0, 0, {{7, 7}, {7, 7}}));
  Push(list, nullptr, L(3, 0, 0, {{7, 7}}));
  Push(list, Node(0x80), nullptr);
  CEraseDupPoint erase;
  erase.run(list);
  auto items = At(list);
  EXPECT_EQ(Xy(items[0]->link->points), "(0,0)(5,5)(0,0)");
  EXPECT_EQ(items[0]->link->points.front().level, 1);  // the first of a run stays
  EXPECT_EQ(Xy(items[1]->link->points), "(7,7)(7,7)");
  EXPECT_EQ(Xy(items[2]->link->points), "(7,7)");
}

TEST(MergeLink2, MergedJointRepeatGoesInThePointCleanUp) {
  TmpItemAry list;
  Push(list, Node(0x80), L(3, 5, 7, {{0, 0}, {10, 0}}));
  Push(list, nullptr, L(3, 5, 7, {{10, 0}, {20, 0}}));
  CMergeLink2().run(list);
  CEraseDupPoint().run(list);
  EXPECT_EQ(Xy(list.items().front().link->points), "(0,0)(10,0)(20,0)");
}

}  // namespace
