#include "common/geometry_circles.h"

#include <cmath>

#include "common/geometry_lines.h"

namespace {

constexpr double kTol = kLengthTolerance;

void Put(double* out, double value) {
  if (out) *out = value;
}

bool NearEnd(double x, double y, const ThreePointArc& arc) {
  return ArePointsNear(x, y, arc.x1, arc.y1, kTol) || ArePointsNear(x, y, arc.x3, arc.y3, kTol);
}

}  // namespace

// ---- Circles ----

int GetCircumcentre(double x1, double y1, double x2, double y2, double x3, double y3, double* x,
                    double* y) {
  const double d1x = x2 - x1, d1y = y2 - y1, d2x = x3 - x1, d2y = y3 - y1;
  const double l = d1x * d2y - d2x * d1y;
  if (!(std::fabs(l) >= kTol)) return 0;
  const double m = d1x * d1x + d1y * d1y, o = d2x * d2x + d2y * d2y;
  Put(x, x1 + (d2y * m - d1y * o) / l / 2);
  Put(y, y1 + (d1x * o - d2x * m) / l / 2);
  return 1;
}

int GetCircleBoxFromPoints(double x1, double y1, double x2, double y2, double x3, double y3,
                           double rect[4]) {
  double cx = 0, cy = 0;
  if (!rect || !GetCircumcentre(x1, y1, x2, y2, x3, y3, &cx, &cy)) return 0;
  const double r = GetDistance(cx, cy, x1, y1);
  rect[0] = cx - r;
  rect[1] = cy - r;
  rect[2] = cx + r;
  rect[3] = cy + r;
  return 1;
}

int IntersectLineCircle(double x1, double y1, double x2, double y2, double cx, double cy, double r,
                        double* ax, double* ay, double* bx, double* by) {
  double s = 0, c = 0;
  if (!GetDirection(x1, y1, x2, y2, &s, &c)) return 0;
  const double o = (y1 - cy) * c - (x1 - cx) * s;
  const double g = r * r - o * o;
  if (!(g >= 0)) return 0;
  const double t0 = c * (cx - x1) + s * (cy - y1);
  if (g <= kTol) {
    Put(ax, x1 + t0 * c);
    Put(ay, y1 + t0 * s);
    return 1;
  }
  const double root = std::sqrt(g);
  Put(ax, x1 + (t0 - root) * c);
  Put(ay, y1 + (t0 - root) * s);
  Put(bx, x1 + (t0 + root) * c);
  Put(by, y1 + (t0 + root) * s);
  return 2;
}

int IntersectCircles(double c1x, double c1y, double c2x, double c2y, double r1, double r2,
                     double* ax, double* ay, double* bx, double* by) {
  const double g = GetDistance(c1x, c1y, c2x, c2y);
  double s = 0, c = 0;
  if (!(g > kTol) || !GetDirection(c1x, c1y, c2x, c2y, &s, &c)) return 0;
  const double k = (r1 * r1 - r2 * r2 + g * g) / (2 * g);
  const double o = r1 * r1 - k * k;
  if (!(o >= 0)) return 0;
  const double px = c1x + k * c, py = c1y + k * s;
  if (o < kTol) {
    Put(ax, px);
    Put(ay, py);
    return 1;
  }
  const double t = std::sqrt(o);
  Put(ax, px - t * s);
  Put(ay, py + t * c);
  Put(bx, px + t * s);
  Put(by, py - t * c);
  return 2;
}

// ---- Arcs ----

int GetArcFromPoints(double x1, double y1, double x2, double y2, double x3, double y3, double* cx,
                     double* cy, double* length, double* sweep) {
  double ox = 0, oy = 0;
  if (!GetCircumcentre(x1, y1, x2, y2, x3, y3, &ox, &oy)) return 0;
  const double r = GetDistance(ox, oy, x1, y1);
  double t2 = 0, t3 = 0;
  if (!GetAngleAt(ox, oy, x1, y1, x2, y2, &t2) || !GetAngleAt(ox, oy, x1, y1, x3, y3, &t3))
    return 0;
  Put(cx, ox);
  Put(cy, oy);
  if (t3 > t2) {
    Put(sweep, t3);
    Put(length, t3 * r);
  } else {
    Put(sweep, -(2 * kPi - t3));
    Put(length, (2 * kPi - t3) * r);
  }
  return 1;
}

int GetPointsOnArc(double x1, double y1, double x2, double y2, double x3, double y3, int n,
                   double* points) {
  double ox = 0, oy = 0, sweep = 0;
  if (!points || n <= 0 || !GetArcFromPoints(x1, y1, x2, y2, x3, y3, &ox, &oy, nullptr, &sweep))
    return 0;
  const double step = sweep / (n + 1);
  double px = x1, py = y1;
  for (int i = 0; i < n; ++i) {
    double qx = 0, qy = 0;
    RotateAroundByAngle(ox, oy, px, py, step, &qx, &qy);
    points[2 * i] = px = qx;
    points[2 * i + 1] = py = qy;
  }
  return 1;
}

int IsPointOnArc(double x1, double y1, double x2, double y2, double x3, double y3, double px,
                 double py) {
  double ox = 0, oy = 0;
  if (!GetCircumcentre(x1, y1, x2, y2, x3, y3, &ox, &oy)) return 0;
  if (std::fabs(GetDistance(ox, oy, px, py) - GetDistance(ox, oy, x1, y1)) > kTol) return 0;
  double t2 = 0, t3 = 0, t4 = 0;
  if (!GetAngleAt(ox, oy, x1, y1, x2, y2, &t2) || !GetAngleAt(ox, oy, x1, y1, x3, y3, &t3) ||
      !GetAngleAt(ox, oy, x1, y1, px, py, &t4))
    return 0;
  if (t3 > t2) return t3 >= t4 ? 1 : 0;
  return t3 <= t4 ? 1 : 0;
}

int IntersectSegmentWithArc(double x1, double y1, double x2, double y2, const ThreePointArc& arc,
                            double* ax, double* ay, double* bx, double* by) {
  double ox = 0, oy = 0;
  if (!GetCircumcentre(arc.x1, arc.y1, arc.x2, arc.y2, arc.x3, arc.y3, &ox, &oy)) return 0;
  const double r = GetDistance(ox, oy, arc.x1, arc.y1);
  double p[4] = {0, 0, 0, 0};
  const int n = IntersectLineCircle2(x1, y1, x2, y2, ox, oy, r, &p[0], &p[1], &p[2], &p[3]);
  int k = 0;
  for (int i = 0; i < n; ++i) {
    const double x = p[2 * i], y = p[2 * i + 1];
    if (!IsPointOnSegment(x1, y1, x2, y2, x, y, kTol) ||
        !IsPointOnArc(arc.x1, arc.y1, arc.x2, arc.y2, arc.x3, arc.y3, x, y))
      continue;
    Put(k == 0 ? ax : bx, x);
    Put(k == 0 ? ay : by, y);
    ++k;
  }
  return k;
}

int GetArcMidpoint(double ox, double oy, double x2, double y2, double x3, double y3, double sweep,
                   double* x, double* y) {
  const double g = GetDistance(ox, oy, x2, y2);
  if (g < kTol) return 0;
  double mx = 0, my = 0;
  GetMidpoint(x2, y2, x3, y3, &mx, &my);
  double s = 0, c = 0;
  if (ArePointsNear(mx, my, ox, oy, kTol) || !GetDirection(ox, oy, mx, my, &s, &c)) {
    RotateAround(ox, oy, x2, y2, 0.0, sweep > 0 ? 1.0 : -1.0, x, y);
    return 1;
  }
  Put(x, ox + g * c);
  Put(y, oy + g * s);
  return 1;
}

int SplitArcAtPoint(double px, double py, const ThreePointArc& arc, ThreePointArc* a,
                    ThreePointArc* b) {
  double ox = 0, oy = 0, sweep = 0;
  if (!GetArcFromPoints(arc.x1, arc.y1, arc.x2, arc.y2, arc.x3, arc.y3, &ox, &oy, nullptr, &sweep))
    return 0;
  ThreePointArc first{arc.x1, arc.y1, 0, 0, px, py}, second{px, py, 0, 0, arc.x3, arc.y3};
  if (!GetArcMidpoint(ox, oy, arc.x1, arc.y1, px, py, sweep, &first.x2, &first.y2) ||
      !GetArcMidpoint(ox, oy, px, py, arc.x3, arc.y3, sweep, &second.x2, &second.y2))
    return 0;
  if (a) *a = first;
  if (b) *b = second;
  return 1;
}

int IsArcValid(const ThreePointArc* arc) {
  if (!arc) return 0;
  if (ArePointsNear(arc->x1, arc->y1, arc->x2, arc->y2, kTol)) return 0;
  if (ArePointsNear(arc->x2, arc->y2, arc->x3, arc->y3, kTol)) return 0;
  return 1;
}

int SplitArcBySegment(double x1, double y1, double x2, double y2, const ThreePointArc& arc,
                      ThreePointArc out[3]) {
  if (!out) return 0;
  double p[4] = {0, 0, 0, 0};
  int k = IntersectSegmentWithArc(x1, y1, x2, y2, arc, &p[0], &p[1], &p[2], &p[3]);
  if (k < 1) return 0;
  double ox = 0, oy = 0, sweep = 0;
  if (!GetArcFromPoints(arc.x1, arc.y1, arc.x2, arc.y2, arc.x3, arc.y3, &ox, &oy, nullptr, &sweep))
    return 0;
  if (k == 2) {
    if (NearEnd(p[2], p[3], arc)) {
      k = 1;
    } else if (NearEnd(p[0], p[1], arc)) {
      p[0] = p[2];
      p[1] = p[3];
      k = 1;
    }
  }
  int count = 0;
  if (k == 1 && NearEnd(p[0], p[1], arc)) {
    out[0] = arc;
    count = 1;
  } else if (k == 1) {
    if (!SplitArcAtPoint(p[0], p[1], arc, &out[0], &out[1])) return 0;
    count = 2;
  } else {
    double a1 = 0, a2 = 0;
    if (!GetAngleAtDeg(ox, oy, arc.x1, arc.y1, p[0], p[1], &a1) ||
        !GetAngleAtDeg(ox, oy, arc.x1, arc.y1, p[2], p[3], &a2))
      return 0;
    if (sweep < 0) {
      a1 = 360 - a1;
      a2 = 360 - a2;
    }
    int first = 0, second = 1;
    if (a2 < a1) first = 1, second = 0;
    ThreePointArc rest{};
    if (!SplitArcAtPoint(p[2 * first], p[2 * first + 1], arc, &out[0], &rest) ||
        !SplitArcAtPoint(p[2 * second], p[2 * second + 1], rest, &out[1], &out[2]))
      return 0;
    count = 3;
  }
  int kept = 0;
  for (int i = 0; i < count; ++i)
    if (IsArcValid(&out[i])) out[kept++] = out[i];
  return kept;
}

int SplitArcBySegment2(double x1, double y1, double x2, double y2, double q1x, double q1y,
                       double q2x, double q2y, double q3x, double q3y, ThreePointArc* out1,
                       ThreePointArc* out2, ThreePointArc* out3) {
  const ThreePointArc arc{q1x, q1y, q2x, q2y, q3x, q3y};
  ThreePointArc out[3] = {};
  const int n = SplitArcBySegment(x1, y1, x2, y2, arc, out);
  if (n >= 1 && out1) *out1 = out[0];
  if (n >= 2 && out2) *out2 = out[1];
  if (n >= 3 && out3) *out3 = out[2];
  return n;
}

int DoesSegmentMeetSector(double x1, double y1, double x2, double y2, const ThreePointArc* arc) {
  if (!arc) return 0;
  double ox = 0, oy = 0, sweep = 0;
  if (!GetArcFromPoints(arc->x1, arc->y1, arc->x2, arc->y2, arc->x3, arc->y3, &ox, &oy, nullptr,
                        &sweep))
    return 0;
  const double r = GetDistance(ox, oy, arc->x1, arc->y1);
  double d = 0;
  GetDistanceToSegment(x1, y1, x2, y2, ox, oy, &d);
  if (d > r) return 0;
  const double radii[3][2] = {{arc->x1, arc->y1}, {arc->x3, arc->y3}, {arc->x2, arc->y2}};
  for (const auto& q : radii)
    if (IntersectSegments(x1, y1, x2, y2, ox, oy, q[0], q[1], nullptr, nullptr, kTol, kTol))
      return 1;
  const double ends[2][2] = {{x1, y1}, {x2, y2}};
  for (const auto& e : ends) {
    if (GetDistance(ox, oy, e[0], e[1]) > r) continue;
    double theta = 0;
    if (!GetAngleAt(ox, oy, arc->x1, arc->y1, e[0], e[1], &theta)) continue;
    if (sweep > 0 ? theta <= sweep : theta >= sweep + 2 * kPi) return 1;
  }
  return 0;
}

int MakeArcAroundPoint(double cx, double cy, double px, double py, double angle,
                       ThreePointArc* arc) {
  if (!arc || GetDistance(cx, cy, px, py) < kTol) return 0;
  RotateAroundByAngle(cx, cy, px, py, -angle, &arc->x1, &arc->y1);
  arc->x2 = px;
  arc->y2 = py;
  RotateAroundByAngle(cx, cy, px, py, angle, &arc->x3, &arc->y3);
  return 1;
}

int GetFillet(double x1, double y1, double x2, double y2, double x3, double y3, double radius,
              double* t1x, double* t1y, double* mx, double* my, double* t2x, double* t2y) {
  NormalLine l1{}, l2{}, o1{}, o2{};
  if (!GetLineFromPoints(x1, y1, x2, y2, &l1) || !GetLineFromPoints(x2, y2, x3, y3, &l2)) return 0;
  GetOffsetLine(-radius, l1, &o1);
  GetOffsetLine(-radius, l2, &o2);
  double cx = 0, cy = 0;
  if (!IntersectLines(o1, o2, &cx, &cy, kTol)) return 0;
  double ax = 0, ay = 0, bx = 0, by = 0;
  if (!GetPerpendicularFoot(x1, y1, x2, y2, cx, cy, &ax, &ay) ||
      !IsPointOnSegment(x1, y1, x2, y2, ax, ay, kTol) ||
      !GetPerpendicularFoot(x2, y2, x3, y3, cx, cy, &bx, &by) ||
      !IsPointOnSegment(x2, y2, x3, y3, bx, by, kTol))
    return 0;
  double hx = 0, hy = 0, s = 0, c = 0;
  GetMidpoint(ax, ay, bx, by, &hx, &hy);
  if (!GetDirection(cx, cy, hx, hy, &s, &c)) return 0;
  const double g = GetDistance(cx, cy, ax, ay);
  Put(t1x, ax);
  Put(t1y, ay);
  Put(mx, cx + g * c);
  Put(my, cy + g * s);
  Put(t2x, bx);
  Put(t2y, by);
  return 1;
}
