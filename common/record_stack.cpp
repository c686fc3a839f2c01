#include "common/record_stack.h"

#include <cstring>

#include "common/partition_sort.h"

// ---------------------------------------------------------------------------
// CRecordStack

int CRecordStack::Create(uint32_t initialCapacity, uint16_t elementSize, uint32_t growthStep) {
  Free();
  return records_.Create(initialCapacity, elementSize, growthStep);
}

int CRecordStack::Pop(void* out) {
  const uint32_t count = records_.GetCount();
  if (count == 0) return 0;
  if (!records_.GetAt(count, out)) return 0;
  records_.DropLast(1);
  return 1;
}

// ---------------------------------------------------------------------------
// CCharDictionary

int CCharDictionary::Create(uint32_t initialCapacity, uint16_t recordSize, uint32_t growthStep) {
  if (recordSize > kWorkRecordSize) return 0;
  return records_.Create(initialCapacity, recordSize, growthStep);
}

int CCharDictionary::View(void* records, uint32_t capacity, uint32_t count, uint16_t recordSize,
                          uint32_t growthStep) {
  if (recordSize > kWorkRecordSize) return 0;
  return records_.View(records, capacity, count, recordSize, growthStep);
}

int32_t CCharDictionary::CompareRecord(uint32_t n, unsigned char* work, const void* key,
                                       RecordCompareFunc cmp) {
  records_.GetAt(n, work);
  return cmp(work, key);
}

namespace {

// Sort operations: the comparator sees copies in the work records A, B and
// the pivot copy C.
class DictionarySortOps {
 public:
  DictionarySortOps(CRecordList& records, unsigned char* a, unsigned char* b, unsigned char* c,
                    RecordCompareFunc cmp)
      : records_(records), a_(a), b_(b), c_(c), cmp_(cmp) {}

  void LoadPivot(int64_t n) { records_.GetAt(Index(n), c_); }
  bool BelowPivot(int64_t n) {
    records_.GetAt(Index(n), a_);
    return cmp_(a_, c_) < 0;
  }
  bool AbovePivot(int64_t n) {
    records_.GetAt(Index(n), b_);
    return cmp_(b_, c_) > 0;
  }
  void Swap(int64_t lower, int64_t upper) {
    if (lower == upper) return;
    records_.GetAt(Index(lower), a_);
    records_.GetAt(Index(upper), b_);
    records_.SetAt(Index(upper), a_);
    records_.SetAt(Index(lower), b_);
  }
  void OrderPair(int64_t lower, int64_t upper) {
    records_.GetAt(Index(lower), a_);
    records_.GetAt(Index(upper), b_);
    if (cmp_(a_, b_) > 0) {
      records_.SetAt(Index(lower), b_);
      records_.SetAt(Index(upper), a_);
    }
  }

 private:
  static uint32_t Index(int64_t n) { return static_cast<uint32_t>(n); }

  CRecordList& records_;
  unsigned char* a_;
  unsigned char* b_;
  unsigned char* c_;
  RecordCompareFunc cmp_;
};

}  // namespace

void CCharDictionary::Sort(uint32_t first, uint32_t last, RecordCompareFunc cmp) {
  if (cmp == nullptr || first >= last) return;
  if (first == 0 || last > records_.GetCapacity()) return;
  DictionarySortOps ops(records_, workA_, workB_, workC_, cmp);
  PartitionSort(ops, first, last);
}

int CCharDictionary::InsertBounded(const void* record, uint32_t max, RecordCompareFunc cmp) {
  if (record == nullptr || cmp == nullptr) return 0;
  // A list bounded to no records keeps none.
  if (max == 0) return 1;
  uint32_t count = records_.GetCount();
  if (count >= max) {
    if (!records_.GetAt(count, workA_)) return 0;
    if (cmp(record, workA_) > 0) return 1;
    if (!records_.SetAt(count, record)) return 0;
  } else {
    if (!records_.Add(record)) return 0;
    count = records_.GetCount();
  }
  if (count <= 1) return 1;
  bool swapped = true;
  while (swapped) {
    swapped = false;
    for (uint32_t n = count - 1; n >= 1; --n) {
      records_.GetAt(n, workA_);
      records_.GetAt(n + 1, workB_);
      if (cmp(workA_, workB_) > 0) {
        records_.SetAt(n, workB_);
        records_.SetAt(n + 1, workA_);
        swapped = true;
      }
    }
  }
  return 1;
}

uint32_t CCharDictionary::Find(const char* op, const void* key, RecordCompareFunc cmp) {
  return FindInRange(op, key, 1, records_.GetCount(), cmp);
}

uint32_t CCharDictionary::FindInRange(const char* op, const void* key, uint32_t first,
                                      uint32_t last, RecordCompareFunc cmp) {
  if (op == nullptr) return 0;
  int kind = 0;
  if (std::strcmp(op, "=") == 0) {
    kind = kFindEqual;
  } else if (std::strcmp(op, "<=") == 0) {
    kind = kFindNotGreater;
  } else if (std::strcmp(op, ">=") == 0) {
    kind = kFindNotLess;
  } else if (std::strcmp(op, "<") == 0) {
    kind = kFindLess;
  } else if (std::strcmp(op, ">") == 0) {
    kind = kFindGreater;
  } else {
    return 0;
  }
  if (records_.GetCount() == 0) return 0;
  return BinarySearch(kind, key, first, last, cmp);
}

uint32_t CCharDictionary::BinarySearch(int kind, const void* key, uint32_t first, uint32_t last,
                                       RecordCompareFunc cmp) {
  if (cmp == nullptr || kind < kFindEqual || kind > kFindGreater) return 0;
  uint32_t inUse = records_.GetCount();
  if (inUse > records_.GetCapacity()) inUse = records_.GetCapacity();
  if (first == 0 || first > last || last > inUse) return 0;

  auto at = [&](uint32_t n) { return CompareRecord(n, workA_, key, cmp); };
  // From an equal record, down to the first of its run, not below floor.
  auto firstEqual = [&](uint32_t n, uint32_t floor) {
    while (n > floor && at(n - 1) == 0) --n;
    return n;
  };
  // From an equal record, up to the last of its run, staying below ceiling.
  auto lastEqualBelow = [&](uint32_t n, uint32_t ceiling) {
    while (n + 1 < ceiling && at(n + 1) == 0) ++n;
    return n;
  };

  uint32_t lo = first;
  uint32_t hi = last;
  for (;;) {
    int32_t c = at(lo);
    switch (kind) {
      case kFindEqual:
        if (c == 0) return lo;
        if (c > 0) return 0;
        if (lo == hi) return 0;
        c = at(hi);
        if (c == 0) return firstEqual(hi, lo + 1);
        if (c < 0) return 0;
        if (hi == lo + 1) return 0;
        break;
      case kFindNotGreater:
        if (c > 0) return 0;
        if (c == 0) {
          const uint32_t n = lastEqualBelow(lo, hi);
          if (n + 1 < hi) return n;  // a greater record follows the run
        }
        if (lo == hi) return lo;
        c = at(hi);
        if (c <= 0) return hi;
        if (hi == lo + 1) return lo;
        break;
      case kFindNotLess:
        if (c >= 0) return lo;
        if (lo == hi) return 0;
        c = at(hi);
        if (c < 0) return 0;
        if (c == 0) return firstEqual(hi, lo + 1);
        if (hi == lo + 1) return hi;
        break;
      case kFindLess:
        if (c >= 0) return 0;
        if (lo == hi) return lo;
        c = at(hi);
        if (c < 0) return hi;
        if (hi == lo + 1) return lo;
        break;
      default:  // kFindGreater
        if (c > 0) return lo;
        if (lo == hi) return 0;
        c = at(hi);
        if (c <= 0) return 0;
        if (hi == lo + 1) return hi;
        break;
    }

    // rec(lo) < key < rec(hi) as far as the kind needs, and hi >= lo + 2.
    const uint32_t m = static_cast<uint32_t>((static_cast<uint64_t>(lo) + hi) / 2);
    c = at(m);
    if (c < 0) {
      lo = m;
      continue;
    }
    if (c > 0) {
      hi = m;
      continue;
    }
    switch (kind) {
      case kFindEqual:
      case kFindNotLess:
        return firstEqual(m, lo + 1);
      case kFindNotGreater:
        return lastEqualBelow(m, hi);
      case kFindLess: {
        uint32_t n = m - 1;
        while (n > lo && at(n) == 0) --n;
        return n;
      }
      default: {  // kFindGreater
        uint32_t n = m + 1;
        while (n < hi && at(n) == 0) ++n;
        return n;
      }
    }
  }
}
