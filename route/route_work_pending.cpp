#include "route/route_work.h"

namespace TvxRoute {

// The filter pipeline that builds the result is not part of this library
// yet: every calculation that reaches it ends with the result not built.
bool RouteWork::runFilterPipeline(const RouteDataPaths& /*dataPaths*/, KiwiHandle* /*mapData*/,
                                  TVXRouteResult** /*resultSlot*/) {
  return false;
}

}  // namespace TvxRoute
