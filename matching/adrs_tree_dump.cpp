// The address tree dump of the address engine, the dump of a data set into
// a text file, and the small row helpers shared with the listers.

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "common/file_access.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/number_parse.h"
#include "common/path_util.h"
#include "matching/adrs_context.h"
#include "matching/adrs_engine.h"
#include "matching/adrs_listing.h"
#include "plat/file.h"
#include "plat/output_file.h"
#include "tabledb/table_database.h"
#include "tabledb/table_names.h"
#include "tabledb/tc_access.h"

namespace {

// Reads the fields of one record, appending each to a row text with a
// comma before every field but the first.
class CRowBuilder {
 public:
  CRowBuilder(CTableDatabase* database, uint32_t record, const char* table, char* msg)
      : db_(database), record_(record), table_(table), msg_(msg) {}

  bool Text(const char* field) {
    char text[kFieldValueSize];
    if (!ReadStringField(db_, record_, table_, field, text, sizeof text, msg_)) return false;
    Append(text);
    return true;
  }
  bool Int(const char* field) {
    int32_t value = 0;
    if (!ReadIntField(db_, record_, table_, field, &value, msg_)) return false;
    Append(std::to_string(static_cast<long>(value)));
    return true;
  }
  // 状態フラグ as a number.
  bool Status() {
    char text[kFieldValueSize];
    if (!ReadStringField(db_, record_, table_, kFieldStatus, text, sizeof text, msg_)) {
      return false;
    }
    Append(std::to_string(static_cast<long>(ParseStatusText(text))));
    return true;
  }
  void Append(const std::string& text) {
    if (!first_) row_ += ',';
    first_ = false;
    row_ += text;
  }
  const std::string& Row() const { return row_; }

 private:
  CTableDatabase* db_;
  uint32_t record_;
  const char* table_;
  char* msg_;
  bool first_ = true;
  std::string row_;
};

// The row of a TC_Oaza record (oaza and aza/chome rows alike).
int FormatOazaTableRow(CTableDatabase* database, uint32_t record, std::string* row, char* msg) {
  CRowBuilder b(database, record, kTableOaza, msg);
  if (!b.Text(kFieldGroupCode) || !b.Int(kFieldLatitude) || !b.Int(kFieldLongitude) ||
      !b.Text("大字通称名") || !b.Text("かな読み大字通称名") || !b.Text("字丁目名") ||
      !b.Text("かな読み字丁目名") || !b.Text("正規大字通称名") || !b.Text("正規字丁目名") ||
      !b.Status() || !b.Text(kFieldPlaceCode) || !b.Text("大字代表点フラグ")) {
    return 0;
  }
  *row = b.Row();
  return 1;
}

// Writes "tag,base,number,count,row".
int WriteTreeLine(CAdrsContext* context, const char* tag, uint32_t childBase, uint32_t number,
                  uint32_t count, const std::string& row, const char* databasePath,
                  const char* table, char* msg) {
  const std::string line = std::string(tag) + "," + std::to_string(childBase) + "," +
                           std::to_string(number) + "," + std::to_string(count) + "," + row;
  if (context->WriteLine(line.c_str())) return 1;
  SetListingWriteError(msg, databasePath, table);
  return 0;
}

}  // namespace

int IsNoChildOazaCode(const char* code) {
  return code && std::strlen(code) == 6 && code[0] == '8' ? 1 : 0;
}

int32_t ParseStatusText(const char* text) {
  int32_t value = 0;
  if (!text || !ParseIntInRange(text, &value, -2147483647, 2147483647)) return 0;
  return value;
}

int FormatPrefectureRow(CTableDatabase* database, uint32_t record, std::string* row, char* msg) {
  CRowBuilder b(database, record, kTablePrefecture, msg);
  if (!b.Text(kFieldPrefectureCode) || !b.Int(kFieldLatitude) || !b.Int(kFieldLongitude) ||
      !b.Text("都道府県名") || !b.Text("かな読み都道府県名")) {
    return 0;
  }
  b.Append("0");
  *row = b.Row();
  return 1;
}

int FormatCityRow(CTableDatabase* database, uint32_t record, std::string* row, char* msg) {
  CRowBuilder b(database, record, kTableCity, msg);
  if (!b.Text(kFieldCityCode) || !b.Int(kFieldLatitude) || !b.Int(kFieldLongitude) ||
      !b.Text("郡名") || !b.Text("かな読み郡名") || !b.Text("市区町村名") ||
      !b.Text("かな読み市区町村名") || !b.Status()) {
    return 0;
  }
  *row = b.Row();
  return 1;
}

int FormatOazaRow(CTableDatabase* database, uint32_t record, std::string* row, char* msg) {
  return FormatOazaTableRow(database, record, row, msg);
}

int FormatChomeRow(CTableDatabase* database, uint32_t record, std::string* row, char* msg) {
  return FormatOazaTableRow(database, record, row, msg);
}

int CAdrsEngine::DumpAddressTree(CAdrsContext* context, char* msg) {
  if (!context) {
    SetMessage(msg, kMsgInvalidParameter, "検索結果");
    return 0;
  }
  if (!CheckReady(msg)) return 0;
  const std::string databasePath = DatabasePath(database_);
  const char* path = databasePath.c_str();
  const uint32_t prefectures = index_.Header().levels[kTixPrefecture].count;
  std::string row;
  for (uint32_t i = 1; i <= prefectures && i <= UINT16_MAX; ++i) {
    TixEntry p;
    if (!ReadPrefectureEntry(static_cast<uint16_t>(i), &p, msg) ||
        !FormatPrefectureRow(database_, p.record, &row, msg) ||
        !WriteTreeLine(context, "T_1", 0, i, prefectures, row, path, kTablePrefecture, msg)) {
      return 0;
    }
    for (uint32_t j = 1; j <= p.childCount; ++j) {
      TixEntry c;
      if (!ReadCityEntry(p.childBase, static_cast<uint16_t>(j), &c, msg) ||
          !FormatCityRow(database_, c.record, &row, msg) ||
          !WriteTreeLine(context, "T_2", p.childBase, j, p.childCount, row, path, kTableCity,
                         msg)) {
        return 0;
      }
      for (uint32_t k = 1; k <= c.childCount; ++k) {
        TixEntry o;
        if (!ReadOazaEntry(c.childBase, static_cast<uint16_t>(k), &o, msg) ||
            !FormatOazaRow(database_, o.record, &row, msg) ||
            !WriteTreeLine(context, "T_3", c.childBase, k, c.childCount, row, path, kTableOaza,
                           msg)) {
          return 0;
        }
        for (uint32_t m = 1; m <= o.childCount; ++m) {
          TixEntry a;
          if (!ReadChomeEntry(o.childBase, static_cast<uint16_t>(m), &a, msg) ||
              !FormatChomeRow(database_, a.record, &row, msg) ||
              !WriteTreeLine(context, "T_4", o.childBase, m, o.childCount, row, path, kTableOaza,
                             msg)) {
            return 0;
          }
        }
      }
    }
  }
  return 1;
}

int DumpDatasetToFile(const char* ndbPath, const char* tixPath, const char* outputFile, char* msg) {
  // The engine is far larger than a frame should be; it is made before the
  // output file, so that running out of memory leaves no file behind.
  const auto engine = std::make_unique<CAdrsEngine>();
  plat::OutputFile output;
  if (!OpenOutputTextFileWithError(&output, outputFile, msg)) return 0;
  CAdrsContext context;
  context.SetOutputFile(&output.Stream());
  int ok = 0;
  CTableDatabase database;
  if (!ndbPath || !database.Open(ndbPath)) {
    SetMessage(msg, kMsgFileOpen, ndbPath ? ndbPath : "");
  } else {
    // The index kind of the data set is the kind of its folder's indexes;
    // a folder whose index files are named otherwise is tried as kind 1.
    char folder[CAdrsEngine::kPathSize] = "";
    if (tixPath) ExtractDriveAndFolder(tixPath, folder, sizeof folder);
    int kind = ProbeIndexFiles(folder[0] != '\0' ? folder : ".");
    if (kind == 0) kind = 1;
    if (!tixPath || !engine->Open(tixPath, kind)) {
      SetMessage(msg, kMsgFileOpen, tixPath ? tixPath : "");
    } else {
      engine->SetDatabase(&database);
      engine->SetContext(&context);
      ok = engine->DumpAddressTree(&context, msg);
      engine->Close();
    }
    database.Close();
  }
  // No partly written dump stays behind: a file the dump made is removed,
  // an earlier file at the path stays as it was.
  if (ok && output.Commit()) return 1;
  if (ok) SetMessage(msg, kMsgFileWrite, outputFile);
  output.Discard();
  return 0;
}
