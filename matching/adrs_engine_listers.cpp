// The hierarchy listers of the address engine: the children of one node of
// the address tree, found by names or by code, written as CSV lines
// through the search context (layouts in matching/adrs_listing.h).

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/message.h"
#include "common/message_texts.h"
#include "common/number_parse.h"
#include "common/sjis_text.h"
#include "matching/adrs_context.h"
#include "matching/adrs_engine.h"
#include "matching/adrs_listing.h"
#include "matching/change_code_records.h"
#include "matching/normalize.h"
#include "matching/result_format.h"
#include "tabledb/change_code_index.h"
#include "tabledb/change_history.h"
#include "tabledb/place_code_registry.h"
#include "tabledb/table_database.h"
#include "tabledb/table_names.h"
#include "tabledb/tc_access.h"

namespace {

constexpr char kRegisterWhat[] = "地名コード登録";

// Rows of this status and above are abolished and never listed.
constexpr int32_t kAbolishedStatus = 3;
// A TC_Gaiku status text that counts as valid and is written as 0.
constexpr char kCurrentBlockStatus[] = "A";
// Characters of a place code and of a block code.
constexpr std::size_t kPlaceCodeLength = 11;
constexpr int kBlockCodeLength = 5;

// What a step of a listing tells its caller.
enum Step : int {
  kFailed = -1,  // message written
  kGoOn = 0,
  kStop = 1,  // the limit was reached, or (exists mode) a row was found
};

// One listing call: where the lines go, the count and the limit, the
// registry, and whether rows are only looked for (exists mode: the first
// row that would be listed stops the walk and nothing is written).
struct ListRun {
  CAdrsContext* context = nullptr;
  int32_t* count = nullptr;
  int32_t limit = -1;
  int32_t* truncated = nullptr;
  CPlaceCodeRegistry* registry = nullptr;
  char* msg = nullptr;
  bool existsOnly = false;
  bool found = false;
  // The key of the previous row of the walk (blocks and lots).
  std::string previousKey;
};

ListRun ExistsRun(char* msg) {
  ListRun run;
  run.existsOnly = true;
  run.msg = msg;
  return run;
}

// The place where a row is about to be listed: in exists mode the answer;
// else the limit test.
int Admit(ListRun& run) {
  if (run.existsOnly) {
    run.found = true;
    return kStop;
  }
  if (run.limit >= 0 && *run.count >= run.limit) {
    *run.truncated = 1;
    return kStop;
  }
  return kGoOn;
}

// A key seen in this walk just before, or held by the registry: the row
// is passed over. Without comparePrevious only the registry is asked.
bool IsDuplicateKey(ListRun& run, const std::string& key, bool comparePrevious) {
  if (comparePrevious) {
    if (key == run.previousKey) return true;
    run.previousKey = key;
  }
  return run.registry && !run.existsOnly && run.registry->Find(key.c_str());
}

// Registers the key (with a registry), writes the line and counts it.
int PutLine(ListRun& run, const std::string& key, const std::string& line, const char* source,
            const char* table) {
  if (run.registry && !key.empty() && !run.registry->Register(*run.count, key.c_str())) {
    SetMessage(run.msg, kMsgMemory, kRegisterWhat);
    return kFailed;
  }
  if (!run.context->WriteLine(line.c_str())) {
    SetListingWriteError(run.msg, source, table);
    return kFailed;
  }
  ++*run.count;
  return kGoOn;
}

// ---- Rows ----

// The values of one listed row.
struct RowValues {
  std::string name;
  std::string kana;
  std::string code;
  int32_t latitude = 0;
  int32_t longitude = 0;
  // The point as stored, not formatted (municipalities with the county in
  // brackets).
  bool rawPoint = false;
};

int ReadPoint(CTableDatabase* db, uint32_t record, const char* table, int32_t* latitude,
              int32_t* longitude, char* msg) {
  return ReadIntField(db, record, table, kFieldLatitude, latitude, msg) &&
         ReadIntField(db, record, table, kFieldLongitude, longitude, msg);
}

// The name, reading and code fields of a row (read in this order), then
// its point.
int ReadRow(CTableDatabase* db, uint32_t record, const char* table, const char* nameField,
            const char* kanaField, const char* codeField, RowValues* row, char* msg) {
  return ReadStringField(db, record, table, nameField, &row->name, msg) &&
         ReadStringField(db, record, table, kanaField, &row->kana, msg) &&
         ReadStringField(db, record, table, codeField, &row->code, msg) &&
         ReadPoint(db, record, table, &row->latitude, &row->longitude, msg);
}

// The two coordinate texts of a row, by the context's datum and format.
int FormatPoint(ListRun& run, int32_t latitude, int32_t longitude, std::string* latText,
                std::string* lonText) {
  char lat[kCoordinateTextSize] = "";
  char lon[kCoordinateTextSize] = "";
  CoordinateRequest request{latitude, longitude, lat, sizeof lat, lon, sizeof lon};
  if (!run.context->FormatCoordinates(&request)) {
    SetMessage(run.msg, kMsgDatumConversion);
    return 0;
  }
  latText->assign(lat);
  lonText->assign(lon);
  return 1;
}

std::string Number(int32_t value) { return std::to_string(static_cast<long>(value)); }

// The number text of a change record's number: empty for 0 with an empty
// name, else FormatCodePart.
std::string ChangeNumberText(uint32_t number, const char* name) {
  if (number == 0 && (!name || name[0] == '\0')) return std::string();
  char text[kCodePartTextSize];
  FormatCodePart(text, static_cast<int32_t>(number));
  return text;
}

// ---- Lookups that may find nothing ----

// A lookup answers 0 both when nothing passed its test and when a read
// failed; the not-found text tells them apart.
bool IsNotFoundMessage(const char* msg) {
  // The not-found format up to its first field (found by characters: the
  // bracket byte is also a trail byte).
  static const int lead = FindSubstring("[DATABASE:", kValueNotFoundFormat) - 1;
  return lead > 0 && std::strncmp(msg, kValueNotFoundFormat, static_cast<std::size_t>(lead)) == 0;
}

// The outcome of a lookup: 1 found, 0 not found, -1 failed. A failure's
// message is handed to the caller's buffer, and so is the not-found text
// when reportNotFound is set.
int Lookup(int result, const char* scratch, char* msg, bool reportNotFound) {
  if (result) return 1;
  const bool notFound = IsNotFoundMessage(scratch);
  if (msg && (!notFound || reportNotFound)) std::memcpy(msg, scratch, kMessageSize);
  return notFound ? 0 : -1;
}

// A read failure of a change file.
int ChangeFileReadFailed(char* msg, const char* path) {
  SetMessage(msg, kMsgFileRead, path);
  return kFailed;
}

}  // namespace

// ---------------------------------------------------------------------------
// Shared with the dump

void SetListingWriteError(char* msg, const char* source, const char* table) {
  SetMessage(msg, "検索結果の取得に失敗しました！[DATABASE:%s][TABLE:%s]", source ? source : "",
             table);
}

// ---------------------------------------------------------------------------
// Rows of one level under a parent entry

namespace {

class CLevelLister {
 public:
  CLevelLister(CAdrsEngine* engine, ListRun* run)
      : e_(engine), run_(*run), db_(engine->GetDatabase()) {}

  int Prefectures();
  int Cities(const TixEntry& prefecture);
  int Oaza(const TixEntry& city);
  int Chome(const TixEntry& oaza);
  // The blocks of a chome entry: TC_Gaiku, change history, change-code
  // index.
  int Blocks(const TixEntry& chome, const std::string& placeCode);
  // The lots of a block given by name or (byCode) by its 5-character code.
  int Lots(const std::string& placeCode, const char* block, bool byCode);

 private:
  using ReadEntry = int (CAdrsEngine::*)(uint32_t, uint16_t, TixEntry*, char*);

  // Every child entry of parent (read by read) whose row of table is not
  // abolished, while the limit allows: list(entry, status) lists it.
  template <typename List>
  int EachLiveChild(const TixEntry& parent, ReadEntry read, const char* table, List list);
  // Lists "name,kana,lat,lon,code,status" and, with output style 2, ",1" or
  // ",0" by children() (1, 0, or -1 after a failed read; asked only then).
  // key goes to the registry; source (null: the database) and table name a
  // line that cannot be written.
  template <typename Children>
  int PutRow(const RowValues& row, int32_t status, Children children, const char* table,
             const std::string& key = std::string(), const char* source = nullptr);
  int GaikuBlocks(const TixEntry& chome);
  int HistoryBlocks(const std::string& placeCode);
  int CodeIndexBlocks(const std::string& placeCode);
  int HistoryLots(const std::string& placeCode, const char* block, bool byCode);
  int CodeIndexLots(const std::string& placeCode, const char* block, bool byCode);
  // footerKind: the record's precision digit, for the block or lot footer
  // of the library profile.
  int ChangeRow(const std::string& key, bool comparePrevious, const std::string& name,
                int32_t latitude, int32_t longitude, int32_t status, int32_t footerKind,
                bool isBlock, const std::string& placeCode, const char* source);

  CAdrsEngine* e_;
  ListRun& run_;
  CTableDatabase* db_;
};

template <typename List>
int CLevelLister::EachLiveChild(const TixEntry& parent, ReadEntry read, const char* table,
                                List list) {
  for (uint32_t i = 1; i <= parent.childCount; ++i) {
    TixEntry entry;
    std::string statusText;
    if (!(e_->*read)(parent.childBase, static_cast<uint16_t>(i), &entry, run_.msg) ||
        !ReadStringField(db_, entry.record, table, kFieldStatus, &statusText, run_.msg)) {
      return kFailed;
    }
    const int32_t status = ParseStatusText(statusText.c_str());
    if (status >= kAbolishedStatus) continue;
    if (int s = Admit(run_); s != kGoOn) return s;
    if (list(entry, status) != kGoOn) return kFailed;
  }
  return kGoOn;
}

template <typename Children>
int CLevelLister::PutRow(const RowValues& row, int32_t status, Children children, const char* table,
                         const std::string& key, const char* source) {
  std::string lat = Number(row.latitude);
  std::string lon = Number(row.longitude);
  if (!row.rawPoint && !FormatPoint(run_, row.latitude, row.longitude, &lat, &lon)) return kFailed;
  std::string line =
      row.name + "," + row.kana + "," + lat + "," + lon + "," + row.code + "," + Number(status);
  if (run_.context->GetOutputStyle() == 2) {
    const int has = children();
    if (has < 0) return kFailed;
    line += has == 1 ? ",1" : ",0";
  }
  return PutLine(run_, key, line, source ? source : DatabasePath(db_).c_str(), table);
}

int CLevelLister::Prefectures() {
  if (!e_->CheckReady(run_.msg)) return kFailed;
  TixHeader header;
  e_->GetHeader(&header);
  const uint32_t n = header.levels[kTixPrefecture].count;
  for (uint32_t i = 1; i <= n && i <= UINT16_MAX; ++i) {
    if (int s = Admit(run_); s != kGoOn) return s;
    TixEntry entry;
    RowValues row;
    auto children = [&] { return entry.childCount != 0 ? 1 : 0; };
    if (!e_->ReadPrefectureEntry(static_cast<uint16_t>(i), &entry, run_.msg) ||
        !ReadRow(db_, entry.record, kTablePrefecture, "都道府県名", "かな読み都道府県名",
                 kFieldPrefectureCode, &row, run_.msg) ||
        PutRow(row, 0, children, kTablePrefecture) != kGoOn) {
      return kFailed;
    }
  }
  return kGoOn;
}

int CLevelLister::Cities(const TixEntry& prefecture) {
  auto list = [&](const TixEntry& entry, int32_t status) -> int {
    std::string county, countyKana;
    RowValues row;
    if (!ReadStringField(db_, entry.record, kTableCity, "郡名", &county, run_.msg) ||
        !ReadStringField(db_, entry.record, kTableCity, "市区町村名", &row.name, run_.msg) ||
        !ReadStringField(db_, entry.record, kTableCity, "かな読み郡名", &countyKana, run_.msg) ||
        !ReadStringField(db_, entry.record, kTableCity, "かな読み市区町村名", &row.kana,
                         run_.msg) ||
        !ReadStringField(db_, entry.record, kTableCity, kFieldCityCode, &row.code, run_.msg) ||
        !ReadPoint(db_, entry.record, kTableCity, &row.latitude, &row.longitude, run_.msg)) {
      return kFailed;
    }
    row.rawPoint = e_->GetCountyInBrackets() == 1 && !county.empty();
    if (row.rawPoint) {
      row.name += "（" + county + "）";
      row.kana += "（" + countyKana + "）";
    } else {
      row.name = county + row.name;
      row.kana = countyKana + row.kana;
    }
    auto children = [&] { return entry.childCount != 0 ? 1 : 0; };
    return PutRow(row, status, children, kTableCity);
  };
  return EachLiveChild(prefecture, &CAdrsEngine::ReadCityEntry, kTableCity, list);
}

int CLevelLister::Oaza(const TixEntry& city) {
  const bool byGroup = e_->GetGroupIndexMode() == 1;
  auto list = [&](const TixEntry& entry, int32_t status) -> int {
    RowValues row;
    if (!ReadRow(db_, entry.record, kTableOaza, "大字通称名", "かな読み大字通称名",
                 byGroup ? kFieldGroupCode : kFieldPlaceCode, &row, run_.msg)) {
      return kFailed;
    }
    if (!byGroup) {
      char head[kFieldValueSize];
      row.code = CopySubstring(head, row.code.c_str(), 1, 8);
    }
    if (run_.context->IsLibraryProfile()) {
      run_.context->TreatOazaName(&row.name, &row.kana, 0);
    } else {
      run_.context->DropNoOazaName(row.name.data(), row.kana.data(), 0);
      row.name.resize(std::strlen(row.name.c_str()));
      row.kana.resize(std::strlen(row.kana.c_str()));
    }
    auto children = [&] {
      return entry.childCount != 0 && !IsNoChildOazaCode(row.code.c_str()) ? 1 : 0;
    };
    return PutRow(row, status, children, kTableOaza);
  };
  return EachLiveChild(city, &CAdrsEngine::ReadOazaEntry, kTableOaza, list);
}

int CLevelLister::Chome(const TixEntry& oaza) {
  auto list = [&](const TixEntry& entry, int32_t status) -> int {
    RowValues row;
    if (!ReadRow(db_, entry.record, kTableOaza, "字丁目名", "かな読み字丁目名", kFieldPlaceCode,
                 &row, run_.msg)) {
      return kFailed;
    }
    auto children = [&] {
      return e_->HasBlocksOrLotsUnderChome(entry.childBase, entry.childCount, row.code.c_str(),
                                           run_.msg);
    };
    run_.context->TreatChomeName(&row.name, &row.kana, 0);
    return PutRow(row, status, children, kTableOaza);
  };
  return EachLiveChild(oaza, &CAdrsEngine::ReadChomeEntry, kTableOaza, list);
}

int CLevelLister::Blocks(const TixEntry& chome, const std::string& placeCode) {
  run_.previousKey.clear();
  int s = GaikuBlocks(chome);
  if (s == kGoOn && e_->HasChangeHistory()) s = HistoryBlocks(placeCode);
  if (s == kGoOn && e_->HasChangeCodeIndex()) s = CodeIndexBlocks(placeCode);
  return s;
}

namespace {

// A block row's code and status text, for the runs of one block code.
struct GaikuRow {
  uint32_t record;
  std::string code;
  std::string status;
};

// The row listed of the run of one block code from rows[first] on: the last
// "A" row, else the first row below status 3; rows.size() for none. *end
// gets the end of the run.
std::size_t ChosenOfRun(const std::vector<GaikuRow>& rows, std::size_t first, std::size_t* end) {
  std::size_t chosen = rows.size();
  std::size_t firstValid = rows.size();
  std::size_t k = first;
  for (; k < rows.size() && rows[k].code == rows[first].code; ++k) {
    if (rows[k].status == kCurrentBlockStatus) {
      chosen = k;
    } else if (firstValid == rows.size() &&
               ParseStatusText(rows[k].status.c_str()) < kAbolishedStatus) {
      firstValid = k;
    }
  }
  *end = k;
  return chosen == rows.size() ? firstValid : chosen;
}

}  // namespace

int CLevelLister::GaikuBlocks(const TixEntry& chome) {
  using Row = GaikuRow;
  std::vector<Row> rows;
  rows.reserve(chome.childCount);
  for (uint32_t i = 1; i <= chome.childCount; ++i) {
    TixEntry entry;
    if (!e_->ReadBlockEntry(chome.childBase, static_cast<uint16_t>(i), &entry, run_.msg)) {
      return kFailed;
    }
    Row row{entry.record, std::string(), std::string()};
    if (!ReadStringField(db_, entry.record, kTableBlock, "街区番号コード", &row.code, run_.msg) ||
        !ReadStringField(db_, entry.record, kTableBlock, kFieldStatus, &row.status, run_.msg)) {
      return kFailed;
    }
    rows.push_back(std::move(row));
  }
  for (std::size_t first = 0; first < rows.size();) {
    std::size_t end = first;
    const std::size_t chosen = ChosenOfRun(rows, first, &end);
    first = end;
    if (chosen == rows.size()) continue;
    const Row& row = rows[chosen];
    const int32_t status =
        row.status == kCurrentBlockStatus ? 0 : ParseStatusText(row.status.c_str());

    std::string rowCode;
    if (!ReadStringField(db_, row.record, kTableBlock, kFieldPlaceCode, &rowCode, run_.msg)) {
      return kFailed;
    }
    char padded[kFieldValueSize + kBlockCodeLength];
    std::memcpy(padded, row.code.c_str(), row.code.size() + 1);
    PadLeftWithZeros(padded, kBlockCodeLength);
    const std::string key = rowCode + padded;
    if (IsDuplicateKey(run_, key, true)) continue;
    if (int s = Admit(run_); s != kGoOn) return s;

    char name[kFieldValueSize + 16];
    RowValues values;
    if (!ReadStringField(db_, row.record, kTableBlock, "街区番号", name, kFieldValueSize,
                         run_.msg) ||
        !ReadPoint(db_, row.record, kTableBlock, &values.latitude, &values.longitude, run_.msg)) {
      return kFailed;
    }
    if (name[0] == '\0') {
      // The block code as a number in full-width digits (a code that is
      // no number: the code itself).
      int32_t value = 0;
      if (ParseIntInRange(row.code.c_str(), &value, INT32_MIN + 1, INT32_MAX)) {
        std::snprintf(name, sizeof name, "%ld", static_cast<long>(value));
      } else {
        std::snprintf(name, sizeof name, "%s", row.code.c_str());
      }
      ToFullWidthText(name, sizeof name);
    }
    values.name = name;
    values.code = key;
    if (run_.context->IsLibraryProfile()) {
      std::string flag;
      if (!ReadStringField(db_, row.record, kTableBlock, "住居表示フラグ", &flag, run_.msg)) {
        return kFailed;
      }
      run_.context->AppendBlockFooter(&values.name, FooterKindOf(flag.c_str()));
    }
    auto children = [&] { return e_->HasLotsForBlock(rowCode.c_str(), name, run_.msg); };
    if (PutRow(values, status, children, kTableBlock, key) != kGoOn) return kFailed;
  }
  return kGoOn;
}

// A block or lot row of the change files, from its key on.
int CLevelLister::ChangeRow(const std::string& key, bool comparePrevious, const std::string& name,
                            int32_t latitude, int32_t longitude, int32_t status, int32_t footerKind,
                            bool isBlock, const std::string& placeCode, const char* source) {
  if (IsDuplicateKey(run_, key, comparePrevious)) return kGoOn;
  if (int s = Admit(run_); s != kGoOn) return s;
  RowValues row{name, std::string(), key, latitude, longitude};
  if (isBlock) {
    run_.context->AppendBlockFooter(&row.name, footerKind);
  } else {
    run_.context->AppendLotFooter(&row.name, footerKind);
  }
  auto children = [&] {
    return isBlock ? e_->HasLotsForBlock(placeCode.c_str(), name.c_str(), run_.msg) : 0;
  };
  return PutRow(row, status, children, kTableLot, key, source);
}

int CLevelLister::HistoryBlocks(const std::string& placeCode) {
  CChangeHistory* h = e_->GetChangeHistory();
  const uint32_t p = h->FindByCode(placeCode.c_str());
  if (p == 0) return kGoOn;
  ChangeKeyEntry code;
  if (!h->GetKeyEntry(CChangeHistory::kByCode, p, &code)) {
    return ChangeFileReadFailed(run_.msg, h->GetDataPath());
  }
  for (uint32_t k = 0; k < code.count; ++k) {
    const uint32_t r = h->GetRecordNumber(CChangeHistory::kByCodeAndName, code.first + k);
    ChangeRecord record;
    char name1[kChangeTextSize];
    char name2[kChangeTextSize];
    if (r == 0 || !h->GetRecord(r, &record, name1, name2, nullptr, nullptr)) {
      return ChangeFileReadFailed(run_.msg, h->GetDataPath());
    }
    // A group whose first record is a lot has no block row.
    if (name2[0] != '\0' || record.classCode >= kAbolishedStatus) continue;
    const std::string key = placeCode + ChangeNumberText(record.blockNumber, name1);
    const int s = ChangeRow(key, true, name1, static_cast<int32_t>(record.coordinate1),
                            static_cast<int32_t>(record.coordinate2), record.classCode,
                            ChangeRecordPrecisionDigit(record), true, placeCode, h->GetDataPath());
    if (s != kGoOn) return s;
  }
  return kGoOn;
}

int CLevelLister::CodeIndexBlocks(const std::string& placeCode) {
  CChangeCodeIndex* x = e_->GetChangeCodeIndex();
  const uint32_t area = x->FindArea(placeCode.c_str());
  if (area == 0) return kGoOn;
  ChangeCodeTable blocks;
  if (!x->ReadAreaEntry(area, nullptr, &blocks.position, &blocks.count, &blocks.size,
                        &blocks.wide)) {
    return ChangeFileReadFailed(run_.msg, x->GetPath());
  }
  for (uint32_t i = 0; i < blocks.count; ++i) {
    uint32_t block = 0;
    char blockCode[kChangeCodeTextSize];
    char name[kChangeCodeNameSize];
    ChangeCodeTable lots;
    if (!ReadChildPosition(x, blocks, i, &block) ||
        !x->ReadBlockEntry(block, blockCode, name, nullptr, &lots.position, &lots.count, &lots.size,
                           &lots.wide)) {
      return ChangeFileReadFailed(run_.msg, x->GetPath());
    }
    // The block's point and status are those of its first change record.
    if (lots.count == 0) continue;
    ChangeCodeRecord first;
    if (!CChangeCodeRecords(x, lots).Read(0, &first)) {
      return ChangeFileReadFailed(run_.msg, x->GetPath());
    }
    if (first.classCode >= kAbolishedStatus) continue;
    const std::string key = placeCode + blockCode;
    const int s = ChangeRow(key, false, name, static_cast<int32_t>(first.number1),
                            static_cast<int32_t>(first.number2), first.classCode, first.digit, true,
                            placeCode, x->GetPath());
    if (s != kGoOn) return s;
  }
  return kGoOn;
}

int CLevelLister::Lots(const std::string& placeCode, const char* block, bool byCode) {
  run_.previousKey.clear();
  int s = kGoOn;
  if (e_->HasChangeHistory()) s = HistoryLots(placeCode, block, byCode);
  if (s == kGoOn && e_->HasChangeCodeIndex()) s = CodeIndexLots(placeCode, block, byCode);
  return s;
}

int CLevelLister::HistoryLots(const std::string& placeCode, const char* block, bool byCode) {
  CChangeHistory* h = e_->GetChangeHistory();
  char name1[kChangeTextSize];
  char name2[kChangeTextSize];
  ChangeRecord record;
  // The block's position in the block table.
  uint32_t group = 0;
  if (!byCode) {
    group = h->FindByCodeAndName(placeCode.c_str(), block);
  } else if (const uint32_t p = h->FindByCode(placeCode.c_str()); p != 0) {
    ChangeKeyEntry code;
    if (!h->GetKeyEntry(CChangeHistory::kByCode, p, &code)) {
      return ChangeFileReadFailed(run_.msg, h->GetDataPath());
    }
    for (uint32_t k = 0; k < code.count && group == 0; ++k) {
      const uint32_t r = h->GetRecordNumber(CChangeHistory::kByCodeAndName, code.first + k);
      if (r == 0 || !h->GetRecord(r, &record, name1, name2, nullptr, nullptr)) {
        return ChangeFileReadFailed(run_.msg, h->GetDataPath());
      }
      if (ChangeNumberText(record.blockNumber, name1) == block) group = code.first + k;
    }
  }
  if (group == 0) return kGoOn;
  ChangeKeyEntry records;
  if (!h->GetKeyEntry(CChangeHistory::kByCodeAndName, group, &records)) {
    return ChangeFileReadFailed(run_.msg, h->GetDataPath());
  }
  for (uint32_t k = 0; k < records.count; ++k) {
    const uint32_t r = h->GetRecordNumber(CChangeHistory::kByCodeAndNames, records.first + k);
    if (r == 0 || !h->GetRecord(r, &record, name1, name2, nullptr, nullptr)) {
      return ChangeFileReadFailed(run_.msg, h->GetDataPath());
    }
    if (name2[0] == '\0' || record.classCode >= kAbolishedStatus) continue;
    const std::string key = placeCode + ChangeNumberText(record.blockNumber, name1) +
                            ChangeNumberText(record.lotNumber, name2);
    const int s = ChangeRow(key, true, name2, static_cast<int32_t>(record.coordinate1),
                            static_cast<int32_t>(record.coordinate2), record.classCode,
                            ChangeRecordPrecisionDigit(record), false, placeCode, h->GetDataPath());
    if (s != kGoOn) return s;
  }
  return kGoOn;
}

int CLevelLister::CodeIndexLots(const std::string& placeCode, const char* block, bool byCode) {
  CChangeCodeIndex* x = e_->GetChangeCodeIndex();
  const uint32_t position = byCode ? x->FindBlockByCode(placeCode.c_str(), block)
                                   : x->FindBlock(placeCode.c_str(), block);
  if (position == 0) return kGoOn;
  char blockCode[kChangeCodeTextSize];
  ChangeCodeTable lots;
  if (!x->ReadBlockEntry(position, blockCode, nullptr, nullptr, &lots.position, &lots.count,
                         &lots.size, &lots.wide)) {
    return ChangeFileReadFailed(run_.msg, x->GetPath());
  }
  CChangeCodeRecords records(x, lots);
  for (uint32_t i = 0; i < lots.count; ++i) {
    ChangeCodeRecord lot;
    if (!records.Read(i, &lot)) return ChangeFileReadFailed(run_.msg, x->GetPath());
    if (lot.name[0] == '\0' || lot.classCode >= kAbolishedStatus) continue;
    const std::string key = placeCode + blockCode + lot.code;
    const int s = ChangeRow(key, false, lot.name, static_cast<int32_t>(lot.number1),
                            static_cast<int32_t>(lot.number2), lot.classCode, lot.digit, false,
                            placeCode, x->GetPath());
    if (s != kGoOn) return s;
  }
  return kGoOn;
}

// ---------------------------------------------------------------------------
// Walks to a parent

// The outcome of a walk: the parent entry (or entries) found, not found
// (the lookup's text in msg), or failed.
enum Walk : int { kWalkFailed = -1, kWalkNotFound = 0, kWalkFound = 1 };

int Finish(int step) { return step == kFailed ? 0 : 1; }

class CWalker {
 public:
  CWalker(CAdrsEngine* engine, char* msg) : e_(engine), msg_(msg) {}

  int Prefecture(const char* name, int32_t kana, TixEntry* entry) {
    char scratch[kMessageSize] = "";
    uint16_t n = 0;
    const int found =
        Lookup(e_->FindPrefectureByName(name, kana, &n, scratch), scratch, msg_, true);
    if (found != 1) return found;
    return e_->ReadPrefectureEntry(n, entry, msg_) ? kWalkFound : kWalkFailed;
  }

  int PrefectureByCode(const char* code, TixEntry* entry) {
    char scratch[kMessageSize] = "";
    uint16_t n = 0;
    const int found = Lookup(e_->FindPrefectureByCode(code, &n, scratch), scratch, msg_, true);
    if (found != 1) return found;
    return e_->ReadPrefectureEntry(n, entry, msg_) ? kWalkFound : kWalkFailed;
  }

  int City(const char* prefecture, const char* city, int32_t kana, TixEntry* entry) {
    TixEntry parent;
    if (const int w = Prefecture(prefecture, kana, &parent); w != kWalkFound) return w;
    char scratch[kMessageSize] = "";
    uint16_t n = 0;
    const int found =
        Lookup(e_->FindCityByName(city, kana, parent.childBase, parent.childCount, &n, scratch),
               scratch, msg_, true);
    if (found != 1) return found;
    return e_->ReadCityEntry(parent.childBase, n, entry, msg_) ? kWalkFound : kWalkFailed;
  }

  int CityByCode(const char* code, TixEntry* entry) {
    TixEntry parent;
    if (const int w = PrefectureByCode(code, &parent); w != kWalkFound) return w;
    char scratch[kMessageSize] = "";
    uint16_t n = 0;
    const int found =
        Lookup(e_->FindCityByCode(code, parent.childBase, parent.childCount, &n, scratch), scratch,
               msg_, true);
    if (found != 1) return found;
    return e_->ReadCityEntry(parent.childBase, n, entry, msg_) ? kWalkFound : kWalkFailed;
  }

  // Every oaza entry of that name under the city, in entry order: visit
  // (oaza entry) answers a Step, and kStop or kFailed end the walk (*step
  // keeps it). Not found when no entry has the name; the not-found text
  // then stays in msg.
  template <typename Visit>
  int EachOaza(const TixEntry& city, const char* name, int32_t kana, int* step, Visit visit) {
    *step = kGoOn;
    bool any = false;
    for (uint32_t next = 1;;) {
      char scratch[kMessageSize] = "";
      uint16_t n = static_cast<uint16_t>(next);
      const int found =
          Lookup(e_->FindNextOazaByName(name, kana, city.childBase, city.childCount, &n, scratch),
                 scratch, msg_, !any);
      if (found < 0) return kWalkFailed;
      if (found == 0) return any ? kWalkFound : kWalkNotFound;
      any = true;
      TixEntry oaza;
      if (!e_->ReadOazaEntry(city.childBase, n, &oaza, msg_)) return kWalkFailed;
      *step = visit(oaza);
      if (*step != kGoOn) return kWalkFound;
      next = uint32_t{n} + 1;
      if (next > city.childCount) return kWalkFound;
    }
  }

  // The chome of the walk by names: for every oaza entry of the name, its
  // first chome of the chome name; an oaza without it ends the walk.
  // visit (chome entry, its place code) answers a Step.
  template <typename Visit>
  int EachChomeByName(const char* prefecture, const char* cityName, const char* oaza,
                      const char* chome, int32_t kana, int* step, Visit visit) {
    *step = kGoOn;
    TixEntry city;
    if (const int w = City(prefecture, cityName, kana, &city); w != kWalkFound) return w;
    bool any = false;
    bool ended = false;
    const int w = EachOaza(city, oaza, kana, step, [&](const TixEntry& o) -> int {
      char scratch[kMessageSize] = "";
      uint16_t n = 0;
      const int found =
          Lookup(e_->FindChomeByName(chome, kana, o.childBase, o.childCount, &n, scratch), scratch,
                 msg_, !any);
      if (found < 0) return kFailed;
      if (found == 0) {
        ended = true;
        return kStop;
      }
      any = true;
      TixEntry c;
      std::string placeCode;
      if (!e_->ReadChomeEntry(o.childBase, n, &c, msg_) ||
          !ReadStringField(e_->GetDatabase(), c.record, kTableOaza, kFieldPlaceCode, &placeCode,
                           msg_)) {
        return kFailed;
      }
      return visit(c, placeCode);
    });
    if (w != kWalkFound) return w;
    if (ended) *step = kGoOn;
    return any ? kWalkFound : kWalkNotFound;
  }

  // The chome of the walk by code: the code's group code, every oaza
  // entry of the municipality with that group code, and under each the
  // chome of the place code (the code's first 11 characters); an oaza
  // without it is passed over. visit (chome entry, its place code).
  template <typename Visit>
  int EachChomeByCode(const char* code, int* step, Visit visit) {
    *step = kGoOn;
    TixEntry city;
    if (const int w = CityByCode(code, &city); w != kWalkFound) return w;
    char group[kFieldValueSize];
    char scratch[kMessageSize] = "";
    const int known =
        Lookup(LookupGroupCodeByPlaceCode(e_->GetDatabase(), code, group, sizeof group, scratch),
               scratch, msg_, true);
    if (known != 1) return known;
    bool any = false;
    // The first lookup runs even without oaza entries, for its text.
    for (uint32_t next = 1; next == 1 || next <= city.childCount;) {
      uint16_t n = static_cast<uint16_t>(next);
      const int found =
          Lookup(e_->FindNextOazaByGroupCode(group, city.childBase, city.childCount, &n, scratch),
                 scratch, msg_, !any);
      if (found < 0) return kWalkFailed;
      if (found == 0) break;
      next = uint32_t{n} + 1;
      TixEntry oaza;
      if (!e_->ReadOazaEntry(city.childBase, n, &oaza, msg_)) return kWalkFailed;
      uint16_t m = 0;
      const int hasChome =
          Lookup(e_->FindChomeByPlaceCode(code, oaza.childBase, oaza.childCount, &m, scratch),
                 scratch, msg_, !any);
      if (hasChome < 0) return kWalkFailed;
      if (hasChome == 0) continue;
      any = true;
      TixEntry chome;
      std::string placeCode;
      if (!e_->ReadChomeEntry(oaza.childBase, m, &chome, msg_) ||
          !ReadStringField(e_->GetDatabase(), chome.record, kTableOaza, kFieldPlaceCode, &placeCode,
                           msg_)) {
        return kWalkFailed;
      }
      *step = visit(chome, placeCode);
      if (*step != kGoOn) return kWalkFound;
    }
    return any ? kWalkFound : kWalkNotFound;
  }

 private:
  CAdrsEngine* e_;
  char* msg_;
};

// The result of a lister from its walk and its last step.
int ListResult(int walk, int step) {
  if (walk == kWalkFailed) return 0;
  return Finish(step);
}

ListRun MakeRun(CAdrsContext* context, int32_t* count, int32_t limit, int32_t* truncated,
                CPlaceCodeRegistry* registry, char* msg) {
  ListRun run;
  run.context = context;
  run.count = count;
  run.limit = limit;
  run.truncated = truncated;
  run.registry = registry;
  run.msg = msg;
  return run;
}

// The listers need a context to write to and the two counters.
int CheckArguments(CAdrsEngine* engine, CAdrsContext* context, int32_t* count, int32_t* truncated,
                   char* msg) {
  if (!context || !count || !truncated) {
    SetMessage(msg, kMsgInvalidParameter, "検索結果");
    return 0;
  }
  return engine->CheckReady(msg);
}

}  // namespace

// ---------------------------------------------------------------------------
// The listers

int CAdrsEngine::ListPrefectures(CAdrsContext* context, int32_t* count, int32_t limit,
                                 int32_t* truncated, char* msg) {
  if (!CheckArguments(this, context, count, truncated, msg)) return 0;
  ListRun run = MakeRun(context, count, limit, truncated, nullptr, msg);
  CLevelLister lister(this, &run);
  return Finish(lister.Prefectures());
}

int CAdrsEngine::ListCitiesByName(const char* prefecture, int32_t kana, CAdrsContext* context,
                                  int32_t* count, int32_t limit, int32_t* truncated, char* msg) {
  if (!CheckArguments(this, context, count, truncated, msg)) return 0;
  ListRun run = MakeRun(context, count, limit, truncated, nullptr, msg);
  CWalker walker(this, msg);
  TixEntry parent;
  const int w = walker.Prefecture(prefecture, kana, &parent);
  if (w != kWalkFound) return ListResult(w, kGoOn);
  CLevelLister lister(this, &run);
  return Finish(lister.Cities(parent));
}

int CAdrsEngine::ListOazaByName(const char* prefecture, const char* city, int32_t kana,
                                CAdrsContext* context, int32_t* count, int32_t limit,
                                int32_t* truncated, char* msg) {
  if (!CheckArguments(this, context, count, truncated, msg)) return 0;
  ListRun run = MakeRun(context, count, limit, truncated, nullptr, msg);
  CWalker walker(this, msg);
  TixEntry parent;
  const int w = walker.City(prefecture, city, kana, &parent);
  if (w != kWalkFound) return ListResult(w, kGoOn);
  CLevelLister lister(this, &run);
  return Finish(lister.Oaza(parent));
}

int CAdrsEngine::ListChomeByName(const char* prefecture, const char* city, const char* oaza,
                                 int32_t kana, CAdrsContext* context, int32_t* count, int32_t limit,
                                 int32_t* truncated, char* msg) {
  if (!CheckArguments(this, context, count, truncated, msg)) return 0;
  ListRun run = MakeRun(context, count, limit, truncated, nullptr, msg);
  CWalker walker(this, msg);
  TixEntry parent;
  const int w = walker.City(prefecture, city, kana, &parent);
  if (w != kWalkFound) return ListResult(w, kGoOn);
  CLevelLister lister(this, &run);
  int step = kGoOn;
  const int walk = walker.EachOaza(parent, oaza, kana, &step,
                                   [&](const TixEntry& entry) { return lister.Chome(entry); });
  return ListResult(walk, step);
}

int CAdrsEngine::ListBlocksByName(const char* prefecture, const char* city, const char* oaza,
                                  const char* chome, int32_t kana, CAdrsContext* context,
                                  int32_t* count, int32_t limit, int32_t* truncated,
                                  CPlaceCodeRegistry* registry, char* msg) {
  if (!CheckArguments(this, context, count, truncated, msg)) return 0;
  ListRun run = MakeRun(context, count, limit, truncated, registry, msg);
  CWalker walker(this, msg);
  CLevelLister lister(this, &run);
  int step = kGoOn;
  const int walk = walker.EachChomeByName(
      prefecture, city, oaza, chome, kana, &step,
      [&](const TixEntry& entry, const std::string& code) { return lister.Blocks(entry, code); });
  return ListResult(walk, step);
}

int CAdrsEngine::ListLotsByName(const char* prefecture, const char* city, const char* oaza,
                                const char* chome, const char* block, int32_t kana,
                                CAdrsContext* context, int32_t* count, int32_t limit,
                                int32_t* truncated, CPlaceCodeRegistry* registry, char* msg) {
  if (!CheckArguments(this, context, count, truncated, msg)) return 0;
  ListRun run = MakeRun(context, count, limit, truncated, registry, msg);
  CWalker walker(this, msg);
  CLevelLister lister(this, &run);
  const char* blockName = block ? block : "";
  int step = kGoOn;
  const int walk = walker.EachChomeByName(prefecture, city, oaza, chome, kana, &step,
                                          [&](const TixEntry&, const std::string& code) {
                                            return lister.Lots(code, blockName, false);
                                          });
  return ListResult(walk, step);
}

int CAdrsEngine::ListCitiesByCode(const char* code, CAdrsContext* context, int32_t* count,
                                  int32_t limit, int32_t* truncated, char* msg) {
  if (!CheckArguments(this, context, count, truncated, msg)) return 0;
  ListRun run = MakeRun(context, count, limit, truncated, nullptr, msg);
  CWalker walker(this, msg);
  TixEntry parent;
  const int w = walker.PrefectureByCode(code, &parent);
  if (w != kWalkFound) return ListResult(w, kGoOn);
  CLevelLister lister(this, &run);
  return Finish(lister.Cities(parent));
}

int CAdrsEngine::ListOazaByCode(const char* code, CAdrsContext* context, int32_t* count,
                                int32_t limit, int32_t* truncated, char* msg) {
  if (!CheckArguments(this, context, count, truncated, msg)) return 0;
  ListRun run = MakeRun(context, count, limit, truncated, nullptr, msg);
  CWalker walker(this, msg);
  TixEntry parent;
  const int w = walker.CityByCode(code, &parent);
  if (w != kWalkFound) return ListResult(w, kGoOn);
  CLevelLister lister(this, &run);
  return Finish(lister.Oaza(parent));
}

int CAdrsEngine::ListBlocksByCode(const char* code, CAdrsContext* context, int32_t* count,
                                  int32_t limit, int32_t* truncated, CPlaceCodeRegistry* registry,
                                  char* msg) {
  if (!CheckArguments(this, context, count, truncated, msg)) return 0;
  ListRun run = MakeRun(context, count, limit, truncated, registry, msg);
  CWalker walker(this, msg);
  CLevelLister lister(this, &run);
  int step = kGoOn;
  const int walk = walker.EachChomeByCode(
      code ? code : "", &step,
      [&](const TixEntry& entry, const std::string& place) { return lister.Blocks(entry, place); });
  return ListResult(walk, step);
}

int CAdrsEngine::ListLotsByCode(const char* code, CAdrsContext* context, int32_t* count,
                                int32_t limit, int32_t* truncated, CPlaceCodeRegistry* registry,
                                char* msg) {
  if (!CheckArguments(this, context, count, truncated, msg)) return 0;
  ListRun run = MakeRun(context, count, limit, truncated, registry, msg);
  CWalker walker(this, msg);
  CLevelLister lister(this, &run);
  const char* text = code ? code : "";
  // The block code follows the place code.
  const char* blockCode = std::strlen(text) > kPlaceCodeLength ? text + kPlaceCodeLength : "";
  int step = kGoOn;
  const int walk =
      walker.EachChomeByCode(text, &step, [&](const TixEntry&, const std::string& place) {
        return lister.Lots(place, blockCode, true);
      });
  return ListResult(walk, step);
}

// ---------------------------------------------------------------------------
// Questions about children

int CAdrsEngine::HasBlocksOrLots(const char* code, char* msg) {
  if (!CheckReady(msg)) return -1;
  // The walk's not-found texts are no failure and stay out of msg.
  char scratch[kMessageSize] = "";
  ListRun run = ExistsRun(scratch);
  CWalker walker(this, scratch);
  CLevelLister lister(this, &run);
  int step = kGoOn;
  const int walk = walker.EachChomeByCode(
      code ? code : "", &step,
      [&](const TixEntry& entry, const std::string& place) { return lister.Blocks(entry, place); });
  if (walk == kWalkFailed || step == kFailed) {
    if (msg) std::memcpy(msg, scratch, kMessageSize);
    return -1;
  }
  return run.found ? 1 : 0;
}

int CAdrsEngine::HasBlocksOrLotsUnderChome(uint32_t childBase, uint16_t childCount,
                                           const char* placeCode, char* msg) {
  if (!CheckReady(msg)) return -1;
  ListRun run = ExistsRun(msg);
  CLevelLister lister(this, &run);
  TixEntry chome;
  chome.childBase = childBase;
  chome.childCount = childCount;
  if (lister.Blocks(chome, placeCode ? placeCode : "") == kFailed) return -1;
  return run.found ? 1 : 0;
}

int CAdrsEngine::HasLotsForBlock(const char* placeCode, const char* blockName, char* msg) {
  if (!CheckReady(msg)) return -1;
  ListRun run = ExistsRun(msg);
  CLevelLister lister(this, &run);
  if (lister.Lots(placeCode ? placeCode : "", blockName ? blockName : "", false) == kFailed) {
    return -1;
  }
  return run.found ? 1 : 0;
}

int CAdrsEngine::LookupCityCodeByGroupCode(const char* groupCode, char* code, std::size_t codeSize,
                                           char* msg) {
  if (code && codeSize > 0) code[0] = '\0';
  if (groupIndexMode_ != 1) {
    SetMessage(msg, kMsgGroupLookupNotReady);
    return 0;
  }
  if (!CheckReady(msg)) return 0;
  uint32_t record = 0;
  char text[kFieldValueSize];
  if (!FindRecordInIndexFile(database_, groupIndexPath_, kTableOaza, kFieldGroupCode,
                             groupCode ? groupCode : "", true, &record, msg) ||
      !ReadStringField(database_, record, kTableOaza, kFieldCityCode, text, sizeof text, msg)) {
    return 0;
  }
  if (!code || std::strlen(text) >= codeSize) {
    SetFieldValueErrorMessage(msg, database_, kTableOaza, kFieldCityCode);
    return 0;
  }
  std::memcpy(code, text, std::strlen(text) + 1);
  return 1;
}
