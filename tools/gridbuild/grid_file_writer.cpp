#include "tools/gridbuild/grid_file_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/image_file.h"

namespace gridbuild {
namespace {

constexpr int64_t kMsPerDegree = 3600000;
constexpr int64_t kRowMs = 5 * 60 * 1000;             // 5 minutes of latitude
constexpr int64_t kColumnMs = 7 * 60 * 1000 + 30000;  // 7.5 minutes of longitude

// Rounds down (also for negative values).
int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

int32_t MeshCode(int32_t row, int32_t column) {
  return (row / 8) * 10000 + (column / 8) * 100 + (row % 8) * 10 + column % 8;
}

bool MeshOfPoint(int32_t latitudeMs, int32_t longitudeMs, int32_t* row, int32_t* column) {
  const int64_t r = FloorDiv(latitudeMs, kRowMs);
  const int64_t c = FloorDiv(int64_t{longitudeMs} - 100 * kMsPerDegree, kColumnMs);
  if (r < 0 || r >= kMeshLimit || c < 0 || c >= kMeshLimit) return false;
  if (row) *row = static_cast<int32_t>(r);
  if (column) *column = static_cast<int32_t>(c);
  return true;
}

std::string HeaderText() { return "JGD2000-TokyoDatum Ver.2.1.1\r\nMeshCode dB(sec) dL(sec)\r\n"; }

std::string GridLine(const GridEntry& entry) {
  char line[96];
  std::snprintf(line, sizeof line, "%06d   %.5f  %.5f\r\n", static_cast<int>(entry.meshCode),
                entry.latitudeShift, entry.longitudeShift);
  return line;
}

bool BuildGridText(std::vector<GridEntry> entries, std::string* text, std::string* error) {
  for (const GridEntry& e : entries) {
    if (e.meshCode < 0 || e.meshCode > 999999) {
      if (error) *error = "mesh code out of range: " + std::to_string(e.meshCode);
      return false;
    }
    // A shift beyond 1,000 seconds is no datum shift; the bound also keeps
    // the line within its buffer.
    if (!std::isfinite(e.latitudeShift) || !std::isfinite(e.longitudeShift) ||
        std::fabs(e.latitudeShift) > 1000.0 || std::fabs(e.longitudeShift) > 1000.0) {
      if (error) *error = "shift out of range at mesh " + std::to_string(e.meshCode);
      return false;
    }
  }
  std::sort(entries.begin(), entries.end(),
            [](const GridEntry& a, const GridEntry& b) { return a.meshCode < b.meshCode; });
  for (std::size_t i = 1; i < entries.size(); ++i) {
    if (entries[i].meshCode == entries[i - 1].meshCode) {
      if (error) *error = "mesh given twice: " + std::to_string(entries[i].meshCode);
      return false;
    }
  }
  std::string out = HeaderText();
  for (const GridEntry& e : entries) out += GridLine(e);
  if (text) *text = std::move(out);
  return true;
}

bool WriteGridFile(const char* path, const std::vector<GridEntry>& entries, std::string* error) {
  std::string text;
  if (!BuildGridText(entries, &text, error)) return false;
  return builder::WriteImageFile(path, text, error, "cannot create the grid file",
                                 "cannot write the grid file");
}

}  // namespace gridbuild
