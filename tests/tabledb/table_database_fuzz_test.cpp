// Damaged database files: truncated and bit-flipped copies of a small valid
// database are opened and read through, table by table, field by field and
// record by record. They must give failures, never a crash, a hang or an
// access outside a buffer (the sanitizer build checks the last).

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/test_util.h"
#include "tabledb/table_database.h"

using testutil::TempDir;

namespace {

// What a read-through saw.
struct Summary {
  int tables = 0;
  int fields = 0;
  uint32_t records = 0;
  int values = 0;     // successful typed reads
  std::string texts;  // every text read, joined
};

void Build(const std::string& path) {
  CTableDatabase db;
  ASSERT_EQ(db.Create(path.c_str()), 1);
  ASSERT_NE(db.CreateTable("TC_Oaza"), 0u);
  ASSERT_NE(db.CreateTable("TC_Gaiku"), 0u);
  ASSERT_NE(db.AddField("TC_Oaza", "地名コード", kTdbString, 11, "code", "地名", 0, 0), 0u);
  ASSERT_NE(db.AddField("TC_Oaza", "x", kTdbInt, 0, nullptr, nullptr, 0, 0), 0u);
  ASSERT_NE(db.AddField("TC_Oaza", "d", kTdbDouble, 0, nullptr, nullptr, 0, 0), 0u);
  ASSERT_NE(db.AddField("TC_Oaza", "w", kTdbWord, 0, nullptr, nullptr, 0, 0), 0u);
  ASSERT_NE(db.AddField("TC_Oaza", "p", kTdbStringPair, 0, nullptr, nullptr, 0, 0), 0u);
  ASSERT_NE(db.AddField("TC_Oaza", "t", kTdbStringTriple, 0, nullptr, nullptr, 0, 0), 0u);
  ASSERT_NE(db.AddField("TC_Oaza", "q", kTdbQuad, 0, nullptr, nullptr, 0, 0), 0u);
  const uint32_t obj = db.AddField("TC_Oaza", "obj", kTdbDword, 0, nullptr, nullptr, 0, 0);
  ASSERT_NE(obj, 0u);
  TdbFieldEntry entry;
  ASSERT_EQ(db.ReadFieldEntry(obj, &entry), 1);
  entry.type = kTdbObject;
  ASSERT_EQ(db.WriteFieldEntry(obj, &entry), 1);
  ASSERT_NE(db.AddField("TC_Gaiku", "街区", kTdbString, 0, nullptr, nullptr, 0, 0), 0u);
  ASSERT_NE(db.AddField("TC_Gaiku", "n", kTdbShort, 0, nullptr, nullptr, 0, 0), 0u);
  ASSERT_EQ(db.UpdateMaxRecordSize(), 1);
  const char* names[] = {"丸の内", "大手町", "表参道"};
  const int32_t quad[4] = {1, -2, 3, -4};
  for (int i = 0; i < 3; ++i) {
    const uint32_t r = db.AddRecord("TC_Oaza");
    ASSERT_NE(r, 0u);
    ASSERT_EQ(db.SetString(r, "TC_Oaza", "地名コード", "13101001000"), 1);
    ASSERT_EQ(db.SetInt(r, "TC_Oaza", "x", 503000000 + i), 1);
    ASSERT_EQ(db.SetDouble(r, "TC_Oaza", "d", 35.5 + i), 1);
    ASSERT_EQ(db.SetWord(r, "TC_Oaza", "w", static_cast<uint16_t>(i)), 1);
    ASSERT_EQ(db.SetStringPair(r, "TC_Oaza", "p", names[i], "まるのうち"), 1);
    ASSERT_EQ(db.SetStringTriple(r, "TC_Oaza", "t", "a", names[i], ""), 1);
    ASSERT_EQ(db.SetQuad(r, "TC_Oaza", "q", quad), 1);
    ASSERT_EQ(db.SetObject(r, "TC_Oaza", "obj", names[i], 6), 1);
  }
  for (int i = 0; i < 4; ++i) {
    const uint32_t r = db.AddRecord("TC_Gaiku");
    ASSERT_NE(r, 0u);
    ASSERT_EQ(db.SetString(r, "TC_Gaiku", "街区", std::to_string(i + 1).c_str()), 1);
    ASSERT_EQ(db.SetShort(r, "TC_Gaiku", "n", static_cast<int16_t>(-i)), 1);
  }
}

void Text(Summary& s, const char* text, std::size_t size) {
  ASSERT_LT(std::strlen(text), size);
  s.texts += text;
  s.texts += '|';
}

// Reads every value of one record by the field's type.
void ReadRecord(CTableDatabase& db, uint32_t rec, const char* table, const TdbFieldEntry& f,
                uint32_t fileSize, Summary& s) {
  constexpr std::size_t kSize = 512;
  char a[kSize], b[kSize], c[kSize];
  int ok = 0;
  switch (f.type) {
    case kTdbString: {
      ok = db.GetString(rec, table, f.name, a, kSize);
      if (ok) Text(s, a, kSize);
      uint32_t n = 0;
      db.GetStringLength(rec, table, f.name, &n);
      db.GetStringCharCount(rec, table, f.name, &n);
      break;
    }
    case kTdbStringPair:
      ok = db.GetStringPair(rec, table, f.name, a, b, kSize);
      if (ok) {
        Text(s, a, kSize);
        Text(s, b, kSize);
      }
      break;
    case kTdbStringTriple:
      ok = db.GetStringTriple(rec, table, f.name, a, b, c, kSize);
      if (ok) {
        Text(s, a, kSize);
        Text(s, b, kSize);
        Text(s, c, kSize);
      }
      break;
    case kTdbInt: {
      int32_t v = 0;
      ok = db.GetInt(rec, table, f.name, &v);
      break;
    }
    case kTdbDouble: {
      double v = 0;
      ok = db.GetDouble(rec, table, f.name, &v);
      break;
    }
    case kTdbWord: {
      uint16_t v = 0;
      ok = db.GetWord(rec, table, f.name, &v);
      break;
    }
    case kTdbShort: {
      int16_t v = 0;
      ok = db.GetShort(rec, table, f.name, &v);
      break;
    }
    case kTdbQuad: {
      int32_t v[4];
      ok = db.GetQuad(rec, table, f.name, v);
      break;
    }
    case kTdbObject: {
      void* block = nullptr;
      uint32_t length = 0;
      ok = db.GetObjectAlloc(rec, table, f.name, &block, &length);
      if (ok) {
        ASSERT_LE(length, fileSize);
        s.texts.append(static_cast<char*>(block), length);
        s.texts += '|';
      }
      std::free(block);
      db.GetObject(rec, table, f.name, a, kSize, &length);
      break;
    }
    default: {
      uint32_t v = 0;
      db.GetDwordAt(rec, 1, &v);
      break;
    }
  }
  s.values += ok;
}

// Lists every table and field and reads every record, with walks of its own
// bounded as a careful caller bounds them.
Summary ReadThrough(CTableDatabase& db, uint32_t fileSize) {
  Summary s;
  const uint32_t tableLimit = fileSize / kTdbTableEntrySize + 1;
  TdbTableEntry table;
  uint32_t tpos = db.GetFirstTablePosition();
  for (int t = 0; tpos != 0 && t < static_cast<int>(tableLimit); ++t, tpos = table.nextTable) {
    if (!db.ReadTableEntry(tpos, &table)) break;
    ++s.tables;
    std::vector<TdbFieldEntry> fields;
    const uint32_t fieldLimit = fileSize / kTdbFieldEntrySize + 1;
    TdbFieldEntry f;
    uint32_t fpos = db.GetFirstFieldPosition(table.name);
    for (uint32_t k = 0; fpos != 0 && k < fieldLimit; ++k, fpos = f.nextField) {
      if (!db.ReadFieldEntry(fpos, &f)) break;
      fields.push_back(f);
      ++s.fields;
      int32_t type = 0;
      uint32_t offset = 0, size = 0;
      db.FindField(table.name, f.name, &type, nullptr, &offset, &size);
      char note[64];
      if (db.GetFieldNote(table.name, f.name, note, sizeof note)) Text(s, note, sizeof note);
      uint32_t low = 0, high = 0;
      db.GetStringLengthRange(table.name, f.name, &low, &high);
      db.GetStringCharCountRange(table.name, f.name, &low, &high);
    }
    db.GetRecordSize(&table);
    uint32_t count = 0;
    if (!CountTableRecords(&db, table.name, &count)) continue;
    EXPECT_LE(count, fileSize / kTdbRecordHeaderSize + 1);
    s.records += count;
    TdbRecordHeader h;
    uint32_t rpos = table.firstRecord;
    for (uint32_t n = 0; rpos != 0 && n < count; ++n, rpos = h.nextRecord) {
      if (!db.ReadRecordHeader(rpos, &h)) break;
      unsigned char data[256];
      db.ReadRecordData(rpos, data, sizeof data);
      for (const TdbFieldEntry& field : fields) {
        ReadRecord(db, rpos, table.name, field, fileSize, s);
      }
    }
  }
  db.GetMaxRecordSize();
  return s;
}

}  // namespace

TEST(TableDatabaseDamage, TruncatedAndFlippedFilesFailCleanly) {
  TempDir dir;
  const std::string good = dir.Sys("good.ndb");
  ASSERT_NO_FATAL_FAILURE(Build(good));
  const std::string base = testutil::ReadBytes(dir.Native("good.ndb"));
  ASSERT_GT(base.size(), 4000u);

  // The intact file reads through completely.
  CTableDatabase db;
  ASSERT_EQ(db.Open(good.c_str()), 1);
  const Summary intact = ReadThrough(db, static_cast<uint32_t>(base.size()));
  EXPECT_EQ(intact.tables, 2);
  EXPECT_EQ(intact.fields, 10);
  EXPECT_EQ(intact.records, 7u);
  EXPECT_EQ(intact.values, 3 * 8 + 4 * 2);
  // Notes of the TC_Oaza fields, its records (code, pair, triple, object),
  // then the notes of the TC_Gaiku fields and its records.
  std::string expected = "地名|" + std::string(7, '|');
  for (const char* name : {"丸の内", "大手町", "表参道"}) {
    expected += std::string("13101001000|") + name + "|まるのうち|a|" + name + "||" + name + "|";
  }
  expected += "||1|2|3|4|";
  EXPECT_EQ(intact.texts, expected) << testutil::Show(intact.texts);
  db.Close();

  std::mt19937 rng(20240229u);  // fixed: the same mutations on every run
  const auto pick = [&rng](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
  const std::string path = dir.Sys("bad.ndb");
  const std::string native = dir.Native("bad.ndb");
  int opened = 0;
  int mutations = 0;
  int shortOpened = 0;
  const auto trial = [&](const std::string& bytes) {
    ++mutations;
    ASSERT_TRUE(testutil::WriteBytes(native, bytes));
    CTableDatabase damaged;
    if (!damaged.Open(path.c_str())) return;
    ++opened;
    if (bytes.size() < kTdbHeaderSize) ++shortOpened;
    ReadThrough(damaged, static_cast<uint32_t>(bytes.size()));
  };

  // Every cut of the file, in steps of 5 bytes (and the header's last bytes).
  for (std::size_t len = 0; len < base.size(); len += 5) {
    ASSERT_NO_FATAL_FAILURE(trial(base.substr(0, len)));
  }
  for (std::size_t len = 250; len < 260; ++len) ASSERT_NO_FATAL_FAILURE(trial(base.substr(0, len)));
  EXPECT_EQ(shortOpened, 0);

  // One to four flipped bits anywhere.
  for (int i = 0; i < 2000; ++i) {
    std::string bytes = base;
    const int flips = 1 + static_cast<int>(pick(4));
    for (int k = 0; k < flips; ++k) {
      bytes[pick(static_cast<uint32_t>(bytes.size()))] ^= static_cast<char>(1u << pick(8));
    }
    ASSERT_NO_FATAL_FAILURE(trial(bytes));
  }

  // A 32-bit word replaced by a telling value: a position inside the file
  // (cycles, links into the middle of items), none, the very end, or huge.
  for (int i = 0; i < 1500; ++i) {
    std::string bytes = base;
    const uint32_t at = pick(static_cast<uint32_t>(bytes.size()) - 3);
    uint32_t value = 0;
    switch (pick(5)) {
      case 0:
        value = pick(static_cast<uint32_t>(bytes.size()));
        break;
      case 1:
        value = 0;
        break;
      case 2:
        value = static_cast<uint32_t>(bytes.size());
        break;
      case 3:
        value = 0xFFFFFFFFu - pick(16);
        break;
      default:
        value = static_cast<uint32_t>(bytes.size()) - 1 - pick(24);
        break;
    }
    for (int k = 0; k < 4; ++k) bytes[at + k] = static_cast<char>(value >> (8 * k));
    ASSERT_NO_FATAL_FAILURE(trial(bytes));
  }

  // The magic alone decides whether a file opens at all.
  std::string noMagic = base;
  noMagic[0] = 'd';
  ASSERT_NO_FATAL_FAILURE(trial(noMagic));
  EXPECT_GT(mutations, 4000);
  EXPECT_GT(opened, mutations / 2);  // most damage lies beyond the header
  EXPECT_LT(opened, mutations);
}
