// The name tables kept between processes: a later process takes from the
// store exactly the table it would have made, for every municipality and
// oaza list of a folder, each under its own identity; a value that is no
// finished table of its rows is never taken, and the table is kept again.
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
#include "plat/derived_store.h"
#include "platform/src/derived_store_detail.h"
#include "sample_folder.h"
#include "support/test_util.h"
#include "tools/sampledata/description.h"
#include "tools/sampledata/generate.h"
#include "tools/sampledata/national.h"

namespace {

using matchtest::DataSet;
using testutil::ScopedEnv;
using testutil::Show;

// The same table: every list of it (its image, byte for byte).
void ExpectSameTable(const NameTable& made, const NameTable& stored, const std::string& what) {
  EXPECT_EQ(stored.complete, made.complete) << what;
  EXPECT_EQ(stored.extraSignature, made.extraSignature) << what;
  EXPECT_EQ(stored.Keyed(), made.Keyed()) << what;
  EXPECT_FALSE(made.Image().empty()) << what;
  EXPECT_TRUE(stored.Image() == made.Image()) << what;
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
      ASSERT_EQ(t.storeKey, key) << "one key for the folder";
      writer.Add(t.identity, *t.table);
    }
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
  ~NameTableStoreTest() override { plat::detail::ForgetDerivedStore(); }
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

// A value cut short anywhere, or longer, is never taken; a table is found
// only under its own key, identity and rows. Keeping the table again mends
// the value.
TEST_F(NameTableStoreTest, AValueCutShortOrOfOtherRowsIsNeverTakenAndIsKeptAgain) {
  const OneTable t = SomeOazaTable();
  // An oaza table of kanji names: filed by the names' firm keys (and by
  // their heads those without a key).
  ASSERT_TRUE(t.table && t.table->complete && t.table->Keyed() &&
              t.table->KeyCount() + t.table->Heads().size() > 2);
  {
    CNameTableStore writer(t.key);
    ASSERT_TRUE(writer.Add(t.identity, *t.table));
  }
  std::string whole;
  {
    plat::DerivedStore store;
    std::string_view value;
    ASSERT_TRUE(store.Get(NameTableStoreKey(t.key, t.identity), value));
    whole = std::string(value);
  }
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
  const plat::DerivedKey key = NameTableStoreKey(t.key, t.identity);
  for (std::size_t at = 0; at < whole.size(); at += std::max<std::size_t>(1, whole.size() / 97)) {
    ASSERT_TRUE(plat::DerivedStore::Put(key, whole.substr(0, at)));
    NameTable none;
    EXPECT_FALSE(FoundAlone(t, &none)) << "cut at " << at;
  }
  ASSERT_TRUE(plat::DerivedStore::Put(key, whole + '\0'));
  NameTable none;
  EXPECT_FALSE(FoundAlone(t, &none)) << "longer";
  {
    CNameTableStore writer(t.key);
    ASSERT_TRUE(writer.Add(t.identity, *t.table));
  }
  NameTable again;
  ASSERT_TRUE(FoundAlone(t, &again));
  ExpectSameTable(*t.table, again, "written again");
}

// Each table is a value of its own: adding one is one write transaction
// that leaves the others as they are; a table that is not complete is
// never kept.
TEST_F(NameTableStoreTest, AddingATableWritesItAloneAndKeepsTheOthers) {
  const OneTable t = SomeOazaTable();
  ASSERT_TRUE(t.table && t.table->complete);
  NameTable partial;
  partial.AddName(1, "丸の内", nullptr, true, true);
  CNameTableStore writer(t.key);
  EXPECT_FALSE(writer.Add(t.identity, partial));
  ASSERT_TRUE(writer.Add(t.identity, *t.table));
  std::vector<std::string> others;
  for (int i = 0; i < 150; ++i) others.push_back(t.identity + "#" + std::to_string(i));
  for (const std::string& other : others) {
    const std::uint64_t before = plat::detail::DerivedStoreLastTransaction();
    ASSERT_TRUE(writer.Add(other, *t.table));
    EXPECT_EQ(plat::detail::DerivedStoreLastTransaction(), before + 1) << other;
  }
  EXPECT_EQ(plat::detail::DerivedStoreEntries().size(), others.size() + 1);
  others.push_back(t.identity);
  for (const std::string& identity : others) {
    NameTable table;
    table.extraSignature = t.table->extraSignature;
    ASSERT_TRUE(FoundAlone({t.key, identity, t.count, t.table}, &table)) << identity;
    ExpectSameTable(*t.table, table, identity);
  }
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
