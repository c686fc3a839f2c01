#pragma once
// What the address-matching benchmarks share: the build folder, the
// sample data folder, the sample corpus and one address matched through
// the public buffer entry.

#include <cstdio>
#include <string>
#include <vector>

#include "common/message.h"
#include "matching/match_entries.h"
#include "tools/sampledata/corpus.h"
#include "tools/sampledata/description.h"

namespace bench {

inline std::string BuildDir() { return KORT_BENCH_BUILD_DIR; }

// The sample data folder as the entries take it (CP932: narrow literals
// are CP932, the build folder's path is ASCII).
inline std::string SampleDataFolder() { return BuildDir() + "/Database/住所"; }

// The fixed corpus made from the sample description (loaded once); empty
// when the description does not load.
inline const std::vector<std::string>& SampleCorpus() {
  static const std::vector<std::string> corpus = [] {
    sampledata::Description d;
    char msg[kMessageSize] = "";
    if (!sampledata::LoadDescription(sampledata::DefaultDescriptionFolder().c_str(), &d, msg))
      return std::vector<std::string>{};
    return sampledata::MakeAddressCorpus(d);
  }();
  return corpus;
}

// One address matched in the folder; the entry's answer.
inline int MatchOne(const char* address, const std::string& folder,
                    const char* dataset = "VRG_EXTEND") {
  char buffer[4096];
  char message[kMessageSize];
  char text[512];
  std::snprintf(text, sizeof text, "%s", address);
  message[0] = '\0';
  return MatchAddressesToBuffer(buffer, sizeof buffer, text, 0, 1, folder.c_str(), message, 0, 1, 1,
                                1, 1, 1, 1, dataset);
}

}  // namespace bench
