#pragma once
// Our stand-in for the map-data library: a small road map read from a text
// file named ALLDATA.KWI and served as tiles whose road and guide data are
// byte views in the layouts below. The route library decodes these bytes
// itself, so the layouts are the contract.
//
// Units
//   Route points (getMap, getRange, xy2LL results) are longitude (x) and
//   latitude (y) in 1/1024 arc-seconds. Tile coordinates are whole
//   arc-seconds from the tile's south-west corner, 0-65535;
//   xy2LL(x, y) = (west + 1024 x, south + 1024 y).
//
// Tiles
//   A tile holds the points west <= x <= west + width, south <= y <= south +
//   height (its border included); getMap picks the first tile of the file
//   that holds the point. A tile's road data is a list of road records,
//   numbered from 0 in file order.
//
// Road record: a chain of m consecutive link numbers (1 <= m <= 16), the
//   first one given; link k of the record has number first + k.
//   - Link records, 4 bytes each: byte 0 road type (0 = ferry route);
//     byte 1 the attribute byte (bit 0x20 = highway link); bytes 2-3 zero.
//     The view's attrIndex is the index of the attribute byte (1).
//   - Segment data: m + 1 segment heads in a row, one per link and a
//     terminator. A segment is: a big-endian 16-bit word whose low 10 bits
//     are the number n of inner points (the other bits 0); the start point
//     as two big-endian 16-bit tile coordinates (x, then y); n pairs of
//     signed 8-bit deltas (dx, dy), each relative to the point before it.
//     A segment ends at the next segment's start point; the terminator
//     (n = 0) only holds the end point of the last link.
//   - Node records, 8 bytes each: first the m + 1 path nodes, node k lying
//     at the start point of segment k (node k joins link k-1 and link k;
//     node 0 starts the record, node m ends it); after them the chain
//     nodes of border crossings (below).
//       byte 0: bit 0x20 = tile-border node (path or chain node).
//       bytes 1-3: border node: the number of the neighbouring tile
//         (big-endian 24-bit); else zero.
//       bytes 4-7: a big-endian 32-bit word.
//         Border node: the border word. Bits 21-24 and 9-20 are the two
//         arguments of getLink in the neighbouring tile (the link's place
//         in its record, the record's number); bits 0-8 the index, in this
//         record's node list, of the chain node that holds the next
//         candidate. The word 0x01FFFFFF (first byte bit 0, the other three
//         bytes 0xFF) ends the chain; a crossing with n candidates has its
//         path node plus n chain nodes, the last one holding the end word.
//         Border nodes carry no guide data.
//         Other nodes: bit 29 (byte 4 bit 0x20) = has guide data; bits 0-23
//         the byte offset of the node's guide record in the tile's guide
//         data.
//
// Guide data (getGuide): the tile's guide records in a row; a record is a
//   big-endian 16-bit byte length L and L bytes of UTF-16 in little-endian
//   byte order (the crossing name).
//
// ALLDATA.KWI: UTF-8 text, one record a line, fields separated by blanks,
// '#' starts a comment line. The first record is "KIWI 1".
//   TILE <number> <west> <south> <width> <height>
//       number 1-16777215; the others in whole arc-seconds (width and
//       height 1-65535); tiles do not overlap.
//   ROAD <tile> <first link number>
//       opens the next road record of that tile.
//   LINK <road type> <attribute> <x>,<y> <x>,<y> ...
//       the next link of the open road: its points in tile coordinates,
//       at least two; its first point is the last point of the link
//       before it; steps between points are within -128..127 per axis and
//       a link has at most 1023 inner points.
//   NODE <k> GUIDE <name>
//       node k of the open road has the crossing name (the rest of the
//       line).
//   NODE <k> BORDER <tile> <record>:<place> ...
//       node k of the open road lies on the border to that tile and leads
//       to the given links there, in candidate order.
//   Link numbers are unique over the whole map: init refuses a map in
//   which a link repeats the number of one read before, naming its line.
//
// Route engine data (read by the route engine stand-in, not part of the
// byte views):
//   ROAD <tile> <first link> <name number> <road number>
//       the two optional numbers are what the engine's route results carry
//       for the road's links (default 0 and 0).
//   NODE <k> FACILITY <facility> <entering toll> <leaving toll> <passing toll>
//       node k of the open road is the highway facility with that number
//       (0 = none); a route that gets onto highway links there takes the
//       entering toll facility number, one that leaves them there the
//       leaving number, one that drives through on highway links the
//       passing number (0 = no toll point).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Pelvo {
// The map level that the route library reads (getMap and getGuide).
constexpr int P2 = 0;
}  // namespace Pelvo

// Shared handle: every copy adds a reference, every release drops one; the
// last release frees the object.
template <typename T>
class KwInnerPtr {
 public:
  KwInnerPtr() = default;
  explicit KwInnerPtr(std::shared_ptr<T> p) : p_(std::move(p)) {}
  template <typename U>
  KwInnerPtr(const KwInnerPtr<U>& other) : p_(other.shared()) {}  // NOLINT: upcast

  T* get() const { return p_.get(); }
  T* operator->() const { return p_.get(); }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return static_cast<bool>(p_); }
  void release() { p_.reset(); }
  long refCount() const { return p_.use_count(); }
  const std::shared_ptr<T>& shared() const { return p_; }

 private:
  std::shared_ptr<T> p_;
};

struct KwRect {
  std::int32_t x = 0, y = 0;           // origin (south-west corner)
  std::int32_t width = 0, height = 0;  // extent
};

struct KwPoint {
  std::int32_t x = 0, y = 0;
};

// The route engine's data of a road record (see the file format).
struct KwFacility {
  int node = 0;
  std::uint16_t facility = 0;
  std::uint16_t entering = 0;
  std::uint16_t leaving = 0;
  std::uint16_t passing = 0;
};
struct KwRouteData {
  std::int32_t nameNo = 0;
  std::int32_t roadNo = 0;
  std::vector<KwFacility> facilities;
};

namespace kiwi_detail {
struct RoadRecord {
  std::uint32_t firstLink = 0;
  int linkCount = 0;
  KwRouteData routeData;
  std::vector<std::uint8_t> links;     // 4 bytes a link
  std::vector<std::uint8_t> segments;  // linkCount + 1 heads
  std::vector<std::uint8_t> nodes;     // 8 bytes a node
};
struct Tile {
  std::uint32_t number = 0;
  KwRect range;  // in route units
  std::vector<RoadRecord> records;
  std::vector<std::uint8_t> guide;
};
using TileSet = std::vector<std::shared_ptr<const Tile>>;
}  // namespace kiwi_detail

class KiwiHandle;

// What every tile object offers: its rectangle and its coordinate mapping.
class KwBase {
 public:
  virtual ~KwBase() = default;
  KwRect getRange() const { return tile_->range; }
  KwPoint xy2LL(int x, int y) const;
  std::uint32_t tileNumber() const { return tile_->number; }

 protected:
  explicit KwBase(std::shared_ptr<const kiwi_detail::Tile> tile) : tile_(std::move(tile)) {}
  std::shared_ptr<const kiwi_detail::Tile> tile_;
};

// A tile's road data.
class KwRoad : public KwBase {
 public:
  // View of one link in its road record (pointers into the tile's data,
  // valid while a handle of the road or its tile lives).
  struct Link {
    const std::uint8_t* link = nullptr;  // the 4-byte link record
    int attrIndex = 0;                   // link[attrIndex] is the attribute byte
    std::uint32_t firstLinkNo = 0;       // first link number of the record
    int segmentCount = 0;                // links of the record (heads: one more)
    const std::uint8_t* segments = nullptr;
    std::size_t segmentBytes = 0;
    const std::uint8_t* nodes = nullptr;  // 8 bytes a node
    int nodeCount = 0;                    // path nodes (segmentCount + 1) and chain nodes
    int place = 0;                        // this link's index in the record
    int record = 0;                       // the record's number in the tile
  };
  // View of one 8-byte node record of this tile.
  struct Node {
    const std::uint8_t* data = nullptr;
  };

  explicit KwRoad(std::shared_ptr<const kiwi_detail::Tile> tile) : KwBase(std::move(tile)) {}

  // True when this tile holds the link; fills the view.
  bool findLink(std::uint32_t linkNo, Link* view) const;
  // The link at `place` of road record `record` of this tile.
  bool getLink(int place, int record, Link* view) const;
  // The road data of the tile on the other side of a border node; empty
  // when the node is not a border node or names no tile of the map.
  KwInnerPtr<KwRoad> adjRoad(KiwiHandle* handle, Node* node) const;
  int recordCount() const { return static_cast<int>(tile_->records.size()); }
  // The route engine's data of road record `record`; null out of range.
  const KwRouteData* routeData(int record) const;
};

// A tile's guide data.
class KwGuide : public KwBase {
 public:
  explicit KwGuide(std::shared_ptr<const kiwi_detail::Tile> tile) : KwBase(std::move(tile)) {}
  const std::uint8_t* data() const { return tile_->guide.data(); }
  std::size_t size() const { return tile_->guide.size(); }
};

// A tile.
class KwMap : public KwBase {
 public:
  explicit KwMap(std::shared_ptr<const kiwi_detail::Tile> tile) : KwBase(std::move(tile)) {}
  KwInnerPtr<KwRoad> getRoad() const;
};

class KiwiHandle {
 public:
  KiwiHandle() = default;
  virtual ~KiwiHandle() = default;
  KiwiHandle(const KiwiHandle&) = delete;
  KiwiHandle& operator=(const KiwiHandle&) = delete;

  // Reads the map file (a CP932 path). False, with lastError() telling why,
  // when it is missing or malformed; the map is then empty.
  virtual bool init(const char* path);
  // The tile holding the point (route units) at level Pelvo::P2; empty when
  // none does.
  KwInnerPtr<KwMap> getMap(int level, int x, int y) const;
  KwInnerPtr<KwGuide> getGuide(int level, int x, int y) const;
  // The road data of the tile with this number; empty when there is none.
  KwInnerPtr<KwRoad> roadOfTile(std::uint32_t number) const;
  // The numbers of the map's tiles, in file order.
  std::vector<std::uint32_t> tileNumbers() const;

  // CP932 text of the last init failure ("" after a success).
  const std::string& lastError() const { return lastError_; }

 private:
  std::shared_ptr<const kiwi_detail::Tile> tileAt(int x, int y) const;
  kiwi_detail::TileSet tiles_;
  std::string lastError_;
};

// The handle over the whole map file. The arguments (cache size, shared
// flag) are accepted and not needed: the stand-in keeps the map in memory.
class KiwiHandleForALLDATA : public KiwiHandle {
 public:
  KiwiHandleForALLDATA(int cacheSize, bool shared);
};
