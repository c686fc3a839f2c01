#include "common/csv_column.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/work_memory.h"
#include "support/test_util.h"

namespace {

std::vector<std::string> Strings(CWorkMemory& list) {
  std::vector<std::string> out;
  for (uint32_t p = 1; p <= list.GetCount(); ++p) {
    const char* text = list.GetStringAt(p);
    out.push_back(text ? text : "");
  }
  return out;
}

}  // namespace

TEST(LoadCsvColumn, TakesFieldNOfEveryNonBlankLine) {
  testutil::TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("a.csv"),
                                   "13101,千代田区,x\r\n   \r\n13102,中央区\r\n\r\n13103\r\n"));
  CWorkMemory list;
  ASSERT_TRUE(list.Create(4, 64));
  EXPECT_EQ(LoadCsvColumn(dir.Sys("a.csv").c_str(), 2, &list), 1);
  // The blank lines are skipped; a line without field 2 gives an empty entry.
  EXPECT_EQ(Strings(list), (std::vector<std::string>{"千代田区", "中央区", ""}));
}

TEST(LoadCsvColumn, MissingFileFailsAndLeavesTheList) {
  testutil::TempDir dir;
  CWorkMemory list;
  ASSERT_TRUE(list.Create(4, 64));
  EXPECT_EQ(LoadCsvColumn(dir.Sys("none.csv").c_str(), 1, &list), 0);
  EXPECT_TRUE(Strings(list).empty());
}
