#include "common/path_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/file_access.h"
#include "plat/path.h"
#include "support/test_util.h"

using testutil::Show;
using testutil::TempDir;

namespace {

constexpr std::size_t kBig = 1024;

}  // namespace

// ---- Splitting ----

TEST(ExtractParts, SplitsDriveFolderTitleAndExtension) {
  struct Case {
    const char* path;
    const char* drive;
    const char* folder;
    const char* title;
    const char* extension;
  };
  const Case cases[] = {
      {"C:\\dir\\sub\\name.ext", "C:", "\\dir\\sub\\", "name", ".ext"},
      {"/tmp/a.b/c", "", "/tmp/a.b/", "c", ""},
      {"a.tar.gz", "", "", "a.tar", ".gz"},
      {"dir\\", "", "dir\\", "", ""},
      {"表\\ソ.txt", "", "表\\", "ソ", ".txt"},  // 95 5C and 83 5C: trail bytes, not separators
      {"データ\\表", "", "データ\\", "表", ""},
      {"", "", "", "", ""},
  };
  for (const auto& c : cases) {
    char out[kBig];
    EXPECT_STREQ(ExtractDrive(c.path, out, sizeof out), c.drive) << Show(c.path);
    EXPECT_STREQ(ExtractFolder(c.path, out, sizeof out), c.folder) << Show(c.path);
    EXPECT_EQ(std::string(ExtractDriveAndFolder(c.path, out, sizeof out)),
              std::string(c.drive) + c.folder);
    EXPECT_STREQ(ExtractFileTitle(c.path, out, sizeof out), c.title) << Show(c.path);
    EXPECT_STREQ(ExtractExtension(c.path, out, sizeof out), c.extension) << Show(c.path);
    EXPECT_EQ(std::string(ExtractFileName(c.path, out, sizeof out)),
              std::string(c.title) + c.extension);
  }
}

TEST(ExtractParts, LongFoldersAreKeptWholeOrRefused) {
  const std::string folder = "/" + std::string(300, 'f') + "/";
  const std::string path = folder + "name.txt";
  char out[kBig];
  EXPECT_EQ(std::string(ExtractFolder(path.c_str(), out, sizeof out)), folder);
  char small[128] = "x";
  EXPECT_STREQ(ExtractFolder(path.c_str(), small, sizeof small), "");  // never cut
  EXPECT_STREQ(ExtractFileName(path.c_str(), small, sizeof small), "name.txt");
  char exact[9];
  EXPECT_STREQ(ExtractFileName(path.c_str(), exact, sizeof exact), "name.txt");
  char tooSmall[8] = "x";
  EXPECT_STREQ(ExtractFileName(path.c_str(), tooSmall, sizeof tooSmall), "");
}

// ---- Rewriting ----

TEST(RewritePath, ExtensionsTitlesAndSuffixes) {
  struct Case {
    const char* path;
    const char* removed;
    const char* newExtension;  // "csv"
    const char* newTitle;      // "new"
    const char* appended;      // "_1"
  };
  const Case cases[] = {
      {"a\\b.txt", "a\\b", "a\\b.csv", "a\\new.txt", "a\\b_1.txt"},
      {"a\\b", "a\\b", "a\\b.csv", "a\\new", "a\\b_1"},
      {"a.d\\b", "a.d\\b", "a.d\\b.csv", "a.d\\new", "a.d\\b_1"},
      {"C:\\x.tar.gz", "C:\\x.tar", "C:\\x.tar.csv", "C:\\new.gz", "C:\\x.tar_1.gz"},
      {"表\\ソ.txt", "表\\ソ", "表\\ソ.csv", "表\\new.txt", "表\\ソ_1.txt"},
  };
  for (const auto& c : cases) {
    char path[kBig];
    std::strcpy(path, c.path);
    EXPECT_STREQ(RemoveFileExtension(path), c.removed) << Show(c.path);
    std::strcpy(path, c.path);
    EXPECT_STREQ(ReplaceFileExtension(path, "csv", sizeof path), c.newExtension) << Show(c.path);
    std::strcpy(path, c.path);
    EXPECT_STREQ(ReplaceFileTitle(path, "new", sizeof path), c.newTitle) << Show(c.path);
    std::strcpy(path, c.path);
    EXPECT_STREQ(AppendToFileTitle(path, "_1", sizeof path), c.appended) << Show(c.path);
    char out[kBig];
    EXPECT_STREQ(ReplaceFileExtensionCopy(out, c.path, "csv", sizeof out), c.newExtension);
  }
}

TEST(RewritePath, ResultsThatDoNotFitLeaveThePathAsItWas) {
  char path[8] = "a\\b.tx";
  EXPECT_STREQ(ReplaceFileExtension(path, "csv", sizeof path), "a\\b.csv");  // 7 bytes fit
  EXPECT_STREQ(ReplaceFileExtension(path, "html", sizeof path), "a\\b.csv");
  EXPECT_STREQ(AppendToFileTitle(path, "_1", sizeof path), "a\\b.csv");
  EXPECT_STREQ(ReplaceFileTitle(path, "long", sizeof path), "a\\b.csv");
  char out[8] = "x";
  EXPECT_STREQ(ReplaceFileExtensionCopy(out, "a\\b.txt", "html", sizeof out), "");
}

TEST(MakePathInFolder, OnlyAPathWithoutFolderMoves) {
  char out[kBig];
  EXPECT_STREQ(MakePathInFolder(out, "a.txt", "f\\", sizeof out), "f\\a.txt");
  EXPECT_STREQ(MakePathInFolder(out, "g\\a.txt", "f\\", sizeof out), "g\\a.txt");
  EXPECT_STREQ(MakePathInFolder(out, "C:a.txt", "\\f\\", sizeof out), "C:\\f\\a.txt");
}

TEST(CompletePath, DefaultFolderAndExtensionTrimAndUpperCase) {
  struct Case {
    const char* folder;
    const char* path;
    const char* extension;
    int upper;
    const char* expected;
  };
  const Case cases[] = {
      {"C:\\data\\", "abc", "txt", 0, "C:\\data\\abc.txt"},
      {"C:\\data\\", "  D:\\x\\y.csv ", "txt", 0, "D:\\x\\y.csv"},  // own parts, trimmed
      {"C:\\data\\", "x\\abc", "ndb", 0, "x\\abc.ndb"},
      {"C:\\data\\", "abc.dat", "ndb", 0, "C:\\data\\abc.dat"},
      {"c:\\data\\", "qvad13", "ndb", 1, "C:\\DATA\\QVAD13.NDB"},
      {"c:\\data\\", "qvad13", "ndb", 2, "c:\\data\\qvad13.ndb"},  // only 1 means upper
      {"d\\", "表", "txt", 1, "D\\表.TXT"},                        // 95 5C kept, title whole
      {"d\\", "ソa", "", 0, "d\\ソa."},
  };
  for (const auto& c : cases) {
    char out[kBig];
    EXPECT_EQ(std::string(CompletePath(out, c.folder, c.path, c.extension, c.upper, sizeof out)),
              c.expected)
        << Show(c.path);
  }
  char small[10] = "x";
  EXPECT_STREQ(CompletePath(small, "C:\\data\\", "abc", "txt", 0, sizeof small), "");
}

TEST(IsSamePath, CaseBlanksAndWildcards) {
  struct Case {
    const char* a;
    const char* b;
    int expected;
  };
  const Case cases[] = {
      {"c:\\Data\\a.txt", "C:\\DATA\\A.TXT ", 1},
      {"a.txt", "a.csv", 0},
      {"x\\a.txt", "y\\a.txt", 0},
      {"d\\*.txt", "d\\abc.txt", 1},
      {"d\\a?c.txt", "D\\ABC.TXT", 1},
      {"C:a.txt", "a.txt", 0},
      {"表\\a", "表\\A", 1},
      {"表\\a", "表/a", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsSamePath(c.a, c.b), c.expected) << Show(c.a) << " | " << Show(c.b);
    EXPECT_EQ(IsSamePath(c.b, c.a), c.expected) << Show(c.b) << " | " << Show(c.a);
  }
}

// ---- Folders ----

TEST(Folders, MakeTestAndChange) {
  TempDir dir;
  const std::string sub = dir.Sys("sub");
  EXPECT_EQ(IsFolder(sub.c_str()), 0);
  EXPECT_EQ(MakeFolder(sub.c_str()), 1);
  EXPECT_EQ(MakeFolder(sub.c_str()), 1);  // exists already
  EXPECT_EQ(IsFolder(sub.c_str()), 1);
  EXPECT_EQ(IsFolder((sub + "\\").c_str()), 1);
  EXPECT_EQ(MakeFolder(dir.Sys("none\\deeper").c_str()), 0);
  EXPECT_EQ(MakeFolder("  "), 0);
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("f.txt"), "x"));
  EXPECT_EQ(IsFolder(dir.Sys("f.txt").c_str()), 0);
  EXPECT_EQ(IsFolder(""), 0);
  EXPECT_EQ(IsFolder(nullptr), 0);

  std::string before;
  ASSERT_TRUE(plat::path::GetCurrentDir(before));
  EXPECT_EQ(IsFolder(sub.c_str()), 1);
  std::string now;
  ASSERT_TRUE(plat::path::GetCurrentDir(now));
  EXPECT_EQ(now, before);  // testing does not move the working folder
  ASSERT_EQ(ChangeFolder(sub.c_str()), 1);
  EXPECT_EQ(FileExists("..\\f.txt"), 1);
  EXPECT_EQ(ChangeFolder(dir.Sys("none").c_str()), 0);
  ASSERT_EQ(ChangeFolder(before.c_str()), 1);
}

// ---- Files ----

TEST(FileManagement, RemoveAndRename) {
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("a.txt"), "A"));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("b.txt"), "B"));
  const std::string a = dir.Sys("a.txt"), b = dir.Sys("b.txt"), c = dir.Sys("c.txt");
  EXPECT_EQ(RenameFile(a.c_str(), b.c_str()), 0);  // onto an existing file
  EXPECT_EQ(testutil::ReadBytes(dir.Native("a.txt")), "A");
  EXPECT_EQ(testutil::ReadBytes(dir.Native("b.txt")), "B");
  EXPECT_EQ(RenameFile(a.c_str(), c.c_str()), 1);
  EXPECT_FALSE(testutil::Exists(dir.Native("a.txt")));
  EXPECT_EQ(testutil::ReadBytes(dir.Native("c.txt")), "A");
  EXPECT_EQ(RenameFile(a.c_str(), c.c_str()), 0);  // no source
  EXPECT_EQ(RemoveFile(c.c_str()), 1);
  EXPECT_FALSE(testutil::Exists(dir.Native("c.txt")));
  EXPECT_EQ(RemoveFile(c.c_str()), 0);
  ASSERT_EQ(MakeFolder(dir.Sys("sub").c_str()), 1);
  EXPECT_EQ(RemoveFile(dir.Sys("sub").c_str()), 0);  // not a folder
  EXPECT_EQ(RemoveFile("   "), 0);
}

TEST(FileManagement, CopyFile) {
  TempDir dir;
  std::string big(10000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 13);
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("src.dat"), big));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("dst.dat"), "old contents, longer than none"));
  const std::string src = dir.Sys("src.dat"), dst = dir.Sys("dst.dat");
  EXPECT_EQ(CopyFile(dst.c_str(), src.c_str()), 1);
  EXPECT_EQ(testutil::ReadBytes(dir.Native("dst.dat")), big);
  EXPECT_EQ(CopyFile(src.c_str(), src.c_str()), 1);
  EXPECT_EQ(testutil::ReadBytes(dir.Native("src.dat")), big);
  EXPECT_EQ(CopyFile(dir.Sys("new.dat").c_str(), dir.Sys("none.dat").c_str()), 0);
  EXPECT_FALSE(testutil::Exists(dir.Native("new.dat")));
  EXPECT_EQ(CopyFile(dir.Sys("none\\new.dat").c_str(), src.c_str()), 0);
}

// File names match without regard to case, so another spelling of the
// source is the source itself: the copy must not empty it.
TEST(FileManagement, CopyOntoAnotherSpellingOfTheSourceKeepsTheSource) {
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("src.dat"), "keep me"));
  EXPECT_EQ(CopyFile(dir.Sys("SRC.DAT").c_str(), dir.Sys("src.dat").c_str()), 0);
  EXPECT_EQ(testutil::ReadBytes(dir.Native("src.dat")), "keep me");
}

// A copy or a listing whose output cannot be written whole leaves an
// earlier file at the target byte for byte, makes no new one, and never
// removes a device named as the target.
TEST(FileManagement, AFailedCopyOrListingLeavesTheTargetAsItWas) {
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("src.dat"), std::string(10000, 's')));
  for (int i = 0; i < 200; ++i)
    ASSERT_TRUE(testutil::WriteBytes(dir.Native("entry" + std::to_string(i) + ".dat"), "x"));
  const bool device = testutil::MakeCharDevice(dir.Native("full"), 1, 7);
  const std::string src = dir.Sys("src.dat"), folder = dir.Sys("");
  for (const char* name : {"dst.out", "new.out"}) {
    const bool earlier = std::strcmp(name, "dst.out") == 0;
    if (earlier) {
      ASSERT_TRUE(testutil::WriteBytes(dir.Native(name), "earlier"));
    }
    const std::string target = dir.Sys(name);
    {
      testutil::FileSizeLimit limit(1000);
      EXPECT_EQ(CopyFile(target.c_str(), src.c_str()), 0) << name;
      EXPECT_EQ(earlier, testutil::Exists(dir.Native(name))) << name;
      EXPECT_EQ(ListFilesToTextFile(target.c_str(), folder.c_str(), "*", ".dat"), 0) << name;
    }
    EXPECT_EQ(testutil::ReadBytes(dir.Native(name)), earlier ? "earlier" : "") << name;
    EXPECT_EQ(earlier, testutil::Exists(dir.Native(name))) << name;
  }
  if (device) {
    EXPECT_EQ(CopyFile(dir.Sys("full").c_str(), src.c_str()), 0);
    EXPECT_EQ(ListFilesToTextFile(dir.Sys("full").c_str(), folder.c_str(), "*", ".dat"), 0);
    EXPECT_TRUE(testutil::IsCharDevice(dir.Native("full"), 1, 7));
  }
  EXPECT_EQ(testutil::FolderNames(dir.path()).size(), 202u + (device ? 1 : 0))
      << "no file left aside";
}

TEST(FileManagement, DeleteFilesMatchingSkipsFolders) {
  TempDir dir;
  for (const char* name : {"a.txt", "B.TXT", "c.csv"})
    ASSERT_TRUE(testutil::WriteBytes(dir.Native(name), name));
  ASSERT_EQ(MakeFolder(dir.Sys("d.txt").c_str()), 1);
  DeleteFilesMatching(dir.Sys("*.txt").c_str());
  EXPECT_FALSE(testutil::Exists(dir.Native("a.txt")));
  EXPECT_FALSE(testutil::Exists(dir.Native("B.TXT")));
  EXPECT_TRUE(testutil::Exists(dir.Native("c.csv")));
  EXPECT_EQ(IsFolder(dir.Sys("d.txt").c_str()), 1);
  DeleteFilesMatching(dir.Sys("none\\*.*").c_str());
  DeleteFilesMatching("");
  EXPECT_TRUE(testutil::Exists(dir.Native("c.csv")));
}

TEST(FileManagement, ListFilesIncludesTheFirstMatch) {
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("only.dat"), "x"));
  const std::string folder = dir.Sys("");
  const std::string out = dir.Sys("list.txt");
  ASSERT_EQ(ListFilesToTextFile(out.c_str(), folder.c_str(), "*", ".dat"), 1);
  EXPECT_EQ(testutil::ReadBytes(dir.Native("list.txt")), folder + "only.dat\r\n");
}

TEST(FileManagement, ListFilesWritesFoldersTooAndNothingWithoutAMatch) {
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("b.dat"), "x"));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("a.dat"), "x"));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("c.txt"), "x"));
  ASSERT_EQ(MakeFolder(dir.Sys("s.dat").c_str()), 1);
  const std::string folder = dir.Sys("");
  const std::string out = dir.Sys("list.txt");
  ASSERT_EQ(ListFilesToTextFile(out.c_str(), folder.c_str(), "*", ".DAT"), 1);
  EXPECT_EQ(testutil::ReadBytes(dir.Native("list.txt")),
            folder + "a.dat\r\n" + folder + "b.dat\r\n" + folder + "s.dat\r\n");
  ASSERT_EQ(RemoveFile(out.c_str()), 1);
  EXPECT_EQ(ListFilesToTextFile(out.c_str(), folder.c_str(), "*", ".none"), 0);
  EXPECT_FALSE(testutil::Exists(dir.Native("list.txt")));
  EXPECT_EQ(ListFilesToTextFile(out.c_str(), dir.Sys("none\\").c_str(), "*", ".dat"), 0);
  EXPECT_FALSE(testutil::Exists(dir.Native("list.txt")));
  EXPECT_EQ(ListFilesToTextFile(dir.Sys("none\\list.txt").c_str(), folder.c_str(), "*", ".dat"), 0);
}
