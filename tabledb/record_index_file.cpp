#include "tabledb/record_index_file.h"

#include <cstring>

#include "common/file_access.h"
#include "common/le_bytes.h"
#include "common/sjis_text.h"
#include "tabledb/db_file.h"
#include "tabledb/position_sort.h"
#include "tabledb/table_database.h"

namespace {

const char kIndexMagic[7] = {'D', 'B', 'I', 'N', 'D', 'E', 'X'};
constexpr uint32_t kPositionBatch = 400;
constexpr std::size_t kKeyFieldMax = 80;

void EncodeHeader(const RecordIndexHeader& header, unsigned char* out) {
  std::memset(out, 0, kRecordIndexHeaderSize);
  std::memcpy(out, kIndexMagic, 7);
  std::memcpy(out + 7, header.table, strnlen(header.table, 255));
  StoreLe(out + 263, header.reserved, 4);
  StoreLe(out + 267, header.firstKey, 4);
  StoreLe(out + 271, header.lastKey, 4);
  StoreLe(out + 275, header.arrayStart, 4);
}

int DecodeHeader(const unsigned char* in, RecordIndexHeader* header) {
  if (std::memcmp(in, kIndexMagic, 7) != 0) return 0;
  std::memcpy(header->table, in + 7, 255);
  header->table[255] = '\0';
  header->reserved = static_cast<uint32_t>(LoadLe(in + 263, 4));
  header->firstKey = static_cast<uint32_t>(LoadLe(in + 267, 4));
  header->lastKey = static_cast<uint32_t>(LoadLe(in + 271, 4));
  header->arrayStart = static_cast<uint32_t>(LoadLe(in + 275, 4));
  return 1;
}

void EncodeKey(const RecordIndexKey& key, unsigned char* out) {
  std::memset(out, 0, kRecordIndexKeySize);
  std::memcpy(out, key.field, strnlen(key.field, kKeyFieldMax));
  StoreLe(out + 81, static_cast<uint32_t>(key.descending), 4);
  StoreLe(out + 85, key.previous, 4);
  StoreLe(out + 89, key.next, 4);
}

void DecodeKey(const unsigned char* in, RecordIndexKey* key) {
  std::memcpy(key->field, in, kKeyFieldMax);
  key->field[kKeyFieldMax] = '\0';
  key->descending = static_cast<int32_t>(static_cast<uint32_t>(LoadLe(in + 81, 4)));
  key->previous = static_cast<uint32_t>(LoadLe(in + 85, 4));
  key->next = static_cast<uint32_t>(LoadLe(in + 89, 4));
}

}  // namespace

// Element storage and the key-chain comparison for the position sort.
class RecordIndexKeyOps {
 public:
  RecordIndexKeyOps(CRecordIndexFile& index, const CRecordIndexFile::ResolvedKey& key, int found)
      : index_(index), key_(key), found_(found) {}
  int Get(uint32_t n, uint32_t* value) {
    *value = index_.GetPositionAt(n);
    return *value != 0 ? 1 : 0;
  }
  int Set(uint32_t n, uint32_t value) { return index_.SetPositionAt(n, value); }
  int Compare(uint32_t a, uint32_t b, int32_t* result) {
    *result = 0;
    return found_ ? index_.CompareByKey(key_, a, b, result) : 1;
  }

 private:
  CRecordIndexFile& index_;
  CRecordIndexFile::ResolvedKey key_;
  int found_;
};

// Element storage and the comparison of texts from their N-th character.
class RecordIndexTextOps {
 public:
  RecordIndexTextOps(CRecordIndexFile& index, uint32_t offset, int firstChar)
      : index_(index), offset_(offset), firstChar_(firstChar) {}
  int Get(uint32_t n, uint32_t* value) {
    *value = index_.GetPositionAt(n);
    return *value != 0 ? 1 : 0;
  }
  int Set(uint32_t n, uint32_t value) { return index_.SetPositionAt(n, value); }
  int Compare(uint32_t a, uint32_t b, int32_t* result) {
    if (!index_.ReadText(a, offset_, index_.textA_) || !index_.ReadText(b, offset_, index_.textB_))
      return 0;
    const int c = CompareStrings(GetCharPtr(index_.textA_, firstChar_),
                                 GetCharPtr(index_.textB_, firstChar_));
    *result = c < 0 ? -1 : (c > 0 ? 1 : 0);
    return 1;
  }

 private:
  CRecordIndexFile& index_;
  uint32_t offset_;
  int firstChar_;
};

CRecordIndexFile::CRecordIndexFile()
    : open_(0),
      path_{},
      table_{},
      textA_(nullptr),
      textB_(nullptr),
      database_(nullptr),
      arrayStart_(0) {}

CRecordIndexFile::~CRecordIndexFile() { Close(); }

// ---------------------------------------------------------------------------
// Lifecycle

int CRecordIndexFile::AllocateBuffers() {
  void* block = textHeap_.Allocate(2, kRecordIndexTextSize);
  if (!block) return 0;
  textA_ = static_cast<char*>(block);
  textB_ = textA_ + kRecordIndexTextSize;
  return 1;
}

int CRecordIndexFile::Create(const char* path, const char* table) {
  Close();
  if (!path || !table || strnlen(path, kRecordIndexMaxPathLength + 1) > kRecordIndexMaxPathLength)
    return 0;
  if (strnlen(table, sizeof table_) >= sizeof table_) return 0;
  if (!AllocateBuffers()) return 0;
  RecordIndexHeader header;
  std::strcpy(header.table, table);
  // Without keys the array starts right after the header.
  header.arrayStart = kRecordIndexHeaderSize;
  unsigned char bytes[kRecordIndexHeaderSize];
  EncodeHeader(header, bytes);
  if (!tabledb_detail::CreateWithHeader(&file_, path, bytes, kRecordIndexHeaderSize)) {
    Close();
    return 0;
  }
  open_ = 1;
  std::strcpy(path_, path);
  std::strcpy(table_, table);
  arrayStart_ = header.arrayStart;
  return 1;
}

int CRecordIndexFile::Open(const char* path) { return OpenWith(path, 0); }

int CRecordIndexFile::OpenForUpdate(const char* path) { return OpenWith(path, 1); }

int CRecordIndexFile::OpenWith(const char* path, int forUpdate) {
  Close();
  if (!path || strnlen(path, kRecordIndexMaxPathLength + 1) > kRecordIndexMaxPathLength) return 0;
  if (!AllocateBuffers()) return 0;
  const int opened = forUpdate ? OpenFileForReadWrite(&file_, path) : OpenFileForRead(&file_, path);
  if (!opened) {
    Close();
    return 0;
  }
  open_ = 1;
  RecordIndexHeader header;
  uint32_t length = 0;
  if (!ReadHeader(&header) || !FileLength(&length)) {
    Close();
    return 0;
  }
  // A file written before any key holds start 0: its array follows the
  // header. A start inside the header or past the end is damage.
  if (header.arrayStart == 0) header.arrayStart = kRecordIndexHeaderSize;
  if (header.arrayStart < kRecordIndexHeaderSize || header.arrayStart > length) {
    Close();
    return 0;
  }
  std::strcpy(path_, path);
  std::strcpy(table_, header.table);
  arrayStart_ = header.arrayStart;
  return 1;
}

void CRecordIndexFile::Close() {
  if (file_.IsOpen()) file_.Close();
  textHeap_.Free();
  textA_ = textB_ = nullptr;
  open_ = 0;
  path_[0] = '\0';
  table_[0] = '\0';
  database_ = nullptr;
  arrayStart_ = 0;
}

// ---------------------------------------------------------------------------
// Header and keys

int CRecordIndexFile::FileLength(uint32_t* length) {
  uint64_t len = 0;
  if (!open_ || !file_.GetLength(len) || len > UINT32_MAX) return 0;
  *length = static_cast<uint32_t>(len);
  return 1;
}

int CRecordIndexFile::AppendBytes(const void* bytes, uint32_t count, uint32_t* position) {
  uint32_t end = 0;
  if (!FileLength(&end) || static_cast<uint64_t>(end) + count > UINT32_MAX) return 0;
  if (!WriteBytesToFileAt(&file_, end, bytes, count)) return 0;
  *position = end;
  return 1;
}

int CRecordIndexFile::ReadHeader(RecordIndexHeader* header) {
  unsigned char bytes[kRecordIndexHeaderSize];
  if (!open_ || !header || !ReadBytesFromFileAt(&file_, 0, bytes, kRecordIndexHeaderSize)) return 0;
  return DecodeHeader(bytes, header);
}

int CRecordIndexFile::WriteHeader(const RecordIndexHeader& header) {
  if (!open_) return 0;
  unsigned char bytes[kRecordIndexHeaderSize];
  EncodeHeader(header, bytes);
  return WriteBytesToFileAt(&file_, 0, bytes, kRecordIndexHeaderSize);
}

uint32_t CRecordIndexFile::GetFirstKeyPosition() {
  RecordIndexHeader header;
  return ReadHeader(&header) ? header.firstKey : 0;
}

int CRecordIndexFile::ReadKeyEntry(uint32_t position, RecordIndexKey* key) {
  unsigned char bytes[kRecordIndexKeySize];
  if (!open_ || !key || position == 0) return 0;
  if (!ReadBytesFromFileAt(&file_, position, bytes, kRecordIndexKeySize)) return 0;
  DecodeKey(bytes, key);
  return 1;
}

int CRecordIndexFile::WriteKeyEntry(uint32_t position, const RecordIndexKey& key) {
  if (!open_ || position == 0) return 0;
  unsigned char bytes[kRecordIndexKeySize];
  EncodeKey(key, bytes);
  return WriteBytesToFileAt(&file_, position, bytes, kRecordIndexKeySize);
}

uint32_t CRecordIndexFile::AddKey(const char* field, int32_t descending) {
  if (!open_ || !field || strnlen(field, kKeyFieldMax + 1) > kKeyFieldMax) return 0;
  // A key added after positions would move the array start past them.
  if (GetPositionCount() != 0) return 0;
  RecordIndexHeader header;
  if (!ReadHeader(&header)) return 0;
  RecordIndexKey last;
  if (header.lastKey != 0 && !ReadKeyEntry(header.lastKey, &last)) return 0;

  RecordIndexKey key;
  std::strcpy(key.field, field);
  key.descending = descending;
  key.previous = header.lastKey;
  unsigned char bytes[kRecordIndexKeySize];
  EncodeKey(key, bytes);
  uint32_t position = 0;
  if (!AppendBytes(bytes, kRecordIndexKeySize, &position)) return 0;
  if (header.lastKey != 0) {
    last.next = position;
    if (!WriteKeyEntry(header.lastKey, last)) return 0;
  } else {
    header.firstKey = position;
  }
  header.lastKey = position;
  header.arrayStart = position + kRecordIndexKeySize;
  if (!WriteHeader(header)) return 0;
  arrayStart_ = header.arrayStart;
  return position;
}

// ---------------------------------------------------------------------------
// Positions

uint32_t CRecordIndexFile::AppendPosition(uint32_t position) {
  unsigned char bytes[4];
  StoreLe(bytes, position, 4);
  uint32_t where = 0;
  if (!open_ || !AppendBytes(bytes, 4, &where)) return 0;
  return where;
}

int CRecordIndexFile::AttachDatabase(CTableDatabase* database) {
  if (!database || !database->IsOpen()) return 0;
  database_ = database;
  return 1;
}

int CRecordIndexFile::WritePositions(CTableDatabase* database, const char* field,
                                     uint32_t minimum) {
  if (!open_ || !database || !database->IsOpen()) return 0;
  const uint32_t tablePosition = database->FindTable(table_);
  TdbTableEntry table;
  if (tablePosition == 0 || !database->ReadTableEntry(tablePosition, &table)) return 0;
  uint32_t records = 0;
  if (!CountTableRecords(database, table_, &records)) return 0;

  unsigned char batch[4 * kPositionBatch];
  uint32_t inBatch = 0;
  uint32_t where = 0;
  uint32_t position = table.firstRecord;
  for (uint32_t n = 0; n < records; ++n) {
    if (position == 0) return 0;
    bool keep = true;
    if (field) {
      uint32_t chars = 0;
      if (!database->GetStringCharCount(position, table_, field, &chars)) return 0;
      keep = chars >= minimum;
    }
    if (keep) {
      StoreLe(batch + 4 * inBatch, position, 4);
      if (++inBatch == kPositionBatch) {
        if (!AppendBytes(batch, 4 * inBatch, &where)) return 0;
        inBatch = 0;
      }
    }
    TdbRecordHeader header;
    if (!database->ReadRecordHeader(position, &header)) return 0;
    position = header.nextRecord;
  }
  if (position != 0) return 0;
  if (inBatch > 0 && !AppendBytes(batch, 4 * inBatch, &where)) return 0;
  return AttachDatabase(database);
}

int CRecordIndexFile::WriteAllPositions(CTableDatabase* database) {
  return WritePositions(database, nullptr, 0);
}

int CRecordIndexFile::WriteSelectedPositions(CTableDatabase* database, const char* field,
                                             uint32_t minimum) {
  if (!field) return 0;
  return WritePositions(database, field, minimum);
}

uint32_t CRecordIndexFile::GetPositionCount() {
  uint32_t length = 0;
  if (!FileLength(&length) || length < arrayStart_) return 0;
  return (length - arrayStart_) / 4;
}

uint32_t CRecordIndexFile::GetPositionAt(uint32_t index) {
  if (index == 0 || index > GetPositionCount()) return 0;
  unsigned char bytes[4];
  const uint32_t at = arrayStart_ + 4 * (index - 1);
  if (!ReadBytesFromFileAt(&file_, at, bytes, 4)) return 0;
  return static_cast<uint32_t>(LoadLe(bytes, 4));
}

int CRecordIndexFile::SetPositionAt(uint32_t index, uint32_t position) {
  if (index == 0 || index > GetPositionCount()) return 0;
  unsigned char bytes[4];
  StoreLe(bytes, position, 4);
  return WriteBytesToFileAt(&file_, arrayStart_ + 4 * (index - 1), bytes, 4);
}

// ---------------------------------------------------------------------------
// Comparisons and sorts

int CRecordIndexFile::ReadText(uint32_t record, uint32_t offset, char* text) {
  return database_->GetStringAt(record, offset, text, kRecordIndexTextSize);
}

int CRecordIndexFile::StringFieldOffset(const char* field, uint32_t* offset) {
  int32_t type = 0;
  if (!field || !database_->FindField(table_, field, &type, nullptr, offset, nullptr)) return 0;
  return type == kTdbString ? 1 : 0;
}

int CRecordIndexFile::ResolveOrderKey(ResolvedKey* key, int* found) {
  *found = 0;
  RecordIndexHeader header;
  uint32_t length = 0;
  if (!ReadHeader(&header) || !FileLength(&length)) return 0;
  const uint32_t limit = length / kRecordIndexKeySize + 1;
  uint32_t steps = 0;
  for (uint32_t position = header.firstKey; position != 0;) {
    RecordIndexKey entry;
    if (++steps > limit || !ReadKeyEntry(position, &entry)) return 0;
    int32_t type = 0;
    uint32_t offset = 0;
    if (!database_->FindField(table_, entry.field, &type, nullptr, &offset, nullptr)) return 0;
    if (type != kTdbFloat) {
      key->type = type;
      key->offset = offset;
      key->direction = entry.descending != 0 ? -1 : 1;
      *found = 1;
      return 1;
    }
    position = entry.next;
  }
  return 1;
}

int CRecordIndexFile::CompareByKey(const ResolvedKey& key, uint32_t a, uint32_t b,
                                   int32_t* result) {
  *result = 0;
  const int32_t d = key.direction;
  const int number =
      tabledb_detail::OrderNumberField(*database_, key.type, key.offset, a, b, d, result);
  if (number >= 0) return number;
  if (key.type == kTdbString) {
    if (!ReadText(a, key.offset, textA_) || !ReadText(b, key.offset, textB_)) return 0;
    const int c = CompareStrings(textA_, textB_);
    *result = c == 0 ? 0 : (c > 0 ? d : -d);
  }
  // A key on a composite field gives no order: every pair is equal.
  return 1;
}

int CRecordIndexFile::Sort(uint32_t low, uint32_t high) {
  if (!open_ || !database_ || low == 0 || high < low || high > GetPositionCount()) return 0;
  ResolvedKey key{0, 0, 1};
  int found = 0;
  if (!ResolveOrderKey(&key, &found)) return 0;
  RecordIndexKeyOps ops(*this, key, found);
  return SortPositions(ops, low, high);
}

int CRecordIndexFile::SortByTextFrom(uint32_t low, uint32_t high, const char* field,
                                     int firstChar) {
  if (!open_ || !database_ || low == 0 || high < low || high > GetPositionCount()) return 0;
  uint32_t offset = 0;
  if (!StringFieldOffset(field, &offset)) return 0;
  RecordIndexTextOps ops(*this, offset, firstChar);
  return SortPositions(ops, low, high);
}

// ---------------------------------------------------------------------------
// Searches

uint32_t CRecordIndexFile::FindText(const char* field, const char* text) {
  if (!open_ || !database_ || !text) return 0;
  const uint32_t count = GetPositionCount();
  uint32_t offset = 0;
  if (count == 0 || !StringFieldOffset(field, &offset)) return 0;
  // The text of element n compared with the search text; 2 for a failure.
  auto compareAt = [&](uint32_t n) -> int {
    const uint32_t record = GetPositionAt(n);
    if (record == 0 || !ReadText(record, offset, textA_)) return 2;
    return CompareStrings(textA_, text);
  };
  if (count == 1) return compareAt(1) == 0 ? 1 : 0;
  uint32_t low = 1;
  uint32_t high = count;
  for (;;) {
    if (high == low || high == low + 1) {
      int c = compareAt(low);
      if (c == 0) return low;
      if (c == 2) return 0;
      return compareAt(high) == 0 ? high : 0;
    }
    const uint32_t mid = low + (high - low) / 2;
    const int c = compareAt(mid);
    if (c == 2) return 0;
    if (c <= 0) {
      low = mid;
    } else {
      high = mid;
    }
  }
}

uint32_t CRecordIndexFile::FindTextPrefix(const char* field, const char* text, int firstChar) {
  if (!open_ || !database_ || !text) return 0;
  const uint32_t count = GetPositionCount();
  uint32_t offset = 0;
  if (count == 0 || !StringFieldOffset(field, &offset)) return 0;
  const std::size_t length = std::strlen(text);
  // The first length bytes of element n's text from the character,
  // compared with the search text (unsigned); 2 for a failure.
  auto compareAt = [&](uint32_t n) -> int {
    const uint32_t record = GetPositionAt(n);
    if (record == 0 || !ReadText(record, offset, textA_)) return 2;
    const auto* a = reinterpret_cast<const unsigned char*>(GetCharPtr(textA_, firstChar));
    const auto* b = reinterpret_cast<const unsigned char*>(text);
    for (std::size_t i = 0; i < length; ++i) {
      if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;  // a's NUL sorts first
    }
    return 0;
  };
  uint32_t low = 1;
  uint32_t high = count;
  while (high > low + 1) {
    const uint32_t mid = low + (high - low) / 2;
    const int c = compareAt(mid);
    if (c == 2) return 0;
    if (c == 0) {
      const int before = compareAt(mid - 1);
      if (before == 2) return 0;
      if (before != 0) return mid;
      high = mid;
    } else if (c < 0) {
      low = mid;
    } else {
      high = mid;
    }
  }
  int c = compareAt(low);
  if (c == 0) return low;
  if (c == 2) return 0;
  return compareAt(high) == 0 ? high : 0;
}
