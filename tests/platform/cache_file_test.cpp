// The user's cache folder: where it is, files replaced whole, a bounded
// number of files, and no cache (rather than a failure) where it cannot be
// written.
#include "plat/cache_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

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
    EXPECT_FALSE(plat::WriteCacheFile("a", "bytes"));
    std::string bytes;
    EXPECT_FALSE(plat::ReadCacheFile("a", bytes, 100));
  }
}

TEST(CacheFile, ReplacesAFileWholeAndReadsItBack) {
  TempDir dir;
  // Both the cache home and its kort folder are made.
  const std::string home = dir.Native("cache");
  const ScopedEnv xdg("XDG_CACHE_HOME", home.c_str());
  std::string bytes;
  EXPECT_FALSE(plat::ReadCacheFile("table", bytes, 100));
  ASSERT_TRUE(plat::WriteCacheFile("table", std::string("first\0version", 13)));
  ASSERT_TRUE(plat::ReadCacheFile("table", bytes, 100));
  EXPECT_EQ(bytes, std::string("first\0version", 13));
  ASSERT_TRUE(plat::WriteCacheFile("table", "2nd"));
  ASSERT_TRUE(plat::ReadCacheFile("table", bytes, 100));
  EXPECT_EQ(bytes, "2nd");
  // Nothing is left beside it, and the folder is the user's own.
  EXPECT_EQ(FilesIn(home + "/kort"), 1u);
  struct stat st;
  ASSERT_EQ(stat((home + "/kort").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // Larger than the reader takes: not read.
  EXPECT_FALSE(plat::ReadCacheFile("table", bytes, 2));
  EXPECT_EQ(bytes, "");
  // Names are plain names inside the folder.
  EXPECT_FALSE(plat::WriteCacheFile("../escape", "x"));
  EXPECT_FALSE(plat::WriteCacheFile("..", "x"));
  EXPECT_FALSE(plat::ReadCacheFile("../cache/kort/table", bytes, 100));
  EXPECT_FALSE(testutil::Exists(home + "/escape"));
}

TEST(CacheFile, KeepsAtMostTheLimitRemovingTheOldest) {
  TempDir dir;
  const ScopedEnv xdg("XDG_CACHE_HOME", dir.path().c_str());
  const std::string folder = dir.path() + "/kort";
  for (std::size_t i = 0; i < plat::kMaxCacheFiles; ++i) {
    const std::string name = "f" + std::to_string(i);
    ASSERT_TRUE(plat::WriteCacheFile(name, "x"));
    SetModified(folder + "/" + name, 1000000 + static_cast<long>(i));
  }
  EXPECT_EQ(FilesIn(folder), plat::kMaxCacheFiles);
  // f0 was written longest ago; the new file and the others stay.
  ASSERT_TRUE(plat::WriteCacheFile("new", "y"));
  EXPECT_EQ(FilesIn(folder), plat::kMaxCacheFiles);
  EXPECT_FALSE(testutil::Exists(folder + "/f0"));
  EXPECT_TRUE(testutil::Exists(folder + "/f1"));
  EXPECT_TRUE(testutil::Exists(folder + "/new"));
  // Rewriting a kept file removes nothing.
  ASSERT_TRUE(plat::WriteCacheFile("f1", "z"));
  EXPECT_EQ(FilesIn(folder), plat::kMaxCacheFiles);
  EXPECT_TRUE(testutil::Exists(folder + "/f2"));
}

TEST(CacheFile, AFolderThatCannotBeMadeMeansNoCache) {
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("plain"), "a file, not a folder"));
  const ScopedEnv xdg("XDG_CACHE_HOME", dir.Native("plain").c_str());
  EXPECT_FALSE(plat::WriteCacheFile("table", "bytes"));
  std::string bytes;
  EXPECT_FALSE(plat::ReadCacheFile("table", bytes, 100));
  EXPECT_EQ(testutil::ReadBytes(dir.Native("plain")), "a file, not a folder");
  EXPECT_EQ(FilesIn(dir.path()), 1u);
}

// What stands in a cache file's place and is no file is not read, and not
// waited for (a pipe nobody writes to).
TEST(CacheFile, NoFileInItsPlaceIsNotReadNorWaitedFor) {
  TempDir dir;
  const ScopedEnv xdg("XDG_CACHE_HOME", dir.path().c_str());
  ASSERT_TRUE(plat::WriteCacheFile("other", "x"));
  const std::string folder = dir.path() + "/kort";
  ASSERT_EQ(mkfifo((folder + "/pipe").c_str(), 0600), 0);
  ASSERT_EQ(mkdir((folder + "/folder").c_str(), 0700), 0);
  std::string bytes = "old";
  EXPECT_FALSE(plat::ReadCacheFile("pipe", bytes, 100));
  EXPECT_EQ(bytes, "");
  EXPECT_FALSE(plat::ReadCacheFile("folder", bytes, 100));
}

TEST(CacheFile, ModuleStampIsThatOfTheProgramFile) {
  plat::FileStamp module;
  plat::FileStamp program;
  ASSERT_TRUE(plat::StampOfModule(reinterpret_cast<const void*>(&FilesIn), module));
  ASSERT_TRUE(plat::StampOfNative("/proc/self/exe", program));
  EXPECT_EQ(module, program);
  EXPECT_GT(module.size, 0u);
}
