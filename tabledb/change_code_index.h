#pragma once
// The change-code index QAD_CH%02d.CDI: a tree of cities, areas (the two
// 3-character parts of an 11-character address code), blocks and change
// records (lots, each with a representative point), read straight from
// the file entry by entry. Every lookup answers the absolute file position
// of an entry (0: none; no entry stands at 0), and the Read operations
// decode the entry at a position. CChangeCodeIndexBuilder
// (change_code_index_builder.h) writes the file.
//
// Layout (little-endian, unaligned):
//  - header, 64 bytes: "QADCDI", header size 64 (2 bytes), version 65536,
//    creation time, file length, zeros;
//  - @64 the city count N, @68 N city offsets (from the end of that table);
//  - the city subtrees in ascending code order; a subtree is the entry and
//    then the subtrees of its children.
// An entry with children ends with its child count (2 or 4 bytes by bits
// 2-3 of its first flag byte) and one offset per child (2 or 4 bytes by
// bits 4-5), each the distance of the child's subtree from the end of that
// offset table.
//  - city: flag, city code (2 bytes), count, offsets;
//  - area: flag (bits 0-1 and 6-7: forms of part 1 and part 2), the parts
//    (form 0 one byte, 1 two bytes, 3 the three characters), count, offsets;
//  - block: flag 0 (bits 0-1 code form), flag 1 (bit 7 name stored, bit 6
//    second name stored, bits 0-5 stored length L), code (form 0 one byte,
//    1 two bytes, 2 two bytes of value - 65536, 3 five characters), the
//    stored names of L bytes each (zero-padded), count, offsets;
//  - change record (no children): flag 0 (code form, bits 2-3 and 4-5 the
//    forms of numbers 1 and 2, bits 6-7 the precision digit), flag 1 as a
//    block's, flag 2 (bits 0-3 precision code, bits 4-6 class code), code,
//    number 1, number 2 (form 0 none: the base; 1 two bytes: base + d; 2
//    two bytes: base - d; 3 four bytes: the value), the stored names.
// The first record of a block stores both numbers whole; the others are
// coded against the first record's. Number 1 is the latitude and number 2
// the longitude; the class code is the record's status.
//
// A code text is "%05u" of the value (forms 0-2) or the stored characters.
// An unstored name is made from the code text: leading "0"s dropped, the
// other digits in full width. An unstored second name equals the name.

#include <cstddef>
#include <cstdint>

#include "common/path_util.h"
#include "common/record_array.h"
#include "tabledb/data_source.h"

// Code text buffers (5 or 6 characters and the terminator).
inline constexpr std::size_t kChangeCodeTextSize = 8;
// Name buffers (stored names are below 64 bytes).
inline constexpr std::size_t kChangeCodeNameSize = 64;
inline constexpr uint32_t kChangeCodeHeaderSize = 64;

class CChangeCodeIndex {
 public:
  CChangeCodeIndex();
  ~CChangeCodeIndex();
  CChangeCodeIndex(const CChangeCodeIndex&) = delete;
  CChangeCodeIndex& operator=(const CChangeCodeIndex&) = delete;

  // Closes first; checks the magic and the header size and reads the city
  // count. On failure "ファイルオープンエラー!(%s)" or
  // "ファイルの読み込みに失敗しました!(%s)" and the reader stays closed.
  int Open(const char* path, char* msg);
  void Close();
  int IsOpen() const { return state_; }
  const char* GetPath() const { return path_; }

  // The city entry of the first 5 characters of an address code.
  uint32_t FindCity(const char* code);
  // The area entry of an address code of at least 11 characters (its
  // characters 6-11).
  uint32_t FindArea(const char* code);
  // The block entry under the code's area for a block text: a whole number
  // (also full-width) is looked up as the code text "%05ld"; any other text
  // by second name among the letter-coded blocks at the end of the table.
  uint32_t FindBlock(const char* code, const char* blockText);
  uint32_t FindBlockByCode(const char* code, const char* blockCode);
  // The change record under FindBlock's (FindBlockByCode's) block, given
  // the same way.
  uint32_t FindChange(const char* code, const char* blockText, const char* changeText);
  uint32_t FindChangeByCode(const char* code, const char* blockCode, const char* changeCode);

  // Entry decoders. tablePosition is the position of the entry's child
  // offset table, tableSize its size in bytes (count x 2 or 4), wideOffsets
  // non-zero for 4-byte offsets. An entry without children reads with
  // count 0. Any out pointer may be null.
  int ReadCityEntry(uint32_t position, char* codeText, uint32_t* tablePosition, uint32_t* count,
                    uint32_t* tableSize, int* wideOffsets);
  int ReadAreaEntry(uint32_t position, char* codeText, uint32_t* tablePosition, uint32_t* count,
                    uint32_t* tableSize, int* wideOffsets);
  int ReadBlockEntry(uint32_t position, char* codeText, char* name, char* secondName,
                     uint32_t* tablePosition, uint32_t* count, uint32_t* tableSize,
                     int* wideOffsets);
  // A block entry's code and names without its child table.
  int ReadBlockNames(uint32_t position, char* codeText, char* name, char* secondName);
  // Offset number index (0-based) of a child offset table.
  int ReadChildOffset(uint32_t tablePosition, uint32_t index, int wideOffsets, uint32_t* offset);
  // The change record at a position. continuing 0: the numbers are decoded
  // against 0 and stored into *base1 and *base2 (child 0 of a block);
  // continuing 1: decoded against *base1 and *base2. The precision code is
  // a scale code (1, 2, 3, 7, 8 or 20).
  int ReadChangeRecord(uint32_t position, int continuing, uint32_t* base1, uint32_t* base2,
                       char* codeText, char* name, char* secondName, uint32_t* number1,
                       uint32_t* number2, int* precisionDigit, int* precisionCode, int* classCode);

  // An in-memory copy of one block table (the children of an area); index
  // is 1-based. On failure the copy is emptied.
  int LoadChildTable(uint32_t tablePosition, uint32_t count, uint32_t tableSize, int wideOffsets);
  int ReadCachedChild(uint32_t index, char* codeText, char* name, char* secondName);
  int GetCachedChildPosition(uint32_t index, uint32_t* position);
  // File position of child index (1-based) of a table: its offset read
  // from the table plus the table's position and size. 0 when the offset
  // cannot be read or the position lies beyond the file.
  int ChildPosition(uint32_t tablePosition, uint32_t tableSize, int wide, uint32_t index,
                    uint32_t* position);

 private:
  static constexpr std::size_t kPathSize = kPathBufferSize;
  struct Entry;
  enum class Level { City, Area, Block, Change };

  // Decodes the entry of a level at a position (names only when asked).
  int ReadEntry(uint32_t position, Level level, bool withNames, Entry* entry);
  int ReadTableEntry(uint32_t position, Level level, char* codeText, char* name, char* secondName,
                     uint32_t* tablePosition, uint32_t* count, uint32_t* tableSize,
                     int* wideOffsets);
  uint32_t SearchByCode(uint32_t tablePosition, uint32_t count, uint32_t tableSize, int wide,
                        Level level, const char* target);
  uint32_t SearchByName(uint32_t tablePosition, uint32_t count, uint32_t tableSize, int wide,
                        Level level, const char* text);
  uint32_t SearchChildren(uint32_t parent, Level parentLevel, const char* text, bool byCode);
  void ClearCache();

  int state_;
  char path_[kPathSize];
  uint32_t cityCount_;
  uint32_t cityTablePosition_;
  uint32_t cachedTablePosition_;
  uint32_t cachedCount_;
  uint32_t cachedTableSize_;
  int cachedWideOffsets_;
  CRecordList cachedOffsets_;
  CRecordList cachedBytes_;
  CDataSource file_;  // the file's shared image
  uint32_t fileLength_;
};
