// Address matching through the buffer entry on the generated sample data:
// one whole match (dictionaries, both prefectures' data sets, result line)
// per iteration.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "matching/match_entries.h"

namespace {

const std::string& DataFolder() {
  static const std::string folder = std::string(KORT_BENCH_BUILD_DIR) + "/Database/住所";
  return folder;
}

void Match(benchmark::State& state, const char* address, int32_t flags) {
  char buffer[4096];
  char message[1024];
  char text[512];
  for (auto _ : state) {
    std::strncpy(text, address, sizeof text - 1);
    text[sizeof text - 1] = '\0';
    message[0] = '\0';
    const int ok = MatchAddressesToBuffer(buffer, sizeof buffer, text, 0, 1, DataFolder().c_str(),
                                          message, 0, 1, 1, 1, 1, 1, 1,
                                          flags == 8 ? "VRG_EXTEND" : "VRG_BASIC");
    benchmark::DoNotOptimize(ok);
    if (!ok) state.SkipWithError("the match failed");
  }
}

// The prefecture is named: one data set is searched.
void BM_MatchWithPrefecture(benchmark::State& state) {
  Match(state, "東京都千代田区丸の内一丁目", 8);
}
BENCHMARK(BM_MatchWithPrefecture);

// No prefecture: every prefecture with data is tried.
void BM_MatchWithoutPrefecture(benchmark::State& state) {
  Match(state, "千代田区丸の内一丁目", 8);
}
BENCHMARK(BM_MatchWithoutPrefecture);

}  // namespace
