// The reverse-geocoding grid reader against files of the grid builder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/le_bytes.h"
#include "common/message.h"
#include "common/polygon.h"
#include "plat/file.h"
#include "support/test_util.h"
#include "tool/reverse_geocode.h"
#include "tools/gdbbuild/gdb_writer.h"

namespace {

using gdbbuild::GridArea;
using gdbbuild::GridOptions;

// A square area in seconds of arc (stored in milliseconds).
GridArea Square(const char* code, const std::string& names, double x0, double y0, double x1,
                double y1, int width = 0) {
  GridArea a;
  a.code = code;
  a.nameRow = names;
  a.outline = {{x0 * 1000, y0 * 1000},
               {x1 * 1000, y0 * 1000},
               {x1 * 1000, y1 * 1000},
               {x0 * 1000, y1 * 1000}};
  a.width = width;
  return a;
}

const std::string kNamesA =
    testutil::Sjis(u8"x,東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ");
const std::string kNamesB = testutil::Sjis(u8"y,東京都,千代田区,ちよだく,丸の内,まるのうち,,");
const std::string kLineA =
    testutil::Sjis(u8"東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,13101001001");
const std::string kLineB =
    testutil::Sjis(u8"東京都,千代田区,ちよだく,丸の内,まるのうち,,,13101001");

class GridFile : public ::testing::Test {
 protected:
  // Builds the image, lets the caller change it, and writes it.
  std::string Build(const std::vector<GridArea>& areas, GridOptions options = GridOptions()) {
    char msg[kMessageSize] = "";
    std::string image;
    EXPECT_EQ(gdbbuild::BuildGridImage(areas, options, &image, msg), 1) << testutil::Show(msg);
    return image;
  }
  void Write(const std::string& image) {
    ASSERT_TRUE(testutil::WriteBytes(dir_.Native("g.GDB"), image));
  }
  // FindAreaAtPoint on the written file; "-" when it answers 0.
  std::string Find(double x, double y) {
    char result[1024];
    std::memset(result, 'Z', sizeof result);
    const int found = FindAreaAtPoint(dir_.Sys("g.GDB").c_str(), x, y, result, sizeof result);
    EXPECT_NE(std::memchr(result, '\0', sizeof result), nullptr);
    if (!found) {
      EXPECT_EQ(result[0], '\0');
      return "-";
    }
    return result;
  }
  // LookUpGridFile on the written file.
  GridAnswer Answer(double x, double y) {
    char result[1024];
    return LookUpGridFile(dir_.Sys("g.GDB").c_str(), x, y, result, sizeof result);
  }
  // The first area record of an image with NX x NY cells.
  static std::size_t FirstArea(const GridOptions& o) { return 48 + 4u * o.columns * o.rows; }

  testutil::TempDir dir_;
};

TEST(GridCells, OffsetsScrambleAndTexts) {
  EXPECT_EQ(GridCellOffset(3, 2, 0, 0), 48u);
  EXPECT_EQ(GridCellOffset(3, 2, 2, 1), 48u + 4 * (2 + 3 * 1));
  EXPECT_EQ(GridCellOffset(3, 2, 3, 0), 0u);
  EXPECT_EQ(GridCellOffset(3, 2, 0, 2), 0u);
  EXPECT_EQ(GridCellOffset(0, 0, 0, 0), 0u);
  // Offsets beyond 32 bits cannot lie in a file.
  EXPECT_EQ(GridCellOffset(65535, 65535, 65534, 65534), 0u);
  EXPECT_EQ(GridCellOffset(65535, 65535, 1, 16383), 48u + 4 * (1 + 65535u * 16383));
  char text[] = "AB";
  DescrambleGridText(2, text);
  EXPECT_EQ(static_cast<unsigned char>(text[0]), 'A' ^ 0x5B);
  DescrambleGridText(2, text);
  EXPECT_STREQ(text, "AB");
}

TEST_F(GridFile, HitGivesTheNameFieldsAndTheCode) {
  Write(Build({Square("13101001001", kNamesA, 10, 10, 90, 90)}));
  EXPECT_EQ(testutil::Show(Find(50, 50)), testutil::Show(kLineA));
  EXPECT_EQ(Find(5, 50), "-");
  EXPECT_EQ(Find(500, 50), "-");  // outside the grid
  EXPECT_EQ(FindAreaAtPoint(dir_.Sys("none.GDB").c_str(), 50, 50, nullptr, 0), 0);
}

TEST_F(GridFile, EveryValueWidthReadsTheSameOutline) {
  for (int width : {2, 4, 8}) {
    // 50 seconds: offsets up to 50,000 milliseconds fit every width.
    Write(Build({Square("13101001001", kNamesA, 10, 10, 60, 60, width)}));
    EXPECT_EQ(Find(30, 30), kLineA) << width;
    EXPECT_EQ(Find(65, 30), "-") << width;
    EXPECT_EQ(Find(59.9, 59.9), kLineA) << width;
  }
  // Offsets beyond 16 bits need the wider values; a forced 2 is refused.
  char msg[kMessageSize] = "";
  std::string image;
  EXPECT_EQ(
      gdbbuild::BuildGridImage({Square("1", kNamesA, 0, 0, 70, 70, 2)}, GridOptions(), &image, msg),
      0);
  EXPECT_EQ(gdbbuild::BuildGridImage({}, GridOptions(), &image, msg), 0);
}

TEST_F(GridFile, NestedAreasTheLongerCodeWinsTiesKeepTheChainOrder) {
  const GridArea inner = Square("13101001001", kNamesA, 40, 40, 60, 60);
  const GridArea outer = Square("13101001", kNamesB, 10, 10, 90, 90);
  for (const auto& areas :
       {std::vector<GridArea>{outer, inner}, std::vector<GridArea>{inner, outer}}) {
    Write(Build(areas, GridOptions{1, 1, 1.0}));
    EXPECT_EQ(Find(50, 50), kLineA);
    EXPECT_EQ(Find(20, 20), kLineB);
  }
  // Equal code lengths: the earlier area of the chain.
  GridArea twin = outer;
  twin.code = "13101009";
  twin.nameRow = kNamesA;
  Write(Build({outer, twin}, GridOptions{1, 1, 1.0}));
  EXPECT_EQ(Find(20, 20), kLineB);
  Write(Build({twin, outer}, GridOptions{1, 1, 1.0}));
  EXPECT_EQ(testutil::Show(Find(20, 20)),
            testutil::Show(testutil::Sjis(
                u8"東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,13101009")));
}

TEST_F(GridFile, PointOnTheMaximumBorderLiesInNoCell) {
  // Outline 10..90 with a margin of 10: the grid runs 0..100.
  Write(Build({Square("13101001001", kNamesA, 10, 10, 90, 90)}, GridOptions{4, 4, 10.0}));
  EXPECT_EQ(Find(50, 0), "-");
  EXPECT_EQ(Find(50, 100), "-");
  EXPECT_EQ(Find(100, 50), "-");
  EXPECT_EQ(Find(50, 75), kLineA);  // on an inner cell border
}

TEST_F(GridFile, DamagedOutlinesEndTheWalkQuietly) {
  const GridOptions o{1, 1, 1.0};
  // Chains keep the order the areas are given in: area 0 comes first.
  const std::vector<GridArea> areas = {Square("13101001", kNamesB, 10, 10, 90, 90),
                                       Square("13101001001", kNamesA, 40, 40, 60, 60)};
  const std::string good = Build(areas, o);
  const std::size_t outline = FirstArea(o) + 1 + areas[0].code.size() + 1 + areas[0].nameRow.size();
  ASSERT_EQ(static_cast<unsigned char>(good[outline]), 4);  // 80 seconds need 32 bits
  struct Patch {
    const char* what;
    std::size_t at;
    std::vector<unsigned char> bytes;
  };
  const Patch patches[] = {
      {"width 3", outline, {3}},
      {"length below the head", outline + 1, {0xFB, 0xFF, 0xFF, 0xFF}},  // -5
      {"length 20", outline + 1, {20, 0, 0, 0}},
      {"huge length", outline + 1, {0xFF, 0xFF, 0xFF, 0x7F}},
  };
  for (const Patch& p : patches) {
    std::string image = good;
    for (std::size_t i = 0; i < p.bytes.size(); ++i)
      image[p.at + i] = static_cast<char>(p.bytes[i]);
    Write(image);
    // The walk ends at the first area: the second is never reached either.
    EXPECT_EQ(Find(50, 50), "-") << p.what;
  }
  // One point (length 21 + 8 at width 4): an outline of fewer than 3
  // vertices holds no point, and the walk goes on to the next area.
  std::string image = good;
  StoreLe(reinterpret_cast<unsigned char*>(&image[outline + 1]), 21 + 8, 4);
  Write(image);
  EXPECT_EQ(Find(50, 50), kLineA);
  EXPECT_EQ(Find(20, 20), "-");
}

TEST_F(GridFile, LoopingChainsAreDamagedAndDegenerateGridsHoldNoPoint) {
  const GridOptions o{1, 1, 1.0};
  const std::vector<GridArea> areas = {Square("13101001", kNamesB, 10, 10, 90, 90),
                                       Square("13101001001", kNamesA, 40, 40, 60, 60)};
  std::string image = Build(areas, o);
  // Links follow the areas: the last area's link first (next 0), then the
  // first area's link pointing at it; the cell holds the latter.
  const uint32_t head =
      static_cast<uint32_t>(LoadLe(reinterpret_cast<unsigned char*>(&image[48]), 4));
  const uint32_t second =
      static_cast<uint32_t>(LoadLe(reinterpret_cast<unsigned char*>(&image[head + 4]), 4));
  ASSERT_EQ(LoadLe(reinterpret_cast<unsigned char*>(&image[second + 4]), 4), 0u);
  // The second link leads back to the first: the walk ends, and the file
  // is damaged whatever the areas seen so far hold.
  std::string cyclic = image;
  StoreLe(reinterpret_cast<unsigned char*>(&cyclic[second + 4]), head, 4);
  Write(cyclic);
  EXPECT_EQ(Find(50, 50), "-");
  EXPECT_EQ(Find(20, 20), "-");
  EXPECT_EQ(Answer(20, 20), GridAnswer::kDamaged);
  // A link pointing at itself.
  StoreLe(reinterpret_cast<unsigned char*>(&cyclic[head + 4]), head, 4);
  Write(cyclic);
  EXPECT_EQ(Find(20, 20), "-");
  EXPECT_EQ(Answer(20, 20), GridAnswer::kDamaged);
  Write(image);
  EXPECT_EQ(Answer(20, 20), GridAnswer::kHit);
  EXPECT_EQ(Answer(95, 95), GridAnswer::kNone);
  // No columns, no rows, or an empty extent.
  for (int field : {12, 14}) {
    std::string flat = image;
    StoreLe(reinterpret_cast<unsigned char*>(&flat[field]), 0, 2);
    Write(flat);
    EXPECT_EQ(Find(50, 50), "-") << field;
  }
  std::string empty = image;
  std::memcpy(&empty[32], &empty[16], 16);  // maximum = minimum
  Write(empty);
  EXPECT_EQ(Find(9, 9), "-");
}

// Every prefix of a small grid file and 1,000 random byte flips: the reader
// answers 0 or 1 and never reads outside what it was given.
TEST_F(GridFile, TruncatedAndCorruptedFilesNeverCrash) {
  const GridOptions o{2, 2, 1.0};
  const std::string good = Build({Square("13101001", kNamesB, 10, 10, 90, 90),
                                  Square("13101001001", kNamesA, 40, 40, 60, 60, 8),
                                  Square("13101001002", kNamesA, 70, 70, 85, 85, 4)},
                                 o);
  const double points[][2] = {{50, 50}, {20, 20}, {80, 80}, {5, 5}};
  int hits = 0;
  for (std::size_t n = 0; n < good.size(); ++n) {
    Write(good.substr(0, n));
    for (const auto& p : points) hits += Find(p[0], p[1]) != "-";
  }
  std::mt19937 rng(4000);
  for (int i = 0; i < 1000; ++i) {
    std::string bad = good;
    const int flips = 1 + static_cast<int>(rng() % 3);
    for (int f = 0; f < flips; ++f) bad[rng() % bad.size()] ^= static_cast<char>(1 + rng() % 255);
    Write(bad);
    for (const auto& p : points) hits += Find(p[0], p[1]) != "-";
  }
  EXPECT_GT(hits, 0);
  Write(good);
  EXPECT_EQ(Find(80, 80),
            testutil::Sjis(
                u8"東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,13101001002"));
}

TEST_F(GridFile, OutlineReaderFillsAPolygon) {
  Write(Build({Square("1", kNamesA, 10, 10, 90, 90, 4)}, GridOptions{1, 1, 1.0}));
  plat::File file;
  ASSERT_TRUE(file.Open(dir_.Sys("g.GDB").c_str(), plat::ModeRead));
  ASSERT_TRUE(
      file.Seek(static_cast<int64_t>(FirstArea(GridOptions{1, 1, 1.0})), plat::SeekOrigin::Begin));
  char code[kGridTextSize], names[kGridTextSize];
  ASSERT_EQ(ReadGridText(&file, code), 1);
  EXPECT_STREQ(code, "1");
  ASSERT_EQ(ReadGridText(&file, names), 1);
  EXPECT_EQ(names, kNamesA);
  CPolygon outline;
  ASSERT_EQ(ReadAreaOutline(&file, &outline), 1);
  EXPECT_EQ(outline.GetCount(), 4u);
  double box[4];
  ASSERT_EQ(outline.GetBox(box), 1);
  EXPECT_EQ(box[0], 10);
  EXPECT_EQ(box[3], 90);
  // At the end of the file nothing more reads.
  EXPECT_EQ(ReadGridText(&file, code), 0);
}

// A grid rewritten between two calls, in place (same size, same
// modification time) or replaced, answers the new version whole: its cell
// table and records are never read together with the old one's. The two
// versions put their records at the same places with other codes, beyond
// the first 32 KiB of the file.
TEST_F(GridFile, ARewrittenFileAnswersOneVersionPerCall) {
  const GridOptions o{100, 100, 1.0};
  const std::string before = Build(
      {Square("13101001", kNamesB, 10, 10, 90, 90), Square("13101001001", kNamesA, 40, 40, 60, 60)},
      o);
  const std::string after = Build(
      {Square("26101001", kNamesB, 10, 10, 90, 90), Square("26101001001", kNamesA, 40, 40, 60, 60)},
      o);
  ASSERT_EQ(before.size(), after.size());
  ASSERT_GT(FirstArea(o), 32768u);
  const std::string path = dir_.Native("g.GDB");
  const std::string lineAfter = testutil::Sjis(
      u8"東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,26101001001");
  Write(before);
  EXPECT_EQ(Find(50, 50), kLineA);
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  // In place, then the old modification time put back.
  {
    std::FILE* f = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(after.data(), 1, after.size(), f), after.size());
    std::fclose(f);
    const timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  }
  EXPECT_EQ(testutil::Show(Find(50, 50)), testutil::Show(lineAfter));
  EXPECT_EQ(Find(20, 20),
            testutil::Sjis(u8"東京都,千代田区,ちよだく,丸の内,まるのうち,,,26101001"));
  // Replaced by another file.
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("new.GDB"), before));
  ASSERT_EQ(std::rename(dir_.Native("new.GDB").c_str(), path.c_str()), 0);
  EXPECT_EQ(Find(50, 50), kLineA);
  EXPECT_EQ(Find(20, 20), kLineB);
}

// The entries answer a damaged grid with the read failure and its path,
// not with the areas found before the loop.
TEST_F(GridFile, EntriesAnswerALoopingChainWithTheReadFailure) {
  const GridOptions o{1, 1, 1.0};
  std::string image = Build(
      {Square("13101001", kNamesB, 10, 10, 90, 90), Square("13101001001", kNamesA, 40, 40, 60, 60)},
      o);
  const uint32_t head =
      static_cast<uint32_t>(LoadLe(reinterpret_cast<unsigned char*>(&image[48]), 4));
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("13.GDB"), image));
  char result[1024] = "";
  char msg[1024] = "";
  ASSERT_EQ(ReverseGeocodeRaw(result, 50, 50, dir_.path().c_str(), msg, "VRG_EXTEND"), 1)
      << testutil::Show(msg);
  EXPECT_EQ(result, kLineA);
  StoreLe(reinterpret_cast<unsigned char*>(&image[head + 4]), head, 4);
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("13.GDB"), image));
  for (int raw = 0; raw < 2; ++raw) {
    std::strcpy(result, "old");
    const int found =
        raw ? ReverseGeocodeRaw(result, 50, 50, dir_.path().c_str(), msg, "VRG_EXTEND")
            : GetAddressCodeAtPoint(result, 50, 50, dir_.path().c_str(), msg);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(result[0], '\0');
    EXPECT_EQ(testutil::Show(msg),
              testutil::Show(testutil::Sjis(u8"ファイルの読み込みに失敗しました!(") +
                             dir_.Sys("13.GDB") + ")"));
  }
}

}  // namespace
