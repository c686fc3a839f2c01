// The result line of a match, written from the engine state that a match
// leaves, over the generated sample data (values as in
// tools/sampledata/data/*.tsv), and the lookups by code.

#include "matching/result_line.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

#include "common/message.h"
#include "matching/adrs_context.h"
#include "matching/adrs_engine.h"
#include "matching/result_format.h"
#include "plat/path.h"
#include "sample_folder.h"
#include "support/test_util.h"
#include "tabledb/table_database.h"

using testutil::Show;

namespace {

TEST(FormatCode3, ThreeDigitsThenALetterForTheHundreds) {
  const struct {
    int32_t value;
    const char* text;
  } cases[] = {{0, "000"},    {7, "007"},    {999, "999"}, {1000, "A00"},
               {1099, "A99"}, {1100, "B00"}, {3599, "Z99"}};
  for (const auto& c : cases) {
    char out[kCodePartTextSize];
    EXPECT_STREQ(FormatCode3(out, c.value), c.text) << c.value;
  }
}

// Where the matcher stopped: the parent's child base and the entry number,
// and the row of the entry.
struct Reached {
  uint32_t childBase = 0;
  uint16_t entry = 0;
  uint32_t record = 0, ownChildBase = 0;
};

class ResultLine : public ::testing::Test {
 protected:
  void Open(int prefecture) {
    folder_ = sample::Folder();
    if (folder_.empty()) GTEST_SKIP() << "KORT_BUILD_DIR is not set";
    char name[32];
    std::snprintf(name, sizeof name, "QVAD%02d.NDB", prefecture);
    ASSERT_EQ(database_.Open((folder_ + name).c_str()), 1) << Show(folder_ + name);
    std::snprintf(name, sizeof name, "QVAD%02d.TIX", prefecture);
    ASSERT_EQ(engine_.Open((folder_ + name).c_str(), 2), 1);
    ASSERT_EQ(engine_.AllocateWorkLists(), 1);
    engine_.SetDatabase(&database_);
    engine_.SetContext(&context_);
    engine_.SetSearchFlags(0);
    context_.SetOutputArray(&lines_);
  }

  // Follows entry numbers from the prefecture down (1 prefecture, 2 city,
  // 3 oaza, 4 chome, 5 block) and keeps the rows a match keeps.
  Reached Walk(std::initializer_list<uint16_t> path) {
    Reached r;
    int depth = 0;
    char msg[kMessageSize] = "";
    for (uint16_t n : path) {
      TixEntry e;
      const uint32_t b = r.ownChildBase;
      const int ok = depth == 0   ? engine_.ReadPrefectureEntry(n, &e, msg)
                     : depth == 1 ? engine_.ReadCityEntry(b, n, &e, msg)
                     : depth == 2 ? engine_.ReadOazaEntry(b, n, &e, msg)
                     : depth == 3 ? engine_.ReadChomeEntry(b, n, &e, msg)
                                  : engine_.ReadBlockEntry(b, n, &e, msg);
      EXPECT_EQ(ok, 1) << Show(msg);
      r.childBase = depth == 0 ? 0 : r.ownChildBase;
      r.entry = n;
      r.record = e.record;
      r.ownChildBase = e.childBase;
      if (depth == 0) engine_.SetMatchedPrefectureRow(static_cast<int32_t>(e.record));
      if (depth == 1) city_ = static_cast<int32_t>(e.record);
      if (depth == 2 || depth == 3) name_ = static_cast<int32_t>(e.record);
      ++depth;
    }
    engine_.SetMatchedRows(city_, name_);
    return r;
  }

  // Style 2 with the given formats (datum 1, coordinate format 1 unless set).
  void Style2(int32_t chome = 1, int32_t number = 1, int32_t reading = 1) {
    context_.SetOutputStyle(2);
    context_.SetDatum(1);
    context_.SetCoordinateFormat(1);
    context_.SetChomeFormat(chome);
    context_.SetNumberFormat(number);
    context_.SetReadingFormat(reading);
  }

  // Writes the line; the line, or "" with the message in message_.
  std::string Write(int32_t level, int32_t reference, int16_t entry) {
    lines_.clear();
    message_[0] = '\0';
    if (!WriteMatchResultLine(&engine_, &database_, &context_, level, reference, entry, message_))
      return "";
    EXPECT_EQ(lines_.size(), 1u);
    return lines_.empty() ? "" : lines_[0];
  }

  std::string folder_;
  CTableDatabase database_;
  CAdrsEngine engine_;
  CAdrsContext context_;
  CStringArray lines_;
  int32_t city_ = 0, name_ = 0;
  char message_[kMessageSize] = "";
};

TEST_F(ResultLine, NameFormatsRewriteTheNamesOfStyle2) {
  Open(13);
  Style2(2, 2, 3);
  // Block 2 of 丸の内一丁目 has no 街区番号: its code in full width, then ASCII.
  const Reached r = Walk({1, 1, 1, 1, 2});
  EXPECT_EQ(Show(Write(6, r.childBase, static_cast<int16_t>(r.entry))),
            Show("東京都,千代田区,ﾁﾖﾀﾞｸ,丸の内,ﾏﾙﾉｳﾁ,一,ｲｯ,2,,128448984,503158353,"
                 "1310100100100002,0,6,1,,1000005"));
}

TEST_F(ResultLine, EstimatedBlockLiesBetweenItsNeighboursByNumber) {
  Open(13);
  Style2();
  // 丸の内二丁目: block 2 (entry 2) and block 6 (entry 5); 3 lies a quarter
  // of the way from 2 to 6; one neighbour alone gives its own point.
  EstimateRecord record = {};
  record.parent = Walk({1, 1, 1, 2}).ownChildBase;
  record.requested = 3;
  const EstimateNeighbour none = {kNeighbourNone, -1, 0, 0, 0};
  // The neighbours as the matcher records them (points of blocks.tsv).
  const EstimateNeighbour block2 = {kNeighbourBlockRow, 2, 128438543, 503161953, 2};
  const EstimateNeighbour block6 = {kNeighbourBlockRow, 5, 128429902, 503159793, 6};
  const std::string quarter =
      std::to_string(static_cast<int32_t>((128438543.0 * 3 + 128429902.0) / 4)) + "," +
      std::to_string(static_cast<int32_t>((503161953.0 * 3 + 503159793.0) / 4));
  const struct {
    EstimateNeighbour lower, upper;
    int32_t level;
    std::string point;  // "" : fails
  } cases[] = {
      {block2, block6, 5, quarter},   {block2, none, 5, "128438543,503161953"}, {none, none, 5, ""},
      {block2, block2, 5, ""},         // equal numbers
      {{9, 2, 0, 0, 2}, none, 5, ""},  // unknown kind
      {block2, none, 7, ""},           // a block row beside a lot
  };
  for (const auto& c : cases) {
    record.lower = c.lower;
    record.upper = c.upper;
    const uint32_t n = engine_.AddEstimateRecord(record);
    const std::string line = Write(c.level, static_cast<int32_t>(n), c.level == 5 ? 0 : -1);
    if (c.point.empty()) {
      EXPECT_EQ(line, "");
      EXPECT_EQ(Show(message_), Show("データの取得に失敗しました！"));
    } else {
      EXPECT_EQ(Show(line),
                Show("東京都,千代田区,ちよだく,丸の内,まるのうち,二丁目,にちょうめ,３,," + c.point +
                     ",1310100100200003,0,5,1,,1000005"));
    }
  }
  EXPECT_EQ(Write(5, 9999, 0), "");
}

TEST_F(ResultLine, WritesCommaAndSemicolonOfTheRestFullWidth) {
  Open(13);
  Style2();
  const Reached r = Walk({1, 1, 1, 1});
  engine_.SetUnmatchedText("１,2;３");
  const std::string line = Write(4, r.childBase, static_cast<int16_t>(r.entry));
  EXPECT_EQ(Show(line),
            Show("東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,,,128446464,"
                 "503165554,13101001001,0,4,0,１，2；３,1000005"));
  // In a caller buffer the line stays one record.
  char buffer[512];
  context_.SetOutputBuffer(buffer, sizeof buffer);
  ASSERT_EQ(
      WriteMatchResultLine(&engine_, &database_, &context_, 4, static_cast<int32_t>(r.childBase),
                           static_cast<int16_t>(r.entry), message_),
      1);
  ASSERT_EQ(context_.RewindInput(), 1);
  ASSERT_EQ(context_.ReadNextInput(), 1);
  std::string record;
  context_.GetInputRecord(&record);
  EXPECT_EQ(Show(record), Show(line));
  EXPECT_EQ(context_.ReadNextInput(), 0);
}

TEST_F(ResultLine, FailuresGiveTheirMessagesAndWriteNothing) {
  Open(13);
  Style2();
  const Reached r = Walk({1, 1, 1, 1});
  EXPECT_EQ(Write(9, r.childBase, 1), "");
  EXPECT_EQ(Show(message_), Show("不正なレベルが指定されました！[LEVEL:9]"));
  EXPECT_EQ(Write(0, r.childBase, 1), "");
  EXPECT_EQ(Show(message_), Show("不正なレベルが指定されました！[LEVEL:0]"));
  // An entry beyond the index.
  EXPECT_EQ(Write(4, r.childBase, 999), "");
  EXPECT_NE(std::string(message_).find("QVAD13.TIX"), std::string::npos) << Show(message_);
  // Rows the match did not keep.
  engine_.SetMatchedPrefectureRow(0);
  EXPECT_EQ(Write(4, r.childBase, static_cast<int16_t>(r.entry)), "");
  EXPECT_EQ(Show(message_), Show("解析結果の取得に失敗しました！"));
  engine_.SetMatchedPrefectureRow(static_cast<int32_t>(Walk({1}).record));
  engine_.SetMatchedRows(city_, 0);
  EXPECT_EQ(Write(6, r.ownChildBase, 1), "");
  EXPECT_EQ(Show(message_), Show("解析結果の取得に失敗しました！"));
  // JGD2000 without its parameter file.
  Walk({1, 1, 1, 1});
  context_.SetDatum(2);
  context_.SetDatumParameterFile("/nonexistent/TKY2JGD.PAR");
  EXPECT_EQ(Write(4, r.childBase, static_cast<int16_t>(r.entry)), "");
  EXPECT_EQ(Show(message_), Show("世界測地系変換に失敗しました！"));
  // A line that does not fit the caller buffer.
  context_.SetDatum(1);
  char small[16];
  context_.SetOutputBuffer(small, sizeof small);
  EXPECT_EQ(
      WriteMatchResultLine(&engine_, &database_, &context_, 4, static_cast<int32_t>(r.childBase),
                           static_cast<int16_t>(r.entry), message_),
      0);
  char path[512];
  database_.GetPath(path, sizeof path);
  EXPECT_EQ(Show(message_),
            Show(std::string("検索結果の取得に失敗しました！[DATABASE:") + path + "][LEVEL:4]"));
}

// ---- Lookups by code ----

class CodeLookup : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = sample::Folder();
    if (folder_.empty()) GTEST_SKIP() << "KORT_BUILD_DIR is not set";
    ASSERT_EQ(database_.Open((folder_ + "QVAD13.NDB").c_str()), 1);
  }
  std::string folder_;
  CTableDatabase database_;
  char a_[kResultTextSize] = "", b_[kResultTextSize] = "", c_[kResultTextSize] = "",
       d_[kResultTextSize] = "";
  char message_[kMessageSize] = "";
};

TEST_F(CodeLookup, FindsTheRowsOfEachLevelOrSaysWhatIsMissing) {
  ASSERT_EQ(LookupPrefectureByCode(&database_, "13", a_, message_), 1) << Show(message_);
  EXPECT_EQ(Show(a_), Show("東京都"));
  ASSERT_EQ(LookupCityByCode(&database_, "13303", a_, b_, c_, d_, message_), 1) << Show(message_);
  EXPECT_EQ(Show(std::string(a_) + b_ + c_ + d_), Show("瑞穂町西多摩郡みずほまちにしたまぐん"));
  ASSERT_EQ(LookupOazaByCode(&database_, "13101001002", a_, b_, c_, d_, message_), 1);
  EXPECT_EQ(Show(std::string(a_) + b_ + c_ + d_), Show("丸の内二丁目まるのうちにちょうめ"));
  char path[512];
  database_.GetPath(path, sizeof path);
  EXPECT_EQ(LookupCityByCode(&database_, "13999", a_, b_, c_, d_, message_), 0);
  EXPECT_EQ(Show(message_),
            Show(std::string("データベースに値が見つかりません！[DATABASE:") + path +
                 "][TABLE:TC_Shikutyoson][FIELD:行政JISコード][VALUE:13999]"));
  // The database alone, without its code indexes.
  testutil::TempDir dir;
  std::string native;
  ASSERT_TRUE(plat::path::ToNative((folder_ + "QVAD13.NDB").c_str(), native));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("QVAD13.NDB"), testutil::ReadBytes(native)));
  CTableDatabase alone;
  ASSERT_EQ(alone.Open(dir.Sys("QVAD13.NDB").c_str()), 1);
  EXPECT_EQ(LookupPrefectureByCode(&alone, "13", a_, message_), 0);
  EXPECT_EQ(Show(message_), Show("ファイルオープンエラー!(" + dir.Sys("QVAD13_CD1.INX") + ")"));
}

}  // namespace
