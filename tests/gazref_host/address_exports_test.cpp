// The address searches of libGazref.so driven through gazref_host on the
// generated sample data (Database/住所: 東京都 and 京都府): the listings by
// names and by code, the keyword searches, the address analysis, their
// result-file twins, the options they take and the final number each
// family leaves for GZR_GetA_Fw_Fuyo.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "host_runner.h"
#include "support/test_util.h"

namespace {

using hosttest::BuildDir;
using hosttest::HostTest;
using hosttest::U8;

class AddressExports : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    if (IsSkipped()) return;
    setenv("GAZREF_TEST_DATA", (BuildDir() + U8(u8"/Database/住所")).c_str(), 1);
    setenv("GAZREF_TEST_OUT", dir_.Native("").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("GAZREF_TEST_DATA");
    unsetenv("GAZREF_TEST_OUT");
  }

  // The output of a UTF-8 script that must run without an error line.
  std::string Script(std::u8string_view script) { return RunOk(U8(script)); }

  // The output a call printed: from its echo line up to the next echo.
  static std::string CallOutput(const std::string& out, const std::string& call) {
    const std::size_t at = out.find("> " + call + "\n");
    if (at == std::string::npos) return "(missing) " + call;
    const std::size_t body = at + call.size() + 3;
    const std::size_t next = out.find("\n> ", body - 1);
    return out.substr(body, next == std::string::npos ? std::string::npos : next + 1 - body);
  }

  std::string OutFile(const char* name) { return dir_.Native(name); }
};

// ---- Listings ----

TEST_F(AddressExports, EmptyTextListsBothPrefecturesAndFillsTheTotal) {
  const std::string out = Script(
      u8"GZR_Jyusyo_FindListFirst \"\" \"${GAZREF_TEST_DATA}\" -1 7 buf\n"
      ".rows addr\n");
  EXPECT_EQ(out, U8(u8"> GZR_Jyusyo_FindListFirst \"\" \"${GAZREF_TEST_DATA}\" -1 7 buf\n= 1\n"
                    "  #4: 0\n  #5: \n"
                    "> .rows addr\ntotal 2\n"
                    "row 0: 京都府,きょうとふ,126064871,488730395,26\n"
                    "row 1: 東京都,とうきょうと,128470544,502901675,13\n"));
}

TEST_F(AddressExports, MunicipalitiesByReadingAndCountyInBracketsOnlyInThePlainListing) {
  const std::string out = Script(
      u8"GZR_Jyusyo_FindListFirst \"京都府\" \"${GAZREF_TEST_DATA}\" -1 0 buf\n"
      ".rows addr\n"
      "GZR_SetAddr_DeleteGun 1\n"
      "GZR_Jyusyo_FindListFirst \"京都府\" \"${GAZREF_TEST_DATA}\" -1 0 buf\n"
      ".rows addr\n"
      "GZR_ZEB_Jyusyo_FindListFirst \"京都府\" \"${GAZREF_TEST_DATA}\" -1 0 buf\n"
      ".rows addr\n");
  const std::string countyFirst =
      U8(u8"total 3\n"
         "row 0: 乙訓郡大山崎町,おとくにぐんおおやまざきちょう,125632659,488491686,26303\n"
         "row 1: 京都市北区,きょうとしきたく,126133149,488722499,26101\n"
         "row 2: 京都市中京区,きょうとしなかぎょうく,126026923,488717025,26104\n");
  // County first (the plain listing before DeleteGun, and the ZEB listing
  // after it), sorted by the reading.
  EXPECT_EQ(out.find(countyFirst), out.find("> .rows addr\n") + 13) << out;
  EXPECT_NE(out.rfind(countyFirst), out.find(countyFirst)) << out;
  EXPECT_NE(out.find(U8(u8"total 3\n"
                        "row 0: 大山崎町（乙訓郡）,おおやまざきちょう（おとくにぐん）,"
                        "125632659,488491686,26303\n"
                        "row 1: 北区（京都市）,きたく（きょうとし）,126133149,488722499,26101\n"
                        "row 2: 中京区（京都市）,なかぎょうく（きょうとし）,"
                        "126026923,488717025,26104\n")),
            std::string::npos)
      << out;
}

TEST_F(AddressExports, PlaceholderOazaExpandedOnlyWithSkipAzaNasiInThePlainListings) {
  const std::string out = Script(
      u8"GZR_Jyusyo_FindListFirst \"京都府 乙訓郡大山崎町\" \"${GAZREF_TEST_DATA}\" -1 0 buf\n"
      ".rows addr\n"
      "GZR_SetAddr_SkipAzaNasi 1\n"
      "GZR_Jyusyo_FindListFirst \"京都府 乙訓郡大山崎町\" \"${GAZREF_TEST_DATA}\" -1 0 buf\n"
      ".rows addr\n"
      "GZR_Jyusyo_FindListFirst_Code \"26303\" \"${GAZREF_TEST_DATA}\" -1 0 buf\n"
      ".rows addr\n"
      "GZR_ZEB_Jyusyo_FindListFirst \"京都府 乙訓郡大山崎町\" \"${GAZREF_TEST_DATA}\" -1 0 buf\n"
      ".rows addr\n"
      "GZR_ZEB_Jyusyo_FindListFirst_Code \"26303\" \"${GAZREF_TEST_DATA}\" -1 0 buf\n"
      ".rows addr\n"
      // Two or more oaza: no second run.
      "GZR_Jyusyo_FindListFirst \"東京都 千代田区\" \"${GAZREF_TEST_DATA}\" -1 0 buf\n"
      ".rows addr\n");
  // SkipAzaNasi 0: the one placeholder row, its name emptied (aza mode 0).
  const std::string placeholder = "total 1\nrow 0: ,,125632659,488491686,2630301\n";
  const std::string expanded =
      U8(u8"total 2\n"
         "row 0: 円明寺,えんみょうじ,125639140,488496006,26303000002\n"
         "row 1: 大山崎,おおやまざき,125597736,488457121,26303000001\n");
  std::size_t at = 0;
  for (const std::string& expected : {placeholder, expanded, expanded, placeholder, placeholder}) {
    at = out.find("> .rows addr\n", at);
    ASSERT_NE(at, std::string::npos) << out;
    at += 13;
    EXPECT_EQ(out.compare(at, expected.size(), expected), 0) << out.substr(at);
  }
  EXPECT_NE(out.find(U8(u8"total 3\nrow 0: 大手町,おおてまち,128461586,503161954,1310102\n"
                        "row 1: 五番町,ごばんちょう,128467708,503052146,1310103\n"
                        "row 2: 丸の内,まるのうち,128440703,503165554,1310101\n")),
            std::string::npos)
      << out;
}

TEST_F(AddressExports, FiveDigitCodeListsOazaAndTheFileTwinLeavesTheTotalAtZero) {
  const std::string file = OutFile("code.csv");
  const std::string out = Script(
      u8"GZR_Jyusyo_FindListFirst_Code \"13101\" \"${GAZREF_TEST_DATA}\" -1 0 buf\n"
      "GZR_GetAddrData 2\n"
      "GZR_Jyusyo_FindListFirst_CodeFL \"${GAZREF_TEST_OUT}code.csv\" \"13101\" "
      "\"${GAZREF_TEST_DATA}\" -1 0 buf\n"
      "GZR_GetAddrTotal\n"
      // The record keeps the row loaded before the file search.
      "GZR_GetA_AddrStr buf\n");
  EXPECT_NE(out.find(U8(u8"> GZR_GetAddrTotal\n= 0\n> GZR_GetA_AddrStr buf\n= void\n"
                        "  #1: 丸の内\n")),
            std::string::npos)
      << out;
  EXPECT_EQ(testutil::ReadBytes(file),
            testutil::Sjis(u8"大手町,おおてまち,128461586,503161954,1310102,0\r\n"
                           "五番町,ごばんちょう,128467708,503052146,1310103,0\r\n"
                           "丸の内,まるのうち,128440703,503165554,1310101,0\r\n"));
}

TEST_F(AddressExports, ZebListingOfAChomeOmitsTheHistoryOnlyBlock) {
  const std::string out = Script(
      u8"GZR_Jyusyo_FindListFirst \"東京都 千代田区 丸の内 一丁目\" \"${GAZREF_TEST_DATA}\" -1 0 "
      u8"buf\n"
      ".rows addr\n"
      "GZR_ZEB_Jyusyo_FindListFirst \"東京都 千代田区 丸の内 一丁目\" \"${GAZREF_TEST_DATA}\" -1 0 "
      "buf\n"
      ".rows addr\n");
  const std::string block4 = U8(u8"４,,128444304,503161233,1310100100100004\n");
  const std::size_t zeb = out.find("> GZR_ZEB_");
  ASSERT_NE(zeb, std::string::npos);
  EXPECT_LT(out.find(block4), zeb) << out;
  EXPECT_EQ(out.find(block4, zeb), std::string::npos) << out;
  EXPECT_NE(out.find("total 7\n"), std::string::npos) << out;
  EXPECT_NE(out.find("total 5\n", zeb), std::string::npos) << out;
}

TEST_F(AddressExports, ListingFailures) {
  const std::string longText(600, 'a');
  const std::string out =
      RunOk(U8(u8"GZR_Jyusyo_FindListFirstFL \"${GAZREF_TEST_OUT}none.csv\" \"東京都 無名区\" "
               "\"${GAZREF_TEST_DATA}\" -1 0 buf\n"
               "GZR_Jyusyo_FindListFirst \"\" \"${GAZREF_TEST_DATA}\" -1 null buf\n"
               "GZR_ZEB_Jyusyo_FindListFirst_Code \"\" \"${GAZREF_TEST_DATA}\" -1 null null\n"
               "GZR_Jyusyo_FindListFirstFL null \"\" \"${GAZREF_TEST_DATA}\" -1 0 buf\n") +
            "GZR_Jyusyo_FindListFirst " + longText + " \"${GAZREF_TEST_DATA}\" -1 0 buf\n");
  // No rows: the empty result file stays.
  EXPECT_EQ(CallOutput(out, U8(u8"GZR_Jyusyo_FindListFirstFL \"${GAZREF_TEST_OUT}none.csv\" "
                               "\"東京都 無名区\" \"${GAZREF_TEST_DATA}\" -1 0 buf")),
            U8(u8"= 0\n  #5: 0\n  #6: 対象データがありません！[東京都 無名区]\n"));
  EXPECT_TRUE(testutil::Exists(OutFile("none.csv")));
  EXPECT_EQ(testutil::ReadBytes(OutFile("none.csv")), "");
  EXPECT_EQ(CallOutput(out, "GZR_Jyusyo_FindListFirst \"\" \"${GAZREF_TEST_DATA}\" -1 null buf"),
            U8(u8"= 0\n  #4: null\n  #5: パラメータに無効な値が渡されました！(検索中断フラグ)\n"));
  EXPECT_EQ(CallOutput(
                out, "GZR_ZEB_Jyusyo_FindListFirst_Code \"\" \"${GAZREF_TEST_DATA}\" -1 null null"),
            "= 0\n  #4: null\n  #5: null\n");
  EXPECT_EQ(
      CallOutput(out, "GZR_Jyusyo_FindListFirstFL null \"\" \"${GAZREF_TEST_DATA}\" -1 0 buf"),
      U8(u8"= 0\n  #5: 0\n"
         "  #6: パラメータに無効な値が渡されました！(結果格納ファイル名)\n"));
  EXPECT_EQ(
      CallOutput(out, "GZR_Jyusyo_FindListFirst " + longText + " \"${GAZREF_TEST_DATA}\" -1 0 buf"),
      U8(u8"= 0\n  #4: 0\n  #5: パラメータに無効な値が渡されました！(検索文字列)\n"));
}

// ---- Footers and placeholder names where the library writes rows ----

TEST_F(AddressExports, FootersOnBlocksByTheAddressFlagAndOnHistoryLots) {
  const std::string out = Script(
      u8"GZR_SetAddr_FooterGaiku \"番\"\n"
      "GZR_SetAddr_FooterZyukyo \"号\"\n"
      "GZR_SetAddr_FooterOyaban \"番地\"\n"
      // 二丁目: blocks 1 to 4 are marked 住居表示, block 6 is not.
      "GZR_Jyusyo_FindListFirst \"東京都 千代田区 丸の内 二丁目\" \"${GAZREF_TEST_DATA}\" -1 0 "
      "buf\n"
      ".rows addr\n"
      // The lots of block 1 in the change history: digit 1 on lots 5 and 7.
      "GZR_Jyusyo_FindListFirst \"東京都 千代田区 丸の内 一丁目 １\" \"${GAZREF_TEST_DATA}\" -1 0 "
      "buf\n"
      ".rows addr\n"
      "GZR_TVX_FindAllFirst 4 \"丸の内 １ ５\" \"${GAZREF_TEST_DATA}\" -1 0 buf\n"
      "GZR_GetAddrFwData 0\n"
      "GZR_GetA_Fw_Addr5thStr buf\n"
      "GZR_GetA_Fw_Addr6thStr buf\n"
      "GZR_Jyusyo_Analyze \"東京都千代田区丸の内二丁目３\" \"${GAZREF_TEST_DATA}\" buf\n"
      "GZR_GetAddrFwData 0\n"
      "GZR_GetA_Fw_Addr5thStr buf\n"
      "GZR_Jyusyo_Analyze \"東京都千代田区丸の内二丁目６\" \"${GAZREF_TEST_DATA}\" buf\n"
      "GZR_GetAddrFwData 0\n"
      "GZR_GetA_Fw_Addr5thStr buf\n"
      // Without the block footer no block takes one.
      "GZR_SetAddr_FooterGaiku \"\"\n"
      "GZR_TVX_FindAllFirst 3 \"丸の内 ２\" \"${GAZREF_TEST_DATA}\" -1 0 buf\n"
      "GZR_GetAddrFwData 0\n"
      "GZR_GetA_Fw_Addr5thStr buf\n");
  EXPECT_NE(out.find(U8(u8"total 5\n"
                        "row 0: １番,,128441064,503154033,1310100100200001\n"
                        "row 1: ２番,,128438543,503161953,1310100100200002\n"
                        "row 2: ３番,,128435303,503157633,1310100100200003\n"
                        "row 3: ４番,,128432783,503164113,1310100100200004\n"
                        "row 4: ６,,128429902,503159793,1310100100200006\n")),
            std::string::npos)
      << out;
  EXPECT_NE(out.find(U8(u8"total 4\n"
                        "row 0: １,,128452585,503162674,131010010010000100001\n"
                        "row 1: ３,,128451865,503164114,131010010010000100003\n"
                        "row 2: ５号,,128451145,503165194,131010010010000100005\n"
                        "row 3: ７号,,128450785,503165914,131010010010000100007\n")),
            std::string::npos)
      << out;
  EXPECT_NE(out.find(U8(u8"> GZR_GetA_Fw_Addr5thStr buf\n= void\n  #1: １番\n"
                        "> GZR_GetA_Fw_Addr6thStr buf\n= void\n  #1: ５号\n")),
            std::string::npos)
      << out;
  EXPECT_NE(out.find(U8(u8"二丁目３\" \"${GAZREF_TEST_DATA}\" buf\n= 1\n")), std::string::npos);
  EXPECT_NE(out.find(U8(u8"  #1: ３番\n")), std::string::npos) << out;
  EXPECT_NE(out.find(U8(u8"二丁目６\" \"${GAZREF_TEST_DATA}\" buf\n= 1\n")), std::string::npos);
  EXPECT_NE(out.find(U8(u8"  #1: ６\n")), std::string::npos) << out;
  EXPECT_NE(out.rfind(U8(u8"> GZR_GetA_Fw_Addr5thStr buf\n= void\n  #1: １\n")), std::string::npos)
      << out;
}

TEST_F(AddressExports, PlaceholderOazaOfKeywordRowsByTheAzaMode) {
  const std::string out = Script(
      u8"GZR_TVX_FindAllFirst 2 \"円明寺\" \"${GAZREF_TEST_DATA}\" -1 0 buf\n"
      ".rows fw\n"
      "GZR_SetAddr_DefaultAzaMode 1\n"
      "GZR_TVX_FindAllFirst 2 \"円明寺\" \"${GAZREF_TEST_DATA}\" -1 0 buf\n"
      ".rows fw\n"
      "GZR_Jyusyo_FindListFirst_Code \"26303\" \"${GAZREF_TEST_DATA}\" -1 0 buf\n"
      ".rows addr\n");
  EXPECT_NE(out.find(U8(u8"row 0: 京都府,乙訓郡大山崎町,おとくにぐんおおやまざきちょう,,,"
                        "円明寺,えんみょうじ,,,125639140,488496006,26303000002,0,0\n")),
            std::string::npos)
      << out;
  EXPECT_NE(out.find(U8(u8"row 0: 京都府,乙訓郡大山崎町,おとくにぐんおおやまざきちょう,"
                        "大字なし地区,おおあざなしちく,円明寺,えんみょうじ,,,"
                        "125639140,488496006,26303000002,0,0\n")),
            std::string::npos)
      << out;
  EXPECT_NE(out.find(U8(u8"total 1\nrow 0: 大字なし地区,おおあざなしちく,125632659,488491686,"
                        "2630301\n")),
            std::string::npos)
      << out;
}

// ---- Keyword searches ----

TEST_F(AddressExports, KeywordRetryWithoutOazaWordRewritesTheCallersText) {
  const std::string out = Script(
      u8"GZR_TVX_FindAllFirst 1 \"大字丸の内\" \"${GAZREF_TEST_DATA}\" -1 5 buf\n"
      ".rows fw\n"
      "GZR_ZEB_FindAllFirstFL \"${GAZREF_TEST_OUT}kw.csv\" 1 \"大字無名野\" "
      "\"${GAZREF_TEST_DATA}\" -1 0 buf\n"
      "GZR_TVX_FindAllFirst 1 \"丸の内\" \"${GAZREF_TEST_DATA}\" -1 null buf\n"
      "GZR_WUL_FindFirst 1 null null null \"${GAZREF_TEST_DATA}\" -1 0 buf\n");
  EXPECT_NE(out.find(U8(u8"= 1\n  #2: 丸の内\n  #5: 0\n  #6: \n> .rows fw\ntotal 1\n"
                        "row 0: 東京都,千代田区,ちよだく,丸の内,まるのうち,,,,,"
                        "128440703,503165554,1310101,0,0\n")),
            std::string::npos)
      << out;
  EXPECT_NE(out.find(U8(u8"= 0\n  #3: 無名野\n  #6: 0\n  #7: 対象データがありません！[無名野]\n")),
            std::string::npos)
      << out;
  EXPECT_EQ(testutil::ReadBytes(OutFile("kw.csv")), "");
  EXPECT_NE(out.find(U8(u8"= 0\n  #2: 丸の内\n  #5: null\n"
                        "  #6: パラメータに無効な値が渡されました！(検索中断フラグ)\n")),
            std::string::npos)
      << out;
  EXPECT_NE(out.find(U8(u8"= 0\n  #4: null\n  #7: 0\n"
                        "  #8: パラメータに無効な値が渡されました！(検索文字列)\n")),
            std::string::npos)
      << out;
}

TEST_F(AddressExports, ZebKeywordSearchLeavesTheChangeHistoryUnread) {
  const std::string out = Script(
      u8"GZR_TVX_FindAllFirst 4 \"丸の内 １ ５\" \"${GAZREF_TEST_DATA}\" -1 0 buf\n"
      "GZR_ZEB_FindAllFirst 4 \"丸の内 １ ５\" \"${GAZREF_TEST_DATA}\" -1 0 buf\n"
      "GZR_WUL_FindFirst 4 \"東京都\" \"千代田区\" \"丸の内 １ ５\" \"${GAZREF_TEST_DATA}\" -1 0 "
      "buf\n"
      "GZR_GetAddrTotal\n"
      "GZR_ZEB_FindFirst 4 \"東京都\" \"千代田区\" \"丸の内 １ ５\" \"${GAZREF_TEST_DATA}\" -1 0 "
      "buf\n"
      "GZR_GetAddrTotal\n");
  EXPECT_EQ(CallOutput(out, U8(u8"GZR_TVX_FindAllFirst 4 \"丸の内 １ ５\" \"${GAZREF_TEST_DATA}\" "
                               "-1 0 buf")),
            U8(u8"= 1\n  #2: 丸の内 １ ５\n  #5: 0\n  #6: \n"));
  EXPECT_EQ(
      CallOutput(out, U8(u8"GZR_ZEB_FindAllFirst 4 \"丸の内 １ ５\" \"${GAZREF_TEST_DATA}\" "
                         "-1 0 buf")),
      U8(u8"= 0\n  #2: 丸の内 １ ５\n  #5: 0\n  #6: 対象データがありません！[丸の内 １ ５]\n"));
  const std::size_t wul = out.find("> GZR_WUL_");
  EXPECT_NE(out.find("> GZR_GetAddrTotal\n= 2\n", wul), std::string::npos) << out;
  EXPECT_NE(out.find("> GZR_GetAddrTotal\n= 0\n", wul), std::string::npos) << out;
}

TEST_F(AddressExports, RowLimitSetsTheInterruptionFlag) {
  const std::string out = Script(
      u8"GZR_ZEB_FindFirst 2 \"東京都\" null \"丸の内\" \"${GAZREF_TEST_DATA}\" 1 0 buf\n"
      "GZR_GetAddrTotal\n"
      "GZR_Jyusyo_FindListFirst \"東京都\" \"${GAZREF_TEST_DATA}\" 2 0 buf\n"
      "GZR_GetAddrTotal\n");
  EXPECT_NE(out.find(U8(u8"= 1\n  #4: 丸の内\n  #7: 1\n  #8: \n> GZR_GetAddrTotal\n= 1\n")),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("= 1\n  #4: 1\n  #5: \n> GZR_GetAddrTotal\n= 2\n"), std::string::npos) << out;
}

// ---- The final number after each search family ----

TEST_F(AddressExports, FuyoAfterEachSearchFamily) {
  const std::string out = Script(
      // Restricted keyword search: the number at the head of the code.
      u8"GZR_WUL_FindFirst 1 \"東京都\" \"千代田区\" \"丸の内\" \"${GAZREF_TEST_DATA}\" -1 0 buf\n"
      "GZR_GetAddrFwData 0\nGZR_GetA_Fw_Fuyo\n"
      // The analysis without _v2 leaves the switch as it was: the code
      // 13117 is read.
      "GZR_Jyusyo_Analyze \"北区\" \"${GAZREF_TEST_DATA}\" buf\n"
      "GZR_GetAddrFwData 0\nGZR_GetA_Fw_Fuyo\n"
      // _v2 reads field 14, the level matched (2).
      "GZR_Jyusyo_Analyze_v2 \"北区\" \"${GAZREF_TEST_DATA}\" 0 buf\n"
      "GZR_GetAddrFwData 0\nGZR_GetA_Fw_Fuyo\n"
      "GZR_ZEB_FindFirst 1 \"東京都\" \"千代田区\" \"丸の内\" \"${GAZREF_TEST_DATA}\" -1 0 buf\n"
      // The unrestricted keyword search reads field 14 (0).
      "GZR_TVX_FindAllFirst 1 \"丸の内\" \"${GAZREF_TEST_DATA}\" -1 0 buf\n"
      "GZR_GetAddrFwData 0\nGZR_GetA_Fw_Fuyo\n"
      "GZR_ZEB_FindFirst 1 \"東京都\" \"千代田区\" \"丸の内\" \"${GAZREF_TEST_DATA}\" -1 0 buf\n"
      // A listing switches back to the field.
      "GZR_Jyusyo_FindListFirst_Code \"13101\" \"${GAZREF_TEST_DATA}\" -1 0 buf\n"
      "GZR_GetAddrFwData 0\nGZR_GetA_Fw_Fuyo\n");
  std::string fuyo;
  for (std::size_t at = out.find("> GZR_GetA_Fw_Fuyo\n= "); at != std::string::npos;
       at = out.find("> GZR_GetA_Fw_Fuyo\n= ", at + 1)) {
    const std::size_t value = at + 21;
    fuyo += out.substr(value, out.find('\n', value) - value) + " ";
  }
  // The listing's 6-field row: its last field (the status, 0).
  EXPECT_EQ(fuyo, "1310101 13117 2 0 0 ") << out;
}

// ---- Analysis ----

TEST_F(AddressExports, AnalysisOfAFullAddressWritesOneFourteenFieldRow) {
  const std::string file = OutFile("analysis.csv");
  const std::string out = Script(
      u8"GZR_Jyusyo_AnalyzeFL \"${GAZREF_TEST_OUT}analysis.csv\" \"東京都千代田区丸の内一丁目\" "
      "\"${GAZREF_TEST_DATA}\" buf\n"
      "GZR_GetAddrTotal\n"
      "GZR_Jyusyo_Analyze \"東京都千代田区丸の内一丁目\" \"${GAZREF_TEST_DATA}\" buf\n"
      ".rows fw\n");
  EXPECT_NE(
      out.find(U8(u8"= 1\n  #2: 東京都千代田区丸の内一丁目\n  #4: \n> GZR_GetAddrTotal\n= 0\n")),
      std::string::npos)
      << out;
  EXPECT_EQ(testutil::ReadBytes(file),
            testutil::Sjis(u8"東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,,,"
                           "128446464,503165554,13101001001,0,4\r\n"));
  EXPECT_NE(out.find(U8(u8"total 1\nrow 0: 東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,"
                        "いっちょうめ,,,128446464,503165554,13101001001,0,")),
            std::string::npos)
      << out;
}

TEST_F(AddressExports, AnalyzeExClassTwoStopsAtTheAzaLevel) {
  const std::string out = Script(
      u8"GZR_Jyusyo_Analyze_v2 \"東京都千代田区丸の内一丁目１番\" \"${GAZREF_TEST_DATA}\" 0 buf\n"
      ".rows fw\n"
      "GZR_SetAddr_AnalyzeExClass 2\n"
      "GZR_Jyusyo_Analyze_v2 \"東京都千代田区丸の内一丁目１番\" \"${GAZREF_TEST_DATA}\" 0 buf\n"
      ".rows fw\n"
      "GZR_SetAddr_AnalyzeExClass 1\n"
      "GZR_Jyusyo_Analyze_v2 \"東京都千代田区丸の内一丁目１番\" \"${GAZREF_TEST_DATA}\" 0 buf\n"
      ".rows fw\n");
  const std::string head = U8(u8"row 0: 東京都,千代田区,ちよだく,丸の内,まるのうち,");
  EXPECT_NE(
      out.find(head + U8(u8"一丁目,いっちょうめ,１,,128451865,503163754,1310100100100001,0,6\n")),
      std::string::npos)
      << out;
  EXPECT_NE(out.find(head + U8(u8"一丁目,いっちょうめ,,,128446464,503165554,13101001001,0,4\n")),
            std::string::npos)
      << out;
  EXPECT_NE(out.find(head + ",,,,128440703,503165554,13101001,0,3\n"), std::string::npos) << out;
}

TEST_F(AddressExports, MunicipalityFoundTwiceAnswersTwoOnlyInTheV2Forms) {
  const std::string out = Script(
      u8"GZR_Jyusyo_Analyze_v2 \"北区\" \"${GAZREF_TEST_DATA}\" 1 buf\n"
      "GZR_GetAddrTotal\n"
      "GZR_Jyusyo_AnalyzeFL_v2 \"${GAZREF_TEST_OUT}twice.csv\" \"北区\" \"${GAZREF_TEST_DATA}\" 1 "
      "buf\n"
      // Without the county-optional switch only 東京都北区 matches.
      "GZR_Jyusyo_Analyze_v2 \"北区\" \"${GAZREF_TEST_DATA}\" 0 buf\n"
      "GZR_Jyusyo_Analyze \"北区\" \"${GAZREF_TEST_DATA}\" buf\n");
  EXPECT_NE(out.find(U8(u8"= 2\n  #1: 北区\n  #4: 市区町村が特定できません！[北区]\n"
                        "> GZR_GetAddrTotal\n= 0\n")),
            std::string::npos)
      << out;
  EXPECT_NE(out.find(U8(u8"= 2\n  #2: 北区\n  #5: 市区町村が特定できません！[北区]\n")),
            std::string::npos)
      << out;
  EXPECT_FALSE(testutil::Exists(OutFile("twice.csv")));
  EXPECT_NE(out.find(U8(u8"\" 0 buf\n= 1\n  #1: 北区\n  #4: \n")), std::string::npos) << out;
  EXPECT_NE(out.find(U8(u8"\" buf\n= 1\n  #1: 北区\n  #3: \n")), std::string::npos) << out;
}

TEST_F(AddressExports, AnalysisTriesThreeTimesAndLeavesNoFile) {
  const std::string out = Script(
      u8"GZR_Jyusyo_AnalyzeFL \"${GAZREF_TEST_OUT}none.csv\" \"大字字無名野\" "
      "\"${GAZREF_TEST_DATA}\" buf\n"
      "GZR_Jyusyo_Analyze_v2 \"大字字無名野\" \"${GAZREF_TEST_DATA}\" 0 buf\n"
      "GZR_Jyusyo_Analyze_v2 null \"${GAZREF_TEST_DATA}\" 0 buf\n"
      "GZR_Jyusyo_Analyze null \"${GAZREF_TEST_DATA}\" buf\n"
      "GZR_Jyusyo_AnalyzeFL_v2 null \"北区\" \"${GAZREF_TEST_DATA}\" 0 buf\n");
  EXPECT_NE(out.find(U8(u8"= 0\n  #2: 無名野\n  #4: 対象データがありません！[無名野]\n")),
            std::string::npos)
      << out;
  EXPECT_FALSE(testutil::Exists(OutFile("none.csv")));
  EXPECT_NE(out.find(U8(u8"= 0\n  #1: 無名野\n  #4: 対象データがありません！[無名野]\n")),
            std::string::npos)
      << out;
  // A null text: -1 for _v2, 0 for the plain form.
  EXPECT_NE(
      out.find(U8(u8"= -1\n  #1: null\n  #4: パラメータに無効な値が渡されました！(検索文字列)\n")),
      std::string::npos)
      << out;
  EXPECT_NE(
      out.find(U8(u8"= 0\n  #1: null\n  #3: パラメータに無効な値が渡されました！(検索文字列)\n")),
      std::string::npos)
      << out;
  EXPECT_NE(out.find(U8(u8"= -1\n  #2: 北区\n"
                        "  #5: パラメータに無効な値が渡されました！(結果格納ファイル名)\n")),
            std::string::npos)
      << out;
}

}  // namespace
