#include "tool/postal_search.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "common/file_access.h"
#include "common/le_bytes.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/number_parse.h"
#include "common/path_util.h"
#include "common/sjis_text.h"
#include "matching/match_driver.h"
#include "matching/match_entries.h"
#include "matching/result_channel.h"
#include "matching/result_line.h"
#include "plat/crt.h"
#include "tabledb/table_database.h"
#include "tabledb/table_names.h"
#include "tabledb/tc_access.h"
#include "tool/result_sink.h"
#include "tool/search_entries.h"

namespace {

constexpr char kMagic[] = "TVXYDB";
constexpr uint32_t kEntrySize = 10;
constexpr uint32_t kWindowSize = 65536;
constexpr uint32_t kLargestCode = 9999999;
constexpr int kPrefectureCount = 47;
constexpr const char* kOazaTable = kTableOaza;
constexpr const char* kReadFailed = kMsgFileRead;
constexpr const char* kNoData = kMsgNoTargetData;
constexpr char kResultFailed[] = "検索結果の取得に失敗しました！[DATABASE:%s][TABLE:%s]";
constexpr char kConversionFailed[] = "世界測地系変換に失敗しました！";
constexpr char kDatumParameterFile[] = "TKY2JGD.PAR";
// Removed from the text before it is read as digits, in this order.
constexpr const char* kRemovedMarks[] = {"〒", "ー", "-", "－", "ｰ", "―", "‐"};

// The seven-digit range of a postal text; false when it is no code.
bool CodeRange(const char* text, uint32_t* lower, uint32_t* upper) {
  char work[kJobTextSize];
  // A text that does not fit the work area is no code either.
  if (!text || std::strlen(text) >= sizeof work) return false;
  std::snprintf(work, sizeof work, "%s", text);
  for (const char* mark : kRemovedMarks) ReplaceAll(work, mark, "", sizeof work);
  const std::size_t length = std::strlen(work);
  if (length < 1 || length > 7) return false;
  for (std::size_t i = 0; i < length; ++i)
    if (work[i] < '0' || work[i] > '9') return false;
  const std::string low = std::string(work) + std::string(7 - length, '0');
  const std::string high = std::string(work) + std::string(7 - length, '9');
  return ParseUIntInRange(low.c_str(), lower, 0, kLargestCode) &&
         ParseUIntInRange(high.c_str(), upper, 0, kLargestCode);
}

// The names of one municipality, looked up when the code's first five
// characters change.
struct CityNames {
  char code[6] = {};
  char prefecture[kResultTextSize] = {};
  char county[kResultTextSize] = {};
  char municipality[kResultTextSize] = {};
  char countyReading[kResultTextSize] = {};
  char municipalityReading[kResultTextSize] = {};
};

int LookupCity(CTableDatabase* database, const char* placeCode, CityNames* city, char* message) {
  if (city->code[0] != '\0' && std::strncmp(city->code, placeCode, 5) == 0) return 1;
  char prefectureCode[3] = {}, cityCode[6] = {};
  std::snprintf(prefectureCode, sizeof prefectureCode, "%.2s", placeCode);
  std::snprintf(cityCode, sizeof cityCode, "%.5s", placeCode);
  if (!LookupPrefectureByCode(database, prefectureCode, city->prefecture, message) ||
      !LookupCityByCode(database, cityCode, city->municipality, city->county,
                        city->municipalityReading, city->countyReading, message)) {
    city->code[0] = '\0';
    return 0;
  }
  std::snprintf(city->code, sizeof city->code, "%s", cityCode);
  return 1;
}

// One address row of TC_Oaza.
struct OazaValues {
  char oaza[kResultTextSize] = {};
  char oazaReading[kResultTextSize] = {};
  char chome[kResultTextSize] = {};
  char chomeReading[kResultTextSize] = {};
  char code[kResultTextSize] = {};
  int32_t latitude = 0;
  int32_t longitude = 0;
};

int ReadOazaValues(CTableDatabase* db, uint32_t record, OazaValues* v, char* message) {
  const auto text = [&](const char* field, char* out) {
    return ReadStringField(db, record, kOazaTable, field, out, kResultTextSize, message) != 0;
  };
  if (!text("大字通称名", v->oaza) || !text("かな読み大字通称名", v->oazaReading) ||
      !text("字丁目名", v->chome) || !text("かな読み字丁目名", v->chomeReading) ||
      !ReadIntField(db, record, kOazaTable, "緯度", &v->latitude, message) ||
      !ReadIntField(db, record, kOazaTable, "経度", &v->longitude, message) ||
      !text("地名コード", v->code))
    return 0;
  if (FindSubstring("大字なし", v->oaza) != 0) {
    v->oaza[0] = '\0';
    v->oazaReading[0] = '\0';
  }
  return 1;
}

int WriteAddressLine(CTableDatabase* db, CAdrsContext* context, const CityNames& c, OazaValues* v,
                     char* message) {
  char line[4 * kResultTextSize * 3];
  if (context->GetOutputStyle() == 2) {
    char latitude[kCoordinateTextSize] = {}, longitude[kCoordinateTextSize] = {};
    CoordinateRequest request{v->latitude,     v->longitude, latitude,
                              sizeof latitude, longitude,    sizeof longitude};
    if (!context->FormatCoordinates(&request)) {
      SetMessage(message, "%s", kConversionFailed);
      return 0;
    }
    char countyReading[kResultTextSize], municipalityReading[kResultTextSize];
    std::snprintf(countyReading, sizeof countyReading, "%s", c.countyReading);
    std::snprintf(municipalityReading, sizeof municipalityReading, "%s", c.municipalityReading);
    context->ApplyOutputFormats(v->oaza, v->chome, nullptr, nullptr, countyReading,
                                municipalityReading, v->oazaReading, v->chomeReading);
    std::snprintf(line, sizeof line, "%s,%s%s,%s%s,%s,%s,%s,%s,%s,%s,%s", c.prefecture, c.county,
                  c.municipality, countyReading, municipalityReading, v->oaza, v->oazaReading,
                  v->chome, v->chomeReading, v->code, latitude, longitude);
  } else {
    std::snprintf(line, sizeof line, "%s,%s%s,%s%s,%s,%s,%s,%s,%s,%ld,%ld", c.prefecture, c.county,
                  c.municipality, c.countyReading, c.municipalityReading, v->oaza, v->oazaReading,
                  v->chome, v->chomeReading, v->code, static_cast<long>(v->latitude),
                  static_cast<long>(v->longitude));
  }
  if (!context->WriteLine(line)) {
    SetMessage(message, kResultFailed, DatabasePath(db).c_str(), kOazaTable);
    return 0;
  }
  return 1;
}

// The prefectures 1 to 47: the number of lines written, or -1 with the
// message of a failing search.
int32_t ScanPrefectures(const char* text, const std::string& folder, CAdrsContext* context,
                        char* message) {
  int32_t lines = 0, interrupted = 0;
  for (int i = 1; i <= kPrefectureCount; ++i) {
    const std::string ndb = NumberedFilePath(folder, "QVAD%02d.NDB", i);
    const std::string ydb = NumberedFilePath(folder, "QVAD%02d.YDB", i);
    if (!FileExists(ndb.c_str())) continue;
    CTableDatabase database;
    CYdbIndex index;
    if (!database.Open(ndb.c_str()) || !index.Open(ydb.c_str())) continue;
    index.SetDatabase(&database);
    if (!index.Search(text, context, &lines, -1, &interrupted, message)) return -1;
  }
  return lines;
}

int PostalCore(CAdrsContext* context, const char* postalCode, const char* dataFolder, char* message,
               const char* datasetName) {
  const char* text = postalCode ? postalCode : "";
  const std::string folder = FolderWithBackslash(dataFolder);
  PrepareContextForDataset(context, datasetName, folder.c_str());
  const int32_t lines = ScanPrefectures(text, folder, context, message);
  if (lines > 0) return 1;
  if (lines == 0) SetMessage(message, kNoData, text);
  return 0;
}

int ValidatedCore(CAdrsContext* context, const char* postalCode, const char* dataFolder,
                  char* message, const char* datasetName, int32_t datum, int32_t coordinateFormat,
                  int32_t chomeFormat, int32_t numberFormat, int32_t readingFormat) {
  if (!SetContextOptions(context,
                         {{&CAdrsContext::SetDatum, datum, "出力測地系"},
                          {&CAdrsContext::SetCoordinateFormat, coordinateFormat, "出力座標書式"},
                          {&CAdrsContext::SetChomeFormat, chomeFormat, "出力字丁目書式"},
                          {&CAdrsContext::SetNumberFormat, numberFormat, "出力数字書式"},
                          {&CAdrsContext::SetReadingFormat, readingFormat, "出力よみ書式"}},
                         message))
    return 0;
  context->SetOutputStyle(2);
  context->SetDatumParameterFile((FolderWithBackslash(dataFolder) + kDatumParameterFile).c_str());
  return PostalCore(context, postalCode, dataFolder, message, datasetName);
}

}  // namespace

// ---- CYdbIndex ----

CYdbIndex::CYdbIndex() = default;

CYdbIndex::~CYdbIndex() { Close(); }

int CYdbIndex::Open(const char* path) {
  Close();
  if (!path || std::strlen(path) >= sizeof path_) return 0;
  if (!source_.OpenBuffered(path, kWindowSize, plat::ModeRead | plat::ShareDenyNone)) return 0;
  if (!source_.ReadAt(0, header_, kYdbHeaderSize) ||
      std::memcmp(header_, kMagic, sizeof kMagic - 1) != 0) {
    Close();
    return 0;
  }
  std::snprintf(path_, sizeof path_, "%s", path);
  open_ = 1;
  return 1;
}

void CYdbIndex::Close() {
  source_.Close();
  open_ = 0;
  path_[0] = '\0';
  database_ = nullptr;
  std::memset(header_, 0, sizeof header_);
}

int CYdbIndex::GetHeader(unsigned char out[kYdbHeaderSize]) const {
  if (!open_ || !out) return 0;
  std::memcpy(out, header_, kYdbHeaderSize);
  return 1;
}

int CYdbIndex::CheckReady(char* message) const {
  if (!open_) {
    SetMessage(message, "インデックスファイルがオープンされていません！");
    return 0;
  }
  if (!database_) {
    SetMessage(message, "データベースがセットされていません！");
    return 0;
  }
  return 1;
}

uint32_t CYdbIndex::EntryCount() const { return static_cast<uint32_t>(LoadLe(header_ + 22, 2)); }

int CYdbIndex::ReadCodeEntry(uint32_t i, YdbCodeEntry* out) {
  if (!CheckReady(nullptr) || i < 1 || i > EntryCount() || !out) return 0;
  const uint64_t position =
      static_cast<uint64_t>(LoadLe(header_ + 18, 4)) + static_cast<uint64_t>(i - 1) * kEntrySize;
  unsigned char bytes[kEntrySize];
  if (position > UINT32_MAX || !source_.ReadAt(static_cast<uint32_t>(position), bytes, kEntrySize))
    return 0;
  out->code = static_cast<uint32_t>(LoadLe(bytes, 4));
  out->listOffset = static_cast<uint32_t>(LoadLe(bytes + 4, 4));
  out->count = static_cast<uint16_t>(LoadLe(bytes + 8, 2));
  return 1;
}

int CYdbIndex::ReadRecordNumber(const YdbCodeEntry& entry, uint32_t j, uint32_t* out) {
  if (!CheckReady(nullptr) || j < 1 || j > entry.count || !out) return 0;
  const uint64_t position = kYdbHeaderSize + static_cast<uint64_t>(EntryCount()) * kEntrySize +
                            entry.listOffset + static_cast<uint64_t>(j - 1) * 4;
  unsigned char bytes[4];
  if (position > UINT32_MAX || !source_.ReadAt(static_cast<uint32_t>(position), bytes, 4)) return 0;
  *out = static_cast<uint32_t>(LoadLe(bytes, 4));
  return 1;
}

uint32_t CYdbIndex::FindCodeEntry(uint32_t code) {
  const uint32_t n = EntryCount();
  YdbCodeEntry e;
  if (n == 0) return 0;
  if (n <= 10) {
    for (uint32_t i = 1; i <= n; ++i) {
      if (!ReadCodeEntry(i, &e)) return 0;
      if (e.code >= code) return i;
    }
    return 0;
  }
  if (!ReadCodeEntry(1, &e)) return 0;
  if (e.code >= code) return 1;
  if (!ReadCodeEntry(n, &e)) return 0;
  if (e.code == code) return n;
  if (e.code < code) return 0;
  uint32_t lo = 1, hi = n;
  while (hi - lo > 1) {
    const uint32_t mid = (lo + hi) / 2;
    if (!ReadCodeEntry(mid, &e)) return 0;
    if (e.code == code) return mid;
    if (e.code > code) {
      hi = mid;
    } else {
      lo = mid;
    }
  }
  return hi;
}

int CYdbIndex::Search(const char* text, CAdrsContext* context, int32_t* lineCounter,
                      int32_t maximum, int32_t* interrupted, char* message) {
  if (interrupted) *interrupted = 0;
  if (!CheckReady(message)) return 0;
  if (!context || !lineCounter) {
    SetMessage(message, result_channel::kInvalidParameter, "context");
    return 0;
  }
  uint32_t lower = 0, upper = 0;
  if (!CodeRange(text, &lower, &upper)) return 1;
  const uint32_t highest = static_cast<uint32_t>(LoadLe(header_ + 10, 4));
  const uint32_t lowest = static_cast<uint32_t>(LoadLe(header_ + 14, 4));
  if (upper < lowest || lower > highest) return 1;
  const uint32_t first = FindCodeEntry(lower);
  if (first == 0) return 1;
  CityNames city;
  for (uint32_t i = first; i <= EntryCount(); ++i) {
    YdbCodeEntry entry;
    if (!ReadCodeEntry(i, &entry)) {
      SetMessage(message, kReadFailed, path_);
      return 0;
    }
    if (entry.code > upper) break;
    for (uint32_t j = 1; j <= entry.count; ++j) {
      uint32_t record = 0;
      if (!ReadRecordNumber(entry, j, &record)) {
        SetMessage(message, kReadFailed, path_);
        return 0;
      }
      char flag[kResultTextSize] = {}, status[kResultTextSize] = {};
      if (!ReadStringField(database_, record, kOazaTable, "大字代表点フラグ", flag, sizeof flag,
                           message))
        return 0;
      if (std::strcmp(flag, "0") != 0) continue;
      int32_t statusValue = 0;
      if (ReadStringField(database_, record, kOazaTable, "状態フラグ", status, sizeof status,
                          nullptr))
        statusValue = plat::crt::AtoI32(status);
      if (statusValue > 2) continue;
      if (maximum >= 0 && *lineCounter >= maximum) {
        if (interrupted) *interrupted = 1;
        return 1;
      }
      OazaValues values;
      if (!ReadOazaValues(database_, record, &values, message) ||
          !LookupCity(database_, values.code, &city, message) ||
          !WriteAddressLine(database_, context, city, &values, message))
        return 0;
      ++*lineCounter;
    }
  }
  return 1;
}

// ---- Entries ----

namespace {

// Everything a postal-code search takes; the validating entries set the
// five output options first.
struct PostalQuery {
  const char* postalCode;
  const char* dataFolder;
  char* message;
  const char* datasetName;
  bool validate = false;
  int32_t datum = 0;
  int32_t coordinateFormat = 0;
  int32_t chomeFormat = 0;
  int32_t numberFormat = 0;
  int32_t readingFormat = 0;
};

int RunPostalSearch(ResultSink&& sink, const PostalQuery& q) {
  return RunOnSink(sink, q.message, [&q](CAdrsContext* context) {
    if (!q.validate) {
      return PostalCore(context, q.postalCode, q.dataFolder, q.message, q.datasetName);
    }
    return ValidatedCore(context, q.postalCode, q.dataFolder, q.message, q.datasetName, q.datum,
                         q.coordinateFormat, q.chomeFormat, q.numberFormat, q.readingFormat);
  });
}

}  // namespace

int SearchPostalCodeToFile(const char* resultFile, const char* postalCode, const char* dataFolder,
                           char* message, const char* datasetName, int32_t datum,
                           int32_t coordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                           int32_t readingFormat) {
  return RunPostalSearch(FileSink(resultFile),
                         {postalCode, dataFolder, message, datasetName, true, datum,
                          coordinateFormat, chomeFormat, numberFormat, readingFormat});
}

int SearchPostalCodeToArray(CStringArray* array, const char* postalCode, const char* dataFolder,
                            char* message, const char* datasetName, int32_t datum,
                            int32_t coordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                            int32_t readingFormat) {
  return RunPostalSearch(ArraySink(array),
                         {postalCode, dataFolder, message, datasetName, true, datum,
                          coordinateFormat, chomeFormat, numberFormat, readingFormat});
}

int SearchPostalCodeToBuffer(char* buffer, int32_t bufferSize, const char* postalCode,
                             const char* dataFolder, char* message, const char* datasetName,
                             int32_t datum, int32_t coordinateFormat, int32_t chomeFormat,
                             int32_t numberFormat, int32_t readingFormat) {
  return RunPostalSearch(BufferSink(buffer, bufferSize),
                         {postalCode, dataFolder, message, datasetName, true, datum,
                          coordinateFormat, chomeFormat, numberFormat, readingFormat});
}

int SearchPostalCodeToFilePlain(const char* resultFile, const char* postalCode,
                                const char* dataFolder, char* message, const char* datasetName) {
  return RunPostalSearch(FileSink(resultFile), {postalCode, dataFolder, message, datasetName});
}

int SearchPostalCodeToArrayPlain(CStringArray* array, const char* postalCode,
                                 const char* dataFolder, char* message, const char* datasetName) {
  return RunPostalSearch(ArraySink(array), {postalCode, dataFolder, message, datasetName});
}

int SearchPostalCodeToBufferPlain(char* buffer, int32_t bufferSize, const char* postalCode,
                                  const char* dataFolder, char* message, const char* datasetName) {
  return RunPostalSearch(BufferSink(buffer, bufferSize),
                         {postalCode, dataFolder, message, datasetName});
}
