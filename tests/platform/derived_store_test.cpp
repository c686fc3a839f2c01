#include "plat/derived_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/src/derived_store_detail.h"
#include "support/store_damage.h"
#include "support/test_util.h"

namespace {

using testutil::ScopedEnv;
using testutil::TempDir;

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

// A data folder with one source file.
class DataFolder {
 public:
  DataFolder() {
    testutil::WriteBytes(dir_.Native("data.bin"), "data");
    plat::StampOfNative(dir_.Native("data.bin"), source_);
  }
  plat::DerivedFolder Folder() const { return plat::DerivedFolderAt(dir_.path()); }
  const plat::FileStamp& Source() const { return source_; }
  plat::DerivedSources Sources() const { return plat::DerivedSources(&source_, 1); }
  const std::string& Path() const { return dir_.path(); }

 private:
  TempDir dir_;
  plat::FileStamp source_;
};

plat::DerivedKey Key(const plat::DerivedFolder& folder, std::string_view item = "item",
                     std::uint32_t format = 1, std::string_view kind = "tables") {
  return {kind, folder, format, item};
}

// The value kept under the key for the sources, or "-" when there is none.
std::string Got(const plat::DerivedKey& key, plat::DerivedSources sources) {
  plat::DerivedBytes value;
  return plat::GetDerived(key, sources, value) ? std::string(value.bytes) : std::string("-");
}

// Runs fn in a forked child; its answer (0..255), or -1 - the signal that
// ended it.
int InChild(const std::function<int()>& fn) {
  const pid_t pid = fork();
  if (pid == 0) _exit(fn());
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1000;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return WIFSIGNALED(status) ? -WTERMSIG(status) : -1000;
}

// A test with a cache folder of its own, as a new process finds it, and
// files that count as settled.
class DerivedStoreTest : public ::testing::Test {
 protected:
  DerivedStoreTest() { plat::detail::ForgetDerivedStore(); }
  ~DerivedStoreTest() override {
    plat::detail::ForgetDerivedStore();
    plat::detail::SetDerivedStoreClock(0);
    plat::detail::SetDerivedStoreBuild(0);
    plat::detail::SetCacheFileSystemType(0);
  }
  std::string Folder() const { return cache_.path() + "/kort"; }
  std::string StorePath() const { return Folder() + "/store.mdb"; }
  std::string LockPath() const { return StorePath() + "-lock"; }
  bool Put(const plat::DerivedKey& key, std::string_view value) {
    return plat::PutDerived(key, data_.Sources(), value);
  }
  std::string Get(const plat::DerivedKey& key) { return Got(key, data_.Sources()); }
  ino_t StoreInode() const {
    struct stat st {};
    return lstat(StorePath().c_str(), &st) == 0 ? st.st_ino : 0;
  }

  const testutil::SettledClock settled_;
  TempDir cache_;
  const ScopedEnv xdg_{"XDG_CACHE_HOME", cache_.path().c_str()};
  const ScopedEnv bound_{"KORT_CACHE_MAX_MB", nullptr};
  DataFolder data_;
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
  const testutil::SettledClock settled;
  DataFolder data;
  EXPECT_FALSE(plat::PutDerived(Key(data.Folder()), data.Sources(), "value"));
  EXPECT_EQ(Got(Key(data.Folder()), data.Sources()), "-");
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
  const plat::DerivedFolder folder = data_.Folder();
  ASSERT_TRUE(folder.Known());
  EXPECT_EQ(Get(Key(folder)), "-");
  EXPECT_FALSE(testutil::Exists(Folder()));
  ASSERT_TRUE(Put(Key(folder), std::string("first\0value", 11)));
  EXPECT_EQ(Get(Key(folder)), std::string("first\0value", 11));
  struct stat st {};
  ASSERT_EQ(stat(Folder().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(stat(StorePath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0077, 0u);
  // Replaced by a later put, empty values included.
  ASSERT_TRUE(Put(Key(folder), "2nd"));
  EXPECT_EQ(Get(Key(folder)), "2nd");
  ASSERT_TRUE(Put(Key(folder), ""));
  EXPECT_EQ(Get(Key(folder)), "");
  // A kind the key scheme does not take, a folder that is none.
  for (const char* kind : {"", "Upper", "with-dash", "seventeen-letters"}) {
    EXPECT_FALSE(Put(Key(folder, "item", 1, kind), "x")) << kind;
    EXPECT_EQ(Get(Key(folder, "item", 1, kind)), "-") << kind;
  }
  EXPECT_FALSE(Put(Key(plat::DerivedFolderAt(data_.Path() + "/data.bin")), "x"));
  EXPECT_FALSE(Put(Key(plat::DerivedFolderAt(data_.Path() + "/missing")), "x"));
}

TEST_F(DerivedStoreTest, ValuesOfOtherKindsFoldersBuildsFormatsAndItemsStandSideBySide) {
  DataFolder other;
  const plat::DerivedFolder folder = data_.Folder();
  const std::vector<plat::DerivedKey> keys = {
      Key(folder),     Key(other.Folder()),    Key(folder, "other item"),
      Key(folder, ""), Key(folder, "item", 2), Key(folder, "item", 1, "other"),
  };
  for (const std::uint64_t build : {1, 2}) {
    plat::detail::SetDerivedStoreBuild(build);
    for (std::size_t i = 0; i < keys.size(); ++i)
      ASSERT_TRUE(Put(keys[i], "value " + std::to_string(i) + " of " + std::to_string(build)));
  }
  for (const std::uint64_t build : {1, 2}) {
    plat::detail::SetDerivedStoreBuild(build);
    plat::detail::ForgetDerivedStore();  // as a later process
    for (std::size_t i = 0; i < keys.size(); ++i)
      EXPECT_EQ(Get(keys[i]), "value " + std::to_string(i) + " of " + std::to_string(build)) << i;
  }
  EXPECT_EQ(plat::detail::DerivedStoreEntries().size(), 2 * keys.size());
}

// A value answers only while its files have the stamps it was derived
// from, and only what the files' settled stamps tell is kept at all.
TEST_F(DerivedStoreTest, AValueAnswersOnlyForTheStampsOfItsSources) {
  const plat::DerivedFolder folder = data_.Folder();
  plat::FileStamp sources[2] = {data_.Source(), plat::FileStamp()};  // the second file missing
  ASSERT_TRUE(plat::PutDerived(Key(folder), sources, "v"));
  EXPECT_EQ(Got(Key(folder), sources), "v");
  plat::FileStamp changed[2] = {data_.Source(), plat::FileStamp()};
  changed[0].size += 1;
  EXPECT_EQ(Got(Key(folder), changed), "-");
  changed[0] = data_.Source();
  changed[1] = data_.Source();  // the missing file made
  EXPECT_EQ(Got(Key(folder), changed), "-");
  EXPECT_EQ(Got(Key(folder), plat::DerivedSources(sources, 1)), "-");
  // A file changed within the last 2 s: neither kept nor answered (its
  // stamp cannot tell a change within the second).
  plat::FileStamp fresh = data_.Source();
  fresh.modifiedNs = plat::NowRealtimeNs();
  EXPECT_FALSE(plat::PutDerived(Key(folder, "fresh"), plat::DerivedSources(&fresh, 1), "x"));
  EXPECT_EQ(Got(Key(folder, "fresh"), plat::DerivedSources(&fresh, 1)), "-");
}

// One folder is one identity, however it is named: through a link, by
// another path to it.
TEST_F(DerivedStoreTest, AFolderIsOneFolderUnderEverySpelling) {
  TempDir links;
  ASSERT_EQ(symlink(data_.Path().c_str(), links.Native("link").c_str()), 0);
  const std::string dotted = data_.Path() + "/./";
  ASSERT_TRUE(Put(Key(data_.Folder()), "one"));
  EXPECT_EQ(Get(Key(plat::DerivedFolderAt(links.Native("link")))), "one");
  EXPECT_EQ(Get(Key(plat::DerivedFolderAt(dotted))), "one");
  ASSERT_TRUE(Put(Key(plat::DerivedFolderAt(links.Native("link"))), "two"));
  EXPECT_EQ(Get(Key(data_.Folder())), "two");
  EXPECT_EQ(plat::detail::DerivedStoreEntries().size(), 1u);
}

// What a call puts is written when the call ends, in one transaction; a
// put outside any call at once.
TEST_F(DerivedStoreTest, TheValuesOfACallAreWrittenInOneTransactionWhenItEnds) {
  const plat::DerivedFolder folder = data_.Folder();
  ASSERT_TRUE(Put(Key(folder, "first"), "1"));
  const std::uint64_t before = plat::detail::DerivedStoreLastTransaction();
  {
    const plat::StampScope call;
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(Put(Key(folder, std::to_string(i)), "v"));
    // Nothing yet: not even the call's own reads see them.
    EXPECT_EQ(plat::detail::DerivedStoreLastTransaction(), before);
    EXPECT_EQ(Get(Key(folder, "3")), "-");
  }
  EXPECT_EQ(plat::detail::DerivedStoreLastTransaction(), before + 1);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(Get(Key(folder, std::to_string(i))), "v") << i;
}

// Bytes put as held are read where they stand when the call's values are
// written: the put's hold keeps them after the caller has let go of its
// own, and what is kept is those bytes. Without a hold they are copied.
TEST_F(DerivedStoreTest, HeldBytesAreKeptAsTheyStandWhenTheCallEnds) {
  const plat::DerivedFolder folder = data_.Folder();
  std::weak_ptr<std::string> gone;
  {
    const plat::StampScope call;
    auto bytes = std::make_shared<std::string>(40000, 'h');
    (*bytes)[12345] = 'x';
    gone = bytes;
    ASSERT_TRUE(plat::PutDerived(Key(folder, "held"), data_.Sources(),
                                 plat::DerivedBytes{*bytes, bytes}));
    std::string copied = "copied";
    ASSERT_TRUE(
        plat::PutDerived(Key(folder, "bare"), data_.Sources(), plat::DerivedBytes{copied, {}}));
    copied = "CHANGED";
    bytes.reset();
    EXPECT_FALSE(gone.expired()) << "held until written";
  }
  EXPECT_TRUE(gone.expired()) << "let go once written";
  std::string expected(40000, 'h');
  expected[12345] = 'x';
  EXPECT_EQ(Get(Key(folder, "held")), expected);
  EXPECT_EQ(Get(Key(folder, "bare")), "copied");
}

// Within a call every read sees one state of the store; a value got stays
// as it was while it is held.
TEST_F(DerivedStoreTest, ACallReadsOneStateAndAValueHeldStaysAsItWas) {
  const plat::DerivedFolder folder = data_.Folder();
  ASSERT_TRUE(Put(Key(folder), std::string(100000, 'a')));
  plat::DerivedBytes held;
  {
    const plat::StampScope call;
    ASSERT_TRUE(plat::GetDerived(Key(folder), data_.Sources(), held));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(held.bytes.data()) % 8, 0u);
    // Written anew by another process meanwhile: this call still sees what
    // it saw.
    // (The child's puts are its own; the call it inherited is not.)
    ASSERT_EQ(InChild([&] {
                plat::detail::ForgetDerivedStore();
                if (!Put(Key(folder), std::string(100000, 'b'))) return 1;
                plat::WriteDerivedValues();
                return 0;
              }),
              0);
    EXPECT_TRUE(Get(Key(folder)) == std::string(100000, 'a'));
  }
  EXPECT_TRUE(Get(Key(folder)) == std::string(100000, 'b'));
  EXPECT_TRUE(held.bytes == std::string(100000, 'a'));
}

// A read notes the value's use at most once in ten minutes: reads within
// them write nothing.
TEST_F(DerivedStoreTest, AUseIsWrittenAtMostOnceInItsInterval) {
  const plat::DerivedFolder folder = data_.Folder();
  plat::detail::SetDerivedStoreClock(1000000);
  ASSERT_TRUE(Put(Key(folder), "value"));
  const std::uint64_t written = plat::detail::DerivedStoreLastTransaction();
  ASSERT_NE(written, 0u);
  for (const std::int64_t t : {1000000, 1000100, 1000599}) {
    plat::detail::SetDerivedStoreClock(t);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Get(Key(folder)), "value");
    EXPECT_EQ(plat::detail::DerivedStoreLastTransaction(), written) << t;
  }
  plat::detail::SetDerivedStoreClock(1000600);
  {
    const plat::StampScope call;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Get(Key(folder)), "value");
  }
  EXPECT_EQ(plat::detail::DerivedStoreLastTransaction(), written + 1);
  ASSERT_EQ(plat::detail::DerivedStoreEntries().size(), 1u);
  EXPECT_EQ(plat::detail::DerivedStoreEntries()[0].used, 1000600);
  EXPECT_EQ(Get(Key(folder)), "value");
  EXPECT_EQ(plat::detail::DerivedStoreLastTransaction(), written + 1);
}

// Under the bound, what goes first: values of other builds (a group at a
// time, the least recently used group first), then of other data folders,
// then the least recently used of the folder being written.
TEST_F(DerivedStoreTest, LetsGoOfOtherBuildsThenOtherFoldersThenTheLeastRecentlyUsed) {
  const ScopedEnv bound("KORT_CACHE_MAX_MB", "1");
  plat::detail::ForgetDerivedStore();
  DataFolder other;
  const plat::DerivedFolder folder = data_.Folder();
  const std::string value(40000, 'v');
  std::int64_t now = 1000000;
  auto put = [&](const plat::DerivedKey& key, std::uint64_t build = 1) {
    plat::detail::SetDerivedStoreClock(++now);
    plat::detail::SetDerivedStoreBuild(build);
    const bool ok = Put(key, value);
    plat::detail::SetDerivedStoreBuild(1);
    return ok;
  };
  // The other builds' and the other folder's values are written last; s0
  // is read again after n0..n2 were written.
  for (const char* item : {"s0", "s1", "s2", "s3"}) ASSERT_TRUE(put(Key(folder, item)));
  ASSERT_TRUE(put(Key(other.Folder(), "f")));
  ASSERT_TRUE(put(Key(folder, "b"), 2));
  ASSERT_TRUE(put(Key(folder, "c"), 3));
  const std::vector<std::string> order = {"b", "c", "f", "s1", "s2", "s3", "n0", "n1", "n2", "s0"};
  std::map<std::string, int> goneAt;
  for (int n = 0; n < 80 && goneAt.size() < order.size(); ++n) {
    ASSERT_TRUE(put(Key(folder, "n" + std::to_string(n))));
    if (n == 2) {
      now += 1000;
      plat::detail::SetDerivedStoreClock(now);
      EXPECT_EQ(Get(Key(folder, "s0")), value);
    }
    ASSERT_LE(plat::detail::DerivedStoreBytesInUse(), kMiB);
    std::vector<std::string> present;
    for (const auto& e : plat::detail::DerivedStoreEntries()) present.push_back(e.item);
    for (const std::string& w : order) {
      if (w[0] == 'n' && std::stoi(w.substr(1)) > n) continue;  // not written yet
      if (!goneAt.count(w) && std::find(present.begin(), present.end(), w) == present.end())
        goneAt[w] = n;
    }
    // The newest value is always there.
    EXPECT_EQ(Get(Key(folder, "n" + std::to_string(n))), value) << n;
  }
  ASSERT_EQ(goneAt.size(), order.size()) << "the bound let go of too little";
  for (std::size_t i = 1; i < order.size(); ++i)
    EXPECT_LE(goneAt[order[i - 1]], goneAt[order[i]]) << order[i - 1] << " before " << order[i];
  // Not all at once: the bound lets go of some at a time.
  EXPECT_LT(goneAt["b"], goneAt["s0"]);
  EXPECT_LE(testutil::ReadBytes(StorePath()).size(), kMiB + kMiB / 4);
}

// Small values fill the bound like large ones: letting go always makes
// room, every new value is kept, and the file stays within the bound.
TEST_F(DerivedStoreTest, ABoundFullOfSmallValuesKeepsEveryNewValueWithinItsSize) {
  const ScopedEnv bound("KORT_CACHE_MAX_MB", "1");
  plat::detail::ForgetDerivedStore();
  const plat::DerivedFolder folder = data_.Folder();
  std::mt19937 random(7);
  std::int64_t now = 2000000;
  for (int job = 0; job < 600; ++job) {
    plat::detail::SetDerivedStoreClock(++now);
    std::vector<std::string> items;
    {
      // A job of a few values of a few hundred bytes to a few KB.
      const plat::StampScope call;
      const int n = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < n; ++i) {
        items.push_back(std::to_string(job) + "/" + std::to_string(i));
        ASSERT_TRUE(Put(Key(folder, items.back()),
                        std::string(200 + random() % 4000, static_cast<char>('a' + i))));
      }
    }
    for (const std::string& item : items)
      ASSERT_NE(Get(Key(folder, item)), "-") << "job " << job << " lost " << item;
  }
  EXPECT_LE(testutil::ReadBytes(StorePath()).size(), kMiB + kMiB / 4);
  EXPECT_LE(plat::detail::DerivedStoreBytesInUse(), kMiB);
  EXPECT_FALSE(plat::detail::DerivedStoreFoundDamaged());
}

TEST_F(DerivedStoreTest, AValueLargerThanHalfTheBoundIsNotKept) {
  const ScopedEnv bound("KORT_CACHE_MAX_MB", "1");
  plat::detail::ForgetDerivedStore();
  const plat::DerivedFolder folder = data_.Folder();
  ASSERT_TRUE(Put(Key(folder, "small"), "x"));
  EXPECT_FALSE(Put(Key(folder), std::string(kMiB / 2 + 1, 'x')));
  EXPECT_EQ(Get(Key(folder)), "-");
  EXPECT_EQ(Get(Key(folder, "small")), "x");
}

// A store grown past the bound of a later process (by one with a larger
// bound, or a bound lowered since) is read by it without harm, and its
// first write puts a new store within the bound in its place.
TEST_F(DerivedStoreTest, AStoreGrownPastTheBoundIsReadAndReplacedByTheNextWriter) {
  const plat::DerivedFolder folder = data_.Folder();
  ASSERT_EQ(InChild([&] {
              plat::detail::ForgetDerivedStore();
              setenv("KORT_CACHE_MAX_MB", "8", 1);
              bool ok = true;
              for (int i = 0; i < 12; ++i)
                ok = Put(Key(folder, "large" + std::to_string(i)),
                         std::string(400000, static_cast<char>('a' + i))) &&
                     ok;
              return ok ? 0 : 1;
            }),
            0);
  ASSERT_GT(testutil::ReadBytes(StorePath()).size(), 4 * kMiB);
  for (const char* mib : {"1", "4"}) {
    const ScopedEnv bound("KORT_CACHE_MAX_MB", mib);
    // Read by a new process, in a child first: nothing faults.
    EXPECT_EQ(InChild([&] {
                plat::detail::ForgetDerivedStore();
                return Get(Key(folder, "large11")) == std::string(400000, 'l') ? 0 : 1;
              }),
              0)
        << mib;
  }
  const ScopedEnv bound("KORT_CACHE_MAX_MB", "1");
  plat::detail::ForgetDerivedStore();
  EXPECT_EQ(Get(Key(folder, "large3")), std::string(400000, 'd'));
  const ino_t before = StoreInode();
  ASSERT_TRUE(Put(Key(folder, "later"), "y"));
  EXPECT_EQ(Get(Key(folder, "later")), "y");
  EXPECT_NE(StoreInode(), before);
  EXPECT_LE(testutil::ReadBytes(StorePath()).size(), kMiB + kMiB / 4);
  plat::detail::ForgetDerivedStore();
  EXPECT_EQ(Get(Key(folder, "later")), "y");
}

// A store file that is no store (another kind of file, cut short, of
// nothing but zeros) is never read; a writer replaces it with a new store.
TEST_F(DerivedStoreTest, AStoreFileThatIsNoStoreIsNotReadAndAWriterReplacesIt) {
  const plat::DerivedFolder folder = data_.Folder();
  for (int i = 0; i < 50; ++i)
    ASSERT_TRUE(Put(Key(folder, std::to_string(i)), std::string(5000, 'x')));
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
    EXPECT_EQ(InChild([&] {
                plat::detail::ForgetDerivedStore();
                return Get(Key(folder, "7")) == "-" ? 0 : 1;
              }),
              0)
        << what;
    ASSERT_TRUE(Put(Key(folder, "new"), "new")) << what;
    EXPECT_EQ(Get(Key(folder, "new")), "new") << what;
    plat::detail::ForgetDerivedStore();
    EXPECT_EQ(Get(Key(folder, "new")), "new") << what;
    plat::detail::ForgetDerivedStore();
  }
}

// Whatever the store file holds, a process neither crashes nor hangs nor
// answers from damaged bytes: every use record's size damaged, every bit
// of a value's record flipped. A reader finds nothing; the next writer
// puts a new store in its place.
TEST_F(DerivedStoreTest, DamagedRecordsAreNeverUsedAndTheStoreIsReplaced) {
  const plat::DerivedFolder folder = data_.Folder();
  const std::string pair = "\x8e\x87\x82\xcc\x81\x43\x8e\x87\x96\xec";  // a dictionary pair
  ASSERT_TRUE(Put(Key(folder, "pair"), pair));
  for (int i = 0; i < 30; ++i)
    ASSERT_TRUE(Put(Key(folder, std::to_string(i)), std::string(3000 + 100 * i, 'z')));
  plat::detail::ForgetDerivedStore();
  const std::string whole = testutil::ReadBytes(StorePath());
  const std::vector<std::size_t> sizes = testutil::UseRecordSizeOffsets(whole);
  // The live records and the copies in pages of earlier states.
  ASSERT_GE(sizes.size(), 31u);
  auto check = [&](const std::string& damaged, const std::string& what) {
    ASSERT_TRUE(testutil::WriteBytes(StorePath(), damaged));
    ASSERT_EQ(chmod(StorePath().c_str(), 0600), 0);
    // In a child: a crash or a hang shows as its end (alarm: 10 s).
    const int answer = InChild([&] {
      alarm(10);
      plat::detail::ForgetDerivedStore();
      for (int i = 0; i < 30; ++i) {
        const std::string got = Get(Key(folder, std::to_string(i)));
        if (got != "-" && got != std::string(3000 + 100 * i, 'z')) return 2;
      }
      const std::string got = Get(Key(folder, "pair"));
      if (got != "-" && got != pair) return 3;
      // A writer puts a sound store in place and keeps its value.
      if (!Put(Key(folder, "after"), "after") || Get(Key(folder, "after")) != "after") return 4;
      plat::detail::ForgetDerivedStore();
      if (Get(Key(folder, "after")) != "after") return 5;
      return 0;
    });
    EXPECT_EQ(answer, 0) << what;
  };
  for (const std::size_t p : sizes) {
    std::string damaged = whole;
    damaged[p + 1] = static_cast<char>(damaged[p + 1] | 0x80);  // 16 becomes 32784
    check(damaged, "use record size at " + std::to_string(p));
  }
  const std::size_t at = whole.find(pair);
  ASSERT_NE(at, std::string::npos);
  for (std::size_t bit = 0; bit < pair.size() * 8; ++bit) {
    std::string damaged = whole;
    damaged[at + bit / 8] = static_cast<char>(damaged[at + bit / 8] ^ (1 << (bit % 8)));
    check(damaged, "bit " + std::to_string(bit) + " of the pair");
  }
}

// A value found damaged marks the store: the process reads nothing more
// from it, and a process that still holds a value of the old store reads
// it whole after the store was replaced.
TEST_F(DerivedStoreTest, AReaderOfTheReplacedStoreFinishesOnIt) {
  const plat::DerivedFolder folder = data_.Folder();
  ASSERT_TRUE(Put(Key(folder, "kept"), std::string(50000, 'k')));
  ASSERT_TRUE(Put(Key(folder, "broken"), std::string(50000, 'b')));
  plat::detail::ForgetDerivedStore();
  plat::UseDerivedValuesInPlace();
  plat::DerivedBytes held;
  ASSERT_TRUE(plat::GetDerived(Key(folder, "kept"), data_.Sources(), held));
  // Another process finds the store damaged and replaces it.
  std::string whole = testutil::ReadBytes(StorePath());
  const std::size_t at = whole.find(std::string(50000, 'b'));
  ASSERT_NE(at, std::string::npos);
  ASSERT_EQ(InChild([&] {
              plat::detail::ForgetDerivedStore();
              // (Damaged in the child's view only after it opened: written
              // through the file, as a failing disk would.)
              FILE* f = fopen(StorePath().c_str(), "r+b");
              if (!f || fseek(f, static_cast<long>(at + 100), SEEK_SET) != 0 || fputc('X', f) < 0)
                return 9;
              fclose(f);
              if (Get(Key(folder, "broken")) != "-") return 1;
              if (!plat::detail::DerivedStoreFoundDamaged()) return 2;
              if (Get(Key(folder, "kept")) != "-") return 3;  // nothing more is read
              return Put(Key(folder, "new"), "n") ? 0 : 4;
            }),
            0);
  EXPECT_EQ(held.bytes, std::string(50000, 'k'));
  plat::detail::ForgetDerivedStore();
  EXPECT_EQ(Get(Key(folder, "new")), "n");
  EXPECT_EQ(Get(Key(folder, "kept")), "-");
}

// Readers that died inside a read transaction hold slots of the store's
// reader table: they are cleared when a process opens the store, and when
// a process that has it open runs out of slots.
TEST_F(DerivedStoreTest, ReadersThatDiedInsideATransactionDoNotShutTheStore) {
  const plat::DerivedFolder folder = data_.Folder();
  ASSERT_TRUE(Put(Key(folder), "value"));
  // This process holds the store open throughout.
  ASSERT_EQ(Get(Key(folder)), "value");
  constexpr int kDead = 130;
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  std::vector<pid_t> children;
  for (int i = 0; i < kDead; ++i) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      plat::detail::ForgetDerivedStore();
      const plat::StampScope call;  // the read transaction stands until the scope ends
      plat::DerivedBytes value;
      const char got = plat::GetDerived(Key(folder), data_.Sources(), value) ? 'y' : 'n';
      if (write(ready[1], &got, 1) != 1) _exit(1);
      pause();
      _exit(0);
    }
    children.push_back(pid);
  }
  for (int i = 0; i < kDead; ++i) {
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
  }
  for (const pid_t pid : children) kill(pid, SIGKILL);
  for (const pid_t pid : children) waitpid(pid, nullptr, 0);
  close(ready[0]);
  close(ready[1]);
  // This process, its store still open, and new processes read on.
  EXPECT_EQ(Get(Key(folder)), "value");
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(InChild([&] {
                plat::detail::ForgetDerivedStore();
                return Get(Key(folder)) == "value" ? 0 : 1;
              }),
              0);
  }
  EXPECT_TRUE(Put(Key(folder, "later"), "later"));
  EXPECT_EQ(Get(Key(folder, "later")), "later");
}

// A folder or store file that anyone but the user could have placed or
// changed is neither read nor written, and is left as it is.
TEST_F(DerivedStoreTest, AFolderOrStoreFileNotOnlyTheUsersOwnIsNeitherReadNorTouched) {
  const plat::DerivedFolder folder = data_.Folder();
  ASSERT_TRUE(Put(Key(folder), "theirs"));
  plat::detail::ForgetDerivedStore();
  const std::string bytes = testutil::ReadBytes(StorePath());
  auto untouched = [&](const char* what) {
    plat::detail::ForgetDerivedStore();
    EXPECT_EQ(Get(Key(folder)), "-") << what;
    EXPECT_FALSE(Put(Key(folder), "mine")) << what;
    EXPECT_FALSE(Put(Key(folder, "new"), "mine")) << what;
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
  ASSERT_EQ(chmod(LockPath().c_str(), 0666), 0);
  untouched("a lock file anyone can write to");
  ASSERT_EQ(chmod(LockPath().c_str(), 0600), 0);
  if (geteuid() == 0) {
    ASSERT_EQ(chown(StorePath().c_str(), 12345, 12345), 0);
    untouched("a store file of another user");
    ASSERT_EQ(chown(StorePath().c_str(), 0, 0), 0);
    ASSERT_EQ(chown(LockPath().c_str(), 12345, 12345), 0);
    untouched("a lock file of another user");
    ASSERT_EQ(chown(LockPath().c_str(), 0, 0), 0);
    ASSERT_EQ(chown(Folder().c_str(), 12345, 12345), 0);
    untouched("a folder of another user");
    ASSERT_EQ(chown(Folder().c_str(), 0, 0), 0);
  }
  // A link in the store file's place, to a store of the user's own.
  TempDir elsewhere;
  ASSERT_EQ(rename(StorePath().c_str(), elsewhere.Native("store.mdb").c_str()), 0);
  ASSERT_EQ(symlink(elsewhere.Native("store.mdb").c_str(), StorePath().c_str()), 0);
  plat::detail::ForgetDerivedStore();
  EXPECT_EQ(Get(Key(folder)), "-");
  EXPECT_FALSE(Put(Key(folder), "mine"));
  EXPECT_EQ(testutil::ReadBytes(elsewhere.Native("store.mdb")), bytes);
  // The user's own again: read and written.
  ASSERT_EQ(unlink(StorePath().c_str()), 0);
  ASSERT_EQ(rename(elsewhere.Native("store.mdb").c_str(), StorePath().c_str()), 0);
  plat::detail::ForgetDerivedStore();
  EXPECT_EQ(Get(Key(folder)), "theirs");
  EXPECT_TRUE(Put(Key(folder), "mine"));
  EXPECT_EQ(Get(Key(folder)), "mine");
}

// A cache folder that cannot be made: no store, nothing made.
TEST(DerivedStoreNoFolder, AFolderThatCannotBeMadeMeansNoStore) {
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("file"), "x"));
  const ScopedEnv xdg("XDG_CACHE_HOME", dir.Native("file").c_str());
  plat::detail::ForgetDerivedStore();
  const testutil::SettledClock settled;
  DataFolder data;
  EXPECT_FALSE(plat::PutDerived(Key(data.Folder()), data.Sources(), "bytes"));
  EXPECT_EQ(Got(Key(data.Folder()), data.Sources()), "-");
  EXPECT_EQ(testutil::ReadBytes(dir.Native("file")), "x");
}

// A cache folder on a file system of another machine (NFS, SMB, FUSE...)
// holds no store: LMDB's locks and shared map need one kernel.
TEST_F(DerivedStoreTest, NoStoreOnANetworkFileSystem) {
  for (const std::int64_t type :
       {0x6969ll, 0x517Bll, 0xFF534D42ll, 0xFE534D42ll, 0x65735546ll, 0x01021997ll})
    EXPECT_FALSE(plat::detail::StoreAllowedOnFileSystem(type)) << std::hex << type;
  for (const std::int64_t type : {0xEF53ll, 0x01021994ll, 0x58465342ll, 0x9123683Ell, 0x794C7630ll})
    EXPECT_TRUE(plat::detail::StoreAllowedOnFileSystem(type)) << std::hex << type;
  const plat::DerivedFolder folder = data_.Folder();
  plat::detail::SetCacheFileSystemType(0x6969);
  EXPECT_FALSE(Put(Key(folder), "x"));
  EXPECT_FALSE(testutil::Exists(StorePath()));
  plat::detail::SetCacheFileSystemType(0);
  plat::detail::ForgetDerivedStore();
  ASSERT_TRUE(Put(Key(folder), "x"));
  plat::detail::ForgetDerivedStore();
  plat::detail::SetCacheFileSystemType(0x65735546);
  EXPECT_EQ(Get(Key(folder)), "-");
}

// What stands in the store file's place and is no file (a pipe nobody
// writes to, a folder) is neither read nor waited for, nor replaced.
TEST_F(DerivedStoreTest, NoFileInTheStoresPlaceIsReadWaitedForOrReplaced) {
  const plat::DerivedFolder folder = data_.Folder();
  ASSERT_EQ(mkdir(Folder().c_str(), 0700), 0);
  ASSERT_EQ(mkfifo(StorePath().c_str(), 0600), 0);
  EXPECT_EQ(Get(Key(folder)), "-");
  EXPECT_FALSE(Put(Key(folder), "x"));
  struct stat st {};
  ASSERT_EQ(lstat(StorePath().c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  ASSERT_EQ(unlink(StorePath().c_str()), 0);
  ASSERT_EQ(mkdir(StorePath().c_str(), 0700), 0);
  plat::detail::ForgetDerivedStore();
  EXPECT_EQ(Get(Key(folder)), "-");
  EXPECT_FALSE(Put(Key(folder), "x"));
  ASSERT_EQ(lstat(StorePath().c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

// The names of the store's two files, in the cache folder, whether or not
// they exist yet and in any case: a result written there would be taken
// for the store.
TEST_F(DerivedStoreTest, TheStoresFilesAreKnownByName) {
  ASSERT_EQ(mkdir(Folder().c_str(), 0700), 0);
  const std::string folder = Folder();
  EXPECT_TRUE(plat::NamesDerivedStoreFile((folder + "/store.mdb").c_str()));
  EXPECT_TRUE(plat::NamesDerivedStoreFile((folder + "\\store.mdb-lock").c_str()));
  // Another case names the store file once there is one (the file layer
  // finds it), else a file of its own.
  EXPECT_FALSE(plat::NamesDerivedStoreFile((folder + "/./STORE.MDB").c_str()));
  ASSERT_TRUE(testutil::WriteBytes(StorePath(), ""));
  EXPECT_TRUE(plat::NamesDerivedStoreFile((folder + "/./STORE.MDB").c_str()));
  EXPECT_FALSE(plat::NamesDerivedStoreFile((folder + "/store.mdb.txt").c_str()));
  EXPECT_FALSE(plat::NamesDerivedStoreFile((data_.Path() + "/store.mdb").c_str()));
  TempDir links;
  ASSERT_EQ(symlink(folder.c_str(), links.Native("cache").c_str()), 0);
  EXPECT_TRUE(plat::NamesDerivedStoreFile((links.Native("cache") + "/store.mdb").c_str()));
  const ScopedEnv xdg("XDG_CACHE_HOME", nullptr);
  const ScopedEnv home("HOME", nullptr);
  EXPECT_FALSE(plat::NamesDerivedStoreFile((folder + "/store.mdb").c_str()));
}

TEST(DerivedStoreBuild, ModuleStampIsThatOfTheProgramFile) {
  plat::FileStamp module;
  plat::FileStamp program;
  ASSERT_TRUE(plat::StampOfModule(reinterpret_cast<const void*>(&Got), module));
  ASSERT_TRUE(plat::StampOfNative("/proc/self/exe", program));
  EXPECT_EQ(module, program);
  EXPECT_GT(module.size, 0u);
  EXPECT_NE(plat::DerivedBuild(), 0u);
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
bool AllWhole(const plat::DerivedFolder& folder, plat::DerivedSources sources, int writers,
              int items) {
  const plat::StampScope call;
  for (int w = 0; w < writers; ++w) {
    for (int i = 0; i < items; ++i) {
      const std::string got =
          Got(Key(folder, std::to_string(w) + "/" + std::to_string(i)), sources);
      if (got != "-" && got != ValueOf(w, i)) return false;
    }
  }
  return true;
}

// Writes items (each its own transaction) and reads all the others'
// between them; true when every read was whole (and, with puts, every
// value was kept).
bool WriteAndRead(const plat::DerivedFolder& folder, plat::DerivedSources sources, int w,
                  int writers, int items, bool puts = true) {
  bool ok = true;
  for (int i = 0; i < items; ++i) {
    const std::string item = std::to_string(w) + "/" + std::to_string(i);
    ok = (plat::PutDerived(Key(folder, item), sources, ValueOf(w, i)) || !puts) && ok;
    ok = AllWhole(folder, sources, writers, items) && ok;
  }
  return ok;
}

TEST_F(DerivedStoreTest, ProcessesAndThreadsReadAndWriteAtOnceAndSeeWholeValues) {
  constexpr int kProcesses = 4;
  constexpr int kThreads = 4;
  constexpr int kItems = 40;
  const plat::DerivedFolder folder = data_.Folder();
  // Made before the children start, so that each opens it as it is.
  ASSERT_TRUE(Put(Key(folder, "start"), "x"));
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0)
      _exit(WriteAndRead(folder, data_.Sources(), p, kProcesses + kThreads, kItems) ? 0 : 1);
    children.push_back(pid);
  }
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      if (!WriteAndRead(folder, data_.Sources(), kProcesses + t, kProcesses + kThreads, kItems))
        ++failures;
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
      EXPECT_EQ(Get(Key(folder, item)), ValueOf(w, i)) << item;
    }
  }
}

// Eight processes read and write a store at its bound while its lock file
// is removed again and again: none crashes or reads a torn value, and the
// store serves on afterwards.
TEST_F(DerivedStoreTest, TheLockFileRemovedUnderProcessesAtTheBoundBreaksNothing) {
  const ScopedEnv bound("KORT_CACHE_MAX_MB", "1");
  plat::detail::ForgetDerivedStore();
  const plat::DerivedFolder folder = data_.Folder();
  ASSERT_TRUE(Put(Key(folder, "start"), "x"));
  constexpr int kProcesses = 8;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      alarm(60);
      plat::detail::ForgetDerivedStore();
      bool whole = true;
      for (int round = 0; round < 6; ++round)
        whole = WriteAndRead(folder, data_.Sources(), p, kProcesses, 40, false) && whole;
      _exit(whole ? 0 : 1);
    }
    children.push_back(pid);
  }
  std::mt19937 random(3);
  int running = kProcesses;
  std::vector<int> statuses;
  while (running > 0) {
    usleep(static_cast<useconds_t>(5000 + random() % 45000));
    unlink(LockPath().c_str());
    for (auto it = children.begin(); it != children.end();) {
      int status = 0;
      if (waitpid(*it, &status, WNOHANG) == *it) {
        statuses.push_back(status);
        it = children.erase(it);
        --running;
      } else {
        ++it;
      }
    }
  }
  for (const int status : statuses) {
    EXPECT_TRUE(WIFEXITED(status)) << "a process ended by signal " << WTERMSIG(status);
    if (WIFEXITED(status)) {
      EXPECT_EQ(WEXITSTATUS(status), 0) << "a process read a torn value";
    }
  }
  plat::detail::ForgetDerivedStore();
  for (int i = 0; i < 40; ++i) {
    ASSERT_TRUE(Put(Key(folder, "after/" + std::to_string(i)), ValueOf(1, i)));
    EXPECT_EQ(Get(Key(folder, "after/" + std::to_string(i))), ValueOf(1, i));
  }
}

// A writer killed at any point (within a transaction, holding the write
// lock) leaves a store that reads what was committed and takes new values.
TEST_F(DerivedStoreTest, AWriterKilledMidWayLeavesAUsableStore) {
  const plat::DerivedFolder folder = data_.Folder();
  ASSERT_TRUE(Put(Key(folder, "before"), "kept"));
  for (int round = 0; round < 5; ++round) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      plat::detail::ForgetDerivedStore();
      for (int i = 0;; ++i)
        Put(Key(folder, "loop" + std::to_string(i % 50)),
            std::string(static_cast<std::size_t>(20000 + i % 5000), 'k'));
    }
    usleep(static_cast<useconds_t>(20000 + round * 7000));
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_EQ(Get(Key(folder, "before")), "kept") << round;
    for (const auto& e : plat::detail::DerivedStoreEntries()) {
      if (e.item.rfind("loop", 0) == 0) {
        EXPECT_EQ(Get(Key(folder, e.item)).find_first_not_of('k'), std::string::npos);
      }
    }
    const std::string item = "after" + std::to_string(round);
    ASSERT_TRUE(Put(Key(folder, item), "new")) << round;
    EXPECT_EQ(Get(Key(folder, item)), "new");
  }
}

// A job (one call, and the process ends) reads the values where they stand
// and writes what it put once, when it is done, in one transaction; what
// it read stays readable after, and a later process finds both.
TEST_F(DerivedStoreTest, AJobReadsInPlaceAndWritesOnceWhenItIsDone) {
  const plat::DerivedFolder folder = data_.Folder();
  ASSERT_TRUE(Put(Key(folder, "old"), std::string(5000, 'o')));
  const std::uint64_t before = plat::detail::DerivedStoreLastTransaction();
  EXPECT_EQ(InChild([&] {
              plat::detail::ForgetDerivedStore();
              plat::UseDerivedValuesInPlace();
              plat::DerivedBytes old;
              if (!plat::GetDerived(Key(folder, "old"), data_.Sources(), old)) return 1;
              if (reinterpret_cast<std::uintptr_t>(old.bytes.data()) % 8 != 0) return 2;
              for (int i = 0; i < 3; ++i)
                if (!Put(Key(folder, "new" + std::to_string(i)), std::string(3000, 'n'))) return 3;
              // Nothing written while the job runs.
              plat::detail::ForgetDerivedStore();  // (a look as another process takes it)
              return 0;
            }),
            0);
  EXPECT_EQ(plat::detail::DerivedStoreLastTransaction(), before) << "a job that did not end";
  EXPECT_EQ(InChild([&] {
              plat::detail::ForgetDerivedStore();
              plat::UseDerivedValuesInPlace();
              plat::DerivedBytes old;
              if (!plat::GetDerived(Key(folder, "old"), data_.Sources(), old)) return 1;
              for (int i = 0; i < 3; ++i)
                if (!Put(Key(folder, "new" + std::to_string(i)), std::string(3000, 'n'))) return 3;
              plat::WriteDerivedValues();
              return old.bytes == std::string(5000, 'o') ? 0 : 4;
            }),
            0);
  plat::detail::ForgetDerivedStore();
  EXPECT_EQ(plat::detail::DerivedStoreLastTransaction(), before + 1);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(Get(Key(folder, "new" + std::to_string(i))), std::string(3000, 'n')) << i;
  EXPECT_EQ(Get(Key(folder, "old")), std::string(5000, 'o'));
}

// A call that stands when the process forks is its parent's: the child
// ending it neither writes what the parent put nor ends the parent's read
// of the store.
TEST_F(DerivedStoreTest, ACallInheritedAcrossForkDoesNothingInTheChild) {
  const plat::DerivedFolder folder = data_.Folder();
  ASSERT_TRUE(Put(Key(folder, "a"), "a"));
  ASSERT_TRUE(Put(Key(folder, "b"), "b"));
  const std::uint64_t before = plat::detail::DerivedStoreLastTransaction();
  auto call = std::make_unique<plat::StampScope>();
  ASSERT_EQ(Get(Key(folder, "a")), "a");
  ASSERT_TRUE(Put(Key(folder, "pending"), "p"));
  EXPECT_EQ(InChild([&] {
              call.reset();  // the call ends in the child
              plat::WriteDerivedValues();
              return 0;
            }),
            0);
  EXPECT_EQ(plat::detail::DerivedStoreLastTransaction(), before);
  // The parent's read goes on, and its values are written once, by it.
  EXPECT_EQ(Get(Key(folder, "b")), "b");
  call.reset();
  EXPECT_EQ(plat::detail::DerivedStoreLastTransaction(), before + 1);
  EXPECT_EQ(Get(Key(folder, "pending")), "p");
}

}  // namespace
