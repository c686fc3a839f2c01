#include "common/geometry_lines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>

TEST(Lines, ParallelOffsetAndDirectionalCrossings) {
  NormalLine l{}, p{}, o{};
  ASSERT_EQ(GetLineFromPoints(0, 0, 4, 0, &l), 1);
  ASSERT_EQ(GetParallelLine(0, 3, l, &p), 1);
  double x = 0, y = 0;
  ASSERT_EQ(IntersectLinesFromPoints(0, 0, 0, 1, 5, 3, 6, 3, &x, &y, 1e-8), 1);
  EXPECT_NEAR(p.a * 7 + p.b * 3 + p.c, 0, 1e-12);
  // A positive offset moves the line to the left of its direction.
  ASSERT_EQ(GetOffsetLine(2, l, &o), 1);
  EXPECT_NEAR(o.a * 1 + o.b * 2 + o.c, 0, 1e-12);
  EXPECT_EQ(IntersectSegmentWithHorizontal(1, 0, 0, 2, 2, &x, &y), 1);
  EXPECT_NEAR(x, 1, 1e-12);
  EXPECT_EQ(IntersectSegmentWithHorizontal(3, 0, 0, 2, 2, &x, &y), 0);
  EXPECT_EQ(IntersectSegmentWithVertical(0.5, 0, 0, 2, 2, &x, &y), 1);
  EXPECT_NEAR(y, 0.5, 1e-12);
  EXPECT_EQ(IntersectSegmentWithVertical(-1, 0, 0, 2, 2, &x, &y), 0);
  ASSERT_EQ(IntersectLineWithDirection(0, 0, 0, 5, 10, 5, 45, &x, &y), 1);
  EXPECT_NEAR(x, 5, 1e-9);
  EXPECT_NEAR(y, 5, 1e-9);
}

TEST(IntersectSegments, CrossingBoxTestAndTolerance) {
  double x = 0, y = 0;
  EXPECT_EQ(IntersectSegments(0, 0, 2, 2, 0, 2, 2, 0, &x, &y, 1e-8, 1e-8), 1);
  EXPECT_NEAR(x, 1, 1e-12);
  EXPECT_NEAR(y, 1, 1e-12);
  // The crossing is written out even when it fails the box test.
  x = y = 99;
  EXPECT_EQ(IntersectSegments(0, 0, 1, 0, 2, -1, 2, 1, &x, &y, 1e-8, 1e-8), 0);
  EXPECT_NEAR(x, 2, 1e-12);
  EXPECT_NEAR(y, 0, 1e-12);
  EXPECT_EQ(IntersectSegments(0, 0, 1, 0, 0, 1, 1, 1, &x, &y, 1e-8, 1e-8), 0);
  // Collinear overlapping segments count as parallel.
  EXPECT_EQ(IntersectSegments2(0, 0, 2, 0, 1, 0, 3, 0, &x, &y, 1e-8, 1e-8), 0);
  // 0.5e-8 beyond the end of the first segment.
  EXPECT_EQ(IntersectSegments(0, 0, 1, 0, 1 + 0.5e-8, -1, 1 + 0.5e-8, 1, &x, &y, 1e-8, 1e-8), 1);
  EXPECT_EQ(IntersectSegments(0, 0, 1, 0, 1 + 3e-8, -1, 1 + 3e-8, 1, &x, &y, 1e-8, 1e-8), 0);
}

namespace {

// Exact answer for integer segments: 1 when the lines cross in one point
// lying on both closed segments.
int ExactSegmentCrossing(const int64_t p[8], int64_t* numX, int64_t* numY, int64_t* den) {
  const int64_t d1x = p[2] - p[0], d1y = p[3] - p[1], d2x = p[6] - p[4], d2y = p[7] - p[5];
  if ((d1x == 0 && d1y == 0) || (d2x == 0 && d2y == 0)) return 0;
  int64_t d = d1x * d2y - d1y * d2x;
  if (d == 0) return 0;
  // P1 + t·d1 with t = tn / d.
  int64_t tn = (p[4] - p[0]) * d2y - (p[5] - p[1]) * d2x;
  int64_t un = (p[4] - p[0]) * d1y - (p[5] - p[1]) * d1x;
  if (d < 0) {
    d = -d;
    tn = -tn;
    un = -un;
  }
  *numX = p[0] * d + tn * d1x;
  *numY = p[1] * d + tn * d1y;
  *den = d;
  return (tn >= 0 && tn <= d && un >= 0 && un <= d) ? 1 : 0;
}

}  // namespace

TEST(IntersectSegments, AgreesWithExactRationalReferenceOnIntegerSegments) {
  std::mt19937 rng(20261209);
  std::uniform_int_distribution<int> coord(-20, 20);
  int crossings = 0;
  for (int trial = 0; trial < 20000; ++trial) {
    int64_t p[8];
    for (auto& v : p) v = coord(rng);
    // Shares an end point now and then, so touching ends are exercised.
    if (trial % 7 == 0) {
      p[4] = p[2];
      p[5] = p[3];
    }
    int64_t nx = 0, ny = 0, den = 1;
    const int expected = ExactSegmentCrossing(p, &nx, &ny, &den);
    double x = 0, y = 0;
    const int got =
        IntersectSegments(p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], &x, &y, 1e-8, 1e-8);
    ASSERT_EQ(got, expected) << p[0] << "," << p[1] << " " << p[2] << "," << p[3] << " / " << p[4]
                             << "," << p[5] << " " << p[6] << "," << p[7];
    if (got) {
      ++crossings;
      EXPECT_NEAR(x, static_cast<double>(nx) / den, 1e-9);
      EXPECT_NEAR(y, static_cast<double>(ny) / den, 1e-9);
    }
  }
  EXPECT_GT(crossings, 1000);
}

TEST(Segments, RayFootReflectionAndOverlap) {
  double x = 0, y = 0;
  EXPECT_EQ(IntersectRayWithSegment(0, 0, 1, 0, 5, -1, 5, 1, &x, &y), 1);
  EXPECT_NEAR(x, 5, 1e-12);
  EXPECT_EQ(IntersectRayWithSegment(0, 0, -1, 0, 5, -1, 5, 1, &x, &y), 0);  // behind
  EXPECT_EQ(IntersectRayWithSegment(0, 0, 1, 0, 5, 1, 5, 2, &x, &y), 0);    // misses
  EXPECT_EQ(GetPerpendicularFootOffLine(0, 0, 2, 0, 1, 1, &x, &y), 1);
  EXPECT_NEAR(x, 1, 1e-12);
  EXPECT_EQ(GetPerpendicularFootOffLine(0, 0, 2, 0, 1, 0, &x, &y), 0);
  EXPECT_EQ(ReflectPoint(0, 0, 1, 0, 1, 1, &x, &y), 1);
  EXPECT_NEAR(x, 1, 1e-12);
  EXPECT_NEAR(y, -1, 1e-12);
  EXPECT_EQ(ReflectPoint(0, 0, 1, 0, 3, 0, &x, &y), 1);
  EXPECT_EQ(x, 3);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(ReflectPoint(0, 0, 0, 0, 3, 0, &x, &y), 0);
  double a = 0, b = 0, c = 0, d = 0;
  ASSERT_EQ(GetSegmentOverlap(0, 0, 2, 0, 1, 0, 3, 0, &a, &b, &c, &d), 1);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 0);
  EXPECT_EQ(c, 2);
  EXPECT_EQ(d, 0);
  // Touching at one end only: the collected points coincide.
  ASSERT_EQ(GetSegmentOverlap(0, 0, 2, 0, 2, 0, 3, 0, &a, &b, &c, &d), 1);
  EXPECT_EQ(a, 2);
  EXPECT_EQ(c, 2);
  EXPECT_EQ(GetSegmentOverlap(0, 0, 2, 0, 0, 1, 2, 1, &a, &b, &c, &d), 0);
}

TEST(Constructions, OffsetsBandsAndBoxesAroundASegment) {
  double o[4];
  ASSERT_EQ(OffsetSegment(0, 0, 4, 0, o, 1), 1);
  EXPECT_NEAR(o[0], 0, 1e-12);
  EXPECT_NEAR(o[1], 1, 1e-12);
  EXPECT_NEAR(o[2], 4, 1e-12);
  EXPECT_NEAR(o[3], 1, 1e-12);
  EXPECT_EQ(OffsetSegment(1, 1, 1, 1, o, 1), 0);
  int32_t io[4];
  ASSERT_EQ(OffsetSegmentInt(0, 0, 0, 10, io, 3), 1);
  EXPECT_EQ(io[0], -3);
  EXPECT_EQ(io[3], 10);
  double q[8];
  ASSERT_EQ(MakeBandToPoint(0, 0, 4, 0, 2, 3, q), 1);
  EXPECT_NEAR(q[4], 0, 1e-12);
  EXPECT_NEAR(q[5], 3, 1e-12);
  EXPECT_NEAR(q[6], 4, 1e-12);
  EXPECT_NEAR(q[7], 3, 1e-12);
  ASSERT_EQ(MakeRectAroundSegment(0, 0, 4, 0, 2, q), 1);
  const double rect[8] = {0, 1, 4, 1, 0, -1, 4, -1};
  for (int i = 0; i < 8; ++i) EXPECT_NEAR(q[i], rect[i], 1e-12) << i;
  EXPECT_EQ(MakeRectAroundSegment(0, 0, 4, 0, 0, q), 0);
  ASSERT_EQ(MakeBoxAroundSegment2(0, 0, 4, 0, 2, q), 1);
  const double box[8] = {0, -1, 0, 1, 4, -1, 4, 1};
  for (int i = 0; i < 8; ++i) EXPECT_NEAR(q[i], box[i], 1e-12) << i;
  double pair[4];
  ASSERT_EQ(MakeCrossPairAt(0, 0, 0, 4, 2, pair), 1);
  EXPECT_NEAR(pair[0], 1, 1e-12);
  EXPECT_NEAR(pair[2], -1, 1e-12);
  double ax = 0, ay = 0, bx = 0, by = 0;
  ASSERT_EQ(MakeCrossSegment(0, 0, 4, 0, 4, &ax, &ay, &bx, &by), 1);
  EXPECT_NEAR(ay, -2, 1e-12);
  EXPECT_NEAR(by, 2, 1e-12);
  ASSERT_EQ(GetCentredSubsegment(0, 0, 10, 0, 4, &ax, &ay, &bx, &by), 1);
  EXPECT_NEAR(ax, 3, 1e-12);
  EXPECT_NEAR(bx, 7, 1e-12);
  ASSERT_EQ(GetPointAlong(0, 0, 0, 10, 3, &ax, &ay), 1);
  EXPECT_NEAR(ay, 3, 1e-12);
  ASSERT_EQ(GetPointAtAngleFrom(0, 0, 2, 0, 90, 1, &ax, &ay), 1);
  EXPECT_NEAR(ax, 2, 1e-12);
  EXPECT_NEAR(ay, 1, 1e-12);
  ASSERT_EQ(GetMeanDistancePoint(0, 0, 3, 0, 0, 5, &ax, &ay), 1);
  EXPECT_NEAR(GetDistance(0, 0, ax, ay), 4, 1e-12);
  EXPECT_NEAR(ax, ay * 3 / 5, 1e-12);
  // The bisector of the corner (0,1)→(0,0)→(1,0) on the left of the path.
  ASSERT_EQ(GetBisectorPoint(0, 1, 0, 0, 1, 0, std::sqrt(2.0), &ax, &ay), 1);
  EXPECT_NEAR(std::fabs(ax), 1, 1e-12);
  EXPECT_NEAR(ax, ay, 1e-12);
  EXPECT_EQ(GetBisectorPoint(1, 0, 0, 0, 1, 0, 1, &ax, &ay), 0);
  double chord[4];
  ASSERT_EQ(GetChordInCorner(4, 0, 0, 0, 0, 4, 0, 0, 1, 1, chord), 1);
  EXPECT_NEAR(chord[0], 2, 1e-12);
  EXPECT_NEAR(chord[1], 0, 1e-12);
  EXPECT_NEAR(chord[2], 0, 1e-12);
  EXPECT_NEAR(chord[3], 2, 1e-12);
  EXPECT_EQ(GetChordInCorner(4, 0, 0, 0, 0, 4, 0, 0, 5, 5, chord), 0);
  ASSERT_EQ(GetOffsetCrossing(0, 0, 4, 0, 4, 4, 1, 0, &ax, &ay), 1);
  EXPECT_NEAR(ax, 4, 1e-12);
  EXPECT_NEAR(ay, 1, 1e-12);
  // The offset goes toward P3 whatever the sign of g.
  ASSERT_EQ(GetOffsetCrossing(0, 0, 4, 0, 4, 4, -1, 0, &ax, &ay), 1);
  EXPECT_NEAR(ay, 1, 1e-12);
}

TEST(ClipSegmentToRect, InsideCrossingAndOutside) {
  const double unit[4] = {0, 0, 1, 1};
  double a = 0, b = 0, c = 0, d = 0;
  EXPECT_EQ(ClipSegmentToRect(-1, 0.5, 2, 0.5, unit, &a, &b, &c, &d), 1);
  EXPECT_NEAR(a, 0, 1e-12);
  EXPECT_NEAR(b, 0.5, 1e-12);
  EXPECT_NEAR(c, 1, 1e-12);
  EXPECT_NEAR(d, 0.5, 1e-12);
  EXPECT_EQ(ClipSegmentToRect(-1, 2, 2, 2, unit, &a, &b, &c, &d), 0);
  EXPECT_EQ(a, -1);
  EXPECT_EQ(ClipSegmentToRect(0.2, 0.2, 0.8, 0.9, unit, &a, &b, &c, &d), 1);
  EXPECT_EQ(d, 0.9);
  EXPECT_EQ(ClipSegmentToRect(0.5, 0.5, 0.5, 3, unit, &a, &b, &c, &d), 1);
  EXPECT_NEAR(d, 1, 1e-12);
  // Passing by a corner outside: both ends move but nothing lies inside.
  EXPECT_EQ(ClipSegmentToRect(-1, 0.5, 0.5, 2, unit, &a, &b, &c, &d), 0);
}

TEST(QuadsAndTriangles, BordersOrderingAndSimilarity) {
  const double square[8] = {0, 0, 1, 0, 1, 1, 0, 1};
  EXPECT_EQ(IsPointInQuad(0.5, 0.5, square), 1);
  EXPECT_EQ(IsPointInQuad(0.5, 0, square), 0);
  EXPECT_EQ(IsPointInQuad(2, 0.5, square), 0);
  EXPECT_EQ(IsPointInTriangle(0.5, 0, 0, 0, 1, 0, 0, 1), 1);
  EXPECT_EQ(IsPointInTriangle(0.2, 0.2, 0, 0, 1, 0, 0, 1), 1);
  EXPECT_EQ(IsPointInTriangle(1, 1, 0, 0, 1, 0, 0, 1), 0);
  double q[8] = {0, 0, 1, 1, 1, 0, 0, 1};
  ASSERT_EQ(OrderQuad(q), 1);
  // Simple (the point order goes round the square) and clockwise.
  double area = 0;
  for (int i = 0; i < 4; ++i) {
    const int j = (i + 1) % 4;
    area += q[2 * i] * q[2 * j + 1] - q[2 * j] * q[2 * i + 1];
  }
  EXPECT_NEAR(area, -2, 1e-12);
  EXPECT_EQ(IsPointInQuad(0.5, 0.5, q), 1);
  double line[8] = {0, 0, 1, 0, 2, 0, 3, 0};
  EXPECT_EQ(OrderQuadCopy(line), 0);
  EXPECT_EQ(line[2], 1);
  int32_t iq[8] = {0, 0, 10, 10, 10, 0, 0, 10};
  ASSERT_EQ(OrderQuadInt(iq), 1);
  EXPECT_EQ(iq[2] + iq[4] + iq[6], 20);
  EXPECT_EQ(OrientQuad(nullptr), 0);
  const double t1[6] = {0, 0, 3, 0, 0, 4}, t2[6] = {1, 1, 1, 7, 9, 1}, t3[6] = {0, 0, 1, 0, 0, 1};
  EXPECT_EQ(AreTrianglesSimilar(t1, t2), 1);
  EXPECT_EQ(AreTrianglesSimilar(t1, t3), 0);
  const double flat[6] = {0, 0, 0, 0, 1, 1};
  EXPECT_EQ(AreTrianglesSimilar(flat, t1), 0);
}

TEST(ThreeDimensions, NormalsAndPlaneHeights) {
  double nx = 0, ny = 0, nz = 0;
  ASSERT_EQ(GetNormal3D(0, 0, 0, 2, 0, 0, 0, 2, 0, &nx, &ny, &nz), 1);
  EXPECT_EQ(nz, 4);
  ASSERT_EQ(GetUnitNormal3D(0, 0, 0, 2, 0, 0, 0, 2, 0, &nx, &ny, &nz), 1);
  EXPECT_EQ(nz, 1);
  EXPECT_EQ(GetUnitNormal3D(0, 0, 0, 1, 1, 1, 2, 2, 2, &nx, &ny, &nz), 0);
  double z = 0;
  ASSERT_EQ(GetPlaneZ(0, 0, 0, 1, 0, 0, 0, 1, 1, 0.5, 0.5, &z), 1);
  EXPECT_NEAR(z, 0.5, 1e-12);
  EXPECT_EQ(GetPlaneZ(0, 0, 0, 1, 0, 0, 0, 0, 1, 0.5, 0.5, &z), 0);
}
