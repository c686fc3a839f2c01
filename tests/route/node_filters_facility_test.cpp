#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "highway_fixture.h"
#include "item_list_builder.h"
#include "route/node_filters.h"
#include "route/road_name.h"
#include "support/test_util.h"

namespace {

using itemtest::At;
using itemtest::Ferry;
using itemtest::Hwy;
using itemtest::Node;
using itemtest::Push;
using itemtest::Road;
using itemtest::Shape;
using testutil::Sjis;

// The parts of the route condition the break and goal steps read.
struct FakeConditionNode {
  const char* name = nullptr;
  std::int32_t nodeType = 4;
  const char* getName() const { return name; }
};
struct FakeCondition {
  std::vector<FakeConditionNode> nodes;
  int getNodeCnt() const { return static_cast<int>(nodes.size()); }
  const FakeConditionNode* getNode(int i) const { return &nodes.at(static_cast<std::size_t>(i)); }
};

struct FakeToll {
  std::map<int, std::string> names;
  std::vector<int> asked;
  int getName(int facility, FacilName* out) {
    asked.push_back(facility);
    auto it = names.find(facility);
    if (it == names.end()) return -30;
    out->name = it->second;
    out->name2 = "second";
    return 0;
  }
};

TEST(FilterBase, LoopVisitsNodesThenLinksThenPointsInOrder) {
  struct Recorder : CRPFLoopBase {
    std::string seen;
    void visitNode(TmpItemAry::Node* n) override { seen += "N" + n->name; }
    void visitPoints(std::vector<TmpItemAry::Point>& p) override {
      seen += "P" + std::to_string(p.size());
    }
  };
  TmpItemAry list;
  Push(list, Node(0x80, 0, "a"), Road());
  Push(list, nullptr, Hwy());
  Push(list, Node(0x80, 0, "b"), nullptr);
  Recorder r;
  CRPItemFilter& filter = r;
  EXPECT_TRUE(filter.run(list));
  EXPECT_EQ(r.seen, "NaP2P2Nb");
}

TEST(FilterBase, DroppingTheOnlyFlagDeletesTheNode) {
  TmpItemAry list;
  auto& only = Push(list, Node(0x10), Road());
  auto& more = Push(list, Node(0x14), Road());
  auto& without = Push(list, Node(0x04), Road());
  dropNodeFlag(only, 0x10);
  dropNodeFlag(more, 0x10);
  dropNodeFlag(without, 0x10);  // not set: no change
  EXPECT_EQ(Shape(list), "-/R 4/R 4/R");
}

TEST(FilterBase, RoadNameStepIsAFilter) {
  hwtest::HighwayFile file;
  ASSERT_TRUE(file.Write(hwbuild::Image{}));
  HighwayData hd;
  ASSERT_TRUE(hd.openHighwayData(file.Path().c_str()));
  CMakeRoadNameIdx step(hd);
  CRPItemFilter& filter = step;
  TmpItemAry list;
  Push(list, nullptr, Road()).link->linkClass = 0;
  EXPECT_TRUE(filter.run(list));
  ASSERT_EQ(list.roadNames().size(), 1u);
  EXPECT_EQ(list.items().front().link->roadNameIdx, 0);
}

TEST(EraseStdOnHwyNode, ErasesFacilityNodesBetweenOrdinaryRoads) {
  TmpItemAry list;
  Push(list, Node(0x80, 5), Road());   // the first item is not looked at
  Push(list, Node(0x01, 5), Road());   // facility between roads: erased
  Push(list, Node(0x10, 0), Road());   // toll facility 0, facility 0: kept
  Push(list, Node(0x04, 7), Hwy());    // a highway link: kept
  Push(list, Node(0x04, 7), Road());   // after a highway link: kept
  Push(list, Node(0x20, 9), Ferry());  // a ferry link: kept
  Push(list, Node(0x20, 9), Road());   // after a ferry link: kept
  Push(list, Node(0x01, 9), nullptr);  // no link: kept
  At(list)[2]->node->tollFacilNo = 0;
  auto& toll = Push(list, Node(0x10), Road());
  toll.node->tollFacilNo = 300;
  Push(list, Node(0x10), Road()).node->tollFacilNo = 301;
  CEraseStdOnHwyNode().run(list);
  EXPECT_EQ(Shape(list), "80/R -/R 10/R 4/H 4/R 20/F 20/R 1/- 10/R -/R");
  TmpItemAry empty;
  EXPECT_TRUE(CEraseStdOnHwyNode().run(empty));
}

TollResult MakeToll(std::int32_t code, std::vector<TollResultRaw::Prof> profs) {
  auto* raw = new TollResultRaw;
  raw->code = code;
  raw->total1 = 1000;
  raw->total2 = 900;
  raw->total3 = 800;
  raw->profs.v = std::move(profs);
  return TollResult(raw);
}

TollResultRaw::Prof Prof(std::int32_t facility, std::int32_t fee1, std::int32_t fee3) {
  TollResultRaw::Prof p;
  p.facility = facility;
  p.fee1 = fee1;
  p.fee3 = fee3;
  return p;
}

TEST(MakeTollNode, FeesFromTheProfileOfTheSamePassageAndTotalsOnSuccess) {
  TollResult result = MakeToll(
      0, {Prof(5, 1200, 900), Prof(6, 700, -1), Prof(5, 1, 1), Prof(7, -1, -1), Prof(9, 30, 20)});
  TmpItemAry list;
  Push(list, Node(0x10), Hwy()).node->tollFacilNo = 0x8005;  // low 15 bits: 5
  Push(list, Node(0x10), Hwy()).node->tollFacilNo = 6;
  Push(list, Node(0x10), Hwy()).node->tollFacilNo = 5;  // the second passage of 5
  Push(list, Node(0x10), Hwy()).node->tollFacilNo = 7;
  auto& none = Push(list, Node(0x10), Hwy());
  none.node->tollFacilNo = 8;
  none.node->fee = 55;
  Push(list, Node(0x10), Hwy()).node->tollFacilNo = 9;
  auto& beyond = Push(list, Node(0x10), Hwy());  // 9 has one profile only
  beyond.node->tollFacilNo = 9;
  beyond.node->fee = 66;
  CMakeTollNode(&result).run(list);
  auto items = At(list);
  EXPECT_EQ(list.tollTotal1, 800);
  EXPECT_EQ(list.tollTotal2, 1000);
  EXPECT_EQ(items[0]->node->firstFee, 1200);
  EXPECT_EQ(items[0]->node->fee, 900);
  EXPECT_EQ(items[1]->node->firstFee, 700);
  EXPECT_EQ(items[1]->node->fee, 700);  // no third fee: the first
  EXPECT_EQ(items[2]->node->firstFee, 1);
  EXPECT_EQ(items[2]->node->fee, 1);
  EXPECT_EQ(items[3]->node->tollFacilNo, 0u);
  EXPECT_EQ(items[3]->node->fee, 0);
  EXPECT_EQ(items[4]->node->tollFacilNo, 8u);  // no profile: unchanged
  EXPECT_EQ(items[4]->node->fee, 55);
  EXPECT_EQ(items[5]->node->fee, 20);
  EXPECT_EQ(items[6]->node->tollFacilNo, 9u);  // beyond its facility's profiles: unchanged
  EXPECT_EQ(items[6]->node->fee, 66);
  EXPECT_EQ(items[6]->node->firstFee, 0);

  // A profile without fees makes a plain node: step 3 does not ask for its
  // name and step 17 drops its toll flag, deleting it when that was all.
  FakeToll toll;
  toll.names = {{0x8005, "IC5"}, {6, "IC6"}};
  CMakeTollFacilName<FakeToll>(&toll).run(list);
  EXPECT_EQ(toll.asked, (std::vector<int>{0x8005, 6, 5, 8, 9, 9}));
  EXPECT_EQ(items[0]->node->name, "IC5");
  EXPECT_EQ(items[1]->node->name, "IC6");
  EXPECT_EQ(items[4]->node->name, "");  // not found: unchanged
  CEraseTollNode().run(list);
  EXPECT_EQ(Shape(list), "10/H 10/H 10/H -/H 10/H 10/H 10/H");
}

// A route that passes a toll point twice has a profile for each passage, in
// route order: each toll node takes the fees due at its own passage, so the
// fees of the nodes add up to the route's totals. Round trips over 東京IC
// (exit 11 free at first, paid on the way back) and 厚木IC (exit 31 paid on
// the way out, free after a turn at 東京IC), with the links 35 and 25 passed
// both ways.
TEST(MakeTollNode, EachPassageOfATollPointTakesItsOwnProfile) {
  struct Case {
    std::vector<TollResultRaw::Prof> profs;
    std::int32_t total;
  };
  const Case cases[] = {
      {{Prof(11, 0, 0), Prof(10, -1, -1), Prof(35, 0, 0), Prof(25, 0, 0), Prof(31, 1470, 1470),
        Prof(30, -1, -1), Prof(25, 0, 0), Prof(35, 0, 0), Prof(11, 1470, 1470)},
       2940},
      {{Prof(26, -1, -1), Prof(35, 0, 0), Prof(25, 0, 0), Prof(31, 720, 720), Prof(30, -1, -1),
        Prof(25, 0, 0), Prof(35, 0, 0), Prof(11, 1200, 1200), Prof(35, 0, 0), Prof(25, 0, 0),
        Prof(31, 0, 0)},
       1920},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.total);
    auto* raw = new TollResultRaw;
    raw->total1 = raw->total3 = c.total;
    raw->profs.v = c.profs;
    TollResult result(raw);
    TmpItemAry list;
    for (const TollResultRaw::Prof& p : c.profs)
      Push(list, Node(0x10), Hwy()).node->tollFacilNo = static_cast<std::uint32_t>(p.facility);
    CMakeTollNode(&result).run(list);
    std::size_t i = 0;
    std::vector<std::int32_t> due;  // the fees of the passages that pay
    for (const TmpItemAry::Item& item : list.items()) {
      const TollResultRaw::Prof& p = c.profs[i++];
      if (p.fee1 == -1) {
        EXPECT_EQ(item.node->tollFacilNo, 0u) << i;
        continue;
      }
      EXPECT_EQ(item.node->fee, p.fee3) << i;
      EXPECT_EQ(item.node->firstFee, p.fee1) << i;
      if (p.fee1 != 0) due.push_back(p.fee1);
    }
    // Every passage that pays keeps its toll node, and only those do.
    CEraseTollNode().run(list);
    std::vector<std::int32_t> shown;
    std::int32_t fees = 0, firstFees = 0;
    for (const TmpItemAry::Item& item : list.items()) {
      if (!item.node || (item.node->flags & 0x10) == 0) continue;
      shown.push_back(item.node->firstFee);
      fees += item.node->fee;
      firstFees += item.node->firstFee;
    }
    EXPECT_EQ(shown, due);
    EXPECT_EQ(fees, list.tollTotal1);
    EXPECT_EQ(firstFees, list.tollTotal2);
  }
}

// A toll the engine could not compute never reads as no toll: the list
// keeps the engine's code, the totals and every toll node's fees are -1
// (whatever profiles came with it), and step 17 keeps the toll nodes.
TEST(MakeTollNode, FailedCalculationLeavesTheTollUnknownAndEmptyResultDoesNothing) {
  TollResult failed = MakeToll(-40, {Prof(5, 100, 80)});
  TmpItemAry list;
  Push(list, Node(0x10), Hwy()).node->tollFacilNo = 5;
  Push(list, Node(0x10), Hwy()).node->tollFacilNo = 6;
  Push(list, Node(0x04, 7), Hwy());
  CMakeTollNode(&failed).run(list);
  EXPECT_EQ(list.tollError, -40);
  EXPECT_EQ(list.tollTotal1, -1);
  EXPECT_EQ(list.tollTotal2, -1);
  auto items = At(list);
  for (int i : {0, 1}) {
    EXPECT_EQ(items[i]->node->fee, -1) << i;
    EXPECT_EQ(items[i]->node->firstFee, -1) << i;
  }
  EXPECT_EQ(items[1]->node->tollFacilNo, 6u);
  EXPECT_EQ(items[2]->node->fee, 0);  // not a toll node
  CEraseTollNode().run(list);
  EXPECT_EQ(Shape(list), "10/H 10/H 4/H");

  // A computed toll leaves the code at 0.
  TollResult done = MakeToll(0, {Prof(5, 100, 80)});
  TmpItemAry paid;
  Push(paid, Node(0x10), Hwy()).node->tollFacilNo = 5;
  CMakeTollNode(&done).run(paid);
  EXPECT_EQ(paid.tollError, 0);

  TollResult empty;
  TmpItemAry other;
  Push(other, Node(0x10), Hwy()).node->tollFacilNo = 5;
  CMakeTollNode(&empty).run(other);
  EXPECT_EQ(other.items().front().node->fee, 0);
  EXPECT_EQ(other.items().front().node->tollFacilNo, 5u);
}

TEST(MakeTollFacilName, FailedLookupKeepsTheName) {
  FakeToll toll;
  TmpItemAry list;
  auto& n = Push(list, Node(0x10, 0, "old"), Hwy());
  n.node->tollFacilNo = 9;
  CMakeTollFacilName<FakeToll>(&toll).run(list);
  EXPECT_EQ(n.node->name, "old");
}

TEST(EraseTollNode, OnlyNodesWithoutFeesLoseTheTollFlag) {
  TmpItemAry list;
  Push(list, Node(0x14), Hwy());
  Push(list, Node(0x10), Hwy()).node->fee = 10;
  Push(list, Node(0x10), Hwy()).node->firstFee = 10;
  Push(list, Node(0x10), Hwy());
  Push(list, Node(0x04), Hwy());
  CEraseTollNode().run(list);
  EXPECT_EQ(Shape(list), "4/H 10/H 10/H -/H 4/H");
}

TEST(MakeBrkNode, BreakNodesTakeConditionNamesAndKinds) {
  FakeCondition cond;
  cond.nodes = {{"出発地", 0}, {nullptr, 4}, {"経由IC", 2}, {"港", 3}, {"SA", 1}};
  TmpItemAry list;
  auto& start = Push(list, Node(0x80, 0, "x"), Road());
  Push(list, Node(0x04, 0, "plain"), Hwy());
  auto& via = Push(list, Node(0x80, 0, "y"), Road());
  auto& ic = Push(list, Node(0x80), Road());
  CMakeBrkNode<FakeCondition>(&cond).run(list);
  EXPECT_EQ(start.node->name, Sjis(u8"出発地"));
  EXPECT_EQ(via.node->name, "");  // no name counts as empty
  EXPECT_EQ(ic.node->name, Sjis(u8"経由IC"));
  EXPECT_EQ(Shape(list), "81/R 4/H 80/R 84/R");
  EXPECT_EQ(At(list)[1]->node->name, "plain");

  // Types 3 and 1, and a break node beyond the condition's last node.
  FakeCondition two;
  two.nodes = {{"a", 3}, {"b", 1}};
  TmpItemAry more;
  Push(more, Node(0x80), Road());
  Push(more, Node(0x80), Road());
  Push(more, Node(0x80, 0, "kept"), Road());
  CMakeBrkNode<FakeCondition>(&two).run(more);
  EXPECT_EQ(Shape(more), "a0/R 82/R 80/R");
  EXPECT_EQ(At(more)[2]->node->name, "kept");
  EXPECT_EQ(breakNodeFlag(-1), 0u);
  EXPECT_EQ(breakNodeFlag(5), 0u);
}

TEST(MakeGoalNode, AppendsTheLastConditionNodeAsGoal) {
  FakeCondition cond;
  cond.nodes = {{"A", 0}, {"B", 2}, {"目的地", 1}};
  TmpItemAry list;
  Push(list, Node(0x80), Road());
  CMakeGoalNode<FakeCondition>(&cond).run(list);
  ASSERT_EQ(list.items().size(), 2u);
  const auto& goal = list.items().back();
  ASSERT_TRUE(goal.node);
  EXPECT_FALSE(goal.link);
  EXPECT_EQ(goal.node->name, Sjis(u8"目的地"));
  EXPECT_EQ(goal.node->flags, 0x80u);
  EXPECT_EQ(goal.node->facilCode, -1);
  EXPECT_EQ(goal.node->facilNo, 0u);
  EXPECT_EQ(goal.node->year, 0);
}

// Facility records: 10 an interchange with kind 2 and code 0x1234; 11 a
// junction with toll, a junction part of one 6-byte record and kind 1; 12
// two records (kind 1, then an interchange); 13 a record whose entry index
// lies outside its block; 14 shares 10's record and has a junction record
// of its own with interchange and toll flags.
class HwyFacil : public ::testing::Test {
 protected:
  void SetUp() override {
    hwbuild::Image im;
    im.names = {hwtest::Name(10, u8"名前表の名前")};
    hwbuild::Block block;
    block.number = 1;
    hwbuild::Entry ic = hwtest::KindEntry(2, 0x1234, u8"厚木IC", 1);
    ic.flags |= 0x80;
    ic.parts = std::string("\x01\x02\x03", 3) + ic.parts;
    hwbuild::Entry jct = hwtest::KindEntry(1, 7, u8"海老名JCT", 2);
    jct.flags |= 0x40 | 0x10;
    jct.parts = std::string("\x00\x00\x00\x01", 4) + std::string(6, '\x09') + jct.parts +
                std::string(3, '\0');
    hwbuild::Entry kind1 = hwtest::KindEntry(1, 0x0102, u8"足柄SA", 3);
    hwbuild::Entry plainIc;
    plainIc.flags = 0x80;
    plainIc.parts = std::string(3, '\0');
    plainIc.name1 = hwtest::U16(u8"足柄IC");
    block.entries = {ic, jct, kind1, plainIc};
    im.blocks = {block};
    hwbuild::Entry jctIc;
    jctIc.flags = 0x80 | 0x40 | 0x10;
    jctIc.parts = std::string(3, '\0') + std::string(4, '\0') + std::string(3, '\0');
    jctIc.name1 = hwtest::U16(u8"厚木JCT");
    im.blocks[0].entries.push_back(jctIc);
    im.keys = {{10, 1, 0}, {11, 1, 1}, {12, 1, 2}, {12, 1, 3}, {13, 1, 9}, {14, 1, 0}, {14, 1, 4}};
    ASSERT_TRUE(file_.Write(im));
    ASSERT_TRUE(hd_.openHighwayData(file_.Path().c_str()));
  }
  void Run(TmpItemAry& list) { CMakeHwyFacil(&hd_).run(list); }
  hwtest::HighwayFile file_;
  HighwayData hd_;
};

TEST_F(HwyFacil, FlagsCodeAndNameFromTheFacilityRecords) {
  TmpItemAry list;
  auto& ic = Push(list, Node(0, 10), Hwy());
  auto& jct = Push(list, Node(0, 11), Hwy());
  auto& both = Push(list, Node(0, 12), Hwy());
  auto& broken = Push(list, Node(0, 13), Hwy());
  auto& missing = Push(list, Node(0, 99, "old"), Hwy());
  Run(list);
  // The name comes from the facility blocks, never from the name table.
  EXPECT_EQ(ic.node->name, Sjis(u8"厚木IC"));
  EXPECT_EQ(ic.node->flags, 0x06u);
  EXPECT_EQ(ic.node->facilCode, 0x1234);
  EXPECT_EQ(jct.node->name, Sjis(u8"海老名JCT"));
  EXPECT_EQ(jct.node->flags, 0x19u);  // kind block found past the junction part
  EXPECT_EQ(jct.node->facilCode, 7);
  EXPECT_EQ(both.node->flags, 0x05u);
  EXPECT_EQ(both.node->facilCode, 0x0102);
  EXPECT_EQ(both.node->name, Sjis(u8"足柄SA"));
  EXPECT_EQ(broken.node->flags, 0u);
  EXPECT_EQ(broken.node->name, "");
  EXPECT_EQ(missing.node->name, "");
  EXPECT_EQ(missing.node->flags, 0u);
}

TEST_F(HwyFacil, OnlyPlainHighwayFacilityNodesAreTouched) {
  TmpItemAry list;
  Push(list, Node(0, 10 | 0x8000, "ferry"), Hwy());
  Push(list, Node(0x10, 10, "toll"), Hwy()).node->tollFacilNo = 3;
  Push(list, Node(0, 10, "paid"), Hwy()).node->firstFee = 100;
  Push(list, Node(0, 0, "none"), Hwy());
  auto& real = Push(list, Node(0, 10), Hwy());
  Run(list);
  auto items = At(list);
  EXPECT_EQ(items[0]->node->name, "ferry");
  EXPECT_EQ(items[1]->node->name, "toll");
  EXPECT_EQ(items[2]->node->name, "paid");
  EXPECT_EQ(items[3]->node->name, "none");
  EXPECT_EQ(Shape(list), "0/H 10/H 0/H 0/H 6/H");
  // The others did not use the record: the real node is not a repeat.
  EXPECT_EQ(real.node->name, Sjis(u8"厚木IC"));
}

TEST_F(HwyFacil, RepeatedRecordDeletesTheLaterNodeUnlessJunction) {
  TmpItemAry list;
  Push(list, Node(0x80, 10), Hwy());
  Push(list, Node(0, 11), Hwy());
  Push(list, Node(0, 12), Hwy());
  Push(list, Node(0, 10), Hwy());  // repeat of an interchange: deleted
  Push(list, Node(0, 14), Hwy());  // repeats 10's record, is a junction: keeps 0x08 and 0x10
  Push(list, Node(0, 11), Hwy());  // the junction record again: no flags of its own, deleted
  Push(list, Node(0, 12), Hwy());  // both records repeat: deleted once
  Push(list, Node(0, 10), Road());
  Run(list);
  EXPECT_EQ(Shape(list), "86/H 19/H 5/H -/H 18/H -/H -/H -/R");
}

// A route that leaves a facility, goes on to a via point and comes back
// past it passes it twice: the node at each passage keeps its record's
// flags. A stop at the facility (arriving, the break node, leaving, all on
// one point) is one passage: the node after the stop repeats the record.
TEST_F(HwyFacil, AFacilityPassedAgainAfterAViaPointKeepsItsNode) {
  const auto Along = [](std::unique_ptr<TmpItemAry::Link> link, std::int32_t x0, std::int32_t x1) {
    link->points = {{x0, 0, -1}, {x1, 0, -1}};
    return link;
  };
  TmpItemAry passedTwice;
  Push(passedTwice, Node(0x80), Along(Hwy(), 5, 5));
  Push(passedTwice, Node(0, 10), Along(Hwy(), 5, 9));
  Push(passedTwice, Node(0x80), Along(Hwy(), 9, 5));
  Push(passedTwice, Node(0, 10), Along(Hwy(), 5, 2));
  Run(passedTwice);
  EXPECT_EQ(Shape(passedTwice), "80/H 6/H 80/H 6/H");

  TmpItemAry stop;
  Push(stop, Node(0x80), Along(Hwy(), 1, 5));
  Push(stop, Node(0, 10), nullptr);
  Push(stop, Node(0x80), Along(Hwy(), 5, 5));
  Push(stop, Node(0, 10), Along(Hwy(), 5, 9));
  Run(stop);
  EXPECT_EQ(Shape(stop), "80/H 6/- 80/H -/H");

  // Without a break node between them, a record met again is a repeat
  // however far the route went.
  TmpItemAry onePart;
  Push(onePart, Node(0, 10), Along(Hwy(), 5, 9));
  Push(onePart, Node(0, 10), Along(Hwy(), 9, 12));
  Run(onePart);
  EXPECT_EQ(Shape(onePart), "6/H -/H");
}

TEST(EraseBreakFacilNode, JoinsBackwardOverAZeroLengthLink) {
  TmpItemAry list;
  auto& first = Push(list, Node(0x80), Road());
  auto& p = Push(list, Node(0x02), Hwy());
  p.link->points = {{500, 600, -1}, {500, 600, -1}};
  auto& b = Push(list, Node(0x81), Hwy());
  b.link->points = {{501, 601, -1}, {900, 900, -1}};
  Push(list, nullptr, Road());
  CEraseBreakFacilNode().run(list);
  EXPECT_EQ(Shape(list), "80/R 81/H -/R");
  EXPECT_EQ(b.link->points.front().x, 500);
  EXPECT_EQ(b.link->points.front().y, 600);
  EXPECT_EQ(first.link->points.size(), 2u);
}

TEST(EraseBreakFacilNode, JoinsAFerryBreakWithTheTerminalBeforeIt) {
  TmpItemAry list;
  Push(list, nullptr, Road());
  auto& p = Push(list, Node(0x20), Ferry());
  p.link->points = {{7, 8, -1}, {9, 9, -1}};
  auto& b = Push(list, Node(0xA0), Road());
  CEraseBreakFacilNode().run(list);
  EXPECT_EQ(Shape(list), "-/R a0/R");
  EXPECT_EQ(b.link->points.front().x, 7);
}

TEST(EraseBreakFacilNode, JoinsForwardWhenThePreviousLinkHasLength) {
  TmpItemAry list;
  auto& p = Push(list, Node(0x80), Road());
  p.link->points = {{0, 0, -1}, {10, 10, -1}};  // not zero-length
  auto& b = Push(list, Node(0x81), Road());
  b.node->year = 2024;
  b.node->month = 2;
  b.node->day = 3;
  b.node->hour = 4;
  b.node->minute = 5;
  b.node->second = 6;
  auto& n = Push(list, Node(0x01, 0, "SA"), Hwy());
  n.link->points = {{30, 40, -1}, {50, 50, -1}};
  // The walk goes on after N: the next break node joins forward too.
  auto& after = Push(list, Node(0x82), Hwy());
  after.link->points = {{1, 1, -1}, {1, 1, -1}};
  auto& last = Push(list, Node(0x04), Hwy());
  CEraseBreakFacilNode().run(list);
  EXPECT_EQ(Shape(list), "80/R 81/H 82/H");
  EXPECT_EQ(&list.items().back(), &last);
  EXPECT_EQ(n.node->name, "SA");
  EXPECT_EQ(n.node->year, 2024);
  EXPECT_EQ(n.node->month, 2);
  EXPECT_EQ(n.node->day, 3);
  EXPECT_EQ(n.node->hour, 4);
  EXPECT_EQ(n.node->minute, 5);
  EXPECT_EQ(n.node->second, 6);
  EXPECT_EQ(p.link->points.back().x, 30);
  EXPECT_EQ(p.link->points.back().y, 40);
}

TEST(EraseBreakFacilNode, NothingWithoutANeighbourNode) {
  TmpItemAry list;
  Push(list, nullptr, Road());
  Push(list, Node(0x81), Road());
  Push(list, nullptr, Road());
  Push(list, Node(0x80), Road());  // a break node without kind or ferry flag
  Push(list, Node(0xA0), Road());  // the previous node has no 0x20
  CEraseBreakFacilNode().run(list);
  EXPECT_EQ(Shape(list), "-/R 81/R -/R 80/R a0/R");
  TmpItemAry empty;
  EXPECT_TRUE(CEraseBreakFacilNode().run(empty));
}

}  // namespace
