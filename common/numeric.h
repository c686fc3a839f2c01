#pragma once
// Scalar numeric helpers and point measures: the base of the plane-geometry
// library. Points are passed as separate x and y values, the y axis points
// up, results come back through out parameters with 1 (done) or 0
// (degenerate input) unless a function returns its value directly. A
// direction is the pair (sine, cosine) of its angle. A rectangle is four
// values: min x, min y, max x, max y. Lengths and coordinates are compared
// with the tolerance 1e-8.

#include <cstdint>

inline constexpr double kPi = 3.141592653589793;
inline constexpr double kDegToRad = kPi / 180.0;
inline constexpr double kLengthTolerance = 1e-8;

// ---- Scalars ----

// b when b is not greater (min) / not smaller (max) than a, else a.
double MinDouble(double a, double b);
double MaxDouble(double a, double b);
float MinFloat(float a, float b);
float MaxFloat(float a, float b);
int16_t MinShort(int16_t a, int16_t b);
int16_t MaxShort(int16_t a, int16_t b);
double Min4(double a, double b, double c, double d);
double Max4(double a, double b, double c, double d);
double Max3(double a, double b, double c);
double Square(double x);
// 0 for 0, -1 below 0, 1 above.
int GetSign(double x);
int GetSignInt(int32_t x);
inline int GetSignInt2(int32_t x) { return GetSignInt(x); }
// 1 when |b - a| <= tolerance.
int AreValuesNear(double a, double b, double tolerance);
// |a - b| as a double; the typed forms convert both arguments first.
double GetAbsDiff(double a, double b);
double GetAbsDiffInt(int32_t a, int32_t b);
inline double GetAbsDiffInt2(int32_t a, int32_t b) { return GetAbsDiffInt(a, b); }
double GetAbsDiffShort(int16_t a, int16_t b);
double GetAbsDiffUInt(uint32_t a, uint32_t b);
double GetAbsDiffUShort(uint16_t a, uint16_t b);
double GetAbsDiffByte(uint8_t a, uint8_t b);

double DegToRad(double x);
double RadToDeg(double x);
// The angle in [0, 360) (NaN and infinities give NaN).
double NormalizeDegrees(double x);
double GetCircumference(double r);
double GetCircleArea(double r);
// A value in [0, 1) from a 15-bit generator of this library (0..32767
// divided by 32768); SeedRandom seeds it with the current time in seconds.
// The generator state is per thread.
double GetRandom01();
void SeedRandom();

// Clamps *value into [min(a, b), max(a, b)].
void ClampDouble(double* value, double a, double b);
void ClampFloat(float* value, float a, float b);
void ClampInt(int32_t* value, int32_t a, int32_t b);
inline void ClampToRange(int32_t* value, int32_t a, int32_t b) { ClampInt(value, a, b); }
// Tests the range with IsInRangeShort (16-bit signed comparison).
void ClampShort(int16_t* value, int16_t a, int16_t b);
// [lo, hi] and [a, b], each put in order first: 0 when they do not meet,
// else lo and hi become the common part and 1.
int IntersectRanges(double* lo, double* hi, double a, double b);
int IntersectRangesInt(int32_t* lo, int32_t* hi, int32_t a, int32_t b);

// Integer part of x + 0.5 (x >= 0) or x - 0.5 (x < 0), through a 64-bit
// integer. Values beyond the 64-bit range are already whole and come back
// as they are (NaN stays NaN).
double RoundHalfAwayFromZero(double x);
inline double RoundHalfAwayFromZero2(double x) { return RoundHalfAwayFromZero(x); }
// The integer part toward zero through a 64-bit integer (same range rule).
double TruncateToInteger(double x);
inline double TruncateToInteger2(double x) { return TruncateToInteger(x); }
// Rounds to n decimals (n <= 0: to an integer); a positive value whose next
// fraction digits are 0.45 or more is rounded up (1.0046 at 2 gives 1.01).
double RoundToDecimals(double x, int n);
// a / step moved half away from zero, truncated, times step.
double RoundToMultiple(double a, double step);
// (a / b) mod 10 with C semantics (negative a gives a negative digit) when
// b > 0, else 0; the short form on 16-bit values.
int32_t GetDigitAt(int32_t a, int32_t b);
int16_t GetDigitAtShort(int16_t a, int16_t b);
void SplitDigits2(int32_t value, int32_t* tens, int32_t* ones);
void SplitDigits3(int32_t value, int32_t* hundreds, int32_t* tens, int32_t* ones);
void SplitDigits4(int32_t value, int32_t* thousands, int32_t* hundreds, int32_t* tens,
                  int32_t* ones);
void SplitDigits2Short(int16_t value, int16_t* tens, int16_t* ones);
void SplitDigits3Short(int16_t value, int16_t* hundreds, int16_t* tens, int16_t* ones);
void SplitDigits4Short(int16_t value, int16_t* thousands, int16_t* hundreds, int16_t* tens,
                       int16_t* ones);
// Number of decimal digits (1 for 0); the Int form of the absolute value.
int CountDigits(uint32_t value);
int CountDigitsInt(int32_t value);
int CountDigitsUShort(uint16_t value);
// Sum of |a[i] - b[i]| (unsigned bytes) over `length` bytes; the cut value
// as soon as the sum exceeds the limit; 0 for length <= 0.
int32_t SumByteDifferences(const char* a, const char* b, int32_t length, int32_t limit,
                           int32_t cutValue);
// x = -b / a; 0 when |a| < 1e-8.
int SolveLinear(double a, double b, double* x);
// Roots of a·x² + b·x + c: SolveLinear (b, c) when |a| < 1e-8; 0 when the
// discriminant is negative; 1 for a double root, else 2.
int SolveQuadratic(double a, double b, double c, double* x1, double* x2);

// ---- Point measures ----

double GetDistance(double x1, double y1, double x2, double y2);
inline double GetDistance2(double x1, double y1, double x2, double y2) {
  return GetDistance(x1, y1, x2, y2);
}
inline double CalcDistance(double x1, double y1, double x2, double y2) {
  return GetDistance(x1, y1, x2, y2);
}
double GetDistanceSquared(double x1, double y1, double x2, double y2);
double CalcDistanceInt(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
// The squared distance in integers (computed in 64 bits, cut to 32).
int32_t GetDistanceSquaredInt(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
double GetDistance3D(double x1, double y1, double z1, double x2, double y2, double z2);
// (x2 - x1)(y3 - y1) - (y2 - y1)(x3 - x1): positive when P3 lies left of P1→P2.
double GetCross(double x1, double y1, double x2, double y2, double x3, double y3);
int64_t GetCrossInt(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3);
// (x2 - x1)(x3 - x1) + (y2 - y1)(y3 - y1).
double GetDot(double x1, double y1, double x2, double y2, double x3, double y3);
void GetMidpoint(double x1, double y1, double x2, double y2, double* x, double* y);
// Cosine of the angle at P1 between P1→P2 and P1→P3.
int GetCosAngle(double x1, double y1, double x2, double y2, double x3, double y3, double* c);
// (dy / L, dx / L) of P1→P2; 0 when L <= 1e-8.
int GetDirection(double x1, double y1, double x2, double y2, double* sine, double* cosine);
// The direction turned by +90°.
int GetLeftNormal(double x1, double y1, double x2, double y2, double* sine, double* cosine);
// GetCross (P1, P2, P) / |P1P2| (positive left of P1→P2).
int GetSignedDistanceToLine(double x1, double y1, double x2, double y2, double px, double py,
                            double* d);
int IsPointNearLine(double x1, double y1, double x2, double y2, double px, double py,
                    double tolerance);
int IsPointOnSegment(double x1, double y1, double x2, double y2, double px, double py,
                     double tolerance);
// The foot of P lies between the ends (no distance test).
int IsFootOnSegment(double x1, double y1, double x2, double y2, double px, double py);
int ArePointsNear(double x1, double y1, double x2, double y2, double tolerance);
int ArePointsEqualInt(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
int AreSegmentsEqual(double px1, double py1, double px2, double py2, double qx1, double qy1,
                     double qx2, double qy2, double tolerance);
// AreSegmentsEqual with Q1, Q2 in either order.
int AreSegmentsCoincident(double px1, double py1, double px2, double py2, double qx1, double qy1,
                          double qx2, double qy2, double tolerance);
inline int AreSegmentsCoincident2(double px1, double py1, double px2, double py2, double qx1,
                                  double qy1, double qx2, double qy2, double tolerance) {
  return AreSegmentsCoincident(px1, py1, px2, py2, qx1, qy1, qx2, qy2, tolerance);
}

// (The distance to a segment and the angle between two lines, built on the
// line constructions, are in common/geometry_lines.h.)

// ---- Angles ----

// The angle of (dx, dy) in [0, 2π); 0 when its length is below 1e-8.
int GetDirectionAngle(double dx, double dy, double* angle);
int GetDirectionAngleDeg(double dx, double dy, double* angle);
// Counterclockwise angle at P1 from P1→P2 to P1→P3, in [0, 2π).
int GetAngleAt(double x1, double y1, double x2, double y2, double x3, double y3, double* angle);
int GetAngleAtDeg(double x1, double y1, double x2, double y2, double x3, double y3, double* angle);
// GetAngleAt in [-π, π).
int GetSignedAngleAt(double x1, double y1, double x2, double y2, double x3, double y3,
                     double* angle);
// The angle at P1 of the triangle, signed by the orientation (positive for
// P1, P2, P3 counterclockwise); exactly ±π/2 for a right angle.
double GetVertexAngle(double x1, double y1, double x2, double y2, double x3, double y3);

// ---- Turning, scaling and projecting ----

// P turned about C by the pair (cosine, sine), which need not be a unit
// vector (it scales as well).
void RotateAround(double cx, double cy, double px, double py, double cosine, double sine, double* x,
                  double* y);
void RotateAroundByAngle(double cx, double cy, double px, double py, double angle, double* x,
                         double* y);
// In integers: (dx·cos - dy·sin) / denominator etc., truncating; 0 when the
// denominator <= 0. Computed in 64 bits, cut to 32.
int RotateAroundInt(int32_t cx, int32_t cy, int32_t px, int32_t py, int32_t cosine, int32_t sine,
                    int32_t denominator, int32_t* x, int32_t* y);
void ScaleAfterRotate(double x0, double y0, double px, double py, double angle, double sx,
                      double sy, double* x, double* y);
void ScaleAfterRotateUniform(double x0, double y0, double px, double py, double angle, double scale,
                             double* x, double* y);
void RotateAfterScale(double x0, double y0, double px, double py, double sx, double sy,
                      double angle, double* x, double* y);
void RotateAfterScaleUniform(double x0, double y0, double px, double py, double scale, double angle,
                             double* x, double* y);
int ProjectPerspective(double x, double y, double z, double f, double* outX, double* outY);
int ProjectFromEye(double x, double y, double z, double d, double* outX, double* outY);

// ---- Rectangles ----

int IsPointInRect(double x, double y, const double rect[4]);
int IsPointInIntRect(int32_t x, int32_t y, const int32_t rect[4]);
void CopyRect(double dst[4], const double src[4]);
// Bits: 0x0001 above, 0x0010 below, 0x0100 right of, 0x1000 left of the
// rectangle (beyond 1e-8).
uint16_t GetOutCode(double x, double y, const double rect[4]);
// 1-4 near the corners (min x, max y), (max x, max y), (max x, min y),
// (min x, min y); 5-8 on the top, right, bottom, left edge; 0 inside; -1
// outside.
int ClassifyPointOnRect(double x, double y, const double rect[4], double tolerance);
int IsNearRectCorner(double px, double py, const double rect[4], double tolerance);
int IsNearCorner(double px, double py, double c1x, double c1y, double c2x, double c2y,
                 double tolerance);
int IsNearCornerOfBoth(double px, double py, const double rect1[4], const double rect2[4],
                       double tolerance);
void MakeRectFromCorners(double x1, double y1, double x2, double y2, double* left, double* bottom,
                         double* width, double* height);
// Pixel counts: width = |x2 - x1| + 1, height = |y2 - y1| + 1.
void MakeIntRectFromCorners(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t* left,
                            int32_t* top, int32_t* width, int32_t* height);
// Four points each as x1, y1, ..., x4, y4: 1 when the two bounding boxes
// overlap, touching included.
int DoPointSetBoxesOverlap(const double a[8], const double b[8]);
int DoesRectOverlapPoints(double x1, double y1, double x2, double y2, const double points[8]);
// Maps (x, y) in R to the integer rectangle I (y runs downward in I); 0 when
// R has no width or height, or the result does not fit 32 bits.
int MapToIntRect(double x, double y, int32_t* ix, int32_t* iy, const int32_t intRect[4],
                 const double rect[4]);
// The cells (c + columns·r) of the columns × rows grid over the box of the
// two corners that contain the point, borders included, searched in the
// 3 × 3 cells around the point's cell; cells needs room for 9. Returns their
// number, 0 for a degenerate box or grid.
int FindGridCells(double x, double y, double c1x, double c1y, double c2x, double c2y,
                  int32_t columns, int32_t rows, int32_t* cells);

// ---- Lines in normal form ----
// The line primitives that the point measures above are built on; the
// constructions on lines live in common/geometry_lines.h.

// a·x + b·y + c = 0 with (a, b) a unit vector. Built from P1 to P2,
// a·x + b·y + c is negative for points left of P1→P2.
struct NormalLine {
  double a;
  double b;
  double c;
};

// The line through P1 and P2: a = sine, b = -cosine of the direction
// P1→P2, c = -(a·x1 + b·y1). 0 when |P1P2| <= 1e-8.
int GetLineFromPoints(double x1, double y1, double x2, double y2, NormalLine* line);
inline int GetLineFromPoints2(double x1, double y1, double x2, double y2, NormalLine* line) {
  return GetLineFromPoints(x1, y1, x2, y2, line);
}
// The line through P at right angles to the given one: a' = -b, b' = a.
int GetPerpendicularLine(double x, double y, const NormalLine& line, NormalLine* out);
// The crossing of two lines; 0 when |a2·b1 - a1·b2| <= tolerance.
int IntersectLines(const NormalLine& line1, const NormalLine& line2, double* x, double* y,
                   double tolerance);
// The crossing of the lines P1P2 and P3P4; 0 when either is degenerate or
// they are parallel within the tolerance.
int IntersectLinesFromPoints(double x1, double y1, double x2, double y2, double x3, double y3,
                             double x4, double y4, double* x, double* y, double tolerance);
// The foot of the perpendicular from P on the line P1P2; 0 only for a
// degenerate P1P2.
int GetPerpendicularFoot(double x1, double y1, double x2, double y2, double px, double py,
                         double* x, double* y);
