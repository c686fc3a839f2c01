#pragma once
// CRecordIndexFile: the record positions of one table of a CTableDatabase,
// kept in a file of their own in a chosen order, with the list of key
// fields that define the order, so that records can be found by binary
// search on a STRING field.
//
// File layout (little-endian, positions absolute):
//   header (279)     "DBINDEX" (no terminator), table name[256] @7,
//                    reserved u32 @263, first key entry @267, last key
//                    entry @271, start of the position array @275
//   key entry (93)   field name[81], descending flag (0 ascending) @81,
//                    previous entry @85, next entry @89; appended and
//                    linked in the order of definition
//   position array   u32 record-header positions from its start to the end
//                    of the file; element i (1-based) at start + 4(i - 1)
// A new file's array starts right after the header; every key added moves
// it past the new entry, so keys are defined before positions are written.
//
// The order by the key chain is decided by the first key whose field is
// not FLOAT; later keys are not consulted. Every operation answers 1 (or a
// non-zero index or position) for success and 0 for failure, without a
// message; nothing throws. A failed open leaves the object closed.

#include <cstddef>
#include <cstdint>

#include "common/heap_buffer.h"
#include "plat/file.h"

class CTableDatabase;

inline constexpr uint32_t kRecordIndexHeaderSize = 279;
inline constexpr uint32_t kRecordIndexKeySize = 93;
inline constexpr std::size_t kRecordIndexMaxPathLength = 511;
// Size of each of the two comparison text buffers (a table database text
// and its NUL).
inline constexpr uint32_t kRecordIndexTextSize = 65536;

struct RecordIndexHeader {
  char table[256] = {};
  uint32_t reserved = 0;
  uint32_t firstKey = 0;
  uint32_t lastKey = 0;
  uint32_t arrayStart = 0;
};

struct RecordIndexKey {
  char field[81] = {};
  int32_t descending = 0;
  uint32_t previous = 0;
  uint32_t next = 0;
};

class CRecordIndexFile {
 public:
  CRecordIndexFile();
  ~CRecordIndexFile();
  CRecordIndexFile(const CRecordIndexFile&) = delete;
  CRecordIndexFile& operator=(const CRecordIndexFile&) = delete;

  // Closes, creates (truncates) the file and writes the header with the
  // table name (at most 255 bytes); the array starts after the header.
  int Create(const char* path, const char* table);
  // For reading (others may read and write) / for reading and writing;
  // both require "DBINDEX" and an array start inside the file.
  int Open(const char* path);
  int OpenForUpdate(const char* path);
  // Closes the file, frees the buffers and forgets the table name, the
  // attached database and the array start.
  void Close();
  int IsOpen() const { return open_; }

  int ReadHeader(RecordIndexHeader* header);
  int WriteHeader(const RecordIndexHeader& header);
  uint32_t GetFirstKeyPosition();
  int ReadKeyEntry(uint32_t position, RecordIndexKey* key);
  int WriteKeyEntry(uint32_t position, const RecordIndexKey& key);
  const char* GetTableName() const { return table_; }
  uint32_t GetArrayStart() const { return arrayStart_; }

  // Appends a key entry (field name of at most 80 bytes) linked at the end
  // of the key chain, moves the array start after it and rewrites the
  // header; the entry's position. Refused once the array holds positions.
  uint32_t AddKey(const char* field, int32_t descending);
  // Appends 4 bytes at the end of the file; where they went.
  uint32_t AppendPosition(uint32_t position);
  // Attaches an open database (not owned); refused for none.
  int AttachDatabase(CTableDatabase* database);
  CTableDatabase* GetDatabase() const { return database_; }
  // Appends the positions of all the index table's records in chain order,
  // then attaches the database.
  int WriteAllPositions(CTableDatabase* database);
  // The same, keeping only records whose STRING field holds at least
  // minimum characters (a double-byte character counting once).
  int WriteSelectedPositions(CTableDatabase* database, const char* field, uint32_t minimum);

  uint32_t GetPositionCount();
  // Element index (1-based); 0 / failure outside 1..count.
  uint32_t GetPositionAt(uint32_t index);
  int SetPositionAt(uint32_t index, uint32_t position);

  // Sort elements low..high in place: by the key chain, or by a STRING
  // field's text from its N-th character (1-based, a double-byte character
  // counting once). A failed read, also during a comparison, fails the sort.
  int Sort(uint32_t low, uint32_t high);
  int SortByTextFrom(uint32_t low, uint32_t high, const char* field, int firstChar);

  // Binary search over elements sorted ascending by the STRING field: the
  // element index whose text equals the text, or 0.
  uint32_t FindText(const char* field, const char* text);
  // Over elements sorted by the field's text from the N-th character: the
  // first element whose text from there begins with the text, or 0.
  uint32_t FindTextPrefix(const char* field, const char* text, int firstChar);

 private:
  struct ResolvedKey {
    int32_t type;
    uint32_t offset;
    int32_t direction;
  };
  friend class RecordIndexKeyOps;
  friend class RecordIndexTextOps;

  int OpenWith(const char* path, int forUpdate);
  int AllocateBuffers();
  int FileLength(uint32_t* length);
  int AppendBytes(const void* bytes, uint32_t count, uint32_t* position);
  int WritePositions(CTableDatabase* database, const char* field, uint32_t minimum);
  // The key chain resolved against the table: type, offset and direction
  // of the first key that is not FLOAT (*found 0 when there is none).
  int ResolveOrderKey(ResolvedKey* key, int* found);
  int CompareByKey(const ResolvedKey& key, uint32_t a, uint32_t b, int32_t* result);
  // The field's text of the record into text (kRecordIndexTextSize bytes).
  int ReadText(uint32_t record, uint32_t offset, char* text);
  int StringFieldOffset(const char* field, uint32_t* offset);

  int open_;
  char path_[kRecordIndexMaxPathLength + 1];
  char table_[256];
  CHeapBuffer textHeap_;
  char* textA_;
  char* textB_;
  plat::File file_;
  CTableDatabase* database_;
  uint32_t arrayStart_;
};
