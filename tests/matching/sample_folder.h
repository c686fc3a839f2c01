#pragma once
// The sample data folder generated in the build tree (Database/住所 beside
// the programs), as the CP932 path the system builds, with its "\".

#include <cstdlib>
#include <string>

#include "plat/cp932.h"

namespace sample {

// kind 2 (the main folder) or kind 1 (the same data with a kind-1 address
// index) of $KORT_BUILD_DIR, else this build tree; "" when the build
// directory is not known.
inline std::string Folder(int kind = 2) {
  const char* build = std::getenv("KORT_BUILD_DIR");
#ifdef KORT_TEST_BUILD_DIR
  // The compiled-in path as UTF-8 (a plain literal would be CP932).
  if (build == nullptr || *build == '\0') {
    build = reinterpret_cast<const char*>(u8"" KORT_TEST_BUILD_DIR);
  }
#endif
  std::string folder;
  if (build == nullptr || !plat::cp932::FromUtf8(build, folder)) return std::string();
  return folder + (kind == 1 ? "\\testdata\\tix1\\Database\\住所\\" : "\\Database\\住所\\");
}

}  // namespace sample
