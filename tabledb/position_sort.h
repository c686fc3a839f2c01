#pragma once
// The quicksort of the sorted position arrays (CTableSorter and
// CRecordIndexFile), and the order of two records' numeric key values that
// both compare by. Internal to the table database library.
//
// Elements are 32-bit record positions numbered from 1, read and written
// one at a time through the caller's storage. The sort runs without
// recursion over a stack of (low, high) ranges:
//  - a range of one element needs nothing; a range of two is swapped when
//    the first compares greater than the second;
//  - otherwise the element at (low + high) / 2 is copied as the pivot;
//    i = low - 1, j = high + 1; repeat: advance i while element i compares
//    below the pivot, move j back while element j compares above it; stop
//    when j < i, else swap elements i and j (nothing moves when they are
//    the same); then the ranges (low, j) and (i, high) are pushed.
// Equal keys therefore come out in the order this scheme leaves them, not
// in input order.
//
// Ops supplies:
//   int Get(uint32_t index, uint32_t* value);
//   int Set(uint32_t index, uint32_t value);
//   int Compare(uint32_t a, uint32_t b, int32_t* result);  // element values
// each answering 0 for a failure, which ends the sort with 0. A range
// outside the elements or a scan that would leave its range (only an
// inconsistent comparison can cause one) fails the sort as well.

#include <cmath>
#include <cstdint>

#include "common/le_bytes.h"
#include "common/record_stack.h"
#include "tabledb/table_database.h"

namespace tabledb_detail {

inline void StoreRange(unsigned char* out, uint32_t low, uint32_t high) {
  StoreLeValue(out, low);
  StoreLeValue(out + 4, high);
}

inline void LoadRange(const unsigned char* in, uint32_t* low, uint32_t* high) {
  *low = LoadLeValue<uint32_t>(in);
  *high = LoadLeValue<uint32_t>(in + 4);
}

template <typename Ops>
int SwapElements(Ops& ops, uint32_t a, uint32_t b) {
  uint32_t va = 0;
  uint32_t vb = 0;
  if (!ops.Get(a, &va) || !ops.Get(b, &vb)) return 0;
  return ops.Set(a, vb) && ops.Set(b, va) ? 1 : 0;
}

inline int PushRange(CRecordStack& stack, uint32_t low, uint32_t high) {
  unsigned char range[8];
  StoreRange(range, low, high);
  return stack.Push(range);
}

}  // namespace tabledb_detail

template <typename Ops>
int SortPositions(Ops& ops, uint32_t low, uint32_t high) {
  using namespace tabledb_detail;
  if (low == 0 || high < low) return 0;
  const uint32_t n = high - low + 1;
  const uint32_t capacity = n / 5 > 10 ? n / 5 : 10;
  const uint32_t growth = capacity / 3 > 0 ? capacity / 3 : 1;
  CRecordStack stack;
  if (!stack.Create(capacity, 8, growth)) return 0;
  if (!PushRange(stack, low, high)) return 0;

  unsigned char range[8];
  while (stack.Pop(range)) {
    uint32_t lo = 0;
    uint32_t hi = 0;
    LoadRange(range, &lo, &hi);
    if (lo == 0 || hi < lo) return 0;
    if (lo == hi) continue;
    if (hi == lo + 1) {
      uint32_t a = 0;
      uint32_t b = 0;
      int32_t result = 0;
      if (!ops.Get(lo, &a) || !ops.Get(hi, &b) || !ops.Compare(a, b, &result)) return 0;
      if (result > 0 && !(ops.Set(lo, b) && ops.Set(hi, a))) return 0;
      continue;
    }
    uint32_t pivot = 0;
    const uint32_t middle = static_cast<uint32_t>((static_cast<uint64_t>(lo) + hi) / 2);
    if (!ops.Get(middle, &pivot)) return 0;
    int64_t i = static_cast<int64_t>(lo) - 1;
    int64_t j = static_cast<int64_t>(hi) + 1;
    for (;;) {
      int32_t result = 0;
      uint32_t value = 0;
      do {
        if (++i > hi) return 0;
        if (!ops.Get(static_cast<uint32_t>(i), &value) || !ops.Compare(value, pivot, &result))
          return 0;
      } while (result < 0);
      do {
        if (--j < lo) return 0;
        if (!ops.Get(static_cast<uint32_t>(j), &value) || !ops.Compare(value, pivot, &result))
          return 0;
      } while (result > 0);
      if (j < i) break;
      if (i != j && !SwapElements(ops, static_cast<uint32_t>(i), static_cast<uint32_t>(j)))
        return 0;
    }
    // lo <= j < i <= hi here, so both ranges are smaller than this one.
    if (!PushRange(stack, lo, static_cast<uint32_t>(j)) ||
        !PushRange(stack, static_cast<uint32_t>(i), hi))
      return 0;
  }
  return 1;
}

namespace tabledb_detail {

template <typename T>
int32_t Order(T a, T b, int32_t d) {
  if (a == b) return 0;
  return a > b ? d : -d;
}

template <typename T>
int OrderValuesAt(CTableDatabase& db, int (CTableDatabase::*get)(uint32_t, uint32_t, T*),
                  uint32_t offset, uint32_t a, uint32_t b, int32_t d, int32_t* order) {
  T va = 0;
  T vb = 0;
  if (!(db.*get)(a, offset, &va) || !(db.*get)(b, offset, &vb)) return 0;
  *order = Order(va, vb, d);
  return 1;
}

// Orders the values of a numeric field (UCHAR to DOUBLE) at the offset of
// records a and b: *order is 0 for equal values, d when a's value is the
// larger and -d when it is the smaller (d: 1 ascending, -1 descending).
// CHAR orders as the signed byte it holds; doubles less than 1e-8 apart
// are equal. Answers 1; 0 when a value cannot be read; -1 (nothing read)
// for a field type that is not a number.
inline int OrderNumberField(CTableDatabase& db, int32_t type, uint32_t offset, uint32_t a,
                            uint32_t b, int32_t d, int32_t* order) {
  switch (type) {
    case kTdbUchar:
      return OrderValuesAt(db, &CTableDatabase::GetUcharAt, offset, a, b, d, order);
    case kTdbChar: {
      char va = 0;
      char vb = 0;
      if (!db.GetCharAt(a, offset, &va) || !db.GetCharAt(b, offset, &vb)) return 0;
      *order = Order(static_cast<signed char>(va), static_cast<signed char>(vb), d);
      return 1;
    }
    case kTdbWord:
      return OrderValuesAt(db, &CTableDatabase::GetWordAt, offset, a, b, d, order);
    case kTdbShort:
      return OrderValuesAt(db, &CTableDatabase::GetShortAt, offset, a, b, d, order);
    case kTdbDword:
      return OrderValuesAt(db, &CTableDatabase::GetDwordAt, offset, a, b, d, order);
    case kTdbInt:
      return OrderValuesAt(db, &CTableDatabase::GetIntAt, offset, a, b, d, order);
    case kTdbDouble: {
      double va = 0;
      double vb = 0;
      if (!db.GetDoubleAt(a, offset, &va) || !db.GetDoubleAt(b, offset, &vb)) return 0;
      *order = std::fabs(va - vb) < 1e-8 ? 0 : (va > vb ? d : -d);
      return 1;
    }
    default:
      return -1;
  }
}

}  // namespace tabledb_detail
