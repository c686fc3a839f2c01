// The facility, category and area exports called in-process: what each
// does to the facility rows, their total and the switch of the full-form
// record's final number, on success and on failure.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "gazref/gazref.h"
#include "gazref/gazref_state.h"
#include "plat/cp932.h"
#include "support/test_util.h"

namespace {

class FacilityExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* build = std::getenv("KORT_BUILD_DIR");
    if (!build) GTEST_SKIP() << "KORT_BUILD_DIR is not set";
    ASSERT_TRUE(plat::cp932::FromUtf8(
        std::string(build) + reinterpret_cast<const char*>(u8"/Database/施設"), folder_));
    GZR_InitDB();
  }
  void TearDown() override {
    GZR_InitDB();
    state_.FuyoFromCode = 0;
  }

  GazrefState& state_ = TheGazrefState();
  std::string folder_;
  testutil::TempDir dir_;
};

TEST_F(FacilityExportsTest, EachExportEmptiesTheRowsAndReadsTheFinalNumberFromItsField) {
  const std::string file = dir_.Sys("result.csv");
  const char* f = folder_.c_str();
  char msg[512];
  int flag = 0;
  // Each export once with rows and once refused (a negative maximum).
  struct Case {
    const char* name;
    std::function<int(int maximum)> call;
    bool array;
  };
  const std::vector<Case> cases = {
      {"Shisetsu",
       [&](int m) {
         return GZR_Shisetsu_FindListFirst("", "", "", "駅", "", 0, 0, 0, f, m, &flag, msg);
       },
       true},
      {"ShisetsuFL",
       [&](int m) {
         return GZR_Shisetsu_FindListFirstFL(file.c_str(), "", "", "", "駅", "", 0, 0, 0, f, m,
                                             &flag, msg);
       },
       false},
      {"Bunrui", [&](int m) { return GZR_Bunrui_FindListFirst("", "", "", f, m, &flag, msg); },
       true},
      {"BunruiFL",
       [&](int m) {
         return GZR_Bunrui_FindListFirstFL(file.c_str(), "", "", "", f, m, &flag, msg);
       },
       false},
      {"Gyosei", [&](int m) { return GZR_Gyosei_FindListFirst("", f, m, &flag, msg); }, true},
      {"GyoseiFL",
       [&](int m) { return GZR_Gyosei_FindListFirstFL(file.c_str(), "", f, m, &flag, msg); },
       false},
  };
  // A loaded full-form record whose final number differs from its code.
  state_.AddrResultArray = {"a,b,c,d,e,f,g,h,i,1,2,13101,0,9"};
  GZR_GetAddrTotal();
  GZR_GetAddrFwData(0);
  for (const Case& c : cases) {
    for (int maximum : {100, -1}) {
      state_.ShisetsuResultArray = {"stale,row"};
      GZR_GetShisetsuTotal();
      state_.FuyoFromCode = 1;
      ASSERT_EQ(GZR_GetA_Fw_Fuyo(), 13101);
      const int result = c.call(maximum);
      EXPECT_EQ(result, maximum < 0 ? 0 : 1) << c.name << " " << testutil::Show(msg);
      EXPECT_EQ(GZR_GetA_Fw_Fuyo(), 9) << c.name;
      EXPECT_EQ(state_.FuyoFromCode, 0) << c.name;
      // The total was refreshed by the export: the rows load at once.
      const bool rows = c.array && maximum >= 0;
      EXPECT_EQ(state_.ShisetsuResultArray.empty(), !rows) << c.name;
      EXPECT_EQ(state_.ShisetsuTotal, static_cast<int>(state_.ShisetsuResultArray.size()));
      GZR_GetShisetsuData(0);
      char name[512] = "";
      GZR_GetS_NameStr(name);
      if (rows) {
        EXPECT_STRNE(name, "stale") << c.name;
      }
      EXPECT_EQ(testutil::Exists(dir_.Native("result.csv")), !c.array && maximum >= 0) << c.name;
      std::remove(dir_.Native("result.csv").c_str());
    }
  }
  // The address rows and records are not touched.
  EXPECT_EQ(state_.AddrResultArray.size(), 1u);
  EXPECT_EQ(state_.AddrFw.Fuyo, 9);
}

}  // namespace
