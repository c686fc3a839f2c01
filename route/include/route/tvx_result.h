#pragma once
// The route the library found: links with their shape points, nodes with
// their names, and the table of road names. Made by Create and ended by
// Release; the host owns a delivered result.
//
// The toll: when tollError is 0, summary1 and summary2 are the route's toll,
// the toll of the trips on toll roads it completes from an entrance to an
// exit, and the fees of its nodes add up to them (a toll point passed
// twice shows the fee due at each passage). 0 and 0 means that the route
// completes no trip that is charged: it has nothing to pay, or it starts
// or ends on the toll road, where a trip without its entrance or its exit
// is not charged (瀬田 to 海老名SA reads 0 and 0 with tollError 0). A host
// tells the second case by the route's first or last link, which is then
// an expressway link (class 0). Otherwise the toll could not be computed
// and is unknown: tollError holds the toll engine's code (negative, for
// instance -40 for toll points in an order it cannot price), summary1 and
// summary2 are -1, and so are the fees of every toll node (kind 5), which
// stay at the toll points the route passes. The links, nodes and shape
// points are those of the route either way.

#include <cstdint>
#include <string>
#include <vector>

#include "route/tvx_condition.h"
#include "route/tvx_export.h"
#include "route/tvx_values.h"

namespace TvxRoute {

class TVXROUTE_API TVXRouteResult : public Releasable {
 public:
  class TVXROUTE_API Link {
   public:
    // A shape point: position in the units of LonLat (1/1024 arc-second)
    // and its thinning level.
    struct TVXROUTE_API Point {
      Point() = default;
      Point(const Point& other) = default;
      Point& operator=(const Point& other) = default;
      std::int32_t lon = -1;
      std::int32_t lat = -1;
      std::int32_t level = 0;
    };

    Link() = default;
    virtual ~Link() = default;

    // The first of the link's shape points, which lie one after the other;
    // null when the link has none.
    const Point* getPointAry() const { return points.empty() ? nullptr : points.data(); }
    int getPointCnt() const { return static_cast<int>(points.size()); }

    std::int32_t linkClass = 0;
    std::int32_t distance = -1;  // metres
    std::int32_t time = -1;      // seconds
    std::int32_t nodeIndex = -1;
    std::int32_t roadNameIndex = -1;  // entry of the road-name table, -1 = none
    std::vector<Point> points;
  };

  class TVXROUTE_API Node : public NodeBase {
   public:
    Node() = default;
    Node(const Node& other) = default;
    Node& operator=(const Node& other) = default;
    ~Node() = default;

    std::int32_t kind = 7;
    std::int32_t breakNo = -1;  // 1 at the first node, 2 at the last
    std::int32_t fee = 0;       // yen; -1 when the toll is unknown (tollError)
    std::int32_t firstFee = 0;  // yen; -1 when the toll is unknown (tollError)
    std::int32_t facilityCode = -1;
    CDateTime time;  // no data unless set
    std::int32_t facilityFlag = 0;
  };

  // The three tables of a result; they own their links and nodes.
  struct Tables {
    std::vector<Link*> links;
    std::vector<Node*> nodes;
    std::vector<std::string> roadNames;
  };

  static TVXRouteResult* Create();

  int getLinkCnt() const { return static_cast<int>(tables.links.size()); }
  int getNodeCnt() const { return static_cast<int>(tables.nodes.size()); }
  int getRoadNameCnt() const { return static_cast<int>(tables.roadNames.size()); }
  // Null when i is out of range.
  const Link* getLink(int i) const;
  const Node* getNode(int i) const;
  const char* getRoadName(int i) const;

  std::int32_t summary1 = 0;                     // toll after all discounts (yen), -1 unknown
  std::int32_t summary2 = 0;                     // toll without discounts (yen), -1 unknown
  const TVXRouteCondition* condition = nullptr;  // not owned
  Tables tables;
  // 0: the toll is known (summary1, summary2); otherwise the toll engine's
  // code, and the route's toll is unknown (see above).
  std::int32_t tollError = 0;

 protected:
  ~TVXRouteResult() override;

 private:
  TVXRouteResult() = default;
  TVXRouteResult(const TVXRouteResult&) = delete;
  TVXRouteResult& operator=(const TVXRouteResult&) = delete;
};

}  // namespace TvxRoute
