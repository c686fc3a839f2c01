#include "matching/prefecture_lookup.h"

#include <cstring>

#include "matching/derived_bytes.h"
#include "plat/derived_store.h"

namespace {

// Raised whenever what is derived, or how it is written, changes.
constexpr uint32_t kFormatVersion = 4;

}  // namespace

namespace {

bool DecodeEntry(CDerivedBytesReader* r, PrefectureLookup* p,
                 const std::shared_ptr<const void>& hold) {
  uint8_t files = 0;
  uint8_t known = 0;
  if (!r->Get(&files) || files > 1) return false;
  if (!files) return true;
  if (!GetStamp(r, &p->ndb) || !GetStamp(r, &p->tix) || !r->Get(&known) || known > 1) return false;
  p->files = true;
  if (!known) return true;
  auto table = std::make_shared<NameTable>();
  if (!r->GetText(&p->name) || !r->Get(&p->count) || !table->View(r, p->count, hold)) return false;
  p->known = true;
  p->cities = std::move(table);
  return true;
}

// The names after the entries: the dictionaries' stamps, then (when there
// are any) the search-text kind and each prefecture's name and two flags.
void PutNames(CDerivedBytesWriter* w, const FolderPrefectureNames& names) {
  w->PutText(names.dictionaries);
  if (names.dictionaries.empty()) return;
  w->Put(names.useKanjiNames);
  for (int32_t j = 1; j <= kPrefectureCount; ++j) {
    const PrefectureNameForms& f = names.forms[static_cast<std::size_t>(j)];
    w->PutText(f.name);
    w->Put(static_cast<uint8_t>((f.again ? 1 : 0) | (f.againEmpty ? 2 : 0)));
  }
}

bool GetNames(CDerivedBytesReader* r, FolderPrefectureNames* names) {
  if (!r->GetText(&names->dictionaries)) return false;
  if (names->dictionaries.empty()) return true;
  if (!r->Get(&names->useKanjiNames)) return false;
  for (int32_t j = 1; j <= kPrefectureCount; ++j) {
    PrefectureNameForms& f = names->forms[static_cast<std::size_t>(j)];
    uint8_t flags = 0;
    if (!r->GetText(&f.name) || !r->Get(&flags) || flags > 3) return false;
    f.again = (flags & 1) != 0;
    f.againEmpty = (flags & 2) != 0;
  }
  return true;
}

}  // namespace

std::string EncodePrefectureLookups(const FolderPrefectureLookups& lookups,
                                    const FolderPrefectureNames& names) {
  std::string out;
  CDerivedBytesWriter w(&out);
  for (int32_t j = 1; j <= kPrefectureCount; ++j) {
    const PrefectureLookup& p = lookups[static_cast<std::size_t>(j)];
    // An entry known without a complete table is left to be read again.
    const bool known = p.known && p.cities && p.cities->complete;
    w.Put(static_cast<uint8_t>(p.files ? 1 : 0));
    if (!p.files) continue;
    PutStamp(&w, p.ndb);
    PutStamp(&w, p.tix);
    w.Put(static_cast<uint8_t>(known ? 1 : 0));
    if (!known) continue;
    w.PutText(p.name);
    w.Put(p.count);
    p.cities->AppendTo(&out);
  }
  PutNames(&w, names);
  return out;
}

bool DecodePrefectureLookups(std::string_view bytes, FolderPrefectureLookups* out,
                             FolderPrefectureNames* names) {
  out->fill(PrefectureLookup());
  if (names) *names = FolderPrefectureNames();
  // The tables are viewed in an aligned copy of the bytes, which they keep.
  const AlignedBytes copy = CopyAligned(bytes);
  CDerivedBytesReader r(copy.data, copy.data + copy.size);
  FolderPrefectureLookups lookups;
  for (int32_t j = 1; j <= kPrefectureCount; ++j) {
    if (!DecodeEntry(&r, &lookups[static_cast<std::size_t>(j)], copy.hold)) return false;
  }
  FolderPrefectureNames read;
  if (!GetNames(&r, &read) || !r.AtEnd()) return false;
  *out = std::move(lookups);
  if (names) *names = std::move(read);
  return true;
}

plat::DerivedKey PrefectureLookupStoreKey(const std::string& key) {
  // The build's own entry: the stamp of the program that writes it.
  static const uint64_t build = BuildChecksum();
  return {"prefectures", key, build, kFormatVersion, {}};
}

bool LoadPrefectureLookups(const std::string& key, FolderPrefectureLookups* out,
                           FolderPrefectureNames* names) {
  plat::DerivedStore store;
  std::string_view bytes;
  if (!store.Get(PrefectureLookupStoreKey(key), bytes)) {
    out->fill(PrefectureLookup());
    *names = FolderPrefectureNames();
    return false;
  }
  return DecodePrefectureLookups(bytes, out, names);
}

bool StorePrefectureLookups(const std::string& key, const FolderPrefectureLookups& lookups,
                            const FolderPrefectureNames& names) {
  return plat::DerivedStore::Put(PrefectureLookupStoreKey(key),
                                 EncodePrefectureLookups(lookups, names));
}
