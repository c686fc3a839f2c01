#pragma once
// Runs the built gazref_host ($KORT_BUILD_DIR/gazref_host) on a script and
// answers its output and exit status.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/test_util.h"

namespace hosttest {

// UTF-8 text (a u8"" literal) as a std::string: scripts and the host's
// output are UTF-8, while narrow literals of the tests are CP932.
inline std::string U8(std::u8string_view text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

inline std::string BuildDir() {
  const char* build = std::getenv("KORT_BUILD_DIR");
  return build ? build : "";
}

// The output of a shell command and its exit status.
inline int RunCommand(const std::string& command, std::string* out) {
  out->clear();
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return -1;
  char chunk[4096];
  std::size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof(chunk), pipe)) > 0) out->append(chunk, n);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (BuildDir().empty()) GTEST_SKIP() << "KORT_BUILD_DIR is not set";
  }

  // Runs the script (UTF-8 lines) in a fresh host process.
  int Run(const std::string& script, std::string* out) {
    const std::string path = dir_.Native("script.txt");
    EXPECT_TRUE(testutil::WriteBytes(path, script));
    return RunCommand("'" + BuildDir() + "/gazref_host' '" + path + "' 2>&1", out);
  }

  // The output of a script that must run without an error line.
  std::string RunOk(const std::string& script) {
    std::string out;
    EXPECT_EQ(Run(script, &out), 0) << out;
    return out;
  }

  testutil::TempDir dir_;
};

}  // namespace hosttest
