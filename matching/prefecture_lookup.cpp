#include "matching/prefecture_lookup.h"

#include <cstring>

#include "matching/derived_bytes.h"
#include "plat/derived_store.h"

namespace {

// Raised whenever what is derived, or how it is written, changes.
constexpr uint32_t kFormatVersion = 5;
constexpr uint32_t kNamesFormatVersion = 1;

bool DecodeEntry(CDerivedBytesReader* r, PrefectureLookup* p,
                 const std::shared_ptr<const void>& hold) {
  uint8_t files = 0;
  uint8_t known = 0;
  if (!r->Get(&files) || files > 1) return false;
  if (!files) return true;
  if (!r->Get(&known) || known > 1) return false;
  p->files = true;
  if (!known) return true;
  auto table = std::make_shared<NameTable>();
  if (!r->GetText(&p->name) || !r->Get(&p->count) || !table->View(r, p->count, hold)) return false;
  p->known = true;
  p->cities = std::move(table);
  return true;
}

}  // namespace

std::string EncodePrefectureLookups(const FolderPrefectureLookups& lookups) {
  std::string out;
  CDerivedBytesWriter w(&out);
  for (int32_t j = 1; j <= kPrefectureCount; ++j) {
    const PrefectureLookup& p = lookups[static_cast<std::size_t>(j)];
    // An entry known without a complete table is left to be read again.
    const bool known = p.known && p.cities && p.cities->complete;
    w.Put(static_cast<uint8_t>(p.files ? 1 : 0));
    if (!p.files) continue;
    w.Put(static_cast<uint8_t>(known ? 1 : 0));
    if (!known) continue;
    w.PutText(p.name);
    w.Put(p.count);
    p.cities->AppendTo(&out);
  }
  return out;
}

bool DecodePrefectureLookups(std::string_view bytes, std::shared_ptr<const void> hold,
                             plat::DerivedSources sources, FolderPrefectureLookups* out) {
  out->fill(PrefectureLookup());
  if (sources.size() != 2 * static_cast<std::size_t>(kPrefectureCount)) return false;
  // The tables are viewed where the bytes stand (those of the store are
  // 8-aligned and held by hold), else in an aligned copy, which they keep.
  plat::DerivedBytes held{bytes, std::move(hold)};
  if (!held.hold || reinterpret_cast<std::uintptr_t>(bytes.data()) % 8 != 0)
    held = AlignedCopy(bytes);
  CDerivedBytesReader r(held.bytes.data(), held.bytes.data() + held.bytes.size());
  FolderPrefectureLookups lookups;
  for (int32_t j = 1; j <= kPrefectureCount; ++j) {
    PrefectureLookup& p = lookups[static_cast<std::size_t>(j)];
    if (!DecodeEntry(&r, &p, held.hold)) return false;
    const plat::FileStamp& ndb = sources[2 * static_cast<std::size_t>(j - 1)];
    const plat::FileStamp& tix = sources[2 * static_cast<std::size_t>(j - 1) + 1];
    // Files exactly where the sources have them.
    const bool present = !(ndb == plat::FileStamp()) && !(tix == plat::FileStamp());
    if (p.files != present) return false;
    if (p.files) {
      p.ndb = ndb;
      p.tix = tix;
    }
  }
  if (!r.AtEnd()) return false;
  *out = std::move(lookups);
  return true;
}

std::string EncodePrefectureNames(const FolderPrefectureNames& names) {
  std::string out;
  CDerivedBytesWriter w(&out);
  w.Put(names.useKanjiNames);
  for (int32_t j = 1; j <= kPrefectureCount; ++j) {
    const PrefectureNameForms& f = names.forms[static_cast<std::size_t>(j)];
    w.PutText(f.name);
    w.Put(static_cast<uint8_t>((f.again ? 1 : 0) | (f.againEmpty ? 2 : 0)));
  }
  return out;
}

bool DecodePrefectureNames(std::string_view bytes, FolderPrefectureNames* names) {
  CDerivedBytesReader r(bytes.data(), bytes.data() + bytes.size());
  FolderPrefectureNames read;
  if (!r.Get(&read.useKanjiNames)) return false;
  for (int32_t j = 1; j <= kPrefectureCount; ++j) {
    PrefectureNameForms& f = read.forms[static_cast<std::size_t>(j)];
    uint8_t flags = 0;
    if (!r.GetText(&f.name) || !r.Get(&flags) || flags > 3) return false;
    f.again = (flags & 1) != 0;
    f.againEmpty = (flags & 2) != 0;
  }
  if (!r.AtEnd()) return false;
  read.dictionaries = names->dictionaries;
  *names = std::move(read);
  return true;
}

std::vector<plat::FileStamp> PrefectureLookupSources(const FolderPrefectureLookups& lookups) {
  std::vector<plat::FileStamp> sources(2 * static_cast<std::size_t>(kPrefectureCount));
  for (int32_t j = 1; j <= kPrefectureCount; ++j) {
    const PrefectureLookup& p = lookups[static_cast<std::size_t>(j)];
    if (!p.files) continue;
    sources[2 * static_cast<std::size_t>(j - 1)] = p.ndb;
    sources[2 * static_cast<std::size_t>(j - 1) + 1] = p.tix;
  }
  return sources;
}

plat::DerivedKey PrefectureLookupStoreKey(const PrefectureLookupPlace& place) {
  return {"prefectures", place.folder, kFormatVersion, place.item};
}

std::string PrefectureNamesItem(int32_t useKanjiNames) {
  return "kanji names " + std::to_string(useKanjiNames);
}

plat::DerivedKey PrefectureNamesStoreKey(const plat::DerivedFolder& folder,
                                         const std::string& item) {
  return {"prefnames", folder, kNamesFormatVersion, item};
}

bool LoadPrefectureLookups(const PrefectureLookupPlace& place, plat::DerivedSources sources,
                           FolderPrefectureLookups* out) {
  plat::DerivedBytes bytes;
  if (!plat::GetDerived(PrefectureLookupStoreKey(place), sources, bytes)) {
    out->fill(PrefectureLookup());
    return false;
  }
  return DecodePrefectureLookups(bytes.bytes, bytes.hold, sources, out);
}

bool StorePrefectureLookups(const PrefectureLookupPlace& place,
                            const FolderPrefectureLookups& lookups) {
  const std::vector<plat::FileStamp> sources = PrefectureLookupSources(lookups);
  return plat::PutDerived(PrefectureLookupStoreKey(place), sources,
                          EncodePrefectureLookups(lookups));
}

bool LoadPrefectureNames(const plat::DerivedFolder& folder, plat::DerivedSources dictionaries,
                         int32_t useKanjiNames, FolderPrefectureNames* names) {
  plat::DerivedBytes bytes;
  const std::string item = PrefectureNamesItem(useKanjiNames);
  return plat::GetDerived(PrefectureNamesStoreKey(folder, item), dictionaries, bytes) &&
         DecodePrefectureNames(bytes.bytes, names) && names->useKanjiNames == useKanjiNames;
}

bool StorePrefectureNames(const plat::DerivedFolder& folder, plat::DerivedSources dictionaries,
                          const FolderPrefectureNames& names) {
  const std::string item = PrefectureNamesItem(names.useKanjiNames);
  return plat::PutDerived(PrefectureNamesStoreKey(folder, item), dictionaries,
                          EncodePrefectureNames(names));
}
