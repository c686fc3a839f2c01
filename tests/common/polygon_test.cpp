#include "common/polygon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "common/geometry_lines.h"
#include "common/numeric.h"

namespace {

void Fill(CPolygon* p, const std::vector<std::pair<double, double>>& points) {
  ASSERT_EQ(p->Create(4, 8), 1);
  int16_t id = 1;
  for (const auto& v : points) ASSERT_EQ(p->AddPoint(id++, v.first, v.second), 1);
}

// Even-odd rule by a horizontal ray to the right.
bool EvenOddInside(const std::vector<std::pair<double, double>>& v, double x, double y) {
  bool inside = false;
  for (size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
    const double xi = v[i].first, yi = v[i].second, xj = v[j].first, yj = v[j].second;
    if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) inside = !inside;
  }
  return inside;
}

double DistanceToRing(const std::vector<std::pair<double, double>>& v, double x, double y) {
  double best = 1e300;
  for (size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
    double d = 0;
    GetDistanceToSegment(v[j].first, v[j].second, v[i].first, v[i].second, x, y, &d);
    best = std::fmin(best, d);
  }
  return best;
}

}  // namespace

TEST(CPolygon, AddingVerticesAndTheBox) {
  CPolygon p;
  ASSERT_EQ(p.Create(2, 128), 1);
  EXPECT_EQ(p.AddPoint(7, 3, 4), 1);
  // The same point again is not added and still succeeds (id not compared).
  EXPECT_EQ(p.AddPoint(8, 3, 4), 1);
  EXPECT_EQ(p.GetCount(), 1u);
  double box[4];
  EXPECT_EQ(p.GetBox(box), 0);  // fewer than 3 vertices; copied all the same
  EXPECT_EQ(box[0], 3);
  EXPECT_EQ(box[2], 3);
  double w = 9, h = 9;
  ASSERT_EQ(p.GetBoxSize(&w, &h), 1);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(p.AddVertex(2, 3, 4, 1), 1);  // differs in z
  EXPECT_EQ(p.AddPoint(3, -1, 9), 1);
  EXPECT_EQ(p.GetCount(), 3u);
  ASSERT_EQ(p.GetBox(box), 1);
  EXPECT_EQ(box[0], -1);
  EXPECT_EQ(box[3], 9);
  int16_t id = 0;
  double x = 0, y = 0, z = 0;
  ASSERT_EQ(p.GetVertex3D(2, &id, &x, &y, &z), 1);
  EXPECT_EQ(id, 2);
  EXPECT_EQ(z, 1);
  // Overwriting leaves the box alone until it is rebuilt.
  ASSERT_EQ(p.SetVertex(3, 5, 100, 100), 1);
  p.GetBox(box);
  EXPECT_EQ(box[2], 3);
  ASSERT_EQ(p.RecomputeBox(), 1);
  p.GetBox(box);
  EXPECT_EQ(box[2], 100);
  EXPECT_EQ(p.GetVertex(999, &id, &x, &y), 0);
  p.Free();
  EXPECT_EQ(p.GetCount(), 0u);
  EXPECT_EQ(p.RecomputeBox(), 0);
}

TEST(CPolygon, AreaSignAndClosingRepeat) {
  CPolygon ccw, cw, closed, two;
  Fill(&ccw, {{0, 0}, {1, 0}, {1, 1}, {0, 1}});
  Fill(&cw, {{0, 0}, {0, 1}, {1, 1}, {1, 0}});
  Fill(&closed, {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}});
  Fill(&two, {{0, 0}, {1, 0}});
  double a = 0;
  ASSERT_EQ(ccw.GetArea(&a), 1);
  EXPECT_DOUBLE_EQ(a, -1);
  ASSERT_EQ(cw.GetArea(&a), 1);
  EXPECT_DOUBLE_EQ(a, 1);
  ASSERT_EQ(closed.GetArea(&a), 1);
  EXPECT_DOUBLE_EQ(a, -1);
  EXPECT_EQ(two.GetArea(&a), 0);
  EXPECT_EQ(two.ContainsPoint(0.5, 0), 0);
  CPolygon far;
  ASSERT_EQ(far.Create(4, 4), 1);
  far.AddVertex(1, 0, 0, 2);
  far.AddVertex(2, 2, 0, 2);
  far.AddVertex(3, 2, 2, 2);
  far.AddVertex(4, 0, 2, 2);
  ASSERT_EQ(far.GetProjectedArea(&a, 1), 1);
  EXPECT_DOUBLE_EQ(a, -1);
  far.AddVertex(5, 0, 1, 0);
  EXPECT_EQ(far.GetProjectedArea(&a, 1), 0);
}

TEST(CPolygon, ContainsPointByWindingAngles) {
  CPolygon sq;
  Fill(&sq, {{0, 0}, {4, 0}, {4, 4}, {0, 4}});
  EXPECT_EQ(sq.ContainsPoint(2, 2), 1);
  EXPECT_EQ(sq.ContainsPoint(5, 2), 0);
  EXPECT_EQ(sq.ContainsPoint(2, -0.001), 0);
  // On a vertex the two edges meeting there add nothing: the other two
  // edges subtend π/2 only, so the corner is outside.
  EXPECT_EQ(sq.ContainsPoint(0, 0), 0);
  // On an edge that edge subtends -π (the range is half-open), so the
  // result follows the ring's orientation: the other edges of the
  // counterclockwise ring add +π (sum 0, outside), those of the clockwise
  // ring -π (sum -2π, inside).
  CPolygon cw;
  Fill(&cw, {{0, 0}, {0, 4}, {4, 4}, {4, 0}});
  EXPECT_EQ(sq.ContainsPoint(2, 0), 0);
  EXPECT_EQ(cw.ContainsPoint(2, 0), 1);
}

TEST(CPolygon, ContainsPointAgreesWithEvenOddOnRandomSimplePolygons) {
  std::mt19937 rng(1209);
  std::uniform_real_distribution<double> unit(0, 1);
  int inside = 0, outside = 0;
  for (int trial = 0; trial < 300; ++trial) {
    // A star-shaped ring: sorted angles, random radii (simple by
    // construction), in either orientation, closed or open.
    const int n = 3 + static_cast<int>(unit(rng) * 12);
    std::vector<double> angles;
    for (int i = 0; i < n; ++i) angles.push_back(unit(rng) * 2 * kPi);
    std::sort(angles.begin(), angles.end());
    std::vector<std::pair<double, double>> ring;
    const double cx = unit(rng) * 100 - 50, cy = unit(rng) * 100 - 50;
    for (double a : angles) {
      const double r = 1 + unit(rng) * 20;
      ring.emplace_back(cx + r * std::cos(a), cy + r * std::sin(a));
    }
    if (trial % 2) std::reverse(ring.begin(), ring.end());
    std::vector<std::pair<double, double>> stored = ring;
    if (trial % 3 == 0) stored.push_back(ring.front());
    CPolygon p;
    Fill(&p, stored);
    for (int k = 0; k < 60; ++k) {
      const double x = cx + unit(rng) * 50 - 25, y = cy + unit(rng) * 50 - 25;
      if (DistanceToRing(ring, x, y) < 1e-6) continue;
      const bool expected = EvenOddInside(ring, x, y);
      ASSERT_EQ(p.ContainsPoint(x, y), expected ? 1 : 0) << trial << " " << x << "," << y;
      (expected ? inside : outside)++;
    }
  }
  EXPECT_GT(inside, 1000);
  EXPECT_GT(outside, 1000);
}

TEST(CPolygon, BoundarySegmentsAndCrossings) {
  CPolygon sq;
  Fill(&sq, {{0, 0}, {4, 0}, {4, 4}, {0, 4}});
  EXPECT_EQ(sq.IsPointOnBoundary(2, 0.001, 0.01), 1);
  EXPECT_EQ(sq.IsPointOnBoundary(2, 2, 0.01), 0);
  // The closing edge (0,4)→(0,0) is not tested.
  EXPECT_EQ(sq.IsPointOnBoundary(0, 2, 0.01), 0);
  EXPECT_EQ(sq.IsSegmentOnBoundary(1, 0, 3, 0, 1e-8), 1);
  EXPECT_EQ(sq.IsSegmentOnBoundary(1, 0, 4, 1, 1e-8), 0);  // two different edges
  EXPECT_EQ(sq.CrossesSegment(2, 2, 2, 6), 1);
  EXPECT_EQ(sq.CrossesSegment(1, 1, 2, 2), 0);
  double x = 0, y = 0, d = 0;
  ASSERT_EQ(sq.FindBoundaryCrossing(2, 2, 2, 3, &x, &y, &d), 1);
  EXPECT_NEAR(x, 2, 1e-12);
  EXPECT_NEAR(y, 4, 1e-12);
  EXPECT_NEAR(d, 1, 1e-12);
  ASSERT_EQ(sq.FindBoundaryCrossing(2, 2, 4, 2, &x, &y, &d), 1);
  EXPECT_EQ(d, 0);
  EXPECT_EQ(sq.FindBoundaryCrossing(2, 2, 1, 2, &x, &y, &d),
            0);  // only the closing edge lies there
}

TEST(CPolygon, InnerPointOfTriangleAndThinL) {
  CPolygon tri;
  Fill(&tri, {{0, 0}, {6, 0}, {0, 6}, {0, 0}});
  double x = 0, y = 0;
  ASSERT_EQ(tri.GetInnerPoint(&x, &y), 1);
  EXPECT_NEAR(x, 2, 1e-12);
  EXPECT_NEAR(y, 2, 1e-12);
  CPolygon ell;
  Fill(&ell, {{0, 0}, {10, 0}, {10, 1}, {1, 1}, {1, 10}, {0, 10}, {0, 0}});
  ASSERT_EQ(ell.GetInnerPoint(&x, &y), 1);
  EXPECT_EQ(ell.ContainsPoint(x, y), 1);
  EXPECT_FALSE(std::fabs(x - 5) < 1 && std::fabs(y - 5) < 1);
  CPolygon two;
  Fill(&two, {{0, 0}, {1, 1}});
  EXPECT_EQ(two.GetInnerPoint(&x, &y), 0);
}

TEST(CPolygon, SimplicityAndShapeMeasures) {
  CPolygon bow, convex;
  Fill(&bow, {{0, 0}, {2, 2}, {2, 0}, {0, 2}, {0, 0}});
  Fill(&convex, {{0, 0}, {3, 0}, {4, 2}, {1, 3}, {0, 0}});
  EXPECT_EQ(bow.IsSimple(), 0);
  EXPECT_EQ(convex.IsSimple(), 1);
  CPolygon rect;
  Fill(&rect, {{0, 0}, {10, 0}, {10, 2}, {0, 2}, {0, 0}});
  double angle = 0, length = 0, width = 0, ratio = 0;
  ASSERT_EQ(rect.FindMajorAxisAngle(&angle), 1);
  EXPECT_NEAR(angle, 11.31, 1e-9);
  ASSERT_EQ(rect.GetMajorAxisExtent(&length, &width), 1);
  EXPECT_NEAR(length, 10.198, 1e-3);
  EXPECT_NEAR(width, 3.922, 1e-3);
  ASSERT_EQ(rect.GetAspectRatio(&ratio), 1);
  EXPECT_NEAR(ratio, 2.6, 0.01);
  double perimeter = 0, index = 0;
  ASSERT_EQ(rect.GetLength(&perimeter), 1);
  EXPECT_DOUBLE_EQ(perimeter, 24);
  ASSERT_EQ(rect.GetCompactnessIndex(&index), 1);
  EXPECT_NEAR(index, 24.0 * 24 / 20 * kPi / 4, 1e-9);
  ASSERT_EQ(rect.GetElongationIndex(&index), 1);
  EXPECT_NEAR(index, length * length / 20 * kPi / 4, 1e-9);
  ASSERT_EQ(rect.GetRotatedExtent(90, &width, &length), 1);
  EXPECT_NEAR(width, 2, 1e-12);
  EXPECT_NEAR(length, 10, 1e-12);
  CPolygon open;
  Fill(&open, {{0, 0}, {1, 0}, {1, 1}});
  EXPECT_EQ(open.GetLength(&perimeter), 0);  // 4 or more vertices
  EXPECT_EQ(open.GetRotatedExtent(0, &width, &length), 0);
}

TEST(CPolygon, NormalPlaneAndZRange) {
  CPolygon p;
  ASSERT_EQ(p.Create(4, 4), 1);
  p.AddVertex(1, 0, 0, 1);
  p.AddVertex(2, 1, 0, 1);
  p.AddVertex(3, 2, 0, 1);  // collinear with the first two: skipped
  p.AddVertex(4, 2, 2, 3);
  double nx = 0, ny = 0, nz = 0;
  ASSERT_EQ(p.GetNormal(&nx, &ny, &nz), 1);
  EXPECT_NEAR(nx, 0, 1e-12);
  EXPECT_NEAR(std::fabs(ny), std::sqrt(0.5), 1e-12);
  EXPECT_NEAR(std::fabs(nz), std::sqrt(0.5), 1e-12);
  double plane[6];
  ASSERT_EQ(p.GetPlane(plane), 1);
  EXPECT_EQ(plane[5], 1);
  double lo = 0, hi = 0;
  ASSERT_EQ(p.GetZRange(&lo, &hi), 1);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(hi, 3);
}

TEST(CIntPolygon, BoxMeanAreaAndContainment) {
  CIntPolygon p;
  ASSERT_EQ(p.Create(2, 2), 1);
  for (auto [x, y] : {std::pair{0, 0}, {2, 0}, {2, 0}, {2, 2}, {0, 2}, {0, 0}})
    ASSERT_EQ(p.AddVertex(x, y), 1);
  EXPECT_EQ(p.GetCount(), 5u);
  double mx = 0, my = 0;
  ASSERT_EQ(p.GetMeanPoint(&mx, &my), 1);
  EXPECT_EQ(mx, 1);
  EXPECT_EQ(my, 1);
  ASSERT_EQ(p.GetBoxCenter(&mx, &my), 1);
  EXPECT_EQ(mx, 1);
  int32_t box[4];
  ASSERT_EQ(p.GetBox(box), 1);
  EXPECT_EQ(box[2], 2);
  const int32_t* buffer = p.GetBuffer();
  EXPECT_EQ(buffer[2], 2);  // x of vertex 2
  double area = 0;
  ASSERT_EQ(p.GetArea(&area), 1);
  EXPECT_EQ(area, -4);
  EXPECT_EQ(p.ContainsPoint(1, 1), 1);
  EXPECT_EQ(p.ContainsPoint(3, 1), 0);
  EXPECT_EQ(p.IsPointOnBoundary(1, 0, 1e-8), 1);
  EXPECT_EQ(p.IsPointOnBoundary(1, 1, 1e-8), 0);
  ASSERT_EQ(p.SetVertex(3, 5, 5), 1);
  int32_t a = 0, b = 0, c = 0, d = 0;
  ASSERT_EQ(p.ComputeBox(&a, &b, &c, &d), 1);
  EXPECT_EQ(c, 5);
  CIntPolygon small;
  ASSERT_EQ(small.Create(2, 2), 1);
  small.AddVertex(0, 0);
  small.AddVertex(1, 1);
  EXPECT_EQ(small.ComputeBox(&a, &b, &c, &d), 0);
  EXPECT_EQ(small.GetMeanPoint(&mx, &my), 0);
  EXPECT_EQ(small.ContainsPoint(0, 0), 0);
}
