#pragma once
// Keyword search stages: the result row shared by every stage, the filters
// every stage applies to a record, and the municipality and oaza/aza stages.
//
// A stage reads the 4-byte little-endian record positions that a name-index
// search left in the work file, reads each record from the prefecture's
// table database, drops what the filters refuse, and writes one row per
// remaining record through the context's channel.
//
// Row (comma-separated, no quoting): prefecture name, county + municipality,
// their readings, 大字通称名, reading, 字丁目名, reading, block, lot,
// latitude, longitude, code, 状態フラグ; with output style 2 the coordinates
// are formatted by the context and a 14th field holds the postal code.
//
// Stage results: the rows written by the stage (0 when the work file is
// empty), -1 after a failure with the message in args.message
// (kMessageSize bytes). A row whose coordinates cannot be converted ends the
// stage with 0 and "世界測地系変換に失敗しました！"; that row is not counted.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tabledb/tc_access.h"

class CAdrsContext;
class CCharDictionary;
class CRecordList;
class CTableDatabase;
class CWorkMemory;

// What the stages of one keyword search share.
struct KeywordStageArgs {
  CAdrsContext* context = nullptr;
  const char* databasePath = "";  // the prefecture's QVAD%02d.NDB
  CCharDictionary* unification = nullptr;
  CRecordList* replacements = nullptr;
  int32_t* counter = nullptr;  // rows of the whole search
  int32_t limit = 0;           // 0 or less: no limit
  int32_t* interrupted = nullptr;
  char* message = nullptr;
  const char* prefectureRestriction = "";
  const char* municipalityRestriction = "";
  const char* words = "";  // normalised, blank-separated
  int32_t kana = 0;        // 1: compare with the readings
  int32_t restrictionMode = 0;
};

// One result row; the stages fill it, WriteKeywordRow formats it.
struct KeywordRow {
  char prefecture[kFieldValueSize] = "";
  char county[kFieldValueSize] = "";
  char municipality[kFieldValueSize] = "";
  char countyKana[kFieldValueSize] = "";
  char municipalityKana[kFieldValueSize] = "";
  char oaza[kFieldValueSize] = "";
  char oazaKana[kFieldValueSize] = "";
  char chome[kFieldValueSize] = "";
  char chomeKana[kFieldValueSize] = "";
  char block[kFieldValueSize] = "";
  char lot[kFieldValueSize] = "";
  int32_t latitude = 0;
  int32_t longitude = 0;
  char code[kFieldValueSize] = "";
  char status[kFieldValueSize] = "";
  char postalCode[kFieldValueSize] = "";
  // For the library profile: the name level of the row (3 oaza, 4 aza or
  // chome and the rows under it; 0 for a municipality) and the footer kind
  // of its block and lot (住居表示フラグ or the change record's precision
  // digit).
  int32_t level = 0;
  int32_t footerKind = 0;
};

// Counts the row against the limit and writes it. In the library profile
// the placeholder oaza and aza/chome names and the block and lot footers are
// applied first. 1 written; 2 the limit
// was reached (interrupted flag set, nothing written); 0 the coordinates
// could not be converted (not counted, message set); -1 the line could not
// be written ("検索結果の取得に失敗しました！[DATABASE:%s][TABLE:%s]" with
// the table).
int WriteKeywordRow(const KeywordStageArgs& args, KeywordRow* row, const char* table);

// Counts the rows a stage writes: Write gives 1 go on, 0 stop (the limit
// was reached, or a conversion failed), -1 failure; Result gives the
// stage's result from the walk's (negative: failure).
struct KeywordStageTally {
  int written = 0;
  bool conversionFailed = false;
  int Write(const KeywordStageArgs& args, KeywordRow* row, const char* table);
  int Result(int walk) const;
};

// The blank-separated words of a text (double quotes honoured).
std::vector<std::string> SplitKeywordWords(const char* text);

// ---- Stages ----

int WriteMunicipalityHitsFromFile(const char* workFile, const char* oazaFilterFile,
                                  const KeywordStageArgs& args);
// The same on open files; oazaFilter may be null (no filter).
int WriteMunicipalityHits(plat::File* workFile, plat::File* oazaFilter, CTableDatabase* database,
                          const KeywordStageArgs& args);
// representative 1: oaza rows (大字代表点フラグ "1"); 0: the aza/chome rows.
// cityIndexFile: QVAD%02d_CD2.INX.
int WriteOazaHitsFromFile(const char* workFile, int32_t representative, const char* cityIndexFile,
                          const KeywordStageArgs& args);
int WriteOazaHits(plat::File* workFile, int32_t representative, plat::File* cityIndex,
                  CTableDatabase* database, const KeywordStageArgs& args);

// The record walk of the oaza stage, shared by the block and change-history
// stages: the records of the work file whose 大字代表点フラグ matches
// (representative 1: "1", else not "1"), not refused by skipPlace (with
// their 地名コード; may be empty), through the prefecture, municipality,
// status and word filters, each given to visit with its row filled as the
// oaza stage writes it (fields 1-7, coordinates, code, status, postal code
// for representative 0) and its joined normalised oaza and aza names.
// visit answers 1 go on, 0 stop, negative failure. The walk answers 0, or
// the failure.
using AzaVisitor = std::function<int(uint32_t record, KeywordRow* row, const std::string& names)>;
int WalkAzaRecords(plat::File* workFile, int32_t representative, plat::File* cityIndex,
                   CTableDatabase* database, const KeywordStageArgs& args,
                   const std::function<bool(const char*)>& skipPlace, const AzaVisitor& visit);

// ---- Lookups ----

// One line per TC_Shikutyoson record of the 行政JISコード whose 状態フラグ is
// not "3", in index order: 郡名,市区町村名,かな読み郡名,かな読み市区町村名 and
// the two normalised names (their kana forms with kana 1). 1 when a line was
// added; 0 when none was found (kValueNotFoundFormat) or on a failure.
int CollectCityNames(CTableDatabase* database, plat::File* cityIndex, const char* cityCode,
                     CWorkMemory* list, int32_t kana, char* message);
// 1 when TC_Oaza has a record of the 行政JISコード (QVAD%02d_CD5.INX); else
// 0 with kValueNotFoundFormat.
int CityHasOaza(CTableDatabase* database, plat::File* oazaIndex, const char* cityCode,
                char* message);
// The TC_Gaiku block of the 地名コード whose 街区番号 is blockText (an empty
// 街区番号 stands for its 街区番号コード in full-width digits), through
// QVAD%02d_CD4.INX: its coordinates and its 街区番号コード padded to five
// digits (blockCode: kFieldValueSize bytes). 0 with a not-found message.
int LookupBlock(CTableDatabase* database, plat::File* blockIndex, const char* placeCode,
                const char* blockText, int32_t* latitude, int32_t* longitude, char* blockCode,
                char* message);
