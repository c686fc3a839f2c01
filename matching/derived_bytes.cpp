#include "matching/derived_bytes.h"

#include "plat/cache_file.h"

const plat::FileStamp& BuildStamp() {
  static const plat::FileStamp stamp = [] {
    plat::FileStamp s;
    if (!plat::StampOfModule(reinterpret_cast<const void*>(&BuildStamp), s)) s = plat::FileStamp();
    return s;
  }();
  return stamp;
}
