#include "common/work_file.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_util.h"

using testutil::TempDir;

namespace {

class WorkFileTest : public ::testing::Test {
 protected:
  std::string Bytes() const { return testutil::ReadBytes(dir_.Native("flags.wrk")); }
  std::string Path() const { return dir_.Sys("flags.wrk"); }
  TempDir dir_;
};

TEST_F(WorkFileTest, FlagsLiveMostSignificantBitFirst) {
  CWorkFile f;
  ASSERT_EQ(1, f.Create(Path().c_str(), 1, 16, 0));
  EXPECT_EQ(std::string(16, '\0'), Bytes());
  EXPECT_EQ(16u, f.GetByteCount());
  ASSERT_EQ(1, f.SetBit(1, 1));
  ASSERT_EQ(1, f.SetBit(9, 1));
  ASSERT_EQ(1, f.SetBit(16, 1));
  EXPECT_EQ(std::string("\x80\x81", 2) + std::string(14, '\0'), Bytes());
  EXPECT_EQ(0x81, f.ReadByte(10));
  for (int n = 1; n <= 16; ++n) {
    EXPECT_EQ(n == 1 || n == 9 || n == 16 ? 1 : 0, f.GetBit(n)) << n;
  }
  EXPECT_EQ(0, f.GetBit(0));
  EXPECT_EQ(0, f.GetBit(17));
  EXPECT_EQ(0, f.SetBit(17, 1));
}

TEST_F(WorkFileTest, SetFillAndClearWithAnyOtherValue) {
  CWorkFile f;
  ASSERT_EQ(1, f.Create(Path().c_str(), -5, 10, 1));
  EXPECT_EQ(std::string(16, '\xFF'), Bytes());
  for (int n = -5; n <= 10; ++n) EXPECT_EQ(1, f.GetBit(n)) << n;
  ASSERT_EQ(1, f.SetBit(-3, 2));  // the third flag of byte 0
  ASSERT_EQ(1, f.SetBit(3, 0));   // the first flag of byte 1
  EXPECT_EQ(0, f.GetBit(-3));
  EXPECT_EQ(0xDF, f.ReadByte(-3));
  EXPECT_EQ(0x7F, f.ReadByte(3));
  ASSERT_EQ(1, f.Fill(1));
  EXPECT_EQ(1, f.GetBit(3));  // the remembered flag was forgotten
  ASSERT_EQ(1, f.Fill(0));
  EXPECT_EQ(std::string(16, '\0'), Bytes());
  EXPECT_EQ(0, f.GetBit(-5));
}

TEST_F(WorkFileTest, WriteByteForgetsTheRememberedFlag) {
  CWorkFile f;
  ASSERT_EQ(1, f.Create(Path().c_str(), 1, 16, 0));
  ASSERT_EQ(1, f.SetBit(2, 1));
  ASSERT_EQ(1, f.GetBit(2));
  ASSERT_EQ(1, f.WriteByte(5, 0x00));  // the byte that holds flags 1-8
  EXPECT_EQ(0, f.GetBit(2));
  ASSERT_EQ(1, f.WriteByte(1, 0x40));
  EXPECT_EQ(1, f.GetBit(2));
}

TEST_F(WorkFileTest, CloseDeletesTheFileAndEndsEveryOperation) {
  CWorkFile f;
  ASSERT_EQ(1, f.Create(Path().c_str(), 1, 8, 1));
  EXPECT_TRUE(testutil::Exists(dir_.Native("flags.wrk")));
  f.Close();
  EXPECT_FALSE(testutil::Exists(dir_.Native("flags.wrk")));
  EXPECT_EQ(0, f.IsOpen());
  EXPECT_EQ(0, f.GetBit(1));
  EXPECT_EQ(0, f.SetBit(1, 1));
  EXPECT_EQ(0, f.ReadByte(1));
  EXPECT_EQ(0, f.WriteByte(1, 1));
  EXPECT_EQ(0, f.Fill(1));
  EXPECT_EQ(0u, f.GetByteCount());
  {
    CWorkFile g;
    ASSERT_EQ(1, g.Create(Path().c_str(), 1, 8, 1));
  }  // the destructor closes
  EXPECT_FALSE(testutil::Exists(dir_.Native("flags.wrk")));
}

TEST_F(WorkFileTest, BadCreateChangesNothingOrLeavesNoFile) {
  CWorkFile f;
  ASSERT_EQ(1, f.Create(Path().c_str(), 1, 8, 1));
  EXPECT_EQ(0, f.Create(dir_.Sys("other.wrk").c_str(), 5, 4, 0));
  EXPECT_EQ(1, f.IsOpen());  // the earlier table is kept
  EXPECT_EQ(1, f.GetBit(8));
  EXPECT_EQ(0, f.Create(dir_.Sys("nofolder\\x.wrk").c_str(), 1, 8, 0));
  EXPECT_EQ(0, f.IsOpen());
  EXPECT_FALSE(testutil::Exists(dir_.Native("flags.wrk")));
  {
    testutil::FileSizeLimit limit(1000);  // the fill cannot complete
    EXPECT_EQ(0, f.Create(Path().c_str(), 1, 5000, 0));
  }
  EXPECT_EQ(0, f.IsOpen());
  EXPECT_FALSE(testutil::Exists(dir_.Native("flags.wrk")));
}

// A work file named where a file or a device already is: the table works
// in a file of its own beside it, and neither closing nor a failed fill
// removes or changes what was there.
TEST_F(WorkFileTest, AnEarlierFileOrADeviceNamedAsTheWorkFileIsLeftAsItWas) {
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("flags.wrk"), "earlier"));
  const bool device = testutil::MakeCharDevice(dir_.Native("null"), 1, 3);
  CWorkFile f;
  ASSERT_EQ(1, f.Create(Path().c_str(), 1, 64, 1));
  EXPECT_EQ(1, f.SetBit(9, 0));
  EXPECT_EQ(0, f.GetBit(9));
  EXPECT_EQ(1, f.GetBit(10));
  f.Close();
  {
    testutil::FileSizeLimit limit(1000);  // the fill cannot complete
    EXPECT_EQ(0, f.Create(Path().c_str(), 1, 50000, 0));
  }
  EXPECT_EQ(Bytes(), "earlier");
  if (device) {
    ASSERT_EQ(1, f.Create(dir_.Sys("null").c_str(), 1, 64, 0));
    f.Close();
    EXPECT_TRUE(testutil::IsCharDevice(dir_.Native("null"), 1, 3));
  }
  EXPECT_EQ(testutil::FolderNames(dir_.path()).size(), device ? 2u : 1u);
}

TEST_F(WorkFileTest, GridIndexesXFirstThenYThenZ) {
  CWorkFileGrid g;
  ASSERT_EQ(1, g.Create(Path().c_str(), -2, 2, 10, 12, 0, 3, 0));  // 5 x 3 x 4
  EXPECT_EQ(60u, g.GetByteCount());
  int32_t index = -1;
  ASSERT_EQ(1, g.GetIndex(-2, 10, 0, &index));
  EXPECT_EQ(0, index);
  ASSERT_EQ(1, g.GetIndex(2, 12, 3, &index));
  EXPECT_EQ(59, index);
  ASSERT_EQ(1, g.GetIndex(0, 11, 2, &index));
  EXPECT_EQ(2 + 1 * 5 + 2 * 15, index);
  EXPECT_EQ(0, g.GetIndex(3, 10, 0, &index));
  EXPECT_EQ(0, g.GetIndex(0, 9, 0, &index));
  EXPECT_EQ(0, g.GetIndex(0, 10, 4, &index));
  // Index 37 is bit 5 of byte 4.
  ASSERT_EQ(1, g.SetBit(0, 11, 2, 1));
  EXPECT_EQ(1, g.GetBit(0, 11, 2));
  EXPECT_EQ(0x04, g.ReadByte(-2, 11, 2));  // index 35, the same byte
  EXPECT_EQ(0, g.SetBit(9, 9, 9, 1));
  ASSERT_EQ(1, g.WriteByte(0, 11, 2, 0));
  EXPECT_EQ(0, g.GetBit(0, 11, 2));
  g.Close();
  EXPECT_EQ(0, g.IsOpen());
  EXPECT_FALSE(testutil::Exists(dir_.Native("flags.wrk")));
}

TEST_F(WorkFileTest, GridRefusesEmptyOrHugeRanges) {
  CWorkFileGrid g;
  EXPECT_EQ(0, g.Create(Path().c_str(), 0, -1, 0, 0, 0, 0, 0));
  EXPECT_EQ(0, g.Create(Path().c_str(), 0, 0, 0, 0, 1, 0, 0));
  EXPECT_EQ(0, g.Create(Path().c_str(), INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, 0, 0, 0));
  EXPECT_EQ(0, g.Create(Path().c_str(), 0, 65535, 0, 65535, 0, 1, 0));
  EXPECT_EQ(0, g.IsOpen());
  EXPECT_FALSE(testutil::Exists(dir_.Native("flags.wrk")));
}

}  // namespace
