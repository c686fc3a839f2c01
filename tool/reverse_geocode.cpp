#include "tool/reverse_geocode.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "common/allocation_guard.h"
#include "common/csv_fields.h"
#include "common/file_access.h"
#include "common/le_bytes.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/numeric.h"
#include "common/path_util.h"
#include "common/polygon.h"
#include "matching/match_driver.h"
#include "matching/match_entries.h"
#include "matching/result_channel.h"
#include "tabledb/file_cache.h"
#include "tool/search_entries.h"

namespace {

constexpr unsigned char kTextKey = 0x5B;
constexpr uint32_t kHeaderSize = 48;
constexpr uint32_t kOutlineHeadSize = 21;
constexpr int kPrefectureCount = 47;
// Reads of a grid file that keeps changing while it is read.
constexpr int kGridReadAttempts = 3;
constexpr char kConversionFailed[] = "世界測地系変換に失敗しました！";
constexpr char kNotFound[] = "住所コードの取得ができません！(緯度:%.3lf 経度:%.3lf)";
constexpr char kDatumParameterFile[] = "TKY2JGD.PAR";

struct GridHeader {
  uint16_t nx = 0, ny = 0;
  double rect[4] = {0, 0, 0, 0};  // min x, min y, max x, max y
};

uint64_t FileLength(plat::File* file) {
  uint64_t length = 0;
  return file->GetLength(length) ? length : 0;
}

uint64_t FilePosition(plat::File* file) {
  uint64_t position = 0;
  return file->GetPosition(position) ? position : UINT64_MAX;
}

// Reading an open file from its position.
struct FileCursor {
  plat::File* file;
  bool Read(void* buffer, uint32_t count) { return ReadBytesFromFile(file, buffer, count) != 0; }
  uint64_t Remaining() const {
    const uint64_t position = FilePosition(file), length = FileLength(file);
    return position > length ? 0 : length - position;
  }
};

// Reading one image of a file (one version of it) from a position.
struct ImageCursor {
  CCachedFile* image;
  uint32_t position;
  bool Read(void* buffer, uint32_t count) {
    if (!image->ReadAt(position, buffer, count)) return false;
    position += count;
    return true;
  }
  uint64_t Remaining() const {
    return position > image->GetSize() ? 0 : image->GetSize() - position;
  }
};

template <typename Cursor>
int ReadGridTextAt(Cursor& in, char* buffer) {
  buffer[0] = '\0';
  unsigned char length = 0;
  if (!in.Read(&length, 1)) return 0;
  if (length > 0 && !in.Read(buffer, length)) {
    buffer[0] = '\0';
    return 0;
  }
  DescrambleGridText(length, buffer);
  buffer[length] = '\0';
  return 1;
}

template <typename Cursor>
int ReadAreaOutlineAt(Cursor& in, CPolygon* polygon) {
  unsigned char head[kOutlineHeadSize];
  if (!in.Read(head, kOutlineHeadSize)) return 0;
  const int width = head[0];
  const int32_t length = static_cast<int32_t>(LoadLe(head + 1, 4));
  const double baseX = LoadLeValue<double>(head + 5), baseY = LoadLeValue<double>(head + 13);
  int shift = 0;
  switch (width) {
    case 2:
      shift = 2;
      break;
    case 4:
      shift = 3;
      break;
    case 8:
      shift = 4;
      break;
    default:
      return 0;
  }
  // A length below the head, or points that the rest of the file cannot
  // hold, is a damaged record: no allocation is made for it.
  if (length < static_cast<int32_t>(kOutlineHeadSize)) return 0;
  const uint32_t points =
      static_cast<uint32_t>(length - static_cast<int32_t>(kOutlineHeadSize)) >> shift;
  const uint64_t bytes = static_cast<uint64_t>(points) * 2u * static_cast<uint32_t>(width);
  if (bytes > in.Remaining()) return 0;
  std::vector<unsigned char> data(static_cast<std::size_t>(bytes));
  if (bytes > 0 && !in.Read(data.data(), static_cast<uint32_t>(bytes))) return 0;
  polygon->Free();
  if (!polygon->Create(points > 0 ? points : 1, 128)) return 0;
  for (uint32_t i = 0; i < points; ++i) {
    const unsigned char* p = data.data() + static_cast<std::size_t>(i) * 2u * width;
    double vx = 0, vy = 0;
    if (width == 8) {
      vx = LoadLeValue<double>(p);
      vy = LoadLeValue<double>(p + 8);
    } else {
      vx = static_cast<double>(LoadLe(p, width));
      vy = static_cast<double>(LoadLe(p + width, width));
    }
    if (!polygon->AddPoint(0, (vx + baseX) / 1000, (vy + baseY) / 1000)) return 0;
  }
  return 1;
}

// The cell under (x, y); false when the grid holds no point there.
bool CellOf(const GridHeader& h, double x, double y, uint32_t* column, uint32_t* row) {
  const double* r = h.rect;
  // A grid without cells or with an empty (or not a number) extent holds
  // no point.
  if (h.nx == 0 || h.ny == 0 || !(r[2] > r[0]) || !(r[3] > r[1])) return false;
  if (!IsPointInRect(x, y, r)) return false;
  const double width = (r[2] - r[0]) / h.nx, height = (r[3] - r[1]) / h.ny;
  const double c = (x - r[0]) / width, w = (y - r[1]) / height;
  // Both lie in [0, NX] and [0, NY] here; NX or NY itself is the maximum
  // border, which GridCellOffset refuses.
  if (!(c >= 0 && c <= h.nx && w >= 0 && w <= h.ny)) return false;
  *column = static_cast<uint32_t>(c);
  *row = static_cast<uint32_t>(w);
  return true;
}

// The winning area of a chain walk.
struct Candidate {
  bool found = false;
  char code[kGridTextSize] = {};
  char names[kGridTextSize] = {};
};

// Walks the chain from the first link. False when the chain leads back to
// a link seen before (a damaged file); a link or record that cannot be
// read ends it, as the end of a chain does.
bool WalkCell(CCachedFile* image, uint32_t firstLink, double x, double y, Candidate* best) {
  std::unordered_set<uint32_t> seen;
  uint32_t link = firstLink;
  while (link != 0) {
    if (!seen.insert(link).second) return false;
    unsigned char bytes[8];
    if (!image->ReadAt(link, bytes, 8)) return true;
    const uint32_t area = static_cast<uint32_t>(LoadLe(bytes, 4));
    const uint32_t next = static_cast<uint32_t>(LoadLe(bytes + 4, 4));
    char code[kGridTextSize], names[kGridTextSize];
    CPolygon outline;
    ImageCursor in{image, area};
    if (!ReadGridTextAt(in, code) || !ReadGridTextAt(in, names) || !ReadAreaOutlineAt(in, &outline))
      return true;
    if (outline.ContainsPoint(x, y) &&
        (!best->found || std::strlen(code) > std::strlen(best->code))) {
      best->found = true;
      std::memcpy(best->code, code, sizeof code);
      std::memcpy(best->names, names, sizeof names);
    }
    outline.Free();
    link = next;
  }
  return true;
}

int SetNotFound(char* message, double latitude, double longitude) {
  SetMessage(message, kNotFound, latitude, longitude);
  return 0;
}

// The prefectures tried in turn with the point in seconds of arc: 1 with
// the first hit's line, 0 when none holds it, -1 with the read-failure
// message for a damaged grid file.
int ScanPrefectures(const std::string& folder, double x, double y, char* result, char* message) {
  for (int i = 1; i <= kPrefectureCount; ++i) {
    const std::string path = NumberedFilePath(folder, "%02d.GDB", i);
    switch (LookUpGridFile(path.c_str(), x, y, result, kJobResultTextSize)) {
      case GridAnswer::kHit:
        return 1;
      case GridAnswer::kDamaged:
        SetMessage(message, kMsgFileRead, path.c_str());
        return -1;
      case GridAnswer::kNone:
        break;
    }
  }
  return 0;
}

// The steps before any grid is opened: a result buffer, the context for
// the dataset, and its reverse-geocoding switch on.
int PrepareSearch(CAdrsContext* context, char* result, double latitude, double longitude,
                  const std::string& folder, char* message, const char* datasetName) {
  if (!result) {
    SetMessage(message, result_channel::kInvalidParameter, "結果格納配列");
    return 0;
  }
  result[0] = '\0';
  PrepareContextForDataset(context, datasetName, folder.c_str());
  if (!context->IsReverseGeocodingEnabled()) return SetNotFound(message, latitude, longitude);
  return 1;
}

// Fields 3 to 7 of the line rewritten by the output formats.
void ApplyFormatsToLine(CAdrsContext* context, char* line) {
  char fields[8][kJobResultTextSize];
  for (int n = 1; n <= 8; ++n) ExtractCsvField(fields[n - 1], line, n);
  context->ApplyOutputFormats(fields[3], fields[5], nullptr, nullptr, nullptr, fields[2], fields[4],
                              fields[6]);
  std::string joined;
  for (int n = 0; n < 8; ++n) {
    if (n > 0) joined += ',';
    joined += fields[n];
  }
  std::snprintf(line, kJobResultTextSize, "%s", joined.c_str());
}

}  // namespace

uint32_t GridCellOffset(uint16_t nx, uint16_t ny, uint32_t column, uint32_t row) {
  if (column >= nx || row >= ny) return 0;
  // A cell table of 65,535 x 65,535 cells reaches beyond 32-bit offsets:
  // such a cell cannot lie in the file.
  const uint64_t offset = kHeaderSize + 4u * (column + static_cast<uint64_t>(nx) * row);
  return offset <= UINT32_MAX ? static_cast<uint32_t>(offset) : 0;
}

void DescrambleGridText(uint32_t length, char* buffer) {
  if (!buffer) return;
  for (uint32_t i = 0; i < length; ++i)
    buffer[i] = static_cast<char>(static_cast<unsigned char>(buffer[i]) ^ kTextKey);
}

int ReadGridText(plat::File* file, char* buffer) {
  if (!file || !buffer) return 0;
  FileCursor in{file};
  return ReadGridTextAt(in, buffer);
}

int ReadAreaOutline(plat::File* file, CPolygon* polygon) {
  if (!file || !polygon) return 0;
  FileCursor in{file};
  return ReadAreaOutlineAt(in, polygon);
}

GridAnswer LookUpGridFile(const char* gridPath, double x, double y, char* result,
                          std::size_t resultSize) {
  if (!result || resultSize == 0) return GridAnswer::kNone;
  result[0] = '\0';
  // One version of the file for the whole call: the grid that holds the
  // point is read whole, and read again from its new version when the file
  // changed between its header and the rest (rewritten in place).
  std::shared_ptr<CCachedFile> image;
  uint32_t cell = 0;
  for (int attempt = 1;; ++attempt) {
    image = gridPath ? AcquireCachedFile(gridPath) : nullptr;
    if (!image) return GridAnswer::kNone;
    unsigned char head[kHeaderSize];
    if (!image->ReadAt(0, head, kHeaderSize)) return GridAnswer::kNone;
    GridHeader h;
    h.nx = static_cast<uint16_t>(LoadLe(head + 12, 2));
    h.ny = static_cast<uint16_t>(LoadLe(head + 14, 2));
    for (int i = 0; i < 4; ++i) h.rect[i] = LoadLeValue<double>(head + 16 + 8 * i);
    uint32_t column = 0, row = 0;
    if (!CellOf(h, x, y, &column, &row)) return GridAnswer::kNone;
    cell = GridCellOffset(h.nx, h.ny, column, row);
    if (cell == 0) return GridAnswer::kNone;
    image->Bytes(0, image->GetSize());
    if (attempt == kGridReadAttempts || AcquireCachedFile(gridPath) == image) break;
  }
  unsigned char first[4];
  if (!image->ReadAt(cell, first, 4)) return GridAnswer::kNone;
  Candidate best;
  if (!WalkCell(image.get(), static_cast<uint32_t>(LoadLe(first, 4)), x, y, &best))
    return GridAnswer::kDamaged;
  if (!best.found) return GridAnswer::kNone;
  std::string line;
  char field[kGridTextSize];
  for (int n = 2; n <= 8; ++n) {
    line += ExtractCsvField(field, best.names, n);
    line += ',';
  }
  line += best.code;
  std::snprintf(result, resultSize, "%s", line.c_str());
  return GridAnswer::kHit;
}

int FindAreaAtPoint(const char* gridPath, double x, double y, char* result,
                    std::size_t resultSize) {
  return LookUpGridFile(gridPath, x, y, result, resultSize) == GridAnswer::kHit ? 1 : 0;
}

int ReverseGeocode(char* result, double latitude, double longitude, const char* dataFolder,
                   char* message, const char* datasetName, int32_t inputDatum,
                   int32_t inputCoordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                   int32_t readingFormat) {
  return CatchAllocationFailure(message, 0, [&] {
    const std::string folder = FolderWithBackslash(dataFolder);
    CAdrsContext context;
    if (!PrepareSearch(&context, result, latitude, longitude, folder, message, datasetName))
      return 0;
    if (!SetContextOptions(
            &context,
            {{&CAdrsContext::SetDatum, inputDatum, "入力測地系"},
             {&CAdrsContext::SetCoordinateFormat, inputCoordinateFormat, "入力座標書式"},
             {&CAdrsContext::SetChomeFormat, chomeFormat, "出力字丁目書式"},
             {&CAdrsContext::SetNumberFormat, numberFormat, "出力数字書式"},
             {&CAdrsContext::SetReadingFormat, readingFormat, "出力よみ書式"}},
            message))
      return 0;
    context.SetOutputStyle(2);
    context.SetDatumParameterFile((folder + kDatumParameterFile).c_str());
    InputCoordinateRequest request;
    request.latitude = latitude;
    request.longitude = longitude;
    if (!context.ConvertInputCoordinates(&request)) {
      SetMessage(message, "%s", kConversionFailed);
      return 0;
    }
    const int found = ScanPrefectures(folder, request.outLongitude / 1000,
                                      request.outLatitude / 1000, result, message);
    if (found < 0) return 0;
    if (found == 0) return SetNotFound(message, latitude, longitude);
    ApplyFormatsToLine(&context, result);
    return 1;
  });
}

int ReverseGeocodeShort(char* result, double latitude, double longitude, const char* dataFolder,
                        char* message, int32_t inputDatum, int32_t inputCoordinateFormat,
                        int32_t chomeFormat, int32_t numberFormat, int32_t readingFormat) {
  return ReverseGeocode(result, latitude, longitude, dataFolder, message, "", inputDatum,
                        inputCoordinateFormat, chomeFormat, numberFormat, readingFormat);
}

int ReverseGeocodeRaw(char* result, double latitude, double longitude, const char* dataFolder,
                      char* message, const char* datasetName) {
  return CatchAllocationFailure(message, 0, [&] {
    const std::string folder = FolderWithBackslash(dataFolder);
    CAdrsContext context;
    if (!PrepareSearch(&context, result, latitude, longitude, folder, message, datasetName))
      return 0;
    const int found = ScanPrefectures(folder, longitude, latitude, result, message);
    if (found < 0) return 0;
    if (found == 0) return SetNotFound(message, latitude, longitude);
    return 1;
  });
}

int GetAddressCodeAtPoint(char* result, double latitude, double longitude, const char* dataFolder,
                          char* message) {
  return ReverseGeocodeRaw(result, latitude, longitude, dataFolder, message, "");
}
