#pragma once
// Sorting CSV result rows by the text of one field, wherever the rows lie:
// a ";"-joined buffer, a string array or a text file rewritten in place;
// the display-priority and category-priority sorters; and the work-list
// quicksort and binary search under them.
//
// Rows are texts whose fields are joined with "," (no quoting); field n
// (from 1) is the text between the (n-1)-th and the n-th ",", and a field a
// row does not have is the empty text. Keys compare as CompareStrings does:
// unsigned bytes, a prefix before the longer text. The quicksort is not
// stable: rows with equal keys may come back in any order. Every row comes
// back once and unchanged.
//
// Every sorter answers 1 on success and 0 with its message in the message
// buffer (kMessageSize bytes, null for none). Text files are read and
// written in text mode, lines whole.

#include <cstdint>

#include "matching/adrs_context.h"

class CWorkMemory;

// Messages the sorters share with the lookups (tool/csv_lookup.h).
inline constexpr char kMsgNoWorkList[] = "作業用メモリが初期化されていません！";
inline constexpr char kMsgCsvFileRead[] = "ファイルの読み込みに失敗しました！(%s)";

// The priority of a row that no table entry names.
inline constexpr int32_t kUnknownPriority = 999999;

// ---- Result sorts ----

// The buffer's rows (the pieces between ";") in ascending order of the
// field, rewritten in place (the length does not change). A null buffer
// gives "作業用メモリが初期化されていません！".
int SortCsvList(char* buffer, int32_t field, char* message);
// The array's elements; a null array "作業用メモリが初期化されていません！", an
// empty one "CStringArrayにデータが存在しません！".
int SortCsvArray(CStringArray* array, int32_t field, char* message);
// The file's lines, the file re-created with them. A null name gives
// "作業用メモリが初期化されていません！", a file that cannot be read
// "ファイルの読み込みに失敗しました！(%s)", one without lines
// "ファイルにデータが存在しません！(%s)", one that does not open for reading
// and writing "ファイルオープンエラー!(%s)", one that cannot be re-created
// "ファイルの作成に失敗しました！(%s)"; a failed write deletes the file and
// gives "ファイルへの書き込みに失敗しました!(%s)".
int SortCsvFile(const char* path, int32_t field, char* message);

// ---- Priority sorts ----
//
// Priority table (text, one entry a line): the priority (a signed 32-bit
// number), ",", the key, optionally "＜" and a comment. The key is the rest
// of the line after the first ",", cut before the first "＜", blanks
// trimmed; a line without "," or whose first field is not a number is
// skipped. A table that does not open gives "ファイルオープンエラー!(%s)".
//
// A row's key is "A,B,C" of its fields A, B and C, else (matched by the
// shorter key) "A,B,"; its priority is the number of that table line, or
// kUnknownPriority. Rows sort by priority; rows of equal priority below
// kUnknownPriority that both matched by the full key compare equal, all
// others compare by field C (the whole row when C is 0 or less). The
// priority sorts are stable: rows that compare equal keep their order. An
// empty table leaves the rows as they are (success).
int SortCsvArrayByPriority(CStringArray* array, int32_t fieldA, int32_t fieldB, int32_t fieldC,
                           const char* tableFile, char* message);
// The same on a file's lines (the file messages of SortCsvFile).
int SortCsvFileByPriority(const char* path, int32_t fieldA, int32_t fieldB, int32_t fieldC,
                          const char* tableFile, char* message);

// Category table (one entry a line, fields split at ","; field 1 the
// priority, else the line is skipped). Mode 1: the key is field 2. Mode 2:
// lines whose field 2 is the first parent, the key field 3 (trimmed).
// Mode 3: lines whose fields 2 and 3 are the two parents, the key field 4
// (trimmed). In modes 2 and 3 an empty key, or the key of the line taken
// just before, is skipped. A row's key is its whole text; rows sort as
// above with C = 0. No key at all leaves the rows as they are. Any other
// mode gives "不正なモードが渡されました！".
int SortCategoryArrayByPriority(int32_t mode, CStringArray* array, const char* parent1,
                                const char* parent2, const char* tableFile, char* message);
int SortCategoryFileByPriority(int32_t mode, const char* path, const char* parent1,
                               const char* parent2, const char* tableFile, char* message);
// The modes fixed: 1 without parents, 2 with the first, 3 with both.
int SortCategoryArrayByPriority1(CStringArray* array, const char* tableFile, char* message);
int SortCategoryArrayByPriority2(CStringArray* array, const char* parent1, const char* tableFile,
                                 char* message);
int SortCategoryArrayByPriority3(CStringArray* array, const char* parent1, const char* parent2,
                                 const char* tableFile, char* message);
int SortCategoryFileByPriority1(const char* path, const char* tableFile, char* message);
int SortCategoryFileByPriority2(const char* path, const char* parent1, const char* tableFile,
                                char* message);
int SortCategoryFileByPriority3(const char* path, const char* parent1, const char* parent2,
                                const char* tableFile, char* message);

// ---- Work lists ----

// Quicksort of the strings of entries first..last (entry numbers) in
// ascending order. An exchange moves the string and caller word 1 (the
// partner number a sorter keeps there) together; the list's own links and
// the other caller fields stay. Not stable.
void SortWorkList(CWorkMemory* list, int32_t first, int32_t last);
// Binary search over sorted entries first..last: an entry whose string
// equals the text; 0 when none, for an empty text, an empty list or a
// range outside 1..count.
int32_t FindInWorkList(const CWorkMemory* list, const char* text, int32_t first, int32_t last);
// The same, then the first entry (not before first) of the run of equal
// strings.
int32_t FindFirstInWorkList(const CWorkMemory* list, const char* text, int32_t first, int32_t last);
