#pragma once
// FacilityGridIndex: reader of the facility grid index (範囲.NIB), nested
// uniform grids over the coordinate plane of the facility table, each cell
// either listing the facility records whose point lies in it or divided
// into a finer grid of the same shape. FindFacilitiesInRange collects the
// record identifiers of the facilities inside a rectangle.
//
// File layout (little-endian, absolute positions):
//   header, 80 bytes at 0: "DBINDEXB"; u32 positions of the name records of
//     the table, the x field and the y field; i32 nx, ny (columns and rows
//     of every grid); u32 further value (kept, not used); doubles cell
//     width and height of the top grid; lowest x, lowest y (the top grid's
//     origin); highest x, highest y.
//   name record, 81 bytes: a text ended by a NUL within the 81 bytes.
//   cell table: nx × ny cells of 20 bytes, row by row; the top grid's at 80.
//   cell: u32 first point record (0: none), u32 (not used), u32 point count
//     (tested for 0 only), u32 finer cell table, u32 kind (1: divided).
//   point record, 16 bytes: u32 (not used), u32 next point record (0: end),
//     u32 record identifier in the table database, u32 (not used).
// A divided cell (ix, iy) of a grid with origin (x0, y0) and cells w × h
// has a finer grid with origin (x0 + ix·w, y0 + iy·h) and cells w/nx × h/ny.
//
// Points are not stored: they are read from the records' two coordinate
// fields through the attached table database.
//
// A damaged file is an error, never a hang: the search fails on a finer
// table that it has already visited (a cycle or a shared table), on grids
// nested deeper than kGridMaxDepth, and on a point record met twice (a chain
// that loops). Every operation answers 1 for success and 0 for failure and
// writes no message.

#include <cstdint>

#include "plat/file.h"

class CRecordList;
class CTableDatabase;

inline constexpr uint32_t kGridHeaderSize = 80;
inline constexpr uint32_t kGridNameRecordSize = 81;
inline constexpr uint32_t kGridCellSize = 20;
inline constexpr uint32_t kGridPointSize = 16;
inline constexpr uint32_t kGridCellDivided = 1;
// Deepest nesting of finer grids that a search follows.
inline constexpr int kGridMaxDepth = 32;
// Longest kept name (bytes, without the NUL).
inline constexpr int kGridNameMax = 80;

struct GridCell {
  uint32_t firstPoint = 0;
  uint32_t unused = 0;
  uint32_t pointCount = 0;
  uint32_t finerTable = 0;
  uint32_t kind = 0;
};

struct GridPoint {
  uint32_t unused0 = 0;
  uint32_t next = 0;
  uint32_t recordId = 0;
  uint32_t unused12 = 0;
};

// A rectangle {lowest x, lowest y, highest x, highest y}.
struct GridRect {
  double lowX = 0;
  double lowY = 0;
  double highX = 0;
  double highY = 0;
};

class FacilityGridIndex {
 public:
  FacilityGridIndex();
  ~FacilityGridIndex();
  FacilityGridIndex(const FacilityGridIndex&) = delete;
  FacilityGridIndex& operator=(const FacilityGridIndex&) = delete;

  // Closes first, opens the file for reading (others may read and write)
  // and reads the header: 0, and closed again, when it does not open, is
  // shorter than the header or does not begin with "DBINDEXB". A header
  // with damaged cell sizes opens; ReadHeader refuses it.
  int Open(const char* path);
  void Close();
  int IsOpen() const { return open_; }

  // The 80 header bytes; 1 when the index is open, all were read, the
  // magic is right and the top grid's cell width and height are positive
  // finite numbers (else the file is damaged).
  int ReadHeader(unsigned char header[kGridHeaderSize]);
  // 0 for a null database, else 1. Not owned.
  int AttachDatabase(CTableDatabase* database);
  // Reads the header again and the three name records, and looks the two
  // coordinate fields up in the attached database to keep their types.
  int ReadFieldNames();
  // Calls ReadFieldNames when a name is still empty, then copies the names
  // out (each buffer at least kGridNameMax + 1 bytes; null skips it).
  int GetFieldNames(char* table, char* xField, char* yField);
  // The record's two coordinates as doubles, read by the fields' types
  // (unsigned and signed 8, 16 and 32 bits, double); 0 for any other type,
  // without an attached database or when the read fails.
  int ReadPointCoordinates(uint32_t recordId, double* x, double* y);
  int ReadCell(uint32_t tablePosition, uint32_t cellNumber, GridCell* cell);
  int ReadPointRecord(uint32_t position, GridPoint* point);

  // The header's values, as kept by Open.
  int32_t GetColumns() const { return nx_; }
  int32_t GetRows() const { return ny_; }
  uint32_t GetFurtherValue() const { return further_; }
  double GetCellWidth() const { return cellWidth_; }
  double GetCellHeight() const { return cellHeight_; }
  // {lowest x, lowest y, highest x, highest y}
  GridRect GetArea() const { return area_; }
  int32_t GetXFieldType() const { return xType_; }
  int32_t GetYFieldType() const { return yType_; }
  const char* GetPath() const { return path_; }

 private:
  // ReadHeader without the cell sizes' check (what Open asks for).
  int ReadMagicHeader(unsigned char header[kGridHeaderSize]);
  int ReadNameRecord(uint32_t position, char* name);
  int ReadCoordinate(uint32_t recordId, const char* field, int32_t type, double* value);

  int open_ = 0;
  char path_[512] = {};
  char table_[kGridNameMax + 1] = {};
  char xField_[kGridNameMax + 1] = {};
  char yField_[kGridNameMax + 1] = {};
  int32_t xType_ = 0;
  int32_t yType_ = 0;
  double cellWidth_ = 0;
  double cellHeight_ = 0;
  GridRect area_;
  plat::File file_;
  CTableDatabase* database_ = nullptr;
  int32_t nx_ = 0;
  int32_t ny_ = 0;
  uint32_t further_ = 0;
};

// Appends to list (32-bit elements) the identifier of every facility whose
// point lies in [centreX − halfWidth, centreX + halfWidth] × [centreY −
// halfHeight, centreY + halfHeight], borders included, searching the grid
// of nx × ny cells of cellWidth × cellHeight at origin (originX, originY)
// whose table is at position 80. A rectangle outside the covered area finds
// nothing and answers 1; a reversed rectangle (a lowest value above the
// highest) visits no cell and answers 1. 0 when a read or an append fails,
// nx or ny is below 1, or the file is damaged (see above).
int FindFacilitiesInRange(FacilityGridIndex* index, double centreX, double centreY,
                          double halfWidth, double halfHeight, CRecordList* list, int32_t nx,
                          int32_t ny, double cellWidth, double cellHeight, double originX,
                          double originY);
