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

// The four footers in the order Gaiku, Zyukyo, Oyaban, Koban.
struct AddressFooters {
  const char* gaiku = nullptr;
  const char* zyukyo = nullptr;
  const char* oyaban = nullptr;
  const char* koban = nullptr;
};

int ListByNamesToFileGz(const char* resultFile, const char* searchText, const char* dataFolder,
                        int32_t maxRows, int32_t* interrupted, const AddressFooters& footers,
                        int32_t defaultAzaMode, int32_t deleteGun, int32_t skipAzaNasi,
                        int32_t useChangeHistory, char* message);
int ListByNamesToArrayGz(CStringArray* array, const char* searchText, const char* dataFolder,
                         int32_t maxRows, int32_t* interrupted, const AddressFooters& footers,
                         int32_t defaultAzaMode, int32_t deleteGun, int32_t skipAzaNasi,
                         int32_t useChangeHistory, char* message);
int ListByCodeToFileGz(const char* resultFile, const char* code, const char* dataFolder,
                       int32_t maxRows, int32_t* interrupted, const AddressFooters& footers,
                       int32_t defaultAzaMode, int32_t deleteGun, int32_t skipAzaNasi,
                       int32_t useChangeHistory, char* message);
int ListByCodeToArrayGz(CStringArray* array, const char* code, const char* dataFolder,
                        int32_t maxRows, int32_t* interrupted, const AddressFooters& footers,
                        int32_t defaultAzaMode, int32_t deleteGun, int32_t skipAzaNasi,
                        int32_t useChangeHistory, char* message);

int KeywordSearchToFileGz(const char* resultFile, int32_t searchType, char* searchText,
                          const char* dataFolder, int32_t maxRows, int32_t* interrupted,
                          const AddressFooters& footers, int32_t defaultAzaMode, char* message,
                          const char* prefectureRestriction, const char* municipalityRestriction,
                          int32_t restrictionMode, int32_t useChangeHistory);
int KeywordSearchToArrayGz(CStringArray* array, int32_t searchType, char* searchText,
                           const char* dataFolder, int32_t maxRows, int32_t* interrupted,
                           const AddressFooters& footers, int32_t defaultAzaMode, char* message,
                           const char* prefectureRestriction, const char* municipalityRestriction,
                           int32_t restrictionMode, int32_t useChangeHistory);

int AnalyzeAddressToFileGz(const char* resultFile, char* addressText, int32_t matchFlags,
                           const char* dataFolder, int32_t countyOptional,
                           const AddressFooters& footers, int32_t defaultAzaMode,
                           int32_t analyzeClass, char* message);
int AnalyzeAddressToArrayGz(CStringArray* array, char* addressText, int32_t matchFlags,
                            const char* dataFolder, int32_t countyOptional,
                            const AddressFooters& footers, int32_t defaultAzaMode,
                            int32_t analyzeClass, char* message);
