// The address-matching entries: option checks and their messages, the
// output channels, the flags word, the dataset preparation, the dictionary
// loading, the retries and the removal of a failed result file.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "common/message.h"
#include "matching/address_match.h"
#include "matching/adrs_context.h"
#include "sample_folder.h"
#include "support/test_util.h"

using testutil::Show;
using testutil::TempDir;

namespace {

constexpr char kInvalid[] = "パラメータに無効な値が渡されました！(";

// The seven options of the validating entries, in checking order.
struct Options {
  int32_t estimation = 0, kind = 1, datum = 1, coordinates = 1, chome = 1, number = 1,
          reading = 1;
};

int ToFile(const std::string& result, char* text, const std::string& folder, char* message,
           const Options& o = {}, const char* dataset = "VRG_EXTEND", int32_t flags = 0) {
  return MatchAddressesToFile(result.c_str(), text, flags, 1, folder.c_str(), message,
                              o.estimation, o.kind, o.datum, o.coordinates, o.chome, o.number,
                              o.reading, dataset);
}

TEST(MatchAddressesToFile, NamesTheFirstOptionOutOfRangeAndLeavesNoResultFile) {
  TempDir dir;
  const struct {
    Options options;
    const char* name;
  } cases[] = {
      {{2, 1, 1, 1, 1, 1, 1}, "推定機能フラグ"},  {{-1, 1, 1, 1, 1, 1, 1}, "推定機能フラグ"},
      {{0, 0, 1, 1, 1, 1, 1}, "検索文字列区分"},  {{0, 5, 1, 1, 1, 1, 1}, "検索文字列区分"},
      {{0, 1, 3, 1, 1, 1, 1}, "出力測地系"},      {{0, 1, 1, 9, 1, 1, 1}, "出力座標書式"},
      {{0, 1, 1, 0, 1, 1, 1}, "出力座標書式"},    {{0, 1, 1, 1, 3, 1, 1}, "出力字丁目書式"},
      {{0, 1, 1, 1, 1, 0, 1}, "出力数字書式"},    {{0, 1, 1, 1, 1, 1, 4}, "出力よみ書式"},
      // Several out of range: the first in checking order is named.
      {{5, 9, 9, 9, 9, 9, 9}, "推定機能フラグ"},  {{0, 1, 0, 0, 0, 0, 0}, "出力測地系"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(testutil::WriteBytes(dir.Native("result.txt"), "old"));
    char text[64] = "東京都千代田区丸の内一丁目";
    char message[kMessageSize] = "";
    // The folder does not even hold dictionaries: the check comes first.
    EXPECT_EQ(ToFile(dir.Sys("result.txt"), text, dir.path(), message, c.options), 0);
    EXPECT_EQ(Show(message), Show(std::string(kInvalid) + c.name + ")"));
    EXPECT_FALSE(testutil::Exists(dir.Native("result.txt")));
  }
}

TEST(MatchAddressEntries, RefuseMissingTargetsAndTexts) {
  TempDir dir;
  char text[64] = "東京都";
  char message[kMessageSize] = "";
  EXPECT_EQ(MatchAddressesToFile(nullptr, text, 0, 1, dir.path().c_str(), message, 0, 1, 1, 1, 1,
                                 1, 1, "VRG_EXTEND"),
            0);
  EXPECT_EQ(Show(message), Show(std::string(kInvalid) + "結果格納ファイル名)"));
  EXPECT_EQ(MatchAddressToFilePlain(nullptr, text, 0, 1, dir.path().c_str(), message, "VRG_EXTEND"),
            0);
  EXPECT_EQ(Show(message), Show(std::string(kInvalid) + "結果格納ファイル名)"));
  EXPECT_EQ(MatchAddressesToArray(nullptr, text, 0, 1, dir.path().c_str(), message, 0, 1, 1, 1, 1,
                                  1, 1, "VRG_EXTEND"),
            0);
  EXPECT_EQ(Show(message), Show(std::string(kInvalid) + "結果格納配列)"));
  EXPECT_EQ(MatchAddressToArrayPlain(nullptr, text, 0, 1, "", message, "VRG_EXTEND"), 0);
  EXPECT_EQ(Show(message), Show(std::string(kInvalid) + "結果格納配列)"));
  char buffer[64];
  EXPECT_EQ(MatchAddressesToBuffer(nullptr, 64, text, 0, 1, "", message, 0, 1, 1, 1, 1, 1, 1, ""), 0);
  EXPECT_EQ(Show(message), Show(std::string(kInvalid) + "結果格納バッファ)"));
  for (int32_t size : {0, -1}) {
    EXPECT_EQ(MatchAddressesToBuffer(buffer, size, text, 0, 1, "", message, 0, 1, 1, 1, 1, 1, 1, ""),
              0);
    EXPECT_EQ(Show(message), Show(std::string(kInvalid) + "結果格納バッファサイズ)"));
    EXPECT_EQ(MatchAddressToBufferPlain(buffer, size, text, 0, 1, "", message, ""), 0);
    EXPECT_EQ(Show(message), Show(std::string(kInvalid) + "結果格納バッファサイズ)"));
  }
  // A null text, and a text longer than 511 bytes.
  EXPECT_EQ(ToFile(dir.Sys("r.txt"), nullptr, dir.path(), message), 0);
  EXPECT_EQ(Show(message), Show(std::string(kInvalid) + "検索文字列)"));
  char longText[600];
  std::memset(longText, 'a', 512);
  longText[512] = '\0';
  EXPECT_EQ(ToFile(dir.Sys("r.txt"), longText, dir.path(), message), 0);
  EXPECT_EQ(Show(message), Show(std::string(kInvalid) + "検索文字列)"));
  EXPECT_FALSE(testutil::Exists(dir.Native("r.txt")));
  // A result file that cannot be created.
  EXPECT_EQ(ToFile(dir.Sys("none\\r.txt"), text, dir.path(), message), 0);
  EXPECT_EQ(Show(message), Show("ファイルの作成に失敗しました！(" + dir.Sys("none\\r.txt") + ")"));
}

TEST(MatchAddressCore, MissingDictionaryEndsTheCallWithTheLoaderMessage) {
  TempDir dir;
  char text[64] = "東京都千代田区丸の内一丁目";
  char message[kMessageSize] = "";
  for (const std::string& folder : {dir.path(), dir.path() + "\\"}) {
    EXPECT_EQ(ToFile(dir.Sys("r.txt"), text, folder, message), 0);
    EXPECT_EQ(Show(message), Show("ファイルオープンエラー!(" + dir.Sys("文字統一.BIN") + ")"));
    EXPECT_FALSE(testutil::Exists(dir.Native("r.txt")));
  }
}

TEST(MatchAddressCore, BasicDatasetMatchesNothingAndQuotesTheShortenedText) {
  const std::string folder = sample::Folder();
  if (folder.empty()) GTEST_SKIP() << "KORT_BUILD_DIR is not set";
  TempDir dir;
  char message[kMessageSize] = "";
  char text[64] = "東京都千代田区丸の内一丁目";
  EXPECT_EQ(ToFile(dir.Sys("r.txt"), text, folder, message, {}, "VRG_BASIC"), 0);
  EXPECT_EQ(Show(message), Show("対象データがありません！[東京都千代田区丸の内一丁目]"));
  EXPECT_FALSE(testutil::Exists(dir.Native("r.txt")));
  // Every 大字, then every 字 is removed from the caller's text.
  char shortened[64] = "大字字名大字";
  EXPECT_EQ(ToFile(dir.Sys("r.txt"), shortened, folder, message, {}, "VRG_BASIC"), 0);
  EXPECT_EQ(Show(message), Show("対象データがありません！[名]"));
  EXPECT_EQ(Show(shortened), Show("名"));
  // A text of blanks opens nothing and is quoted as it stands.
  char blanks[8] = "   ";
  EXPECT_EQ(ToFile(dir.Sys("r.txt"), blanks, folder, message), 0);
  EXPECT_EQ(Show(message), Show("対象データがありません！[   ]"));
}

TEST(ApplyMatchFlagRules, EstimationBitBit8AndCalculationSwitchByStyle) {
  const struct {
    int32_t style;
    int32_t estimation;  // -1: not set
    int32_t calc;
    int32_t flags;
    int32_t calcSwitch;  // -1: stays unset
  } cases[] = {
      {2, 1, 0, 0x110, 1}, {2, 1, 1, 0x110, 0}, {2, 1, -3, 0x110, 0},
      {2, 0, 0, 0x100, 1}, {2, 0, 7, 0x100, 0}, {2, -1, 0, 0x100, -1},
      {1, -1, 0, 0x000, -1}, {1, -1, 1, 0x010, -1}, {1, 1, 1, 0x010, -1},
  };
  for (const auto& c : cases) {
    CAdrsContext context;
    ASSERT_EQ(context.SetOutputStyle(c.style), 1);
    if (c.estimation >= 0) context.SetEstimationFlag(c.estimation);
    EXPECT_EQ(ApplyMatchFlagRules(&context, 0x3, c.calc), 0x3 | c.flags)
        << c.style << " " << c.estimation << " " << c.calc;
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
    int32_t kind;
    int32_t switches;
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
    EXPECT_EQ(context.UsesChangeHistory(), c.switches);
    EXPECT_EQ(context.IsMatchingEnabled(), c.switches);
    EXPECT_EQ(context.IsReverseGeocodingEnabled(), c.switches);
  }
}

}  // namespace
