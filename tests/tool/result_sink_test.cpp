// The output sinks of the search entries: each form's argument check and
// messages, what a failed or cut-short run leaves behind, and the rows of
// each form read back.
#include "tool/result_sink.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>

#include "common/message.h"
#include "support/test_util.h"

namespace {

using testutil::Show;

constexpr char kMemoryMessage[] = "作業用メモリの確保に失敗しました！";

int WriteTwoRows(CAdrsContext* context) {
  return context->WriteLine("b,2") && context->WriteLine("a,1");
}

TEST(ResultSink, EachFormNamesItsMissingArgument) {
  char msg[kMessageSize] = "";
  bool ran = false;
  auto run = [&](CAdrsContext*) {
    ran = true;
    return 1;
  };
  FileSink noFile(nullptr);
  EXPECT_EQ(RunOnSink(noFile, msg, run), 0);
  EXPECT_STREQ(msg, "パラメータに無効な値が渡されました！(結果格納ファイル名)");
  ArraySink noArray(nullptr);
  EXPECT_EQ(RunOnSink(noArray, msg, run), 0);
  EXPECT_STREQ(msg, "パラメータに無効な値が渡されました！(結果格納配列)");
  BufferSink noBuffer(nullptr, 16);
  EXPECT_EQ(RunOnSink(noBuffer, msg, run), 0);
  EXPECT_STREQ(msg, "パラメータに無効な値が渡されました！(結果格納バッファ)");
  char buffer[16] = "";
  BufferSink noSize(buffer, 0);
  EXPECT_EQ(RunOnSink(noSize, msg, run), 0);
  EXPECT_STREQ(msg, "パラメータに無効な値が渡されました！(結果格納バッファサイズ)");
  EXPECT_FALSE(ran);

  // A file that cannot be created is named with its path.
  testutil::TempDir dir;
  const std::string path = dir.Sys("missing\\result.txt");
  FileSink unwritable(path.c_str());
  EXPECT_EQ(RunOnSink(unwritable, msg, run), 0);
  EXPECT_EQ(std::string(msg), "ファイルの作成に失敗しました！(" + path + ")");
  EXPECT_FALSE(ran);
}

TEST(ResultSink, FailedRunOrStepAfterItDeletesTheFile) {
  testutil::TempDir dir;
  const std::string path = dir.Sys("result.txt");
  const std::string native = dir.Native("result.txt");
  char msg[kMessageSize] = "";
  FileSink failing(path.c_str());
  EXPECT_EQ(
      RunOnSink(failing, msg, [](CAdrsContext* context) { return context->WriteLine("a,1") && 0; }),
      0);
  EXPECT_FALSE(testutil::Exists(native));
  FileSink failingAfter(path.c_str());
  EXPECT_EQ(RunOnSink(failingAfter, msg, WriteTwoRows, [] { return 0; }), 0);
  EXPECT_FALSE(testutil::Exists(native));

  FileSink sink(path.c_str());
  ASSERT_EQ(RunOnSink(sink, msg, WriteTwoRows, [&] { return sink.Sort(1, msg); }), 1) << Show(msg);
  EXPECT_EQ(testutil::ReadBytes(native), "a,1\r\nb,2\r\n");

  // The array keeps what a failed run appended: the caller owns it.
  CStringArray rows{"x,0"};
  ArraySink array(&rows);
  EXPECT_EQ(
      RunOnSink(array, msg, [](CAdrsContext* context) { return context->WriteLine("a,1") && 0; }),
      0);
  EXPECT_EQ(rows, (CStringArray{"x,0", "a,1"}));
}

// Running out of memory in the middle of a run fails the entry with the
// memory message and leaves no half-written result file, also when the
// sink only goes out of scope with its file still open.
TEST(ResultSink, RunCutShortByMemoryLeavesNoFile) {
  testutil::TempDir dir;
  const std::string path = dir.Sys("result.txt");
  const std::string native = dir.Native("result.txt");
  char msg[kMessageSize] = "";
  FileSink cutInRun(path.c_str());
  EXPECT_EQ(RunOnSink(cutInRun, msg,
                      [](CAdrsContext* context) -> int {
                        context->WriteLine("a,1");
                        throw std::bad_alloc();
                      }),
            0);
  EXPECT_STREQ(msg, kMemoryMessage);
  EXPECT_FALSE(testutil::Exists(native));

  FileSink cutAfter(path.c_str());
  EXPECT_EQ(RunOnSink(cutAfter, msg, WriteTwoRows, []() -> int { throw std::bad_alloc(); }), 0);
  EXPECT_STREQ(msg, kMemoryMessage);
  EXPECT_FALSE(testutil::Exists(native));

  try {
    FileSink sink(path.c_str());
    ASSERT_EQ(sink.Create(msg), 1);
    CAdrsContext context;
    sink.Attach(&context);
    context.WriteLine("a,1");
    throw std::bad_alloc();
  } catch (const std::bad_alloc&) {
  }
  EXPECT_FALSE(testutil::Exists(native));
}

TEST(ResultSink, RowsOfEachFormAreCountedReadAndRestarted) {
  char msg[kMessageSize] = "";
  std::string first;
  uint32_t count = 0;

  testutil::TempDir dir;
  const std::string path = dir.Sys("result.txt");
  FileSink file(path.c_str());
  ASSERT_EQ(RunOnSink(file, msg, WriteTwoRows), 1) << Show(msg);
  ASSERT_EQ(file.CountRows(&count, msg), 1);
  EXPECT_EQ(count, 2u);
  ASSERT_EQ(file.FirstRow(&first, msg), 1);
  EXPECT_EQ(first, "b,2");
  ASSERT_EQ(file.Restart(msg), 1);
  ASSERT_EQ(file.Close(msg), 1);
  ASSERT_EQ(file.CountRows(&count, msg), 1);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(file.FirstRow(&first, msg), 0);
  EXPECT_EQ(std::string(msg), "ファイルの読み込みに失敗しました!(" + path + ")");
  file.Discard();
  EXPECT_EQ(file.CountRows(&count, msg), 0);
  EXPECT_EQ(std::string(msg), "ファイルオープンエラー!(" + path + ")");

  // Rows are appended to what the array held; the restart drops the first.
  CStringArray rows{"x,0"};
  ArraySink array(&rows);
  ASSERT_EQ(RunOnSink(array, msg, WriteTwoRows), 1);
  ASSERT_EQ(array.CountRows(&count, msg), 1);
  EXPECT_EQ(count, 3u);
  ASSERT_EQ(array.FirstRow(&first, msg), 1);
  EXPECT_EQ(first, "x,0");
  ASSERT_EQ(array.Restart(msg), 1);
  ASSERT_EQ(array.Sort(1, msg), 1) << Show(msg);
  EXPECT_EQ(rows, (CStringArray{"a,1", "b,2"}));

  char text[32] = "";
  BufferSink buffer(text, sizeof text);
  ASSERT_EQ(RunOnSink(buffer, msg, WriteTwoRows), 1);
  EXPECT_STREQ(text, "b,2;a,1");
  ASSERT_EQ(buffer.CountRows(&count, msg), 1);
  EXPECT_EQ(count, 2u);
  ASSERT_EQ(buffer.FirstRow(&first, msg), 1);
  EXPECT_EQ(first, "b,2");
  ASSERT_EQ(buffer.Sort(1, msg), 1) << Show(msg);
  EXPECT_STREQ(text, "a,1;b,2");
  ASSERT_EQ(buffer.Restart(msg), 1);
  ASSERT_EQ(buffer.CountRows(&count, msg), 1);
  EXPECT_EQ(count, 0u);
}

}  // namespace
