#pragma once
// The output frame of the facility search and of the category and
// administrative-area lists: a result file or a string array, attached to
// a new search context that the search writes its rows to, and the counted
// row write those searches share.

#include <cstdint>
#include <functional>

#include "matching/adrs_context.h"
#include "tool/result_sink.h"

// Runs a search into the given context: 1 on success (also with no row),
// 0 with its message on failure.
using SearchIntoContext = std::function<int(CAdrsContext* output)>;

// Runs the search into the sink (tool/result_sink.h): the result file
// created (or truncated) as text, or the caller's array (rows appended).
// 1 when the output holds at least one row afterwards; else 0 and a result
// file is deleted: with the search's message when it failed, with
// emptyMessage when the output is empty, with "アタッチに失敗しました！[label]"
// when there is no array, with the sink's message when the file cannot be
// created, closed or counted. Running out of memory fails the search with
// the memory message.
int RunSearchOnSink(ResultSink&& sink, const char* label, const char* emptyMessage, char* msg,
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
