// The command-line host tvxroute of the build tree, run as a user would.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

// The nodes that show a fee, as "name fee first" (CP932), and the summary
// line of the host's output.
std::vector<std::string> PaidNodes(const std::string& out, std::string* summary) {
  std::vector<std::string> paid;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("summary ", 0) == 0) *summary = line;
    int fee = 0, first = 0;
    const std::size_t at = line.find(" fee ");
    const std::size_t name = line.find(" name ");
    if (line.rfind("node ", 0) != 0 || at == std::string::npos || name == std::string::npos ||
        std::sscanf(line.c_str() + at, " fee %d first %d", &fee, &first) != 2)
      continue;
    if (fee != 0 || first != 0)
      paid.push_back(line.substr(name + 6) + " " + std::to_string(fee) + " " +
                     std::to_string(first));
  }
  return paid;
}

// Round trips over 東京IC and 厚木IC that pass a toll point twice: each
// passage shows the fee paid there, and the node fees add up to the
// summary. Out through 東京IC free of charge and back out there for 1,470
// yen after 厚木IC; and out at 厚木IC for 720 yen, back to 東京IC (1,200)
// and through 厚木IC again without a new fee.
TEST(TvxRouteHost, ATollPointPassedTwiceShowsTheFeeOfEachPassage) {
  const std::string road = tvxtest::BuildDir() + "/Database/Road";
  struct Case {
    const char* points;
    const char* summary;
    std::vector<std::string> paid;
  };
  const Case cases[] = {
      {"139.500000,35.543056@2015-06-06T10:00 139.388611,35.433889 "
       "139.347000,35.427000@2015-06-06T14:00 139.388611,35.433889 --road 0 --class 8",
       "summary 2940 2940",
       {testutil::Sjis(u8"厚木IC 1470 1470"), testutil::Sjis(u8"東京IC 1470 1470")}},
      {"139.523889,35.563056@2015-06-03T10:00 139.346944,35.426944@2015-06-03T14:00 "
       "139.627222,35.620833 139.346944,35.426863 --road 1 --class 64",
       "summary 1920 1920",
       {testutil::Sjis(u8"厚木IC 720 720"), testutil::Sjis(u8"東京IC 1200 1200")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.points);
    std::string out, summary;
    EXPECT_EQ(hosttest::RunCommand(
                  "'" + tvxtest::BuildDir() + "/tvxroute' '" + road + "' " + c.points, &out),
              0);
    EXPECT_EQ(PaidNodes(out, &summary), c.paid) << out;
    EXPECT_EQ(summary, c.summary);
  }
}

// A toll of 0 and 0 with code 0 is what a route that pays nothing reads,
// and also one that starts or ends on the toll road, where its trip lacks
// an entrance or an exit; a host tells the two apart by the class of the
// first and last links (0: expressway).
TEST(TvxRouteHost, AZeroTollOfARouteThatStartsOrEndsOnTheTollRoadShowsInItsEndLinks) {
  const std::string road = tvxtest::BuildDir() + "/Database/Road";
  struct Case {
    const char* points;
    bool onTheTollRoad;
  };
  const Case cases[] = {
      {"139.6330,35.6240@2015-06-03T10:00 139.3937,35.4394 --road 2", true},  // 瀬田 to 海老名SA
      {"139.3937,35.4394@2015-06-03T10:00 139.3300,35.4450 --road 2", true},  // 海老名SA to 旭町西
      {"139.6330,35.6240@2015-06-03T10:00 139.3937,35.4394 --road 0", false},  // by the 国道246号
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.points);
    std::string out, summary;
    EXPECT_EQ(hosttest::RunCommand(
                  "'" + tvxtest::BuildDir() + "/tvxroute' '" + road + "' " + c.points, &out),
              0);
    EXPECT_TRUE(PaidNodes(out, &summary).empty()) << out;
    EXPECT_EQ(summary, "summary 0 0");
    std::vector<int> classes;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
      int index = 0, linkClass = 0;
      if (std::sscanf(line.c_str(), "link %d: class %d", &index, &linkClass) == 2)
        classes.push_back(linkClass);
    }
    ASSERT_FALSE(classes.empty()) << out;
    EXPECT_EQ(classes.front() == 0 || classes.back() == 0, c.onTheTollRoad) << out;
  }
}

}  // namespace
