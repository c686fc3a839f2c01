#pragma once
// Address data for the matcher tests: the generated sample data set of the
// build tree (Database/住所/, with its dictionaries), and small hand-made
// data sets for the cases the sample does not hold. Both are opened into a
// CAdrsEngine and matched as the matching driver does it: the input in an
// edit text, normalised with the unification dictionary and no replacement
// list, then MatchAddress.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "common/message.h"
#include "common/record_stack.h"
#include "matching/adrs_engine.h"
#include "matching/dictionary_loaders.h"
#include "matching/edit_text.h"
#include "matching/normalize.h"
#include "sample_folder.h"
#include "support/test_util.h"
#include "tabledb/change_history.h"
#include "tabledb/dictionaries.h"
#include "tabledb/table_database.h"
#include "tabledb/tc_access.h"
#include "tabledb/tdb_format.h"
#include "tools/tixbuild/address_tree.h"

namespace matchtest {

// The dictionaries of the sample folder, loaded once.
struct Dictionaries {
  CCharDictionary unification;
  CRecordList replacements;  // 文字置換.BIN
  CRecordList user;          // ユーザー置換.TXT, the extra replacement list
  bool loaded = false;
};

inline Dictionaries& SampleDictionaries() {
  static Dictionaries* d = [] {
    auto* loaded = new Dictionaries;
    const std::string folder = sample::Folder();
    char msg[kMessageSize] = "";
    loaded->loaded =
        LoadUnificationDictionary((folder + "文字統一.BIN").c_str(), &loaded->unification, msg,
                                  1) &&
        LoadReplacementDictionary((folder + "文字置換.BIN").c_str(), &loaded->replacements,
                                  &loaded->unification, msg, 1) &&
        LoadReplacementDictionaryText((folder + "ユーザー置換.TXT").c_str(), &loaded->user,
                                      &loaded->unification, msg);
    if (!loaded->loaded) ADD_FAILURE() << testutil::Show(msg);
    return loaded;
  }();
  return *d;
}

// Options of one match.
struct Options {
  int kana = 0, numberUnit = 1, depth = 4;
  uint32_t flags = 0;
  bool replacements = true;  // the 文字置換 list attached
  bool extra = true;         // the user list attached
  int countyOptional = 1;
};

// What a match gave.
struct Outcome {
  int result = -9;
  int32_t level = -9, parent = -9;
  int16_t entry = -9;
  std::string rest;
  std::string message;
};

// One prefecture's table database and address index, opened into an
// engine.
class DataSet {
 public:
  // folder: CP932 path ending in '\'.
  bool Open(const std::string& folder, int prefecture, int indexKind) {
    char name[32];
    std::snprintf(name, sizeof name, "QVAD%02d", prefecture);
    folder_ = folder;
    if (!db_.Open((folder + name + ".NDB").c_str())) return false;
    if (!engine_.Open((folder + name + ".TIX").c_str(), indexKind)) return false;
    std::snprintf(name, sizeof name, "QAD_CH%02d", prefecture);
    engine_.AllocateWorkLists();
    engine_.SetDatabase(&db_);
    engine_.SetChangeHistoryFiles((folder + name + ".CDB").c_str(),
                                  (folder + name + ".CIX").c_str());
    engine_.SetChangeCodeIndexFile((folder + name + ".CDI").c_str());
    return true;
  }

  CAdrsEngine& engine() { return engine_; }
  CTableDatabase& db() { return db_; }

  Outcome Match(const std::string& input, const Options& options, CCharDictionary* unification,
                CRecordList* replacements, CRecordList* extra) {
    engine_.SetDictionaries(unification, options.replacements ? replacements : nullptr);
    engine_.SetExtraReplacementList(options.extra ? extra : nullptr);
    engine_.SetKanaMatching(options.kana);
    engine_.SetNumberUnitMatching(options.numberUnit);
    engine_.SetMatchDepth(options.depth);
    engine_.SetSearchFlags(options.flags);
    engine_.SetCountyOptional(options.countyOptional);
    Outcome out;
    CEditText text;
    if (!text.Init(input.c_str())) return out;
    NormalizeEditText(nullptr, unification, &text);
    const std::string normalised = text.GetText();
    char msg[kMessageSize] = "";
    out.parent = -7;  // left as passed when nothing matched
    out.result =
        engine_.MatchAddress(&text, &out.level, &out.parent, &out.entry, msg, input.c_str());
    out.rest = engine_.GetUnmatchedText();
    out.message = msg;
    // The matcher gives the edit text back as it came.
    EXPECT_EQ(std::string(text.GetText()), normalised) << testutil::Show(input);
    return out;
  }

  // The row a result points at, as a short text: the prefecture code
  // (level 1), 行政JISコード (2), 地名コード (3, 4), 地名コード/街区番号コード
  // (6 from TC_Gaiku), H:code/block/lot (a change record, entry -1), C:...
  // (a lot of the change-code index, entry -2), E:number (an estimate).
  std::string Describe(const Outcome& o) {
    char msg[kMessageSize] = "";
    TixEntry e;
    auto field = [&](uint32_t record, const char* table, const char* name) {
      char text[kFieldValueSize] = "";
      ReadStringField(&db_, record, table, name, text, sizeof text, msg);
      return std::string(text);
    };
    const uint32_t base = static_cast<uint32_t>(o.parent);
    if (o.level == 1 && engine_.ReadPrefectureEntry(static_cast<uint16_t>(o.entry), &e, msg))
      return field(e.record, "TC_Todoufuken", "都道府県コード");
    if (o.level == 2 && engine_.ReadCityEntry(base, static_cast<uint16_t>(o.entry), &e, msg))
      return field(e.record, "TC_Shikutyoson", "行政JISコード");
    if (o.level == 3 && engine_.ReadOazaEntry(base, static_cast<uint16_t>(o.entry), &e, msg))
      return field(e.record, "TC_Oaza", "地名コード");
    if (o.level == 4 && engine_.ReadChomeEntry(base, static_cast<uint16_t>(o.entry), &e, msg))
      return field(e.record, "TC_Oaza", "地名コード");
    if (o.level == 6 && o.entry > 0 &&
        engine_.ReadBlockEntry(base, static_cast<uint16_t>(o.entry), &e, msg)) {
      return field(e.record, "TC_Gaiku", "地名コード") + "/" +
             field(e.record, "TC_Gaiku", "街区番号コード");
    }
    if ((o.level == 6 || o.level == 8) && o.entry == -1) {
      ChangeRecord r;
      if (!engine_.GetChangeRecord(base, &r, nullptr, nullptr, nullptr, nullptr)) return "H?";
      char text[64];
      std::snprintf(text, sizeof text, "H:%u-%u-%u/%u/%u", r.cityCode, r.part1, r.part2,
                    r.blockNumber, r.lotNumber);
      return text;
    }
    if ((o.level == 6 || o.level == 8) && o.entry == -2) {
      uint32_t city = 0, area = 0, block = 0, record = 0;
      ChangeCodeLot lot;
      if (!engine_.GetLotCandidate(base, &city, &area, &block, &record) ||
          !engine_.ReadChangeCodeLot(city, area, block, record, &lot)) {
        return "C?";
      }
      return std::string("C:") + lot.cityCode + lot.areaCode + "/" + lot.blockCode + "/" +
             lot.lotCode;
    }
    return "?";
  }

 private:
  std::string folder_;
  CTableDatabase db_;
  CAdrsEngine engine_;
};

// ---- Hand-made data sets ----

// A row: field name -> text (INT fields as decimal text).
using Row = std::map<std::string, std::string>;

struct TableRows {
  const char* table;
  std::vector<Row> rows;
};

// The fields the matcher (and the reference library's level walk) reads;
// INT fields are named in IsIntField.
inline const std::vector<std::pair<const char*, std::vector<const char*>>>& MatcherFields() {
  static const std::vector<std::pair<const char*, std::vector<const char*>>> fields = {
      {"TC_Todoufuken",
       {"都道府県コード", "正規都道府県名", "正規かな読み都道府県名", "都道府県名",
        "かな読み都道府県名"}},
      {"TC_Shikutyoson",
       {"行政JISコード", "正規郡名", "正規市区町村名", "正規かな読み郡名", "正規かな読み市区町村名",
        "状態フラグ", "郡名", "市区町村名", "かな読み郡名", "かな読み市区町村名"}},
      {"TC_Oaza",
       {"地名コード", "グループコード", "大字代表点フラグ", "大字通称名", "かな読み大字通称名",
        "正規大字通称名", "正規かな読み大字通称名", "字丁目名", "かな読み字丁目名", "正規字丁目名",
        "正規かな読み字丁目名", "制御コード", "状態フラグ", "座標精度", "緯度", "経度"}},
      {"TC_Gaiku",
       {"地名コード", "街区番号コード", "街区番号", "状態フラグ", "住居表示フラグ", "座標精度",
        "緯度", "経度"}},
  };
  return fields;
}

inline bool IsIntField(const std::string& name) {
  return name == "制御コード" || name == "緯度" || name == "経度";
}

// Writes QVADnn.NDB and QVADnn.TIX (index kind 1) into the folder (a CP932
// path ending in '\'). `leaveOut` names a field "table/field" that is not
// created, so that reading it fails.
inline bool WriteHandMadeDataSet(const std::string& folder, int prefecture,
                                 const std::vector<TableRows>& tables,
                                 const std::string& leaveOut = std::string()) {
  char name[32];
  std::snprintf(name, sizeof name, "QVAD%02d", prefecture);
  const std::string ndb = folder + name + ".NDB";
  const std::string tix = folder + name + ".TIX";
  {
    CTableDatabase db;
    if (!db.Create(ndb.c_str())) return false;
    for (const auto& [table, fields] : MatcherFields()) {
      if (!db.CreateTable(table)) return false;
      for (const char* field : fields) {
        if (leaveOut == std::string(table) + "/" + field) continue;
        if (!db.AddField(table, field, IsIntField(field) ? kTdbInt : kTdbString, 0, nullptr,
                         nullptr, 0, 0)) {
          return false;
        }
      }
    }
    if (!db.UpdateMaxRecordSize()) return false;
    for (const TableRows& t : tables) {
      for (const Row& row : t.rows) {
        const uint32_t record = db.AddRecord(t.table);
        if (record == 0) return false;
        for (const auto& [field, value] : row) {
          if (leaveOut == std::string(t.table) + "/" + field) continue;
          const int ok =
              IsIntField(field)
                  ? db.SetInt(record, t.table, field.c_str(), std::atoi(value.c_str()))
                  : (value.empty() ? 1
                                   : db.SetString(record, t.table, field.c_str(), value.c_str()));
          if (!ok) return false;
        }
      }
    }
  }
  std::string error;
  const bool ok = tixbuild::BuildIndexFromDatabase(ndb.c_str(), tix.c_str(), 1, &error);
  if (!ok) ADD_FAILURE() << error;
  return ok;
}

}  // namespace matchtest
