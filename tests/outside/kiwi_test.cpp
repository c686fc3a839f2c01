#include "outside/kiwi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plat/cp932.h"
#include "support/test_util.h"

namespace {

// Two tiles side by side (west: 1, east: 2, sharing the border x = 500000
// arc-seconds). Road 0 of tile 1 runs east to the border in two links
// (100, 101) and continues as road 0 of tile 2 (102, 103); road 1 of tile 1
// is a ferry (200) with a named crossing at its start.
// UTF-8 text, as the map file is.
constexpr char8_t kMap[] =
    u8"KIWI 1\n"
    "# comment\n"
    "TILE 1 499700 120000 300 800\r\n"
    "TILE 2 500000 120000 300 800\n"
    "ROAD 1 100\n"
    "LINK 3 0 10,10 20,15 147,20\n"
    "LINK 1 32 147,20 270,20 300,20\n"
    "NODE 0 GUIDE 桜田門\n"
    "NODE 2 BORDER 2 0:0 1:0\n"
    "ROAD 1 200\n"
    "LINK 0 0 5,5 6,6\n"
    "NODE 1 GUIDE 外\n"
    "ROAD 2 102\n"
    "LINK 1 32 0,20 100,30\n"
    "LINK 1 32 100,30 200,30\n"
    "NODE 0 BORDER 1 0:1\n"
    "ROAD 2 300\n"
    "LINK 2 0 0,20 0,100\n";

// Map text rejected with the reason.
struct Bad {
  const char* text;
  const char* why;
};

unsigned Be(const std::uint8_t* p, int n) {
  unsigned v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
  return v;
}

// Points of link `place` of the view's record, decoded from the segment
// layout: start point, inner points by deltas from the point before, end =
// next segment's start.
std::vector<std::pair<int, int>> LinkPoints(const KwRoad::Link& v, int place) {
  std::vector<std::pair<int, int>> pts;
  std::size_t at = 0;
  for (int k = 0; k <= v.segmentCount; ++k) {
    EXPECT_LE(at + 6, v.segmentBytes);
    const int n = static_cast<int>(Be(v.segments + at, 2) & 0x3FF);
    int x = static_cast<int>(Be(v.segments + at + 2, 2));
    int y = static_cast<int>(Be(v.segments + at + 4, 2));
    if (k == place + 1) {
      pts.emplace_back(x, y);
      break;
    }
    if (k == place) pts.emplace_back(x, y);
    at += 6;
    for (int i = 0; i < n; ++i, at += 2) {
      x += static_cast<std::int8_t>(v.segments[at]);
      y += static_cast<std::int8_t>(v.segments[at + 1]);
      if (k == place) pts.emplace_back(x, y);
    }
  }
  return pts;
}

class KiwiMap : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(
        testutil::WriteBytes(dir_.Native("ALLDATA.KWI"), reinterpret_cast<const char*>(kMap)));
    ASSERT_TRUE(handle_.init(dir_.Sys("ALLDATA.KWI").c_str()))
        << testutil::Show(handle_.lastError());
  }
  KwInnerPtr<KwRoad> RoadAt(int lonSec, int latSec) {
    auto map = handle_.getMap(Pelvo::P2, lonSec * 1024, latSec * 1024);
    return map ? map->getRoad() : KwInnerPtr<KwRoad>();
  }
  testutil::TempDir dir_;
  KiwiHandleForALLDATA handle_{0x1000000, true};
};

TEST_F(KiwiMap, TilesAreFoundByPointWithTheirRangeAndCoordinates) {
  auto west = handle_.getMap(Pelvo::P2, 499850 * 1024, 120400 * 1024);
  ASSERT_TRUE(west);
  EXPECT_EQ(west->tileNumber(), 1u);
  const KwRect r = west->getRange();
  EXPECT_EQ(r.x, 499700 * 1024);
  EXPECT_EQ(r.y, 120000 * 1024);
  EXPECT_EQ(r.width, 300 * 1024);
  EXPECT_EQ(r.height, 800 * 1024);
  const KwPoint p = west->xy2LL(147, 20);
  EXPECT_EQ(p.x, (499700 + 147) * 1024);
  EXPECT_EQ(p.y, (120000 + 20) * 1024);
  EXPECT_EQ(handle_.getMap(Pelvo::P2, 500150 * 1024, 120400 * 1024)->tileNumber(), 2u);
  // Outside every tile, or another level: none.
  EXPECT_FALSE(handle_.getMap(Pelvo::P2, 497000 * 1024, 120400 * 1024));
  EXPECT_FALSE(handle_.getMap(Pelvo::P2, 499850 * 1024, 119999 * 1024));
  EXPECT_FALSE(handle_.getMap(1, 499850 * 1024, 120400 * 1024));
}

TEST_F(KiwiMap, FindLinkGivesTheRecordBytesInTheDocumentedLayout) {
  auto road = RoadAt(499850, 120400);
  ASSERT_TRUE(road);
  KwRoad::Link v;
  ASSERT_TRUE(road->findLink(101, &v));
  EXPECT_EQ(v.firstLinkNo, 100u);
  EXPECT_EQ(v.place, 1);
  EXPECT_EQ(v.record, 0);
  EXPECT_EQ(v.segmentCount, 2);
  EXPECT_EQ(v.link[0], 1);               // road type
  EXPECT_EQ(v.link[v.attrIndex], 0x20);  // highway
  // Heads: links 0 and 1 (one inner point each), terminator.
  EXPECT_EQ(v.segmentBytes, 6u + 2u + 6u + 2u + 6u);
  EXPECT_EQ(LinkPoints(v, 0), (std::vector<std::pair<int, int>>{{10, 10}, {20, 15}, {147, 20}}));
  EXPECT_EQ(LinkPoints(v, 1), (std::vector<std::pair<int, int>>{{147, 20}, {270, 20}, {300, 20}}));
  // Three path nodes and the two chain nodes of the border crossing.
  EXPECT_EQ(v.nodeCount, 5);
  ASSERT_TRUE(road->findLink(100, &v));
  EXPECT_EQ(v.link[0], 3);
  EXPECT_EQ(v.link[v.attrIndex] & 0x20, 0);
  // Links of the other tile, or no tile, are not here.
  EXPECT_FALSE(road->findLink(102, &v));
  EXPECT_FALSE(road->findLink(99, &v));
  EXPECT_FALSE(road->findLink(202, &v));
  EXPECT_TRUE(road->findLink(200, &v));
  EXPECT_EQ(v.record, 1);
  EXPECT_EQ(v.link[0], 0);  // ferry route
}

TEST_F(KiwiMap, BorderNodeLeadsThroughItsChainToTheNeighbourRoads) {
  auto road = RoadAt(499850, 120400);
  KwRoad::Link v;
  ASSERT_TRUE(road->findLink(101, &v));
  const std::uint8_t* end = v.nodes + 2 * 8;  // node 2: end of link 101
  EXPECT_EQ(end[0] & 0x20, 0x20);
  EXPECT_EQ(Be(end + 1, 3), 2u);
  KwRoad::Node node{end};
  auto next = road->adjRoad(&handle_, &node);
  ASSERT_TRUE(next);
  EXPECT_EQ(next->tileNumber(), 2u);
  EXPECT_EQ(next->getRange().x, 500000 * 1024);
  // Walk the chain: candidates in the order given, then the end word.
  std::vector<std::uint32_t> reached;
  std::uint32_t word = Be(end + 4, 4);
  for (int guard = 0; guard < v.nodeCount; ++guard) {
    if ((word >> 24 & 1) && (word & 0xFFFFFF) == 0xFFFFFF) break;
    KwRoad::Link there;
    ASSERT_TRUE(next->getLink(static_cast<int>(word >> 21 & 0xF),
                              static_cast<int>(word >> 9 & 0xFFF), &there));
    reached.push_back(there.firstLinkNo + static_cast<std::uint32_t>(there.place));
    const int cont = static_cast<int>(word & 0x1FF);
    ASSERT_LT(cont, v.nodeCount);
    word = Be(v.nodes + cont * 8 + 4, 4);
  }
  EXPECT_EQ(reached, (std::vector<std::uint32_t>{102, 300}));
  EXPECT_EQ(word, 0x01FFFFFFu);
  // The way back: node 0 of tile 2's first road leads to link 101.
  KwRoad::Link east;
  ASSERT_TRUE(next->findLink(102, &east));
  KwRoad::Node back{east.nodes};
  auto west = next->adjRoad(&handle_, &back);
  ASSERT_TRUE(west);
  const std::uint32_t w = Be(east.nodes + 4, 4);
  KwRoad::Link there;
  ASSERT_TRUE(
      west->getLink(static_cast<int>(w >> 21 & 0xF), static_cast<int>(w >> 9 & 0xFFF), &there));
  EXPECT_EQ(there.firstLinkNo + static_cast<std::uint32_t>(there.place), 101u);
  // An ordinary node leads nowhere; bad arguments find nothing.
  KwRoad::Node plain{v.nodes + 8};
  EXPECT_FALSE(road->adjRoad(&handle_, &plain));
  EXPECT_FALSE(next->getLink(2, 0, &there));
  EXPECT_FALSE(next->getLink(0, 2, &there));
  EXPECT_FALSE(next->getLink(-1, 0, &there));
}

TEST_F(KiwiMap, GuideRecordsHoldTheCrossingNamesInUtf16) {
  auto road = RoadAt(499850, 120400);
  KwRoad::Link v;
  ASSERT_TRUE(road->findLink(200, &v));
  auto guide = handle_.getGuide(Pelvo::P2, (499700 + 150) * 1024, (120000 + 400) * 1024);
  ASSERT_TRUE(guide);
  auto nameOf = [&](const std::uint8_t* node) -> std::string {
    const std::uint32_t word = Be(node + 4, 4);
    if ((node[0] & 0x20) || (node[4] & 0x20) == 0) return "-";
    const std::size_t at = word & 0xFFFFFF;
    EXPECT_LE(at + 2, guide->size());
    const std::size_t len = Be(guide->data() + at, 2);
    EXPECT_LE(at + 2 + len, guide->size());
    return plat::cp932::FromUtf16LeBytes(guide->data() + at + 2, len);
  };
  EXPECT_EQ(nameOf(v.nodes + 8), testutil::Sjis(u8"外"));
  EXPECT_EQ(nameOf(v.nodes), "-");
  ASSERT_TRUE(road->findLink(100, &v));
  EXPECT_EQ(nameOf(v.nodes), testutil::Sjis(u8"桜田門"));
  EXPECT_EQ(nameOf(v.nodes + 8), "-");
  auto east = handle_.getGuide(Pelvo::P2, (500000 + 150) * 1024, (120000 + 400) * 1024);
  ASSERT_TRUE(east);
  EXPECT_EQ(east->size(), 0u);
}

TEST_F(KiwiMap, HandlesShareTheirObjectUntilTheLastRelease) {
  auto map = handle_.getMap(Pelvo::P2, 499850 * 1024, 120400 * 1024);
  KwInnerPtr<KwBase> copy = map;
  EXPECT_EQ(map.refCount(), 2);
  auto road = map->getRoad();
  map.release();
  EXPECT_FALSE(map);
  EXPECT_EQ(copy.refCount(), 1);
  EXPECT_EQ(copy->tileNumber(), 1u);
  // The road's bytes outlive the handle that made them.
  KwRoad::Link v;
  {
    KiwiHandle other;
    ASSERT_TRUE(other.init(dir_.Sys("ALLDATA.KWI").c_str()));
    road = other.getMap(Pelvo::P2, 499850 * 1024, 120400 * 1024)->getRoad();
  }
  ASSERT_TRUE(road->findLink(100, &v));
  EXPECT_EQ(LinkPoints(v, 0).front(), std::make_pair(10, 10));
}

TEST(KiwiRouteData, RoadsCarryNameAndRoadNumbersAndNodeFacilities) {
  testutil::TempDir dir;
  KiwiHandleForALLDATA handle(0x1000000, true);
  ASSERT_TRUE(testutil::WriteBytes(
      dir.Native("ALLDATA.KWI"),
      "KIWI 1\nTILE 1 0 0 100 100\n"
      "ROAD 1 10 8 8438\nLINK 1 32 0,0 5,5\nLINK 1 32 5,5 9,9\n"
      "NODE 0 FACILITY 101 10 11 0\nNODE 1 GUIDE A\nNODE 1 FACILITY 102 0 0 12\n"
      "ROAD 1 20\nLINK 2 0 0,0 0,9\n"));
  ASSERT_TRUE(handle.init(dir.Sys("ALLDATA.KWI").c_str())) << testutil::Show(handle.lastError());
  auto road = handle.roadOfTile(1);
  ASSERT_TRUE(road);
  const KwRouteData* first = road->routeData(0);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->nameNo, 8);
  EXPECT_EQ(first->roadNo, 8438);
  ASSERT_EQ(first->facilities.size(), 2u);
  EXPECT_EQ(first->facilities[0].node, 0);
  EXPECT_EQ(first->facilities[0].facility, 101);
  EXPECT_EQ(first->facilities[0].entering, 10);
  EXPECT_EQ(first->facilities[0].leaving, 11);
  EXPECT_EQ(first->facilities[0].passing, 0);
  EXPECT_EQ(first->facilities[1].node, 1);
  EXPECT_EQ(first->facilities[1].passing, 12);
  // A facility is engine data only: the node keeps just its guide bit.
  KwRoad::Link v;
  ASSERT_TRUE(road->findLink(11, &v));
  EXPECT_EQ(v.nodes[8 + 4], 0x20);
  EXPECT_EQ(v.nodes[0 + 4], 0);
  // Without the numbers: 0 and 0, no facilities.
  ASSERT_NE(road->routeData(1), nullptr);
  EXPECT_EQ(road->routeData(1)->nameNo, 0);
  EXPECT_TRUE(road->routeData(1)->facilities.empty());
  EXPECT_EQ(road->routeData(2), nullptr);
  EXPECT_EQ(road->routeData(-1), nullptr);
  EXPECT_EQ(handle.tileNumbers(), std::vector<std::uint32_t>{1});
}

TEST(KiwiInit, MissingOrMalformedMapFailsWithAReason) {
  testutil::TempDir dir;
  KiwiHandleForALLDATA handle(0x1000000, true);
  EXPECT_FALSE(handle.init(dir.Sys("ALLDATA.KWI").c_str()));
  EXPECT_NE(handle.lastError().find(testutil::Sjis(u8"地図ファイルを開けません")),
            std::string::npos);
  EXPECT_FALSE(handle.init(nullptr));

  const std::string tile = "KIWI 1\nTILE 1 0 0 100 100\n";
  const Bad cases[] = {
      {"", "no header"},
      {"KIWI 2\n", "other version"},
      {"TILE 1 0 0 100 100\n", "header missing"},
      {"KIWI 1\n", "no tile"},
      {"KIWI 1\nTILE 1 0 0 0 100\n", "zero width"},
      {"KIWI 1\nTILE 1 0 0 100 100\nTILE 2 50 50 100 100\n", "overlap"},
      {"KIWI 1\nTILE 1 0 0 100 100\nTILE 1 200 0 100 100\n", "same number"},
      {"KIWI 1\nLINK 1 0 0,0 1,1\n", "link before road"},
      {"KIWI 1\nTILE 1 0 0 100 100\nROAD 3 1\nLINK 1 0 0,0 1,1\n", "road in no tile"},
      {"KIWI 1\nTILE 1 0 0 100 100\nROAD 1 1\n", "road without links"},
      {"KIWI 1\nTILE 1 0 0 100 100\nROAD 1 1\nLINK 1 0 0,0\n", "one point"},
      {"KIWI 1\nTILE 1 0 0 100 100\nROAD 1 1\nLINK 1 0 0,0 101,0\n", "point outside"},
      {"KIWI 1\nTILE 1 0 0 300 300\nROAD 1 1\nLINK 1 0 0,0 128,0\n", "step too long"},
      {"KIWI 1\nTILE 1 0 0 100 100\nROAD 1 1\nLINK 1 0 0,0 5,5\nLINK 1 0 6,5 7,5\n", "gap"},
      {"KIWI 1\nTILE 1 0 0 100 100\nROAD 1 1\nLINK 1 0 0,0 5,x\n", "bad number"},
      {"KIWI 1\nTILE 1 0 0 100 100\nROAD 1 1\nLINK 1 0 0,0 5,5\nNODE 2 GUIDE A\n", "node beyond"},
      {"KIWI 1\nTILE 1 0 0 100 100\nROAD 1 1\nLINK 1 0 0,0 5,5\nNODE 1 BORDER 9 0:0\n", "no tile"},
      {"KIWI 1\nTILE 1 0 0 100 100\nTILE 2 100 0 100 100\nROAD 1 1\nLINK 1 0 0,0 5,5\n"
       "NODE 1 BORDER 2 0:0\n",
       "no road there"},
      {"KIWI 1\nTILE 1 0 0 100 100\nROAD 1 1\nLINK 1 0 0,0 5,5\nNODE 1 GUIDE A\nNODE 1 GUIDE B\n",
       "node twice"},
      {"KIWI 1\nTILE 1 0 0 100 100\nROAD 1 1\nLINK 1 0 0,0 5,5\nWHAT\n", "unknown line"},
      {"KIWI 1\nTILE 1 0 0 100 100\nROAD 1 1 2\nLINK 1 0 0,0 5,5\n",
       "name number without road number"},
      {"KIWI 1\nTILE 1 0 0 100 100\nROAD 1 1\nLINK 1 0 0,0 5,5\nNODE 0 FACILITY 1 2 3\n",
       "short facility"},
      {"KIWI 1\nTILE 1 0 0 100 100\nROAD 1 1\nLINK 1 0 0,0 5,5\nNODE 0 FACILITY 1 2 3 65536\n",
       "toll number too big"},
      {"KIWI 1\nTILE 1 0 0 100 100\nROAD 1 1\nLINK 1 0 0,0 5,5\nNODE 2 FACILITY 1 0 0 0\n",
       "facility beyond"},
      {"KIWI 1\nTILE 1 0 0 100 100\nROAD 1 1\nLINK 1 0 0,0 5,5\nNODE 1 FACILITY 1 0 0 0\n"
       "NODE 1 FACILITY 2 0 0 0\n",
       "facility twice"},
  };
  for (const Bad& c : cases) {
    ASSERT_TRUE(testutil::WriteBytes(dir.Native("ALLDATA.KWI"), c.text));
    EXPECT_FALSE(handle.init(dir.Sys("ALLDATA.KWI").c_str())) << c.why;
    EXPECT_NE(handle.lastError().find(testutil::Sjis(u8"地図ファイル")), std::string::npos)
        << c.why;
    EXPECT_FALSE(handle.getMap(Pelvo::P2, 10 * 1024, 10 * 1024)) << c.why;
  }
  // Seventeen links in one road are too many; sixteen are fine.
  std::string links = tile + "ROAD 1 1\n";
  for (int i = 0; i < 16; ++i)
    links += "LINK 1 0 " + std::to_string(i) + ",0 " + std::to_string(i + 1) + ",0\n";
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("ALLDATA.KWI"), links));
  EXPECT_TRUE(handle.init(dir.Sys("ALLDATA.KWI").c_str())) << testutil::Show(handle.lastError());
  EXPECT_TRUE(handle.lastError().empty());
  links += "LINK 1 0 16,0 17,0\n";
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("ALLDATA.KWI"), links));
  EXPECT_FALSE(handle.init(dir.Sys("ALLDATA.KWI").c_str()));
}

// Link numbers are unique over the whole map: a road whose links repeat a
// number of an earlier road (in the same tile or another) is refused, and
// the message names the line of the repeating link.
TEST(KiwiInit, RefusesARepeatedLinkNumberNamingItsLine) {
  testutil::TempDir dir;
  KiwiHandleForALLDATA handle(0x1000000, true);
  const std::string head =
      "KIWI 1\nTILE 1 0 0 100 100\nTILE 2 100 0 100 100\nROAD 1 10\nLINK 1 0 0,0 5,5\n"
      "LINK 1 0 5,5 6,6\n";
  // The road of tile 2 starts at 9: its second link (line 9) repeats 10.
  ASSERT_TRUE(testutil::WriteBytes(
      dir.Native("ALLDATA.KWI"),
      head + "ROAD 2 9\nLINK 1 0 0,0 5,5\nLINK 1 0 5,5 6,6\nLINK 1 0 6,6 7,7\n"));
  EXPECT_FALSE(handle.init(dir.Sys("ALLDATA.KWI").c_str()));
  EXPECT_NE(handle.lastError().find(testutil::Sjis(u8"地図ファイルの9行目")), std::string::npos)
      << testutil::Show(handle.lastError());
  EXPECT_NE(handle.lastError().find(testutil::Sjis(u8"リンク番号が重複しています")),
            std::string::npos);
  EXPECT_FALSE(handle.getMap(Pelvo::P2, 10 * 1024, 10 * 1024));
  // The same road of one tile, and the last road of the file, are checked too.
  ASSERT_TRUE(
      testutil::WriteBytes(dir.Native("ALLDATA.KWI"), head + "ROAD 1 10\nLINK 1 0 0,0 5,5\n"));
  EXPECT_FALSE(handle.init(dir.Sys("ALLDATA.KWI").c_str()));
  EXPECT_NE(handle.lastError().find(testutil::Sjis(u8"地図ファイルの8行目")), std::string::npos)
      << testutil::Show(handle.lastError());
  // Numbers that follow on without a repeat load.
  ASSERT_TRUE(
      testutil::WriteBytes(dir.Native("ALLDATA.KWI"), head + "ROAD 2 12\nLINK 1 0 0,0 5,5\n"));
  EXPECT_TRUE(handle.init(dir.Sys("ALLDATA.KWI").c_str())) << testutil::Show(handle.lastError());
}

}  // namespace
