// The display-priority step: the table path, the stable reordering of
// facility rows by their three category fields, the category modes chosen
// by the number of words, and a missing table leaving the rows alone.

#include "gazref/display_priority.h"

#include <gtest/gtest.h>

#include "support/test_util.h"

namespace {

using testutil::Sjis;

class DisplayPriorityTest : public ::testing::Test {
 protected:
  void WriteTable(std::u8string_view text) {
    ASSERT_TRUE(testutil::WriteBytes(dir_.Native(reinterpret_cast<const char*>(u8"表示優先.tbl")),
                                     Sjis(text)));
  }
  testutil::TempDir dir_;
};

TEST(DisplayPriorityTablePath, DropsOneTrailingBlankAndAlwaysAddsTheSeparator) {
  const std::string name = Sjis(u8"表示優先.tbl");
  EXPECT_EQ(DisplayPriorityTablePath("/d"), "/d\\" + name);
  EXPECT_EQ(DisplayPriorityTablePath("/d "), "/d\\" + name);
  EXPECT_EQ(DisplayPriorityTablePath("/d  "), "/d \\" + name);
  EXPECT_EQ(DisplayPriorityTablePath("/d\\"), "/d\\\\" + name);
  EXPECT_EQ(DisplayPriorityTablePath(nullptr), "\\" + name);
}

TEST_F(DisplayPriorityTest, FacilityRowsReorderStablyByCategory) {
  // CR LF lines, as a table made on Windows has them.
  WriteTable(u8"2,交通,鉄道,駅\r\n1,飲食,喫茶,\r\n");
  auto row = [](const char8_t* name, const char8_t* l, const char8_t* m, const char8_t* s) {
    return Sjis(name) + ",,0,0,,,," + Sjis(l) + "," + Sjis(m) + "," + Sjis(s) + ",0";
  };
  CStringArray rows = {
      row(u8"駅1", u8"交通", u8"鉄道", u8"駅"), row(u8"店1", u8"買物", u8"本", u8"書店"),
      row(u8"駅2", u8"交通", u8"鉄道", u8"駅"), row(u8"喫茶1", u8"飲食", u8"喫茶", u8"珈琲"),
      row(u8"駅3", u8"交通", u8"鉄道", u8"駅")};
  const CStringArray unchanged = rows;
  // A total of 0 (as an FL search leaves it) does nothing.
  ReorderFacilityRowsByPriority(&rows, 0, dir_.path().c_str());
  EXPECT_EQ(rows, unchanged);
  ReorderFacilityRowsByPriority(&rows, 5, dir_.path().c_str());
  // The tea room by its two-level key first, then the stations in their
  // search order, then the unknown category.
  EXPECT_EQ(rows,
            (CStringArray{unchanged[3], unchanged[0], unchanged[2], unchanged[4], unchanged[1]}));
}

TEST_F(DisplayPriorityTest, CategoryModesFollowTheNumberOfWords) {
  WriteTable(
      u8"3,交通,,\n1,飲食,,\n2,買物,,\n1,飲食,喫茶,\n2,飲食,和食,\n"
      u8"2,飲食,和食,寿司\n1,飲食,和食,蕎麦\n");
  const CStringArray top = {Sjis(u8"交通"), Sjis(u8"買物"), Sjis(u8"飲食")};
  CStringArray rows = top;
  ReorderCategoryRowsByPriority(&rows, 3, "", dir_.path().c_str());
  EXPECT_EQ(rows, (CStringArray{top[2], top[1], top[0]}));

  const CStringArray second = {Sjis(u8"和食"), Sjis(u8"喫茶")};
  rows = second;
  ReorderCategoryRowsByPriority(&rows, 2, Sjis(u8" 飲食 ").c_str(), dir_.path().c_str());
  EXPECT_EQ(rows, (CStringArray{second[1], second[0]}));

  const CStringArray third = {Sjis(u8"寿司"), Sjis(u8"蕎麦")};
  rows = third;
  ReorderCategoryRowsByPriority(&rows, 2, Sjis(u8"飲食 和食").c_str(), dir_.path().c_str());
  EXPECT_EQ(rows, (CStringArray{third[1], third[0]}));

  // Three words: no reordering.
  rows = third;
  ReorderCategoryRowsByPriority(&rows, 2, Sjis(u8"飲食 和食 寿司").c_str(), dir_.path().c_str());
  EXPECT_EQ(rows, third);
}

TEST_F(DisplayPriorityTest, AMissingTableLeavesTheRows) {
  CStringArray rows = {"b,,,,,,,x,y,z", "a,,,,,,,x,y,z"};
  const CStringArray unchanged = rows;
  ReorderFacilityRowsByPriority(&rows, 2, dir_.path().c_str());
  EXPECT_EQ(rows, unchanged);
  ReorderCategoryRowsByPriority(&rows, 2, "", dir_.path().c_str());
  EXPECT_EQ(rows, unchanged);
}

}  // namespace
