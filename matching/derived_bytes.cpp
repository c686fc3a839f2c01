#include "matching/derived_bytes.h"

#include "matching/cache_checksum.h"
#include "plat/cache_file.h"

const plat::FileStamp& BuildStamp() {
  static const plat::FileStamp stamp = [] {
    plat::FileStamp s;
    if (!plat::StampOfModule(reinterpret_cast<const void*>(&BuildStamp), s)) s = plat::FileStamp();
    return s;
  }();
  return stamp;
}

uint64_t BuildAndFormatChecksum(uint32_t formatVersion) {
  std::string stamp;
  CDerivedBytesWriter w(&stamp);
  w.Put(formatVersion);
  PutStamp(&w, BuildStamp());
  return CacheChecksum(stamp);
}
