// The CSV line utilities, the lookups over files and work lists, the table
// load and the work-list copy.
#include "tool/csv_lookup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/message.h"
#include "common/work_memory.h"
#include "support/test_util.h"

namespace {

using testutil::Show;
using testutil::Sjis;

// Two fields whose second bytes are 0x5C: 表 (95 5C) and ソ (83 5C).
const std::string kTable = Sjis(u8"表");
const std::string kSo = Sjis(u8"ソ");

std::string Rebuilt(std::string line) {
  RebuildCsvLine(line.data());
  return line.c_str();
}

TEST(CsvLine, RebuildKeepsTheFieldsBeforeTheFirstEmptyOne) {
  EXPECT_EQ(Rebuilt("a,b,c"), "a,b,c");
  EXPECT_EQ(Rebuilt("a,b,,d"), "a,b");
  EXPECT_EQ(Rebuilt("a,b,"), "a,b");
  EXPECT_EQ(Rebuilt(",a,b"), "");
  EXPECT_EQ(Rebuilt(""), "");
  EXPECT_EQ(Rebuilt(kTable + "," + kSo + ",," + kTable), kTable + "," + kSo);
  EXPECT_EQ(RebuildCsvLine(nullptr), nullptr);
  // At most 32,768 fields are kept.
  std::string many;
  for (int i = 0; i < kRebuildMaxFields + 5; ++i) many += i == 0 ? "x" : ",x";
  const std::string kept = Rebuilt(many);
  EXPECT_EQ(kept.size(), static_cast<std::size_t>(kRebuildMaxFields) * 2 - 1);
  EXPECT_EQ(kept, many.substr(0, kept.size()));
}

TEST(CsvLine, DuplicatesAndNonEmptyCountsWithinARange) {
  const std::string line = "a,," + kTable + ",b," + kTable + ",,b";
  EXPECT_EQ(HasDuplicateCsvFields(line.c_str(), 1, 7), 1);
  EXPECT_EQ(HasDuplicateCsvFields(line.c_str(), 1, 4), 0);
  EXPECT_EQ(HasDuplicateCsvFields(line.c_str(), 3, 5), 1);
  // Empty fields are never duplicates of each other.
  EXPECT_EQ(HasDuplicateCsvFields("a,,,b", 1, 4), 0);
  // 表 and ソ share their second byte, not their text.
  EXPECT_EQ(HasDuplicateCsvFields((kTable + "," + kSo).c_str(), 1, 2), 0);
  EXPECT_EQ(HasDuplicateCsvFields(line.c_str(), 5, 3), 0);
  EXPECT_EQ(HasDuplicateCsvFields(nullptr, 1, 3), 0);

  EXPECT_EQ(CountNonEmptyCsvFields(line.c_str(), 1, 7), 5);
  EXPECT_EQ(CountNonEmptyCsvFields(line.c_str(), 2, 2), 0);
  EXPECT_EQ(CountNonEmptyCsvFields(line.c_str(), 0, 100), 5);  // clamped to the line
  EXPECT_EQ(CountNonEmptyCsvFields(line.c_str(), 8, 9), 0);
  EXPECT_EQ(CountNonEmptyCsvFields(nullptr, 1, 9), 0);
}

TEST(CsvLine, FieldCountAndWidestField) {
  int32_t width = -1;
  EXPECT_EQ(MeasureCsvFields(("ab," + kTable + kSo + ",,c").c_str(), &width), 4);
  EXPECT_EQ(width, 4);
  EXPECT_EQ(MeasureCsvFields("", &width), 1);
  EXPECT_EQ(width, 0);
  EXPECT_EQ(MeasureCsvFields(",,", &width), 3);
  EXPECT_EQ(width, 0);
  EXPECT_EQ(MeasureCsvFields(nullptr, &width), 0);
  EXPECT_EQ(width, 0);
  EXPECT_EQ(MeasureCsvFields("a,b", nullptr), 2);
}

class CsvLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    // CR LF lines, a line far longer than 8 KiB, fields with 0x5C second
    // bytes, a row that repeats a key (the first one counts).
    long_ = std::string(9000, 'L');
    const std::string text = "13," + Sjis(u8"東京都") + ",tokyo\r\n" + "26," + kTable + kSo +
                             ",kyoto\r\n" + "99,long," + long_ + "\r\n" + "13,again,x\r\n" +
                             ",empty,e\r\n";
    ASSERT_TRUE(testutil::WriteBytes(dir_.Native("t.csv"), text));
    path_ = dir_.Sys("t.csv");
  }
  testutil::TempDir dir_;
  std::string path_;
  std::string long_;
  std::string value_;
  char msg_[kMessageSize] = "";
};

TEST_F(CsvLookup, FileLookupGivesTheFirstRowsFieldWithoutMessages) {
  EXPECT_EQ(LookUpCsvFile(path_.c_str(), 1, "13", 3, &value_), 1);
  EXPECT_EQ(value_, "tokyo");
  EXPECT_EQ(LookUpCsvFile(path_.c_str(), 2, (kTable + kSo).c_str(), 1, &value_), 1);
  EXPECT_EQ(value_, "26");
  EXPECT_EQ(LookUpCsvFile(path_.c_str(), 2, "long", 3, &value_), 1);
  EXPECT_EQ(value_, long_);
  EXPECT_EQ(LookUpCsvFile(path_.c_str(), 1, "", 2, &value_), 1);
  EXPECT_EQ(value_, "empty");
  // A field beyond the row is empty.
  EXPECT_EQ(LookUpCsvFile(path_.c_str(), 1, "13", 9, &value_), 1);
  EXPECT_EQ(value_, "");
  value_ = "kept";
  EXPECT_EQ(LookUpCsvFile(path_.c_str(), 1, "47", 2, &value_), 0);
  EXPECT_EQ(LookUpCsvFile(path_.c_str(), 0, "13", 2, &value_), 0);
  EXPECT_EQ(LookUpCsvFile(path_.c_str(), 1, "13", 0, &value_), 0);
  EXPECT_EQ(LookUpCsvFile(dir_.Sys("none.csv").c_str(), 1, "13", 2, &value_), 0);
  EXPECT_EQ(value_, "kept");
  // Normalised: half-width text finds the full-width field and back.
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("w.csv"), Sjis(u8"ＡＢ１,ｶﾅ\r\nx,y\r\n")));
  EXPECT_EQ(LookUpCsvFile(dir_.Sys("w.csv").c_str(), 1, "AB1", 2, &value_), 0);
  EXPECT_EQ(LookUpCsvFile(dir_.Sys("w.csv").c_str(), 1, "AB1", 2, &value_, true), 1);
  EXPECT_EQ(value_, Sjis(u8"ｶﾅ"));
  EXPECT_EQ(LookUpCsvFile(dir_.Sys("w.csv").c_str(), 2, Sjis(u8"カナ").c_str(), 1, &value_, true),
            1);
  EXPECT_EQ(value_, Sjis(u8"ＡＢ１"));
}

TEST_F(CsvLookup, TableFileLookupAnswersTheRowOrTheReason) {
  EXPECT_EQ(LookUpCsvTableFile(path_.c_str(), 1, "26", 0, &value_, msg_), 1);
  EXPECT_EQ(value_, "26," + kTable + kSo + ",kyoto");
  EXPECT_EQ(LookUpCsvTableFile(path_.c_str(), 1, "26", 3, &value_, msg_), 1);
  EXPECT_EQ(value_, "kyoto");
  EXPECT_EQ(LookUpCsvTableFile(path_.c_str(), 0, "26", 3, &value_, msg_), 0);
  EXPECT_EQ(Show(msg_), Show(Sjis(u8"検索フィールド番号が異常です！")));
  EXPECT_EQ(LookUpCsvTableFile(path_.c_str(), 2, "47", 3, &value_, msg_), 0);
  EXPECT_EQ(Show(msg_), Show(Sjis(u8"ファイル[") + path_ +
                             Sjis(u8"]の検索フィールド番号[2]から[47]が検索できません！")));
  EXPECT_EQ(LookUpCsvTableFile(dir_.Sys("none.csv").c_str(), 1, "13", 2, &value_, msg_), 0);
  EXPECT_EQ(Show(msg_), Show("ファイルオープンエラー!(" + dir_.Sys("none.csv") + ")"));
  // A long text in the message is cut at a character boundary.
  std::string text;
  while (text.size() < 2 * kMessageSize) text += kSo;
  EXPECT_EQ(LookUpCsvTableFile(path_.c_str(), 1, text.c_str(), 3, &value_, msg_), 0);
  const std::string message = msg_;
  EXPECT_LT(message.size(), kMessageSize);
  const std::string head = Sjis(u8"ファイル[") + path_ + Sjis(u8"]の検索フィールド番号[1]から[");
  ASSERT_EQ(message.substr(0, head.size()), head);
  EXPECT_EQ((message.size() - head.size()) % 2, 0u);
  EXPECT_EQ(message.substr(head.size()), text.substr(0, message.size() - head.size()));
}

TEST_F(CsvLookup, TableLoadKeysAndWorkListLookup) {
  CWorkMemory table, keys;
  ASSERT_EQ(LoadCsvTable(path_.c_str(), &table, 2, &keys, msg_), 1) << Show(msg_);
  ASSERT_EQ(table.GetCount(), 5u);
  EXPECT_EQ(std::string(table.GetString(3)), "99,long," + long_);
  ASSERT_EQ(keys.GetCount(), 5u);
  // The keys are sorted, each linked to its row.
  for (int32_t n = 1; n < 5; ++n)
    EXPECT_LE(std::strcmp(keys.GetString(n), keys.GetString(n + 1)), 0);
  for (const CWorkMemory* index :
       {static_cast<const CWorkMemory*>(&keys), static_cast<const CWorkMemory*>(nullptr)}) {
    EXPECT_EQ(LookUpCsvWorkList(&table, index, 2, (kTable + kSo).c_str(), 3, &value_, msg_), 1);
    EXPECT_EQ(value_, "kyoto");
    EXPECT_EQ(LookUpCsvWorkList(&table, index, 2, "again", 0, &value_, msg_), 1);
    EXPECT_EQ(value_, "13,again,x");
    EXPECT_EQ(LookUpCsvWorkList(&table, index, 2, "nothing", 1, &value_, msg_), 0);
    EXPECT_EQ(Show(msg_), Show(Sjis(u8"検索フィールド番号[2]から[nothing]が検索できません！")));
    EXPECT_EQ(LookUpCsvWorkList(&table, index, 2, "", 1, &value_, msg_), 0);
  }
  // Row by row over another field: the first of two rows with key 13.
  EXPECT_EQ(LookUpCsvWorkList(&table, nullptr, 1, "13", 2, &value_, msg_), 1);
  EXPECT_EQ(value_, Sjis(u8"東京都"));
  EXPECT_EQ(LookUpCsvWorkList(nullptr, nullptr, 1, "13", 2, &value_, msg_), 0);
  EXPECT_EQ(Show(msg_), Show(Sjis(u8"作業用メモリが初期化されていません！")));
  EXPECT_EQ(LookUpCsvWorkList(&table, nullptr, -1, "13", 2, &value_, msg_), 0);
  EXPECT_EQ(Show(msg_), Show(Sjis(u8"検索フィールド番号が異常です！")));
  // Without a key list only the rows are loaded.
  CWorkMemory plain;
  ASSERT_EQ(LoadCsvTable(path_.c_str(), &plain, 0, &keys, msg_), 1);
  EXPECT_EQ(plain.GetCount(), 5u);
}

TEST_F(CsvLookup, TableLoadNamesTheBadLine) {
  CWorkMemory table;
  const std::string bad[] = {
      std::string("a,b\r\nc,d\r\ne,") + '\0' + "f\r\n",  // a NUL byte in line 3
      "a,b\r\n" + kTable.substr(0, 1) + "\r\n",          // line 2 ends inside 表
  };
  const long lines[] = {3, 2};
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(testutil::WriteBytes(dir_.Native("bad.csv"), bad[i]));
    EXPECT_EQ(LoadCsvTable(dir_.Sys("bad.csv").c_str(), &table, 1, nullptr, msg_), 0);
    EXPECT_EQ(Show(msg_), Show(Sjis(u8"ファイルの読み込みに失敗しました！(") + dir_.Sys("bad.csv") +
                               Sjis(u8") ") + std::to_string(lines[i]) + Sjis(u8"行目")));
  }
  EXPECT_EQ(LoadCsvTable(dir_.Sys("none.csv").c_str(), &table, 1, nullptr, msg_), 0);
  EXPECT_EQ(Show(msg_), Show("ファイルオープンエラー!(" + dir_.Sys("none.csv") + ")"));
  EXPECT_EQ(LoadCsvTable(path_.c_str(), nullptr, 1, nullptr, msg_), 0);
  EXPECT_EQ(Show(msg_), Show(Sjis(u8"作業用メモリが初期化されていません！")));
  // An empty file is an empty table.
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("empty.csv"), ""));
  EXPECT_EQ(LoadCsvTable(dir_.Sys("empty.csv").c_str(), &table, 1, nullptr, msg_), 1);
  EXPECT_EQ(table.GetCount(), 0u);
}

TEST(WorkListCopy, CopiesEntriesLinksStringsAndListOrder) {
  CWorkMemory source;
  ASSERT_EQ(source.Create(2, 4), 1);  // both grow while filled
  for (const char* s : {"one", "two", "three", "four"}) ASSERT_NE(source.AddString(s), 0);
  ASSERT_NE(source.InsertStringBefore(1, "zero"), 0);  // entry 5, first in list order
  ASSERT_EQ(source.Remove(3), 1);                      // "three" unlinked, still readable
  WorkMemoryEntry e{};
  ASSERT_EQ(source.GetEntry(2, &e), 1);
  e.userWord1 = 77;
  ASSERT_EQ(source.SetEntry(2, &e), 1);

  CWorkMemory copy;
  ASSERT_EQ(copy.AddString("old"), 0);  // never created
  ASSERT_EQ(CopyWorkList(&source, &copy), 1);
  ASSERT_EQ(copy.GetCount(), source.GetCount());
  EXPECT_EQ(copy.GetFirst(), 5);
  EXPECT_EQ(copy.GetLast(), source.GetLast());
  for (uint32_t p = 1; p <= 4; ++p) {
    EXPECT_EQ(copy.GetIndexAt(p), source.GetIndexAt(p)) << p;
    EXPECT_STREQ(copy.GetStringAt(p), source.GetStringAt(p)) << p;
  }
  EXPECT_EQ(copy.GetIndexAt(5), 0);
  EXPECT_STREQ(copy.GetString(3), "three");
  ASSERT_EQ(copy.GetEntry(2, &e), 1);
  EXPECT_EQ(e.userWord1, 77);
  // The copy is separate: changing it leaves the source alone.
  ASSERT_NE(copy.SetString(1, "changed and longer"), 0);
  ASSERT_NE(copy.AddString("five"), 0);
  EXPECT_STREQ(source.GetString(1), "one");
  EXPECT_EQ(source.GetCount(), 5u);

  EXPECT_EQ(CopyWorkList(&copy, &copy), 1);
  EXPECT_EQ(copy.GetCount(), 6u);
  EXPECT_EQ(CopyWorkList(nullptr, &copy), 0);
  EXPECT_EQ(copy.GetCount(), 0u);
  CWorkMemory never;
  EXPECT_EQ(CopyWorkList(&never, &copy), 0);
  EXPECT_EQ(CopyWorkList(&source, nullptr), 0);
}

}  // namespace
