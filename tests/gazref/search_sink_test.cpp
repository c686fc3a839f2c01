// The output frame of the facility search and of the category and area
// lists, on both forms: an output that stays empty, a missing array, and a
// search cut short by running out of memory.
#include "gazref/search_sink.h"

#include <gtest/gtest.h>

#include <new>
#include <string>

#include "common/message.h"
#include "support/test_util.h"

namespace {

constexpr char kLabel[] = "施設検索";
constexpr char kEmpty[] = "条件にあてはまる施設はありません！";

int WriteNothing(CAdrsContext*) { return 1; }

TEST(SearchSink, EmptyOutputOrMissingArrayFailsWithTheSearchesMessages) {
  testutil::TempDir dir;
  const std::string path = dir.Sys("result.txt");
  char msg[kMessageSize] = "";
  EXPECT_EQ(RunSearchOnSink(FileSink(path.c_str()), kLabel, kEmpty, msg, WriteNothing), 0);
  EXPECT_STREQ(msg, kEmpty);
  EXPECT_FALSE(testutil::Exists(dir.Native("result.txt")));

  CStringArray rows;
  EXPECT_EQ(RunSearchOnSink(ArraySink(&rows), kLabel, kEmpty, msg, WriteNothing), 0);
  EXPECT_STREQ(msg, kEmpty);
  EXPECT_EQ(RunSearchOnSink(ArraySink(nullptr), kLabel, kEmpty, msg, WriteNothing), 0);
  EXPECT_STREQ(msg, "アタッチに失敗しました！[施設検索]");

  EXPECT_EQ(RunSearchOnSink(FileSink(path.c_str()), kLabel, kEmpty, msg,
                            [](CAdrsContext* output) { return output->WriteLine("寺社"); }),
            1);
  EXPECT_EQ(testutil::ReadBytes(dir.Native("result.txt")), testutil::Sjis(u8"寺社") + "\r\n");
}

// Running out of memory no longer escapes the search: it fails with the
// memory message, and a result file begun is deleted.
TEST(SearchSink, RunningOutOfMemoryFailsTheSearchAndLeavesNoFile) {
  testutil::TempDir dir;
  const std::string path = dir.Sys("result.txt");
  char msg[kMessageSize] = "";
  auto cutShort = [](CAdrsContext* output) -> int {
    output->WriteLine("寺社");
    throw std::bad_alloc();
  };
  EXPECT_EQ(RunSearchOnSink(FileSink(path.c_str()), kLabel, kEmpty, msg, cutShort), 0);
  EXPECT_STREQ(msg, "作業用メモリの確保に失敗しました！");
  EXPECT_FALSE(testutil::Exists(dir.Native("result.txt")));

  CStringArray rows;
  msg[0] = '\0';
  EXPECT_EQ(RunSearchOnSink(ArraySink(&rows), kLabel, kEmpty, msg, cutShort), 0);
  EXPECT_STREQ(msg, "作業用メモリの確保に失敗しました！");
}

}  // namespace
