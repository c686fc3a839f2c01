#pragma once
// The sample road map generated in the build tree (Database/Road/ALLDATA.KWI),
// for tests that copy it into a temporary folder.

#include <cmath>
#include <cstdlib>
#include <string>

namespace sampleroad {

// Native path of the generated map file ($KORT_BUILD_DIR, else this build tree).
inline std::string GeneratedMapNative() {
  const char* build = std::getenv("KORT_BUILD_DIR");
  // The compiled-in path as UTF-8 (a plain literal would be CP932).
  if (build == nullptr || *build == '\0')
    build = reinterpret_cast<const char*>(u8"" KORT_TEST_BUILD_DIR);
  return std::string(build) + "/Database/Road/ALLDATA.KWI";
}

// Degrees to route units (1/1024 arc-second), as the description rounds.
inline int Units(double degrees) { return static_cast<int>(std::llround(degrees * 3600.0)) * 1024; }

}  // namespace sampleroad
