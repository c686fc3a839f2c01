// libGazref.so driven through gazref_host, as a host program drives it:
// the exported names, the setters, the two total names, the loaders on
// rows out of range, the border code on the sample grid files, the file
// sort, and the host's own errors.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "host_runner.h"
#include "support/test_util.h"

namespace {

using hosttest::BuildDir;
using hosttest::HostTest;
using hosttest::RunCommand;
using hosttest::U8;

const char* const kExports[] = {
    "GZR_SetAddr_DefaultAzaMode",
    "GZR_SetAddr_AnalyzeExClass",
    "GZR_SetAddr_DeleteGun",
    "GZR_SetAddr_SkipAzaNasi",
    "GZR_SetAddr_FooterGaiku",
    "GZR_SetAddr_FooterZyukyo",
    "GZR_SetAddr_FooterOyaban",
    "GZR_SetAddr_FooterKoban",
    "GZR_InitDB",
    "GZR_GetAddrTotal",
    "GZR_GetAddrFwTotal",
    "GZR_GetShisetsuTotal",
    "GZR_GetAddrData",
    "GZR_GetAddrFwData",
    "GZR_GetShisetsuData",
    "GZR_GetA_AddrStr",
    "GZR_GetA_YomiStr",
    "GZR_GetA_Lat",
    "GZR_GetA_Lon",
    "GZR_GetA_GJis",
    "GZR_GetA_Fw_AddrStr",
    "GZR_GetA_Fw_Addr2ndStr",
    "GZR_GetA_Fw_Addr3rdStr",
    "GZR_GetA_Fw_Addr4thStr",
    "GZR_GetA_Fw_Addr5thStr",
    "GZR_GetA_Fw_Addr6thStr",
    "GZR_GetA_Fw_Yomi2ndStr",
    "GZR_GetA_Fw_Yomi3rdStr",
    "GZR_GetA_Fw_Yomi4thStr",
    "GZR_GetA_Fw_Lat",
    "GZR_GetA_Fw_Lon",
    "GZR_GetA_Fw_GJis",
    "GZR_GetA_Fw_Status",
    "GZR_GetA_Fw_Fuyo",
    "GZR_GetS_NameStr",
    "GZR_GetS_YomiStr",
    "GZR_GetS_Lat",
    "GZR_GetS_Lon",
    "GZR_GetS_AddrStr",
    "GZR_GetS_Addr2ndStr",
    "GZR_GetS_GJis",
    "GZR_GetS_strBunruiLStr",
    "GZR_GetS_strBunruiMStr",
    "GZR_GetS_strBunruiSStr",
    "GZR_GetS_Distance",
    "GZR_StringArray_Sort_CSV_J",
    "GZR_StringArray_Sort_CSV_S",
    "GZR_TXT_Sort_CSV",
    "GZR_Border_GetCode",
    // The multi-level address search.
    "GZR_TVX_Jyusyo_FindListFirst2_EX",
    "GZR_TVX_Jyusyo_FindListFirst2_EX_FL",
    // Facilities, categories and administrative areas.
    "GZR_Shisetsu_FindListFirst",
    "GZR_Shisetsu_FindListFirstFL",
    "GZR_Bunrui_FindListFirst",
    "GZR_Bunrui_FindListFirstFL",
    "GZR_Gyosei_FindListFirst",
    "GZR_Gyosei_FindListFirstFL",
};

// The address searches: listings, keyword searches and the analysis.
const char* const kAddressSearchExports[] = {
    "GZR_Jyusyo_FindListFirst",
    "GZR_Jyusyo_FindListFirstFL",
    "GZR_ZEB_Jyusyo_FindListFirst",
    "GZR_ZEB_Jyusyo_FindListFirstFL",
    "GZR_Jyusyo_FindListFirst_Code",
    "GZR_Jyusyo_FindListFirst_CodeFL",
    "GZR_ZEB_Jyusyo_FindListFirst_Code",
    "GZR_ZEB_Jyusyo_FindListFirst_CodeFL",
    "GZR_TVX_FindAllFirst",
    "GZR_TVX_FindAllFirstFL",
    "GZR_ZEB_FindAllFirst",
    "GZR_ZEB_FindAllFirstFL",
    "GZR_WUL_FindFirst",
    "GZR_WUL_FindFirstFL",
    "GZR_ZEB_FindFirst",
    "GZR_ZEB_FindFirstFL",
    "GZR_Jyusyo_AnalyzeFL",
    "GZR_Jyusyo_Analyze",
    "GZR_Jyusyo_AnalyzeFL_v2",
    "GZR_Jyusyo_Analyze_v2",
};

TEST(GazrefLibrary, ExportsExactlyTheInterfaceNames) {
  if (BuildDir().empty()) GTEST_SKIP() << "KORT_BUILD_DIR is not set";
  std::string out;
  ASSERT_EQ(RunCommand("nm -D --defined-only '" + BuildDir() + "/libGazref.so'", &out), 0);
  std::set<std::string> names;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    // "address type name"
    const std::size_t blank = line.rfind(' ');
    names.insert(line.substr(blank + 1));
  }
  std::set<std::string> expected(std::begin(kExports), std::end(kExports));
  EXPECT_EQ(expected.size(), 57u);
  expected.insert(std::begin(kAddressSearchExports), std::end(kAddressSearchExports));
  EXPECT_EQ(expected.size(), 77u);
  EXPECT_EQ(names, expected) << out;
}

// The library keeps its caches for the life of the process: a host that
// closes it leaves it loaded, so that nothing it keeps is lost (nor left
// unreachable) and a second open finds the same library.
TEST(GazrefLibrary, StaysLoadedWhenAHostClosesIt) {
  if (BuildDir().empty()) GTEST_SKIP() << "KORT_BUILD_DIR is not set";
  const std::string path = BuildDir() + "/libGazref.so";
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  void* total = dlsym(handle, "GZR_GetAddrTotal");
  ASSERT_NE(total, nullptr);
  ASSERT_EQ(dlclose(handle), 0);
  void* still = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
  ASSERT_NE(still, nullptr) << "unloaded when closed";
  EXPECT_EQ(dlsym(still, "GZR_GetAddrTotal"), total);
  dlclose(still);
}

// The public header declares the same names: every "GZR_name(" of it.
TEST(GazrefLibrary, HeaderDeclaresExactlyTheInterfaceNames) {
  std::ifstream header(KORT_GAZREF_HEADER);
  ASSERT_TRUE(header) << KORT_GAZREF_HEADER;
  const std::string text((std::istreambuf_iterator<char>(header)),
                         std::istreambuf_iterator<char>());
  std::set<std::string> declared;
  const std::regex declaration(R"(\b(GZR_\w+)\s*\()");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), declaration);
       it != std::sregex_iterator(); ++it) {
    declared.insert((*it)[1]);
  }
  std::set<std::string> expected(std::begin(kExports), std::end(kExports));
  expected.insert(std::begin(kAddressSearchExports), std::end(kAddressSearchExports));
  EXPECT_EQ(declared, expected);
}

TEST_F(HostTest, SettersAnswerThePreviousValue) {
  const std::string out =
      RunOk(U8(u8"GZR_SetAddr_AnalyzeExClass 7\n"
               "GZR_SetAddr_AnalyzeExClass -1\n"
               "GZR_SetAddr_DefaultAzaMode 1\n"
               "GZR_SetAddr_DefaultAzaMode 0\n"
               "GZR_SetAddr_DeleteGun 2147483647\n"
               "GZR_SetAddr_DeleteGun 1\n"
               "GZR_SetAddr_SkipAzaNasi -2147483648\n"
               "GZR_SetAddr_SkipAzaNasi 1\n"
               "GZR_SetAddr_FooterGaiku \"番地\"\n"
               "GZR_SetAddr_FooterZyukyo null\n"
               "GZR_SetAddr_FooterOyaban \"\"\n"
               "GZR_SetAddr_FooterKoban \"号\"\n"));
  EXPECT_EQ(out, U8(u8"> GZR_SetAddr_AnalyzeExClass 7\n= 4\n"
                    "> GZR_SetAddr_AnalyzeExClass -1\n= 7\n"
                    "> GZR_SetAddr_DefaultAzaMode 1\n= 0\n"
                    "> GZR_SetAddr_DefaultAzaMode 0\n= 1\n"
                    "> GZR_SetAddr_DeleteGun 2147483647\n= 0\n"
                    "> GZR_SetAddr_DeleteGun 1\n= 2147483647\n"
                    "> GZR_SetAddr_SkipAzaNasi -2147483648\n= 0\n"
                    "> GZR_SetAddr_SkipAzaNasi 1\n= -2147483648\n"
                    "> GZR_SetAddr_FooterGaiku \"番地\"\n= void\n"
                    "> GZR_SetAddr_FooterZyukyo null\n= void\n"
                    "> GZR_SetAddr_FooterOyaban \"\"\n= void\n"
                    "> GZR_SetAddr_FooterKoban \"号\"\n= void\n"));
}

TEST_F(HostTest, BothTotalNamesAreOneFunction) {
  const std::string out = RunOk(
      ".same GZR_GetAddrTotal GZR_GetAddrFwTotal\n"
      ".same GZR_GetAddrTotal GZR_GetShisetsuTotal\n"
      "GZR_GetAddrFwTotal\n"
      "GZR_InitDB\n"
      "GZR_GetShisetsuTotal\n");
  EXPECT_EQ(out,
            "> .same GZR_GetAddrTotal GZR_GetAddrFwTotal\nsame\n"
            "> .same GZR_GetAddrTotal GZR_GetShisetsuTotal\ndifferent\n"
            "> GZR_GetAddrFwTotal\n= 0\n"
            "> GZR_InitDB\n= void\n"
            "> GZR_GetShisetsuTotal\n= 0\n");
}

TEST_F(HostTest, LoadersOutOfRangeLoadNothingAndNumbersBecomeZero) {
  // A fresh host has no rows: every index is out of range, negative ones
  // and the largest included.
  const std::string out = RunOk(
      "GZR_GetAddrData -1\nGZR_GetA_Lat\nGZR_GetA_AddrStr buf\n"
      "GZR_GetAddrFwData 2147483647\nGZR_GetA_Fw_Lon\nGZR_GetA_Fw_Fuyo\n"
      "GZR_GetShisetsuData 0\nGZR_GetS_Distance\nGZR_GetS_NameStr null\n"
      ".rows addr\n.rows fw\n.rows shisetsu\n");
  EXPECT_NE(out.find("> GZR_GetA_Lat\n= 0\n> GZR_GetA_AddrStr buf\n= void\n  #1: \n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("> GZR_GetA_Fw_Lon\n= 0\n> GZR_GetA_Fw_Fuyo\n= 0\n"), std::string::npos);
  EXPECT_NE(out.find("> GZR_GetS_Distance\n= 0\n> GZR_GetS_NameStr null\n= void\n  #1: null\n"),
            std::string::npos);
  EXPECT_NE(out.find("> .rows shisetsu\ntotal 0\n"), std::string::npos);
}

TEST_F(HostTest, ArraySortsOfEmptyArraysFailWithTheMessage) {
  const std::string out =
      RunOk("GZR_StringArray_Sort_CSV_J 1 buf\nGZR_StringArray_Sort_CSV_S 2 null\n");
  EXPECT_EQ(
      out,
      U8(u8"> GZR_StringArray_Sort_CSV_J 1 buf\n= 0\n  #2: CStringArrayにデータが存在しません！\n"
         "> GZR_StringArray_Sort_CSV_S 2 null\n= 0\n  #2: null\n"));
}

TEST_F(HostTest, TxtSortCsvSortsAFileInPlace) {
  const std::string file = dir_.Native(reinterpret_cast<const char*>(u8"結果.csv"));
  ASSERT_TRUE(testutil::WriteBytes(
      file, testutil::Sjis(u8"東京駅,c,1\r\n神田駅,a,2\r\n有楽町駅,b,3\r\n大手町駅,a,4\r\n")));
  const std::string out = RunOk("GZR_TXT_Sort_CSV \"" + file + "\" 2 buf\n");
  EXPECT_EQ(out, "> GZR_TXT_Sort_CSV \"" + file + "\" 2 buf\n= 1\n  #3: \n");
  const std::string sorted = testutil::ReadBytes(file);
  // By field 2; the two "a" rows in either order (the sort is not stable).
  EXPECT_TRUE(
      sorted == testutil::Sjis(u8"神田駅,a,2\r\n大手町駅,a,4\r\n有楽町駅,b,3\r\n東京駅,c,1\r\n") ||
      sorted == testutil::Sjis(u8"大手町駅,a,4\r\n神田駅,a,2\r\n有楽町駅,b,3\r\n東京駅,c,1\r\n"))
      << testutil::Show(sorted);

  const std::string missing = dir_.Native("none.csv");
  const std::string failed = RunOk("GZR_TXT_Sort_CSV \"" + missing + "\" 1 buf\n");
  EXPECT_NE(failed.find(U8(u8"= 0\n  #3: ファイルの読み込みに失敗しました！(") + missing + ")\n"),
            std::string::npos)
      << failed;
}

// The sample grid files (Tokyo datum, thousandths of a second of arc).
TEST_F(HostTest, BorderCodeOnTheSampleGrid) {
  setenv("GAZREF_TEST_DATA", (BuildDir() + U8(u8"/Database/住所")).c_str(), 1);
  const std::string out = RunOk(
      // Inside 丸の内一丁目; inside 丸の内 between its chome areas.
      "GZR_Border_GetCode buf 128446464 503165554 \"${GAZREF_TEST_DATA}\" buf\n"
      "GZR_Border_GetCode buf 128440000 503169000 \"${GAZREF_TEST_DATA}\" buf\n"
      // At sea, and with no message buffer.
      "GZR_Border_GetCode buf 120000000 500000000 \"${GAZREF_TEST_DATA}\" buf\n"
      "GZR_Border_GetCode buf 120000000 500000000 \"${GAZREF_TEST_DATA}\" null\n"
      // No result buffer.
      "GZR_Border_GetCode null 128446464 503165554 \"${GAZREF_TEST_DATA}\" buf\n"
      "GZR_GetAddrTotal\n");
  unsetenv("GAZREF_TEST_DATA");
  const std::string call = "GZR_Border_GetCode buf ";
  const std::string data = " \"${GAZREF_TEST_DATA}\" ";
  EXPECT_EQ(out,
            "> " + call + "128446464 503165554" + data + "buf\n= 1\n  #1: 13101001001\n  #5: \n" +
                "> " + call + "128440000 503169000" + data + "buf\n= 1\n  #1: 13101001\n  #5: \n" +
                "> " + call + "120000000 500000000" + data + "buf\n= 0\n  #1: \n" +
                U8(u8"  #5: 住所コードの取得ができません！(緯度:120000.000 経度:500000.000)\n") +
                "> " + call + "120000000 500000000" + data + "null\n= 0\n  #1: \n  #5: null\n" +
                "> GZR_Border_GetCode null 128446464 503165554" + data + "buf\n= 0\n  #1: null\n" +
                U8(u8"  #5: パラメータに無効な値が渡されました！(結果格納配列)\n") +
                "> GZR_GetAddrTotal\n= 0\n");
}

TEST_F(HostTest, ScriptErrorsAreReportedAndTheScriptGoesOn) {
  std::string out;
  EXPECT_EQ(Run("GZR_NoSuchExport 1\n"
                "GZR_SetAddr_DeleteGun\n"
                "GZR_SetAddr_DeleteGun x\n"
                "GZR_GetA_AddrStr mine\n"
                "GZR_SetAddr_FooterGaiku \"open\n"
                "GZR_SetAddr_FooterGaiku ${KORT_HOST_TEST_UNSET}\n"
                ".same GZR_InitDB GZR_Nothing\n"
                ".rows other\n"
                "# a comment\n\n"
                "GZR_SetAddr_DeleteGun 3\n",
                &out),
            1);
  EXPECT_EQ(out,
            "> GZR_NoSuchExport 1\nerror: unknown export: GZR_NoSuchExport\n"
            "> GZR_SetAddr_DeleteGun\nerror: GZR_SetAddr_DeleteGun takes 1 arguments\n"
            "> GZR_SetAddr_DeleteGun x\nerror: argument 1: not an int: x\n"
            "> GZR_GetA_AddrStr mine\nerror: argument 1: an out buffer is buf or null: mine\n"
            "> GZR_SetAddr_FooterGaiku \"open\nerror: unclosed quote\n"
            "> GZR_SetAddr_FooterGaiku ${KORT_HOST_TEST_UNSET}\n"
            "error: unset variable KORT_HOST_TEST_UNSET\n"
            "> .same GZR_InitDB GZR_Nothing\nerror: not exported: GZR_Nothing\n"
            "> .rows other\nerror: no such record: other (addr, fw, shisetsu, bunrui, gyosei)\n"
            "> GZR_SetAddr_DeleteGun 3\n= 0\n");
}

TEST_F(HostTest, AMissingLibraryEndsTheHost) {
  std::string out;
  EXPECT_EQ(RunCommand("'" + BuildDir() + "/gazref_host' -l '" + dir_.Native("none.so") +
                           "' /dev/null 2>&1",
                       &out),
            2);
  EXPECT_NE(out.find("cannot load the library"), std::string::npos) << out;
}

}  // namespace
