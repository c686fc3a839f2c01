// The facility grid index: opening, names and typed coordinates, and the
// rectangle search on indexes written by the index writer, compared with a
// brute-force scan of the same points.

#include <gtest/gtest.h>

#include <cstring>

#include "common/le_bytes.h"
#include "grid_fixture.h"

namespace {

using gridtest::GridFixture;

constexpr int32_t kX0 = 503000000;  // 139°43'20" in thousandths of a second
constexpr int32_t kY0 = 128300000;  // 35°38'20"
constexpr int32_t kSpan = 100000;

// Random points over the area, a tight cluster that forces cells to be
// divided again and again, duplicates and points on the area's edges.
std::vector<std::pair<int32_t, int32_t>> SamplePoints() {
  std::mt19937 random(4242);
  std::uniform_int_distribution<int32_t> any(0, kSpan);
  std::uniform_int_distribution<int32_t> near(0, 300);
  std::vector<std::pair<int32_t, int32_t>> c;
  for (int k = 0; k < 80; ++k) c.push_back({kX0 + any(random), kY0 + any(random)});
  for (int k = 0; k < 24; ++k)
    c.push_back({kX0 + 70000 + near(random), kY0 + 10000 + near(random)});
  c.push_back({kX0 + 70100, kY0 + 10100});
  c.push_back({kX0 + 70100, kY0 + 10100});
  c.push_back({kX0, kY0});
  c.push_back({kX0 + kSpan, kY0 + kSpan});
  c.push_back({kX0 + kSpan, kY0});
  return c;
}

// Deepest level of finer grids below the table (0: no divided cell).
int DivisionDepth(FacilityGridIndex& index, uint32_t table, int level) {
  int deepest = level;
  const uint32_t cells = static_cast<uint32_t>(index.GetColumns() * index.GetRows());
  for (uint32_t n = 0; n < cells; ++n) {
    GridCell cell;
    EXPECT_EQ(index.ReadCell(table, n, &cell), 1);
    if (cell.kind == kGridCellDivided) {
      deepest = std::max(deepest, DivisionDepth(index, cell.finerTable, level + 1));
    }
  }
  return deepest;
}

class GridSearchTest : public GridFixture {
 protected:
  void SetUp() override {
    MakeDatabase(SamplePoints());
    WriteNib(Layout(3, 2, 4, 4));
    OpenAll();
  }

  void ExpectSameAsBruteForce(double cx, double cy, double hw, double hh) {
    int ok = 0;
    std::vector<uint32_t> found = Search(cx, cy, hw, hh, &ok);
    ASSERT_EQ(ok, 1);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, BruteForce(cx, cy, hw, hh))
        << "centre " << cx << "," << cy << " half " << hw << "," << hh;
  }
};

TEST_F(GridSearchTest, HeaderAndNamesAreKept) {
  EXPECT_EQ(index_.GetColumns(), 3);
  EXPECT_EQ(index_.GetRows(), 2);
  const GridRect area = index_.GetArea();
  EXPECT_EQ(area.lowX, kX0);
  EXPECT_EQ(area.lowY, kY0);
  EXPECT_EQ(area.highX, kX0 + kSpan);
  EXPECT_EQ(area.highY, kY0 + kSpan);
  EXPECT_DOUBLE_EQ(index_.GetCellWidth(), kSpan / 3.0);
  EXPECT_DOUBLE_EQ(index_.GetCellHeight(), kSpan / 2.0);
  gridtest::ExpectFacilityFieldNames(index_, kTdbInt);
  unsigned char header[kGridHeaderSize];
  ASSERT_EQ(index_.ReadHeader(header), 1);
  EXPECT_EQ(std::memcmp(header, "DBINDEXB", 8), 0);
}

TEST_F(GridSearchTest, TheClusterCellIsDividedAtLeastTwice) {
  const int depth = DivisionDepth(index_, kGridHeaderSize, 0);
  EXPECT_GE(depth, 2);
  EXPECT_LE(depth, 4);
}

TEST_F(GridSearchTest, RandomRectanglesFindWhatABruteForceScanFinds) {
  std::mt19937 random(77);
  std::uniform_real_distribution<double> centre(-0.1 * kSpan, 1.1 * kSpan);
  std::uniform_real_distribution<double> half(0, 0.4 * kSpan);
  std::uniform_real_distribution<double> small(0, 400);
  for (int k = 0; k < 300; ++k) {
    ExpectSameAsBruteForce(kX0 + centre(random), kY0 + centre(random), half(random), half(random));
    // Small rectangles around the cluster reach the finest cells.
    ExpectSameAsBruteForce(kX0 + 70000 + small(random), kY0 + 10000 + small(random),
                           small(random) / 4, small(random) / 4);
  }
  // The whole area.
  int ok = 0;
  EXPECT_EQ(Search(kX0 + kSpan / 2, kY0 + kSpan / 2, kSpan, kSpan, &ok).size(), points_.size());
  EXPECT_EQ(ok, 1);
}

TEST_F(GridSearchTest, PointsOnTheBorderAreFound) {
  for (const nibbuild::NibPoint& p : points_) {
    // The point on each of the four edges and as a rectangle of no extent.
    ExpectSameAsBruteForce(p.x + 50, p.y, 50, 10);
    ExpectSameAsBruteForce(p.x - 50, p.y, 50, 10);
    ExpectSameAsBruteForce(p.x, p.y + 30, 10, 30);
    ExpectSameAsBruteForce(p.x, p.y - 30, 10, 30);
    int ok = 0;
    const std::vector<uint32_t> found = Search(p.x, p.y, 0, 0, &ok);
    EXPECT_NE(std::find(found.begin(), found.end(), p.recordId), found.end());
  }
}

TEST_F(GridSearchTest, RectangleOutsideTheAreaFindsNothingAndSucceeds) {
  int ok = 0;
  EXPECT_TRUE(Search(kX0 + 2 * kSpan, kY0 + kSpan / 2, 100, 100, &ok).empty());
  EXPECT_EQ(ok, 1);
  EXPECT_TRUE(Search(kX0 - kSpan, kY0 - kSpan, 100, 100, &ok).empty());
  EXPECT_EQ(ok, 1);
  // Just beyond the highest x: the last column is read, its points rejected.
  EXPECT_TRUE(Search(kX0 + kSpan + 1.5, kY0, 1, 1, &ok).empty());
  EXPECT_EQ(ok, 1);
}

TEST_F(GridSearchTest, ReversedRectangleFindsNothing) {
  int ok = 0;
  EXPECT_TRUE(Search(kX0 + kSpan / 2, kY0 + kSpan / 2, 10, -kSpan, &ok).empty());
  EXPECT_EQ(ok, 1);
  EXPECT_TRUE(Search(kX0 + kSpan / 2, kY0 + kSpan / 2, -kSpan, 10, &ok).empty());
  EXPECT_EQ(ok, 1);
}

TEST_F(GridSearchTest, GridWithoutCellsFails) {
  CRecordList list;
  ASSERT_EQ(list.Create(8, 4, 8), 1);
  EXPECT_EQ(FindFacilitiesInRange(&index_, kX0, kY0, 10, 10, &list, 0, 2, 1, 1, kX0, kY0), 0);
  EXPECT_EQ(FindFacilitiesInRange(&index_, kX0, kY0, 10, 10, &list, 3, -1, 1, 1, kX0, kY0), 0);
  EXPECT_EQ(list.GetCount(), 0u);
}

// A cell size of 0 or an undefined origin makes the cell quotients infinite
// or undefined: they are clamped before they become integers.
TEST_F(GridSearchTest, DegenerateGridValuesAreClampedNotConverted) {
  CRecordList list;
  ASSERT_EQ(list.Create(8, 4, 8), 1);
  EXPECT_EQ(FindFacilitiesInRange(&index_, kX0 + kSpan / 2, kY0 + kSpan / 2, 1e300, 1e300, &list, 3,
                                  2, 0, 0, kX0, kY0),
            1);
  EXPECT_EQ(FindFacilitiesInRange(&index_, kX0, kY0, 10, 10, &list, 3, 2, kSpan / 3.0, kSpan / 2.0,
                                  std::nan(""), -INFINITY),
            1);
}

// ---- Damaged and hand-made files ----

class GridFileTest : public GridFixture {
 protected:
  void SetUp() override {
    MakeDatabase({{kX0, kY0}, {kX0 + 10, kY0 + 10}, {kX0 + 20, kY0 + 20}});
    WriteNib(Layout(2, 2, 8, 4));
    image_ = testutil::ReadBytes(NibNative());
    ASSERT_GT(image_.size(), kGridHeaderSize);
  }

  void Rewrite() { ASSERT_TRUE(testutil::WriteBytes(NibNative(), image_)); }
  void Put32(std::size_t at, uint32_t value) {
    StoreLe(reinterpret_cast<unsigned char*>(&image_[at]), value, 4);
  }
  uint32_t Get32(std::size_t at) const {
    return static_cast<uint32_t>(LoadLe(reinterpret_cast<const unsigned char*>(&image_[at]), 4));
  }

  std::string image_;
};

TEST_F(GridFileTest, WrongMagicOrShortHeaderDoesNotOpen) {
  image_[7] = 'C';
  Rewrite();
  EXPECT_EQ(index_.Open(NibPath().c_str()), 0);
  EXPECT_EQ(index_.IsOpen(), 0);
  image_[7] = 'B';
  image_.resize(kGridHeaderSize - 1);
  Rewrite();
  EXPECT_EQ(index_.Open(NibPath().c_str()), 0);
  EXPECT_EQ(index_.Open(dir_.Sys("none.NIB").c_str()), 0);
  EXPECT_EQ(index_.Open(""), 0);
  EXPECT_EQ(index_.GetColumns(), 0);
  unsigned char header[kGridHeaderSize];
  EXPECT_EQ(index_.ReadHeader(header), 0);
}

TEST_F(GridFileTest, NamesNeedAnAttachedDatabaseAndTheirRecords) {
  ASSERT_EQ(index_.Open(NibPath().c_str()), 1);
  EXPECT_EQ(index_.ReadFieldNames(), 0);  // no database
  EXPECT_EQ(index_.AttachDatabase(nullptr), 0);
  double x = 0, y = 0;
  EXPECT_EQ(index_.ReadPointCoordinates(points_[0].recordId, &x, &y), 0);
  index_.Close();
  Put32(12, 0);  // no x-field name record
  Rewrite();
  ASSERT_EQ(db_.Open(DbPath().c_str()), 1);
  ASSERT_EQ(index_.Open(NibPath().c_str()), 1);
  ASSERT_EQ(index_.AttachDatabase(&db_), 1);
  EXPECT_EQ(index_.ReadFieldNames(), 0);
  char table[kGridNameMax + 1] = "x";
  EXPECT_EQ(index_.GetFieldNames(table, nullptr, nullptr), 0);
}

TEST_F(GridFileTest, NameRecordWithoutItsEndOrFieldUnknownFails) {
  const uint32_t xName = Get32(12);
  std::memset(&image_[xName], 'A', kGridNameRecordSize);
  Rewrite();
  ASSERT_EQ(db_.Open(DbPath().c_str()), 1);
  ASSERT_EQ(index_.Open(NibPath().c_str()), 1);
  index_.AttachDatabase(&db_);
  EXPECT_EQ(index_.ReadFieldNames(), 0);
  index_.Close();
  std::memset(&image_[xName], 0, kGridNameRecordSize);
  std::memcpy(&image_[xName], "NOFIELD", 7);
  Rewrite();
  ASSERT_EQ(index_.Open(NibPath().c_str()), 1);
  index_.AttachDatabase(&db_);
  EXPECT_EQ(index_.ReadFieldNames(), 0);
}

TEST_F(GridFileTest, CloseForgetsEverything) {
  OpenAll();
  index_.Close();
  EXPECT_EQ(index_.IsOpen(), 0);
  EXPECT_EQ(index_.GetColumns(), 0);
  EXPECT_EQ(index_.GetCellWidth(), 0);
  EXPECT_STREQ(index_.GetPath(), "");
  GridCell cell;
  EXPECT_EQ(index_.ReadCell(kGridHeaderSize, 0, &cell), 0);
  double x = 0, y = 0;
  EXPECT_EQ(index_.ReadPointCoordinates(points_[0].recordId, &x, &y), 0);
}

// Every top cell divided into the top table itself: any cell read leads
// into a cycle. A reversed rectangle must not read a cell at all.
TEST_F(GridFileTest, CycleOfFinerTablesFailsAndReversedRectangleReadsNoCell) {
  for (uint32_t n = 0; n < 4; ++n) {
    Put32(kGridHeaderSize + n * kGridCellSize + 12, kGridHeaderSize);
    Put32(kGridHeaderSize + n * kGridCellSize + 16, kGridCellDivided);
  }
  Rewrite();
  OpenAll();
  int ok = 1;
  EXPECT_TRUE(Search(kX0 + 10, kY0 + 10, 5, 5, &ok).empty());
  EXPECT_EQ(ok, 0);
  EXPECT_TRUE(Search(kX0 + 10, kY0 + 10, 5, -5, &ok).empty());
  EXPECT_EQ(ok, 1);
  EXPECT_TRUE(Search(kX0 + 10, kY0 + 10, -5, 5, &ok).empty());
  EXPECT_EQ(ok, 1);
  EXPECT_TRUE(Search(kX0 + 10, kY0 + 10, std::nan(""), 5, &ok).empty());
  EXPECT_EQ(ok, 1);
}

TEST_F(GridFileTest, PointChainThatLoopsEndsTheWalk) {
  // All three points lie in the lowest cell (the area is 20 × 20 in 2 × 2
  // cells; the point at 10 lies in the upper cell). Find a listing cell and
  // point its first record's next back at itself.
  bool changed = false;
  for (uint32_t n = 0; n < 4 && !changed; ++n) {
    const std::size_t cell = kGridHeaderSize + n * kGridCellSize;
    const uint32_t first = Get32(cell);
    if (first != 0) {
      Put32(first + 4, first);
      changed = true;
    }
  }
  ASSERT_TRUE(changed);
  Rewrite();
  OpenAll();
  int ok = 1;
  Search(kX0 + 10, kY0 + 10, 100, 100, &ok);
  EXPECT_EQ(ok, 0);
}

TEST_F(GridFileTest, CountZeroSkipsTheChainAndUnreadableRecordFails) {
  OpenAll();
  int ok = 0;
  ASSERT_EQ(Search(kX0 + 10, kY0 + 10, 100, 100, &ok).size(), 3u);
  index_.Close();
  db_.Close();
  // The cell of the origin point: its count tested for 0 only.
  Put32(kGridHeaderSize + 8, 0);
  Rewrite();
  OpenAll();
  const std::vector<uint32_t> found = Search(kX0 + 10, kY0 + 10, 100, 100, &ok);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(found.size(), 2u);
  EXPECT_EQ(std::find(found.begin(), found.end(), points_[0].recordId), found.end());
  index_.Close();
  db_.Close();
  Put32(kGridHeaderSize + 8, 1);
  Put32(Get32(kGridHeaderSize) + 8, 7);  // no record at position 7
  Rewrite();
  OpenAll();
  Search(kX0 + 10, kY0 + 10, 100, 100, &ok);
  EXPECT_EQ(ok, 0);
}

// Grids of one cell nested deeper than a search follows.
TEST_F(GridFileTest, NestingBeyondTheDepthBoundFails) {
  for (int levels : {kGridMaxDepth, kGridMaxDepth + 1}) {
    std::string image = image_.substr(0, kGridHeaderSize);
    StoreLe(reinterpret_cast<unsigned char*>(&image[20]), 1, 4);
    StoreLe(reinterpret_cast<unsigned char*>(&image[24]), 1, 4);
    for (int level = 0; level < levels; ++level) {
      std::string cell(kGridCellSize, '\0');
      const uint32_t next = static_cast<uint32_t>(image.size() + kGridCellSize);
      StoreLe(reinterpret_cast<unsigned char*>(&cell[12]), next, 4);
      StoreLe(reinterpret_cast<unsigned char*>(&cell[16]), kGridCellDivided, 4);
      image += cell;
    }
    // The last grid lists the first point.
    std::string cell(kGridCellSize, '\0');
    const uint32_t point = static_cast<uint32_t>(image.size() + kGridCellSize);
    StoreLe(reinterpret_cast<unsigned char*>(&cell[0]), point, 4);
    StoreLe(reinterpret_cast<unsigned char*>(&cell[8]), 1, 4);
    image += cell;
    std::string record(kGridPointSize, '\0');
    StoreLe(reinterpret_cast<unsigned char*>(&record[8]), points_[0].recordId, 4);
    image += record;
    // The name records of the written file, appended again.
    for (int k = 0; k < 3; ++k) {
      StoreLe(reinterpret_cast<unsigned char*>(&image[8 + 4 * k]), image.size(), 4);
      image += image_.substr(Get32(8 + 4 * k), kGridNameRecordSize);
    }
    ASSERT_TRUE(testutil::WriteBytes(NibNative(), image));
    index_.Close();
    db_.Close();
    OpenAll();
    int ok = 0;
    const std::vector<uint32_t> found = Search(kX0, kY0, 1, 1, &ok);
    if (levels == kGridMaxDepth) {
      EXPECT_EQ(ok, 1);
      EXPECT_EQ(found, std::vector<uint32_t>{points_[0].recordId});
    } else {
      EXPECT_EQ(ok, 0);
    }
  }
}

// ---- Coordinate fields of every numeric type ----

TEST(GridCoordinates, EveryNumericTypeIsReadAndOthersFail) {
  testutil::TempDir dir;
  const std::string dbPath = dir.Sys("types.NDB");
  const std::string nibPath = dir.Sys("types.NIB");
  struct Field {
    const char* name;
    int32_t type;
    double expected;
  };
  const Field fields[] = {{"u8", kTdbUchar, 200},           {"i8", kTdbChar, -100},
                          {"u16", kTdbWord, 60000},         {"i16", kTdbShort, -30000},
                          {"u32", kTdbDword, 4000000000.0}, {"i32", kTdbInt, -2000000000},
                          {"dbl", kTdbDouble, 12.625},      {"flt", kTdbFloat, 0}};
  CTableDatabase db;
  ASSERT_EQ(db.Create(dbPath.c_str()), 1);
  ASSERT_NE(db.CreateTable("型"), 0u);
  for (const Field& f : fields) {
    ASSERT_NE(db.AddField("型", f.name, f.type, 0, nullptr, nullptr, 0, 0), 0u);
  }
  ASSERT_EQ(db.UpdateMaxRecordSize(), 1);
  const uint32_t record = db.AddRecord("型");
  ASSERT_NE(record, 0u);
  ASSERT_EQ(db.SetUchar(record, "型", "u8", 200), 1);
  ASSERT_EQ(db.SetChar(record, "型", "i8", static_cast<char>(-100)), 1);
  ASSERT_EQ(db.SetWord(record, "型", "u16", 60000), 1);
  ASSERT_EQ(db.SetShort(record, "型", "i16", -30000), 1);
  ASSERT_EQ(db.SetDword(record, "型", "u32", 4000000000u), 1);
  ASSERT_EQ(db.SetInt(record, "型", "i32", -2000000000), 1);
  ASSERT_EQ(db.SetDouble(record, "型", "dbl", 12.625), 1);
  db.Close();
  ASSERT_EQ(db.Open(dbPath.c_str()), 1);
  for (const Field& f : fields) {
    nibbuild::NibLayout layout;
    layout.table = "型";
    layout.xField = f.name;
    layout.yField = "i32";
    layout.columns = 1;
    layout.rows = 1;
    layout.highX = 1;
    layout.highY = 1;
    std::string error;
    ASSERT_TRUE(nibbuild::WriteNibFile(nibPath.c_str(), layout, {}, &error)) << error;
    FacilityGridIndex index;
    ASSERT_EQ(index.Open(nibPath.c_str()), 1);
    ASSERT_EQ(index.AttachDatabase(&db), 1);
    ASSERT_EQ(index.ReadFieldNames(), 1);
    EXPECT_EQ(index.GetXFieldType(), f.type);
    double x = 0, y = 0;
    const int ok = index.ReadPointCoordinates(record, &x, &y);
    if (f.type == kTdbFloat) {
      EXPECT_EQ(ok, 0);
    } else {
      ASSERT_EQ(ok, 1) << f.name;
      EXPECT_EQ(x, f.expected) << f.name;
      EXPECT_EQ(y, -2000000000);
    }
    EXPECT_EQ(index.ReadPointCoordinates(record + 1, &x, &y), 0);
  }
}

}  // namespace

// ---- The index writer's refusals ----

namespace {

TEST(GridWriter, RefusesWhatCannotBeAGridIndex) {
  nibbuild::NibLayout good;
  good.table = "施設検索";
  good.xField = "経度";
  good.yField = "緯度";
  good.columns = 2;
  good.rows = 2;
  good.highX = 10;
  good.highY = 10;
  const std::vector<nibbuild::NibPoint> points = {{20, 5, 5}};
  std::string image = "untouched";
  std::string error;
  ASSERT_TRUE(nibbuild::BuildNibImage(good, points, &image, &error)) << error;
  // Header, top table, three names and one point record.
  EXPECT_EQ(image.size(), 80u + 4 * 20 + 3 * 81 + 16);
  auto refused = [&](nibbuild::NibLayout layout, std::vector<nibbuild::NibPoint> pts) {
    std::string out = "untouched";
    std::string why;
    const bool built = nibbuild::BuildNibImage(layout, pts, &out, &why);
    return !built && out == "untouched" && !why.empty();
  };
  nibbuild::NibLayout l = good;
  l.table = std::string(81, 'T');
  EXPECT_TRUE(refused(l, points));
  l = good;
  l.yField = "";
  EXPECT_TRUE(refused(l, points));
  l = good;
  l.columns = 0;
  EXPECT_TRUE(refused(l, points));
  l = good;
  l.rows = 1025;
  EXPECT_TRUE(refused(l, points));
  l = good;
  l.highX = l.lowX;
  EXPECT_TRUE(refused(l, points));
  l = good;
  l.highY = INFINITY;
  EXPECT_TRUE(refused(l, points));
  l = good;
  l.maxDepth = nibbuild::kNibMaxDepth + 1;
  EXPECT_TRUE(refused(l, points));
  EXPECT_TRUE(refused(good, {{20, 10.5, 5}}));
  EXPECT_TRUE(refused(good, {{20, std::nan(""), 5}}));
  // An exact name of 80 bytes fits.
  l = good;
  l.table = std::string(80, 'T');
  EXPECT_FALSE(refused(l, points));
  nibbuild::NibLayout none;
  EXPECT_FALSE(nibbuild::SetAreaFromPoints(&none, {}));
  EXPECT_TRUE(nibbuild::SetAreaFromPoints(&none, {{1, 3, 4}}));
  EXPECT_EQ(none.highX, 4);
  EXPECT_EQ(none.highY, 5);
}

}  // namespace
