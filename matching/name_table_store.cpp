#include "matching/name_table_store.h"

#include <string_view>
#include <utility>

#include "matching/derived_bytes.h"

namespace {

// Raised whenever what is kept, or how it is written, changes.
constexpr uint32_t kFormatVersion = 4;

}  // namespace

plat::DerivedKey NameTableStoreKey(const StoredNameTableId& id, const plat::DerivedFolder& folder) {
  return {"nametables", folder, kFormatVersion, id.item};
}

bool FindStoredNameTable(const StoredNameTableId& id, uint16_t count, NameTable* table) {
  const plat::DerivedFolder folder = plat::DerivedFolderAt(id.folder);
  plat::DerivedBytes bytes;
  if (!plat::GetDerived(NameTableStoreKey(id, folder), id.files, bytes)) return false;
  // Viewed where the store's bytes stand (8-aligned, there while the hold
  // lives).
  NameTable found;
  if (!found.View(bytes.bytes.data(), bytes.bytes.size(), count, bytes.hold)) return false;
  found.extraSignature = std::move(table->extraSignature);
  *table = std::move(found);
  return true;
}

bool KeepStoredNameTable(const StoredNameTableId& id, const NameTable& table) {
  if (!table.complete) return false;
  const plat::DerivedFolder folder = plat::DerivedFolderAt(id.folder);
  // The table's own image, where it stands (it is never changed).
  if (!table.Image().empty() && table.Hold())
    return plat::PutDerived(NameTableStoreKey(id, folder), id.files,
                            plat::DerivedBytes{table.Image(), table.Hold()});
  std::string bytes;
  table.AppendTo(&bytes);
  return plat::PutDerived(NameTableStoreKey(id, folder), id.files, std::move(bytes));
}
