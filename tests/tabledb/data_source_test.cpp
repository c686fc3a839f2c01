#include "tabledb/data_source.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/test_util.h"

using testutil::TempDir;

namespace {

const std::string kData = "0123456789";

struct Backend {
  const char* name;
  bool writable;  // opened for update
  bool savable;   // a memory kind
  std::function<int(CDataSource&, const std::string& path, const std::string& bytes)> open;
};

// Every way of opening a source over the ten bytes of kData (held in the
// file at path and in bytes).
const std::vector<Backend>& Backends() {
  static const std::vector<Backend> backends = {
      {"buffered, 4-byte window", false, false,
       [](CDataSource& s, const std::string& p, const std::string&) {
         return s.OpenBufferedRead(p.c_str(), 4);
       }},
      {"buffered with flags", false, false,
       [](CDataSource& s, const std::string& p, const std::string&) {
         return s.OpenBuffered(p.c_str(), 65536, plat::ModeRead | plat::ShareDenyNone);
       }},
      {"plain file", true, false,
       [](CDataSource& s, const std::string& p, const std::string&) {
         return s.OpenFileForUpdate(p.c_str());
       }},
      {"shared plain file", true, false,
       [](CDataSource& s, const std::string& p, const std::string&) {
         return s.OpenSharedFileForUpdate(p.c_str());
       }},
      {"image", false, false,
       [](CDataSource& s, const std::string& p, const std::string&) {
         return s.LoadImage(p.c_str());
       }},
      {"image for update", true, false,
       [](CDataSource& s, const std::string& p, const std::string&) {
         return s.LoadImageForUpdate(p.c_str(), 4, 3);
       }},
      {"memory copy", false, true,
       [](CDataSource& s, const std::string&, const std::string& b) {
         return s.CopyFromMemory(b.data(), static_cast<uint32_t>(b.size()));
       }},
      {"memory copy for update", true, true,
       [](CDataSource& s, const std::string&, const std::string& b) {
         return s.CopyFromMemoryForUpdate(b.data(), static_cast<uint32_t>(b.size()), 1);
       }},
      {"loaded file", false, true,
       [](CDataSource& s, const std::string& p, const std::string&) {
         return s.LoadFile(p.c_str());
       }},
      {"caller's memory", false, true,
       [](CDataSource& s, const std::string&, const std::string& b) {
         return s.AttachMemory(b.data(), static_cast<uint32_t>(b.size()));
       }},
  };
  return backends;
}

std::string ReadAll(CDataSource& s) {
  std::string out(s.GetSize(), '\0');
  if (!s.ReadAt(0, out.data(), s.GetSize())) return "<read failed>";
  return out;
}

class DataSourceTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(testutil::WriteBytes(dir_.Native("d.bin"), kData)); }
  std::string Path(const char* name = "d.bin") const { return dir_.Sys(name); }
  std::string Bytes(const char* name = "d.bin") const {
    return testutil::ReadBytes(dir_.Native(name));
  }

  TempDir dir_;
};

}  // namespace

TEST_F(DataSourceTest, EveryBackendSeeksAndReads) {
  const std::string caller = kData;
  for (const Backend& b : Backends()) {
    SCOPED_TRACE(b.name);
    CDataSource s;
    ASSERT_EQ(b.open(s, Path(), caller), 1);
    EXPECT_EQ(s.GetSize(), 10u);
    EXPECT_EQ(s.GetPosition(), 0u);
    char buf[16] = {};
    ASSERT_EQ(s.Read(buf, 3), 1);
    EXPECT_EQ(std::string(buf, 3), "012");
    ASSERT_EQ(s.ReadAt(6, buf, 4), 1);
    EXPECT_EQ(std::string(buf, 4), "6789");
    EXPECT_EQ(s.GetPosition(), 10u);
    ASSERT_EQ(s.ReadAt(2, buf, 3), 1);
    EXPECT_EQ(std::string(buf, 3), "234");
    EXPECT_EQ(s.GetPosition(), 5u);
    EXPECT_EQ(s.ReadAt(8, buf, 3), 0);  // runs past the end
    EXPECT_EQ(s.Seek(11), 0);
    EXPECT_EQ(s.ReadAt(1, buf, 9), 1);
    EXPECT_EQ(std::string(buf, 9), "123456789");
    EXPECT_EQ(s.Close(), 1);
    EXPECT_EQ(s.Read(buf, 1), 0);
  }
}

TEST_F(DataSourceTest, EveryBackendWritesGrowsAndSaves) {
  for (const Backend& b : Backends()) {
    SCOPED_TRACE(b.name);
    ASSERT_TRUE(testutil::WriteBytes(dir_.Native("d.bin"), kData));
    const std::string caller = kData;
    CDataSource s;
    ASSERT_EQ(b.open(s, Path(), caller), 1);
    if (!b.writable) {
      EXPECT_EQ(s.WriteAt(0, "x", 1), 0);
      EXPECT_EQ(ReadAll(s), kData);
    } else {
      ASSERT_EQ(s.WriteAt(8, "abcd", 4), 1);  // overwrites two bytes, grows by two
      EXPECT_EQ(s.GetSize(), 12u);
      EXPECT_EQ(s.GetPosition(), 12u);
      ASSERT_EQ(s.Write("!", 1), 1);
      ASSERT_EQ(s.WriteAt(0, "A", 1), 1);
      EXPECT_EQ(s.GetSize(), 13u);
      EXPECT_EQ(ReadAll(s), "A1234567abcd!");
    }
    const std::string expected = b.writable ? "A1234567abcd!" : kData;
    if (b.savable) {
      EXPECT_EQ(s.SaveToFile(Path("saved.bin").c_str()), 1);
      EXPECT_EQ(Bytes("saved.bin"), expected);
      EXPECT_EQ(s.GetSize(), 0u);  // closed
    } else {
      EXPECT_EQ(s.SaveToFile(Path("saved.bin").c_str()), 0);
      EXPECT_EQ(s.GetSize(), b.writable ? 13u : 10u);  // still open
      EXPECT_EQ(ReadAll(s), expected);
      EXPECT_EQ(s.Close(), 1);
      EXPECT_EQ(Bytes(), expected);  // updates reached the file
    }
    EXPECT_EQ(caller, kData);  // the caller's block is never written
  }
}

TEST_F(DataSourceTest, OwnMemoryGrowsByRaisedStep) {
  CDataSource s;
  ASSERT_EQ(s.CreateMemory(16, 4), 1);
  EXPECT_EQ(s.GetSize(), 0u);
  const void* block = s.GetMemory();
  ASSERT_NE(block, nullptr);
  const std::string thirty(30, 'a');
  ASSERT_EQ(s.Write(thirty.data(), 30), 1);  // step raised to 14: capacity 30
  EXPECT_EQ(s.GetSize(), 30u);
  EXPECT_NE(s.GetMemory(), block);
  block = s.GetMemory();
  ASSERT_EQ(s.Write("b", 1), 1);  // capacity 44
  EXPECT_EQ(s.GetSize(), 31u);
  EXPECT_NE(s.GetMemory(), block);
  block = s.GetMemory();
  const std::string thirteen(13, 'c');
  ASSERT_EQ(s.Write(thirteen.data(), 13), 1);  // up to 44: no growth
  EXPECT_EQ(s.GetMemory(), block);
  ASSERT_EQ(s.Write("d", 1), 1);  // 45: grows by 14 again
  EXPECT_NE(s.GetMemory(), block);
  EXPECT_EQ(ReadAll(s), thirty + "b" + thirteen + "d");
  // A write inside the data does not move the size.
  ASSERT_EQ(s.WriteAt(0, "zz", 2), 1);
  EXPECT_EQ(s.GetSize(), 45u);
}

TEST_F(DataSourceTest, MemoryWithoutGrowthStepCannotGrow) {
  CDataSource s;
  ASSERT_EQ(s.CreateMemory(16, 0), 1);
  const std::string seventeen(17, 'x');
  EXPECT_EQ(s.Write(seventeen.data(), 17), 0);
  EXPECT_EQ(s.GetSize(), 0u);
  EXPECT_EQ(s.Write(seventeen.data(), 16), 1);
  EXPECT_EQ(s.Write("y", 1), 0);
  ASSERT_EQ(s.CopyFromMemoryForUpdate("abc", 3, 0), 1);
  EXPECT_EQ(s.WriteAt(3, "d", 1), 0);
  EXPECT_EQ(s.WriteAt(2, "d", 1), 1);
  EXPECT_EQ(ReadAll(s), "abd");
}

TEST_F(DataSourceTest, RefusedOpensLeaveItClosed) {
  CDataSource s;
  const char bytes[] = "abc";
  EXPECT_EQ(s.CopyFromMemory(bytes, 0), 0);
  EXPECT_EQ(s.CopyFromMemory(nullptr, 5), 0);
  EXPECT_EQ(s.AttachMemory(bytes, 0), 0);
  EXPECT_EQ(s.AttachMemory(nullptr, 5), 0);
  EXPECT_EQ(s.CreateMemory(0, 4), 0);
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("empty.bin"), ""));
  EXPECT_EQ(s.OpenBufferedRead(Path("empty.bin").c_str(), 16), 0);
  EXPECT_EQ(s.LoadImage(Path("empty.bin").c_str()), 0);
  EXPECT_EQ(s.LoadFile(Path("empty.bin").c_str()), 0);
  EXPECT_EQ(s.OpenBufferedRead(Path().c_str(), 0), 0);
  EXPECT_EQ(s.OpenFileForUpdate(Path("none.bin").c_str()), 0);
  EXPECT_EQ(s.LoadImageForUpdate(Path().c_str(), 0, 4), 0);
  // An earlier source is closed by every open, also by a failing one.
  ASSERT_EQ(s.AttachMemory(bytes, 3), 1);
  EXPECT_EQ(s.LoadFile(Path("none.bin").c_str()), 0);
  EXPECT_EQ(s.Seek(0), 0);
  EXPECT_EQ(s.RefreshSize(), 0);
}

TEST_F(DataSourceTest, CreatedFilesAndImagesTruncate) {
  CDataSource s;
  ASSERT_EQ(s.CreateFileForUpdate(Path().c_str()), 1);
  EXPECT_EQ(s.GetSize(), 0u);
  EXPECT_EQ(Bytes(), "");
  ASSERT_EQ(s.Write("hello", 5), 1);
  EXPECT_EQ(s.GetSize(), 5u);
  EXPECT_EQ(s.Close(), 1);
  EXPECT_EQ(Bytes(), "hello");

  ASSERT_EQ(s.CreateImage(Path().c_str(), 4, 0), 1);
  EXPECT_EQ(Bytes(), "");
  EXPECT_EQ(s.Write("abcde", 5), 0);  // buffer of 4, no growth
  ASSERT_EQ(s.CreateImage(Path().c_str(), 4, 2), 1);
  ASSERT_EQ(s.Write("abcdefg", 7), 1);
  EXPECT_EQ(s.GetSize(), 7u);
  EXPECT_EQ(s.GetMemory(), nullptr);  // not an own block
  EXPECT_EQ(Bytes(), "");             // written back only on close
  EXPECT_EQ(s.Close(), 1);
  EXPECT_EQ(Bytes(), "abcdefg");

  // Another process's growth of the file shows after RefreshSize.
  ASSERT_EQ(s.OpenSharedFileForUpdate(Path().c_str()), 1);
  ASSERT_TRUE(testutil::WriteBytes(dir_.Native("d.bin"), "abcdefghij"));
  EXPECT_EQ(s.GetSize(), 7u);
  EXPECT_EQ(s.RefreshSize(), 1);
  EXPECT_EQ(s.GetSize(), 10u);
}

TEST(DataSource, SizeIsAValidPositionForEveryKind) {
  TempDir dir;
  std::string bytes(100, 'q');
  ASSERT_TRUE(testutil::WriteBytes(dir.Native("s.bin"), bytes));
  const std::string path = dir.Sys("s.bin");
  CDataSource s;
  // A window far from the end: the reader alone cannot stand there.
  ASSERT_EQ(s.OpenBufferedRead(path.c_str(), 8), 1);
  EXPECT_EQ(s.Seek(100), 1);
  EXPECT_EQ(s.GetPosition(), 100u);
  char c = 0;
  EXPECT_EQ(s.Read(&c, 1), 0);
  EXPECT_EQ(s.Read(&c, 0), 1);
  EXPECT_EQ(s.Seek(101), 0);
  EXPECT_EQ(s.ReadAt(99, &c, 1), 1);
  EXPECT_EQ(c, 'q');
  ASSERT_EQ(s.LoadImage(path.c_str()), 1);
  EXPECT_EQ(s.Seek(100), 1);
  ASSERT_EQ(s.AttachMemory(bytes.data(), 100), 1);
  EXPECT_TRUE(s.Seek(100) == 1 && s.Seek(101) == 0);
}

TEST(DataSource, CloseReportsFailedWriteBack) {
  TempDir dir;
  const std::string folder = dir.Native("sub");
  ASSERT_TRUE(std::filesystem::create_directory(folder));
  CDataSource s;
  ASSERT_EQ(s.CreateImage((dir.Sys("sub") + "\\img.bin").c_str(), 16, 16), 1);
  ASSERT_EQ(s.Write("data", 4), 1);
  std::filesystem::remove_all(folder);  // nowhere left to write it back
  EXPECT_EQ(s.Close(), 0);
  EXPECT_EQ(s.GetSize(), 0u);  // closed all the same
}
