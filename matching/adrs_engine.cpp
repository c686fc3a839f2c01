#include "matching/adrs_engine.h"

#include <array>
#include <cstring>

#include "common/le_bytes.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/sjis_text.h"
#include "plat/file.h"

namespace {

// Copies text into a kPathSize buffer; 0 (buffer untouched) when it does
// not fit with its NUL.
int KeepPath(char* out, const char* text) {
  if (!text) return 0;
  const std::size_t n = std::strlen(text);
  if (n >= CAdrsEngine::kPathSize) return 0;
  std::memcpy(out, text, n + 1);
  return 1;
}

// Copies the whole characters of text that fit into out (size bytes with
// the NUL), the character starts found walking forward; null gives "".
char* CopyWholeChars(char* out, std::size_t size, const char* text) {
  if (!out || size == 0) return out;
  std::size_t n = 0;
  if (text) {
    for (;;) {
      const unsigned char b = static_cast<unsigned char>(text[n]);
      if (b == 0) break;
      const std::size_t len = (IsLeadByte(b) && text[n + 1] != '\0') ? 2 : 1;
      if (n + len >= size) break;
      n += len;
    }
    std::memmove(out, text, n);
  }
  out[n] = '\0';
  return out;
}

void KeepText(char* out, const char* text) { CopyWholeChars(out, CAdrsEngine::kTextSize, text); }

// Appends a record of size bytes to a list of such records: the new count,
// 0 when the list holds records of another size or cannot grow.
template <typename Record>
uint32_t AppendRecord(CRecordList& list, const Record& record, uint16_t size) {
  unsigned char bytes[sizeof(Record)];
  std::memcpy(bytes, &record, sizeof bytes);
  if (list.GetElementSize() != size || !list.Add(bytes)) return 0;
  return list.GetCount();
}

}  // namespace

// ---------------------------------------------------------------------------
// Lifecycle

CAdrsEngine::CAdrsEngine()
    : groupIndexMode_(1),
      statusFilter_(0),
      estimationSwitch_(0),
      historyCheck_(0),
      bit8Switch_(1),
      kanaSwitch_(0),
      numberUnitSwitch_(1),
      matchDepth_(4),
      countyOptional_(1),
      countyInBrackets_(0),
      database_(nullptr),
      historyFromFiles_(0),
      history_(nullptr),
      historyOpenPending_(1),
      codeIndexFromFile_(0),
      codeIndex_(nullptr),
      codeIndexOpenPending_(1),
      estimationRange_(50),
      estimationDistanceLimit_(16000.0),
      unification_(nullptr),
      replacementList_(nullptr),
      extraReplacementList_(nullptr),
      context_(nullptr) {
  groupIndexPath_[0] = '\0';
  historyDataPath_[0] = '\0';
  historyIndexPath_[0] = '\0';
  codeIndexPath_[0] = '\0';
  ResetMatchState();
}

CAdrsEngine::~CAdrsEngine() { FreeWorkLists(); }

int CAdrsEngine::Open(const char* path, int32_t kind) {
  Close();
  if (!index_.Open(path, kind)) {
    Close();
    return 0;
  }
  return 1;
}

void CAdrsEngine::Close() {
  index_.Close();
  database_ = nullptr;
  if (historyFromFiles_) {
    ownHistory_.Close();
    historyOpenPending_ = 1;
    historyDataPath_[0] = '\0';
    historyIndexPath_[0] = '\0';
  } else {
    history_ = nullptr;
  }
  if (codeIndexFromFile_) {
    ownCodeIndex_.Close();
    codeIndexOpenPending_ = 1;
    codeIndexPath_[0] = '\0';
  } else {
    codeIndex_ = nullptr;
  }
  FreeWorkLists();
  unification_ = nullptr;
  replacementList_ = nullptr;
  ResetMatchState();
}

int CAdrsEngine::GetHeader(TixHeader* header) const {
  if (!index_.IsOpen() || !header) return 0;
  *header = index_.Header();
  return 1;
}

// ---------------------------------------------------------------------------
// Entries

int CAdrsEngine::CheckReady(char* msg) const {
  if (!index_.IsOpen()) {
    SetMessage(msg, kMsgIndexNotOpen);
    return 0;
  }
  if (!database_) {
    SetMessage(msg, kMsgNoDatabase);
    return 0;
  }
  return 1;
}

int CAdrsEngine::ReadEntryAt(int level, uint32_t childBase, uint16_t n, TixEntry* entry,
                             char* msg) {
  if (!CheckReady(msg)) return 0;
  return index_.ReadEntry(level, childBase, n, entry, msg);
}

int CAdrsEngine::ReadPrefectureEntry(uint16_t n, TixEntry* entry, char* msg) {
  return ReadEntryAt(kTixPrefecture, 0, n, entry, msg);
}
int CAdrsEngine::ReadCityEntry(uint32_t childBase, uint16_t n, TixEntry* entry, char* msg) {
  return ReadEntryAt(kTixCity, childBase, n, entry, msg);
}
int CAdrsEngine::ReadOazaEntry(uint32_t childBase, uint16_t n, TixEntry* entry, char* msg) {
  return ReadEntryAt(kTixOaza, childBase, n, entry, msg);
}
uint32_t CAdrsEngine::ReadOazaEntries(uint32_t childBase, uint16_t first, uint32_t count,
                                      TixEntry* entries, char* msg) {
  if (!CheckReady(msg)) return 0;
  return index_.ReadEntries(kTixOaza, childBase, first, count, entries, msg);
}
int CAdrsEngine::ReadChomeEntry(uint32_t childBase, uint16_t n, TixEntry* entry, char* msg) {
  return ReadEntryAt(kTixChome, childBase, n, entry, msg);
}
int CAdrsEngine::ReadBlockEntry(uint32_t childBase, uint16_t n, TixEntry* entry, char* msg) {
  return ReadEntryAt(kTixBlock, childBase, n, entry, msg);
}

// ---------------------------------------------------------------------------
// Attachments

int CAdrsEngine::SetDatabase(CTableDatabase* database) {
  database_ = database;
  return 1;
}

int CAdrsEngine::SetContext(CAdrsContext* context) {
  context_ = context;
  return 1;
}

void CAdrsEngine::SetDictionaries(CCharDictionary* dictionary, CRecordList* replacementList) {
  unification_ = dictionary;
  replacementList_ = replacementList;
  extraSignatureReady_ = false;
}

void CAdrsEngine::SetExtraReplacementList(CRecordList* list) {
  extraReplacementList_ = list;
  extraSignatureReady_ = false;
}

// ---------------------------------------------------------------------------
// Change history

void CAdrsEngine::CloseOwnChangeHistory() {
  if (!historyFromFiles_) return;
  ownHistory_.Close();
  historyFromFiles_ = 0;
  historyOpenPending_ = 1;
  historyDataPath_[0] = '\0';
  historyIndexPath_[0] = '\0';
}

int CAdrsEngine::AttachChangeHistory(CChangeHistory* reader) {
  CloseOwnChangeHistory();
  history_ = reader;
  return 1;
}

int CAdrsEngine::SetChangeHistoryFiles(const char* dataPath, const char* indexPath) {
  if (!dataPath || !indexPath || std::strlen(dataPath) >= kPathSize ||
      std::strlen(indexPath) >= kPathSize) {
    return 0;
  }
  KeepPath(historyDataPath_, dataPath);
  KeepPath(historyIndexPath_, indexPath);
  history_ = &ownHistory_;
  historyOpenPending_ = 1;
  historyFromFiles_ = 1;
  return 1;
}

void CAdrsEngine::CloseOwnChangeCodeIndex() {
  if (!codeIndexFromFile_) return;
  ownCodeIndex_.Close();
  codeIndexFromFile_ = 0;
  codeIndexOpenPending_ = 1;
  codeIndexPath_[0] = '\0';
}

int CAdrsEngine::AttachChangeCodeIndex(CChangeCodeIndex* reader) {
  CloseOwnChangeCodeIndex();
  codeIndex_ = reader;
  return 1;
}

int CAdrsEngine::SetChangeCodeIndexFile(const char* path) {
  if (!KeepPath(codeIndexPath_, path)) return 0;
  codeIndex_ = &ownCodeIndex_;
  codeIndexOpenPending_ = 1;
  codeIndexFromFile_ = 1;
  return 1;
}

// ---------------------------------------------------------------------------
// Work lists

namespace {

// The work lists of the last engine closed on this thread, set aside for
// the next one: an engine lives for one call, and taking (and zeroing) the
// blocks again on every call would cost more than most matches.
// The four are exchanged together: all of them hold blocks or none does.
thread_local std::array<CRecordList, 4> spareWorkLists;

// Whether every list holds a block (held is true) or none does (false).
bool AllHold(const std::array<CRecordList*, 4>& lists, bool held) {
  for (const CRecordList* list : lists)
    if ((list->GetBuffer() != nullptr) != held) return false;
  return true;
}

void ExchangeWithSpare(const std::array<CRecordList*, 4>& lists) {
  for (std::size_t i = 0; i < lists.size(); ++i) lists[i]->Swap(spareWorkLists[i]);
}

}  // namespace

void CAdrsEngine::FreeWorkLists() {
  const std::array<CRecordList*, 4> lists = {&lowerNeighbours_, &upperNeighbours_, &estimationList_,
                                             &lotCandidates_};
  if (spareWorkLists[0].GetBuffer() == nullptr && AllHold(lists, true)) ExchangeWithSpare(lists);
  for (CRecordList* list : lists) list->Free();
}

int CAdrsEngine::AllocateWorkLists() {
  const std::array<CRecordList*, 4> lists = {&lowerNeighbours_, &upperNeighbours_, &estimationList_,
                                             &lotCandidates_};
  if (spareWorkLists[0].GetBuffer() != nullptr && AllHold(lists, false)) ExchangeWithSpare(lists);
  // A list that still holds its block (made again without a Close in
  // between, or set aside by an engine closed before) starts empty on it:
  // no record above the count is read. For the same reason a new block is
  // not zero-filled (a job that adds no record touches none of its pages).
  auto ready = [](CRecordList& list, uint32_t capacity, uint16_t size) {
    if (list.GetBuffer() != nullptr && list.GetElementSize() == size &&
        list.GetCapacity() >= capacity) {
      list.SetCount(0);
      return 1;
    }
    return list.Create(capacity, size, 128, false);
  };
  if (ready(lowerNeighbours_, 128, kNeighbourRecordSize) &&
      ready(upperNeighbours_, 128, kNeighbourRecordSize) &&
      ready(estimationList_, 256, kEstimateRecordSize) &&
      ready(lotCandidates_, 256, kLotCandidateRecordSize)) {
    return 1;
  }
  FreeWorkLists();
  return 0;
}

uint32_t CAdrsEngine::AddLotCandidate(uint32_t cityEntry, uint32_t areaEntry, uint32_t blockEntry,
                                      uint32_t changeRecord) {
  const LotCandidateRecord record = {cityEntry, areaEntry, blockEntry, changeRecord};
  return AppendRecord(lotCandidates_, record, kLotCandidateRecordSize);
}

int CAdrsEngine::GetLotCandidate(uint32_t n, uint32_t* cityEntry, uint32_t* areaEntry,
                                 uint32_t* blockEntry, uint32_t* changeRecord) const {
  if (n == 0 || n > lotCandidates_.GetCount() ||
      lotCandidates_.GetElementSize() != kLotCandidateRecordSize) {
    return 0;
  }
  const void* bytes = lotCandidates_.GetPtr(n);
  if (!bytes) return 0;
  LotCandidateRecord record;
  std::memcpy(&record, bytes, sizeof record);
  if (cityEntry) *cityEntry = record.cityEntry;
  if (areaEntry) *areaEntry = record.areaEntry;
  if (blockEntry) *blockEntry = record.blockEntry;
  if (changeRecord) *changeRecord = record.changeRecord;
  return 1;
}

uint32_t CAdrsEngine::AddEstimateRecord(const EstimateRecord& record) {
  return AppendRecord(estimationList_, record, kEstimateRecordSize);
}

int CAdrsEngine::GetEstimateRecord(uint32_t n, void* record) const {
  if (!record || n == 0 || n > estimationList_.GetCount() ||
      estimationList_.GetElementSize() != kEstimateRecordSize) {
    return 0;
  }
  return estimationList_.GetAt(n, record);
}

char* CAdrsEngine::GetChangeHistoryPath(char* out, std::size_t size) const {
  const char* path = "";
  if (historyFromFiles_) {
    path = historyIndexPath_;
  } else if (history_) {
    path = history_->GetIndexPath();
  }
  return CopyWholeChars(out, size, path);
}

char* CAdrsEngine::GetChangeCodeIndexPath(char* out, std::size_t size) const {
  const char* path = "";
  if (codeIndexFromFile_) {
    path = codeIndexPath_;
  } else if (codeIndex_) {
    path = codeIndex_->GetPath();
  }
  return CopyWholeChars(out, size, path);
}

// ---------------------------------------------------------------------------
// Switches

int CAdrsEngine::SetSearchFlags(uint32_t flags) {
  statusFilter_ = static_cast<int32_t>(flags & 0xFu);
  estimationSwitch_ = static_cast<int32_t>((flags >> 4) & 1u);
  bit8Switch_ = static_cast<int32_t>((flags >> 8) & 1u);
  return 1;
}

int CAdrsEngine::SetNumberUnitMatching(int32_t value) {
  // Any value other than 0 switches the branch on.
  numberUnitSwitch_ = value != 0 ? 1 : 0;
  return 1;
}

int CAdrsEngine::SetKanaMatching(int32_t value) {
  if (value != 0 && value != 1) return 0;
  kanaSwitch_ = value;
  return 1;
}

int CAdrsEngine::SetHistoryCheck(int32_t value) {
  if (value != 0 && value != 1) return 0;
  historyCheck_ = value;
  return 1;
}

int CAdrsEngine::SetMatchDepth(int32_t depth) {
  matchDepth_ = depth;
  return 1;
}

int CAdrsEngine::SetCountyOptional(int32_t value) {
  if (value != 0 && value != 1) return 0;
  countyOptional_ = value;
  return 1;
}

int CAdrsEngine::SetCountyInBrackets(int32_t value) {
  countyInBrackets_ = value;
  return 1;
}

int CAdrsEngine::SetGroupIndexFile(int32_t mode, const char* path) {
  if (mode == 1) {
    if (!KeepPath(groupIndexPath_, path)) return 0;
  } else {
    groupIndexPath_[0] = '\0';
  }
  groupIndexMode_ = mode;
  return 1;
}

// ---------------------------------------------------------------------------
// Match state

void CAdrsEngine::ResetMatchState() {
  extraSignatureReady_ = false;
  chomeRow_ = 0;
  oazaLevelRow_ = 0;
  matchedCityRow_ = 0;
  matchedNameRow_ = 0;
  matchedPrefectureRow_ = 0;
  unmatchedText_[0] = '\0';
  restAfterOaza_[0] = '\0';
  restAfterChome_[0] = '\0';
  restAfterBlock_[0] = '\0';
  restAfterLot_[0] = '\0';
  specialName_[0] = '\0';
  specialNameCode_[0] = '\0';
  textAfterChome_[0] = '\0';
}

void CAdrsEngine::SetUnmatchedText(const char* text) { KeepText(unmatchedText_, text); }
void CAdrsEngine::SetRestAfterOaza(const char* text) { KeepText(restAfterOaza_, text); }
void CAdrsEngine::SetRestAfterChome(const char* text) { KeepText(restAfterChome_, text); }
void CAdrsEngine::SetRestAfterBlock(const char* text) { KeepText(restAfterBlock_, text); }
void CAdrsEngine::SetRestAfterLot(const char* text) { KeepText(restAfterLot_, text); }
void CAdrsEngine::SetTextAfterChome(const char* text) { KeepText(textAfterChome_, text); }

void CAdrsEngine::SetSpecialName(const char* name, const char* placeCode) {
  KeepText(specialName_, name);
  KeepText(specialNameCode_, placeCode);
}

// ---------------------------------------------------------------------------
// Precision classes of coordinate scales

namespace {

struct ScaleRow {
  const char* scale;
  const char* shortCode;
  int code;
  int precision;
};

constexpr ScaleRow kScaleRows[] = {
    {"10000", "1", 1, 1}, {"2000", "20", 20, 2}, {"25000", "2", 2, 3},
    {"50000", "3", 3, 4}, {"70000", "7", 7, 5},  {"80000", "8", 8, 6},
};

constexpr int kUnknownPrecision = 7;

}  // namespace

int PrecisionFromScale(const char* text, int shortCodes) {
  if (!text) return kUnknownPrecision;
  for (const ScaleRow& row : kScaleRows) {
    if (std::strcmp(text, row.scale) == 0) return row.precision;
    if (shortCodes && std::strcmp(text, row.shortCode) == 0) return row.precision;
  }
  return kUnknownPrecision;
}

int PrecisionFromScaleCode(int32_t code) {
  const int low = static_cast<int>(static_cast<uint32_t>(code) & 0xFFu);
  for (const ScaleRow& row : kScaleRows) {
    if (low == row.code) return row.precision;
  }
  return kUnknownPrecision;
}
