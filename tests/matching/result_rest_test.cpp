// The unmatched rest in a result line: bytes of the input that would break
// a CSV line (line ends, a lead byte without its trail byte) are dropped,
// so every line reads back as one CP932 CSV record of 17 columns.

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

namespace {

bool IsLead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// Fields of one CP932 CSV line, walking characters forward (a lead byte
// takes the next byte with it, as any Shift-JIS reader does).
std::vector<std::string> SplitSjisCsv(const std::string& line) {
  std::vector<std::string> fields(1);
  for (std::size_t i = 0; i < line.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(line[i]);
    if (IsLead(b) && i + 1 < line.size()) {
      fields.back() += line.substr(i, 2);
      ++i;
    } else if (b == ',') {
      fields.emplace_back();
    } else {
      fields.back() += line[i];
    }
  }
  return fields;
}

// Whether every lead byte of the text has a trail byte after it.
bool WholeCharacters(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!IsLead(static_cast<unsigned char>(text[i]))) continue;
    if (i + 1 >= text.size()) return false;
    const unsigned char t = static_cast<unsigned char>(text[i + 1]);
    if (!((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC))) return false;
    ++i;
  }
  return true;
}

}  // namespace

TEST(UnmatchedRest, LineEndsAndLoneLeadBytesNeverReachTheResultLine) {
  const std::string folder = sample::Folder();
  ASSERT_FALSE(folder.empty());
  TempDir tmp;
  const std::string address = "東京都千代田区丸の内一丁目";
  struct Case {
    const char* name;
    std::string tail;
    std::string rest;  // the rest column as written
  } cases[] = {
      {"lone lead byte at the end", "あ\x81", "あ"},
      {"lead byte before a comma", "\x82,x", "，x"},
      {"bare CR inside", "あ\rい", "あい"},
      {"LF inside", "あ\nい", "あい"},
      {"only a CR", "\r", ""},
      {"CR LF and a lead byte", "\x88\r\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char text[1024] = {};
    const std::string input = address + c.tail;
    std::memcpy(text, input.data(), input.size());
    char message[kMessageSize] = {};
    const std::string result = tmp.Sys("result.txt");
    ASSERT_EQ(MatchAddressesToFile(result.c_str(), text, 0, 1, folder.c_str(), message, 0, 1, 1, 1,
                                   1, 1, 1, "VRG_EXTEND"),
              1)
        << Show(message);
    const std::string bytes = testutil::ReadBytes(tmp.Native("result.txt"));
    ASSERT_GE(bytes.size(), 2u);
    // One line: its CR LF at the end and no other line end.
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    const std::string line = bytes.substr(0, bytes.size() - 2);
    EXPECT_EQ(line.find('\r'), std::string::npos);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    const std::vector<std::string> fields = SplitSjisCsv(line);
    ASSERT_EQ(fields.size(), 17u) << Show(line);
    EXPECT_TRUE(WholeCharacters(fields[15])) << Show(fields[15]);
    EXPECT_EQ(fields[15], c.rest) << Show(fields[15]);
    EXPECT_EQ(fields[14], c.rest.empty() ? "1" : "0");
    EXPECT_EQ(fields[11], "13101001001");  // the chome itself was matched
  }
}
