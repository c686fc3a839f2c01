// The racy-stamp rule (plat/file_stamp.h): a data or dictionary file
// rewritten in place at the same size within its file system's clock tick
// keeps its whole stamp, so nothing derived from it may be kept under that
// stamp until the stamp is settled. On a file system of whole-second times
// every later match answers as with an empty cache folder; on any file
// system nothing is written to the cache folder, and no image made, for
// files changed less than two seconds ago.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/message.h"
#include "matching/data_folder_cache.h"
#include "matching/match_driver.h"
#include "matching/match_entries.h"
#include "plat/config.h"
#include "plat/cp932.h"
#include "plat/derived_store.h"
#include "plat/file_stamp.h"
#include "plat/path.h"
#include "match_line.h"
#include "platform/src/derived_store_detail.h"
#include "sample_folder.h"
#include "support/test_util.h"
#include "tabledb/file_cache.h"

using matchtest::MatchLine;
using testutil::ScopedEnv;
using testutil::Show;
using testutil::TempDir;

namespace {

const char* Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

// The sample data folder as a native path, without a trailing '/'.
std::string SampleNative() {
  std::string native;
  if (!plat::cp932::ToUtf8(sample::Folder(), native)) return std::string();
  for (char& c : native) c = c == '\\' ? '/' : c;
  while (!native.empty() && native.back() == '/') native.pop_back();
  return native;
}

bool CopyFolder(const std::string& from, const std::string& to) {
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(to).parent_path(), ec);
  std::filesystem::copy(from, to, std::filesystem::copy_options::recursive, ec);
  return !ec;
}

// Every `from` in the file replaced by `to` (as long) in place: the file
// keeps its inode and size. False when from is not there.
bool RewriteInPlace(const std::string& native, const std::string& from, const std::string& to) {
  std::string bytes = testutil::ReadBytes(native);
  if (from.size() != to.size() || bytes.find(from) == std::string::npos) return false;
  for (std::size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at))
    bytes.replace(at, from.size(), to);
  FILE* f = std::fopen(native.c_str(), "r+b");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}


// The texts and the edits that change their answers: an oaza name in the
// database (the images and the oaza name tables), a municipality name (the
// prefecture look-up of a text without a prefecture), a pair of the user
// pairs file (the dictionaries).
const std::vector<std::string>& Texts() {
  static const std::vector<std::string> texts = {
      "東京都千代田区凡の内一丁目", "千代田区凡の内一丁目", "小島町", "東京都仲央区銀座一丁目"};
  return texts;
}

bool Edit(const std::string& folder) {
  return RewriteInPlace(folder + "/QVAD13.NDB", "丸の内", "凡の内") &&
         RewriteInPlace(folder + "/QVAD13.NDB", "大島町", "小島町") &&
         RewriteInPlace(folder + Utf8(u8"/ユーザー置換.TXT"), "紫の,紫野", "仲央,中央");
}

std::vector<std::string> MatchAll(const std::string& native) {
  const std::string folder = plat::path::FromNative(native) + "\\";
  std::vector<std::string> lines;
  for (const std::string& text : Texts()) lines.push_back(MatchLine(folder, text));
  return lines;
}

// The store of the cache folder XDG_CACHE_HOME names while it lives, as a
// new process opens it.
struct FreshStore {
  FreshStore() { plat::detail::ForgetDerivedStore(); }
  ~FreshStore() { plat::detail::ForgetDerivedStore(); }
};

// The answers of a process that has never seen the folder: a copy under
// a new name, with an empty cache folder.
std::vector<std::string> AnswersAsNew(const std::string& native) {
  TempDir copy;
  TempDir cache;
  const ScopedEnv xdg("XDG_CACHE_HOME", cache.path().c_str());
  const FreshStore store;
  const std::string folder = copy.Native(Utf8(u8"住所"));
  if (!CopyFolder(native, folder)) return {};
  ForgetKeptPrefectureNames();
  return MatchAll(folder);
}

// The kinds of the values kept in the store of the cache folder that
// XDG_CACHE_HOME names (one a value), as a new process finds them.
std::vector<std::string> KeptKinds() {
  plat::detail::ForgetDerivedStore();
  std::vector<std::string> kinds;
  for (const auto& e : plat::detail::DerivedStoreEntries()) kinds.emplace_back(e.kind);
  plat::detail::ForgetDerivedStore();
  return kinds;
}

plat::FileStamp StampOf(const std::string& native) {
  plat::FileStamp stamp;
  EXPECT_TRUE(plat::StampOfNative(native, stamp)) << native;
  return stamp;
}

// Sleeps until just after the real-time clock's next whole second.
void WaitForTheStartOfASecond() {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  usleep(static_cast<useconds_t>((1000000000 - now.tv_nsec) / 1000 + 20000));
}

// Runs make (the files as they first stand, and what reads them; it names
// the files to watch) and then change (a rewrite or a rename) within one
// second of the real-time clock, so that on whole-second times the watched
// files keep their whole stamps; tries again from make when a try ran past
// the second. False when no try fell within it, or a step failed (then
// with a failure of the test).
bool WithinOneSecond(const std::function<bool(int attempt, std::vector<std::string>* watched)>& make,
                     const std::function<bool()>& change) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    WaitForTheStartOfASecond();
    std::vector<std::string> watched;
    if (!make(attempt, &watched)) {
      ADD_FAILURE() << "the files could not be made and read";
      return false;
    }
    std::vector<plat::FileStamp> before;
    for (const std::string& file : watched) before.push_back(StampOf(file));
    if (!change()) {
      ADD_FAILURE() << "the files could not be changed";
      return false;
    }
    bool same = true;
    for (std::size_t i = 0; i < watched.size(); ++i) same = same && before[i] == StampOf(watched[i]);
    if (same) return true;
  }
  return false;
}

// An ext4 file system made with 128-byte inodes (whole-second times, as
// mke2fs makes small file systems) on a loop device, mounted on a scratch
// folder while the object lives. It needs the right to mount (CI runs as
// root); why() tells what failed otherwise.
class WholeSecondFileSystem {
 public:
  WholeSecondFileSystem() {
    const std::string image = top_.Native("fs.img");
    mount_ = top_.Native("mnt");
    if (geteuid() != 0) {
      why_ = "mounting a loop device needs root";
      return;
    }
    if (mkdir(mount_.c_str(), 0755) != 0 || !testutil::WriteBytes(image, "") ||
        truncate(image.c_str(), 32 << 20) != 0) {
      why_ = "no room for the image";
      return;
    }
    if (std::system(("mkfs.ext4 -q -F -I 128 " + image + " >/dev/null 2>&1").c_str()) != 0) {
      why_ = "mkfs.ext4 -I 128 failed";
      return;
    }
    if (std::system(("mount -o loop " + image + " " + mount_ + " >/dev/null 2>&1").c_str()) != 0) {
      why_ = "mount -o loop failed (no loop device here?)";
      return;
    }
    mounted_ = true;
    const std::string probe = mount_ + "/probe";
    struct stat st {};
    if (!testutil::WriteBytes(probe, "x") || stat(probe.c_str(), &st) != 0 ||
        st.st_mtim.tv_nsec != 0 || st.st_ctim.tv_nsec != 0)
      why_ = "the file system keeps more than whole seconds";
  }
  ~WholeSecondFileSystem() {
    // Lazily: the process may still hold files of it open (its images).
    if (mounted_) std::system(("umount -l " + mount_ + " >/dev/null 2>&1").c_str());
  }
  WholeSecondFileSystem(const WholeSecondFileSystem&) = delete;
  WholeSecondFileSystem& operator=(const WholeSecondFileSystem&) = delete;

  bool ok() const { return mounted_ && why_.empty(); }
  const std::string& why() const { return why_; }
  const std::string& path() const { return mount_; }

 private:
  TempDir top_;
  std::string mount_;
  bool mounted_ = false;
  std::string why_;
};

// The case: on whole-second times the data and dictionary files
// rewritten in place at the same size within the second of a warm match
// keep size, times, device and inode. Every later match in the process
// answers as a process that never saw the folder, for each kind of kept
// value: the file images and the oaza name tables, the prefecture look-up,
// the dictionaries; and nothing was written to the cache folder for them.
TEST(RacyStamps, OnWholeSecondTimesARewriteWithinTheSecondIsNeverAnsweredFromWhatWasKept) {
  const std::string sample = SampleNative();
  ASSERT_FALSE(sample.empty());
  WholeSecondFileSystem fs;
  if (!fs.ok()) GTEST_SKIP() << "no whole-second file system: " << fs.why();
  TempDir cache;
  const ScopedEnv xdg("XDG_CACHE_HOME", cache.path().c_str());
  const FreshStore store;
  std::string folder;
  std::vector<std::string> before;
  const bool withinTheSecond = WithinOneSecond(
      [&](int attempt, std::vector<std::string>* watched) {
        folder = fs.path() + "/d" + std::to_string(attempt) + Utf8(u8"/住所");
        if (!CopyFolder(sample, folder)) return false;
        before = MatchAll(folder);
        MatchAll(folder);  // warm
        *watched = {folder + "/QVAD13.NDB", folder + Utf8(u8"/ユーザー置換.TXT")};
        return true;
      },
      [&] { return Edit(folder); });
  if (HasFailure()) return;
  if (!withinTheSecond) GTEST_SKIP() << "the rewrites did not fall within the second";
  const std::vector<std::string> after = MatchAll(folder);
  const std::vector<std::string> again = MatchAll(folder);
  EXPECT_EQ(KeptKinds(), std::vector<std::string>()) << "kept under a racy stamp";
  const std::vector<std::string> want = AnswersAsNew(folder);
  ASSERT_EQ(want.size(), Texts().size());
  for (std::size_t i = 0; i < Texts().size(); ++i) {
    EXPECT_NE(before[i], want[i]) << "the edit changes the answer of " << Show(Texts()[i].c_str());
    EXPECT_EQ(after[i], want[i]) << Show(Texts()[i].c_str());
    EXPECT_EQ(again[i], want[i]) << Show(Texts()[i].c_str());
  }
}

// The same rewrite of a file's image (the Gazref process's images are
// these): a later call (scope) opens the file again and reads the new
// bytes.
TEST(RacyStamps, OnWholeSecondTimesAFileImageOfARewrittenFileIsOpenedAgain) {
  WholeSecondFileSystem fs;
  if (!fs.ok()) GTEST_SKIP() << "no whole-second file system: " << fs.why();
  const std::string native = fs.path() + "/data.bin";
  const std::string path = plat::path::FromNative(native);
  const bool withinTheSecond = WithinOneSecond(
      [&](int, std::vector<std::string>* watched) {
        if (!testutil::WriteBytes(native, "old bytes")) return false;
        plat::StampScope call;
        const auto image = AcquireCachedFile(path.c_str());
        *watched = {native};
        return image && image->Bytes(0, 9) != nullptr;
      },
      [&] { return RewriteInPlace(native, "old", "new"); });
  if (HasFailure()) return;
  if (!withinTheSecond) GTEST_SKIP() << "the rewrite did not fall within the second";
  plat::StampScope call;
  const auto image = AcquireCachedFile(path.c_str());
  ASSERT_TRUE(image);
  const unsigned char* bytes = image->Bytes(0, 9);
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), 9), "new bytes");
}

// A configuration file rewritten within the second of its last change is
// read again by the next call.
TEST(RacyStamps, OnWholeSecondTimesAConfigurationFileRewrittenWithinTheSecondIsReadAgain) {
  WholeSecondFileSystem fs;
  if (!fs.ok()) GTEST_SKIP() << "no whole-second file system: " << fs.why();
  const std::string native = fs.path() + "/adrslib.ini";
  const std::string path = plat::path::FromNative(native);
  const bool withinTheSecond = WithinOneSecond(
      [&](int, std::vector<std::string>* watched) {
        if (!testutil::WriteBytes(native, "[s]\r\nk=1\r\n")) return false;
        for (int call = 0; call < 2; ++call) {
          plat::StampScope scope;
          EXPECT_EQ(plat::ReadProfileInt("s", "k", 0, path.c_str()), 1);
        }
        *watched = {native};
        return true;
      },
      [&] { return RewriteInPlace(native, "k=1", "k=2"); });
  if (HasFailure()) return;
  if (!withinTheSecond) GTEST_SKIP() << "the rewrite did not fall within the second";
  plat::StampScope scope;
  EXPECT_EQ(plat::ReadProfileInt("s", "k", 0, path.c_str()), 2);
}

// The user pairs file renamed between two letter cases by another process
// within one second leaves the folder's size, times, device and inode as
// they were: a later call finds the file under the name it has now.
TEST(RacyStamps, OnWholeSecondTimesAFolderRenamedWithinTheSecondIsListedAgain) {
  WholeSecondFileSystem fs;
  if (!fs.ok()) GTEST_SKIP() << "no whole-second file system: " << fs.why();
  const std::string folder = fs.path() + "/data";
  const std::string upper = folder + Utf8(u8"/ユーザー置換.TXT");
  const std::string lower = folder + Utf8(u8"/ユーザー置換.txt");
  const std::string cp932Folder = plat::path::FromNative(folder) + "\\";
  const bool withinTheSecond = WithinOneSecond(
      [&](int, std::vector<std::string>* watched) {
        std::filesystem::remove_all(folder);
        if (mkdir(folder.c_str(), 0755) != 0 || !testutil::WriteBytes(upper, "a,b\n")) return false;
        plat::StampScope call;
        const auto listing = plat::GetFolderListing(cp932Folder.c_str());
        std::string native;
        *watched = {folder};
        return listing && listing->Find("ユーザー置換.TXT", native) && native == upper &&
               !listing->Contains("OTHER.TXT");
      },
      [&] { return std::rename(upper.c_str(), lower.c_str()) == 0; });
  if (HasFailure()) return;
  if (!withinTheSecond) GTEST_SKIP() << "the rename did not fall within the second";
  plat::StampScope call;
  const auto listing = plat::GetFolderListing(cp932Folder.c_str());
  ASSERT_TRUE(listing);
  std::string native;
  ASSERT_TRUE(listing->Find("ユーザー置換.TXT", native));
  EXPECT_EQ(native, lower);
}

// On any file system: matches in a data folder written just now keep
// nothing in the cache folder (dictionary image, prefecture look-up and
// names, name tables); once the files count as settled the same matches
// keep them.
TEST(RacyStamps, NothingIsKeptInTheCacheFolderForFilesChangedWithinTheSettleTime) {
  const std::string sample = SampleNative();
  ASSERT_FALSE(sample.empty());
  TempDir data;
  TempDir cache;
  const ScopedEnv xdg("XDG_CACHE_HOME", cache.path().c_str());
  const FreshStore store;
  const std::string folder = data.Native(Utf8(u8"住所"));
  ASSERT_TRUE(CopyFolder(sample, folder));
  ForgetKeptPrefectureNames();
  const std::vector<std::string> fresh = MatchAll(folder);
  MatchAll(folder);
  EXPECT_EQ(KeptKinds(), std::vector<std::string>());
  const testutil::SettledClock settled;
  ForgetKeptPrefectureNames();
  EXPECT_EQ(MatchAll(folder), fresh);
  const std::vector<std::string> kinds = KeptKinds();
  for (const char* kind : {"dictionaries", "prefectures", "prefnames", "nametables"})
    EXPECT_NE(std::find(kinds.begin(), kinds.end(), kind), kinds.end()) << kind;
}

// On any file system: the dictionaries of files written just now answer
// only the call that loaded them; nothing derived from them is kept (their
// stamps' text, which keys what is derived from them, stays empty).
TEST(RacyStamps, DictionariesOfFilesJustWrittenAreLoadedAgainByEveryCall) {
  const std::string sample = SampleNative();
  ASSERT_FALSE(sample.empty());
  TempDir data;
  TempDir cache;
  const ScopedEnv xdg("XDG_CACHE_HOME", cache.path().c_str());
  const FreshStore store;
  const std::string native = data.Native(Utf8(u8"住所"));
  ASSERT_TRUE(CopyFolder(sample, native));
  const std::string folder = plat::path::FromNative(native) + "\\";
  char msg[kMessageSize] = "";
  for (int call = 0; call < 2; ++call) {
    CDictionaryLease lease;
    ASSERT_EQ(LeaseFolderDictionaries(folder, &lease, msg), 1) << Show(msg);
    EXPECT_TRUE(lease.Get()->filesStamp.empty()) << call;
    EXPECT_TRUE(lease.Get()->image.empty()) << "not from an image";
  }
  const testutil::SettledClock settled;
  FolderDictionaries* kept = nullptr;
  for (int call = 0; call < 2; ++call) {
    CDictionaryLease lease;
    ASSERT_EQ(LeaseFolderDictionaries(folder, &lease, msg), 1) << Show(msg);
    EXPECT_FALSE(lease.Get()->filesStamp.empty());
    if (call == 1) {
      EXPECT_EQ(lease.Get(), kept) << "kept once settled";
    }
    kept = lease.Get();
  }
}

}  // namespace
