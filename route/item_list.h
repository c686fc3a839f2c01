#pragma once
// The working list of the route result's post-processing: the route as an
// ordered sequence of items, each an optional node followed by an optional
// link with its shape points, plus the road-name table and the two toll
// totals.

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

class TmpItemAry {
 public:
  class Node {
   public:
    virtual ~Node() = default;
    std::string name;
    std::uint32_t facilNo = 0;      // bit 0x8000 set = ferry terminal
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

 private:
  std::list<Item> items_;
  std::vector<std::string> roadNames_;
};
