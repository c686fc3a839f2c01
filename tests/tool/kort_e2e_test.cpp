// The built kort program, run on job files in a scratch folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/test_util.h"
#include "tool/job_test_util.h"

namespace {

using korttest::Job;
using korttest::Scramble;

class KortProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* build = std::getenv("KORT_BUILD_DIR");
    if (!build || !*build) GTEST_SKIP() << "KORT_BUILD_DIR is not set";
    program_ = std::string(build) + "/kort";
    // A folder whose name ends in the byte 0x5C in CP932.
    folder_ = dir_.Native(reinterpret_cast<const char*>(u8"表"));
    ASSERT_EQ(mkdir(folder_.c_str(), 0755), 0);
    job_ = folder_ + reinterpret_cast<const char*>(u8"/ジョブ.txt");
    result_ = folder_ + "/result.txt";
    status_ = folder_ + "/status.txt";
  }

  // Runs kort with the parameters; its exit status, and its output in out.
  int Run(const std::vector<std::string>& params, std::string* out) {
    const std::string outPath = dir_.Native("stdout.txt");
    const pid_t pid = fork();
    if (pid == 0) {
      const int fd = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(fd, 1);
      std::vector<char*> argv = {const_cast<char*>(program_.c_str())};
      for (const std::string& p : params) argv.push_back(const_cast<char*>(p.c_str()));
      argv.push_back(nullptr);
      execv(program_.c_str(), argv.data());
      _exit(127);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    *out = testutil::ReadBytes(outPath);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  testutil::TempDir dir_;
  std::string program_, folder_, job_, result_, status_;
};

TEST_F(KortProgram, ChecksNamesRemovesOldOutputsAndReportsUnreadableJobs) {
  ASSERT_TRUE(testutil::WriteBytes(job_, "7\r\n"));
  ASSERT_TRUE(testutil::WriteBytes(result_, "old"));
  ASSERT_TRUE(testutil::WriteBytes(status_, "old"));
  std::string out;
  for (const auto& params :
       {std::vector<std::string>{job_, result_}, std::vector<std::string>{job_, result_, ""}}) {
    EXPECT_EQ(Run(params, &out), 0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(testutil::ReadBytes(result_), "old");
    EXPECT_EQ(testutil::ReadBytes(status_), "old");
  }
  // Kind 7 with absolute paths: the old outputs go, nothing new appears.
  EXPECT_EQ(Run({job_, result_, status_}, &out), 0);
  EXPECT_FALSE(testutil::Exists(result_));
  EXPECT_FALSE(testutil::Exists(status_));
  // A missing line is reported in the status file.
  ASSERT_TRUE(testutil::WriteBytes(job_, Job({"2000", "1000005", "1", "1", "1", "1"})));
  Run({job_, result_, status_}, &out);
  EXPECT_EQ(testutil::ReadBytes(status_),
            "0\r\n0\r\n" + testutil::Sjis(u8"検索条件の読み込みに失敗しました！") + "\r\n");
  EXPECT_FALSE(testutil::Exists(result_));
}

TEST_F(KortProgram, ScrambledJobIsRewrittenAsPlainTextAndRun) {
  const std::string plain = Job({"2000", "12345678", "1", "1", "1", "1", "1", "8", "x"});
  ASSERT_TRUE(testutil::WriteBytes(job_, Scramble(plain, 3, 4, 5)));
  std::string out;
  Run({job_, result_, status_}, &out);
  EXPECT_EQ(testutil::ReadBytes(job_), plain);
  // The postal-code search finds nothing without data: a failure with its message.
  const std::string status = testutil::ReadBytes(status_);
  EXPECT_EQ(status.substr(0, 6), "0\r\n0\r\n");
  EXPECT_EQ(status.substr(status.size() - 2), "\r\n");
  EXPECT_GT(status.size(), 8u);
}

}  // namespace
