#pragma once
// The reference library's multi-level address search: a prefecture
// (optional) and a free address text that the user may still be typing,
// consumed level by level from the prefecture down to the lot in one call
// (gazref/level_search.h). The text may stop inside its last name, leave
// out the prefecture (a pre-scan over every prefecture's municipalities
// finds where it may lie) and, when neither the text nor the pre-scan
// fixes the municipality, leave out the municipality as well. Rows are the
// 14-field rows of the level walk, sorted by their code (field 12). Where
// the text leads to no entry, the deepest entries that matched a leading
// part of it are written instead, but only when no row was written
// directly anywhere.
//
// Entries (FindListFirst2Array, FindListFirst2File): 1 when rows were
// written (and sorted), else 0 with the message: "パラメータに無効な値が渡さ
// れました！(%s)" (結果格納配列, 結果格納ファイル名, 検索中断フラグ, 検索文字列 for a
// text of more than 511 bytes), a dictionary loader's message,
// "ファイルの作成に失敗しました！(%s)", "対象データがありません！[%s]" (no row;
// also when the prefecture text names no prefecture or another one than the
// text begins with; the file entry then leaves an empty file), a level's
// own message after a failure (the file entry removes its file; rows
// already appended to the array stay), "作業用メモリの確保に失敗しました！"
// when memory runs out (a prefecture's files that are there but cannot be
// held included: such a prefecture is never passed over), or a sort's
// message.
//
// Stop flag: the caller's 32-bit word, set to 0 at the start; another
// thread may set it to 1 to end the search with the rows written so far.
// The search sets it to 1 when the row limit (maxRows, negative for none)
// is reached. It is read and written atomically.

#include <cstdint>
#include <memory>
#include <string>

#include "gazref/address_search.h"
#include "gazref/level_search.h"
#include "matching/adrs_engine.h"
#include "tabledb/table_database.h"

// 1 when every character is a half-width kana, a katakana or a hiragana
// (also for an empty text).
int IsKanaOnlyText(const char* text);

// One prefecture's table database and address index opened into an engine
// for the search (with the change files when asked). The engine and the
// database live on the heap: together they are far larger than a frame
// should be.
class CPrefectureFiles {
 public:
  CPrefectureFiles();
  CPrefectureFiles(const CPrefectureFiles&) = delete;
  CPrefectureFiles& operator=(const CPrefectureFiles&) = delete;
  ~CPrefectureFiles() { Close(); }
  // folder ends in "\"; 1 when open, 0 when a file is missing or does not
  // open, -1 when memory runs out for the engine's work lists (running out
  // while a file's image is made throws std::bad_alloc as usual).
  int Open(const std::string& folder, int32_t code, bool withHistory, CAdrsContext* writer,
           CCharDictionary* unification, CRecordList* replacements);
  void Close();
  int32_t GetCode() const { return code_; }
  CAdrsEngine& Engine() { return *engine_; }

 private:
  int32_t code_ = 0;
  std::unique_ptr<CTableDatabase> database_;
  std::unique_ptr<CAdrsEngine> engine_;
};

// The municipalities of every prefecture that the normalised text begins
// with (county required), as triples in the order found. kana: compare the
// readings. 1, or 0 with the message.
int PrescanCities(const char* text, const char* dataFolder, CAdrsContext* writer,
                  CCharDictionary* unification, CRecordList* replacements, int32_t kana,
                  PrescanList* list, char* message);

// The driver: the rows through the writer; their number, negative on
// failure (message set).
int MultiLevelSearch(const char* prefecture, const char* address, const char* dataFolder,
                     CAdrsContext* writer, CCharDictionary* unification, CRecordList* replacements,
                     int32_t maxRows, int32_t* stopFlag, char* message);

int FindListFirst2Array(CStringArray* array, const char* prefecture, const char* address,
                        const char* dataFolder, int32_t maxRows, int32_t* stopFlag,
                        const AddressFooters& footers, int32_t defaultAzaMode, char* message);
int FindListFirst2File(const char* resultFile, const char* prefecture, const char* address,
                       const char* dataFolder, int32_t maxRows, int32_t* stopFlag,
                       const AddressFooters& footers, int32_t defaultAzaMode, char* message);
