#pragma once
// The built kort program ($KORT_BUILD_DIR/kort), run on job files in a
// scratch folder whose name ends in the byte 0x5C in CP932.

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/test_util.h"

namespace korttest {

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
    return RunWithin(0, params, out);
  }

  // Runs kort as Run does, ended by SIGALRM after seconds unless 0 (a hang
  // then shows as -1).
  int RunWithin(unsigned seconds, const std::vector<std::string>& params, std::string* out) {
    const std::string outPath = dir_.Native("stdout.txt");
    const pid_t pid = fork();
    if (pid == 0) {
      const int fd = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(fd, 1);
      std::vector<char*> argv = {const_cast<char*>(program_.c_str())};
      for (const std::string& p : params) argv.push_back(const_cast<char*>(p.c_str()));
      argv.push_back(nullptr);
      if (seconds) alarm(seconds);  // kept across exec
      execv(program_.c_str(), argv.data());
      _exit(127);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    *out = testutil::ReadBytes(outPath);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // Runs a copy of kort in the scratch folder (or in the folder given, made
  // below it), with the generated data folder linked beside it (so that the
  // test's own adrslib.ini is read).
  void UseCopyBesideData(const std::string& folder = std::string()) {
    const std::string home = folder.empty() ? dir_.Native("") : folder + "/";
    if (!folder.empty()) {
      ASSERT_TRUE(MakeFolders(folder));
    }
    const std::string copy = home + "kort";
    ASSERT_TRUE(testutil::WriteBytes(copy, testutil::ReadBytes(program_)));
    ASSERT_EQ(chmod(copy.c_str(), 0755), 0);
    ASSERT_EQ(symlink((std::string(std::getenv("KORT_BUILD_DIR")) + "/Database").c_str(),
                      (home + "Database").c_str()),
              0);
    program_ = copy;
  }

  // Waits until the generated data folder and its files were last changed
  // more than 2 s ago: only then do jobs keep what they derive from them
  // (a build may have written them just before the tests start).
  static void WaitUntilDataSettled() {
    const std::string data = std::string(std::getenv("KORT_BUILD_DIR")) + "/Database";
    std::vector<std::string> paths = {data};
    for (std::size_t i = 0; i < paths.size(); ++i) {
      if (DIR* dir = opendir(paths[i].c_str())) {
        while (const dirent* e = readdir(dir)) {
          if (e->d_name[0] != '.') paths.push_back(paths[i] + "/" + e->d_name);
        }
        closedir(dir);
      }
    }
    struct timespec latest {};
    for (const std::string& path : paths) {
      struct stat st;
      if (stat(path.c_str(), &st) != 0) continue;
      for (const struct timespec& t : {st.st_mtim, st.st_ctim})
        if (t.tv_sec > latest.tv_sec || (t.tv_sec == latest.tv_sec && t.tv_nsec > latest.tv_nsec))
          latest = t;
    }
    for (;;) {
      struct timespec now;
      clock_gettime(CLOCK_REALTIME, &now);
      const double age = static_cast<double>(now.tv_sec - latest.tv_sec) +
                         static_cast<double>(now.tv_nsec - latest.tv_nsec) / 1e9;
      if (age > 2.2) return;
      usleep(static_cast<useconds_t>((2.3 - age) * 1e6));
    }
  }

  // mkdir -p.
  static bool MakeFolders(const std::string& path) {
    for (std::size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
      const std::string part = path.substr(0, at);
      if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
      if (at == std::string::npos) return true;
    }
  }

  testutil::TempDir dir_;
  std::string program_, folder_, job_, result_, status_;
};

}  // namespace korttest
