#include "route/leg_builder.h"

#include <utility>

#include "toll/toll_calendar.h"

namespace TvxRoute {

namespace {

using Node = TVXRouteCondition::Node;

// One row of the default speed table; thirdFromDefault: speeds 3 and 4
// follow the default speed (that of class key 0) when the class is set.
struct SpeedRow {
  std::int32_t key;
  std::uint16_t roadKind;
  std::uint16_t speed;
  bool thirdFromDefault;
};

constexpr SpeedRow kSpeedRows[] = {
    {0, 0, 80, false}, {0, 1, 80, false}, {1, 2, 30, true},   {2, 3, 30, true},
    {3, 4, 20, true},  {4, 5, 20, true},  {4, 6, 20, true},   {4, 7, 20, false},
    {5, 8, 20, false}, {5, 9, 20, false}, {6, 10, 20, false},
};

constexpr std::uint16_t kSpeedWithoutKey0 = 80;

// A fresh leg condition with the options of the route condition.
std::unique_ptr<RouteCondition2> NewLeg(const TVXRouteCondition& condition) {
  auto leg = std::make_unique<RouteCondition2>();
  leg->searchKind = (condition.searchType >= 1 && condition.searchType <= 3)
                        ? static_cast<std::uint8_t>(condition.searchType)
                        : 0;
  leg->reserved = 0;
  switch (condition.vehicleClass) {
    case 1:
      leg->vehicleClass = 0;
      break;
    case 2:
      leg->vehicleClass = 1;
      break;
    case 4:
      leg->vehicleClass = 2;
      break;
    case 16:
      leg->vehicleClass = 4;
      break;
    case 32:
      leg->vehicleClass = 5;
      break;
    case 64:
      leg->vehicleClass = 6;
      break;
    default:
      leg->vehicleClass = 3;
      break;
  }
  leg->timeDirection = condition.timeMode == 1 ? 2 : 1;
  leg->tollOption = condition.tollOption1;
  return leg;
}

// Appends the node to the leg as route points numbered pointNo: one per
// road point when it has any, else its own position.
void AddNode(const Node& node, int pointNo, NearRoadTypeQuery& engine, RouteCondition2& leg) {
  std::int16_t roadKind = 0;
  if (node.roadTypeMode == 0) {
    roadKind = 2;
  } else if (node.roadTypeMode == 1) {
    Point2 at{node.lon, node.lat};
    if (const Node::Point* first = node.getRoadPoint(0)) at = Point2{first->lon, first->lat};
    roadKind = (engine.getNearRoadType(at) & 2) != 0 ? 1 : 2;
  }
  RoutePoint2 point;
  point.pointNo = static_cast<std::int16_t>(pointNo);
  point.roadKind = roadKind;
  if (node.getRoadPointCnt() > 0) {
    point.direction = -1;
    for (int i = 0; i < node.getRoadPointCnt(); ++i) {
      point.lon = node.getRoadPoint(i)->lon;
      point.lat = node.getRoadPoint(i)->lat;
      leg.points.push_back(point);
    }
  } else {
    point.lon = node.lon;
    point.lat = node.lat;
    point.direction = static_cast<std::int16_t>(node.direction);
    leg.points.push_back(point);
  }
}

// The part conditions: the value starts at 2 and switches between 2 and 4
// after every node of type 2. Empty when no node has type 2.
PartConditionVector PartConditions(const TVXRouteCondition& condition) {
  PartConditionVector parts;
  bool marked = false;
  std::int32_t value = 2;
  for (int i = 1; i < condition.getNodeCnt(); ++i) {
    parts.push_back(PartCondition{value, 0, 0, i + 1});
    if (condition.getNode(i)->nodeType == 2) {
      marked = true;
      value = value == 2 ? 4 : 2;
    }
  }
  if (!marked) parts.clear();
  return parts;
}

std::vector<RouteHoliday> Holidays(const TVXRouteCondition& condition) {
  std::vector<RouteHoliday> holidays;
  if (condition.holidayDates == nullptr) return holidays;
  for (std::int32_t i = 0; i < condition.holidayCount; ++i) {
    const CDateTime date(condition.holidayDates[i]);
    holidays.push_back(RouteHoliday{static_cast<std::uint16_t>(date.getYear()),
                                    static_cast<std::uint8_t>(date.getMon()),
                                    static_cast<std::uint8_t>(date.getDay())});
  }
  return holidays;
}

std::vector<RouteSpeed> Speeds(const TVXRouteCondition& condition) {
  std::vector<RouteSpeed> speeds;
  for (const SpeedRow& row : kSpeedRows) {
    speeds.push_back(RouteSpeed{row.roadKind, {row.speed, row.speed, row.speed, row.speed}});
  }
  if (condition.speedSettings == nullptr || condition.speedCount <= 0) return speeds;
  const TVXRouteCondition::SpeedSetting* settings = condition.speedSettings;
  const std::size_t count = static_cast<std::size_t>(condition.speedCount);
  std::uint16_t fallback = kSpeedWithoutKey0;
  for (std::size_t s = 0; s < count; ++s) {
    if (settings[s].classKey == 0) {
      fallback = settings[s].speed;
      break;
    }
  }
  for (std::size_t s = 0; s < count; ++s) {
    for (const SpeedRow& row : kSpeedRows) {
      if (row.key != settings[s].classKey) continue;
      for (RouteSpeed& record : speeds) {
        if (record.roadKind != row.roadKind) continue;
        const std::uint16_t set = settings[s].speed;
        const std::uint16_t third = row.thirdFromDefault ? fallback : set;
        record.speed[0] = set;
        record.speed[1] = set;
        record.speed[2] = third;
        record.speed[3] = third;
      }
    }
  }
  return speeds;
}

// The view of a table, null when the table is empty.
template <typename Record>
std::unique_ptr<RouteTableView<Record>> MakeView(const std::vector<Record>& table) {
  if (table.empty()) return nullptr;
  return std::make_unique<RouteTableView<Record>>(
      RouteTableView<Record>{static_cast<std::int32_t>(table.size()), table.data()});
}

}  // namespace

RouteCondition2* LegList::take(int i) {
  if (i < 0 || i >= count()) return nullptr;
  RouteCondition2* leg = legs_[static_cast<std::size_t>(i)].get();
  leg->holidays = holidayView_.get();
  leg->speeds = speedView_.get();
  return leg;
}

void LegList::replace(std::vector<std::unique_ptr<RouteCondition2>> legs,
                      std::vector<RouteSpeed> speeds, std::vector<RouteHoliday> holidays) {
  legs_ = std::move(legs);
  speeds_ = std::move(speeds);
  holidays_ = std::move(holidays);
  speedView_ = MakeView(speeds_);
  holidayView_ = MakeView(holidays_);
}

bool buildLegConditions(const TVXRouteCondition& condition, NearRoadTypeQuery& engine,
                        LegList& legs, std::int32_t& lastError) {
  legs.clearLegs();
  const int n = condition.getNodeCnt();
  if (n < 1) {
    lastError = kLegTimeMissing;
    return false;
  }
  // The legs are only handed over once all is well; on failure they go
  // with this list.
  std::vector<std::unique_ptr<RouteCondition2>> built;
  bool haveLast = false;
  std::uint32_t lastTime = 0;
  bool anyTime = false;
  int pointCount = 0;
  for (int i = 0; i < n; ++i) {
    const Node& node = *condition.getNode(i);
    if (node.direction < -1 || node.direction > 360) {
      lastError = kLegBadDirection;
      return false;
    }
    if (i == 0) built.push_back(NewLeg(condition));
    ++pointCount;
    AddNode(node, pointCount, engine, *built.back());
    if (node.time.isNoData()) continue;

    anyTime = true;
    const std::uint32_t time = node.time;
    if (haveLast && lastTime >= time) {
      lastError = kLegTimeOrder;
      return false;
    }
    haveLast = true;
    lastTime = time;
    const TravelClock::Time legTime = toTravelTime(node.time);
    // The leg ending at a timed node between the ends is followed by a new
    // leg that starts at the same node with the same point number.
    auto splitHere = [&] {
      built.push_back(NewLeg(condition));
      AddNode(node, pointCount, engine, *built.back());
      built.back()->time = legTime;
    };
    if (condition.timeMode != 0) {
      // Arrival times: the leg arrives here. The next leg takes the same
      // time until a later timed node closes it; a last leg that no timed
      // node closes keeps it.
      if (i == 0) {
        lastError = kLegTimeOrder;
        return false;
      }
      built.back()->time = legTime;
      if (i != n - 1) splitHere();
    } else {
      // Departure times: the leg departs here.
      if (i == n - 1) {
        lastError = kLegTimeOrder;
        return false;
      }
      if (i == 0) {
        built.back()->time = legTime;
      } else {
        splitHere();
      }
    }
  }
  if (!anyTime) {
    lastError = kLegTimeMissing;
    return false;
  }

  if (condition.searchType == 0 && n > 1) {
    const PartConditionVector parts = PartConditions(condition);
    if (!parts.empty()) {
      for (auto& leg : built) leg->parts = parts;
    }
  }
  legs.replace(std::move(built), Speeds(condition), Holidays(condition));
  return true;
}

TravelClock::Time toTravelTime(CDateTime time) { return unpackTime(time); }

CDateTime toDateTime(const TravelClock::Time& time) { return CDateTime(packTime(time)); }

TollInputParam buildTollInput(const RouteCondition2& leg0, const TVXRouteCondition& condition,
                              const std::vector<LegTollLinks>& legResults) {
  TollInputParam input;
  input.vehicleClass = leg0.vehicleClass;
  input.option1 = leg0.tollOption;
  input.option2 = condition.tollOption2;
  const RouteHolidayView* holidays = leg0.holidays;
  for (const LegTollLinks& leg : legResults) {
    for (const LegTollLink& link : leg.links) {
      TravelClock::Time at = leg.departure;
      // addSec takes a signed count: a larger one is added in two steps.
      std::uint32_t seconds = link.seconds;
      if (seconds > 0x7FFFFFFFu) {
        at.addSec(0x7FFFFFFF);
        seconds -= 0x7FFFFFFFu;
      }
      at.addSec(static_cast<std::int32_t>(seconds));
      int weekday = TravelClock::Week(at.year, at.month, at.day);
      if (weekday < 0 || weekday > 6) weekday = 1;
      std::uint8_t holiday = 0;
      if (holidays != nullptr && holidays->first != nullptr) {
        for (std::int32_t h = 0; h < holidays->count; ++h) {
          const RouteHoliday& date = holidays->first[h];
          if (date.year == at.year && date.month == at.month + 1 && date.day == at.day + 1) {
            holiday = 1;
            break;
          }
        }
      }
      TollInputParam::Item item;
      item.facility = link.facility;
      item.time = toDateTime(at);
      item.dayOfWeek = weekday;
      item.holiday = holiday;
      input.items.v.push_back(item);
    }
  }
  return input;
}

}  // namespace TvxRoute
