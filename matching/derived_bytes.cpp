#include "matching/derived_bytes.h"

#include "plat/derived_store.h"

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
