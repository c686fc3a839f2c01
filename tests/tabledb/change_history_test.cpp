#include "tabledb/change_history.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/message.h"
#include "plat/crt.h"
#include "support/test_util.h"
#include "tabledb/change_history_builder.h"

using testutil::TempDir;

namespace {

const char kReadError[] = "ファイルの読み込みに失敗しました!(";
const char kOpenError[] = "ファイルオープンエラー!(";
const char kCreateError[] = "ファイルの作成に失敗しました！(";
const char kMemoryError[] = "作業用メモリの確保に失敗しました！";

std::string Hex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size();) {
    if (hex[i] == ' ' || hex[i] == '|') {
      ++i;
      continue;
    }
    out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    i += 2;
  }
  return out;
}

uint32_t Le32(const std::string& bytes, std::size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(bytes[at])) |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

void PutLe32(std::string* bytes, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*bytes)[at + i] = static_cast<char>(v >> (8 * i));
}

// Full-width decimal digits of a number, written out here independently of
// the library.
std::string Fw(uint32_t n) {
  static const char* const kDigits[] = {"０", "１", "２", "３", "４", "５", "６", "７", "８", "９"};
  std::string digits = std::to_string(n);
  std::string out;
  for (char c : digits) out += kDigits[c - '0'];
  return out;
}

class ChangeHistoryTest : public ::testing::Test {
 protected:
  std::string Cdb() const { return dir_.Sys("QAD_CH13.CDB"); }
  std::string Cix() const { return dir_.Sys("QAD_CH13.CIX"); }
  std::string CdbBytes() const { return testutil::ReadBytes(dir_.Native("QAD_CH13.CDB")); }
  std::string CixBytes() const { return testutil::ReadBytes(dir_.Native("QAD_CH13.CIX")); }
  void PutCdb(const std::string& b) { ASSERT_TRUE(testutil::WriteBytes(dir_.Native("QAD_CH13.CDB"), b)); }
  void PutCix(const std::string& b) { ASSERT_TRUE(testutil::WriteBytes(dir_.Native("QAD_CH13.CIX"), b)); }

  // The pair of one record: block 12 of 13101001002 at scale 2000, digit 1.
  void WriteGolden(uint32_t version = 200) {
    CChangeHistoryBuilder b;
    ASSERT_EQ(b.Init(4, 4, version), 1);
    ASSERT_EQ(b.AddRecord("13101001002", "00012", "", 128452000, 503158000, "2000", "１２", "",
                          "１２", "", 0, version >= 200 ? "1" : nullptr),
              1);
    char msg[kMessageSize] = "";
    ASSERT_EQ(b.SortByNames(msg), 1);
    ASSERT_EQ(b.WriteCompiledData(Cdb().c_str(), Cix().c_str(), msg), 1) << testutil::Show(msg);
  }

  std::string OpenFailure() {
    CChangeHistory h;
    char msg[kMessageSize] = "";
    EXPECT_EQ(h.Open(Cdb().c_str(), Cix().c_str(), msg), 0);
    EXPECT_EQ(h.IsOpen(), 0);
    EXPECT_STREQ(h.GetDataPath(), "");
    return msg;
  }

  TempDir dir_;
};

}  // namespace

// ---- Golden files ----

TEST_F(ChangeHistoryTest, GoldenPairMatchesByteForByte) {
  const uint32_t before = plat::crt::TimeLow32();
  WriteGolden();
  const uint32_t after = plat::crt::TimeLow32();
  std::string cdb = CdbBytes();
  std::string cix = CixBytes();
  ASSERT_EQ(cdb.size(), 60u);
  ASSERT_EQ(cix.size(), 80u);
  // Both headers carry the same creation time: now.
  const uint32_t time = Le32(cdb, 4);
  EXPECT_EQ(Le32(cix, 4), time);
  EXPECT_GE(time, before);
  EXPECT_LE(time, after);
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

TEST_F(ChangeHistoryTest, PinnedTimeMakesBuildsIdentical) {
  std::string first[2];
  for (int round = 0; round < 2; ++round) {
    CChangeHistoryBuilder b;
    ASSERT_EQ(b.Init(2, 2, 200), 1);
    b.PinCreationTime(0x12345678);
    ASSERT_EQ(b.AddRecord("13101001002", "00012", "", 1, 2, "2000", "", "", "", "", 0, ""), 1);
    char msg[kMessageSize];
    ASSERT_EQ(b.WriteCompiledData(Cdb().c_str(), Cix().c_str(), msg), 1);
    first[round] = CdbBytes() + CixBytes();
    EXPECT_EQ(Le32(CdbBytes(), 4), 0x12345678u);
    EXPECT_EQ(Le32(CixBytes(), 4), 0x12345678u);
  }
  EXPECT_EQ(first[0], first[1]);
}

TEST_F(ChangeHistoryTest, ReadsTheGoldenRecord) {
  WriteGolden();
  CChangeHistory h;
  char msg[kMessageSize] = "";
  ASSERT_EQ(h.Open(Cdb().c_str(), Cix().c_str(), msg), 1) << testutil::Show(msg);
  EXPECT_EQ(h.IsOpen(), 1);
  EXPECT_EQ(h.GetDataPath(), Cdb());
  EXPECT_EQ(h.GetIndexPath(), Cix());
  EXPECT_EQ(h.GetFormatVersion(), 200u);
  EXPECT_EQ(h.GetSearchCount(3), 1u);
  EXPECT_EQ(h.GetSearchCount(4), 1u);
  EXPECT_EQ(h.GetSearchCount(5), 1u);
  EXPECT_EQ(h.GetSearchCount(6), 0u);

  ChangeRecord r;
  char n1[kChangeTextSize], n2[kChangeTextSize], s1[kChangeTextSize], s2[kChangeTextSize];
  ASSERT_EQ(h.GetRecord(1, &r, n1, n2, s1, s2), 1);
  EXPECT_STREQ(n1, "１２");
  EXPECT_STREQ(s1, "１２");
  EXPECT_STREQ(n2, "");
  EXPECT_STREQ(s2, "");
  EXPECT_EQ(r.cityCode, 13101);
  EXPECT_EQ(r.part1, 1);
  EXPECT_EQ(r.part2, 2);
  EXPECT_EQ(r.blockNumber, 12u);
  EXPECT_EQ(r.lotNumber, 0u);
  EXPECT_EQ(r.coordinate1, 128452000u);
  EXPECT_EQ(r.coordinate2, 503158000u);
  EXPECT_EQ(ChangeRecordPrecision(r), 20);
  EXPECT_EQ(ChangeRecordPrecisionDigit(r), 1);
  EXPECT_EQ(h.GetRecord(2, &r, n1, n2, s1, s2), 0);
  EXPECT_EQ(h.GetRecord(0, &r, n1, n2, s1, s2), 0);

  EXPECT_EQ(h.FindByCode("13101001002"), 1u);
  EXPECT_EQ(h.FindByCodeAndName("13101001002", "１２"), 1u);
  EXPECT_EQ(h.FindByCodeAndNames("13101001002", "１２", ""), 1u);
  EXPECT_EQ(h.FindByCodeAndName("13101001002", "１３"), 0u);
  // Codes of the wrong length or outside the city range read nothing.
  for (const char* code : {"1310100100", "131010010020", "00999001002", "48000001002",
                           "13101001003", "13101A0100X", ""}) {
    EXPECT_EQ(h.FindByCode(code), 0u) << code;
  }

  ChangeKeyEntry e;
  ASSERT_EQ(h.GetKeyEntry(3, 1, &e), 1);
  EXPECT_EQ(e.first, 1u);
  EXPECT_EQ(e.count, 1);
  EXPECT_EQ(h.GetKeyEntry(3, 0, &e), 0);
  EXPECT_EQ(h.GetKeyEntry(5, 1, &e), 0);
  EXPECT_EQ(h.GetRecordNumber(3, 1), 1u);
  EXPECT_EQ(h.GetRecordNumber(4, 1), 1u);
  EXPECT_EQ(h.GetRecordNumber(5, 7), 7u);
  EXPECT_EQ(h.GetRecordNumber(4, 2), 0u);
  EXPECT_EQ(h.GetRecordNumber(3, 0), 0u);

  h.Close();
  EXPECT_EQ(h.IsOpen(), 0);
  EXPECT_STREQ(h.GetIndexPath(), "");
  EXPECT_EQ(h.GetFormatVersion(), 0u);
  EXPECT_EQ(h.FindByCode("13101001002"), 0u);
}

// ---- Open failures ----

TEST_F(ChangeHistoryTest, EveryOpenFailureHasItsMessage) {
  WriteGolden();
  const std::string cdb = CdbBytes();
  const std::string cix = CixBytes();
  // A name list of one name: its count @56 and the name after the offsets.
  auto withName = [&](int length) {
    std::string b = cix + std::string(1, static_cast<char>(length)) + std::string(length, 'x');
    b[56] = 1;
    PutLe32(&b, 8, static_cast<uint32_t>(b.size()));
    return b;
  };
  struct Case {
    const char* what;
    std::string data;  // "-" for a missing file
    std::string index;
    bool dataNamed;    // the message names the data file
    const char* message;
  };
  std::string badMagic = cdb;
  badMagic[3] = 'D';
  std::string longBy1 = cdb;
  PutLe32(&longBy1, 8, 61);
  std::string indexMagic = cix;
  indexMagic[0] = 'X';
  std::string indexLength = cix;
  PutLe32(&indexLength, 8, 81);
  std::string codeTableOut = cix;
  PutLe32(&codeTableOut, 32, 3);  // 3 entries from @64 pass the end
  std::string offsetsOut = cix;
  PutLe32(&offsetsOut, 44, 78);
  std::string missingName = cix;
  missingName[62] = 1;
  const Case cases[] = {
      {"data missing", "-", cix, true, kOpenError},
      {"data header short", cdb.substr(0, 31), cix, true, kReadError},
      {"data magic", badMagic, cix, true, kReadError},
      {"data length one off", longBy1, cix, true, kReadError},
      {"index missing", cdb, "-", false, kOpenError},
      {"index header short", cdb, cix.substr(0, 63), false, kReadError},
      {"index magic", cdb, indexMagic, false, kReadError},
      {"index length", cdb, indexLength, false, kReadError},
      {"code table past the end", cdb, codeTableOut, false, kReadError},
      {"offsets past the end", cdb, offsetsOut, false, kReadError},
      {"name of 64 bytes", cdb, withName(64), false, kReadError},
      {"a listed name missing", cdb, missingName, false, kReadError},
  };
  for (const Case& c : cases) {
    std::remove(dir_.Native("QAD_CH13.CDB").c_str());
    std::remove(dir_.Native("QAD_CH13.CIX").c_str());
    if (c.data != "-") PutCdb(c.data);
    if (c.index != "-") PutCix(c.index);
    const std::string path = c.dataNamed ? Cdb() : Cix();
    EXPECT_EQ(OpenFailure(), std::string(c.message) + path + ")") << c.what;
  }
  // A name of 63 bytes is still a name.
  PutCdb(cdb);
  PutCix(withName(63));
  CChangeHistory h;
  char msg[kMessageSize];
  ASSERT_EQ(h.Open(Cdb().c_str(), Cix().c_str(), msg), 1);
  EXPECT_EQ(h.IsFirstNumberName(std::string(63, 'x').c_str()), 1);
  // A failed open closes a reader that was open.
  EXPECT_EQ(h.Open(Cdb().c_str(), dir_.Sys("none.CIX").c_str(), msg), 0);
  EXPECT_EQ(h.IsOpen(), 0);
  EXPECT_EQ(h.FindByCode("13101001002"), 0u);
}

// ---- Precision ----

TEST_F(ChangeHistoryTest, OldFormatPrecisionBytesAreScaledOnReading) {
  WriteGolden(150);
  std::string cdb = CdbBytes();
  EXPECT_EQ(static_cast<unsigned char>(cdb[32 + 22]), 20);  // the plain scale code
  CChangeHistory h;
  char msg[kMessageSize];
  ChangeRecord r;
  ASSERT_EQ(h.Open(Cdb().c_str(), Cix().c_str(), msg), 1);
  EXPECT_EQ(h.GetFormatVersion(), 150u);
  ASSERT_EQ(h.GetRecord(1, &r, nullptr, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(r.precision, 200);
  EXPECT_EQ(ChangeRecordPrecision(r), 20);
  EXPECT_EQ(ChangeRecordPrecisionDigit(r), 0);
  // ReadRecord gives the byte as stored.
  ASSERT_EQ(h.ReadRecord(1, &r), 1);
  EXPECT_EQ(r.precision, 20);
  h.Close();
  // A byte that is no scale code reads as 0.
  cdb[32 + 22] = 5;
  PutCdb(cdb);
  ASSERT_EQ(h.Open(Cdb().c_str(), Cix().c_str(), msg), 1);
  ASSERT_EQ(h.GetRecord(1, &r, nullptr, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(r.precision, 0);
}

TEST(ChangeRecordPrecision, CodeAndDigitShareOneByte) {
  ChangeRecord r;
  r.precision = 201;
  EXPECT_EQ(ChangeRecordPrecision(r), 20);
  EXPECT_EQ(ChangeRecordPrecisionDigit(r), 1);
  EXPECT_EQ(SetChangeRecordPrecisionCode(&r, 3), 1);
  EXPECT_EQ(r.precision, 31);
  for (int bad : {0, 4, 5, 9, 10, 21, -1}) {
    EXPECT_EQ(SetChangeRecordPrecisionCode(&r, bad), 0) << bad;
  }
  EXPECT_EQ(r.precision, 31);
  EXPECT_EQ(SetChangeRecordPrecisionDigit(&r, 9), 1);
  EXPECT_EQ(r.precision, 39);
  EXPECT_EQ(SetChangeRecordPrecisionDigit(&r, 10), 0);
  EXPECT_EQ(SetChangeRecordPrecisionDigit(&r, -1), 0);
  EXPECT_EQ(SetChangeRecordPrecisionCode(&r, 20), 1);
  EXPECT_EQ(r.precision, 209);
}

TEST_F(ChangeHistoryTest, DigitIsRefusedBelowVersion200) {
  CChangeHistoryBuilder b;
  ASSERT_EQ(b.Init(2, 2, 199), 1);
  EXPECT_EQ(b.AddRecord("13101001002", "00012", "", 1, 2, "25000", "", "", "", "", 0, "1"), 0);
  EXPECT_EQ(b.AddRecord("13101001002", "00012", "", 1, 2, "25000", "", "", "", "", 0, ""), 1);
  ASSERT_EQ(b.Init(2, 2, 200), 1);
  EXPECT_EQ(b.AddRecord("13101001002", "00012", "", 1, 2, "25000", "", "", "", "", 0, "1"), 1);
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
      {"1310100100", "00012", "", "2000", 0, "1"},     // 10 characters
      {"131010010021", "00012", "", "2000", 0, "1"},   // 12 characters
      {"00999001002", "00012", "", "2000", 0, "1"},    // city below 1000
      {"48000001002", "00012", "", "2000", 0, "1"},    // city above 47999
      {"13101a01002", "00012", "", "2000", 0, "1"},    // part 1 not a code
      {"13101001-02", "00012", "", "2000", 0, "1"},    // part 2 not a code
      {"13101001002", "0012", "", "2000", 0, "1"},     // block code of 4
      {"13101001002", "00012", "a0001", "2000", 0, "1"},
      {"13101001002", "00012", "", "3000", 0, "1"},    // no such scale
      {"13101001002", "00012", "", nullptr, 0, "1"},
      {"13101001002", "00012", "", "2000", 0, "12"},   // digit of two characters
      {"13101001002", "00012", "", "2000", 0, "a"},
      {"13101001002", "00012", "", "2000", 256, "1"},  // class beyond a byte
      {"13101001002", "00012", "", "2000", -1, "1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(b.AddRecord(c.code, c.block, c.lot, 1, 2, c.scale, "", "", "", "", c.classCode,
                          c.digit),
              0)
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
  EXPECT_EQ(b.GetRecordCount(), 0u);
  EXPECT_EQ(b.AddRecord("13101001002", "00001", "00001", 1, 2, "2000", "", "", t255.c_str(),
                        t255.c_str(), 0, nullptr),
            1);
  // Two texts of 255 bytes: the stored lengths say 255.
  char msg[kMessageSize];
  ASSERT_EQ(b.WriteCompiledData(Cdb().c_str(), Cix().c_str(), msg), 1);
  const std::string cdb = CdbBytes();
  EXPECT_EQ(static_cast<unsigned char>(cdb[32 + 25]), 255);
  EXPECT_EQ(static_cast<unsigned char>(cdb[32 + 26]), 255);
  CChangeHistory h;
  ASSERT_EQ(h.Open(Cdb().c_str(), Cix().c_str(), msg), 1);
  ChangeRecord r;
  char n1[kChangeTextSize], n2[kChangeTextSize], s1[kChangeTextSize], s2[kChangeTextSize];
  ASSERT_EQ(h.GetRecord(1, &r, n1, n2, s1, s2), 1);
  EXPECT_EQ(std::string(s1), t255);
  EXPECT_EQ(std::string(s2), t255);
  EXPECT_STREQ(n1, "１");
}

TEST_F(ChangeHistoryTest, NamesThatRepeatTheirNumberAreNotStored) {
  CChangeHistoryBuilder b;
  ASSERT_EQ(b.Init(8, 8, 200), 1);
  struct Case {
    const char* block;
    const char* name1;
    const char* sort1;
    int stored1;      // expected stored length of name 1
    int storedSort1;  // of sort form 1
    const char* readName1;
    const char* readSort1;
  } cases[] = {
      {"00012", "１２", "１２", 0, 0, "１２", "１２"},
      {"00012", "12", "12", 0, 0, "１２", "１２"},
      {"00012", "", "", 0, 0, "１２", "１２"},
      {"00012", "十二", "じゅうに", 4, 8, "十二", "じゅうに"},
      {"00012", "１３", "", 4, 0, "１３", "１３"},
      {"", "０", "", 2, 0, "０", "０"},
      {"", "", "", 0, 0, "", ""},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string code = "131010010" + std::string(n < 10 ? "0" : "") + std::to_string(n);
    ASSERT_EQ(b.AddRecord(code.c_str(), c.block, "", 1, 2, "2000", c.name1, "", c.sort1, "", 0, ""),
              1)
        << n;
    ++n;
  }
  char msg[kMessageSize];
  ASSERT_EQ(b.SortByNumbers(msg), 1);
  ASSERT_EQ(b.WriteCompiledData(Cdb().c_str(), Cix().c_str(), msg), 1);
  CChangeHistory h;
  ASSERT_EQ(h.Open(Cdb().c_str(), Cix().c_str(), msg), 1);
  n = 1;
  for (const Case& c : cases) {
    ChangeRecord r;
    char n1[kChangeTextSize], n2[kChangeTextSize], s1[kChangeTextSize], s2[kChangeTextSize];
    ASSERT_EQ(h.GetRecord(n, &r, n1, n2, s1, s2), 1);
    EXPECT_EQ(r.name1Length, c.stored1) << n;
    EXPECT_EQ(r.sortForm1Length, c.storedSort1) << n;
    EXPECT_EQ(std::string(n1), c.readName1) << n;
    EXPECT_EQ(std::string(s1), c.readSort1) << n;
    ++n;
  }
}

TEST_F(ChangeHistoryTest, NamesThatOnlyLookNumericAreKept) {
  // A lax number reading takes "１－２" and "1.5" for 1; they are no plain
  // digits, so they are stored and read back as they were.
  CChangeHistoryBuilder b;
  ASSERT_EQ(b.Init(2, 2, 200), 1);
  ASSERT_EQ(b.AddRecord("13101001001", "00001", "00001", 1, 2, "2000", "１－２", "1.5", "", "", 0, ""), 1);
  char msg[kMessageSize];
  ASSERT_EQ(b.WriteCompiledData(Cdb().c_str(), Cix().c_str(), msg), 1);
  CChangeHistory h;
  ASSERT_EQ(h.Open(Cdb().c_str(), Cix().c_str(), msg), 1);
  ChangeRecord r;
  char n1[kChangeTextSize], n2[kChangeTextSize];
  ASSERT_EQ(h.GetRecord(1, &r, n1, n2, nullptr, nullptr), 1);
  EXPECT_STREQ(n1, "１－２");
  EXPECT_STREQ(n2, "1.5");
}

TEST_F(ChangeHistoryTest, RecordsOfOneBlockShareOneBlockEntry) {
  CChangeHistoryBuilder b;
  ASSERT_EQ(b.Init(4, 4, 200), 1);
  ASSERT_EQ(b.AddRecord("13101001002", "00012", "00002", 1, 2, "2000", "", "", "", "", 0, ""), 1);
  ASSERT_EQ(b.AddRecord("13101001002", "00012", "", 1, 2, "2000", "", "", "", "", 0, ""), 1);
  ASSERT_EQ(b.AddRecord("13101001003", "00012", "", 1, 2, "2000", "", "", "", "", 0, ""), 1);
  char msg[kMessageSize];
  ASSERT_EQ(b.SortByNames(msg), 1);
  ASSERT_EQ(b.WriteCompiledData(Cdb().c_str(), Cix().c_str(), msg), 1);
  const std::string cix = CixBytes();
  EXPECT_EQ(Le32(cix, 32), 2u);  // two codes
  EXPECT_EQ(Le32(cix, 40), 2u);  // two blocks
  // Code table, then block table: (1, 1) (2, 1) | (1, 2) (3, 1).
  EXPECT_EQ(cix.substr(64, 24), Hex("01 00 00 00 01 00 02 00 00 00 01 00"
                                    "01 00 00 00 02 00 03 00 00 00 01 00"));
  CChangeHistory h;
  ASSERT_EQ(h.Open(Cdb().c_str(), Cix().c_str(), msg), 1);
  // The block's own record (no lot) comes first.
  ChangeRecord r;
  ASSERT_EQ(h.ReadRecord(1, &r), 1);
  EXPECT_EQ(r.lotNumber, 0u);
  EXPECT_EQ(h.FindByCode("13101001003"), 2u);
  EXPECT_EQ(h.FindByCodeAndNames("13101001002", "１２", "２"), 2u);
}

TEST_F(ChangeHistoryTest, SortByNumbersOrdersByBlockAndLot) {
  CChangeHistoryBuilder b;
  ASSERT_EQ(b.Init(2, 3, 200), 1);
  const char* lots[][2] = {{"00010", "00002"}, {"00002", "00010"}, {"00010", "00001"},
                           {"00002", "00003"}, {"", "00009"},      {"00009", ""}};
  for (auto& l : lots) {
    ASSERT_EQ(b.AddRecord("13101001002", l[0], l[1], 1, 2, "2000", "", "", "", "", 0, ""), 1);
  }
  ASSERT_EQ(b.AddRecord("13101001001", "00099", "", 1, 2, "2000", "", "", "", "", 0, ""), 1);
  char msg[kMessageSize];
  ASSERT_EQ(b.SortByNumbers(msg), 1);
  ASSERT_EQ(b.WriteCompiledData(Cdb().c_str(), Cix().c_str(), msg), 1);
  CChangeHistory h;
  ASSERT_EQ(h.Open(Cdb().c_str(), Cix().c_str(), msg), 1);
  const uint32_t expected[][3] = {{1, 99, 0}, {2, 0, 9},  {2, 2, 3}, {2, 2, 10},
                                  {2, 9, 0},  {2, 10, 1}, {2, 10, 2}};
  for (uint32_t n = 1; n <= 7; ++n) {
    ChangeRecord r;
    ASSERT_EQ(h.ReadRecord(n, &r), 1);
    EXPECT_EQ(r.part2, expected[n - 1][0]) << n;
    EXPECT_EQ(r.blockNumber, expected[n - 1][1]) << n;
    EXPECT_EQ(r.lotNumber, expected[n - 1][2]) << n;
  }
}

TEST_F(ChangeHistoryTest, SortByNamesUsesTheSortFormsTheReaderMakes) {
  // Sort forms mostly not stored: sorting the stored (empty) texts would
  // leave these in input order, and the searches would miss records.
  CChangeHistoryBuilder b;
  ASSERT_EQ(b.Init(8, 8, 200), 1);
  const char* blocks[] = {"00300", "00002", "00010", "00001", "00020"};
  for (const char* block : blocks) {
    ASSERT_EQ(b.AddRecord("13101001002", block, "", 1, 2, "2000", "", "", "", "", 0, ""), 1);
  }
  ASSERT_EQ(b.AddRecord("13101001002", "00005", "", 1, 2, "2000", "", "", "あ", "", 0, ""), 1);
  char msg[kMessageSize];
  ASSERT_EQ(b.SortByNames(msg), 1);
  ASSERT_EQ(b.WriteCompiledData(Cdb().c_str(), Cix().c_str(), msg), 1);
  CChangeHistory h;
  ASSERT_EQ(h.Open(Cdb().c_str(), Cix().c_str(), msg), 1);
  // Byte order of the full-width digits, the hiragana last.
  const uint32_t order[] = {1, 10, 2, 20, 300, 5};
  for (uint32_t n = 1; n <= 6; ++n) {
    ChangeRecord r;
    ASSERT_EQ(h.ReadRecord(n, &r), 1);
    EXPECT_EQ(r.blockNumber, order[n - 1]) << n;
  }
  for (uint32_t block : {1u, 2u, 10u, 20u, 300u}) {
    const uint32_t p = h.FindByCodeAndName("13101001002", Fw(block).c_str());
    ASSERT_NE(p, 0u) << block;
    ChangeRecord r;
    ASSERT_EQ(h.ReadRecord(h.GetRecordNumber(4, p), &r), 1);
    EXPECT_EQ(r.blockNumber, block);
  }
  EXPECT_NE(h.FindByCodeAndName("13101001002", "あ"), 0u);
}

TEST_F(ChangeHistoryTest, NamedBlocksWithoutNumberFormTheirOwnGroups) {
  CChangeHistoryBuilder b;
  ASSERT_EQ(b.Init(8, 8, 200), 1);
  const char* names[] = {"ロ", "イ", "ハ"};
  for (const char* name : names) {
    ASSERT_EQ(b.AddRecord("13303001000", "", "", 1, 2, "2000", name, "", "", "", 0, ""), 1);
    ASSERT_EQ(b.AddRecord("13303001000", "", "00001", 1, 2, "2000", name, "", "", "", 0, ""), 1);
    ASSERT_EQ(b.AddRecord("13303001000", "", "00002", 1, 2, "2000", name, "", "", "", 0, ""), 1);
  }
  char msg[kMessageSize];
  ASSERT_EQ(b.SortByNames(msg), 1);
  ASSERT_EQ(b.WriteCompiledData(Cdb().c_str(), Cix().c_str(), msg), 1);
  CChangeHistory h;
  ASSERT_EQ(h.Open(Cdb().c_str(), Cix().c_str(), msg), 1);
  EXPECT_EQ(h.GetSearchCount(4), 3u);
  for (const char* name : names) {
    const uint32_t p = h.FindByCodeAndName("13303001000", name);
    ASSERT_NE(p, 0u) << testutil::Show(name);
    ChangeKeyEntry e;
    ASSERT_EQ(h.GetKeyEntry(4, p, &e), 1);
    ASSERT_EQ(e.count, 3);
    for (uint32_t n = e.first; n < e.first + e.count; ++n) {
      ChangeRecord r;
      char s1[kChangeTextSize];
      ASSERT_EQ(h.GetRecord(n, &r, nullptr, nullptr, s1, nullptr), 1);
      EXPECT_STREQ(s1, name);
    }
    EXPECT_EQ(h.IsFirstNumberName(name), 1);
  }
  ChangeKeyEntry e;
  ASSERT_EQ(h.GetKeyEntry(3, h.FindByCode("13303001000"), &e), 1);
  EXPECT_EQ(e.first, 1u);
  EXPECT_EQ(e.count, 3);
}

TEST_F(ChangeHistoryTest, SearchNamesOf64BytesOrMoreAreNotFound) {
  CChangeHistoryBuilder b;
  ASSERT_EQ(b.Init(2, 2, 200), 1);
  const std::string name63(63, 'n');
  ASSERT_EQ(b.AddRecord("13101001002", "", "", 1, 2, "2000", name63.c_str(), name63.c_str(), "", "",
                        0, ""),
            1);
  char msg[kMessageSize];
  ASSERT_EQ(b.WriteCompiledData(Cdb().c_str(), Cix().c_str(), msg), 1);
  CChangeHistory h;
  ASSERT_EQ(h.Open(Cdb().c_str(), Cix().c_str(), msg), 1);
  EXPECT_EQ(h.FindByCodeAndName("13101001002", name63.c_str()), 1u);
  EXPECT_EQ(h.FindByCodeAndNames("13101001002", name63.c_str(), name63.c_str()), 1u);
  const std::string name64(64, 'n');
  const std::string name600(600, 'n');
  EXPECT_EQ(h.FindByCodeAndName("13101001002", name64.c_str()), 0u);
  EXPECT_EQ(h.FindByCodeAndName("13101001002", name600.c_str()), 0u);
  EXPECT_EQ(h.FindByCodeAndNames("13101001002", name63.c_str(), name600.c_str()), 0u);
  EXPECT_EQ(h.FindByCodeAndName("13101001002", nullptr), 0u);
}

// ---- Name lists ----

TEST_F(ChangeHistoryTest, NameListsAnswerMembership) {
  for (int listSize : {0, 5, 9}) {
    SCOPED_TRACE(listSize);
    CChangeHistoryBuilder b;
    ASSERT_EQ(b.Init(4, 4, 200), 1);
    // Names "b1" .. : "b" and a letter, so that "a" sorts below and "c"
    // above all of them; "０" never goes into a list.
    std::vector<std::string> names;
    for (int i = 0; i < listSize; ++i) names.push_back(std::string("b") + static_cast<char>('a' + 2 * i));
    for (std::size_t i = 0; i < names.size(); ++i) {
      const std::string lot = "0000" + std::to_string(i);
      // Each name twice: the list holds it once.
      for (int twice = 0; twice < 2; ++twice) {
        ASSERT_EQ(b.AddRecord(twice ? "13101001003" : "13101001002", "", lot.c_str(), 1, 2, "2000",
                              names[i].c_str(), names[i].c_str(), "", "", 0, ""),
                  1);
      }
    }
    ASSERT_EQ(b.AddRecord("13101001004", "", "", 1, 2, "2000", "０", "０", "", "", 0, ""), 1);
    char msg[kMessageSize];
    ASSERT_EQ(b.SortByNames(msg), 1);
    ASSERT_EQ(b.WriteCompiledData(Cdb().c_str(), Cix().c_str(), msg), 1);
    const std::string cix = CixBytes();
    EXPECT_EQ(static_cast<unsigned char>(cix[56]), listSize);
    EXPECT_EQ(static_cast<unsigned char>(cix[62]), listSize);
    CChangeHistory h;
    ASSERT_EQ(h.Open(Cdb().c_str(), Cix().c_str(), msg), 1);
    for (const std::string& name : names) {
      EXPECT_EQ(h.IsFirstNumberName(name.c_str()), 1) << name;
      EXPECT_EQ(h.IsSecondNumberName(name.c_str()), 1) << name;
      const std::string between = name + "x";
      EXPECT_EQ(h.IsFirstNumberName(between.c_str()), 0) << between;
    }
    EXPECT_EQ(h.IsFirstNumberName("a"), 0);
    EXPECT_EQ(h.IsFirstNumberName("c"), 0);
    EXPECT_EQ(h.IsSecondNumberName("イ"), 0);
    // Whole numbers, in either width, are names without the list.
    EXPECT_EQ(h.IsFirstNumberName("３"), 1);
    EXPECT_EQ(h.IsSecondNumberName("12"), 1);
    EXPECT_EQ(h.IsFirstNumberName("０"), 1);
    EXPECT_EQ(h.IsFirstNumberName(std::string(512, '1').c_str()), 0);
    EXPECT_EQ(h.IsFirstNumberName(nullptr), 0);
  }
}

// ---- Writing failures ----

TEST_F(ChangeHistoryTest, FailedWriteLeavesNoFile) {
  CChangeHistoryBuilder b;
  ASSERT_EQ(b.Init(2, 2, 200), 1);
  ASSERT_EQ(b.AddRecord("13101001002", "00012", "", 1, 2, "2000", "", "", "", "", 0, ""), 1);
  char msg[kMessageSize];
  const std::string missing = dir_.Sys("none\\QAD_CH13.CIX");
  EXPECT_EQ(b.WriteCompiledData(Cdb().c_str(), missing.c_str(), msg), 0);
  EXPECT_EQ(std::string(msg), kCreateError + missing + ")");
  EXPECT_FALSE(testutil::Exists(dir_.Native("QAD_CH13.CDB")));
  const std::string missingData = dir_.Sys("none\\QAD_CH13.CDB");
  EXPECT_EQ(b.WriteCompiledData(missingData.c_str(), Cix().c_str(), msg), 0);
  EXPECT_EQ(std::string(msg), kCreateError + missingData + ")");
  EXPECT_FALSE(testutil::Exists(dir_.Native("QAD_CH13.CIX")));

  // A block name of 64 bytes cannot go into the name list.
  const std::string name64(64, 'n');
  ASSERT_EQ(b.AddRecord("13101001002", "", "", 1, 2, "2000", name64.c_str(), "", "", "", 0, ""), 1);
  EXPECT_EQ(b.WriteCompiledData(Cdb().c_str(), Cix().c_str(), msg), 0);
  EXPECT_STREQ(msg, kMemoryError);
  EXPECT_FALSE(testutil::Exists(dir_.Native("QAD_CH13.CDB")));
  EXPECT_FALSE(testutil::Exists(dir_.Native("QAD_CH13.CIX")));
}

TEST_F(ChangeHistoryTest, RunsLongerThan65535RecordsAreRefused) {
  CChangeHistoryBuilder b;
  ASSERT_EQ(b.Init(70000, 1000, 200), 1);
  char lot[8];
  for (uint32_t i = 1; i <= 65536; ++i) {
    std::snprintf(lot, sizeof lot, "%05u", i);
    ASSERT_EQ(b.AddRecord("13101001002", "00001", lot, 1, 2, "2000", "", "", "", "", 0, ""), 1);
  }
  char msg[kMessageSize];
  ASSERT_EQ(b.SortByNumbers(msg), 1);
  EXPECT_EQ(b.WriteCompiledData(Cdb().c_str(), Cix().c_str(), msg), 0);
  EXPECT_STREQ(msg, kMemoryError);
  EXPECT_FALSE(testutil::Exists(dir_.Native("QAD_CH13.CDB")));
  EXPECT_FALSE(testutil::Exists(dir_.Native("QAD_CH13.CIX")));
}

// ---- Damaged files ----

TEST_F(ChangeHistoryTest, TruncatedFilesFailCleanly) {
  CChangeHistoryBuilder b;
  ASSERT_EQ(b.Init(4, 4, 200), 1);
  ASSERT_EQ(b.AddRecord("13101001002", "00012", "", 1, 2, "2000", "十二", "", "じゅうに", "", 0, ""), 1);
  ASSERT_EQ(b.AddRecord("13101001002", "00012", "00003", 1, 2, "2000", "十二", "甲", "じゅうに", "こう", 0, ""), 1);
  ASSERT_EQ(b.AddRecord("13101001003", "", "", 1, 2, "2000", "イ", "", "", "", 0, ""), 1);
  char msg[kMessageSize];
  ASSERT_EQ(b.SortByNames(msg), 1);
  ASSERT_EQ(b.WriteCompiledData(Cdb().c_str(), Cix().c_str(), msg), 1);
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
  // A data file cut anywhere after its header opens, and every read of a
  // record it no longer holds fails.
  for (std::size_t cut = 32; cut <= cdb.size(); ++cut) {
    std::string part = cdb.substr(0, cut);
    PutLe32(&part, 8, static_cast<uint32_t>(cut));
    PutCdb(part);
    CChangeHistory h;
    ASSERT_EQ(h.Open(Cdb().c_str(), Cix().c_str(), msg), 1);
    int readable = 0;
    for (uint32_t n = 1; n <= 3; ++n) {
      ChangeRecord r;
      char t[4][kChangeTextSize];
      readable += h.GetRecord(n, &r, t[0], t[1], t[2], t[3]);
    }
    EXPECT_EQ(readable == 3, cut == cdb.size()) << cut;
    h.FindByCodeAndNames("13101001002", "じゅうに", "こう");
    h.FindByCodeAndName("13101001003", "イ");
  }
}

TEST_F(ChangeHistoryTest, TablesPointingOutsideTheFilesReadNothing) {
  WriteGolden();
  std::string cix = CixBytes();
  PutLe32(&cix, 76, 1000);  // record 1 far behind the data
  PutLe32(&cix, 64, 5);     // code entry 1 names block entry 5
  PutCix(cix);
  CChangeHistory h;
  char msg[kMessageSize];
  ASSERT_EQ(h.Open(Cdb().c_str(), Cix().c_str(), msg), 1);
  ChangeRecord r;
  EXPECT_EQ(h.ReadRecord(1, &r), 0);
  EXPECT_EQ(h.GetRecordNumber(3, 1), 0u);
  EXPECT_EQ(h.FindByCode("13101001002"), 0u);
  EXPECT_EQ(h.FindByCodeAndName("13101001002", "１２"), 0u);
}

// ---- Round trip ----

namespace {

struct GeneratedRecord {
  std::string code;
  std::string block;  // block code ("" for none)
  std::string lot;
  uint32_t blockNumber = 0;
  uint32_t lotNumber = 0;
  std::string name1, name2, sort1, sort2;  // as passed
  std::string readName1, readName2, readSort1, readSort2;  // as the reader must give them
  uint32_t c1 = 0, c2 = 0;
  int classCode = 0;
  int scale = 0;
  int digit = 0;
};

// Records of a few address codes: numbered blocks (digit and letter
// codes), named blocks without a number, each with its own record and lots
// of numbers or names; names given in full width, in half width, empty or
// as kanji, with and without sort forms.
std::vector<GeneratedRecord> GenerateRecords(std::mt19937* rng, int wanted) {
  auto pick = [rng](int n) { return static_cast<int>((*rng)() % static_cast<unsigned>(n)); };
  const char* cities[] = {"13101", "13303", "26104"};
  const char* parts1[] = {"001", "002", "A00", "B12"};
  const char* parts2[] = {"000", "003", "C05"};
  std::vector<GeneratedRecord> out;
  std::set<std::string> usedCodes;
  int serial = 0;
  while (static_cast<int>(out.size()) < wanted) {
    std::string code;
    do {
      code = std::string(cities[pick(3)]) + parts1[pick(4)] + parts2[pick(3)];
    } while (!usedCodes.insert(code).second);
    std::set<uint32_t> usedBlocks;
    const int blocks = 3 + pick(6);
    for (int bl = 0; bl < blocks; ++bl) {
      GeneratedRecord block;
      block.code = code;
      const int kind = pick(6);
      ++serial;
      if (kind == 5) {
        // Named, without a number.
        block.name1 = "丁" + Fw(static_cast<uint32_t>(serial));
        block.readName1 = block.name1;
      } else {
        do {
          block.blockNumber = kind == 4 ? 100000 + static_cast<uint32_t>(pick(20000))
                                        : 1 + static_cast<uint32_t>(pick(99999));
        } while (!usedBlocks.insert(block.blockNumber).second);
        char text[8];
        if (block.blockNumber >= 100000) {
          const uint32_t v = block.blockNumber - 100000;
          std::snprintf(text, sizeof text, "%c%04u", 'A' + static_cast<int>(v / 10000), v % 10000);
        } else {
          std::snprintf(text, sizeof text, "%05u", block.blockNumber);
        }
        block.block = text;
        // Empty, full-width or half-width digits: the reader makes the
        // full-width number; a kanji name comes back as it is.
        block.readName1 = Fw(block.blockNumber);
        switch (pick(4)) {
          case 0:
            block.name1 = "";
            break;
          case 1:
            block.name1 = Fw(block.blockNumber);
            break;
          case 2:
            block.name1 = std::to_string(block.blockNumber);
            break;
          default:
            block.name1 = "番" + Fw(static_cast<uint32_t>(serial));
            block.readName1 = block.name1;
            break;
        }
      }
      if (pick(3) == 0) {
        block.sort1 = "ばん" + Fw(static_cast<uint32_t>(serial));
        block.readSort1 = block.sort1;
      } else {
        block.sort1 = pick(2) ? block.name1 : "";
        block.readSort1 = block.readName1;
      }
      std::set<uint32_t> usedLots;
      const int lots = 1 + pick(8);
      for (int l = 0; l < lots; ++l) {
        GeneratedRecord r = block;
        r.c1 = 128000000 + static_cast<uint32_t>(pick(1000000));
        r.c2 = 503000000 + static_cast<uint32_t>(pick(1000000));
        r.classCode = pick(4);
        r.scale = pick(6);
        r.digit = pick(10);
        if (l == 0 && pick(2) == 0) {
          // The block's own record.
        } else if (pick(5) == 0) {
          ++serial;
          r.name2 = "甲" + Fw(static_cast<uint32_t>(serial));
          r.readName2 = r.name2;
        } else {
          do {
            r.lotNumber = 1 + static_cast<uint32_t>(pick(2000));
          } while (!usedLots.insert(r.lotNumber).second);
          char text[8];
          std::snprintf(text, sizeof text, "%05u", r.lotNumber);
          r.lot = text;
          r.name2 = pick(2) ? Fw(r.lotNumber) : "";
          r.readName2 = Fw(r.lotNumber);
        }
        if (pick(4) == 0 && !r.readName2.empty()) {
          ++serial;
          r.sort2 = "こう" + Fw(static_cast<uint32_t>(serial));
          r.readSort2 = r.sort2;
        } else {
          r.readSort2 = r.readName2;
        }
        out.push_back(r);
      }
    }
  }
  return out;
}

}  // namespace

TEST_F(ChangeHistoryTest, RandomRecordsAreFoundByEverySearch) {
  std::mt19937 rng(20240607);
  const std::vector<GeneratedRecord> records = GenerateRecords(&rng, 500);
  ASSERT_GE(records.size(), 500u);
  // Added in a shuffled order; a small start so that the lists grow.
  std::vector<std::size_t> order(records.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), rng);
  CChangeHistoryBuilder b;
  ASSERT_EQ(b.Init(16, 16, 200), 1);
  const char* scales[] = {"10000", "25000", "50000", "70000", "80000", "2000"};
  const int scaleCodes[] = {1, 2, 3, 7, 8, 20};
  for (std::size_t i : order) {
    const GeneratedRecord& r = records[i];
    const std::string digit(1, static_cast<char>('0' + r.digit));
    ASSERT_EQ(b.AddRecord(r.code.c_str(), r.block.c_str(), r.lot.c_str(), r.c1, r.c2,
                          scales[r.scale], r.name1.c_str(), r.name2.c_str(), r.sort1.c_str(),
                          r.sort2.c_str(), r.classCode, digit.c_str()),
              1)
        << r.code << " " << r.block << " " << r.lot;
  }
  char msg[kMessageSize];
  ASSERT_EQ(b.SortByNames(msg), 1);
  ASSERT_EQ(b.WriteCompiledData(Cdb().c_str(), Cix().c_str(), msg), 1) << testutil::Show(msg);
  CChangeHistory h;
  ASSERT_EQ(h.Open(Cdb().c_str(), Cix().c_str(), msg), 1) << testutil::Show(msg);
  ASSERT_EQ(h.GetSearchCount(5), records.size());

  // By code: the code's key range holds exactly its records.
  std::map<std::string, std::multiset<std::string>> byCode;
  for (const GeneratedRecord& r : records) byCode[r.code].insert(r.readSort1 + "|" + r.readSort2);
  ASSERT_EQ(h.GetSearchCount(3), byCode.size());
  for (const auto& [code, keys] : byCode) {
    const uint32_t p = h.FindByCode(code.c_str());
    ASSERT_NE(p, 0u) << code;
    ChangeKeyEntry codeEntry;
    ASSERT_EQ(h.GetKeyEntry(3, p, &codeEntry), 1);
    std::multiset<std::string> found;
    for (uint32_t k = codeEntry.first; k < codeEntry.first + codeEntry.count; ++k) {
      ChangeKeyEntry blockEntry;
      ASSERT_EQ(h.GetKeyEntry(4, k, &blockEntry), 1);
      for (uint32_t n = blockEntry.first; n < blockEntry.first + blockEntry.count; ++n) {
        ChangeRecord rec;
        char s1[kChangeTextSize], s2[kChangeTextSize];
        ASSERT_EQ(h.GetRecord(n, &rec, nullptr, nullptr, s1, s2), 1);
        found.insert(std::string(s1) + "|" + s2);
      }
    }
    EXPECT_EQ(found, keys) << code;
  }

  for (const GeneratedRecord& r : records) {
    SCOPED_TRACE(r.code + " " + r.block + " " + r.lot);
    // By code and block name: a block group of that name holding the record.
    const uint32_t p = h.FindByCodeAndName(r.code.c_str(), r.readSort1.c_str());
    ASSERT_NE(p, 0u);
    ChangeKeyEntry e;
    ASSERT_EQ(h.GetKeyEntry(4, p, &e), 1);
    bool inGroup = false;
    for (uint32_t n = e.first; n < e.first + e.count; ++n) {
      ChangeRecord rec;
      char s1[kChangeTextSize], s2[kChangeTextSize];
      ASSERT_EQ(h.GetRecord(n, &rec, nullptr, nullptr, s1, s2), 1);
      EXPECT_EQ(std::string(s1), r.readSort1);
      inGroup = inGroup || std::string(s2) == r.readSort2;
    }
    EXPECT_TRUE(inGroup);

    // By code and both names: the record itself.
    const uint32_t n = h.FindByCodeAndNames(r.code.c_str(), r.readSort1.c_str(), r.readSort2.c_str());
    ASSERT_NE(n, 0u);
    ChangeRecord rec;
    char n1[kChangeTextSize], n2[kChangeTextSize], s1[kChangeTextSize], s2[kChangeTextSize];
    ASSERT_EQ(h.GetRecord(n, &rec, n1, n2, s1, s2), 1);
    EXPECT_EQ(std::string(n1), r.readName1);
    EXPECT_EQ(std::string(n2), r.readName2);
    EXPECT_EQ(std::string(s1), r.readSort1);
    EXPECT_EQ(std::string(s2), r.readSort2);
    EXPECT_EQ(rec.blockNumber, r.blockNumber);
    EXPECT_EQ(rec.lotNumber, r.lotNumber);
    EXPECT_EQ(rec.coordinate1, r.c1);
    EXPECT_EQ(rec.coordinate2, r.c2);
    EXPECT_EQ(rec.classCode, r.classCode);
    EXPECT_EQ(ChangeRecordPrecision(rec), scaleCodes[r.scale]);
    EXPECT_EQ(ChangeRecordPrecisionDigit(rec), r.digit);
    // Kanji block names and named lots stand in the name lists.
    EXPECT_EQ(h.IsFirstNumberName(r.readName1.c_str()), r.readName1.empty() ? 0 : 1);
    if (!r.readName2.empty()) {
      EXPECT_EQ(h.IsSecondNumberName(r.readName2.c_str()), 1);
    }
  }
}
