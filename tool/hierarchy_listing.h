#pragma once
// The hierarchy listings (job kind 1000): the children of a place of the
// address tree, given by its names or by its code, as CSV lines (layouts
// in matching/adrs_listing.h) written through a search context over every
// prefecture's data set of a folder and sorted afterwards.
//
// By names: up to five names separated by blanks (a name in double quotes
// may hold blanks): none lists the prefectures (level 1), a prefecture its
// municipalities (2), then the oaza (3), the aza/chome (4), the blocks (5)
// and the lots under a block (6); six or more names list nothing (level 0).
// Names are normalised first; a text of hiragana, digits and blanks only
// is compared with the readings. A name of 256 bytes or more matches
// nothing.
//
// By code, the trimmed length decides: 0 the prefectures, 2 (prefecture
// code) the municipalities, 5 (municipality code) the oaza, 6 or 7 (group
// code) the aza/chome rows of that group in every prefecture, 11 (place
// code) the blocks, 16 (place code and block code) the lots; any other
// length fails with "コードの長さを確認してください！(%s)". Apart from levels 1
// and 4 only the prefecture of the first two digits (01 to 47) is opened.
//
// Prefectures whose QVAD%02d.NDB or QVAD%02d.TIX is missing or does not
// open are passed over; a QVAD%02d.NDB that opens as a file but cannot be
// read as a database (cut short, damaged) fails the listing with
// "ファイルの読み込みに失敗しました!(%s)" and its path. Levels 4 to 6 also read the change files
// QAD_CH%02d.CDB/.CIX/.CDI (while the dataset uses them). The maximum
// number of lines counts over all prefectures (negative: no limit, 0: no
// line); when a line beyond it would follow, the interrupted flag is set
// and the listing stops.
//
// Lots: with the lot-listing switch 1 the integer FLFC of section AdrsLib
// in adrslib.ini (beside the program, default 0) decides: 0 lists a lot
// found in both the change history and the change-code index once, any
// other value once from each source. Blocks are always listed once.

#include <cstdint>

#include "matching/adrs_context.h"
#include "tool/search_entries.h"

class CCharDictionary;
class CRecordList;

// The dataset name of the entries that take none.
inline constexpr char kDefaultDatasetName[] = "VRG_BASIC";

// How the reference library's listings differ from kort's (the defaults).
struct ListingVariant {
  // Handed to every engine of the municipality level: a county is written
  // in brackets after the municipality (CAdrsEngine::SetCountyInBrackets).
  int32_t countyInBrackets = 0;
  // The lot level asks adrslib.ini's FLFC (else it counts as 0).
  bool readFlfc = true;
  // The lot level always lists each lot once, whatever the switch and FLFC.
  bool lotRegistryAlways = false;
};

// ---- Dispatchers ----
//
// The lines written over all prefectures, 0 for none, -1 after a failure
// (message in message). dataFolder ends in "\"; *level receives the
// listing level. The interrupted flag must not be null.
int32_t ListByNames(const char* text, const char* dataFolder, CAdrsContext* context,
                    CCharDictionary* dictionary, CRecordList* replacements, int32_t maxLines,
                    int32_t* interrupted, int32_t* level, char* message, int32_t lotListing,
                    const ListingVariant& variant = ListingVariant());
int32_t ListByCode(const char* code, const char* dataFolder, CAdrsContext* context,
                   int32_t maxLines, int32_t* interrupted, int32_t* level, char* message,
                   int32_t lotListing, const ListingVariant& variant = ListingVariant());

// The field the lines of a level are sorted by: 2 (the reading) for levels
// 1 to 4, 1 (the number) for 5 and 6.
int32_t ListingSortField(int32_t level);

// ---- Cores, on a context whose channel and options are set ----
//
// A null interrupted flag gives "パラメータに無効な値が渡されました！(%s)" with
// 検索中断フラグ; else it is set to 0. The names core loads 文字統一.BIN and
// 文字置換.BIN from the data folder. No line at all gives
// "対象データがありません！[%s]" with the text as given. 1 or 0.
int ListByNamesCore(CAdrsContext* context, const char* text, const char* dataFolder,
                    int32_t maxLines, int32_t* interrupted, char* message, const char* datasetName,
                    int32_t lotListing, int32_t* level);
int ListByCodeCore(CAdrsContext* context, const char* code, const char* dataFolder,
                   int32_t maxLines, int32_t* interrupted, char* message, const char* datasetName,
                   int32_t lotListing, int32_t* level);

// ---- Entries ----
//
// Each creates its context on its output (tool/result_sink.h), runs
// the core and sorts the output by ListingSortField (SortCsvFile,
// SortCsvArray, SortCsvList); the sorter's failure fails the entry. A
// file entry that answers 0 leaves no result file. The validating entries
// first check 検索文字列区分 (1 kanji, 2 readings; names only), 出力測地系
// (1 Tokyo datum, 2 JGD2000) and 出力座標書式 (1..8), in this order, naming
// the first refused in "パラメータに無効な値が渡されました！(%s)", and write
// converted coordinates with the children column (data folder +
// TKY2JGD.PAR for JGD2000); the others keep the context's defaults.
// ListByNamesToFile and ListByCodeToFile are declared in
// tool/search_entries.h.

int ListByNamesToArray(CStringArray* array, const char* text, const char* dataFolder,
                       int32_t maxLines, int32_t* interrupted, char* message,
                       const char* datasetName, int32_t searchTextKind, int32_t datum,
                       int32_t coordinateFormat, int32_t lotListing);
int ListByNamesToBuffer(char* buffer, int32_t bufferSize, const char* text, const char* dataFolder,
                        int32_t maxLines, int32_t* interrupted, char* message,
                        const char* datasetName, int32_t searchTextKind, int32_t datum,
                        int32_t coordinateFormat, int32_t lotListing);
int ListByNamesToFilePlain(const char* resultFile, const char* text, const char* dataFolder,
                           int32_t maxLines, int32_t* interrupted, char* message,
                           const char* datasetName, int32_t lotListing);
int ListByNamesToArrayPlain(CStringArray* array, const char* text, const char* dataFolder,
                            int32_t maxLines, int32_t* interrupted, char* message,
                            const char* datasetName, int32_t lotListing);
int ListByNamesToBufferPlain(char* buffer, int32_t bufferSize, const char* text,
                             const char* dataFolder, int32_t maxLines, int32_t* interrupted,
                             char* message, const char* datasetName, int32_t lotListing);

int ListByCodeToArray(CStringArray* array, const char* code, const char* dataFolder,
                      int32_t maxLines, int32_t* interrupted, char* message,
                      const char* datasetName, int32_t datum, int32_t coordinateFormat,
                      int32_t lotListing);
int ListByCodeToBuffer(char* buffer, int32_t bufferSize, const char* code, const char* dataFolder,
                       int32_t maxLines, int32_t* interrupted, char* message,
                       const char* datasetName, int32_t datum, int32_t coordinateFormat,
                       int32_t lotListing);
int ListByCodeToFilePlain(const char* resultFile, const char* code, const char* dataFolder,
                          int32_t maxLines, int32_t* interrupted, char* message,
                          const char* datasetName, int32_t lotListing);
int ListByCodeToArrayPlain(CStringArray* array, const char* code, const char* dataFolder,
                           int32_t maxLines, int32_t* interrupted, char* message,
                           const char* datasetName, int32_t lotListing);
int ListByCodeToBufferPlain(char* buffer, int32_t bufferSize, const char* code,
                            const char* dataFolder, int32_t maxLines, int32_t* interrupted,
                            char* message, const char* datasetName, int32_t lotListing);

// ---- Short forms: kDefaultDatasetName, with the lot-listing switch or with it 1 ----

int ListByNamesToFileDefault(const char* resultFile, const char* text, const char* dataFolder,
                             int32_t maxLines, int32_t* interrupted, char* message,
                             int32_t searchTextKind, int32_t datum, int32_t coordinateFormat,
                             int32_t lotListing = 1);
int ListByNamesToArrayDefault(CStringArray* array, const char* text, const char* dataFolder,
                              int32_t maxLines, int32_t* interrupted, char* message,
                              int32_t searchTextKind, int32_t datum, int32_t coordinateFormat,
                              int32_t lotListing = 1);
int ListByNamesToBufferDefault(char* buffer, int32_t bufferSize, const char* text,
                               const char* dataFolder, int32_t maxLines, int32_t* interrupted,
                               char* message, int32_t searchTextKind, int32_t datum,
                               int32_t coordinateFormat, int32_t lotListing = 1);
int ListByNamesToFilePlainDefault(const char* resultFile, const char* text, const char* dataFolder,
                                  int32_t maxLines, int32_t* interrupted, char* message,
                                  int32_t lotListing = 1);
int ListByNamesToArrayPlainDefault(CStringArray* array, const char* text, const char* dataFolder,
                                   int32_t maxLines, int32_t* interrupted, char* message,
                                   int32_t lotListing = 1);
int ListByNamesToBufferPlainDefault(char* buffer, int32_t bufferSize, const char* text,
                                    const char* dataFolder, int32_t maxLines, int32_t* interrupted,
                                    char* message, int32_t lotListing = 1);

int ListByCodeToFileDefault(const char* resultFile, const char* code, const char* dataFolder,
                            int32_t maxLines, int32_t* interrupted, char* message, int32_t datum,
                            int32_t coordinateFormat, int32_t lotListing = 1);
int ListByCodeToArrayDefault(CStringArray* array, const char* code, const char* dataFolder,
                             int32_t maxLines, int32_t* interrupted, char* message, int32_t datum,
                             int32_t coordinateFormat, int32_t lotListing = 1);
int ListByCodeToBufferDefault(char* buffer, int32_t bufferSize, const char* code,
                              const char* dataFolder, int32_t maxLines, int32_t* interrupted,
                              char* message, int32_t datum, int32_t coordinateFormat,
                              int32_t lotListing = 1);
int ListByCodeToFilePlainDefault(const char* resultFile, const char* code, const char* dataFolder,
                                 int32_t maxLines, int32_t* interrupted, char* message,
                                 int32_t lotListing = 1);
int ListByCodeToArrayPlainDefault(CStringArray* array, const char* code, const char* dataFolder,
                                  int32_t maxLines, int32_t* interrupted, char* message,
                                  int32_t lotListing = 1);
int ListByCodeToBufferPlainDefault(char* buffer, int32_t bufferSize, const char* code,
                                   const char* dataFolder, int32_t maxLines, int32_t* interrupted,
                                   char* message, int32_t lotListing = 1);
