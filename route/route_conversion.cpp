// Conversion of the item list into the route result.

#include "route/route_conversion.h"

#include <iterator>
#include <memory>

using TvxRoute::TVXRouteResult;

std::int32_t resultNodeKind(std::uint32_t flags) {
  if (flags & nodeflag::kCrossing) return 0;
  if (flags & nodeflag::kFerry) return 6;
  if (flags & nodeflag::kInterchange) return 3;
  if (flags & nodeflag::kJunction) return 4;
  if (flags & nodeflag::kToll) return 5;
  if (flags & nodeflag::kKind2) return 2;
  if (flags & nodeflag::kKind1) return 1;
  return 7;
}

std::uint32_t packNodeTime(const TmpItemAry::Node& node) {
  return static_cast<std::uint32_t>(node.minute) | (static_cast<std::uint32_t>(node.hour) << 6) |
         (static_cast<std::uint32_t>(node.day) << 12) |
         (static_cast<std::uint32_t>(node.month) << 17) |
         ((static_cast<std::uint32_t>(node.year) + 48u) << 21);
}

namespace {

struct ReleaseResult {
  void operator()(TVXRouteResult* r) const { r->Release(); }
};

}  // namespace

bool CConvTVXRouteResult::run(TmpItemAry& items) {
  std::unique_ptr<TVXRouteResult, ReleaseResult> result(TVXRouteResult::Create());
  if (!result) return true;
  TVXRouteResult::Tables& tables = result->tables;
  const auto& list = items.items();
  const TmpItemAry::Link* previous = nullptr;
  std::int32_t breakNo = 2;
  bool firstItem = true;
  for (const TmpItemAry::Item& item : list) {
    if (const TmpItemAry::Node* in = item.node.get()) {
      auto node = std::make_unique<TVXRouteResult::Node>();
      if (item.link && !item.link->points.empty()) {
        node->lon = item.link->points.front().x;
        node->lat = item.link->points.front().y;
      } else if (previous && !previous->points.empty()) {
        // A node without a link of its own (guidance at the end of a part's
        // last link) stands where the link before it ends.
        node->lon = previous->points.back().x;
        node->lat = previous->points.back().y;
      }
      node->setName(in->name.c_str());
      node->kind = resultNodeKind(in->flags);
      node->breakNo = (in->flags & nodeflag::kBreak) ? breakNo++ : 0;
      node->fee = in->fee;
      node->firstFee = in->firstFee;
      node->facilityCode = in->facilCode;
      node->time = CDateTime(packNodeTime(*in));
      node->facilityFlag = node->kind >= 1 && node->kind <= 5 ? 1 : 0;
      tables.nodes.push_back(node.get());
      node.release();
    }
    if (const TmpItemAry::Link* in = item.link.get()) {
      auto link = std::make_unique<TVXRouteResult::Link>();
      link->linkClass = in->linkClass;
      link->distance = previous ? in->distance - previous->distance : in->distance;
      link->time = previous ? in->time - previous->time : in->time;
      if (item.node)
        link->nodeIndex = static_cast<std::int32_t>(tables.nodes.size()) - 1;
      else
        link->nodeIndex = firstItem ? 0 : -1;
      link->roadNameIndex = in->roadNameIdx;
      link->points.reserve(in->points.size());
      for (const TmpItemAry::Point& p : in->points) {
        TVXRouteResult::Link::Point q;
        q.lon = p.x;
        q.lat = p.y;
        q.level = p.level;
        link->points.push_back(q);
      }
      tables.links.push_back(link.get());
      link.release();
      previous = in;
    }
    firstItem = false;
  }
  if (!tables.nodes.empty()) {
    // The goal node has no link of its own: it stands at the last point of
    // the link before it (a single point too).
    if (list.size() >= 2) {
      const TmpItemAry::Item& beforeLast = *std::prev(list.end(), 2);
      if (beforeLast.link && !beforeLast.link->points.empty()) {
        tables.nodes.back()->lon = beforeLast.link->points.back().x;
        tables.nodes.back()->lat = beforeLast.link->points.back().y;
      }
    }
    tables.nodes.front()->breakNo = 1;
    tables.nodes.back()->breakNo = 2;
  }
  tables.roadNames = items.roadNames();
  result->summary1 = items.tollTotal1;
  result->summary2 = items.tollTotal2;
  result->tollError = items.tollError;
  result->condition = condition_;
  if (place_) *place_ = result.release();
  return true;
}
