#pragma once
// The facility search: facilities of the facility data folder found by
// name (tried in several spellings), administrative name, category and
// distance around a point, one CSV row of 11 fields per facility:
//
//   名称, 名称よみ, 緯度, 経度 (whole thousandths of an arc second), the
//   prefecture split off the head of 行政名 (empty when none), the rest of
//   行政名, 行政JISコード (a whole number, without zero padding), 大分類,
//   中分類, 小分類, the distance from the search point in whole metres
//
// joined by "," without quoting. The distance is 0 when no search point is
// given (latitude and longitude both below 1e-8).
//
// Each spelling of the name runs one pass: candidate selection, ordered by
// distance when a point and a radius are given. A facility is written once
// over all passes; facilities of 大分類 "使用しない" never, those of
// "公衆トイレ" only when latitude, longitude and radius are all given. The
// maximum number of rows applies to each pass: the pass that would write
// one row more sets the overflow flag and ends the search with success.
//
// Spellings: the caller's name; every text made from it by the
// replacement pairs of 施設置換.BIN (a pair applied replaces every
// occurrence; pairs are applied as subsequences in file order); numerals
// as digits; numerals as kanji; when the digit form differed, digits in
// half-width; half-width ASCII; full width. The replacement spellings stop
// at 512 texts or 4,096 bytes of texts (NULs counted) together with the
// caller's name; a conversion that cannot be made (a name of 2,048 bytes
// or more) gives no spelling. A spelling equal to an earlier one runs no
// pass.
//
// Functions answer 1 for success and 0 for failure with one message in the
// caller's buffer (kMessageSize bytes, null for none); rows written before
// a failure stay in the array (the file form deletes its file).

#include <cstdint>
#include <string>

#include "matching/adrs_context.h"
#include "matching/prefecture_names.h"
#include "tool/result_sink.h"

class CRecordList;
class CTableDatabase;
class CWorkMemory;

// Bounds of the replacement spellings.
inline constexpr uint32_t kVariantListEntries = 512;
inline constexpr uint32_t kVariantListPoolBytes = 4096;

// Splits a prefecture name off the head of the text: the 47 names in code
// order, each compared with as many leading bytes as it has; the first
// equal one wins. Its byte length (0 when none), prefecture receives the
// name (kPrefectureTextSize bytes; "" when none), *rest points into the
// text after it (the whole text when none).
int SplitPrefectureName(const char* text, char* prefecture, const char** rest);

// 1 when a live entry of the list holds the text.
int IsInVariantList(const CWorkMemory& list, const char* text);

// Appends to the list, depth first, every text reachable from `text` by
// the pairs from number firstPair on (516-byte pair records): for each
// pair whose search text occurs, the text with every occurrence replaced;
// a new text is appended and expanded from the next pair on. A text that
// would take the list beyond kVariantListEntries entries or
// kVariantListPoolBytes bytes is not added. 0 only when an append fails.
int ExpandReplacementVariants(CWorkMemory* list, const CRecordList& pairs, uint32_t firstPair,
                              const char* text);

// One facility record as the row shows it.
struct FacilityRecord {
  std::string name;
  std::string kana;
  double latitude = 0;  // thousandths of an arc second, as stored
  double longitude = 0;
  double cityCode = 0;
  std::string area;
  std::string major;
  std::string middle;
  std::string minor;
};

// Reads the nine fields of the record from the open database (opened from
// databasePath first when it is closed; it stays open) and its plane
// distance in metres from the point (arc seconds; 0 when no point is
// given). Messages "ファイルオープンエラー!(%s)" and
// "データベースのレコードの取得に失敗しました！[DATABASE:%s][TABLE:%s]".
int ReadFacilityRecord(uint32_t recordId, CTableDatabase* database, const char* databasePath,
                       const char* table, FacilityRecord* record, double latitude, double longitude,
                       double* distance, char* msg);

// The 11-field row of a record.
std::string FormatFacilityRow(const FacilityRecord& record, double distance);

// The search into the context's output. latitude and longitude in
// thousandths of an arc second, radius in metres. 1 on success, also
// with no row; a negative maximum fails with
// "最大検索数が不正です！[SHISETSU_FINDLISTFIRST]".
int FindFacilities(CAdrsContext* output, const char* major, const char* middle, const char* minor,
                   const char* name, const char* area, int32_t latitude, int32_t longitude,
                   double radius, const char* folder, int32_t maximum, int32_t* overflow,
                   char* msg);

// What the facility search takes, in the order of the exports' arguments.
struct FacilityQuery {
  const char* major;
  const char* middle;
  const char* minor;
  const char* name;
  const char* area;
  int32_t latitude;
  int32_t longitude;
  double radius;
  const char* folder;
  int32_t maximum;
  int32_t* overflow;
  char* msg;
};

// FindFacilities into the sink (gazref/search_sink.h): a new result file
// (text, CR LF lines) or the caller's array (rows appended). 1 when the
// output holds at least one row, else 0 (a result file deleted) and, after
// a search without rows, "条件にあてはまる施設はありません！".
int FindFacilities(ResultSink&& out, const FacilityQuery& query);
