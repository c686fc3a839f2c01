#include "tabledb/table_sorter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/le_bytes.h"
#include "common/sjis_text.h"
#include "support/test_util.h"
#include "table_fixture.h"
#include "tabledb/data_source.h"
#include "tabledb/table_database.h"
#include "tabledb/tag_db.h"

using tabletest::AddTable;
using tabletest::AddTextRecord;
using tabletest::Slots;
using testutil::Sjis;
using testutil::TempDir;

namespace {

class SorterTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(db_.Create(dir_.Sys("QVAD13.NDB").c_str()), 1); }

  // Sets the sorter up on the table over a fresh memory source and adds
  // the keys (field, direction).
  bool Prepare(CTableSorter& sorter, const char* table,
               std::initializer_list<std::pair<const char*, int16_t>> keys, int blockMode = 0) {
    if (!source_.CreateMemory(16, 16) || !sorter.Setup(&source_, &db_, table, 4)) return false;
    sorter.SetBlockNumberMode(blockMode);
    for (const auto& key : keys) {
      if (sorter.AddKey(key.first, key.second) == 0) return false;
    }
    return true;
  }

  // Builds; the slots of the array.
  std::vector<uint32_t> Sorted(CTableSorter& sorter, int expectedResult = 1) {
    uint32_t start = 0;
    uint32_t count = 0;
    EXPECT_EQ(sorter.Build(&start, &count), expectedResult);
    std::vector<uint32_t> slots;
    for (uint32_t i = 1; i <= count; ++i) slots.push_back(sorter.GetPositionAt(i));
    return slots;
  }

  TempDir dir_;
  CTableDatabase db_;
  CDataSource source_;
};

// One generated row of a TC_Oaza-like table.
struct OazaRow {
  std::string city;
  std::string place;
  std::string group;
  std::string name;
};

std::vector<OazaRow> MakeOazaRows(int n) {
  uint32_t seed = 20240601;
  auto next = [&seed](uint32_t range) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % range;
  };
  const char* cities[] = {"13101", "13102", "13103", "13104", "13105", "13113", "13201"};
  const char8_t* names[] = {u8"丸の内", u8"大手町", u8"有楽町", u8"霞が関", u8"日本橋",
                            u8"銀座",   u8"築地",   u8"Ｋ町",   u8"ｶﾅ町",   u8"港南"};
  std::vector<OazaRow> rows;
  for (int i = 0; i < n; ++i) {
    OazaRow row;
    row.city = cities[next(7)];
    const uint32_t oaza = 1 + next(30);
    const uint32_t aza = next(6);
    char code[16];
    std::snprintf(code, sizeof code, "%s%03u%03u", row.city.c_str(), oaza, aza);
    row.place = code;
    std::snprintf(code, sizeof code, "%s%02u", row.city.c_str(), oaza % 12);
    row.group = code;
    row.name = Sjis(names[next(10)]);
    rows.push_back(row);
  }
  // An oaza without chome: its placeholder chome row shares the code.
  rows.push_back(rows[7]);
  return rows;
}

}  // namespace

// ---- Code index files ----

TEST_F(SorterTest, CodeIndexFilesHoldEveryRecordInKeyOrder) {
  ASSERT_TRUE(AddTable(db_, "TC_Oaza",
                       {{"行政JISコード", kTdbString},
                        {"地名コード", kTdbString},
                        {"グループコード", kTdbString},
                        {"正規大字通称名", kTdbString},
                        {"緯度", kTdbInt}}));
  const std::vector<const char*> fields = {"行政JISコード", "地名コード", "グループコード",
                                           "正規大字通称名"};
  const std::vector<OazaRow> rows = MakeOazaRows(300);
  std::vector<uint32_t> records;
  for (const OazaRow& row : rows) {
    records.push_back(
        AddTextRecord(db_, "TC_Oaza", fields, {row.city, row.place, row.group, row.name}));
    ASSERT_NE(records.back(), 0u);
  }
  std::sort(records.begin(), records.end());

  const struct {
    const char* field;
    const char* file;
  } indexes[] = {{"地名コード", "QVAD13_CD3.INX"},
                 {"行政JISコード", "QVAD13_CD5.INX"},
                 {"グループコード", "QVAD13_CDG.INX"},
                 {"正規大字通称名", "names.inx"}};
  for (const auto& index : indexes) {
    SCOPED_TRACE(index.file);
    uint32_t count = 0;
    ASSERT_EQ(
        BuildSortedPositionFile(&db_, "TC_Oaza", index.field, dir_.Sys(index.file).c_str(), &count),
        1);
    EXPECT_EQ(count, rows.size());
    const std::string bytes = testutil::ReadBytes(dir_.Native(index.file));
    ASSERT_EQ(bytes.size(), 4 * rows.size());
    const std::vector<uint32_t> slots = Slots(bytes);

    std::vector<uint32_t> placed = slots;
    std::sort(placed.begin(), placed.end());
    EXPECT_EQ(placed, records);  // every record exactly once

    std::vector<std::string> texts;
    for (uint32_t slot : slots) texts.push_back(tabletest::Text(db_, slot, "TC_Oaza", index.field));
    for (std::size_t i = 1; i < texts.size(); ++i) {
      EXPECT_LE(CompareStrings(texts[i - 1].c_str(), texts[i].c_str()), 0)
          << i << ": " << testutil::Show(texts[i - 1]) << " > " << testutil::Show(texts[i]);
    }
    // std::string orders by unsigned bytes, as the index readers do.
    std::vector<std::string> reference = texts;
    std::sort(reference.begin(), reference.end());
    EXPECT_EQ(texts, reference);

    // The same build again gives the same bytes.
    ASSERT_EQ(BuildSortedPositionFile(&db_, "TC_Oaza", index.field, dir_.Sys("again.inx").c_str(),
                                      nullptr),
              1);
    EXPECT_EQ(testutil::ReadBytes(dir_.Native("again.inx")), bytes);
  }
}

TEST_F(SorterTest, PositionFileOfOneOrNoRecords) {
  ASSERT_TRUE(AddTable(db_, "T", {{"K", kTdbString}}));
  ASSERT_TRUE(AddTable(db_, "Empty", {{"K", kTdbString}}));
  const uint32_t only = AddTextRecord(db_, "T", {"K"}, {"x"});
  uint32_t count = 9;
  ASSERT_EQ(BuildSortedPositionFile(&db_, "T", "K", dir_.Sys("one.inx").c_str(), &count), 1);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(Slots(testutil::ReadBytes(dir_.Native("one.inx"))), std::vector<uint32_t>{only});

  ASSERT_EQ(BuildSortedPositionFile(&db_, "Empty", "K", dir_.Sys("none.inx").c_str(), &count), 1);
  EXPECT_EQ(count, 0u);
  EXPECT_TRUE(testutil::Exists(dir_.Native("none.inx")));
  EXPECT_EQ(testutil::ReadBytes(dir_.Native("none.inx")), "");

  EXPECT_EQ(BuildSortedPositionFile(&db_, "T", "Missing", dir_.Sys("bad.inx").c_str(), &count), 0);
  EXPECT_EQ(BuildSortedPositionFile(&db_, "Nope", "K", dir_.Sys("bad.inx").c_str(), &count), 0);
  EXPECT_FALSE(testutil::Exists(dir_.Native("bad.inx")));
}

// ---- Order of the sort ----

TEST_F(SorterTest, EqualKeysComeOutInTheOrderOfThePartitionScheme) {
  ASSERT_TRUE(AddTable(db_, "T", {{"K", kTdbString}}));
  std::vector<uint32_t> r;
  for (const char* key : {"b", "a", "b", "a", "b"})
    r.push_back(AddTextRecord(db_, "T", {"K"}, {key}));
  CTableSorter sorter;
  ASSERT_TRUE(Prepare(sorter, "T", {{"K", kSortAscending}}));
  // Worked by hand: the pivot b (element 3) swaps 1<->5 and 3<->4, giving
  // (5,2,4) and (3,1); the pivot a of the first swaps 1<->3.
  EXPECT_EQ(Sorted(sorter), (std::vector<uint32_t>{r[3], r[1], r[4], r[2], r[0]}));
}

TEST_F(SorterTest, IntegerKeysOrderByValueInEitherDirection) {
  const struct {
    const char* field;
    int32_t type;
    uint32_t size;
    uint64_t big;  // the larger value's little-endian bytes
    uint64_t small;
  } fields[] = {{"U", kTdbUchar, 1, 255, 1},        {"C", kTdbChar, 1, 1, 0xFF},        // 1 > -1
                {"W", kTdbWord, 2, 65535, 2},       {"S", kTdbShort, 2, 200, 0xFED4},   // -300
                {"D", kTdbDword, 4, 0xFFFFFFFF, 1}, {"I", kTdbInt, 4, 3, 0xFFFFFFFB}};  // -5
  ASSERT_EQ(db_.CreateTable("T"), 256u);
  for (const auto& f : fields) ASSERT_NE(db_.AddField("T", f.field, f.type, 0, "", "", 0, 0), 0u);
  ASSERT_EQ(db_.UpdateMaxRecordSize(), 1);
  const uint32_t big = db_.AddRecord("T");
  const uint32_t small = db_.AddRecord("T");
  uint32_t offset = 1;
  for (const auto& f : fields) {
    unsigned char bytes[8];
    StoreLe(bytes, f.big, 8);
    ASSERT_EQ(db_.WriteRecordBytes(big, offset, f.size, bytes), 1);
    StoreLe(bytes, f.small, 8);
    ASSERT_EQ(db_.WriteRecordBytes(small, offset, f.size, bytes), 1);
    offset += f.size;
  }
  for (const auto& f : fields) {
    for (int16_t direction : {kSortAscending, kSortDescending, int16_t{0}}) {
      SCOPED_TRACE(std::string(f.field) + " direction " + std::to_string(direction));
      CTableSorter sorter;
      ASSERT_TRUE(Prepare(sorter, "T", {{f.field, direction}}));
      const std::vector<uint32_t> expected = direction == kSortAscending
                                                 ? std::vector<uint32_t>{small, big}
                                                 : std::vector<uint32_t>{big, small};
      EXPECT_EQ(Sorted(sorter), expected);
    }
  }
}

TEST_F(SorterTest, LaterKeysDecideTiesAndNearDoublesAreEqual) {
  ASSERT_TRUE(AddTable(db_, "T", {{"D", kTdbDouble}, {"S", kTdbString}, {"I", kTdbInt}}));
  const struct {
    double d;
    const char* s;
    int32_t i;
  } rows[] = {{1.000000001, "b", 1},
              {1.000000002, "a", 2},
              {0.5, "z", 3},
              {0.9999, "a", 4},
              {1.0000000015, "a", 9}};
  std::vector<uint32_t> r;
  for (const auto& row : rows) {
    r.push_back(db_.AddRecord("T"));
    ASSERT_EQ(db_.SetDouble(r.back(), "T", "D", row.d), 1);
    ASSERT_EQ(db_.SetString(r.back(), "T", "S", row.s), 1);
    ASSERT_EQ(db_.SetInt(r.back(), "T", "I", row.i), 1);
  }
  CTableSorter sorter;
  ASSERT_TRUE(
      Prepare(sorter, "T", {{"D", kSortAscending}, {"S", kSortAscending}, {"I", kSortDescending}}));
  // The three values near 1 lie within 1e-8 of each other and count as
  // equal: S orders them, and I (descending) the two with S "a".
  EXPECT_EQ(Sorted(sorter), (std::vector<uint32_t>{r[2], r[3], r[4], r[1], r[0]}));
}

TEST_F(SorterTest, BlockNumbersOrderByPaddedFullWidthDigits) {
  const std::vector<const char*> fields = {"地名コード", "街区番号コード", "街区番号"};
  const struct {
    const char8_t* number;
    const char* code;
  } blocks[] = {{u8"１２", "00012"}, {u8"12a", "00012"}, {u8"", "5"}, {u8"３", "00003"}};
  const struct {
    const char* table;
    int mode;
    std::vector<int> order;  // indexes into blocks
  } cases[] = {
      // ３ and the code 5 (as ５) are padded to 20 bytes like １２, and so
      // sort before it; 12a is compared as it stands.
      {"TC_Gaiku", 1, {1, 3, 2, 0}},
      {"TC_Gaiku", 0, {2, 1, 0, 3}},   // plain byte order
      {"TC_Gaiku2", 1, {2, 1, 0, 3}},  // only the block table has block numbers
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.table) + " mode " + std::to_string(c.mode));
    if (db_.FindTable(c.table) == 0) {
      ASSERT_TRUE(AddTable(
          db_, c.table,
          {{"地名コード", kTdbString}, {"街区番号コード", kTdbString}, {"街区番号", kTdbString}}));
      for (const auto& b : blocks) {
        ASSERT_NE(AddTextRecord(db_, c.table, fields, {"13101001001", b.code, Sjis(b.number)}), 0u);
      }
    }
    CTableSorter all;
    ASSERT_TRUE(Prepare(all, c.table, {}));
    const std::vector<uint32_t> records = Sorted(all);  // no key: chain order
    ASSERT_EQ(records.size(), 4u);
    CTableSorter sorter;
    ASSERT_TRUE(Prepare(sorter, c.table, {{"街区番号", kSortAscending}}, c.mode));
    std::vector<uint32_t> expected;
    for (int i : c.order) expected.push_back(records[i]);
    EXPECT_EQ(Sorted(sorter), expected);
  }
}

TEST_F(SorterTest, BlockNumberKeyNeedsTheCodeField) {
  ASSERT_TRUE(AddTable(db_, "TC_Gaiku", {{"街区番号", kTdbString}}));
  CTableSorter sorter;
  ASSERT_TRUE(Prepare(sorter, "TC_Gaiku", {}, 1));
  EXPECT_EQ(sorter.AddKey("街区番号", kSortAscending), 0);
  sorter.SetBlockNumberMode(0);
  EXPECT_NE(sorter.AddKey("街区番号", kSortAscending), 0);
}

// ---- Set-up, keys and positions ----

TEST_F(SorterTest, SetupNeedsEveryArgumentAndAnExistingTable) {
  ASSERT_TRUE(AddTable(db_, "T", {{"K", kTdbString}}));
  ASSERT_EQ(source_.CreateMemory(16, 16), 1);
  CTableSorter sorter;
  EXPECT_EQ(sorter.Setup(nullptr, &db_, "T", 1), 0);
  EXPECT_EQ(sorter.Setup(&source_, nullptr, "T", 1), 0);
  EXPECT_EQ(sorter.Setup(&source_, &db_, nullptr, 1), 0);
  EXPECT_EQ(sorter.Setup(&source_, &db_, "T", 0), 0);
  EXPECT_EQ(sorter.Setup(&source_, &db_, "U", 1), 0);
  EXPECT_EQ(sorter.AddKey("K", kSortAscending), 0);
  EXPECT_EQ(sorter.Build(nullptr, nullptr), 0);
  ASSERT_EQ(sorter.Setup(&source_, &db_, "T", 1), 1);
  EXPECT_EQ(sorter.AddKey("Missing", kSortAscending), 0);
}

TEST_F(SorterTest, RefusedKeyIsNotKept) {
  ASSERT_TRUE(
      AddTable(db_, "T", {{"S", kTdbString}, {"F", kTdbFloat}, {"Q", 2006}, {"I", kTdbInt}}));
  CTableSorter sorter;
  ASSERT_TRUE(Prepare(sorter, "T", {}));
  const int32_t first = sorter.AddKey("S", kSortAscending);
  ASSERT_NE(first, 0);
  EXPECT_EQ(sorter.AddKey("F", kSortAscending), 0);
  EXPECT_EQ(sorter.AddKey("Q", kSortAscending), 0);
  EXPECT_EQ(sorter.GetLastKey(), first);
  EXPECT_EQ(sorter.GetNextKey(first), 0);
  const int32_t second = sorter.AddKey("I", kSortDescending);
  ASSERT_NE(second, 0);
  EXPECT_EQ(sorter.GetNextKey(first), second);

  TableSortKey key;
  ASSERT_EQ(sorter.GetKey(second, &key), 1);
  EXPECT_STREQ(key.field, "I");
  EXPECT_EQ(key.type, kTdbInt);
  EXPECT_EQ(key.offset, 25u);  // S 4 + F 4 + Q 16 bytes before it
  EXPECT_EQ(key.direction, kSortDescending);
  EXPECT_EQ(key.codeOffset, -1);
  key.direction = kSortAscending;
  ASSERT_EQ(sorter.SetKey(second, key), 1);
  ASSERT_EQ(sorter.GetKey(second, &key), 1);
  EXPECT_EQ(key.direction, kSortAscending);
  sorter.ResetKeys();
  EXPECT_EQ(sorter.GetFirstKey(), 0);
}

TEST_F(SorterTest, ReadFailureDuringComparisonFailsTheBuild) {
  ASSERT_TRUE(AddTable(db_, "T", {{"K", kTdbString}}));
  std::vector<uint32_t> r;
  for (const char* key : {"c", "a", "b"}) r.push_back(AddTextRecord(db_, "T", {"K"}, {key}));
  // The text of the second record now lies far beyond the end of the file.
  ASSERT_EQ(db_.SetDwordAt(r[1], 1, 0x7FFFFF00u), 1);
  CTableSorter sorter;
  ASSERT_TRUE(Prepare(sorter, "T", {{"K", kSortAscending}}));
  EXPECT_EQ(sorter.Build(nullptr, nullptr), 0);
  EXPECT_EQ(BuildSortedPositionFile(&db_, "T", "K", dir_.Sys("f.inx").c_str(), nullptr), 0);
  EXPECT_FALSE(testutil::Exists(dir_.Native("f.inx")));
}

TEST_F(SorterTest, ArrayStartsAtTheSourcePosition) {
  ASSERT_TRUE(AddTable(db_, "T", {{"K", kTdbString}}));
  const uint32_t b = AddTextRecord(db_, "T", {"K"}, {"b"});
  const uint32_t a = AddTextRecord(db_, "T", {"K"}, {"a"});
  ASSERT_EQ(source_.CreateMemory(4, 4), 1);
  ASSERT_EQ(source_.Write("12345678", 8), 1);
  CTableSorter sorter;
  ASSERT_EQ(sorter.Setup(&source_, &db_, "T", 1), 1);
  ASSERT_NE(sorter.AddKey("K", kSortAscending), 0);
  uint32_t start = 0;
  uint32_t count = 0;
  ASSERT_EQ(sorter.Build(&start, &count), 1);
  EXPECT_EQ(start, 8u);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(sorter.GetPositionAt(1), a);
  EXPECT_EQ(sorter.GetPositionAt(2), b);
  EXPECT_EQ(sorter.GetPositionAt(0), 0u);
  EXPECT_EQ(sorter.GetPositionAt(3), 0u);  // outside the source
  EXPECT_EQ(source_.GetSize(), 16u);
}

// ---- Tree export ----

namespace {

// The tree under node as "name{child,child}"; a leaf of a record tree (a
// node without name whose value is set) shows as "#value".
std::string Dump(CTagDb& tree, uint32_t node) {
  char name[256];
  TagNode record;
  if (!tree.GetName(node, name, sizeof name, &record)) return "<bad>";
  std::string out = record.name == 0 ? "#" + std::to_string(record.value) : std::string(name);
  if (record.firstChild != 0) {
    out += "{";
    for (uint32_t child = record.firstChild; child != 0;) {
      if (child != record.firstChild) out += ",";
      out += Dump(tree, child);
      TagNode c;
      if (!tree.ReadNode(child, &c)) return "<bad>";
      child = c.next;
    }
    out += "}";
  }
  return out;
}

}  // namespace

TEST_F(SorterTest, ValueTreeHoldsTheDistinctKeysLevelByLevel) {
  ASSERT_TRUE(AddTable(db_, "T", {{"A", kTdbString}, {"B", kTdbString}}));
  for (auto row : {std::vector<std::string>{"y", "1"}, {"x", "2"}, {"x", "1"}, {"x", "1"}}) {
    ASSERT_NE(AddTextRecord(db_, "T", {"A", "B"}, row), 0u);
  }
  CTableSorter sorter;
  ASSERT_TRUE(Prepare(sorter, "T", {{"A", kSortAscending}, {"B", kSortAscending}}));
  ASSERT_EQ(sorter.Build(nullptr, nullptr), 1);
  CTagDb tree;
  ASSERT_EQ(tree.Create(dir_.Sys("keys.tdb").c_str()), 1);
  ASSERT_EQ(sorter.ExportValueTree(&tree, kTagTopLevel), 1);
  tree.Close();
  ASSERT_EQ(tree.Open(dir_.Sys("keys.tdb").c_str()), 1);
  EXPECT_EQ(Dump(tree, tree.GetFirstTopNode()), "CDB_TREE_STR{FIELD{A,B},STRING{x{1,2},y{1}}}");
}

TEST_F(SorterTest, RecordLeafHoldsRecordHeaderPosition) {
  ASSERT_TRUE(AddTable(db_, "T", {{"A", kTdbString}, {"B", kTdbString}}));
  std::vector<uint32_t> r;
  for (auto row : {std::vector<std::string>{"y", "1"}, {"x", "2"}, {"x", "1"}}) {
    r.push_back(AddTextRecord(db_, "T", {"A", "B"}, row));
  }
  CTableSorter sorter;
  ASSERT_TRUE(Prepare(sorter, "T", {{"A", kSortAscending}, {"B", kSortAscending}}));
  ASSERT_EQ(sorter.Build(nullptr, nullptr), 1);

  // Under a root of the caller's, as the facility category file has it.
  CTagDb tree;
  ASSERT_EQ(tree.Create(dir_.Sys("records.tdb").c_str()), 1);
  const uint32_t root = tree.AddNamedChild(kTagTopLevel, "ROOT");
  ASSERT_EQ(sorter.ExportRecordTree(&tree, root), 1);
  const std::string expected = "ROOT{CDB_TREE_INX{FIELD{A,B},INDEX{x{1{#" + std::to_string(r[2]) +
                               "},2{#" + std::to_string(r[1]) + "}},y{1{#" + std::to_string(r[0]) +
                               "}}}}}";
  EXPECT_EQ(Dump(tree, tree.GetFirstTopNode()), expected);
}

TEST_F(SorterTest, ExportNeedsStringKeys) {
  ASSERT_TRUE(AddTable(db_, "T", {{"A", kTdbString}, {"I", kTdbInt}}));
  ASSERT_NE(AddTextRecord(db_, "T", {"A"}, {"x"}), 0u);
  CTableSorter sorter;
  ASSERT_TRUE(Prepare(sorter, "T", {{"A", kSortAscending}, {"I", kSortAscending}}));
  ASSERT_EQ(sorter.Build(nullptr, nullptr), 1);
  CTagDb tree;
  ASSERT_EQ(tree.Create(dir_.Sys("t.tdb").c_str()), 1);
  EXPECT_EQ(sorter.ExportValueTree(&tree, kTagTopLevel), 0);
  EXPECT_EQ(tree.GetFirstTopNode(), 0u);  // nothing written
  CTagDb closed;
  EXPECT_EQ(sorter.ExportRecordTree(&closed, kTagTopLevel), 0);
}
