#pragma once
// Small table databases for the tests of the sorter and the record index.

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "tabledb/table_database.h"

namespace tabletest {

struct FieldDef {
  const char* name;
  int32_t type;
};

// Adds a table with the fields to an open database and makes room for its
// records. Returns false on any failure.
inline bool AddTable(CTableDatabase& db, const char* table,
                     std::initializer_list<FieldDef> fields) {
  if (db.CreateTable(table) == 0) return false;
  for (const FieldDef& f : fields) {
    if (db.AddField(table, f.name, f.type, 0, nullptr, nullptr, 0, 0) == 0) return false;
  }
  return db.UpdateMaxRecordSize() == 1;
}

// Appends a record whose STRING fields take the texts in order (one text
// per name); its record position, 0 on failure.
inline uint32_t AddTextRecord(CTableDatabase& db, const char* table,
                              const std::vector<const char*>& fields,
                              const std::vector<std::string>& texts) {
  const uint32_t record = db.AddRecord(table);
  if (record == 0) return 0;
  for (std::size_t i = 0; i < fields.size() && i < texts.size(); ++i) {
    if (!db.SetString(record, table, fields[i], texts[i].c_str())) return 0;
  }
  return record;
}

// The 4-byte little-endian slots of a position file's bytes.
inline std::vector<uint32_t> Slots(const std::string& bytes) {
  std::vector<uint32_t> slots;
  for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + i);
    slots.push_back(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24));
  }
  return slots;
}

inline std::string Text(CTableDatabase& db, uint32_t record, const char* table, const char* field) {
  char text[512];
  if (!db.GetString(record, table, field, text, sizeof text)) return "<unreadable>";
  return text;
}

}  // namespace tabletest
