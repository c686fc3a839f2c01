// The oaza name table of a municipality made from its rows (MadeOazaTable):
// the index entries come a run at a time and each row's record is read
// once for its fields. The same table comes through the database's image
// and through a copy of the file's bytes; a row that does not read,
// wherever it lies in the list (the first, the last of a run of entries,
// the first of the next, the last), leaves the table incomplete, and the
// level then matches as the plain scan of every row does.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "matching/name_candidates.h"
#include "name_level_fixture.h"

namespace {

using matchtest::DataSet;
using matchtest::Options;
using matchtest::Outcome;
using matchtest::Row;
using matchtest::TableRows;
using testutil::Show;
using testutil::TempDir;

constexpr int kRows = 150;  // oaza of the large municipality: three runs of entries

// Names of two kanji, each its own; every seventh written with a leading
// 大字, every eleventh with a reading that differs from the others'.
std::string NameOf(int n) {
  const char* const first[] = {"北", "南", "本", "新", "中", "川", "山", "田",
                               "原", "野", "石", "森", "松", "竹", "梅"};
  const char* const second[] = {"沢", "島", "岡", "谷", "浦"};
  const int i = n % 15, j = (n / 15) % 5, k = n / 75;
  return std::string(first[i]) + second[j] + (k == 0 ? "" : "園");
}

std::vector<TableRows> Tables() {
  std::vector<Row> oaza;
  for (int n = 0; n < kRows; ++n) {
    char code[16];
    std::snprintf(code, sizeof code, "13501%03d000", n + 1);
    const std::string name = NameOf(n);
    const std::string written = n % 7 == 0 ? "大字" + name : name;
    oaza.push_back({{"地名コード", code},
                    {"グループコード", std::string(code, 7)},
                    {"大字代表点フラグ", "1"},
                    {"大字通称名", written},
                    {"正規大字通称名", name},
                    {"かな読み大字通称名", n % 11 == 0 ? "きた" : "みなみ"},
                    {"正規かな読み大字通称名", n % 11 == 0 ? "きた" : "みなみ"},
                    {"制御コード", "0"},
                    {"状態フラグ", "0"},
                    {"座標精度", "2000"}});
  }
  for (int n = 0; n < 3; ++n) {
    char code[16];
    std::snprintf(code, sizeof code, "13502%03d000", n + 1);
    oaza.push_back({{"地名コード", code},
                    {"グループコード", std::string(code, 7)},
                    {"大字代表点フラグ", "1"},
                    {"大字通称名", NameOf(n)},
                    {"正規大字通称名", NameOf(n)},
                    {"制御コード", "0"},
                    {"状態フラグ", "0"},
                    {"座標精度", "2000"}});
  }
  return {
      {"TC_Todoufuken",
       {{{"都道府県コード", "13"},
         {"正規都道府県名", "東京都"},
         {"正規かな読み都道府県名", "とうきようと"}}}},
      {"TC_Shikutyoson",
       {{{"行政JISコード", "13501"},
         {"正規市区町村名", "北市"},
         {"正規かな読み市区町村名", "きたし"},
         {"状態フラグ", "0"}},
        {{"行政JISコード", "13502"},
         {"正規市区町村名", "東町"},
         {"正規かな読み市区町村名", "ひがしまち"},
         {"状態フラグ", "0"}}}},
      {"TC_Oaza", std::move(oaza)},
  };
}

// The oaza lists of the two municipalities: child base and count.
struct Lists {
  TixEntry large, small;
  uint32_t oazaLevel = 0;  // where the index's oaza level begins
};

Lists ListsOf(DataSet& set) {
  Lists lists;
  char msg[kMessageSize] = "";
  TixEntry prefecture;
  EXPECT_EQ(set.engine().ReadPrefectureEntry(1, &prefecture, msg), 1) << Show(msg);
  EXPECT_EQ(set.engine().ReadCityEntry(prefecture.childBase, 1, &lists.large, msg), 1);
  EXPECT_EQ(set.engine().ReadCityEntry(prefecture.childBase, 2, &lists.small, msg), 1);
  TixHeader header;
  EXPECT_EQ(set.engine().GetHeader(&header), 1);
  lists.oazaLevel = header.levels[kTixOaza].offset;
  return lists;
}

void Put32(std::string* bytes, uint32_t at, uint32_t value) {
  for (int k = 0; k < 4; ++k) (*bytes)[at + k] = static_cast<char>(value >> (8 * k));
}

uint32_t Get32(const std::string& bytes, uint32_t at) {
  uint32_t v = 0;
  for (int k = 3; k >= 0; --k) v = (v << 8) | static_cast<unsigned char>(bytes[at + k]);
  return v;
}

// The texts matched in the large municipality: rows at the ends of the
// runs and others, in kanji and readings, with and without a number.
std::vector<std::pair<std::string, int>> Inputs() {
  std::vector<std::pair<std::string, int>> inputs;
  for (const int n : {0, 6, 7, 63, 64, 65, 100, 128, 149}) {
    inputs.push_back({"東京都北市" + NameOf(n) + "１－２", 0});
    inputs.push_back({"東京都北市大字" + NameOf(n), 0});
  }
  inputs.push_back({"東京都北市沢", 0});
  inputs.push_back({"東京都東町" + NameOf(1), 0});
  inputs.push_back({"とうきょうときたしきた１", 1});
  inputs.push_back({"とうきょうときたしみなみ", 1});
  return inputs;
}

std::string Shown(const Outcome& o) {
  return std::to_string(o.result) + "/" + std::to_string(o.level) + "/" + std::to_string(o.parent) +
         "/" + std::to_string(o.entry) + "/" + Show(o.rest) + "/" + Show(o.message);
}

// Every input matched through the tables and through the plain scan.
void ExpectTablesMatchLikeTheScan(DataSet& set, const std::string& what) {
  for (const auto& [input, kana] : Inputs()) {
    Options options;
    options.kana = kana;
    const Outcome tables = set.Match(input, options, nullptr, nullptr, nullptr);
    Outcome scan;
    {
      const CNameCandidateSourceScope every(&EveryRowSource());
      scan = set.Match(input, options, nullptr, nullptr, nullptr);
    }
    EXPECT_EQ(Shown(tables), Shown(scan)) << what << ": " << Show(input);
  }
}

}  // namespace

TEST(OazaTableRows, SameTableThroughTheImageAndThroughACopyOfTheBytes) {
  TempDir dir;
  const std::string folder = dir.path() + "\\";
  ASSERT_TRUE(matchtest::WriteHandMadeDataSet(folder, 13, Tables()));
  DataSet set;
  ASSERT_TRUE(set.Open(folder, 13, 1));
  const Lists lists = ListsOf(set);
  ASSERT_EQ(lists.large.childCount, kRows);

  CTableDatabase copy;
  ASSERT_EQ(copy.OpenForUpdate((folder + "QVAD13.NDB").c_str()), 1);
  CAdrsEngine engine;
  ASSERT_EQ(engine.Open((folder + "QVAD13.TIX").c_str(), 1), 1);
  engine.SetDatabase(&copy);
  for (const int kana : {0, 1}) {
    for (const TixEntry& list : {lists.large, lists.small}) {
      const auto viewed = set.engine().MadeOazaTable(list.childBase, list.childCount, kana);
      const auto read = engine.MadeOazaTable(list.childBase, list.childCount, kana);
      ASSERT_TRUE(viewed && read);
      EXPECT_TRUE(viewed->complete);
      EXPECT_TRUE(read->complete);
      EXPECT_EQ(viewed->Keyed(), !kana);
      EXPECT_TRUE(viewed->Image() == read->Image()) << "kana " << kana;
    }
  }
  // Every row is found through the tables: each name once in kanji.
  int found = 0;
  for (int n = 0; n < kRows; ++n) {
    const Outcome o = set.Match("東京都北市" + NameOf(n), Options(), nullptr, nullptr, nullptr);
    found += o.result == 1 && o.level == 3 && o.entry == n + 1;
  }
  EXPECT_EQ(found, kRows);
  ExpectTablesMatchLikeTheScan(set, "intact");
}

TEST(OazaTableRows, RowThatDoesNotReadLeavesTheTableIncomplete) {
  TempDir dir;
  const std::string folder = dir.path() + "\\";
  ASSERT_TRUE(matchtest::WriteHandMadeDataSet(folder, 13, Tables()));
  const std::string ndb = testutil::ReadBytes(dir.path() + "/QVAD13.NDB");
  const std::string tix = testutil::ReadBytes(dir.path() + "/QVAD13.TIX");
  DataSet set;
  ASSERT_TRUE(set.Open(folder, 13, 1));
  const Lists lists = ListsOf(set);
  ASSERT_EQ(lists.large.childCount, kRows);
  uint32_t writtenAt = 0, nameAt = 0, codeAt = 0, controlAt = 0, kanaAt = 0;
  CTableDatabase& db = set.db();
  ASSERT_EQ(db.FindField("TC_Oaza", "大字通称名", nullptr, nullptr, &writtenAt, nullptr), 1);
  ASSERT_EQ(db.FindField("TC_Oaza", "正規大字通称名", nullptr, nullptr, &nameAt, nullptr), 1);
  ASSERT_EQ(db.FindField("TC_Oaza", "地名コード", nullptr, nullptr, &codeAt, nullptr), 1);
  ASSERT_EQ(db.FindField("TC_Oaza", "制御コード", nullptr, nullptr, &controlAt, nullptr), 1);
  ASSERT_EQ(db.FindField("TC_Oaza", "正規かな読み大字通称名", nullptr, nullptr, &kanaAt, nullptr),
            1);
  // The control value lies after every text the table reads.
  ASSERT_GT(controlAt, std::max({writtenAt, nameAt, codeAt, kanaAt}));
  const auto size = static_cast<uint32_t>(ndb.size());

  struct Damage {
    const char* what;
    bool kanaToo;  // the readings' table fails too
  };
  const Damage damages[] = {
      {"written name past the file's end", false},
      {"normalised name's length cut by the file's end", false},
      {"place code far out", true},
      {"record without data", true},
      {"control value outside the record", true},
      {"entry's record past the database's end", true},
      {"index cut inside the entry", true},
  };
  int compared = 0;
  for (const int row : {1, 64, 65, 128, 129, kRows}) {
    char msg[kMessageSize] = "";
    TixEntry e;
    ASSERT_EQ(
        set.engine().ReadOazaEntry(lists.large.childBase, static_cast<uint16_t>(row), &e, msg), 1);
    const uint32_t data = Get32(ndb, e.record + 12);
    const uint32_t entryAt = lists.oazaLevel + lists.large.childBase + (row - 1) * kTixEntrySize;
    for (const Damage& damage : damages) {
      const std::string what = std::string(damage.what) + " in row " + std::to_string(row);
      SCOPED_TRACE(what);
      std::string badNdb = ndb, badTix = tix;
      const std::string name = damage.what;
      if (name.rfind("written", 0) == 0) Put32(&badNdb, data + writtenAt - 1, size + 100);
      if (name.rfind("normalised", 0) == 0) Put32(&badNdb, data + nameAt - 1, size - 1);
      if (name.rfind("place", 0) == 0) Put32(&badNdb, data + codeAt - 1, 0xFFFFFFF0u);
      if (name.rfind("record", 0) == 0) Put32(&badNdb, e.record + 12, 0);
      if (name.rfind("control", 0) == 0) Put32(&badNdb, e.record + 16, controlAt + 2);
      if (name.rfind("entry", 0) == 0) Put32(&badTix, entryAt, size + 20);
      if (name.rfind("index", 0) == 0) badTix.resize(entryAt + 7);
      ASSERT_TRUE(badNdb != ndb || badTix != tix);
      TempDir bad;
      ASSERT_TRUE(testutil::WriteBytes(bad.path() + "/QVAD13.NDB", badNdb));
      ASSERT_TRUE(testutil::WriteBytes(bad.path() + "/QVAD13.TIX", badTix));
      DataSet damaged;
      ASSERT_TRUE(damaged.Open(bad.path() + "\\", 13, 1));
      for (const int kana : {0, 1}) {
        const auto large = damaged.engine().MadeOazaTable(lists.large.childBase, kRows, kana);
        ASSERT_TRUE(large);
        EXPECT_EQ(large->complete, kana == 1 && !damage.kanaToo) << "kana " << kana;
        // The other municipality's rows lie before the large one's entries
        // end and after its records: its table does not read the damage
        // (but an index cut inside the large one's entries ends it too).
        const auto small = damaged.engine().MadeOazaTable(lists.small.childBase, 3, kana);
        ASSERT_TRUE(small);
        EXPECT_EQ(small->complete, name.rfind("index", 0) != 0) << "kana " << kana;
      }
      ExpectTablesMatchLikeTheScan(damaged, what);
      ++compared;
    }
  }
  EXPECT_EQ(compared, 6 * 7);
}

// Texts whose stored bytes hold a NUL (the text read ends there): a
// written name cut to its first character or to nothing, a name cut, and
// both cut alike with other bytes after the NUL. The table made through
// the image (the texts taken where they stand) is the one made through a
// copy of the file's bytes (the texts copied out), and the level matches
// as the plain scan does.
TEST(OazaTableRows, TextsHoldingANulGiveTheTableOfTheTextsRead) {
  TempDir dir;
  const std::string folder = dir.path() + "\\";
  ASSERT_TRUE(matchtest::WriteHandMadeDataSet(folder, 13, Tables()));
  std::string ndb = testutil::ReadBytes(dir.path() + "/QVAD13.NDB");
  uint32_t writtenAt = 0, nameAt = 0;
  Lists lists;
  std::vector<uint32_t> records;
  {
    DataSet set;
    ASSERT_TRUE(set.Open(folder, 13, 1));
    lists = ListsOf(set);
    ASSERT_EQ(set.db().FindField("TC_Oaza", "大字通称名", nullptr, nullptr, &writtenAt, nullptr),
              1);
    ASSERT_EQ(set.db().FindField("TC_Oaza", "正規大字通称名", nullptr, nullptr, &nameAt, nullptr),
              1);
    for (int row = 1; row <= kRows; ++row) {
      char msg[kMessageSize] = "";
      TixEntry e;
      ASSERT_EQ(
          set.engine().ReadOazaEntry(lists.large.childBase, static_cast<uint16_t>(row), &e, msg),
          1);
      records.push_back(e.record);
    }
  }
  // The stored bytes of a row's text (after its two length bytes).
  auto textAt = [&](int row, uint32_t field) {
    const uint32_t data = Get32(ndb, records[static_cast<std::size_t>(row - 1)] + 12);
    return Get32(ndb, data + field - 1) + 2;
  };
  // Each text is stored on its own (a patch of one changes no other).
  ASSERT_NE(textAt(3, writtenAt), textAt(3, nameAt));
  ndb[textAt(3, writtenAt) + 2] = '\0';  // written 本, named 本沢
  ndb[textAt(4, nameAt) + 2] = '\0';     // written 新沢, named 新
  ndb[textAt(5, writtenAt) + 2] = '\0';  // both 中, other bytes after the NUL
  ndb[textAt(5, nameAt) + 2] = '\0';
  ndb[textAt(5, nameAt) + 3] = 'x';
  ndb[textAt(6, writtenAt)] = '\0';  // written empty, named 川沢
  ndb[textAt(7, writtenAt)] = '\0';  // both empty
  ndb[textAt(7, nameAt)] = '\0';
  TempDir patched;
  ASSERT_TRUE(testutil::WriteBytes(patched.path() + "/QVAD13.NDB", ndb));
  ASSERT_TRUE(testutil::WriteBytes(patched.path() + "/QVAD13.TIX",
                                   testutil::ReadBytes(dir.path() + "/QVAD13.TIX")));
  const std::string patchedFolder = patched.path() + "\\";
  DataSet set;
  ASSERT_TRUE(set.Open(patchedFolder, 13, 1));
  CTableDatabase copy;
  ASSERT_EQ(copy.OpenForUpdate((patchedFolder + "QVAD13.NDB").c_str()), 1);
  CAdrsEngine engine;
  ASSERT_EQ(engine.Open((patchedFolder + "QVAD13.TIX").c_str(), 1), 1);
  engine.SetDatabase(&copy);
  for (const int kana : {0, 1}) {
    const auto viewed = set.engine().MadeOazaTable(lists.large.childBase, kRows, kana);
    const auto read = engine.MadeOazaTable(lists.large.childBase, kRows, kana);
    ASSERT_TRUE(viewed && read);
    EXPECT_TRUE(viewed->complete);
    EXPECT_TRUE(read->complete);
    EXPECT_TRUE(viewed->Image() == read->Image()) << "kana " << kana;
  }
  // The cut names are taken as cut.
  const auto table = set.engine().MadeOazaTable(lists.large.childBase, kRows, 0);
  ASSERT_TRUE(table && table->Keyed());
  auto rowsOf = [&](std::string_view key) {
    std::vector<uint16_t> rows;
    for (std::size_t i = 0; i < table->KeyCount(); ++i) {
      if (table->KeyAt(i) == key) rows.push_back(table->KeyRowAt(i));
    }
    return rows;
  };
  EXPECT_EQ(rowsOf("本"), std::vector<uint16_t>({3}));
  EXPECT_EQ(rowsOf("本沢"), std::vector<uint16_t>({3}));
  EXPECT_EQ(rowsOf("新"), std::vector<uint16_t>({4}));
  EXPECT_EQ(rowsOf("新沢"), std::vector<uint16_t>({4}));
  EXPECT_EQ(rowsOf("中"), std::vector<uint16_t>({5}));
  EXPECT_EQ(rowsOf("中沢"), std::vector<uint16_t>({}));
  EXPECT_EQ(rowsOf("川沢"), std::vector<uint16_t>({6}));
  EXPECT_EQ(rowsOf("山沢"), std::vector<uint16_t>({}));
  for (const char* input :
       {"東京都北市本沢", "東京都北市本", "東京都北市新沢", "東京都北市新", "東京都北市中沢",
        "東京都北市中", "東京都北市川沢", "東京都北市山沢", "東京都北市原沢"}) {
    const Outcome tables = set.Match(input, Options(), nullptr, nullptr, nullptr);
    Outcome scan;
    {
      const CNameCandidateSourceScope every(&EveryRowSource());
      scan = set.Match(input, Options(), nullptr, nullptr, nullptr);
    }
    EXPECT_EQ(Shown(tables), Shown(scan)) << Show(input);
  }
}

// The municipality rows are read once for their two names: a row whose
// name does not read (its text past the file's end, its record without
// data) keeps no rows and no table for that switch (the level then reads
// each row as the plain scan does); intact rows give both tables.
TEST(OazaTableRows, MunicipalityRowThatDoesNotReadKeepsNoRows) {
  TempDir dir;
  const std::string folder = dir.path() + "\\";
  ASSERT_TRUE(matchtest::WriteHandMadeDataSet(folder, 13, Tables()));
  const std::string ndb = testutil::ReadBytes(dir.path() + "/QVAD13.NDB");
  const auto size = static_cast<uint32_t>(ndb.size());
  TixEntry prefecture;
  TixEntry second;
  uint32_t nameAt = 0;
  {
    DataSet set;
    ASSERT_TRUE(set.Open(folder, 13, 1));
    char msg[kMessageSize] = "";
    ASSERT_EQ(set.engine().ReadPrefectureEntry(1, &prefecture, msg), 1) << Show(msg);
    ASSERT_EQ(set.engine().ReadCityEntry(prefecture.childBase, 2, &second, msg), 1);
    ASSERT_EQ(
        set.db().FindField("TC_Shikutyoson", "正規市区町村名", nullptr, nullptr, &nameAt, nullptr),
        1);
    for (const int kana : {0, 1}) {
      const auto table = set.engine().MadeCityTable(prefecture.childBase, 2, kana);
      ASSERT_TRUE(table);
      EXPECT_TRUE(table->complete);
      EXPECT_FALSE(table->Heads().empty() && table->Pairs().empty());
    }
  }
  const uint32_t data = Get32(ndb, second.record + 12);
  for (const bool noData : {false, true}) {
    SCOPED_TRACE(noData ? "record without data" : "name past the file's end");
    std::string bad = ndb;
    if (noData)
      Put32(&bad, second.record + 12, 0);
    else
      Put32(&bad, data + nameAt - 1, size + 100);
    TempDir damagedDir;
    ASSERT_TRUE(testutil::WriteBytes(damagedDir.path() + "/QVAD13.NDB", bad));
    ASSERT_TRUE(testutil::WriteBytes(damagedDir.path() + "/QVAD13.TIX",
                                     testutil::ReadBytes(dir.path() + "/QVAD13.TIX")));
    DataSet damaged;
    ASSERT_TRUE(damaged.Open(damagedDir.path() + "\\", 13, 1));
    EXPECT_FALSE(damaged.engine().MadeCityTable(prefecture.childBase, 2, 0));
    EXPECT_EQ(damaged.engine().MadeCityTable(prefecture.childBase, 2, 1) != nullptr, !noData);
    ExpectTablesMatchLikeTheScan(damaged, noData ? "no data" : "name past the end");
  }
}
