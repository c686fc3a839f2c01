// Hierarchy listing jobs (kind 1000) run by the built kort on the generated
// sample data (tools/sampledata/data: 東京都 13 and 京都府 26). Every
// expected line is written out from the description files: names, readings,
// stored coordinates (Tokyo datum, milliseconds), codes, status, and the
// children column.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "support/test_util.h"
#include "tool/job_test_util.h"
#include "tool/kort_program.h"

namespace {

using korttest::Job;
using testutil::Show;
using testutil::Sjis;

// A listing job: text, maximum, 検索文字列区分, 出力測地系 1, 出力座標書式 1,
// the flags word (8: the extended dataset) and the dataset line.
std::string ListJob(const std::string& text, const char* max = "-1", const char* flags = "8",
                    const char* textKind = "1") {
  return Job({"1000", text, max, textKind, "1", "1", flags, "x"});
}

// The expected result file: each line in CP932 followed by CR LF.
std::string Lines(std::initializer_list<std::u8string_view> lines) {
  std::string out;
  for (std::u8string_view line : lines) out += Sjis(line) + "\r\n";
  return out;
}

const std::string kTokyo = Sjis(u8"東京都");

class ListingJob : public korttest::KortProgram {
 protected:
  // Runs the job; the status file's bytes.
  std::string RunJob(const std::string& job) {
    testutil::WriteBytes(result_, "old");
    EXPECT_TRUE(testutil::WriteBytes(job_, job));
    std::string out;
    Run({job_, result_, status_}, &out);
    return testutil::ReadBytes(status_);
  }
  // A listing that succeeds: its result file, and status line 3 empty.
  void ExpectListing(const std::string& job, const std::string& lines, bool interrupted = false) {
    const std::string status = RunJob(job);
    EXPECT_EQ(status, interrupted ? "1\r\n1\r\n\r\n" : "1\r\n0\r\n\r\n") << Show(job);
    EXPECT_EQ(Show(testutil::ReadBytes(result_)), Show(lines)) << Show(job);
  }
  // A listing that fails: the message, and no result file.
  void ExpectFailure(const std::string& job, const std::string& message) {
    EXPECT_EQ(Show(RunJob(job)), Show("0\r\n0\r\n" + message + "\r\n")) << Show(job);
    EXPECT_FALSE(testutil::Exists(result_)) << Show(job);
  }
};

const std::string kMunicipalities13 = Lines({
    u8"大島町,おおしままち,125089052,501692276,13361,0,0",
    u8"北区,きたく,128698497,503052484,13117,0,1",
    u8"渋谷区,しぶやく,128378072,502922837,13113,0,1",
    u8"中央区,ちゅうおうく,128402723,503190970,13102,0,1",
    u8"千代田区,ちよだく,128486800,503124494,13101,0,1",
    u8"西多摩郡瑞穂町,にしたまぐんみずほまち,128766445,501686447,13303,0,1",
    u8"西東京市,にしとうきょうし,128600510,502349503,13229,0,1",
});

TEST_F(ListingJob, PrefecturesForAnEmptyTextSortedByReading) {
  const std::string prefectures = Lines({
      u8"京都府,きょうとふ,126064871,488730395,26,0,1",
      u8"東京都,とうきょうと,128470544,502901675,13,0,1",
  });
  ExpectListing(ListJob(""), prefectures);
  ExpectListing(ListJob("   "), prefectures);
}

TEST_F(ListingJob, MunicipalitiesByNameByReadingAndByCode) {
  // The abolished 田無市 (status 3) is not listed; 大島町 has no oaza.
  ExpectListing(ListJob(kTokyo), kMunicipalities13);
  ExpectListing(ListJob(Sjis(u8"とうきょうと")), kMunicipalities13);
  ExpectListing(ListJob("13"), kMunicipalities13);
  // Blanks around the text are dropped.
  ExpectListing(ListJob(" " + kTokyo + " "), kMunicipalities13);
}

TEST_F(ListingJob, LowerLevelsByNamesAndByCode) {
  const std::string oaza = Lines({
      u8"大手町,おおてまち,128461586,503161954,1310102,0,1",
      u8"五番町,ごばんちょう,128467708,503052146,1310103,0,1",
      u8"丸の内,まるのうち,128440703,503165554,1310101,0,1",
  });
  ExpectListing(ListJob(Sjis(u8"東京都 千代田区")), oaza);
  ExpectListing(ListJob(Sjis(u8"とうきょうと ちよだく")), oaza);
  ExpectListing(ListJob("13101"), oaza);
  ExpectListing(ListJob(Sjis(u8"東京都 千代田区 丸の内")),
                Lines({
                    u8"一丁目,いっちょうめ,128446464,503165554,13101001001,0,1",
                    u8"三丁目,さんちょうめ,128425582,503156552,13101001003,0,1",
                    u8"二丁目,にちょうめ,128436383,503158353,13101001002,0,1",
                }));
}

// 丸の内一丁目: TC_Gaiku blocks 1, 2 (name from the code), 3, 5, 6; block 4
// only in the change history, 8 only in the change-code index. Sorted by
// field 1.
const std::string kBlocksOfMarunouchi1 = Lines({
    u8"１,,128451865,503163754,1310100100100001,0,1",
    u8"２,,128448984,503158353,1310100100100002,0,1",
    u8"３,,128445744,503169874,1310100100100003,0,0",
    u8"４,,128444304,503161233,1310100100100004,0,1",
    u8"５,,128442864,503164834,1310100100100005,0,0",
    u8"６,,128439983,503169154,1310100100100006,0,0",
    u8"８,,128438903,503164474,1310100100100008,0,1",
});

TEST_F(ListingJob, ElevenDigitCodeListsBlocks) {
  ExpectListing(ListJob("13101001001"), kBlocksOfMarunouchi1);
}

// Block 1 stands in TC_Gaiku, in the change history and in the change-code
// index: listed once, with the TC_Gaiku point, by names as by code.
TEST_F(ListingJob, BlocksByNamesAreListedOnceEach) {
  ExpectListing(ListJob(Sjis(u8"東京都 千代田区 丸の内 一丁目")), kBlocksOfMarunouchi1);
}

// Block 1 of 丸の内一丁目: lots 1, 3, 5 in the change history, 1, 5, 7 in
// the change-code index; each lot once.
const std::string kLotsOfBlock1 = Lines({
    u8"１,,128452585,503162674,131010010010000100001,0,0",
    u8"３,,128451865,503164114,131010010010000100003,0,0",
    u8"５,,128451145,503165194,131010010010000100005,0,0",
    u8"７,,128450785,503165914,131010010010000100007,0,0",
});

TEST_F(ListingJob, SixteenDigitCodeAndFiveNamesListLots) {
  ExpectListing(ListJob("1310100100100001"), kLotsOfBlock1);
  ExpectListing(ListJob(Sjis(u8"東京都 千代田区 丸の内 一丁目 １")), kLotsOfBlock1);
}

// Group code 800001: the second 亀屋町 of 26104 (a placeholder chome) and
// 大字殿ケ谷 of 13303 with 上宿 and 中宿; the oaza rows (大字代表点フラグ 1) and
// the abolished 下宿 are left out.
TEST_F(ListingJob, GroupCodeSpansBothPrefectures) {
  ExpectListing(ListJob("800001"), Lines({
                                       u8",,126020417,488691160,26104131000,0,0",
                                       u8"上宿,かみじゅく,128733500,501742000,13303002001,0,0",
                                       u8"中宿,なかじゅく,128731200,501745500,13303002002,0,0",
                                   }));
  // Maximum 2 while a third row qualifies: prefecture 13 comes first.
  ExpectListing(ListJob("800001", "2"),
                Lines({
                    u8"上宿,かみじゅく,128733500,501742000,13303002001,0,0",
                    u8"中宿,なかじゅく,128731200,501745500,13303002002,0,0",
                }),
                true);
}

TEST_F(ListingJob, MaximumAndInterruptedFlag) {
  // The first municipality in entry order.
  ExpectListing(ListJob(kTokyo, "1"), Lines({u8"千代田区,ちよだく,128486800,503124494,13101,0,1"}),
                true);
  // All seven fit: not interrupted.
  ExpectListing(ListJob(kTokyo, "7"), kMunicipalities13);
  // Maximum 0: no line, a failure.
  ExpectFailure(ListJob(kTokyo, "0"), Sjis(u8"対象データがありません！[東京都]"));
  // Flags 65535 turns the maximum 0 into 5.
  ExpectListing(ListJob(kTokyo, "0", "65535"),
                Lines({
                    u8"北区,きたく,128698497,503052484,13117,0,1",
                    u8"渋谷区,しぶやく,128378072,502922837,13113,0,1",
                    u8"中央区,ちゅうおうく,128402723,503190970,13102,0,1",
                    u8"千代田区,ちよだく,128486800,503124494,13101,0,1",
                    u8"西東京市,にしとうきょうし,128600510,502349503,13229,0,1",
                }),
                true);
}

TEST_F(ListingJob, FailuresReportTheirMessage) {
  ExpectFailure(ListJob("a b c d e f"), Sjis(u8"対象データがありません！[a b c d e f]"));
  ExpectFailure(ListJob(kTokyo, "-1", "8", "3"),
                Sjis(u8"パラメータに無効な値が渡されました！(検索文字列区分)"));
  ExpectFailure(ListJob("1310"), Sjis(u8"コードの長さを確認してください！(1310)"));
  ExpectFailure(ListJob("131010010010"), Sjis(u8"コードの長さを確認してください！(131010010010)"));
  ExpectFailure(ListJob("00"), Sjis(u8"対象データがありません！[00]"));
  ExpectFailure(ListJob("48"), Sjis(u8"対象データがありません！[48]"));
  // 大阪府 has no data; a place that no prefecture holds.
  ExpectFailure(ListJob("27"), Sjis(u8"対象データがありません！[27]"));
  ExpectFailure(ListJob(Sjis(u8"東京都 港区")), Sjis(u8"対象データがありません！[東京都 港区]"));
}

// FLFC 0 (or no adrslib.ini) lists a lot of both change sources once;
// FLFC 1 lists it from each source.
TEST_F(ListingJob, FlfcOfAdrslibIniDecidesWhetherLotsOfBothSourcesAreMerged) {
  UseCopyBesideData();
  ExpectListing(ListJob("1310100100100001"), kLotsOfBlock1);
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("adrslib.ini"), "[AdrsLib]\r\nFLFC=0\r\n"));
  ExpectListing(ListJob("1310100100100001"), kLotsOfBlock1);
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("adrslib.ini"), "[AdrsLib]\r\nFLFC=1\r\n"));
  const std::string twice = Lines({
      u8"１,,128452585,503162674,131010010010000100001,0,0",
      u8"１,,128452585,503162674,131010010010000100001,0,0",
      u8"３,,128451865,503164114,131010010010000100003,0,0",
      u8"５,,128451145,503165194,131010010010000100005,0,0",
      u8"５,,128451145,503165194,131010010010000100005,0,0",
      u8"７,,128450785,503165914,131010010010000100007,0,0",
  });
  ExpectListing(ListJob("1310100100100001"), twice);
  ExpectListing(ListJob(Sjis(u8"東京都 千代田区 丸の内 一丁目 １")), twice);
}

}  // namespace
