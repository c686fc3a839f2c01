#include "tabledb/change_history.h"

#include <cstring>
#include <string>

#include "common/file_access.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/number_parse.h"
#include "common/width_kana.h"
#include "tabledb/change_bytes.h"

using change_bytes::Load16;
using change_bytes::Load32;
using change_bytes::Store16;
using change_bytes::Store32;

namespace {

// Longest text IsFirstNumberName and IsSecondNumberName look at.
constexpr std::size_t kNumberNameLimit = 512;

bool IsPlainScaleCode(int code) {
  return code == 1 || code == 2 || code == 3 || code == 7 || code == 8 || code == 20;
}

void CopyText(char* out, const char* text, std::size_t length) {
  std::memcpy(out, text, length);
  out[length] = '\0';
}

}  // namespace

void DecodeChangeRecord(const unsigned char* b, ChangeRecord* r) {
  r->cityCode = Load16(b + 0);
  r->part1 = Load16(b + 2);
  r->part2 = Load16(b + 4);
  r->blockNumber = Load32(b + 6);
  r->lotNumber = Load32(b + 10);
  r->coordinate1 = Load32(b + 14);
  r->coordinate2 = Load32(b + 18);
  r->precision = b[22];
  r->name1Length = b[23];
  r->name2Length = b[24];
  r->sortForm1Length = b[25];
  r->sortForm2Length = b[26];
  r->classCode = b[27];
}

void EncodeChangeRecord(const ChangeRecord& r, unsigned char* b) {
  Store16(b + 0, r.cityCode);
  Store16(b + 2, r.part1);
  Store16(b + 4, r.part2);
  Store32(b + 6, r.blockNumber);
  Store32(b + 10, r.lotNumber);
  Store32(b + 14, r.coordinate1);
  Store32(b + 18, r.coordinate2);
  b[22] = r.precision;
  b[23] = r.name1Length;
  b[24] = r.name2Length;
  b[25] = r.sortForm1Length;
  b[26] = r.sortForm2Length;
  b[27] = r.classCode;
}

int ChangeRecordPrecision(ChangeRecord record) { return record.precision / 10; }

int ChangeRecordPrecisionDigit(ChangeRecord record) { return record.precision % 10; }

int SetChangeRecordPrecisionCode(ChangeRecord* record, int code) {
  if (record == nullptr || !IsPlainScaleCode(code)) return 0;
  record->precision = static_cast<uint8_t>(code * 10 + record->precision % 10);
  return 1;
}

int SetChangeRecordPrecisionDigit(ChangeRecord* record, int digit) {
  if (record == nullptr || digit < 0 || digit > 9) return 0;
  record->precision = static_cast<uint8_t>(record->precision / 10 * 10 + digit);
  return 1;
}

void MakeChangeRecordTexts(const ChangeRecord& record, const char* stored1, const char* stored2,
                           const char* storedSort1, const char* storedSort2, char* name1,
                           char* name2, char* sortForm1, char* sortForm2) {
  if (stored1 != nullptr && record.name1Length != 0) {
    CopyText(name1, stored1, record.name1Length);
  } else {
    change_bytes::MakeFullWidthNumber(record.blockNumber, true, name1);
  }
  if (stored2 != nullptr && record.name2Length != 0) {
    CopyText(name2, stored2, record.name2Length);
  } else {
    change_bytes::MakeFullWidthNumber(record.lotNumber, true, name2);
  }
  if (storedSort1 != nullptr && record.sortForm1Length != 0) {
    CopyText(sortForm1, storedSort1, record.sortForm1Length);
  } else {
    std::strcpy(sortForm1, name1);
  }
  if (storedSort2 != nullptr && record.sortForm2Length != 0) {
    CopyText(sortForm2, storedSort2, record.sortForm2Length);
  } else {
    std::strcpy(sortForm2, name2);
  }
}

// ---- CChangeHistory ----

CChangeHistory::CChangeHistory()
    : state_(0),
      searchKind_(0),
      lastCompare_(0),
      targetCity_(0),
      targetPart1_(0),
      targetPart2_(0),
      middle_(0),
      dataLength_(0) {
  dataPath_[0] = '\0';
  indexPath_[0] = '\0';
  std::memset(dataHeader_, 0, sizeof dataHeader_);
  targetName_[0] = '\0';
  targetSecondName_[0] = '\0';
}

CChangeHistory::~CChangeHistory() { Close(); }

void CChangeHistory::Close() {
  dataFile_.Close();
  recordOffsets_.Free();
  blockTable_.Free();
  codeTable_.Free();
  blockNames_.Free();
  lotNames_.Free();
  state_ = 0;
  dataPath_[0] = '\0';
  indexPath_[0] = '\0';
  std::memset(dataHeader_, 0, sizeof dataHeader_);
  dataLength_ = 0;
}

namespace {

enum class LoadResult { Ok, ReadFailed, NoMemory };

// Reads count entries of entrySize bytes at position into list.
LoadResult LoadTable(CDataSource* file, uint32_t fileLength, uint32_t position, uint32_t count,
                     uint16_t entrySize, CRecordList* list) {
  const uint64_t bytes = static_cast<uint64_t>(count) * entrySize;
  if (static_cast<uint64_t>(position) + bytes > fileLength) return LoadResult::ReadFailed;
  if (count == 0) return LoadResult::Ok;
  if (!list->Create(count, entrySize, count)) return LoadResult::NoMemory;
  if (!file->ReadAt(position, list->GetBuffer(), static_cast<uint32_t>(bytes))) {
    return LoadResult::ReadFailed;
  }
  list->SetCount(count);
  return LoadResult::Ok;
}

// Reads count names (a length byte below 64, then the bytes) from
// bytes[*pos..size) into a list of 64-byte entries.
LoadResult LoadNames(const unsigned char* bytes, uint32_t size, uint32_t* pos, uint32_t count,
                     CRecordList* list) {
  if (count == 0) return LoadResult::Ok;
  if (!list->Create(count, kChangeNameSize, count)) return LoadResult::NoMemory;
  char entry[kChangeNameSize];
  for (uint32_t i = 0; i < count; ++i) {
    if (*pos >= size) return LoadResult::ReadFailed;
    const uint32_t length = bytes[(*pos)++];
    if (length >= kChangeNameSize || size - *pos < length) return LoadResult::ReadFailed;
    std::memset(entry, 0, sizeof entry);
    std::memcpy(entry, bytes + *pos, length);
    *pos += length;
    if (!list->Add(entry)) return LoadResult::NoMemory;
  }
  return LoadResult::Ok;
}

// The index header (read into header) and its three tables; *length is
// the index file's length.
LoadResult LoadIndexTables(CDataSource* indexFile, unsigned char* header, uint32_t* length,
                           CRecordList* codes, CRecordList* blocks, CRecordList* offsets) {
  uint64_t indexLength = 0;
  if (!indexFile->Read(header, kChangeIndexHeaderSize) || std::memcmp(header, "TVXI", 4) != 0 ||
      !((indexLength = indexFile->GetSize()), true) || Load32(header + 8) != indexLength) {
    return LoadResult::ReadFailed;
  }
  *length = static_cast<uint32_t>(indexLength);
  LoadResult result =
      LoadTable(indexFile, *length, Load32(header + 28), Load32(header + 32), 6, codes);
  if (result == LoadResult::Ok)
    result = LoadTable(indexFile, *length, Load32(header + 36), Load32(header + 40), 6, blocks);
  if (result == LoadResult::Ok)
    result = LoadTable(indexFile, *length, Load32(header + 44), Load32(header + 48), 4, offsets);
  return result;
}

// The block and lot name lists, which follow the record offsets directly.
LoadResult LoadNameLists(CDataSource* indexFile, const unsigned char* header, uint32_t length,
                         CRecordList* blockNames, CRecordList* lotNames) {
  const uint32_t blockNameCount = Load16(header + 56);
  const uint32_t lotNameCount = Load16(header + 62);
  if (blockNameCount == 0 && lotNameCount == 0) return LoadResult::Ok;
  const uint64_t start = static_cast<uint64_t>(Load32(header + 44)) + 4ull * Load32(header + 48);
  // Nothing but the two lists follows; they hold at most 64 bytes a name.
  const uint64_t most = static_cast<uint64_t>(blockNameCount + lotNameCount) * kChangeNameSize;
  uint32_t rest = start <= length ? static_cast<uint32_t>(length - start) : 0;
  if (rest > most) rest = static_cast<uint32_t>(most);
  if (rest == 0) return LoadResult::ReadFailed;
  std::string bytes(rest, '\0');
  if (!indexFile->ReadAt(static_cast<uint32_t>(start), bytes.data(), rest))
    return LoadResult::ReadFailed;
  uint32_t pos = 0;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  LoadResult result = LoadNames(p, rest, &pos, blockNameCount, blockNames);
  if (result == LoadResult::Ok) result = LoadNames(p, rest, &pos, lotNameCount, lotNames);
  return result;
}

}  // namespace

int CChangeHistory::Open(const char* dataPath, const char* indexPath, char* msg) {
  Close();
  const char* const data = dataPath != nullptr ? dataPath : "";
  const char* const index = indexPath != nullptr ? indexPath : "";

  if (std::strlen(data) >= kPathSize || !dataFile_.OpenSharedImage(data)) {
    SetMessage(msg, kMsgFileOpen, data);
    Close();
    return 0;
  }
  uint64_t realLength = 0;
  if (!dataFile_.Read(dataHeader_, kChangeDataHeaderSize) ||
      std::memcmp(dataHeader_, "TVXC", 4) != 0 || !((realLength = dataFile_.GetSize()), true) ||
      Load32(dataHeader_ + 8) != realLength) {
    SetMessage(msg, kMsgFileRead, data);
    Close();
    return 0;
  }
  const uint32_t dataLength = static_cast<uint32_t>(realLength);

  CDataSource indexFile;
  if (std::strlen(index) >= kPathSize || !indexFile.OpenSharedImage(index)) {
    SetMessage(msg, kMsgFileOpen, index);
    Close();
    return 0;
  }
  unsigned char header[kChangeIndexHeaderSize];
  uint32_t length = 0;
  LoadResult result =
      LoadIndexTables(&indexFile, header, &length, &codeTable_, &blockTable_, &recordOffsets_);
  if (result == LoadResult::Ok)
    result = LoadNameLists(&indexFile, header, length, &blockNames_, &lotNames_);
  indexFile.Close();
  if (result != LoadResult::Ok) {
    if (result == LoadResult::NoMemory) {
      SetMessage(msg, kMsgWorkMemory);
    } else {
      SetMessage(msg, kMsgFileRead, index);
    }
    Close();
    return 0;
  }

  std::strcpy(dataPath_, data);
  std::strcpy(indexPath_, index);
  dataLength_ = dataLength;
  state_ = 1;
  return 1;
}

uint32_t CChangeHistory::GetFormatVersion() const { return state_ ? Load32(dataHeader_ + 12) : 0; }

uint32_t CChangeHistory::GetSearchCount(int kind) const {
  switch (kind) {
    case kByCode:
      return codeTable_.GetCount();
    case kByCodeAndName:
      return blockTable_.GetCount();
    case kByCodeAndNames:
      return recordOffsets_.GetCount();
    default:
      return 0;
  }
}

int CChangeHistory::GetKeyEntry(int kind, uint32_t n, ChangeKeyEntry* entry) const {
  const CRecordList* table = nullptr;
  if (kind == kByCode) {
    table = &codeTable_;
  } else if (kind == kByCodeAndName) {
    table = &blockTable_;
  } else {
    return 0;
  }
  const auto* p = static_cast<const unsigned char*>(table->GetPtr(n));
  if (p == nullptr || entry == nullptr) return 0;
  entry->first = Load32(p);
  entry->count = Load16(p + 4);
  return 1;
}

uint32_t CChangeHistory::GetRecordNumber(int kind, uint32_t position) const {
  if (position == 0) return 0;
  ChangeKeyEntry entry;
  switch (kind) {
    case kByCodeAndNames:
      return position;
    case kByCodeAndName:
      return GetKeyEntry(kByCodeAndName, position, &entry) ? entry.first : 0;
    case kByCode:
      if (!GetKeyEntry(kByCode, position, &entry)) return 0;
      return GetKeyEntry(kByCodeAndName, entry.first, &entry) ? entry.first : 0;
    default:
      return 0;
  }
}

int CChangeHistory::ReadRecord(uint32_t n, ChangeRecord* record) {
  const auto* p = static_cast<const unsigned char*>(recordOffsets_.GetPtr(n));
  if (!state_ || p == nullptr || record == nullptr) return 0;
  const uint64_t position = kChangeDataHeaderSize + static_cast<uint64_t>(Load32(p));
  if (position + kChangeRecordSize > dataLength_) return 0;
  unsigned char bytes[kChangeRecordSize];
  if (!dataFile_.ReadAt(static_cast<uint32_t>(position), bytes, kChangeRecordSize)) {
    return 0;
  }
  DecodeChangeRecord(bytes, record);
  return 1;
}

int CChangeHistory::ReadRecordTexts(const ChangeRecord& record, char* name1, char* name2,
                                    char* sortForm1, char* sortForm2) {
  const uint32_t total = static_cast<uint32_t>(record.name1Length) + record.name2Length +
                         record.sortForm1Length + record.sortForm2Length;
  char stored[4 * 255];
  if (total != 0) {
    if (!state_ || !dataFile_.Read(stored, total)) return 0;
  }
  const char* p = stored;
  const char* s1 = p;
  p += record.name1Length;
  const char* s2 = p;
  p += record.name2Length;
  const char* s3 = p;
  p += record.sortForm1Length;
  const char* s4 = p;
  char t1[kChangeTextSize], t2[kChangeTextSize], t3[kChangeTextSize], t4[kChangeTextSize];
  MakeChangeRecordTexts(record, s1, s2, s3, s4, t1, t2, t3, t4);
  if (name1 != nullptr) std::strcpy(name1, t1);
  if (name2 != nullptr) std::strcpy(name2, t2);
  if (sortForm1 != nullptr) std::strcpy(sortForm1, t3);
  if (sortForm2 != nullptr) std::strcpy(sortForm2, t4);
  return 1;
}

int CChangeHistory::GetRecord(uint32_t n, ChangeRecord* record, char* name1, char* name2,
                              char* sortForm1, char* sortForm2) {
  if (!ReadRecord(n, record)) return 0;
  if (GetFormatVersion() < 200) {
    record->precision =
        IsPlainScaleCode(record->precision) ? static_cast<uint8_t>(record->precision * 10) : 0;
  }
  return ReadRecordTexts(*record, name1, name2, sortForm1, sortForm2);
}

// ---- Searches ----

int CChangeHistory::SetTarget(const char* code, const char* name, const char* secondName,
                              int kind) {
  uint16_t cityCode = 0;
  uint16_t p1 = 0;
  uint16_t p2 = 0;
  if (!state_ || !change_bytes::ParsePlaceCode(code, &cityCode, &p1, &p2)) return 0;
  // The targets hold names below kChangeNameSize bytes; a longer name can
  // equal no record's sort form that the search could be asked about.
  if (kind >= kByCodeAndName && (name == nullptr || std::strlen(name) >= kChangeNameSize)) return 0;
  if (kind == kByCodeAndNames &&
      (secondName == nullptr || std::strlen(secondName) >= kChangeNameSize)) {
    return 0;
  }
  targetCity_ = cityCode;
  targetPart1_ = p1;
  targetPart2_ = p2;
  std::strcpy(targetName_, kind >= kByCodeAndName ? name : "");
  std::strcpy(targetSecondName_, kind == kByCodeAndNames ? secondName : "");
  searchKind_ = kind;
  return 1;
}

int CChangeHistory::CompareWithTarget(uint32_t position, int* result) {
  const uint32_t n = GetRecordNumber(searchKind_, position);
  ChangeRecord record;
  if (n == 0 || !ReadRecord(n, &record)) return 0;
  int c = 0;
  if (record.cityCode != targetCity_) {
    c = record.cityCode < targetCity_ ? -1 : 1;
  } else if (record.part1 != targetPart1_) {
    c = record.part1 < targetPart1_ ? -1 : 1;
  } else if (record.part2 != targetPart2_) {
    c = record.part2 < targetPart2_ ? -1 : 1;
  } else if (searchKind_ != kByCode) {
    char sort1[kChangeTextSize];
    char sort2[kChangeTextSize];
    if (!ReadRecordTexts(record, nullptr, nullptr, sort1, sort2)) return 0;
    c = std::strcmp(sort1, targetName_);
    if (c == 0 && searchKind_ == kByCodeAndNames) c = std::strcmp(sort2, targetSecondName_);
  }
  lastCompare_ = c;
  *result = c;
  return 1;
}

uint32_t CChangeHistory::RangeSearch() {
  int64_t low = 1;
  int64_t high = GetSearchCount(searchKind_);
  int c = 0;
  while (high >= low) {
    if (!CompareWithTarget(static_cast<uint32_t>(low), &c)) return 0;
    if (c == 0) return static_cast<uint32_t>(low);
    if (c > 0 || low == high) return 0;
    if (!CompareWithTarget(static_cast<uint32_t>(high), &c)) return 0;
    if (c == 0) return static_cast<uint32_t>(high);
    if (c < 0 || high - low == 1) return 0;
    const int64_t middle = (low + high) / 2;
    middle_ = static_cast<int>(middle);
    if (!CompareWithTarget(static_cast<uint32_t>(middle), &c)) return 0;
    if (c == 0) return static_cast<uint32_t>(middle);
    if (c < 0) {
      low = middle + 1;
      high = high - 1;
    } else {
      high = middle - 1;
      low = low + 1;
    }
  }
  return 0;
}

uint32_t CChangeHistory::FindByCode(const char* code) {
  if (!SetTarget(code, nullptr, nullptr, kByCode)) return 0;
  return RangeSearch();
}

uint32_t CChangeHistory::FindByCodeAndName(const char* code, const char* name) {
  if (!SetTarget(code, name, nullptr, kByCodeAndName)) return 0;
  return RangeSearch();
}

uint32_t CChangeHistory::FindByCodeAndNames(const char* code, const char* name,
                                            const char* secondName) {
  if (!SetTarget(code, name, secondName, kByCodeAndNames)) return 0;
  return RangeSearch();
}

// ---- Name lists ----

int CChangeHistory::IsListedName(const CRecordList& list, const char* text) {
  const uint32_t count = list.GetCount();
  if (count == 0) return 0;
  auto name = [&list](uint32_t n) { return static_cast<const char*>(list.GetPtr(n)); };
  if (count <= 5) {
    for (uint32_t n = 1; n <= count; ++n) {
      if (std::strcmp(name(n), text) == 0) return 1;
    }
    return 0;
  }
  int c = std::strcmp(name(1), text);
  if (c == 0) return 1;
  if (c > 0) return 0;
  c = std::strcmp(name(count), text);
  if (c == 0) return 1;
  if (c < 0) return 0;
  uint32_t low = 1;
  uint32_t high = count;
  while (high - low > 1) {
    const uint32_t middle = (low + high) / 2;
    c = std::strcmp(name(middle), text);
    if (c == 0) return 1;
    if (c < 0) {
      low = middle;
    } else {
      high = middle;
    }
  }
  return 0;
}

namespace {

int IsWholeNumberText(const char* text) {
  std::string copy(text);
  ToHalfWidthAscii(copy.data());
  int32_t value = 0;
  return ParseIntInRange(copy.c_str(), &value, -2147483647, 2147483647);
}

}  // namespace

int CChangeHistory::IsFirstNumberName(const char* text) const {
  if (text == nullptr || std::strlen(text) >= kNumberNameLimit) return 0;
  if (IsWholeNumberText(text)) return 1;
  return IsListedName(blockNames_, text);
}

int CChangeHistory::IsSecondNumberName(const char* text) const {
  if (text == nullptr || std::strlen(text) >= kNumberNameLimit) return 0;
  if (IsWholeNumberText(text)) return 1;
  return IsListedName(lotNames_, text);
}
