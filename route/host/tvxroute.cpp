// tvxroute: a route over a data folder of the route library, printed.
//
//   tvxroute <data folder> <point> <point> [<point> ...] [options]
//
// A point is <lon>,<lat> in degrees (Tokyo datum), optionally followed by
// @YYYY-MM-DDThh:mm, the time at that point (departure, or arrival with
// --arrive). The first point is the start, the last the goal, the others
// via points (named 出発地, 目的地 and 経由地 in the condition, names that the
// result's break nodes take); a time at a via point starts a new leg
// there. When no point
// has a time, the start departs (with --arrive: the goal is reached) on
// 2015-06-03 at 12:00.
//
// Options: --arrive (the times are arrival times), --class <bit> (vehicle
// class as one bit: 1, 2, 4, 8, 16, 32 or 64; default 8), --etc (the first
// toll option byte 1), --search <n> (search type 0-3), --road <mode> (the
// road type mode of every point: 0, the default, ordinary roads; 1 the
// road the route engine finds near the point, a highway first; 2 any road).
//
// The data folder holds ALLDATA.KWI, HIGHWAY.DAT, TOLL.DAT and FACIL.DAT.
// The program pumps its messages until the completion message and prints
// the error code, the two toll summaries (or, when the toll could not be
// computed, "summary unknown" with the toll engine's code), the links, the
// nodes (position, kind, break number, fees, facility code and flag, time,
// name) and the road names. Names are printed as they come, in CP932. When
// init fails, the code is followed by the map loader's message when it
// refuses the map file (a line "map: ..."). Exit status 0 when the route
// was found, 1 when the calculation failed, 2 for a usage error.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "outside/kiwi.h"
#include "plat/message.h"
#include "plat/path.h"
#include "route/tvx_route.h"

namespace {

using TvxRoute::TVXRoute;
using TvxRoute::TVXRouteCondition;
using TvxRoute::TVXRouteResult;

constexpr std::uint32_t kDoneMessage = 1524;

// The host's window: notes the completion message.
class Window : public plat::MessageTarget {
 public:
  bool done = false;
  bool ProcessWindowMessage(plat::HWND, std::uint32_t msg, std::uintptr_t, std::intptr_t,
                            std::intptr_t& lResult, std::uint32_t) override {
    lResult = 0;
    if (msg != kDoneMessage) return false;
    done = true;
    return true;
  }
};

struct Point {
  double lon = 0;
  double lat = 0;
  bool timed = false;
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
};

int Usage() {
  std::fprintf(
      stderr,
      "usage: tvxroute <data folder> <lon>,<lat>[@YYYY-MM-DDThh:mm] <lon>,<lat>[@...] [...]\n"
      "                [--arrive] [--class <bit>] [--etc] [--search <n>] [--road <mode>]\n");
  return 2;
}

bool ParsePoint(const char* text, Point* out) {
  char tail = 0;
  int used = 0;
  if (std::sscanf(text, "%lf,%lf%n", &out->lon, &out->lat, &used) != 2) return false;
  if (!(out->lon > 0 && out->lon < 180 && out->lat > 0 && out->lat < 90)) return false;
  const char* rest = text + used;
  if (*rest == '\0') return true;
  if (*rest != '@') return false;
  char dash1 = 0, dash2 = 0, t = 0, colon = 0;
  if (std::sscanf(rest + 1, "%4d%c%2d%c%2d%c%2d%c%2d%c", &out->year, &dash1, &out->month, &dash2,
                  &out->day, &t, &out->hour, &colon, &out->minute, &tail) != 9)
    return false;
  if (dash1 != '-' || dash2 != '-' || t != 'T' || colon != ':' || out->year < 2000 ||
      out->year > 2047 || out->month < 1 || out->month > 12 || out->day < 1 || out->day > 31 ||
      out->hour > 23 || out->minute > 59)
    return false;
  out->timed = true;
  return true;
}

bool ParseInt(const char* text, int low, int high, int* out) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < low || v > high) return false;
  *out = static_cast<int>(v);
  return true;
}

// Degrees to the map's units (1/1024 arc-second), and back.
std::int32_t Units(double degrees) {
  return static_cast<std::int32_t>(std::llround(degrees * 3600.0 * 1024.0));
}
double Degrees(std::int32_t units) { return units / 1024.0 / 3600.0; }

std::string TimeText(const CDateTime& t) {
  if (t.isNoData()) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", t.getYear(), t.getMon(), t.getDay(),
                t.getHour(), t.getMin());
  return text;
}

void Print(const TVXRouteResult& r) {
  if (r.tollError != 0)
    std::printf("summary unknown: the toll could not be computed (toll engine code %d)\n",
                r.tollError);
  else
    std::printf("summary %d %d\n", r.summary1, r.summary2);
  std::printf("links %d\n", r.getLinkCnt());
  for (int i = 0; i < r.getLinkCnt(); ++i) {
    const TVXRouteResult::Link* l = r.getLink(i);
    std::printf("link %d: class %d distance %d time %d node %d road %d points %d\n", i,
                l->linkClass, l->distance, l->time, l->nodeIndex, l->roadNameIndex,
                l->getPointCnt());
  }
  std::printf("nodes %d\n", r.getNodeCnt());
  for (int i = 0; i < r.getNodeCnt(); ++i) {
    const TVXRouteResult::Node* n = r.getNode(i);
    std::printf(
        "node %d: %.5f,%.5f kind %d break %d fee %d first %d facility %d flag %d time %s name %s\n",
        i, Degrees(n->lon), Degrees(n->lat), n->kind, n->breakNo, n->fee, n->firstFee,
        n->facilityCode, n->facilityFlag, TimeText(n->time).c_str(),
        n->getName() ? n->getName() : "-");
  }
  std::printf("road names %d\n", r.getRoadNameCnt());
  for (int i = 0; i < r.getRoadNameCnt(); ++i) std::printf("road %d: %s\n", i, r.getRoadName(i));
}

// After a failed init: the map loader's own account of the folder's map
// file (the line it refuses and why), when it refuses the file.
void PrintMapError(const std::string& folder) {
  KiwiHandle map;
  const std::string path =
      folder + (plat::path::EndsWithSeparator(folder) ? "" : "/") + "ALLDATA.KWI";
  if (!map.init(path.c_str())) std::printf("map: %s\n", map.lastError().c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return Usage();
  std::vector<Point> points;
  bool arrive = false, etc = false;
  int vehicleClass = 8, searchType = 0, roadTypeMode = 0;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--arrive") == 0) {
      arrive = true;
    } else if (std::strcmp(argv[i], "--etc") == 0) {
      etc = true;
    } else if (std::strcmp(argv[i], "--class") == 0) {
      if (++i >= argc || !ParseInt(argv[i], 1, 64, &vehicleClass) ||
          (vehicleClass & (vehicleClass - 1)) != 0)
        return Usage();
    } else if (std::strcmp(argv[i], "--search") == 0) {
      if (++i >= argc || !ParseInt(argv[i], 0, 3, &searchType)) return Usage();
    } else if (std::strcmp(argv[i], "--road") == 0) {
      if (++i >= argc || !ParseInt(argv[i], 0, 2, &roadTypeMode)) return Usage();
    } else {
      Point p;
      if (!ParsePoint(argv[i], &p)) return Usage();
      points.push_back(p);
    }
  }
  if (points.size() < 2) return Usage();
  bool anyTime = false;
  for (const Point& p : points) anyTime = anyTime || p.timed;
  if (!anyTime) {
    Point& p = arrive ? points.back() : points.front();
    p.timed = true;
    p.year = 2015, p.month = 6, p.day = 3, p.hour = 12, p.minute = 0;
  }

  TVXRouteCondition* condition = TVXRouteCondition::Create();
  condition->timeMode = arrive ? 1 : 0;
  condition->vehicleClass = vehicleClass;
  condition->tollOption1 = etc ? 1 : 0;
  condition->searchType = searchType;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const Point& p = points[i];
    TVXRouteCondition::Node* node = TVXRouteCondition::Node::Create();
    node->setName(i == 0 ? "出発地" : i + 1 == points.size() ? "目的地" : "経由地");
    node->lon = Units(p.lon);
    node->lat = Units(p.lat);
    node->roadTypeMode = roadTypeMode;
    if (p.timed) node->time = CDateTime(p.year, p.month, p.day, p.hour, p.minute);
    condition->append(node);
  }

  const std::string folder = plat::path::FromNative(argv[1]);
  int status = 1;
  {
    Window window;
    const plat::HWND hwnd = plat::CreateWindow(&window);
    TVXRoute route(static_cast<int>(kDoneMessage));
    TVXRouteResult* result = nullptr;
    if (!route.init(folder.c_str())) {
      std::printf("init: %d\n", static_cast<int>(route.getLastError()));
      PrintMapError(folder);
    } else if (!route.calc(hwnd, condition, &result)) {
      std::printf("calc: %d\n", static_cast<int>(route.getLastError()));
    } else if (!plat::PumpUntil([&] { return window.done; }, 60000)) {
      std::printf("no answer\n");
    } else {
      std::printf("error %d\n", static_cast<int>(route.getLastError()));
      if (route.getLastError() == TVXRoute::kNoError && result != nullptr) {
        Print(*result);
        status = 0;
      }
    }
    TvxRoute::Release(result);
    plat::DestroyWindow(hwnd);
  }
  condition->Release();
  return status;
}
