#pragma once
// Candidate selection of the facility search: one pass chooses the record
// identifiers of the table 施設検索 through one index (the name index, the
// administrative-name index, the category tree or the grid index around a
// point), filters them by the other conditions and orders them by their
// distance from the search point.
//
// Coordinates here are arc seconds (the table's thousandths of an arc
// second times 0.001), distances metres on the plane rectangular
// coordinates of the zone nearest the search point (Bessel ellipsoid).
// Every function answers 1 for success and 0 for failure with one message
// in the caller's buffer (kMessageSize bytes, null for none).

#include <cstdint>
#include <string>

#include "gazref/plane_rect.h"

class CRecordList;
class CTableDatabase;

// Files of the facility data folder.
inline constexpr char kFacilityDatabaseFile[] = "施設検索.NDB";
inline constexpr char kFacilityNameIndexFile[] = "名称.SIF";
inline constexpr char kFacilityAreaIndexFile[] = "行政.SIF";
inline constexpr char kFacilityCategoryTreeFile[] = "分類.TDB";
inline constexpr char kFacilityGridIndexFile[] = "範囲.NIB";
inline constexpr char kFacilityReplacementFile[] = "施設置換.BIN";
inline constexpr char kFacilityListTreeFile[] = "施設検索.TDB";
inline constexpr char kFacilityTable[] = "施設検索";

// Names of the facility table's fields.
struct FacilityFieldNames {
  const char* major = "大分類";
  const char* middle = "中分類";
  const char* minor = "小分類";
  const char* name = "名称";
  const char* area = "行政名";
  const char* latitude = "緯度";
  const char* longitude = "経度";
};

// The conditions of one pass. Null texts count as empty.
struct FacilityConditions {
  const char* major = "";   // 大分類 text
  const char* middle = "";  // 中分類 text
  const char* minor = "";   // 小分類 text
  const char* name = "";    // facility name (one spelling)
  const char* area = "";    // administrative text
  double latitude = 0;      // search point, arc seconds
  double longitude = 0;
  double radius = 0;  // metres
};

// A coordinate or radius counts as given from this value on.
inline constexpr double kPresentThreshold = 1e-8;

// (latitude or longitude given) and radius given.
bool HasRangeCondition(double latitude, double longitude, double radius);

// The converter in the zone nearest a search point, with the point's plane
// coordinates.
class SearchPointPlane {
 public:
  SearchPointPlane(double latitude, double longitude);
  // Plane distance in metres from the search point to the point.
  double DistanceTo(double latitude, double longitude) const;
  // The point at (easting + dE, northing + dN) in arc seconds.
  void Offset(double dE, double dN, double* latitude, double* longitude) const;

 private:
  PlaneRectConverter converter_;
  double easting_ = 0;
  double northing_ = 0;
};

// Chooses how to find the candidates (a range condition, then a 大分類
// text, then an administrative text, then a name: the last given wins),
// collects them and appends to `candidates` (32-bit record identifiers)
// those that pass the other conditions. No condition fails with
// "検索条件が設定されていません！".
int SelectFacilityCandidates(CRecordList* candidates, const char* folder, const char* table,
                             const FacilityFieldNames& fields, const FacilityConditions& conditions,
                             char* msg);

// The leaf values below the category levels named by the texts (an empty
// 大分類 text takes every category; a 中分類 text counts only after a 大分類
// text, a 小分類 text only after both). A name that is not in the tree gives
// no candidate and success.
int CollectCategoryRecords(CRecordList* candidates, const char* treePath, const char* major,
                           const char* middle, const char* minor, char* msg);

// The records of the grid index within the radius of the point.
int CollectRangeRecords(CRecordList* candidates, const char* indexPath, const char* databasePath,
                        double latitude, double longitude, double radius, char* msg);

// Orders the candidates by ascending distance from the point (equal
// distances keep their order). Nothing is done, and the database is not
// opened, for fewer than two candidates or without a range condition.
int SortCandidatesByDistance(CRecordList* candidates, const char* folder, const char* table,
                             const char* latitudeField, const char* longitudeField, double latitude,
                             double longitude, double radius, char* msg);
