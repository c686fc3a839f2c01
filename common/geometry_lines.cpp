#include "common/geometry_lines.h"

#include <cmath>

namespace {

constexpr double kTol = kLengthTolerance;

void Put(double* out, double value) {
  if (out) *out = value;
}

// Unit direction (cosine, sine) of P1→P2 as a vector.
int UnitVector(double x1, double y1, double x2, double y2, double* ux, double* uy) {
  double s = 0, c = 0;
  if (!GetDirection(x1, y1, x2, y2, &s, &c)) return 0;
  *ux = c;
  *uy = s;
  return 1;
}

// The foot of P on a line.
int FootOnLine(const NormalLine& line, double px, double py, double* x, double* y) {
  NormalLine perpendicular{};
  GetPerpendicularLine(px, py, line, &perpendicular);
  return IntersectLines(line, perpendicular, x, y, kTol);
}

double Cross(const double q[8], int i, int j, int k) {
  return GetCross(q[2 * i], q[2 * i + 1], q[2 * j], q[2 * j + 1], q[2 * k], q[2 * k + 1]);
}

void SwapPoints(double q[8], int i, int j) {
  double x = q[2 * i], y = q[2 * i + 1];
  q[2 * i] = q[2 * j];
  q[2 * i + 1] = q[2 * j + 1];
  q[2 * j] = x;
  q[2 * j + 1] = y;
}

// Sorts three values ascending.
void Sort3(double v[3]) {
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2 - i; ++j)
      if (v[j] > v[j + 1]) {
        const double t = v[j];
        v[j] = v[j + 1];
        v[j + 1] = t;
      }
}

}  // namespace

// ---- Lines ----

int GetParallelLine(double x, double y, const NormalLine& line, NormalLine* out) {
  if (!out) return 0;
  out->a = line.a;
  out->b = line.b;
  out->c = -(line.a * x + line.b * y);
  return 1;
}

int GetOffsetLine(double d, const NormalLine& line, NormalLine* out) {
  if (!out) return 0;
  const double a = line.a, b = line.b, c = line.c;
  out->a = a;
  out->b = b;
  out->c = std::sqrt(a * a + b * b) * d + c;
  return 1;
}

int IntersectSegmentWithHorizontal(double yLevel, double x1, double y1, double x2, double y2,
                                   double* x, double* y) {
  if ((yLevel - y1) * (yLevel - y2) > 0) return 0;
  return IntersectLinesFromPoints(x1, y1, x2, y2, 0, yLevel, 10000, yLevel, x, y, kTol);
}

int IntersectSegmentWithVertical(double xLevel, double x1, double y1, double x2, double y2,
                                 double* x, double* y) {
  if ((xLevel - x1) * (xLevel - x2) > 0) return 0;
  return IntersectLinesFromPoints(x1, y1, x2, y2, xLevel, 0, xLevel, 10000, x, y, kTol);
}

int IntersectLineWithDirection(double px, double py, double q1x, double q1y, double q2x, double q2y,
                               double angleDeg, double* x, double* y) {
  double ex = 0, ey = 0;
  RotateAroundByAngle(px, py, px + 10000, py, DegToRad(angleDeg), &ex, &ey);
  return IntersectLinesFromPoints(q1x, q1y, q2x, q2y, px, py, ex, ey, x, y, kTol);
}

// ---- Segments ----

int IntersectSegments(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                      double y4, double* x, double* y, double position, double determinant) {
  double ix = 0, iy = 0;
  if (!IntersectLinesFromPoints(x1, y1, x2, y2, x3, y3, x4, y4, &ix, &iy, determinant)) return 0;
  Put(x, ix);
  Put(y, iy);
  const double t = position;
  if (ix < MinDouble(x1, x2) - t || ix > MaxDouble(x1, x2) + t) return 0;
  if (iy < MinDouble(y1, y2) - t || iy > MaxDouble(y1, y2) + t) return 0;
  if (ix < MinDouble(x3, x4) - t || ix > MaxDouble(x3, x4) + t) return 0;
  if (iy < MinDouble(y3, y4) - t || iy > MaxDouble(y3, y4) + t) return 0;
  return 1;
}

int IntersectRayWithSegment(double x1, double y1, double x2, double y2, double x3, double y3,
                            double x4, double y4, double* x, double* y) {
  double ix = 0, iy = 0;
  if (!IntersectLinesFromPoints(x1, y1, x2, y2, x3, y3, x4, y4, &ix, &iy, kTol)) return 0;
  if (IsPointOnSegment(x3, y3, x4, y4, x1, y1, kTol) &&
      IsPointOnSegment(x3, y3, x4, y4, x2, y2, kTol))
    return 0;
  if (GetDot(x1, y1, x2, y2, ix, iy) <= 0) return 0;
  Put(x, ix);
  Put(y, iy);
  return IsPointOnSegment(x3, y3, x4, y4, ix, iy, kTol);
}

int GetPerpendicularFootOffLine(double x1, double y1, double x2, double y2, double px, double py,
                                double* x, double* y) {
  double d = 0;
  if (!GetSignedDistanceToLine(x1, y1, x2, y2, px, py, &d) || std::fabs(d) <= kTol) return 0;
  return GetPerpendicularFoot(x1, y1, x2, y2, px, py, x, y);
}

int ReflectPoint(double x1, double y1, double x2, double y2, double px, double py, double* x,
                 double* y) {
  double fx = 0, fy = 0;
  if (!GetPerpendicularFoot(x1, y1, x2, y2, px, py, &fx, &fy)) return 0;
  if (GetDistance(px, py, fx, fy) <= kTol) {
    Put(x, px);
    Put(y, py);
    return 1;
  }
  Put(x, fx + (fx - px));
  Put(y, fy + (fy - py));
  return 1;
}

int GetSegmentOverlap(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                      double y4, double* q1x, double* q1y, double* q2x, double* q2y) {
  double px[4], py[4];
  int n = 0;
  auto collect = [&](double ax, double ay, double bx, double by, double cx, double cy) {
    if (IsPointOnSegment(ax, ay, bx, by, cx, cy, kTol)) {
      px[n] = cx;
      py[n] = cy;
      ++n;
    }
  };
  collect(x1, y1, x2, y2, x3, y3);
  collect(x1, y1, x2, y2, x4, y4);
  collect(x3, y3, x4, y4, x1, y1);
  collect(x3, y3, x4, y4, x2, y2);
  if (n < 2) return 0;
  int second = 1;
  for (int i = 1; i < n; ++i)
    if (!ArePointsNear(px[0], py[0], px[i], py[i], kTol)) {
      second = i;
      break;
    }
  Put(q1x, px[0]);
  Put(q1y, py[0]);
  Put(q2x, px[second]);
  Put(q2y, py[second]);
  return 1;
}

// ---- Constructions on a segment ----

int OffsetSegment4(double x1, double y1, double x2, double y2, double* ox1, double* oy1,
                   double* ox2, double* oy2, double d) {
  NormalLine line{}, offset{}, p1{}, p2{};
  if (!GetLineFromPoints(x1, y1, x2, y2, &line)) return 0;
  GetOffsetLine(d, line, &offset);
  GetPerpendicularLine(x1, y1, line, &p1);
  GetPerpendicularLine(x2, y2, line, &p2);
  double ax = 0, ay = 0, bx = 0, by = 0;
  if (!IntersectLines(offset, p1, &ax, &ay, kTol) || !IntersectLines(offset, p2, &bx, &by, kTol))
    return 0;
  Put(ox1, ax);
  Put(oy1, ay);
  Put(ox2, bx);
  Put(oy2, by);
  return 1;
}

int OffsetSegment(double x1, double y1, double x2, double y2, double out[4], double d) {
  if (!out) return 0;
  return OffsetSegment4(x1, y1, x2, y2, &out[0], &out[1], &out[2], &out[3], d);
}

int OffsetSegmentInt(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t out[4], int32_t d) {
  double r[4];
  if (!out || !OffsetSegment(x1, y1, x2, y2, r, d)) return 0;
  for (int i = 0; i < 4; ++i) {
    const double t = TruncateToInteger(r[i]);
    if (!(t >= INT32_MIN && t <= INT32_MAX)) return 0;
    out[i] = static_cast<int32_t>(t);
  }
  return 1;
}

int MakeBandToPoint(double x1, double y1, double x2, double y2, double px, double py,
                    double quad[8]) {
  NormalLine line{}, parallel{};
  if (!quad || !GetLineFromPoints(x1, y1, x2, y2, &line)) return 0;
  GetParallelLine(px, py, line, &parallel);
  double ax = 0, ay = 0, bx = 0, by = 0;
  if (!FootOnLine(parallel, x1, y1, &ax, &ay) || !FootOnLine(parallel, x2, y2, &bx, &by)) return 0;
  const double r[8] = {x1, y1, x2, y2, ax, ay, bx, by};
  for (int i = 0; i < 8; ++i) quad[i] = r[i];
  return 1;
}

int MakeRectAroundSegment(double x1, double y1, double x2, double y2, double width,
                          double quad[8]) {
  double ux = 0, uy = 0;
  if (!quad || width <= 0 || !UnitVector(x1, y1, x2, y2, &ux, &uy)) return 0;
  const double h = width / 2, nx = -uy * h, ny = ux * h;
  const double r[8] = {x1 + nx, y1 + ny, x2 + nx, y2 + ny, x1 - nx, y1 - ny, x2 - nx, y2 - ny};
  for (int i = 0; i < 8; ++i) quad[i] = r[i];
  return 1;
}

int MakeCrossPairAt(double x1, double y1, double x2, double y2, double width, double out[4]) {
  double ux = 0, uy = 0;
  if (!out || !UnitVector(x1, y1, x2, y2, &ux, &uy)) return 0;
  const double h = width / 2, mx = uy * h, my = -ux * h;
  out[0] = x1 + mx;
  out[1] = y1 + my;
  out[2] = x1 - mx;
  out[3] = y1 - my;
  return 1;
}

int MakeBoxAroundSegment(double x1, double y1, double x2, double y2, double width, double quad[8]) {
  double ux = 0, uy = 0;
  if (!quad || !UnitVector(x1, y1, x2, y2, &ux, &uy)) return 0;
  const double h = width / 2, mx = uy * h, my = -ux * h;
  const double r[8] = {x1 + mx, y1 + my, x1 - mx, y1 - my, x2 + mx, y2 + my, x2 - mx, y2 - my};
  for (int i = 0; i < 8; ++i) quad[i] = r[i];
  return 1;
}

int MakeCrossSegment(double x1, double y1, double x2, double y2, double length, double* ax,
                     double* ay, double* bx, double* by) {
  double pair[4];
  if (!MakeCrossPairAt(x1, y1, x2, y2, length, pair)) return 0;
  Put(ax, pair[0]);
  Put(ay, pair[1]);
  Put(bx, pair[2]);
  Put(by, pair[3]);
  return 1;
}

int GetCentredSubsegment(double x1, double y1, double x2, double y2, double length, double* ax,
                         double* ay, double* bx, double* by) {
  double ux = 0, uy = 0, mx = 0, my = 0;
  if (!UnitVector(x1, y1, x2, y2, &ux, &uy)) return 0;
  GetMidpoint(x1, y1, x2, y2, &mx, &my);
  const double h = length / 2;
  Put(ax, mx - h * ux);
  Put(ay, my - h * uy);
  Put(bx, mx + h * ux);
  Put(by, my + h * uy);
  return 1;
}

int GetPointAlong(double x1, double y1, double x2, double y2, double d, double* x, double* y) {
  double ux = 0, uy = 0;
  if (!UnitVector(x1, y1, x2, y2, &ux, &uy)) return 0;
  Put(x, x1 + d * ux);
  Put(y, y1 + d * uy);
  return 1;
}

int GetPointAtAngleFrom(double x1, double y1, double x2, double y2, double angleDeg, double d,
                        double* x, double* y) {
  double ux = 0, uy = 0;
  if (!UnitVector(x1, y1, x2, y2, &ux, &uy)) return 0;
  const double a = DegToRad(angleDeg);
  double rx = 0, ry = 0;
  RotateAround(x2, y2, x2 + d * std::cos(a), y2 + d * std::sin(a), ux, uy, &rx, &ry);
  Put(x, rx);
  Put(y, ry);
  return 1;
}

int GetMeanDistancePoint(double x1, double y1, double x2, double y2, double x3, double y3,
                         double* x, double* y) {
  double mx = 0, my = 0;
  GetMidpoint(x2, y2, x3, y3, &mx, &my);
  const double d = (GetDistance(x1, y1, x2, y2) + GetDistance(x1, y1, x3, y3)) / 2;
  return GetPointAlong(x1, y1, mx, my, d, x, y);
}

int GetBisectorPoint(double x1, double y1, double x2, double y2, double x3, double y3, double d,
                     double* x, double* y) {
  double c1 = 0, s1 = 0, c2 = 0, s2 = 0;
  if (!UnitVector(x2, y2, x1, y1, &c1, &s1) || !UnitVector(x2, y2, x3, y3, &c2, &s2)) return 0;
  double vx = -(s2 - s1), vy = c2 - c1;
  const double length = std::sqrt(vx * vx + vy * vy);
  if (length < kTol) return 0;
  vx /= length;
  vy /= length;
  Put(x, x2 + d * vx);
  Put(y, y2 + d * vy);
  return 1;
}

int GetChordInCorner(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                     double y4, double rx, double ry, double out[4]) {
  NormalLine l1{}, l2{};
  if (!out || !GetLineFromPoints(x1, y1, x2, y2, &l1) || !GetLineFromPoints(x3, y3, x4, y4, &l2))
    return 0;
  double cx = 0, cy = 0;
  if (!IntersectLines(l1, l2, &cx, &cy, kTol)) return 0;
  double ax = x1, ay = y1, bx = x3, by = y3;
  if (ArePointsNear(x1, y1, cx, cy, kTol)) ax = x2, ay = y2;
  if (ArePointsNear(x3, y3, cx, cy, kTol)) bx = x4, by = y4;
  double u1x = 0, u1y = 0, u2x = 0, u2y = 0;
  if (!UnitVector(cx, cy, ax, ay, &u1x, &u1y) || !UnitVector(cx, cy, bx, by, &u2x, &u2y)) return 0;
  const double mx = cx + (u1x + u2x) / 2, my = cy + (u1y + u2y) / 2;
  NormalLine bisector{}, chord{};
  if (!GetLineFromPoints(cx, cy, mx, my, &bisector)) return 0;
  GetPerpendicularLine(rx, ry, bisector, &chord);
  double y1x = 0, y1y = 0, y2x = 0, y2y = 0;
  if (!IntersectLines(chord, l1, &y1x, &y1y, kTol) || !IntersectLines(chord, l2, &y2x, &y2y, kTol))
    return 0;
  if (GetDot(y1x, y1y, x1, y1, x2, y2) > 0 || GetDot(y2x, y2y, x3, y3, x4, y4) > 0) return 0;
  double zx = 0, zy = 0;
  if (!IntersectLinesFromPoints(cx, cy, rx, ry, y1x, y1y, y2x, y2y, &zx, &zy, kTol)) return 0;
  if (GetDot(zx, zy, y1x, y1y, y2x, y2y) > 0) return 0;
  out[0] = y1x;
  out[1] = y1y;
  out[2] = y2x;
  out[3] = y2y;
  return 1;
}

int GetOffsetCrossing(double x1, double y1, double x2, double y2, double x3, double y3, double g,
                      double h, double* x, double* y) {
  double q[4];
  if (!OffsetSegment4(x1, y1, x2, y2, &q[0], &q[1], &q[2], &q[3], g)) return 0;
  if (GetCross(x1, y1, x2, y2, x3, y3) * GetCross(x1, y1, x2, y2, q[0], q[1]) < kTol &&
      !OffsetSegment4(x1, y1, x2, y2, &q[0], &q[1], &q[2], &q[3], -g))
    return 0;
  double cx = 0, cy = 0;
  if (!IntersectLinesFromPoints(q[0], q[1], q[2], q[3], x2, y2, x3, y3, &cx, &cy, kTol)) return 0;
  if (!IsPointOnSegment(x2, y2, x3, y3, cx, cy, kTol)) return 0;
  double ux = 0, uy = 0;
  if (!UnitVector(q[2], q[3], q[0], q[1], &ux, &uy)) return 0;
  Put(x, cx + h * ux);
  Put(y, cy + h * uy);
  return 1;
}

// ---- Clipping ----

namespace {

// Moves end (x, y) onto the edges whose bits are set in its code, in the
// order top, bottom, right, left. Answers 1 when both codes become 0, 0 when
// not, -1 on a failed intersection.
int ClipEnd(double* x, double* y, uint16_t* code, double ox, double oy, const uint16_t* otherCode,
            const double r[4]) {
  struct Edge {
    uint16_t bit;
    double ax, ay, bx, by;
  };
  const Edge edges[4] = {{0x0001, r[0], r[3], r[2], r[3]},
                         {0x0010, r[0], r[1], r[2], r[1]},
                         {0x0100, r[2], r[1], r[2], r[3]},
                         {0x1000, r[0], r[1], r[0], r[3]}};
  for (const Edge& e : edges) {
    if (!(*code & e.bit)) continue;
    double ix = 0, iy = 0;
    if (!IntersectLinesFromPoints(ox, oy, *x, *y, e.ax, e.ay, e.bx, e.by, &ix, &iy, kTol))
      return -1;
    *x = ix;
    *y = iy;
    *code = GetOutCode(ix, iy, r);
    if (*code == 0 && *otherCode == 0) return 1;
  }
  return 0;
}

}  // namespace

int ClipSegmentToRect(double x1, double y1, double x2, double y2, const double rect[4], double* ox1,
                      double* oy1, double* ox2, double* oy2) {
  if (!rect) return 0;
  double ax = x1, ay = y1, bx = x2, by = y2;
  auto write = [&]() {
    Put(ox1, ax);
    Put(oy1, ay);
    Put(ox2, bx);
    Put(oy2, by);
  };
  write();
  uint16_t c1 = GetOutCode(ax, ay, rect), c2 = GetOutCode(bx, by, rect);
  if (c1 == 0 && c2 == 0) return 1;
  if (c1 & c2) return 0;
  if (c2 != 0) {
    const int r = ClipEnd(&bx, &by, &c2, ax, ay, &c1, rect);
    write();
    if (r != 0) return r == 1 ? 1 : 0;
  }
  if (c1 == 0) return 0;
  const int r = ClipEnd(&ax, &ay, &c1, bx, by, &c2, rect);
  write();
  return r == 1 ? 1 : 0;
}

// ---- Quadrilaterals and triangles ----

int IsPointInQuad(double x, double y, const double q[8]) {
  if (!q) return 0;
  const double c1 = GetCross(q[0], q[1], q[2], q[3], x, y);
  const double c2 = GetCross(q[2], q[3], q[4], q[5], x, y);
  const double c3 = GetCross(q[4], q[5], q[6], q[7], x, y);
  const double c4 = GetCross(q[6], q[7], q[0], q[1], x, y);
  return (c1 * c2 > 0 && c1 * c3 > 0 && c1 * c4 > 0) ? 1 : 0;
}

int IsPointInTriangle(double px, double py, double x1, double y1, double x2, double y2, double x3,
                      double y3) {
  const double c1 = GetCross(x1, y1, x2, y2, px, py);
  const double c2 = GetCross(x2, y2, x3, y3, px, py);
  const double c3 = GetCross(x3, y3, x1, y1, px, py);
  return (c1 * c2 < 0 || c1 * c3 < 0) ? 0 : 1;
}

int OrientQuad(double quad[8]) {
  if (!quad) return 0;
  if (Cross(quad, 0, 1, 2) > 0) SwapPoints(quad, 1, 3);
  return 1;
}

int OrderQuad(double q[8]) {
  if (!q) return 0;
  if (Cross(q, 0, 1, 2) * Cross(q, 0, 1, 3) < 0) {
    SwapPoints(q, 1, 2);
  } else if (Cross(q, 0, 2, 1) * Cross(q, 0, 2, 3) < 0) {
    // already in order
  } else if (Cross(q, 0, 3, 1) * Cross(q, 0, 3, 2) < 0) {
    SwapPoints(q, 2, 3);
  } else {
    return 0;
  }
  return OrientQuad(q);
}

int OrderQuadCopy(double quad[8]) {
  if (!quad) return 0;
  double copy[8];
  for (int i = 0; i < 8; ++i) copy[i] = quad[i];
  if (!OrderQuad(copy)) return 0;
  for (int i = 0; i < 8; ++i) quad[i] = copy[i];
  return 1;
}

int OrderQuadInt(int32_t quad[8]) {
  if (!quad) return 0;
  double copy[8];
  for (int i = 0; i < 8; ++i) copy[i] = quad[i];
  if (!OrderQuad(copy)) return 0;
  // The points were only exchanged, so every value is again a 32-bit integer.
  for (int i = 0; i < 8; ++i) quad[i] = static_cast<int32_t>(TruncateToInteger(copy[i]));
  return 1;
}

int AreTrianglesSimilar(const double t1[6], const double t2[6]) {
  if (!t1 || !t2) return 0;
  double a[3] = {GetDistance(t1[0], t1[1], t1[2], t1[3]), GetDistance(t1[2], t1[3], t1[4], t1[5]),
                 GetDistance(t1[4], t1[5], t1[0], t1[1])};
  double b[3] = {GetDistance(t2[0], t2[1], t2[2], t2[3]), GetDistance(t2[2], t2[3], t2[4], t2[5]),
                 GetDistance(t2[4], t2[5], t2[0], t2[1])};
  Sort3(a);
  Sort3(b);
  for (double side : a)
    if (side <= kTol) return 0;
  const double r1 = b[0] / a[0], r2 = b[1] / a[1], r3 = b[2] / a[2];
  return (std::fabs(r1 - r2) <= kTol && std::fabs(r1 - r3) <= kTol) ? 1 : 0;
}

// ---- Three dimensions ----

int GetNormal3D(double x1, double y1, double z1, double x2, double y2, double z2, double x3,
                double y3, double z3, double* nx, double* ny, double* nz) {
  const double ux = x2 - x1, uy = y2 - y1, uz = z2 - z1;
  const double vx = x3 - x1, vy = y3 - y1, vz = z3 - z1;
  Put(nx, uy * vz - uz * vy);
  Put(ny, uz * vx - ux * vz);
  Put(nz, ux * vy - uy * vx);
  return 1;
}

int GetUnitNormal3D(double x1, double y1, double z1, double x2, double y2, double z2, double x3,
                    double y3, double z3, double* nx, double* ny, double* nz) {
  double a = 0, b = 0, c = 0;
  GetNormal3D(x1, y1, z1, x2, y2, z2, x3, y3, z3, &a, &b, &c);
  const double length = std::sqrt(a * a + b * b + c * c);
  if (!(length >= kTol)) return 0;
  Put(nx, a / length);
  Put(ny, b / length);
  Put(nz, c / length);
  return 1;
}

int GetPlaneZ(double x1, double y1, double z1, double x2, double y2, double z2, double x3,
              double y3, double z3, double x, double y, double* z) {
  double a = 0, b = 0, c = 0;
  GetNormal3D(x1, y1, z1, x2, y2, z2, x3, y3, z3, &a, &b, &c);
  if (std::fabs(c) <= kTol) return 0;
  const double d = -(a * x2 + b * y2 + c * z2);
  Put(z, -(a * x + b * y + d) / c);
  return 1;
}

int GetDistanceToSegment(double x1, double y1, double x2, double y2, double px, double py,
                         double* d) {
  double fx = 0, fy = 0;
  double r = 0;
  if (GetPerpendicularFoot(x1, y1, x2, y2, px, py, &fx, &fy) &&
      GetDot(fx, fy, x1, y1, x2, y2) <= 0) {
    r = GetDistance(fx, fy, px, py);
  } else {
    r = MinDouble(GetDistance(x1, y1, px, py), GetDistance(x2, y2, px, py));
  }
  if (d) *d = r;
  return 1;
}

int GetAngleBetweenLines(double x1, double y1, double x2, double y2, double x3, double y3,
                         double x4, double y4, double rx, double ry, double* angle) {
  double x = 0, y = 0;
  if (!IntersectLinesFromPoints(x1, y1, x2, y2, x3, y3, x4, y4, &x, &y, kLengthTolerance)) return 0;
  const bool firstAtCrossing = ArePointsNear(x1, y1, x, y, kLengthTolerance) != 0;
  const bool secondAtCrossing = ArePointsNear(x3, y3, x, y, kLengthTolerance) != 0;
  const double ax = firstAtCrossing ? x2 : x1, ay = firstAtCrossing ? y2 : y1;
  const double bx = secondAtCrossing ? x4 : x3, by = secondAtCrossing ? y4 : y3;
  double alpha = 0, rho = 0;
  if (!GetAngleAt(x, y, ax, ay, bx, by, &alpha) || !GetAngleAt(x, y, ax, ay, rx, ry, &rho))
    return 0;
  if (alpha >= kPi) alpha -= kPi;
  if (rho >= kPi) rho -= kPi;
  if (angle) *angle = rho < alpha ? alpha : kPi - alpha;
  return 1;
}
