#pragma once
// The filters that rewrite the route result's item list in place, one run
// each, and the node flags they share.

#include <cstdint>
#include <vector>

#include "route/item_list.h"

// Node flags.
namespace nodeflag {
constexpr std::uint32_t kBreak = 0x80;     // start of a route part (start, via points, goal)
constexpr std::uint32_t kCrossing = 0x40;  // named crossing
constexpr std::uint32_t kFerry = 0x20;     // ferry terminal
constexpr std::uint32_t kToll = 0x10;      // toll facility
constexpr std::uint32_t kJunction = 0x08;
constexpr std::uint32_t kInterchange = 0x04;
constexpr std::uint32_t kKind2 = 0x02;  // facility kind 2
constexpr std::uint32_t kKind1 = 0x01;  // facility kind 1
}  // namespace nodeflag

// Clears one flag of the item's node; a node left without flags because
// that was its only one is deleted (the item keeps its link).
void dropNodeFlag(TmpItemAry::Item& item, std::uint32_t flag);

// An item without a link counts as ordinary and not ferry.
inline bool isHighwayLink(const TmpItemAry::Item& item) {
  return item.link && (item.link->flags & 1) != 0;
}
inline bool isFerryLink(const TmpItemAry::Item& item) {
  return item.link && item.link->roadType == 0;
}
// The link's cumulative distance; -1 (no distance) without a link.
inline std::int64_t linkDistance(const TmpItemAry::Item& item) {
  return item.link ? item.link->distance : -1;
}

// Base of every filter: one run over the list; always true.
class CRPItemFilter {
 public:
  virtual ~CRPItemFilter() = default;
  virtual bool run(TmpItemAry& items) = 0;
};

// A filter that looks at one item at a time: run visits every item in
// order, an item its node and then its link, a link its points.
class CRPFLoopBase : public CRPItemFilter {
 public:
  bool run(TmpItemAry& items) override;
  virtual void visitItem(TmpItemAry::Item& item);
  virtual void visitNode(TmpItemAry::Node* node);
  virtual void visitPoints(std::vector<TmpItemAry::Point>& points);
  virtual void visitLink(TmpItemAry::Link* link);
};
