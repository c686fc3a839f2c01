#include "tabledb/table_database.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/le_bytes.h"
#include "support/test_util.h"
#include "table_fixture.h"

using testutil::TempDir;

namespace {

// A new database at path with table T of the fields, ready for records.
bool NewTable(CTableDatabase& db, const std::string& path,
              std::initializer_list<tabletest::FieldDef> fields) {
  return db.Create(path.c_str()) == 1 && tabletest::AddTable(db, "T", fields);
}

uint32_t U32At(const std::string& bytes, std::size_t at) {
  return static_cast<uint32_t>(
      LoadLe(reinterpret_cast<const unsigned char*>(bytes.data()) + at, 4));
}

class TableDatabaseTest : public ::testing::Test {
 protected:
  std::string Sys(const char* name = "test.ndb") const { return dir_.Sys(name); }
  std::string Bytes(const char* name = "test.ndb") const {
    return testutil::ReadBytes(dir_.Native(name));
  }
  std::size_t Size(const char* name = "test.ndb") const { return Bytes(name).size(); }

  TempDir dir_;
  CTableDatabase db_;
};

}  // namespace

// ---- File growth, byte for byte ----

TEST_F(TableDatabaseTest, GrowthScenarioIsByteExact) {
  ASSERT_EQ(db_.Create(Sys().c_str()), 1);
  std::string bytes = Bytes();
  ASSERT_EQ(bytes.size(), 256u);
  EXPECT_EQ(bytes.substr(0, 2), "DB");
  EXPECT_EQ(bytes.substr(2), std::string(254, '\0'));

  EXPECT_EQ(db_.CreateTable("T"), 256u);
  EXPECT_EQ(Size(), 552u);
  EXPECT_EQ(db_.AddField("T", "A", kTdbInt, 10, nullptr, nullptr, 0, 0), 552u);
  EXPECT_EQ(Size(), 852u);
  EXPECT_EQ(db_.AddField("T", "B", kTdbString, 20, "", "", 0, 0), 852u);
  EXPECT_EQ(Size(), 1152u);
  ASSERT_EQ(db_.UpdateMaxRecordSize(), 1);
  bytes = Bytes();
  EXPECT_EQ(bytes.substr(14, 4), std::string("\x08\0\0\0", 4));
  EXPECT_EQ(U32At(bytes, 6), 256u);   // first table
  EXPECT_EQ(U32At(bytes, 10), 256u);  // last table
  EXPECT_EQ(bytes.substr(256, 2), std::string("T\0", 2));
  EXPECT_EQ(U32At(bytes, 256 + 268), 552u);  // first field
  EXPECT_EQ(U32At(bytes, 256 + 272), 852u);  // last field
  EXPECT_EQ(U32At(bytes, 552 + 256), 6u);    // type of A
  EXPECT_EQ(U32At(bytes, 552 + 260), 10u);   // declared length of A
  EXPECT_EQ(U32At(bytes, 552 + 264), 4u);    // size of A
  EXPECT_EQ(U32At(bytes, 552 + 296), 852u);  // A -> B
  EXPECT_EQ(U32At(bytes, 852 + 292), 552u);  // B <- A

  int32_t type = 0, declared = 0;
  uint32_t offset = 0, size = 0;
  ASSERT_EQ(db_.FindField("T", "B", &type, &declared, &offset, &size), 1);
  EXPECT_EQ(type, 9);
  EXPECT_EQ(declared, 20);
  EXPECT_EQ(offset, 5u);
  EXPECT_EQ(size, 4u);

  const uint32_t record = db_.AddRecord("T");
  EXPECT_EQ(record, 1152u);
  EXPECT_EQ(Size(), 1180u);
  bytes = Bytes();
  EXPECT_EQ(U32At(bytes, 256 + 260), 1152u);  // first record
  EXPECT_EQ(U32At(bytes, 256 + 264), 1152u);  // last record
  EXPECT_EQ(U32At(bytes, 1152 + 12), 1172u);  // data position
  EXPECT_EQ(U32At(bytes, 1152 + 16), 8u);     // data size
  EXPECT_EQ(bytes.substr(1172), std::string(8, '\0'));

  ASSERT_EQ(db_.SetString(record, "T", "B", "abc"), 1);
  EXPECT_EQ(Size(), 1185u);
  EXPECT_EQ(U32At(Bytes(), 1172 + 4), 1180u);
  ASSERT_EQ(db_.SetString(record, "T", "B", "ab"), 1);  // in place
  EXPECT_EQ(Size(), 1185u);
  EXPECT_EQ(U32At(Bytes(), 1172 + 4), 1180u);
  // The in-place rewrite stored length 2, so four bytes no longer fit there.
  ASSERT_EQ(db_.SetString(record, "T", "B", "abcd"), 1);
  EXPECT_EQ(Size(), 1191u);
  EXPECT_EQ(U32At(Bytes(), 1172 + 4), 1185u);
  EXPECT_EQ(Bytes().substr(1185), std::string("\x04\0abcd", 6));
  char text[512];
  ASSERT_EQ(db_.GetString(record, "T", "B", text, sizeof text), 1);
  EXPECT_STREQ(text, "abcd");
}

// ---- Every type through set, close, reopen and get ----

namespace {

const char kTable[] = "TC_型";
const int32_t kQuad[4] = {INT32_MIN, -1, 0, INT32_MAX};
const unsigned char kOpaque[32] = {0x00, 0xFF, 0x5C, 0x81, 1,  2,  3,  4,  5,  6,  7,
                                   8,    9,    10,   11,   12, 13, 14, 15, 16, 17, 18,
                                   19,   20,   21,   22,   23, 24, 25, 26, 27, 28};

// One field per type code; the object field is defined as DWORD and then
// retyped on disk, since type 500 cannot be defined.
void BuildAllTypes(CTableDatabase& db, const std::string& path, uint32_t* record) {
  ASSERT_EQ(db.Create(path.c_str()), 1);
  ASSERT_NE(db.CreateTable(kTable), 0u);
  const struct {
    const char* name;
    int32_t type;
  } fields[] = {{"u", kTdbUchar},         {"c", kTdbChar},           {"w", kTdbWord},
                {"s", kTdbShort},         {"dw", kTdbDword},         {"i", kTdbInt},
                {"f", kTdbFloat},         {"d", kTdbDouble},         {"名称", kTdbString},
                {"obj", kTdbDword},       {"q", kTdbQuad},           {"op", kTdbOpaque32},
                {"t1", kTdbStringTriple}, {"t2", kTdbStringTriple2}, {"p1", kTdbStringPair},
                {"p2", kTdbStringPair2}};
  uint32_t objectField = 0;
  for (const auto& f : fields) {
    const uint32_t pos = db.AddField(kTable, f.name, f.type, 0, nullptr, nullptr, 0, 0);
    ASSERT_NE(pos, 0u) << f.name;
    if (std::strcmp(f.name, "obj") == 0) objectField = pos;
  }
  TdbFieldEntry entry;
  ASSERT_EQ(db.ReadFieldEntry(objectField, &entry), 1);
  entry.type = kTdbObject;
  ASSERT_EQ(db.WriteFieldEntry(objectField, &entry), 1);
  ASSERT_EQ(db.UpdateMaxRecordSize(), 1);
  EXPECT_EQ(db.GetMaxRecordSize(),
            1u + 1 + 2 + 2 + 4 + 4 + 4 + 8 + 4 + 4 + 16 + 32 + 12 + 12 + 8 + 8);
  *record = db.AddRecord(kTable);
  ASSERT_NE(*record, 0u);
}

}  // namespace

TEST_F(TableDatabaseTest, EveryTypeSurvivesCloseAndReopen) {
  uint32_t rec = 0;
  ASSERT_NO_FATAL_FAILURE(BuildAllTypes(db_, Sys(), &rec));
  const std::string kanji = "東京都千代田区表参道";  // 表 ends in 0x5C
  const std::string object("\x00\x01\x5C\xFF obj", 8);
  EXPECT_EQ(db_.SetUchar(rec, kTable, "u", 0xFF), 1);
  EXPECT_EQ(db_.SetChar(rec, kTable, "c", '\x80'), 1);
  EXPECT_EQ(db_.SetWord(rec, kTable, "w", 65535), 1);
  EXPECT_EQ(db_.SetShort(rec, kTable, "s", INT16_MIN), 1);
  EXPECT_EQ(db_.SetDword(rec, kTable, "dw", 0xFFFFFFFFu), 1);
  EXPECT_EQ(db_.SetInt(rec, kTable, "i", INT32_MIN), 1);
  EXPECT_EQ(db_.SetDouble(rec, kTable, "d", -1.5e300), 1);
  EXPECT_EQ(db_.SetString(rec, kTable, "名称", kanji.c_str()), 1);
  EXPECT_EQ(db_.SetObject(rec, kTable, "obj", object.data(), 8), 1);
  EXPECT_EQ(db_.SetQuad(rec, kTable, "q", kQuad), 1);
  uint32_t opOffset = 0;
  ASSERT_EQ(db_.FindField(kTable, "op", nullptr, nullptr, &opOffset, nullptr), 1);
  EXPECT_EQ(db_.WriteRecordBytes(rec, opOffset, 32, kOpaque), 1);
  EXPECT_EQ(db_.SetStringTriple(rec, kTable, "t1", "一", "", "三"), 1);
  EXPECT_EQ(db_.SetStringTriple2(rec, kTable, "t2", "x", "yy", "zzz"), 1);
  EXPECT_EQ(db_.SetStringPair(rec, kTable, "p1", "ソ", "能"), 1);
  EXPECT_EQ(db_.SetStringPair2(rec, kTable, "p2", "", "b"), 1);
  db_.Close();

  ASSERT_EQ(db_.Open(Sys().c_str()), 1);
  unsigned char u = 0;
  char c = 0;
  uint16_t w = 0;
  int16_t s = 0;
  uint32_t dw = 0;
  int32_t i = 0, q[4] = {};
  double d = 0;
  char t1[64], t2[64], t3[64];
  ASSERT_TRUE(db_.GetUchar(rec, kTable, "u", &u) && db_.GetChar(rec, kTable, "c", &c) &&
              db_.GetWord(rec, kTable, "w", &w) && db_.GetShort(rec, kTable, "s", &s) &&
              db_.GetDword(rec, kTable, "dw", &dw) && db_.GetInt(rec, kTable, "i", &i));
  EXPECT_EQ((std::vector<int64_t>{u, c, w, s, dw, i}),
            (std::vector<int64_t>{0xFF, '\x80', 65535, INT16_MIN, 0xFFFFFFFF, INT32_MIN}));
  ASSERT_EQ(db_.GetDouble(rec, kTable, "d", &d), 1);
  EXPECT_EQ(d, -1.5e300);
  ASSERT_EQ(db_.GetString(rec, kTable, "名称", t1, sizeof t1), 1);
  EXPECT_EQ(std::string(t1), kanji) << testutil::Show(t1);
  char objectBuf[16];
  uint32_t length = 0;
  ASSERT_EQ(db_.GetObject(rec, kTable, "obj", objectBuf, sizeof objectBuf, &length), 1);
  EXPECT_EQ(std::string(objectBuf, length), object);
  void* block = nullptr;
  ASSERT_EQ(db_.GetObjectAlloc(rec, kTable, "obj", &block, &length), 1);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::string(static_cast<char*>(block), length), object);
  std::free(block);
  ASSERT_EQ(db_.GetQuad(rec, kTable, "q", q), 1);
  EXPECT_EQ(std::vector<int32_t>(q, q + 4), std::vector<int32_t>(kQuad, kQuad + 4));
  unsigned char opaque[32];
  ASSERT_EQ(db_.ReadRecordBytes(rec, opOffset, 32, opaque), 1);
  EXPECT_EQ(std::memcmp(opaque, kOpaque, 32), 0);
  ASSERT_EQ(db_.GetStringTriple(rec, kTable, "t1", t1, t2, t3, 64), 1);
  EXPECT_EQ(std::string(t1) + "|" + t2 + "|" + t3, "一||三");
  ASSERT_EQ(db_.GetStringTriple2(rec, kTable, "t2", t1, t2, t3, 64), 1);
  EXPECT_EQ(std::string(t1) + "|" + t2 + "|" + t3, "x|yy|zzz");
  ASSERT_EQ(db_.GetStringPair(rec, kTable, "p1", t1, t2, 64), 1);
  EXPECT_EQ(std::string(t1) + "|" + t2, "ソ|能");
  ASSERT_EQ(db_.GetStringPair2(rec, kTable, "p2", t1, t2, 64), 1);
  EXPECT_EQ(std::string(t1) + "|" + t2, "|b");

  // The two codes of a pair or triple are not interchangeable.
  EXPECT_EQ(db_.GetStringTriple2(rec, kTable, "t1", t1, t2, t3, 64), 0);
  EXPECT_EQ(db_.GetStringPair(rec, kTable, "p2", t1, t2, 64), 0);
  // Read-only: nothing can be written.
  EXPECT_EQ(db_.SetInt(rec, kTable, "i", 5), 0);
}

// A database read through its image looks fields up by name once and
// keeps the answer by the texts' addresses: a caller that names fields in
// one buffer, rewritten between calls, still gets each field it names.
TEST_F(TableDatabaseTest, ANameBufferRewrittenBetweenCallsFindsEachField) {
  uint32_t rec = 0;
  ASSERT_NO_FATAL_FAILURE(BuildAllTypes(db_, Sys(), &rec));
  ASSERT_EQ(db_.SetInt(rec, kTable, "i", 41), 1);
  ASSERT_EQ(db_.SetDword(rec, kTable, "dw", 42), 1);
  db_.Close();
  ASSERT_EQ(db_.Open(Sys().c_str()), 1);
  char table[16];
  char field[16];
  std::strcpy(table, kTable);
  for (int round = 0; round < 2; ++round) {
    uint32_t expected[2] = {};
    uint32_t offset = 0;
    std::strcpy(field, "i");
    ASSERT_EQ(db_.FindField(table, field, nullptr, nullptr, &offset, nullptr), 1);
    ASSERT_EQ(db_.FindField(kTable, "i", nullptr, nullptr, &expected[0], nullptr), 1);
    EXPECT_EQ(offset, expected[0]);
    std::strcpy(field, "dw");
    ASSERT_EQ(db_.FindField(table, field, nullptr, nullptr, &offset, nullptr), 1);
    ASSERT_EQ(db_.FindField(kTable, "dw", nullptr, nullptr, &expected[1], nullptr), 1);
    EXPECT_EQ(offset, expected[1]);
    EXPECT_NE(expected[0], expected[1]);
    std::strcpy(field, "none");
    EXPECT_EQ(db_.FindField(table, field, nullptr, nullptr, &offset, nullptr), 0);
    std::strcpy(table, "none");
    std::strcpy(field, "i");
    EXPECT_EQ(db_.FindField(table, field, nullptr, nullptr, &offset, nullptr), 0);
    std::strcpy(table, kTable);
  }
  int32_t i = 0;
  uint32_t dw = 0;
  std::strcpy(field, "i");
  ASSERT_EQ(db_.GetInt(rec, table, field, &i), 1);
  std::strcpy(field, "dw");
  ASSERT_EQ(db_.GetDword(rec, table, field, &dw), 1);
  EXPECT_EQ(i, 41);
  EXPECT_EQ(dw, 42u);
}

// Databases read through their images share what their fields' look-ups
// need when their tables are laid out alike: files laid out otherwise (the
// same names in another order, a field of another type) never take
// another file's answer, however the look-ups of the files alternate.
TEST_F(TableDatabaseTest, FilesLaidOutOtherwiseNeverShareFieldAnswers) {
  struct Made {
    const char* name;
    std::initializer_list<tabletest::FieldDef> fields;
  };
  const Made made[] = {{"a.ndb", {{"x", kTdbInt}, {"y", kTdbDword}}},
                       {"b.ndb", {{"x", kTdbInt}, {"y", kTdbDword}}},
                       {"c.ndb", {{"y", kTdbDword}, {"x", kTdbInt}}},
                       {"d.ndb", {{"x", kTdbDouble}, {"y", kTdbDword}}}};
  uint32_t rec[4] = {};
  for (int n = 0; n < 4; ++n) {
    CTableDatabase db;
    ASSERT_TRUE(NewTable(db, Sys(made[n].name), made[n].fields));
    rec[n] = db.AddRecord("T");
    ASSERT_NE(rec[n], 0u);
    ASSERT_EQ(db.SetDword(rec[n], "T", "y", 100u + static_cast<uint32_t>(n)), 1);
    db.Close();
  }
  // Each file's own answers, as the writer laid it out.
  const uint32_t yOffset[] = {1 + 4, 1 + 4, 1, 1 + 8};
  const int32_t xType[] = {kTdbInt, kTdbInt, kTdbInt, kTdbDouble};
  CTableDatabase open[4];
  for (int n = 0; n < 4; ++n) ASSERT_EQ(open[n].Open(Sys(made[n].name).c_str()), 1);
  for (int round = 0; round < 3; ++round) {
    for (int n : {0, 2, 1, 3, 0, 3, 2}) {
      uint32_t offset = 0, size = 0;
      int32_t type = 0;
      ASSERT_EQ(open[n].FindField("T", "y", &type, nullptr, &offset, &size), 1) << made[n].name;
      EXPECT_EQ(offset, yOffset[n]) << made[n].name;
      EXPECT_EQ(type, kTdbDword) << made[n].name;
      ASSERT_EQ(open[n].FindField("T", "x", &type, nullptr, nullptr, &size), 1) << made[n].name;
      EXPECT_EQ(type, xType[n]) << made[n].name;
      EXPECT_EQ(size, xType[n] == kTdbDouble ? 8u : 4u) << made[n].name;
      uint32_t y = 0;
      ASSERT_EQ(open[n].GetDword(rec[n], "T", "y", &y), 1) << made[n].name;
      EXPECT_EQ(y, 100u + static_cast<uint32_t>(n)) << made[n].name;
      EXPECT_EQ(open[n].FindField("T", "z", nullptr, nullptr, nullptr, nullptr), 0);
    }
  }
}

TEST_F(TableDatabaseTest, UnsetValuesReadAsZeroAndEmpty) {
  uint32_t rec = 0;
  ASSERT_NO_FATAL_FAILURE(BuildAllTypes(db_, Sys(), &rec));
  char a[8] = "x", b[8] = "x", c[8] = "x";
  EXPECT_EQ(db_.GetString(rec, kTable, "名称", a, sizeof a), 1);
  EXPECT_STREQ(a, "");
  EXPECT_EQ(db_.GetStringTriple(rec, kTable, "t1", a, b, c, 8), 1);
  EXPECT_EQ(std::string(a) + b + c, "");
  uint32_t length = 99;
  EXPECT_EQ(db_.GetObject(rec, kTable, "obj", a, sizeof a, &length), 1);
  EXPECT_EQ(length, 0u);
  void* block = a;
  EXPECT_EQ(db_.GetObjectAlloc(rec, kTable, "obj", &block, &length), 1);
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(db_.GetStringLength(rec, kTable, "名称", &length), 1);
  EXPECT_EQ(length, 0u);
  // An empty text is stored as an item of length 0 and reads as empty.
  ASSERT_EQ(db_.SetString(rec, kTable, "名称", ""), 1);
  uint32_t position = 0;
  uint32_t offset = 0;
  ASSERT_EQ(db_.FindField(kTable, "名称", nullptr, nullptr, &offset, nullptr), 1);
  ASSERT_EQ(db_.GetDwordAt(rec, offset, &position), 1);
  EXPECT_NE(position, 0u);
  EXPECT_EQ(db_.GetString(rec, kTable, "名称", a, sizeof a), 1);
  EXPECT_STREQ(a, "");
}

// ---- Opening ----

TEST_F(TableDatabaseTest, OpenChecksMagicAndRecordSize) {
  uint32_t rec = 0;
  ASSERT_NO_FATAL_FAILURE(BuildAllTypes(db_, Sys(), &rec));
  db_.Close();
  const std::string good = Bytes();
  EXPECT_EQ(db_.Open(Sys().c_str()), 1);
  EXPECT_EQ(db_.OpenForUpdate(Sys().c_str()), 1);
  EXPECT_EQ(db_.IsOpen(), 1);
  char path[600];
  EXPECT_EQ(std::string(db_.GetPath(path, sizeof path)), Sys());
  char tiny[4] = "zz";
  EXPECT_STREQ(db_.GetPath(tiny, sizeof tiny), "");

  std::string bad = good;
  bad[1] = 'b';  // "Db"
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("bad.ndb"), bad));
  EXPECT_EQ(db_.Open(Sys("bad.ndb").c_str()), 0);
  EXPECT_EQ(db_.IsOpen(), 0);  // the failed open closed the earlier one
  EXPECT_STREQ(db_.GetPath(path, sizeof path), "");
  EXPECT_EQ(db_.OpenForUpdate(Sys("bad.ndb").c_str()), 0);

  // Nothing else in the header is checked: reserved bytes may hold anything.
  bad = good;
  bad[3] = 'x';
  bad[200] = 'y';
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("reserved.ndb"), bad));
  EXPECT_EQ(db_.Open(Sys("reserved.ndb").c_str()), 1);

  // "DB" and zeros: largest record size 0.
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("empty.ndb"), "DB" + std::string(254, '\0')));
  EXPECT_EQ(db_.Open(Sys("empty.ndb").c_str()), 0);
  // Too short for a header, or missing.
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("short.ndb"), good.substr(0, 255)));
  EXPECT_EQ(db_.Open(Sys("short.ndb").c_str()), 0);
  EXPECT_EQ(db_.Open(Sys("none.ndb").c_str()), 0);
  EXPECT_EQ(db_.Open(nullptr), 0);
  EXPECT_EQ(db_.Open(std::string(600, 'a').c_str()), 0);  // longer than a path may be
}

TEST_F(TableDatabaseTest, FreshDatabaseWithoutFieldsCannotBeReopened) {
  ASSERT_EQ(db_.Create(Sys().c_str()), 1);
  ASSERT_NE(db_.CreateTable("T"), 0u);
  EXPECT_EQ(db_.AddRecord("T"), 0u);  // no record buffer before UpdateMaxRecordSize
  EXPECT_EQ(db_.UpdateMaxRecordSize(), 1);
  EXPECT_EQ(db_.GetMaxRecordSize(), 0u);
  db_.Close();
  EXPECT_EQ(db_.Open(Sys().c_str()), 0);
}

// ---- Tables ----

TEST_F(TableDatabaseTest, TablesChainInOrderAndDropUnlinks) {
  ASSERT_EQ(db_.Create(Sys().c_str()), 1);
  const uint32_t a = db_.CreateTable("A");
  const uint32_t b = db_.CreateTable("B");
  const uint32_t c = db_.CreateTable("C");
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(db_.CreateTable("B"), 0u);  // exists
  EXPECT_EQ(db_.CreateTable(std::string(256, 'n').c_str()), 0u);
  EXPECT_NE(db_.CreateTable(std::string(255, 'n').c_str()), 0u);
  EXPECT_EQ(db_.FindTable("b"), 0u);  // names are case-sensitive
  EXPECT_EQ(db_.FindTable("C"), c);
  EXPECT_EQ(db_.GetFirstTablePosition(), a);

  const auto names = [this] {
    std::string out;
    TdbTableEntry e;
    for (uint32_t p = db_.GetFirstTablePosition(); p != 0; p = e.nextTable) {
      if (!db_.ReadTableEntry(p, &e)) return std::string("?");
      out += std::string(e.name).substr(0, 1);
    }
    return out;
  };
  EXPECT_EQ(names(), "ABCn");
  const std::size_t before = Size();
  EXPECT_EQ(db_.DropTable("B"), 1);  // middle
  EXPECT_EQ(names(), "ACn");
  EXPECT_EQ(db_.DropTable("A"), 1);                            // first
  EXPECT_EQ(db_.DropTable(std::string(255, 'n').c_str()), 1);  // last
  EXPECT_EQ(names(), "C");
  EXPECT_EQ(Size(), before);  // the bytes stay
  TdbHeader header;
  ASSERT_EQ(db_.ReadHeader(&header), 1);
  EXPECT_EQ(header.firstTable, c);
  EXPECT_EQ(header.lastTable, c);
  EXPECT_EQ(db_.DropTable("A"), 0);
  EXPECT_EQ(db_.DropTable("C"), 1);
  EXPECT_EQ(db_.GetFirstTablePosition(), 0u);
  EXPECT_EQ(db_.UpdateMaxRecordSize(), 0);  // no table
}

// ---- Fields ----

TEST_F(TableDatabaseTest, FieldsDefineOffsetsNotesAndTypes) {
  ASSERT_EQ(db_.Create(Sys().c_str()), 1);
  ASSERT_NE(db_.CreateTable("T"), 0u);
  const std::size_t start = Size();
  const uint32_t first = db_.AddField("T", "a", kTdbDouble, -7, "note one", "備考", 1.25, -2.5);
  ASSERT_NE(first, 0u);
  // Both notes (2 + 8 and 2 + 4 bytes) come before the entry.
  EXPECT_EQ(first, start + 10 + 6);
  EXPECT_EQ(db_.AddField("T", "b", kTdbQuad, 0, nullptr, nullptr, 0, 0), first + 300);
  EXPECT_NE(db_.AddField("T", "c", kTdbUchar, 0, nullptr, nullptr, 0, 0), 0u);
  EXPECT_NE(db_.AddField("T", "d", kTdbOpaque32, 0, nullptr, nullptr, 0, 0), 0u);
  EXPECT_EQ(db_.GetFirstFieldPosition("T"), first);

  for (int32_t bad : {0, 10, 500, 2007, 10012, 15012, -1}) {
    EXPECT_EQ(db_.AddField("T", "x", bad, 0, nullptr, nullptr, 0, 0), 0u) << bad;
  }
  EXPECT_EQ(db_.AddField("none", "x", kTdbInt, 0, nullptr, nullptr, 0, 0), 0u);
  EXPECT_EQ(db_.AddField("T", "x", kTdbInt, 0, std::string(65536, 'n').c_str(), nullptr, 0, 0), 0u);

  const struct {
    const char* name;
    int32_t type;
    uint32_t offset, size;
  } expected[] = {{"a", 8, 1, 8}, {"b", 2006, 9, 16}, {"c", 1, 25, 1}, {"d", 2008, 26, 32}};
  for (const auto& e : expected) {
    int32_t type = 0;
    uint32_t offset = 0, size = 0;
    ASSERT_EQ(db_.FindField("T", e.name, &type, nullptr, &offset, &size), 1) << e.name;
    EXPECT_EQ(type, e.type) << e.name;
    EXPECT_EQ(offset, e.offset) << e.name;
    EXPECT_EQ(size, e.size) << e.name;
  }
  int32_t type = 5, declared = 5;
  uint32_t offset = 5, size = 5;
  EXPECT_EQ(db_.FindField("T", "zz", &type, &declared, &offset, &size), 0);
  EXPECT_EQ(type + declared + static_cast<int32_t>(offset + size), 0);

  char note[16];
  EXPECT_EQ(db_.GetFieldNote("T", "a", note, sizeof note), first);
  EXPECT_STREQ(note, "備考");
  EXPECT_EQ(db_.GetFieldNote("T", "b", note, sizeof note), first + 300);
  EXPECT_STREQ(note, "");
  EXPECT_EQ(db_.GetFieldNote("T", "zz", note, sizeof note), 0u);
  EXPECT_EQ(db_.GetFieldNote("T", "a", note, 4), 0u);  // does not fit
  TdbFieldEntry entry;
  ASSERT_EQ(db_.ReadFieldEntry(first, &entry), 1);
  EXPECT_EQ(entry.declaredLength, -7);
  EXPECT_EQ(entry.number1, 1.25);
  EXPECT_EQ(entry.number2, -2.5);
  EXPECT_NE(entry.note1, 0u);

  TdbTableEntry table;
  ASSERT_EQ(db_.ReadTableEntry(db_.FindTable("T"), &table), 1);
  EXPECT_EQ(db_.GetRecordSize(&table), 8u + 16 + 1 + 32);
}

TEST_F(TableDatabaseTest, ByNameAccessFailsForOtherTypeWithoutReading) {
  ASSERT_TRUE(NewTable(db_, Sys(), {{"A", kTdbInt}, {"B", kTdbString}}));
  const uint32_t rec = db_.AddRecord("T");
  ASSERT_EQ(db_.SetString(rec, "T", "B", "abc"), 1);
  int32_t value = 77;
  EXPECT_EQ(db_.GetInt(rec, "T", "B", &value), 0);
  EXPECT_EQ(value, 77);
  char text[8] = "keep";
  EXPECT_EQ(db_.GetString(rec, "T", "A", text, sizeof text), 0);
  EXPECT_EQ(db_.SetDouble(rec, "T", "A", 1.0), 0);
  EXPECT_EQ(db_.GetInt(rec, "T", "nope", &value), 0);
  EXPECT_EQ(db_.GetInt(rec, "nope", "A", &value), 0);
  // By offset nothing is typed: the STRING field's position reads as a dword.
  uint32_t position = 0;
  EXPECT_EQ(db_.GetDwordAt(rec, 5, &position), 1);
  EXPECT_EQ(position, static_cast<uint32_t>(Size() - 5));
  // Bytes outside the record's data are refused.
  EXPECT_EQ(db_.GetIntAt(rec, 6, &value), 0);
  EXPECT_EQ(db_.GetIntAt(rec, 0, &value), 0);
  EXPECT_EQ(db_.SetDoubleAt(rec, 2, 2.0), 0);
}

// ---- Field cache ----

TEST_F(TableDatabaseTest, FieldCacheReplacesSlotsRoundRobin) {
  ASSERT_EQ(db_.Create(Sys().c_str()), 1);
  ASSERT_NE(db_.CreateTable("T"), 0u);
  const char* names[] = {"F1", "F2", "F3", "F4", "F5", "F6", "F7"};
  for (int i = 0; i < 7; ++i) {
    ASSERT_NE(db_.AddField("T", names[i], kTdbInt, i + 1, nullptr, nullptr, 0, 0), 0u);
  }
  const auto declared = [this](const char* name) {
    int32_t value = -1;
    EXPECT_EQ(db_.FindField("T", name, nullptr, &value, nullptr, nullptr), 1);
    return value;
  };
  for (int i = 0; i < 5; ++i) EXPECT_EQ(declared(names[i]), i + 1);
  // Rewrite every declared length on disk: cached fields keep the old one.
  TdbFieldEntry e;
  for (uint32_t p = db_.GetFirstFieldPosition("T"); p != 0; p = e.nextField) {
    ASSERT_EQ(db_.ReadFieldEntry(p, &e), 1);
    e.declaredLength += 100;
    ASSERT_EQ(db_.WriteFieldEntry(p, &e), 1);
  }
  for (int i = 0; i < 5; ++i) EXPECT_EQ(declared(names[i]), i + 1);  // hits change nothing
  EXPECT_EQ(declared("F6"), 106);                                    // replaces slot 1 (F1)
  EXPECT_EQ(declared("F7"), 107);                                    // replaces slot 2 (F2)
  EXPECT_EQ(declared("F3"), 3);
  EXPECT_EQ(declared("F4"), 4);
  EXPECT_EQ(declared("F5"), 5);
  EXPECT_EQ(declared("F1"), 101);  // slot 3 next, although F3 was used lately
  EXPECT_EQ(declared("F2"), 102);  // slot 4
  EXPECT_EQ(declared("F5"), 5);
  EXPECT_EQ(declared("F3"), 103);
  // Close empties the cache.
  ASSERT_EQ(db_.UpdateMaxRecordSize(), 1);
  db_.Close();
  ASSERT_EQ(db_.Open(Sys().c_str()), 1);
  EXPECT_EQ(declared("F5"), 105);
}

TEST(TableDatabaseCache, DropTableForgetsCachedFieldsOfTheTable) {
  TempDir dir;
  CTableDatabase db;
  ASSERT_EQ(db.Create(dir.Sys("c.ndb").c_str()), 1);
  ASSERT_NE(db.CreateTable("T"), 0u);
  ASSERT_NE(db.AddField("T", "A", kTdbInt, 0, nullptr, nullptr, 0, 0), 0u);
  ASSERT_EQ(db.FindField("T", "A", nullptr, nullptr, nullptr, nullptr), 1);
  ASSERT_EQ(db.DropTable("T"), 1);
  EXPECT_EQ(db.FindField("T", "A", nullptr, nullptr, nullptr, nullptr), 0);
  ASSERT_NE(db.CreateTable("T"), 0u);
  ASSERT_NE(db.AddField("T", "X", kTdbDouble, 0, nullptr, nullptr, 0, 0), 0u);
  ASSERT_NE(db.AddField("T", "A", kTdbString, 0, nullptr, nullptr, 0, 0), 0u);
  int32_t type = 0;
  uint32_t offset = 0;
  ASSERT_EQ(db.FindField("T", "A", &type, nullptr, &offset, nullptr), 1);
  EXPECT_EQ(type, kTdbString);
  EXPECT_EQ(offset, 9u);
}

// ---- Records ----

TEST(TableDatabaseRecords, RefusedAddRecordLinksNoHeader) {
  TempDir dir;
  CTableDatabase db;
  ASSERT_EQ(db.Create(dir.Sys("r.ndb").c_str()), 1);
  ASSERT_NE(db.CreateTable("Full"), 0u);
  ASSERT_NE(db.CreateTable("Empty"), 0u);
  ASSERT_NE(db.AddField("Full", "A", kTdbInt, 0, nullptr, nullptr, 0, 0), 0u);
  ASSERT_EQ(db.UpdateMaxRecordSize(), 1);
  const std::size_t before = testutil::ReadBytes(dir.Native("r.ndb")).size();
  EXPECT_EQ(db.AddRecord("Empty"), 0u);
  uint32_t count = 99;
  EXPECT_EQ(CountTableRecords(&db, "Empty", &count), 1);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(testutil::ReadBytes(dir.Native("r.ndb")).size(), before);
}

TEST_F(TableDatabaseTest, RecordsChainAndCount) {
  ASSERT_TRUE(NewTable(db_, Sys(), {{"n", kTdbInt}, {"s", kTdbString}}));
  uint32_t count = 9;
  EXPECT_EQ(CountTableRecords(&db_, "T", &count), 1);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(CountTableRecords(&db_, "none", &count), 0);
  EXPECT_EQ(CountTableRecords(nullptr, "T", &count), 0);

  const char* texts[] = {"ab", "東京", "", "abcdef"};
  std::vector<uint32_t> records;
  for (int i = 0; i < 4; ++i) {
    const uint32_t r = db_.AddRecord("T");
    ASSERT_NE(r, 0u);
    ASSERT_EQ(db_.SetInt(r, "T", "n", i * 10), 1);
    ASSERT_EQ(db_.SetString(r, "T", "s", texts[i]), 1);
    records.push_back(r);
  }
  EXPECT_EQ(CountTableRecords(&db_, "T", &count), 1);
  EXPECT_EQ(count, 4u);
  TdbRecordHeader h;
  std::vector<uint32_t> walked;
  TdbTableEntry table;
  ASSERT_EQ(db_.ReadTableEntry(db_.FindTable("T"), &table), 1);
  for (uint32_t p = table.firstRecord; p != 0; p = h.nextRecord) {
    ASSERT_EQ(db_.ReadRecordHeader(p, &h), 1);
    walked.push_back(p);
  }
  EXPECT_EQ(walked, records);
  ASSERT_EQ(db_.ReadRecordHeader(records[2], &h), 1);
  EXPECT_EQ(h.prevRecord, records[1]);
  EXPECT_EQ(h.nextRecord, records[3]);
  EXPECT_EQ(h.dataSize, 8u);

  unsigned char data[8];
  ASSERT_EQ(db_.ReadRecordData(records[3], data, sizeof data), 1);
  EXPECT_EQ(static_cast<int32_t>(LoadLe(data, 4)), 30);
  EXPECT_EQ(db_.ReadRecordData(records[3], data, 7), 0);
  StoreLe(data, static_cast<uint32_t>(-4), 4);
  EXPECT_EQ(db_.WriteRecordData(records[3], data, 7), 0);
  ASSERT_EQ(db_.WriteRecordData(records[3], data, sizeof data), 1);
  int32_t n = 0;
  ASSERT_EQ(db_.GetInt(records[3], "T", "n", &n), 1);
  EXPECT_EQ(n, -4);

  uint32_t low = 0, high = 0;
  ASSERT_EQ(db_.GetStringLengthRange("T", "s", &low, &high), 1);
  EXPECT_EQ(low, 0u);
  EXPECT_EQ(high, 6u);
  ASSERT_EQ(db_.GetStringCharCountRange("T", "s", &low, &high), 1);
  EXPECT_EQ(low, 0u);
  EXPECT_EQ(high, 6u);
  uint32_t chars = 0;
  ASSERT_EQ(db_.GetStringCharCount(records[1], "T", "s", &chars), 1);
  EXPECT_EQ(chars, 2u);
  ASSERT_EQ(db_.GetStringLength(records[1], "T", "s", &chars), 1);
  EXPECT_EQ(chars, 4u);
  EXPECT_EQ(db_.GetStringLengthRange("T", "n", &low, &high), 0);  // not a STRING field

  // A header appended alone has data position 0: its data cannot be read.
  const uint32_t bare = db_.AppendRecordHeader("T");
  ASSERT_NE(bare, 0u);
  EXPECT_EQ(db_.ReadRecordData(bare, data, sizeof data), 0);
  EXPECT_EQ(db_.GetInt(bare, "T", "n", &n), 0);
  EXPECT_EQ(CountTableRecords(&db_, "T", &count), 1);
  EXPECT_EQ(count, 5u);
}

TEST(CountTableRecords, CycleIsAnErrorDistinctFromEmptyTable) {
  TempDir dir;
  CTableDatabase db;
  ASSERT_TRUE(NewTable(db, dir.Sys("cy.ndb"), {{"s", kTdbString}}));
  const uint32_t first = db.AddRecord("T");
  const uint32_t second = db.AddRecord("T");
  ASSERT_TRUE(first && second);
  TdbRecordHeader h;
  ASSERT_EQ(db.ReadRecordHeader(second, &h), 1);
  h.nextRecord = first;  // second -> first -> second -> ...
  ASSERT_EQ(db.WriteRecordHeader(second, &h), 1);
  uint32_t count = 0;
  EXPECT_EQ(CountTableRecords(&db, "T", &count), 0);
  uint32_t low = 0, high = 0;
  EXPECT_EQ(db.GetStringLengthRange("T", "s", &low, &high), 0);
}

// ---- Strings and objects ----

TEST_F(TableDatabaseTest, StringsRewriteInPlaceOrAppend) {
  ASSERT_TRUE(NewTable(db_, Sys(), {{"s", kTdbString}}));
  const uint32_t rec = db_.AddRecord("T");
  uint32_t position = 0;
  ASSERT_EQ(db_.SetStringAt(rec, 1, "0123456789"), 1);
  ASSERT_EQ(db_.GetDwordAt(rec, 1, &position), 1);
  const uint32_t tenBytes = position;
  ASSERT_EQ(db_.SetStringAt(rec, 1, "abcdefgh"), 1);  // 8 bytes: in place
  ASSERT_EQ(db_.GetDwordAt(rec, 1, &position), 1);
  EXPECT_EQ(position, tenBytes);
  const std::size_t end = Size();
  ASSERT_EQ(db_.SetStringAt(rec, 1, "abcdefghijkl"), 1);  // 12 bytes: appended
  ASSERT_EQ(db_.GetDwordAt(rec, 1, &position), 1);
  EXPECT_EQ(position, end);
  EXPECT_EQ(Size(), end + 14);

  const std::string longest(65535, 'x');
  EXPECT_EQ(db_.SetStringAt(rec, 1, longest.c_str()), 1);
  const std::string tooLong(65536, 'x');
  EXPECT_EQ(db_.SetStringAt(rec, 1, tooLong.c_str()), 0);
  std::vector<char> text(65536);
  ASSERT_EQ(db_.GetStringAt(rec, 1, text.data(), text.size()), 1);
  EXPECT_EQ(std::string(text.data()), longest);
}

TEST(TableDatabaseStrings, GetterNeverWritesPastCallerBuffer) {
  TempDir dir;
  CTableDatabase db;
  ASSERT_TRUE(NewTable(db, dir.Sys("g.ndb"), {{"s", kTdbString}, {"o", kTdbDword}}));
  const uint32_t rec = db.AddRecord("T");
  ASSERT_EQ(db.SetString(rec, "T", "s", "abcd"), 1);
  ASSERT_EQ(db.WriteObjectAt(rec, 5, "12345", 5), 1);
  // Heap buffers of exactly the given size, so that a write past them shows.
  std::vector<char> four(4, 'z');
  EXPECT_EQ(db.GetString(rec, "T", "s", four.data(), four.size()), 0);
  EXPECT_EQ(four[0], '\0');
  std::vector<char> five(5);
  EXPECT_EQ(db.GetString(rec, "T", "s", five.data(), five.size()), 1);
  EXPECT_STREQ(five.data(), "abcd");
  uint32_t length = 0;
  EXPECT_EQ(db.ReadObjectAt(rec, 5, four.data(), 4, &length), 0);
  EXPECT_EQ(db.ReadObjectAt(rec, 5, five.data(), 5, &length), 1);
  EXPECT_EQ(std::string(five.data(), length), "12345");
}

TEST_F(TableDatabaseTest, ObjectsRewriteInPlaceOrAppend) {
  ASSERT_TRUE(NewTable(db_, Sys(), {{"o", kTdbDword}}));
  const uint32_t rec = db_.AddRecord("T");
  const std::size_t start = Size();
  ASSERT_EQ(db_.WriteObjectAt(rec, 1, "abcdef", 6), 1);
  EXPECT_EQ(Size(), start + 10);
  ASSERT_EQ(db_.WriteObjectAt(rec, 1, "xyz", 3), 1);  // in place
  EXPECT_EQ(Size(), start + 10);
  EXPECT_EQ(Bytes().substr(start), std::string("\x03\0\0\0xyzdef", 10));
  ASSERT_EQ(db_.WriteObjectAt(rec, 1, "0123", 4), 1);  // longer than 3: appended
  EXPECT_EQ(Size(), start + 18);
  void* block = nullptr;
  uint32_t length = 0;
  ASSERT_EQ(db_.ReadObjectAllocAt(rec, 1, &block, &length), 1);
  EXPECT_EQ(std::string(static_cast<char*>(block), length), "0123");
  std::free(block);
  // A stored length running past the end of the file is not allocated.
  unsigned char huge[4];
  StoreLe(huge, 0xFFFFFFF0u, 4);
  uint32_t position = 0;
  ASSERT_EQ(db_.GetDwordAt(rec, 1, &position), 1);
  plat::File raw;
  ASSERT_TRUE(raw.Open(Sys().c_str(), plat::ModeReadWrite));
  ASSERT_TRUE(raw.Seek(position, plat::SeekOrigin::Begin));
  ASSERT_TRUE(raw.Write(huge, 4));
  raw.Close();
  // An open database does not see others' writes: opened again, it does.
  ASSERT_EQ(db_.OpenForUpdate(Sys().c_str()), 1);
  EXPECT_EQ(db_.ReadObjectAllocAt(rec, 1, &block, &length), 0);
  EXPECT_EQ(block, nullptr);
}
