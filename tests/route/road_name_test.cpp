#include "route/road_name.h"

#include <gtest/gtest.h>

#include <string>

#include "highway_fixture.h"
#include "support/test_util.h"

namespace {

using hwtest::Name;
using testutil::Sjis;

TmpItemAry::Link MakeLink(std::int32_t roadNo, std::int32_t linkClass, std::int32_t nameNo,
                          bool highway = false) {
  TmpItemAry::Link l;
  l.roadNo = roadNo;
  l.linkClass = linkClass;
  l.nameNo = nameNo;
  l.flags = highway ? 1 : 0;
  return l;
}

class RoadNames : public ::testing::Test {
 protected:
  void SetUp() override {
    hwbuild::Image im;
    im.names = {Name(2, u8"東名高速道路"), Name(3, u8""), Name(5, u8"厚木街道"),
                Name(7, u8"東名高速道路")};
    ASSERT_TRUE(file_.Write(im));
    ASSERT_TRUE(hd_.openHighwayData(file_.Path().c_str()));
  }
  std::string Format(const TmpItemAry::Link& l) { return formatRoadName(l, hd_); }
  hwtest::HighwayFile file_;
  HighwayData hd_;
};

TEST_F(RoadNames, NationalRoadNumberIsExactShiftJis) {
  EXPECT_EQ(Format(MakeLink(0x2001, 1, -1)), std::string("\x8D\x91\x93\xB9\x31\x8D\x86"));
  // 国道246号 and the other category words.
  EXPECT_EQ(Format(MakeLink(0x2000 | 246, 1, -1)), Sjis(u8"国道246号"));
  EXPECT_EQ(Format(MakeLink(0x4000 | 8191, 3, -1)), Sjis(u8"都道8191号"));
  EXPECT_EQ(Format(MakeLink(0x6000 | 5, 3, -1)), Sjis(u8"道道5号"));
  EXPECT_EQ(Format(MakeLink(0x8000 | 5, 3, -1)), Sjis(u8"府道5号"));
  EXPECT_EQ(Format(MakeLink(0xA000 | 63, 3, -1)), Sjis(u8"県道63号"));
}

TEST_F(RoadNames, HighwayDataNameJoinsOrReplaces) {
  EXPECT_EQ(Format(MakeLink(0x2001, 1, 10)), Sjis(u8"国道1号(厚木街道)"));
  EXPECT_EQ(Format(MakeLink(0x2001, 1, 10, true)), Sjis(u8"厚木街道"));
  EXPECT_EQ(Format(MakeLink(0x2001, 1, 11)), Sjis(u8"国道1号(厚木街道)"));  // 11 / 2 = key 5
  EXPECT_EQ(Format(MakeLink(0, 0, 4)), Sjis(u8"東名高速道路"));
  // Classes other than 1-3 take the table name alone.
  EXPECT_EQ(Format(MakeLink(0x2001, 4, 10)), Sjis(u8"厚木街道"));
  EXPECT_EQ(Format(MakeLink(0, 3, 10)), Sjis(u8"都道府県道(厚木街道)"));
  // A key missing from the table, or an empty table name: no change.
  EXPECT_EQ(Format(MakeLink(0x2001, 1, 12)), Sjis(u8"国道1号"));
  EXPECT_EQ(Format(MakeLink(0x2001, 1, 6)), Sjis(u8"国道1号"));
}

TEST_F(RoadNames, ClassWordWhenTheRoadNumberGivesNone) {
  EXPECT_EQ(Format(MakeLink(0xC005, 1, -1)), Sjis(u8"国道"));          // category 6
  EXPECT_EQ(Format(MakeLink(0xE005, 2, -1)), Sjis(u8"主要地方道"));    // category 7
  EXPECT_EQ(Format(MakeLink(0x0005, 6, -1)), Sjis(u8"フェリー航路"));  // category 0
  EXPECT_EQ(Format(MakeLink(0, 0, -1)), Sjis(u8"高速道"));
  EXPECT_EQ(Format(MakeLink(-5, 4, -1)), Sjis(u8"一般道"));
  EXPECT_EQ(Format(MakeLink(0, 5, -1)), Sjis(u8"一般道"));
  EXPECT_EQ(Format(MakeLink(0, 7, -1)), "");
  EXPECT_EQ(Format(MakeLink(0, -1, -1)), "");
}

TEST_F(RoadNames, TableHoldsEachNameOnceAndLinksShareIt) {
  TmpItemAry items;
  items.roadNames() = {"old"};
  const TmpItemAry::Link links[] = {
      MakeLink(0, 0, 4),        // 東名 (key 2)
      MakeLink(0, 7, -1),       // empty
      MakeLink(0, 0, 14),       // key 7: the same text as key 2
      MakeLink(0x2001, 1, -1),  // 国道1号
      MakeLink(0, 7, -1),       // empty again (cached)
      MakeLink(0, -1, 6),       // empty by another way
      MakeLink(0, 0, 4),        // cached
  };
  for (const auto& l : links) {
    TmpItemAry::Item item;
    item.link = std::make_unique<TmpItemAry::Link>(l);
    items.items().push_back(std::move(item));
  }
  // A node-only item is passed over.
  TmpItemAry::Item nodeOnly;
  nodeOnly.node = std::make_unique<TmpItemAry::Node>();
  items.items().insert(std::next(items.items().begin()), std::move(nodeOnly));

  CMakeRoadNameIdx step(hd_);
  EXPECT_TRUE(step.run(items));
  EXPECT_EQ(items.roadNames(),
            (std::vector<std::string>{Sjis(u8"東名高速道路"), "", Sjis(u8"国道1号")}));
  std::vector<std::int32_t> indices;
  for (const auto& item : items.items())
    if (item.link) indices.push_back(item.link->roadNameIdx);
  EXPECT_EQ(indices, (std::vector<std::int32_t>{0, 1, 0, 2, 1, 1, 0}));
  // A second run starts afresh.
  items.items().pop_front();
  EXPECT_TRUE(step.run(items));
  EXPECT_EQ(items.roadNames(),
            (std::vector<std::string>{"", Sjis(u8"東名高速道路"), Sjis(u8"国道1号")}));
}

}  // namespace
