// Child lookups of the address engine over two prefectures written by the
// table database, the index builder (both kinds) and the table sorter.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/message.h"
#include "matching/adrs_engine.h"
#include "support/test_util.h"
#include "tabledb/address_dataset.h"
#include "tabledb/table_database.h"
#include "tools/tixbuild/tix_writer.h"

using addrtest::Dataset;
using addrtest::Expect;
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

// 1 + the first of children[0..i] whose text equals child i's: where a
// lookup by that text stops.
template <typename Text>
uint16_t FirstSame(const std::vector<Expect>& children, std::size_t i, Text text) {
  std::size_t j = 0;
  while (text(children[j].row) != text(children[i].row)) ++j;
  return static_cast<uint16_t>(j + 1);
}

// The entry number a lookup of engine e answers (its out argument n),
// 0 when it fails; FIND_FROM starts the next-entry forms at an entry.
#define FIND(call) Found([&](uint16_t* n) { return e.call; })
#define FIND_FROM(start, call) Found([&](uint16_t* n) { return e.call; }, start)

class EngineFind : public ::testing::TestWithParam<int> {
 protected:
  const char* titles_[2] = {"QVAD13", "QVAD27"};
  const Dataset data_[2] = {addrtest::Tokyo(), addrtest::Osaka()};
  const Expect trees_[2] = {addrtest::TokyoTree(), addrtest::OsakaTree()};
  TempDir dir_;
  CTableDatabase db_;
  CAdrsEngine engine_;
  std::string ndb_;
  char msg_[kMessageSize] = "";

  void SetUp() override {
    for (int i = 0; i < 2; ++i) {
      addrtest::Records records;
      std::string error;
      ASSERT_TRUE(addrtest::BuildPrefectureFiles(dir_.Sys(""), titles_[i], data_[i], GetParam(),
                                                 &records, &error))
          << error;
    }
  }
  void Open(int p) {
    engine_.Close();
    db_.Close();
    ndb_ = dir_.Sys(std::string(titles_[p]) + ".NDB");
    ASSERT_EQ(db_.Open(ndb_.c_str()), 1);
    ASSERT_EQ(engine_.Open(dir_.Sys(std::string(titles_[p]) + ".TIX").c_str(), GetParam()), 1);
    engine_.SetDatabase(&db_);
  }
  // The entry a lookup answers, 0 when it fails (message in msg_).
  template <typename Lookup>
  uint16_t Found(Lookup lookup, uint16_t start = 1) {
    uint16_t n = start;
    return lookup(&n) == 1 ? n : 0;
  }
  TixEntry Entry(int level, uint32_t base, uint16_t n) {
    TixEntry e;
    const int r = level == 1   ? engine_.ReadPrefectureEntry(n, &e, msg_)
                  : level == 2 ? engine_.ReadCityEntry(base, n, &e, msg_)
                               : engine_.ReadOazaEntry(base, n, &e, msg_);
    EXPECT_EQ(r, 1) << Show(msg_);
    return e;
  }
  void ExpectNotFound(int result, const char* table, const char* field, const char* value) {
    EXPECT_EQ(result, 0) << Show(value);
    EXPECT_EQ(msg_, NotFound(ndb_, table, field, value)) << Show(msg_);
  }
};

}  // namespace

// Every child of both trees, by each of its names, readings and codes,
// under the child base and count that its parent's entry gives.
TEST_P(EngineFind, EveryChildIsFoundByItsNamesAndCodes) {
  CAdrsEngine& e = engine_;
  char* m = msg_;
  for (int p = 0; p < 2; ++p) {
    SCOPED_TRACE(titles_[p]);
    Open(p);
    const Dataset& d = data_[p];
    const auto& pref = d.prefectures[0];
    EXPECT_EQ(FIND(FindPrefectureByName(pref.name.c_str(), 0, n, m)), 1);
    EXPECT_EQ(FIND(FindPrefectureByName(pref.kana.c_str(), 1, n, m)), 1);
    EXPECT_EQ(FIND(FindPrefectureByCode(pref.code.c_str(), n, m)), 1);
    const TixEntry pe = Entry(1, 0, 1);
    const std::vector<Expect>& cities = trees_[p].children;
    for (std::size_t c = 0; c < cities.size(); ++c) {
      const auto& city = d.cities[cities[c].row];
      SCOPED_TRACE(Show(city.county + city.name));
      const uint32_t b = pe.childBase;
      const uint16_t k = pe.childCount;
      const uint16_t self = static_cast<uint16_t>(c + 1);
      const std::string name = city.county + city.name, kana = city.countyKana + city.kana;
      EXPECT_EQ(FIND(FindCityByName(name.c_str(), 0, b, k, n, m)), self);
      EXPECT_EQ(FIND(FindCityByName(kana.c_str(), 1, b, k, n, m)), self);
      EXPECT_EQ(FIND(FindCityByCode(city.code.c_str(), b, k, n, m)), self);
      const TixEntry ce = Entry(2, b, self);
      const std::vector<Expect>& oaza = cities[c].children;
      for (std::size_t a = 0; a < oaza.size(); ++a) {
        const auto& row = d.oaza[oaza[a].row];
        SCOPED_TRACE(Show(row.code + " " + row.oaza));
        const uint32_t ob = ce.childBase;
        const uint16_t oc = ce.childCount;
        const uint16_t at = static_cast<uint16_t>(a + 1);
        EXPECT_EQ(FIND(FindOazaByName(row.oaza.c_str(), 0, ob, oc, n, m)),
                  FirstSame(oaza, a, [&d](int r) { return d.oaza[r].oaza; }));
        EXPECT_EQ(FIND(FindOazaByName(row.oazaKana.c_str(), 1, ob, oc, n, m)),
                  FirstSame(oaza, a, [&d](int r) { return d.oaza[r].oazaKana; }));
        EXPECT_EQ(FIND_FROM(at, FindNextOazaByName(row.oaza.c_str(), 0, ob, oc, n, m)), at);
        EXPECT_EQ(FIND(FindOazaByPlaceCode(row.code.c_str(), ob, oc, n, m)), at);
        EXPECT_EQ(FIND(FindOazaByGroupCode(row.group.c_str(), ob, oc, n, m)),
                  FirstSame(oaza, a, [&d](int r) { return d.oaza[r].group; }));
        EXPECT_EQ(FIND_FROM(at, FindNextOazaByGroupCode(row.group.c_str(), ob, oc, n, m)), at);
        const TixEntry oe = Entry(3, ob, at);
        const std::vector<Expect>& chome = oaza[a].children;
        for (std::size_t h = 0; h < chome.size(); ++h) {
          const auto& c = d.oaza[chome[h].row];
          SCOPED_TRACE(Show(c.code + " " + c.chome));
          const uint32_t kb = oe.childBase;
          const uint16_t kc = oe.childCount;
          EXPECT_EQ(FIND(FindChomeByName(c.chome.c_str(), 0, kb, kc, n, m)),
                    FirstSame(chome, h, [&d](int r) { return d.oaza[r].chome; }));
          EXPECT_EQ(FIND(FindChomeByName(c.chomeKana.c_str(), 1, kb, kc, n, m)),
                    FirstSame(chome, h, [&d](int r) { return d.oaza[r].chomeKana; }));
          EXPECT_EQ(FIND(FindChomeByPlaceCode(c.code.c_str(), kb, kc, n, m)), h + 1);
        }
      }
    }
  }
}

// Osaka, 三島郡島本町: （大字なし） (桜井一丁目, placeholder chome), 山崎
// (一丁目), 山崎 (placeholder chome), one group code for both 山崎.
TEST_P(EngineFind, PlaceholdersAndRepeatedNames) {
  Open(1);
  CAdrsEngine& e = engine_;
  char* m = msg_;
  const TixEntry pref = Entry(1, 0, 1);
  const TixEntry city = Entry(2, pref.childBase, 3);
  const uint32_t b = city.childBase;
  const uint16_t k = city.childCount;
  ASSERT_EQ(k, 3);
  const struct {
    const char* name;
    int32_t kana;
  } noOaza[] = {{"（大字なし）", 0},     {"", 0}, {"大字なし地区", 0},    {"大字なし", 0},
                {"おおあざなしちく", 1}, {"", 1}, {"（おおあざなし）", 1}};
  for (const auto& c : noOaza) {
    EXPECT_EQ(FIND(FindOazaByName(c.name, c.kana, b, k, n, m)), 1) << Show(c.name);
  }
  ExpectNotFound(e.FindOazaByName("おおあざなしちく", 0, b, k, nullptr, m), "TC_Oaza", "大字通称名",
                 "おおあざなしちく");
  EXPECT_EQ(FIND(FindOazaByName("山崎", 0, b, k, n, m)), 2);
  EXPECT_EQ(FIND_FROM(3, FindNextOazaByName("山崎", 0, b, k, n, m)), 3);
  EXPECT_EQ(FIND_FROM(3, FindNextOazaByGroupCode("2730101", b, k, n, m)), 3);
  uint16_t from = 4;
  ExpectNotFound(e.FindNextOazaByName("山崎", 0, b, k, &from, m), "TC_Oaza", "大字通称名", "山崎");
  EXPECT_EQ(from, 4) << "a failed lookup leaves the entry number";
  ExpectNotFound(e.FindNextOazaByGroupCode("2730101", b, k, &from, m), "TC_Oaza", "グループコード",
                 "2730101");

  const TixEntry none = Entry(3, b, 1);
  ASSERT_EQ(none.childCount, 2);
  const struct {
    const char* name;
    int32_t kana;
    uint16_t entry;
  } chome[] = {{"桜井一丁目", 0, 1},           {"", 0, 2}, {"丁目なし地区", 0, 2},
               {"さくらいいっちょうめ", 1, 1}, {"", 1, 2}, {"ちょうもくなしちく", 1, 2}};
  for (const auto& c : chome) {
    EXPECT_EQ(Found([&](uint16_t* n) {
                return e.FindChomeByName(c.name, c.kana, none.childBase, none.childCount, n, m);
              }),
              c.entry)
        << Show(c.name);
  }
  ExpectNotFound(e.FindChomeByName("丁目なし", 0, none.childBase, none.childCount, nullptr, m),
                 "TC_Oaza", "字丁目名", "丁目なし");
}

TEST_P(EngineFind, NotFoundMessagesNameTheTableFieldAndValue) {
  Open(0);
  CAdrsEngine& e = engine_;
  char* m = msg_;
  uint16_t n = 77;
  const TixEntry pref = Entry(1, 0, 1);
  const TixEntry chiyoda = Entry(2, pref.childBase, 1);
  const TixEntry minato = Entry(2, pref.childBase, 3);
  ASSERT_EQ(minato.childCount, 0);
  const TixEntry marunouchi = Entry(3, chiyoda.childBase, 1);
  const uint32_t cb = pref.childBase, ob = chiyoda.childBase, kb = marunouchi.childBase;
  const uint16_t cc = pref.childCount, oc = chiyoda.childCount, kc = marunouchi.childCount;
  const char* O = "TC_Oaza";

  ExpectNotFound(e.FindPrefectureByName("大阪府", 0, &n, m), "TC_Todoufuken", "都道府県名",
                 "大阪府");
  ExpectNotFound(e.FindPrefectureByName("東京都", 1, &n, m), "TC_Todoufuken", "都道府県名",
                 "東京都");
  ExpectNotFound(e.FindPrefectureByCode("1", &n, m), "TC_Todoufuken", "都道府県コード", "1");
  ExpectNotFound(e.FindCityByName("千代田", 0, cb, cc, &n, m), "TC_Shikutyoson", "市区町村名",
                 "千代田");
  ExpectNotFound(e.FindCityByCode("13104", cb, cc, &n, m), "TC_Shikutyoson", "行政JISコード",
                 "13104");
  ExpectNotFound(e.FindOazaByName("銀座", 0, ob, oc, &n, m), O, "大字通称名", "銀座");
  ExpectNotFound(e.FindOazaByName("芝", 0, minato.childBase, 0, &n, m), O, "大字通称名", "芝");
  ExpectNotFound(e.FindOazaByName("", 0, ob, oc, &n, m), O, "大字通称名", "");
  ExpectNotFound(e.FindOazaByPlaceCode("13101003", ob, oc, &n, m), O, "地名コード", "13101003");
  ExpectNotFound(e.FindOazaByGroupCode("1310201", ob, oc, &n, m), O, "グループコード", "1310201");
  ExpectNotFound(e.FindChomeByName("三丁目", 0, kb, kc, &n, m), O, "字丁目名", "三丁目");
  ExpectNotFound(e.FindChomeByName("", 0, kb, kc, &n, m), O, "字丁目名", "");
  ExpectNotFound(e.FindChomeByPlaceCode("13101001003", kb, kc, &n, m), O, "地名コード",
                 "13101001003");
  EXPECT_EQ(n, 77) << "a failed lookup leaves the entry number";
  // The codes compare only their first 2, 5, 8 and 11 bytes.
  EXPECT_EQ(FIND(FindPrefectureByCode("13101001001", n, m)), 1);
  EXPECT_EQ(FIND(FindCityByCode("13101001001", cb, cc, n, m)), 1);
  EXPECT_EQ(FIND(FindOazaByPlaceCode("13101002999", ob, oc, n, m)), 2);
  EXPECT_EQ(FIND(FindChomeByPlaceCode("13101001002X", kb, kc, n, m)), 2);
}

INSTANTIATE_TEST_SUITE_P(BothIndexKinds, EngineFind, ::testing::Values(1, 2));

namespace {

// A TC_Todoufuken with only 都道府県コード "13" and an index of `entries`
// prefecture entries on that row whose header counts `count`.
void WriteBareIndex(const TempDir& dir, std::size_t entries, uint32_t count) {
  CTableDatabase db;
  ASSERT_EQ(db.Create(dir.Sys("QVAD13.NDB").c_str()), 1);
  ASSERT_NE(db.CreateTable("TC_Todoufuken"), 0u);
  ASSERT_NE(db.AddField("TC_Todoufuken", "都道府県コード", kTdbString, 0, nullptr, nullptr, 0, 0),
            0u);
  ASSERT_EQ(db.UpdateMaxRecordSize(), 1);
  const uint32_t record = db.AddRecord("TC_Todoufuken");
  ASSERT_EQ(db.SetString(record, "TC_Todoufuken", "都道府県コード", "13"), 1);
  std::string image, error;
  ASSERT_TRUE(tixbuild::BuildIndexImage(std::vector<tixbuild::Node>(entries, {record, {}}), 1,
                                        &image, &error))
      << error;
  for (int i = 0; i < 4; ++i) image[10 + i] = static_cast<char>(count >> (8 * i));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("QVAD13.TIX"), image));
}

}  // namespace

TEST(AdrsEngineFind, LookupsCheckReadinessAndPassReadFailuresOn) {
  TempDir dir;
  WriteBareIndex(dir, 1, 2);
  const std::string ndb = dir.Sys("QVAD13.NDB"), tix = dir.Sys("QVAD13.TIX");
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
  ASSERT_EQ(engine.FindPrefectureByCode("13", &n, nullptr), 1);
  // Entry 2 lies past the end of the file; the name fields do not exist.
  EXPECT_EQ(engine.FindPrefectureByCode("27", &n, msg), 0);
  EXPECT_EQ(std::string(msg), "ファイルの読み込みに失敗しました!(" + tix + ")") << Show(msg);
  const std::string valueError =
      "データベースの値の取得に失敗しました！[DATABASE:" + ndb + "][TABLE:TC_Todoufuken][FIELD:";
  EXPECT_EQ(engine.FindPrefectureByName("東京都", 0, &n, msg), 0);
  EXPECT_EQ(std::string(msg), valueError + "正規都道府県名]") << Show(msg);
  EXPECT_EQ(engine.FindPrefectureByName("とうきょうと", 1, &n, msg), 0);
  EXPECT_EQ(std::string(msg), valueError + "正規かな読み都道府県名]") << Show(msg);
}

// Entry numbers are 16-bit: a prefecture count in the header beyond 65,535
// ends the walk after entry 65,535 instead of wrapping round to entry 0.
TEST(AdrsEngineFind, PrefectureCountBeyondSixteenBitsEndsTheWalk) {
  TempDir dir;
  WriteBareIndex(dir, 65535, 70000);
  CTableDatabase db;
  CAdrsEngine engine;
  ASSERT_EQ(db.Open(dir.Sys("QVAD13.NDB").c_str()), 1);
  ASSERT_EQ(engine.Open(dir.Sys("QVAD13.TIX").c_str(), 1), 1);
  engine.SetDatabase(&db);
  char msg[kMessageSize] = "";
  uint16_t n = 0;
  EXPECT_EQ(engine.FindPrefectureByCode("27", &n, msg), 0);
  EXPECT_EQ(msg, NotFound(dir.Sys("QVAD13.NDB"), "TC_Todoufuken", "都道府県コード", "27"))
      << Show(msg);
}

// The not-found text carries the caller's value: a long one is cut at a
// character boundary inside the message buffer.
TEST(AdrsEngineFind, NotFoundMessageWithALongValueIsCutAtACharacterBoundary) {
  TempDir dir;
  WriteBareIndex(dir, 1, 1);
  CTableDatabase db;
  CAdrsEngine engine;
  ASSERT_EQ(db.Open(dir.Sys("QVAD13.NDB").c_str()), 1);
  ASSERT_EQ(engine.Open(dir.Sys("QVAD13.TIX").c_str(), 1), 1);
  engine.SetDatabase(&db);
  std::string code = "a";
  while (code.size() < 1500) code += "県";
  char msg[kMessageSize + 16];
  std::memset(msg, 'X', sizeof msg);
  EXPECT_EQ(engine.FindPrefectureByCode(code.c_str(), nullptr, msg), 0);
  const std::string full = NotFound(dir.Sys("QVAD13.NDB"), "TC_Todoufuken", "都道府県コード", code);
  const std::size_t kept = std::strlen(msg);
  const std::size_t value = full.find("[VALUE:a") + 7;
  ASSERT_LT(value, kept);
  EXPECT_GE(kept, kMessageSize - 2);
  EXPECT_EQ(full.compare(0, kept, msg), 0);
  EXPECT_EQ((kept - value) % 2, 1u) << "the cut keeps whole characters";
  EXPECT_EQ(msg[kMessageSize], 'X') << "nothing written past the buffer";
}
