// Reverse geocoding (kind 4000) and the postal-code search (kind 2000) run
// by the built kort on the generated sample data (Database/住所 beside it).
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "common/le_bytes.h"
#include "matching/adrs_context.h"
#include "support/test_util.h"
#include "tool/job_test_util.h"

extern char** environ;

namespace {

using korttest::Job;
using testutil::Show;
using testutil::Sjis;

const std::string kOk = "1\r\n0\r\n\r\n";

class KortSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* build = std::getenv("KORT_BUILD_DIR");
    if (!build || !*build) GTEST_SKIP() << "KORT_BUILD_DIR is not set";
    build_ = build;
    program_ = build_ + "/kort";
    job_ = dir_.Native("job.txt");
    result_ = dir_.Native("result.txt");
    status_ = dir_.Native("status.txt");
  }

  // Writes the job, runs kort on it; the result file ("-" when there is
  // none) and the status file come back.
  void Run(const std::string& job, std::string* result, std::string* status) {
    ASSERT_TRUE(testutil::WriteBytes(job_, job));
    char* argv[] = {program_.data(), job_.data(), result_.data(), status_.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program_.c_str(), nullptr, nullptr, argv, environ), 0);
    int wstatus = 0;
    ASSERT_EQ(waitpid(pid, &wstatus, 0), pid);
    *result = testutil::Exists(result_) ? testutil::ReadBytes(result_) : "-";
    *status = testutil::ReadBytes(status_);
  }

  // The data folder (native path) and the CP932 form the system uses.
  std::string DataFolder() const {
    return build_ + "/Database/" + reinterpret_cast<const char*>(u8"住所");
  }
  std::string SysDataFolder() const { return build_ + "\\Database\\" + Sjis(u8"住所") + "\\"; }

  // A copy of kort whose data folder holds links to every sample file, with
  // the named files replaced by the given bytes.
  void UseChangedData(const std::vector<std::pair<std::string, std::string>>& files) {
    const std::string copy = dir_.Native("kort");
    ASSERT_TRUE(testutil::WriteBytes(copy, testutil::ReadBytes(program_)));
    ASSERT_EQ(chmod(copy.c_str(), 0755), 0);
    const std::string data = dir_.Native("Database");
    const std::string folder = data + "/" + reinterpret_cast<const char*>(u8"住所");
    ASSERT_EQ(mkdir(data.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    for (const auto& entry : std::filesystem::directory_iterator(DataFolder())) {
      const std::string name = entry.path().filename().string();
      bool replaced = false;
      for (const auto& [file, bytes] : files) {
        if (file != name) continue;
        ASSERT_TRUE(testutil::WriteBytes(folder + "/" + name, bytes));
        replaced = true;
      }
      if (!replaced) {
        ASSERT_EQ(symlink((DataFolder() + "/" + name).c_str(), (folder + "/" + name).c_str()), 0);
      }
    }
    program_ = copy;
  }

  testutil::TempDir dir_;
  std::string build_, program_, job_, result_, status_;
};

// ---- Kind 4000 ----

std::string ReverseJob(const std::string& latitude, const std::string& longitude,
                       const char* datum = "1", const char* format = "1", const char* chome = "1",
                       const char* reading = "1", const char* flags = "8") {
  return Job({"4000", latitude, longitude, datum, format, chome, "1", reading, flags, "x"});
}

TEST_F(KortSearch, PointsInsideThreePlacesInBothDatumsAndEveryFormat) {
  const struct {
    int32_t latitude, longitude;  // the row's point, Tokyo datum, milliseconds
    const char8_t* line;
  } places[] = {
      {128446464, 503165554,
       u8"東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,13101001001"},
      {128412260, 503173473,
       u8"東京都,中央区,ちゅうおうく,銀座,ぎんざ,二丁目,にちょうめ,13102001002"},
      {126145711, 488696206,
       u8"京都府,京都市北区,きょうとしきたく,紫野,むらさきの,大徳寺町,だいとくじちょう,"
       u8"26101001001"},
  };
  for (const auto& place : places) {
    for (int datum = 1; datum <= 2; ++datum) {
      for (int format = 1; format <= 8; ++format) {
        // The point written as a caller would write it in that datum and format.
        CAdrsContext context;
        ASSERT_EQ(context.SetDatum(datum), 1);
        ASSERT_EQ(context.SetCoordinateFormat(format), 1);
        context.SetDatumParameterFile((SysDataFolder() + "TKY2JGD.PAR").c_str());
        char latitude[kCoordinateTextSize], longitude[kCoordinateTextSize];
        CoordinateRequest request{place.latitude,  place.longitude, latitude,
                                  sizeof latitude, longitude,       sizeof longitude};
        ASSERT_EQ(context.FormatCoordinates(&request), 1);
        std::string result, status;
        Run(ReverseJob(latitude, longitude, datum == 1 ? "1" : "2", std::to_string(format).c_str()),
            &result, &status);
        EXPECT_EQ(Show(result), Show(Sjis(place.line) + "\r\n"))
            << datum << " " << format << " " << latitude << " " << longitude;
        EXPECT_EQ(Show(status), Show(kOk));
      }
    }
  }
}

TEST_F(KortSearch, ReverseOutputFormatsAndTheNestedOazaArea) {
  std::string result, status;
  Run(ReverseJob("128446464", "503165554", "1", "1", "2", "2"), &result, &status);
  EXPECT_EQ(Show(result),
            Show(Sjis(u8"東京都,千代田区,チヨダク,丸の内,マルノウチ,一,イッ,13101001001\r\n")));
  Run(ReverseJob("128446.464", "503165.554", "1", "3", "1", "3"), &result, &status);
  EXPECT_EQ(Show(result),
            Show(Sjis(u8"東京都,千代田区,ﾁﾖﾀﾞｸ,丸の内,ﾏﾙﾉｳﾁ,一丁目,ｲｯﾁｮｳﾒ,13101001001\r\n")));
  // The oaza's own point lies in the oaza-wide area and in no chome area.
  Run(ReverseJob("128440703", "503165554"), &result, &status);
  EXPECT_EQ(Show(result),
            Show(Sjis(u8"東京都,千代田区,ちよだく,丸の内,まるのうち,,,13101001\r\n")));
  EXPECT_EQ(status, kOk);
  // The placeholder of 大字なし: the oaza columns are empty.
  Run(ReverseJob("125597736", "488457121"), &result, &status);
  EXPECT_EQ(
      Show(result),
      Show(Sjis(u8"京都府,乙訓郡大山崎町,おとくにぐんおおやまざきちょう,,,大山崎,おおやまざき,"
                u8"26303000001\r\n")));
}

TEST_F(KortSearch, ReverseFailuresNameThePointAsGiven) {
  const struct {
    std::string job;
    const char8_t* message;
  } cases[] = {
      // In the sea, in every grid or outside all of them.
      {ReverseJob("128300000", "503165554"),
       u8"住所コードの取得ができません！(緯度:128300000.000 経度:503165554.000)"},
      {ReverseJob("35.5", "139.5", "1", "6"),
       u8"住所コードの取得ができません！(緯度:35.500 経度:139.500)"},
      // Flags 0: the basic dataset, whose reverse geocoding is off.
      {ReverseJob("128446464", "503165554", "1", "1", "1", "1", "0"),
       u8"住所コードの取得ができません！(緯度:128446464.000 経度:503165554.000)"},
      {ReverseJob("128446464", "503165554", "3"),
       u8"パラメータに無効な値が渡されました！(入力測地系)"},
      {ReverseJob("128446464", "503165554", "1", "9"),
       u8"パラメータに無効な値が渡されました！(入力座標書式)"},
      {ReverseJob("128446464", "503165554", "1", "1", "1", "4"),
       u8"パラメータに無効な値が渡されました！(出力よみ書式)"},
  };
  for (const auto& c : cases) {
    std::string result, status;
    Run(c.job, &result, &status);
    EXPECT_EQ(result, "-");
    EXPECT_EQ(Show(status), Show("0\r\n0\r\n" + Sjis(c.message) + "\r\n"));
  }
}

TEST_F(KortSearch, BadOutlineWidthAndBadIndexMagicPassOver) {
  // The first area of 13.GDB is the oaza-wide 丸の内; a width byte of 3 ends
  // the walk of its cell, so nothing in 丸の内 is found any more.
  std::string grid = testutil::ReadBytes(DataFolder() + "/13.GDB");
  const auto* b = reinterpret_cast<const unsigned char*>(grid.data());
  const std::size_t area = 48 + 4u * LoadLe(b + 12, 2) * LoadLe(b + 14, 2);
  ASSERT_LT(area + 2, grid.size());
  const std::size_t names = area + 1 + b[area];
  const std::size_t width = names + 1 + b[names];
  ASSERT_EQ(b[width], 2);
  grid[width] = 3;
  std::string postal = testutil::ReadBytes(DataFolder() + "/QVAD26.YDB");
  postal[0] = 'X';
  UseChangedData({{"13.GDB", grid}, {"QVAD26.YDB", postal}});
  std::string result, status;
  Run(ReverseJob("128446464", "503165554"), &result, &status);
  EXPECT_EQ(Show(status),
            Show("0\r\n0\r\n" +
                 Sjis(u8"住所コードの取得ができません！(緯度:128446464.000 経度:503165554.000)") +
                 "\r\n"));
  // Areas of other cells are still found.
  Run(ReverseJob("128726216", "503070159"), &result, &status);
  EXPECT_EQ(Show(result),
            Show(Sjis(u8"東京都,北区,きたく,王子,おうじ,一丁目,いっちょうめ,13117001001\r\n")));
  // 京都府's postal index is passed over; 東京都's still answers.
  Run(Job({"2000", "618", "1", "1", "1", "1", "1", "8", "x"}), &result, &status);
  EXPECT_EQ(Show(status), Show("0\r\n0\r\n" + Sjis(u8"対象データがありません！[618]") + "\r\n"));
  Run(Job({"2000", "1000005", "1", "1", "1", "1", "1", "8", "x"}), &result, &status);
  EXPECT_EQ(status, kOk);
}

// A cell chain that leads back to itself is a damaged grid: the job fails
// with the read failure and the grid's path, not with the areas met before
// the loop; so does a listing whose database is cut short.
TEST_F(KortSearch, DamagedGridAndTruncatedDatabaseAreReadFailures) {
  std::string grid = testutil::ReadBytes(DataFolder() + "/13.GDB");
  auto* b = reinterpret_cast<unsigned char*>(grid.data());
  const uint32_t nx = static_cast<uint32_t>(LoadLe(b + 12, 2)),
                 ny = static_cast<uint32_t>(LoadLe(b + 14, 2));
  const double minX = LoadLeValue<double>(b + 16), minY = LoadLeValue<double>(b + 24);
  const double maxX = LoadLeValue<double>(b + 32), maxY = LoadLeValue<double>(b + 40);
  // The cell under 丸の内一丁目, its first link pointing back to itself.
  const double x = 503165.554, y = 128446.464;
  const auto column = static_cast<uint32_t>((x - minX) / ((maxX - minX) / nx));
  const auto row = static_cast<uint32_t>((y - minY) / ((maxY - minY) / ny));
  ASSERT_TRUE(column < nx && row < ny);
  const uint32_t link = static_cast<uint32_t>(LoadLe(b + 48 + 4 * (column + nx * row), 4));
  ASSERT_NE(link, 0u);
  StoreLe(b + link + 4, link, 4);
  std::string database = testutil::ReadBytes(DataFolder() + "/QVAD13.NDB");
  database.resize(100);
  UseChangedData({{"13.GDB", grid}, {"QVAD13.NDB", database}});
  std::string folder = dir_.path() + "\\Database\\" + Sjis(u8"住所") + "\\";
  std::replace(folder.begin(), folder.end(), '/', '\\');
  std::string result, status;
  Run(ReverseJob("128446464", "503165554"), &result, &status);
  EXPECT_EQ(Show(status), Show("0\r\n0\r\n" + Sjis(u8"ファイルの読み込みに失敗しました!(") +
                               folder + "13.GDB)\r\n"));
  EXPECT_EQ(result, "-");
  // The prefecture list would have held 京都府 alone.
  Run(Job({"1000", "", "-1", "1", "1", "1", "8", "x"}), &result, &status);
  EXPECT_EQ(Show(status), Show("0\r\n0\r\n" + Sjis(u8"ファイルの読み込みに失敗しました!(") +
                               folder + "QVAD13.NDB)\r\n"));
  EXPECT_EQ(result, "-");
  // 京都府's own areas are still found.
  Run(ReverseJob("126145711", "488696206"), &result, &status);
  EXPECT_EQ(status, kOk);
}

// ---- Kind 2000 ----

std::string PostalJob(const std::string& code, const char* datum = "1", const char* reading = "1") {
  return Job({"2000", code, datum, "1", "1", "1", reading, "8", "x"});
}

const char8_t kMarunouchiLines[] =
    u8"東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,13101001001,128446464,"
    u8"503165554\r\n"
    u8"東京都,千代田区,ちよだく,丸の内,まるのうち,二丁目,にちょうめ,13101001002,128436383,"
    u8"503158353\r\n"
    u8"東京都,千代田区,ちよだく,丸の内,まるのうち,三丁目,さんちょうめ,13101001003,128425582,"
    u8"503156552\r\n";

TEST_F(KortSearch, PostalCodeInEveryWrittenFormGivesTheSameLines) {
  std::string result, status;
  Run(PostalJob("1000005"), &result, &status);
  EXPECT_EQ(Show(result), Show(Sjis(kMarunouchiLines)));
  EXPECT_EQ(status, kOk);
  for (const char8_t* text : {u8"〒100-0005", u8"100－0005", u8"100ｰ0005", u8"〒100ー0005"}) {
    Run(PostalJob(Sjis(text)), &result, &status);
    EXPECT_EQ(Show(result), Show(Sjis(kMarunouchiLines))) << Show(Sjis(text));
    EXPECT_EQ(status, kOk);
  }
  // Full-width digits are no code.
  Run(PostalJob(Sjis(u8"１０００００５")), &result, &status);
  EXPECT_EQ(result, "-");
  EXPECT_EQ(Show(status),
            Show("0\r\n0\r\n" + Sjis(u8"対象データがありません！[１０００００５]") + "\r\n"));
}

TEST_F(KortSearch, PostalPrefixesListAscendingCodes) {
  std::string result, status, four;
  Run(PostalJob("100"), &result, &status);
  EXPECT_EQ(
      Show(result),
      Show(Sjis(u8"東京都,千代田区,ちよだく,大手町,おおてまち,一丁目,いっちょうめ,13101002001,"
                u8"128465186,503156554\r\n"
                u8"東京都,千代田区,ちよだく,大手町,おおてまち,二丁目,にちょうめ,13101002002,"
                u8"128457265,503176355\r\n") +
           Sjis(kMarunouchiLines)));
  Run(PostalJob("1000"), &four, &status);
  EXPECT_EQ(four, result);
  // Readings and the placeholder oaza (大字なし: columns 4 and 5 empty).
  Run(PostalJob("618", "1", "2"), &result, &status);
  EXPECT_EQ(
      Show(result),
      Show(Sjis(u8"京都府,乙訓郡大山崎町,オトクニグンオオヤマザキチョウ,,,大山崎,オオヤマザキ,"
                u8"26303000001,125597736,488457121\r\n"
                u8"京都府,乙訓郡大山崎町,オトクニグンオオヤマザキチョウ,,,円明寺,エンミョウジ,"
                u8"26303000002,125639140,488496006\r\n")));
}

TEST_F(KortSearch, PostalTextsThatAreNoCodeAndBadOptions) {
  const struct {
    std::string job;
    std::string message;
  } cases[] = {
      {PostalJob("12345678"), Sjis(u8"対象データがありません！[12345678]")},
      {PostalJob("abc"), Sjis(u8"対象データがありません！[abc]")},
      {PostalJob(""), Sjis(u8"対象データがありません！[]")},
      {PostalJob("999"), Sjis(u8"対象データがありません！[999]")},
      {PostalJob("1000005", "3"), Sjis(u8"パラメータに無効な値が渡されました！(出力測地系)")},
      {PostalJob("1000005", "1", "4"),
       Sjis(u8"パラメータに無効な値が渡されました！(出力よみ書式)")},
  };
  for (const auto& c : cases) {
    std::string result, status;
    Run(c.job, &result, &status);
    EXPECT_EQ(result, "-");
    EXPECT_EQ(Show(status), Show("0\r\n0\r\n" + c.message + "\r\n"));
  }
}

}  // namespace
