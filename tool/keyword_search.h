#pragma once
// Keyword search (kort job kind 1): every municipality, oaza or aza/chome
// whose names contain all the words of a search text, in the 47
// prefectures, one result row each (tool/keyword_rows.h).
//
// Search types: 0 municipalities; 1 municipalities without oaza rows, then
// oaza (大字代表点フラグ "1"); 2 municipalities without oaza rows, then aza
// and chome rows; 3 municipalities without oaza rows, then the blocks of the
// aza/chome rows (and those chosen by a number in the text); 4 the same with
// the numbered addresses of the change history (tool/keyword_numbers.h). Any
// other type gives no rows.
//
// Per prefecture NN the data folder holds QVADNN.NDB (a prefecture without
// it is passed over), the name indexes QVADNN_SHI.SIF / _OAZA.SIF (kanji)
// and _HSHI.SIF / _HOAZA.SIF (readings), and the code indexes _CD2.INX
// (municipalities by 行政JISコード) and _CD5.INX (oaza rows by 行政JISコード).
// A name-index search leaves record positions in a work file, fresh for
// each prefecture and removed on every return.
//
// The entries answer 1 when at least one row was written, else 0 with the
// message in the message buffer (kMessageSize bytes): "対象データがありません！
// [%s]" with the search text as last searched, or the failure's message.
// The interrupted flag is set to 1 when the row limit (above 0) stopped the
// search; the entry then still answers 1.

#include <cstdint>
#include <string>

#include "matching/adrs_context.h"

class CCharDictionary;
class CRecordList;

// Longest search text (and restriction text) in bytes.
inline constexpr int kKeywordTextMaxLength = 1023;

// The name of a prefecture's work file in the temporary folder (which ends
// in a backslash); false when no name can be had. The system-named form
// creates an empty file "ZUB....TMP"; NameWorkFileByPrefecture gives
// "<folder>QVAD%02d.#W#".
using KeywordWorkFileNamer = bool (*)(const char* tempFolder, int32_t prefecture, std::string* out);
bool NameWorkFileBySystem(const char* tempFolder, int32_t prefecture, std::string* out);
bool NameWorkFileByPrefecture(const char* tempFolder, int32_t prefecture, std::string* out);

// ---- Driver ----

// dataFolder ends in a backslash. The number of rows written (0 for none),
// or a negative value after a failure (message set).
int SearchByKeyword(const char* searchText, const char* dataFolder, CAdrsContext* context,
                    int32_t searchType, CCharDictionary* unification, CRecordList* replacements,
                    int32_t rowLimit, int32_t* interrupted, char* message,
                    const char* prefectureRestriction, const char* municipalityRestriction,
                    int32_t restrictionMode, const char* prefectureOrderFile,
                    KeywordWorkFileNamer namer = NameWorkFileBySystem);

// Loads the dictionaries of the data folder, prepares the context for the
// dataset, runs SearchByKeyword, and once more with every 大字 removed from
// the search text (in place) when nothing was found.
int KeywordSearchCore(CAdrsContext* context, int32_t searchType, char* searchText,
                      const char* dataFolder, int32_t rowLimit, int32_t* interrupted, char* message,
                      const char* prefectureRestriction, const char* municipalityRestriction,
                      int32_t restrictionMode, const char* datasetName,
                      const char* prefectureOrderFile);

// Sets the six options (検索文字列区分 1..4, 出力測地系 1..2, 出力座標書式 1..8,
// 出力字丁目書式 1..2, 出力数字書式 1..2, 出力よみ書式 1..3; the first refused
// one named in "パラメータに無効な値が渡されました！(%s)"), output style 2 and
// the datum parameter file, then KeywordSearchCore.
int KeywordSearchWithOptions(CAdrsContext* context, int32_t searchType, char* searchText,
                             const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                             char* message, const char* prefectureRestriction,
                             const char* municipalityRestriction, int32_t restrictionMode,
                             const char* datasetName, int32_t searchTextKind, int32_t datum,
                             int32_t coordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                             int32_t readingFormat, const char* prefectureOrderFile);

// ---- Entries ----
// File forms create the result file and delete it again when they answer
// 0; array forms append to the array; buffer forms join the rows with ";".

int KeywordSearchPlainToFile(const char* resultFile, int32_t searchType, char* searchText,
                             const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                             char* message, const char* prefectureRestriction,
                             const char* municipalityRestriction, int32_t restrictionMode,
                             const char* datasetName, const char* prefectureOrderFile);
int KeywordSearchPlainToArray(CStringArray* array, int32_t searchType, char* searchText,
                              const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                              char* message, const char* prefectureRestriction,
                              const char* municipalityRestriction, int32_t restrictionMode,
                              const char* datasetName, const char* prefectureOrderFile);
int KeywordSearchPlainToBuffer(char* buffer, int32_t bufferSize, int32_t searchType,
                               char* searchText, const char* dataFolder, int32_t rowLimit,
                               int32_t* interrupted, char* message,
                               const char* prefectureRestriction,
                               const char* municipalityRestriction, int32_t restrictionMode,
                               const char* datasetName, const char* prefectureOrderFile);

int KeywordSearchToFile(const char* resultFile, int32_t searchType, char* searchText,
                        const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                        char* message, const char* prefectureRestriction,
                        const char* municipalityRestriction, int32_t restrictionMode,
                        const char* datasetName, int32_t searchTextKind, int32_t datum,
                        int32_t coordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                        int32_t readingFormat, const char* prefectureOrderFile);
int KeywordSearchToArray(CStringArray* array, int32_t searchType, char* searchText,
                         const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                         char* message, const char* prefectureRestriction,
                         const char* municipalityRestriction, int32_t restrictionMode,
                         const char* datasetName, int32_t searchTextKind, int32_t datum,
                         int32_t coordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                         int32_t readingFormat, const char* prefectureOrderFile);
int KeywordSearchToBuffer(char* buffer, int32_t bufferSize, int32_t searchType, char* searchText,
                          const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                          char* message, const char* prefectureRestriction,
                          const char* municipalityRestriction, int32_t restrictionMode,
                          const char* datasetName, int32_t searchTextKind, int32_t datum,
                          int32_t coordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                          int32_t readingFormat, const char* prefectureOrderFile);

// The dataset name of the simple, ordered and restricted forms ("VRG_BASIC"
// until set).
void SetKeywordSearchDataset(const char* datasetName);
const char* GetKeywordSearchDataset();

// Simple forms: no restriction texts, no order file.
int SimpleKeywordSearchPlainToFile(const char* resultFile, int32_t searchType, char* searchText,
                                   const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                                   char* message);
int SimpleKeywordSearchPlainToArray(CStringArray* array, int32_t searchType, char* searchText,
                                    const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                                    char* message);
int SimpleKeywordSearchPlainToBuffer(char* buffer, int32_t bufferSize, int32_t searchType,
                                     char* searchText, const char* dataFolder, int32_t rowLimit,
                                     int32_t* interrupted, char* message);
int SimpleKeywordSearchToFile(const char* resultFile, int32_t searchType, char* searchText,
                              const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                              char* message, int32_t searchTextKind, int32_t datum,
                              int32_t coordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                              int32_t readingFormat);
int SimpleKeywordSearchToArray(CStringArray* array, int32_t searchType, char* searchText,
                               const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                               char* message, int32_t searchTextKind, int32_t datum,
                               int32_t coordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                               int32_t readingFormat);
int SimpleKeywordSearchToBuffer(char* buffer, int32_t bufferSize, int32_t searchType,
                                char* searchText, const char* dataFolder, int32_t rowLimit,
                                int32_t* interrupted, char* message, int32_t searchTextKind,
                                int32_t datum, int32_t coordinateFormat, int32_t chomeFormat,
                                int32_t numberFormat, int32_t readingFormat);
// Ordered forms: the simple forms with options and a prefecture order file.
int OrderedKeywordSearchToFile(const char* resultFile, int32_t searchType, char* searchText,
                               const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                               char* message, int32_t searchTextKind, int32_t datum,
                               int32_t coordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                               int32_t readingFormat, const char* prefectureOrderFile);
int OrderedKeywordSearchToArray(CStringArray* array, int32_t searchType, char* searchText,
                                const char* dataFolder, int32_t rowLimit, int32_t* interrupted,
                                char* message, int32_t searchTextKind, int32_t datum,
                                int32_t coordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                                int32_t readingFormat, const char* prefectureOrderFile);
int OrderedKeywordSearchToBuffer(char* buffer, int32_t bufferSize, int32_t searchType,
                                 char* searchText, const char* dataFolder, int32_t rowLimit,
                                 int32_t* interrupted, char* message, int32_t searchTextKind,
                                 int32_t datum, int32_t coordinateFormat, int32_t chomeFormat,
                                 int32_t numberFormat, int32_t readingFormat,
                                 const char* prefectureOrderFile);
// Restricted forms: plain rows, the two restriction texts with restriction
// mode 1, no order file.
int RestrictedKeywordSearchPlainToFile(const char* resultFile, int32_t searchType, char* searchText,
                                       const char* dataFolder, int32_t rowLimit,
                                       int32_t* interrupted, char* message,
                                       const char* prefectureRestriction,
                                       const char* municipalityRestriction);
int RestrictedKeywordSearchPlainToArray(CStringArray* array, int32_t searchType, char* searchText,
                                        const char* dataFolder, int32_t rowLimit,
                                        int32_t* interrupted, char* message,
                                        const char* prefectureRestriction,
                                        const char* municipalityRestriction);
int RestrictedKeywordSearchPlainToBuffer(char* buffer, int32_t bufferSize, int32_t searchType,
                                         char* searchText, const char* dataFolder, int32_t rowLimit,
                                         int32_t* interrupted, char* message,
                                         const char* prefectureRestriction,
                                         const char* municipalityRestriction);

// ---- Helpers ----

// order[1..47] (48 ints; order[0] = 0): the prefectures listed in the file
// (one number a line, 1..47, first mention counts) first, the others after
// them in ascending order. No name or an empty name gives 1..47. 0 with
// "ファイルオープンエラー!(%s)" when the file does not open.
int LoadPrefectureOrder(const char* fileName, int32_t order[48], char* message);
// The key of a name-index search: the search words, or the municipality
// restriction when there are no words; one blank between words.
std::string& BuildIndexKey(std::string& out, const char* words, const char* prefectureRestriction,
                           const char* municipalityRestriction);
// The blank-separated words of the text without word n (1-based), joined
// by one blank.
std::string& RemoveWordAt(const char* text, int n, std::string& out);
// 1 when nothing is at the path, else whether it could be deleted.
int DeleteFileIfExists(const char* path);
