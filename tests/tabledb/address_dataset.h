#pragma once
// Small address data sets for the engine tests: a table database with the
// four address tables written through CTableDatabase, the tree that its
// address index must hold, written out by hand, and BuildPrefectureFiles,
// which writes a prefecture's database, its address index (by the index
// builder) and its sorted code index files (by the table sorter).

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "common/message.h"
#include "tabledb/code_index_files.h"
#include "tabledb/table_database.h"
#include "tools/tixbuild/address_tree.h"

namespace addrtest {

struct PrefectureRow {
  std::string code;       // 都道府県コード
  std::string name;       // 正規都道府県名
  std::string kana = "";  // 正規かな読み都道府県名
  int32_t latitude = 0;   // 緯度
  int32_t longitude = 0;  // 経度
};
struct CityRow {
  std::string code;             // 行政JISコード
  std::string name;             // 正規市区町村名
  std::string county = "";      // 正規郡名
  std::string kana = "";        // 正規かな読み市区町村名
  std::string countyKana = "";  // 正規かな読み郡名
};
struct OazaRow {
  std::string code;            // 地名コード (行政JISコード: its first 5 bytes)
  std::string oaza;            // 正規大字通称名
  std::string chome;           // 正規字丁目名
  std::string flag;            // 大字代表点フラグ
  std::string group = "";      // グループコード
  std::string oazaKana = "";   // 正規かな読み大字通称名
  std::string chomeKana = "";  // 正規かな読み字丁目名
};
struct BlockRow {
  std::string code;    // 地名コード
  std::string number;  // 街区番号
};

// Rows in the order of their tables' record chains.
struct Dataset {
  std::vector<PrefectureRow> prefectures;
  std::vector<CityRow> cities;
  std::vector<OazaRow> oaza;
  std::vector<BlockRow> blocks;
  // TC_Gaiku gets a 街区番号コード field (the block's text) unless this is off.
  bool blockCodes = true;
};

// Record-header positions of the rows, in the same order.
struct Records {
  std::vector<uint32_t> prefectures;
  std::vector<uint32_t> cities;
  std::vector<uint32_t> oaza;
  std::vector<uint32_t> blocks;
};

// A node of the expected tree: the row's index in its table (TC_Oaza for
// the oaza and aza/chome levels) and its children.
struct Expect {
  int row;
  std::vector<Expect> children;
};

// Writes the .NDB (tables, fields, rows); false when a step fails.
inline bool WriteDatabase(const std::string& path, const Dataset& data, Records* records) {
  CTableDatabase db;
  if (!db.Create(path.c_str())) return false;
  struct Field {
    const char* table;
    const char* name;
    int32_t type;
  };
  const Field fields[] = {
      {"TC_Todoufuken", "都道府県コード", kTdbString},
      {"TC_Todoufuken", "正規都道府県名", kTdbString},
      {"TC_Todoufuken", "正規かな読み都道府県名", kTdbString},
      {"TC_Todoufuken", "緯度", kTdbInt},
      {"TC_Todoufuken", "経度", kTdbInt},
      {"TC_Shikutyoson", "行政JISコード", kTdbString},
      {"TC_Shikutyoson", "正規郡名", kTdbString},
      {"TC_Shikutyoson", "正規市区町村名", kTdbString},
      {"TC_Shikutyoson", "正規かな読み郡名", kTdbString},
      {"TC_Shikutyoson", "正規かな読み市区町村名", kTdbString},
      {"TC_Oaza", "行政JISコード", kTdbString},
      {"TC_Oaza", "地名コード", kTdbString},
      {"TC_Oaza", "グループコード", kTdbString},
      {"TC_Oaza", "正規大字通称名", kTdbString},
      {"TC_Oaza", "正規かな読み大字通称名", kTdbString},
      {"TC_Oaza", "正規字丁目名", kTdbString},
      {"TC_Oaza", "正規かな読み字丁目名", kTdbString},
      {"TC_Oaza", "大字代表点フラグ", kTdbString},
      {"TC_Gaiku", "地名コード", kTdbString},
      {"TC_Gaiku", "街区番号", kTdbString},
      {"TC_Gaiku", "街区番号コード", kTdbString},
  };
  for (const char* table : {"TC_Todoufuken", "TC_Shikutyoson", "TC_Oaza", "TC_Gaiku"}) {
    if (!db.CreateTable(table)) return false;
  }
  for (const Field& f : fields) {
    if (!data.blockCodes && std::string(f.name) == "街区番号コード") continue;
    if (!db.AddField(f.table, f.name, f.type, 0, nullptr, nullptr, 0, 0)) return false;
  }
  if (!db.UpdateMaxRecordSize()) return false;
  // One row: a record with its texts; 0 when a step fails.
  auto add = [&db](const char* table,
                   std::initializer_list<std::pair<const char*, const std::string*>> values) {
    const uint32_t r = db.AddRecord(table);
    for (const auto& [field, value] : values) {
      if (!r || !db.SetString(r, table, field, value->c_str())) return 0u;
    }
    return r;
  };
  *records = Records();
  for (const PrefectureRow& row : data.prefectures) {
    uint32_t r = add("TC_Todoufuken", {{"都道府県コード", &row.code},
                                       {"正規都道府県名", &row.name},
                                       {"正規かな読み都道府県名", &row.kana}});
    if (r && (!db.SetInt(r, "TC_Todoufuken", "緯度", row.latitude) ||
              !db.SetInt(r, "TC_Todoufuken", "経度", row.longitude))) {
      r = 0;
    }
    records->prefectures.push_back(r);
  }
  for (const CityRow& row : data.cities) {
    records->cities.push_back(add("TC_Shikutyoson", {{"行政JISコード", &row.code},
                                                     {"正規郡名", &row.county},
                                                     {"正規市区町村名", &row.name},
                                                     {"正規かな読み郡名", &row.countyKana},
                                                     {"正規かな読み市区町村名", &row.kana}}));
  }
  for (const OazaRow& row : data.oaza) {
    const std::string city = row.code.substr(0, 5);
    records->oaza.push_back(add("TC_Oaza", {{"行政JISコード", &city},
                                            {"地名コード", &row.code},
                                            {"グループコード", &row.group},
                                            {"正規大字通称名", &row.oaza},
                                            {"正規かな読み大字通称名", &row.oazaKana},
                                            {"正規字丁目名", &row.chome},
                                            {"正規かな読み字丁目名", &row.chomeKana},
                                            {"大字代表点フラグ", &row.flag}}));
  }
  for (const BlockRow& row : data.blocks) {
    records->blocks.push_back(
        data.blockCodes ? add("TC_Gaiku", {{"地名コード", &row.code},
                                           {"街区番号", &row.number},
                                           {"街区番号コード", &row.number}})
                        : add("TC_Gaiku", {{"地名コード", &row.code}, {"街区番号", &row.number}}));
  }
  for (const auto* list :
       {&records->prefectures, &records->cities, &records->oaza, &records->blocks}) {
    for (uint32_t r : *list) {
      if (!r) return false;
    }
  }
  db.Close();
  return true;
}

// Tokyo: chain orders mix the levels, one municipality has no oaza, one
// aza/chome row has no block, and 佃 has no chome (its blocks hang under
// the placeholder row that shares its place code).
inline Dataset Tokyo() {
  Dataset d;
  d.prefectures = {{"13", "東京都", "とうきょうと", 128440703, 503165554}};
  d.cities = {{"13101", "千代田区", "", "ちよだく", ""},
              {"13102", "中央区", "", "ちゅうおうく", ""},
              {"13103", "港区", "", "みなとく", ""}};
  d.oaza = {
      {"13101001000", "丸の内", "", "1", "1310101", "まるのうち", ""},                    // 0
      {"13101001001", "丸の内", "一丁目", "0", "1310101", "まるのうち", "いっちょうめ"},  // 1
      {"13102001000", "銀座", "", "1", "1310201", "ぎんざ", ""},                          // 2
      {"13101001002", "丸の内", "二丁目", "0", "1310101", "まるのうち", "にちょうめ"},    // 3
      {"13101002000", "大手町", "", "1", "1310102", "おおてまち", ""},                    // 4
      {"13102001001", "銀座", "一丁目", "0", "1310201", "ぎんざ", "いっちょうめ"},        // 5
      {"13101002001", "大手町", "一丁目", "0", "1310102", "おおてまち", "いっちょうめ"},  // 6
      {"13102002000", "佃", "", "1", "1310202", "つくだ", ""},                            // 7
      {"13102002000", "佃", "", "0", "1310202", "つくだ", ""},                            // 8
  };
  d.blocks = {
      {"13101001001", "１"},  // 0
      {"13101001002", "１"},  // 1
      {"13101001001", "２"},  // 2
      {"13102001001", "１"},  // 3
      {"13102002000", "１"},  // 4
      {"13101001001", "３"},  // 5
  };
  return d;
}

inline Expect TokyoTree() {
  return {0,
          {{0, {{0, {{1, {{0, {}}, {2, {}}, {5, {}}}}, {3, {{1, {}}}}}}, {4, {{6, {}}}}}},
           {1, {{2, {{5, {{3, {}}}}}}, {7, {{8, {{4, {}}}}}}}},
           {2, {}}}};
}

// Osaka: wards of a designated city (the city in 正規郡名), a town in a
// county, an oaza without a name of its own (（大字なし）) that has a chome
// and a placeholder row, and two oaza of one name and one group code.
inline Dataset Osaka() {
  Dataset d;
  d.prefectures = {{"27", "大阪府", "おおさかふ", 124870000, 487872000}};
  d.cities = {{"27128", "中央区", "大阪市", "ちゅうおうく", "おおさかし"},
              {"27127", "北区", "大阪市", "きたく", "おおさかし"},
              {"27301", "島本町", "三島郡", "しまもとちょう", "みしまぐん"}};
  d.oaza = {
      {"27128001000", "大手前", "", "1", "2712801", "おおてまえ", ""},                    // 0
      {"27127001000", "梅田", "", "1", "2712701", "うめだ", ""},                          // 1
      {"27128001001", "大手前", "一丁目", "0", "2712801", "おおてまえ", "いっちょうめ"},  // 2
      {"27127001001", "梅田", "一丁目", "0", "2712701", "うめだ", "いっちょうめ"},        // 3
      {"27128001002", "大手前", "二丁目", "0", "2712801", "おおてまえ", "にちょうめ"},    // 4
      {"27301000000", "（大字なし）", "", "1", "2730100", "（おおあざなし）", ""},        // 5
      {"27301000001", "（大字なし）", "桜井一丁目", "0", "2730100", "（おおあざなし）",
       "さくらいいっちょうめ"},                                                       // 6
      {"27301000000", "（大字なし）", "", "0", "2730100", "（おおあざなし）", ""},    // 7
      {"27301001000", "山崎", "", "1", "2730101", "やまざき", ""},                    // 8
      {"27301001001", "山崎", "一丁目", "0", "2730101", "やまざき", "いっちょうめ"},  // 9
      {"27301002000", "山崎", "", "1", "2730101", "やまざき", ""},                    // 10
      {"27301002000", "山崎", "", "0", "2730101", "やまざき", ""},                    // 11
  };
  d.blocks = {
      {"27127001001", "１"},  // 0
      {"27128001002", "１"},  // 1
      {"27128001001", "１"},  // 2
      {"27301000001", "１"},  // 3
      {"27301002000", "２"},  // 4
  };
  return d;
}

inline Expect OsakaTree() {
  return {0,
          {{0, {{0, {{2, {{2, {}}}}, {4, {{1, {}}}}}}}},
           {1, {{1, {{3, {{0, {}}}}}}}},
           {2, {{5, {{6, {{3, {}}}}, {7, {}}}}, {8, {{9, {}}}}, {10, {{11, {{4, {}}}}}}}}}};
}

// Writes <folder><title>.NDB, <title>.TIX of the index kind and the code
// index files (<title>_CD1.INX ...); folder is a CP932 path ending in a
// separator. False with a reason when a step fails.
inline bool BuildPrefectureFiles(const std::string& folder, const std::string& title,
                                 const Dataset& data, int kind, Records* records,
                                 std::string* error) {
  const std::string ndb = folder + title + ".NDB";
  const std::string tix = folder + title + ".TIX";
  if (!WriteDatabase(ndb, data, records)) {
    *error = "database not written";
    return false;
  }
  if (!tixbuild::BuildIndexFromDatabase(ndb.c_str(), tix.c_str(), kind, error)) return false;
  char msg[kMessageSize] = "";
  if (!BuildCodeIndexFiles(ndb.c_str(), msg)) {
    *error = msg;
    return false;
  }
  return true;
}

}  // namespace addrtest
