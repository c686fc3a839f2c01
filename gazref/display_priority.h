#pragma once
// The display-priority step of the category and facility searches: after a
// search that found rows, the rows are reordered by the table "表示優先.tbl"
// in the data folder. The reordering is stable (rows of equal priority keep
// their search order) and never fails the search: a table that cannot be
// read leaves the rows as they are.

#include <cstdint>
#include <string>

#include "gazref/result_records.h"

// "%s\\%s" of the data folder (one trailing blank removed) and
// "表示優先.tbl".
std::string DisplayPriorityTablePath(const char* dataFolder);

// Facility rows, keyed by their three category fields 8, 9 and 10. Nothing
// happens when total is 0.
void ReorderFacilityRowsByPriority(CStringArray* rows, int32_t total, const char* dataFolder);

// Category rows: the category text is read as up to three words separated
// by blanks; no word reorders by the table's first level, one word by the
// second level under it, two words by the third level under both, three
// words not at all. Nothing happens when total is 0.
void ReorderCategoryRowsByPriority(CStringArray* rows, int32_t total, const char* categoryText,
                                   const char* dataFolder);
