#include "matching/datum_converter.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

#include "common/file_access.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/sjis_text.h"
#include "plat/crt.h"

namespace {

struct Ellipsoid {
  double semiMajorAxis;
  double eccentricitySquared;
  double inverseFlattening;
};

constexpr Ellipsoid kBessel = {6377397.155, 0.006674372227347433, 299.152813};
constexpr Ellipsoid kGrs80 = {6378137.0, 0.006694380022900787, 298.257222101};

// Tokyo datum to JGD2000, metres (subtracted for the other direction).
constexpr double kShiftX = -146.414;
constexpr double kShiftY = 507.337;
constexpr double kShiftZ = 680.507;

// The seconds nudge applied to every converted value.
constexpr double kSecondsNudge = 5e-8;

const Ellipsoid* GetEllipsoid(int ellipsoid) {
  switch (ellipsoid) {
    case kEllipsoidBessel:
      return &kBessel;
    case kEllipsoidGrs80:
      return &kGrs80;
    default:
      return nullptr;
  }
}

bool IsBlankByte(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// One grid line: a decimal integer, then two blank-separated texts read as
// decimal numbers (a text that is no number reads as 0). false when the
// line does not give all three fields.
bool ParseGridLine(const char* line, DatumGridEntry* entry) {
  char* end = nullptr;
  const int32_t mesh = plat::crt::StrToL32(line, &end, 10);
  if (end == line) return false;
  const char* p = end;
  double shifts[2];
  for (double& shift : shifts) {
    while (IsBlankByte(static_cast<unsigned char>(*p))) ++p;
    const char* start = p;
    while (*p != '\0' && !IsBlankByte(static_cast<unsigned char>(*p))) ++p;
    if (p == start) return false;
    shift = plat::crt::StrToD(start, nullptr);
  }
  entry->meshCode = mesh;
  entry->latitudeShift = shifts[0];
  entry->longitudeShift = shifts[1];
  return true;
}

// The seconds of a value moved by a tiny amount away from the minute.
double NudgeSeconds(double x) {
  int32_t degrees = 0;
  int32_t minutes = 0;
  double seconds = 0.0;
  SplitDegrees(x, &degrees, &minutes, &seconds);
  seconds += seconds > 0.0 ? kSecondsNudge : -kSecondsNudge;
  return JoinDegrees(degrees, minutes, seconds);
}

// Whole part of x as int32, saturating (NaN gives 0).
int32_t TruncateToInt32(double x) {
  if (!(x == x)) return 0;
  if (x >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (x <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(x);
}

}  // namespace

// ---- Angle helpers ----

double DegreesToRadians(double degrees) { return degrees * kDatumPi / 180.0; }
double RadiansToDegrees(double radians) { return radians * 180.0 / kDatumPi; }

void SplitDegrees(double x, int32_t* degrees, int32_t* minutes, double* seconds) {
  const int32_t d = TruncateToInt32(x);
  const double fraction = x - d;
  const int32_t m = TruncateToInt32(x >= 0 ? fraction * 60.0 + 1e-10 : fraction * 60.0 - 1e-10);
  double s = (fraction * 60.0 - m) * 60.0;
  if (std::fabs(s) < 1e-10) s = 0.0;
  if (degrees) *degrees = d;
  if (minutes) *minutes = m;
  if (seconds) *seconds = s;
}

double JoinDegrees(double degrees, double minutes, double seconds) {
  return degrees + minutes / 60.0 + seconds / 3600.0;
}

double JoinSeconds(double degrees, double minutes, double seconds) {
  return degrees * 3600.0 + minutes * 60.0 + seconds;
}

double DegreesToSeconds(double degrees) { return degrees * 3600.0; }
double SecondsToDegrees(double seconds) { return seconds / 3600.0; }

// ---- Geocentric coordinates ----

int GeodeticToGeocentric(double longitude, double latitude, double height, int ellipsoid, double* x,
                         double* y, double* z) {
  const Ellipsoid* e = GetEllipsoid(ellipsoid);
  if (!e || !x || !y || !z) return 0;
  const double sinB = std::sin(latitude);
  const double n = e->semiMajorAxis / std::sqrt(1.0 - e->eccentricitySquared * sinB * sinB);
  *x = (n + height) * std::cos(latitude) * std::cos(longitude);
  *y = (n + height) * std::cos(latitude) * std::sin(longitude);
  *z = (n * (1.0 - e->eccentricitySquared) + height) * sinB;
  return 1;
}

int GeocentricToGeodetic(double x, double y, double z, int ellipsoid, double* latitude,
                         double* longitude, double* height) {
  const Ellipsoid* e = GetEllipsoid(ellipsoid);
  if (!e || !latitude || !longitude || !height) return 0;
  const double p = std::sqrt(x * x + y * y);
  if (p == 0.0) return 0;
  double l;
  if (x == 0.0) {
    // On the meridian plane of +-90 degrees: the side follows y.
    l = y < 0.0 ? -kDatumPi / 2.0 : kDatumPi / 2.0;
  } else {
    l = std::atan(y / x);
    if (x < 0.0) l += kDatumPi;
    if (l > kDatumPi) l -= 2.0 * kDatumPi;
  }
  const double a = e->semiMajorAxis;
  const double e2 = e->eccentricitySquared;
  const double r = std::sqrt(z * z + p * p);
  const double t = 1.0 - 1.0 / e->inverseFlattening;
  const double c = e2 * a;
  const double mu = std::atan(z / p * (t + c / r));
  const double sinMu = std::sin(mu);
  const double cosMu = std::cos(mu);
  const double b =
      std::atan((z * t + c * sinMu * sinMu * sinMu) / (t * (p - c * cosMu * cosMu * cosMu)));
  const double sinB = std::sin(b);
  *latitude = b;
  *longitude = l;
  *height = p * std::cos(b) + z * sinB - a * std::sqrt(1.0 - e2 * sinB * sinB);
  return 1;
}

// ---- Mesh of a point ----

int GetMeshPosition(double longitude, double latitude, MeshPosition* out) {
  if (!out) return 0;
  // Two digits each for the mesh rows (p) and columns (u).
  if (!(latitude >= 0.0 && latitude * 1.5 < 100.0)) return 0;
  if (!(longitude >= 100.0 && longitude < 200.0)) return 0;
  int32_t p = static_cast<int32_t>(latitude * 1.5);
  int32_t q = static_cast<int32_t>((latitude * 1.5 - p) * 8.0);
  int32_t u = static_cast<int32_t>(longitude - 100.0);
  const double h = (longitude - (u + 100)) * 8.0;
  int32_t v = static_cast<int32_t>(h);
  // Third-level digits guard against a point that rounding puts just below
  // a mesh line: a digit of 10 means the next mesh.
  const int32_t r = static_cast<int32_t>((h - v) * 10.0 + 1e-11);
  const int32_t t = static_cast<int32_t>((latitude * 12.0 - p * 8 - q) * 10.0 + 1e-11);
  if (t >= 10) {
    if (++q == 8) {
      q = 0;
      ++p;
    }
  }
  if (r >= 10) {
    if (++v == 8) {
      v = 0;
      ++u;
    }
  }
  out->meshCode = p * 10000 + u * 100 + q * 10 + v;
  const int32_t eastV = v == 7 ? 0 : v + 1;
  const int32_t eastU = v == 7 ? u + 1 : u;
  const int32_t northQ = q == 7 ? 0 : q + 1;
  const int32_t northP = q == 7 ? p + 1 : p;
  out->eastCode = p * 10000 + eastU * 100 + q * 10 + eastV;
  out->northCode = northP * 10000 + u * 100 + northQ * 10 + v;
  out->northEastCode = northP * 10000 + eastU * 100 + northQ * 10 + eastV;
  // Position measured from the chosen mesh (the guard may have moved it
  // past the point by a rounding error), kept inside [0, 1).
  const double below1 = std::nextafter(1.0, 0.0);
  out->fy = std::clamp(latitude * 12.0 - (p * 8 + q), 0.0, below1);
  out->fx = std::clamp((longitude - 100.0) * 8.0 - (u * 8 + v), 0.0, below1);
  return 1;
}

// ---- CDatumConverter ----

CDatumConverter::CDatumConverter() { message_[0] = '\0'; }

CDatumConverter::~CDatumConverter() { grid_.RemoveAll(); }

void CDatumConverter::Report(const char* format, ...) {
  if (!sink_) return;
  va_list args;
  va_start(args, format);
  std::vsnprintf(message_, sizeof message_, format, args);
  va_end(args);
  CutAtCharBoundary(message_, sizeof message_ - 2);
  std::strcat(message_, "\n");
  sink_->OnDatumMessage(this);
}

int CDatumConverter::LoadGridParameters(const char* path) {
  const char* shownPath = path ? path : "";
  plat::File file;
  if (!OpenTextFileForRead(&file, path)) {
    Report("変換パラメータファイルのオープンに失敗しました %s", shownPath);
    return 0;
  }
  if (!grid_.Create(static_cast<int32_t>(sizeof(DatumGridEntry)), 0)) {
    Report(kMsgWorkMemory);
    return 0;
  }
  char line[256];
  int32_t lineCount = 0;
  while (ReadTextLine(&file, line, static_cast<int32_t>(sizeof line))) {
    if (++lineCount <= 2) continue;  // the header
    RemoveTrailingNewline(line);
    DatumGridEntry entry;
    if (!ParseGridLine(line, &entry)) continue;
    if (!grid_.Add(&entry)) {
      grid_.RemoveAll();
      Report("%s", line);
      return 0;
    }
  }
  if (file.Failed()) {
    grid_.RemoveAll();
    Report(kMsgFileRead, shownPath);
    return 0;
  }
  if (lineCount == 0) {
    Report("変換パラメータファイルにデータがありません %s", shownPath);
    return 0;
  }
  // Sorted by mesh code; entries with the same code keep their file order,
  // and the lookup finds the first of them.
  auto* entries = static_cast<DatumGridEntry*>(grid_.GetData());
  if (entries) {
    std::stable_sort(
        entries, entries + grid_.GetCount(),
        [](const DatumGridEntry& a, const DatumGridEntry& b) { return a.meshCode < b.meshCode; });
  }
  return 1;
}

const DatumGridEntry* CDatumConverter::FindEntry(int32_t meshCode) const {
  const auto* entries = static_cast<const DatumGridEntry*>(grid_.GetData());
  if (!entries) return nullptr;
  int32_t lo = 0;
  int32_t hi = grid_.GetCount();  // first entry not below the code lies in [lo, hi]
  while (lo < hi) {
    const int32_t mid = lo + (hi - lo) / 2;
    if (entries[mid].meshCode < meshCode) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  if (lo < grid_.GetCount() && entries[lo].meshCode == meshCode) return &entries[lo];
  return nullptr;
}

int CDatumConverter::GridShift(double longitude, double latitude, double* outLongitudeShift,
                               double* outLatitudeShift) const {
  MeshPosition mesh;
  if (!GetMeshPosition(longitude, latitude, &mesh)) return 0;
  const DatumGridEntry* s0 = FindEntry(mesh.meshCode);
  const DatumGridEntry* sE = FindEntry(mesh.eastCode);
  const DatumGridEntry* sN = FindEntry(mesh.northCode);
  const DatumGridEntry* sNE = FindEntry(mesh.northEastCode);
  if (!s0 || !sE || !sN || !sNE) return 0;
  const double fx = mesh.fx;
  const double fy = mesh.fy;
  auto interpolate = [fx, fy](double v0, double vE, double vN, double vNE) {
    return v0 + (vE - v0) * fx + (vN - v0) * fy + fx * fy * (v0 + vNE - vE - vN);
  };
  if (outLatitudeShift) {
    *outLatitudeShift =
        interpolate(s0->latitudeShift, sE->latitudeShift, sN->latitudeShift, sNE->latitudeShift);
  }
  if (outLongitudeShift) {
    *outLongitudeShift = interpolate(s0->longitudeShift, sE->longitudeShift, sN->longitudeShift,
                                     sNE->longitudeShift);
  }
  return 1;
}

int CDatumConverter::TokyoToJgd(double longitude, double latitude, double* outLongitude,
                                double* outLatitude, int* outMethod) {
  double lon = 0.0;
  double lat = 0.0;
  int method = 0;
  double lonShift = 0.0;
  double latShift = 0.0;
  if (GridShift(longitude, latitude, &lonShift, &latShift)) {
    lon = (longitude * 3600.0 + lonShift) / 3600.0;
    lat = (latitude * 3600.0 + latShift) / 3600.0;
    method = 1;
  } else {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    double height = 0.0;
    bool ok = GeodeticToGeocentric(DegreesToRadians(longitude), DegreesToRadians(latitude), 0.0,
                                   kEllipsoidBessel, &x, &y, &z) != 0;
    ok = ok && GeocentricToGeodetic(x + kShiftX, y + kShiftY, z + kShiftZ, kEllipsoidGrs80, &lat,
                                    &lon, &height) != 0;
    if (!ok) {
      Report("３パラメータ変換に失敗しました %10f %10f", longitude, latitude);
      return 0;
    }
    lon = RadiansToDegrees(lon);
    lat = RadiansToDegrees(lat);
  }
  if (outLongitude) *outLongitude = NudgeSeconds(lon);
  if (outLatitude) *outLatitude = NudgeSeconds(lat);
  if (outMethod) *outMethod = method;
  return 1;
}

int CDatumConverter::JgdToTokyo(double longitude, double latitude, double* outLongitude,
                                double* outLatitude, int* outMethod) {
  double lon = 0.0;
  double lat = 0.0;
  int method = 0;
  double lonShift = 0.0;
  double latShift = 0.0;
  // The shift is looked up at a first guess of the Tokyo point, then at
  // the point that shift gives.
  if (GridShift(longitude + 1.0 / 300.0, latitude - 1.0 / 300.0, &lonShift, &latShift) &&
      GridShift(longitude - lonShift / 3600.0, latitude - latShift / 3600.0, &lonShift,
                &latShift)) {
    lon = longitude - lonShift / 3600.0;
    lat = latitude - latShift / 3600.0;
    method = 1;
  } else {
    const double l = DegreesToRadians(longitude);
    const double b = DegreesToRadians(latitude);
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    double height = 0.0;
    // A first pass finds the height on the Tokyo side; the second starts
    // from the opposite height so that the Tokyo point lies on its
    // ellipsoid.
    bool ok = GeodeticToGeocentric(l, b, 0.0, kEllipsoidGrs80, &x, &y, &z) != 0;
    ok = ok && GeocentricToGeodetic(x - kShiftX, y - kShiftY, z - kShiftZ, kEllipsoidBessel, &lat,
                                    &lon, &height) != 0;
    ok = ok && GeodeticToGeocentric(l, b, -height, kEllipsoidGrs80, &x, &y, &z) != 0;
    ok = ok && GeocentricToGeodetic(x - kShiftX, y - kShiftY, z - kShiftZ, kEllipsoidBessel, &lat,
                                    &lon, &height) != 0;
    if (!ok) {
      Report("３パラメータ変換に失敗しました %10f %10f", longitude, latitude);
      return 0;
    }
    lon = RadiansToDegrees(lon);
    lat = RadiansToDegrees(lat);
  }
  if (outLongitude) *outLongitude = NudgeSeconds(lon);
  if (outLatitude) *outLatitude = NudgeSeconds(lat);
  if (outMethod) *outMethod = method;
  return 1;
}
