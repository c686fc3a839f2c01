#include "outside/route_engine.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <queue>
#include <utility>

#include "outside/kiwi.h"
#include "outside/route_builder.h"
#include "plat/message.h"

// ---------------------------------------------------------------- script

RouteScript& RouteScript::shared() {
  static RouteScript script;
  return script;
}

void RouteScript::push(RouteOutcome outcome) {
  std::lock_guard<std::mutex> lock(mutex_);
  outcomes_.push_back(std::move(outcome));
}

void RouteScript::setCancelAnswer(std::optional<int> answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  cancelAnswer_ = answer;
}

void RouteScript::setNearRoadType(std::optional<int> answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  nearRoadType_ = answer;
}

std::vector<RecordedCondition> RouteScript::conditions() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return conditions_;
}

std::size_t RouteScript::pending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return outcomes_.size();
}

void RouteScript::reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  outcomes_.clear();
  cancelAnswer_.reset();
  nearRoadType_.reset();
  conditions_.clear();
}

RouteOutcome RouteScript::take(const RouteCondition2& condition) {
  RecordedCondition rec;
  rec.condition = condition;
  rec.condition.holidays = nullptr;
  rec.condition.speeds = nullptr;
  if (condition.holidays) {
    rec.hasHolidays = true;
    rec.holidayCount = condition.holidays->count;
    if (condition.holidays->first)
      for (std::int32_t i = 0; i < condition.holidays->count; ++i)
        rec.holidays.push_back(condition.holidays->first[i]);
  }
  if (condition.speeds) {
    rec.hasSpeeds = true;
    rec.speedCount = condition.speeds->count;
    if (condition.speeds->first)
      for (std::int32_t i = 0; i < condition.speeds->count; ++i)
        rec.speeds.push_back(condition.speeds->first[i]);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  conditions_.push_back(std::move(rec));
  if (outcomes_.empty()) return RouteOutcome::Search();
  RouteOutcome next = std::move(outcomes_.front());
  outcomes_.pop_front();
  return next;
}

std::optional<int> RouteScript::cancelAnswer() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return cancelAnswer_;
}

std::optional<int> RouteScript::nearRoadType() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return nearRoadType_;
}

// ---------------------------------------------------------------- search

namespace {

using routebuild::MapLink;

constexpr std::uint32_t kDeliverMessage = plat::WM_USER + 1;

struct Graph {
  std::vector<MapLink> links;
  std::vector<ShapePoint> nodes;
  std::vector<std::pair<std::size_t, std::size_t>> ends;  // per link: start node, end node
  std::vector<std::vector<std::pair<std::size_t, bool>>>
      adjacent;  // per node: (link, driven reverse)
};

Graph MakeGraph(const KiwiHandle& map) {
  Graph g;
  g.links = routebuild::AllMapLinks(map);
  std::map<std::pair<std::int32_t, std::int32_t>, std::size_t> index;
  auto node = [&](ShapePoint p) {
    const auto [it, added] = index.emplace(std::make_pair(p.x, p.y), g.nodes.size());
    if (added) {
      g.nodes.push_back(p);
      g.adjacent.emplace_back();
    }
    return it->second;
  };
  for (std::size_t i = 0; i < g.links.size(); ++i) {
    const std::size_t a = node(g.links[i].points.front());
    const std::size_t b = node(g.links[i].points.back());
    g.ends.emplace_back(a, b);
    g.adjacent[a].emplace_back(i, false);
    g.adjacent[b].emplace_back(i, true);
  }
  return g;
}

// The nearest node of a link of the asked kind (1 highway, 2 not highway,
// else any), or of any link when there is none of that kind within the
// snapping distance; g.nodes.size() when no node lies within it.
std::size_t Snap(const Graph& g, ShapePoint p, int roadKind) {
  auto search = [&](int kind) {
    std::size_t best = g.nodes.size();
    double bestM = 0;
    for (std::size_t n = 0; n < g.nodes.size(); ++n) {
      bool fits = kind != 1 && kind != 2;
      for (const auto& [link, reverse] : g.adjacent[n])
        if ((kind == 1 && g.links[link].highway()) || (kind == 2 && !g.links[link].highway()))
          fits = true;
      if (!fits) continue;
      const double m = routebuild::StepMetres(g.nodes[n], p);
      if (best == g.nodes.size() || m < bestM) {
        best = n;
        bestM = m;
      }
    }
    return best;
  };
  auto within = [&](std::size_t n) {
    return n < g.nodes.size() && routebuild::StepMetres(g.nodes[n], p) <= Route::kSnapMetres;
  };
  const std::size_t n = search(roadKind);
  if (within(n)) return n;
  const std::size_t any = search(0);
  return within(any) ? any : g.nodes.size();
}

// Shortest path by length from node a to node b: the driven links; false
// when b cannot be reached.
bool Shortest(const Graph& g, std::size_t a, std::size_t b,
              std::vector<std::pair<std::size_t, bool>>* path) {
  std::vector<double> dist(g.nodes.size(), -1);
  std::vector<std::pair<std::size_t, bool>> via(g.nodes.size(), {g.links.size(), false});
  std::vector<bool> done(g.nodes.size(), false);
  using Item = std::pair<double, std::size_t>;
  std::priority_queue<Item, std::vector<Item>, std::greater<Item>> queue;
  dist[a] = 0;
  queue.emplace(0.0, a);
  while (!queue.empty()) {
    const auto [d, n] = queue.top();
    queue.pop();
    if (done[n]) continue;
    done[n] = true;
    if (n == b) break;
    for (const auto& [link, reverse] : g.adjacent[n]) {
      const std::size_t next = reverse ? g.ends[link].first : g.ends[link].second;
      const double nd = d + g.links[link].metres;
      if (!done[next] && (dist[next] < 0 || nd < dist[next])) {
        dist[next] = nd;
        via[next] = {link, reverse};
        queue.emplace(nd, next);
      }
    }
  }
  if (!done[b]) return false;
  path->clear();
  for (std::size_t n = b; n != a;) {
    const auto [link, reverse] = via[n];
    path->emplace_back(link, reverse);
    n = reverse ? g.ends[link].second : g.ends[link].first;
  }
  std::reverse(path->begin(), path->end());
  return true;
}

// The driven links as runs: consecutive numbers driven the same way.
std::vector<routebuild::RunSpec> Runs(const Graph& g,
                                      const std::vector<std::pair<std::size_t, bool>>& path) {
  std::vector<routebuild::RunSpec> runs;
  std::uint32_t lastNumber = 0;
  for (const auto& [link, reverse] : path) {
    const MapLink& l = g.links[link];
    const std::uint32_t number = l.number;
    if (!runs.empty() && runs.back().reverse == reverse && runs.back().nameNo == l.nameNo &&
        runs.back().roadNo == l.roadNo &&
        ((!reverse && number == lastNumber + 1) || (reverse && number + 1 == lastNumber))) {
      routebuild::RunSpec& run = runs.back();
      ++run.lastOffset;
      if (reverse) run.first = number;
    } else {
      routebuild::RunSpec run;
      run.first = number;
      run.reverse = reverse;
      run.nameNo = l.nameNo;
      run.roadNo = l.roadNo;
      runs.push_back(run);
    }
    lastNumber = number;
  }
  return runs;
}

using Path = std::vector<std::pair<std::size_t, bool>>;  // driven links: (link, reverse)

// The facilities and toll points at the nodes of a part's path: node i is
// where driven link i begins (the last node ends the path). `before` is the
// link driven just before the part (the last link of an earlier part of the
// leg) and `after` the one just after it, when there are such: a route
// point inside a leg is driven through, so its node counts as passed, once,
// at the end of the earlier part. A facility belongs to the record of the
// link that arrives at the node, or else of the one that leaves it; its toll
// point depends on whether the route gets onto highway links there, leaves
// them, or stays on them. A facility at the part's first node (no link
// before it) lies at the end of a piece of no length: the first link driven
// the other way up to that node; *startPiece tells that the part needs it.
void Guidance(const Graph& g, const Path& path, const std::pair<std::size_t, bool>* before,
              const std::pair<std::size_t, bool>* after, routebuild::PartSpec* part,
              bool* startPiece) {
  *startPiece = false;
  for (std::size_t i = before ? 1 : 0; i <= path.size(); ++i) {
    const std::pair<std::size_t, bool>* in = i > 0 ? &path[i - 1] : nullptr;
    const std::pair<std::size_t, bool>* out = i < path.size() ? &path[i] : after;
    const MapLink* arriving = in ? &g.links[in->first] : nullptr;
    const MapLink* leaving = out ? &g.links[out->first] : nullptr;
    std::optional<KwFacility> fac;
    if (arriving) fac = in->second ? arriving->startFacility : arriving->endFacility;
    if (!fac && leaving) fac = out->second ? leaving->endFacility : leaving->startFacility;
    if (!fac) continue;
    routebuild::GuideSpec at;
    if (arriving) {
      at.link = arriving->number;
      at.reverse = in->second;
    } else {
      at.link = leaving->number;
      at.reverse = !out->second;
      *startPiece = true;
    }
    if (fac->facility != 0) {
      at.number = fac->facility;
      part->facilities.push_back(at);
    }
    const bool onBefore = arriving && arriving->highway();
    const bool onAfter = leaving && leaving->highway();
    const std::uint16_t toll = onBefore && onAfter ? fac->passing
                               : onAfter           ? fac->entering
                               : onBefore          ? fac->leaving
                                                   : 0;
    if (toll != 0) {
      at.number = toll;
      part->tolls.push_back(at);
    }
  }
}

// Where a part without links stands: a link at the node.
LinkPair Standing(const Graph& g, std::size_t node) {
  if (g.adjacent[node].empty()) return {};
  const auto [link, atEnd] = g.adjacent[node].front();
  return {g.links[link].number,
          atEnd ? static_cast<std::uint32_t>(g.links[link].points.size() - 1) : 0u};
}

}  // namespace

// ---------------------------------------------------------------- engine

struct Route::Impl : plat::MessageTarget {
  Route* owner = nullptr;
  RouteHandler* handler = nullptr;
  KiwiHandle* map = nullptr;
  plat::HWND hwnd = nullptr;
  std::optional<RouteOutcome> pending;  // a started search, not yet reported

  ~Impl() override {
    if (hwnd) plat::DestroyWindow(hwnd);
  }

  bool ProcessWindowMessage(plat::HWND, std::uint32_t msg, std::uintptr_t, std::intptr_t,
                            std::intptr_t& lResult, std::uint32_t mapId) override {
    if (mapId != 0 || msg != kDeliverMessage) return false;
    lResult = 0;
    if (!pending || !handler) return true;
    RouteOutcome out = std::move(*pending);
    pending.reset();
    switch (out.kind) {
      case RouteOutcome::kResult:
        handler->onRouteResult(owner, out.result);
        break;
      case RouteOutcome::kCancel:
        handler->onRouteCancel(owner);
        break;
      default:
        handler->onRouteError(owner, &out.code);
        break;
    }
    return true;
  }

  RouteOutcome Search(const RouteCondition2& c) const {
    if (c.points.size() < 2) return RouteOutcome::Error(kErrorTooFewPoints);
    const Graph g = MakeGraph(*map);
    if (g.nodes.empty()) return RouteOutcome::Error(kErrorNoLink);
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < c.points.size(); ++i) {
      const RoutePoint2& p = c.points[i];
      ShapePoint where{p.lon, p.lat};
      MapLink arrival;
      if (i == 0 && p.link != 0 && routebuild::FindMapLink(*map, p.link, &arrival)) {
        const std::size_t k = static_cast<std::uint16_t>(p.linkPart);
        where = arrival.points[std::min(k, arrival.points.size() - 1)];
      }
      at.push_back(Snap(g, where, p.roadKind));
      if (at.back() == g.nodes.size()) return RouteOutcome::Error(kErrorNoLink);
    }
    routebuild::LegSpec leg;
    leg.departure = c.time;
    leg.vehicleType = c.vehicleClass;
    leg.option = c.tollOption;
    std::vector<Path> paths(at.size() - 1);
    for (std::size_t i = 0; i + 1 < at.size(); ++i)
      if (at[i] != at[i + 1] && !Shortest(g, at[i], at[i + 1], &paths[i]))
        return RouteOutcome::Error(kErrorNoRoute);
    const std::pair<std::size_t, bool>* before = nullptr;
    for (std::size_t i = 0; i < paths.size(); ++i) {
      routebuild::PartSpec part;
      if (paths[i].empty()) {
        part.standing = Standing(g, at[i]);
      } else {
        const std::pair<std::size_t, bool>* after = nullptr;
        for (std::size_t j = i + 1; j < paths.size() && !after; ++j)
          if (!paths[j].empty()) after = &paths[j].front();
        part.runs = Runs(g, paths[i]);
        bool startPiece = false;
        Guidance(g, paths[i], before, after, &part, &startPiece);
        if (startPiece) {
          // The first link driven back to the start node, of no length: the
          // start's facilities stand at its end, at the start, apart from
          // those at the first link's own end.
          const auto [first, reverse] = paths[i].front();
          routebuild::RunSpec piece;
          piece.first = g.links[first].number;
          piece.reverse = !reverse;
          piece.nameNo = g.links[first].nameNo;
          piece.roadNo = g.links[first].roadNo;
          part.runs.insert(part.runs.begin(), piece);
          part.start = g.nodes[at[i]];
        }
        before = &paths[i].back();
      }
      leg.parts.push_back(std::move(part));
    }
    RouteSingleResult result;
    std::string error;
    if (!routebuild::BuildRouteResult(*map, leg, &result, &error))
      return RouteOutcome::Error(kErrorNoRoute);
    if (c.timeDirection == 2 && result.getPartCnt() > 0) {
      // The leg arrives at its time: it departs that much earlier.
      leg.departure.addSec(-result.getPart(result.getPartCnt() - 1)->time);
      if (!routebuild::BuildRouteResult(*map, leg, &result, &error))
        return RouteOutcome::Error(kErrorNoRoute);
    }
    return RouteOutcome::Result(std::move(result));
  }
};

Route::Route() : impl_(std::make_unique<Impl>()) { impl_->owner = this; }

Route::~Route() = default;

int Route::init(RouteHandler* handler, KiwiHandle* map) {
  if (impl_->hwnd) plat::DestroyWindow(impl_->hwnd);
  impl_->hwnd = nullptr;
  impl_->pending.reset();
  impl_->handler = nullptr;
  impl_->map = nullptr;
  if (!handler || !map) return 1;
  impl_->hwnd = plat::CreateWindow(impl_.get());
  if (!impl_->hwnd) return 1;
  impl_->handler = handler;
  impl_->map = map;
  return 0;
}

int Route::calc(const RouteCondition2& condition) {
  if (!impl_->hwnd) return kRouteNotReady;
  if (impl_->pending) return kRouteBusy;
  RouteOutcome out = RouteScript::shared().take(condition);
  if (out.kind == RouteOutcome::kRefuse) return out.code;
  if (out.kind == RouteOutcome::kSearch) out = impl_->Search(condition);
  impl_->pending = std::move(out);
  if (!plat::PostMessage(impl_->hwnd, kDeliverMessage, 0, 0)) {
    impl_->pending.reset();
    return kRouteNotReady;
  }
  return 0;
}

int Route::cancel() {
  const std::optional<int> fixed = RouteScript::shared().cancelAnswer();
  const int answer = fixed ? *fixed : (impl_->pending ? 1 : 0);
  if (answer != 0 && impl_->pending) *impl_->pending = RouteOutcome::Cancel();
  return answer;
}

int Route::getNearRoadType(const Point2& point) {
  if (const std::optional<int> fixed = RouteScript::shared().nearRoadType()) return *fixed;
  if (!impl_->map) return 0;
  int bits = 0;
  for (const MapLink& link : routebuild::AllMapLinks(*impl_->map))
    for (const ShapePoint& end : {link.points.front(), link.points.back()})
      if (std::abs(static_cast<std::int64_t>(end.x) - point.x) <= kNearRadius &&
          std::abs(static_cast<std::int64_t>(end.y) - point.y) <= kNearRadius)
        bits |= link.highway() ? 2 : 1;
  return bits;
}
