#include "tool/kort_app.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_util.h"

namespace {

using testutil::Sjis;

TEST(CVrgRouteCommandLineInfo, KeepsTheFirstThreeParametersAsGiven) {
  const char* argv[] = {"kort", "/tmp/job", "-r", "/s", "fourth"};
  CVrgRouteCommandLineInfo info;
  info.ParseCommandLine(5, argv);
  EXPECT_EQ(info.JobFile(), "/tmp/job");
  EXPECT_EQ(info.ResultFile(), "-r");
  EXPECT_EQ(info.StatusFile(), "/s");

  // UTF-8 becomes CP932 (表 ends in the byte 0x5C); other bytes are carried
  // (each after 0xFC), to come back as they were at the OS boundary.
  const std::string utf8 = reinterpret_cast<const char*>(u8"/tmp/表/ジョブ.txt");
  const char* named[] = {"kort", utf8.c_str(),
                         "\xFF\xFE"
                         "ab",
                         ""};
  CVrgRouteCommandLineInfo converted;
  converted.ParseCommandLine(4, named);
  EXPECT_EQ(converted.JobFile(), Sjis(u8"/tmp/表/ジョブ.txt"));
  EXPECT_EQ(converted.ResultFile(),
            "\xFC\xFF\xFC\xFE"
            "ab");
  EXPECT_EQ(converted.StatusFile(), "");
}

TEST(CkortApp, WithoutThreeNamesTouchesNothing) {
  testutil::TempDir dir;
  const std::string job = dir.Native("job.txt"), result = dir.Native("r.txt"),
                    status = dir.Native("s.txt");
  ASSERT_TRUE(testutil::WriteBytes(job, "7\r\n"));
  ASSERT_TRUE(testutil::WriteBytes(result, "old result"));
  ASSERT_TRUE(testutil::WriteBytes(status, "old status"));
  const std::vector<std::vector<const char*>> calls = {
      {"kort"},
      {"kort", job.c_str(), result.c_str()},
      {"kort", job.c_str(), result.c_str(), ""},
      {"kort", "", result.c_str(), status.c_str()},
  };
  for (const auto& argv : calls) {
    CkortApp app;
    EXPECT_FALSE(app.InitInstance(static_cast<int>(argv.size()), argv.data(), dir.path().c_str()));
    EXPECT_EQ(testutil::ReadBytes(result), "old result");
    EXPECT_EQ(testutil::ReadBytes(status), "old status");
  }
}

}  // namespace
