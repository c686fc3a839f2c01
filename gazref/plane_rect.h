#pragma once
// Plane rectangular coordinates: latitude and longitude converted into the
// Japanese plane rectangular coordinate system (19 transverse Mercator
// zones, scale factor 0.9999 on the central meridian) and back.
//
// The zone is the one whose origin lies nearest the point in degrees
// (NearestZone), not the legal assignment by municipality. Entry 0 is a
// dummy origin at (0°, 0°); conversions in zone 0 give values without
// geodetic meaning.
//
// Units: latitude and longitude in arc seconds at the converter's
// interface, plane coordinates in metres, easting first, northing second.

#include <cstdint>

inline constexpr int kPlaneZoneCount = 20;  // zones 0 to 19

// The zone whose origin is nearest (latitude, longitude) in degrees, by
// the squared difference of degrees; of equal distances the lower zone
// wins. 0 to 19.
int NearestZone(double latitude, double longitude);

// Origin of the zone in degrees; 0 for a zone outside 0 to 19 (then both
// are 0).
int GetZoneOrigin(int zone, double* latitude, double* longitude);

class PlaneRectConverter {
 public:
  // Set up for datum code 1 (Bessel), zone 0.
  PlaneRectConverter();

  // The low 16 bits of the datum code select the ellipsoid: 2 is GRS80,
  // every other value Bessel 1841.
  void Init(int32_t datumCode);
  // Chooses the zone of the point (degrees) by NearestZone.
  void SelectZone(double latitude, double longitude);

  int32_t GetDatumCode() const { return datumCode_; }
  int GetZone() const { return zone_; }
  double GetSemiMajorAxis() const { return a_; }
  double GetFlattening() const { return f_; }

  // Length of the meridian arc from the equator to the latitude (radians),
  // in metres.
  double MeridianArcLength(double phi) const;
  // Transverse Mercator series at latitude phi and longitude difference
  // dLambda to the central meridian (radians): x (northing before the
  // origin shift and scale) and y (easting before scale), in metres.
  void LatLonToPlaneRect(double phi, double dLambda, double* x, double* y) const;
  // The inverse in the given zone: latitude and longitude in degrees.
  // Iterates until both corrections are at most 0.001 arc second in
  // magnitude; non-finite input or a series that does not settle stops
  // after a bounded number of rounds.
  void PlaneRectToLatLon(int zone, double easting, double northing, double* latitude,
                         double* longitude) const;

  // In the selected zone: arc seconds to metres and back.
  void ToPlane(double latitudeSec, double longitudeSec, double* easting, double* northing) const;
  void ToLatLon(double easting, double northing, double* latitudeSec, double* longitudeSec) const;

 private:
  // Radius of curvature in the prime vertical at latitude phi.
  double PrimeVerticalRadius(double phi) const;

  int32_t datumCode_ = 1;
  int zone_ = 0;
  double a_ = 0;
  double f_ = 0;
  double ep2_ = 0;  // second eccentricity squared
  // Meridian-arc coefficients A to I, each times a(1 - e²).
  double coef_[9] = {};
};
