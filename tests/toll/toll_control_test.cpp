// The fee calculation on builder-made files: sections, the three fees,
// discount identifiers, link fees and totals.

#include "toll/toll_control.h"

#include <gtest/gtest.h>

#include "support/test_util.h"
#include "support/toll_fixture.h"
#include "toll_test_util.h"

namespace {

using tollbuild::FacilEntry;
using tollbuild::FeeList;

// Packed time of 2015-06-dd hh:mm (day and month counted from 0).
uint32_t At(int day, int hour, int minute) {
  return (static_cast<uint32_t>(2015 + 48) << 21) | (5u << 17) |
         (static_cast<uint32_t>(day - 1) << 12) | (static_cast<uint32_t>(hour) << 6) |
         static_cast<uint32_t>(minute);
}

using tolltest::Facility;
using tolltest::List;

// The shared fee fixture (#10 and #11 entrances, B 1, group 0; #20 exit,
// B 2): group 0 holds the pair with list 0 {rule group 1, item 2; 1,000 yen
// in column 0}; rule (1,2) all days and holidays, mode 0, 300 per mille,
// rounded to 10. Classes 2 and 3 read column 0.
struct Fixture : tolltest::FeeFixture {
  tollbuild::Rule& rule(int first, int second) {
    for (auto& r : toll.rules)
      if (r.first == first && r.second == second) return r;
    toll.rules.push_back(
        {static_cast<uint8_t>(first), static_cast<uint8_t>(second), 0xFF00, 0, 0, 255, 255, 0, 0});
    return toll.rules.back();
  }
  int addList(FeeList l) {
    toll.lists.push_back(std::move(l));
    return static_cast<int>(toll.lists.size()) - 1;
  }
};

class ControlTest : public ::testing::Test {
 protected:
  // Writes the fixture and opens a calculator on it.
  void Open(const Fixture& f) {
    control_ = std::make_unique<TollControl>();
    const std::string facilPath =
        tolltest::WriteFile(dir_, "FACIL.DAT", tolltest::FacilImage(f.facil));
    const std::string tollPath = tolltest::WriteFile(dir_, "TOLL.DAT", tolltest::TollImage(f.toll));
    ASSERT_EQ(control_->open(tollPath.c_str(), facilPath.c_str(), true), 0);
  }
  // Each point 10 minutes after the previous one from 2015-06-01 (a Monday) 10:00.
  TollInputParam Route(std::vector<int> points, int vehicleClass = 3, int option1 = 0,
                       int option2 = 0) {
    TollInputParam in;
    in.vehicleClass = vehicleClass;
    in.option1 = static_cast<uint8_t>(option1);
    in.option2 = static_cast<uint8_t>(option2);
    int minute = 0;
    for (int p : points) {
      TollInputParam::Item item;
      item.facility = p;
      item.time = At(1, 10 + minute / 60, minute % 60);
      item.dayOfWeek = 1;
      in.items.v.push_back(item);
      minute += 10;
    }
    return in;
  }
  int Calc(const Fixture& f, const TollInputParam& in) {
    Open(f);
    return control_->calc(in);
  }
  const TollSection& Only() {
    EXPECT_EQ(control_->sections().size(), 1u);
    return control_->sections().front();
  }
  testutil::TempDir dir_;
  std::unique_ptr<TollControl> control_;
};

TEST(FeeRounding, RoundFeeAndDiscountRate) {
  EXPECT_EQ(roundFee(1234, 0), 1230);
  EXPECT_EQ(roundFee(1235, 0), 1240);
  EXPECT_EQ(roundFee(1234, 1), 1234);  // unit 1: no rounding
  EXPECT_EQ(roundFee(1240, 0), 1240);
  EXPECT_EQ(roundFee(1249, 50), 1250);
  EXPECT_EQ(roundFee(1224, 50), 1200);
  // 1,050 x 667 / 1000 = 700.35: rounded down from the exact value.
  EXPECT_EQ(applyDiscountRate(1050, 333, 1), 700);
  EXPECT_EQ(applyDiscountRate(1000, 300, 0), 700);
  EXPECT_EQ(applyDiscountRate(999, 1, 1), 998);  // 998.001
  EXPECT_EQ(applyDiscountRate(30000, 0, 1), 30000);
  EXPECT_EQ(applyDiscountRate(-1001, 500, 1), -501);  // -500.5 rounds down
}

TEST_F(ControlTest, EntranceToExitIsOneSectionPricedFromTheGroupList) {
  Fixture f;
  ASSERT_EQ(Calc(f, Route({10, 20})), 0);
  const TollSection& s = Only();
  EXPECT_EQ(s.state, kSectionComplete);
  EXPECT_EQ(s.entrance.facil.number, 10);
  EXPECT_EQ(s.entrance.code, 2);
  EXPECT_EQ(s.exit.facil.number, 20);
  EXPECT_EQ(s.exit.code, 1);
  EXPECT_EQ(s.fee1, 1000);
  EXPECT_EQ(s.fee2, 700);
  EXPECT_EQ(s.discount2, 0x10102);
  EXPECT_EQ(s.fee3, 700);
  EXPECT_EQ(s.discount3, 0x40102);
  EXPECT_EQ(control_->total1(), 1000);
  EXPECT_EQ(control_->total2(), 700);
  EXPECT_EQ(control_->total3(), 700);
}

TEST_F(ControlTest, EtcRulesNeedTheFirstOptionByteAndNeverFeedTheSecondFee) {
  Fixture f;
  f.rule(1, 2).dayWord = 0xFF04;
  ASSERT_EQ(Calc(f, Route({10, 20})), 0);
  EXPECT_EQ(Only().fee2, 1000);
  EXPECT_EQ(Only().fee3, 1000);
  EXPECT_EQ(Only().discount2, 0);
  EXPECT_EQ(Only().discount3, 0);
  ASSERT_EQ(Calc(f, Route({10, 20}, 3, 1)), 0);
  EXPECT_EQ(Only().fee2, 1000);
  EXPECT_EQ(Only().discount2, 0);
  EXPECT_EQ(Only().fee3, 700);
  EXPECT_EQ(Only().discount3, 0x40102);
}

TEST_F(ControlTest, HalfFeeRuleForClassesOneAndThreeWithTheSecondOptionByte) {
  Fixture f;
  f.rule(1, 2).dayWord = 0xFF04;
  f.rule(1, 2).rate = 200;
  ASSERT_EQ(Calc(f, Route({10, 20}, 3, 1)), 0);
  EXPECT_EQ(Only().fee2, 1000);
  EXPECT_EQ(Only().fee3, 800);
  ASSERT_EQ(Calc(f, Route({10, 20}, 3, 1, 1)), 0);
  EXPECT_EQ(Only().fee3, 500);
  EXPECT_EQ(Only().discount3, kHalfFee);
  ASSERT_EQ(Calc(f, Route({10, 20}, 2, 1, 1)), 0);
  EXPECT_EQ(Only().fee3, 800);
  EXPECT_EQ(Only().discount3, 0x40102);
  // Half of 1,000 equal to the third fee: only the identifier changes.
  f.rule(1, 2).rate = 500;
  ASSERT_EQ(Calc(f, Route({10, 20}, 1, 1, 1)), 0);
  EXPECT_EQ(Only().fee3, 500);
  EXPECT_EQ(Only().discount3, kHalfFee);
  // The half is rounded by the rounding unit of rule (group, 1).
  f.toll.lists[0].rows = {{1090}};
  f.rule(1, 2).dayWord = 0xFF04;
  f.rule(1, 2).rate = 0;
  f.rule(1, 1).roundingUnit = 100;
  ASSERT_EQ(Calc(f, Route({10, 20}, 3, 0, 1)), 0);
  EXPECT_EQ(Only().fee3, 500);  // 545 to the hundred below
  f.rule(1, 1).roundingUnit = 1;
  ASSERT_EQ(Calc(f, Route({10, 20}, 3, 0, 1)), 0);
  EXPECT_EQ(Only().fee3, 545);
}

TEST_F(ControlTest, FailureCodes) {
  Fixture f;
  EXPECT_EQ(Calc(f, Route({10, 11, 20})), kTollBadSequence);  // two entrances, no kind-4 link
  EXPECT_EQ(Calc(f, Route({0, 20})), kTollNoFacility);        // facility 0 is not in the file
  EXPECT_EQ(Calc(f, Route({10, 99})), kTollNoFacility);
  EXPECT_EQ(Calc(f, Route({20, 20})), kTollBadSequence);  // two exits
  Fixture noRule;
  noRule.toll.rules.clear();
  EXPECT_EQ(Calc(noRule, Route({10, 20})), kTollNoDiscount);
  Fixture noPair;
  noPair.toll.groups[0].pairs.clear();
  EXPECT_EQ(Calc(noPair, Route({10, 20})), kTollNoFeeList);
  Fixture noBase;
  noBase.toll.lists[0].rowMask = 0x4000;  // a row for item 2 only
  EXPECT_EQ(Calc(noBase, Route({10, 20})), kTollNoFeeList);
  // With a kind-4 link two entrances in a row are one section.
  f.toll.links = {{10, 11, 4, 0, 0, -1}};
  ASSERT_EQ(Calc(f, Route({10, 11, 20})), 0);
  EXPECT_EQ(Only().entrance.facil.number, 10);
  EXPECT_EQ(Only().fee1, 1000);
}

TEST_F(ControlTest, OpenReportsEachFileAndTheirAgreement) {
  Fixture f;
  const std::string facilPath =
      tolltest::WriteFile(dir_, "FACIL.DAT", tolltest::FacilImage(f.facil));
  const std::string tollPath = tolltest::WriteFile(dir_, "TOLL.DAT", tolltest::TollImage(f.toll));
  f.toll.version = 34;
  const std::string other = tolltest::WriteFile(dir_, "T34.DAT", tolltest::TollImage(f.toll));
  f.toll.version = 35;
  f.toll.day = 1;
  const std::string day = tolltest::WriteFile(dir_, "TDAY.DAT", tolltest::TollImage(f.toll));
  EXPECT_EQ(TollControl().open(dir_.Sys("NONE.DAT").c_str(), facilPath.c_str(), true),
            kTollNoTable);
  EXPECT_EQ(TollControl().open(tollPath.c_str(), dir_.Sys("NONE.DAT").c_str(), true), kTollNoFacil);
  EXPECT_EQ(TollControl().open(other.c_str(), facilPath.c_str(), true), kTollVersion);
  EXPECT_EQ(TollControl().open(day.c_str(), facilPath.c_str(), true), kTollDay);
  EXPECT_EQ(TollControl().open(day.c_str(), facilPath.c_str(), false), 0);
  f.toll.classes.resize(17);
  const std::string bad = tolltest::WriteFile(dir_, "T17.DAT", tolltest::TollImage(f.toll));
  EXPECT_EQ(TollControl().open(bad.c_str(), facilPath.c_str(), false), kTollBadHeader);
  // A FACIL.DAT cut inside its header cannot be used.
  const std::string cut =
      tolltest::WriteFile(dir_, "CUT.DAT", tolltest::FacilImage(f.facil).substr(0, 14));
  EXPECT_EQ(TollControl().open(tollPath.c_str(), cut.c_str(), false), kTollNoFacility);
}

TEST_F(ControlTest, AnExitWithoutEntranceIsADroppedSectionOfNoFee) {
  Fixture f;
  ASSERT_EQ(Calc(f, Route({20})), 0);
  const TollSection& s = Only();
  EXPECT_EQ(s.state, kSectionDropped);
  EXPECT_EQ(s.entrance.facil.number, 0);
  EXPECT_EQ(s.exit.code, 1);
  EXPECT_EQ(s.fee1 + s.fee2 + s.fee3, 0);
  EXPECT_EQ(control_->total1() + control_->total2() + control_->total3(), 0);
  // An entrance never closed is dropped at the end.
  ASSERT_EQ(Calc(f, Route({10})), 0);
  EXPECT_EQ(Only().state, kSectionDropped);
  EXPECT_EQ(control_->total1(), 0);
}

TEST_F(ControlTest, NegativeBaseFeeLeavesFirstAndSecondAtZero) {
  Fixture f;
  f.toll.lists[0].rows = {{-200}};
  f.toll.lists[0].flags = 0x01000000;  // no rule items
  ASSERT_EQ(Calc(f, Route({10, 20})), 0);
  EXPECT_EQ(Only().fee1, 0);
  EXPECT_EQ(Only().fee2, 0);
  EXPECT_EQ(Only().fee3, -200);
  EXPECT_EQ(control_->total3(), -200);
}

TEST_F(ControlTest, SingleFeeFacilityByItsKeyC) {
  Fixture f;
  f.facil.facilities.push_back(Facility(30, 0x04, 0, 255, 5));
  f.toll.facilityFees = {{5, f.addList(List(0, {640}))}};
  ASSERT_EQ(Calc(f, Route({30})), 0);
  EXPECT_EQ(Only().entrance.code, 3);
  EXPECT_EQ(Only().state, kSectionComplete);
  EXPECT_EQ(Only().fee1, 640);
  EXPECT_EQ(control_->total3(), 640);
  // A single-fee point whose key has no list.
  f.toll.facilityFees = {{6, 1}};
  EXPECT_EQ(Calc(f, Route({30})), kTollNoFeeList);
}

// A section made free by kind bit 0x40 with the first option byte 0 runs
// no discount rules, so an exclusive rule cannot charge for it.
TEST_F(ControlTest, FreeSectionRunsNoDiscountRules) {
  Fixture f;
  f.facil.facilities.push_back(Facility(31, 0x44, 0, 255, 5));
  f.toll.facilityFees = {{5, f.addList(List(0x05400000, {640}))}};  // group 5, item 2
  f.toll.rules.push_back({5, 2, 0xFF08, 0, 0, 255, 255, 100, 0});   // exclusive, 576 -> 580
  ASSERT_EQ(Calc(f, Route({31})), 0);
  EXPECT_EQ(Only().fee1, 0);
  EXPECT_EQ(Only().fee2, 0);
  EXPECT_EQ(Only().fee3, 0);
  EXPECT_EQ(Only().discount3, 0);
  ASSERT_EQ(Calc(f, Route({31}, 3, 1)), 0);
  EXPECT_EQ(Only().fee1, 640);
  EXPECT_EQ(Only().fee3, 580);
  EXPECT_EQ(Only().discount3, 0x40502);
}

TEST_F(ControlTest, ExclusiveRuleIsTakenEvenWhenItRaisesTheThirdFee) {
  Fixture f;
  f.toll.lists[0].flags = 0x01700000;                              // items 2, 3, 4
  f.toll.rules.push_back({1, 3, 0xFF08, 0, 0, 255, 255, 100, 0});  // exclusive: 900
  f.toll.rules.push_back(
      {1, 4, 0xFF00, 0, 0, 255, 255, 500, 0});  // 500, but after the exclusive one
  ASSERT_EQ(Calc(f, Route({10, 20})), 0);
  EXPECT_EQ(Only().fee3, 900);
  EXPECT_EQ(Only().discount3, 0x40103);
  EXPECT_EQ(Only().fee2, 700);  // the second fee only ever falls
  EXPECT_EQ(Only().discount2, 0x10102);
  // A second exclusive rule is considered after the first only when lower.
  f.toll.rules.back().dayWord = 0xFF08;
  ASSERT_EQ(Calc(f, Route({10, 20})), 0);
  EXPECT_EQ(Only().fee3, 500);
  EXPECT_EQ(Only().discount3, 0x40104);
  EXPECT_EQ(Only().fee2, 500);
}

TEST_F(ControlTest, SameDateRepeatOfARuleIsExcludedUnlessExemptOrLinked) {
  Fixture f;
  // Two trips the same day: the second does not get the discount again.
  ASSERT_EQ(Calc(f, Route({10, 20, 10, 20})), 0);
  ASSERT_EQ(control_->sections().size(), 2u);
  EXPECT_EQ(control_->sections()[0].fee3, 700);
  EXPECT_EQ(control_->sections()[1].fee3, 1000);
  EXPECT_EQ(control_->sections()[1].discount3, 0);
  EXPECT_EQ(control_->total3(), 1700);
  // Day-word bit 7: the rule may repeat.
  Fixture exempt;
  exempt.rule(1, 2).dayWord = 0xFF80;
  ASSERT_EQ(Calc(exempt, Route({10, 20, 10, 20})), 0);
  EXPECT_EQ(control_->sections()[1].fee3, 700);
  // A link from the previous section's entrance to this entrance continues the trip.
  Fixture linked;
  linked.toll.links = {{10, 11, 7, 0, 0, -1}};
  ASSERT_EQ(Calc(linked, Route({10, 20, 11, 20})), 0);
  EXPECT_EQ(control_->sections()[1].fee3, 700);
  // Another date is another day's discount.
  TollInputParam twoDays = Route({10, 20, 10, 20});
  twoDays.items.v[2].time = At(2, 9, 0);
  twoDays.items.v[3].time = At(2, 9, 30);
  ASSERT_EQ(Calc(f, twoDays), 0);
  EXPECT_EQ(control_->sections()[1].fee3, 700);
}

// The half-fee rule leaves its own identifier on a section whose third fee
// came from a rule; a second trip the same day still may not take the rule.
TEST_F(ControlTest, SameDateRepeatIsExcludedAfterTheHalfFeeRule) {
  Fixture f;
  f.toll.lists[0].rows = {{2000}};
  f.rule(1, 2).rate = 100;  // 1,800, also the second fee
  // Two trips on Monday, class 3 with the second option byte.
  ASSERT_EQ(Calc(f, Route({10, 20, 10, 20}, 3, 0, 1)), 0);
  ASSERT_EQ(control_->sections().size(), 2u);
  const TollSection& first = control_->sections()[0];
  EXPECT_EQ(first.fee2, 1800);
  EXPECT_EQ(first.fee3, 900);
  EXPECT_EQ(first.discount3, kHalfFee);
  const TollSection& second = control_->sections()[1];
  EXPECT_EQ(second.fee2, 2000);
  EXPECT_EQ(second.discount2, 0);
  EXPECT_EQ(second.fee3, 1000);
  EXPECT_EQ(control_->total1(), 4000);
  EXPECT_EQ(control_->total2(), 3800);
  EXPECT_EQ(control_->total3(), 1900);
}

// Three trips, each continued over a link from the entrance before: the
// link lifts the exclusion for the current trip even though the first trip
// held the rule that day too. Rule (1,2) is exclusive at the undiscounted
// 300 yen; without it the exclusive rule (1,3) takes the row of 400 yen.
TEST_F(ControlTest, LinkFromThePreviousEntranceLiftsTheRepeatExclusionWhateverHeldTheRuleBefore) {
  Fixture f;
  f.facil.facilities.insert(f.facil.facilities.begin() + 2, Facility(12, 0x02, 1, 0));
  f.toll.lists[0] = List(0x01600000, {300}, 0xA000);  // items 2 and 3; rows of items 1 and 3
  f.toll.lists[0].rows.push_back({400});
  f.toll.rules = {{1, 2, 0xFF08, 0, 0, 255, 255, 0, 0}, {1, 3, 0xFF08, 0, 0, 255, 3, 0, 0}};
  f.toll.links = {{10, 11, 7, 0, 0, -1}, {11, 12, 7, 0, 0, -1}};
  ASSERT_EQ(Calc(f, Route({10, 20, 11, 20, 12, 20})), 0);
  ASSERT_EQ(control_->sections().size(), 3u);
  for (const TollSection& s : control_->sections()) {
    EXPECT_EQ(s.fee3, 300);
    EXPECT_EQ(s.discount3, 0x40102);
  }
  EXPECT_EQ(control_->total1(), 900);
  EXPECT_EQ(control_->total2(), 900);
  EXPECT_EQ(control_->total3(), 900);
  // Without the second link the third trip repeats the rule: 400 yen.
  f.toll.links.pop_back();
  ASSERT_EQ(Calc(f, Route({10, 20, 11, 20, 12, 20})), 0);
  EXPECT_EQ(control_->sections()[2].fee3, 400);
  EXPECT_EQ(control_->sections()[2].discount3, 0x40103);
  EXPECT_EQ(control_->total3(), 1000);
}

// Step 1 reads the facilities pair by pair: an impossible pair is reported
// before a later point that cannot be read.
TEST(ControlSampleData, PairCheckFailsAtTheFirstImpossiblePairBeforeAnUnknownFacility) {
  TollControl control;
  ASSERT_EQ(control.open(tolltest::SampleFile(35, "TOLL.DAT").c_str(),
                         tolltest::SampleFile(35, "FACIL.DAT").c_str(), true),
            0);
  TollInputParam in;
  in.vehicleClass = 3;
  for (int facility : {20, 30, 99}) {  // two entrances without a passing link, then no facility
    TollInputParam::Item item;
    item.facility = facility;
    item.time = At(3, 12, 0);
    item.dayOfWeek = 3;
    in.items.v.push_back(item);
  }
  EXPECT_EQ(control.calc(in), kTollBadSequence);
  in.items.v[1].facility = 21;  // a valid pair first: the unknown facility decides
  EXPECT_EQ(control.calc(in), kTollNoFacility);
  in.items.v = {in.items.v[2]};  // a single point is read by the builders
  EXPECT_EQ(control.calc(in), kTollNoFacility);
}

TEST_F(ControlTest, FiveKeysAreSkippedForVehicleClassesOtherThanZeroOneThree) {
  Fixture f;
  f.toll.lists[0].flags = 0x01000000 | (1u << 22) | (1u << 16);  // items 2 and 8
  f.toll.rules.push_back({1, 8, 0xFF00, 0, 0, 255, 255, 500, 0});
  ASSERT_EQ(Calc(f, Route({10, 20}, 3)), 0);
  EXPECT_EQ(Only().fee3, 500);
  EXPECT_EQ(Only().discount3, 0x40108);
  ASSERT_EQ(Calc(f, Route({10, 20}, 2)), 0);
  EXPECT_EQ(Only().fee3, 700);  // (1,8) is not for class 2
  // A skipped key is not even looked up: its rule may be missing.
  f.toll.lists[0].flags = 0x01000000 | (1u << 22) | (1u << 15);  // items 2 and 9
  ASSERT_EQ(Calc(f, Route({10, 20}, 2)), 0);
  EXPECT_EQ(Only().fee3, 700);
  EXPECT_EQ(Calc(f, Route({10, 20}, 3)), kTollNoDiscount);
}

TEST_F(ControlTest, RuleWindowAndDaysDecide) {
  Fixture f;
  f.rule(1, 2).dayWord = 0x0110;  // holidays only, mode 1
  f.rule(1, 2).windowStart = 0;
  f.rule(1, 2).windowEnd = 4 * 256;
  ASSERT_EQ(Calc(f, Route({10, 20})), 0);
  EXPECT_EQ(Only().fee3, 1000);  // Monday
  TollInputParam night = Route({10, 20});
  for (auto& item : night.items.v) item.holiday = 1;
  ASSERT_EQ(Calc(f, night), 0);
  EXPECT_EQ(Only().fee3, 1000);  // a holiday, but 10:00 is outside 0:00-4:00
  night.items.v[0].time = At(1, 3, 50);
  night.items.v[1].time = At(1, 4, 20);
  ASSERT_EQ(Calc(f, night), 0);
  EXPECT_EQ(Only().fee3, 700);
  // A packed time of 0 never matches.
  night.items.v[0].time = 0;
  ASSERT_EQ(Calc(f, night), 0);
  EXPECT_EQ(Only().fee3, 1000);
}

// #40: a single-fee point (500 yen) whose second kind byte starts link fees;
// links from #40 to the exit #20 give the fee of the later section.
struct LinkFixture : Fixture {
  LinkFixture() {
    facil.facilities.push_back(Facility(40, 0x04, 0, 255, 6, 1));
    toll.facilityFees = {{6, addList(List(0, {500}))}};
    const int a = addList(List(0, {600}));
    const int b = addList(List(0, {100}));
    const int c = addList(List(0, {550}));
    toll.links = {{40, 20, 1, 2, 30, a}, {40, 20, 120, 0, 0, b}, {40, 20, 2, 1, 0x8000, c}};
  }
};

TEST_F(ControlTest, LinkFeesSkipKinds110To150AndEtcLinksWithoutTheOptionByte) {
  LinkFixture f;
  ASSERT_EQ(Calc(f, Route({40, 10, 20})), 0);  // 10:00, 10:10, 10:20
  ASSERT_EQ(control_->sections().size(), 2u);
  const TollSection& s = control_->sections()[0];
  EXPECT_EQ(s.fee3, 500);
  const TollSection& t = control_->sections()[1];
  EXPECT_EQ(t.fee1, 1000);
  EXPECT_EQ(t.fee3, 600);
  EXPECT_EQ(t.discount3, 0x20102);
  EXPECT_EQ(t.fee2, 600);
  EXPECT_EQ(t.discount2, 0x20102);
  EXPECT_EQ(t.group3, 1);
  EXPECT_EQ(control_->total1(), 1500);
  EXPECT_EQ(control_->total2(), 1100);
  EXPECT_EQ(control_->total3(), 1100);
  // With the first option byte the bit-15 link comes last and sets only the third fee.
  ASSERT_EQ(Calc(f, Route({40, 10, 20}, 3, 1)), 0);
  EXPECT_EQ(control_->sections()[1].fee3, 550);
  EXPECT_EQ(control_->sections()[1].discount3, 0x20201);
  EXPECT_EQ(control_->sections()[1].fee2, 600);
}

// Passing links (kind 4) and junctions (kind 100) carry no fee list: among
// the links evaluated they add nothing and fail nothing.
TEST_F(ControlTest, LinksWithoutAFeeListContributeNothing) {
  LinkFixture f;
  f.toll.links.insert(f.toll.links.begin(), {40, 20, 4, 0, 0, -1});
  f.toll.links.push_back({40, 20, 100, 0, 0, -1});
  ASSERT_EQ(Calc(f, Route({40, 10, 20})), 0);
  ASSERT_EQ(control_->sections().size(), 2u);
  EXPECT_EQ(control_->sections()[1].fee3, 600);
  EXPECT_EQ(control_->sections()[1].discount3, 0x20102);
  EXPECT_EQ(control_->total1(), 1500);
  EXPECT_EQ(control_->total2(), 1100);
  EXPECT_EQ(control_->total3(), 1100);
  // A link to the next entrance without a list ends the walk with no fee.
  f.toll.links = {{40, 10, 4, 0, 0, -1}, {40, 20, 1, 2, 30, f.toll.links[1].list}};
  ASSERT_EQ(Calc(f, Route({40, 10, 20})), 0);
  EXPECT_EQ(control_->sections()[1].fee3, 700);
  EXPECT_EQ(control_->sections()[1].discount3, 0x40102);
  EXPECT_EQ(control_->total3(), 1200);
}

TEST_F(ControlTest, LinkMinuteLimitCountsFromTheFirstEntrance) {
  LinkFixture f;
  TollInputParam in = Route({40, 10, 20});
  in.items.v[2].time = At(1, 10, 30);  // 30 minutes after #40: still within the limit
  ASSERT_EQ(Calc(f, in), 0);
  EXPECT_EQ(control_->sections()[1].fee3, 600);
  in.items.v[2].time = At(1, 10, 31);
  ASSERT_EQ(Calc(f, in), 0);
  EXPECT_EQ(control_->sections()[1].fee3, 700);  // the section's own discount stays
  EXPECT_EQ(control_->sections()[1].discount3, 0x40102);
  in.items.v[2].time = At(2, 10, 0);  // the next day
  ASSERT_EQ(Calc(f, in), 0);
  EXPECT_EQ(control_->sections()[1].fee3, 700);
}

TEST_F(ControlTest, TotalsCountDroppedSectionsWithTheirLinkFees) {
  LinkFixture f;
  f.facil.facilities.push_back(Facility(41, 0x22, 0, 255, 0, 1));  // entrance-only point
  f.toll.links.push_back({41, 20, 3, 0, 0, f.addList(List(0, {300}))});
  ASSERT_EQ(Calc(f, Route({41, 20})), 0);
  ASSERT_EQ(control_->sections().size(), 2u);
  EXPECT_EQ(control_->sections()[0].entrance.code, 6);
  EXPECT_EQ(control_->sections()[0].state, kSectionDropped);
  EXPECT_EQ(control_->sections()[1].state, kSectionDropped);
  EXPECT_EQ(control_->sections()[1].fee3, 300);
  EXPECT_EQ(control_->total1(), 0);
  EXPECT_EQ(control_->total2(), 300);
  EXPECT_EQ(control_->total3(), 300);
}

TEST_F(ControlTest, LinkPointsPassOrMakeSectionsWithoutFee) {
  Fixture f;
  f.facil.facilities.push_back(Facility(25, 0x08, 0, 255));  // junction
  f.facil.facilities.push_back(Facility(35, 0x08, 0, 255));  // no links
  f.toll.links = {{25, 99, 100, 0, 0, -1}};
  ASSERT_EQ(Calc(f, Route({10, 25, 20})), 0);
  ASSERT_EQ(control_->sections().size(), 1u);
  EXPECT_EQ(Only().passed, (std::vector<uint16_t>{25}));
  EXPECT_EQ(Only().fee1, 1000);
  ASSERT_EQ(Calc(f, Route({10, 35, 20})), 0);
  ASSERT_EQ(control_->sections().size(), 2u);
  EXPECT_EQ(control_->sections()[1].entrance.code, 4);
  EXPECT_EQ(control_->sections()[1].fee1, 0);
  EXPECT_EQ(control_->total1(), 1000);
  // A junction with no open section opens one that an exit then drops.
  ASSERT_EQ(Calc(f, Route({25, 20})), 0);
  EXPECT_EQ(Only().state, kSectionDropped);
  EXPECT_EQ(Only().passed, (std::vector<uint16_t>{25}));
  // takeSection finds each section once.
  ASSERT_EQ(Calc(f, Route({10, 35, 20})), 0);
  EXPECT_NE(control_->takeSection(20, 1), nullptr);
  EXPECT_EQ(control_->takeSection(20, 1), nullptr);
  EXPECT_NE(control_->takeSection(35, 4), nullptr);
  EXPECT_EQ(control_->takeSection(10, 3), nullptr);
}

}  // namespace
