#pragma once
// The reference library's address searches: the hierarchy listings by names
// and by code, the keyword search and the address analysis, each writing a
// result file or filling a string array. They run the same drivers as kort
// on a search context switched to the library's profile: the four footer
// texts (block number, residence number, parent lot, child number), the
// aza-mode switch set to the default aza mode, and the change-history
// switch the caller fixes (the ZEB exports pass 0). Rows carry integer
// coordinates as stored. Every entry first probes the data folder's index
// kind.
//
// Texts: the search text (or code) and the data folder must stay below
// 512 bytes; longer ones are refused with "パラメータに無効な値が渡されました！
// (%s)". The message buffer may be null.
//
// Listings: 1 rows written and sorted (by the reading for levels 1 to 4, by
// the name for blocks and lots); 0 failure or no rows ("対象データがありませ
// ん！[%s]"; the file form then leaves an empty result file). With deleteGun
// 1 a county municipality is written "町名（郡名）". With skipAzaNasi nonzero
// an oaza or aza/chome listing whose only row is the placeholder is run
// again one level below it.
//
// Keyword search: 1 rows written, 0 failure or no rows. When nothing was
// found and the text holds 大字, every 大字 is removed from the caller's
// text (in place) and the search runs once more.
//
// Analysis: -1 failure, 0 nothing found, 1 found (one 14-field row), 2 the
// municipality is not determined ("市区町村が特定できません！[%s]"). While
// nothing is found the caller's text loses every 大字, then every 字 (in
// place), and the analysis runs again. analyzeClass bounds the deepest
// level matched (1 oaza, 2 aza/chome, 3 block, 4 lot). The file form
// leaves no result file unless it answers 1.

#include <cstdint>

#include "matching/adrs_context.h"
#include "tool/result_sink.h"

// The four footers in the order Gaiku, Zyukyo, Oyaban, Koban.
struct AddressFooters {
  const char* gaiku = nullptr;
  const char* zyukyo = nullptr;
  const char* oyaban = nullptr;
  const char* koban = nullptr;
};

// What a hierarchy listing takes: the search text, or the code with
// byCode (whose placeholder step takes the row's code instead of going one
// name deeper).
struct AddressListingQuery {
  bool byCode = false;
  const char* text = nullptr;
  const char* dataFolder = nullptr;
  int32_t maxRows = 0;
  int32_t* interrupted = nullptr;
  AddressFooters footers;
  int32_t defaultAzaMode = 0;
  int32_t deleteGun = 0;
  int32_t skipAzaNasi = 0;
  int32_t useChangeHistory = 0;
  char* message = nullptr;
};

// What a keyword search takes.
struct AddressKeywordQuery {
  int32_t searchType = 0;
  char* text = nullptr;
  const char* dataFolder = nullptr;
  int32_t maxRows = 0;
  int32_t* interrupted = nullptr;
  AddressFooters footers;
  int32_t defaultAzaMode = 0;
  char* message = nullptr;
  const char* prefectureRestriction = nullptr;
  const char* municipalityRestriction = nullptr;
  int32_t restrictionMode = 0;
  int32_t useChangeHistory = 0;
};

// What an address analysis takes.
struct AddressAnalysisQuery {
  char* text = nullptr;
  const char* dataFolder = nullptr;
  int32_t countyOptional = 0;
  AddressFooters footers;
  int32_t defaultAzaMode = 0;
  int32_t analyzeClass = 0;
  char* message = nullptr;
};

// Each writes its rows into the sink: a result file (FileSink) or the
// caller's array (ArraySink). The listings and the keyword search answer 1
// or 0, the analysis -1, 0, 1 or 2 (see above).
int ListAddressesGz(ResultSink&& out, const AddressListingQuery& query);
int KeywordSearchGz(ResultSink&& out, const AddressKeywordQuery& query);
int AnalyzeAddressGz(ResultSink&& out, const AddressAnalysisQuery& query);
