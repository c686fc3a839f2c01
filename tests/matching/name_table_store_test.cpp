// The name tables kept between processes: a later process takes from the
// store exactly the table it would have made, for every municipality and
// oaza list of a folder, each under its own identity; a value that is no
// finished table of its rows, or whose record in the store's file is
// damaged, is never taken, and the table is kept again.
#include "matching/name_table_store.h"

#include <gtest/gtest.h>

#include <algorithm>
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
#include "plat/file_stamp.h"
#include "platform/src/derived_store_detail.h"
#include "sample_folder.h"
#include "support/store_damage.h"
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
  StoredNameTableId id;
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
        EXPECT_TRUE(engine.NameTableIdentity(what, base, count, kana, &t.id)) << t.what;
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

// The store's key of a table as it names it: the folder and the item (the
// table's sources go with the value, not with its key).
std::string KeyText(const StoredNameTableId& id) {
  const plat::DerivedFolder folder = plat::DerivedFolderAt(id.folder);
  const plat::DerivedKey key = NameTableStoreKey(id, folder);
  return std::string(key.kind) + "|" + std::to_string(key.folder.device) + "|" +
         std::to_string(key.folder.inode) + "|" + std::to_string(key.format) + "|" +
         std::string(key.item);
}

// Stores every table (as the calls that met them would: each call's
// tables written when it ends), then reads each back as a later process
// does.
void ExpectEveryTableComesBackAsMade(const std::string& folder, CRecordList* extra, int prefectures,
                                     std::size_t atLeast) {
  int opened = 0;
  const std::vector<MadeTable> tables = EveryTableOf(folder, extra, &opened);
  EXPECT_EQ(opened, prefectures);
  ASSERT_GE(tables.size(), atLeast);
  const std::string dataFolder = tables[0].id.folder;
  ASSERT_TRUE(plat::DerivedFolderAt(dataFolder).Known()) << dataFolder;
  for (const MadeTable& t : tables) {
    ASSERT_EQ(t.id.folder, dataFolder) << "one folder for the tables";
    plat::StampScope call;
    ASSERT_TRUE(KeepStoredNameTable(t.id, *t.table)) << t.what;
  }
  // Each table (both switches, every list, every prefecture's files) a
  // value under a key of its own.
  std::set<std::string> keys;
  for (const MadeTable& t : tables) keys.insert(KeyText(t.id));
  EXPECT_EQ(keys.size(), tables.size());
  plat::detail::ForgetDerivedStore();
  for (const MadeTable& t : tables) {
    NameTable stored;
    stored.extraSignature = t.table->extraSignature;
    ASSERT_TRUE(FindStoredNameTable(t.id, t.count, &stored)) << t.what;
    ExpectSameTable(*t.table, stored, t.what);
  }
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
  StoredNameTableId id;
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
      !set.engine().NameTableIdentity("oaza names", city.childBase, city.childCount, 0, &t.id))
    return t;
  t.count = city.childCount;
  t.table = set.engine().MadeOazaTable(city.childBase, city.childCount, 0);
  return t;
}

// The table of the id, read as a new process reads it.
bool FoundAlone(const StoredNameTableId& id, uint16_t count, NameTable* out) {
  plat::detail::ForgetDerivedStore();
  return FindStoredNameTable(id, count, out);
}
bool FoundAlone(const OneTable& t, NameTable* out) { return FoundAlone(t.id, t.count, out); }

// The table's value as the store answers it ("" when it answers none).
std::string ValueOf(const StoredNameTableId& id) {
  plat::DerivedBytes value;
  return plat::GetDerived(NameTableStoreKey(id, plat::DerivedFolderAt(id.folder)), id.files, value)
             ? std::string(value.bytes)
             : std::string();
}

// Keeps bytes as the table's value (a sound record of the store, whatever
// the bytes).
bool PutValue(const StoredNameTableId& id, std::string_view bytes) {
  return plat::PutDerived(NameTableStoreKey(id, plat::DerivedFolderAt(id.folder)), id.files, bytes);
}

// Bytes kept as the value (sound records of the store) that are cut short
// anywhere, or longer, are never taken; a table is found only under its
// own folder, identity, files and rows. Keeping the table again mends the
// value.
TEST_F(NameTableStoreTest, AValueCutShortOrOfOtherRowsIsNeverTakenAndIsKeptAgain) {
  const OneTable t = SomeOazaTable();
  // An oaza table of kanji names: filed by the names' firm keys (and by
  // their heads those without a key).
  ASSERT_TRUE(t.table && t.table->complete && t.table->Keyed() &&
              t.table->KeyCount() + t.table->Heads().size() > 2);
  ASSERT_TRUE(KeepStoredNameTable(t.id, *t.table));
  const std::string whole = ValueOf(t.id);
  ASSERT_FALSE(whole.empty());
  NameTable found;
  ASSERT_TRUE(FoundAlone(t, &found));
  ExpectSameTable(*t.table, found, "whole");
  // Not another identity, nor another folder (one that exists, and one
  // that does not), nor other files, nor the same one with other rows.
  {
    StoredNameTableId other = t.id;
    other.item += "x";
    EXPECT_FALSE(FoundAlone(other, t.count, &found)) << "another identity";
  }
  testutil::TempDir elsewhere;
  for (const std::string& folder : {elsewhere.path(), t.id.folder + "x"}) {
    StoredNameTableId other = t.id;
    other.folder = folder;
    EXPECT_FALSE(FoundAlone(other, t.count, &found)) << folder;
  }
  for (int i = 0; i < 2; ++i) {
    StoredNameTableId other = t.id;
    other.files[i].changedNs += 1;
    EXPECT_FALSE(FoundAlone(other, t.count, &found)) << "file " << i << " changed";
    other.files[i] = plat::FileStamp();
    EXPECT_FALSE(FoundAlone(other, t.count, &found)) << "file " << i << " gone";
  }
  NameTable fewer;
  EXPECT_FALSE(FoundAlone(t.id, static_cast<uint16_t>(t.count - 1), &fewer));
  for (std::size_t at = 0; at < whole.size(); at += std::max<std::size_t>(1, whole.size() / 97)) {
    ASSERT_TRUE(PutValue(t.id, whole.substr(0, at)));
    ASSERT_EQ(ValueOf(t.id), whole.substr(0, at));
    NameTable none;
    EXPECT_FALSE(FoundAlone(t, &none)) << "cut at " << at;
  }
  ASSERT_TRUE(PutValue(t.id, whole + '\0'));
  NameTable none;
  EXPECT_FALSE(FoundAlone(t, &none)) << "longer";
  ASSERT_TRUE(KeepStoredNameTable(t.id, *t.table));
  NameTable again;
  ASSERT_TRUE(FoundAlone(t, &again));
  ExpectSameTable(*t.table, again, "written again");
}

// The table's record damaged in the store's file (its checksum no longer
// fits): not found at all, the store taken as damaged; keeping the table
// again puts a new store, which finds it, in the damaged one's place.
TEST_F(NameTableStoreTest, ARecordDamagedInTheStoreFileIsNotFoundAndTheTableIsKeptAgain) {
  const OneTable t = SomeOazaTable();
  ASSERT_TRUE(t.table && t.table->complete);
  ASSERT_TRUE(KeepStoredNameTable(t.id, *t.table));
  const std::string whole = ValueOf(t.id);
  ASSERT_FALSE(whole.empty());
  plat::detail::ForgetDerivedStore();
  ASSERT_GE(testutil::DamageValueInStoreFile(cache_.path() + "/kort/store.mdb", whole), 1);
  NameTable none;
  EXPECT_FALSE(FoundAlone(t, &none));
  EXPECT_TRUE(plat::detail::DerivedStoreFoundDamaged());
  ASSERT_TRUE(KeepStoredNameTable(t.id, *t.table));
  NameTable again;
  ASSERT_TRUE(FoundAlone(t, &again));
  ExpectSameTable(*t.table, again, "kept again");
}

// Each table is a value of its own: adding one outside a call is one
// write transaction that leaves the others as they are; the tables a call
// adds are written together when it ends; a table that is not complete is
// never kept.
TEST_F(NameTableStoreTest, AddingATableWritesItAloneAndKeepsTheOthers) {
  const OneTable t = SomeOazaTable();
  ASSERT_TRUE(t.table && t.table->complete);
  NameTable partial;
  partial.AddName(1, "丸の内", nullptr, true, true);
  EXPECT_FALSE(KeepStoredNameTable(t.id, partial));
  ASSERT_TRUE(KeepStoredNameTable(t.id, *t.table));
  auto other = [&](const std::string& suffix) {
    StoredNameTableId id = t.id;
    id.item += suffix;
    return id;
  };
  std::vector<StoredNameTableId> others;
  for (int i = 0; i < 150; ++i) {
    others.push_back(other("#" + std::to_string(i)));
    const std::uint64_t before = plat::detail::DerivedStoreLastTransaction();
    ASSERT_TRUE(KeepStoredNameTable(others.back(), *t.table));
    EXPECT_EQ(plat::detail::DerivedStoreLastTransaction(), before + 1) << i;
  }
  {
    const std::uint64_t before = plat::detail::DerivedStoreLastTransaction();
    {
      plat::StampScope call;
      for (int i = 0; i < 10; ++i) {
        others.push_back(other("@" + std::to_string(i)));
        ASSERT_TRUE(KeepStoredNameTable(others.back(), *t.table));
      }
      EXPECT_EQ(plat::detail::DerivedStoreLastTransaction(), before) << "not before the call ends";
    }
    EXPECT_EQ(plat::detail::DerivedStoreLastTransaction(), before + 1) << "the call's tables";
  }
  EXPECT_EQ(plat::detail::DerivedStoreEntries().size(), others.size() + 1);
  others.push_back(t.id);
  for (std::size_t i = 0; i < others.size(); ++i) {
    NameTable table;
    table.extraSignature = t.table->extraSignature;
    ASSERT_TRUE(FoundAlone(others[i], t.count, &table)) << i;
    ExpectSameTable(*t.table, table, "table " + std::to_string(i));
  }
}

// Without a cache folder nothing is found or written, and nothing fails.
TEST(NameTableStore, WithoutACacheFolderTablesAreMadeAsBefore) {
  testutil::TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("plain"), "x"));
  const ScopedEnv xdg("XDG_CACHE_HOME", dir.Native("plain").c_str());
  const OneTable t = SomeOazaTable();
  ASSERT_TRUE(t.table && t.table->complete);
  EXPECT_FALSE(KeepStoredNameTable(t.id, *t.table));
  NameTable none;
  EXPECT_FALSE(FindStoredNameTable(t.id, t.count, &none));
  EXPECT_EQ(testutil::ReadBytes(dir.Native("plain")), "x");
}

}  // namespace
