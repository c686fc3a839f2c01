// Node clock times, route-cumulative link values and arrival times of break
// nodes.

#include "route/route_times.h"

#include <iterator>

TravelClock::Time nodeTime(const TmpItemAry::Node& node) {
  TravelClock::Time t;
  t.year = node.year;
  t.month = node.month;
  t.day = node.day;
  t.hour = node.hour;
  t.minute = node.minute;
  t.second = node.second;
  return t;
}

void setNodeTime(TmpItemAry::Node& node, const TravelClock::Time& time) {
  node.year = time.year;
  node.month = time.month;
  node.day = time.day;
  node.hour = time.hour;
  node.minute = time.minute;
  node.second = time.second;
}

bool CMakeNodeLinkTime::run(TmpItemAry& items) {
  TravelClock::Time clock;
  std::int32_t elapsed = 0;  // leg time of the last link
  std::int32_t baseDistance = 0, baseTime = 0;
  const TmpItemAry::Link* last = nullptr;  // the last link seen, already adjusted
  bool anchorSinceLink = false;
  for (TmpItemAry::Item& item : items.items()) {
    if (TmpItemAry::Node* node = item.node.get()) {
      if (node->year != 0) {
        clock = nodeTime(*node);
        anchorSinceLink = true;
      } else {
        TravelClock::Time t = clock;
        t.addSec(elapsed);
        setNodeTime(*node, t);
      }
    }
    TmpItemAry::Link* link = item.link.get();
    if (!link) continue;
    const bool newLeg = last && link->leg != last->leg;
    // A leg that did not start at a timed node runs on from the end of the
    // leg before it.
    if (newLeg && !anchorSinceLink) clock.addSec(elapsed);
    if (last && (anchorSinceLink || newLeg)) {
      baseDistance = last->distance;
      baseTime = last->time;
    }
    anchorSinceLink = false;
    elapsed = link->time;
    link->time += baseTime;
    link->distance += baseDistance;
    last = link;
  }
  return true;
}

bool CMakeRevBrkNodeTime::run(TmpItemAry& items) {
  if (!condition_ || condition_->timeMode != 1) return true;
  auto& list = items.items();
  if (list.empty()) return true;
  int next = 1;
  for (auto it = std::next(list.begin()); it != list.end(); ++it) {
    TmpItemAry::Node* node = it->node.get();
    if (!node || (node->flags & nodeflag::kBreak) == 0) continue;
    if (next >= condition_->getNodeCnt()) break;
    const TvxRoute::TVXRouteCondition::Node* cn = condition_->getNode(next++);
    if (!cn || cn->time.isNoData()) continue;
    const std::uint32_t w = cn->time;
    node->year = static_cast<std::uint16_t>((w >> 21) + 2000u);
    node->month = static_cast<std::uint8_t>((w >> 17) & 0xFu);
    node->day = static_cast<std::uint8_t>((w >> 12) & 0x1Fu);
    node->hour = static_cast<std::uint8_t>((w >> 6) & 0x1Fu);
    node->minute = static_cast<std::uint8_t>(w & 0x3Fu);
    node->second = 0;
  }
  return true;
}
