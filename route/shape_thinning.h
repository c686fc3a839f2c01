#pragma once
// Shape thinning of the route result's links: every shape point gets the
// number of thinning passes it survives, so that a client can draw a link
// at several scales from one point list.

#include <cstdint>
#include <vector>

#include "route/item_filter.h"

// Gives every point of every link its thinning level: 0 when the first
// tolerance drops it, the number of tolerances when every pass keeps it.
// Each pass runs the Douglas-Peucker rule with its tolerance (below 1
// counts as 1) over the points the pass before kept. A link with fewer
// than 2 or more than 65,534 points keeps level 0 on all of them. The
// tolerances belong to the caller and must outlive the filter.
class CRPFShapeThinn : public CRPFLoopBase {
 public:
  CRPFShapeThinn(const double* tolerances, std::int32_t count)
      : tolerances_(tolerances), count_(count) {}
  void visitPoints(std::vector<TmpItemAry::Point>& points) override;

  // Squared distance of p to the segment a-b (to a when a and b coincide).
  static long double squaredDistance(const TmpItemAry::Point& p, const TmpItemAry::Point& a,
                                     const TmpItemAry::Point& b);

 private:
  const double* tolerances_;
  std::int32_t count_;
};
