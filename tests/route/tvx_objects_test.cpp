#include <gtest/gtest.h>

#include "route/tvx_condition.h"
#include "route/tvx_result.h"

namespace {

using TvxRoute::TVXRouteCondition;
using TvxRoute::TVXRouteResult;
using CondNode = TVXRouteCondition::Node;

TEST(TVXRouteCondition, DefaultsAfterCreate) {
  TVXRouteCondition* c = TVXRouteCondition::Create();
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->timeMode, 0);
  EXPECT_EQ(c->vehicleClass, 8);
  EXPECT_EQ(c->tollOption1, 0);
  EXPECT_EQ(c->tollOption2, 0);
  EXPECT_EQ(c->searchType, 0);
  EXPECT_EQ(c->holidayDates, nullptr);
  EXPECT_EQ(c->holidayCount, 0);
  EXPECT_EQ(c->speedSettings, nullptr);
  EXPECT_EQ(c->speedCount, 0);
  EXPECT_EQ(c->thinningParam1, nullptr);
  EXPECT_EQ(c->thinningParam2, 0);
  EXPECT_EQ(c->getNodeCnt(), 0);
  EXPECT_EQ(c->getNode(0), nullptr);
  c->Release();

  CondNode* n = CondNode::Create();
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->nodeType, 4);
  EXPECT_TRUE(n->time.isNoData());
  EXPECT_EQ(n->roadTypeMode, 0);
  EXPECT_EQ(n->direction, -1);
  EXPECT_EQ(n->lon, -1);
  EXPECT_EQ(n->lat, -1);
  EXPECT_EQ(n->getName(), nullptr);
  EXPECT_EQ(n->getRoadPointCnt(), 0);
  n->Release();
}

TEST(TVXRouteCondition, NodesKeepOrderAndOutOfRangeGivesNull) {
  TVXRouteCondition* c = TVXRouteCondition::Create();
  for (int i = 0; i < 3; ++i) {
    CondNode* n = CondNode::Create();
    n->lon = 1000 + i;
    n->setName(i == 1 ? "中間地点" : nullptr);
    EXPECT_TRUE(c->append(n));
  }
  ASSERT_EQ(c->getNodeCnt(), 3);
  EXPECT_EQ(c->getNode(0)->lon, 1000);
  EXPECT_STREQ(c->getNode(1)->getName(), "中間地点");
  EXPECT_EQ(c->getNode(2)->lon, 1002);
  EXPECT_EQ(c->getNode(-1), nullptr);
  EXPECT_EQ(c->getNode(3), nullptr);
  // Releasing the condition frees the appended nodes (checked by the leak checker).
  c->Release();
}

TEST(TVXRouteCondition, NullNodeIsNotAppended) {
  TVXRouteCondition* c = TVXRouteCondition::Create();
  EXPECT_FALSE(c->append(nullptr));
  EXPECT_EQ(c->getNodeCnt(), 0);
  c->Release();
}

TEST(TVXRouteConditionNode, RoadPointsAreCopiesInOrder) {
  CondNode* n = CondNode::Create();
  CondNode::Point p;
  EXPECT_EQ(p.lon, -1);
  p.lon = 10;
  p.lat = 20;
  EXPECT_TRUE(n->addRoadPoint(p));
  p.lon = 11;
  p.lat = 21;
  EXPECT_TRUE(n->addRoadPoint(p));
  p.lon = 99;  // the node holds its own copies
  ASSERT_EQ(n->getRoadPointCnt(), 2);
  EXPECT_EQ(n->getRoadPoint(0)->lon, 10);
  EXPECT_EQ(n->getRoadPoint(1)->lat, 21);
  EXPECT_EQ(n->getRoadPoint(1)->lon, 11);
  EXPECT_EQ(n->getRoadPoint(-1), nullptr);
  EXPECT_EQ(n->getRoadPoint(2), nullptr);
  n->Release();
}

TEST(Release, NullObjectIsLeftAlone) {
  TVXRouteCondition* c = nullptr;
  TVXRouteResult* r = nullptr;
  CondNode* n = nullptr;
  TvxRoute::Release(c);
  TvxRoute::Release(r);
  TvxRoute::Release(n);
  TVXRouteCondition* real = TVXRouteCondition::Create();
  TvxRoute::Release(real);  // the pointer form frees a real object too (leak checker)
  SUCCEED();
}

TEST(TVXRouteResult, EmptyAfterCreateAndOutOfRangeGivesNull) {
  TVXRouteResult* r = TVXRouteResult::Create();
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->summary1, 0);
  EXPECT_EQ(r->summary2, 0);
  EXPECT_EQ(r->tollError, 0);
  EXPECT_EQ(r->condition, nullptr);
  EXPECT_EQ(r->getLinkCnt(), 0);
  EXPECT_EQ(r->getNodeCnt(), 0);
  EXPECT_EQ(r->getRoadNameCnt(), 0);
  EXPECT_EQ(r->getLink(0), nullptr);
  EXPECT_EQ(r->getNode(0), nullptr);
  EXPECT_EQ(r->getRoadName(0), nullptr);
  EXPECT_EQ(r->getRoadName(-1), nullptr);
  r->Release();
}

TEST(TVXRouteResult, DefaultsOfLinksNodesAndPoints) {
  const TVXRouteResult::Link link;
  EXPECT_EQ(link.distance, -1);
  EXPECT_EQ(link.time, -1);
  EXPECT_EQ(link.nodeIndex, -1);
  EXPECT_EQ(link.roadNameIndex, -1);
  EXPECT_EQ(link.getPointAry(), nullptr);
  EXPECT_EQ(link.getPointCnt(), 0);

  const TVXRouteResult::Link::Point point;
  EXPECT_EQ(point.lon, -1);
  EXPECT_EQ(point.lat, -1);

  const TVXRouteResult::Node node;
  EXPECT_EQ(node.kind, 7);
  EXPECT_EQ(node.breakNo, -1);
  EXPECT_EQ(node.fee, 0);
  EXPECT_EQ(node.firstFee, 0);
  EXPECT_EQ(node.facilityCode, -1);
  EXPECT_TRUE(node.time.isNoData());
  EXPECT_EQ(node.facilityFlag, 0);
}

TEST(TVXRouteResult, TablesAreReadBackAndFreedWithTheResult) {
  TVXRouteCondition* c = TVXRouteCondition::Create();
  TVXRouteResult* r = TVXRouteResult::Create();
  r->condition = c;
  auto* link = new TVXRouteResult::Link();
  for (int i = 0; i < 3; ++i) {
    TVXRouteResult::Link::Point p;
    p.lon = 100 * i;
    p.lat = 200 * i;
    p.level = i;
    link->points.push_back(p);
  }
  link->roadNameIndex = 1;
  r->tables.links.push_back(link);
  auto* node = new TVXRouteResult::Node();
  node->setName("海老名SA");
  node->breakNo = 1;
  node->time.set(2015, 5, 3, 8, 0);
  r->tables.nodes.push_back(node);
  r->tables.roadNames = {"東名高速道路", "国道246号"};

  ASSERT_EQ(r->getLinkCnt(), 1);
  const TVXRouteResult::Link* got = r->getLink(0);
  ASSERT_EQ(got->getPointCnt(), 3);
  const TVXRouteResult::Link::Point* pts = got->getPointAry();
  EXPECT_EQ(pts[2].lon, 200);
  EXPECT_EQ(pts[2].lat, 400);
  EXPECT_EQ(pts[2].level, 2);
  EXPECT_STREQ(r->getRoadName(got->roadNameIndex), "国道246号");
  EXPECT_EQ(r->getRoadName(2), nullptr);
  ASSERT_EQ(r->getNodeCnt(), 1);
  EXPECT_STREQ(r->getNode(0)->getName(), "海老名SA");
  EXPECT_EQ(r->getNode(0)->time.getHour(), 8);
  EXPECT_EQ(r->getNode(1), nullptr);
  EXPECT_EQ(r->getLink(-1), nullptr);
  EXPECT_EQ(r->condition, c);

  // Copies of a result node carry the seven words and a name of their own.
  TVXRouteResult::Node copy(*r->getNode(0));
  EXPECT_EQ(copy.breakNo, 1);
  EXPECT_EQ(static_cast<unsigned>(copy.time), static_cast<unsigned>(r->getNode(0)->time));
  EXPECT_NE(copy.getName(), r->getNode(0)->getName());
  EXPECT_STREQ(copy.getName(), "海老名SA");

  r->Release();  // links, points, nodes and names go with it (leak checker)
  c->Release();  // the result does not own its condition
}

}  // namespace
