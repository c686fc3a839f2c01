#pragma once
// Helpers of the toll tests: builder-made files in a scratch folder and the
// sample toll data generated in the build tree.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "plat/cp932.h"
#include "support/test_util.h"
#include "tools/tollbuild/toll_writers.h"

namespace tolltest {

// Writes image as name in dir; the CP932 path for the readers.
inline std::string WriteFile(const testutil::TempDir& dir, const char* name,
                             const std::string& image) {
  EXPECT_TRUE(testutil::WriteBytes(dir.Native(name), image));
  return dir.Sys(name);
}

inline std::string FacilImage(const tollbuild::FacilDat& spec) {
  std::string image, error;
  EXPECT_TRUE(tollbuild::BuildFacilDat(spec, &image, &error)) << error;
  return image;
}

inline std::string TollImage(const tollbuild::TollDat& spec) {
  std::string image, error;
  EXPECT_TRUE(tollbuild::BuildTollDat(spec, &image, &error)) << error;
  return image;
}

// The folder of the sample toll data of one format version in the build
// tree, as a native (UTF-8) path ending in '/'.
inline std::string SampleFolder(int version) {
  const char* build = std::getenv("KORT_BUILD_DIR");
  std::string folder =
      (build && *build) ? build : reinterpret_cast<const char*>(u8"" KORT_TEST_BUILD_DIR);
  return folder + "/Database/Toll/v" + std::to_string(version) + "/";
}

// The same as a CP932 path for the readers ("" when it has no CP932 form).
inline std::string SampleFile(int version, const char* name) {
  std::string out;
  if (!plat::cp932::FromUtf8(SampleFolder(version) + name, out)) return std::string();
  return out;
}

}  // namespace tolltest
