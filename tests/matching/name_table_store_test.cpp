// The name tables kept between processes: a later process takes from the
// cache file exactly the table it would have made, for every municipality
// and oaza list of a folder, each under its own identity; a file or section
// that does not check is never taken, and the table is stored again.
#include "matching/name_table_store.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/message.h"
#include "matching/adrs_engine.h"
#include "name_level_fixture.h"
#include "national_shape_folder.h"
#include "plat/cache_file.h"
#include "sample_folder.h"
#include "support/test_util.h"
#include "tools/sampledata/description.h"
#include "tools/sampledata/generate.h"
#include "tools/sampledata/national.h"

namespace {

using matchtest::DataSet;
using testutil::ScopedEnv;
using testutil::Show;

void ExpectSameTable(const NameTable& made, const NameTable& stored, const std::string& what) {
  EXPECT_EQ(stored.complete, made.complete) << what;
  EXPECT_EQ(stored.extraSignature, made.extraSignature) << what;
  EXPECT_EQ(stored.byHead, made.byHead) << what;
  EXPECT_EQ(stored.byPair, made.byPair) << what;
  EXPECT_EQ(stored.byWindow, made.byWindow) << what;
  EXPECT_EQ(stored.numeral, made.numeral) << what;
  EXPECT_EQ(stored.always, made.always) << what;
}

// One table of a folder: where it is stored and the table made now.
struct MadeTable {
  std::string storeKey;
  std::string identity;
  uint16_t count = 0;
  std::shared_ptr<const NameTable> table;
  std::string what;  // for messages
};

// The municipality table of every prefecture of the folder and the oaza
// table of every municipality, in both switches, made from the rows now;
// prefectures: those with data.
std::vector<MadeTable> EveryTableOf(const std::string& folder, CRecordList* extra,
                                    int* prefectures) {
  std::vector<MadeTable> tables;
  char msg[kMessageSize] = "";
  *prefectures = 0;
  for (int j = 1; j <= 47; ++j) {
    DataSet set;
    if (!set.Open(folder, j, 2)) continue;  // no data
    ++*prefectures;
    CAdrsEngine& engine = set.engine();
    engine.SetExtraReplacementList(extra);
    TixEntry prefecture;
    if (!engine.ReadPrefectureEntry(1, &prefecture, msg)) {
      ADD_FAILURE() << Show(msg);
      continue;
    }
    for (const int kana : {0, 1}) {
      auto add = [&](const char* what, uint32_t base, uint16_t count, auto made) {
        MadeTable t;
        t.count = count;
        t.what = std::string(what) + " of prefecture " + std::to_string(j) + " at " +
                 std::to_string(base) + " kana " + std::to_string(kana);
        EXPECT_TRUE(engine.NameTableIdentity(what, base, count, kana, &t.storeKey, &t.identity))
            << t.what;
        t.table = made;
        ASSERT_TRUE(t.table && t.table->complete) << t.what;
        tables.push_back(std::move(t));
      };
      add("municipality names", prefecture.childBase, prefecture.childCount,
          engine.MadeCityTable(prefecture.childBase, prefecture.childCount, kana));
      for (uint16_t n = 1; n <= prefecture.childCount; ++n) {
        TixEntry city;
        if (!engine.ReadCityEntry(prefecture.childBase, n, &city, msg)) {
          ADD_FAILURE() << Show(msg);
          continue;
        }
        add("oaza names", city.childBase, city.childCount,
            engine.MadeOazaTable(city.childBase, city.childCount, kana));
      }
    }
  }
  return tables;
}

// Stores every table (as the processes that met them would), then reads
// each back through a store of its own, as a later process does.
void ExpectEveryTableComesBackAsMade(const std::string& folder, CRecordList* extra, int prefectures,
                                     std::size_t atLeast) {
  int opened = 0;
  const std::vector<MadeTable> tables = EveryTableOf(folder, extra, &opened);
  EXPECT_EQ(opened, prefectures);
  ASSERT_GE(tables.size(), atLeast);
  const std::string key = tables[0].storeKey;
  {
    CNameTableStore writer(key);
    for (const MadeTable& t : tables) {
      ASSERT_EQ(t.storeKey, key) << "one file for the folder";
      writer.Add(t.identity, *t.table);
    }
    writer.Flush();
  }
  CNameTableStore reader(key);
  std::set<std::string> identities;
  for (const MadeTable& t : tables) {
    identities.insert(t.identity);
    NameTable stored;
    stored.extraSignature = t.table->extraSignature;
    ASSERT_TRUE(reader.Find(t.identity, t.count, &stored)) << t.what;
    ExpectSameTable(*t.table, stored, t.what);
  }
  // Each table (both switches, every list) under an identity of its own.
  EXPECT_EQ(identities.size(), tables.size());
}

class NameTableStoreTest : public ::testing::Test {
 protected:
  // The files written by the tests count as settled.
  const testutil::SettledClock settled_;
  testutil::TempDir cache_;
  const ScopedEnv xdg_{"XDG_CACHE_HOME", cache_.path().c_str()};
};

TEST_F(NameTableStoreTest, EveryTableOfTheSampleComesBackAsMade) {
  const std::string folder = sample::Folder();
  ASSERT_FALSE(folder.empty());
  ExpectEveryTableComesBackAsMade(folder, &matchtest::SampleDictionaries().user, 2, 26);
  ExpectEveryTableComesBackAsMade(folder, nullptr, 2, 26);
}

TEST_F(NameTableStoreTest, EveryTableOfANationalShapeComesBackAsMade) {
  testutil::TempDir dir;
  sampledata::Description d;
  std::string folder;
  ASSERT_TRUE(sample::MakeNationalShapeFolder(11, 4, dir, &d, &folder));
  ExpectEveryTableComesBackAsMade(folder, &matchtest::SampleDictionaries().user, 47, 3 * 47 * 2);
}

// A table of the sample's first prefecture, stored alone.
struct OneTable {
  std::string key;
  std::string identity;
  uint16_t count = 0;
  std::shared_ptr<const NameTable> table;
};

OneTable SomeOazaTable() {
  OneTable t;
  DataSet set;
  char msg[kMessageSize] = "";
  TixEntry prefecture;
  TixEntry city;
  if (!set.Open(sample::Folder(), 13, 2) ||
      !set.engine().ReadPrefectureEntry(1, &prefecture, msg) ||
      !set.engine().ReadCityEntry(prefecture.childBase, 1, &city, msg) ||
      !set.engine().NameTableIdentity("oaza names", city.childBase, city.childCount, 0, &t.key,
                                      &t.identity))
    return t;
  t.count = city.childCount;
  t.table = set.engine().MadeOazaTable(city.childBase, city.childCount, 0);
  return t;
}

bool FoundAlone(const OneTable& t, NameTable* out) {
  CNameTableStore reader(t.key);
  return reader.Find(t.identity, t.count, out);
}

// Every damage to the file: a byte changed anywhere (header, directory,
// section), the file cut short anywhere, another key's file in its place.
// None is ever taken; storing the table again mends the file.
TEST_F(NameTableStoreTest, ADamagedOrCutFileIsNeverTakenAndIsWrittenAgain) {
  const OneTable t = SomeOazaTable();
  ASSERT_TRUE(t.table && t.table->complete && t.table->byHead.size() > 2);
  {
    CNameTableStore writer(t.key);
    ASSERT_TRUE(writer.Add(t.identity, *t.table));
  }
  const std::string path = cache_.Native("kort") + "/" + CNameTableStore::FileName(t.key);
  const std::string whole = testutil::ReadBytes(path);
  ASSERT_FALSE(whole.empty());
  NameTable found;
  ASSERT_TRUE(FoundAlone(t, &found));
  ExpectSameTable(*t.table, found, "whole");
  // Not another identity, nor the same one with other rows.
  EXPECT_FALSE(FoundAlone({t.key, t.identity + "x", t.count, t.table}, &found));
  EXPECT_FALSE(FoundAlone({t.key + "x", t.identity, t.count, t.table}, &found));
  NameTable fewer;
  EXPECT_FALSE(
      FoundAlone({t.key, t.identity, static_cast<uint16_t>(t.count - 1), t.table}, &fewer));
  for (std::size_t at = 0; at < whole.size(); at += std::max<std::size_t>(1, whole.size() / 97)) {
    std::string damaged = whole;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x20);
    ASSERT_TRUE(testutil::WriteBytes(path, damaged));
    NameTable none;
    EXPECT_FALSE(FoundAlone(t, &none)) << "byte " << at;
    ASSERT_TRUE(testutil::WriteBytes(path, whole.substr(0, at)));
    EXPECT_FALSE(FoundAlone(t, &none)) << "cut at " << at;
  }
  // The table stored again over a damaged file: whole again.
  std::string damaged = whole;
  damaged[whole.size() - 3] ^= 1;
  ASSERT_TRUE(testutil::WriteBytes(path, damaged));
  {
    CNameTableStore writer(t.key);
    NameTable none;
    EXPECT_FALSE(writer.Find(t.identity, t.count, &none));
    ASSERT_TRUE(writer.Add(t.identity, *t.table));
  }
  EXPECT_EQ(testutil::ReadBytes(path), whole);
  NameTable again;
  ASSERT_TRUE(FoundAlone(t, &again));
  ExpectSameTable(*t.table, again, "written again");
}

// A store keeps the tables of the file when it adds its own, writes the
// first tables at once and later ones when they have grown by half the
// file; a table that is not complete is never stored. With a directory
// larger than the first read of the file, the entries are read as the
// look-ups need them; a damaged entry hides its table and no other.
TEST_F(NameTableStoreTest, AddingKeepsTheFilesTablesAndWritesLaterOnesInBatches) {
  const OneTable t = SomeOazaTable();
  ASSERT_TRUE(t.table && t.table->complete);
  NameTable partial;
  partial.AddName(1, "丸の内", nullptr, true, true);
  {
    CNameTableStore writer(t.key);
    EXPECT_FALSE(writer.Add(t.identity, partial));
    EXPECT_FALSE(writer.Flush());
    ASSERT_TRUE(writer.Add(t.identity, *t.table));
  }
  std::vector<std::string> others;
  for (int i = 0; i < 150; ++i) others.push_back(t.identity + "#" + std::to_string(i));
  CNameTableStore writer(t.key);
  int written = 0;
  for (const std::string& other : others) written += writer.Add(other, *t.table) ? 1 : 0;
  EXPECT_GE(written, 4);
  EXPECT_LT(written, 20);
  writer.Flush();
  EXPECT_FALSE(writer.Flush());  // nothing left to write
  NameTable found;
  ASSERT_TRUE(FoundAlone(t, &found));
  ExpectSameTable(*t.table, found, "first");
  for (const std::string& other : others) {
    NameTable table;
    table.extraSignature = t.table->extraSignature;
    ASSERT_TRUE(FoundAlone({t.key, other, t.count, t.table}, &table)) << other;
    ExpectSameTable(*t.table, table, other);
  }
  // A byte of the entry in the middle of the directory changed.
  const std::string path = cache_.Native("kort") + "/" + CNameTableStore::FileName(t.key);
  std::string bytes = testutil::ReadBytes(path);
  const std::size_t entries = others.size() + 1;
  const std::size_t entry = 5 * sizeof(uint64_t);
  // The sections begin with the first identity (each with its length
  // before it); the directory ends there, beyond the first read.
  const std::size_t sectionsAt = bytes.find(t.identity) - sizeof(uint32_t);
  ASSERT_GT(sectionsAt, 4096u);
  const std::size_t directoryAt = sectionsAt - entries * entry;
  bytes[directoryAt + entries / 2 * entry + 3 * sizeof(uint64_t) + 1] ^= 0x10;
  ASSERT_TRUE(testutil::WriteBytes(path, bytes));
  int taken = 0;
  others.push_back(t.identity);
  for (const std::string& identity : others) {
    NameTable table;
    table.extraSignature = t.table->extraSignature;
    if (!FoundAlone({t.key, identity, t.count, t.table}, &table)) continue;
    ++taken;
    ExpectSameTable(*t.table, table, identity);
  }
  EXPECT_EQ(taken, static_cast<int>(others.size()) - 1);
}

// Without a cache folder nothing is found or written, and nothing fails.
TEST(NameTableStore, WithoutACacheFolderTablesAreMadeAsBefore) {
  testutil::TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("plain"), "x"));
  const ScopedEnv xdg("XDG_CACHE_HOME", dir.Native("plain").c_str());
  const OneTable t = SomeOazaTable();
  ASSERT_TRUE(t.table && t.table->complete);
  CNameTableStore store(t.key);
  EXPECT_FALSE(store.Add(t.identity, *t.table));
  NameTable none;
  EXPECT_FALSE(CNameTableStore(t.key).Find(t.identity, t.count, &none));
  EXPECT_EQ(testutil::ReadBytes(dir.Native("plain")), "x");
}

}  // namespace
