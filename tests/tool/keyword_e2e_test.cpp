// Keyword-search jobs (kind 1) run by the built kort on the generated data,
// with the work files going to a scratch TMPDIR.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/test_util.h"
#include "tool/job_test_util.h"

namespace {

using korttest::Job;
using testutil::Show;
using testutil::Sjis;

class KeywordJob : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* build = std::getenv("KORT_BUILD_DIR");
    if (!build || !*build) GTEST_SKIP() << "KORT_BUILD_DIR is not set";
    program_ = std::string(build) + "/kort";
    temp_ = dir_.Native("tmp");
    ASSERT_EQ(mkdir(temp_.c_str(), 0755), 0);
  }

  // Runs a kind-1 job: type, text, row limit, 検索文字列区分, reading format
  // and flags word; the other options 1. Returns the status file.
  std::string Run(const char* type, const std::string& text, const char* limit,
                  const char* kind = "1", const char* flags = "8", const char* readingFormat = "1") {
    EXPECT_TRUE(testutil::WriteBytes(dir_.Native("job.txt"),
                                     Job({"1", type, text, limit, kind, "1", "1", "1", "1",
                                          readingFormat, flags, "x"})));
    EXPECT_TRUE(testutil::WriteBytes(dir_.Native("result.txt"), "old"));
    const pid_t pid = fork();
    if (pid == 0) {
      setenv("TMPDIR", temp_.c_str(), 1);
      const std::string job = dir_.Native("job.txt"), result = dir_.Native("result.txt"),
                        status = dir_.Native("status.txt");
      execl(program_.c_str(), program_.c_str(), job.c_str(), result.c_str(), status.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(NoWorkFilesLeft()) << Show(text);
    return testutil::ReadBytes(dir_.Native("status.txt"));
  }
  std::string Result() { return testutil::ReadBytes(dir_.Native("result.txt")); }
  bool HasResult() { return testutil::Exists(dir_.Native("result.txt")); }

  bool NoWorkFilesLeft() {
    DIR* dir = opendir(temp_.c_str());
    if (!dir) return false;
    bool empty = true;
    while (const dirent* e = readdir(dir)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") empty = false;
    }
    closedir(dir);
    return empty;
  }

  testutil::TempDir dir_;
  std::string program_, temp_;
};

const std::string kOk = "1\r\n0\r\n\r\n";
std::string NoData(const char8_t* text) {
  return "0\r\n0\r\n" + Sjis(u8"対象データがありません！[") + Sjis(text) + "]\r\n";
}

const std::string kMarunouchi = Sjis(u8"丸の内");
// The aza rows of 丸の内 (type 2), style 2: 14 fields, postal code last.
const std::string kChome1 = Sjis(u8"東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,,,"
                                 u8"128446464,503165554,13101001001,0,1000005\r\n");
const std::string kChome2 = Sjis(u8"東京都,千代田区,ちよだく,丸の内,まるのうち,二丁目,にちょうめ,,,"
                                 u8"128436383,503158353,13101001002,0,1000005\r\n");
const std::string kChome3 = Sjis(u8"東京都,千代田区,ちよだく,丸の内,まるのうち,三丁目,さんちょうめ,,,"
                                 u8"128425582,503156552,13101001003,0,1000005\r\n");

TEST_F(KeywordJob, RowsOfEachType) {
  EXPECT_EQ(Run("2", kMarunouchi, "-1"), kOk);
  EXPECT_EQ(Show(Result()), Show(kChome1 + kChome2 + kChome3));
  // Type 1: the oaza row, with its group code and an empty postal code.
  EXPECT_EQ(Run("1", kMarunouchi, "-1"), kOk);
  EXPECT_EQ(Show(Result()), Show(Sjis(u8"東京都,千代田区,ちよだく,丸の内,まるのうち,,,,,128440703,"
                                      u8"503165554,1310101,0,\r\n")));
  // Type 0: the municipality row.
  EXPECT_EQ(Run("0", Sjis(u8"千代田"), "-1"), kOk);
  EXPECT_EQ(Show(Result()), Show(Sjis(u8"東京都,千代田区,ちよだく,,,,,,,128486800,503124494,13101,"
                                      u8"0,\r\n")));
  // Types 1 and 2 leave out a municipality that has oaza rows.
  EXPECT_EQ(Show(Run("1", Sjis(u8"千代田"), "-1")), Show(NoData(u8"千代田")));
  EXPECT_FALSE(HasResult());
  // Reading format 2 rewrites the readings of the municipality and the oaza.
  EXPECT_EQ(Run("1", kMarunouchi, "-1", "1", "8", "2"), kOk);
  EXPECT_EQ(Show(Result()), Show(Sjis(u8"東京都,千代田区,チヨダク,丸の内,マルノウチ,,,,,128440703,"
                                      u8"503165554,1310101,0,\r\n")));
  // The basic dataset (flags 0) searches these levels too.
  EXPECT_EQ(Run("2", kMarunouchi, "-1", "1", "0"), kOk);
  EXPECT_EQ(Show(Result()), Show(kChome1 + kChome2 + kChome3));
}

TEST_F(KeywordJob, BadTypeAndRetryWithoutOaza) {
  EXPECT_EQ(Show(Run("5", kMarunouchi, "-1")), Show(NoData(u8"丸の内")));
  EXPECT_FALSE(HasResult());
  EXPECT_EQ(Show(Run("-1", kMarunouchi, "-1")), Show(NoData(u8"丸の内")));
  // Nothing found: searched again without 大字, and that text is quoted.
  EXPECT_EQ(Show(Run("2", Sjis(u8"大字日本橋"), "-1")), Show(NoData(u8"日本橋")));
  EXPECT_FALSE(HasResult());
  EXPECT_EQ(Run("2", Sjis(u8"大字丸の内"), "-1"), kOk);
  EXPECT_EQ(Show(Result()), Show(kChome1 + kChome2 + kChome3));
}

TEST_F(KeywordJob, RowLimitSetsTheInterruptedFlag) {
  EXPECT_EQ(Run("2", kMarunouchi, "2"), "1\r\n1\r\n\r\n");
  EXPECT_EQ(Show(Result()), Show(kChome1 + kChome2));
  // Exactly as many hits as the limit: not interrupted.
  EXPECT_EQ(Run("2", kMarunouchi, "3"), kOk);
  // Flags 65535 turns the limit 0 into 5: type 1 "町" has 11 hits.
  EXPECT_EQ(Run("1", Sjis(u8"町"), "0", "1", "65535"), "1\r\n1\r\n\r\n");
  std::string rows = Result();
  int lines = 0;
  for (char c : rows) lines += c == '\n';
  EXPECT_EQ(lines, 5);
  // Limit 0 otherwise means no limit.
  EXPECT_EQ(Run("1", Sjis(u8"町"), "0"), kOk);
  rows = Result();
  lines = 0;
  for (char c : rows) lines += c == '\n';
  EXPECT_EQ(lines, 11);
}

TEST_F(KeywordJob, SearchTextKindGatesTheText) {
  // 検索文字列区分 2 (hiragana): a kanji text is refused.
  EXPECT_EQ(Show(Run("2", kMarunouchi, "-1", "2")), Show(NoData(u8"丸の内")));
  // A hiragana text searches the readings.
  EXPECT_EQ(Run("2", Sjis(u8"まるのうち"), "-1", "2"), kOk);
  EXPECT_EQ(Show(Result()), Show(kChome1 + kChome2 + kChome3));
  EXPECT_EQ(Run("0", Sjis(u8"ちよだ"), "-1", "2"), kOk);
  EXPECT_NE(Result().find(Sjis(u8",千代田区,")), std::string::npos);
  // An option out of range.
  EXPECT_EQ(Show(Run("2", kMarunouchi, "-1", "5")),
            Show("0\r\n0\r\n" + Sjis(u8"パラメータに無効な値が渡されました！(検索文字列区分)") + "\r\n"));
}

}  // namespace
