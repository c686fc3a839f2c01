#include "tabledb/tc_access.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/file_access.h"
#include "common/message.h"
#include "common/sjis_text.h"
#include "support/test_util.h"
#include "tabledb/address_dataset.h"
#include "tabledb/code_index_files.h"
#include "tabledb/data_source.h"
#include "tabledb/table_database.h"
#include "tabledb/table_sorter.h"

using addrtest::Dataset;
using addrtest::Records;
using testutil::Show;
using testutil::TempDir;

namespace {

std::string NotFound(const std::string& database, const std::string& value) {
  return "データベースに値が見つかりません！[DATABASE:" + database +
         "][TABLE:TC_Oaza][FIELD:地名コード][VALUE:" + value + "]";
}

// A database with table T (STRING K) holding the values, and index files
// of their record positions (-1: a position that is no record).
struct KeyTable {
  TempDir dir;
  CTableDatabase db;
  std::vector<uint32_t> records;
  plat::File file;

  explicit KeyTable(const std::vector<std::string>& values) {
    EXPECT_EQ(db.Create(dir.Sys("KEYS.NDB").c_str()), 1);
    EXPECT_NE(db.CreateTable("T"), 0u);
    EXPECT_NE(db.AddField("T", "K", kTdbString, 0, nullptr, nullptr, 0, 0), 0u);
    EXPECT_EQ(db.UpdateMaxRecordSize(), 1);
    for (const std::string& v : values) {
      records.push_back(db.AddRecord("T"));
      EXPECT_EQ(db.SetString(records.back(), "T", "K", v.c_str()), 1);
    }
  }
  bool WriteIndex(const std::vector<int>& order) {
    std::string bytes;
    for (int i : order) {
      const uint32_t v = i < 0 ? 0xFFFFFF00u : records[i];
      for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<char>(v >> (8 * k)));
    }
    file.Close();
    return testutil::WriteBytes(dir.Native("KEYS_CD9.INX"), bytes) &&
           OpenFileForRead(&file, dir.Sys("KEYS_CD9.INX").c_str());
  }
  uint32_t Find(uint32_t lo, uint32_t hi, const char* key) {
    return FindInSortedIndexFile(&db, &file, lo, hi, "T", "K", key);
  }
  uint32_t First(uint32_t lo, uint32_t hi, const char* key) {
    return FindFirstInSortedIndexFile(&db, &file, lo, hi, "T", "K", key);
  }
};

std::string LowerAscii(std::string s) {
  for (char& c : s) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  return s;
}

}  // namespace

TEST(TcAccessFields, ReadsTypedFieldsAndNamesWhatFailed) {
  TempDir dir;
  Records records;
  const std::string ndb = dir.Sys("QVAD13.NDB");
  ASSERT_TRUE(addrtest::WriteDatabase(ndb, addrtest::Tokyo(), &records));
  CTableDatabase db;
  ASSERT_EQ(db.Open(ndb.c_str()), 1);
  const uint32_t pref = records.prefectures[0];
  char msg[kMessageSize] = "";
  char text[kFieldValueSize] = "";
  int32_t value = 0;
  ASSERT_EQ(ReadStringField(&db, pref, "TC_Todoufuken", "正規都道府県名", text, 512, msg), 1);
  EXPECT_STREQ(text, "東京都");
  ASSERT_EQ(ReadIntField(&db, pref, "TC_Todoufuken", "経度", &value, msg), 1);
  EXPECT_EQ(value, 503165554);
  // 緯度 is the fourth field of TC_Todoufuken, after three 4-byte STRINGs.
  int32_t type = 0, attribute = -1;
  uint32_t position = 0, size = 0;
  ASSERT_EQ(ReadFieldInfo(&db, "TC_Todoufuken", "緯度", &type, &attribute, &position, &size, msg),
            1);
  EXPECT_EQ(type, kTdbInt);
  EXPECT_EQ(attribute, 0);
  EXPECT_EQ(position, 13u);
  EXPECT_EQ(size, 4u);

  const struct {
    const char* table;
    const char* field;
    bool asInt;
    std::size_t size;
  } failures[] = {
      {"TC_Todoufuken", "緯度", false, 512},          // INT read as text
      {"TC_Todoufuken", "正規都道府県名", true, 0},   // STRING read as INT
      {"TC_Todoufuken", "都道府県名", false, 512},    // no such field
      {"TC_Chiban", "地名コード", true, 0},           // no such table
      {"TC_Todoufuken", "正規都道府県名", false, 6},  // 東京都 needs 7 bytes
  };
  for (const auto& f : failures) {
    std::strcpy(text, "old");
    EXPECT_EQ(f.asInt ? ReadIntField(&db, pref, f.table, f.field, &value, msg)
                      : ReadStringField(&db, pref, f.table, f.field, text, f.size, msg),
              0);
    EXPECT_EQ(std::string(msg), "データベースの値の取得に失敗しました！[DATABASE:" + ndb +
                                    "][TABLE:" + f.table + "][FIELD:" + f.field + "]")
        << Show(msg);
    EXPECT_STREQ(text, f.asInt ? "old" : "");
  }
  EXPECT_EQ(ReadFieldInfo(&db, "TC_Todoufuken", "標高", &type, nullptr, nullptr, nullptr, msg), 0);
  EXPECT_EQ(std::string(msg), "データベースのフィールド情報の取得に失敗しました！[DATABASE:" + ndb +
                                  "][TABLE:TC_Todoufuken][FIELD:標高]")
      << Show(msg);
}

TEST(SortedIndexSearch, HalvingSearchAndFirstOfARun) {
  KeyTable t({"01", "03", "05", "a", "b", "c"});
  ASSERT_TRUE(t.WriteIndex({0, 1, 2}));
  const std::pair<const char*, uint32_t> three[] = {{"01", 1}, {"03", 2}, {"05", 3}, {"04", 0},
                                                    {"00", 0}, {"06", 0}, {"", 0},   {"030", 0}};
  for (const auto& [key, slot] : three) EXPECT_EQ(t.Find(1, 3, key), slot) << key;
  EXPECT_EQ(t.Find(1, 1, "01"), 1u) << "one slot";
  EXPECT_EQ(t.Find(2, 2, "01"), 0u) << "one slot, another key";
  EXPECT_EQ(t.Find(1, 0, "01"), 0u) << "empty file";
  EXPECT_EQ(t.Find(1, 4, "05"), 0u) << "slot 4 lies past the end of the file";
  EXPECT_EQ(FindInSortedIndexFile(&t.db, &t.file, 1, 3, "T", "N", "03"), 0u) << "no such field";
  // The halving reads slots lo, hi and mid only.
  ASSERT_TRUE(t.WriteIndex({0, -1, 2}));
  EXPECT_EQ(t.Find(1, 3, "03"), 0u);
  EXPECT_EQ(t.Find(1, 3, "05"), 3u);
  // a b b b c: the halving stops on the middle b; the run starts at 2.
  ASSERT_TRUE(t.WriteIndex({3, 4, 4, 4, 5}));
  EXPECT_EQ(t.Find(1, 5, "b"), 3u);
  EXPECT_EQ(t.First(1, 5, "b"), 2u);
  EXPECT_EQ(t.First(3, 5, "b"), 3u) << "not stepping below lo";
  ASSERT_TRUE(t.WriteIndex({-1, 4, 4, 5}));
  EXPECT_EQ(t.First(1, 4, "b"), 0u) << "a bad slot met stepping back";
}

TEST(SortedIndexSearch, OverATableSortersPositions) {
  KeyTable t({"k3", "k1", "k2", "k1", "k5", "k3", "k3"});
  CDataSource source;
  ASSERT_EQ(source.CreateMemory(64, 64), 1);
  CTableSorter sorter;
  ASSERT_EQ(sorter.Setup(&source, &t.db, "T", 1), 1);
  ASSERT_NE(sorter.AddKey("K", kSortAscending), 0);
  uint32_t count = 0;
  ASSERT_EQ(sorter.Build(nullptr, &count), 1);
  // Sorted: k1 k1 k2 k3 k3 k3 k5.
  const std::pair<const char*, uint32_t> firsts[] = {{"k1", 1}, {"k2", 3}, {"k3", 4},
                                                     {"k5", 7}, {"k4", 0}, {"k6", 0}};
  for (const auto& [key, slot] : firsts) {
    EXPECT_EQ(FindFirstInSortedRecordFile(&sorter, 1, count, "T", "K", key), slot) << key;
    const uint32_t any = FindInSortedRecordFile(&sorter, 1, count, "T", "K", key);
    char text[kFieldValueSize] = "";
    if (any) t.db.GetString(sorter.GetPositionAt(any), "T", "K", text, sizeof text);
    EXPECT_EQ(std::string(text), slot ? key : "") << key;
  }
}

// Both prefectures' code index files, under the names the system builds,
// also when every name on disk is in lower case (parameter true).
class CodeIndexFiles : public ::testing::TestWithParam<bool> {};

TEST_P(CodeIndexFiles, EveryRowIsFoundThroughEveryIndex) {
  TempDir dir;
  const char* titles[2] = {"QVAD13", "QVAD27"};
  const Dataset data[2] = {addrtest::Tokyo(), addrtest::Osaka()};
  for (int p = 0; p < 2; ++p) {
    Records records;
    std::string error;
    ASSERT_TRUE(
        addrtest::BuildPrefectureFiles(dir.Sys(""), titles[p], data[p], 2, &records, &error))
        << error;
  }
  if (GetParam()) {
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
      std::filesystem::rename(e.path(), dir.Native(LowerAscii(e.path().filename().string())));
    }
    ASSERT_TRUE(testutil::Exists(dir.Native("qvad13_cd3.inx")));
  }
  for (int p = 0; p < 2; ++p) {
    SCOPED_TRACE(titles[p]);
    const std::string ndb = dir.Sys(std::string(titles[p]) + ".NDB");
    CTableDatabase db;
    ASSERT_EQ(db.Open(ndb.c_str()), 1);
    for (const CodeIndexFile& f : kCodeIndexFiles) {
      SCOPED_TRACE(std::string(f.suffix) + f.extension);
      char path[kCodeIndexPathSize];
      ASSERT_EQ(MakeCodeIndexPath(ndb.c_str(), f.suffix, path, sizeof path, f.extension), 1);
      plat::File file;
      ASSERT_EQ(OpenFileForRead(&file, path), 1);
      uint64_t length = 0;
      uint32_t rows = 0;
      ASSERT_TRUE(file.GetLength(length));
      ASSERT_EQ(CountTableRecords(&db, f.table, &rows), 1);
      ASSERT_EQ(length, 4u * rows);
      // Slot by slot: the key of each found from the first slot of its run.
      std::vector<std::string> keys;
      for (uint32_t slot = 1; slot <= rows; ++slot) {
        unsigned char b[4];
        ASSERT_EQ(ReadBytesFromFileAt(&file, 4 * (slot - 1), b, 4), 1);
        char text[kFieldValueSize];
        ASSERT_EQ(db.GetString(b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24,
                               f.table, f.field, text, sizeof text),
                  1);
        keys.push_back(text);
        const std::size_t first = std::find(keys.begin(), keys.end(), keys.back()) - keys.begin();
        EXPECT_EQ(FindFirstInSortedIndexFile(&db, &file, 1, rows, f.table, f.field, text),
                  first + 1)
            << Show(text);
      }
    }
    // The group code of every TC_Oaza row by its place code (11 bytes).
    for (const auto& row : data[p].oaza) {
      char group[kFieldValueSize] = "";
      char msg[kMessageSize] = "";
      EXPECT_EQ(LookupGroupCodeByPlaceCode(&db, (row.code + "9").c_str(), group, 512, msg), 1)
          << row.code << Show(msg);
      EXPECT_EQ(group, row.group) << row.code;
    }
    char group[kFieldValueSize] = "old";
    char msg[kMessageSize] = "";
    const std::string missing = std::string(titles[p]).substr(4) + "999999999";
    EXPECT_EQ(LookupGroupCodeByPlaceCode(&db, missing.c_str(), group, 512, msg), 0);
    EXPECT_EQ(msg, NotFound(ndb, missing)) << Show(msg);
    EXPECT_STREQ(group, "");
  }
  const std::string cdg = GetParam() ? "qvad27_cdg" : "QVAD27_CDG";
  EXPECT_EQ(testutil::ReadBytes(dir.Native(cdg + (GetParam() ? ".tix" : ".TIX"))),
            testutil::ReadBytes(dir.Native(cdg + (GetParam() ? ".inx" : ".INX"))));
}

INSTANTIATE_TEST_SUITE_P(FileNameCase, CodeIndexFiles, ::testing::Values(false, true));

TEST(LookupGroupCodeByPlaceCode, RefusesShortCodesBeforeOpeningTheIndex) {
  TempDir dir;
  Records records;
  std::string error;
  ASSERT_TRUE(
      addrtest::BuildPrefectureFiles(dir.Sys(""), "QVAD13", addrtest::Tokyo(), 1, &records, &error))
      << error;
  const std::string ndb = dir.Sys("QVAD13.NDB");
  CTableDatabase db;
  ASSERT_EQ(db.Open(ndb.c_str()), 1);
  char group[8];
  char msg[kMessageSize];
  ASSERT_EQ(LookupGroupCodeByPlaceCode(&db, "13102002000", group, 8, msg), 1);
  EXPECT_STREQ(group, "1310202");
  EXPECT_EQ(LookupGroupCodeByPlaceCode(&db, "13102002000", group, 7, msg), 0) << "no room";
  ASSERT_TRUE(std::filesystem::remove(dir.Native("QVAD13_CD3.INX")));
  EXPECT_EQ(LookupGroupCodeByPlaceCode(&db, "1310100100", group, 8, msg), 0);
  EXPECT_EQ(msg, NotFound(ndb, "1310100100")) << Show(msg);
  EXPECT_EQ(LookupGroupCodeByPlaceCode(&db, "13101001001", group, 8, msg), 0);
  EXPECT_EQ(std::string(msg), "ファイルオープンエラー!(" + dir.Sys("QVAD13_CD3.INX") + ")");
}

TEST(BuildCodeIndexFiles, FailsWholeAndRemovesWhatItWrote) {
  TempDir dir;
  const std::string ndb = dir.Sys("QVAD13.NDB");
  char msg[kMessageSize];
  EXPECT_EQ(BuildCodeIndexFiles(ndb.c_str(), msg), 0);
  EXPECT_EQ(std::string(msg), "ファイルオープンエラー!(" + ndb + ")");
  // Without TC_Gaiku _CD4 cannot be made; _CD1 to _CD3 are removed again.
  Records records;
  ASSERT_TRUE(addrtest::WriteDatabase(ndb, addrtest::Tokyo(), &records));
  {
    CTableDatabase db;
    ASSERT_EQ(db.OpenForUpdate(ndb.c_str()), 1);
    ASSERT_EQ(db.DropTable("TC_Gaiku"), 1);
  }
  EXPECT_EQ(BuildCodeIndexFiles(ndb.c_str(), msg), 0);
  EXPECT_EQ(std::string(msg), "ファイルの作成に失敗しました！(" + dir.Sys("QVAD13_CD4.INX") + ")");
  for (const char* name : {"QVAD13_CD1.INX", "QVAD13_CD3.INX", "QVAD13_CD4.INX"}) {
    EXPECT_FALSE(testutil::Exists(dir.Native(name))) << name;
  }
}

TEST(MakeCodeIndexPath, SameFolderAndTitleWithTheSuffix) {
  char out[kCodeIndexPathSize];
  // 表 ends in the byte 0x5C: the folder ends at the real separator.
  ASSERT_EQ(MakeCodeIndexPath("C:\\表\\QVAD13.NDB", "_CD2", out, sizeof out), 1);
  EXPECT_STREQ(out, "C:\\表\\QVAD13_CD2.INX");
  ASSERT_EQ(MakeCodeIndexPath("/d.x/qvad13.ndb", "_CDG", out, sizeof out, ".TIX"), 1);
  EXPECT_STREQ(out, "/d.x/qvad13_CDG.TIX");
  EXPECT_EQ(MakeCodeIndexPath("QVAD01.NDB", "_CD1", out, 14), 0) << "14 bytes + NUL";
  EXPECT_STREQ(out, "");
}

TEST(PrepareCodeAndName, FullWidthNameForAnEmptyOneThenZeroPaddedCode) {
  const struct {
    const char* code;
    const char* name;
    std::size_t codeSize, nameSize;
    const char* codeAfter;
    const char* nameAfter;
  } cases[] = {
      {"12", "", 16, 16, "00012", "１２"}, {"13101", "千代田区", 16, 16, "13101", "千代田区"},
      {"7", "x", 16, 16, "00007", "x"},    {"123456", "", 16, 16, "123456", "１２３４５６"},
      {"12", "", 5, 16, "12", "１２"},     {"12", "", 6, 16, "00012", "１２"},
      {"12", "", 16, 4, "00012", ""},      {"12", "", 16, 5, "00012", "１２"},
  };
  for (const auto& c : cases) {
    char code[16], name[16];
    std::strcpy(code, c.code);
    std::strcpy(name, c.name);
    EXPECT_EQ(PrepareCodeAndName(code, c.codeSize, name, c.nameSize), code);
    EXPECT_STREQ(code, c.codeAfter) << c.code << " " << c.codeSize << "/" << c.nameSize;
    EXPECT_STREQ(name, c.nameAfter) << Show(name) << " " << c.codeSize << "/" << c.nameSize;
  }
}

TEST(PlaceholderNames, OazaAndChomeTests) {
  // 0x88 0x91 is one kanji; the bytes after it hold 大字なし one byte off.
  const char shifted[] = "\x88\x91\xE5\x8E\x9A\x82\xC8\x82\xB5";
  const struct {
    const char* name;
    int32_t kana;
    int oaza, chome;
  } cases[] = {
      {"", 0, 1, 1},
      {nullptr, 0, 1, 1},
      {"", 1, 1, 1},
      {"大字なし地区", 0, 1, 0},
      {"（大字なし）", 0, 1, 0},
      {"大字", 0, 0, 0},
      {"おおあざなし", 0, 0, 0},
      {"大字なし地区", 1, 0, 0},
      {"おおあざなしちく", 1, 1, 0},
      {"（おおあざなし）", 1, 1, 0},
      {"丁目なし地区", 0, 0, 1},
      {"丁目なし", 0, 0, 0},
      {"丁目なし地区", 1, 0, 0},
      {"ちょうもくなしちく", 1, 0, 1},
      {shifted, 0, 0, 0},
  };
  for (const auto& c : cases) {
    const std::string shown = (c.name ? Show(c.name) : "null") + " " + std::to_string(c.kana);
    EXPECT_EQ(IsNoOazaName(c.name, c.kana), c.oaza) << shown;
    EXPECT_EQ(IsNoChomeName(c.name, c.kana), c.chome) << shown;
  }
}

// Names put together from the characters of the placeholders (and of a
// lead byte that shifts where characters begin, and a lone lead byte at
// the end), tested against the two tests the placeholder test is made of.
TEST(PlaceholderNames, OazaTestAgreesWithItsTwoTestsOnMadeUpNames) {
  const char* const pieces[] = {"大", "字", "な", "し", "地", "区", "お",   "あ",   "ざ",  "ち",
                                "く", "（", "）", "a",  "北", "町", "\x88", "\x91", "\xE5"};
  constexpr int kPieces = static_cast<int>(sizeof pieces / sizeof pieces[0]);
  uint32_t seed = 12345;
  auto next = [&seed](int n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 16) % static_cast<uint32_t>(n));
  };
  int placeholders[2] = {0, 0};
  for (int i = 0; i < 20000; ++i) {
    std::string name;
    const int length = 1 + next(8);
    for (int k = 0; k < length; ++k) name += pieces[next(kPieces)];
    // Whole words now and then, so that placeholders come up often.
    if (next(3) == 0) {
      const std::size_t at =
          std::min<std::size_t>(static_cast<std::size_t>(next(2)) * 2, name.size());
      name.insert(at, next(2) ? "大字なし" : "おおあざなし");
    }
    if (next(50) == 0) name = next(2) ? "大字なし地区" : "おおあざなしちく";
    for (const int32_t kana : {0, 1}) {
      const int expected = kana ? (CompareStrings(name.c_str(), "おおあざなしちく") == 0 ||
                                   FindSubstring("おおあざなし", name.c_str()) > 0)
                                : (CompareStrings(name.c_str(), "大字なし地区") == 0 ||
                                   FindSubstring("大字なし", name.c_str()) > 0);
      EXPECT_EQ(IsNoOazaName(name.c_str(), kana), expected) << Show(name) << " " << kana;
      placeholders[kana] += expected;
    }
  }
  // Both answers came up often, and so did names that hold the bytes of a
  // placeholder one byte off.
  EXPECT_GT(placeholders[0], 2000);
  EXPECT_GT(placeholders[1], 2000);
  EXPECT_LT(placeholders[0], 18000);
  EXPECT_EQ(IsNoOazaName("\x88\x91\xE5\x8E\x9A\x82\xC8\x82\xB5", 0), 0);
  EXPECT_EQ(IsNoOazaName("\x88\x91\xE5\x8E\x9A\x82\xC8\x82\xB5大字なし", 0), 1);
}

TEST(PlaceholderNames, PairsTurnIntoTheDistrictPlaceholder) {
  const struct {
    const char* kanji;  // null: absent
    const char* kana;
    int32_t kanaSwitch;
    bool chome;
    int result;
    const char* kanjiAfter;
    const char* kanaAfter;
  } cases[] = {
      {"（大字なし）", "（おおあざなし）", 0, false, 1, "大字なし地区", "おおあざなしちく"},
      {"丸の内", "", 0, false, 0, "丸の内", ""},
      {"丸の内", "", 1, false, 1, "大字なし地区", "おおあざなしちく"},  // the reading decides
      {"", "まるのうち", 1, false, 0, "", "まるのうち"},
      {nullptr, "おおあざなし", 1, false, 1, nullptr, "おおあざなしちく"},
      {"", nullptr, 1, false, 0, "", nullptr},  // the deciding name absent
      {"", "", 0, true, 1, "丁目なし地区", "ちょうもくなしちく"},
      {"一丁目", "ちょうもくなしちく", 1, true, 1, "丁目なし地区", "ちょうもくなしちく"},
      {"丁目なし", "", 0, true, 0, "丁目なし", ""},
  };
  for (const auto& c : cases) {
    char kanji[64] = "", kana[64] = "";
    if (c.kanji) std::strcpy(kanji, c.kanji);
    if (c.kana) std::strcpy(kana, c.kana);
    char* k1 = c.kanji ? kanji : nullptr;
    char* k2 = c.kana ? kana : nullptr;
    const std::string what =
        Show(c.kanji ? c.kanji : "null") + "/" + Show(c.kana ? c.kana : "null");
    EXPECT_EQ(c.chome ? NormalizeNoChomePair(k1, k2, c.kanaSwitch, 64)
                      : NormalizeNoOazaPair(k1, k2, c.kanaSwitch, 64),
              c.result)
        << what;
    EXPECT_STREQ(kanji, c.kanjiAfter ? c.kanjiAfter : "") << what;
    EXPECT_STREQ(kana, c.kanaAfter ? c.kanaAfter : "") << what;
  }
  // おおあざなしちく needs 17 bytes: with 16 both stay as they are.
  char kanji[32] = "", kana[32] = "";
  EXPECT_EQ(NormalizeNoOazaPair(kanji, kana, 0, 16), 0);
  EXPECT_STREQ(kana, "");
}
