// The sample facility folder generated in the build tree: every file is
// reopened with the system's readers and compared with the description.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "common/file_access.h"
#include "common/message.h"
#include "common/record_array.h"
#include "facility_folder.h"
#include "gazref/facility_grid_index.h"
#include "grid_fixture.h"
#include "plat/cp932.h"
#include "support/test_util.h"
#include "tabledb/dictionaries.h"
#include "tabledb/name_index.h"
#include "tabledb/table_database.h"
#include "tabledb/tag_db.h"
#include "tools/facilitydata/facility_description.h"
#include "tools/facilitydata/facility_generate.h"

namespace {

using facilitydata::FacilityDescription;
using facilitydata::FacilityRow;

using facilitytest::Described;
using facilitytest::FacilityFolder;

// The bytes of a file by CP932 path; "" when it cannot be read.
std::string Bytes(const std::string& path) {
  char* bytes = nullptr;
  uint32_t length = 0;
  if (!LoadWholeFileWithLength(path.c_str(), &bytes, &length, nullptr)) return std::string();
  std::string out(bytes, length);
  std::free(bytes);
  return out;
}

std::vector<uint32_t> ListIds(const CRecordList& list) {
  std::vector<uint32_t> ids(list.GetCount());
  for (uint32_t n = 1; n <= list.GetCount(); ++n) list.GetAt(n, &ids[n - 1]);
  return ids;
}

// Name paths of a tree with, at the leaf level, the leaves' values.
using TreePaths = std::vector<std::pair<std::vector<std::string>, uint32_t>>;

// Every path of names from below the node down to `levels` levels; at the
// level below those, the leaves with their values.
void WalkTree(CTagDb& tree, uint32_t node, std::vector<std::string>& path, int levels,
              TreePaths* out) {
  TagNode n;
  ASSERT_EQ(tree.ReadNode(node, &n), 1);
  for (uint32_t child = n.firstChild; child != 0;) {
    char name[256] = "";
    TagNode c;
    ASSERT_EQ(tree.GetName(child, name, sizeof name, &c), 1);
    if (levels == 0) {
      out->push_back({path, c.value});
    } else {
      path.push_back(name);
      if (levels == 1 && c.firstChild == 0) out->push_back({path, 0});
      WalkTree(tree, child, path, levels - 1, out);
      path.pop_back();
    }
    child = c.next;
  }
}

uint32_t NamedChildOfFirstChild(CTagDb& tree, const char* name) {
  TagNode root;
  if (!tree.ReadNode(tree.GetFirstTopNode(), &root)) return 0;
  TagNode first;
  if (!tree.ReadNode(root.firstChild, &first)) return 0;
  for (uint32_t child = first.firstChild; child != 0;) {
    char text[256] = "";
    TagNode c;
    if (!tree.GetName(child, text, sizeof text, &c)) return 0;
    if (std::string(text) == name) return child;
    child = c.next;
  }
  return 0;
}

class FacilityFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = FacilityFolder();
    ASSERT_FALSE(folder_.empty());
    ASSERT_GE(Described().facilities.size(), 30u);
    ASSERT_EQ(db_.Open(Path("施設検索.NDB").c_str()), 1);
    // Records in chain order: one per description row, in its order.
    TdbTableEntry entry;
    const uint32_t table = db_.FindTable("施設検索");
    ASSERT_NE(table, 0u);
    ASSERT_EQ(db_.ReadTableEntry(table, &entry), 1);
    for (uint32_t p = entry.firstRecord; p != 0 && ids_.size() <= Described().facilities.size();) {
      ids_.push_back(p);
      TdbRecordHeader h;
      ASSERT_EQ(db_.ReadRecordHeader(p, &h), 1);
      p = h.nextRecord;
    }
    ASSERT_EQ(ids_.size(), Described().facilities.size());
  }

  std::string Path(const char* name) const { return folder_ + name; }

  // The paths below the node `group` under the top node's first child of
  // the tree file.
  TreePaths ReadTree(const char* file, const char* group, int levels) {
    TreePaths paths;
    CTagDb tree;
    EXPECT_EQ(tree.Open(Path(file).c_str()), 1);
    const uint32_t node = NamedChildOfFirstChild(tree, group);
    EXPECT_NE(node, 0u);
    std::vector<std::string> path;
    if (node != 0) WalkTree(tree, node, path, levels, &paths);
    return paths;
  }

  std::string Text(uint32_t record, const char* field) {
    char text[512] = "";
    EXPECT_EQ(db_.GetString(record, "施設検索", field, text, sizeof text), 1) << field;
    return text;
  }
  double Number(uint32_t record, const char* field) {
    double value = -1;
    EXPECT_EQ(db_.GetDouble(record, "施設検索", field, &value), 1) << field;
    return value;
  }

  std::string folder_;
  CTableDatabase db_;
  std::vector<uint32_t> ids_;
};

TEST_F(FacilityFolderTest, DatabaseHoldsEveryRowWithItsFieldTypes) {
  const auto& rows = Described().facilities;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const FacilityRow& r = rows[k];
    const uint32_t id = ids_[k];
    EXPECT_EQ(Text(id, "名称"), r.name);
    EXPECT_EQ(Text(id, "名称よみ"), r.kana);
    EXPECT_EQ(Text(id, "行政名"), r.area);
    EXPECT_EQ(Text(id, "大分類"), r.major);
    EXPECT_EQ(Text(id, "中分類"), r.middle);
    EXPECT_EQ(Text(id, "小分類"), r.minor);
    EXPECT_EQ(Number(id, "緯度"), r.latitude);
    EXPECT_EQ(Number(id, "経度"), r.longitude);
    EXPECT_EQ(Number(id, "行政JISコード"), r.cityCode);
  }
}

TEST_F(FacilityFolderTest, DataCoverTheSearchCases) {
  std::set<std::string> majors;
  bool tokyo = false, kyoto = false, noPrefecture = false, fullWidthDigit = false;
  for (const FacilityRow& r : Described().facilities) {
    majors.insert(r.major);
    tokyo = tokyo || r.area.rfind("東京都", 0) == 0;
    kyoto = kyoto || r.area.rfind("京都府", 0) == 0;
    noPrefecture =
        noPrefecture || (r.area.rfind("東京都", 0) != 0 && r.area.rfind("京都府", 0) != 0);
    fullWidthDigit = fullWidthDigit || r.name == "第１ビル";
  }
  EXPECT_TRUE(tokyo && kyoto && noPrefecture && fullWidthDigit);
  for (const char* m : {"公衆トイレ", "使用しない", "その他", "交通", "寺社"}) {
    EXPECT_EQ(majors.count(m), 1u) << testutil::Show(m);
  }
  EXPECT_FALSE(Described().pairs.empty());
}

TEST_F(FacilityFolderTest, EveryNameAndAreaIsFoundInItsNameIndex) {
  const auto& rows = Described().facilities;
  char msg[kMessageSize] = "";
  for (std::size_t k = 0; k < rows.size(); ++k) {
    CRecordList list;
    ASSERT_EQ(list.Create(16, 4, 16), 1);
    ASSERT_EQ(SearchNameIndexToList(&list, Path("名称.SIF").c_str(), Path("施設検索.NDB").c_str(),
                                    rows[k].name.c_str(), 2, 4, msg),
              1)
        << plat::cp932::ToUtf8Display(msg);
    const std::vector<uint32_t> found = ListIds(list);
    EXPECT_NE(std::find(found.begin(), found.end(), ids_[k]), found.end())
        << testutil::Show(rows[k].name);
  }
  // Every facility whose 行政名 begins with 京都府, and no other.
  CRecordList list;
  ASSERT_EQ(list.Create(16, 4, 16), 1);
  ASSERT_EQ(SearchNameIndexToList(&list, Path("行政.SIF").c_str(), Path("施設検索.NDB").c_str(),
                                  "京都府", 2, 1, msg),
            1);
  std::vector<uint32_t> found = ListIds(list);
  std::sort(found.begin(), found.end());
  std::vector<uint32_t> expected;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    if (rows[k].area.rfind("京都府", 0) == 0) expected.push_back(ids_[k]);
  }
  EXPECT_EQ(found, expected);
}

TEST_F(FacilityFolderTest, CategoryTreeLeavesAreRecordIdentifiers) {
  const TreePaths leaves = ReadTree("分類.TDB", "INDEX", 3);
  // Each record once, under its own three categories.
  std::map<uint32_t, std::vector<std::string>> byId;
  for (const auto& [names, id] : leaves) {
    EXPECT_TRUE(byId.emplace(id, names).second) << id;
  }
  const auto& rows = Described().facilities;
  ASSERT_EQ(byId.size(), rows.size());
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const std::vector<std::string> expected = {rows[k].major, rows[k].middle, rows[k].minor};
    EXPECT_EQ(byId[ids_[k]], expected) << testutil::Show(rows[k].name);
  }
}

TEST_F(FacilityFolderTest, ValueTreeHoldsEveryCategoryAndAreaOnce) {
  const TreePaths paths = ReadTree("施設検索.TDB", "STRING", 4);
  std::vector<std::vector<std::string>> found;
  for (const auto& p : paths) {
    if (p.first.size() == 4) found.push_back(p.first);
  }
  std::set<std::vector<std::string>> expected;
  for (const FacilityRow& r : Described().facilities) {
    expected.insert({r.major, r.middle, r.minor, r.area});
  }
  // In byte order, each once.
  EXPECT_EQ(found, std::vector<std::vector<std::string>>(expected.begin(), expected.end()));
}

TEST_F(FacilityFolderTest, GridIndexFindsWhatABruteForceScanFinds) {
  FacilityGridIndex index;
  ASSERT_EQ(index.Open(Path("範囲.NIB").c_str()), 1);
  ASSERT_EQ(index.AttachDatabase(&db_), 1);
  gridtest::ExpectFacilityFieldNames(index, kTdbDouble);
  // The cluster around 丸の内 makes at least one divided cell.
  bool divided = false;
  for (uint32_t n = 0; n < static_cast<uint32_t>(index.GetColumns() * index.GetRows()); ++n) {
    GridCell cell;
    ASSERT_EQ(index.ReadCell(kGridHeaderSize, n, &cell), 1);
    divided = divided || cell.kind == kGridCellDivided;
  }
  EXPECT_TRUE(divided);
  const auto& rows = Described().facilities;
  const GridRect area = index.GetArea();
  std::mt19937 random(31);
  std::uniform_real_distribution<double> u(0, 1);
  for (int k = 0; k < 200; ++k) {
    // Centres on facilities (dense places) or anywhere in the area.
    const FacilityRow& r = rows[static_cast<std::size_t>(k) % rows.size()];
    const double cx = k % 2 ? r.longitude : area.lowX + u(random) * (area.highX - area.lowX);
    const double cy = k % 2 ? r.latitude : area.lowY + u(random) * (area.highY - area.lowY);
    const double hw = u(random) * (k % 4 < 2 ? 20000 : 2000000);
    const double hh = u(random) * (k % 4 < 2 ? 20000 : 2000000);
    CRecordList list;
    ASSERT_EQ(list.Create(16, 4, 16), 1);
    ASSERT_EQ(
        FindFacilitiesInRange(&index, cx, cy, hw, hh, &list, index.GetColumns(), index.GetRows(),
                              index.GetCellWidth(), index.GetCellHeight(), area.lowX, area.lowY),
        1);
    std::vector<uint32_t> found = ListIds(list);
    std::sort(found.begin(), found.end());
    std::vector<uint32_t> expected;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (std::abs(rows[i].longitude - cx) <= hw && std::abs(rows[i].latitude - cy) <= hh) {
        expected.push_back(ids_[i]);
      }
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(found, expected) << k;
  }
}

TEST_F(FacilityFolderTest, ReplacementPairsAndPriorityTableReadBack) {
  CRecordList pairs;
  char msg[kMessageSize] = "";
  ASSERT_EQ(LoadFacilityReplacementDictionary(Path("施設置換.BIN").c_str(), &pairs, msg), 1)
      << plat::cp932::ToUtf8Display(msg);
  const auto& described = Described().pairs;
  ASSERT_EQ(pairs.GetCount(), described.size());
  for (uint32_t n = 1; n <= pairs.GetCount(); ++n) {
    const char* record = static_cast<const char*>(pairs.GetPtr(n));
    // {search text, replacement text, flag}: two texts of 256 bytes.
    EXPECT_STREQ(record, described[n - 1].search.c_str());
    EXPECT_STREQ(record + 256, described[n - 1].replacement.c_str());
  }
  std::string expected;
  for (const std::string& line : Described().priorityLines) expected += line + "\r\n";
  EXPECT_EQ(Bytes(Path("表示優先.tbl")), expected);
}

TEST_F(FacilityFolderTest, GenerationIsRepeatable) {
  testutil::TempDir dir;
  const std::string again = dir.path() + "\\施設";
  char msg[kMessageSize] = "";
  std::vector<uint32_t> ids;
  ASSERT_EQ(facilitydata::GenerateFacilityFolder(Described(), again, &ids, msg), 1)
      << plat::cp932::ToUtf8Display(msg);
  EXPECT_EQ(ids, ids_);
  for (const char* name : {"施設検索.NDB", "名称.SIF", "行政.SIF", "分類.TDB", "施設検索.TDB",
                           "範囲.NIB", "施設置換.BIN", "表示優先.tbl"}) {
    const std::string built = Bytes(Path(name));
    EXPECT_FALSE(built.empty()) << testutil::Show(name);
    EXPECT_TRUE(built == Bytes(again + "\\" + name)) << testutil::Show(name);
  }
}

}  // namespace
