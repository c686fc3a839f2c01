#pragma once
// Small utilities over CSV lines, CSV table files and work lists, kept with
// the result sorters (tool/csv_sort.h); no search calls them.
//
// Fields are numbered from 1 and cut at every "," (no quoting); a line has
// one field more than it has commas, and a field it does not have is the
// empty text. "," is never the second byte of a Shift-JIS character, so
// fields holding 表 or ソ (second byte 0x5C) are cut and compared whole.
// Text files are read in text mode, lines whole whatever their length.
//
// The functions with a message buffer (kMessageSize bytes, null for none)
// answer 1, or 0 with their message; a message quoting a long text is cut
// at a character boundary.

#include <cstdint>
#include <string>

class CWorkMemory;

// Most fields RebuildCsvLine keeps.
inline constexpr int32_t kRebuildMaxFields = 32768;

// ---- One line ----

// Re-joins, in place, the line's fields with "," up to, not including, its
// first empty field (at most the first kRebuildMaxFields fields): the line
// is cut before the comma that ends its last kept field. A line whose first
// field is empty becomes "". Returns the line (null stays null).
char* RebuildCsvLine(char* line);
// 1 when two non-empty fields among fields first..last are equal, else 0
// (also for a null line or an empty range).
int HasDuplicateCsvFields(const char* line, int32_t first, int32_t last);
// The number of non-empty fields among fields first..last (0 for a null
// line or an empty range).
int32_t CountNonEmptyCsvFields(const char* line, int32_t first, int32_t last);
// The number of fields of the line and, in *width (null for none), the byte
// length of its longest field. A null line has 0 fields of width 0.
int32_t MeasureCsvFields(const char* line, int32_t* width);

// ---- Lookups ----
//
// A lookup finds the first row whose field keyField is the text and gives
// its field valueField in *value, or the whole row when valueField is 0 or
// less (the plain file lookup needs valueField 1 or more).

// Over the lines of a text file; with normalise, both sides are compared in
// their full-width form (ToFullWidth). 1 when found; 0 when not found, the
// file does not open or cannot be read, or a field number is below 1 (no
// message).
int LookUpCsvFile(const char* path, int32_t keyField, const char* text, int32_t valueField,
                  std::string* value, bool normalise = false);
// Over a table file, opened for reading and writing. A keyField of 0 or
// less gives "検索フィールド番号が異常です！", a file that does not open
// "ファイルオープンエラー!(%s)", a read error
// "ファイルの読み込みに失敗しました！(%s)", no such row
// "ファイル[%s]の検索フィールド番号[%ld]から[%s]が検索できません！" (path,
// keyField, text).
int LookUpCsvTableFile(const char* path, int32_t keyField, const char* text, int32_t valueField,
                       std::string* value, char* message);
// Over the rows of a table loaded by LoadCsvTable (its entries in number
// order): through keys when given (the key list LoadCsvTable makes for
// keyField), else row by row. An empty text finds nothing. A null table
// gives "作業用メモリが初期化されていません！", a keyField of 0 or less
// "検索フィールド番号が異常です！", no such row
// "検索フィールド番号[%ld]から[%s]が検索できません！" (keyField, text).
int LookUpCsvWorkList(const CWorkMemory* table, const CWorkMemory* keys, int32_t keyField,
                      const char* text, int32_t valueField, std::string* value, char* message);

// ---- Work lists ----

// Re-creates table with every line of a CSV table file, one entry a line in
// file order. With keys and a keyField of 1 or more, keys is re-created too
// with field keyField of every row, caller word 1 the row's entry number,
// sorted (SortWorkList). A file that does not open gives
// "ファイルオープンエラー!(%s)", storage that cannot be had
// "作業用メモリの確保に失敗しました！", a bad line (one that cannot be read,
// holds a NUL byte or ends inside a double-byte character)
// "ファイルの読み込みに失敗しました！(%s) %ld行目" with the path and the
// line's number (from 1).
int LoadCsvTable(const char* path, CWorkMemory* table, int32_t keyField, CWorkMemory* keys,
                 char* message);
// Copies a work list, entries (numbers, links, caller fields) and string
// pool, into target (re-created). 0, target freed, for a null or never
// created source or storage that cannot be had.
int CopyWorkList(const CWorkMemory* source, CWorkMemory* target);
