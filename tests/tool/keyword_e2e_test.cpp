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
                  const char* kind = "1", const char* flags = "8",
                  const char* readingFormat = "1") {
    EXPECT_TRUE(testutil::WriteBytes(
        dir_.Native("job.txt"),
        Job({"1", type, text, limit, kind, "1", "1", "1", "1", readingFormat, flags, "x"})));
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
const std::string kChome1 = Sjis(
    u8"東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,,,"
    u8"128446464,503165554,13101001001,0,1000005\r\n");
const std::string kChome2 = Sjis(
    u8"東京都,千代田区,ちよだく,丸の内,まるのうち,二丁目,にちょうめ,,,"
    u8"128436383,503158353,13101001002,0,1000005\r\n");
const std::string kChome3 = Sjis(
    u8"東京都,千代田区,ちよだく,丸の内,まるのうち,三丁目,さんちょうめ,,,"
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
  EXPECT_EQ(
      Show(Run("2", kMarunouchi, "-1", "5")),
      Show("0\r\n0\r\n" + Sjis(u8"パラメータに無効な値が渡されました！(検索文字列区分)") + "\r\n"));
}

// Fields 8, 9, 12 and 13 of each result line, "|"-separated per line.
std::string NumberFields(const std::string& result) {
  std::string out;
  std::size_t start = 0;
  while (start < result.size()) {
    const std::size_t end = result.find("\r\n", start);
    const std::string line = result.substr(start, end - start);
    std::vector<std::string> f(1);
    for (char c : line) {
      if (c == ',')
        f.emplace_back();
      else
        f.back() += c;
    }
    if (f.size() >= 13) out += f[7] + "," + f[8] + "," + f[11] + "," + f[12] + "|";
    start = end == std::string::npos ? result.size() : end + 2;
  }
  return out;
}

TEST_F(KeywordJob, BlocksOfTheAzaRows) {
  EXPECT_EQ(Run("3", Sjis(u8"丸の内一丁目"), "-1"), kOk);
  // The whole row of the first block: the aza row with block, code and the
  // block's point; postal code of the aza row.
  const std::string result = Result();
  EXPECT_EQ(Show(result.substr(0, result.find("\r\n") + 2)),
            Show(Sjis(u8"東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,１,,"
                      u8"128451865,503163754,1310100100100001,0,1000005\r\n")));
  // ２ has an empty 街区番号 (its code in full-width digits); ３ with "A"
  // beats the abolished ３, written with status 0; ５ with status 3 is left
  // out for its current row; ８ comes from the change-code index.
  EXPECT_EQ(Show(NumberFields(result)),
            Show(Sjis(u8"１,,1310100100100001,0|２,,1310100100100002,0|３,,1310100100100003,0|"
                      u8"５,,1310100100100005,0|６,,1310100100100006,0|８,,1310100100100008,0|")));
  // A letter-coded block code.
  EXPECT_EQ(Run("3", Sjis(u8"五番町"), "-1"), kOk);
  EXPECT_EQ(
      Show(NumberFields(Result())),
      Show(Sjis(u8"１２,,1310100300000012,0|１４,,1310100300000014,0|イ,,13101003000A0001,0|")));
}

TEST_F(KeywordJob, BlocksChosenByANumber) {
  // First call with both words: 三丁目 (its normalised name holds ３) with all
  // its blocks; then 丸の内 with block ３: 一丁目 and 二丁目, 三丁目 not again.
  EXPECT_EQ(Run("3", Sjis(u8"丸の内 ３"), "-1"), kOk);
  EXPECT_EQ(Show(NumberFields(Result())),
            Show(Sjis(u8"１,,1310100100300001,0|２,,1310100100300002,0|"
                      u8"３,,1310100100100003,0|３,,1310100100200003,0|")));
  // The same with the number written onto the word (number mode 1).
  EXPECT_EQ(Run("3", Sjis(u8"丸の内３"), "-1"), kOk);
  EXPECT_EQ(Show(NumberFields(Result())),
            Show(Sjis(u8"１,,1310100100300001,0|２,,1310100100300002,0|"
                      u8"３,,1310100100100003,0|３,,1310100100200003,0|")));
  // Number mode 0: １２ contains ２.
  EXPECT_EQ(Run("3", Sjis(u8"五番町 ２"), "-1"), kOk);
  EXPECT_EQ(Show(NumberFields(Result())), Show(Sjis(u8"１２,,1310100300000012,0|")));
  // The row limit stops inside a place's blocks.
  EXPECT_EQ(Run("3", Sjis(u8"丸の内一丁目"), "2"), "1\r\n1\r\n\r\n");
  EXPECT_EQ(Show(NumberFields(Result())),
            Show(Sjis(u8"１,,1310100100100001,0|２,,1310100100100002,0|")));
}

TEST_F(KeywordJob, NumberedAddressesOfTheChangeHistory) {
  EXPECT_EQ(Run("4", Sjis(u8"箱根ケ崎"), "-1"), kOk);
  const std::string all = NumberFields(Result());
  // Letter-coded parts; the lot with status 3 and the block records give no row.
  EXPECT_NE(all.find(Sjis(u8"１２,甲,1330300100000012A0001,0|")), std::string::npos) << Show(all);
  EXPECT_EQ(all.find("133030010000001200003"), std::string::npos);
  EXPECT_EQ(all.find(Sjis(u8",,")), std::string::npos);
  // Each lot once.
  std::vector<std::string> seen;
  for (std::size_t at = 0; at < all.size();) {
    const std::size_t end = all.find('|', at);
    const std::string row = all.substr(at, end - at);
    for (const std::string& s : seen) EXPECT_NE(Show(s), Show(row));
    seen.push_back(row);
    at = end + 1;
  }
  EXPECT_EQ(seen.size(), 11u);
  // The hyphen form (mode 3): the aza text ends the names, block 12 exactly,
  // a lot beginning with 1.
  EXPECT_EQ(Run("4", Sjis(u8"箱根ケ崎－１２－１"), "-1"), kOk);
  EXPECT_EQ(
      Show(Result()),
      Show(Sjis(u8"東京都,西多摩郡瑞穂町,にしたまぐんみずほまち,大字箱根ケ崎,おおあざはこねがさき,"
                u8",,１２,１,128763684,501667844,133030010000001200001,0,1901221\r\n")));
  // Two marked words: block 12, lot 2.
  EXPECT_EQ(Run("4", Sjis(u8"箱根ケ崎 １２ ２"), "-1"), kOk);
  EXPECT_EQ(Show(NumberFields(Result())), Show(Sjis(u8"１２,２,133030010000001200002,0|")));
  // A place written by the first call is not written again.
  EXPECT_EQ(Run("4", Sjis(u8"丸の内一丁目"), "-1"), kOk);
  const std::string once = Result();
  EXPECT_EQ(Run("4", Sjis(u8"丸の内一丁目 １"), "-1"), kOk);
  EXPECT_EQ(Show(Result()), Show(once));
  // The basic dataset has no change history.
  EXPECT_EQ(Show(Run("4", Sjis(u8"丸の内一丁目"), "-1", "1", "0")), Show(NoData(u8"丸の内一丁目")));
}

}  // namespace
