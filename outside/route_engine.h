#pragma once
// Our stand-in for the route engine: `Route` searches one leg at a time over
// the links of the map that init is given, and reports the end of each
// search to its RouteHandler later, through the message queue of the thread
// that called init (plat/message.h). calc never calls the handler; the
// thread that called init must pump its messages for the notification to
// come. Construct, init, calc, cancel, pump and destroy on one thread.
//
// The search
//   Each route point snaps to the nearest end point of a link (a path node
//   of the map): road kind 1 to a highway link, road kind 2 to a link that
//   is not one, any other kind to any link; when no link of the asked kind
//   has one within the snapping distance (kSnapMetres, 2 km), to any link.
//   A point farther than that from every link end finds no link. Links are driven both ways and
//   join where their end points meet (across a tile border too). The route from each point to the
//   next is the shortest by length (a plain Dijkstra); the leg result has one part path per stretch
//   between consecutive points, made by the result builder (outside/route_builder.h) at a fixed
//   speed per road type. Runs carry the name and road numbers of their road, and the facilities and
//   toll points at the nodes the route drives through come from the map (outside/kiwi.h): a toll
//   point is the facility's entering, leaving or passing number as the route gets onto highway
//   links there, leaves them, or stays on them. A route point inside the leg is driven through: its
//   node is passed once, at the end of the part before it. The first node of a leg has no link
//   before it, the last none after it. Facilities at the first node of a part: the part then begins
//   with a piece of no length, its first link driven the other way up to the start (two equal shape
//   points; the part's start position is on that link), and they lie at the end of that piece, so
//   that the route library puts them at the start and keeps them apart from those at the end of the
//   first link.
//
// calc answers
//   0 the search is started; its end comes through the handler.
//   kRouteNotReady  init has not succeeded.
//   kRouteBusy      a search of this engine is still to be reported.
//   a refusal code given by the script (below).
//
// Error notifications of a search (the code the handler reads)
//   13 fewer than two route points
//    1 a route point finds no link (the map has no link, or none has an
//      end point within kSnapMetres of the point)
//   10 no route joins two consecutive points
//
// cancel answers non-zero when a search of this engine is still to be
// reported (it is then reported as cancelled instead) and 0 when there is
// none; the script may fix the answer instead.
//
// getNearRoadType: bit value 1 = a link that is not a highway link has an
// end point within kNearRadius route units of the point (per axis); bit
// value 2 = a highway link has one.
//
// The script (tests): a process-wide list of outcomes that the next calc
// calls of every engine take in order, one each, before they search; when
// the list is empty, calc searches. Every condition that calc receives is
// recorded, with the holiday and speed tables that its views point to
// copied.

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "outside/route_condition.h"
#include "outside/route_result.h"

class KiwiHandle;
class Route;

// Implemented by the client; the slots in this order. Notifications come one
// at a time, on the thread that called init.
class RouteHandler {
 public:
  virtual ~RouteHandler() = default;
  // The leg's search ended with a route.
  virtual void onRouteResult(Route* route, RouteSingleResult result) = 0;
  // The search was cancelled.
  virtual void onRouteCancel(Route* route) = 0;
  // The search failed; *code tells why.
  virtual void onRouteError(Route* route, const int* code) = 0;
  // Never called by this engine.
  virtual void onRouteNotify(Route* /*route*/) {}
};

// What one calc of the script does.
struct RouteOutcome {
  enum Kind : std::uint8_t {
    kSearch,  // search the map as without a script
    kRefuse,  // calc answers `code`; nothing is reported
    kResult,  // started; reports `result`
    kCancel,  // started; reports a cancel
    kError,   // started; reports error `code`
  };
  Kind kind = kSearch;
  int code = 0;
  RouteSingleResult result;

  static RouteOutcome Search() { return RouteOutcome{}; }
  static RouteOutcome Refuse(int code) { return RouteOutcome{kRefuse, code, {}}; }
  static RouteOutcome Result(RouteSingleResult result) {
    return RouteOutcome{kResult, 0, std::move(result)};
  }
  static RouteOutcome Cancel() { return RouteOutcome{kCancel, 0, {}}; }
  static RouteOutcome Error(int code) { return RouteOutcome{kError, code, {}}; }
};

// A condition as calc received it. The condition's own holiday and speed
// pointers are cleared; the tables they pointed to are copied here.
struct RecordedCondition {
  RouteCondition2 condition;
  bool hasHolidays = false;  // the holiday pointer was set
  std::int32_t holidayCount = 0;
  std::vector<RouteHoliday> holidays;  // holidayCount records (none for a count below 1)
  bool hasSpeeds = false;
  std::int32_t speedCount = 0;
  std::vector<RouteSpeed> speeds;
};

class RouteScript {
 public:
  // The one script of the process.
  static RouteScript& shared();

  // Appends an outcome for a later calc.
  void push(RouteOutcome outcome);
  // The answer of every cancel call while set; unset: the engine's own.
  void setCancelAnswer(std::optional<int> answer);
  // The answer of every getNearRoadType call while set; unset: the map's.
  void setNearRoadType(std::optional<int> answer);
  // Every condition received since the last reset, in order.
  std::vector<RecordedCondition> conditions() const;
  // Outcomes not yet taken.
  std::size_t pending() const;
  // Back to no outcomes, no fixed answers and no recorded conditions.
  void reset();

  // Used by the engine.
  RouteOutcome take(const RouteCondition2& condition);
  std::optional<int> cancelAnswer() const;
  std::optional<int> nearRoadType() const;

 private:
  mutable std::mutex mutex_;
  std::deque<RouteOutcome> outcomes_;
  std::optional<int> cancelAnswer_;
  std::optional<int> nearRoadType_;
  std::vector<RecordedCondition> conditions_;
};

class Route {
 public:
  static constexpr int kRouteNotReady = -1;
  static constexpr int kRouteBusy = -2;
  // Error codes of a search.
  static constexpr int kErrorNoLink = 1;
  static constexpr int kErrorNoRoute = 10;
  static constexpr int kErrorTooFewPoints = 13;
  // The snapping distance: a route point farther than this from every link
  // end point (metres) finds no link.
  static constexpr double kSnapMetres = 2000.0;
  // The reach of getNearRoadType, per axis, in route units (about 100 m).
  static constexpr std::int32_t kNearRadius = 3 * 1024;

  Route();
  ~Route();
  Route(const Route&) = delete;
  Route& operator=(const Route&) = delete;

  // 0 = ready: keeps the handler and the map (both must outlive the engine
  // or the next init) and binds the engine to the calling thread. Non-zero
  // for a null handler or map, or when the engine's window cannot be made.
  int init(RouteHandler* handler, KiwiHandle* map);
  int calc(const RouteCondition2& condition);
  int cancel();
  int getNearRoadType(const Point2& point);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
