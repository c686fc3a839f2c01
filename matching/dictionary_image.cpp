#include "matching/dictionary_image.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "matching/derived_bytes.h"
#include "plat/derived_store.h"
#include "tabledb/dictionaries.h"

namespace {

constexpr char kMagic[8] = {'K', 'O', 'R', 'T', 'D', 'I', 'C', 'T'};
// Raised whenever what is kept, or how it is written, changes.
constexpr uint32_t kFormatVersion = 3;
// Record blocks start at multiples of this (the records are used in place).
constexpr std::size_t kAlignment = 8;
constexpr int kBlockCount = 3;

// What an image keeps of one dictionary or list besides its records.
struct BlockHeader {
  uint32_t created = 0;  // 0: never created (no records, all numbers 0)
  uint32_t count = 0;
  uint32_t capacity = 0;
  uint32_t growthStep = 0;
  uint32_t elementSize = 0;
};

template <typename Records>
BlockHeader HeaderOf(const Records& records, const void* buffer) {
  BlockHeader h;
  if (buffer == nullptr) return h;
  h.created = 1;
  h.count = records.GetCount();
  h.capacity = records.GetCapacity();
  h.growthStep = records.GetGrowthStep();
  h.elementSize = sizeof(PairRecord);
  return h;
}

void PadTo(std::string* out, std::size_t alignment) {
  out->resize((out->size() + alignment - 1) / alignment * alignment, '\0');
}

// Every record of the block holds two texts that end within their fields
// (searches and comparisons may then read them as they stand).
bool RecordsHoldTexts(const char* records, uint32_t capacity) {
  for (uint32_t n = 0; n < capacity; ++n) {
    const char* record = records + static_cast<std::size_t>(n) * sizeof(PairRecord);
    if (!std::memchr(record + offsetof(PairRecord, search), '\0', kPairTextSize) ||
        !std::memchr(record + offsetof(PairRecord, replacement), '\0', kPairTextSize))
      return false;
  }
  return true;
}

}  // namespace

plat::DerivedKey DictionaryImageStoreKey(const plat::DerivedFolder& folder) {
  return {"dictionaries", folder, kFormatVersion, {}};
}

std::string MakeDictionaryImage(const FolderDictionaries& d) {
  const BlockHeader headers[kBlockCount] = {HeaderOf(d.unification, d.unification.GetBuffer()),
                                            HeaderOf(d.replacements, d.replacements.GetBuffer()),
                                            HeaderOf(d.extra, d.extra.GetBuffer())};
  const void* buffers[kBlockCount] = {d.unification.GetBuffer(), d.replacements.GetBuffer(),
                                      d.extra.GetBuffer()};
  std::string out(kMagic, sizeof kMagic);
  CDerivedBytesWriter w(&out);
  w.Put(kFormatVersion);
  w.Put(static_cast<uint32_t>(d.hasExtra ? 1 : 0));
  for (const BlockHeader& h : headers) w.Put(h);
  for (int i = 0; i < kBlockCount; ++i) {
    PadTo(&out, kAlignment);
    out.append(static_cast<const char*>(buffers[i]),
               static_cast<std::size_t>(headers[i].capacity) * headers[i].elementSize);
  }
  PadTo(&out, kAlignment);
  return out;
}

bool UseDictionaryImage(std::string&& image, FolderDictionaries* d) {
  if (image.size() < sizeof kMagic || image.size() % kAlignment != 0 ||
      std::memcmp(image.data(), kMagic, sizeof kMagic) != 0)
    return false;
  const std::size_t summed = image.size();

  CDerivedBytesReader r(image.data() + sizeof kMagic, image.data() + summed);
  uint32_t version = 0;
  uint32_t hasExtra = 0;
  BlockHeader headers[kBlockCount];
  if (!r.Get(&version) || version != kFormatVersion || !r.Get(&hasExtra) || hasExtra > 1)
    return false;
  for (BlockHeader& h : headers) {
    if (!r.Get(&h)) return false;
  }
  // The blocks: where each begins, all within the image, every record whole.
  std::size_t offsets[kBlockCount] = {};
  std::size_t at = summed - r.Remaining();
  for (int i = 0; i < kBlockCount; ++i) {
    const BlockHeader& h = headers[i];
    at = (at + kAlignment - 1) / kAlignment * kAlignment;
    if (h.created > 1) return false;
    if (!h.created) {
      if (h.count || h.capacity || h.growthStep || h.elementSize) return false;
      continue;
    }
    if (h.elementSize != sizeof(PairRecord) || h.capacity == 0 || h.growthStep == 0 ||
        h.count > h.capacity)
      return false;
    const uint64_t bytes = static_cast<uint64_t>(h.capacity) * h.elementSize;
    if (at > summed || bytes > summed - at) return false;
    offsets[i] = at;
    if (!RecordsHoldTexts(image.data() + at, h.capacity)) return false;
    at += static_cast<std::size_t>(bytes);
  }
  // What the loaders always make: the two dictionaries, and the user's list
  // exactly when it was there.
  if (!headers[0].created || !headers[1].created || headers[2].created != hasExtra ||
      (at + kAlignment - 1) / kAlignment * kAlignment != summed)
    return false;

  // Everything checks: the records are used where they stand.
  d->image = std::move(image);
  auto view = [&](int i, auto& records) {
    const BlockHeader& h = headers[i];
    return !h.created || records.View(d->image.data() + offsets[i], h.capacity, h.count,
                                      static_cast<uint16_t>(h.elementSize), h.growthStep);
  };
  if (!view(0, d->unification) || !view(1, d->replacements) || !view(2, d->extra)) {
    d->unification.Free();
    d->replacements.Free();
    d->extra.Free();
    image = std::move(d->image);
    d->image.clear();
    return false;
  }
  d->hasExtra = hasExtra != 0;
  return true;
}

bool ReadDictionaryImage(const plat::DerivedFolder& folder, plat::DerivedSources files,
                         FolderDictionaries* dictionaries) {
  plat::DerivedBytes image;
  // Copied: the dictionaries keep their records beyond the read, and
  // their records may be changed where they stand.
  return plat::GetDerived(DictionaryImageStoreKey(folder), files, image) &&
         UseDictionaryImage(std::string(image.bytes), dictionaries);
}

bool WriteDictionaryImage(const plat::DerivedFolder& folder, plat::DerivedSources files,
                          const FolderDictionaries& dictionaries) {
  return plat::PutDerived(DictionaryImageStoreKey(folder), files,
                          MakeDictionaryImage(dictionaries));
}
