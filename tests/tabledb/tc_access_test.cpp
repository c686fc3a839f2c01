#include "tabledb/tc_access.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/file_access.h"
#include "common/message.h"
#include "common/sjis_text.h"
#include "support/test_util.h"
#include "tabledb/address_dataset.h"
#include "tabledb/code_index_files.h"
#include "tabledb/data_source.h"
#include "tabledb/table_database.h"
#include "tabledb/table_sorter.h"

using addrtest::Dataset;
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

std::string Le32(const std::vector<uint32_t>& values) {
  std::string s;
  for (uint32_t v : values) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
  }
  return s;
}

// A database with table T: a STRING key K per record; the records'
// positions by value.
struct KeyTable {
  TempDir dir;
  std::string path = dir.Sys("KEYS.NDB");
  CTableDatabase db;
  std::vector<uint32_t> records;

  explicit KeyTable(const std::vector<std::string>& values) {
    EXPECT_EQ(db.Create(path.c_str()), 1);
    EXPECT_NE(db.CreateTable("T"), 0u);
    EXPECT_NE(db.AddField("T", "K", kTdbString, 0, nullptr, nullptr, 0, 0), 0u);
    EXPECT_NE(db.AddField("T", "N", kTdbInt, 0, nullptr, nullptr, 0, 0), 0u);
    EXPECT_EQ(db.UpdateMaxRecordSize(), 1);
    for (const std::string& v : values) {
      const uint32_t r = db.AddRecord("T");
      EXPECT_EQ(db.SetString(r, "T", "K", v.c_str()), 1);
      records.push_back(r);
    }
  }
  // An index file of the records at these value indexes, open for reading.
  bool WriteIndex(const std::vector<int>& order, plat::File* file) {
    std::vector<uint32_t> positions;
    for (int i : order) positions.push_back(i < 0 ? 0xFFFFFF00u : records[i]);
    file->Close();
    return testutil::WriteBytes(dir.Native("KEYS_CD9.INX"), Le32(positions)) &&
           OpenFileForRead(file, dir.Sys("KEYS_CD9.INX").c_str());
  }
};

}  // namespace

// ---------------------------------------------------------------------------
// Field access

TEST(TcAccessFields, ReadsTypedFieldsAndNamesWhatFailed) {
  TempDir dir;
  Records records;
  ASSERT_TRUE(addrtest::WriteDatabase(dir.Sys("QVAD13.NDB"), addrtest::Tokyo(), &records));
  const std::string ndb = dir.Sys("QVAD13.NDB");
  CTableDatabase db;
  ASSERT_EQ(db.Open(ndb.c_str()), 1);
  const uint32_t pref = records.prefectures[0];
  char msg[kMessageSize] = "";
  char text[kFieldValueSize] = "";
  int32_t value = 0;

  ASSERT_EQ(ReadStringField(&db, pref, "TC_Todoufuken", "正規都道府県名", text, sizeof text, msg),
            1);
  EXPECT_STREQ(text, "東京都");
  ASSERT_EQ(ReadIntField(&db, pref, "TC_Todoufuken", "経度", &value, msg), 1);
  EXPECT_EQ(value, 503165554);
  ASSERT_EQ(ReadStringField(&db, records.oaza[1], "TC_Oaza", "行政JISコード", text, sizeof text,
                            msg),
            1);
  EXPECT_STREQ(text, "13101");

  // Fields in definition order, each STRING and INT 4 bytes: 緯度 is the
  // fourth field of TC_Todoufuken.
  int32_t type = 0, attribute = -1;
  uint32_t position = 0, size = 0;
  ASSERT_EQ(ReadFieldInfo(&db, "TC_Todoufuken", "緯度", &type, &attribute, &position, &size, msg),
            1);
  EXPECT_EQ(type, kTdbInt);
  EXPECT_EQ(attribute, 0);
  EXPECT_EQ(position, 13u);
  EXPECT_EQ(size, 4u);
  ASSERT_EQ(ReadFieldInfo(&db, "TC_Oaza", "地名コード", &type, nullptr, &position, nullptr, msg), 1);
  EXPECT_EQ(type, kTdbString);
  EXPECT_EQ(position, 5u);

  const std::string valueError = "データベースの値の取得に失敗しました！[DATABASE:" + ndb + "]";
  const struct {
    const char* what;
    const char* table;
    const char* field;
    bool asInt;
    std::size_t size;
  } failures[] = {
      {"INT field read as text", "TC_Todoufuken", "緯度", false, sizeof text},
      {"STRING field read as INT", "TC_Todoufuken", "正規都道府県名", true, 0},
      {"unknown field", "TC_Todoufuken", "都道府県名", false, sizeof text},
      {"unknown table", "TC_Chiban", "地名コード", true, 0},
      // 東京都 is 6 bytes: it needs 7 with its NUL.
      {"text longer than the buffer", "TC_Todoufuken", "正規都道府県名", false, 6},
  };
  for (const auto& f : failures) {
    std::strcpy(text, "old");
    const int r = f.asInt ? ReadIntField(&db, pref, f.table, f.field, &value, msg)
                          : ReadStringField(&db, pref, f.table, f.field, text, f.size, msg);
    EXPECT_EQ(r, 0) << f.what;
    EXPECT_EQ(std::string(msg), valueError + "[TABLE:" + f.table + "][FIELD:" + f.field + "]")
        << f.what << ": " << Show(msg);
    if (!f.asInt) {
      EXPECT_STREQ(text, "") << f.what;
    }
  }
  EXPECT_EQ(ReadFieldInfo(&db, "TC_Todoufuken", "標高", &type, &attribute, &position, &size, msg),
            0);
  EXPECT_EQ(std::string(msg), "データベースのフィールド情報の取得に失敗しました！[DATABASE:" + ndb +
                                  "][TABLE:TC_Todoufuken][FIELD:標高]")
      << Show(msg);
  // A record position that is no record.
  EXPECT_EQ(ReadIntField(&db, 3, "TC_Todoufuken", "緯度", &value, nullptr), 0);
  EXPECT_EQ(ReadStringField(nullptr, pref, "TC_Todoufuken", "正規都道府県名", text, sizeof text, msg),
            0);
  EXPECT_EQ(std::string(msg), "データベースの値の取得に失敗しました！[DATABASE:]"
                              "[TABLE:TC_Todoufuken][FIELD:正規都道府県名]");
}

// ---------------------------------------------------------------------------
// Halving search

TEST(SortedIndexSearch, HandWorkedCases) {
  KeyTable t({"01", "03", "05", "a", "b", "c"});
  plat::File file;
  auto find = [&](uint32_t lo, uint32_t hi, const char* key) {
    return FindInSortedIndexFile(&t.db, &file, lo, hi, "T", "K", key);
  };
  auto first = [&](uint32_t lo, uint32_t hi, const char* key) {
    return FindFirstInSortedIndexFile(&t.db, &file, lo, hi, "T", "K", key);
  };

  ASSERT_TRUE(t.WriteIndex({0, 1, 2}, &file));
  const std::pair<const char*, uint32_t> three[] = {
      {"01", 1}, {"03", 2}, {"05", 3}, {"04", 0}, {"00", 0}, {"06", 0}, {"", 0}, {"0", 0},
      {"030", 0}};
  for (const auto& [key, slot] : three) EXPECT_EQ(find(1, 3, key), slot) << key;
  EXPECT_EQ(find(1, 3, nullptr), 0u);
  EXPECT_EQ(find(2, 1, "03"), 0u) << "hi below lo";
  EXPECT_EQ(find(1, 1, "01"), 1u) << "one slot";
  EXPECT_EQ(find(2, 2, "01"), 0u) << "one slot, another key";
  EXPECT_EQ(find(1, 0, "01"), 0u) << "empty file";
  EXPECT_EQ(find(2, 3, "01"), 0u) << "key before lo";
  EXPECT_EQ(find(1, 4, "05"), 0u) << "slot 4 is past the end of the file";
  EXPECT_EQ(find(0, 3, "03"), 0u) << "slot 0 does not exist";
  // Another field, another table, no database, no file: nothing readable.
  EXPECT_EQ(FindInSortedIndexFile(&t.db, &file, 1, 3, "T", "N", "03"), 0u);
  EXPECT_EQ(FindInSortedIndexFile(&t.db, &file, 1, 3, "U", "K", "03"), 0u);
  EXPECT_EQ(FindInSortedIndexFile(nullptr, &file, 1, 3, "T", "K", "03"), 0u);
  EXPECT_EQ(FindInSortedIndexFile(&t.db, nullptr, 1, 3, "T", "K", "03"), 0u);

  // A slot whose position is no record ends the search where it is read.
  ASSERT_TRUE(t.WriteIndex({0, -1, 2}, &file));
  EXPECT_EQ(find(1, 3, "03"), 0u);
  EXPECT_EQ(find(1, 3, "05"), 3u) << "the middle slot is never read";

  // a b b b c: the halving stops on the middle b; the first is slot 2.
  ASSERT_TRUE(t.WriteIndex({3, 4, 4, 4, 5}, &file));
  EXPECT_EQ(find(1, 5, "b"), 3u);
  EXPECT_EQ(first(1, 5, "b"), 2u);
  EXPECT_EQ(first(3, 5, "b"), 3u) << "not stepping below lo";
  EXPECT_EQ(first(1, 5, "bb"), 0u);
  // A run that reaches slot 1.
  ASSERT_TRUE(t.WriteIndex({4, 4, 4, 5}, &file));
  EXPECT_EQ(first(1, 4, "b"), 1u);
  // A bad slot met while stepping back fails the search.
  ASSERT_TRUE(t.WriteIndex({-1, 4, 4, 5}, &file));
  EXPECT_EQ(first(1, 4, "b"), 0u);
  EXPECT_EQ(find(2, 4, "b"), 2u);
}

// Every sorted arrangement of up to 8 slots over three values, every key:
// the search finds a slot of the key exactly when the key is there, and
// the first-of-run search the first such slot.
TEST(SortedIndexSearch, AgreesWithALinearScanOnEverySortedArray) {
  const char* values[] = {"1", "2", "3"};
  KeyTable t({values[0], values[1], values[2]});
  plat::File file;
  const char* keys[] = {"0", "1", "15", "2", "3", "4"};
  int arrays = 0;
  for (int length = 0; length <= 8; ++length) {
    // Counts of "1" and "2"; the rest "3".
    for (int ones = 0; ones <= length; ++ones) {
      for (int twos = 0; ones + twos <= length; ++twos) {
        std::vector<int> order;
        for (int i = 0; i < length; ++i) order.push_back(i < ones ? 0 : i < ones + twos ? 1 : 2);
        ASSERT_TRUE(t.WriteIndex(order, &file));
        ++arrays;
        for (const char* key : keys) {
          uint32_t expectFirst = 0;
          for (int i = 0; i < length && !expectFirst; ++i) {
            if (std::strcmp(values[order[i]], key) == 0) expectFirst = static_cast<uint32_t>(i + 1);
          }
          const uint32_t slot =
              FindInSortedIndexFile(&t.db, &file, 1, static_cast<uint32_t>(length), "T", "K", key);
          const uint32_t firstSlot = FindFirstInSortedIndexFile(
              &t.db, &file, 1, static_cast<uint32_t>(length), "T", "K", key);
          SCOPED_TRACE(std::to_string(ones) + "/" + std::to_string(twos) + "/" +
                       std::to_string(length) + " key " + key);
          EXPECT_EQ(firstSlot, expectFirst);
          if (expectFirst == 0) {
            EXPECT_EQ(slot, 0u);
          } else {
            ASSERT_GE(slot, expectFirst);
            EXPECT_EQ(order[slot - 1], order[expectFirst - 1]);
          }
        }
      }
    }
  }
  EXPECT_EQ(arrays, 165);
}

TEST(SortedIndexSearch, OverATableSortersPositions) {
  KeyTable t({"k3", "k1", "k2", "k1", "k5", "k3", "k3"});
  CDataSource source;
  ASSERT_EQ(source.CreateMemory(64, 64), 1);
  CTableSorter sorter;
  ASSERT_EQ(sorter.Setup(&source, &t.db, "T", 1), 1);
  ASSERT_NE(sorter.AddKey("K", kSortAscending), 0);
  uint32_t start = 0, count = 0;
  ASSERT_EQ(sorter.Build(&start, &count), 1);
  ASSERT_EQ(count, 7u);
  // Sorted: k1 k1 k2 k3 k3 k3 k5.
  const std::pair<const char*, uint32_t> firsts[] = {
      {"k1", 1}, {"k2", 3}, {"k3", 4}, {"k5", 7}, {"k4", 0}, {"k0", 0}, {"k6", 0}, {"", 0}};
  for (const auto& [key, slot] : firsts) {
    EXPECT_EQ(FindFirstInSortedRecordFile(&sorter, 1, count, "T", "K", key), slot) << key;
    const uint32_t any = FindInSortedRecordFile(&sorter, 1, count, "T", "K", key);
    if (slot == 0) {
      EXPECT_EQ(any, 0u) << key;
    } else {
      char text[kFieldValueSize];
      ASSERT_EQ(t.db.GetString(sorter.GetPositionAt(any), "T", "K", text, sizeof text), 1);
      EXPECT_STREQ(text, key);
    }
  }
  EXPECT_EQ(FindInSortedRecordFile(&sorter, 1, count + 1, "T", "K", "k5"), 0u)
      << "slot past the array";
  EXPECT_EQ(FindInSortedRecordFile(nullptr, 1, count, "T", "K", "k5"), 0u);
}

// ---------------------------------------------------------------------------
// Code index files and the lookups through them

namespace {

// Reads the slots of an index file as record positions.
std::vector<uint32_t> Slots(const std::string& nativePath) {
  const std::string bytes = testutil::ReadBytes(nativePath);
  std::vector<uint32_t> out;
  for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) {
    uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = (v << 8) | static_cast<unsigned char>(bytes[i + k]);
    out.push_back(v);
  }
  return out;
}

std::string LowerAscii(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

}  // namespace

class CodeIndexFiles : public ::testing::TestWithParam<bool> {};

// Both prefectures with their code indexes; with the parameter true every
// file name on disk is turned to lower case while the system asks for the
// upper-case names.
TEST_P(CodeIndexFiles, EveryRowIsFoundThroughEveryIndex) {
  const bool lower = GetParam();
  TempDir dir;
  const char* titles[2] = {"QVAD13", "QVAD27"};
  const Dataset data[2] = {addrtest::Tokyo(), addrtest::Osaka()};
  Records records[2];
  for (int p = 0; p < 2; ++p) {
    std::string error;
    ASSERT_TRUE(addrtest::BuildPrefectureFiles(dir.Sys(""), titles[p], data[p], 2, &records[p],
                                               &error))
        << error;
  }
  if (lower) {
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
      const std::string name = e.path().filename().string();
      std::filesystem::rename(e.path(), dir.Native(LowerAscii(name)));
    }
    ASSERT_FALSE(testutil::Exists(dir.Native("QVAD13_CD3.INX")));
    ASSERT_TRUE(testutil::Exists(dir.Native("qvad13_cd3.inx")));
  }
  auto native = [&](const std::string& name) {
    return dir.Native(lower ? LowerAscii(name) : name);
  };

  for (int p = 0; p < 2; ++p) {
    SCOPED_TRACE(titles[p]);
    const std::string ndb = dir.Sys(std::string(titles[p]) + ".NDB");
    CTableDatabase db;
    ASSERT_EQ(db.Open(ndb.c_str()), 1);
    EXPECT_EQ(testutil::ReadBytes(native(std::string(titles[p]) + "_CDG.TIX")),
              testutil::ReadBytes(native(std::string(titles[p]) + "_CDG.INX")));

    for (const CodeIndexFile& f : kCodeIndexFiles) {
      SCOPED_TRACE(std::string(f.suffix) + f.extension);
      const std::string name = std::string(titles[p]) + f.suffix + f.extension;
      char path[kCodeIndexPathSize];
      ASSERT_EQ(MakeCodeIndexPath(ndb.c_str(), f.suffix, path, sizeof path, f.extension), 1);
      EXPECT_EQ(std::string(path), dir.Sys(name));
      // Each record of the table once, in ascending key order.
      const std::vector<uint32_t> slots = Slots(native(name));
      uint32_t rows = 0;
      ASSERT_EQ(CountTableRecords(&db, f.table, &rows), 1);
      ASSERT_EQ(slots.size(), rows);
      std::vector<std::string> keys;
      for (uint32_t r : slots) {
        char text[kFieldValueSize];
        ASSERT_EQ(db.GetString(r, f.table, f.field, text, sizeof text), 1);
        keys.push_back(text);
      }
      for (std::size_t i = 1; i < keys.size(); ++i) {
        EXPECT_LE(CompareStrings(keys[i - 1].c_str(), keys[i].c_str()), 0);
      }
      // Every key through the open file: the first slot of its run.
      plat::File file;
      ASSERT_EQ(OpenFileForRead(&file, path), 1);
      for (std::size_t i = 0; i < keys.size(); ++i) {
        if (keys[i].empty()) continue;
        std::size_t firstOfRun = i;
        while (firstOfRun > 0 && keys[firstOfRun - 1] == keys[i]) --firstOfRun;
        EXPECT_EQ(FindFirstInSortedIndexFile(&db, &file, 1, rows, f.table, f.field,
                                             keys[i].c_str()),
                  firstOfRun + 1)
            << Show(keys[i]);
        const uint32_t any =
            FindInSortedIndexFile(&db, &file, 1, rows, f.table, f.field, keys[i].c_str());
        ASSERT_NE(any, 0u);
        EXPECT_EQ(keys[any - 1], keys[i]);
      }
    }

    // The group code of every TC_Oaza row by its place code.
    for (std::size_t i = 0; i < data[p].oaza.size(); ++i) {
      const auto& row = data[p].oaza[i];
      char group[kFieldValueSize] = "old";
      char msg[kMessageSize] = "";
      ASSERT_EQ(LookupGroupCodeByPlaceCode(&db, row.code.c_str(), group, sizeof group, msg), 1)
          << row.code << " " << Show(msg);
      EXPECT_EQ(group, row.group) << row.code;
      // Only the first 11 bytes count.
      ASSERT_EQ(LookupGroupCodeByPlaceCode(&db, (row.code + "99").c_str(), group, sizeof group,
                                           msg),
                1);
      EXPECT_EQ(group, row.group);
    }
    char group[kFieldValueSize] = "old";
    char msg[kMessageSize] = "";
    const std::string missing = std::string(titles[p]).substr(4) + "999999999";
    EXPECT_EQ(LookupGroupCodeByPlaceCode(&db, missing.c_str(), group, sizeof group, msg), 0);
    EXPECT_EQ(msg, NotFound(ndb, "TC_Oaza", "地名コード", missing)) << Show(msg);
    EXPECT_STREQ(group, "");
  }
}

INSTANTIATE_TEST_SUITE_P(FileNameCase, CodeIndexFiles, ::testing::Values(false, true));

TEST(LookupGroupCodeByPlaceCode, RefusesShortCodesAndReportsAMissingIndex) {
  TempDir dir;
  Records records;
  std::string error;
  ASSERT_TRUE(addrtest::BuildPrefectureFiles(dir.Sys(""), "QVAD13", addrtest::Tokyo(), 1,
                                             &records, &error))
      << error;
  const std::string ndb = dir.Sys("QVAD13.NDB");
  CTableDatabase db;
  ASSERT_EQ(db.Open(ndb.c_str()), 1);
  char group[16];
  char msg[kMessageSize];

  ASSERT_EQ(LookupGroupCodeByPlaceCode(&db, "13102002000", group, sizeof group, msg), 1);
  EXPECT_STREQ(group, "1310202");
  // The group code needs 8 bytes with its NUL.
  EXPECT_EQ(LookupGroupCodeByPlaceCode(&db, "13102002000", group, 7, msg), 0);
  EXPECT_EQ(std::string(msg), "データベースの値の取得に失敗しました！[DATABASE:" + ndb +
                                  "][TABLE:TC_Oaza][FIELD:グループコード]");

  ASSERT_TRUE(std::filesystem::remove(dir.Native("QVAD13_CD3.INX")));
  // 10 characters: refused before the index is looked for.
  EXPECT_EQ(LookupGroupCodeByPlaceCode(&db, "1310100100", group, sizeof group, msg), 0);
  EXPECT_EQ(msg, NotFound(ndb, "TC_Oaza", "地名コード", "1310100100")) << Show(msg);
  EXPECT_EQ(LookupGroupCodeByPlaceCode(&db, "13101001001", group, sizeof group, msg), 0);
  EXPECT_EQ(std::string(msg), "ファイルオープンエラー!(" + dir.Sys("QVAD13_CD3.INX") + ")")
      << Show(msg);
  EXPECT_EQ(LookupGroupCodeByPlaceCode(nullptr, "13101001001", group, sizeof group, msg), 0);
  EXPECT_EQ(LookupGroupCodeByPlaceCode(&db, nullptr, group, sizeof group, msg), 0);
}

TEST(BuildCodeIndexFiles, FailsWholeAndRemovesWhatItWrote) {
  TempDir dir;
  char msg[kMessageSize];
  EXPECT_EQ(BuildCodeIndexFiles(dir.Sys("QVAD13.NDB").c_str(), msg), 0);
  EXPECT_EQ(std::string(msg), "ファイルオープンエラー!(" + dir.Sys("QVAD13.NDB") + ")");
  // A database without TC_Gaiku: _CD4 cannot be written, and the three
  // before it are removed again.
  Dataset d = addrtest::Tokyo();
  Records records;
  ASSERT_TRUE(addrtest::WriteDatabase(dir.Sys("QVAD13.NDB"), d, &records));
  {
    CTableDatabase db;
    ASSERT_EQ(db.OpenForUpdate(dir.Sys("QVAD13.NDB").c_str()), 1);
    ASSERT_EQ(db.DropTable("TC_Gaiku"), 1);
  }
  EXPECT_EQ(BuildCodeIndexFiles(dir.Sys("QVAD13.NDB").c_str(), msg), 0);
  EXPECT_EQ(std::string(msg), "ファイルの作成に失敗しました！(" + dir.Sys("QVAD13_CD4.INX") + ")");
  for (const char* name : {"QVAD13_CD1.INX", "QVAD13_CD2.INX", "QVAD13_CD3.INX",
                           "QVAD13_CD4.INX", "QVAD13_CD5.INX"}) {
    EXPECT_FALSE(testutil::Exists(dir.Native(name))) << name;
  }
}

TEST(MakeCodeIndexPath, SameFolderAndTitleWithTheSuffix) {
  const struct {
    const char* database;
    const char* suffix;
    const char* extension;
    const char* expected;
  } cases[] = {
      {"D:\\data\\QVAD13.NDB", "_CD3", ".INX", "D:\\data\\QVAD13_CD3.INX"},
      {"/data/qvad13.ndb", "_CDG", ".TIX", "/data/qvad13_CDG.TIX"},
      {"QVAD01", "_CD1", ".INX", "QVAD01_CD1.INX"},
      // 表 ends in 0x5C: the folder ends at the real separator.
      {"C:\\表\\QVAD13.NDB", "_CD2", ".INX", "C:\\表\\QVAD13_CD2.INX"},
      {"C:\\a.b\\QVAD13.NDB", "_CD5", ".INX", "C:\\a.b\\QVAD13_CD5.INX"},
  };
  for (const auto& c : cases) {
    char out[kCodeIndexPathSize];
    ASSERT_EQ(MakeCodeIndexPath(c.database, c.suffix, out, sizeof out, c.extension), 1)
        << Show(c.database);
    EXPECT_STREQ(out, c.expected) << Show(c.database);
  }
  char small[14];
  EXPECT_EQ(MakeCodeIndexPath("QVAD01.NDB", "_CD1", small, sizeof small), 0);
  EXPECT_STREQ(small, "");
  EXPECT_EQ(MakeCodeIndexPath("QVAD1.NDB", "_CD1", small, sizeof small), 1);
  EXPECT_STREQ(small, "QVAD1_CD1.INX");
}

// ---------------------------------------------------------------------------
// Codes and placeholder names

TEST(PrepareCodeAndName, FullWidthNameForAnEmptyOneThenZeroPaddedCode) {
  const struct {
    const char* code;
    const char* name;
    std::size_t codeSize;
    std::size_t nameSize;
    const char* codeAfter;
    const char* nameAfter;
  } cases[] = {
      {"12", "", 16, 16, "00012", "１２"},
      {"13101", "千代田区", 16, 16, "13101", "千代田区"},
      {"7", "x", 16, 16, "00007", "x"},
      {"123456", "", 16, 16, "123456", "１２３４５６"},
      {"A12", "", 16, 16, "00A12", "Ａ１２"},
      // No room for five digits: the code stays; the name is still made.
      {"12", "", 5, 16, "12", "１２"},
      {"12", "", 6, 16, "00012", "１２"},
      // No room for the full-width name (４ bytes + NUL): it stays empty.
      {"12", "", 16, 4, "00012", ""},
      {"12", "", 16, 5, "00012", "１２"},
  };
  for (const auto& c : cases) {
    char code[16];
    char name[16];
    std::strcpy(code, c.code);
    std::strcpy(name, c.name);
    EXPECT_EQ(PrepareCodeAndName(code, c.codeSize, name, c.nameSize), code);
    EXPECT_STREQ(code, c.codeAfter) << c.code << " " << c.codeSize << "/" << c.nameSize;
    EXPECT_STREQ(name, c.nameAfter) << Show(name) << " " << c.codeSize << "/" << c.nameSize;
  }
  char code[8] = "5";
  EXPECT_EQ(PrepareCodeAndName(code, sizeof code, nullptr, 0), code);
  EXPECT_STREQ(code, "00005");
  EXPECT_EQ(PrepareCodeAndName(nullptr, 0, nullptr, 0), nullptr);
}

TEST(PlaceholderNames, OazaAndChomeForms) {
  // 0x88 0x91 is one kanji; the bytes after it hold 大字なし shifted by one
  // byte, which is no occurrence of it.
  const char shifted[] = "\x88\x91\xE5\x8E\x9A\x82\xC8\x82\xB5";
  const struct {
    const char* name;
    int32_t kana;
    int oaza;
    int chome;
  } cases[] = {
      {"", 0, 1, 1},
      {nullptr, 0, 1, 1},
      {"", 1, 1, 1},
      {"大字なし地区", 0, 1, 0},
      {"（大字なし）", 0, 1, 0},
      {"大字なし", 0, 1, 0},
      {"大字", 0, 0, 0},
      {"丸の内", 0, 0, 0},
      {"おおあざなし", 0, 0, 0},
      {"大字なし地区", 1, 0, 0},
      {"おおあざなしちく", 1, 1, 0},
      {"（おおあざなし）", 1, 1, 0},
      {"まるのうち", 1, 0, 0},
      {"丁目なし地区", 0, 0, 1},
      {"丁目なし", 0, 0, 0},
      {"一丁目", 0, 0, 0},
      {"丁目なし地区", 1, 0, 0},
      {"ちょうもくなしちく", 1, 0, 1},
      {"ちょうもくなし", 1, 0, 0},
      {shifted, 0, 0, 0},
  };
  for (const auto& c : cases) {
    const std::string shown = c.name ? Show(c.name) : "(null)";
    EXPECT_EQ(IsNoOazaName(c.name, c.kana), c.oaza) << shown << " kana " << c.kana;
    EXPECT_EQ(IsNoChomeName(c.name, c.kana), c.chome) << shown << " kana " << c.kana;
  }
}

TEST(PlaceholderNames, PairsTurnIntoTheDistrictPlaceholder) {
  const struct {
    const char* kanji;  // null: absent
    const char* kana;
    int32_t kanaSwitch;
    bool chome;
    int result;
    const char* kanjiAfter;
    const char* kanaAfter;
  } cases[] = {
      {"（大字なし）", "（おおあざなし）", 0, false, 1, "大字なし地区", "おおあざなしちく"},
      {"丸の内", "", 0, false, 0, "丸の内", ""},
      // With the switch on the reading decides.
      {"丸の内", "", 1, false, 1, "大字なし地区", "おおあざなしちく"},
      {"", "まるのうち", 1, false, 0, "", "まるのうち"},
      {nullptr, "おおあざなし", 1, false, 1, nullptr, "おおあざなしちく"},
      {"大字なし", nullptr, 0, false, 1, "大字なし地区", nullptr},
      // The deciding name absent: nothing changes.
      {"", nullptr, 1, false, 0, "", nullptr},
      {"", "", 0, true, 1, "丁目なし地区", "ちょうもくなしちく"},
      {"一丁目", "", 0, true, 0, "一丁目", ""},
      {"一丁目", "ちょうもくなしちく", 1, true, 1, "丁目なし地区", "ちょうもくなしちく"},
      {"丁目なし", "ちょうもくなし", 0, true, 0, "丁目なし", "ちょうもくなし"},
  };
  for (const auto& c : cases) {
    char kanji[64];
    char kana[64];
    if (c.kanji) std::strcpy(kanji, c.kanji);
    if (c.kana) std::strcpy(kana, c.kana);
    char* k1 = c.kanji ? kanji : nullptr;
    char* k2 = c.kana ? kana : nullptr;
    const int r = c.chome ? NormalizeNoChomePair(k1, k2, c.kanaSwitch, 64)
                          : NormalizeNoOazaPair(k1, k2, c.kanaSwitch, 64);
    const std::string what = Show(c.kanji ? c.kanji : "(null)") + "/" +
                             Show(c.kana ? c.kana : "(null)") + " switch " +
                             std::to_string(c.kanaSwitch);
    EXPECT_EQ(r, c.result) << what;
    if (c.kanji) {
      EXPECT_STREQ(kanji, c.kanjiAfter) << what << ": " << Show(kanji);
    }
    if (c.kana) {
      EXPECT_STREQ(kana, c.kanaAfter) << what << ": " << Show(kana);
    }
  }
  // おおあざなしちく needs 17 bytes: a smaller buffer leaves both as they are.
  char kanji[32] = "";
  char kana[32] = "";
  EXPECT_EQ(NormalizeNoOazaPair(kanji, kana, 0, 16), 0);
  EXPECT_STREQ(kanji, "");
  EXPECT_STREQ(kana, "");
  EXPECT_EQ(NormalizeNoOazaPair(kanji, kana, 0, 17), 1);
  EXPECT_STREQ(kana, "おおあざなしちく");
}
