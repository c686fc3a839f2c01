#include "plat/file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "plat/dirsearch.h"
#include "plat/file_stamp.h"
#include "plat/path.h"
#include "support/test_util.h"

using plat::File;
using testutil::TempDir;

namespace {

std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

std::string ReadAll(File& f, std::size_t max = 64) {
  std::string s(max, '\0');
  s.resize(f.Read(s.data(), s.size()));
  return s;
}

}  // namespace

TEST(FileNames, KanjiNameWith5CTrailUnderBackslashFolder) {
  TempDir dir;
  ASSERT_TRUE(plat::path::MakeDir(dir.Sys("データ").c_str()));
  const std::string path = dir.Sys("データ\\表示優先.tbl");
  File f;
  ASSERT_TRUE(f.Open(path.c_str(), plat::ModeCreate | plat::ModeReadWrite));
  ASSERT_TRUE(f.Write("abc", 3));
  ASSERT_TRUE(f.Close());
  EXPECT_EQ(testutil::ReadBytes(dir.Native(U8(u8"データ/表示優先.tbl"))), "abc");
  plat::DirSearch search;
  plat::DirEntry e;
  ASSERT_TRUE(search.Open(dir.Sys("データ\\*.TBL").c_str()));
  ASSERT_TRUE(search.Next(e));
  EXPECT_EQ(e.name, "表示優先.tbl");
  ASSERT_TRUE(f.Open(path.c_str(), 0x0040));
  EXPECT_EQ(ReadAll(f), "abc");
  f.Close();
  EXPECT_TRUE(File::Remove(path.c_str()));
  EXPECT_FALSE(testutil::Exists(dir.Native(U8(u8"データ/表示優先.tbl"))));
  EXPECT_FALSE(File::Remove(path.c_str()));

  ASSERT_TRUE(testutil::WriteBytes(dir.Native("qvad13.ndb"), "ndb"));
  ASSERT_TRUE(f.Open(dir.Sys("QVAD13.NDB").c_str(), 0x0040));
  EXPECT_EQ(ReadAll(f), "ndb");
}

// Where names differ only in letter case, the exact name is the file meant
// (opened and removed without a look at the folder); another case finds the
// one there is. A file opened for reading is read whole even when it was
// opened without waiting (the flag is left on a regular file).
TEST(FileNames, TheExactNameComesBeforeAnotherCase) {
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("a.txt"), "lower"));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("A.TXT"), "upper"));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("only.txt"), std::string(70000, 'o')));
  File f;
  ASSERT_TRUE(f.Open(dir.Sys("A.TXT").c_str(), 0x0040));
  EXPECT_EQ(ReadAll(f), "upper");
  f.Close();
  ASSERT_TRUE(f.Open(dir.Sys("a.txt").c_str(), 0x0040));
  EXPECT_EQ(ReadAll(f), "lower");
  f.Close();
  ASSERT_TRUE(f.Open(dir.Sys("ONLY.TXT").c_str(), 0x0040));
  EXPECT_EQ(ReadAll(f, 80000).size(), 70000u);
  f.Close();

  const uint64_t before = plat::SystemCallCount();
  EXPECT_TRUE(File::Remove(dir.Sys("A.TXT").c_str()));
  EXPECT_EQ(plat::SystemCallCount() - before, 1u) << "one unlink, no look at the folder";
  EXPECT_FALSE(testutil::Exists(dir.Native("A.TXT")));
  EXPECT_EQ(testutil::ReadBytes(dir.Native("a.txt")), "lower");
  EXPECT_TRUE(File::Remove(dir.Sys("A.TXT").c_str())) << "now the other case";
  EXPECT_FALSE(testutil::Exists(dir.Native("a.txt")));
  EXPECT_TRUE(File::Remove(dir.Sys("Only.Txt").c_str()));
  EXPECT_FALSE(testutil::Exists(dir.Native("only.txt")));
  EXPECT_FALSE(File::Remove(dir.Sys("only.txt").c_str()));
}

TEST(FileOpen, EveryFlagWordGivesItsAccess) {
  struct Case {
    std::uint32_t flags;
    bool read, write, create;
  } cases[] = {
      {0x0000, true, false, false}, {0x0002, true, true, false},  {0x0042, true, true, false},
      {0x0040, true, false, false}, {0x0020, true, false, false}, {0x1002, true, true, true},
      {0x1001, false, true, true},  {0x4002, true, true, false},  {0x4040, true, false, false},
      {0x4020, true, false, false}, {0x4010, true, false, false}, {0x5001, false, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "flags 0x" << std::hex << c.flags);
    TempDir dir;
    const std::string path = dir.Sys("f.dat");
    File f;
    EXPECT_EQ(f.Open(path.c_str(), c.flags), c.create);  // the file is missing
    f.Close();
    ASSERT_TRUE(testutil::WriteBytes(dir.Native("f.dat"), "xyz"));
    ASSERT_TRUE(f.Open(path.c_str(), c.flags));
    std::uint64_t len = 99;
    ASSERT_TRUE(f.GetLength(len));
    EXPECT_EQ(len, c.create ? 0u : 3u);
    std::string got = ReadAll(f);
    EXPECT_EQ(f.Failed(), !c.read);
    EXPECT_EQ(got, c.read && !c.create ? "xyz" : "");
    EXPECT_EQ(f.Write("q", 1), c.write);
    EXPECT_FALSE(f.Open(path.c_str(), c.flags));  // already open
    EXPECT_TRUE(f.Close());
    EXPECT_TRUE(f.Close());
  }
}

TEST(FileOpen, RefusesDirectoriesDrivesAndUnknownFlags) {
  TempDir dir;
  ASSERT_EQ(mkdir(dir.Native("sub").c_str(), 0777), 0);
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("a"), "keep"));
  File f;
  EXPECT_FALSE(f.Open(dir.Sys("sub").c_str(), 0x0000));
  EXPECT_EQ(f.LastError(), plat::FileError::IsDirectory);
  EXPECT_FALSE(f.Open(dir.Sys("SUB").c_str(), 0x1002));
  EXPECT_TRUE(plat::path::IsDirectory(dir.Sys("sub").c_str()));
  EXPECT_FALSE(f.Open(dir.Sys("a").c_str(), 0x2000 | plat::ModeCreate));
  EXPECT_FALSE(f.Open(dir.Sys("a").c_str(), 0x0003));
  EXPECT_EQ(testutil::ReadBytes(dir.Native("a")), "keep");
  EXPECT_FALSE(f.Open("C:\\a.txt", 0x1002));
  EXPECT_EQ(f.LastError(), plat::FileError::BadPath);
}

TEST(FileIo, ShortReadsSeeksAndSixtyFourBitLengths) {
  TempDir dir;
  File f;
  ASSERT_TRUE(f.Open(dir.Sys("s.bin").c_str(), 0x1002));
  ASSERT_TRUE(f.Write("abcdef", 6));
  ASSERT_TRUE(f.SeekToBegin());
  EXPECT_EQ(ReadAll(f, 10), "abcdef");
  EXPECT_EQ(ReadAll(f, 10), "");
  EXPECT_FALSE(f.Failed());
  ASSERT_TRUE(f.Seek(-2, plat::SeekOrigin::End));
  ASSERT_TRUE(f.Seek(-1, plat::SeekOrigin::Current));
  EXPECT_EQ(ReadAll(f, 1), "d");
  EXPECT_FALSE(f.Seek(-5, plat::SeekOrigin::Current));
  EXPECT_EQ(f.LastError(), plat::FileError::BadSeek);
  std::uint64_t pos = 0, len = 0;
  ASSERT_TRUE(f.GetPosition(pos));
  EXPECT_EQ(pos, 4u);                                // unchanged by the failed seek
  ASSERT_TRUE(f.Seek(10, plat::SeekOrigin::Begin));  // past the end
  ASSERT_TRUE(f.Write("Z", 1));
  EXPECT_EQ(testutil::ReadBytes(dir.Native("s.bin")), std::string("abcdef\0\0\0\0Z", 11));

  const std::uint64_t big = (std::uint64_t{1} << 32) + 10;
  ASSERT_TRUE(f.SetLength(big));
  ASSERT_TRUE(f.GetLength(len));
  ASSERT_TRUE(f.SeekToEnd());
  ASSERT_TRUE(f.GetPosition(pos));
  EXPECT_EQ(len, big);
  EXPECT_EQ(pos, big);
  ASSERT_TRUE(f.SetLength(0));
}

// The position a file reports is the one the system holds, known without
// asking it after reads (read ahead by a line read or not), writes, seeks
// and a change of mode; a write at a position does not move it.
TEST(FileIo, ThePositionIsKnownWithoutAskingTheSystem) {
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("p.txt"), "ab\r\ncd\r\nef"));
  File f;
  ASSERT_TRUE(f.Open(dir.Sys("p.txt").c_str(), 0x0002));
  std::uint64_t pos = 0;
  auto position = [&] {
    const uint64_t before = plat::SystemCallCount();
    EXPECT_TRUE(f.GetPosition(pos));
    EXPECT_EQ(plat::SystemCallCount() - before, 0u);
    return pos;
  };
  EXPECT_EQ(position(), 0u);
  EXPECT_EQ(ReadAll(f, 3), "ab\r");
  EXPECT_EQ(position(), 3u);
  std::string line;
  ASSERT_TRUE(f.ReadString(line));  // reads ahead to the end
  EXPECT_EQ(line, "");              // binary: the rest of the line, up to its LF
  EXPECT_EQ(position(), 4u);
  ASSERT_TRUE(f.SetTextMode(true));
  ASSERT_TRUE(f.ReadString(line));
  EXPECT_EQ(line, "cd");
  EXPECT_EQ(position(), 8u);
  ASSERT_TRUE(f.Write("EF", 2));  // text mode: written as it stands
  EXPECT_EQ(position(), 10u);
  ASSERT_TRUE(f.SetTextMode(false));
  ASSERT_TRUE(f.WriteAt(0, "AB", 2));
  EXPECT_EQ(position(), 10u);
  ASSERT_TRUE(f.Seek(-4, plat::SeekOrigin::Current));
  EXPECT_EQ(position(), 6u);
  EXPECT_EQ(ReadAll(f, 10), "\r\nEF");
  EXPECT_EQ(position(), 10u);
  ASSERT_TRUE(f.SeekToBegin());
  ASSERT_TRUE(f.SetTextMode(true));
  ASSERT_TRUE(f.ReadString(line));
  EXPECT_EQ(line, "AB");
  ASSERT_TRUE(f.SetLength(3));
  EXPECT_EQ(position(), 4u);  // a shorter file leaves the position alone
  f.Close();
  EXPECT_EQ(testutil::ReadBytes(dir.Native("p.txt")), "AB\r");
}

TEST(FileStatic, RenameRemoveAndStatus) {
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("a.txt"), "A"));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("Taken.txt"), "T"));
  EXPECT_FALSE(File::Rename(dir.Sys("a.txt").c_str(), dir.Sys("Taken.txt").c_str()));
  EXPECT_FALSE(File::Rename(dir.Sys("a.txt").c_str(), dir.Sys("TAKEN.TXT").c_str()));
  EXPECT_FALSE(File::Rename(dir.Sys("none.txt").c_str(), dir.Sys("b.txt").c_str()));
  EXPECT_EQ(testutil::ReadBytes(dir.Native("Taken.txt")), "T");
  EXPECT_TRUE(File::Rename(dir.Sys("A.TXT").c_str(), dir.Sys("結果.txt").c_str()));
  EXPECT_FALSE(testutil::Exists(dir.Native("a.txt")));
  EXPECT_EQ(testutil::ReadBytes(dir.Native(U8(u8"結果.txt"))), "A");

  ASSERT_EQ(mkdir(dir.Native("sub").c_str(), 0777), 0);
  EXPECT_FALSE(File::Remove(dir.Sys("sub").c_str()));
  EXPECT_TRUE(testutil::Exists(dir.Native("sub")));

  const std::int64_t now = std::time(nullptr);
  plat::FileStatus st, ds;
  ASSERT_TRUE(File::GetStatus(dir.Sys("TAKEN.txt").c_str(), st));
  EXPECT_FALSE(st.isDirectory);
  EXPECT_EQ(st.size, 1u);
  for (std::int64_t t : {st.created, st.modified, st.accessed}) EXPECT_LE(std::abs(t - now), 60);
  ASSERT_TRUE(File::GetStatus(dir.Sys("sub").c_str(), ds));
  EXPECT_TRUE(ds.isDirectory);
  EXPECT_FALSE(File::GetStatus(dir.Sys("none").c_str(), ds));
}

TEST(FileLock, RangesConflictBetweenOpenFiles) {
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("l.bin"), std::string(32, 'x')));
  File a, b;
  ASSERT_TRUE(a.Open(dir.Sys("l.bin").c_str(), 0x0002));
  ASSERT_TRUE(b.Open(dir.Sys("l.bin").c_str(), 0x0002));
  ASSERT_TRUE(a.LockRange(0, 10));
  EXPECT_FALSE(b.LockRange(5, 10));
  EXPECT_TRUE(b.LockRange(10, 5));
  EXPECT_TRUE(a.UnlockRange(0, 10));
  EXPECT_TRUE(b.LockRange(0, 10));
  EXPECT_FALSE(a.LockRange(0, 0));
}

// The last resorts of a program out of memory work on the native name as
// given: a regular file is removed or replaced whole; a folder, a link and
// what the link points at stay; a missing folder fails.
TEST(FileWithoutMemory, ReplacesOrRemovesOnlyARegularFileOfTheNativeName) {
  TempDir dir;
  const std::string file = dir.Native("st.txt");
  ASSERT_TRUE(testutil::WriteBytes(file, "old status, longer than the new"));
  EXPECT_TRUE(File::WriteNewNativeWithoutMemory(file.c_str(), "0\r\n0\r\n", 6));
  EXPECT_EQ(testutil::ReadBytes(file), "0\r\n0\r\n");
  EXPECT_TRUE(File::WriteNewNativeWithoutMemory(dir.Native("new.txt").c_str(), "x", 1));
  EXPECT_EQ(testutil::ReadBytes(dir.Native("new.txt")), "x");
  // Without replace only a name that names nothing is written.
  EXPECT_FALSE(File::WriteNewNativeWithoutMemory(file.c_str(), "y", 1, false));
  EXPECT_EQ(testutil::ReadBytes(file), "0\r\n0\r\n");
  EXPECT_TRUE(File::WriteNewNativeWithoutMemory(dir.Native("new2.txt").c_str(), "y", 1, false));
  EXPECT_EQ(testutil::ReadBytes(dir.Native("new2.txt")), "y");

  ASSERT_EQ(mkdir(dir.Native("folder").c_str(), 0755), 0);
  ASSERT_EQ(symlink(file.c_str(), dir.Native("link").c_str()), 0);
  for (const char* name : {"folder", "link"}) {
    EXPECT_FALSE(File::WriteNewNativeWithoutMemory(dir.Native(name).c_str(), "x", 1)) << name;
    EXPECT_FALSE(File::RemoveRegularNativeWithoutMemory(dir.Native(name).c_str())) << name;
  }
  struct stat st;
  EXPECT_TRUE(lstat(dir.Native("folder").c_str(), &st) == 0 && S_ISDIR(st.st_mode));
  EXPECT_TRUE(lstat(dir.Native("link").c_str(), &st) == 0 && S_ISLNK(st.st_mode));
  EXPECT_EQ(testutil::ReadBytes(file), "0\r\n0\r\n");
  EXPECT_FALSE(File::WriteNewNativeWithoutMemory(dir.Native("none/st.txt").c_str(), "x", 1));

  EXPECT_TRUE(File::RemoveRegularNativeWithoutMemory(file.c_str()));
  EXPECT_FALSE(testutil::Exists(file));
  EXPECT_FALSE(File::RemoveRegularNativeWithoutMemory(file.c_str()));
}
