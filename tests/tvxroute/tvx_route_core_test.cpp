// The route core's state machine on the route engine's script: init and
// re-init, the refusals (busy, not initialised, too few points), the error
// table of the engine's notifications, the same-point switch of the
// registry, the legs started from the message loop, the toll stage and
// destruction while a calculation runs.

#include "route/tvx_route_core.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "plat/registry.h"
#include "route/tvx_route.h"
#include "tolllib/toll_lib_test_util.h"
#include "tvxroute/tvx_route_test_util.h"

namespace {

using TvxRoute::CTVXRouteCore;
using TvxRoute::TVXRoute;
using TvxRoute::TVXRouteResult;
using tvxtest::Condition;
using tvxtest::Leg;
using tvxtest::Part;

class RouteCoreTest : public ::testing::Test {
 protected:
  // A core initialised on the sample data folder.
  std::unique_ptr<CTVXRouteCore> Ready() {
    auto core = std::make_unique<CTVXRouteCore>(static_cast<int>(tvxtest::kDoneMessage));
    EXPECT_TRUE(core->initCore(data.path().c_str()));
    EXPECT_EQ(core->state(), CTVXRouteCore::kReady);
    return core;
  }

  tvxtest::ScratchRegistry registry;
  tvxtest::Script script;
  tvxtest::DataFolder data;
  tvxtest::HostWindow host;
  TVXRouteResult* result = nullptr;
};

// Before init: calc and cancel are refused with 7 and nothing is posted.
TEST_F(RouteCoreTest, NothingRunsBeforeInit) {
  TVXRoute route;
  Condition condition(2);
  EXPECT_FALSE(route.calc(host.hwnd(), condition.get(), &result));
  EXPECT_EQ(route.getLastError(), TVXRoute::kNotInitialised);
  EXPECT_FALSE(route.cancel());
  EXPECT_EQ(route.getLastError(), TVXRoute::kNotInitialised);
  tvxtest::PumpFor(100);
  EXPECT_EQ(host.done(), 0);
  EXPECT_TRUE(script->conditions().empty());
  EXPECT_EQ(result, nullptr);
}

// Every file of the data folder is needed; a failed init leaves the core
// uninitialised, and a failed re-init does as well.
TEST_F(RouteCoreTest, InitNeedsEveryDataFile) {
  CTVXRouteCore core(1524);
  EXPECT_FALSE(core.initCore(nullptr));
  EXPECT_EQ(core.lastError(), TVXRoute::kInitFailed);
  EXPECT_FALSE(core.initCore(""));
  EXPECT_EQ(core.lastError(), TVXRoute::kInitFailed);
  EXPECT_FALSE(core.initCore((data.path() + "/missing").c_str()));
  EXPECT_EQ(core.state(), CTVXRouteCore::kNotInitialised);

  for (const char* name : {"ALLDATA.KWI", "HIGHWAY.DAT", "TOLL.DAT", "FACIL.DAT"}) {
    SCOPED_TRACE(name);
    tvxtest::DataFolder partial;
    partial.remove(name);
    CTVXRouteCore other(1524);
    EXPECT_FALSE(other.initCore(partial.path().c_str()));
    EXPECT_EQ(other.lastError(), TVXRoute::kInitFailed);
    EXPECT_EQ(other.state(), CTVXRouteCore::kNotInitialised);
  }
  // A HIGHWAY.DAT of another kind fails the data check.
  tvxtest::DataFolder spoilt;
  std::string bytes = testutil::ReadBytes(spoilt.file("HIGHWAY.DAT"));
  ASSERT_EQ(bytes.substr(2, 4), std::string("\x20\x10\x11\x01", 4));
  bytes[5] = 0x02;
  ASSERT_TRUE(testutil::WriteBytes(spoilt.file("HIGHWAY.DAT"), bytes));
  CTVXRouteCore other(1524);
  EXPECT_FALSE(other.initCore(spoilt.path().c_str()));
  EXPECT_EQ(other.lastError(), TVXRoute::kInitFailed);

  // A success leaves the last error as it was.
  EXPECT_TRUE(core.initCore(data.path().c_str()));
  EXPECT_EQ(core.state(), CTVXRouteCore::kReady);
  EXPECT_EQ(core.lastError(), TVXRoute::kInitFailed);
}

// The folder gets a separator when it ends in neither; both separators are
// taken as they are.
TEST_F(RouteCoreTest, InitAppendsTheSeparator) {
  CTVXRouteCore plain(1524);
  ASSERT_TRUE(plain.initCore(data.path().c_str()));
  EXPECT_EQ(plain.dataPaths()->tollFolder, data.path() + "/");
  EXPECT_EQ(plain.dataPaths()->highwayPath, data.path() + "/HIGHWAY.DAT");
  CTVXRouteCore slash(1524);
  ASSERT_TRUE(slash.initCore((data.path() + "/").c_str()));
  EXPECT_EQ(slash.dataPaths()->tollFolder, data.path() + "/");
  CTVXRouteCore backslash(1524);
  ASSERT_TRUE(backslash.initCore((data.path() + "\\").c_str()));
  EXPECT_EQ(backslash.dataPaths()->tollFolder, data.path() + "\\");
  EXPECT_EQ(backslash.dataPaths()->highwayPath, data.path() + "\\HIGHWAY.DAT");
}

// Re-init from Ready ends Ready on the same data; with an empty folder it
// ends uninitialised with 3, and calc is then refused with 7 until an init
// succeeds.
TEST_F(RouteCoreTest, ReinitAndItsFailure) {
  auto core = Ready();
  ASSERT_TRUE(core->initCore(data.path().c_str()));
  EXPECT_EQ(core->state(), CTVXRouteCore::kReady);

  EXPECT_FALSE(core->initCore(""));
  EXPECT_EQ(core->lastError(), TVXRoute::kInitFailed);
  EXPECT_EQ(core->state(), CTVXRouteCore::kNotInitialised);
  Condition condition(2);
  EXPECT_FALSE(core->calcCore(host.hwnd(), condition.get(), &result));
  EXPECT_EQ(core->lastError(), TVXRoute::kNotInitialised);

  ASSERT_TRUE(core->initCore(data.path().c_str()));
  script->push(RouteOutcome::Error(12));
  EXPECT_TRUE(core->calcCore(host.hwnd(), condition.get(), &result));
  ASSERT_TRUE(host.PumpDone());
  EXPECT_EQ(core->lastError(), TVXRoute::kEngineFailure2);
}

// Too few nodes and leg-building failures are refused at once: false,
// no message, still Ready, the engine not asked.
TEST_F(RouteCoreTest, RefusedConditionsPostNothing) {
  auto core = Ready();
  Condition one(1);
  EXPECT_FALSE(core->calcCore(host.hwnd(), one.get(), &result));
  EXPECT_EQ(core->lastError(), TVXRoute::kTooFewPoints);
  EXPECT_FALSE(core->calcCore(host.hwnd(), nullptr, &result));
  EXPECT_EQ(core->lastError(), TVXRoute::kTooFewPoints);

  Condition untimed(2, {});
  EXPECT_FALSE(core->calcCore(host.hwnd(), untimed.get(), &result));
  EXPECT_EQ(core->lastError(), TVXRoute::kTimeMissing);
  Condition lastTimed(2, {{1, 0}});
  EXPECT_FALSE(core->calcCore(host.hwnd(), lastTimed.get(), &result));
  EXPECT_EQ(core->lastError(), TVXRoute::kTimeOrder);
  Condition turned(2);
  turned.node(1)->direction = 361;
  EXPECT_FALSE(core->calcCore(host.hwnd(), turned.get(), &result));
  EXPECT_EQ(core->lastError(), TVXRoute::kBadPoint);

  EXPECT_EQ(core->state(), CTVXRouteCore::kReady);
  tvxtest::PumpFor(100);
  EXPECT_EQ(host.done(), 0);
  EXPECT_TRUE(script->conditions().empty());

  // The next calculation is accepted.
  Condition two(2);
  script->push(RouteOutcome::Cancel());
  EXPECT_TRUE(core->calcCore(host.hwnd(), two.get(), &result));
  ASSERT_TRUE(host.PumpDone());
}

// An engine that refuses leg 0: false with 15, no message, Ready.
TEST_F(RouteCoreTest, RefusedFirstLeg) {
  auto core = Ready();
  Condition condition(2);
  script->push(RouteOutcome::Refuse(5));
  EXPECT_FALSE(core->calcCore(host.hwnd(), condition.get(), &result));
  EXPECT_EQ(core->lastError(), TVXRoute::kSearchFailed);
  EXPECT_EQ(core->state(), CTVXRouteCore::kReady);
  EXPECT_EQ(core->legIndex(), -1);
  tvxtest::PumpFor(100);
  EXPECT_EQ(host.done(), 0);
}

// Each error code of the engine ends the calculation with its error, one
// completion message (msgId, 0, 0) and the core Ready.
TEST_F(RouteCoreTest, EngineErrorTable) {
  auto core = Ready();
  const struct {
    int code;
    std::int32_t error;
  } table[] = {{0, 0},  {1, 11}, {8, 11}, {9, 2},   {10, 8},  {11, 8}, {12, 10},
               {13, 9}, {2, 15}, {7, 15}, {14, 15}, {99, 15}, {-1, 15}};
  Condition condition(2);
  int messages = 0;
  for (const auto& row : table) {
    SCOPED_TRACE(row.code);
    script->push(RouteOutcome::Error(row.code));
    ASSERT_TRUE(core->calcCore(host.hwnd(), condition.get(), &result));
    EXPECT_EQ(core->lastError(), 0);
    EXPECT_EQ(core->state(), CTVXRouteCore::kCalculatingLegs);
    EXPECT_EQ(core->legIndex(), 0);
    ++messages;
    ASSERT_TRUE(host.PumpDone(messages));
    EXPECT_EQ(core->lastError(), row.error);
    EXPECT_EQ(core->state(), CTVXRouteCore::kReady);
    EXPECT_EQ(core->legIndex(), -1);
  }
  tvxtest::PumpFor(50);
  EXPECT_EQ(host.done(), messages);
  EXPECT_EQ(static_cast<int>(host.messages().size()), messages);
  EXPECT_EQ(result, nullptr);
}

// A running calculation refuses calc and init with 6 and runs on; the
// engine's cancel ends it with 2, and the next calc is accepted.
TEST_F(RouteCoreTest, BusyThenCancelled) {
  TVXRoute route;
  ASSERT_TRUE(route.init(data.path().c_str()));
  Condition condition(2);
  script->push(RouteOutcome::Error(10));
  ASSERT_TRUE(route.calc(host.hwnd(), condition.get(), &result));
  EXPECT_FALSE(route.calc(host.hwnd(), condition.get(), &result));
  EXPECT_EQ(route.getLastError(), TVXRoute::kBusy);
  EXPECT_FALSE(route.init(data.path().c_str()));
  EXPECT_EQ(route.getLastError(), TVXRoute::kBusy);
  ASSERT_TRUE(host.PumpDone());
  EXPECT_EQ(route.getLastError(), TVXRoute::kEngineFailure);  // the calculation ran on
  EXPECT_EQ(script->conditions().size(), 1u);

  // cancel asks the engine: its answer decides.
  script->push(RouteOutcome::Search());
  script->setCancelAnswer(0);
  ASSERT_TRUE(route.calc(host.hwnd(), condition.get(), &result));
  EXPECT_FALSE(route.cancel());
  EXPECT_EQ(route.getLastError(), TVXRoute::kNotDone);
  script->setCancelAnswer(std::nullopt);
  EXPECT_TRUE(route.cancel());
  ASSERT_TRUE(host.PumpDone(2));
  EXPECT_EQ(route.getLastError(), TVXRoute::kCancelled);

  script->push(RouteOutcome::Cancel());
  ASSERT_TRUE(route.calc(host.hwnd(), condition.get(), &result));
  ASSERT_TRUE(host.PumpDone(3));
  EXPECT_EQ(route.getLastError(), TVXRoute::kCancelled);
  tvxtest::PumpFor(50);
  EXPECT_EQ(host.done(), 3);
}

// Times at nodes 0 and 1 of three make two legs. The second leg starts
// only from the message loop after the first leg's notification, from
// where the first leg arrived: its first point's link word and link part
// are the last part's goal pair, or its start pair when the goal-side list
// is empty.
TEST_F(RouteCoreTest, SecondLegStartsFromTheLoopWhereTheFirstArrived) {
  auto core = Ready();
  for (const bool goalSide : {true, false}) {
    SCOPED_TRACE(goalSide);
    script->reset();
    Part first;
    first.start = LinkPair{11, 0x10001};
    first.goal = LinkPair{12, 0x10002};
    Part last;
    last.start = LinkPair{21, 0x30004};
    last.goal = LinkPair{22, 0x50006};
    if (goalSide) last.goalSide = {LinkPair{22, 1}};
    script->push(RouteOutcome::Result(Leg({first, last})));
    script->push(RouteOutcome::Error(12));
    Condition condition(3, {{0, 0}, {1, 30}});
    ASSERT_TRUE(core->calcCore(host.hwnd(), condition.get(), &result));
    EXPECT_EQ(script->conditions().size(), 1u);

    plat::PumpMessages();  // the first leg's result: the next leg is only posted
    EXPECT_EQ(script->conditions().size(), 1u);
    EXPECT_EQ(core->state(), CTVXRouteCore::kCalculatingLegs);
    EXPECT_EQ(core->legIndex(), 0);
    plat::PumpMessages();  // the posted call starts leg 1
    ASSERT_EQ(script->conditions().size(), 2u);
    EXPECT_EQ(core->legIndex(), 1);

    const RouteCondition2 leg1 = script->conditions()[1].condition;  // conditions() is a copy
    ASSERT_EQ(leg1.points.size(), 2u);
    EXPECT_EQ(leg1.points[0].link, goalSide ? 22u : 21u);
    EXPECT_EQ(leg1.points[0].linkPart, goalSide ? 6 : 4);
    EXPECT_EQ(leg1.points[0].pointNo, 2);
    EXPECT_EQ(leg1.points[1].link, 0u);  // only the first point is tied
    EXPECT_EQ(leg1.points[1].linkPart, -1);
    EXPECT_EQ(script->conditions()[0].condition.points[0].link, 0u);

    ASSERT_TRUE(host.PumpDone(goalSide ? 1 : 2));
    EXPECT_EQ(core->lastError(), TVXRoute::kEngineFailure2);
  }
}

// An engine that refuses a later leg ends the started calculation with 15
// and its one message.
TEST_F(RouteCoreTest, RefusedLaterLeg) {
  auto core = Ready();
  Condition condition(3, {{0, 0}, {1, 30}});
  script->push(RouteOutcome::Result(Leg({Part{}})));
  script->push(RouteOutcome::Refuse(3));
  ASSERT_TRUE(core->calcCore(host.hwnd(), condition.get(), &result));
  ASSERT_TRUE(host.PumpDone());
  EXPECT_EQ(core->lastError(), TVXRoute::kSearchFailed);
  EXPECT_EQ(core->state(), CTVXRouteCore::kReady);
  EXPECT_EQ(core->legIndex(), -1);
  EXPECT_EQ(script->conditions().size(), 2u);
  tvxtest::PumpFor(50);
  EXPECT_EQ(host.done(), 1);
}

// A time only at node 0 of three nodes is one leg; the middle node's time
// makes it two.
TEST_F(RouteCoreTest, TimesDecideTheLegs) {
  auto core = Ready();
  Condition oneLeg(3, {{0, 0}});
  script->push(RouteOutcome::Error(12));
  ASSERT_TRUE(core->calcCore(host.hwnd(), oneLeg.get(), &result));
  ASSERT_TRUE(host.PumpDone(1));
  ASSERT_EQ(script->conditions().size(), 1u);
  EXPECT_EQ(script->conditions()[0].condition.points.size(), 3u);

  script->reset();
  Condition twoLegs(3, {{0, 0}, {1, 45}});
  script->push(RouteOutcome::Result(Leg({Part{}})));
  script->push(RouteOutcome::Error(12));
  ASSERT_TRUE(core->calcCore(host.hwnd(), twoLegs.get(), &result));
  ASSERT_TRUE(host.PumpDone(2));
  ASSERT_EQ(script->conditions().size(), 2u);
  EXPECT_EQ(script->conditions()[0].condition.points.size(), 2u);
  EXPECT_EQ(script->conditions()[1].condition.points.size(), 2u);
  EXPECT_EQ(script->conditions()[1].condition.time.hour, 10);
  EXPECT_EQ(script->conditions()[1].condition.time.minute, 45);
}

// "param01" = 1 (REG_DWORD) lets a leg through whose part starts where it
// ends; absent, a text "1", or another number end the calculation with 11.
// The switch is read at every calc.
TEST_F(RouteCoreTest, SamePointSwitchOfTheRegistry) {
  auto core = Ready();
  Condition condition(3, {{0, 0}, {1, 30}});
  auto run = [&](int expectedLegs) {
    script->reset();
    script->push(RouteOutcome::Result(Leg({tvxtest::SamePointPart()})));
    script->push(RouteOutcome::Error(12));
    const int before = host.done();
    ASSERT_TRUE(core->calcCore(host.hwnd(), condition.get(), &result));
    ASSERT_TRUE(host.PumpDone(before + 1));
    EXPECT_EQ(static_cast<int>(script->conditions().size()), expectedLegs);
  };

  run(1);  // no value
  EXPECT_TRUE(core->samePointCheck());
  EXPECT_EQ(core->lastError(), TVXRoute::kBadPoint);

  ASSERT_TRUE(plat::reg::SetString(CTVXRouteCore::kSwitchKey, CTVXRouteCore::kSwitchValue, "1"));
  run(1);
  EXPECT_EQ(core->lastError(), TVXRoute::kBadPoint);

  ASSERT_TRUE(plat::reg::SetDword(CTVXRouteCore::kSwitchKey, CTVXRouteCore::kSwitchValue, 2));
  run(1);
  EXPECT_EQ(core->lastError(), TVXRoute::kBadPoint);

  ASSERT_TRUE(plat::reg::SetDword(CTVXRouteCore::kSwitchKey, CTVXRouteCore::kSwitchValue, 1));
  run(2);  // the leg is taken and the next one started
  EXPECT_FALSE(core->samePointCheck());
  EXPECT_EQ(core->lastError(), TVXRoute::kEngineFailure2);

  ASSERT_TRUE(plat::reg::DeleteValue(CTVXRouteCore::kSwitchKey, CTVXRouteCore::kSwitchValue));
  run(1);
  EXPECT_TRUE(core->samePointCheck());
}

// What counts as a part that starts where it ends.
TEST(SamePointRoute, NeedsEqualPairsNoGoalSideAndTwoEqualEntries) {
  using tvxtest::SamePointPart;
  EXPECT_TRUE(CTVXRouteCore::isSamePointRoute(Leg({SamePointPart()})));
  EXPECT_TRUE(CTVXRouteCore::isSamePointRoute(Leg({Part{}, SamePointPart()})));  // any part
  EXPECT_FALSE(CTVXRouteCore::isSamePointRoute(Leg({})));
  EXPECT_FALSE(CTVXRouteCore::isSamePointRoute(RouteSingleResult()));

  Part p = SamePointPart();
  p.goal.second = 4;
  EXPECT_FALSE(CTVXRouteCore::isSamePointRoute(Leg({p})));
  p = SamePointPart();
  p.goalSide = {LinkPair{7, 3}};
  EXPECT_FALSE(CTVXRouteCore::isSamePointRoute(Leg({p})));
  p = SamePointPart();
  p.entries.push_back(LinkPair{7, 3});
  EXPECT_FALSE(CTVXRouteCore::isSamePointRoute(Leg({p})));
  p = SamePointPart();
  p.entries.pop_back();
  EXPECT_FALSE(CTVXRouteCore::isSamePointRoute(Leg({p})));
  p = SamePointPart();
  p.entries[1].second = 9;
  EXPECT_FALSE(CTVXRouteCore::isSamePointRoute(Leg({p})));
  p = SamePointPart();
  p.entries = {LinkPair{5, 5}, LinkPair{5, 5}};  // the entries need not be the start
  EXPECT_TRUE(CTVXRouteCore::isSamePointRoute(Leg({p})));
}

// The toll stage: the last leg's toll points go to the toll engine (state
// CalculatingToll while its worker runs); a toll engine that cannot start
// ends the calculation with 16.
TEST_F(RouteCoreTest, TollStageStartsTheTollEngine) {
  auto core = Ready();
  Condition condition(2);
  Part part;
  part.tolls = {tvxtest::TollPoint(10, 0), tvxtest::TollPoint(21, 1200)};
  {
    tolllib::FailingWorkers failing;
    script->push(RouteOutcome::Result(Leg({part})));
    ASSERT_TRUE(core->calcCore(host.hwnd(), condition.get(), &result));
    ASSERT_TRUE(host.PumpDone(1));
    EXPECT_EQ(core->lastError(), TVXRoute::kTollFailed);
    EXPECT_EQ(core->state(), CTVXRouteCore::kReady);
  }
  {
    tolllib::HeldWorkers held;
    script->push(RouteOutcome::Result(Leg({part})));
    ASSERT_TRUE(core->calcCore(host.hwnd(), condition.get(), &result));
    ASSERT_TRUE(
        plat::PumpUntil([&] { return core->state() == CTVXRouteCore::kCalculatingToll; }, 20000));
    EXPECT_EQ(core->legIndex(), -1);
    EXPECT_FALSE(core->calcCore(host.hwnd(), condition.get(), &result));
    EXPECT_EQ(core->lastError(), TVXRoute::kBusy);
    // The toll engine's error notification ends it with 16; its later
    // answer is not taken.
    core->onError(nullptr, -1);
    EXPECT_EQ(core->lastError(), TVXRoute::kTollFailed);
    EXPECT_EQ(core->state(), CTVXRouteCore::kReady);
    held.Release();
    ASSERT_TRUE(tolllib::HeldWorkers::WaitFinished(1));
    tvxtest::PumpFor(100);
    EXPECT_EQ(host.done(), 2);
    EXPECT_EQ(core->lastError(), TVXRoute::kTollFailed);
    EXPECT_EQ(result, nullptr);
  }
}

// Destroying the core while a leg search or a toll calculation runs stops
// it: nothing is posted afterwards.
TEST_F(RouteCoreTest, DestroyedWhileRunning) {
  Condition condition(2);
  {
    auto core = Ready();
    script->push(RouteOutcome::Result(Leg({Part{}})));
    ASSERT_TRUE(core->calcCore(host.hwnd(), condition.get(), &result));
  }
  {
    Part part;
    part.tolls = {tvxtest::TollPoint(10, 0), tvxtest::TollPoint(21, 1200)};
    tolllib::HeldWorkers held;
    auto core = Ready();
    script->push(RouteOutcome::Result(Leg({part})));
    ASSERT_TRUE(core->calcCore(host.hwnd(), condition.get(), &result));
    ASSERT_TRUE(
        plat::PumpUntil([&] { return core->state() == CTVXRouteCore::kCalculatingToll; }, 20000));
    held.Release();
    core.reset();  // joins the toll worker
  }
  {
    // A real search under way.
    TVXRoute route;
    ASSERT_TRUE(route.init(data.path().c_str()));
    ASSERT_TRUE(route.calc(host.hwnd(), condition.get(), &result));
  }
  tvxtest::PumpFor(200);
  EXPECT_EQ(host.done(), 0);
  EXPECT_EQ(result, nullptr);
}

}  // namespace
