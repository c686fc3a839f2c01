#include "route/route_times.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "item_list_builder.h"

namespace {

using itemtest::At;
using itemtest::Node;
using itemtest::Push;
using TvxRoute::TVXRouteCondition;

std::unique_ptr<TmpItemAry::Node> Timed(std::uint32_t flags, int year, int month0, int day0,
                                        int hour, int minute) {
  auto n = Node(flags);
  n->year = static_cast<std::uint16_t>(year);
  n->month = static_cast<std::uint8_t>(month0);
  n->day = static_cast<std::uint8_t>(day0);
  n->hour = static_cast<std::uint8_t>(hour);
  n->minute = static_cast<std::uint8_t>(minute);
  n->second = 0;
  return n;
}

std::unique_ptr<TmpItemAry::Link> Leg(int leg, std::int32_t distance, std::int32_t time) {
  auto l = itemtest::Road(distance);
  l->time = time;
  l->leg = leg;
  return l;
}

// "yyyy-mm-dd hh:mm:ss", month and day as stored (from 0).
std::string Clock(const TmpItemAry::Node& n) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", n.year, n.month, n.day, n.hour,
                n.minute, n.second);
  return buf;
}

std::string Cumulative(TmpItemAry& list) {
  std::string out;
  for (auto& item : list.items())
    if (item.link)
      out += std::to_string(item.link->distance) + "/" + std::to_string(item.link->time) + " ";
  return out;
}

TEST(NodeLinkTime, NodesRunOnFromTheirLegStartAndLinksCountFromTheRouteStart) {
  TmpItemAry list;
  Push(list, Timed(0x80, 2015, 5, 2, 8, 0), Leg(0, 400, 30));
  Push(list, Node(0x10), Leg(0, 700, 50));
  Push(list, Node(0x80), Leg(0, 1000, 60));  // a via point inside the leg: no new start
  Push(list, Timed(0x80, 2015, 5, 2, 9, 0), Leg(1, 500, 40));
  Push(list, Node(0x04), Leg(1, 1000, 90));
  Push(list, Node(0x80), nullptr);
  CMakeNodeLinkTime times;
  EXPECT_TRUE(times.run(list));
  EXPECT_EQ(Cumulative(list), "400/30 700/50 1000/60 1500/100 2000/150 ");
  auto items = At(list);
  EXPECT_EQ(Clock(*items[0]->node), "2015-05-02 08:00:00");
  EXPECT_EQ(Clock(*items[1]->node), "2015-05-02 08:00:30");
  EXPECT_EQ(Clock(*items[2]->node), "2015-05-02 08:00:50");
  EXPECT_EQ(Clock(*items[3]->node), "2015-05-02 09:00:00");
  EXPECT_EQ(Clock(*items[4]->node), "2015-05-02 09:00:40");
  EXPECT_EQ(Clock(*items[5]->node), "2015-05-02 09:01:30");
}

TEST(NodeLinkTime, ClockCarriesOverTheEndOfTheMonth) {
  TmpItemAry list;
  Push(list, Timed(0x80, 2015, 3, 29, 23, 59), Leg(0, 100, 120));  // 30 April 23:59
  Push(list, Node(0x80), nullptr);
  CMakeNodeLinkTime().run(list);
  EXPECT_EQ(Clock(*list.items().back().node), "2015-04-00 00:01:00");
}

TEST(NodeLinkTime, ALegWithoutATimeOfItsOwnIsRebasedAndContinuesTheClock) {
  TmpItemAry list;
  Push(list, Timed(0x80, 2015, 5, 2, 8, 0), Leg(0, 1000, 60));
  Push(list, Node(0x80), Leg(1, 1200, 70));  // the second leg's start has no time
  Push(list, Node(0x10), Leg(1, 1500, 100));
  Push(list, Node(0x80), nullptr);
  CMakeNodeLinkTime().run(list);
  EXPECT_EQ(Cumulative(list), "1000/60 2200/130 2500/160 ");
  auto items = At(list);
  EXPECT_EQ(Clock(*items[1]->node), "2015-05-02 08:01:00");
  EXPECT_EQ(Clock(*items[2]->node), "2015-05-02 08:02:10");
  EXPECT_EQ(Clock(*items[3]->node), "2015-05-02 08:02:40");
}

struct ConditionDeleter {
  void operator()(TVXRouteCondition* c) const { c->Release(); }
};
using ConditionPtr = std::unique_ptr<TVXRouteCondition, ConditionDeleter>;

ConditionPtr MakeCondition(int timeMode, const std::vector<CDateTime>& times) {
  ConditionPtr c(TVXRouteCondition::Create());
  c->timeMode = timeMode;
  for (const CDateTime& t : times) {
    TVXRouteCondition::Node* n = TVXRouteCondition::Node::Create();
    n->time = t;
    c->append(n);
  }
  return c;
}

TmpItemAry BreakNodes() {
  TmpItemAry list;
  Push(list, Timed(0x80, 2015, 5, 2, 8, 0), Leg(0, 100, 10));
  Push(list, Timed(0x10, 2015, 5, 2, 8, 1), Leg(0, 200, 20));
  for (int i = 0; i < 3; ++i) Push(list, Timed(0x80, 2015, 5, 2, 9, i), Leg(0, 300, 30));
  return list;
}

TEST(RevBrkNodeTime, ArrivalTimesOfTheConditionReplaceBreakNodeTimes) {
  const ConditionPtr condition =
      MakeCondition(1, {CDateTime(2015, 6, 3, 7, 0), CDateTime(), CDateTime(2016, 12, 31, 23, 45)});
  TmpItemAry list = BreakNodes();
  CMakeRevBrkNodeTime rev(condition.get());
  EXPECT_TRUE(rev.run(list));
  auto items = At(list);
  EXPECT_EQ(Clock(*items[0]->node), "2015-05-02 08:00:00");  // the first item is not looked at
  EXPECT_EQ(Clock(*items[1]->node), "2015-05-02 08:01:00");  // not a break node
  EXPECT_EQ(Clock(*items[2]->node), "2015-05-02 09:00:00");  // condition node 1 has no time
  EXPECT_EQ(Clock(*items[3]->node),
            "2016-11-30 23:45:00");  // condition node 2, month and day from 0
  EXPECT_EQ(Clock(*items[4]->node), "2015-05-02 09:02:00");  // the condition has no node 3
}

TEST(RevBrkNodeTime, DepartureTimesLeaveBreakNodesAlone) {
  for (int mode : {0, 2}) {
    const ConditionPtr condition =
        MakeCondition(mode, {CDateTime(2015, 6, 3, 7, 0), CDateTime(2016, 1, 1, 1, 1)});
    TmpItemAry list = BreakNodes();
    CMakeRevBrkNodeTime(condition.get()).run(list);
    EXPECT_EQ(Clock(*At(list)[2]->node), "2015-05-02 09:00:00") << "mode " << mode;
  }
}

}  // namespace
