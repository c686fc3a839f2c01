#pragma once
// Access layer over a prefecture's address tables (TC_Todoufuken,
// TC_Shikutyoson, TC_Oaza, TC_Gaiku in QVAD%02d.NDB) and its sorted code
// index files: typed field reads with the standard messages, the halving
// search in a sorted code index, the place-code -> group-code lookup and
// the placeholder names of an oaza without name or a row without chome.
// The child lookups by name and by code under an address index entry are
// members of CAdrsEngine (matching/adrs_engine.h, defined in
// matching/adrs_engine_find.cpp).
//
// Every operation with a message buffer (kMessageSize bytes, null for no
// message) answers 1 for success and 0 for failure with one message, which
// callers hand on unchanged. DATABASE in the messages is the database's
// path (CTableDatabase::GetPath), TABLE and FIELD the names asked for.
//
// Sorted code index file (<database title><suffix>.INX beside the .NDB,
// see tabledb/code_index_files.h): a headerless array of 32-bit
// little-endian record-header positions of one table's records, ordered by
// one STRING field of those records (unsigned bytes, CompareStrings).
// Slot N (1-based) lies at byte (N - 1) x 4; the slot count is the file
// length / 4.
//
// Field values are read into buffers of kFieldValueSize bytes (the size
// the callers use); a stored text that does not fit counts as a failed
// read.

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/path_util.h"
#include "plat/file.h"

class CTableDatabase;
class CTableSorter;

inline constexpr std::size_t kFieldValueSize = 512;

// The message texts of the layer.
inline constexpr char kFieldInfoErrorFormat[] =
    "データベースのフィールド情報の取得に失敗しました！[DATABASE:%s][TABLE:%s][FIELD:%s]";
inline constexpr char kFieldValueErrorFormat[] =
    "データベースの値の取得に失敗しました！[DATABASE:%s][TABLE:%s][FIELD:%s]";
inline constexpr char kValueNotFoundFormat[] =
    "データベースに値が見つかりません！[DATABASE:%s][TABLE:%s][FIELD:%s][VALUE:%s]";

// ---- Messages naming a database ----

// The database's path (CTableDatabase::GetPath; "" for a null database).
std::string DatabasePath(CTableDatabase* database);
// kFieldValueErrorFormat / kValueNotFoundFormat with the database's path
// (empty for a null database); null texts print as "".
void SetFieldValueErrorMessage(char* msg, CTableDatabase* database, const char* table,
                               const char* field);
void SetValueNotFoundMessage(char* msg, CTableDatabase* database, const char* table,
                             const char* field, const char* value);

// ---- Field access ----

// Type code, attribute word (the declared length), 1-based byte position
// in the record and size of a field (null outs are skipped); 0 with
// kFieldInfoErrorFormat when the table or field does not exist.
int ReadFieldInfo(CTableDatabase* database, const char* table, const char* field, int32_t* type,
                  int32_t* attribute, uint32_t* position, uint32_t* size, char* msg);
// A STRING field (type 9) of the record into text (textSize bytes, emptied
// on failure); 0 with kFieldValueErrorFormat when the field is missing, of
// another type, unreadable or longer than textSize - 1 bytes.
int ReadStringField(CTableDatabase* database, uint32_t record, const char* table, const char* field,
                    char* text, std::size_t textSize, char* msg);
// The same into a string (through a kFieldValueSize buffer; "" on failure).
int ReadStringField(CTableDatabase* database, uint32_t record, const char* table, const char* field,
                    std::string* text, char* msg);
// An INT field (type 6, 32 bits); the same failures.
int ReadIntField(CTableDatabase* database, uint32_t record, const char* table, const char* field,
                 int32_t* value, char* msg);

// ---- Searches in a sorted code index ----
// The value of slot N is the field of the record whose position slot N
// holds. Halving search over slots lo..hi for the key:
//   1. 0 when the key is empty or hi < lo;
//   2. the value of slot lo above the key gives 0, equal gives lo;
//   3. the value of slot hi below the key gives 0, equal gives hi;
//   4. 0 when hi - lo is 1 or lo equals hi;
//   5. mid = (lo + hi) / 2: equal gives mid; a value below the key goes on
//      with mid + 1 .. hi - 1, above with lo + 1 .. mid - 1 (step 1 again).
// A failed read of a slot or of a field ends the search with 0. No message.

// The file is an open index file; slots lo..hi are 1-based.
uint32_t FindInSortedIndexFile(CTableDatabase* database, plat::File* file, uint32_t lo, uint32_t hi,
                               const char* table, const char* field, const char* key);
// The same, then steps back from the slot found while the slot before it
// (not below lo) holds the key: the first slot of the run of equal keys.
uint32_t FindFirstInSortedIndexFile(CTableDatabase* database, plat::File* file, uint32_t lo,
                                    uint32_t hi, const char* table, const char* field,
                                    const char* key);
// The record position held by the slot of the sorted code index file at
// indexPath whose value is key (first set: the first slot of its run of
// equal keys). 0 with "ファイルオープンエラー!(%s)" when the file does not
// open, "ファイルの読み込みに失敗しました!(%s)" (the index path) when it
// cannot be read, kValueNotFoundFormat (VALUE: the key) when no slot holds
// the key. Slots whose position passes 32 bits are not searched.
int FindRecordInIndexFile(CTableDatabase* database, const char* indexPath, const char* table,
                          const char* field, const char* key, bool first, uint32_t* record,
                          char* msg);
// The same two searches over a table sorter's position array (slot N is
// CTableSorter::GetPositionAt(N)) and its database.
uint32_t FindInSortedRecordFile(CTableSorter* sorter, uint32_t lo, uint32_t hi, const char* table,
                                const char* field, const char* key);
uint32_t FindFirstInSortedRecordFile(CTableSorter* sorter, uint32_t lo, uint32_t hi,
                                     const char* table, const char* field, const char* key);

// ---- Code lookups ----

// Room for the path of a code index beside a database (a database path as
// long as the table database keeps, the suffix and ".INX").
inline constexpr std::size_t kCodeIndexPathSize = kPathBufferSize + 8;

// The path of a code index beside the database: same drive and folder,
// the database's file title + suffix ("_CD3"), the extension (with its
// dot). 0 (out "") when it does not fit outSize bytes. The name is built
// as it stands; the file layer finds a file stored in another letter case.
int MakeCodeIndexPath(const char* databasePath, const char* suffix, char* out, std::size_t outSize,
                      const char* extension = ".INX");

// The グループコード of the TC_Oaza row whose 地名コード begins with the
// first 11 bytes of placeCode (the first such row of the database's _CD3
// index) into groupCode (groupCodeSize bytes). A code shorter than 11
// bytes gives kValueNotFoundFormat without opening the index; an index
// that does not open "ファイルオープンエラー!(%s)" with its path; a code not
// in the index kValueNotFoundFormat; a slot that cannot be read
// "ファイルの読み込みに失敗しました!(%s)" with the index path. The index is
// closed on every path.
int LookupGroupCodeByPlaceCode(CTableDatabase* database, const char* placeCode, char* groupCode,
                               std::size_t groupCodeSize, char* msg);

// When the name is empty it becomes the full-width form of the code; then
// the code is left-padded with "0" to 5 bytes. A step whose result does not
// fit its buffer (sizes with the NUL) leaves that text as it was. Returns
// the code.
char* PrepareCodeAndName(char* code, std::size_t codeSize, char* name, std::size_t nameSize);

// ---- Placeholder names ----
// An oaza without a name of its own and a row without chome carry
// placeholder names; these helpers recognise them (kana = 1: the readings).

// 1 when the name is empty (or null), equals 大字なし地区 or contains
// 大字なし (kana: おおあざなしちく, おおあざなし).
int IsNoOazaName(const char* name, int32_t kana);
// 1 when the name is empty (or null) or equals 丁目なし地区 (kana:
// ちょうもくなしちく).
int IsNoChomeName(const char* name, int32_t kana);
// With the kana switch on, the kana name decides, else the kanji name: when
// it is a placeholder the pair becomes 大字なし地区 / おおあざなしちく. Either
// text may be null (an absent deciding name changes nothing); each buffer
// holds textSize bytes. Returns 1 when the pair was replaced.
int NormalizeNoOazaPair(char* kanji, char* kana, int32_t kanaSwitch, std::size_t textSize);
// The same with IsNoChomeName and 丁目なし地区 / ちょうもくなしちく.
int NormalizeNoChomePair(char* kanji, char* kana, int32_t kanaSwitch, std::size_t textSize);
