#include "common/file_access.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "common/message.h"
#include "plat/path.h"
#include "support/test_util.h"

using plat::File;
using testutil::TempDir;

namespace {

// A scratch folder with helpers for files given by name.
class FileAccessTest : public ::testing::Test {
 protected:
  std::string Sys(const char* name) const { return dir_.Sys(name); }
  void Put(const char* name, std::string_view bytes) {
    ASSERT_TRUE(testutil::WriteBytes(dir_.Native(name), bytes));
  }
  std::string Get(const char* name) const { return testutil::ReadBytes(dir_.Native(name)); }
  bool Exists(const char* name) const { return testutil::Exists(dir_.Native(name)); }

  TempDir dir_;
};

std::string OpenMessage(const std::string& path) { return "ファイルオープンエラー!(" + path + ")"; }
std::string CreateMessage(const std::string& path) {
  return "ファイルの作成に失敗しました！(" + path + ")";
}

using OpenFn = int (*)(File*, const char*);
using OpenWithErrorFn = int (*)(File*, const char*, char*);

struct NamedOpen {
  const char* name;
  OpenFn open;
};

const NamedOpen kOpens[] = {
    {"OpenFileForReadWrite", OpenFileForReadWrite},
    {"OpenFileForSharedReadWrite", OpenFileForSharedReadWrite},
    {"OpenFileForRead", OpenFileForRead},
    {"OpenFileForReadDenyWrite", OpenFileForReadDenyWrite},
    {"OpenNewFileForReadWrite", OpenNewFileForReadWrite},
    {"OpenTextFileForReadWrite", OpenTextFileForReadWrite},
    {"OpenTextFileForRead", OpenTextFileForRead},
    {"OpenTextFileForReadDenyWrite", OpenTextFileForReadDenyWrite},
    {"OpenNewTextFileForWrite", OpenNewTextFileForWrite},
    {"OpenTextFileForAppend", OpenTextFileForAppend},
    {"OpenTextFileForAppendOrCreate", OpenTextFileForAppendOrCreate},
};

}  // namespace

// ---- Paths and opens ----

TEST(IsNonBlankPath, BlankAndNullPaths) {
  EXPECT_EQ(IsNonBlankPath(nullptr), 0);
  EXPECT_EQ(IsNonBlankPath(""), 0);
  EXPECT_EQ(IsNonBlankPath("   "), 0);
  EXPECT_EQ(IsNonBlankPath(" a "), 1);
  EXPECT_EQ(IsNonBlankPath("　"), 1);  // only 0x20 counts as a blank
}

TEST(IsNonBlankPath, PathsLongerThan64KBAreCheckedWithoutOverrun) {
  const std::string blanks(70000, ' ');
  EXPECT_EQ(IsNonBlankPath(blanks.c_str()), 0);
  EXPECT_EQ(IsNonBlankPath((blanks + "x").c_str()), 1);
  EXPECT_EQ(IsNonBlankPath(std::string(70000, 'a').c_str()), 1);
}

TEST_F(FileAccessTest, BlankPathsFailEveryOpenWithoutTouchingTheDisk) {
  for (const char* path : {static_cast<const char*>(nullptr), "", "   "}) {
    for (const auto& o : kOpens) {
      File f;
      EXPECT_EQ(o.open(&f, path), 0) << o.name;
      EXPECT_FALSE(f.IsOpen()) << o.name;
      // The file object was never asked to open anything.
      EXPECT_EQ(f.LastError(), plat::FileError::None) << o.name;
    }
    EXPECT_EQ(FileExists(path), 0);
    EXPECT_EQ(CanCreateFile(path), 0);
  }
  char msg[kMessageSize] = "old";
  File f;
  EXPECT_EQ(OpenNewFileForReadWriteWithError(&f, "  ", msg), 0);
  EXPECT_EQ(std::string(msg), CreateMessage("  "));
  EXPECT_EQ(f.LastError(), plat::FileError::None);
}

// What each plain open allows, tried on a missing file and on "x\r\ny".
TEST_F(FileAccessTest, EachOpenHasItsMode) {
  struct Mode {
    OpenFn open;
    bool creates, reads, writes, text;
  };
  const Mode modes[] = {
      {OpenFileForReadWrite, false, true, true, false},
      {OpenFileForSharedReadWrite, false, true, true, false},
      {OpenFileForRead, false, true, false, false},
      {OpenFileForReadDenyWrite, false, true, false, false},
      {OpenNewFileForReadWrite, true, true, true, false},
      {OpenTextFileForReadWrite, false, true, true, true},
      {OpenTextFileForRead, false, true, false, true},
      {OpenTextFileForReadDenyWrite, false, true, false, true},
      {OpenNewTextFileForWrite, true, false, true, true},
  };
  const std::string path = Sys("a.dat");
  for (const auto& m : modes) {
    const int index = static_cast<int>(&m - modes);
    File f;
    EXPECT_EQ(m.open(&f, path.c_str()), m.creates ? 1 : 0) << index;
    f.Close();
    EXPECT_EQ(Exists("a.dat"), m.creates) << index;
    Put("a.dat", "x\r\ny");
    ASSERT_EQ(m.open(&f, path.c_str()), 1) << index;
    char buf[8] = {};
    const std::size_t got = f.Read(buf, sizeof buf);
    const std::string before = m.creates ? "" : m.text ? "x\ny" : "x\r\ny";
    EXPECT_EQ(std::string(buf, got), m.reads ? before : "") << index;
    EXPECT_EQ(WriteTextToFile(&f, "\n"), m.writes ? 1 : 0) << index;
    f.Close();
    const std::string written = m.text ? "\r\n" : "\n";
    EXPECT_EQ(Get("a.dat"), (m.creates ? "" : "x\r\ny") + (m.writes ? written : "")) << index;
    ASSERT_TRUE(File::Remove(path.c_str()));
  }
}

TEST_F(FileAccessTest, WithErrorFormsClearOrWriteTheirMessage) {
  Put("a.dat", "abc");
  const std::string good = Sys("a.dat");
  const std::string bad = Sys("none.dat");
  const std::string badFolder = Sys("none\\new.dat");
  struct Case {
    OpenWithErrorFn open;
    std::string path;
    int expected;
    std::string message;
  };
  const Case cases[] = {
      {OpenFileForReadWriteWithError, good, 1, ""},
      {OpenFileForReadWriteWithError, bad, 0, OpenMessage(bad)},
      {OpenFileForReadDenyWriteWithError, good, 1, ""},
      {OpenFileForReadDenyWriteWithError, bad, 0, OpenMessage(bad)},
      {OpenTextFileForReadWriteWithError, good, 1, ""},
      {OpenTextFileForReadWriteWithError, bad, 0, OpenMessage(bad)},
      {OpenTextFileForReadWithError, good, 1, ""},
      {OpenTextFileForReadWithError, bad, 0, OpenMessage(bad)},
      {OpenNewFileForReadWriteWithError, Sys("n1.dat"), 1, ""},
      {OpenNewFileForReadWriteWithError, badFolder, 0, CreateMessage(badFolder)},
      {OpenNewTextFileForWriteWithError, Sys("n2.dat"), 1, ""},
      {OpenNewTextFileForWriteWithError, badFolder, 0, CreateMessage(badFolder)},
  };
  for (const auto& c : cases) {
    char msg[kMessageSize] = "left over";
    File f;
    EXPECT_EQ(c.open(&f, c.path.c_str(), msg), c.expected) << c.path;
    EXPECT_EQ(std::string(msg), c.message) << testutil::Show(msg);
  }
  char* noMessage = nullptr;
  File f;
  EXPECT_EQ(OpenFileForReadWriteWithError(&f, bad.c_str(), noMessage), 0);
}

TEST_F(FileAccessTest, OpenAtPositionsTheFile) {
  Put("a.dat", "0123456789");
  const std::string path = Sys("a.dat");
  char msg[kMessageSize] = "x";
  char c = 0;
  {
    File f;
    ASSERT_EQ(OpenFileForReadWriteAtWithError(&f, path.c_str(), 4, msg), 1);
    EXPECT_STREQ(msg, "");
    ASSERT_EQ(ReadBytesFromFile(&f, &c, 1), 1);
    EXPECT_EQ(c, '4');
  }
  {
    File f;
    ASSERT_EQ(OpenFileForReadDenyWriteAt(&f, path.c_str(), 7), 1);
    ASSERT_EQ(ReadBytesFromFile(&f, &c, 1), 1);
    EXPECT_EQ(c, '7');
  }
  File f;
  const std::string bad = Sys("b.dat");
  EXPECT_EQ(OpenFileForReadDenyWriteAtWithError(&f, bad.c_str(), 1, msg), 0);
  EXPECT_EQ(std::string(msg), OpenMessage(bad));
  EXPECT_EQ(OpenFileForReadWriteAt(&f, bad.c_str(), 1), 0);
}

TEST_F(FileAccessTest, PairOpenClosesTheFirstWhenTheSecondFails) {
  Put("a.dat", "a");
  Put("b.dat", "b");
  const std::string a = Sys("a.dat"), b = Sys("b.dat"), c = Sys("c.dat");
  char msg[kMessageSize];
  File first, second;
  ASSERT_EQ(OpenFilePairForReadWrite(&first, a.c_str(), &second, b.c_str(), msg), 1);
  EXPECT_TRUE(first.IsOpen() && second.IsOpen());
  EXPECT_STREQ(msg, "");
  first.Close();
  second.Close();
  EXPECT_EQ(OpenFilePairForReadDenyWrite(&first, a.c_str(), &second, c.c_str(), msg), 0);
  EXPECT_FALSE(first.IsOpen());
  EXPECT_FALSE(second.IsOpen());
  EXPECT_EQ(std::string(msg), OpenMessage(c));
  EXPECT_EQ(OpenFilePairForReadWrite(&first, c.c_str(), &second, a.c_str(), msg), 0);
  EXPECT_FALSE(second.IsOpen());
  EXPECT_EQ(std::string(msg), OpenMessage(c));
}

TEST_F(FileAccessTest, LongPathsFailCleanlyWithAMessageCutAtACharacter) {
  // The prefix "ファイルオープンエラー!(" is 24 bytes; "あ" is 82 A0.
  std::string kana;
  for (int i = 0; i < 35000; ++i) kana += "あ";
  const std::string paths[] = {kana, "x" + kana};
  const std::size_t expected[] = {24 + 486, 24 + 1 + 486};
  for (int i = 0; i < 2; ++i) {
    char msg[kMessageSize + 8];
    std::memset(msg, 'Z', sizeof msg);
    File f;
    EXPECT_EQ(OpenFileForReadDenyWriteWithError(&f, paths[i].c_str(), msg), 0);
    ASSERT_EQ(std::strlen(msg), expected[i]);
    EXPECT_EQ(std::string(msg, 24), "ファイルオープンエラー!(");
    EXPECT_EQ(std::string(msg + expected[i] - 2), "あ");
    EXPECT_EQ(msg[kMessageSize], 'Z');  // nothing past the buffer
  }
  EXPECT_EQ(FileExists(std::string(70000, 'a').c_str()), 0);
}

// ---- Append ----

TEST_F(FileAccessTest, AppendOverwritesAFinalEndOfFileMark) {
  struct Case {
    const char* before;
    const char* after;
  };
  const Case cases[] = {
      {"abc\x1A", "abcde\r\n"},
      {"abc", "abcde\r\n"},
      {"", "de\r\n"},
      {"a\x1A"
       "b",
       "a\x1A"
       "bde\r\n"},  // only a final mark counts
  };
  for (const auto& c : cases) {
    Put("t.txt", c.before);
    File f;
    ASSERT_EQ(OpenTextFileForAppend(&f, Sys("t.txt").c_str()), 1) << c.before;
    EXPECT_EQ(WriteLineToFile(&f, "de"), 1);
    f.Close();
    EXPECT_EQ(Get("t.txt"), c.after) << c.before;
  }
  File f;
  EXPECT_EQ(OpenTextFileForAppend(&f, Sys("none.txt").c_str()), 0);
  EXPECT_FALSE(Exists("none.txt"));
  ASSERT_EQ(OpenTextFileForAppendOrCreate(&f, Sys("t.txt").c_str()), 1);
  EXPECT_EQ(WriteTextToFile(&f, "x"), 1);
  f.Close();
  EXPECT_EQ(Get("t.txt"),
            "a\x1A"
            "bde\r\nx");
}

// ---- Reading and writing bytes ----

TEST_F(FileAccessTest, ShortReadFailsButKeepsTheBytes) {
  Put("a.dat", "0123456789");
  File f;
  ASSERT_EQ(OpenFileForRead(&f, Sys("a.dat").c_str()), 1);
  char buf[11] = {};
  ASSERT_EQ(SeekFileTo(&f, 4), 1);
  EXPECT_EQ(ReadBytesFromFile(&f, buf, 10), 0);
  EXPECT_EQ(std::string(buf), "456789");
  EXPECT_EQ(ReadBytesFromFileAt(&f, 2, buf, 3), 1);
  EXPECT_EQ(std::string(buf, 3), "234");
  EXPECT_EQ(ReadBytesFromFileAt(&f, 10, buf, 1), 0);
  EXPECT_EQ(ReadBytesFromFile(&f, buf, 0), 1);
  EXPECT_EQ(ReadBytesFromFile(nullptr, buf, 1), 0);
}

TEST_F(FileAccessTest, SeeksAndPositions) {
  Put("a.dat", "0123456789");
  File f;
  ASSERT_EQ(OpenFileForReadWrite(&f, Sys("a.dat").c_str()), 1);
  uint32_t pos = 99;
  EXPECT_EQ(SeekFileToEndGetPos(&f, &pos), 1);
  EXPECT_EQ(pos, 10u);
  EXPECT_EQ(SeekFileBy(&f, -3), 1);
  EXPECT_EQ(GetFilePosition(&f, &pos), 1);
  EXPECT_EQ(pos, 7u);
  EXPECT_EQ(SeekFileBy(&f, -8), 0);  // before the start
  EXPECT_EQ(SeekFileToBegin(&f), 1);
  EXPECT_EQ(GetFilePosition(&f, &pos), 1);
  EXPECT_EQ(pos, 0u);
  EXPECT_EQ(WriteBytesToFileAt(&f, 12, "xy", 2), 1);  // past the end is allowed
  EXPECT_EQ(SeekFileToEnd(&f), 1);
  EXPECT_EQ(GetFilePosition(&f, &pos), 1);
  EXPECT_EQ(pos, 14u);
  EXPECT_EQ(LockFileRange(&f, 0, 4), 1);
  EXPECT_EQ(UnlockFileRange(&f, 0, 4), 1);
  f.Close();
  EXPECT_EQ(Get("a.dat"), std::string("0123456789\0\0xy", 14));
  EXPECT_EQ(SeekFileToEnd(nullptr), 0);
  EXPECT_EQ(SeekFileTo(&f, 0), 0);  // closed
}

TEST_F(FileAccessTest, TypedValuesAreLittleEndianAndSwappedReadersBigEndian) {
  File f;
  ASSERT_EQ(OpenNewFileForReadWrite(&f, Sys("le.dat").c_str()), 1);
  EXPECT_TRUE(WriteByteToFile(&f, 0x1FE) && WriteShortToFile(&f, -2) &&
              WriteUShortToFile(&f, 0x1234) && WriteLongToFile(&f, -2) &&
              WriteULongToFile(&f, 0x12345678u) && WriteFloatToFile(&f, 1.5f) &&
              WriteDoubleToFile(&f, -2.25));
  f.Close();
  ASSERT_EQ(Get("le.dat"), std::string("\xFE"
                                       "\xFE\xFF"
                                       "\x34\x12"
                                       "\xFE\xFF\xFF\xFF"
                                       "\x78\x56\x34\x12"
                                       "\x00\x00\xC0\x3F"
                                       "\x00\x00\x00\x00\x00\x00\x02\xC0",
                                       25));
  uint8_t b = 0;
  int16_t s = 0;
  uint16_t us = 0;
  int32_t l = 0;
  uint32_t ul = 0;
  float fl = 0;
  double d = 0;
  ASSERT_EQ(OpenFileForRead(&f, Sys("le.dat").c_str()), 1);
  EXPECT_TRUE(ReadByteFromFile(&f, &b) && ReadShortFromFile(&f, &s) &&
              ReadUShortFromFile(&f, &us) && ReadLongFromFile(&f, &l) &&
              ReadULongFromFile(&f, &ul) && ReadFloatFromFile(&f, &fl) &&
              ReadDoubleFromFile(&f, &d));
  EXPECT_EQ(ReadByteFromFile(&f, &b), 0);  // end of file
  f.Close();
  EXPECT_TRUE(b == 0xFE && s == -2 && us == 0x1234 && l == -2 && ul == 0x12345678u && fl == 1.5f &&
              d == -2.25);

  // The same values stored big-endian, and one byte over.
  Put("be.dat", std::string("\xFF\xFE"
                            "\x12\x34"
                            "\xFF\xFF\xFF\xFE"
                            "\x12\x34\x56\x78"
                            "\x3F\xC0\x00\x00"
                            "\xC0\x02\x00\x00\x00\x00\x00\x00"
                            "\x01",
                            25));
  s = 0, us = 0, l = 0, ul = 0, fl = 0, d = 0;
  ASSERT_EQ(OpenFileForRead(&f, Sys("be.dat").c_str()), 1);
  EXPECT_TRUE(ReadShortFromFileSwapped(&f, &s) && ReadUShortFromFileSwapped(&f, &us) &&
              ReadLongFromFileSwapped(&f, &l) && ReadULongFromFileSwapped(&f, &ul) &&
              ReadFloatFromFileSwapped(&f, &fl) && ReadDoubleFromFileSwapped(&f, &d));
  EXPECT_TRUE(s == -2 && us == 0x1234 && l == -2 && ul == 0x12345678u && fl == 1.5f && d == -2.25);
  EXPECT_EQ(ReadUShortFromFileSwapped(&f, &us), 0);  // one byte left
}

TEST_F(FileAccessTest, CopyFileContentsFromTheCurrentPosition) {
  std::string big(10000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  Put("src.dat", big);
  Put("dst.dat", "head");
  File src, dst;
  ASSERT_EQ(OpenFileForRead(&src, Sys("src.dat").c_str()), 1);
  ASSERT_EQ(OpenFileForReadWrite(&dst, Sys("dst.dat").c_str()), 1);
  ASSERT_EQ(SeekFileTo(&src, 5), 1);
  ASSERT_EQ(SeekFileToEnd(&dst), 1);
  EXPECT_EQ(CopyFileContents(&dst, &src), 1);
  dst.Close();
  EXPECT_EQ(Get("dst.dat"), "head" + big.substr(5));
  EXPECT_EQ(CopyFileContents(&src, &src), 0);
  EXPECT_EQ(CopyFileContents(nullptr, &src), 0);
  EXPECT_EQ(CopyFileContents(&dst, nullptr), 0);
}

// ---- Lines ----

TEST_F(FileAccessTest, ReadLineRemovesOneLineFeedAndReadsLongLinesInPieces) {
  Put("t.txt", "ab\r\ncd\n\r\nabcd\nlast");
  File f;
  ASSERT_EQ(OpenTextFileForRead(&f, Sys("t.txt").c_str()), 1);
  char line[8];
  const char* expected[] = {"ab", "cd", ""};
  for (const char* e : expected) {
    ASSERT_EQ(ReadLineFromFile(&f, line, sizeof line), 1);
    EXPECT_STREQ(line, e);
  }
  // A buffer of 3 bytes takes two bytes at a time.
  const char* pieces[] = {"ab", "cd", "", "la", "st"};
  for (const char* e : pieces) {
    ASSERT_EQ(ReadLineFromFile(&f, line, 3), 1);
    EXPECT_STREQ(line, e);
  }
  EXPECT_EQ(ReadLineFromFile(&f, line, sizeof line), 0);
  EXPECT_EQ(ReadLineFromFile(&f, line, 0), 0);
}

// ---- Text writers ----

class TextWriterTest : public FileAccessTest {
 protected:
  void SetUp() override { ASSERT_EQ(OpenNewTextFileForWrite(&file_, Sys("w.txt").c_str()), 1); }
  std::string Written() {
    file_.Close();
    return Get("w.txt");
  }
  File file_;
};

// The width format "%<W>d" is built at run time for 16- and 32-bit values.
TEST_F(TextWriterTest, IntegerWidthFormat) {
  EXPECT_EQ(WriteShortToTextFile(&file_, -5, 4), 1);
  EXPECT_EQ(WriteShortToTextFile(&file_, 32767, 0), 1);
  EXPECT_EQ(WriteIntToTextFile(&file_, 42, 5), 1);
  EXPECT_EQ(WriteIntToTextFile(&file_, INT32_MIN, 1), 1);
  EXPECT_EQ(WriteShortToTextFile(&file_, 1, -1), 0);
  EXPECT_EQ(WriteIntToTextFile(&file_, 1, -1), 0);
  EXPECT_EQ(WriteIntToTextFile(&file_, 1, 516), 0);  // 516 bytes leave no room for the NUL
  EXPECT_EQ(WriteIntLineToTextFile(&file_, 7, 2), 1);
  EXPECT_EQ(WriteShortLineToTextFile(&file_, -7, 3), 1);
  EXPECT_EQ(WriteIntLineToTextFile(&file_, 7, -2), 0);  // no line feed either
  EXPECT_EQ(Written(), "  -532767   42-2147483648 7\r\n -7\r\n");
}

TEST_F(TextWriterTest, IntegerWidthFormatFillsTheWorkBufferExactly) {
  EXPECT_EQ(WriteIntToTextFile(&file_, 3, 515), 1);
  EXPECT_EQ(Written(), std::string(514, ' ') + "3");
}

// "%<W>ld" is built at run time; the 32-bit value is printed as a long.
TEST_F(TextWriterTest, LongWidthFormat) {
  EXPECT_EQ(WriteLongToTextFile(&file_, INT32_MIN, 12), 1);
  EXPECT_EQ(WriteLongToTextFile(&file_, INT32_MAX, 0), 1);
  EXPECT_EQ(WriteLongToTextFile(&file_, -1, 3), 1);
  EXPECT_EQ(WriteLongToTextFile(&file_, 1, -1), 0);
  EXPECT_EQ(WriteLongToTextFile(&file_, 1, 100000), 0);
  EXPECT_EQ(WriteLongLineToTextFile(&file_, 12, 1), 1);
  EXPECT_EQ(Written(), " -21474836482147483647 -112\r\n");
}

// "%<W>.<D>lf" is built at run time.
TEST_F(TextWriterTest, DoubleWidthAndDecimalsFormat) {
  EXPECT_EQ(WriteDoubleToTextFile(&file_, 3.14159, 8, 3), 1);
  EXPECT_EQ(WriteDoubleToTextFile(&file_, -0.5, 0, 0), 1);  // rounds to even: "-0"
  EXPECT_EQ(WriteDoubleToTextFile(&file_, 2.0, 4, 4), 1);
  EXPECT_EQ(WriteDoubleToTextFile(&file_, 1.0, 3, 4), 0);        // width below decimals
  EXPECT_EQ(WriteDoubleToTextFile(&file_, 1.0, 5, -1), 0);       // no negative decimals
  EXPECT_EQ(WriteDoubleToTextFile(&file_, 1e300, 0, 0), 1);      // 301 digits fit
  EXPECT_EQ(WriteDoubleToTextFile(&file_, 1e300, 300, 300), 0);  // 602 bytes do not
  EXPECT_EQ(WriteDoubleLineToTextFile(&file_, 1.25, 1, 1), 1);
  const std::string text = Written();
  EXPECT_EQ(text.substr(0, 16), "   3.142-02.0000");
  EXPECT_EQ(text.size(), 16u + 301 + 5);
  EXPECT_EQ(text.substr(16, 1), "1");
  EXPECT_EQ(text.substr(16 + 301), "1.2\r\n");  // 1.25 is 1.25 exactly: to even
}

TEST_F(TextWriterTest, PaddedTextPadsButNeverCuts) {
  EXPECT_EQ(WritePaddedTextToFile(&file_, "abc", 5), 1);
  EXPECT_EQ(WritePaddedTextToFile(&file_, "abc", 2), 1);
  EXPECT_EQ(WritePaddedTextToFile(&file_, "", 0), 1);
  EXPECT_EQ(WritePaddedTextToFile(&file_, "abc", -1), 0);
  EXPECT_EQ(WritePaddedTextLineToFile(&file_, "表", 3), 1);
  EXPECT_EQ(WriteNewLineToFile(&file_), 1);
  EXPECT_EQ(Written(), "abc  abc" + std::string("表") + " \r\n\r\n");
}

TEST_F(TextWriterTest, PaddedTextLongerThanTheWorkBufferIsRefused) {
  const std::string fits(515, 'a');
  const std::string tooLong(516, 'b');
  EXPECT_EQ(WritePaddedTextToFile(&file_, tooLong.c_str(), 0), 0);
  EXPECT_EQ(WritePaddedTextToFile(&file_, "x", 516), 0);
  EXPECT_EQ(WritePaddedTextToFile(&file_, "x", 100000), 0);
  EXPECT_EQ(WritePaddedTextToFile(&file_, fits.c_str(), 0), 1);
  EXPECT_EQ(WritePaddedTextToFile(&file_, "y", 515), 1);
  EXPECT_EQ(Written(), fits + "y" + std::string(514, ' '));
}

// ---- Tests and measures ----

TEST_F(FileAccessTest, FileExistsOnlyForFiles) {
  Put("a.dat", "a");
  ASSERT_TRUE(plat::path::MakeDir(Sys("sub").c_str()));
  EXPECT_EQ(FileExists(Sys("a.dat").c_str()), 1);
  EXPECT_EQ(FileExists(Sys("A.DAT").c_str()), 1);  // names match without case
  EXPECT_EQ(FileExists(Sys("sub").c_str()), 0);
  EXPECT_EQ(FileExists(dir_.path().c_str()), 0);
  EXPECT_EQ(FileExists(Sys("b.dat").c_str()), 0);
  EXPECT_EQ(CanOpenFileForRead(Sys("a.dat").c_str()), 1);
  EXPECT_EQ(CanOpenFileForRead(Sys("sub").c_str()), 0);
  EXPECT_EQ(CanOpenFileForReadWrite(Sys("a.dat").c_str()), 1);
  EXPECT_EQ(CanOpenFileForReadWrite(Sys("b.dat").c_str()), 0);
  EXPECT_FALSE(Exists("b.dat"));
}

TEST_F(FileAccessTest, ExistenceMessagesNameTheFirstMissingFile) {
  Put("a.dat", "a");
  Put("b.dat", "b");
  const std::string a = Sys("a.dat"), b = Sys("b.dat"), x = Sys("x.dat"), y = Sys("y.dat");
  char msg[kMessageSize] = "kept";
  EXPECT_EQ(FileExistsWithError(a.c_str(), msg), 1);
  EXPECT_STREQ(msg, "kept");  // not emptied first
  EXPECT_EQ(FileExistsWithError(x.c_str(), msg), 0);
  EXPECT_EQ(std::string(msg), OpenMessage(x));

  std::strcpy(msg, "old");
  EXPECT_EQ(BothFilesExist(a.c_str(), b.c_str(), msg), 1);
  EXPECT_STREQ(msg, "");
  EXPECT_EQ(BothFilesExist(a.c_str(), x.c_str(), msg), 0);
  EXPECT_EQ(std::string(msg), OpenMessage(x));
  EXPECT_EQ(BothFilesExist(y.c_str(), x.c_str(), msg), 0);
  EXPECT_EQ(std::string(msg), OpenMessage(y));
  EXPECT_EQ(AllThreeFilesExist(a.c_str(), b.c_str(), a.c_str(), msg), 1);
  EXPECT_STREQ(msg, "");
  EXPECT_EQ(AllThreeFilesExist(a.c_str(), b.c_str(), y.c_str(), msg), 0);
  EXPECT_EQ(std::string(msg), OpenMessage(y));
}

TEST_F(FileAccessTest, CanCreateFileLeavesNothingBehind) {
  EXPECT_EQ(CanCreateFile(Sys("new.dat").c_str()), 1);
  EXPECT_FALSE(Exists("new.dat"));
  Put("old.dat", "keep");
  EXPECT_EQ(CanCreateFile(Sys("old.dat").c_str()), 1);
  EXPECT_EQ(Get("old.dat"), "keep");
  EXPECT_EQ(CanCreateFile(Sys("none\\new.dat").c_str()), 0);
}

TEST_F(FileAccessTest, LengthAndByteCount) {
  std::string big(20000, 'a');
  for (std::size_t i = 0; i < big.size(); i += 3) big[i] = '\n';
  Put("big.dat", big);
  uint32_t length = 99, count = 99;
  EXPECT_EQ(GetFileLength(Sys("big.dat").c_str(), &length), 1);
  EXPECT_EQ(length, 20000u);
  EXPECT_EQ(CountByteInFile(Sys("big.dat").c_str(), '\n', &count), 1);
  EXPECT_EQ(count, 6667u);  // across three pieces of 8,192 bytes
  EXPECT_EQ(GetFileLength(Sys("none").c_str(), &length), 0);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(CountByteInFile(Sys("none").c_str(), 'a', &count), 0);
  plat::FileStatus st;
  EXPECT_EQ(GetFileStatus(Sys("big.dat").c_str(), &st), 1);
  EXPECT_EQ(st.size, 20000u);
  EXPECT_EQ(GetFileStatus(Sys("none").c_str(), &st), 0);
  EXPECT_EQ(GetFileStatus("  ", &st), 0);
}

// ---- Whole files ----

TEST_F(FileAccessTest, WholeFileLoadsAndTheirMessages) {
  Put("a.dat", "abc");
  Put("empty.dat", "");
  const std::string a = Sys("a.dat"), empty = Sys("empty.dat"), none = Sys("none.dat");
  char msg[kMessageSize];
  char buf[4] = {};
  EXPECT_EQ(ReadWholeFile(a.c_str(), buf, 3, msg), 1);
  EXPECT_STREQ(msg, "");
  EXPECT_EQ(std::string(buf, 3), "abc");
  EXPECT_EQ(ReadWholeFile(a.c_str(), buf, 2, msg), 0);  // does not fit
  EXPECT_EQ(ReadWholeFile(empty.c_str(), buf, 3, msg), 0);
  EXPECT_EQ(std::string(msg), "ファイルサイズが０バイトです！(" + empty + ")");
  EXPECT_EQ(ReadWholeFile(none.c_str(), buf, 3, msg), 0);
  EXPECT_EQ(std::string(msg), OpenMessage(none));

  char* block = reinterpret_cast<char*>(&msg);  // must be reset
  uint32_t length = 0;
  ASSERT_EQ(LoadWholeFileWithLength(a.c_str(), &block, &length, msg), 1);
  EXPECT_EQ(length, 3u);
  EXPECT_EQ(std::string(block, 3), "abc");
  std::free(block);
  ASSERT_EQ(LoadWholeFile(a.c_str(), &block, msg), 1);
  EXPECT_EQ(std::string(block, 3), "abc");
  std::free(block);
  EXPECT_EQ(LoadWholeFile(none.c_str(), &block, msg), 0);
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(std::string(msg), "ファイルサイズの取得に失敗しました！(" + none + ")");
  EXPECT_EQ(LoadWholeFile(empty.c_str(), &block, msg), 0);
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(std::string(msg), "ファイルサイズが０バイトです！(" + empty + ")");
}

// ---- Filling and length-prefixed strings ----

TEST_F(FileAccessTest, FillInPieces) {
  File f;
  ASSERT_EQ(OpenNewFileForReadWrite(&f, Sys("f.dat").c_str()), 1);
  EXPECT_EQ(FillFileBytes(&f, 0xFF, 10000, 4096), 1);
  EXPECT_EQ(FillFileBytes(&f, 0xFF, 0, 4096), 1);
  EXPECT_EQ(FillFileBytes(&f, 0xFF, 10, 0), 0);
  EXPECT_EQ(FillFileBytes(nullptr, 0xFF, 10, 10), 0);
  EXPECT_EQ(FillFileBytesAt(&f, 0x00, 3, 2, 32768), 1);
  f.Close();
  std::string expected(10000, '\xFF');
  expected.replace(2, 3, 3, '\0');
  EXPECT_EQ(Get("f.dat"), expected);
}

TEST_F(FileAccessTest, LengthPrefixedStrings) {
  Put("s.dat", "0123456789");
  File f;
  ASSERT_EQ(OpenFileForReadWrite(&f, Sys("s.dat").c_str()), 1);
  uint32_t empty = 0, abc = 0;
  EXPECT_EQ(AppendLengthPrefixedString(&f, "", &empty), 1);
  EXPECT_EQ(empty, 10u);
  EXPECT_EQ(AppendLengthPrefixedString(&f, "表abc", &abc), 1);
  EXPECT_EQ(abc, 14u);
  EXPECT_EQ(AppendLengthPrefixedString(&f, nullptr, &abc), 0);
  EXPECT_EQ(AppendLengthPrefixedString(nullptr, "x", &abc), 0);

  char text[8] = "junk";
  EXPECT_EQ(ReadDwordLengthString(&f, empty, text, sizeof text), 1);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(ReadDwordLengthString(&f, abc, text, 6), 1);  // 5 bytes and the NUL
  EXPECT_EQ(std::string(text), "表abc");
  EXPECT_EQ(ReadDwordLengthString(&f, abc, text, 5), 0);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(ReadDwordLengthString(&f, 100, text, sizeof text), 0);  // past the end
  f.Close();
  EXPECT_EQ(Get("s.dat"), std::string("0123456789\0\0\0\0\5\0\0\0表abc", 23));
}

TEST_F(FileAccessTest, StoredLengthBeyondTheTextBufferIsNotRead) {
  Put("s.dat", std::string("\xFF\xFF\xFF\x7F"
                           "abc",
                           7));
  File f;
  ASSERT_EQ(OpenFileForRead(&f, Sys("s.dat").c_str()), 1);
  char text[16];
  EXPECT_EQ(ReadDwordLengthString(&f, 0, text, sizeof text), 0);
  EXPECT_STREQ(text, "");
  Put("t.dat", std::string("\x09\0\0\0"
                           "abc",
                           7));  // 9 announced, 3 there
  File g;
  ASSERT_EQ(OpenFileForRead(&g, Sys("t.dat").c_str()), 1);
  EXPECT_EQ(ReadDwordLengthString(&g, 0, text, sizeof text), 0);
  EXPECT_STREQ(text, "");
}

// ---- Numbers and times ----

TEST_F(FileAccessTest, ReadIntLinesWithinARange) {
  Put("n.txt", "12\r\n 7 \r\nabc\r\n99\r\n3.9\n-4");
  File f;
  ASSERT_EQ(OpenTextFileForRead(&f, Sys("n.txt").c_str()), 1);
  int32_t v = -1;
  EXPECT_EQ(ReadIntLineFromFile(&f, &v, 0, 50), 1);
  EXPECT_EQ(v, 12);
  EXPECT_EQ(ReadIntLineFromFile(&f, &v, 0, 50), 1);
  EXPECT_EQ(v, 7);
  EXPECT_EQ(ReadIntLineFromFile(&f, &v, 0, 50), 0);
  EXPECT_EQ(ReadIntLineFromFile(&f, &v, 0, 50), 0);  // out of range
  EXPECT_EQ(v, 7);
  EXPECT_EQ(ReadIntLineFromFile(&f, &v, 0, 50), 1);
  EXPECT_EQ(v, 3);
  EXPECT_EQ(ReadIntLineFromFile(&f, &v, -10, 0), 1);
  EXPECT_EQ(v, -4);
  EXPECT_EQ(ReadIntLineFromFile(&f, &v, -10, 10), 0);  // end of file
  EXPECT_EQ(v, -4);
}

TEST_F(FileAccessTest, FileTimesAreTheLow32Bits) {
  Put("t.dat", "x");
  const int64_t modified = (int64_t{1} << 32) + 5;  // beyond 32 bits: cut
  const struct timespec times[2] = {{1000000000, 0}, {static_cast<time_t>(modified), 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, dir_.Native("t.dat").c_str(), times, 0), 0);
  plat::FileStatus st;
  ASSERT_TRUE(File::GetStatus(Sys("t.dat").c_str(), st));
  if (st.modified != modified) GTEST_SKIP() << "the file system does not keep such a time";
  uint32_t created = 0, mod = 0, accessed = 0;
  ASSERT_EQ(GetFileTimes(Sys("t.dat").c_str(), &created, &mod, &accessed), 1);
  EXPECT_EQ(mod, 5u);
  EXPECT_EQ(accessed, 1000000000u);
  EXPECT_EQ(created, static_cast<uint32_t>(st.created));
  EXPECT_NE(created, 0u);
  created = mod = accessed = 7;
  EXPECT_EQ(GetFileTimes(Sys("none").c_str(), &created, &mod, &accessed), 0);
  EXPECT_EQ(GetFileTimes("", &created, &mod, &accessed), 0);
}
