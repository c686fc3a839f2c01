#pragma once
// Lines in normal form and their intersections: the base of the plane
// constructions. Points are separate x and y values, the y axis points up,
// results come back through out parameters with 1 (done) or 0 (degenerate
// input). Lengths are compared with the tolerance 1e-8.

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
// Distance from P to the segment: to the foot when it lies between the
// ends, else to the nearer end. Always 1.
int GetDistanceToSegment(double x1, double y1, double x2, double y2, double px, double py,
                         double* d);
// The angle between the lines P1P2 and P3P4 measured on the side of R.
int GetAngleBetweenLines(double x1, double y1, double x2, double y2, double x3, double y3,
                         double x4, double y4, double rx, double ry, double* angle);
