// Kept folder listings under the change watch: in a process whose watch
// watches a folder's names (inotify on a local file system), the watch, not
// the folder's times, decides whether a kept listing holds; a folder whose
// names cannot be watched keeps the direct look and the 2 s rule.

#include "platform/src/names_watch.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "plat/config.h"
#include "plat/file_stamp.h"
#include "platform/src/derived_store_detail.h"
#include "platform/src/folder_names.h"
#include "support/test_util.h"

using testutil::TempDir;

namespace {

// The watch is set up once a call (a scope) has ended in the process.
void StartTheWatch() { plat::StampScope call; }

// Whether the listing of a CP932 folder, taken in a call of its own, finds
// a name.
bool ListedInACall(const std::string& folder, const char* name) {
  plat::StampScope call;
  const auto listing = plat::GetFolderListing(folder.c_str());
  return listing && listing->Contains(name);
}

std::shared_ptr<const plat::FolderListing> ListingInACall(const std::string& folder) {
  plat::StampScope call;
  return plat::GetFolderListing(folder.c_str());
}

// Sets a folder's modification time back to a moment (the status-change
// time follows the clock): as `touch -d` with an old time, or a file
// system that keeps or misreports its times.
bool SetTimesBack(const std::string& native, std::int64_t modifiedNs) {
  const struct timespec times[2] = {
      {static_cast<time_t>(modifiedNs / 1000000000), static_cast<long>(modifiedNs % 1000000000)},
      {static_cast<time_t>(modifiedNs / 1000000000), static_cast<long>(modifiedNs % 1000000000)}};
  return utimensat(AT_FDCWD, native.c_str(), times, 0) == 0;
}

// A name made, removed, renamed within, renamed into and renamed out of a
// folder whose kept listing the watch watches is seen at the next call,
// with the folder's times counting as settled and set back to those its
// listing was taken at: the watch decides, not the times. While nothing
// changes, a name the kept listing lacks costs no status call of the
// folder, and an absence a caller kept stops holding once a name comes.
TEST(WatchedNames, ANameMadeRemovedOrRenamedIsSeenWhateverTheFolderTimesSay) {
  StartTheWatch();
  const testutil::SettledClock settled;
  TempDir top;
  const std::string data = top.Native("data"), other = top.Native("other");
  ASSERT_EQ(mkdir(data.c_str(), 0755), 0);
  ASSERT_EQ(mkdir(other.c_str(), 0755), 0);
  ASSERT_TRUE(testutil::WriteBytes(data + "/a.dat", "a"));
  ASSERT_TRUE(testutil::WriteBytes(other + "/moved.dat", "m"));
  const std::string folder = top.Sys("data");

  EXPECT_TRUE(ListedInACall(folder, "A.DAT"));
  const auto kept = ListingInACall(folder);
  ASSERT_TRUE(kept);
  EXPECT_FALSE(kept->Contains("NEW.DAT"));
  {
    plat::StampScope call;
    const uint64_t before = plat::SystemCallCount();
    EXPECT_EQ(plat::GetFolderListing(folder.c_str()), kept);
    EXPECT_FALSE(kept->Contains("NEW.DAT"));
    EXPECT_TRUE(kept->AbsenceHolds());
    EXPECT_LE(plat::SystemCallCount() - before, 1u) << "the read of the watch alone";
  }
  plat::FileStamp first;
  ASSERT_TRUE(plat::StampOfNative(data, first));

  struct Change {
    const char* what;
    std::function<bool()> make;
    const char* present;  // null for none
    const char* absent;
    bool adds;  // a name comes: an absence found before no longer holds
  };
  const Change changes[] = {
      {"made", [&] { return testutil::WriteBytes(data + "/New.dat", "n"); }, "NEW.DAT", "NONE.DAT",
       true},
      {"removed", [&] { return unlink((data + "/New.dat").c_str()) == 0; }, nullptr, "NEW.DAT",
       false},
      {"renamed within",
       [&] { return rename((data + "/a.dat").c_str(), (data + "/b.dat").c_str()) == 0; }, "B.DAT",
       "A.DAT", true},
      {"renamed into",
       [&] { return rename((other + "/moved.dat").c_str(), (data + "/moved.dat").c_str()) == 0; },
       "MOVED.DAT", "NONE.DAT", true},
      {"renamed out",
       [&] { return rename((data + "/b.dat").c_str(), (other + "/b.dat").c_str()) == 0; }, nullptr,
       "B.DAT", false},
  };
  for (const Change& change : changes) {
    // Kept, its names read, and an absence found in it.
    const auto before = ListingInACall(folder);
    ASSERT_TRUE(before) << change.what;
    EXPECT_FALSE(before->Contains("NONE.DAT")) << change.what;
    ASSERT_EQ(ListingInACall(folder), before) << change.what << ": kept";

    ASSERT_TRUE(change.make()) << change.what;
    ASSERT_TRUE(SetTimesBack(data, first.modifiedNs)) << change.what;
    plat::StampScope call;
    if (change.adds) {
      EXPECT_FALSE(before->AbsenceHolds()) << change.what;
    }
    const auto after = plat::GetFolderListing(folder.c_str());
    ASSERT_TRUE(after) << change.what;
    EXPECT_NE(after, before) << change.what;
    if (change.present) {
      EXPECT_TRUE(after->Contains(change.present)) << change.what;
    }
    EXPECT_FALSE(after->Contains(change.absent)) << change.what;
  }
}

// The folder moved away or removed and made again under its name, and a
// folder above it moved away and made again: the next call lists the
// folder that the name names now.
TEST(WatchedNames, AFolderMovedOrRemovedAndMadeAgainIsListedAnew) {
  StartTheWatch();
  const testutil::SettledClock settled;
  TempDir top;
  const std::string up = top.Native("up"), data = up + "/data";
  ASSERT_EQ(mkdir(up.c_str(), 0755), 0);
  ASSERT_EQ(mkdir(data.c_str(), 0755), 0);
  ASSERT_TRUE(testutil::WriteBytes(data + "/a.dat", "a"));
  const std::string folder = top.Sys("up\\data");
  auto remake = [&](const char* name) {
    return mkdir(data.c_str(), 0755) == 0 && testutil::WriteBytes(data + "/" + name, "x");
  };
  ASSERT_TRUE(ListedInACall(folder, "A.DAT"));
  ASSERT_FALSE(ListedInACall(folder, "B.DAT"));

  ASSERT_EQ(rename(data.c_str(), (up + "/old").c_str()), 0);
  ASSERT_TRUE(remake("b.dat"));
  EXPECT_TRUE(ListedInACall(folder, "B.DAT")) << "moved away";
  EXPECT_FALSE(ListedInACall(folder, "A.DAT")) << "moved away";

  std::filesystem::remove_all(data);
  ASSERT_TRUE(remake("c.dat"));
  EXPECT_TRUE(ListedInACall(folder, "C.DAT")) << "removed";
  EXPECT_FALSE(ListedInACall(folder, "B.DAT")) << "removed";

  ASSERT_EQ(rename(up.c_str(), top.Native("up-old").c_str()), 0);
  ASSERT_EQ(mkdir(up.c_str(), 0755), 0);
  ASSERT_TRUE(remake("d.dat"));
  EXPECT_TRUE(ListedInACall(folder, "D.DAT")) << "the folder above moved away";
  EXPECT_FALSE(ListedInACall(folder, "C.DAT")) << "the folder above moved away";
}

// Today's rule, for a folder whose names are not watched: a listing of the
// folder just changed answers only the call that took it; with its times
// settled, it is kept and a name it lacks is confirmed by a status call of
// the folder in each call; a name made is found. The failed checks as bits
// (0: none), so that a child of fork can report them.
int CheckTheDirectLookAndThe2sRule(const TempDir& dir) {
  int failed = 0;
  if (!testutil::WriteBytes(dir.Native("a.dat"), "a")) return 1;
  const auto first = ListingInACall(dir.path());
  const auto second = ListingInACall(dir.path());
  if (!first || !second || first == second) failed |= 2;  // changed within the settle time
  const testutil::SettledClock settled;
  const auto kept = ListingInACall(dir.path());
  if (!kept || ListingInACall(dir.path()) != kept || kept->Contains("NEW.DAT")) failed |= 4;
  for (int call = 0; call < 2 && kept; ++call) {
    plat::StampScope scope;
    const uint64_t before = plat::SystemCallCount();
    if (!kept->AbsenceHolds()) failed |= 8;
    if (plat::SystemCallCount() == before) failed |= 16;  // a direct look at the folder
  }
  if (!testutil::WriteBytes(dir.Native("New.dat"), "n")) return failed | 1;
  if (!ListedInACall(dir.path(), "NEW.DAT")) failed |= 32;
  return failed;
}

// Folders taken as on a file system of another machine while it lives.
class RemoteFolders {
 public:
  explicit RemoteFolders(const std::string& prefix) { plat::detail::TreatAsRemoteForTests(prefix); }
  ~RemoteFolders() { plat::detail::TreatAsRemoteForTests(""); }
  RemoteFolders(const RemoteFolders&) = delete;
  RemoteFolders& operator=(const RemoteFolders&) = delete;
};

// A folder on a file system of another machine (NFS, SMB, FUSE, ...) may
// change without a report: the watch does not decide there.
TEST(WatchedNames, AFolderOnAnotherMachinesFileSystemKeepsTheDirectLookAndThe2sRule) {
  StartTheWatch();
  TempDir dir;
  const RemoteFolders remote(dir.path());
  EXPECT_EQ(CheckTheDirectLookAndThe2sRule(dir), 0) << "failed checks (bits)";
}

// A process that cannot make a watch (no descriptor left when it first
// wanted one) keeps the same rule.
// One list of the file systems of other machines serves the watch and the
// store: neither is trusted on any of them; the watch is not trusted on
// proc or sysfs either (their names change without a report), where a
// store could still be kept; local disk file systems take both.
TEST(WatchedNames, TheWatchAndTheStoreTakeTheSameFileSystemsForRemote) {
  for (const std::int64_t type :
       {0x6969ll, 0x517Bll, 0xFF534D42ll, 0xFE534D42ll, 0x65735546ll, 0x73757245ll, 0x5346414Fll,
        0x6B414653ll, 0x564Cll, 0x01021997ll, 0x00C36400ll, 0x01161970ll, 0x7461636Fll,
        0x0BD00BD0ll, 0x47504653ll, 0xAAD7AAEAll, 0x20030528ll, 0x13661366ll, 0x786F4256ll,
        0xBACBACBCll, 0x7C7C6673ll}) {
    EXPECT_FALSE(plat::detail::FileSystemReportsNames(type)) << std::hex << type;
    EXPECT_FALSE(plat::detail::StoreAllowedOnFileSystem(type)) << std::hex << type;
  }
  for (const std::int64_t type : {0x9FA0ll, 0x62656572ll}) {
    EXPECT_FALSE(plat::detail::FileSystemReportsNames(type)) << std::hex << type;
    EXPECT_TRUE(plat::detail::StoreAllowedOnFileSystem(type)) << std::hex << type;
  }
  for (const std::int64_t type : {0xEF53ll, 0x01021994ll, 0x58465342ll, 0x9123683Ell}) {
    EXPECT_TRUE(plat::detail::FileSystemReportsNames(type)) << std::hex << type;
    EXPECT_TRUE(plat::detail::StoreAllowedOnFileSystem(type)) << std::hex << type;
  }
}

TEST(WatchedNames, WithoutAWatchTheDirectLookAndThe2sRuleStay) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  // The sanitizers' own checks open descriptors (UBSan's look at a vtable
  // takes a pipe): without a free one they report objects that are sound.
  GTEST_SKIP() << "no free file descriptor for the sanitizers";
#endif
  TempDir dir;
  const pid_t child = fork();  // starts as a new process does: no watch yet
  ASSERT_GE(child, 0);
  if (child == 0) {
    struct rlimit was {};
    if (getrlimit(RLIMIT_NOFILE, &was) != 0) _exit(64);
    const int lowest = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (lowest < 0) _exit(64);
    close(lowest);
    struct rlimit none = was;
    none.rlim_cur = static_cast<rlim_t>(lowest);
    plat::FileStamp stamp;
    StartTheWatch();
    if (setrlimit(RLIMIT_NOFILE, &none) != 0) _exit(64);
    plat::WatchedStampOfNative(dir.path(), stamp);  // the watch cannot be made
    if (setrlimit(RLIMIT_NOFILE, &was) != 0) _exit(64);
    _exit(CheckTheDirectLookAndThe2sRule(dir));
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "failed checks (bits)";
}

// A folder of 1,000 files that gains a file between runs of calls (a host
// writing its logs beside its configuration file), its times never
// settled: the missing adrslib.ini there costs at most one listing of the
// folder per change, not one per call, and the file is read once it comes.
TEST(WatchedNames, AChangingFolderOfManyFilesIsListedAtMostOncePerChange) {
  StartTheWatch();
  TempDir dir;
  auto writeLog = [&](int n) {
    char name[32];
    std::snprintf(name, sizeof name, "host-%05d.log", n);
    return testutil::WriteBytes(dir.Native(name), "entry\n");
  };
  for (int n = 0; n < 1000; ++n) ASSERT_TRUE(writeLog(n));
  const std::string ini = dir.Sys("adrslib.ini");
  auto valueInACall = [&] {
    plat::StampScope call;
    return plat::ReadProfileInt("AdrsLib", "FLFC", 7, ini.c_str());
  };
  EXPECT_EQ(valueInACall(), 7);
  constexpr int kChanges = 10;
  constexpr int kCallsPerChange = 50;
  const uint64_t readsBefore = plat::detail::FolderNamesReads();
  for (int change = 0; change < kChanges; ++change) {
    ASSERT_TRUE(writeLog(1000 + change));
    for (int call = 0; call < kCallsPerChange; ++call) ASSERT_EQ(valueInACall(), 7);
  }
  EXPECT_LE(plat::detail::FolderNamesReads() - readsBefore, static_cast<uint64_t>(kChanges))
      << "listings of the folder";
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("adrslib.ini"), "[AdrsLib]\r\nFLFC=3\r\n"));
  EXPECT_EQ(valueInACall(), 3);
}

// How many reports the kernel queues for the watch before it loses them; 0
// when it cannot be told.
long QueuedReportsLimit() {
  std::ifstream in("/proc/sys/fs/inotify/max_queued_events");
  long limit = 0;
  return in >> limit ? limit : 0;
}

// Reports lost (the queue of the watch overflowed) count as every name
// changed: every kept listing is taken again, those of folders where
// nothing changed too, and answers as its folder stands.
TEST(WatchedNames, LostReportsDropEveryKeptListing) {
  const long limit = QueuedReportsLimit();
  if (limit <= 0 || limit > 100000) GTEST_SKIP() << "the queue's limit is " << limit;
  StartTheWatch();
  TempDir a, b, busy;
  ASSERT_TRUE(testutil::WriteBytes(a.Native("a.dat"), "a"));
  ASSERT_TRUE(testutil::WriteBytes(b.Native("b.dat"), "b"));
  const auto keptA = ListingInACall(a.path());
  const auto keptB = ListingInACall(b.path());
  ASSERT_TRUE(ListingInACall(busy.path()));  // watched too
  ASSERT_TRUE(keptA && keptB);
  ASSERT_EQ(ListingInACall(a.path()), keptA);
  ASSERT_EQ(ListingInACall(b.path()), keptB);
  // Three reports a file (made, closed, removed), more than the queue holds,
  // with no call between them to read any.
  const long files = limit / 3 + 1000;
  for (long n = 0; n < files; ++n) {
    const std::string name = busy.Native("f" + std::to_string(n));
    ASSERT_TRUE(testutil::WriteBytes(name, ""));
    ASSERT_EQ(unlink(name.c_str()), 0);
  }
  const auto afterA = ListingInACall(a.path());
  const auto afterB = ListingInACall(b.path());
  ASSERT_TRUE(afterA && afterB);
  EXPECT_NE(afterA, keptA);
  EXPECT_NE(afterB, keptB);
  EXPECT_TRUE(afterA->Contains("A.DAT"));
  EXPECT_FALSE(afterA->Contains("B.DAT"));
  // The reports left are read by the calls that follow: then a kept
  // listing holds again for the read of the watch alone.
  bool quiet = false;
  for (int call = 0; call < 100 && !quiet; ++call) {
    const uint64_t before = plat::SystemCallCount();
    const auto again = ListingInACall(a.path());
    quiet = plat::SystemCallCount() - before <= 1 && again && again->Contains("A.DAT");
  }
  EXPECT_TRUE(quiet);
}

}  // namespace
