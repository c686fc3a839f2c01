// The reader of the facility data set's description: well-formed rows are
// taken as CP932, every malformed one is refused with its line.

#include "tools/facilitydata/facility_description.h"

#include <gtest/gtest.h>

#include <string>

#include "common/message.h"
#include "plat/cp932.h"

namespace {

using facilitydata::FacilityDescription;

const std::string kHeader = reinterpret_cast<const char*>(
    u8"名称\t名称よみ\t緯度\t経度\t行政名\t行政JISコード\t大分類\t中分類\t小分類\n");
const std::string kRow = reinterpret_cast<const char*>(
    u8"東京駅\tとうきょうえき\t128446800\t503167200\t東京都千代田区\t13101\t交通\t鉄道\t駅\n");

// A u8 literal as its UTF-8 bytes (the description's form).
std::string U(const char8_t* text) { return reinterpret_cast<const char*>(text); }

std::string Message(const char* msg) { return plat::cp932::ToUtf8Display(msg); }

TEST(FacilityDescription, RowsAreReadAsCp932) {
  FacilityDescription d;
  char msg[kMessageSize] = "";
  ASSERT_EQ(facilitydata::ParseFacilityRows("# note\r\n" + kHeader + "\n" + kRow, &d, msg), 1)
      << Message(msg);
  ASSERT_EQ(d.facilities.size(), 1u);
  EXPECT_EQ(d.facilities[0].name, "東京駅");
  EXPECT_EQ(d.facilities[0].latitude, 128446800);
  EXPECT_EQ(d.facilities[0].cityCode, 13101);
  EXPECT_EQ(d.facilities[0].minor, "駅");
  EXPECT_EQ(d.facilities[0].line, 4);
}

TEST(FacilityDescription, MalformedRowsAreRefusedWithTheirLine) {
  auto refused = [](const std::string& text, const char* expected) {
    FacilityDescription d;
    char msg[kMessageSize] = "";
    const int ok = facilitydata::ParseFacilityRows(text, &d, msg);
    const std::string message = Message(msg);
    return ok == 0 && message.find(expected) != std::string::npos;
  };
  auto replaced = [](std::string row, const std::string& from, const std::string& to) {
    return row.replace(row.find(from), from.size(), to);
  };
  EXPECT_TRUE(refused(kRow, "header"));
  EXPECT_TRUE(refused("", "no header"));
  EXPECT_TRUE(refused(kHeader + "a\tb\n", "line 2: 2 fields"));
  EXPECT_TRUE(refused(kHeader + replaced(kRow, "128446800", "12844680x"), "line 2"));
  EXPECT_TRUE(refused(kHeader + replaced(kRow, "503167200", "3600000"), "line 2"));
  EXPECT_TRUE(refused(kHeader + replaced(kRow, "13101", "1310"), "line 2"));
  EXPECT_TRUE(refused(kHeader + replaced(kRow, U(u8"\t駅"), "\t"), "line 2"));
  EXPECT_TRUE(refused(kHeader + replaced(kRow, U(u8"東京駅"), std::string(256, 'A')), "too long"));
  // A character without a CP932 form (U+1F600).
  EXPECT_TRUE(refused(kHeader + replaced(kRow, U(u8"東京駅"), "\xF0\x9F\x98\x80"), "CP932"));
}

TEST(FacilityDescription, PairsAndPriorityLines) {
  FacilityDescription d;
  char msg[kMessageSize] = "";
  ASSERT_EQ(facilitydata::ParseReplacementPairs(
                reinterpret_cast<const char*>(u8"# pairs\nヶ\tケ\n之\tの\n"), &d, msg),
            1);
  ASSERT_EQ(d.pairs.size(), 2u);
  EXPECT_EQ(d.pairs[1].search, "之");
  EXPECT_EQ(d.pairs[1].replacement, "の");
  EXPECT_EQ(facilitydata::ParseReplacementPairs("\tX\n", &d, msg), 0);
  ASSERT_EQ(
      facilitydata::ParsePriorityLines(
          reinterpret_cast<const char*>(u8"# note\n優先度,大分類\n\n10,交通,鉄道,駅\r\n"), &d, msg),
      1);
  ASSERT_EQ(d.priorityLines.size(), 2u);
  EXPECT_EQ(d.priorityLines[0], "優先度,大分類");
  EXPECT_EQ(d.priorityLines[1], "10,交通,鉄道,駅");
}

TEST(FacilityDescription, MissingFolderFails) {
  FacilityDescription d;
  char msg[kMessageSize] = "";
  EXPECT_EQ(facilitydata::LoadFacilityDescription("/nonexistent-folder", &d, msg), 0);
  EXPECT_STRNE(msg, "");
}

}  // namespace
