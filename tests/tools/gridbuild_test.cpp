// The datum grid file writer, read back by the datum converter.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "matching/datum_converter.h"
#include "support/test_util.h"
#include "tools/gridbuild/grid_file_writer.h"

using gridbuild::GridEntry;

namespace {

constexpr int32_t kMsPerDegree = 3600000;

TEST(GridMesh, PointsFallIntoTheirSecondOrderMesh) {
  struct Case {
    int32_t latitude;  // milliseconds of arc
    int32_t longitude;
    int32_t mesh;
  };
  const Case cases[] = {
      {128475000, 503100000, 533946},  // 35.6875, 139.75: a quarter up 533946, on its west edge
      {126300000, 500400000, 523950},  // 35°05', 139°: exactly on a mesh's south-west corner
      {126299999, 500400000, 523940},  // one millisecond south: the mesh below
      {126300000, 500399999, 523857},  // one millisecond west: the last column of u = 38
      {125089052, 501692276, 523902},  // 大島町
      {126026923, 488717025, 523546},  // 京都市中京区
      {73440000, 489960000, 303640},   // 20.4, 136.1: p = 30
  };
  for (const Case& c : cases) {
    int32_t row = -1;
    int32_t column = -1;
    ASSERT_TRUE(gridbuild::MeshOfPoint(c.latitude, c.longitude, &row, &column)) << c.mesh;
    EXPECT_EQ(gridbuild::MeshCode(row, column), c.mesh) << c.latitude << " " << c.longitude;
  }
  // West of 100 degrees east there is no two-digit mesh.
  EXPECT_FALSE(gridbuild::MeshOfPoint(35 * kMsPerDegree, 99 * kMsPerDegree, nullptr, nullptr));
  EXPECT_FALSE(gridbuild::MeshOfPoint(-1, 139 * kMsPerDegree, nullptr, nullptr));
}

TEST(GridMesh, NeighbourRowsAndColumnsCrossFirstOrderBorders) {
  // Column 8u + 7 is followed by column 8(u + 1): v = 7 wraps to 0.
  EXPECT_EQ(gridbuild::MeshCode(428, 319), 533947);
  EXPECT_EQ(gridbuild::MeshCode(428, 320), 534040);
  EXPECT_EQ(gridbuild::MeshCode(431, 318), 533976);
  EXPECT_EQ(gridbuild::MeshCode(432, 318), 543906);
}

TEST(GridFile, LinesAreSortedByMeshAfterTwoHeaderLines) {
  std::string text;
  std::string error;
  ASSERT_TRUE(
      gridbuild::BuildGridText({{533947, 11.5, -11.25}, {533946, 11.0, -11.0}}, &text, &error))
      << error;
  EXPECT_EQ(text,
            "JGD2000-TokyoDatum Ver.2.1.1\r\nMeshCode dB(sec) dL(sec)\r\n"
            "533946   11.00000  -11.00000\r\n"
            "533947   11.50000  -11.25000\r\n");
  // A code below six digits keeps its leading zeros.
  EXPECT_EQ(gridbuild::GridLine({12345, 1.0, 2.0}), "012345   1.00000  2.00000\r\n");
}

TEST(GridFile, RefusesRepeatedMeshesAndBadShifts) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<std::vector<GridEntry>> bad = {
      {{533946, 1, 1}, {533947, 1, 1}, {533946, 2, 2}},
      {{533946, nan, 1}},
      {{533946, 1, std::numeric_limits<double>::infinity()}},
      {{533946, 1e6, 1}},
      {{1000000, 1, 1}},
      {{-1, 1, 1}},
  };
  for (const auto& entries : bad) {
    std::string text = "untouched";
    std::string error;
    EXPECT_FALSE(gridbuild::BuildGridText(entries, &text, &error));
    EXPECT_EQ(text, "untouched");
    EXPECT_FALSE(error.empty());
  }
}

// The converter interpolates the written shifts: at a mesh's south-west
// corner it gives that mesh's own shift, half-way up the mean of the mesh
// and its north neighbour.
TEST(GridFile, DatumConverterReadsTheShiftsBack) {
  testutil::TempDir dir;
  const std::vector<GridEntry> entries = {
      {533946, 10.0, -12.0}, {533947, 10.0, -12.0}, {533956, 11.0, -13.0}, {533957, 11.0, -13.0}};
  std::string error;
  ASSERT_TRUE(gridbuild::WriteGridFile(dir.Sys("TKY2JGD.PAR").c_str(), entries, &error)) << error;
  CDatumConverter converter;
  ASSERT_EQ(converter.LoadGridParameters(dir.Sys("TKY2JGD.PAR").c_str()), 1);
  EXPECT_EQ(converter.GetGridEntryCount(), 4);
  double dl = 0;
  double db = 0;
  ASSERT_EQ(converter.GridShift(139.75, 35.0 + 40.0 / 60, &dl, &db), 1);  // corner of 533946
  EXPECT_NEAR(db, 10.0, 1e-9);
  EXPECT_NEAR(dl, -12.0, 1e-9);
  ASSERT_EQ(converter.GridShift(139.75, 35.0 + 42.5 / 60, &dl, &db), 1);  // half-way up
  EXPECT_NEAR(db, 10.5, 1e-6);
  EXPECT_NEAR(dl, -12.5, 1e-6);
}

TEST(GridFile, WriteToAMissingFolderFailsAndLeavesNothing) {
  testutil::TempDir dir;
  std::string error;
  EXPECT_FALSE(
      gridbuild::WriteGridFile(dir.Sys("none\\TKY2JGD.PAR").c_str(), {{533946, 1, 1}}, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(testutil::Exists(dir.Native("none")));
  // Bad entries: no file is made.
  EXPECT_FALSE(gridbuild::WriteGridFile(dir.Sys("TKY2JGD.PAR").c_str(),
                                        {{533946, 1, 1}, {533946, 1, 1}}, &error));
  EXPECT_FALSE(testutil::Exists(dir.Native("TKY2JGD.PAR")));
}

}  // namespace
