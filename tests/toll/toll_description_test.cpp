// The text description of a toll data set and the writers' refusals.

#include "tools/tollbuild/toll_description.h"

#include <gtest/gtest.h>

#include "tools/tollbuild/toll_writers.h"

namespace {

using tollbuild::FacilDat;
using tollbuild::TollDat;

std::string Text(const char8_t* utf8) { return reinterpret_cast<const char*>(utf8); }

TEST(TollDescription, TheSampleDescriptionLoads) {
  FacilDat facil;
  TollDat toll;
  std::string error;
  ASSERT_TRUE(tollbuild::LoadTollDescription(
      std::string(KORT_SOURCE_DIR) + "/tools/tollbuild/data/sample_toll.txt", 34, &facil, &toll,
      &error))
      << error;
  EXPECT_EQ(facil.version, 34);
  EXPECT_EQ(facil.facilities.size(), 13u);
  EXPECT_EQ(toll.classes.size(), 7u);
  EXPECT_EQ(toll.groups.size(), 1u);
  EXPECT_EQ(toll.groups[0].pairs.size(), 6u);
  EXPECT_EQ(toll.rules.size(), 2u);
  EXPECT_EQ(toll.links.size(), 5u);
  EXPECT_EQ(toll.names1.size(), 2u);
  ASSERT_EQ(toll.names2.size(), 1u);
  EXPECT_EQ(toll.names2[0].second, 0);  // the transit lookup reads (a, 0)
}

TEST(TollDescription, FieldsBecomeTheFileValues) {
  FacilDat facil;
  TollDat toll;
  std::string error;
  const std::string text = Text(
      u8"# comment\n"
      u8"header 20150401 7 3\n"
      u8"facility 5 0x22 1 9 2 - 4 東京 - 100 200\n"
      u8"list L 1 2,24 tens one-row\n"
      u8"row L 1 10 20\n"
      u8"row L 3 5 -32768\n"
      u8"rule 1 2 日土祝 1 EXR 22:00 6:30 - 3 300 1\n"
      u8"link 5 6 1 2 1 90 -\n");
  ASSERT_TRUE(tollbuild::ParseTollDescription(text, 35, &facil, &toll, &error)) << error;
  ASSERT_EQ(facil.facilities.size(), 1u);
  const tollbuild::FacilEntry& f = facil.facilities[0];
  EXPECT_EQ(f.kind, 0x22);
  EXPECT_EQ(f.valueD, 255);
  EXPECT_EQ(f.name, u"東京");
  EXPECT_TRUE(f.name2.empty());
  ASSERT_EQ(toll.lists.size(), 1u);
  EXPECT_EQ(toll.lists[0].flags, 0x01400001u);  // group 1, item 2, item 24 = bit 0 (one row)
  EXPECT_EQ(toll.lists[0].valueFlags, 0);
  EXPECT_EQ(toll.lists[0].rowMask, 0xA000);
  ASSERT_EQ(toll.rules.size(), 1u);
  EXPECT_EQ(toll.rules[0].dayWord, 0x8000 | 0x0200 | 0x0100 | 0x10 | 0x04 | 0x08 | 0x80);
  EXPECT_EQ(toll.rules[0].windowStart, 22 * 256);
  EXPECT_EQ(toll.rules[0].windowEnd, 6 * 256 + 30);
  EXPECT_EQ(toll.rules[0].q, 3);
  EXPECT_EQ(toll.links[0].timeWord, 0x8000 | 90);
  EXPECT_EQ(toll.links[0].list, -1);
  EXPECT_EQ(toll.classByte, 3);
}

TEST(TollDescription, BadLinesAreReportedWithTheirLineNumber) {
  const struct {
    const char8_t* text;
    const char* message;
  } cases[] = {
      {u8"header 1 2 3\nfacility 1 0x02 0 0 0 0 0 a b 1 2 3\n", "line 2"},
      {u8"bogus 1\n", "unknown line kind"},
      {u8"class 16 0\n", "vehicle class"},
      {u8"row X 1 10\n", "unknown fee list"},
      {u8"list L 1 - yen\nrow L 3 1\nrow L 1 2\n", "item order"},
      {u8"list L 1 - yen\nrow L 1 1 2\nrow L 2 1\n", "same number of columns"},
      {u8"rule 1 2 日X 0 - 0:00 1:00 - - 0 0\n", "day letters"},
      {u8"rule 1 2 日 0 Z 0:00 1:00 - - 0 0\n", "rule flags"},
      {u8"group 1 1 2\n", "numbered"},
      {u8"list L 1 - yen\n", "no rows"},
      {u8"facility 1 0x02 0 0 0 0 0 a b 1 2\nfacility 1 0x02 0 0 0 0 0 a b 1 2\n", "twice"},
      {u8"facility 1 0x02 0 0 0 0 0 a b 8388608 2\n", "first coordinate"},
      {u8"name 2 1 1 乗継\n", "second key byte must be 0"},
  };
  for (const auto& c : cases) {
    FacilDat facil;
    TollDat toll;
    std::string error;
    EXPECT_FALSE(tollbuild::ParseTollDescription(Text(c.text), 35, &facil, &toll, &error))
        << Text(c.text);
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
  }
}

TEST(TollWriters, RefuseWhatTheFormatCannotHold) {
  std::string image, error;
  TollDat toll;
  tollbuild::FeeList longList;
  longList.rows.assign(1, std::vector<int16_t>(300, 1));  // 8 + 600 bytes: more than 255 words
  toll.lists = {longList};
  EXPECT_FALSE(tollbuild::BuildTollDat(toll, &image, &error));
  EXPECT_NE(error.find("255 words"), std::string::npos);
  toll.lists = {tollbuild::FeeList()};
  toll.lists[0].rows = {{1}};
  tollbuild::Group g;
  g.keys = {1, 2};
  g.pairs = {{1, 3, 0}};
  toll.groups = {g};
  EXPECT_FALSE(tollbuild::BuildTollDat(toll, &image, &error));
  toll.groups[0].pairs = {{1, 1, 0}};
  EXPECT_FALSE(tollbuild::BuildTollDat(toll, &image, &error));
  toll.groups[0].pairs = {{2, 1, 0}};
  EXPECT_TRUE(tollbuild::BuildTollDat(toll, &image, &error)) << error;
  FacilDat facil;
  tollbuild::FacilEntry e;
  e.name.assign(128, u'a');
  facil.facilities = {e};
  EXPECT_FALSE(tollbuild::BuildFacilDat(facil, &image, &error));
}

}  // namespace
