// What a kort job asks of the store of derived values, as the store grows.
//
//  - BM_StoreJobMeetingANewMunicipality/<tables>: a job that meets a
//    municipality for the first time, in a store that already holds the
//    name tables of <tables> other municipalities (besides the folder's
//    dictionary image and prefecture look-up): the store opened as a new
//    process opens it, the dictionaries and the look-up read in place, the
//    municipality's table looked up (not there) and then added. Each table
//    is a value of its own, so the time per job stays flat as <tables>
//    grows (a store that rewrote the folder's tables as one file grew 3.6
//    times over 1,869 municipalities).
//  - BM_StoreWarmJob/<tables>: the same job once its table is there: three
//    values read, nothing written.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "plat/derived_store.h"
#include "platform/src/derived_store_detail.h"

namespace {

constexpr std::size_t kDictionaryBytes = 64 << 10;
constexpr std::size_t kLookupBytes = 128 << 10;
constexpr std::size_t kTableBytes = 2 << 10;

plat::DerivedKey Key(const char* kind, const std::string& item) {
  return {kind, "/data/national", 1, 1, item};
}

// A cache folder of its own holding the folder's dictionaries, look-up and
// the given number of municipalities' tables.
class GrownStore {
 public:
  explicit GrownStore(int tables) {
    char dir[] = "/tmp/kort-store-bench.XXXXXX";
    if (mkdtemp(dir)) path_ = dir;
    setenv("XDG_CACHE_HOME", path_.c_str(), 1);
    plat::detail::ForgetDerivedStore();
    ok_ = !path_.empty() &&
          plat::DerivedStore::Put(Key("dictionaries", ""), std::string(kDictionaryBytes, 'd')) &&
          plat::DerivedStore::Put(Key("prefectures", ""), std::string(kLookupBytes, 'p'));
    for (int i = 0; ok_ && i < tables; ++i)
      ok_ = plat::DerivedStore::Put(Key("nametables", "city " + std::to_string(i)),
                                    std::string(kTableBytes, static_cast<char>('a' + i % 26)));
  }
  ~GrownStore() {
    plat::detail::ForgetDerivedStore();
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  bool ok() const { return ok_; }

 private:
  std::string path_;
  bool ok_ = false;
};

// The reads of a job; false when a value that should be there is not.
bool ReadAsAJob(const std::string& table, bool tableThere) {
  plat::DerivedStore store;
  std::string_view dictionaries, lookup, found;
  const bool there = store.Get(Key("nametables", table), found);
  benchmark::DoNotOptimize(found.data());
  return store.Get(Key("dictionaries", ""), dictionaries) &&
         store.Get(Key("prefectures", ""), lookup) && there == tableThere &&
         dictionaries.size() == kDictionaryBytes && lookup.size() == kLookupBytes;
}

void BM_StoreJobMeetingANewMunicipality(benchmark::State& state) {
  GrownStore grown(static_cast<int>(state.range(0)));
  if (!grown.ok()) {
    state.SkipWithError("the store could not be made");
    return;
  }
  int n = 0;
  for (auto _ : state) {
    plat::detail::ForgetDerivedStore();  // a new process
    const std::string table = "new city " + std::to_string(n++);
    if (!ReadAsAJob(table, false) ||
        !plat::DerivedStore::Put(Key("nametables", table), std::string(kTableBytes, 'n'))) {
      state.SkipWithError("a value was not there or not kept");
      break;
    }
  }
  state.counters["bytes_in_use"] = static_cast<double>(plat::detail::DerivedStoreBytesInUse());
}
BENCHMARK(BM_StoreJobMeetingANewMunicipality)
    ->Arg(0)
    ->Arg(500)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(4000)
    ->Iterations(200)
    ->Unit(benchmark::kMicrosecond);

void BM_StoreWarmJob(benchmark::State& state) {
  GrownStore grown(static_cast<int>(state.range(0)));
  if (!grown.ok()) {
    state.SkipWithError("the store could not be made");
    return;
  }
  for (auto _ : state) {
    plat::detail::ForgetDerivedStore();  // a new process
    if (!ReadAsAJob("city 0", state.range(0) > 0)) {
      state.SkipWithError("a value was not there");
      break;
    }
  }
}
BENCHMARK(BM_StoreWarmJob)
    ->Arg(1)
    ->Arg(2000)
    ->Arg(4000)
    ->Iterations(500)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
