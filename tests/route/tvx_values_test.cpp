#include "route/tvx_values.h"

#include <gtest/gtest.h>

#include <cstring>

#include "route/tvx_result.h"

namespace {

using TvxRoute::LonLat;

TEST(CDateTime, PacksAndReadsKnownDates) {
  const CDateTime a(2009, 1, 1, 0, 0);
  EXPECT_EQ(static_cast<unsigned>(a), 0x01200000u);
  EXPECT_EQ(a.getYear(), 2009);
  EXPECT_EQ(a.getMon(), 1);
  EXPECT_EQ(a.getDay(), 1);
  EXPECT_EQ(a.getHour(), 0);
  EXPECT_EQ(a.getMin(), 0);
  EXPECT_FALSE(a.isNoData());

  EXPECT_EQ(static_cast<unsigned>(CDateTime(2000, 12, 31, 23, 59)), 0x0017E5FBu);

  const CDateTime c(0x0237E5FBu);
  EXPECT_EQ(c.getYear(), 2017);
  EXPECT_EQ(c.getMon(), 12);
  EXPECT_EQ(c.getDay(), 31);
  EXPECT_EQ(c.getHour(), 23);
  EXPECT_EQ(c.getMin(), 59);

  // The last year the field holds; a year beyond it loses its carry.
  EXPECT_EQ(CDateTime(3047, 1, 1, 0, 0).getYear(), 3047);
  EXPECT_EQ(CDateTime(4047, 1, 1, 0, 0).getYear(), 4047);
  EXPECT_EQ(CDateTime(4048, 1, 1, 0, 0).getYear(), 2000);
}

TEST(CDateTime, DefaultMeansNoDataAndReadsAsAllOnes) {
  CDateTime d;
  EXPECT_TRUE(d.isNoData());
  EXPECT_EQ(static_cast<unsigned>(d), 0xFFFFFFFFu);
  EXPECT_EQ(d.getYear(), 4047);
  d.set(2015, 5, 3, 10, 30);
  EXPECT_FALSE(d.isNoData());
  d.setNoData();
  EXPECT_TRUE(d.isNoData());
}

TEST(CDateTime, PackedDatesCompareInTimeOrder) {
  EXPECT_LT(static_cast<unsigned>(CDateTime(2015, 12, 31, 23, 59)),
            static_cast<unsigned>(CDateTime(2016, 1, 1, 0, 0)));
  EXPECT_LT(static_cast<unsigned>(CDateTime(2015, 3, 31, 23, 59)),
            static_cast<unsigned>(CDateTime(2015, 4, 1, 0, 0)));
  EXPECT_LT(static_cast<unsigned>(CDateTime(2015, 3, 1, 9, 59)),
            static_cast<unsigned>(CDateTime(2015, 3, 1, 10, 0)));
}

TEST(CDateTime, SettersReplaceTheirFieldAndSpillUpwards) {
  CDateTime d(2015, 6, 15, 12, 30);
  d.setYear(2020);
  d.setMon(2);
  d.setDay(29);
  d.setHour(7);
  d.setMin(5);
  EXPECT_EQ(static_cast<unsigned>(d), static_cast<unsigned>(CDateTime(2020, 2, 29, 7, 5)));

  // A minute of 64 runs into the hour field: hour 1, minute 0.
  CDateTime m(0u);
  m.setMin(64);
  EXPECT_EQ(static_cast<unsigned>(m), 0x40u);
  EXPECT_EQ(m.getHour(), 1);
  EXPECT_EQ(m.getMin(), 0);

  // An hour of 64 reaches the day field.
  CDateTime h(0u);
  h.setHour(64);
  EXPECT_EQ(static_cast<unsigned>(h), 64u << 6);
  EXPECT_EQ(h.getDay(), 2);

  // A month of 17 sets the lowest year bit.
  CDateTime mo(2000, 1, 1, 0, 0);
  mo.setMon(17);
  EXPECT_EQ(mo.getYear(), 2001);
  EXPECT_EQ(mo.getMon(), 1);

  // Replacing the minute field clears what was there before.
  CDateTime keep(2015, 6, 15, 12, 59);
  keep.setMin(1);
  EXPECT_EQ(keep.getMin(), 1);
  EXPECT_EQ(keep.getHour(), 12);
}

TEST(LonLat, DefaultsToNotSet) {
  const LonLat p;
  EXPECT_EQ(p.lon, -1);
  EXPECT_EQ(p.lat, -1);
  LonLat q(100, 200);
  q = LonLat(5, 6);
  EXPECT_EQ(q.lon, 5);
  EXPECT_EQ(q.lat, 6);
}

// The result node is the node type hosts may copy.
using ResultNode = TvxRoute::TVXRouteResult::Node;

TEST(NodeBase, NamesAreOwnedCopies) {
  ResultNode a;
  EXPECT_EQ(a.getName(), nullptr);
  EXPECT_EQ(a.lon, -1);
  EXPECT_EQ(a.lat, -1);
  char text[] = "東京IC";
  a.setName(text);
  text[0] = 'X';  // the node keeps its own copy
  EXPECT_STREQ(a.getName(), "東京IC");

  ResultNode b(a);
  EXPECT_NE(b.getName(), a.getName());
  b.setName("厚木IC");
  EXPECT_STREQ(a.getName(), "東京IC");

  ResultNode c;
  c = a;
  EXPECT_STREQ(c.getName(), "東京IC");
  EXPECT_NE(c.getName(), a.getName());

  a.setName(nullptr);
  EXPECT_EQ(a.getName(), nullptr);
  EXPECT_STREQ(c.getName(), "東京IC");
}

TEST(NodeBase, SettingTheOwnNameOrSelfAssigningKeepsTheName) {
  ResultNode a;
  a.setName("横浜町田IC");
  a.setName(a.getName());
  EXPECT_STREQ(a.getName(), "横浜町田IC");
  ResultNode& same = a;
  a = same;
  EXPECT_STREQ(a.getName(), "横浜町田IC");
}

TEST(NodeBase, EmptyNameIsANameNotNull) {
  ResultNode a;
  a.setName("");
  ASSERT_NE(a.getName(), nullptr);
  EXPECT_EQ(std::strlen(a.getName()), 0u);
}

}  // namespace
