// The block and lot levels of the matcher on the generated sample data
// (Database/住所, prefecture 13): every path a block or a lot can be found
// by, with the (level, parent, entry, consumed, rest) it must give. The
// expected values are read off the data description
// (tools/sampledata/data/*.tsv):
//  - TC_Gaiku entries of 丸の内一丁目 (13101001001), in order: 1 "１", 2 ""
//    (code 00002), 3 "３" status 5, 4 "３" status A, 5 "５" status 3,
//    6 "５" status 0, 7 "６"; all at scale 2000 (precision class 2);
//  - change-history records of prefecture 13, numbered in the file's order
//    (code, block name, lot name): 1 block １, 2 lot １, 3 lot ３, 4 lot ５
//    (digit 1), 5 block ２ lot １, 6 lot ５, 7 block ４, 8 its lot １ (all
//    13101001001); 9 block １２ of 箱根ケ崎 (13303001000), 10-12 its lots
//    １ ２ ３ (３ abolished), 13 lot 甲, 14-15 block ２３３５ lots １ ２, 16
//    block イ, 17 its lot １; 18-19 東松原 (13303001A00) block １０ lots;
//  - change-code index: 13101001001 block 00001 lots 1 5 7 and block 00008
//    lots 1 2; 13303001000 block 02335; 13303001A00 blocks 00010, 00015
//    (lot 1 digit 1, lot 2 digit 0) and A0001 named ロ.
// Lot candidates and estimates are numbered from 1 in a fresh engine.

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "common/message.h"
#include "matching/adrs_engine.h"
#include "matching/edit_text.h"
#include "matching/normalize.h"
#include "matching/number_text.h"
#include "sample_folder.h"
#include "support/test_util.h"
#include "tabledb/address_dataset.h"
#include "tabledb/table_database.h"
#include "tools/tixbuild/address_tree.h"

using testutil::Show;
using testutil::Sjis;
using testutil::TempDir;

namespace {

constexpr int32_t kChildBase = INT32_MIN;  // expected parent: the chome's child base

struct Chome {
  uint32_t childBase = 0;
  uint16_t count = 0;
};

// The engine on the generated data of prefecture 13.
class SampleEngine {
 public:
  explicit SampleEngine(bool history = true) {
    folder_ = sample::Folder();
    ok_ = !folder_.empty() && db_.Open((folder_ + "QVAD13.NDB").c_str()) &&
          engine_.Open((folder_ + "QVAD13.TIX").c_str(), 2) && engine_.SetDatabase(&db_) &&
          engine_.AllocateWorkLists() &&
          engine_.SetChangeCodeIndexFile((folder_ + "QAD_CH13.CDI").c_str());
    if (ok_ && history) {
      ok_ = engine_.SetChangeHistoryFiles((folder_ + "QAD_CH13.CDB").c_str(),
                                          (folder_ + "QAD_CH13.CIX").c_str());
    }
  }
  bool ok() const { return ok_; }
  CAdrsEngine& engine() { return engine_; }
  const std::string& folder() const { return folder_; }

  // The block entries of an aza/chome by its 地名コード.
  Chome Locate(const std::string& code) {
    char msg[kMessageSize] = "";
    uint16_t p = 0, c = 0, o = 0, h = 0;
    TixEntry pref, city, oaza, chome;
    const bool found =
        engine_.FindPrefectureByCode(code.substr(0, 2).c_str(), &p, msg) &&
        engine_.ReadPrefectureEntry(p, &pref, msg) &&
        engine_.FindCityByCode(code.substr(0, 5).c_str(), pref.childBase, pref.childCount, &c,
                               msg) &&
        engine_.ReadCityEntry(pref.childBase, c, &city, msg) &&
        engine_.FindOazaByPlaceCode(code.substr(0, 8).c_str(), city.childBase, city.childCount, &o,
                                    msg) &&
        engine_.ReadOazaEntry(city.childBase, o, &oaza, msg) &&
        engine_.FindChomeByPlaceCode(code.c_str(), oaza.childBase, oaza.childCount, &h, msg) &&
        engine_.ReadChomeEntry(oaza.childBase, h, &chome, msg);
    EXPECT_TRUE(found) << code << " " << Show(msg);
    return found ? Chome{chome.childBase, chome.childCount} : Chome{};
  }

 private:
  std::string folder_;
  CTableDatabase db_;
  CAdrsEngine engine_;
  bool ok_ = false;
};

// The input as the driver hands it on: normalised, the written form kept.
bool MakeText(CEditText* text, const char8_t* input) {
  return text->Init(Sjis(input).c_str()) && NormalizeEditText(nullptr, nullptr, text);
}

struct Expected {
  int result;
  int32_t level, parent;
  int16_t entry;
  int32_t consumed;
  const char8_t* rest;
  int32_t status;
};
// No result.
constexpr Expected kNoMatch = {0, 0, 0, 0, 0, u8"", 0};

struct BlockCase {
  const char* what;
  const char* place;
  const char8_t* input;
  uint32_t flags;  // search flags: status filter, estimation switch (0x10)
  int32_t historyCheck;
  Expected expected;
};

// Runs MatchBlock on a fresh engine and checks everything it reports.
void CheckBlock(const BlockCase& c, SampleEngine* given = nullptr) {
  SampleEngine own;
  SampleEngine& s = given ? *given : own;
  ASSERT_TRUE(s.ok()) << c.what;
  CAdrsEngine& e = s.engine();
  e.SetSearchFlags(c.flags | 0x100);
  e.SetHistoryCheck(c.historyCheck);
  const Chome chome = s.Locate(c.place);
  CEditText text;
  ASSERT_TRUE(MakeText(&text, c.input)) << c.what;
  const std::string before = text.GetText();
  const uint32_t versions = text.GetVersionCount();
  NumberMatch m;
  char msg[kMessageSize] = "";
  const int r = e.MatchBlock(chome.childBase, chome.count, c.place, &text, &m, msg);
  ASSERT_EQ(r, c.expected.result) << c.what << " " << Show(msg);
  EXPECT_EQ(text.GetText(), before) << c.what;
  EXPECT_EQ(text.GetVersionCount(), versions) << c.what;
  if (r != 1) return;
  const int32_t parent =
      c.expected.parent == kChildBase ? static_cast<int32_t>(chome.childBase) : c.expected.parent;
  EXPECT_EQ(m.level, c.expected.level) << c.what;
  EXPECT_EQ(m.parent, parent) << c.what;
  EXPECT_EQ(m.entry, c.expected.entry) << c.what;
  EXPECT_EQ(m.consumed, c.expected.consumed) << c.what;
  EXPECT_EQ(Show(e.GetRestAfterBlock()), Show(Sjis(c.expected.rest))) << c.what;
  EXPECT_EQ(m.status, c.expected.status) << c.what;
}

const char kMarunouchi1[] = "13101001001";
const char kMarunouchi2[] = "13101001002";
const char kGobancho[] = "13101003000";
const char kOji1[] = "13117001001";
const char kHakonegasaki[] = "13303001000";
const char kHigashimatsubara[] = "13303001A00";

const BlockCase kBlockCases[] = {
    // TC_Gaiku rows by number.
    {"row", kMarunouchi1, u8"１", 0, 0, {1, 6, kChildBase, 1, 2, u8"", 0}},
    {"row whose number is its code's",
     kMarunouchi1,
     u8"２",
     0,
     0,
     {1, 6, kChildBase, 2, 2, u8"", 0}},
    {"row with the text after it",
     kMarunouchi1,
     u8"１丁",
     0,
     0,
     {1, 6, kChildBase, 1, 2, u8"丁", 0}},
    {"row with a history lot and 番 号",
     kMarunouchi1,
     u8"１番３号",
     0,
     0,
     {1, 8, 3, -1, 4, u8"", 0}},
    {"row with a history lot and 番地",
     kMarunouchi1,
     u8"１番地３",
     0,
     0,
     {1, 8, 3, -1, 6, u8"", 0}},
    {"row with a lot and more text than a trailing word",
     kMarunouchi1,
     u8"１番３号室",
     0,
     0,
     {1, 8, 3, -1, 4, u8"号室", 0}},
    {"trailing hyphen as written in ASCII",
     kMarunouchi1,
     u8"1-3-",
     0,
     0,
     {1, 8, 3, -1, 4, u8"", 0}},
    {"row with a lot only in the change-code index",
     kMarunouchi1,
     u8"１番７",
     0,
     0,
     {1, 8, 1, -2, 4, u8"", 0}},
    {"a kanji numeral before の", kMarunouchi1, u8"一の三", 0, 0, {1, 8, 3, -1, 4, u8"", 0}},
    {"kanji numerals made digits before units",
     kMarunouchi1,
     u8"一番三号",
     0,
     0,
     {1, 8, 3, -1, 4, u8"", 0}},
    // Equal rows: status A (10) wins, a status-3 row gives way.
    {"status A after status 5", kMarunouchi1, u8"３", 0, 0, {1, 6, kChildBase, 4, 2, u8"", 10}},
    {"status 0 after status 3", kMarunouchi1, u8"５", 0, 0, {1, 6, kChildBase, 6, 2, u8"", 0}},
    {"filter 1 refuses status 3", kMarunouchi1, u8"５", 1, 0, {1, 6, kChildBase, 6, 2, u8"", 0}},
    {"filter 2 takes status 3 only", kMarunouchi1, u8"５", 2, 0, {1, 6, kChildBase, 5, 2, u8"", 3}},
    {"filter 2 and no status 3", kMarunouchi1, u8"３", 2, 0, kNoMatch},
    // Only in the change history / only in the change-code index.
    {"block only in the history", kMarunouchi1, u8"４", 0, 0, {1, 6, 7, -1, 2, u8"", 0}},
    {"its lot", kMarunouchi1, u8"４番１", 0, 0, {1, 8, 8, -1, 4, u8"", 0}},
    {"block only in the change-code index", kMarunouchi1, u8"８", 0, 0, {1, 6, 1, -2, 2, u8"", 0}},
    {"its lot after a hyphen", kMarunouchi1, u8"８－２", 0, 0, {1, 8, 1, -2, 4, u8"", 0}},
    {"history block with lots in both change sources",
     kHakonegasaki,
     u8"２３３５番地１",
     0,
     0,
     {1, 8, 14, -1, 12, u8"", 0}},
    {"history lot in a letter-coded aza",
     kHigashimatsubara,
     u8"１０番２",
     0,
     0,
     {1, 8, 19, -1, 6, u8"", 0}},
    {"no such block", kMarunouchi1, u8"９", 0, 0, kNoMatch},
    // Lots: an abolished one under the status filter, one by name.
    {"abolished lot", kHakonegasaki, u8"１２番３", 0, 0, {1, 8, 12, -1, 6, u8"", 3}},
    {"abolished lot refused: the block's record",
     kHakonegasaki,
     u8"１２番３",
     1,
     0,
     {1, 6, 9, -1, 6, u8"３", 0}},
    {"lot by name", kHakonegasaki, u8"１２－甲", 0, 0, {1, 8, 13, -1, 6, u8"", 0}},
    // Blocks by name: a row, the history, the change-code index.
    {"row by name", kGobancho, u8"イ", 0, 0, {1, 6, kChildBase, 3, 2, u8"", 0}},
    {"row by name with its suffix", kGobancho, u8"イ番地", 0, 0, {1, 6, kChildBase, 3, 6, u8"", 0}},
    {"history block by name", kHakonegasaki, u8"イ", 0, 0, {1, 6, 16, -1, 2, u8"", 0}},
    {"history block by name with its lot",
     kHakonegasaki,
     u8"イ１",
     0,
     0,
     {1, 8, 17, -1, 2, u8"", 0}},
    {"change-code block by name", kHigashimatsubara, u8"ロ", 0, 0, {1, 6, 1, -2, 2, u8"", 0}},
    {"change-code block by name with its lot",
     kHigashimatsubara,
     u8"ロ１",
     0,
     0,
     {1, 8, 1, -2, 2, u8"", 0}},
    // Estimated blocks (level 5).
    {"estimate of 5 between 4 and 6", kMarunouchi2, u8"５", 0x10, 0, {1, 5, 1, 0, 2, u8"", 0}},
    {"estimate of 5 from 4 alone (6 is no 住居表示)",
     kMarunouchi2,
     u8"５番地",
     0x10,
     1,
     {1, 5, 1, 0, 6, u8"", 0}},
    {"no estimate without the switch", kMarunouchi2, u8"５", 0, 0, kNoMatch},
    {"estimate of 13 between 12 and 14", kGobancho, u8"１３", 0x10, 0, {1, 5, 1, 0, 4, u8"", 0}},
    {"no 住居表示 neighbours under the history check", kGobancho, u8"１３", 0x10, 1, kNoMatch},
    {"neighbours beyond the distance limit (2)", kOji1, u8"２", 0x10, 0, kNoMatch},
    {"neighbours beyond the distance limit (3)", kOji1, u8"３番", 0x10, 1, kNoMatch},
    // Estimated lots (level 7).
    {"lot estimate of 3 between 1 and 5",
     kMarunouchi1,
     u8"２番３",
     0x10,
     0,
     {1, 7, 1, -1, 4, u8"", 0}},
    {"lot estimate with the history check",
     kMarunouchi1,
     u8"１番４",
     0x10,
     1,
     {1, 7, 1, -1, 4, u8"", 0}},
    {"lot estimate from the change-code index",
     kMarunouchi1,
     u8"８番５",
     0x10,
     0,
     {1, 7, 1, -1, 4, u8"", 0}},
    {"lot estimate in a letter-coded aza",
     kHigashimatsubara,
     u8"１５番３",
     0x10,
     0,
     {1, 7, 1, -1, 6, u8"", 0}},
};

TEST(MatchBlock, EveryPathOnTheSampleData) {
  for (const BlockCase& c : kBlockCases) CheckBlock(c);
}

// The estimation records behind the estimates above.
struct EstimateCase {
  const char* what;
  const char* place;
  const char8_t* input;
  int32_t historyCheck;
  bool history;
  EstimateNeighbour lower;
  EstimateNeighbour upper;
  int32_t requested;
};

constexpr EstimateNeighbour kNone = {kNeighbourNone, -1, 0, 0, 0};

const EstimateCase kEstimateCases[] = {
    {"blocks 4 and 6",
     kMarunouchi2,
     u8"５",
     0,
     true,
     {kNeighbourBlockRow, 4, 128432783, 503164113, 4},
     {kNeighbourBlockRow, 5, 128429902, 503159793, 6},
     5},
    {"block 4 only under the history check",
     kMarunouchi2,
     u8"５",
     1,
     true,
     {kNeighbourBlockRow, 4, 128432783, 503164113, 4},
     kNone,
     5},
    {"blocks 12 and 14",
     kGobancho,
     u8"１３",
     0,
     true,
     {kNeighbourBlockRow, 1, 128466988, 503050345, 12},
     {kNeighbourBlockRow, 2, 128468788, 503054666, 14},
     13},
    {"history lots 1 and 5",
     kMarunouchi1,
     u8"２番３",
     0,
     true,
     {kNeighbourChangeRecord, 5, 128449705, 503157633, 1},
     {kNeighbourChangeRecord, 6, 128448264, 503159434, 5},
     3},
    {"history lots 3 and 5",
     kMarunouchi1,
     u8"１番４",
     0,
     true,
     {kNeighbourChangeRecord, 3, 128451865, 503164114, 3},
     {kNeighbourChangeRecord, 4, 128451145, 503165194, 5},
     4},
    {"history lot 5 only (digit 1) under the check",
     kMarunouchi1,
     u8"１番４",
     1,
     true,
     kNone,
     {kNeighbourChangeRecord, 4, 128451145, 503165194, 5},
     4},
    {"change-code lot 2 of block 8",
     kMarunouchi1,
     u8"８番５",
     0,
     true,
     {kNeighbourCodeIndexLot, 2, 128438543, 503165194, 2},
     kNone,
     5},
    {"change-code lot 2 (digit 0) without the check",
     kHigashimatsubara,
     u8"１５番３",
     0,
     true,
     {kNeighbourCodeIndexLot, 2, 128780246, 501658844, 2},
     kNone,
     3},
    {"change-code lot 1 (digit 1) under the check",
     kHigashimatsubara,
     u8"１５番３",
     1,
     true,
     {kNeighbourCodeIndexLot, 1, 128780606, 501657764, 1},
     kNone,
     3},
    {"the same without a change history",
     kHigashimatsubara,
     u8"１５番３",
     1,
     false,
     {kNeighbourCodeIndexLot, 1, 128780606, 501657764, 1},
     kNone,
     3},
};

void ExpectNeighbour(const EstimateNeighbour& got, const EstimateNeighbour& want,
                     const char* what) {
  EXPECT_EQ(+got.found, +want.found) << what;
  if (want.found == kNeighbourNone) return;
  EXPECT_EQ(+got.reference, +want.reference) << what;
  EXPECT_EQ(+got.latitude, +want.latitude) << what;
  EXPECT_EQ(+got.longitude, +want.longitude) << what;
  EXPECT_EQ(+got.number, +want.number) << what;
}

TEST(MatchBlock, EstimatesKeepTheirNearestNeighbours) {
  for (const EstimateCase& c : kEstimateCases) {
    SampleEngine s(c.history);
    ASSERT_TRUE(s.ok());
    CAdrsEngine& e = s.engine();
    e.SetSearchFlags(0x110);
    e.SetHistoryCheck(c.historyCheck);
    const Chome chome = s.Locate(c.place);
    CEditText text;
    ASSERT_TRUE(MakeText(&text, c.input));
    NumberMatch m;
    char msg[kMessageSize] = "";
    ASSERT_EQ(e.MatchBlock(chome.childBase, chome.count, c.place, &text, &m, msg), 1) << c.what;
    ASSERT_TRUE(m.level == 5 || m.level == 7) << c.what;
    EstimateRecord r;
    ASSERT_EQ(e.GetEstimateRecord(static_cast<uint32_t>(m.parent), &r), 1) << c.what;
    ExpectNeighbour(r.lower, c.lower, c.what);
    ExpectNeighbour(r.upper, c.upper, c.what);
    EXPECT_EQ(+r.requested, c.requested) << c.what;
    if (m.level == 5) {
      EXPECT_EQ(+r.parent, chome.childBase) << c.what;
      EXPECT_EQ(+r.count, chome.count) << c.what;
    }
    // A change-code neighbour reads back as the lot it stands for.
    for (const EstimateNeighbour* n : {&r.lower, &r.upper}) {
      if (n->found != kNeighbourCodeIndexLot) continue;
      uint32_t city = 0, area = 0, block = 0, change = 0;
      ChangeCodeLot lot;
      ASSERT_EQ(
          e.GetLotCandidate(static_cast<uint32_t>(n->reference), &city, &area, &block, &change), 1);
      ASSERT_EQ(e.ReadChangeCodeLot(city, area, block, change, &lot), 1);
      EXPECT_EQ(static_cast<int32_t>(lot.latitude), +n->latitude) << c.what;
      EXPECT_EQ(static_cast<int32_t>(lot.longitude), +n->longitude) << c.what;
    }
  }
}

TEST(MatchBlock, EstimatedBlockLiesHalfwayBetweenBlocks4And6) {
  SampleEngine s;
  ASSERT_TRUE(s.ok());
  CAdrsEngine& e = s.engine();
  e.SetSearchFlags(0x110);
  const Chome chome = s.Locate(kMarunouchi2);
  CEditText text;
  ASSERT_TRUE(MakeText(&text, u8"５"));
  NumberMatch m;
  ASSERT_EQ(e.MatchBlock(chome.childBase, chome.count, kMarunouchi2, &text, &m, nullptr), 1);
  EstimateRecord r;
  ASSERT_EQ(e.GetEstimateRecord(static_cast<uint32_t>(m.parent), &r), 1);
  int32_t lat = 0, lon = 0;
  ASSERT_EQ(EstimatePoint(r, &lat, &lon), 1);
  EXPECT_EQ(lat, 128431342);  // (128432783 + 128429902) / 2, truncated
  EXPECT_EQ(lon, 503161953);
  // A second match on the same engine appends to the same list.
  ASSERT_EQ(e.MatchBlock(chome.childBase, chome.count, kMarunouchi2, &text, &m, nullptr), 1);
  EXPECT_EQ(m.parent, 2);
}

TEST(MatchBlock, ChangeCodeCandidatesReadBackAsTheirLots) {
  SampleEngine s;
  ASSERT_TRUE(s.ok());
  CAdrsEngine& e = s.engine();
  const Chome chome = s.Locate(kMarunouchi1);
  CEditText text;
  ASSERT_TRUE(MakeText(&text, u8"１番７"));
  NumberMatch m;
  ASSERT_EQ(e.MatchBlock(chome.childBase, chome.count, kMarunouchi1, &text, &m, nullptr), 1);
  ASSERT_EQ(m.entry, -2);
  uint32_t city = 0, area = 0, block = 0, change = 0;
  ASSERT_EQ(e.GetLotCandidate(static_cast<uint32_t>(m.parent), &city, &area, &block, &change), 1);
  ChangeCodeLot lot;
  ASSERT_EQ(e.ReadChangeCodeLot(city, area, block, change, &lot), 1);
  EXPECT_STREQ(lot.cityCode, "13101");
  EXPECT_STREQ(lot.areaCode, "001001");
  EXPECT_STREQ(lot.blockCode, "00001");
  EXPECT_STREQ(lot.lotCode, "00007");
  EXPECT_EQ(lot.latitude, 128450785u);
  EXPECT_EQ(lot.longitude, 503165914u);
  // A history result reads back as its change record.
  ASSERT_TRUE(MakeText(&text, u8"４番１"));
  ASSERT_EQ(e.MatchBlock(chome.childBase, chome.count, kMarunouchi1, &text, &m, nullptr), 1);
  ASSERT_EQ(m.entry, -1);
  ChangeRecord record;
  char name1[kChangeTextSize], name2[kChangeTextSize];
  ASSERT_EQ(
      e.GetChangeRecord(static_cast<uint32_t>(m.parent), &record, name1, name2, nullptr, nullptr),
      1);
  EXPECT_EQ(Show(name1), Show(Sjis(u8"４")));
  EXPECT_EQ(Show(name2), Show(Sjis(u8"１")));
}

struct LotCase {
  const char* what;
  const char* place;
  const char8_t* block;
  const char8_t* input;
  uint32_t flags;
  Expected expected;
};

const LotCase kLotCases[] = {
    {"history lot, trailing 号 emptied",
     kMarunouchi1,
     u8"１",
     u8"３号",
     0,
     {1, 8, 3, -1, 2, u8"", 0}},
    {"history lot, rest kept", kMarunouchi1, u8"１", u8"３の森", 0, {1, 8, 3, -1, 2, u8"の森", 0}},
    {"change-code lot", kMarunouchi1, u8"１", u8"７", 0, {1, 8, 1, -2, 2, u8"", 0}},
    {"history first of equal lots", kMarunouchi1, u8"１", u8"５", 0, {1, 8, 4, -1, 2, u8"", 0}},
    {"lot by name", kHakonegasaki, u8"１２", u8"甲", 0, {1, 8, 13, -1, 2, u8"", 0}},
    {"named block's lot", kHakonegasaki, u8"イ", u8"１", 0, {1, 8, 17, -1, 2, u8"", 0}},
    {"abolished lot", kHakonegasaki, u8"１２", u8"３", 0, {1, 8, 12, -1, 2, u8"", 3}},
    {"abolished lot refused", kHakonegasaki, u8"１２", u8"３", 1, kNoMatch},
    {"only abolished lots under filter 2", kHakonegasaki, u8"１２", u8"１", 2, kNoMatch},
    {"no such lot", kMarunouchi1, u8"１", u8"９", 0, kNoMatch},
    {"no such block", kMarunouchi1, u8"９", u8"１", 0, kNoMatch},
    {"no text", kMarunouchi1, u8"１", u8"", 0, kNoMatch},
    {"estimate", kMarunouchi1, u8"２", u8"３", 0x10, {1, 7, 1, -1, 0, u8"", 0}},
    {"estimate from the one lower lot",
     kMarunouchi1,
     u8"４",
     u8"２",
     0x10,
     {1, 7, 1, -1, 0, u8"", 0}},
};

TEST(MatchLot, EveryPathOnTheSampleData) {
  for (const LotCase& c : kLotCases) {
    SampleEngine s;
    ASSERT_TRUE(s.ok());
    CAdrsEngine& e = s.engine();
    e.SetSearchFlags(c.flags);
    CEditText text;
    ASSERT_TRUE(MakeText(&text, c.input)) << c.what;
    const std::string before = text.GetText();
    NumberMatch m;
    char msg[kMessageSize] = "";
    const int r = e.MatchLot(c.place, Sjis(c.block).c_str(), &text, &m, msg);
    ASSERT_EQ(r, c.expected.result) << c.what << " " << Show(msg);
    EXPECT_EQ(text.GetText(), before) << c.what;
    if (r != 1) continue;
    EXPECT_EQ(m.level, c.expected.level) << c.what;
    EXPECT_EQ(m.parent, c.expected.parent) << c.what;
    EXPECT_EQ(m.entry, c.expected.entry) << c.what;
    EXPECT_EQ(m.consumed, c.expected.consumed) << c.what;
    EXPECT_EQ(Show(e.GetRestAfterLot()), Show(Sjis(c.expected.rest))) << c.what;
    EXPECT_EQ(m.status, c.expected.status) << c.what;
  }
}

// The change-code index stores the scale 2000 in four bits as 4; its
// records rank with the precision class of 2000, not as unknown scales.
TEST(MatchBlock, ChangeCodeScale2000IsPrecisionClass2) {
  SampleEngine s;
  ASSERT_TRUE(s.ok());
  const Chome chome = s.Locate(kMarunouchi1);
  CEditText text;
  NumberMatch m;
  for (const char8_t* input : {u8"８", u8"８－２"}) {
    ASSERT_TRUE(MakeText(&text, input));
    ASSERT_EQ(s.engine().MatchBlock(chome.childBase, chome.count, kMarunouchi1, &text, &m, nullptr),
              1);
    EXPECT_EQ(m.entry, -2);
    EXPECT_EQ(m.precision, 2) << Show(Sjis(input));
  }
}

TEST(MatchBlock, MatchDepthStopsTheNumberLevels) {
  SampleEngine s;
  ASSERT_TRUE(s.ok());
  s.engine().SetMatchDepth(2);
  CheckBlock({"depth 2", kMarunouchi1, u8"１", 0, 0, kNoMatch}, &s);
  s.engine().SetMatchDepth(3);
  CheckBlock(
      {"depth 3: no lot", kMarunouchi1, u8"１番３", 0, 0, {1, 6, kChildBase, 1, 4, u8"３", 0}}, &s);
  s.engine().SetMatchDepth(4);
  CheckBlock({"depth 4", kMarunouchi1, u8"１番３", 0, 0, {1, 8, 3, -1, 4, u8"", 0}}, &s);
}

TEST(MatchBlock, NothingToSearch) {
  SampleEngine s;
  ASSERT_TRUE(s.ok());
  CAdrsEngine& e = s.engine();
  CEditText text;
  NumberMatch m;
  // An empty text.
  ASSERT_TRUE(MakeText(&text, u8""));
  EXPECT_EQ(e.MatchBlock(0, 3, kMarunouchi1, &text, &m, nullptr), 0);
  EXPECT_EQ(e.MatchBlock(0, 3, kMarunouchi1, nullptr, &m, nullptr), 0);
  // No block entries and no change sources.
  CAdrsEngine bare;
  ASSERT_TRUE(MakeText(&text, u8"１"));
  EXPECT_EQ(bare.MatchBlock(0, 0, kMarunouchi1, &text, &m, nullptr), 0);
}

TEST(MatchBlock, FailedReadsEndTheMatch) {
  SampleEngine s;
  ASSERT_TRUE(s.ok());
  CAdrsEngine& e = s.engine();
  CEditText text;
  ASSERT_TRUE(MakeText(&text, u8"１"));
  NumberMatch m;
  char msg[kMessageSize] = "";
  // Block entries beyond the index file.
  EXPECT_EQ(e.MatchBlock(0xFFFFFF00u, 2, kMarunouchi1, &text, &m, msg), -1);
  EXPECT_EQ(Show(msg), Show(Sjis(u8"ファイルの読み込みに失敗しました!(")) +
                           Show(s.folder() + "QVAD13.TIX") + ")");
  EXPECT_EQ(Show(text.GetText()), Show(Sjis(u8"１")));
  // No database attached.
  CAdrsEngine noDatabase;
  ASSERT_EQ(noDatabase.Open((s.folder() + "QVAD13.TIX").c_str(), 2), 1);
  EXPECT_EQ(noDatabase.MatchBlock(0, 2, kMarunouchi1, &text, &m, msg), -1);
  EXPECT_EQ(Show(msg), Show(Sjis(u8"データベースがセットされていません！")));
}

// A table database whose TC_Gaiku rows carry only 地名コード and 街区番号:
// a row without 街区番号 cannot give its code's number, which ends the
// block level without a result; a row that matches cannot give its status,
// which ends the whole match.
TEST(MatchBlock, MissingFieldsEndTheLevelOrTheMatch) {
  TempDir dir;
  addrtest::Dataset data = addrtest::Tokyo();
  data.blocks.push_back({"13101001001", ""});
  data.blockCodes = false;
  addrtest::Records records;
  const std::string ndb = dir.Sys("QVAD13.NDB");
  const std::string tix = dir.Sys("QVAD13.TIX");
  std::string error;
  ASSERT_TRUE(addrtest::WriteDatabase(ndb, data, &records));
  ASSERT_TRUE(tixbuild::BuildIndexFromDatabase(ndb.c_str(), tix.c_str(), 1, &error)) << error;
  CTableDatabase db;
  CAdrsEngine e;
  ASSERT_EQ(db.Open(ndb.c_str()), 1);
  ASSERT_EQ(e.Open(tix.c_str(), 1), 1);
  e.SetDatabase(&db);
  ASSERT_EQ(e.AllocateWorkLists(), 1);
  char msg[kMessageSize] = "";
  uint16_t p = 0, c = 0, o = 0, h = 0;
  TixEntry pref, city, oaza, chome;
  ASSERT_TRUE(e.FindPrefectureByCode("13", &p, msg) && e.ReadPrefectureEntry(p, &pref, msg) &&
              e.FindCityByCode("13101", pref.childBase, pref.childCount, &c, msg) &&
              e.ReadCityEntry(pref.childBase, c, &city, msg) &&
              e.FindOazaByPlaceCode("13101001", city.childBase, city.childCount, &o, msg) &&
              e.ReadOazaEntry(city.childBase, o, &oaza, msg) &&
              e.FindChomeByPlaceCode("13101001001", oaza.childBase, oaza.childCount, &h, msg) &&
              e.ReadChomeEntry(oaza.childBase, h, &chome, msg))
      << Show(msg);
  CEditText text;
  NumberMatch m;
  ASSERT_TRUE(MakeText(&text, u8"９"));
  EXPECT_EQ(e.MatchBlock(chome.childBase, chome.childCount, "13101001001", &text, &m, msg), 0);
  EXPECT_NE(Show(msg).find(Show(Sjis(u8"[FIELD:街区番号コード]"))), std::string::npos) << Show(msg);
  ASSERT_TRUE(MakeText(&text, u8"１"));
  EXPECT_EQ(e.MatchBlock(chome.childBase, chome.childCount, "13101001001", &text, &m, msg), -1);
  EXPECT_NE(Show(msg).find(Show(Sjis(u8"[FIELD:状態フラグ]"))), std::string::npos) << Show(msg);
}

}  // namespace
