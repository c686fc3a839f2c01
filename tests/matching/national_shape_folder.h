#pragma once
// A data folder of the country's shape (all 47 prefectures, a share of the
// municipalities, generated names) made from the sample description into a
// temporary folder, for tests that compare over every prefecture.

#include <gtest/gtest.h>

#include <string>

#include "common/message.h"
#include "support/test_util.h"
#include "tools/sampledata/description.h"
#include "tools/sampledata/generate.h"
#include "tools/sampledata/national.h"

namespace sample {

// Generates the set of seed and percent into dir's 住所 folder: its
// description in *d and the folder's CP932 path (with its trailing "\") in
// *folder.
inline testing::AssertionResult MakeNationalShapeFolder(uint32_t seed, int percent,
                                                        const testutil::TempDir& dir,
                                                        sampledata::Description* d,
                                                        std::string* folder) {
  sampledata::Description sample;
  char msg[kMessageSize] = "";
  if (sampledata::LoadDescription(sampledata::DefaultDescriptionFolder().c_str(), &sample, msg) !=
      1)
    return testing::AssertionFailure() << testutil::Show(msg);
  sampledata::NationalOptions options;
  options.seed = seed;
  options.percent = percent;
  if (sampledata::MakeNationalDescription(sample, options, d, msg) != 1)
    return testing::AssertionFailure() << testutil::Show(msg);
  *folder = dir.path() + "\\" + testutil::Sjis(u8"住所") + "\\";
  sampledata::GenerateOptions generate;
  generate.jobs = 4;
  if (sampledata::GenerateDataFolder(*d, *folder, generate, msg) != 1)
    return testing::AssertionFailure() << testutil::Show(msg);
  return testing::AssertionSuccess();
}

}  // namespace sample
