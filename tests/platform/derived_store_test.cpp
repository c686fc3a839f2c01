#include "plat/derived_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/src/derived_store_detail.h"
#include "support/test_util.h"

namespace {

using testutil::ScopedEnv;
using testutil::TempDir;

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

plat::DerivedKey Key(std::string_view folder, std::uint64_t build = 1,
                     std::string_view item = "item", std::uint32_t format = 1,
                     std::string_view kind = "tables") {
  return {kind, folder, build, format, item};
}

// The value kept under the key, or "-" when there is none.
std::string Got(const plat::DerivedKey& key) {
  plat::DerivedStore store;
  std::string_view value;
  return store.Get(key, value) ? std::string(value) : std::string("-");
}

// A test with a cache folder of its own, as a new process finds it.
class DerivedStoreTest : public ::testing::Test {
 protected:
  DerivedStoreTest() { plat::detail::ForgetDerivedStore(); }
  ~DerivedStoreTest() override {
    plat::detail::ForgetDerivedStore();
    plat::detail::SetDerivedStoreClock(0);
  }
  std::string Folder() const { return cache_.path() + "/kort"; }
  std::string StorePath() const { return Folder() + "/store.mdb"; }

  TempDir cache_;
  const ScopedEnv xdg_{"XDG_CACHE_HOME", cache_.path().c_str()};
  const ScopedEnv bound_{"KORT_CACHE_MAX_MB", nullptr};
};

TEST(DerivedStoreFolder, IsXdgCacheHomeElseHomeElseNone) {
  TempDir dir;
  {
    const ScopedEnv xdg("XDG_CACHE_HOME", dir.path().c_str());
    EXPECT_EQ(plat::CacheFolder(), dir.path() + "/kort");
  }
  const ScopedEnv home("HOME", dir.path().c_str());
  {
    // A relative XDG_CACHE_HOME is not used.
    const ScopedEnv xdg("XDG_CACHE_HOME", "relative/cache");
    EXPECT_EQ(plat::CacheFolder(), dir.path() + "/.cache/kort");
  }
  const ScopedEnv xdg("XDG_CACHE_HOME", nullptr);
  EXPECT_EQ(plat::CacheFolder(), dir.path() + "/.cache/kort");
  const ScopedEnv noHome("HOME", nullptr);
  EXPECT_EQ(plat::CacheFolder(), "");
  plat::detail::ForgetDerivedStore();
  EXPECT_FALSE(plat::DerivedStore::Put(Key("/data"), "value"));
  EXPECT_EQ(Got(Key("/data")), "-");
}

TEST(DerivedStoreBound, IsTheEnvironmentsWholeMebibytesElseTheDefault) {
  {
    const ScopedEnv bound("KORT_CACHE_MAX_MB", "3");
    EXPECT_EQ(plat::CacheBoundBytes(), 3 * kMiB);
  }
  // Not a number of MiB from 1 to 65536: the default (no adrslib.ini key
  // beside the tests).
  for (const char* bad : {"", "0", "-5", "12x", "0x10", "65537", "99999999999999999999"}) {
    const ScopedEnv bound("KORT_CACHE_MAX_MB", bad);
    EXPECT_EQ(plat::CacheBoundBytes(), 256 * kMiB) << bad;
  }
  const ScopedEnv bound("KORT_CACHE_MAX_MB", "65536");
  EXPECT_EQ(plat::CacheBoundBytes(), 65536 * kMiB);
}

TEST_F(DerivedStoreTest, AReaderFindsNothingAndMakesNothingBeforeTheFirstPut) {
  EXPECT_EQ(Got(Key("/data")), "-");
  EXPECT_FALSE(testutil::Exists(Folder()));
  ASSERT_TRUE(plat::DerivedStore::Put(Key("/data"), std::string("first\0value", 11)));
  EXPECT_EQ(Got(Key("/data")), std::string("first\0value", 11));
  struct stat st {};
  ASSERT_EQ(stat(Folder().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(stat(StorePath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0077, 0u);
  // Replaced by a later put, empty values included.
  ASSERT_TRUE(plat::DerivedStore::Put(Key("/data"), "2nd"));
  EXPECT_EQ(Got(Key("/data")), "2nd");
  ASSERT_TRUE(plat::DerivedStore::Put(Key("/data"), ""));
  EXPECT_EQ(Got(Key("/data")), "");
  // A kind the key scheme does not take.
  for (const char* kind : {"", "Upper", "with-dash", "seventeen-letters"}) {
    EXPECT_FALSE(plat::DerivedStore::Put(Key("/data", 1, "item", 1, kind), "x")) << kind;
    EXPECT_EQ(Got(Key("/data", 1, "item", 1, kind)), "-") << kind;
  }
}

TEST_F(DerivedStoreTest, ValuesOfOtherKindsFoldersBuildsFormatsAndItemsStandSideBySide) {
  const std::vector<plat::DerivedKey> keys = {
      Key("/data"),
      Key("/data2"),
      Key("/data", 2),
      Key("/data", 1, "other item"),
      Key("/data", 1, ""),
      Key("/data", 1, "item", 2),
      Key("/data", 1, "item", 1, "other"),
      Key(""),
  };
  for (std::size_t i = 0; i < keys.size(); ++i)
    ASSERT_TRUE(plat::DerivedStore::Put(keys[i], "value " + std::to_string(i)));
  plat::detail::ForgetDerivedStore();  // as a later process
  for (std::size_t i = 0; i < keys.size(); ++i)
    EXPECT_EQ(Got(keys[i]), "value " + std::to_string(i)) << i;
  EXPECT_EQ(plat::detail::DerivedStoreEntries().size(), keys.size());
}

TEST_F(DerivedStoreTest, AValueGotStaysAsItWasUntilItsScopeEnds) {
  ASSERT_TRUE(plat::DerivedStore::Put(Key("/data"), std::string(100000, 'a')));
  plat::DerivedStore store;
  std::string_view before;
  ASSERT_TRUE(store.Get(Key("/data"), before));
  // Written anew (and others added) while the scope stands: the scope sees
  // what it saw, a new scope the new value.
  ASSERT_TRUE(plat::DerivedStore::Put(Key("/data"), std::string(100000, 'b')));
  for (int i = 0; i < 20; ++i)
    ASSERT_TRUE(
        plat::DerivedStore::Put(Key("/other", 1, std::to_string(i)), std::string(9000, 'c')));
  EXPECT_EQ(before, std::string(100000, 'a'));
  std::string_view again;
  ASSERT_TRUE(store.Get(Key("/data"), again));
  EXPECT_EQ(again, std::string(100000, 'a'));
  EXPECT_EQ(Got(Key("/data")), std::string(100000, 'b'));
}

// A read notes the value's use at most once in ten minutes: reads within
// them write nothing.
TEST_F(DerivedStoreTest, AUseIsWrittenAtMostOnceInItsInterval) {
  plat::detail::SetDerivedStoreClock(1000000);
  ASSERT_TRUE(plat::DerivedStore::Put(Key("/data"), "value"));
  const std::uint64_t written = plat::detail::DerivedStoreLastTransaction();
  ASSERT_NE(written, 0u);
  for (const std::int64_t t : {1000000, 1000100, 1000599}) {
    plat::detail::SetDerivedStoreClock(t);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Got(Key("/data")), "value");
    EXPECT_EQ(plat::detail::DerivedStoreLastTransaction(), written) << t;
  }
  plat::detail::SetDerivedStoreClock(1000600);
  {
    plat::DerivedStore store;
    std::string_view value;
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(store.Get(Key("/data"), value));
  }
  EXPECT_EQ(plat::detail::DerivedStoreLastTransaction(), written + 1);
  ASSERT_EQ(plat::detail::DerivedStoreEntries().size(), 1u);
  EXPECT_EQ(plat::detail::DerivedStoreEntries()[0].used, 1000600);
  EXPECT_EQ(Got(Key("/data")), "value");
  EXPECT_EQ(plat::detail::DerivedStoreLastTransaction(), written + 1);
}

// Under the bound, what goes first: values of other builds, then of other
// data folders, then the least recently used of the folder being written.
TEST_F(DerivedStoreTest, LetsGoOfOtherBuildsThenOtherFoldersThenTheLeastRecentlyUsed) {
  const ScopedEnv bound("KORT_CACHE_MAX_MB", "1");
  plat::detail::ForgetDerivedStore();
  const std::string value(40000, 'v');
  std::int64_t now = 1000000;
  auto put = [&](const plat::DerivedKey& key) {
    plat::detail::SetDerivedStoreClock(++now);
    return plat::DerivedStore::Put(key, value);
  };
  // The other build's and the other folder's values are written last; s0
  // is read again after n0..n2 were written.
  for (const char* item : {"s0", "s1", "s2", "s3"}) ASSERT_TRUE(put(Key("/data", 1, item)));
  ASSERT_TRUE(put(Key("/other", 1, "f")));
  ASSERT_TRUE(put(Key("/data", 2, "b")));
  const std::vector<std::string> order = {"b", "f", "s1", "s2", "s3", "n0", "n1", "n2", "s0"};
  std::map<std::string, int> goneAt;
  for (int n = 0; n < 80 && goneAt.size() < order.size(); ++n) {
    ASSERT_TRUE(put(Key("/data", 1, "n" + std::to_string(n))));
    if (n == 2) {
      now += 1000;
      plat::detail::SetDerivedStoreClock(now);
      EXPECT_EQ(Got(Key("/data", 1, "s0")), value);
    }
    ASSERT_LE(plat::detail::DerivedStoreBytesInUse(), kMiB);
    std::vector<std::string> present;
    for (const auto& e : plat::detail::DerivedStoreEntries()) present.push_back(e.item);
    for (const std::string& w : order) {
      if (w[0] == 'n' && std::stoi(w.substr(1)) > n) continue;  // not written yet
      if (!goneAt.count(w) && std::find(present.begin(), present.end(), w) == present.end())
        goneAt[w] = n;
    }
  }
  ASSERT_EQ(goneAt.size(), order.size()) << "the bound let go of too little";
  for (std::size_t i = 1; i < order.size(); ++i)
    EXPECT_LE(goneAt[order[i - 1]], goneAt[order[i]]) << order[i - 1] << " before " << order[i];
  // Not all at once: the bound lets go of some at a time.
  EXPECT_LT(goneAt["b"], goneAt["s0"]);
  // The newest value is there.
  EXPECT_EQ(Got(Key("/data", 1, "n" + std::to_string(goneAt["s0"]))), value);
}

TEST_F(DerivedStoreTest, AValueLargerThanHalfTheBoundIsNotKept) {
  const ScopedEnv bound("KORT_CACHE_MAX_MB", "1");
  plat::detail::ForgetDerivedStore();
  ASSERT_TRUE(plat::DerivedStore::Put(Key("/data", 1, "small"), "x"));
  EXPECT_FALSE(plat::DerivedStore::Put(Key("/data"), std::string(kMiB / 2 + 1, 'x')));
  EXPECT_EQ(Got(Key("/data")), "-");
  EXPECT_EQ(Got(Key("/data", 1, "small")), "x");
}

// A process with a smaller bound reads and writes a store that a process
// with a larger one has grown beyond its map since it opened it.
TEST_F(DerivedStoreTest, AProcessWithASmallerBoundUsesAStoreGrownBeyondIt) {
  const ScopedEnv bound("KORT_CACHE_MAX_MB", "1");
  plat::detail::ForgetDerivedStore();
  ASSERT_TRUE(plat::DerivedStore::Put(Key("/data", 1, "small"), "x"));
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    setenv("KORT_CACHE_MAX_MB", "8", 1);
    bool ok = true;
    for (int i = 0; i < 4; ++i)
      ok = plat::DerivedStore::Put(Key("/data", 1, "large" + std::to_string(i)),
                                   std::string(400000, static_cast<char>('a' + i))) &&
           ok;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ASSERT_GT(testutil::ReadBytes(StorePath()).size(), kMiB);
  EXPECT_EQ(Got(Key("/data", 1, "large3")), std::string(400000, 'd'));
  EXPECT_EQ(Got(Key("/data", 1, "small")), "x");
  EXPECT_TRUE(plat::DerivedStore::Put(Key("/data", 1, "later"), "y"));
  EXPECT_EQ(Got(Key("/data", 1, "later")), "y");
}

// A store file that is no store (another kind of file, cut short, of
// nothing but zeros) is never read; a writer replaces it with a new store.
TEST_F(DerivedStoreTest, AStoreFileThatIsNoStoreIsNotReadAndAWriterReplacesIt) {
  for (int i = 0; i < 50; ++i)
    ASSERT_TRUE(
        plat::DerivedStore::Put(Key("/data", 1, std::to_string(i)), std::string(5000, 'x')));
  plat::detail::ForgetDerivedStore();
  const std::string whole = testutil::ReadBytes(StorePath());
  ASSERT_GT(whole.size(), 100000u);
  const std::vector<std::pair<const char*, std::string>> damaged = {
      {"another kind of file", std::string(whole.size(), 'x')},
      {"cut to a third", whole.substr(0, whole.size() / 3)},
      {"cut to its first page", whole.substr(0, 4096)},
      {"zeros", std::string(whole.size(), '\0')},
      {"empty", ""},
  };
  for (const auto& [what, bytes] : damaged) {
    ASSERT_TRUE(testutil::WriteBytes(StorePath(), bytes));
    ASSERT_EQ(chmod(StorePath().c_str(), 0600), 0);
    EXPECT_EQ(Got(Key("/data", 1, "7")), "-") << what;
    ASSERT_TRUE(plat::DerivedStore::Put(Key("/data", 1, "new"), "new")) << what;
    EXPECT_EQ(Got(Key("/data", 1, "new")), "new") << what;
    plat::detail::ForgetDerivedStore();
    EXPECT_EQ(Got(Key("/data", 1, "new")), "new") << what;
    plat::detail::ForgetDerivedStore();
  }
}

// A folder or store file that anyone but the user could have placed or
// changed is neither read nor written, and is left as it is.
TEST_F(DerivedStoreTest, AFolderOrStoreFileNotOnlyTheUsersOwnIsNeitherReadNorTouched) {
  ASSERT_TRUE(plat::DerivedStore::Put(Key("/data"), "theirs"));
  plat::detail::ForgetDerivedStore();
  const std::string bytes = testutil::ReadBytes(StorePath());
  auto untouched = [&](const char* what) {
    plat::detail::ForgetDerivedStore();
    EXPECT_EQ(Got(Key("/data")), "-") << what;
    EXPECT_FALSE(plat::DerivedStore::Put(Key("/data"), "mine")) << what;
    EXPECT_FALSE(plat::DerivedStore::Put(Key("/data", 1, "new"), "mine")) << what;
    EXPECT_EQ(testutil::ReadBytes(StorePath()), bytes) << what;
    plat::detail::ForgetDerivedStore();
  };
  ASSERT_EQ(chmod(Folder().c_str(), 0777), 0);
  untouched("a folder anyone can write to");
  ASSERT_EQ(chmod(Folder().c_str(), 0720), 0);
  untouched("a folder the group can write to");
  ASSERT_EQ(chmod(Folder().c_str(), 0700), 0);
  ASSERT_EQ(chmod(StorePath().c_str(), 0620), 0);
  untouched("a store file the group can write to");
  ASSERT_EQ(chmod(StorePath().c_str(), 0600), 0);
  ASSERT_EQ(chmod((StorePath() + "-lock").c_str(), 0666), 0);
  untouched("a lock file anyone can write to");
  ASSERT_EQ(chmod((StorePath() + "-lock").c_str(), 0600), 0);
  if (geteuid() == 0) {
    ASSERT_EQ(chown(StorePath().c_str(), 12345, 12345), 0);
    untouched("a store file of another user");
    ASSERT_EQ(chown(StorePath().c_str(), 0, 0), 0);
    ASSERT_EQ(chown(Folder().c_str(), 12345, 12345), 0);
    untouched("a folder of another user");
    ASSERT_EQ(chown(Folder().c_str(), 0, 0), 0);
  }
  // A link in the store file's place, to a store of the user's own.
  TempDir elsewhere;
  ASSERT_EQ(rename(StorePath().c_str(), elsewhere.Native("store.mdb").c_str()), 0);
  ASSERT_EQ(symlink(elsewhere.Native("store.mdb").c_str(), StorePath().c_str()), 0);
  plat::detail::ForgetDerivedStore();
  EXPECT_EQ(Got(Key("/data")), "-");
  EXPECT_FALSE(plat::DerivedStore::Put(Key("/data"), "mine"));
  EXPECT_EQ(testutil::ReadBytes(elsewhere.Native("store.mdb")), bytes);
  // The user's own again: read and written.
  ASSERT_EQ(unlink(StorePath().c_str()), 0);
  ASSERT_EQ(rename(elsewhere.Native("store.mdb").c_str(), StorePath().c_str()), 0);
  plat::detail::ForgetDerivedStore();
  EXPECT_EQ(Got(Key("/data")), "theirs");
  EXPECT_TRUE(plat::DerivedStore::Put(Key("/data"), "mine"));
  EXPECT_EQ(Got(Key("/data")), "mine");
}

// A cache folder that cannot be made: no store, nothing made.
TEST(DerivedStoreNoFolder, AFolderThatCannotBeMadeMeansNoStore) {
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("file"), "x"));
  const ScopedEnv xdg("XDG_CACHE_HOME", dir.Native("file").c_str());
  plat::detail::ForgetDerivedStore();
  EXPECT_FALSE(plat::DerivedStore::Put(Key("/data"), "bytes"));
  EXPECT_EQ(Got(Key("/data")), "-");
  EXPECT_EQ(testutil::ReadBytes(dir.Native("file")), "x");
}

// What stands in the store file's place and is no file (a pipe nobody
// writes to, a folder) is neither read nor waited for, nor replaced.
TEST_F(DerivedStoreTest, NoFileInTheStoresPlaceIsReadWaitedForOrReplaced) {
  ASSERT_EQ(mkdir(Folder().c_str(), 0700), 0);
  ASSERT_EQ(mkfifo(StorePath().c_str(), 0600), 0);
  EXPECT_EQ(Got(Key("/data")), "-");
  EXPECT_FALSE(plat::DerivedStore::Put(Key("/data"), "x"));
  struct stat st {};
  ASSERT_EQ(lstat(StorePath().c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  ASSERT_EQ(unlink(StorePath().c_str()), 0);
  ASSERT_EQ(mkdir(StorePath().c_str(), 0700), 0);
  plat::detail::ForgetDerivedStore();
  EXPECT_EQ(Got(Key("/data")), "-");
  EXPECT_FALSE(plat::DerivedStore::Put(Key("/data"), "x"));
  ASSERT_EQ(lstat(StorePath().c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST(DerivedStoreBuild, ModuleStampIsThatOfTheProgramFile) {
  plat::FileStamp module;
  plat::FileStamp program;
  ASSERT_TRUE(plat::StampOfModule(reinterpret_cast<const void*>(&Got), module));
  ASSERT_TRUE(plat::StampOfNative("/proc/self/exe", program));
  EXPECT_EQ(module, program);
  EXPECT_GT(module.size, 0u);
  // The program's name is known by now: its stamp is one status call.
  const uint64_t before = plat::SystemCallCount();
  ASSERT_TRUE(plat::StampOfModule(reinterpret_cast<const void*>(&Got), module));
  EXPECT_EQ(plat::SystemCallCount() - before, 1u);
  EXPECT_EQ(module, program);
}

// The bytes a writer of number w puts under item i: every byte tells both,
// so a reader can tell a value whole.
std::string ValueOf(int w, int i) {
  return std::string(static_cast<std::size_t>(1000 + (i % 7) * 3000),
                     static_cast<char>('A' + (w * 7 + i) % 26));
}

// Checks every value present under the writers' keys: whole, as written.
bool AllWhole(int writers, int items) {
  plat::DerivedStore store;
  for (int w = 0; w < writers; ++w) {
    for (int i = 0; i < items; ++i) {
      std::string_view v;
      const std::string item = std::to_string(w) + "/" + std::to_string(i);
      if (store.Get(Key("/data", 1, item), v) && v != ValueOf(w, i)) return false;
    }
  }
  return true;
}

// Writes items (each its own transaction) and reads all the others'
// between them; true when every read was whole.
bool WriteAndRead(int w, int writers, int items) {
  bool ok = true;
  for (int i = 0; i < items; ++i) {
    const std::string item = std::to_string(w) + "/" + std::to_string(i);
    ok = plat::DerivedStore::Put(Key("/data", 1, item), ValueOf(w, i)) && ok;
    ok = AllWhole(writers, items) && ok;
  }
  return ok;
}

TEST_F(DerivedStoreTest, ProcessesAndThreadsReadAndWriteAtOnceAndSeeWholeValues) {
  constexpr int kProcesses = 4;
  constexpr int kThreads = 4;
  constexpr int kItems = 40;
  // Made before the children start, so that each opens it as it is.
  ASSERT_TRUE(plat::DerivedStore::Put(Key("/start"), "x"));
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) _exit(WriteAndRead(p, kProcesses + kThreads, kItems) ? 0 : 1);
    children.push_back(pid);
  }
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      if (!WriteAndRead(kProcesses + t, kProcesses + kThreads, kItems)) ++failures;
    });
  }
  for (std::thread& t : threads) t.join();
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a process read a torn value";
  }
  EXPECT_EQ(failures.load(), 0);
  // Every value of every writer is there and whole.
  plat::detail::ForgetDerivedStore();
  for (int w = 0; w < kProcesses + kThreads; ++w) {
    for (int i = 0; i < kItems; ++i) {
      const std::string item = std::to_string(w) + "/" + std::to_string(i);
      EXPECT_EQ(Got(Key("/data", 1, item)), ValueOf(w, i)) << item;
    }
  }
}

// A writer killed at any point (within a transaction, holding the write
// lock) leaves a store that reads what was committed and takes new values.
TEST_F(DerivedStoreTest, AWriterKilledMidWayLeavesAUsableStore) {
  ASSERT_TRUE(plat::DerivedStore::Put(Key("/data", 1, "before"), "kept"));
  for (int round = 0; round < 5; ++round) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (int i = 0;; ++i)
        plat::DerivedStore::Put(Key("/data", 1, "loop" + std::to_string(i % 50)),
                                std::string(static_cast<std::size_t>(20000 + i % 5000), 'k'));
    }
    usleep(static_cast<useconds_t>(20000 + round * 7000));
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_EQ(Got(Key("/data", 1, "before")), "kept") << round;
    for (const auto& e : plat::detail::DerivedStoreEntries()) {
      if (e.item.rfind("loop", 0) == 0) {
        EXPECT_EQ(Got(Key("/data", 1, e.item)).find_first_not_of('k'), std::string::npos);
      }
    }
    const std::string item = "after" + std::to_string(round);
    ASSERT_TRUE(plat::DerivedStore::Put(Key("/data", 1, item), "new")) << round;
    EXPECT_EQ(Got(Key("/data", 1, item)), "new");
  }
}

}  // namespace
