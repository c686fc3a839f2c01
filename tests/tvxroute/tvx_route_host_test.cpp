// The command-line host tvxroute of the build tree, run as a user would.

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "gazref_host/host_runner.h"
#include "outside/kiwi.h"
#include "support/test_util.h"
#include "tools/tollbuild/toll_description.h"
#include "tools/tollbuild/toll_writers.h"
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

// Toll data that lacks 横浜青葉IC's exit gate, which the road map's route
// leaves the 東名 through at a timed stop there: the toll engine cannot
// price the route. The host prints the route with "summary unknown" and
// the engine's code in place of the two summaries, and the toll nodes
// with fees -1.
TEST(TvxRouteHost, AnUnknownTollIsPrintedAsUnknown) {
  tvxtest::DataFolder data;
  std::ifstream in(KORT_SOURCE_DIR "/tools/tollbuild/data/sample_toll.txt");
  ASSERT_TRUE(in.good());
  std::string text, line;
  while (std::getline(in, line))
    if (line.rfind("facility 27 ", 0) != 0) text += line + "\n";
  tollbuild::FacilDat facil;
  tollbuild::TollDat toll;
  std::string error, facilImage, tollImage;
  ASSERT_TRUE(tollbuild::ParseTollDescription(text, 35, &facil, &toll, &error)) << error;
  ASSERT_TRUE(tollbuild::BuildFacilDat(facil, &facilImage, &error)) << error;
  ASSERT_TRUE(tollbuild::BuildTollDat(toll, &tollImage, &error)) << error;
  ASSERT_TRUE(testutil::WriteBytes(data.file("FACIL.DAT"), facilImage));
  ASSERT_TRUE(testutil::WriteBytes(data.file("TOLL.DAT"), tollImage));

  std::string out;
  EXPECT_EQ(hosttest::RunCommand("'" + tvxtest::BuildDir() + "/tvxroute' '" + data.path() +
                                     "' 139.6330,35.6240@2015-06-03T10:00 "
                                     "139.5240,35.5630@2015-06-03T12:00 139.3300,35.4450 --road 1",
                                 &out),
            0);
  EXPECT_EQ(out.rfind("error 0\nsummary unknown: the toll could not be computed (toll engine "
                      "code -60)\nlinks ",
                      0),
            0u)
      << out;
  EXPECT_NE(out.find(testutil::Sjis(u8"kind 5 break 0 fee -1 first -1 facility -1 flag 1 time "
                                    u8"2015-06-03 12:17 name 厚木IC")),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("summary 0 0"), std::string::npos);
}

}  // namespace
