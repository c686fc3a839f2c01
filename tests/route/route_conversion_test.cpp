#include "route/route_conversion.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "item_list_builder.h"

namespace {

using itemtest::Node;
using itemtest::Push;
using TvxRoute::TVXRouteCondition;
using TvxRoute::TVXRouteResult;

struct ResultDeleter {
  void operator()(TVXRouteResult* r) const { r->Release(); }
};
using ResultPtr = std::unique_ptr<TVXRouteResult, ResultDeleter>;

std::unique_ptr<TmpItemAry::Link> L(std::int32_t distance, std::int32_t time,
                                    std::vector<TmpItemAry::Point> points, std::int32_t cls = 5,
                                    std::int32_t nameIdx = -1) {
  auto l = std::make_unique<TmpItemAry::Link>();
  l->distance = distance;
  l->time = time;
  l->points = std::move(points);
  l->linkClass = cls;
  l->roadNameIdx = nameIdx;
  return l;
}

ResultPtr Convert(TmpItemAry& list, const TVXRouteCondition* condition = nullptr) {
  TVXRouteResult* out = nullptr;
  CConvTVXRouteResult conv(condition, &out);
  EXPECT_TRUE(conv.run(list));
  return ResultPtr(out);
}

TEST(ConvTVXRouteResult, StartViaGoalGiveBreakNumbersOneThreeTwo) {
  TmpItemAry list;
  Push(list, Node(0x80, 0, "start"), L(400, 30, {{100, 200, 3}, {150, 250, 0}}));
  Push(list, Node(0x10), L(1000, 70, {{150, 250, 3}, {300, 250, 3}}));
  Push(list, Node(0x80, 0, "via"), L(1200, 90, {{300, 250, 3}, {320, 260, 1}, {400, 400, 3}}));
  Push(list, nullptr, L(1500, 95, {{400, 400, 3}, {500, 400, 3}}, 0, 1));
  Push(list, Node(0x80, 0, "goal"), nullptr);
  list.roadNames() = {"a", "b"};
  list.tollTotal1 = 740;
  list.tollTotal2 = 1050;
  TVXRouteCondition* condition = TVXRouteCondition::Create();
  const ResultPtr r = Convert(list, condition);
  ASSERT_TRUE(r);
  ASSERT_EQ(r->getNodeCnt(), 4);
  ASSERT_EQ(r->getLinkCnt(), 4);
  EXPECT_EQ(r->getNode(0)->breakNo, 1);
  EXPECT_EQ(r->getNode(1)->breakNo, 0);
  EXPECT_EQ(r->getNode(2)->breakNo, 3);
  EXPECT_EQ(r->getNode(3)->breakNo, 2);
  EXPECT_STREQ(r->getNode(2)->getName(), "via");
  // Positions: the first point of the item's link; the goal the last point
  // of the link before it.
  EXPECT_EQ(r->getNode(0)->lon, 100);
  EXPECT_EQ(r->getNode(0)->lat, 200);
  EXPECT_EQ(r->getNode(2)->lon, 300);
  EXPECT_EQ(r->getNode(3)->lon, 500);
  EXPECT_EQ(r->getNode(3)->lat, 400);
  // Links: differences of the cumulative values; node index of the node
  // converted just before, -1 without one.
  std::int32_t sum = 0;
  const std::vector<std::int32_t> distances = {400, 600, 200, 300}, times = {30, 40, 20, 5},
                                  nodes = {0, 1, 2, -1};
  for (int i = 0; i < 4; ++i) {
    const TVXRouteResult::Link* link = r->getLink(i);
    EXPECT_EQ(link->distance, distances[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(link->time, times[static_cast<std::size_t>(i)]) << i;
    EXPECT_EQ(link->nodeIndex, nodes[static_cast<std::size_t>(i)]) << i;
    sum += link->distance;
  }
  EXPECT_EQ(sum, 1500);
  EXPECT_EQ(r->getLink(3)->linkClass, 0);
  EXPECT_EQ(r->getLink(3)->roadNameIndex, 1);
  ASSERT_EQ(r->getLink(2)->getPointCnt(), 3);
  EXPECT_EQ(r->getLink(2)->getPointAry()[1].lon, 320);
  EXPECT_EQ(r->getLink(2)->getPointAry()[1].lat, 260);
  EXPECT_EQ(r->getLink(2)->getPointAry()[1].level, 1);
  EXPECT_EQ(r->getRoadNameCnt(), 2);
  EXPECT_STREQ(r->getRoadName(1), "b");
  EXPECT_EQ(r->summary1, 740);
  EXPECT_EQ(r->summary2, 1050);
  EXPECT_EQ(r->condition, condition);
  condition->Release();
}

TEST(ConvTVXRouteResult, KindByFlagPrecedenceAndFacilityFlag) {
  const std::vector<std::pair<std::uint32_t, std::int32_t>> cases = {
      {0x40 | 0x20, 0}, {0x20 | 0x10, 6}, {0x04 | 0x08, 3}, {0x08 | 0x10, 4}, {0x10 | 0x02, 5},
      {0x02 | 0x01, 2}, {0x01, 1},        {0x80, 7},        {0, 7},           {0xFF, 0}};
  TmpItemAry list;
  for (const auto& c : cases) {
    auto n = Node(c.first);
    n->fee = 10;
    n->firstFee = 20;
    n->facilCode = 0x1234;
    Push(list, std::move(n), L(1, 1, {{0, 0}, {1, 1}}));
  }
  const ResultPtr r = Convert(list);
  ASSERT_EQ(r->getNodeCnt(), static_cast<int>(cases.size()));
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const TVXRouteResult::Node* n = r->getNode(static_cast<int>(i));
    EXPECT_EQ(n->kind, cases[i].second) << "flags " << cases[i].first;
    EXPECT_EQ(n->facilityFlag, cases[i].second >= 1 && cases[i].second <= 5 ? 1 : 0)
        << "flags " << cases[i].first;
    EXPECT_EQ(n->fee, 10);
    EXPECT_EQ(n->firstFee, 20);
    EXPECT_EQ(n->facilityCode, 0x1234);
  }
  EXPECT_EQ(resultNodeKind(0x20 | 0x10), 6);  // a ferry terminal with a toll is a ferry terminal
}

// The toll's state goes into the result as it is: a computed toll with code
// 0, an unknown one with the toll engine's code and -1 for totals and fees.
TEST(ConvTVXRouteResult, AnUnknownTollStaysUnknownInTheResult) {
  TmpItemAry list;
  list.tollError = -40;
  list.tollTotal1 = -1;
  list.tollTotal2 = -1;
  auto toll = Node(0x10);
  toll->fee = -1;
  toll->firstFee = -1;
  Push(list, std::move(toll), L(1, 1, {{0, 0}, {1, 1}}));
  const ResultPtr r = Convert(list);
  EXPECT_EQ(r->tollError, -40);
  EXPECT_EQ(r->summary1, -1);
  EXPECT_EQ(r->summary2, -1);
  EXPECT_EQ(r->getNode(0)->kind, 5);
  EXPECT_EQ(r->getNode(0)->fee, -1);
  EXPECT_EQ(r->getNode(0)->firstFee, -1);

  TmpItemAry known;
  known.tollTotal1 = 0;
  Push(known, Node(0x80), L(1, 1, {{0, 0}, {1, 1}}));
  EXPECT_EQ(Convert(known)->tollError, 0);
}

TEST(ConvTVXRouteResult, NodeTimesPackIntoDateTimeWords) {
  TmpItemAry list;
  auto timed = Node(0x80);
  timed->year = 2015;
  timed->month = 5;  // June
  timed->day = 2;    // the 3rd
  timed->hour = 8;
  timed->minute = 30;
  timed->second = 59;  // not packed
  Push(list, std::move(timed), L(1, 1, {{0, 0}, {1, 1}}));
  Push(list, Node(0x80), nullptr);
  const ResultPtr r = Convert(list);
  EXPECT_EQ(static_cast<unsigned>(r->getNode(0)->time),
            static_cast<unsigned>(CDateTime(2015, 6, 3, 8, 30)));
  EXPECT_EQ(static_cast<unsigned>(r->getNode(1)->time), 0x06000000u);  // year 0 packs as 48
}

TEST(ConvTVXRouteResult, AFirstItemWithoutANodeGivesNodeIndexZero) {
  TmpItemAry list;
  Push(list, nullptr, L(100, 10, {{0, 0}, {1, 1}}));
  Push(list, Node(0x80, 0, "x"), L(250, 20, {{1, 1}, {2, 2}}));
  Push(list, Node(0x04), nullptr);  // no link: stands at the end of the link before it
  Push(list, Node(0x80), nullptr);
  const ResultPtr r = Convert(list);
  EXPECT_EQ(r->getLink(0)->nodeIndex, 0);
  EXPECT_EQ(r->getLink(1)->nodeIndex, 0);
  EXPECT_EQ(r->getLink(1)->distance, 150);
  EXPECT_EQ(r->getNode(1)->lon, 2);
  EXPECT_EQ(r->getNode(1)->lat, 2);
  EXPECT_EQ(r->getNode(2)->lon, 2);  // the item before the goal has no link either
  EXPECT_EQ(r->getNode(2)->lat, 2);
  // A node before any link has no position.
  TmpItemAry bare;
  Push(bare, Node(0x80), nullptr);
  Push(bare, Node(0x80), L(100, 10, {{3, 3}, {4, 4}}));
  const ResultPtr b = Convert(bare);
  EXPECT_EQ(b->getNode(0)->lon, -1);
  EXPECT_EQ(b->getNode(0)->lat, -1);
}

TEST(ConvTVXRouteResult, GoalStandsAtTheSinglePointOfTheLinkBeforeIt) {
  TmpItemAry list;
  Push(list, Node(0x80), L(100, 10, {{7, 7}}));
  Push(list, Node(0x80), nullptr);
  const ResultPtr r = Convert(list);
  ASSERT_EQ(r->getNodeCnt(), 2);
  EXPECT_EQ(r->getNode(1)->lon, 7);
  EXPECT_EQ(r->getNode(1)->lat, 7);
  EXPECT_EQ(r->getNode(0)->lon, 7);

  // A link before the goal without any point leaves it at -1, -1.
  TmpItemAry empty;
  Push(empty, Node(0x80), L(100, 10, {{7, 7}, {8, 8}}));
  Push(empty, Node(0x10), L(100, 10, {}));
  Push(empty, Node(0x80), nullptr);
  const ResultPtr e = Convert(empty);
  ASSERT_EQ(e->getNodeCnt(), 3);
  EXPECT_EQ(e->getNode(2)->lon, -1);
  EXPECT_EQ(e->getNode(2)->lat, -1);
}

TEST(ConvTVXRouteResult, EmptyListGivesAnEmptyResult) {
  TmpItemAry list;
  const ResultPtr r = Convert(list);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->getNodeCnt(), 0);
  EXPECT_EQ(r->getLinkCnt(), 0);
}

}  // namespace
