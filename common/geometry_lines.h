#pragma once
// Lines, intersections and constructions on segments: the middle layer of
// the plane-geometry library. Points are separate x and y values, the y axis
// points up, a direction is the pair (sine, cosine), results come back
// through out parameters with 1 (done) or 0 (degenerate input). Lengths are
// compared with the tolerance 1e-8. The line primitives (NormalLine,
// GetLineFromPoints, IntersectLines, GetPerpendicularFoot, ...) are declared
// in common/numeric.h.

#include <cstdint>

#include "common/numeric.h"

// ---- Lines ----

// The parallel through P.
int GetParallelLine(double x, double y, const NormalLine& line, NormalLine* out);
// The line moved by d (a positive d moves it to the left of the direction
// it was built in).
int GetOffsetLine(double d, const NormalLine& line, NormalLine* out);
// The crossing of the line P1P2 with the horizontal y = Y; 0 when both ends
// lie strictly on one side of it.
int IntersectSegmentWithHorizontal(double yLevel, double x1, double y1, double x2, double y2,
                                   double* x, double* y);
int IntersectSegmentWithVertical(double xLevel, double x1, double y1, double x2, double y2,
                                 double* x, double* y);
// The line Q1Q2 crossed with the line through P in the direction of the
// angle (degrees, counterclockwise from the x axis).
int IntersectLineWithDirection(double px, double py, double q1x, double q1y, double q2x, double q2y,
                               double angleDeg, double* x, double* y);

// ---- Segments ----

// The crossing of the lines P1P2 and P3P4 is written out; 1 only when it
// lies in the box of each segment widened by `position` (collinear segments
// count as parallel and give 0).
int IntersectSegments(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                      double y4, double* x, double* y, double position, double determinant);
inline int IntersectSegments2(double x1, double y1, double x2, double y2, double x3, double y3,
                              double x4, double y4, double* x, double* y, double position,
                              double determinant) {
  return IntersectSegments(x1, y1, x2, y2, x3, y3, x4, y4, x, y, position, determinant);
}
// Where the ray from P1 through P2 meets the segment P3P4.
int IntersectRayWithSegment(double x1, double y1, double x2, double y2, double x3, double y3,
                            double x4, double y4, double* x, double* y);
// GetPerpendicularFoot, but 0 when P lies on the line.
int GetPerpendicularFootOffLine(double x1, double y1, double x2, double y2, double px, double py,
                                double* x, double* y);
// P mirrored in the line P1P2 (a point on the line is its own image).
int ReflectPoint(double x1, double y1, double x2, double y2, double px, double py, double* x,
                 double* y);
// The common part of two collinear segments as Q1, Q2.
int GetSegmentOverlap(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                      double y4, double* q1x, double* q1y, double* q2x, double* q2y);

// ---- Constructions on a segment (0 for a segment shorter than 1e-8) ----

// The segment moved sideways by d (positive to the left): out x1, y1, x2, y2.
int OffsetSegment(double x1, double y1, double x2, double y2, double out[4], double d);
int OffsetSegment4(double x1, double y1, double x2, double y2, double* ox1, double* oy1,
                   double* ox2, double* oy2, double d);
// In integers; the results truncated toward zero.
int OffsetSegmentInt(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t out[4], int32_t d);
// P1, P2, then the feet of P1 and P2 on the parallel through P.
int MakeBandToPoint(double x1, double y1, double x2, double y2, double px, double py,
                    double quad[8]);
// P1 + h·n, P2 + h·n, P1 - h·n, P2 - h·n with n the left unit normal and
// h = width / 2; 0 also for a width of 0 or less.
int MakeRectAroundSegment(double x1, double y1, double x2, double y2, double width, double quad[8]);
// P1 + h·m, P1 - h·m with m the right unit normal.
int MakeCrossPairAt(double x1, double y1, double x2, double y2, double width, double out[4]);
// P1 + h·m, P1 - h·m, P2 + h·m, P2 - h·m.
int MakeBoxAroundSegment(double x1, double y1, double x2, double y2, double width, double quad[8]);
inline int MakeBoxAroundSegment2(double x1, double y1, double x2, double y2, double width,
                                 double quad[8]) {
  return MakeBoxAroundSegment(x1, y1, x2, y2, width, quad);
}
// A = P1 + (length / 2)·m, B = P1 - (length / 2)·m.
int MakeCrossSegment(double x1, double y1, double x2, double y2, double length, double* ax,
                     double* ay, double* bx, double* by);
// The piece of the given length centred on the midpoint.
int GetCentredSubsegment(double x1, double y1, double x2, double y2, double length, double* ax,
                         double* ay, double* bx, double* by);
// P1 + d·u, u the unit direction P1→P2.
int GetPointAlong(double x1, double y1, double x2, double y2, double d, double* x, double* y);
// The point at distance d from P2, at the angle (degrees) measured from the
// direction P1→P2.
int GetPointAtAngleFrom(double x1, double y1, double x2, double y2, double angleDeg, double d,
                        double* x, double* y);
// P1 moved toward the midpoint of P2, P3 by the mean of |P1P2| and |P1P3|.
int GetMeanDistancePoint(double x1, double y1, double x2, double y2, double x3, double y3,
                         double* x, double* y);
// P2 moved by d along the bisector of the corner P1→P2→P3 (left side).
int GetBisectorPoint(double x1, double y1, double x2, double y2, double x3, double y3, double d,
                     double* x, double* y);
// The chord through R across the corner of the lines P1P2 and P3P4, at
// right angles to the bisector: out Y1 (on P1P2), Y2 (on P3P4).
int GetChordInCorner(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                     double y4, double rx, double ry, double out[4]);
// The segment P1P2 offset by g toward P3, crossed with the segment P2P3,
// then moved by h along the offset segment backwards.
int GetOffsetCrossing(double x1, double y1, double x2, double y2, double x3, double y3, double g,
                      double h, double* x, double* y);

// ---- Clipping ----

// Region-code clipping of P1P2 to the rectangle; the (clipped) ends are
// written out. 1 when a part of the segment lies inside.
int ClipSegmentToRect(double x1, double y1, double x2, double y2, const double rect[4], double* ox1,
                      double* oy1, double* ox2, double* oy2);

// ---- Quadrilaterals and triangles (x1, y1, ..., x4, y4) ----

// Strictly inside a convex quadrilateral of either orientation.
int IsPointInQuad(double x, double y, const double quad[8]);
// Inside the triangle, border included.
int IsPointInTriangle(double px, double py, double x1, double y1, double x2, double y2, double x3,
                      double y3);
// Exchanges Q2 and Q4 when Q1, Q2, Q3 turn counterclockwise.
int OrientQuad(double quad[8]);
// Puts the four points into the order of a simple quadrilateral, running
// clockwise; 0 when no exchange gives one. The Copy form writes back only
// on success; the Int form converts to doubles and back (truncating).
int OrderQuad(double quad[8]);
int OrderQuadCopy(double quad[8]);
int OrderQuadInt(int32_t quad[8]);
// Triangles as x1, y1, x2, y2, x3, y3: equal ratios of the sorted sides.
int AreTrianglesSimilar(const double t1[6], const double t2[6]);

// ---- Three dimensions ----

// (P2 - P1) × (P3 - P1).
int GetNormal3D(double x1, double y1, double z1, double x2, double y2, double z2, double x3,
                double y3, double z3, double* nx, double* ny, double* nz);
// The same normalised; 0 when its length is below 1e-8.
int GetUnitNormal3D(double x1, double y1, double z1, double x2, double y2, double z2, double x3,
                    double y3, double z3, double* nx, double* ny, double* nz);
// The z of the plane through the three points at (x, y); 0 for a plane
// parallel to the z axis.
int GetPlaneZ(double x1, double y1, double z1, double x2, double y2, double z2, double x3,
              double y3, double z3, double x, double y, double* z);
// Distance from P to the segment: to the foot when it lies between the
// ends, else to the nearer end. Always 1.
int GetDistanceToSegment(double x1, double y1, double x2, double y2, double px, double py,
                         double* d);
// The angle between the lines P1P2 and P3P4 measured on the side of R.
int GetAngleBetweenLines(double x1, double y1, double x2, double y2, double x3, double y3,
                         double x4, double y4, double rx, double ry, double* angle);
