// What the exports leave at the path of a result file or a sorted file when
// they fail: a device named as the result file is never removed, an earlier
// result file stays as it was, and a file sorted in place keeps every byte
// when its new content cannot be written.

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "gazref/gazref.h"
#include "plat/cp932.h"
#include "support/test_util.h"

namespace {

using testutil::Show;
using testutil::Sjis;

class ResultFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* build = std::getenv("KORT_BUILD_DIR");
    if (!build) GTEST_SKIP() << "KORT_BUILD_DIR is not set";
    ASSERT_TRUE(plat::cp932::FromUtf8(
        std::string(build) + reinterpret_cast<const char*>(u8"/Database/住所"), addresses_));
    ASSERT_TRUE(plat::cp932::FromUtf8(
        std::string(build) + reinterpret_cast<const char*>(u8"/Database/施設"), facilities_));
    GZR_InitDB();
  }
  void TearDown() override { GZR_InitDB(); }

  // Every file form of a search, on the data folder given (the address or
  // the facility folder as the search takes it).
  struct Search {
    const char* name;
    std::function<int(const char* result, const char* addresses, const char* facilities,
                      char* message)>
        call;
  };
  static std::vector<Search> FileSearches() {
    return {
        {"GZR_Jyusyo_FindListFirstFL",
         [](const char* r, const char* a, const char*, char* m) {
           int stop = 0;
           return GZR_Jyusyo_FindListFirstFL(r, "", a, -1, &stop, m);
         }},
        {"GZR_ZEB_Jyusyo_FindListFirstFL",
         [](const char* r, const char* a, const char*, char* m) {
           int stop = 0;
           return GZR_ZEB_Jyusyo_FindListFirstFL(r, "", a, -1, &stop, m);
         }},
        {"GZR_Jyusyo_FindListFirst_CodeFL",
         [](const char* r, const char* a, const char*, char* m) {
           int stop = 0;
           return GZR_Jyusyo_FindListFirst_CodeFL(r, "13", a, -1, &stop, m);
         }},
        {"GZR_ZEB_Jyusyo_FindListFirst_CodeFL",
         [](const char* r, const char* a, const char*, char* m) {
           int stop = 0;
           return GZR_ZEB_Jyusyo_FindListFirst_CodeFL(r, "13", a, -1, &stop, m);
         }},
        {"GZR_TVX_FindAllFirstFL",
         [](const char* r, const char* a, const char*, char* m) {
           int stop = 0;
           std::string text = Sjis(u8"丸の内");
           return GZR_TVX_FindAllFirstFL(r, 1, text.data(), a, -1, &stop, m);
         }},
        {"GZR_ZEB_FindAllFirstFL",
         [](const char* r, const char* a, const char*, char* m) {
           int stop = 0;
           std::string text = Sjis(u8"丸の内");
           return GZR_ZEB_FindAllFirstFL(r, 1, text.data(), a, -1, &stop, m);
         }},
        {"GZR_WUL_FindFirstFL",
         [](const char* r, const char* a, const char*, char* m) {
           int stop = 0;
           std::string text = Sjis(u8"丸の内");
           return GZR_WUL_FindFirstFL(r, 1, "", "", text.data(), a, -1, &stop, m);
         }},
        {"GZR_ZEB_FindFirstFL",
         [](const char* r, const char* a, const char*, char* m) {
           int stop = 0;
           std::string text = Sjis(u8"丸の内");
           return GZR_ZEB_FindFirstFL(r, 1, "", "", text.data(), a, -1, &stop, m);
         }},
        {"GZR_Jyusyo_AnalyzeFL",
         [](const char* r, const char* a, const char*, char* m) {
           std::string text = Sjis(u8"東京都千代田区丸の内一丁目");
           return GZR_Jyusyo_AnalyzeFL(r, text.data(), a, m);
         }},
        {"GZR_Jyusyo_AnalyzeFL_v2",
         [](const char* r, const char* a, const char*, char* m) {
           std::string text = Sjis(u8"東京都千代田区丸の内一丁目");
           return GZR_Jyusyo_AnalyzeFL_v2(r, text.data(), a, 0, m) == 1 ? 1 : 0;
         }},
        {"GZR_TVX_Jyusyo_FindListFirst2_EX_FL",
         [](const char* r, const char* a, const char*, char* m) {
           int stop = 0;
           const std::string text = Sjis(u8"千代田区丸の内");
           return GZR_TVX_Jyusyo_FindListFirst2_EX_FL(r, Sjis(u8"東京都").c_str(), text.c_str(), a,
                                                      -1, &stop, m);
         }},
        {"GZR_Shisetsu_FindListFirstFL",
         [](const char* r, const char*, const char* f, char* m) {
           int overflow = 0;
           return GZR_Shisetsu_FindListFirstFL(r, "", "", "", "", "", 0, 0, 0.0, f, 100, &overflow,
                                               m);
         }},
        {"GZR_Bunrui_FindListFirstFL",
         [](const char* r, const char*, const char* f, char* m) {
           int overflow = 0;
           return GZR_Bunrui_FindListFirstFL(r, "", "", "", f, 100, &overflow, m);
         }},
        {"GZR_Gyosei_FindListFirstFL",
         [](const char* r, const char*, const char* f, char* m) {
           int overflow = 0;
           return GZR_Gyosei_FindListFirstFL(r, "", f, 100, &overflow, m);
         }},
    };
  }

  std::string addresses_, facilities_;
  testutil::TempDir dir_;
};

// A private copy of /dev/full named as the result file: every file form,
// failing on a folder without data and (writing into the device) on the
// real data, leaves the device node where it was.
TEST_F(ResultFiles, ADeviceNamedAsTheResultSurvivesAFailingSearch) {
  const std::string device = dir_.Native("full");
  if (!testutil::MakeCharDevice(device, 1, 7)) GTEST_SKIP() << "no right to make a device node";
  const std::string result = dir_.Sys("full");
  const std::string missing = dir_.Sys("none");
  for (const Search& s : FileSearches()) {
    char message[1024] = "";
    EXPECT_EQ(s.call(result.c_str(), missing.c_str(), missing.c_str(), message), 0) << s.name;
    EXPECT_NE(message[0], '\0') << s.name;
    EXPECT_TRUE(testutil::IsCharDevice(device, 1, 7)) << s.name << " on a folder without data";
    s.call(result.c_str(), addresses_.c_str(), facilities_.c_str(), message);
    EXPECT_TRUE(testutil::IsCharDevice(device, 1, 7)) << s.name << " writing into the device";
  }
  EXPECT_EQ(testutil::FolderNames(dir_.path()), std::vector<std::string>{"full"});
}

// An earlier result file at the path stays byte for byte when a search
// fails, and a search that fails where no file was leaves none.
TEST_F(ResultFiles, AFailingSearchLeavesAnEarlierResultFileAsItWas) {
  const std::string missing = dir_.Sys("none");
  const std::string result = dir_.Sys("result.csv");
  for (const Search& s : FileSearches()) {
    ASSERT_TRUE(testutil::WriteBytes(dir_.Native("result.csv"), "earlier,rows\r\n"));
    char message[1024] = "";
    EXPECT_EQ(s.call(result.c_str(), missing.c_str(), missing.c_str(), message), 0) << s.name;
    EXPECT_EQ(testutil::ReadBytes(dir_.Native("result.csv")), "earlier,rows\r\n") << s.name;
    EXPECT_EQ(testutil::FolderNames(dir_.path()), std::vector<std::string>{"result.csv"}) << s.name;
  }
  const std::string fresh = dir_.Sys("fresh.csv");
  for (const Search& s : FileSearches()) {
    char message[1024] = "";
    EXPECT_EQ(s.call(fresh.c_str(), missing.c_str(), missing.c_str(), message), 0) << s.name;
    EXPECT_FALSE(testutil::Exists(dir_.Native("fresh.csv"))) << s.name;
  }
}

// The done-when form of the CSV sort: the export under a 100-byte limit on
// the size of files answers 0 with the write message and leaves the
// caller's file whole; without the limit the same call sorts it.
TEST_F(ResultFiles, TxtSortUnderAFileSizeLimitKeepsTheCallersFileWhole) {
  std::string rows;
  for (int i = 30; i > 0; --i) rows += "r" + std::to_string(i) + "," + std::to_string(i) + "\r\n";
  ASSERT_GT(rows.size(), 100u);
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("rows.csv"), rows));
  const std::string path = dir_.Sys("rows.csv");
  const std::string expected = Sjis(u8"ファイルへの書き込みに失敗しました!(") + path + ")";
  const int answer = testutil::RunInChildWithFileSizeLimit(100, [&] {
    char message[1024] = "";
    return GZR_TXT_Sort_CSV(path.c_str(), 1, message) == 0 && expected == message ? 1 : 0;
  });
  EXPECT_EQ(answer, 1);
  EXPECT_EQ(testutil::ReadBytes(dir_.Native("rows.csv")), rows);
  EXPECT_EQ(testutil::FolderNames(dir_.path()), std::vector<std::string>{"rows.csv"});

  char message[1024] = "";
  ASSERT_EQ(GZR_TXT_Sort_CSV(path.c_str(), 1, message), 1) << Show(message);
  const std::string sorted = testutil::ReadBytes(dir_.Native("rows.csv"));
  EXPECT_EQ(sorted.size(), rows.size());
  EXPECT_EQ(sorted.substr(0, 10), "r1,1\r\nr10,");
}

}  // namespace
