// The map stand-in over the sample road map generated in the build tree
// (Database/Road/ALLDATA.KWI), copied into a temporary folder.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "outside/kiwi.h"
#include "plat/cp932.h"
#include "sample_road_map.h"
#include "support/test_util.h"

namespace {

using sampleroad::GeneratedMapNative;
using sampleroad::Units;

unsigned Be(const std::uint8_t* p, int n) {
  unsigned v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
  return v;
}

// Byte offset of segment k's head in the view's segment data.
std::size_t SegmentAt(const KwRoad::Link& v, int k) {
  std::size_t at = 0;
  for (int i = 0; i < k; ++i) at += 6 + 2 * (Be(v.segments + at, 2) & 0x3FF);
  return at;
}

KwPoint NodePoint(const KwRoad& road, const KwRoad::Link& v, int node) {
  const std::size_t at = SegmentAt(v, node);
  return road.xy2LL(static_cast<int>(Be(v.segments + at + 2, 2)),
                    static_cast<int>(Be(v.segments + at + 4, 2)));
}

class SampleMap : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string bytes = testutil::ReadBytes(GeneratedMapNative());
    ASSERT_FALSE(bytes.empty()) << GeneratedMapNative();
    ASSERT_TRUE(testutil::WriteBytes(dir_.Native("ALLDATA.KWI"), bytes));
    ASSERT_TRUE(handle_.init(dir_.Sys("ALLDATA.KWI").c_str()))
        << testutil::Show(handle_.lastError());
  }
  // The road data holding a link, found through the tile at a point.
  KwInnerPtr<KwRoad> RoadAt(double lon, double lat) {
    auto map = handle_.getMap(Pelvo::P2, Units(lon), Units(lat));
    return map ? map->getRoad() : KwInnerPtr<KwRoad>();
  }
  testutil::TempDir dir_;
  KiwiHandleForALLDATA handle_{0x1000000, true};
};

TEST_F(SampleMap, ExpresswayRunsFromTokyoToAtsugiAcrossTheTileBorder) {
  auto east = RoadAt(139.6272, 35.6207);  // 東京IC
  auto west = RoadAt(139.3470, 35.4270);  // 厚木IC
  ASSERT_TRUE(east);
  ASSERT_TRUE(west);
  EXPECT_EQ(east->tileNumber(), 2u);
  EXPECT_EQ(west->tileNumber(), 1u);
  EXPECT_EQ(west->getRange().x + west->getRange().width, east->getRange().x);

  KwRoad::Link v;
  ASSERT_TRUE(east->findLink(1001, &v));
  EXPECT_EQ(NodePoint(*east, v, 0).x, Units(139.6272));
  EXPECT_EQ(NodePoint(*east, v, 0).y, Units(35.6207));
  // Every link is highway in one tile only, and each starts where the one
  // before it ends, across the border too.
  KwPoint lastEnd{};
  for (std::uint32_t link = 1001; link <= 1010; ++link) {
    const bool inEast = east->findLink(link, nullptr);
    const bool inWest = west->findLink(link, nullptr);
    ASSERT_NE(inEast, inWest) << link;
    const KwRoad& road = inEast ? *east : *west;
    ASSERT_TRUE(road.findLink(link, &v));
    EXPECT_EQ(v.link[0], 10);  // national expressway
    EXPECT_EQ(v.link[v.attrIndex] & 0x20, 0x20);
    EXPECT_EQ(inEast, link <= 1005);
    const KwPoint start = NodePoint(road, v, v.place);
    if (link > 1001) {
      EXPECT_EQ(start.x, lastEnd.x) << link;
      EXPECT_EQ(start.y, lastEnd.y) << link;
    }
    lastEnd = NodePoint(road, v, v.place + 1);
  }
  EXPECT_EQ(lastEnd.x, Units(139.3470));
  EXPECT_EQ(lastEnd.y, Units(35.4270));
}

TEST_F(SampleMap, BorderNodesLeadBothWays) {
  struct Crossing {
    double lon, lat;
    std::uint32_t from, to;
  };
  for (const Crossing c : {Crossing{139.6, 35.6, 1005, 1006}, Crossing{139.4, 35.5, 1006, 1005},
                           Crossing{139.6, 35.6, 2004, 2005}, Crossing{139.4, 35.5, 2005, 2004}}) {
    auto road = RoadAt(c.lon, c.lat);
    KwRoad::Link v;
    ASSERT_TRUE(road->findLink(c.from, &v));
    // The border node: the end of a forward link, the start of the other.
    const int node = c.from < c.to ? v.place + 1 : v.place;
    const std::uint8_t* rec = v.nodes + node * 8;
    ASSERT_EQ(rec[0] & 0x20, 0x20) << c.from;
    KwRoad::Node n{rec};
    auto next = road->adjRoad(&handle_, &n);
    ASSERT_TRUE(next);
    EXPECT_NE(next->tileNumber(), road->tileNumber());
    const std::uint32_t word = Be(rec + 4, 4);
    KwRoad::Link there;
    ASSERT_TRUE(next->getLink(static_cast<int>(word >> 21 & 0xF),
                              static_cast<int>(word >> 9 & 0xFFF), &there));
    EXPECT_EQ(there.firstLinkNo + static_cast<std::uint32_t>(there.place), c.to);
    EXPECT_TRUE(next->findLink(c.to, nullptr));
    // One candidate: the chain node after it ends the chain.
    EXPECT_EQ(Be(v.nodes + (word & 0x1FF) * 8 + 4, 4), 0x01FFFFFFu);
  }
}

TEST_F(SampleMap, CrossingNamesFerryAndTilesWithoutMap) {
  auto east = RoadAt(139.7, 35.3);
  auto guide = handle_.getGuide(Pelvo::P2, east->getRange().x + east->getRange().width / 2,
                                east->getRange().y + east->getRange().height / 2);
  ASSERT_TRUE(guide);
  KwRoad::Link v;
  ASSERT_TRUE(east->findLink(2002, &v));
  const std::uint8_t* node = v.nodes + 8;  // between 2001 and 2002
  ASSERT_EQ(node[4] & 0x20, 0x20);
  const std::size_t at = Be(node + 5, 3);
  ASSERT_LE(at + 2, guide->size());
  const std::size_t len = Be(guide->data() + at, 2);
  ASSERT_LE(at + 2 + len, guide->size());
  EXPECT_EQ(plat::cp932::FromUtf16LeBytes(guide->data() + at + 2, len),
            testutil::Sjis(u8"東名入口"));
  // No name on the node between 2002 and 2003.
  EXPECT_EQ(v.nodes[2 * 8 + 4] & 0x20, 0);
  // The ferry route has road type 0.
  ASSERT_TRUE(east->findLink(3001, &v));
  EXPECT_EQ(v.link[0], 0);
  EXPECT_EQ(v.link[v.attrIndex] & 0x20, 0);
  // Beyond both tiles (Tokyo Bay east of 139.85): no tile.
  EXPECT_FALSE(handle_.getMap(Pelvo::P2, Units(139.9), Units(35.5)));
  EXPECT_FALSE(east->findLink(9999, &v));
}

}  // namespace
