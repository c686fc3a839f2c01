#include "route/shape_thinning.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "item_list_builder.h"

namespace {

using itemtest::Push;
using Points = std::vector<TmpItemAry::Point>;

// Thins one link with the tolerances and gives its levels.
std::vector<int> Levels(Points points, std::vector<double> tolerances) {
  TmpItemAry list;
  auto link = std::make_unique<TmpItemAry::Link>();
  link->points = std::move(points);
  Push(list, nullptr, std::move(link));
  CRPFShapeThinn thin(tolerances.data(), static_cast<std::int32_t>(tolerances.size()));
  EXPECT_TRUE(thin.run(list));
  std::vector<int> out;
  for (const auto& p : list.items().front().link->points) out.push_back(p.level);
  return out;
}

using V = std::vector<int>;

TEST(ShapeThinn, StraightLinkKeepsItsEndsThroughEveryPass) {
  EXPECT_EQ(Levels({{0, 0}, {5, 0}, {10, 0}}, {1.0, 10.0}), (V{2, 0, 2}));
  // No tolerances: every level 0 (also the unset -1).
  EXPECT_EQ(Levels({{0, 0}, {5, 7}, {10, 0}}, {}), (V{0, 0, 0}));
}

TEST(ShapeThinn, ACountWithoutATolerancesArrayThinsNothing) {
  TmpItemAry list;
  auto link = std::make_unique<TmpItemAry::Link>();
  link->points = {{0, 0}, {5, 7}, {10, 0}};
  Push(list, nullptr, std::move(link));
  CRPFShapeThinn(nullptr, 2).run(list);
  for (const auto& p : list.items().front().link->points) EXPECT_EQ(p.level, 0);
}

TEST(ShapeThinn, ToleranceBelowOneCountsAsOne) {
  // Squared distance 1 is not above the squared tolerance 1.
  EXPECT_EQ(Levels({{0, 0}, {5, 1}, {10, 0}}, {0.5}), (V{1, 0, 1}));
  EXPECT_EQ(Levels({{0, 0}, {5, 1}, {10, 0}}, {0.99}), (V{1, 0, 1}));
  EXPECT_EQ(Levels({{0, 0}, {5, 1}, {10, 0}}, {1.0}), (V{1, 0, 1}));
  EXPECT_EQ(Levels({{0, 0}, {5, 2}, {10, 0}}, {0.5}), (V{1, 1, 1}));
}

TEST(ShapeThinn, LaterPassesThinWhatTheEarlierKept) {
  // Squared distance 9: kept by tolerance 1, dropped by 5.
  EXPECT_EQ(Levels({{0, 0}, {10, 3}, {20, 0}}, {1.0, 5.0}), (V{2, 1, 2}));
  // A point dropped once never comes back.
  EXPECT_EQ(Levels({{0, 0}, {10, 3}, {20, 0}}, {5.0, 1.0}), (V{2, 0, 2}));
}

TEST(ShapeThinn, FarthestPointSplitsTheLinkAndTheEarliestOfEqualDistancesWins) {
  // (3,4) and (7,4) lie equally far from the chord; (3,4) is taken, then
  // (7,4) is close to the line from (3,4) to (10,0).
  EXPECT_EQ(Levels({{0, 0}, {3, 4}, {7, 4}, {10, 0}}, {3.5}), (V{1, 1, 0, 1}));
  // Both halves are split again: (20,40) first, then (10,0) and (30,0).
  EXPECT_EQ(Levels({{0, 0}, {10, 0}, {20, 40}, {30, 0}, {40, 0}}, {3.0}), (V{1, 1, 1, 1, 1}));
}

TEST(ShapeThinn, ClosedLinkMeasuresPlainPointDistances) {
  // First and last point coincide: (10,10) is 200 away, (10,0) then lies
  // sqrt(50) off the line from (0,0) to (10,10).
  EXPECT_EQ(Levels({{0, 0}, {10, 0}, {10, 10}, {0, 0}}, {8.0}), (V{1, 0, 1, 1}));
  EXPECT_EQ(Levels({{0, 0}, {10, 0}, {10, 10}, {0, 0}}, {5.0}), (V{1, 1, 1, 1}));
  EXPECT_EQ(Levels({{0, 0}, {10, 0}, {10, 10}, {0, 0}}, {15.0}), (V{1, 0, 0, 1}));
}

TEST(ShapeThinn, RepeatedPointsKeepTheLevelTheyHad) {
  EXPECT_EQ(Levels({{0, 0}, {0, 0}, {5, 0}, {10, 0}, {10, 0}}, {1.0, 1.0}), (V{2, 0, 0, 2, 0}));
  // A link of one place: a pass keeps its first and its last point, both
  // at the same place, so the level walk raises the first two points.
  EXPECT_EQ(Levels({{3, 3}, {3, 3}, {3, 3}}, {1.0, 2.0}), (V{2, 2, 0}));
}

TEST(ShapeThinn, TooFewOrTooManyPointsStayAtLevelZero) {
  EXPECT_EQ(Levels({{3, 3}}, {1.0}), (V{0}));
  EXPECT_EQ(Levels({}, {1.0}), (V{}));
  Points many(65535);
  for (std::size_t i = 0; i < many.size(); ++i) many[i] = {static_cast<std::int32_t>(i), 0, -1};
  std::vector<int> levels = Levels(many, {1.0});
  EXPECT_EQ(std::count(levels.begin(), levels.end(), 0), 65535);
  many.pop_back();  // 65,534 points are thinned
  levels = Levels(many, {1.0});
  EXPECT_EQ(levels.front(), 1);
  EXPECT_EQ(levels.back(), 1);
  EXPECT_EQ(std::count(levels.begin(), levels.end(), 0), 65532);
}

TEST(ShapeThinn, SquaredDistanceToASegment) {
  using P = TmpItemAry::Point;
  EXPECT_EQ(CRPFShapeThinn::squaredDistance(P{3, 4}, P{0, 0}, P{0, 0}), 25.0L);
  EXPECT_EQ(CRPFShapeThinn::squaredDistance(P{5, 3}, P{0, 0}, P{10, 0}), 9.0L);
  // Beyond the ends the distance is to the nearer end.
  EXPECT_EQ(CRPFShapeThinn::squaredDistance(P{-3, 4}, P{0, 0}, P{10, 0}), 25.0L);
  EXPECT_EQ(CRPFShapeThinn::squaredDistance(P{13, -4}, P{0, 0}, P{10, 0}), 25.0L);
  // Large coordinates keep their precision.
  EXPECT_EQ(CRPFShapeThinn::squaredDistance(P{500000001, 300000000}, P{500000000, 300000000},
                                            P{500000000, 300000010}),
            1.0L);
}

}  // namespace
