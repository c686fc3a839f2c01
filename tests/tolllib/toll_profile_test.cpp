// The result record of a calculation: its sections and the profile of
// every input point, one scenario per kind of point.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toll_lib_test_util.h"

namespace {

using namespace tolllib;

// A profile as (facility, kind, fee1, discounts2, fee2, discounts3, fee3).
struct P {
  int facility;
  int kind;
  int fee1;
  std::vector<int32_t> d2;
  int fee2;
  std::vector<int32_t> d3;
  int fee3;
};

std::string Show(const TollResultRaw::Prof& p) {
  auto list = [](const std::vector<int32_t>& v) {
    std::string s = "[";
    for (int32_t x : v) s += (s.size() > 1 ? " " : "") + std::to_string(x);
    return s + "]";
  };
  return "(" + std::to_string(p.facility) + " " + std::to_string(p.kind) + " " +
         std::to_string(p.fee1) + " " + list(p.discounts2) + " " + std::to_string(p.fee2) + " " +
         list(p.discounts3) + " " + std::to_string(p.fee3) + ")";
}

void ExpectProfiles(const TollResultRaw& r, const std::vector<P>& want) {
  ASSERT_EQ(r.profs.v.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    const TollResultRaw::Prof& p = r.profs.v[i];
    const P& w = want[i];
    EXPECT_TRUE(p.facility == w.facility && p.kind == w.kind && p.fee1 == w.fee1 &&
                p.discounts2 == w.d2 && p.fee2 == w.fee2 && p.discounts3 == w.d3 &&
                p.fee3 == w.fee3)
        << "profile " << i << ": " << Show(p);
  }
}

constexpr int32_t kRule2 = 0x10102;  // rule (1,2) gave the second fee
constexpr int32_t kRule3 = 0x40102;  // ... and the third
constexpr int32_t kLink = 0x20101;   // link kind 1, second byte 1

// Keys (B) of group 0: 1 for #10, 2 for #20, #40, #42, #44, 3 for #41.
//   #10 0x02 entrance          #20 0x01 exit
//   #40 0x11 exit into a transit   #41 0x21 exit (entrance-only kind)
//   #42 0x31 transit exit       #44 0x11 exit, reached by a link fee from #25
//   #25 0x08 link point where link fees start (link 25 -> 44, 200 yen)
//   #26 0x08 link point          #27 0x18 link point of a transit
//   #50 0x04 own fee 300 yen     #12 0x06 own fee, passed inside a section (kind-4 link 10 -> 12)
// Pair 1-2: 1,000 yen, rule (1,2) 30 % off every day; pair 1-3: 600 yen, no rules.
struct Data {
  tollbuild::FacilDat facil;
  tollbuild::TollDat toll;
  Data() {
    facil.version = toll.version = 35;
    facil.day = toll.day = 20150401;
    facil.facilities = {
        Facility(10, 0x02, 1, 0),         Facility(12, 0x06, 1, 0, 1),  Facility(20, 0x01, 2, 0),
        Facility(25, 0x08, 0, 255, 0, 1), Facility(26, 0x08, 0, 255),   Facility(27, 0x18, 0, 255),
        Facility(40, 0x11, 2, 0),         Facility(41, 0x21, 3, 0),     Facility(42, 0x31, 2, 0),
        Facility(44, 0x11, 2, 0),         Facility(50, 0x04, 0, 255, 1)};
    toll.classes = {{0, 0}, {1, 0}, {2, 0}, {3, 0}};
    toll.lists = {List(0x01400000, {1000}), List(0, {600}), List(0, {300}), List(0, {200})};
    tollbuild::Group g;
    g.keys = {1, 2, 3};
    g.pairs = {{1, 2, 0}, {1, 3, 1}};
    toll.groups = {g};
    toll.facilityFees = {{1, 2}};
    toll.rules = {{1, 2, 0xFF00, 0, 0, 255, 255, 300, 0}};
    tollbuild::Link kind4;
    kind4.first = 10;
    kind4.second = 12;
    kind4.kind = 4;
    tollbuild::Link fee;
    fee.first = 25;
    fee.second = 44;
    fee.kind = 1;
    fee.byte2 = 1;
    fee.list = 3;
    toll.links = {kind4, fee};
  }
};

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override { folder_.Write(data_.facil, data_.toll); }
  // Calculates the route and answers its record.
  TollResult Calc(const std::vector<int>& points) {
    Recorder recorder;
    Toll toll;
    EXPECT_EQ(toll.init(&recorder, folder_.folder().c_str()), 0);
    TollInputParam in = Route(points);
    EXPECT_EQ(toll.calc(&in), 0);
    EXPECT_TRUE(PumpResults(recorder, 1));
    if (recorder.results.empty()) return TollResult(new TollResultRaw);
    EXPECT_EQ(recorder.results[0]->code, 0);
    return recorder.results[0];
  }
  Data data_;
  DataFolder folder_;
};

TEST(ProfileFeeFixture, EntranceThenExitGivesTheExactProfilesAndItem) {
  const FeeFixture fixture;
  DataFolder folder;
  folder.Write(fixture.facil, fixture.toll);

  Recorder recorder;
  Toll t;
  ASSERT_EQ(t.init(&recorder, folder.folder().c_str()), 0);
  TollInputParam in = Route({10, 20});
  ASSERT_EQ(t.calc(&in), 0);
  ASSERT_TRUE(PumpResults(recorder, 1));
  const TollResultRaw& r = *recorder.results[0];
  EXPECT_EQ(r.code, 0);
  ExpectProfiles(r,
                 {{10, 0x02, -1, {}, -1, {}, -1}, {20, 0x01, 1000, {kRule2}, 700, {kRule3}, 700}});
  ASSERT_EQ(r.items.v.size(), 1u);
  const TollResultRaw::Item& s = r.items.v[0];
  const std::vector<int32_t> item = {s.entrance,  s.entranceKind, s.exit,        s.exitKind,
                                     s.discount2, s.fee1,         s.fee2,        s.discount3,
                                     s.fee3,      s.reserved[0],  s.reserved[1], s.reserved[2]};
  EXPECT_EQ(item,
            (std::vector<int32_t>{10, 0x02, 20, 0x01, kRule2, 1000, 700, kRule3, 700, 0, 0, 0}));
  EXPECT_EQ(r.total1, 1000);
  EXPECT_EQ(r.total2, 700);
  EXPECT_EQ(r.total3, 700);
}

TEST_F(ProfileTest, AnOwnFeePointTakesItsSingleFeeSection) {
  TollResult r = Calc({50});
  ExpectProfiles(*r, {{50, 0x04, 300, {}, 300, {}, 300}});
  ASSERT_EQ(r->items.v.size(), 1u);
  EXPECT_EQ(r->items.v[0].entrance, 50);
  EXPECT_EQ(r->items.v[0].exit, 0);  // a section without exit shows 0
  EXPECT_EQ(r->total1, 300);
}

TEST_F(ProfileTest, AnOwnFeePointPassedInsideASectionHasNoFee) {
  // #12 lies inside the section opened at #10 (kind-4 link): no section of its own.
  TollResult r = Calc({10, 12, 20});
  ExpectProfiles(*r, {{10, 0x02, -1, {}, -1, {}, -1},
                      {12, 0x06, -1, {}, -1, {}, -1},
                      {20, 0x01, 1000, {kRule2}, 700, {kRule3}, 700}});
  EXPECT_EQ(r->items.v.size(), 1u);
}

TEST_F(ProfileTest, AnExitWithoutACodeOneSectionTakesTheCodeFiveOneAndListsNoZeroDiscount) {
  // #41 (0x21) closes the section with exit code 5: pair 1-3, no discounts.
  TollResult r = Calc({10, 41});
  ExpectProfiles(*r, {{10, 0x02, -1, {}, -1, {}, -1}, {41, 0x21, 600, {}, 600, {}, 600}});
}

TEST_F(ProfileTest, ATransitExitPassesItsFeesToTheNextExit) {
  // #42 (0x31) closes the section (code 5) and keeps its discounts; the fees
  // come due at #20, whose own section (an exit alone) lists no discounts.
  TollResult r = Calc({10, 42, 20});
  ExpectProfiles(*r, {{10, 0x02, -1, {}, -1, {}, -1},
                      {42, 0x31, -1, {kRule2}, -1, {kRule3}, -1},
                      {20, 0x01, 1000, {}, 700, {}, 700}});
  ASSERT_EQ(r->items.v.size(), 2u);
  EXPECT_EQ(r->items.v[1].entrance, 0);  // the exit-only section
  EXPECT_EQ(r->items.v[1].exit, 20);
  EXPECT_EQ(r->items.v[1].discount2, 0);
}

TEST_F(ProfileTest, ALastTransitExitGivesItsFeesBackToTheEntrance) {
  TollResult r = Calc({10, 40});
  ExpectProfiles(*r,
                 {{10, 0x02, 1000, {kRule2}, 700, {kRule3}, 700}, {40, 0x11, -1, {}, -1, {}, -1}});
}

TEST_F(ProfileTest, ALastTransitExitAfterAPointThatIsNoEntranceKeepsItsFees) {
  // #25 starts link fees: the link to #44 prices #44's exit-only section.
  TollResult r = Calc({25, 44});
  ExpectProfiles(*r, {{25, 0x08, 0, {}, 0, {}, 0}, {44, 0x11, 0, {kLink}, 200, {kLink}, 200}});
  EXPECT_EQ(r->total2, 200);
}

TEST_F(ProfileTest, ATransitExitThatIsAlsoTheFirstPointHasNoFee) {
  TollResult r = Calc({44});
  ExpectProfiles(*r, {{44, 0x11, -1, {}, -1, {}, -1}});
  ASSERT_EQ(r->items.v.size(), 1u);
  EXPECT_EQ(r->items.v[0].exit, 44);
}

TEST_F(ProfileTest, ATransitExitBeforeAnEntranceOnlyExitPassesItsFeesOn) {
  TollResult r = Calc({10, 40, 41});
  ExpectProfiles(*r, {{10, 0x02, -1, {}, -1, {}, -1},
                      {40, 0x11, -1, {kRule2}, -1, {kRule3}, -1},
                      {41, 0x21, 1000, {}, 700, {}, 700}});
}

TEST_F(ProfileTest, ATransitExitBeforeAnotherPointGivesItsFeesBackToTheEntrance) {
  TollResult r = Calc({10, 40, 50});
  ExpectProfiles(*r, {{10, 0x02, 1000, {kRule2}, 700, {kRule3}, 700},
                      {40, 0x11, -1, {}, -1, {}, -1},
                      {50, 0x04, 300, {}, 300, {}, 300}});
  EXPECT_EQ(r->total1, 1300);
}

TEST_F(ProfileTest, LinkPointsCostNothingUnlessTheyBelongToATransit) {
  TollResult r = Calc({10, 26, 27, 20});
  ExpectProfiles(*r, {{10, 0x02, -1, {}, -1, {}, -1},
                      {26, 0x08, 0, {}, 0, {}, 0},
                      {27, 0x18, -1, {}, -1, {}, -1},
                      {20, 0x01, 1000, {kRule2}, 700, {kRule3}, 700}});
}

}  // namespace
