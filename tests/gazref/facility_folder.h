#pragma once
// The sample facility folder generated in the build tree and the text
// description it was generated from.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/message.h"
#include "plat/cp932.h"
#include "tools/facilitydata/facility_description.h"

namespace facilitytest {

// The facility folder of the build tree ($KORT_BUILD_DIR, else the tree
// these tests were built in), a CP932 path ending in '\'.
inline std::string FacilityFolder() {
  const char* build = std::getenv("KORT_BUILD_DIR");
  if (build == nullptr || *build == '\0') {
    build = reinterpret_cast<const char*>(u8"" KORT_TEST_BUILD_DIR);
  }
  std::string folder;
  if (!plat::cp932::FromUtf8(build, folder)) return std::string();
  return folder + "\\Database\\施設\\";
}

inline const facilitydata::FacilityDescription& Described() {
  static const facilitydata::FacilityDescription* d = [] {
    auto* loaded = new facilitydata::FacilityDescription;
    char msg[kMessageSize] = "";
    if (!facilitydata::LoadFacilityDescription(
            facilitydata::DefaultFacilityDescriptionFolder().c_str(), loaded, msg)) {
      ADD_FAILURE() << plat::cp932::ToUtf8Display(msg);
    }
    return loaded;
  }();
  return *d;
}

}  // namespace facilitytest
