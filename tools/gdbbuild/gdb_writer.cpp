#include "tools/gdbbuild/gdb_writer.h"

#include <cmath>
#include <cstring>

#include "common/le_bytes.h"
#include "common/message.h"
#include "tools/image_file.h"

namespace gdbbuild {
namespace {

constexpr unsigned char kTextKey = 0x5B;
constexpr uint32_t kHeaderSize = 48;
constexpr uint32_t kOutlineHeadSize = 21;

void AppendDouble(std::string* out, double value) {
  unsigned char b[8];
  StoreLeValue(b, value);
  out->append(reinterpret_cast<const char*>(b), 8);
}

void AppendText(std::string* out, const std::string& text) {
  out->push_back(static_cast<char>(text.size()));
  for (unsigned char c : text) out->push_back(static_cast<char>(c ^ kTextKey));
}

struct Box {
  double minX, minY, maxX, maxY;
};

Box OutlineBox(const GridArea& area) {
  Box b{area.outline[0].x, area.outline[0].y, area.outline[0].x, area.outline[0].y};
  for (const GridPoint& p : area.outline) {
    b.minX = std::fmin(b.minX, p.x);
    b.minY = std::fmin(b.minY, p.y);
    b.maxX = std::fmax(b.maxX, p.x);
    b.maxY = std::fmax(b.maxY, p.y);
  }
  return b;
}

// The narrowest width whose values hold every offset exactly; 0 when the
// given width cannot.
int ChooseWidth(const GridArea& area, const Box& box) {
  bool whole = true;
  double largest = 0;
  for (const GridPoint& p : area.outline) {
    const double dx = p.x - box.minX, dy = p.y - box.minY;
    if (dx != std::floor(dx) || dy != std::floor(dy)) whole = false;
    largest = std::fmax(largest, std::fmax(dx, dy));
  }
  const bool fits2 = whole && largest <= 65535.0;
  const bool fits4 = whole && largest <= 4294967295.0;
  switch (area.width) {
    case 0:
      return fits2 ? 2 : fits4 ? 4 : 8;
    case 2:
      return fits2 ? 2 : 0;
    case 4:
      return fits4 ? 4 : 0;
    case 8:
      return 8;
    default:
      return 0;
  }
}

void AppendOutline(std::string* out, const GridArea& area, const Box& box, int width) {
  const uint32_t length = kOutlineHeadSize + static_cast<uint32_t>(area.outline.size()) * 2u *
                                                 static_cast<uint32_t>(width);
  out->push_back(static_cast<char>(width));
  builder::AppendLe(out, length, 4);
  AppendDouble(out, box.minX);
  AppendDouble(out, box.minY);
  for (const GridPoint& p : area.outline) {
    for (const double v : {p.x - box.minX, p.y - box.minY}) {
      if (width == 8) {
        AppendDouble(out, v);
      } else {
        builder::AppendLe(out, static_cast<uint64_t>(v), width);
      }
    }
  }
}

// Each area's outline box and coordinate width, and the box around them
// all; the message for an area that cannot be written.
bool MeasureAreas(const std::vector<GridArea>& areas, std::vector<Box>* boxes,
                  std::vector<int>* widths, Box* all, char* msg) {
  for (std::size_t i = 0; i < areas.size(); ++i) {
    const GridArea& a = areas[i];
    if (a.code.size() > 255 || a.nameRow.size() > 255) {
      SetMessage(msg, "grid file: area %s: a text longer than 255 bytes", a.code.c_str());
      return false;
    }
    if (a.outline.size() < 3) {
      SetMessage(msg, "grid file: area %s: fewer than 3 outline points", a.code.c_str());
      return false;
    }
    const Box b = OutlineBox(a);
    const int width = ChooseWidth(a, b);
    if (width == 0) {
      SetMessage(msg, "grid file: area %s: width %d cannot hold the outline", a.code.c_str(),
                 a.width);
      return false;
    }
    boxes->push_back(b);
    widths->push_back(width);
    if (i == 0) *all = b;
    *all = {std::fmin(all->minX, b.minX), std::fmin(all->minY, b.minY),
            std::fmax(all->maxX, b.maxX), std::fmax(all->maxY, b.maxY)};
  }
  return true;
}

// Chains: each cell's areas in the given order; links written from the
// last area of a chain backwards so that each knows its successor. The
// cell table at tableOffset gets each chain's first link.
void AppendCellChains(std::string* out, const std::vector<Box>& boxes,
                      const std::vector<uint32_t>& areaOffsets, const Box& grid, uint32_t nx,
                      uint32_t ny, uint32_t tableOffset) {
  const double cellW = (grid.maxX - grid.minX) / nx, cellH = (grid.maxY - grid.minY) / ny;
  auto cellRange = [](double lo, double hi, double origin, double size, uint32_t count,
                      uint32_t* first, uint32_t* last) {
    const double a = std::floor((lo - origin) / size), b = std::floor((hi - origin) / size);
    *first = static_cast<uint32_t>(std::fmax(0.0, a));
    *last = static_cast<uint32_t>(std::fmin(static_cast<double>(count - 1), b));
  };
  std::vector<std::vector<uint32_t>> chains(static_cast<std::size_t>(nx) * ny);
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    uint32_t c0 = 0, c1 = 0, r0 = 0, r1 = 0;
    cellRange(boxes[i].minX / 1000, boxes[i].maxX / 1000, grid.minX, cellW, nx, &c0, &c1);
    cellRange(boxes[i].minY / 1000, boxes[i].maxY / 1000, grid.minY, cellH, ny, &r0, &r1);
    for (uint32_t r = r0; r <= r1; ++r)
      for (uint32_t c = c0; c <= c1; ++c) chains[c + nx * r].push_back(static_cast<uint32_t>(i));
  }
  for (std::size_t cell = 0; cell < chains.size(); ++cell) {
    uint32_t next = 0;
    for (auto it = chains[cell].rbegin(); it != chains[cell].rend(); ++it) {
      const uint32_t link = static_cast<uint32_t>(out->size());
      builder::AppendLe(out, areaOffsets[*it], 4);
      builder::AppendLe(out, next, 4);
      next = link;
    }
    StoreLe(reinterpret_cast<unsigned char*>(&(*out)[tableOffset + 4 * cell]), next, 4);
  }
}

}  // namespace

int BuildGridImage(const std::vector<GridArea>& areas, const GridOptions& options,
                   std::string* image, char* msg) {
  if (!image || areas.empty() || options.columns == 0 || options.rows == 0) {
    SetMessage(msg, "grid file: no areas or no cells");
    return 0;
  }
  std::vector<Box> boxes;
  std::vector<int> widths;
  Box all{};
  if (!MeasureAreas(areas, &boxes, &widths, &all, msg)) return 0;

  // The grid in seconds of arc.
  const double margin = options.marginSeconds;
  const Box grid{all.minX / 1000 - margin, all.minY / 1000 - margin, all.maxX / 1000 + margin,
                 all.maxY / 1000 + margin};
  const uint32_t nx = options.columns, ny = options.rows;

  std::string out(12, '\0');
  builder::AppendLe(&out, nx, 2);
  builder::AppendLe(&out, ny, 2);
  AppendDouble(&out, grid.minX);
  AppendDouble(&out, grid.minY);
  AppendDouble(&out, grid.maxX);
  AppendDouble(&out, grid.maxY);
  const uint32_t tableOffset = kHeaderSize;
  out.append(static_cast<std::size_t>(nx) * ny * 4, '\0');

  std::vector<uint32_t> areaOffsets;
  for (std::size_t i = 0; i < areas.size(); ++i) {
    areaOffsets.push_back(static_cast<uint32_t>(out.size()));
    AppendText(&out, areas[i].code);
    AppendText(&out, areas[i].nameRow);
    AppendOutline(&out, areas[i], boxes[i], widths[i]);
  }

  AppendCellChains(&out, boxes, areaOffsets, grid, nx, ny, tableOffset);
  *image = std::move(out);
  return 1;
}

int WriteGridFile(const char* path, const std::vector<GridArea>& areas, const GridOptions& options,
                  char* msg) {
  std::string image;
  if (!BuildGridImage(areas, options, &image, msg)) return 0;
  return builder::WriteImageFileWithMessage(path, image, msg) ? 1 : 0;
}

}  // namespace gdbbuild
