#include "gazref/facility_candidates.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/field_split.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/numeric.h"
#include "common/record_array.h"
#include "common/sjis_text.h"
#include "gazref/facility_grid_index.h"
#include "gazref/facility_tree.h"
#include "gazref/search_sink.h"
#include "matching/match_driver.h"
#include "tabledb/name_index.h"
#include "tabledb/table_database.h"
#include "tabledb/tag_db.h"

namespace {

constexpr char kSelectLabel[] = "SHISETSU_FINDFIRST";
constexpr char kCategoryLabel[] = "SHISETSU_BUNRUI";
constexpr char kRangeLabel[] = "SHISETSU_RANGE";

constexpr const char* kMemoryMessage = kMsgMemory;
constexpr char kStoreMessage[] = "検索結果の登録に失敗しました！[%s]";
constexpr char kWorkStoreMessage[] = "作業用メモリへの登録に失敗しました！[%s]";
constexpr const char* kOpenMessage = kMsgFileOpen;
constexpr const char* kReadMessage = kMsgFileRead;
constexpr char kDatabaseOpenMessage[] = "データベースのオープンに失敗しました！[DATABASE:%s]";
constexpr char kValueMessage[] =
    "データベースの値の取得に失敗しました！[DATABASE:%s][TABLE:%s][FIELD:%s]";
constexpr char kNoNodeMessage[] = "インデックスのレコードが見つかりません！[INDEX:%s][RECORD:%s]";

constexpr uint32_t kCandidateCapacity = 10000;
constexpr uint32_t kRangeWorkCapacity = 32768;
constexpr uint32_t kListGrowth = 128;
// Longest text of a facility field that the filters read, NUL included.
constexpr std::size_t kFieldTextSize = 1024;

int CreateIdList(CRecordList* list, uint32_t capacity) {
  return list->Create(capacity, sizeof(uint32_t), kListGrowth);
}

// The rectangle {lowest longitude, lowest latitude, highest longitude,
// highest latitude} around the circle: the point itself, widened by the
// four corners of the square of half side r on the plane.
void BoundingRect(const SearchPointPlane& plane, double latitude, double longitude, double r,
                  double rect[4]) {
  rect[0] = rect[2] = longitude;
  rect[1] = rect[3] = latitude;
  const double corners[4][2] = {{-r, -r}, {r, -r}, {r, r}, {-r, r}};
  for (const auto& c : corners) {
    double lat = 0;
    double lon = 0;
    plane.Offset(c[0], c[1], &lat, &lon);
    rect[0] = std::min(rect[0], lon);
    rect[1] = std::min(rect[1], lat);
    rect[2] = std::max(rect[2], lon);
    rect[3] = std::max(rect[3], lat);
  }
}

// Reads of one record's fields for the filters, each field at most once.
class RecordReader {
 public:
  RecordReader(CTableDatabase* db, const char* databasePath, const char* table, char* msg)
      : db_(db), databasePath_(databasePath), table_(table), msg_(msg) {}

  int Text(uint32_t record, const char* field, char* out) {
    if (db_->GetString(record, table_, field, out, kFieldTextSize)) return 1;
    return Fail(field);
  }
  int Point(uint32_t record, const FacilityFieldNames& fields, double* latitude,
            double* longitude) {
    if (!db_->GetDouble(record, table_, fields.latitude, latitude)) return Fail(fields.latitude);
    if (!db_->GetDouble(record, table_, fields.longitude, longitude)) return Fail(fields.longitude);
    *latitude *= 0.001;
    *longitude *= 0.001;
    return 1;
  }

 private:
  int Fail(const char* field) {
    SetMessage(msg_, kValueMessage, databasePath_, table_, field);
    return 0;
  }
  CTableDatabase* db_;
  const char* databasePath_;
  const char* table_;
  char* msg_;
};

// Every blank-separated word of the text occurs in the area name. 0 with the
// memory message when the text cannot be split.
int AllWordsOccur(const char* text, const char* areaName, int* all, char* msg) {
  auto words = std::make_unique<CBlankFieldList>();
  if (!words->Split(text)) {
    SetMessage(msg, kMemoryMessage, kSelectLabel);
    return 0;
  }
  std::vector<char> word(std::strlen(text) + 1);
  *all = 1;
  for (int n = 1; n <= words->GetCount(); ++n) {
    words->GetField(word.data(), n);
    if (FindSubstring(word.data(), areaName) == 0) {
      *all = 0;
      break;
    }
  }
  return 1;
}

// The text with every blank (0x20) removed: the administrative prefix test
// compares "東京都 千代田区" as "東京都千代田区".
std::string WithoutBlanks(const char* text) {
  std::string out;
  for (const char* p = text; *p; ++p) {
    if (*p != ' ') out += *p;
  }
  return out;
}

// Appends the value of every leaf `depth` levels below the node.
int CollectLeafValues(CRecordList* list, CTagDb* tree, const TagNode& record, int depth,
                      const char* treePath, char* msg) {
  if (depth < 1) {
    if (!list->Add(&record.value)) {
      SetMessage(msg, kStoreMessage, kCategoryLabel);
      return 0;
    }
    return 1;
  }
  TreeChain chain(tree, record.firstChild);
  uint32_t child = 0;
  std::string name;
  TagNode childRecord;
  while (chain.Next(&child, &name, &childRecord)) {
    if (!CollectLeafValues(list, tree, childRecord, depth - 1, treePath, msg)) return 0;
  }
  if (chain.Failed()) {
    SetMessage(msg, kReadMessage, treePath);
    return 0;
  }
  return 1;
}

int SelectionMode(const FacilityConditions& c) {
  int mode = HasRangeCondition(c.latitude, c.longitude, c.radius) ? 4 : 0;
  if (*TextOrEmpty(c.major)) mode = 3;
  if (*TextOrEmpty(c.area)) mode = 2;
  if (*TextOrEmpty(c.name)) mode = 1;
  return mode;
}

}  // namespace

bool HasRangeCondition(double latitude, double longitude, double radius) {
  return (latitude >= kPresentThreshold || longitude >= kPresentThreshold) &&
         radius >= kPresentThreshold;
}

SearchPointPlane::SearchPointPlane(double latitude, double longitude) {
  converter_.SelectZone(latitude / 3600.0, longitude / 3600.0);
  converter_.ToPlane(latitude, longitude, &easting_, &northing_);
}

double SearchPointPlane::DistanceTo(double latitude, double longitude) const {
  double e = 0;
  double n = 0;
  converter_.ToPlane(latitude, longitude, &e, &n);
  return CalcDistance(easting_, northing_, e, n);
}

void SearchPointPlane::Offset(double dE, double dN, double* latitude, double* longitude) const {
  converter_.ToLatLon(easting_ + dE, northing_ + dN, latitude, longitude);
}

int CollectCategoryRecords(CRecordList* candidates, const char* treePath, const char* major,
                           const char* middle, const char* minor, char* msg) {
  CTagDb tree;
  if (!tree.Open(treePath)) {
    SetMessage(msg, kOpenMessage, treePath);
    return 0;
  }
  TagNode level;
  int found = 0;
  if (!FindTreeGroup(&tree, "INDEX", &level, &found)) {
    SetMessage(msg, kReadMessage, treePath);
    return 0;
  }
  if (!found) {
    SetMessage(msg, kNoNodeMessage, treePath, "INDEX");
    return 0;
  }
  // The named levels, each only after the one above it was named.
  int depth = 3;
  const char* names[3] = {TextOrEmpty(major), TextOrEmpty(middle), TextOrEmpty(minor)};
  for (const char* name : names) {
    if (*name == '\0') break;
    --depth;
    if (!FindTreeChild(&tree, level.firstChild, name, &level, &found)) {
      SetMessage(msg, kReadMessage, treePath);
      return 0;
    }
    if (!found) return 1;
  }
  TreeChain chain(&tree, level.firstChild);
  uint32_t node = 0;
  std::string name;
  TagNode record;
  while (chain.Next(&node, &name, &record)) {
    if (!CollectLeafValues(candidates, &tree, record, depth, treePath, msg)) return 0;
  }
  if (chain.Failed()) {
    SetMessage(msg, kReadMessage, treePath);
    return 0;
  }
  return 1;
}

int CollectRangeRecords(CRecordList* candidates, const char* indexPath, const char* databasePath,
                        double latitude, double longitude, double radius, char* msg) {
  CTableDatabase db;
  if (!db.Open(databasePath)) {
    SetMessage(msg, kOpenMessage, databasePath);
    return 0;
  }
  FacilityGridIndex index;
  if (!index.Open(indexPath)) {
    SetMessage(msg, kOpenMessage, indexPath);
    return 0;
  }
  CRecordList work;
  if (!CreateIdList(&work, kRangeWorkCapacity)) {
    SetMessage(msg, kMemoryMessage, kRangeLabel);
    return 0;
  }
  unsigned char header[kGridHeaderSize];
  if (!index.AttachDatabase(&db) || !index.ReadHeader(header) || !index.ReadFieldNames()) {
    SetMessage(msg, kReadMessage, indexPath);
    return 0;
  }
  // Half extents from the south and west corners of the square around the
  // circle.
  const SearchPointPlane plane(latitude, longitude);
  double lowLat = latitude;
  double lowLon = longitude;
  double lat = 0;
  double lon = 0;
  plane.Offset(-radius, -radius, &lat, &lon);
  lowLat = std::min(lowLat, lat);
  lowLon = std::min(lowLon, lon);
  plane.Offset(radius, -radius, &lat, &lon);
  lowLat = std::min(lowLat, lat);
  plane.Offset(-radius, radius, &lat, &lon);
  lowLon = std::min(lowLon, lon);
  const GridRect area = index.GetArea();
  if (!FindFacilitiesInRange(&index, longitude * 1000, latitude * 1000, (longitude - lowLon) * 1000,
                             (latitude - lowLat) * 1000, &work, index.GetColumns(), index.GetRows(),
                             index.GetCellWidth(), index.GetCellHeight(), area.lowX, area.lowY)) {
    SetMessage(msg, kWorkStoreMessage, kRangeLabel);
    return 0;
  }
  char table[kGridNameMax + 1] = "";
  char xField[kGridNameMax + 1] = "";
  index.GetFieldNames(table, xField, nullptr);
  for (uint32_t n = 1; n <= work.GetCount(); ++n) {
    uint32_t id = 0;
    double x = 0;
    double y = 0;
    work.GetDword(n, &id);
    if (!index.ReadPointCoordinates(id, &x, &y)) {
      SetMessage(msg, kValueMessage, databasePath, table, xField);
      return 0;
    }
    // x is the longitude, y the latitude, in thousandths of an arc second.
    if (plane.DistanceTo(y * 0.001, x * 0.001) > radius) continue;
    if (!candidates->Add(&id)) {
      SetMessage(msg, kWorkStoreMessage, kRangeLabel);
      return 0;
    }
  }
  return 1;
}

namespace {

// The records that the selection mode's own index gives: the name or area
// index (modes 1 and 2), the category tree (3), the grid (4).
int CollectRawCandidates(CRecordList* raw, int mode, const std::string& base,
                         const std::string& databasePath, const FacilityConditions& c, char* msg) {
  switch (mode) {
    case 1:
      return SearchNameIndexToList(raw, (base + kFacilityNameIndexFile).c_str(),
                                   databasePath.c_str(), TextOrEmpty(c.name),
                                   kNameIndexCharacterPair, kNameIndexAllWords, msg);
    case 2:
      return SearchNameIndexToList(raw, (base + kFacilityAreaIndexFile).c_str(),
                                   databasePath.c_str(), TextOrEmpty(c.area),
                                   kNameIndexCharacterPair, kNameIndexAllWords, msg);
    case 3:
      return CollectCategoryRecords(raw, (base + kFacilityCategoryTreeFile).c_str(),
                                    TextOrEmpty(c.major), TextOrEmpty(c.middle),
                                    TextOrEmpty(c.minor), msg);
    default:
      return CollectRangeRecords(raw, (base + kFacilityGridIndexFile).c_str(), databasePath.c_str(),
                                 c.latitude, c.longitude, c.radius, msg);
  }
}

}  // namespace

int SelectFacilityCandidates(CRecordList* candidates, const char* folder, const char* table,
                             const FacilityFieldNames& fields, const FacilityConditions& c,
                             char* msg) {
  const std::string base = FolderWithBackslash(folder);
  const std::string databasePath = base + kFacilityDatabaseFile;
  const int mode = SelectionMode(c);
  if (mode == 0) {
    SetMessage(msg, "検索条件が設定されていません！");
    return 0;
  }
  CRecordList raw;
  if (!CreateIdList(&raw, kCandidateCapacity)) {
    SetMessage(msg, kMemoryMessage, kSelectLabel);
    return 0;
  }
  if (!CollectRawCandidates(&raw, mode, base, databasePath, c, msg)) return 0;

  CTableDatabase db;
  if (!db.Open(databasePath.c_str())) {
    SetMessage(msg, kDatabaseOpenMessage, databasePath.c_str());
    return 0;
  }
  if (raw.GetCount() == 0) return 1;
  const bool range = HasRangeCondition(c.latitude, c.longitude, c.radius);
  std::unique_ptr<SearchPointPlane> plane;
  double rect[4] = {};
  if (range && mode != 4) {
    plane = std::make_unique<SearchPointPlane>(c.latitude, c.longitude);
    BoundingRect(*plane, c.latitude, c.longitude, c.radius, rect);
  }
  const std::string areaPrefix = WithoutBlanks(TextOrEmpty(c.area));
  const bool hasArea = *TextOrEmpty(c.area) != '\0';
  const char* tests[3][2] = {{TextOrEmpty(c.major), fields.major},
                             {TextOrEmpty(c.middle), fields.middle},
                             {TextOrEmpty(c.minor), fields.minor}};
  RecordReader reader(&db, databasePath.c_str(), table, msg);
  std::vector<char> value(kFieldTextSize);
  for (uint32_t n = 1; n <= raw.GetCount(); ++n) {
    uint32_t id = 0;
    raw.GetDword(n, &id);
    if (hasArea) {
      if (!reader.Text(id, fields.area, value.data())) return 0;
      if (mode == 1 && !range) {
        int all = 0;
        if (!AllWordsOccur(TextOrEmpty(c.area), value.data(), &all, msg)) return 0;
        if (!all) continue;
      }
      if (FindSubstring(areaPrefix.c_str(), value.data()) != 1) continue;
    }
    if (mode == 1 || mode == 2) {
      bool equal = true;
      for (const auto& test : tests) {
        if (*test[0] == '\0') continue;
        if (!reader.Text(id, test[1], value.data())) return 0;
        if (std::strcmp(test[0], value.data()) != 0) {
          equal = false;
          break;
        }
      }
      if (!equal) continue;
    }
    if (plane) {
      double lat = 0;
      double lon = 0;
      if (!reader.Point(id, fields, &lat, &lon)) return 0;
      if (!IsPointInRect(lon, lat, rect) || plane->DistanceTo(lat, lon) > c.radius) continue;
    }
    if (!candidates->Add(&id)) {
      SetMessage(msg, kStoreMessage, kSelectLabel);
      return 0;
    }
  }
  return 1;
}

int SortCandidatesByDistance(CRecordList* candidates, const char* folder, const char* table,
                             const char* latitudeField, const char* longitudeField, double latitude,
                             double longitude, double radius, char* msg) {
  if (candidates->GetCount() < 2 || !HasRangeCondition(latitude, longitude, radius)) return 1;
  std::vector<std::pair<double, uint32_t>> elements;
  elements.reserve(candidates->GetCount());
  const SearchPointPlane plane(latitude, longitude);
  const std::string databasePath = FolderWithBackslash(folder) + kFacilityDatabaseFile;
  CTableDatabase db;
  if (!db.Open(databasePath.c_str())) {
    SetMessage(msg, kDatabaseOpenMessage, databasePath.c_str());
    return 0;
  }
  FacilityFieldNames fields;
  fields.latitude = latitudeField;
  fields.longitude = longitudeField;
  RecordReader reader(&db, databasePath.c_str(), table, msg);
  for (uint32_t n = 1; n <= candidates->GetCount(); ++n) {
    uint32_t id = 0;
    candidates->GetDword(n, &id);
    double lat = 0;
    double lon = 0;
    if (!reader.Point(id, fields, &lat, &lon)) return 0;
    elements.emplace_back(plane.DistanceTo(lat, lon), id);
  }
  std::stable_sort(elements.begin(), elements.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (uint32_t n = 1; n <= candidates->GetCount(); ++n) {
    candidates->SetDword(n, elements[n - 1].second);
  }
  return 1;
}
