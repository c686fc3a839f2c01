#include "tools/tixbuild/address_tree.h"

#include <cstdint>
#include <map>

#include "plat/cp932.h"
#include "tabledb/table_database.h"

namespace tixbuild {

namespace {

// One row of a level, flat: its record, its key for the children, and the
// indexes of its children in the next level.
struct Row {
  uint32_t record = 0;
  std::string key;
  std::vector<std::size_t> children;
};

std::string Show(const char* cp932) { return plat::cp932::ToUtf8Display(cp932); }

// The record positions of a table in chain order.
bool ListRecords(CTableDatabase* db, const char* table, std::vector<uint32_t>* records,
                 std::string* error) {
  uint32_t count = 0;
  const uint32_t position = db->FindTable(table);
  TdbTableEntry entry;
  if (!position || !db->ReadTableEntry(position, &entry) || !CountTableRecords(db, table, &count)) {
    *error = "table " + Show(table) + " cannot be read";
    return false;
  }
  uint32_t record = entry.firstRecord;
  for (uint32_t i = 0; i < count && record != 0; ++i) {
    records->push_back(record);
    TdbRecordHeader header;
    if (!db->ReadRecordHeader(record, &header)) {
      *error = "a record of " + Show(table) + " cannot be read";
      return false;
    }
    record = header.nextRecord;
  }
  return true;
}

bool ReadText(CTableDatabase* db, uint32_t record, const char* table, const char* field,
              std::string* out, std::string* error) {
  char text[1024];
  if (!db->GetString(record, table, field, text, sizeof text)) {
    *error = "field " + Show(field) + " of " + Show(table) + " cannot be read";
    return false;
  }
  *out = text;
  return true;
}

// The first n bytes of a code; false when it is shorter.
bool Prefix(const std::string& code, std::size_t n, std::string* out, const char* what,
            std::string* error) {
  if (code.size() < n) {
    *error = std::string(what) + " \"" + Show(code.c_str()) + "\" is too short";
    return false;
  }
  *out = code.substr(0, n);
  return true;
}

// Hangs row (by index) under the parent row with that key.
bool Attach(std::vector<Row>* parents, const std::map<std::string, std::size_t>& byKey,
            const std::string& key, std::size_t child, const char* table, std::string* error) {
  auto found = byKey.find(key);
  if (found == byKey.end()) {
    *error = "a row of " + Show(table) + " has no parent with code " + Show(key.c_str());
    return false;
  }
  (*parents)[found->second].children.push_back(child);
  return true;
}

bool Index(const std::vector<Row>& rows, std::map<std::string, std::size_t>* byKey,
           const char* table, std::string* error) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (!byKey->emplace(rows[i].key, i).second) {
      *error = "code " + Show(rows[i].key.c_str()) + " occurs twice in " + Show(table);
      return false;
    }
  }
  return true;
}

Node MakeNode(const std::vector<Row> levels[kLevels], int level, std::size_t index) {
  Node node;
  node.record = levels[level][index].record;
  if (level + 1 < kLevels) {
    for (std::size_t child : levels[level][index].children) {
      node.children.push_back(MakeNode(levels, level + 1, child));
    }
  }
  return node;
}

// The rows of each level and the index of their keys.
struct AddressLevels {
  std::vector<Row> levels[kLevels];
  std::map<std::string, std::size_t> byKey[kLevels];
};

// Level 0: the prefectures, keyed by their 2-digit code.
bool ReadPrefectures(CTableDatabase* db, AddressLevels* t, std::string* error) {
  const char* const kPrefectures = "TC_Todoufuken";
  std::vector<uint32_t> records;
  std::string code;
  if (!ListRecords(db, kPrefectures, &records, error)) return false;
  for (uint32_t record : records) {
    Row row;
    row.record = record;
    if (!ReadText(db, record, kPrefectures, "都道府県コード", &code, error) ||
        !Prefix(code, 2, &row.key, "prefecture code", error)) {
      return false;
    }
    t->levels[0].push_back(row);
  }
  return Index(t->levels[0], &t->byKey[0], kPrefectures, error);
}

// Level 1: the municipalities under their prefectures.
bool ReadCities(CTableDatabase* db, AddressLevels* t, std::string* error) {
  const char* const kCities = "TC_Shikutyoson";
  std::vector<uint32_t> records;
  std::string code;
  if (!ListRecords(db, kCities, &records, error)) return false;
  for (uint32_t record : records) {
    Row row;
    row.record = record;
    std::string parent;
    if (!ReadText(db, record, kCities, "行政JISコード", &code, error) ||
        !Prefix(code, 5, &row.key, "municipality code", error) ||
        !Prefix(code, 2, &parent, "municipality code", error) ||
        !Attach(&t->levels[0], t->byKey[0], parent, t->levels[1].size(), kCities, error)) {
      return false;
    }
    t->levels[1].push_back(row);
  }
  return Index(t->levels[1], &t->byKey[1], kCities, error);
}

// Levels 2 and 3: the oaza rows first, then the aza/chome rows under them.
bool ReadOazaAndChome(CTableDatabase* db, AddressLevels* t, std::string* error) {
  const char* const kOaza = "TC_Oaza";
  std::vector<uint32_t> records;
  std::string code;
  if (!ListRecords(db, kOaza, &records, error)) return false;
  std::vector<std::pair<uint32_t, std::string>> chomeRows;
  for (uint32_t record : records) {
    std::string flag;
    if (!ReadText(db, record, kOaza, "地名コード", &code, error) ||
        !ReadText(db, record, kOaza, "大字代表点フラグ", &flag, error)) {
      return false;
    }
    if (flag == "0") {
      chomeRows.emplace_back(record, code);
      continue;
    }
    if (flag != "1") {
      *error = "oaza representative flag \"" + Show(flag.c_str()) + "\" is neither 0 nor 1";
      return false;
    }
    Row row;
    row.record = record;
    std::string parent;
    if (!Prefix(code, 8, &row.key, "place code", error) ||
        !Prefix(code, 5, &parent, "place code", error) ||
        !Attach(&t->levels[1], t->byKey[1], parent, t->levels[2].size(), kOaza, error)) {
      return false;
    }
    t->levels[2].push_back(row);
  }
  if (!Index(t->levels[2], &t->byKey[2], kOaza, error)) return false;
  for (const auto& [record, placeCode] : chomeRows) {
    Row row;
    row.record = record;
    std::string parent;
    if (!Prefix(placeCode, 11, &row.key, "place code", error) ||
        !Prefix(placeCode, 8, &parent, "place code", error) ||
        !Attach(&t->levels[2], t->byKey[2], parent, t->levels[3].size(), kOaza, error)) {
      return false;
    }
    t->levels[3].push_back(row);
  }
  return Index(t->levels[3], &t->byKey[3], kOaza, error);
}

// Level 4: the blocks under their aza/chome rows.
bool ReadBlocks(CTableDatabase* db, AddressLevels* t, std::string* error) {
  const char* const kBlocks = "TC_Gaiku";
  std::vector<uint32_t> records;
  std::string code;
  if (!ListRecords(db, kBlocks, &records, error)) return false;
  for (uint32_t record : records) {
    Row row;
    row.record = record;
    std::string parent;
    if (!ReadText(db, record, kBlocks, "地名コード", &code, error) ||
        !Prefix(code, 11, &parent, "place code", error) ||
        !Attach(&t->levels[3], t->byKey[3], parent, t->levels[4].size(), kBlocks, error)) {
      return false;
    }
    t->levels[4].push_back(row);
  }
  return true;
}

}  // namespace

bool CollectAddressTree(CTableDatabase* db, std::vector<Node>* prefectures, std::string* error) {
  AddressLevels t;
  if (!ReadPrefectures(db, &t, error) || !ReadCities(db, &t, error) ||
      !ReadOazaAndChome(db, &t, error) || !ReadBlocks(db, &t, error))
    return false;
  prefectures->clear();
  for (std::size_t i = 0; i < t.levels[0].size(); ++i) {
    prefectures->push_back(MakeNode(t.levels, 0, i));
  }
  return true;
}

bool BuildIndexFromDatabase(const char* ndbPath, const char* tixPath, int kind,
                            std::string* error) {
  CTableDatabase db;
  if (!db.Open(ndbPath)) {
    *error = "cannot open the table database";
    return false;
  }
  std::vector<Node> prefectures;
  const bool collected = CollectAddressTree(&db, &prefectures, error);
  db.Close();
  return collected && WriteIndexFile(tixPath, prefectures, kind, error);
}

}  // namespace tixbuild
