#include "tabledb/table_sorter.h"

#include <cstring>

#include "common/le_bytes.h"
#include "common/sjis_text.h"
#include "common/width_kana.h"
#include "tabledb/data_source.h"
#include "tabledb/position_sort.h"
#include "tabledb/table_database.h"
#include "tabledb/table_names.h"
#include "tabledb/tag_db.h"

namespace {

// Bytes a block-number text of full-width digits is padded to.
constexpr std::size_t kBlockNumberWidth = 20;
// Positions written per write while a build lists the records.
constexpr uint32_t kPositionBatch = 400;

bool IsKeyType(int32_t type) {
  switch (type) {
    case kTdbUchar:
    case kTdbChar:
    case kTdbWord:
    case kTdbShort:
    case kTdbDword:
    case kTdbInt:
    case kTdbDouble:
    case kTdbString:
      return true;
    default:
      return false;
  }
}

// 1 when the text is one or more full-width digits ０-９ and nothing else.
bool IsFullWidthDigitText(const char* text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  if (*p == 0) return false;
  for (; *p != 0; p += 2) {
    if (p[0] != 0x82 || p[1] < 0x4F || p[1] > 0x58) return false;
  }
  return true;
}

// Left-pads a text of full-width digits with full-width spaces to 20 bytes.
void PadBlockNumber(char* text) {
  if (!IsFullWidthDigitText(text)) return;
  const std::size_t length = std::strlen(text);
  if (length >= kBlockNumberWidth) return;
  const std::size_t pad = kBlockNumberWidth - length;
  std::memmove(text + pad, text, length + 1);
  for (std::size_t i = 0; i < pad; i += 2) {
    text[i] = static_cast<char>(0x81);
    text[i + 1] = static_cast<char>(0x40);
  }
}

}  // namespace

// The element storage and comparison that the position sort runs on.
class TableSorterOps {
 public:
  explicit TableSorterOps(CTableSorter& sorter) : sorter_(sorter) {}
  int Get(uint32_t index, uint32_t* value) {
    *value = sorter_.GetPositionAt(index);
    return *value != 0 ? 1 : 0;
  }
  int Set(uint32_t index, uint32_t value) { return sorter_.SetPositionAt(index, value); }
  int Compare(uint32_t a, uint32_t b, int32_t* result) {
    return sorter_.CompareRecords(a, b, result);
  }

 private:
  CTableSorter& sorter_;
};

CTableSorter::CTableSorter()
    : setup_(0),
      source_(nullptr),
      database_(nullptr),
      table_{},
      textA_(nullptr),
      textB_(nullptr),
      textC_(nullptr),
      start_(0),
      count_(0),
      blockNumberMode_(0) {}

CTableSorter::~CTableSorter() { Clear(); }

void CTableSorter::Clear() {
  keys_.Free();
  textHeap_.Free();
  textA_ = textB_ = textC_ = nullptr;
  setup_ = 0;
  source_ = nullptr;
  database_ = nullptr;
  table_[0] = '\0';
  start_ = 0;
  count_ = 0;
  blockNumberMode_ = 0;
}

int CTableSorter::Setup(CDataSource* source, CTableDatabase* database, const char* table,
                        uint32_t keyCapacity) {
  Clear();
  if (!source || !database || !table || keyCapacity == 0) return 0;
  if (strnlen(table, sizeof table_) >= sizeof table_) return 0;
  if (database->FindTable(table) == 0) return 0;
  if (keyCapacity > UINT32_MAX / 64 || !keys_.Create(keyCapacity, keyCapacity * 64)) return 0;
  void* block = textHeap_.Allocate(3, kSortTextSize);
  if (!block) {
    Clear();
    return 0;
  }
  textA_ = static_cast<char*>(block);
  textB_ = textA_ + kSortTextSize;
  textC_ = textB_ + kSortTextSize;
  source_ = source;
  database_ = database;
  std::strcpy(table_, table);
  setup_ = 1;
  return 1;
}

// ---------------------------------------------------------------------------
// Key list

void CTableSorter::EncodeKey(const TableSortKey& key, WorkMemoryEntry* entry) {
  entry->userWord1 = key.type;
  entry->userWord2 = static_cast<int32_t>(key.offset);
  StoreLe(entry->userBytes, static_cast<uint16_t>(key.direction), 2);
  StoreLe(entry->userBytes + 2, static_cast<uint32_t>(key.codeOffset), 4);
}

void CTableSorter::DecodeKey(const WorkMemoryEntry& entry, const char* field, TableSortKey* key) {
  std::memset(key->field, 0, sizeof key->field);
  if (field) std::strncpy(key->field, field, sizeof key->field - 1);
  key->type = entry.userWord1;
  key->offset = static_cast<uint32_t>(entry.userWord2);
  key->direction = static_cast<int16_t>(static_cast<uint16_t>(LoadLe(entry.userBytes, 2)));
  key->codeOffset = static_cast<int32_t>(static_cast<uint32_t>(LoadLe(entry.userBytes + 2, 4)));
}

int32_t CTableSorter::AddKey(const char* field, int16_t direction) {
  if (!setup_ || !field ||
      strnlen(field, sizeof(TableSortKey::field)) >= sizeof(TableSortKey::field))
    return 0;
  TableSortKey key;
  int32_t type = 0;
  uint32_t offset = 0;
  if (!database_->FindField(table_, field, &type, nullptr, &offset, nullptr)) return 0;
  // A refused key is not kept: the list holds usable keys only.
  if (!IsKeyType(type)) return 0;
  std::strcpy(key.field, field);
  key.type = type;
  key.offset = offset;
  key.direction = direction;
  if (blockNumberMode_ && std::strcmp(table_, kTableBlock) == 0 &&
      std::strcmp(field, "街区番号") == 0) {
    int32_t codeType = 0;
    uint32_t codeOffset = 0;
    if (!database_->FindField(table_, "街区番号コード", &codeType, nullptr, &codeOffset, nullptr) ||
        codeType != kTdbString)
      return 0;
    key.codeOffset = static_cast<int32_t>(codeOffset);
  }
  const int32_t index = keys_.AddString(key.field);
  if (index == 0) {
    // The entry may stay linked without its string: take it out again.
    if (keys_.GetLast() != 0 && keys_.GetString(keys_.GetLast()) == nullptr) keys_.RemoveLast();
    return 0;
  }
  WorkMemoryEntry entry;
  if (!keys_.GetEntry(static_cast<uint32_t>(index), &entry)) return 0;
  EncodeKey(key, &entry);
  if (!keys_.SetEntry(static_cast<uint32_t>(index), &entry)) return 0;
  return index;
}

int32_t CTableSorter::GetNextKey(int32_t index) const {
  WorkMemoryEntry entry;
  if (index <= 0 || static_cast<uint32_t>(index) > keys_.GetCount()) return 0;
  if (!keys_.GetEntry(static_cast<uint32_t>(index), &entry) || !entry.inList) return 0;
  return entry.next;
}

int CTableSorter::GetKey(int32_t index, TableSortKey* key) const {
  WorkMemoryEntry entry;
  if (!key || index <= 0 || static_cast<uint32_t>(index) > keys_.GetCount()) return 0;
  if (!keys_.GetEntry(static_cast<uint32_t>(index), &entry)) return 0;
  DecodeKey(entry, keys_.GetString(index), key);
  return 1;
}

int CTableSorter::SetKey(int32_t index, const TableSortKey& key) {
  WorkMemoryEntry entry;
  if (index <= 0 || static_cast<uint32_t>(index) > keys_.GetCount()) return 0;
  if (strnlen(key.field, sizeof key.field) >= sizeof key.field) return 0;
  if (keys_.SetString(index, key.field) == 0) return 0;
  if (!keys_.GetEntry(static_cast<uint32_t>(index), &entry)) return 0;
  EncodeKey(key, &entry);
  return keys_.SetEntry(static_cast<uint32_t>(index), &entry);
}

void CTableSorter::ResetKeys() { keys_.Reset(); }

// ---------------------------------------------------------------------------
// Position array

uint32_t CTableSorter::GetPositionAt(uint32_t index) {
  if (!setup_ || index == 0) return 0;
  const uint64_t at = static_cast<uint64_t>(start_) + 4ull * (index - 1);
  unsigned char bytes[4];
  if (at > UINT32_MAX || !source_->ReadAt(static_cast<uint32_t>(at), bytes, 4)) return 0;
  return static_cast<uint32_t>(LoadLe(bytes, 4));
}

int CTableSorter::SetPositionAt(uint32_t index, uint32_t position) {
  if (!setup_ || index == 0) return 0;
  const uint64_t at = static_cast<uint64_t>(start_) + 4ull * (index - 1);
  unsigned char bytes[4];
  StoreLe(bytes, position, 4);
  if (at > UINT32_MAX) return 0;
  return source_->WriteAt(static_cast<uint32_t>(at), bytes, 4);
}

// ---------------------------------------------------------------------------
// Comparison

int CTableSorter::ReadKeyText(uint32_t record, const TableSortKey& key, char* text) {
  if (!database_->GetStringAt(record, key.offset, text, kSortTextSize)) return 0;
  if (key.codeOffset < 0) return 1;
  if (text[0] == '\0') {
    if (!database_->GetStringAt(record, static_cast<uint32_t>(key.codeOffset), text, kSortTextSize))
      return 0;
    ToFullWidth(text, kSortTextSize);
  }
  PadBlockNumber(text);
  return 1;
}

int CTableSorter::CompareRecords(uint32_t a, uint32_t b, int32_t* result) {
  *result = 0;
  const uint32_t limit = keys_.GetCount();
  uint32_t steps = 0;
  for (int32_t index = keys_.GetFirst(); index != 0;) {
    if (++steps > limit) return 0;
    WorkMemoryEntry entry;
    if (!keys_.GetEntry(static_cast<uint32_t>(index), &entry)) return 0;
    TableSortKey key;
    DecodeKey(entry, nullptr, &key);
    const int32_t d = key.direction == kSortAscending ? 1 : -1;
    int32_t order = 0;
    const int number =
        tabledb_detail::OrderNumberField(*database_, key.type, key.offset, a, b, d, &order);
    if (number == 0) return 0;
    if (number < 0) {
      // A key written with another type through SetKey cannot be read.
      if (key.type != kTdbString) return 0;
      if (!ReadKeyText(a, key, textA_) || !ReadKeyText(b, key, textB_)) return 0;
      const int c = CompareStrings(textA_, textB_);
      order = c == 0 ? 0 : (c > 0 ? d : -d);
    }
    if (order != 0) {
      *result = order;
      return 1;
    }
    index = entry.next;
  }
  return 1;
}

// ---------------------------------------------------------------------------
// Build

int CTableSorter::Build(uint32_t* start, uint32_t* count) {
  if (start) *start = 0;
  if (count) *count = 0;
  if (!setup_) return 0;
  const uint32_t tablePosition = database_->FindTable(table_);
  TdbTableEntry table;
  if (tablePosition == 0 || !database_->ReadTableEntry(tablePosition, &table)) return 0;
  // The chain's length, known to end: the walk below is bounded by it.
  uint32_t records = 0;
  if (!CountTableRecords(database_, table_, &records)) return 0;

  start_ = source_->GetPosition();
  count_ = 0;
  if (start) *start = start_;
  unsigned char batch[4 * kPositionBatch];
  uint32_t inBatch = 0;
  uint32_t position = table.firstRecord;
  for (uint32_t n = 0; n < records; ++n) {
    if (position == 0) return 0;
    StoreLe(batch + 4 * inBatch, position, 4);
    if (++inBatch == kPositionBatch) {
      if (!source_->Write(batch, 4 * inBatch)) return 0;
      count_ += inBatch;
      inBatch = 0;
    }
    TdbRecordHeader header;
    if (!database_->ReadRecordHeader(position, &header)) return 0;
    position = header.nextRecord;
  }
  if (position != 0) return 0;
  if (inBatch > 0) {
    if (!source_->Write(batch, 4 * inBatch)) return 0;
    count_ += inBatch;
  }
  if (count) *count = count_;

  if (count_ >= 2 && keys_.GetFirst() != 0) {
    TableSorterOps ops(*this);
    if (!SortPositions(ops, 1, count_)) return 0;
  }
  return 1;
}

// ---------------------------------------------------------------------------
// Tree export

int CTableSorter::ExportValueTree(CTagDb* tree, uint32_t parent) {
  return ExportTree(tree, parent, 0);
}

int CTableSorter::ExportRecordTree(CTagDb* tree, uint32_t parent) {
  return ExportTree(tree, parent, 1);
}

int CTableSorter::ExportTree(CTagDb* tree, uint32_t parent, int records) {
  if (!setup_ || !tree || !tree->IsOpen()) return 0;
  // The keys in list order; only STRING keys make a tree.
  const uint32_t limit = keys_.GetCount();
  uint32_t keyCount = 0;
  for (int32_t index = keys_.GetFirst(); index != 0; index = GetNextKey(index)) {
    TableSortKey key;
    if (++keyCount > limit || !GetKey(index, &key) || key.type != kTdbString) return 0;
  }

  const uint32_t top = tree->AddNamedChild(parent, records ? "CDB_TREE_INX" : "CDB_TREE_STR");
  const uint32_t fields = top != 0 ? tree->AddNamedChild(top, "FIELD") : 0;
  if (fields == 0) return 0;
  for (int32_t index = keys_.GetFirst(); index != 0; index = GetNextKey(index)) {
    TableSortKey key;
    if (!GetKey(index, &key) || tree->AddNamedChild(fields, key.field) == 0) return 0;
  }
  const uint32_t values = tree->AddNamedChild(top, records ? "INDEX" : "STRING");
  if (values == 0) return 0;

  // The previous record's text at each key, kept whole.
  CHeapBuffer previousHeap;
  char* previous = nullptr;
  if (keyCount > 0) {
    previous = static_cast<char*>(previousHeap.Allocate(keyCount, kSortTextSize));
    if (!previous) return 0;
  }
  for (uint32_t i = 1; i <= count_; ++i) {
    const uint32_t record = GetPositionAt(i);
    if (record == 0) return 0;
    uint32_t current = values;
    int changed = i == 1 ? 1 : 0;
    uint32_t k = 0;
    for (int32_t index = keys_.GetFirst(); index != 0; index = GetNextKey(index), ++k) {
      TableSortKey key;
      if (!GetKey(index, &key) ||
          !database_->GetStringAt(record, key.offset, textC_, kSortTextSize))
        return 0;
      char* before = previous + static_cast<std::size_t>(k) * kSortTextSize;
      if (!changed && std::strcmp(before, textC_) != 0) changed = 1;
      std::strcpy(before, textC_);
      if (changed) {
        current = tree->AddNamedChild(current, textC_);
      } else {
        TagNode node;
        current = tree->ReadNode(current, &node) ? node.lastChild : 0;
      }
      if (current == 0) return 0;
    }
    if (records) {
      const uint32_t leaf = tree->AddChild(current);
      TagNode node;
      if (leaf == 0 || !tree->ReadNode(leaf, &node)) return 0;
      node.value = record;
      if (!tree->WriteNode(leaf, node)) return 0;
    }
  }
  return 1;
}

// ---------------------------------------------------------------------------
// One-call build of a sorted position file

int BuildSortedPositionFile(CTableDatabase* database, const char* table, const char* field,
                            const char* path, uint32_t* count, const char* secondField) {
  if (count) *count = 0;
  if (!database || !table || !field || !path) return 0;
  uint32_t records = 0;
  if (!CountTableRecords(database, table, &records)) return 0;
  const uint32_t capacity = records > 0 && records <= UINT32_MAX / 4 ? 4 * records : 4;
  CDataSource source;
  if (!source.CreateMemory(capacity, 4096)) return 0;
  uint32_t start = 0;
  uint32_t n = 0;
  {
    CTableSorter sorter;
    if (!sorter.Setup(&source, database, table, secondField ? 2 : 1) ||
        sorter.AddKey(field, kSortAscending) == 0 ||
        (secondField && sorter.AddKey(secondField, kSortAscending) == 0) ||
        !sorter.Build(&start, &n))
      return 0;
  }
  if (!source.SaveToFile(path)) return 0;
  if (count) *count = n;
  return 1;
}
