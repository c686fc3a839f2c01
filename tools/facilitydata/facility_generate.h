#pragma once
// Generator of the sample facility data folder from its text description
// (facility_description.h), with the system's own writers and the builders
// in tools/:
//
//   施設検索.NDB   table 施設検索: 名称, 名称よみ, 行政名, 大分類, 中分類, 小分類
//                 (strings); 緯度, 経度, 行政JISコード (doubles); one record
//                 per row, in description order
//   名称.SIF       name index over 名称
//   行政.SIF       name index over 行政名
//   分類.TDB       tree: top node 施設検索 → CDB_TREE_INX → INDEX → 大分類 →
//                 中分類 → 小分類 → one leaf per facility whose value is its
//                 record identifier (record-header position)
//   施設検索.TDB   tree: top node 施設検索 → CDB_TREE_STR → STRING → 大分類 →
//                 中分類 → 小分類 → 行政名 (each value once, byte order)
//   範囲.NIB       grid index over (経度, 緯度): kFacilityGridColumns ×
//                 kFacilityGridRows cells over the facilities' bounding box, a
//                 cell of more than kFacilityGridCellPoints facilities divided
//   施設置換.BIN   the replacement pairs, headerless, in description order
//   表示優先.tbl   the priority lines (CP932, CR LF)
//
// Two runs give the same bytes. Functions return 1 on success and 0 on
// failure with one message in the caller's buffer of kMessageSize bytes.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/facilitydata/facility_description.h"

namespace facilitydata {

inline constexpr const char* kFacilityTable = "施設検索";
inline constexpr int32_t kFacilityGridColumns = 4;
inline constexpr int32_t kFacilityGridRows = 4;
inline constexpr uint32_t kFacilityGridCellPoints = 4;
inline constexpr int kFacilityGridDepth = 6;

// Writes every file into folder (a CP932 path; the folders above it are
// created): aside first, in a hidden folder beside it, then put in place
// whole, so that a failure leaves an earlier folder as it was (or none).
// An existing folder that holds folders, or names that are not this
// builder's output (the message names them), is refused. recordIds (optional)
// receives the record identifier of each description row.
int GenerateFacilityFolder(const FacilityDescription& d, const std::string& folder,
                           std::vector<uint32_t>* recordIds, char* msg);

}  // namespace facilitydata
