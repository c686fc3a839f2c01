#include "common/geometry_lines.h"

#include "common/numeric.h"

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
  if (!GetLineFromPoints2(x1, y1, x2, y2, &l1) || !GetLineFromPoints2(x3, y3, x4, y4, &l2)) return 0;
  return IntersectLines(l1, l2, x, y, tolerance);
}

int GetPerpendicularFoot(double x1, double y1, double x2, double y2, double px, double py,
                         double* x, double* y) {
  NormalLine line{}, perpendicular{};
  if (!GetLineFromPoints(x1, y1, x2, y2, &line)) return 0;
  GetPerpendicularLine(px, py, line, &perpendicular);
  return IntersectLines(line, perpendicular, x, y, kLengthTolerance);
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
  if (!GetAngleAt(x, y, ax, ay, bx, by, &alpha) || !GetAngleAt(x, y, ax, ay, rx, ry, &rho)) return 0;
  if (alpha >= kPi) alpha -= kPi;
  if (rho >= kPi) rho -= kPi;
  if (angle) *angle = rho < alpha ? alpha : kPi - alpha;
  return 1;
}
