// What a process pays for the sample data folder's dictionaries
// (文字統一.BIN, 文字置換.BIN, ユーザー置換.TXT) when it has none kept yet,
// as every kort job does:
//  - BM_FolderDictionaries/files: loaded from the three files (no cache
//    folder: the process's cache home is a file);
//  - BM_FolderDictionaries/image: taken from the folder's image file in
//    the cache folder (written by the first load), used in place.
// Each iteration loads into fresh dictionaries and frees them; the files'
// stamps are looked at each time, as a new process does.

#include <benchmark/benchmark.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "common/message.h"
#include "matching/data_folder_cache.h"

namespace {

std::string BuildDir() { return KORT_BENCH_BUILD_DIR; }

void BM_FolderDictionaries(benchmark::State& state, bool image) {
  const std::string folder = BuildDir() + "\\Database\\住所\\";
  const std::string cacheHome = BuildDir() + "/bench-cache";
  const std::string noCache = BuildDir() + "/bench-no-cache";
  if (image) {
    mkdir(cacheHome.c_str(), 0700);
  } else if (FILE* f = std::fopen(noCache.c_str(), "w")) {
    std::fclose(f);
  }
  setenv("XDG_CACHE_HOME", (image ? cacheHome : noCache).c_str(), 1);
  char msg[kMessageSize] = "";
  {
    auto warm = std::make_unique<FolderDictionaries>();
    if (!LoadFolderDictionaries(folder, warm.get(), msg)) {
      state.SkipWithError("the sample dictionaries do not load");
      return;
    }
  }
  for (auto _ : state) {
    auto d = std::make_unique<FolderDictionaries>();
    bool fromImage = false;
    if (!LoadFolderDictionaries(folder, d.get(), msg, &fromImage) || fromImage != image) {
      state.SkipWithError(image ? "no image was taken" : "an image was taken");
      break;
    }
    benchmark::DoNotOptimize(d->unification.GetCount());
  }
}
BENCHMARK_CAPTURE(BM_FolderDictionaries, files, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FolderDictionaries, image, true)->Unit(benchmark::kMicrosecond);

}  // namespace
