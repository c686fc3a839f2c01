// New content for a path: a new file made and removed again, an earlier
// file replaced only by a whole new file, a device written in place and a
// link kept; and what a discard may remove.

#include "plat/output_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "plat/file.h"
#include "plat/file_stamp.h"
#include "support/test_util.h"

namespace {

using Names = std::vector<std::string>;

mode_t ModeOf(const std::string& native) {
  struct stat st;
  return lstat(native.c_str(), &st) == 0 ? st.st_mode : 0;
}

TEST(OutputFile, ANewFileIsKeptByCommitAndRemovedByDiscard) {
  testutil::TempDir dir;
  const std::string path = dir.Sys("new.txt");
  plat::OutputFile out;
  ASSERT_TRUE(out.Open(path.c_str(), plat::ModeWrite | plat::TypeText));
  EXPECT_TRUE(testutil::Exists(dir.Native("new.txt"))) << "made in place";
  ASSERT_TRUE(out.Stream().Write("a\nb\n", 4));
  ASSERT_TRUE(out.Commit());
  EXPECT_EQ(testutil::ReadBytes(dir.Native("new.txt")), "a\r\nb\r\n");

  // Discarded before the commit, or after it: the file this object made goes.
  const std::string other = dir.Sys("other.txt");
  ASSERT_TRUE(out.Open(other.c_str(), plat::ModeWrite));
  ASSERT_TRUE(out.Stream().Write("x", 1));
  out.Discard();
  ASSERT_TRUE(out.Open(other.c_str(), plat::ModeWrite));
  ASSERT_TRUE(out.Commit());
  out.Discard();
  {
    // Going out of scope uncommitted is a discard; committed, the file stays.
    plat::OutputFile scoped;
    ASSERT_TRUE(scoped.Open(other.c_str(), plat::ModeReadWrite));
  }
  EXPECT_EQ(testutil::FolderNames(dir.path()), Names{"new.txt"});
  {
    plat::OutputFile scoped;
    ASSERT_TRUE(scoped.Open(other.c_str(), plat::ModeReadWrite));
    ASSERT_TRUE(scoped.Commit());
  }
  EXPECT_EQ(testutil::FolderNames(dir.path()), (Names{"new.txt", "other.txt"}));
}

// A new file: its name is looked for once (the resolution's look serves
// the open), and the new file's status is taken once. The folder's names
// are read for it; a second new file in the folder reads them again (the
// first one changed the folder: a process never adds to the kept names
// what it made itself).
TEST(OutputFile, ANewFileIsLookedForAndStampedOnce) {
  testutil::TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("other.txt"), "o"));
  plat::OutputFile out;
  uint64_t before = plat::SystemCallCount();
  ASSERT_TRUE(out.Open(dir.Sys("new.txt").c_str(), plat::ModeWrite));
  // The name, its folder, the folder's names (open, two reads, close), the
  // exclusive creation and the new file's status: the asides a killed
  // writer left are looked for among the names already read.
  EXPECT_EQ(plat::SystemCallCount() - before, 8u);
  ASSERT_TRUE(out.Stream().Write("n", 1));
  ASSERT_TRUE(out.Commit());
  EXPECT_EQ(testutil::ReadBytes(dir.Native("new.txt")), "n");
  plat::OutputFile second;
  before = plat::SystemCallCount();
  ASSERT_TRUE(second.Open(dir.Sys("second.txt").c_str(), plat::ModeWrite));
  EXPECT_EQ(plat::SystemCallCount() - before, 8u);
  ASSERT_TRUE(second.Commit());
}

// A file this process created is among its folder's names for the next
// search, and what another process did to the folder since is seen: a
// name of another case it made is the one written.
TEST(OutputFile, ANameMadeHereAndOneMadeElsewhereAreBothFound) {
  testutil::TempDir dir;
  auto write = [&](const char* name, const char* content) {
    plat::OutputFile out;
    return out.Open(dir.Sys(name).c_str(), plat::ModeWrite) &&
           out.Stream().Write(content, std::strlen(content)) && out.Commit();
  };
  ASSERT_TRUE(write("r.txt", "1"));
  ASSERT_TRUE(write("R.TXT", "2"));  // the file made just before
  EXPECT_EQ(testutil::FolderNames(dir.path()), Names({"r.txt"}));
  EXPECT_EQ(testutil::ReadBytes(dir.Native("r.txt")), "2");
  // Another process makes S.TXT: writing s.txt replaces it.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(testutil::WriteBytes(dir.Native("S.TXT"), "elsewhere") ? 0 : 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_TRUE(write("s.txt", "3"));
  EXPECT_EQ(testutil::FolderNames(dir.path()), Names({"S.TXT", "r.txt"}));
  EXPECT_EQ(testutil::ReadBytes(dir.Native("S.TXT")), "3");
  // Removed elsewhere, the name is made anew under the form given.
  ASSERT_EQ(unlink(dir.Native("S.TXT").c_str()), 0);
  ASSERT_TRUE(write("s.txt", "4"));
  EXPECT_EQ(testutil::FolderNames(dir.path()), Names({"r.txt", "s.txt"}));
}

TEST(OutputFile, AnEarlierFileIsReplacedOnlyByCommitAndKeepsItsNameAndMode) {
  testutil::TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("Rows.CSV"), "old\r\n"));
  ASSERT_EQ(chmod(dir.Native("Rows.CSV").c_str(), 0640), 0);
  // Another letter case finds the file on disk.
  const std::string path = dir.Sys("rows.csv");
  plat::OutputFile out;
  ASSERT_TRUE(out.Open(path.c_str(), plat::ModeWrite | plat::TypeText));
  ASSERT_TRUE(out.Stream().Write("new\n", 4));
  EXPECT_EQ(testutil::ReadBytes(dir.Native("Rows.CSV")), "old\r\n") << "untouched while written";
  EXPECT_EQ(testutil::FolderNames(dir.path()).size(), 2u) << "the new content lies aside";
  out.Discard();
  EXPECT_EQ(testutil::ReadBytes(dir.Native("Rows.CSV")), "old\r\n");
  EXPECT_EQ(testutil::FolderNames(dir.path()), Names{"Rows.CSV"});

  // Committed, then discarded (a later step failed): the earlier file
  // takes its name back.
  ASSERT_TRUE(out.Open(path.c_str(), plat::ModeWrite | plat::TypeText));
  ASSERT_TRUE(out.Stream().Write("newer\n", 6));
  ASSERT_TRUE(out.Commit());
  EXPECT_EQ(testutil::ReadBytes(dir.Native("Rows.CSV")), "newer\r\n");
  out.Discard();
  EXPECT_EQ(testutil::ReadBytes(dir.Native("Rows.CSV")), "old\r\n");
  EXPECT_EQ(testutil::FolderNames(dir.path()), Names{"Rows.CSV"});

  ASSERT_TRUE(out.Open(path.c_str(), plat::ModeWrite | plat::TypeText));
  ASSERT_TRUE(out.Stream().Write("new\n", 4));
  ASSERT_TRUE(out.Commit());
  EXPECT_EQ(testutil::ReadBytes(dir.Native("Rows.CSV")), "new\r\n");
  EXPECT_EQ(ModeOf(dir.Native("Rows.CSV")) & 07777, 0640u);
  // The next open (or the end of the object) lets the earlier file go.
  ASSERT_TRUE(out.Open(dir.Sys("other.txt").c_str(), plat::ModeWrite));
  out.Discard();
  EXPECT_EQ(testutil::FolderNames(dir.path()), Names{"Rows.CSV"});

  // A write that cannot complete leaves the earlier file whole.
  const std::string big(4096, 'z');
  bool written = true;
  {
    testutil::FileSizeLimit limit(100);
    ASSERT_TRUE(out.Open(path.c_str(), plat::ModeWrite));
    written = out.Stream().Write(big.data(), big.size());
  }
  EXPECT_FALSE(written);
  out.Discard();
  EXPECT_EQ(testutil::ReadBytes(dir.Native("Rows.CSV")), "new\r\n");
  EXPECT_EQ(testutil::FolderNames(dir.path()), Names{"Rows.CSV"});
}

// A read-only file in a folder open to all is not replaced by a process
// that may not write it (run as an unprivileged user where the tests run
// as root).
TEST(OutputFile, AFileTheProcessMayNotWriteIsNotReplaced) {
  testutil::TempDir dir;
  ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("ro.txt"), "keep"));
  ASSERT_EQ(chmod(dir.Native("ro.txt").c_str(), 0444), 0);
  const std::string path = dir.Sys("ro.txt");
  auto tryReplace = [&] {
    if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 2;
    plat::OutputFile out;
    if (out.Open(path.c_str(), plat::ModeWrite)) {
      out.Stream().Write("new", 3);
      out.Commit();
      return 0;
    }
    return out.Stream().LastError() == plat::FileError::AccessDenied ? 1 : 3;
  };
  const int answer =
      getuid() == 0 ? testutil::RunInChildWithFileSizeLimit(1u << 30, tryReplace) : tryReplace();
  EXPECT_EQ(answer, 1);
  EXPECT_EQ(testutil::ReadBytes(dir.Native("ro.txt")), "keep");
  EXPECT_EQ(testutil::FolderNames(dir.path()), Names{"ro.txt"});
}

TEST(OutputFile, ADeviceIsWrittenInPlaceAndNeverRemoved) {
  testutil::TempDir dir;
  if (!testutil::MakeCharDevice(dir.Native("null"), 1, 3))
    GTEST_SKIP() << "no right to make a device node";
  const std::string path = dir.Sys("null");
  plat::OutputFile out;
  ASSERT_TRUE(out.Open(path.c_str(), plat::ModeWrite | plat::TypeText));
  ASSERT_TRUE(out.Stream().Write("row\n", 4));
  out.Discard();
  EXPECT_TRUE(testutil::IsCharDevice(dir.Native("null"), 1, 3));
  ASSERT_TRUE(out.Open(path.c_str(), plat::ModeWrite));
  ASSERT_TRUE(out.Commit());
  out.Discard();
  EXPECT_TRUE(testutil::IsCharDevice(dir.Native("null"), 1, 3));
  EXPECT_EQ(testutil::FolderNames(dir.path()), Names{"null"});
}

TEST(OutputFile, ALinkStaysALinkAndTheFileItNamesTakesTheContent) {
  testutil::TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("target.txt"), "old"));
  ASSERT_EQ(symlink("target.txt", dir.Native("link.txt").c_str()), 0);
  const std::string path = dir.Sys("link.txt");
  plat::OutputFile out;
  ASSERT_TRUE(out.Open(path.c_str(), plat::ModeWrite));
  ASSERT_TRUE(out.Stream().Write("new", 3));
  out.Discard();
  EXPECT_EQ(testutil::ReadBytes(dir.Native("target.txt")), "old");
  ASSERT_TRUE(out.Open(path.c_str(), plat::ModeWrite));
  ASSERT_TRUE(out.Stream().Write("new", 3));
  ASSERT_TRUE(out.Commit());
  EXPECT_TRUE(S_ISLNK(ModeOf(dir.Native("link.txt"))));
  EXPECT_EQ(testutil::ReadBytes(dir.Native("target.txt")), "new");
  // A discard after the commit puts the earlier target back, and the link
  // stays.
  out.Discard();
  EXPECT_TRUE(S_ISLNK(ModeOf(dir.Native("link.txt"))));
  EXPECT_EQ(testutil::ReadBytes(dir.Native("target.txt")), "old");
  EXPECT_EQ(testutil::FolderNames(dir.path()), (Names{"link.txt", "target.txt"}));
}

TEST(OutputFile, DiscardLeavesAFileThatTookTheNameMeanwhile) {
  testutil::TempDir dir;
  const std::string path = dir.Sys("out.txt");
  plat::OutputFile out;
  ASSERT_TRUE(out.Open(path.c_str(), plat::ModeWrite));
  // Another program puts its own file under the name.
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("theirs.txt"), "theirs"));
  ASSERT_EQ(std::rename(dir.Native("theirs.txt").c_str(), dir.Native("out.txt").c_str()), 0);
  out.Discard();
  EXPECT_EQ(testutil::ReadBytes(dir.Native("out.txt")), "theirs");
}

TEST(OutputFile, RefusesAFolderAMissingFolderAndASecondOpen) {
  testutil::TempDir dir;
  ASSERT_EQ(mkdir(dir.Native("sub").c_str(), 0755), 0);
  plat::OutputFile out;
  EXPECT_FALSE(out.Open(dir.Sys("sub").c_str(), plat::ModeWrite));
  EXPECT_EQ(out.Stream().LastError(), plat::FileError::IsDirectory);
  EXPECT_FALSE(out.Open(dir.Sys("none\\x.txt").c_str(), plat::ModeWrite));
  EXPECT_FALSE(out.Open(dir.Sys("x.txt").c_str(), plat::ModeRead));
  EXPECT_FALSE(out.Open(nullptr, plat::ModeWrite));
  ASSERT_TRUE(out.Open(dir.Sys("x.txt").c_str(), plat::ModeWrite));
  EXPECT_FALSE(out.Open(dir.Sys("y.txt").c_str(), plat::ModeWrite));
  out.Discard();
  EXPECT_EQ(testutil::FolderNames(dir.path()), Names{"sub"});
}

TEST(File, RemoveRegularLeavesDevicesFoldersAndLinks) {
  testutil::TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("file.txt"), "x"));
  ASSERT_EQ(mkdir(dir.Native("sub").c_str(), 0755), 0);
  ASSERT_EQ(symlink("file.txt", dir.Native("link").c_str()), 0);
  const bool device = testutil::MakeCharDevice(dir.Native("null"), 1, 3);
  EXPECT_FALSE(plat::File::RemoveRegular(dir.Sys("sub").c_str()));
  EXPECT_FALSE(plat::File::RemoveRegular(dir.Sys("link").c_str()));
  EXPECT_FALSE(plat::File::RemoveRegular(dir.Sys("null").c_str()));
  EXPECT_FALSE(plat::File::RemoveRegular(dir.Sys("none").c_str()));
  EXPECT_TRUE(plat::File::RemoveRegular(dir.Sys("FILE.TXT").c_str()));
  // A file under its exact name: one status call, then the removal.
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("exact.txt"), "x"));
  const uint64_t before = plat::SystemCallCount();
  EXPECT_TRUE(plat::File::RemoveRegular(dir.Sys("exact.txt").c_str()));
  EXPECT_EQ(plat::SystemCallCount() - before, 2u);
  Names left = {"link", "sub"};
  if (device) left = {"link", "null", "sub"};
  EXPECT_EQ(testutil::FolderNames(dir.path()), left);
}

}  // namespace

namespace {

// Names of the folder that begin with a dot: the asides.
Names HiddenNames(const std::string& folder) {
  Names hidden;
  for (const std::string& name : testutil::FolderNames(folder))
    if (!name.empty() && name[0] == '.') hidden.push_back(name);
  return hidden;
}

}  // namespace

// A writer killed before its commit leaves its aside; the next writer of
// the same name removes it. Asides of a process that runs, and names of
// another form, stay.
TEST(OutputFile, TheNextWriterRemovesTheAsideAKilledWriterLeft) {
  testutil::TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("res.txt"), "old\r\n"));
  const std::string path = dir.Sys("res.txt");
  const pid_t killed = fork();
  ASSERT_GE(killed, 0);
  if (killed == 0) {
    plat::OutputFile out;
    const bool opened = out.Open(path.c_str(), plat::ModeWrite | plat::TypeText) &&
                        out.Stream().Write("part\n", 5) && out.Stream().Flush();
    kill(getpid(), SIGKILL);
    _exit(opened ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(killed, &status, 0), killed);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the writer got as far as its open and write";
  const Names left = HiddenNames(dir.path());
  ASSERT_EQ(left.size(), 1u);
  const std::string prefix = ".res.txt.tmp-" + std::to_string(killed) + "-";
  EXPECT_EQ(left[0].compare(0, prefix.size(), prefix), 0) << left[0];
  EXPECT_EQ(testutil::ReadBytes(dir.Native("res.txt")), "old\r\n");

  // A running process's aside, a user's file of a similar name and another
  // target's aside of a gone process are not this writer's to remove.
  const std::string live = ".res.txt.tmp-" + std::to_string(getppid()) + "-3";
  const std::string similar = ".res.txt.Ab12Cd";
  const std::string otherTarget = ".st.txt.tmp-" + std::to_string(killed) + "-1";
  for (const std::string& name : {live, similar, otherTarget})
    ASSERT_TRUE(testutil::WriteBytes(dir.Native(name), "keep"));

  {
    plat::OutputFile out;
    ASSERT_TRUE(out.Open(path.c_str(), plat::ModeWrite | plat::TypeText));
    ASSERT_TRUE(out.Stream().Write("new\n", 4));
    ASSERT_TRUE(out.Commit());
  }
  EXPECT_EQ(testutil::ReadBytes(dir.Native("res.txt")), "new\r\n");
  Names kept = HiddenNames(dir.path());
  std::sort(kept.begin(), kept.end());
  Names expected{live, similar, otherTarget};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(kept, expected);
}

// A new file (no earlier one) is made in place, and its writer too clears
// what a killed writer of the name left aside.
TEST(OutputFile, ANewFileClearsTheAsidesOfAGoneWriter) {
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  ASSERT_GT(gone, 0);
  ASSERT_EQ(waitpid(gone, nullptr, 0), gone);
  testutil::TempDir dir;
  const std::string aside = ".st.txt.tmp-" + std::to_string(gone) + "-7";
  ASSERT_TRUE(testutil::WriteBytes(dir.Native(aside), "part"));
  plat::OutputFile out;
  ASSERT_TRUE(out.Open(dir.Sys("st.txt").c_str(), plat::ModeWrite));
  ASSERT_TRUE(out.Commit());
  EXPECT_EQ(testutil::FolderNames(dir.path()), Names{"st.txt"});
}
