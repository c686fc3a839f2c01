#pragma once
// CTableSorter: orders the records of one table of a CTableDatabase by a
// list of key fields and writes the result as a sorted position file, an
// array of record-header positions in a CDataSource:
//
//   count unsigned 32-bit little-endian record-header positions, element i
//   (1-based) at start + 4 * (i - 1), no header.
//
// Built on an empty source this is exactly the form of the code index files
// <database>_CD1.INX .. _CD5.INX and _CDG.INX / _CDG.TIX beside a table
// database: ascending by one STRING field in unsigned byte order.
// BuildSortedPositionFile below writes such a file in one call.
//
// The sorted keys can also be exported as a tree into a tree file
// (tabledb/tag_db.h): the distinct key values level by level
// ("CDB_TREE_STR"), or the same tree with one leaf per record
// ("CDB_TREE_INX") whose value field holds the record-header position.
//
// Every operation answers 1 (or a non-zero index or position) for success
// and 0 for failure, without a message; nothing throws. Equal keys come out
// in the order the sort's own scheme leaves them (tabledb/position_sort.h),
// which is fixed for a given table, so a build is repeatable.

#include <cstdint>

#include "common/heap_buffer.h"
#include "common/work_memory.h"

class CDataSource;
class CTableDatabase;
class CTagDb;

// Key directions: 1 ascending, any other value descending.
inline constexpr int16_t kSortAscending = 1;
inline constexpr int16_t kSortDescending = -1;
// Longest STRING value a comparison or export handles, NUL included (the
// longest text a table database stores, and its NUL).
inline constexpr uint32_t kSortTextSize = 65536;

// One key of the list, as GetKey / SetKey copy it.
struct TableSortKey {
  char field[256] = {};  // field name
  int32_t type = 0;      // the field's type code
  uint32_t offset = 0;   // 1-based offset of the field in the record
  int16_t direction = kSortAscending;
  int32_t codeOffset = -1;  // offset of 街区番号コード (block-number keys), else -1
};

class CTableSorter {
 public:
  CTableSorter();
  ~CTableSorter();
  CTableSorter(const CTableSorter&) = delete;
  CTableSorter& operator=(const CTableSorter&) = delete;

  // Clears any earlier set-up. All arguments must be given, the key
  // capacity above 0 and the table must exist; the block-number mode is
  // cleared. The source receives the positions at its current position.
  int Setup(CDataSource* source, CTableDatabase* database, const char* table, uint32_t keyCapacity);
  // Frees the key list and the work buffers; the sorter is no longer set up.
  void Clear();
  int IsSetup() const { return setup_; }
  // 1: a key on 街区番号 of TC_Gaiku (added after this call) orders block
  // numbers: an empty text stands for 街区番号コード in full width, and a
  // text of full-width digits only is left-padded with full-width spaces to
  // 20 bytes, so that ３ sorts before １２.
  void SetBlockNumberMode(int mode) { blockNumberMode_ = mode != 0 ? 1 : 0; }

  // Appends a key on the field (types UCHAR, CHAR, WORD, SHORT, DWORD, INT,
  // DOUBLE, STRING); its index, or 0 when not set up, the field does not
  // exist or has another type (nothing is appended then), or storage fails.
  int32_t AddKey(const char* field, int16_t direction);

  // ---- Key list ----
  int32_t GetFirstKey() const { return keys_.GetFirst(); }
  int32_t GetLastKey() const { return keys_.GetLast(); }
  // The key after index in list order; 0 after the last.
  int32_t GetNextKey(int32_t index) const;
  int GetKey(int32_t index, TableSortKey* key) const;
  int SetKey(int32_t index, const TableSortKey& key);
  // Empties the key list (the sorter stays set up).
  void ResetKeys();

  // Records placed by the last Build, and where their array starts.
  uint32_t GetRecordCount() const { return count_; }
  uint32_t GetStartPosition() const { return start_; }
  CTableDatabase* GetDatabase() const { return database_; }

  // Element index (1-based) of the position array; 0 / failure for index
  // 0 or an element outside the source.
  uint32_t GetPositionAt(uint32_t index);
  int SetPositionAt(uint32_t index, uint32_t position);

  // Writes the positions of all the table's records in chain order at the
  // source's current position, then sorts them by the keys (when there are
  // at least two records and a key). Start and count to the outs (either
  // may be null). A failed read or write, also during a comparison, fails
  // the build; the positions written so far stay in the source.
  int Build(uint32_t* start, uint32_t* count);

  // Under parent (kTagTopLevel for the top level): "CDB_TREE_STR" with
  // "FIELD" (one child per key, named by its field) and "STRING", the
  // distinct key values of the records in sorted order, one level per key.
  // Every key must be STRING.
  int ExportValueTree(CTagDb* tree, uint32_t parent);
  // The same as "CDB_TREE_INX" with "FIELD" and "INDEX"; under the last
  // value node of each record a leaf whose value field holds the record's
  // header position.
  int ExportRecordTree(CTagDb* tree, uint32_t parent);

 private:
  static void EncodeKey(const TableSortKey& key, WorkMemoryEntry* entry);
  static void DecodeKey(const WorkMemoryEntry& entry, const char* field, TableSortKey* key);
  // Reads a key's text of the record into text (kSortTextSize bytes), as
  // the comparison sees it.
  int ReadKeyText(uint32_t record, const TableSortKey& key, char* text);
  int CompareRecords(uint32_t a, uint32_t b, int32_t* result);
  int ExportTree(CTagDb* tree, uint32_t parent, int records);

  friend class TableSorterOps;

  int setup_;
  CDataSource* source_;
  CTableDatabase* database_;
  char table_[256];
  CWorkMemory keys_;
  CHeapBuffer textHeap_;
  char* textA_;
  char* textB_;
  char* textC_;
  uint32_t start_;
  uint32_t count_;
  int blockNumberMode_;
};

// Writes the positions of the table's records sorted ascending by one key
// field to the file at path (created or truncated): the form of the code
// index files (<database>_CD3.INX is TC_Oaza by 地名コード); records with
// equal keys are ordered by secondField when one is given. The record
// count to *count (may be null). The file is written only after the sort
// succeeded; a file that could not be written whole is removed.
int BuildSortedPositionFile(CTableDatabase* database, const char* table, const char* field,
                            const char* path, uint32_t* count, const char* secondField = nullptr);
