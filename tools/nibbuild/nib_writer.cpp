#include "tools/nibbuild/nib_writer.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "tools/image_file.h"

namespace nibbuild {
namespace {

constexpr std::size_t kHeaderSize = 80;
constexpr std::size_t kNameSize = 81;
constexpr std::size_t kCellSize = 20;
constexpr std::size_t kPointSize = 16;
constexpr int32_t kMaxCells = 1024;

void PutLe(std::string* image, std::size_t at, uint64_t value, int bytes) {
  StoreLe(reinterpret_cast<unsigned char*>(&(*image)[at]), value, bytes);
}

void PutDouble(std::string* image, std::size_t at, double value) {
  StoreLeValue(reinterpret_cast<unsigned char*>(&(*image)[at]), value);
}

// The cell of a coordinate: floor((v − origin) / size) kept within
// 0 .. count − 1.
int32_t CellOf(double value, double origin, double size, int32_t count) {
  const double q = std::floor((value - origin) / size);
  if (q < 0) return 0;
  if (q > count - 1) return count - 1;
  return static_cast<int32_t>(q);
}

class Writer {
 public:
  Writer(const NibLayout& layout, std::string* image) : layout_(layout), image_(image) {}

  // Appends zeroed room for a cell table; its position.
  std::size_t AppendTable() {
    const std::size_t at = image_->size();
    image_->append(static_cast<std::size_t>(layout_.columns) * layout_.rows * kCellSize, '\0');
    return at;
  }

  // Fills the cell table at `table` for the points (indexes into points_)
  // of a grid with origin (x0, y0) and cells w × h.
  void Fill(std::size_t table, const std::vector<std::size_t>& members, double x0, double y0,
            double w, double h, int depth) {
    const int32_t nx = layout_.columns;
    const int32_t ny = layout_.rows;
    std::vector<std::vector<std::size_t>> cells(static_cast<std::size_t>(nx) * ny);
    for (std::size_t m : members) {
      const int32_t ix = CellOf((*points_)[m].x, x0, w, nx);
      const int32_t iy = CellOf((*points_)[m].y, y0, h, ny);
      cells[static_cast<std::size_t>(iy) * nx + ix].push_back(m);
    }
    for (int32_t iy = 0; iy < ny; ++iy) {
      for (int32_t ix = 0; ix < nx; ++ix) {
        const std::vector<std::size_t>& in = cells[static_cast<std::size_t>(iy) * nx + ix];
        const std::size_t cell = table + (static_cast<std::size_t>(iy) * nx + ix) * kCellSize;
        if (in.empty()) continue;  // all zero: kind 0, no points
        PutLe(image_, cell + 8, in.size(), 4);
        if (in.size() > layout_.maxPointsPerCell && depth < layout_.maxDepth) {
          const std::size_t finer = AppendTable();
          PutLe(image_, cell + 12, finer, 4);
          PutLe(image_, cell + 16, 1, 4);
          Fill(finer, in, x0 + ix * w, y0 + iy * h, w / nx, h / ny, depth + 1);
        } else {
          PutLe(image_, cell, image_->size(), 4);
          for (std::size_t k = 0; k < in.size(); ++k) {
            const std::size_t at = image_->size();
            image_->append(kPointSize, '\0');
            const std::size_t next = k + 1 < in.size() ? at + kPointSize : 0;
            PutLe(image_, at + 4, next, 4);
            PutLe(image_, at + 8, (*points_)[in[k]].recordId, 4);
          }
        }
      }
    }
  }

  void SetPoints(const std::vector<NibPoint>* points) { points_ = points; }

 private:
  const NibLayout& layout_;
  std::string* image_;
  const std::vector<NibPoint>* points_ = nullptr;
};

bool CheckName(const std::string& name, const char* what, std::string* error) {
  if (name.empty() || name.size() > kNameSize - 1 || name.find('\0') != std::string::npos) {
    if (error) *error = std::string("bad ") + what + " name";
    return false;
  }
  return true;
}

bool CheckLayout(const NibLayout& l, const std::vector<NibPoint>& points, std::string* error) {
  if (!CheckName(l.table, "table", error) || !CheckName(l.xField, "x field", error) ||
      !CheckName(l.yField, "y field", error)) {
    return false;
  }
  if (l.columns < 1 || l.columns > kMaxCells || l.rows < 1 || l.rows > kMaxCells) {
    if (error) *error = "columns and rows must lie in 1 to 1024";
    return false;
  }
  if (!std::isfinite(l.lowX) || !std::isfinite(l.lowY) || !std::isfinite(l.highX) ||
      !std::isfinite(l.highY) || !(l.lowX < l.highX) || !(l.lowY < l.highY)) {
    if (error) *error = "empty or non-finite area";
    return false;
  }
  if (l.maxDepth < 0 || l.maxDepth > kNibMaxDepth) {
    if (error) *error = "depth must lie in 0 to 32";
    return false;
  }
  for (const NibPoint& p : points) {
    if (!(p.x >= l.lowX && p.x <= l.highX && p.y >= l.lowY && p.y <= l.highY)) {
      if (error) *error = "point outside the area: record " + std::to_string(p.recordId);
      return false;
    }
  }
  return true;
}

}  // namespace

bool SetAreaFromPoints(NibLayout* layout, const std::vector<NibPoint>& points) {
  if (!layout || points.empty()) return false;
  double lowX = points[0].x;
  double lowY = points[0].y;
  double highX = lowX;
  double highY = lowY;
  for (const NibPoint& p : points) {
    lowX = std::fmin(lowX, p.x);
    lowY = std::fmin(lowY, p.y);
    highX = std::fmax(highX, p.x);
    highY = std::fmax(highY, p.y);
  }
  if (highX == lowX) highX = lowX + 1;
  if (highY == lowY) highY = lowY + 1;
  layout->lowX = lowX;
  layout->lowY = lowY;
  layout->highX = highX;
  layout->highY = highY;
  return true;
}

bool BuildNibImage(const NibLayout& layout, const std::vector<NibPoint>& points, std::string* image,
                   std::string* error) {
  if (!CheckLayout(layout, points, error)) return false;
  std::string out(kHeaderSize, '\0');
  std::memcpy(&out[0], "DBINDEXB", 8);
  const double w = (layout.highX - layout.lowX) / layout.columns;
  const double h = (layout.highY - layout.lowY) / layout.rows;
  Writer writer(layout, &out);
  writer.SetPoints(&points);
  const std::size_t top = writer.AppendTable();
  const std::string* names[3] = {&layout.table, &layout.xField, &layout.yField};
  for (int k = 0; k < 3; ++k) {
    PutLe(&out, 8 + 4 * k, out.size(), 4);
    std::string record = *names[k];
    record.resize(kNameSize, '\0');
    out += record;
  }
  PutLe(&out, 20, static_cast<uint32_t>(layout.columns), 4);
  PutLe(&out, 24, static_cast<uint32_t>(layout.rows), 4);
  PutDouble(&out, 32, w);
  PutDouble(&out, 40, h);
  PutDouble(&out, 48, layout.lowX);
  PutDouble(&out, 56, layout.lowY);
  PutDouble(&out, 64, layout.highX);
  PutDouble(&out, 72, layout.highY);
  std::vector<std::size_t> all(points.size());
  for (std::size_t k = 0; k < all.size(); ++k) all[k] = k;
  writer.Fill(top, all, layout.lowX, layout.lowY, w, h, 0);
  if (out.size() > std::numeric_limits<uint32_t>::max()) {
    if (error) *error = "index larger than 4 GB";
    return false;
  }
  *image = std::move(out);
  return true;
}

bool WriteNibFile(const char* path, const NibLayout& layout, const std::vector<NibPoint>& points,
                  std::string* error) {
  std::string image;
  if (!BuildNibImage(layout, points, &image, error)) return false;
  return builder::WriteImageFile(path, image, error, "cannot create the grid index",
                                 "cannot write the grid index");
}

}  // namespace nibbuild
