#include "gazref/plane_rect.h"

#include <cmath>

#include "common/numeric.h"

namespace {

constexpr double kScale = 0.9999;
constexpr double kInverseScale = 1.000100010001;  // 1 / 0.9999
// 0.001 arc second in radians: the convergence bound of the inverse.
constexpr double kInverseTolerance = kPi / 180.0 / 3600000.0;
// The inverse settles in a handful of rounds near a zone origin; the bound
// only stops input that never settles (NaN, far outside the zone).
constexpr int kMaxInverseRounds = 100;

// Zone origins: latitude in whole degrees, longitude as degrees.minutes
// (129.30 is 129°30').
constexpr double kZoneOrigins[kPlaneZoneCount][2] = {
    {0, 0},       {33, 129.30}, {33, 131.00}, {36, 132.10}, {33, 133.30},
    {36, 134.20}, {36, 136.00}, {36, 137.10}, {36, 138.30}, {36, 139.50},
    {40, 140.50}, {44, 140.15}, {44, 142.15}, {44, 144.15}, {26, 142.00},
    {26, 127.30}, {26, 124.00}, {26, 131.00}, {20, 136.00}, {26, 154.00},
};

// Degrees.minutes to degrees.
double DegreesFromDegMin(double value) {
  const double whole = std::floor(value);
  return whole + (value - whole) * 100.0 / 60.0;
}

// The meridian-arc coefficients A to I as polynomials in e², from e⁰ to
// e¹⁶ (powers 0 to 8 of e²).
constexpr double kArcSeries[9][9] = {
    {1.0, 3.0 / 4, 45.0 / 64, 175.0 / 256, 11025.0 / 16384, 43659.0 / 65536, 693693.0 / 1048576,
     19324305.0 / 29360128, 4927697775.0 / 7516192768},
    {0, 3.0 / 4, 15.0 / 16, 525.0 / 512, 2205.0 / 2048, 72765.0 / 65536, 297297.0 / 262144,
     135270135.0 / 117440512, 547521975.0 / 469762048},
    {0, 0, 15.0 / 64, 105.0 / 256, 2205.0 / 4096, 10395.0 / 16384, 1486485.0 / 2097152,
     45090045.0 / 58720256, 766530765.0 / 939524096},
    {0, 0, 0, 35.0 / 512, 315.0 / 2048, 31185.0 / 131072, 165165.0 / 524288, 45090045.0 / 117440512,
     209053845.0 / 469762048},
    {0, 0, 0, 0, 315.0 / 16384, 3465.0 / 65536, 99099.0 / 1048576, 4099095.0 / 29360128,
     348423075.0 / 1879048192},
    {0, 0, 0, 0, 0, 693.0 / 131072, 9009.0 / 524288, 4099095.0 / 117440512, 26801775.0 / 469762048},
    {0, 0, 0, 0, 0, 0, 3003.0 / 2097152, 315315.0 / 58720256, 11486475.0 / 939524096},
    {0, 0, 0, 0, 0, 0, 0, 45045.0 / 117440512, 765765.0 / 469762048},
    {0, 0, 0, 0, 0, 0, 0, 0, 765765.0 / 7516192768},
};

// out[k] = value to the k-th, k = 0 .. 8.
void Powers(double value, double out[9]) {
  out[0] = 1;
  for (int k = 1; k < 9; ++k) out[k] = out[k - 1] * value;
}

}  // namespace

int NearestZone(double latitude, double longitude) {
  int best = 0;
  double bestDistance = latitude * latitude + longitude * longitude;
  for (int zone = 1; zone < kPlaneZoneCount; ++zone) {
    double originLat = 0;
    double originLon = 0;
    GetZoneOrigin(zone, &originLat, &originLon);
    const double d = (latitude - originLat) * (latitude - originLat) +
                     (longitude - originLon) * (longitude - originLon);
    if (d < bestDistance) {
      best = zone;
      bestDistance = d;
    }
  }
  return best;
}

int GetZoneOrigin(int zone, double* latitude, double* longitude) {
  const bool known = zone >= 0 && zone < kPlaneZoneCount;
  if (latitude) *latitude = known ? kZoneOrigins[zone][0] : 0;
  if (longitude) *longitude = known ? DegreesFromDegMin(kZoneOrigins[zone][1]) : 0;
  return known ? 1 : 0;
}

PlaneRectConverter::PlaneRectConverter() { Init(1); }

void PlaneRectConverter::Init(int32_t datumCode) {
  datumCode_ = datumCode;
  if ((static_cast<uint32_t>(datumCode) & 0xFFFFu) == 2) {
    a_ = 6378137.0;  // GRS80
    f_ = 1.0 / 298.257223;
  } else {
    a_ = 6377397.155;  // Bessel 1841
    f_ = 1.0 / 299.152813;
  }
  const double e2 = 2 * f_ - f_ * f_;
  ep2_ = e2 / (1 - e2);
  const double factor = a_ * (1 - e2);
  for (int k = 0; k < 9; ++k) {
    double sum = 0;
    double power = 1;  // e² to the n
    for (int n = 0; n < 9; ++n) {
      sum += kArcSeries[k][n] * power;
      power *= e2;
    }
    coef_[k] = sum * factor;
  }
}

void PlaneRectConverter::SelectZone(double latitude, double longitude) {
  zone_ = NearestZone(latitude, longitude);
}

double PlaneRectConverter::MeridianArcLength(double phi) const {
  // A·φ − B/2·sin 2φ + C/4·sin 4φ − … + I/16·sin 16φ
  double s = coef_[0] * phi;
  for (int k = 1; k < 9; ++k) {
    const double term = coef_[k] / (2.0 * k) * std::sin(2.0 * k * phi);
    s += (k % 2 == 1) ? -term : term;
  }
  return s;
}

double PlaneRectConverter::PrimeVerticalRadius(double phi) const {
  const double c = a_ / (1 - f_);
  const double cosPhi = std::cos(phi);
  return c / std::sqrt(1 + ep2_ * cosPhi * cosPhi);
}

void PlaneRectConverter::LatLonToPlaneRect(double phi, double dLambda, double* x, double* y) const {
  const double cosPhi = std::cos(phi);
  const double t = std::tan(phi);
  const double t2 = t * t;
  const double t4 = t2 * t2;
  const double t6 = t4 * t2;
  const double eta2 = ep2_ * cosPhi * cosPhi;
  const double eta4 = eta2 * eta2;
  const double n = PrimeVerticalRadius(phi);
  double c[9];  // cos φ to the 0th .. 8th
  double l[9];  // Δλ to the 0th .. 8th
  Powers(cosPhi, c);
  Powers(dLambda, l);
  if (x) {
    *x = MeridianArcLength(phi) + n * t * c[2] * l[2] / 2 +
         n * t * c[4] * (5 - t2 + 9 * eta2 + 4 * eta4) * l[4] / 24 +
         n * t * c[6] * (61 - 58 * t2 + t4 + 270 * eta2 - 330 * t2 * eta2) * l[6] / 720 +
         n * t * c[8] * (1385 - 3111 * t2 + 543 * t4 - t6) * l[8] / 40320;
  }
  if (y) {
    *y = n * cosPhi * l[1] + n * c[3] * (1 - t2 + eta2) * l[3] / 6 +
         n * c[5] * (5 - 18 * t2 + t4 + 14 * eta2 - 58 * t2 * eta2) * l[5] / 120 +
         n * c[7] * (61 - 479 * t2 + 179 * t4 - t6) * l[7] / 5040;
  }
}

void PlaneRectConverter::PlaneRectToLatLon(int zone, double easting, double northing,
                                           double* latitude, double* longitude) const {
  double originLat = 0;
  double originLon = 0;
  GetZoneOrigin(zone, &originLat, &originLon);
  const double yTarget = easting * kInverseScale;
  const double xTarget = MeridianArcLength(originLat * kDegToRad) + northing * kInverseScale;
  double phi = xTarget / coef_[0];
  double lambda = yTarget / (PrimeVerticalRadius(phi) * std::cos(phi));
  // Both corrections count by their magnitude: a large correction of
  // either sign means another round.
  double dPhi = 1;
  double dLambda = 1;
  for (int round = 0; round < kMaxInverseRounds; ++round) {
    if (std::fabs(dPhi) <= kInverseTolerance && std::fabs(dLambda) <= kInverseTolerance) break;
    double x = 0;
    double y = 0;
    LatLonToPlaneRect(phi, lambda, &x, &y);
    dPhi = (xTarget - x) / coef_[0];
    dLambda = (yTarget - y) / (PrimeVerticalRadius(phi) * std::cos(phi));
    phi += dPhi;
    lambda += dLambda;
  }
  if (latitude) *latitude = phi / kDegToRad;
  if (longitude) *longitude = lambda / kDegToRad + originLon;
}

void PlaneRectConverter::ToPlane(double latitudeSec, double longitudeSec, double* easting,
                                 double* northing) const {
  double originLat = 0;
  double originLon = 0;
  GetZoneOrigin(zone_, &originLat, &originLon);
  const double phi = latitudeSec / 3600.0 * kDegToRad;
  const double dLambda = (longitudeSec / 3600.0 - originLon) * kDegToRad;
  double x = 0;
  double y = 0;
  LatLonToPlaneRect(phi, dLambda, &x, &y);
  if (northing) *northing = (x - MeridianArcLength(originLat * kDegToRad)) * kScale;
  if (easting) *easting = y * kScale;
}

void PlaneRectConverter::ToLatLon(double easting, double northing, double* latitudeSec,
                                  double* longitudeSec) const {
  double latitude = 0;
  double longitude = 0;
  PlaneRectToLatLon(zone_, easting, northing, &latitude, &longitude);
  if (latitudeSec) *latitudeSec = latitude * 3600.0;
  if (longitudeSec) *longitudeSec = longitude * 3600.0;
}
