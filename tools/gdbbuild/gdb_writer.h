#pragma once
// Writer of the reverse-geocoding grid file %02d.GDB of one prefecture.
//
// Layout (little-endian):
//   0    12 bytes  zero
//   12   u16       number of columns NX
//   14   u16       number of rows NY
//   16   4 doubles minimum x, minimum y, maximum x, maximum y, in seconds of
//                  arc on the Tokyo datum (x = longitude, y = latitude)
//   48   NX x NY   u32 offset of the first link of cell (c, r) at
//                  48 + 4 x (c + NX x r); 0 for a cell without areas
//   then every area record once, then the links.
// A link is {u32 area offset, u32 next link offset}; the last link of a
// cell's chain has the next offset 0.
// An area record: the code text and the name row, each a length byte and
// that many bytes XOR-ed with 0x5B; then the outline: a width byte w (2, 4
// or 8), an i32 length L of the outline including this 21-byte head, the
// doubles base x and base y (milliseconds of arc), and the points, each x
// then y as w-byte values (u16, u32 or double) of milliseconds of arc above
// the base. L = 21 + points x 2 x w.
//
// The grid covers the box of all outlines widened by a margin on every
// side, so that no outline point lies on the maximum border (which belongs
// to no cell). An area is chained into every cell that its outline's box
// meets, in the order the areas are given.

#include <cstdint>
#include <string>
#include <vector>

namespace gdbbuild {

struct GridPoint {
  double x = 0;  // longitude, milliseconds of arc
  double y = 0;  // latitude
};

struct GridArea {
  std::string code;     // the address code text (CP932), at most 255 bytes
  std::string nameRow;  // the CSV name row (CP932), at most 255 bytes
  std::vector<GridPoint> outline;
  // The value width of the outline: 2, 4 or 8; 0 picks the narrowest that
  // holds every offset from the base exactly (the base is the outline's
  // smallest x and y).
  int width = 0;
};

struct GridOptions {
  uint16_t columns = 8;
  uint16_t rows = 8;
  double marginSeconds = 1.0;
};

// The file image; 0 with a message (kMessageSize bytes) for no areas, a
// text longer than 255 bytes, an outline of fewer than 3 points, a width
// other than 0, 2, 4 and 8 or one that cannot hold the outline's offsets,
// or a grid of no cells.
int BuildGridImage(const std::vector<GridArea>& areas, const GridOptions& options,
                   std::string* image, char* msg);
// BuildGridImage and the file (written aside and renamed over path; a
// failure leaves path as it was).
int WriteGridFile(const char* path, const std::vector<GridArea>& areas, const GridOptions& options,
                  char* msg);

}  // namespace gdbbuild
