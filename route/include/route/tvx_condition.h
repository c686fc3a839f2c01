#pragma once
// The route a host asks for: options and the ordered nodes (start, the
// points between, goal). Made by Create and ended by Release only, so that
// memory is taken and given back inside the library.

#include <cstdint>
#include <vector>

#include "route/tvx_export.h"
#include "route/tvx_values.h"

namespace TvxRoute {

class TVXROUTE_API TVXRouteCondition : public Releasable {
 public:
  // A speed override for one class of road (km/h).
  struct SpeedSetting {
    std::int32_t classKey = 0;
    std::uint16_t speed = 0;
    std::uint8_t reserved[2] = {0, 0};
  };

  class TVXROUTE_API Node : public NodeBase, public Releasable {
   public:
    // A road point of the node, in the units of LonLat (1/1024 arc-second).
    struct Point {
      std::int32_t lon = -1;
      std::int32_t lat = -1;
    };

    static Node* Create();

    bool addRoadPoint(const Point& point);
    const Point* getRoadPoint(int i) const;
    int getRoadPointCnt() const { return static_cast<int>(roadPoints_.size()); }

    std::int32_t nodeType = 4;  // 0-3: kinds of stop; 4: an ordinary point
    CDateTime time;             // departure or arrival time here (by timeMode)
    std::int32_t roadTypeMode =
        0;  // road kind of its points: 0: kind 2; 1: asked of the engine; other: kind 0
    std::int32_t direction = -1;  // heading in degrees, -1 = none; valid -1..360

   private:
    Node() = default;
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    ~Node() override = default;
    std::vector<Point> roadPoints_;  // when present, searched from instead of the position
  };

  static TVXRouteCondition* Create();

  // Appends the node at the end and takes it over; true, or false for a
  // null node, which is not appended.
  bool append(Node* node);
  const Node* getNode(int i) const;
  int getNodeCnt() const { return static_cast<int>(nodes_.size()); }

  std::int32_t timeMode = 0;      // 0: node times are departures; 1: arrivals
  std::int32_t vehicleClass = 8;  // one bit: 1, 2, 4, 16, 32, 64 are toll classes 0, 1, 2, 4, 5, 6
  std::uint8_t tollOption1 = 0;
  std::uint8_t tollOption2 = 0;
  std::int32_t searchType = 0;  // 1-3 select a search kind; 0 also allows part conditions
  // The arrays below belong to the host and are only read while a route
  // is calculated.
  const std::uint32_t* holidayDates = nullptr;  // extra holidays, CDateTime words
  std::int32_t holidayCount = 0;
  const SpeedSetting* speedSettings = nullptr;
  std::int32_t speedCount = 0;
  const double* thinningParam1 = nullptr;  // shape thinning tolerances
  std::int32_t thinningParam2 = 0;         // their count

 protected:
  ~TVXRouteCondition() override;

 private:
  TVXRouteCondition() = default;
  TVXRouteCondition(const TVXRouteCondition&) = delete;
  TVXRouteCondition& operator=(const TVXRouteCondition&) = delete;

  std::vector<Node*> nodes_;
};

static_assert(sizeof(TVXRouteCondition::SpeedSetting) == 8, "speed settings are 8-byte records");

}  // namespace TvxRoute
