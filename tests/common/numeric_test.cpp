#include "common/numeric.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <set>
#include <vector>

#include "common/geometry_lines.h"

TEST(ScalarHelpers, SignsAndDifferencesOfWideIntegers) {
  EXPECT_EQ(GetSign(0.0), 0);
  EXPECT_EQ(GetSign(-0.5), -1);
  EXPECT_EQ(GetSignInt2(-7), -1);
  EXPECT_EQ(AreValuesNear(1.0, 1.05, 0.1), 1);
  EXPECT_EQ(AreValuesNear(1.0, 1.2, 0.1), 0);
  EXPECT_EQ(Min4(4, 3, 2, 5), 2);
  EXPECT_EQ(Max3(1, 9, 3), 9);
  // The integer forms convert before subtracting, so nothing overflows.
  EXPECT_EQ(GetAbsDiffInt(INT32_MIN, INT32_MAX), 4294967295.0);
  EXPECT_EQ(GetAbsDiffUInt(0, 4294967295u), 4294967295.0);
  EXPECT_EQ(GetAbsDiffShort(-32768, 32767), 65535.0);
  EXPECT_DOUBLE_EQ(DegToRad(180), kPi);
  EXPECT_DOUBLE_EQ(RadToDeg(kPi / 2), 90);
}

TEST(NormalizeDegrees, IntoZeroTo360) {
  EXPECT_DOUBLE_EQ(NormalizeDegrees(-30), 330);
  EXPECT_DOUBLE_EQ(NormalizeDegrees(720), 0);
  EXPECT_DOUBLE_EQ(NormalizeDegrees(365), 5);
  EXPECT_DOUBLE_EQ(NormalizeDegrees(-720), 0);
  EXPECT_DOUBLE_EQ(NormalizeDegrees(359.5), 359.5);
}

TEST(NormalizeDegrees, EndsForHugeValues) {
  for (double x : {1e17, -1e17, 1e300, -1e300}) {
    const double r = NormalizeDegrees(x);
    EXPECT_GE(r, 0.0) << x;
    EXPECT_LT(r, 360.0) << x;
  }
}

TEST(GetRandom01, StaysInHalfOpenUnitRange) {
  SeedRandom();
  std::set<double> seen;
  for (int i = 0; i < 100000; ++i) {
    const double r = GetRandom01();
    ASSERT_GE(r, 0.0);
    ASSERT_LT(r, 1.0);
    // 15 bits: every value is a multiple of 1/32768.
    ASSERT_EQ(r * 32768.0, std::floor(r * 32768.0));
    seen.insert(r);
  }
  EXPECT_GT(seen.size(), 30000u);
}

TEST(Clamping, AllTypesAndRanges) {
  double d = 5;
  ClampDouble(&d, 3, 1);
  EXPECT_EQ(d, 3);
  d = -1;
  ClampDouble(&d, 1, 3);
  EXPECT_EQ(d, 1);
  float f = 2;
  ClampFloat(&f, 1, 3);
  EXPECT_EQ(f, 2);
  int32_t i = 300;
  ClampToRange(&i, 0, 255);
  EXPECT_EQ(i, 255);
  int16_t s = -32768;
  ClampShort(&s, -5, 5);
  EXPECT_EQ(s, -5);
  s = 9;
  ClampShort(&s, 5, -5);
  EXPECT_EQ(s, 5);

  double lo = 0, hi = 2;
  EXPECT_EQ(IntersectRanges(&lo, &hi, 3, 4), 0);
  EXPECT_EQ(IntersectRanges(&lo, &hi, 5, 1), 1);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(hi, 2);
  lo = 2;
  hi = 0;
  EXPECT_EQ(IntersectRanges(&lo, &hi, 2, 3), 1);  // touching
  EXPECT_EQ(lo, 2);
  EXPECT_EQ(hi, 2);
  int32_t il = 10, ih = 0;
  EXPECT_EQ(IntersectRangesInt(&il, &ih, 5, 20), 1);
  EXPECT_EQ(il, 5);
  EXPECT_EQ(ih, 10);
  EXPECT_EQ(IntersectRangesInt(&il, &ih, 11, 20), 0);
}

TEST(Rounding, HalfAwayTruncateDecimalsAndMultiples) {
  EXPECT_EQ(RoundHalfAwayFromZero(2.5), 3);
  EXPECT_EQ(RoundHalfAwayFromZero(-2.5), -3);
  EXPECT_EQ(RoundHalfAwayFromZero2(2.4), 2);
  EXPECT_EQ(RoundHalfAwayFromZero(1e300), 1e300);
  EXPECT_TRUE(std::isnan(RoundHalfAwayFromZero(NAN)));
  EXPECT_EQ(TruncateToInteger(-2.7), -2);
  EXPECT_EQ(TruncateToInteger2(2.7), 2);
  EXPECT_EQ(TruncateToInteger(-1e300), -1e300);
  EXPECT_DOUBLE_EQ(RoundToDecimals(1.0046, 2), 1.01);
  EXPECT_DOUBLE_EQ(RoundToDecimals(1.0044, 2), 1.0);
  EXPECT_DOUBLE_EQ(RoundToDecimals(2.5, 0), 3.0);
  EXPECT_DOUBLE_EQ(RoundToMultiple(7, 5), 5);
  EXPECT_DOUBLE_EQ(RoundToMultiple(8, 5), 10);
  EXPECT_DOUBLE_EQ(RoundToMultiple(-8, 5), -10);
}

TEST(Digits, DigitAtSplitsAndCounts) {
  EXPECT_EQ(GetDigitAt(-123, 10), -2);
  EXPECT_EQ(GetDigitAt(4567, 100), 5);
  EXPECT_EQ(GetDigitAt(4567, 0), 0);
  EXPECT_EQ(GetDigitAtShort(static_cast<int16_t>(-123), 1), -3);
  using Digits = std::vector<int>;
  int32_t th = 0, h = 0, t = 0, o = 0;
  SplitDigits4(4567, &th, &h, &t, &o);
  EXPECT_EQ((Digits{th, h, t, o}), (Digits{4, 5, 6, 7}));
  SplitDigits3(89, &h, &t, &o);
  EXPECT_EQ((Digits{h, t, o}), (Digits{0, 8, 9}));
  SplitDigits2(12345, &t, &o);
  EXPECT_EQ((Digits{t, o}), (Digits{4, 5}));
  int16_t sth = 0, sh = 0, st = 0, so = 0;
  SplitDigits4Short(1234, &sth, &sh, &st, &so);
  EXPECT_EQ((Digits{sth, sh, st, so}), (Digits{1, 2, 3, 4}));
  SplitDigits3Short(987, &sh, &st, &so);
  EXPECT_EQ((Digits{sh, st, so}), (Digits{9, 8, 7}));
  SplitDigits2Short(-42, &st, &so);
  EXPECT_EQ((Digits{st, so}), (Digits{-4, -2}));

  EXPECT_EQ(CountDigits(0), 1);
  EXPECT_EQ(CountDigits(1000), 4);
  EXPECT_EQ(CountDigits(4294967295u), 10);
  EXPECT_EQ(CountDigitsInt(-999), 3);
  EXPECT_EQ(CountDigitsInt(INT32_MIN), 10);
  EXPECT_EQ(CountDigitsUShort(65535), 5);

  EXPECT_EQ(SumByteDifferences("abc", "abd", 3, 10, -1), 1);
  EXPECT_EQ(SumByteDifferences("\x01", "\xff", 1, 1000, -1), 254);
  EXPECT_EQ(SumByteDifferences("az", "za", 2, 30, -1), -1);
  EXPECT_EQ(SumByteDifferences("a", "b", 0, 10, -1), 0);
}

TEST(Solvers, LinearAndQuadratic) {
  double x = 0, x1 = 0, x2 = 0;
  EXPECT_EQ(SolveLinear(2, -4, &x), 1);
  EXPECT_EQ(x, 2);
  EXPECT_EQ(SolveLinear(0, 1, &x), 0);
  EXPECT_EQ(SolveQuadratic(1, -2, 1, &x1, &x2), 1);
  EXPECT_DOUBLE_EQ(x1, 1);
  EXPECT_DOUBLE_EQ(x2, 1);
  EXPECT_EQ(SolveQuadratic(1, 0, 1, &x1, &x2), 0);
  EXPECT_EQ(SolveQuadratic(0, 2, -4, &x1, &x2), 1);
  EXPECT_DOUBLE_EQ(x1, 2);
  EXPECT_EQ(SolveQuadratic(1, -3, 2, &x1, &x2), 2);
  EXPECT_DOUBLE_EQ(x1, 1);
  EXPECT_DOUBLE_EQ(x2, 2);
}

TEST(PointMeasures, DistancesProductsAndDirections) {
  EXPECT_DOUBLE_EQ(GetDistance(0, 0, 3, 4), 5);
  EXPECT_DOUBLE_EQ(CalcDistance(1, 1, 4, 5), 5);
  EXPECT_DOUBLE_EQ(GetDistance2(0, 0, 0, 2), 2);
  EXPECT_DOUBLE_EQ(GetDistanceSquared(0, 0, 3, 4), 25);
  EXPECT_DOUBLE_EQ(CalcDistanceInt(INT32_MIN, 0, INT32_MAX, 0), 4294967295.0);
  EXPECT_EQ(GetDistanceSquaredInt(0, 0, 3, 4), 25);
  EXPECT_EQ(GetDistanceSquaredInt(0, 0, 32767, 32767), 2147352578);
  EXPECT_DOUBLE_EQ(GetDistance3D(0, 0, 0, 1, 2, 2), 3);
  EXPECT_DOUBLE_EQ(GetCross(0, 0, 1, 0, 0, 1), 1);  // left of the direction
  EXPECT_DOUBLE_EQ(GetCross(0, 0, 1, 0, 0, -1), -1);
  EXPECT_EQ(GetCrossInt(0, 0, 2000000000, 0, 0, 2000000000), 4000000000000000000LL);
  EXPECT_DOUBLE_EQ(GetDot(0, 0, 1, 2, 3, 4), 11);
  double x = 0, y = 0;
  GetMidpoint(0, 0, 3, 5, &x, &y);
  EXPECT_DOUBLE_EQ(x, 1.5);
  EXPECT_DOUBLE_EQ(y, 2.5);

  double c = 9;
  EXPECT_EQ(GetCosAngle(0, 0, 1, 0, 0, 1, &c), 1);
  EXPECT_DOUBLE_EQ(c, 0);
  EXPECT_EQ(GetCosAngle(0, 0, 0, 0, 0, 1, &c), 0);
  double s = 0;
  EXPECT_EQ(GetDirection(0, 0, 3, 4, &s, &c), 1);
  EXPECT_DOUBLE_EQ(s, 0.8);
  EXPECT_DOUBLE_EQ(c, 0.6);
  EXPECT_EQ(GetDirection(1, 1, 1, 1, &s, &c), 0);
  EXPECT_EQ(GetLeftNormal(0, 0, 1, 0, &s, &c), 1);
  EXPECT_DOUBLE_EQ(s, 1);  // (cosine, -sine) of the direction (0, 1)
  EXPECT_DOUBLE_EQ(c, 0);

  double d = 0;
  EXPECT_EQ(GetSignedDistanceToLine(0, 0, 2, 0, 1, 3, &d), 1);
  EXPECT_DOUBLE_EQ(d, 3);
  EXPECT_EQ(GetSignedDistanceToLine(0, 0, 2, 0, 1, -3, &d), 1);
  EXPECT_DOUBLE_EQ(d, -3);
  EXPECT_EQ(IsPointNearLine(0, 0, 2, 0, 5, 0.05, 0.1), 1);
  EXPECT_EQ(IsPointOnSegment(0, 0, 2, 0, 5, 0.05, 0.1), 0);
  EXPECT_EQ(IsPointOnSegment(0, 0, 2, 0, 2, 0, 0.1), 1);
  EXPECT_EQ(IsFootOnSegment(0, 0, 2, 0, 1, 50), 1);
  EXPECT_EQ(IsFootOnSegment(0, 0, 2, 0, 3, 50), 0);
}

TEST(PointMeasures, DistanceToSegmentUsesFootOrNearerEnd) {
  double d = 0;
  EXPECT_EQ(GetDistanceToSegment(0, 0, 10, 0, 5, 3, &d), 1);
  EXPECT_DOUBLE_EQ(d, 3);
  EXPECT_EQ(GetDistanceToSegment(0, 0, 10, 0, -3, 4, &d), 1);
  EXPECT_DOUBLE_EQ(d, 5);
  EXPECT_EQ(GetDistanceToSegment(0, 0, 10, 0, 13, -4, &d), 1);
  EXPECT_DOUBLE_EQ(d, 5);
  EXPECT_EQ(GetDistanceToSegment(1, 1, 1, 1, 4, 5, &d), 1);  // degenerate: to the ends
  EXPECT_DOUBLE_EQ(d, 5);
}

TEST(PointMeasures, NearnessOfPointsAndSegments) {
  EXPECT_EQ(ArePointsNear(0, 0, 0.1, -0.1, 0.1), 1);
  EXPECT_EQ(ArePointsNear(0, 0, 0.2, 0, 0.1), 0);
  EXPECT_EQ(ArePointsEqualInt(1, 2, 1, 2), 1);
  EXPECT_EQ(ArePointsEqualInt(1, 2, 2, 1), 0);
  EXPECT_EQ(AreSegmentsEqual(0, 0, 1, 1, 0, 0, 1, 1, 1e-8), 1);
  EXPECT_EQ(AreSegmentsEqual(0, 0, 1, 1, 1, 1, 0, 0, 1e-8), 0);
  EXPECT_EQ(AreSegmentsCoincident(0, 0, 1, 1, 1, 1, 0, 0, 1e-8), 1);
  EXPECT_EQ(AreSegmentsCoincident2(0, 0, 1, 1, 1, 1, 0, 1, 1e-8), 0);
}

TEST(Angles, DirectionAndAngleAt) {
  double a = 0;
  EXPECT_EQ(GetDirectionAngle(0, -1, &a), 1);
  EXPECT_DOUBLE_EQ(a, 3 * kPi / 2);
  EXPECT_EQ(GetDirectionAngle(-1, 0, &a), 1);
  EXPECT_DOUBLE_EQ(a, kPi);
  EXPECT_EQ(GetDirectionAngle(0, 0, &a), 0);
  EXPECT_EQ(GetDirectionAngle(1, 1, &a), 1);
  EXPECT_DOUBLE_EQ(a, kPi / 4);
  EXPECT_EQ(GetDirectionAngle(1, -1, &a), 1);
  EXPECT_DOUBLE_EQ(a, 7 * kPi / 4);
  EXPECT_EQ(GetDirectionAngle(-1, -1, &a), 1);
  EXPECT_DOUBLE_EQ(a, 5 * kPi / 4);
  EXPECT_EQ(GetDirectionAngleDeg(-1, 1, &a), 1);
  EXPECT_DOUBLE_EQ(a, 135);

  EXPECT_EQ(GetAngleAt(0, 0, 1, 0, 0, -1, &a), 1);
  EXPECT_DOUBLE_EQ(a, 3 * kPi / 2);
  EXPECT_EQ(GetAngleAt(0, 0, 1, 0, 0, 0, &a), 0);
  EXPECT_EQ(GetAngleAtDeg(1, 1, 2, 2, 0, 2, &a), 1);
  EXPECT_DOUBLE_EQ(a, 90);

  EXPECT_EQ(GetSignedAngleAt(0, 0, 1, 0, 0, 1, &a), 1);
  EXPECT_DOUBLE_EQ(a, kPi / 2);
  EXPECT_EQ(GetSignedAngleAt(0, 0, 0, 1, 1, 0, &a), 1);
  EXPECT_DOUBLE_EQ(a, -kPi / 2);
  EXPECT_EQ(GetSignedAngleAt(0, 0, 1, 0, -1, 0, &a), 1);
  EXPECT_DOUBLE_EQ(a, -kPi);
  EXPECT_EQ(GetSignedAngleAt(0, 0, 0, 0, -1, 0, &a), 0);
}

TEST(Angles, VertexAngle) {
  EXPECT_EQ(GetVertexAngle(0, 0, 1, 0, 0, 1), kPi / 2);
  EXPECT_EQ(GetVertexAngle(0, 0, 0, 1, 1, 0), -kPi / 2);
  EXPECT_NEAR(GetVertexAngle(0, 0, 1, 0, 1, 1), kPi / 4, 1e-12);
  EXPECT_NEAR(GetVertexAngle(0, 0, 1, 0, -1, 1), 3 * kPi / 4, 1e-12);
  EXPECT_EQ(GetVertexAngle(0, 0, 0, 0, 1, 1), 0);  // degenerate leg: k = 1
}

TEST(Angles, AngleBetweenLinesOnTheSideOfR) {
  const double c60 = 0.5, s60 = std::sqrt(3.0) / 2;
  double a = 0;
  // Line 1 along the x axis, line 2 at 60 degrees through the origin.
  EXPECT_EQ(GetAngleBetweenLines(1, 0, 2, 0, c60, s60, 2 * c60, 2 * s60, 1, 0.2, &a), 1);
  EXPECT_NEAR(a, kPi / 3, 1e-12);
  EXPECT_EQ(GetAngleBetweenLines(1, 0, 2, 0, c60, s60, 2 * c60, 2 * s60, -1, 1, &a), 1);
  EXPECT_NEAR(a, 2 * kPi / 3, 1e-12);
  // A point in the opposite wedge sees the same angle as its mirror.
  EXPECT_EQ(GetAngleBetweenLines(1, 0, 2, 0, c60, s60, 2 * c60, 2 * s60, -1, -0.2, &a), 1);
  EXPECT_NEAR(a, kPi / 3, 1e-12);
  // Arm points on the crossing are replaced by the lines' other points.
  EXPECT_EQ(GetAngleBetweenLines(0, 0, 1, 0, 0, 0, c60, s60, 1, 0.2, &a), 1);
  EXPECT_NEAR(a, kPi / 3, 1e-12);
  EXPECT_EQ(GetAngleBetweenLines(0, 0, 1, 0, 0, 1, 1, 1, 1, 1, &a), 0);  // parallel
}

TEST(Transforms, RotateScaleProject) {
  double x = 0, y = 0;
  RotateAround(1, 1, 2, 1, 0, 1, &x, &y);
  EXPECT_DOUBLE_EQ(x, 1);
  EXPECT_DOUBLE_EQ(y, 2);
  RotateAround(0, 0, 1, 0, 0, 2, &x, &y);  // a pair of length 2 scales too
  EXPECT_DOUBLE_EQ(y, 2);
  RotateAroundByAngle(0, 0, 1, 0, kPi, &x, &y);
  EXPECT_NEAR(x, -1, 1e-15);
  EXPECT_NEAR(y, 0, 1e-15);
  int32_t ix = 0, iy = 0;
  EXPECT_EQ(RotateAroundInt(0, 0, 10, 0, 0, 1, 1, &ix, &iy), 1);
  EXPECT_EQ(ix, 0);
  EXPECT_EQ(iy, 10);
  EXPECT_EQ(RotateAroundInt(0, 0, 10, 3, 1, 0, 2, &ix, &iy), 1);
  EXPECT_EQ(ix, 5);
  EXPECT_EQ(iy, 1);  // truncated
  EXPECT_EQ(RotateAroundInt(0, 0, 10, 0, 1, 0, 0, &ix, &iy), 0);

  ScaleAfterRotate(1, 0, 2, 0, kPi / 2, 3, 2, &x, &y);
  EXPECT_NEAR(x, 1, 1e-15);
  EXPECT_NEAR(y, 2, 1e-15);
  ScaleAfterRotateUniform(0, 0, 1, 0, kPi / 2, 3, &x, &y);
  EXPECT_NEAR(y, 3, 1e-15);
  RotateAfterScale(0, 0, 1, 1, 2, 3, kPi / 2, &x, &y);
  EXPECT_NEAR(x, -3, 1e-15);
  EXPECT_NEAR(y, 2, 1e-15);
  RotateAfterScaleUniform(0, 0, 1, 0, 2, kPi, &x, &y);
  EXPECT_NEAR(x, -2, 1e-15);

  EXPECT_EQ(ProjectPerspective(2, 4, 2, 3, &x, &y), 1);
  EXPECT_DOUBLE_EQ(x, 3);
  EXPECT_DOUBLE_EQ(y, 6);
  EXPECT_EQ(ProjectPerspective(2, 4, 0, 3, &x, &y), 0);
  EXPECT_EQ(ProjectFromEye(2, 4, 1, 1, &x, &y), 1);
  EXPECT_DOUBLE_EQ(x, 1);
  EXPECT_EQ(ProjectFromEye(2, 4, -1, 1, &x, &y), 0);
}

TEST(Rectangles, TestsAndCodes) {
  const double r[4] = {0, 0, 4, 2};
  EXPECT_EQ(IsPointInRect(4, 2, r), 1);
  EXPECT_EQ(IsPointInRect(4.1, 2, r), 0);
  const int32_t ir[4] = {0, 0, 4, 2};
  EXPECT_EQ(IsPointInIntRect(0, 0, ir), 1);
  EXPECT_EQ(IsPointInIntRect(-1, 0, ir), 0);
  double copy[4] = {};
  CopyRect(copy, r);
  EXPECT_EQ(copy[2], 4);
  EXPECT_EQ(GetOutCode(2, 1, r), 0);
  EXPECT_EQ(GetOutCode(5, 3, r), 0x0101);
  EXPECT_EQ(GetOutCode(-1, -1, r), 0x1010);
  EXPECT_EQ(GetOutCode(4 + 5e-9, 2, r), 0);

  // Corners win over edges.
  EXPECT_EQ(ClassifyPointOnRect(0, 2, r, 0.01), 1);
  EXPECT_EQ(ClassifyPointOnRect(4, 2, r, 0.01), 2);
  EXPECT_EQ(ClassifyPointOnRect(4, 0, r, 0.01), 3);
  EXPECT_EQ(ClassifyPointOnRect(0, 0, r, 0.01), 4);
  EXPECT_EQ(ClassifyPointOnRect(2, 2, r, 0.01), 5);
  EXPECT_EQ(ClassifyPointOnRect(4, 1, r, 0.01), 6);
  EXPECT_EQ(ClassifyPointOnRect(2, 0, r, 0.01), 7);
  EXPECT_EQ(ClassifyPointOnRect(0, 1, r, 0.01), 8);
  EXPECT_EQ(ClassifyPointOnRect(2, 1, r, 0.01), 0);
  EXPECT_EQ(ClassifyPointOnRect(5, 1, r, 0.01), -1);

  EXPECT_EQ(IsNearRectCorner(4, 2, r, 0.1), 1);
  EXPECT_EQ(IsNearRectCorner(0, 2, r, 0.1), 0);
  EXPECT_EQ(IsNearCorner(1, 1, 0, 0, 1, 1, 0), 1);
  const double r2[4] = {4, 2, 8, 8};
  EXPECT_EQ(IsNearCornerOfBoth(4, 2, r, r2, 0), 1);
  EXPECT_EQ(IsNearCornerOfBoth(0, 0, r, r2, 0), 0);
}

TEST(Rectangles, CornersOverlapsMappingAndGrid) {
  double left = 0, bottom = 0, w = 0, h = 0;
  MakeRectFromCorners(3, 4, 1, 1, &left, &bottom, &w, &h);
  EXPECT_EQ((std::vector<double>{left, bottom, w, h}), (std::vector<double>{1, 1, 2, 3}));
  int32_t il = 0, it = 0, iw = 0, ih = 0;
  MakeIntRectFromCorners(3, 4, 1, 1, &il, &it, &iw, &ih);
  EXPECT_EQ((std::vector<int32_t>{il, it, iw, ih}), (std::vector<int32_t>{1, 1, 3, 4}));

  const double a[8] = {0, 0, 1, 0, 1, 1, 0, 1};
  const double b[8] = {1, 1, 2, 1, 2, 2, 1, 2};
  const double c[8] = {1.5, 1.5, 2, 1.5, 2, 2, 1.5, 2};
  EXPECT_EQ(DoPointSetBoxesOverlap(a, b), 1);  // touching
  EXPECT_EQ(DoPointSetBoxesOverlap(a, c), 0);
  EXPECT_EQ(DoesRectOverlapPoints(1, 1, 0, 0, b), 1);
  EXPECT_EQ(DoesRectOverlapPoints(0, 0, 1, 1, c), 0);

  const int32_t ir[4] = {0, 0, 100, 100};
  const double rr[4] = {0, 0, 10, 10};
  int32_t ix = 0, iy = 0;
  EXPECT_EQ(MapToIntRect(5, 5, &ix, &iy, ir, rr), 1);
  EXPECT_EQ(ix, 50);
  EXPECT_EQ(iy, 50);
  EXPECT_EQ(MapToIntRect(0, 0, &ix, &iy, ir, rr), 1);
  EXPECT_EQ(ix, 0);
  EXPECT_EQ(iy, 100);  // y runs downward
  const double flat[4] = {0, 0, 10, 0};
  EXPECT_EQ(MapToIntRect(0, 0, &ix, &iy, ir, flat), 0);
  EXPECT_EQ(MapToIntRect(1e300, 0, &ix, &iy, ir, rr), 0);

  int32_t cells[9] = {};
  // 4 x 4 cells of size 1: the inner corner (2, 2) touches four cells.
  ASSERT_EQ(FindGridCells(2, 2, 0, 0, 4, 4, 4, 4, cells), 4);
  EXPECT_EQ(std::vector<int32_t>(cells, cells + 4), (std::vector<int32_t>{5, 6, 9, 10}));
  ASSERT_EQ(FindGridCells(0.5, 3.5, 4, 4, 0, 0, 4, 4, cells), 1);
  EXPECT_EQ(cells[0], 0 + 4 * 3);
  EXPECT_EQ(FindGridCells(2, 0, 0, 0, 4, 4, 4, 4, cells), 2);  // on the outer border
  EXPECT_EQ(FindGridCells(50, 50, 0, 0, 4, 4, 4, 4, cells), 0);
  EXPECT_EQ(FindGridCells(1e300, -1e300, 0, 0, 4, 4, 4, 4, cells), 0);
  EXPECT_EQ(FindGridCells(1, 1, 0, 0, 4, 4, 0, 4, cells), 0);
  EXPECT_EQ(FindGridCells(1, 1, 0, 0, 4, 0, 4, 4, cells), 0);
}

TEST(GeometryLines, NormalFormIntersectionsAndFeet) {
  NormalLine l{};
  ASSERT_EQ(GetLineFromPoints(0, 0, 2, 0, &l), 1);
  EXPECT_DOUBLE_EQ(l.a, 0);
  EXPECT_DOUBLE_EQ(l.b, -1);
  // Negative for a point left of the direction it was built in.
  EXPECT_LT(l.a * 1 + l.b * 1 + l.c, 0);
  EXPECT_EQ(GetLineFromPoints2(1, 1, 1, 1, &l), 0);
  NormalLine p{};
  ASSERT_EQ(GetLineFromPoints(0, 1, 4, 1, &l), 1);
  EXPECT_EQ(GetPerpendicularLine(3, 7, l, &p), 1);
  double x = 0, y = 0;
  EXPECT_EQ(IntersectLines(l, p, &x, &y, 1e-8), 1);
  EXPECT_DOUBLE_EQ(x, 3);
  EXPECT_DOUBLE_EQ(y, 1);
  EXPECT_EQ(IntersectLines(l, l, &x, &y, 1e-8), 0);

  EXPECT_EQ(IntersectLinesFromPoints(0, 0, 2, 2, 0, 2, 2, 0, &x, &y, 1e-8), 1);
  EXPECT_DOUBLE_EQ(x, 1);
  EXPECT_DOUBLE_EQ(y, 1);
  EXPECT_EQ(IntersectLinesFromPoints(0, 0, 1, 0, 0, 1, 1, 1, &x, &y, 1e-8), 0);
  EXPECT_EQ(IntersectLinesFromPoints(0, 0, 0, 0, 0, 1, 1, 1, &x, &y, 1e-8), 0);

  EXPECT_EQ(GetPerpendicularFoot(0, 0, 2, 0, 1, 1, &x, &y), 1);
  EXPECT_DOUBLE_EQ(x, 1);
  EXPECT_NEAR(y, 0, 1e-15);
  EXPECT_EQ(GetPerpendicularFoot(0, 0, 4, 4, 0, 4, &x, &y), 1);
  EXPECT_DOUBLE_EQ(x, 2);
  EXPECT_DOUBLE_EQ(y, 2);
  EXPECT_EQ(GetPerpendicularFoot(1, 1, 1, 1, 0, 4, &x, &y), 0);
}
