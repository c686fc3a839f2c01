#include "tabledb/change_code_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "common/message.h"
#include "plat/crt.h"
#include "support/test_util.h"
#include "tabledb/change_code_index_builder.h"
#include "tests/tabledb/change_test_util.h"

using namespace changetest;

namespace {

const char kReadError[] = "ファイルの読み込みに失敗しました!(";
const char kOpenError[] = "ファイルオープンエラー!(";
const char kCode[] = "13101001002";

ChangeCodeIndexCapacities Small() {
  ChangeCodeIndexCapacities c;
  c.cityBytes = c.cityBytesGrowth = c.areaBytes = c.areaBytesGrowth = 16;
  c.blockBytes = c.blockBytesGrowth = 64;
  c.changeBytes = c.changeBytesGrowth = 256;
  c.cityEntries = c.cityEntriesGrowth = c.areaEntries = c.areaEntriesGrowth = 2;
  c.blockEntries = c.blockEntriesGrowth = 4;
  c.changeEntries = c.changeEntriesGrowth = 16;
  return c;
}

// A change record as read.
struct Change {
  char code[kChangeCodeTextSize] = "";
  char name[kChangeCodeNameSize] = "";
  char second[kChangeCodeNameSize] = "";
  uint32_t n1 = 0, n2 = 0;
  int digit = -1, precision = -1, classCode = -1;
};

class ChangeCodeIndexTest : public ::testing::Test {
 protected:
  std::string Cdi() const { return dir_.Sys("QAD_CH13.CDI"); }
  std::string Bytes() const { return testutil::ReadBytes(dir_.Native("QAD_CH13.CDI")); }
  void Put(const std::string& b) {
    ASSERT_TRUE(testutil::WriteBytes(dir_.Native("QAD_CH13.CDI"), b));
  }

  // Builder with city 13101 and area 001002 open (and a block, when given).
  void Start(const char* block = nullptr) {
    ASSERT_EQ(b_.Init(Small()), 1);
    ASSERT_EQ(b_.AddCity("13101"), 1);
    ASSERT_EQ(b_.AddArea("001002"), 1);
    if (block != nullptr) {
      ASSERT_EQ(b_.AddBlock(block, "", nullptr), 1);
    }
  }
  int Add(const char* code, uint32_t n1 = 1, uint32_t n2 = 1, const char* name = "",
          const char* second = nullptr, const char* digit = "0", const char* cls = "0",
          const char* scale = "2000") {
    return b_.AddChange(code, name, second, n2, n1, scale, digit, cls);
  }
  void WriteAndOpen() {
    ASSERT_EQ(b_.WriteChangeHistoryIndex(Cdi().c_str()), 1);
    char msg[kMessageSize] = "";
    ASSERT_EQ(x_.Open(Cdi().c_str(), msg), 1) << testutil::Show(msg);
  }

  // Positions of the children of an area or block entry.
  std::vector<uint32_t> Children(uint32_t entry, bool block) {
    uint32_t table = 0, count = 0, size = 0;
    int wide = 0;
    std::vector<uint32_t> out;
    const int ok =
        block ? x_.ReadBlockEntry(entry, nullptr, nullptr, nullptr, &table, &count, &size, &wide)
              : x_.ReadAreaEntry(entry, nullptr, &table, &count, &size, &wide);
    EXPECT_EQ(ok, 1) << entry;
    for (uint32_t i = 0; ok && i < count; ++i) {
      uint32_t offset = 0;
      EXPECT_EQ(x_.ReadChildOffset(table, i, wide, &offset), 1);
      out.push_back(table + size + offset);
    }
    return out;
  }
  int Read(uint32_t pos, int continuing, uint32_t* b1, uint32_t* b2, Change* c) {
    return x_.ReadChangeRecord(pos, continuing, b1, b2, c->code, c->name, c->second, &c->n1, &c->n2,
                               &c->digit, &c->precision, &c->classCode);
  }

  // City 13101, area 001002, block 00012 (１２), change 00003 (３).
  void WriteGolden() {
    Start();
    ASSERT_EQ(b_.AddBlock("00012", "１２", "１２"), 1);
    ASSERT_EQ(b_.AddChange("00003", "３", "３", 503158000, 128452000, "2000", "1", "1"), 1);
    WriteAndOpen();
  }

  testutil::TempDir dir_;
  CChangeCodeIndexBuilder b_;
  CChangeCodeIndex x_;
};

}  // namespace

// ---- Golden file ----

TEST_F(ChangeCodeIndexTest, GoldenFileMatchesByteForByte) {
  const uint32_t before = plat::crt::TimeLow32();
  WriteGolden();
  const uint32_t after = plat::crt::TimeLow32();
  std::string bytes = Bytes();
  const uint32_t time = Le32(bytes, 12);
  EXPECT_TRUE(time >= before && time <= after) << time;
  PutLe32(&bytes, 12, 0);
  EXPECT_EQ(bytes, Hex("51 41 44 43 44 49 40 00 00 00 01 00 00 00 00 00 69 00 00 00") +
                       std::string(44, '\0') +
                       Hex("01 00 00 00 00 00 00 00 | 00 2d 33 01 00 00 00 | 00 01 02 01 00 00 00"
                           "| 00 00 0c 01 00 00 00 | 7c 00 14 03 a0 05 a8 07 f0 94 fd 1d"));
  // A pinned time is written as it is.
  b_.PinCreationTime(0xCAFE0001);
  ASSERT_EQ(b_.WriteChangeHistoryIndex(Cdi().c_str()), 1);
  EXPECT_EQ(Le32(Bytes(), 12), 0xCAFE0001u);
}

TEST_F(ChangeCodeIndexTest, ReadsTheGoldenTree) {
  WriteGolden();
  EXPECT_EQ(x_.GetPath(), Cdi());
  EXPECT_EQ(x_.FindCity(kCode), 72u);
  EXPECT_EQ(x_.FindArea(kCode), 79u);
  EXPECT_EQ(x_.FindBlock(kCode, "１２"), 86u);
  EXPECT_EQ(x_.FindBlock(kCode, "12"), 86u);
  EXPECT_EQ(x_.FindBlockByCode(kCode, "00012"), 86u);
  EXPECT_EQ(x_.FindChange(kCode, "１２", "３"), 93u);
  EXPECT_EQ(x_.FindChangeByCode(kCode, "00012", "00003"), 93u);
  for (uint32_t none :
       {x_.FindCity("1310"), x_.FindCity("13102"), x_.FindArea("1310100100"),
        x_.FindArea("13101001003"), x_.FindBlock("1310100100", "１２"), x_.FindBlock(kCode, ""),
        x_.FindBlock(kCode, "１３"), x_.FindChange(kCode, "１２", "４")}) {
    EXPECT_EQ(none, 0u);
  }
  char code[kChangeCodeTextSize], name[kChangeCodeNameSize], second[kChangeCodeNameSize];
  uint32_t table = 0, count = 0, size = 0;
  int wide = -1;
  ASSERT_EQ(x_.ReadCityEntry(72, code, &table, &count, &size, &wide), 1);
  EXPECT_STREQ(code, "13101");
  EXPECT_EQ((std::vector<uint32_t>{table, count, size, static_cast<uint32_t>(wide)}),
            (std::vector<uint32_t>{77, 1, 2, 0}));
  ASSERT_EQ(x_.ReadAreaEntry(79, code, &table, &count, &size, &wide), 1);
  EXPECT_STREQ(code, "001002");
  ASSERT_EQ(x_.ReadBlockEntry(86, code, name, second, &table, &count, &size, &wide), 1);
  EXPECT_EQ(std::string(code) + "|" + name + "|" + second, "00012|１２|１２");
  Change c;
  uint32_t base1 = 7, base2 = 7;
  ASSERT_EQ(Read(93, 0, &base1, &base2, &c), 1);
  EXPECT_EQ(std::string(c.code) + "|" + c.name + "|" + c.second, "00003|３|３");
  EXPECT_EQ((std::vector<int64_t>{c.n1, c.n2, base1, base2, c.digit, c.classCode}),
            (std::vector<int64_t>{128452000, 503158000, 128452000, 503158000, 1, 1}));
  x_.Close();
  EXPECT_STREQ(x_.GetPath(), "");
  EXPECT_EQ(x_.FindCity("13101"), 0u);
}

TEST_F(ChangeCodeIndexTest, ScaleTwoThousandReadsBackAsTwenty) {
  Start("00001");
  const char* scales[] = {"10000", "25000", "50000", "70000", "80000", "2000"};
  const int codes[] = {1, 2, 3, 7, 8, 20};
  for (int i = 0; i < 6; ++i) {
    ASSERT_EQ(Add(("0000" + std::to_string(i)).c_str(), 5, 5, "", nullptr, "0", "0", scales[i]), 1);
  }
  ASSERT_EQ(Add("00006", 5, 5, "", nullptr, "0", "0", "3000"), 0);
  WriteAndOpen();
  const std::vector<uint32_t> changes = Children(x_.FindBlock(kCode, "1"), true);
  ASSERT_EQ(changes.size(), 6u);
  uint32_t base1 = 0, base2 = 0;
  for (int i = 0; i < 6; ++i) {
    Change c;
    ASSERT_EQ(Read(changes[i], i > 0, &base1, &base2, &c), 1);
    EXPECT_EQ(c.precision, codes[i]) << scales[i];
  }
  // In the file the scale 2000 holds its low four bits.
  EXPECT_EQ(Bytes()[changes[5] + 2] & 0x0F, 4);
}

TEST_F(ChangeCodeIndexTest, AreaKeyIsCharactersSixToEleven) {
  WriteGolden();
  EXPECT_EQ(x_.FindArea("13101001002XYZ"), 79u);
  EXPECT_EQ(x_.FindBlock("13101001002 ", "１２"), 86u);
  EXPECT_EQ(x_.FindChange("13101001002-1", "１２", "３"), 93u);
}

// ---- Open failures ----

TEST_F(ChangeCodeIndexTest, EveryOpenFailureHasItsMessage) {
  WriteGolden();
  x_.Close();
  const std::string good = Bytes();
  std::string badSize = good;
  badSize[6] = 0x41;
  const struct {
    const char* what;
    std::string bytes;  // "-": no file
    const char* message;
  } cases[] = {
      {"missing", "-", kOpenError},
      {"63 header bytes", good.substr(0, 63), kReadError},
      {"magic", "QADCDJ" + good.substr(6), kReadError},
      {"header size 65", badSize, kReadError},
      {"no city count", good.substr(0, 64), kReadError},
      {"city count cut", good.substr(0, 67), kReadError},
  };
  for (const auto& c : cases) {
    std::remove(dir_.Native("QAD_CH13.CDI").c_str());
    if (c.bytes != "-") Put(c.bytes);
    char msg[kMessageSize] = "";
    EXPECT_EQ(x_.Open(Cdi().c_str(), msg), 0) << c.what;
    EXPECT_EQ(msg, c.message + Cdi() + ")") << c.what;
    EXPECT_EQ(x_.IsOpen(), 0);
    EXPECT_STREQ(x_.GetPath(), "");
    EXPECT_EQ(x_.FindCity("13101"), 0u);
  }
}

// ---- Searches ----

TEST_F(ChangeCodeIndexTest, NamesAreSearchedAmongLetterCodedEntriesOnly) {
  Start();
  const char* blocks[][3] = {{"00001", "イ", nullptr}, {"00002", "ニ", nullptr},
                             {"A0001", "イ", nullptr}, {"A0002", "ロ", nullptr},
                             {"A0003", "ろ", "ロ"},    {"B0001", "ハ", "は"}};
  for (auto& bl : blocks) {
    ASSERT_EQ(b_.AddBlock(bl[0], bl[1], bl[2]), 1);
    ASSERT_EQ(Add("00001"), 1);
    ASSERT_EQ(Add("A0001", 1, 1, "甲"), 1);
    ASSERT_EQ(Add("A0002", 1, 1, "乙"), 1);
  }
  WriteAndOpen();
  const std::vector<uint32_t> pos = Children(x_.FindArea(kCode), false);
  ASSERT_EQ(pos.size(), 6u);
  EXPECT_EQ(x_.FindBlock(kCode, "イ"), pos[2]);  // not the digit-coded 00001
  EXPECT_EQ(x_.FindBlock(kCode, "ロ"), pos[3]);  // the first of two equal second names
  EXPECT_EQ(x_.FindBlock(kCode, "は"), pos[5]);  // by second name
  EXPECT_EQ(x_.FindBlock(kCode, "ハ"), 0u);
  EXPECT_EQ(x_.FindBlock(kCode, "ニ"), 0u);
  EXPECT_EQ(x_.FindBlock(kCode, "２"), pos[1]);
  const std::vector<uint32_t> changes = Children(pos[3], true);
  EXPECT_EQ(x_.FindChange(kCode, "ロ", "乙"), changes[2]);
  EXPECT_EQ(x_.FindChange(kCode, "ロ", "１"), changes[0]);
  EXPECT_EQ(x_.FindChange(kCode, "ロ", "丙"), 0u);
  EXPECT_EQ(x_.FindChangeByCode(kCode, "A0002", "A0001"), changes[1]);
}

TEST_F(ChangeCodeIndexTest, EqualCodesAnswerTheFirstOfTheirRun) {
  Start();
  for (const char* c :
       {"00000", "00000", "00001", "00002", "00002", "00002", "00003", "00004", "00004"}) {
    ASSERT_EQ(b_.AddBlock(c, "", nullptr), 1);
    ASSERT_EQ(Add("00001"), 1);
  }
  WriteAndOpen();
  const std::vector<uint32_t> pos = Children(x_.FindArea(kCode), false);
  const struct {
    const char* code;
    int index;  // -1: none
  } cases[] = {{"00000", 0}, {"00001", 2}, {"00002", 3}, {"00003", 6}, {"00004", 7}, {"00005", -1}};
  for (const auto& c : cases) {
    EXPECT_EQ(x_.FindBlockByCode(kCode, c.code), c.index < 0 ? 0u : pos[c.index]) << c.code;
  }
  EXPECT_EQ(x_.FindBlock(kCode, "０"), pos[0]);
}

TEST_F(ChangeCodeIndexTest, NumbersAreCodedAgainstTheFirstRecordOfTheBlock) {
  Start("00001");
  const struct {
    uint32_t n1, n2;
    int form1, form2, bytes;
  } changes[] = {
      {1000000, 2000000, 3, 3, 8},         {999000, 2000500, 2, 1, 4},
      {1000000, 2000000, 0, 0, 0},         {1065536, 2000000 - 65535, 3, 2, 6},
      {1065535, 2000000 - 65536, 1, 3, 6}, {0, 4294967295u, 3, 3, 8},
  };
  int i = 0;
  for (const auto& c : changes)
    ASSERT_EQ(Add(("0000" + std::to_string(i++)).c_str(), c.n1, c.n2), 1);
  WriteAndOpen();
  const std::string file = Bytes();
  const std::vector<uint32_t> pos = Children(x_.FindBlock(kCode, "1"), true);
  ASSERT_EQ(pos.size(), 6u);
  uint32_t base1 = 0, base2 = 0;
  for (std::size_t k = 0; k < pos.size(); ++k) {
    Change c;
    ASSERT_EQ(Read(pos[k], k > 0, &base1, &base2, &c), 1) << k;
    EXPECT_EQ(c.n1, changes[k].n1) << k;
    EXPECT_EQ(c.n2, changes[k].n2) << k;
    EXPECT_EQ((file[pos[k]] >> 2) & 3, changes[k].form1) << k;
    EXPECT_EQ((file[pos[k]] >> 4) & 3, changes[k].form2) << k;
    // Three flag bytes, a one-byte code, then the numbers.
    const std::size_t end = k + 1 < pos.size() ? pos[k + 1] : file.size();
    EXPECT_EQ(end - pos[k], 4u + changes[k].bytes) << k;
  }
  // Wrong bases give wrong numbers; a difference the base cannot take
  // fails the read.
  Change c;
  uint32_t b1 = 1000001, b2 = 2000000;
  ASSERT_EQ(Read(pos[1], 1, &b1, &b2, &c), 1);
  EXPECT_EQ(c.n1, 999001u);
  b1 = b2 = 0;
  EXPECT_EQ(Read(pos[1], 1, &b1, &b2, &c), 0);
  b1 = b2 = 4294967295u;
  EXPECT_EQ(Read(pos[1], 1, &b1, &b2, &c), 0);
}

// ---- Builder rules ----

TEST_F(ChangeCodeIndexTest, BuilderRefusesBadInput) {
  ASSERT_EQ(b_.Init(Small()), 1);
  EXPECT_EQ(b_.AddArea("001002"), 0);  // no city
  for (const char* city : {"999", "48000", "1310a", "", "013101"})
    EXPECT_EQ(b_.AddCity(city), 0) << city;
  ASSERT_EQ(b_.AddCity("47999"), 1);
  EXPECT_EQ(b_.AddBlock("00001", "", nullptr), 0);  // no area
  EXPECT_EQ(b_.AddArea("00100"), 0);
  EXPECT_EQ(b_.AddArea("0010020"), 0);
  ASSERT_EQ(b_.AddArea("A01999"), 1);
  EXPECT_EQ(Add("00001"), 0);  // no block
  const std::string n63(63, 'n'), n64(64, 'n');
  EXPECT_EQ(b_.AddBlock("123456", "", nullptr), 0);
  EXPECT_EQ(b_.AddBlock("A001", "イ", nullptr), 0);
  EXPECT_EQ(b_.AddBlock("A0001", "", nullptr), 0);  // a letter code needs a name
  EXPECT_EQ(b_.AddBlock("A0001", n64.c_str(), nullptr), 0);
  EXPECT_EQ(b_.AddBlock("A0001", "イ", n64.c_str()), 0);
  ASSERT_EQ(b_.AddBlock("A0001", n63.c_str(), nullptr), 1);
  EXPECT_EQ(Add("00001", 1, 1, "", nullptr, "0", "0", "25"), 0);
  EXPECT_EQ(Add("00001", 1, 1, "", nullptr, nullptr, "0"), 0);
  EXPECT_EQ(Add("00001", 1, 1, "", nullptr, "0", nullptr), 0);
  EXPECT_EQ(Add("0001"), 1);  // plain digits: 00001
  WriteAndOpen();
  char name[kChangeCodeNameSize];
  EXPECT_NE(x_.FindChangeByCode("47999A01999", "A0001", "00001"), 0u);
  ASSERT_EQ(x_.ReadBlockNames(x_.FindBlock("47999A01999", n63.c_str()), nullptr, name, nullptr), 1);
  EXPECT_EQ(name, n63);
}

TEST_F(ChangeCodeIndexTest, DigitAndClassZeroAreWrittenAndLargerValuesRefused) {
  Start("00001");
  EXPECT_EQ(Add("00001", 1, 1, "", nullptr, "4", "0"), 0);
  EXPECT_EQ(Add("00001", 1, 1, "", nullptr, "0", "8"), 0);
  EXPECT_EQ(Add("00001", 1, 1, "", nullptr, "-1", "0"), 0);
  ASSERT_EQ(Add("00001", 1, 1, "", nullptr, "0", "0"), 1);
  ASSERT_EQ(Add("00002", 1, 1, "", nullptr, "3", "7"), 1);
  WriteAndOpen();
  const int expected[][2] = {{0, 0}, {3, 7}};
  uint32_t b1 = 0, b2 = 0;
  for (int k = 0; k < 2; ++k) {
    Change c;
    ASSERT_EQ(Read(x_.FindChange(kCode, "１", Fw(k + 1).c_str()), k, &b1, &b2, &c), 1);
    EXPECT_EQ(c.digit, expected[k][0]);
    EXPECT_EQ(c.classCode, expected[k][1]);
  }
}

TEST_F(ChangeCodeIndexTest, SecondNameDifferingFromAnUnstoredNameIsStored) {
  Start();
  ASSERT_EQ(b_.AddBlock("00012", "１２", "十二"), 1);
  ASSERT_EQ(Add("00001", 1, 1, "", "いち"), 1);
  WriteAndOpen();
  EXPECT_EQ(Bytes()[87], 0x44);  // block flag byte 1: the second name alone, 4 bytes
  char name[kChangeCodeNameSize], second[kChangeCodeNameSize];
  ASSERT_EQ(x_.ReadBlockNames(x_.FindBlock(kCode, "１２"), nullptr, name, second), 1);
  EXPECT_STREQ(name, "１２");
  EXPECT_STREQ(second, "十二");
  Change c;
  uint32_t b1, b2;
  ASSERT_EQ(Read(x_.FindChange(kCode, "１２", "１"), 0, &b1, &b2, &c), 1);
  EXPECT_STREQ(c.name, "１");
  EXPECT_STREQ(c.second, "いち");
}

TEST_F(ChangeCodeIndexTest, ChildlessEntriesAreRefusedByTheWriter) {
  Start("00001");
  EXPECT_EQ(b_.CloseBlock(), 0);
  EXPECT_EQ(b_.AddBlock("00002", "", nullptr), 0);
  EXPECT_EQ(b_.WriteChangeHistoryIndex(Cdi().c_str()), 0);
  EXPECT_FALSE(testutil::Exists(dir_.Native("QAD_CH13.CDI")));
  ASSERT_EQ(b_.Init(Small()), 1);
  ASSERT_EQ(b_.AddCity("13101"), 1);
  EXPECT_EQ(b_.AddCity("13102"), 0);  // the first city has no area
  // No city at all is an empty index; failed writes leave no file.
  ASSERT_EQ(b_.Init(Small()), 1);
  EXPECT_EQ(b_.WriteChangeHistoryIndex(dir_.Sys("none\\QAD_CH13.CDI").c_str()), 0);
  EXPECT_EQ(b_.WriteChangeHistoryIndex(nullptr), 0);
  WriteAndOpen();
  EXPECT_EQ(Bytes().size(), 68u);
  EXPECT_EQ(x_.FindCity("13101"), 0u);
}

TEST_F(ChangeCodeIndexTest, ChildlessEntriesReadWithCountZero) {
  // A city entry with no areas: flag, code 13101, count 0.
  Put(Hex("51 41 44 43 44 49 40 00 00 00 01 00 00 00 00 00 4D 00 00 00") + std::string(44, '\0') +
      Hex("01 00 00 00 00 00 00 00 00 2D 33 00 00"));
  char msg[kMessageSize];
  ASSERT_EQ(x_.Open(Cdi().c_str(), msg), 1);
  char code[kChangeCodeTextSize];
  uint32_t table = 0, count = 9, size = 9;
  int wide = 9;
  ASSERT_EQ(x_.FindCity("13101"), 72u);
  ASSERT_EQ(x_.ReadCityEntry(72, code, &table, &count, &size, &wide), 1);
  EXPECT_STREQ(code, "13101");
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(x_.FindArea(kCode), 0u);
  EXPECT_EQ(x_.LoadChildTable(table, count, size, wide), 1);
  EXPECT_EQ(x_.ReadCachedChild(1, code, nullptr, nullptr), 0);
}

// ---- Wide tables ----

TEST_F(ChangeCodeIndexTest, BlockOfSeventyThousandRecordsUsesWideTables) {
  ChangeCodeIndexCapacities capacities = Small();
  capacities.changeBytesGrowth = 64 * 1024;
  capacities.changeEntriesGrowth = 8192;
  ASSERT_EQ(b_.Init(capacities), 1);
  ASSERT_EQ(b_.AddCity("13101"), 1);
  ASSERT_EQ(b_.AddArea("001002"), 1);
  ASSERT_EQ(b_.AddBlock("00001", "", nullptr), 1);
  constexpr uint32_t kCount = 70000;
  auto n1 = [](uint32_t i) { return 100000000u + i * 3; };
  auto n2 = [](uint32_t i) { return 500000000u - i * 7; };
  char code[kChangeCodeTextSize];
  for (uint32_t i = 0; i < kCount; ++i) {
    std::snprintf(code, sizeof code, "%05u", i);
    ASSERT_EQ(Add(code, n1(i), n2(i)), 1) << i;
  }
  WriteAndOpen();
  const uint32_t block = x_.FindBlock(kCode, "１");
  EXPECT_EQ(Bytes()[block] & 0x3C, 0x14);  // 4-byte count and offsets
  const std::vector<uint32_t> pos = Children(block, true);
  ASSERT_EQ(pos.size(), kCount);
  uint32_t base1 = 0, base2 = 0;
  for (uint32_t i = 0; i < kCount; ++i) {
    Change c;
    ASSERT_EQ(Read(pos[i], i > 0, &base1, &base2, &c), 1) << i;
    ASSERT_EQ(c.n1, n1(i)) << i;
    ASSERT_EQ(c.n2, n2(i)) << i;
    ASSERT_EQ(std::stoul(c.code), i);
  }
  EXPECT_EQ(x_.FindChangeByCode(kCode, "00001", "69999"), pos.back());
  EXPECT_EQ(x_.FindChange(kCode, "１", "６９９９９"), pos.back());
  EXPECT_EQ(x_.FindChange(kCode, "１", "0"), pos.front());
  EXPECT_EQ(x_.FindChange(kCode, "１", "70000"), 0u);
}

// ---- Round trip ----

namespace {

struct GenEntry {                  // a block or a change record
  std::string code, name, second;  // as passed (second "" with nullSecond: null)
  bool nullSecond = false;
  std::string readName, readSecond;  // as the reader must give them
  uint32_t n1 = 0, n2 = 0;
  int scale = 0, digit = 0, classCode = 0;
  std::vector<GenEntry> changes;
};
struct GenArea {
  std::string city, code;
  std::vector<GenEntry> blocks;
};

const char* const kScales[] = {"10000", "25000", "50000", "70000", "80000", "2000"};
const int kScaleCodes[] = {1, 2, 3, 7, 8, 20};

bool IsLetterCode(const std::string& code) { return code[0] < '0' || code[0] > '9'; }

// Names for a code: a letter code a kanji name; a digit code an empty
// name, the number in full or half width, or a kanji one. The reader makes
// every name but the kanji ones from the code. Some second names differ.
void MakeNames(std::mt19937* rng, int* serial, const char* kanji, const char* kana, GenEntry* e) {
  auto pick = [rng](int n) { return static_cast<int>((*rng)() % static_cast<unsigned>(n)); };
  const uint32_t v = IsLetterCode(e->code) ? 0 : static_cast<uint32_t>(std::stoul(e->code));
  const std::string own = kanji + Fw(static_cast<uint32_t>(++*serial));
  const std::string names[] = {"", Fw(v), std::to_string(v), own};
  e->name = IsLetterCode(e->code) ? own : names[v == 0 ? 0 : pick(4)];
  e->readName = e->name == own ? own : (v == 0 ? "" : Fw(v));
  e->nullSecond = pick(2) == 0;
  e->second = pick(3) == 0 ? kana + Fw(static_cast<uint32_t>(*serial)) : e->name;
  e->readSecond = e->second == e->name ? e->readName : e->second;
}

template <typename T>
std::vector<T> SortedSubset(std::mt19937* rng, std::vector<T> pool, std::size_t atLeast) {
  std::shuffle(pool.begin(), pool.end(), *rng);
  pool.resize(atLeast + (*rng)() % (pool.size() - atLeast + 1));
  std::sort(pool.begin(), pool.end());
  return pool;
}

// Cities, areas of digit and letter parts, blocks of every code form, and
// change records whose numbers lie at every distance from the block's
// first.
std::vector<GenArea> GenerateTree(std::mt19937* rng) {
  auto pick = [rng](int n) { return static_cast<int>((*rng)() % static_cast<unsigned>(n)); };
  const int64_t deltas[] = {0, 1, -1, 65535, -65535, 65536, -65536, 1000000, -1000000};
  int serial = 0;
  std::vector<GenArea> areas;
  for (const char* city : {"13101", "13303", "26104"}) {
    for (const std::string& code : SortedSubset<std::string>(
             rng, {"001001", "001002", "002000", "255256", "300B05", "A01001", "Z99Z99"}, 1)) {
      GenArea area{city, code, {}};
      for (const std::string& blockCode :
           SortedSubset<std::string>(rng,
                                     {"00001", "00012", "00255", "00256", "04000", "65535", "65536",
                                      "70000", "99999", "A0001", "A0002", "B0100", "Z9999"},
                                     3)) {
        GenEntry block;
        block.code = blockCode;
        MakeNames(rng, &serial, "番", "ばん", &block);
        const uint32_t base1 = 128000000 + pick(1000000), base2 = 503000000 + pick(1000000);
        for (const std::string& changeCode : SortedSubset<std::string>(
                 rng, {"00000", "00001", "00002", "00010", "00300", "70000", "A0001", "B0002"},
                 1)) {
          GenEntry c;
          c.code = changeCode;
          MakeNames(rng, &serial, "甲", "こう", &c);
          const bool first = block.changes.empty();
          c.n1 = static_cast<uint32_t>(base1 + (first ? 0 : deltas[pick(9)]));
          c.n2 = static_cast<uint32_t>(base2 + (first ? 0 : deltas[pick(9)]));
          c.scale = pick(6);
          c.digit = pick(4);
          c.classCode = pick(8);
          block.changes.push_back(c);
        }
        area.blocks.push_back(block);
      }
      areas.push_back(area);
    }
  }
  return areas;
}

const char* SecondOf(const GenEntry& e) {
  return e.nullSecond && e.second == e.name ? nullptr : e.second.c_str();
}

}  // namespace

TEST_F(ChangeCodeIndexTest, GeneratedTreeIsFoundEntryByEntry) {
  std::mt19937 rng(77);
  const std::vector<GenArea> areas = GenerateTree(&rng);
  ASSERT_EQ(b_.Init(Small()), 1);
  std::string city;
  int changeCount = 0;
  for (const GenArea& area : areas) {
    if (area.city != city) {
      ASSERT_EQ(b_.AddCity(area.city.c_str()), 1);
    }
    city = area.city;
    ASSERT_EQ(b_.AddArea(area.code.c_str()), 1);
    for (const GenEntry& block : area.blocks) {
      ASSERT_EQ(b_.AddBlock(block.code.c_str(), block.name.c_str(), SecondOf(block)), 1);
      for (const GenEntry& c : block.changes) {
        ASSERT_EQ(
            b_.AddChange(c.code.c_str(), c.name.c_str(), SecondOf(c), c.n2, c.n1, kScales[c.scale],
                         std::to_string(c.digit).c_str(), std::to_string(c.classCode).c_str()),
            1);
        ++changeCount;
      }
    }
  }
  WriteAndOpen();
  EXPECT_EQ(Le32(Bytes(), 16), Bytes().size());
  EXPECT_GT(changeCount, 100);

  char code[kChangeCodeTextSize], name[kChangeCodeNameSize], second[kChangeCodeNameSize];
  for (const GenArea& area : areas) {
    const std::string address = area.city + area.code;
    SCOPED_TRACE(address);
    const uint32_t areaPos = x_.FindArea(address.c_str());
    uint32_t table, count, size;
    int wide;
    ASSERT_EQ(x_.ReadAreaEntry(areaPos, code, &table, &count, &size, &wide), 1);
    EXPECT_EQ(code, area.code);
    ASSERT_EQ(x_.LoadChildTable(table, count, size, wide), 1);
    const std::vector<uint32_t> blockPos = Children(areaPos, false);
    ASSERT_EQ(blockPos.size(), area.blocks.size());
    for (std::size_t k = 0; k < blockPos.size(); ++k) {
      const GenEntry& block = area.blocks[k];
      SCOPED_TRACE(block.code);
      // The cached table gives every block as the file does.
      uint32_t cached = 0;
      ASSERT_EQ(x_.GetCachedChildPosition(static_cast<uint32_t>(k + 1), &cached), 1);
      EXPECT_EQ(cached, blockPos[k]);
      ASSERT_EQ(x_.ReadCachedChild(static_cast<uint32_t>(k + 1), code, name, second), 1);
      EXPECT_EQ(std::string(code) + "|" + name + "|" + second,
                block.code + "|" + block.readName + "|" + block.readSecond);
      // By code, by number in either width, by second name if lettered.
      EXPECT_EQ(x_.FindBlockByCode(address.c_str(), block.code.c_str()), blockPos[k]);
      const bool letter = IsLetterCode(block.code);
      const std::string text = letter ? block.readSecond : Fw(std::stoul(block.code));
      EXPECT_EQ(x_.FindBlock(address.c_str(), text.c_str()), blockPos[k]);
      if (!letter) {
        EXPECT_EQ(x_.FindBlock(address.c_str(), std::to_string(std::stoul(block.code)).c_str()),
                  blockPos[k]);
      }
      const std::vector<uint32_t> changePos = Children(blockPos[k], true);
      ASSERT_EQ(changePos.size(), block.changes.size());
      uint32_t base1 = 0, base2 = 0;
      for (std::size_t j = 0; j < changePos.size(); ++j) {
        const GenEntry& g = block.changes[j];
        SCOPED_TRACE(g.code);
        Change c;
        ASSERT_EQ(Read(changePos[j], j > 0, &base1, &base2, &c), 1);
        EXPECT_EQ(std::string(c.code) + "|" + c.name + "|" + c.second,
                  g.code + "|" + g.readName + "|" + g.readSecond);
        EXPECT_EQ((std::vector<int64_t>{c.n1, c.n2, c.digit, c.precision, c.classCode}),
                  (std::vector<int64_t>{g.n1, g.n2, g.digit, kScaleCodes[g.scale], g.classCode}));
        EXPECT_EQ(x_.FindChangeByCode(address.c_str(), block.code.c_str(), g.code.c_str()),
                  changePos[j]);
        const std::string changeText = IsLetterCode(g.code) ? g.readSecond : Fw(std::stoul(g.code));
        EXPECT_EQ(x_.FindChange(address.c_str(), text.c_str(), changeText.c_str()), changePos[j]);
      }
    }
  }
}

// ---- Damaged files ----

TEST_F(ChangeCodeIndexTest, TruncatedFilesFailCleanly) {
  Start();
  ASSERT_EQ(b_.AddBlock("00012", "十二", "じゅうに"), 1);
  ASSERT_EQ(Add("00001", 1000, 2000), 1);
  ASSERT_EQ(Add("00002", 900, 2100), 1);
  ASSERT_EQ(b_.AddBlock("A0001", "イ", nullptr), 1);
  ASSERT_EQ(Add("A0001", 1, 2, "甲", "こう"), 1);
  ASSERT_EQ(b_.AddArea("A01003"), 1);
  ASSERT_EQ(b_.AddBlock("65536", "", nullptr), 1);
  ASSERT_EQ(Add("99999"), 1);
  WriteAndOpen();
  x_.Close();
  const std::string full = Bytes();
  for (std::size_t cut = 0; cut < full.size(); ++cut) {
    SCOPED_TRACE(cut);
    Put(full.substr(0, cut));
    char msg[kMessageSize];
    if (cut < 68) {
      EXPECT_EQ(x_.Open(Cdi().c_str(), msg), 0);
      continue;
    }
    ASSERT_EQ(x_.Open(Cdi().c_str(), msg), 1);
    x_.FindBlock(kCode, "十二");
    x_.FindChange(kCode, "１２", "２");
    x_.FindChange(kCode, "イ", "こう");
    const uint32_t area = x_.FindArea(kCode);
    uint32_t table, count, size;
    int wide;
    if (area != 0 && x_.ReadAreaEntry(area, nullptr, &table, &count, &size, &wide) &&
        x_.LoadChildTable(table, count, size, wide)) {
      char code[kChangeCodeTextSize], name[kChangeCodeNameSize];
      x_.ReadCachedChild(1, code, name, nullptr);
      x_.ReadCachedChild(2, code, name, nullptr);
    }
    // The last record stands at the end: any cut loses it (a lookup may
    // still find its code).
    const uint32_t last = x_.FindChangeByCode("13101A01003", "65536", "99999");
    Change c;
    uint32_t b1 = 0, b2 = 0;
    if (last != 0) {
      EXPECT_EQ(Read(last, 0, &b1, &b2, &c), 0);
    }
  }
}
