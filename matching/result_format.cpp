#include "matching/result_format.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/copy_out.h"
#include "common/file_access.h"
#include "common/numeric.h"
#include "common/sjis_internal.h"
#include "common/sjis_text.h"
#include "common/width_kana.h"

namespace {

constexpr double kMillisecondsPerDegree = 3600000.0;
// Caller coordinates beyond this magnitude (in their own unit) are no
// coordinates in any format.
constexpr double kInputLimit = 1e12;

const char* const kFullWidthDigitTable[10][2] = {
    {"１", "1"}, {"２", "2"}, {"３", "3"}, {"４", "4"}, {"５", "5"},
    {"６", "6"}, {"７", "7"}, {"８", "8"}, {"９", "9"}, {"０", "0"},
};

// One coordinate text; 0 (and "" when there is room) when it does not fit.
int FormatCoordinateText(int32_t format, int32_t v, char* out, std::size_t size) {
  if (!out || size == 0) return 0;
  int n = -1;
  switch (format) {
    case 1:
      n = FormatDecimal(out, size, v);
      break;
    case 2:
      n = std::snprintf(out, size, "%.1lf", v / 10.0);
      break;
    case 3:
      n = std::snprintf(out, size, "%.3lf", v / 1000.0);
      break;
    case 4:
      n = std::snprintf(out, size, "%.9lf", v / 3600.0);
      break;
    case 5:
      n = std::snprintf(out, size, "%.9lf", v / 36000.0);
      break;
    case 6:
      n = std::snprintf(out, size, "%.9lf", v / kMillisecondsPerDegree);
      break;
    case 7:
    case 8: {
      int32_t degrees = 0;
      int32_t minutes = 0;
      int32_t rest = 0;
      SplitMilliseconds(v, &degrees, &minutes, &rest);
      if (format == 7) {
        n = std::snprintf(out, size, "%ld%02ld%02ld.%03d", static_cast<long>(degrees),
                          static_cast<long>(minutes), static_cast<long>(rest / 1000),
                          static_cast<int>(rest % 1000));
      } else {
        n = std::snprintf(out, size, "%ld%02ld%05ld", static_cast<long>(degrees),
                          static_cast<long>(minutes), static_cast<long>(rest));
      }
      break;
    }
    default:
      break;
  }
  if (n < 0 || static_cast<std::size_t>(n) >= size) {
    out[0] = '\0';
    return 0;
  }
  return 1;
}

// Milliseconds of arc rounded half away from zero; false outside int32.
bool DegreesToRoundedMilliseconds(double degrees, int32_t* out) {
  const double ms = RoundHalfAwayFromZero(degrees * kMillisecondsPerDegree);
  if (!(ms >= -2147483648.0 && ms <= 2147483647.0)) return false;
  *out = static_cast<int32_t>(ms);
  return true;
}

// A caller value in the coordinate format, to milliseconds of arc.
bool InputToMilliseconds(int32_t format, double value, double* out) {
  if (!std::isfinite(value) || std::fabs(value) > kInputLimit) return false;
  switch (format) {
    case 1:
      *out = value;
      return true;
    case 2:
      *out = value * 10.0;
      return true;
    case 3:
      *out = value * 1000.0;
      return true;
    case 4:
      *out = value * 3600.0;
      return true;
    case 5:
      *out = value * 36000.0;
      return true;
    case 6:
      *out = value * kMillisecondsPerDegree;
      return true;
    case 7:
      *out = DmsNumberToMilliseconds(value);
      return true;
    case 8:
      *out = DmsNumberToMilliseconds(value / 1000.0);
      return true;
    default:
      return false;
  }
}

bool IsNonEmpty(const char* text) { return text && text[0] != '\0'; }

}  // namespace

// ---- Free helpers ----

void SplitMilliseconds(int32_t v, int32_t* degrees, int32_t* minutes, int32_t* rest) {
  if (degrees) *degrees = v / 3600000;
  if (minutes) *minutes = (v % 3600000) / 60000;
  if (rest) *rest = v % 3600000 % 60000;
}

double DmsNumberToMilliseconds(double x) {
  const double d = TruncateToInteger(x / 10000.0);
  const double minutesAndSeconds = x - d * 10000.0;
  const double m = TruncateToInteger(minutesAndSeconds / 100.0);
  const double s = minutesAndSeconds - m * 100.0;
  return (d * 3600.0 + m * 60.0 + s) * 1000.0;
}

// The suffix must also begin on a character of the text: the character
// starts are found by walking forward, so that the tail of a double-byte
// character never counts as the start of the suffix.
int EndsWith(const char* text, const char* suffix) {
  if (!text || !suffix) return 0;
  const std::size_t length = std::strlen(text);
  const std::size_t suffixLength = std::strlen(suffix);
  if (suffixLength > length) return 0;
  const std::size_t start = length - suffixLength;
  if (std::memcmp(text + start, suffix, suffixLength) != 0) return 0;
  std::size_t i = 0;
  while (i < start) i += static_cast<std::size_t>(sjis_internal::CharLen(text + i));
  return i == start ? 1 : 0;
}

char* FormatCodePart(char* out, int32_t value) {
  if (!out) return out;
  if (value <= 99999) {
    FormatDecimal(out, kCodePartTextSize, value, 5);
  } else {
    out[0] = static_cast<char>(value / 10000 + 55);
    FormatDecimal(out + 1, kCodePartTextSize - 1, value % 10000, 4);
  }
  return out;
}

int FormatResultNames(int32_t chomeFormat, int32_t numberFormat, int32_t readingFormat, char* oaza,
                      char* chome, char* block, char* lot, char* countyReading,
                      char* municipalityReading, char* oazaReading, char* chomeReading) {
  CAdrsContext context;
  if (!context.SetChomeFormat(chomeFormat) || !context.SetNumberFormat(numberFormat) ||
      !context.SetReadingFormat(readingFormat)) {
    return 0;
  }
  context.ApplyOutputFormats(oaza, chome, block, lot, countyReading, municipalityReading,
                             oazaReading, chomeReading);
  return 1;
}

int FormatCoordinatePair(int32_t datum, const char* parameterFile, int32_t coordinateFormat,
                         int32_t latitude, int32_t longitude, char* latitudeText,
                         char* longitudeText) {
  CAdrsContext context;
  if (!context.SetCoordinateFormat(coordinateFormat) || !context.SetDatum(datum)) return 0;
  context.SetDatumParameterFile(parameterFile);
  CoordinateRequest request{latitude,      longitude,          latitudeText, kCoordinateTextSize,
                            longitudeText, kCoordinateTextSize};
  return context.FormatCoordinates(&request);
}

// ---- Context members ----

int CAdrsContext::ConvertDatum(bool toJgd, double latitude, double longitude, double* outLatitude,
                               double* outLongitude) {
  converter_.SetMessageSink(nullptr);
  if (!datumLoaded_) {
    const char* path = datumPath_.c_str();
    if (!FileExists(path) || !converter_.LoadGridParameters(path)) return 0;
    datumLoaded_ = 1;
  }
  const double x = longitude / kMillisecondsPerDegree;
  const double y = latitude / kMillisecondsPerDegree;
  int method = 0;
  return toJgd ? converter_.TokyoToJgd(x, y, outLongitude, outLatitude, &method)
               : converter_.JgdToTokyo(x, y, outLongitude, outLatitude, &method);
}

int CAdrsContext::ToOutputDatum(int32_t latitude, int32_t longitude, int32_t* outLatitude,
                                int32_t* outLongitude) {
  if (!outLatitude || !outLongitude) return 0;
  *outLatitude = latitude;
  *outLongitude = longitude;
  int32_t datum = 1;
  GetDatum(&datum);
  if (datum == 1) return 1;
  double lon = 0.0;
  double lat = 0.0;
  if (datum != 2 || !ConvertDatum(true, latitude, longitude, &lat, &lon)) return 0;
  int32_t msLatitude = 0;
  int32_t msLongitude = 0;
  if (!DegreesToRoundedMilliseconds(lat, &msLatitude) ||
      !DegreesToRoundedMilliseconds(lon, &msLongitude)) {
    return 0;
  }
  *outLatitude = msLatitude;
  *outLongitude = msLongitude;
  return 1;
}

int CAdrsContext::FormatCoordinates(CoordinateRequest* request) {
  if (!request) return 0;
  int32_t format = 1;
  GetCoordinateFormat(&format);
  if (format < 1 || format > 8) return 0;
  int32_t latitude = 0;
  int32_t longitude = 0;
  if (!ToOutputDatum(request->latitude, request->longitude, &latitude, &longitude)) return 0;
  if (!FormatCoordinateText(format, latitude, request->latitudeText, request->latitudeTextSize)) {
    return 0;
  }
  return FormatCoordinateText(format, longitude, request->longitudeText,
                              request->longitudeTextSize);
}

int CAdrsContext::ConvertInputCoordinates(InputCoordinateRequest* request) {
  if (!request) return 0;
  int32_t format = 1;
  GetCoordinateFormat(&format);
  double latitude = 0.0;
  double longitude = 0.0;
  if (!InputToMilliseconds(format, request->latitude, &latitude) ||
      !InputToMilliseconds(format, request->longitude, &longitude)) {
    return 0;
  }
  int32_t datum = 1;
  GetDatum(&datum);
  if (datum == 1) {
    request->outLatitude = latitude;
    request->outLongitude = longitude;
    return 1;
  }
  double lon = 0.0;
  double lat = 0.0;
  if (datum != 2 || !ConvertDatum(false, latitude, longitude, &lat, &lon)) return 0;
  request->outLatitude = lat * kMillisecondsPerDegree;
  request->outLongitude = lon * kMillisecondsPerDegree;
  return 1;
}

void CAdrsContext::ApplyOutputFormats(char* oaza, char* chome, char* block, char* lot,
                                      char* countyReading, char* municipalityReading,
                                      char* oazaReading, char* chomeReading) {
  if (IsNonEmpty(chome) && IsNonEmpty(chomeReading)) ApplyChomeFormat(chome, chomeReading);
  for (char* reading : {countyReading, municipalityReading, oazaReading, chomeReading}) {
    if (IsNonEmpty(reading)) ApplyReadingFormat(reading);
  }
  for (char* text : {oaza, oazaReading, chome, chomeReading, block, lot}) {
    if (text) ApplyNumberFormat(text);
  }
}

int CAdrsContext::ApplyChomeFormat(char* chome, char* chomeReading) {
  int32_t format = 0;
  if (!GetChomeFormat(&format) || format != 2) return 0;
  static const char kChome[] = "丁目";
  static const char kChomeReading[] = "ちょうめ";
  if (!EndsWith(chome, kChome) || !EndsWith(chomeReading, kChomeReading)) return 0;
  chome[std::strlen(chome) - (sizeof kChome - 1)] = '\0';
  chomeReading[std::strlen(chomeReading) - (sizeof kChomeReading - 1)] = '\0';
  return 1;
}

int CAdrsContext::ApplyReadingFormat(char* text) {
  int32_t format = 0;
  if (!text || !GetReadingFormat(&format) || format == 1) return 0;
  const std::string before(text);
  if (format == 2) {
    HiraganaToKatakana(text);
  } else {
    HiraganaToHalfKana(text);
  }
  return before != text ? 1 : 0;
}

int CAdrsContext::ApplyNumberFormat(char* text) {
  int32_t format = 0;
  if (!text || !GetNumberFormat(&format) || format != 2) return 0;
  const std::string before(text);
  ReplaceAllByTable(text, kFullWidthDigitTable, 10);
  return before != text ? 1 : 0;
}

void CAdrsContext::DropNoOazaName(char* oaza, char* oazaReading, int32_t byReading) {
  if (!oaza) return;
  const bool noOaza = FindSubstring("大字なし", oaza) > 0 ||
                      (byReading == 1 && FindSubstring("おおあざなし", oaza) > 0);
  if (!noOaza) return;
  oaza[0] = '\0';
  if (oazaReading) oazaReading[0] = '\0';
}
