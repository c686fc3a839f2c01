// The listing entries in process on the generated sample data: one test per
// output channel, the argument checks, the reference library's variants and
// the priority sort of listed rows.
#include "tool/hierarchy_listing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/message.h"
#include "common/record_array.h"
#include "common/record_stack.h"
#include "matching/dictionary_loaders.h"
#include "matching/match_entries.h"
#include "matching/result_channel.h"
#include "matching/sample_folder.h"
#include "support/test_util.h"
#include "tabledb/dictionaries.h"
#include "tool/csv_sort.h"

namespace {

using testutil::Show;
using testutil::Sjis;

std::vector<std::string> SjisLines(std::initializer_list<std::u8string_view> lines) {
  std::vector<std::string> out;
  for (std::u8string_view line : lines) out.push_back(Sjis(line));
  return out;
}

std::string ShowAll(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += Show(line) + "\n";
  return out;
}

class ListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = sample::Folder(2);
    if (folder_.empty()) GTEST_SKIP() << "KORT_BUILD_DIR is not set";
  }
  std::string folder_;
  int32_t interrupted_ = -1;
  char msg_[kMessageSize] = "";
  testutil::TempDir dir_;
};

TEST_F(ListingTest, ArrayChannelAppendsTheSortedLines) {
  CStringArray lines;
  ASSERT_EQ(ListByCodeToArray(&lines, "13101", folder_.c_str(), -1, &interrupted_, msg_,
                              "VRG_EXTEND", 1, 1, 1),
            1)
      << Show(msg_);
  EXPECT_EQ(interrupted_, 0);
  EXPECT_STREQ(msg_, "");
  EXPECT_EQ(ShowAll(lines), ShowAll(SjisLines({
                                u8"大手町,おおてまち,128461586,503161954,1310102,0,1",
                                u8"五番町,ごばんちょう,128467708,503052146,1310103,0,1",
                                u8"丸の内,まるのうち,128440703,503165554,1310101,0,1",
                            })));
}

// Without options: integer coordinates and no children column.
TEST_F(ListingTest, BufferChannelJoinsTheSortedLines) {
  char buffer[256] = "";
  ASSERT_EQ(ListByNamesToBufferPlain(buffer, sizeof buffer, Sjis(u8"京都府 京都市中京区").c_str(),
                                     folder_.c_str(), 3, &interrupted_, msg_, "VRG_EXTEND", 1),
            1)
      << Show(msg_);
  EXPECT_EQ(interrupted_, 1);
  // The first three oaza of 中京区 in entry order, sorted by reading.
  EXPECT_EQ(Show(buffer), Show(Sjis(u8"恵比須町,えびすちょう,126023656,488781168,2610401,0;"
                                    u8"河原町通三条上る,かわらまちどおりさんじょうあがる,126023656,"
                                    u8"488781168,2610401,0;"
                                    u8"寺町,てらまち,126038778,488773248,2610402,0")));
  // A line that does not fit the buffer fails the listing.
  char small[40] = "";
  EXPECT_EQ(ListByNamesToBufferPlain(small, sizeof small, Sjis(u8"京都府 京都市中京区").c_str(),
                                     folder_.c_str(), -1, &interrupted_, msg_, "VRG_EXTEND", 1),
            0);
  EXPECT_NE(Show(msg_).find(reinterpret_cast<const char*>(u8"検索結果の取得に失敗しました！")),
            std::string::npos)
      << Show(msg_);
}

// The short forms use the basic dataset: no change history, so no lots.
TEST_F(ListingTest, ShortFormsUseTheBasicDataset) {
  CStringArray lines;
  ASSERT_EQ(ListByNamesToArrayPlainDefault(&lines, Sjis(u8"京都府").c_str(), folder_.c_str(), -1,
                                           &interrupted_, msg_),
            1)
      << Show(msg_);
  EXPECT_EQ(lines.size(), 3u);
  const std::string lot = Sjis(u8"東京都 千代田区 丸の内 一丁目 １");
  EXPECT_EQ(
      ListByNamesToArrayPlainDefault(&lines, lot.c_str(), folder_.c_str(), -1, &interrupted_, msg_),
      0);
  EXPECT_EQ(Show(msg_), Show(Sjis(u8"対象データがありません！[") + lot + "]"));
  EXPECT_EQ(lines.size(), 3u);
}

TEST_F(ListingTest, ArgumentsAreCheckedBeforeAnyListing) {
  CStringArray lines;
  const char* tokyo = "13";
  EXPECT_EQ(
      ListByCodeToArray(&lines, tokyo, folder_.c_str(), -1, nullptr, msg_, "VRG_EXTEND", 1, 1, 1),
      0);
  EXPECT_EQ(Show(msg_), Show(Sjis(u8"パラメータに無効な値が渡されました！(検索中断フラグ)")));
  EXPECT_EQ(ListByCodeToArray(nullptr, tokyo, folder_.c_str(), -1, &interrupted_, msg_,
                              "VRG_EXTEND", 1, 1, 1),
            0);
  EXPECT_EQ(Show(msg_), Show(Sjis(u8"パラメータに無効な値が渡されました！(結果格納配列)")));
  char buffer[8];
  EXPECT_EQ(ListByCodeToBuffer(buffer, 0, tokyo, folder_.c_str(), -1, &interrupted_, msg_,
                               "VRG_EXTEND", 1, 1, 1),
            0);
  EXPECT_EQ(Show(msg_),
            Show(Sjis(u8"パラメータに無効な値が渡されました！(結果格納バッファサイズ)")));
  EXPECT_EQ(ListByNamesToFile(nullptr, "", folder_.c_str(), -1, &interrupted_, msg_, "VRG_EXTEND",
                              1, 1, 1, 1),
            0);
  EXPECT_EQ(Show(msg_), Show(Sjis(u8"パラメータに無効な値が渡されました！(結果格納ファイル名)")));
  // The code listing takes no 検索文字列区分; its datum comes first.
  EXPECT_EQ(ListByCodeToArray(&lines, tokyo, folder_.c_str(), -1, &interrupted_, msg_, "VRG_EXTEND",
                              3, 9, 1),
            0);
  EXPECT_EQ(Show(msg_), Show(Sjis(u8"パラメータに無効な値が渡されました！(出力測地系)")));
  EXPECT_EQ(ListByCodeToArray(&lines, tokyo, folder_.c_str(), -1, &interrupted_, msg_, "VRG_EXTEND",
                              2, 9, 1),
            0);
  EXPECT_EQ(Show(msg_), Show(Sjis(u8"パラメータに無効な値が渡されました！(出力座標書式)")));
  EXPECT_TRUE(lines.empty());
}

// A name longer than its 255-byte buffer matches nothing and is never
// copied past the buffer.
TEST_F(ListingTest, OverlongNameIsRefused) {
  CStringArray lines;
  std::string name;
  for (int i = 0; i < 150; ++i) name += Sjis(u8"都");
  for (const std::string& text : {name, Sjis(u8"東京都 ") + name + Sjis(u8" 丸の内")}) {
    EXPECT_EQ(ListByNamesToArray(&lines, text.c_str(), folder_.c_str(), -1, &interrupted_, msg_,
                                 "VRG_EXTEND", 1, 1, 1, 1),
              0);
    EXPECT_EQ(Show(msg_), Show(Sjis(u8"対象データがありません！[") + text + "]"));
  }
  EXPECT_TRUE(lines.empty());
}

// A file entry whose step after the listing (the sort) fails leaves no
// result file behind.
TEST_F(ListingTest, ResultFileIsDeletedWhenTheStepAfterTheListingFails) {
  const std::string path = dir_.Sys("result.txt");
  EXPECT_EQ(WithResultFile(
                path.c_str(), msg_, [](CAdrsContext* context) { return context->WriteLine("a,1"); },
                [] { return 0; }),
            0);
  EXPECT_FALSE(testutil::Exists(dir_.Native("result.txt")));
  EXPECT_EQ(WithResultFile(path.c_str(), msg_,
                           [](CAdrsContext* context) { return context->WriteLine("a,1"); }),
            1);
  EXPECT_EQ(testutil::ReadBytes(dir_.Native("result.txt")), "a,1\r\n");
}

// ---- The dispatchers with the reference library's variants ----

class ListingVariantTest : public ListingTest {
 protected:
  void SetUp() override {
    ListingTest::SetUp();
    if (folder_.empty()) return;
    ASSERT_EQ(LoadUnificationDictionary((folder_ + kUnificationDictionaryFile).c_str(),
                                        &unification_, msg_, 1),
              1);
    ASSERT_EQ(LoadReplacementDictionary((folder_ + kReplacementDictionaryFile).c_str(),
                                        &replacements_, &unification_, msg_, 1),
              1);
    context_.SetOutputArray(&lines_);
    PrepareContextForDataset(&context_, "VRG_EXTEND", folder_.c_str());
  }
  void TearDown() override {
    unification_.Free();
    replacements_.Free();
  }
  CCharDictionary unification_;
  CRecordList replacements_;
  CAdrsContext context_;
  CStringArray lines_;
  int32_t level_ = -1;
};

// The municipalities of 東京都 unsorted (the dispatcher does not sort): 瑞穂町
// is the sixth in entry order.
TEST_F(ListingVariantTest, CountyInBrackets) {
  ListingVariant variant;
  variant.countyInBrackets = 1;
  EXPECT_EQ(ListByNames(Sjis(u8"東京都").c_str(), folder_.c_str(), &context_, &unification_,
                        &replacements_, -1, &interrupted_, &level_, msg_, 1, variant),
            7);
  EXPECT_EQ(level_, 2);
  EXPECT_EQ(
      Show(lines_[5]),
      Show(Sjis(u8"瑞穂町（西多摩郡）,みずほまち（にしたまぐん）,128766445,501686447,13303,0")));
  lines_.clear();
  EXPECT_EQ(
      ListByCode("13", folder_.c_str(), &context_, -1, &interrupted_, &level_, msg_, 1, variant),
      7);
  EXPECT_EQ(
      Show(lines_[5]),
      Show(Sjis(u8"瑞穂町（西多摩郡）,みずほまち（にしたまぐん）,128766445,501686447,13303,0")));
  // kort's default: the county in front.
  lines_.clear();
  EXPECT_EQ(ListByCode("13", folder_.c_str(), &context_, -1, &interrupted_, &level_, msg_, 1), 7);
  EXPECT_EQ(Show(lines_[5]),
            Show(Sjis(u8"西多摩郡瑞穂町,にしたまぐんみずほまち,128766445,501686447,13303,0")));
}

// Lots of block 1 of 丸の内一丁目: 1, 3, 5 from the change history, then 1,
// 5, 7 from the change-code index (unsorted: the dispatcher does not sort).
TEST_F(ListingVariantTest, LotRegistryBySwitchAndVariant) {
  const char* code = "1310100100100001";
  auto numbers = [&] {
    std::string out;
    for (const std::string& line : lines_) out += Show(line.substr(0, 2));
    lines_.clear();
    return out;
  };
  // Switch 0: no registry, each source once.
  EXPECT_EQ(ListByCode(code, folder_.c_str(), &context_, -1, &interrupted_, &level_, msg_, 0), 6);
  EXPECT_EQ(level_, 6);
  EXPECT_EQ(numbers(), reinterpret_cast<const char*>(u8"１３５１５７"));
  ListingVariant always;
  always.lotRegistryAlways = true;
  EXPECT_EQ(
      ListByCode(code, folder_.c_str(), &context_, -1, &interrupted_, &level_, msg_, 0, always), 4);
  EXPECT_EQ(numbers(), reinterpret_cast<const char*>(u8"１３５７"));
  const std::string names = Sjis(u8"東京都 千代田区 丸の内 一丁目 １");
  EXPECT_EQ(ListByNames(names.c_str(), folder_.c_str(), &context_, &unification_, &replacements_,
                        -1, &interrupted_, &level_, msg_, 0, always),
            4);
  EXPECT_EQ(numbers(), reinterpret_cast<const char*>(u8"１３５７"));
  // Without the FLFC lookup the switch alone decides.
  ListingVariant noIni;
  noIni.readFlfc = false;
  EXPECT_EQ(
      ListByCode(code, folder_.c_str(), &context_, -1, &interrupted_, &level_, msg_, 1, noIni), 4);
  EXPECT_EQ(numbers(), reinterpret_cast<const char*>(u8"１３５７"));
}

TEST_F(ListingVariantTest, LevelsAndSortFields) {
  const struct {
    const char* code;
    int32_t level;
  } cases[] = {{"", 1},
               {"13", 2},
               {"13101", 3},
               {"1310101", 4},
               {"800001", 4},
               {"13101001001", 5},
               {"1310100100100001", 6},
               {"1", 0},
               {"131", 0}};
  for (const auto& c : cases) {
    ListByCode(c.code, folder_.c_str(), &context_, 0, &interrupted_, &level_, msg_, 1);
    EXPECT_EQ(level_, c.level) << c.code;
  }
  EXPECT_EQ(ListByNames("a b c d e f", folder_.c_str(), &context_, &unification_, &replacements_,
                        -1, &interrupted_, &level_, msg_, 1),
            0);
  EXPECT_EQ(level_, 0);
  // A name in double quotes may hold blanks; an unclosed quote leaves no name.
  EXPECT_EQ(ListByNames("\"a b\"", folder_.c_str(), &context_, &unification_, &replacements_, -1,
                        &interrupted_, &level_, msg_, 1),
            0);
  EXPECT_EQ(level_, 2);
  EXPECT_EQ(ListByNames("\"a b", folder_.c_str(), &context_, &unification_, &replacements_, -1,
                        &interrupted_, &level_, msg_, 1),
            0);
  EXPECT_EQ(level_, 0);
  EXPECT_EQ(ListingSortField(1), 2);
  EXPECT_EQ(ListingSortField(4), 2);
  EXPECT_EQ(ListingSortField(5), 1);
  EXPECT_EQ(ListingSortField(6), 1);
}

// The display-priority sort of listed rows (name, reading, ..., code) by a
// table with CR LF lines: keyed by name, reading and code.
TEST_F(ListingTest, PrioritySortOfListedMunicipalities) {
  CStringArray lines;
  ASSERT_EQ(ListByCodeToArray(&lines, "13", folder_.c_str(), -1, &interrupted_, msg_, "VRG_EXTEND",
                              1, 1, 1),
            1);
  const std::string table = Sjis(
      u8"20,千代田区,ちよだく,13101＜役所の所在地\r\n"
      u8"10,北区,きたく,\r\n"
      u8"30,中央区,ちゅうおうく,99999\r\n");
  ASSERT_TRUE(
      testutil::WriteBytes(dir_.Native(reinterpret_cast<const char*>(u8"表示優先.tbl")), table));
  const std::string path = dir_.Sys(Sjis(u8"表示優先.tbl"));
  ASSERT_EQ(SortCsvArrayByPriority(&lines, 1, 2, 5, path.c_str(), msg_), 1) << Show(msg_);
  // 北区 10 (short key), 千代田区 20; the rest (中央区's code is not 99999)
  // at 999999 by their code.
  std::vector<std::string> codes;
  for (const std::string& line : lines) {
    std::size_t start = 0;
    for (int comma = 0; comma < 4; ++comma) start = line.find(',', start) + 1;
    codes.push_back(line.substr(start, 5));
  }
  EXPECT_EQ(codes, (std::vector<std::string>{"13117", "13101", "13102", "13113", "13229", "13303",
                                             "13361"}));
}

}  // namespace
