// The route result's post-processing: item list, the fixed chain of
// filters, conversion.

#include <iterator>

#include "common/allocation_guard.h"
#include "route/highway_data.h"
#include "route/item_list.h"
#include "route/link_filters.h"
#include "route/node_filters.h"
#include "route/road_name.h"
#include "route/route_conversion.h"
#include "route/route_times.h"
#include "route/route_work.h"
#include "route/shape_thinning.h"
#include "toll/toll.h"

namespace TvxRoute {

namespace {

// Converts every leg in order into the list; each leg's links are marked
// with the leg's index, since their distance and time count from its start.
bool BuildLegItems(TmpItemAry& items, KiwiHandle* mapData,
                   const std::vector<RouteSingleResult>& legs) {
  auto& list = items.items();
  for (std::size_t i = 0; i < legs.size(); ++i) {
    const std::size_t before = list.size();
    if (!buildItemList(items, mapData, std::vector<RouteSingleResult>{legs[i]})) return false;
    for (auto it = std::next(list.begin(), static_cast<std::ptrdiff_t>(before)); it != list.end();
         ++it)
      if (it->link) it->link->leg = static_cast<std::int32_t>(i);
  }
  return true;
}

// The filters between the item list and the conversion, in their fixed
// order (the link merge runs twice around the break-node join).
void RunFilters(TmpItemAry& items, const TVXRouteCondition& condition, HighwayData& highway,
                Toll& toll, const TollResult& tollResult) {
  CEraseStdOnHwyNode().run(items);
  CMakeTollNode(&tollResult).run(items);
  CMakeTollFacilName<Toll>(&toll).run(items);
  CMarkFerryFacilNode().run(items);
  CMakeBrkNode<TVXRouteCondition>(&condition).run(items);
  CMakeHwyFacil(&highway).run(items);
  CMergeLink2().run(items);
  CEraseBreakFacilNode().run(items);
  CMergeLink2().run(items);
  CEraseFerryNode().run(items);
  CMakeFerryNodeName(&highway).run(items);
  CEraseFerryLoopNode().run(items);
  CShiftBreakPoint().run(items);
  CMoveBreakIc().run(items);
  CEraseNotInOutIcNode().run(items);
  CEraseNameMatchNode().run(items);
  CEraseTollNode().run(items);
  CMoveInOutIcNode().run(items);
  CFillHwyRoadNo().run(items);
  CConvLinkClass().run(items);
  CClearMixedRoadNo().run(items);
  CMakeRoadNameIdx(highway).run(items);
  CEraseJctNode().run(items);
  CMergeLink().run(items);
  CEraseDupPoint().run(items);
  CRPFShapeThinn(condition.thinningParam1, condition.thinningParam2).run(items);
  CMakeGoalNode<TVXRouteCondition>(&condition).run(items);
  CMakeNodeLinkTime().run(items);
  CMakeRevBrkNodeTime(&condition).run(items);
}

}  // namespace

bool RouteWork::runFilterPipeline(const RouteDataPaths& dataPaths, KiwiHandle* mapData,
                                  TVXRouteResult** resultSlot) {
  if (!condition || !resultSlot) return false;
  // Without memory for the items or the result the pipeline answers false.
  return CatchAllocationFailure(false, [&] {
    HighwayData highway;
    if (!highway.openHighwayData(dataPaths.highwayPath.c_str())) return false;
    // A toll object of our own, for facility names only.
    Toll toll;
    if (toll.init(nullptr, dataPaths.tollFolder.c_str()) != 0) return false;
    TmpItemAry items;
    if (!BuildLegItems(items, mapData, legResults)) return false;
    RunFilters(items, *condition, highway, toll, tollResult);
    TVXRouteResult* made = nullptr;
    CConvTVXRouteResult(condition, &made).run(items);
    if (!made) return false;
    *resultSlot = made;
    return true;
  });
}

}  // namespace TvxRoute
