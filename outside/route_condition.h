#pragma once
// The condition of one leg search of the route engine: options, the leg
// time, the shared holiday and speed tables, the part conditions and the
// route points. The caller owns every object here; the engine only reads
// them during a search.

#include <cstdint>
#include <vector>

#include "outside/travel_clock.h"

// A position in the integer units of the map data.
struct Point2 {
  std::int32_t x = 0;  // longitude
  std::int32_t y = 0;  // latitude
};

// An extra holiday of the toll calculation, month and day counted from 1.
struct RouteHoliday {
  std::uint16_t year = 0;
  std::uint8_t month = 0;  // 1-12
  std::uint8_t day = 0;    // 1-31
};

static_assert(sizeof(RouteHoliday) == 4, "holiday records are 4 bytes");

// The speeds of one road kind.
struct RouteSpeed {
  std::uint16_t roadKind = 0;
  std::uint16_t speed[4] = {0, 0, 0, 0};
};

static_assert(sizeof(RouteSpeed) == 10, "speed records are 10 bytes");

// A table that every leg of a route shares: the count and the first
// record of a contiguous run.
template <typename Record>
struct RouteTableView {
  std::int32_t count = 0;
  const Record* first = nullptr;
};
using RouteHolidayView = RouteTableView<RouteHoliday>;
using RouteSpeedView = RouteTableView<RouteSpeed>;

// One entry of a leg's part conditions: a value for the route from the
// previous point up to the numbered point.
struct PartCondition {
  std::int32_t value = 0;
  std::int32_t reserved1 = 0;
  std::int32_t reserved2 = 0;
  std::int32_t pointNo = 0;
};
using PartConditionVector = std::vector<PartCondition>;

// One route point of a leg. For the legs after the first, the first point's
// link word and link part carry where the previous leg arrived (the first
// word and the low 16 bits of the second word of that arrival pair).
struct RoutePoint2 {
  std::int32_t lon = 0;
  std::int32_t lat = 0;
  std::int16_t direction = -1;  // heading in degrees, -1 = none
  std::int16_t reserved = 0;
  std::uint32_t link = 0;
  std::int16_t linkPart = -1;
  std::int16_t reserved2 = -1;
  std::int16_t pointNo = 0;   // the point's number in the whole route, from 1
  std::int16_t roadKind = 0;  // which roads the point may snap to
};

class RouteCondition2 {
 public:
  std::uint8_t searchKind = 0;  // 0-3
  std::uint32_t reserved = 0;
  std::int32_t vehicleClass = 3;   // toll vehicle class 0-6
  std::int32_t timeDirection = 1;  // 1: the leg departs at time; 2: it arrives at time
  TravelClock::Time time;          // all zero when the leg has no time of its own
  std::uint8_t tollOption = 0;
  const RouteHolidayView* holidays = nullptr;  // null when there is none
  const RouteSpeedView* speeds = nullptr;      // null when there is none
  PartConditionVector parts;
  std::vector<RoutePoint2> points;
};
