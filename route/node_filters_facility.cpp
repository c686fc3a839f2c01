// Facility, toll and break node filters.

#include <algorithm>
#include <iterator>
#include <map>
#include <vector>

#include "route/node_filters.h"
#include "route/route_times.h"

using Items = std::list<TmpItemAry::Item>;

bool CEraseStdOnHwyNode::run(TmpItemAry& items) {
  Items& list = items.items();
  if (list.empty()) return true;
  for (auto p = list.begin(), i = std::next(p); i != list.end(); p = i++) {
    TmpItemAry::Node* node = i->node.get();
    if (!node || (node->facilNo == 0 && node->tollFacilNo == 0)) continue;
    if (!p->link || !i->link) continue;
    if (isHighwayLink(*p) || isHighwayLink(*i) || isFerryLink(*p) || isFerryLink(*i)) continue;
    i->node.reset();
  }
  return true;
}

bool CMakeTollNode::run(TmpItemAry& items) {
  if (!tollResult_ || !*tollResult_) return true;
  const TollResultRaw& raw = **tollResult_;
  if (raw.code == 0) {
    items.tollTotal1 = raw.total3;
    items.tollTotal2 = raw.total1;
  } else {
    // No toll was computed: nothing here may read as "no toll to pay".
    items.tollError = raw.code;
    items.tollTotal1 = -1;
    items.tollTotal2 = -1;
  }
  // The toll engine answers one profile per toll point, in route order,
  // and a toll point passed twice (a round trip, a turn at a via point) has
  // a profile for each passage. So the k-th toll node of a facility is the
  // k-th passage of that facility and takes its k-th profile.
  std::map<std::int32_t, std::vector<const TollResultRaw::Prof*>> passages;
  if (raw.code == 0) {
    for (const TollResultRaw::Prof& prof : raw.profs.v) passages[prof.facility].push_back(&prof);
  }
  std::map<std::int32_t, std::size_t> met;
  for (TmpItemAry::Item& item : items.items()) {
    TmpItemAry::Node* node = item.node.get();
    if (!node || node->tollFacilNo == 0) continue;
    if (raw.code != 0) {
      node->firstFee = -1;
      node->fee = -1;
      continue;
    }
    const std::int32_t facility = static_cast<std::int32_t>(node->tollFacilNo & 0x7FFF);
    const std::size_t passage = met[facility]++;
    const auto found = passages.find(facility);
    if (found == passages.end() || passage >= found->second.size()) continue;
    const TollResultRaw::Prof& prof = *found->second[passage];
    if (prof.fee1 == -1 && prof.fee3 == -1) {
      node->tollFacilNo = 0;
    } else {
      node->firstFee = prof.fee1;
      node->fee = prof.fee3 != -1 ? prof.fee3 : prof.fee1;
    }
  }
  return true;
}

std::uint32_t breakNodeFlag(std::int32_t nodeType) {
  switch (nodeType) {
    case 0:
      return nodeflag::kKind1;
    case 1:
      return nodeflag::kKind2;
    case 2:
      return nodeflag::kInterchange;
    case 3:
      return nodeflag::kFerry;
    default:
      return 0;
  }
}

namespace {

bool IsHighwayFacilityNode(const TmpItemAry::Node& node) {
  return node.facilNo != 0 && (node.facilNo & 0x8000) == 0 && node.tollFacilNo == 0 &&
         node.firstFee == 0;
}

// Sets the node's flags (and facility code) from one facility record's
// attribute byte and kind block.
void ApplyFacilityRecord(const HighwayData::Facility& record, TmpItemAry::Node& node) {
  const std::uint8_t attr = record.entry[3];
  if (attr & 0x80) node.flags |= nodeflag::kInterchange;
  if (attr & 0x40) node.flags |= nodeflag::kJunction;
  if (attr & 0x10) node.flags |= nodeflag::kToll;
  if ((attr & 0x20) == 0 || !record.data) return;
  std::size_t pos = 0;
  if (attr & 0x80) pos += 3;
  if (attr & 0x40) {
    if (pos + 4 > record.dataSize) return;
    pos += 4 + 6 * static_cast<std::size_t>(record.data[pos + 3]);
  }
  if (pos + 3 > record.dataSize) return;
  const std::uint8_t kind = record.data[pos];
  if (kind == 1) node.flags |= nodeflag::kKind1;
  if (kind == 2 || kind == 3) node.flags |= nodeflag::kKind2;
  node.facilCode = static_cast<std::int32_t>((record.data[pos + 1] << 8) | record.data[pos + 2]);
}

// Whether the route passes a facility again between the items `from` (the
// node that used its record) and `to`: a break node lies strictly between
// them and the links from `from` on up to `to` do not all stand on one
// point. Within one part of a route no node is passed twice; a stop at a
// facility (arriving there, a break node, leaving from there) stays on one
// point.
bool PassedAgain(Items::iterator from, Items::iterator to) {
  bool breakBetween = false;
  bool moved = false;
  const TmpItemAry::Point* first = nullptr;
  for (auto it = from; it != to; ++it) {
    if (it != from && it->node && (it->node->flags & nodeflag::kBreak)) breakBetween = true;
    if (!it->link) continue;
    for (const TmpItemAry::Point& p : it->link->points) {
      if (!first) first = &p;
      if (p.x != first->x || p.y != first->y) moved = true;
    }
  }
  return breakBetween && moved;
}

}  // namespace

bool CMakeHwyFacil::run(TmpItemAry& items) {
  Items& list = items.items();
  for (TmpItemAry::Item& item : list)
    if (item.node && IsHighwayFacilityNode(*item.node))
      item.node->name = highway_->getFacilityName(item.node->facilNo).name;

  // A record is known by its entry, which stays in place until the file
  // is closed.
  // Each record used, with the node that last used it.
  std::map<const std::uint8_t*, Items::iterator> used;
  std::vector<Items::iterator> repeats;
  for (auto it = list.begin(); it != list.end(); ++it) {
    TmpItemAry::Node* node = it->node.get();
    if (!node || !IsHighwayFacilityNode(*node) || node->facilNo > 0xFFFF) continue;
    for (const HighwayData::Facility& record :
         highway_->findFacilities(static_cast<std::uint16_t>(node->facilNo))) {
      if (!record.entry) continue;
      const auto [at, added] = used.emplace(record.entry, it);
      if (added || PassedAgain(at->second, it)) {
        at->second = it;
        ApplyFacilityRecord(record, *node);
      } else if (repeats.empty() || repeats.back() != it) {
        repeats.push_back(it);
      }
    }
  }
  for (auto r = repeats.rbegin(); r != repeats.rend(); ++r) {
    TmpItemAry::Item& item = **r;
    if (!item.node) continue;
    if (item.node->flags & nodeflag::kJunction)
      item.node->flags &= ~(nodeflag::kKind1 | nodeflag::kKind2 | nodeflag::kInterchange);
    else
      item.node.reset();
  }
  return true;
}

bool CEraseBreakFacilNode::run(TmpItemAry& items) {
  Items& list = items.items();
  if (list.empty()) return true;
  constexpr std::uint32_t kKinds = nodeflag::kKind1 | nodeflag::kKind2;
  auto b = std::next(list.begin());
  while (b != list.end()) {
    auto p = std::prev(b);
    TmpItemAry::Node* node = b->node.get();
    if (!node || (node->flags & nodeflag::kBreak) == 0 ||
        (node->flags & (kKinds | nodeflag::kFerry)) == 0) {
      ++b;
      continue;
    }
    const bool hasKind = (node->flags & kKinds) != 0;
    bool joinBack = false;
    if (hasKind) {
      joinBack = p->node && p->link && p->link->points.size() == 2 &&
                 p->link->points[0].x == p->link->points[1].x &&
                 p->link->points[0].y == p->link->points[1].y;
    } else {
      joinBack = p->node && (p->node->flags & nodeflag::kFerry) != 0;
    }
    // The joins move a shape point between neighbour links: both must have
    // one.
    if (joinBack && p->link && !p->link->points.empty() && b->link && !b->link->points.empty()) {
      b->link->points.front() = p->link->points.front();
      list.erase(p);
      ++b;
      continue;
    }
    auto n = std::next(b);
    if (n == list.end() || !n->node) {
      ++b;
      continue;
    }
    TmpItemAry::Node& next = *n->node;
    next.flags = node->flags;
    setNodeTime(next, nodeTime(*node));
    if (p->link && !p->link->points.empty() && n->link && !n->link->points.empty())
      p->link->points.back() = n->link->points.front();
    list.erase(b);
    b = std::next(n);
  }
  return true;
}

bool CEraseTollNode::run(TmpItemAry& items) {
  for (TmpItemAry::Item& item : items.items()) {
    const TmpItemAry::Node* node = item.node.get();
    if (node && (node->flags & nodeflag::kToll) && node->fee == 0 && node->firstFee == 0)
      dropNodeFlag(item, nodeflag::kToll);
  }
  return true;
}
