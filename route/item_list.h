#pragma once
// The working list of the route result's post-processing: the route as an
// ordered sequence of items, each an optional node followed by an optional
// link with its shape points, plus the road-name table and the two toll
// totals. Also the conversion of the route library's leg results into
// such a list (buildItemList) and the callbacks that drive it.

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "outside/kiwi.h"
#include "outside/route_result.h"

class TmpItemAry {
 public:
  class Node {
   public:
    virtual ~Node() = default;
    std::string name;
    std::uint32_t facilNo = 0;  // bit 0x8000 set = ferry terminal
    std::uint32_t tollFacilNo = 0;
    std::int32_t fee = 0;
    std::int32_t firstFee = 0;
    std::int32_t facilCode = -1;
    std::uint32_t flags = 0;
    std::uint16_t year = 0;  // 0 = no time
    std::uint8_t month = 0, day = 0, hour = 0, minute = 0, second = 0;
  };

  struct Point {
    std::int32_t x = 0;  // longitude, 1/1024 arc-second
    std::int32_t y = 0;  // latitude, 1/1024 arc-second
    std::int32_t level = -1;
  };

  class Link {
   public:
    virtual ~Link() = default;
    // Copies road type, class, name number, road number, road-name index
    // and the highway flag.
    virtual void copyAttributes(const Link& other) {
      roadType = other.roadType;
      linkClass = other.linkClass;
      nameNo = other.nameNo;
      roadNo = other.roadNo;
      roadNameIdx = other.roadNameIdx;
      flags = static_cast<std::uint16_t>((flags & ~1u) | (other.flags & 1u));
    }
    std::vector<Point> points;
    std::int32_t roadType = -1;  // 0 = ferry route
    std::int32_t linkClass = -1;
    std::int32_t nameNo = -1;
    std::int32_t roadNo = 0;
    std::int32_t distance = -1;
    std::int32_t time = -1;
    std::int32_t roadNameIdx = -1;
    std::uint16_t flags = 0;  // bit 0: highway link
    // The leg (0 = the first) from whose start distance and time count;
    // it goes wherever they go.
    std::int32_t leg = 0;
  };

  struct Item {
    std::unique_ptr<Node> node;
    std::unique_ptr<Link> link;
  };

  std::list<Item>& items() { return items_; }
  const std::list<Item>& items() const { return items_; }
  std::vector<std::string>& roadNames() { return roadNames_; }
  const std::vector<std::string>& roadNames() const { return roadNames_; }
  std::int32_t tollTotal1 = 0;
  std::int32_t tollTotal2 = 0;
  // 0 while the totals are the route's toll; otherwise the toll could not
  // be computed: the toll engine's code, and both totals are -1.
  std::int32_t tollError = 0;

 private:
  std::list<Item> items_;
  std::vector<std::string> roadNames_;
};

// A guidance record of one leg: a facility or toll point on a link, with
// the cumulative distance and time from the leg start. The conversion keeps
// the leg's records sorted by distance.
struct RP2GuideRecord {
  std::uint32_t link = 0xFFFFFFFFu;  // link number; all ones past the last record
  std::uint8_t direction = 0;        // non-zero: on the link against its direction
  std::uint32_t time = 0;
  std::uint32_t distance = 0;
  std::uint32_t facilNo = 0;
  std::uint32_t tollFacilNo = 0;
};

// The guidance records of a leg: one per facility and toll guidance entry
// of every part path, sorted by distance (stable), then records on the same
// link and direction as the record before them merged into one.
std::vector<RP2GuideRecord> makeGuideRecords(const RouteSingleResult& leg);

// One stretch of the walk: the part of a link run that lies in one map road
// record, in driving order.
struct RP2Stretch {
  const PathLink* run = nullptr;  // the link run
  int runIndex = 0;               // the run's index in the leg
  KwRoad::Link first;             // view of the stretch's first link in driving order
  int count = 0;                  // links in the stretch (1 or more)
  int begin = 0;                  // links before this one were handled already
  bool reverse = false;           // driven against the links' direction
  bool finishesRun = false;       // the stretch reaches the run's last link
  // Number and record place of the i-th link of the stretch in driving order.
  std::uint32_t linkNo(int i) const {
    return reverse ? first.firstLinkNo + static_cast<std::uint32_t>(first.place - i)
                   : first.firstLinkNo + static_cast<std::uint32_t>(first.place + i);
  }
  int place(int i) const { return reverse ? first.place - i : first.place + i; }
};

// One link as addPoint sees it: the map link (road type, attribute byte)
// and the run it belongs to (name number, road number, distance, time).
struct RP2LinkView {
  KwRoad::Link map;
  const PathLink* run = nullptr;
  std::uint32_t linkNo = 0;
};

// The callbacks that the walk over a leg's link runs drives, one call per
// stretch.
class CRP2ConvFunc {
 public:
  virtual ~CRP2ConvFunc() = default;
  // An ordinary stretch.
  virtual void onLink(const KwRoad& road, const RP2Stretch& stretch) = 0;
  // The first stretch of a part (part index within the leg).
  virtual void onPartStart(const KwRoad& road, const RP2Stretch& stretch, int part) = 0;
  // The stretch that finishes a part.
  virtual void onPartEnd(const KwRoad& road, const RP2Stretch& stretch, int part) = 0;
  virtual bool isCancelled() { return false; }
};

// Produces items with shape points in longitude and latitude, 1/1024 units:
// break nodes at part starts, links that follow the map, nodes at guidance
// points.
class CRP2ConvFunc1024LL : public CRP2ConvFunc {
 public:
  // The leg is copied (a shared handle); items and map must outlive this.
  CRP2ConvFunc1024LL(const RouteSingleResult& leg, TmpItemAry& items, KiwiHandle* map);

  void onLink(const KwRoad& road, const RP2Stretch& stretch) override;
  void onPartStart(const KwRoad& road, const RP2Stretch& stretch, int part) override;
  void onPartEnd(const KwRoad& road, const RP2Stretch& stretch, int part) override;

  // Appends the point to the last link when it continues the same road
  // (road type, name number, road number, distance); else to a new link.
  virtual void addPoint(const RP2LinkView& link, const TmpItemAry::Point& point);
  // Appends a new item whose node is a break node (flag 0x80); the list
  // owns it.
  virtual TmpItemAry::Node* newBreakNode();
  // A guidance record reached at the end of its link: does nothing here.
  virtual void onGuidance(const RP2GuideRecord& record);
  // A named crossing at the end of a stretch: does nothing here.
  virtual void onCrossingName(const std::string& name);
  virtual std::unique_ptr<TmpItemAry::Node> newNode();
  virtual std::unique_ptr<TmpItemAry::Link> newLink();

 protected:
  // The record at the cursor (link number all ones past the end).
  RP2GuideRecord currentGuide() const;
  // Hands the points of links [from, to) of the stretch (driving order) to
  // addPoint, applying the guidance record at the cursor after each link's
  // last point when it lies on that link in the walk's direction.
  void expand(const KwRoad& road, const RP2Stretch& stretch, int from, int to);
  // The i-th link of the stretch as addPoint sees it.
  RP2LinkView linkView(const KwRoad& road, const RP2Stretch& stretch, int i) const;
  // onGuidance with the record at the cursor, and the cursor moves on.
  void applyGuide();
  // The last link of the list (null when there is none).
  TmpItemAry::Link* lastLink();

  RouteSingleResult leg_;
  TmpItemAry& items_;
  KiwiHandle* map_ = nullptr;
  std::vector<RP2GuideRecord> guides_;
  std::size_t cursor_ = 0;
};

// The final form: guidance records become facility and toll nodes, and
// the names of crossings on ordinary roads become crossing nodes.
class CTvxGuideFuncTVX : public CRP2ConvFunc1024LL {
 public:
  using CRP2ConvFunc1024LL::CRP2ConvFunc1024LL;
  void onLink(const KwRoad& road, const RP2Stretch& stretch) override;
  void onGuidance(const RP2GuideRecord& record) override;
  void onCrossingName(const std::string& name) override;
};

// Walks one leg's link runs over the map, driving the callbacks; false
// when a link is found in no tile the walk reaches (or no start tile).
bool walkLeg(const RouteSingleResult& leg, KiwiHandle* map, CRP2ConvFunc& func);

// Converts every leg in order into the list (through CTvxGuideFuncTVX);
// false as soon as a leg fails.
bool buildItemList(TmpItemAry& items, KiwiHandle* mapData,
                   const std::vector<RouteSingleResult>& legs);
