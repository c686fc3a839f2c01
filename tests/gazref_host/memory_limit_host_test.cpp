// The address searches through gazref_host under an address-space limit:
// a prefecture's files that are there but whose image cannot be had are a
// memory failure of the call, never "no data" and never a prefecture
// passed over.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "host_runner.h"
#include "support/test_util.h"

namespace {

using hosttest::BuildDir;
using hosttest::HostTest;
using hosttest::RunCommand;
using hosttest::U8;

// The host's address space in KiB: room for the program, its libraries and
// every search, far below the padded database's image.
constexpr int kLimitKiB = 256 * 1024;
// The Tokyo database grows to this size (a sparse tail the reader never
// reaches): its image cannot be had under the limit.
constexpr std::uintmax_t kPaddedBytes = std::uintmax_t{1} << 30;

// The output cut into one piece per script line, each from its "> " echo.
std::vector<std::string> Blocks(const std::string& out) {
  std::vector<std::string> blocks;
  for (std::size_t at = 0; at < out.size();) {
    std::size_t next = out.find("\n> ", at);
    next = next == std::string::npos ? out.size() : next + 1;
    blocks.push_back(out.substr(at, next - at));
    at = next;
  }
  return blocks;
}

class MemoryLimitHost : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    if (IsSkipped()) return;
    namespace fs = std::filesystem;
    data_ = dir_.Native("data");
    fs::copy(BuildDir() + U8(u8"/Database/住所"), data_);
    fs::resize_file(data_ + "/QVAD13.NDB", kPaddedBytes);
    setenv("GAZREF_TEST_DATA", data_.c_str(), 1);
    setenv("GAZREF_TEST_OUT", dir_.Native("result.csv").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("GAZREF_TEST_DATA");
    unsetenv("GAZREF_TEST_OUT");
  }

  // The script's output from a host whose address space is limited.
  std::string RunLimited(const std::string& script) {
    const std::string path = dir_.Native("limited.txt");
    EXPECT_TRUE(testutil::WriteBytes(path, script));
    std::string out;
    EXPECT_EQ(RunCommand("(ulimit -v " + std::to_string(kLimitKiB) + " && exec '" + BuildDir() +
                             "/gazref_host' '" + path + "') 2>&1",
                         &out),
              0)
        << out;
    return out;
  }

  std::string data_;
};

TEST_F(MemoryLimitHost, AnImageThatCannotBeHadIsAMemoryFailureNeverNoData) {
  SKIP_UNDER_A_SANITIZER();
  const std::string tokyo =
      U8(u8"GZR_TVX_Jyusyo_FindListFirst2_EX \"\" \"東京都千代田区\" \"${GAZREF_TEST_DATA}\" -1 5 "
         u8"buf\n.rows fw\n"
         u8"GZR_TVX_Jyusyo_FindListFirst2_EX_FL \"${GAZREF_TEST_OUT}\" \"\" \"千代田区\" "
         u8"\"${GAZREF_TEST_DATA}\" -1 5 buf\n"
         u8"GZR_Jyusyo_FindListFirst_Code \"13\" \"${GAZREF_TEST_DATA}\" -1 5 buf\n.rows addr\n"
         u8"GZR_Jyusyo_FindListFirst_Code \"\" \"${GAZREF_TEST_DATA}\" -1 5 buf\n.rows addr\n"
         u8"GZR_Jyusyo_Analyze \"東京都千代田区丸の内一丁目\" \"${GAZREF_TEST_DATA}\" buf\n");

  const std::string memory = U8(u8"作業用メモリの確保に失敗しました！");

  // Without the limit the padded folder answers as ever.
  const std::string free = RunOk(tokyo);
  EXPECT_EQ(free.find(memory), std::string::npos) << free;
  EXPECT_NE(free.find("= 1\n  #5: 0\n  #6: \n> .rows fw\ntotal 6\n"), std::string::npos) << free;

  // Under it every call that needs the Tokyo image fails for memory: no
  // row, no result file (the call makes it anew), no "no data", no file
  // that "does not open".
  std::filesystem::remove(dir_.Native("result.csv"));
  const std::string limited = RunLimited(tokyo);
  const std::vector<std::string> blocks = Blocks(limited);
  ASSERT_EQ(blocks.size(), 8u) << limited;
  for (std::size_t call : {0u, 2u, 3u, 5u, 7u}) {
    const std::string& block = blocks[call];
    EXPECT_NE(block.find("\n= 0\n"), std::string::npos) << block;
    EXPECT_TRUE(block.ends_with(": " + memory + "\n")) << block;
  }
  EXPECT_EQ(blocks[1], "> .rows fw\ntotal 0\n");
  EXPECT_EQ(blocks[4], "> .rows addr\ntotal 0\n");
  EXPECT_EQ(blocks[6], "> .rows addr\ntotal 0\n");
  EXPECT_FALSE(testutil::Exists(dir_.Native("result.csv")));
  EXPECT_EQ(limited.find(U8(u8"対象データがありません")), std::string::npos) << limited;
  EXPECT_EQ(limited.find(U8(u8"ファイルオープンエラー")), std::string::npos) << limited;

  // The limit leaves room for everything else: Kyoto's files still answer.
  const std::string kyoto = RunLimited(U8(
      u8"GZR_TVX_Jyusyo_FindListFirst2_EX \"\" \"京都府京都市中京区\" \"${GAZREF_TEST_DATA}\" -1 "
      u8"5 buf\n"));
  EXPECT_NE(kyoto.find("= 1\n  #5: 0\n  #6: \n"), std::string::npos) << kyoto;
}

}  // namespace
