#pragma once
// The lines of the address hierarchy listings and of the address tree dump
// (the listers and the dump are CAdrsEngine members, matching/adrs_engine.h).
//
// Listing lines, one per child (coordinates: the row's 緯度 and 経度
// through CAdrsContext::FormatCoordinates, latitude first; status: the
// row's 状態フラグ as a signed number, unparsable text 0):
//   prefecture    都道府県名,かな読み都道府県名,lat,lon,都道府県コード,0
//   municipality  郡名市区町村名,かな読み郡名かな読み市区町村名,lat,lon,行政JISコード,status
//                 (county in brackets, when the county is not empty:
//                 市区町村名（郡名）,かな読み市区町村名（かな読み郡名）,
//                 integer lat,integer lon,行政JISコード,status)
//   oaza          大字通称名,かな読み大字通称名,lat,lon,code,status -- both names
//                 empty when 大字通称名 contains 大字なし; code = グループコード
//                 in group-index mode 1, else the first 8 characters of
//                 地名コード
//   aza/chome     字丁目名,かな読み字丁目名,lat,lon,地名コード,status
//   block         name,,lat,lon,地名コード + 5-character block code,status
//                 (TC_Gaiku: 街区番号, or the block code's number in
//                 full-width digits when it is empty, and 街区番号コード
//                 padded with "0"; a run of rows with one block code gives
//                 its last "A" row, written with status 0, else its first
//                 row below status 3; change history: the block record's
//                 first name and number text; change-code index: the block
//                 entry's name and code text)
//   lot           name,,lat,lon,地名コード + block part + lot part,status
// A change record's number text is FormatCodePart of the number, or empty
// when the number is 0 and its name is empty; its status is its class
// code. With output style 2 ",1" or ",0" follows: the child count is not 0
// (prefecture, municipality), the entry has children and the code is not
// an 8-group code (oaza), HasBlocksOrLotsUnderChome (aza/chome),
// HasLotsForBlock (blocks), never (lots).
//
// Tree dump lines: tag,parent's child base,entry number,parent's child
// count,row -- the prefecture lines with child base 0 and the prefecture
// count of the index -- with the rows (integer coordinates as stored):
//   T_1  都道府県コード,緯度,経度,都道府県名,かな読み都道府県名,0
//   T_2  行政JISコード,緯度,経度,郡名,かな読み郡名,市区町村名,かな読み市区町村名,status
//   T_3  (oaza) and T_4 (aza/chome), both TC_Oaza:
//        グループコード,緯度,経度,大字通称名,かな読み大字通称名,字丁目名,
//        かな読み字丁目名,正規大字通称名,正規字丁目名,status,地名コード,大字代表点フラグ

#include <cstdint>
#include <string>

class CTableDatabase;

// 1 for an oaza code of the 8 group: six characters beginning with "8".
int IsNoChildOazaCode(const char* code);

// The 状態フラグ text as a number: ParseIntInRange over the signed 32-bit
// range without its lowest value; unparsable text gives 0.
int32_t ParseStatusText(const char* text);

// The row text of a dump line from the record of its level's table
// (TC_Todoufuken, TC_Shikutyoson, TC_Oaza, TC_Oaza). 0 with the field
// reader's message when a field cannot be read.
int FormatPrefectureRow(CTableDatabase* database, uint32_t record, std::string* row, char* msg);
int FormatCityRow(CTableDatabase* database, uint32_t record, std::string* row, char* msg);
int FormatOazaRow(CTableDatabase* database, uint32_t record, std::string* row, char* msg);
int FormatChomeRow(CTableDatabase* database, uint32_t record, std::string* row, char* msg);

// "検索結果の取得に失敗しました！[DATABASE:%s][TABLE:%s]": a listing or dump
// line that could not be written, with the source's path (the database,
// or a change file) and the table.
void SetListingWriteError(char* msg, const char* source, const char* table);
