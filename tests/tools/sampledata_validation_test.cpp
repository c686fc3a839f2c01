// The description reader on small texts: the forms it accepts, what each
// check refuses, and reading a folder.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "common/message.h"
#include "common/sjis_text.h"
#include "support/test_util.h"
#include "tools/sampledata/description.h"

using namespace sampledata;
using testutil::Show;
using testutil::Sjis;

namespace {

std::string U8(std::u8string_view s) { return std::string(s.begin(), s.end()); }

using Rows = std::vector<std::vector<std::string>>;  // UTF-8 fields; the header is row 0

// A minimal description that passes every check: a prefecture, a
// municipality, an oaza with one chome, two blocks, a block with one lot.
std::array<Rows, kDescriptionFileCount> BaseRows() {
  auto split = [](std::u8string_view text) {
    Rows rows;
    std::string line;
    for (char c : U8(text)) {
      if (c == '\n') {
        std::vector<std::string> fields(1);
        for (char f : line) {
          if (f == '\t') {
            fields.emplace_back();
          } else {
            fields.back().push_back(f);
          }
        }
        rows.push_back(fields);
        line.clear();
      } else {
        line.push_back(c);
      }
    }
    return rows;
  };
  return {
      split(u8"都道府県コード\t都道府県名\tかな読み都道府県名\t緯度\t経度\n"
            u8"13\t東京都\tとうきょうと\t128470544\t502901675\n"),
      split(u8"都道府県コード\t行政JISコード\t郡名\t市区町村名\tかな読み郡名\tかな読み市区町村名\t"
            u8"緯度\t経度\t状態フラグ\n"
            u8"13\t13101\t\t千代田区\t\tちよだく\t128486800\t503124494\t0\n"),
      split(u8"行政JISコード\t地名コード\tグループコード\t大字代表点フラグ\t大字通称名\t"
            u8"かな読み大字通称名\t字丁目名\tかな読み字丁目名\t制御コード\t状態フラグ\t座標精度\t"
            u8"郵便番号\t緯度\t経度\n"
            u8"13101\t13101001000\t1310101\t1\t丸の内\tまるのうち\t\t\t0\t0\t2000\t\t"
            u8"128440703\t503165554\n"
            u8"13101\t13101001001\t1310101\t0\t丸の内\tまるのうち\t一丁目\tいっちょうめ\t0\t0\t"
            u8"2000\t1000005\t128446464\t503165554\n"),
      split(u8"地名コード\t街区番号コード\t街区番号\t状態フラグ\t住居表示フラグ\t座標精度\t緯度\t"
            u8"経度\n"
            u8"13101001001\t00001\t１\t0\t1\t2000\t128451865\t503163754\n"
            u8"13101001001\t00002\t\t0\t1\t2000\t128448984\t503158353\n"),
      split(u8"地名コード\t街区コード\t地番コード\t街区名\t地番名\t街区ソート名\t地番ソート名\t"
            u8"緯度\t経度\t座標精度\t精度桁\t状態\n"
            u8"13101001001\t00001\t\t\t\t\t\t128451865\t503163754\t2000\t0\t0\n"
            u8"13101001001\t00001\t00003\t\t\t\t\t128451865\t503164114\t2000\t1\t0\n"),
      split(u8"地名コード\t街区コード\t街区名\t街区別名\t地番コード\t地番名\t地番別名\t緯度\t"
            u8"経度\t座標精度\t精度桁\t状態\n"
            u8"13101001001\t00001\t\t\t00003\t\t\t128451865\t503164114\t2000\t0\t0\n"
            u8"13101001001\t00001\t\t\t00005\t\t\t128451145\t503165194\t2000\t1\t0\n"),
      split(u8"検索文字\t置換文字\nヶ\tケ\n"),
      split(u8"検索文字列\t置換文字列\n之\tの\n"),
      split(u8"; comment\n\n恵美須町,恵比須町\n"),
      split(u8"地名コード\t住所コード\t輪郭\n"
            u8"13101001001\t13101001001\t128444464,503163554 128444464,503167554 "
            u8"128448464,503167554 128448464,503163554\n"),
  };
}

// A file's text: a comment line, then the rows; a blank line after row 1.
std::string Join(DescriptionFile file, const Rows& rows) {
  std::string text = file == DescriptionFile::UserReplacements ? "" : "# comment\n";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (std::size_t f = 0; f < rows[r].size(); ++f) text += (f ? "\t" : "") + rows[r][f];
    text += r == 1 && file != DescriptionFile::UserReplacements ? "\n\n" : "\n";
  }
  return text;
}

int LoadTexts(const std::array<Rows, kDescriptionFileCount>& files, Description* d, char* msg) {
  for (int i = 0; i < kDescriptionFileCount; ++i) {
    const auto file = static_cast<DescriptionFile>(i);
    if (!ParseDescriptionText(file, Join(file, files[i]), d, msg)) return 0;
  }
  return ValidateDescription(d, msg);
}

}  // namespace

TEST(SampleDescriptionText, MinimalDescriptionParsesWithParents) {
  Description d;
  char msg[kMessageSize] = "";
  ASSERT_EQ(LoadTexts(BaseRows(), &d, msg), 1) << Show(msg);
  ASSERT_EQ(d.oaza.size(), 2u);
  EXPECT_EQ(d.municipalities[0].parent, 0);
  EXPECT_EQ(d.oaza[0].parent, -1);
  EXPECT_EQ(d.oaza[1].parent, 0);
  EXPECT_EQ(d.oaza[1].municipality, 0);
  EXPECT_EQ(d.blocks[1].parent, 1);
  EXPECT_EQ(d.changes[1].parent, 1);
  EXPECT_EQ(d.changeCodes[1].parent, 1);
  // Texts are CP932; line numbers count the comment and blank lines.
  EXPECT_EQ(d.prefectures[0].name, Sjis(u8"東京都"));
  EXPECT_EQ(d.oaza[1].chomeKana, Sjis(u8"いっちょうめ"));
  EXPECT_EQ(d.oaza[0].line, 3);
  EXPECT_EQ(d.oaza[1].line, 5);
  EXPECT_EQ(d.userReplacementLines,
            (std::vector<std::string>{"; comment", "", Sjis(u8"恵美須町,恵比須町")}));
}

TEST(SampleDescriptionText, ByteOrderMarkAndCrLfAreAccepted) {
  Description d;
  char msg[kMessageSize] = "";
  const std::string text =
      U8(u8"\uFEFF都道府県コード\t都道府県名\tかな読み都道府県名\t緯度\t経度\r\n"
         u8"26\t京都府\tきょうとふ\t126064871\t488730395\r\n");
  ASSERT_EQ(ParseDescriptionText(DescriptionFile::Prefectures, text, &d, msg), 1) << Show(msg);
  EXPECT_EQ(d.prefectures.at(0).longitude, 488730395);
  EXPECT_EQ(ParseDescriptionText(DescriptionFile::Prefectures, "# no header\n", &d, msg), 0);
  EXPECT_GT(FindSubstring("no header", msg), 0) << Show(msg);
}

// Each case changes one field of one row of the minimal description (or
// deletes the row, or appends the changed copy) and expects the load to
// fail with a message that names the file and the fault.
TEST(SampleDescriptionText, RefusesFaultyFields) {
  using F = DescriptionFile;
  enum Op { Set, Append, Delete };
  struct Case {
    F file;
    int row;  // 0 = the header
    int field;
    const char8_t* value;
    Op op;
    const char8_t* expected;  // part of the message
  } cases[] = {
      {F::Prefectures, 0, 2, u8"読み", Set, u8"does not name the fields"},
      {F::Prefectures, 1, 4, u8"1\t2", Set, u8"6 fields where 5"},
      {F::Prefectures, 1, 0, u8"48", Set, u8"prefecture code 01-47"},
      {F::Prefectures, 1, 2, u8"トウキョウト", Set, u8"hiragana"},
      {F::Prefectures, 1, 3, u8"35689487", Set, u8"within Japan"},
      {F::Prefectures, 1, 1, u8"東京都😀", Set, u8"CP932"},
      {F::Prefectures, 1, 1, u8"東京都 ", Set, u8"blank"},
      {F::Municipalities, 1, 1, u8"26101", Set, u8"municipality code of the prefecture"},
      {F::Municipalities, 1, 4, u8"ぐん", Set, u8"reading without a name"},
      {F::Municipalities, 1, 8, u8"0", Append, u8"行政JISコード 13101 twice"},
      {F::Oaza, 1, 1, u8"13101001a00", Set, u8"place code of the municipality"},
      {F::Oaza, 1, 0, nullptr, Delete, u8"without its oaza row"},
      {F::Oaza, 2, 1, u8"13101002001", Set, u8"is not under oaza"},
      {F::Oaza, 2, 2, u8"1310102", Set, u8"differ from the oaza row"},
      {F::Oaza, 2, 6, u8"二丁目", Append, u8"地名コード 13101001001 twice"},
      {F::Oaza, 1, 4, u8"（大字なし）", Set, u8"no-oaza placeholder"},
      {F::Oaza, 1, 10, u8"20000", Set, u8"no scale text"},
      {F::Oaza, 2, 11, u8"", Set, u8"seven-digit postal code"},
      {F::Blocks, 1, 0, u8"13101001002", Set, u8"no aza/chome 13101001002"},
      {F::Blocks, 1, 3, u8"A", Append, u8"block 00001 do not stand together"},
      {F::Blocks, 2, 1, u8"A0002", Set, u8"code is no number"},
      {F::Blocks, 1, 3, u8"B", Set, u8"nor A"},
      {F::Changes, 2, 1, u8"A0001", Set, u8"letter-coded block"},
      {F::Changes, 2, 11, u8"0", Append, u8"twice"},
      {F::Changes, 1, 3, u8"イ", Set, u8"differ within block 00001"},
      {F::Changes, 1, 4, u8"甲", Set, u8"block's own record"},
      {F::Changes, 2, 10, u8"12", Set, u8"not one digit"},
      {F::Changes, 2, 4, u8"あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむ",
       Set, u8"64 bytes"},
      {F::ChangeCodes, 2, 4, u8"00001", Set, u8"code order"},
      {F::ChangeCodes, 1, 10, u8"4", Set, u8"out of range"},
      {F::ChangeCodes, 1, 3, u8"イ", Set, u8"without a block name"},
      {F::ChangeCodes, 1, 0, u8"13101001009", Set, u8"no aza/chome 13101001009"},
      {F::Unification, 1, 0, u8"ヶヶ", Set, u8"not one character"},
      {F::Unification, 1, 1, u8"ケ", Append, u8"comes twice"},
      {F::UserReplacements, 2, 0, u8"恵美須町 恵比須町", Set, u8"no \",\""},
      {F::Areas, 1, 1, u8"13101002", Set, u8"not the 地名コード or a prefix of it"},
      {F::Areas, 1, 2, u8"128444464,503163554 128448464,503167554", Set, u8"fewer than 3"},
      {F::Areas, 1, 2, u8"128444464,503163554 128448464;503167554 128448464,503163554", Set,
       u8"緯度,経度"},
      {F::Areas, 1, 2,
       u8"128444464,503163554 128448464,503167554 128444464,503167554 128448464,503163554", Set,
       u8"crosses itself"},
      {F::Areas, 1, 2, u8"128450000,503163554 128450000,503167554 128452000,503167554", Set,
       u8"does not hold the point"},
      {F::Areas, 1, 1, u8"13101001001", Append, u8"meets that of 13101001001"},
  };
  for (const Case& c : cases) {
    std::array<Rows, kDescriptionFileCount> files = BaseRows();
    Rows& rows = files[static_cast<int>(c.file)];
    std::vector<std::string> changed = rows[c.row];
    if (c.value) changed[c.field] = U8(c.value);
    if (c.op == Set) rows[c.row] = changed;
    if (c.op == Append) rows.push_back(changed);
    if (c.op == Delete) rows.erase(rows.begin() + c.row);
    Description d;
    char msg[kMessageSize] = "";
    const std::string expected = Sjis(c.expected);
    EXPECT_EQ(LoadTexts(files, &d, msg), 0) << Show(expected);
    EXPECT_GT(FindSubstring(expected.c_str(), msg), 0)
        << "\"" << Show(expected) << "\" not in \"" << Show(msg) << "\"";
    EXPECT_GT(FindSubstring(DescriptionFileName(c.file), msg), 0) << Show(msg);
  }
}

TEST(SampleDescriptionFolder, LoadsEveryFileAndNamesTheFaultyOne) {
  testutil::TempDir dir;
  const auto files = BaseRows();
  for (int i = 0; i < kDescriptionFileCount; ++i) {
    const auto file = static_cast<DescriptionFile>(i);
    ASSERT_TRUE(testutil::WriteBytes(dir.Native(DescriptionFileName(file)), Join(file, files[i])));
  }
  Description d;
  char msg[kMessageSize] = "";
  ASSERT_EQ(LoadDescription(dir.path().c_str(), &d, msg), 1) << Show(msg);
  // A second load replaces the first; a separator at the folder's end is accepted.
  ASSERT_EQ(LoadDescription((dir.path() + "/").c_str(), &d, msg), 1) << Show(msg);
  EXPECT_EQ(d.blocks.size(), 2u);

  ASSERT_TRUE(testutil::WriteBytes(dir.Native("blocks.tsv"), "broken"));
  EXPECT_EQ(LoadDescription(dir.path().c_str(), &d, msg), 0);
  EXPECT_GT(FindSubstring("blocks.tsv", msg), 0) << Show(msg);
  std::remove(dir.Native("oaza.tsv").c_str());
  EXPECT_EQ(LoadDescription(dir.path().c_str(), &d, msg), 0);
  EXPECT_GT(FindSubstring("oaza.tsv", msg), 0) << Show(msg);
}

// A description file of several MiB (here padded with comment lines) is
// read whole rather than refused as unreadable.
TEST(SampleDescriptionFolder, ReadsFilesLargerThanFourMebibytes) {
  testutil::TempDir dir;
  const auto files = BaseRows();
  for (int i = 0; i < kDescriptionFileCount; ++i) {
    const auto file = static_cast<DescriptionFile>(i);
    std::string text = Join(file, files[i]);
    if (file == DescriptionFile::Blocks) {
      const std::string comment = "# " + std::string(98, 'x') + "\n";
      for (int k = 0; k < 60000; ++k) text += comment;  // 6 MB
    }
    ASSERT_TRUE(testutil::WriteBytes(dir.Native(DescriptionFileName(file)), text));
  }
  Description d;
  char msg[kMessageSize] = "";
  ASSERT_EQ(LoadDescription(dir.path().c_str(), &d, msg), 1) << Show(msg);
  EXPECT_EQ(d.blocks.size(), 2u);
}
