// The built kort program, run on job files in a scratch folder.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_util.h"
#include "tool/job_test_util.h"
#include "tool/kort_program.h"

namespace {

using korttest::Job;
using korttest::KortProgram;
using korttest::Scramble;

TEST_F(KortProgram, ChecksNamesRemovesOldOutputsAndReportsUnreadableJobs) {
  ASSERT_TRUE(testutil::WriteBytes(job_, "7\r\n"));
  ASSERT_TRUE(testutil::WriteBytes(result_, "old"));
  ASSERT_TRUE(testutil::WriteBytes(status_, "old"));
  std::string out;
  for (const auto& params :
       {std::vector<std::string>{job_, result_}, std::vector<std::string>{job_, result_, ""}}) {
    EXPECT_EQ(Run(params, &out), 0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(testutil::ReadBytes(result_), "old");
    EXPECT_EQ(testutil::ReadBytes(status_), "old");
  }
  // Kind 7 with absolute paths: the old outputs go, nothing new appears.
  EXPECT_EQ(Run({job_, result_, status_}, &out), 0);
  EXPECT_FALSE(testutil::Exists(result_));
  EXPECT_FALSE(testutil::Exists(status_));
  // A missing line is reported in the status file.
  ASSERT_TRUE(testutil::WriteBytes(job_, Job({"2000", "1000005", "1", "1", "1", "1"})));
  Run({job_, result_, status_}, &out);
  EXPECT_EQ(testutil::ReadBytes(status_),
            "0\r\n0\r\n" + testutil::Sjis(u8"検索条件の読み込みに失敗しました！") + "\r\n");
  EXPECT_FALSE(testutil::Exists(result_));
}

TEST_F(KortProgram, ScrambledJobIsRewrittenAsPlainTextAndRun) {
  const std::string plain = Job({"2000", "12345678", "1", "1", "1", "1", "1", "8", "x"});
  ASSERT_TRUE(testutil::WriteBytes(job_, Scramble(plain, 3, 4, 5)));
  std::string out;
  Run({job_, result_, status_}, &out);
  EXPECT_EQ(testutil::ReadBytes(job_), plain);
  // The postal-code search finds nothing without data: a failure with its message.
  const std::string status = testutil::ReadBytes(status_);
  EXPECT_EQ(status.substr(0, 6), "0\r\n0\r\n");
  EXPECT_EQ(status.substr(status.size() - 2), "\r\n");
  EXPECT_GT(status.size(), 8u);
}

// ---- Address matching on the generated data (Database/住所 beside kort) ----

// A kind-3000 job: address, match flags 0, number-unit value 1, estimation
// flag, options 1 (kanji text, Tokyo datum, milliseconds, formats as stored),
// the flags word and the dataset line.
std::string MatchJob(const std::string& address, const char* flags, const char* estimation = "0",
                     const char* readingFormat = "1") {
  return Job(
      {"3000", address, "0", "1", estimation, "1", "1", "1", "1", "1", readingFormat, flags, "x"});
}

// A folder path far beyond the old 512-byte path buffers (about 600 bytes
// before the data folder's own name): the copy of kort there answers a
// match, a postal-code and a reverse-geocoding job as the one in the build
// folder does.
TEST_F(KortProgram, AnswersJobsFromADeepProgramFolder) {
  const std::vector<std::string> jobs = {
      MatchJob(testutil::Sjis(u8"東京都千代田区丸の内一丁目"), "8"),
      Job({"2000", "1000005", "1", "1", "1", "1", "1", "8", "x"}),
      Job({"4000", "128446464", "503165554", "1", "1", "1", "1", "1", "8", "x"})};
  std::vector<std::string> expected;
  std::string out;
  for (const std::string& job : jobs) {
    ASSERT_TRUE(testutil::WriteBytes(job_, job));
    Run({job_, result_, status_}, &out);
    ASSERT_EQ(testutil::ReadBytes(status_).substr(0, 3), "1\r\n") << job;
    expected.push_back(testutil::ReadBytes(result_));
    ASSERT_FALSE(expected.back().empty()) << job;
  }

  std::string deep = dir_.Native("deep");
  while (deep.size() < 600) deep += "/" + std::string(60, 'd');
  UseCopyBesideData(deep);
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    ASSERT_TRUE(testutil::WriteBytes(job_, jobs[i]));
    ASSERT_TRUE(testutil::WriteBytes(result_, ""));
    Run({job_, result_, status_}, &out);
    EXPECT_EQ(testutil::ReadBytes(status_).substr(0, 3), "1\r\n") << testutil::ReadBytes(status_);
    EXPECT_EQ(testutil::Show(testutil::ReadBytes(result_)), testutil::Show(expected[i])) << jobs[i];
  }
}

std::string U8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

// Result and status names whose CP932 form is another name (¥ is 0x5C, the
// separator; 〜 and − are ～ and － there): kort writes under the names
// given, byte for byte what the plain names get, and res/old.txt and
// res/st.txt stay as they were.
TEST_F(KortProgram, ResultAndStatusNamesWhoseCp932FormIsAnotherNameNameTheirOwnFiles) {
  ASSERT_TRUE(
      testutil::WriteBytes(job_, Job({"2000", "1000005", "1", "1", "1", "1", "1", "8", "x"})));
  std::string out;
  ASSERT_EQ(Run({job_, result_, status_}, &out), 0);
  const std::string result = testutil::ReadBytes(result_);
  const std::string status = testutil::ReadBytes(status_);
  ASSERT_EQ(status.substr(0, 3), "1\r\n");
  ASSERT_FALSE(result.empty());

  ASSERT_EQ(mkdir((folder_ + "/res").c_str(), 0755), 0);
  ASSERT_TRUE(testutil::WriteBytes(folder_ + "/res/old.txt", "old result"));
  ASSERT_TRUE(testutil::WriteBytes(folder_ + "/res/st.txt", "old status"));
  const struct {
    const char8_t *result, *status, *lookalike;
  } cases[] = {{u8"res¥old.txt", u8"res¥st.txt", nullptr},
               {u8"r〜.txt", u8"s〜.txt", u8"s～.txt"},
               {u8"r−.txt", u8"s−.txt", u8"s－.txt"}};
  for (const auto& c : cases) {
    const std::string resultName = folder_ + "/" + U8(c.result);
    const std::string statusName = folder_ + "/" + U8(c.status);
    EXPECT_EQ(Run({job_, resultName, statusName}, &out), 0);
    EXPECT_EQ(testutil::Show(testutil::ReadBytes(resultName)), testutil::Show(result))
        << U8(c.result);
    EXPECT_EQ(testutil::ReadBytes(statusName), status) << U8(c.status);
    if (c.lookalike) {
      EXPECT_FALSE(testutil::Exists(folder_ + "/" + U8(c.lookalike)));
    }
  }
  EXPECT_EQ(testutil::ReadBytes(folder_ + "/res/old.txt"), "old result");
  EXPECT_EQ(testutil::ReadBytes(folder_ + "/res/st.txt"), "old status");
}

// Job, result and status named in raw CP932 bytes (not UTF-8), each with a
// character whose second byte is 0x5C (表 95 5C, ソ 83 5C, 能 94 5C, 十 8F
// 5C): kort reads and writes exactly the files of those bytes, and the old
// result and status of those names give way to this job's.
TEST_F(KortProgram, RawCp932NamesWithATrailBackslashNameExactlyTheirFiles) {
  const std::string job = Job({"2000", "1000005", "1", "1", "1", "1", "1", "8", "x"});
  ASSERT_TRUE(testutil::WriteBytes(job_, job));
  std::string out;
  ASSERT_EQ(Run({job_, result_, status_}, &out), 0);
  const std::string result = testutil::ReadBytes(result_);
  const std::string status = testutil::ReadBytes(status_);
  ASSERT_EQ(status.substr(0, 3), "1\r\n");
  ASSERT_FALSE(result.empty());
  ASSERT_EQ(unlink(job_.c_str()), 0);
  ASSERT_EQ(unlink(result_.c_str()), 0);
  ASSERT_EQ(unlink(status_.c_str()), 0);

  const std::string jobName = folder_ + "/\x95\x5C\x83\x5C.txt";
  const std::string resultName = folder_ + "/\x94\x5C.txt";
  const std::string statusName = folder_ + "/\x8F\x5C.txt";
  ASSERT_TRUE(testutil::WriteBytes(jobName, job));
  ASSERT_TRUE(testutil::WriteBytes(resultName, "old result"));
  ASSERT_TRUE(testutil::WriteBytes(statusName, "1\r\n3\r\n\r\n"));
  EXPECT_EQ(Run({jobName, resultName, statusName}, &out), 0);
  EXPECT_EQ(testutil::Show(testutil::ReadBytes(statusName)), testutil::Show(status));
  EXPECT_EQ(testutil::Show(testutil::ReadBytes(resultName)), testutil::Show(result));
  EXPECT_EQ(testutil::ReadBytes(jobName), job);
  // Nothing else appeared in the folder.
  EXPECT_EQ(testutil::FolderNames(folder_),
            (std::vector<std::string>{"\x8F\x5C.txt", "\x94\x5C.txt", "\x95\x5C\x83\x5C.txt"}));

  // The same in a folder named so (ソ表): its trail bytes separate nothing.
  const std::string raw = folder_ + "/\x83\x5C\x95\x5C";
  ASSERT_EQ(mkdir(raw.c_str(), 0755), 0);
  ASSERT_TRUE(testutil::WriteBytes(raw + "/job.txt", job));
  ASSERT_TRUE(testutil::WriteBytes(raw + "/st.txt", "1\r\n3\r\n\r\n"));
  EXPECT_EQ(Run({raw + "/job.txt", raw + "/res.txt", raw + "/st.txt"}, &out), 0);
  EXPECT_EQ(testutil::Show(testutil::ReadBytes(raw + "/st.txt")), testutil::Show(status));
  EXPECT_EQ(testutil::Show(testutil::ReadBytes(raw + "/res.txt")), testutil::Show(result));
  EXPECT_EQ(testutil::FolderNames(raw), (std::vector<std::string>{"job.txt", "res.txt", "st.txt"}));
}

// A status that cannot be written (its folder is missing, or the name is a
// folder) ends kort with a non-zero exit code; a status written gives 0.
TEST_F(KortProgram, ExitsNonZeroWhenItsStatusCannotBeWritten) {
  ASSERT_TRUE(
      testutil::WriteBytes(job_, Job({"2000", "1000005", "1", "1", "1", "1", "1", "8", "x"})));
  std::string out;
  ASSERT_EQ(mkdir((folder_ + "/dir").c_str(), 0755), 0);
  for (const std::string& statusName : {folder_ + "/none/status.txt", folder_ + "/dir"}) {
    EXPECT_NE(Run({job_, result_, statusName}, &out), 0) << statusName;
    EXPECT_FALSE(testutil::Exists(result_));
  }
  // An unreadable job with the status in a missing folder: non-zero too.
  EXPECT_NE(Run({folder_ + "/none.txt", result_, folder_ + "/none/status.txt"}, &out), 0);
  // A status that the disk does not take: the earlier run's is gone all
  // the same, never left to read as this job's.
  ASSERT_TRUE(testutil::WriteBytes(status_, "1\r\n0\r\n\r\n"));
  {
    testutil::FileSizeLimit limit(4);
    EXPECT_NE(Run({job_, result_, status_}, &out), 0);
  }
  EXPECT_FALSE(testutil::Exists(status_));
  EXPECT_FALSE(testutil::Exists(result_));
  EXPECT_EQ(Run({job_, result_, status_}, &out), 0);
  EXPECT_EQ(testutil::ReadBytes(status_).substr(0, 3), "1\r\n");
}

// A result or status name that is the job file, the program or a file of the
// data folder (the same file: in another case, through a link) is refused
// before anything is removed. A refused result name ends the job with a
// status that says why; a refused status name is written over no more than
// anything else: the job ends with exit code 1 and every file as it was.
TEST_F(KortProgram, AResultOrStatusNamedAsTheJobTheProgramOrADataFileIsRefused) {
  // A copy of kort beside a copy of the data folder, so that nothing of the
  // build's is at stake.
  const std::string data = dir_.Native(U8(u8"Database/住所"));
  ASSERT_TRUE(MakeFolders(data));
  for (const auto& entry : std::filesystem::directory_iterator(
           std::string(std::getenv("KORT_BUILD_DIR")) + U8(u8"/Database/住所")))
    std::filesystem::copy_file(entry.path(), data + "/" + entry.path().filename().string());
  const std::string kort = dir_.Native("kort");
  ASSERT_TRUE(testutil::WriteBytes(kort, testutil::ReadBytes(program_)));
  ASSERT_EQ(chmod(kort.c_str(), 0755), 0);
  program_ = kort;
  const std::string job = Job({"2000", "1000005", "1", "1", "1", "1", "1", "8", "x"});
  const std::string jobName = folder_ + "/job.txt";
  ASSERT_TRUE(testutil::WriteBytes(jobName, job));
  ASSERT_EQ(symlink(jobName.c_str(), (folder_ + "/link.txt").c_str()), 0);
  const std::string ndb = testutil::ReadBytes(data + "/QVAD13.NDB");
  const std::string programBytes = testutil::ReadBytes(kort);
  ASSERT_FALSE(ndb.empty());
  const auto unchanged = [&](const std::string& where) {
    EXPECT_EQ(testutil::ReadBytes(jobName), job) << where;
    EXPECT_TRUE(testutil::ReadBytes(data + "/QVAD13.NDB") == ndb) << where;
    EXPECT_TRUE(testutil::ReadBytes(kort) == programBytes) << where;
  };
  std::string out;

  // The messages (narrow literals are CP932).
  const std::string job8 = "検索結果ファイルに検索条件ファイルは指定できません！";
  const std::string program8 = "検索結果ファイルにプログラムは指定できません！";
  const std::string data8 = "検索結果ファイルにデータフォルダのファイルは指定できません！";
  const struct {
    std::string name, message;
  } results[] = {
      {jobName, job8},
      {folder_ + "/JOB.TXT", job8},
      {folder_ + "/link.txt", job8},
      {kort, program8},
      {data + "/qvad13.ndb", data8},
      {dir_.Native(U8(u8"database/住所/QVAD13.NDB")), data8},
  };
  for (const auto& r : results) {
    ASSERT_TRUE(testutil::WriteBytes(status_, "old status"));
    EXPECT_EQ(Run({jobName, r.name, status_}, &out), 0) << r.name;
    EXPECT_EQ(testutil::Show(testutil::ReadBytes(status_)),
              testutil::Show("0\r\n0\r\n" + r.message + "\r\n"))
        << r.name;
    unchanged(r.name);
  }

  ASSERT_TRUE(testutil::WriteBytes(result_, "old result"));
  for (const std::string& statusName :
       {jobName, folder_ + "/Job.Txt", kort, data + "/QVAD13.NDB"}) {
    EXPECT_EQ(Run({jobName, result_, statusName}, &out), 1) << statusName;
    unchanged(statusName);
    EXPECT_EQ(testutil::ReadBytes(result_), "old result") << statusName;
  }

  // Another name beside them is the job's to write.
  EXPECT_EQ(Run({jobName, result_, status_}, &out), 0);
  EXPECT_EQ(testutil::ReadBytes(status_).substr(0, 3), "1\r\n");
  unchanged("a plain job");
}

// A program folder whose name has ¥, 〜 or − finds Database/住所 beside the
// program and answers as the build folder's kort does.
TEST_F(KortProgram, FindsItsDataInAProgramFolderWhoseCp932FormIsAnotherFolder) {
  const std::vector<std::string> jobs = {
      MatchJob(testutil::Sjis(u8"東京都千代田区丸の内一丁目"), "8"),
      Job({"2000", "1000005", "1", "1", "1", "1", "1", "8", "x"})};
  std::vector<std::string> results, statuses;
  std::string out;
  for (const std::string& job : jobs) {
    ASSERT_TRUE(testutil::WriteBytes(job_, job));
    Run({job_, result_, status_}, &out);
    statuses.push_back(testutil::ReadBytes(status_));
    ASSERT_EQ(statuses.back().substr(0, 3), "1\r\n") << job;
    results.push_back(testutil::ReadBytes(result_));
  }
  for (const char8_t* folder : {u8"p〜q", u8"p−q", u8"p¥q/bin"}) {
    UseCopyBesideData(dir_.Native(U8(folder)));
    for (std::size_t i = 0; i < jobs.size(); ++i) {
      ASSERT_TRUE(testutil::WriteBytes(job_, jobs[i]));
      Run({job_, result_, status_}, &out);
      EXPECT_EQ(testutil::Show(testutil::ReadBytes(status_)), testutil::Show(statuses[i]))
          << U8(folder);
      EXPECT_EQ(testutil::Show(testutil::ReadBytes(result_)), testutil::Show(results[i]))
          << U8(folder);
    }
  }
}

const std::string kMarunouchi = testutil::Sjis(u8"東京都千代田区丸の内一丁目");

TEST_F(KortProgram, MatchJobWritesOneLineAndAnEmptyStatusMessage) {
  ASSERT_TRUE(testutil::WriteBytes(job_, MatchJob(kMarunouchi, "8")));
  std::string out;
  EXPECT_EQ(Run({job_, result_, status_}, &out), 0);
  EXPECT_EQ(out, "");
  // 17 columns: the chome row 13101001001 of tools/sampledata/data/oaza.tsv,
  // level 4, the whole input matched, postal code 1000005.
  EXPECT_EQ(testutil::Show(testutil::ReadBytes(result_)),
            testutil::Show(testutil::Sjis(u8"東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,"
                                          u8"いっちょうめ,,,128446464,503165554,13101001001,0,4,1,,"
                                          u8"1000005\r\n")));
  EXPECT_EQ(testutil::ReadBytes(status_), "1\r\n0\r\n\r\n");
}

TEST_F(KortProgram, MatchJobFailuresLeaveOnlyTheStatus) {
  const struct {
    std::string job;
    std::string message;
  } cases[] = {
      // Flags 0: the basic dataset, whose matching is switched off.
      {MatchJob(kMarunouchi, "0"),
       testutil::Sjis(u8"対象データがありません！[東京都千代田区丸の内一丁目]")},
      // Flags 65535 selects the extended dataset too; 大阪府 has no data.
      {MatchJob(testutil::Sjis(u8"大阪府大阪市北区"), "65535"),
       testutil::Sjis(u8"対象データがありません！[大阪府大阪市北区]")},
      {MatchJob(kMarunouchi, "8", "0", "4"),
       testutil::Sjis(u8"パラメータに無効な値が渡されました！(出力よみ書式)")},
      {MatchJob(kMarunouchi, "8", "2"),
       testutil::Sjis(u8"パラメータに無効な値が渡されました！(推定機能フラグ)")},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(testutil::WriteBytes(result_, "old"));
    ASSERT_TRUE(testutil::WriteBytes(job_, c.job));
    std::string out;
    Run({job_, result_, status_}, &out);
    EXPECT_FALSE(testutil::Exists(result_)) << testutil::Show(c.message);
    EXPECT_EQ(testutil::Show(testutil::ReadBytes(status_)),
              testutil::Show("0\r\n0\r\n" + c.message + "\r\n"));
  }
}

TEST_F(KortProgram, CalcOfAdrslibIniSwitchesTheHistoryCheckOfTheEstimation) {
  // kort copied into the scratch folder, with the data folder beside it and
  // its own adrslib.ini.
  UseCopyBesideData();
  // 丸の内二丁目 has blocks 4 and 6 around 5; block 6 is not 住居表示.
  const std::string job = MatchJob(testutil::Sjis(u8"東京都千代田区丸の内二丁目５"), "8", "1");
  const struct {
    const char* ini;  // null: no file
    const char* point;
  } cases[] = {
      // Check on: block 4 alone, its point.
      {nullptr, "128432783,503164113"},
      {"[AdrsLib]\r\nCalc=0\r\n", "128432783,503164113"},
      // Check off: halfway between blocks 4 and 6, truncated.
      {"[AdrsLib]\r\nCalc=1\r\n", "128431342,503161953"},
  };
  for (const auto& c : cases) {
    if (c.ini) {
      ASSERT_TRUE(testutil::WriteBytes(dir_.Native("adrslib.ini"), c.ini));
    }
    ASSERT_TRUE(testutil::WriteBytes(job_, job));
    std::string out;
    Run({job_, result_, status_}, &out);
    EXPECT_EQ(testutil::Show(testutil::ReadBytes(result_)),
              testutil::Show(testutil::Sjis(u8"東京都,千代田区,ちよだく,丸の内,まるのうち,二丁目,"
                                            u8"にちょうめ,５,,") +
                             c.point + ",1310100100200005,0,5,1,,1000005\r\n"))
        << (c.ini ? c.ini : "no ini");
  }
}

// ---- Messages that quote a long text ----

// The status of a failing job: its message whole, closing bracket included,
// in the job's 1,024-byte message buffer.
TEST_F(KortProgram, AnswersLongCodeMessageWhole) {
  const std::string code(650, '7');
  ASSERT_TRUE(testutil::WriteBytes(job_, Job({"1000", code, "-1", "1", "1", "1", "8", "x"})));
  std::string out;
  Run({job_, result_, status_}, &out);
  const std::string message = testutil::Sjis(u8"コードの長さを確認してください！(") + code + ")";
  EXPECT_EQ(testutil::ReadBytes(status_), "0\r\n0\r\n" + message + "\r\n");
  EXPECT_FALSE(testutil::Exists(result_));
}

TEST_F(KortProgram, AnswersLongNoDataMessagesWhole) {
  // 607 bytes that no search finds, with trail bytes 0x5C (ソ) in it.
  std::string text;
  while (text.size() + 2 <= 600) text += testutil::Sjis(u8"ソ");
  text += "qz1ab7x";
  ASSERT_EQ(text.size(), 607u);
  const std::string message = testutil::Sjis(u8"対象データがありません！[") + text + "]";
  ASSERT_EQ(message.size(), 633u);
  const std::vector<std::string> jobs = {
      Job({"1", "0", text, "100", "1", "1", "1", "1", "1", "1", "8", "x"}),
      Job({"1000", text, "-1", "1", "1", "1", "8", "x"}),
      Job({"2000", text, "1", "1", "1", "1", "1", "8", "x"}),
  };
  for (const std::string& job : jobs) {
    ASSERT_TRUE(testutil::WriteBytes(job_, job));
    std::string out;
    Run({job_, result_, status_}, &out);
    EXPECT_EQ(testutil::Show(testutil::ReadBytes(status_)),
              testutil::Show("0\r\n0\r\n" + message + "\r\n"))
        << job.substr(0, 5);
  }
}

// ---- A program whose own path cannot be read ----

// Removes the tree under the folder fd (closed here), entry by entry through
// descriptors, so that paths beyond PATH_MAX go too.
void RemoveTreeAt(int fd) {
  DIR* dir = fdopendir(fd);
  if (!dir) {
    close(fd);
    return;
  }
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    const int child = openat(dirfd(dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (child >= 0) {
      RemoveTreeAt(child);
      unlinkat(dirfd(dir), name.c_str(), AT_REMOVEDIR);
    } else {
      unlinkat(dirfd(dir), name.c_str(), 0);
    }
  }
  closedir(dir);
}

// kort run from a folder whose path is longer than PATH_MAX: it cannot read
// its own path, so it does not search "/Database/住所" in place of its own
// data folder but ends with a status that says why.
TEST_F(KortProgram, EndsWithAStatusWhenItsOwnPathCannotBeRead) {
  const std::string top = dir_.Native("long");
  ASSERT_EQ(mkdir(top.c_str(), 0755), 0);
  int fd = open(top.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  const std::string part(200, 'd');
  for (std::size_t depth = 0; depth * (part.size() + 1) <= PATH_MAX; ++depth) {
    ASSERT_EQ(mkdirat(fd, part.c_str(), 0755), 0);
    const int next = openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY);
    close(fd);
    ASSERT_GE(next, 0);
    fd = next;
  }
  // The program copied into the deepest folder.
  const std::string bytes = testutil::ReadBytes(program_);
  const int exe = openat(fd, "kort", O_WRONLY | O_CREAT | O_TRUNC, 0755);
  ASSERT_GE(exe, 0);
  ASSERT_EQ(write(exe, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  close(exe);

  const std::string job = Job({"2000", "1000005", "1", "1", "1", "1", "1", "8", "x"});
  ASSERT_TRUE(testutil::WriteBytes(job_, job));
  ASSERT_TRUE(testutil::WriteBytes(result_, "old"));
  const pid_t pid = fork();
  if (pid == 0) {
    if (fchdir(fd) != 0) _exit(126);
    char* argv[] = {const_cast<char*>("./kort"), const_cast<char*>(job_.c_str()),
                    const_cast<char*>(result_.c_str()), const_cast<char*>(status_.c_str()),
                    nullptr};
    execv("./kort", argv);
    _exit(127);
  }
  close(fd);
  int wstatus = -1;
  ASSERT_EQ(waitpid(pid, &wstatus, 0), pid);
  EXPECT_TRUE(WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0) << wstatus;
  EXPECT_EQ(testutil::Show(testutil::ReadBytes(status_)),
            testutil::Show("0\r\n0\r\n" +
                           testutil::Sjis(u8"プログラムフォルダの取得に失敗しました！") + "\r\n"));
  EXPECT_FALSE(testutil::Exists(result_));
  RemoveTreeAt(open(top.c_str(), O_RDONLY | O_DIRECTORY));
}

}  // namespace
