#pragma once
// Access to the sample data folders generated in the build tree, and small
// readers over their table databases, for the verification tests.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "common/message.h"
#include "plat/cp932.h"
#include "plat/path.h"
#include "support/test_util.h"
#include "tabledb/table_database.h"
#include "tools/sampledata/description.h"

namespace gendata {

// The main folder (address index kind 2) or the kind-1 folder of the build
// tree ($KORT_BUILD_DIR, else the tree these tests were built in), as CP932
// paths ending in '\'; "" when the path has no CP932 form.
inline std::string SampleFolder(int kind) {
  const char* build = std::getenv("KORT_BUILD_DIR");
  // The compiled-in path as UTF-8 (a plain literal would be CP932).
  if (build == nullptr || *build == '\0') {
    build = reinterpret_cast<const char*>(u8"" KORT_TEST_BUILD_DIR);
  }
  std::string folder;
  if (build == nullptr || !plat::cp932::FromUtf8(build, folder)) return std::string();
  return folder + (kind == 1 ? "\\testdata\\tix1\\Database\\住所\\" : "\\Database\\住所\\");
}

// The committed description, loaded once.
inline const sampledata::Description& Sample() {
  static const sampledata::Description* d = [] {
    auto* loaded = new sampledata::Description;
    char msg[kMessageSize] = "";
    if (!sampledata::LoadDescription(sampledata::DefaultDescriptionFolder().c_str(), loaded, msg)) {
      ADD_FAILURE() << plat::cp932::ToUtf8Display(msg);
    }
    return loaded;
  }();
  return *d;
}

// Record-header positions of a table in chain order (empty on failure).
inline std::vector<uint32_t> TableRecords(CTableDatabase* db, const char* table) {
  std::vector<uint32_t> out;
  TdbTableEntry entry;
  const uint32_t at = db->FindTable(table);
  if (at == 0 || !db->ReadTableEntry(at, &entry)) return out;
  uint32_t count = 0;
  if (!CountTableRecords(db, table, &count)) return out;
  for (uint32_t p = entry.firstRecord; p != 0 && out.size() < count;) {
    out.push_back(p);
    TdbRecordHeader h;
    if (!db->ReadRecordHeader(p, &h)) return {};
    p = h.nextRecord;
  }
  return out;
}

inline std::string Text(CTableDatabase* db, uint32_t record, const char* table, const char* field) {
  char text[1024] = "";
  EXPECT_EQ(db->GetString(record, table, field, text, sizeof text), 1) << table << " " << field;
  return text;
}

inline int32_t Int(CTableDatabase* db, uint32_t record, const char* table, const char* field) {
  int32_t value = 0;
  EXPECT_EQ(db->GetInt(record, table, field, &value), 1) << table << " " << field;
  return value;
}

// name (UTF-8, as on disk) -> bytes, for every file of a folder.
inline std::map<std::string, std::string> FolderBytes(const std::string& cp932Folder) {
  std::map<std::string, std::string> out;
  std::string native;
  if (!plat::path::ToNative(cp932Folder.c_str(), native)) return out;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(native, ec)) {
    if (entry.is_regular_file()) {
      out[entry.path().filename().string()] = testutil::ReadBytes(entry.path().string());
    }
  }
  return out;
}

inline bool InPrefecture(const std::string& code, const std::string& prefecture) {
  return code.compare(0, prefecture.size(), prefecture) == 0;
}

}  // namespace gendata
