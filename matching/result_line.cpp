#include "matching/result_line.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/copy_out.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/number_parse.h"
#include "common/sjis_internal.h"
#include "common/sjis_text.h"
#include "common/width_kana.h"
#include "matching/adrs_context.h"
#include "matching/adrs_engine.h"
#include "matching/normalize.h"
#include "matching/number_text.h"
#include "matching/result_format.h"
#include "tabledb/change_history.h"
#include "tabledb/table_database.h"
#include "tabledb/table_names.h"
#include "tabledb/tc_access.h"

namespace {

constexpr char kNoData[] = "データの取得に失敗しました！";
constexpr char kBadLevel[] = "不正なレベルが指定されました！[LEVEL:%ld]";
constexpr char kWriteFailed[] = "検索結果の取得に失敗しました！[DATABASE:%s][LEVEL:%ld]";

constexpr std::size_t kText = kResultTextSize;

// Reads of one record's fields, each into a kResultTextSize buffer.
class RowReader {
 public:
  RowReader(CTableDatabase* database, uint32_t record, const char* table, char* message)
      : database_(database), record_(record), table_(table), message_(message) {}
  bool Text(const char* field, char* out) {
    return ReadStringField(database_, record_, table_, field, out, kText, message_) != 0;
  }
  bool Int(const char* field, int32_t* out) {
    return ReadIntField(database_, record_, table_, field, out, message_) != 0;
  }

 private:
  CTableDatabase* database_;
  uint32_t record_;
  const char* table_;
  char* message_;
};

// Everything a line shows.
struct LineValues {
  char prefecture[kText] = {};
  char county[kText] = {};
  char municipality[kText] = {};
  char countyReading[kText] = {};
  char municipalityReading[kText] = {};
  char oaza[kText] = {};
  char oazaReading[kText] = {};
  char chome[kText] = {};
  char chomeReading[kText] = {};
  char block[kText] = {};
  char lot[kText] = {};
  int32_t latitude = 0;
  int32_t longitude = 0;
  std::string code;
  std::string status;
  char postal[kText] = {};
  int32_t footerKind = 0;  // the block's and lot's footer kind (reference library)
};

// A block or lot of the number levels as its source gives it.
struct NumberPlace {
  std::string placeCode;  // 11 characters
  std::string blockCode;  // 5 characters
  std::string lotCode;    // 5 characters (lots only)
  char blockText[kText] = {};
  char lotText[kText] = {};
  int32_t latitude = 0;
  int32_t longitude = 0;
  std::string status;
  // 住居表示フラグ of a TC_Gaiku row, the precision digit of a change record.
  int32_t footerKind = 0;
};

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  // Most results fit the first buffer: formatted once.
  char first[1024];
  const int n = std::vsnprintf(first, sizeof first, format, args);
  va_end(args);
  std::string out;
  if (n > 0 && static_cast<std::size_t>(n) < sizeof first) {
    out.assign(first, static_cast<std::size_t>(n));
  } else if (n > 0) {
    out.resize(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(out.data(), out.size(), format, again);
    out.resize(static_cast<std::size_t>(n));
  }
  va_end(again);
  return out;
}

// "%ld" of the value in full-width digits.
void FullWidthNumber(int32_t value, char* out) {
  FormatDecimal(out, kText, value);
  ToFullWidth(out, kText);
}

// The value of the full-width digits at the start of the text; 0 when there
// are none or they do not fit 32 bits.
int LeadingFullWidthNumber(const char* text, int32_t* value) {
  std::string digits;
  for (const char* p = text; IsFullWidthDigitAt(p); p += 2) digits.append(p, 2);
  return FullWidthDigitsToInt(digits.c_str(), value);
}

// The place code of a change record: "%05ld" municipality and both code
// parts.
std::string ChangePlaceCode(const ChangeRecord& record) {
  char part1[kCodePartTextSize];
  char part2[kCodePartTextSize];
  return Format("%05ld%s%s", static_cast<long>(record.cityCode), FormatCode3(part1, record.part1),
                FormatCode3(part2, record.part2));
}

// ---- Sources of the number levels ----

// A TC_Gaiku block entry n under childBase.
int ReadBlockRow(CAdrsEngine* engine, CTableDatabase* database, uint32_t childBase, uint16_t n,
                 NumberPlace* out, char* message) {
  TixEntry entry;
  if (!engine->ReadBlockEntry(childBase, n, &entry, message)) return 0;
  RowReader row(database, entry.record, kTableBlock, message);
  char placeCode[kText];
  char blockCode[kText];
  char status[kText];
  char addressFlag[kText];
  if (!row.Text(kFieldPlaceCode, placeCode) || !row.Text("街区番号コード", blockCode) ||
      !row.Text("街区番号", out->blockText))
    return 0;
  if (out->blockText[0] == '\0') {
    int32_t number = 0;
    if (!ParseIntInRange(blockCode, &number, INT32_MIN, INT32_MAX)) {
      SetFieldValueErrorMessage(message, database, kTableBlock, "街区番号コード");
      return 0;
    }
    FullWidthNumber(number, out->blockText);
  }
  PadLeftWithZeros(blockCode, 5);
  if (!row.Int(kFieldLatitude, &out->latitude) || !row.Int(kFieldLongitude, &out->longitude) ||
      !row.Text(kFieldStatus, status) || !row.Text("住居表示フラグ", addressFlag))
    return 0;
  out->placeCode = placeCode;
  out->blockCode = blockCode;
  out->status = std::strcmp(status, "A") == 0 ? "0" : status;
  out->footerKind = FooterKindOf(addressFlag);
  return 1;
}

// Change-history record n.
int ReadChangePlace(CAdrsEngine* engine, uint32_t n, NumberPlace* out, char* message) {
  ChangeRecord record;
  char name1[kChangeTextSize];
  char name2[kChangeTextSize];
  char sort1[kChangeTextSize];
  char sort2[kChangeTextSize];
  if (!engine->GetChangeRecord(n, &record, name1, name2, sort1, sort2)) {
    char path[kText];
    SetMessage(message, kMsgFileRead, engine->GetChangeHistoryPath(path, sizeof path));
    return 0;
  }
  char block[kCodePartTextSize];
  char lot[kCodePartTextSize];
  out->placeCode = ChangePlaceCode(record);
  out->blockCode = FormatCodePart(block, static_cast<int32_t>(record.blockNumber));
  out->lotCode = FormatCodePart(lot, static_cast<int32_t>(record.lotNumber));
  CopyCut(out->blockText, kText, name1);
  CopyCut(out->lotText, kText, name2);
  out->latitude = static_cast<int32_t>(record.coordinate1);
  out->longitude = static_cast<int32_t>(record.coordinate2);
  out->status = Format("%d", static_cast<int>(record.classCode));
  out->footerKind = ChangeRecordPrecisionDigit(record);
  return 1;
}

// Lot candidate n, read back through the change-code index. The block text
// is the block entry's name.
int ReadCodeIndexPlace(CAdrsEngine* engine, uint32_t n, NumberPlace* out, char* message) {
  uint32_t city = 0, area = 0, block = 0, change = 0;
  ChangeCodeLot lot;
  if (!engine->GetLotCandidate(n, &city, &area, &block, &change) ||
      !engine->ReadChangeCodeLot(city, area, block, change, &lot)) {
    char path[kText];
    SetMessage(message, kMsgFileRead, engine->GetChangeCodeIndexPath(path, sizeof path));
    return 0;
  }
  out->placeCode = std::string(lot.cityCode) + lot.areaCode;
  out->blockCode = lot.blockCode;
  out->lotCode = lot.lotCode;
  CopyCut(out->blockText, kText, lot.blockName);
  CopyCut(out->lotText, kText, lot.lotName);
  out->latitude = static_cast<int32_t>(lot.latitude);
  out->longitude = static_cast<int32_t>(lot.longitude);
  out->status = Format("%d", lot.classCode);
  out->footerKind = lot.precisionDigit;
  return 1;
}

void TakePlace(const NumberPlace& place, LineValues* v) {
  CopyCut(v->block, kText, place.blockText);
  v->latitude = place.latitude;
  v->longitude = place.longitude;
  v->status = place.status;
  v->footerKind = place.footerKind;
}

// ---- Levels ----

int GatherPrefecture(CAdrsEngine* engine, CTableDatabase* database, int16_t entryNumber,
                     LineValues* v, char* message) {
  TixEntry entry;
  if (!engine->ReadPrefectureEntry(static_cast<uint16_t>(entryNumber), &entry, message)) return 0;
  RowReader row(database, entry.record, kTablePrefecture, message);
  char code[kText];
  if (!row.Text("都道府県名", v->prefecture) || !row.Text(kFieldPrefectureCode, code) ||
      !row.Int(kFieldLatitude, &v->latitude) || !row.Int(kFieldLongitude, &v->longitude))
    return 0;
  v->code = code;
  v->status = "0";
  return 1;
}

int GatherCity(CAdrsEngine* engine, CTableDatabase* database, int32_t reference,
               int16_t entryNumber, LineValues* v, char* message) {
  TixEntry entry;
  if (!engine->ReadCityEntry(static_cast<uint32_t>(reference), static_cast<uint16_t>(entryNumber),
                             &entry, message))
    return 0;
  RowReader row(database, entry.record, kTableCity, message);
  char code[kText];
  char status[kText];
  if (!row.Text(kFieldCityCode, code) ||
      !FetchPrefectureResultName(engine, database, v->prefecture, message) ||
      !row.Text("郡名", v->county) || !row.Text("市区町村名", v->municipality) ||
      !row.Text("かな読み郡名", v->countyReading) ||
      !row.Text("かな読み市区町村名", v->municipalityReading) ||
      !row.Int(kFieldLatitude, &v->latitude) || !row.Int(kFieldLongitude, &v->longitude) ||
      !row.Text(kFieldStatus, status))
    return 0;
  v->code = code;
  v->status = status;
  return 1;
}

int FetchUpperNames(CAdrsEngine* engine, CTableDatabase* database, LineValues* v, char* message) {
  return FetchPrefectureResultName(engine, database, v->prefecture, message) &&
         FetchCityResultNames(engine, database, v->municipality, v->county, v->municipalityReading,
                              v->countyReading, message);
}

// Levels 3 (oaza) and 4 (aza/chome).
int GatherName(CAdrsEngine* engine, CTableDatabase* database, int32_t level, int32_t reference,
               int16_t entryNumber, LineValues* v, char* message) {
  TixEntry entry;
  const uint32_t base = static_cast<uint32_t>(reference);
  const uint16_t n = static_cast<uint16_t>(entryNumber);
  if (!(level == 3 ? engine->ReadOazaEntry(base, n, &entry, message)
                   : engine->ReadChomeEntry(base, n, &entry, message)))
    return 0;
  if (!FetchUpperNames(engine, database, v, message)) return 0;
  RowReader row(database, entry.record, kTableOaza, message);
  char code[kText];
  char status[kText];
  if (!row.Text(kFieldPlaceCode, code) || !row.Text("大字通称名", v->oaza) ||
      !row.Text("かな読み大字通称名", v->oazaReading))
    return 0;
  if (level == 4 &&
      (!row.Text("字丁目名", v->chome) || !row.Text("かな読み字丁目名", v->chomeReading)))
    return 0;
  if (!row.Int(kFieldLatitude, &v->latitude) || !row.Int(kFieldLongitude, &v->longitude) ||
      !row.Text(kFieldStatus, status))
    return 0;
  if (level == 4 && !row.Text("郵便番号", v->postal)) return 0;
  if (level == 3) code[8 < std::strlen(code) ? 8 : std::strlen(code)] = '\0';
  v->code = code;
  v->status = status;
  return 1;
}

int FetchAllNames(CAdrsEngine* engine, CTableDatabase* database, LineValues* v, char* message) {
  return FetchUpperNames(engine, database, v, message) &&
         FetchOazaResultNames(engine, database, v->oaza, v->chome, v->oazaReading, v->chomeReading,
                              v->postal, message);
}

// Level 6 (block) and 8 (lot) by the entry number.
int GatherFound(CAdrsEngine* engine, CTableDatabase* database, int32_t level, int32_t reference,
                int16_t entryNumber, LineValues* v, char* message) {
  NumberPlace place;
  if (entryNumber == -1) {
    if (!ReadChangePlace(engine, static_cast<uint32_t>(reference), &place, message)) return 0;
  } else if (entryNumber == -2 || level == 8) {
    if (!ReadCodeIndexPlace(engine, static_cast<uint32_t>(reference), &place, message)) return 0;
  } else {
    if (!ReadBlockRow(engine, database, static_cast<uint32_t>(reference),
                      static_cast<uint16_t>(entryNumber), &place, message))
      return 0;
  }
  TakePlace(place, v);
  v->code = place.placeCode + place.blockCode;
  if (level == 8) {
    CopyCut(v->lot, kText, place.lotText);
    v->code += place.lotCode;
  }
  return FetchAllNames(engine, database, v, message);
}

// Levels 5 and 7: the estimate between (or beside) its neighbours.
int GatherEstimate(CAdrsEngine* engine, CTableDatabase* database, int32_t level, int32_t reference,
                   LineValues* v, char* message) {
  EstimateRecord record;
  if (!engine->GetEstimateRecord(static_cast<uint32_t>(reference), &record)) {
    SetMessage(message, kNoData);
    return 0;
  }
  const EstimateNeighbour* sides[2] = {&record.lower, &record.upper};
  NumberPlace places[2];
  int32_t numbers[2] = {0, 0};
  int present = 0;
  for (const EstimateNeighbour* side : sides) {
    if (side->found == kNeighbourNone) continue;
    NumberPlace& place = places[present];
    int ok = 0;
    if (side->found == kNeighbourBlockRow && level == 5) {
      ok = ReadBlockRow(engine, database, record.parent, static_cast<uint16_t>(side->reference),
                        &place, message);
    } else if (side->found == kNeighbourChangeRecord) {
      ok = ReadChangePlace(engine, static_cast<uint32_t>(side->reference), &place, message);
    } else if (side->found == kNeighbourCodeIndexLot) {
      ok = ReadCodeIndexPlace(engine, static_cast<uint32_t>(side->reference), &place, message);
    } else {
      SetMessage(message, kNoData);
      return 0;
    }
    if (!ok) return 0;
    if (!LeadingFullWidthNumber(level == 5 ? place.blockText : place.lotText, &numbers[present])) {
      SetMessage(message, kNoData);
      return 0;
    }
    ++present;
  }
  if (present == 0) {
    SetMessage(message, kNoData);
    return 0;
  }
  // The code and status are the last neighbour's.
  const NumberPlace& last = places[present - 1];
  TakePlace(last, v);
  const int32_t n = record.requested;
  // Two blocks of one number cannot place a block between them.
  if (level == 5 && present == 2 && numbers[0] == numbers[1]) {
    SetMessage(message, kNoData);
    return 0;
  }
  // The point between the neighbours' points by their numbers (with one
  // neighbour, or two lots of one number, the first neighbour's point).
  if (!EstimatePoint(record, &v->latitude, &v->longitude)) {
    SetMessage(message, kNoData);
    return 0;
  }
  v->code = last.placeCode;
  if (level == 5) {
    FullWidthNumber(n, v->block);
  } else {
    v->code += last.blockCode;
    FullWidthNumber(n, v->lot);
  }
  v->code += Format("%05ld", static_cast<long>(n));
  return FetchAllNames(engine, database, v, message);
}

// The unmatched rest with "," and ";" written full-width.
std::string RestForLine(const char* rest) {
  std::string out;
  for (const char* p = rest; *p;) {
    const unsigned char b = static_cast<unsigned char>(*p);
    if (IsLeadByte(b)) {
      const unsigned char trail = static_cast<unsigned char>(p[1]);
      // A lead byte without a trail byte after it (at the end, or before a
      // ",", a line end, ...) would take the next byte of the line with it
      // for any Shift-JIS reader: it is dropped and the next byte read on
      // its own.
      if ((trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC)) {
        out.append(p, 2);
        p += 2;
      } else {
        ++p;
      }
      continue;
    }
    if (b == '\r' || b == '\n' || b == 0x1A) {
      // Line ends (and the end-of-data byte of text mode) would split or
      // end the result line.
    } else if (b == ',') {
      out += "，";
    } else if (b == ';') {
      out += "；";
    } else {
      out += static_cast<char>(b);
    }
    ++p;
  }
  return out;
}

// ---- Code lookups ----

// The record of the code through the index beside the database (first of
// equal codes with first set).
int FindByCodeIndex(CTableDatabase* database, const char* suffix, const char* table,
                    const char* field, const char* code, bool first, uint32_t* record,
                    char* message) {
  char path[kCodeIndexPathSize];
  MakeCodeIndexPath(DatabasePath(database).c_str(), suffix, path, sizeof path);
  return FindRecordInIndexFile(database, path, table, field, code, first, record, message);
}

}  // namespace

char* FormatCode3(char* out, int32_t value) {
  if (value < 1000) {
    FormatDecimal(out, kCodePartTextSize, value, 3);
  } else {
    std::snprintf(out, kCodePartTextSize, "%c%02ld", static_cast<char>(value / 100 + 55),
                  static_cast<long>(value % 100));
  }
  return out;
}

int FetchPrefectureResultName(CAdrsEngine* engine, CTableDatabase* database, char* name,
                              char* message) {
  const int32_t row = engine->GetMatchedPrefectureRow();
  if (row == 0) {
    SetMessage(message, kMsgAnalysisResult);
    return 0;
  }
  return RowReader(database, static_cast<uint32_t>(row), kTablePrefecture, message)
      .Text("都道府県名", name);
}

int FetchCityResultNames(CAdrsEngine* engine, CTableDatabase* database, char* municipality,
                         char* county, char* municipalityReading, char* countyReading,
                         char* message) {
  const int32_t row = engine->GetMatchedCityRow();
  if (row == 0) {
    SetMessage(message, kMsgAnalysisResult);
    return 0;
  }
  RowReader r(database, static_cast<uint32_t>(row), kTableCity, message);
  return r.Text("郡名", county) && r.Text("市区町村名", municipality) &&
         r.Text("かな読み郡名", countyReading) && r.Text("かな読み市区町村名", municipalityReading);
}

int FetchOazaResultNames(CAdrsEngine* engine, CTableDatabase* database, char* oaza, char* chome,
                         char* oazaReading, char* chomeReading, char* postalCode, char* message) {
  const int32_t row = engine->GetMatchedNameRow();
  if (row == 0) {
    SetMessage(message, kMsgAnalysisResult);
    return 0;
  }
  RowReader r(database, static_cast<uint32_t>(row), kTableOaza, message);
  return r.Text("大字通称名", oaza) && r.Text("字丁目名", chome) &&
         r.Text("かな読み大字通称名", oazaReading) && r.Text("かな読み字丁目名", chomeReading) &&
         r.Text("郵便番号", postalCode);
}

int LookupPrefectureByCode(CTableDatabase* database, const char* code, char* name, char* message) {
  uint32_t record = 0;
  if (!FindByCodeIndex(database, "_CD1", kTablePrefecture, kFieldPrefectureCode, code, false,
                       &record, message))
    return 0;
  return RowReader(database, record, kTablePrefecture, message).Text("都道府県名", name);
}

int LookupCityByCode(CTableDatabase* database, const char* code, char* municipality, char* county,
                     char* municipalityReading, char* countyReading, char* message) {
  uint32_t record = 0;
  if (!FindByCodeIndex(database, "_CD2", kTableCity, kFieldCityCode, code, false, &record, message))
    return 0;
  RowReader r(database, record, kTableCity, message);
  return r.Text("郡名", county) && r.Text("市区町村名", municipality) &&
         r.Text("かな読み郡名", countyReading) && r.Text("かな読み市区町村名", municipalityReading);
}

int LookupOazaByCode(CTableDatabase* database, const char* code, char* oaza, char* chome,
                     char* oazaReading, char* chomeReading, char* message) {
  uint32_t record = 0;
  if (!FindByCodeIndex(database, "_CD3", kTableOaza, kFieldPlaceCode, code, true, &record, message))
    return 0;
  RowReader r(database, record, kTableOaza, message);
  return r.Text("大字通称名", oaza) && r.Text("字丁目名", chome) &&
         r.Text("かな読み大字通称名", oazaReading) && r.Text("かな読み字丁目名", chomeReading);
}

namespace {

// The reference library's row texts: placeholder oaza and aza/chome names
// by its aza mode, the block and lot footers by the place's footer kind.
void ApplyLibraryNames(const CAdrsContext* context, int32_t level, LineValues* v) {
  std::string oaza = v->oaza, oazaReading = v->oazaReading;
  std::string chome = v->chome, chomeReading = v->chomeReading;
  context->TreatRowNames(level, &oaza, &oazaReading, &chome, &chomeReading);
  std::string block = v->block, lot = v->lot;
  context->AppendBlockFooter(&block, v->footerKind);
  context->AppendLotFooter(&lot, v->footerKind);
  CopyCut(v->oaza, kText, oaza.c_str());
  CopyCut(v->oazaReading, kText, oazaReading.c_str());
  CopyCut(v->chome, kText, chome.c_str());
  CopyCut(v->chomeReading, kText, chomeReading.c_str());
  CopyCut(v->block, kText, block.c_str());
  CopyCut(v->lot, kText, lot.c_str());
}

// The values of the matched rows by the level: 1, or 0 with a message.
int GatherLineValues(CAdrsEngine* engine, CTableDatabase* database, int32_t level,
                     int32_t reference, int16_t entryNumber, LineValues* values, char* message) {
  LineValues& v = *values;
  int ok = 0;
  switch (level) {
    case 1:
      ok = GatherPrefecture(engine, database, entryNumber, &v, message);
      break;
    case 2:
      ok = GatherCity(engine, database, reference, entryNumber, &v, message);
      break;
    case 3:
    case 4:
      ok = GatherName(engine, database, level, reference, entryNumber, &v, message);
      break;
    case 5:
    case 7:
      ok = GatherEstimate(engine, database, level, reference, &v, message);
      break;
    case 6:
    case 8:
      ok = GatherFound(engine, database, level, reference, entryNumber, &v, message);
      break;
    default:
      SetMessage(message, kBadLevel, static_cast<long>(level));
      return 0;
  }
  return ok;
}

// The line of the context's output style (17 columns, or 14 with the rest
// after bit 8): 1, or 0 with a message when the coordinates cannot be
// converted.
int FormatResultLine(CAdrsEngine* engine, CAdrsContext* context, int32_t level, LineValues& v,
                     const std::string& rest, std::string* out, char* message) {
  std::string& line = *out;
  if (context->GetOutputStyle() == 2) {
    char latitude[kCoordinateTextSize] = {};
    char longitude[kCoordinateTextSize] = {};
    CoordinateRequest request{v.latitude,      v.longitude, latitude,
                              sizeof latitude, longitude,   sizeof longitude};
    if (!context->FormatCoordinates(&request)) {
      SetMessage(message, kMsgDatumConversion);
      return 0;
    }
    context->ApplyOutputFormats(v.oaza, v.chome, v.block, v.lot, v.countyReading,
                                v.municipalityReading, v.oazaReading, v.chomeReading);
    line = Format("%s,%s%s,%s%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%s,%ld,%s,%s,%s", v.prefecture, v.county,
                  v.municipality, v.countyReading, v.municipalityReading, v.oaza, v.oazaReading,
                  v.chome, v.chomeReading, v.block, v.lot, latitude, longitude, v.code.c_str(),
                  v.status.c_str(), static_cast<long>(level), rest.empty() ? "1" : "0",
                  rest.c_str(), v.postal);
  } else {
    line = Format("%s,%s%s,%s%s,%s,%s,%s,%s,%s,%s,%ld,%ld,%s,%s,%ld", v.prefecture, v.county,
                  v.municipality, v.countyReading, v.municipalityReading, v.oaza, v.oazaReading,
                  v.chome, v.chomeReading, v.block, v.lot, static_cast<long>(v.latitude),
                  static_cast<long>(v.longitude), v.code.c_str(), v.status.c_str(),
                  static_cast<long>(level));
    if (engine->GetOptionBit8() == 1) line += (rest.empty() ? ",1," : ",0,") + rest;
  }
  return 1;
}

}  // namespace

int BuildMatchResultLine(CAdrsEngine* engine, CTableDatabase* database, CAdrsContext* context,
                         int32_t level, int32_t reference, int16_t entryNumber, std::string* line,
                         char* message) {
  if (!engine || !database || !context || !line) {
    SetMessage(message, kMsgAnalysisResult);
    return 0;
  }
  LineValues v;
  if (!GatherLineValues(engine, database, level, reference, entryNumber, &v, message)) return 0;
  if (context->IsLibraryProfile()) {
    ApplyLibraryNames(context, level, &v);
  } else if (level >= 3) {
    context->DropNoOazaName(v.oaza, v.oazaReading, 0);
  }
  const std::string rest = RestForLine(engine->GetUnmatchedText());
  return FormatResultLine(engine, context, level, v, rest, line, message);
}

int WriteMatchResultLine(CAdrsEngine* engine, CTableDatabase* database, CAdrsContext* context,
                         int32_t level, int32_t reference, int16_t entryNumber, char* message) {
  std::string line;
  if (!BuildMatchResultLine(engine, database, context, level, reference, entryNumber, &line,
                            message))
    return 0;
  if (!context->WriteLine(line.c_str())) {
    SetMessage(message, kWriteFailed, DatabasePath(database).c_str(), static_cast<long>(level));
    return 0;
  }
  return 1;
}
