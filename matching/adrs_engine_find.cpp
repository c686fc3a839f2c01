// Child lookups of CAdrsEngine: the entry under a parent whose row has a
// name or a code (see the table in matching/adrs_engine.h).

#include <cstring>
#include <string>

#include "common/sjis_text.h"
#include "matching/adrs_engine.h"
#include "tabledb/table_names.h"
#include "tabledb/tc_access.h"

namespace {

// Entry numbers are 16-bit: a longer level cannot be counted further.
constexpr uint32_t kMaxEntryNumber = 0xFFFF;

const char* Value(const char* text) { return text ? text : ""; }

}  // namespace

// What a lookup compares: the row's text (the concatenation of one or two
// fields) against the value, by one of the tests.
struct CAdrsEngine::ChildTest {
  enum Kind {
    kEqual,        // the whole text equals the value
    kPrefix,       // the first prefixBytes bytes are equal
    kNoOazaRule,   // equal, or both placeholders by IsNoOazaName
    kNoChomeRule,  // equal, or both placeholders by IsNoChomeName
  };
  Kind kind;
  const char* table;
  const char* field1;
  const char* field2;  // null: one field
  const char* value;
  int32_t kana;
  std::size_t prefixBytes;
  const char* messageTable;
  const char* messageField;

  // 1 with *pass set, or 0 (with the field reader's message) when the row
  // cannot be read.
  int Passes(CTableDatabase* database, uint32_t record, int* pass, char* msg) const {
    std::string text;
    std::string second;
    if (!ReadStringField(database, record, table, field1, &text, msg)) return 0;
    if (field2) {
      if (!ReadStringField(database, record, table, field2, &second, msg)) return 0;
      text += second;
    }
    switch (kind) {
      case kEqual:
        *pass = CompareStrings(text.c_str(), value) == 0;
        break;
      case kPrefix:
        *pass = std::strncmp(text.c_str(), value, prefixBytes) == 0;
        break;
      case kNoOazaRule:
        *pass = IsNoOazaName(value, kana) ? IsNoOazaName(text.c_str(), kana)
                                          : CompareStrings(text.c_str(), value) == 0;
        break;
      case kNoChomeRule:
        *pass = IsNoChomeName(value, kana) ? IsNoChomeName(text.c_str(), kana)
                                           : CompareStrings(text.c_str(), value) == 0;
        break;
    }
    return 1;
  }
};

int CAdrsEngine::FindChild(int level, uint32_t childBase, uint32_t first, uint32_t count,
                           const ChildTest& test, uint16_t* entry, char* msg) {
  if (!CheckReady(msg)) return 0;
  if (first == 0) first = 1;
  if (count > kMaxEntryNumber) count = kMaxEntryNumber;
  for (uint32_t i = first; i <= count; ++i) {
    TixEntry e;
    if (!ReadEntryAt(level, childBase, static_cast<uint16_t>(i), &e, msg)) return 0;
    int pass = 0;
    if (!test.Passes(database_, e.record, &pass, msg)) return 0;
    if (pass) {
      if (entry) *entry = static_cast<uint16_t>(i);
      return 1;
    }
  }
  SetValueNotFoundMessage(msg, database_, test.messageTable, test.messageField, test.value);
  return 0;
}

// ---------------------------------------------------------------------------
// By name

int CAdrsEngine::FindPrefectureByName(const char* name, int32_t kana, uint16_t* entry, char* msg) {
  const ChildTest test{ChildTest::kEqual,
                       kTablePrefecture,
                       kana ? "正規かな読み都道府県名" : "正規都道府県名",
                       nullptr,
                       Value(name),
                       kana,
                       0,
                       kTablePrefecture,
                       "都道府県名"};
  return FindChild(kTixPrefecture, 0, 1, index_.Header().levels[kTixPrefecture].count, test, entry,
                   msg);
}

int CAdrsEngine::FindCityByName(const char* name, int32_t kana, uint32_t childBase,
                                uint16_t childCount, uint16_t* entry, char* msg) {
  const ChildTest test{ChildTest::kEqual,
                       kTableCity,
                       kana ? "正規かな読み郡名" : "正規郡名",
                       kana ? "正規かな読み市区町村名" : "正規市区町村名",
                       Value(name),
                       kana,
                       0,
                       kTableCity,
                       "市区町村名"};
  return FindChild(kTixCity, childBase, 1, childCount, test, entry, msg);
}

int CAdrsEngine::FindOazaByName(const char* name, int32_t kana, uint32_t childBase,
                                uint16_t childCount, uint16_t* entry, char* msg) {
  uint16_t n = 1;
  const int found = FindNextOazaByName(name, kana, childBase, childCount, &n, msg);
  if (found && entry) *entry = n;
  return found;
}

int CAdrsEngine::FindNextOazaByName(const char* name, int32_t kana, uint32_t childBase,
                                    uint16_t childCount, uint16_t* entry, char* msg) {
  const ChildTest test{ChildTest::kNoOazaRule,
                       kTableOaza,
                       kana ? "正規かな読み大字通称名" : "正規大字通称名",
                       nullptr,
                       Value(name),
                       kana,
                       0,
                       kTableOaza,
                       "大字通称名"};
  return FindChild(kTixOaza, childBase, entry ? *entry : 1, childCount, test, entry, msg);
}

int CAdrsEngine::FindChomeByName(const char* name, int32_t kana, uint32_t childBase,
                                 uint16_t childCount, uint16_t* entry, char* msg) {
  const ChildTest test{ChildTest::kNoChomeRule,
                       kTableOaza,
                       kana ? "正規かな読み字丁目名" : "正規字丁目名",
                       nullptr,
                       Value(name),
                       kana,
                       0,
                       kTableOaza,
                       "字丁目名"};
  return FindChild(kTixChome, childBase, 1, childCount, test, entry, msg);
}

// ---------------------------------------------------------------------------
// By code

int CAdrsEngine::FindPrefectureByCode(const char* code, uint16_t* entry, char* msg) {
  const ChildTest test{
      ChildTest::kPrefix, kTablePrefecture,    kFieldPrefectureCode, nullptr, Value(code), 0, 2,
      kTablePrefecture,   kFieldPrefectureCode};
  return FindChild(kTixPrefecture, 0, 1, index_.Header().levels[kTixPrefecture].count, test, entry,
                   msg);
}

int CAdrsEngine::FindCityByCode(const char* code, uint32_t childBase, uint16_t childCount,
                                uint16_t* entry, char* msg) {
  const ChildTest test{
      ChildTest::kPrefix, kTableCity,    kFieldCityCode, nullptr, Value(code), 0, 5,
      kTableCity,         kFieldCityCode};
  return FindChild(kTixCity, childBase, 1, childCount, test, entry, msg);
}

int CAdrsEngine::FindOazaByPlaceCode(const char* code, uint32_t childBase, uint16_t childCount,
                                     uint16_t* entry, char* msg) {
  const ChildTest test{
      ChildTest::kPrefix, kTableOaza,     kFieldPlaceCode, nullptr, Value(code), 0, 8,
      kTableOaza,         kFieldPlaceCode};
  return FindChild(kTixOaza, childBase, 1, childCount, test, entry, msg);
}

int CAdrsEngine::FindOazaByGroupCode(const char* code, uint32_t childBase, uint16_t childCount,
                                     uint16_t* entry, char* msg) {
  uint16_t n = 1;
  const int found = FindNextOazaByGroupCode(code, childBase, childCount, &n, msg);
  if (found && entry) *entry = n;
  return found;
}

int CAdrsEngine::FindNextOazaByGroupCode(const char* code, uint32_t childBase, uint16_t childCount,
                                         uint16_t* entry, char* msg) {
  const ChildTest test{
      ChildTest::kPrefix, kTableOaza,     kFieldGroupCode, nullptr, Value(code), 0, 8,
      kTableOaza,         kFieldGroupCode};
  return FindChild(kTixOaza, childBase, entry ? *entry : 1, childCount, test, entry, msg);
}

int CAdrsEngine::FindChomeByPlaceCode(const char* code, uint32_t childBase, uint16_t childCount,
                                      uint16_t* entry, char* msg) {
  const ChildTest test{
      ChildTest::kPrefix, kTableOaza,     kFieldPlaceCode, nullptr, Value(code), 0, 11,
      kTableOaza,         kFieldPlaceCode};
  return FindChild(kTixChome, childBase, 1, childCount, test, entry, msg);
}
