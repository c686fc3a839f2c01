#pragma once
// Address matching entries: one free-form address text matched against the
// address data of a dataset folder, the result line (matching/result_line.h)
// delivered to a result file, a string array or a caller buffer.
//
// Every entry answers 1 when a result line was written and 0 otherwise,
// with one message in the caller's message buffer (kMessageSize bytes; null
// for none). Common arguments:
//   text             the address text, at most kMaxSearchTextLength (511)
//                    bytes; shortened in place by the retries (every 大字,
//                    then every 字 removed while nothing matched);
//   flags            the match flags word (status filter bits 0-3,
//                    estimation bit 4 = 0x10, bit 8 = 0x100);
//   numberUnitValue  the engine's number-unit switch (0 off, else on);
//   dataFolder       the folder of the dataset's files (a trailing "\" is
//                    added when missing; null counts as "");
//   datasetName      "VRG_BASIC" switches the matching off (every text then
//                    ends with "対象データがありません！[%s]"); any other
//                    name switches it on.
//
// The validating entries check seven options in this order and name the
// first one out of range in "パラメータに無効な値が渡されました！(%s)":
// 推定機能フラグ 0..1, 検索文字列区分 1..4 (1 kanji, 2 hiragana, 3 katakana,
// 4 half-width katakana), 出力測地系 1..2 (Tokyo datum, JGD2000), 出力座標書式
// 1..8, 出力字丁目書式 1..2, 出力数字書式 1..2, 出力よみ書式 1..3. They write
// the 17-column line (converted coordinates, name formats; JGD2000 through
// dataFolder + "TKY2JGD.PAR"). The plain entries take no options and write
// the 14-column line with integer Tokyo-datum coordinates (16 columns when
// the flags word has bit 8).
//
// adrslib.ini (beside the program), section AdrsLib, integer Calc (default
// 0): with options, and the estimation flag given, Calc 0 switches the
// history check of the estimation on and any other value off; the
// estimation flag 1 sets bit 4 of the flags word. Without options, Calc not
// 0 sets bit 4.
//
// The file entries create (or truncate) the result file first and delete it
// again whenever they answer 0, so a failed or unmatched search leaves no
// result file.

#include <cstdint>

#include "matching/adrs_context.h"

class CCharDictionary;
class CRecordList;

// ---- Entries with options (the job path) ----

int MatchAddressesToFile(const char* resultFile, char* text, int32_t flags, int32_t numberUnitValue,
                         const char* dataFolder, char* message, int32_t estimationFlag,
                         int32_t searchTextKind, int32_t datum, int32_t coordinateFormat,
                         int32_t chomeFormat, int32_t numberFormat, int32_t readingFormat,
                         const char* datasetName);
// Appends the line to the array (which is not emptied first).
int MatchAddressesToArray(CStringArray* array, char* text, int32_t flags, int32_t numberUnitValue,
                          const char* dataFolder, char* message, int32_t estimationFlag,
                          int32_t searchTextKind, int32_t datum, int32_t coordinateFormat,
                          int32_t chomeFormat, int32_t numberFormat, int32_t readingFormat,
                          const char* datasetName);
// Writes the line from the start of the buffer (bufferSize bytes with the
// NUL); a line that does not fit fails the call.
int MatchAddressesToBuffer(char* buffer, int32_t bufferSize, char* text, int32_t flags,
                           int32_t numberUnitValue, const char* dataFolder, char* message,
                           int32_t estimationFlag, int32_t searchTextKind, int32_t datum,
                           int32_t coordinateFormat, int32_t chomeFormat, int32_t numberFormat,
                           int32_t readingFormat, const char* datasetName);

// ---- Entries without options ----

int MatchAddressToFilePlain(const char* resultFile, char* text, int32_t flags,
                            int32_t numberUnitValue, const char* dataFolder, char* message,
                            const char* datasetName);
int MatchAddressToArrayPlain(CStringArray* array, char* text, int32_t flags,
                             int32_t numberUnitValue, const char* dataFolder, char* message,
                             const char* datasetName);
int MatchAddressToBufferPlain(char* buffer, int32_t bufferSize, char* text, int32_t flags,
                              int32_t numberUnitValue, const char* dataFolder, char* message,
                              const char* datasetName);

// ---- Steps shared by the entries ----

// Stores the seven options in the order above, stopping at the first out of
// range (0 with its message); then output style 2, the datum parameter file
// dataFolder + "TKY2JGD.PAR", and MatchAddressCore.
int ValidateMatchOptions(CAdrsContext* context, char* text, int32_t flags, int32_t numberUnitValue,
                         const char* dataFolder, char* message, int32_t estimationFlag,
                         int32_t searchTextKind, int32_t datum, int32_t coordinateFormat,
                         int32_t chomeFormat, int32_t numberFormat, int32_t readingFormat,
                         const char* datasetName);

// The common core on a context whose channel and options are set: fixes the
// flags word (ApplyMatchFlagRules with adrslib.ini's Calc), checks the text,
// loads 文字統一.BIN, 文字置換.BIN and (when present) ユーザー置換.TXT from
// the data folder, prepares the context for the dataset, runs the matching
// driver and retries without 大字 and then without 字 while nothing matched.
int MatchAddressCore(CAdrsContext* context, char* text, int32_t flags, int32_t numberUnitValue,
                     const char* dataFolder, char* message, const char* datasetName);

// The flags word of a match by the context's options and the Calc value:
// output style 2 with the estimation flag readable sets the calculation
// switch (1 for Calc 0, else 0) and, for estimation flag 1, bit 4; output
// style 1 sets bit 4 for Calc not 0; the formatted-output switch 1 sets
// bit 8. Returns the new flags word.
int32_t ApplyMatchFlagRules(CAdrsContext* context, int32_t flags, int32_t calc);

// The context for a dataset: the address index kind of the folder's
// QVAD%02d.TIX files (ProbeIndexFiles), the estimation flag 0, and the
// change-history, matching and reverse-geocoding switches 0 for
// "VRG_BASIC", 1 for any other name (null counts as "").
void PrepareContextForDataset(CAdrsContext* context, const char* datasetName,
                              const char* dataFolder);
