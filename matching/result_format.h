#pragma once
// Result text formatting helpers: coordinate splitting and reading, code
// parts, suffix test, and the two standalone formatters that run the
// formatting members of CAdrsContext on a fresh context.
//
// Coordinate formats (the option 出力座標書式, also used for input), of a
// value v in milliseconds of arc:
//   1 "%ld" of v                       milliseconds of arc
//   2 "%.1lf" of v / 10                hundredths of a second
//   3 "%.3lf" of v / 1000              seconds
//   4 "%.9lf" of v / 3600              thousandths of a degree
//   5 "%.9lf" of v / 36000             hundredths of a degree
//   6 "%.9lf" of v / 3600000           degrees
//   7 DDDMMSS.sss                      degrees, minutes, seconds, thousandths
//   8 DDDMMSSsss                       degrees, minutes, milliseconds in the minute

#include <cstddef>
#include <cstdint>

#include "matching/adrs_context.h"

// degrees = v / 3600000, minutes = (v % 3600000) / 60000, rest = the
// milliseconds within the minute; integer division truncating toward zero.
void SplitMilliseconds(int32_t v, int32_t* degrees, int32_t* minutes, int32_t* rest);
// x written as DDDMMSS.sss, to milliseconds of arc.
double DmsNumberToMilliseconds(double x);
// 1 when the text is at least as long as the suffix and ends with it (byte
// comparison).
int EndsWith(const char* text, const char* suffix);

// Out buffers of the code-part formatters hold at least this many bytes.
inline constexpr std::size_t kCodePartTextSize = 12;
// "%05ld" up to 99999; above, one character of value / 10000 + 55 ("A" for
// 10) and "%04ld" of value % 10000.
char* FormatCodePart(char* out, int32_t value);

// On a fresh context: sets the three formats (any out of range: 0) and
// applies them to the eight texts; 1.
int FormatResultNames(int32_t chomeFormat, int32_t numberFormat, int32_t readingFormat, char* oaza,
                      char* chome, char* block, char* lot, char* countyReading,
                      char* municipalityReading, char* oazaReading, char* chomeReading);
// On a fresh context: sets the coordinate format and the datum (out of
// range: 0) and the parameter file, then formats the pair (the texts need
// kCoordinateTextSize bytes each).
int FormatCoordinatePair(int32_t datum, const char* parameterFile, int32_t coordinateFormat,
                         int32_t latitude, int32_t longitude, char* latitudeText,
                         char* longitudeText);
