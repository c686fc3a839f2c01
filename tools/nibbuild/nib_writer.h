#pragma once
// Writer of the facility grid index (範囲.NIB): nested uniform grids of
// facility record identifiers over the plane of two coordinate fields.
//
//   header, 80 bytes at 0: "DBINDEXB"; u32 positions of the name records of
//     the table, the x field and the y field; i32 columns, rows; u32 0;
//     doubles cell width and height of the top grid; lowest x, lowest y,
//     highest x, highest y of the covered area
//   top cell table at 80: columns × rows cells of 20 bytes, row by row
//   three name records of 81 bytes (text, NUL, zero padding)
//   then, depth first in cell order: the finer cell tables and the point
//   records of each cell
//   cell: u32 first point record, u32 0, u32 number of points (under a
//     divided cell: all points beneath it), u32 finer cell table, u32 kind
//     (1 divided, 0 listing points)
//   point record: u32 0, u32 next point record (0 ends), u32 record
//     identifier, u32 0
//
// Every grid has the same columns × rows. Cell (i, j) of a grid with origin
// (x0, y0) and cells w × h covers x from x0 + i·w on (the last column and
// row run to the area's end); a divided cell's finer grid has origin
// (x0 + i·w, y0 + j·h) and cells w / columns × h / rows. A point lies in
// the cell floor((x − x0) / w), kept within 0 .. columns − 1 (rows the
// same). A cell holding more than maxPointsPerCell points is divided while
// the grid lies less than maxDepth levels below the top. Points of a cell
// are chained in the order given. All numbers are little-endian.

#include <cstdint>
#include <string>
#include <vector>

namespace nibbuild {

struct NibPoint {
  uint32_t recordId = 0;  // record-header position in the table database
  double x = 0;
  double y = 0;
};

struct NibLayout {
  std::string table;  // CP932 names, at most 80 bytes each
  std::string xField;
  std::string yField;
  int32_t columns = 4;
  int32_t rows = 4;
  // Covered area; lowest below highest on both axes.
  double lowX = 0;
  double lowY = 0;
  double highX = 0;
  double highY = 0;
  uint32_t maxPointsPerCell = 8;
  int maxDepth = 4;  // 0 to 32
};

// Deepest division the writer makes.
inline constexpr int kNibMaxDepth = 32;

// Sets the layout's area to the points' bounding box; an extent of 0 is
// widened to 1. False for no points.
bool SetAreaFromPoints(NibLayout* layout, const std::vector<NibPoint>& points);

// The whole file. False (image untouched) with a reason for a name longer
// than 80 bytes or holding a NUL, columns or rows outside 1 to 1024, an
// empty or non-finite area, a depth outside 0 to 32, a point that is not
// finite or lies outside the area, or an image beyond 4 GB.
bool BuildNibImage(const NibLayout& layout, const std::vector<NibPoint>& points, std::string* image,
                   std::string* error);
// BuildNibImage, then the file at a CP932 path, written aside and renamed
// over it: a failure leaves the path as it was.
bool WriteNibFile(const char* path, const NibLayout& layout, const std::vector<NibPoint>& points,
                  std::string* error);

}  // namespace nibbuild
