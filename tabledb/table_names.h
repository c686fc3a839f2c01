#pragma once
// The tables of an address database (.NDB) and the fields that more than
// one module reads, in one place.

inline constexpr char kTablePrefecture[] = "TC_Todoufuken";
inline constexpr char kTableCity[] = "TC_Shikutyoson";
inline constexpr char kTableOaza[] = "TC_Oaza";  // oaza and aza/chome rows
inline constexpr char kTableBlock[] = "TC_Gaiku";
// The table named when a row of the change files cannot be written.
inline constexpr char kTableLot[] = "TC_Chiban";

inline constexpr char kFieldPrefectureCode[] = "都道府県コード";
inline constexpr char kFieldCityCode[] = "行政JISコード";
inline constexpr char kFieldPlaceCode[] = "地名コード";
inline constexpr char kFieldGroupCode[] = "グループコード";
inline constexpr char kFieldStatus[] = "状態フラグ";
inline constexpr char kFieldLatitude[] = "緯度";
inline constexpr char kFieldLongitude[] = "経度";
inline constexpr char kFieldPrecision[] = "座標精度";
