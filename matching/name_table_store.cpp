#include "matching/name_table_store.h"

#include <map>
#include <mutex>
#include <string_view>
#include <utility>

#include "matching/derived_bytes.h"
#include "plat/derived_store.h"

namespace {

// Raised whenever what is kept, or how it is written, changes.
constexpr uint32_t kFormatVersion = 3;

}  // namespace

plat::DerivedKey NameTableStoreKey(const std::string& key, const std::string& identity) {
  static const uint64_t build = BuildChecksum();
  return {"nametables", key, build, kFormatVersion, identity};
}

CNameTableStore::CNameTableStore(std::string key) : key_(std::move(key)) {}

bool CNameTableStore::Find(const std::string& identity, uint16_t count, NameTable* table) const {
  plat::DerivedStore store;
  std::string_view bytes;
  if (!store.Get(NameTableStoreKey(key_, identity), bytes)) return false;
  // Viewed in an aligned copy of the store's bytes, which the table keeps.
  const AlignedBytes copy = CopyAligned(bytes);
  NameTable found;
  if (!found.View(copy.data, copy.size, count, copy.hold)) return false;
  found.extraSignature = std::move(table->extraSignature);
  *table = std::move(found);
  return true;
}

bool CNameTableStore::Add(const std::string& identity, const NameTable& table) const {
  if (!table.complete) return false;
  std::string bytes;
  table.AppendTo(&bytes);
  return plat::DerivedStore::Put(NameTableStoreKey(key_, identity), bytes);
}

std::shared_ptr<CNameTableStore> ProcessNameTableStore(const std::string& key) {
  static std::mutex mutex;
  static auto* stores = new std::map<std::string, std::shared_ptr<CNameTableStore>>;
  std::lock_guard<std::mutex> lock(mutex);
  auto& store = (*stores)[key];
  if (!store) {
    if (stores->size() > 16) {
      stores->clear();
      return (*stores)[key] = std::make_shared<CNameTableStore>(key);
    }
    store = std::make_shared<CNameTableStore>(key);
  }
  return store;
}
