#pragma once
// Writer of the change history pair QAD_CH%02d.CDB / QAD_CH%02d.CIX (the
// formats are described in change_history.h). Records are collected packed
// in memory, sorted, and written with their index tables.

#include <cstdint>

#include "common/record_array.h"
#include "tabledb/change_history.h"

class CChangeHistoryBuilder {
 public:
  CChangeHistoryBuilder();
  ~CChangeHistoryBuilder();
  CChangeHistoryBuilder(const CChangeHistoryBuilder&) = delete;
  CChangeHistoryBuilder& operator=(const CChangeHistoryBuilder&) = delete;

  // Room for `capacity` records (31 bytes each are reserved), growing by
  // `growth` records; the format version goes into the data header (200 or
  // more: the precision byte carries a digit). 0 when a list cannot be
  // sized.
  int Init(uint32_t capacity, uint32_t growth, uint32_t formatVersion);
  void Free();

  // Encodes and appends one record; 0 (nothing added, no message) for bad
  // input:
  //  - code: exactly 11 characters, city 1000-47999 and two ParseCode3
  //    parts;
  //  - blockCode, lotCode: empty (number 0) or readable by ParseCode5;
  //  - scaleText: "10000", "25000", "50000", "70000", "80000" or "2000";
  //  - digitText: null or "" for none, else one digit "0"-"9"; refused
  //    below format version 200, where the byte holds the scale code only;
  //  - every text below 256 bytes; classCode 0 to 255.
  // A name that only repeats its number in digits (either width) is not
  // stored, nor a sort form equal to its name: the reader makes them back.
  int AddRecord(const char* code, const char* blockCode, const char* lotCode, uint32_t coordinate1,
                uint32_t coordinate2, const char* scaleText, const char* name1, const char* name2,
                const char* sortForm1, const char* sortForm2, int classCode, const char* digitText);

  // Orders the records by (city code, part 1, part 2, sort form 1, sort
  // form 2), the sort forms taken as the reader makes them (the order the
  // reader's searches need); or by (city code, part 1, part 2, block number,
  // lot number). Equal keys keep no particular order. On failure
  // "ソートに失敗しました！".
  int SortByNames(char* msg);
  int SortByNumbers(char* msg);

  // Writes both files. On failure one message and neither file is left.
  // Blocks are grouped by (address code, block number, sort form 1).
  int WriteCompiledData(const char* dataPath, const char* indexPath, char* msg);

  // Creation time written into both headers: the pinned value, else the
  // present time (seconds since 1970, low 32 bits).
  void PinCreationTime(uint32_t seconds);
  void UnpinCreationTime();

  uint32_t GetRecordCount() const { return recordOffsets_.GetCount(); }

 private:
  template <typename Less>
  int SortRecords(Less less, char* msg);
  uint32_t CreationTime() const;

  uint32_t formatVersion_;
  CRecordList recordBytes_;
  CRecordList recordOffsets_;
  uint32_t growth_;
  bool timePinned_;
  uint32_t pinnedTime_;
};
