#include "matching/derived_bytes.h"

#include <algorithm>

#include "plat/derived_store.h"

AlignedBytes CopyAligned(std::string_view bytes) {
  AlignedBytes copy;
  // Exactly the words the bytes take (one for none).
  const std::shared_ptr<uint64_t[]> words(
      new uint64_t[std::max<std::size_t>(1, (bytes.size() + 7) / 8)]);
  char* const data = reinterpret_cast<char*>(words.get());
  if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  copy.data = data;
  copy.size = bytes.size();
  copy.hold = words;
  return copy;
}

const plat::FileStamp& BuildStamp() {
  static const plat::FileStamp stamp = [] {
    plat::FileStamp s;
    if (!plat::StampOfModule(reinterpret_cast<const void*>(&BuildStamp), s)) s = plat::FileStamp();
    return s;
  }();
  return stamp;
}

uint64_t BuildChecksum() {
  std::string stamp;
  CDerivedBytesWriter w(&stamp);
  PutStamp(&w, BuildStamp());
  uint64_t hash = 0xcbf29ce484222325ull;  // FNV-1a
  for (const char c : stamp) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
  return hash;
}
