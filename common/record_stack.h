#pragma once
// Two thin classes over CRecordList:
//  - CRecordStack: last in, first out, of fixed-size records;
//  - CCharDictionary: a record list sorted and searched under a comparator
//    the caller passes (quicksort, bounded sorted insert, and a binary search
//    answering "=", "<=", ">=", "<" and ">").

#include <cstdint>

#include "common/record_array.h"

class CRecordStack {
 public:
  CRecordStack() = default;
  ~CRecordStack() { Free(); }
  CRecordStack(const CRecordStack&) = delete;
  CRecordStack& operator=(const CRecordStack&) = delete;

  int Create(uint32_t initialCapacity, uint16_t elementSize, uint32_t growthStep);
  void Free() { records_.Free(); }
  int IsEmpty() const { return records_.GetCount() == 0 ? 1 : 0; }
  uint32_t GetCount() const { return records_.GetCount(); }
  // Grows by the growth step when full.
  int Push(const void* record) { return records_.Add(record); }
  // 0 when empty; otherwise the top record is copied out and removed.
  int Pop(void* out);

 private:
  CRecordList records_;
};

// Compares two records: negative when the first sorts before the second,
// 0 when equal, positive when after. In searches the first argument is a
// copy of a stored record and the second the caller's key.
typedef int32_t (*RecordCompareFunc)(const void* a, const void* b);

class CCharDictionary {
 public:
  // Search kinds of BinarySearch.
  enum : int {
    kFindEqual = 1,       // "="  lowest record equal to the key
    kFindNotGreater = 2,  // "<=" highest record not greater than the key
    kFindNotLess = 3,     // ">=" lowest record not less than the key
    kFindLess = 4,        // "<"  highest record less than the key
    kFindGreater = 5,     // ">"  lowest record greater than the key
  };

  // Work record size, and so the largest record a dictionary holds.
  static constexpr uint32_t kWorkRecordSize = 12800;

  CCharDictionary() = default;
  ~CCharDictionary() = default;
  CCharDictionary(const CCharDictionary&) = delete;
  CCharDictionary& operator=(const CCharDictionary&) = delete;

  // Refused for records larger than the work records.
  int Create(uint32_t initialCapacity, uint16_t recordSize, uint32_t growthStep);
  // The records in place (CRecordList::View); refused, too, for records
  // larger than the work records. The records must be sorted for searches
  // as after a Sort.
  int View(void* records, uint32_t capacity, uint32_t count, uint16_t recordSize,
           uint32_t growthStep);
  void Free() { records_.Free(); }
  int Add(const void* record) { return records_.Add(record); }
  int GetAt(uint32_t n, void* out) const { return records_.GetAt(n, out); }
  int SetAt(uint32_t n, const void* in) { return records_.SetAt(n, in); }
  uint32_t GetCount() const { return records_.GetCount(); }
  void SetCount(uint32_t count) { records_.SetCount(count); }
  uint32_t GetRecordSize() const { return records_.GetElementSize(); }
  uint32_t GetCapacity() const { return records_.GetCapacity(); }
  uint32_t GetGrowthStep() const { return records_.GetGrowthStep(); }
  // The records 1 to the capacity, one after the other; null when none.
  const void* GetBuffer() const { return records_.GetBuffer(); }
  // The stored record n itself (for a comparison that only reads it); null
  // outside the capacity. Valid until the dictionary grows or is freed.
  const void* RecordAt(uint32_t n) const { return records_.GetPtr(n); }

  // Ascending quicksort of records first..last. Not stable. Does nothing
  // for a range outside 1..capacity or without a comparator.
  void Sort(uint32_t first, uint32_t last, RecordCompareFunc cmp);
  // Keeps the list to the max smallest records seen, in comparator order:
  // a record sorting after every kept one of a full list is dropped (1).
  int InsertBounded(const void* record, uint32_t max, RecordCompareFunc cmp);

  // Record number of the answer, or 0. The operator text is exactly one of
  // "=", "<=", ">=", "<", ">"; any other text (and an empty dictionary)
  // gives 0 without searching. The records must be sorted ascending under
  // the same comparator.
  uint32_t Find(const char* op, const void* key, RecordCompareFunc cmp);
  uint32_t FindInRange(const char* op, const void* key, uint32_t first, uint32_t last,
                       RecordCompareFunc cmp);
  uint32_t BinarySearch(int kind, const void* key, uint32_t first, uint32_t last,
                        RecordCompareFunc cmp);

 private:
  // The comparator sees copies in the work records, never the list itself.
  int32_t CompareRecord(uint32_t n, unsigned char* work, const void* key, RecordCompareFunc cmp);

  unsigned char workA_[kWorkRecordSize];
  unsigned char workB_[kWorkRecordSize];
  unsigned char workC_[kWorkRecordSize];
  CRecordList records_;
};
