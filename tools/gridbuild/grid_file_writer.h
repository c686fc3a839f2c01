#pragma once
// Writer of the datum grid parameter file (TKY2JGD.PAR): the shifts from
// the Tokyo datum to JGD2000 per second-order mesh.
//
//   line 1, line 2   header texts (not read)
//   then one line per mesh: the six-digit mesh code, the latitude shift and
//   the longitude shift in seconds of arc, separated by blanks;
//   every line ends in CR LF.
//
// A second-order mesh is 5 minutes of latitude by 7.5 minutes of longitude.
// Its code is p x 10000 + u x 100 + q x 10 + v: p = the first-order row
// (latitude x 1.5, two digits), u = the first-order column (longitude -
// 100, two digits), q and v the row and column (0-7) inside it. Here a mesh
// is also named by its global row (8p + q) and column (8u + v), so that the
// neighbours are row + 1 (north) and column + 1 (east).
//
// The lines are written in ascending order of the mesh code; a mesh given
// twice is refused.

#include <cstdint>
#include <string>
#include <vector>

namespace gridbuild {

struct GridEntry {
  int32_t meshCode = 0;
  double latitudeShift = 0;   // seconds of arc
  double longitudeShift = 0;  // seconds of arc
};

// Rows and columns whose codes have two digits for p and u.
inline constexpr int32_t kMeshLimit = 800;

// The code of a mesh by row and column (both 0 .. kMeshLimit - 1).
int32_t MeshCode(int32_t row, int32_t column);

// The mesh (row, column) that holds a point given in milliseconds of arc:
// row = latitude / 5', column = (longitude - 100 degrees) / 7.5', both
// rounded down, so a point on a mesh's south or west edge lies in that
// mesh. False when the point has no two-digit mesh.
bool MeshOfPoint(int32_t latitudeMs, int32_t longitudeMs, int32_t* row, int32_t* column);

// The two header lines.
std::string HeaderText();
// One mesh line: "%06d   %.5f  %.5f" and CR LF.
std::string GridLine(const GridEntry& entry);

// The whole file. False (text untouched) with a reason for a mesh code
// outside 0-999999, a mesh given twice or a shift that is not finite or
// beyond 1,000 seconds.
bool BuildGridText(std::vector<GridEntry> entries, std::string* text, std::string* error);
// BuildGridText, then the file at a CP932 path, written aside and renamed
// over it: a failure leaves the path as it was.
bool WriteGridFile(const char* path, const std::vector<GridEntry>& entries, std::string* error);

}  // namespace gridbuild
