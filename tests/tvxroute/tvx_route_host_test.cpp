// The command-line host tvxroute of the build tree, run as a user would.

#include <gtest/gtest.h>

#include <string>

#include "gazref_host/host_runner.h"
#include "outside/kiwi.h"
#include "support/test_util.h"
#include "tvxroute/tvx_route_test_util.h"

namespace {

// A map file that the loader refuses at its second line: init fails, and
// the host prints the loader's message naming that line after the code.
TEST(TvxRouteHost, AFailedInitPrintsTheMapLoadersMessage) {
  tvxtest::DataFolder data;
  ASSERT_TRUE(testutil::WriteBytes(data.file("ALLDATA.KWI"), "KIWI 1\nTILE 1 x\n"));
  KiwiHandle map;
  ASSERT_FALSE(map.init(data.file("ALLDATA.KWI").c_str()));
  ASSERT_NE(map.lastError().find(testutil::Sjis(u8"2行目")), std::string::npos);

  std::string out;
  EXPECT_EQ(hosttest::RunCommand("'" + tvxtest::BuildDir() + "/tvxroute' '" + data.path() +
                                     "' 139.6,35.6@2015-06-03T10:00 139.5,35.5",
                                 &out),
            1);
  EXPECT_EQ(out, "init: 3\nmap: " + map.lastError() + "\n");
}

}  // namespace
