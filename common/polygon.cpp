#include "common/polygon.h"

#include <cmath>

#include "common/geometry_lines.h"
#include "common/numeric.h"

namespace {

constexpr double kTol = kLengthTolerance;

struct VertexRecord {
  int16_t id;
  double x, y, z;
};

struct IntVertexRecord {
  int32_t x, y;
};

void Put(double* out, double value) {
  if (out) *out = value;
}

// The operations shared by both polygon classes, over a vertex reader
// vertex(n, &x, &y) for n = 1..count.

template <class Vertex>
int WindingContains(uint32_t count, const Vertex& vertex, double x, double y) {
  if (count <= 2) return 0;
  double px = 0, py = 0;
  if (!vertex(count, &px, &py)) return 0;
  double sum = 0;
  for (uint32_t i = 1; i <= count; ++i) {
    double cx = 0, cy = 0;
    if (!vertex(i, &cx, &cy)) return 0;
    double angle = 0;
    if (GetSignedAngleAt(x, y, px, py, cx, cy, &angle)) sum += angle;
    px = cx;
    py = cy;
  }
  return std::fabs(sum) > kPi ? 1 : 0;
}

template <class Vertex>
int TrapezoidArea(uint32_t count, const Vertex& vertex, double* area) {
  if (count < 3) return 0;
  double x1 = 0, y1 = 0;
  if (!vertex(1, &x1, &y1)) return 0;
  double sum = 0, px = x1, py = 0;
  for (uint32_t i = 2; i <= count + 1; ++i) {
    double cx = x1, cy = y1;
    if (i <= count && !vertex(i, &cx, &cy)) return 0;
    cy -= y1;
    sum += (py + cy) * (cx - px);
    px = cx;
    py = cy;
  }
  Put(area, sum / 2);
  return 1;
}

// The first edge V(i-1)→Vi that holds every one of the n points.
template <class Vertex>
int OnSomeEdge(uint32_t count, const Vertex& vertex, const double box[4], const double* points,
               int n, double tolerance) {
  if (count <= 2) return 0;
  const double wide[4] = {box[0] - tolerance, box[1] - tolerance, box[2] + tolerance,
                          box[3] + tolerance};
  for (int k = 0; k < n; ++k)
    if (!IsPointInRect(points[2 * k], points[2 * k + 1], wide)) return 0;
  double px = 0, py = 0;
  if (!vertex(1, &px, &py)) return 0;
  for (uint32_t i = 2; i <= count; ++i) {
    double cx = 0, cy = 0;
    if (!vertex(i, &cx, &cy)) return 0;
    bool all = true;
    for (int k = 0; k < n && all; ++k)
      all = IsPointOnSegment(px, py, cx, cy, points[2 * k], points[2 * k + 1], tolerance) != 0;
    if (all) return 1;
    px = cx;
    py = cy;
  }
  return 0;
}

}  // namespace

// ---- CPolygon ----

CPolygon::CPolygon() = default;

CPolygon::~CPolygon() { Free(); }

int CPolygon::Create(uint32_t initialCapacity, uint32_t growthStep) {
  return vertices_.Create(initialCapacity, sizeof(VertexRecord), growthStep);
}

void CPolygon::Free() { vertices_.Free(); }

uint32_t CPolygon::GetCount() const { return vertices_.GetCount(); }

void CPolygon::SetCount(uint32_t n) { vertices_.SetCount(n); }

int CPolygon::GetVertex3D(uint32_t n, int16_t* id, double* x, double* y, double* z) const {
  VertexRecord r{};
  if (!vertices_.GetAt(n, &r)) return 0;
  if (id) *id = r.id;
  Put(x, r.x);
  Put(y, r.y);
  Put(z, r.z);
  return 1;
}

int CPolygon::GetVertex(uint32_t n, int16_t* id, double* x, double* y) const {
  return GetVertex3D(n, id, x, y, nullptr);
}

int CPolygon::SetVertex3D(uint32_t n, int16_t id, double x, double y, double z) {
  const VertexRecord r{id, x, y, z};
  return vertices_.SetAt(n, &r);
}

int CPolygon::SetVertex(uint32_t n, int16_t id, double x, double y) {
  return SetVertex3D(n, id, x, y, 0);
}

int CPolygon::AddVertex(int16_t id, double x, double y, double z) {
  const uint32_t count = vertices_.GetCount();
  if (count == 0) {
    minX_ = maxX_ = x;
    minY_ = maxY_ = y;
  } else {
    VertexRecord last{};
    if (vertices_.GetAt(count, &last) && last.x == x && last.y == y && last.z == z) return 1;
    minX_ = MinDouble(minX_, x);
    minY_ = MinDouble(minY_, y);
    maxX_ = MaxDouble(maxX_, x);
    maxY_ = MaxDouble(maxY_, y);
  }
  const VertexRecord r{id, x, y, z};
  return vertices_.Add(&r);
}

int CPolygon::AddPoint(int16_t id, double x, double y) { return AddVertex(id, x, y, 0); }

int CPolygon::GetBox(double rect[4]) const {
  if (!rect) return 0;
  rect[0] = minX_;
  rect[1] = minY_;
  rect[2] = maxX_;
  rect[3] = maxY_;
  return GetCount() > 2 ? 1 : 0;
}

int CPolygon::RecomputeBox() {
  const uint32_t count = GetCount();
  if (count == 0) return 0;
  for (uint32_t i = 1; i <= count; ++i) {
    double x = 0, y = 0;
    if (!Vertex(i, &x, &y)) return 0;
    if (i == 1) {
      minX_ = maxX_ = x;
      minY_ = maxY_ = y;
      continue;
    }
    minX_ = MinDouble(minX_, x);
    minY_ = MinDouble(minY_, y);
    maxX_ = MaxDouble(maxX_, x);
    maxY_ = MaxDouble(maxY_, y);
  }
  return 1;
}

int CPolygon::GetBoxSize(double* width, double* height) {
  if (!RecomputeBox()) return 0;
  Put(width, maxX_ - minX_);
  Put(height, maxY_ - minY_);
  return 1;
}

int CPolygon::Vertex(uint32_t n, double* x, double* y) const {
  return GetVertex3D(n, nullptr, x, y, nullptr);
}

int CPolygon::ContainsPoint(double x, double y) const {
  if (GetCount() <= 2) return 0;
  const double box[4] = {minX_, minY_, maxX_, maxY_};
  if (!IsPointInRect(x, y, box)) return 0;
  return WindingContains(
      GetCount(), [this](uint32_t n, double* vx, double* vy) { return Vertex(n, vx, vy); }, x, y);
}

int CPolygon::IsPointOnBoundary(double x, double y, double tolerance) const {
  const double box[4] = {minX_, minY_, maxX_, maxY_};
  const double p[2] = {x, y};
  return OnSomeEdge(
      GetCount(), [this](uint32_t n, double* vx, double* vy) { return Vertex(n, vx, vy); }, box, p,
      1, tolerance);
}

int CPolygon::IsSegmentOnBoundary(double x1, double y1, double x2, double y2,
                                  double tolerance) const {
  const double box[4] = {minX_, minY_, maxX_, maxY_};
  const double p[4] = {x1, y1, x2, y2};
  return OnSomeEdge(
      GetCount(), [this](uint32_t n, double* vx, double* vy) { return Vertex(n, vx, vy); }, box, p,
      2, tolerance);
}

int CPolygon::CrossesSegment(double x1, double y1, double x2, double y2) const {
  const uint32_t count = GetCount();
  if (count < 2) return 0;
  double px = 0, py = 0;
  if (!Vertex(1, &px, &py)) return 0;
  for (uint32_t i = 2; i <= count; ++i) {
    double cx = 0, cy = 0;
    if (!Vertex(i, &cx, &cy)) return 0;
    if (IntersectSegments(x1, y1, x2, y2, px, py, cx, cy, nullptr, nullptr, kTol, kTol)) return 1;
    px = cx;
    py = cy;
  }
  return 0;
}

int CPolygon::FindBoundaryCrossing(double ax, double ay, double bx, double by, double* x, double* y,
                                   double* distance) const {
  const uint32_t count = GetCount();
  if (count <= 2) return 0;
  if (IsPointOnBoundary(bx, by, kTol)) {
    Put(x, bx);
    Put(y, by);
    Put(distance, 0);
    return 1;
  }
  bool found = false;
  double bestX = 0, bestY = 0, bestScore = 0;
  double px = 0, py = 0;
  if (!Vertex(1, &px, &py)) return 0;
  for (uint32_t i = 2; i <= count; ++i) {
    double cx = 0, cy = 0;
    if (!Vertex(i, &cx, &cy)) return 0;
    double ix = 0, iy = 0, score = 0;
    if (IntersectLinesFromPoints(ax, ay, bx, by, px, py, cx, cy, &ix, &iy, kTol) &&
        GetDot(ax, ay, bx, by, ix, iy) > 0 && IsPointOnSegment(px, py, cx, cy, ix, iy, kTol) &&
        GetSignedDistanceToLine(px, py, cx, cy, bx, by, &score)) {
      score = std::fabs(score);
      if (!found || score < bestScore) {
        found = true;
        bestX = ix;
        bestY = iy;
        bestScore = score;
      }
    }
    px = cx;
    py = cy;
  }
  if (!found) return 0;
  Put(x, bestX);
  Put(y, bestY);
  Put(distance, bestScore);
  return 1;
}

int CPolygon::GetInnerPoint(double* x, double* y) const {
  const uint32_t count = GetCount();
  if (count <= 2) return 0;
  if (count == 4) {
    double v[6];
    if (!Vertex(1, &v[0], &v[1]) || !Vertex(2, &v[2], &v[3]) || !Vertex(3, &v[4], &v[5])) return 0;
    double m12x = 0, m12y = 0, m13x = 0, m13y = 0, gx = 0, gy = 0;
    GetMidpoint(v[0], v[1], v[2], v[3], &m12x, &m12y);
    GetMidpoint(v[0], v[1], v[4], v[5], &m13x, &m13y);
    if (IntersectLinesFromPoints(v[4], v[5], m12x, m12y, v[2], v[3], m13x, m13y, &gx, &gy, kTol) &&
        ContainsPoint(gx, gy)) {
      Put(x, gx);
      Put(y, gy);
      return 1;
    }
  }
  const double box[4] = {minX_, minY_, maxX_, maxY_};
  bool found = false;
  double bestX = 0, bestY = 0, best = 0;
  for (uint32_t i = 3; i <= count; ++i) {
    double ax = 0, ay = 0, bx = 0, by = 0, cx = 0, cy = 0;
    if (!Vertex(i - 2, &ax, &ay) || !Vertex(i - 1, &bx, &by) || !Vertex(i, &cx, &cy)) return 0;
    const double gx = (ax + bx + cx) / 3, gy = (ay + by + cy) / 3;
    if (!IsPointInRect(gx, gy, box) || !ContainsPoint(gx, gy)) continue;
    double d1 = 0, d2 = 0;
    if (!GetSignedDistanceToLine(ax, ay, bx, by, gx, gy, &d1) ||
        !GetSignedDistanceToLine(bx, by, cx, cy, gx, gy, &d2))
      continue;
    const double d = MinDouble(std::fabs(d1), std::fabs(d2));
    if (!(d > kTol)) continue;
    if (!found || d > best) {
      found = true;
      best = d;
      bestX = gx;
      bestY = gy;
    }
  }
  if (!found) return 0;
  Put(x, bestX);
  Put(y, bestY);
  return 1;
}

int CPolygon::IsSimple() const {
  const uint32_t count = GetCount();
  if (count <= 3) return 1;
  for (uint32_t p = 2; p + 1 <= count; ++p) {
    double ax = 0, ay = 0, bx = 0, by = 0;
    if (!Vertex(p - 1, &ax, &ay) || !Vertex(p, &bx, &by)) return 0;
    for (uint32_t j = p + 2; j <= count; ++j) {
      double cx = 0, cy = 0, dx = 0, dy = 0, ix = 0, iy = 0;
      if (!Vertex(j - 1, &cx, &cy) || !Vertex(j, &dx, &dy)) return 0;
      if (!IntersectSegments(ax, ay, bx, by, cx, cy, dx, dy, &ix, &iy, kTol, kTol)) continue;
      if (ArePointsNear(ix, iy, ax, ay, kTol) || ArePointsNear(ix, iy, bx, by, kTol) ||
          ArePointsNear(ix, iy, cx, cy, kTol) || ArePointsNear(ix, iy, dx, dy, kTol))
        continue;
      return 0;
    }
  }
  return 1;
}

int CPolygon::GetArea(double* area) const {
  return TrapezoidArea(
      GetCount(), [this](uint32_t n, double* vx, double* vy) { return Vertex(n, vx, vy); }, area);
}

int CPolygon::GetProjectedArea(double* area, double focal) const {
  return TrapezoidArea(
      GetCount(),
      [this, focal](uint32_t n, double* vx, double* vy) {
        double x = 0, y = 0, z = 0;
        return GetVertex3D(n, nullptr, &x, &y, &z) && ProjectPerspective(x, y, z, focal, vx, vy);
      },
      area);
}

int CPolygon::GetLength(double* length) const {
  const uint32_t count = GetCount();
  if (count < 4) return 0;
  double sum = 0, px = 0, py = 0;
  if (!Vertex(1, &px, &py)) return 0;
  for (uint32_t i = 2; i <= count; ++i) {
    double cx = 0, cy = 0;
    if (!Vertex(i, &cx, &cy)) return 0;
    sum += GetDistance(px, py, cx, cy);
    px = cx;
    py = cy;
  }
  Put(length, sum);
  return 1;
}

int CPolygon::GetRotatedExtent(double angleDeg, double* width, double* height) const {
  const uint32_t count = GetCount();
  if (count < 4) return 0;
  double ox = 0, oy = 0;
  if (!Vertex(1, &ox, &oy)) return 0;
  const double a = DegToRad(angleDeg), c = std::cos(a), s = std::sin(a);
  double lo[2] = {0, 0}, hi[2] = {0, 0};
  for (uint32_t i = 1; i <= count; ++i) {
    double x = 0, y = 0, rx = 0, ry = 0;
    if (!Vertex(i, &x, &y)) return 0;
    RotateAround(ox, oy, x, y, c, -s, &rx, &ry);
    if (i == 1) {
      lo[0] = hi[0] = rx;
      lo[1] = hi[1] = ry;
      continue;
    }
    lo[0] = MinDouble(lo[0], rx);
    lo[1] = MinDouble(lo[1], ry);
    hi[0] = MaxDouble(hi[0], rx);
    hi[1] = MaxDouble(hi[1], ry);
  }
  Put(width, hi[0] - lo[0]);
  Put(height, hi[1] - lo[1]);
  return 1;
}

int CPolygon::FindMajorAxisAngle(double* angleDeg) const {
  double best = 0, bestAngle = 0;
  if (!GetRotatedExtent(0, &best, nullptr)) return 0;
  for (int k = 1; k <= 18000; ++k) {
    const double angle = k * 0.01;
    double width = 0;
    if (!GetRotatedExtent(angle, &width, nullptr)) return 0;
    if (width > best) {
      best = width;
      bestAngle = angle;
    }
  }
  Put(angleDeg, bestAngle);
  return 1;
}

int CPolygon::GetMajorAxisExtent(double* length, double* width) const {
  double angle = 0;
  if (!FindMajorAxisAngle(&angle)) return 0;
  return GetRotatedExtent(angle, length, width);
}

int CPolygon::GetElongationIndex(double* index) const {
  double length = 0, area = 0;
  if (!GetMajorAxisExtent(&length, nullptr) || !GetArea(&area)) return 0;
  Put(index, std::fabs(area) < kTol ? 0 : length * length / std::fabs(area) * kPi / 4);
  return 1;
}

int CPolygon::GetCompactnessIndex(double* index) const {
  double perimeter = 0, area = 0;
  if (!GetLength(&perimeter) || !GetArea(&area)) return 0;
  Put(index, std::fabs(area) < kTol ? 0 : perimeter * perimeter / std::fabs(area) * kPi / 4);
  return 1;
}

int CPolygon::GetAspectRatio(double* ratio) const {
  double length = 0, width = 0;
  if (!GetMajorAxisExtent(&length, &width)) return 0;
  Put(ratio, width < kTol ? 0 : length / width);
  return 1;
}

int CPolygon::GetZRange(double* minZ, double* maxZ) const {
  const uint32_t count = GetCount();
  if (count < 4) return 0;
  double lo = 0, hi = 0;
  for (uint32_t i = 1; i <= count; ++i) {
    double z = 0;
    if (!GetVertex3D(i, nullptr, nullptr, nullptr, &z)) return 0;
    if (i == 1 || z < lo) lo = z;
    if (i == 1 || z > hi) hi = z;
  }
  Put(minZ, lo);
  Put(maxZ, hi);
  return 1;
}

int CPolygon::GetNormal(double* nx, double* ny, double* nz) const {
  const uint32_t count = GetCount();
  if (count < 4) return 0;
  for (uint32_t i = 3; i <= count; ++i) {
    double a[3], b[3], c[3];
    if (!GetVertex3D(i - 2, nullptr, &a[0], &a[1], &a[2]) ||
        !GetVertex3D(i - 1, nullptr, &b[0], &b[1], &b[2]) ||
        !GetVertex3D(i, nullptr, &c[0], &c[1], &c[2]))
      return 0;
    // (A - B) × (C - B)
    if (GetUnitNormal3D(b[0], b[1], b[2], a[0], a[1], a[2], c[0], c[1], c[2], nx, ny, nz)) return 1;
  }
  return 0;
}

int CPolygon::GetPlane(double plane[6]) const {
  if (!plane || !GetNormal(&plane[0], &plane[1], &plane[2])) return 0;
  return GetVertex3D(1, nullptr, &plane[3], &plane[4], &plane[5]);
}

// ---- CIntPolygon ----

CIntPolygon::CIntPolygon() = default;

CIntPolygon::~CIntPolygon() { Free(); }

int CIntPolygon::Create(uint32_t initialCapacity, uint32_t growthStep) {
  return vertices_.Create(initialCapacity, sizeof(IntVertexRecord), growthStep);
}

void CIntPolygon::Free() { vertices_.Free(); }

uint32_t CIntPolygon::GetCount() const { return vertices_.GetCount(); }

const int32_t* CIntPolygon::GetBuffer() const {
  return static_cast<const int32_t*>(vertices_.GetBuffer());
}

int CIntPolygon::GetVertex(uint32_t n, int32_t* x, int32_t* y) const {
  IntVertexRecord r{};
  if (!vertices_.GetAt(n, &r)) return 0;
  if (x) *x = r.x;
  if (y) *y = r.y;
  return 1;
}

int CIntPolygon::SetVertex(uint32_t n, int32_t x, int32_t y) {
  const IntVertexRecord r{x, y};
  return vertices_.SetAt(n, &r);
}

int CIntPolygon::AddVertex(int32_t x, int32_t y) {
  const uint32_t count = GetCount();
  if (count == 0) {
    minX_ = maxX_ = x;
    minY_ = maxY_ = y;
  } else {
    IntVertexRecord last{};
    if (vertices_.GetAt(count, &last) && last.x == x && last.y == y) return 1;
    if (x < minX_) minX_ = x;
    if (y < minY_) minY_ = y;
    if (x > maxX_) maxX_ = x;
    if (y > maxY_) maxY_ = y;
  }
  const IntVertexRecord r{x, y};
  return vertices_.Add(&r);
}

int CIntPolygon::GetBox(int32_t rect[4]) const {
  if (!rect) return 0;
  rect[0] = minX_;
  rect[1] = minY_;
  rect[2] = maxX_;
  rect[3] = maxY_;
  return GetCount() > 2 ? 1 : 0;
}

int CIntPolygon::ComputeBox(int32_t* minX, int32_t* minY, int32_t* maxX, int32_t* maxY) const {
  const uint32_t count = GetCount();
  if (count < 3) return 0;
  int32_t lo[2] = {0, 0}, hi[2] = {0, 0};
  for (uint32_t i = 1; i <= count; ++i) {
    int32_t x = 0, y = 0;
    if (!GetVertex(i, &x, &y)) return 0;
    if (i == 1 || x < lo[0]) lo[0] = x;
    if (i == 1 || y < lo[1]) lo[1] = y;
    if (i == 1 || x > hi[0]) hi[0] = x;
    if (i == 1 || y > hi[1]) hi[1] = y;
  }
  if (minX) *minX = lo[0];
  if (minY) *minY = lo[1];
  if (maxX) *maxX = hi[0];
  if (maxY) *maxY = hi[1];
  return 1;
}

int CIntPolygon::GetBoxCenter(double* x, double* y) const {
  int32_t a = 0, b = 0, c = 0, d = 0;
  if (!ComputeBox(&a, &b, &c, &d)) return 0;
  Put(x, (static_cast<double>(a) + c) / 2);
  Put(y, (static_cast<double>(b) + d) / 2);
  return 1;
}

int CIntPolygon::Vertex(uint32_t n, double* x, double* y) const {
  int32_t ix = 0, iy = 0;
  if (!GetVertex(n, &ix, &iy)) return 0;
  Put(x, ix);
  Put(y, iy);
  return 1;
}

int CIntPolygon::ContainsPoint(int32_t x, int32_t y) const {
  if (GetCount() <= 2) return 0;
  const int32_t box[4] = {minX_, minY_, maxX_, maxY_};
  if (!IsPointInIntRect(x, y, box)) return 0;
  return WindingContains(
      GetCount(), [this](uint32_t n, double* vx, double* vy) { return Vertex(n, vx, vy); }, x, y);
}

int CIntPolygon::IsPointOnBoundary(int32_t x, int32_t y, double tolerance) const {
  const double box[4] = {static_cast<double>(minX_), static_cast<double>(minY_),
                         static_cast<double>(maxX_), static_cast<double>(maxY_)};
  const double p[2] = {static_cast<double>(x), static_cast<double>(y)};
  return OnSomeEdge(
      GetCount(), [this](uint32_t n, double* vx, double* vy) { return Vertex(n, vx, vy); }, box, p,
      1, tolerance);
}

int CIntPolygon::GetArea(double* area) const {
  return TrapezoidArea(
      GetCount(), [this](uint32_t n, double* vx, double* vy) { return Vertex(n, vx, vy); }, area);
}

int CIntPolygon::GetMeanPoint(double* x, double* y) const {
  uint32_t count = GetCount();
  if (count < 3) return 0;
  int32_t fx = 0, fy = 0, lx = 0, ly = 0;
  if (!GetVertex(1, &fx, &fy) || !GetVertex(count, &lx, &ly)) return 0;
  if (fx == lx && fy == ly) --count;
  double sx = 0, sy = 0;
  for (uint32_t i = 1; i <= count; ++i) {
    double vx = 0, vy = 0;
    if (!Vertex(i, &vx, &vy)) return 0;
    sx += vx;
    sy += vy;
  }
  Put(x, sx / count);
  Put(y, sy / count);
  return 1;
}
