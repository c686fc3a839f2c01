#include "route/item_list.h"

#include <algorithm>
#include <cstddef>
#include <limits>

#include "common/be_bytes.h"
#include "plat/cp932.h"
#include "route/item_filter.h"

namespace {

constexpr std::uint8_t kBorderNode = 0x20;   // node byte 0
constexpr std::uint8_t kGuideNode = 0x20;    // node byte 4
constexpr std::uint8_t kHighwayLink = 0x20;  // attribute byte
constexpr std::size_t kNodeBytes = 8;

std::uint32_t Be16(const std::uint8_t* p) { return static_cast<std::uint32_t>(LoadBe(p, 2)); }
std::uint32_t Be32(const std::uint8_t* p) { return static_cast<std::uint32_t>(LoadBe(p, 4)); }

int ClampInt(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(),
                                                   std::numeric_limits<int>::max()));
}

bool SameDirection(std::uint32_t a, std::uint32_t b) { return (a != 0) == (b != 0); }

// The shape points of link `place` of the view's road record in the map's
// own direction: the segment's start point, its inner points and its end
// point (the next segment's start). False when the segment data is cut
// short.
bool LinkPoints(const KwRoad& road, const KwRoad::Link& view, int place,
                std::vector<ShapePoint>* out) {
  out->clear();
  if (!view.segments || place < 0 || place >= view.segmentCount) return false;
  const std::uint8_t* seg = view.segments;
  const std::size_t size = view.segmentBytes;
  std::size_t pos = 0;
  for (int k = 0;; ++k) {
    if (pos + 6 > size) return false;
    const std::size_t inner = Be16(seg + pos) & 0x3FF;
    const std::size_t next = pos + 6 + 2 * inner;
    if (k < place) {
      pos = next;
      continue;
    }
    if (next + 6 > size) return false;  // the end point is the next segment's start
    int x = static_cast<int>(Be16(seg + pos + 2));
    int y = static_cast<int>(Be16(seg + pos + 4));
    auto put = [&](int px, int py) {
      const KwPoint p = road.xy2LL(px, py);
      out->push_back(ShapePoint{p.x, p.y});
    };
    put(x, y);
    for (std::size_t i = 0; i < inner; ++i) {
      x += static_cast<std::int8_t>(seg[pos + 6 + 2 * i]);
      y += static_cast<std::int8_t>(seg[pos + 7 + 2 * i]);
      put(x, y);
    }
    put(static_cast<int>(Be16(seg + next + 2)), static_cast<int>(Be16(seg + next + 4)));
    return true;
  }
}

// Link number at position d of a run.
std::uint32_t RunLinkNo(const PathLink& run, std::uint32_t d) {
  return run.direction != 0 ? run.link + run.lastOffset - d : run.link + d;
}

// The road of the tile behind the border node `nodeIndex` of the view's
// record in which `nextLink` lies: the border word names a link there and
// the node at which the chain of candidates continues. Empty when no
// candidate holds the link.
KwInnerPtr<KwRoad> FollowBorder(const KwRoad& road, KiwiHandle* map, const KwRoad::Link& view,
                                int nodeIndex, std::uint32_t nextLink) {
  int index = nodeIndex;
  // Each chain node is visited at most once.
  for (int guard = 0; guard < view.nodeCount; ++guard) {
    const std::uint8_t* node = view.nodes + static_cast<std::size_t>(index) * kNodeBytes;
    if ((node[4] & 1) != 0 && node[5] == 0xFF && node[6] == 0xFF && node[7] == 0xFF) break;
    const std::uint32_t word = Be32(node + 4);
    KwRoad::Node n{node};
    KwInnerPtr<KwRoad> adjacent = road.adjRoad(map, &n);
    KwRoad::Link reached;
    if (adjacent &&
        adjacent->getLink(static_cast<int>((word >> 21) & 0xF),
                          static_cast<int>((word >> 9) & 0xFFF), &reached) &&
        adjacent->findLink(nextLink, nullptr))
      return adjacent;
    const int next = static_cast<int>(word & 0x1FF);
    if (next >= view.nodeCount) break;
    index = next;
  }
  return {};
}

// One run of a leg as the guidance records see it: the links it drives
// (each once, all the same way) and the distances from the leg's start at
// which it starts and ends. A record stands at one passage of its link: a
// run that drives the link that way.
struct RunSpan {
  std::uint64_t first = 0;  // lowest link number of the run
  std::uint64_t last = 0;   // highest
  bool reverse = false;
  std::int64_t from = 0;
  std::int64_t to = 0;
};

std::vector<RunSpan> RunSpans(const RouteSingleResult& leg) {
  std::vector<RunSpan> out;
  std::int64_t at = 0;
  for (int p = 0; p < leg.getPartCnt(); ++p) {
    const PartPath* part = leg.getPart(p);
    if (!part) continue;
    for (const PathLink& run : part->runs) {
      const std::int64_t end = std::max<std::int64_t>(at, run.distance);
      out.push_back(
          RunSpan{run.link, std::uint64_t{run.link} + run.lastOffset, run.direction != 0, at, end});
      at = end;
    }
  }
  return out;
}

// The run whose passage of the record's link (in its direction) the record
// stands at: the one whose distances hold the record's distance, or come
// nearest to it (the first of equals). -1 when the leg does not drive the
// link that way.
std::ptrdiff_t PassageOf(const std::vector<RunSpan>& runs, const RP2GuideRecord& r) {
  std::ptrdiff_t best = -1;
  std::int64_t bestGap = 0;
  const std::int64_t d = r.distance;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const RunSpan& run = runs[i];
    if (r.link < run.first || r.link > run.last || run.reverse != (r.direction != 0)) continue;
    const std::int64_t gap = d < run.from ? run.from - d : d > run.to ? d - run.to : 0;
    if (best < 0 || gap < bestGap) {
      best = static_cast<std::ptrdiff_t>(i);
      bestGap = gap;
    }
  }
  return best;
}

}  // namespace

std::vector<RP2GuideRecord> makeGuideRecords(const RouteSingleResult& leg) {
  std::vector<RP2GuideRecord> records;
  for (int p = 0; p < leg.getPartCnt(); ++p) {
    const PartPath* part = leg.getPart(p);
    if (!part) continue;
    auto add = [&](const GuideEntry& e, bool toll) {
      RP2GuideRecord r;
      r.link = e.link;
      r.direction = e.direction != 0 ? 1 : 0;
      r.time = e.time;
      r.distance = e.distance;
      (toll ? r.tollFacilNo : r.facilNo) = e.number;
      records.push_back(r);
    };
    for (const GuideEntry& e : part->facilities) add(e, false);
    for (const GuideEntry& e : part->tolls) add(e, true);
  }
  std::stable_sort(
      records.begin(), records.end(),
      [](const RP2GuideRecord& a, const RP2GuideRecord& b) { return a.distance < b.distance; });
  // From the end towards the start: a record on the same link and direction
  // as the one before it takes that one's place, keeping its own distance
  // and time and taking the earlier record's non-zero numbers, when both
  // stand for the same passage of the link. A leg that drives the link
  // again (as one that turns back over its first link does) keeps a record
  // at each passage.
  std::vector<RunSpan> runs;
  bool runsMade = false;
  for (std::size_t i = records.size(); i-- > 1;) {
    RP2GuideRecord& earlier = records[i - 1];
    RP2GuideRecord later = records[i];
    if (later.link != earlier.link || later.direction != earlier.direction) continue;
    if (!runsMade) {
      runs = RunSpans(leg);
      runsMade = true;
    }
    if (PassageOf(runs, later) != PassageOf(runs, earlier)) continue;
    if (earlier.facilNo != 0) later.facilNo = earlier.facilNo;
    if (earlier.tollFacilNo != 0) later.tollFacilNo = earlier.tollFacilNo;
    earlier = later;
    records.erase(records.begin() + static_cast<std::ptrdiff_t>(i));
  }
  return records;
}

CRP2ConvFunc1024LL::CRP2ConvFunc1024LL(const RouteSingleResult& leg, TmpItemAry& items,
                                       KiwiHandle* map)
    : leg_(leg), items_(items), map_(map), guides_(makeGuideRecords(leg)) {}

RP2GuideRecord CRP2ConvFunc1024LL::currentGuide() const {
  return cursor_ < guides_.size() ? guides_[cursor_] : RP2GuideRecord{};
}

void CRP2ConvFunc1024LL::applyGuide() {
  if (cursor_ >= guides_.size()) return;
  onGuidance(guides_[cursor_]);
  ++cursor_;
}

TmpItemAry::Link* CRP2ConvFunc1024LL::lastLink() {
  auto& list = items_.items();
  for (auto it = list.rbegin(); it != list.rend(); ++it)
    if (it->link) return it->link.get();
  return nullptr;
}

RP2LinkView CRP2ConvFunc1024LL::linkView(const KwRoad& road, const RP2Stretch& stretch,
                                         int i) const {
  RP2LinkView view;
  view.run = stretch.run;
  view.linkNo = stretch.linkNo(i);
  view.map = stretch.first;
  if (i != 0 && !road.getLink(stretch.place(i), stretch.first.record, &view.map))
    view.map = stretch.first;
  return view;
}

void CRP2ConvFunc1024LL::expand(const KwRoad& road, const RP2Stretch& stretch, int from, int to) {
  std::vector<ShapePoint> points;
  for (int i = std::max(from, 0); i < to && i < stretch.count; ++i) {
    const RP2LinkView view = linkView(road, stretch, i);
    if (LinkPoints(road, view.map, stretch.place(i), &points)) {
      if (stretch.reverse) std::reverse(points.begin(), points.end());
      for (const ShapePoint& p : points) addPoint(view, TmpItemAry::Point{p.x, p.y, -1});
    }
    // A record beyond the end of this run belongs to a later passage of
    // the link.
    const RP2GuideRecord g = currentGuide();
    if (cursor_ < guides_.size() && g.link == view.linkNo &&
        SameDirection(g.direction, stretch.reverse) &&
        (!view.run || static_cast<std::int64_t>(g.distance) <= std::int64_t{view.run->distance}))
      applyGuide();
  }
}

void CRP2ConvFunc1024LL::onLink(const KwRoad& road, const RP2Stretch& stretch) {
  expand(road, stretch, stretch.begin, stretch.count);
}

void CRP2ConvFunc1024LL::onPartStart(const KwRoad& road, const RP2Stretch& stretch, int part) {
  const PartPath* path = leg_.getPart(part);
  TmpItemAry::Node* node = newBreakNode();
  if (part == 0) {
    const TravelClock::Time t = leg_.departure();
    node->year = t.year;
    node->month = t.month;
    node->day = t.day;
    node->hour = t.hour;
    node->minute = t.minute;
    node->second = t.second;
  }
  if (!path) return;
  const RP2LinkView first = linkView(road, stretch, stretch.begin);
  for (const ShapePoint& p : path->startPoints) addPoint(first, TmpItemAry::Point{p.x, p.y, -1});
  // The start points stand for the first link; guidance on it follows
  // them, also in a part of one run (where the cursor would otherwise stay
  // on that record and hold back every later one of the leg).
  // In a part of a single link the start points are the start alone: a
  // record there beyond the start lies at the part's end (or later).
  const bool singleLink = path->runs.size() == 1 && path->runs.front().lastOffset == 0;
  const PartPath* before = part > 0 ? leg_.getPart(part - 1) : nullptr;
  const std::int64_t startDistance = before ? before->distance : 0;
  const RP2GuideRecord g = currentGuide();
  if (cursor_ < guides_.size() && g.link == path->firstLink &&
      SameDirection(g.direction, path->firstDirection) &&
      (!singleLink || static_cast<std::int64_t>(g.distance) <= startDistance))
    applyGuide();
  RP2Stretch rest = stretch;
  rest.begin = stretch.begin + 1;
  if (path->runs.size() == 1 && stretch.begin == 0 &&
      static_cast<std::uint32_t>(stretch.count) ==
          static_cast<std::uint32_t>(stretch.run->lastOffset) + 1)
    onPartEnd(road, rest, part);
  else
    expand(road, rest, rest.begin, rest.count);
}

void CRP2ConvFunc1024LL::onPartEnd(const KwRoad& road, const RP2Stretch& stretch, int part) {
  const PartPath* path = leg_.getPart(part);
  // The end points stand for the last link.
  expand(road, stretch, stretch.begin, stretch.count - 1);
  if (!path) return;
  const RP2LinkView last = linkView(road, stretch, stretch.count - 1);
  for (const ShapePoint& p : path->endPoints) addPoint(last, TmpItemAry::Point{p.x, p.y, -1});
  TmpItemAry::Link* link = lastLink();
  // Guidance at the end of the last link (a goal or via point at a
  // facility) lies within the end points: apply it here, or it would stay
  // at the cursor and hold back every later record of the leg. A record
  // beyond the part's end belongs to the next part on the same link.
  while (cursor_ < guides_.size() && guides_[cursor_].link == last.linkNo &&
         SameDirection(guides_[cursor_].direction, stretch.reverse) &&
         static_cast<std::int64_t>(guides_[cursor_].distance) <= std::int64_t{path->distance})
    applyGuide();
  if (link) {
    link->distance = path->distance;
    link->time = path->time;
  }
}

void CRP2ConvFunc1024LL::addPoint(const RP2LinkView& view, const TmpItemAry::Point& point) {
  auto& list = items_.items();
  const std::int32_t roadType = view.map.link ? view.map.link[0] : -1;
  const std::int32_t nameNo = view.run ? view.run->nameNo : -1;
  const std::int32_t roadNo = view.run ? view.run->roadNo : 0;
  const std::int32_t distance = view.run ? view.run->distance : -1;
  TmpItemAry::Link* link = list.empty() ? nullptr : list.back().link.get();
  if (!link || link->roadType != roadType || link->nameNo != nameNo || link->roadNo != roadNo ||
      link->distance != distance) {
    std::unique_ptr<TmpItemAry::Link> made = newLink();
    made->roadType = roadType;
    made->nameNo = nameNo;
    made->roadNo = roadNo;
    made->distance = distance;
    made->time = view.run ? view.run->time : -1;
    made->flags = static_cast<std::uint16_t>(
        (made->flags & ~1u) |
        (view.map.link && (view.map.link[view.map.attrIndex] & kHighwayLink) != 0 ? 1u : 0u));
    link = made.get();
    if (list.empty() || list.back().link)
      list.push_back(TmpItemAry::Item{nullptr, std::move(made)});
    else
      list.back().link = std::move(made);
  }
  link->points.push_back(point);
}

TmpItemAry::Node* CRP2ConvFunc1024LL::newBreakNode() {
  std::unique_ptr<TmpItemAry::Node> node = newNode();
  node->flags = nodeflag::kBreak;
  TmpItemAry::Node* raw = node.get();
  items_.items().push_back(TmpItemAry::Item{std::move(node), nullptr});
  return raw;
}

void CRP2ConvFunc1024LL::onGuidance(const RP2GuideRecord& /*record*/) {}

void CRP2ConvFunc1024LL::onCrossingName(const std::string& /*name*/) {}

std::unique_ptr<TmpItemAry::Node> CRP2ConvFunc1024LL::newNode() {
  return std::make_unique<TmpItemAry::Node>();
}

std::unique_ptr<TmpItemAry::Link> CRP2ConvFunc1024LL::newLink() {
  return std::make_unique<TmpItemAry::Link>();
}

void CTvxGuideFuncTVX::onLink(const KwRoad& road, const RP2Stretch& stretch) {
  CRP2ConvFunc1024LL::onLink(road, stretch);
  if (!stretch.finishesRun || stretch.count < 1) return;
  const RP2LinkView last = linkView(road, stretch, stretch.count - 1);
  if (!last.map.link || (last.map.link[last.map.attrIndex] & kHighwayLink) != 0) return;
  // The node at the stretch's end in driving order.
  const int place = stretch.place(stretch.count - 1);
  const int nodeIndex = stretch.reverse ? place : place + 1;
  if (!last.map.nodes || nodeIndex < 0 || nodeIndex >= last.map.nodeCount) return;
  const std::uint8_t* node = last.map.nodes + static_cast<std::size_t>(nodeIndex) * kNodeBytes;
  if ((node[0] & kBorderNode) != 0 || (node[4] & kGuideNode) == 0 || !map_) return;
  const KwRect range = road.getRange();
  KwInnerPtr<KwGuide> guide =
      map_->getGuide(Pelvo::P2, ClampInt(std::int64_t{range.x} + range.width / 2),
                     ClampInt(std::int64_t{range.y} + range.height / 2));
  if (!guide || !guide->data()) return;
  const std::size_t offset = Be32(node + 4) & 0xFFFFFF;
  if (offset + 2 > guide->size()) return;
  const std::size_t length = Be16(guide->data() + offset);
  if (length > guide->size() - offset - 2) return;
  onCrossingName(plat::cp932::FromUtf16LeBytes(guide->data() + offset + 2, length));
}

void CTvxGuideFuncTVX::onGuidance(const RP2GuideRecord& record) {
  if (TmpItemAry::Link* link = lastLink()) {
    link->distance = static_cast<std::int32_t>(record.distance);
    link->time = static_cast<std::int32_t>(record.time);
  }
  std::unique_ptr<TmpItemAry::Node> node = newNode();
  node->facilNo = record.facilNo;
  node->tollFacilNo = record.tollFacilNo;
  if (record.tollFacilNo != 0) node->flags |= nodeflag::kToll;
  items_.items().push_back(TmpItemAry::Item{std::move(node), nullptr});
}

void CTvxGuideFuncTVX::onCrossingName(const std::string& name) {
  auto& list = items_.items();
  if (list.empty() || !list.back().link) return;
  std::unique_ptr<TmpItemAry::Node> node = newNode();
  node->name = name;
  node->flags = nodeflag::kCrossing;
  list.push_back(TmpItemAry::Item{std::move(node), nullptr});
}

namespace {

// The road record the leg starts on: that of the tile around the middle of
// the first two start points (or of a tile shifted a little from it) that
// holds the first link; null when there is none.
KwInnerPtr<KwRoad> FindStartRoad(const RouteSingleResult& leg, KiwiHandle* map,
                                 std::uint32_t firstLink) {
  const PartPath* first = leg.getPart(0);
  if (!first || first->startPoints.empty()) return {};
  std::int64_t sx = first->startPoints[0].x, sy = first->startPoints[0].y;
  if (first->startPoints.size() >= 2) {
    sx = (sx + first->startPoints[1].x) / 2;
    sy = (sy + first->startPoints[1].y) / 2;
  }
  static constexpr int kShift[5][2] = {{0, 0}, {-100, -100}, {-100, 100}, {100, 100}, {100, -100}};
  for (const auto& s : kShift) {
    KwInnerPtr<KwMap> tile = map->getMap(Pelvo::P2, ClampInt(sx + s[0]), ClampInt(sy + s[1]));
    if (!tile) continue;
    KwInnerPtr<KwRoad> r = tile->getRoad();
    if (r && r->findLink(firstLink, nullptr)) return r;
  }
  KwInnerPtr<KwMap> tile = map->getMap(Pelvo::P2, ClampInt(sx), ClampInt(sy));
  if (!tile) return {};
  return tile->getRoad();
}

}  // namespace

bool walkLeg(const RouteSingleResult& leg, KiwiHandle* map, CRP2ConvFunc& func) {
  // The runs of the leg and, per run, its part; part boundaries are the
  // running sums of the parts' run counts.
  std::vector<const PathLink*> runs;
  std::vector<int> partOf;
  std::vector<bool> startsPart, endsPart;
  for (int p = 0; p < leg.getPartCnt(); ++p) {
    const PartPath* part = leg.getPart(p);
    if (!part) continue;
    for (std::size_t i = 0; i < part->runs.size(); ++i) {
      runs.push_back(&part->runs[i]);
      partOf.push_back(p);
      startsPart.push_back(i == 0);
      endsPart.push_back(i + 1 == part->runs.size());
    }
  }
  if (runs.empty()) return true;
  if (!map) return false;

  KwInnerPtr<KwRoad> road = FindStartRoad(leg, map, RunLinkNo(*runs[0], 0));
  if (!road) return false;

  std::size_t r = 0;
  std::uint32_t d = 0;
  while (r < runs.size()) {
    const PathLink& run = *runs[r];
    const std::uint32_t length = static_cast<std::uint32_t>(run.lastOffset) + 1;
    const bool reverse = run.direction != 0;
    RP2Stretch stretch;
    if (!road->findLink(RunLinkNo(run, d), &stretch.first)) return false;
    const std::uint32_t available = static_cast<std::uint32_t>(
        reverse ? stretch.first.place + 1 : stretch.first.segmentCount - stretch.first.place);
    stretch.run = &run;
    stretch.runIndex = static_cast<int>(r);
    stretch.count = static_cast<int>(std::min(available, length - d));
    stretch.reverse = reverse;
    stretch.finishesRun = d + static_cast<std::uint32_t>(stretch.count) == length;
    const int part = partOf[r];
    // A stretch that finishes its part ends it, also when the part is one
    // run spread over several road records: one break node per part.
    const bool endsHere = endsPart[r] && stretch.finishesRun;
    if (startsPart[r] && d == 0)
      func.onPartStart(*road, stretch, part);
    else if (endsHere)
      func.onPartEnd(*road, stretch, part);
    else
      func.onLink(*road, stretch);

    const std::uint32_t lastNo = stretch.linkNo(stretch.count - 1);
    d += static_cast<std::uint32_t>(stretch.count);
    if (d == length) {
      ++r;
      d = 0;
    }
    if (r >= runs.size()) break;
    const std::uint32_t nextNo = RunLinkNo(*runs[r], d);
    // The next part starts where this one ended: on the same link, on
    // another of this tile, or across the border when it ends on one.
    if (endsHere && road->findLink(nextNo, nullptr)) continue;
    const int place = stretch.place(stretch.count - 1);
    const int nodeIndex = reverse ? place : place + 1;
    const KwRoad::Link& view = stretch.first;
    if ((nextNo == lastNo && !endsHere) || !view.nodes || nodeIndex < 0 ||
        nodeIndex >= view.nodeCount)
      continue;
    if ((view.nodes[static_cast<std::size_t>(nodeIndex) * kNodeBytes] & kBorderNode) == 0) continue;
    KwInnerPtr<KwRoad> next = FollowBorder(*road, map, view, nodeIndex, nextNo);
    if (!next) return false;
    road = next;
  }
  return true;
}

bool buildItemList(TmpItemAry& items, KiwiHandle* mapData,
                   const std::vector<RouteSingleResult>& legs) {
  for (const RouteSingleResult& leg : legs) {
    CTvxGuideFuncTVX func(leg, items, mapData);
    if (!walkLeg(leg, mapData, func)) return false;
  }
  return true;
}
