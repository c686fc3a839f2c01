#pragma once
// The result of one leg of the route library's search, as its clients read
// it: the part paths of the route (one per stretch between two route
// points), each with its link runs, its toll points, shape points and
// guidance entries, and the leg's departure time, vehicle type and toll
// option byte. A RouteSingleResult is a handle: copies share one
// RouteSingleResultRaw, but each handle has a toll word of its own, so a
// holder that writes the toll into its copy leaves the other copies alone.
//
// Everything here is defined in this header, so that a program that only
// links a library built on these types can make and read them.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "outside/travel_clock.h"

// Two 32-bit words naming a place on the road network (a link and the
// position on it): the start and goal of a part path and the entries of its
// 8-byte lists.
struct LinkPair {
  std::uint32_t first = 0;
  std::uint32_t second = 0;
};

// A run of links of one road (24 bytes): the first link number, the last
// offset of the run, its direction (non-zero: driven against the link's
// direction), and what the run carries: name number, road number, and the
// distance (metres) and time (seconds) from the leg start to its end.
struct PathLink {
  std::uint32_t link = 0;
  std::uint16_t lastOffset = 0;
  std::uint16_t direction = 0;
  std::int32_t nameNo = 0;
  std::int32_t roadNo = 0;
  std::int32_t distance = 0;
  std::int32_t time = 0;
};

// One toll point of a part path (16 bytes): the toll facility number at byte
// 6 (a toll engine keeps its low 15 bits) and the time from the leg start
// in seconds at byte 12. The other bytes are not used by the clients.
struct PartLink {
  std::uint16_t reserved1[3] = {0, 0, 0};
  std::uint16_t facility = 0;
  std::uint32_t reserved2 = 0;
  std::uint32_t seconds = 0;
};
static_assert(sizeof(PartLink) == 16 && offsetof(PartLink, facility) == 6 &&
              offsetof(PartLink, seconds) == 12);

// A shape point: longitude and latitude in 1/1024 arc-second (Tokyo datum).
struct ShapePoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

// A guidance entry of a part path (16 bytes): the link it lies on, the
// direction flag, the facility or toll number, and its distance (metres)
// and time (seconds) from the leg start.
struct GuideEntry {
  std::uint32_t link = 0;
  std::uint16_t direction = 0;
  std::uint16_t number = 0;
  std::uint32_t distance = 0;
  std::uint32_t time = 0;
};

// One stretch of the route between two route points.
struct PartPath {
  LinkPair start;
  LinkPair goal;
  std::vector<LinkPair> goalSide;  // goal-side list
  std::vector<LinkPair> entries;   // 8-byte entry list
  std::vector<PartLink> links;     // the toll points of the stretch, in driving order
  TravelClock::Time startTime;
  std::uint32_t firstLink = 0;  // first link number of the stretch
  std::uint16_t firstDirection = 0;
  std::vector<PathLink> runs;           // the link runs (24-byte entries), in driving order
  std::vector<ShapePoint> startPoints;  // the first link from the exact start position
  std::vector<ShapePoint> endPoints;    // the last link up to the exact goal
  std::int32_t distance = 0;            // cumulative from the leg start (metres)
  std::int32_t time = 0;                // cumulative from the leg start (seconds)
  std::vector<GuideEntry> facilities;   // facility guidance
  std::vector<GuideEntry> tolls;        // toll guidance
};

using PartPathPtr = std::shared_ptr<PartPath>;

// The shared record behind RouteSingleResult handles.
struct RouteSingleResultRaw {
  TravelClock::Time departure;  // departure time of the leg
  std::int32_t vehicleType = 0;
  std::uint8_t option = 0;  // toll option byte
  std::vector<PartPathPtr> parts;
};

class RouteSingleResult {
 public:
  // An empty handle: no parts, no links.
  RouteSingleResult() = default;
  explicit RouteSingleResult(std::shared_ptr<RouteSingleResultRaw> raw) : raw_(std::move(raw)) {}
  RouteSingleResult(const RouteSingleResult& other) = default;
  RouteSingleResult& operator=(const RouteSingleResult& other) = default;
  ~RouteSingleResult() = default;

  // The shared record (null for an empty handle).
  RouteSingleResultRaw* raw() const { return raw_.get(); }

  int getPartCnt() const { return raw_ ? static_cast<int>(raw_->parts.size()) : 0; }
  // Null out of range.
  PartPath* getPart(int index) const {
    return raw_ && index >= 0 && index < getPartCnt()
               ? raw_->parts[static_cast<std::size_t>(index)].get()
               : nullptr;
  }
  // Link runs of one part (0 out of range) and of all parts.
  int getLinkCnt(int part) const {
    const PartPath* p = getPart(part);
    return p ? static_cast<int>(p->runs.size()) : 0;
  }
  int getAllLinkCnt() const {
    int n = 0;
    for (int i = 0; i < getPartCnt(); ++i) n += getLinkCnt(i);
    return n;
  }
  // The index-th link run counted over all parts in order; null out of range.
  PathLink* getLinkId(int index) const {
    if (index < 0) return nullptr;
    for (int i = 0; i < getPartCnt(); ++i) {
      PartPath* p = getPart(i);
      if (!p) continue;
      if (static_cast<std::size_t>(index) < p->runs.size())
        return &p->runs[static_cast<std::size_t>(index)];
      index -= static_cast<int>(p->runs.size());
    }
    return nullptr;
  }

  TravelClock::Time departure() const { return raw_ ? raw_->departure : TravelClock::Time{}; }
  std::int32_t vehicleType() const { return raw_ ? raw_->vehicleType : 0; }
  std::uint8_t option() const { return raw_ ? raw_->option : 0; }

  // The toll word of this handle.
  std::int32_t toll() const { return toll_; }
  void setToll(std::int32_t toll) { toll_ = toll; }

 private:
  std::shared_ptr<RouteSingleResultRaw> raw_;
  std::int32_t toll_ = 0;
};
