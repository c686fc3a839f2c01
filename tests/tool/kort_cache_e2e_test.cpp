// kort jobs without a prefecture name, one process each: the first writes
// the data folder's cache file, the next read it and answer the same; a
// damaged file, a cache folder that cannot be made or a cache file or
// folder that is not only the user's own changes no answer, and the user's
// other files in the folder stay.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "plat/cache_file.h"
#include "support/test_util.h"
#include "tool/job_test_util.h"
#include "tool/kort_program.h"

namespace {

using korttest::Job;
using korttest::KortProgram;
using testutil::ScopedEnv;
using testutil::Sjis;

class KortCacheFile : public KortProgram {
 protected:
  // The answers of jobs that have no cache folder (the cache home is a
  // file), to compare the others with.
  void AnswersWithoutCache(std::vector<std::string>* reference) {
    ASSERT_TRUE(testutil::WriteBytes(dir_.Native("plain"), "x"));
    const ScopedEnv xdg("XDG_CACHE_HOME", dir_.Native("plain").c_str());
    *reference = Answers();
    ASSERT_EQ((*reference)[0].substr(0, 6), Sjis(u8"東京都"))
        << testutil::Show((*reference)[0].c_str());
  }
  // The result and status of each job in turn.
  std::vector<std::string> Answers() {
    std::vector<std::string> answers;
    for (const std::u8string_view address :
         {u8"千代田区丸の内一丁目", u8"中京区亀屋町", u8"無い市無い町１"}) {
      EXPECT_TRUE(testutil::WriteBytes(job_, Job({"3000", Sjis(address), "0", "1", "0", "1", "1",
                                                  "1", "1", "1", "1", "8", "x"})));
      std::string out;
      Run({job_, result_, status_}, &out);
      answers.push_back(testutil::ReadBytes(result_) + "|" + testutil::ReadBytes(status_));
    }
    return answers;
  }

  // The files of the folder's prefecture names (of a kind: "nametables-"
  // for the name tables of its lists of rows; "" for every file).
  std::vector<std::string> CacheFiles(const std::string& kind = "prefectures-") const {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir_.Native("cache/kort"), ec)) {
      if (e.path().filename().string().compare(0, kind.size(), kind) == 0)
        files.push_back(e.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
  }
};

TEST_F(KortCacheFile, AJobLeavesTheUsersFilesAndFilesNotItsOwnAlone) {
  std::vector<std::string> reference;
  ASSERT_NO_FATAL_FAILURE(AnswersWithoutCache(&reference));
  const ScopedEnv xdg("XDG_CACHE_HOME", dir_.Native("cache").c_str());
  const std::string folder = dir_.Native("cache/kort");
  ASSERT_TRUE(MakeFolders(folder));
  ASSERT_EQ(chmod(folder.c_str(), 0700), 0);
  // 100 files of the user's and a full folder's worth of old cache files,
  // all written long ago.
  struct timespec longAgo[2] = {{1000000, 0}, {1000000, 0}};
  std::vector<std::string> users;
  for (int i = 0; i < 100; ++i) {
    users.push_back(folder + "/" +
                    (i % 2 ? "notes" + std::to_string(i) + ".txt"
                           : plat::CacheFileName("prefectures", i, i) + ".bak"));
    ASSERT_TRUE(testutil::WriteBytes(users.back(), "the user's"));
    ASSERT_EQ(utimensat(AT_FDCWD, users.back().c_str(), longAgo, 0), 0);
  }
  for (std::uint64_t i = 0; i < plat::kMaxCacheFiles; ++i) {
    const std::string old = folder + "/" + plat::CacheFileName("prefectures", i, i);
    ASSERT_TRUE(testutil::WriteBytes(old, "old"));
    ASSERT_EQ(utimensat(AT_FDCWD, old.c_str(), longAgo, 0), 0);
  }
  EXPECT_EQ(Answers(), reference);
  std::string written;
  std::size_t cacheFiles = 0;
  for (const std::string& path : CacheFiles("")) {
    if (!plat::IsCacheFileName(std::filesystem::path(path).filename().string())) continue;
    ++cacheFiles;
    if (testutil::ReadBytes(path) != "old") written = path;
  }
  EXPECT_EQ(cacheFiles, plat::kMaxCacheFiles);
  ASSERT_FALSE(written.empty());
  for (const std::string& path : users) EXPECT_EQ(testutil::ReadBytes(path), "the user's") << path;
  // A damaged file that is not only the user's own: the same answers, and
  // the file is left as it is (neither read nor replaced); once it is the
  // user's own again, it is replaced.
  const std::string whole = testutil::ReadBytes(written);
  const std::string damaged = whole.substr(0, whole.size() / 3);
  ASSERT_TRUE(testutil::WriteBytes(written, damaged));
  ASSERT_EQ(chmod(written.c_str(), 0600), 0);
  ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
  EXPECT_EQ(Answers(), reference);
  EXPECT_EQ(testutil::ReadBytes(written), damaged);
  ASSERT_EQ(chmod(folder.c_str(), 0700), 0);
  if (geteuid() == 0) {
    ASSERT_EQ(chown(written.c_str(), 12345, 12345), 0);
    EXPECT_EQ(Answers(), reference);
    EXPECT_EQ(testutil::ReadBytes(written), damaged);
    ASSERT_EQ(chown(written.c_str(), 0, 0), 0);
  }
  EXPECT_EQ(Answers(), reference);
  EXPECT_EQ(testutil::ReadBytes(written), whole);
}

TEST_F(KortCacheFile, LaterJobsReadTheFileTheFirstWroteAndAnswerAlike) {
  std::vector<std::string> reference;
  ASSERT_NO_FATAL_FAILURE(AnswersWithoutCache(&reference));
  ASSERT_EQ(reference[1].substr(0, 6), Sjis(u8"京都府")) << testutil::Show(reference[1].c_str());
  const ScopedEnv xdg("XDG_CACHE_HOME", dir_.Native("cache").c_str());
  EXPECT_EQ(Answers(), reference);
  const std::vector<std::string> files = CacheFiles();
  ASSERT_EQ(files.size(), 1u);
  const std::string written = testutil::ReadBytes(files[0]);
  ASSERT_FALSE(written.empty());
  // The name tables the jobs met: one file for the folder.
  const std::vector<std::string> tables = CacheFiles("nametables-");
  ASSERT_EQ(tables.size(), 1u);
  // Read, not written again (neither file).
  const auto modified = std::filesystem::last_write_time(files[0]);
  const auto tablesModified = std::filesystem::last_write_time(tables[0]);
  EXPECT_EQ(Answers(), reference);
  EXPECT_EQ(std::filesystem::last_write_time(files[0]), modified);
  EXPECT_EQ(std::filesystem::last_write_time(tables[0]), tablesModified);
  // A damaged file: the same answers, and the file is whole again.
  ASSERT_TRUE(testutil::WriteBytes(files[0], written.substr(0, written.size() / 3)));
  EXPECT_EQ(Answers(), reference);
  EXPECT_EQ(testutil::ReadBytes(files[0]), written);
  // Likewise the name tables: damaged, cut short, or of the same size with a
  // byte changed in its last table.
  const std::string tablesWritten = testutil::ReadBytes(tables[0]);
  std::string changed = tablesWritten;
  changed[changed.size() - 2] ^= 0x40;
  for (const std::string& damaged : {tablesWritten.substr(0, tablesWritten.size() / 3), changed}) {
    ASSERT_TRUE(testutil::WriteBytes(tables[0], damaged));
    EXPECT_EQ(Answers(), reference);
    EXPECT_EQ(testutil::ReadBytes(tables[0]), tablesWritten);
  }
}

// The data folder's dictionaries: the first job writes their image, later
// jobs read it (without writing it again) and answer alike; a damaged
// image changes no answer and is whole again after the next job.
TEST_F(KortCacheFile, LaterJobsTakeTheDictionariesFromTheImageTheFirstWrote) {
  std::vector<std::string> reference;
  ASSERT_NO_FATAL_FAILURE(AnswersWithoutCache(&reference));
  const ScopedEnv xdg("XDG_CACHE_HOME", dir_.Native("cache").c_str());
  EXPECT_EQ(Answers(), reference);
  const std::vector<std::string> images = CacheFiles("dictionaries-");
  ASSERT_EQ(images.size(), 1u);
  const std::string written = testutil::ReadBytes(images[0]);
  ASSERT_FALSE(written.empty());
  const auto modified = std::filesystem::last_write_time(images[0]);
  EXPECT_EQ(Answers(), reference);
  EXPECT_EQ(std::filesystem::last_write_time(images[0]), modified) << "read, not written again";
  std::string changed = written;
  changed[changed.size() / 2] ^= 0x01;
  for (const std::string& damaged : {written.substr(0, written.size() / 2), changed}) {
    ASSERT_TRUE(testutil::WriteBytes(images[0], damaged));
    EXPECT_EQ(Answers(), reference);
    EXPECT_EQ(testutil::ReadBytes(images[0]), written);
  }
}

// Two builds of kort (two program files) sharing the cache folder: each
// keeps a file of its own for the same data folder, and neither rewrites
// the other's on its jobs.
TEST_F(KortCacheFile, TwoBuildsSharingTheFolderKeepAFileEach) {
  UseCopyBesideData();
  const std::string first = program_;
  const std::string second = program_ + "-other";
  ASSERT_TRUE(testutil::WriteBytes(second, testutil::ReadBytes(first)));
  ASSERT_EQ(chmod(second.c_str(), 0755), 0);
  const ScopedEnv xdg("XDG_CACHE_HOME", dir_.Native("cache").c_str());
  const std::vector<std::string> reference = Answers();
  ASSERT_EQ(reference[0].substr(0, 6), Sjis(u8"東京都")) << testutil::Show(reference[0].c_str());
  ASSERT_EQ(CacheFiles().size(), 1u);
  program_ = second;
  EXPECT_EQ(Answers(), reference);
  const std::vector<std::string> both = CacheFiles();
  ASSERT_EQ(both.size(), 2u);
  // Each read, neither written again, as the builds take turns.
  std::vector<std::filesystem::file_time_type> modified;
  for (const std::string& path : both) modified.push_back(std::filesystem::last_write_time(path));
  program_ = first;
  EXPECT_EQ(Answers(), reference);
  program_ = second;
  EXPECT_EQ(Answers(), reference);
  ASSERT_EQ(CacheFiles(), both);
  for (std::size_t i = 0; i < both.size(); ++i)
    EXPECT_EQ(std::filesystem::last_write_time(both[i]), modified[i]) << both[i];
}

}  // namespace
