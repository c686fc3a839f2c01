#pragma once
// What one route calculation works on between its start and its end: the
// host's condition, the legs cut from it, the route engine's result of each
// finished leg and the toll engine's answer, and the data paths that its
// result post-processing reads. The route core keeps one work record and
// reuses it for every calculation; the filter pipeline turns it into the
// host's result.

#include <string>
#include <vector>

#include "outside/kiwi.h"
#include "outside/route_result.h"
#include "route/leg_builder.h"
#include "route/tvx_condition.h"
#include "route/tvx_result.h"
#include "toll/toll_records.h"

namespace TvxRoute {

// The paths kept from init for the post-processing (CP932).
struct RouteDataPaths {
  std::string highwayPath;  // full path of HIGHWAY.DAT
  std::string tollFolder;   // the toll data folder, with its trailing separator
};

// One per route core, reused by every calculation.
class RouteWork {
 public:
  RouteWork() = default;
  RouteWork(const RouteWork&) = delete;
  RouteWork& operator=(const RouteWork&) = delete;

  // Drops the legs, the leg results and the toll answer of the previous
  // calculation and remembers the condition of the next one.
  void reset(const TVXRouteCondition* next);

  // The toll-relevant links of the finished legs, in leg order, as the toll
  // input builder takes them.
  std::vector<LegTollLinks> tollLinks() const;

  // Turns the finished legs into a new route result: the legs become an
  // item list, which runs through the fixed chain of filters and is then
  // converted. True with the new result in *resultSlot (the caller owns it
  // and ends it with Release); false, with the slot untouched and nothing
  // left allocated, when HIGHWAY.DAT cannot be opened, the toll data
  // cannot be read, a leg cannot be followed over the map, or the result
  // cannot be made.
  bool runFilterPipeline(const RouteDataPaths& dataPaths, KiwiHandle* mapData,
                         TVXRouteResult** resultSlot);

  const TVXRouteCondition* condition = nullptr;  // the caller's, borrowed
  LegList legs;
  std::vector<RouteSingleResult> legResults;  // one per finished leg, in leg order
  TollResult tollResult;                      // empty until the toll engine answers
};

}  // namespace TvxRoute
