// What a kort job asks of the store of derived values, as the store grows.
//
//  - BM_StoreJobMeetingANewMunicipality/<tables>: a job that meets a
//    municipality for the first time, in a store that already holds the
//    name tables of <tables> other municipalities (besides the folder's
//    dictionary image and prefecture look-up): the store opened as a new
//    process opens it, the dictionaries and the look-up read in place (as
//    kort reads them, for the rest of the job), the municipality's table
//    looked up (not there) and then added, written when the job is done.
//    Each table is a value of its own, so the time per job stays flat as
//    <tables> grows (a store that rewrote the folder's tables as one file
//    grew 3.6 times over 1,869 municipalities).
//  - BM_StoreWarmJob/<tables>: the same job once its table is there: three
//    values read, nothing written.
//
// Each value goes with the stamps of the files it was derived from (the
// dictionary files, every prefecture's database and index, one
// prefecture's), which the store compares on every read.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "plat/derived_store.h"
#include "plat/file_stamp.h"
#include "platform/src/derived_store_detail.h"

namespace {

constexpr std::size_t kDictionaryBytes = 64 << 10;
constexpr std::size_t kLookupBytes = 128 << 10;
constexpr std::size_t kTableBytes = 2 << 10;

// The data folder the values were derived from (as the store knows it: by
// device and inode).
constexpr plat::DerivedFolder kFolder{0x801, 4242, "/data/national"};

plat::DerivedKey Key(const char* kind, const std::string& item) { return {kind, kFolder, 1, item}; }

// The stamps of count files, changed long ago (settled).
std::vector<plat::FileStamp> StampsOf(int count, std::uint64_t first) {
  std::vector<plat::FileStamp> stamps(static_cast<std::size_t>(count));
  for (plat::FileStamp& s : stamps) {
    s.size = 1000 + first;
    s.modifiedNs = 1'600'000'000'000'000'000;
    s.changedNs = 1'600'000'000'000'000'000;
    s.device = kFolder.device;
    s.inode = first++;
  }
  return stamps;
}

// The dictionary files, every prefecture's database and index, and one
// prefecture's (that of the tables).
const std::vector<plat::FileStamp> kDictionaryFiles = StampsOf(3, 10);
const std::vector<plat::FileStamp> kPrefectureFiles = StampsOf(94, 100);
const std::vector<plat::FileStamp> kTableFiles = StampsOf(2, 124);

std::size_t Tables() {
  std::size_t n = 0;
  for (const auto& e : plat::detail::DerivedStoreEntries()) n += e.kind == "nametables" ? 1 : 0;
  return n;
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
    // Put as the jobs that met them did, each in a transaction of its own.
    ok_ =
        !path_.empty() &&
        plat::PutDerived(Key("dictionaries", ""), kDictionaryFiles,
                         std::string(kDictionaryBytes, 'd')) &&
        plat::PutDerived(Key("prefectures", ""), kPrefectureFiles, std::string(kLookupBytes, 'p'));
    for (int i = 0; ok_ && i < tables; ++i)
      ok_ = plat::PutDerived(Key("nametables", "city " + std::to_string(i)), kTableFiles,
                             std::string(kTableBytes, static_cast<char>('a' + i % 26)));
    ok_ = ok_ && Tables() == static_cast<std::size_t>(tables);
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

// A new kort process: the store not yet opened, the values it gets used
// in place for the rest of the job.
void StartAJob() {
  plat::detail::ForgetDerivedStore();
  plat::UseDerivedValuesInPlace();
}

// The reads of a job; false when a value that should be there is not.
bool ReadAsAJob(const std::string& table, bool tableThere) {
  plat::DerivedBytes dictionaries, lookup, found;
  const bool there = plat::GetDerived(Key("nametables", table), kTableFiles, found);
  benchmark::DoNotOptimize(found.bytes.data());
  return plat::GetDerived(Key("dictionaries", ""), kDictionaryFiles, dictionaries) &&
         plat::GetDerived(Key("prefectures", ""), kPrefectureFiles, lookup) &&
         there == tableThere && dictionaries.bytes.size() == kDictionaryBytes &&
         lookup.bytes.size() == kLookupBytes;
}

void BM_StoreJobMeetingANewMunicipality(benchmark::State& state) {
  GrownStore grown(static_cast<int>(state.range(0)));
  if (!grown.ok()) {
    state.SkipWithError("the store could not be made");
    return;
  }
  int n = 0;
  for (auto _ : state) {
    StartAJob();
    const std::string table = "new city " + std::to_string(n++);
    if (!ReadAsAJob(table, false) ||
        !plat::PutDerived(Key("nametables", table), kTableFiles, std::string(kTableBytes, 'n'))) {
      state.SkipWithError("a value was not there or not kept");
      break;
    }
    plat::WriteDerivedValues();  // the job is done
  }
  plat::detail::ForgetDerivedStore();
  // Every job's table was written.
  if (Tables() != static_cast<std::size_t>(state.range(0) + n))
    state.SkipWithError("a job's table was not written");
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
  plat::detail::ForgetDerivedStore();
  const std::uint64_t transaction = plat::detail::DerivedStoreLastTransaction();
  for (auto _ : state) {
    StartAJob();
    if (!ReadAsAJob("city 0", state.range(0) > 0)) {
      state.SkipWithError("a value was not there");
      break;
    }
    plat::WriteDerivedValues();  // the job is done: nothing to write
  }
  plat::detail::ForgetDerivedStore();
  if (plat::detail::DerivedStoreLastTransaction() != transaction)
    state.SkipWithError("a warm job wrote");
}
BENCHMARK(BM_StoreWarmJob)
    ->Arg(1)
    ->Arg(2000)
    ->Arg(4000)
    ->Iterations(500)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
