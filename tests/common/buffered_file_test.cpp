#include "common/buffered_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/test_util.h"

using testutil::TempDir;

namespace {

std::string Digits10() { return std::string("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09", 10); }

class BufferedFileTest : public ::testing::Test {
 protected:
  std::string Put(const char* name, const std::string& bytes) {
    EXPECT_TRUE(testutil::WriteBytes(dir_.Native(name), bytes));
    return dir_.Sys(name);
  }
  TempDir dir_;
};

TEST_F(BufferedFileTest, TenBytesThroughFourByteWindowTakeThreeFills) {
  const std::string path = Put("ten.bin", Digits10());
  CBufferedFile f;
  ASSERT_EQ(1, f.OpenRead(path.c_str(), 4));
  EXPECT_EQ(10u, f.GetLength());
  for (int i = 0; i < 10; ++i) {
    uint8_t b = 0xEE;
    ASSERT_EQ(1, f.ReadByte(&b)) << i;
    EXPECT_EQ(i, b);
    EXPECT_EQ(static_cast<uint32_t>(i + 1), f.GetPosition());
    // The window holds bytes 0-3, then 4-7, then 8-9.
    EXPECT_EQ(i / 4 * 4, f.GetWindow()[0]) << i;
  }
  uint8_t b = 0;
  EXPECT_EQ(0, f.ReadByte(&b));
  EXPECT_EQ(0, f.ReadByte(&b));
  EXPECT_EQ(10u, f.GetPosition());
}

TEST_F(BufferedFileTest, SeekInsideWindowKeepsWindowAndOutsideReadsFile) {
  const std::string path = Put("seek.bin", Digits10());
  CBufferedFile f;
  ASSERT_EQ(1, f.OpenRead(path.c_str(), 4));
  uint8_t b = 0;
  ASSERT_EQ(1, f.ReadByte(&b));
  ASSERT_EQ(1, f.ReadByte(&b));
  // Change the file behind the reader: a seek inside the window still sees
  // the window's bytes, a seek outside it reads the file anew.
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("seek.bin"), std::string(10, 'x')));
  ASSERT_EQ(1, f.Seek(0));
  ASSERT_EQ(1, f.ReadByte(&b));
  EXPECT_EQ(0, b);
  ASSERT_EQ(1, f.Seek(3));
  ASSERT_EQ(1, f.ReadByte(&b));
  EXPECT_EQ(3, b);
  ASSERT_EQ(1, f.Seek(7));
  EXPECT_EQ(7u, f.GetPosition());
  ASSERT_EQ(1, f.ReadByte(&b));
  EXPECT_EQ('x', b);
}

TEST_F(BufferedFileTest, SeekToWindowEndRefillsOnNextRead) {
  const std::string path = Put("end.bin", Digits10());
  CBufferedFile f;
  ASSERT_EQ(1, f.OpenRead(path.c_str(), 4));
  ASSERT_EQ(1, f.Seek(4));  // the upper bound of the window
  uint8_t b = 0;
  ASSERT_EQ(1, f.ReadByte(&b));
  EXPECT_EQ(4, b);
  EXPECT_EQ(4, f.GetWindow()[0]);
}

TEST_F(BufferedFileTest, SeekAtOrPastEndOfFileFailsAndKeepsPosition) {
  const std::string path = Put("past.bin", Digits10());
  CBufferedFile f;
  ASSERT_EQ(1, f.OpenRead(path.c_str(), 4));
  uint8_t b = 0;
  ASSERT_EQ(1, f.ReadByte(&b));
  EXPECT_EQ(0, f.Seek(11));
  EXPECT_EQ(0, f.Seek(10));  // outside the window, and no byte left there
  EXPECT_EQ(1u, f.GetPosition());
  ASSERT_EQ(1, f.ReadByte(&b));
  EXPECT_EQ(1, b);
  // From a window that ends at the end of the file, the end is reachable.
  ASSERT_EQ(1, f.Seek(8));
  ASSERT_EQ(1, f.Seek(10));
  EXPECT_EQ(0, f.ReadByte(&b));
}

TEST_F(BufferedFileTest, ReadUpToStopsAtEndOfFile) {
  const std::string path = Put("upto.bin", Digits10());
  CBufferedFile f;
  ASSERT_EQ(1, f.OpenRead(path.c_str(), 4));
  ASSERT_EQ(1, f.Seek(5));
  unsigned char out[8] = {};
  EXPECT_EQ(5u, f.ReadUpTo(out, 8));
  EXPECT_EQ(0, std::memcmp(out, "\x05\x06\x07\x08\x09", 5));
  ASSERT_EQ(1, f.Seek(5));
  EXPECT_EQ(0, f.Read(out, 8));  // Read needs all of them
  ASSERT_EQ(1, f.Seek(5));
  EXPECT_EQ(1, f.Read(out, 5));
  EXPECT_EQ(0u, f.ReadUpTo(out, 0));
}

TEST_F(BufferedFileTest, OpenRefusesEmptyMissingAndZeroWindow) {
  const std::string empty = Put("empty.bin", "");
  const std::string ten = Put("ten.bin", Digits10());
  CBufferedFile f;
  EXPECT_EQ(0, f.OpenRead(empty.c_str(), 4));
  EXPECT_EQ(0, f.IsOpen());
  EXPECT_EQ(0, f.OpenRead(dir_.Sys("missing.bin").c_str(), 4));
  EXPECT_EQ(0, f.OpenRead(ten.c_str(), 0));
  EXPECT_EQ(0, f.OpenRead(nullptr, 4));
  EXPECT_EQ(0, f.IsOpen());
  ASSERT_EQ(1, f.Open(ten.c_str(), 16, plat::ModeRead | plat::ShareDenyNone));
  EXPECT_EQ(1, f.IsOpen());
}

TEST_F(BufferedFileTest, ClosedReaderAnswersZero) {
  CBufferedFile f;
  uint8_t b = 0;
  unsigned char out[4];
  EXPECT_EQ(0, f.ReadByte(&b));
  EXPECT_EQ(0u, f.ReadUpTo(out, 4));
  EXPECT_EQ(0, f.ReadFromWindow(out, 1));
  EXPECT_EQ(0, f.Seek(0));
  EXPECT_EQ(0u, f.GetLength());
  EXPECT_EQ(nullptr, f.GetWindow());
  EXPECT_EQ(nullptr, f.GetCurrentPointer());

  const std::string path = Put("ten.bin", Digits10());
  ASSERT_EQ(1, f.OpenRead(path.c_str(), 4));
  f.Close();
  EXPECT_EQ(0, f.IsOpen());
  EXPECT_EQ(0, f.ReadByte(&b));
  EXPECT_EQ(0u, f.GetPosition());
}

TEST_F(BufferedFileTest, TypedReadsAreLittleEndianAcrossWindows) {
  std::string bytes;
  bytes += 'A';
  bytes += std::string("\xFE\xFF", 2);                  // short -2
  bytes += std::string("\xEF\xBE", 2);                  // word 0xBEEF
  bytes += std::string("\x00\x00\x00\x80", 4);          // int INT32_MIN
  bytes += std::string("\x78\x56\x34\x12", 4);          // dword 0x12345678
  bytes += std::string("\x00\x00\x00\x00\x00\x00\xF8\x3F", 8);  // double 1.5
  const std::string path = Put("typed.bin", bytes);
  CBufferedFile f;
  ASSERT_EQ(1, f.OpenRead(path.c_str(), 3));  // every value but the first spans two windows
  char c = 0;
  int16_t s = 0;
  uint16_t w = 0;
  int32_t i = 0;
  uint32_t d = 0;
  double x = 0;
  ASSERT_EQ(1, f.ReadChar(&c));
  ASSERT_EQ(1, f.ReadShort(&s));
  ASSERT_EQ(1, f.ReadWord(&w));
  ASSERT_EQ(1, f.ReadInt(&i));
  ASSERT_EQ(1, f.ReadDword(&d));
  ASSERT_EQ(1, f.ReadDouble(&x));
  EXPECT_EQ('A', c);
  EXPECT_EQ(-2, s);
  EXPECT_EQ(0xBEEF, w);
  EXPECT_EQ(INT32_MIN, i);
  EXPECT_EQ(0x12345678u, d);
  EXPECT_EQ(1.5, x);
  // A value cut short by the end of the file fails.
  ASSERT_EQ(1, f.Seek(static_cast<uint32_t>(bytes.size() - 3)));
  EXPECT_EQ(0, f.ReadDword(&d));
  EXPECT_EQ(0x12345678u, d);
}

TEST_F(BufferedFileTest, ReadFromWindowNeverRefills) {
  const std::string path = Put("win.bin", Digits10());
  CBufferedFile f;
  ASSERT_EQ(1, f.OpenRead(path.c_str(), 4));
  unsigned char out[4] = {};
  ASSERT_EQ(1, f.Seek(1));
  EXPECT_EQ(1, *f.GetCurrentPointer());
  ASSERT_EQ(1, f.ReadFromWindow(out, 2));
  EXPECT_EQ(0, std::memcmp(out, "\x01\x02", 2));
  EXPECT_EQ(3u, f.GetPosition());
  EXPECT_EQ(0, f.ReadFromWindow(out, 2));  // only byte 3 is left in the window
  EXPECT_EQ(3u, f.GetPosition());
  EXPECT_EQ(1, f.ReadFromWindow(out, 1));
  EXPECT_EQ(3, out[0]);
  EXPECT_EQ(0, f.GetWindow()[0]);
}

}  // namespace
