// Sorting CSV rows by one field, the priority sorters and the work-list
// sort and search.
#include "tool/csv_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "common/message.h"
#include "common/sjis_text.h"
#include "common/work_memory.h"
#include "support/test_util.h"

namespace {

using testutil::Show;
using testutil::Sjis;

std::string Field(const std::string& row, int n) {
  std::size_t start = 0;
  for (int i = 1; i < n; ++i) {
    start = row.find(',', start);
    if (start == std::string::npos) return std::string();
    ++start;
  }
  return row.substr(start, row.find(',', start) - start);
}

std::string JoinLines(const std::vector<std::string>& rows) {
  std::string out;
  for (const std::string& row : rows) out += row + "\r\n";
  return out;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> rows;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    rows.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return rows;
}

class CsvSortTest : public ::testing::Test {
 protected:
  testutil::TempDir dir_;
  char msg_[kMessageSize] = "";
};

// ---- Result sorts ----

TEST_F(CsvSortTest, ThousandRandomRowsOfAFileComeBackOnceWithKeysAscending) {
  std::mt19937 random(20240401);
  std::uniform_int_distribution<int> digit(0, 9), length(0, 4), kana(0, 5);
  const char* kanaChars[] = {"あ", "か", "ア",
                             "ｱ",  "表", "ソ"};  // CP932, trail bytes 0x5C among them
  std::vector<std::string> rows;
  for (int i = 0; i < 1000; ++i) {
    std::string key;
    for (int n = length(random); n > 0; --n) {
      key += digit(random) < 5 ? std::string(1, static_cast<char>('0' + digit(random)))
                               : std::string(kanaChars[kana(random)]);
    }
    std::string row = "r" + std::to_string(i) + "," + std::to_string(digit(random));
    // Some rows end before field 3: their key is empty.
    if (i % 17 != 0) row += "," + key + ",tail" + std::to_string(i % 7);
    rows.push_back(row);
  }
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("rows.csv"), JoinLines(rows)));
  ASSERT_EQ(SortCsvFile(dir_.Sys("rows.csv").c_str(), 3, msg_), 1) << Show(msg_);

  const std::vector<std::string> sorted = SplitLines(testutil::ReadBytes(dir_.Native("rows.csv")));
  ASSERT_EQ(sorted.size(), rows.size());
  for (std::size_t i = 1; i < sorted.size(); ++i) {
    EXPECT_LE(CompareStrings(Field(sorted[i - 1], 3).c_str(), Field(sorted[i], 3).c_str()), 0)
        << Show(sorted[i - 1]) << " / " << Show(sorted[i]);
  }
  std::vector<std::string> a = rows, b = sorted;
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  EXPECT_EQ(a, b);
}

TEST_F(CsvSortTest, BufferRowsAreSortedInPlace) {
  char one[] = "x,1";
  ASSERT_EQ(SortCsvList(one, 1, msg_), 1);
  EXPECT_STREQ(one, "x,1");
  char two[] = "b,2;a,1";
  ASSERT_EQ(SortCsvList(two, 1, msg_), 1);
  EXPECT_STREQ(two, "a,1;b,2");
  char three[] = "c,1;a,3;b,2";
  ASSERT_EQ(SortCsvList(three, 2, msg_), 1);
  EXPECT_STREQ(three, "c,1;b,2;a,3");
  EXPECT_EQ(SortCsvList(nullptr, 1, msg_), 0);
  EXPECT_EQ(Show(msg_), Show(Sjis(u8"作業用メモリが初期化されていません！")));
}

TEST_F(CsvSortTest, ArrayRowWithoutTheFieldSortsFirst) {
  CStringArray rows = {"x,3", "y", "z,1"};
  ASSERT_EQ(SortCsvArray(&rows, 2, msg_), 1);
  EXPECT_EQ(rows, (CStringArray{"y", "z,1", "x,3"}));
  // Unsigned bytes: a double-byte key after an ASCII one; a prefix first.
  rows = {Sjis(u8"あ,1"), "b,2", "ba,3", "B,4"};
  ASSERT_EQ(SortCsvArray(&rows, 1, msg_), 1);
  EXPECT_EQ(rows, (CStringArray{"B,4", "b,2", "ba,3", Sjis(u8"あ,1")}));

  CStringArray empty;
  EXPECT_EQ(SortCsvArray(&empty, 1, msg_), 0);
  EXPECT_EQ(Show(msg_), Show(Sjis(u8"CStringArrayにデータが存在しません！")));
  EXPECT_EQ(SortCsvArray(nullptr, 1, msg_), 0);
  EXPECT_EQ(Show(msg_), Show(Sjis(u8"作業用メモリが初期化されていません！")));
}

TEST_F(CsvSortTest, FileFormReportsItsFailures) {
  EXPECT_EQ(SortCsvFile(nullptr, 1, msg_), 0);
  EXPECT_EQ(Show(msg_), Show(Sjis(u8"作業用メモリが初期化されていません！")));
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("empty.csv"), ""));
  const std::string empty = dir_.Sys("empty.csv");
  EXPECT_EQ(SortCsvFile(empty.c_str(), 1, msg_), 0);
  EXPECT_EQ(Show(msg_), Show(Sjis(u8"ファイルにデータが存在しません！(") + empty + ")"));
  const std::string missing = dir_.Sys("missing.csv");
  EXPECT_EQ(SortCsvFile(missing.c_str(), 1, msg_), 0);
  EXPECT_EQ(Show(msg_), Show(Sjis(u8"ファイルの読み込みに失敗しました！(") + missing + ")"));
  EXPECT_FALSE(testutil::Exists(dir_.Native("missing.csv")));
}

// A line far longer than any read buffer stays one row.
TEST_F(CsvSortTest, LongLineStaysOneRow) {
  const std::string longRow = "b," + std::string(20000, 'x');
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("long.csv"), longRow + "\r\na,1\r\n"));
  ASSERT_EQ(SortCsvFile(dir_.Sys("long.csv").c_str(), 1, msg_), 1) << Show(msg_);
  EXPECT_EQ(testutil::ReadBytes(dir_.Native("long.csv")), "a,1\r\n" + longRow + "\r\n");
}

// ---- Work lists ----

// The sort moves the partner number (caller word 1) with its string and
// leaves the list's links as they were.
TEST_F(CsvSortTest, WorkListSortMovesThePartnerNumberWithItsString) {
  CWorkMemory list;
  ASSERT_EQ(list.Create(8, 64), 1);
  const char* keys[] = {"d", "b", "e", "a", "c", "b"};
  for (int i = 0; i < 6; ++i) {
    const int32_t n = list.AddString(keys[i]);
    WorkMemoryEntry e;
    ASSERT_EQ(list.GetEntry(static_cast<uint32_t>(n), &e), 1);
    e.userWord1 = 100 + i;
    e.userWord2 = 7;
    list.SetEntry(static_cast<uint32_t>(n), &e);
  }
  SortWorkList(&list, 1, 6);
  const char* expected[] = {"a", "b", "b", "c", "d", "e"};
  for (int n = 1; n <= 6; ++n) {
    WorkMemoryEntry e;
    ASSERT_EQ(list.GetEntry(static_cast<uint32_t>(n), &e), 1);
    EXPECT_STREQ(list.GetString(n), expected[n - 1]);
    // The partner was stored with the same key.
    EXPECT_STREQ(keys[e.userWord1 - 100], expected[n - 1]) << n;
    EXPECT_EQ(e.userWord2, 7);
    EXPECT_EQ(e.next, n < 6 ? n + 1 : 0);
    EXPECT_EQ(e.previous, n - 1);
  }

  EXPECT_EQ(FindInWorkList(&list, "c", 1, 6), 4);
  EXPECT_EQ(FindInWorkList(&list, "a", 1, 6), 1);
  EXPECT_EQ(FindInWorkList(&list, "e", 1, 6), 6);
  const int32_t b = FindInWorkList(&list, "b", 1, 6);
  EXPECT_TRUE(b == 2 || b == 3) << b;
  EXPECT_EQ(FindFirstInWorkList(&list, "b", 1, 6), 2);
  EXPECT_EQ(FindInWorkList(&list, "bb", 1, 6), 0);
  EXPECT_EQ(FindInWorkList(&list, "0", 1, 6), 0);
  EXPECT_EQ(FindInWorkList(&list, "f", 1, 6), 0);
  EXPECT_EQ(FindInWorkList(&list, "", 1, 6), 0);
  EXPECT_EQ(FindInWorkList(&list, "c", 1, 7), 0) << "beyond the count";
  EXPECT_EQ(FindInWorkList(&list, "c", 4, 3), 0);
  EXPECT_EQ(FindInWorkList(&list, "c", 5, 6), 0) << "outside the range searched";
}

// ---- Priority sorts ----

TEST_F(CsvSortTest, PrioritySortReadsItsTableWithCrLfLines) {
  // Priorities deliberately out of key order; a comment after "＜"; a short
  // key "A,B,"; lines that are not entries.
  const std::string table = Sjis(
      u8"30,a,b,c＜first in key order\r\n"
      u8"10,z,y,x \r\n"
      u8"20,m,n,\r\n"
      u8"no number,q,q,q\r\n"
      u8"40\r\n");
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("table.tbl"), table));
  const std::string path = dir_.Sys("table.tbl");
  CStringArray rows = {"unknown,u,k", "a,b,c,1", "m,n,other", "z,y,x,2", "another,u,a", "q,q,q"};
  ASSERT_EQ(SortCsvArrayByPriority(&rows, 1, 2, 3, path.c_str(), msg_), 1) << Show(msg_);
  // 10, 20 (short key), 30, then the unknown rows (999999) by field 3.
  EXPECT_EQ(rows, (CStringArray{"z,y,x,2", "m,n,other", "a,b,c,1", "another,u,a", "unknown,u,k",
                                "q,q,q"}));

  // The file form; then field C 0: unknown rows by their whole text.
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("rows.csv"), "u1,x,b\r\nz,y,x\r\nu2,x,a\r\n"));
  ASSERT_EQ(SortCsvFileByPriority(dir_.Sys("rows.csv").c_str(), 1, 2, 3, path.c_str(), msg_), 1);
  EXPECT_EQ(testutil::ReadBytes(dir_.Native("rows.csv")), "z,y,x\r\nu2,x,a\r\nu1,x,b\r\n");
  CStringArray whole = {"u2,x,x", "u1,x,y", "a,b,c"};
  ASSERT_EQ(SortCsvArrayByPriority(&whole, 1, 2, 3, path.c_str(), msg_), 1);
  ASSERT_EQ(SortCsvArrayByPriority(&whole, 1, 2, 0, path.c_str(), msg_), 1);
  EXPECT_EQ(whole, (CStringArray{"a,b,c", "u1,x,y", "u2,x,x"}));
}

TEST_F(CsvSortTest, PrioritySortWithoutEntriesOrTable) {
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("none.tbl"), "x\r\n\r\n"));
  CStringArray rows = {"b", "a"};
  ASSERT_EQ(SortCsvArrayByPriority(&rows, 1, 2, 3, dir_.Sys("none.tbl").c_str(), msg_), 1);
  EXPECT_EQ(rows, (CStringArray{"b", "a"}));
  const std::string missing = dir_.Sys("missing.tbl");
  EXPECT_EQ(SortCsvArrayByPriority(&rows, 1, 2, 3, missing.c_str(), msg_), 0);
  EXPECT_EQ(Show(msg_), Show(Sjis(u8"ファイルオープンエラー!(") + missing + ")"));
  CStringArray empty;
  EXPECT_EQ(SortCsvArrayByPriority(&empty, 1, 2, 3, missing.c_str(), msg_), 0);
  EXPECT_EQ(Show(msg_), Show(Sjis(u8"CStringArrayにデータが存在しません！")));
}

TEST_F(CsvSortTest, CategorySortByModes) {
  const std::string table = Sjis(
      u8"5,飲食\r\n"
      u8"1,買物\r\n"
      u8"9,飲食,和食\r\n"
      u8"3,飲食,洋食 \r\n"
      u8"2,飲食,洋食\r\n"
      u8"4,飲食,和食,そば\r\n"
      u8"8,飲食,和食,すし\r\n"
      u8"x,飲食,和食,うどん\r\n");
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("category.tbl"), table));
  const std::string path = dir_.Sys("category.tbl");
  const std::string food = Sjis(u8"飲食"), japanese = Sjis(u8"和食"), western = Sjis(u8"洋食");
  const std::string soba = Sjis(u8"そば"), sushi = Sjis(u8"すし"), udon = Sjis(u8"うどん");

  CStringArray top = {food, "other", Sjis(u8"買物")};
  ASSERT_EQ(SortCategoryArrayByPriority1(&top, path.c_str(), msg_), 1) << Show(msg_);
  EXPECT_EQ(top, (CStringArray{Sjis(u8"買物"), food, "other"}));

  // Mode 2: 和食 9 and 洋食 3 (the repeated 洋食 line is skipped).
  CStringArray second = {japanese, western};
  ASSERT_EQ(SortCategoryArrayByPriority2(&second, food.c_str(), path.c_str(), msg_), 1);
  EXPECT_EQ(second, (CStringArray{western, japanese}));

  // Mode 3: そば 4, すし 8; うどん has no number (unknown, by its text).
  ASSERT_TRUE(
      testutil::WriteBytes(dir_.Native("cat.csv"), udon + "\r\n" + sushi + "\r\n" + soba + "\r\n"));
  ASSERT_EQ(SortCategoryFileByPriority3(dir_.Sys("cat.csv").c_str(), food.c_str(), japanese.c_str(),
                                        path.c_str(), msg_),
            1);
  EXPECT_EQ(Show(testutil::ReadBytes(dir_.Native("cat.csv"))),
            Show(soba + "\r\n" + sushi + "\r\n" + udon + "\r\n"));

  EXPECT_EQ(SortCategoryArrayByPriority(4, &top, "", "", path.c_str(), msg_), 0);
  EXPECT_EQ(Show(msg_), Show(Sjis(u8"不正なモードが渡されました！")));
}

// ---- A rewrite that cannot be written ----

// Every sort that rewrites a file, run in a child whose files cannot grow
// past 100 bytes: each answers 0 with the write message, and the caller's
// file keeps every byte (no file is left beside it either).
TEST_F(CsvSortTest, AFailedRewriteKeepsTheCallersFileWhole) {
  std::string rows;
  for (int i = 20; i > 0; --i)
    rows += "row" + std::to_string(i) + ",k" + std::to_string(i % 7) + ",c\r\n";
  ASSERT_GT(rows.size(), 200u);
  const std::string table = Sjis(u8"1,row3,k3,c\r\n2,row5,k5,\r\n");
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("table.tbl"), table));
  const std::string tablePath = dir_.Sys("table.tbl");
  const std::string path = dir_.Sys("rows.csv");
  const std::string food = Sjis(u8"飲食");
  const struct {
    const char* name;
    std::function<int(char*)> sort;
  } sorts[] = {
      {"by field", [&](char* m) { return SortCsvFile(path.c_str(), 2, m); }},
      {"by priority",
       [&](char* m) { return SortCsvFileByPriority(path.c_str(), 1, 2, 3, tablePath.c_str(), m); }},
      {"category 1",
       [&](char* m) { return SortCategoryFileByPriority1(path.c_str(), tablePath.c_str(), m); }},
      {"category 2",
       [&](char* m) {
         return SortCategoryFileByPriority2(path.c_str(), food.c_str(), tablePath.c_str(), m);
       }},
      {"category 3",
       [&](char* m) {
         return SortCategoryFileByPriority3(path.c_str(), food.c_str(), food.c_str(),
                                            tablePath.c_str(), m);
       }},
  };
  const std::string writeMessage = Sjis(u8"ファイルへの書き込みに失敗しました!(") + path + ")";
  for (const auto& s : sorts) {
    ASSERT_TRUE(testutil::WriteBytes(dir_.Native("rows.csv"), rows));
    // The child answers 1 for "failed with the write message".
    const int answer = testutil::RunInChildWithFileSizeLimit(100, [&] {
      char m[kMessageSize] = "";
      return s.sort(m) == 0 && writeMessage == m ? 1 : 0;
    });
    EXPECT_EQ(answer, 1) << s.name;
    EXPECT_EQ(testutil::ReadBytes(dir_.Native("rows.csv")), rows) << s.name;
    EXPECT_EQ(testutil::FolderNames(dir_.path()),
              (std::vector<std::string>{"rows.csv", "table.tbl"}))
        << s.name;
    // Without the limit the same sort goes through.
    EXPECT_EQ(s.sort(msg_), 1) << s.name << " " << Show(msg_);
  }
}

}  // namespace
