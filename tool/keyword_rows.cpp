#include "tool/keyword_rows.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <initializer_list>

#include "common/csv_fields.h"
#include "common/file_access.h"
#include "common/le_bytes.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/number_parse.h"
#include "common/scpy_splitter.h"
#include "common/sjis_text.h"
#include "common/work_memory.h"
#include "matching/adrs_context.h"
#include "matching/normalize.h"
#include "matching/prefecture_names.h"
#include "tabledb/table_database.h"
#include "tabledb/table_names.h"

namespace {

constexpr const char* kCityTable = kTableCity;
constexpr const char* kOazaTable = kTableOaza;
constexpr const char* kBlockTable = kTableBlock;
constexpr char kTableError[] =
    "データベースのテーブルの取得に失敗しました！[DATABASE:%s][TABLE:%s]";
constexpr char kRowWriteError[] = "検索結果の取得に失敗しました！[DATABASE:%s][TABLE:%s]";
constexpr char kDatumError[] = "世界測地系変換に失敗しました！";
constexpr const char* kFileOpenError = kMsgFileOpen;
constexpr const char* kFileReadError = kMsgFileRead;
constexpr const char* kMemoryError = kMsgWorkMemory;
constexpr char kBlockNotFound[] =
    "データベースに値が見つかりません！[DATABASE:%s][TABLE:%s][FIELD:%s,%s][VALUE:%s,%s]";
constexpr char kAbolished[] = "3";

// Field names of the two tables.
constexpr char kPrefectureCode[] = "都道府県コード";
constexpr char kCityCode[] = "行政JISコード";
constexpr char kCounty[] = "郡名";
constexpr char kCity[] = "市区町村名";
constexpr char kCountyKana[] = "かな読み郡名";
constexpr char kCityKana[] = "かな読み市区町村名";
constexpr char kLatitude[] = "緯度";
constexpr char kLongitude[] = "経度";
constexpr char kStatus[] = "状態フラグ";
constexpr char kOaza[] = "大字通称名";
constexpr char kChome[] = "字丁目名";
constexpr char kOazaKana[] = "かな読み大字通称名";
constexpr char kChomeKana[] = "かな読み字丁目名";
constexpr char kPlaceCode[] = "地名コード";
constexpr char kGroupCode[] = "グループコード";
constexpr char kRepresentative[] = "大字代表点フラグ";
constexpr char kPostalCode[] = "郵便番号";
constexpr char kBlockNumber[] = "街区番号";
constexpr char kBlockCode[] = "街区番号コード";

// The normalised names compared with the search words.
const char* NormalCounty(int32_t kana) { return kana ? "正規かな読み郡名" : "正規郡名"; }
const char* NormalCity(int32_t kana) { return kana ? "正規かな読み市区町村名" : "正規市区町村名"; }
const char* NormalOaza(int32_t kana) { return kana ? "正規かな読み大字通称名" : "正規大字通称名"; }
const char* NormalChome(int32_t kana) { return kana ? "正規かな読み字丁目名" : "正規字丁目名"; }

// Every word occurs in at least one of the texts.
bool AllOccurIn(const std::vector<std::string>& words, std::initializer_list<const char*> texts) {
  for (const std::string& word : words) {
    bool found = false;
    for (const char* text : texts) found = found || FindSubstring(word.c_str(), text) != 0;
    if (!found) return false;
  }
  return true;
}

// The record positions of a work file.
int ReadWorkPositions(plat::File* work, std::vector<uint32_t>* positions, char* message) {
  uint64_t length = 0;
  if (!work->GetLength(length) || length > 0xFFFFFFFFu) return 0;
  std::vector<unsigned char> bytes(static_cast<std::size_t>(length));
  if (length > 0 && !ReadBytesFromFileAt(work, 0, bytes.data(), static_cast<uint32_t>(length))) {
    SetMessage(message, kFileReadError, "作業用ファイル");
    return 0;
  }
  for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4)
    positions->push_back(static_cast<uint32_t>(LoadLe(bytes.data() + at, 4)));
  return 1;
}

// The table and every field a stage reads must exist.
int CheckTableAndFields(CTableDatabase* database, const char* table,
                        std::initializer_list<const char*> fields, char* message) {
  if (database->FindTable(table) == 0) {
    SetMessage(message, kTableError, DatabasePath(database).c_str(), table);
    return 0;
  }
  for (const char* field : fields) {
    if (!ReadFieldInfo(database, table, field, nullptr, nullptr, nullptr, nullptr, message))
      return 0;
  }
  return 1;
}

// Reads STRING fields of one record; false (message set) at the first failure.
class RecordReader {
 public:
  RecordReader(CTableDatabase* database, const char* table, uint32_t record, char* message)
      : database_(database), table_(table), record_(record), message_(message) {}
  bool Text(const char* field, char* out) {
    return ReadStringField(database_, record_, table_, field, out, kFieldValueSize, message_) != 0;
  }
  bool Int(const char* field, int32_t* out) {
    return ReadIntField(database_, record_, table_, field, out, message_) != 0;
  }

 private:
  CTableDatabase* database_;
  const char* table_;
  uint32_t record_;
  char* message_;
};

// The prefecture filter: taken again whenever the prefecture changes.
class PrefectureFilter {
 public:
  explicit PrefectureFilter(const KeywordStageArgs& args)
      : args_(args),
        restriction_(args.restrictionMode == 1 ? SplitKeywordWords(args.prefectureRestriction)
                                               : std::vector<std::string>()) {}

  // 1 keep, 0 drop, -1 failure (a prefecture number outside 1..47).
  int Check(CTableDatabase* database, const char* table, const char* field, const char* code) {
    if (taken_ && current_ == code) return excluded_ ? 0 : 1;
    taken_ = true;
    current_ = code;
    int32_t number = 0;
    if (!ParseIntInRange(code, &number, 1, 47)) {
      SetFieldValueErrorMessage(args_.message, database, table, field);
      return -1;
    }
    GetPrefectureName(number, name_);
    char comparison[kFieldValueSize] = "";
    if (args_.kana)
      GetPrefectureKana(number, comparison);
    else
      GetPrefectureName(number, comparison);
    NormalizeSearchWords(args_.unification, args_.replacements, comparison, sizeof comparison);
    comparison_ = comparison;
    excluded_ = !restriction_.empty() && !AllOccurIn(restriction_, {comparison});
    return excluded_ ? 0 : 1;
  }
  const char* Name() const { return name_; }
  const char* Comparison() const { return comparison_.c_str(); }

 private:
  const KeywordStageArgs& args_;
  std::vector<std::string> restriction_;
  bool taken_ = false;
  bool excluded_ = false;
  std::string current_;
  char name_[kPrefectureTextSize] = "";
  std::string comparison_;
};

// The record position held by slot n (1-based) of an index file.
bool ReadSlot(plat::File* index, uint32_t n, uint32_t* position) {
  unsigned char bytes[4];
  if (!ReadBytesFromFileAt(index, (n - 1) * 4, bytes, 4)) return false;
  *position = static_cast<uint32_t>(LoadLe(bytes, 4));
  return true;
}

uint32_t SlotCount(plat::File* index) {
  uint64_t length = 0;
  if (!index->GetLength(length)) return 0;
  const uint64_t slots = length / 4;
  return slots > 0x3FFFFFFFu ? 0x3FFFFFFFu : static_cast<uint32_t>(slots);
}

// CollectCityNames with the failures apart: 1 found, 0 none, -1 failure.
int CollectCityLines(CTableDatabase* database, plat::File* cityIndex, const char* cityCode,
                     CWorkMemory* list, int32_t kana, char* message) {
  const uint32_t slots = SlotCount(cityIndex);
  const uint32_t first =
      FindFirstInSortedIndexFile(database, cityIndex, 1, slots, kCityTable, kCityCode, cityCode);
  int added = 0;
  for (uint32_t n = first; first != 0 && n <= slots; ++n) {
    uint32_t record = 0;
    if (!ReadSlot(cityIndex, n, &record)) {
      SetMessage(message, kFileReadError, "_CD2.INX");
      return -1;
    }
    RecordReader read(database, kCityTable, record, message);
    char code[kFieldValueSize], status[kFieldValueSize];
    if (!read.Text(kCityCode, code)) return -1;
    if (std::strcmp(code, cityCode) != 0) break;
    if (!read.Text(kStatus, status)) return -1;
    if (std::strcmp(status, kAbolished) == 0) continue;
    char county[kFieldValueSize], city[kFieldValueSize], countyKana[kFieldValueSize],
        cityKana[kFieldValueSize], normalCounty[kFieldValueSize], normalCity[kFieldValueSize];
    if (!read.Text(kCounty, county) || !read.Text(kCity, city) ||
        !read.Text(kCountyKana, countyKana) || !read.Text(kCityKana, cityKana) ||
        !read.Text(NormalCounty(kana), normalCounty) || !read.Text(NormalCity(kana), normalCity))
      return -1;
    const std::string line = std::string(county) + "," + city + "," + countyKana + "," + cityKana +
                             "," + normalCounty + "," + normalCity;
    if (list->AddString(line.c_str()) == 0) {
      SetMessage(message, kMemoryError);
      return -1;
    }
    ++added;
  }
  if (added == 0) {
    SetValueNotFoundMessage(message, database, kCityTable, kCityCode, cityCode);
    return 0;
  }
  return 1;
}

// Field n (1-based) of a line of the name list.
std::string LineField(const std::string& line, int n) {
  std::vector<char> out(line.size() + 1);
  ExtractCsvField(out.data(), line.c_str(), n);
  return out.data();
}

// The lines of the name list, in list order.
std::vector<std::string> ListLines(const CWorkMemory& list) {
  std::vector<std::string> lines;
  char text[CWorkMemory::kLineSize];
  WorkMemoryEntry entry{};
  for (int32_t n = list.GetFirst(); n != 0; n = entry.next) {
    if (!list.GetEntryAndString(static_cast<uint32_t>(n), &entry, text, sizeof text)) break;
    lines.push_back(text);
  }
  return lines;
}

// The joined normalised county and municipality names of a list line.
std::string LineNames(const std::string& line) { return LineField(line, 5) + LineField(line, 6); }

void CopyField(char* out, const std::string& text) {
  std::snprintf(out, kFieldValueSize, "%s", text.c_str());
}

// The library profile's names and footers on a row's texts.
void ApplyLibraryTexts(const CAdrsContext& context, KeywordRow* row) {
  std::string oaza = row->oaza, oazaKana = row->oazaKana;
  std::string chome = row->chome, chomeKana = row->chomeKana;
  context.TreatRowNames(row->level, &oaza, &oazaKana, &chome, &chomeKana);
  std::string block = row->block, lot = row->lot;
  context.AppendBlockFooter(&block, row->footerKind);
  context.AppendLotFooter(&lot, row->footerKind);
  CopyField(row->oaza, oaza);
  CopyField(row->oazaKana, oazaKana);
  CopyField(row->chome, chome);
  CopyField(row->chomeKana, chomeKana);
  CopyField(row->block, block);
  CopyField(row->lot, lot);
}

}  // namespace

std::vector<std::string> SplitKeywordWords(const char* text) {
  std::vector<std::string> words;
  if (!text) return words;
  const std::string trimmed = [&] {
    std::string t(text);
    while (!t.empty() && t.back() == ' ') t.pop_back();
    std::size_t b = 0;
    while (b < t.size() && t[b] == ' ') ++b;
    return t.substr(b);
  }();
  if (trimmed.empty()) return words;
  CScpySEX2 splitter;
  if (!splitter.Split(trimmed.c_str())) return words;
  std::vector<char> field(trimmed.size() + 1);
  for (int n = 1; n <= splitter.GetCount(); ++n) {
    if (splitter.GetField(field.data(), n, -1) && field[0] != '\0') words.push_back(field.data());
  }
  return words;
}

int WriteKeywordRow(const KeywordStageArgs& args, KeywordRow* row, const char* table) {
  if (args.limit > 0 && *args.counter >= args.limit) {
    *args.interrupted = 1;
    return 2;
  }
  ++*args.counter;
  if (args.context->IsLibraryProfile()) ApplyLibraryTexts(*args.context, row);
  const bool formatted = args.context->GetOutputStyle() == 2;
  char latitude[kCoordinateTextSize];
  char longitude[kCoordinateTextSize];
  if (formatted) {
    CoordinateRequest request;
    request.latitude = row->latitude;
    request.longitude = row->longitude;
    request.latitudeText = latitude;
    request.latitudeTextSize = sizeof latitude;
    request.longitudeText = longitude;
    request.longitudeTextSize = sizeof longitude;
    if (!args.context->FormatCoordinates(&request)) {
      --*args.counter;
      SetMessage(args.message, kDatumError);
      return 0;
    }
    args.context->ApplyOutputFormats(row->oaza, row->chome, row->block, row->lot, row->countyKana,
                                     row->municipalityKana, row->oazaKana, row->chomeKana);
  } else {
    std::snprintf(latitude, sizeof latitude, "%d", row->latitude);
    std::snprintf(longitude, sizeof longitude, "%d", row->longitude);
  }
  std::string line = std::string(row->prefecture) + "," + row->county + row->municipality + "," +
                     row->countyKana + row->municipalityKana + "," + row->oaza + "," +
                     row->oazaKana + "," + row->chome + "," + row->chomeKana + "," + row->block +
                     "," + row->lot + "," + latitude + "," + longitude + "," + row->code + "," +
                     row->status;
  if (formatted) (line += ",") += row->postalCode;
  if (!args.context->WriteLine(line.c_str())) {
    SetMessage(args.message, kRowWriteError, args.databasePath, table);
    return -1;
  }
  return 1;
}

// ---- Municipality stage ----

int WriteMunicipalityHits(plat::File* workFile, plat::File* oazaFilter, CTableDatabase* database,
                          const KeywordStageArgs& args) {
  const std::vector<std::string> cityRestriction =
      args.restrictionMode == 1 ? SplitKeywordWords(args.municipalityRestriction)
                                : std::vector<std::string>();
  const std::vector<std::string> words = SplitKeywordWords(args.words);
  *args.interrupted = 0;
  if (!CheckTableAndFields(
          database, kCityTable,
          {kPrefectureCode, kCounty, kCity, kCountyKana, kCityKana, kLatitude, kLongitude,
           kCityCode, kStatus, NormalCounty(args.kana), NormalCity(args.kana)},
          args.message))
    return -1;
  std::vector<uint32_t> positions;
  if (!ReadWorkPositions(workFile, &positions, args.message)) return -1;

  PrefectureFilter prefecture(args);
  int written = 0;
  for (const uint32_t record : positions) {
    RecordReader read(database, kCityTable, record, args.message);
    KeywordRow row;
    char prefectureCode[kFieldValueSize];
    if (!read.Text(kPrefectureCode, prefectureCode)) return -1;
    std::string code2 = prefectureCode;
    if (code2.size() < 2) code2.insert(0, 2 - code2.size(), '0');
    const int keep = prefecture.Check(database, kCityTable, kPrefectureCode, code2.c_str());
    if (keep < 0) return -1;
    if (keep == 0) continue;
    if (!read.Text(kStatus, row.status)) return -1;
    if (std::strcmp(row.status, kAbolished) == 0) continue;
    char normalCounty[kFieldValueSize], normalCity[kFieldValueSize];
    if (!read.Text(NormalCounty(args.kana), normalCounty) ||
        !read.Text(NormalCity(args.kana), normalCity))
      return -1;
    const std::string names = std::string(normalCounty) + normalCity;
    if (args.restrictionMode == 1) {
      if (!AllOccurIn(cityRestriction, {names.c_str()})) continue;
    } else if (!AllOccurIn(words, {prefecture.Comparison(), names.c_str()})) {
      continue;
    }
    if (!read.Text(kCityCode, row.code)) return -1;
    if (oazaFilter) {
      char scratch[kMessageSize];
      if (CityHasOaza(database, oazaFilter, row.code, scratch) == 1) continue;
    }
    if (!read.Text(kCounty, row.county) || !read.Text(kCity, row.municipality) ||
        !read.Text(kCountyKana, row.countyKana) || !read.Text(kCityKana, row.municipalityKana) ||
        !read.Int(kLatitude, &row.latitude) || !read.Int(kLongitude, &row.longitude))
      return -1;
    CopyField(row.prefecture, prefecture.Name());
    const int result = WriteKeywordRow(args, &row, kCityTable);
    if (result == 2) break;
    if (result <= 0) return result;
    ++written;
  }
  return written;
}

int KeywordStageTally::Write(const KeywordStageArgs& args, KeywordRow* row, const char* table) {
  const int r = WriteKeywordRow(args, row, table);
  if (r == 1) ++written;
  if (r == 0) conversionFailed = true;
  return r == 1 ? 1 : (r == 2 || r == 0 ? 0 : -1);
}

int KeywordStageTally::Result(int walk) const {
  if (walk < 0) return walk;
  return conversionFailed ? 0 : written;
}

// ---- Oaza and aza/chome stage ----

namespace {

// The name lines of a municipality (its county and municipality names).
// Restriction mode 1 also takes the line whose names hold every restriction
// word (the first line without restriction words), and leaves no line when
// none does: the municipality is excluded. False with the message when the
// lines cannot be read.
bool LoadCityLines(CTableDatabase* database, plat::File* cityIndex, const std::string& city5,
                   const KeywordStageArgs& args, const std::vector<std::string>& cityRestriction,
                   CWorkMemory* list, std::vector<std::string>* lines,
                   std::string* restrictedLine) {
  list->Reset();
  lines->clear();
  restrictedLine->clear();
  char scratch[kMessageSize] = "";
  const int found = CollectCityLines(database, cityIndex, city5.c_str(), list, args.kana, scratch);
  if (found < 0) {
    if (args.message) std::snprintf(args.message, kMessageSize, "%s", scratch);
    return false;
  }
  *lines = ListLines(*list);
  if (args.restrictionMode != 1 || lines->empty()) return true;
  *restrictedLine = lines->front();
  if (cityRestriction.empty()) return true;
  restrictedLine->clear();
  for (const std::string& line : *lines) {
    if (AllOccurIn(cityRestriction, {LineNames(line).c_str()})) {
      *restrictedLine = line;
      break;
    }
  }
  if (restrictedLine->empty()) lines->clear();  // the municipality is excluded
  return true;
}

// The municipality line that a row with these town names is written with:
// the first whose names, with the town's and the prefecture's, hold every
// word (restriction mode 1: the restricted line when the town names hold
// them); null when there is none.
const std::string* ChooseCityLine(const KeywordStageArgs& args,
                                  const std::vector<std::string>& words, const std::string& names,
                                  const char* prefectureComparison,
                                  const std::vector<std::string>& lines,
                                  const std::string& restrictedLine) {
  if (args.restrictionMode == 1)
    return AllOccurIn(words, {names.c_str()}) ? &restrictedLine : nullptr;
  for (const std::string& line : lines) {
    if (AllOccurIn(words, {names.c_str(), prefectureComparison, LineNames(line).c_str()}))
      return &line;
  }
  return nullptr;
}

// The town's names, point and code (an oaza's group code, an aza/chome's
// place code) and, when asked, its postal code.
bool ReadTownFields(RecordReader& read, bool isOaza, bool withPostalCode, KeywordRow* row) {
  if (!read.Text(kOaza, row->oaza) || !read.Text(kOazaKana, row->oazaKana) ||
      !read.Int(kLatitude, &row->latitude) || !read.Int(kLongitude, &row->longitude))
    return false;
  if (isOaza) {
    if (!read.Text(kGroupCode, row->code)) return false;
  } else if (!read.Text(kChome, row->chome) || !read.Text(kChomeKana, row->chomeKana) ||
             !read.Text(kPlaceCode, row->code)) {
    return false;
  }
  return !withPostalCode || read.Text(kPostalCode, row->postalCode);
}

}  // namespace

int WalkAzaRecords(plat::File* workFile, int32_t representative, plat::File* cityIndex,
                   CTableDatabase* database, const KeywordStageArgs& args,
                   const std::function<bool(const char*)>& skipPlace, const AzaVisitor& visit) {
  CWorkMemory list;
  if (!list.Create(32, 1024)) {
    SetMessage(args.message, kMemoryError);
    return -1;
  }
  const std::vector<std::string> cityRestriction =
      args.restrictionMode == 1 ? SplitKeywordWords(args.municipalityRestriction)
                                : std::vector<std::string>();
  const std::vector<std::string> words = SplitKeywordWords(args.words);
  *args.interrupted = 0;
  if (!CheckTableAndFields(database, kOazaTable,
                           {kOaza, kChome, kOazaKana, kChomeKana, kLatitude, kLongitude, kCityCode,
                            kPlaceCode, kGroupCode, kRepresentative, kStatus, kPostalCode,
                            NormalOaza(args.kana), NormalChome(args.kana)},
                           args.message))
    return -1;
  std::vector<uint32_t> positions;
  if (!ReadWorkPositions(workFile, &positions, args.message)) return -1;

  PrefectureFilter prefecture(args);
  std::string currentCity;
  bool cityTaken = false;
  std::vector<std::string> lines;  // the name list of the current municipality
  std::string restrictedLine;      // restriction mode 1: the line that gives fields 2-3
  for (const uint32_t record : positions) {
    RecordReader read(database, kOazaTable, record, args.message);
    KeywordRow row;
    char flag[kFieldValueSize];
    if (!read.Text(kRepresentative, flag)) return -1;
    const bool isOaza = std::strcmp(flag, "1") == 0;
    if (isOaza != (representative == 1)) continue;
    if (skipPlace) {
      char placeCode[kFieldValueSize];
      if (!read.Text(kPlaceCode, placeCode)) return -1;
      if (skipPlace(placeCode)) continue;
    }
    char cityCode[kFieldValueSize];
    if (!read.Text(kCityCode, cityCode)) return -1;
    const std::string code2 = std::string(cityCode).substr(0, 2);
    const int keep = prefecture.Check(database, kOazaTable, kCityCode, code2.c_str());
    if (keep < 0) return -1;
    if (keep == 0) continue;

    std::string city5 = std::string(cityCode).substr(0, 5);
    if (city5.size() < 5) city5.insert(0, 5 - city5.size(), '0');
    if (!cityTaken || city5 != currentCity) {
      cityTaken = true;
      currentCity = city5;
      if (!LoadCityLines(database, cityIndex, city5, args, cityRestriction, &list, &lines,
                         &restrictedLine))
        return -1;
    }
    if (lines.empty()) continue;

    if (!read.Text(kStatus, row.status)) return -1;
    if (std::strcmp(row.status, kAbolished) == 0) continue;
    char normalOaza[kFieldValueSize], normalChome[kFieldValueSize];
    if (!read.Text(NormalOaza(args.kana), normalOaza) ||
        !read.Text(NormalChome(args.kana), normalChome))
      return -1;
    const std::string names = std::string(normalOaza) + normalChome;
    const std::string* chosen =
        ChooseCityLine(args, words, names, prefecture.Comparison(), lines, restrictedLine);
    if (!chosen) continue;
    CopyField(row.county, LineField(*chosen, 1));
    CopyField(row.municipality, LineField(*chosen, 2));
    CopyField(row.countyKana, LineField(*chosen, 3));
    CopyField(row.municipalityKana, LineField(*chosen, 4));

    if (!ReadTownFields(read, isOaza, representative != 1, &row)) return -1;
    row.level = isOaza ? 3 : 4;
    CopyField(row.prefecture, prefecture.Name());
    const int result = visit(record, &row, names);
    if (result <= 0) return result;
  }
  return 0;
}

int WriteOazaHits(plat::File* workFile, int32_t representative, plat::File* cityIndex,
                  CTableDatabase* database, const KeywordStageArgs& args) {
  KeywordStageTally tally;
  const int result = WalkAzaRecords(workFile, representative, cityIndex, database, args, nullptr,
                                    [&](uint32_t, KeywordRow* row, const std::string&) {
                                      return tally.Write(args, row, kOazaTable);
                                    });
  return tally.Result(result);
}

// ---- The stages on files ----

namespace {

// Opens the work file; 0 when it is empty, -1 (message) when it does not
// open, else 1.
int OpenWorkFile(plat::File* work, const char* path, char* message) {
  if (!OpenFileForRead(work, path)) {
    SetMessage(message, kFileOpenError, path);
    return -1;
  }
  uint64_t length = 0;
  if (!work->GetLength(length)) {
    SetMessage(message, kFileReadError, path);
    return -1;
  }
  return length == 0 ? 0 : 1;
}

int OpenIndexFile(plat::File* file, const char* path, char* message) {
  if (OpenFileForRead(file, path)) return 1;
  SetMessage(message, kFileOpenError, path);
  return 0;
}

int OpenDatabase(CTableDatabase* database, const char* path, char* message) {
  if (database->Open(path)) return 1;
  SetMessage(message, kFileOpenError, path);
  return 0;
}

}  // namespace

int WriteMunicipalityHitsFromFile(const char* workFile, const char* oazaFilterFile,
                                  const KeywordStageArgs& args) {
  plat::File work;
  const int opened = OpenWorkFile(&work, workFile, args.message);
  if (opened <= 0) return opened;
  plat::File filter;
  const bool useFilter = oazaFilterFile && *oazaFilterFile;
  if (useFilter && !OpenIndexFile(&filter, oazaFilterFile, args.message)) return -1;
  CTableDatabase database;
  if (!OpenDatabase(&database, args.databasePath, args.message)) return -1;
  const int result = WriteMunicipalityHits(&work, useFilter ? &filter : nullptr, &database, args);
  database.Close();
  return result;
}

int WriteOazaHitsFromFile(const char* workFile, int32_t representative, const char* cityIndexFile,
                          const KeywordStageArgs& args) {
  plat::File work;
  const int opened = OpenWorkFile(&work, workFile, args.message);
  if (opened <= 0) return opened;
  plat::File cityIndex;
  if (!OpenIndexFile(&cityIndex, cityIndexFile, args.message)) return -1;
  CTableDatabase database;
  if (!OpenDatabase(&database, args.databasePath, args.message)) return -1;
  const int result = WriteOazaHits(&work, representative, &cityIndex, &database, args);
  database.Close();
  return result;
}

// ---- Lookups ----

int CollectCityNames(CTableDatabase* database, plat::File* cityIndex, const char* cityCode,
                     CWorkMemory* list, int32_t kana, char* message) {
  return CollectCityLines(database, cityIndex, cityCode, list, kana, message) == 1 ? 1 : 0;
}

int CityHasOaza(CTableDatabase* database, plat::File* oazaIndex, const char* cityCode,
                char* message) {
  if (FindInSortedIndexFile(database, oazaIndex, 1, SlotCount(oazaIndex), kOazaTable, kCityCode,
                            cityCode) != 0)
    return 1;
  SetValueNotFoundMessage(message, database, kOazaTable, kCityCode, cityCode);
  return 0;
}

namespace {

// The block text of a TC_Gaiku record: its 街区番号, or for an empty one its
// 街区番号コード in full-width digits.
bool BlockTextOf(RecordReader& read, char* text) {
  char code[kFieldValueSize];
  if (!read.Text(kBlockNumber, text) || !read.Text(kBlockCode, code)) return false;
  if (text[0] == '\0') {
    int32_t value = 0;
    ParseIntInRange(code, &value, 0, 2147483647);
    char digits[32];
    std::snprintf(digits, sizeof digits, "%d", value);
    std::snprintf(text, kFieldValueSize, "%s", digits);
    ToFullWidthText(text, kFieldValueSize);
  }
  return true;
}

int Sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

}  // namespace

int LookupBlock(CTableDatabase* database, plat::File* blockIndex, const char* placeCode,
                const char* blockText, int32_t* latitude, int32_t* longitude, char* blockCode,
                char* message) {
  if (!database || !blockIndex || !placeCode || !blockText) return 0;
  const uint32_t slots = SlotCount(blockIndex);
  const uint32_t start =
      FindInSortedIndexFile(database, blockIndex, 1, slots, kBlockTable, kPlaceCode, placeCode);
  if (start == 0) {
    SetValueNotFoundMessage(message, database, kBlockTable, kPlaceCode, placeCode);
    return 0;
  }
  int direction = 0;
  for (uint32_t n = start; n >= 1 && n <= slots;) {
    uint32_t record = 0;
    if (!ReadSlot(blockIndex, n, &record)) break;
    RecordReader read(database, kBlockTable, record, message);
    char code[kFieldValueSize], text[kFieldValueSize];
    if (!read.Text(kPlaceCode, code)) return 0;
    if (std::strcmp(code, placeCode) != 0) break;
    if (!BlockTextOf(read, text)) return 0;
    const int sign = Sign(CompareStrings(blockText, text));
    if (sign == 0) {
      char rawCode[kFieldValueSize];
      if (!read.Int(kLatitude, latitude) || !read.Int(kLongitude, longitude) ||
          !read.Text(kBlockCode, rawCode))
        return 0;
      std::string padded = rawCode;
      if (padded.size() < 5) padded.insert(0, 5 - padded.size(), '0');
      CopyField(blockCode, padded);
      return 1;
    }
    if (direction == 0) direction = sign;
    if (sign != direction) break;
    n = direction < 0 ? n - 1 : n + 1;
  }
  SetMessage(message, kBlockNotFound, DatabasePath(database).c_str(), kBlockTable, kPlaceCode,
             kBlockNumber, placeCode, blockText);
  return 0;
}
