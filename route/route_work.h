#pragma once
// What one route calculation works on between its start and its end: the
// host's condition, the legs cut from it, the route engine's result of each
// finished leg and the toll engine's answer. The route core keeps one work
// record and reuses it for every calculation; the filter pipeline turns it
// into the host's result.

#include <string>
#include <vector>

#include "outside/route_result.h"
#include "route/leg_builder.h"
#include "route/tvx_condition.h"
#include "route/tvx_result.h"
#include "toll/toll_records.h"

class KiwiHandle;

namespace TvxRoute {

// The two paths that the data check at init keeps for the filter
// pipeline: the full path of HIGHWAY.DAT, and the data folder (with its
// trailing separator) from which the toll data is read.
struct RouteDataPaths {
  std::string highwayPath;
  std::string tollFolder;
};

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

  // Turns the finished legs and the toll answer into a new result, stored
  // in *resultSlot on success; on failure the slot is left alone.
  bool runFilterPipeline(const RouteDataPaths& dataPaths, KiwiHandle* mapData, TVXRouteResult** resultSlot);

  const TVXRouteCondition* condition = nullptr;  // borrowed from the host
  LegList legs;
  std::vector<RouteSingleResult> legResults;  // one per finished leg
  TollResult tollResult;                      // empty until the toll engine answered
};

}  // namespace TvxRoute
