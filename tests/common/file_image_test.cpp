#include "common/file_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "common/message.h"
#include "support/test_util.h"

using testutil::TempDir;

namespace {

class FileImageTest : public ::testing::Test {
 protected:
  std::string Put(const char* name, const std::string& bytes) {
    EXPECT_TRUE(testutil::WriteBytes(dir_.Native(name), bytes));
    return dir_.Sys(name);
  }
  std::string Get(const char* name) const { return testutil::ReadBytes(dir_.Native(name)); }
  int FilesInFolder() const {
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir_.path())) ++n;
    return n;
  }
  TempDir dir_;
};

std::string Bytes(int n, char base = 'a') {
  std::string s;
  for (int i = 0; i < n; ++i) s += static_cast<char>(base + i % 26);
  return s;
}

TEST_F(FileImageTest, UpdateImageGrowsByItsStep) {
  const std::string path = Put("hundred.bin", Bytes(100));
  CFileImage img;
  ASSERT_EQ(1, img.LoadForUpdate(path.c_str(), 10, 50));
  EXPECT_EQ(100u, img.GetCapacity());
  EXPECT_EQ(100u, img.GetLength());
  ASSERT_EQ(1, img.Seek(100));
  ASSERT_EQ(1, img.WriteByte('Z'));
  EXPECT_EQ(150u, img.GetCapacity());
  EXPECT_EQ(101u, img.GetLength());
  EXPECT_EQ(101u, img.GetPosition());
  // The old bytes came along into the grown buffer.
  char head[3] = {};
  ASSERT_EQ(1, img.ReadAt(0, head, 3));
  EXPECT_EQ(0, std::memcmp(head, "abc", 3));
  ASSERT_EQ(1, img.Close(1));
  EXPECT_EQ(Bytes(100) + "Z", Get("hundred.bin"));
}

TEST_F(FileImageTest, SmallFileGetsTheRequestedBuffer) {
  const std::string path = Put("small.bin", "abc");
  CFileImage img;
  ASSERT_EQ(1, img.LoadForUpdate(path.c_str(), 64, 0));
  EXPECT_EQ(64u, img.GetCapacity());
  EXPECT_EQ(3u, img.GetLength());
}

TEST_F(FileImageTest, WithoutGrowthStepFailsAtFirstByteBeyondCapacity) {
  const std::string path = dir_.Sys("fixed.bin");
  CFileImage img;
  ASSERT_EQ(1, img.Create(path.c_str(), 8, 0));
  EXPECT_EQ(0u, img.GetLength());
  ASSERT_EQ(1, img.Write("12345678", 8));
  EXPECT_EQ(0, img.WriteByte('9'));
  EXPECT_EQ(8u, img.GetLength());
  EXPECT_EQ(8u, img.GetPosition());
  // Overwriting inside the data does not lengthen it.
  ASSERT_EQ(1, img.WriteAt(2, "xy", 2));
  EXPECT_EQ(8u, img.GetLength());
  ASSERT_EQ(1, img.Close(1));
  EXPECT_EQ("12xy5678", Get("fixed.bin"));
}

TEST_F(FileImageTest, ReadOnlyImageIsNeverWrittenBack) {
  const std::string path = Put("ro.bin", "hello");
  CFileImage img;
  ASSERT_EQ(1, img.Load(path.c_str()));
  EXPECT_EQ(5u, img.GetLength());
  ASSERT_EQ(1, img.WriteAt(0, "J", 1));  // changes only the memory copy
  char first = 0;
  ASSERT_EQ(1, img.ReadAt(0, &first, 1));
  EXPECT_EQ('J', first);
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("ro.bin"), "other"));
  EXPECT_EQ(1, img.Flush());
  EXPECT_EQ(1, img.Close(1));
  EXPECT_EQ("other", Get("ro.bin"));
}

TEST_F(FileImageTest, UpdatedImageIsRewrittenWholeOnCloseOnly) {
  const std::string path = Put("rw.bin", "0123456789");
  {
    CFileImage img;
    ASSERT_EQ(1, img.LoadForUpdate(path.c_str(), 4, 4));
    ASSERT_EQ(1, img.WriteAt(0, "AB", 2));
    EXPECT_EQ("0123456789", Get("rw.bin"));  // nothing written yet
    EXPECT_EQ(1, img.Close(0));              // closing without write-back
  }
  EXPECT_EQ("0123456789", Get("rw.bin"));
  {
    CFileImage img;
    ASSERT_EQ(1, img.LoadForUpdate(path.c_str(), 4, 4));
    ASSERT_EQ(1, img.WriteAt(8, "XYZ", 3));
  }  // the destructor writes back
  EXPECT_EQ("01234567XYZ", Get("rw.bin"));
  EXPECT_EQ(1, FilesInFolder());  // no work file left beside it
}

TEST_F(FileImageTest, FailedWriteBackKeepsTheOldFile) {
  const std::string old = Bytes(100);
  const std::string path = Put("keep.bin", old);
  CFileImage img;
  ASSERT_EQ(1, img.LoadForUpdate(path.c_str(), 100, 8192));
  ASSERT_EQ(1, img.Seek(100));
  ASSERT_EQ(1, img.Write(Bytes(4000, 'A').c_str(), 4000));

  int flushed = -1, closed = -1;
  {
    testutil::FileSizeLimit limit(1000);  // the write-back cannot complete
    flushed = img.Flush();
    closed = img.Close(1);
  }
  EXPECT_EQ(0, flushed);
  EXPECT_EQ(0, closed);  // Close reports the failed write-back
  EXPECT_EQ(old, Get("keep.bin"));
  EXPECT_EQ(1, FilesInFolder());
}

TEST_F(FileImageTest, WriteBackKeepsTheNameAsSpelledOnDisk) {
  Put("lower.bin", "abc");
  CFileImage img;
  ASSERT_EQ(1, img.LoadForUpdate(dir_.Sys("LOWER.BIN").c_str(), 4, 4));
  ASSERT_EQ(1, img.WriteAt(3, "d", 1));
  ASSERT_EQ(1, img.Close(1));
  EXPECT_EQ("abcd", Get("lower.bin"));
  EXPECT_EQ(1, FilesInFolder());
}

// A device named as the image takes the data in place: writing back
// neither moves it aside nor removes it.
TEST_F(FileImageTest, ADeviceNamedAsTheImageIsWrittenInPlaceAndKept) {
  if (!testutil::MakeCharDevice(dir_.Native("null"), 1, 3))
    GTEST_SKIP() << "no right to make a device node";
  CFileImage img;
  ASSERT_EQ(1, img.Create(dir_.Sys("null").c_str(), 16, 16));
  ASSERT_EQ(1, img.Write("data", 4));
  EXPECT_EQ(1, img.Close(1));
  EXPECT_TRUE(testutil::IsCharDevice(dir_.Native("null"), 1, 3));
  EXPECT_EQ(1, FilesInFolder());
}

TEST_F(FileImageTest, CreateTruncatesAndRefusesSizeZero) {
  const std::string path = Put("new.bin", "old contents");
  CFileImage img;
  EXPECT_EQ(0, img.Create(path.c_str(), 0, 16));
  EXPECT_EQ("old contents", Get("new.bin"));
  EXPECT_EQ(0, img.LoadForUpdate(path.c_str(), 0, 16));
  ASSERT_EQ(1, img.Create(path.c_str(), 16, 16));
  EXPECT_EQ("", Get("new.bin"));
  EXPECT_EQ(1, img.Close(0));
  // An image closed without data written back leaves the empty file.
  EXPECT_EQ("", Get("new.bin"));
}

TEST_F(FileImageTest, LoadRefusesEmptyAndMissingFiles) {
  const std::string empty = Put("empty.bin", "");
  CFileImage img;
  EXPECT_EQ(0, img.Load(empty.c_str()));
  EXPECT_EQ(0, img.IsOpen());
  EXPECT_EQ(0, img.Load(dir_.Sys("missing.bin").c_str()));
  EXPECT_EQ(0, img.LoadForUpdate(dir_.Sys("missing.bin").c_str(), 8, 8));
  EXPECT_EQ(0, img.IsOpen());
  EXPECT_EQ(0u, img.GetLength());
  EXPECT_EQ(0, img.Flush());  // closed
  // An empty file can still be loaded for update.
  ASSERT_EQ(1, img.LoadForUpdate(empty.c_str(), 8, 8));
  EXPECT_EQ(0u, img.GetLength());
}

TEST_F(FileImageTest, MessagesNameThePath) {
  char msg[kMessageSize] = "stale";
  CFileImage img;
  const std::string missing = dir_.Sys("missing.bin");
  EXPECT_EQ(0, img.LoadWithMessage(missing.c_str(), msg));
  EXPECT_EQ("ファイルオープンエラー!(" + missing + ")", msg);
  std::strcpy(msg, "stale");
  EXPECT_EQ(0, img.LoadForUpdateWithMessage(missing.c_str(), 8, 8, msg));
  EXPECT_EQ("ファイルオープンエラー!(" + missing + ")", msg);
  const std::string nofolder = dir_.Sys("nofolder\\x.bin");
  EXPECT_EQ(0, img.CreateWithMessage(nofolder.c_str(), 8, 8, msg));
  EXPECT_EQ("ファイルの作成に失敗しました！(" + nofolder + ")", msg);
  const std::string ok = Put("ok.bin", "x");
  EXPECT_EQ(1, img.LoadWithMessage(ok.c_str(), msg));
  EXPECT_STREQ("", msg);
}

TEST_F(FileImageTest, ReadsStopAtTheEndOfTheData) {
  const std::string path = Put("end.bin", std::string("ab\0d", 4));
  CFileImage img;
  ASSERT_EQ(1, img.Load(path.c_str()));
  EXPECT_EQ(0, img.Seek(5));
  ASSERT_EQ(1, img.Seek(4));
  EXPECT_EQ(0, img.ReadByte());
  EXPECT_EQ(4u, img.GetPosition());
  ASSERT_EQ(1, img.Seek(2));
  char out[4] = {'?', '?', '?', '?'};
  EXPECT_EQ(0, img.Read(out, 4));  // two bytes only
  EXPECT_EQ(4u, img.GetPosition());
  EXPECT_EQ('\0', out[0]);
  EXPECT_EQ('d', out[1]);
}

TEST_F(FileImageTest, StringItemsAppendReadAndReplace) {
  CFileImage img;
  ASSERT_EQ(1, img.Create(dir_.Sys("items.bin").c_str(), 16, 16));
  uint32_t first = 99, second = 99;
  ASSERT_EQ(1, img.AppendImageString("hello", &first));
  ASSERT_EQ(1, img.AppendImageString("", &second));
  EXPECT_EQ(0u, first);
  EXPECT_EQ(9u, second);
  EXPECT_EQ(13u, img.GetLength());
  char text[16];
  ASSERT_EQ(1, img.ReadImageString(first, text, sizeof text));
  EXPECT_STREQ("hello", text);
  ASSERT_EQ(1, img.ReadImageString(second, text, sizeof text));
  EXPECT_STREQ("", text);

  uint32_t at = 0;
  ASSERT_EQ(1, img.ReplaceImageString(first, "hi", &at));  // fits: in place
  EXPECT_EQ(first, at);
  ASSERT_EQ(1, img.ReadImageString(first, text, sizeof text));
  EXPECT_STREQ("hi", text);
  ASSERT_EQ(1, img.ReplaceImageString(second, "longer", &at));  // appended
  EXPECT_EQ(13u, at);
  ASSERT_EQ(1, img.ReadImageString(at, text, sizeof text));
  EXPECT_STREQ("longer", text);
  ASSERT_EQ(1, img.Close(1));
  EXPECT_EQ(std::string("\x02\0\0\0hillo\0\0\0\0\x06\0\0\0longer", 23), Get("items.bin"));
}

TEST_F(FileImageTest, StringItemTooLongForBufferOrDataIsRefused) {
  CFileImage img;
  ASSERT_EQ(1, img.Create(dir_.Sys("bad.bin").c_str(), 16, 16));
  uint32_t at = 0;
  ASSERT_EQ(1, img.AppendImageString("abcdef", &at));
  char small[6] = "zzzzz";
  EXPECT_EQ(0, img.ReadImageString(at, small, sizeof small));  // needs 7 bytes
  EXPECT_STREQ("", small);
  // A stored length that runs past the end of the data.
  ASSERT_EQ(1, img.WriteAt(0, "\xFF\x00\x00\x00", 4));
  char big[512];
  EXPECT_EQ(0, img.ReadImageString(0, big, sizeof big));
  EXPECT_EQ(0, img.ReadImageString(100, big, sizeof big));
}

}  // namespace
