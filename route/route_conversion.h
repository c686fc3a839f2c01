#pragma once
// The last step of the route result's post-processing: the finished item
// list becomes a new TVXRouteResult (one result node per item node, one
// result link per item link with its shape points, the road-name table and
// the two toll totals).

#include <cstdint>

#include "route/item_filter.h"
#include "route/tvx_condition.h"
#include "route/tvx_result.h"

// A node's kind from its flags, first match: 0x40 0, 0x20 6, 0x04 3, 0x08
// 4, 0x10 5, 0x02 2, 0x01 1, none 7.
std::int32_t resultNodeKind(std::uint32_t flags);

// A node's time as a packed date-time word: minute, hour << 6, day << 12,
// month << 17 and (year + 48) << 21, cut to 32 bits; month and day count
// from 0, so bits 21-31 hold year - 2000 (48 for a node without a time).
std::uint32_t packNodeTime(const TmpItemAry::Node& node);

// Creates the result and stores it in *place; the slot is left alone when
// the result cannot be created.
class CConvTVXRouteResult : public CRPItemFilter {
 public:
  CConvTVXRouteResult(const TvxRoute::TVXRouteCondition* condition,
                      TvxRoute::TVXRouteResult** place)
      : condition_(condition), place_(place) {}
  bool run(TmpItemAry& items) override;

 private:
  const TvxRoute::TVXRouteCondition* condition_;
  TvxRoute::TVXRouteResult** place_;
};
