#include "tool/job_run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/file_access.h"
#include "support/test_util.h"
#include "tool/job_test_util.h"

namespace {

using korttest::Job;
using korttest::Scramble;
using testutil::Sjis;

// What the last entry call received, and what the fake entries answer.
struct Call {
  std::string entry, resultFile, text, folder, dataset;
  std::vector<int32_t> ints;  // the number arguments, in order
  std::vector<std::string> fixedTexts;
  double latitude = -1.0, longitude = -1.0;
};
struct Answer {
  int result = 1;
  int32_t interrupted = 0;
  std::string message, resultText;
  bool writeResultFile = false;
};
Call g_call;
int g_calls = 0;
Answer g_answer;

int Finish(const char* resultFile, int32_t* interrupted, char* message) {
  ++g_calls;
  *interrupted = g_answer.interrupted;
  std::snprintf(message, kJobMessageSize, "%s", g_answer.message.c_str());
  if (resultFile && g_answer.writeResultFile) {
    plat::File file;
    EXPECT_TRUE(OpenNewTextFileForWrite(&file, resultFile) && WriteLineToFile(&file, "row"));
  }
  return g_answer.result;
}
int FakeKeyword(const char* out, int32_t type, char* text, const char* folder, int32_t limit,
                int32_t* interrupted, char* msg, const char* pref, const char* city, int32_t mode,
                const char* dataset, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e,
                int32_t f, const char* order) {
  g_call = {"keyword",          out, text, folder, dataset, {type, limit, mode, a, b, c, d, e, f},
            {pref, city, order}};
  return Finish(out, interrupted, msg);
}
int FakeByCode(const char* out, const char* text, const char* folder, int32_t max,
               int32_t* interrupted, char* msg, const char* dataset, int32_t a, int32_t b,
               int32_t lots) {
  g_call = {"code", out, text, folder, dataset, {max, a, b, lots}, {}};
  return Finish(out, interrupted, msg);
}
int FakeByNames(const char* out, const char* text, const char* folder, int32_t max,
                int32_t* interrupted, char* msg, const char* dataset, int32_t a, int32_t b,
                int32_t c, int32_t lots) {
  g_call = {"names", out, text, folder, dataset, {max, a, b, c, lots}, {}};
  return Finish(out, interrupted, msg);
}
int FakePostal(const char* out, const char* text, const char* folder, char* msg,
               const char* dataset, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) {
  g_call = {"postal", out, text, folder, dataset, {a, b, c, d, e}, {}};
  int32_t unused = 0;
  return Finish(out, &unused, msg);
}
int FakeMatch(const char* out, char* text, int32_t flags, int32_t unit, const char* folder,
              char* msg, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f,
              int32_t g, const char* dataset) {
  g_call = {"match", out, text, folder, dataset, {flags, unit, a, b, c, d, e, f, g}, {}};
  int32_t unused = 0;
  return Finish(out, &unused, msg);
}
int FakeReverse(char* result, double lat, double lon, const char* folder, char* msg,
                const char* dataset, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) {
  g_call = {"reverse", "", "", folder, dataset, {a, b, c, d, e}, {}};
  g_call.latitude = lat;
  g_call.longitude = lon;
  std::snprintf(result, kJobResultTextSize, "%s", g_answer.resultText.c_str());
  int32_t unused = 0;
  return Finish(nullptr, &unused, msg);
}
const SearchEntries& Fakes() {
  static const SearchEntries entries = {FakeKeyword, FakeByCode, FakeByNames,
                                        FakePostal,  FakeMatch,  FakeReverse};
  return entries;
}

const std::string kReadFailed =
    "0\r\n0\r\n" + Sjis(u8"検索条件の読み込みに失敗しました！") + "\r\n";
const std::string kSuccess = "1\r\n0\r\n\r\n";

std::string PostalJob(std::string_view code) {
  return Job({"2000", code, "1", "1", "1", "1", "1", "8", "x"});
}
std::string ReverseJob(std::string_view lat, std::string_view lon) {
  return Job({"4000", lat, lon, "1", "6", "1", "1", "1", "8", "x"});
}

class KortJob : public ::testing::Test {
 protected:
  void SetUp() override {
    g_call = {};
    g_calls = 0;
    g_answer = {};
  }
  void Run(std::string_view job, const SearchEntries& entries = Fakes()) {
    ASSERT_TRUE(testutil::WriteBytes(Native("job.txt"), job));
    RunKortJob("/opt/kort", dir_.Sys("job.txt").c_str(), dir_.Sys("result.txt").c_str(),
               dir_.Sys("status.txt").c_str(), entries);
  }
  std::string Native(const char* name) const { return dir_.Native(name); }
  std::string Read(const char* name) const { return testutil::ReadBytes(Native(name)); }
  bool Has(const char* name) const { return testutil::Exists(Native(name)); }

  testutil::TempDir dir_;
};

TEST_F(KortJob, UnknownKindRemovesOldOutputsAndWritesNone) {
  for (const char* job :
       {"7\r\n", "0\r\n", "VRF\r\n", "1001\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n"}) {
    ASSERT_TRUE(testutil::WriteBytes(Native("result.txt"), "old"));
    ASSERT_TRUE(testutil::WriteBytes(Native("status.txt"), "old"));
    Run(job);
    EXPECT_FALSE(Has("result.txt")) << job;
    EXPECT_FALSE(Has("status.txt")) << job;
  }
  EXPECT_EQ(g_calls, 0);
}

TEST_F(KortJob, UnreadableJobFailsWithReadMessageAndCallsNoEntry) {
  // No job file at all.
  RunKortJob("/opt/kort", dir_.Sys("none.txt").c_str(), dir_.Sys("result.txt").c_str(),
             dir_.Sys("status.txt").c_str(), Fakes());
  EXPECT_EQ(Read("status.txt"), kReadFailed);
  // An empty file, a postal-code job of six lines, a keyword job without its
  // dataset line, and unusable coordinates.
  for (const std::string& job : {std::string(), Job({"2000", "1000005", "1", "1", "1", "1"}),
                                 Job({"1", "0", "a", "0", "1", "1", "1", "1", "1", "1", "8"}),
                                 ReverseJob("35.5x", "139.5"), ReverseJob("35.5", "139.5 ")}) {
    Run(job);
    EXPECT_EQ(Read("status.txt"), kReadFailed) << testutil::Show(job);
    EXPECT_FALSE(Has("result.txt"));
  }
  EXPECT_EQ(g_calls, 0);
}

TEST_F(KortJob, RefusesJobLineTooLongForItsBuffer) {
  Run(PostalJob(std::string(kJobTextSize, '1')));
  EXPECT_EQ(Read("status.txt"), kReadFailed);
  EXPECT_EQ(g_calls, 0);
  Run(PostalJob(std::string(kJobTextSize - 1, '1')));
  EXPECT_EQ(g_call.text, std::string(kJobTextSize - 1, '1'));
}

TEST_F(KortJob, LinesEndInLfOrCrLfAndTheLastNeedsNone) {
  Run("2000\n100-0005\r\n1\n1\n1\n1\n1\n8\nx");
  EXPECT_EQ(g_call.entry, "postal");
  EXPECT_EQ(g_call.text, "100-0005");
  EXPECT_EQ(Read("status.txt"), kSuccess);
}

TEST_F(KortJob, FlagsWordChoosesDatasetAndClampsMaximumLines) {
  struct Case {
    const char* flags;
    const char* max;
    const char* dataset;
    int32_t passed;
  } cases[] = {
      {"65535", "0", "VRG_EXTEND", 5}, {"65535", "100", "VRG_EXTEND", 5},
      {"65535", "6", "VRG_EXTEND", 5}, {"65535", "5", "VRG_EXTEND", 5},
      {"65535", "3", "VRG_EXTEND", 3}, {"65535", "-1", "VRG_EXTEND", -1},
      {"8", "0", "VRG_EXTEND", 0},     {"8", "100", "VRG_EXTEND", 100},
      {"65534", "0", "VRG_EXTEND", 0}, {"-1", "100", "VRG_EXTEND", 100},
      {"0", "0", "VRG_BASIC", 0},      {"7", "100", "VRG_BASIC", 100},
      {"65527", "0", "VRG_BASIC", 0},
  };
  for (const Case& c : cases) {
    Run(Job({"1000", "", c.max, "1", "1", "1", c.flags, "x"}));
    EXPECT_EQ(g_call.dataset, c.dataset) << c.flags;
    EXPECT_EQ(g_call.ints[0], c.passed) << c.flags << " " << c.max;
    Run(Job({"1", "0", "a", c.max, "1", "1", "1", "1", "1", "1", c.flags, "x"}));
    EXPECT_EQ(g_call.dataset, c.dataset) << c.flags;
    EXPECT_EQ(g_call.ints[1], c.passed) << c.flags << " " << c.max;
  }
}

TEST_F(KortJob, ListingChoosesByFirstByteOfTheText) {
  for (const char* code : {"13", "0", "9", "13101"}) {
    Run(Job({"1000", code, "100", "2", "1", "3", "0", "x"}));
    EXPECT_EQ(g_call.entry, "code") << code;
    EXPECT_EQ(g_call.text, code);
    EXPECT_EQ(g_call.ints, (std::vector<int32_t>{100, 1, 3, 1}));
  }
  for (std::string names : {"", " 13", "/", ":", "東京都", "１３"}) {
    Run(Job({"1000", names, "100", "2", "1", "3", "0", "x"}));
    EXPECT_EQ(g_call.entry, "names") << testutil::Show(names);
    EXPECT_EQ(g_call.text, names);
    EXPECT_EQ(g_call.ints, (std::vector<int32_t>{100, 2, 1, 3, 1}));
  }
  EXPECT_EQ(g_call.folder, "/opt/kort\\Database\\" + Sjis(u8"住所"));
  EXPECT_EQ(g_call.resultFile, dir_.Sys("result.txt"));
}

TEST_F(KortJob, EachKindHandsItsLinesToItsEntry) {
  Run(Job({"1", "3", "本町", "40", "2", "2", "3", "1", "2", "3", "0", "x"}));
  EXPECT_EQ(g_call.entry, "keyword");
  EXPECT_EQ(g_call.text, "本町");
  EXPECT_EQ(g_call.dataset, "VRG_BASIC");
  EXPECT_EQ(g_call.ints, (std::vector<int32_t>{3, 40, 0, 2, 2, 3, 1, 2, 3}));
  EXPECT_EQ(g_call.fixedTexts, (std::vector<std::string>{"", "", ""}));

  Run(Job({"2000", "〒100", "2", "4", "1", "2", "3", "0", "x"}));
  EXPECT_EQ(g_call.entry, "postal");
  EXPECT_EQ(g_call.text, "〒100");
  EXPECT_EQ(g_call.ints, (std::vector<int32_t>{2, 4, 1, 2, 3}));

  Run(Job({"3000", "東京都千代田区", "16", "2", "1", "4", "2", "8", "2", "1", "3", "8", "x"}));
  EXPECT_EQ(g_call.entry, "match");
  EXPECT_EQ(g_call.text, "東京都千代田区");
  EXPECT_EQ(g_call.dataset, "VRG_EXTEND");
  EXPECT_EQ(g_call.ints, (std::vector<int32_t>{16, 2, 1, 4, 2, 8, 2, 1, 3}));
}

TEST_F(KortJob, ReverseGeocodingReadsWholeDecimalLines) {
  struct Case {
    const char* lat;
    bool read;
    double value;
  } cases[] = {{"35.5", true, 35.5}, {"", true, 0.0},     {" -1e2", true, -100.0},
               {"35.5x", false, 0},  {"35.5 ", false, 0}, {"0x1A", false, 0},
               {"inf", false, 0},    {" ", false, 0}};
  for (const Case& c : cases) {
    g_calls = 0;
    Run(ReverseJob(c.lat, "139.75"));
    EXPECT_EQ(g_calls, c.read ? 1 : 0) << c.lat;
    if (c.read) {
      EXPECT_EQ(g_call.latitude, c.value) << c.lat;
      EXPECT_EQ(g_call.longitude, 139.75);
      EXPECT_EQ(g_call.ints, (std::vector<int32_t>{1, 6, 1, 1, 1}));
    } else {
      EXPECT_EQ(Read("status.txt"), kReadFailed) << c.lat;
    }
  }
}

TEST_F(KortJob, ReverseGeocodingResultIsWrittenByTheJob) {
  g_answer.resultText = "13,a,b";
  Run(ReverseJob("35.5", "139.5"));
  EXPECT_EQ(Read("result.txt"), "13,a,b\r\n");
  EXPECT_EQ(Read("status.txt"), kSuccess);

  g_answer.result = 0;
  g_answer.message = "住所コードの取得ができません！";
  Run(ReverseJob("35.5", "139.5"));
  EXPECT_FALSE(Has("result.txt"));
  EXPECT_EQ(Read("status.txt"), "0\r\n0\r\n" + g_answer.message + "\r\n");
}

TEST_F(KortJob, ReverseGeocodingResultThatCannotBeWrittenFailsTheJob) {
  const std::string failed = "0\r\n0\r\n" + Sjis(u8"検索結果の書き込みに失敗しました！") + "\r\n";
  g_answer.resultText = "13,a,b";
  ASSERT_TRUE(testutil::WriteBytes(Native("job.txt"), ReverseJob("35.5", "139.5")));
  RunKortJob("/opt/kort", dir_.Sys("job.txt").c_str(), dir_.Sys("none\\result.txt").c_str(),
             dir_.Sys("status.txt").c_str(), Fakes());
  EXPECT_EQ(Read("status.txt"), failed);

  // A line too long for the disk: the part written is removed.
  g_answer.resultText = std::string(200, 'a');
  {
    testutil::FileSizeLimit limit(100);
    Run(ReverseJob("35.5", "139.5"));
  }
  EXPECT_FALSE(Has("result.txt"));
  EXPECT_EQ(Read("status.txt"), failed);
}

TEST_F(KortJob, StatusCarriesResultFlagAndMessage) {
  struct Case {
    int result;
    int32_t interrupted;
    const char* status;
  } cases[] = {{1, 0, "1\r\n0\r\n\r\n"},
               {1, 1, "1\r\n1\r\n\r\n"},
               {1, 7, "1\r\n1\r\n\r\n"},
               {0, 1, "0\r\n0\r\nno rows\r\n"}};
  for (const Case& c : cases) {
    g_answer = {c.result, c.interrupted, "no rows", "", false};
    Run(Job({"1000", "", "5", "1", "1", "1", "65535", "x"}));
    EXPECT_EQ(Read("status.txt"), c.status);
  }
}

TEST_F(KortJob, StatusMessageIsEmptyOnSuccessEvenWhenTheEntryLeftText) {
  g_answer.message = "対象データがありません！[東京都]";
  Run(Job({"1000", "東京都", "100", "1", "1", "1", "8", "x"}));
  EXPECT_EQ(Read("status.txt"), kSuccess);
}

TEST_F(KortJob, StatusThatCannotBeWrittenTakesTheResultWithIt) {
  g_answer.writeResultFile = true;
  for (const std::string& job : {PostalJob("1000005"), ReverseJob("35.5", "139.5")}) {
    ASSERT_TRUE(testutil::WriteBytes(Native("job.txt"), job));
    RunKortJob("/opt/kort", dir_.Sys("job.txt").c_str(), dir_.Sys("result.txt").c_str(),
               dir_.Sys("none\\status.txt").c_str(), Fakes());
    EXPECT_EQ(g_calls, 1);
    EXPECT_FALSE(Has("result.txt"));
    g_calls = 0;
  }
}

// Devices named as the result and status files: the job neither removes
// them at its start nor after a failure, and writes its status into them.
TEST_F(KortJob, DevicesNamedAsTheResultAndStatusFilesAreNeverRemoved) {
  if (!testutil::MakeCharDevice(Native("result.txt"), 1, 7) ||
      !testutil::MakeCharDevice(Native("status.txt"), 1, 3))
    GTEST_SKIP() << "no right to make a device node";
  g_answer = {0, 0, "no rows", "", false};
  Run(PostalJob("1000005"));
  g_answer = {1, 0, "", "13,a,b", false};
  Run(ReverseJob("35.5", "139.5"));
  Run("7\r\n");
  // A status that cannot be written takes with it only a regular result.
  ASSERT_TRUE(testutil::WriteBytes(Native("job.txt"), PostalJob("1000005")));
  RunKortJob("/opt/kort", dir_.Sys("job.txt").c_str(), dir_.Sys("result.txt").c_str(),
             dir_.Sys("none\\status.txt").c_str(), Fakes());
  EXPECT_EQ(g_calls, 3);
  EXPECT_TRUE(testutil::IsCharDevice(Native("result.txt"), 1, 7));
  EXPECT_TRUE(testutil::IsCharDevice(Native("status.txt"), 1, 3));
}

// Jobs in one process: a status file renamed to another case between two
// jobs is the one the next job removes and writes again (the folder's
// names kept from the first job are not taken as they were).
TEST_F(KortJob, AnOutputRenamedToAnotherCaseBetweenJobsIsTheOneReplaced) {
  g_answer = {0, 0, "no rows", "", false};
  Run(PostalJob("1000005"));
  EXPECT_EQ(Read("status.txt"), "0\r\n0\r\nno rows\r\n");
  ASSERT_EQ(rename(Native("status.txt").c_str(), Native("STATUS.TXT").c_str()), 0);
  g_answer = {1, 0, "", "", false};
  Run(PostalJob("1000005"));
  EXPECT_EQ(testutil::FolderNames(dir_.path()),
            (std::vector<std::string>{"job.txt", "status.txt"}));
  EXPECT_EQ(Read("status.txt"), kSuccess);
  // Made again under the other case by another hand, it is replaced in place.
  ASSERT_EQ(unlink(Native("status.txt").c_str()), 0);
  ASSERT_TRUE(testutil::WriteBytes(Native("Status.Txt"), "old"));
  Run(PostalJob("1000005"));
  EXPECT_EQ(testutil::FolderNames(dir_.path()),
            (std::vector<std::string>{"job.txt", "status.txt"}));
}

TEST_F(KortJob, SearchNotCarriedFailsTheJob) {
  Run(PostalJob("1000005"), SearchEntries{});
  EXPECT_EQ(Read("status.txt"), "0\r\n0\r\n" + Sjis(u8"この検索種別は実行できません！") + "\r\n");
}

TEST_F(KortJob, AddressMatchingIsAlwaysCarried) {
  // Without an entry in the table kind 3000 still runs the matching: here
  // over a data folder that does not exist.
  Run(Job({"3000", "東京都", "0", "1", "0", "1", "1", "1", "1", "1", "1", "8", "x"}),
      SearchEntries{});
  EXPECT_EQ(Read("status.txt"),
            "0\r\n0\r\n" +
                Sjis(u8"ファイルオープンエラー!(/opt/kort\\Database\\住所\\文字統一.BIN)") +
                "\r\n");
  EXPECT_FALSE(Has("result.txt"));
}

// ---- Scrambled job files ----

const std::string kPlainPostal = Job({"2000", "12345678", "1", "1", "1", "1", "1", "8", "x"});

TEST_F(KortJob, ScrambledWorkedExampleRunsAsItsPlainText) {
  const unsigned char example[] = {0x56, 0x52, 0x46, 0x0d, 0x0a, 0x00, 0x00, 0x00, 0x00, 0x00,
                                   0xf5, 0xcf, 0xf2, 0xcf, 0xce, 0xf5, 0xf5, 0xcd, 0xf2, 0xcb,
                                   0xce, 0xc9, 0xf5, 0xc7, 0xf2, 0xf5, 0x87, 0xf2, 0xcd, 0xce,
                                   0xcf, 0xf5, 0xf2, 0xf2, 0xce, 0xce, 0xcc, 0xf5, 0xca, 0xf2,
                                   0xc8, 0xc7, 0xf2, 0xf5, 0xce, 0xf2, 0xf5, 0x27};
  const std::string scrambled(reinterpret_cast<const char*>(example), sizeof example);
  ASSERT_EQ(kPlainPostal.size(), 37u);
  EXPECT_EQ(Scramble(kPlainPostal), scrambled);
  g_answer = {0, 0, "対象データがありません！[12345678]", "", false};
  Run(scrambled);
  EXPECT_EQ(g_call.text, "12345678");
  EXPECT_EQ(Read("status.txt"), "0\r\n0\r\n" + g_answer.message + "\r\n");
  EXPECT_EQ(Read("job.txt"), kPlainPostal);

  // A check byte that does not match leaves the file as plain text: "VRF" is kind 0.
  std::string bad = scrambled;
  bad.back() = 0x28;
  Run(bad);
  EXPECT_FALSE(Has("status.txt"));
  EXPECT_EQ(Read("job.txt"), bad);
}

// A scrambled job file whose plain text cannot be written back stays as
// it was, byte for byte.
TEST_F(KortJob, AScrambledJobFileThatCannotBeRewrittenStaysAsItWas) {
  const std::string scrambled = Scramble(kPlainPostal);
  ASSERT_TRUE(testutil::WriteBytes(Native("job.txt"), scrambled));
  {
    testutil::FileSizeLimit limit(kPlainPostal.size() - 5);
    RunKortJob("/opt/kort", dir_.Sys("job.txt").c_str(), dir_.Sys("result.txt").c_str(),
               dir_.Sys("status.txt").c_str(), Fakes());
  }
  EXPECT_EQ(g_calls, 0);
  EXPECT_EQ(Read("job.txt"), scrambled);
  EXPECT_EQ(testutil::FolderNames(dir_.path()).size(), Has("status.txt") ? 2u : 1u);
}

TEST_F(KortJob, ScrambledFileRoundTripsEveryLengthAndFillerLength) {
  EXPECT_EQ(Scramble("7\r\n", 1), std::string("VRF\r\n\x01\0\0\0\0\0\xf2\xc8\xf5\xb8", 15));
  std::string plain = "7\r\n";
  for (unsigned char c = 0xF0; plain.size() < 40; ++c) {
    plain += static_cast<char>(c);  // high bytes: the check sum passes 255 many times
    for (unsigned char b5 : {0, 1, 2, 200}) {
      Run(Scramble(plain, b5, 0x7F, 0xFF, '\xAA'));
      EXPECT_EQ(Read("job.txt"), plain) << plain.size() << " " << int(b5);
      EXPECT_FALSE(Has("status.txt"));
    }
  }
}

TEST_F(KortJob, ScrambledFileTooShortToHoldTwoBytesIsReadUnchanged) {
  // Ten bytes with a matching check byte (261 mod 255), one plain byte, and
  // a nine-byte file that is never looked at.
  const std::string ten("VRF\r\n\0\0\0\0\x06", 10);
  for (const std::string& file : {ten.substr(0, 9), ten, Scramble("7")}) {
    Run(file);
    EXPECT_EQ(Read("job.txt"), file) << file.size();
  }
  Run(Scramble("7\n"));  // two plain bytes are decoded
  EXPECT_EQ(Read("job.txt"), "7\n");
}

}  // namespace
