#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plat/file.h"
#include "support/test_util.h"

using plat::File;
using testutil::TempDir;
using V = std::vector<std::string>;

namespace {

// Every line through the whole-line form (n == 0) or the fgets form with a
// buffer of n bytes.
V Lines(const std::string& path, std::size_t n = 0, std::uint32_t flags = 0x4002) {
  File f;
  if (!f.Open(path.c_str(), flags)) return {"<open failed>"};
  V out;
  std::string line;
  std::vector<char> buf(n + 1);
  while (n == 0 ? f.ReadString(line) : f.ReadString(buf.data(), n))
    out.push_back(n == 0 ? line : std::string(buf.data()));
  if (f.Failed()) out.push_back("<error>");
  return out;
}

}  // namespace

TEST(TextRead, LineEndsCtrlZAndLoneCr) {
  const std::string x(8191, 'x');  // the read-ahead holds 8192 bytes
  struct Case {
    std::string bytes;
    V lines;
  } cases[] = {
      {"one\r\ntwo\r\n\r\nlast", {"one", "two", "", "last"}},
      {"one\ntwo\n\nlast", {"one", "two", "", "last"}},
      {"a\n", {"a"}},
      {"", {}},
      {"a\rb\r\nc\r", {"a\rb", "c\r"}},  // a lone CR stays
      {"a\r\r\nb", {"a\r", "b"}},
      {"ab\r\ncd\x1A"
       "ef\r\n",
       {"ab", "cd"}},                                        // 0x1A ends the data
      {x + "\r\ny\r\n" + x + "\rz\n", {x, "y", x + "\rz"}},  // CR LF across a refill
  };
  TempDir dir;
  for (const Case& c : cases) {
    ASSERT_TRUE(testutil::WriteBytes(dir.Native("t.txt"), c.bytes));
    EXPECT_EQ(Lines(dir.Sys("t.txt")), c.lines) << testutil::Show(c.bytes.substr(0, 16));
  }
  // Binary mode translates nothing.
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("t.txt"), "a\r\nb\x1A\n"));
  EXPECT_EQ(Lines(dir.Sys("t.txt"), 0, 0x0000), (V{"a\r", "b\x1A"}));
}

TEST(TextRead, FgetsPiecesKeepTheLineFeed) {
  struct Case {
    std::string bytes;
    std::size_t n;
    V pieces;
  } cases[] = {
      {"ab\r\ncd", 8, {"ab\n", "cd"}},
      {"1234567\r\nx\n", 8, {"1234567", "\n", "x\n"}},  // exactly n-1 bytes: two pieces
      {"123456789012345\n", 8, {"1234567", "8901234", "5\n"}},
      {"ab", 2, {"a", "b"}},
      {"ab", 1, {}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    ASSERT_TRUE(testutil::WriteBytes(dir.Native("t.txt"), c.bytes));
    EXPECT_EQ(Lines(dir.Sys("t.txt"), c.n), c.pieces) << testutil::Show(c.bytes) << " n=" << c.n;
  }
}

TEST(TextRead, RawPositionsAndSeeksDropTheReadAhead) {
  TempDir dir;
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("t.txt"), "ab\r\ncd\r\nef\x1Axyz"));
  File f;
  ASSERT_TRUE(f.Open(dir.Sys("t.txt").c_str(), 0x4002));
  std::string line;
  std::uint64_t pos = 0;
  ASSERT_TRUE(f.ReadString(line));
  ASSERT_TRUE(f.GetPosition(pos));
  EXPECT_EQ(pos, 4u);
  char buf[32];
  EXPECT_EQ(std::string(buf, f.Read(buf, sizeof buf)), "cd\nef");
  ASSERT_TRUE(f.GetPosition(pos));
  EXPECT_EQ(pos, 10u);  // on the 0x1A
  ASSERT_TRUE(f.SeekToBegin());
  ASSERT_TRUE(f.ReadString(line));
  EXPECT_EQ(line, "ab");
  // A write lands where the reading stopped, not after the read-ahead.
  ASSERT_TRUE(f.WriteString("X\n"));
  f.Close();
  EXPECT_EQ(testutil::ReadBytes(dir.Native("t.txt")), "ab\r\nX\r\n\nef\x1Axyz");
}

TEST(TextWrite, LineFeedBecomesCrLfOnDisk) {
  std::string many;
  for (int i = 0; i < 10000; ++i) many += "\r\n";
  struct Case {
    std::string text, disk;
  } cases[] = {
      {"a\n", "a\r\n"},
      {"b\r\n", "b\r\r\n"},
      {"x\ny", "x\r\ny"},
      {std::string(10000, '\n'), many},
  };
  TempDir dir;
  for (const Case& c : cases) {
    File f;
    ASSERT_TRUE(f.Open(dir.Sys("w.txt").c_str(), 0x5001));
    ASSERT_TRUE(f.Write(c.text.data(), c.text.size()));
    std::string scratch;
    EXPECT_FALSE(f.ReadString(scratch));  // write-only
    EXPECT_TRUE(f.Failed());
    f.Close();
    EXPECT_EQ(testutil::ReadBytes(dir.Native("w.txt")), c.disk)
        << testutil::Show(c.text.substr(0, 8));
  }
  File b;
  ASSERT_TRUE(b.Open(dir.Sys("w.txt").c_str(), 0x1001));
  ASSERT_TRUE(b.WriteString("a\n"));
  b.Close();
  EXPECT_EQ(testutil::ReadBytes(dir.Native("w.txt")), "a\n");
}
