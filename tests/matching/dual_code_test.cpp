// A character with two CP932 codes (IBM extension and NEC-selected IBM
// extension) matches whichever code the input was typed with.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/message.h"
#include "matching/match_entries.h"
#include "sample_folder.h"
#include "support/test_util.h"

using testutil::Show;
using testutil::TempDir;

TEST(DualCodeCharacters, BothCodesOfAnExtensionKanjiMatchTheSameRow) {
  const std::string folder = sample::Folder();
  ASSERT_FALSE(folder.empty());
  TempDir tmp;
  // 大字箱根ケ崎 of 瑞穂町 (13303001000), typed with 崎, with 﨑 as 0xFAB1 (IBM
  // extension) and with 﨑 as 0xED95 (NEC-selected IBM extension).
  const std::string head = testutil::Sjis(u8"東京都西多摩郡瑞穂町大字箱根ケ");
  std::vector<std::string> lines;
  for (const std::string& last :
       {testutil::Sjis(u8"崎"), std::string("\xFA\xB1"), std::string("\xED\x95")}) {
    char text[1024] = {};
    const std::string input = head + last;
    std::memcpy(text, input.data(), input.size());
    char message[kMessageSize] = {};
    const std::string result = tmp.Sys("result.txt");
    ASSERT_EQ(MatchAddressesToFile(result.c_str(), text, 0, 1, folder.c_str(), message, 0, 1, 1, 1,
                                   1, 1, 1, "VRG_EXTEND"),
              1)
        << Show(message) << " " << Show(last);
    lines.push_back(testutil::ReadBytes(tmp.Native("result.txt")));
  }
  EXPECT_NE(lines[0].find(",13303001000,"), std::string::npos) << Show(lines[0]);
  EXPECT_EQ(Show(lines[1]), Show(lines[0]));
  EXPECT_EQ(Show(lines[2]), Show(lines[0]));
}
