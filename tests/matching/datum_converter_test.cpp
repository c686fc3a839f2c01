#include "matching/datum_converter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "grid_fixture.h"
#include "support/test_util.h"

namespace {

using gridfixture::GridLine;
using gridfixture::Header;
using testutil::Sjis;

constexpr double kMsPerDegree = 3600000.0;

class RecordingSink : public CDatumMessageSink {
 public:
  void OnDatumMessage(CDatumConverter* converter) override {
    messages.push_back(converter->GetMessage());
  }
  std::vector<std::string> messages;
};

// Writes a parameter file and loads it.
class GridTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& text) {
    EXPECT_TRUE(testutil::WriteBytes(dir_.Native("TKY2JGD.PAR"), text));
    return dir_.Sys("TKY2JGD.PAR");
  }
  int Load(const std::string& text) { return converter_.LoadGridParameters(Write(text).c_str()); }

  testutil::TempDir dir_;
  CDatumConverter converter_;
};

// ---- An independent reference for the three-parameter shift ----
// Geodetic to geocentric with the usual prime-vertical radius, and back by
// fixed-point iteration on the latitude (not the closed form the converter
// uses), both in long double.

struct Ellipsoid {
  long double a, e2;
};
constexpr Ellipsoid kBessel = {6377397.155L, 0.006674372227347433L};
constexpr Ellipsoid kGrs80 = {6378137.0L, 0.006694380022900787L};
constexpr long double kPi = 3.141592653589793238462643383279L;

void ToGeocentric(long double lonDeg, long double latDeg, long double h, const Ellipsoid& e,
                  long double xyz[3]) {
  const long double l = lonDeg * kPi / 180, b = latDeg * kPi / 180;
  const long double n = e.a / std::sqrt(1 - e.e2 * std::sin(b) * std::sin(b));
  xyz[0] = (n + h) * std::cos(b) * std::cos(l);
  xyz[1] = (n + h) * std::cos(b) * std::sin(l);
  xyz[2] = (n * (1 - e.e2) + h) * std::sin(b);
}

void ToGeodetic(const long double xyz[3], const Ellipsoid& e, long double* lonDeg,
                long double* latDeg, long double* height) {
  const long double p = std::hypot(xyz[0], xyz[1]);
  long double b = std::atan2(xyz[2], p * (1 - e.e2));
  long double h = 0;
  for (int i = 0; i < 60; ++i) {
    const long double n = e.a / std::sqrt(1 - e.e2 * std::sin(b) * std::sin(b));
    h = p / std::cos(b) - n;
    b = std::atan2(xyz[2], p * (1 - e.e2 * n / (n + h)));
  }
  *lonDeg = std::atan2(xyz[1], xyz[0]) * 180 / kPi;
  *latDeg = b * 180 / kPi;
  *height = h;
}

// Tokyo datum (height 0) to JGD2000 by the three-parameter shift.
void ReferenceTokyoToJgd(double lon, double lat, long double* outLon, long double* outLat) {
  long double xyz[3];
  ToGeocentric(lon, lat, 0, kBessel, xyz);
  xyz[0] += -146.414L;
  xyz[1] += 507.337L;
  xyz[2] += 680.507L;
  long double h = 0;
  ToGeodetic(xyz, kGrs80, outLon, outLat, &h);
}

TEST(DatumMesh, PointFallsInItsSecondOrderMeshWithItsNeighbours) {
  MeshPosition mesh;
  ASSERT_EQ(GetMeshPosition(139.75, 35.6875, &mesh), 1);
  EXPECT_EQ(mesh.meshCode, 533946);
  EXPECT_EQ(mesh.eastCode, 533947);
  EXPECT_EQ(mesh.northCode, 533956);
  EXPECT_EQ(mesh.northEastCode, 533957);
  EXPECT_EQ(mesh.fx, 0.0);
  EXPECT_EQ(mesh.fy, 0.25);

  // Last row and column of a first-order mesh: the neighbours step into
  // the next one.
  ASSERT_EQ(GetMeshPosition(139.9, 35.95, &mesh), 1);
  EXPECT_EQ(mesh.meshCode, 533977);
  EXPECT_EQ(mesh.eastCode, 534070);
  EXPECT_EQ(mesh.northCode, 543907);
  EXPECT_EQ(mesh.northEastCode, 544000);
  EXPECT_NEAR(mesh.fx, (139.9 - 139.875) * 8, 1e-9);
  EXPECT_NEAR(mesh.fy, (35.95 - 35.0 - 11.0 / 12.0) * 12, 1e-9);

  // Outside the two-digit mesh numbers there is no mesh.
  EXPECT_EQ(GetMeshPosition(99.9, 35.0, &mesh), 0);
  EXPECT_EQ(GetMeshPosition(139.0, -1.0, &mesh), 0);
  EXPECT_EQ(GetMeshPosition(139.0, 70.0, &mesh), 0);
  EXPECT_EQ(GetMeshPosition(NAN, 35.0, &mesh), 0);
}

TEST_F(GridTest, BilinearShiftOfThePointAQuarterIntoItsMesh) {
  ASSERT_EQ(Load(gridfixture::SmoothGrid()), 1);
  EXPECT_EQ(converter_.GetGridEntryCount(), 30);
  double lonShift = 0, latShift = 0;
  ASSERT_EQ(converter_.GridShift(139.75, 35.6875, &lonShift, &latShift), 1);
  EXPECT_EQ(latShift, 11.25);
  EXPECT_EQ(lonShift, -11.25);

  double lon = 0, lat = 0;
  int method = -1;
  ASSERT_EQ(converter_.TokyoToJgd(139.75, 35.6875, &lon, &lat, &method), 1);
  EXPECT_EQ(method, 1);
  EXPECT_EQ(std::lround(lat * kMsPerDegree), 128475000 + 11250);
  EXPECT_EQ(std::lround(lon * kMsPerDegree), 503100000 - 11250);
  // Only the seconds nudge (5e-8 s) separates the result from the shift.
  EXPECT_NEAR(lat, 35.6875 + 11.25 / 3600, 1e-7 / 3600);
  EXPECT_NEAR(lon, 139.75 - 11.25 / 3600, 1e-7 / 3600);
}

TEST_F(GridTest, JgdToTokyoAndBackRoundTripsWithinAMillisecond) {
  ASSERT_EQ(Load(gridfixture::SmoothGrid()), 1);
  const double points[][2] = {{139.75, 35.6875}, {139.7, 35.66}, {139.82, 35.72}, {139.77, 35.70}};
  for (const auto& p : points) {
    double tokyoLon = 0, tokyoLat = 0;
    int method = -1;
    ASSERT_EQ(converter_.JgdToTokyo(p[0], p[1], &tokyoLon, &tokyoLat, &method), 1);
    EXPECT_EQ(method, 1) << p[0] << " " << p[1];
    double lon = 0, lat = 0;
    ASSERT_EQ(converter_.TokyoToJgd(tokyoLon, tokyoLat, &lon, &lat, &method), 1);
    EXPECT_EQ(method, 1);
    EXPECT_LT(std::fabs(lon - p[0]) * kMsPerDegree, 1.0) << p[0] << " " << p[1];
    EXPECT_LT(std::fabs(lat - p[1]) * kMsPerDegree, 1.0) << p[0] << " " << p[1];
  }
}

TEST(CDatumConverter, ThreeParameterShiftMatchesAnIterativeReference) {
  CDatumConverter converter;  // no grid at all
  const double points[][2] = {{139.75, 35.6875}, {141.35, 43.06}, {127.68, 26.21},
                              {130.4, 33.6},     {135.5, 34.7},   {145.5, 44.0}};
  for (const auto& p : points) {
    double lon = 0, lat = 0;
    int method = -1;
    ASSERT_EQ(converter.TokyoToJgd(p[0], p[1], &lon, &lat, &method), 1);
    EXPECT_EQ(method, 0);
    long double refLon = 0, refLat = 0;
    ReferenceTokyoToJgd(p[0], p[1], &refLon, &refLat);
    EXPECT_LT(std::fabs(static_cast<long double>(lon) - refLon) * 3600, 1e-6L) << p[0];
    EXPECT_LT(std::fabs(static_cast<long double>(lat) - refLat) * 3600, 1e-6L) << p[1];
  }
  // Tokyo (128475000, 503100000) ms lands on (128486656, 503088362) ms.
  double lon = 0, lat = 0;
  ASSERT_EQ(converter.TokyoToJgd(139.75, 35.6875, &lon, &lat, nullptr), 1);
  EXPECT_EQ(std::lround(lat * kMsPerDegree), 128486656);
  EXPECT_EQ(std::lround(lon * kMsPerDegree), 503088362);
}

TEST(CDatumConverter, ThreeParameterRoundTripsWithinAMillisecond) {
  CDatumConverter converter;
  const double points[][2] = {{139.75, 35.6875}, {141.35, 43.06}, {127.68, 26.21}, {130.4, 33.6}};
  for (const auto& p : points) {
    double tokyoLon = 0, tokyoLat = 0;
    int method = -1;
    ASSERT_EQ(converter.JgdToTokyo(p[0], p[1], &tokyoLon, &tokyoLat, &method), 1);
    EXPECT_EQ(method, 0);
    // The inverse lands where the forward reference comes back to the input.
    long double refLon = 0, refLat = 0;
    ReferenceTokyoToJgd(tokyoLon, tokyoLat, &refLon, &refLat);
    EXPECT_LT(std::fabs(refLon - p[0]) * 3600000, 1.0L);
    EXPECT_LT(std::fabs(refLat - p[1]) * 3600000, 1.0L);
    double lon = 0, lat = 0;
    ASSERT_EQ(converter.TokyoToJgd(tokyoLon, tokyoLat, &lon, &lat, &method), 1);
    EXPECT_LT(std::fabs(lon - p[0]) * kMsPerDegree, 1.0);
    EXPECT_LT(std::fabs(lat - p[1]) * kMsPerDegree, 1.0);
  }
}

TEST_F(GridTest, FileOfHeaderLinesOnlyLoadsAnEmptyGrid) {
  for (const std::string& text : {std::string("header only\r\n"), Header()}) {
    ASSERT_EQ(Load(text), 1);
    EXPECT_EQ(converter_.GetGridEntryCount(), 0);
    int method = -1;
    double lon = 0, lat = 0;
    ASSERT_EQ(converter_.TokyoToJgd(139.75, 35.6875, &lon, &lat, &method), 1);
    EXPECT_EQ(method, 0);
  }
}

TEST_F(GridTest, MissingCornerFallsBackToThreeParameters) {
  // 533946 and its north neighbours exist, its east neighbour does not.
  ASSERT_EQ(Load(Header() + GridLine(533946, 11, -11) + GridLine(533956, 12, -12) +
                 GridLine(533957, 12, -12)),
            1);
  double lonShift = 0, latShift = 0;
  EXPECT_EQ(converter_.GridShift(139.75, 35.6875, &lonShift, &latShift), 0);
  int method = -1;
  double lon = 0, lat = 0;
  ASSERT_EQ(converter_.TokyoToJgd(139.75, 35.6875, &lon, &lat, &method), 1);
  EXPECT_EQ(method, 0);
}

TEST_F(GridTest, SkipsGridLinesThatDoNotGiveThreeFields) {
  const std::string longLine(300, 'x');
  ASSERT_EQ(Load(Header() + "\r\n" + "533946\r\n" + "533947 11.0\r\n" + "   \r\n" + "\r\r\n" +
                 "mesh 1 2\r\n" + longLine + "\r\n" + GridLine(533957, 12, -12) +
                 GridLine(533956, 12, -12) + GridLine(533947, 11, -11) + GridLine(533946, 11, -11)),
            1);
  EXPECT_EQ(converter_.GetGridEntryCount(), 4);
  // The four lines, written in descending order, are found after sorting.
  double lonShift = 0, latShift = 0;
  ASSERT_EQ(converter_.GridShift(139.75, 35.6875, &lonShift, &latShift), 1);
  EXPECT_EQ(latShift, 11.25);
  EXPECT_EQ(lonShift, -11.25);
}

TEST_F(GridTest, PointOnAMeshLineIsShiftedFromTheMeshItFallsIn) {
  // 32 degrees 10 minutes lies on the south edge of mesh 483024; its
  // position inside that mesh is 0, not the rounding error just below 1.
  ASSERT_EQ(Load(Header() + GridLine(483024, 10, -10) + GridLine(483025, 10, -10) +
                 GridLine(483034, 20, -20) + GridLine(483035, 20, -20)),
            1);
  const double lat = 115800000 / kMsPerDegree, lon = 130.5;
  MeshPosition mesh;
  ASSERT_EQ(GetMeshPosition(lon, lat, &mesh), 1);
  EXPECT_EQ(mesh.meshCode, 483024);
  EXPECT_EQ(mesh.fy, 0.0);
  double lonShift = 0, latShift = 0;
  ASSERT_EQ(converter_.GridShift(lon, lat, &lonShift, &latShift), 1);
  EXPECT_EQ(latShift, 10.0);
  EXPECT_EQ(lonShift, -10.0);
}

TEST_F(GridTest, ReloadReplacesTheGridAndDuplicatesKeepTheFirst) {
  ASSERT_EQ(Load(gridfixture::SmoothGrid()), 1);
  ASSERT_EQ(Load(Header() + GridLine(533946, 11, -11) + GridLine(533947, 11, -11) +
                 GridLine(533946, 99, -99) + GridLine(533956, 12, -12) + GridLine(533957, 12, -12)),
            1);
  EXPECT_EQ(converter_.GetGridEntryCount(), 5);
  double lonShift = 0, latShift = 0;
  ASSERT_EQ(converter_.GridShift(139.75, 35.6875, &lonShift, &latShift), 1);
  EXPECT_EQ(latShift, 11.25);
}

TEST_F(GridTest, FailuresGoToTheSinkWithALineFeed) {
  RecordingSink sink;
  const std::string missing = dir_.Sys("NONE.PAR");
  EXPECT_EQ(converter_.LoadGridParameters(missing.c_str()), 0);  // no sink: no message
  EXPECT_STREQ(converter_.GetMessage(), "");
  converter_.SetMessageSink(&sink);
  EXPECT_EQ(converter_.LoadGridParameters(missing.c_str()), 0);
  const std::string empty = Write("");
  EXPECT_EQ(converter_.LoadGridParameters(empty.c_str()), 0);
  ASSERT_EQ(sink.messages.size(), 2u);
  EXPECT_EQ(sink.messages[0],
            Sjis(u8"変換パラメータファイルのオープンに失敗しました ") + missing + "\n");
  EXPECT_EQ(sink.messages[1], Sjis(u8"変換パラメータファイルにデータがありません ") + empty + "\n");
  converter_.SetMessageSink(nullptr);
  EXPECT_EQ(converter_.LoadGridParameters(missing.c_str()), 0);
  EXPECT_EQ(sink.messages.size(), 2u);
}

TEST(GeocentricToGeodetic, PointOnTheNegativeYAxisHasLongitudeMinusNinety) {
  double lat = 0, lon = 0, h = 0;
  ASSERT_EQ(GeocentricToGeodetic(0.0, -6378137.0, 0.0, kEllipsoidGrs80, &lat, &lon, &h), 1);
  EXPECT_NEAR(RadiansToDegrees(lon), -90.0, 1e-12);
  ASSERT_EQ(GeocentricToGeodetic(0.0, 6378137.0, 0.0, kEllipsoidGrs80, &lat, &lon, &h), 1);
  EXPECT_NEAR(RadiansToDegrees(lon), 90.0, 1e-12);
  ASSERT_EQ(GeocentricToGeodetic(-4e6, -4e6, 1e3, kEllipsoidGrs80, &lat, &lon, &h), 1);
  EXPECT_NEAR(RadiansToDegrees(lon), -135.0, 1e-12);
  // On the axis, or with an unknown ellipsoid: no result.
  EXPECT_EQ(GeocentricToGeodetic(0, 0, 6356752.0, kEllipsoidGrs80, &lat, &lon, &h), 0);
  EXPECT_EQ(GeocentricToGeodetic(1, 1, 1, 0, &lat, &lon, &h), 0);
  EXPECT_EQ(GeodeticToGeocentric(0, 0, 0, 3, &lat, &lon, &h), 0);
}

TEST(AngleHelpers, SplitDegreesTruncatesEachPartTowardZero) {
  int32_t d = 0, m = 0;
  double s = 0;
  SplitDegrees(-35.6875, &d, &m, &s);
  EXPECT_EQ(d, -35);
  EXPECT_EQ(m, -41);
  EXPECT_NEAR(s, -15.0, 1e-9);
  EXPECT_NEAR(JoinDegrees(d, m, s), -35.6875, 1e-12);
  SplitDegrees(139.75, &d, &m, &s);
  EXPECT_EQ(m, 45);
  EXPECT_EQ(s, 0.0);  // below 1e-10: exactly 0
}

}  // namespace
