#include "tabledb/change_history_builder.h"

#include <cstring>
#include <string>

#include "common/code_parse.h"
#include "common/file_access.h"
#include "common/heap_buffer.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/partition_sort.h"
#include "common/path_util.h"
#include "common/width_kana.h"
#include "plat/crt.h"
#include "tabledb/change_bytes.h"

using change_bytes::Load32;
using change_bytes::Store16;
using change_bytes::Store32;

namespace {

const char kDataError[] = "データの取得に失敗しました！";
const char kSortError[] = "ソートに失敗しました！";

constexpr uint32_t kReservedRecordBytes = 31;
constexpr std::size_t kMaxStoredText = 255;
constexpr uint32_t kMaxRunLength = 0xFFFF;

// A record inside the packed record bytes, with its texts as the reader
// gives them. Never copied: the made texts live in the object.
struct RecordView {
  ChangeRecord record;
  const char* stored[4] = {nullptr, nullptr, nullptr, nullptr};
  uint32_t size = 0;  // 28 bytes and the stored texts

  // False when the record does not lie inside the bytes.
  bool Load(const unsigned char* bytes, uint32_t total, uint32_t offset) {
    if (offset > total || total - offset < kChangeRecordSize) return false;
    DecodeChangeRecord(bytes + offset, &record);
    const uint32_t lengths[4] = {record.name1Length, record.name2Length, record.sortForm1Length,
                                 record.sortForm2Length};
    uint32_t at = offset + kChangeRecordSize;
    for (int i = 0; i < 4; ++i) {
      if (total - at < lengths[i]) return false;
      stored[i] = reinterpret_cast<const char*>(bytes + at);
      at += lengths[i];
    }
    size = at - offset;
    return true;
  }

  // The two sort forms as the reader makes them (pointer and length; the
  // stored texts carry no terminator).
  void SortForms(const char** s1, std::size_t* n1, const char** s2, std::size_t* n2) {
    Effective(record.sortForm1Length, stored[2], record.name1Length, stored[0], record.blockNumber,
              made1, s1, n1);
    Effective(record.sortForm2Length, stored[3], record.name2Length, stored[1], record.lotNumber,
              made2, s2, n2);
  }

  void Texts(char* name1, char* name2, char* sort1, char* sort2) const {
    MakeChangeRecordTexts(record, stored[0], stored[1], stored[2], stored[3], name1, name2, sort1,
                          sort2);
  }

 private:
  static void Effective(uint32_t sortLength, const char* sortText, uint32_t nameLength,
                        const char* nameText, uint32_t number, char* made, const char** out,
                        std::size_t* outLength) {
    if (sortLength != 0) {
      *out = sortText;
      *outLength = sortLength;
    } else if (nameLength != 0) {
      *out = nameText;
      *outLength = nameLength;
    } else {
      *outLength = change_bytes::MakeFullWidthNumber(number, true, made);
      *out = made;
    }
  }

  char made1[24];
  char made2[24];
};

// strcmp order of two texts given by pointer and length.
int CompareSpans(const char* a, std::size_t na, const char* b, std::size_t nb) {
  const std::size_t n = na < nb ? na : nb;
  const int c = n == 0 ? 0 : std::memcmp(a, b, n);
  if (c != 0) return c;
  return na < nb ? -1 : (na > nb ? 1 : 0);
}

template <typename T>
int Compare3(T a, T b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

int CompareCodes(const ChangeRecord& a, const ChangeRecord& b) {
  int c = Compare3(a.cityCode, b.cityCode);
  if (c == 0) c = Compare3(a.part1, b.part1);
  if (c == 0) c = Compare3(a.part2, b.part2);
  return c;
}

// Records compared by code, then by the sort forms the reader makes.
int CompareByNames(RecordView& a, RecordView& b) {
  int c = CompareCodes(a.record, b.record);
  if (c != 0) return c;
  const char *a1, *a2, *b1, *b2;
  std::size_t na1, na2, nb1, nb2;
  a.SortForms(&a1, &na1, &a2, &na2);
  b.SortForms(&b1, &nb1, &b2, &nb2);
  c = CompareSpans(a1, na1, b1, nb1);
  if (c == 0) c = CompareSpans(a2, na2, b2, nb2);
  return c;
}

int CompareByNumbers(RecordView& a, RecordView& b) {
  int c = CompareCodes(a.record, b.record);
  if (c == 0) c = Compare3(a.record.blockNumber, b.record.blockNumber);
  if (c == 0) c = Compare3(a.record.lotNumber, b.record.lotNumber);
  return c;
}

// True when a name only repeats the number: its half-width copy is plain
// digits of that value, and the number is not 0.
bool RepeatsNumber(const char* name, uint32_t number) {
  if (number == 0) return false;
  std::string copy(name);
  ToHalfWidthAscii(copy.data());
  uint32_t value = 0;
  return change_bytes::ReadPlainDigits(copy.c_str(), copy.size(), &value) && value == number;
}

const char* OrEmpty(const char* text) { return text != nullptr ? text : ""; }

}  // namespace

CChangeHistoryBuilder::CChangeHistoryBuilder()
    : formatVersion_(0), growth_(0), timePinned_(false), pinnedTime_(0) {}

CChangeHistoryBuilder::~CChangeHistoryBuilder() { Free(); }

int CChangeHistoryBuilder::Init(uint32_t capacity, uint32_t growth, uint32_t formatVersion) {
  Free();
  const uint64_t bytes = static_cast<uint64_t>(capacity) * kReservedRecordBytes;
  const uint64_t growthBytes = static_cast<uint64_t>(growth) * kReservedRecordBytes;
  if (capacity == 0 || growth == 0 || bytes > UINT32_MAX || growthBytes > UINT32_MAX) return 0;
  if (!recordBytes_.Create(static_cast<uint32_t>(bytes), 1, static_cast<uint32_t>(growthBytes)) ||
      !recordOffsets_.Create(capacity, 4, growth)) {
    Free();
    return 0;
  }
  growth_ = growth;
  formatVersion_ = formatVersion;
  return 1;
}

void CChangeHistoryBuilder::Free() {
  recordBytes_.Free();
  recordOffsets_.Free();
}

void CChangeHistoryBuilder::PinCreationTime(uint32_t seconds) {
  timePinned_ = true;
  pinnedTime_ = seconds;
}

void CChangeHistoryBuilder::UnpinCreationTime() { timePinned_ = false; }

uint32_t CChangeHistoryBuilder::CreationTime() const {
  return timePinned_ ? pinnedTime_ : plat::crt::TimeLow32();
}

int CChangeHistoryBuilder::AddRecord(const char* code, const char* blockCode, const char* lotCode,
                                     uint32_t coordinate1, uint32_t coordinate2,
                                     const char* scaleText, const char* name1, const char* name2,
                                     const char* sortForm1, const char* sortForm2, int classCode,
                                     const char* digitText) {
  ChangeRecord record;
  const uint32_t offset = recordBytes_.GetCount();

  if (!change_bytes::ParsePlaceCode(code, &record.cityCode, &record.part1, &record.part2)) return 0;

  blockCode = OrEmpty(blockCode);
  lotCode = OrEmpty(lotCode);
  if (blockCode[0] != '\0' && !ParseCode5(blockCode, &record.blockNumber)) return 0;
  if (lotCode[0] != '\0' && !ParseCode5(lotCode, &record.lotNumber)) return 0;
  record.coordinate1 = coordinate1;
  record.coordinate2 = coordinate2;

  const int scale = change_bytes::ScaleCodeFromText(scaleText);
  if (scale == 0) return 0;
  const bool hasDigit = digitText != nullptr && digitText[0] != '\0';
  if (hasDigit && (digitText[1] != '\0' || !change_bytes::IsAsciiDigit(digitText[0]))) return 0;
  if (formatVersion_ >= 200) {
    if (!SetChangeRecordPrecisionCode(&record, scale)) return 0;
    if (hasDigit && !SetChangeRecordPrecisionDigit(&record, digitText[0] - '0')) return 0;
  } else {
    // Older files hold the plain scale code; the reader would turn a byte
    // with a digit into 0, so a digit cannot be written into them.
    if (hasDigit) return 0;
    record.precision = static_cast<uint8_t>(scale);
  }

  name1 = OrEmpty(name1);
  name2 = OrEmpty(name2);
  sortForm1 = OrEmpty(sortForm1);
  sortForm2 = OrEmpty(sortForm2);
  const char* texts[4] = {name1, name2, sortForm1, sortForm2};
  for (const char* text : texts) {
    if (std::strlen(text) > kMaxStoredText) return 0;
  }
  const bool store[4] = {
      name1[0] != '\0' && !RepeatsNumber(name1, record.blockNumber),
      name2[0] != '\0' && !RepeatsNumber(name2, record.lotNumber),
      std::strcmp(sortForm1, name1) != 0,
      std::strcmp(sortForm2, name2) != 0,
  };
  uint8_t lengths[4];
  for (int i = 0; i < 4; ++i) {
    lengths[i] = store[i] ? static_cast<uint8_t>(std::strlen(texts[i])) : 0;
  }
  record.name1Length = lengths[0];
  record.name2Length = lengths[1];
  record.sortForm1Length = lengths[2];
  record.sortForm2Length = lengths[3];

  if (classCode < 0 || classCode > 255) return 0;
  record.classCode = static_cast<uint8_t>(classCode);

  unsigned char bytes[kChangeRecordSize + 4 * kMaxStoredText];
  EncodeChangeRecord(record, bytes);
  uint32_t size = kChangeRecordSize;
  for (int i = 0; i < 4; ++i) {
    std::memcpy(bytes + size, texts[i], lengths[i]);
    size += lengths[i];
  }
  if (static_cast<uint64_t>(offset) + size > UINT32_MAX - kChangeDataHeaderSize) return 0;
  if (!change_bytes::AppendBytes(&recordBytes_, bytes, size)) return 0;
  unsigned char offsetBytes[4];
  Store32(offsetBytes, offset);
  if (!recordOffsets_.Add(offsetBytes)) {
    recordBytes_.DropLast(size);
    return 0;
  }
  return 1;
}

// ---- Sorting ----

namespace {

template <typename Less>
struct OffsetSortOps {
  const unsigned char* bytes;
  uint32_t total;
  unsigned char* offsets;  // 4-byte entries, record 1 first
  Less less;
  RecordView pivot;
  RecordView a;
  RecordView b;
  bool failed = false;

  uint32_t OffsetAt(int64_t n) const { return Load32(offsets + (n - 1) * 4); }
  bool Load(RecordView& view, int64_t n) {
    if (!view.Load(bytes, total, OffsetAt(n))) failed = true;
    return !failed;
  }
  void LoadPivot(int64_t n) { Load(pivot, n); }
  bool BelowPivot(int64_t n) { return Load(a, n) && !failed && less(a, pivot) < 0; }
  bool AbovePivot(int64_t n) { return Load(a, n) && !failed && less(a, pivot) > 0; }
  void Swap(int64_t x, int64_t y) {
    unsigned char t[4];
    std::memcpy(t, offsets + (x - 1) * 4, 4);
    std::memcpy(offsets + (x - 1) * 4, offsets + (y - 1) * 4, 4);
    std::memcpy(offsets + (y - 1) * 4, t, 4);
  }
  void OrderPair(int64_t x, int64_t y) {
    if (Load(a, x) && Load(b, y) && less(a, b) > 0) Swap(x, y);
  }
};

}  // namespace

template <typename Less>
int CChangeHistoryBuilder::SortRecords(Less less, char* msg) {
  const uint32_t count = recordOffsets_.GetCount();
  if (count < 2) return 1;
  const uint32_t total = recordBytes_.GetCount();
  CHeapBuffer sortedOffsets;
  CHeapBuffer sortedBytes;
  auto* offsets = static_cast<unsigned char*>(sortedOffsets.Allocate(count, 4));
  auto* bytes = static_cast<unsigned char*>(sortedBytes.Allocate(total, 1));
  if (offsets == nullptr || bytes == nullptr) {
    SetMessage(msg, kSortError);
    return 0;
  }
  std::memcpy(offsets, recordOffsets_.GetBuffer(), static_cast<std::size_t>(count) * 4);
  const auto* source = static_cast<const unsigned char*>(recordBytes_.GetBuffer());

  OffsetSortOps<Less> ops{source, total, offsets, less, {}, {}, {}};
  PartitionSort(ops, 1, count);
  if (ops.failed) {
    SetMessage(msg, kSortError);
    return 0;
  }

  // Copy the records in their new order and note where each now starts.
  uint32_t at = 0;
  RecordView view;
  for (uint32_t n = 0; n < count; ++n) {
    const uint32_t from = Load32(offsets + n * 4);
    if (!view.Load(source, total, from) || total - at < view.size) {
      SetMessage(msg, kSortError);
      return 0;
    }
    std::memcpy(bytes + at, source + from, view.size);
    Store32(offsets + n * 4, at);
    at += view.size;
  }
  if (at != total) {
    SetMessage(msg, kSortError);
    return 0;
  }
  std::memcpy(recordBytes_.GetBuffer(), bytes, total);
  std::memcpy(recordOffsets_.GetBuffer(), offsets, static_cast<std::size_t>(count) * 4);
  return 1;
}

int CChangeHistoryBuilder::SortByNames(char* msg) {
  return SortRecords([](RecordView& a, RecordView& b) { return CompareByNames(a, b); }, msg);
}

int CChangeHistoryBuilder::SortByNumbers(char* msg) {
  return SortRecords([](RecordView& a, RecordView& b) { return CompareByNumbers(a, b); }, msg);
}

// ---- Writing ----

namespace {

struct NameSortOps {
  CRecordList* list;
  char pivot[kChangeNameSize];

  char* At(int64_t n) { return static_cast<char*>(list->GetPtr(static_cast<uint32_t>(n))); }
  void LoadPivot(int64_t n) { std::memcpy(pivot, At(n), kChangeNameSize); }
  bool BelowPivot(int64_t n) { return std::strcmp(At(n), pivot) < 0; }
  bool AbovePivot(int64_t n) { return std::strcmp(At(n), pivot) > 0; }
  void Swap(int64_t a, int64_t b) {
    char t[kChangeNameSize];
    std::memcpy(t, At(a), kChangeNameSize);
    std::memcpy(At(a), At(b), kChangeNameSize);
    std::memcpy(At(b), t, kChangeNameSize);
  }
  void OrderPair(int64_t a, int64_t b) {
    if (std::strcmp(At(a), At(b)) > 0) Swap(a, b);
  }
};

// Adds a name to a list of 64-byte entries; false for a name too long.
bool AddName(CRecordList* list, const char* name) {
  const std::size_t length = std::strlen(name);
  if (length >= kChangeNameSize) return false;
  char entry[kChangeNameSize] = {};
  std::memcpy(entry, name, length);
  return list->Add(entry) != 0;
}

// Sorts the names and appends the distinct ones (length byte and bytes) to
// out; their number goes to *count. False when there are more than 65535.
bool SerializeNames(CRecordList* list, std::string* out, uint32_t* count) {
  *count = 0;
  if (list->GetCount() == 0) return true;
  NameSortOps ops{list, {}};
  PartitionSort(ops, 1, list->GetCount());
  const char* previous = nullptr;
  for (uint32_t n = 1; n <= list->GetCount(); ++n) {
    const char* name = static_cast<const char*>(list->GetPtr(n));
    if (previous != nullptr && std::strcmp(previous, name) == 0) continue;
    if (++*count > kMaxRunLength) return false;
    const std::size_t length = std::strlen(name);
    out->push_back(static_cast<char>(length));
    out->append(name, length);
    previous = name;
  }
  return true;
}

// The data file: its header, then the records as they were added; closed.
bool WriteDataFile(plat::File* file, uint32_t time, uint32_t version, const unsigned char* bytes,
                   uint32_t total) {
  unsigned char header[kChangeDataHeaderSize] = {};
  std::memcpy(header, "TVXC", 4);
  Store32(header + 4, time);
  Store32(header + 8, total + kChangeDataHeaderSize);
  Store32(header + 12, version);
  return WriteBytesToFile(file, header, kChangeDataHeaderSize) &&
         (total == 0 || WriteBytesToFile(file, bytes, total)) && file->Close();
}

// The key tables of the index and their entry counts.
struct KeyTables {
  std::string blockTable;
  std::string codeTable;
  uint32_t blockCount = 0;
  uint32_t codeCount = 0;
};

// The index's key tables: a block entry per run of equal (code, block
// number, sort form 1), a code entry per run of block entries of equal code.
// Null, or the message of the failure.
const char* BuildKeyTables(const CRecordList& offsets, const unsigned char* bytes, uint32_t total,
                           KeyTables* tables) {
  const uint32_t count = offsets.GetCount();
  RecordView views[2];
  int current = 0;
  bool havePrevious = false;
  uint32_t blockRun = 0;
  uint32_t codeRun = 0;
  ChangeRecord codeFirst;
  unsigned char entry[6];
  // An entry is made when its run ends: at the first record of the next
  // run, or after the last record.
  uint32_t blockFirstRecord = 0;
  uint32_t codeFirstBlock = 0;
  for (uint64_t i = 1; i <= static_cast<uint64_t>(count) + 1; ++i) {
    const uint32_t n = static_cast<uint32_t>(i);
    bool newBlock = true;
    bool newCode = true;
    RecordView& view = views[current];
    if (i <= count) {
      const auto* p = static_cast<const unsigned char*>(offsets.GetPtr(n));
      if (p == nullptr || !view.Load(bytes, total, Load32(p))) return kDataError;
      if (havePrevious) {
        RecordView& previous = views[1 - current];
        newCode = CompareCodes(view.record, codeFirst) != 0;
        if (!newCode && view.record.blockNumber == previous.record.blockNumber) {
          const char *s1, *s2, *p1, *p2;
          std::size_t n1, n2, m1, m2;
          view.SortForms(&s1, &n1, &s2, &n2);
          previous.SortForms(&p1, &m1, &p2, &m2);
          newBlock = CompareSpans(s1, n1, p1, m1) != 0;
        }
        newBlock = newBlock || newCode;
      }
    }
    if (havePrevious && newBlock) {
      if (blockRun > kMaxRunLength) return kMsgWorkMemory;
      Store32(entry, blockFirstRecord);
      Store16(entry + 4, static_cast<uint16_t>(blockRun));
      tables->blockTable.append(reinterpret_cast<const char*>(entry), 6);
      ++tables->blockCount;
      ++codeRun;
    }
    if (havePrevious && newCode) {
      if (codeRun > kMaxRunLength) return kMsgWorkMemory;
      Store32(entry, codeFirstBlock);
      Store16(entry + 4, static_cast<uint16_t>(codeRun));
      tables->codeTable.append(reinterpret_cast<const char*>(entry), 6);
      ++tables->codeCount;
    }
    if (i > count) break;
    if (newCode) {
      codeFirst = view.record;
      codeFirstBlock = tables->blockCount + 1;
      codeRun = 0;
    }
    if (newBlock) {
      blockFirstRecord = n;
      blockRun = 0;
    }
    ++blockRun;
    havePrevious = true;
    current = 1 - current;
  }
  return nullptr;
}

// The block and lot names that are not plain numbers, one list each. Null,
// or the message of the failure.
const char* CollectNames(const CRecordList& offsets, const unsigned char* bytes, uint32_t total,
                         CRecordList* blockNames, CRecordList* lotNames) {
  const uint32_t count = offsets.GetCount();
  if (!blockNames->Create(512, kChangeNameSize, 128) ||
      !lotNames->Create(512, kChangeNameSize, 128)) {
    return kMsgWorkMemory;
  }
  const char kFullWidthZero[] = "０";
  for (uint32_t n = 1; n <= count; ++n) {
    const auto* p = static_cast<const unsigned char*>(offsets.GetPtr(n));
    RecordView view;
    if (p == nullptr || !view.Load(bytes, total, Load32(p))) return kDataError;
    char name1[kChangeTextSize], name2[kChangeTextSize], sort1[kChangeTextSize],
        sort2[kChangeTextSize];
    view.Texts(name1, name2, sort1, sort2);
    const ChangeRecord& r = view.record;
    if ((r.name1Length != 0 || r.sortForm1Length != 0) && std::strcmp(name1, kFullWidthZero) != 0 &&
        !AddName(blockNames, name1)) {
      return kMsgWorkMemory;
    }
    if ((r.name2Length != 0 || r.sortForm2Length != 0) && std::strcmp(name2, kFullWidthZero) != 0 &&
        !AddName(lotNames, name2)) {
      return kMsgWorkMemory;
    }
  }
  return nullptr;
}

}  // namespace

int CChangeHistoryBuilder::WriteCompiledData(const char* dataPath, const char* indexPath,
                                             char* msg) {
  const char* const data = OrEmpty(dataPath);
  const char* const index = OrEmpty(indexPath);
  const uint32_t time = CreationTime();
  const uint32_t count = recordOffsets_.GetCount();
  const uint32_t total = recordBytes_.GetCount();
  const auto* bytes = static_cast<const unsigned char*>(recordBytes_.GetBuffer());

  // 1. The data file.
  plat::File dataFile;
  if (!OpenNewFileForReadWrite(&dataFile, data)) {
    SetMessage(msg, kMsgFileCreate, data);
    return 0;
  }
  plat::File indexFile;
  bool indexCreated = false;
  auto fail = [&](const char* format, const char* path) {
    if (path != nullptr) {
      SetMessage(msg, format, path);
    } else {
      SetMessage(msg, "%s", format);
    }
    dataFile.Close();
    indexFile.Close();
    RemoveFile(data);
    if (indexCreated) RemoveFile(index);
    return 0;
  };

  if (!WriteDataFile(&dataFile, time, formatVersion_, bytes, total))
    return fail(kMsgFileWrite, data);

  // 2. The index header, rewritten at the end.
  if (!OpenNewFileForReadWrite(&indexFile, index)) return fail(kMsgFileCreate, index);
  indexCreated = true;
  unsigned char header[kChangeIndexHeaderSize] = {};
  std::memcpy(header, "TVXI", 4);
  Store32(header + 4, time);
  if (!WriteBytesToFile(&indexFile, header, kChangeIndexHeaderSize)) {
    return fail(kMsgFileWrite, index);
  }

  // 3. Key tables.
  KeyTables tables;
  if (const char* failure = BuildKeyTables(recordOffsets_, bytes, total, &tables))
    return fail(failure, nullptr);
  const std::string& blockTable = tables.blockTable;
  const std::string& codeTable = tables.codeTable;
  const uint32_t blockCount = tables.blockCount;
  const uint32_t codeCount = tables.codeCount;
  const uint32_t codePosition = kChangeIndexHeaderSize;
  const uint64_t blockPosition = codePosition + static_cast<uint64_t>(codeTable.size());
  const uint64_t offsetsPosition = blockPosition + blockTable.size();
  const uint64_t namesPosition = offsetsPosition + static_cast<uint64_t>(count) * 4;
  if (namesPosition > UINT32_MAX) return fail(kMsgWorkMemory, nullptr);
  if ((!codeTable.empty() &&
       !WriteBytesToFile(&indexFile, codeTable.data(), static_cast<uint32_t>(codeTable.size()))) ||
      (!blockTable.empty() && !WriteBytesToFile(&indexFile, blockTable.data(),
                                                static_cast<uint32_t>(blockTable.size()))) ||
      (count != 0 && !WriteBytesToFile(&indexFile, recordOffsets_.GetBuffer(), count * 4))) {
    return fail(kMsgFileWrite, index);
  }
  Store32(header + 28, codePosition);
  Store32(header + 32, codeCount);
  Store32(header + 36, static_cast<uint32_t>(blockPosition));
  Store32(header + 40, blockCount);
  Store32(header + 44, static_cast<uint32_t>(offsetsPosition));
  Store32(header + 48, count);

  // 4. Name lists: the block and lot names that are not plain numbers.
  CRecordList blockNames;
  CRecordList lotNames;
  if (const char* failure = CollectNames(recordOffsets_, bytes, total, &blockNames, &lotNames))
    return fail(failure, nullptr);
  std::string names;
  uint32_t blockNameCount = 0;
  uint32_t lotNameCount = 0;
  if (!SerializeNames(&blockNames, &names, &blockNameCount)) return fail(kMsgWorkMemory, nullptr);
  const uint64_t lotNamesPosition = namesPosition + names.size();
  if (!SerializeNames(&lotNames, &names, &lotNameCount)) return fail(kMsgWorkMemory, nullptr);
  const uint64_t indexLength = namesPosition + names.size();
  if (indexLength > UINT32_MAX) return fail(kMsgWorkMemory, nullptr);
  if (!names.empty() &&
      !WriteBytesToFile(&indexFile, names.data(), static_cast<uint32_t>(names.size()))) {
    return fail(kMsgFileWrite, index);
  }
  Store32(header + 52, static_cast<uint32_t>(namesPosition));
  Store16(header + 56, static_cast<uint16_t>(blockNameCount));
  Store32(header + 58, static_cast<uint32_t>(lotNamesPosition));
  Store16(header + 62, static_cast<uint16_t>(lotNameCount));

  // 5. The final header.
  Store32(header + 8, static_cast<uint32_t>(indexLength));
  if (!SeekFileToBegin(&indexFile) ||
      !WriteBytesToFile(&indexFile, header, kChangeIndexHeaderSize) || !indexFile.Close()) {
    return fail(kMsgFileWrite, index);
  }
  return 1;
}
