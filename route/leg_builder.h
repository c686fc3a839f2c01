#pragma once
// The cutting of a route condition into legs: one leg condition of the
// route engine per stretch between timed nodes, the speed and holiday
// tables that every leg shares, and the toll input made from the finished
// legs.

#include <cstdint>
#include <memory>
#include <vector>

#include "outside/route_condition.h"
#include "outside/travel_clock.h"
#include "route/tvx_condition.h"
#include "route/tvx_values.h"
#include "toll/toll_records.h"

namespace TvxRoute {

// Failures of the leg building, as the route calculation reports them.
enum LegBuildError : std::int32_t {
  kLegBadDirection = 11,  // a node's direction outside -1..360
  kLegTimeMissing = 12,   // no node, or no node with a time
  kLegTimeOrder = 13,     // times not increasing, or on a node that cannot carry one
};

// What the leg building asks of the route engine: the kinds of road near a
// point. With bit value 2 set the point gets road kind 1, else 2.
class NearRoadTypeQuery {
 public:
  virtual ~NearRoadTypeQuery() = default;
  virtual int getNearRoadType(const Point2& point) = 0;
};

// The legs of one calculation and the two tables they share. The views of
// the tables are made anew whenever a table is replaced; a view is null
// when its table is empty.
class LegList {
 public:
  LegList() = default;
  LegList(const LegList&) = delete;
  LegList& operator=(const LegList&) = delete;

  int count() const { return static_cast<int>(legs_.size()); }
  // Leg i's condition with its holiday and speed views pointed at the
  // shared tables; null when i is out of range.
  RouteCondition2* take(int i);

  const std::vector<RouteSpeed>& speeds() const { return speeds_; }
  const std::vector<RouteHoliday>& holidays() const { return holidays_; }
  const RouteSpeedView* speedView() const { return speedView_.get(); }
  const RouteHolidayView* holidayView() const { return holidayView_.get(); }

  // Drops the legs (the tables stay).
  void clearLegs() { legs_.clear(); }
  // Replaces everything, and makes the views of the new tables.
  void replace(std::vector<std::unique_ptr<RouteCondition2>> legs, std::vector<RouteSpeed> speeds,
               std::vector<RouteHoliday> holidays);

 private:
  std::vector<std::unique_ptr<RouteCondition2>> legs_;
  std::vector<RouteSpeed> speeds_;
  std::unique_ptr<RouteSpeedView> speedView_;
  std::vector<RouteHoliday> holidays_;
  std::unique_ptr<RouteHolidayView> holidayView_;
};

// Cuts the condition into legs at its timed nodes and fills legs. On
// failure sets lastError to a LegBuildError, leaves legs without legs and
// returns false.
bool buildLegConditions(const TVXRouteCondition& condition, NearRoadTypeQuery& engine,
                        LegList& legs, std::int32_t& lastError);

// A packed date and time as the route engine's time, seconds 0; and back.
// Month and day are counted from 0 in both.
TravelClock::Time toTravelTime(CDateTime time);
CDateTime toDateTime(const TravelClock::Time& time);

// What the toll input takes of one finished leg: its departure time and
// its toll-relevant links, over all its parts in route order.
struct LegTollLink {
  std::uint16_t facility = 0;  // toll facility number
  std::uint32_t seconds = 0;   // seconds from the leg's start
};
struct LegTollLinks {
  TravelClock::Time departure;
  std::vector<LegTollLink> links;
};

// The toll input of a finished route: vehicle class and first option of
// leg 0, second option of the condition, one item per toll link in leg
// order. Holidays are only those of leg 0's holiday view.
TollInputParam buildTollInput(const RouteCondition2& leg0, const TVXRouteCondition& condition,
                              const std::vector<LegTollLinks>& legResults);

}  // namespace TvxRoute
