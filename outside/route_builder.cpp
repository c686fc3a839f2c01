#include "outside/route_builder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "outside/kiwi.h"

namespace routebuild {

namespace {

constexpr double kUnitsPerDegree = 3600.0 * 1024.0;

unsigned Be16(const std::uint8_t* p) { return (static_cast<unsigned>(p[0]) << 8) | p[1]; }

// Shape points of link `place` of the view's record, in route units.
bool DecodeLink(const KwRoad& road, const KwRoad::Link& view, int place,
                std::vector<ShapePoint>* out) {
  out->clear();
  std::size_t at = 0;
  for (int k = 0; k <= place + 1; ++k) {
    if (at + 6 > view.segmentBytes) return false;
    const unsigned n = Be16(view.segments + at) & 0x3FF;
    int x = static_cast<int>(Be16(view.segments + at + 2));
    int y = static_cast<int>(Be16(view.segments + at + 4));
    if (at + 6 + 2 * static_cast<std::size_t>(n) > view.segmentBytes) return false;
    if (k == place || k == place + 1) {
      const KwPoint p = road.xy2LL(x, y);
      out->push_back({p.x, p.y});
    }
    if (k == place) {
      for (unsigned i = 0; i < n; ++i) {
        x += static_cast<std::int8_t>(view.segments[at + 6 + 2 * i]);
        y += static_cast<std::int8_t>(view.segments[at + 7 + 2 * i]);
        const KwPoint p = road.xy2LL(x, y);
        out->push_back({p.x, p.y});
      }
    }
    at += 6 + 2 * static_cast<std::size_t>(n);
  }
  return true;
}

bool FillMapLink(const KwRoad& road, const KwRoad::Link& view, MapLink* out) {
  out->number = view.firstLinkNo + static_cast<std::uint32_t>(view.place);
  out->tile = road.tileNumber();
  out->record = view.record;
  out->place = view.place;
  out->roadType = view.link[0];
  out->attribute = view.link[view.attrIndex];
  if (!DecodeLink(road, view, view.place, &out->points)) return false;
  out->nameNo = 0;
  out->roadNo = 0;
  out->startFacility.reset();
  out->endFacility.reset();
  if (const KwRouteData* data = road.routeData(view.record)) {
    out->nameNo = data->nameNo;
    out->roadNo = data->roadNo;
    for (const KwFacility& f : data->facilities) {
      if (f.node == view.place) out->startFacility = f;
      if (f.node == view.place + 1) out->endFacility = f;
    }
  }
  out->metres = 0;
  for (std::size_t i = 1; i < out->points.size(); ++i)
    out->metres += StepMetres(out->points[i - 1], out->points[i]);
  return true;
}

bool Same(ShapePoint a, ShapePoint b) { return a.x == b.x && a.y == b.y; }

double PathMetres(const std::vector<ShapePoint>& pts) {
  double m = 0;
  for (std::size_t i = 1; i < pts.size(); ++i) m += StepMetres(pts[i - 1], pts[i]);
  return m;
}

std::size_t Nearest(const std::vector<ShapePoint>& pts, ShapePoint p) {
  std::size_t best = 0;
  double bestM = -1;
  for (std::size_t i = 0; i < pts.size(); ++i) {
    const double m = StepMetres(pts[i], p);
    if (bestM < 0 || m < bestM) {
      best = i;
      bestM = m;
    }
  }
  return best;
}

// One link as a part drives it.
struct Driven {
  MapLink link;
  bool reverse = false;
  std::size_t run = 0;
  std::vector<ShapePoint> points;  // driving order, trimmed at the part's ends
  double endMetres = 0;            // cumulative from the leg start at its end
  double endSeconds = 0;
};

// Index along the link's own direction of a driving-order index.
std::uint32_t OwnIndex(const Driven& d, std::size_t drivingIndex) {
  const std::size_t n = d.link.points.size();
  return static_cast<std::uint32_t>(d.reverse ? n - 1 - drivingIndex : drivingIndex);
}

bool Fail(std::string* error, const char* what, std::uint32_t link) {
  if (error) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "%s (link %u)", what, link);
    *error = buf;
  }
  return false;
}

// A part without links: it stands on one place of a link.
bool BuildStandingPart(const KiwiHandle& map, const PartSpec& spec, double metres, double seconds,
                       PartPath* part, std::string* error) {
  part->start = part->goal = spec.standing;
  part->entries = {spec.standing, spec.standing};
  MapLink link;
  if (FindMapLink(map, spec.standing.first, &link)) {
    const std::size_t i =
        std::min<std::size_t>(spec.standing.second & 0xFFFF, link.points.size() - 1);
    part->startPoints = part->endPoints = {link.points[i]};
  }
  part->distance = static_cast<std::int32_t>(std::lround(metres));
  part->time = static_cast<std::int32_t>(std::lround(seconds));
  if (!spec.facilities.empty() || !spec.tolls.empty())
    return Fail(error, "guidance on a part without links", spec.standing.first);
  return true;
}

// The driven links in order; each must start where the one before it ends.
bool DriveRuns(const KiwiHandle& map, const PartSpec& spec, std::vector<Driven>* driven,
               std::string* error) {
  for (std::size_t r = 0; r < spec.runs.size(); ++r) {
    const RunSpec& run = spec.runs[r];
    for (std::uint32_t d = 0; d <= run.lastOffset; ++d) {
      Driven one;
      one.reverse = run.reverse;
      one.run = r;
      const std::uint32_t number = run.reverse ? run.first + run.lastOffset - d : run.first + d;
      if (!FindMapLink(map, number, &one.link)) return Fail(error, "link not on the map", number);
      one.points = one.link.points;
      if (one.reverse) std::reverse(one.points.begin(), one.points.end());
      if (!driven->empty() && !Same(driven->back().points.back(), one.points.front()))
        return Fail(error, "link does not start where the one before it ends", number);
      driven->push_back(std::move(one));
    }
  }
  return true;
}

// Trims the first and last link at the exact start and goal; the driving
// indices of the start and goal points on their full links.
void TrimEnds(const PartSpec& spec, std::vector<Driven>* driven, std::size_t* startIndex,
              std::size_t* goalIndex) {
  Driven& first = driven->front();
  Driven& last = driven->back();
  const std::vector<ShapePoint> firstFull = first.points;
  const std::vector<ShapePoint> lastFull = last.points;
  std::size_t startAt = 0;
  std::size_t goalAt = lastFull.size() - 1;
  if (spec.start) startAt = Nearest(firstFull, *spec.start);
  if (spec.goal) goalAt = Nearest(lastFull, *spec.goal);
  if (driven->size() == 1) {
    if (goalAt < startAt) goalAt = startAt;
    std::vector<ShapePoint> pts;
    pts.push_back(spec.start ? *spec.start : firstFull[startAt]);
    for (std::size_t i = startAt + 1; i < goalAt; ++i) pts.push_back(firstFull[i]);
    if (goalAt > startAt || spec.goal) pts.push_back(spec.goal ? *spec.goal : firstFull[goalAt]);
    first.points = pts;
  } else {
    // The link's end (start) node stays, so that the links still join.
    if (spec.start) {
      std::vector<ShapePoint> pts{*spec.start};
      for (std::size_t i = std::min(startAt + 1, firstFull.size() - 1); i < firstFull.size(); ++i)
        pts.push_back(firstFull[i]);
      first.points = pts;
    }
    if (spec.goal) {
      const std::size_t keep = std::max<std::size_t>(goalAt, 1);
      std::vector<ShapePoint> pts(lastFull.begin(),
                                  lastFull.begin() + static_cast<std::ptrdiff_t>(keep));
      pts.push_back(*spec.goal);
      last.points = pts;
    }
  }
  *startIndex = startAt;
  *goalIndex = goalAt;
}

// One path link per run, with the distance and time at its end.
void AddRuns(const PartSpec& spec, const std::vector<Driven>& driven, PartPath* part) {
  for (std::size_t r = 0; r < spec.runs.size(); ++r) {
    const RunSpec& s = spec.runs[r];
    PathLink run;
    run.link = s.first;
    run.lastOffset = s.lastOffset;
    run.direction = s.reverse ? 1 : 0;
    run.nameNo = s.nameNo;
    run.roadNo = s.roadNo;
    for (const Driven& d : driven)
      if (d.run == r) {
        run.distance = static_cast<std::int32_t>(std::lround(d.endMetres));
        run.time = static_cast<std::int32_t>(std::lround(d.endSeconds));
      }
    part->runs.push_back(run);
  }
}

// Guidance entries in driving order; toll entries also give the part's
// toll links.
bool PlaceGuidance(const std::vector<GuideSpec>& specs, const std::vector<Driven>& driven,
                   double startMetres, double startSeconds, bool toll, std::vector<GuideEntry>* out,
                   PartPath* part, std::string* error) {
  const Driven& first = driven.front();
  std::vector<std::pair<std::size_t, GuideEntry>> found;
  for (const GuideSpec& g : specs) {
    std::size_t i = 0;
    if (g.atStart) {
      if (first.link.number != g.link || first.reverse != g.reverse)
        return Fail(error, "guidance at the start names another link than the first", g.link);
    } else {
      while (i < driven.size() &&
             !(driven[i].link.number == g.link && driven[i].reverse == g.reverse))
        ++i;
      if (i == driven.size())
        return Fail(error, "guidance on a link the part does not drive that way", g.link);
    }
    GuideEntry e;
    e.link = g.link;
    e.direction = g.reverse ? 1 : 0;
    e.number = g.number;
    e.distance =
        static_cast<std::uint32_t>(std::lround(g.atStart ? startMetres : driven[i].endMetres));
    e.time =
        static_cast<std::uint32_t>(std::lround(g.atStart ? startSeconds : driven[i].endSeconds));
    // Entries at the start come before those at the end of the first link.
    found.emplace_back(g.atStart ? 0 : i + 1, e);
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [i, e] : found) {
    out->push_back(e);
    if (toll) {
      PartLink p;
      p.facility = e.number;
      p.seconds = e.time;
      part->links.push_back(p);
    }
  }
  return true;
}

bool BuildPart(const KiwiHandle& map, const PartSpec& spec, const TravelClock::Time& departure,
               double* metres, double* seconds, PartPath* part, std::string* error) {
  TravelClock::Time start = departure;
  start.addSec(static_cast<std::int32_t>(std::lround(*seconds)));
  part->startTime = start;
  if (spec.runs.empty()) return BuildStandingPart(map, spec, *metres, *seconds, part, error);

  std::vector<Driven> driven;
  if (!DriveRuns(map, spec, &driven, error)) return false;
  std::size_t startAt = 0;
  std::size_t goalAt = 0;
  TrimEnds(spec, &driven, &startAt, &goalAt);
  const Driven& first = driven.front();
  const Driven& last = driven.back();

  // Cumulative distance and time.
  const double startMetres = *metres;
  const double startSeconds = *seconds;
  for (Driven& d : driven) {
    const double m = PathMetres(d.points);
    *metres += m;
    *seconds += m * 3.6 / TravelSpeedKmh(d.link.roadType);
    d.endMetres = *metres;
    d.endSeconds = *seconds;
  }
  AddRuns(spec, driven, part);

  part->start = {first.link.number, OwnIndex(first, startAt)};
  part->goal = {last.link.number, OwnIndex(last, goalAt)};
  part->entries = {part->start, part->goal};
  part->goalSide = {part->goal};
  part->firstLink = first.link.number;
  part->firstDirection = first.reverse ? 1 : 0;
  if (driven.size() == 1) {
    part->startPoints = {first.points.front()};
    part->endPoints.assign(first.points.begin() + 1, first.points.end());
  } else {
    part->startPoints = first.points;
    part->endPoints = last.points;
  }
  part->distance = static_cast<std::int32_t>(std::lround(*metres));
  part->time = static_cast<std::int32_t>(std::lround(*seconds));

  return PlaceGuidance(spec.facilities, driven, startMetres, startSeconds, false, &part->facilities,
                       part, error) &&
         PlaceGuidance(spec.tolls, driven, startMetres, startSeconds, true, &part->tolls, part,
                       error);
}

}  // namespace

int TravelSpeedKmh(int roadType) {
  switch (roadType) {
    case 0:
      return 20;
    case 10:
    case 11:
    case 12:
      return 80;
    case 9:
      return 50;
    default:
      return 30;
  }
}

double StepMetres(ShapePoint a, ShapePoint b) {
  constexpr double kRadPerUnit = std::numbers::pi / 180.0 / kUnitsPerDegree;
  const double lat = (static_cast<double>(a.y) + b.y) / 2.0 * kRadPerUnit;
  const double dx = (static_cast<double>(b.x) - a.x) * kRadPerUnit * std::cos(lat) * kEarthRadius;
  const double dy = (static_cast<double>(b.y) - a.y) * kRadPerUnit * kEarthRadius;
  return std::sqrt(dx * dx + dy * dy);
}

bool FindMapLink(const KiwiHandle& map, std::uint32_t number, MapLink* out) {
  for (std::uint32_t tile : map.tileNumbers()) {
    const KwInnerPtr<KwRoad> road = map.roadOfTile(tile);
    KwRoad::Link view;
    if (road && road->findLink(number, &view)) return FillMapLink(*road, view, out);
  }
  return false;
}

std::vector<MapLink> AllMapLinks(const KiwiHandle& map) {
  std::vector<MapLink> out;
  for (std::uint32_t tile : map.tileNumbers()) {
    const KwInnerPtr<KwRoad> road = map.roadOfTile(tile);
    if (!road) continue;
    for (int r = 0; r < road->recordCount(); ++r) {
      KwRoad::Link view;
      for (int place = 0; road->getLink(place, r, &view); ++place) {
        MapLink link;
        if (FillMapLink(*road, view, &link)) out.push_back(std::move(link));
      }
    }
  }
  return out;
}

bool BuildRouteResult(const KiwiHandle& map, const LegSpec& leg, RouteSingleResult* out,
                      std::string* error) {
  auto raw = std::make_shared<RouteSingleResultRaw>();
  raw->departure = leg.departure;
  raw->vehicleType = leg.vehicleType;
  raw->option = leg.option;
  double metres = 0;
  double seconds = 0;
  for (const PartSpec& spec : leg.parts) {
    auto part = std::make_shared<PartPath>();
    if (!BuildPart(map, spec, leg.departure, &metres, &seconds, part.get(), error)) return false;
    raw->parts.push_back(std::move(part));
  }
  *out = RouteSingleResult(std::move(raw));
  return true;
}

}  // namespace routebuild
