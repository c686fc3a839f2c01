#include "tabledb/change_history.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/message.h"
#include "plat/crt.h"
#include "support/test_util.h"
#include "tabledb/change_history_builder.h"
#include "tests/tabledb/change_test_util.h"

using namespace changetest;

namespace {

const char kReadError[] = "ファイルの読み込みに失敗しました!(";
const char kOpenError[] = "ファイルオープンエラー!(";
const char kMemoryError[] = "作業用メモリの確保に失敗しました！";

// One AddRecord call; scale 2000, no digit, class 0, coordinates 1 and 2.
struct Rec {
  const char* code;
  const char* block = "";
  const char* lot = "";
  const char* name1 = "";
  const char* name2 = "";
  const char* sort1 = "";
  const char* sort2 = "";
};

struct Texts {
  char n1[kChangeTextSize], n2[kChangeTextSize], s1[kChangeTextSize], s2[kChangeTextSize];
};

class ChangeHistoryTest : public ::testing::Test {
 protected:
  std::string Cdb() const { return dir_.Sys("QAD_CH13.CDB"); }
  std::string Cix() const { return dir_.Sys("QAD_CH13.CIX"); }
  std::string CdbBytes() const { return testutil::ReadBytes(dir_.Native("QAD_CH13.CDB")); }
  std::string CixBytes() const { return testutil::ReadBytes(dir_.Native("QAD_CH13.CIX")); }
  void PutCdb(const std::string& b) {
    ASSERT_TRUE(testutil::WriteBytes(dir_.Native("QAD_CH13.CDB"), b));
  }
  void PutCix(const std::string& b) {
    ASSERT_TRUE(testutil::WriteBytes(dir_.Native("QAD_CH13.CIX"), b));
  }
  bool Exists(const char* name) const { return testutil::Exists(dir_.Native(name)); }

  int Write(CChangeHistoryBuilder* b) {
    return b->WriteCompiledData(Cdb().c_str(), Cix().c_str(), msg_);
  }

  // Builds the pair from the records (sorted by names or by numbers) and
  // opens it into h_.
  void BuildAndOpen(const std::vector<Rec>& records, bool byNames = true) {
    CChangeHistoryBuilder b;
    ASSERT_EQ(b.Init(2, 3, 200), 1);
    for (const Rec& r : records) {
      ASSERT_EQ(b.AddRecord(r.code, r.block, r.lot, 1, 2, "2000", r.name1, r.name2, r.sort1,
                            r.sort2, 0, nullptr),
                1)
          << r.code << " " << r.block << " " << r.lot;
    }
    ASSERT_EQ(byNames ? b.SortByNames(msg_) : b.SortByNumbers(msg_), 1);
    ASSERT_EQ(Write(&b), 1) << testutil::Show(msg_);
    ASSERT_EQ(h_.Open(Cdb().c_str(), Cix().c_str(), msg_), 1) << testutil::Show(msg_);
  }

  // The pair of one record: block 12 of 13101001002 at scale 2000, digit 1.
  void WriteGolden(uint32_t version = 200) {
    CChangeHistoryBuilder b;
    ASSERT_EQ(b.Init(4, 4, version), 1);
    ASSERT_EQ(b.AddRecord("13101001002", "00012", "", 128452000, 503158000, "2000", "１２", "",
                          "１２", "", 0, version >= 200 ? "1" : nullptr),
              1);
    ASSERT_EQ(b.SortByNames(msg_), 1);
    ASSERT_EQ(Write(&b), 1) << testutil::Show(msg_);
  }

  // Open that must fail: the message it leaves.
  std::string OpenFailure() {
    CChangeHistory h;
    char msg[kMessageSize] = "";
    EXPECT_EQ(h.Open(Cdb().c_str(), Cix().c_str(), msg), 0);
    EXPECT_EQ(h.IsOpen(), 0);
    EXPECT_STREQ(h.GetDataPath(), "");
    return msg;
  }

  testutil::TempDir dir_;
  CChangeHistory h_;
  char msg_[kMessageSize] = "";
};

}  // namespace

// ---- Golden files ----

TEST_F(ChangeHistoryTest, GoldenPairMatchesByteForByte) {
  const uint32_t before = plat::crt::TimeLow32();
  WriteGolden();
  const uint32_t after = plat::crt::TimeLow32();
  std::string cdb = CdbBytes();
  std::string cix = CixBytes();
  // Both headers carry the same creation time: now.
  const uint32_t time = Le32(cdb, 4);
  EXPECT_EQ(Le32(cix, 4), time);
  EXPECT_TRUE(time >= before && time <= after) << time;
  PutLe32(&cdb, 4, 0);
  PutLe32(&cix, 4, 0);
  EXPECT_EQ(cdb, Hex("54 56 58 43 00 00 00 00 3C 00 00 00 C8 00 00 00"
                     "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
                     "2D 33 01 00 02 00 0C 00 00 00 00 00 00 00 A0 05 A8 07 F0 94 FD 1D"
                     "C9 00 00 00 00 00"));
  EXPECT_EQ(cix, Hex("54 56 58 49 00 00 00 00 50 00 00 00 00 00 00 00"
                     "00 00 00 00 00 00 00 00 00 00 00 00 40 00 00 00"
                     "01 00 00 00 46 00 00 00 01 00 00 00 4C 00 00 00"
                     "01 00 00 00 50 00 00 00 00 00 50 00 00 00 00 00"
                     "01 00 00 00 01 00 | 01 00 00 00 01 00 | 00 00 00 00"));
}

TEST_F(ChangeHistoryTest, PinnedTimeGoesIntoBothHeaders) {
  CChangeHistoryBuilder b;
  ASSERT_EQ(b.Init(2, 2, 200), 1);
  b.PinCreationTime(0x12345678);
  ASSERT_EQ(b.AddRecord("13101001002", "00012", "", 1, 2, "2000", "", "", "", "", 0, ""), 1);
  ASSERT_EQ(Write(&b), 1);
  EXPECT_EQ(Le32(CdbBytes(), 4), 0x12345678u);
  EXPECT_EQ(Le32(CixBytes(), 4), 0x12345678u);
}

TEST_F(ChangeHistoryTest, ReadsTheGoldenRecord) {
  WriteGolden();
  ASSERT_EQ(h_.Open(Cdb().c_str(), Cix().c_str(), msg_), 1) << testutil::Show(msg_);
  EXPECT_EQ(h_.GetIndexPath(), Cix());
  EXPECT_EQ(h_.GetFormatVersion(), 200u);
  ChangeRecord r;
  Texts t;
  ASSERT_EQ(h_.GetRecord(1, &r, t.n1, t.n2, t.s1, t.s2), 1);
  EXPECT_EQ(std::string(t.n1) + "|" + t.n2 + "|" + t.s1 + "|" + t.s2, "１２||１２|");
  EXPECT_EQ((std::vector<int64_t>{r.cityCode, r.part2, r.blockNumber, r.coordinate1, r.coordinate2,
                                  ChangeRecordPrecision(r), ChangeRecordPrecisionDigit(r)}),
            (std::vector<int64_t>{13101, 2, 12, 128452000, 503158000, 20, 1}));
  EXPECT_EQ(h_.GetRecord(2, &r, t.n1, t.n2, t.s1, t.s2), 0);

  EXPECT_EQ(h_.FindByCode("13101001002"), 1u);
  EXPECT_EQ(h_.FindByCodeAndName("13101001002", "１２"), 1u);
  EXPECT_EQ(h_.FindByCodeAndNames("13101001002", "１２", ""), 1u);
  EXPECT_EQ(h_.FindByCodeAndName("13101001002", "１３"), 0u);
  // Codes of the wrong length or outside the city range read nothing.
  for (const char* code : {"1310100100", "131010010020", "00999001002", "48000001002",
                           "13101001003", "13101A0100X", ""}) {
    EXPECT_EQ(h_.FindByCode(code), 0u) << code;
  }
  ChangeKeyEntry e;
  ASSERT_EQ(h_.GetKeyEntry(3, 1, &e), 1);
  EXPECT_TRUE(e.first == 1u && e.count == 1);
  EXPECT_EQ(h_.GetKeyEntry(5, 1, &e), 0);
  EXPECT_EQ(h_.GetRecordNumber(3, 1), 1u);
  EXPECT_EQ(h_.GetRecordNumber(5, 7), 7u);
  EXPECT_EQ(h_.GetRecordNumber(4, 2), 0u);
  h_.Close();
  EXPECT_EQ(h_.GetFormatVersion(), 0u);
  EXPECT_EQ(h_.FindByCode("13101001002"), 0u);
}

// ---- Open failures ----

TEST_F(ChangeHistoryTest, EveryOpenFailureHasItsMessage) {
  WriteGolden();
  const std::string cdb = CdbBytes();
  const std::string cix = CixBytes();
  // A copy with field `at` set to v.
  auto with = [](std::string b, std::size_t at, uint32_t v) {
    PutLe32(&b, at, v);
    return b;
  };
  // The index with a block name list of one name of `length` bytes.
  auto withName = [&](int length) {
    std::string b = cix + std::string(1, static_cast<char>(length)) + std::string(length, 'x');
    b[56] = 1;
    return with(b, 8, static_cast<uint32_t>(b.size()));
  };
  struct Case {
    const char* what;
    std::string data;  // "-": no file
    std::string index;
    bool dataNamed;
    const char* message;
  } cases[] = {
      {"data missing", "-", cix, true, kOpenError},
      {"data header short", cdb.substr(0, 31), cix, true, kReadError},
      {"data magic", "TVXD" + cdb.substr(4), cix, true, kReadError},
      {"data length one off", with(cdb, 8, 61), cix, true, kReadError},
      {"index missing", cdb, "-", false, kOpenError},
      {"index header short", cdb, cix.substr(0, 63), false, kReadError},
      {"index magic", cdb, "XVXI" + cix.substr(4), false, kReadError},
      {"index length", cdb, with(cix, 8, 81), false, kReadError},
      {"code table past the end", cdb, with(cix, 32, 3), false, kReadError},
      {"offsets past the end", cdb, with(cix, 44, 78), false, kReadError},
      {"name of 64 bytes", cdb, withName(64), false, kReadError},
      {"a listed name missing", cdb, with(cix, 60, 0x10000), false, kReadError},
  };
  for (const Case& c : cases) {
    std::remove(dir_.Native("QAD_CH13.CDB").c_str());
    std::remove(dir_.Native("QAD_CH13.CIX").c_str());
    if (c.data != "-") PutCdb(c.data);
    if (c.index != "-") PutCix(c.index);
    EXPECT_EQ(OpenFailure(), c.message + (c.dataNamed ? Cdb() : Cix()) + ")") << c.what;
  }
  // A name of 63 bytes is a name; a failed open closes an open reader.
  PutCdb(cdb);
  PutCix(withName(63));
  ASSERT_EQ(h_.Open(Cdb().c_str(), Cix().c_str(), msg_), 1);
  EXPECT_EQ(h_.IsFirstNumberName(std::string(63, 'x').c_str()), 1);
  EXPECT_EQ(h_.Open(Cdb().c_str(), dir_.Sys("none.CIX").c_str(), msg_), 0);
  EXPECT_EQ(h_.IsOpen(), 0);
}

// ---- Precision ----

TEST_F(ChangeHistoryTest, OldFormatPrecisionBytesAreScaledOnReading) {
  WriteGolden(150);
  std::string cdb = CdbBytes();
  EXPECT_EQ(cdb[32 + 22], 20);  // the plain scale code
  ChangeRecord r;
  for (int stored : {20, 5}) {
    cdb[32 + 22] = static_cast<char>(stored);
    PutCdb(cdb);
    ASSERT_EQ(h_.Open(Cdb().c_str(), Cix().c_str(), msg_), 1);
    ASSERT_EQ(h_.ReadRecord(1, &r), 1);
    EXPECT_EQ(r.precision, stored);  // as stored
    ASSERT_EQ(h_.GetRecord(1, &r, nullptr, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(r.precision, stored == 20 ? 200 : 0);  // scaled, or 0 for no scale code
  }
}

TEST(ChangeRecordPrecision, CodeAndDigitShareOneByte) {
  ChangeRecord r;
  r.precision = 201;
  EXPECT_EQ(ChangeRecordPrecision(r), 20);
  EXPECT_EQ(ChangeRecordPrecisionDigit(r), 1);
  EXPECT_EQ(SetChangeRecordPrecisionCode(&r, 3), 1);
  EXPECT_EQ(r.precision, 31);
  for (int bad : {0, 4, 9, 10, 21, -1}) EXPECT_EQ(SetChangeRecordPrecisionCode(&r, bad), 0) << bad;
  EXPECT_EQ(SetChangeRecordPrecisionDigit(&r, 10), 0);
  EXPECT_EQ(r.precision, 31);
  EXPECT_EQ(SetChangeRecordPrecisionDigit(&r, 9), 1);
  EXPECT_EQ(SetChangeRecordPrecisionCode(&r, 20), 1);
  EXPECT_EQ(r.precision, 209);
}

TEST_F(ChangeHistoryTest, DigitIsRefusedBelowVersion200) {
  CChangeHistoryBuilder b;
  for (uint32_t version : {199u, 200u}) {
    ASSERT_EQ(b.Init(2, 2, version), 1);
    EXPECT_EQ(b.AddRecord("13101001002", "00012", "", 1, 2, "25000", "", "", "", "", 0, "1"),
              version >= 200 ? 1 : 0);
    EXPECT_EQ(b.AddRecord("13101001002", "00012", "", 1, 2, "25000", "", "", "", "", 0, ""), 1);
  }
}

// ---- Records ----

TEST_F(ChangeHistoryTest, AddRecordRefusesBadInput) {
  CChangeHistoryBuilder b;
  ASSERT_EQ(b.Init(2, 2, 200), 1);
  struct Case {
    const char* code;
    const char* block;
    const char* lot;
    const char* scale;
    int classCode;
    const char* digit;
  } cases[] = {
      {"1310100100", "00012", "", "2000", 0, "1"},
      {"131010010021", "00012", "", "2000", 0, "1"},
      {"00999001002", "00012", "", "2000", 0, "1"},
      {"48000001002", "00012", "", "2000", 0, "1"},
      {"13101a01002", "00012", "", "2000", 0, "1"},
      {"13101001-02", "00012", "", "2000", 0, "1"},
      {"13101001002", "0012", "", "2000", 0, "1"},
      {"13101001002", "00012", "a0001", "2000", 0, "1"},
      {"13101001002", "00012", "", "3000", 0, "1"},
      {"13101001002", "00012", "", nullptr, 0, "1"},
      {"13101001002", "00012", "", "2000", 0, "12"},
      {"13101001002", "00012", "", "2000", 0, "a"},
      {"13101001002", "00012", "", "2000", 256, "1"},
      {"13101001002", "00012", "", "2000", -1, "1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(
        b.AddRecord(c.code, c.block, c.lot, 1, 2, c.scale, "", "", "", "", c.classCode, c.digit), 0)
        << c.code << " " << c.block << " " << c.lot;
  }
  EXPECT_EQ(b.GetRecordCount(), 0u);
  EXPECT_EQ(b.AddRecord("13101A05Z99", "A0012", "Z9999", 1, 2, "10000", "", "", "", "", 255, "9"),
            1);
}

TEST_F(ChangeHistoryTest, TextsLongerThan255BytesAreRefused) {
  CChangeHistoryBuilder b;
  ASSERT_EQ(b.Init(2, 2, 200), 1);
  const std::string t255(255, 'a');
  const std::string t256(256, 'a');
  for (int i = 0; i < 4; ++i) {
    const char* texts[4] = {"", "", "", ""};
    texts[i] = t256.c_str();
    EXPECT_EQ(b.AddRecord("13101001002", "00001", "00001", 1, 2, "2000", texts[0], texts[1],
                          texts[2], texts[3], 0, nullptr),
              0)
        << i;
  }
  ASSERT_EQ(b.AddRecord("13101001002", "00001", "00001", 1, 2, "2000", "", "", t255.c_str(),
                        t255.c_str(), 0, nullptr),
            1);
  ASSERT_EQ(Write(&b), 1);
  ASSERT_EQ(h_.Open(Cdb().c_str(), Cix().c_str(), msg_), 1);
  ChangeRecord r;
  Texts t;
  ASSERT_EQ(h_.GetRecord(1, &r, t.n1, t.n2, t.s1, t.s2), 1);
  EXPECT_EQ(b.GetRecordCount(), 1u);
  EXPECT_EQ(t.s1, t255);
  EXPECT_EQ(t.s2, t255);
}

TEST_F(ChangeHistoryTest, NamesThatRepeatTheirNumberAreNotStored) {
  struct Case {
    Rec rec;
    int stored1, storedSort1;  // stored lengths
    const char* name1;
    const char* sort1;  // as read
  } cases[] = {
      {{"13101001000", "00012", "", "１２", "", "１２"}, 0, 0, "１２", "１２"},
      {{"13101001001", "00012", "", "12", "", "12"}, 0, 0, "１２", "１２"},
      {{"13101001002", "00012", "", "", "", ""}, 0, 0, "１２", "１２"},
      {{"13101001003", "00012", "", "十二", "", "じゅうに"}, 4, 8, "十二", "じゅうに"},
      {{"13101001004", "00012", "", "１３", "", ""}, 4, 0, "１３", "１３"},
      {{"13101001005", "", "", "０", "", ""}, 2, 0, "０", "０"},
      {{"13101001006", "", "", "", "", ""}, 0, 0, "", ""},
  };
  std::vector<Rec> records;
  for (const Case& c : cases) records.push_back(c.rec);
  BuildAndOpen(records, false);
  uint32_t n = 1;
  for (const Case& c : cases) {
    ChangeRecord r;
    Texts t;
    ASSERT_EQ(h_.GetRecord(n++, &r, t.n1, t.n2, t.s1, t.s2), 1);
    EXPECT_EQ(r.name1Length, c.stored1) << c.rec.code;
    EXPECT_EQ(r.sortForm1Length, c.storedSort1) << c.rec.code;
    EXPECT_STREQ(t.n1, c.name1) << c.rec.code;
    EXPECT_STREQ(t.s1, c.sort1) << c.rec.code;
  }
}

TEST_F(ChangeHistoryTest, NamesThatOnlyLookNumericAreKept) {
  // A lax number reading takes "１－２" and "1.5" for 1; they are not plain
  // digits, so they are stored and come back as they were.
  BuildAndOpen({{"13101001001", "00001", "00001", "１－２", "1.5"}});
  ChangeRecord r;
  Texts t;
  ASSERT_EQ(h_.GetRecord(1, &r, t.n1, t.n2, nullptr, nullptr), 1);
  EXPECT_STREQ(t.n1, "１－２");
  EXPECT_STREQ(t.n2, "1.5");
}

TEST_F(ChangeHistoryTest, RecordsOfOneBlockShareOneBlockEntry) {
  BuildAndOpen(
      {{"13101001002", "00012", "00002"}, {"13101001002", "00012"}, {"13101001003", "00012"}});
  const std::string cix = CixBytes();
  // Code table (1, 1) (2, 1), block table (1, 2) (3, 1).
  EXPECT_EQ(cix.substr(64, 24), Hex("01 00 00 00 01 00 02 00 00 00 01 00"
                                    "01 00 00 00 02 00 03 00 00 00 01 00"));
  ChangeRecord r;
  ASSERT_EQ(h_.ReadRecord(1, &r), 1);
  EXPECT_EQ(r.lotNumber, 0u);  // the block's own record first
  EXPECT_EQ(h_.FindByCode("13101001003"), 2u);
  EXPECT_EQ(h_.FindByCodeAndNames("13101001002", "１２", "２"), 2u);
}

TEST_F(ChangeHistoryTest, SortByNumbersOrdersByCodeBlockAndLot) {
  BuildAndOpen({{"13101001002", "00010", "00002"},
                {"13101001002", "00002", "00010"},
                {"13101001002", "00010", "00001"},
                {"13101001002", "00002", "00003"},
                {"13101001002", "", "00009"},
                {"13101001002", "00009", ""},
                {"13101001001", "00099", ""}},
               false);
  const uint32_t expected[][3] = {{1, 99, 0}, {2, 0, 9},  {2, 2, 3}, {2, 2, 10},
                                  {2, 9, 0},  {2, 10, 1}, {2, 10, 2}};
  for (uint32_t n = 1; n <= 7; ++n) {
    ChangeRecord r;
    ASSERT_EQ(h_.ReadRecord(n, &r), 1);
    EXPECT_EQ(r.part2, expected[n - 1][0]) << n;
    EXPECT_EQ(r.blockNumber, expected[n - 1][1]) << n;
    EXPECT_EQ(r.lotNumber, expected[n - 1][2]) << n;
  }
}

TEST_F(ChangeHistoryTest, SortByNamesUsesTheSortFormsTheReaderMakes) {
  // The sort forms are not stored: sorting the stored (empty) texts would
  // leave the records in input order, and the searches would miss them.
  BuildAndOpen({{"13101001002", "00300"},
                {"13101001002", "00002"},
                {"13101001002", "00010"},
                {"13101001002", "00001"},
                {"13101001002", "00020"},
                {"13101001002", "00005", "", "", "", "あ"}});
  const uint32_t order[] = {1, 10, 2, 20, 300, 5};  // byte order of the texts
  for (uint32_t n = 1; n <= 6; ++n) {
    ChangeRecord r;
    ASSERT_EQ(h_.ReadRecord(n, &r), 1);
    EXPECT_EQ(r.blockNumber, order[n - 1]) << n;
    const std::string name = n == 6 ? "あ" : Fw(order[n - 1]);
    EXPECT_EQ(h_.GetRecordNumber(4, h_.FindByCodeAndName("13101001002", name.c_str())), n);
  }
}

TEST_F(ChangeHistoryTest, NamedBlocksWithoutNumberFormTheirOwnGroups) {
  std::vector<Rec> records;
  for (const char* name : {"ロ", "イ", "ハ"}) {
    for (const char* lot : {"", "00001", "00002"})
      records.push_back({"13303001000", "", lot, name});
  }
  BuildAndOpen(records);
  EXPECT_EQ(h_.GetSearchCount(4), 3u);
  uint32_t first = 1;
  for (const char* name : {"イ", "ハ", "ロ"}) {
    ChangeKeyEntry e;
    ASSERT_EQ(h_.GetKeyEntry(4, h_.FindByCodeAndName("13303001000", name), &e), 1) << name;
    EXPECT_EQ(e.first, first);
    EXPECT_EQ(e.count, 3);
    first += 3;
    EXPECT_EQ(h_.IsFirstNumberName(name), 1);
  }
}

TEST_F(ChangeHistoryTest, SearchNamesOf64BytesOrMoreAreNotFound) {
  const std::string n63(63, 'n'), n64(64, 'n'), n600(600, 'n');
  BuildAndOpen({{"13101001002", "", "", n63.c_str(), n63.c_str()}});
  EXPECT_EQ(h_.FindByCodeAndNames("13101001002", n63.c_str(), n63.c_str()), 1u);
  EXPECT_EQ(h_.FindByCodeAndName("13101001002", n64.c_str()), 0u);
  EXPECT_EQ(h_.FindByCodeAndName("13101001002", n600.c_str()), 0u);
  EXPECT_EQ(h_.FindByCodeAndNames("13101001002", n63.c_str(), n600.c_str()), 0u);
}

// ---- Name lists ----

TEST_F(ChangeHistoryTest, NameListsAnswerMembership) {
  for (int listSize : {0, 5, 9}) {
    SCOPED_TRACE(listSize);
    h_.Close();
    // "ba", "bc", ...: "a" sorts below all, "c" above, "bax" between two.
    // Each name twice (the list holds it once); "０" never goes in.
    std::vector<std::string> names;
    std::vector<std::string> lots;
    std::vector<Rec> records{{"13101001004", "", "", "０", "０"}};
    for (int i = 0; i < listSize; ++i) {
      names.push_back(std::string("b") + static_cast<char>('a' + 2 * i));
      lots.push_back("0000" + std::to_string(i));
    }
    for (int i = 0; i < listSize; ++i) {
      for (const char* code : {"13101001002", "13101001003"}) {
        records.push_back({code, "", lots[i].c_str(), names[i].c_str(), names[i].c_str()});
      }
    }
    BuildAndOpen(records);
    EXPECT_EQ(CixBytes()[56], listSize);
    EXPECT_EQ(CixBytes()[62], listSize);
    for (const std::string& name : names) {
      EXPECT_EQ(h_.IsFirstNumberName(name.c_str()), 1) << name;
      EXPECT_EQ(h_.IsSecondNumberName(name.c_str()), 1) << name;
      EXPECT_EQ(h_.IsFirstNumberName((name + "x").c_str()), 0) << name;
    }
    EXPECT_EQ(h_.IsFirstNumberName("a"), 0);
    EXPECT_EQ(h_.IsFirstNumberName("c"), 0);
    // Whole numbers, in either width, are names without the list.
    EXPECT_EQ(h_.IsFirstNumberName("３"), 1);
    EXPECT_EQ(h_.IsSecondNumberName("12"), 1);
    EXPECT_EQ(h_.IsFirstNumberName(std::string(512, '1').c_str()), 0);
  }
}

// ---- Writing failures ----

TEST_F(ChangeHistoryTest, FailedWriteLeavesNoFile) {
  CChangeHistoryBuilder b;
  ASSERT_EQ(b.Init(2, 2, 200), 1);
  ASSERT_EQ(b.AddRecord("13101001002", "00012", "", 1, 2, "2000", "", "", "", "", 0, ""), 1);
  const std::string noIndex = dir_.Sys("none\\QAD_CH13.CIX");
  EXPECT_EQ(b.WriteCompiledData(Cdb().c_str(), noIndex.c_str(), msg_), 0);
  EXPECT_EQ(msg_, "ファイルの作成に失敗しました！(" + noIndex + ")");
  EXPECT_FALSE(Exists("QAD_CH13.CDB"));
  // A block name of 64 bytes cannot go into the name list.
  const std::string name64(64, 'n');
  ASSERT_EQ(b.AddRecord("13101001002", "", "", 1, 2, "2000", name64.c_str(), "", "", "", 0, ""), 1);
  EXPECT_EQ(Write(&b), 0);
  EXPECT_STREQ(msg_, kMemoryError);
  EXPECT_FALSE(Exists("QAD_CH13.CDB"));
  EXPECT_FALSE(Exists("QAD_CH13.CIX"));
}

TEST_F(ChangeHistoryTest, RunsLongerThan65535RecordsAreRefused) {
  CChangeHistoryBuilder b;
  ASSERT_EQ(b.Init(70000, 1000, 200), 1);
  char lot[8];
  for (uint32_t i = 1; i <= 65536; ++i) {
    std::snprintf(lot, sizeof lot, "%05u", i);
    ASSERT_EQ(b.AddRecord("13101001002", "00001", lot, 1, 2, "2000", "", "", "", "", 0, ""), 1);
  }
  EXPECT_EQ(Write(&b), 0);
  EXPECT_STREQ(msg_, kMemoryError);
  EXPECT_FALSE(Exists("QAD_CH13.CDB"));
  EXPECT_FALSE(Exists("QAD_CH13.CIX"));
}

// ---- Damaged files ----

TEST_F(ChangeHistoryTest, TruncatedFilesFailCleanly) {
  BuildAndOpen({{"13101001002", "00012", "", "十二", "", "じゅうに"},
                {"13101001002", "00012", "00003", "十二", "甲", "じゅうに", "こう"},
                {"13101001003", "", "", "イ"}});
  h_.Close();
  const std::string cdb = CdbBytes();
  const std::string cix = CixBytes();
  // An index cut anywhere, its length field made to agree, never opens.
  for (std::size_t cut = 0; cut < cix.size(); ++cut) {
    std::string part = cix.substr(0, cut);
    if (cut >= 12) PutLe32(&part, 8, static_cast<uint32_t>(cut));
    PutCix(part);
    EXPECT_EQ(OpenFailure(), kReadError + Cix() + ")") << cut;
  }
  PutCix(cix);
  // A data file cut after its header opens; records it no longer holds
  // fail to read, and the searches end without a crash.
  for (std::size_t cut = 32; cut <= cdb.size(); ++cut) {
    std::string part = cdb.substr(0, cut);
    PutLe32(&part, 8, static_cast<uint32_t>(cut));
    PutCdb(part);
    ASSERT_EQ(h_.Open(Cdb().c_str(), Cix().c_str(), msg_), 1);
    int readable = 0;
    for (uint32_t n = 1; n <= 3; ++n) {
      ChangeRecord r;
      Texts t;
      readable += h_.GetRecord(n, &r, t.n1, t.n2, t.s1, t.s2);
    }
    EXPECT_EQ(readable == 3, cut == cdb.size()) << cut;
    h_.FindByCodeAndNames("13101001002", "じゅうに", "こう");
    h_.FindByCodeAndName("13101001003", "イ");
  }
  // Tables that point outside the files read nothing.
  std::string bad = cix;
  PutLe32(&bad, Le32(cix, 44), 5000);  // record 1 far behind the data
  PutLe32(&bad, 64, 9);                // code entry 1 names block entry 9
  PutCix(bad);
  ASSERT_EQ(h_.Open(Cdb().c_str(), Cix().c_str(), msg_), 1);
  ChangeRecord r;
  EXPECT_EQ(h_.ReadRecord(1, &r), 0);
  EXPECT_EQ(h_.GetRecordNumber(3, 1), 0u);
  EXPECT_EQ(h_.FindByCode("13101001002"), 0u);
}

// ---- Round trip ----

namespace {

struct Generated {
  std::string code, block, lot;
  uint32_t blockNumber = 0, lotNumber = 0;
  std::string name1, name2, sort1, sort2;          // as passed
  std::string read1, read2, readSort1, readSort2;  // as the reader must give them
  uint32_t c1 = 0, c2 = 0;
  int classCode = 0, scale = 0, digit = 0;
};

// Records of distinct address codes with letter parts: blocks numbered by
// digit or letter codes, or named without a number; each block's own
// record and lots by number or by name; names empty, in full or half
// width, or kanji; sort forms stored or not. Every (code, block name) and
// every (code, block name, lot name) is unique.
std::vector<Generated> Generate(std::mt19937* rng, std::size_t wanted) {
  auto pick = [rng](int n) { return static_cast<int>((*rng)() % static_cast<unsigned>(n)); };
  const char* cities[] = {"13101", "13303", "26104"};
  const char* parts1[] = {"001", "002", "A00", "B12"};
  const char* parts2[] = {"000", "003", "C05"};
  std::vector<Generated> out;
  std::set<std::string> codes;
  uint32_t serial = 0;
  while (out.size() < wanted) {
    const std::string code = std::string(cities[pick(3)]) + parts1[pick(4)] + parts2[pick(3)];
    if (!codes.insert(code).second) continue;
    std::set<uint32_t> blockNumbers;
    for (int blocks = 3 + pick(6); blocks > 0; --blocks) {
      Generated g;
      g.code = code;
      ++serial;
      if (pick(6) == 5) {
        g.name1 = g.read1 = "丁" + Fw(serial);  // named, no number
      } else {
        const bool letter = pick(5) == 0;
        do {
          g.blockNumber = letter ? 100000 + pick(20000) : 1 + pick(99999);
        } while (!blockNumbers.insert(g.blockNumber).second);
        char text[8];
        const uint32_t v = g.blockNumber - (letter ? 100000 : 0);
        if (letter) {
          std::snprintf(text, sizeof text, "%c%04u", 'A' + v / 10000, v % 10000);
        } else {
          std::snprintf(text, sizeof text, "%05u", v);
        }
        g.block = text;
        const std::string names[] = {"", Fw(g.blockNumber), std::to_string(g.blockNumber),
                                     "番" + Fw(serial)};
        g.name1 = names[pick(4)];
        g.read1 = g.name1[0] == names[3][0] ? g.name1 : Fw(g.blockNumber);
      }
      const bool storedSort = pick(3) == 0;
      g.sort1 = storedSort ? "ばん" + Fw(serial) : (pick(2) ? g.name1 : "");
      g.readSort1 = storedSort ? g.sort1 : g.read1;
      std::set<uint32_t> lotNumbers;
      for (int lots = 1 + pick(8), l = 0; l < lots; ++l) {
        Generated r = g;
        r.c1 = 128000000 + pick(1000000);
        r.c2 = 503000000 + pick(1000000);
        r.classCode = pick(4);
        r.scale = pick(6);
        r.digit = pick(10);
        if (l == 0 && pick(2) == 0) {
          // the block's own record
        } else if (pick(5) == 0) {
          r.name2 = r.read2 = "甲" + Fw(++serial);
        } else {
          do {
            r.lotNumber = 1 + pick(2000);
          } while (!lotNumbers.insert(r.lotNumber).second);
          char text[8];
          std::snprintf(text, sizeof text, "%05u", r.lotNumber);
          r.lot = text;
          r.name2 = pick(2) ? Fw(r.lotNumber) : "";
          r.read2 = Fw(r.lotNumber);
        }
        r.sort2 = !r.read2.empty() && pick(4) == 0 ? "こう" + Fw(++serial) : "";
        r.readSort2 = r.sort2.empty() ? r.read2 : r.sort2;
        out.push_back(r);
      }
    }
  }
  return out;
}

}  // namespace

TEST_F(ChangeHistoryTest, RandomRecordsAreFoundByEverySearch) {
  std::mt19937 rng(20240607);
  std::vector<Generated> records = Generate(&rng, 500);
  std::shuffle(records.begin(), records.end(), rng);
  const char* scales[] = {"10000", "25000", "50000", "70000", "80000", "2000"};
  const int scaleCodes[] = {1, 2, 3, 7, 8, 20};
  CChangeHistoryBuilder b;
  ASSERT_EQ(b.Init(16, 16, 200), 1);  // grows many times
  for (const Generated& r : records) {
    ASSERT_EQ(b.AddRecord(r.code.c_str(), r.block.c_str(), r.lot.c_str(), r.c1, r.c2,
                          scales[r.scale], r.name1.c_str(), r.name2.c_str(), r.sort1.c_str(),
                          r.sort2.c_str(), r.classCode, std::to_string(r.digit).c_str()),
              1)
        << r.code << " " << r.block << " " << r.lot;
  }
  ASSERT_EQ(b.SortByNames(msg_), 1);
  ASSERT_EQ(Write(&b), 1) << testutil::Show(msg_);
  ASSERT_EQ(h_.Open(Cdb().c_str(), Cix().c_str(), msg_), 1) << testutil::Show(msg_);
  ASSERT_EQ(h_.GetSearchCount(5), records.size());

  // Key of a record: its two sort forms.
  auto keyOf = [this](uint32_t n) {
    ChangeRecord rec;
    Texts t;
    EXPECT_EQ(h_.GetRecord(n, &rec, nullptr, nullptr, t.s1, t.s2), 1) << n;
    return std::string(t.s1) + "|" + t.s2;
  };
  // By code: the code's key range holds exactly its records.
  std::map<std::string, std::multiset<std::string>> byCode;
  for (const Generated& r : records) byCode[r.code].insert(r.readSort1 + "|" + r.readSort2);
  ASSERT_EQ(h_.GetSearchCount(3), byCode.size());
  for (const auto& [code, keys] : byCode) {
    ChangeKeyEntry c, bl;
    ASSERT_EQ(h_.GetKeyEntry(3, h_.FindByCode(code.c_str()), &c), 1) << code;
    std::multiset<std::string> found;
    for (uint32_t k = c.first; k < c.first + c.count; ++k) {
      ASSERT_EQ(h_.GetKeyEntry(4, k, &bl), 1);
      for (uint32_t n = bl.first; n < bl.first + bl.count; ++n) found.insert(keyOf(n));
    }
    EXPECT_EQ(found, keys) << code;
  }
  for (const Generated& r : records) {
    SCOPED_TRACE(r.code + " " + r.block + " " + r.lot);
    // By code and block name: the block's group, which holds the record.
    ChangeKeyEntry e;
    ASSERT_EQ(h_.GetKeyEntry(4, h_.FindByCodeAndName(r.code.c_str(), r.readSort1.c_str()), &e), 1);
    std::set<std::string> group;
    for (uint32_t n = e.first; n < e.first + e.count; ++n) group.insert(keyOf(n));
    EXPECT_EQ(group.count(r.readSort1 + "|" + r.readSort2), 1u);
    EXPECT_EQ(group.begin()->substr(0, r.readSort1.size() + 1), r.readSort1 + "|");
    // By code and both names: the record itself.
    const uint32_t n =
        h_.FindByCodeAndNames(r.code.c_str(), r.readSort1.c_str(), r.readSort2.c_str());
    ChangeRecord rec;
    Texts t;
    ASSERT_EQ(h_.GetRecord(n, &rec, t.n1, t.n2, t.s1, t.s2), 1);
    EXPECT_EQ(std::string(t.n1) + "|" + t.n2, r.read1 + "|" + r.read2);
    EXPECT_EQ(std::string(t.s1) + "|" + t.s2, r.readSort1 + "|" + r.readSort2);
    EXPECT_EQ((std::vector<int64_t>{rec.blockNumber, rec.lotNumber, rec.coordinate1,
                                    rec.coordinate2, rec.classCode, ChangeRecordPrecision(rec),
                                    ChangeRecordPrecisionDigit(rec)}),
              (std::vector<int64_t>{r.blockNumber, r.lotNumber, r.c1, r.c2, r.classCode,
                                    scaleCodes[r.scale], r.digit}));
    // Block and lot names stand in the name lists (or are numbers).
    EXPECT_EQ(h_.IsFirstNumberName(r.read1.c_str()), r.read1.empty() ? 0 : 1);
    EXPECT_EQ(h_.IsSecondNumberName(r.read2.c_str()), r.read2.empty() ? 0 : 1);
  }
}
