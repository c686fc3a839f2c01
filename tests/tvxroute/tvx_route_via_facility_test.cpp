// Routes that stop at every highway facility of the sample road map, as a
// host would ask for them: a -> v -> b with v on a facility node, the stop
// timed or not, the points on the road the route engine finds near them
// (highway first) or on any road. Every route keeps its via point (and the
// time given there), every facility it shows stands at its own place, and
// its toll is the toll library's answer for the toll points its legs pass
// (or says it is unknown where the toll library has no answer); the fees
// its nodes show are the fees due at each passage of a toll point, in
// route order, and add up to its toll. Legs that start at a facility and
// turn back over their first link keep their distances and times in order
// and show the facility at each passage.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "outside/kiwi.h"
#include "outside/route_engine.h"
#include "outside/travel_clock.h"
#include "plat/cp932.h"
#include "plat/message.h"
#include "route/tvx_route.h"
#include "support/test_util.h"
#include "toll/toll.h"
#include "toll/toll_control.h"
#include "tools/roadmap/highway_writer.h"
#include "tools/roadmap/roadmap_description.h"
#include "tvxroute/tvx_route_test_util.h"

namespace {

using TvxRoute::TVXRoute;
using TvxRoute::TVXRouteResult;

// A place in arc-seconds.
struct Place {
  double lon = 0;
  double lat = 0;
};

// A highway facility node of the map: its HIGHWAY.DAT name (CP932) and
// place.
struct FacilityNode {
  std::string name;
  Place at;
};

// Metres between two places (arc-seconds; short distances).
double Metres(const Place& a, const Place& b) {
  constexpr double kPi = 3.14159265358979323846;
  constexpr double kMetresPerSecond = 6371000.0 * kPi / 180.0 / 3600.0;
  const double dx = (a.lon - b.lon) * std::cos((a.lat + b.lat) / 2 / 3600 * kPi / 180);
  const double dy = a.lat - b.lat;
  return std::sqrt(dx * dx + dy * dy) * kMetresPerSecond;
}

Place NodePlace(const TVXRouteResult::Node& n) { return Place{n.lon / 1024.0, n.lat / 1024.0}; }

// A node of a result that is not a break node: its place and fees.
struct Shown {
  Place at;
  std::int32_t fee = 0;
  std::int32_t firstFee = 0;
};

// The highway facility nodes of the sample map's description: node k of a
// road is where its link k begins (the last one ends the road); ferry
// terminals (0x8000 and up) are not highway facilities.
std::vector<FacilityNode> SampleFacilities() {
  roadmap::Description d;
  std::string error;
  EXPECT_TRUE(roadmap::LoadDescription(KORT_SOURCE_DIR "/tools/roadmap/data/sample_roadmap.txt", &d,
                                       &error))
      << error;
  std::vector<FacilityNode> out;
  for (const roadmap::Road& road : d.roads) {
    for (const roadmap::Facility& f : road.facilities) {
      if (f.number >= 0x8000 || road.links.empty()) continue;
      const std::size_t k = static_cast<std::size_t>(f.node);
      const auto& point =
          k < road.links.size() ? road.links[k].points.front() : road.links.back().points.back();
      FacilityNode node;
      node.at = Place{static_cast<double>(point.first), static_cast<double>(point.second)};
      for (const hwbuild::KeyRecord& key : d.highway.keys) {
        if (key.key != f.number) continue;
        for (const hwbuild::Block& block : d.highway.blocks) {
          if (block.number == key.block && key.index < block.entries.size()) {
            EXPECT_TRUE(plat::cp932::FromUtf16(block.entries[key.index].name1, node.name));
          }
        }
        break;
      }
      EXPECT_FALSE(node.name.empty()) << "facility " << f.number;
      out.push_back(node);
    }
  }
  return out;
}

// The places one link away from a place of the sample map: the other ends
// of the links that begin or end there, each once.
std::vector<Place> SampleNeighbours(const Place& at) {
  roadmap::Description d;
  std::string error;
  EXPECT_TRUE(roadmap::LoadDescription(KORT_SOURCE_DIR "/tools/roadmap/data/sample_roadmap.txt", &d,
                                       &error))
      << error;
  std::vector<Place> out;
  const auto add = [&](const std::pair<std::int32_t, std::int32_t>& p) {
    const Place place{static_cast<double>(p.first), static_cast<double>(p.second)};
    for (const Place& known : out)
      if (known.lon == place.lon && known.lat == place.lat) return;
    out.push_back(place);
  };
  for (const roadmap::Road& road : d.roads)
    for (const roadmap::Link& link : road.links) {
      const auto& front = link.points.front();
      const auto& back = link.points.back();
      if (front.first == at.lon && front.second == at.lat) add(back);
      if (back.first == at.lon && back.second == at.lat) add(front);
    }
  return out;
}

// A route over the points, each perhaps with a time (minutes after
// 2015-06-03 00:00; -1 none). The start departs at 10:00.
struct Trip {
  std::vector<Place> points;
  std::vector<int> minutes;
  int roadMode = 1;
};

// a -> v -> b; a timed stop is left at 12:00, after any arrival the maps
// allow.
Trip Stop(const Place& a, const Place& v, const Place& b, bool timed, int roadMode) {
  return Trip{{a, v, b}, {10 * 60, timed ? 12 * 60 : -1, -1}, roadMode};
}

std::string Describe(const Trip& t) {
  std::string text;
  for (std::size_t i = 0; i < t.points.size(); ++i) {
    char point[64];
    std::snprintf(point, sizeof point, "%s%.4f,%.4f", i ? " -> " : "", t.points[i].lon / 3600,
                  t.points[i].lat / 3600);
    text += point;
    if (t.minutes[i] >= 0) text += " at " + std::to_string(t.minutes[i]) + " min";
  }
  return text + ", road mode " + std::to_string(t.roadMode);
}

// Minutes since 2015-06-03 00:00 of a result time.
int Minutes(const CDateTime& t) { return (t.getDay() - 3) * 1440 + t.getHour() * 60 + t.getMin(); }

// A route engine of the test's own: searches a leg condition again.
class LegSearch : public RouteHandler {
 public:
  explicit LegSearch(const std::string& folder) {
    EXPECT_TRUE(map_.init((folder + "/ALLDATA.KWI").c_str())) << map_.lastError();
    EXPECT_EQ(engine_.init(this, &map_), 0);
  }
  // The leg's result; false when the search fails.
  bool Search(const RouteCondition2& condition, RouteSingleResult* out) {
    answered_ = false;
    found_ = false;
    if (engine_.calc(condition) != 0) return false;
    if (!plat::PumpUntil([&] { return answered_; }, 20000)) return false;
    *out = result_;
    return found_;
  }
  void onRouteResult(Route*, RouteSingleResult result) override {
    result_ = result;
    answered_ = found_ = true;
  }
  void onRouteCancel(Route*) override { answered_ = true; }
  void onRouteError(Route*, const int*) override { answered_ = true; }

 private:
  KiwiHandleForALLDATA map_{0x1000000, true};
  Route engine_;
  RouteSingleResult result_;
  bool answered_ = false;
  bool found_ = false;
};

// The toll library's answer for the toll points of the legs: each point
// at the leg's departure plus its seconds. asked is false when the legs
// pass no toll point (the route then has no toll to ask for).
struct TollAnswer {
  bool asked = false;
  int code = 0;
  std::int32_t undiscounted = 0;
  std::int32_t discounted = 0;
  std::string points;    // the toll points in order, for messages
  bool repeats = false;  // a toll point is passed more than once
  // What the toll library's facade hands a host: one profile per toll
  // point, in route order, with the fees due there.
  std::vector<TollResultRaw::Prof> profiles;
};

// The toll library's profiles of the input, as its facade answers a host.
std::vector<TollResultRaw::Prof> ProfilesOf(const std::string& folder, TollInputParam input) {
  struct Handler : TollHandler {
    TollResult result;
    bool done = false;
    void onResult(Toll*, int, TollResult r) override {
      result = r;
      done = true;
    }
    void onCancel(Toll*) override { done = true; }
    void onError(Toll*, int) override { done = true; }
    void onNotify(Toll*) override {}
  } handler;
  Toll toll;
  EXPECT_EQ(toll.init(&handler, folder.c_str()), 0);
  EXPECT_EQ(toll.calc(&input), 0);
  EXPECT_TRUE(plat::PumpUntil([&] { return handler.done; }, 20000));
  if (!handler.result) return {};
  EXPECT_EQ(handler.result->code, 0);
  return handler.result->profs.v;
}

TollAnswer TollOfLegs(const std::string& folder, const std::vector<RouteSingleResult>& legs,
                      std::int32_t vehicleClass, std::uint8_t option1) {
  TollInputParam input;
  input.vehicleClass = vehicleClass;
  input.option1 = option1;
  TollAnswer answer;
  for (const RouteSingleResult& leg : legs)
    for (int p = 0; p < leg.getPartCnt(); ++p)
      for (const PartLink& link : leg.getPart(p)->links) {
        TravelClock::Time at = leg.departure();
        at.addSec(static_cast<std::int32_t>(link.seconds));
        TollInputParam::Item item;
        item.facility = link.facility;
        item.time = (static_cast<std::uint32_t>(at.year + 48) << 21) |
                    (static_cast<std::uint32_t>(at.month) << 17) |
                    (static_cast<std::uint32_t>(at.day) << 12) |
                    (static_cast<std::uint32_t>(at.hour) << 6) | at.minute;
        item.dayOfWeek = TravelClock::Week(at.year, at.month, at.day);
        for (const TollInputParam::Item& earlier : input.items.v)
          if (earlier.facility == item.facility) answer.repeats = true;
        input.items.v.push_back(item);
        answer.points += (answer.points.empty() ? "" : "-") + std::to_string(link.facility);
      }
  if (input.items.v.empty()) return answer;
  answer.asked = true;
  TollControl control;
  answer.code = control.open((folder + "/TOLL.DAT").c_str(), (folder + "/FACIL.DAT").c_str(), true);
  if (answer.code == 0) answer.code = control.calc(input);
  if (answer.code == 0) {
    answer.undiscounted = control.total1();
    answer.discounted = control.total3();
    answer.profiles = ProfilesOf(folder, input);
  }
  return answer;
}

// A fee as a node shows it: the fee after discounts and the first fee.
using NodeFee = std::pair<std::int32_t, std::int32_t>;

// The fees the toll nodes of a route show for these profiles, in order: a
// profile without fees stands for no toll node, and a toll node whose two
// fees are 0 is a plain node.
std::vector<NodeFee> FeesDue(const std::vector<TollResultRaw::Prof>& profiles) {
  std::vector<NodeFee> due;
  for (const TollResultRaw::Prof& p : profiles) {
    if (p.fee1 == -1 && p.fee3 == -1) continue;
    const NodeFee fee{p.fee3 != -1 ? p.fee3 : p.fee1, p.fee1};
    if (fee != NodeFee{0, 0}) due.push_back(fee);
  }
  return due;
}

class ViaFacility : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { facilities_ = new std::vector<FacilityNode>(SampleFacilities()); }
  static void TearDownTestSuite() {
    delete facilities_;
    facilities_ = nullptr;
  }
  void SetUp() override {
    known = facilities_;
    folder = data.path();
    ASSERT_TRUE(route.init(folder.c_str()));
  }

  // The route's toll against the toll library's answer for the toll points
  // of its legs, each leg searched again from the condition the route
  // library gave the route engine.
  void CheckToll(const TVXRouteResult& r) {
    const std::vector<RecordedCondition> asked = RouteScript::shared().conditions();
    ASSERT_FALSE(asked.empty());
    LegSearch search(folder);
    std::vector<RouteSingleResult> legs;
    for (const RecordedCondition& c : asked) {
      RouteSingleResult leg;
      ASSERT_TRUE(search.Search(c.condition, &leg));
      legs.push_back(leg);
    }
    const TollAnswer toll = TollOfLegs(folder, legs, asked.front().condition.vehicleClass,
                                       asked.front().condition.tollOption);
    SCOPED_TRACE("toll points " + toll.points);
    if (toll.asked && toll.code != 0) {
      ++unknownTolls;
      EXPECT_EQ(r.tollError, toll.code);
      EXPECT_EQ(r.summary1, -1);
      EXPECT_EQ(r.summary2, -1);
      for (int i = 0; i < r.getNodeCnt(); ++i) {
        const TVXRouteResult::Node& n = *r.getNode(i);
        if (n.kind != 5) continue;
        EXPECT_EQ(n.fee, -1) << "node " << i;
        EXPECT_EQ(n.firstFee, -1) << "node " << i;
      }
      return;
    }
    EXPECT_EQ(r.tollError, 0);
    EXPECT_EQ(r.summary1, toll.discounted);
    EXPECT_EQ(r.summary2, toll.undiscounted);
    // The nodes show the fees due at each passage, in route order, and
    // they add up to the totals.
    std::vector<NodeFee> shown;
    std::int32_t fees = 0, firstFees = 0;
    for (int i = 0; i < r.getNodeCnt(); ++i) {
      const TVXRouteResult::Node& n = *r.getNode(i);
      if (n.fee == 0 && n.firstFee == 0) continue;
      shown.push_back(NodeFee{n.fee, n.firstFee});
      fees += n.fee;
      firstFees += n.firstFee;
    }
    EXPECT_EQ(fees, r.summary1);
    EXPECT_EQ(firstFees, r.summary2);
    if (toll.asked) {
      EXPECT_EQ(shown, FeesDue(toll.profiles));
      if (toll.repeats) ++repeatedTollPoints;
    }
  }

  // Calculates the route and checks what every route must show; the
  // nodes named `name` (CP932) that are not break nodes. The result's toll
  // totals are left in summary1 and summary2.
  std::vector<Shown> CheckRoute(const Trip& t, const std::string& name = {}) {
    SCOPED_TRACE(Describe(t));
    std::vector<Shown> named;
    summary1 = summary2 = -1;
    std::vector<tvxtest::Condition::Timed> times;
    for (std::size_t i = 0; i < t.minutes.size(); ++i)
      if (t.minutes[i] >= 0) times.push_back({static_cast<int>(i), t.minutes[i] - 10 * 60});
    tvxtest::Condition condition(static_cast<int>(t.points.size()), times);
    for (std::size_t i = 0; i < t.points.size(); ++i) {
      TvxRoute::TVXRouteCondition::Node* node = condition.node(static_cast<int>(i));
      node->lon = static_cast<std::int32_t>(std::lround(t.points[i].lon * 1024));
      node->lat = static_cast<std::int32_t>(std::lround(t.points[i].lat * 1024));
      node->roadTypeMode = t.roadMode;
    }
    TVXRouteResult* result = nullptr;
    const int before = host.done();
    RouteScript::shared().reset();
    EXPECT_TRUE(route.calc(host.hwnd(), condition.get(), &result));
    EXPECT_TRUE(host.PumpDone(before + 1));
    EXPECT_EQ(route.getLastError(), TVXRoute::kNoError);
    if (!result) {
      ADD_FAILURE() << "no result";
      return named;
    }
    CheckResult(*result, t);
    CheckToll(*result);
    if (extraCheck) extraCheck(*result);
    ++routes;
    summary1 = result->summary1;
    summary2 = result->summary2;
    for (int i = 0; i < result->getNodeCnt(); ++i) {
      const TVXRouteResult::Node& n = *result->getNode(i);
      if (n.breakNo == 0 && n.getName() && name == n.getName())
        named.push_back(Shown{NodePlace(n), n.fee, n.firstFee});
    }
    TvxRoute::Release(result);
    return named;
  }

  void CheckResult(const TVXRouteResult& r, const Trip& t) {
    // Break numbers: 1 the start, 2 the goal, 3 and on the stops in order.
    std::vector<int> stops;
    for (int i = 0; i < r.getNodeCnt(); ++i)
      if (r.getNode(i)->breakNo >= 3) stops.push_back(i);
    ASSERT_EQ(stops.size(), t.points.size() - 2);
    for (std::size_t k = 0; k < stops.size(); ++k) {
      const TVXRouteResult::Node& stop = *r.getNode(stops[k]);
      EXPECT_EQ(stop.breakNo, static_cast<int>(k) + 3);
      ASSERT_FALSE(stop.time.isNoData());
      if (t.minutes[k + 1] >= 0) {
        EXPECT_EQ(Minutes(stop.time), t.minutes[k + 1]) << "stop " << k;
      }
      for (int i = stops[k] + 1; i < r.getNodeCnt(); ++i) {
        const TVXRouteResult::Node& n = *r.getNode(i);
        ASSERT_FALSE(n.time.isNoData()) << "node " << i;
        EXPECT_GE(Minutes(n.time), Minutes(stop.time)) << "node " << i << " after stop " << k;
      }
    }
    // Every facility shown stands within 100 m of its place on the map.
    if (!checkPlaces) return;
    for (int i = 0; i < r.getNodeCnt(); ++i) {
      const TVXRouteResult::Node& n = *r.getNode(i);
      if (n.breakNo != 0) continue;
      const std::string name = n.getName() ? n.getName() : "";
      const FacilityNode* own = nullptr;
      for (const FacilityNode& f : *known)
        if (f.name == name) own = &f;
      if (n.kind >= 1 && n.kind <= 5) {
        EXPECT_NE(own, nullptr) << "node " << i << " of kind " << n.kind;
      }
      if (own) {
        EXPECT_LE(Metres(NodePlace(n), own->at), 100.0)
            << "node " << i << " " << plat::cp932::ToUtf8Display(name);
      }
    }
  }

  // The sample map's facilities, read once.
  static std::vector<FacilityNode>* facilities_;
  // The facilities of the map routed on, and whether the places of those
  // shown are checked.
  const std::vector<FacilityNode>* known = nullptr;
  bool checkPlaces = true;
  // Run on every result after the checks above, when set.
  std::function<void(const TVXRouteResult&)> extraCheck;
  // The toll totals of the last route checked (after discounts, undiscounted).
  std::int32_t summary1 = -1;
  std::int32_t summary2 = -1;
  // Routes checked, those whose toll the toll library cannot compute, and
  // those with a known toll that pass a toll point more than once.
  int routes = 0;
  int unknownTolls = 0;
  int repeatedTollPoints = 0;
  // The data folder routed on.
  std::string folder;
  tvxtest::ScratchRegistry registry;
  tvxtest::Script script;
  tvxtest::DataFolder data;
  tvxtest::HostWindow host;
  TVXRoute route;
};

std::vector<FacilityNode>* ViaFacility::facilities_ = nullptr;

// Degrees to arc-seconds.
Place Deg(double lon, double lat) { return Place{lon * 3600, lat * 3600}; }

// Ends of the routes on the roads around the highway: 瀬田 and the 用賀
// approach in the east, 荏田 on the 国道246号 in the middle, 旭町西 in the
// west.
const Place kEnds[] = {Deg(139.6330, 35.6240), Deg(139.6500, 35.6300), Deg(139.5300, 35.5300),
                       Deg(139.3300, 35.4450)};

TEST_F(ViaFacility, EveryFacilityAsAStopKeepsTheStopItsTimeAndTheFacilitiesPlaces) {
  ASSERT_GE(facilities_->size(), 8u);
  for (const FacilityNode& v : *facilities_)
    for (const Place& a : kEnds)
      for (const Place& b : kEnds) {
        if (&a == &b) continue;
        for (int mode : {1, 2})
          for (bool timed : {false, true}) CheckRoute(Stop(a, v.at, b, timed, mode));
      }
  // The sample toll data prices every one of these routes: a stop at an
  // interchange leaves the highway at its exit gate and enters it again.
  EXPECT_EQ(unknownTolls, 0) << "of " << routes << " routes";
}

// Round trips and turns that pass the same toll points again: from an end
// of the route out to a facility and back (a -> f -> a), from one facility
// to another and back (f -> g -> f) and on again (f -> g -> f -> g), with
// the stops timed or not, in both road modes; and the round trips over
// 東京IC and 厚木IC that a user found showing one passage's fee twice or
// none. Every passage of a toll point shows the fee due there and the
// node fees add up to the toll (CheckToll).
TEST_F(ViaFacility, RoundTripsAndTurnsThroughTheSameTollPointsShowEachPassagesFee) {
  for (int mode : {1, 2})
    for (bool timed : {false, true}) {
      const int stop = timed ? 12 * 60 : -1;
      const int again = timed ? 14 * 60 : -1;
      for (const FacilityNode& f : *facilities_) {
        for (const Place& a : kEnds) CheckRoute(Trip{{a, f.at, a}, {10 * 60, stop, -1}, mode});
        for (const FacilityNode& g : *facilities_) {
          if (Metres(f.at, g.at) < 100.0) continue;
          CheckRoute(Trip{{f.at, g.at, f.at}, {10 * 60, stop, -1}, mode});
          CheckRoute(Trip{{f.at, g.at, f.at, g.at}, {10 * 60, stop, again, -1}, mode});
        }
      }
    }
  const Place tokyo = Deg(139.627222, 35.620833), atsugi = Deg(139.346944, 35.426944);
  for (int mode : {0, 1, 2}) {
    CheckRoute(Trip{{Deg(139.5, 35.543056), Deg(139.388611, 35.433889), Deg(139.347, 35.427),
                     Deg(139.388611, 35.433889)},
                    {10 * 60, -1, 14 * 60, -1},
                    mode});
    CheckRoute(Trip{{Deg(139.523889, 35.563056), atsugi, tokyo, Deg(139.346944, 35.426863)},
                    {10 * 60, 14 * 60, -1, -1},
                    mode});
  }
  // Most of them pass a toll point twice with a toll the library prices.
  EXPECT_GE(repeatedTollPoints, routes * 2 / 5)
      << "of " << routes << " routes, " << unknownTolls << " with an unknown toll";
}

// The nodes named `name` (CP932) within 100 m of `at`, among the result's
// nodes [from, to): toll nodes (kind 5) or the others.
int NamedNear(const TVXRouteResult& r, const std::string& name, const Place& at, int from, int to,
              bool toll) {
  int n = 0;
  for (int i = from; i < to; ++i) {
    const TVXRouteResult::Node& node = *r.getNode(i);
    if (node.getName() && name == node.getName() && Metres(NodePlace(node), at) <= 100.0 &&
        (node.kind == 5) == toll)
      ++n;
  }
  return n;
}

// Legs that start at a facility and turn back over their first link: from
// every facility to each place one link away (where the leg turns, timed
// or not) and on to the ends around the highway, or back through the
// facility as a further via point first. No link has a negative distance
// or time, the node times never go back, the facility shows at the start
// when the route starts on the highway there, and after the turn it shows
// as often as on the route that starts where this one turns (as a toll
// node at least as often: a toll point there may be priced, or left
// unknown, only with the entrance before the turn).
TEST_F(ViaFacility, LegsThatTurnBackOverTheirFirstLinkKeepDistancesTimesAndFacilityNodes) {
  int turns = 0;
  for (const FacilityNode& f : *facilities_)
    for (const Place& w : SampleNeighbours(f.at))
      for (const Place& b : kEnds)
        for (int mode : {1, 2}) {
          if (Metres(w, b) < 100.0) continue;  // the turn is the goal
          // The route from the turn on, passing the facility at most once.
          int afterTurn = -1, tollsAfterTurn = -1;
          extraCheck = [&](const TVXRouteResult& r) {
            afterTurn = NamedNear(r, f.name, f.at, 0, r.getNodeCnt(), false);
            tollsAfterTurn = NamedNear(r, f.name, f.at, 0, r.getNodeCnt(), true);
          };
          CheckRoute(Trip{{w, b}, {10 * 60, -1}, mode});
          const std::vector<Trip> trips = {
              Trip{{f.at, w, b}, {10 * 60, -1, -1}, mode},
              Trip{{f.at, w, b}, {10 * 60, 12 * 60, -1}, mode},
              Trip{{f.at, w, f.at, b}, {10 * 60, -1, -1, -1}, mode},
          };
          for (std::size_t k = 0; k < trips.size(); ++k) {
            SCOPED_TRACE(Describe(trips[k]));
            extraCheck = [&](const TVXRouteResult& r) {
              int via = -1;
              for (int i = 0; i < r.getNodeCnt(); ++i) {
                const TVXRouteResult::Link* l = r.getLink(i);
                if (l) {
                  EXPECT_GE(l->distance, 0) << "link " << i;
                  EXPECT_GE(l->time, 0) << "link " << i;
                }
                if (via < 0 && r.getNode(i)->breakNo >= 3) via = i;
              }
              for (int i = r.getNodeCnt(); i < r.getLinkCnt(); ++i) {
                EXPECT_GE(r.getLink(i)->distance, 0) << "link " << i;
                EXPECT_GE(r.getLink(i)->time, 0) << "link " << i;
              }
              int last = -1;
              for (int i = 0; i < r.getNodeCnt(); ++i) {
                const CDateTime& t = r.getNode(i)->time;
                if (t.isNoData()) continue;
                EXPECT_GE(Minutes(t), last) << "node " << i;
                last = Minutes(t);
              }
              ASSERT_GE(via, 1);
              // Started on the highway: the first link that goes somewhere
              // is an expressway link.
              for (int i = 0; i < r.getLinkCnt(); ++i) {
                const TVXRouteResult::Link* l = r.getLink(i);
                if (l->distance == 0) continue;
                if (l->linkClass == 0) {
                  EXPECT_GE(NamedNear(r, f.name, f.at, 0, via, false) +
                                NamedNear(r, f.name, f.at, 0, via, true),
                            1)
                      << "at the start";
                }
                break;
              }
              if (k < 2) {
                EXPECT_EQ(NamedNear(r, f.name, f.at, via, r.getNodeCnt(), false), afterTurn)
                    << "after the turn";
                EXPECT_GE(NamedNear(r, f.name, f.at, via, r.getNodeCnt(), true), tollsAfterTurn)
                    << "toll nodes after the turn";
              }
              ++turns;
            };
            CheckRoute(trips[k]);
          }
        }
  extraCheck = nullptr;
  EXPECT_GE(turns, 200);
}

// Stops on the highway near an interchange or between two facilities,
// from every facility to the ends around the highway.
TEST_F(ViaFacility, StopsBetweenTheFacilitiesKeepTheirPlacesAndTimes) {
  const Place stops[] = {Deg(139.5120, 35.5530), Deg(139.5000, 35.5430), Deg(139.4400, 35.4800),
                         Deg(139.5800, 35.5950)};
  for (const Place& v : stops)
    for (const FacilityNode& a : *facilities_)
      for (const Place& b : kEnds)
        for (int mode : {1, 2})
          for (bool timed : {false, true}) CheckRoute(Stop(a.at, v, b, timed, mode));
}

// Two stops beside an interchange, a stop at the exit before the route
// turns back, and stops on the approach to an interchange: every stop
// stays with its time, and the interchanges are drawn at their places.
TEST_F(ViaFacility, StopsBesideInterchangesStayAndTheInterchangesKeepTheirPlaces) {
  const std::vector<Trip> trips = {
      {{Deg(139.6500, 35.6300), Deg(139.3470, 35.4270), Deg(139.4833, 35.5000)}, {600, 720, -1}, 2},
      {{Deg(139.3470, 35.4270), Deg(139.3886, 35.4338), Deg(139.3937, 35.4394),
        Deg(139.4400, 35.4800)},
       {600, -1, -1, -1},
       2},
      {{Deg(139.5239, 35.5631), Deg(139.5119, 35.5531), Deg(139.5000, 35.5431),
        Deg(139.4833, 35.5131)},
       {600, -1, 720, -1},
       2},
      {{Deg(139.6500, 35.6300), Deg(139.6286, 35.6269), Deg(139.6272, 35.6207),
        Deg(139.6140, 35.6160)},
       {600, -1, -1, -1},
       2},
  };
  const char8_t* shown[] = {u8"厚木IC", u8"厚木IC", u8"横浜青葉IC", u8"東京IC"};
  for (std::size_t i = 0; i < trips.size(); ++i)
    EXPECT_FALSE(CheckRoute(trips[i], testutil::Sjis(shown[i])).empty()) << "route " << i;
}

// A trip that gets onto the 東名 at 横浜青葉IC, a tolled entrance, pays where
// it leaves the highway: the exit's toll node is kept, stands at the
// interchange's own place and carries the fee of the trip, both with the two
// stops of the host's example on the way to 横浜町田IC and straight to
// 横浜町田IC, 厚木IC or, the other way, 東京IC.
TEST_F(ViaFacility, AnExitAfterTheEntranceAtYokohamaAobaKeepsItsTollNodeAtItsPlace) {
  const auto placeOf = [](const char8_t* name) {
    for (const FacilityNode& f : *facilities_)
      if (f.name == testutil::Sjis(name)) return f.at;
    ADD_FAILURE() << reinterpret_cast<const char*>(name) << " is not on the map";
    return Place{};
  };
  const Place aoba = placeOf(u8"横浜青葉IC");
  struct Case {
    Trip trip;
    const char8_t* exit;
  };
  std::vector<Case> cases = {
      {{{Deg(139.5239, 35.5631), Deg(139.5119, 35.5531), Deg(139.5000, 35.5431),
         Deg(139.4833, 35.5131)},
        {600, -1, 720, -1},
        2},
       u8"横浜町田IC"},
  };
  for (int mode : {1, 2})
    for (const char8_t* exit : {u8"横浜町田IC", u8"厚木IC", u8"東京IC"})
      cases.push_back({Trip{{aoba, placeOf(exit)}, {600, -1}, mode}, exit});
  for (const Case& c : cases) {
    SCOPED_TRACE(Describe(c.trip));
    const std::vector<Shown> shown = CheckRoute(c.trip, testutil::Sjis(c.exit));
    std::vector<Shown> paid;
    for (const Shown& s : shown)
      if (s.fee != 0 || s.firstFee != 0) paid.push_back(s);
    ASSERT_EQ(paid.size(), 1u) << reinterpret_cast<const char*>(c.exit) << " with a fee";
    EXPECT_LE(Metres(paid[0].at, placeOf(c.exit)), 100.0);
    // The only toll section of the trip: its fees are the route's totals.
    EXPECT_GT(summary1, 0);
    EXPECT_EQ(paid[0].fee, summary1);
    EXPECT_EQ(paid[0].firstFee, summary2);
  }
}

// A map of our own where the interchange stands on the main line and the
// route leaves (or gets onto) the highway at the end of a ramp 2.2 km
// from it, within the 5,000 m in which the interchange moves to where the
// route leaves or enters the highway; stops on the ramp and at its end
// lie in that window too. No tolls: the toll data only has to be there.
constexpr char8_t kRampMap[] =
    u8R"(tile 1 139.00 35.00 139.20 35.20
road 1 1001 2 0 試験高速道路
link 10 0x20 139.0200,35.1000 139.0500,35.1000
link 10 0x20 139.0500,35.1000 139.0800,35.1000
facility 1 301 0 0 0
road 1 1101 2 0 試験高速道路 ramp
link 10 0x20 139.0500,35.1000 139.0500,35.1100
link 10 0x20 139.0500,35.1100 139.0500,35.1200
facility 0 301 0 0 0
road 1 2001 4 0 試験国道
link 9 0 139.0500,35.1200 139.0500,35.1400
link 9 0 139.0500,35.1400 139.0500,35.1600
hname 1 試験高速道路 しけんこうそくどうろ
hname 2 試験国道 しけんこくどう
hblock 1
hentry 301 0xA0 10 試験IC しけん 000000 0100000000000000
)";

class RampMap : public ViaFacility {
 protected:
  void SetUp() override {
    std::string error, mapText, highway;
    const std::string description = dir.Native("map.txt");
    roadmap::Description d;
    ASSERT_TRUE(testutil::WriteBytes(description, reinterpret_cast<const char*>(kRampMap)));
    ASSERT_TRUE(roadmap::LoadDescription(description, &d, &error)) << error;
    ASSERT_TRUE(roadmap::MapFileText(d, &mapText, &error)) << error;
    ASSERT_TRUE(hwbuild::BuildHighwayFile(d.highway, &highway, &error)) << error;
    ASSERT_TRUE(testutil::WriteBytes(dir.Native("ALLDATA.KWI"), mapText));
    ASSERT_TRUE(testutil::WriteBytes(dir.Native("HIGHWAY.DAT"), highway));
    for (const char* name : {"TOLL.DAT", "FACIL.DAT"})
      ASSERT_TRUE(testutil::WriteBytes(dir.Native(name), testutil::ReadBytes(data.file(name))));
    folder = dir.path();
    ASSERT_TRUE(route.init(folder.c_str()));
    known = &own;
  }

  testutil::TempDir dir;
  const Place icPlace = Deg(139.0500, 35.1000);
  const std::string ic = testutil::Sjis(u8"試験IC");
  const std::vector<FacilityNode> own{FacilityNode{ic, icPlace}};
};

// Leaving the highway down the ramp, or getting onto it up the ramp: the
// interchange moves to the ramp's end, where the route leaves or enters the
// highway. A stop on the ramp or at its end keeps its place and time, and
// the interchange then stays at its own place on the main line.
TEST_F(RampMap, AStopOnTheRampKeepsItsTimeAndTheInterchangeItsPlace) {
  const Place mainLine = Deg(139.0200, 35.1000), town = Deg(139.0500, 35.1600);
  const Place rampEnd = Deg(139.0500, 35.1200);
  for (int mode : {1, 2}) {
    for (const auto& [a, b] : {std::pair{mainLine, town}, std::pair{town, mainLine}}) {
      // Without a stop the interchange moves: no place to check.
      checkPlaces = false;
      const std::vector<Shown> moved = CheckRoute(Trip{{a, b}, {10 * 60, -1}, mode}, ic);
      checkPlaces = true;
      ASSERT_EQ(moved.size(), 1u);
      EXPECT_LE(Metres(moved[0].at, rampEnd), 100.0);
      for (const Place& v : {Deg(139.0500, 35.1100), rampEnd})
        for (bool timed : {false, true}) {
          const std::vector<Shown> kept = CheckRoute(Stop(a, v, b, timed, mode), ic);
          ASSERT_EQ(kept.size(), 1u);
          EXPECT_LE(Metres(kept[0].at, icPlace), 100.0);
        }
    }
  }
}

}  // namespace
