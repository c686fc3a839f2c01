#include "tabledb/record_index_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/le_bytes.h"
#include "support/test_util.h"
#include "table_fixture.h"
#include "tabledb/table_database.h"

using tabletest::AddTable;
using tabletest::AddTextRecord;
using testutil::Sjis;
using testutil::TempDir;

namespace {

uint32_t U32(const std::string& bytes, std::size_t at) {
  return static_cast<uint32_t>(
      LoadLe(reinterpret_cast<const unsigned char*>(bytes.data()) + at, 4));
}

class RecordIndexTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(db_.Create(dir_.Sys("db.ndb").c_str()), 1); }
  std::string Path() const { return dir_.Sys("index.idx"); }
  std::string Bytes() const { return testutil::ReadBytes(dir_.Native("index.idx")); }

  // Table T (S, F, N) with one record per text of S, in order.
  std::vector<uint32_t> MakeTable(const std::vector<std::string>& texts) {
    EXPECT_TRUE(AddTable(db_, "T", {{"F", kTdbFloat}, {"S", kTdbString}, {"N", kTdbString}}));
    std::vector<uint32_t> records;
    for (const std::string& text : texts) records.push_back(AddTextRecord(db_, "T", {"S"}, {text}));
    return records;
  }

  std::vector<std::string> TextsInIndexOrder() {
    std::vector<std::string> texts;
    for (uint32_t i = 1; i <= index_.GetPositionCount(); ++i) {
      texts.push_back(tabletest::Text(db_, index_.GetPositionAt(i), "T", "S"));
    }
    return texts;
  }

  TempDir dir_;
  CTableDatabase db_;
  CRecordIndexFile index_;
};

}  // namespace

TEST_F(RecordIndexTest, KeysComeBeforeThePositionArray) {
  ASSERT_EQ(index_.Create(Path().c_str(), "TC_Oaza"), 1);
  EXPECT_EQ(Bytes().size(), 279u);
  EXPECT_EQ(Bytes().substr(0, 7), "DBINDEX");
  EXPECT_EQ(index_.AddKey("A", 0), 279u);
  EXPECT_EQ(index_.AddKey("B", 1), 372u);
  const std::string bytes = Bytes();
  ASSERT_EQ(bytes.size(), 465u);
  EXPECT_EQ(bytes.substr(7, 8), std::string("TC_Oaza\0", 8));
  EXPECT_EQ(U32(bytes, 267), 279u);
  EXPECT_EQ(U32(bytes, 271), 372u);
  EXPECT_EQ(U32(bytes, 275), 465u);
  EXPECT_EQ(U32(bytes, 279 + 89), 372u);  // A -> B
  EXPECT_EQ(U32(bytes, 372 + 85), 279u);  // B <- A
  EXPECT_EQ(U32(bytes, 372 + 81), 1u);
  EXPECT_EQ(index_.GetPositionCount(), 0u);

  EXPECT_EQ(index_.AddKey(std::string(81, 'k').c_str(), 0), 0u);  // longer than 80 bytes
  EXPECT_EQ(index_.AppendPosition(1234), 465u);
  EXPECT_EQ(index_.GetPositionCount(), 1u);
  EXPECT_EQ(index_.AddKey("C", 0), 0u);  // would bury the position
  index_.Close();

  ASSERT_EQ(index_.Open(Path().c_str()), 1);
  EXPECT_STREQ(index_.GetTableName(), "TC_Oaza");
  EXPECT_EQ(index_.GetPositionAt(1), 1234u);
  RecordIndexKey key;
  ASSERT_EQ(index_.ReadKeyEntry(index_.GetFirstKeyPosition(), &key), 1);
  EXPECT_STREQ(key.field, "A");
}

TEST(RecordIndexFile, PositionsFollowTheHeaderWhenThereIsNoKey) {
  TempDir dir;
  CTableDatabase db;
  ASSERT_EQ(db.Create(dir.Sys("db.ndb").c_str()), 1);
  ASSERT_TRUE(AddTable(db, "T", {{"S", kTdbString}}));
  const uint32_t first = AddTextRecord(db, "T", {"S"}, {"x"});
  const uint32_t second = AddTextRecord(db, "T", {"S"}, {"y"});
  CRecordIndexFile index;
  ASSERT_EQ(index.Create(dir.Sys("i.idx").c_str(), "T"), 1);
  ASSERT_EQ(index.WriteAllPositions(&db), 1);
  EXPECT_EQ(index.GetPositionCount(), 2u);
  EXPECT_EQ((std::vector<uint32_t>{index.GetPositionAt(1), index.GetPositionAt(2),
                                   index.GetPositionAt(3)}),
            (std::vector<uint32_t>{first, second, 0}));
  index.Close();
  // A file whose header still says 0 reads the same: no key, so the array
  // follows the header.
  std::string bytes = testutil::ReadBytes(dir.Native("i.idx"));
  ASSERT_EQ(U32(bytes, 275), 279u);
  bytes.replace(275, 4, std::string(4, '\0'));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("i.idx"), bytes));
  ASSERT_EQ(index.Open(dir.Sys("i.idx").c_str()), 1);
  EXPECT_EQ(index.GetPositionCount(), 2u);
  EXPECT_EQ(index.GetPositionAt(1), first);
}

TEST(RecordIndexFileSort, ReadFailureDuringComparisonFailsTheSort) {
  TempDir dir;
  CTableDatabase db;
  ASSERT_EQ(db.Create(dir.Sys("db.ndb").c_str()), 1);
  ASSERT_TRUE(AddTable(db, "T", {{"S", kTdbString}}));
  std::vector<uint32_t> r;
  for (const char* text : {"c", "a", "b"}) r.push_back(AddTextRecord(db, "T", {"S"}, {text}));
  CRecordIndexFile index;
  ASSERT_EQ(index.Create(dir.Sys("i.idx").c_str(), "T"), 1);
  ASSERT_NE(index.AddKey("S", 0), 0u);
  ASSERT_EQ(index.WriteAllPositions(&db), 1);
  // The text of the second record now lies far beyond the end of the file.
  ASSERT_EQ(db.SetDwordAt(r[1], 1, 0x7FFFFF00u), 1);
  EXPECT_EQ(index.Sort(1, 3), 0);
  EXPECT_EQ(index.SortByTextFrom(1, 3, "S", 1), 0);
}

TEST_F(RecordIndexTest, SortAndFindByText) {
  const std::vector<std::string> texts = {"c", "a", "e", "b", "d", Sjis(u8"東"), "a"};
  MakeTable(texts);
  ASSERT_EQ(index_.Create(Path().c_str(), "T"), 1);
  ASSERT_NE(index_.AddKey("S", 0), 0u);
  ASSERT_EQ(index_.WriteAllPositions(&db_), 1);
  EXPECT_EQ(index_.GetDatabase(), &db_);
  ASSERT_EQ(index_.Sort(1, index_.GetPositionCount()), 1);
  EXPECT_EQ(TextsInIndexOrder(),
            (std::vector<std::string>{"a", "a", "b", "c", "d", "e", Sjis(u8"東")}));

  EXPECT_EQ(index_.FindText("S", Sjis(u8"東").c_str()), 7u);  // the last element
  const uint32_t a = index_.FindText("S", "a");
  EXPECT_TRUE(a == 1u || a == 2u) << a;
  EXPECT_EQ(index_.FindText("S", "c"), 4u);
  EXPECT_EQ(index_.FindText("S", "bb"), 0u);
  EXPECT_EQ(index_.FindText("S", ""), 0u);
  EXPECT_EQ(index_.FindText("S", "f"), 0u);
  EXPECT_EQ(index_.FindText("N", "a"), 0u);  // no record has text there
  EXPECT_EQ(index_.FindText("F", "a"), 0u);  // not a STRING field
  EXPECT_TRUE(index_.Sort(0, 3) == 0 && index_.Sort(3, 2) == 0 && index_.Sort(1, 8) == 0);
}

TEST_F(RecordIndexTest, FloatKeysAreSkippedAndOnlyTheFirstOtherKeyDecides) {
  // N holds the second key; with S equal the order must not change.
  ASSERT_TRUE(AddTable(db_, "T", {{"F", kTdbFloat}, {"S", kTdbString}, {"N", kTdbString}}));
  const uint32_t x2 = AddTextRecord(db_, "T", {"S", "N"}, {"x", "2"});
  const uint32_t x1 = AddTextRecord(db_, "T", {"S", "N"}, {"x", "1"});
  const uint32_t a9 = AddTextRecord(db_, "T", {"S", "N"}, {"a", "9"});
  ASSERT_EQ(index_.Create(Path().c_str(), "T"), 1);
  ASSERT_NE(index_.AddKey("F", 0), 0u);
  ASSERT_NE(index_.AddKey("S", 0), 0u);
  ASSERT_NE(index_.AddKey("N", 0), 0u);
  ASSERT_EQ(index_.WriteAllPositions(&db_), 1);
  // Elements 1 and 2 (x2, x1) are equal in S: a two-element sort keeps them.
  ASSERT_EQ(index_.Sort(1, 2), 1);
  EXPECT_EQ(index_.GetPositionAt(1), x2);
  EXPECT_EQ(index_.GetPositionAt(2), x1);
  ASSERT_EQ(index_.Sort(2, 3), 1);
  EXPECT_EQ(index_.GetPositionAt(2), a9);
  EXPECT_EQ(index_.GetPositionAt(3), x1);
  // A descending S key reverses the order.
  RecordIndexKey key;
  const uint32_t s = index_.GetFirstKeyPosition() + kRecordIndexKeySize;
  ASSERT_EQ(index_.ReadKeyEntry(s, &key), 1);
  key.descending = 1;
  ASSERT_EQ(index_.WriteKeyEntry(s, key), 1);
  ASSERT_EQ(index_.Sort(1, 3), 1);
  EXPECT_EQ(tabletest::Text(db_, index_.GetPositionAt(3), "T", "S"), "a");
}

TEST_F(RecordIndexTest, SortFailsOnAKeyFieldTheTableLacks) {
  MakeTable({"b", "a"});
  ASSERT_EQ(index_.Create(Path().c_str(), "T"), 1);
  ASSERT_NE(index_.AddKey("Nope", 0), 0u);
  ASSERT_EQ(index_.WriteAllPositions(&db_), 1);
  EXPECT_EQ(index_.Sort(1, 2), 0);
}

TEST_F(RecordIndexTest, TextsFromACharacterSortAndFindByPrefix) {
  // The first character is a prefecture letter that the order skips.
  MakeTable({Sjis(u8"東港区"), Sjis(u8"大北区"), Sjis(u8"東中央区"), Sjis(u8"神港南"),
             Sjis(u8"大中野"), Sjis(u8"東千代田"), "Xab"});
  ASSERT_EQ(index_.Create(Path().c_str(), "T"), 1);
  ASSERT_EQ(index_.WriteAllPositions(&db_), 1);
  ASSERT_EQ(index_.SortByTextFrom(1, 7, "S", 2), 1);
  const std::vector<std::string> sorted = TextsInIndexOrder();
  for (std::size_t i = 1; i < sorted.size(); ++i) {
    // From the second character on, in CP932 byte order: ab, 港区, 港南,
    // 千代田, 中央区, 中野, 北区.
    EXPECT_LT(sorted[i - 1].substr(sorted[i - 1][0] == 'X' ? 1 : 2),
              sorted[i].substr(sorted[i][0] == 'X' ? 1 : 2))
        << i;
  }
  EXPECT_EQ(sorted.front(), "Xab");
  const uint32_t kou = index_.FindTextPrefix("S", Sjis(u8"港").c_str(), 2);
  ASSERT_NE(kou, 0u);
  EXPECT_EQ(sorted[kou - 1], Sjis(u8"東港区"));  // the first of the two
  const uint32_t naka = index_.FindTextPrefix("S", Sjis(u8"中").c_str(), 2);
  EXPECT_EQ(sorted[naka - 1], Sjis(u8"東中央区"));
  EXPECT_EQ(index_.FindTextPrefix("S", "a", 2), 1u);
  EXPECT_EQ(index_.FindTextPrefix("S", Sjis(u8"南").c_str(), 2), 0u);
  EXPECT_EQ(index_.SortByTextFrom(1, 7, "F", 2), 0);  // not a STRING field
}

TEST_F(RecordIndexTest, SelectedPositionsKeepLongEnoughTexts) {
  MakeTable({"ab", Sjis(u8"東京"), "a", Sjis(u8"東"), "abc"});
  ASSERT_EQ(index_.Create(Path().c_str(), "T"), 1);
  ASSERT_EQ(index_.WriteSelectedPositions(&db_, "S", 2), 1);
  EXPECT_EQ(TextsInIndexOrder(), (std::vector<std::string>{"ab", Sjis(u8"東京"), "abc"}));
  EXPECT_EQ(index_.WriteSelectedPositions(&db_, "F", 1), 0);
  EXPECT_EQ(index_.AttachDatabase(nullptr), 0);
}

TEST_F(RecordIndexTest, OpenRefusesOtherFiles) {
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("index.idx"), "DBINDEY" + std::string(272, '\0')));
  EXPECT_EQ(index_.Open(Path().c_str()), 0);
  EXPECT_EQ(index_.IsOpen(), 0);
  // An array start inside the header or past the end is damage.
  std::string header = "DBINDEX" + std::string(272, '\0');
  header[275] = 10;
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("index.idx"), header));
  EXPECT_EQ(index_.OpenForUpdate(Path().c_str()), 0);
  header[276] = 2;  // 522
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("index.idx"), header));
  EXPECT_EQ(index_.OpenForUpdate(Path().c_str()), 0);
  EXPECT_EQ(index_.GetPositionCount(), 0u);
}
