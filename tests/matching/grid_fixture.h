#pragma once
// Small synthetic grid parameter files for the datum tests.

#include <cstdint>
#include <string>

#include "support/test_util.h"
#include "tools/gridbuild/grid_file_writer.h"

namespace gridfixture {

// One grid line: mesh code, latitude shift, longitude shift (seconds).
inline std::string GridLine(int32_t mesh, double latitudeShift, double longitudeShift) {
  return gridbuild::GridLine({mesh, latitudeShift, longitudeShift});
}

inline std::string Header() { return gridbuild::HeaderText(); }

// Mesh code of mesh row r (8 x p + q) and mesh column c (8 x u + v).
inline int32_t MeshCode(int32_t row, int32_t column) { return gridbuild::MeshCode(row, column); }

// Meshes around 533946 (row 428, column 318): rows 426..430, columns
// 316..321. The latitude shift is 11 seconds in row 428 and grows by 1 per
// row; the longitude shift is its negative. Within a row both are the
// same, so mesh 533946 has (11, -11), its east neighbour 533947 too, and
// its north neighbours 533956 and 533957 have (12, -12).
inline std::string SmoothGrid() {
  std::string text = Header();
  for (int32_t row = 426; row <= 430; ++row) {
    for (int32_t column = 316; column <= 321; ++column) {
      const double shift = 11.0 + (row - 428);
      text += GridLine(MeshCode(row, column), shift, -shift);
    }
  }
  return text;
}

}  // namespace gridfixture
