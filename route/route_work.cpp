#include "route/route_work.h"

namespace TvxRoute {

void RouteWork::reset(const TVXRouteCondition* next) {
  legs.clearLegs();
  legResults.clear();
  tollResult = TollResult();
  condition = next;
}

std::vector<LegTollLinks> RouteWork::tollLinks() const {
  std::vector<LegTollLinks> out;
  out.reserve(legResults.size());
  for (const RouteSingleResult& leg : legResults) {
    LegTollLinks links;
    links.departure = leg.departure();
    for (int p = 0; p < leg.getPartCnt(); ++p) {
      const PartPath* part = leg.getPart(p);
      if (part == nullptr) continue;
      for (const PartLink& link : part->links)
        links.links.push_back(LegTollLink{link.facility, link.seconds});
    }
    out.push_back(std::move(links));
  }
  return out;
}

}  // namespace TvxRoute
