#pragma once
// A facility table with integer coordinates (x = 経度, y = 緯度, in
// thousandths of an arc second) in a scratch folder, and grid indexes over
// it written by the index writer.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "common/record_array.h"
#include "gazref/facility_grid_index.h"
#include "support/test_util.h"
#include "tabledb/table_database.h"
#include "tools/nibbuild/nib_writer.h"

namespace gridtest {

inline constexpr const char* kTable = "施設検索";
inline constexpr const char* kX = "経度";
inline constexpr const char* kY = "緯度";

// The index names the facility table and its coordinate fields 経度 (x) and
// 緯度 (y), both of the given type.
inline void ExpectFacilityFieldNames(FacilityGridIndex& index, int32_t type) {
  char table[kGridNameMax + 1], x[kGridNameMax + 1], y[kGridNameMax + 1];
  ASSERT_EQ(index.GetFieldNames(table, x, y), 1);
  EXPECT_STREQ(table, "施設検索");
  EXPECT_STREQ(x, "経度");
  EXPECT_STREQ(y, "緯度");
  EXPECT_EQ(index.GetXFieldType(), type);
  EXPECT_EQ(index.GetYFieldType(), type);
}

class GridFixture : public ::testing::Test {
 protected:
  std::string DbPath() const { return dir_.Sys("施設検索.NDB"); }
  std::string NibPath() const { return dir_.Sys("範囲.NIB"); }
  std::string NibNative() const { return dir_.Native(reinterpret_cast<const char*>(u8"範囲.NIB")); }

  // Creates the database with one record per (x, y); points_ receives the
  // record ids.
  void MakeDatabase(const std::vector<std::pair<int32_t, int32_t>>& coordinates) {
    CTableDatabase db;
    ASSERT_EQ(db.Create(DbPath().c_str()), 1);
    ASSERT_NE(db.CreateTable(kTable), 0u);
    ASSERT_NE(db.AddField(kTable, "名称", kTdbString, 0, nullptr, nullptr, 0, 0), 0u);
    ASSERT_NE(db.AddField(kTable, kY, kTdbInt, 0, nullptr, nullptr, 0, 0), 0u);
    ASSERT_NE(db.AddField(kTable, kX, kTdbInt, 0, nullptr, nullptr, 0, 0), 0u);
    ASSERT_EQ(db.UpdateMaxRecordSize(), 1);
    points_.clear();
    for (const auto& [x, y] : coordinates) {
      const uint32_t record = db.AddRecord(kTable);
      ASSERT_NE(record, 0u);
      ASSERT_EQ(db.SetInt(record, kTable, kX, x), 1);
      ASSERT_EQ(db.SetInt(record, kTable, kY, y), 1);
      points_.push_back({record, static_cast<double>(x), static_cast<double>(y)});
    }
    db.Close();
  }

  nibbuild::NibLayout Layout(int32_t columns, int32_t rows, uint32_t maxPerCell, int depth) {
    nibbuild::NibLayout layout;
    layout.table = kTable;
    layout.xField = kX;
    layout.yField = kY;
    layout.columns = columns;
    layout.rows = rows;
    layout.maxPointsPerCell = maxPerCell;
    layout.maxDepth = depth;
    EXPECT_TRUE(nibbuild::SetAreaFromPoints(&layout, points_));
    return layout;
  }

  void WriteNib(const nibbuild::NibLayout& layout) {
    std::string error;
    ASSERT_TRUE(nibbuild::WriteNibFile(NibPath().c_str(), layout, points_, &error)) << error;
  }

  // Opens the database and the index and reads the names.
  void OpenAll() {
    ASSERT_EQ(db_.Open(DbPath().c_str()), 1);
    ASSERT_EQ(index_.Open(NibPath().c_str()), 1);
    ASSERT_EQ(index_.AttachDatabase(&db_), 1);
    ASSERT_EQ(index_.ReadFieldNames(), 1);
  }

  // The search with the header's grid; *ok receives its answer.
  std::vector<uint32_t> Search(double cx, double cy, double hw, double hh, int* ok) {
    CRecordList list;
    EXPECT_EQ(list.Create(64, sizeof(uint32_t), 64), 1);
    const GridRect area = index_.GetArea();
    *ok =
        FindFacilitiesInRange(&index_, cx, cy, hw, hh, &list, index_.GetColumns(), index_.GetRows(),
                              index_.GetCellWidth(), index_.GetCellHeight(), area.lowX, area.lowY);
    std::vector<uint32_t> ids(list.GetCount());
    for (uint32_t n = 1; n <= list.GetCount(); ++n) list.GetAt(n, &ids[n - 1]);
    return ids;
  }

  // Every record whose point lies in the rectangle, borders included.
  std::vector<uint32_t> BruteForce(double cx, double cy, double hw, double hh) const {
    std::vector<uint32_t> ids;
    for (const nibbuild::NibPoint& p : points_) {
      if (p.x >= cx - hw && p.x <= cx + hw && p.y >= cy - hh && p.y <= cy + hh) {
        ids.push_back(p.recordId);
      }
    }
    std::sort(ids.begin(), ids.end());
    return ids;
  }

  testutil::TempDir dir_;
  std::vector<nibbuild::NibPoint> points_;
  CTableDatabase db_;
  FacilityGridIndex index_;
};

}  // namespace gridtest
