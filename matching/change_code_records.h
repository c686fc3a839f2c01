#pragma once
// The child tables of the change-code index (tabledb/change_code_index.h)
// as the number levels, the listers and the result builder walk them: the
// position of a child, and the change records of a block in order.

#include <cstdint>

#include "tabledb/change_code_index.h"

// A child offset table (ReadAreaEntry, ReadBlockEntry): its position, child
// count, size in bytes and offset width.
struct ChangeCodeTable {
  uint32_t position = 0;
  uint32_t count = 0;
  uint32_t size = 0;
  int wide = 0;
};

// The position of child i (0-based) of the table: the end of the table
// plus the child's offset (CChangeCodeIndex::ChildPosition). false when the
// offset cannot be read or the position lies beyond the file.
bool ReadChildPosition(CChangeCodeIndex* index, const ChangeCodeTable& table, uint32_t i,
                       uint32_t* position);

// A change record (ReadChangeRecord) and its position.
struct ChangeCodeRecord {
  uint32_t position = 0;
  char code[kChangeCodeTextSize] = "";
  char name[kChangeCodeNameSize] = "";
  char second[kChangeCodeNameSize] = "";
  uint32_t number1 = 0;  // latitude
  uint32_t number2 = 0;  // longitude
  int digit = 0;         // precision digit
  int scale = 0;         // precision code (a scale code)
  int classCode = 0;     // status
};

// The change records of one block's table, read in order: record 0 sets
// the number bases of the others.
class CChangeCodeRecords {
 public:
  CChangeCodeRecords(CChangeCodeIndex* index, const ChangeCodeTable& table)
      : index_(index), table_(table) {}
  // Record k (0-based), read after record 0; false when a read fails.
  bool Read(uint32_t k, ChangeCodeRecord* record);

 private:
  CChangeCodeIndex* index_;
  ChangeCodeTable table_;
  uint32_t base1_ = 0;
  uint32_t base2_ = 0;
};
