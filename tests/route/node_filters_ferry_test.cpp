#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "highway_fixture.h"
#include "item_list_builder.h"
#include "route/node_filters.h"
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

TEST(MarkFerryFacilNode, FerryTerminalNumbersGetTheFerryFlag) {
  TmpItemAry list;
  Push(list, Node(0x80, 0x8001), Road());
  Push(list, Node(0x04, 0x7FFF), Road());
  Push(list, Node(0, 0x18000), Road());
  CMarkFerryFacilNode().run(list);
  EXPECT_EQ(Shape(list), "a0/R 4/R 20/R");
}

// Ferry, road piece, ferry: the road piece joins the crossing at 100 or
// less, and the nodes inside the crossing go.
TEST(EraseFerryNode, RoadPieceOf100JoinsTheCrossing) {
  TmpItemAry list;
  Push(list, Node(0x80), Road(1000));
  Push(list, Node(0x20), Ferry(5000));
  Push(list, Node(0x01), Road(5100));
  Push(list, Node(0x20), Ferry(9000));
  Push(list, Node(0x20), Road(9500));
  CEraseFerryNode().run(list);
  EXPECT_EQ(Shape(list), "80/R 20/F -/F -/F 20/R");
}

TEST(EraseFerryNode, RoadPieceOf101StaysWithItsNode) {
  TmpItemAry list;
  Push(list, Node(0x80), Road(1000));
  Push(list, Node(0x20), Ferry(5000));
  Push(list, Node(0x01), Road(5101));
  Push(list, Node(0x20), Ferry(9000));
  Push(list, nullptr, Ferry(9900));  // two ferry links in a row
  Push(list, Node(0x20), Ferry(9950));
  CEraseFerryNode().run(list);
  EXPECT_EQ(Shape(list), "80/R 20/F 1/R 20/F -/F -/F");
}

TEST(EraseFerryNode, ChangedTypeCountsForTheNextTripleAndShortListsStay) {
  TmpItemAry list;
  Push(list, nullptr, Ferry(100));
  Push(list, nullptr, Road(150));  // 50 between ferries: becomes ferry
  Push(list, nullptr, Ferry(300));
  Push(list, Node(0x01), Road(350));  // likewise; then its node lies inside the crossing
  Push(list, nullptr, Ferry(600));
  CEraseFerryNode().run(list);
  EXPECT_EQ(Shape(list), "-/F -/F -/F -/F -/F");

  TmpItemAry two;
  Push(two, Node(0x20), Ferry(0));
  Push(two, Node(0x20), Ferry(10));
  CEraseFerryNode().run(two);
  EXPECT_EQ(Shape(two), "20/F 20/F");
}

class FerryNames : public ::testing::Test {
 protected:
  void SetUp() override {
    hwbuild::Image im;
    im.names = {hwtest::Name(5, u8"名前表")};
    im.shortNames = {hwtest::Name(5, u8"東京港フェリーターミナル"), hwtest::Name(6, u8"")};
    im.blocks = {hwbuild::Block{1, {hwtest::KindEntry(1, 1, u8"施設5", 0)}}};
    im.keys = {{5, 1, 0}};
    ASSERT_TRUE(file_.Write(im));
    ASSERT_TRUE(hd_.openHighwayData(file_.Path().c_str()));
  }
  hwtest::HighwayFile file_;
  HighwayData hd_;
};

TEST_F(FerryNames, NamesFromTheShortNameTableOrTheDefault) {
  TmpItemAry list;
  auto& known = Push(list, Node(0x80, 0x8005), Road());
  auto& empty = Push(list, Node(0, 0x8006), Ferry());
  auto& missing = Push(list, Node(0, 0x8007), Ferry());
  auto& plain = Push(list, Node(0x04, 5, "IC"), Road());
  CMakeFerryNodeName(&hd_).run(list);
  EXPECT_EQ(known.node->name, Sjis(u8"東京港フェリーターミナル"));
  EXPECT_EQ(empty.node->name, Sjis(u8"フェリー乗り場"));
  EXPECT_EQ(missing.node->name, Sjis(u8"フェリー乗り場"));
  EXPECT_EQ(plain.node->name, "IC");
  EXPECT_EQ(Shape(list), "a0/R 20/F 20/F 4/R");
}

// A ferry terminal as via point, reached over roads.
TEST(EraseFerryLoopNode, DetourFromAnEarlierTerminalOfTheSameNameGoes) {
  const std::string port = Sjis(u8"東京港");
  TmpItemAry list;
  Push(list, Node(0x80, 0, "start"), Road());
  Push(list, Node(0x20, 0, port), Road());
  Push(list, Node(0x04), Road());
  auto& b = Push(list, Node(0xA0, 0, port), Road());
  Push(list, nullptr, Ferry());
  CEraseFerryLoopNode().run(list);
  EXPECT_EQ(Shape(list), "80/R a0/R -/F");
  EXPECT_EQ(list.items().front().node->name, "start");
  EXPECT_EQ(&*std::next(list.items().begin()), &b);
}

TEST(EraseFerryLoopNode, LaterTerminalTakesTheViaPointNode) {
  const std::string port = Sjis(u8"東京港");
  TmpItemAry list;
  Push(list, Node(0x80), Road());
  Push(list, Node(0x20, 0, Sjis(u8"東京")), Road());  // not the same bytes
  Push(list, Node(0xA0, 0, port), Road());
  Push(list, Node(0x04), Road());
  auto& x = Push(list, Node(0x20, 0, port), Ferry());
  CEraseFerryLoopNode().run(list);
  EXPECT_EQ(Shape(list), "80/R 20/R a0/F");
  EXPECT_EQ(x.node->name, port);
}

TEST(EraseFerryLoopNode, NothingWithoutAMatchOrWhenReachedByFerry) {
  TmpItemAry list;
  Push(list, Node(0x80), Road());
  Push(list, Node(0xA0, 0, "p"), Road());
  Push(list, Node(0x20, 0, "q"), Ferry());
  CEraseFerryLoopNode().run(list);
  EXPECT_EQ(Shape(list), "80/R a0/R 20/F");

  TmpItemAry byFerry;
  Push(byFerry, Node(0x20, 0, "p"), Ferry());
  Push(byFerry, Node(0xA0, 0, "p"), Road());
  CEraseFerryLoopNode().run(byFerry);
  EXPECT_EQ(Shape(byFerry), "20/F a0/R");
}

TEST(MoveBreakIc, SingleBreakInterchangeMovesBackOnly) {
  TmpItemAry list;
  Push(list, Node(0x80), Road());
  Push(list, Node(0x04, 0, "A"), Hwy());
  Push(list, Node(0x04, 0, "B"), Hwy());
  Push(list, Node(0x84, 0, "via"), Hwy());
  Push(list, Node(0x04, 0, "C"), Hwy());
  Push(list, nullptr, Road());
  CMoveBreakIc().run(list);
  EXPECT_EQ(Shape(list), "80/R 4/H 84/H -/H 4/H -/R");
  EXPECT_EQ(At(list)[2]->node->name, "via");
}

TEST(MoveBreakIc, TwoBreakInterchangesMoveOutwardUnlessARoadLiesBetween) {
  TmpItemAry list;
  Push(list, Node(0x04, 0, "A"), Hwy());
  Push(list, Node(0x84, 0, "first"), Hwy());
  Push(list, Node(0x04, 0, "B"), Road());
  Push(list, Node(0x84, 0, "last"), Hwy());
  Push(list, Node(0x04, 0, "C"), Hwy());
  Push(list, Node(0x04, 0, "D"), Hwy());
  CMoveBreakIc().run(list);
  EXPECT_EQ(Shape(list), "84/H -/H 4/R -/H 84/H 4/H");
  EXPECT_EQ(At(list)[0]->node->name, "first");
  EXPECT_EQ(At(list)[4]->node->name, "last");

  TmpItemAry blocked;
  Push(blocked, Node(0x04, 0, "A"), Hwy());
  Push(blocked, nullptr, Road());
  Push(blocked, Node(0x84, 0, "first"), Hwy());
  CMoveBreakIc().run(blocked);
  EXPECT_EQ(Shape(blocked), "4/H -/R 84/H");
}

// A break interchange that moves onto the plain interchange next to it
// takes its time along (a timed stop starts a leg: the later times count
// from it).
TEST(MoveBreakIc, TheMovedBreakNodeKeepsItsTime) {
  TmpItemAry list;
  Push(list, Node(0x84, 0, "first"), Hwy());
  Push(list, Node(0x04, 0, "A"), Hwy());
  TmpItemAry::Node& via = *Push(list, Node(0x84, 0, "via"), Hwy()).node;
  via.year = 2015, via.month = 6, via.day = 3, via.hour = 12, via.minute = 30, via.second = 5;
  Push(list, Node(0x04, 0, "B"), Hwy());
  CMoveBreakIc().run(list);
  ASSERT_EQ(Shape(list), "84/H 4/H -/H 84/H");
  const TmpItemAry::Node& moved = *At(list)[3]->node;
  EXPECT_EQ(moved.name, "via");
  EXPECT_EQ(moved.year, 2015);
  EXPECT_EQ(moved.month, 6);
  EXPECT_EQ(moved.day, 3);
  EXPECT_EQ(moved.hour, 12);
  EXPECT_EQ(moved.minute, 30);
  EXPECT_EQ(moved.second, 5);
}

// Interchange-like nodes on a highway link: break interchanges and nodes
// with a facility number.
TEST(EraseNotInOutIcNode, OnlyEntryAndExitOfAStretchKeepTheInterchange) {
  TmpItemAry list;
  Push(list, Node(0x80), Road());
  Push(list, Node(0x04, 1), Hwy());   // entry: kept
  Push(list, Node(0x04, 2), Hwy());   // inner, only 0x04: deleted
  Push(list, Node(0x14, 7), Hwy());   // inner with a toll flag: loses 0x04
  Push(list, Node(0x84), Hwy());      // inner break interchange: kept
  Push(list, Node(0x04), Hwy());      // no facility number: not interchange-like
  Push(list, Node(0x05, 9), Hwy());   // exit (last interchange-like node): kept
  Push(list, Node(0x04, 3), Road());  // on an ordinary road: not looked at
  CEraseNotInOutIcNode().run(list);
  EXPECT_EQ(Shape(list), "80/R 4/H -/H 10/H 84/H 4/H 5/H 4/R");
}

TEST(EraseNotInOutIcNode, EntryOfEveryStretchKeepsItsInterchange) {
  TmpItemAry list;
  for (int stretch = 0; stretch < 2; ++stretch) {
    Push(list, Node(0x80), Road());
    Push(list, Node(0x04, 1), Hwy());
    Push(list, Node(0x04, 2), Hwy());
    Push(list, Node(0x04, 3), Hwy());
  }
  Push(list, Node(0x80), Road());
  CEraseNotInOutIcNode().run(list);
  EXPECT_EQ(Shape(list), "80/R 4/H -/H 4/H 80/R 4/H -/H 4/H 80/R");
}

TEST(EraseNotInOutIcNode, RouteStartingOnTheHighway) {
  TmpItemAry list;
  Push(list, Node(0x84), Hwy());  // the start is the first on the stretch
  Push(list, Node(0x04, 1), Hwy());
  Push(list, Node(0x04, 2), Hwy());
  Push(list, nullptr, Road());
  CEraseNotInOutIcNode().run(list);
  EXPECT_EQ(Shape(list), "84/H -/H 4/H -/R");
  TmpItemAry empty;
  EXPECT_TRUE(CEraseNotInOutIcNode().run(empty));
}

TEST(EraseNameMatchNode, FiveNamesOnNonBreakNodes) {
  TmpItemAry list;
  for (const char8_t* name : {u8"本線上分岐", u8"本線分岐", u8"本線合流", u8"起点", u8"終点"})
    Push(list, Node(0x04, 0, Sjis(name)), Hwy());
  Push(list, Node(0x80, 0, Sjis(u8"起点")), Hwy());
  Push(list, Node(0x04, 0, Sjis(u8"起点IC")), Hwy());
  Push(list, Node(0x04, 0, Sjis(u8"本線")), Hwy());
  CEraseNameMatchNode().run(list);
  EXPECT_EQ(Shape(list), "-/H -/H -/H -/H -/H 80/H 4/H 4/H");
}

TEST(MoveInOutIcNode, InterchangeWithin5000OfTheExitMoves) {
  // The interchange node sits where item 0's link ends; the exit where
  // item 2's link ends: 20000 - 15000.
  TmpItemAry near;
  Push(near, Node(0x80), Hwy(15000));
  Push(near, Node(0x04, 0, "IC"), Hwy(18000));
  Push(near, nullptr, Hwy(20000));
  Push(near, nullptr, Road(21000));
  Push(near, Node(0x80), nullptr);
  CMoveInOutIcNode().run(near);
  EXPECT_EQ(Shape(near), "80/H -/H -/H 4/R 80/-");
  EXPECT_EQ(At(near)[3]->node->name, "IC");

  TmpItemAry far;
  Push(far, Node(0x80), Hwy(14999));
  Push(far, Node(0x04, 0, "IC"), Hwy(18000));
  Push(far, nullptr, Hwy(20000));
  Push(far, Node(0x01, 0, "exit"), Road(21000));
  CMoveInOutIcNode().run(far);
  EXPECT_EQ(Shape(far), "80/H 4/H -/H 1/R");
  EXPECT_EQ(At(far)[3]->node->name, "exit");
}

TEST(MoveInOutIcNode, InterchangeWithin5000OfTheEntryMoves) {
  // Backward: the entry at the item whose link is the first highway link;
  // the interchange at 10000 + 5000, the entry where the road ends at 10000.
  TmpItemAry near;
  Push(near, Node(0x80), Road(10000));
  Push(near, Node(0x01, 0, "entry"), Hwy(12000));
  Push(near, nullptr, Hwy(15000));
  Push(near, Node(0x04, 0, "IC"), Hwy(30000));
  Push(near, nullptr, Road(31000));
  Push(near, Node(0x80), Road(32000));
  CMoveInOutIcNode().run(near);
  EXPECT_EQ(At(near)[1]->node->name, "IC");
  EXPECT_EQ(Shape(near), "80/R 4/H -/H -/H -/R 80/R");

  TmpItemAry far;
  Push(far, Node(0x80), Road(10000));
  Push(far, Node(0x01, 0, "entry"), Hwy(12000));
  Push(far, nullptr, Hwy(15001));
  Push(far, Node(0x04, 0, "IC"), Hwy(30000));
  Push(far, Node(0x80), Road(31000));
  CMoveInOutIcNode().run(far);
  EXPECT_EQ(At(far)[1]->node->name, "entry");
  EXPECT_EQ(Shape(far), "80/R 1/H -/H 4/H 80/R");
}

TEST(MoveInOutIcNode, FacilityNodeBetweenStopsTheMove) {
  TmpItemAry list;
  Push(list, Node(0x80), Hwy(15000));
  Push(list, Node(0x04, 0, "IC"), Hwy(16000));
  Push(list, Node(0x01, 33, "SA"), Hwy(20000));  // a facility after the interchange
  Push(list, Node(0x80), Road(21000));
  CMoveInOutIcNode().run(list);
  EXPECT_EQ(Shape(list), "80/H 4/H 1/H 80/R");
}

// A break node where the route leaves or gets onto the highway, or between
// the interchange and that place, stays with its time, and the interchange
// stays at its own place.
TEST(MoveInOutIcNode, ABreakNodeNearTheInterchangeKeepsItsPlaceAndTime) {
  // The exit's item is a via point with a time.
  TmpItemAry exit;
  Push(exit, Node(0x80), Hwy(15000));
  Push(exit, Node(0x04, 0, "IC"), Hwy(18000));
  Push(exit, Node(0x80, 0, "via"), Road(19000)).node->hour = 12;
  CMoveInOutIcNode().run(exit);
  ASSERT_EQ(Shape(exit), "80/H 4/H 80/R");
  EXPECT_EQ(At(exit)[1]->node->name, "IC");
  EXPECT_EQ(At(exit)[2]->node->name, "via");
  EXPECT_EQ(At(exit)[2]->node->hour, 12);

  // The entry's item is the start.
  TmpItemAry entry;
  Push(entry, Node(0x80, 0, "start"), Road(10000));
  Push(entry, Node(0x80, 0, "via"), Hwy(12000));
  Push(entry, Node(0x04, 0, "IC"), Hwy(14000));
  Push(entry, Node(0x80), Hwy(16000));
  CMoveInOutIcNode().run(entry);
  ASSERT_EQ(Shape(entry), "80/R 80/H 4/H 80/H");
  EXPECT_EQ(At(entry)[1]->node->name, "via");

  // A via point on the highway between the interchange and the exit.
  TmpItemAry between;
  Push(between, Node(0x80), Hwy(15000));
  Push(between, Node(0x04, 0, "IC"), Hwy(16000));
  Push(between, Node(0x80, 0, "via"), Hwy(18000));
  Push(between, Node(0x40, 0, "crossing"), Road(19000));
  CMoveInOutIcNode().run(between);
  EXPECT_EQ(Shape(between), "80/H 4/H 80/H 40/R");
}

// An item without a link (a facility at the end of a part) is neither an
// exit nor an entry: the links around it tell whether the route is on the
// highway there.
TEST(MoveInOutIcNode, AnItemWithoutALinkIsNoExitOrEntry) {
  TmpItemAry onward;
  Push(onward, Node(0x80), Hwy(0));
  Push(onward, Node(0x04, 0, "IC"), Hwy(3858));
  Push(onward, nullptr, nullptr);
  Push(onward, Node(0x80), Hwy(4625));
  Push(onward, Node(0x10, 0, "toll"), nullptr);
  CMoveInOutIcNode().run(onward);
  ASSERT_EQ(Shape(onward), "80/H 4/H -/- 80/H 10/-");
  EXPECT_EQ(At(onward)[1]->node->name, "IC");

  // Where the route does leave the highway, the exit is the item of the
  // first ordinary link, past the item without a link; the distance counts
  // from the end of the last highway link.
  TmpItemAry leaving;
  Push(leaving, Node(0x80), Hwy(15000));
  Push(leaving, Node(0x04, 0, "IC"), Hwy(18000));
  Push(leaving, nullptr, Hwy(20000));
  Push(leaving, nullptr, nullptr);
  Push(leaving, Node(0x40, 0, "crossing"), Road(21000));
  CMoveInOutIcNode().run(leaving);
  ASSERT_EQ(Shape(leaving), "80/H -/H -/H -/- 4/R");
  EXPECT_EQ(At(leaving)[4]->node->name, "IC");
}

// The distances of two legs both count from their own leg's start: an
// interchange of one leg is never measured against an exit of another.
TEST(MoveInOutIcNode, DistancesOfTwoLegsAreNotCompared) {
  TmpItemAry list;
  Push(list, Node(0x80), Hwy(28000));
  Push(list, Node(0x04, 0, "IC"), Hwy(30000));
  Push(list, nullptr, Hwy(2000)).link->leg = 1;
  Push(list, nullptr, Hwy(3000)).link->leg = 1;
  Push(list, Node(0x40, 0, "crossing"), Road(4000)).link->leg = 1;
  CMoveInOutIcNode().run(list);
  EXPECT_EQ(Shape(list), "80/H 4/H -/H -/H 40/R");

  // Within one leg the same lengths move it.
  for (TmpItemAry::Item* item : At(list)) item->link->leg = 0;
  At(list)[0]->link->distance = 0;
  At(list)[1]->link->distance = 1000;
  CMoveInOutIcNode().run(list);
  EXPECT_EQ(Shape(list), "80/H -/H -/H -/H 4/R");
}

TEST(EraseJctNode, JunctionOnOneRoadNameDropsItsFlag) {
  TmpItemAry list;
  Push(list, Node(0x80), Hwy()).link->roadNameIdx = 1;
  Push(list, Node(0x08), Hwy()).link->roadNameIdx = 1;   // only flag: deleted
  Push(list, Node(0x18), Hwy()).link->roadNameIdx = 1;   // keeps its toll flag
  Push(list, Node(0x08), Hwy()).link->roadNameIdx = 2;   // another road: kept
  Push(list, Node(0x08), Road()).link->roadNameIdx = 2;  // not highway: kept
  CEraseJctNode().run(list);
  EXPECT_EQ(Shape(list), "80/H -/H 10/H 8/H 8/R");
}

}  // namespace
