#include "plat/path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "plat/cp932.h"
#include "plat/file.h"
#include "plat/file_stamp.h"
#include "support/test_util.h"

using testutil::Show;
using testutil::TempDir;

namespace {
std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }
}  // namespace

TEST(PathToNative, DecodesFirstThenTurnsBackslashes) {
  struct Case {
    const char* cp932;
    const char* native;  // nullptr: refused
  } cases[] = {
      {"\\data\\表示優先.tbl", "/data/表示優先.tbl"},  // 表 = 95 5C
      {"a\\ソ\\十能.txt", "a/ソ/十能.txt"},            // 83 5C, 8F 5C, 94 5C
      {"x/y\\\\z\\", "x/y/z/"},
      {"dir\\a\x80\\b", "dir/a\x80/b"},  // not CP932: kept raw, single 5C splits
      {"dir\\\xFD\\x", "dir/\xFD\\x"},   // FD 5C is one (invalid) character
      {"dir.\\a.txt. .", "dir./a.txt"},  // trailing blanks and dots of the last element
      {"a\\..", "a/.."},
      {"\\", "/"},
      {"a. \\", "a. /"},  // a trailing separator: the last element is kept whole
      {". .", ". ."},     // only dots and blanks: left alone
      {"/a//b\\.\\", "/a/b/./"},
      {"C:\\data\\a.txt", nullptr},
      {"c:a", nullptr},
      {"\\\\server\\share", nullptr},
      {"", nullptr},
  };
  for (const Case& c : cases) {
    std::string native, want;
    ASSERT_EQ(plat::path::ToNative(c.cp932, native), c.native != nullptr) << Show(c.cp932);
    // The expectation is written in CP932 like the input; on disk it is UTF-8.
    if (c.native && !plat::cp932::ToUtf8(c.native, want)) want = c.native;
    if (c.native) {
      EXPECT_EQ(native, want) << Show(c.cp932);
    }
  }
}

TEST(PathResolve, IgnoresAsciiCaseAndFallsBackToRawCp932) {
  TempDir dir;
  ASSERT_EQ(mkdir(dir.Native("Data").c_str(), 0777), 0);
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("Data/qvad13.ndb"), "n"));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("Data/TKY2JGD.par"), "p"));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native(U8(u8"Data/住所a.txt")), "j"));
  // Names copied from Windows media unconverted: CP932 bytes on disk.
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("Data/") + "表.dat", "r"));
  struct Case {
    const char* asked;
    bool forCreate;
    std::string found;  // "" = not found
  } cases[] = {
      {"DATA\\QVAD13.NDB", false, "Data/qvad13.ndb"},
      {"data/TKY2JGD.PAR", false, "Data/TKY2JGD.par"},
      {"DATA\\住所A.TXT", false, U8(u8"Data/住所a.txt")},
      {"Data\\表.DAT", false, "Data/表.dat"},
      {"DATA\\QVAD14.NDB", false, ""},
      {"DATA\\Qvad13.Ndb", true, "Data/qvad13.ndb"},  // create over the other-case file
      {"DATA\\新規.csv", true, U8(u8"Data/新規.csv")},
      {"NONE\\a.txt", true, ""},
      // The folder exists as named: the name is searched there.
      {"Data\\TKY2JGD.PAR", true, "Data/TKY2JGD.par"},
      {"Data\\QVAD13.NDB\\", false, "Data/qvad13.ndb/"},  // the separator stays
      {"Data\\..\\Data\\QVAD13.NDB", false, "Data/../Data/qvad13.ndb"},
      {"data\\..\\Data\\QVAD13.NDB", false, "Data/../Data/qvad13.ndb"},
      {"Data\\.\\新規.csv", true, U8(u8"Data/./新規.csv")},
  };
  for (const Case& c : cases) {
    std::string native;
    bool ok = plat::path::Resolve(dir.Sys(c.asked).c_str(), c.forCreate, native);
    EXPECT_EQ(ok, !c.found.empty()) << Show(c.asked);
    if (ok) {
      EXPECT_EQ(native, dir.Native(c.found)) << Show(c.asked);
    }
  }
}

// A name that does not exist exactly is looked for in its own folder only
// when that folder exists as named (one status call of the folder, not one
// per folder above it), and its exact name is not looked for twice. The
// folder's names are read once while the folder stays as it was.
TEST(PathResolve, AMissingNameIsSearchedInItsFolderAlone) {
  const testutil::SettledClock settled;  // the folder counts as settled
  TempDir dir;
  ASSERT_EQ(mkdir(dir.Native("Data").c_str(), 0777), 0);
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("Data/Other.txt"), "o"));
  std::string native;
  uint64_t before = plat::SystemCallCount();
  ASSERT_TRUE(plat::path::Resolve(dir.Sys("Data\\new.txt").c_str(), true, native));
  // The name, its folder, and the folder's names (open, two reads, close).
  EXPECT_EQ(plat::SystemCallCount() - before, 6u);
  EXPECT_EQ(native, dir.Native("Data/new.txt"));
  before = plat::SystemCallCount();
  ASSERT_TRUE(plat::path::Resolve(dir.Sys("Data\\OTHER.TXT").c_str(), false, native));
  EXPECT_EQ(plat::SystemCallCount() - before, 2u) << "the name and its unchanged folder";
  EXPECT_EQ(native, dir.Native("Data/Other.txt"));
}

// A folder changed within the settle time (plat::StampIsSettled) may
// change again without a new stamp on a file system of whole-second times:
// its names answer only the call (scope) that read them, and each later
// call reads them again.
TEST(PathResolve, TheNamesOfAFolderJustChangedAnswerOnlyTheCallThatReadThem) {
  TempDir dir;
  ASSERT_EQ(mkdir(dir.Native("Data").c_str(), 0777), 0);
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("Data/Other.txt"), "o"));
  std::string native;
  ASSERT_TRUE(plat::path::Resolve(dir.Sys("Data\\OTHER.TXT").c_str(), false, native));
  uint64_t before = plat::SystemCallCount();
  ASSERT_TRUE(plat::path::Resolve(dir.Sys("Data\\OTHER.TXT").c_str(), false, native));
  // The name, its folder, and the folder's names again (open, two reads,
  // close).
  EXPECT_EQ(plat::SystemCallCount() - before, 6u);
  EXPECT_EQ(native, dir.Native("Data/Other.txt"));
  {
    plat::StampScope call;
    ASSERT_TRUE(plat::path::Resolve(dir.Sys("Data\\OTHER.TXT").c_str(), false, native));
    before = plat::SystemCallCount();
    ASSERT_TRUE(plat::path::Resolve(dir.Sys("Data\\OTHER.TXT").c_str(), false, native));
    EXPECT_EQ(plat::SystemCallCount() - before, 2u) << "within one call the names read serve";
    EXPECT_EQ(native, dir.Native("Data/Other.txt"));
  }
}

// The names kept for a folder never hide a change made outside this
// layer: a name of another case that appears, goes or is renamed in
// between is found (or not) as a fresh search finds it.
TEST(PathResolve, AFoldersKeptNamesNeverHideAChange) {
  TempDir dir;
  ASSERT_EQ(mkdir(dir.Native("out").c_str(), 0777), 0);
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("out/a.txt"), "a"));
  auto resolve = [&](const char* name, bool forCreate) {
    std::string native;
    if (!plat::path::Resolve(dir.Sys(name).c_str(), forCreate, native)) return std::string("-");
    return native.substr(dir.path().size() + 1);
  };
  EXPECT_EQ(resolve("out\\B.TXT", true), "out/B.TXT");
  EXPECT_EQ(resolve("out\\B.TXT", false), "-");
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("out/b.txt"), "b"));
  EXPECT_EQ(resolve("out\\B.TXT", true), "out/b.txt");
  EXPECT_EQ(resolve("out\\B.TXT", false), "out/b.txt");
  ASSERT_EQ(rename(dir.Native("out/b.txt").c_str(), dir.Native("out/bb.txt").c_str()), 0);
  EXPECT_EQ(resolve("out\\B.TXT", false), "-");
  EXPECT_EQ(resolve("out\\BB.TXT", false), "out/bb.txt");
  ASSERT_EQ(unlink(dir.Native("out/bb.txt").c_str()), 0);
  EXPECT_EQ(resolve("out\\BB.TXT", true), "out/BB.TXT");
  // Made and removed by a child process, the names of the folder change
  // as well.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(testutil::WriteBytes(dir.Native("out/Bb.Txt"), "c") ? 0 : 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(resolve("out\\BB.TXT", true), "out/Bb.Txt");
  EXPECT_EQ(resolve("out\\A.TXT", false), "out/a.txt");
}

// Names from the command line, the environment or the program path whose
// CP932 form is another name (¥ -> 0x5C the separator, 〜 -> ～, − -> －)
// name their own file: never res/old.txt for "res¥old.txt", never a～.txt
// for "a〜.txt".
TEST(PathFromNative, ANameWhoseCp932FormIsAnotherNameKeepsItsOwn) {
  TempDir dir;
  ASSERT_EQ(mkdir(dir.Native("res").c_str(), 0777), 0);
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("res/old.txt"), "old"));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native(U8(u8"a～.txt")), "wide"));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native(U8(u8"b－.txt")), "wide"));
  for (const char8_t* name :
       {u8"res¥old.txt", u8"a〜.txt", u8"b−.txt", u8"c—‖¢£¬‾.txt", u8"€uro〜.txt"}) {
    const std::string native = dir.Native(U8(name));
    const std::string cp932 = plat::path::FromNative(native);
    std::string back;
    ASSERT_TRUE(plat::path::ToNative(cp932.c_str(), back)) << Show(cp932);
    EXPECT_EQ(back, native);
    ASSERT_TRUE(plat::path::Resolve(cp932.c_str(), true, back)) << Show(cp932);
    EXPECT_EQ(back, native);
    plat::File file;
    ASSERT_TRUE(file.Open(cp932.c_str(), plat::ModeWrite | plat::ModeCreate)) << Show(cp932);
    ASSERT_TRUE(file.Write("new", 3));
    file.Close();
    EXPECT_EQ(testutil::ReadBytes(native), "new") << U8(name);
  }
  EXPECT_EQ(testutil::ReadBytes(dir.Native("res/old.txt")), "old");
  EXPECT_EQ(testutil::ReadBytes(dir.Native(U8(u8"a～.txt"))), "wide");
  EXPECT_EQ(testutil::ReadBytes(dir.Native(U8(u8"b－.txt"))), "wide");

  // A temporary folder from the environment: the files go into t〜, not t～.
  ASSERT_EQ(mkdir(dir.Native(U8(u8"t〜")).c_str(), 0777), 0);
  ASSERT_EQ(mkdir(dir.Native(U8(u8"t～")).c_str(), 0777), 0);
  const char* saved = std::getenv("TMPDIR");
  const std::string old = saved ? saved : "";
  setenv("TMPDIR", dir.Native(U8(u8"t〜")).c_str(), 1);
  std::string folder, temp, native;
  const bool gotFolder = plat::path::TempFolder(folder);
  saved ? setenv("TMPDIR", old.c_str(), 1) : unsetenv("TMPDIR");
  ASSERT_TRUE(gotFolder);
  ASSERT_TRUE(plat::path::MakeTempFileName(folder.c_str(), "ZUB", temp));
  ASSERT_TRUE(plat::path::ToNative(temp.c_str(), native));
  EXPECT_EQ(native.substr(0, native.rfind('/')), dir.Native(U8(u8"t〜")));
  EXPECT_TRUE(testutil::Exists(native));
}

TEST(PathProgram, WindowsFormCutAtTheLastBackslash) {
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
  EXPECT_EQ(folder + "\\test_platform", full);
}

// The program's name is asked of the system once per process: the program,
// its folder and its stamp (the one status call of its file) need no more.
TEST(PathProgram, TheProgramsNameIsReadOncePerProcess) {
  std::string first, again, folder;
  ASSERT_TRUE(plat::path::ProgramPath(first));
  const uint64_t before = plat::SystemCallCount();
  ASSERT_TRUE(plat::path::ProgramPath(again));
  ASSERT_TRUE(plat::path::ProgramFolder(folder));
  EXPECT_EQ(plat::SystemCallCount() - before, 0u);
  EXPECT_EQ(again, first);
  EXPECT_EQ(folder + "\\test_platform", first);
}

TEST(PathTemp, FolderFromTmpdirAndExclusiveTempFiles) {
  const char* saved = std::getenv("TMPDIR");
  const std::string old = saved ? saved : "";
  TempDir dir;
  ASSERT_EQ(mkdir(dir.Native(U8(u8"作業")).c_str(), 0777), 0);
  std::string folder, missing;
  setenv("TMPDIR", dir.Native(U8(u8"作業")).c_str(), 1);
  ASSERT_TRUE(plat::path::TempFolder(folder));
  setenv("TMPDIR", dir.Native("missing").c_str(), 1);
  ASSERT_TRUE(plat::path::TempFolder(missing));
  saved ? setenv("TMPDIR", old.c_str(), 1) : unsetenv("TMPDIR");
  std::string want = dir.Sys("作業\\");
  for (char& c : want)
    if (c == '/') c = '\\';
  EXPECT_EQ(folder, want) << Show(folder);
  EXPECT_EQ(missing, "\\tmp\\");

  std::string a, b;
  ASSERT_TRUE(plat::path::MakeTempFileName(folder.c_str(), "ZUB", a));
  ASSERT_TRUE(plat::path::MakeTempFileName(folder.substr(0, folder.size() - 1).c_str(), "ZUB", b));
  EXPECT_NE(a, b);
  for (const std::string& name : {a, b}) {
    ASSERT_EQ(name.size(), folder.size() + 11) << Show(name);
    EXPECT_EQ(name.substr(0, folder.size() + 3), folder + "ZUB");
    EXPECT_EQ(name.find_first_not_of("0123456789ABCDEF", folder.size() + 3), name.size() - 4);
    EXPECT_EQ(name.substr(name.size() - 4), ".TMP");
    std::string native;
    ASSERT_TRUE(plat::path::ToNative(name.c_str(), native));
    EXPECT_TRUE(testutil::Exists(native));
    EXPECT_EQ(testutil::ReadBytes(native), "");
  }
  EXPECT_FALSE(plat::path::MakeTempFileName(dir.Sys("missing\\").c_str(), "ZUB", a));
}

TEST(PathSplit, LikeSplitpathSteppingCharacters) {
  struct Case {
    const char *path, *drive, *dir, *title, *ext;
  } cases[] = {
      {"C:\\data\\a.txt", "C:", "\\data\\", "a", ".txt"},
      {"\\data\\ソ\\表", "", "\\data\\ソ\\", "表", ""},  // 83 5C and 95 5C are not separators
      {"a/b.c/d", "", "a/b.c/", "d", ""},
      {"name.tar.gz", "", "", "name.tar", ".gz"},
      {"dir\\.profile", "", "dir\\", "", ".profile"},
      {"", "", "", "", ""},
  };
  for (const Case& c : cases) {
    std::string drive = "?", dir = "?", title = "?", ext = "?";
    plat::path::SplitPath(c.path, &drive, &dir, &title, &ext);
    EXPECT_EQ(drive + "|" + dir + "|" + title + "|" + ext,
              std::string(c.drive) + "|" + c.dir + "|" + c.title + "|" + c.ext)
        << Show(c.path);
  }
}

TEST(PathFolders, MakeTestChangeAndRemove) {
  TempDir dir;
  const std::string sub = dir.Sys("新しい");
  EXPECT_TRUE(plat::path::MakeDir(sub.c_str()));
  EXPECT_TRUE(testutil::Exists(dir.Native(U8(u8"新しい"))));
  EXPECT_TRUE(plat::path::MakeDir(sub.c_str()));  // exists already
  EXPECT_FALSE(plat::path::MakeDir(dir.Sys("no\\such").c_str()));
  EXPECT_TRUE(plat::path::IsDirectory(sub.c_str()));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("f.txt"), "x"));
  EXPECT_FALSE(plat::path::IsDirectory(dir.Sys("F.TXT").c_str()));
  EXPECT_TRUE(plat::path::PathExists(dir.Sys("F.TXT ").c_str()));

  std::string saved, now, title;
  ASSERT_TRUE(plat::path::GetCurrentDir(saved));
  ASSERT_TRUE(plat::path::ChangeDir(sub.c_str()));
  ASSERT_TRUE(plat::path::GetCurrentDir(now));
  EXPECT_TRUE(plat::path::PathExists("..\\f.txt"));
  ASSERT_TRUE(plat::path::ChangeDir(saved.c_str()));
  plat::path::SplitPath(now.c_str(), nullptr, nullptr, &title, nullptr);
  EXPECT_EQ(title, "新しい") << Show(now);

  EXPECT_TRUE(plat::path::RemoveDir(sub.c_str()));
  EXPECT_FALSE(plat::path::PathExists(sub.c_str()));
}

// A folder given to the libraries may end in either separator or none; the
// trail byte 0x5C of a double-byte character (表 = 95 5C) is no separator.
TEST(PathSeparator, EndsWithSeparatorStepsCharacters) {
  using plat::path::EndsWithSeparator;
  EXPECT_TRUE(EndsWithSeparator("data\\"));
  EXPECT_TRUE(EndsWithSeparator("/data/"));
  EXPECT_FALSE(EndsWithSeparator("/data"));
  EXPECT_FALSE(EndsWithSeparator(""));
  EXPECT_FALSE(EndsWithSeparator("/data/\x95\x5C"));
  EXPECT_TRUE(EndsWithSeparator("/data/\x95\x5C\\"));
}

// A native name in raw CP932 bytes (not UTF-8) is matched under case
// folding only in its single-byte characters: a trail byte that looks like
// a letter (ア 83 41, ャ 83 61) is part of its character, so the name never
// finds another character's file, and a letter of its own still folds.
TEST(PathFromNative, ANameThatIsNoUtf8FoldsOnlyItsSingleByteCharacters) {
  TempDir dir;
  const std::string other = dir.Native("\x83\x61.txt");  // ャ
  ASSERT_TRUE(testutil::WriteBytes(other, "precious"));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("\x95\x5C.txt"), "mine"));  // 表
  std::string native;
  const std::string a = plat::path::FromNative(dir.Native("\x83\x41.txt"));  // ア
  EXPECT_FALSE(plat::path::Resolve(a.c_str(), false, native)) << Show(native);
  ASSERT_TRUE(plat::path::Resolve(a.c_str(), true, native));
  EXPECT_EQ(native, dir.Native("\x83\x41.txt"));
  EXPECT_FALSE(plat::File::RemoveRegular(a.c_str()));
  EXPECT_EQ(testutil::ReadBytes(other), "precious");

  const std::string upper = plat::path::FromNative(dir.Native("\x95\x5C.TXT"));
  ASSERT_TRUE(plat::path::Resolve(upper.c_str(), false, native));
  EXPECT_EQ(native, dir.Native("\x95\x5C.txt"));
}
