// The number levels of the address matcher: the block under an aza/chome
// and the lot under a block, from the TC_Gaiku rows, the change history
// and the change-code index, by number (estimated from the nearest numbers
// when none is equal and the estimation switch is on) or by name.

#include <cstring>
#include <string>

#include "common/copy_out.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/number_parse.h"
#include "common/numeric.h"
#include "common/sjis_text.h"
#include "common/width_kana.h"
#include "matching/adrs_engine.h"
#include "matching/candidate_compare.h"
#include "matching/change_code_records.h"
#include "matching/edit_text.h"
#include "matching/normalize.h"
#include "matching/number_text.h"
#include "tabledb/change_code_index.h"
#include "tabledb/change_history.h"
#include "tabledb/table_names.h"
#include "tabledb/tc_access.h"

namespace {

constexpr std::size_t kFieldSize = 512;
// The lot number of a record whose lot text does not read as a number.
constexpr int32_t kNoLotNumber = 99999;

bool StartsWith(const char* text, const std::string& word) {
  return !word.empty() && std::strncmp(text, word.c_str(), word.size()) == 0;
}

bool IsDigitAt(const char* p) { return (*p >= '0' && *p <= '9') || IsFullWidthDigitAt(p); }

// 1 when the last character of text (found walking forward) is a digit.
bool EndsWithDigit(const std::string& text) {
  std::size_t last = 0;
  for (std::size_t i = 0; i < text.size();) {
    last = i;
    i += (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
  }
  return !text.empty() && IsDigitAt(text.c_str() + last);
}

// 状態フラグ as a status: "A" 10, a number its value, anything else 0.
int32_t StatusOf(const char* text) {
  if (std::strcmp(text, "A") == 0) return 10;
  int32_t value = 0;
  if (!ParseIntInRange(text, &value, INT32_MIN, INT32_MAX)) return 0;
  return value;
}

// A lot text as a number: half width, then parsed; kNoLotNumber when empty
// or unreadable.
int32_t LotNumberOf(const char* lotText) {
  char copy[kChangeTextSize];
  CopyCut(copy, sizeof copy, lotText);
  ToHalfWidthAscii(copy);
  int32_t value = 0;
  if (copy[0] == '\0' || !ParseIntInRange(copy, &value, -2147483647, 2147483647)) {
    return kNoLotNumber;
  }
  return value;
}

// The change-record texts.
struct RecordTexts {
  char name1[kChangeTextSize];
  char name2[kChangeTextSize];
  char sortForm1[kChangeTextSize];
  char sortForm2[kChangeTextSize];
};

// A block entry of the change-code index: its position, names and lot
// table.
struct CodeIndexBlock {
  uint32_t position = 0;
  char name[kChangeCodeNameSize] = "";
  char second[kChangeCodeNameSize] = "";
  ChangeCodeTable lots;
};

}  // namespace

// One run of MatchBlock or MatchLot over one edit text.
class CNumberLevelMatcher {
 public:
  CNumberLevelMatcher(CAdrsEngine& engine, CEditText* text, char* msg)
      : engine_(engine), text_(text), msg_(msg) {}

  int MatchBlock(uint32_t childBase, uint16_t count, const char* placeCode, NumberMatch* result);
  int MatchLot(const char* placeCode, const char* blockText, NumberMatch* result);

 private:
  // The outcome of a step: kFail ends the whole match (-1), kStop ends
  // this level without a result (0), kGoOn lets the level go on.
  enum Step { kFail = -1, kStop = 0, kGoOn = 1 };

  // ---- Shared ----
  std::string Written() const { return text_->GetOriginalPointer(1); }
  void Restart() { text_->RollbackTo(start_); }
  bool Consume(int bytes) { return bytes <= 0 || text_->Delete(1, bytes) != 0; }
  Step HistoryFailure(Step step);
  Step CodeIndexFailure(Step step);
  Step MemoryFailure();
  // The city entry and the block table of the change-code index area of
  // the place code (*area 0 when the index has no such area); false when
  // they cannot be read.
  bool ReadCodeIndexArea(uint32_t* city, uint32_t* area, ChangeCodeTable* blocks);
  // Block j (0-based) of an area's block table.
  bool ReadCodeIndexBlock(const ChangeCodeTable& blocks, uint32_t j, CodeIndexBlock* block);
  // With the history check on, whether a change-history record (or a
  // change-code index record) of this precision digit may be a neighbour.
  bool HistoryDigitPasses(int digit) const;
  bool CodeIndexDigitPasses(int digit) const;

  // ---- Neighbours of the estimation ----
  void ClearNeighbours();
  // The list that a neighbour of number v goes into (emptied first when v
  // is nearer to the requested number than what it holds); null when v
  // lies in neither range or is farther than the list's numbers.
  CRecordList* NeighbourListFor(int32_t v);
  bool AddNeighbour(CRecordList* list, const NeighbourRecord& record);
  // Picks the estimate from the two lists; false when there is none.
  bool ChooseEstimate(bool blockLevel, EstimateRecord* record, int32_t* status, int32_t* precision);

  // ---- Blocks ----
  // Bytes that a block text takes at the head of the text (number or name
  // with its suffix); 0 when it does not match.
  int MatchBlockText(const std::string& blockText);
  Step ReadRowText(uint32_t record, const char* field, std::string* out);
  Step ReadRowInt(uint32_t record, const char* field, int32_t* out);
  // The block number of a row: 街区番号, or (by number only) the value of
  // 街区番号コード in full width; "" for a row to skip.
  Step ReadRowNumber(uint32_t record, std::string* number);
  Step ReadRowValues(uint32_t record, int32_t* status, int32_t* precision);
  // Runs MatchLot for the block (unless the same block was the last one
  // handed down and a best exists) and weighs a lot it finds; *found tells
  // whether there was one.
  Step HandDown(const char* placeCode, const char* blockText, int consumed, bool* found);
  bool Take(const BlockCandidate& candidate, int32_t parent, int16_t entry,
            const std::string& rest);
  Step BlockRows();
  Step HistoryBlocks();
  Step WeighHistoryRecords(uint32_t blockEntry, const char* blockName, int consumed);
  Step CodeIndexBlocks();
  Step WeighCodeIndexRecords(uint32_t city, uint32_t area, const CodeIndexBlock& block,
                             int consumed);
  Step EstimateBlock(bool history, bool codeIndex);
  // The neighbours of the estimate from the block rows, the blocks' own
  // records of the change history and the records without lot text of the
  // change-code index.
  Step BlockRowNeighbours();
  Step HistoryNeighbours();
  Step CodeIndexNeighbours();
  // Whether a neighbour of this status and precision could be taken.
  bool EstimatePasses(int32_t status, int32_t precision) const;
  // Change record r as a neighbour of value v when passes(status,
  // precision) and v has a neighbour list; kGoOn also when it is not one.
  template <typename Passes>
  Step AddChangeNeighbour(uint32_t r, const ChangeRecord& record, int32_t v, Passes passes);
  Step FinishEstimate(bool blockLevel, uint32_t parent, uint32_t count);

  // ---- Lots ----
  // Bytes that a lot text takes at the head of the text; 0 when it does
  // not match.
  int MatchLotText(const char* lotText) const;
  void TakeLot(const LotCandidate& candidate, int32_t parent, int16_t entry);
  Step HistoryLots(const char* placeCode, const char* blockText);
  Step CodeIndexLots(const char* placeCode, const char* blockText);

  CAdrsEngine& engine_;
  CEditText* text_;
  char* msg_;
  int16_t start_ = 0;
  bool hasNumber_ = false;
  NumberRun run_;
  std::string rest_;
  // Blocks.
  uint32_t childBase_ = 0;
  uint16_t count_ = 0;
  std::string placeCode_;
  BlockCandidate blockBest_ = kBlockCandidateStart;
  std::string lastHanded_;
  // Lots.
  LotCandidate lotBest_ = kLotCandidateStart;
  int32_t level_ = 0;
  // Both.
  int32_t parent_ = 0;
  int16_t entry_ = 0;
};

// ---------------------------------------------------------------------------
// Shared

CNumberLevelMatcher::Step CNumberLevelMatcher::HistoryFailure(Step step) {
  SetMessage(msg_, kMsgFileRead, engine_.GetChangeHistory()->GetIndexPath());
  return step;
}

CNumberLevelMatcher::Step CNumberLevelMatcher::CodeIndexFailure(Step step) {
  SetMessage(msg_, kMsgFileRead, engine_.GetChangeCodeIndex()->GetPath());
  return step;
}

CNumberLevelMatcher::Step CNumberLevelMatcher::MemoryFailure() {
  SetMessage(msg_, kMsgWorkMemory);
  return kFail;
}

bool CNumberLevelMatcher::ReadCodeIndexArea(uint32_t* city, uint32_t* area,
                                            ChangeCodeTable* blocks) {
  CChangeCodeIndex* index = engine_.GetChangeCodeIndex();
  *area = index->FindArea(placeCode_.c_str());
  if (*area == 0) return true;
  *city = index->FindCity(placeCode_.c_str());
  return *city != 0 && index->ReadAreaEntry(*area, nullptr, &blocks->position, &blocks->count,
                                            &blocks->size, &blocks->wide);
}

bool CNumberLevelMatcher::ReadCodeIndexBlock(const ChangeCodeTable& blocks, uint32_t j,
                                             CodeIndexBlock* block) {
  ChangeCodeTable& lots = block->lots;
  CChangeCodeIndex* index = engine_.GetChangeCodeIndex();
  return ReadChildPosition(index, blocks, j, &block->position) &&
         index->ReadBlockEntry(block->position, nullptr, block->name, block->second, &lots.position,
                               &lots.count, &lots.size, &lots.wide);
}

bool CNumberLevelMatcher::HistoryDigitPasses(int digit) const {
  if (!engine_.GetHistoryCheck()) return true;
  return engine_.GetChangeHistory()->GetFormatVersion() < 200 || digit == 1;
}

bool CNumberLevelMatcher::CodeIndexDigitPasses(int digit) const {
  if (!engine_.GetHistoryCheck()) return true;
  // The change-code index has no format version of its own: the change
  // history's decides while it is open; without it only digit 1 passes.
  if (engine_.GetChangeHistory() && engine_.GetChangeHistory()->IsOpen() &&
      engine_.GetChangeHistory()->GetFormatVersion() < 200) {
    return true;
  }
  return digit == 1;
}

// ---------------------------------------------------------------------------
// Neighbours

void CNumberLevelMatcher::ClearNeighbours() {
  engine_.GetLowerNeighbours().SetCount(0);
  engine_.GetUpperNeighbours().SetCount(0);
}

CRecordList* CNumberLevelMatcher::NeighbourListFor(int32_t v) {
  const int64_t n = run_.value;
  const int64_t range = engine_.GetEstimationRange();
  CRecordList* list = nullptr;
  // The requested number itself belongs to neither side.
  if (v < n && v >= (n - range > 0 ? n - range : 0)) {
    list = &engine_.GetLowerNeighbours();
  } else if (v > n && v <= n + range) {
    list = &engine_.GetUpperNeighbours();
  } else {
    return nullptr;
  }
  if (list->GetElementSize() != CAdrsEngine::kNeighbourRecordSize) return nullptr;
  if (list->GetCount() > 0) {
    NeighbourRecord held;
    if (!list->GetAt(1, &held)) return nullptr;
    const int64_t distance = v > n ? v - n : n - v;
    const int64_t heldDistance = held.number > n ? held.number - n : n - held.number;
    if (distance > heldDistance) return nullptr;
    if (distance < heldDistance) list->SetCount(0);
  }
  return list;
}

bool CNumberLevelMatcher::AddNeighbour(CRecordList* list, const NeighbourRecord& record) {
  unsigned char bytes[CAdrsEngine::kNeighbourRecordSize];
  std::memcpy(bytes, &record, sizeof bytes);
  return list->Add(bytes) != 0;
}

bool CNumberLevelMatcher::ChooseEstimate(bool blockLevel, EstimateRecord* record, int32_t* status,
                                         int32_t* precision) {
  CRecordList* lists[2] = {&engine_.GetLowerNeighbours(), &engine_.GetUpperNeighbours()};
  if (engine_.GetStatusFilter() == 0) {
    for (CRecordList* list : lists) {
      // Blocks: the first entry of status 10 stands for the number, and
      // status 10 counts as 0. Lots: the first entry not abolished.
      if (list->GetCount() > 1) {
        for (uint32_t i = 1; i <= list->GetCount(); ++i) {
          NeighbourRecord r;
          if (!list->GetAt(i, &r)) return false;
          if (blockLevel ? r.status == 10 : r.status != 3) {
            list->SetAt(1, &r);
            list->SetCount(1);
            break;
          }
        }
      }
      if (blockLevel) {
        for (uint32_t i = 1; i <= list->GetCount(); ++i) {
          NeighbourRecord r;
          if (!list->GetAt(i, &r)) return false;
          if (r.status == 10) {
            r.status = 0;
            list->SetAt(i, &r);
          }
        }
      }
    }
  }
  const uint32_t lowerCount = lists[0]->GetCount();
  const uint32_t upperCount = lists[1]->GetCount();
  NeighbourRecord lower = {kNeighbourNone, -1, 0, 0, 0, 0, 0};
  NeighbourRecord upper = lower;
  if (lowerCount > 0 && upperCount > 0) {
    bool found = false;
    double nearest = 0;
    for (uint32_t i = 1; i <= lowerCount; ++i) {
      NeighbourRecord a;
      if (!lists[0]->GetAt(i, &a)) return false;
      for (uint32_t j = 1; j <= upperCount; ++j) {
        NeighbourRecord b;
        if (!lists[1]->GetAt(j, &b)) return false;
        const double d = CalcDistanceInt(a.longitude, a.latitude, b.longitude, b.latitude);
        if (d < engine_.GetEstimationDistanceLimit() && (!found || d < nearest)) {
          found = true;
          nearest = d;
          lower = a;
          upper = b;
        }
      }
    }
    if (!found) return false;
  } else if (lowerCount > 0) {
    if (!lists[0]->GetAt(1, &lower)) return false;
  } else if (upperCount > 0) {
    if (!lists[1]->GetAt(1, &upper)) return false;
  } else {
    return false;
  }
  *status = kLargestValue;
  *precision = kLargestValue;
  for (const NeighbourRecord* r : {&lower, &upper}) {
    if (r->found == kNeighbourNone) continue;
    if (r->status < *status) *status = r->status;
    if (r->precision < *precision) *precision = r->precision;
  }
  record->lower = {lower.found, lower.reference, lower.latitude, lower.longitude, lower.number};
  record->upper = {upper.found, upper.reference, upper.latitude, upper.longitude, upper.number};
  record->requested = run_.value;
  return true;
}

// ---------------------------------------------------------------------------
// Blocks

int CNumberLevelMatcher::MatchBlockText(const std::string& blockText) {
  if (blockText.empty()) return 0;
  const char* head = text_->GetText();
  if (hasNumber_) {
    if (StripLeadingZeros(blockText) != StripLeadingZeros(run_.requested)) return 0;
    return run_.length + MeasureNumberSuffix(head + run_.length);
  }
  std::string matched;
  if (StartsWith(head, blockText)) {
    matched = blockText;
  } else {
    char normalised[kFieldSize];
    if (blockText.size() >= sizeof normalised) return 0;
    std::memcpy(normalised, blockText.c_str(), blockText.size() + 1);
    if (!NormalizeSearchText(nullptr, engine_.GetUnificationDictionary(), normalised,
                             sizeof normalised) ||
        normalised[0] == '\0' || blockText == normalised || !StartsWith(head, normalised)) {
      return 0;
    }
    matched = normalised;
  }
  const char* after = head + matched.size();
  if (EndsWithDigit(matched) && IsDigitAt(after)) return 0;
  return static_cast<int>(matched.size()) + MeasureNumberSuffix(after);
}

CNumberLevelMatcher::Step CNumberLevelMatcher::ReadRowText(uint32_t record, const char* field,
                                                           std::string* out) {
  return ReadStringField(engine_.GetDatabase(), record, kTableBlock, field, out, msg_) ? kGoOn
                                                                                       : kFail;
}

CNumberLevelMatcher::Step CNumberLevelMatcher::ReadRowInt(uint32_t record, const char* field,
                                                          int32_t* out) {
  return ReadIntField(engine_.GetDatabase(), record, kTableBlock, field, out, msg_) ? kGoOn : kFail;
}

CNumberLevelMatcher::Step CNumberLevelMatcher::ReadRowNumber(uint32_t record, std::string* number) {
  if (ReadRowText(record, "街区番号", number) != kGoOn) return kFail;
  if (!number->empty() || !hasNumber_) return kGoOn;
  // Without 街区番号 the block is its code's number; a code that cannot be
  // read ends the level, one that is no number leaves the row out.
  std::string code;
  if (ReadRowText(record, "街区番号コード", &code) != kGoOn) return kStop;
  char padded[kFieldSize];
  CopyCut(padded, sizeof padded, code.c_str());
  PadLeftWithZeros(padded, 5);
  int32_t value = 0;
  if (!ParseIntInRange(padded, &value, INT32_MIN, INT32_MAX)) return kGoOn;
  *number = FullWidthNumber(value);
  return kGoOn;
}

CNumberLevelMatcher::Step CNumberLevelMatcher::ReadRowValues(uint32_t record, int32_t* status,
                                                             int32_t* precision) {
  std::string text;
  if (ReadRowText(record, kFieldStatus, &text) != kGoOn) return kFail;
  *status = StatusOf(text.c_str());
  if (ReadRowText(record, kFieldPrecision, &text) != kGoOn) return kFail;
  *precision = PrecisionFromScale(text.c_str());
  return kGoOn;
}

bool CNumberLevelMatcher::Take(const BlockCandidate& candidate, int32_t parent, int16_t entry,
                               const std::string& rest) {
  if (!TakeBetterBlockCandidate(&blockBest_, candidate, engine_.GetStatusFilter())) return false;
  parent_ = parent;
  entry_ = entry;
  rest_ = rest;
  return true;
}

CNumberLevelMatcher::Step CNumberLevelMatcher::HandDown(const char* placeCode,
                                                        const char* blockText, int consumed,
                                                        bool* found) {
  *found = false;
  const std::string stripped = StripLeadingZeros(blockText);
  if (blockBest_.level != 0 && stripped == lastHanded_) return kGoOn;
  lastHanded_ = stripped;
  NumberMatch lot;
  const int16_t mark = text_->BeginMark();
  const int r = engine_.MatchLot(placeCode, blockText, text_, &lot, msg_);
  text_->RollbackTo(mark);
  if (r < 0) return kFail;
  if (r == 1) {
    *found = true;
    Take({lot.level, 0, consumed, lot.status, lot.precision}, lot.parent, lot.entry,
         engine_.GetRestAfterLot());
  }
  return kGoOn;
}

CNumberLevelMatcher::Step CNumberLevelMatcher::BlockRows() {
  for (uint32_t i = 1; i <= count_; ++i) {
    Restart();
    TixEntry entry;
    if (!engine_.ReadBlockEntry(childBase_, static_cast<uint16_t>(i), &entry, msg_)) return kFail;
    std::string number;
    const Step s = ReadRowNumber(entry.record, &number);
    if (s != kGoOn) return s;
    const int consumed = MatchBlockText(number);
    if (consumed == 0) continue;
    int32_t status = 0;
    int32_t precision = 0;
    if (ReadRowValues(entry.record, &status, &precision) != kGoOn) return kFail;
    if (!Consume(consumed)) return MemoryFailure();
    bool lot = false;
    if (!(blockBest_.level != 0 && StripLeadingZeros(number) == lastHanded_)) {
      std::string code;
      if (ReadRowText(entry.record, kFieldPlaceCode, &code) != kGoOn) return kFail;
      if (HandDown(code.c_str(), number.c_str(), consumed, &lot) != kGoOn) return kFail;
    }
    if (!lot && blockBest_.level <= 6) {
      Take({6, 0, consumed, status, precision}, static_cast<int32_t>(childBase_),
           static_cast<int16_t>(i), Written());
    }
  }
  return kGoOn;
}

CNumberLevelMatcher::Step CNumberLevelMatcher::HistoryBlocks() {
  CChangeHistory* history = engine_.GetChangeHistory();
  // Read failures end the whole match by number, only this level by name.
  const Step failure = hasNumber_ ? kFail : kStop;
  const uint32_t position = history->FindByCode(placeCode_.c_str());
  if (position == 0) return kGoOn;
  ChangeKeyEntry code;
  if (!history->GetKeyEntry(CChangeHistory::kByCode, position, &code)) {
    return HistoryFailure(failure);
  }
  for (uint32_t b = code.first; b < code.first + code.count; ++b) {
    Restart();
    ChangeRecord record;
    RecordTexts t;
    const uint32_t n = history->GetRecordNumber(CChangeHistory::kByCodeAndName, b);
    if (n == 0 || !history->GetRecord(n, &record, t.name1, t.name2, t.sortForm1, t.sortForm2)) {
      return HistoryFailure(failure);
    }
    const int consumed = MatchBlockText(t.name1);
    if (consumed == 0) continue;
    if (!Consume(consumed)) return MemoryFailure();
    bool lot = false;
    if (HandDown(placeCode_.c_str(), t.sortForm1, consumed, &lot) != kGoOn) return kFail;
    if (!lot && blockBest_.level <= 6) {
      const Step s = WeighHistoryRecords(b, t.name1, consumed);
      if (s != kGoOn) return s == kStop ? failure : s;
    }
  }
  return kGoOn;
}

CNumberLevelMatcher::Step CNumberLevelMatcher::WeighHistoryRecords(uint32_t blockEntry,
                                                                   const char* blockName,
                                                                   int consumed) {
  CChangeHistory* history = engine_.GetChangeHistory();
  ChangeKeyEntry block;
  if (!history->GetKeyEntry(CChangeHistory::kByCodeAndName, blockEntry, &block)) {
    return HistoryFailure(kStop);
  }
  int32_t smallest = INT32_MAX;
  for (uint32_t r = block.first; r < block.first + block.count; ++r) {
    ChangeRecord record;
    RecordTexts t;
    if (!history->GetRecord(r, &record, t.name1, t.name2, t.sortForm1, t.sortForm2)) {
      return HistoryFailure(kStop);
    }
    if (std::strcmp(t.name1, blockName) != 0) break;
    const BlockCandidate candidate = {6, 0, consumed, record.classCode,
                                      PrecisionFromScaleCode(ChangeRecordPrecision(record))};
    if (t.name2[0] == '\0') {
      if (Take(candidate, static_cast<int32_t>(r), -1, Written())) break;
      continue;
    }
    const int32_t lot = LotNumberOf(t.name2);
    if (lot > smallest) continue;
    smallest = lot;
    Take(candidate, static_cast<int32_t>(r), -1, Written());
  }
  return kGoOn;
}

CNumberLevelMatcher::Step CNumberLevelMatcher::CodeIndexBlocks() {
  const Step failure = hasNumber_ ? kFail : kStop;
  uint32_t city = 0, area = 0;
  ChangeCodeTable blocks;
  if (!ReadCodeIndexArea(&city, &area, &blocks)) return CodeIndexFailure(failure);
  for (uint32_t j = 0; j < blocks.count; ++j) {
    Restart();
    CodeIndexBlock block;
    if (!ReadCodeIndexBlock(blocks, j, &block)) return CodeIndexFailure(failure);
    int consumed = MatchBlockText(block.name);
    if (consumed == 0 && !hasNumber_ && std::strcmp(block.name, block.second) != 0) {
      consumed = MatchBlockText(block.second);
    }
    if (consumed == 0) continue;
    if (!Consume(consumed)) return MemoryFailure();
    bool lot = false;
    if (HandDown(placeCode_.c_str(), block.name, consumed, &lot) != kGoOn) return kFail;
    if (!lot && blockBest_.level <= 6) {
      const Step s = WeighCodeIndexRecords(city, area, block, consumed);
      if (s != kGoOn) return s == kStop ? failure : s;
    }
  }
  return kGoOn;
}

CNumberLevelMatcher::Step CNumberLevelMatcher::WeighCodeIndexRecords(uint32_t city, uint32_t area,
                                                                     const CodeIndexBlock& block,
                                                                     int consumed) {
  CChangeCodeRecords records(engine_.GetChangeCodeIndex(), block.lots);
  int32_t smallest = INT32_MAX;
  for (uint32_t k = 0; k < block.lots.count; ++k) {
    ChangeCodeRecord r;
    if (!records.Read(k, &r)) return CodeIndexFailure(kStop);
    const BlockCandidate candidate = {6, 0, consumed, r.classCode, PrecisionFromScaleCode(r.scale)};
    const bool empty = r.name[0] == '\0';
    if (!empty) {
      const int32_t lot = LotNumberOf(r.name);
      if (lot > smallest) continue;
      smallest = lot;
    }
    if (!IsBetterBlockCandidate(blockBest_, candidate, engine_.GetStatusFilter())) continue;
    const uint32_t n = engine_.AddLotCandidate(city, area, block.position, r.position);
    if (n == 0) return MemoryFailure();
    Take(candidate, static_cast<int32_t>(n), -2, Written());
    if (empty) break;
  }
  return kGoOn;
}

bool CNumberLevelMatcher::EstimatePasses(int32_t status, int32_t precision) const {
  return IsBetterBlockCandidate(blockBest_, {5, 1, 0, status, precision},
                                engine_.GetStatusFilter()) != 0;
}

CNumberLevelMatcher::Step CNumberLevelMatcher::BlockRowNeighbours() {
  for (uint32_t i = 1; i <= count_; ++i) {
    TixEntry entry;
    if (!engine_.ReadBlockEntry(childBase_, static_cast<uint16_t>(i), &entry, msg_)) return kFail;
    std::string number;
    const Step s = ReadRowNumber(entry.record, &number);
    if (s != kGoOn) return s;
    int32_t v = 0;
    if (!FullWidthDigitsToInt(number.c_str(), &v)) continue;
    if (engine_.GetHistoryCheck()) {
      std::string residence;
      if (ReadRowText(entry.record, "住居表示フラグ", &residence) != kGoOn) return kFail;
      if (residence != "1") continue;
    }
    int32_t status = 0, precision = 0, latitude = 0, longitude = 0;
    if (ReadRowValues(entry.record, &status, &precision) != kGoOn) return kFail;
    if (!EstimatePasses(status, precision)) continue;
    CRecordList* list = NeighbourListFor(v);
    if (!list) continue;
    if (ReadRowInt(entry.record, kFieldLatitude, &latitude) != kGoOn ||
        ReadRowInt(entry.record, kFieldLongitude, &longitude) != kGoOn) {
      return kFail;
    }
    if (!AddNeighbour(list, {kNeighbourBlockRow, static_cast<int32_t>(i), latitude, longitude, v,
                             status, precision})) {
      return MemoryFailure();
    }
  }
  return kGoOn;
}

// Read failures of the change history end only this level.
CNumberLevelMatcher::Step CNumberLevelMatcher::HistoryNeighbours() {
  CChangeHistory* h = engine_.GetChangeHistory();
  const uint32_t position = h->FindByCode(placeCode_.c_str());
  ChangeKeyEntry code;
  if (position != 0 && !h->GetKeyEntry(CChangeHistory::kByCode, position, &code)) {
    return HistoryFailure(kStop);
  }
  for (uint32_t b = code.first; position != 0 && b < code.first + code.count; ++b) {
    ChangeKeyEntry block;
    if (!h->GetKeyEntry(CChangeHistory::kByCodeAndName, b, &block)) return HistoryFailure(kStop);
    for (uint32_t r = block.first; r < block.first + block.count; ++r) {
      ChangeRecord record;
      RecordTexts t;
      if (!h->GetRecord(r, &record, t.name1, t.name2, t.sortForm1, t.sortForm2)) {
        return HistoryFailure(kStop);
      }
      int32_t v = 0;
      if (t.name2[0] != '\0' || !HistoryDigitPasses(ChangeRecordPrecisionDigit(record)) ||
          !FullWidthDigitsToInt(t.name1, &v)) {
        continue;
      }
      const Step s = AddChangeNeighbour(r, record, v, [this](int32_t status, int32_t precision) {
        return EstimatePasses(status, precision);
      });
      if (s != kGoOn) return s;
    }
  }
  return kGoOn;
}

template <typename Passes>
CNumberLevelMatcher::Step CNumberLevelMatcher::AddChangeNeighbour(uint32_t r,
                                                                  const ChangeRecord& record,
                                                                  int32_t v, Passes passes) {
  const int32_t status = record.classCode;
  const int32_t precision = PrecisionFromScaleCode(ChangeRecordPrecision(record));
  if (!passes(status, precision)) return kGoOn;
  CRecordList* list = NeighbourListFor(v);
  if (!list) return kGoOn;
  if (!AddNeighbour(list, {kNeighbourChangeRecord, static_cast<int32_t>(r),
                           static_cast<int32_t>(record.coordinate1),
                           static_cast<int32_t>(record.coordinate2), v, status, precision})) {
    return MemoryFailure();
  }
  return kGoOn;
}

// Read failures of the change-code index end only this level.
CNumberLevelMatcher::Step CNumberLevelMatcher::CodeIndexNeighbours() {
  uint32_t city = 0, area = 0;
  ChangeCodeTable blocks;
  if (!ReadCodeIndexArea(&city, &area, &blocks)) return CodeIndexFailure(kStop);
  for (uint32_t j = 0; j < blocks.count; ++j) {
    CodeIndexBlock block;
    if (!ReadCodeIndexBlock(blocks, j, &block)) return CodeIndexFailure(kStop);
    int32_t v = 0;
    if (!FullWidthDigitsToInt(block.name, &v)) continue;
    CChangeCodeRecords records(engine_.GetChangeCodeIndex(), block.lots);
    for (uint32_t k = 0; k < block.lots.count; ++k) {
      ChangeCodeRecord r;
      if (!records.Read(k, &r)) return CodeIndexFailure(kStop);
      const int32_t precision = PrecisionFromScaleCode(r.scale);
      if (r.name[0] != '\0' || !CodeIndexDigitPasses(r.digit) ||
          !EstimatePasses(r.classCode, precision)) {
        continue;
      }
      CRecordList* list = NeighbourListFor(v);
      if (!list) continue;
      const uint32_t n = engine_.AddLotCandidate(city, area, block.position, r.position);
      if (n == 0 ||
          !AddNeighbour(list, {kNeighbourCodeIndexLot, static_cast<int32_t>(n),
                               static_cast<int32_t>(r.number1), static_cast<int32_t>(r.number2), v,
                               r.classCode, precision})) {
        return MemoryFailure();
      }
    }
  }
  return kGoOn;
}

CNumberLevelMatcher::Step CNumberLevelMatcher::EstimateBlock(bool history, bool codeIndex) {
  ClearNeighbours();
  Step s = BlockRowNeighbours();
  if (s != kGoOn) return s;
  if (history && (s = HistoryNeighbours()) != kGoOn) return s;
  if (codeIndex && (s = CodeIndexNeighbours()) != kGoOn) return s;
  return FinishEstimate(true, childBase_, count_);
}

CNumberLevelMatcher::Step CNumberLevelMatcher::FinishEstimate(bool blockLevel, uint32_t parent,
                                                              uint32_t count) {
  EstimateRecord record = {};
  int32_t status = 0, precision = 0;
  if (!ChooseEstimate(blockLevel, &record, &status, &precision)) return kGoOn;
  record.parent = parent;
  record.count = static_cast<uint16_t>(count > UINT16_MAX ? UINT16_MAX : count);
  const uint32_t n = engine_.AddEstimateRecord(record);
  if (n == 0) return MemoryFailure();
  Restart();
  if (blockLevel) {
    const int consumed = run_.length + MeasureNumberSuffix(text_->GetText() + run_.length);
    if (!Consume(consumed)) return MemoryFailure();
    blockBest_ = {5, 1, consumed, status, precision};
    parent_ = static_cast<int32_t>(n);
    entry_ = 0;
  } else {
    if (!Consume(run_.length)) return MemoryFailure();
    lotBest_ = {0, status, precision};
    level_ = 7;
    parent_ = static_cast<int32_t>(n);
    entry_ = -1;
  }
  rest_ = Written();
  return kGoOn;
}

int CNumberLevelMatcher::MatchBlock(uint32_t childBase, uint16_t count, const char* placeCode,
                                    NumberMatch* result) {
  if (engine_.GetMatchDepth() < 3) return 0;
  if (!text_ || text_->IsEmpty()) return 0;
  childBase_ = childBase;
  count_ = count;
  placeCode_ = placeCode ? placeCode : "";
  start_ = text_->BeginMark();
  Step step = kGoOn;
  const bool history = engine_.HasChangeHistory() != 0;
  const bool codeIndex = engine_.HasChangeCodeIndex() != 0;
  if (count != 0 || history || codeIndex) {
    hasNumber_ = ClassifyNumberRun(text_->GetText(), &run_) != 0;
    step = BlockRows();
    if (step == kGoOn && history) step = HistoryBlocks();
    if (step == kGoOn && codeIndex) step = CodeIndexBlocks();
    if (step == kGoOn && hasNumber_ && engine_.GetEstimationSwitch() && blockBest_.level == 0) {
      step = EstimateBlock(history, codeIndex);
    }
  }
  text_->RollbackTo(start_);
  if (step == kFail) return -1;
  if (step == kStop || blockBest_.level == 0) return 0;
  if (result) {
    result->level = blockBest_.level;
    result->parent = parent_;
    result->entry = entry_;
    result->consumed = blockBest_.consumed;
    result->status = blockBest_.status;
    result->precision = blockBest_.precision;
  }
  engine_.SetRestAfterBlock(rest_.c_str());
  return 1;
}

// ---------------------------------------------------------------------------
// Lots

int CNumberLevelMatcher::MatchLotText(const char* lotText) const {
  if (lotText[0] == '\0') return 0;
  if (hasNumber_) {
    return StripLeadingZeros(lotText) == StripLeadingZeros(run_.requested) ? run_.length : 0;
  }
  return StartsWith(text_->GetText(), lotText) ? static_cast<int>(std::strlen(lotText)) : 0;
}

void CNumberLevelMatcher::TakeLot(const LotCandidate& candidate, int32_t parent, int16_t entry) {
  lotBest_ = candidate;
  level_ = 8;
  parent_ = parent;
  entry_ = entry;
  rest_ = Written();
}

CNumberLevelMatcher::Step CNumberLevelMatcher::HistoryLots(const char* placeCode,
                                                           const char* blockText) {
  CChangeHistory* history = engine_.GetChangeHistory();
  const uint32_t position = history->FindByCodeAndName(placeCode, blockText);
  if (position == 0) return kGoOn;
  ChangeKeyEntry block;
  if (!history->GetKeyEntry(CChangeHistory::kByCodeAndName, position, &block)) {
    return HistoryFailure(kFail);
  }
  const int32_t filter = engine_.GetStatusFilter();
  for (uint32_t r = block.first; r < block.first + block.count; ++r) {
    ChangeRecord record;
    RecordTexts t;
    if (!history->GetRecord(r, &record, t.name1, t.name2, t.sortForm1, t.sortForm2)) {
      return HistoryFailure(kFail);
    }
    const int taken = MatchLotText(t.name2);
    if (taken == 0) continue;
    const LotCandidate candidate = {static_cast<int32_t>(std::strlen(t.name2)), record.classCode,
                                    PrecisionFromScaleCode(ChangeRecordPrecision(record))};
    if (!IsBetterLotCandidate(lotBest_, candidate, filter, 0)) continue;
    Restart();
    if (!Consume(taken)) return MemoryFailure();
    TakeLot(candidate, static_cast<int32_t>(r), -1);
  }
  if (!hasNumber_ || level_ != 0 || !engine_.GetEstimationSwitch()) return kGoOn;
  ClearNeighbours();
  for (uint32_t r = block.first; r < block.first + block.count; ++r) {
    ChangeRecord record;
    RecordTexts t;
    if (!history->GetRecord(r, &record, t.name1, t.name2, t.sortForm1, t.sortForm2)) {
      return HistoryFailure(kFail);
    }
    int32_t g = 0;
    if (!FullWidthDigitsToInt(t.name2, &g) ||
        !HistoryDigitPasses(ChangeRecordPrecisionDigit(record))) {
      continue;
    }
    const Step s = AddChangeNeighbour(r, record, g, [filter](int32_t status, int32_t precision) {
      return IsBetterLotCandidate(kLotCandidateStart, {0, status, precision}, filter, 1) != 0;
    });
    if (s != kGoOn) return s;
  }
  return FinishEstimate(false, block.first, block.count);
}

CNumberLevelMatcher::Step CNumberLevelMatcher::CodeIndexLots(const char* placeCode,
                                                             const char* blockText) {
  CChangeCodeIndex* index = engine_.GetChangeCodeIndex();
  const uint32_t block = index->FindBlock(placeCode, blockText);
  if (block == 0) return kGoOn;
  const uint32_t city = index->FindCity(placeCode);
  const uint32_t area = index->FindArea(placeCode);
  if (city == 0 || area == 0) return CodeIndexFailure(kFail);
  ChangeCodeTable lots;
  if (!index->ReadBlockEntry(block, nullptr, nullptr, nullptr, &lots.position, &lots.count,
                             &lots.size, &lots.wide)) {
    return CodeIndexFailure(kStop);
  }
  const int32_t filter = engine_.GetStatusFilter();
  // Both passes read the records in order: child 0 sets the bases of the
  // others.
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 1) {
      if (!hasNumber_ || level_ != 0 || !engine_.GetEstimationSwitch()) return kGoOn;
      ClearNeighbours();
    }
    CChangeCodeRecords records(index, lots);
    for (uint32_t k = 0; k < lots.count; ++k) {
      ChangeCodeRecord r;
      if (!records.Read(k, &r)) return CodeIndexFailure(kFail);
      const int32_t precision = PrecisionFromScaleCode(r.scale);
      if (pass == 0) {
        const int taken = MatchLotText(r.name);
        if (taken == 0) continue;
        const LotCandidate candidate = {static_cast<int32_t>(std::strlen(r.name)), r.classCode,
                                        precision};
        if (!IsBetterLotCandidate(lotBest_, candidate, filter, 0)) continue;
        const uint32_t n = engine_.AddLotCandidate(city, area, block, r.position);
        if (n == 0) return MemoryFailure();
        Restart();
        if (!Consume(taken)) return MemoryFailure();
        TakeLot(candidate, static_cast<int32_t>(n), -2);
        continue;
      }
      int32_t g = 0;
      if (!FullWidthDigitsToInt(r.name, &g) || !CodeIndexDigitPasses(r.digit) ||
          !IsBetterLotCandidate(kLotCandidateStart, {0, r.classCode, precision}, filter, 1)) {
        continue;
      }
      CRecordList* list = NeighbourListFor(g);
      if (!list) continue;
      const uint32_t n = engine_.AddLotCandidate(city, area, block, r.position);
      if (n == 0 ||
          !AddNeighbour(list, {kNeighbourCodeIndexLot, static_cast<int32_t>(n),
                               static_cast<int32_t>(r.number1), static_cast<int32_t>(r.number2), g,
                               r.classCode, precision})) {
        return MemoryFailure();
      }
    }
  }
  return FinishEstimate(false, block, lots.count);
}

int CNumberLevelMatcher::MatchLot(const char* placeCode, const char* blockText,
                                  NumberMatch* result) {
  if (engine_.GetMatchDepth() < 4) return 0;
  if (!text_ || text_->IsEmpty()) return 0;
  const char* code = placeCode ? placeCode : "";
  const char* block = blockText ? blockText : "";
  start_ = text_->BeginMark();
  entry_ = -1;
  hasNumber_ = ClassifyNumberRun(text_->GetText(), &run_) != 0;
  Step step = kGoOn;
  if (engine_.HasChangeHistory()) step = HistoryLots(code, block);
  if (step == kGoOn && engine_.HasChangeCodeIndex()) step = CodeIndexLots(code, block);
  text_->RollbackTo(start_);
  if (step == kFail) return -1;
  if (step == kStop || level_ == 0) return 0;
  if (IsTrailingLotWord(rest_.c_str(), engine_.GetUnificationDictionary())) rest_.clear();
  engine_.SetRestAfterLot(rest_.c_str());
  if (result) {
    result->level = level_;
    result->parent = parent_;
    result->entry = entry_;
    result->consumed = lotBest_.consumed;
    result->status = lotBest_.status;
    result->precision = lotBest_.precision;
  }
  return 1;
}

// ---------------------------------------------------------------------------
// The engine's entries

int CAdrsEngine::MatchBlock(uint32_t childBase, uint16_t count, const char* placeCode,
                            CEditText* text, NumberMatch* result, char* msg) {
  CNumberLevelMatcher matcher(*this, text, msg);
  return matcher.MatchBlock(childBase, count, placeCode, result);
}

int CAdrsEngine::MatchLot(const char* placeCode, const char* blockText, CEditText* text,
                          NumberMatch* result, char* msg) {
  CNumberLevelMatcher matcher(*this, text, msg);
  return matcher.MatchLot(placeCode, blockText, result);
}
