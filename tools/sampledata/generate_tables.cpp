// The table database of one prefecture: the five TC_ tables, rows in the
// order of the description, normalised names computed here.
#include <cstdint>
#include <string>
#include <vector>

#include "common/message.h"
#include "plat/file.h"
#include "tabledb/table_database.h"
#include "tabledb/tdb_format.h"
#include "tools/sampledata/generate.h"

namespace sampledata {
namespace {

constexpr int32_t kString = 9;
constexpr int32_t kInt = 6;

struct FieldSpec {
  const char* name;
  int32_t type;
  int32_t declaredLength;  // stored only; nothing reads it
};

// A value of a row: the text of a STRING field or the number of an INT.
struct Value {
  std::string text;
  int32_t number = 0;
};
Value Text(std::string s) { return Value{std::move(s), 0}; }
Value Number(int32_t n) { return Value{std::string(), n}; }

constexpr FieldSpec kPrefectureFields[] = {
    {"都道府県コード", kString, 2},
    {"都道府県名", kString, 64},
    {"かな読み都道府県名", kString, 64},
    {"正規都道府県名", kString, 64},
    {"正規かな読み都道府県名", kString, 64},
    {"緯度", kInt, 4},
    {"経度", kInt, 4},
};

constexpr FieldSpec kMunicipalityFields[] = {
    {"都道府県コード", kString, 2},
    {"行政JISコード", kString, 5},
    {"郡名", kString, 64},
    {"市区町村名", kString, 64},
    {"かな読み郡名", kString, 64},
    {"かな読み市区町村名", kString, 64},
    {"正規郡名", kString, 64},
    {"正規市区町村名", kString, 64},
    {"正規かな読み郡名", kString, 64},
    {"正規かな読み市区町村名", kString, 64},
    {"緯度", kInt, 4},
    {"経度", kInt, 4},
    {"状態フラグ", kString, 1},
};

constexpr FieldSpec kOazaFields[] = {
    {"行政JISコード", kString, 5},
    {"地名コード", kString, 11},
    {"グループコード", kString, 8},
    {"大字通称名", kString, 128},
    {"かな読み大字通称名", kString, 128},
    {"字丁目名", kString, 128},
    {"かな読み字丁目名", kString, 128},
    {"正規大字通称名", kString, 128},
    {"正規かな読み大字通称名", kString, 128},
    {"正規字丁目名", kString, 128},
    {"正規かな読み字丁目名", kString, 128},
    {"制御コード", kInt, 4},
    {"大字代表点フラグ", kString, 1},
    {"状態フラグ", kString, 1},
    {"座標精度", kString, 5},
    {"郵便番号", kString, 7},
    {"緯度", kInt, 4},
    {"経度", kInt, 4},
};

constexpr FieldSpec kBlockFields[] = {
    {"地名コード", kString, 11},
    {"街区番号コード", kString, 5},
    {"街区番号", kString, 32},
    {"状態フラグ", kString, 1},
    {"住居表示フラグ", kString, 1},
    {"座標精度", kString, 5},
    {"緯度", kInt, 4},
    {"経度", kInt, 4},
};

// Never read by the system; written with its fields and no record.
constexpr FieldSpec kLotFields[] = {
    {"地名コード", kString, 11}, {"街区番号コード", kString, 5},
    {"地番コード", kString, 5},  {"地番", kString, 32},
    {"状態フラグ", kString, 1},  {"座標精度", kString, 5},
    {"緯度", kInt, 4},           {"経度", kInt, 4},
};

struct TableSpec {
  const char* name;
  const FieldSpec* fields;
  std::size_t count;
};

template <std::size_t N>
constexpr TableSpec Table(const char* name, const FieldSpec (&fields)[N]) {
  return TableSpec{name, fields, N};
}

constexpr TableSpec kTables[] = {
    Table("TC_Todoufuken", kPrefectureFields),
    Table("TC_Shikutyoson", kMunicipalityFields),
    Table("TC_Oaza", kOazaFields),
    Table("TC_Gaiku", kBlockFields),
    Table("TC_Chiban", kLotFields),
};

class CTableWriter {
 public:
  CTableWriter(CTableDatabase* db, const std::string& path, CSampleDictionaries* dictionaries,
               char* msg)
      : db_(db), path_(path), dictionaries_(dictionaries), msg_(msg) {}

  int Define() {
    for (const TableSpec& t : kTables) {
      if (db_->CreateTable(t.name) == 0) return Fail("テーブルの作成に失敗しました！", t.name);
      for (std::size_t i = 0; i < t.count; ++i) {
        const FieldSpec& f = t.fields[i];
        if (db_->AddField(t.name, f.name, f.type, f.declaredLength, nullptr, nullptr, 0, 0) == 0) {
          return Fail("フィールドの作成に失敗しました！", f.name);
        }
      }
    }
    if (!db_->UpdateMaxRecordSize()) return Fail("データベースの更新に失敗しました！", "");
    return 1;
  }

  // Appends one record; values in the order of the table's fields. An
  // empty text is left unset (position 0, read as "").
  int Add(const TableSpec& t, const std::vector<Value>& values, int line, uint32_t* position) {
    if (values.size() != t.count) return Fail("フィールドの数が一致しません！", t.name);
    const uint32_t record = db_->AddRecord(t.name);
    if (record == 0) return Fail("レコードの追加に失敗しました！", t.name);
    for (std::size_t i = 0; i < t.count; ++i) {
      const FieldSpec& f = t.fields[i];
      int ok = 1;
      if (f.type == kInt) {
        ok = db_->SetInt(record, t.name, f.name, values[i].number);
      } else if (!values[i].text.empty()) {
        ok = db_->SetString(record, t.name, f.name, values[i].text.c_str());
      }
      if (!ok) {
        SetMessage(
            msg_, "データベースの値の設定に失敗しました！[DATABASE:%s][TABLE:%s][FIELD:%s] line %d",
            path_.c_str(), t.name, f.name, line);
        return 0;
      }
    }
    *position = record;
    return 1;
  }

  // The normalised form of a text for a row of a description file.
  int Normalized(const std::string& text, const char* file, int line, std::string* out) {
    if (dictionaries_->Normalize(text, out)) return 1;
    SetMessage(msg_, "%s line %d: 正規化に失敗しました！(%s)", file, line, text.c_str());
    return 0;
  }

 private:
  int Fail(const char* what, const char* name) {
    SetMessage(msg_, "%s[DATABASE:%s][%s]", what, path_.c_str(), name);
    return 0;
  }

  CTableDatabase* db_;
  std::string path_;
  CSampleDictionaries* dictionaries_;
  char* msg_;
};

bool InPrefecture(const std::string& code, const std::string& prefecture) {
  return code.compare(0, prefecture.size(), prefecture) == 0;
}

int WriteRows(CTableWriter* w, const Description& d, const std::string& pref,
              RecordPositions* pos) {
  const char* kPrefFile = DescriptionFileName(DescriptionFile::Prefectures);
  const char* kCityFile = DescriptionFileName(DescriptionFile::Municipalities);
  const char* kOazaFile = DescriptionFileName(DescriptionFile::Oaza);
  std::string n1, n2, n3, n4;

  for (std::size_t i = 0; i < d.prefectures.size(); ++i) {
    const PrefectureRow& r = d.prefectures[i];
    if (r.code != pref) continue;
    if (!w->Normalized(r.name, kPrefFile, r.line, &n1) ||
        !w->Normalized(r.kana, kPrefFile, r.line, &n2) ||
        !w->Add(kTables[0],
                {Text(r.code), Text(r.name), Text(r.kana), Text(n1), Text(n2), Number(r.latitude),
                 Number(r.longitude)},
                r.line, &pos->prefectures[i])) {
      return 0;
    }
  }
  for (std::size_t i = 0; i < d.municipalities.size(); ++i) {
    const MunicipalityRow& r = d.municipalities[i];
    if (r.prefectureCode != pref) continue;
    if (!w->Normalized(r.county, kCityFile, r.line, &n1) ||
        !w->Normalized(r.name, kCityFile, r.line, &n2) ||
        !w->Normalized(r.countyKana, kCityFile, r.line, &n3) ||
        !w->Normalized(r.kana, kCityFile, r.line, &n4) ||
        !w->Add(kTables[1],
                {Text(r.prefectureCode), Text(r.code), Text(r.county), Text(r.name),
                 Text(r.countyKana), Text(r.kana), Text(n1), Text(n2), Text(n3), Text(n4),
                 Number(r.latitude), Number(r.longitude), Text(r.status)},
                r.line, &pos->municipalities[i])) {
      return 0;
    }
  }
  for (std::size_t i = 0; i < d.oaza.size(); ++i) {
    const OazaRow& r = d.oaza[i];
    if (!InPrefecture(r.cityCode, pref)) continue;
    if (!w->Normalized(r.oazaName, kOazaFile, r.line, &n1) ||
        !w->Normalized(r.oazaKana, kOazaFile, r.line, &n2) ||
        !w->Normalized(r.chomeName, kOazaFile, r.line, &n3) ||
        !w->Normalized(r.chomeKana, kOazaFile, r.line, &n4) ||
        !w->Add(kTables[2],
                {Text(r.cityCode), Text(r.placeCode), Text(r.groupCode), Text(r.oazaName),
                 Text(r.oazaKana), Text(r.chomeName), Text(r.chomeKana), Text(n1), Text(n2),
                 Text(n3), Text(n4), Number(r.control), Text(r.representative), Text(r.status),
                 Text(r.precision), Text(r.postalCode), Number(r.latitude), Number(r.longitude)},
                r.line, &pos->oaza[i])) {
      return 0;
    }
  }
  for (std::size_t i = 0; i < d.blocks.size(); ++i) {
    const BlockRow& r = d.blocks[i];
    if (!InPrefecture(r.placeCode, pref)) continue;
    if (!w->Add(kTables[3],
                {Text(r.placeCode), Text(r.code), Text(r.name), Text(r.status),
                 Text(r.residenceFlag), Text(r.precision), Number(r.latitude), Number(r.longitude)},
                r.line, &pos->blocks[i])) {
      return 0;
    }
  }
  return 1;
}

}  // namespace

int WriteTableDatabase(const Description& d, const std::string& prefectureCode,
                       const std::string& path, CSampleDictionaries* dictionaries,
                       RecordPositions* positions, char* msg) {
  RecordPositions pos;
  pos.prefectures.assign(d.prefectures.size(), 0);
  pos.municipalities.assign(d.municipalities.size(), 0);
  pos.oaza.assign(d.oaza.size(), 0);
  pos.blocks.assign(d.blocks.size(), 0);

  CTableDatabase db;
  if (!db.Create(path.c_str())) {
    SetMessage(msg, "ファイルの作成に失敗しました！(%s)", path.c_str());
    return 0;
  }
  CTableWriter writer(&db, path, dictionaries, msg);
  const int ok = writer.Define() && WriteRows(&writer, d, prefectureCode, &pos);
  db.Close();
  if (!ok) {
    plat::File::Remove(path.c_str());
    return 0;
  }
  if (positions) *positions = std::move(pos);
  return 1;
}

}  // namespace sampledata
