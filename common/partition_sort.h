#pragma once
// The quicksort behind the record sorts (CRecordList::SortByDoubleKey and
// CCharDictionary::Sort), the line sorts and the CSV row sorts of the
// search services.
//
// Scheme, over records lo..hi (1-based):
//  - lo >= hi: nothing; hi = lo + 1: the two records are swapped when the
//    first sorts after the second;
//  - otherwise the record at (lo + hi) / 2 is copied as the pivot; an up-scan
//    from lo stops at the first record not below the pivot, a down-scan from
//    hi at the first record not above it; while the scans have not crossed,
//    the two records are swapped (also when both scans stand on the same
//    record) and both scans move on by one; then lo..down and up..hi are
//    sorted.
// The two parts are disjoint, so the order in which they are sorted does not
// change the result. The smaller part is sorted by recursion and the larger
// one by the loop, which keeps the recursion depth under log2(n) whatever
// the input.
//
// Ops supplies:
//   void LoadPivot(int64_t n);         copy record n as the pivot
//   bool BelowPivot(int64_t n);        record n sorts before the pivot
//   bool AbovePivot(int64_t n);        record n sorts after the pivot
//   void Swap(int64_t a, int64_t b);   exchange two whole records
//   void OrderPair(int64_t a, int64_t b);  swap when a sorts after b
//
// Under a consistent order the scans never leave lo..hi (the pivot's own
// record stops them). The guards below only matter for an inconsistent
// comparator: the range is then left as it is rather than read outside.

#include <cstdint>

template <typename Ops>
void PartitionSort(Ops& ops, int64_t lo, int64_t hi) {
  while (lo < hi) {
    if (hi == lo + 1) {
      ops.OrderPair(lo, hi);
      return;
    }
    ops.LoadPivot((lo + hi) / 2);
    int64_t up = lo;
    int64_t down = hi + 1;
    for (;;) {
      while (up <= hi && ops.BelowPivot(up)) ++up;
      do {
        --down;
      } while (down >= lo && ops.AbovePivot(down));
      if (up > hi || down < lo) return;  // inconsistent comparator
      if (down < up) break;
      ops.Swap(up, down);
      ++up;
    }
    if (down >= hi || up <= lo) return;  // inconsistent comparator
    if (down - lo < hi - up) {
      PartitionSort(ops, lo, down);
      lo = up;
    } else {
      PartitionSort(ops, up, hi);
      hi = down;
    }
  }
}
