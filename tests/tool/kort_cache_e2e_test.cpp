// kort jobs without a prefecture name, one process each: the first writes
// the data folder's values to the store, the next read them and answer the
// same; a damaged store, a damaged record or a value that does not decode,
// a cache folder that cannot be made or a store or folder that is not only
// the user's own changes no answer, and the user's other files in the
// folder stay.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "plat/cp932.h"
#include "plat/derived_store.h"
#include "plat/file_stamp.h"
#include "platform/src/derived_store_detail.h"
#include "support/store_damage.h"
#include "support/test_util.h"
#include "tabledb/dictionaries.h"
#include "tool/job_test_util.h"
#include "tool/kort_program.h"

namespace {

using korttest::Job;
using korttest::KortProgram;
using testutil::ScopedEnv;
using testutil::Sjis;

class KortCacheFile : public KortProgram {
 protected:
  void SetUp() override {
    KortProgram::SetUp();
    if (!IsSkipped()) WaitUntilDataSettled();
  }
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

  ~KortCacheFile() override {
    plat::detail::SetDerivedStoreBuild(0);
    plat::detail::ForgetDerivedStore();
  }

  using Sources = std::vector<plat::FileStamp>;

  // The store's values of a kind, as a new process finds them.
  static std::vector<plat::detail::DerivedEntry> Values(const std::string& kind) {
    plat::detail::ForgetDerivedStore();
    std::vector<plat::detail::DerivedEntry> values;
    for (auto& e : plat::detail::DerivedStoreEntries())
      if (e.kind == kind) values.push_back(std::move(e));
    return values;
  }
  static plat::DerivedKey KeyOf(const plat::detail::DerivedEntry& e) {
    return {e.kind, {e.device, e.inode, e.folder}, e.format, e.item};
  }
  // The stamps a value of the data folder may have been derived from, as
  // the jobs take them now: the dictionaries' image from the folder's
  // dictionary files; the prefecture look-ups from every prefecture's
  // database and index (both or neither); a name table from the database
  // and index of one prefecture (one choice per prefecture with both).
  static std::vector<Sources> SourcesOf(const plat::detail::DerivedEntry& e) {
    std::string folder = e.folder;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    auto stamp = [&](const std::string& name, plat::FileStamp* s) {
      *s = plat::FileStamp();
      if (plat::StampOfNative(folder + "/" + name, *s)) return true;
      *s = plat::FileStamp();
      return false;
    };
    std::vector<Sources> choices;
    if (e.kind == "dictionaries") {
      Sources files(3);
      int i = 0;
      for (const char* name :
           {kUnificationDictionaryFile, kReplacementDictionaryFile, kUserReplacementFile}) {
        std::string utf8;
        EXPECT_TRUE(plat::cp932::ToUtf8(name, utf8));
        stamp(utf8, &files[static_cast<std::size_t>(i++)]);
      }
      choices.push_back(files);
    } else if (e.kind == "prefectures" || e.kind == "nametables") {
      Sources all;
      for (int j = 1; j <= 47; ++j) {
        char ndb[16];
        char tix[16];
        std::snprintf(ndb, sizeof ndb, "QVAD%02d.NDB", j);
        std::snprintf(tix, sizeof tix, "QVAD%02d.TIX", j);
        plat::FileStamp n;
        plat::FileStamp t;
        const bool both = stamp(ndb, &n) && stamp(tix, &t);
        all.push_back(both ? n : plat::FileStamp());
        all.push_back(both ? t : plat::FileStamp());
        if (both && e.kind == "nametables") choices.push_back({n, t});
      }
      if (e.kind == "prefectures") choices.push_back(all);
    }
    return choices;
  }
  // The value of an entry got anew by a process of the entry's build, and
  // the stamps it answers for; "-" when it is gone (or none answers).
  static std::string ValueOf(const plat::detail::DerivedEntry& e, Sources* sources = nullptr) {
    plat::detail::ForgetDerivedStore();
    plat::detail::SetDerivedStoreBuild(e.build);
    std::string value = "-";
    for (const Sources& choice : SourcesOf(e)) {
      plat::DerivedBytes bytes;
      if (!plat::GetDerived(KeyOf(e), choice, bytes)) continue;
      value = std::string(bytes.bytes);
      if (sources) *sources = choice;
      break;
    }
    plat::detail::SetDerivedStoreBuild(0);
    return value;
  }
  // Keeps bytes as the entry's value for the stamps, as its build would
  // (a sound record of the store, whatever the bytes).
  static bool PutValue(const plat::detail::DerivedEntry& e, const Sources& sources,
                       const std::string& bytes) {
    plat::detail::ForgetDerivedStore();
    plat::detail::SetDerivedStoreBuild(e.build);
    const bool kept = plat::PutDerived(KeyOf(e), sources, bytes);
    plat::detail::SetDerivedStoreBuild(0);
    return kept;
  }
  // The store's last transaction, as a new process finds it.
  static std::uint64_t LastTransaction() {
    plat::detail::ForgetDerivedStore();
    return plat::detail::DerivedStoreLastTransaction();
  }
  std::string StorePath() const { return dir_.Native("cache/kort/store.mdb"); }
};

TEST_F(KortCacheFile, AJobLeavesTheUsersFilesAndFilesNotItsOwnAlone) {
  std::vector<std::string> reference;
  ASSERT_NO_FATAL_FAILURE(AnswersWithoutCache(&reference));
  const ScopedEnv xdg("XDG_CACHE_HOME", dir_.Native("cache").c_str());
  const std::string folder = dir_.Native("cache/kort");
  ASSERT_TRUE(MakeFolders(folder));
  ASSERT_EQ(chmod(folder.c_str(), 0700), 0);
  // 100 files of the user's, all written long ago, some named as the old
  // cache files of earlier builds were.
  struct timespec longAgo[2] = {{1000000, 0}, {1000000, 0}};
  std::vector<std::string> users;
  for (int i = 0; i < 100; ++i) {
    users.push_back(folder + "/" +
                    (i % 2 ? "notes" + std::to_string(i) + ".txt"
                           : "prefectures-" + std::to_string(i) + "-" + std::to_string(i)));
    ASSERT_TRUE(testutil::WriteBytes(users.back(), "the user's"));
    ASSERT_EQ(utimensat(AT_FDCWD, users.back().c_str(), longAgo, 0), 0);
  }
  EXPECT_EQ(Answers(), reference);
  for (const std::string& path : users) EXPECT_EQ(testutil::ReadBytes(path), "the user's") << path;
  // Beside them only the store's two files.
  EXPECT_EQ(testutil::FolderNames(folder).size(), users.size() + 2);
  ASSERT_EQ(Values("prefectures").size(), 1u);
  plat::detail::ForgetDerivedStore();
  // A damaged store that is not only the user's own: the same answers, and
  // the file is left as it is (neither read nor replaced); once it is the
  // user's own again, a job replaces it.
  const std::string whole = testutil::ReadBytes(StorePath());
  const std::string damaged = whole.substr(0, whole.size() / 3);
  ASSERT_TRUE(testutil::WriteBytes(StorePath(), damaged));
  ASSERT_EQ(chmod(StorePath().c_str(), 0600), 0);
  ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
  EXPECT_EQ(Answers(), reference);
  EXPECT_EQ(testutil::ReadBytes(StorePath()), damaged);
  ASSERT_EQ(chmod(folder.c_str(), 0700), 0);
  if (geteuid() == 0) {
    ASSERT_EQ(chown(StorePath().c_str(), 12345, 12345), 0);
    EXPECT_EQ(Answers(), reference);
    EXPECT_EQ(testutil::ReadBytes(StorePath()), damaged);
    ASSERT_EQ(chown(StorePath().c_str(), 0, 0), 0);
  }
  EXPECT_EQ(Answers(), reference);
  EXPECT_NE(testutil::ReadBytes(StorePath()), damaged);
  EXPECT_EQ(Values("prefectures").size(), 1u);
  EXPECT_EQ(Answers(), reference);
  for (const std::string& path : users) EXPECT_EQ(testutil::ReadBytes(path), "the user's") << path;
}

TEST_F(KortCacheFile, LaterJobsReadTheValuesTheFirstWroteAndAnswerAlike) {
  std::vector<std::string> reference;
  ASSERT_NO_FATAL_FAILURE(AnswersWithoutCache(&reference));
  ASSERT_EQ(reference[1].substr(0, 6), Sjis(u8"京都府")) << testutil::Show(reference[1].c_str());
  const ScopedEnv xdg("XDG_CACHE_HOME", dir_.Native("cache").c_str());
  EXPECT_EQ(Answers(), reference);
  const std::vector<plat::detail::DerivedEntry> prefectures = Values("prefectures");
  ASSERT_EQ(prefectures.size(), 1u);
  Sources lookupSources;
  const std::string written = ValueOf(prefectures[0], &lookupSources);
  ASSERT_GT(written.size(), 1u);
  // The name tables the jobs met: a value each.
  const std::vector<plat::detail::DerivedEntry> tables = Values("nametables");
  ASSERT_GE(tables.size(), 2u);
  std::vector<std::string> wholeTables;
  std::vector<Sources> tableSources(tables.size());
  for (std::size_t i = 0; i < tables.size(); ++i) {
    wholeTables.push_back(ValueOf(tables[i], &tableSources[i]));
    ASSERT_GT(wholeTables.back().size(), 1u) << i;
  }
  // Read, nothing written again.
  const std::uint64_t transaction = LastTransaction();
  EXPECT_EQ(Answers(), reference);
  EXPECT_EQ(LastTransaction(), transaction);
  // A value that does not decode: the same answers, and the value is whole
  // again.
  ASSERT_TRUE(PutValue(prefectures[0], lookupSources, written.substr(0, written.size() / 3)));
  ASSERT_EQ(ValueOf(prefectures[0]), written.substr(0, written.size() / 3));
  EXPECT_EQ(Answers(), reference);
  EXPECT_EQ(ValueOf(prefectures[0]), written);
  // Likewise each name table, cut short.
  for (std::size_t i = 0; i < tables.size(); ++i) {
    const std::string& whole = wholeTables[i];
    ASSERT_TRUE(PutValue(tables[i], tableSources[i], whole.substr(0, whole.size() / 3)));
  }
  EXPECT_EQ(Answers(), reference);
  for (std::size_t i = 0; i < tables.size(); ++i)
    EXPECT_EQ(ValueOf(tables[i]), wholeTables[i]) << i;
  // The value's record damaged in the store's file (its checksum no longer
  // fits): not answered at all, the same answers, and the next job puts a
  // new store with the values in the damaged one's place.
  ASSERT_GE(testutil::DamageValueInStoreFile(StorePath(), written), 1);
  EXPECT_EQ(ValueOf(prefectures[0]), "-");
  EXPECT_TRUE(plat::detail::DerivedStoreFoundDamaged());
  EXPECT_EQ(Answers(), reference);
  EXPECT_EQ(ValueOf(prefectures[0]), written);
  for (std::size_t i = 0; i < tables.size(); ++i)
    EXPECT_EQ(ValueOf(tables[i]), wholeTables[i]) << i;
}

// The data folder's dictionaries: the first job writes their image, later
// jobs read it (without writing it again) and answer alike; an image that
// does not check, or whose record in the store's file is damaged, changes
// no answer and is whole again after the next job.
TEST_F(KortCacheFile, LaterJobsTakeTheDictionariesFromTheImageTheFirstWrote) {
  std::vector<std::string> reference;
  ASSERT_NO_FATAL_FAILURE(AnswersWithoutCache(&reference));
  const ScopedEnv xdg("XDG_CACHE_HOME", dir_.Native("cache").c_str());
  EXPECT_EQ(Answers(), reference);
  const std::vector<plat::detail::DerivedEntry> images = Values("dictionaries");
  ASSERT_EQ(images.size(), 1u);
  Sources sources;
  const std::string written = ValueOf(images[0], &sources);
  ASSERT_GT(written.size(), 1000u);
  const std::uint64_t transaction = LastTransaction();
  EXPECT_EQ(Answers(), reference);
  EXPECT_EQ(LastTransaction(), transaction) << "read, not written again";
  std::string magic = written;
  magic[0] ^= 0x01;
  for (const std::string& damaged : {written.substr(0, written.size() / 2), magic}) {
    ASSERT_TRUE(PutValue(images[0], sources, damaged));
    ASSERT_EQ(ValueOf(images[0]), damaged);
    EXPECT_EQ(Answers(), reference);
    EXPECT_EQ(ValueOf(images[0]), written);
  }
  ASSERT_GE(testutil::DamageValueInStoreFile(StorePath(), written), 1);
  EXPECT_EQ(ValueOf(images[0]), "-");
  EXPECT_TRUE(plat::detail::DerivedStoreFoundDamaged());
  EXPECT_EQ(Answers(), reference);
  EXPECT_EQ(ValueOf(images[0]), written);
}

// Two builds of kort (two program files) sharing the store: each keeps
// values of its own for the same data folder, and neither rewrites the
// other's on its jobs.
TEST_F(KortCacheFile, TwoBuildsSharingTheStoreKeepValuesOfTheirOwn) {
  UseCopyBesideData();
  const std::string first = program_;
  const std::string second = program_ + "-other";
  ASSERT_TRUE(testutil::WriteBytes(second, testutil::ReadBytes(first)));
  ASSERT_EQ(chmod(second.c_str(), 0755), 0);
  const ScopedEnv xdg("XDG_CACHE_HOME", dir_.Native("cache").c_str());
  const std::vector<std::string> reference = Answers();
  ASSERT_EQ(reference[0].substr(0, 6), Sjis(u8"東京都")) << testutil::Show(reference[0].c_str());
  ASSERT_EQ(Values("prefectures").size(), 1u);
  const std::size_t values = plat::detail::DerivedStoreEntries().size();
  program_ = second;
  EXPECT_EQ(Answers(), reference);
  const std::vector<plat::detail::DerivedEntry> both = Values("prefectures");
  ASSERT_EQ(both.size(), 2u);
  EXPECT_NE(both[0].build, both[1].build);
  EXPECT_EQ(both[0].folder, both[1].folder);
  EXPECT_EQ(plat::detail::DerivedStoreEntries().size(), 2 * values);
  // Each read, nothing written again, as the builds take turns.
  const std::uint64_t transaction = LastTransaction();
  program_ = first;
  EXPECT_EQ(Answers(), reference);
  program_ = second;
  EXPECT_EQ(Answers(), reference);
  EXPECT_EQ(LastTransaction(), transaction);
}

// 32 data folders (two programs beside each) by 2 builds, taking turns:
// the store keeps the values of all of them, so that once each has met its
// folder no job writes anything (a cache of 64 files rewrote one at every
// job).
TEST_F(KortCacheFile, ThirtyTwoFoldersByTwoBuildsInTurnStayWarm) {
  const std::string built = program_;
  const std::string build[2] = {dir_.Native("build-a"), dir_.Native("build-b")};
  for (const std::string& b : build) {
    ASSERT_TRUE(testutil::WriteBytes(b, testutil::ReadBytes(built)));
    ASSERT_EQ(chmod(b.c_str(), 0755), 0);
  }
  // The store knows a data folder by the folder itself (a link to one is
  // the same folder): each folder has a data folder of its own, whose files
  // are links to one copy of the data (made here, so that the links change
  // no stamp of the build tree's files).
  const std::string data = dir_.Native("data");
  std::error_code ec;
  std::filesystem::copy(std::string(std::getenv("KORT_BUILD_DIR")) + "/Database", data,
                        std::filesystem::copy_options::recursive, ec);
  ASSERT_FALSE(ec) << ec.message();
  // Each folder's programs are links to the two builds (one file each: one
  // stamp), beside a link to the folder's data.
  std::vector<std::string> programs;
  for (int f = 0; f < 32; ++f) {
    const std::string folder = dir_.Native("f" + std::to_string(f));
    ASSERT_TRUE(MakeFolders(folder + "/b0"));
    ASSERT_TRUE(MakeFolders(folder + "/b1"));
    std::filesystem::copy(
        data, folder + "/Database",
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::create_hard_links,
        ec);
    ASSERT_FALSE(ec) << ec.message();
    for (int b = 0; b < 2; ++b) {
      const std::string home = folder + "/b" + std::to_string(b);
      ASSERT_EQ(link(build[b].c_str(), (home + "/kort").c_str()), 0);
      ASSERT_EQ(symlink((folder + "/Database").c_str(), (home + "/Database").c_str()), 0);
      programs.push_back(home + "/kort");
    }
  }
  // What is derived from the data files is kept only once their
  // status-change times, which the links moved to now, lie 2 s in the past.
  const struct timespec settle = {2, 100000000};
  nanosleep(&settle, nullptr);
  const ScopedEnv xdg("XDG_CACHE_HOME", dir_.Native("cache").c_str());
  ASSERT_TRUE(testutil::WriteBytes(job_, Job({"3000", Sjis(u8"千代田区丸の内一丁目"), "0", "1", "0",
                                              "1", "1", "1", "1", "1", "1", "8", "x"})));
  auto answer = [&](const std::string& program) {
    program_ = program;
    std::string out;
    Run({job_, result_, status_}, &out);
    return testutil::ReadBytes(result_) + "|" + testutil::ReadBytes(status_);
  };
  const std::string reference = answer(programs[0]);
  ASSERT_EQ(reference.substr(0, 6), Sjis(u8"東京都")) << testutil::Show(reference.c_str());
  for (const std::string& program : programs) EXPECT_EQ(answer(program), reference) << program;
  const std::uint64_t transaction = LastTransaction();
  ASSERT_NE(transaction, 0u);
  EXPECT_EQ(Values("prefectures").size(), programs.size());
  for (int round = 0; round < 2; ++round) {
    for (const std::string& program : programs) EXPECT_EQ(answer(program), reference) << program;
  }
  EXPECT_EQ(LastTransaction(), transaction) << "a warm job wrote";
}

// The bound: KORT_CACHE_MAX_MB in the environment, else CacheMaxMB of the
// adrslib.ini beside kort, else 256 MiB. A store is made with the bound of
// the job that made it, and a quarter more (room beyond the values, which
// are held to three quarters of the bound), as the size of its map
// (recorded in the store's first page, where LMDB keeps it).
TEST_F(KortCacheFile, TheBoundIsTheEnvironmentsElseAdrslibInisElse256MiB) {
  UseCopyBesideData();
  ASSERT_TRUE(testutil::WriteBytes(job_, Job({"3000", Sjis(u8"千代田区丸の内一丁目"), "0", "1", "0",
                                              "1", "1", "1", "1", "1", "1", "8", "x"})));
  auto boundOfNewStore = [&](const char* ini, const char* environment) -> std::uint64_t {
    std::error_code ec;
    std::filesystem::remove_all(dir_.Native("cache"), ec);
    if (ini)
      EXPECT_TRUE(testutil::WriteBytes(dir_.Native("adrslib.ini"), ini));
    else
      unlink(dir_.Native("adrslib.ini").c_str());
    const ScopedEnv xdg("XDG_CACHE_HOME", dir_.Native("cache").c_str());
    const ScopedEnv bound("KORT_CACHE_MAX_MB", environment);
    std::string out;
    Run({job_, result_, status_}, &out);
    const std::string first = testutil::ReadBytes(StorePath()).substr(0, 40);
    std::uint64_t mapSize = 0;
    if (first.size() == 40) std::memcpy(&mapSize, first.data() + 32, sizeof mapSize);
    return mapSize;
  };
  // The map of a store of a bound of mib MiB.
  auto mapOf = [](std::uint64_t mib) {
    const std::uint64_t bound = mib << 20;
    return bound + bound / 4;
  };
  EXPECT_EQ(boundOfNewStore(nullptr, nullptr), mapOf(256));
  EXPECT_EQ(boundOfNewStore("[AdrsLib]\r\nCalc=0\r\nCacheMaxMB=3\r\n", nullptr), mapOf(3));
  EXPECT_EQ(boundOfNewStore("[AdrsLib]\r\nCacheMaxMB=3\r\n", "5"), mapOf(5));
  EXPECT_EQ(boundOfNewStore("[AdrsLib]\r\nCacheMaxMB=3\r\n", "none"), mapOf(3));
  EXPECT_EQ(boundOfNewStore("[Other]\r\nCacheMaxMB=3\r\n", nullptr), mapOf(256));
  EXPECT_EQ(boundOfNewStore("[AdrsLib]\r\nCacheMaxMB=0\r\n", nullptr), mapOf(256));
}

// kort in a large folder without adrslib.ini: the folder's names are read
// (looking for adrslib.ini) and kept in the store, and opening the store
// reads the bound from adrslib.ini beside kort. The store reads that file
// by itself rather than through the folder's listing, which is being read
// at that moment: the jobs finish, with the answers of a small folder.
TEST_F(KortCacheFile, AJobOfAProgramInALargeFolderReadsTheBoundWithoutWaitingOnItself) {
  ASSERT_TRUE(testutil::WriteBytes(job_, Job({"3000", Sjis(u8"千代田区丸の内一丁目"), "0", "1", "0",
                                              "1", "1", "1", "1", "1", "1", "8", "x"})));
  std::string out;
  Run({job_, result_, status_}, &out);
  const std::string reference = testutil::ReadBytes(result_) + "|" + testutil::ReadBytes(status_);
  ASSERT_EQ(reference.substr(0, 6), Sjis(u8"東京都")) << testutil::Show(reference.c_str());
  const std::string folder = dir_.Native("large");
  UseCopyBesideData(folder);
  for (int i = 0; i < 600; ++i)
    ASSERT_TRUE(
        testutil::WriteBytes(folder + "/filler_" + std::to_string(i) + "_of_a_large.dat", ""));
  struct timespec longAgo[2] = {{1000000, 0}, {1000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, folder.c_str(), longAgo, 0), 0);
  // The folder's names are kept only once its status-change time, which
  // setting its times moved to now, lies 2 s in the past.
  const struct timespec settle { 2, 100000000 };
  nanosleep(&settle, nullptr);
  const ScopedEnv xdg("XDG_CACHE_HOME", dir_.Native("cache").c_str());
  for (int round = 0; round < 3; ++round) {
    Run({job_, result_, status_}, &out);
    EXPECT_EQ(testutil::ReadBytes(result_) + "|" + testutil::ReadBytes(status_), reference);
  }
  EXPECT_FALSE(Values("foldernames").empty()) << "the folder's names were not kept";
}

// A store grown past the bound of later jobs (values of about 1.4 MB: the
// names of a folder of 60,000 files, kept by a job named there in another
// case) is read by them without harm, and every job leaves its status:
// under a lowered bound in the environment and in adrslib.ini.
TEST_F(KortCacheFile, AStoreGrownPastTheBoundOfLaterJobsLeavesEveryStatus) {
  std::vector<std::string> reference;
  ASSERT_NO_FATAL_FAILURE(AnswersWithoutCache(&reference));
  ASSERT_NO_FATAL_FAILURE(UseCopyBesideData(dir_.Native("prog")));
  const ScopedEnv xdg("XDG_CACHE_HOME", dir_.Native("cache").c_str());
  // The job's folder: 60,000 empty files beside the job file.
  const std::string many = dir_.Native("many");
  ASSERT_EQ(mkdir(many.c_str(), 0755), 0);
  for (int i = 0; i < 60000; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/a-file-of-the-user-%06d.dat", i);
    const int fd = open((many + name).c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    close(fd);
  }
  ASSERT_TRUE(
      testutil::WriteBytes(many + "/job.txt", Job({"3000", Sjis(u8"千代田区丸の内一丁目"), "0", "1",
                                                   "0", "1", "1", "1", "1", "1", "1", "8", "x"})));
  sleep(3);  // the folder's stamp settles: its names may be kept
  const std::string otherCase = many + "/JOB.TXT";
  std::string out;
  ASSERT_EQ(Run({otherCase, result_, status_}, &out), 0);
  const std::string answer = testutil::ReadBytes(result_) + "|" + testutil::ReadBytes(status_);
  EXPECT_EQ(answer, reference[0]);
  ASSERT_GT(testutil::ReadBytes(StorePath()).size(), std::size_t{5} << 20 >> 2);
  ASSERT_FALSE(Values("foldernames").empty());
  for (const char* how : {"environment", "adrslib.ini"}) {
    const ScopedEnv bound("KORT_CACHE_MAX_MB", std::string(how) == "environment" ? "1" : nullptr);
    if (std::string(how) == "adrslib.ini") {
      ASSERT_TRUE(
          testutil::WriteBytes(dir_.Native("prog/adrslib.ini"), "[AdrsLib]\r\nCacheMaxMB=1\r\n"));
    }
    for (int i = 0; i < 3; ++i) {
      unlink(status_.c_str());
      EXPECT_EQ(Run({otherCase, result_, status_}, &out), 0) << how;
      EXPECT_EQ(testutil::ReadBytes(result_) + "|" + testutil::ReadBytes(status_), reference[0])
          << how << " " << i;
    }
    EXPECT_EQ(Answers(), reference) << how;
  }
  // A job that wrote put a store within the bound in the large one's place.
  EXPECT_LE(testutil::ReadBytes(StorePath()).size(), (std::size_t{1} << 20) + (1u << 18));
}

// A result or status file named as one of the store's two files, whether
// they exist yet or not, is refused before anything is written: the store
// stays as it was.
TEST_F(KortCacheFile, AResultOrStatusNamedAsTheStoreIsRefused) {
  std::vector<std::string> reference;
  ASSERT_NO_FATAL_FAILURE(AnswersWithoutCache(&reference));
  const ScopedEnv xdg("XDG_CACHE_HOME", dir_.Native("cache").c_str());
  const std::string refused =
      "0\r\n0\r\n" + Sjis(u8"検索結果ファイルにキャッシュのファイルは指定できません！") + "\r\n";
  ASSERT_TRUE(testutil::WriteBytes(job_, Job({"3000", Sjis(u8"千代田区丸の内一丁目"), "0", "1", "0",
                                              "1", "1", "1", "1", "1", "1", "8", "x"})));
  std::string out;
  // Before there is a store: nothing is made under the name.
  ASSERT_TRUE(MakeFolders(dir_.Native("cache/kort")));
  ASSERT_EQ(chmod(dir_.Native("cache/kort").c_str(), 0700), 0);
  EXPECT_EQ(Run({job_, StorePath(), status_}, &out), 0);
  EXPECT_EQ(testutil::ReadBytes(status_), refused);
  EXPECT_FALSE(testutil::Exists(StorePath()));
  EXPECT_EQ(Answers(), reference);  // the store made by the jobs
  const std::string store = testutil::ReadBytes(StorePath());
  ASSERT_FALSE(store.empty());
  for (const std::string& name :
       {StorePath(), StorePath() + "-lock", dir_.Native("cache/./kort/store.mdb")}) {
    unlink(status_.c_str());
    EXPECT_EQ(Run({job_, name, status_}, &out), 0) << name;
    EXPECT_EQ(testutil::ReadBytes(status_), refused) << name;
    EXPECT_EQ(testutil::ReadBytes(StorePath()), store) << name;
    // As the status name: nothing written, exit 1.
    EXPECT_EQ(Run({job_, result_, name}, &out), 1) << name;
    EXPECT_EQ(testutil::ReadBytes(StorePath()), store) << name;
  }
  EXPECT_EQ(Answers(), reference);
}

// In copies of a warmed store, each use record's size damaged and each bit
// of the user pair 紫の / 紫野 in the dictionaries' image flipped: every job
// leaves its status within 10 s and answers as with no cache.
TEST_F(KortCacheFile, DamagedUseRecordsAndBitsOfTheUserPairChangeNoAnswer) {
  ASSERT_TRUE(testutil::WriteBytes(job_, Job({"3000", Sjis(u8"京都府京都市北区紫の大徳寺町"), "0",
                                              "1", "0", "1", "1", "1", "1", "1", "1", "8", "x"})));
  auto answer = [&]() {
    unlink(result_.c_str());
    unlink(status_.c_str());
    std::string out;
    const int code = RunWithin(10, {job_, result_, status_}, &out);
    return std::to_string(code) + "|" + testutil::ReadBytes(result_) + "|" +
           testutil::ReadBytes(status_);
  };
  std::string reference;
  {
    ASSERT_TRUE(testutil::WriteBytes(dir_.Native("plain"), "x"));
    const ScopedEnv xdg("XDG_CACHE_HOME", dir_.Native("plain").c_str());
    reference = answer();
  }
  ASSERT_NE(reference.find(Sjis(u8"紫野")), std::string::npos) << testutil::Show(reference.c_str());
  const ScopedEnv xdg("XDG_CACHE_HOME", dir_.Native("cache").c_str());
  ASSERT_EQ(answer(), reference);
  ASSERT_EQ(answer(), reference);
  const std::string warm = testutil::ReadBytes(StorePath());
  std::vector<std::pair<std::string, std::string>> copies;
  for (const std::size_t at : testutil::UseRecordSizeOffsets(warm)) {
    std::string damaged = warm;
    damaged[at + 1] = static_cast<char>(damaged[at + 1] | 0x80);
    copies.emplace_back("use record size at " + std::to_string(at), damaged);
  }
  ASSERT_GE(copies.size(), 3u);
  std::size_t pairs = 0;
  for (const std::string& text : {Sjis(u8"紫の"), Sjis(u8"紫野")}) {
    for (std::size_t at = warm.find(text); at != std::string::npos; at = warm.find(text, at + 1)) {
      ++pairs;
      for (std::size_t bit = 0; bit < text.size() * 8; ++bit) {
        std::string damaged = warm;
        damaged[at + bit / 8] = static_cast<char>(damaged[at + bit / 8] ^ (1 << (bit % 8)));
        copies.emplace_back("bit " + std::to_string(bit) + " at " + std::to_string(at), damaged);
      }
    }
  }
  ASSERT_GE(pairs, 2u);
  for (const auto& [what, damaged] : copies) {
    ASSERT_TRUE(testutil::WriteBytes(StorePath(), damaged));
    ASSERT_EQ(chmod(StorePath().c_str(), 0600), 0);
    EXPECT_EQ(answer(), reference) << what;
    // And again, from the store the job left.
    EXPECT_EQ(answer(), reference) << what;
  }
}

}  // namespace
