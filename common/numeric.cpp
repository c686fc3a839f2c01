#include "common/numeric.h"

#include <cmath>

#include "common/in_range.h"
#include "plat/crt.h"

namespace {

// 2^63: doubles at or beyond it in magnitude are whole numbers and do not
// fit a 64-bit integer.
constexpr double kInt64Limit = 9223372036854775808.0;

bool FitsInt64(double x) { return x > -kInt64Limit && x < kInt64Limit; }

bool FitsInt32(double x) { return x > -2147483649.0 && x < 2147483648.0; }

// The 15-bit generator's state, one per thread as the run time kept it.
thread_local uint32_t randomState = 1;

}  // namespace

// ---------------------------------------------------------------------------
// Scalars

double MinDouble(double a, double b) { return b <= a ? b : a; }
double MaxDouble(double a, double b) { return b >= a ? b : a; }
float MinFloat(float a, float b) { return b <= a ? b : a; }
float MaxFloat(float a, float b) { return b >= a ? b : a; }
int16_t MinShort(int16_t a, int16_t b) { return b <= a ? b : a; }
int16_t MaxShort(int16_t a, int16_t b) { return b >= a ? b : a; }
double Min4(double a, double b, double c, double d) {
  return MinDouble(MinDouble(a, b), MinDouble(c, d));
}
double Max4(double a, double b, double c, double d) {
  return MaxDouble(MaxDouble(a, b), MaxDouble(c, d));
}
double Max3(double a, double b, double c) { return MaxDouble(MaxDouble(a, b), c); }
double Square(double x) { return x * x; }

int GetSign(double x) { return x < 0 ? -1 : (x > 0 ? 1 : 0); }
int GetSignInt(int32_t x) { return x < 0 ? -1 : (x > 0 ? 1 : 0); }

int AreValuesNear(double a, double b, double tolerance) {
  return std::fabs(b - a) <= tolerance ? 1 : 0;
}

double GetAbsDiff(double a, double b) { return std::fabs(a - b); }
double GetAbsDiffInt(int32_t a, int32_t b) { return GetAbsDiff(a, b); }
double GetAbsDiffShort(int16_t a, int16_t b) { return GetAbsDiff(a, b); }
double GetAbsDiffUInt(uint32_t a, uint32_t b) { return GetAbsDiff(a, b); }
double GetAbsDiffUShort(uint16_t a, uint16_t b) { return GetAbsDiff(a, b); }
double GetAbsDiffByte(uint8_t a, uint8_t b) { return GetAbsDiff(a, b); }

double DegToRad(double x) { return x * kPi / 180.0; }
double RadToDeg(double x) { return x * 180.0 / kPi; }

double NormalizeDegrees(double x) {
  // fmod keeps the result of adding or subtracting 360 repeatedly, and ends
  // for any magnitude.
  double r = std::fmod(x, 360.0);
  if (r < 0) r += 360.0;
  if (r >= 360.0) r -= 360.0;
  return r;
}

double GetCircumference(double r) { return 2.0 * kPi * r; }
double GetCircleArea(double r) { return kPi * r * r; }

double GetRandom01() {
  randomState = randomState * 1103515245u + 12345u;
  const uint32_t value = (randomState >> 16) & 0x7FFFu;  // 0 .. 32767
  return value / 32768.0;
}

void SeedRandom() { randomState = plat::crt::TimeLow32(); }

void ClampDouble(double* value, double a, double b) {
  if (!value) return;
  const double lo = MinDouble(a, b), hi = MaxDouble(a, b);
  if (*value < lo)
    *value = lo;
  else if (*value > hi)
    *value = hi;
}

void ClampFloat(float* value, float a, float b) {
  if (!value) return;
  const float lo = MinFloat(a, b), hi = MaxFloat(a, b);
  if (*value < lo)
    *value = lo;
  else if (*value > hi)
    *value = hi;
}

void ClampInt(int32_t* value, int32_t a, int32_t b) {
  if (!value) return;
  const int32_t lo = a < b ? a : b;
  const int32_t hi = a < b ? b : a;
  if (*value < lo)
    *value = lo;
  else if (*value > hi)
    *value = hi;
}

void ClampShort(int16_t* value, int16_t a, int16_t b) {
  if (!value) return;
  const int16_t lo = MinShort(a, b), hi = MaxShort(a, b);
  if (IsInRangeShort(*value, lo, hi)) return;
  *value = *value < lo ? lo : hi;
}

int IntersectRanges(double* lo, double* hi, double a, double b) {
  if (!lo || !hi) return 0;
  const double l1 = MinDouble(*lo, *hi), h1 = MaxDouble(*lo, *hi);
  const double l2 = MinDouble(a, b), h2 = MaxDouble(a, b);
  if (h1 < l2 || h2 < l1) return 0;
  *lo = MaxDouble(l1, l2);
  *hi = MinDouble(h1, h2);
  return 1;
}

int IntersectRangesInt(int32_t* lo, int32_t* hi, int32_t a, int32_t b) {
  if (!lo || !hi) return 0;
  const int32_t l1 = *lo < *hi ? *lo : *hi, h1 = *lo < *hi ? *hi : *lo;
  const int32_t l2 = a < b ? a : b, h2 = a < b ? b : a;
  if (h1 < l2 || h2 < l1) return 0;
  *lo = l1 > l2 ? l1 : l2;
  *hi = h1 < h2 ? h1 : h2;
  return 1;
}

double RoundHalfAwayFromZero(double x) {
  const double y = x >= 0 ? x + 0.5 : x - 0.5;
  if (!FitsInt64(y)) return x;
  return static_cast<double>(static_cast<int64_t>(y));
}

double TruncateToInteger(double x) {
  if (!FitsInt64(x)) return x;
  return static_cast<double>(static_cast<int64_t>(x));
}

double RoundToDecimals(double x, int n) {
  const double s = n <= 0 ? 1.0 : std::pow(10.0, n);
  double y = x * s;
  if (RoundHalfAwayFromZero((y - TruncateToInteger(y)) * 10.0) >= 5.0) y += 0.1;
  return RoundHalfAwayFromZero(y) / s;
}

double RoundToMultiple(double a, double step) {
  double q = a / step;
  q += a > 0 ? 0.5 : -0.5;
  return TruncateToInteger(q) * step;
}

int32_t GetDigitAt(int32_t a, int32_t b) { return b > 0 ? (a / b) % 10 : 0; }

int16_t GetDigitAtShort(int16_t a, int16_t b) {
  return static_cast<int16_t>(b > 0 ? (a / b) % 10 : 0);
}

void SplitDigits2(int32_t value, int32_t* tens, int32_t* ones) {
  if (tens) *tens = GetDigitAt(value, 10);
  if (ones) *ones = GetDigitAt(value, 1);
}
void SplitDigits3(int32_t value, int32_t* hundreds, int32_t* tens, int32_t* ones) {
  if (hundreds) *hundreds = GetDigitAt(value, 100);
  SplitDigits2(value, tens, ones);
}
void SplitDigits4(int32_t value, int32_t* thousands, int32_t* hundreds, int32_t* tens,
                  int32_t* ones) {
  if (thousands) *thousands = GetDigitAt(value, 1000);
  SplitDigits3(value, hundreds, tens, ones);
}
void SplitDigits2Short(int16_t value, int16_t* tens, int16_t* ones) {
  if (tens) *tens = GetDigitAtShort(value, 10);
  if (ones) *ones = GetDigitAtShort(value, 1);
}
void SplitDigits3Short(int16_t value, int16_t* hundreds, int16_t* tens, int16_t* ones) {
  if (hundreds) *hundreds = GetDigitAtShort(value, 100);
  SplitDigits2Short(value, tens, ones);
}
void SplitDigits4Short(int16_t value, int16_t* thousands, int16_t* hundreds, int16_t* tens,
                       int16_t* ones) {
  if (thousands) *thousands = GetDigitAtShort(value, 1000);
  SplitDigits3Short(value, hundreds, tens, ones);
}

int CountDigits(uint32_t value) {
  int n = 1;
  while (value >= 10) {
    value /= 10;
    ++n;
  }
  return n;
}

int CountDigitsInt(int32_t value) {
  const int64_t v = value;
  return CountDigits(static_cast<uint32_t>(v < 0 ? -v : v));
}

int CountDigitsUShort(uint16_t value) { return CountDigits(value); }

int32_t SumByteDifferences(const char* a, const char* b, int32_t length, int32_t limit,
                           int32_t cutValue) {
  if (!a || !b || length <= 0) return 0;
  int64_t sum = 0;
  for (int32_t i = 0; i < length; ++i) {
    const int ua = static_cast<unsigned char>(a[i]);
    const int ub = static_cast<unsigned char>(b[i]);
    if (ua == ub) continue;
    sum += ua > ub ? ua - ub : ub - ua;
    if (sum > limit) return cutValue;
  }
  return static_cast<int32_t>(sum);
}

int SolveLinear(double a, double b, double* x) {
  if (std::fabs(a) < kLengthTolerance) return 0;
  if (x) *x = -b / a;
  return 1;
}

int SolveQuadratic(double a, double b, double c, double* x1, double* x2) {
  if (std::fabs(a) < kLengthTolerance) return SolveLinear(b, c, x1);
  const double d = b * b - 4.0 * a * c;
  if (d < 0) return 0;
  const double root = std::sqrt(d);
  const double r1 = (-b - root) / (2.0 * a);
  const double r2 = (root - b) / (2.0 * a);
  if (x1) *x1 = r1;
  if (x2) *x2 = r2;
  return std::fabs(r2 - r1) < kLengthTolerance ? 1 : 2;
}

// ---------------------------------------------------------------------------
// Point measures

double GetDistance(double x1, double y1, double x2, double y2) {
  return std::sqrt(GetDistanceSquared(x1, y1, x2, y2));
}

double GetDistanceSquared(double x1, double y1, double x2, double y2) {
  const double dx = x2 - x1, dy = y2 - y1;
  return dx * dx + dy * dy;
}

double CalcDistanceInt(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  return GetDistance(x1, y1, x2, y2);
}

int32_t GetDistanceSquaredInt(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const auto dx = static_cast<uint64_t>(int64_t{x2} - x1);
  const auto dy = static_cast<uint64_t>(int64_t{y2} - y1);
  return static_cast<int32_t>(dx * dx + dy * dy);  // the low 32 bits
}

double GetDistance3D(double x1, double y1, double z1, double x2, double y2, double z2) {
  const double dx = x2 - x1, dy = y2 - y1, dz = z2 - z1;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

double GetCross(double x1, double y1, double x2, double y2, double x3, double y3) {
  return (x2 - x1) * (y3 - y1) - (y2 - y1) * (x3 - x1);
}

int64_t GetCrossInt(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3) {
  const __int128 r = static_cast<__int128>(int64_t{x2} - x1) * (int64_t{y3} - y1) -
                     static_cast<__int128>(int64_t{y2} - y1) * (int64_t{x3} - x1);
  return static_cast<int64_t>(r);
}

double GetDot(double x1, double y1, double x2, double y2, double x3, double y3) {
  return (x2 - x1) * (x3 - x1) + (y2 - y1) * (y3 - y1);
}

void GetMidpoint(double x1, double y1, double x2, double y2, double* x, double* y) {
  if (x) *x = (x1 + x2) / 2.0;
  if (y) *y = (y1 + y2) / 2.0;
}

int GetCosAngle(double x1, double y1, double x2, double y2, double x3, double y3, double* c) {
  const double b = GetDistance(x1, y1, x2, y2), d = GetDistance(x1, y1, x3, y3);
  if (b < kLengthTolerance || d < kLengthTolerance) return 0;
  if (c) *c = GetDot(x1, y1, x2, y2, x3, y3) / (b * d);
  return 1;
}

int GetDirection(double x1, double y1, double x2, double y2, double* sine, double* cosine) {
  const double l = GetDistance(x1, y1, x2, y2);
  if (!(l > kLengthTolerance)) return 0;
  if (sine) *sine = (y2 - y1) / l;
  if (cosine) *cosine = (x2 - x1) / l;
  return 1;
}

int GetLeftNormal(double x1, double y1, double x2, double y2, double* sine, double* cosine) {
  double s = 0, c = 0;
  if (!GetDirection(x1, y1, x2, y2, &s, &c)) return 0;
  if (sine) *sine = c;
  if (cosine) *cosine = -s;
  return 1;
}

int GetSignedDistanceToLine(double x1, double y1, double x2, double y2, double px, double py,
                            double* d) {
  const double l = GetDistance(x1, y1, x2, y2);
  if (!(l > kLengthTolerance)) return 0;
  if (d) *d = GetCross(x1, y1, x2, y2, px, py) / l;
  return 1;
}

int IsPointNearLine(double x1, double y1, double x2, double y2, double px, double py,
                    double tolerance) {
  double d = 0;
  if (!GetSignedDistanceToLine(x1, y1, x2, y2, px, py, &d)) return 0;
  return std::fabs(d) <= tolerance ? 1 : 0;
}

int IsPointOnSegment(double x1, double y1, double x2, double y2, double px, double py,
                     double tolerance) {
  return IsPointNearLine(x1, y1, x2, y2, px, py, tolerance) &&
                 GetDot(x1, y1, x2, y2, px, py) >= 0 && GetDot(x2, y2, x1, y1, px, py) >= 0
             ? 1
             : 0;
}

int IsFootOnSegment(double x1, double y1, double x2, double y2, double px, double py) {
  return GetDistance(x1, y1, x2, y2) > kLengthTolerance && GetDot(x1, y1, x2, y2, px, py) >= 0 &&
                 GetDot(x2, y2, x1, y1, px, py) >= 0
             ? 1
             : 0;
}

int ArePointsNear(double x1, double y1, double x2, double y2, double tolerance) {
  return std::fabs(x2 - x1) <= tolerance && std::fabs(y2 - y1) <= tolerance ? 1 : 0;
}

int ArePointsEqualInt(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  return x1 == x2 && y1 == y2 ? 1 : 0;
}

int AreSegmentsEqual(double px1, double py1, double px2, double py2, double qx1, double qy1,
                     double qx2, double qy2, double tolerance) {
  return ArePointsNear(px1, py1, qx1, qy1, tolerance) &&
                 ArePointsNear(px2, py2, qx2, qy2, tolerance)
             ? 1
             : 0;
}

int AreSegmentsCoincident(double px1, double py1, double px2, double py2, double qx1, double qy1,
                          double qx2, double qy2, double tolerance) {
  return AreSegmentsEqual(px1, py1, px2, py2, qx1, qy1, qx2, qy2, tolerance) ||
                 AreSegmentsEqual(px1, py1, px2, py2, qx2, qy2, qx1, qy1, tolerance)
             ? 1
             : 0;
}

// ---------------------------------------------------------------------------
// Angles

int GetDirectionAngle(double dx, double dy, double* angle) {
  if (!(std::sqrt(dx * dx + dy * dy) >= kLengthTolerance)) return 0;
  const double ax = std::fabs(dx), ay = std::fabs(dy);
  double a = 0;
  if (dy >= 0) {
    if (ax < kLengthTolerance)
      a = kPi / 2.0;
    else if (dx > 0)
      a = std::atan(dy / dx);
    else
      a = kPi - std::atan(ay / ax);
  } else {
    if (ax < kLengthTolerance)
      a = 4.71238898038469;
    else if (dx > 0)
      a = 2.0 * kPi - std::atan(ay / ax);
    else
      a = kPi + std::atan(ay / ax);
  }
  if (angle) *angle = a;
  return 1;
}

int GetDirectionAngleDeg(double dx, double dy, double* angle) {
  double a = 0;
  if (!GetDirectionAngle(dx, dy, &a)) return 0;
  if (angle) *angle = RadToDeg(a);
  return 1;
}

int GetAngleAt(double x1, double y1, double x2, double y2, double x3, double y3, double* angle) {
  double s = 0, c = 0;
  if (!GetDirection(x1, y1, x2, y2, &s, &c)) return 0;
  double x = 0, y = 0;
  RotateAround(x1, y1, x3, y3, c, -s, &x, &y);
  return GetDirectionAngle(x - x1, y - y1, angle);
}

int GetAngleAtDeg(double x1, double y1, double x2, double y2, double x3, double y3, double* angle) {
  double a = 0;
  if (!GetAngleAt(x1, y1, x2, y2, x3, y3, &a)) return 0;
  if (angle) *angle = RadToDeg(a);
  return 1;
}

int GetSignedAngleAt(double x1, double y1, double x2, double y2, double x3, double y3,
                     double* angle) {
  if (!(GetDistance(x1, y1, x2, y2) > kLengthTolerance) ||
      !(GetDistance(x1, y1, x3, y3) > kLengthTolerance))
    return 0;
  double a = 0;
  if (!GetAngleAt(x1, y1, x2, y2, x3, y3, &a)) return 0;
  if (a >= kPi) a -= 2.0 * kPi;
  if (angle) *angle = a;
  return 1;
}

double GetVertexAngle(double x1, double y1, double x2, double y2, double x3, double y3) {
  const double b = GetDistance(x1, y1, x2, y2);
  const double c = GetDistance(x1, y1, x3, y3);
  const double o = GetDistance(x2, y2, x3, y3);
  double k = 1.0;
  if (b > kLengthTolerance && c > kLengthTolerance) k = (b * b + c * c - o * o) / (2.0 * b * c);
  ClampDouble(&k, -1.0, 1.0);
  const double h = (x1 - x2) * (y2 + y1) + (x2 - x3) * (y2 + y3) + (x3 - x1) * (y3 + y1);
  if (std::fabs(k) > 1e-5) {
    double magnitude = std::atan(std::sqrt(1.0 / (k * k) - 1.0));
    if (k < 0) magnitude = kPi - magnitude;
    return h >= 0 ? magnitude : -magnitude;
  }
  return h >= 0 ? kPi / 2.0 : -kPi / 2.0;
}

// ---------------------------------------------------------------------------
// Turning, scaling and projecting

void RotateAround(double cx, double cy, double px, double py, double cosine, double sine, double* x,
                  double* y) {
  const double dx = px - cx, dy = py - cy;
  if (x) *x = cx + dx * cosine - dy * sine;
  if (y) *y = cy + dx * sine + dy * cosine;
}

void RotateAroundByAngle(double cx, double cy, double px, double py, double angle, double* x,
                         double* y) {
  RotateAround(cx, cy, px, py, std::cos(angle), std::sin(angle), x, y);
}

int RotateAroundInt(int32_t cx, int32_t cy, int32_t px, int32_t py, int32_t cosine, int32_t sine,
                    int32_t denominator, int32_t* x, int32_t* y) {
  if (denominator <= 0) return 0;
  const __int128 dx = int64_t{px} - cx, dy = int64_t{py} - cy;
  const __int128 rx = (dx * cosine - dy * sine) / denominator;
  const __int128 ry = (dx * sine + dy * cosine) / denominator;
  if (x) *x = static_cast<int32_t>(static_cast<int64_t>(cx + rx));
  if (y) *y = static_cast<int32_t>(static_cast<int64_t>(cy + ry));
  return 1;
}

void ScaleAfterRotate(double x0, double y0, double px, double py, double angle, double sx,
                      double sy, double* x, double* y) {
  double rx = 0, ry = 0;
  RotateAroundByAngle(x0, y0, px, py, angle, &rx, &ry);
  if (x) *x = x0 + (rx - x0) * sx;
  if (y) *y = y0 + (ry - y0) * sy;
}

void ScaleAfterRotateUniform(double x0, double y0, double px, double py, double angle, double scale,
                             double* x, double* y) {
  ScaleAfterRotate(x0, y0, px, py, angle, scale, scale, x, y);
}

void RotateAfterScale(double x0, double y0, double px, double py, double sx, double sy,
                      double angle, double* x, double* y) {
  RotateAroundByAngle(x0, y0, x0 + (px - x0) * sx, y0 + (py - y0) * sy, angle, x, y);
}

void RotateAfterScaleUniform(double x0, double y0, double px, double py, double scale, double angle,
                             double* x, double* y) {
  RotateAfterScale(x0, y0, px, py, scale, scale, angle, x, y);
}

int ProjectPerspective(double x, double y, double z, double f, double* outX, double* outY) {
  if (!(std::fabs(z) >= kLengthTolerance)) return 0;
  if (outX) *outX = x * f / z;
  if (outY) *outY = y * f / z;
  return 1;
}

int ProjectFromEye(double x, double y, double z, double d, double* outX, double* outY) {
  if (!(std::fabs(z + d) >= kLengthTolerance)) return 0;
  if (outX) *outX = x * d / (z + d);
  if (outY) *outY = y * d / (z + d);
  return 1;
}

// ---------------------------------------------------------------------------
// Rectangles

int IsPointInRect(double x, double y, const double rect[4]) {
  if (!rect) return 0;
  return rect[0] <= x && x <= rect[2] && rect[1] <= y && y <= rect[3] ? 1 : 0;
}

int IsPointInIntRect(int32_t x, int32_t y, const int32_t rect[4]) {
  if (!rect) return 0;
  return rect[0] <= x && x <= rect[2] && rect[1] <= y && y <= rect[3] ? 1 : 0;
}

void CopyRect(double dst[4], const double src[4]) {
  if (!dst || !src) return;
  for (int i = 0; i < 4; ++i) dst[i] = src[i];
}

uint16_t GetOutCode(double x, double y, const double rect[4]) {
  uint16_t code = 0;
  if (y > rect[3] + kLengthTolerance) code |= 0x0001;
  if (y < rect[1] - kLengthTolerance) code |= 0x0010;
  if (x > rect[2] + kLengthTolerance) code |= 0x0100;
  if (x < rect[0] - kLengthTolerance) code |= 0x1000;
  return code;
}

int ClassifyPointOnRect(double x, double y, const double rect[4], double tolerance) {
  const double minX = rect[0], minY = rect[1], maxX = rect[2], maxY = rect[3];
  if (ArePointsNear(x, y, minX, maxY, tolerance)) return 1;
  if (ArePointsNear(x, y, maxX, maxY, tolerance)) return 2;
  if (ArePointsNear(x, y, maxX, minY, tolerance)) return 3;
  if (ArePointsNear(x, y, minX, minY, tolerance)) return 4;
  if (IsPointOnSegment(minX, maxY, maxX, maxY, x, y, tolerance)) return 5;
  if (IsPointOnSegment(maxX, maxY, maxX, minY, x, y, tolerance)) return 6;
  if (IsPointOnSegment(maxX, minY, minX, minY, x, y, tolerance)) return 7;
  if (IsPointOnSegment(minX, minY, minX, maxY, x, y, tolerance)) return 8;
  return IsPointInRect(x, y, rect) ? 0 : -1;
}

int IsNearRectCorner(double px, double py, const double rect[4], double tolerance) {
  return IsNearCorner(px, py, rect[0], rect[1], rect[2], rect[3], tolerance);
}

int IsNearCorner(double px, double py, double c1x, double c1y, double c2x, double c2y,
                 double tolerance) {
  return ArePointsNear(px, py, c1x, c1y, tolerance) || ArePointsNear(px, py, c2x, c2y, tolerance)
             ? 1
             : 0;
}

int IsNearCornerOfBoth(double px, double py, const double rect1[4], const double rect2[4],
                       double tolerance) {
  return IsNearRectCorner(px, py, rect1, tolerance) && IsNearRectCorner(px, py, rect2, tolerance)
             ? 1
             : 0;
}

void MakeRectFromCorners(double x1, double y1, double x2, double y2, double* left, double* bottom,
                         double* width, double* height) {
  if (left) *left = MinDouble(x1, x2);
  if (bottom) *bottom = MinDouble(y1, y2);
  if (width) *width = std::fabs(x2 - x1);
  if (height) *height = std::fabs(y2 - y1);
}

void MakeIntRectFromCorners(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t* left,
                            int32_t* top, int32_t* width, int32_t* height) {
  const int64_t w = int64_t{x2} - x1, h = int64_t{y2} - y1;
  if (left) *left = x1 < x2 ? x1 : x2;
  if (top) *top = y1 < y2 ? y1 : y2;
  if (width) *width = static_cast<int32_t>((w < 0 ? -w : w) + 1);
  if (height) *height = static_cast<int32_t>((h < 0 ? -h : h) + 1);
}

namespace {

void BoxOf(const double p[8], double box[4]) {
  box[0] = Min4(p[0], p[2], p[4], p[6]);
  box[1] = Min4(p[1], p[3], p[5], p[7]);
  box[2] = Max4(p[0], p[2], p[4], p[6]);
  box[3] = Max4(p[1], p[3], p[5], p[7]);
}

}  // namespace

int DoPointSetBoxesOverlap(const double a[8], const double b[8]) {
  if (!a || !b) return 0;
  double ba[4], bb[4];
  BoxOf(a, ba);
  BoxOf(b, bb);
  return ba[0] <= bb[2] && bb[0] <= ba[2] && ba[1] <= bb[3] && bb[1] <= ba[3] ? 1 : 0;
}

int DoesRectOverlapPoints(double x1, double y1, double x2, double y2, const double points[8]) {
  const double corners[8] = {x1, y1, x2, y1, x2, y2, x1, y2};
  return DoPointSetBoxesOverlap(corners, points);
}

int MapToIntRect(double x, double y, int32_t* ix, int32_t* iy, const int32_t intRect[4],
                 const double rect[4]) {
  if (!intRect || !rect) return 0;
  const double w = rect[2] - rect[0], h = rect[3] - rect[1];
  if (!(std::fabs(w) > kLengthTolerance) || !(std::fabs(h) > kLengthTolerance)) return 0;
  const double fx =
      ((x - rect[0]) / w) * (static_cast<double>(intRect[2]) - intRect[0]) + intRect[0];
  const double fy =
      ((rect[3] - y) / h) * (static_cast<double>(intRect[3]) - intRect[1]) + intRect[1];
  if (!FitsInt32(fx) || !FitsInt32(fy)) return 0;
  if (ix) *ix = static_cast<int32_t>(fx);
  if (iy) *iy = static_cast<int32_t>(fy);
  return 1;
}

int FindGridCells(double x, double y, double c1x, double c1y, double c2x, double c2y,
                  int32_t columns, int32_t rows, int32_t* cells) {
  const double minX = MinDouble(c1x, c2x), maxX = MaxDouble(c1x, c2x);
  const double minY = MinDouble(c1y, c2y), maxY = MaxDouble(c1y, c2y);
  if (!((maxX - minX) > kLengthTolerance) || !((maxY - minY) > kLengthTolerance) || columns <= 0 ||
      rows <= 0)
    return 0;
  const double w = (maxX - minX) / columns, h = (maxY - minY) / rows;
  // The point's cell, kept near the grid so that far points cannot overflow.
  double fc = (x - minX) / w, fr = (y - minY) / h;
  if (!(fc > -2.0)) fc = -2.0;
  if (!(fc < columns + 2.0)) fc = columns + 2.0;
  if (!(fr > -2.0)) fr = -2.0;
  if (!(fr < rows + 2.0)) fr = rows + 2.0;
  const int64_t c = static_cast<int64_t>(fc), r = static_cast<int64_t>(fr);
  int count = 0;
  for (int64_t rr = r - 1; rr <= r + 1; ++rr) {
    if (rr < 0 || rr >= rows) continue;
    for (int64_t cc = c - 1; cc <= c + 1; ++cc) {
      if (cc < 0 || cc >= columns) continue;
      const double cell[4] = {minX + cc * w, minY + rr * h, minX + (cc + 1) * w,
                              minY + (rr + 1) * h};
      if (!IsPointInRect(x, y, cell)) continue;
      if (cells) cells[count] = static_cast<int32_t>(cc + columns * rr);
      ++count;
    }
  }
  return count;
}

// ---- Lines in normal form ----

int GetLineFromPoints(double x1, double y1, double x2, double y2, NormalLine* line) {
  double sine = 0, cosine = 0;
  if (!line || !GetDirection(x1, y1, x2, y2, &sine, &cosine)) return 0;
  line->a = sine;
  line->b = -cosine;
  line->c = -(line->a * x1 + line->b * y1);
  return 1;
}

int GetPerpendicularLine(double x, double y, const NormalLine& line, NormalLine* out) {
  if (!out) return 0;
  const double a = -line.b;
  const double b = line.a;
  out->a = a;
  out->b = b;
  out->c = -(a * x + b * y);
  return 1;
}

int IntersectLines(const NormalLine& line1, const NormalLine& line2, double* x, double* y,
                   double tolerance) {
  const double det = line2.a * line1.b - line1.a * line2.b;
  if (GetAbsDiff(det, 0.0) <= tolerance) return 0;
  if (x) *x = (line2.b * line1.c - line1.b * line2.c) / det;
  if (y) *y = (line1.a * line2.c - line2.a * line1.c) / det;
  return 1;
}

int IntersectLinesFromPoints(double x1, double y1, double x2, double y2, double x3, double y3,
                             double x4, double y4, double* x, double* y, double tolerance) {
  NormalLine l1{}, l2{};
  if (!GetLineFromPoints2(x1, y1, x2, y2, &l1) || !GetLineFromPoints2(x3, y3, x4, y4, &l2))
    return 0;
  return IntersectLines(l1, l2, x, y, tolerance);
}

int GetPerpendicularFoot(double x1, double y1, double x2, double y2, double px, double py,
                         double* x, double* y) {
  NormalLine line{}, perpendicular{};
  if (!GetLineFromPoints(x1, y1, x2, y2, &line)) return 0;
  GetPerpendicularLine(px, py, line, &perpendicular);
  return IntersectLines(line, perpendicular, x, y, kLengthTolerance);
}
