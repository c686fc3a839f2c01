#include "matching/adrs_engine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "common/message.h"
#include "support/test_util.h"
#include "tabledb/address_dataset.h"
#include "tabledb/table_database.h"
#include "tools/tixbuild/address_tree.h"
#include "tools/tixbuild/tix_writer.h"

using addrtest::Dataset;
using addrtest::Expect;
using addrtest::Records;
using testutil::Show;
using testutil::TempDir;

namespace {

const char kReadError[] = "ファイルの読み込みに失敗しました!(%s)";

std::string ReadErrorFor(const std::string& path) {
  char msg[kMessageSize];
  std::snprintf(msg, sizeof msg, kReadError, path.c_str());
  return msg;
}

void Put32(std::string* s, uint32_t v, int bytes = 4) {
  for (int i = 0; i < bytes; ++i) s->push_back(static_cast<char>(v >> (8 * i)));
}

// A small tree written byte by byte from the file layout, worked out by
// hand:
//   P(1000): C1(2000), C2(2001)
//   C1: O1(3000)            C2: O2(3001), O3(3002)
//   O2: K1(4000)            O3: K2(4001), K3(4002)
//   K1: B1(5000)            K3: B2(5001), B3(5002)
// Levels at 46, 56, 76, 106, 136 with 1, 2, 3, 3, 3 entries; 166 bytes.
std::string HandWrittenIndex(const std::string& lead) {
  std::string s = lead;
  const uint32_t ranges[5][2] = {{46, 1}, {56, 2}, {76, 3}, {106, 3}, {136, 3}};
  for (const auto& r : ranges) {
    Put32(&s, r[0]);
    Put32(&s, r[1]);
  }
  // Entries: record, child base, child count.
  const uint32_t entries[][3] = {{1000, 0, 2},  {2000, 0, 1},  {2001, 10, 2}, {3000, 0, 0},
                                 {3001, 0, 1},  {3002, 10, 2}, {4000, 0, 1},  {4001, 0, 0},
                                 {4002, 10, 2}, {5000, 0, 0},  {5001, 0, 0},  {5002, 0, 0}};
  for (const auto& e : entries) {
    Put32(&s, e[0]);
    Put32(&s, e[1]);
    Put32(&s, e[2], 2);
  }
  return s;
}

// Even length 166: b0 = 2 + 3 + 136, b1 = 166 + 3, b2 = (166 + 106 + 3) >> 2,
// b3 = 46 + 56 + 3, b4 = (1 + 2 * 2 + 3) >> 4.
const std::string kHandWrittenCheck("\x8D\xA9\x44\x69\x00\x00", 6);

std::vector<tixbuild::Node> HandWrittenTree() {
  using tixbuild::Node;
  Node k1{4000, {Node{5000, {}}}};
  Node k3{4002, {Node{5001, {}}, Node{5002, {}}}};
  Node o2{3001, {k1}};
  Node o3{3002, {Node{4001, {}}, k3}};
  Node c1{2000, {Node{3000, {}}}};
  Node c2{2001, {o2, o3}};
  return {Node{1000, {c1, c2}}};
}

struct EngineWithDatabase {
  CTableDatabase db;
  CAdrsEngine engine;
};

// The field that names a level's row, and the flag an oaza-table row must
// carry at that level.
struct LevelField {
  const char* table;
  const char* field;
  const char* flag;
};
const LevelField kLevelFields[5] = {
    {"TC_Todoufuken", "正規都道府県名", nullptr},
    {"TC_Shikutyoson", "正規市区町村名", nullptr},
    {"TC_Oaza", "正規大字通称名", "1"},
    {"TC_Oaza", "正規字丁目名", "0"},
    {"TC_Gaiku", "街区番号", nullptr},
};

std::string ExpectedName(const Dataset& d, int level, int row) {
  switch (level) {
    case 0:
      return d.prefectures[row].name;
    case 1:
      return d.cities[row].name;
    case 2:
      return d.oaza[row].oaza;
    case 3:
      return d.oaza[row].chome;
    default:
      return d.blocks[row].number;
  }
}

uint32_t ExpectedRecord(const Records& r, int level, int row) {
  switch (level) {
    case 0:
      return r.prefectures[row];
    case 1:
      return r.cities[row];
    case 2:
    case 3:
      return r.oaza[row];
    default:
      return r.blocks[row];
  }
}

int ReadAtLevel(CAdrsEngine& engine, int level, uint32_t base, uint16_t n, TixEntry* e, char* msg) {
  switch (level) {
    case 0:
      return engine.ReadPrefectureEntry(n, e, msg);
    case 1:
      return engine.ReadCityEntry(base, n, e, msg);
    case 2:
      return engine.ReadOazaEntry(base, n, e, msg);
    case 3:
      return engine.ReadChomeEntry(base, n, e, msg);
    default:
      return engine.ReadBlockEntry(base, n, e, msg);
  }
}

// Walks the expected children of one parent through the engine and checks
// every entry's record (by position and by the row's values) and count.
void CheckLevel(CAdrsEngine& engine, CTableDatabase& db, const Dataset& d, const Records& r,
                int level, uint32_t base, const std::vector<Expect>& expected) {
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("level " + std::to_string(level + 1) + " entry " + std::to_string(i + 1));
    TixEntry e;
    char msg[kMessageSize] = "";
    ASSERT_EQ(ReadAtLevel(engine, level, base, static_cast<uint16_t>(i + 1), &e, msg), 1)
        << Show(msg);
    const int row = expected[i].row;
    EXPECT_EQ(e.record, ExpectedRecord(r, level, row));
    EXPECT_EQ(e.childCount, expected[i].children.size());
    char text[512];
    ASSERT_EQ(db.GetString(e.record, kLevelFields[level].table, kLevelFields[level].field, text,
                           sizeof text),
              1);
    EXPECT_EQ(text, ExpectedName(d, level, row)) << Show(text);
    if (kLevelFields[level].flag) {
      ASSERT_EQ(db.GetString(e.record, "TC_Oaza", "大字代表点フラグ", text, sizeof text), 1);
      EXPECT_STREQ(text, kLevelFields[level].flag);
    }
    if (!expected[i].children.empty()) {
      CheckLevel(engine, db, d, r, level + 1, e.childBase, expected[i].children);
    }
  }
}

uint32_t CountRows(const std::vector<Expect>& nodes, int depth, int level) {
  uint32_t n = 0;
  for (const Expect& e : nodes) {
    n += depth == level ? 1 : CountRows(e.children, depth + 1, level);
  }
  return n;
}

// The expected level ranges: levels back to back from byte 46.
void CheckHeader(const CAdrsEngine& engine, const std::vector<Expect>& prefectures) {
  TixHeader h;
  ASSERT_EQ(engine.GetHeader(&h), 1);
  uint32_t offset = kTixHeaderSize;
  for (int level = 0; level < kTixLevelCount; ++level) {
    const uint32_t count = CountRows(prefectures, 0, level);
    EXPECT_EQ(h.levels[level].offset, offset) << "level " << level + 1;
    EXPECT_EQ(h.levels[level].count, count) << "level " << level + 1;
    offset += count * kTixEntrySize;
  }
}

bool BuildDataset(const TempDir& dir, const std::string& title, const Dataset& d, int kind,
                  Records* records, std::string* error) {
  return addrtest::BuildPrefectureFiles(dir.Sys(""), title, d, kind, records, error);
}

// Both data sets in one database: Osaka's rows after Tokyo's.
Dataset BothPrefectures() {
  Dataset both = addrtest::Tokyo();
  const Dataset osaka = addrtest::Osaka();
  both.prefectures.insert(both.prefectures.end(), osaka.prefectures.begin(),
                          osaka.prefectures.end());
  both.cities.insert(both.cities.end(), osaka.cities.begin(), osaka.cities.end());
  both.oaza.insert(both.oaza.end(), osaka.oaza.begin(), osaka.oaza.end());
  both.blocks.insert(both.blocks.end(), osaka.blocks.begin(), osaka.blocks.end());
  return both;
}

Expect Shifted(Expect e, int level, const int shift[5]) {
  e.row += shift[level];
  for (Expect& c : e.children) c = Shifted(c, level + 1, shift);
  return e;
}

}  // namespace

// ---------------------------------------------------------------------------
// Check value

TEST(IndexHeaderCheckValue, HandComputedBytes) {
  struct Case {
    const char* name;
    uint32_t length;
    std::vector<std::pair<int, uint32_t>> values;  // header offset, value
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"all zero, even", 46, {}, std::string("\x00\x2E\x0B\x00\x00", 5)},
      {"all zero, odd", 47, {}, std::string("\x00\x2F\x00\x00\x2F", 5)},
      {"one prefecture level, even",
       56,
       {{6, 46}, {10, 1}, {14, 56}, {22, 56}, {30, 56}, {38, 56}},
       std::string("\x38\x38\x1C\x66\x00", 5)},
      // b0 = 1 + 56 + 3 + 106, b1 = 167 + 3 + 136, b2 = 76 + 3 + 136,
      // b3 = (1 + 2 + 3 + 3 + 3) >> 4, b4 = 167 + 46 + 56 + 2 x 106.
      {"five levels, odd",
       167,
       {{6, 46},
        {10, 1},
        {14, 56},
        {18, 2},
        {22, 76},
        {26, 3},
        {30, 106},
        {34, 3},
        {38, 136},
        {42, 3}},
       std::string("\xA6\x32\xD7\x00\xE1", 5)},
      // (100 + 0xFFFFFFFF + 5) wraps to 104; 104 >> 2 = 26.
      {"wrapping sum, even",
       100,
       {{30, 0xFFFFFFFFu}, {34, 5}},
       std::string("\x00\x69\x1A\x00\x00", 5)},
      // 2 x 0x80000001 wraps to 2: b4 = 1 + 2; b0 = 0x80000001 -> 01.
      {"doubled value wraps, odd", 1, {{30, 0x80000001u}}, std::string("\x01\x01\x00\x00\x03", 5)},
  };
  for (const Case& c : cases) {
    unsigned char header[kTixHeaderSize] = {};
    for (const auto& [offset, value] : c.values) {
      for (int i = 0; i < 4; ++i) header[offset + i] = static_cast<unsigned char>(value >> (8 * i));
    }
    unsigned char out[kTixCheckLength];
    ASSERT_EQ(IndexHeaderCheckValue(c.length, header, out), 1) << c.name;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), kTixCheckLength), c.expected) << c.name;
  }
  unsigned char header[kTixHeaderSize] = {};
  unsigned char out[kTixCheckLength];
  EXPECT_EQ(IndexHeaderCheckValue(46, nullptr, out), 0);
  EXPECT_EQ(IndexHeaderCheckValue(46, header, nullptr), 0);
}

TEST(IndexHeaderCheckValue, AgreesWithTheBuildersOwnComputation) {
  std::mt19937 random(20240601);
  for (int round = 0; round < 2000; ++round) {
    unsigned char header[kTixHeaderSize];
    for (unsigned char& b : header) b = static_cast<unsigned char>(random());
    const uint32_t length = random();
    unsigned char reader[kTixCheckLength];
    unsigned char builder[5];
    ASSERT_EQ(IndexHeaderCheckValue(length, header, reader), 1);
    tixbuild::ComputeCheckBytes(length, header, builder);
    ASSERT_EQ(std::memcmp(reader, builder, 5), 0) << "length " << length;
  }
}

// ---------------------------------------------------------------------------
// The file layout: the builder against bytes written by hand (the reader is
// held to the builder's files below)

TEST(TixBuilder, WritesTheHandWrittenLayoutOfBothKinds) {
  std::string image;
  std::string error;
  ASSERT_TRUE(tixbuild::BuildIndexImage(HandWrittenTree(), 1, &image, &error)) << error;
  EXPECT_EQ(image, HandWrittenIndex("TVXADI"));
  ASSERT_TRUE(tixbuild::BuildIndexImage(HandWrittenTree(), 2, &image, &error)) << error;
  EXPECT_EQ(image, HandWrittenIndex(kHandWrittenCheck));
}

TEST(TixBuilder, RefusesTreesTheLayoutCannotHold) {
  std::string image;
  std::string error;
  EXPECT_FALSE(tixbuild::BuildIndexImage(HandWrittenTree(), 3, &image, &error));
  EXPECT_FALSE(tixbuild::BuildIndexImage(HandWrittenTree(), 0, &image, &error));

  // A child under a block entry: six levels.
  std::vector<tixbuild::Node> deep = HandWrittenTree();
  deep[0].children[1].children[1].children[1].children[0].children.push_back({9, {}});
  EXPECT_FALSE(tixbuild::BuildIndexImage(deep, 1, &image, &error));
  EXPECT_NE(error.find("block"), std::string::npos);

  // 65,536 children cannot be counted in 16 bits; 65,535 can.
  std::vector<tixbuild::Node> wide = {tixbuild::Node{1, {}}};
  wide[0].children.resize(65535);
  ASSERT_TRUE(tixbuild::BuildIndexImage(wide, 1, &image, &error)) << error;
  EXPECT_EQ(image.size(), 46u + 10u * 65536);
  wide[0].children.resize(65536);
  EXPECT_FALSE(tixbuild::BuildIndexImage(wide, 1, &image, &error));
}

// ---------------------------------------------------------------------------
// Data sets written by the table database and the builder

TEST(AdrsEngine, TwoPrefectureDataSetsOpenAndReadBackExactly) {
  for (int kind : {1, 2}) {
    SCOPED_TRACE("kind " + std::to_string(kind));
    TempDir dir;
    const struct {
      const char* title;
      Dataset data;
      Expect tree;
    } sets[] = {{"QVAD13", addrtest::Tokyo(), addrtest::TokyoTree()},
                {"QVAD27", addrtest::Osaka(), addrtest::OsakaTree()}};
    Records records[2];
    for (int i = 0; i < 2; ++i) {
      std::string error;
      ASSERT_TRUE(BuildDataset(dir, sets[i].title, sets[i].data, kind, &records[i], &error))
          << error;
    }
    EXPECT_EQ(ProbeIndexFiles(dir.path().c_str()), kind);

    // One engine and one database per prefecture in turn, as the search
    // driver uses them.
    EngineWithDatabase e;
    for (int i = 0; i < 2; ++i) {
      SCOPED_TRACE(sets[i].title);
      const std::string ndb = dir.Sys(std::string(sets[i].title) + ".NDB");
      const std::string tix = dir.Sys(std::string(sets[i].title) + ".TIX");
      ASSERT_EQ(e.db.Open(ndb.c_str()), 1);
      ASSERT_EQ(e.engine.Open(tix.c_str(), kind), 1);
      ASSERT_EQ(e.engine.SetDatabase(&e.db), 1);
      CheckHeader(e.engine, {sets[i].tree});
      CheckLevel(e.engine, e.db, sets[i].data, records[i], 0, 0, {sets[i].tree});
      e.engine.Close();
      e.db.Close();
    }
  }
}

TEST(AdrsEngine, OneDatabaseWithTwoPrefectureRows) {
  TempDir dir;
  const Dataset both = BothPrefectures();
  Records records;
  std::string error;
  ASSERT_TRUE(BuildDataset(dir, "QVAD13", both, 1, &records, &error)) << error;
  const Dataset tokyo = addrtest::Tokyo();
  const int shift[5] = {static_cast<int>(tokyo.prefectures.size()),
                        static_cast<int>(tokyo.cities.size()), static_cast<int>(tokyo.oaza.size()),
                        static_cast<int>(tokyo.oaza.size()), static_cast<int>(tokyo.blocks.size())};
  const std::vector<Expect> tree = {addrtest::TokyoTree(),
                                    Shifted(addrtest::OsakaTree(), 0, shift)};
  EngineWithDatabase e;
  ASSERT_EQ(e.db.Open(dir.Sys("QVAD13.NDB").c_str()), 1);
  ASSERT_EQ(e.engine.Open(dir.Sys("QVAD13.TIX").c_str(), 1), 1);
  e.engine.SetDatabase(&e.db);
  CheckHeader(e.engine, tree);
  CheckLevel(e.engine, e.db, both, records, 0, 0, tree);
}

TEST(TixBuilder, RefusesRowsWithoutAParentAndUnknownFlags) {
  struct Case {
    const char* name;
    std::function<void(Dataset*)> damage;
  };
  const Case cases[] = {
      {"municipality of another prefecture",
       [](Dataset* d) {
         d->cities.push_back({"14101", "横浜市鶴見区"});
       }},
      {"oaza of an unknown municipality",
       [](Dataset* d) {
         d->oaza.push_back({"13104001000", "西新宿", "", "1"});
       }},
      {"chome of an unknown oaza",
       [](Dataset* d) {
         d->oaza.push_back({"13101009001", "霞が関", "一丁目", "0"});
       }},
      {"block of an unknown chome",
       [](Dataset* d) {
         d->blocks.push_back({"13101001009", "１"});
       }},
      {"flag neither 0 nor 1", [](Dataset* d) { d->oaza[0].flag = "2"; }},
      {"short place code", [](Dataset* d) { d->oaza[1].code = "1310100100"; }},
      {"two chome rows with one code",
       [](Dataset* d) {
         d->oaza.push_back({"13101001001", "丸の内", "一丁目", "0"});
       }},
  };
  for (const Case& c : cases) {
    TempDir dir;
    Dataset d = addrtest::Tokyo();
    c.damage(&d);
    Records records;
    std::string error;
    EXPECT_FALSE(BuildDataset(dir, "QVAD13", d, 1, &records, &error)) << c.name;
    EXPECT_FALSE(error.empty()) << c.name;
    EXPECT_FALSE(testutil::Exists(dir.Native("QVAD13.TIX"))) << c.name;
  }
}

// ---------------------------------------------------------------------------
// Opening

TEST(AdrsEngine, OpenRefusesTheWrongKindAndBadFilesAndStaysClosed) {
  TempDir dir;
  const std::string kind1 = dir.Sys("K1.TIX");
  const std::string kind2 = dir.Sys("K2.TIX");
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("K1.TIX"), HandWrittenIndex("TVXADI")));
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("K2.TIX"), HandWrittenIndex(kHandWrittenCheck)));
  // A kind-2 file whose sixth byte is something else still opens.
  std::string k2Other = HandWrittenIndex(kHandWrittenCheck);
  k2Other[5] = 'Z';
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("K2Z.TIX"), k2Other));
  // One check byte wrong.
  std::string k2Bad = HandWrittenIndex(kHandWrittenCheck);
  k2Bad[2] = static_cast<char>(k2Bad[2] ^ 1);
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("K2BAD.TIX"), k2Bad));
  ASSERT_TRUE(
      testutil::WriteBytes(dir.Native("SHORT.TIX"), HandWrittenIndex("TVXADI").substr(0, 45)));

  const struct {
    std::string path;
    int32_t kind;
    int expected;
  } cases[] = {
      {kind1, 1, 1},
      {kind2, 2, 1},
      {dir.Sys("K2Z.TIX"), 2, 1},
      {kind1, 2, 0},
      {kind2, 1, 0},
      {kind1, 0, 0},
      {kind1, 3, 0},
      {dir.Sys("K2BAD.TIX"), 2, 0},
      {dir.Sys("SHORT.TIX"), 1, 0},
      {dir.Sys("MISSING.TIX"), 1, 0},
      {dir.path(), 1, 0},
  };
  CAdrsEngine engine;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path + " as kind " + std::to_string(c.kind));
    // Every open closes what was open first, so a failure after a success
    // leaves the engine closed.
    ASSERT_EQ(engine.Open(kind1.c_str(), 1), 1);
    EXPECT_EQ(engine.Open(c.path.c_str(), c.kind), c.expected);
    EXPECT_EQ(engine.IsOpen(), c.expected);
    TixHeader h;
    EXPECT_EQ(engine.GetHeader(&h), c.expected);
    EXPECT_EQ(engine.GetIndexKind(), c.expected ? c.kind : 0);
    EXPECT_STREQ(engine.GetIndexPath(), c.expected ? c.path.c_str() : "");
  }
  EXPECT_EQ(engine.Open(nullptr, 1), 0);
  EXPECT_EQ(engine.Open(std::string(5000, 'a').c_str(), 1), 0);
}

TEST(AdrsEngine, TruncatedIndexFailsWithTheReadMessage) {
  TempDir dir;
  const Dataset tokyo = addrtest::Tokyo();
  Records records;
  std::string error;
  ASSERT_TRUE(BuildDataset(dir, "FULL", tokyo, 1, &records, &error)) << error;
  const std::string full = testutil::ReadBytes(dir.Native("FULL.TIX"));
  ASSERT_EQ(full.size(), 46u + 10u * (1 + 3 + 4 + 5 + 6));
  CTableDatabase db;
  ASSERT_EQ(db.Open(dir.Sys("FULL.NDB").c_str()), 1);
  const std::string path = dir.Sys("CUT.TIX");
  const std::vector<Expect> tree = {addrtest::TokyoTree()};

  // Walks every entry; false at the first read that fails.
  std::function<bool(CAdrsEngine&, int, uint32_t, const std::vector<Expect>&, char*)> walk =
      [&](CAdrsEngine& engine, int level, uint32_t base, const std::vector<Expect>& nodes,
          char* msg) {
        for (std::size_t i = 0; i < nodes.size(); ++i) {
          TixEntry e;
          if (!ReadAtLevel(engine, level, base, static_cast<uint16_t>(i + 1), &e, msg)) {
            return false;
          }
          if (e.record != ExpectedRecord(records, level, nodes[i].row)) {
            ADD_FAILURE() << "wrong record at level " << level + 1;
            return false;
          }
          if (!walk(engine, level + 1, e.childBase, nodes[i].children, msg)) return false;
        }
        return true;
      };

  for (std::size_t cut = 0; cut <= full.size(); ++cut) {
    SCOPED_TRACE("length " + std::to_string(cut));
    ASSERT_TRUE(testutil::WriteBytes(dir.Native("CUT.TIX"), full.substr(0, cut)));
    CAdrsEngine engine;
    const int opened = engine.Open(path.c_str(), 1);
    ASSERT_EQ(opened, cut >= kTixHeaderSize ? 1 : 0);
    if (!opened) continue;
    engine.SetDatabase(&db);
    char msg[kMessageSize] = "";
    const bool whole = walk(engine, 0, 0, tree, msg);
    EXPECT_EQ(whole, cut == full.size());
    if (!whole) {
      EXPECT_EQ(std::string(msg), ReadErrorFor(path)) << Show(msg);
    }
    // A kind-2 index cut short no longer matches its check bytes.
  }
  std::string image;
  ASSERT_TRUE(
      tixbuild::BuildIndexImage({tixbuild::Node{1, {tixbuild::Node{2, {}}}}}, 2, &image, &error));
  for (std::size_t cut = kTixHeaderSize; cut < image.size(); ++cut) {
    ASSERT_TRUE(testutil::WriteBytes(dir.Native("CUT2.TIX"), image.substr(0, cut)));
    CAdrsEngine engine;
    EXPECT_EQ(engine.Open(dir.Sys("CUT2.TIX").c_str(), 2), 0) << "length " << cut;
  }
}

TEST(AdrsEngine, EntryReadersCheckReadinessAndTheEntryNumber) {
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("QVAD13.TIX"), HandWrittenIndex("TVXADI")));
  const std::string path = dir.Sys("QVAD13.TIX");
  CAdrsEngine engine;
  CTableDatabase db;
  char msg[kMessageSize] = "";
  TixEntry e;

  EXPECT_EQ(engine.CheckReady(msg), 0);
  EXPECT_STREQ(msg, "インデックスファイルがオープンされていません！");
  EXPECT_EQ(engine.ReadPrefectureEntry(1, &e, msg), 0);
  EXPECT_STREQ(msg, "インデックスファイルがオープンされていません！");

  ASSERT_EQ(engine.Open(path.c_str(), 1), 1);
  EXPECT_EQ(engine.ReadCityEntry(0, 1, &e, msg), 0);
  EXPECT_STREQ(msg, "データベースがセットされていません！");
  EXPECT_EQ(engine.CheckReady(nullptr), 0);

  engine.SetDatabase(&db);
  EXPECT_EQ(engine.GetDatabase(), &db);
  EXPECT_EQ(engine.CheckReady(msg), 1);
  // Entry 0 does not exist: it must not read the bytes before the level.
  EXPECT_EQ(engine.ReadCityEntry(10, 0, &e, msg), 0);
  EXPECT_EQ(std::string(msg), ReadErrorFor(path));
  // A child base that puts the entry past 4 GB does not wrap round.
  EXPECT_EQ(engine.ReadBlockEntry(0xFFFFFFFFu - 135, 2, &e, msg), 0);
  EXPECT_EQ(std::string(msg), ReadErrorFor(path));
  // The last entry of the file reads; one further does not.
  EXPECT_EQ(engine.ReadBlockEntry(0, 3, &e, msg), 1);
  EXPECT_EQ(e.record, 5002u);
  EXPECT_EQ(engine.ReadBlockEntry(0, 4, &e, msg), 0);
  EXPECT_EQ(engine.ReadBlockEntry(0, 4, &e, nullptr), 0);

  engine.Close();
  EXPECT_EQ(engine.GetDatabase(), nullptr);
  EXPECT_EQ(engine.ReadPrefectureEntry(1, &e, msg), 0);
  EXPECT_STREQ(msg, "インデックスファイルがオープンされていません！");
}

TEST(AdrsEngine, OazaEntryRunsReadAsTheEntriesOneByOne) {
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("QVAD13.TIX"), HandWrittenIndex("TVXADI")));
  const std::string path = dir.Sys("QVAD13.TIX");
  CAdrsEngine engine;
  CTableDatabase db;
  char msg[kMessageSize] = "";
  TixEntry e[4];

  // Not ready: the readiness messages of ReadOazaEntry.
  EXPECT_EQ(engine.ReadOazaEntries(0, 1, 2, e, msg), 0u);
  EXPECT_STREQ(msg, "インデックスファイルがオープンされていません！");
  ASSERT_EQ(engine.Open(path.c_str(), 1), 1);
  EXPECT_EQ(engine.ReadOazaEntries(0, 1, 2, e, msg), 0u);
  EXPECT_STREQ(msg, "データベースがセットされていません！");

  engine.SetDatabase(&db);
  // The children of C2 (child base 10): O2 and O3.
  msg[0] = '\0';
  EXPECT_EQ(engine.ReadOazaEntries(10, 1, 2, e, msg), 2u);
  EXPECT_STREQ(msg, "");
  EXPECT_EQ(e[0].record, 3001u);
  EXPECT_EQ(e[1].record, 3002u);
  EXPECT_EQ(e[1].childBase, 10u);
  EXPECT_EQ(e[1].childCount, 2u);
  for (uint16_t first = 0; first <= 10; ++first) {
    for (uint32_t count = 0; count <= 4; ++count) {
      TixEntry one[4];
      char msgOne[kMessageSize] = "";
      uint32_t byOne = 0;
      while (byOne < count &&
             engine.ReadOazaEntry(0, static_cast<uint16_t>(first + byOne), &one[byOne], msgOne)) {
        ++byOne;
      }
      char msgRun[kMessageSize] = "";
      EXPECT_EQ(engine.ReadOazaEntries(0, first, count, e, msgRun), byOne) << first << " " << count;
      EXPECT_STREQ(msgRun, msgOne);
      for (uint32_t k = 0; k < byOne; ++k) EXPECT_EQ(e[k].record, one[k].record);
    }
  }
  // Entry 9 is the file's last (B3, read as an oaza entry), 10 lies past it.
  EXPECT_EQ(engine.ReadOazaEntries(0, 9, 3, e, msg), 1u);
  EXPECT_EQ(e[0].record, 5002u);
  EXPECT_EQ(std::string(msg), ReadErrorFor(path));
  EXPECT_EQ(engine.ReadOazaEntries(0, 10, 3, e, msg), 0u);
}

// ---------------------------------------------------------------------------
// Probe

TEST(ProbeIndexFiles, FindsTheKindOfTheFirstQualifyingFile) {
  const std::string k1 = HandWrittenIndex("TVXADI");
  const std::string k2 = HandWrittenIndex(kHandWrittenCheck);
  const std::string neither = HandWrittenIndex(std::string("\x01\x02\x03\x04\x05\x06", 6));
  const struct {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files;
    int expected;
  } cases[] = {
      {"empty folder", {}, 0},
      {"only prefecture 13, magic", {{"QVAD13.TIX", k1}}, 1},
      {"only prefecture 13, check bytes", {{"QVAD13.TIX", k2}}, 2},
      {"magic cut to 45 bytes", {{"QVAD13.TIX", k1.substr(0, 45)}}, 0},
      {"first magic bytes only", {{"QVAD13.TIX", k1.substr(0, 46)}}, 1},
      {"neither form", {{"QVAD13.TIX", neither}}, 0},
      {"lower number wins", {{"QVAD05.TIX", k2}, {"QVAD13.TIX", k1}}, 2},
      {"bad file passed over", {{"QVAD01.TIX", neither}, {"QVAD47.TIX", k1}}, 1},
      {"number 48 not tried", {{"QVAD48.TIX", k1}}, 0},
      {"lower-case name on disk", {{"qvad13.tix", k1}}, 1},
      {"folder of that name", {{"QVAD02.TIX/", ""}, {"QVAD03.TIX", k2}}, 2},
  };
  for (const auto& c : cases) {
    TempDir dir;
    for (const auto& [name, bytes] : c.files) {
      if (name.back() == '/') {
        ASSERT_TRUE(std::filesystem::create_directory(dir.Native(name.substr(0, name.size() - 1))));
      } else {
        ASSERT_TRUE(testutil::WriteBytes(dir.Native(name), bytes));
      }
    }
    EXPECT_EQ(ProbeIndexFiles(dir.path().c_str()), c.expected) << c.name;
    EXPECT_EQ(ProbeIndexFiles((dir.path() + "\\").c_str()), c.expected) << c.name;
  }
  EXPECT_EQ(ProbeIndexFiles(nullptr), 0);
  EXPECT_EQ(ProbeIndexFiles(std::string(5000, 'x').c_str()), 0);
}

// ---------------------------------------------------------------------------
// Scales

TEST(PrecisionFromScale, ScaleTextsAndShortCodes) {
  const struct {
    const char* text;
    int full;       // the program's form
    int textsOnly;  // the reference library's form
  } cases[] = {
      {"10000", 1, 1}, {"1", 1, 7}, {"2000", 2, 2},   {"20", 2, 7}, {"25000", 3, 3}, {"2", 3, 7},
      {"50000", 4, 4}, {"3", 4, 7}, {"70000", 5, 5},  {"7", 5, 7},  {"80000", 6, 6}, {"8", 6, 7},
      {"20000", 7, 7}, {"", 7, 7},  {"10000 ", 7, 7}, {"02", 7, 7},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PrecisionFromScale(c.text), c.full) << c.text;
    EXPECT_EQ(PrecisionFromScale(c.text, 0), c.textsOnly) << c.text;
  }
  EXPECT_EQ(PrecisionFromScale(nullptr), 7);
}

TEST(PrecisionFromScale, CodesUseTheLowByte) {
  const std::pair<int32_t, int> cases[] = {{1, 1},   {20, 2},   {2, 3},          {3, 4},  {7, 5},
                                           {8, 6},   {0, 7},    {4, 7},          {10, 7}, {276, 2},
                                           {257, 1}, {-255, 1}, {0x7FFFFF07, 5}, {200, 7}};
  for (const auto& [code, expected] : cases) {
    EXPECT_EQ(PrecisionFromScaleCode(code), expected) << code;
  }
}

// ---------------------------------------------------------------------------
// Lifecycle, switches and state

TEST(AdrsEngine, ConstructedClosedWithTheDefaults) {
  CAdrsEngine engine;
  TixHeader h;
  EXPECT_EQ(engine.GetHeader(&h), 0);
  EXPECT_EQ(engine.GetIndexKind(), 0);
  const int32_t switches[] = {
      engine.GetGroupIndexMode(),     engine.GetStatusFilter(), engine.GetEstimationSwitch(),
      engine.GetHistoryCheck(),       engine.GetOptionBit8(),   engine.GetKanaMatching(),
      engine.GetNumberUnitMatching(), engine.GetMatchDepth(),   engine.GetEstimationRange()};
  const int32_t expected[] = {1, 0, 0, 0, 1, 0, 1, 4, 50};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(switches[i], expected[i]) << "switch " << i;
  EXPECT_EQ(engine.GetEstimationDistanceLimit(), 16000.0);
}

TEST(AdrsEngine, SwitchesTakeTheirBitsAndRefuseOutOfRangeValues) {
  CAdrsEngine engine;
  EXPECT_EQ(engine.SetSearchFlags(0x1FF), 1);
  EXPECT_EQ(engine.GetStatusFilter(), 0xF);
  EXPECT_EQ(engine.GetEstimationSwitch(), 1);
  EXPECT_EQ(engine.GetOptionBit8(), 1);
  EXPECT_EQ(engine.SetSearchFlags(0xFFFFFEE2u), 1);  // bits 4 and 8 clear
  EXPECT_EQ(engine.GetStatusFilter(), 2);
  EXPECT_EQ(engine.GetEstimationSwitch(), 0);
  EXPECT_EQ(engine.GetOptionBit8(), 0);

  EXPECT_EQ(engine.SetKanaMatching(1), 1);
  EXPECT_EQ(engine.SetKanaMatching(2), 0);
  EXPECT_EQ(engine.SetKanaMatching(-1), 0);
  EXPECT_EQ(engine.GetKanaMatching(), 1);
  EXPECT_EQ(engine.SetHistoryCheck(1), 1);
  EXPECT_EQ(engine.SetHistoryCheck(5), 0);
  EXPECT_EQ(engine.GetHistoryCheck(), 1);

  EXPECT_EQ(engine.SetGroupIndexFile(1, "D:\\QVAD13_CDG.TIX"), 1);
  EXPECT_STREQ(engine.GetGroupIndexPath(), "D:\\QVAD13_CDG.TIX");
  EXPECT_EQ(engine.SetGroupIndexFile(1, std::string(kPathBufferSize, 'a').c_str()), 0);
  EXPECT_EQ(engine.SetGroupIndexFile(1, nullptr), 0);
  EXPECT_STREQ(engine.GetGroupIndexPath(), "D:\\QVAD13_CDG.TIX");
  EXPECT_EQ(engine.SetGroupIndexFile(0, "ignored"), 1);
  EXPECT_EQ(engine.GetGroupIndexMode(), 0);
  EXPECT_STREQ(engine.GetGroupIndexPath(), "");
}

TEST(AdrsEngine, CloseClearsTheOpeningButKeepsTheSwitches) {
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("QVAD13.TIX"), HandWrittenIndex("TVXADI")));
  CAdrsEngine engine;
  CTableDatabase db;
  CRecordList replacement;
  CRecordList extra;
  ASSERT_EQ(engine.Open(dir.Sys("QVAD13.TIX").c_str(), 1), 1);
  engine.SetDatabase(&db);
  engine.SetDictionaries(nullptr, &replacement);
  engine.SetExtraReplacementList(&extra);
  engine.SetSearchFlags(0x13);
  engine.SetKanaMatching(1);
  engine.SetNumberUnitMatching(0);
  ASSERT_EQ(engine.AllocateWorkLists(), 1);
  // Room for 256 at first, then growing.
  for (uint32_t i = 1; i <= 300; ++i) ASSERT_EQ(engine.AddLotCandidate(i, 2, 3, ~i), i);
  uint32_t city = 0, area = 0, block = 0, change = 0;
  ASSERT_EQ(engine.GetLotCandidate(257, &city, &area, &block, &change), 1);
  EXPECT_EQ(city, 257u);
  EXPECT_EQ(change, ~257u);
  EXPECT_EQ(engine.GetLotCandidate(301, &city, &area, &block, &change), 0);
  engine.SetMatchedRows(300, 400);
  engine.SetMatchedPrefectureRow(200);
  engine.SetChomeRow(500);
  engine.SetOazaLevelRow(600);
  engine.SetUnmatchedText("１番地");
  engine.SetRestAfterLot("号");

  engine.Close();
  EXPECT_EQ(engine.IsOpen(), 0);
  EXPECT_EQ(engine.GetIndexKind(), 0);
  EXPECT_STREQ(engine.GetIndexPath(), "");
  EXPECT_EQ(engine.GetDatabase(), nullptr);
  TixHeader h;
  EXPECT_EQ(engine.GetHeader(&h), 0);
  EXPECT_EQ(engine.GetMatchedCityRow(), 0);
  EXPECT_EQ(engine.GetMatchedNameRow(), 0);
  EXPECT_EQ(engine.GetMatchedPrefectureRow(), 0);
  EXPECT_EQ(engine.GetChomeRow(), 0);
  EXPECT_EQ(engine.GetOazaLevelRow(), 0);
  EXPECT_STREQ(engine.GetUnmatchedText(), "");
  EXPECT_STREQ(engine.GetRestAfterLot(), "");
  // The work lists are gone until they are made again.
  EXPECT_EQ(engine.GetLotCandidate(1, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(engine.AddLotCandidate(1, 2, 3, 4), 0u);
  // The switches stay.
  EXPECT_EQ(engine.GetStatusFilter(), 3);
  EXPECT_EQ(engine.GetEstimationSwitch(), 1);
  EXPECT_EQ(engine.GetKanaMatching(), 1);
  EXPECT_EQ(engine.GetNumberUnitMatching(), 0);
}

TEST(AdrsEngine, RestTextsAreCutAtACharacterBoundary) {
  CAdrsEngine engine;
  // "a" then kanji: 511 bytes end on a whole character.
  std::string text = "a";
  while (text.size() < 700) text += "丁";
  engine.SetRestAfterBlock(text.c_str());
  const std::string kept = engine.GetRestAfterBlock();
  EXPECT_EQ(kept.size(), 511u);
  EXPECT_EQ(kept, text.substr(0, 511));
  // Kanji only: byte 511 would be half a character, so 510 bytes are kept.
  std::string kanji;
  while (kanji.size() < 700) kanji += "丁";
  engine.SetUnmatchedText(kanji.c_str());
  EXPECT_EQ(std::string(engine.GetUnmatchedText()), kanji.substr(0, 510));
  engine.SetUnmatchedText(engine.GetUnmatchedText());
  EXPECT_EQ(std::string(engine.GetUnmatchedText()), kanji.substr(0, 510));
  engine.SetRestAfterOaza(nullptr);
  EXPECT_STREQ(engine.GetRestAfterOaza(), "");
}
