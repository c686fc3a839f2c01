#pragma once
// The place codes already written during one search, so that a lister
// writes each code once: it asks Find first and, when the code is new,
// writes its row and calls Register.
//
// The codes of one prefecture are spread over 1,001 buckets, each a string
// tree made on first use. The first code whose characters 1-2 read as a
// number 1 to 47 and characters 3-5 as a number 0 to 999 fixes the
// prefecture (characters 1-2). Codes of the fixed prefecture go to bucket
// "characters 3-5"; every other code (another prefecture, fewer than 5
// characters, characters 3-5 not a number) goes to bucket 1000. Find
// follows the same rule, so a first Find may fix the prefecture as well.

#include <cstdint>

#include "tabledb/string_tree.h"

class CPlaceCodeRegistry {
 public:
  static constexpr int kBucketCount = 1001;
  static constexpr int kOtherBucket = 1000;
  // Pool of a bucket's tree: initial size and growth step in bytes.
  static constexpr uint32_t kTreePoolSize = 512;
  static constexpr uint32_t kTreePoolGrowth = 4096;

  CPlaceCodeRegistry();
  ~CPlaceCodeRegistry() { RemoveAll(); }
  CPlaceCodeRegistry(const CPlaceCodeRegistry&) = delete;
  CPlaceCodeRegistry& operator=(const CPlaceCodeRegistry&) = delete;

  // Stores the code with the value in its bucket (no test for duplicates:
  // callers ask Find first); 1, or 0 for a null or empty code or when
  // memory runs out.
  int Register(int32_t value, const char* code);
  // 1 when the code is stored, else 0.
  int Find(const char* code);
  // Empties every bucket's tree, keeping the trees and the fixed
  // prefecture (so that afterwards the codes of any other prefecture go to
  // bucket 1000); 0 when a tree could not be emptied, else 1.
  int ResetBuckets();
  // Forgets the fixed prefecture and frees every tree.
  void RemoveAll();

  // The fixed prefecture ("" while none is fixed).
  const char* GetPrefecture() const { return prefecture_; }
  // The tree of bucket index, or null while the bucket is unused or the
  // index is outside 0-1000.
  CStringTree* GetBucket(int index);

 private:
  int BucketOf(const char* code);

  char prefecture_[16];
  CStringTree* buckets_[kBucketCount];
};
