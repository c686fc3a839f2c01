#include "outside/route_result.h"

#include <gtest/gtest.h>

namespace {

PartPathPtr Part(std::vector<uint32_t> runLinks) {
  auto p = std::make_shared<PartPath>();
  for (uint32_t link : runLinks) {
    PathLink run;
    run.link = link;
    p->runs.push_back(run);
  }
  return p;
}

TEST(RouteSingleResult, LinkRunsAreCountedAndFoundAcrossParts) {
  auto raw = std::make_shared<RouteSingleResultRaw>();
  raw->parts = {Part({11, 12}), Part({}), Part({31})};
  const RouteSingleResult r(raw);
  EXPECT_EQ(r.getPartCnt(), 3);
  EXPECT_EQ(r.getLinkCnt(0), 2);
  EXPECT_EQ(r.getLinkCnt(1), 0);
  EXPECT_EQ(r.getLinkCnt(3), 0);
  EXPECT_EQ(r.getAllLinkCnt(), 3);
  ASSERT_NE(r.getLinkId(2), nullptr);
  EXPECT_EQ(r.getLinkId(0)->link, 11u);
  EXPECT_EQ(r.getLinkId(1)->link, 12u);
  EXPECT_EQ(r.getLinkId(2)->link, 31u);  // the empty part is passed over
  EXPECT_EQ(r.getLinkId(3), nullptr);
  EXPECT_EQ(r.getLinkId(-1), nullptr);
  EXPECT_EQ(r.getPart(2), raw->parts[2].get());
  EXPECT_EQ(r.getPart(-1), nullptr);
  EXPECT_EQ(r.getPart(3), nullptr);
}

TEST(RouteSingleResult, CopiesShareTheRecordButNotTheTollWord) {
  auto raw = std::make_shared<RouteSingleResultRaw>();
  raw->vehicleType = 5;
  raw->option = 1;
  raw->departure.set(2017, 11, 30, 23, 59, 0);
  RouteSingleResult a(raw);
  a.setToll(100);
  RouteSingleResult b = a;
  EXPECT_EQ(b.toll(), 100);
  b.setToll(800);
  EXPECT_EQ(a.toll(), 100);
  EXPECT_EQ(b.raw(), a.raw());
  EXPECT_EQ(b.vehicleType(), 5);
  EXPECT_EQ(b.option(), 1);
  EXPECT_EQ(b.departure().day, 30);

  const RouteSingleResult empty;
  EXPECT_EQ(empty.raw(), nullptr);
  EXPECT_EQ(empty.getPartCnt(), 0);
  EXPECT_EQ(empty.getAllLinkCnt(), 0);
  EXPECT_EQ(empty.getLinkId(0), nullptr);
  EXPECT_EQ(empty.toll(), 0);
}

}  // namespace
