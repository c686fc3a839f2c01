#pragma once
// Reverse geocoding: the address area that holds a point, found in the
// prefectures' grid files "%s%02d.GDB" (the data folder followed directly by
// the two-digit prefecture number).
//
// Grid file (little-endian): NX (u16 at 12), NY (u16 at 14), the doubles
// minimum x, minimum y, maximum x, maximum y at 16 (seconds of arc, Tokyo
// datum, x = longitude), then at 48 the u32 first-link offset of every cell
// (c, r) at 48 + 4 x (c + NX x r). A link is {u32 area offset, u32 next
// link}; a next offset of 0 ends the chain. An area: the code text and the
// name row (CSV), each a length byte and the bytes XOR-ed with 0x5B; the
// outline: width byte w (2, 4, 8), i32 length L including the 21-byte head,
// doubles base x and base y, then (L - 21) / (2 w) points of w-byte values
// (u16, u32, double), x first; a point is ((value + base) / 1000) seconds.
//
// A chain walk ends quietly at a link, text or outline that cannot be read
// (an outline length below 21 or one running past the end of the file, an
// unknown width): that is how a chain ends. A chain that leads back to a
// link seen before is a damaged file: the search fails with
// "ファイルの読み込みに失敗しました!(%s)" and the file's path. A grid
// without cells or with an empty extent holds no point.
//
// A grid file is read through the process's image of it (tabledb/
// file_cache.h): one call reads one version of the file, whole once the
// point lies in its rectangle; when the file changed while it was being
// read, it is read again from its new version (up to three times).
//
// The result line: fields 2 to 8 of the area's name row (prefecture,
// municipality, its reading, oaza, its reading, aza/chome, its reading),
// each followed by ",", and the area's code text. Of several areas holding
// the point the one with the longest code text wins (the earlier one in the
// cell's chain on equal lengths).

#include <cstddef>
#include <cstdint>

#include "plat/file.h"

class CPolygon;

// Bytes of a scrambled text with its NUL.
inline constexpr std::size_t kGridTextSize = 256;

// 48 + 4 x (column + NX x row) for a cell inside the grid, else 0.
uint32_t GridCellOffset(uint16_t nx, uint16_t ny, uint32_t column, uint32_t row);
// XORs each of the length bytes with the key 0x5B.
void DescrambleGridText(uint32_t length, char* buffer);
// One scrambled text at the file's position into buffer (kGridTextSize
// bytes, NUL-terminated); 0 when a read fails.
int ReadGridText(plat::File* file, char* buffer);
// One outline at the file's position into the polygon (created for the
// point count with a growth step of 128, points added with AddPoint); 0 for
// a failed read, a width other than 2, 4 and 8, a length below 21 or points
// beyond the end of the file.
int ReadAreaOutline(plat::File* file, CPolygon* polygon);
// What one grid file answers for a point.
enum class GridAnswer { kNone, kHit, kDamaged };
// The result line of the area at (x, y) (seconds of arc) in one grid file
// into result (resultSize bytes): kHit; kNone (result empty) when the file
// does not open, the point lies outside the grid or in no area; kDamaged
// (result empty) when the cell's chain leads back to a link seen before.
GridAnswer LookUpGridFile(const char* gridPath, double x, double y, char* result,
                          std::size_t resultSize);
// LookUpGridFile as 1 for a hit, else 0.
int FindAreaAtPoint(const char* gridPath, double x, double y, char* result, std::size_t resultSize);

// The entries below write the result line into result (kJobResultTextSize
// bytes, tool/search_entries.h) and answer 1, or 0 with a message
// (kJobMessageSize bytes): "パラメータに無効な値が渡されました！(%s)" for a
// null result or an option out of range, "世界測地系変換に失敗しました！" for
// a failed conversion, "住所コードの取得ができません！(緯度:%.3lf 経度:%.3lf)"
// with the point as given when no grid holds it or when the dataset
// ("VRG_BASIC") switches reverse geocoding off (no grid file is opened then),
// "ファイルの読み込みに失敗しました!(%s)" with the path of a damaged grid.
// The prefectures 1 to 47 are tried in turn; the first hit wins.
//
// ReverseGeocode (tool/search_entries.h) takes the point in the input
// datum and format and rewrites fields 3 to 7 by the output formats; the
// short form uses an empty dataset name.
int ReverseGeocodeShort(char* result, double latitude, double longitude, const char* dataFolder,
                        char* message, int32_t inputDatum, int32_t inputCoordinateFormat,
                        int32_t chomeFormat, int32_t numberFormat, int32_t readingFormat);
// The point in seconds of arc on the Tokyo datum, the line as found.
int ReverseGeocodeRaw(char* result, double latitude, double longitude, const char* dataFolder,
                      char* message, const char* datasetName);
// ReverseGeocodeRaw with an empty dataset name.
int GetAddressCodeAtPoint(char* result, double latitude, double longitude, const char* dataFolder,
                          char* message);
