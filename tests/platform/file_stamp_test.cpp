#include "plat/file_stamp.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "plat/derived_store.h"
#include "platform/src/derived_store_detail.h"
#include "platform/src/folder_names.h"
#include "platform/src/folder_names_file.h"
#include "support/test_util.h"

using testutil::TempDir;

namespace {

// A folder's listing answers as an open would (exact name, then ASCII
// case folding, never a folder), is kept while the folder is unchanged and
// read again when a name is added or removed.
TEST(FolderListing, FindsNamesAsAnOpenDoesAndFollowsTheFolder) {
  const testutil::SettledClock settled;  // the folder counts as settled
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("qvad13.ndb"), "x"));
  ASSERT_TRUE(
      testutil::WriteBytes(dir.Native(reinterpret_cast<const char*>(u8"文字統一.BIN")), "y"));
  ASSERT_EQ(mkdir(dir.Native("QVAD26.NDB").c_str(), 0755), 0);

  const auto listing = plat::GetFolderListing(dir.path().c_str());
  ASSERT_TRUE(listing);
  std::string native;
  EXPECT_TRUE(listing->Find("QVAD13.NDB", native));
  EXPECT_EQ(native, dir.Native("qvad13.ndb"));
  EXPECT_TRUE(listing->Contains(testutil::Sjis(u8"文字統一.BIN").c_str()));
  EXPECT_FALSE(listing->Contains("QVAD26.NDB")) << "a folder is not a file";
  EXPECT_FALSE(listing->Contains("QVAD01.NDB"));
  EXPECT_FALSE(listing->Contains(""));

  // Unchanged: the same listing, for one status call.
  const uint64_t before = plat::SystemCallCount();
  EXPECT_EQ(plat::GetFolderListing(dir.path().c_str()), listing);
  EXPECT_EQ(plat::SystemCallCount() - before, 1u);

  ASSERT_TRUE(testutil::WriteBytes(dir.Native("QVAD01.NDB"), "z"));
  const auto added = plat::GetFolderListing(dir.path().c_str());
  ASSERT_TRUE(added);
  EXPECT_NE(added, listing);
  EXPECT_TRUE(added->Contains("QVAD01.NDB"));
  unlink(dir.Native("qvad13.ndb").c_str());
  const auto removed = plat::GetFolderListing(dir.path().c_str());
  ASSERT_TRUE(removed);
  EXPECT_FALSE(removed->Contains("QVAD13.NDB"));

  EXPECT_FALSE(plat::GetFolderListing((dir.path() + "/none").c_str()));
  EXPECT_FALSE(plat::GetFolderListing(nullptr));
}

// Links are listed without a look at each: a link is followed only when a
// name finds it, and then it is a file or a folder as its target is.
TEST(FolderListing, LinksAreFollowedOnlyWhenANameFindsThem) {
  TempDir top;
  // Three sibling folders, so that the folders above are watched before
  // the two listings compared: one of links, one of as many plain files.
  const std::string warm = top.Native("warm"), plain = top.Native("plain"),
                    links = top.Native("links");
  for (const std::string& folder : {warm, plain, links}) ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  ASSERT_TRUE(testutil::WriteBytes(links + "/target.bin", "x"));
  ASSERT_EQ(mkdir((links + "/sub").c_str(), 0755), 0);
  for (int i = 0; i < 20; ++i)
    ASSERT_EQ(symlink("target.bin", (links + "/link" + std::to_string(i) + ".bin").c_str()), 0);
  ASSERT_EQ(symlink("sub", (links + "/folderlink").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", (links + "/dangling.bin").c_str()), 0);
  for (int i = 0; i < 24; ++i)
    ASSERT_TRUE(testutil::WriteBytes(plain + "/f" + std::to_string(i), "x"));

  ASSERT_TRUE(plat::GetFolderListing(top.Sys("warm").c_str()));
  uint64_t before = plat::SystemCallCount();
  ASSERT_TRUE(plat::GetFolderListing(top.Sys("plain").c_str()));
  const uint64_t plainCalls = plat::SystemCallCount() - before;
  before = plat::SystemCallCount();
  const auto listing = plat::GetFolderListing(top.Sys("links").c_str());
  ASSERT_TRUE(listing);
  EXPECT_EQ(plat::SystemCallCount() - before, plainCalls) << "no status call per link";

  std::string native;
  EXPECT_TRUE(listing->Find("LINK7.BIN", native));
  EXPECT_EQ(native, links + "/link7.bin");
  EXPECT_FALSE(listing->Contains("FolderLink")) << "a link to a folder is a folder";
  EXPECT_TRUE(listing->Contains("dangling.bin")) << "a link that leads nowhere is no folder";
}

// A listing reads its folder only when a lookup needs the names: a name
// that exists as asked is found by one status call. Every answer is the
// one a listing whose names were read first gives: exact names, names
// under ASCII folding (also after exact ones were found without the
// names), folders, links, non-ASCII names, and names asked past the
// status-call budget.
TEST(FolderListing, AnswersAsTheReadNamesWouldBeforeAndAfterReadingThem) {
  TempDir top;
  const std::string lazy = top.Native("lazy"), read = top.Native("read");
  for (const std::string& folder : {lazy, read}) {
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    ASSERT_TRUE(testutil::WriteBytes(folder + "/qvad13.ndb", "a"));
    ASSERT_TRUE(testutil::WriteBytes(folder + "/QVAD13.TIX", "b"));
    ASSERT_TRUE(
        testutil::WriteBytes(folder + reinterpret_cast<const char*>(u8"/文字統一.bin"), "c"));
    ASSERT_TRUE(testutil::WriteBytes(folder + reinterpret_cast<const char*>(u8"/表.TXT"), "d"));
    ASSERT_EQ(mkdir((folder + "/QVAD26.NDB").c_str(), 0755), 0);
    ASSERT_EQ(symlink("QVAD26.NDB", (folder + "/folderlink").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", (folder + "/dangling.bin").c_str()), 0);
  }
  const auto first = plat::GetFolderListing(top.Sys("lazy").c_str());
  const auto second = plat::GetFolderListing(top.Sys("read").c_str());
  ASSERT_TRUE(first && second);
  EXPECT_FALSE(second->Contains("NONE.BIN"));  // a name not there: the names are read

  // An exact name costs one status call and no read of the folder.
  uint64_t before = plat::SystemCallCount();
  EXPECT_TRUE(first->Contains("QVAD13.TIX"));
  EXPECT_EQ(plat::SystemCallCount() - before, 1u);

  // The names that exist as asked first (answered without the names),
  // then those that need them.
  const std::vector<std::string> names = {"QVAD13.TIX",
                                          "qvad13.ndb",
                                          "QVAD26.NDB",
                                          "folderlink",
                                          testutil::Sjis(u8"表.TXT"),
                                          "dangling.bin",
                                          "qvad13.tix",
                                          "QVAD13.NDB",
                                          "Dangling.Bin",
                                          testutil::Sjis(u8"文字統一.BIN"),
                                          testutil::Sjis(u8"表.txt"),
                                          "qvad26.ndb",
                                          ".",
                                          "..",
                                          "NONE.BIN"};
  // The path below each folder (empty for none).
  auto below = [](const std::string& native, const std::string& folder) {
    return native.compare(0, folder.size(), folder) == 0 ? native.substr(folder.size()) : native;
  };
  for (const std::string& name : names) {
    std::string lazyNative, readNative;
    EXPECT_EQ(first->Find(name.c_str(), lazyNative), second->Find(name.c_str(), readNative))
        << testutil::Show(name);
    EXPECT_EQ(below(lazyNative, lazy), below(readNative, read)) << testutil::Show(name);
  }
  // Exact names past the budget of status calls (the names are read on
  // the way), then the same names under folding.
  const std::string many = top.Native("many");
  ASSERT_EQ(mkdir(many.c_str(), 0755), 0);
  for (int i = 0; i < 40; ++i)
    ASSERT_TRUE(testutil::WriteBytes(many + "/QVAD" + std::to_string(10 + i) + ".SIF", "e"));
  const auto listing = plat::GetFolderListing(top.Sys("many").c_str());
  ASSERT_TRUE(listing);
  for (const bool fold : {false, true}) {
    for (int i = 0; i < 40; ++i) {
      const std::string exact = "QVAD" + std::to_string(10 + i) + ".SIF";
      const std::string asked = fold ? "qvad" + std::to_string(10 + i) + ".sif" : exact;
      std::string native;
      EXPECT_TRUE(listing->Find(asked.c_str(), native)) << asked;
      EXPECT_EQ(native, many + "/" + exact);
    }
  }
  EXPECT_FALSE(listing->Contains("QVAD50.SIF"));
}

// A folder whose names cannot be read when a lookup first needs them (no
// file descriptor left) still finds a name as it stands, and reads its
// names at a later lookup: the listing is not left without them.
TEST(FolderListing, ANameIsFoundAsItStandsWhileTheFolderCannotBeRead) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  // The sanitizers' own checks open descriptors (UBSan's look at a vtable
  // takes a pipe): without a free one they report objects that are sound.
  GTEST_SKIP() << "no free file descriptor for the sanitizers";
#endif
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("QVAD13.NDB"), "x"));
  const auto listing = plat::GetFolderListing(dir.path().c_str());
  ASSERT_TRUE(listing);
  struct rlimit was {};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &was), 0);
  const int lowest = open("/dev/null", O_RDONLY | O_CLOEXEC);  // the lowest free descriptor
  ASSERT_GE(lowest, 0);
  close(lowest);
  struct rlimit none = was;
  none.rlim_cur = static_cast<rlim_t>(lowest);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
  std::string native;
  const bool folded = listing->Find("qvad13.ndb", native);
  const bool exact = listing->Find("QVAD13.NDB", native);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &was), 0);
  EXPECT_FALSE(folded) << "the folder could not be searched";
  EXPECT_TRUE(exact);
  EXPECT_TRUE(listing->Find("qvad13.ndb", native));
  EXPECT_EQ(native, dir.Native("QVAD13.NDB"));
}

TEST(FileStamp, ChangesWithSizeContentAndReplacement) {
  TempDir dir;
  const std::string path = dir.Native("a.bin");
  ASSERT_TRUE(testutil::WriteBytes(path, "1234"));
  plat::FileStamp first, again, grown, replaced;
  ASSERT_TRUE(plat::StampOfNative(path, first));
  ASSERT_TRUE(plat::StampOfNative(path, again));
  EXPECT_EQ(first, again);
  EXPECT_EQ(first.size, 4u);
  ASSERT_TRUE(testutil::WriteBytes(path, "12345"));
  ASSERT_TRUE(plat::StampOfNative(path, grown));
  EXPECT_NE(grown, first);
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("b.bin"), "12345"));
  ASSERT_EQ(rename(dir.Native("b.bin").c_str(), path.c_str()), 0);
  ASSERT_TRUE(plat::StampOfNative(path, replaced));
  EXPECT_NE(replaced, grown) << "another inode";
  EXPECT_FALSE(plat::StampOfNative(dir.Native("none"), replaced));

  std::string native;
  plat::FileStamp byPath;
  ASSERT_TRUE(plat::StampOfPath((dir.path() + "\\A.BIN").c_str(), native, byPath));
  EXPECT_EQ(native, path);
  EXPECT_EQ(byPath, replaced);
}

TEST(ReadOnlyFile, ReadsExactlyAtPositionsAndRefusesFolders) {
  TempDir dir;
  const std::string path = dir.Native("a.bin");
  ASSERT_TRUE(testutil::WriteBytes(path, "0123456789"));
  plat::ReadOnlyFile file;
  ASSERT_TRUE(file.Open(path));
  EXPECT_EQ(file.Stamp().size, 10u);
  char buffer[4] = {};
  ASSERT_TRUE(file.ReadAt(6, buffer, 4));
  EXPECT_EQ(std::string(buffer, 4), "6789");
  EXPECT_FALSE(file.ReadAt(8, buffer, 4)) << "past the end";
  EXPECT_TRUE(file.ReadAt(10, buffer, 0));
  file.Close();
  EXPECT_FALSE(file.ReadAt(0, buffer, 1));
  EXPECT_FALSE(file.Open(dir.path()));
  EXPECT_FALSE(file.Open(dir.Native("none")));
}

// A watched stamp is the file's stamp as it is now, after writes in place,
// a touch, a replacement, a removal and a folder above moved away and made
// anew; an unchanged file costs one read of the watch, and a call's scope
// reads it once for all its checks.
TEST(WatchedStamp, FollowsTheFileAndTheFoldersAboveIt) {
  { plat::StampScope call; }  // the watch starts once a call has ended
  TempDir dir;
  const std::string folder = dir.Native("a");
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  const std::string path = folder + "/f.bin";
  ASSERT_TRUE(testutil::WriteBytes(path, "1234"));
  auto expectCurrent = [&](const char* what) {
    plat::FileStamp watched, fresh;
    const bool exists = plat::StampOfNative(path, fresh);
    EXPECT_EQ(plat::WatchedStampOfNative(path, watched), exists) << what;
    if (exists) {
      EXPECT_EQ(watched, fresh) << what;
    }
  };
  expectCurrent("first look");

  plat::FileStamp first, again;
  ASSERT_TRUE(plat::WatchedStampOfNative(path, first));
  uint64_t before = plat::SystemCallCount();
  ASSERT_TRUE(plat::WatchedStampOfNative(path, again));
  EXPECT_EQ(plat::SystemCallCount() - before, 1u);
  EXPECT_EQ(again, first);

  ASSERT_TRUE(testutil::WriteBytes(path, "12345"));
  expectCurrent("written in place");
  const struct timespec times[2] = {{0, UTIME_OMIT}, {1000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  expectCurrent("touched");
  ASSERT_TRUE(testutil::WriteBytes(folder + "/g.bin", "12345"));
  ASSERT_EQ(rename((folder + "/g.bin").c_str(), path.c_str()), 0);
  expectCurrent("renamed over");
  ASSERT_EQ(unlink(path.c_str()), 0);
  expectCurrent("removed");
  ASSERT_TRUE(testutil::WriteBytes(path, "1"));
  expectCurrent("made again");
  ASSERT_EQ(rename(folder.c_str(), dir.Native("old").c_str()), 0);
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  ASSERT_TRUE(testutil::WriteBytes(path, "12"));
  expectCurrent("folder moved away and made anew");

  {
    plat::StampScope scope;
    before = plat::SystemCallCount();
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(plat::WatchedStampOfNative(path, again));
    EXPECT_EQ(plat::SystemCallCount() - before, 1u);
  }
  // Relative paths are stamped as they stand.
  plat::FileStamp relative;
  EXPECT_FALSE(plat::WatchedStampOfNative("no-such-file-here", relative));
}

// Only a plain absolute path is kept by the watch: a spelling with ".",
// ".." or a doubled separator would make one file known under several
// names, so it is stamped afresh (one status call) on every check, while
// names that merely begin with dots are plain.
TEST(WatchedStamp, OnlyPlainAbsolutePathsAreKept) {
  { plat::StampScope call; }  // the watch starts once a call has ended
  TempDir dir;
  const std::string folder = dir.Native(".d..x");
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  ASSERT_EQ(mkdir((folder + "/..e").c_str(), 0755), 0);
  const std::string path = folder + "/..e/.f";
  ASSERT_TRUE(testutil::WriteBytes(path, "1234"));
  plat::FileStamp stamp, fresh;
  ASSERT_TRUE(plat::StampOfNative(path, fresh));
  plat::StampScope scope;
  ASSERT_TRUE(plat::WatchedStampOfNative(path, stamp));
  uint64_t before = plat::SystemCallCount();
  ASSERT_TRUE(plat::WatchedStampOfNative(path, stamp));
  EXPECT_EQ(plat::SystemCallCount() - before, 0u) << "a plain path is kept";
  EXPECT_EQ(stamp, fresh);
  const std::string spellings[] = {folder + "/..e/./.f",      folder + "//..e/.f",
                                   folder + "/..e/../..e/.f", folder + "/..e/.",
                                   folder + "/..e/..",        folder + "/..e/"};
  for (const std::string& spelling : spellings) {
    for (int i = 0; i < 2; ++i) {
      before = plat::SystemCallCount();
      plat::FileStamp watched, now;
      const bool exists = plat::StampOfNative(spelling, now);
      EXPECT_EQ(plat::WatchedStampOfNative(spelling, watched), exists) << spelling;
      EXPECT_EQ(plat::SystemCallCount() - before, 2u) << spelling << " is not kept";
      if (exists) {
        EXPECT_EQ(watched, now) << spelling;
      }
    }
  }
}

// A process sets up no watch before its first call has ended (a job of one
// call would pay for it and never use it): a check is one status call,
// kept for the rest of its scope; after the call, the watch answers.
TEST(WatchedStamp, NoWatchBeforeTheFirstCallHasEnded) {
  TempDir dir;
  const std::string path = dir.Native("f.bin");
  ASSERT_TRUE(testutil::WriteBytes(path, "1234"));
  // A child of fork starts as a new process does.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int failed = 0;
    plat::FileStamp stamp, fresh;
    // Whether a check costs `calls` system calls (and, unless the stamp is
    // the one kept from earlier in the scope, gives the stamp as it is now).
    auto costs = [&](uint64_t calls, bool current = true) {
      const uint64_t before = plat::SystemCallCount();
      if (!plat::WatchedStampOfNative(path, stamp)) failed |= 1;
      const uint64_t made = plat::SystemCallCount() - before;
      if (current && (!plat::StampOfNative(path, fresh) || !(stamp == fresh))) failed |= 2;
      return made == calls;
    };
    if (!costs(1) || !costs(1)) failed |= 4;  // outside a scope: a status call each
    {
      plat::StampScope call;
      if (!costs(1) || !costs(0)) failed |= 8;  // kept for the scope
      if (!testutil::WriteBytes(path, "12345") || !costs(0, false) || stamp.size != 4) failed |= 16;
    }
    // The call has ended: the watch is set up (more than a status call),
    // then answers with one read and sees the change.
    if (costs(1) || !costs(1) || stamp.size != 5) failed |= 32;
    _exit(failed);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "failed checks (bits)";
}

// Without the change watch, a new listing's stamp is the look the path's
// resolution took at its folder: the folder's status as a status call
// gives it (through a link to the folder as well), taken once.
TEST(FolderListing, ANewListingIsStampedByTheLookThatFoundItsFolder) {
  TempDir dir;
  ASSERT_EQ(mkdir(dir.Native("data").c_str(), 0755), 0);
  ASSERT_EQ(symlink("data", dir.Native("link").c_str()), 0);
  // A child of fork starts as a new process does (no watch).
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int failed = 0;
    for (const char* name : {"data\\", "link\\", "link"}) {
      const uint64_t before = plat::SystemCallCount();
      const auto listing = plat::GetFolderListing(dir.Sys(name).c_str());
      const uint64_t made = plat::SystemCallCount() - before;
      plat::FileStamp now;
      if (!listing || !plat::StampOfNative(dir.Native("data"), now) || !(listing->Stamp() == now))
        failed |= 1;
      // The look, then the folder opened and closed (a link named without
      // its separator is looked at as a link first: one status call more).
      if (made != (std::string(name) == "link" ? 4u : 3u)) failed |= 2;
    }
    _exit(failed);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "failed checks (bits)";
}

// Files of one folder stamped at once for a scope: one opening of the
// folder and one look-up per name, then each check of those files in the
// scope answers as the stamp taken then (a missing file as missing); the
// next scope looks again and sees what changed.
TEST(WatchedStamp, FilesStampedThroughTheirFolderAnswerForTheScope) {
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("a.ndb"), "1"));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("b.tix"), "22"));
  // A child of fork starts as a new process does (no watch).
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int failed = 0;
    const std::vector<std::string> names = {"a.ndb", "b.tix", "none", "a.ndb"};
    uint64_t before = plat::SystemCallCount();
    plat::StampFolderFilesInScope(dir.path(), names);  // outside a scope: nothing
    if (plat::SystemCallCount() != before) failed |= 1;
    plat::FileStamp stamp, fresh;
    {
      plat::StampScope call;
      before = plat::SystemCallCount();
      plat::StampFolderFilesInScope(dir.path(), names);
      if (plat::SystemCallCount() - before != 5u) failed |= 2;  // open, three names, close
      if (!testutil::WriteBytes(dir.Native("a.ndb"), "333")) failed |= 4;
      before = plat::SystemCallCount();
      if (!plat::WatchedStampOfNative(dir.Native("a.ndb"), stamp) || stamp.size != 1) failed |= 8;
      if (!plat::WatchedStampOfNative(dir.Native("b.tix"), stamp) || stamp.size != 2 ||
          !plat::StampOfNative(dir.Native("b.tix"), fresh) || !(stamp == fresh))
        failed |= 16;
      if (plat::WatchedStampOfNative(dir.Native("none"), stamp)) failed |= 32;
      if (plat::SystemCallCount() - before != 1u) failed |= 64;  // the fresh stamp only
    }
    {
      plat::StampScope next;
      if (!plat::WatchedStampOfNative(dir.Native("a.ndb"), stamp) || stamp.size != 3) failed |= 128;
    }
    _exit(failed);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "failed checks (bits)";
}

// Inside a call's scope, the status call by which a listing finds a name
// is that path's stamp for the rest of the scope: stamping what was found
// (or asking again for a name found missing) makes no second call, and the
// stamp is the file's.
TEST(WatchedStamp, ANameAListingFoundIsStampedOnceInAScope) {
  TempDir dir;
  const std::string path = dir.Native("qvad13.ndb");
  ASSERT_TRUE(testutil::WriteBytes(path, "1234"));
  const pid_t child = fork();  // starts as a new process does: no watch yet
  ASSERT_GE(child, 0);
  if (child == 0) {
    int failed = 0;
    {
      plat::StampScope call;
      const auto listing = plat::GetFolderListing(dir.path().c_str());
      std::string native;
      if (!listing || !listing->Find("qvad13.ndb", native) || native != path) failed |= 1;
      plat::FileStamp stamp, fresh;
      uint64_t before = plat::SystemCallCount();
      if (!plat::WatchedStampOfNative(native, stamp) || plat::SystemCallCount() != before)
        failed |= 2;
      if (!plat::StampOfNative(path, fresh) || !(stamp == fresh)) failed |= 4;
      if (listing->Contains("qvad01.ndb")) failed |= 8;
      before = plat::SystemCallCount();
      if (plat::WatchedStampOfNative(dir.Native("qvad01.ndb"), stamp) ||
          plat::SystemCallCount() != before)
        failed |= 16;
    }
    _exit(failed);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "failed checks (bits)";
}

// Files in sibling folders share the watches of the folders above them: the
// second folder adds only its own watch, and a folder above both moved away
// and made anew still gives the second file's stamp as it is now.
TEST(WatchedStamp, SiblingFoldersShareTheWatchesAbove) {
  { plat::StampScope call; }  // the watch starts once a call has ended
  TempDir dir;
  const std::string top = dir.Native("top");
  ASSERT_EQ(mkdir(top.c_str(), 0755), 0);
  ASSERT_EQ(mkdir((top + "/a").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((top + "/b").c_str(), 0755), 0);
  const std::string first = top + "/a/f.bin";
  const std::string second = top + "/b/g.bin";
  ASSERT_TRUE(testutil::WriteBytes(first, "1"));
  ASSERT_TRUE(testutil::WriteBytes(second, "22"));
  plat::FileStamp stamp, fresh;
  ASSERT_TRUE(plat::WatchedStampOfNative(first, stamp));
  uint64_t before = plat::SystemCallCount();
  ASSERT_TRUE(plat::WatchedStampOfNative(second, stamp));
  // The watch's read, the folder's own watches and its file's stamp: no
  // watch again for any folder above (those alone would be four or more).
  EXPECT_LE(plat::SystemCallCount() - before, 5u);
  ASSERT_TRUE(plat::StampOfNative(second, fresh));
  EXPECT_EQ(stamp, fresh);

  ASSERT_EQ(rename(top.c_str(), dir.Native("old").c_str()), 0);
  ASSERT_EQ(mkdir(top.c_str(), 0755), 0);
  ASSERT_EQ(mkdir((top + "/b").c_str(), 0755), 0);
  ASSERT_TRUE(testutil::WriteBytes(second, "333"));
  ASSERT_TRUE(plat::WatchedStampOfNative(second, stamp));
  ASSERT_TRUE(plat::StampOfNative(second, fresh));
  EXPECT_EQ(stamp, fresh);
  EXPECT_EQ(stamp.size, 3u);
}

// A listing's first searches walk its names, later ones go through an
// index: both find the same entry (the first in listing order under
// folding), for names that differ only in letter case, names missing and
// CP932 names.
TEST(FolderListing, EarlyAndLaterSearchesFindTheSameEntry) {
  TempDir dir;
  for (const char* name : {"abc.txt", "ABC.TXT", "Abc.Txt", "qvad13.ndb", "QVAD13.NDB.bak"})
    ASSERT_TRUE(testutil::WriteBytes(dir.Native(name), name));
  ASSERT_TRUE(
      testutil::WriteBytes(dir.Native(reinterpret_cast<const char*>(u8"文字統一.BIN")), "y"));
  const std::vector<std::string> asked = {
      "aBC.TXT",       "QVAD13.ndb", "missing.txt", "ABC.TXT", testutil::Sjis(u8"文字統一.bin"),
      "QVAD13.NDB.BAK"};
  const auto listing = plat::GetFolderListing(dir.path().c_str());
  ASSERT_TRUE(listing);
  std::vector<std::pair<bool, std::string>> first;
  for (int round = 0; round < 12; ++round) {
    for (std::size_t i = 0; i < asked.size(); ++i) {
      std::string native;
      const bool found = listing->Find(asked[i].c_str(), native);
      if (round == 0) {
        first.emplace_back(found, native);
      } else {
        EXPECT_EQ(found, first[i].first) << asked[i] << " round " << round;
        EXPECT_EQ(native, first[i].second) << asked[i] << " round " << round;
      }
    }
  }
  EXPECT_TRUE(first[0].first);
  EXPECT_FALSE(first[2].first);
  EXPECT_EQ(first[3].second, dir.Native("ABC.TXT")) << "the exact name first";
}

// ---- A large folder's names kept in the store for later processes ----

// A folder large enough that its names are kept in the store: names of
// the shape of a data set's files, "name_NNN_of_a_data_set.dat".
std::string ListedName(int i) {
  char name[64];
  std::snprintf(name, sizeof name, "name_%03d_of_a_data_set.dat", i);
  return name;
}

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

// Waits until a change of the folder can no longer carry the times it
// carries now (the file system dates changes by a coarse clock): only then
// are its names kept.
plat::FileStamp SettledStamp(const std::string& folder) {
  plat::FileStamp stamp;
  EXPECT_TRUE(plat::StampOfNative(folder, stamp));
  for (int i = 0; i < 2000; ++i) {
    struct timespec now {};
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    if (static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec >
        std::max(stamp.modifiedNs, stamp.changedNs))
      break;
    usleep(1000);
  }
  return stamp;
}

// The folders whose names the store keeps.
std::vector<std::string> FolderNamesKept() {
  std::vector<std::string> found;
  for (const auto& e : plat::detail::DerivedStoreEntries())
    if (e.kind == "foldernames") found.push_back(e.folder);
  return found;
}

class FolderNamesFile : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 400; ++i) ASSERT_TRUE(testutil::WriteBytes(data.Native(ListedName(i)), ""));
    plat::FileStamp stamp;
    ASSERT_TRUE(plat::StampOfNative(data.path(), stamp));
    ASSERT_GE(stamp.size, plat::detail::kFolderNamesMinSize) << "the folder is too small here";
  }
  // A listing of the folder that the process has not kept yet, as a new
  // process would take it: the same folder under another spelling.
  std::shared_ptr<const plat::FolderListing> FreshListing() {
    spelling += "/";
    plat::detail::ForgetKeptFolderNames();
    return plat::GetFolderListing(spelling.c_str());
  }

  ~FolderNamesFile() override { plat::detail::ForgetDerivedStore(); }

  // The folder's names are kept only under a settled stamp.
  const testutil::SettledClock settled;
  TempDir cache;
  const testutil::ScopedEnv xdg{"XDG_CACHE_HOME", cache.path().c_str()};
  TempDir data;
  std::string spelling = data.path();
};

// A name added, removed or renamed after the names were kept changes the
// folder's stamp: the kept names are not used, the folder is read again.
TEST_F(FolderNamesFile, AChangeOfTheFolderAfterItsNamesWereKeptIsSeen) {
  SettledStamp(data.path());
  auto listing = FreshListing();
  ASSERT_TRUE(listing);
  EXPECT_TRUE(listing->Contains(Upper(ListedName(7)).c_str()));
  EXPECT_FALSE(listing->Contains("ADDED.DAT"));
  ASSERT_EQ(FolderNamesKept().size(), 1u) << "the names were not kept";
  // A later process answers from the store as from the folder.
  listing = FreshListing();
  EXPECT_TRUE(listing->Contains(Upper(ListedName(8)).c_str()));
  EXPECT_FALSE(listing->Contains("ADDED.DAT"));

  ASSERT_TRUE(testutil::WriteBytes(data.Native("Added.dat"), ""));
  SettledStamp(data.path());
  EXPECT_TRUE(FreshListing()->Contains("ADDED.DAT"));
  EXPECT_TRUE(FreshListing()->Contains("ADDED.DAT")) << "from the names kept anew";

  ASSERT_EQ(unlink(data.Native(ListedName(9)).c_str()), 0);
  SettledStamp(data.path());
  EXPECT_FALSE(FreshListing()->Contains(Upper(ListedName(9)).c_str()));
  EXPECT_FALSE(FreshListing()->Contains(Upper(ListedName(9)).c_str()));

  ASSERT_EQ(rename(data.Native(ListedName(10)).c_str(), data.Native("Renamed.dat").c_str()), 0);
  SettledStamp(data.path());
  listing = FreshListing();
  EXPECT_TRUE(listing->Contains("RENAMED.DAT"));
  EXPECT_FALSE(listing->Contains(Upper(ListedName(10)).c_str()));
  listing = FreshListing();
  EXPECT_TRUE(listing->Contains("RENAMED.DAT"));
  EXPECT_FALSE(listing->Contains(Upper(ListedName(10)).c_str()));
  EXPECT_EQ(FolderNamesKept().size(), 1u) << "one value per folder";
}

// Names looked up a few times are kept without their index; a process
// that looks up many of them makes it and keeps the names again with it,
// for later processes to search through from their first look-up.
TEST_F(FolderNamesFile, NamesSearchedOftenAreKeptAgainWithTheirIndex) {
  const plat::FileStamp stamp = SettledStamp(data.path());
  auto slotsKept = [&] {
    plat::DerivedBytes bytes;
    if (!plat::GetDerived(plat::detail::FolderNamesStoreKey(data.path(), stamp),
                          plat::DerivedSources(&stamp, 1), bytes) ||
        bytes.bytes.size() < 16)
      return -1;
    std::uint32_t head[4];
    std::memcpy(head, bytes.bytes.data(), sizeof head);
    return static_cast<int>(head[1]);
  };
  auto listing = FreshListing();
  EXPECT_TRUE(listing->Contains(Upper(ListedName(7)).c_str()));
  EXPECT_EQ(slotsKept(), 0) << "a name looked up: kept without an index";
  listing = FreshListing();
  for (int i = 0; i < 40; ++i) EXPECT_TRUE(listing->Contains(Upper(ListedName(i)).c_str())) << i;
  EXPECT_FALSE(listing->Contains("ABSENT.DAT"));
  EXPECT_GE(slotsKept(), 800) << "kept again with the index made";
  listing = FreshListing();
  for (int i = 0; i < 400; i += 37) EXPECT_TRUE(listing->Contains(Upper(ListedName(i)).c_str())) << i;
  EXPECT_FALSE(listing->Contains("ABSENT.DAT"));
  EXPECT_EQ(FolderNamesKept().size(), 1u) << "one value per folder";
}

// The kept names are used only from a whole value kept for this folder at
// its present stamp; any other value is passed over and the folder is
// read. A value that claims a name the folder lacks shows which was used.
TEST_F(FolderNamesFile, AValueNotWholeOrForAnotherFolderOrStampIsNeverTrusted) {
  const plat::FileStamp stamp = SettledStamp(data.path());
  std::vector<std::string> names;
  for (int i = 0; i < 400; ++i) names.push_back(ListedName(i));
  names.push_back("Ghost.dat");
  std::vector<plat::detail::ListedName> listed;
  for (const std::string& n : names) listed.push_back({n, false, false});
  auto useFile = [&](const std::string& bytes, const plat::FileStamp& at,
                     const plat::DerivedKey& key) {
    EXPECT_TRUE(plat::PutDerived(key, plat::DerivedSources(&at, 1), bytes));
    const auto listing = FreshListing();
    EXPECT_TRUE(listing->Contains(Upper(ListedName(3)).c_str()));
    return listing->Contains("GHOST.DAT");
  };
  const plat::DerivedKey key = plat::detail::FolderNamesStoreKey(data.path(), stamp);
  auto use = [&](const std::string& bytes) { return useFile(bytes, stamp, key); };
  const std::string whole = plat::detail::EncodeFolderNames(listed);
  EXPECT_TRUE(use(whole)) << "a whole value for the folder at its stamp is used";

  EXPECT_FALSE(use(whole.substr(0, whole.size() - 1))) << "cut short";
  EXPECT_FALSE(use(whole + '\0')) << "longer";
  EXPECT_FALSE(use("")) << "empty";
  plat::FileStamp other = stamp;
  other.modifiedNs -= 1;
  EXPECT_FALSE(useFile(whole, other, key)) << "kept at another stamp";
  TempDir elsewhere;
  plat::FileStamp otherFolder;
  ASSERT_TRUE(plat::StampOfNative(elsewhere.path(), otherFolder));
  EXPECT_FALSE(
      useFile(whole, stamp, plat::detail::FolderNamesStoreKey(elsewhere.path(), otherFolder)))
      << "kept for another folder";
  // A name no folder lists ("..", one with a separator) makes the value
  // unusable whole.
  for (const char* bad : {"..", "a/b"}) {
    std::vector<plat::detail::ListedName> withBad = listed;
    withBad.push_back({bad, false, false});
    EXPECT_FALSE(use(plat::detail::EncodeFolderNames(withBad))) << bad;
  }
}

// The kept names are searched where they stand in the value: its entries,
// its index and its names must fit it. An entry whose name lies outside
// the names or runs into another, an index of another size, or a value at
// an address that is not 8-aligned is refused whole (and the names found
// as they are); slots are checked where a search meets them, so that a
// search never reads past the value nor goes on for ever.
TEST(FolderNamesValue, PartsThatDoNotFitTheValueAreRefused) {
  std::vector<plat::detail::ListedName> listed;
  const std::vector<std::string> names = {"QVAD13.NDB", "QVAD13.TIX", "sub", "x"};
  for (const std::string& n : names) listed.push_back({n, n == "sub", false});
  const std::string whole = plat::detail::EncodeFolderNames(listed);
  auto decodes = [](const std::string& bytes) {
    // (In a buffer of 8-byte words: the value's own alignment.)
    std::vector<std::uint64_t> words((bytes.size() + 7) / 8 + 1);
    std::memcpy(words.data(), bytes.data(), bytes.size());
    plat::detail::FolderNamesView view;
    return plat::detail::DecodeFolderNames(
        std::string_view(reinterpret_cast<const char*>(words.data()), bytes.size()), view);
  };
  ASSERT_TRUE(decodes(whole));
  {
    std::vector<std::uint64_t> words(whole.size() / 8 + 2);
    std::memcpy(reinterpret_cast<char*>(words.data()) + 4, whole.data(), whole.size());
    plat::detail::FolderNamesView view;
    EXPECT_FALSE(plat::detail::DecodeFolderNames(
        std::string_view(reinterpret_cast<const char*>(words.data()) + 4, whole.size()), view))
        << "not 8-aligned";
  }
  std::uint32_t head[4];
  std::memcpy(head, whole.data(), sizeof head);
  ASSERT_EQ(head[0], 4u);
  const std::size_t entries = 16;
  const std::size_t slots = entries + (4 * sizeof(plat::detail::FolderNames::Entry) + 7) / 8 * 8;
  auto with = [&](std::size_t at, std::uint32_t value) {
    std::string b = whole;
    std::memcpy(&b[at], &value, 4);
    return b;
  };
  EXPECT_FALSE(decodes(with(entries + 0, head[2]))) << "a name past the names";
  EXPECT_FALSE(decodes(with(entries + 4, 11))) << "a name running into the next";
  EXPECT_FALSE(decodes(with(entries + 4, 0))) << "an empty name";
  EXPECT_FALSE(decodes(with(4, 15))) << "an index of another size";
  EXPECT_FALSE(decodes(with(12, 1))) << "a head of other bytes";
  // Slots are checked where a search meets them: one that names no entry
  // ends the search, and a full index (no free slot) ends after every slot.
  auto searched = [&](const std::string& bytes) {
    std::vector<std::uint64_t> words((bytes.size() + 7) / 8 + 1);
    std::memcpy(words.data(), bytes.data(), bytes.size());
    plat::detail::FolderNamesView view;
    if (!plat::detail::DecodeFolderNames(
            std::string_view(reinterpret_cast<const char*>(words.data()), bytes.size()), view))
      return std::string("refused");
    plat::detail::FolderNames names;
    names.text = view.text;
    names.list = view.entries;
    names.index = view.slots;
    names.indexed = true;
    std::string found;
    for (const char* name : {"QVAD13.NDB", "qvad13.tix", "SUB", "y"}) {
      const auto* e = names.Folded(name, true);
      found += e ? std::string(names.Name(*e)) + ";" : std::string("-;");
    }
    return found;
  };
  EXPECT_EQ(searched(whole), "QVAD13.NDB;QVAD13.TIX;sub;-;");
  std::string beyond = whole;
  for (std::uint32_t i = 0; i < head[1]; ++i) {
    std::uint32_t slot;
    std::memcpy(&slot, &beyond[slots + 4 * i], 4);
    if (slot != 0) std::memcpy(&beyond[slots + 4 * i], "\5\0\0\0", 4);
  }
  EXPECT_EQ(searched(beyond), "-;-;-;-;") << "slots naming no entry";
  std::string full = whole;
  for (std::uint32_t i = 0; i < head[1]; ++i) std::memcpy(&full[slots + 4 * i], "\1\0\0\0", 4);
  EXPECT_EQ(searched(full), "QVAD13.NDB;-;-;-;") << "no free slot: every slot, then the end";
}

// Names kept by a process that searched them only a few times go without
// their index: a later process walks them, and once it has searched them
// often enough makes the index over the value's own bytes; every search
// answers the same either way.
TEST(FolderNamesValue, NamesKeptWithoutTheirIndexAreFoundWalkedAndIndexed) {
  std::vector<plat::detail::ListedName> listed;
  std::vector<std::string> names;
  for (int i = 0; i < 40; ++i) names.push_back(ListedName(i));
  names.push_back("Sub");
  for (const std::string& n : names) listed.push_back({n, n == "Sub", false});
  // Names as a process read them, searched once: not indexed yet.
  const std::string indexed = plat::detail::EncodeFolderNames(listed);
  plat::detail::FolderNames read;
  {
    std::vector<std::uint64_t> words((indexed.size() + 7) / 8 + 1);
    std::memcpy(words.data(), indexed.data(), indexed.size());
    plat::detail::FolderNamesView view;
    ASSERT_TRUE(plat::detail::DecodeFolderNames(
        std::string_view(reinterpret_cast<const char*>(words.data()), indexed.size()), view));
    read.text = view.text;
    read.list = view.entries;
    ASSERT_NE(read.Exact(ListedName(3)), nullptr);
    const std::string bare(plat::detail::EncodeFolderNames(read).bytes);
    std::uint32_t head[4];
    std::memcpy(head, bare.data(), sizeof head);
    EXPECT_EQ(head[1], 0u) << "no index kept";
    EXPECT_LT(bare.size(), indexed.size());
    std::vector<std::uint64_t> again((bare.size() + 7) / 8 + 1);
    std::memcpy(again.data(), bare.data(), bare.size());
    ASSERT_TRUE(plat::detail::DecodeFolderNames(
        std::string_view(reinterpret_cast<const char*>(again.data()), bare.size()), view));
    EXPECT_TRUE(view.slots.empty());
    plat::detail::FolderNames later;
    later.text = view.text;
    later.list = view.entries;
    later.index = view.slots;
    // Past the walks, through the index made here: the same answers.
    for (int round = 0; round < 3; ++round) {
      for (int i = 0; i < 40; i += 7) {
        const auto* e = later.Folded(Upper(ListedName(i)), true);
        ASSERT_NE(e, nullptr) << i;
        EXPECT_EQ(later.Name(*e), ListedName(i));
      }
      const auto* sub = later.Folded("SUB", true);
      ASSERT_NE(sub, nullptr);
      EXPECT_TRUE(sub->directory);
      EXPECT_EQ(later.Exact("sub"), nullptr);
      EXPECT_EQ(later.Folded("absent.dat", true), nullptr);
    }
    EXPECT_TRUE(later.indexed.load());
    EXPECT_EQ(later.index.size(), 128u);
  }
}

// A name is found exactly where some entry has it exactly, else as the
// first entry in listing order that equals it under folding: the same
// whether the names are walked or searched through their index.
TEST(FolderNamesValue, TheExactNameGoesBeforeAnEarlierFoldedOne) {
  const std::vector<std::string> names = {"ABC.dat", "x", "abc.DAT", "Abc.dat", "y"};
  std::vector<plat::detail::ListedName> listed;
  for (const std::string& n : names) listed.push_back({n, false, false});
  const std::string bytes = plat::detail::EncodeFolderNames(listed);
  std::vector<std::uint64_t> words((bytes.size() + 7) / 8 + 1);
  std::memcpy(words.data(), bytes.data(), bytes.size());
  plat::detail::FolderNamesView view;
  ASSERT_TRUE(plat::detail::DecodeFolderNames(
      std::string_view(reinterpret_cast<const char*>(words.data()), bytes.size()), view));
  plat::detail::FolderNames walked;
  walked.text = view.text;
  walked.list = view.entries;
  walked.searches = -1000;  // never indexed here
  plat::detail::FolderNames indexed;
  indexed.text = view.text;
  indexed.list = view.entries;
  indexed.index = view.slots;
  indexed.indexed = true;
  for (const plat::detail::FolderNames* n : {&walked, &indexed}) {
    auto found = [&](std::string_view s) {
      const auto* e = n->ExactElseFolded(s, true);
      return e ? std::to_string(e - n->list.data()) : std::string("-");
    };
    EXPECT_EQ(found("abc.DAT"), "2") << "exact, after a folded one";
    EXPECT_EQ(found("Abc.dat"), "3");
    EXPECT_EQ(found("ABC.DAT"), "0") << "the first folded one";
    EXPECT_EQ(found("abc.dat"), "0");
    EXPECT_EQ(found("abd.dat"), "-");
    EXPECT_EQ(found("X"), "1");
  }
  EXPECT_FALSE(walked.indexed.load());
}

// A folder changed within the settle time may change again without a new
// stamp on a file system of whole-second times: without the change watch
// (before a process's first call has ended) its listing answers only the
// call (scope) that took it; a later call takes the folder again. Once the
// folder is settled, the listing is kept. (Under the watch, the watch
// decides: names_watch_test.cpp.)
TEST(FolderListing, AListingOfAFolderJustChangedAnswersOnlyTheCallThatTookIt) {
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("a.dat"), "a"));
  const pid_t child = fork();  // starts as a new process does: no watch yet
  ASSERT_GE(child, 0);
  if (child == 0) {
    int failed = 0;
    const auto first = plat::GetFolderListing(dir.path().c_str());
    const auto second = plat::GetFolderListing(dir.path().c_str());
    if (!first || !second) failed |= 1;
    if (first == second) failed |= 2;  // outside a scope each look is a call of its own
    {
      plat::StampScope call;
      const auto once = plat::GetFolderListing(dir.path().c_str());
      if (plat::GetFolderListing(dir.path().c_str()) != once) failed |= 4;
      if (once == second) failed |= 8;
    }
    const testutil::SettledClock settled;
    const auto kept = plat::GetFolderListing(dir.path().c_str());
    if (plat::GetFolderListing(dir.path().c_str()) != kept) failed |= 16;
    _exit(failed);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "failed checks (bits)";
}

// A kept listing may save work but never changes an answer: a name its
// names lack is missing only while a direct look finds the folder as they
// were read; a name added since is found.
TEST(FolderListing, ANameAKeptListingLacksIsConfirmedByADirectLook) {
  const testutil::SettledClock settled;
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("a.dat"), "a"));
  const auto listing = plat::GetFolderListing(dir.path().c_str());
  ASSERT_TRUE(listing);
  EXPECT_FALSE(listing->Contains("NEW.DAT"));
  EXPECT_TRUE(listing->AbsenceHolds());
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("New.dat"), "n"));
  EXPECT_FALSE(listing->AbsenceHolds());
  std::string native;
  EXPECT_TRUE(listing->Find("NEW.DAT", native)) << "the folder is read again for the name";
  EXPECT_EQ(native, dir.Native("New.dat"));
  EXPECT_TRUE(listing->Contains("A.DAT"));
  EXPECT_FALSE(listing->Contains("NONE.DAT"));
}

// A data folder reached through a symbolic link is watched where the link
// leads and in the folder that holds the link: a link pointed elsewhere is
// reported, and the next call sees the new folder at once (not a second
// later). A file that is itself a link is never kept by the watch.
TEST(WatchedStamp, APathThroughALinkPointedElsewhereIsSeenAtOnce) {
  { plat::StampScope call; }  // the watch starts once a call has ended
  const testutil::SettledClock settled;
  TempDir top;
  for (const char* folder : {"a", "b"}) ASSERT_EQ(mkdir(top.Native(folder).c_str(), 0755), 0);
  ASSERT_TRUE(testutil::WriteBytes(top.Native("a/x.dat"), "x"));
  ASSERT_TRUE(testutil::WriteBytes(top.Native("b/y.dat"), "yy"));
  ASSERT_EQ(symlink("a", top.Native("data").c_str()), 0);
  ASSERT_EQ(symlink("a/x.dat", top.Native("file.dat").c_str()), 0);
  auto repoint = [&](const char* link, const char* target) {
    const std::string made = top.Native(std::string(link) + ".new");
    return symlink(target, made.c_str()) == 0 &&
           rename(made.c_str(), top.Native(link).c_str()) == 0;
  };
  const std::string folder = top.Sys("data");
  plat::FileStamp stamp;
  for (int call = 0; call < 2; ++call) {
    plat::StampScope scope;
    const auto listing = plat::GetFolderListing(folder.c_str());
    ASSERT_TRUE(listing);
    EXPECT_TRUE(listing->Contains("X.DAT"));
    ASSERT_TRUE(plat::WatchedStampOfNative(top.Native("file.dat"), stamp));
    EXPECT_EQ(stamp.size, 1u);
  }
  {
    plat::StampScope scope;
    ASSERT_TRUE(plat::WatchedStampOfNative(top.Native("data/x.dat"), stamp));
  }
  {
    // The watch keeps a file of the linked folder: one read of it a call.
    const uint64_t before = plat::SystemCallCount();
    plat::StampScope scope;
    ASSERT_TRUE(plat::WatchedStampOfNative(top.Native("data/x.dat"), stamp));
    EXPECT_EQ(plat::SystemCallCount() - before, 1u);
  }
  ASSERT_TRUE(repoint("data", "b"));
  ASSERT_TRUE(repoint("file.dat", "b/y.dat"));
  plat::StampScope scope;
  const auto listing = plat::GetFolderListing(folder.c_str());
  ASSERT_TRUE(listing);
  EXPECT_TRUE(listing->Contains("Y.DAT"));
  EXPECT_FALSE(listing->Contains("X.DAT"));
  ASSERT_TRUE(plat::WatchedStampOfNative(top.Native("file.dat"), stamp));
  EXPECT_EQ(stamp.size, 2u);
  EXPECT_FALSE(plat::WatchedStampOfNative(top.Native("data/x.dat"), stamp));
  ASSERT_TRUE(plat::WatchedStampOfNative(top.Native("data/y.dat"), stamp));
  EXPECT_EQ(stamp.size, 2u);
}

// The names of a large folder changed within the settle time are not kept
// in the store for later processes; once settled they are.
TEST(FolderNamesFileRule, NamesOfAFolderJustChangedAreNotKeptForLaterProcesses) {
  plat::detail::ForgetDerivedStore();
  TempDir cache;
  const testutil::ScopedEnv xdg{"XDG_CACHE_HOME", cache.path().c_str()};
  TempDir data;
  for (int i = 0; i < 400; ++i) ASSERT_TRUE(testutil::WriteBytes(data.Native(ListedName(i)), ""));
  plat::detail::ForgetKeptFolderNames();
  auto listing = plat::GetFolderListing(data.path().c_str());
  ASSERT_TRUE(listing);
  EXPECT_FALSE(listing->Contains("ABSENT.DAT"));  // the names are read
  EXPECT_EQ(FolderNamesKept().size(), 0u);
  const testutil::SettledClock settled;
  plat::detail::ForgetKeptFolderNames();
  listing = plat::GetFolderListing((data.path() + "/").c_str());
  ASSERT_TRUE(listing);
  EXPECT_FALSE(listing->Contains("ABSENT.DAT"));
  EXPECT_EQ(FolderNamesKept().size(), 1u);
  plat::detail::ForgetDerivedStore();
}

}  // namespace

// The folder that holds a file, found as a name is found (in another case
// too): the name's own folder, or for a symbolic link the folder of the
// file it leads to; nothing for a name that names nothing.
TEST(StampOfPathAndFolder, TheFolderIsTheOneThatHoldsTheFileALinkLeadsTo) {
  TempDir dir;
  ASSERT_EQ(mkdir(dir.Native("data").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(dir.Native("other").c_str(), 0755), 0);
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("data/QVAD13.NDB"), "data"));
  ASSERT_EQ(symlink(dir.Native("data/QVAD13.NDB").c_str(), dir.Native("other/link").c_str()), 0);
  plat::FileStamp data, other, file, folder, direct;
  std::string native;
  ASSERT_TRUE(plat::StampOfPath(dir.Sys("data").c_str(), native, data));
  ASSERT_TRUE(plat::StampOfPath(dir.Sys("other").c_str(), native, other));
  ASSERT_TRUE(plat::StampOfPath(dir.Sys("data\\QVAD13.NDB").c_str(), native, direct));
  for (const char* name : {"data\\qvad13.ndb", "DATA\\QVAD13.NDB", "other\\link", "OTHER\\LINK"}) {
    ASSERT_TRUE(plat::StampOfPathAndFolder(dir.Sys(name).c_str(), file, folder)) << name;
    EXPECT_EQ(file, direct) << name;
    EXPECT_EQ(folder, data) << name;
    EXPECT_NE(folder, other) << name;
  }
  EXPECT_FALSE(plat::StampOfPathAndFolder(dir.Sys("data\\none").c_str(), file, folder));
  EXPECT_FALSE(plat::StampOfPathAndFolder(dir.Sys("none\\x").c_str(), file, folder));
}
