// The name levels of the address matcher: prefecture, municipality, oaza
// and aza/chome. Each level walks the index entries under the entry the
// level above chose, compares each row's name with the edit text at its
// cursor (the head of the current text), descends into the next level for
// every row that matches and keeps the best candidate by the level's
// comparator. Every descent is bracketed by a mark and a rollback, so a
// tried row leaves no trace in the text.

#include "matching/name_levels.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "common/kanji_numeral.h"
#include "common/message.h"
#include "common/number_parse.h"
#include "common/sjis_internal.h"
#include "common/sjis_text.h"
#include "matching/adrs_engine.h"
#include "matching/candidate_compare.h"
#include "matching/derived_bytes.h"
#include "matching/edit_text.h"
#include "matching/name_candidates.h"
#include "matching/name_compare.h"
#include "matching/name_table_store.h"
#include "matching/normalize.h"
#include "tabledb/file_cache.h"
#include "tabledb/table_database.h"
#include "tabledb/table_names.h"
#include "tabledb/tc_access.h"

namespace {

constexpr std::size_t kFieldSize = CAdrsEngine::kTextSize;

// Field names, kanji form and reading form.
struct FieldPair {
  const char* kanji;
  const char* kana;
  const char* Get(int kana) const { return kana ? this->kana : this->kanji; }
};
constexpr FieldPair kPrefectureName = {"正規都道府県名", "正規かな読み都道府県名"};
constexpr FieldPair kCountyName = {"正規郡名", "正規かな読み郡名"};
constexpr FieldPair kCityName = {"正規市区町村名", "正規かな読み市区町村名"};
constexpr FieldPair kOazaWrittenName = {"大字通称名", "かな読み大字通称名"};
constexpr FieldPair kOazaName = {"正規大字通称名", "正規かな読み大字通称名"};
constexpr FieldPair kChomeWrittenName = {"字丁目名", "かな読み字丁目名"};
constexpr FieldPair kChomeName = {"正規字丁目名", "正規かな読み字丁目名"};
constexpr char kControlField[] = "制御コード";

// A text field of a row (out holds kFieldSize bytes).
int ReadText(CTableDatabase* db, uint32_t record, const char* table, const char* field, char* out,
             char* msg) {
  return ReadStringField(db, record, table, field, out, kFieldSize, msg);
}

// 状態フラグ as a number; a value that does not parse counts as 0.
int32_t StatusValue(const char* text) {
  int32_t value = 0;
  if (!ParseIntInRange(text, &value, INT32_MIN, INT32_MAX)) value = 0;
  return value;
}

int Length(const char* text) { return static_cast<int>(std::strlen(text)); }

bool StartsWith(const char* text, const char* prefix) {
  return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

using sjis_internal::CharLen;

// A street district (Kyoto): 地名コード beginning with 261 whose ninth
// character is 9.
bool IsStreetDistrict(const char* placeCode) {
  return std::strncmp(placeCode, "261", 3) == 0 && std::strlen(placeCode) >= 9 &&
         placeCode[8] == '9';
}

// Double-byte characters that both texts begin with, in bytes.
int CommonDoubleByteHead(const char* a, const char* b) {
  int i = 0;
  while (CharLen(a + i) == 2 && CharLen(b + i) == 2 && a[i] == b[i] && a[i + 1] == b[i + 1]) i += 2;
  return i;
}

// Characters that both texts begin with, in bytes.
int CommonHead(const char* a, const char* b) {
  int i = 0;
  for (;;) {
    const int n = CharLen(a + i);
    if (n == 0 || n != CharLen(b + i) || std::strncmp(a + i, b + i, static_cast<std::size_t>(n)))
      return i;
    i += n;
  }
}

// A run of numerals of one kind at p: its value (-1 when it does not read)
// and its bytes.
int32_t NumeralRun(const char* p, int* length) {
  const int kind = NumeralKindAt(p);
  const char* q = p;
  while (kind != 0 && NumeralKindAt(q) == kind) q += 2;
  *length = static_cast<int>(q - p);
  if (kind == 0) return -1;
  return KanjiNumeralToInt(std::string(p, q).c_str());
}

// A private copy of the text at the cursor with the extra replacement pairs
// applied, for the branches that compare a name's head with the text.
class CSideText {
 public:
  CSideText(const CEditText* text, const CRecordList* extra) {
    ok_ = side_.Init(text->GetText()) != 0;
    if (ok_ && extra != nullptr && extra->GetCount() > 0)
      ok_ = ApplyReplacementPairsToEditText(extra, &side_) != 0;
  }
  bool ok() const { return ok_; }
  const char* Text() const { return side_.GetText(); }
  // The bytes of the edit text at the cursor that the first n bytes of the
  // copy stand for; -1 when the pairs changed what follows them, so that
  // the two would not line up.
  int MapConsumed(int n) {
    const int16_t mark = side_.BeginMark();
    int mapped = -1;
    if (n == 0 || side_.Delete(1, n)) {
      const char* rest = side_.GetOriginalPointer(1);
      if (std::strcmp(rest, side_.GetText()) == 0)
        mapped = Length(side_.GetVersionText(1)) - Length(rest);
    }
    side_.RollbackTo(mark);
    return mapped;
  }
  // Takes the shared head of the copy off the edit text, with a separator
  // after it when the copy ends there or a numeral follows; false when the
  // two do not line up.
  bool ConsumeHead(CEditText* text, int head, int kana) {
    const char* t = Text();
    int n = head;
    const int separator = MatchWordAt(t + head, SeparatorWords(kana));
    if (separator > 0 && (t[head + separator] == '\0' || NumeralKindAt(t + head + separator) != 0))
      n += separator;
    const int mapped = MapConsumed(n);
    if (mapped < 0) return false;
    if (mapped > 0) text->Delete(1, mapped);
    return true;
  }

 private:
  CEditText side_;
  bool ok_ = false;
};

// The best candidate of the oaza level and what it takes along.
struct OazaBest {
  OazaCandidate values = kOazaCandidateStart;
  int32_t parent = 0;
  int16_t entry = 0;
  int32_t row = 0;
  std::string rest;
  std::string chomeRest;
  std::string groupCode;
};

// The best candidate of the chome level.
struct ChomeBest {
  ChomeCandidate values = kChomeCandidateStart;
  int32_t parent = 0;
  int16_t entry = 0;
  int32_t row = 0;
  std::string rest;
  std::string textAfter;
};

// The name of a kept table: what it lists, the index image, kind and
// rows, the switch and the extra pairs it was made with.
std::string TableKey(const char* what, uint64_t indexId, int32_t kind, uint32_t childBase,
                     uint16_t count, int kana, std::size_t extraSignatureHash) {
  std::string key(what);
  key.reserve(key.size() + 6 * 22);
  auto add = [&key](auto n) {
    char digits[24];
    key += ' ';
    key.append(digits, std::to_chars(digits, digits + sizeof digits, n).ptr);
  };
  add(indexId);
  add(kind);
  add(childBase);
  add(count);
  add(kana);
  add(extraSignatureHash);
  return key;
}

// Where a kept table is also kept between processes.
struct StoredTable {
  bool kept = false;
  StoredNameTableId id;
};

// The table kept under the key with the image: on first need taken from
// the store that where() names (when there is one), else made by build
// (and, complete, added to the store); none when build cannot make it
// (nothing is kept then) or the kept one was made with other extra pairs
// (a hash clash).
template <typename Where, typename Build>
std::shared_ptr<const NameTable> KeptTable(CCachedFile& image, const std::string& key,
                                           const std::string& signature, uint16_t count,
                                           Where&& where, Build&& build) {
  std::shared_ptr<const void> kept = image.GetDerived(key);
  if (!kept) {
    auto table = std::make_shared<NameTable>();
    table->extraSignature = signature;
    const StoredTable stored = where();
    if (!stored.kept || !FindStoredNameTable(stored.id, count, table.get())) {
      if (!build(table.get())) return nullptr;
      if (stored.kept && table->complete) KeepStoredNameTable(stored.id, *table);
    }
    kept = image.SetDerived(key, std::move(table));
  }
  auto table = std::static_pointer_cast<const NameTable>(kept);
  return table->extraSignature == signature ? table : nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// Prefecture

int CAdrsEngine::MatchPrefecture(CEditText* text, int32_t* level, int32_t* parent, int16_t* entry,
                                 char* msg) {
  const int kana = kanaSwitch_;
  uint32_t count = index_.Header().levels[kTixPrefecture].count;
  if (count > UINT16_MAX) count = UINT16_MAX;
  char name[kFieldSize];
  for (uint32_t n = 1; n <= count; ++n) {
    TixEntry e;
    if (!ReadPrefectureEntry(static_cast<uint16_t>(n), &e, msg)) return -1;
    if (!ReadText(database_, e.record, kTablePrefecture, kPrefectureName.Get(kana), name, msg))
      return -1;
    if (!StartsWith(text->GetText(), name)) continue;
    // The first prefecture in entry order whose name begins the text.
    SetMatchedPrefectureRow(static_cast<int32_t>(e.record));
    const int16_t mark = text->BeginMark();
    if (name[0] != '\0') text->Delete(1, Length(name));
    const int16_t inner = text->BeginMark();
    const int result = MatchCity(text, e.childBase, e.childCount, level, parent, entry, msg);
    text->RollbackTo(inner);
    if (result == 0) {
      *level = 1;
      *parent = 0;
      *entry = static_cast<int16_t>(n);
      SetUnmatchedText(text->GetOriginalPointer(1));
    }
    text->RollbackTo(mark);
    return result != 0 ? result : 1;
  }
  SetUnmatchedText(text->GetOriginalPointer(1));
  return 0;
}

int CAdrsEngine::SinglePrefectureCities(std::string* name, std::shared_ptr<const NameTable>* table,
                                        uint16_t* count) {
  const int kana = kanaSwitch_;
  if (!index_.IsOpen() || index_.Header().levels[kTixPrefecture].count != 1) return 0;
  char msg[kMessageSize] = "";
  char text[kFieldSize];
  TixEntry e;
  if (!ReadPrefectureEntry(1, &e, msg) ||
      !ReadText(database_, e.record, kTablePrefecture, kPrefectureName.Get(kana), text, msg))
    return 0;
  std::shared_ptr<const std::vector<CityRow>> rows;
  auto kept = KeptCityTable(e.childBase, e.childCount, kana, &rows);
  if (!kept || !kept->complete) return 0;
  *name = text;
  *table = std::move(kept);
  *count = e.childCount;
  return 1;
}

// ---------------------------------------------------------------------------
// Municipality

// The index entry and the two names of one municipality row.
struct CAdrsEngine::CityRow {
  TixEntry entry;
  std::string county;
  std::string city;
};

std::string CAdrsEngine::CityRowsKey(uint32_t childBase, uint16_t count, int kana) const {
  return "municipalities " + std::to_string(index_.GetSharedImage()->GetId()) + " " +
         std::to_string(GetIndexKind()) + " " + std::to_string(childBase) + " " +
         std::to_string(count) + " " + std::to_string(kana);
}

std::shared_ptr<const std::vector<CAdrsEngine::CityRow>> CAdrsEngine::KeptCityRows(
    uint32_t childBase, uint16_t count, int kana, int visitsBefore) {
  // Kept with the database's image for the index image it was read from:
  // a changed file of either has a new image, and with it new rows.
  const auto& indexImage = index_.GetSharedImage();
  if (!indexImage || !database_ || !database_->GetSharedImage()) return nullptr;
  CCachedFile& databaseImage = *database_->GetSharedImage();
  const std::string key = CityRowsKey(childBase, count, kana);
  if (auto kept = databaseImage.GetDerived(key))
    return std::static_pointer_cast<const std::vector<CityRow>>(kept);
  if (visitsBefore > 0) {
    struct Visits {
      mutable std::atomic<int> count{0};
    };
    const std::string met = key + " met";
    auto visits = std::static_pointer_cast<const Visits>(databaseImage.GetDerived(met));
    if (!visits)
      visits = std::static_pointer_cast<const Visits>(
          databaseImage.SetDerived(met, std::make_shared<const Visits>()));
    if (visits->count.fetch_add(1, std::memory_order_relaxed) < visitsBefore) return nullptr;
  }
  auto rows = std::make_shared<std::vector<CityRow>>();
  rows->reserve(count);
  // A row that does not read is left to the match, which reports it.
  char scratch[kMessageSize] = "";
  char county[kFieldSize];
  char city[kFieldSize];
  // The two fields are looked up once for all rows, and each row's record
  // read once for both, with the reads' answers by field name (a field
  // that is missing or of another type fails every row's read).
  uint32_t countyAt = 0;
  uint32_t cityAt = 0;
  const bool fields =
      database_->FindTyped(kTableCity, kCountyName.Get(kana), kTdbString, &countyAt) &&
      database_->FindTyped(kTableCity, kCityName.Get(kana), kTdbString, &cityAt);
  for (uint32_t n = 1; n <= count; ++n) {
    CityRow row;
    if (!ReadCityEntry(childBase, static_cast<uint16_t>(n), &row.entry, scratch) || !fields)
      return nullptr;
    // (A view whose record does not read fails each read, as the reads by
    // the record's position do.)
    TdbRecordView record;
    database_->ReadRecord(row.entry.record, &record);
    if (!database_->GetStringAt(record, countyAt, county, kFieldSize) ||
        !database_->GetStringAt(record, cityAt, city, kFieldSize))
      return nullptr;
    row.county = county;
    row.city = city;
    rows->push_back(std::move(row));
  }
  return std::static_pointer_cast<const std::vector<CityRow>>(
      databaseImage.SetDerived(key, std::move(rows)));
}

namespace {

// The key rules of two pair lists with these signatures (ExtraPairsSignature),
// made once in the process and shared: an engine lives for one call, and the
// pairs seldom change from call to call. The rules of the last few pairs are
// kept.
std::shared_ptr<const NameKeyRules> KeyRulesOfPairs(const std::string& extraSignature,
                                                    const std::string& replacementSignature,
                                                    const CRecordList* extra,
                                                    const CRecordList* replacements) {
  struct Kept {
    std::string extra, replacements;  // the signatures
    std::shared_ptr<const NameKeyRules> rules;
  };
  static std::mutex mutex;
  static auto* kept = new std::vector<Kept>;  // never destroyed: used until exit
  {
    std::lock_guard<std::mutex> lock(mutex);
    for (const Kept& k : *kept)
      if (k.extra == extraSignature && k.replacements == replacementSignature) return k.rules;
  }
  auto made = std::make_shared<NameKeyRules>();
  made->AddPairs(extra);
  made->AddPairs(replacements);
  made->Finish();
  std::lock_guard<std::mutex> lock(mutex);
  if (kept->size() >= 8) kept->erase(kept->begin());
  kept->push_back(Kept{extraSignature, replacementSignature, made});
  return made;
}

}  // namespace

const std::string& CAdrsEngine::ExtraSignature() {
  if (!extraSignatureReady_) {
    extraSignature_ = ExtraPairsSignature(extraReplacementList_);
    extraSignatureHash_ = std::hash<std::string>{}(extraSignature_);
    // Without a replacement list, the extra list's alone.
    const std::string replacements = ExtraPairsSignature(replacementList_);
    std::string signature;
    if (replacements.empty()) {
      signature = extraSignature_;
    } else {
      CDerivedBytesWriter w(&signature);
      w.PutText(extraSignature_);
      w.PutText(replacements);
    }
    // The rules follow the pairs: made again only when these changed.
    if (signature != oazaSignature_ || !keyRules_) {
      oazaSignature_ = std::move(signature);
      oazaSignatureHash_ = std::hash<std::string>{}(oazaSignature_);
      keyRules_ =
          KeyRulesOfPairs(extraSignature_, replacements, extraReplacementList_, replacementList_);
    }
    extraSignatureReady_ = true;
  }
  return extraSignature_;
}

const NameKeyRules& CAdrsEngine::KeyRules() {
  ExtraSignature();
  return *keyRules_;
}

const std::string& CAdrsEngine::OazaSignature() {
  ExtraSignature();
  return oazaSignature_;
}

namespace {

// The municipality name as MatchCity compares it.
const char* ComparedCityName(const char* city, int kana) {
  if (!kana && std::strcmp(city, "千丁町") == 0) return "１０００丁町";
  return city;
}

}  // namespace

namespace {

constexpr char kCityTableName[] = "municipality names";
constexpr char kOazaTableName[] = "oaza names";

}  // namespace

bool CAdrsEngine::NameTableIdentity(const char* what, uint32_t childBase, uint16_t count, int kana,
                                    StoredNameTableId* id) {
  const auto& indexImage = index_.GetSharedImage();
  if (!indexImage || !database_ || !database_->GetSharedImage()) return false;
  const CCachedFile& databaseImage = *database_->GetSharedImage();
  const std::string& native = databaseImage.GetNative();
  const std::size_t slash = native.rfind('/');
  id->folder = native.substr(0, slash == std::string::npos ? 0 : slash);
  id->item.clear();
  CDerivedBytesWriter w(&id->item);
  // The files it is read from, by name (each prefecture's lists are its
  // own), then what it lists.
  const std::string& index = indexImage->GetNative();
  w.PutText(native.substr(slash == std::string::npos ? 0 : slash + 1));
  w.PutText(index.substr(index.rfind('/') == std::string::npos ? 0 : index.rfind('/') + 1));
  w.PutText(what);
  w.Put(static_cast<int32_t>(GetIndexKind()));
  w.Put(childBase);
  w.Put(count);
  w.Put(static_cast<int32_t>(kana));
  // The oaza tables' keys follow the replacement list too.
  if (std::strcmp(what, kOazaTableName) == 0) w.PutText(OazaSignature());
  w.PutText(ExtraSignature());
  id->files[0] = databaseImage.GetStamp();
  id->files[1] = indexImage->GetStamp();
  return true;
}

namespace {

// Where a table of the engine's files is kept between processes.
StoredTable StoredTableOf(CAdrsEngine* engine, const char* what, uint32_t childBase, uint16_t count,
                          int kana) {
  StoredTable stored;
  stored.kept = engine->NameTableIdentity(what, childBase, count, kana, &stored.id);
  return stored;
}

}  // namespace

void CAdrsEngine::BuildCityTable(uint16_t count, int kana, const std::vector<CityRow>& rows,
                                 NameTable* table) {
  table->Reserve(count, false);
  // The county and the name, each read into a field (so shorter than one).
  char both[2 * kFieldSize];
  for (uint16_t n = 1; n <= count && n <= rows.size(); ++n) {
    const CityRow& row = rows[n - 1];
    const char* city = ComparedCityName(row.city.c_str(), kana);
    const std::size_t countyLength = std::min(row.county.size(), kFieldSize - 1);
    const std::size_t cityLength = std::min(std::strlen(city), kFieldSize - 1);
    std::memcpy(both, row.county.data(), countyLength);
    std::memcpy(both + countyLength, city, cityLength);
    both[countyLength + cityLength] = '\0';
    table->AddName(n, both, extraReplacementList_, false, false, true);
    if (!row.county.empty()) table->AddName(n, city, extraReplacementList_, false, false, true);
  }
  if (rows.size() == count) table->Finish(count);
}

std::shared_ptr<const NameTable> CAdrsEngine::KeptCityTable(
    uint32_t childBase, uint16_t count, int kana,
    std::shared_ptr<const std::vector<CityRow>>* rows) {
  const auto& indexImage = index_.GetSharedImage();
  if (!indexImage || !database_ || !database_->GetSharedImage()) return nullptr;
  const std::string& signature = ExtraSignature();
  const std::string key = TableKey(kCityTableName, indexImage->GetId(), GetIndexKind(), childBase,
                                   count, kana, extraSignatureHash_);
  return KeptTable(
      *database_->GetSharedImage(), key, signature, count,
      [&] { return StoredTableOf(this, kCityTableName, childBase, count, kana); },
      [&](NameTable* table) {
        // Made from the rows, read (and kept) only now that they are needed.
        if (!*rows) *rows = KeptCityRows(childBase, count, kana);
        if (!*rows) return false;
        BuildCityTable(count, kana, **rows, table);
        return true;
      });
}

std::shared_ptr<const NameTable> CAdrsEngine::MadeCityTable(uint32_t childBase, uint16_t count,
                                                            int kana) {
  const auto rows = KeptCityRows(childBase, count, kana);
  if (!rows) return nullptr;
  auto table = std::make_shared<NameTable>();
  table->extraSignature = ExtraSignature();
  BuildCityTable(count, kana, *rows, table.get());
  return table;
}

namespace {

// The best municipality candidate so far.
struct CityBest {
  CityCandidate values = kCityCandidateStart;
  int32_t parent = 0;
  int16_t entry = 0;
  int32_t cityRow = 0;
  int32_t nameRow = 0;
  std::string rest;
};

// Compares a municipality's name (its county and name, or, when the county
// may be left out, the name alone) with the text at the cursor, as it is
// and after the replacement pairs (`replaced`); the bytes of the edit text
// it takes, or -1. A match after the pairs applies them to the edit text,
// so that the count fits it.
int CityNameConsumed(CEditText* text, const std::string& replaced, const CRecordList* list,
                     const std::string& full, const char* city, bool alone,
                     const CRecordList* extra) {
  int consumed = 0;
  bool matched = ComparePrefixTolerant(text->GetText(), full.c_str(), extra, &consumed) != 0;
  if (!matched && list != nullptr) {
    matched = ComparePrefixTolerant(replaced.c_str(), full.c_str(), extra, &consumed) ||
              (alone && ComparePrefixTolerant(replaced.c_str(), city, extra, &consumed));
    if (matched && !ApplyReplacementPairsToEditText(list, text)) matched = false;
  } else if (!matched && alone) {
    matched = ComparePrefixTolerant(text->GetText(), city, extra, &consumed) != 0;
  }
  return matched ? consumed : -1;
}

}  // namespace

int CAdrsEngine::MatchCity(CEditText* text, uint32_t childBase, uint16_t count, int32_t* level,
                           int32_t* parent, int16_t* entry, char* msg) {
  const int kana = kanaSwitch_;
  const CRecordList* list = replacementList_;
  CityBest best;

  // The text at the cursor with the replacement pairs applied.
  const std::string replaced =
      list != nullptr ? ReplacedText(list, text->GetText()) : std::string();

  char county[kFieldSize];
  char city[kFieldSize];
  char status[kFieldSize];
  // The rows whose names can begin the text (matching/name_candidates.h).
  const CNameCandidateSource& source = CurrentNameCandidateSource();
  // When a table picks the candidates, the first matches read their rows
  // alone (a job matches a prefecture once, or twice when it scans the
  // prefectures and passes over the one chosen again); a process that
  // keeps coming back reads every row once and keeps them.
  constexpr int kVisitsBeforeRows = 2;
  std::shared_ptr<const std::vector<CityRow>> rows =
      KeptCityRows(childBase, count, kana, source.UsesTables() ? kVisitsBeforeRows : 0);
  NameQuery query;
  query.AddText(text->GetText(), extraReplacementList_);
  if (list != nullptr) query.AddText(replaced.c_str(), extraReplacementList_);
  std::vector<uint16_t> candidates;
  source.Select(source.UsesTables() ? KeptCityTable(childBase, count, kana, &rows).get() : nullptr,
                query, count, &candidates);
  const int16_t mark = text->BeginMark();
  auto fail = [&] {
    text->RollbackTo(mark);
    return -1;
  };
  for (const uint32_t n : candidates) {
    text->RollbackTo(mark);
    TixEntry e;
    if (rows) {
      const CityRow& row = (*rows)[n - 1];
      e = row.entry;
      std::memcpy(county, row.county.c_str(), row.county.size() + 1);
      std::memcpy(city, row.city.c_str(), row.city.size() + 1);
    } else if (!ReadCityEntry(childBase, static_cast<uint16_t>(n), &e, msg) ||
               !ReadText(database_, e.record, kTableCity, kCountyName.Get(kana), county, msg) ||
               !ReadText(database_, e.record, kTableCity, kCityName.Get(kana), city, msg)) {
      return fail();
    }
    // The one municipality whose normalised name would not read as stored.
    if (const char* compared = ComparedCityName(city, kana); compared != city)
      std::strcpy(city, compared);
    // The municipality alone, when it has a county that may be left out.
    const bool alone = county[0] != '\0' && countyOptional_ == 1;
    const int consumed = CityNameConsumed(text, replaced, list, std::string(county) + city, city,
                                          alone, extraReplacementList_);
    if (consumed < 0 || consumed > text->GetLength()) continue;
    if (consumed > 0) text->Delete(1, consumed);

    const int16_t inner = text->BeginMark();
    NameLevelResult oaza;
    const int result = MatchOaza(text, e.childBase, e.childCount, &oaza, msg);
    text->RollbackTo(inner);
    if (result < 0) return fail();
    if (result > 0) {
      const CityCandidate candidate = {oaza.level,        consumed,        oaza.variantKind,
                                       oaza.oazaConsumed, oaza.chomeRoute, oaza.chomeConsumed,
                                       oaza.status};
      if (IsBetterCityCandidate(best.values, candidate, statusFilter_))
        best = CityBest{candidate,         oaza.parent,
                        oaza.entry,        static_cast<int32_t>(e.record),
                        GetOazaLevelRow(), GetRestAfterOaza()};
      continue;
    }
    if (!ReadText(database_, e.record, kTableCity, kFieldStatus, status, msg)) return fail();
    const CityCandidate candidate = {2, consumed, 2, 0, 1, 0, StatusValue(status)};
    if (IsBetterCityCandidate(best.values, candidate, statusFilter_))
      best = CityBest{candidate,
                      static_cast<int32_t>(childBase),
                      static_cast<int16_t>(n),
                      static_cast<int32_t>(e.record),
                      0,
                      text->GetOriginalPointer(1)};
  }
  text->RollbackTo(mark);
  if (best.values.level == 0) return 0;
  *level = best.values.level;
  *parent = best.parent;
  *entry = best.entry;
  SetMatchedRows(best.cityRow, best.nameRow);
  SetUnmatchedText(best.rest.c_str());
  return 1;
}

// ---------------------------------------------------------------------------
// Oaza

namespace {

// One oaza row while it is tried.
struct OazaRow {
  uint32_t record = 0;
  uint32_t childBase = 0;
  uint16_t childCount = 0;
  int16_t entry = 0;
  char writtenName[kFieldSize] = "";  // 大字通称名 (or reading), prepared
  char name[kFieldSize] = "";         // 正規大字通称名 (or reading), prepared
  char placeCode[kFieldSize] = "";
  bool street = false;
};

// Reads, on first need, the values of a row that only some candidates
// take along, and weighs the candidates of one oaza row.
class COazaWeigher {
 public:
  COazaWeigher(CAdrsEngine* engine, CTableDatabase* db, OazaBest* best, const OazaRow& row,
               uint32_t parentBase, int32_t filter, char* msg)
      : engine_(engine),
        db_(db),
        best_(best),
        row_(row),
        parentBase_(parentBase),
        filter_(filter),
        msg_(msg) {}

  // A candidate that went deeper, with the chome level's result: 1 weighed
  // (taken or not), -1 after a failed read.
  int Deeper(const NameLevelResult& chome, int32_t variant, int32_t oazaConsumed,
             int32_t controlRoute) {
    if (!ReadGroupCode()) return -1;
    const OazaCandidate candidate = {
        chome.level,         variant,      oazaConsumed, chome.chomeRoute,
        chome.chomeConsumed, chome.status, controlRoute};
    const std::string chomeRest = engine_->GetRestAfterChome();
    if (IsBetterOazaCandidateGroupRule(best_->values, best_->chomeRest.c_str(),
                                       best_->groupCode.c_str(), candidate, chomeRest.c_str(),
                                       groupCode_, filter_)) {
      best_->values = candidate;
      best_->parent = chome.parent;
      best_->entry = chome.entry;
      best_->row = engine_->GetChomeRow();
      best_->rest = chomeRest;
      best_->chomeRest = chomeRest;
      best_->groupCode = groupCode_;
    }
    return 1;
  }

  // A candidate at the oaza level itself; rest is the written form after
  // the name.
  int OazaOnly(int32_t variant, int32_t oazaConsumed, int32_t controlRoute, const char* rest) {
    if (!haveStatus_) {
      char text[kFieldSize];
      if (!ReadText(db_, row_.record, kTableOaza, kFieldStatus, text, msg_)) return -1;
      status_ = StatusValue(text);
      haveStatus_ = true;
    }
    const OazaCandidate candidate = {3, variant, oazaConsumed, 1, 0, status_, controlRoute};
    if (IsBetterOazaCandidate(best_->values, candidate, filter_)) {
      best_->values = candidate;
      best_->parent = static_cast<int32_t>(parentBase_);
      best_->entry = row_.entry;
      best_->row = static_cast<int32_t>(row_.record);
      best_->rest = rest;
      best_->chomeRest.clear();
      best_->groupCode.clear();
    }
    return 1;
  }

 private:
  int ReadGroupCode() {
    if (haveGroup_) return 1;
    if (!ReadText(db_, row_.record, kTableOaza, kFieldGroupCode, groupCode_, msg_)) return 0;
    haveGroup_ = true;
    return 1;
  }

  CAdrsEngine* engine_;
  CTableDatabase* db_;
  OazaBest* best_;
  const OazaRow& row_;
  uint32_t parentBase_;
  int32_t filter_;
  char* msg_;
  bool haveStatus_ = false;
  int32_t status_ = 0;
  bool haveGroup_ = false;
  char groupCode_[kFieldSize] = "";
};

}  // namespace

void CAdrsEngine::BuildOazaTable(uint32_t childBase, uint16_t count, int kana, NameTable* table) {
  // The fields MatchOaza reads of every row it compares by name; a row
  // that does not read leaves the table incomplete.
  // The fields are looked up once for all rows: a field that is missing
  // or of another type fails every row's read, and the table stays
  // incomplete as it would row by row.
  char scratch[kMessageSize] = "";
  char written[kFieldSize];
  char name[kFieldSize];
  char placeCode[kFieldSize];
  bool complete = database_ != nullptr;
  uint32_t writtenAt = 0;
  uint32_t placeCodeAt = 0;
  uint32_t nameAt = 0;
  uint32_t controlAt = 0;
  auto fieldAt = [&](const char* field, int32_t type, uint32_t* offset) {
    return database_->FindTyped(kTableOaza, field, type, offset) != 0;
  };
  const bool fields = complete && fieldAt(kOazaWrittenName.Get(kana), kTdbString, &writtenAt) &&
                      fieldAt(kFieldPlaceCode, kTdbString, &placeCodeAt) &&
                      fieldAt(kOazaName.Get(kana), kTdbString, &nameAt);
  const bool controlField = complete && fieldAt(kControlField, kTdbInt, &controlAt);
  // Kanji names are filed by their firm keys (a bound of their own,
  // matching/name_candidates.h), those without a key and readings by
  // their first characters.
  const NameKeyRules& rules = KeyRules();
  const bool keyed = !kana && !rules.unbounded;
  table->Reserve(count, keyed);
  // The entries are read a run at a time, and each row's record once for
  // its fields; a row whose entry or fields do not read ends the table
  // there, as when each is read on its own.
  constexpr uint32_t kRun = 64;
  TixEntry entries[kRun];
  const uint32_t textsAt[3] = {writtenAt, placeCodeAt, nameAt};
  char* const texts[3] = {written, placeCode, name};
  TdbTextView viewed[3];
  // A name by its key, or by its heads.
  auto add = [&](uint16_t row, const char* text) {
    if (!keyed || !table->AddKey(row, text, rules))
      table->AddName(row, text, extraReplacementList_, true, !kana);
  };
  // The same for a name's bytes in the data file's image (a keyed table).
  auto addBytes = [&](uint16_t row, std::string_view bytes) {
    if (table->AddKey(row, bytes, rules)) return;
    // (A text read fits kFieldSize with its NUL.)
    const std::size_t length = std::min(bytes.find('\0'), bytes.size());
    char text[kFieldSize];
    if (length > 0) std::memcpy(text, bytes.data(), length);
    text[length] = '\0';
    table->AddName(row, text, extraReplacementList_, true, !kana);
  };
  uint32_t runFirst = 1;  // entries runFirst..runEnd - 1 are in the run
  uint32_t runEnd = 1;
  for (uint32_t n = 1; n <= count && complete; ++n) {
    if (n == runEnd) {
      const uint32_t want = std::min<uint32_t>(kRun, count - n + 1);
      runFirst = n;
      runEnd = n + ReadOazaEntries(childBase, static_cast<uint16_t>(n), want, entries, scratch);
      if (n == runEnd) {
        complete = false;
        break;
      }
    }
    const TixEntry& e = entries[n - runFirst];
    TdbRecordView record;
    int32_t control = 0;
    complete = fields && database_->ReadRecord(e.record, &record);
    if (!complete) break;
    const auto row = static_cast<uint16_t>(n);
    // The texts of a keyed table are taken where they stand in the image,
    // not copied, and their keys made from there, when the preparation
    // leaves them as they are (the steps below, on texts that the
    // preparation does not change). A name added twice to a row is kept
    // once, so a name is added again rather than compared with the
    // written form as the texts it holds (which a NUL among its bytes may
    // end).
    const int views = keyed ? database_->ViewStringsAt(record, textsAt, viewed, 3, kFieldSize) : -1;
    if (views == 0) {
      complete = false;
      break;
    }
    const std::string_view writtenBytes(viewed[0].bytes, viewed[0].length);
    const std::string_view nameBytes(viewed[2].bytes, viewed[2].length);
    const bool sameBytes = views > 0 && SameBytes(nameBytes, writtenBytes);
    if (views > 0 && OazaNameLeftAsIs(writtenBytes, kana) &&
        (sameBytes || OazaNameLeftAsIs(nameBytes, kana))) {
      const bool writtenEmpty = writtenBytes.empty() || writtenBytes[0] == '\0';
      if (!writtenEmpty) {
        complete = controlField && database_->GetIntAt(record, controlAt, &control);
        if (!complete) break;
        addBytes(row, writtenBytes);
      }
      if (writtenEmpty || !sameBytes) addBytes(row, nameBytes);
      continue;
    }
    if (views > 0) {
      // As GetStringsAt copies them (the place code is not used).
      for (const int i : {0, 2}) {
        if (viewed[i].length > 0) std::memcpy(texts[i], viewed[i].bytes, viewed[i].length);
        texts[i][viewed[i].length] = '\0';
      }
    } else {
      complete = database_->GetStringsAt(record, textsAt, texts, 3, kFieldSize);
      if (!complete) break;
    }
    // Most rows are written as they are named: the name is prepared once
    // (and is then the prepared written form).
    const bool same = std::strcmp(written, name) == 0;
    PrepareOazaName(written, kana);
    if (!same) PrepareOazaName(name, kana);
    if (written[0] != '\0') {
      complete = controlField && database_->GetIntAt(record, controlAt, &control);
      add(row, written);
    }
    // A name the written form already gave adds nothing new.
    if (written[0] == '\0' || (!same && std::strcmp(written, name) != 0))
      add(row, same ? written : name);
  }
  if (complete) table->Finish(count);
}

std::shared_ptr<const NameTable> CAdrsEngine::KeptOazaTable(uint32_t childBase, uint16_t count,
                                                            int kana) {
  const auto& indexImage = index_.GetSharedImage();
  if (!indexImage || !database_ || !database_->GetSharedImage()) return nullptr;
  const std::string& signature = OazaSignature();
  const std::string key = TableKey(kOazaTableName, indexImage->GetId(), GetIndexKind(), childBase,
                                   count, kana, oazaSignatureHash_);
  return KeptTable(
      *database_->GetSharedImage(), key, signature, count,
      [&] { return StoredTableOf(this, kOazaTableName, childBase, count, kana); },
      [&](NameTable* table) {
        BuildOazaTable(childBase, count, kana, table);
        return true;
      });
}

std::shared_ptr<const NameTable> CAdrsEngine::MadeOazaTable(uint32_t childBase, uint16_t count,
                                                            int kana) {
  auto table = std::make_shared<NameTable>();
  table->extraSignature = OazaSignature();
  BuildOazaTable(childBase, count, kana, table.get());
  return table;
}

// One call of the oaza level: its text and marks, the row being tried and
// the best candidate so far.
struct CAdrsEngine::OazaTry {
  OazaTry(CEditText* t, uint32_t base, int k, const CRecordList* pairs, char* m)
      : text(t), childBase(base), kana(k), list(pairs), msg(m) {}
  CEditText* text;
  uint32_t childBase;
  int kana;
  const CRecordList* list;  // the replacement pairs
  char* msg;
  int16_t mark = 0;  // the text after the prefix words
  OazaBest best;
  OazaRow row;
  COazaWeigher* weigh = nullptr;  // of the row being tried
};

// The rows whose names can begin the text (matching/name_candidates.h): the
// text at the cursor, as the caller wrote it (the control route), and, in
// kanji, after the replacement pairs (all of them, and the first that
// occurs, once); rows whose names those pairs can change; every row when
// the text holds "００" (the names are then also compared with their
// numerals normalised).
void CAdrsEngine::OazaCandidates(const OazaTry& t, uint16_t count,
                                 std::vector<uint16_t>* candidates) {
  const CNameCandidateSource& source = CurrentNameCandidateSource();
  NameQuery query;
  const char* cursor = t.text->GetText();
  query.AddText(cursor, extraReplacementList_);
  query.AddText(t.text->GetOriginalPointer(1), nullptr, true);
  if (!t.kana) {
    // The firm keys of the text, of the text as written (the control
    // route) and of the text with its first iteration mark written out.
    query.AddKeyText(cursor, KeyRules());
    query.AddKeyText(t.text->GetOriginalPointer(1), KeyRules());
    const std::string expanded = ExpandIterationMark(cursor);
    if (!expanded.empty()) query.AddKeyText(expanded.c_str(), KeyRules());
  }
  if (!t.kana && FindSubstring("００", cursor) > 0) query.everything = true;
  if (!t.kana && !query.everything && t.list != nullptr && t.list->GetCount() > 0) {
    query.AddChangingPairs(t.list);
    CEditText edited;
    if (edited.Init(cursor) && ApplyReplacementPairsToEditText(t.list, &edited))
      query.AddText(edited.GetText(), extraReplacementList_);
    PairRecord pair;
    if (const int p = FirstOccurringPair(t.list, cursor, &pair); p > 0) {
      CEditText once;
      if (once.Init(cursor) && once.Replace(p, Length(pair.search), pair.replacement))
        query.AddText(once.GetText(), extraReplacementList_);
    }
  }
  source.Select(source.UsesTables() ? KeptOazaTable(t.childBase, count, t.kana).get() : nullptr,
                query, count, candidates);
}

// MatchChome on the row's children between a mark and a rollback, after
// the replacement pairs.
int CAdrsEngine::OazaChomeLevel(OazaTry& t, int numberGoesOn, NameLevelResult* chome) {
  if (t.list != nullptr) ApplyReplacementPairsToEditText(t.list, t.text);
  const int16_t inner = t.text->BeginMark();
  const int r = MatchChome(t.text, t.row.childBase, t.row.childCount, numberGoesOn, chome, t.msg);
  t.text->RollbackTo(inner);
  return r;
}

// The chome level after an oaza name and the weighing of what it gives:
// deeper, or the oaza itself when the number does not go on past the name
// (and `alone` allows it). -1 after a failure.
int CAdrsEngine::WeighOazaCandidate(OazaTry& t, int numberGoesOn, int32_t variant, int32_t consumed,
                                    int32_t controlRoute, bool alone) {
  NameLevelResult chome;
  const int r = OazaChomeLevel(t, numberGoesOn, &chome);
  if (r < 0) return -1;
  if (r > 0) return t.weigh->Deeper(chome, variant, consumed, controlRoute) < 0 ? -1 : 0;
  if (numberGoesOn || !alone) return 0;
  return t.weigh->OazaOnly(variant, consumed, controlRoute, t.text->GetOriginalPointer(1)) < 0 ? -1
                                                                                               : 0;
}

// Control route: the name as the caller wrote it. 1 when the row was
// taken this way, 0 when not, -1 after a failure.
int CAdrsEngine::OazaControlRoute(OazaTry& t, uint32_t record) {
  CEditText* text = t.text;
  if (t.row.writtenName[0] == '\0') return 0;
  int32_t control = 0;
  if (!ReadIntField(database_, record, kTableOaza, kControlField, &control, t.msg)) return -1;
  const char* written = text->GetOriginalPointer(1);
  if (control != 1 || !StartsWith(written, t.row.writtenName)) return 0;
  const int goesOn = NumberGoesOnPastName(written + Length(t.row.writtenName), t.row.writtenName);
  const int before = text->GetLength();
  if (!SkipWrittenName(text, t.row.writtenName)) return 0;
  const int consumed = before - text->GetLength();
  return WeighOazaCandidate(t, goesOn, kOazaAsWritten, consumed, 1, true) < 0 ? -1 : 1;
}

// Name route: the normalised name, compared with its variants. 1 when it
// matched, 0 when not, -1 after a failure.
int CAdrsEngine::OazaNameRoute(OazaTry& t, uint32_t record) {
  CEditText* text = t.text;
  OazaRow& row = t.row;
  if (!ReadText(database_, record, kTableOaza, kOazaName.Get(t.kana), row.name, t.msg)) return -1;
  PrepareOazaName(row.name, t.kana);
  const char* cursor = text->GetText();
  const char* matchedName = row.name;
  int consumed = 0;
  OazaVariant variant = kOazaAsWritten;
  int goesOn = 0;
  bool matched = row.name[0] == '\0';  // a placeholder matches nothing at all
  if (!matched) {
    int flag = 0;
    consumed = CompareNameVariants(cursor, row.name, unification_, t.list, row.street ? 1 : 0,
                                   t.kana, extraReplacementList_, &flag);
    if (consumed == 0 && row.writtenName[0] != '\0' &&
        std::strcmp(row.name, row.writtenName) != 0) {
      matchedName = row.writtenName;
      consumed = CompareNameVariants(cursor, row.writtenName, unification_, t.list,
                                     row.street ? 1 : 0, t.kana, extraReplacementList_, &flag);
    }
    if (consumed > 0 && consumed <= text->GetLength()) {
      matched = true;
      variant =
          WrittenPrefixEquals(text, consumed, row.writtenName) ? kOazaAsWritten : kOazaNameVariant;
      goesOn = NumberGoesOnPastName(cursor + consumed, matchedName);
    }
  }
  if (!matched) return 0;
  if (consumed > 0) text->Delete(1, consumed);
  const int16_t rowMark = text->BeginMark();
  // Pass 1 as matched; pass 2, for a street district, after the street
  // words that follow.
  for (int pass = 1; pass <= 2; ++pass) {
    text->RollbackTo(rowMark);
    OazaVariant passVariant = variant;
    int skipped = 0;
    if (pass == 2) {
      if (!row.street || goesOn) break;
      for (int k; (k = MatchWordAt(text->GetText(), StreetWords(t.kana))) > 0; skipped += k) {
        if (!text->Delete(1, k)) break;
      }
      if (skipped == 0) break;
      passVariant = kOazaNameVariant;
    }
    NameLevelResult chome;
    const int r = OazaChomeLevel(t, goesOn, &chome);
    if (r < 0) return -1;
    if (r > 0) {
      if (chome.level != 4 || row.name[0] != '\0' || chome.chomeConsumed > 0) {
        if (t.weigh->Deeper(chome, passVariant, consumed + skipped, 0) < 0) return -1;
      }
    } else if (row.name[0] != '\0' && !goesOn) {
      if (t.weigh->OazaOnly(passVariant, Length(matchedName), 0, text->GetOriginalPointer(1)) < 0)
        return -1;
    }
  }
  return 1;
}

// Numeral branch: the name and the text share a head and differ in how a
// number is written, or in a unit word after it. -1 after a failure.
int CAdrsEngine::OazaNumeralRoutes(OazaTry& t) {
  CEditText* text = t.text;
  CSideText side(text, extraReplacementList_);
  if (!side.ok()) return 0;
  const std::string name = ReplacedText(extraReplacementList_, t.row.name);
  const char* s = side.Text();
  const int head = CommonDoubleByteHead(s, name.c_str());
  if (head == 0) return 0;
  const std::string headText = name.substr(0, static_cast<std::size_t>(head));
  if (NumberGoesOnPastName(s + head, headText.c_str())) return 0;
  const int nameLength = Length(t.row.name);
  const int16_t rowMark = text->BeginMark();

  // The same number in another script.
  if (NumeralKindAt(s + head) != 0 && NumeralKindAt(name.c_str() + head) != 0) {
    int textRun = 0;
    int nameRun = 0;
    const int32_t textValue = NumeralRun(s + head, &textRun);
    const int32_t nameValue = NumeralRun(name.c_str() + head, &nameRun);
    const char* nameRest = name.c_str() + head + nameRun;
    const char* textRest = s + head + textRun;
    if (textValue >= 0 && textValue == nameValue && StartsWith(textRest, nameRest)) {
      const int sideConsumed = static_cast<int>(textRest - s) + Length(nameRest);
      const int mapped = side.MapConsumed(sideConsumed);
      if (mapped >= 0) {
        const int numberOn = NumberGoesOnPastName(s + sideConsumed, name.c_str());
        if (mapped > 0) text->Delete(1, mapped);
        if (WeighOazaCandidate(t, numberOn, kOazaAsWritten, nameLength, 0, true) < 0) return -1;
      }
    }
  }

  // A number followed by the unit word that ends the name.
  if (numberUnitSwitch_ == 0) return 0;
  const char* lastOfHead = GetLastCharPtr(headText.c_str());
  for (const NameWord* word = OazaUnitWords(t.kana); word->text != nullptr; ++word) {
    if (std::strcmp(name.c_str() + head, word->text) != 0) continue;
    if (word->needsNumber && NumeralKindAt(lastOfHead) == 0) continue;
    text->RollbackTo(rowMark);
    if (!side.ConsumeHead(text, head, t.kana)) continue;
    NameLevelResult chome;
    const int r = OazaChomeLevel(t, 0, &chome);
    if (r < 0) return -1;
    const char* after = GetTextAfterChome();
    if (r > 0 && chome.level == 4 && after[0] != '\0' && NumeralKindAt(after) == 0) continue;
    if (r > 0) {
      if (t.weigh->Deeper(chome, kOazaNumberUnit, nameLength, 0) < 0) return -1;
    } else if (t.weigh->OazaOnly(kOazaNumberUnit, nameLength, 0, text->GetOriginalPointer(1)) < 0) {
      return -1;
    }
    break;
  }
  return 0;
}

// One candidate row n, by the routes in turn. -1 after a failure.
int CAdrsEngine::TryOazaRow(OazaTry& t, uint32_t n) {
  t.text->RollbackTo(t.mark);
  TixEntry e;
  if (!ReadOazaEntry(t.childBase, static_cast<uint16_t>(n), &e, t.msg)) return -1;
  OazaRow& row = t.row;
  row = OazaRow();
  row.record = e.record;
  row.childBase = e.childBase;
  row.childCount = e.childCount;
  row.entry = static_cast<int16_t>(n);
  if (!ReadText(database_, e.record, kTableOaza, kOazaWrittenName.Get(t.kana), row.writtenName,
                t.msg) ||
      !ReadText(database_, e.record, kTableOaza, kFieldPlaceCode, row.placeCode, t.msg)) {
    return -1;
  }
  PrepareOazaName(row.writtenName, t.kana);
  // The row of the special name's place code is never an oaza candidate.
  if (specialNameCode_[0] != '\0' && std::strcmp(row.placeCode, specialNameCode_) == 0) return 0;
  row.street = IsStreetDistrict(row.placeCode);
  COazaWeigher weigh(this, database_, &t.best, row, t.childBase, statusFilter_, t.msg);
  t.weigh = &weigh;
  int r = OazaControlRoute(t, e.record);
  if (r == 0) r = OazaNameRoute(t, e.record);
  if (r == 0) r = OazaNumeralRoutes(t);
  t.weigh = nullptr;
  return r < 0 ? -1 : 0;
}

int CAdrsEngine::MatchOaza(CEditText* text, uint32_t childBase, uint16_t count,
                           NameLevelResult* result, char* msg) {
  if (matchDepth_ < 1) return 0;
  OazaTry t(text, childBase, kanaSwitch_, replacementList_, msg);
  const int16_t entryMark = text->BeginMark();
  const int prefix = MatchWordAt(text->GetText(), OazaPrefixWords(t.kana));
  if (prefix > 0) text->Delete(1, prefix);
  std::vector<uint16_t> candidates;
  OazaCandidates(t, count, &candidates);
  t.mark = text->BeginMark();
  for (const uint32_t n : candidates) {
    if (TryOazaRow(t, n) < 0) {
      text->RollbackTo(entryMark);
      return -1;
    }
  }
  text->RollbackTo(entryMark);
  const OazaBest& best = t.best;
  if (best.values.level == 0) return 0;
  result->level = best.values.level;
  result->parent = best.parent;
  result->entry = best.entry;
  result->oazaConsumed = best.values.oazaConsumed;
  result->variantKind = best.values.oazaVariant;
  result->chomeConsumed = best.values.chomeConsumed;
  result->chomeRoute = best.values.chomeRoute;
  result->status = best.values.status;
  SetOazaLevelRow(best.row);
  SetRestAfterOaza(best.rest.c_str());
  return 1;
}

// ---------------------------------------------------------------------------
// Aza and chome

namespace {

// The full-width form of a run of kanji numerals at the head of the text
// whose value reads and which no full-width digit follows; "" otherwise.
std::string FullWidthOfKanjiRun(const char* text, int* runLength) {
  *runLength = 0;
  if (NumeralKindAt(text) != 2) return std::string();
  int length = 0;
  const int32_t value = NumeralRun(text, &length);
  if (value < 0 || NumeralKindAt(text + length) == 1) return std::string();
  *runLength = length;
  return FullWidthNumber(value);
}

// Weighs the candidates of one chome row.
class CChomeWeigher {
 public:
  CChomeWeigher(CAdrsEngine* engine, CTableDatabase* db, ChomeBest* best, uint32_t record,
                int16_t entry, uint32_t parentBase, int32_t filter, char* msg)
      : engine_(engine),
        db_(db),
        best_(best),
        record_(record),
        entry_(entry),
        parentBase_(parentBase),
        filter_(filter),
        msg_(msg) {}

  // The block level below the chome at the cursor, then the weighing of
  // its result or of the chome itself. 1, or -1 after a failed read.
  int BlockOrChome(CEditText* text, uint32_t childBase, uint16_t childCount, int32_t route,
                   int32_t consumed, int32_t controlRoute) {
    char placeCode[kFieldSize];
    if (!ReadText(db_, record_, kTableOaza, kFieldPlaceCode, placeCode, msg_)) return -1;
    NumberMatch block;
    const int16_t inner = text->BeginMark();
    const int r = engine_->MatchBlock(childBase, childCount, placeCode, text, &block, msg_);
    text->RollbackTo(inner);
    if (r < 0) return -1;
    if (r > 0) {
      const ChomeCandidate candidate = {block.level,  route,           consumed,
                                        block.status, block.precision, controlRoute};
      if (IsBetterChomeCandidate(best_->values, candidate, filter_)) {
        best_->values = candidate;
        best_->parent = block.parent;
        best_->entry = block.entry;
        best_->row = static_cast<int32_t>(record_);
        best_->rest = engine_->GetRestAfterBlock();
        best_->textAfter.clear();
      }
      return 1;
    }
    char status[kFieldSize];
    char scale[kFieldSize];
    if (!ReadText(db_, record_, kTableOaza, kFieldStatus, status, msg_) ||
        !ReadText(db_, record_, kTableOaza, kFieldPrecision, scale, msg_)) {
      return -1;
    }
    const ChomeCandidate candidate = {
        4, route, consumed, StatusValue(status), PrecisionFromScale(scale), controlRoute};
    if (IsBetterChomeCandidate(best_->values, candidate, filter_)) {
      best_->values = candidate;
      best_->parent = static_cast<int32_t>(parentBase_);
      best_->entry = entry_;
      best_->row = static_cast<int32_t>(record_);
      best_->rest = text->GetOriginalPointer(1);
      best_->textAfter = text->GetText();
    }
    return 1;
  }

 private:
  CAdrsEngine* engine_;
  CTableDatabase* db_;
  ChomeBest* best_;
  uint32_t record_;
  int16_t entry_;
  uint32_t parentBase_;
  int32_t filter_;
  char* msg_;
};

}  // namespace

namespace {

// One chome row while its name is compared.
struct ChomeRow {
  const TixEntry& entry;
  const char* name;  // the normalised name, prepared
  int kana;
  const CRecordList* extra;
  CChomeWeigher* weigh;
};

// The chome level's name route: the name at the cursor; a second pass with
// a kanji numeral run at the cursor written in full-width digits
// (fullWidth, for runLength bytes). 1 when the name matched and was
// weighed, 0 when not, -1 after a failure.
int ChomeNameRoute(CEditText* text, const ChomeRow& row, int numberGoesOn,
                   const std::string& fullWidth, int runLength) {
  const char* name = row.name;
  for (int pass = 1; pass <= 2; ++pass) {
    if (pass == 2) {
      if (fullWidth.empty() || !text->Replace(1, runLength, fullWidth.c_str())) return 0;
    }
    const char* cursor = text->GetText();
    int consumed = 0;
    if (name[0] != '\0') {
      if (numberGoesOn && NumeralKindAt(name) == 0) continue;
      if (!ComparePrefixTolerant(cursor, name, row.extra, &consumed)) continue;
      if (consumed > text->GetLength() || NumberGoesOnPastName(cursor + consumed, name)) continue;
    } else if (numberGoesOn) {
      continue;
    }
    if (consumed > 0) text->Delete(1, consumed);
    SkipSeparator(text, row.kana);
    return row.weigh->BlockOrChome(text, row.entry.childBase, row.entry.childCount, 1, Length(name),
                                   0) < 0
               ? -1
               : 1;
  }
  return 0;
}

// The unit-word branch: the name ends in a unit word that the text leaves
// out after the shared head (３ for ３丁目). -1 after a failure.
int ChomeUnitWordRoute(CEditText* text, const ChomeRow& row) {
  CSideText side(text, row.extra);
  if (!side.ok()) return 0;
  const std::string sideName = ReplacedText(row.extra, row.name);
  const char* t = side.Text();
  const int head = CommonHead(t, sideName.c_str());
  if (head == 0) return 0;
  const std::string headText = sideName.substr(0, static_cast<std::size_t>(head));
  if (NumberGoesOnPastName(t + head, headText.c_str())) return 0;
  const int16_t rowMark = text->BeginMark();
  for (const NameWord* word = ChomeUnitWords(row.kana); word->text != nullptr; ++word) {
    if (std::strcmp(sideName.c_str() + head, word->text) != 0) continue;
    text->RollbackTo(rowMark);
    if (!side.ConsumeHead(text, head, row.kana)) continue;
    if (row.weigh->BlockOrChome(text, row.entry.childBase, row.entry.childCount, 1,
                                Length(row.name), 0) < 0)
      return -1;
  }
  return 0;
}

}  // namespace

int CAdrsEngine::MatchChome(CEditText* text, uint32_t childBase, uint16_t count, int numberGoesOn,
                            NameLevelResult* result, char* msg) {
  if (matchDepth_ < 2 || count == 0) return 0;
  const int kana = kanaSwitch_;
  const int16_t entryMark = text->BeginMark();
  const int prefix = MatchWordAt(text->GetText(), ChomePrefixWords(kana));
  if (prefix > 0) text->Delete(1, prefix);
  int runLength = 0;
  const std::string fullWidth = FullWidthOfKanjiRun(text->GetText(), &runLength);

  ChomeBest best;
  char name[kFieldSize];
  const int16_t mark = text->BeginMark();
  auto fail = [&]() {
    text->RollbackTo(entryMark);
    return -1;
  };
  for (uint32_t n = 1; n <= count; ++n) {
    text->RollbackTo(mark);
    TixEntry e;
    if (!ReadChomeEntry(childBase, static_cast<uint16_t>(n), &e, msg) ||
        !ReadText(database_, e.record, kTableOaza, kChomeWrittenName.Get(kana), name, msg)) {
      return fail();
    }
    PrepareChomeName(name, kana);
    CChomeWeigher weigh(this, database_, &best, e.record, static_cast<int16_t>(n), childBase,
                        statusFilter_, msg);

    // Control route: the name as the caller wrote it.
    int32_t control = 0;
    if (!ReadIntField(database_, e.record, kTableOaza, kControlField, &control, msg)) return fail();
    if (control == 1 && (name[0] != '\0' || !numberGoesOn)) {
      const char* written = text->GetOriginalPointer(1);
      if (StartsWith(written, name) && !NumberGoesOnPastName(written + Length(name), name) &&
          SkipWrittenName(text, name)) {
        SkipSeparator(text, kana);
        if (weigh.BlockOrChome(text, e.childBase, e.childCount, 0, Length(name), 1) < 0)
          return fail();
        continue;
      }
    }

    // Name route: the normalised name.
    if (!ReadText(database_, e.record, kTableOaza, kChomeName.Get(kana), name, msg)) return fail();
    PrepareChomeName(name, kana);
    const ChomeRow row{e, name, kana, extraReplacementList_, &weigh};
    int r = ChomeNameRoute(text, row, numberGoesOn, fullWidth, runLength);
    if (r == 0) r = ChomeUnitWordRoute(text, row);
    if (r < 0) return fail();
  }
  text->RollbackTo(entryMark);
  if (best.values.level == 0) return 0;
  result->level = best.values.level;
  result->parent = best.parent;
  result->entry = best.entry;
  result->chomeConsumed = best.values.chomeConsumed;
  result->chomeRoute = best.values.chomeRoute;
  result->status = best.values.status;
  result->precision = best.values.precision;
  SetChomeRow(best.row);
  SetRestAfterChome(best.rest.c_str());
  SetTextAfterChome(best.textAfter.c_str());
  return 1;
}
