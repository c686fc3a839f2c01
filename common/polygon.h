#pragma once
// Polygons as vertex lists with a bounding box that grows as vertices are
// added: CPolygon (double coordinates, a 16-bit id and x, y, z per vertex)
// and CIntPolygon (32-bit integer x, y). Vertices are numbered from 1; most
// operations treat the list as a ring (V1 may or may not be repeated at the
// end). Results are 1 (done) and 0 (refused or failed) unless stated. The
// box is kept up to date only by the add operations.

#include <cstdint>

#include "common/record_array.h"

class CPolygon {
 public:
  CPolygon();
  ~CPolygon();
  CPolygon(const CPolygon&) = delete;
  CPolygon& operator=(const CPolygon&) = delete;

  int Create(uint32_t initialCapacity, uint32_t growthStep);
  void Free();
  uint32_t GetCount() const;
  void SetCount(uint32_t n);
  int GetVertex3D(uint32_t n, int16_t* id, double* x, double* y, double* z) const;
  int GetVertex(uint32_t n, int16_t* id, double* x, double* y) const;
  int SetVertex3D(uint32_t n, int16_t id, double x, double y, double z);
  int SetVertex(uint32_t n, int16_t id, double x, double y);
  // A vertex equal in x, y and z to the last one is not added (result 1).
  int AddVertex(int16_t id, double x, double y, double z);
  int AddPoint(int16_t id, double x, double y);
  // Copies the box (min x, min y, max x, max y); 1 only for more than 2
  // vertices.
  int GetBox(double rect[4]) const;
  int RecomputeBox();
  int GetBoxSize(double* width, double* height);

  // Inside by the winding-angle sum, closing edge included.
  int ContainsPoint(double x, double y) const;
  // Within the tolerance of an edge V(i-1)→Vi (closing edge not tested).
  int IsPointOnBoundary(double x, double y, double tolerance) const;
  int IsSegmentOnBoundary(double x1, double y1, double x2, double y2, double tolerance) const;
  int CrossesSegment(double x1, double y1, double x2, double y2) const;
  // Where the ray from A through B meets the boundary, and B's distance
  // from that edge's line.
  int FindBoundaryCrossing(double ax, double ay, double bx, double by, double* x, double* y,
                           double* distance) const;
  // A point inside, away from the edges.
  int GetInnerPoint(double* x, double* y) const;
  int IsSimple() const;
  // Signed area, positive for clockwise vertices (y up); 3 or more vertices.
  int GetArea(double* area) const;
  int GetProjectedArea(double* area, double focal) const;
  // The edge lengths without the closing edge; 4 or more vertices.
  int GetLength(double* length) const;
  // The box size of the polygon turned by minus the angle about V1.
  int GetRotatedExtent(double angleDeg, double* width, double* height) const;
  // The direction (degrees, 0 to 180 in steps of 0.01) of greatest extent.
  int FindMajorAxisAngle(double* angleDeg) const;
  int GetMajorAxisExtent(double* length, double* width) const;
  int GetElongationIndex(double* index) const;
  int GetCompactnessIndex(double* index) const;
  int GetAspectRatio(double* ratio) const;
  int GetZRange(double* minZ, double* maxZ) const;
  int GetNormal(double* nx, double* ny, double* nz) const;
  // nx, ny, nz, then V1 as the point.
  int GetPlane(double plane[6]) const;

 private:
  int Vertex(uint32_t n, double* x, double* y) const;

  CRecordList vertices_;
  double minX_ = 0, minY_ = 0, maxX_ = 0, maxY_ = 0;
};

class CIntPolygon {
 public:
  CIntPolygon();
  ~CIntPolygon();
  CIntPolygon(const CIntPolygon&) = delete;
  CIntPolygon& operator=(const CIntPolygon&) = delete;

  int Create(uint32_t initialCapacity, uint32_t growthStep);
  void Free();
  uint32_t GetCount() const;
  // The vertex records {int32 x, int32 y}, contiguous.
  const int32_t* GetBuffer() const;
  int GetVertex(uint32_t n, int32_t* x, int32_t* y) const;
  int SetVertex(uint32_t n, int32_t x, int32_t y);
  int AddVertex(int32_t x, int32_t y);
  int GetBox(int32_t rect[4]) const;
  int ComputeBox(int32_t* minX, int32_t* minY, int32_t* maxX, int32_t* maxY) const;
  int GetBoxCenter(double* x, double* y) const;
  int ContainsPoint(int32_t x, int32_t y) const;
  int IsPointOnBoundary(int32_t x, int32_t y, double tolerance) const;
  int GetArea(double* area) const;
  // The mean of the vertices, a closing repeat of V1 left out.
  int GetMeanPoint(double* x, double* y) const;

 private:
  int Vertex(uint32_t n, double* x, double* y) const;

  CRecordList vertices_;
  int32_t minX_ = 0, minY_ = 0, maxX_ = 0, maxY_ = 0;
};
