#include "tabledb/adrs_engine.h"

#include <cstring>

#include "common/le_bytes.h"
#include "common/message.h"
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
// Index format helpers

void DecodeTixHeader(const unsigned char* bytes, TixHeader* header) {
  std::memcpy(header->lead, bytes, kTixMagicLength);
  for (int level = 0; level < kTixLevelCount; ++level) {
    const unsigned char* p = bytes + kTixMagicLength + 8 * level;
    header->levels[level].offset = static_cast<uint32_t>(LoadLe(p, 4));
    header->levels[level].count = static_cast<uint32_t>(LoadLe(p + 4, 4));
  }
}

void DecodeTixEntry(const unsigned char* bytes, TixEntry* entry) {
  entry->record = static_cast<uint32_t>(LoadLe(bytes, 4));
  entry->childBase = static_cast<uint32_t>(LoadLe(bytes + 4, 4));
  entry->childCount = static_cast<uint16_t>(LoadLe(bytes + 8, 2));
}

int IndexHeaderCheckValue(uint32_t length, const unsigned char* header, unsigned char* out) {
  if (!header || !out) return 0;
  auto d = [header](int offset) { return static_cast<uint32_t>(LoadLe(header + offset, 4)); };
  const uint32_t len = length;
  uint32_t b[kTixCheckLength];
  if (len & 1u) {
    b[0] = d(10) + d(14) + d(26) + d(30);
    b[1] = len + d(34) + d(38);
    b[2] = d(22) + d(26) + d(38);
    b[3] = (d(10) + d(18) + d(26) + d(34) + d(42)) >> 4;
    b[4] = len + d(6) + d(14) + 2u * d(30);
  } else {
    b[0] = d(18) + d(26) + d(38);
    b[1] = len + d(34);
    b[2] = (len + d(30) + d(34)) >> 2;
    b[3] = d(6) + d(14) + d(26);
    b[4] = (d(10) + 2u * d(18) + d(34)) >> 4;
  }
  for (int i = 0; i < kTixCheckLength; ++i) out[i] = static_cast<unsigned char>(b[i] & 0xFFu);
  return 1;
}

// ---------------------------------------------------------------------------
// Lifecycle

CAdrsEngine::CAdrsEngine()
    : open_(0),
      groupIndexMode_(1),
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
      kind_(0),
      unification_(nullptr),
      replacementList_(nullptr),
      extraReplacementList_(nullptr),
      context_(nullptr) {
  indexPath_[0] = '\0';
  groupIndexPath_[0] = '\0';
  historyDataPath_[0] = '\0';
  historyIndexPath_[0] = '\0';
  codeIndexPath_[0] = '\0';
  header_ = TixHeader();
  ResetMatchState();
}

CAdrsEngine::~CAdrsEngine() = default;

int CAdrsEngine::Open(const char* path, int32_t kind) {
  Close();
  if (kind != 1 && kind != 2) return 0;
  if (!path || std::strlen(path) >= kPathSize) return 0;
  if (!index_.OpenSharedImage(path)) {
    return 0;
  }
  unsigned char bytes[kTixHeaderSize];
  int good = index_.ReadAt(0, bytes, kTixHeaderSize);
  if (good) {
    if (kind == 1) {
      good = std::memcmp(bytes, kTixMagic, kTixMagicLength) == 0;
    } else {
      unsigned char check[kTixCheckLength];
      good = IndexHeaderCheckValue(index_.GetSize(), bytes, check) &&
             std::memcmp(bytes, check, kTixCheckLength) == 0;
    }
  }
  if (!good) {
    Close();
    return 0;
  }
  DecodeTixHeader(bytes, &header_);
  std::memcpy(indexPath_, path, std::strlen(path) + 1);
  kind_ = kind;
  open_ = 1;
  return 1;
}

void CAdrsEngine::Close() {
  index_.Close();
  open_ = 0;
  indexPath_[0] = '\0';
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
  header_ = TixHeader();
  FreeWorkLists();
  unification_ = nullptr;
  replacementList_ = nullptr;
  kind_ = 0;
  ResetMatchState();
}

int CAdrsEngine::GetHeader(TixHeader* header) const {
  if (!open_ || !header) return 0;
  *header = header_;
  return 1;
}

// ---------------------------------------------------------------------------
// Entries

int CAdrsEngine::CheckReady(char* msg) const {
  if (!open_) {
    SetMessage(msg, "インデックスファイルがオープンされていません！");
    return 0;
  }
  if (!database_) {
    SetMessage(msg, "データベースがセットされていません！");
    return 0;
  }
  return 1;
}

int CAdrsEngine::ReadEntryAt(int level, uint32_t childBase, uint16_t n, TixEntry* entry,
                             char* msg) {
  if (!CheckReady(msg)) return 0;
  // Worked out in 64 bits: a position beyond 32 bits cannot be read and
  // must not wrap onto another entry.
  const uint64_t position = static_cast<uint64_t>(header_.levels[level].offset) + childBase +
                            (static_cast<uint64_t>(n) - 1) * kTixEntrySize;
  unsigned char bytes[kTixEntrySize];
  if (n == 0 || !entry || position > UINT32_MAX ||
      !index_.ReadAt(static_cast<uint32_t>(position), bytes, kTixEntrySize)) {
    SetMessage(msg, "ファイルの読み込みに失敗しました!(%s)", indexPath_);
    return 0;
  }
  DecodeTixEntry(bytes, entry);
  return 1;
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
}

void CAdrsEngine::SetExtraReplacementList(CRecordList* list) { extraReplacementList_ = list; }

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

void CAdrsEngine::FreeWorkLists() {
  lowerNeighbours_.Free();
  upperNeighbours_.Free();
  estimationList_.Free();
  lotCandidates_.Free();
}

int CAdrsEngine::AllocateWorkLists() {
  if (lowerNeighbours_.Create(128, kNeighbourRecordSize, 128) &&
      upperNeighbours_.Create(128, kNeighbourRecordSize, 128) &&
      estimationList_.Create(256, kEstimateRecordSize, 128) &&
      lotCandidates_.Create(256, kLotCandidateRecordSize, 128)) {
    return 1;
  }
  FreeWorkLists();
  return 0;
}

uint32_t CAdrsEngine::AddLotCandidate(uint32_t cityEntry, uint32_t areaEntry,
                                      uint32_t blockEntry, uint32_t changeRecord) {
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
