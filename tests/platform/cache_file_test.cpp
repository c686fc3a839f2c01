// The user's cache folder: where it is, files of its own naming replaced
// whole, a bounded number of them, the user's other files left alone, and
// no cache (rather than a failure) where it cannot be written or is not
// the user's own.
#include "plat/cache_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/test_util.h"

using testutil::ScopedEnv;
using testutil::TempDir;

namespace {

std::size_t FilesIn(const std::string& folder) {
  std::size_t n = 0;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    n += e.is_regular_file() ? 1 : 0;
  return n;
}

// Sets a file's modification time to the given second (long ago).
void SetModified(const std::string& path, long second) {
  struct timespec times[2] = {{second, 0}, {second, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// A cache file's name for test key n (of one build, unless told).
std::string Name(std::uint64_t n, std::uint64_t build = 0xb0) {
  return plat::CacheFileName("table", n, build);
}

}  // namespace

TEST(CacheFile, FolderIsXdgCacheHomeElseHomeElseNone) {
  TempDir dir;
  {
    const ScopedEnv xdg("XDG_CACHE_HOME", dir.path().c_str());
    EXPECT_EQ(plat::CacheFolder(), dir.path() + "/kort");
  }
  {
    // A relative XDG_CACHE_HOME is not used.
    const ScopedEnv xdg("XDG_CACHE_HOME", "relative/cache");
    const ScopedEnv home("HOME", dir.path().c_str());
    EXPECT_EQ(plat::CacheFolder(), dir.path() + "/.cache/kort");
  }
  {
    const ScopedEnv xdg("XDG_CACHE_HOME", nullptr);
    const ScopedEnv home("HOME", nullptr);
    EXPECT_EQ(plat::CacheFolder(), "");
    EXPECT_FALSE(plat::WriteCacheFile(Name(1), "bytes"));
    std::string bytes;
    EXPECT_FALSE(plat::ReadCacheFile(Name(1), bytes, 100));
  }
}

TEST(CacheFile, ReplacesAFileWholeAndReadsItBack) {
  TempDir dir;
  // Both the cache home and its kort folder are made.
  const std::string home = dir.Native("cache");
  const ScopedEnv xdg("XDG_CACHE_HOME", home.c_str());
  const std::string table = Name(0x0123456789abcdefull, 0xfedcba9876543210ull);
  EXPECT_EQ(table, "table-0123456789abcdef-fedcba9876543210");
  std::string bytes;
  EXPECT_FALSE(plat::ReadCacheFile(table, bytes, 100));
  ASSERT_TRUE(plat::WriteCacheFile(table, std::string("first\0version", 13)));
  ASSERT_TRUE(plat::ReadCacheFile(table, bytes, 100));
  EXPECT_EQ(bytes, std::string("first\0version", 13));
  ASSERT_TRUE(plat::WriteCacheFile(table, "2nd"));
  ASSERT_TRUE(plat::ReadCacheFile(table, bytes, 100));
  EXPECT_EQ(bytes, "2nd");
  // Nothing is left beside it, and the folder and the file are the user's
  // own.
  EXPECT_EQ(FilesIn(home + "/kort"), 1u);
  struct stat st;
  ASSERT_EQ(stat((home + "/kort").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(stat((home + "/kort/" + table).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0077, 0u);
  EXPECT_EQ(st.st_uid, geteuid());
  // Larger than the reader takes: not read.
  EXPECT_FALSE(plat::ReadCacheFile(table, bytes, 2));
  EXPECT_EQ(bytes, "");
  // Only names of the cache's form: plain names inside the folder.
  for (const char* name :
       {"../escape", "..", "table", "../kort/table-0123456789abcdef-fedcba9876543210",
        "table-0123456789ABCDEF-fedcba9876543210", "table-0123456789abcde-fedcba9876543210",
        "table-0123456789abcdef-fedcba987654321", "table-0123456789abcdef-fedcba98765432100",
        "table-0123456789abcdef-fedcba9876543210.txt", "table-0123456789abcdef",
        "table-0123456789abcdef_fedcba9876543210", "-0123456789abcdef-fedcba9876543210",
        "Table-0123456789abcdef-fedcba9876543210"}) {
    EXPECT_FALSE(plat::IsCacheFileName(name)) << name;
    EXPECT_FALSE(plat::WriteCacheFile(name, "x")) << name;
    EXPECT_FALSE(plat::ReadCacheFile(name, bytes, 100)) << name;
  }
  EXPECT_FALSE(testutil::Exists(home + "/escape"));
  EXPECT_EQ(FilesIn(home + "/kort"), 1u);
}

TEST(CacheFile, KeepsAtMostTheLimitRemovingTheOldest) {
  TempDir dir;
  const ScopedEnv xdg("XDG_CACHE_HOME", dir.path().c_str());
  const std::string folder = dir.path() + "/kort";
  for (std::size_t i = 0; i < plat::kMaxCacheFiles; ++i) {
    ASSERT_TRUE(plat::WriteCacheFile(Name(i), "x"));
    SetModified(folder + "/" + Name(i), 1000000 + static_cast<long>(i));
  }
  EXPECT_EQ(FilesIn(folder), plat::kMaxCacheFiles);
  // 0 was written longest ago; the new file and the others stay.
  ASSERT_TRUE(plat::WriteCacheFile(Name(1000), "y"));
  EXPECT_EQ(FilesIn(folder), plat::kMaxCacheFiles);
  EXPECT_FALSE(testutil::Exists(folder + "/" + Name(0)));
  EXPECT_TRUE(testutil::Exists(folder + "/" + Name(1)));
  EXPECT_TRUE(testutil::Exists(folder + "/" + Name(1000)));
  // Rewriting a kept file removes nothing.
  ASSERT_TRUE(plat::WriteCacheFile(Name(1), "z"));
  EXPECT_EQ(FilesIn(folder), plat::kMaxCacheFiles);
  EXPECT_TRUE(testutil::Exists(folder + "/" + Name(2)));
  // A file aside that a writer left behind counts, and goes first (then
  // 2, the oldest file).
  const std::string left = folder + "/" + Name(2) + ".aB3xY9";
  ASSERT_TRUE(testutil::WriteBytes(left, "half"));
  SetModified(left, 1);
  ASSERT_TRUE(plat::WriteCacheFile(Name(1001), "w"));
  EXPECT_EQ(FilesIn(folder), plat::kMaxCacheFiles);
  EXPECT_FALSE(testutil::Exists(left));
  EXPECT_FALSE(testutil::Exists(folder + "/" + Name(2)));
  EXPECT_TRUE(testutil::Exists(folder + "/" + Name(3)));
}

// Two builds (or formats) sharing the folder: each key has a file of each,
// neither replaces the other, and together they stay within the limit.
TEST(CacheFile, FilesOfDifferentBuildsStandSideBySideWithinTheLimit) {
  TempDir dir;
  const ScopedEnv xdg("XDG_CACHE_HOME", dir.path().c_str());
  const std::string folder = dir.path() + "/kort";
  ASSERT_NE(Name(1, 0xa), Name(1, 0xb));
  ASSERT_TRUE(plat::WriteCacheFile(Name(1, 0xa), "of build a"));
  ASSERT_TRUE(plat::WriteCacheFile(Name(1, 0xb), "of build b"));
  std::string bytes;
  ASSERT_TRUE(plat::ReadCacheFile(Name(1, 0xa), bytes, 100));
  EXPECT_EQ(bytes, "of build a");
  ASSERT_TRUE(plat::ReadCacheFile(Name(1, 0xb), bytes, 100));
  EXPECT_EQ(bytes, "of build b");
  SetModified(folder + "/" + Name(1, 0xa), 1000);
  SetModified(folder + "/" + Name(1, 0xb), 1001);
  for (std::uint64_t i = 2; i < plat::kMaxCacheFiles; ++i) {
    for (const std::uint64_t build : {0xa, 0xb}) {
      ASSERT_TRUE(plat::WriteCacheFile(Name(i, build), "x"));
      SetModified(folder + "/" + Name(i, build), 1000 + static_cast<long>(2 * i + (build & 1)));
    }
  }
  EXPECT_EQ(FilesIn(folder), plat::kMaxCacheFiles);
  // The files written last of both builds stay, the oldest went.
  EXPECT_TRUE(testutil::Exists(folder + "/" + Name(plat::kMaxCacheFiles - 1, 0xa)));
  EXPECT_TRUE(testutil::Exists(folder + "/" + Name(plat::kMaxCacheFiles - 1, 0xb)));
  EXPECT_FALSE(testutil::Exists(folder + "/" + Name(1, 0xa)));
  EXPECT_FALSE(testutil::Exists(folder + "/" + Name(1, 0xb)));
}

// The folder is the cache's, but the user may keep other files in it (or
// point the cache home at a folder of their own): trimming counts and
// removes only the cache's files, and never what a link names.
TEST(CacheFile, TrimmingRemovesOnlyFilesOfTheCachesOwnNaming) {
  TempDir dir;
  const ScopedEnv xdg("XDG_CACHE_HOME", dir.path().c_str());
  const std::string folder = dir.path() + "/kort";
  ASSERT_TRUE(plat::WriteCacheFile(Name(0), "x"));
  std::vector<std::string> users;
  for (int i = 0; i < 100; ++i) {
    // Plain names, and names near the cache's own.
    const std::string key = Name(static_cast<std::uint64_t>(i));
    const std::string name = i % 4 == 0   ? "notes" + std::to_string(i) + ".txt"
                             : i % 4 == 1 ? key + ".txt"
                             : i % 4 == 2 ? key.substr(0, key.size() - 1)
                                          : "Table" + key.substr(5);
    users.push_back(folder + "/" + name);
    ASSERT_TRUE(testutil::WriteBytes(users.back(), "the user's " + name));
    SetModified(users.back(), 1000 + i);  // older than any cache file
  }
  // A link of the cache's naming to a file of the user's outside the folder.
  const std::string outside = dir.Native("outside.txt");
  ASSERT_TRUE(testutil::WriteBytes(outside, "outside"));
  ASSERT_EQ(symlink(outside.c_str(), (folder + "/" + Name(999)).c_str()), 0);
  for (std::size_t i = 1; i <= plat::kMaxCacheFiles + 5; ++i) {
    ASSERT_TRUE(plat::WriteCacheFile(Name(i), "x"));
    SetModified(folder + "/" + Name(i), 1000000 + static_cast<long>(i));
  }
  for (const std::string& path : users) {
    EXPECT_EQ(testutil::ReadBytes(path), "the user's " + path.substr(folder.size() + 1));
  }
  EXPECT_EQ(testutil::ReadBytes(outside), "outside");
  EXPECT_TRUE(std::filesystem::is_symlink(folder + "/" + Name(999)));
  std::size_t cacheFiles = 0;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    cacheFiles += std::filesystem::is_regular_file(e.symlink_status()) &&
                  plat::IsCacheFileName(e.path().filename().string());
  EXPECT_EQ(cacheFiles, plat::kMaxCacheFiles);
  EXPECT_TRUE(testutil::Exists(folder + "/" + Name(plat::kMaxCacheFiles + 5)));
  EXPECT_FALSE(testutil::Exists(folder + "/" + Name(1)));
}

// Another user (or anyone, through a folder or file others may write) could
// have put the bytes there: such a file is not read, and what stands there
// is not replaced. A link in place of the folder or the file is not
// followed.
TEST(CacheFile, AFileOrFolderNotOnlyTheUsersOwnIsNeitherReadNorWritten) {
  TempDir dir;
  const ScopedEnv xdg("XDG_CACHE_HOME", dir.path().c_str());
  const std::string folder = dir.path() + "/kort";
  const std::string table = Name(7);
  const std::string path = folder + "/" + table;
  ASSERT_TRUE(plat::WriteCacheFile(table, "theirs"));
  std::string bytes;
  // Neither read nor replaced nor anything added beside it; and once it is
  // the user's own alone again, used as before.
  auto refused = [&](const char* what) {
    EXPECT_FALSE(plat::ReadCacheFile(table, bytes, 100)) << what;
    EXPECT_EQ(bytes, "") << what;
    EXPECT_FALSE(plat::WriteCacheFile(table, "mine")) << what;
    EXPECT_FALSE(plat::WriteCacheFile(Name(8), "mine")) << what;
    EXPECT_EQ(testutil::ReadBytes(path), "theirs") << what;
    EXPECT_EQ(FilesIn(folder), 1u) << what;
  };
  auto usedAgain = [&](const char* what) {
    EXPECT_TRUE(plat::ReadCacheFile(table, bytes, 100)) << what;
    EXPECT_EQ(bytes, "theirs") << what;
  };
  for (const mode_t mode : {0770, 0707, 0777, 0720, 0702}) {
    ASSERT_EQ(chmod(folder.c_str(), mode), 0);
    refused("folder writable by others");
    ASSERT_EQ(chmod(folder.c_str(), 0700), 0);
    usedAgain("folder");
  }
  for (const mode_t mode : {0620, 0602, 0666}) {
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
    EXPECT_FALSE(plat::ReadCacheFile(table, bytes, 100));
    EXPECT_FALSE(plat::WriteCacheFile(table, "mine"));
    EXPECT_EQ(testutil::ReadBytes(path), "theirs");
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    usedAgain("file");
  }
  if (geteuid() == 0) {
    // Only root can give a file to another user.
    ASSERT_EQ(chown(path.c_str(), 12345, 12345), 0);
    EXPECT_FALSE(plat::ReadCacheFile(table, bytes, 100));
    EXPECT_FALSE(plat::WriteCacheFile(table, "mine"));
    EXPECT_EQ(testutil::ReadBytes(path), "theirs");
    ASSERT_EQ(chown(path.c_str(), 0, 0), 0);
    usedAgain("file of another user");
    ASSERT_EQ(chown(folder.c_str(), 12345, 12345), 0);
    refused("folder of another user");
    ASSERT_EQ(chown(folder.c_str(), 0, 0), 0);
    usedAgain("folder of another user");
  }
  // The folder a link to a folder of the user's own.
  const std::string real = dir.Native("real");
  std::filesystem::rename(folder, real);
  ASSERT_EQ(symlink(real.c_str(), folder.c_str()), 0);
  EXPECT_FALSE(plat::ReadCacheFile(table, bytes, 100));
  EXPECT_FALSE(plat::WriteCacheFile(table, "mine"));
  EXPECT_EQ(testutil::ReadBytes(real + "/" + table), "theirs");
  ASSERT_EQ(unlink(folder.c_str()), 0);
  std::filesystem::rename(real, folder);
  usedAgain("folder not a link");
  // The file a link to a file of the user's own.
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("elsewhere"), "elsewhere"));
  ASSERT_EQ(symlink(dir.Native("elsewhere").c_str(), (folder + "/" + Name(9)).c_str()), 0);
  EXPECT_FALSE(plat::ReadCacheFile(Name(9), bytes, 100));
  EXPECT_FALSE(plat::WriteCacheFile(Name(9), "mine"));
  EXPECT_EQ(testutil::ReadBytes(dir.Native("elsewhere")), "elsewhere");
  EXPECT_TRUE(std::filesystem::is_symlink(folder + "/" + Name(9)));
}

TEST(CacheFile, AFolderThatCannotBeMadeMeansNoCache) {
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("plain"), "a file, not a folder"));
  const ScopedEnv xdg("XDG_CACHE_HOME", dir.Native("plain").c_str());
  EXPECT_FALSE(plat::WriteCacheFile(Name(1), "bytes"));
  std::string bytes;
  EXPECT_FALSE(plat::ReadCacheFile(Name(1), bytes, 100));
  EXPECT_EQ(testutil::ReadBytes(dir.Native("plain")), "a file, not a folder");
  EXPECT_EQ(FilesIn(dir.path()), 1u);
}

// What stands in a cache file's place and is no file is not read, and not
// waited for (a pipe nobody writes to).
TEST(CacheFile, NoFileInItsPlaceIsNotReadNorWaitedFor) {
  TempDir dir;
  const ScopedEnv xdg("XDG_CACHE_HOME", dir.path().c_str());
  ASSERT_TRUE(plat::WriteCacheFile(Name(1), "x"));
  const std::string folder = dir.path() + "/kort";
  ASSERT_EQ(mkfifo((folder + "/" + Name(2)).c_str(), 0600), 0);
  ASSERT_EQ(mkdir((folder + "/" + Name(3)).c_str(), 0700), 0);
  std::string bytes = "old";
  EXPECT_FALSE(plat::ReadCacheFile(Name(2), bytes, 100));
  EXPECT_EQ(bytes, "");
  EXPECT_FALSE(plat::ReadCacheFile(Name(3), bytes, 100));
}

TEST(CacheFile, ModuleStampIsThatOfTheProgramFile) {
  plat::FileStamp module;
  plat::FileStamp program;
  ASSERT_TRUE(plat::StampOfModule(reinterpret_cast<const void*>(&FilesIn), module));
  ASSERT_TRUE(plat::StampOfNative("/proc/self/exe", program));
  EXPECT_EQ(module, program);
  EXPECT_GT(module.size, 0u);
  // The program's name is known by now: its stamp is one status call.
  const uint64_t before = plat::SystemCallCount();
  ASSERT_TRUE(plat::StampOfModule(reinterpret_cast<const void*>(&FilesIn), module));
  EXPECT_EQ(plat::SystemCallCount() - before, 1u);
  EXPECT_EQ(module, program);
}

// A file read in parts: the checks of a whole read (the user's own, only
// the user's to write, no larger than the limit, a file and no link), parts
// within the file only, and the bytes of the file as opened even after it
// is replaced.
TEST(CacheFile, AReaderReadsPartsOfTheFileItOpenedOnlyWithinIt) {
  TempDir dir;
  const ScopedEnv xdg("XDG_CACHE_HOME", dir.path().c_str());
  const std::string folder = dir.path() + "/kort";
  ASSERT_TRUE(plat::WriteCacheFile(Name(1), "0123456789"));
  plat::CacheFileReader reader;
  EXPECT_FALSE(reader.Open(Name(1), 9));  // larger than the limit
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_FALSE(reader.Open(Name(2), 100));  // missing
  EXPECT_FALSE(reader.Open("not a cache name", 100));
  ASSERT_TRUE(reader.Open(Name(1), 10));
  EXPECT_EQ(reader.Size(), 10u);
  std::string bytes;
  ASSERT_TRUE(reader.Read(3, 4, bytes));
  EXPECT_EQ(bytes, "3456");
  ASSERT_TRUE(reader.Read(10, 0, bytes));
  EXPECT_EQ(bytes, "");
  EXPECT_FALSE(reader.Read(7, 4, bytes));
  EXPECT_EQ(bytes, "");
  EXPECT_FALSE(reader.Read(11, 0, bytes));
  EXPECT_FALSE(reader.Read(~0ull, 2, bytes));
  // Replaced whole: the reader keeps the file it opened.
  ASSERT_TRUE(plat::WriteCacheFile(Name(1), "abcdefghij"));
  ASSERT_TRUE(reader.Read(0, 3, bytes));
  EXPECT_EQ(bytes, "012");
  reader.Close();
  EXPECT_FALSE(reader.Read(0, 3, bytes));
  // Not only the user's to write, a link or no file: not opened.
  ASSERT_EQ(chmod((folder + "/" + Name(1)).c_str(), 0666), 0);
  EXPECT_FALSE(reader.Open(Name(1), 100));
  ASSERT_EQ(symlink((folder + "/" + Name(1)).c_str(), (folder + "/" + Name(3)).c_str()), 0);
  ASSERT_EQ(chmod((folder + "/" + Name(1)).c_str(), 0600), 0);
  EXPECT_FALSE(reader.Open(Name(3), 100));
  ASSERT_EQ(mkfifo((folder + "/" + Name(4)).c_str(), 0600), 0);
  EXPECT_FALSE(reader.Open(Name(4), 100));
  ASSERT_TRUE(reader.Open(Name(1), 100));
  ASSERT_TRUE(reader.Read(7, 3, bytes));
  EXPECT_EQ(bytes, "hij");
}
