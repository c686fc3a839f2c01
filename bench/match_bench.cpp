// Address matching through the public buffer entry, single thread, on
// these data sets:
//  - sample: the generated sample data (prefectures 13 and 26);
//  - scale10, scale100 (gensample --scale, testdata/scaleN/): the sample's
//    municipalities copied under new names, ten and a hundred times as
//    many in the same two prefectures, with the sample's towns under each.
//    They grow the municipality level of two prefectures only: neither the
//    loop over the prefectures nor the towns of a municipality grow, so
//    they do not show how the cost grows on real data;
//  - national (gensample --national, target national_data, national/): 47
//    prefectures, about 1,900 municipalities and 120,000 town rows with
//    shared names, and its three lists of test addresses.
// Benchmarks:
//  - BM_MatchCorpus/N: a fixed corpus made from the sample description
//    (tools/sampledata/corpus.h) on the sample (N = 1) and scaled sets;
//  - BM_MatchNational/<list>: the national set's addresses written with the
//    prefecture, without it, and not in the data;
//  - BM_MatchNationalFolders/N: the national set's addresses drawn by
//    municipality size (below), with the prefecture, matched in N folders
//    in turn, each the national set under a name of its own (symbolic
//    links national/folders/fK): one process that works in several
//    national-size folders against one that works in one (and the images
//    the process keeps of its data files);
//    each one address per iteration, reporting addresses per second
//    (items_per_second) and the system calls per address counted by the
//    platform layer;
//  - BM_KortJobWithPrefecture/<set>, BM_KortJobWithoutPrefecture/<set>: a
//    whole kort job of kind 3000 (fork, exec, match, exit) against the
//    empty program `int main(){return 0;}` built with g++ -O2
//    (bench_empty_process; kort carries its C++ runtime inside, so that
//    program is its floor), the two run in turn in the same loop: median
//    wall time of each and their ratio, page faults (ru_minflt of the
//    child) and, where the kernel lets this process count them, user-space
//    instructions of the child (perf_event_open); the jobs' files are
//    read from <set>/bench-jobs, their results written beside the program;
//    BM_KortJobWithoutPrefectureNoCache/<set>: the same without a cache
//    folder (the prefecture names read from every prefecture's files);
//    on the national set the jobs take addresses drawn by municipality
//    size: every aza/chome row alike, so that a municipality comes as
//    often as it has towns (as large municipalities do in real data);
//    BM_KortJobLargestMunicipality/national,
//    BM_KortJobSmallestMunicipality/national: jobs with the prefecture for
//    towns of the municipality with the most towns and of one with the
//    fewest (how a job's cost grows with its municipality); a municipality's
//    towns are its TC_Oaza rows (oaza and aza/chome rows), and the national
//    set's municipalities are as large as real ones (the largest has the
//    postal list's 1,122 towns as oaza, some 2,700 rows, the smallest one
//    town: an oaza and its one row);
//    BM_KortJobLargestAgainstOneTown/national: the two in turn in the same
//    loop, warm (after a first pass over both): the medians of each and
//    their ratio (largest_one_town_wall, ..._instructions);
//    BM_KortJobFirstInMunicipality/national: the first job in the largest
//    municipality (a cache folder that has seen only a job elsewhere, made
//    afresh for every iteration) and the same job again, warm: the medians
//    of each and their ratio (first_warm_wall, ..._instructions);
//    BM_KortJobEachMunicipality/national: one job in each municipality,
//    from an empty cache folder, each meeting a municipality no job met
//    before: the median of the last 200 jobs against that of jobs 201 to
//    400 and their ratio (last_middle_wall; the same of the CPU time,
//    last_middle_cpu), and the store's size;
//    BM_KortJobFoldersByBuilds/{sample,national}: the same job in 32
//    folders by two builds of kort in turn, warm, against the same job in
//    one folder of one build: the medians of each and their ratio
//    (folders_builds_one_wall);
//  - BM_MatchWithPrefecture / BM_MatchWithoutPrefecture: one address.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <linux/perf_event.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "common/message.h"
#include "matching/match_entries.h"
#include "plat/file_stamp.h"
#include "tabledb/file_cache.h"
#include "tools/sampledata/corpus.h"
#include "tools/sampledata/description.h"
#include "tools/sampledata/national.h"

namespace {

using bench::BuildDir;
using bench::MatchOne;

// The data sets: the sample, the scaled sets and the national one.
constexpr int kNational = 0;

// The folder that holds kort's Database/住所 for a set (UTF-8 path): a
// scale (1, 10, 100) or kNational.
std::string ScaleRoot(int scale) {
  if (scale == kNational) return BuildDir() + "/national";
  return scale == 1 ? BuildDir() : BuildDir() + "/testdata/scale" + std::to_string(scale);
}

// The data folder as the entries take it (CP932: narrow literals are
// CP932, the build folder's path is ASCII).
std::string DataFolder(int scale) { return ScaleRoot(scale) + "/Database/住所"; }

// The description the national set is generated from (target
// national_data: gensample --national --seed 1), made once; empty when it
// cannot be made.
const sampledata::Description& NationalDescription() {
  static const sampledata::Description national = [] {
    sampledata::Description sample;
    sampledata::Description out;
    char msg[kMessageSize] = "";
    sampledata::NationalOptions options;
    options.seed = 1;
    if (!sampledata::LoadDescription(sampledata::DefaultDescriptionFolder().c_str(), &sample,
                                     msg) ||
        !sampledata::MakeNationalDescription(sample, options, &out, msg))
      return sampledata::Description{};
    return out;
  }();
  return national;
}

// The towns of the national description (its TC_Oaza rows: oaza rows and
// the aza/chome rows under them) by municipality, and the aza/chome rows
// an address can be written for.
struct NationalTowns {
  std::vector<std::size_t> rows;                 // aza/chome rows (indexes into oaza)
  std::vector<std::vector<std::size_t>> rowsOf;  // per municipality: its aza/chome rows
  std::vector<std::size_t> townsOf;              // per municipality: its TC_Oaza rows
};

const NationalTowns& Towns() {
  static const NationalTowns towns = [] {
    const sampledata::Description& d = NationalDescription();
    NationalTowns t;
    t.rowsOf.resize(d.municipalities.size());
    t.townsOf.resize(d.municipalities.size());
    for (std::size_t i = 0; i < d.oaza.size(); ++i) {
      const int m = d.oaza[i].municipality;
      if (m < 0) continue;
      ++t.townsOf[static_cast<std::size_t>(m)];
      if (d.oaza[i].IsOaza()) continue;
      t.rows.push_back(i);
      t.rowsOf[static_cast<std::size_t>(m)].push_back(i);
    }
    return t;
  }();
  return towns;
}

enum class Draw {
  kBySize,    // every aza/chome row alike: a municipality as often as it has towns
  kLargest,   // rows of the municipality with the most towns
  kSmallest,  // rows of the first municipality with the fewest towns
};

// The municipality a draw of one municipality takes its rows from; -1 for
// none.
int DrawnMunicipality(Draw draw) {
  const NationalTowns& t = Towns();
  int chosen = -1;
  for (std::size_t m = 0; m < t.townsOf.size(); ++m) {
    if (t.rowsOf[m].empty()) continue;
    const bool better =
        chosen < 0 ||
        (draw == Draw::kLargest ? t.townsOf[m] > t.townsOf[static_cast<std::size_t>(chosen)]
                                : t.townsOf[m] < t.townsOf[static_cast<std::size_t>(chosen)]);
    if (better) chosen = static_cast<int>(m);
  }
  return chosen;
}

// count addresses of the national set drawn as asked (CP932), the same at
// every run; empty without the national description.
std::vector<std::string> DrawnNationalAddresses(Draw draw, bool withPrefecture, std::size_t count) {
  const NationalTowns& t = Towns();
  const int m = draw == Draw::kBySize ? -1 : DrawnMunicipality(draw);
  const std::vector<std::size_t>& from = m < 0 ? t.rows : t.rowsOf[static_cast<std::size_t>(m)];
  if ((draw != Draw::kBySize && m < 0) || from.empty()) return {};
  std::vector<std::size_t> rows;
  std::mt19937_64 random(61);
  for (std::size_t n = 0; n < count; ++n) rows.push_back(from[random() % from.size()]);
  return sampledata::NationalAddressesOfRows(NationalDescription(), rows, withPrefecture, 61);
}

// The towns of the municipality a draw of one municipality takes its rows
// from.
double TownsOfDraw(Draw draw) {
  const int m = DrawnMunicipality(draw);
  return m < 0 ? 0 : static_cast<double>(Towns().townsOf[static_cast<std::size_t>(m)]);
}

// A list of the national set (CP932, one address a line), read once.
const std::vector<std::string>& NationalList(const char* file) {
  static std::map<std::string, std::vector<std::string>> lists;
  auto [it, added] = lists.try_emplace(file);
  if (added) {
    std::ifstream in(ScaleRoot(kNational) + "/" + file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) it->second.push_back(line);
    }
  }
  return it->second;
}

const std::vector<std::string>& Corpus() { return bench::SampleCorpus(); }

// The addresses in turn, one per iteration, each in the next of the
// folders, after a first pass over the first warmUp of them (what is read
// once per folder is then in place).
void MatchInTurn(benchmark::State& state, const std::vector<std::string>& folders,
                 const std::vector<std::string>& addresses, std::size_t warmUp) {
  for (std::size_t i = 0; i < addresses.size() && i < warmUp; ++i)
    MatchOne(addresses[i].c_str(), folders[i % folders.size()], "VRG_EXTEND");
  std::size_t next = 0;
  int64_t matched = 0;
  const uint64_t callsBefore = plat::SystemCallCount();
  for (auto _ : state) {
    matched += MatchOne(addresses[next].c_str(), folders[next % folders.size()], "VRG_EXTEND");
    if (++next == addresses.size()) next = 0;
  }
  const double n = static_cast<double>(state.iterations());
  state.SetItemsProcessed(state.iterations());
  state.counters["syscalls/address"] =
      static_cast<double>(plat::SystemCallCount() - callsBefore) / n;
  state.counters["matched"] = static_cast<double>(matched) / n;
}

void MatchInTurn(benchmark::State& state, const std::string& folder,
                 const std::vector<std::string>& addresses, std::size_t warmUp) {
  MatchInTurn(state, std::vector<std::string>{folder}, addresses, warmUp);
}

void BM_MatchCorpus(benchmark::State& state) {
  const auto& corpus = Corpus();
  if (corpus.empty()) {
    state.SkipWithError("no corpus");
    return;
  }
  MatchInTurn(state, DataFolder(static_cast<int>(state.range(0))), corpus, corpus.size());
  state.counters["corpus"] = static_cast<double>(corpus.size());
}
BENCHMARK(BM_MatchCorpus)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);

// The addresses of one list of the national set, in turn (a whole first
// pass would take seconds without the prefecture).
void BM_MatchNational(benchmark::State& state, const char* file) {
  const auto& list = NationalList(file);
  if (list.empty()) {
    state.SkipWithError(
        "no national data: build the target match_bench_national (or national_data)");
    return;
  }
  MatchInTurn(state, DataFolder(kNational), list, 20);
}
BENCHMARK_CAPTURE(BM_MatchNational, with_prefecture, sampledata::kAddressesWithPrefectureFile)
    ->MinTime(2.0)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MatchNational, without_prefecture, sampledata::kAddressesWithoutPrefectureFile)
    ->MinTime(2.0)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MatchNational, not_in_data, sampledata::kAddressesNotInDataFile)
    ->MinTime(2.0)
    ->Unit(benchmark::kMicrosecond);

// The national set's data folder under n names of its own (CP932 paths):
// national/folders/f0 .. fn-1, symbolic links made here to its folder.
std::vector<std::string> NationalFolders(int n) {
  const std::string root = ScaleRoot(kNational) + "/folders";
  const std::string target =
      ScaleRoot(kNational) + "/Database/" + reinterpret_cast<const char*>(u8"住所");
  std::vector<std::string> folders;
  std::error_code ec;
  std::filesystem::create_directories(root, ec);
  for (int k = 0; k < n; ++k) {
    const std::string link = root + "/f" + std::to_string(k);
    if (!std::filesystem::exists(std::filesystem::symlink_status(link, ec)))
      std::filesystem::create_directory_symlink(target, link, ec);
    if (!std::filesystem::is_directory(link, ec)) return {};
    folders.push_back(link);
  }
  return folders;
}

// Addresses drawn by municipality size, with the prefecture, matched in N
// folders in turn (the same set under N names), after a first pass.
void BM_MatchNationalFolders(benchmark::State& state) {
  const auto& list = NationalList(sampledata::kAddressesWithPrefectureFile);
  static const std::vector<std::string> addresses =
      DrawnNationalAddresses(Draw::kBySize, true, 4096);
  const std::vector<std::string> folders = NationalFolders(static_cast<int>(state.range(0)));
  if (list.empty() || addresses.empty() || folders.empty()) {
    state.SkipWithError(
        "no national data: build the target match_bench_national (or national_data)");
    return;
  }
  // One pass first: what a folder reads once (its blocks, its name tables)
  // is then in place for each, as in a process that has worked in them a
  // while.
  MatchInTurn(state, folders, addresses, addresses.size());
  state.counters["images"] = static_cast<double>(CachedFileCount());
}
BENCHMARK(BM_MatchNationalFolders)->Arg(1)->Arg(8)->MinTime(2.0)->Unit(benchmark::kMicrosecond);

// One child process run to its end.
struct ChildRun {
  double wallMs = -1;
  double cpuMs = -1;
  double minorFaults = -1;
  double instructions = -1;  // -1 where the kernel does not count them for us
};

double NowMs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// A counter of the user-space instructions of the process, enabled when it
// calls exec; -1 when not permitted (perf_event_paranoid, no PMU in a VM).
int InstructionCounter(pid_t pid) {
  perf_event_attr attr{};
  attr.size = sizeof attr;
  attr.type = PERF_TYPE_HARDWARE;
  attr.config = PERF_COUNT_HW_INSTRUCTIONS;
  attr.disabled = 1;
  attr.enable_on_exec = 1;
  attr.exclude_kernel = 1;
  attr.exclude_hv = 1;
  return static_cast<int>(syscall(SYS_perf_event_open, &attr, pid, -1, -1, PERF_FLAG_FD_CLOEXEC));
}

// Whether this process may count a child's instructions (probed once on
// itself).
bool InstructionsCounted() {
  static const bool counted = [] {
    const int fd = InstructionCounter(0);
    if (fd < 0) return false;
    close(fd);
    return true;
  }();
  return counted;
}

// The child's end: wall time since start, its CPU time and page faults.
bool Reap(pid_t pid, double start, ChildRun* run) {
  int status = 0;
  struct rusage usage {};
  const bool reaped = wait4(pid, &status, 0, &usage) == pid;
  const double end = NowMs();
  if (!reaped || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
  run->wallMs = end - start;
  run->cpuMs = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
               static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
  run->minorFaults = static_cast<double>(usage.ru_minflt);
  return true;
}

// Runs the program with its output thrown away. Where instructions can be
// counted, the forked child waits on a pipe until its counter is attached,
// so that the count starts at its exec; elsewhere posix_spawn starts it
// without copying this process's page tables.
ChildRun RunChild(const std::vector<std::string>& args) {
  ChildRun run;
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  if (!InstructionsCounted()) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const double start = NowMs();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0 || !Reap(pid, start, &run)) return ChildRun{};
    return run;
  }
  int gate[2];
  if (pipe2(gate, O_CLOEXEC) != 0) return run;
  const double start = NowMs();
  const pid_t pid = fork();
  if (pid < 0) {
    close(gate[0]);
    close(gate[1]);
    return run;
  }
  if (pid == 0) {
    close(gate[1]);
    char go = 0;
    if (read(gate[0], &go, 1) != 1) _exit(126);
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, 1);
      dup2(null, 2);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(gate[0]);
  const int counter = InstructionCounter(pid);
  const bool released = write(gate[1], "x", 1) == 1;
  close(gate[1]);
  const bool ended = Reap(pid, start, &run);
  uint64_t count = 0;
  if (counter >= 0) {
    if (read(counter, &count, sizeof count) == static_cast<ssize_t>(sizeof count))
      run.instructions = static_cast<double>(count);
    close(counter);
  }
  return released && ended ? run : ChildRun{};
}

// The folder a set's job files are written to: a folder of their own, so
// that the program's folder, which the jobs write their results to and
// look at for their settings file, holds the same files whatever
// benchmarks ran before (each job lists it afresh, having just written to
// it: a folder of hundreds of other benchmarks' job files would cost every
// job there).
// Made when missing.
std::string JobFolder(int scale) {
  const std::string folder = ScaleRoot(scale) + "/bench-jobs";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return folder;
}

// A job file of kind 3000 (CP932, CR LF) for the (CP932) address.
std::string WriteJob(const std::string& folder, const std::string& name,
                     const std::string& address) {
  const std::string path = folder + "/" + name;
  std::ofstream out(path, std::ios::binary);
  for (const std::string& line :
       {std::string("3000"), address, std::string("0"), std::string("1"), std::string("0"),
        std::string("1"), std::string("1"), std::string("1"), std::string("1"), std::string("1"),
        std::string("1"), std::string("8"), std::string("x")})
    out << line << "\r\n";
  return path;
}

// A copy of kort beside the set's Database folder (kort reads the data
// beside its own file, which a symbolic link would not change).
std::string KortFor(int scale) {
  const std::string kort = BuildDir() + "/kort";
  if (scale == 1) return kort;
  const std::string copy = ScaleRoot(scale) + "/kort";
  std::error_code ec;
  std::filesystem::copy_file(kort, copy, std::filesystem::copy_options::update_existing, ec);
  return copy;
}

double Median(std::vector<double> values) {
  if (values.empty()) return -1;
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

// The job files of the addresses in the set's folder, named prefix0.txt,
// prefix1.txt, ...
std::vector<std::string> WriteJobs(int scale, const std::string& prefix,
                                   const std::vector<std::string>& addresses) {
  const std::string folder = JobFolder(scale);
  std::vector<std::string> jobs;
  for (std::size_t i = 0; i < addresses.size(); ++i)
    jobs.push_back(WriteJob(folder, prefix + std::to_string(i) + ".txt", addresses[i]));
  return jobs;
}

constexpr const char* kNoNationalData =
    "no national data: build the target match_bench_national (or national_data)";

// Jobs on the addresses in turn, each followed by one empty process.
void KortJob(benchmark::State& state, int scale, const std::vector<std::string>& addresses) {
  if (addresses.empty()) {
    state.SkipWithError(kNoNationalData);
    return;
  }
  const std::string root = ScaleRoot(scale);
  const std::string kort = KortFor(scale);
  const std::vector<std::string> jobs = WriteJobs(scale, "bench-job", addresses);
  const std::string result = root + "/bench-result.txt";
  const std::string status = root + "/bench-status.txt";
  const std::string empty = KORT_BENCH_EMPTY_PROCESS;
  std::vector<double> jobWall, emptyWall, jobFaults, emptyFaults, jobInstructions,
      emptyInstructions, jobCpu, emptyCpu;
  std::size_t next = 0;
  for (auto _ : state) {
    const ChildRun job = RunChild({kort, jobs[next], result, status});
    const ChildRun base = RunChild({empty});
    if (job.wallMs < 0 || base.wallMs < 0) {
      state.SkipWithError("a child did not run to a clean exit");
      return;
    }
    state.SetIterationTime(job.wallMs / 1e3);
    jobWall.push_back(job.wallMs);
    emptyWall.push_back(base.wallMs);
    jobCpu.push_back(job.cpuMs);
    emptyCpu.push_back(base.cpuMs);
    jobFaults.push_back(job.minorFaults);
    emptyFaults.push_back(base.minorFaults);
    if (job.instructions >= 0 && base.instructions >= 0) {
      jobInstructions.push_back(job.instructions);
      emptyInstructions.push_back(base.instructions);
    }
    if (++next == jobs.size()) next = 0;
  }
  std::ifstream in(result, std::ios::binary);
  std::string line;
  if (!std::getline(in, line) || line.empty()) state.SkipWithError("the job wrote no result");
  const double job = Median(jobWall);
  const double base = Median(emptyWall);
  state.counters["job_wall_ms"] = job;
  state.counters["empty_wall_ms"] = base;
  state.counters["job/empty"] = base > 0 ? job / base : 0;
  state.counters["job_cpu_ms"] = Median(jobCpu);
  state.counters["empty_cpu_ms"] = Median(emptyCpu);
  state.counters["job_minflt"] = Median(jobFaults);
  state.counters["empty_minflt"] = Median(emptyFaults);
  if (!jobInstructions.empty()) {
    state.counters["job_instructions"] = Median(jobInstructions);
    state.counters["empty_instructions"] = Median(emptyInstructions);
  } else {
    state.SetLabel("no instruction counter here");
  }
}

// The national jobs rotate over addresses drawn by municipality size; the
// other sets take one address of the sample.
constexpr std::size_t kNationalJobs = 64;

std::vector<std::string> JobAddresses(int scale, const char* sampleAddress, bool withPrefecture) {
  if (scale != kNational) return {sampleAddress};
  if (NationalList(sampledata::kAddressesWithPrefectureFile).empty()) return {};
  return DrawnNationalAddresses(Draw::kBySize, withPrefecture, kNationalJobs);
}

void BM_KortJobWithPrefecture(benchmark::State& state, int scale) {
  KortJob(state, scale, JobAddresses(scale, "東京都千代田区丸の内一丁目", true));
}
void BM_KortJobWithoutPrefecture(benchmark::State& state, int scale) {
  KortJob(state, scale, JobAddresses(scale, "千代田区丸の内一丁目", false));
}
// Jobs with the prefecture for towns of one municipality of the national
// set: the one with the most towns, or the first of the fewest (one where
// the set has a municipality of one town).
void BM_KortJobMunicipality(benchmark::State& state, Draw draw) {
  const bool data = !NationalList(sampledata::kAddressesWithPrefectureFile).empty();
  KortJob(state, kNational,
          data ? DrawnNationalAddresses(draw, true, kNationalJobs) : std::vector<std::string>{});
  state.counters["towns"] = TownsOfDraw(draw);
}
void BM_KortJobLargestMunicipality(benchmark::State& state, int) {
  BM_KortJobMunicipality(state, Draw::kLargest);
}
void BM_KortJobSmallestMunicipality(benchmark::State& state, int) {
  BM_KortJobMunicipality(state, Draw::kSmallest);
}
// The medians of two kinds of job run in turn: wall times and, where
// counted, instructions; a ratio of the first kind to the second.
struct PairedJobs {
  std::vector<double> wall[2];
  std::vector<double> instructions[2];
  bool Add(const ChildRun& a, const ChildRun& b) {
    if (a.wallMs < 0 || b.wallMs < 0) return false;
    wall[0].push_back(a.wallMs);
    wall[1].push_back(b.wallMs);
    if (a.instructions >= 0 && b.instructions >= 0) {
      instructions[0].push_back(a.instructions);
      instructions[1].push_back(b.instructions);
    }
    return true;
  }
  void Report(benchmark::State& state, const std::string& a, const std::string& b) const {
    const double wallA = Median(wall[0]);
    const double wallB = Median(wall[1]);
    state.counters[a + "_wall_ms"] = wallA;
    state.counters[b + "_wall_ms"] = wallB;
    state.counters[a + "_" + b + "_wall"] = wallB > 0 ? wallA / wallB : 0;
    if (instructions[0].empty()) {
      state.SetLabel("no instruction counter here");
      return;
    }
    const double countA = Median(instructions[0]);
    const double countB = Median(instructions[1]);
    state.counters[a + "_instructions"] = countA;
    state.counters[b + "_instructions"] = countB;
    state.counters[a + "_" + b + "_instructions"] = countB > 0 ? countA / countB : 0;
  }
};

// The job files of count national addresses drawn as asked, with the
// prefecture; none without the national set.
std::vector<std::string> NationalJobs(const std::string& prefix, Draw draw, std::size_t count) {
  if (NationalList(sampledata::kAddressesWithPrefectureFile).empty()) return {};
  return WriteJobs(kNational, prefix, DrawnNationalAddresses(draw, true, count));
}

// kort of the national set, run on a job file with its answers thrown away.
struct NationalKort {
  std::string kort = KortFor(kNational);
  std::string result = ScaleRoot(kNational) + "/bench-result.txt";
  std::string status = ScaleRoot(kNational) + "/bench-status.txt";
  ChildRun Run(const std::string& job) const { return RunChild({kort, job, result, status}); }
};

// Jobs for towns of the largest municipality and of a one-town one, in
// turn, after a first pass over both (warm).
void BM_KortJobLargestAgainstOneTown(benchmark::State& state, int) {
  const std::vector<std::string> largest =
      NationalJobs("bench-largest", Draw::kLargest, kNationalJobs);
  const std::vector<std::string> oneTown =
      NationalJobs("bench-one-town", Draw::kSmallest, kNationalJobs);
  if (largest.empty() || oneTown.empty()) {
    state.SkipWithError(kNoNationalData);
    return;
  }
  const NationalKort kort;
  for (std::size_t i = 0; i < largest.size(); ++i) {
    kort.Run(largest[i]);
    kort.Run(oneTown[i % oneTown.size()]);
  }
  PairedJobs runs;
  std::size_t next = 0;
  for (auto _ : state) {
    const ChildRun a = kort.Run(largest[next % largest.size()]);
    const ChildRun b = kort.Run(oneTown[next % oneTown.size()]);
    if (!runs.Add(a, b)) {
      state.SkipWithError("a child did not run to a clean exit");
      return;
    }
    state.SetIterationTime(a.wallMs / 1e3);
    ++next;
  }
  runs.Report(state, "largest", "one_town");
  state.counters["largest_towns"] = TownsOfDraw(Draw::kLargest);
  state.counters["one_town_towns"] = TownsOfDraw(Draw::kSmallest);
}
BENCHMARK_CAPTURE(BM_KortJobLargestAgainstOneTown, national, kNational)
    ->Iterations(64)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// XDG_CACHE_HOME set to a folder while it lives, then as it was.
class CacheHomeScope {
 public:
  explicit CacheHomeScope(const std::string& folder) {
    const char* old = std::getenv("XDG_CACHE_HOME");
    had_ = old != nullptr;
    if (had_) saved_ = old;
    setenv("XDG_CACHE_HOME", folder.c_str(), 1);
  }
  ~CacheHomeScope() {
    if (had_)
      setenv("XDG_CACHE_HOME", saved_.c_str(), 1);
    else
      unsetenv("XDG_CACHE_HOME");
  }
  CacheHomeScope(const CacheHomeScope&) = delete;
  CacheHomeScope& operator=(const CacheHomeScope&) = delete;

 private:
  bool had_ = false;
  std::string saved_;
};

// A folder of the owner alone, emptied first (the cache folder is used
// only when others cannot write to it).
bool FreshPrivateFolder(const std::string& folder) {
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  std::filesystem::create_directories(folder, ec);
  std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::replace, ec);
  return !ec && std::filesystem::is_directory(folder, ec);
}

// The first job in the largest municipality against the same job again.
// Every iteration starts from a cache folder that has seen jobs in a
// one-town municipality only (what does not depend on the municipality,
// such as the dictionaries and the prefecture look-up, is kept there),
// runs a job for the next town of the largest municipality, then the same
// job again. The folder is made afresh by those jobs each time, not
// copied: a copy of a store has a lock file other than the one it was
// made with, and is taken for a damaged store (read from nothing,
// replaced by the first job that writes).
void BM_KortJobFirstInMunicipality(benchmark::State& state, int) {
  const std::vector<std::string> largest =
      NationalJobs("bench-first", Draw::kLargest, kNationalJobs);
  const std::vector<std::string> oneTown = NationalJobs("bench-elsewhere", Draw::kSmallest, 1);
  if (largest.empty() || oneTown.empty()) {
    state.SkipWithError(kNoNationalData);
    return;
  }
  const NationalKort kort;
  const std::string caches = ScaleRoot(kNational) + "/bench-caches";
  const std::string used = caches + "/used";
  PairedJobs runs;
  std::size_t next = 0;
  const CacheHomeScope scope(used);
  for (auto _ : state) {
    state.PauseTiming();
    const bool fresh = FreshPrivateFolder(used);
    if (fresh) {
      // Twice: what the first job could not keep yet, the second keeps.
      for (int k = 0; k < 2; ++k) kort.Run(oneTown[0]);
    }
    state.ResumeTiming();
    if (!fresh) {
      state.SkipWithError("cannot make a cache folder");
      return;
    }
    const std::string& job = largest[next++ % largest.size()];
    const ChildRun first = kort.Run(job);
    const ChildRun warm = kort.Run(job);
    if (!runs.Add(first, warm)) {
      state.SkipWithError("a child did not run to a clean exit");
      return;
    }
    state.SetIterationTime(first.wallMs / 1e3);
  }
  std::error_code ec;
  std::filesystem::remove_all(caches, ec);
  runs.Report(state, "first", "warm");
  state.counters["towns"] = TownsOfDraw(Draw::kLargest);
}
BENCHMARK_CAPTURE(BM_KortJobFirstInMunicipality, national, kNational)
    ->Iterations(32)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The size of the store file in a cache folder, in MiB; -1 without one.
double StoreMb(const std::string& cache) {
  std::error_code ec;
  const auto bytes = std::filesystem::file_size(cache + "/kort/store.mdb", ec);
  return ec ? -1 : static_cast<double>(bytes) / (1 << 20);
}

// One job with the prefecture in each municipality of the national set
// that has towns (for its first aza/chome row; a large city's wards hold
// its towns, the city none), in an order shuffled from a fixed seed, so
// that any stretch of jobs draws on all prefectures alike.
std::vector<std::string> EachMunicipalityAddresses() {
  const NationalTowns& t = Towns();
  std::vector<std::size_t> rows;
  for (const std::vector<std::size_t>& of : t.rowsOf)
    if (!of.empty()) rows.push_back(of.front());
  std::mt19937_64 random(67);
  for (std::size_t i = rows.size(); i > 1; --i) std::swap(rows[i - 1], rows[random() % i]);
  return sampledata::NationalAddressesOfRows(NationalDescription(), rows, true, 61);
}

// The jobs of one municipality after another from an empty cache folder:
// each meets a municipality no job met before and adds its name tables to
// the store. The median wall time of the last 200 jobs against that of
// jobs 201 to 400 (last_middle_wall): time per job must not grow with the
// store.
void BM_KortJobEachMunicipality(benchmark::State& state, int) {
  constexpr std::size_t kWindow = 200;
  const std::vector<std::string> addresses =
      NationalList(sampledata::kAddressesWithPrefectureFile).empty() ? std::vector<std::string>{}
                                                                     : EachMunicipalityAddresses();
  if (addresses.size() < 3 * kWindow) {
    state.SkipWithError(kNoNationalData);
    return;
  }
  const NationalKort kort;
  const std::string cache = ScaleRoot(kNational) + "/bench-caches/each";
  std::vector<double> wall, cpu;
  int succeeded = 0;
  double storeMiddle = -1;
  for (auto _ : state) {
    state.PauseTiming();
    const bool fresh = FreshPrivateFolder(cache);
    state.ResumeTiming();
    if (!fresh) {
      state.SkipWithError("cannot make a cache folder");
      return;
    }
    const CacheHomeScope scope(cache);
    wall.clear();
    cpu.clear();
    double total = 0;
    const std::string jobs = JobFolder(kNational);
    for (const std::string& address : addresses) {
      // One job file rewritten in place (not thousands of them).
      const ChildRun run = kort.Run(WriteJob(jobs, "bench-each.txt", address));
      if (run.wallMs < 0) {
        state.SkipWithError("a child did not run to a clean exit");
        return;
      }
      wall.push_back(run.wallMs);
      cpu.push_back(run.cpuMs);
      total += run.wallMs;
      std::ifstream status(kort.status, std::ios::binary);
      std::string code;
      if (std::getline(status, code) && code.rfind("1", 0) == 0) ++succeeded;
      if (wall.size() == 2 * kWindow) storeMiddle = StoreMb(cache);
    }
    state.SetIterationTime(total / 1e3);
  }
  const double storeLast = StoreMb(cache);
  std::error_code ec;
  std::filesystem::remove_all(cache, ec);
  const auto span = [&](const std::vector<double>& of, std::size_t from, std::size_t to) {
    return Median(std::vector<double>(of.begin() + static_cast<std::ptrdiff_t>(from),
                                      of.begin() + static_cast<std::ptrdiff_t>(to)));
  };
  const double middle = span(wall, kWindow, 2 * kWindow);
  const double last = span(wall, wall.size() - kWindow, wall.size());
  const double middleCpu = span(cpu, kWindow, 2 * kWindow);
  const double lastCpu = span(cpu, cpu.size() - kWindow, cpu.size());
  state.counters["municipalities"] = static_cast<double>(Towns().townsOf.size());
  state.counters["jobs"] = static_cast<double>(wall.size());
  state.counters["succeeded"] = succeeded;
  state.counters["first_wall_ms"] = wall.front();
  state.counters["middle_wall_ms"] = middle;
  state.counters["last_wall_ms"] = last;
  state.counters["last_middle_wall"] = middle > 0 ? last / middle : 0;
  state.counters["middle_cpu_ms"] = middleCpu;
  state.counters["last_cpu_ms"] = lastCpu;
  state.counters["last_middle_cpu"] = middleCpu > 0 ? lastCpu / middleCpu : 0;
  state.counters["store_mb_400"] = storeMiddle;
  state.counters["store_mb"] = storeLast;
}
BENCHMARK_CAPTURE(BM_KortJobEachMunicipality, national, kNational)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Two builds of kort, each in 32 folders of its own beside a Database that
// is a symbolic link to the set's (kort reads the data beside its own
// file: 64 data folders by name), and one more folder of the first build.
// A build is a copy of the program file, hard-linked into its folders: one
// file, so one stamp and one build key, in each of them. Made afresh.
struct FoldersByBuilds {
  std::vector<std::string> programs;  // f0/b0, f0/b1, f1/b0, ...
  std::string single;                 // one/kort, the first build
  bool Make(const std::string& root, const std::string& data) {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    std::filesystem::create_directories(root, ec);
    const std::string build[2] = {root + "/build-a", root + "/build-b"};
    for (const std::string& b : build)
      if (!std::filesystem::copy_file(BuildDir() + "/kort", b, ec)) return false;
    const auto home = [&](const std::string& folder, const std::string& program) {
      std::filesystem::create_directories(folder, ec);
      std::filesystem::create_hard_link(program, folder + "/kort", ec);
      if (!ec) std::filesystem::create_directory_symlink(data, folder + "/Database", ec);
      return ec ? std::string() : folder + "/kort";
    };
    for (int f = 0; f < 32; ++f)
      for (int b = 0; b < 2; ++b) {
        programs.push_back(
            home(root + "/f" + std::to_string(f) + "/b" + std::to_string(b), build[b]));
        if (programs.back().empty()) return false;
      }
    single = home(root + "/one", build[0]);
    // What is derived is kept only from files whose times lie 2 s in the
    // past: the programs' links and the new folders must be older first.
    sleep(3);
    return !single.empty();
  }
};

// Jobs in the 64 folder-build pairs in turn, each followed by the same job
// in the one folder of one build, after a first pass over all (warm): the
// medians of each and their ratio (folders_builds_one_wall).
void BM_KortJobFoldersByBuilds(benchmark::State& state, int scale) {
  const std::vector<std::string> addresses =
      JobAddresses(scale, "東京都千代田区丸の内一丁目", true);
  if (addresses.empty()) {
    state.SkipWithError(kNoNationalData);
    return;
  }
  const std::string root = ScaleRoot(scale);
  const std::string job = WriteJob(root, "bench-builds-job.txt", addresses.front());
  const std::string result = root + "/bench-result.txt";
  const std::string status = root + "/bench-status.txt";
  const std::string cache = root + "/bench-caches/builds";
  FoldersByBuilds homes;
  if (!homes.Make(root + "/bench-builds", root + "/Database") || !FreshPrivateFolder(cache)) {
    state.SkipWithError("cannot make the folders");
    return;
  }
  const CacheHomeScope scope(cache);
  const auto run = [&](const std::string& kort) { return RunChild({kort, job, result, status}); };
  for (const std::string& kort : homes.programs) run(kort);
  run(homes.single);
  PairedJobs runs;
  std::size_t next = 0;
  for (auto _ : state) {
    const ChildRun a = run(homes.programs[next++ % homes.programs.size()]);
    const ChildRun b = run(homes.single);
    if (!runs.Add(a, b)) {
      state.SkipWithError("a child did not run to a clean exit");
      return;
    }
    state.SetIterationTime(a.wallMs / 1e3);
  }
  std::ifstream in(result, std::ios::binary);
  std::string line;
  if (!std::getline(in, line) || line.empty()) state.SkipWithError("the job wrote no result");
  state.counters["store_mb"] = StoreMb(cache);
  std::error_code ec;
  std::filesystem::remove_all(root + "/bench-builds", ec);
  std::filesystem::remove_all(cache, ec);
  runs.Report(state, "folders_builds", "one");
  state.counters["pairs"] = static_cast<double>(homes.programs.size());
}
BENCHMARK_CAPTURE(BM_KortJobFoldersByBuilds, sample, 1)
    ->Iterations(128)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_KortJobFoldersByBuilds, national, kNational)
    ->Iterations(128)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The same with no cache folder to keep the prefecture names in ("/dev/null"
// cannot hold one): every job reads every prefecture's files.
void BM_KortJobWithoutPrefectureNoCache(benchmark::State& state, int scale) {
  const CacheHomeScope scope("/dev/null");
  BM_KortJobWithoutPrefecture(state, scale);
}
#define KORT_JOB_BENCHMARKS(name)              \
  BENCHMARK_CAPTURE(name, sample, 1)           \
      ->Iterations(60)                         \
      ->UseManualTime()                        \
      ->Unit(benchmark::kMillisecond);         \
  BENCHMARK_CAPTURE(name, scale10, 10)         \
      ->Iterations(60)                         \
      ->UseManualTime()                        \
      ->Unit(benchmark::kMillisecond);         \
  BENCHMARK_CAPTURE(name, scale100, 100)       \
      ->Iterations(60)                         \
      ->UseManualTime()                        \
      ->Unit(benchmark::kMillisecond);         \
  BENCHMARK_CAPTURE(name, national, kNational) \
      ->Iterations(64)                         \
      ->UseManualTime()                        \
      ->Unit(benchmark::kMillisecond)
KORT_JOB_BENCHMARKS(BM_KortJobWithPrefecture);
KORT_JOB_BENCHMARKS(BM_KortJobWithoutPrefecture);
BENCHMARK_CAPTURE(BM_KortJobWithoutPrefectureNoCache, sample, 1)
    ->Iterations(60)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_KortJobWithoutPrefectureNoCache, national, kNational)
    ->Iterations(64)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_KortJobLargestMunicipality, national, kNational)
    ->Iterations(64)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_KortJobSmallestMunicipality, national, kNational)
    ->Iterations(64)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void Match(benchmark::State& state, const char* address) {
  const std::string folder = DataFolder(1);
  for (auto _ : state) {
    const int ok = MatchOne(address, folder, "VRG_EXTEND");
    benchmark::DoNotOptimize(ok);
    if (!ok) state.SkipWithError("the match failed");
  }
}

// The prefecture is named: one data set is searched.
void BM_MatchWithPrefecture(benchmark::State& state) { Match(state, "東京都千代田区丸の内一丁目"); }
BENCHMARK(BM_MatchWithPrefecture);

// No prefecture: every prefecture with data is tried.
void BM_MatchWithoutPrefecture(benchmark::State& state) { Match(state, "千代田区丸の内一丁目"); }
BENCHMARK(BM_MatchWithoutPrefecture);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
