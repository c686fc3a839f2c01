#include "common/geometry_transforms.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

void ExpectMaps(const TransformCoefficients& k, PlanePoint from, PlanePoint to, double tol) {
  double x = 0, y = 0;
  ASSERT_EQ(ApplyTransform(from.x, from.y, &x, &y, &k), 1);
  EXPECT_NEAR(x, to.x, tol) << from.x << "," << from.y;
  EXPECT_NEAR(y, to.y, tol) << from.x << "," << from.y;
}

}  // namespace

TEST(Solving, TwoByTwoPlaneAndSingularSystems) {
  double x = 0, y = 0;
  // x + y = 3, x - y = 1.
  ASSERT_EQ(Solve2x2(3, 1, 1, 1, 1, -1, &x, &y), 1);
  EXPECT_NEAR(x, 2, 1e-15);
  EXPECT_NEAR(y, 1, 1e-15);
  EXPECT_EQ(Solve2x2(3, 1, 1, 1, 2, 2, &x, &y), 0);
  double p = 0, q = 0, r = 0;
  ASSERT_EQ(SolvePlaneCoefficients(1, 3, 4, 0, 0, 1, 0, 0, 1, &p, &q, &r), 1);
  EXPECT_NEAR(p, 2, 1e-15);
  EXPECT_NEAR(q, 3, 1e-15);
  EXPECT_NEAR(r, 1, 1e-15);
  EXPECT_EQ(SolvePlaneCoefficients(1, 2, 3, 0, 0, 1, 1, 2, 2, &p, &q, &r), 0);
  // t = x·y + 1 at the unit square: point 1 at the origin makes w zero for
  // no point, but pivoting is still needed when V1 has x·y equal to another.
  const PlanePoint v[4] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
  const double t[4] = {1, 1, 1, 2};
  double c = 0, d = 0;
  EXPECT_EQ(SolveBilinearCoefficients(t, v, &p, &q, &c, &d), 0);
  ASSERT_EQ(SolveBilinearCoefficientsAnyPivot(t, v, &p, &q, &c, &d), 1);
  EXPECT_NEAR(p, 0, 1e-12);
  EXPECT_NEAR(q, 0, 1e-12);
  EXPECT_NEAR(c, 1, 1e-12);
  EXPECT_NEAR(d, 1, 1e-12);
}

TEST(Transforms, AffineFitAndBilinearOfAnAffineSet) {
  const PlanePoint s[4] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
  const PlanePoint t[4] = {{10, 10}, {12, 10}, {10, 13}, {12, 13}};
  TransformCoefficients k{};
  ASSERT_EQ(MakeAffineTransform(t, s, &k), 1);
  EXPECT_NEAR(k.ax, 2, 1e-12);
  EXPECT_NEAR(k.by, 3, 1e-12);
  EXPECT_NEAR(k.dx, 10, 1e-12);
  EXPECT_NEAR(k.dy, 10, 1e-12);
  EXPECT_NEAR(k.bx, 0, 1e-12);
  EXPECT_NEAR(k.ay, 0, 1e-12);
  EXPECT_EQ(k.cx, 0);
  EXPECT_EQ(k.cy, 0);
  TransformCoefficients b{};
  ASSERT_EQ(MakeBilinearTransform(t, s, &b), 1);
  EXPECT_EQ(b.cx, 0);
  EXPECT_EQ(b.cy, 0);
  EXPECT_NEAR(b.ax, 2, 1e-12);
  const PlanePoint line[3] = {{0, 0}, {1, 1}, {2, 2}};
  EXPECT_EQ(MakeAffineTransform(t, line, &k), 0);
  EXPECT_EQ(ApplyTransform(0, 0, nullptr, nullptr, nullptr), 0);
}

TEST(Transforms, BilinearFitReproducesItsFourPairs) {
  std::mt19937 rng(41);
  // Sources within a few hundred units of the origin: the fit works on
  // products x·y, so far-off coordinates lose the last digits.
  std::uniform_real_distribution<double> jitter(-20, 20), coord(-100, 100);
  int fitted = 0;
  for (int trial = 0; trial < 2000; ++trial) {
    // A rough quadrilateral in source and target, each corner jittered.
    const double base[4][2] = {{0, 0}, {100, 0}, {100, 100}, {0, 100}};
    PlanePoint s[4], t[4];
    const double ox = coord(rng), oy = coord(rng);
    for (int i = 0; i < 4; ++i) {
      s[i] = {ox + base[i][0] + jitter(rng), oy + base[i][1] + jitter(rng)};
      t[i] = {base[i][0] * 2 + jitter(rng), base[i][1] * 3 + jitter(rng)};
    }
    TransformCoefficients k{};
    if (!MakeBilinearTransform(t, s, &k)) continue;
    ++fitted;
    for (int i = 0; i < 4; ++i) ExpectMaps(k, s[i], t[i], 1e-8);
    if (HasFailure()) break;
  }
  EXPECT_GT(fitted, 1900);
  // A set no affine map fits: the x·y terms carry the difference.
  const PlanePoint s4[4] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
  const PlanePoint t4[4] = {{0, 0}, {2, 0}, {0, 2}, {3, 3}};
  TransformCoefficients k{};
  ASSERT_EQ(MakeBilinearTransformAnyOrder(t4, s4, &k), 1);
  for (int i = 0; i < 4; ++i) ExpectMaps(k, s4[i], t4[i], 1e-8);
}

TEST(Transforms, RectRotationScaleSimilarityAndStretch) {
  TransformCoefficients k{};
  ASSERT_EQ(MakeRectTransform(0, 0, 640, 480, 100, 200, 164, 248, &k), 1);
  ExpectMaps(k, {100, 248}, {0, 0}, 1e-9);
  ExpectMaps(k, {132, 224}, {320, 240}, 1e-9);
  ExpectMaps(k, {164, 200}, {640, 480}, 1e-9);
  ASSERT_EQ(MakeRotationTransformByAngle({1, 1}, 90, &k), 1);
  ExpectMaps(k, {2, 1}, {1, 2}, 1e-9);
  ExpectMaps(k, {1, 1}, {1, 1}, 1e-9);
  ASSERT_EQ(MakeRotationTransform({0, 0}, {1, 0}, {0, 5}, &k), 1);
  ExpectMaps(k, {3, 0}, {0, 3}, 1e-12);
  EXPECT_EQ(MakeRotationTransform({0, 0}, {0, 0}, {0, 5}, &k), 0);
  ASSERT_EQ(MakeScaleTransform({1, 1}, {3, 1}, {1, 7}, &k), 1);
  ExpectMaps(k, {2, 2}, {4, 4}, 1e-12);
  EXPECT_EQ(MakeScaleTransform({1, 1}, {1, 1}, {1, 7}, &k), 0);
  ASSERT_EQ(MakeSimilarityTransform({0, 0}, {1, 0}, {0, 2}, &k), 1);
  ExpectMaps(k, {1, 0}, {0, 2}, 1e-12);
  ExpectMaps(k, {0, 1}, {-2, 0}, 1e-12);
  ASSERT_EQ(MakeSimilarityTransformByAngle({0, 0}, 90, 2, &k), 1);
  ExpectMaps(k, {1, 0}, {0, 2}, 1e-9);
  ASSERT_EQ(MakeTransformFromSegments({5, 5}, {5, 7}, {0, 0}, {1, 0}, &k), 1);
  ExpectMaps(k, {0, 0}, {5, 5}, 1e-12);
  ExpectMaps(k, {1, 0}, {5, 7}, 1e-12);
  ExpectMaps(k, {0, 1}, {3, 5}, 1e-12);
  // Keep the x axis, take y = 1 onto y = 3.
  ASSERT_EQ(MakeStretchTransform({0, 0}, {4, 0}, {7, 1}, {-2, 3}, &k), 1);
  ExpectMaps(k, {9, 0}, {9, 0}, 1e-12);
  ExpectMaps(k, {2, 1}, {2, 3}, 1e-12);
  EXPECT_EQ(MakeStretchTransform({0, 0}, {4, 0}, {7, 0}, {-2, 3}, &k), 0);
}

TEST(Curves, WeightsSumToOneAndEndPoints) {
  for (double t = -0.5; t <= 1.5; t += 0.125) {
    double w[4];
    for (auto fill : {GetBezierWeights, GetLagrangeWeights, GetBSplineWeights}) {
      fill(t, w);
      EXPECT_NEAR(w[0] + w[1] + w[2] + w[3], 1, 1e-12) << t;
    }
  }
  const PlanePoint p[4] = {{0, 0}, {3, 6}, {9, 3}, {12, 0}};
  double x = 0, y = 0;
  GetBezierPoint(p, 0, &x, &y);
  EXPECT_EQ(x, 0);
  GetBezierPoint(p, 1, &x, &y);
  EXPECT_NEAR(x, 12, 1e-12);
  GetLagrangePoint(p, 0, &x, &y);
  EXPECT_NEAR(x, 3, 1e-12);
  EXPECT_NEAR(y, 6, 1e-12);
  GetBSplinePoint(p, 0, &x, &y);
  EXPECT_NEAR(x, (0 + 4 * 3 + 9) / 6.0, 1e-12);
  EXPECT_NEAR(y, (0 + 4 * 6 + 3) / 6.0, 1e-12);
  EXPECT_EQ(GetHermiteWeight(0, 0), 1);
  EXPECT_EQ(GetHermiteWeight(1, 1), 1);
  EXPECT_EQ(GetHermiteWeight(7, 0.5), 0);
  EXPECT_NEAR(GetSlopeAngle(1, 1), kPi / 4, 1e-12);
  EXPECT_NEAR(GetSlopeAngle(1, -1), 3 * kPi / 4, 1e-12);
  EXPECT_NEAR(GetSlopeAngle(1, 0), std::atan(100.0), 1e-12);
  PlanePoint curve[5];
  ASSERT_EQ(MakeHermiteCurve(p, 4, curve), 1);
  EXPECT_NEAR(curve[0].x, 3, 1e-12);
  EXPECT_NEAR(curve[4].x, 9, 1e-12);
  EXPECT_NEAR(curve[4].y, 3, 1e-12);
  EXPECT_EQ(MakeHermiteCurve(p, 0, curve), 0);
}

TEST(Curves, BSplineBasisAndBezierStep) {
  const double knots[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  double v[4];
  ASSERT_EQ(GetBSplineBasis(1, 2.5, 2, knots, v), 1);
  EXPECT_EQ(v[0], 1);
  for (int k = 2; k <= 4; ++k) {
    ASSERT_EQ(GetBSplineBasis(k, 4.3, 4, knots, v), 1);
    double sum = 0;
    for (int i = 0; i < k; ++i) sum += v[i];
    EXPECT_NEAR(sum, 1, 1e-12) << k;
  }
  ASSERT_EQ(GetBSplineBasis(2, 1.5, 1, knots, v), 1);
  EXPECT_NEAR(v[0], 0.5, 1e-12);
  EXPECT_NEAR(v[1], 0.5, 1e-12);
  EXPECT_EQ(GetBSplineBasis(0, 1.5, 1, knots, v), 0);
  EXPECT_EQ(GetBSplineBasis(4, 1.5, 1, knots, v), 0);  // would read before the knots
  const PlanePoint line[4] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}};
  double step = 0;
  ASSERT_EQ(FindBezierStep(line, 10, 1.01, &step), 1);
  EXPECT_NEAR(step, 1.0 / 3, 1e-12);
  ASSERT_EQ(FindBezierStep(line, 2, 0.1, &step), 1);
  EXPECT_NEAR(step, 1.0 / 3, 1e-12);
  EXPECT_EQ(FindBezierStep(line, 0, 1.0, &step), 0);
}

TEST(Corners, EnvelopeStepsAndHandles) {
  PlanePoint env[3];
  ASSERT_EQ(MakeCornerEnvelope({0, 4}, {0, 0}, {4, 0}, 3, env), 1);
  for (const PlanePoint& e : env) {
    EXPECT_GT(e.x, 0);
    EXPECT_GT(e.y, 0);
    EXPECT_LT(e.x + e.y, 4);
  }
  EXPECT_EQ(MakeCornerEnvelope({0, 4}, {0, 4}, {4, 0}, 3, env), 0);
  EXPECT_EQ(MakeCornerEnvelope({0, 4}, {0, 0}, {4, 0}, 0, env), 0);
  const int n = CountEnvelopeSteps({0, 4}, {0, 0}, {4, 0}, 0.5);
  EXPECT_GT(n, 1);
  EXPECT_LT(n, 1000);
  EXPECT_EQ(CountEnvelopeSteps({0, 4}, {0, 0}, {4, 0}, 0), 1000);
  PlanePoint a{}, b{};
  ASSERT_EQ(GetCornerHandles({-4, 0}, {0, 2}, {4, 0}, &a, &b), 1);
  // Symmetric corner: handles level with P2, on either side.
  EXPECT_NEAR(a.y, 2, 1e-12);
  EXPECT_NEAR(b.y, 2, 1e-12);
  EXPECT_LT(a.x, 0);
  EXPECT_GT(b.x, 0);
  EXPECT_NEAR(a.x, -b.x, 1e-12);
  EXPECT_EQ(GetCornerHandles({-4, 0}, {0, 0}, {-4, 0}, &a, &b), 0);
}

TEST(Tables, SinCosLabelAndSlope) {
  int32_t s[4], c[4];
  ASSERT_EQ(MakeCircleTables(s, c, 4, 100), 1);
  EXPECT_EQ(s[0], 0);
  EXPECT_EQ(s[1], 100);
  EXPECT_EQ(s[2], 0);
  EXPECT_EQ(s[3], -100);
  EXPECT_EQ(c[0], 100);
  EXPECT_EQ(c[2], -100);
  EXPECT_EQ(MakeSinTable(s, 0, 100), 0);
  EXPECT_EQ(MakeCosTable(nullptr, 4, 100), 0);
  EXPECT_EQ(MakeCircleTable(s, 4, 1e12, 0), 0);
  double x = 0, y = 0, angle = 9;
  ASSERT_EQ(GetLabelPosition(2, 0, 0, 0, 0, 1, &x, &y, &angle), 1);
  EXPECT_NEAR(x, 1, 1e-12);
  EXPECT_NEAR(y, 1, 1e-12);
  EXPECT_NEAR(angle, 0, 1e-12);
  EXPECT_EQ(GetLabelPosition(1, 1, 1, 1, 0, 1, &x, &y, &angle), 0);
  const double p1[3] = {0, 0, 0}, p2[3] = {2, 0, 0}, p3[3] = {0, 2, 2};
  double deg = 0;
  ASSERT_EQ(GetSteepestSlope(p1, p2, p3, &deg), 1);
  // From P3 to the middle of P1P2: rise 2 over sqrt(5).
  EXPECT_NEAR(deg, RadToDeg(std::atan(2 / std::sqrt(5.0))), 1e-12);
  // A vertex on the middle of the opposite side has no run.
  const double q[3] = {1, 0, 5};
  EXPECT_EQ(GetSteepestSlope(p1, q, p2, &deg), 0);
}
