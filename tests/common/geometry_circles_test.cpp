#include "common/geometry_circles.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(Circles, CircumcentreAndCollinearPoints) {
  double x = 0, y = 0, rect[4];
  ASSERT_EQ(GetCircumcentre(1, 0, 0, 1, -1, 0, &x, &y), 1);
  EXPECT_NEAR(x, 0, 1e-12);
  EXPECT_NEAR(y, 0, 1e-12);
  ASSERT_EQ(GetCircleBoxFromPoints(3, 2, 2, 3, 1, 2, rect), 1);
  EXPECT_NEAR(rect[0], 1, 1e-12);
  EXPECT_NEAR(rect[3], 3, 1e-12);
  // Three collinear points: nothing built on them works.
  EXPECT_EQ(GetCircumcentre(0, 0, 1, 1, 2, 2, &x, &y), 0);
  EXPECT_EQ(GetCircleBoxFromPoints(0, 0, 1, 1, 2, 2, rect), 0);
  EXPECT_EQ(GetArcFromPoints(0, 0, 1, 1, 2, 2, &x, &y, nullptr, nullptr), 0);
  double pts[2];
  EXPECT_EQ(GetPointsOnArc(0, 0, 1, 1, 2, 2, 1, pts), 0);
  EXPECT_EQ(IsPointOnArc(0, 0, 1, 1, 2, 2, 1, 1), 0);
  const ThreePointArc flat{0, 0, 1, 1, 2, 2};
  EXPECT_EQ(DoesSegmentMeetSector(0, 0, 1, 0, &flat), 0);
  ThreePointArc out[3];
  EXPECT_EQ(SplitArcBySegment(1, 0, 1, 3, flat, out), 0);
}

TEST(Circles, LineAndCircleCrossings) {
  double ax = 0, ay = 0, bx = 0, by = 0;
  ASSERT_EQ(IntersectLineCircle(-5, 0, 5, 0, 0, 0, 1, &ax, &ay, &bx, &by), 2);
  EXPECT_NEAR(ax, -1, 1e-12);
  EXPECT_NEAR(bx, 1, 1e-12);
  EXPECT_NEAR(ay, 0, 1e-12);
  // Tangent within the band of r² - o²: one point.
  EXPECT_EQ(IntersectLineCircle2(-5, 1 - 1e-10, 5, 1 - 1e-10, 0, 0, 1, &ax, &ay, &bx, &by), 1);
  EXPECT_NEAR(ax, 0, 1e-9);
  EXPECT_EQ(IntersectLineCircle(-5, 2, 5, 2, 0, 0, 1, &ax, &ay, &bx, &by), 0);
  EXPECT_EQ(IntersectLineCircle(1, 1, 1, 1, 0, 0, 1, &ax, &ay, &bx, &by), 0);
  EXPECT_EQ(IntersectCircles(0, 0, 2, 0, 1, 1, &ax, &ay, &bx, &by), 1);
  EXPECT_NEAR(ax, 1, 1e-12);
  EXPECT_EQ(IntersectCircles(0, 0, 3, 0, 1, 1, &ax, &ay, &bx, &by), 0);
  ASSERT_EQ(IntersectCircles(0, 0, 1, 0, 1, 1, &ax, &ay, &bx, &by), 2);
  // The first point lies left of C1→C2.
  EXPECT_NEAR(ax, 0.5, 1e-12);
  EXPECT_NEAR(ay, std::sqrt(0.75), 1e-12);
  EXPECT_NEAR(by, -std::sqrt(0.75), 1e-12);
  EXPECT_EQ(IntersectCircles(0, 0, 0, 0, 1, 1, &ax, &ay, &bx, &by), 0);
}

TEST(Arcs, SweepSenseLengthAndSamples) {
  double cx = 9, cy = 9, length = 0, sweep = 0;
  ASSERT_EQ(GetArcFromPoints(1, 0, 0, 1, -1, 0, &cx, &cy, &length, &sweep), 1);
  EXPECT_NEAR(cx, 0, 1e-12);
  EXPECT_NEAR(cy, 0, 1e-12);
  EXPECT_NEAR(sweep, kPi, 1e-12);
  EXPECT_NEAR(length, kPi, 1e-12);
  ASSERT_EQ(GetArcFromPoints(1, 0, 0, -1, -1, 0, &cx, &cy, &length, &sweep), 1);
  EXPECT_NEAR(sweep, -kPi, 1e-12);
  EXPECT_NEAR(length, kPi, 1e-12);
  // Three points on a quarter circle: 22.5°, 45°, 67.5°.
  const double h = std::sqrt(0.5);
  double p[6];
  ASSERT_EQ(GetPointsOnArc(1, 0, h, h, 0, 1, 3, p), 1);
  for (int i = 0; i < 3; ++i) {
    const double a = DegToRad(22.5 * (i + 1));
    EXPECT_NEAR(p[2 * i], std::cos(a), 1e-12) << i;
    EXPECT_NEAR(p[2 * i + 1], std::sin(a), 1e-12) << i;
  }
  EXPECT_EQ(GetPointsOnArc(1, 0, h, h, 0, 1, 0, p), 0);
  EXPECT_EQ(GetPointsOnArc(1, 0, h, h, 0, 1, 3, nullptr), 0);
  EXPECT_EQ(IsPointOnArc(1, 0, h, h, 0, 1, std::cos(0.3), std::sin(0.3)), 1);
  EXPECT_EQ(IsPointOnArc(1, 0, h, h, 0, 1, -h, h), 0);
  EXPECT_EQ(IsPointOnArc(1, 0, h, h, 0, 1, 0.5, 0.5), 0);
  // The clockwise arc from (1,0) through (0,-1) to (-1,0).
  EXPECT_EQ(IsPointOnArc(1, 0, 0, -1, -1, 0, h, -h), 1);
  EXPECT_EQ(IsPointOnArc(1, 0, 0, -1, -1, 0, h, h), 0);
}

TEST(Arcs, SegmentCrossingsAndSplitting) {
  const ThreePointArc upper{1, 0, 0, 1, -1, 0};
  double ax = 0, ay = 0, bx = 0, by = 0;
  EXPECT_EQ(IntersectSegmentWithArc(-2, 0.5, 2, 0.5, upper, &ax, &ay, &bx, &by), 2);
  EXPECT_NEAR(ax, -std::sqrt(0.75), 1e-12);
  EXPECT_EQ(IntersectSegmentWithArc(-2, -0.5, 2, -0.5, upper, &ax, &ay, &bx, &by), 0);
  EXPECT_EQ(IntersectSegmentWithArc(0, 0.5, 2, 0.5, upper, &ax, &ay, &bx, &by), 1);
  ThreePointArc out[3];
  // Through the end point only: the arc comes back unchanged.
  ASSERT_EQ(SplitArcBySegment(-1, -1, -1, 1, upper, out), 1);
  EXPECT_EQ(out[0].x1, 1);
  EXPECT_EQ(out[0].x3, -1);
  ASSERT_EQ(SplitArcBySegment(0, 0, 0, 2, upper, out), 2);
  EXPECT_NEAR(out[0].x3, 0, 1e-12);
  EXPECT_NEAR(out[0].y3, 1, 1e-12);
  EXPECT_NEAR(out[1].x1, 0, 1e-12);
  EXPECT_NEAR(out[0].x2, std::sqrt(0.5), 1e-12);  // the middle of the first quarter
  ASSERT_EQ(SplitArcBySegment(-2, 0.5, 2, 0.5, upper, out), 3);
  // In the arc's own order: the right crossing first.
  EXPECT_NEAR(out[0].x3, std::sqrt(0.75), 1e-12);
  EXPECT_NEAR(out[1].x3, -std::sqrt(0.75), 1e-12);
  EXPECT_NEAR(out[2].x3, -1, 1e-12);
  ThreePointArc a{}, b{}, c{};
  ASSERT_EQ(SplitArcBySegment2(-2, -0.5, 2, -0.5, 1, 0, 0, -1, -1, 0, &a, &b, &c), 3);
  EXPECT_NEAR(a.x3, std::sqrt(0.75), 1e-12);
  EXPECT_NEAR(b.y2, -1, 1e-12);
  EXPECT_EQ(IsArcValid(nullptr), 0);
  const ThreePointArc degenerate{0, 0, 0, 0, 1, 1};
  EXPECT_EQ(IsArcValid(&degenerate), 0);
  EXPECT_EQ(IsArcValid(&upper), 1);
  double mx = 0, my = 0;
  // P2 and P3 opposite: the midpoint falls on the centre, so P2 is turned.
  ASSERT_EQ(GetArcMidpoint(0, 0, 1, 0, -1, 0, 1, &mx, &my), 1);
  EXPECT_NEAR(my, 1, 1e-12);
  ASSERT_EQ(GetArcMidpoint(0, 0, 1, 0, -1, 0, -1, &mx, &my), 1);
  EXPECT_NEAR(my, -1, 1e-12);
}

TEST(Arcs, SectorsArcsAroundAPointAndFillets) {
  const ThreePointArc quarter{1, 0, std::sqrt(0.5), std::sqrt(0.5), 0, 1};
  EXPECT_EQ(DoesSegmentMeetSector(0.2, 0.3, 0.3, 0.2, &quarter), 1);   // inside the slice
  EXPECT_EQ(DoesSegmentMeetSector(-0.5, 0.5, 0.5, 0.5, &quarter), 1);  // crosses a radius
  EXPECT_EQ(DoesSegmentMeetSector(-0.5, -0.2, -0.2, -0.5, &quarter), 0);
  EXPECT_EQ(DoesSegmentMeetSector(5, 5, 6, 6, &quarter), 0);
  EXPECT_EQ(DoesSegmentMeetSector(0, 0, 1, 1, nullptr), 0);
  ThreePointArc arc{};
  ASSERT_EQ(MakeArcAroundPoint(0, 0, 1, 0, kPi / 2, &arc), 1);
  EXPECT_NEAR(arc.y1, -1, 1e-12);
  EXPECT_NEAR(arc.y3, 1, 1e-12);
  EXPECT_EQ(MakeArcAroundPoint(0, 0, 0, 0, 1, &arc), 0);
  double t1x = 0, t1y = 0, mx = 0, my = 0, t2x = 0, t2y = 0;
  // The corner (0,2)→(0,0)→(2,0) turns left, so a negative radius puts the
  // centre inside it.
  ASSERT_EQ(GetFillet(0, 2, 0, 0, 2, 0, -1, &t1x, &t1y, &mx, &my, &t2x, &t2y), 1);
  EXPECT_NEAR(t1x, 0, 1e-12);
  EXPECT_NEAR(t1y, 1, 1e-12);
  EXPECT_NEAR(t2x, 1, 1e-12);
  EXPECT_NEAR(t2y, 0, 1e-12);
  EXPECT_NEAR(mx, 1 - std::sqrt(0.5), 1e-12);
  EXPECT_NEAR(my, 1 - std::sqrt(0.5), 1e-12);
  // A radius too large for the legs.
  EXPECT_EQ(GetFillet(0, 2, 0, 0, 2, 0, -3, &t1x, &t1y, &mx, &my, &t2x, &t2y), 0);
}
