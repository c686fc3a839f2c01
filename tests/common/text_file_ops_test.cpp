#include "common/text_file_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/message.h"
#include "common/work_memory.h"
#include "support/test_util.h"

using testutil::TempDir;

namespace {

class TextFileOpsTest : public ::testing::Test {
 protected:
  std::string Put(const char* name, const std::string& bytes) {
    EXPECT_TRUE(testutil::WriteBytes(dir_.Native(name), bytes));
    return dir_.Sys(name);
  }
  std::string Get(const char* name) const { return testutil::ReadBytes(dir_.Native(name)); }
  bool Exists(const char* name) const { return testutil::Exists(dir_.Native(name)); }
  std::string Sys(const char* name) const { return dir_.Sys(name); }
  TempDir dir_;
};

// Lines as written: each followed by CR LF.
std::string Crlf(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& l : lines) out += l + "\r\n";
  return out;
}

// ---- Sorting ----

TEST_F(TextFileOpsTest, SortEdgeInputs) {
  const std::string one = Put("one.txt", "only\r\n");
  ASSERT_EQ(1, SortTextFileAscending(Sys("one.out").c_str(), one.c_str()));
  EXPECT_EQ(Crlf({"only"}), Get("one.out"));
  const std::string empty = Put("empty.txt", "");
  ASSERT_EQ(1, SortTextFileAscending(Sys("empty.out").c_str(), empty.c_str()));
  EXPECT_TRUE(Exists("empty.out"));
  EXPECT_EQ("", Get("empty.out"));
  // Unsigned bytes, a prefix before the longer text, empty lines first.
  const std::string mixed = Put("mixed.txt", "\x82\xA0\nab\n\nz\na\n");
  ASSERT_EQ(1, SortTextFileAscending(Sys("mixed.out").c_str(), mixed.c_str()));
  EXPECT_EQ(Crlf({"", "a", "ab", "z", "\x82\xA0"}), Get("mixed.out"));
}

TEST_F(TextFileOpsTest, SortRefusesBadPathsWithoutOutput) {
  const std::string in = Put("in.txt", "b\na\n");
  EXPECT_EQ(0, SortTextFileAscending(in.c_str(), in.c_str()));
  EXPECT_EQ(0, SortTextFileAscending(Sys("IN.TXT").c_str(), in.c_str()));
  EXPECT_EQ("b\na\n", Get("in.txt"));
  EXPECT_EQ(0, SortTextFileAscending(Sys("out.txt").c_str(), Sys("missing.txt").c_str()));
  EXPECT_EQ(0, SortTextFileAscending(Sys("nofolder\\out.txt").c_str(), in.c_str()));
  EXPECT_FALSE(Exists("out.txt"));
}

TEST_F(TextFileOpsTest, SortOfManyRandomLinesMatchesByteOrder) {
  std::mt19937 rng(20240607);
  std::uniform_int_distribution<int> length(1, 24);
  std::uniform_int_distribution<int> byte(0x20, 0xFF);
  std::set<std::string> unique;
  std::vector<std::string> lines;
  while (lines.size() < 100000) {
    std::string s;
    const int n = length(rng);
    for (int i = 0; i < n; ++i) {
      int b = byte(rng);
      if (b == 0x7F) b = 'x';
      s += static_cast<char>(b);
    }
    if (unique.insert(s).second) lines.push_back(s);
  }
  std::string text;
  for (const auto& l : lines) text += l + "\n";
  const std::string in = Put("random.txt", text);

  std::vector<std::string> expected(unique.begin(),
                                    unique.end());  // std::string orders bytes unsigned
  ASSERT_EQ(1, SortTextFileAscending(Sys("up.txt").c_str(), in.c_str()));
  EXPECT_TRUE(Get("up.txt") == Crlf(expected));
  std::reverse(expected.begin(), expected.end());
  ASSERT_EQ(1, SortTextFileDescending(Sys("down.txt").c_str(), in.c_str()));
  EXPECT_TRUE(Get("down.txt") == Crlf(expected));
}

// Which entry's string each entry holds after a sort: the string offsets
// tell equal strings apart.
std::vector<int> OriginOfStrings(const CWorkMemory& m, const std::vector<int32_t>& offsets) {
  std::vector<int> origin;
  for (uint32_t n = 1; n <= m.GetCount(); ++n) {
    WorkMemoryEntry e;
    EXPECT_EQ(1, m.GetEntry(n, &e));
    const auto it = std::find(offsets.begin(), offsets.end(), e.stringOffset);
    origin.push_back(static_cast<int>(it - offsets.begin()) + 1);
  }
  return origin;
}

TEST(SortWorkMemory, EqualStringsEndWhereThePartitionPutsThem) {
  // Entries 1-5 hold b, a, b, a, b. Ascending, pivot b (entry 3): the scans
  // swap 1<->5 and 3<->4 and stop at 3/4; then 1..3 (pivot a) swaps 1<->3
  // and 4..5 keeps its equal pair. Result a(4) a(2) b(5) b(3) b(1).
  // Descending, pivot b: swaps 1<->5 and 2<->3, stop at 2/3; 1..2 keeps its
  // pair; 3..5 (pivot a, entry 4) swaps 3<->5. Result b(5) b(3) b(1) a(4)
  // a(2).
  for (const int direction : {1, -1}) {
    CWorkMemory m;
    ASSERT_EQ(1, m.Create(8, 64));
    std::vector<int32_t> offsets;
    for (const char* s : {"b", "a", "b", "a", "b"}) {
      const int32_t n = m.AddString(s);
      WorkMemoryEntry e;
      ASSERT_EQ(1, m.GetEntry(static_cast<uint32_t>(n), &e));
      offsets.push_back(e.stringOffset);
    }
    if (direction == 1) {
      SortWorkMemoryAscending(&m, 1, 5);
      EXPECT_EQ((std::vector<int>{4, 2, 5, 3, 1}), OriginOfStrings(m, offsets));
    } else {
      SortWorkMemoryDescending(&m, 1, 5);
      EXPECT_EQ((std::vector<int>{5, 3, 1, 4, 2}), OriginOfStrings(m, offsets));
    }
    // The links did not move.
    EXPECT_EQ(1, m.GetIndexAt(1));
    EXPECT_EQ(5, m.GetIndexAt(5));
  }
}

TEST(SortWorkMemory, SortsASubrangeOnly) {
  CWorkMemory m;
  ASSERT_EQ(1, m.Create(8, 64));
  for (const char* s : {"z", "c", "b", "a", "y"}) m.AddString(s);
  SortWorkMemoryAscending(&m, 2, 4);
  std::string order;
  for (int32_t n = 1; n <= 5; ++n) order += m.GetString(n);
  EXPECT_EQ("zabcy", order);
  SortWorkMemoryAscending(&m, 3, 3);
  SortWorkMemoryAscending(&m, 4, 2);
  SortWorkMemoryAscending(nullptr, 1, 5);
  order.clear();
  for (int32_t n = 1; n <= 5; ++n) order += m.GetString(n);
  EXPECT_EQ("zabcy", order);
}

TEST_F(TextFileOpsTest, AFailedSortDeletesItsOutput) {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "line " + std::to_string(9999 - i) + "\n";
  const std::string in = Put("big.txt", text);
  {
    testutil::FileSizeLimit limit(4096);  // the output cannot be written whole
    EXPECT_EQ(0, SortTextFileAscending(Sys("out.txt").c_str(), in.c_str()));
  }
  EXPECT_FALSE(Exists("out.txt"));
  EXPECT_EQ(text, Get("big.txt"));
}

// ---- Counting ----

TEST_F(TextFileOpsTest, CountsLinesInPieces) {
  const std::string path = Put("count.txt", std::string(5000, 'x') + "\r\n  \n\nabc def\n");
  uint32_t lines = 0, bytes = 0, nonBlank = 0;
  ASSERT_EQ(1, CountTextFileLines(path.c_str(), &lines));
  EXPECT_EQ(5u, lines);  // 4,095 + 905 bytes, blanks, empty, words
  ASSERT_EQ(1, CountTextFileLinesAndBytes(path.c_str(), &lines, &bytes));
  EXPECT_EQ(5u, lines);
  EXPECT_EQ(5000u + 2u + 7u, bytes);
  ASSERT_EQ(1, CountNonBlankLines(path.c_str(), &nonBlank));
  EXPECT_EQ(3u, nonBlank);
  EXPECT_EQ(5000, GetMaxLineLength(path.c_str(), 0));
  EXPECT_EQ(3, GetMaxLineLength(path.c_str(), 2));
  EXPECT_EQ(0, CountTextFileLines(Sys("missing.txt").c_str(), &lines));
  EXPECT_EQ(0, GetMaxLineLength(Sys("missing.txt").c_str(), 0));
}

// ---- Copying ----

TEST_F(TextFileOpsTest, CopiesTrimmedSkippingAndConcatenated) {
  const std::string in = Put("in.txt", "  one \ntwo\n three\n");
  ASSERT_EQ(1, CopyTextFileTrimmed(Sys("trim.txt").c_str(), in.c_str()));
  EXPECT_EQ(Crlf({"one", "two", "three"}), Get("trim.txt"));
  ASSERT_EQ(1, CopyTextFileSkippingLine(in.c_str(), Sys("skip0.txt").c_str(), 0));
  EXPECT_EQ(Crlf({"  one ", "two", " three"}), Get("skip0.txt"));
  ASSERT_EQ(1, CopyTextFileSkippingLine(in.c_str(), Sys("skip2.txt").c_str(), 2));
  EXPECT_EQ(Crlf({"  one ", " three"}), Get("skip2.txt"));
  const std::string second = Put("second.txt", "four");
  ASSERT_EQ(1, ConcatenateTextFiles(Sys("cat.txt").c_str(), in.c_str(), second.c_str()));
  EXPECT_EQ(Crlf({"  one ", "two", " three", "four"}), Get("cat.txt"));
}

TEST_F(TextFileOpsTest, SkippingCountsPiecesOf1024Bytes) {
  const std::string in = Put("long.txt", std::string(1500, 'a') + "\nb\n");
  ASSERT_EQ(1, CopyTextFileSkippingLine(in.c_str(), Sys("out.txt").c_str(), 2));
  EXPECT_EQ(Crlf({std::string(1023, 'a'), "b"}), Get("out.txt"));
}

TEST_F(TextFileOpsTest, OutputNamingAnInputIsRefusedAndTheInputKept) {
  const std::string in = Put("in.txt", "one\ntwo\n");
  const std::string other = Put("other.txt", "three\n");
  EXPECT_EQ(0, CopyTextFileSkippingLine(in.c_str(), in.c_str(), 1));
  EXPECT_EQ(0, CopyTextFileSkippingLine(in.c_str(), Sys("IN.TXT").c_str(), 1));
  EXPECT_EQ(0, ConcatenateTextFiles(in.c_str(), in.c_str(), other.c_str()));
  EXPECT_EQ(0, ConcatenateTextFiles(other.c_str(), in.c_str(), other.c_str()));
  EXPECT_EQ(0, CopyTextFileTrimmed(in.c_str(), in.c_str()));
  // The same file by another spelling of its folder.
  const std::string slashed = dir_.path() + "/in.txt";
  EXPECT_EQ(0, CopyTextFileTrimmed(slashed.c_str(), in.c_str()));
  EXPECT_EQ("one\ntwo\n", Get("in.txt"));
  EXPECT_EQ("three\n", Get("other.txt"));
}

TEST_F(TextFileOpsTest, FailedCopiesLeaveNoOutput) {
  const std::string in = Put("in.txt", "one\n");
  EXPECT_EQ(0, ConcatenateTextFiles(Sys("cat.txt").c_str(), in.c_str(), Sys("missing").c_str()));
  EXPECT_FALSE(Exists("cat.txt"));
  std::filesystem::create_directory(dir_.Native("folder"));
  EXPECT_EQ(0, ConcatenateTextFiles(Sys("cat.txt").c_str(), in.c_str(), Sys("folder").c_str()));
  EXPECT_FALSE(Exists("cat.txt"));

  std::string text;
  for (int i = 0; i < 2000; ++i) text += "some line of text\n";
  const std::string big = Put("big.txt", text);
  {
    testutil::FileSizeLimit limit(4096);
    EXPECT_EQ(0, CopyTextFileTrimmed(Sys("trim.txt").c_str(), big.c_str()));
    EXPECT_EQ(0, CopyTextFileSkippingLine(big.c_str(), Sys("skip.txt").c_str(), 1));
    EXPECT_EQ(0, ConcatenateTextFiles(Sys("cat.txt").c_str(), big.c_str(), in.c_str()));
  }
  EXPECT_FALSE(Exists("trim.txt"));
  EXPECT_FALSE(Exists("skip.txt"));
  EXPECT_FALSE(Exists("cat.txt"));
}

// An output path that names an earlier file or a device: a failed
// operation leaves the file byte for byte (nothing left beside it) and the
// device where it was.
TEST_F(TextFileOpsTest, AFailedOperationLeavesAnEarlierOutputOrADeviceAsItWas) {
  const std::string in = Put("in.txt", "one\n");
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "line " + std::to_string(9999 - i) + "\n";
  const std::string big = Put("big.txt", text);
  const bool device = testutil::MakeCharDevice(dir_.Native("full"), 1, 7);
  const struct {
    const char* name;
    std::function<int(const char* out)> run;
  } operations[] = {
      {"ascending", [&](const char* out) { return SortTextFileAscending(out, big.c_str()); }},
      {"descending", [&](const char* out) { return SortTextFileDescending(out, big.c_str()); }},
      {"trimmed", [&](const char* out) { return CopyTextFileTrimmed(out, big.c_str()); }},
      {"skipping", [&](const char* out) { return CopyTextFileSkippingLine(big.c_str(), out, 1); }},
      {"concatenated",
       [&](const char* out) { return ConcatenateTextFiles(out, big.c_str(), in.c_str()); }},
  };
  for (const auto& op : operations) {
    Put("out.txt", "earlier\r\n");
    {
      testutil::FileSizeLimit limit(4096);  // the output cannot be written whole
      EXPECT_EQ(0, op.run(Sys("out.txt").c_str())) << op.name;
    }
    EXPECT_EQ(Get("out.txt"), "earlier\r\n") << op.name;
    if (device) {
      EXPECT_EQ(0, op.run(Sys("full").c_str())) << op.name;
      EXPECT_TRUE(testutil::IsCharDevice(dir_.Native("full"), 1, 7)) << op.name;
    }
    std::vector<std::string> names = {"big.txt", "in.txt", "out.txt"};
    if (device) names.insert(names.begin() + 1, "full");
    EXPECT_EQ(testutil::FolderNames(dir_.path()), names) << op.name;
  }
}

// ---- Labelled values ----

class LabelTest : public TextFileOpsTest {
 protected:
  void SetUp() override {
    path_ = Put("conf.txt",
                "# settings\n"
                "  width   12.75  x\n"
                "Width 99\n"
                "count -3.9 70000 4000000000\n"
                "rgb 255 0 0\n"
                "blue 0 0 255\n"
                "bad 0 256 0\n"
                "few 1 2\n"
                "name  tokyo\n");
  }
  std::string path_;
};

TEST_F(LabelTest, FirstMatchingLineCounts) {
  double d = 0;
  EXPECT_EQ(kLabelFound, ReadLabelledDouble(path_.c_str(), "WIDTH", 1, &d, 0, 100));
  EXPECT_EQ(12.75, d);
  // The file's label is made upper case, the caller's is not.
  EXPECT_EQ(kLabelNotFound, ReadLabelledDouble(path_.c_str(), "width", 1, &d, 0, 100));
  char text[16] = "stale";
  EXPECT_EQ(kLabelFound, ReadLabelledText(path_.c_str(), "WIDTH", 2, text, sizeof text));
  EXPECT_STREQ("x", text);
  EXPECT_EQ(kLabelFound, ReadLabelledText(path_.c_str(), "WIDTH", 3, text, sizeof text));
  EXPECT_STREQ("", text);
  EXPECT_EQ(kLabelFound, ReadLabelledText(path_.c_str(), "NAME", 1, text, sizeof text));
  EXPECT_STREQ("tokyo", text);
  EXPECT_EQ(kLabelBadValue, ReadLabelledText(path_.c_str(), "NAME", 1, text, 5));
}

TEST_F(LabelTest, NumbersAreRangeCheckedThenTruncated) {
  int16_t s = 1;
  int32_t i = 1;
  uint32_t u = 1;
  double d = 1;
  EXPECT_EQ(kLabelFound, ReadLabelledShort(path_.c_str(), "COUNT", 1, &s, -10, 10));
  EXPECT_EQ(-3, s);
  EXPECT_EQ(kLabelBadValue, ReadLabelledShort(path_.c_str(), "COUNT", 2, &s, -10, 10));
  EXPECT_EQ(-3, s);  // unchanged
  EXPECT_EQ(kLabelFound, ReadLabelledInt(path_.c_str(), "COUNT", 2, &i, 0, 100000));
  EXPECT_EQ(70000, i);
  EXPECT_EQ(kLabelFound, ReadLabelledUInt(path_.c_str(), "COUNT", 3, &u, 0, UINT32_MAX));
  EXPECT_EQ(4000000000u, u);
  EXPECT_EQ(kLabelBadValue, ReadLabelledDouble(path_.c_str(), "COUNT", 4, &d, -1e9, 1e9));
  EXPECT_EQ(kLabelBadValue, ReadLabelledDouble(path_.c_str(), "COUNT", 1, &d, 0, 10));
  EXPECT_EQ(1, d);
}

TEST_F(LabelTest, Colors) {
  uint32_t c = 7;
  EXPECT_EQ(kLabelFound, ReadLabelledColor(path_.c_str(), "RGB", 1, &c));
  EXPECT_EQ(255u, c);
  EXPECT_EQ(kLabelFound, ReadLabelledColor(path_.c_str(), "BLUE", 1, &c));
  EXPECT_EQ(16711680u, c);
  EXPECT_EQ(kLabelBadValue, ReadLabelledColor(path_.c_str(), "BAD", 1, &c));
  EXPECT_EQ(kLabelBadValue, ReadLabelledColor(path_.c_str(), "FEW", 1, &c));
  EXPECT_EQ(16711680u, c);
}

TEST_F(LabelTest, MissingLabelAndFileWithMessages) {
  double d = 0;
  char msg[kMessageSize] = "stale";
  EXPECT_EQ(kLabelNotFound, ReadLabelledDouble(path_.c_str(), "HEIGHT", 1, &d, 0, 1));
  FormatLabelMessage(msg, kLabelNotFound, path_.c_str(), "HEIGHT");
  EXPECT_EQ("ラベル(HEIGHT)がみつかりません！ (" + path_ + ")", msg);
  EXPECT_EQ(kLabelBadValue, ReadLabelledDouble(path_.c_str(), "FEW", 3, &d, 0, 10));
  FormatLabelMessage(msg, kLabelBadValue, path_.c_str(), "FEW");
  EXPECT_EQ("ラベル(FEW)で定義した値が範囲外です！ (" + path_ + ")", msg);
  const std::string missing = Sys("missing.txt");
  EXPECT_EQ(kLabelFileError, ReadLabelledDouble(missing.c_str(), "FEW", 1, &d, 0, 10));
  FormatLabelMessage(msg, kLabelFileError, missing.c_str(), "FEW");
  EXPECT_EQ("ファイルオープンエラー!(" + missing + ")", msg);
  FormatLabelMessage(msg, kLabelFound, missing.c_str(), "FEW");
  EXPECT_STREQ("", msg);
}

}  // namespace
