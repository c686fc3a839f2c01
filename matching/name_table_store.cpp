#include "matching/name_table_store.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "matching/cache_checksum.h"
#include "matching/derived_bytes.h"

namespace {

constexpr char kMagic[8] = {'K', 'O', 'R', 'T', 'N', 'A', 'M', 'T'};
// Raised whenever what is kept, or how it is written, changes.
constexpr uint32_t kFormatVersion = 2;
// The file's size limit: a larger file is not read, and one that would
// grow beyond it starts again.
constexpr std::size_t kMaxFileSize = 64u << 20;
// What a first read takes: the header and, in a small file, the directory.
constexpr std::size_t kFirstRead = 4u << 10;
// A directory entry: identity checksum, offset, length, section checksum,
// entry checksum.
constexpr std::size_t kEntrySize = 5 * sizeof(uint64_t);
// Tables written at once by a process before it waits for more.
constexpr int kPromptWrites = 4;

// One directory entry, read back.
struct DirectoryEntry {
  uint64_t id = 0;
  uint64_t offset = 0;
  uint64_t length = 0;
  uint64_t sum = 0;
};

// The entry in the bytes; false when its checksum fails.
bool EntryOf(const char* bytes, DirectoryEntry* e) {
  uint64_t words[5];
  std::memcpy(words, bytes, kEntrySize);
  if (words[4] != CacheChecksum(reinterpret_cast<const char*>(words), 4 * sizeof(uint64_t)))
    return false;
  e->id = words[0];
  e->offset = words[1];
  e->length = words[2];
  e->sum = words[3];
  return true;
}

void PutEntry(std::string* out, uint64_t id, uint64_t offset, uint64_t length, uint64_t sum) {
  const uint64_t words[5] = {id, offset, length, sum, 0};
  CDerivedBytesWriter w(out);
  for (int k = 0; k < 4; ++k) w.Put(words[k]);
  w.Put(CacheChecksum(reinterpret_cast<const char*>(words), 4 * sizeof(uint64_t)));
}

// The header of a file of the key up to its checksum (without it).
std::string HeaderOf(const std::string& key, uint64_t entries) {
  std::string out(kMagic, sizeof kMagic);
  CDerivedBytesWriter w(&out);
  w.Put(kFormatVersion);
  PutStamp(&w, BuildStamp());
  w.PutText(key);
  w.Put(entries);
  return out;
}

// The number of entries and the header's size, when the bytes begin with a
// header of the key that checks; 0 as size when they hold too little to
// tell, -1 when it does not check.
int64_t ReadHeader(const std::string& bytes, const std::string& key, uint64_t* entries) {
  if (bytes.size() < sizeof kMagic) return 0;
  if (std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) return -1;
  CDerivedBytesReader r(bytes.data() + sizeof kMagic, bytes.data() + bytes.size());
  uint32_t version = 0;
  plat::FileStamp build;
  std::string stored;
  uint64_t sum = 0;
  if (!r.Get(&version) || !GetStamp(&r, &build) || !r.GetText(&stored) || !r.Get(entries) ||
      !r.Get(&sum))
    return 0;
  const std::size_t size = bytes.size() - r.Remaining();
  if (version != kFormatVersion || !(build == BuildStamp()) || stored != key ||
      sum != CacheChecksum(bytes.data(), size - sizeof sum))
    return -1;
  return static_cast<int64_t>(size);
}

}  // namespace

CNameTableStore::CNameTableStore(std::string key)
    : key_(std::move(key)), fileName_(FileName(key_)) {}

std::string CNameTableStore::FileName(const std::string& key) {
  static const uint64_t build = BuildAndFormatChecksum(kFormatVersion);
  return plat::CacheFileName("nametables", CacheChecksum(key), build);
}

bool CNameTableStore::OpenLocked() {
  if (opened_) return reader_.IsOpen();
  opened_ = true;
  directory_.clear();
  directoryAt_ = 0;
  entryCount_ = 0;
  if (!reader_.Open(fileName_, kMaxFileSize)) return false;
  const uint64_t fileSize = reader_.Size();
  std::string head;
  int64_t headerSize = 0;
  for (std::size_t want = kFirstRead; headerSize == 0; want *= 16) {
    const std::size_t take = static_cast<std::size_t>(std::min<uint64_t>(fileSize, want));
    if (!reader_.Read(0, take, head)) break;
    headerSize = ReadHeader(head, key_, &entryCount_);
    if (take == fileSize) break;
  }
  if (headerSize <= 0 ||
      entryCount_ > (fileSize - static_cast<uint64_t>(headerSize)) / kEntrySize) {
    reader_.Close();  // the file does not check
    entryCount_ = 0;
    return false;
  }
  // A directory within the first read is kept; a larger one is read entry
  // by entry as a look-up needs it.
  const std::size_t directorySize = static_cast<std::size_t>(entryCount_ * kEntrySize);
  directoryAt_ = static_cast<uint64_t>(headerSize);
  if (directoryAt_ + directorySize <= head.size())
    directory_.assign(head, static_cast<std::size_t>(directoryAt_), directorySize);
  return true;
}

bool CNameTableStore::EntryBytesLocked(uint64_t i, char* out) {
  if (!directory_.empty()) {
    std::memcpy(out, directory_.data() + i * kEntrySize, kEntrySize);
    return true;
  }
  std::string bytes;
  if (!reader_.Read(directoryAt_ + i * kEntrySize, kEntrySize, bytes)) return false;
  std::memcpy(out, bytes.data(), kEntrySize);
  return true;
}

namespace {

// The table of the identity in the bytes of a section.
bool TableOfSection(const std::string& section, const std::string& identity, uint16_t count,
                    NameTable* table) {
  CDerivedBytesReader r(section.data(), section.data() + section.size());
  std::string stored;
  NameTable found;
  if (!r.GetText(&stored) || stored != identity || !found.ReadFrom(&r, count) || !r.AtEnd())
    return false;
  found.extraSignature = std::move(table->extraSignature);
  *table = std::move(found);
  return true;
}

}  // namespace

bool CNameTableStore::FindLocked(const std::string& identity, uint16_t count, NameTable* table) {
  const uint64_t id = CacheChecksum(identity);
  if (auto it = pending_.find(id); it != pending_.end())
    return TableOfSection(it->second, identity, count, table);
  if (!OpenLocked()) return false;
  // The entries are in ascending order of identity checksum.
  char bytes[kEntrySize];
  uint64_t low = 0;
  uint64_t high = entryCount_;
  while (low < high) {
    const uint64_t mid = low + (high - low) / 2;
    uint64_t midId = 0;
    if (!EntryBytesLocked(mid, bytes)) return false;
    std::memcpy(&midId, bytes, sizeof midId);
    if (midId < id)
      low = mid + 1;
    else
      high = mid;
  }
  DirectoryEntry e;
  if (low == entryCount_ || !EntryBytesLocked(low, bytes) || !EntryOf(bytes, &e) || e.id != id ||
      e.length > kMaxFileSize)
    return false;
  std::string section;
  if (!reader_.Read(e.offset, static_cast<std::size_t>(e.length), section) ||
      CacheChecksum(section) != e.sum)
    return false;
  return TableOfSection(section, identity, count, table);
}

bool CNameTableStore::Find(const std::string& identity, uint16_t count, NameTable* table) {
  std::lock_guard<std::mutex> lock(mutex_);
  return FindLocked(identity, count, table);
}

bool CNameTableStore::Add(const std::string& identity, const NameTable& table) {
  if (!table.complete) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  if (unwritable_) return false;
  std::string section;
  CDerivedBytesWriter w(&section);
  w.PutText(identity);
  table.AppendTo(&section);
  std::string& slot = pending_[CacheChecksum(identity)];
  pendingBytes_ += section.size();
  pendingBytes_ -= std::min(pendingBytes_, slot.size());
  slot = std::move(section);
  OpenLocked();
  if (writes_ >= kPromptWrites && pendingBytes_ * 2 < reader_.Size()) return false;
  return WriteLocked();
}

bool CNameTableStore::Flush() {
  std::lock_guard<std::mutex> lock(mutex_);
  return !pending_.empty() && !unwritable_ && WriteLocked();
}

bool CNameTableStore::WriteLocked() {
  // The sections of the file that check and are not made again here, then
  // the new ones; the file starts again when they would not fit its limit.
  std::map<uint64_t, std::string> sections;
  std::size_t total = pendingBytes_;
  std::string whole;
  if (OpenLocked() && reader_.Read(0, static_cast<std::size_t>(reader_.Size()), whole)) {
    for (uint64_t i = 0; i < entryCount_; ++i) {
      DirectoryEntry e;
      if (!EntryOf(whole.data() + directoryAt_ + i * kEntrySize, &e) || pending_.count(e.id) ||
          e.offset > whole.size() || e.length > whole.size() - e.offset ||
          CacheChecksum(whole.data() + e.offset, static_cast<std::size_t>(e.length)) != e.sum)
        continue;
      total += static_cast<std::size_t>(e.length) + kEntrySize;
      sections.emplace(e.id, whole.substr(static_cast<std::size_t>(e.offset),
                                          static_cast<std::size_t>(e.length)));
    }
  }
  if (total + kFirstRead > kMaxFileSize) sections.clear();
  for (auto& [id, section] : pending_) sections[id] = std::move(section);
  pending_.clear();
  pendingBytes_ = 0;
  std::string out = HeaderOf(key_, sections.size());
  {
    CDerivedBytesWriter w(&out);
    w.Put(CacheChecksum(out));
  }
  uint64_t offset = out.size() + sections.size() * kEntrySize;
  for (const auto& [id, section] : sections) {
    PutEntry(&out, id, offset, section.size(), CacheChecksum(section));
    offset += section.size();
  }
  for (const auto& [id, section] : sections) out += section;
  if (out.size() > kMaxFileSize || !plat::WriteCacheFile(fileName_, out)) {
    unwritable_ = true;
    return false;
  }
  ++writes_;
  opened_ = false;  // the new file is read from now on
  return true;
}

std::shared_ptr<CNameTableStore> ProcessNameTableStore(const std::string& key) {
  static std::mutex mutex;
  static auto* stores = new std::map<std::string, std::shared_ptr<CNameTableStore>>;
  // The cache folder is part of the name: a process that moves it starts
  // afresh.
  const std::string name = plat::CacheFolder() + '\n' + key;
  std::lock_guard<std::mutex> lock(mutex);
  auto& store = (*stores)[name];
  if (!store) {
    if (stores->size() > 16) {
      stores->clear();
      return (*stores)[name] = std::make_shared<CNameTableStore>(key);
    }
    store = std::make_shared<CNameTableStore>(key);
  }
  return store;
}
