// The road map description reader, its map file text and the HIGHWAY.DAT
// writer's refusals.
#include <gtest/gtest.h>

#include <string>

#include "support/test_util.h"
#include "tools/roadmap/highway_writer.h"
#include "tools/roadmap/roadmap_description.h"

namespace {

// Loads a description given as UTF-8 text; "" on success, else the error.
std::string Load(const char8_t* text, roadmap::Description* d) {
  testutil::TempDir dir;
  const std::string path = dir.Native("map.txt");
  EXPECT_TRUE(testutil::WriteBytes(path, reinterpret_cast<const char*>(text)));
  std::string error;
  return roadmap::LoadDescription(path, d, &error) ? std::string() : error;
}

TEST(RoadMapDescription, SampleDescriptionLoads) {
  roadmap::Description d;
  std::string error;
  ASSERT_TRUE(roadmap::LoadDescription(KORT_SOURCE_DIR "/tools/roadmap/data/sample_roadmap.txt", &d,
                                       &error))
      << error;
  EXPECT_EQ(d.tiles.size(), 2u);
  std::size_t links = 0;
  for (const auto& r : d.roads) links += r.links.size();
  EXPECT_GE(links, 24u);
  // Facility key records ascending by key.
  for (std::size_t i = 1; i < d.highway.keys.size(); ++i)
    EXPECT_LE(d.highway.keys[i - 1].key, d.highway.keys[i].key);
  std::string text;
  EXPECT_TRUE(roadmap::MapFileText(d, &text, &error)) << error;
}

TEST(RoadMapDescription, LongStepsAreCutAndBordersResolved) {
  roadmap::Description d;
  ASSERT_EQ(Load(u8"tile 1 139.0 35.0 139.25 35.25\n"
                 u8"tile 2 139.25 35.0 139.5 35.25\n"
                 u8"road 1 10 -1 0 A\n"
                 u8"link 2 0 139.0,35.0 139.25,35.0\n"  // 900 seconds east
                 u8"border 1 20\n"
                 u8"road 2 30 -1 0 C\n"
                 u8"link 2 0 139.3,35.1 139.31,35.1\n"
                 u8"road 2 20 4 0x20F6 B\n"
                 u8"link 2 0 139.25,35.0 139.26,35.0\n"
                 u8"link 2 0 139.26,35.0 139.27,35.0\n"
                 u8"crossing 2 交差点 名\n"
                 u8"facility 1 0x8001 0 0 0\n"
                 u8"facility 2 107 30 31 5\n",
                 &d),
            "");
  std::string text, error;
  ASSERT_TRUE(roadmap::MapFileText(d, &text, &error)) << error;
  // 900 seconds in 8 equal steps of at most 127.
  EXPECT_NE(text.find("LINK 2 0 0,0 112,0 225,0 337,0 450,0 562,0 675,0 787,0 900,0\n"),
            std::string::npos)
      << text;
  // Link 20 is place 0 of the second road of tile 2.
  EXPECT_NE(text.find("NODE 1 BORDER 2 1:0\n"), std::string::npos) << text;
  EXPECT_NE(text.find(reinterpret_cast<const char*>(u8"NODE 2 GUIDE 交差点 名\n")),
            std::string::npos);
  // The route engine's data: name and road numbers, facilities with tolls.
  EXPECT_NE(text.find("ROAD 2 20 4 8438\n"), std::string::npos) << text;
  EXPECT_NE(text.find("ROAD 1 10 -1 0\n"), std::string::npos) << text;
  EXPECT_NE(text.find("NODE 1 FACILITY 32769 0 0 0\nNODE 2 FACILITY 107 30 31 5\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(d.roads[2].nameNo, 4);
  EXPECT_EQ(d.roads[2].roadNo, 0x20F6);
  EXPECT_EQ(d.roads[2].links[1].number, 21u);
}

TEST(RoadMapDescription, BadRecordsAreRefusedWithTheirLine) {
  struct Case {
    const char8_t* text;
    const char* want;
  };
  const Case cases[] = {
      {u8"tile 1 139 35\n", "line 1"},
      {u8"tile 1 139.0 35.0 138.0 35.1\n", "extent"},
      {u8"# x\nlink 2 0 139.0,35.0 139.1,35.0\n", "line 2"},
      {u8"tile 1 139.0 35.0 139.2 35.2\nroad 2 1 -1 0 A\n", "unknown tile"},
      {u8"tile 1 139.0 35.0 139.2 35.2\nroad 1 1 -1 0 A\nlink 2 0 139.0,35.0 139.1,35.0\n"
       u8"link 2 0 139.1,35.1 139.2,35.0\n",
       "line 4"},
      {u8"tile 1 139.0 35.0 139.2 35.2\nroad 1 1 -1 0 A\nlink 2 0 139.0;35.0 139.1,35.0\n",
       "<lon>,<lat>"},
      {u8"hentry 1 0x20 0 A - 0000000000000000\n", "before hblock"},
      {u8"hblock 1\nhentry 1 0x20 0 A - 00000G\n", "hexadecimal"},
      {u8"tile 1 139.0 35.0 139.2 35.2\nroad 1 1 -1 0 A\n", "without links"},
      {u8"frobnicate 1\n", "unknown record"},
      {u8"tile 1 139.0 35.0 139.2 35.2\nroad 1 1 -1 0 A\nlink 2 0 139.0,35.0 139.1,35.0\nfacility "
       u8"1 5 0 0\n",
       "facility <node>"},
      {u8"facility 1 5 0 0 0\n", "before road"},
  };
  for (const Case& c : cases) {
    roadmap::Description d;
    const std::string error = Load(c.text, &d);
    EXPECT_NE(error.find(c.want), std::string::npos) << error << " / " << c.want;
  }
  // Faults only the map text can see: a point beyond its tile, a border to
  // a link that no road has.
  roadmap::Description d;
  std::string text, error;
  ASSERT_EQ(
      Load(u8"tile 1 139.0 35.0 139.2 35.2\nroad 1 1 -1 0 A\nlink 2 0 139.0,35.0 139.3,35.0\n", &d),
      "");
  EXPECT_FALSE(roadmap::MapFileText(d, &text, &error));
  EXPECT_NE(error.find("leaves its tile"), std::string::npos);
  ASSERT_EQ(Load(u8"tile 1 139.0 35.0 139.2 35.2\nroad 1 1 -1 0 A\nlink 2 0 139.0,35.0 "
                 u8"139.1,35.0\nborder 1 7\n",
                 &d),
            "");
  EXPECT_FALSE(roadmap::MapFileText(d, &text, &error));
  EXPECT_NE(error.find("link 7"), std::string::npos);
}

TEST(RoadMapDescription, EqualFacilityKeysKeepTheirEntryOrder) {
  roadmap::Description d;
  ASSERT_EQ(Load(u8"hblock 1\n"
                 u8"hentry 5 0 0 A -\n"
                 u8"hentry 3 0 0 B -\n"
                 u8"hblock 2\n"
                 u8"hentry 5 0 0 C -\n",
                 &d),
            "");
  ASSERT_EQ(d.highway.keys.size(), 3u);
  EXPECT_EQ(d.highway.keys[0].key, 3);
  EXPECT_EQ(d.highway.keys[1].block, 1);
  EXPECT_EQ(d.highway.keys[1].index, 0);
  EXPECT_EQ(d.highway.keys[2].block, 2);
  EXPECT_EQ(d.highway.keys[2].index, 0);
}

TEST(HighwayWriter, RefusesImagesThatBreakTheFormat) {
  auto refused = [](const hwbuild::Image& im) {
    std::string out, error;
    return !hwbuild::BuildHighwayFile(im, &out, &error) && !error.empty();
  };
  hwbuild::Image names;
  names.names = {{2, u"a", u"", 0}, {1, u"b", u"", 0}};
  EXPECT_TRUE(refused(names));
  hwbuild::Image longName;
  longName.shortNames = {{1, std::u16string(128, u'x'), u"", 0}};
  EXPECT_TRUE(refused(longName));
  hwbuild::Image parts;
  parts.blocks = {{1, {hwbuild::Entry{}}}};
  parts.blocks[0].entries[0].flags = 0x20;
  parts.blocks[0].entries[0].parts = "1234567";  // 7 bytes, the kind block has 8
  EXPECT_TRUE(refused(parts));
  parts.blocks[0].entries[0].parts = "12345678";
  EXPECT_FALSE(refused(parts));
  parts.blocks.push_back(parts.blocks[0]);  // block number 1 twice
  EXPECT_TRUE(refused(parts));
  hwbuild::Image keys;
  keys.keys = {{4, 1, 0}, {3, 1, 0}};
  EXPECT_TRUE(refused(keys));
  // An empty image is a valid file: header and three empty sections.
  std::string out, error;
  ASSERT_TRUE(hwbuild::BuildHighwayFile(hwbuild::Image{}, &out, &error));
  EXPECT_EQ(out.size(), 34u + 4u + 6u + 4u);
}

}  // namespace
