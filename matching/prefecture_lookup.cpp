#include "matching/prefecture_lookup.h"

#include <cstring>

#include "matching/derived_bytes.h"
#include "plat/cache_file.h"

namespace {

constexpr char kMagic[8] = {'K', 'O', 'R', 'T', 'P', 'R', 'E', 'F'};
// Raised whenever what is derived, or how it is written, changes.
constexpr uint32_t kFormatVersion = 3;
// No folder's file comes near this; a larger file is not read.
constexpr std::size_t kMaxFileSize = 64u << 20;

uint64_t Fnv1a(const char* data, std::size_t size) {
  uint64_t hash = 0xcbf29ce484222325ull;
  for (std::size_t i = 0; i < size; ++i) {
    hash ^= static_cast<unsigned char>(data[i]);
    hash *= 0x100000001b3ull;
  }
  return hash;
}

}  // namespace

// Eight bytes at a time: each step mixes a word into the state so that
// another word gives another state, and every later step keeps states
// apart, so a change within one word always changes the sum.
uint64_t PrefectureLookupChecksum(const char* data, std::size_t size) {
  constexpr uint64_t kWordFactor = 0x9e3779b97f4a7c15ull;
  constexpr uint64_t kStateFactor = 0xc2b2ae3d27d4eb4full;  // odd: a bijection
  auto step = [](uint64_t hash, uint64_t word) {
    const uint64_t mixed = hash ^ word;
    return (mixed << 31 | mixed >> 33) * kStateFactor;
  };
  uint64_t hash = 0xcbf29ce484222325ull ^ (size * kWordFactor);
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t word = 0;
    std::memcpy(&word, data + i, 8);
    hash = step(hash, word);
  }
  uint64_t tail = 0;
  std::memcpy(&tail, data + i, size - i);
  hash = step(hash, tail);
  return hash ^ (hash >> 29);
}

namespace {

bool DecodeEntry(CDerivedBytesReader* r, PrefectureLookup* p) {
  uint8_t files = 0;
  uint8_t known = 0;
  if (!r->Get(&files) || files > 1) return false;
  if (!files) return true;
  if (!GetStamp(r, &p->ndb) || !GetStamp(r, &p->tix) || !r->Get(&known) || known > 1) return false;
  p->files = true;
  if (!known) return true;
  auto table = std::make_shared<NameTable>();
  if (!r->GetText(&p->name) || !r->Get(&p->count) || !table->ReadFrom(r, p->count)) return false;
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

std::string EncodePrefectureLookups(const std::string& key, const FolderPrefectureLookups& lookups,
                                    const FolderPrefectureNames& names) {
  std::string out(kMagic, sizeof kMagic);
  CDerivedBytesWriter w(&out);
  w.Put(kFormatVersion);
  PutStamp(&w, BuildStamp());
  w.PutText(key);
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
  w.Put(PrefectureLookupChecksum(out.data(), out.size()));
  return out;
}

namespace {

// The reader of the entries after the key of checked bytes; false when
// they do not check (magic, checksum, version, build).
bool OpenChecked(const std::string& bytes, CDerivedBytesReader* r, std::string* key) {
  constexpr std::size_t kSumSize = sizeof(uint64_t);
  if (bytes.size() < sizeof kMagic + kSumSize ||
      std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
    return false;
  const std::size_t body = bytes.size() - kSumSize;
  uint64_t sum = 0;
  std::memcpy(&sum, bytes.data() + body, kSumSize);
  if (sum != PrefectureLookupChecksum(bytes.data(), body)) return false;
  *r = CDerivedBytesReader(bytes.data() + sizeof kMagic, bytes.data() + body);
  uint32_t version = 0;
  plat::FileStamp build;
  return r->Get(&version) && version == kFormatVersion && GetStamp(r, &build) &&
         build == BuildStamp() && r->GetText(key);
}

}  // namespace

bool DecodePrefectureLookups(const std::string& bytes, const std::string& key,
                             FolderPrefectureLookups* out, FolderPrefectureNames* names) {
  out->fill(PrefectureLookup());
  if (names) *names = FolderPrefectureNames();
  CDerivedBytesReader r(nullptr, nullptr);
  std::string storedKey;
  if (!OpenChecked(bytes, &r, &storedKey) || storedKey != key) return false;
  FolderPrefectureLookups lookups;
  for (int32_t j = 1; j <= kPrefectureCount; ++j) {
    if (!DecodeEntry(&r, &lookups[static_cast<std::size_t>(j)])) return false;
  }
  FolderPrefectureNames read;
  if (!GetNames(&r, &read) || !r.AtEnd()) return false;
  *out = std::move(lookups);
  if (names) *names = std::move(read);
  return true;
}

std::string StoredPrefectureLookupKey(const std::string& bytes) {
  CDerivedBytesReader r(nullptr, nullptr);
  std::string key;
  return OpenChecked(bytes, &r, &key) ? key : std::string();
}

std::string PrefectureLookupFileName(const std::string& key) {
  // The build's own file: the stamp and format it writes are part of the
  // name as well as of the content.
  static const uint64_t build = [] {
    std::string stamp;
    CDerivedBytesWriter w(&stamp);
    w.Put(kFormatVersion);
    PutStamp(&w, BuildStamp());
    return Fnv1a(stamp.data(), stamp.size());
  }();
  return plat::CacheFileName("prefectures", Fnv1a(key.data(), key.size()), build);
}

bool LoadPrefectureLookups(const std::string& key, FolderPrefectureLookups* out,
                           FolderPrefectureNames* names) {
  std::string bytes;
  if (!plat::ReadCacheFile(PrefectureLookupFileName(key), bytes, kMaxFileSize)) {
    out->fill(PrefectureLookup());
    *names = FolderPrefectureNames();
    return false;
  }
  return DecodePrefectureLookups(bytes, key, out, names);
}

bool StorePrefectureLookups(const std::string& key, const FolderPrefectureLookups& lookups,
                            const FolderPrefectureNames& names) {
  return plat::WriteCacheFile(PrefectureLookupFileName(key),
                              EncodePrefectureLookups(key, lookups, names));
}
