#pragma once
// The two output forms of the facility search and of the category and
// administrative-area lists: a result file or a string array, attached to
// a new search context that the search writes its rows to.

#include <cstdint>
#include <functional>

#include "matching/adrs_context.h"

// Runs a search into the given context: 1 on success (also with no row),
// 0 with its message on failure.
using SearchIntoContext = std::function<int(CAdrsContext* output)>;

// Creates (or truncates) the result file as text, runs the search into it
// and counts its lines. 1 when at least one line was written; else 0 and
// the file is deleted: with the search's message when it failed, with
// emptyMessage when it wrote nothing, with "アタッチに失敗しました！[label]"
// when the file cannot be attached, "ファイルオープンエラー!(path)" when it
// cannot be counted.
int RunSearchToFile(const char* resultPath, const char* label, const char* emptyMessage, char* msg,
                    const SearchIntoContext& search);

// Runs the search into the array (rows appended). 1 when the array holds at
// least one row afterwards; 0 with the search's message when it failed,
// with emptyMessage when the array is empty, with the attach message for a
// null array.
int RunSearchToArray(CStringArray* array, const char* label, const char* emptyMessage, char* msg,
                     const SearchIntoContext& search);

// A null text counts as empty.
inline const char* TextOrEmpty(const char* text) { return text ? text : ""; }

enum RowOutcome { kRowWritten, kRowOverflow, kRowFailed };

// Counts one more row against the maximum and writes it: kRowOverflow
// (the overflow flag set to 1, nothing written) when the count now exceeds
// the maximum, kRowFailed with "検索結果の登録に失敗しました！[label]" when
// the write fails (or there is no output).
RowOutcome WriteCountedRow(CAdrsContext* output, const char* row, int64_t* count, int32_t maximum,
                           int32_t* overflow, const char* label, char* msg);
