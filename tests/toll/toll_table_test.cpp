// TOLL.DAT: builder-made files of format versions 33, 34 and 35 read back.

#include "toll/toll_table.h"

#include <gtest/gtest.h>

#include "common/be_bytes.h"
#include "support/test_util.h"
#include "toll/toll_facil.h"
#include "toll_test_util.h"

namespace {

using tollbuild::FeeList;
using tollbuild::TollDat;

FeeList OneRow(std::vector<int16_t> values, uint32_t flags = 0, uint8_t valueFlags = 1) {
  FeeList l;
  l.flags = flags;
  l.valueFlags = valueFlags;
  l.rowMask = 0x8000;
  l.rows = {std::move(values)};
  return l;
}

// A table with every block: lists 0-5 are the pairs of group 1 (four keys),
// list 6 a facility fee list with two rows, list 7 stored in tens.
TollDat FullSpec(int version) {
  TollDat t;
  t.version = version;
  t.day = 20150401;
  t.extra = 99;
  t.classByte = 0x5A;
  t.classes = {{3, 1}, {1, 0}, {0, 3}, {2, 2}};  // classes 0-3, in any order
  for (int16_t k = 0; k < 6; ++k) t.lists.push_back(OneRow({static_cast<int16_t>(1000 + k), 7}));
  FeeList two;
  two.flags = 0x01600000;  // rule group 1, items 2 and 3
  two.rowMask = 0xA000;    // rows of items 1 and 3
  two.rows = {{500, 600, 700}, {400, -32768, 650}};
  t.lists.push_back(two);
  t.lists.push_back(OneRow({85, -32768, 3276}, 0, 0));
  t.facilityFees = {{40, 7}, {12, 6}};
  tollbuild::Group empty;
  tollbuild::Group four;
  four.keys = {40, 10, 30, 20};  // written in ascending order
  // Pair (position i, position j) gets list X of the stated order.
  four.pairs = {{10, 40, 0}, {20, 40, 1}, {30, 40, 2}, {10, 30, 3}, {20, 30, 4}, {20, 10, 5}};
  t.groups = {empty, four};
  t.rules = {{1, 3, 0x8304, 0, 0, 255, 3, 0, 0}, {1, 2, 0xFF14, 0, 1024, 255, 255, 300, 0}};
  t.links = {{50, 21, 1, 1, 120, 0},
             {10, 12, 4, 0, 0, -1},
             {10, 12, 5, 2, 0x8000, 1},
             {12, 10, 4, 0, 0, -1}};
  t.names1 = {{1, 3, u"休日割引"}, {1, 2, u"深夜割引"}};
  t.names2 = {{1, 1, u"乗継"}};
  return t;
}

class TableVersions : public ::testing::TestWithParam<int> {
 protected:
  void Open(const TollDat& spec) {
    path_ = tolltest::WriteFile(dir_, "TOLL.DAT", tolltest::TollImage(spec));
    ASSERT_TRUE(table_.open(path_.c_str()));
    ASSERT_EQ(table_.readHeader(), 0);
  }
  testutil::TempDir dir_;
  std::string path_;
  TollTable table_;
};

TEST_P(TableVersions, HeaderAndClassMap) {
  Open(FullSpec(GetParam()));
  EXPECT_EQ(table_.formatVersion(), GetParam());
  EXPECT_EQ(table_.conversionDay(), 20150401u);
  EXPECT_EQ(table_.classByte(), 0x5A);
  EXPECT_EQ(table_.classColumn(3), 1);
  EXPECT_EQ(table_.classColumn(1), 0);
  EXPECT_EQ(table_.classColumn(0), 3);
  EXPECT_EQ(table_.classColumn(2), 2);
  EXPECT_EQ(table_.classColumn(4), 0);  // entries past the stored ones are cleared
  EXPECT_EQ(table_.classColumn(16), 0);
}

// Entries of a group of n = 4 lie from the last toll point down for the
// larger position, the smaller position upwards: (0,3)=0, (1,3)=1, (2,3)=2,
// (0,2)=3, (1,2)=4, (0,1)=5. Each pair reads the list it was given, both ways.
TEST_P(TableVersions, GroupPairsAreUnorderedAndIndexedAsStated) {
  Open(FullSpec(GetParam()));
  const int keys[4] = {10, 20, 30, 40};
  const int expected[4][4] = {{-1, 5, 3, 0}, {5, -1, 4, 1}, {3, 4, -1, 2}, {0, 1, 2, -1}};
  for (int a = 0; a < 4; ++a) {
    for (int b = 0; b < 4; ++b) {
      uint32_t offset = 0, words = 0;
      if (a == b) {
        EXPECT_FALSE(table_.groupFeeList(1, keys[a], keys[b], &offset, &words));
        continue;
      }
      ASSERT_TRUE(table_.groupFeeList(1, keys[a], keys[b], &offset, &words)) << a << "," << b;
      TollTable::FeeDataList list;
      ASSERT_TRUE(table_.readFeeList(offset, words, &list));
      int32_t v = 0;
      ASSERT_EQ(TollTable::feeValue(list, 1, 0, &v), 0);
      EXPECT_EQ(v, 1000 + expected[a][b]) << keys[a] << "-" << keys[b];
    }
  }
  uint32_t offset = 0, words = 0;
  EXPECT_FALSE(table_.groupFeeList(1, 10, 99, &offset, &words));   // key not in the group
  EXPECT_FALSE(table_.groupFeeList(0, 10, 20, &offset, &words));   // an empty group
  EXPECT_FALSE(table_.groupFeeList(2, 10, 20, &offset, &words));   // past the group count
  EXPECT_FALSE(table_.groupFeeList(-1, 10, 20, &offset, &words));  // a group of 255 in FACIL.DAT
}

TEST_P(TableVersions, FeeListRowsMasksAndValueScaling) {
  Open(FullSpec(GetParam()));
  uint32_t offset = 0, words = 0;
  ASSERT_TRUE(table_.facilityFeeList(12, &offset, &words));
  EXPECT_EQ(words, 10u);  // 8 head bytes + 6 values: 20 bytes
  TollTable::FeeDataList list;
  ASSERT_TRUE(table_.readFeeList(offset, words, &list));
  EXPECT_EQ(list.group(), 1);
  EXPECT_EQ(list.items, (std::vector<uint8_t>{2, 3}));
  EXPECT_EQ(list.rowCount, 2);
  EXPECT_EQ(list.rowLength, 3);
  int32_t v = 0;
  ASSERT_EQ(TollTable::feeValue(list, 1, 2, &v), 0);
  EXPECT_EQ(v, 700);
  ASSERT_EQ(TollTable::feeValue(list, 3, 0, &v), 0);  // item 3 is the second row
  EXPECT_EQ(v, 400);
  ASSERT_EQ(TollTable::feeValue(list, 3, 1, &v), 0);  // -32768 stands for 0
  EXPECT_EQ(v, 0);
  EXPECT_EQ(TollTable::feeValue(list, 2, 0, &v), TollTable::kNoValue);  // no row for item 2
  EXPECT_EQ(TollTable::feeValue(list, 0, 0, &v), TollTable::kNoValue);
  EXPECT_EQ(TollTable::feeValue(list, 1, 3, &v), TollTable::kNoValue);  // past the row
  ASSERT_EQ(TollTable::feeValue(list, -1, 4, &v), 0);  // a plain index into all values
  EXPECT_EQ(v, 0);
  ASSERT_EQ(TollTable::feeValue(list, -1, 5, &v), 0);
  EXPECT_EQ(v, 650);
  EXPECT_EQ(TollTable::feeValue(list, -1, 6, &v), TollTable::kNoValue);

  // Value flags bit 0 clear: ten times the stored values, -32768 still 0.
  ASSERT_TRUE(table_.facilityFeeList(40, &offset, &words));
  ASSERT_TRUE(table_.readFeeList(offset, words, &list));
  ASSERT_EQ(TollTable::feeValue(list, 1, 0, &v), 0);
  EXPECT_EQ(v, 850);
  ASSERT_EQ(TollTable::feeValue(list, 1, 1, &v), 0);
  EXPECT_EQ(v, 0);
  ASSERT_EQ(TollTable::feeValue(list, 1, 2, &v), 0);
  EXPECT_EQ(v, 32760);
  EXPECT_FALSE(table_.facilityFeeList(13, &offset, &words));
  EXPECT_FALSE(table_.readFeeList(offset, 0, &list));  // length 0
}

// A fee list that says it has no rows is refused instead of dividing its
// values among zero rows.
TEST_P(TableVersions, FeeListWithoutRowsIsRefused) {
  TollDat spec = FullSpec(GetParam());
  FeeList none;
  none.rowMask = 0x8000;
  spec.lists.push_back(none);  // head only: row count 0
  spec.facilityFees.push_back({90, static_cast<int>(spec.lists.size()) - 1});
  Open(spec);
  uint32_t offset = 0, words = 0;
  ASSERT_TRUE(table_.facilityFeeList(90, &offset, &words));
  EXPECT_EQ(words, 4u);
  TollTable::FeeDataList list;
  EXPECT_FALSE(table_.readFeeList(offset, words, &list));
}

TEST_P(TableVersions, MaskWithoutItemOneHasNoUndiscountedFee) {
  TollDat spec = FullSpec(GetParam());
  FeeList l;
  l.rowMask = 0x4000;  // item 2 only
  l.rows = {{300, 310}};
  spec.lists.push_back(l);
  FeeList shared = OneRow({900, 910}, 0x02400001);  // bit 0: one row serves every item
  shared.rowMask = 0xC000;
  shared.rows = {{900, 910}, {800, 810}};
  spec.lists.push_back(shared);
  spec.facilityFees.push_back({77, 8});
  spec.facilityFees.push_back({78, 9});
  Open(spec);
  uint32_t offset = 0, words = 0;
  TollTable::FeeDataList list;
  ASSERT_TRUE(table_.facilityFeeList(77, &offset, &words));
  ASSERT_TRUE(table_.readFeeList(offset, words, &list));
  int32_t v = 0;
  EXPECT_EQ(TollTable::feeValue(list, 1, 0, &v), TollTable::kNoValue);
  ASSERT_EQ(TollTable::feeValue(list, 2, 1, &v), 0);
  EXPECT_EQ(v, 310);
  // With flags bit 0 every present item reads the first row.
  ASSERT_TRUE(table_.facilityFeeList(78, &offset, &words));
  ASSERT_TRUE(table_.readFeeList(offset, words, &list));
  EXPECT_EQ(list.items, (std::vector<uint8_t>{2, 24}));
  ASSERT_EQ(TollTable::feeValue(list, 2, 1, &v), 0);
  EXPECT_EQ(v, 910);
}

TEST_P(TableVersions, RulesLinksAndBothNameTables) {
  Open(FullSpec(GetParam()));
  TollDiscountRule rule;
  int index = -1;
  ASSERT_TRUE(table_.findRule(1, 3, &rule, &index));
  EXPECT_EQ(index, 1);  // sorted by key: (1,2) then (1,3)
  EXPECT_EQ(rule.dayWord, 0x8304);
  EXPECT_EQ(rule.q, 3);
  EXPECT_EQ(rule.p, 255);
  ASSERT_TRUE(table_.findRule(1, 2, &rule, &index));
  EXPECT_EQ(index, 0);
  EXPECT_EQ(rule.windowEnd, 1024);
  EXPECT_EQ(rule.rate, 300);
  EXPECT_EQ(rule.key(), 0x102);
  EXPECT_FALSE(table_.findRule(1, 4, &rule));
  EXPECT_FALSE(table_.findRule(0, 3, &rule));

  EXPECT_EQ(table_.linkCount(), 4);
  const auto pair = table_.linksOf(10, 12);
  ASSERT_EQ(pair.size(), 2u);
  EXPECT_EQ(pair[0].kind, 4);  // file order kept for equal keys
  EXPECT_EQ(pair[1].kind, 5);
  EXPECT_EQ(pair[1].timeWord, 0x8000);
  EXPECT_EQ(table_.linksOf(10, 12, 5).size(), 1u);
  EXPECT_TRUE(table_.linksOf(12, 50).empty());
  const auto touching = table_.linksTouching(12);
  ASSERT_EQ(touching.size(), 3u);
  EXPECT_EQ(touching[2].first, 12);
  const auto transit = table_.linksOf(50, 21, 1);
  ASSERT_EQ(transit.size(), 1u);
  EXPECT_EQ(transit[0].timeWord, 120);
  TollTable::FeeDataList list;
  ASSERT_TRUE(table_.readFeeList(transit[0].listOffset, transit[0].listWords, &list));
  EXPECT_EQ(list.values.front(), 1000);

  std::string name;
  ASSERT_TRUE(table_.discountName(1, 1, 2, &name));
  EXPECT_EQ(name, std::string("深夜割引"));
  ASSERT_TRUE(table_.discountName(1, 1, 3, &name));
  EXPECT_EQ(name, std::string("休日割引"));
  ASSERT_TRUE(table_.discountName(2, 1, 1, &name));
  EXPECT_EQ(name, std::string("乗継"));
  EXPECT_FALSE(table_.discountName(2, 1, 2, &name));
  EXPECT_FALSE(table_.discountName(1, 0, 0, &name));
}

TEST_P(TableVersions, WithoutTheRuleBlockThereAreNoRulesAndNoFirstNames) {
  TollDat spec = FullSpec(GetParam());
  spec.ruleBlock = false;
  Open(spec);
  TollDiscountRule rule;
  EXPECT_FALSE(table_.findRule(1, 2, &rule));
  std::string name;
  EXPECT_FALSE(table_.discountName(1, 1, 2, &name));
  ASSERT_TRUE(table_.discountName(2, 1, 1, &name));  // the link block still has its names
  EXPECT_EQ(table_.linkCount(), 4);
  spec.linkBlock = false;
  TollTable bare;
  const std::string path = tolltest::WriteFile(dir_, "BARE.DAT", tolltest::TollImage(spec));
  ASSERT_TRUE(bare.open(path.c_str()));
  ASSERT_EQ(bare.readHeader(), 0);
  EXPECT_EQ(bare.linkCount(), 0);
  EXPECT_FALSE(bare.discountName(2, 1, 1, &name));
  uint32_t offset = 0, words = 0;
  EXPECT_TRUE(bare.facilityFeeList(12, &offset, &words));
}

TEST_P(TableVersions, AClassBlockOfSeventeenEntriesIsRefused) {
  TollDat spec = FullSpec(GetParam());
  spec.classes.clear();
  for (uint8_t k = 0; k < 17; ++k) spec.classes.emplace_back(static_cast<uint8_t>(k & 15), 0);
  path_ = tolltest::WriteFile(dir_, "TOLL.DAT", tolltest::TollImage(spec));
  ASSERT_TRUE(table_.open(path_.c_str()));
  EXPECT_EQ(table_.readHeader(), TollTable::kBadHeader);
  spec.classes.pop_back();  // 16 entries are fine
  TollTable sixteen;
  const std::string path = tolltest::WriteFile(dir_, "T16.DAT", tolltest::TollImage(spec));
  ASSERT_TRUE(sixteen.open(path.c_str()));
  EXPECT_EQ(sixteen.readHeader(), 0);
}

INSTANTIATE_TEST_SUITE_P(Versions, TableVersions, ::testing::Values(33, 34, 35));

TEST(TableFormat, Version35ShiftsTheFieldsFromOffset12ByFour) {
  const std::string v34 = tolltest::TollImage(FullSpec(34));
  const std::string v35 = tolltest::TollImage(FullSpec(35));
  const auto* a = reinterpret_cast<const unsigned char*>(v34.data());
  const auto* b = reinterpret_cast<const unsigned char*>(v35.data());
  EXPECT_EQ(LoadBe(b + 12, 4), 99u);
  EXPECT_EQ(b[28], 0xC0);  // table flags at 24 + 4
  EXPECT_EQ(a[24], 0xC0);
  // Every table lies 4 bytes (2 words) later.
  for (int field : {12, 16, 26, 30, 34, 38})
    EXPECT_EQ(LoadBe(b + field + 4, 2), LoadBe(a + field, 2) + 2) << field;
  EXPECT_EQ(LoadBe(b + 24, 4), LoadBe(a + 20, 4) + 2);
}

TEST(TableFormat, CheckTollDataComparesVersionsAndDays) {
  testutil::TempDir dir;
  tollbuild::FacilDat facil;
  facil.version = 35;
  facil.day = 20150401;
  const std::string facilPath = tolltest::WriteFile(dir, "FACIL.DAT", tolltest::FacilImage(facil));
  auto check = [&](int version, uint32_t day) {
    TollDat t = FullSpec(version);
    t.day = day;
    const std::string p = tolltest::WriteFile(dir, "TOLL.DAT", tolltest::TollImage(t));
    TollTable table;
    TollFacil f;
    EXPECT_TRUE(table.open(p.c_str()));
    EXPECT_TRUE(f.open(facilPath.c_str()));
    return CheckTollData(table, f);
  };
  EXPECT_EQ(check(35, 20150401), 0);
  EXPECT_EQ(check(34, 20150401), -25);
  EXPECT_EQ(check(35, 20150402), -26);
  EXPECT_EQ(check(33, 20150402), -25);  // the version is compared first
}

TEST(TableFormat, TruncatedHeadersAndTablesAreRefused) {
  const std::string image = tolltest::TollImage(FullSpec(35));
  testutil::TempDir dir;
  // Header, class block and table counts lie in the first bytes; cutting
  // before the last count gives the header failure.
  const std::size_t names2 =
      2 * LoadBe(reinterpret_cast<const unsigned char*>(image.data()) + 42, 2);
  for (std::size_t cut :
       {std::size_t{0}, std::size_t{3}, std::size_t{20}, std::size_t{40}, names2 + 1}) {
    const std::string path = tolltest::WriteFile(dir, "T.DAT", image.substr(0, cut));
    TollTable t;
    ASSERT_TRUE(t.open(path.c_str()));
    EXPECT_EQ(t.readHeader(), TollTable::kBadHeader) << cut;
  }
  // Cut in the fee data area: the header reads, the last list does not.
  const std::string path = tolltest::WriteFile(dir, "T.DAT", image.substr(0, image.size() - 2));
  TollTable t;
  ASSERT_TRUE(t.open(path.c_str()));
  ASSERT_EQ(t.readHeader(), 0);
  uint32_t offset = 0, words = 0;
  ASSERT_TRUE(t.facilityFeeList(40, &offset, &words));  // list 7 is the last one
  TollTable::FeeDataList list;
  EXPECT_FALSE(t.readFeeList(offset, words, &list));
}

}  // namespace
