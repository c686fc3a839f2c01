#include "plat/path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/test_util.h"

using testutil::Show;
using testutil::TempDir;

namespace {

std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

// Puts an environment variable back when the test ends.
class EnvGuard {
 public:
  explicit EnvGuard(const char* name) : name_(name) {
    const char* v = std::getenv(name);
    had_ = v != nullptr;
    if (had_) old_ = v;
  }
  ~EnvGuard() {
    if (had_)
      setenv(name_, old_.c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

}  // namespace

TEST(PathToNative, DecodesBeforeTurningBackslashesIntoSlashes) {
  struct Case {
    const char* cp932;
    std::string native;
  } cases[] = {
      {"\\data\\表示優先.tbl", U8(u8"/data/表示優先.tbl")},  // 表 = 95 5C
      {"a\\ソ\\十能.txt", U8(u8"a/ソ/十能.txt")},            // 83 5C, 8F 5C, 94 5C
      {"\\Database\\住所\\", U8(u8"/Database/住所/")},
      {"x/y\\\\z", "x/y/z"},
      {"\\", "/"},
      // Not CP932: the element stays raw, and only a single-byte 5C splits.
      {"dir\\a\x80\\b", "dir/a\x80/b"},
      {"dir\\\xFD\\x", "dir/\xFD\\x"},
  };
  for (const Case& c : cases) {
    std::string native;
    ASSERT_TRUE(plat::path::ToNative(c.cp932, native)) << Show(c.cp932);
    EXPECT_EQ(native, c.native) << Show(c.cp932);
  }
}

TEST(PathToNative, RefusesDriveLettersAndUncNames) {
  std::string native;
  for (const char* p : {"C:\\data\\a.txt", "c:a.txt", "\\\\server\\share\\a", "//server/x", ""})
    EXPECT_FALSE(plat::path::ToNative(p, native)) << p;
  EXPECT_FALSE(plat::path::ToNative(nullptr, native));
}

TEST(PathToNative, StripsTrailingBlanksAndDotsFromTheLastElementOnly) {
  std::string native;
  ASSERT_TRUE(plat::path::ToNative("dir.\\a.txt. .", native));
  EXPECT_EQ(native, "dir./a.txt");
  ASSERT_TRUE(plat::path::ToNative("a\\..", native));
  EXPECT_EQ(native, "a/..");

  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("a.txt"), "x"));
  EXPECT_TRUE(plat::path::PathExists(dir.Sys("a.txt ").c_str()));
}

TEST(PathResolve, MatchesEachElementIgnoringAsciiCase) {
  TempDir dir;
  ASSERT_EQ(mkdir(dir.Native("Data").c_str(), 0777), 0);
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("Data/qvad13.ndb"), "n"));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("Data/TKY2JGD.par"), "p"));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native(U8(u8"Data/住所a.txt")), "j"));
  struct Case {
    const char* asked;
    std::string found;
  } cases[] = {
      {"Data\\qvad13.ndb", "Data/qvad13.ndb"},
      {"DATA\\QVAD13.NDB", "Data/qvad13.ndb"},
      {"data/TKY2JGD.PAR", "Data/TKY2JGD.par"},
      {"DATA\\住所A.TXT", U8(u8"Data/住所a.txt")},
  };
  for (const Case& c : cases) {
    std::string native;
    ASSERT_TRUE(plat::path::Resolve(dir.Sys(c.asked).c_str(), false, native)) << c.asked;
    EXPECT_EQ(native, dir.Native(c.found)) << c.asked;
  }
  std::string native;
  EXPECT_FALSE(plat::path::Resolve(dir.Sys("DATA\\QVAD14.NDB").c_str(), false, native));
  EXPECT_FALSE(plat::path::Resolve(dir.Sys("NONE\\a.txt").c_str(), true, native));
}

TEST(PathResolve, CreateUsesAnExistingFileOfAnotherCase) {
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("Out.csv"), "old"));
  std::string native;
  ASSERT_TRUE(plat::path::Resolve(dir.Sys("OUT.CSV").c_str(), true, native));
  EXPECT_EQ(native, dir.Native("Out.csv"));
  ASSERT_TRUE(plat::path::Resolve(dir.Sys("新規.csv").c_str(), true, native));
  EXPECT_EQ(native, dir.Native(U8(u8"新規.csv")));
}

TEST(PathResolve, FallsBackToRawCp932NamesOnDisk) {
  TempDir dir;
  // Names copied from Windows media without conversion: CP932 bytes on disk,
  // one of them with a 5C trail byte inside.
  ASSERT_TRUE(testutil::WriteBytes(dir.path() + "/" + "住所.txt", "a"));
  ASSERT_TRUE(testutil::WriteBytes(dir.path() + "/" + "表.dat", "b"));
  std::string native;
  ASSERT_TRUE(plat::path::Resolve(dir.Sys("住所.TXT").c_str(), false, native));
  EXPECT_EQ(native, dir.path() + "/" + "住所.txt");
  ASSERT_TRUE(plat::path::Resolve(dir.Sys("表.dat").c_str(), false, native));
  EXPECT_EQ(testutil::ReadBytes(native), "b");
}

TEST(PathProgram, WindowsFormAndFolderCutAtLastBackslash) {
  std::string full, folder;
  ASSERT_TRUE(plat::path::ProgramPath(full));
  ASSERT_TRUE(plat::path::ProgramFolder(folder));
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
  ASSERT_GT(n, 0);
  std::string expected(buf, static_cast<std::size_t>(n));
  for (char& c : expected)
    if (c == '/') c = '\\';
  EXPECT_EQ(full, expected);
  EXPECT_EQ(full.find('/'), std::string::npos);
  EXPECT_EQ(folder + "\\test_platform", full);
}

TEST(PathTemp, TmpdirWhenItIsAFolderElseTmp) {
  EnvGuard guard("TMPDIR");
  TempDir dir;
  ASSERT_EQ(mkdir(dir.Native(U8(u8"作業")).c_str(), 0777), 0);
  std::string out;
  setenv("TMPDIR", dir.Native(U8(u8"作業")).c_str(), 1);
  ASSERT_TRUE(plat::path::TempFolder(out));
  std::string expected = dir.Sys("作業\\");
  for (char& c : expected)
    if (c == '/') c = '\\';
  EXPECT_EQ(out, expected) << Show(out);
  setenv("TMPDIR", dir.Native("missing").c_str(), 1);
  ASSERT_TRUE(plat::path::TempFolder(out));
  EXPECT_EQ(out, "\\tmp\\");
  unsetenv("TMPDIR");
  ASSERT_TRUE(plat::path::TempFolder(out));
  EXPECT_EQ(out, "\\tmp\\");
}

TEST(PathTemp, MakeTempFileNameCreatesFreshEmptyFiles) {
  TempDir dir;
  std::string a, b, c;
  ASSERT_TRUE(plat::path::MakeTempFileName((dir.path() + "\\").c_str(), "ZUB", a));
  ASSERT_TRUE(plat::path::MakeTempFileName(dir.path().c_str(), "ZUB", b));
  EXPECT_NE(a, b);
  for (const std::string& name : {a, b}) {
    std::string prefix = dir.path() + "\\ZUB";
    ASSERT_EQ(name.size(), prefix.size() + 8) << name;
    EXPECT_EQ(name.substr(0, prefix.size()), prefix);
    EXPECT_EQ(name.substr(name.size() - 4), ".TMP");
    for (char h : name.substr(prefix.size(), 4))
      EXPECT_TRUE((h >= '0' && h <= '9') || (h >= 'A' && h <= 'F')) << name;
    std::string native;
    ASSERT_TRUE(plat::path::ToNative(name.c_str(), native));
    EXPECT_TRUE(testutil::Exists(native));
    EXPECT_EQ(testutil::ReadBytes(native), "");
  }
  EXPECT_FALSE(plat::path::MakeTempFileName(dir.Sys("missing\\").c_str(), "ZUB", c));
}

TEST(PathSplit, LikeSplitpathSteppingCharacters) {
  struct Case {
    const char* path;
    const char *drive, *dir, *title, *ext;
  } cases[] = {
      {"C:\\data\\a.txt", "C:", "\\data\\", "a", ".txt"},
      {"\\data\\ソ\\表", "", "\\data\\ソ\\", "表", ""},  // 83 5C and 95 5C
      {"a/b.c/d", "", "a/b.c/", "d", ""},
      {"name.tar.gz", "", "", "name.tar", ".gz"},
      {"dir\\.profile", "", "dir\\", "", ".profile"},
      {"", "", "", "", ""},
  };
  for (const Case& c : cases) {
    std::string drive = "?", dir = "?", title = "?", ext = "?";
    plat::path::SplitPath(c.path, &drive, &dir, &title, &ext);
    EXPECT_EQ(drive, c.drive) << Show(c.path);
    EXPECT_EQ(dir, c.dir) << Show(c.path);
    EXPECT_EQ(title, c.title) << Show(c.path);
    EXPECT_EQ(ext, c.ext) << Show(c.path);
  }
  std::string title;
  plat::path::SplitPath("x\\y.z", nullptr, nullptr, &title, nullptr);
  EXPECT_EQ(title, "y");
}

TEST(PathFolders, MakeTestChangeAndRemove) {
  TempDir dir;
  const std::string sub = dir.Sys("新しい");
  EXPECT_TRUE(plat::path::MakeDir(sub.c_str()));
  EXPECT_TRUE(testutil::Exists(dir.Native(U8(u8"新しい"))));
  EXPECT_TRUE(plat::path::MakeDir(sub.c_str()));  // exists already
  EXPECT_FALSE(plat::path::MakeDir(dir.Sys("no\\such").c_str()));
  EXPECT_TRUE(plat::path::IsDirectory(dir.Sys("新しい").c_str()));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("f.txt"), "x"));
  EXPECT_FALSE(plat::path::IsDirectory(dir.Sys("F.TXT").c_str()));
  EXPECT_TRUE(plat::path::PathExists(dir.Sys("F.TXT").c_str()));

  std::string saved, now;
  ASSERT_TRUE(plat::path::GetCurrentDir(saved));
  ASSERT_TRUE(plat::path::ChangeDir(sub.c_str()));
  ASSERT_TRUE(plat::path::GetCurrentDir(now));
  std::string title;
  plat::path::SplitPath(now.c_str(), nullptr, nullptr, &title, nullptr);
  EXPECT_EQ(title, "新しい") << Show(now);
  EXPECT_TRUE(plat::path::PathExists("..\\f.txt"));
  ASSERT_TRUE(plat::path::ChangeDir(saved.c_str()));

  EXPECT_TRUE(plat::path::RemoveDir(sub.c_str()));
  EXPECT_FALSE(plat::path::PathExists(sub.c_str()));
}
