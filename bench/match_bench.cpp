// Address matching through the public buffer entry, single thread, on the
// generated sample data and on the same data ten and a hundred times
// larger (gensample --scale, built into testdata/scaleN/):
//  - BM_MatchCorpus: a fixed corpus of addresses made from the sample
//    description (tools/sampledata/corpus.h), one address per iteration,
//    all repeatedly on one data folder; reports addresses per second and
//    the system calls per address counted by the platform layer;
//  - BM_KortJob: the whole-process cost of one kort job (fork, exec, match,
//    exit): CPU time of the child, and the same above an empty C++ process
//    (this program started with --empty-process);
//  - BM_MatchWithPrefecture / BM_MatchWithoutPrefecture: one address.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/message.h"
#include "matching/match_entries.h"
#include "plat/file_stamp.h"
#include "tools/sampledata/corpus.h"
#include "tools/sampledata/description.h"

namespace {

std::string BuildDir() { return KORT_BENCH_BUILD_DIR; }

// The folder that holds kort's Database/住所 for a scale (UTF-8 path).
std::string ScaleRoot(int scale) {
  return scale == 1 ? BuildDir() : BuildDir() + "/testdata/scale" + std::to_string(scale);
}

// The data folder as the entries take it (CP932: narrow literals are
// CP932, the build folder's path is ASCII).
std::string DataFolder(int scale) { return ScaleRoot(scale) + "/Database/住所"; }

const std::vector<std::string>& Corpus() {
  static const std::vector<std::string> corpus = [] {
    sampledata::Description d;
    char msg[kMessageSize] = "";
    if (!sampledata::LoadDescription(sampledata::DefaultDescriptionFolder().c_str(), &d, msg))
      return std::vector<std::string>{};
    return sampledata::MakeAddressCorpus(d);
  }();
  return corpus;
}

int MatchOne(const char* address, const std::string& folder, const char* dataset) {
  char buffer[4096];
  char message[kMessageSize];
  char text[512];
  std::snprintf(text, sizeof text, "%s", address);
  message[0] = '\0';
  return MatchAddressesToBuffer(buffer, sizeof buffer, text, 0, 1, folder.c_str(), message, 0, 1,
                                1, 1, 1, 1, 1, dataset);
}

void BM_MatchCorpus(benchmark::State& state) {
  const int scale = static_cast<int>(state.range(0));
  const std::string folder = DataFolder(scale);
  const auto& corpus = Corpus();
  if (corpus.empty()) {
    state.SkipWithError("no corpus");
    return;
  }
  // One pass first: what is read once per folder is then in place.
  for (const std::string& address : corpus) MatchOne(address.c_str(), folder, "VRG_EXTEND");
  std::size_t next = 0;
  int64_t matched = 0;
  const uint64_t callsBefore = plat::SystemCallCount();
  for (auto _ : state) {
    matched += MatchOne(corpus[next].c_str(), folder, "VRG_EXTEND");
    if (++next == corpus.size()) next = 0;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["addresses/s"] = benchmark::Counter(n, benchmark::Counter::kIsRate);
  state.counters["syscalls/address"] =
      static_cast<double>(plat::SystemCallCount() - callsBefore) / n;
  state.counters["matched"] = static_cast<double>(matched) / n;
  state.counters["corpus"] = static_cast<double>(corpus.size());
}
BENCHMARK(BM_MatchCorpus)->Arg(1)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);

// CPU time (user + system, ms) of one child process run to its end.
double ChildCpuMs(const std::vector<std::string>& args) {
  const pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, 1);
      dup2(null, 2);
    }
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) != pid) return -1;
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// A job file of kind 3000 (CP932, CR LF) for the (CP932) address.
std::string WriteJob(const std::string& folder, const char* address) {
  const std::string path = folder + "/bench-job.txt";
  std::ofstream out(path, std::ios::binary);
  for (const std::string& line : {std::string("3000"), std::string(address), std::string("0"), std::string("1"),
                                  std::string("0"), std::string("1"), std::string("1"),
                                  std::string("1"), std::string("1"), std::string("1"),
                                  std::string("1"), std::string("8"), std::string("x")})
    out << line << "\r\n";
  return path;
}

// A copy of kort beside the scale's Database folder (kort reads the data
// beside itself).
std::string KortFor(int scale) {
  const std::string kort = BuildDir() + "/kort";
  if (scale == 1) return kort;
  const std::string copy = ScaleRoot(scale) + "/kort";
  std::error_code ec;
  std::filesystem::copy_file(kort, copy, std::filesystem::copy_options::update_existing, ec);
  return copy;
}

void KortJob(benchmark::State& state, const char* address) {
  const int scale = static_cast<int>(state.range(0));
  const std::string root = ScaleRoot(scale);
  const std::string kort = KortFor(scale);
  const std::string jobFile = WriteJob(root, address);
  const std::string result = root + "/bench-result.txt";
  const std::string status = root + "/bench-status.txt";
  char self[4096] = {};
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) {
    state.SkipWithError("no program path");
    return;
  }
  double jobMs = 0;
  double emptyMs = 0;
  for (auto _ : state) {
    const double job = ChildCpuMs({kort, jobFile, result, status});
    const double empty = ChildCpuMs({self, "--empty-process"});
    if (job < 0 || empty < 0) {
      state.SkipWithError("a child did not run");
      return;
    }
    jobMs += job;
    emptyMs += empty;
  }
  std::ifstream in(result, std::ios::binary);
  std::string line;
  if (!std::getline(in, line) || line.empty()) state.SkipWithError("the job wrote no result");
  const double n = static_cast<double>(state.iterations());
  state.counters["job_cpu_ms"] = jobMs / n;
  state.counters["empty_cpu_ms"] = emptyMs / n;
  state.counters["above_empty_ms"] = (jobMs - emptyMs) / n;
}

void BM_KortJobWithPrefecture(benchmark::State& state) {
  KortJob(state, "東京都千代田区丸の内一丁目");
}
BENCHMARK(BM_KortJobWithPrefecture)->Arg(1)->Arg(10)->Arg(100)->Iterations(60)->Unit(benchmark::kMillisecond);

void BM_KortJobWithoutPrefecture(benchmark::State& state) {
  KortJob(state, "千代田区丸の内一丁目");
}
BENCHMARK(BM_KortJobWithoutPrefecture)->Arg(1)->Arg(10)->Arg(100)->Iterations(60)->Unit(benchmark::kMillisecond);

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
  // The empty process the job cost is measured against.
  if (argc == 2 && std::strcmp(argv[1], "--empty-process") == 0) return 0;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
