#pragma once
// Times of the route result: every node's clock time, the links' distance
// and time counted from the start of the route, and the break nodes' times
// from the route condition when it gives arrival times.

#include "outside/travel_clock.h"
#include "route/item_filter.h"
#include "route/tvx_condition.h"

// A node's time as the route engine's time, and back.
TravelClock::Time nodeTime(const TmpItemAry::Node& node);
void setNodeTime(TmpItemAry::Node& node, const TravelClock::Time& time);

// Node times and route-cumulative link values. A node with a time (year not
// 0) sets the clock; a node without one gets the clock plus the leg time of
// the last link before it. A link's distance and time, counted from its
// leg's start, get the totals of the legs before it added; a new leg starts
// at a timed node and wherever the links' leg changes (a leg without a
// time of its own continues the clock of the leg before it).
class CMakeNodeLinkTime : public CRPItemFilter {
 public:
  bool run(TmpItemAry& items) override;
};

// With arrival times (timeMode 1), the break nodes after the first item
// take, in order, the times of the condition's nodes 1, 2, ... that have
// one (seconds 0).
class CMakeRevBrkNodeTime : public CRPItemFilter {
 public:
  explicit CMakeRevBrkNodeTime(const TvxRoute::TVXRouteCondition* condition)
      : condition_(condition) {}
  bool run(TmpItemAry& items) override;

 private:
  const TvxRoute::TVXRouteCondition* condition_;
};
