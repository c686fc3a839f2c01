// Child lookups of the address engine over two prefectures written by the
// table database, the index builder (both kinds) and the table sorter.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/message.h"
#include "support/test_util.h"
#include "tabledb/adrs_engine.h"
#include "tabledb/address_dataset.h"
#include "tabledb/table_database.h"
#include "tools/tixbuild/tix_writer.h"

using addrtest::Dataset;
using addrtest::Expect;
using addrtest::Records;
using testutil::Show;
using testutil::TempDir;

namespace {

std::string NotFound(const std::string& database, const char* table, const char* field,
                     const std::string& value) {
  char msg[4096];
  std::snprintf(msg, sizeof msg,
                "データベースに値が見つかりません！[DATABASE:%s][TABLE:%s][FIELD:%s][VALUE:%s]",
                database.c_str(), table, field, value.c_str());
  return msg;
}

// The first of the children (1-based) whose text equals the child's own:
// where a lookup by that text stops.
template <typename Text>
uint16_t FirstWithSameText(const std::vector<Expect>& children, std::size_t i, Text text) {
  for (std::size_t j = 0; j <= i; ++j) {
    if (text(children[j].row) == text(children[i].row)) return static_cast<uint16_t>(j + 1);
  }
  return 0;
}

struct Opened {
  CTableDatabase db;
  CAdrsEngine engine;
  std::string ndb;
};

class EngineFind : public ::testing::TestWithParam<int> {
 protected:
  const char* titles_[2] = {"QVAD13", "QVAD27"};
  const Dataset data_[2] = {addrtest::Tokyo(), addrtest::Osaka()};
  const Expect trees_[2] = {addrtest::TokyoTree(), addrtest::OsakaTree()};
  Records records_[2];
  TempDir dir_;

  void SetUp() override {
    for (int i = 0; i < 2; ++i) {
      std::string error;
      ASSERT_TRUE(addrtest::BuildPrefectureFiles(dir_.Sys(""), titles_[i], data_[i], GetParam(),
                                                 &records_[i], &error))
          << error;
    }
    ASSERT_EQ(ProbeIndexFiles(dir_.path().c_str()), GetParam());
  }

  void Open(int i, Opened* o) {
    o->ndb = dir_.Sys(std::string(titles_[i]) + ".NDB");
    ASSERT_EQ(o->db.Open(o->ndb.c_str()), 1);
    ASSERT_EQ(o->engine.Open(dir_.Sys(std::string(titles_[i]) + ".TIX").c_str(), GetParam()), 1);
    o->engine.SetDatabase(&o->db);
  }

  // Every child of the tree found by each of its names and codes, under its
  // parent's child base and count as the index gives them.
  void CheckEveryChild(int p) {
    Opened o;
    Open(p, &o);
    const Dataset& d = data_[p];
    char msg[kMessageSize] = "";
    uint16_t n = 0;
    const auto& pref = d.prefectures[trees_[p].row];
    ASSERT_EQ(o.engine.FindPrefectureByName(pref.name.c_str(), 0, &n, msg), 1) << Show(msg);
    EXPECT_EQ(n, 1);
    ASSERT_EQ(o.engine.FindPrefectureByName(pref.kana.c_str(), 1, &n, msg), 1) << Show(msg);
    EXPECT_EQ(n, 1);
    ASSERT_EQ(o.engine.FindPrefectureByCode(pref.code.c_str(), &n, msg), 1) << Show(msg);
    EXPECT_EQ(n, 1);
    TixEntry prefEntry;
    ASSERT_EQ(o.engine.ReadPrefectureEntry(n, &prefEntry, msg), 1);

    const std::vector<Expect>& cities = trees_[p].children;
    for (std::size_t c = 0; c < cities.size(); ++c) {
      const auto& city = d.cities[cities[c].row];
      SCOPED_TRACE(Show(city.county + city.name));
      const uint16_t want = static_cast<uint16_t>(c + 1);
      const uint32_t base = prefEntry.childBase;
      const uint16_t count = prefEntry.childCount;
      ASSERT_EQ(o.engine.FindCityByName((city.county + city.name).c_str(), 0, base, count, &n, msg),
                1)
          << Show(msg);
      EXPECT_EQ(n, want);
      ASSERT_EQ(o.engine.FindCityByName((city.countyKana + city.kana).c_str(), 1, base, count, &n,
                                        msg),
                1)
          << Show(msg);
      EXPECT_EQ(n, want);
      ASSERT_EQ(o.engine.FindCityByCode(city.code.c_str(), base, count, &n, msg), 1) << Show(msg);
      EXPECT_EQ(n, want);
      TixEntry cityEntry;
      ASSERT_EQ(o.engine.ReadCityEntry(base, want, &cityEntry, msg), 1);
      CheckOaza(o, d, cities[c].children, cityEntry);
    }
  }

  void CheckOaza(Opened& o, const Dataset& d, const std::vector<Expect>& oaza,
                 const TixEntry& parent) {
    char msg[kMessageSize] = "";
    uint16_t n = 0;
    const uint32_t base = parent.childBase;
    const uint16_t count = parent.childCount;
    for (std::size_t a = 0; a < oaza.size(); ++a) {
      const auto& row = d.oaza[oaza[a].row];
      SCOPED_TRACE(Show(row.code + " " + row.oaza));
      const uint16_t self = static_cast<uint16_t>(a + 1);
      const uint16_t byName =
          FirstWithSameText(oaza, a, [&d](int r) { return d.oaza[r].oaza; });
      const uint16_t byKana =
          FirstWithSameText(oaza, a, [&d](int r) { return d.oaza[r].oazaKana; });
      const uint16_t byGroup =
          FirstWithSameText(oaza, a, [&d](int r) { return d.oaza[r].group; });
      ASSERT_EQ(o.engine.FindOazaByName(row.oaza.c_str(), 0, base, count, &n, msg), 1)
          << Show(msg);
      EXPECT_EQ(n, byName);
      ASSERT_EQ(o.engine.FindOazaByName(row.oazaKana.c_str(), 1, base, count, &n, msg), 1)
          << Show(msg);
      EXPECT_EQ(n, byKana);
      n = self;
      ASSERT_EQ(o.engine.FindNextOazaByName(row.oaza.c_str(), 0, base, count, &n, msg), 1);
      EXPECT_EQ(n, self);
      ASSERT_EQ(o.engine.FindOazaByPlaceCode(row.code.c_str(), base, count, &n, msg), 1)
          << Show(msg);
      EXPECT_EQ(n, self);
      ASSERT_EQ(o.engine.FindOazaByGroupCode(row.group.c_str(), base, count, &n, msg), 1)
          << Show(msg);
      EXPECT_EQ(n, byGroup);
      n = self;
      ASSERT_EQ(o.engine.FindNextOazaByGroupCode(row.group.c_str(), base, count, &n, msg), 1);
      EXPECT_EQ(n, self);

      TixEntry oazaEntry;
      ASSERT_EQ(o.engine.ReadOazaEntry(base, self, &oazaEntry, msg), 1);
      const std::vector<Expect>& chome = oaza[a].children;
      for (std::size_t k = 0; k < chome.size(); ++k) {
        const auto& c = d.oaza[chome[k].row];
        SCOPED_TRACE(Show(c.code + " " + c.chome));
        const uint16_t want = static_cast<uint16_t>(k + 1);
        ASSERT_EQ(o.engine.FindChomeByName(c.chome.c_str(), 0, oazaEntry.childBase,
                                           oazaEntry.childCount, &n, msg),
                  1)
            << Show(msg);
        EXPECT_EQ(n, FirstWithSameText(chome, k, [&d](int r) { return d.oaza[r].chome; }));
        ASSERT_EQ(o.engine.FindChomeByName(c.chomeKana.c_str(), 1, oazaEntry.childBase,
                                           oazaEntry.childCount, &n, msg),
                  1)
            << Show(msg);
        EXPECT_EQ(n, FirstWithSameText(chome, k, [&d](int r) { return d.oaza[r].chomeKana; }));
        ASSERT_EQ(o.engine.FindChomeByPlaceCode(c.code.c_str(), oazaEntry.childBase,
                                                oazaEntry.childCount, &n, msg),
                  1)
            << Show(msg);
        EXPECT_EQ(n, want);
      }
    }
  }
};

}  // namespace

TEST_P(EngineFind, EveryChildIsFoundByItsNamesAndCodes) {
  for (int p = 0; p < 2; ++p) {
    SCOPED_TRACE(titles_[p]);
    CheckEveryChild(p);
  }
}

// Osaka, 三島郡島本町: （大字なし） (with 桜井一丁目 and a placeholder chome),
// 山崎 (一丁目), 山崎 (placeholder chome), all worked out from the rows.
TEST_P(EngineFind, PlaceholdersAndRepeatedNames) {
  Opened o;
  Open(1, &o);
  char msg[kMessageSize] = "";
  uint16_t n = 0;
  TixEntry pref, city, noOaza, tsukuda;
  ASSERT_EQ(o.engine.ReadPrefectureEntry(1, &pref, msg), 1);
  ASSERT_EQ(o.engine.FindCityByName("三島郡島本町", 0, pref.childBase, pref.childCount, &n, msg), 1);
  EXPECT_EQ(n, 3);
  ASSERT_EQ(o.engine.ReadCityEntry(pref.childBase, n, &city, msg), 1);
  ASSERT_EQ(city.childCount, 3);

  // Every placeholder form of the oaza finds the （大字なし） row.
  const struct {
    const char* name;
    int32_t kana;
  } placeholders[] = {{"（大字なし）", 0}, {"", 0},  {"大字なし地区", 0}, {"大字なし", 0},
                      {"おおあざなしちく", 1}, {"", 1}, {"（おおあざなし）", 1}};
  for (const auto& c : placeholders) {
    n = 0;
    EXPECT_EQ(o.engine.FindOazaByName(c.name, c.kana, city.childBase, city.childCount, &n, msg), 1)
        << Show(c.name) << Show(msg);
    EXPECT_EQ(n, 1) << Show(c.name);
  }
  // A reading does not find a placeholder in kanji mode and the other way.
  EXPECT_EQ(o.engine.FindOazaByName("おおあざなしちく", 0, city.childBase, city.childCount, &n, msg),
            0);
  EXPECT_EQ(msg, NotFound(o.ndb, "TC_Oaza", "大字通称名", "おおあざなしちく")) << Show(msg);

  // Two 山崎 of one group: the first, then the next from the entry after.
  ASSERT_EQ(o.engine.FindOazaByName("山崎", 0, city.childBase, city.childCount, &n, msg), 1);
  EXPECT_EQ(n, 2);
  n = 3;
  ASSERT_EQ(o.engine.FindNextOazaByName("山崎", 0, city.childBase, city.childCount, &n, msg), 1);
  EXPECT_EQ(n, 3);
  n = 4;
  EXPECT_EQ(o.engine.FindNextOazaByName("山崎", 0, city.childBase, city.childCount, &n, msg), 0);
  EXPECT_EQ(msg, NotFound(o.ndb, "TC_Oaza", "大字通称名", "山崎")) << Show(msg);
  EXPECT_EQ(n, 4);
  ASSERT_EQ(o.engine.FindOazaByGroupCode("2730101", city.childBase, city.childCount, &n, msg), 1);
  EXPECT_EQ(n, 2);
  n = 3;
  ASSERT_EQ(o.engine.FindNextOazaByGroupCode("2730101", city.childBase, city.childCount, &n, msg),
            1);
  EXPECT_EQ(n, 3);
  n = 4;
  EXPECT_EQ(o.engine.FindNextOazaByGroupCode("2730101", city.childBase, city.childCount, &n, msg),
            0);
  EXPECT_EQ(msg, NotFound(o.ndb, "TC_Oaza", "グループコード", "2730101")) << Show(msg);

  // Under （大字なし）: 桜井一丁目 first, the placeholder chome second.
  ASSERT_EQ(o.engine.ReadOazaEntry(city.childBase, 1, &noOaza, msg), 1);
  ASSERT_EQ(noOaza.childCount, 2);
  const struct {
    const char* name;
    int32_t kana;
    uint16_t entry;
  } chome[] = {{"桜井一丁目", 0, 1}, {"", 0, 2}, {"丁目なし地区", 0, 2},
               {"さくらいいっちょうめ", 1, 1}, {"", 1, 2}, {"ちょうもくなしちく", 1, 2}};
  for (const auto& c : chome) {
    n = 0;
    EXPECT_EQ(o.engine.FindChomeByName(c.name, c.kana, noOaza.childBase, noOaza.childCount, &n,
                                       msg),
              1)
        << Show(c.name) << Show(msg);
    EXPECT_EQ(n, c.entry) << Show(c.name);
  }
  // 丁目なし alone is no placeholder.
  EXPECT_EQ(o.engine.FindChomeByName("丁目なし", 0, noOaza.childBase, noOaza.childCount, &n, msg),
            0);
  EXPECT_EQ(msg, NotFound(o.ndb, "TC_Oaza", "字丁目名", "丁目なし")) << Show(msg);
  // The placeholder row by its code: the oaza's own code, aza 000.
  ASSERT_EQ(o.engine.FindChomeByPlaceCode("27301000000", noOaza.childBase, noOaza.childCount, &n,
                                          msg),
            1);
  EXPECT_EQ(n, 2);

  // Tokyo's 佃: the empty chome is its only child; 丸の内 has none.
  Opened t;
  Open(0, &t);
  TixEntry tokyo, chuo, marunouchi;
  ASSERT_EQ(t.engine.ReadPrefectureEntry(1, &tokyo, msg), 1);
  ASSERT_EQ(t.engine.ReadCityEntry(tokyo.childBase, 2, &chuo, msg), 1);
  ASSERT_EQ(t.engine.FindOazaByName("佃", 0, chuo.childBase, chuo.childCount, &n, msg), 1);
  ASSERT_EQ(t.engine.ReadOazaEntry(chuo.childBase, n, &tsukuda, msg), 1);
  ASSERT_EQ(t.engine.FindChomeByName("", 0, tsukuda.childBase, tsukuda.childCount, &n, msg), 1);
  EXPECT_EQ(n, 1);
  TixEntry chiyoda;
  ASSERT_EQ(t.engine.ReadCityEntry(tokyo.childBase, 1, &chiyoda, msg), 1);
  ASSERT_EQ(t.engine.ReadOazaEntry(chiyoda.childBase, 1, &marunouchi, msg), 1);
  EXPECT_EQ(t.engine.FindChomeByName("", 0, marunouchi.childBase, marunouchi.childCount, &n, msg),
            0);
  EXPECT_EQ(msg, NotFound(t.ndb, "TC_Oaza", "字丁目名", "")) << Show(msg);
}

TEST_P(EngineFind, NotFoundMessagesNameTheTableFieldAndValue) {
  Opened o;
  Open(0, &o);
  char msg[kMessageSize] = "";
  uint16_t n = 77;
  TixEntry pref, chiyoda, minato, marunouchi;
  ASSERT_EQ(o.engine.ReadPrefectureEntry(1, &pref, msg), 1);
  ASSERT_EQ(o.engine.ReadCityEntry(pref.childBase, 1, &chiyoda, msg), 1);
  ASSERT_EQ(o.engine.ReadCityEntry(pref.childBase, 3, &minato, msg), 1);
  ASSERT_EQ(minato.childCount, 0);
  ASSERT_EQ(o.engine.ReadOazaEntry(chiyoda.childBase, 1, &marunouchi, msg), 1);
  const uint32_t cb = pref.childBase, ob = chiyoda.childBase, kb = marunouchi.childBase;
  const uint16_t cc = pref.childCount, oc = chiyoda.childCount, kc = marunouchi.childCount;

  auto check = [&](const char* what, int result, const char* table, const char* field,
                   const char* value) {
    EXPECT_EQ(result, 0) << what;
    EXPECT_EQ(msg, NotFound(o.ndb, table, field, value)) << what << ": " << Show(msg);
  };
  check("prefecture name", o.engine.FindPrefectureByName("大阪府", 0, &n, msg), "TC_Todoufuken",
        "都道府県名", "大阪府");
  check("prefecture name as a reading", o.engine.FindPrefectureByName("東京都", 1, &n, msg),
        "TC_Todoufuken", "都道府県名", "東京都");
  check("one digit of the code", o.engine.FindPrefectureByCode("1", &n, msg), "TC_Todoufuken",
        "都道府県コード", "1");
  check("placeholder where none is", o.engine.FindOazaByName("", 0, ob, oc, &n, msg), "TC_Oaza",
        "大字通称名", "");
  check("oaza of another city", o.engine.FindOazaByName("銀座", 0, ob, oc, &n, msg), "TC_Oaza",
        "大字通称名", "銀座");
  check("city", o.engine.FindCityByName("千代田", 0, cb, cc, &n, msg), "TC_Shikutyoson",
        "市区町村名", "千代田");
  check("city code", o.engine.FindCityByCode("13104", cb, cc, &n, msg), "TC_Shikutyoson",
        "行政JISコード", "13104");
  check("no oaza under 港区", o.engine.FindOazaByName("芝", 0, minato.childBase, 0, &n, msg),
        "TC_Oaza", "大字通称名", "芝");
  check("oaza code", o.engine.FindOazaByPlaceCode("13101003", ob, oc, &n, msg), "TC_Oaza",
        "地名コード", "13101003");
  check("group code", o.engine.FindOazaByGroupCode("1310201", ob, oc, &n, msg), "TC_Oaza",
        "グループコード", "1310201");
  check("chome name", o.engine.FindChomeByName("三丁目", 0, kb, kc, &n, msg), "TC_Oaza",
        "字丁目名", "三丁目");
  check("chome code", o.engine.FindChomeByPlaceCode("13101001003", kb, kc, &n, msg), "TC_Oaza",
        "地名コード", "13101001003");
  EXPECT_EQ(n, 77) << "a failed lookup leaves the entry number";
  check("prefecture code", o.engine.FindPrefectureByCode("27", &n, msg), "TC_Todoufuken",
        "都道府県コード", "27");
  uint16_t from = 3;
  check("next above the count", o.engine.FindNextOazaByName("丸の内", 0, ob, oc, &from, msg),
        "TC_Oaza", "大字通称名", "丸の内");
  // The codes compare their first 2, 5, 8 and 11 bytes.
  ASSERT_EQ(o.engine.FindPrefectureByCode("13101001001", &n, msg), 1);
  ASSERT_EQ(o.engine.FindCityByCode("13101001001", cb, cc, &n, msg), 1);
  EXPECT_EQ(n, 1);
  ASSERT_EQ(o.engine.FindOazaByPlaceCode("13101002999", ob, oc, &n, msg), 1);
  EXPECT_EQ(n, 2);
  ASSERT_EQ(o.engine.FindChomeByPlaceCode("13101001002X", kb, kc, &n, msg), 1);
  EXPECT_EQ(n, 2);
}

INSTANTIATE_TEST_SUITE_P(BothIndexKinds, EngineFind, ::testing::Values(1, 2));

TEST(AdrsEngineFind, LookupsCheckReadinessAndPassReadFailuresOn) {
  TempDir dir;
  const std::string ndb = dir.Sys("QVAD13.NDB");
  const std::string tix = dir.Sys("QVAD13.TIX");
  // A prefecture table without its name fields, and an index with the one
  // prefecture whose header counts two.
  uint32_t record = 0;
  {
    CTableDatabase db;
    ASSERT_EQ(db.Create(ndb.c_str()), 1);
    ASSERT_NE(db.CreateTable("TC_Todoufuken"), 0u);
    ASSERT_NE(db.AddField("TC_Todoufuken", "都道府県コード", kTdbString, 0, nullptr, nullptr, 0, 0),
              0u);
    ASSERT_EQ(db.UpdateMaxRecordSize(), 1);
    record = db.AddRecord("TC_Todoufuken");
    ASSERT_NE(record, 0u);
    ASSERT_EQ(db.SetString(record, "TC_Todoufuken", "都道府県コード", "13"), 1);
  }
  std::string image, error;
  ASSERT_TRUE(tixbuild::BuildIndexImage({tixbuild::Node{record, {}}}, 1, &image, &error)) << error;
  image[10] = 2;  // the prefecture count (little-endian at offset 10)
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("QVAD13.TIX"), image));

  CAdrsEngine engine;
  CTableDatabase db;
  char msg[kMessageSize] = "";
  uint16_t n = 0;
  EXPECT_EQ(engine.FindPrefectureByCode("13", &n, msg), 0);
  EXPECT_STREQ(msg, "インデックスファイルがオープンされていません！");
  ASSERT_EQ(engine.Open(tix.c_str(), 1), 1);
  EXPECT_EQ(engine.FindChomeByName("一丁目", 0, 0, 1, &n, msg), 0);
  EXPECT_STREQ(msg, "データベースがセットされていません！");
  ASSERT_EQ(db.Open(ndb.c_str()), 1);
  engine.SetDatabase(&db);

  ASSERT_EQ(engine.FindPrefectureByCode("13", &n, msg), 1);
  EXPECT_EQ(n, 1);
  // Entry 2 lies past the end of the file.
  EXPECT_EQ(engine.FindPrefectureByCode("27", &n, msg), 0);
  EXPECT_EQ(std::string(msg), "ファイルの読み込みに失敗しました!(" + tix + ")") << Show(msg);
  // The name field does not exist.
  EXPECT_EQ(engine.FindPrefectureByName("東京都", 0, &n, msg), 0);
  EXPECT_EQ(std::string(msg), "データベースの値の取得に失敗しました！[DATABASE:" + ndb +
                                  "][TABLE:TC_Todoufuken][FIELD:正規都道府県名]")
      << Show(msg);
  EXPECT_EQ(engine.FindPrefectureByName("とうきょうと", 1, &n, msg), 0);
  EXPECT_EQ(std::string(msg), "データベースの値の取得に失敗しました！[DATABASE:" + ndb +
                                  "][TABLE:TC_Todoufuken][FIELD:正規かな読み都道府県名]")
      << Show(msg);
  // No message wanted: the same answers.
  EXPECT_EQ(engine.FindPrefectureByCode("27", &n, nullptr), 0);
  EXPECT_EQ(engine.FindPrefectureByCode("13", &n, nullptr), 1);
}

TEST(AdrsEngineFind, NotFoundMessageWithALongValueIsCutAtACharacterBoundary) {
  TempDir dir;
  Records records;
  std::string error;
  ASSERT_TRUE(addrtest::BuildPrefectureFiles(dir.Sys(""), "QVAD13", addrtest::Tokyo(), 1,
                                             &records, &error))
      << error;
  CTableDatabase db;
  CAdrsEngine engine;
  ASSERT_EQ(db.Open(dir.Sys("QVAD13.NDB").c_str()), 1);
  ASSERT_EQ(engine.Open(dir.Sys("QVAD13.TIX").c_str(), 1), 1);
  engine.SetDatabase(&db);
  std::string name = "a";
  while (name.size() < 1500) name += "県";
  char msg[kMessageSize + 16];
  std::memset(msg, 'X', sizeof msg);
  uint16_t n = 0;
  EXPECT_EQ(engine.FindPrefectureByName(name.c_str(), 0, &n, msg), 0);
  const std::string full = NotFound(dir.Sys("QVAD13.NDB"), "TC_Todoufuken", "都道府県名", name);
  const std::size_t kept = std::strlen(msg);
  EXPECT_LE(kept, kMessageSize - 1);
  EXPECT_GE(kept, kMessageSize - 2);  // at most half a character dropped
  EXPECT_EQ(full.compare(0, kept, msg), 0);
  // "a" puts the kanji at odd offsets: the cut must keep whole characters.
  const std::size_t value = full.find("[VALUE:a") + 7;
  ASSERT_LT(value, kept);
  EXPECT_EQ((kept - value) % 2, 1u);
  EXPECT_EQ(msg[kMessageSize], 'X') << "nothing written past the buffer";
}

// Entry numbers are 16-bit: a prefecture count in the header beyond 65,535
// ends the walk after entry 65,535 instead of wrapping round to entry 0.
TEST(AdrsEngineFind, PrefectureCountBeyondSixteenBitsEndsTheWalk) {
  TempDir dir;
  const std::string ndb = dir.Sys("QVAD13.NDB");
  uint32_t record = 0;
  {
    CTableDatabase db;
    ASSERT_EQ(db.Create(ndb.c_str()), 1);
    ASSERT_NE(db.CreateTable("TC_Todoufuken"), 0u);
    ASSERT_NE(db.AddField("TC_Todoufuken", "都道府県コード", kTdbString, 0, nullptr, nullptr, 0, 0),
              0u);
    ASSERT_EQ(db.UpdateMaxRecordSize(), 1);
    record = db.AddRecord("TC_Todoufuken");
    ASSERT_EQ(db.SetString(record, "TC_Todoufuken", "都道府県コード", "13"), 1);
  }
  std::vector<tixbuild::Node> prefectures(65535, tixbuild::Node{record, {}});
  std::string image, error;
  ASSERT_TRUE(tixbuild::BuildIndexImage(prefectures, 1, &image, &error)) << error;
  const uint32_t count = 70000;
  for (int i = 0; i < 4; ++i) image[10 + i] = static_cast<char>(count >> (8 * i));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("QVAD13.TIX"), image));

  CTableDatabase db;
  CAdrsEngine engine;
  ASSERT_EQ(db.Open(ndb.c_str()), 1);
  ASSERT_EQ(engine.Open(dir.Sys("QVAD13.TIX").c_str(), 1), 1);
  engine.SetDatabase(&db);
  char msg[kMessageSize] = "";
  uint16_t n = 0;
  EXPECT_EQ(engine.FindPrefectureByCode("27", &n, msg), 0);
  EXPECT_EQ(msg, NotFound(ndb, "TC_Todoufuken", "都道府県コード", "27")) << Show(msg);
}
