// Routes that stop at every highway facility of the sample road map, as a
// host would ask for them: a -> v -> b with v on a facility node, the stop
// timed or not, the points on the road the route engine finds near them
// (highway first) or on any road. Every route keeps its via point (and the
// time given there), and every facility it shows stands at its own place.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "plat/cp932.h"
#include "route/tvx_route.h"
#include "support/test_util.h"
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

// One route a -> v -> b.
struct Stop {
  Place a, v, b;
  bool timed = false;
  int roadMode = 1;
};

std::string Describe(const Stop& s) {
  char text[160];
  std::snprintf(text, sizeof text, "%.4f,%.4f -> %.4f,%.4f -> %.4f,%.4f %s, road mode %d",
                s.a.lon / 3600, s.a.lat / 3600, s.v.lon / 3600, s.v.lat / 3600, s.b.lon / 3600,
                s.b.lat / 3600, s.timed ? "timed" : "untimed", s.roadMode);
  return text;
}

// Minutes since 2015-06-03 00:00 of a result time.
int Minutes(const CDateTime& t) { return (t.getDay() - 3) * 1440 + t.getHour() * 60 + t.getMin(); }

class ViaFacility : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { facilities_ = new std::vector<FacilityNode>(SampleFacilities()); }
  static void TearDownTestSuite() {
    delete facilities_;
    facilities_ = nullptr;
  }
  void SetUp() override {
    known = facilities_;
    ASSERT_TRUE(route.init(data.path().c_str()));
  }

  // Calculates the route and checks what every such route must show.
  void CheckRoute(const Stop& s) {
    SCOPED_TRACE(Describe(s));
    // Departure at 10:00; a timed stop is left at 12:00, after any arrival
    // the sample map allows.
    std::vector<tvxtest::Condition::Timed> times{{0, 0}};
    if (s.timed) times.push_back({1, 120});
    tvxtest::Condition condition(3, times);
    const Place at[3] = {s.a, s.v, s.b};
    for (int i = 0; i < 3; ++i) {
      condition.node(i)->lon = static_cast<std::int32_t>(std::lround(at[i].lon * 1024));
      condition.node(i)->lat = static_cast<std::int32_t>(std::lround(at[i].lat * 1024));
      condition.node(i)->roadTypeMode = s.roadMode;
    }
    TVXRouteResult* result = nullptr;
    const int before = host.done();
    ASSERT_TRUE(route.calc(host.hwnd(), condition.get(), &result));
    ASSERT_TRUE(host.PumpDone(before + 1));
    ASSERT_EQ(route.getLastError(), TVXRoute::kNoError);
    ASSERT_NE(result, nullptr);
    CheckResult(*result, s);
    TvxRoute::Release(result);
  }

  void CheckResult(const TVXRouteResult& r, const Stop& s) {
    int via = -1, vias = 0;
    for (int i = 0; i < r.getNodeCnt(); ++i)
      if (r.getNode(i)->breakNo == 3) {
        via = i;
        ++vias;
      }
    ASSERT_EQ(vias, 1);
    const TVXRouteResult::Node& stop = *r.getNode(via);
    ASSERT_FALSE(stop.time.isNoData());
    if (s.timed) {
      EXPECT_EQ(Minutes(stop.time), 12 * 60);
    }
    for (int i = via + 1; i < r.getNodeCnt(); ++i) {
      const TVXRouteResult::Node& n = *r.getNode(i);
      ASSERT_FALSE(n.time.isNoData()) << "node " << i;
      EXPECT_GE(Minutes(n.time), Minutes(stop.time)) << "node " << i;
    }
    // Every facility shown stands within 100 m of its place on the map.
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
  // The facilities of the map routed on.
  const std::vector<FacilityNode>* known = nullptr;
  tvxtest::ScratchRegistry registry;
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
          for (bool timed : {false, true}) CheckRoute(Stop{a, v.at, b, timed, mode});
      }
}

// Stops on the highway near an interchange, between two facilities, or at
// another facility, with both ends on facilities too: 東京IC to 厚木IC and
// back over a stop.
TEST_F(ViaFacility, StopsBetweenTheFacilitiesKeepTheirPlacesAndTimes) {
  const Place stops[] = {Deg(139.5120, 35.5530), Deg(139.5000, 35.5430), Deg(139.4400, 35.4800),
                         Deg(139.5800, 35.5950)};
  for (const Place& v : stops)
    for (const FacilityNode& a : *facilities_)
      for (const FacilityNode& b : *facilities_) {
        if (&a == &b) continue;
        for (int mode : {1, 2})
          for (bool timed : {false, true}) CheckRoute(Stop{a.at, v, b.at, timed, mode});
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
    ASSERT_TRUE(route.init(dir.path().c_str()));
    known = &own;
  }

  // The places of the route's nodes named 試験IC; a stop at 0,0 is none.
  std::vector<Place> Interchanges(const Stop& s) {
    SCOPED_TRACE(Describe(s));
    std::vector<tvxtest::Condition::Timed> times{{0, 0}};
    if (s.timed) times.push_back({1, 120});
    const bool via = s.v.lon != 0;
    tvxtest::Condition condition(via ? 3 : 2, times);
    const Place at[3] = {s.a, s.v, s.b};
    for (int i = 0, n = 0; i < 3; ++i) {
      if (i == 1 && !via) continue;
      condition.node(n)->lon = static_cast<std::int32_t>(std::lround(at[i].lon * 1024));
      condition.node(n)->lat = static_cast<std::int32_t>(std::lround(at[i].lat * 1024));
      condition.node(n)->roadTypeMode = s.roadMode;
      ++n;
    }
    TVXRouteResult* result = nullptr;
    const int before = host.done();
    std::vector<Place> out;
    EXPECT_TRUE(route.calc(host.hwnd(), condition.get(), &result));
    EXPECT_TRUE(host.PumpDone(before + 1));
    EXPECT_EQ(route.getLastError(), TVXRoute::kNoError);
    if (!result) return out;
    if (via) CheckResult(*result, s);
    for (int i = 0; i < result->getNodeCnt(); ++i) {
      const TVXRouteResult::Node& n = *result->getNode(i);
      if (n.getName() && testutil::Sjis(u8"試験IC") == n.getName()) out.push_back(NodePlace(n));
    }
    TvxRoute::Release(result);
    return out;
  }

  testutil::TempDir dir;
  const Place icPlace = Deg(139.0500, 35.1000);
  const std::vector<FacilityNode> own{FacilityNode{testutil::Sjis(u8"試験IC"), icPlace}};
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
      const std::vector<Place> moved = Interchanges(Stop{a, Place{}, b, false, mode});
      ASSERT_EQ(moved.size(), 1u);
      EXPECT_LE(Metres(moved[0], rampEnd), 100.0);
      for (const Place& v : {Deg(139.0500, 35.1100), rampEnd})
        for (bool timed : {false, true}) {
          const std::vector<Place> kept = Interchanges(Stop{a, v, b, timed, mode});
          ASSERT_EQ(kept.size(), 1u);
          EXPECT_LE(Metres(kept[0], icPlace), 100.0);
        }
    }
  }
}

}  // namespace
