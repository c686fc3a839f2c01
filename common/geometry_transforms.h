#pragma once
// Plane transforms fitted to point pairs (affine from three, bilinear from
// four, and the rotation, scale, similarity and stretch transforms built on
// them), cubic curve pieces, corner helpers, integer sine and cosine tables
// and two small measures. Conventions as in common/numeric.h: y up, results
// 1/0, tolerance 1e-8; coefficient solves use the determinant tolerance
// 1e-17.

#include <cstdint>

#include "common/numeric.h"

struct PlanePoint {
  double x;
  double y;
};

// X = ax·x + bx·y + cx·x·y + dx, Y = ay·x + by·y + cy·x·y + dy.
struct TransformCoefficients {
  double ax, bx, cx, dx;
  double ay, by, cy, dy;
};

// ---- Solving ----

// Solves c·x + d·y = a and e·x + f·y = b; 0 when |e·d - c·f| <= 1e-17.
int Solve2x2(double a, double b, double c, double d, double e, double f, double* x, double* y);
// t = p·x + q·y + r at three points; 0 when they are collinear.
int SolvePlaneCoefficients(double t1, double t2, double t3, double x1, double y1, double x2,
                           double y2, double x3, double y3, double* p, double* q, double* r);
// t = p·x + q·y + c·x·y + d at four points.
int SolveBilinearCoefficients(const double t[4], const PlanePoint points[4], double* p, double* q,
                              double* c, double* d);
// The same trying the orders (1,2,3,4), (2,1,3,4), (3,1,2,4), (4,1,2,3).
int SolveBilinearCoefficientsAnyPivot(const double t[4], const PlanePoint points[4], double* p,
                                      double* q, double* c, double* d);

// ---- Fitting transforms (source i onto target i) ----

int MakeAffineTransform(const PlanePoint targets[3], const PlanePoint sources[3],
                        TransformCoefficients* out);
// The affine fit when the four pairs allow one, else the bilinear fit.
int MakeBilinearTransform(const PlanePoint targets[4], const PlanePoint sources[4],
                          TransformCoefficients* out);
// The same trying the pair orders (1,2,3,4), (2,1,3,4), (1,3,2,4).
int MakeBilinearTransformAnyOrder(const PlanePoint targets[4], const PlanePoint sources[4],
                                  TransformCoefficients* out);
// Maps the source box (y up) onto the integer rectangle (y down):
// (min x, max y) to (left, top), (max x, min y) to (right, bottom).
int MakeRectTransform(int32_t left, int32_t top, int32_t right, int32_t bottom, double minX,
                      double minY, double maxX, double maxY, TransformCoefficients* out);
// The similarity taking the segment S1S2 onto T1T2.
int MakeTransformFromSegments(PlanePoint t1, PlanePoint t2, PlanePoint s1, PlanePoint s2,
                              TransformCoefficients* out);
// The rotation about P1 taking the direction P1→P2 onto P1→P3.
int MakeRotationTransform(PlanePoint p1, PlanePoint p2, PlanePoint p3, TransformCoefficients* out);
int MakeRotationTransformByAngle(PlanePoint p, double angleDeg, TransformCoefficients* out);
// Uniform scaling about P1 by |P1P3| / |P1P2|.
int MakeScaleTransform(PlanePoint p1, PlanePoint p2, PlanePoint p3, TransformCoefficients* out);
// Rotation about P1 from P1→P2 to P1→P3 with scaling by |P1P3| / |P1P2|.
int MakeSimilarityTransform(PlanePoint p1, PlanePoint p2, PlanePoint p3,
                            TransformCoefficients* out);
int MakeSimilarityTransformByAngle(PlanePoint p, double angleDeg, double scale,
                                   TransformCoefficients* out);
// Keeps the line P1P2 and takes the parallel through P3 onto the parallel
// through P4.
int MakeStretchTransform(PlanePoint p1, PlanePoint p2, PlanePoint p3, PlanePoint p4,
                         TransformCoefficients* out);
double TransformX(double x, double y, const TransformCoefficients& k);
double TransformY(double x, double y, const TransformCoefficients& k);
int ApplyTransform(double x, double y, double* outX, double* outY, const TransformCoefficients* k);

// ---- Curve pieces over four control points ----

void GetBezierWeights(double t, double w[4]);
// Nodes at t = -1, 0, 1, 2.
void GetLagrangeWeights(double t, double w[4]);
// Uniform cubic B-spline.
void GetBSplineWeights(double t, double w[4]);
void CombineFourPoints(const PlanePoint p[4], const double w[4], double* x, double* y);
void GetBezierPoint(const PlanePoint p[4], double t, double* x, double* y);
void GetLagrangePoint(const PlanePoint p[4], double t, double* x, double* y);
void GetBSplinePoint(const PlanePoint p[4], double t, double* x, double* y);
// The cubic Hermite basis function 0 to 3 at t (0 for any other number).
double GetHermiteWeight(int number, double t);
// The angle of the chord (dx, dy) in (-π/2, 3π/2).
double GetSlopeAngle(double dy, double dx);
// The Hermite piece from P1 to P2 (tangents from the neighbours) as n + 1
// points; n at least 1.
int MakeHermiteCurve(const PlanePoint p[4], int n, PlanePoint* out);
// The k non-zero B-spline basis values of order k at t in span i (Cox–de
// Boor); the knots must reach index i + k.
int GetBSplineBasis(int k, double t, int i, const double* knots, double* out);
// The step 1/(m + 1) of the first m in 1..count whose chords are all at most
// the maximum, else 1/(count + 1).
int FindBezierStep(const PlanePoint p[4], int count, double maxChord, double* step);

// ---- Corner helpers ----

// n points of a curve touching both legs of the corner P1→P2→P3.
int MakeCornerEnvelope(PlanePoint p1, PlanePoint p2, PlanePoint p3, int n, PlanePoint* out);
// The first n (1..1000) whose first envelope point lies closer than the
// tolerance to P1; 1000 when none does, 0 on failure.
int CountEnvelopeSteps(PlanePoint p1, PlanePoint p2, PlanePoint p3, double tolerance);
// Two handle points on either side of P2 for a smooth curve through the
// three points.
int GetCornerHandles(PlanePoint p1, PlanePoint p2, PlanePoint p3, PlanePoint* a, PlanePoint* b);

// ---- Tables and measures ----

// Entry i at the angle i·360/count degrees: sin·radius (which 0) or
// radius·cos (which 1), rounded half away from zero.
int MakeCircleTable(int32_t* out, int count, double radius, int which);
int MakeSinTable(int32_t* out, int count, double radius);
int MakeCosTable(int32_t* out, int count, double radius);
int MakeCircleTables(int32_t* sines, int32_t* cosines, int count, double radius);
// The point at the offset (along, across) from the midpoint of the segment
// in its own frame (run left to right), and the segment's angle in degrees.
int GetLabelPosition(double x1, double y1, double x2, double y2, double along, double across,
                     double* x, double* y, double* angleDeg);
// The steepest of the three vertex-to-opposite-midpoint slopes (degrees).
int GetSteepestSlope(const double p1[3], const double p2[3], const double p3[3], double* degrees);
