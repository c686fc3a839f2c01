#pragma once
// Small address data sets for the engine tests: a table database with the
// four address tables written through CTableDatabase, and the tree that
// its address index must hold, written out by hand.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "tabledb/table_database.h"

namespace addrtest {

struct PrefectureRow {
  std::string code;  // 都道府県コード
  std::string name;  // 正規都道府県名
};
struct CityRow {
  std::string code;  // 行政JISコード
  std::string name;  // 正規市区町村名
};
struct OazaRow {
  std::string code;   // 地名コード
  std::string oaza;   // 正規大字通称名
  std::string chome;  // 正規字丁目名
  std::string flag;   // 大字代表点フラグ
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
      {"TC_Todoufuken", "緯度", kTdbInt},
      {"TC_Todoufuken", "経度", kTdbInt},
      {"TC_Shikutyoson", "行政JISコード", kTdbString},
      {"TC_Shikutyoson", "正規市区町村名", kTdbString},
      {"TC_Oaza", "地名コード", kTdbString},
      {"TC_Oaza", "正規大字通称名", kTdbString},
      {"TC_Oaza", "正規字丁目名", kTdbString},
      {"TC_Oaza", "大字代表点フラグ", kTdbString},
      {"TC_Gaiku", "地名コード", kTdbString},
      {"TC_Gaiku", "街区番号", kTdbString},
  };
  for (const char* table : {"TC_Todoufuken", "TC_Shikutyoson", "TC_Oaza", "TC_Gaiku"}) {
    if (!db.CreateTable(table)) return false;
  }
  for (const Field& f : fields) {
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
    records->prefectures.push_back(
        add("TC_Todoufuken", {{"都道府県コード", &row.code}, {"正規都道府県名", &row.name}}));
  }
  for (const CityRow& row : data.cities) {
    records->cities.push_back(
        add("TC_Shikutyoson", {{"行政JISコード", &row.code}, {"正規市区町村名", &row.name}}));
  }
  for (const OazaRow& row : data.oaza) {
    records->oaza.push_back(add("TC_Oaza", {{"地名コード", &row.code},
                                            {"正規大字通称名", &row.oaza},
                                            {"正規字丁目名", &row.chome},
                                            {"大字代表点フラグ", &row.flag}}));
  }
  for (const BlockRow& row : data.blocks) {
    records->blocks.push_back(
        add("TC_Gaiku", {{"地名コード", &row.code}, {"街区番号", &row.number}}));
  }
  for (const auto* list : {&records->prefectures, &records->cities, &records->oaza,
                           &records->blocks}) {
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
  d.prefectures = {{"13", "東京都"}};
  d.cities = {{"13101", "千代田区"}, {"13102", "中央区"}, {"13103", "港区"}};
  d.oaza = {
      {"13101001000", "丸の内", "", "1"},       // 0
      {"13101001001", "丸の内", "一丁目", "0"}, // 1
      {"13102001000", "銀座", "", "1"},         // 2
      {"13101001002", "丸の内", "二丁目", "0"}, // 3
      {"13101002000", "大手町", "", "1"},       // 4
      {"13102001001", "銀座", "一丁目", "0"},   // 5
      {"13101002001", "大手町", "一丁目", "0"}, // 6
      {"13102002000", "佃", "", "1"},           // 7
      {"13102002000", "佃", "", "0"},           // 8
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

inline Dataset Osaka() {
  Dataset d;
  d.prefectures = {{"27", "大阪府"}};
  d.cities = {{"27128", "大阪市中央区"}, {"27127", "大阪市北区"}};
  d.oaza = {
      {"27128001000", "大手前", "", "1"},        // 0
      {"27127001000", "梅田", "", "1"},          // 1
      {"27128001001", "大手前", "一丁目", "0"},  // 2
      {"27127001001", "梅田", "一丁目", "0"},    // 3
      {"27128001002", "大手前", "二丁目", "0"},  // 4
  };
  d.blocks = {
      {"27127001001", "１"},  // 0
      {"27128001002", "１"},  // 1
      {"27128001001", "１"},  // 2
  };
  return d;
}

inline Expect OsakaTree() {
  return {0, {{0, {{0, {{2, {{2, {}}}}, {4, {{1, {}}}}}}}}, {1, {{1, {{3, {{0, {}}}}}}}}}};
}

}  // namespace addrtest
