// The export functions called in-process, with rows put into the result
// arrays directly (no export of this interface fills them): the loaders on
// rows and out of range, the sorts leaving the totals, GZR_InitDB leaving
// the records, the final number in both modes, null buffers and footers.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "gazref/gazref.h"
#include "gazref/gazref_state.h"
#include "plat/cp932.h"

namespace {

class ExportsTest : public ::testing::Test {
 protected:
  void SetUp() override { GZR_InitDB(); }
  void TearDown() override { GZR_InitDB(); }

  static std::string Text(void (*getter)(char*)) {
    char buffer[512];
    std::memset(buffer, 'z', sizeof(buffer));
    getter(buffer);
    return buffer;
  }
  GazrefState& state_ = TheGazrefState();
};

TEST_F(ExportsTest, LoadersKeepTheLastRowOutOfRange) {
  state_.AddrResultArray = {"丸の内,まるのうち,128446464,503165554,13101001",
                            "大手町,おおてまち,128466000,503157000,13101002"};
  EXPECT_EQ(GZR_GetAddrTotal(), 2);
  GZR_GetAddrData(1);
  EXPECT_EQ(Text(GZR_GetA_AddrStr), "大手町");
  EXPECT_EQ(Text(GZR_GetA_YomiStr), "おおてまち");
  EXPECT_EQ(GZR_GetA_Lat(), 128466000);
  EXPECT_EQ(GZR_GetA_Lon(), 503157000);
  EXPECT_EQ(Text(GZR_GetA_GJis), "13101002");
  for (int row : {2, -1}) {
    GZR_GetAddrData(row);
    EXPECT_EQ(Text(GZR_GetA_AddrStr), "大手町") << row;
    EXPECT_EQ(Text(GZR_GetA_GJis), "13101002") << row;
    EXPECT_EQ(GZR_GetA_Lat(), 0) << row;
    EXPECT_EQ(GZR_GetA_Lon(), 0) << row;
  }
  // The loaders test the total the last count stored: rows added after it
  // stay out of reach until the total is asked again.
  state_.AddrResultArray.push_back("神田,かんだ,1,2,13101003");
  GZR_GetAddrData(2);
  EXPECT_EQ(Text(GZR_GetA_AddrStr), "大手町");
  EXPECT_EQ(GZR_GetAddrFwTotal(), 3);
  GZR_GetAddrData(2);
  EXPECT_EQ(Text(GZR_GetA_AddrStr), "神田");
}

TEST_F(ExportsTest, FullFormRecordAndItsFinalNumber) {
  state_.AddrResultArray = {
      "東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,,,"
      "128446464,503165554,13101001001,1,9"};
  GZR_GetAddrTotal();
  GZR_GetAddrFwData(0);
  EXPECT_EQ(Text(GZR_GetA_Fw_Addr3rdStr), "丸の内");
  EXPECT_EQ(Text(GZR_GetA_Fw_Yomi4thStr), "いっちょうめ");
  EXPECT_EQ(Text(GZR_GetA_Fw_Addr5thStr), "");
  EXPECT_EQ(GZR_GetA_Fw_Lat(), 128446464);
  EXPECT_EQ(GZR_GetA_Fw_Status(), 1);
  state_.FuyoFromCode = 0;
  EXPECT_EQ(GZR_GetA_Fw_Fuyo(), 9);
  state_.FuyoFromCode = 1;
  EXPECT_EQ(GZR_GetA_Fw_Fuyo(), 2147483647);
  state_.FuyoFromCode = 0;
}

TEST_F(ExportsTest, FacilityRecord) {
  state_.ShisetsuResultArray = {"東京駅,とうきょうえき,1,2,東京都,千代田区,13101,交通,鉄道,駅,55"};
  EXPECT_EQ(GZR_GetShisetsuTotal(), 1);
  GZR_GetShisetsuData(0);
  EXPECT_EQ(Text(GZR_GetS_strBunruiSStr), "駅");
  EXPECT_EQ(GZR_GetS_Distance(), 55);
  GZR_GetShisetsuData(1);
  EXPECT_EQ(Text(GZR_GetS_NameStr), "東京駅");
  EXPECT_EQ(GZR_GetS_Distance(), 0);
  EXPECT_EQ(GZR_GetS_Lat(), 0);
}

TEST_F(ExportsTest, SortsLeaveTheTotalsAndInitDbLeavesTheRecords) {
  state_.AddrResultArray = {"c,3", "a,1", "b,2"};
  state_.ShisetsuResultArray = {"y,2", "x,1"};
  GZR_GetShisetsuTotal();
  // A stale address total: the sort must not refresh it.
  EXPECT_EQ(state_.AddrTotal, 0);
  char message[512] = "";
  EXPECT_EQ(GZR_StringArray_Sort_CSV_J(2, message), 1);
  EXPECT_EQ(state_.AddrResultArray, (CStringArray{"a,1", "b,2", "c,3"}));
  EXPECT_EQ(state_.AddrTotal, 0);
  EXPECT_EQ(GZR_StringArray_Sort_CSV_S(1, nullptr), 1);
  EXPECT_EQ(state_.ShisetsuResultArray, (CStringArray{"x,1", "y,2"}));
  EXPECT_EQ(state_.ShisetsuTotal, 2);

  GZR_GetShisetsuData(0);
  GZR_InitDB();
  EXPECT_TRUE(state_.AddrResultArray.empty());
  EXPECT_TRUE(state_.ShisetsuResultArray.empty());
  EXPECT_EQ(state_.ShisetsuTotal, 0);
  EXPECT_EQ(Text(GZR_GetS_NameStr), "x");
}

TEST_F(ExportsTest, BorderCodeEmptiesTheAddressRows) {
  const char* build = std::getenv("KORT_BUILD_DIR");
  if (!build) GTEST_SKIP() << "KORT_BUILD_DIR is not set";
  std::string folder;
  ASSERT_TRUE(plat::cp932::FromUtf8(
      std::string(build) + reinterpret_cast<const char*>(u8"/Database/住所"), folder));
  state_.AddrResultArray = {"a,b,1,2,c"};
  GZR_GetAddrTotal();
  GZR_GetAddrData(0);
  char code[64];
  std::memset(code, 'z', sizeof(code));
  char message[512] = "";
  EXPECT_EQ(GZR_Border_GetCode(code, 128446464, 503165554, folder.c_str(), message), 1);
  EXPECT_STREQ(code, "13101001001");
  EXPECT_TRUE(state_.AddrResultArray.empty());
  EXPECT_EQ(state_.AddrTotal, 0);
  EXPECT_EQ(Text(GZR_GetA_AddrStr), "a");
  // A failure leaves the result empty.
  EXPECT_EQ(GZR_Border_GetCode(code, 0, 0, folder.c_str(), message), 0);
  EXPECT_STREQ(code, "");
  EXPECT_STREQ(message, "住所コードの取得ができません！(緯度:0.000 経度:0.000)");
}

TEST_F(ExportsTest, NullBuffersAndFooters) {
  state_.AddrResultArray = {"a,b,1,2,c"};
  GZR_GetAddrTotal();
  GZR_GetAddrData(0);
  GZR_GetA_AddrStr(nullptr);
  GZR_GetA_Fw_GJis(nullptr);
  GZR_GetS_GJis(nullptr);
  GZR_SetAddr_FooterGaiku("番地");
  EXPECT_EQ(state_.Options.Footers[0], "番地");
  GZR_SetAddr_FooterGaiku(std::string(300, 'x').c_str());
  EXPECT_EQ(state_.Options.Footers[0], "番地");
  GZR_SetAddr_FooterGaiku(nullptr);
  EXPECT_EQ(state_.Options.Footers[0], "");
  EXPECT_EQ(GZR_StringArray_Sort_CSV_J(1, nullptr), 1);
  EXPECT_EQ(GZR_TXT_Sort_CSV(nullptr, 1, nullptr), 0);
}

}  // namespace
