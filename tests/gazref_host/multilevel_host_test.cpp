// The multi-level address search through gazref_host on the generated
// sample data (東京都 and 京都府): rows in the full-form record, sorted by
// code, the prefecture at the head of the text (kanji or reading), the
// pre-scan over both prefectures, the fallback row, the row limit, blanks,
// the options and the file form.

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "host_runner.h"
#include "plat/derived_store.h"
#include "platform/src/derived_store_detail.h"
#include "support/test_util.h"

namespace {

using hosttest::BuildDir;
using hosttest::HostTest;
using hosttest::U8;

// The lines of the output that follow "row n: ", in order.
std::vector<std::string> Rows(const std::string& out) {
  std::vector<std::string> rows;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("row ", 0) == 0) rows.push_back(line.substr(line.find(": ") + 2));
  }
  return rows;
}

std::string Field(const std::string& row, int n) {
  std::size_t start = 0;
  for (int i = 1; i < n; ++i) start = row.find(',', start) + 1;
  return row.substr(start, row.find(',', start) - start);
}

std::vector<std::string> Codes(const std::vector<std::string>& rows) {
  std::vector<std::string> codes;
  for (const std::string& r : rows) codes.push_back(Field(r, 12));
  return codes;
}

class MultiLevelHost : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    if (IsSkipped()) return;
    setenv("GAZREF_TEST_DATA", (BuildDir() + U8(u8"/Database/住所")).c_str(), 1);
  }
  void TearDown() override { unsetenv("GAZREF_TEST_DATA"); }

  // One search into the address rows, then the rows: the output.
  std::string Search(const std::string& prefecture, const std::string& text, int maxRows = -1,
                     const std::string& before = std::string()) {
    return RunOk(before + "GZR_TVX_Jyusyo_FindListFirst2_EX \"" + prefecture + "\" \"" + text +
                 "\" \"${GAZREF_TEST_DATA}\" " + std::to_string(maxRows) + " 5 buf\n.rows fw\n");
  }
  static std::string Call(const std::string& prefecture, const std::string& text, int maxRows) {
    return "> GZR_TVX_Jyusyo_FindListFirst2_EX \"" + prefecture + "\" \"" + text +
           "\" \"${GAZREF_TEST_DATA}\" " + std::to_string(maxRows) + " 5 buf\n";
  }
};

TEST_F(MultiLevelHost, EmptyTextsAndAnotherPrefectureFindNothing) {
  EXPECT_EQ(Search("", ""), Call("", "", -1) +
                                U8(u8"= 0\n  #5: 5\n  #6: 対象データがありません！[]\n") +
                                "> .rows fw\ntotal 0\n");
  const std::string other = Search(U8(u8"東京都"), U8(u8"京都府中京区"));
  EXPECT_NE(other.find(U8(u8"= 0\n  #5: 5\n  #6: 対象データがありません！[京都府中京区]\n")),
            std::string::npos)
      << other;
  EXPECT_TRUE(Rows(other).empty());
  // A prefecture text that names no prefecture.
  EXPECT_TRUE(Rows(Search(U8(u8"東京"), U8(u8"千代田区"))).empty());
}

TEST_F(MultiLevelHost, PrefectureByNameOrReadingAtTheHeadOrGiven) {
  const std::vector<std::string> chome = {"13101001001", "13101001002", "13101001003"};
  for (const std::string& text :
       {U8(u8"東京都千代田区丸の内"), U8(u8"とうきょうと千代田区丸の内"), U8(u8"千代田区丸の内")}) {
    const std::vector<std::string> rows = Rows(Search("", text));
    EXPECT_EQ(Codes(rows), chome) << text;
  }
  EXPECT_EQ(Codes(Rows(Search(U8(u8"とうきょうと"), U8(u8"東京都千代田区丸の内")))), chome);
  EXPECT_EQ(Codes(Rows(Search(U8(u8"東京都"), U8(u8"千代田区丸の内")))), chome);
  // All in readings.
  EXPECT_EQ(Codes(Rows(Search("", U8(u8"とうきょうとちよだくまるのうち")))), chome);
}

TEST_F(MultiLevelHost, TextEndingAfterAnOazaGivesItsChomeRows) {
  const std::vector<std::string> rows = Rows(Search("", U8(u8"東京都千代田区丸の内")));
  ASSERT_EQ(rows.size(), 3u);
  // The full-form record: Fuyo reads the code (2147483647: above 32 bits).
  EXPECT_EQ(rows[0], U8(u8"東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,,,"
                        u8"128446464,503165554,13101001001,0,2147483647"));
}

TEST_F(MultiLevelHost, FallbackRowsOnlyWhenNothingElseWasWritten) {
  // 丸の内 matched, no 四丁目 under it, nothing else written: the oaza's own
  // row, level 3 (its code without characters 9 to 11; Fuyo reads it).
  const std::string expected =
      U8(u8"東京都,千代田区,ちよだく,丸の内,まるのうち,,,,,128440703,503165554,13101001,0,"
         u8"13101001");
  EXPECT_EQ(Rows(Search(U8(u8"東京都"), U8(u8"千代田区丸の内四丁目"))),
            std::vector<std::string>{expected});
  // Without prefecture and municipality (free descent).
  EXPECT_EQ(Rows(Search("", U8(u8"丸の内四丁目"))), std::vector<std::string>{expected});
  // 西 after 箱根ケ崎 reaches neither its placeholder chome's blocks nor
  // 東松原: the placeholder chome's row stands in.
  EXPECT_EQ(Codes(Rows(Search("", U8(u8"瑞穂町箱根ケ崎西")))),
            std::vector<std::string>{"13303001000"});
  // 東 begins 東松原, whose row is written directly: the placeholder chome
  // (a fallback again) does not join it.
  EXPECT_EQ(Codes(Rows(Search("", U8(u8"瑞穂町箱根ケ崎東")))),
            std::vector<std::string>{"13303001A00"});
}

TEST_F(MultiLevelHost, PrescanFindsThePlaceInEitherPrefecture) {
  EXPECT_EQ(Codes(Rows(Search("", U8(u8"京都市北区紫野")))),
            (std::vector<std::string>{"26101001001", "26101001002"}));
  EXPECT_EQ(Codes(Rows(Search("", U8(u8"北区王子")))), std::vector<std::string>{"13117001001"});
  // With its county written, a county municipality; without, by the free
  // descent.
  for (const std::string& text : {U8(u8"西多摩郡瑞穂町大字殿ケ谷上宿"), U8(u8"瑞穂町殿ケ谷上宿")}) {
    EXPECT_EQ(Codes(Rows(Search("", text))), std::vector<std::string>{"13303002001"}) << text;
  }
}

TEST_F(MultiLevelHost, RowLimitAndStopFlag) {
  const std::string none = Search("", U8(u8"千代田区丸の内"), 0);
  EXPECT_NE(none.find(U8(u8"= 0\n  #5: 1\n  #6: 対象データがありません！[千代田区丸の内]")),
            std::string::npos)
      << none;
  const std::string two = Search("", U8(u8"千代田区丸の内"), 2);
  EXPECT_NE(two.find("= 1\n  #5: 1\n"), std::string::npos) << two;
  EXPECT_EQ(Rows(two).size(), 2u);
  const std::string all = Search("", U8(u8"千代田区丸の内"), -1);
  EXPECT_NE(all.find("= 1\n  #5: 0\n"), std::string::npos) << all;
  EXPECT_EQ(Rows(all).size(), 3u);
}

TEST_F(MultiLevelHost, BlanksIgnoredAndRowsSortedByCode) {
  // The aza/chome of 中京区 in entry order are 124901, 124000, 125901,
  // 397000, 395000, 130000, 131000; they come back by code.
  const std::vector<std::string> rows = Rows(Search("", U8(u8" 京都府 中京区　")));
  EXPECT_EQ(Codes(rows),
            (std::vector<std::string>{"26104124000", "26104124901", "26104125901", "26104130000",
                                      "26104131000", "26104395000", "26104397000"}));
  EXPECT_EQ(Codes(Rows(Search("", U8(u8"千代田区　丸の内 三丁目")))),
            std::vector<std::string>{"13101001003"});
}

TEST_F(MultiLevelHost, FootersAndDefaultAzaMode) {
  const std::string footers =
      U8(u8"GZR_SetAddr_FooterGaiku \"番\"\nGZR_SetAddr_FooterZyukyo \"号\"\n");
  const std::vector<std::string> lot =
      Rows(Search("", U8(u8"千代田区丸の内一丁目８－２"), -1, footers));
  ASSERT_EQ(lot.size(), 1u);
  EXPECT_EQ(Field(lot[0], 8), U8(u8"８番"));
  EXPECT_EQ(Field(lot[0], 9), U8(u8"２号"));
  EXPECT_EQ(Field(lot[0], 12), "131010010010000800002");
  // Aza mode 1: the placeholder oaza is named; 0: it is emptied.
  const std::vector<std::string> named =
      Rows(Search("", U8(u8"乙訓郡大山崎町"), -1, "GZR_SetAddr_DefaultAzaMode 1\n"));
  ASSERT_EQ(named.size(), 2u);
  EXPECT_EQ(Field(named[0], 4), U8(u8"大字なし地区"));
  EXPECT_EQ(Field(named[0], 5), U8(u8"おおあざなしちく"));
  const std::vector<std::string> empty = Rows(Search("", U8(u8"乙訓郡大山崎町")));
  ASSERT_EQ(empty.size(), 2u);
  EXPECT_EQ(Field(empty[0], 4), "");
  EXPECT_EQ(Field(empty[0], 6), U8(u8"大山崎"));
}

TEST_F(MultiLevelHost, FileFormWritesLinesAndLeavesTheArrayEmpty) {
  const std::string file = dir_.Native("rows.csv");
  const std::string missing = dir_.Native("none.csv");
  const std::string out = RunOk(
      "GZR_TVX_Jyusyo_FindListFirst2_EX_FL \"" + file + U8(u8"\" \"\" \"京都府中京区亀屋町\" ") +
      "\"${GAZREF_TEST_DATA}\" -1 5 buf\nGZR_GetAddrTotal\n" +
      "GZR_TVX_Jyusyo_FindListFirst2_EX_FL \"" + missing + U8(u8"\" \"\" \"存在しない\" ") +
      "\"${GAZREF_TEST_DATA}\" -1 5 buf\n" +
      "GZR_TVX_Jyusyo_FindListFirst2_EX_FL null \"\" \"x\" \"${GAZREF_TEST_DATA}\" -1 5 buf\n" +
      "GZR_TVX_Jyusyo_FindListFirst2_EX \"\" \"x\" \"${GAZREF_TEST_DATA}\" -1 null buf\n");
  EXPECT_NE(out.find("= 1\n  #6: 0\n  #7: \n> GZR_GetAddrTotal\n= 0\n"), std::string::npos) << out;
  EXPECT_NE(out.find(U8(u8"= 0\n  #6: 0\n  #7: 対象データがありません！[存在しない]\n")),
            std::string::npos)
      << out;
  EXPECT_NE(out.find(U8(u8"#7: パラメータに無効な値が渡されました！(結果格納ファイル名)")),
            std::string::npos);
  EXPECT_NE(out.find(U8(u8"#6: パラメータに無効な値が渡されました！(検索中断フラグ)")),
            std::string::npos);
  const std::string bytes = testutil::ReadBytes(file);
  // Two lines in CR LF, by code.
  const std::size_t first = bytes.find("\r\n");
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(bytes.size(), bytes.find("\r\n", first + 2) + 2);
  EXPECT_NE(bytes.find(",26104130000,0,4\r\n"), std::string::npos);
  EXPECT_EQ(bytes.rfind(",26104131000,0,4\r\n"), bytes.size() - 18);
  EXPECT_TRUE(testutil::ReadBytes(missing).empty());
}

// A host whose bound is lower than the store it finds has grown (a process
// with a larger bound kept values of several hundred KB there) reads it
// without harm and answers as without a cache, call after call.
TEST_F(MultiLevelHost, AStoreGrownPastTheHostsBoundChangesNoAnswer) {
  const testutil::TempDir cache;
  std::string reference;
  {
    const testutil::ScopedEnv xdg("XDG_CACHE_HOME", (cache.path() + "/none").c_str());
    ASSERT_TRUE(testutil::WriteBytes(cache.path() + "/none", "a file: no cache"));
    reference = Search("", U8(u8"京都府中京区亀屋")) + Search("", U8(u8"千代田区丸の内"));
  }
  ASSERT_FALSE(Rows(reference).empty());
  const testutil::ScopedEnv xdg("XDG_CACHE_HOME", cache.path().c_str());
  EXPECT_EQ(Search("", U8(u8"京都府中京区亀屋")) + Search("", U8(u8"千代田区丸の内")), reference);
  {
    // Values of another build, as a process with a bound of 8 MiB keeps
    // them.
    const testutil::ScopedEnv bound("KORT_CACHE_MAX_MB", "8");
    const testutil::SettledClock settled;
    plat::detail::ForgetDerivedStore();
    plat::detail::SetDerivedStoreBuild(12345);
    const plat::FileStamp source = [&] {
      plat::FileStamp s;
      plat::StampOfNative(cache.path() + "/none", s);
      return s;
    }();
    for (int i = 0; i < 12; ++i)
      ASSERT_TRUE(
          plat::PutDerived({"filler", plat::DerivedFolderAt(cache.path()), 1, std::to_string(i)},
                           plat::DerivedSources(&source, 1), std::string(400000, 'f')));
    plat::detail::SetDerivedStoreBuild(0);
    plat::detail::ForgetDerivedStore();
  }
  ASSERT_GT(testutil::ReadBytes(cache.path() + "/kort/store.mdb").size(), std::size_t{4} << 20);
  const testutil::ScopedEnv bound("KORT_CACHE_MAX_MB", "1");
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(Search("", U8(u8"京都府中京区亀屋")) + Search("", U8(u8"千代田区丸の内")), reference)
        << i;
}

}  // namespace
