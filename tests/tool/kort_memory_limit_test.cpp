// The built kort program under address-space limits across the band where
// a job runs out of memory: every job that starts leaves its status (its
// answer or the memory message), never none and never an earlier run's.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/test_util.h"
#include "tool/job_test_util.h"
#include "tool/kort_program.h"

namespace {

using korttest::Job;
using korttest::KortProgram;
using testutil::Sjis;

// How a run under a limit ended.
struct Ending {
  bool exited = false;
  int code = -1;    // the exit code when it exited
  int signal = 0;   // the signal that ended it otherwise
  std::string err;  // what it wrote on stderr
};

class KortMemoryLimit : public KortProgram {
 protected:
  // Runs kort on the job with its address space limited to limitKiB,
  // set in the child before the program is started.
  Ending RunLimited(long limitKiB) {
    const std::string errPath = dir_.Native("stderr.txt");
    const pid_t pid = fork();
    if (pid == 0) {
      const int fd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(fd, 2);
      const rlim_t bytes = static_cast<rlim_t>(limitKiB) * 1024;
      struct rlimit limit = {bytes, bytes};
      if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
      const char* argv[] = {program_.c_str(), job_.c_str(), result_.c_str(), status_.c_str(),
                            nullptr};
      execv(program_.c_str(), const_cast<char* const*>(argv));
      _exit(127);  // the limit left no room for the program
    }
    int status = 0;
    Ending ending;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return ending;
    ending.exited = WIFEXITED(status);
    ending.code = ending.exited ? WEXITSTATUS(status) : -1;
    ending.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    ending.err = testutil::ReadBytes(errPath);
    return ending;
  }

  // The outputs of an earlier run, planted before each run.
  void PlantOldOutputs() {
    ASSERT_TRUE(testutil::WriteBytes(result_, "old result\r\n"));
    ASSERT_TRUE(testutil::WriteBytes(status_, kOldStatus));
  }
  // The job answered: a status of this run's that says success.
  bool Succeeded() {
    const std::string status = testutil::ReadBytes(status_);
    return status.substr(0, 3) == "1\r\n" && status != kOldStatus;
  }

  const std::string kOldStatus = "1\r\n0\r\n\r\n-- an earlier run --\r\n";
};


// For each job kind the lowest limit at which the job is answered is found
// (to 16 KiB), then the limits from 1 MiB below it to just above it are tried in
// steps of 16 KiB: from runs that cannot start or die in the C library's
// start-up (before kort's main, out of its reach: they leave the old
// outputs as they were) through jobs that run out (the memory message, no
// result file, exit code 0) to jobs answered. No run ends in terminate,
// with a signal or an exit code other than 0 once kort has started, and
// none leaves no status or the old one in place of its own.
TEST_F(KortMemoryLimit, EveryJobThatStartsLeavesItsAnswerOrTheMemoryMessage) {
  SKIP_UNDER_A_SANITIZER();
  const std::string memory = "0\r\n0\r\n" + Sjis(u8"作業用メモリの確保に失敗しました！") + "\r\n";
  const std::vector<std::string> jobs = {
      Job({"1", "2", Sjis(u8"丸の内"), "-1", "1", "1", "1", "1", "1", "1", "8", "x"}),
      Job({"1000", Sjis(u8"東京都 千代田区 丸の内"), "-1", "1", "1", "1", "8", "x"}),
      Job({"2000", "1000005", "1", "6", "1", "1", "1", "8", "x"}),
      Job({"3000", Sjis(u8"東京都千代田区丸の内一丁目１－３"), "0", "1", "0", "1", "1", "2", "1",
           "1", "1", "8", "x"}),
      Job({"4000", "35.679573333", "139.768209444", "1", "6", "1", "1", "1", "8", "x"})};
  for (const std::string& job : jobs) {
    const std::string kind = job.substr(0, job.find('\r'));
    ASSERT_TRUE(testutil::WriteBytes(job_, job));
    // The lowest limit that answers the job.
    long low = 1024, high = 256 * 1024;
    PlantOldOutputs();
    ASSERT_TRUE(RunLimited(high).exited);
    ASSERT_TRUE(Succeeded()) << "kind " << kind << ": " << testutil::ReadBytes(status_);
    while (high - low > 16) {
      const long middle = (low + high) / 2;
      PlantOldOutputs();
      RunLimited(middle);
      (Succeeded() ? high : low) = middle;
    }

    int startUp = 0, outOfMemory = 0, answered = 0;
    // A run's needs vary by a few pages with the layout of its address space.
    for (long limit = high - 1024; limit <= high + 64; limit += 16) {
      PlantOldOutputs();
      const Ending e = RunLimited(limit);
      const std::string status = testutil::ReadBytes(status_);
      const std::string where = "kind " + kind + " at " + std::to_string(limit) + " KiB";
      EXPECT_EQ(e.err.find("terminate"), std::string::npos) << where << ": " << e.err;
      if (!e.exited || e.code != 0) {
        // Not started, or ended in the start-up, before main ("Cannot
        // allocate TLS block", a signal): nothing touched, and only below
        // every limit at which kort started.
        EXPECT_EQ(status, kOldStatus) << where << ", signal " << e.signal << ": " << e.err;
        EXPECT_EQ(testutil::ReadBytes(result_), "old result\r\n") << where;
        EXPECT_EQ(outOfMemory + answered, 0) << where << ": ended at once above a start";
        ++startUp;
        continue;
      }
      ASSERT_TRUE(testutil::Exists(status_)) << where << ": no status";
      if (status == memory) {
        EXPECT_FALSE(testutil::Exists(result_)) << where;
        ++outOfMemory;
      } else {
        EXPECT_EQ(status.substr(0, 3), "1\r\n") << where << ": " << testutil::Show(status);
        EXPECT_NE(status, kOldStatus) << where;
        ++answered;
      }
    }
    // The sweep crossed the band.
    EXPECT_GT(outOfMemory, 4) << "kind " << kind;
    EXPECT_GT(answered, 0) << "kind " << kind;
    RecordProperty("kind" + kind, std::to_string(startUp) + " start-up, " +
                                      std::to_string(outOfMemory) + " out of memory, " +
                                      std::to_string(answered) + " answered, from " +
                                      std::to_string(high) + " KiB");
  }
}

}  // namespace
