// Toll2: the toll input built from a route result, the toll word written
// into the handler's copy, and the answers without a calculation.

#include "toll/toll2.h"

#include <gtest/gtest.h>

#include <thread>

#include "toll/toll2_input.h"
#include "toll/toll_calendar.h"
#include "toll_lib_test_util.h"

namespace {

using namespace tolllib;

struct Recorder2 : Toll2Handler {
  std::vector<RouteSingleResult> results;
  std::vector<Toll2*> tolls;
  std::vector<int> values;
  std::vector<std::thread::id> threads;
  int others = 0;
  void onResult(Toll2* toll, int value, RouteSingleResult result) override {
    results.push_back(result);
    tolls.push_back(toll);
    values.push_back(value);
    threads.push_back(std::this_thread::get_id());
  }
  void onCancel(Toll2*) override { ++others; }
  void onError(Toll2*, int) override { ++others; }
  void onNotify(Toll2*) override { ++others; }
};

bool PumpResults2(const Recorder2& r, std::size_t count) {
  return plat::PumpUntil([&] { return r.results.size() >= count; }, 20000);
}

TravelClock::Time Time(int year, int month, int day, int hour, int minute) {
  TravelClock::Time t;
  t.set(year, month - 1, day - 1, hour, minute, 0);
  return t;
}

PartLink Point(int facility, uint32_t seconds) {
  PartLink l;
  l.facility = static_cast<uint16_t>(facility);
  l.seconds = seconds;
  return l;
}

// A route of parts, each a list of toll points.
RouteSingleResult MakeRoute(const TravelClock::Time& departure,
                            const std::vector<std::vector<PartLink>>& parts, int vehicleType = 3,
                            int option = 0) {
  auto raw = std::make_shared<RouteSingleResultRaw>();
  raw->departure = departure;
  raw->vehicleType = vehicleType;
  raw->option = static_cast<uint8_t>(option);
  for (const auto& links : parts) {
    auto part = std::make_shared<PartPath>();
    part->links = links;
    raw->parts.push_back(part);
  }
  return RouteSingleResult(raw);
}

TEST(Toll2Input, VehicleTypesOutsideTheClassesBecomeClassThree) {
  const TravelClock::Time t = Time(2015, 6, 1, 10, 0);
  const int expected[] = {0, 1, 2, 3, 4, 5, 6, 3, 3};
  for (int type = 0; type <= 8; ++type) {
    const TollInputParam in = buildToll2Input(MakeRoute(t, {{Point(10, 0)}}, type, 1));
    EXPECT_EQ(in.vehicleClass, expected[type]) << type;
    EXPECT_EQ(in.option1, 1);
    EXPECT_EQ(in.option2, 0);
  }
  EXPECT_EQ(buildToll2Input(MakeRoute(t, {{Point(10, 0)}}, -1)).vehicleClass, 3);
}

TEST(Toll2Input, EveryPointOfEveryPartInOrderWithItsPassingTime) {
  // 2015-06-01 is a Monday.
  const RouteSingleResult route =
      MakeRoute(Time(2015, 6, 1, 10, 0),
                {{Point(0x800A, 0), Point(20, 600)}, {}, {Point(30, 3600 * 14 + 60)}});
  const TollInputParam in = buildToll2Input(route);
  ASSERT_EQ(in.items.v.size(), 3u);
  EXPECT_EQ(in.items.v[0].facility, 10);  // 15 bits
  EXPECT_EQ(in.items.v[0].time, packTime(Time(2015, 6, 1, 10, 0)));
  EXPECT_EQ(in.items.v[0].dayOfWeek, 1);
  EXPECT_EQ(in.items.v[1].facility, 20);
  EXPECT_EQ(in.items.v[1].time, packTime(Time(2015, 6, 1, 10, 10)));
  EXPECT_EQ(in.items.v[2].facility, 30);
  EXPECT_EQ(in.items.v[2].time, packTime(Time(2015, 6, 2, 0, 1)));  // past midnight: Tuesday
  EXPECT_EQ(in.items.v[2].dayOfWeek, 2);
  for (const auto& item : in.items.v) EXPECT_EQ(item.holiday, 0);
}

TEST(Toll2Input, HolidaysComeFromTheTableOfTheDepartureYearAndTheNext) {
  // 2017-12-31 23:59 + 120 s is 2018-01-01 00:01, a Monday: the table has
  // no 2018 dates, so no holiday.
  TollInputParam in = buildToll2Input(MakeRoute(Time(2017, 12, 31, 23, 59), {{Point(10, 120)}}));
  ASSERT_EQ(in.items.v.size(), 1u);
  EXPECT_EQ(in.items.v[0].time, packTime(Time(2018, 1, 1, 0, 1)));
  EXPECT_EQ(in.items.v[0].dayOfWeek, 1);
  EXPECT_EQ(in.items.v[0].holiday, 0);
  // A year earlier the passing date (2017-01-01, a Sunday) is in the table.
  in = buildToll2Input(MakeRoute(Time(2016, 12, 31, 23, 59), {{Point(10, 120)}}));
  EXPECT_EQ(in.items.v[0].time, packTime(Time(2017, 1, 1, 0, 1)));
  EXPECT_EQ(in.items.v[0].dayOfWeek, 0);
  EXPECT_EQ(in.items.v[0].holiday, 1);
  // More than a year after the departure: no holiday, though the table has the date.
  in = buildToll2Input(MakeRoute(Time(2015, 1, 1, 0, 0), {{Point(10, 2 * 366 * 86400)}}));
  EXPECT_EQ(in.items.v[0].time, packTime(Time(2017, 1, 2, 0, 0)));
  EXPECT_EQ(in.items.v[0].holiday, 0);
}

// #10 entrance and #20 exit, 1,000 yen for class 3 (column 1; 900 in
// column 0); rule (1,2) 20 % off, only with the first option byte.
struct Data {
  tollbuild::FacilDat facil;
  tollbuild::TollDat toll;
  Data() {
    facil.version = toll.version = 35;
    facil.day = toll.day = 20150401;
    facil.facilities = {Facility(10, 0x02, 1, 0), Facility(20, 0x01, 2, 0)};
    toll.classes = {{0, 0}, {1, 0}, {2, 0}, {3, 1}, {4, 0}, {5, 0}, {6, 0}};
    toll.lists = {List(0x01400000, {900, 1000})};
    tollbuild::Group g;
    g.keys = {1, 2};
    g.pairs = {{1, 2, 0}};
    toll.groups = {g};
    toll.rules = {{1, 2, 0xFF04, 0, 0, 255, 255, 200, 0}};
  }
};

class Toll2Test : public ::testing::Test {
 protected:
  void SetUp() override { folder_.Write(data_.facil, data_.toll); }
  RouteSingleResult Route(int vehicleType, int option) {
    return MakeRoute(Time(2015, 6, 1, 10, 0), {{Point(10, 0)}, {Point(20, 1200)}}, vehicleType,
                     option);
  }
  Data data_;
  DataFolder folder_;
  Recorder2 recorder_;
};

TEST_F(Toll2Test, ARouteWithoutTollPointsIsAnsweredBeforeCalcReturns) {
  Toll2 toll;
  ASSERT_EQ(toll.init(&recorder_, folder_.folder().c_str()), 0);
  const RouteSingleResult route = MakeRoute(Time(2015, 6, 1, 10, 0), {{}, {}});
  EXPECT_EQ(toll.calc(route), 0);
  ASSERT_EQ(recorder_.results.size(), 1u);  // no pumping needed
  EXPECT_EQ(recorder_.tolls[0], &toll);
  EXPECT_EQ(recorder_.values[0], 0);
  EXPECT_EQ(recorder_.results[0].raw(), route.raw());
  EXPECT_EQ(recorder_.results[0].toll(), 0);
  EXPECT_EQ(toll.calc(RouteSingleResult()), 0);  // an empty handle as well
  EXPECT_EQ(recorder_.results.size(), 2u);
  PumpFor(100);
  EXPECT_EQ(recorder_.results.size(), 2u);
}

TEST_F(Toll2Test, TheTollWordIsTheThirdTotalWithTheOptionByteElseTheSecond) {
  Toll2 toll;
  ASSERT_EQ(toll.init(&recorder_, folder_.folder().c_str()), 0);
  const RouteSingleResult etc = Route(3, 1);
  ASSERT_EQ(toll.calc(etc), 0);
  ASSERT_TRUE(PumpResults2(recorder_, 1));
  EXPECT_EQ(recorder_.results[0].toll(), 800);
  EXPECT_EQ(recorder_.values[0], 0);
  EXPECT_EQ(recorder_.tolls[0], &toll);
  EXPECT_EQ(recorder_.threads[0], std::this_thread::get_id());
  EXPECT_EQ(recorder_.results[0].raw(), etc.raw());
  EXPECT_EQ(etc.toll(), 0);  // the caller's handle keeps its own word

  ASSERT_EQ(toll.calc(Route(3, 0)), 0);
  ASSERT_TRUE(PumpResults2(recorder_, 2));
  EXPECT_EQ(recorder_.results[1].toll(), 1000);
  EXPECT_EQ(recorder_.others, 0);
}

TEST_F(Toll2Test, VehicleTypeSevenIsCalculatedAsClassThree) {
  Toll2 toll;
  ASSERT_EQ(toll.init(&recorder_, folder_.folder().c_str()), 0);
  ASSERT_EQ(toll.calc(Route(7, 0)), 0);
  ASSERT_TRUE(PumpResults2(recorder_, 1));
  EXPECT_EQ(recorder_.results[0].toll(), 1000);  // column 1
  ASSERT_EQ(toll.calc(Route(2, 0)), 0);
  ASSERT_TRUE(PumpResults2(recorder_, 2));
  EXPECT_EQ(recorder_.results[1].toll(), 900);  // class 2 reads column 0
}

TEST_F(Toll2Test, AFailedCalculationArrivesWithTollZero) {
  Toll2 toll;
  ASSERT_EQ(toll.init(&recorder_, folder_.folder().c_str()), 0);
  RouteSingleResult route =
      MakeRoute(Time(2015, 6, 1, 10, 0), {{Point(10, 0), Point(10, 60)}});  // -40
  route.setToll(1234);
  ASSERT_EQ(toll.calc(route), 0);
  ASSERT_TRUE(PumpResults2(recorder_, 1));
  EXPECT_EQ(recorder_.results[0].toll(), 0);
  EXPECT_EQ(recorder_.values[0], 0);
}

TEST_F(Toll2Test, InitReportsMissingFiles) {
  Toll2 toll;
  std::string bare = folder_.folder();
  bare.pop_back();
  EXPECT_EQ(toll.init(&recorder_, bare.c_str()), 0);
  EXPECT_EQ(toll.init(&recorder_, (bare + "x").c_str()), -21);
  ASSERT_EQ(std::remove(folder_.native("FACIL.DAT").c_str()), 0);
  EXPECT_EQ(toll.init(&recorder_, folder_.folder().c_str()), -22);
}

TEST_F(Toll2Test, ARefusedCalcLeavesTheRunningCalculationsRoute) {
  Toll2 toll;
  HeldWorkers held;
  ASSERT_EQ(toll.init(&recorder_, folder_.folder().c_str()), 0);
  const RouteSingleResult first = Route(3, 1);
  const RouteSingleResult second = Route(3, 0);
  ASSERT_EQ(toll.calc(first), 0);
  EXPECT_EQ(toll.calc(second), -2);
  HeldWorkers::Release();
  ASSERT_TRUE(PumpResults2(recorder_, 1));
  EXPECT_EQ(recorder_.results[0].raw(), first.raw());
  EXPECT_EQ(recorder_.results[0].toll(), 800);  // the option byte of the first route
}

TEST_F(Toll2Test, CopiesShareOneStateAndDestroyingMidCalculationIsClean) {
  {
    auto a = std::make_unique<Toll2>();
    HeldWorkers held;
    ASSERT_EQ(a->init(&recorder_, folder_.folder().c_str()), 0);
    Toll2 b(*a);
    ASSERT_EQ(b.calc(Route(3, 0)), 0);
    EXPECT_EQ(a->calc(Route(3, 0)), -2);
    a.reset();
    std::thread opener([] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      HeldWorkers::Release();
    });
    b = Toll2();  // the last handle goes while the worker is held
    opener.join();
  }
  PumpFor(200);
  EXPECT_TRUE(recorder_.results.empty());
}

TEST_F(Toll2Test, AToll2DestroyedFromInsideItsHandlerIsClean) {
  struct Deleting : Recorder2 {
    void onResult(Toll2* toll, int value, RouteSingleResult result) override {
      Recorder2::onResult(toll, value, result);
      delete toll;
    }
  } handler;
  auto* toll = new Toll2;
  ASSERT_EQ(toll->init(&handler, folder_.folder().c_str()), 0);
  ASSERT_EQ(toll->calc(Route(3, 1)), 0);
  ASSERT_TRUE(PumpResults2(handler, 1));
  PumpFor(100);
  ASSERT_EQ(handler.results.size(), 1u);
  EXPECT_EQ(handler.results[0].toll(), 800);
}

}  // namespace
