#pragma once
// The result builder: makes a leg's RouteSingleResult from link runs on the
// map, for the route engine stand-in and for tests. Everything the result
// records leave open is laid down here.
//
// Link runs (PathLink, 24 bytes; a part's `runs` are its 24-byte entries)
//   A run covers the links first .. first + lastOffset, which must all be on
//   the map, each link starting where the one before it ends (link numbers
//   run on across road records and tiles). Forward runs drive them in that
//   order along each link's direction; reverse runs (direction 1) drive
//   first + lastOffset first, each link against its direction. A run
//   carries the name number and road number given for it, and the distance
//   (metres) and time (seconds) from the leg start to the end of the run.
//
// Distance and time
//   A step between two points costs its length on the sphere of radius
//   kEarthRadius (a local flat projection at the step's mean latitude);
//   a link's time is its length at the speed of its road type
//   (TravelSpeedKmh). Sums are kept in full precision and rounded to whole
//   metres and seconds where a record takes them, so every cumulative value
//   is the rounded running sum and never decreases. All cumulative values
//   of a leg count from the leg start; a part's distance and time are those
//   at its end, its startTime is the departure plus the time at its start.
//
// Positions (LinkPair)
//   first = link number, second = the index of the link's shape point
//   nearest to the position, counted along the link's own direction (0 =
//   its start node). A part's `entries` hold its start
//   and goal positions; `goalSide` holds the goal position, and is empty for
//   a part without runs (its start is its goal). `firstLink` and
//   `firstDirection` are the first driven link and its direction.
//
// Shape points (ShapePoint, route units)
//   startPoints cover the first link from the part's start up to the end of
//   that link in driving order; endPoints the last link from its beginning
//   up to the part's goal. In a part of one link, startPoints hold the
//   start alone and endPoints the rest of the link up to the goal, so that
//   the two together are the driven piece of the link. An exact start
//   replaces the first link's shape points up to the one nearest to it (its
//   end node stays), an exact goal those of the last link from the one
//   nearest to it on (its start node stays).
//
// Guidance entries (GuideEntry, 16 bytes)
//   A facility or toll entry lies at the end of one driven link: link
//   number, direction (1 = driven against the link), the facility or toll
//   facility number, and the distance and time from the leg start to the
//   end of the driven link. An entry at the part's start names the part's
//   first link and direction and has the distance and time of the part's
//   start. Entries are in driving order. Every toll entry
//   also gives a toll point (PartLink) with the toll facility number and the
//   seconds from the leg start: a part's `links` hold toll points only.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "outside/kiwi.h"
#include "outside/route_result.h"
#include "outside/travel_clock.h"

namespace routebuild {

constexpr double kEarthRadius = 6378137.0;  // metres

// Speed of a road type (the map's road types: 0 ferry route, 10-12
// expressways, 9 national roads, 7 and 8 prefectural roads, others lesser
// roads): 0 20, 10-12 80, 9 50, any other 30 (km/h).
int TravelSpeedKmh(int roadType);

// Length in metres of the step between two points in route units.
double StepMetres(ShapePoint a, ShapePoint b);

// One link of the map, decoded: its shape in route units along its own
// direction (both end nodes included) and where it lies.
struct MapLink {
  std::uint32_t number = 0;
  std::uint32_t tile = 0;
  int record = 0;
  int place = 0;
  std::uint8_t roadType = 0;
  std::uint8_t attribute = 0;  // bit 0x20 = highway link
  std::vector<ShapePoint> points;
  double metres = 0;
  // The route engine's data of its road record.
  std::int32_t nameNo = 0;
  std::int32_t roadNo = 0;
  std::optional<KwFacility> startFacility;  // at its start node
  std::optional<KwFacility> endFacility;    // at its end node
  bool highway() const { return (attribute & 0x20) != 0; }
};

// The link with this number (the first tile that holds it); false when no
// tile does or its segment data is cut short.
bool FindMapLink(const KiwiHandle& map, std::uint32_t number, MapLink* out);
// Every link of the map, tile by tile, record by record, in link order.
std::vector<MapLink> AllMapLinks(const KiwiHandle& map);

// What the builder makes a result from.
struct RunSpec {
  std::uint32_t first = 0;
  std::uint16_t lastOffset = 0;
  bool reverse = false;
  std::int32_t nameNo = 0;
  std::int32_t roadNo = 0;
};
// A facility or toll at the end of a driven link, or (atStart) at the start
// of the part's first link.
struct GuideSpec {
  std::uint32_t link = 0;
  bool reverse = false;
  std::uint16_t number = 0;
  bool atStart = false;
};
struct PartSpec {
  std::vector<RunSpec> runs;  // none: a part whose start is its goal
  // Exact start and goal on the first and last link; unset: the first
  // link's start node and the last link's end node (in driving order).
  std::optional<ShapePoint> start;
  std::optional<ShapePoint> goal;
  // For a part without runs: where it stands.
  LinkPair standing;
  std::vector<GuideSpec> facilities;
  std::vector<GuideSpec> tolls;
};
struct LegSpec {
  TravelClock::Time departure;
  std::int32_t vehicleType = 0;
  std::uint8_t option = 0;
  std::vector<PartSpec> parts;
};

// Builds the leg's result. False, with the reason in *error, when a run's
// link is not on the map, the links of a run do not join, or a guidance
// entry names a link the part does not drive that way.
bool BuildRouteResult(const KiwiHandle& map, const LegSpec& leg, RouteSingleResult* out,
                      std::string* error);

}  // namespace routebuild
