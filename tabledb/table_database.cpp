#include "tabledb/table_database.h"

#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "common/allocation_guard.h"
#include "common/copy_out.h"
#include "common/file_access.h"
#include "common/le_bytes.h"
#include "common/sjis_text.h"
#include "tabledb/db_file.h"
#include "tabledb/file_cache.h"

namespace {

bool IsDefinableType(int32_t type) { return type != kTdbObject && GetTdbFieldTypeSize(type) != 0; }

// Length of a text of at most limit bytes; limit + 1 when it is longer.
std::size_t BoundedLength(const char* text, std::size_t limit) { return strnlen(text, limit + 1); }

// Links the record header at position after the table's last record (as
// its first when it has none) and rewrites the table entry at tablePos.
int LinkRecordAtEnd(CTableDatabase& db, uint32_t tablePos, TdbTableEntry* entry,
                    uint32_t position) {
  if (entry->lastRecord != 0) {
    TdbRecordHeader last;
    if (!db.ReadRecordHeader(entry->lastRecord, &last)) return 0;
    last.nextRecord = position;
    if (!db.WriteRecordHeader(entry->lastRecord, &last)) return 0;
  } else {
    entry->firstRecord = position;
  }
  entry->lastRecord = position;
  return db.WriteTableEntry(tablePos, entry);
}

}  // namespace

// ---------------------------------------------------------------------------
// Lifecycle

CTableDatabase::CTableDatabase()
    : open_(0),
      recordBuffer_(nullptr),
      recordBufferSize_(0),
      directoryState_(0),
      cache_{},
      nextSlot_(1) {
  // Only the terminator: the path buffer is large and read up to its NUL.
  path_[0] = '\0';
}

CTableDatabase::~CTableDatabase() { Close(); }

int CTableDatabase::Create(const char* path) {
  Close();
  if (!path || BoundedLength(path, kTdbMaxPathLength) > kTdbMaxPathLength) return 0;
  unsigned char bytes[kTdbHeaderSize];
  EncodeTdbHeader(TdbHeader{}, bytes);
  if (!tabledb_detail::CreateWithHeader(&file_, path, bytes, kTdbHeaderSize)) return 0;
  mirror_.assign(bytes, bytes + kTdbHeaderSize);
  mirrored_ = 1;
  std::strcpy(path_, path);
  open_ = 1;
  return 1;
}

int CTableDatabase::Open(const char* path) { return OpenWith(path, 0); }

int CTableDatabase::OpenForUpdate(const char* path) { return OpenWith(path, 1); }

int CTableDatabase::OpenWith(const char* path, int forUpdate) {
  Close();
  if (!path || BoundedLength(path, kTdbMaxPathLength) > kTdbMaxPathLength) return 0;
  if (forUpdate) {
    if (!OpenFileForReadWrite(&file_, path)) return 0;
    // The copy the reads come from.
    uint64_t length = 0;
    if (file_.GetLength(length) && length <= UINT32_MAX) {
      // Without memory for the copy the reads go to the file.
      mirrored_ = CatchAllocationFailure(0, [&] {
        mirror_.resize(static_cast<std::size_t>(length));
        return length == 0 ||
                       ReadBytesFromFileAt(&file_, 0, mirror_.data(), static_cast<uint32_t>(length))
                   ? 1
                   : 0;
      });
      if (!mirrored_) std::vector<unsigned char>().swap(mirror_);
    }
  } else {
    // Reads go to the file's shared image; the file itself is not opened.
    image_ = AcquireCachedFile(path);
    if (!image_) return 0;
  }
  open_ = 1;  // lets the reads below run
  TdbHeader header;
  uint32_t length = 0;
  // A record can never be longer than the file (every field costs a
  // 300-byte entry and at most 32 bytes of record), so a larger size is
  // damage and is not allocated.
  if (ReadHeader(&header) && FileLength(&length) && header.maxRecordSize <= length) {
    // Running out of memory for the record buffer is a memory failure of
    // the caller (std::bad_alloc, the database closed again), never a file
    // that does not open.
    void* block = nullptr;
    try {
      block = recordHeap_.Take(header.maxRecordSize, 1);
    } catch (...) {
      Close();
      throw;
    }
    if (block) {
      recordBuffer_ = static_cast<unsigned char*>(block);
      recordBufferSize_ = header.maxRecordSize;
      std::strcpy(path_, path);
      return 1;
    }
  }
  Close();
  return 0;
}

void CTableDatabase::Close() {
  if (file_.IsOpen()) file_.Close();
  image_.reset();
  directory_.reset();
  std::vector<unsigned char>().swap(mirror_);
  mirrored_ = 0;
  directoryState_ = 0;
  recordHeap_.Free();
  recordBuffer_ = nullptr;
  recordBufferSize_ = 0;
  open_ = 0;
  path_[0] = '\0';
  ClearCache();
  nextSlot_ = 1;
}

char* CTableDatabase::GetPath(char* buffer, std::size_t bufferSize) const {
  return CopyWholeOrEmpty(buffer, bufferSize, path_, std::strlen(path_));
}

// ---------------------------------------------------------------------------
// Raw file access

int CTableDatabase::FileLength(uint32_t* length) {
  if (open_ && image_) {
    *length = image_->GetSize();
    return 1;
  }
  if (open_ && mirrored_) {
    *length = static_cast<uint32_t>(mirror_.size());
    return 1;
  }
  uint64_t len = 0;
  if (!open_ || !file_.GetLength(len) || len > UINT32_MAX) return 0;
  *length = static_cast<uint32_t>(len);
  return 1;
}

uint32_t CTableDatabase::WalkLimit(uint32_t itemSize) {
  uint32_t length = 0;
  if (!FileLength(&length)) return 0;
  return length / itemSize + 1;
}

int CTableDatabase::ReadRaw(uint32_t position, void* buffer, uint32_t count) {
  if (!open_ || (!buffer && count > 0)) return 0;
  if (count == 0) return 1;
  if (image_) return image_->ReadAt(position, buffer, count);
  if (mirrored_) {
    if (static_cast<uint64_t>(position) + count > mirror_.size()) return 0;
    std::memcpy(buffer, mirror_.data() + position, count);
    return 1;
  }
  return ReadBytesFromFileAt(&file_, position, buffer, count);
}

int CTableDatabase::WriteRaw(uint32_t position, const void* buffer, uint32_t count) {
  if (!open_ || (!buffer && count > 0)) return 0;
  if (count == 0) return 1;
  if (image_) return 0;  // opened for reading
  if (mirrored_) {
    const uint64_t end = static_cast<uint64_t>(position) + count;
    if (end > UINT32_MAX || !file_.WriteAt(position, buffer, count)) {
      // The file may hold part of the write: the copy no longer stands
      // for it.
      std::vector<unsigned char>().swap(mirror_);
      mirrored_ = 0;
      return 0;
    }
    // Without memory to grow the copy the reads go to the file from now on.
    const int grown = CatchAllocationFailure(0, [&] {
      if (end > mirror_.size()) mirror_.resize(static_cast<std::size_t>(end));  // a gap reads as 0
      return 1;
    });
    if (!grown) {
      std::vector<unsigned char>().swap(mirror_);
      mirrored_ = 0;
      return 1;
    }
    std::memcpy(mirror_.data() + position, buffer, count);
    return 1;
  }
  return WriteBytesToFileAt(&file_, position, buffer, count);
}

int CTableDatabase::AppendRaw(const void* buffer, uint32_t count, uint32_t* position) {
  uint32_t end = 0;
  if (!FileLength(&end)) return 0;
  if (static_cast<uint64_t>(end) + count > UINT32_MAX) return 0;  // positions are 32-bit
  if (!WriteRaw(end, buffer, count)) return 0;
  *position = end;
  return 1;
}

int CTableDatabase::ReadBytesAtPosition(uint32_t position, void* buffer, uint32_t count) {
  return ReadRaw(position, buffer, count);
}

// ---------------------------------------------------------------------------
// Header, tables and fields

int CTableDatabase::ReadHeader(TdbHeader* header) {
  unsigned char bytes[kTdbHeaderSize];
  if (!header || !ReadRaw(0, bytes, kTdbHeaderSize)) return 0;
  if (bytes[0] != 'D' || bytes[1] != 'B') return 0;
  DecodeTdbHeader(bytes, header);
  return 1;
}

int CTableDatabase::WriteHeader(const TdbHeader* header) {
  if (!header) return 0;
  unsigned char bytes[kTdbHeaderSize];
  EncodeTdbHeader(*header, bytes);
  return WriteRaw(0, bytes, kTdbHeaderSize);
}

uint32_t CTableDatabase::GetFirstTablePosition() {
  TdbHeader header;
  return ReadHeader(&header) ? header.firstTable : 0;
}

int CTableDatabase::ReadTableEntry(uint32_t position, TdbTableEntry* entry) {
  unsigned char bytes[kTdbTableEntrySize];
  if (!entry || !ReadRaw(position, bytes, kTdbTableEntrySize)) return 0;
  DecodeTdbTableEntry(bytes, entry);
  return 1;
}

int CTableDatabase::WriteTableEntry(uint32_t position, const TdbTableEntry* entry) {
  if (!entry) return 0;
  unsigned char bytes[kTdbTableEntrySize];
  EncodeTdbTableEntry(*entry, bytes);
  return WriteRaw(position, bytes, kTdbTableEntrySize);
}

int CTableDatabase::ReadFieldEntry(uint32_t position, TdbFieldEntry* entry) {
  unsigned char bytes[kTdbFieldEntrySize];
  if (!entry || !ReadRaw(position, bytes, kTdbFieldEntrySize)) return 0;
  DecodeTdbFieldEntry(bytes, entry);
  return 1;
}

int CTableDatabase::WriteFieldEntry(uint32_t position, const TdbFieldEntry* entry) {
  if (!entry) return 0;
  unsigned char bytes[kTdbFieldEntrySize];
  EncodeTdbFieldEntry(*entry, bytes);
  return WriteRaw(position, bytes, kTdbFieldEntrySize);
}

int CTableDatabase::LookupTable(const char* name, uint32_t* position) {
  *position = 0;
  if (name && DirectoryReady()) {
    const DirectoryTable* table = DirectoryFind(name);
    if (table) *position = table->position;
    return 1;
  }
  TdbHeader header;
  if (!name || !ReadHeader(&header)) return 0;
  const uint32_t limit = WalkLimit(kTdbTableEntrySize);
  uint32_t steps = 0;
  for (uint32_t pos = header.firstTable; pos != 0;) {
    if (++steps > limit) return 0;
    TdbTableEntry entry;
    if (!ReadTableEntry(pos, &entry)) return 0;
    if (std::strcmp(entry.name, name) == 0) {
      *position = pos;
      return 1;
    }
    pos = entry.nextTable;
  }
  return 1;
}

uint32_t CTableDatabase::FindTable(const char* name) {
  uint32_t position = 0;
  return LookupTable(name, &position) ? position : 0;
}

uint32_t CTableDatabase::CreateTable(const char* name) {
  if (!open_ || !name || BoundedLength(name, kTdbNameSize - 1) > kTdbNameSize - 1) return 0;
  uint32_t existing = 0;
  if (!LookupTable(name, &existing) || existing != 0) return 0;
  TdbHeader header;
  if (!ReadHeader(&header)) return 0;

  TdbTableEntry entry;
  std::strcpy(entry.name, name);
  entry.prevTable = header.lastTable;
  unsigned char bytes[kTdbTableEntrySize];
  EncodeTdbTableEntry(entry, bytes);
  uint32_t position = 0;
  if (!AppendRaw(bytes, kTdbTableEntrySize, &position)) return 0;

  if (header.lastTable != 0) {
    TdbTableEntry last;
    if (!ReadTableEntry(header.lastTable, &last)) return 0;
    last.nextTable = position;
    if (!WriteTableEntry(header.lastTable, &last)) return 0;
  } else {
    header.firstTable = position;
  }
  header.lastTable = position;
  if (!WriteHeader(&header)) return 0;
  return position;
}

int CTableDatabase::DropTable(const char* name) {
  uint32_t position = 0;
  if (!open_ || !LookupTable(name, &position) || position == 0) return 0;
  TdbTableEntry entry;
  TdbHeader header;
  if (!ReadTableEntry(position, &entry) || !ReadHeader(&header)) return 0;

  if (entry.prevTable != 0) {
    TdbTableEntry prev;
    if (!ReadTableEntry(entry.prevTable, &prev)) return 0;
    prev.nextTable = entry.nextTable;
    if (!WriteTableEntry(entry.prevTable, &prev)) return 0;
  } else {
    header.firstTable = entry.nextTable;
  }
  if (entry.nextTable != 0) {
    TdbTableEntry next;
    if (!ReadTableEntry(entry.nextTable, &next)) return 0;
    next.prevTable = entry.prevTable;
    if (!WriteTableEntry(entry.nextTable, &next)) return 0;
  } else {
    header.lastTable = entry.prevTable;
  }
  ClearCacheForTable(name);
  return WriteHeader(&header);
}

uint32_t CTableDatabase::GetFirstFieldPosition(const char* table) {
  uint32_t position = 0;
  TdbTableEntry entry;
  if (!LookupTable(table, &position) || position == 0) return 0;
  if (!ReadTableEntry(position, &entry)) return 0;
  return entry.firstField;
}

uint32_t CTableDatabase::AddField(const char* table, const char* field, int32_t type,
                                  int32_t declaredLength, const char* note1, const char* note2,
                                  double number1, double number2) {
  if (!open_ || !field || BoundedLength(field, kTdbNameSize - 1) > kTdbNameSize - 1) return 0;
  if (!IsDefinableType(type)) return 0;
  const char* notes[2] = {note1 ? note1 : "", note2 ? note2 : ""};
  for (const char* note : notes) {
    if (BoundedLength(note, kTdbMaxStringLength) > kTdbMaxStringLength) return 0;
  }
  uint32_t tablePos = 0;
  TdbTableEntry tableEntry;
  if (!LookupTable(table, &tablePos) || tablePos == 0) return 0;
  if (!ReadTableEntry(tablePos, &tableEntry)) return 0;

  TdbFieldEntry entry;
  std::strcpy(entry.name, field);
  entry.type = type;
  entry.declaredLength = declaredLength;
  entry.size = GetTdbFieldTypeSize(type);
  entry.number1 = number1;
  entry.number2 = number2;
  uint32_t* notePositions[2] = {&entry.note1, &entry.note2};
  for (int i = 0; i < 2; ++i) {
    if (notes[i][0] != '\0' && !StoreString(0, notes[i], notePositions[i])) return 0;
  }
  entry.prevField = tableEntry.lastField;
  unsigned char bytes[kTdbFieldEntrySize];
  EncodeTdbFieldEntry(entry, bytes);
  uint32_t position = 0;
  if (!AppendRaw(bytes, kTdbFieldEntrySize, &position)) return 0;

  if (tableEntry.lastField != 0) {
    TdbFieldEntry last;
    if (!ReadFieldEntry(tableEntry.lastField, &last)) return 0;
    last.nextField = position;
    if (!WriteFieldEntry(tableEntry.lastField, &last)) return 0;
  } else {
    tableEntry.firstField = position;
  }
  tableEntry.lastField = position;
  ClearCacheForTable(table);
  if (!WriteTableEntry(tablePos, &tableEntry)) return 0;
  return position;
}

int CTableDatabase::LookupFieldEntry(const char* table, const char* field, uint32_t* position,
                                     TdbFieldEntry* entry, uint32_t* offset) {
  if (field && table && DirectoryReady()) {
    const DirectoryTable* t = DirectoryFind(table);
    if (!t) return 0;
    const LayoutTable& laid =
        directory_->layout->tables[static_cast<std::size_t>(t - directory_->tables.data())];
    const std::size_t at = directory_->layout->FirstField(laid, field);
    if (at == laid.fields.size()) return 0;
    // The whole entry is read again from the image it was found in.
    if (!ReadFieldEntry(t->fieldPositions[at], entry)) return 0;
    *position = t->fieldPositions[at];
    *offset = laid.fields[at].offset;
    return 1;
  }
  uint32_t tablePos = 0;
  TdbTableEntry tableEntry;
  if (!field || !LookupTable(table, &tablePos) || tablePos == 0) return 0;
  if (!ReadTableEntry(tablePos, &tableEntry)) return 0;
  const uint32_t limit = WalkLimit(kTdbFieldEntrySize);
  uint32_t steps = 0;
  uint64_t running = 1;
  for (uint32_t pos = tableEntry.firstField; pos != 0;) {
    if (++steps > limit) return 0;
    if (!ReadFieldEntry(pos, entry)) return 0;
    if (std::strcmp(entry->name, field) == 0) {
      *position = pos;
      *offset = static_cast<uint32_t>(running);
      return 1;
    }
    running += entry->size;
    if (running > UINT32_MAX) return 0;
    pos = entry->nextField;
  }
  return 0;
}

uint32_t CTableDatabase::GetFieldNote(const char* table, const char* field, char* text,
                                      std::size_t textSize) {
  if (!text || textSize == 0) return 0;
  text[0] = '\0';
  uint32_t position = 0;
  uint32_t offset = 0;
  TdbFieldEntry entry;
  if (!LookupFieldEntry(table, field, &position, &entry, &offset)) return 0;
  if (!LoadString(entry.note2, text, textSize)) return 0;
  return position;
}

int CTableDatabase::ComputeRecordSize(const TdbTableEntry* entry, uint32_t* size) {
  *size = 0;
  if (!entry) return 0;
  const uint32_t limit = WalkLimit(kTdbFieldEntrySize);
  uint32_t steps = 0;
  uint64_t sum = 0;
  for (uint32_t pos = entry->firstField; pos != 0;) {
    if (++steps > limit) return 0;
    TdbFieldEntry field;
    if (!ReadFieldEntry(pos, &field)) return 0;
    sum += field.size;
    if (sum > UINT32_MAX) return 0;
    pos = field.nextField;
  }
  *size = static_cast<uint32_t>(sum);
  return 1;
}

uint32_t CTableDatabase::GetRecordSize(const TdbTableEntry* entry) {
  uint32_t size = 0;
  return ComputeRecordSize(entry, &size) ? size : 0;
}

uint32_t CTableDatabase::GetMaxRecordSize() {
  TdbHeader header;
  if (!ReadHeader(&header)) return 0;
  const uint32_t limit = WalkLimit(kTdbTableEntrySize);
  uint32_t steps = 0;
  uint32_t largest = 0;
  for (uint32_t pos = header.firstTable; pos != 0;) {
    if (++steps > limit) return 0;
    TdbTableEntry entry;
    uint32_t size = 0;
    if (!ReadTableEntry(pos, &entry) || !ComputeRecordSize(&entry, &size)) return 0;
    if (size > largest) largest = size;
    pos = entry.nextTable;
  }
  return largest;
}

int CTableDatabase::UpdateMaxRecordSize() {
  TdbHeader header;
  if (!ReadHeader(&header) || header.firstTable == 0) return 0;
  const uint32_t limit = WalkLimit(kTdbTableEntrySize);
  uint32_t steps = 0;
  uint32_t largest = 0;
  for (uint32_t pos = header.firstTable; pos != 0;) {
    if (++steps > limit) return 0;
    TdbTableEntry entry;
    uint32_t size = 0;
    if (!ReadTableEntry(pos, &entry) || !ComputeRecordSize(&entry, &size)) return 0;
    if (!WriteTableEntry(pos, &entry)) return 0;
    if (size > largest) largest = size;
    pos = entry.nextTable;
  }
  header.maxRecordSize = largest;
  if (!WriteHeader(&header)) return 0;
  recordHeap_.Free();
  recordBuffer_ = nullptr;
  recordBufferSize_ = 0;
  if (largest == 0) return 1;  // tables without fields: no record can be added yet
  void* block = recordHeap_.Allocate(largest, 1);
  if (!block) return 0;
  recordBuffer_ = static_cast<unsigned char*>(block);
  recordBufferSize_ = largest;
  return 1;
}

int CTableDatabase::FindField(const char* table, const char* field, int32_t* type,
                              int32_t* declaredLength, uint32_t* offset, uint32_t* size) {
  if (open_ && table && field && DirectoryReady()) {
    const LayoutField* f = FindLayoutField(table, field);
    if (type) *type = f ? f->type : 0;
    if (declaredLength) *declaredLength = f ? f->declaredLength : 0;
    if (offset) *offset = f ? f->offset : 0;
    if (size) *size = f ? f->size : 0;
    return f ? 1 : 0;
  }
  CacheSlot slot{};
  int found = 0;
  if (open_ && table && field) {
    if (CacheLookup(table, field, &slot)) {
      found = 1;
    } else {
      uint32_t position = 0;
      TdbFieldEntry entry;
      if (LookupFieldEntry(table, field, &position, &entry, &slot.offset)) {
        slot.type = entry.type;
        slot.declaredLength = entry.declaredLength;
        slot.size = entry.size;
        found = 1;
        if (std::strlen(table) <= kCacheNameMax && std::strlen(field) <= kCacheNameMax) {
          std::strcpy(slot.table, table);
          std::strcpy(slot.field, field);
          CacheInsert(slot);
        }
      }
    }
  }
  if (!found) slot = CacheSlot{};
  if (type) *type = slot.type;
  if (declaredLength) *declaredLength = slot.declaredLength;
  if (offset) *offset = slot.offset;
  if (size) *size = slot.size;
  return found;
}

// ---------------------------------------------------------------------------
// Table directory (databases opened for reading)

int CTableDatabase::DirectoryReady() {
  if (directoryState_ != 0) return directoryState_ > 0;
  directoryState_ = -1;
  if (!open_ || !image_) return 0;
  if (auto kept = image_->GetDerived()) {
    directory_ = std::static_pointer_cast<const Directory>(kept);
    directoryState_ = 1;
    return 1;
  }
  TdbHeader header;
  if (!ReadHeader(&header)) return 0;
  auto built = std::make_shared<Directory>();
  auto layout = std::make_shared<Layout>();
  const uint32_t tableLimit = WalkLimit(kTdbTableEntrySize);
  const uint32_t fieldLimit = WalkLimit(kTdbFieldEntrySize);
  uint32_t steps = 0;
  // The entries are read one at a time: only positions, offsets and the
  // packed layout are kept (a job touches no more pages than it keeps).
  TdbTableEntry tableEntry;
  TdbFieldEntry entry;
  auto addName = [&](const char* name) {
    const auto at = static_cast<uint32_t>(layout->names.size());
    layout->names.append(name).push_back('\0');
    return at;
  };
  for (uint32_t pos = header.firstTable; pos != 0;) {
    if (++steps > tableLimit) return 0;
    if (!ReadTableEntry(pos, &tableEntry)) return 0;
    DirectoryTable& table = built->tables.emplace_back();
    LayoutTable& laid = layout->tables.emplace_back();
    table.position = pos;
    laid.nameAt = addName(tableEntry.name);
    uint32_t fieldSteps = 0;
    uint64_t running = 1;
    for (uint32_t f = tableEntry.firstField; f != 0;) {
      if (++fieldSteps > fieldLimit) return 0;
      if (!ReadFieldEntry(f, &entry)) return 0;
      // Growing costs little: a field is kept in a few bytes.
      table.fieldPositions.push_back(f);
      laid.fields.push_back(LayoutField{addName(entry.name), entry.type, entry.declaredLength,
                                        static_cast<uint32_t>(running), entry.size});
      running += entry.size;
      // The walks fail at a sum beyond 32 bits: such a table is left to them.
      if (running > UINT32_MAX) return 0;
      f = entry.nextField;
    }
    pos = tableEntry.nextTable;
  }
  built->layout = SharedLayout(std::move(layout));
  directory_ = std::static_pointer_cast<const Directory>(image_->SetDerived(std::move(built)));
  directoryState_ = 1;
  return 1;
}

const CTableDatabase::DirectoryTable* CTableDatabase::DirectoryFind(const char* name) {
  // The names are compared in the layout, where they lie together (the
  // layout's tables stand in the directory's order).
  const Layout& layout = *directory_->layout;
  for (std::size_t i = 0; i < layout.tables.size(); ++i) {
    if (std::strcmp(layout.Name(layout.tables[i].nameAt), name) == 0) return &directory_->tables[i];
  }
  return nullptr;
}

namespace {

// The layouts in use in the process, by their hash: a directory of the
// same layout as one still in use shares it.
struct LayoutRegistry {
  std::mutex mutex;
  std::unordered_multimap<std::size_t, std::weak_ptr<const void>> byHash;
  std::uint64_t numbers = 0;
};
LayoutRegistry& Layouts() {
  static LayoutRegistry* registry = new LayoutRegistry;  // never destroyed
  return *registry;
}

std::size_t MixHash(std::size_t h, std::size_t value) { return (h ^ value) * 0x100000001B3ULL; }

// The last field look-ups of the thread by the layout's number and the
// texts' addresses (callers name fields by constant texts), checked
// against the names found before use: a layout does not change.
struct FieldMemo {
  std::uint64_t layout = 0;
  const char* table = nullptr;
  const char* field = nullptr;
  const void* foundTable = nullptr;
  const void* found = nullptr;
};
constexpr std::size_t kFieldMemoSlots = 128;
thread_local std::array<FieldMemo, kFieldMemoSlots> fieldMemo;

}  // namespace

std::shared_ptr<const CTableDatabase::Layout> CTableDatabase::SharedLayout(
    std::shared_ptr<Layout> made) {
  // The names (with their places) and every field's numbers.
  std::size_t hash = std::hash<std::string_view>{}(made->names);
  for (const LayoutTable& table : made->tables) {
    hash = MixHash(MixHash(hash, table.nameAt), table.fields.size());
    for (const LayoutField& f : table.fields) {
      hash = MixHash(MixHash(hash, f.nameAt), (std::size_t{f.offset} << 32) ^ f.size);
      hash = MixHash(hash, (static_cast<std::size_t>(static_cast<uint32_t>(f.type)) << 32) ^
                               static_cast<uint32_t>(f.declaredLength));
    }
  }
  // Same content: the same names in the same places, the fields alike.
  auto same = [&](const Layout& kept) {
    if (kept.names != made->names || kept.tables.size() != made->tables.size()) return false;
    for (std::size_t t = 0; t < kept.tables.size(); ++t) {
      const LayoutTable& a = kept.tables[t];
      const LayoutTable& b = made->tables[t];
      if (a.nameAt != b.nameAt || a.fields.size() != b.fields.size()) return false;
      for (std::size_t f = 0; f < a.fields.size(); ++f) {
        const LayoutField& x = a.fields[f];
        const LayoutField& y = b.fields[f];
        if (x.nameAt != y.nameAt || x.type != y.type || x.declaredLength != y.declaredLength ||
            x.offset != y.offset || x.size != y.size)
          return false;
      }
    }
    return true;
  };
  LayoutRegistry& registry = Layouts();
  std::lock_guard<std::mutex> lock(registry.mutex);
  auto [first, last] = registry.byHash.equal_range(hash);
  for (auto it = first; it != last;) {
    auto kept = std::static_pointer_cast<const Layout>(it->second.lock());
    if (!kept) {
      it = registry.byHash.erase(it);
      continue;
    }
    if (same(*kept)) return kept;
    ++it;
  }
  // Layouts no longer in use go when the registry has grown.
  if (registry.byHash.size() >= 64) {
    for (auto it = registry.byHash.begin(); it != registry.byHash.end();)
      it = it->second.expired() ? registry.byHash.erase(it) : std::next(it);
  }
  made->number = ++registry.numbers;
  std::shared_ptr<const Layout> shared = std::move(made);
  registry.byHash.emplace(hash, std::weak_ptr<const void>(shared));
  return shared;
}

const CTableDatabase::LayoutField* CTableDatabase::FindLayoutField(const char* table,
                                                                   const char* field) {
  const Layout& layout = *directory_->layout;
  // A multiplicative hash of both addresses (names lie a few bytes apart).
  const std::uint64_t mixed = (reinterpret_cast<std::uintptr_t>(field) * 0x9E3779B97F4A7C15ULL) ^
                              (reinterpret_cast<std::uintptr_t>(table) * 0xC2B2AE3D27D4EB4FULL) ^
                              layout.number;
  FieldMemo& memo = fieldMemo[static_cast<std::size_t>(mixed >> 57) % kFieldMemoSlots];
  if (memo.layout == layout.number && memo.field == field && memo.table == table) {
    const auto* t = static_cast<const LayoutTable*>(memo.foundTable);
    const auto* f = static_cast<const LayoutField*>(memo.found);
    if (std::strcmp(layout.Name(t->nameAt), table) == 0 &&
        std::strcmp(layout.Name(f->nameAt), field) == 0)
      return f;
  }
  const LayoutTable* t = nullptr;
  for (const LayoutTable& candidate : layout.tables) {
    if (std::strcmp(layout.Name(candidate.nameAt), table) == 0) {
      t = &candidate;
      break;
    }
  }
  if (!t) return nullptr;
  const std::size_t at = layout.FirstField(*t, field);
  if (at == t->fields.size()) return nullptr;
  const LayoutField* f = &t->fields[at];
  memo = FieldMemo{layout.number, table, field, t, f};
  return f;
}

// ---------------------------------------------------------------------------
// Field cache

int CTableDatabase::CacheLookup(const char* table, const char* field, CacheSlot* found) const {
  for (const CacheSlot& slot : cache_) {
    if (slot.field[0] != '\0' && std::strcmp(slot.table, table) == 0 &&
        std::strcmp(slot.field, field) == 0) {
      *found = slot;
      return 1;
    }
  }
  return 0;
}

void CTableDatabase::CacheInsert(const CacheSlot& entry) {
  for (CacheSlot& slot : cache_) {
    if (slot.field[0] != '\0' && std::strcmp(slot.table, entry.table) == 0 &&
        std::strcmp(slot.field, entry.field) == 0) {
      return;
    }
  }
  for (CacheSlot& slot : cache_) {
    if (slot.field[0] == '\0') {
      slot = entry;
      return;
    }
  }
  cache_[nextSlot_ - 1] = entry;
  nextSlot_ = nextSlot_ % kCacheSlots + 1;
}

void CTableDatabase::ClearCacheForTable(const char* table) {
  for (CacheSlot& slot : cache_) {
    if (table && std::strcmp(slot.table, table) == 0) slot = CacheSlot{};
  }
}

void CTableDatabase::ClearCache() {
  for (CacheSlot& slot : cache_) slot = CacheSlot{};
}

// ---------------------------------------------------------------------------
// Records

int CTableDatabase::ReadRecordHeader(uint32_t position, TdbRecordHeader* header) {
  return ReadHeaderAt(position, header);
}

int CTableDatabase::ReadStoredRecordHeader(uint32_t position, TdbRecordHeader* header) {
  unsigned char bytes[kTdbRecordHeaderSize];
  if (!header || !ReadRaw(position, bytes, kTdbRecordHeaderSize)) return 0;
  DecodeTdbRecordHeader(bytes, header);
  return 1;
}

int CTableDatabase::WriteRecordHeader(uint32_t position, const TdbRecordHeader* header) {
  if (!header) return 0;
  unsigned char bytes[kTdbRecordHeaderSize];
  EncodeTdbRecordHeader(*header, bytes);
  return WriteRaw(position, bytes, kTdbRecordHeaderSize);
}

uint32_t CTableDatabase::AppendRecordHeader(const char* table) {
  uint32_t tablePos = 0;
  TdbTableEntry entry;
  if (!LookupTable(table, &tablePos) || tablePos == 0) return 0;
  if (!ReadTableEntry(tablePos, &entry)) return 0;

  TdbRecordHeader header;
  header.prevRecord = entry.lastRecord;
  unsigned char bytes[kTdbRecordHeaderSize];
  EncodeTdbRecordHeader(header, bytes);
  uint32_t position = 0;
  if (!AppendRaw(bytes, kTdbRecordHeaderSize, &position)) return 0;

  return LinkRecordAtEnd(*this, tablePos, &entry, position) ? position : 0;
}

uint32_t CTableDatabase::AddRecord(const char* table) {
  if (!recordBuffer_ || recordBufferSize_ == 0) return 0;
  uint32_t tablePos = 0;
  TdbTableEntry entry;
  uint32_t size = 0;
  if (!LookupTable(table, &tablePos) || tablePos == 0) return 0;
  if (!ReadTableEntry(tablePos, &entry) || !ComputeRecordSize(&entry, &size)) return 0;
  // The size is checked before anything is written, so that a refused
  // record leaves no header in the chain.
  if (size == 0 || size > recordBufferSize_) return 0;

  // Header and zeroed data are appended first and linked last: a failure
  // on the way leaves only unlinked bytes behind.
  uint32_t position = 0;
  if (!FileLength(&position)) return 0;
  if (static_cast<uint64_t>(position) + kTdbRecordHeaderSize + size > UINT32_MAX) return 0;
  TdbRecordHeader header;
  header.prevRecord = entry.lastRecord;
  header.dataPosition = position + kTdbRecordHeaderSize;
  header.dataSize = size;
  std::memset(recordBuffer_, 0, size);
  if (!WriteRecordHeader(position, &header)) return 0;
  if (!WriteRaw(header.dataPosition, recordBuffer_, size)) return 0;

  return LinkRecordAtEnd(*this, tablePos, &entry, position) ? position : 0;
}

int CTableDatabase::ReadRecordData(uint32_t record, void* buffer, uint32_t bufferSize) {
  TdbRecordHeader header;
  if (!buffer || !ReadRecordHeader(record, &header) || header.dataPosition == 0) return 0;
  if (header.dataSize > bufferSize) return 0;
  return ReadRaw(header.dataPosition, buffer, header.dataSize);
}

int CTableDatabase::WriteRecordData(uint32_t record, const void* data, uint32_t dataSize) {
  TdbRecordHeader header;
  if (!data || !ReadRecordHeader(record, &header) || header.dataPosition == 0) return 0;
  if (dataSize < header.dataSize) return 0;
  return WriteRaw(header.dataPosition, data, header.dataSize);
}

int CTableDatabase::ReadRecordBytes(uint32_t record, uint32_t offset, uint32_t count,
                                    void* buffer) {
  TdbRecordHeader header;
  if (!buffer || offset == 0 || !ReadHeaderAt(record, &header) || header.dataPosition == 0)
    return 0;
  if (static_cast<uint64_t>(offset) - 1 + count > header.dataSize) return 0;
  return ReadRaw(header.dataPosition + offset - 1, buffer, count);
}

int CTableDatabase::FieldBytes(uint32_t record, uint32_t offset, uint32_t count,
                               unsigned char* buffer) {
  return ReadRecordBytes(record, offset, count, buffer);
}

[[gnu::always_inline]] inline int CTableDatabase::FieldBytes(const TdbRecordView& record,
                                                             uint32_t offset, uint32_t count,
                                                             unsigned char* buffer) {
  if (const unsigned char* bytes = ViewedBytes(record, offset, count)) {
    std::memcpy(buffer, bytes, count);
    return 1;
  }
  // The checks of ReadRecordBytes, on the header as it was read.
  if (offset == 0 || record.dataPosition == 0) return 0;
  if (static_cast<uint64_t>(offset) - 1 + count > record.dataSize) return 0;
  return ReadRaw(record.dataPosition + offset - 1, buffer, count);
}

int CTableDatabase::WriteRecordBytes(uint32_t record, uint32_t offset, uint32_t count,
                                     const void* buffer) {
  TdbRecordHeader header;
  if (!buffer || offset == 0 || !ReadRecordHeader(record, &header) || header.dataPosition == 0)
    return 0;
  if (static_cast<uint64_t>(offset) - 1 + count > header.dataSize) return 0;
  return WriteRaw(header.dataPosition + offset - 1, buffer, count);
}

template <typename Visit>
int CTableDatabase::WalkRecords(const char* table, Visit visit) {
  uint32_t tablePos = 0;
  TdbTableEntry entry;
  if (!LookupTable(table, &tablePos) || tablePos == 0) return 0;
  if (!ReadTableEntry(tablePos, &entry)) return 0;
  const uint32_t limit = WalkLimit(kTdbRecordHeaderSize);
  uint32_t steps = 0;
  for (uint32_t pos = entry.firstRecord; pos != 0;) {
    if (++steps > limit) return 0;
    TdbRecordHeader header;
    if (!ReadRecordHeader(pos, &header)) return 0;
    if (!visit(pos)) return 0;
    pos = header.nextRecord;
  }
  return 1;
}

int CountTableRecords(CTableDatabase* database, const char* table, uint32_t* count) {
  if (!count) return 0;
  *count = 0;
  if (!database) return 0;
  uint32_t n = 0;
  if (!database->WalkRecords(table, [&n](uint32_t) {
        ++n;
        return 1;
      }))
    return 0;
  *count = n;
  return 1;
}

// ---------------------------------------------------------------------------
// Typed values by offset

template <typename Record, typename T>
[[gnu::always_inline]] inline int CTableDatabase::GetValueOf(const Record& record, uint32_t offset,
                                                             T* value) {
  unsigned char bytes[sizeof(T)];
  if (!value || !FieldBytes(record, offset, sizeof(T), bytes)) return 0;
  *value = LoadLeValue<T>(bytes);
  return 1;
}

template <typename T>
int CTableDatabase::GetValueAt(uint32_t record, uint32_t offset, T* value) {
  return GetValueOf(record, offset, value);
}

template <typename T>
int CTableDatabase::SetValueAt(uint32_t record, uint32_t offset, T value) {
  unsigned char bytes[sizeof(T)];
  StoreLeValue<T>(bytes, value);
  return WriteRecordBytes(record, offset, sizeof(T), bytes);
}

int CTableDatabase::GetUcharAt(uint32_t r, uint32_t o, unsigned char* v) {
  return GetValueAt(r, o, v);
}
int CTableDatabase::SetUcharAt(uint32_t r, uint32_t o, unsigned char v) {
  return SetValueAt(r, o, v);
}
int CTableDatabase::GetCharAt(uint32_t r, uint32_t o, char* v) { return GetValueAt(r, o, v); }
int CTableDatabase::SetCharAt(uint32_t r, uint32_t o, char v) { return SetValueAt(r, o, v); }
int CTableDatabase::GetWordAt(uint32_t r, uint32_t o, uint16_t* v) { return GetValueAt(r, o, v); }
int CTableDatabase::SetWordAt(uint32_t r, uint32_t o, uint16_t v) { return SetValueAt(r, o, v); }
int CTableDatabase::GetShortAt(uint32_t r, uint32_t o, int16_t* v) { return GetValueAt(r, o, v); }
int CTableDatabase::SetShortAt(uint32_t r, uint32_t o, int16_t v) { return SetValueAt(r, o, v); }
int CTableDatabase::GetDwordAt(uint32_t r, uint32_t o, uint32_t* v) { return GetValueAt(r, o, v); }
int CTableDatabase::SetDwordAt(uint32_t r, uint32_t o, uint32_t v) { return SetValueAt(r, o, v); }
int CTableDatabase::GetIntAt(uint32_t r, uint32_t o, int32_t* v) { return GetValueAt(r, o, v); }
int CTableDatabase::SetIntAt(uint32_t r, uint32_t o, int32_t v) { return SetValueAt(r, o, v); }
int CTableDatabase::GetDoubleAt(uint32_t r, uint32_t o, double* v) { return GetValueAt(r, o, v); }
int CTableDatabase::SetDoubleAt(uint32_t r, uint32_t o, double v) { return SetValueAt(r, o, v); }

template <typename Record>
int CTableDatabase::GetQuadOf(const Record& record, uint32_t offset, int32_t values[4]) {
  unsigned char bytes[16];
  if (!values || !FieldBytes(record, offset, sizeof bytes, bytes)) return 0;
  for (int i = 0; i < 4; ++i) values[i] = LoadLeValue<int32_t>(bytes + 4 * i);
  return 1;
}

int CTableDatabase::GetQuadAt(uint32_t record, uint32_t offset, int32_t values[4]) {
  return GetQuadOf(record, offset, values);
}

// The same by a record read once.

int CTableDatabase::GetUcharAt(const TdbRecordView& r, uint32_t o, unsigned char* v) {
  return GetValueOf(r, o, v);
}
int CTableDatabase::GetCharAt(const TdbRecordView& r, uint32_t o, char* v) {
  return GetValueOf(r, o, v);
}
int CTableDatabase::GetWordAt(const TdbRecordView& r, uint32_t o, uint16_t* v) {
  return GetValueOf(r, o, v);
}
int CTableDatabase::GetShortAt(const TdbRecordView& r, uint32_t o, int16_t* v) {
  return GetValueOf(r, o, v);
}
int CTableDatabase::GetDwordAt(const TdbRecordView& r, uint32_t o, uint32_t* v) {
  return GetValueOf(r, o, v);
}
int CTableDatabase::GetIntThrough(const TdbRecordView& r, uint32_t o, int32_t* v) {
  return GetValueOf(r, o, v);
}
int CTableDatabase::GetDoubleAt(const TdbRecordView& r, uint32_t o, double* v) {
  return GetValueOf(r, o, v);
}
int CTableDatabase::GetQuadAt(const TdbRecordView& record, uint32_t offset, int32_t values[4]) {
  return GetQuadOf(record, offset, values);
}

int CTableDatabase::SetQuadAt(uint32_t record, uint32_t offset, const int32_t values[4]) {
  if (!values) return 0;
  unsigned char bytes[16];
  for (int i = 0; i < 4; ++i) StoreLeValue<int32_t>(bytes + 4 * i, values[i]);
  return WriteRecordBytes(record, offset, sizeof bytes, bytes);
}

// ---------------------------------------------------------------------------
// Strings

int CTableDatabase::LoadStringLength(uint32_t position, uint32_t* length) {
  *length = 0;
  if (position == 0) return 1;
  unsigned char bytes[2];
  if (!ReadRaw(position, bytes, 2)) return 0;
  *length = LoadLeValue<uint16_t>(bytes);
  return 1;
}

namespace {

// Copies n bytes (1 or more), a short run with a few moves of its own.
[[gnu::always_inline]] inline void CopyText(char* to, const unsigned char* from, uint32_t n) {
  if (n > 16) {
    std::memcpy(to, from, n);
  } else if (n >= 8) {
    // Two moves of eight bytes that overlap in the middle.
    uint64_t head, tail;
    std::memcpy(&head, from, 8);
    std::memcpy(&tail, from + n - 8, 8);
    std::memcpy(to, &head, 8);
    std::memcpy(to + n - 8, &tail, 8);
  } else if (n >= 4) {
    uint32_t head, tail;
    std::memcpy(&head, from, 4);
    std::memcpy(&tail, from + n - 4, 4);
    std::memcpy(to, &head, 4);
    std::memcpy(to + n - 4, &tail, 4);
  } else {
    to[0] = static_cast<char>(from[0]);
    to[n / 2] = static_cast<char>(from[n / 2]);
    to[n - 1] = static_cast<char>(from[n - 1]);
  }
}

// The steps of LoadStoredString (text emptied before, position not 0) on
// the image's bytes where they stand.
[[gnu::always_inline]] inline int LoadImageText(CCachedFile& image, uint32_t position, char* text,
                                                std::size_t textSize) {
  uint32_t length = 0;
  const unsigned char* bytes = nullptr;
  if (!tdb_detail::FindImageText(image, position, textSize, &length, &bytes)) return 0;
  if (length == 0) return 1;
  CopyText(text, bytes, length);
  text[length] = '\0';
  return 1;
}

}  // namespace

// (Inlined into the string getters: a row's few texts are read through it.)
[[gnu::always_inline]] inline int CTableDatabase::LoadString(uint32_t position, char* text,
                                                             std::size_t textSize) {
  if (!text || textSize == 0) return 0;
  text[0] = '\0';
  if (open_ && image_ && position != 0) return LoadImageText(*image_, position, text, textSize);
  return LoadStoredString(position, text, textSize);
}

int CTableDatabase::LoadStoredString(uint32_t position, char* text, std::size_t textSize) {
  uint32_t length = 0;
  if (!LoadStringLength(position, &length)) return 0;
  if (length == 0) return 1;
  if (static_cast<std::size_t>(length) + 1 > textSize) return 0;
  if (!ReadRaw(position + 2, text, length)) {
    text[0] = '\0';
    return 0;
  }
  text[length] = '\0';
  return 1;
}

int CTableDatabase::StoreString(uint32_t oldPosition, const char* text, uint32_t* newPosition) {
  if (!text) return 0;
  const std::size_t n = BoundedLength(text, kTdbMaxStringLength);
  if (n > kTdbMaxStringLength) return 0;
  const auto length = static_cast<uint32_t>(n);
  // The item helpers answer 0 when memory runs out.
  return CatchAllocationFailure(0, [&] {
    std::unique_ptr<unsigned char[]> item(new unsigned char[length + 2]);
    StoreLeValue<uint16_t>(item.get(), static_cast<uint16_t>(length));
    std::memcpy(item.get() + 2, text, length);
    if (oldPosition != 0) {
      uint32_t stored = 0;
      if (!LoadStringLength(oldPosition, &stored)) return 0;
      if (stored >= length) {
        if (!WriteRaw(oldPosition, item.get(), length + 2)) return 0;
        *newPosition = oldPosition;
        return 1;
      }
    }
    return AppendRaw(item.get(), length + 2, newPosition);
  });
}

template <typename Record>
int CTableDatabase::GetStringsOf(const Record& record, uint32_t offset, char* const* texts, int n,
                                 std::size_t textSize) {
  for (int i = 0; i < n; ++i) {
    if (!texts[i] || textSize == 0) return 0;
    texts[i][0] = '\0';
  }
  for (int i = 0; i < n; ++i) {
    uint32_t position = 0;
    if (!GetValueOf(record, offset + 4 * static_cast<uint32_t>(i), &position) ||
        !LoadString(position, texts[i], textSize)) {
      for (int k = 0; k < n; ++k) texts[k][0] = '\0';
      return 0;
    }
  }
  return 1;
}

int CTableDatabase::GetStrings(uint32_t record, uint32_t offset, char* const* texts, int n,
                               std::size_t textSize) {
  return GetStringsOf(record, offset, texts, n, textSize);
}

int CTableDatabase::GetStringAt(const TdbRecordView& record, uint32_t offset, char* text,
                                std::size_t textSize) {
  if (text != nullptr && textSize != 0) {
    if (const unsigned char* field = ViewedBytes(record, offset, 4)) {
      // (The common case, without the general path's steps: a text that
      // does not read leaves "" as there.)
      text[0] = '\0';
      const uint32_t position = LoadLeValue<uint32_t>(field);
      return position == 0 ? 1 : LoadImageText(*image_, position, text, textSize);
    }
  }
  char* texts[1] = {text};
  return GetStringsOf(record, offset, texts, 1, textSize);
}

int CTableDatabase::GetStringsAt(const TdbRecordView& record, const uint32_t* offsets,
                                 char* const* texts, int n, std::size_t textSize) {
  if (n > 0 && (offsets == nullptr || texts == nullptr)) return 0;
  // GetStringAt's common case, with the view's image and the text size
  // checked once (and the view's values taken once: a text's bytes may
  // alias anything).
  CCachedFile* const image =
      textSize != 0 && record.data != nullptr && image_ && image_->GetId() == record.image
          ? image_.get()
          : nullptr;
  const unsigned char* const data = record.data;
  const uint64_t dataSize = record.dataSize;
  for (int i = 0; i < n; ++i) {
    char* const text = texts[i];
    const uint32_t offset = offsets[i];
    if (image != nullptr && text != nullptr && offset != 0 &&
        static_cast<uint64_t>(offset) + 3 <= dataSize) {
      text[0] = '\0';
      const uint32_t position = LoadLeValue<uint32_t>(data + offset - 1);
      if (position != 0 && !LoadImageText(*image, position, text, textSize)) return 0;
    } else if (!GetStringAt(record, offset, text, textSize)) {
      return 0;
    }
  }
  return 1;
}

int CTableDatabase::GetStringPairAt(const TdbRecordView& record, uint32_t offset, char* text1,
                                    char* text2, std::size_t textSize) {
  char* texts[2] = {text1, text2};
  return GetStringsOf(record, offset, texts, 2, textSize);
}

int CTableDatabase::GetStringTripleAt(const TdbRecordView& record, uint32_t offset, char* text1,
                                      char* text2, char* text3, std::size_t textSize) {
  char* texts[3] = {text1, text2, text3};
  return GetStringsOf(record, offset, texts, 3, textSize);
}

int CTableDatabase::SetStrings(uint32_t record, uint32_t offset, const char* const* texts, int n) {
  for (int i = 0; i < n; ++i) {
    if (!texts[i] || BoundedLength(texts[i], kTdbMaxStringLength) > kTdbMaxStringLength) return 0;
  }
  for (int i = 0; i < n; ++i) {
    const uint32_t at = offset + 4 * static_cast<uint32_t>(i);
    uint32_t position = 0;
    if (!GetDwordAt(record, at, &position)) return 0;
    if (!StoreString(position, texts[i], &position)) return 0;
    if (!SetDwordAt(record, at, position)) return 0;
  }
  return 1;
}

int CTableDatabase::GetStringAt(uint32_t record, uint32_t offset, char* text,
                                std::size_t textSize) {
  char* texts[1] = {text};
  return GetStrings(record, offset, texts, 1, textSize);
}

int CTableDatabase::SetStringAt(uint32_t record, uint32_t offset, const char* text) {
  const char* texts[1] = {text};
  return SetStrings(record, offset, texts, 1);
}

int CTableDatabase::GetStringPairAt(uint32_t record, uint32_t offset, char* text1, char* text2,
                                    std::size_t textSize) {
  char* texts[2] = {text1, text2};
  return GetStrings(record, offset, texts, 2, textSize);
}

int CTableDatabase::SetStringPairAt(uint32_t record, uint32_t offset, const char* text1,
                                    const char* text2) {
  const char* texts[2] = {text1, text2};
  return SetStrings(record, offset, texts, 2);
}

int CTableDatabase::GetStringTripleAt(uint32_t record, uint32_t offset, char* text1, char* text2,
                                      char* text3, std::size_t textSize) {
  char* texts[3] = {text1, text2, text3};
  return GetStrings(record, offset, texts, 3, textSize);
}

int CTableDatabase::SetStringTripleAt(uint32_t record, uint32_t offset, const char* text1,
                                      const char* text2, const char* text3) {
  const char* texts[3] = {text1, text2, text3};
  return SetStrings(record, offset, texts, 3);
}

// ---------------------------------------------------------------------------
// Typed values by name

int CTableDatabase::FindTyped(const char* table, const char* field, int32_t type,
                              uint32_t* offset) {
  int32_t found = 0;
  if (!FindField(table, field, &found, nullptr, offset, nullptr)) return 0;
  return found == type ? 1 : 0;
}

template <typename T>
int CTableDatabase::GetValue(uint32_t record, const char* table, const char* field, int32_t type,
                             T* value) {
  uint32_t offset = 0;
  return FindTyped(table, field, type, &offset) ? GetValueAt(record, offset, value) : 0;
}

template <typename T>
int CTableDatabase::SetValue(uint32_t record, const char* table, const char* field, int32_t type,
                             T value) {
  uint32_t offset = 0;
  return FindTyped(table, field, type, &offset) ? SetValueAt(record, offset, value) : 0;
}

int CTableDatabase::GetUchar(uint32_t r, const char* t, const char* f, unsigned char* v) {
  return GetValue(r, t, f, kTdbUchar, v);
}
int CTableDatabase::SetUchar(uint32_t r, const char* t, const char* f, unsigned char v) {
  return SetValue(r, t, f, kTdbUchar, v);
}
int CTableDatabase::GetChar(uint32_t r, const char* t, const char* f, char* v) {
  return GetValue(r, t, f, kTdbChar, v);
}
int CTableDatabase::SetChar(uint32_t r, const char* t, const char* f, char v) {
  return SetValue(r, t, f, kTdbChar, v);
}
int CTableDatabase::GetWord(uint32_t r, const char* t, const char* f, uint16_t* v) {
  return GetValue(r, t, f, kTdbWord, v);
}
int CTableDatabase::SetWord(uint32_t r, const char* t, const char* f, uint16_t v) {
  return SetValue(r, t, f, kTdbWord, v);
}
int CTableDatabase::GetShort(uint32_t r, const char* t, const char* f, int16_t* v) {
  return GetValue(r, t, f, kTdbShort, v);
}
int CTableDatabase::SetShort(uint32_t r, const char* t, const char* f, int16_t v) {
  return SetValue(r, t, f, kTdbShort, v);
}
int CTableDatabase::GetDword(uint32_t r, const char* t, const char* f, uint32_t* v) {
  return GetValue(r, t, f, kTdbDword, v);
}
int CTableDatabase::SetDword(uint32_t r, const char* t, const char* f, uint32_t v) {
  return SetValue(r, t, f, kTdbDword, v);
}
int CTableDatabase::GetInt(uint32_t r, const char* t, const char* f, int32_t* v) {
  return GetValue(r, t, f, kTdbInt, v);
}
int CTableDatabase::SetInt(uint32_t r, const char* t, const char* f, int32_t v) {
  return SetValue(r, t, f, kTdbInt, v);
}
int CTableDatabase::GetDouble(uint32_t r, const char* t, const char* f, double* v) {
  return GetValue(r, t, f, kTdbDouble, v);
}
int CTableDatabase::SetDouble(uint32_t r, const char* t, const char* f, double v) {
  return SetValue(r, t, f, kTdbDouble, v);
}

int CTableDatabase::GetQuad(uint32_t record, const char* table, const char* field,
                            int32_t values[4]) {
  uint32_t offset = 0;
  return FindTyped(table, field, kTdbQuad, &offset) ? GetQuadAt(record, offset, values) : 0;
}

int CTableDatabase::SetQuad(uint32_t record, const char* table, const char* field,
                            const int32_t values[4]) {
  uint32_t offset = 0;
  return FindTyped(table, field, kTdbQuad, &offset) ? SetQuadAt(record, offset, values) : 0;
}

int CTableDatabase::GetStringsByName(uint32_t record, const char* table, const char* field,
                                     int32_t type, char* const* texts, int n,
                                     std::size_t textSize) {
  uint32_t offset = 0;
  if (!FindTyped(table, field, type, &offset)) {
    for (int i = 0; i < n; ++i) EmptyText(texts[i], textSize);
    return 0;
  }
  return GetStrings(record, offset, texts, n, textSize);
}

int CTableDatabase::SetStringsByName(uint32_t record, const char* table, const char* field,
                                     int32_t type, const char* const* texts, int n) {
  uint32_t offset = 0;
  return FindTyped(table, field, type, &offset) ? SetStrings(record, offset, texts, n) : 0;
}

int CTableDatabase::GetString(uint32_t record, const char* table, const char* field, char* text,
                              std::size_t textSize) {
  char* texts[1] = {text};
  return GetStringsByName(record, table, field, kTdbString, texts, 1, textSize);
}

int CTableDatabase::SetString(uint32_t record, const char* table, const char* field,
                              const char* text) {
  const char* texts[1] = {text};
  return SetStringsByName(record, table, field, kTdbString, texts, 1);
}

int CTableDatabase::GetStringTriple(uint32_t record, const char* table, const char* field,
                                    char* text1, char* text2, char* text3, std::size_t textSize) {
  char* texts[3] = {text1, text2, text3};
  return GetStringsByName(record, table, field, kTdbStringTriple, texts, 3, textSize);
}

int CTableDatabase::SetStringTriple(uint32_t record, const char* table, const char* field,
                                    const char* text1, const char* text2, const char* text3) {
  const char* texts[3] = {text1, text2, text3};
  return SetStringsByName(record, table, field, kTdbStringTriple, texts, 3);
}

int CTableDatabase::GetStringTriple2(uint32_t record, const char* table, const char* field,
                                     char* text1, char* text2, char* text3, std::size_t textSize) {
  char* texts[3] = {text1, text2, text3};
  return GetStringsByName(record, table, field, kTdbStringTriple2, texts, 3, textSize);
}

int CTableDatabase::SetStringTriple2(uint32_t record, const char* table, const char* field,
                                     const char* text1, const char* text2, const char* text3) {
  const char* texts[3] = {text1, text2, text3};
  return SetStringsByName(record, table, field, kTdbStringTriple2, texts, 3);
}

int CTableDatabase::GetStringPair(uint32_t record, const char* table, const char* field,
                                  char* text1, char* text2, std::size_t textSize) {
  char* texts[2] = {text1, text2};
  return GetStringsByName(record, table, field, kTdbStringPair, texts, 2, textSize);
}

int CTableDatabase::SetStringPair(uint32_t record, const char* table, const char* field,
                                  const char* text1, const char* text2) {
  const char* texts[2] = {text1, text2};
  return SetStringsByName(record, table, field, kTdbStringPair, texts, 2);
}

int CTableDatabase::GetStringPair2(uint32_t record, const char* table, const char* field,
                                   char* text1, char* text2, std::size_t textSize) {
  char* texts[2] = {text1, text2};
  return GetStringsByName(record, table, field, kTdbStringPair2, texts, 2, textSize);
}

int CTableDatabase::SetStringPair2(uint32_t record, const char* table, const char* field,
                                   const char* text1, const char* text2) {
  const char* texts[2] = {text1, text2};
  return SetStringsByName(record, table, field, kTdbStringPair2, texts, 2);
}

// ---------------------------------------------------------------------------
// Objects

template <typename Record>
int CTableDatabase::ReadObjectOf(const Record& record, uint32_t offset, void* buffer,
                                 uint32_t bufferSize, uint32_t* length) {
  if (!length) return 0;
  *length = 0;
  uint32_t position = 0;
  if (!GetValueOf(record, offset, &position)) return 0;
  if (position == 0) return 1;
  unsigned char bytes[4];
  if (!ReadRaw(position, bytes, 4)) return 0;
  const uint32_t stored = LoadLeValue<uint32_t>(bytes);
  if (stored > bufferSize || (!buffer && stored > 0)) return 0;
  if (!ReadRaw(position + 4, buffer, stored)) return 0;
  *length = stored;
  return 1;
}

template <typename Record>
int CTableDatabase::ReadObjectAllocOf(const Record& record, uint32_t offset, void** block,
                                      uint32_t* length) {
  if (!block || !length) return 0;
  *block = nullptr;
  *length = 0;
  uint32_t position = 0;
  if (!GetValueOf(record, offset, &position)) return 0;
  if (position == 0) return 1;
  unsigned char bytes[4];
  uint32_t fileLength = 0;
  if (!ReadRaw(position, bytes, 4) || !FileLength(&fileLength)) return 0;
  const uint32_t stored = LoadLeValue<uint32_t>(bytes);
  // A length that runs past the end of the file is damage: not allocated.
  if (static_cast<uint64_t>(position) + 4 + stored > fileLength) return 0;
  if (stored == 0) return 1;
  // Without memory for the block the answer is 0.
  return CatchAllocationFailure(0, [&] {
    void* data = AllocateBlock(stored);
    if (!ReadRaw(position + 4, data, stored)) {
      std::free(data);
      return 0;
    }
    *block = data;
    *length = stored;
    return 1;
  });
}

int CTableDatabase::ReadObjectAt(uint32_t record, uint32_t offset, void* buffer,
                                 uint32_t bufferSize, uint32_t* length) {
  return ReadObjectOf(record, offset, buffer, bufferSize, length);
}

int CTableDatabase::ReadObjectAllocAt(uint32_t record, uint32_t offset, void** block,
                                      uint32_t* length) {
  return ReadObjectAllocOf(record, offset, block, length);
}

int CTableDatabase::ReadObjectAt(const TdbRecordView& record, uint32_t offset, void* buffer,
                                 uint32_t bufferSize, uint32_t* length) {
  return ReadObjectOf(record, offset, buffer, bufferSize, length);
}

int CTableDatabase::ReadObjectAllocAt(const TdbRecordView& record, uint32_t offset, void** block,
                                      uint32_t* length) {
  return ReadObjectAllocOf(record, offset, block, length);
}

int CTableDatabase::WriteObjectAt(uint32_t record, uint32_t offset, const void* bytes,
                                  uint32_t length) {
  if (!bytes && length > 0) return 0;
  if (length > UINT32_MAX - 4) return 0;
  uint32_t position = 0;
  if (!GetDwordAt(record, offset, &position)) return 0;
  // Without memory for the item the answer is 0.
  return CatchAllocationFailure(0, [&] {
    std::unique_ptr<unsigned char[]> item(new unsigned char[length + 4]);
    StoreLeValue<uint32_t>(item.get(), length);
    if (length > 0) std::memcpy(item.get() + 4, bytes, length);
    int inPlace = 0;
    if (position != 0) {
      unsigned char stored[4];
      if (!ReadRaw(position, stored, 4)) return 0;
      inPlace = LoadLeValue<uint32_t>(stored) >= length;
    }
    if (inPlace) {
      if (!WriteRaw(position, item.get(), length + 4)) return 0;
    } else if (!AppendRaw(item.get(), length + 4, &position)) {
      return 0;
    }
    return SetDwordAt(record, offset, position);
  });
}

int CTableDatabase::GetObject(uint32_t record, const char* table, const char* field, void* buffer,
                              uint32_t bufferSize, uint32_t* length) {
  if (length) *length = 0;
  uint32_t offset = 0;
  if (!FindTyped(table, field, kTdbObject, &offset)) return 0;
  return ReadObjectAt(record, offset, buffer, bufferSize, length);
}

int CTableDatabase::GetObjectAlloc(uint32_t record, const char* table, const char* field,
                                   void** block, uint32_t* length) {
  if (block) *block = nullptr;
  if (length) *length = 0;
  uint32_t offset = 0;
  if (!FindTyped(table, field, kTdbObject, &offset)) return 0;
  return ReadObjectAllocAt(record, offset, block, length);
}

int CTableDatabase::SetObject(uint32_t record, const char* table, const char* field,
                              const void* bytes, uint32_t length) {
  uint32_t offset = 0;
  if (!FindTyped(table, field, kTdbObject, &offset)) return 0;
  return WriteObjectAt(record, offset, bytes, length);
}

// ---------------------------------------------------------------------------
// Derived string reads

int CTableDatabase::StringLengthAt(uint32_t record, uint32_t offset, uint32_t* length) {
  uint32_t position = 0;
  if (!GetDwordAt(record, offset, &position)) return 0;
  return LoadStringLength(position, length);
}

int CTableDatabase::StringCharCountAt(uint32_t record, uint32_t offset, uint32_t* count) {
  constexpr std::size_t kWork = kTdbMaxStringLength + 1;
  // Without memory for the work text the answer is 0.
  return CatchAllocationFailure(0, [&] {
    std::unique_ptr<char[]> text(new char[kWork]);
    if (!GetStringAt(record, offset, text.get(), kWork)) return 0;
    *count = static_cast<uint32_t>(CountChars(text.get()));
    return 1;
  });
}

int CTableDatabase::GetStringLength(uint32_t record, const char* table, const char* field,
                                    uint32_t* length) {
  if (!length) return 0;
  *length = 0;
  uint32_t offset = 0;
  return FindTyped(table, field, kTdbString, &offset) ? StringLengthAt(record, offset, length) : 0;
}

int CTableDatabase::GetStringCharCount(uint32_t record, const char* table, const char* field,
                                       uint32_t* count) {
  if (!count) return 0;
  *count = 0;
  uint32_t offset = 0;
  return FindTyped(table, field, kTdbString, &offset) ? StringCharCountAt(record, offset, count)
                                                      : 0;
}

int CTableDatabase::StringRange(const char* table, const char* field, int chars, uint32_t* smallest,
                                uint32_t* largest) {
  if (!smallest || !largest) return 0;
  *smallest = 0;
  *largest = 0;
  uint32_t offset = 0;
  if (!FindTyped(table, field, kTdbString, &offset)) return 0;
  uint32_t low = 0;
  uint32_t high = 0;
  int first = 1;
  const int ok = WalkRecords(table, [&](uint32_t record) {
    uint32_t value = 0;
    const int read =
        chars ? StringCharCountAt(record, offset, &value) : StringLengthAt(record, offset, &value);
    if (!read) return 0;
    if (first || value < low) low = value;
    if (first || value > high) high = value;
    first = 0;
    return 1;
  });
  if (!ok) return 0;
  *smallest = low;
  *largest = high;
  return 1;
}

int CTableDatabase::GetStringLengthRange(const char* table, const char* field, uint32_t* smallest,
                                         uint32_t* largest) {
  return StringRange(table, field, 0, smallest, largest);
}

int CTableDatabase::GetStringCharCountRange(const char* table, const char* field,
                                            uint32_t* smallest, uint32_t* largest) {
  return StringRange(table, field, 1, smallest, largest);
}
