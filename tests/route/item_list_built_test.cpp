// The item list conversion on leg results made by the result builder over
// the sample road map: the converted points retrace the driven links, the
// guidance entries become nodes at the ends of their links, and the
// cumulative distances of the links never fall.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "item_list_builder.h"
#include "outside/route_builder.h"
#include "route/item_filter.h"
#include "route/item_list.h"
#include "support/test_util.h"

namespace {

using routebuild::GuideSpec;
using routebuild::LegSpec;
using routebuild::PartSpec;
using routebuild::RunSpec;

using Points = std::vector<std::pair<int, int>>;

// Points with runs of equal points reduced to one.
void AppendDistinct(Points* out, int x, int y) {
  if (out->empty() || out->back() != std::make_pair(x, y)) out->emplace_back(x, y);
}

class BuiltResults : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* build = std::getenv("KORT_BUILD_DIR");
    if (build == nullptr || *build == '\0')
      build = reinterpret_cast<const char*>(u8"" KORT_TEST_BUILD_DIR);
    const std::string bytes =
        testutil::ReadBytes(std::string(build) + "/Database/Road/ALLDATA.KWI");
    ASSERT_FALSE(bytes.empty());
    ASSERT_TRUE(testutil::WriteBytes(dir_.Native("ALLDATA.KWI"), bytes));
    ASSERT_TRUE(map_.init(dir_.Sys("ALLDATA.KWI").c_str())) << testutil::Show(map_.lastError());
  }
  RouteSingleResult Make(const LegSpec& leg) {
    RouteSingleResult out;
    std::string error;
    EXPECT_TRUE(routebuild::BuildRouteResult(map_, leg, &out, &error)) << error;
    return out;
  }
  // The driven shape of links first..last in driving order.
  Points Driven(std::uint32_t first, std::uint32_t last) {
    Points out;
    const int step = first <= last ? 1 : -1;
    for (std::uint32_t n = first;; n = static_cast<std::uint32_t>(static_cast<int>(n) + step)) {
      routebuild::MapLink link;
      EXPECT_TRUE(routebuild::FindMapLink(map_, n, &link)) << n;
      std::vector<ShapePoint> pts = link.points;
      if (step < 0) std::reverse(pts.begin(), pts.end());
      for (const ShapePoint& p : pts) AppendDistinct(&out, p.x, p.y);
      if (n == last) break;
    }
    return out;
  }
  Points Converted() {
    Points out;
    for (const auto& item : items_.items())
      if (item.link)
        for (const auto& p : item.link->points) AppendDistinct(&out, p.x, p.y);
    return out;
  }
  std::vector<std::int32_t> Distances() {
    std::vector<std::int32_t> out;
    for (const auto& item : items_.items())
      if (item.link) out.push_back(item.link->distance);
    return out;
  }

  testutil::TempDir dir_;
  KiwiHandleForALLDATA map_{0x1000000, true};
  TmpItemAry items_;
};

// Guidance at the end of a part's last link stands after the part's end
// points; a record on the same link beyond the part's end waits for the
// next part, which drives on along that link.
TEST_F(BuiltResults, GuidanceAtTheEndOfAPartsLastLinkIsApplied) {
  routebuild::MapLink l1003;
  ASSERT_TRUE(routebuild::FindMapLink(map_, 1003, &l1003));
  ASSERT_GE(l1003.points.size(), 3u);
  LegSpec leg;
  leg.departure.set(2015, 5, 3, 8, 0, 0);
  PartSpec first;  // 1001-1002, ending at 横浜青葉IC (the end of 1002)
  first.runs = {RunSpec{1001, 1, false, 2, 0}};
  first.facilities = {GuideSpec{1002, false, 103, false}};
  PartSpec second;  // 1003 up to an inner point, then on along 1003
  second.runs = {RunSpec{1003, 0, false, 2, 0}};
  second.goal = l1003.points[1];
  PartSpec third;
  third.runs = {RunSpec{1003, 0, false, 2, 0}};
  third.start = l1003.points[1];
  third.facilities = {GuideSpec{1003, false, 104, false}};
  leg.parts = {first, second, third};
  ASSERT_TRUE(buildItemList(items_, &map_, {Make(leg)}));
  // break, link, node 103, break, link, break, link, node 104.
  EXPECT_EQ(itemtest::Shape(items_), "80/H 0/- 80/H 80/H 0/-");
  std::vector<std::uint32_t> facilities;
  for (const auto& item : items_.items())
    if (item.node && item.node->facilNo != 0) facilities.push_back(item.node->facilNo);
  EXPECT_EQ(facilities, (std::vector<std::uint32_t>{103, 104}));
  // The 104 node follows the last part's points, which end at 1003's end.
  EXPECT_EQ(std::prev(items_.items().end(), 2)->link->points.back().x, l1003.points.back().x);
}

TEST_F(BuiltResults, ExpresswayOverTheTileBorderWithGuidance) {
  // 東京IC to 厚木IC in one run over both tiles: a toll at the end of 1001,
  // a facility at the end of 1002 and one at the end of 1008 (in the
  // western tile).
  LegSpec leg;
  leg.departure.set(2015, 5, 3, 8, 0, 0);
  PartSpec part;
  part.runs = {RunSpec{1001, 9, false, 2, 0}};
  part.tolls = {GuideSpec{1001, false, 201, false}};
  part.facilities = {GuideSpec{1002, false, 103, false}, GuideSpec{1008, false, 106, false}};
  leg.parts = {part};
  const RouteSingleResult result = Make(leg);
  ASSERT_TRUE(buildItemList(items_, &map_, {result}));
  EXPECT_EQ(itemtest::Shape(items_), "80/H 10/H 0/H 0/H");
  EXPECT_EQ(Converted(), Driven(1001, 1010));
  std::vector<std::uint32_t> numbers;
  for (const auto& item : items_.items())
    if (item.node && (item.node->flags & nodeflag::kBreak) == 0)
      numbers.push_back(item.node->facilNo | item.node->tollFacilNo);
  EXPECT_EQ(numbers, (std::vector<std::uint32_t>{201, 103, 106}));
  // Each guidance node ends its link at the entry's distance; the last
  // link ends at the part's.
  const PartPath* p = result.getPart(0);
  const auto distances = Distances();
  ASSERT_EQ(distances.size(), 4u);
  ASSERT_EQ(p->tolls.size(), 1u);
  ASSERT_EQ(p->facilities.size(), 2u);
  EXPECT_EQ(distances[0], static_cast<std::int32_t>(p->tolls[0].distance));
  EXPECT_EQ(distances[1], static_cast<std::int32_t>(p->facilities[0].distance));
  EXPECT_EQ(distances[2], static_cast<std::int32_t>(p->facilities[1].distance));
  EXPECT_EQ(distances[3], p->distance);
  EXPECT_TRUE(std::is_sorted(distances.begin(), distances.end()));
  EXPECT_EQ(items_.items().front().node->hour, 8);
}

TEST_F(BuiltResults, ReverseRunsAndPartsInDrivingOrder) {
  // 厚木IC back east over the border to 東京IC (1010 .. 1001 against the
  // links), then a second part up the 首都高速 (1101 .. 1102 against the
  // links: from 東京IC to 用賀).
  LegSpec leg;
  leg.departure.set(2015, 5, 3, 18, 0, 0);
  PartSpec back;
  back.runs = {RunSpec{1001, 9, true, 2, 0}};
  back.facilities = {GuideSpec{1005, true, 107, false}};
  PartSpec up;
  up.runs = {RunSpec{1101, 1, true, 4, 0}};
  leg.parts = {back, up};
  ASSERT_TRUE(buildItemList(items_, &map_, {Make(leg)}));
  EXPECT_EQ(itemtest::Shape(items_), "80/H 0/H 80/H");
  Points expected = Driven(1010, 1001);
  for (const auto& p : Driven(1102, 1101)) AppendDistinct(&expected, p.first, p.second);
  EXPECT_EQ(Converted(), expected);
  const auto distances = Distances();
  EXPECT_TRUE(std::is_sorted(distances.begin(), distances.end()));
  EXPECT_EQ(items_.items().back().node->year, 0);
}

}  // namespace
