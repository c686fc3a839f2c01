#include "common/geometry_transforms.h"

#include <cmath>
#include <vector>

#include "common/allocation_guard.h"
#include "common/geometry_lines.h"

namespace {

constexpr double kTol = kLengthTolerance;
constexpr double kDetTolerance = 1e-17;
constexpr double kFar = 100000;

void Put(double* out, double value) {
  if (out) *out = value;
}

int UnitVector(PlanePoint from, PlanePoint to, PlanePoint* u) {
  double s = 0, c = 0;
  if (!GetDirection(from.x, from.y, to.x, to.y, &s, &c)) return 0;
  *u = {c, s};
  return 1;
}

PlanePoint Plus(PlanePoint p, double k, PlanePoint v) { return {p.x + k * v.x, p.y + k * v.y}; }

// v turned by +90°.
PlanePoint Left(PlanePoint v) { return {-v.y, v.x}; }

PlanePoint TurnAbout(PlanePoint centre, PlanePoint p, double angle) {
  PlanePoint r{};
  RotateAroundByAngle(centre.x, centre.y, p.x, p.y, angle, &r.x, &r.y);
  return r;
}

double Distance(PlanePoint a, PlanePoint b) { return GetDistance(a.x, a.y, b.x, b.y); }

int Affine(PlanePoint t1, PlanePoint t2, PlanePoint t3, PlanePoint s1, PlanePoint s2, PlanePoint s3,
           TransformCoefficients* out) {
  const PlanePoint targets[3] = {t1, t2, t3};
  const PlanePoint sources[3] = {s1, s2, s3};
  return MakeAffineTransform(targets, sources, out);
}

}  // namespace

// ---- Solving ----

int Solve2x2(double a, double b, double c, double d, double e, double f, double* x, double* y) {
  const double det = e * d - c * f;
  if (!(std::fabs(det) > kDetTolerance)) return 0;
  Put(x, (d * b - f * a) / det);
  Put(y, (e * a - c * b) / det);
  return 1;
}

int SolvePlaneCoefficients(double t1, double t2, double t3, double x1, double y1, double x2,
                           double y2, double x3, double y3, double* p, double* q, double* r) {
  double pp = 0, qq = 0;
  if (!Solve2x2(t1 - t2, t1 - t3, x1 - x2, y1 - y2, x1 - x3, y1 - y3, &pp, &qq)) return 0;
  Put(p, pp);
  Put(q, qq);
  Put(r, t1 - x1 * pp - y1 * qq);
  return 1;
}

int SolveBilinearCoefficients(const double t[4], const PlanePoint v[4], double* p, double* q,
                              double* c, double* d) {
  if (!t || !v) return 0;
  double w[4] = {0, 0, 0, 0};
  for (int i = 1; i < 4; ++i) {
    w[i] = v[0].x * v[0].y - v[i].x * v[i].y;
    if (!(std::fabs(w[i]) > kDetTolerance)) return 0;
  }
  double value[4], px[4], py[4];
  for (int i = 1; i < 4; ++i) {
    value[i] = (t[0] - t[i]) / w[i];
    px[i] = (v[0].x - v[i].x) / w[i];
    py[i] = (v[0].y - v[i].y) / w[i];
  }
  double pp = 0, qq = 0, cc = 0;
  if (!SolvePlaneCoefficients(value[1], value[2], value[3], px[1], py[1], px[2], py[2], px[3],
                              py[3], &pp, &qq, &cc))
    return 0;
  Put(p, pp);
  Put(q, qq);
  Put(c, cc);
  Put(d, t[0] - v[0].x * pp - v[0].y * qq - v[0].x * v[0].y * cc);
  return 1;
}

int SolveBilinearCoefficientsAnyPivot(const double t[4], const PlanePoint v[4], double* p,
                                      double* q, double* c, double* d) {
  if (!t || !v) return 0;
  static const int kOrders[4][4] = {{0, 1, 2, 3}, {1, 0, 2, 3}, {2, 0, 1, 3}, {3, 0, 1, 2}};
  for (const auto& order : kOrders) {
    double tt[4];
    PlanePoint vv[4];
    for (int i = 0; i < 4; ++i) {
      tt[i] = t[order[i]];
      vv[i] = v[order[i]];
    }
    if (SolveBilinearCoefficients(tt, vv, p, q, c, d)) return 1;
  }
  return 0;
}

// ---- Fitting transforms ----

int MakeAffineTransform(const PlanePoint t[3], const PlanePoint s[3], TransformCoefficients* out) {
  if (!t || !s) return 0;
  TransformCoefficients k{};
  if (!SolvePlaneCoefficients(t[0].x, t[1].x, t[2].x, s[0].x, s[0].y, s[1].x, s[1].y, s[2].x,
                              s[2].y, &k.ax, &k.bx, &k.dx) ||
      !SolvePlaneCoefficients(t[0].y, t[1].y, t[2].y, s[0].x, s[0].y, s[1].x, s[1].y, s[2].x,
                              s[2].y, &k.ay, &k.by, &k.dy))
    return 0;
  k.cx = k.cy = 0;
  if (out) *out = k;
  return 1;
}

int MakeBilinearTransform(const PlanePoint t[4], const PlanePoint s[4],
                          TransformCoefficients* out) {
  if (!t || !s) return 0;
  TransformCoefficients first{}, second{};
  if (!Affine(t[0], t[1], t[2], s[0], s[1], s[2], &first) ||
      !Affine(t[0], t[1], t[3], s[0], s[1], s[3], &second))
    return 0;
  const double a[8] = {first.ax, first.bx, first.cx, first.dx,
                       first.ay, first.by, first.cy, first.dy};
  const double b[8] = {second.ax, second.bx, second.cx, second.dx,
                       second.ay, second.by, second.cy, second.dy};
  bool same = true;
  for (int i = 0; i < 8; ++i)
    if (!AreValuesNear(a[i], b[i], kTol)) same = false;
  if (same) {
    if (out) *out = first;
    return 1;
  }
  const double tx[4] = {t[0].x, t[1].x, t[2].x, t[3].x};
  const double ty[4] = {t[0].y, t[1].y, t[2].y, t[3].y};
  TransformCoefficients k{};
  if (!SolveBilinearCoefficientsAnyPivot(tx, s, &k.ax, &k.bx, &k.cx, &k.dx) ||
      !SolveBilinearCoefficientsAnyPivot(ty, s, &k.ay, &k.by, &k.cy, &k.dy))
    return 0;
  if (out) *out = k;
  return 1;
}

int MakeBilinearTransformAnyOrder(const PlanePoint t[4], const PlanePoint s[4],
                                  TransformCoefficients* out) {
  if (!t || !s) return 0;
  static const int kOrders[3][4] = {{0, 1, 2, 3}, {1, 0, 2, 3}, {0, 2, 1, 3}};
  for (const auto& order : kOrders) {
    PlanePoint tt[4], ss[4];
    for (int i = 0; i < 4; ++i) {
      tt[i] = t[order[i]];
      ss[i] = s[order[i]];
    }
    if (MakeBilinearTransform(tt, ss, out)) return 1;
  }
  return 0;
}

int MakeRectTransform(int32_t left, int32_t top, int32_t right, int32_t bottom, double minX,
                      double minY, double maxX, double maxY, TransformCoefficients* out) {
  const double l = left, tp = top, r = right, b = bottom;
  return Affine({l, tp}, {r, tp}, {r, b}, {minX, maxY}, {maxX, maxY}, {maxX, minY}, out);
}

int MakeTransformFromSegments(PlanePoint t1, PlanePoint t2, PlanePoint s1, PlanePoint s2,
                              TransformCoefficients* out) {
  return Affine(t1, t2, TurnAbout(t1, t2, kPi / 2), s1, s2, TurnAbout(s1, s2, kPi / 2), out);
}

int MakeRotationTransform(PlanePoint p1, PlanePoint p2, PlanePoint p3, TransformCoefficients* out) {
  PlanePoint u12{}, u13{};
  if (!UnitVector(p1, p2, &u12) || !UnitVector(p1, p3, &u13)) return 0;
  return Affine(p1, Plus(p1, 1, u13), Plus(p1, 1, Left(u13)), p1, Plus(p1, 1, u12),
                Plus(p1, 1, Left(u12)), out);
}

int MakeRotationTransformByAngle(PlanePoint p, double angleDeg, TransformCoefficients* out) {
  const PlanePoint p2{p.x + kFar, p.y};
  return MakeRotationTransform(p, p2, TurnAbout(p, p2, DegToRad(angleDeg)), out);
}

int MakeScaleTransform(PlanePoint p1, PlanePoint p2, PlanePoint p3, TransformCoefficients* out) {
  const double g = Distance(p1, p2), h = Distance(p1, p3);
  if (g <= kTol || h <= kTol) return 0;
  return Affine(p1, {p1.x + h, p1.y}, {p1.x, p1.y + h}, p1, {p1.x + g, p1.y}, {p1.x, p1.y + g},
                out);
}

int MakeSimilarityTransform(PlanePoint p1, PlanePoint p2, PlanePoint p3,
                            TransformCoefficients* out) {
  const double g = Distance(p1, p2), h = Distance(p1, p3);
  PlanePoint u12{}, u13{};
  if (g <= kTol || h <= kTol || !UnitVector(p1, p2, &u12) || !UnitVector(p1, p3, &u13)) return 0;
  const double k = h / g;
  return Affine(p1, Plus(p1, k, u13), Plus(p1, k, Left(u13)), p1, Plus(p1, 1, u12),
                Plus(p1, 1, Left(u12)), out);
}

int MakeSimilarityTransformByAngle(PlanePoint p, double angleDeg, double scale,
                                   TransformCoefficients* out) {
  const PlanePoint p2{p.x + kFar, p.y};
  PlanePoint u{};
  if (!UnitVector(p, TurnAbout(p, p2, DegToRad(angleDeg)), &u)) return 0;
  return MakeSimilarityTransform(p, p2, Plus(p, scale * kFar, u), out);
}

int MakeStretchTransform(PlanePoint p1, PlanePoint p2, PlanePoint p3, PlanePoint p4,
                         TransformCoefficients* out) {
  NormalLine line{}, through3{}, through4{}, across{};
  if (!GetLineFromPoints(p1.x, p1.y, p2.x, p2.y, &line)) return 0;
  double d3 = 0, d4 = 0;
  GetSignedDistanceToLine(p1.x, p1.y, p2.x, p2.y, p3.x, p3.y, &d3);
  GetSignedDistanceToLine(p1.x, p1.y, p2.x, p2.y, p4.x, p4.y, &d4);
  if (std::fabs(d3) <= kTol || std::fabs(d4) <= kTol) return 0;
  PlanePoint m{};
  GetMidpoint(p1.x, p1.y, p2.x, p2.y, &m.x, &m.y);
  GetParallelLine(p3.x, p3.y, line, &through3);
  GetParallelLine(p4.x, p4.y, line, &through4);
  GetPerpendicularLine(m.x, m.y, line, &across);
  PlanePoint a3{}, a4{};
  if (!IntersectLines(across, through3, &a3.x, &a3.y, kTol) ||
      !IntersectLines(across, through4, &a4.x, &a4.y, kTol))
    return 0;
  return Affine(p1, p2, a4, p1, p2, a3, out);
}

double TransformX(double x, double y, const TransformCoefficients& k) {
  return (k.cx * y + k.ax) * x + k.bx * y + k.dx;
}

double TransformY(double x, double y, const TransformCoefficients& k) {
  return (k.cy * y + k.ay) * x + k.by * y + k.dy;
}

int ApplyTransform(double x, double y, double* outX, double* outY, const TransformCoefficients* k) {
  if (!k) return 0;
  Put(outX, TransformX(x, y, *k));
  Put(outY, TransformY(x, y, *k));
  return 1;
}

// ---- Curve pieces ----

void GetBezierWeights(double t, double w[4]) {
  const double u = 1 - t;
  w[0] = u * u * u;
  w[1] = 3 * t * u * u;
  w[2] = 3 * t * t * u;
  w[3] = t * t * t;
}

void GetLagrangeWeights(double t, double w[4]) {
  w[0] = -t * (t - 1) * (t - 2) / 6;
  w[1] = (t - 2) * (t - 1) * (t + 1) / 2;
  w[2] = -t * (t + 1) * (t - 2) / 2;
  w[3] = (t - 1) * t * (t + 1) / 6;
}

void GetBSplineWeights(double t, double w[4]) {
  const double u = 1 - t;
  w[0] = u * u * u / 6;
  w[1] = t * t * t / 2 - t * t + 2.0 / 3;
  w[2] = -t * t * t / 2 + t * t / 2 + t / 2 + 1.0 / 6;
  w[3] = t * t * t / 6;
}

void CombineFourPoints(const PlanePoint p[4], const double w[4], double* x, double* y) {
  Put(x, w[0] * p[0].x + w[1] * p[1].x + w[2] * p[2].x + w[3] * p[3].x);
  Put(y, w[0] * p[0].y + w[1] * p[1].y + w[2] * p[2].y + w[3] * p[3].y);
}

void GetBezierPoint(const PlanePoint p[4], double t, double* x, double* y) {
  double w[4];
  GetBezierWeights(t, w);
  CombineFourPoints(p, w, x, y);
}

void GetLagrangePoint(const PlanePoint p[4], double t, double* x, double* y) {
  double w[4];
  GetLagrangeWeights(t, w);
  CombineFourPoints(p, w, x, y);
}

void GetBSplinePoint(const PlanePoint p[4], double t, double* x, double* y) {
  double w[4];
  GetBSplineWeights(t, w);
  CombineFourPoints(p, w, x, y);
}

double GetHermiteWeight(int number, double t) {
  switch (number) {
    case 0:
      return (t - 1) * (t - 1) * (2 * t + 1);
    case 1:
      return t * t * (3 - 2 * t);
    case 2:
      return t * (t - 1) * (t - 1);
    case 3:
      return t * t * (t - 1);
    default:
      return 0;
  }
}

double GetSlopeAngle(double dy, double dx) {
  double run = std::fabs(dx);
  if (run <= kTol) run = 0.01;
  if (dx >= 0) return std::atan(dy / run);
  return std::atan(-dy / run) + kPi;
}

int MakeHermiteCurve(const PlanePoint p[4], int n, PlanePoint* out) {
  if (!p || !out || n < 1) return 0;
  double dx[3];
  for (int i = 0; i < 3; ++i) {
    dx[i] = p[i + 1].x - p[i].x;
    if (std::fabs(dx[i]) <= kTol) dx[i] = 0.1;
  }
  const double a01 = GetSlopeAngle(p[1].y - p[0].y, dx[0]);
  const double a12 = GetSlopeAngle(p[2].y - p[1].y, dx[1]);
  const double a23 = GetSlopeAngle(p[3].y - p[2].y, dx[2]);
  double w1 = (a01 + a12) / 2, w2 = (a12 + a23) / 2;
  if (std::fabs(w1 - a12) > kPi / 2) w1 -= kPi;
  if (std::fabs(w2 - a23) > kPi / 2) w2 -= kPi;
  const double d = Distance(p[1], p[2]);
  const PlanePoint g1{d * std::cos(w1), d * std::sin(w1)}, g2{d * std::cos(w2), d * std::sin(w2)};
  for (int i = 0; i <= n; ++i) {
    const double s = static_cast<double>(i) / n;
    const double h0 = GetHermiteWeight(0, s), h1 = GetHermiteWeight(1, s);
    const double h2 = GetHermiteWeight(2, s), h3 = GetHermiteWeight(3, s);
    out[i].x = p[1].x * h0 + p[2].x * h1 + g1.x * h2 + g2.x * h3;
    out[i].y = p[1].y * h0 + p[2].y * h1 + g1.y * h2 + g2.y * h3;
  }
  return 1;
}

int GetBSplineBasis(int k, double t, int i, const double* u, double* out) {
  // The recursion reads knots i - k + 1 to i + k.
  if (k <= 0 || !u || !out || i < k - 1 || k > 1024) return 0;
  const size_t cols = static_cast<size_t>(k) + 1;
  // Without memory for the table the answer is 0.
  return CatchAllocationFailure(0, [&] {
    std::vector<double> table(static_cast<size_t>(k) * cols);
    table[k - 1] = 1;
    for (int r = 1; r < k; ++r) {
      const double* prev = table.data() + (r - 1) * cols;
      double* row = table.data() + r * cols;
      int c = k - r - 1;
      for (int j = i - r; j <= i; ++j, ++c) {
        double value = 0;
        const double left = u[j + r] - u[j];
        if (std::fabs(left) >= kTol) value = (t - u[j]) / left * prev[c];
        const double right = u[j + r + 1] - u[j + 1];
        if (std::fabs(right) >= kTol) value += (u[j + r + 1] - t) / right * prev[c + 1];
        row[c] = value;
      }
    }
    for (int c = 0; c < k; ++c) out[c] = table[(k - 1) * cols + c];
    return 1;
  });
}

int FindBezierStep(const PlanePoint p[4], int count, double maxChord, double* step) {
  if (!p || count <= 0) return 0;
  for (int m = 1; m <= count; ++m) {
    const double s = 1.0 / (m + 1);
    PlanePoint last{};
    GetBezierPoint(p, 0, &last.x, &last.y);
    bool fits = true;
    for (int j = 1; j <= m && fits; ++j) {
      PlanePoint next{};
      GetBezierPoint(p, j * s, &next.x, &next.y);
      if (Distance(last, next) > maxChord) fits = false;
      last = next;
    }
    if (fits) {
      Put(step, s);
      return 1;
    }
  }
  Put(step, 1.0 / (count + 1));
  return 1;
}

// ---- Corner helpers ----

int MakeCornerEnvelope(PlanePoint p1, PlanePoint p2, PlanePoint p3, int n, PlanePoint* out) {
  PlanePoint u12{}, u23{};
  if (!out || n <= 0 || !UnitVector(p1, p2, &u12) || !UnitVector(p2, p3, &u23)) return 0;
  const double step1 = Distance(p1, p2) / (n + 2), step2 = Distance(p2, p3) / (n + 2);
  for (int k = 1; k <= n; ++k) {
    const PlanePoint a = Plus(p1, k * step1, u12), b = Plus(p2, k * step2, u23);
    const PlanePoint a2 = Plus(p1, (k + 1) * step1, u12), b2 = Plus(p2, (k + 1) * step2, u23);
    if (!IntersectLinesFromPoints(a.x, a.y, b.x, b.y, a2.x, a2.y, b2.x, b2.y, &out[k - 1].x,
                                  &out[k - 1].y, kTol))
      return 0;
  }
  return 1;
}

int CountEnvelopeSteps(PlanePoint p1, PlanePoint p2, PlanePoint p3, double tolerance) {
  std::vector<PlanePoint> points(1000);
  for (int n = 1; n <= 1000; ++n) {
    if (!MakeCornerEnvelope(p1, p2, p3, n, points.data())) return 0;
    if (Distance(points[0], p1) < tolerance) return n;
  }
  return 1000;
}

int GetCornerHandles(PlanePoint p1, PlanePoint p2, PlanePoint p3, PlanePoint* a, PlanePoint* b) {
  PlanePoint u1{}, u2{};
  if (!UnitVector(p2, p1, &u1) || !UnitVector(p2, p3, &u2)) return 0;
  const double h = GetDistance(u1.x, u1.y, u2.x, u2.y);
  if (h <= kTol) return 0;
  const double q = 10 - 3.5 * h;
  const double l1 = Distance(p2, p1), l2 = Distance(p2, p3);
  const double rho = MinDouble(l1, l2) / MaxDouble(l1, l2);
  const PlanePoint mid{p2.x + (u2.x - u1.x), p2.y + (u2.y - u1.y)};
  double phi = 0;
  if (!GetAngleAt(p2.x, p2.y, mid.x, mid.y, p3.x, p3.y, &phi)) return 0;
  if (phi > kPi) phi -= 2 * kPi;
  phi /= 2;
  double w = std::sin((1 - rho) * phi);
  if (l2 <= l1) w = -w;
  PlanePoint turned{}, d{};
  RotateAround(p2.x, p2.y, mid.x, mid.y, std::sqrt(1 - w * w), -w, &turned.x, &turned.y);
  if (!UnitVector(p2, turned, &d)) return 0;
  if (a) *a = Plus(p2, -l1 / q, d);
  if (b) *b = Plus(p2, l2 / q, d);
  return 1;
}

// ---- Tables and measures ----

int MakeCircleTable(int32_t* out, int count, double radius, int which) {
  if (!out || count <= 0) return 0;
  if (which != 0 && which != 1) return 1;
  const double step = 360.0 / count;
  double angle = 0;
  for (int i = 0; i < count; ++i, angle += step) {
    const double a = DegToRad(angle);
    const double v =
        RoundHalfAwayFromZero(which == 0 ? std::sin(a) * radius : radius * std::cos(a));
    if (!(v >= INT32_MIN && v <= INT32_MAX)) return 0;
    out[i] = static_cast<int32_t>(v);
  }
  return 1;
}

int MakeSinTable(int32_t* out, int count, double radius) {
  return MakeCircleTable(out, count, radius, 0);
}

int MakeCosTable(int32_t* out, int count, double radius) {
  return MakeCircleTable(out, count, radius, 1);
}

int MakeCircleTables(int32_t* sines, int32_t* cosines, int count, double radius) {
  const int a = MakeSinTable(sines, count, radius);
  const int b = MakeCosTable(cosines, count, radius);
  return (a && b) ? 1 : 0;
}

int GetLabelPosition(double x1, double y1, double x2, double y2, double along, double across,
                     double* x, double* y, double* angleDeg) {
  if (x2 < x1) {
    double t = x1;
    x1 = x2;
    x2 = t;
    t = y1;
    y1 = y2;
    y2 = t;
  }
  double s = 0, c = 0, mx = 0, my = 0;
  if (!GetDirection(x1, y1, x2, y2, &s, &c)) return 0;
  GetMidpoint(x1, y1, x2, y2, &mx, &my);
  Put(x, mx + along * c - across * s);
  Put(y, my + along * s + across * c);
  return GetDirectionAngleDeg(x2 - x1, y2 - y1, angleDeg);
}

int GetSteepestSlope(const double p1[3], const double p2[3], const double p3[3], double* degrees) {
  if (!p1 || !p2 || !p3) return 0;
  const double* v[3] = {p1, p2, p3};
  double slope[3];
  for (int i = 0; i < 3; ++i) {
    const double* own = v[i];
    const double* a = v[(i + 1) % 3];
    const double* b = v[(i + 2) % 3];
    const double mx = (a[0] + b[0]) / 2, my = (a[1] + b[1]) / 2, mz = (a[2] + b[2]) / 2;
    const double run = GetDistance(own[0], own[1], mx, my);
    if (run < kTol) return 0;
    slope[i] = RadToDeg(std::atan(std::fabs(mz - own[2]) / run));
  }
  Put(degrees, Max3(slope[0], slope[1], slope[2]));
  return 1;
}
