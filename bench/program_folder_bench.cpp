// The in-process harness run by a program whose own folder (where
// adrslib.ini is looked for at every call) is a folder of its own, beside
// 1,000 other files, as a host program installed among its logs: the sample
// corpus (tools/sampledata/corpus.h) matched in turn through
// MatchAddressesToBuffer on the sample data, one thread, warm.
//  - BM_ProgramFolderMatch/settled: nothing changes in the program's folder
//    (its last change lies more than 2 s back when the matching starts);
//  - BM_ProgramFolderMatch/changing: a new file appears in the program's
//    folder every 0.3 s (a thread of this benchmark writes them) while the
//    addresses are matched.
// Each iteration runs this benchmark's program again from that folder (a
// hard link to it there, or a copy) for about 3 s of matching after a warm
// pass over the corpus, and reports addresses per second (items_per_second,
// over the time spent matching; addresses/cpu_s over the matching thread's
// CPU time), the system calls per address the platform layer counted, and
// the files the folder gained meanwhile.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "common/message.h"
#include "matching/match_entries.h"
#include "plat/file_stamp.h"
#include "tools/sampledata/corpus.h"
#include "tools/sampledata/description.h"

extern char** environ;

namespace {

constexpr const char* kChildFlag = "--match-in-program-folder";
constexpr int kOtherFiles = 1000;
constexpr std::int64_t kNewFileEveryNs = 300000000;
constexpr double kMatchSeconds = 3.0;

using bench::BuildDir;

std::int64_t MonotonicNs() {
  struct timespec ts {};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The CPU time of the calling thread (user and system).
std::int64_t ThreadCpuNs() {
  struct timespec ts {};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The child: a warm pass over the corpus, then the corpus in turn for the
// given seconds, or for a given number of addresses (count > 0: the same
// addresses at every run, as an instruction count under callgrind wants);
// prints "addresses elapsed_ns system_calls matched cpu_ns".
int RunChild(double seconds, std::uint64_t count) {
  const std::vector<std::string>& corpus = bench::SampleCorpus();
  if (corpus.empty()) return 2;
  const std::string folder = bench::SampleDataFolder();
  for (const std::string& address : corpus) bench::MatchOne(address.c_str(), folder);
  const auto budget = static_cast<std::int64_t>(seconds * 1e9);
  std::uint64_t addresses = 0;
  std::uint64_t matched = 0;
  std::size_t next = 0;
  const std::uint64_t callsBefore = plat::SystemCallCount();
  const std::int64_t start = MonotonicNs();
  const std::int64_t cpuStart = ThreadCpuNs();
  std::int64_t elapsed = 0;
  while (count > 0 ? addresses < count : elapsed < budget) {
    for (int i = 0; i < 256; ++i) {
      matched += static_cast<std::uint64_t>(bench::MatchOne(corpus[next].c_str(), folder));
      if (++next == corpus.size()) next = 0;
    }
    addresses += 256;
    elapsed = MonotonicNs() - start;
  }
  const std::int64_t cpu = ThreadCpuNs() - cpuStart;
  const std::uint64_t calls = plat::SystemCallCount() - callsBefore;
  std::printf("%llu %lld %llu %llu %lld\n", static_cast<unsigned long long>(addresses),
              static_cast<long long>(elapsed), static_cast<unsigned long long>(calls),
              static_cast<unsigned long long>(matched), static_cast<long long>(cpu));
  return 0;
}

// A program folder of its own beside this benchmark's program: 1,000 other
// files and this program (a hard link, or a copy), removed at the end.
class ProgramFolder {
 public:
  ProgramFolder() {
    folder_ = BuildDir() + "/bench/program-folder-" + std::to_string(getpid());
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
    if (!std::filesystem::create_directory(folder_, ec)) return;
    for (int i = 0; i < kOtherFiles; ++i)
      if (!Write(i)) return;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return;
    program_ = folder_ + "/" + self.filename().string();
    if (::link(self.c_str(), program_.c_str()) != 0 &&
        !std::filesystem::copy_file(self, program_, ec))
      return;
    ok_ = true;
  }
  ~ProgramFolder() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  ProgramFolder(const ProgramFolder&) = delete;
  ProgramFolder& operator=(const ProgramFolder&) = delete;

  bool ok() const { return ok_; }
  const std::string& program() const { return program_; }

  // A log-like file of the host, numbered n.
  bool Write(int n) const {
    char name[64];
    std::snprintf(name, sizeof name, "/host-%05d.log", n);
    FILE* f = std::fopen((folder_ + name).c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "entry %d\n", n);
    return std::fclose(f) == 0;
  }

 private:
  std::string folder_;
  std::string program_;
  bool ok_ = false;
};

// Writes a new file into the folder every kNewFileEveryNs while it lives
// (looking every 10 ms whether to stop).
class Writer {
 public:
  Writer(const ProgramFolder& folder, int first)
      : thread_([this, &folder, first] {
          std::int64_t due = MonotonicNs() + kNewFileEveryNs;
          for (int n = first; !stop_.load();) {
            usleep(10000);
            if (MonotonicNs() < due) continue;
            due += kNewFileEveryNs;
            if (folder.Write(n++)) written_.fetch_add(1);
          }
        }) {}
  ~Writer() { Stop(); }
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;
  int Stop() {
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
    return written_.load();
  }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<int> written_{0};
  std::thread thread_;
};

struct ChildResult {
  std::uint64_t addresses = 0;
  std::int64_t elapsedNs = 0;
  std::int64_t cpuNs = 0;
  std::uint64_t calls = 0;
  std::uint64_t matched = 0;
};

// Runs the program of the folder as the child; false when it fails.
bool RunInFolder(const ProgramFolder& folder, ChildResult& out) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  const std::string seconds = std::to_string(kMatchSeconds);
  std::vector<char*> argv = {const_cast<char*>(folder.program().c_str()),
                             const_cast<char*>(kChildFlag), const_cast<char*>(seconds.c_str()),
                             nullptr};
  pid_t pid = -1;
  const int spawned =
      posix_spawn(&pid, folder.program().c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  std::string text;
  char buffer[256];
  for (ssize_t n; spawned == 0 && (n = read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
    if (n < 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  close(pipeFds[0]);
  if (spawned != 0) return false;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return false;
  unsigned long long addresses = 0, calls = 0, matched = 0;
  long long elapsed = 0, cpu = 0;
  if (std::sscanf(text.c_str(), "%llu %lld %llu %llu %lld", &addresses, &elapsed, &calls, &matched,
                  &cpu) != 5 ||
      addresses == 0 || elapsed <= 0 || cpu <= 0)
    return false;
  out = {addresses, elapsed, cpu, calls, matched};
  return true;
}

void BM_ProgramFolderMatch(benchmark::State& state, bool changing) {
  const ProgramFolder folder;
  if (!folder.ok()) {
    state.SkipWithError("the program folder could not be made");
    return;
  }
  // Settled: the folder's last change more than 2 s back.
  if (!changing) usleep(2200000);
  ChildResult total;
  int added = 0;
  int next = kOtherFiles;
  for (auto _ : state) {
    ChildResult one;
    bool ran;
    if (changing) {
      Writer writer(folder, next);
      ran = RunInFolder(folder, one);
      const int written = writer.Stop();
      added += written;
      next += written + 1;
    } else {
      ran = RunInFolder(folder, one);
    }
    if (!ran) {
      state.SkipWithError("the matching process failed");
      return;
    }
    state.SetIterationTime(static_cast<double>(one.elapsedNs) / 1e9);
    total.addresses += one.addresses;
    total.cpuNs += one.cpuNs;
    total.calls += one.calls;
    total.matched += one.matched;
  }
  const double n = static_cast<double>(total.addresses);
  state.SetItemsProcessed(static_cast<std::int64_t>(total.addresses));
  state.counters["syscalls/address"] = static_cast<double>(total.calls) / n;
  // Per second of the matching thread's CPU time: less moved by other
  // processes on a busy machine than the rate over wall time.
  state.counters["addresses/cpu_s"] = n / (static_cast<double>(total.cpuNs) / 1e9);
  state.counters["matched"] = static_cast<double>(total.matched) / n;
  state.counters["files_added"] = static_cast<double>(added);
}
BENCHMARK_CAPTURE(BM_ProgramFolderMatch, settled, false)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ProgramFolderMatch, changing, true)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

// The benchmarks, or (with kChildFlag) the matching of one iteration, run
// from the program folder: kChildFlag <seconds>, or kChildFlag <n>x for n
// addresses (rounded up to 256).
int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], kChildFlag) == 0) {
    const char* arg = argv[2];
    const std::size_t n = std::strlen(arg);
    if (n > 1 && arg[n - 1] == 'x') return RunChild(0, std::strtoull(arg, nullptr, 10));
    return RunChild(std::atof(arg), 0);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
