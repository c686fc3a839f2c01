#pragma once
// The sample road map's text description (data/README.md): tiles, road
// records with their links, named crossings and border crossings, and the
// content of the highway data file. The generator turns it into the map
// stand-in's ALLDATA.KWI and into HIGHWAY.DAT.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/roadmap/highway_writer.h"

namespace roadmap {

struct Tile {
  std::uint32_t number = 0;
  std::int32_t west = 0, south = 0, width = 0, height = 0;  // arc-seconds
};

struct Link {
  std::uint32_t number = 0;
  int roadType = 0;
  int attribute = 0;
  std::vector<std::pair<std::int32_t, std::int32_t>> points;  // lon, lat in arc-seconds
};

struct Border {
  int node = 0;
  std::vector<std::uint32_t> links;  // link numbers in the neighbouring tile
};

// A highway facility at a node, with the toll facility numbers of a route
// that gets onto the highway there, leaves it there, or drives through.
struct Facility {
  int node = 0;
  std::uint16_t number = 0;
  std::uint16_t entering = 0, leaving = 0, passing = 0;
};

struct Road {
  std::uint32_t tile = 0;
  std::string label;         // UTF-8, for readers only
  std::int32_t nameNo = -1;  // name number of the road's runs (twice a name key)
  std::int32_t roadNo = 0;   // road number word of the road's runs
  std::vector<Link> links;   // consecutive numbers
  std::vector<std::pair<int, std::string>> crossings;  // node, UTF-8 name
  std::vector<Border> borders;
  std::vector<Facility> facilities;
};

struct Description {
  std::vector<Tile> tiles;
  std::vector<Road> roads;
  hwbuild::Image highway;
};

// Reads the description file (native path). False with *error naming the
// line when a record is malformed or the parts do not fit together.
bool LoadDescription(const std::string& nativePath, Description* out, std::string* error);

// The map file text (ALLDATA.KWI) of a loaded description: points in tile
// coordinates, long steps cut into steps of at most 127 arc-seconds, border
// targets as record and place in the neighbouring tile.
bool MapFileText(const Description& d, std::string* out, std::string* error);

}  // namespace roadmap
