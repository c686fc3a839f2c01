#include "gazref/level_search.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/kanji_numeral.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/number_parse.h"
#include "common/sjis_text.h"
#include "matching/adrs_engine.h"
#include "matching/adrs_listing.h"
#include "matching/change_code_records.h"
#include "matching/edit_text.h"
#include "matching/name_compare.h"
#include "matching/name_levels.h"
#include "matching/normalize.h"
#include "matching/result_line.h"
#include "tabledb/change_code_index.h"
#include "tabledb/table_database.h"
#include "tabledb/table_names.h"
#include "tabledb/tc_access.h"

namespace {

constexpr char kMsgHeader[] = "データベースの読み込みに失敗しました！";
constexpr char kMsgBadLevel[] = "不正なレベルが指定されました！[LEVEL:%ld]";
constexpr char kRegisterWhat[] = "地名コード登録";
// Entries of this state flag and above are skipped with all under them.
constexpr int32_t kAbolishedState = 3;
constexpr int kBlockCodeLength = 5;
constexpr std::size_t kTextSize = kFieldValueSize;

constexpr int32_t kLevelOaza = 3;
constexpr int32_t kLevelChome = 4;
constexpr int32_t kLevelBlock = 5;
constexpr int32_t kLevelLot = 6;

// A municipality stored under this name is compared as its digit form
// (the form the normalised input takes).
constexpr char kSenchoMachi[] = "千丁町";
constexpr char kSenchoMachiDigits[] = "１０００丁町";

bool StartsWith(const char* text, const std::string& head) {
  return std::strncmp(text, head.c_str(), head.size()) == 0;
}

// 1 when text is a beginning of name (text not empty).
bool Begins(const char* text, const std::string& name) {
  const std::size_t n = std::strlen(text);
  return n > 0 && n <= name.size() && name.compare(0, n, text) == 0;
}

// Byte length of the character at p (0 at the end).
int CharLength(const char* p) {
  if (*p == '\0') return 0;
  return IsLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0' ? 2 : 1;
}

// Start of the last character of the first n bytes of text.
const char* LastCharWithin(const char* text, int n) {
  const char* last = text;
  for (const char* p = text; p < text + n;) {
    last = p;
    const int len = CharLength(p);
    if (len == 0) break;
    p += len;
  }
  return last;
}

// Bytes of the run of numerals of one kind at p.
int NumeralRunLength(const char* p) {
  const int kind = NumeralKindAt(p);
  if (kind == 0) return 0;
  const char* q = p;
  while (*q && NumeralKindAt(q) == kind) q += CharLength(q);
  return static_cast<int>(q - p);
}

// The connector at p counts when the end of the text or a numeral follows
// it; its length, else 0.
int ConnectorAt(const char* p, int kana) {
  const int n = MatchWordAt(p, SeparatorWords(kana));
  if (n == 0) return 0;
  return (p[n] == '\0' || NumeralKindAt(p + n) != 0) ? n : 0;
}

std::string PaddedBlockCode(const std::string& code) {
  char padded[kTextSize + kBlockCodeLength] = "";
  std::snprintf(padded, sizeof padded, "%s", code.c_str());
  PadLeftWithZeros(padded, kBlockCodeLength);
  return padded;
}

// The block or lot number matches the text: equal (exact) or beginning
// with it (an empty text takes every number in prefix mode).
bool NumberMatches(const std::string& number, const std::string& text,
                   const std::string& normalised, bool exact) {
  if (exact) return number == text || (!normalised.empty() && number == normalised);
  if (text.empty()) return true;
  return number.compare(0, text.size(), text) == 0 ||
         (!normalised.empty() && number.compare(0, normalised.size(), normalised) == 0);
}

// Reads of one record's fields with the engine's messages.
class Fields {
 public:
  Fields(CTableDatabase* db, uint32_t record, const char* table, char* msg)
      : db_(db), record_(record), table_(table), msg_(msg) {}
  bool Text(const char* field, std::string* out) {
    return ReadStringField(db_, record_, table_, field, out, msg_) != 0;
  }
  bool Int(const char* field, int32_t* out) {
    return ReadIntField(db_, record_, table_, field, out, msg_) != 0;
  }
  // The state flag; a text that is no number counts as 0.
  bool State(int32_t* out) {
    std::string text;
    if (!Text(kFieldStatus, &text)) return false;
    *out = ParseStatusText(text.c_str());
    return true;
  }

 private:
  CTableDatabase* db_;
  uint32_t record_;
  const char* table_;
  char* msg_;
};

int ChangeFileFailure(char* msg, const char* path) {
  SetMessage(msg, kMsgFileRead, path);
  return 0;
}

}  // namespace

std::vector<std::string> SplitRowFields(const std::string& row) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = row.find(',', start);
    fields.push_back(
        row.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return fields;
}

// ---------------------------------------------------------------------------
// Candidate set

void CCandidateSet::Add(LevelCandidate candidate) {
  candidate.prefecture = prefecture_;
  for (const LevelCandidate& c : candidates_) {
    if (c.prefecture == candidate.prefecture && c.kind == candidate.kind &&
        c.key == candidate.key && c.childCount == candidate.childCount &&
        c.placeCode == candidate.placeCode && c.blockText == candidate.blockText &&
        c.row == candidate.row) {
      return;
    }
  }
  candidates_.push_back(std::move(candidate));
}

// ---------------------------------------------------------------------------
// Collector

void CLevelCollector::Clear() {
  state_ = 0;
  writer_ = nullptr;
  unification_ = nullptr;
  replacements_ = nullptr;
  rowCount_ = nullptr;
  maxRows_ = -1;
  stopFlag_ = nullptr;
  freeDescent_ = 1;
  engine_ = nullptr;
  for (std::string& n : names_) n.clear();
  level_ = 0;
  code_.clear();
  latitude_ = longitude_ = stateFlag_ = 0;
  prefectureRecord_ = cityRecord_ = 0;
}

void CLevelCollector::AttachCandidateSet(CCandidateSet* set, uint8_t prefecture) {
  candidates_ = set;
  if (set) set->SetPrefecture(prefecture);
}

int CLevelCollector::Setup(CAdrsContext* writer, CCharDictionary* unification,
                           CRecordList* replacements, int32_t* rowCount, int32_t maxRows,
                           int32_t* stopFlag, int32_t freeDescent, CAdrsEngine* engine) {
  Clear();
  writer_ = writer;
  unification_ = unification;
  replacements_ = replacements;
  rowCount_ = rowCount;
  maxRows_ = maxRows;
  stopFlag_ = stopFlag;
  freeDescent_ = freeDescent;
  engine_ = engine;
  if (!blockCodes_.ResetBuckets() || !lotCodes_.ResetBuckets()) return 0;
  state_ = 1;
  return 1;
}

void CLevelCollector::SetLevelFields(int32_t level, const char* const names[kNameCount]) {
  level_ = level;
  for (int i = 0; i < kNameCount; ++i) {
    if (names[i]) names_[i] = names[i];
  }
}

void CLevelCollector::SetRowCode(const std::string& code, int32_t latitude, int32_t longitude,
                                 int32_t state) {
  code_ = code;
  latitude_ = latitude;
  longitude_ = longitude;
  stateFlag_ = state;
}

std::string CLevelCollector::FormatRow() const {
  // The deepest name each level shows.
  auto shown = [&](Name n) -> const std::string& {
    static const std::string kEmpty;
    const int32_t deepest = level_ <= 2             ? kCityReading
                            : level_ == kLevelOaza  ? kOazaReading
                            : level_ == kLevelChome ? kChomeReading
                            : level_ == kLevelBlock ? kBlock
                                                    : kLot;
    return n <= deepest ? names_[n] : kEmpty;
  };
  std::string row;
  for (Name n : {kPrefecture, kCity, kCityReading, kOaza, kOazaReading, kChome, kChomeReading,
                 kBlock, kLot}) {
    row += shown(n);
    row += ',';
  }
  char tail[96];
  std::snprintf(tail, sizeof tail, "%ld,%ld,", static_cast<long>(latitude_),
                static_cast<long>(longitude_));
  row += tail;
  row += code_;
  std::snprintf(tail, sizeof tail, ",%ld,%ld", static_cast<long>(stateFlag_),
                static_cast<long>(level_));
  row += tail;
  return row;
}

int CLevelCollector::Kana() const { return engine_ ? engine_->GetKanaMatching() : 0; }

bool CLevelCollector::LimitReached() {
  if (maxRows_ >= 0 && *rowCount_ >= maxRows_) {
    WriteStopFlag(stopFlag_, 1);
    return true;
  }
  return false;
}

int CLevelCollector::WriteRow(const char* table, char* msg) {
  if (LimitReached()) return 1;
  const std::string row = FormatRow();
  if (!writer_->WriteLine(row.c_str())) {
    SetMessage(msg, kMsgMemory, table);
    return 0;
  }
  ++*rowCount_;
  return 1;
}

std::string CLevelCollector::ReplacedCopy(const CEditText* text) const {
  const CRecordList* extra = engine_->GetExtraReplacementList();
  if (!extra || !text->GetText()) return std::string();
  char copy[kTextSize] = "";
  std::snprintf(copy, sizeof copy, "%s", text->GetText());
  if (!ApplyReplacementPairs(extra, copy, sizeof copy)) return std::string();
  return copy;
}

void CLevelCollector::AddCandidate(uint8_t kind, uint32_t key, uint16_t childCount,
                                   const std::string& placeCode, const std::string& blockText) {
  const std::string& oaza = names_[kOaza];
  const bool noOaza = oaza.empty() || IsNoOazaName(oaza.c_str(), 0);
  if (kind == kCandidateOaza && noOaza) return;
  if (kind == kCandidateChome && noOaza && names_[kChome].empty()) return;
  LevelCandidate c;
  c.kind = kind;
  c.key = key;
  c.childCount = childCount;
  c.placeCode = placeCode;
  c.blockText = blockText;
  c.row = FormatRow();
  candidates_->Add(std::move(c));
}

// ---------------------------------------------------------------------------
// Fillers

int CLevelCollector::FillPrefecture(uint32_t record, char* msg) {
  prefectureRecord_ = record;
  Fields f(engine_->GetDatabase(), record, kTablePrefecture, msg);
  std::string code, name, reading;
  if (!f.Text(kFieldPrefectureCode, &code) || !f.Text("都道府県名", &name) ||
      !f.Text("かな読み都道府県名", &reading)) {
    return 0;
  }
  for (int i = 0; i < kNameCount; ++i) names_[i].clear();
  names_[kPrefecture] = name;
  names_[kPrefectureReading] = reading;
  level_ = 1;
  return 1;
}

int CLevelCollector::FillCity(uint32_t record, char* msg) {
  Fields f(engine_->GetDatabase(), record, kTableCity, msg);
  int32_t state = 0;
  if (!f.State(&state)) return 0;
  if (state >= kAbolishedState) return -1;
  std::string code, county, city, countyReading, cityReading;
  if (!f.Text(kFieldCityCode, &code) || !f.Text("郡名", &county) || !f.Text("市区町村名", &city) ||
      !f.Text("かな読み郡名", &countyReading) || !f.Text("かな読み市区町村名", &cityReading)) {
    return 0;
  }
  cityRecord_ = record;
  for (int i = kCity; i < kNameCount; ++i) names_[i].clear();
  names_[kCity] = county + city;
  names_[kCityReading] = countyReading + cityReading;
  level_ = 2;
  return 1;
}

// The oaza (chome false) or aza/chome (chome true) level of the row: its
// name and reading through the writer's name treatment, deeper names cleared.
int CLevelCollector::FillPlaceName(uint32_t record, bool chome, char* msg) {
  Fields f(engine_->GetDatabase(), record, kTableOaza, msg);
  int32_t state = 0;
  if (!f.State(&state)) return 0;
  if (state >= kAbolishedState) return -1;
  std::string code, name, reading;
  if (!f.Text(kFieldPlaceCode, &code) || !f.Text(chome ? "字丁目名" : "大字通称名", &name) ||
      !f.Text(chome ? "かな読み字丁目名" : "かな読み大字通称名", &reading)) {
    return 0;
  }
  if (chome) {
    writer_->TreatChomeName(&name, &reading, 0);
  } else {
    writer_->TreatOazaName(&name, &reading, 0);
  }
  const int level = chome ? kChome : kOaza;
  for (int i = level; i < kNameCount; ++i) names_[i].clear();
  names_[level] = name;
  names_[level + 1] = reading;
  level_ = chome ? kLevelChome : kLevelOaza;
  return 1;
}

int CLevelCollector::FillOaza(uint32_t record, char* msg) {
  return FillPlaceName(record, false, msg);
}

int CLevelCollector::FillChome(uint32_t record, char* msg) {
  return FillPlaceName(record, true, msg);
}

// ---------------------------------------------------------------------------
// Comparisons

int CLevelCollector::MatchCityName(CEditText* text, const char* replaced, const std::string& county,
                                   const std::string& city) const {
  const char* current = text->GetText();
  if (!current || *current == '\0' || city.empty()) return 0;
  std::string candidates[2] = {county + city, city};
  const int tries = engine_->GetCountyOptional() == 1 && !county.empty() ? 2 : 1;
  for (int i = 0; i < tries; ++i) {
    const std::string& name = candidates[i];
    if (StartsWith(current, name)) return static_cast<int>(name.size());
    if (replaced && *replaced && StartsWith(replaced, name)) {
      if (!ApplyReplacementPairsToEditText(engine_->GetExtraReplacementList(), text)) return 0;
      return static_cast<int>(name.size());
    }
  }
  return 0;
}

int CLevelCollector::MatchCityStart(const char* text, const char* replaced,
                                    const std::string& county, const std::string& city) const {
  const std::string candidates[2] = {county + city, city};
  const int tries = engine_->GetCountyOptional() == 1 && !county.empty() ? 2 : 1;
  for (int i = 0; i < tries; ++i) {
    if (Begins(text, candidates[i])) return 1;
    if (replaced && *replaced && Begins(replaced, candidates[i])) return 1;
  }
  return 0;
}

int CLevelCollector::MatchOazaName(const char* text, const char* name) const {
  int flag = 0;
  const int n = CompareNameVariants(text, name, unification_, replacements_, 0, Kana(),
                                    engine_->GetExtraReplacementList(), &flag);
  if (n > 0 && n <= static_cast<int>(std::strlen(text))) {
    const int after = NumeralKindAt(text + n);
    if (after == 0 || after != NumeralKindAt(LastCharWithin(text, n))) return n;
  }
  // A name holding a number: the same number written in other numerals.
  const char* run = name;
  while (*run && NumeralKindAt(run) == 0) run += CharLength(run);
  if (*run == '\0') return 0;
  const int prefix = static_cast<int>(run - name);
  if (std::strncmp(text, name, static_cast<std::size_t>(prefix)) != 0) return 0;
  const int nameRun = NumeralRunLength(run);
  const int textRun = NumeralRunLength(text + prefix);
  if (textRun == 0) return 0;
  const std::string nameNumber(run, static_cast<std::size_t>(nameRun));
  const std::string textNumber(text + prefix, static_cast<std::size_t>(textRun));
  const int32_t value = KanjiNumeralToInt(nameNumber.c_str());
  if (value < 0 || value != KanjiNumeralToInt(textNumber.c_str())) return 0;
  const char* nameRest = run + nameRun;
  const char* textRest = text + prefix + textRun;
  if (std::strncmp(textRest, nameRest, std::strlen(nameRest)) != 0) return 0;
  return prefix + textRun + static_cast<int>(std::strlen(nameRest));
}

int CLevelCollector::MatchChomeName(const char* text, const char* name) const {
  const int kana = Kana();
  const std::size_t nameLength = std::strlen(name);
  if (nameLength > 0 && std::strncmp(text, name, nameLength) == 0 &&
      !NumberGoesOnPastName(text + nameLength, name)) {
    return static_cast<int>(nameLength) + ConnectorAt(text + nameLength, kana);
  }
  // The longest common beginning, character by character.
  int common = 0;
  for (;;) {
    const int len = CharLength(text + common);
    if (len == 0 || len != CharLength(name + common) ||
        std::strncmp(text + common, name + common, static_cast<std::size_t>(len)) != 0) {
      break;
    }
    common += len;
  }
  if (common == 0) return 0;
  const char* after = text + common;
  const int kind = NumeralKindAt(after);
  if (kind != 0 && kind == NumeralKindAt(LastCharWithin(text, common))) return 0;
  // The name is that beginning and one unit word.
  const char* unit = name + common;
  const int unitLength = MatchWordAt(unit, ChomeUnitWords(kana));
  if (unitLength == 0 || unit[unitLength] != '\0') return 0;
  const int connector = ConnectorAt(after, kana);
  return connector == 0 ? 0 : common + connector;
}

int CLevelCollector::StartsName(const CEditText* text, const char* name) {
  const std::string full = name;
  const char* current = text->GetText();
  if (current && Begins(current, full)) return 1;
  const char* written = text->GetOriginalPointer(1);
  return written && Begins(written, full) ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Municipality level

int CLevelCollector::ReadCityNames(uint32_t record, std::string* county, std::string* city,
                                   char* msg) {
  const int kana = Kana();
  Fields f(engine_->GetDatabase(), record, kTableCity, msg);
  if (!f.Text(kana ? "正規かな読み郡名" : "正規郡名", county) ||
      !f.Text(kana ? "正規かな読み市区町村名" : "正規市区町村名", city)) {
    return 0;
  }
  if (!kana && *city == kSenchoMachi) *city = kSenchoMachiDigits;
  return 1;
}

int CLevelCollector::PrescanCityLevel(CEditText* text, PrescanList* list, char* msg) {
  TixHeader header;
  if (!engine_->GetHeader(&header)) {
    SetMessage(msg, kMsgHeader);
    return 0;
  }
  if (text->IsEmpty()) return 1;
  const std::string replaced = ReplacedCopy(text);
  const int16_t mark = text->BeginMark();
  const uint32_t prefectures = header.levels[kTixPrefecture].count;
  for (uint32_t p = 1; p <= prefectures && p <= UINT16_MAX; ++p) {
    TixEntry prefecture;
    if (!engine_->ReadPrefectureEntry(static_cast<uint16_t>(p), &prefecture, msg)) return 0;
    for (uint32_t c = 1; c <= prefecture.childCount; ++c) {
      text->RollbackTo(mark);
      TixEntry city;
      if (!engine_->ReadCityEntry(prefecture.childBase, static_cast<uint16_t>(c), &city, msg)) {
        return 0;
      }
      std::string code, county, name;
      if (!Fields(engine_->GetDatabase(), city.record, kTableCity, msg)
               .Text(kFieldCityCode, &code) ||
          !ReadCityNames(city.record, &county, &name, msg)) {
        return 0;
      }
      const int n = MatchCityName(text, replaced.c_str(), county, name);
      if (n < 1) continue;
      text->Delete(1, n);
      PrescanTriple triple{code, county + name, text->GetOriginalPointer(1)};
      bool listed = false;
      for (const PrescanTriple& t : *list) {
        if (t.cityCode == triple.cityCode && t.name == triple.name && t.rest == triple.rest) {
          listed = true;
          break;
        }
      }
      if (!listed) list->push_back(std::move(triple));
    }
  }
  text->RollbackTo(mark);
  return 1;
}

int CLevelCollector::SearchCities(CEditText* text, char* msg) {
  TixHeader header;
  if (!engine_->GetHeader(&header)) {
    SetMessage(msg, kMsgHeader);
    return 0;
  }
  const std::string replaced = ReplacedCopy(text);
  const int16_t mark = text->BeginMark();
  const uint32_t prefectures = header.levels[kTixPrefecture].count;
  for (uint32_t p = 1; p <= prefectures && p <= UINT16_MAX; ++p) {
    TixEntry prefecture;
    if (!engine_->ReadPrefectureEntry(static_cast<uint16_t>(p), &prefecture, msg) ||
        !FillPrefecture(prefecture.record, msg)) {
      return 0;
    }
    for (uint32_t c = 1; c <= prefecture.childCount; ++c) {
      text->RollbackTo(mark);
      TixEntry city;
      if (!engine_->ReadCityEntry(prefecture.childBase, static_cast<uint16_t>(c), &city, msg)) {
        return 0;
      }
      bool matched = false;
      if (!text->IsEmpty()) {
        std::string county, name;
        if (!ReadCityNames(city.record, &county, &name, msg)) return 0;
        const int n = MatchCityName(text, replaced.c_str(), county, name);
        if (n >= 1) {
          text->Delete(1, n);
          matched = true;
        } else if (MatchCityStart(text->GetText(), replaced.c_str(), county, name)) {
          text->Delete(1, text->GetLength());
          matched = true;
        }
      }
      if (!matched && freeDescent_ == 0 && !text->IsEmpty()) continue;
      if (!SearchOaza(text, city, msg)) return 0;
      text->RollbackTo(mark);
      if (IsStopped()) return 1;
    }
  }
  text->RollbackTo(mark);
  return 1;
}

// ---------------------------------------------------------------------------
// Oaza and aza/chome levels

int CLevelCollector::SearchOaza(CEditText* text, const TixEntry& city, char* msg) {
  const int filled = FillCity(city.record, msg);
  if (filled <= 0) return filled < 0 ? 1 : 0;
  const int kana = Kana();
  if (const int prefix = MatchWordAt(text->GetText(), OazaPrefixWords(kana)); prefix > 0) {
    text->Delete(1, prefix);
  }
  const int16_t mark = text->BeginMark();
  for (uint32_t i = 1; i <= city.childCount; ++i) {
    text->RollbackTo(mark);
    TixEntry oaza;
    if (!engine_->ReadOazaEntry(city.childBase, static_cast<uint16_t>(i), &oaza, msg)) return 0;
    int ok = 1;
    if (text->IsEmpty()) {
      ok = SearchChome(text, oaza, msg);
    } else {
      std::string name;
      if (!Fields(engine_->GetDatabase(), oaza.record, kTableOaza, msg)
               .Text(kana ? "正規かな読み大字通称名" : "正規大字通称名", &name)) {
        return 0;
      }
      // The name as the matcher compares it (a leading 大字 is dropped).
      const std::string stored = name;
      std::vector<char> prepared(name.begin(), name.end());
      prepared.push_back('\0');
      PrepareOazaName(prepared.data(), kana);
      name = prepared.data();
      if (name.empty()) {
        ok = SearchChome(text, oaza, msg);
      } else if (const int n = MatchOazaName(text->GetText(), name.c_str()); n >= 1) {
        text->Delete(1, n);
        ok = SearchChome(text, oaza, msg);
      } else if (StartsName(text, name.c_str()) || StartsName(text, stored.c_str())) {
        // The text stops inside the name (as stored or without its 大字).
        text->Delete(1, text->GetLength());
        ok = SearchChome(text, oaza, msg);
      }
    }
    if (!ok) return 0;
    if (IsStopped()) break;
  }
  text->RollbackTo(mark);
  return 1;
}

int CLevelCollector::SearchChome(CEditText* text, const TixEntry& oaza, char* msg) {
  const int filled = FillOaza(oaza.record, msg);
  if (filled <= 0) return filled < 0 ? 1 : 0;
  const int kana = Kana();
  if (const int prefix = MatchWordAt(text->GetText(), ChomePrefixWords(kana)); prefix > 0) {
    text->Delete(1, prefix);
  }
  // A leading run of kanji numerals (not followed by a full-width digit)
  // is tried a second time in full-width digits.
  std::string digits;
  int runLength = 0;
  if (const char* head = text->GetText(); head && NumeralKindAt(head) == 2) {
    runLength = NumeralRunLength(head);
    if (NumeralKindAt(head + runLength) != 1) {
      const int32_t value = KanjiNumeralToInt(std::string(head, runLength).c_str());
      if (value >= 0) digits = FullWidthNumber(value);
    }
  }
  const int32_t rowsBefore = *rowCount_;
  const std::size_t candidatesBefore = candidates_->Count();
  const int16_t mark = text->BeginMark();
  const int passes = digits.empty() ? 1 : 2;
  for (int pass = 1; pass <= passes; ++pass) {
    for (uint32_t i = 1; i <= oaza.childCount; ++i) {
      text->RollbackTo(mark);
      if (pass == 2) text->Replace(1, runLength, digits.c_str());
      TixEntry chome;
      if (!engine_->ReadChomeEntry(oaza.childBase, static_cast<uint16_t>(i), &chome, msg)) {
        return 0;
      }
      int ok = 1;
      if (text->IsEmpty()) {
        ok = SearchBlocksAndLots(text, chome, msg);
      } else {
        std::string name;
        if (!Fields(engine_->GetDatabase(), chome.record, kTableOaza, msg)
                 .Text(kana ? "正規かな読み字丁目名" : "正規字丁目名", &name)) {
          return 0;
        }
        std::vector<char> prepared(name.begin(), name.end());
        prepared.push_back('\0');
        PrepareChomeName(prepared.data(), kana);
        name = prepared.data();
        if (name.empty()) {
          ok = SearchBlocksAndLots(text, chome, msg);
        } else if (const int n = MatchChomeName(text->GetText(), name.c_str()); n >= 1) {
          text->Delete(1, n);
          ok = SearchBlocksAndLots(text, chome, msg);
        } else if (StartsName(text, name.c_str())) {
          text->Delete(1, text->GetLength());
          ok = SearchBlocksAndLots(text, chome, msg);
        }
      }
      if (!ok) return 0;
      if (IsStopped()) {
        text->RollbackTo(mark);
        return 1;
      }
    }
  }
  text->RollbackTo(mark);
  if (candidates_->IsExpandable()) {
    if (*rowCount_ > rowsBefore) {
      candidates_->ClearExpandable();
    } else if (candidates_->Count() == candidatesBefore) {
      level_ = kLevelOaza;
      AddCandidate(kCandidateOaza, oaza.record, 0, std::string(), std::string());
    }
  }
  return 1;
}

// ---------------------------------------------------------------------------
// Block and lot level

void CLevelCollector::SetMatchedRows(uint32_t chomeRecord) {
  engine_->SetMatchedPrefectureRow(static_cast<int32_t>(prefectureRecord_));
  engine_->SetMatchedRows(static_cast<int32_t>(cityRecord_), static_cast<int32_t>(chomeRecord));
}

namespace {

// The level, block text and lot text of a matched block line, built
// without footers (level 0 when the line has none).
bool MatchedLineParts(CAdrsEngine* engine, CAdrsContext* writer, const NumberMatch& match,
                      int32_t* level, std::string* blockText, std::string* lotText, char* msg) {
  std::string line;
  writer->SetFootersEnabled(0);
  const int built = BuildMatchResultLine(engine, engine->GetDatabase(), writer, match.level,
                                         match.parent, match.entry, &line, msg);
  writer->SetFootersEnabled(1);
  if (!built) return false;
  const std::vector<std::string> fields = SplitRowFields(line);
  if (fields.size() < 14 || !ParseIntInRange(fields[13].c_str(), level, INT32_MIN, INT32_MAX))
    *level = 0;
  *blockText = fields.size() >= 9 ? fields[7] : std::string();
  *lotText = fields.size() >= 9 ? fields[8] : std::string();
  return true;
}

}  // namespace

int CLevelCollector::SearchBlocksAndLots(CEditText* text, const TixEntry& chome, char* msg) {
  const int filled = FillChome(chome.record, msg);
  if (filled <= 0) return filled < 0 ? 1 : 0;
  const int32_t rowsBefore = *rowCount_;
  auto wroteRows = [&] {
    if (*rowCount_ > rowsBefore) candidates_->ClearExpandable();
    return *rowCount_ > rowsBefore;
  };
  if (text->IsEmpty()) {
    if (!WriteChomeRow(chome.record, msg)) return 0;
    wroteRows();
    return 1;
  }
  const std::size_t candidatesBefore = candidates_->Count();
  std::string placeCode;
  if (!Fields(engine_->GetDatabase(), chome.record, kTableOaza, msg)
           .Text(kFieldPlaceCode, &placeCode)) {
    return 0;
  }
  NumberMatch match;
  const int r =
      engine_->MatchBlock(chome.childBase, chome.childCount, placeCode.c_str(), text, &match, msg);
  if (r < 0) return 0;
  if (r != 0 && r != 1) return 1;
  if (r == 0) {
    const std::string rest = text->GetText();
    if (!ListBlocks(chome.childBase, chome.childCount, rest, false, msg)) return 0;
    if (!IsStopped() && !ListHistoryBlocks(placeCode, rest, false, msg)) return 0;
    if (!wroteRows() && candidates_->Count() == candidatesBefore) {
      level_ = kLevelChome;
      AddCandidate(kCandidateChome, chome.record, 0, std::string(), std::string());
    }
    return 1;
  }
  // The matched line, without footers, gives the level, block and lot.
  SetMatchedRows(chome.record);
  int32_t level = 0;
  std::string blockText;
  std::string lotText;
  if (!MatchedLineParts(engine_, writer_, match, &level, &blockText, &lotText, msg)) return 0;
  // The block matcher reports 6 for a block and 8 for a lot (5 and 7 for
  // estimated ones).
  if (level < 5 || level > 8) {
    SetMessage(msg, kMsgBadLevel, static_cast<long>(level));
    return 0;
  }
  CChangeCodeIndex* index = engine_->HasChangeCodeIndex() ? engine_->GetChangeCodeIndex() : nullptr;
  if (level == 7 || level == 8) {
    if (!index) return 1;
    const uint32_t block = index->FindBlock(placeCode.c_str(), blockText.c_str());
    if (block == 0) return 1;
    if (!FillHistoryBlock(block, msg) || !ListHistoryLots(placeCode, block, lotText, true, msg)) {
      return 0;
    }
    wroteRows();
    return 1;
  }
  const std::string rest = engine_->GetRestAfterBlock();
  if (rest.empty()) {
    if (!ListBlocks(chome.childBase, chome.childCount, blockText, true, msg)) return 0;
    if (!IsStopped() && !ListHistoryBlocks(placeCode, blockText, true, msg)) return 0;
    wroteRows();
    return 1;
  }
  if (index) {
    if (const uint32_t block = index->FindBlock(placeCode.c_str(), blockText.c_str()); block != 0) {
      if (!FillHistoryBlock(block, msg) || !ListHistoryLots(placeCode, block, rest, false, msg)) {
        return 0;
      }
      if (wroteRows()) return 1;
    }
  }
  if (candidates_->Count() == candidatesBefore) {
    level_ = kLevelChome;
    AddCandidate(kCandidateBlock, chome.childBase, chome.childCount, placeCode, blockText);
  }
  return 1;
}

// ---------------------------------------------------------------------------
// Row writers

int CLevelCollector::WriteOazaRow(uint32_t record, char* msg) {
  if (LimitReached()) return 1;
  Fields f(engine_->GetDatabase(), record, kTableOaza, msg);
  std::string code;
  int32_t state = 0, latitude = 0, longitude = 0;
  if (!f.Text(kFieldPlaceCode, &code) || !f.State(&state) || !f.Int(kFieldLatitude, &latitude) ||
      !f.Int(kFieldLongitude, &longitude)) {
    return 0;
  }
  if (code.size() > 8) code.erase(8, 3);
  level_ = kLevelOaza;
  SetRowCode(code, latitude, longitude, state);
  return WriteRow(kTableOaza, msg);
}

int CLevelCollector::WriteChomeRow(uint32_t record, char* msg) {
  if (LimitReached()) return 1;
  Fields f(engine_->GetDatabase(), record, kTableOaza, msg);
  std::string code;
  int32_t state = 0, latitude = 0, longitude = 0;
  if (!f.Text(kFieldPlaceCode, &code) || !f.State(&state) || !f.Int(kFieldLatitude, &latitude) ||
      !f.Int(kFieldLongitude, &longitude)) {
    return 0;
  }
  level_ = kLevelChome;
  SetRowCode(code, latitude, longitude, state);
  return WriteRow(kTableOaza, msg);
}

namespace {

// The normalised form of a block or lot text ("" when it does not
// normalise or stays the same).
std::string NormalisedNumber(const std::string& text, const CRecordList* replacements,
                             CCharDictionary* unification) {
  if (text.empty() || text.size() >= kTextSize) return std::string();
  char buffer[kTextSize];
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  if (!NormalizeSearchText(replacements, unification, buffer, sizeof buffer)) return std::string();
  return buffer == text ? std::string() : std::string(buffer);
}

}  // namespace

int CLevelCollector::ListBlocks(uint32_t childBase, uint16_t childCount,
                                const std::string& blockText, bool exact, char* msg) {
  CTableDatabase* db = engine_->GetDatabase();
  const std::string normalised = NormalisedNumber(blockText, replacements_, unification_);
  std::string previous;
  for (uint32_t i = 1; i <= childCount; ++i) {
    if (IsStopped()) return 1;
    TixEntry entry;
    if (!engine_->ReadBlockEntry(childBase, static_cast<uint16_t>(i), &entry, msg)) return 0;
    Fields f(db, entry.record, kTableBlock, msg);
    std::string number, blockCode;
    if (!f.Text("街区番号", &number) || !f.Text("街区番号コード", &blockCode)) return 0;
    if (number.empty()) {
      int32_t value = 0;
      if (!ParseIntInRange(blockCode.c_str(), &value, INT32_MIN, INT32_MAX)) {
        SetFieldValueErrorMessage(msg, db, kTableBlock, "街区番号コード");
        return 0;
      }
      number = FullWidthNumber(value);
    }
    if (!NumberMatches(number, blockText, normalised, exact)) continue;
    int32_t state = 0;
    if (!f.State(&state)) return 0;
    if (state >= kAbolishedState) continue;
    std::string placeCode;
    if (!f.Text(kFieldPlaceCode, &placeCode)) return 0;
    const std::string code = placeCode + PaddedBlockCode(blockCode);
    if (code == previous) continue;
    previous = code;
    if (blockCodes_.Find(code.c_str())) continue;
    if (LimitReached()) return 1;
    int32_t latitude = 0, longitude = 0;
    std::string flagText;
    if (!f.Int(kFieldLatitude, &latitude) || !f.Int(kFieldLongitude, &longitude) ||
        !f.Text("住居表示フラグ", &flagText)) {
      return 0;
    }
    writer_->AppendBlockFooter(&number, ParseStatusText(flagText.c_str()));
    if (!blockCodes_.Register(0, code.c_str())) {
      SetMessage(msg, kMsgMemory, kRegisterWhat);
      return 0;
    }
    level_ = kLevelBlock;
    names_[kBlock] = number;
    names_[kLot].clear();
    SetRowCode(code, latitude, longitude, state);
    if (!WriteRow(kTableBlock, msg)) return 0;
  }
  return 1;
}

int CLevelCollector::ListHistoryBlocks(const std::string& placeCode, const std::string& blockText,
                                       bool exact, char* msg) {
  if (!engine_->HasChangeCodeIndex()) return 1;
  CChangeCodeIndex* x = engine_->GetChangeCodeIndex();
  const uint32_t area = x->FindArea(placeCode.c_str());
  if (area == 0) return 1;
  ChangeCodeTable blocks;
  if (!x->ReadAreaEntry(area, nullptr, &blocks.position, &blocks.count, &blocks.size,
                        &blocks.wide)) {
    return ChangeFileFailure(msg, x->GetPath());
  }
  const std::string normalised = NormalisedNumber(blockText, replacements_, unification_);
  for (uint32_t i = 0; i < blocks.count; ++i) {
    if (IsStopped()) return 1;
    uint32_t block = 0;
    char blockCode[kChangeCodeTextSize] = "";
    char name[kChangeCodeNameSize] = "";
    ChangeCodeTable lots;
    if (!ReadChildPosition(x, blocks, i, &block) ||
        !x->ReadBlockEntry(block, blockCode, name, nullptr, &lots.position, &lots.count, &lots.size,
                           &lots.wide)) {
      return ChangeFileFailure(msg, x->GetPath());
    }
    if (!NumberMatches(name, blockText, normalised, exact) || lots.count == 0) continue;
    ChangeCodeRecord latest;
    if (!CChangeCodeRecords(x, lots).Read(0, &latest)) return ChangeFileFailure(msg, x->GetPath());
    if (latest.classCode >= kAbolishedState) continue;
    const std::string code = placeCode + blockCode;
    if (blockCodes_.Find(code.c_str())) continue;
    if (LimitReached()) return 1;
    std::string number = name;
    writer_->AppendBlockFooter(&number, latest.digit);
    if (!blockCodes_.Register(0, code.c_str())) {
      SetMessage(msg, kMsgMemory, kRegisterWhat);
      return 0;
    }
    level_ = kLevelBlock;
    names_[kBlock] = number;
    names_[kLot].clear();
    SetRowCode(code, static_cast<int32_t>(latest.number1), static_cast<int32_t>(latest.number2),
               latest.classCode);
    if (!WriteRow(kTableBlock, msg)) return 0;
  }
  return 1;
}

int CLevelCollector::FillHistoryBlock(uint32_t blockPosition, char* msg) {
  CChangeCodeIndex* x = engine_->GetChangeCodeIndex();
  char name[kChangeCodeNameSize] = "";
  ChangeCodeTable lots;
  if (!x->ReadBlockEntry(blockPosition, nullptr, name, nullptr, &lots.position, &lots.count,
                         &lots.size, &lots.wide)) {
    return ChangeFileFailure(msg, x->GetPath());
  }
  std::string number = name;
  if (lots.count > 0) {
    ChangeCodeRecord latest;
    if (!CChangeCodeRecords(x, lots).Read(0, &latest)) return ChangeFileFailure(msg, x->GetPath());
    writer_->AppendBlockFooter(&number, latest.digit);
  }
  names_[kBlock] = number;
  names_[kLot].clear();
  level_ = kLevelBlock;
  return 1;
}

int CLevelCollector::ListHistoryLots(const std::string& placeCode, uint32_t blockPosition,
                                     const std::string& lotText, bool exact, char* msg) {
  CChangeCodeIndex* x = engine_->GetChangeCodeIndex();
  if (!x) return 1;
  char blockCode[kChangeCodeTextSize] = "";
  ChangeCodeTable lots;
  if (!x->ReadBlockEntry(blockPosition, blockCode, nullptr, nullptr, &lots.position, &lots.count,
                         &lots.size, &lots.wide)) {
    return ChangeFileFailure(msg, x->GetPath());
  }
  const std::string normalised = NormalisedNumber(lotText, replacements_, unification_);
  CChangeCodeRecords records(x, lots);
  for (uint32_t i = 0; i < lots.count; ++i) {
    if (IsStopped()) return 1;
    ChangeCodeRecord lot;
    if (!records.Read(i, &lot)) return ChangeFileFailure(msg, x->GetPath());
    if (lot.name[0] == '\0' || !NumberMatches(lot.name, lotText, normalised, exact)) continue;
    if (lot.classCode >= kAbolishedState) continue;
    const std::string code = placeCode + blockCode + lot.code;
    if (lotCodes_.Find(code.c_str())) continue;
    if (LimitReached()) return 1;
    std::string number = lot.name;
    writer_->AppendLotFooter(&number, lot.digit);
    if (!lotCodes_.Register(0, code.c_str())) {
      SetMessage(msg, kMsgMemory, kRegisterWhat);
      return 0;
    }
    level_ = kLevelLot;
    names_[kLot] = number;
    SetRowCode(code, static_cast<int32_t>(lot.number1), static_cast<int32_t>(lot.number2),
               lot.classCode);
    if (!WriteRow(kTableLot, msg)) return 0;
  }
  return 1;
}
