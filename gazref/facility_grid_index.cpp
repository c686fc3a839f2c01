#include "gazref/facility_grid_index.h"

#include <cmath>
#include <cstring>
#include <type_traits>
#include <unordered_set>

#include "common/file_access.h"
#include "common/le_bytes.h"
#include "common/numeric.h"
#include "common/record_array.h"
#include "tabledb/table_database.h"
#include "tabledb/tdb_format.h"

namespace {

constexpr char kGridMagic[8] = {'D', 'B', 'I', 'N', 'D', 'E', 'X', 'B'};

uint32_t U32(const unsigned char* p) { return LoadLeValue<uint32_t>(p); }

bool IsCellSize(double size) { return std::isfinite(size) && size > 0; }

// One search: the rectangle, the output and what has been visited, so that
// a damaged file cannot make the walk go round.
struct GridSearch {
  FacilityGridIndex* index;
  double rect[4];  // lowest x, lowest y, highest x, highest y
  CRecordList* list;
  int32_t nx;
  int32_t ny;
  std::unordered_set<uint32_t> tables;  // cell tables entered
  std::unordered_set<uint32_t> points;  // point records read
};

// The cell index of a coordinate: (value − origin) / size truncated toward
// zero and clamped into 0 .. count − 1. The clamp is made on the double, so
// a huge, infinite or undefined quotient (a cell size of 0 in a damaged
// header) never reaches the integer conversion; NaN counts as 0.
int32_t CellIndex(double value, double origin, double size, int32_t count) {
  double q = std::trunc((value - origin) / size);
  if (!(q >= 0)) q = 0;
  const double last = static_cast<double>(count - 1);
  if (q > last) q = last;
  return static_cast<int32_t>(q);
}

// A field read by one of the database's typed getters, as a double; the
// 8-bit CHAR type counts as signed.
template <typename T>
int ReadAsDouble(CTableDatabase& db,
                 int (CTableDatabase::*get)(uint32_t, const char*, const char*, T*),
                 uint32_t record, const char* table, const char* field, double* value) {
  T v{};
  if (!(db.*get)(record, table, field, &v)) return 0;
  if constexpr (std::is_same_v<T, char>) {
    *value = static_cast<signed char>(v);
  } else {
    *value = static_cast<double>(v);
  }
  return 1;
}

int WalkPoints(GridSearch& s, uint32_t position) {
  while (position != 0) {
    // A point record met twice means the chain loops (or two chains meet).
    if (!s.points.insert(position).second) return 0;
    GridPoint point;
    if (!s.index->ReadPointRecord(position, &point)) return 0;
    double x = 0;
    double y = 0;
    if (!s.index->ReadPointCoordinates(point.recordId, &x, &y)) return 0;
    if (IsPointInRect(x, y, s.rect) && !s.list->Add(&point.recordId)) return 0;
    position = point.next;
  }
  return 1;
}

int SearchGridCells(GridSearch& s, uint32_t table, double w, double h, double x0, double y0,
                    int depth) {
  if (depth > kGridMaxDepth || !s.tables.insert(table).second) return 0;
  const int32_t ix0 = CellIndex(s.rect[0], x0, w, s.nx);
  const int32_t iy0 = CellIndex(s.rect[1], y0, h, s.ny);
  const int32_t ix1 = CellIndex(s.rect[2], x0, w, s.nx);
  const int32_t iy1 = CellIndex(s.rect[3], y0, h, s.ny);
  if (iy0 > iy1) return 1;
  for (int32_t iy = iy0; iy <= iy1; ++iy) {
    for (int32_t ix = ix0; ix <= ix1; ++ix) {
      const uint64_t number =
          static_cast<uint64_t>(iy) * static_cast<uint64_t>(s.nx) + static_cast<uint64_t>(ix);
      if (number > UINT32_MAX) return 0;
      GridCell cell;
      if (!s.index->ReadCell(table, static_cast<uint32_t>(number), &cell)) return 0;
      if (cell.kind == kGridCellDivided) {
        if (!SearchGridCells(s, cell.finerTable, w / s.nx, h / s.ny, x0 + ix * w, y0 + iy * h,
                             depth + 1)) {
          return 0;
        }
      } else if (cell.pointCount != 0) {
        if (!WalkPoints(s, cell.firstPoint)) return 0;
      }
    }
  }
  return 1;
}

}  // namespace

FacilityGridIndex::FacilityGridIndex() = default;

FacilityGridIndex::~FacilityGridIndex() { Close(); }

int FacilityGridIndex::Open(const char* path) {
  Close();
  if (!path || std::strlen(path) >= sizeof path_) return 0;
  if (!OpenFileForRead(&file_, path)) return 0;
  open_ = 1;
  unsigned char header[kGridHeaderSize];
  if (!ReadMagicHeader(header)) {
    Close();
    return 0;
  }
  std::memcpy(path_, path, std::strlen(path) + 1);
  nx_ = LoadLeValue<int32_t>(header + 20);
  ny_ = LoadLeValue<int32_t>(header + 24);
  further_ = U32(header + 28);
  cellWidth_ = LoadLeValue<double>(header + 32);
  cellHeight_ = LoadLeValue<double>(header + 40);
  area_.lowX = LoadLeValue<double>(header + 48);
  area_.lowY = LoadLeValue<double>(header + 56);
  area_.highX = LoadLeValue<double>(header + 64);
  area_.highY = LoadLeValue<double>(header + 72);
  return 1;
}

void FacilityGridIndex::Close() {
  if (file_.IsOpen()) file_.Close();
  open_ = 0;
  path_[0] = '\0';
  table_[0] = '\0';
  xField_[0] = '\0';
  yField_[0] = '\0';
  xType_ = 0;
  yType_ = 0;
  cellWidth_ = 0;
  cellHeight_ = 0;
  area_ = GridRect{};
  database_ = nullptr;
  nx_ = 0;
  ny_ = 0;
  further_ = 0;
}

int FacilityGridIndex::ReadHeader(unsigned char header[kGridHeaderSize]) {
  if (!ReadMagicHeader(header)) return 0;
  // A top grid whose cells have no size (zero, negative, infinite or not a
  // number) divides nothing: the file is damaged.
  const double width = LoadLeValue<double>(header + 32);
  const double height = LoadLeValue<double>(header + 40);
  return IsCellSize(width) && IsCellSize(height) ? 1 : 0;
}

int FacilityGridIndex::ReadMagicHeader(unsigned char header[kGridHeaderSize]) {
  if (!open_ || !header) return 0;
  if (!ReadBytesFromFileAt(&file_, 0, header, kGridHeaderSize)) return 0;
  return std::memcmp(header, kGridMagic, sizeof kGridMagic) == 0 ? 1 : 0;
}

int FacilityGridIndex::AttachDatabase(CTableDatabase* database) {
  database_ = database;
  return database ? 1 : 0;
}

int FacilityGridIndex::ReadNameRecord(uint32_t position, char* name) {
  name[0] = '\0';
  unsigned char bytes[kGridNameRecordSize];
  if (position == 0 || !ReadBytesFromFileAt(&file_, position, bytes, kGridNameRecordSize)) {
    return 0;
  }
  const void* end = std::memchr(bytes, 0, kGridNameRecordSize);
  if (!end) return 0;
  const std::size_t length = static_cast<const unsigned char*>(end) - bytes;
  std::memcpy(name, bytes, length + 1);
  return 1;
}

int FacilityGridIndex::ReadFieldNames() {
  if (!open_ || !database_) return 0;
  unsigned char header[kGridHeaderSize];
  if (!ReadHeader(header)) return 0;
  char table[kGridNameMax + 1];
  char xField[kGridNameMax + 1];
  char yField[kGridNameMax + 1];
  if (!ReadNameRecord(U32(header + 8), table) || !ReadNameRecord(U32(header + 12), xField) ||
      !ReadNameRecord(U32(header + 16), yField)) {
    return 0;
  }
  int32_t xType = 0;
  int32_t yType = 0;
  if (!database_->FindField(table, xField, &xType, nullptr, nullptr, nullptr) ||
      !database_->FindField(table, yField, &yType, nullptr, nullptr, nullptr)) {
    return 0;
  }
  std::memcpy(table_, table, sizeof table_);
  std::memcpy(xField_, xField, sizeof xField_);
  std::memcpy(yField_, yField, sizeof yField_);
  xType_ = xType;
  yType_ = yType;
  return 1;
}

int FacilityGridIndex::GetFieldNames(char* table, char* xField, char* yField) {
  if ((table_[0] == '\0' || xField_[0] == '\0' || yField_[0] == '\0') && !ReadFieldNames()) {
    return 0;
  }
  if (table) std::memcpy(table, table_, std::strlen(table_) + 1);
  if (xField) std::memcpy(xField, xField_, std::strlen(xField_) + 1);
  if (yField) std::memcpy(yField, yField_, std::strlen(yField_) + 1);
  return 1;
}

int FacilityGridIndex::ReadCoordinate(uint32_t recordId, const char* field, int32_t type,
                                      double* value) {
  CTableDatabase& db = *database_;
  switch (type) {
    case kTdbUchar:
      return ReadAsDouble(db, &CTableDatabase::GetUchar, recordId, table_, field, value);
    case kTdbChar:
      return ReadAsDouble(db, &CTableDatabase::GetChar, recordId, table_, field, value);
    case kTdbWord:
      return ReadAsDouble(db, &CTableDatabase::GetWord, recordId, table_, field, value);
    case kTdbShort:
      return ReadAsDouble(db, &CTableDatabase::GetShort, recordId, table_, field, value);
    case kTdbDword:
      return ReadAsDouble(db, &CTableDatabase::GetDword, recordId, table_, field, value);
    case kTdbInt:
      return ReadAsDouble(db, &CTableDatabase::GetInt, recordId, table_, field, value);
    case kTdbDouble:
      return db.GetDouble(recordId, table_, field, value);
    default:
      return 0;
  }
}

int FacilityGridIndex::ReadPointCoordinates(uint32_t recordId, double* x, double* y) {
  if (!database_ || !x || !y) return 0;
  return ReadCoordinate(recordId, xField_, xType_, x) &&
                 ReadCoordinate(recordId, yField_, yType_, y)
             ? 1
             : 0;
}

int FacilityGridIndex::ReadCell(uint32_t tablePosition, uint32_t cellNumber, GridCell* cell) {
  const uint64_t position = uint64_t{tablePosition} + uint64_t{cellNumber} * kGridCellSize;
  unsigned char bytes[kGridCellSize];
  if (!open_ || !cell || position > UINT32_MAX ||
      !ReadBytesFromFileAt(&file_, static_cast<uint32_t>(position), bytes, kGridCellSize)) {
    return 0;
  }
  cell->firstPoint = U32(bytes);
  cell->unused = U32(bytes + 4);
  cell->pointCount = U32(bytes + 8);
  cell->finerTable = U32(bytes + 12);
  cell->kind = U32(bytes + 16);
  return 1;
}

int FacilityGridIndex::ReadPointRecord(uint32_t position, GridPoint* point) {
  unsigned char bytes[kGridPointSize];
  if (!open_ || !point || !ReadBytesFromFileAt(&file_, position, bytes, kGridPointSize)) {
    return 0;
  }
  point->unused0 = U32(bytes);
  point->next = U32(bytes + 4);
  point->recordId = U32(bytes + 8);
  point->unused12 = U32(bytes + 12);
  return 1;
}

int FindFacilitiesInRange(FacilityGridIndex* index, double centreX, double centreY,
                          double halfWidth, double halfHeight, CRecordList* list, int32_t nx,
                          int32_t ny, double cellWidth, double cellHeight, double originX,
                          double originY) {
  if (!index || !list || nx < 1 || ny < 1) return 0;
  GridSearch s{
      index, {centreX - halfWidth, centreY - halfHeight, centreX + halfWidth, centreY + halfHeight},
      list,  nx,
      ny,    {},
      {}};
  // A reversed (or undefined) rectangle holds no point: no cell is read.
  if (!(s.rect[0] <= s.rect[2]) || !(s.rect[1] <= s.rect[3])) return 1;
  return SearchGridCells(s, kGridHeaderSize, cellWidth, cellHeight, originX, originY, 0);
}
