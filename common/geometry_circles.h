#pragma once
// Circles and circular arcs: circles through three points, their crossings
// with lines and other circles, arcs given by three points (start, a point
// on the arc, end) with their splitting, sampling and hit tests, and the
// rounding of a corner. Conventions as in common/numeric.h: y up, results
// 1/0 (or a count), tolerance 1e-8.

#include "common/numeric.h"

// Start, a point on the arc, end. The arc runs from the start through the
// middle point to the end around the circumcentre of the three.
struct ThreePointArc {
  double x1, y1;
  double x2, y2;
  double x3, y3;
};

// ---- Circles ----

// The centre of the circle through three points; 0 when they are collinear.
int GetCircumcentre(double x1, double y1, double x2, double y2, double x3, double y3, double* x,
                    double* y);
// The square around that circle: min x, min y, max x, max y.
int GetCircleBoxFromPoints(double x1, double y1, double x2, double y2, double x3, double y3,
                           double rect[4]);
// Crossings of the line P1P2 with a circle, in the line's direction: the
// number of points (0, 1 or 2).
int IntersectLineCircle(double x1, double y1, double x2, double y2, double cx, double cy, double r,
                        double* ax, double* ay, double* bx, double* by);
inline int IntersectLineCircle2(double x1, double y1, double x2, double y2, double cx, double cy,
                                double r, double* ax, double* ay, double* bx, double* by) {
  return IntersectLineCircle(x1, y1, x2, y2, cx, cy, r, ax, ay, bx, by);
}
// Crossings of two circles, the first left of C1→C2: the number of points.
int IntersectCircles(double c1x, double c1y, double c2x, double c2y, double r1, double r2,
                     double* ax, double* ay, double* bx, double* by);

// ---- Arcs ----

// Centre, length and signed sweep (radians, positive counterclockwise).
int GetArcFromPoints(double x1, double y1, double x2, double y2, double x3, double y3, double* cx,
                     double* cy, double* length, double* sweep);
// n points at equal steps strictly between the start and the end;
// `points` takes 2·n values.
int GetPointsOnArc(double x1, double y1, double x2, double y2, double x3, double y3, int n,
                   double* points);
// P on the circle (within 1e-8) and within the arc.
int IsPointOnArc(double x1, double y1, double x2, double y2, double x3, double y3, double px,
                 double py);
// Crossings of the segment with the arc: the number of points.
int IntersectSegmentWithArc(double x1, double y1, double x2, double y2, const ThreePointArc& arc,
                            double* ax, double* ay, double* bx, double* by);
// The point of the arc between P2 and P3 on the circle around O.
int GetArcMidpoint(double ox, double oy, double x2, double y2, double x3, double y3, double sweep,
                   double* x, double* y);
// The arc cut at P into A (start to P) and B (P to end).
int SplitArcAtPoint(double px, double py, const ThreePointArc& arc, ThreePointArc* a,
                    ThreePointArc* b);
// Not null, the start apart from the middle and the middle from the end.
int IsArcValid(const ThreePointArc* arc);
// The arc cut where the segment crosses it: the number of pieces (0 to 3)
// written to out[0..2].
int SplitArcBySegment(double x1, double y1, double x2, double y2, const ThreePointArc& arc,
                      ThreePointArc out[3]);
int SplitArcBySegment2(double x1, double y1, double x2, double y2, double q1x, double q1y,
                       double q2x, double q2y, double q3x, double q3y, ThreePointArc* out1,
                       ThreePointArc* out2, ThreePointArc* out3);
// The segment meets the pie slice of the arc.
int DoesSegmentMeetSector(double x1, double y1, double x2, double y2, const ThreePointArc* arc);
// {P turned about C by -angle, P, P turned by +angle} (radians).
int MakeArcAroundPoint(double cx, double cy, double px, double py, double angle,
                       ThreePointArc* arc);
// Rounds the corner P1→P2→P3 with the radius (positive: centre to the right
// of both legs): the tangent points T1, T2 and the arc's middle M.
int GetFillet(double x1, double y1, double x2, double y2, double x3, double y3, double radius,
              double* t1x, double* t1y, double* mx, double* my, double* t2x, double* t2y);
