// Link merging, break-point shifts, name numbers, link classes and repeated
// points.

#include "route/link_filters.h"

#include <cstdlib>
#include <iterator>

using Items = std::list<TmpItemAry::Item>;

bool isHighwayLike(const TmpItemAry::Link& link) {
  return link.roadType == 10 || link.roadType == 11 || link.roadType == 12 || (link.flags & 1) != 0;
}

bool CMergeLinkBase::run(TmpItemAry& items) {
  Items& list = items.items();
  for (auto p = list.begin(); p != list.end(); ++p) {
    if (!p->link) continue;
    TmpItemAry::Link& into = *p->link;
    for (auto s = std::next(p); s != list.end() && !s->node && s->link && canMerge(into, *s->link);
         s = std::next(p)) {
      const TmpItemAry::Link& from = *s->link;
      into.points.insert(into.points.end(), from.points.begin(), from.points.end());
      into.distance = from.distance;
      into.time = from.time;
      into.leg = from.leg;
      list.erase(s);
    }
  }
  return true;
}

bool CMergeLink2::canMerge(const TmpItemAry::Link& a, const TmpItemAry::Link& b) {
  return a.roadType == b.roadType && a.nameNo == b.nameNo && a.roadNo == b.roadNo &&
         (a.flags & 1) == (b.flags & 1);
}

bool CMergeLink::canMerge(const TmpItemAry::Link& a, const TmpItemAry::Link& b) {
  return a.roadNameIdx == b.roadNameIdx && a.linkClass == b.linkClass;
}

namespace {

// The new joint: E moved towards R by 50 units along the longer axis, or
// halfway when the segment is 60 or shorter in both axes.
TmpItemAry::Point PulledPoint(const TmpItemAry::Point& e, const TmpItemAry::Point& r) {
  const std::int64_t d = static_cast<std::int64_t>(e.x) - r.x;
  const std::int64_t f = static_cast<std::int64_t>(e.y) - r.y;
  std::int64_t dd = 0, ff = 0;
  const std::int64_t ad = std::llabs(d), af = std::llabs(f);
  if (ad > 60 || af > 60) {
    // 50 / max(|d|, |e|) times each delta, truncated toward zero, in
    // exact integer arithmetic (the longer axis moves exactly 50).
    const std::int64_t longer = ad > af ? ad : af;
    dd = 50 * d / longer;
    ff = 50 * f / longer;
  } else {
    dd = d / 2;
    ff = f / 2;
  }
  TmpItemAry::Point n;
  n.x = static_cast<std::int32_t>(e.x - dd);
  n.y = static_cast<std::int32_t>(e.y - ff);
  n.level = -1;
  return n;
}

bool HasPoints(const TmpItemAry::Item& item, std::size_t count) {
  return item.link && item.link->points.size() >= count;
}

}  // namespace

bool CShiftBreakPoint::run(TmpItemAry& items) {
  Items& list = items.items();
  if (list.empty()) return true;
  for (auto p = list.begin(), i = std::next(p); i != list.end(); p = i++) {
    if (!i->node) continue;
    const bool a = isFerryLink(*p);
    const bool b = isFerryLink(*i);
    bool backward = false;
    if ((i->node->flags & (nodeflag::kKind2 | nodeflag::kKind1)) != 0)
      backward = true;
    else if (a != b)
      backward = b;
    else
      continue;
    // The link the point is pulled into needs a segment to pull along; the
    // other only gives up its joint point, so one point is enough there.
    if (!HasPoints(*p, backward ? 2 : 1) || !HasPoints(*i, backward ? 1 : 2)) continue;
    std::vector<TmpItemAry::Point>& before = p->link->points;
    std::vector<TmpItemAry::Point>& after = i->link->points;
    const TmpItemAry::Point& r = backward ? before[before.size() - 2] : after[1];
    const TmpItemAry::Point n = PulledPoint(before.back(), r);
    before.back() = n;
    after.front() = n;
  }
  return true;
}

bool CFillHwyRoadNo::run(TmpItemAry& items) {
  Items& list = items.items();
  std::int32_t carried = 0;
  auto step = [&carried](TmpItemAry::Item& item) {
    if (!item.link) return;
    TmpItemAry::Link& link = *item.link;
    if (isHighwayLike(link)) {
      if (link.nameNo == 0) link.nameNo = carried;
      carried = link.nameNo;
    } else {
      carried = 0;
    }
  };
  for (auto it = list.rbegin(); it != list.rend(); ++it) step(*it);
  carried = 0;
  for (TmpItemAry::Item& item : list) step(item);
  return true;
}

std::int32_t linkClassOf(std::int32_t roadType) {
  switch (roadType) {
    case 0:
      return 6;
    case 2:
    case 3:
      return 5;
    case 7:
      return 3;
    case 8:
      return 2;
    case 9:
      return 1;
    case 10:
    case 11:
    case 12:
      return 0;
    default:
      return 4;
  }
}

void CConvLinkClass::visitLink(TmpItemAry::Link* link) {
  link->linkClass = linkClassOf(link->roadType);
}

bool CClearMixedRoadNo::run(TmpItemAry& items) {
  Items& list = items.items();
  auto p = list.begin();
  while (p != list.end()) {
    auto r = std::next(p);
    int mixed = 0;
    const TmpItemAry::Link* first = p->link.get();
    if (first && !isHighwayLike(*first) && first->roadNo != 0) {
      for (; r != list.end() && !r->node && r->link && !isHighwayLike(*r->link) &&
             r->link->roadNo == first->roadNo;
           ++r)
        if (r->link->nameNo != first->nameNo) ++mixed;
    }
    if (mixed > 0)
      for (auto q = p; q != r; ++q) q->link->nameNo = 0;
    p = r;
  }
  return true;
}

bool CEraseDupPoint::run(TmpItemAry& items) {
  for (TmpItemAry::Item& item : items.items()) {
    if (!item.link) continue;
    std::vector<TmpItemAry::Point>& points = item.link->points;
    if (points.size() == 2) continue;
    std::size_t out = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
      if (out > 0 && points[out - 1].x == points[i].x && points[out - 1].y == points[i].y) continue;
      points[out++] = points[i];
    }
    points.resize(out);
  }
  return true;
}
