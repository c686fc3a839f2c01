// The address-matching entries: option and target checks with their
// messages, the flags word, the dataset preparation, dictionary loading and
// the removal of a failed result file.

#include "matching/match_entries.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "common/message.h"
#include "matching/adrs_context.h"
#include "sample_folder.h"
#include "support/test_util.h"

using testutil::Show;
using testutil::TempDir;

namespace {

std::string Invalid(const char* name) {
  return std::string("パラメータに無効な値が渡されました！(") + name + ")";
}

int ToFile(const std::string& result, char* text, const std::string& folder, char* message,
           const int32_t (&o)[7], const char* dataset = "VRG_EXTEND") {
  return MatchAddressesToFile(result.c_str(), text, 0, 1, folder.c_str(), message, o[0], o[1], o[2],
                              o[3], o[4], o[5], o[6], dataset);
}
constexpr int32_t kDefaults[7] = {0, 1, 1, 1, 1, 1, 1};

TEST(MatchAddressesToFile, NamesTheFirstOptionOutOfRangeAndLeavesTheResultPathAsItWas) {
  TempDir dir;
  const struct {
    int32_t options[7];
    const char* name;
  } cases[] = {
      {{2, 1, 1, 1, 1, 1, 1}, "推定機能フラグ"}, {{-1, 1, 1, 1, 1, 1, 1}, "推定機能フラグ"},
      {{0, 0, 1, 1, 1, 1, 1}, "検索文字列区分"}, {{0, 5, 1, 1, 1, 1, 1}, "検索文字列区分"},
      {{0, 1, 3, 1, 1, 1, 1}, "出力測地系"},     {{0, 1, 1, 9, 1, 1, 1}, "出力座標書式"},
      {{0, 1, 1, 0, 1, 1, 1}, "出力座標書式"},   {{0, 1, 1, 1, 3, 1, 1}, "出力字丁目書式"},
      {{0, 1, 1, 1, 1, 0, 1}, "出力数字書式"},   {{0, 1, 1, 1, 1, 1, 4}, "出力よみ書式"},
      {{5, 9, 9, 9, 9, 9, 9}, "推定機能フラグ"}, {{0, 1, 0, 0, 0, 0, 0}, "出力測地系"},
  };
  for (const auto& c : cases) {
    // A result file the call made goes again; a file that was there before
    // stays as it was.
    ASSERT_TRUE(testutil::WriteBytes(dir.Native("result.txt"), "old"));
    char text[64] = "東京都千代田区丸の内一丁目";
    char message[kMessageSize] = "";
    // The folder holds no dictionaries: the options are checked first.
    EXPECT_EQ(ToFile(dir.Sys("result.txt"), text, dir.path(), message, c.options), 0);
    EXPECT_EQ(Show(message), Show(Invalid(c.name)));
    EXPECT_EQ(testutil::ReadBytes(dir.Native("result.txt")), "old");
    EXPECT_EQ(testutil::FolderNames(dir.path()).size(), 1u) << "no file left aside";

    ASSERT_TRUE(std::filesystem::remove(dir.Native("result.txt")));
    message[0] = '\0';
    EXPECT_EQ(ToFile(dir.Sys("result.txt"), text, dir.path(), message, c.options), 0);
    EXPECT_EQ(Show(message), Show(Invalid(c.name)));
    EXPECT_FALSE(testutil::Exists(dir.Native("result.txt")));
  }
}

TEST(MatchAddressEntries, RefuseMissingTargetsTextsAndDictionaries) {
  TempDir dir;
  const char* folder = dir.path().c_str();
  char text[64] = "東京都";
  char m[kMessageSize] = "";
  char buffer[64];
  const struct {
    std::function<int()> call;
    const char* name;
  } cases[] = {
      {[&] {
         return MatchAddressesToFile(nullptr, text, 0, 1, folder, m, 0, 1, 1, 1, 1, 1, 1, "");
       },
       "結果格納ファイル名"},
      {[&] { return MatchAddressToFilePlain(nullptr, text, 0, 1, folder, m, ""); },
       "結果格納ファイル名"},
      {[&] {
         return MatchAddressesToArray(nullptr, text, 0, 1, folder, m, 0, 1, 1, 1, 1, 1, 1, "");
       },
       "結果格納配列"},
      {[&] { return MatchAddressToArrayPlain(nullptr, text, 0, 1, folder, m, ""); },
       "結果格納配列"},
      {[&] {
         return MatchAddressesToBuffer(nullptr, 64, text, 0, 1, folder, m, 0, 1, 1, 1, 1, 1, 1, "");
       },
       "結果格納バッファ"},
      {[&] {
         return MatchAddressesToBuffer(buffer, 0, text, 0, 1, folder, m, 0, 1, 1, 1, 1, 1, 1, "");
       },
       "結果格納バッファサイズ"},
      {[&] { return MatchAddressToBufferPlain(buffer, -1, text, 0, 1, folder, m, ""); },
       "結果格納バッファサイズ"},
  };
  for (const auto& c : cases) {
    m[0] = '\0';
    EXPECT_EQ(c.call(), 0);
    EXPECT_EQ(Show(m), Show(Invalid(c.name)));
  }
  // A null text, a text over 511 bytes, a file that cannot be created, a
  // folder without dictionaries (with or without its backslash).
  char longText[600];
  std::memset(longText, 'a', 512);
  longText[512] = '\0';
  for (char* t : {static_cast<char*>(nullptr), longText}) {
    EXPECT_EQ(ToFile(dir.Sys("r.txt"), t, dir.path(), m, kDefaults), 0);
    EXPECT_EQ(Show(m), Show(Invalid("検索文字列")));
  }
  EXPECT_EQ(ToFile(dir.Sys("none\\r.txt"), text, dir.path(), m, kDefaults), 0);
  EXPECT_EQ(Show(m), Show("ファイルの作成に失敗しました！(" + dir.Sys("none\\r.txt") + ")"));
  for (const std::string& f : {dir.path(), dir.path() + "\\"}) {
    EXPECT_EQ(ToFile(dir.Sys("r.txt"), text, f, m, kDefaults), 0);
    EXPECT_EQ(Show(m), Show("ファイルオープンエラー!(" + dir.Sys("文字統一.BIN") + ")"));
  }
  EXPECT_FALSE(testutil::Exists(dir.Native("r.txt")));
}

TEST(MatchAddressCore, BasicDatasetAndBlankTextMatchNothing) {
  const std::string folder = sample::Folder();
  if (folder.empty()) GTEST_SKIP() << "KORT_BUILD_DIR is not set";
  TempDir dir;
  char message[kMessageSize] = "";
  const struct {
    const char* text;
    const char* dataset;
    const char* quoted;  // the text after the removals of 大字 and 字
  } cases[] = {
      {"東京都千代田区丸の内一丁目", "VRG_BASIC", "東京都千代田区丸の内一丁目"},
      {"大字字名大字", "VRG_BASIC", "名"},
      {"   ", "VRG_EXTEND", "   "},
  };
  for (const auto& c : cases) {
    char text[64];
    std::snprintf(text, sizeof text, "%s", c.text);
    EXPECT_EQ(ToFile(dir.Sys("r.txt"), text, folder, message, kDefaults, c.dataset), 0);
    EXPECT_EQ(Show(message), Show(std::string("対象データがありません！[") + c.quoted + "]"));
    EXPECT_EQ(Show(text), Show(c.quoted));
    EXPECT_FALSE(testutil::Exists(dir.Native("r.txt")));
  }
}

TEST(ApplyMatchFlagRules, EstimationBitBit8AndCalculationSwitchByStyle) {
  const struct {
    int32_t style, estimation /* -1: unset */, calc, flags, calcSwitch /* -1: unset */;
  } cases[] = {
      {2, 1, 0, 0x110, 1},   {2, 1, 1, 0x110, 0},   {2, 1, -3, 0x110, 0},
      {2, 0, 0, 0x100, 1},   {2, 0, 7, 0x100, 0},   {2, -1, 0, 0x100, -1},
      {1, -1, 0, 0x000, -1}, {1, -1, 1, 0x010, -1}, {1, 1, 1, 0x010, -1},
  };
  for (const auto& c : cases) {
    CAdrsContext context;
    ASSERT_EQ(context.SetOutputStyle(c.style), 1);
    if (c.estimation >= 0) context.SetEstimationFlag(c.estimation);
    EXPECT_EQ(ApplyMatchFlagRules(&context, 0x3, c.calc), 0x3 | c.flags) << c.style << c.calc;
    int32_t calcSwitch = -1;
    context.GetCalculationSwitch(&calcSwitch);
    EXPECT_EQ(calcSwitch, c.calcSwitch) << c.style << " " << c.estimation << " " << c.calc;
  }
}

TEST(PrepareContextForDataset, IndexKindEstimationFlagAndSwitches) {
  const std::string folder = sample::Folder();
  if (folder.empty()) GTEST_SKIP() << "KORT_BUILD_DIR is not set";
  const struct {
    std::string folder;
    const char* dataset;
    int32_t kind, switches;
  } cases[] = {
      {folder, "VRG_BASIC", 2, 0},
      {folder.substr(0, folder.size() - 1), "VRG_EXTEND", 2, 1},
      {sample::Folder(1), "", 1, 1},
      {"", nullptr, 0, 1},
  };
  for (const auto& c : cases) {
    CAdrsContext context;
    context.SetEstimationFlag(1);
    context.SetUseChangeHistory(7);
    PrepareContextForDataset(&context, c.dataset, c.folder.c_str());
    EXPECT_EQ(context.GetIndexKind(), c.kind) << Show(c.folder);
    int32_t estimation = -1;
    EXPECT_EQ(context.GetEstimationFlag(&estimation), 1);
    EXPECT_EQ(estimation, 0);
    EXPECT_EQ(context.UsesChangeHistory() + context.IsMatchingEnabled() +
                  context.IsReverseGeocodingEnabled(),
              3 * c.switches);
  }
}

}  // namespace
