// Plane rectangular coordinates: zone choice, forward values in both
// ellipsoids against independently computed check values, and the inverse.

#include "gazref/plane_rect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "common/numeric.h"

namespace {

constexpr double kMm = 0.001;

double Sec(int degrees, int minutes) { return degrees * 3600.0 + minutes * 60.0; }

TEST(NearestZone, TheNearestOriginInDegreesDecides) {
  EXPECT_EQ(NearestZone(35 + 40 / 60.0, 139.75), 9);
  EXPECT_EQ(NearestZone(34.7, 135.5), 6);
  // 43°N 141°20'E: 1.84 square degrees to zone 12 against 2.17 to zone 11.
  EXPECT_EQ(NearestZone(43.0, 141 + 20 / 60.0), 12);
  EXPECT_EQ(NearestZone(0, 0), 0);
  // Every origin selects its own zone.
  for (int zone = 0; zone < kPlaneZoneCount; ++zone) {
    double lat = 0;
    double lon = 0;
    ASSERT_EQ(GetZoneOrigin(zone, &lat, &lon), 1);
    EXPECT_EQ(NearestZone(lat, lon), zone) << zone;
  }
}

TEST(NearestZone, EqualDistancesKeepTheLowerZone) {
  // Zones 2 (33°N 131°E) and 17 (26°N 131°E): the midpoint in latitude is
  // as far from both; zone 4 (33°N 133°30') is farther.
  EXPECT_EQ(NearestZone(29.5, 131.0), 2);
}

TEST(ZoneOrigin, MinutesAreTurnedIntoDegrees) {
  double lat = 0;
  double lon = 0;
  ASSERT_EQ(GetZoneOrigin(1, &lat, &lon), 1);
  EXPECT_DOUBLE_EQ(lat, 33.0);
  EXPECT_NEAR(lon, 129.5, 1e-12);
  ASSERT_EQ(GetZoneOrigin(3, &lat, &lon), 1);
  EXPECT_NEAR(lon, 132 + 10 / 60.0, 1e-12);
  ASSERT_EQ(GetZoneOrigin(11, &lat, &lon), 1);
  EXPECT_NEAR(lon, 140.25, 1e-12);
  EXPECT_EQ(GetZoneOrigin(20, &lat, &lon), 0);
  EXPECT_EQ(lat, 0);
  EXPECT_EQ(GetZoneOrigin(-1, &lat, &lon), 0);
}

struct PlaneCase {
  int32_t datum;
  double latSec;
  double lonSec;
  int zone;
  double easting;
  double northing;
};

TEST(PlaneRectConverter, ForwardValuesHoldToAMillimetre) {
  const PlaneCase cases[] = {
      {1, Sec(35, 40), Sec(139, 45), 9, -7543.478, -36974.482},
      {1, Sec(34, 42), Sec(135, 30), 6, -45800.211, -144087.652},
      {1, Sec(43, 0), Sec(141, 20), 12, -74729.623, -110671.429},
      {2, Sec(35, 40), Sec(139, 45), 9, -7544.379, -36978.408},
  };
  for (const PlaneCase& c : cases) {
    PlaneRectConverter conv;
    conv.Init(c.datum);
    conv.SelectZone(c.latSec / 3600, c.lonSec / 3600);
    EXPECT_EQ(conv.GetZone(), c.zone);
    double e = 0;
    double n = 0;
    conv.ToPlane(c.latSec, c.lonSec, &e, &n);
    EXPECT_NEAR(e, c.easting, kMm) << c.zone << " datum " << c.datum;
    EXPECT_NEAR(n, c.northing, kMm) << c.zone << " datum " << c.datum;
  }
}

TEST(PlaneRectConverter, ZoneOriginMapsToZeroAndDistancesAreMetres) {
  PlaneRectConverter conv;
  conv.Init(1);
  conv.SelectZone(36, 139 + 50 / 60.0);
  double e = 1;
  double n = 1;
  conv.ToPlane(Sec(36, 0), Sec(139, 50), &e, &n);
  EXPECT_NEAR(e, 0, 1e-6);
  EXPECT_NEAR(n, 0, 1e-6);
  // 30" north and 30" east of 35°40'N 139°45'E.
  double e0 = 0, n0 = 0, e1 = 0, n1 = 0, e2 = 0, n2 = 0;
  conv.ToPlane(Sec(35, 40), Sec(139, 45), &e0, &n0);
  conv.ToPlane(Sec(35, 40) + 30, Sec(139, 45), &e1, &n1);
  conv.ToPlane(Sec(35, 40), Sec(139, 45) + 30, &e2, &n2);
  EXPECT_NEAR(std::hypot(e1 - e0, n1 - n0), 924.418, kMm);
  EXPECT_NEAR(std::hypot(e2 - e0, n2 - n0), 754.348, kMm);
}

// The bounding box of a 1,000 m search circle: the extremes over the four
// corners (E ± r, N ± r) converted back.
TEST(PlaneRectConverter, SearchCircleCornersConvertBack) {
  PlaneRectConverter conv;
  conv.Init(1);
  conv.SelectZone(35 + 40 / 60.0, 139.75);
  double e = 0;
  double n = 0;
  conv.ToPlane(Sec(35, 40), Sec(139, 45), &e, &n);
  double latLow = 1e9, lonLow = 1e9, latHigh = -1e9, lonHigh = -1e9;
  for (int i = -1; i <= 1; i += 2) {
    for (int j = -1; j <= 1; j += 2) {
      double lat = 0, lon = 0;
      conv.ToLatLon(e + i * 1000, n + j * 1000, &lat, &lon);
      latLow = std::fmin(latLow, lat);
      latHigh = std::fmax(latHigh, lat);
      lonLow = std::fmin(lonLow, lon);
      lonHigh = std::fmax(lonHigh, lon);
    }
  }
  EXPECT_NEAR(latLow, 128367.52, 0.01);
  EXPECT_NEAR(latHigh, 128432.48, 0.01);
  EXPECT_NEAR(lonLow, 503060.19, 0.01);
  EXPECT_NEAR(lonHigh, 503139.80, 0.01);
}

TEST(PlaneRectConverter, DatumCodeSelectsTheEllipsoidByItsLowBits) {
  PlaneRectConverter conv;
  conv.Init(0x00010002);
  EXPECT_DOUBLE_EQ(conv.GetSemiMajorAxis(), 6378137.0);
  EXPECT_DOUBLE_EQ(1 / conv.GetFlattening(), 298.257223);
  conv.SelectZone(35 + 40 / 60.0, 139.75);
  double e = 0;
  double n = 0;
  conv.ToPlane(Sec(35, 40), Sec(139, 45), &e, &n);
  EXPECT_NEAR(e, -7544.379, kMm);
  EXPECT_NEAR(n, -36978.408, kMm);
  for (int32_t bessel : {0, 1, 3, 0x00020001, -1}) {
    conv.Init(bessel);
    EXPECT_DOUBLE_EQ(conv.GetSemiMajorAxis(), 6377397.155) << bessel;
    EXPECT_DOUBLE_EQ(1 / conv.GetFlattening(), 299.152813) << bessel;
  }
  PlaneRectConverter fresh;
  EXPECT_DOUBLE_EQ(fresh.GetSemiMajorAxis(), 6377397.155);
}

TEST(PlaneRectConverter, MeridianArcMatchesKnownLengths) {
  PlaneRectConverter conv;
  conv.Init(2);
  EXPECT_NEAR(conv.MeridianArcLength(0), 0, 1e-9);
  // GRS80, equator to pole: 10,001,965.729 m.
  EXPECT_NEAR(conv.MeridianArcLength(kPi / 2), 10001965.729, kMm);
  conv.Init(1);
  // Bessel, equator to pole: 10,000,855.764 m.
  EXPECT_NEAR(conv.MeridianArcLength(kPi / 2), 10000855.764, kMm);
}

// Round trips within 2 degrees (each way) of every zone origin, in both
// ellipsoids, with the zone of that origin.
TEST(PlaneRectConverter, RoundTripWithinTwoDegreesOfEveryOrigin) {
  std::mt19937 random(20261209);
  std::uniform_real_distribution<double> offset(-2.0, 2.0);
  for (int32_t datum : {1, 2}) {
    PlaneRectConverter conv;
    conv.Init(datum);
    for (int zone = 1; zone < kPlaneZoneCount; ++zone) {
      double lat0 = 0;
      double lon0 = 0;
      GetZoneOrigin(zone, &lat0, &lon0);
      conv.SelectZone(lat0, lon0);
      ASSERT_EQ(conv.GetZone(), zone);
      for (int k = 0; k < 200; ++k) {
        const double lat = (lat0 + offset(random)) * 3600;
        const double lon = (lon0 + offset(random)) * 3600;
        double e = 0, n = 0, lat2 = 0, lon2 = 0;
        conv.ToPlane(lat, lon, &e, &n);
        conv.ToLatLon(e, n, &lat2, &lon2);
        ASSERT_NEAR(lat2, lat, 0.001) << "zone " << zone << " datum " << datum;
        ASSERT_NEAR(lon2, lon, 0.001) << "zone " << zone << " datum " << datum;
      }
    }
  }
}

// The inverse iterates until both corrections are small in magnitude: a
// negative correction early on does not stop it. Two degrees west of a
// central meridian the first corrections are negative.
TEST(PlaneRectConverter, InverseConvergesWestOfTheCentralMeridian) {
  PlaneRectConverter conv;
  conv.Init(1);
  conv.SelectZone(36, 139 + 50 / 60.0);
  for (double dLat : {-2.0, -1.0, 0.0, 1.0, 2.0}) {
    const double lat = (36 + dLat) * 3600;
    const double lon = (139 + 50 / 60.0 - 2.0) * 3600;
    double e = 0, n = 0, lat2 = 0, lon2 = 0;
    conv.ToPlane(lat, lon, &e, &n);
    conv.ToLatLon(e, n, &lat2, &lon2);
    EXPECT_NEAR(lat2, lat, 1e-4) << dLat;
    EXPECT_NEAR(lon2, lon, 1e-4) << dLat;
  }
}

TEST(PlaneRectConverter, UndefinedInputEndsTheInverse) {
  PlaneRectConverter conv;
  conv.SelectZone(36, 139.8);
  double lat = 0;
  double lon = 0;
  conv.ToLatLon(std::nan(""), 0, &lat, &lon);
  EXPECT_TRUE(std::isnan(lon));
  conv.ToLatLon(0, INFINITY, &lat, &lon);
  EXPECT_FALSE(std::isfinite(lat) && std::isfinite(lon) && lat > 0 && lat < 90 * 3600);
}

}  // namespace
