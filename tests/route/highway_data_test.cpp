#include "route/highway_data.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "highway_fixture.h"
#include "support/test_util.h"

namespace {

using hwtest::KindEntry;
using hwtest::Name;
using testutil::Sjis;

// Names of the facility records found for a key.
std::vector<std::string> FacilityNames(HighwayData& hd, std::uint16_t key) {
  std::vector<std::string> out;
  for (const auto& f : hd.findFacilities(key)) {
    std::string name = "-";
    std::uint32_t value = 0;
    if (!HighwayData::readFacilityNameRecord(f, &name, &value)) name = "(none)";
    out.push_back(name);
  }
  return out;
}

// Three blocks; key 7 three times in the middle of the key records, spread
// over blocks 1 and 2; key 5 in the facility blocks and in the short table.
hwbuild::Image SmallImage() {
  hwbuild::Image im;
  im.names = {Name(1, u8"東名高速道路", u8"とうめい"), Name(2, u8"首都高速"), Name(5, u8"国道"),
              Name(9, u8"東京湾フェリー")};
  im.shortNames = {Name(1, u8"久里浜港"), Name(5, u8"金谷港")};
  hwbuild::Block b1{1,
                    {KindEntry(1, 10, u8"東京IC", 0), KindEntry(0, 12, u8"東京料金所", 13),
                     KindEntry(1, 20, u8"横浜町田IC", 196)}};
  hwbuild::Block b2{2, {KindEntry(2, 25, u8"海老名JCT", 324), KindEntry(3, 35, u8"海老名SA", 317)}};
  // An entry with every optional part: 0x80, 0x40 with n = 2, 0x20, 0x10.
  hwbuild::Entry all;
  all.flags = 0xF0;
  all.parts = std::string("\x01\x02\x03", 3) + std::string("\0\0\0\x02", 4) +
              std::string(12, '\x07') + std::string("\x01\x00\x1E\0\0\0\0\0", 8) +
              std::string("\x09\x09\x09", 3);
  all.name1 = hwtest::U16(u8"厚木IC");
  all.name2 = hwtest::U16(u8"あつぎ");
  all.value = 0x01020304;
  hwbuild::Block b3{4, {all}};
  im.blocks = {b1, b2, b3};
  im.keys = {{1, 1, 0}, {5, 2, 1}, {7, 2, 0}, {7, 1, 2}, {7, 1, 1}, {9, 4, 0}, {12, 1, 0}};
  return im;
}

class HighwayDataTest : public ::testing::Test {
 protected:
  void Open(const hwbuild::Image& im) {
    ASSERT_TRUE(file_.Write(im));
    ASSERT_TRUE(hd_.openHighwayData(file_.Path().c_str()));
  }
  hwtest::HighwayFile file_;
  HighwayData hd_;
};

TEST_F(HighwayDataTest, NamesComeFromTheNameTableAsCp932) {
  Open(SmallImage());
  EXPECT_EQ(hd_.getName(1), Sjis(u8"東名高速道路"));
  EXPECT_EQ(hd_.getName(9), Sjis(u8"東京湾フェリー"));
  EXPECT_EQ(hd_.getName(5), Sjis(u8"国道"));
  EXPECT_EQ(hd_.getName(3), "");
  EXPECT_EQ(hd_.getName(0), "");
  EXPECT_EQ(hd_.getName(10), "");
  EXPECT_EQ(hd_.getName(0x10001), "");  // not the 16-bit key 1
  EXPECT_EQ(hd_.getName(-1), "");
}

TEST_F(HighwayDataTest, EqualKeysAreAllReturnedInFileOrder) {
  Open(SmallImage());
  EXPECT_EQ(
      FacilityNames(hd_, 7),
      (std::vector<std::string>{Sjis(u8"海老名JCT"), Sjis(u8"横浜町田IC"), Sjis(u8"東京料金所")}));
  EXPECT_EQ(FacilityNames(hd_, 1), (std::vector<std::string>{Sjis(u8"東京IC")}));
  EXPECT_EQ(FacilityNames(hd_, 12), (std::vector<std::string>{Sjis(u8"東京IC")}));
  EXPECT_TRUE(hd_.findFacilities(6).empty());
  EXPECT_TRUE(hd_.findFacilities(13).empty());
  const auto found = hd_.findFacilities(7);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[1].index, 2);
  ASSERT_NE(found[0].entry, nullptr);
  EXPECT_EQ(found[0].entry[3], 0x20);
  ASSERT_NE(found[0].data, nullptr);
  EXPECT_EQ(found[0].data[0], 2);   // kind
  EXPECT_EQ(found[0].data[2], 25);  // code, low byte
}

TEST_F(HighwayDataTest, FacilityCodesWithBit15ReadTheShortTable) {
  Open(SmallImage());
  auto shortName = hd_.getFacilityName(0x8005);
  EXPECT_EQ(shortName.name, Sjis(u8"金谷港"));
  EXPECT_EQ(shortName.value, 0u);
  auto block = hd_.getFacilityName(5);
  EXPECT_EQ(block.name, Sjis(u8"海老名SA"));
  EXPECT_EQ(block.value, 317u);
  EXPECT_EQ(hd_.getFacilityName(0x8001).name, Sjis(u8"久里浜港"));
  EXPECT_EQ(hd_.getFacilityName(0x8002).name, "");
  // The first of the equal keys names the code.
  EXPECT_EQ(hd_.getFacilityName(7).name, Sjis(u8"海老名JCT"));
  EXPECT_EQ(hd_.getFacilityName(7).value, 324u);
  // Every optional part is passed over before the name record.
  auto all = hd_.getFacilityName(9);
  EXPECT_EQ(all.name, Sjis(u8"厚木IC"));
  EXPECT_EQ(all.value, 0x01020304u);
  EXPECT_EQ(hd_.getFacilityName(6).name, "");
  EXPECT_EQ(hd_.getFacilityName(6).value, 0u);
}

TEST_F(HighwayDataTest, NameLengthsBeyondTheSectionGiveAnEmptyName) {
  hwbuild::Image im = SmallImage();
  im.names.back().extraLength = 100;       // the last entry of the name table
  im.shortNames.back().extraLength = 100;  // and of the short table
  Open(im);
  EXPECT_EQ(hd_.getName(9), "");
  EXPECT_EQ(hd_.getName(1), Sjis(u8"東名高速道路"));
  EXPECT_EQ(hd_.getFacilityName(0x8005).name, "");
  EXPECT_EQ(hd_.getFacilityName(0x8001).name, Sjis(u8"久里浜港"));
}

TEST_F(HighwayDataTest, FacilityNameLengthsBeyondTheBlockGiveAnEmptyName) {
  ASSERT_TRUE(file_.Write(SmallImage()));
  std::string bytes = file_.bytes();
  // L1 of 海老名SA, the last entry of block 2, raised past the block's end.
  const std::u16string name = hwtest::U16(u8"海老名SA");
  const std::string le(reinterpret_cast<const char*>(name.data()), name.size() * 2);
  const std::size_t at = bytes.find(le);
  ASSERT_NE(at, std::string::npos);
  ASSERT_EQ(static_cast<unsigned char>(bytes[at - 2]), name.size() * 2);
  bytes[at - 2] = static_cast<char>(0xF0);
  ASSERT_TRUE(file_.WriteBytes(bytes));
  ASSERT_TRUE(hd_.openHighwayData(file_.Path().c_str()));
  EXPECT_EQ(hd_.getFacilityName(5).name, "");
  EXPECT_EQ(hd_.getFacilityName(5).value, 0u);
  // The other entry of the block still reads.
  EXPECT_EQ(hd_.getFacilityName(7).name, Sjis(u8"海老名JCT"));
}

TEST_F(HighwayDataTest, MissingEntriesAndBlocks) {
  hwbuild::Image im = SmallImage();
  // Key 3: entry 5 of block 2, which has two; key 4: block 3, not in the
  // index, then entry 1 of block 1.
  im.keys.insert(im.keys.begin() + 1, {{3, 2, 5}, {4, 3, 0}, {4, 1, 1}});
  Open(im);
  const auto three = hd_.findFacilities(3);
  ASSERT_EQ(three.size(), 1u);
  EXPECT_EQ(three[0].entry, nullptr);
  EXPECT_EQ(three[0].data, nullptr);
  EXPECT_EQ(three[0].index, 5);
  EXPECT_EQ(hd_.getFacilityName(3).name, "");
  EXPECT_EQ(hd_.getFacilityName(3).value, 0u);
  EXPECT_EQ(FacilityNames(hd_, 4), (std::vector<std::string>{Sjis(u8"東京料金所")}));
  EXPECT_EQ(hd_.getFacilityName(4).value, 13u);
}

TEST_F(HighwayDataTest, BlocksAreReadOncePerOpen) {
  Open(SmallImage());
  EXPECT_EQ(hd_.blockReads(), 0);
  hd_.getFacilityName(1);
  EXPECT_EQ(hd_.blockReads(), 1);
  hd_.getFacilityName(12);  // the same block
  hd_.findFacilities(1);
  EXPECT_EQ(hd_.blockReads(), 1);
  hd_.getFacilityName(5);
  EXPECT_EQ(hd_.blockReads(), 2);
  hd_.findFacilities(7);  // blocks 2 and 1, both cached
  EXPECT_EQ(hd_.blockReads(), 2);
  hd_.closeHighwayData();
  EXPECT_EQ(hd_.getFacilityName(1).name, "");
  EXPECT_EQ(hd_.getName(1), "");
}

TEST_F(HighwayDataTest, OpenRefusesOtherMagicShortAndBrokenFiles) {
  ASSERT_TRUE(file_.Write(SmallImage()));
  const std::string good = file_.bytes();
  ASSERT_EQ(good.substr(2, 4), std::string("\x20\x10\x11\x01", 4));
  EXPECT_TRUE(hd_.openHighwayData(file_.Path().c_str()));

  std::string other = good;
  other[5] = 0x02;  // 20 10 11 02
  ASSERT_TRUE(file_.WriteBytes(other));
  EXPECT_FALSE(hd_.openHighwayData(file_.Path().c_str()));
  EXPECT_EQ(hd_.getName(1), "");  // the earlier file is closed too

  ASSERT_TRUE(file_.WriteBytes(good.substr(0, 33)));
  EXPECT_FALSE(hd_.openHighwayData(file_.Path().c_str()));

  // The short name table's offset beyond the end of the file.
  std::string far = good;
  far[26] = 0x7F;
  ASSERT_TRUE(file_.WriteBytes(far));
  EXPECT_FALSE(hd_.openHighwayData(file_.Path().c_str()));

  // Key records that reach into the block index.
  std::string keys = good;
  const std::size_t facil =
      2 * ((static_cast<unsigned char>(good[20]) << 8) | static_cast<unsigned char>(good[21]));
  keys[facil] = 0x40;
  ASSERT_TRUE(file_.WriteBytes(keys));
  EXPECT_FALSE(hd_.openHighwayData(file_.Path().c_str()));

  testutil::TempDir empty;
  EXPECT_FALSE(hd_.openHighwayData(empty.Sys("HIGHWAY.DAT").c_str()));
  EXPECT_FALSE(hd_.openHighwayData(nullptr));
}

// Every prefix of the file and random byte flips: open either fails or
// every lookup answers (no crash, no endless loop; the sanitizer build
// checks the reads).
TEST_F(HighwayDataTest, TruncatedAndCorruptedFilesNeverCrash) {
  ASSERT_TRUE(file_.Write(SmallImage()));
  const std::string good = file_.bytes();
  auto probe = [&](const std::string& bytes) {
    ASSERT_TRUE(file_.WriteBytes(bytes));
    HighwayData hd;
    if (!hd.openHighwayData(file_.Path().c_str())) return;
    for (int key : {0, 1, 2, 5, 7, 9, 12, 0xFFFF}) {
      hd.getName(key);
      hd.getFacilityName(static_cast<std::uint32_t>(key));
      hd.getFacilityName(static_cast<std::uint32_t>(key) | 0x8000);
      for (const auto& f : hd.findFacilities(static_cast<std::uint16_t>(key))) {
        std::string name;
        std::uint32_t value = 0;
        HighwayData::readFacilityNameRecord(f, &name, &value);
      }
    }
  };
  int opened = 0;
  for (std::size_t n = 0; n <= good.size(); ++n) {
    probe(good.substr(0, n));
    HighwayData hd;
    if (hd.openHighwayData(file_.Path().c_str())) ++opened;
  }
  EXPECT_GT(opened, 0);
  std::mt19937 rng(20101101);
  for (int i = 0; i < 1000; ++i) {
    std::string bytes = good;
    const int flips = 1 + static_cast<int>(rng() % 4);
    for (int j = 0; j < flips; ++j)
      bytes[rng() % bytes.size()] ^= static_cast<char>(1 + rng() % 255);
    probe(bytes);
  }
}

// The sample road map's HIGHWAY.DAT, generated in the build tree.
TEST(SampleHighwayData, NamesTheSampleRoadsAndFacilities) {
  const char* build = std::getenv("KORT_BUILD_DIR");
  if (build == nullptr || *build == '\0')
    build = reinterpret_cast<const char*>(u8"" KORT_TEST_BUILD_DIR);
  const std::string bytes = testutil::ReadBytes(std::string(build) + "/Database/Road/HIGHWAY.DAT");
  ASSERT_FALSE(bytes.empty());
  testutil::TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("HIGHWAY.DAT"), bytes));
  HighwayData hd;
  ASSERT_TRUE(hd.openHighwayData(dir.Sys("HIGHWAY.DAT").c_str()));
  EXPECT_EQ(hd.getName(1), Sjis(u8"東名高速道路"));
  EXPECT_EQ(hd.getName(4), Sjis(u8"厚木街道"));
  EXPECT_EQ(hd.getFacilityName(101).name, Sjis(u8"東京IC"));
  EXPECT_EQ(hd.getFacilityName(107).value, 350u);
  EXPECT_EQ(hd.getFacilityName(201).name, Sjis(u8"用賀料金所"));
  EXPECT_EQ(hd.getFacilityName(0x8002).name, Sjis(u8"金谷港"));
  // 海老名JCT: junction part (4 + 6 bytes), then its kind block: kind 2,
  // toll facility 25.
  const auto jct = hd.findFacilities(106);
  ASSERT_EQ(jct.size(), 1u);
  ASSERT_NE(jct[0].data, nullptr);
  EXPECT_EQ(jct[0].entry[3], 0x60);
  EXPECT_EQ(jct[0].data[3], 1);
  EXPECT_EQ(jct[0].data[10], 2);
  EXPECT_EQ((jct[0].data[11] << 8) | jct[0].data[12], 25);
  EXPECT_EQ(hd.getFacilityName(106).name, Sjis(u8"海老名JCT"));
}

}  // namespace
