// The keyword search in process, on the generated sample data.
#include "tool/keyword_search.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/file_access.h"
#include "common/le_bytes.h"
#include "common/message.h"
#include "common/work_memory.h"
#include "matching/adrs_context.h"
#include "plat/cp932.h"
#include "support/test_util.h"
#include "tabledb/name_index.h"
#include "tabledb/table_database.h"
#include "tabledb/tc_access.h"
#include "tool/keyword_rows.h"

namespace {

using testutil::Show;
using testutil::Sjis;

// The sample data folder (CP932, with its "\") and its native form.
std::string SampleFolder() {
  const char* build = std::getenv("KORT_BUILD_DIR");
  std::string folder;
  if (!build || !*build || !plat::cp932::FromUtf8(build, folder)) return "";
  return folder + Sjis(u8"\\Database\\住所\\");
}
std::string SampleNative(const std::string& name) {
  return std::string(std::getenv("KORT_BUILD_DIR")) +
         reinterpret_cast<const char*>(u8"/Database/住所/") + name;
}

// The names in a native folder.
std::vector<std::string> ListFolder(const std::string& nativeFolder) {
  std::vector<std::string> names;
  DIR* dir = opendir(nativeFolder.c_str());
  if (!dir) return names;
  while (const dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  return names;
}

class KeywordSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    if (SampleFolder().empty()) GTEST_SKIP() << "KORT_BUILD_DIR is not set";
    folder_ = SampleFolder();
    // Work files go to a folder of this test.
    temp_ = dir_.Native("tmp");
    ASSERT_EQ(mkdir(temp_.c_str(), 0755), 0);
    const char* old = std::getenv("TMPDIR");
    savedTmp_ = old ? old : "";
    hadTmp_ = old != nullptr;
    setenv("TMPDIR", temp_.c_str(), 1);
  }
  void TearDown() override {
    if (hadTmp_)
      setenv("TMPDIR", savedTmp_.c_str(), 1);
    else
      unsetenv("TMPDIR");
  }
  // No work file may be left behind.
  void ExpectNoWorkFiles() { EXPECT_TRUE(ListFolder(temp_).empty()); }

  // Plain rows of a search into an array.
  int Plain(int32_t type, const std::string& text, CStringArray* rows, int32_t limit = -1) {
    text_ = text;
    text_.resize(kKeywordTextMaxLength + 1, '\0');
    return KeywordSearchPlainToArray(rows, type, text_.data(), folder_.c_str(), limit,
                                     &interrupted_, message_, "", "", 0, "VRG_EXTEND", "");
  }

  testutil::TempDir dir_;
  std::string folder_, temp_, savedTmp_, text_;
  bool hadTmp_ = false;
  int32_t interrupted_ = -1;
  char message_[kMessageSize] = "";
};

TEST(KeywordHelpers, PrefectureOrderFile) {
  testutil::TempDir dir;
  int32_t order[48];
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("order.txt"), "13\n13\n99\n"));
  char message[kMessageSize] = "";
  ASSERT_EQ(LoadPrefectureOrder(dir.Sys("order.txt").c_str(), order, message), 1);
  std::vector<int32_t> expected = {0, 13};
  for (int32_t p = 1; p <= 47; ++p)
    if (p != 13) expected.push_back(p);
  EXPECT_EQ(std::vector<int32_t>(order, order + 48), expected);
  // CR LF lines, blanks around the numbers, text and zero are passed over.
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("order.txt"), "47\r\n x\r\n0\r\n 26 \r\n47\r\n"));
  ASSERT_EQ(LoadPrefectureOrder(dir.Sys("order.txt").c_str(), order, message), 1);
  EXPECT_EQ(order[1], 47);
  EXPECT_EQ(order[2], 26);
  EXPECT_EQ(order[3], 1);
  EXPECT_EQ(order[47], 46);
  for (const char* none : {"", static_cast<const char*>(nullptr)}) {
    ASSERT_EQ(LoadPrefectureOrder(none, order, message), 1);
    for (int32_t i = 0; i <= 47; ++i) EXPECT_EQ(order[i], i);
  }
  EXPECT_EQ(LoadPrefectureOrder(dir.Sys("none.txt").c_str(), order, message), 0);
  EXPECT_EQ(Show(message), Show(Sjis(u8"ファイルオープンエラー!(") + dir.Sys("none.txt") + ")"));
}

TEST(KeywordHelpers, KeysWordsAndFiles) {
  std::string out;
  EXPECT_EQ(BuildIndexKey(out, "  丸の内  一丁目 ", "東京都", "千代田区"), "丸の内 一丁目");
  EXPECT_EQ(BuildIndexKey(out, " ", "東京都", "千代田区 中央区"), "千代田区 中央区");
  EXPECT_EQ(BuildIndexKey(out, "", "東京都", ""), "");
  EXPECT_EQ(RemoveWordAt("a b  c", 2, out), "a c");
  EXPECT_EQ(RemoveWordAt("a b c", 4, out), "a b c");
  EXPECT_EQ(RemoveWordAt("a", 1, out), "");
  testutil::TempDir dir;
  EXPECT_EQ(DeleteFileIfExists(dir.Sys("none").c_str()), 1);
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("some"), "x"));
  EXPECT_EQ(DeleteFileIfExists(dir.Sys("some").c_str()), 1);
  EXPECT_FALSE(testutil::Exists(dir.Native("some")));
  std::string name;
  ASSERT_TRUE(NameWorkFileByPrefecture("C\\tmp\\", 7, &name));
  EXPECT_EQ(name, "C\\tmp\\QVAD07.#W#");
}

TEST_F(KeywordSearch, PlainRowsHaveThirteenFieldsAndIntegerCoordinates) {
  CStringArray rows;
  ASSERT_EQ(Plain(2, Sjis(u8"丸の内"), &rows), 1) << Show(message_);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(Show(rows[0]),
            Show(Sjis(u8"東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,,,"
                      u8"128446464,503165554,13101001001,0")));
  EXPECT_EQ(Show(rows[2]),
            Show(Sjis(u8"東京都,千代田区,ちよだく,丸の内,まるのうち,三丁目,さんちょうめ,,,"
                      u8"128425582,503156552,13101001003,0")));
  EXPECT_EQ(message_[0], '\0');
  EXPECT_EQ(interrupted_, 0);
  // The county and the municipality are joined in fields 2 and 3.
  rows.clear();
  ASSERT_EQ(Plain(0, Sjis(u8"瑞穂"), &rows), 1);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(Show(rows[0]),
            Show(Sjis(u8"東京都,西多摩郡瑞穂町,にしたまぐんみずほまち,,,,,,,128766445,"
                      u8"501686447,13303,0")));
  ExpectNoWorkFiles();
}

TEST_F(KeywordSearch, AbolishedRecordsAndMunicipalitiesWithOazaAreLeftOut) {
  CStringArray rows;
  // 田無市 (status 3) and its oaza are never written; 西東京市 has oaza rows.
  ASSERT_EQ(Plain(0, Sjis(u8"田無"), &rows), 0);
  ASSERT_EQ(Plain(1, Sjis(u8"田無"), &rows), 1);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_NE(rows[0].find(Sjis(u8",西東京市,")), std::string::npos);
  rows.clear();
  ASSERT_EQ(Plain(0, Sjis(u8"西東京"), &rows), 1);
  EXPECT_EQ(rows.size(), 1u);
  // Type 1 and 2 drop the municipality, which has oaza rows.
  EXPECT_EQ(Plain(1, Sjis(u8"西東京"), &rows), 0);
  EXPECT_EQ(Show(message_), Show(Sjis(u8"対象データがありません！[西東京]")));
  // 大島町 has none: its municipality row stays.
  rows.clear();
  ASSERT_EQ(Plain(2, Sjis(u8"大島"), &rows), 1);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_NE(rows[0].find(Sjis(u8",大島町,")), std::string::npos);
}

TEST_F(KeywordSearch, BufferAndFileForms) {
  char buffer[400];
  text_ = Sjis(u8"丸の内");
  text_.resize(64, '\0');
  ASSERT_EQ(KeywordSearchPlainToBuffer(buffer, sizeof buffer, 2, text_.data(), folder_.c_str(), 2,
                                       &interrupted_, message_, "", "", 0, "VRG_BASIC", ""),
            1);
  EXPECT_EQ(
      Show(buffer),
      Show(Sjis(u8"東京都,千代田区,ちよだく,丸の内,まるのうち,一丁目,いっちょうめ,,,128446464,"
                u8"503165554,13101001001,0;東京都,千代田区,ちよだく,丸の内,まるのうち,二丁目,"
                u8"にちょうめ,,,128436383,503158353,13101001002,0")));
  EXPECT_EQ(interrupted_, 1);
  // A buffer too small for a row: the search fails with the write message.
  char small[20];
  EXPECT_EQ(KeywordSearchPlainToBuffer(small, sizeof small, 2, text_.data(), folder_.c_str(), -1,
                                       &interrupted_, message_, "", "", 0, "VRG_BASIC", ""),
            0);
  EXPECT_EQ(Show(message_), Show(Sjis(u8"検索結果の取得に失敗しました！[DATABASE:") + folder_ +
                                 "QVAD13.NDB][TABLE:TC_Oaza]"));
  EXPECT_EQ(KeywordSearchPlainToBuffer(small, 0, 2, text_.data(), folder_.c_str(), -1,
                                       &interrupted_, message_, "", "", 0, "VRG_BASIC", ""),
            0);
  EXPECT_EQ(Show(message_),
            Show(Sjis(u8"パラメータに無効な値が渡されました！(結果格納バッファサイズ)")));
  // The file form leaves no file when nothing is found.
  const std::string result = dir_.Sys("result.txt");
  std::string none = Sjis(u8"存在しない");
  EXPECT_EQ(KeywordSearchToFile(result.c_str(), 2, none.data(), folder_.c_str(), -1, &interrupted_,
                                message_, "", "", 0, "VRG_EXTEND", 1, 1, 1, 1, 1, 1, ""),
            0);
  EXPECT_FALSE(testutil::Exists(dir_.Native("result.txt")));
  EXPECT_EQ(KeywordSearchToFile(nullptr, 2, none.data(), folder_.c_str(), -1, &interrupted_,
                                message_, "", "", 0, "VRG_EXTEND", 1, 1, 1, 1, 1, 1, ""),
            0);
  EXPECT_EQ(Show(message_),
            Show(Sjis(u8"パラメータに無効な値が渡されました！(結果格納ファイル名)")));
  ExpectNoWorkFiles();
}

TEST_F(KeywordSearch, ParametersAreChecked) {
  CStringArray rows;
  std::string text = Sjis(u8"丸の内");
  const struct {
    int32_t options[6];
    const char8_t* name;
  } cases[] = {
      {{5, 1, 1, 1, 1, 1}, u8"検索文字列区分"}, {{1, 3, 1, 1, 1, 1}, u8"出力測地系"},
      {{1, 1, 9, 1, 1, 1}, u8"出力座標書式"},   {{1, 1, 1, 0, 1, 1}, u8"出力字丁目書式"},
      {{1, 1, 1, 1, 3, 1}, u8"出力数字書式"},   {{1, 1, 1, 1, 1, 4}, u8"出力よみ書式"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(KeywordSearchToArray(&rows, 2, text.data(), folder_.c_str(), -1, &interrupted_,
                                   message_, "", "", 0, "VRG_EXTEND", c.options[0], c.options[1],
                                   c.options[2], c.options[3], c.options[4], c.options[5], ""),
              0);
    EXPECT_EQ(Show(message_),
              Show(Sjis(u8"パラメータに無効な値が渡されました！(") + Sjis(c.name) + ")"));
  }
  EXPECT_EQ(KeywordSearchPlainToArray(&rows, 2, nullptr, folder_.c_str(), -1, &interrupted_,
                                      message_, "", "", 0, "VRG_EXTEND", ""),
            0);
  EXPECT_EQ(Show(message_), Show(Sjis(u8"パラメータに無効な値が渡されました！(検索文字列)")));
  EXPECT_EQ(KeywordSearchPlainToArray(&rows, 2, text.data(), folder_.c_str(), -1, nullptr, message_,
                                      "", "", 0, "VRG_EXTEND", ""),
            0);
  EXPECT_EQ(Show(message_), Show(Sjis(u8"パラメータに無効な値が渡されました！(検索中断フラグ)")));
  // A text longer than the search's buffers is refused, not cut.
  std::string longText(kKeywordTextMaxLength + 1, 'a');
  EXPECT_EQ(KeywordSearchPlainToArray(&rows, 2, longText.data(), folder_.c_str(), -1, &interrupted_,
                                      message_, "", "", 0, "VRG_EXTEND", ""),
            0);
  EXPECT_EQ(Show(message_), Show(Sjis(u8"パラメータに無効な値が渡されました！(検索文字列)")));
  EXPECT_TRUE(rows.empty());
}

TEST_F(KeywordSearch, RestrictionTextsFilterPrefecturesAndMunicipalities) {
  CStringArray rows;
  std::string text = Sjis(u8"北区");
  const std::string tokyo = Sjis(u8"東京都");
  ASSERT_EQ(RestrictedKeywordSearchPlainToArray(&rows, 0, text.data(), folder_.c_str(), -1,
                                                &interrupted_, message_, tokyo.c_str(), ""),
            1);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].compare(0, tokyo.size(), tokyo), 0);
  // The municipality restriction chooses the municipality of the aza rows.
  rows.clear();
  text = Sjis(u8"一丁目");
  const std::string chiyoda = Sjis(u8"千代田区");
  ASSERT_EQ(RestrictedKeywordSearchPlainToArray(&rows, 2, text.data(), folder_.c_str(), -1,
                                                &interrupted_, message_, "", chiyoda.c_str()),
            1)
      << Show(message_);
  ASSERT_EQ(rows.size(), 2u);
  for (const std::string& row : rows) EXPECT_NE(row.find(Sjis(u8",千代田区,")), std::string::npos);
  // Only restriction texts: the municipality restriction is the key.
  rows.clear();
  text = "";
  ASSERT_EQ(RestrictedKeywordSearchPlainToArray(&rows, 0, text.data(), folder_.c_str(), -1,
                                                &interrupted_, message_, "", chiyoda.c_str()),
            1);
  EXPECT_EQ(rows.size(), 1u);
}

// A record whose municipality is missing from TC_Shikutyoson is passed over
// without failure. The municipality index here holds 千代田区 only.
TEST_F(KeywordSearch, OazaWhoseMunicipalityIsMissingIsSkipped) {
  const std::string database = folder_ + "QVAD13.NDB";
  char msg[kMessageSize] = "";
  const std::string work = dir_.Sys("work.bin");
  std::string key = Sjis(u8"１丁目");
  ASSERT_EQ(SearchNameIndexToFile(work.c_str(), key.c_str(), database.c_str(),
                                  (folder_ + "QVAD13_OAZA.SIF").c_str(), kNameIndexCharacterPair,
                                  kNameIndexAllWords, msg),
            1)
      << Show(msg);
  // The subset of _CD2.INX whose records are 13101.
  const std::string cd2 = testutil::ReadBytes(SampleNative("QVAD13_CD2.INX"));
  CTableDatabase db;
  ASSERT_EQ(db.Open(database.c_str()), 1);
  std::string subset;
  for (std::size_t at = 0; at + 4 <= cd2.size(); at += 4) {
    const uint32_t record =
        static_cast<uint32_t>(LoadLe(reinterpret_cast<const unsigned char*>(cd2.data() + at), 4));
    std::string code;
    ASSERT_EQ(
        ReadStringField(&db, record, "TC_Shikutyoson", Sjis(u8"行政JISコード").c_str(), &code, msg),
        1);
    if (code == "13101") subset += cd2.substr(at, 4);
  }
  db.Close();
  ASSERT_EQ(subset.size(), 4u);
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("cd2.inx"), subset));

  CAdrsContext context;
  CStringArray rows;
  context.SetOutputArray(&rows);
  int32_t counter = 0;
  KeywordStageArgs args;
  args.context = &context;
  args.databasePath = database.c_str();
  args.counter = &counter;
  args.interrupted = &interrupted_;
  args.message = msg;
  args.words = key.c_str();
  EXPECT_EQ(WriteOazaHitsFromFile(work.c_str(), 0, dir_.Sys("cd2.inx").c_str(), args), 2)
      << Show(msg);
  ASSERT_EQ(rows.size(), 2u);  // 丸の内一丁目 and 大手町一丁目; 銀座, 代々木 ... skipped
  for (const std::string& row : rows) EXPECT_NE(row.find(Sjis(u8",千代田区,")), std::string::npos);
  EXPECT_EQ(counter, 2);
  // An empty work file gives 0 at once; a missing one fails.
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("empty.bin"), ""));
  EXPECT_EQ(
      WriteOazaHitsFromFile(dir_.Sys("empty.bin").c_str(), 0, dir_.Sys("cd2.inx").c_str(), args),
      0);
  EXPECT_EQ(WriteMunicipalityHitsFromFile(dir_.Sys("none.bin").c_str(), "", args), -1);
  EXPECT_EQ(Show(msg), Show(Sjis(u8"ファイルオープンエラー!(") + dir_.Sys("none.bin") + ")"));
}

// A row whose coordinates cannot be converted is not counted toward the
// limit: the stage ends with 0 and the conversion message.
TEST_F(KeywordSearch, RowWhoseConversionFailsIsNotCounted) {
  CAdrsContext context;
  CStringArray rows;
  context.SetOutputArray(&rows);
  context.SetOutputStyle(2);
  ASSERT_EQ(context.SetDatum(2), 1);
  context.SetDatumParameterFile(dir_.Sys("none.par").c_str());
  int32_t counter = 4;
  char msg[kMessageSize] = "";
  KeywordStageArgs args;
  args.context = &context;
  args.counter = &counter;
  args.limit = 5;
  args.interrupted = &interrupted_;
  args.message = msg;
  KeywordRow row;
  EXPECT_EQ(WriteKeywordRow(args, &row, "TC_Oaza"), 0);
  EXPECT_EQ(counter, 4);
  EXPECT_EQ(Show(msg), Show(Sjis(u8"世界測地系変換に失敗しました！")));
  EXPECT_TRUE(rows.empty());
  // With datum 1 the same row is written and counted; the next reaches the limit.
  ASSERT_EQ(context.SetDatum(1), 1);
  interrupted_ = 0;
  EXPECT_EQ(WriteKeywordRow(args, &row, "TC_Oaza"), 1);
  EXPECT_EQ(counter, 5);
  EXPECT_EQ(WriteKeywordRow(args, &row, "TC_Oaza"), 2);
  EXPECT_EQ(interrupted_, 1);
  EXPECT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], ",,,,,,,,,0,0,,,");  // 14 fields
}

// A data folder whose oaza index is missing: the failure names the index,
// and no work file stays.
TEST_F(KeywordSearch, MissingIndexFailsAndRemovesTheWorkFile) {
  const std::string copy = dir_.Native("data");
  ASSERT_EQ(mkdir(copy.c_str(), 0755), 0);
  for (const std::string& name : ListFolder(SampleNative(""))) {
    if (name == "QVAD13_OAZA.SIF") continue;
    ASSERT_EQ(symlink(SampleNative(name).c_str(), (copy + "/" + name).c_str()), 0);
  }
  CStringArray rows;
  std::string text = Sjis(u8"丸の内");
  const std::string folder = dir_.Sys("data");
  EXPECT_EQ(KeywordSearchToArray(&rows, 2, text.data(), folder.c_str(), -1, &interrupted_, message_,
                                 "", "", 0, "VRG_EXTEND", 1, 1, 1, 1, 1, 1, ""),
            0);
  EXPECT_EQ(Show(message_),
            Show(Sjis(u8"ファイルオープンエラー!(") + folder + "\\QVAD13_OAZA.SIF)"));
  ExpectNoWorkFiles();
  // The order file names one that does not exist.
  EXPECT_EQ(OrderedKeywordSearchToArray(&rows, 2, text.data(), folder_.c_str(), -1, &interrupted_,
                                        message_, 1, 1, 1, 1, 1, 1, dir_.Sys("none").c_str()),
            0);
  EXPECT_EQ(Show(message_), Show(Sjis(u8"ファイルオープンエラー!(") + dir_.Sys("none") + ")"));
  ExpectNoWorkFiles();
}

TEST_F(KeywordSearch, OrderFileAndWorkFilesNamedByPrefecture) {
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("order.txt"), "26\r\n"));
  CStringArray rows;
  std::string text = Sjis(u8"北区");
  ASSERT_EQ(OrderedKeywordSearchToArray(&rows, 0, text.data(), folder_.c_str(), -1, &interrupted_,
                                        message_, 1, 1, 1, 1, 1, 1, dir_.Sys("order.txt").c_str()),
            1);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].compare(0, 6, Sjis(u8"京都府")), 0);
  EXPECT_EQ(rows[1].compare(0, 6, Sjis(u8"東京都")), 0);
  // The driver with the per-prefecture work-file names.
  CAdrsContext context;
  rows.clear();
  context.SetOutputArray(&rows);
  char msg[kMessageSize] = "";
  int32_t interrupted = 0;
  EXPECT_EQ(SearchByKeyword(text.c_str(), folder_.c_str(), &context, 0, nullptr, nullptr, -1,
                            &interrupted, msg, "", "", 0, "", NameWorkFileByPrefecture),
            2)
      << Show(msg);
  EXPECT_EQ(rows.size(), 2u);
  ExpectNoWorkFiles();
  // Types outside 0..4 give nothing.
  EXPECT_EQ(SearchByKeyword(text.c_str(), folder_.c_str(), &context, -1, nullptr, nullptr, -1,
                            &interrupted, msg, "", "", 0, ""),
            0);
}

// The sample's copy with a kind-1 address index: the same rows for types 0
// to 2; types 3 and 4 take nothing from the change-code index there, and
// type 3 sorts the blocks of TC_Gaiku.
TEST_F(KeywordSearch, BothIndexKindsGiveTheRows) {
  const std::string kind1 = folder_.substr(0, folder_.size() - Sjis(u8"Database\\住所\\").size()) +
                            Sjis(u8"testdata\\tix1\\Database\\住所\\");
  const struct {
    int32_t type;
    const char8_t* text;
  } cases[] = {{0, u8"北区"}, {1, u8"町"}, {2, u8"丸の内"}, {4, u8"箱根ケ崎－１２－１"}};
  for (const auto& c : cases) {
    CStringArray rows1, rows2;
    std::string text = Sjis(c.text);
    ASSERT_EQ(KeywordSearchPlainToArray(&rows2, c.type, text.data(), folder_.c_str(), -1,
                                        &interrupted_, message_, "", "", 0, "VRG_EXTEND", ""),
              1);
    text = Sjis(c.text);
    ASSERT_EQ(KeywordSearchPlainToArray(&rows1, c.type, text.data(), kind1.c_str(), -1,
                                        &interrupted_, message_, "", "", 0, "VRG_EXTEND", ""),
              1)
        << Show(message_);
    EXPECT_EQ(rows1, rows2) << Show(Sjis(c.text));
  }
  // 丸の内一丁目's lots 1-7, 8-1 and 8-2 are in the change-code index only.
  CStringArray rows1, rows2;
  std::string text = Sjis(u8"丸の内一丁目");
  ASSERT_EQ(KeywordSearchPlainToArray(&rows2, 4, text.data(), folder_.c_str(), -1, &interrupted_,
                                      message_, "", "", 0, "VRG_EXTEND", ""),
            1);
  ASSERT_EQ(KeywordSearchPlainToArray(&rows1, 4, text.data(), kind1.c_str(), -1, &interrupted_,
                                      message_, "", "", 0, "VRG_EXTEND", ""),
            1);
  ASSERT_EQ(rows2.size(), 9u);
  EXPECT_EQ(rows1, CStringArray(rows2.begin(), rows2.begin() + 6));
  CStringArray rows;
  ASSERT_EQ(KeywordSearchPlainToArray(&rows, 3, text.data(), kind1.c_str(), -1, &interrupted_,
                                      message_, "", "", 0, "VRG_EXTEND", ""),
            1);
  std::string blocks;
  for (const std::string& row : rows)
    blocks += row.substr(row.find(",,", 10) - 2, 2) + row.substr(row.rfind(','));
  EXPECT_EQ(Show(blocks), Show(Sjis(u8"１,0２,0３,0５,0６,0")));
  ExpectNoWorkFiles();
}

// LookupBlock walks the blocks of a place from the slot the search found.
TEST_F(KeywordSearch, LookupBlockByItsText) {
  CTableDatabase db;
  ASSERT_EQ(db.Open((folder_ + "QVAD13.NDB").c_str()), 1);
  plat::File index;
  ASSERT_EQ(OpenFileForRead(&index, (folder_ + "QVAD13_CD4.INX").c_str()), 1);
  char msg[kMessageSize] = "";
  char code[kFieldValueSize] = "";
  int32_t latitude = 0, longitude = 0;
  // ２ has an empty 街区番号: its code stands for it.
  for (const char8_t* text : {u8"１", u8"２", u8"６", u8"３"}) {
    EXPECT_EQ(LookupBlock(&db, &index, "13101001001", Sjis(text).c_str(), &latitude, &longitude,
                          code, msg),
              1)
        << Show(msg);
  }
  EXPECT_STREQ(code, "00003");
  EXPECT_EQ(latitude, 128445744);
  EXPECT_EQ(longitude, 503169874);
  EXPECT_EQ(LookupBlock(&db, &index, "13101001001", Sjis(u8"９").c_str(), &latitude, &longitude,
                        code, msg),
            0);
  EXPECT_EQ(Show(msg), Show(Sjis(u8"データベースに値が見つかりません！[DATABASE:") + folder_ +
                            Sjis(u8"QVAD13.NDB][TABLE:TC_Gaiku][FIELD:地名コード,街区番号][VALUE:"
                                 u8"13101001001,９]")));
  EXPECT_EQ(LookupBlock(&db, &index, "99999999999", Sjis(u8"１").c_str(), &latitude, &longitude,
                        code, msg),
            0);
  index.Close();
  db.Close();
}

}  // namespace

namespace {

// Restores the dataset the short forms use.
struct DatasetGuard {
  std::string saved = GetKeywordSearchDataset();
  ~DatasetGuard() { SetKeywordSearchDataset(saved.c_str()); }
};

}  // namespace

// The short forms are the full forms with what they do not take filled in:
// no restriction, the dataset of SetKeywordSearchDataset, no order file;
// the restricted forms restrict with mode 1. Every form gives the rows, the
// buffer and the file of the full form it stands for.
TEST_F(KeywordSearch, ShortFormsAnswerAsTheFullFormWithTheirDefaults) {
  DatasetGuard guard;
  SetKeywordSearchDataset("VRG_EXTEND");
  const std::string key = Sjis(u8"一丁目");
  const std::string chiyoda = Sjis(u8"千代田区");
  std::string a = key, b = key;
  char messageA[kMessageSize] = "";
  char messageB[kMessageSize] = "";

  CStringArray full, simple;
  ASSERT_EQ(KeywordSearchPlainToArray(&full, 2, a.data(), folder_.c_str(), -1, &interrupted_,
                                      messageA, "", "", 0, "VRG_EXTEND", ""),
            1);
  ASSERT_EQ(SimpleKeywordSearchPlainToArray(&simple, 2, b.data(), folder_.c_str(), -1,
                                            &interrupted_, messageB),
            1);
  EXPECT_FALSE(full.empty());
  EXPECT_EQ(simple, full);

  full.clear();
  simple.clear();
  ASSERT_EQ(KeywordSearchToArray(&full, 2, a.data(), folder_.c_str(), -1, &interrupted_, messageA,
                                 "", "", 0, "VRG_EXTEND", 1, 2, 3, 2, 2, 2, ""),
            1);
  ASSERT_EQ(SimpleKeywordSearchToArray(&simple, 2, b.data(), folder_.c_str(), -1, &interrupted_,
                                       messageB, 1, 2, 3, 2, 2, 2),
            1);
  EXPECT_EQ(simple, full);
  CStringArray ordered;
  ASSERT_EQ(OrderedKeywordSearchToArray(&ordered, 2, b.data(), folder_.c_str(), -1, &interrupted_,
                                        messageB, 1, 2, 3, 2, 2, 2, ""),
            1);
  EXPECT_EQ(ordered, full);

  char fullBuffer[4096] = "";
  char shortBuffer[4096] = "";
  ASSERT_EQ(
      KeywordSearchPlainToBuffer(fullBuffer, sizeof fullBuffer, 2, a.data(), folder_.c_str(), -1,
                                 &interrupted_, messageA, "", chiyoda.c_str(), 1, "VRG_EXTEND", ""),
      1);
  ASSERT_EQ(RestrictedKeywordSearchPlainToBuffer(shortBuffer, sizeof shortBuffer, 2, b.data(),
                                                 folder_.c_str(), -1, &interrupted_, messageB, "",
                                                 chiyoda.c_str()),
            1);
  EXPECT_NE(fullBuffer[0], '\0');
  EXPECT_STREQ(shortBuffer, fullBuffer);

  const std::string fullFile = dir_.Sys("full.txt");
  const std::string shortFile = dir_.Sys("short.txt");
  ASSERT_EQ(KeywordSearchToFile(fullFile.c_str(), 2, a.data(), folder_.c_str(), -1, &interrupted_,
                                messageA, "", "", 0, "VRG_EXTEND", 1, 1, 1, 1, 1, 1, ""),
            1);
  ASSERT_EQ(SimpleKeywordSearchToFile(shortFile.c_str(), 2, b.data(), folder_.c_str(), -1,
                                      &interrupted_, messageB, 1, 1, 1, 1, 1, 1),
            1);
  const std::string fullText = testutil::ReadBytes(dir_.Native("full.txt"));
  EXPECT_FALSE(fullText.empty());
  EXPECT_EQ(testutil::ReadBytes(dir_.Native("short.txt")), fullText);
  ExpectNoWorkFiles();
}
