#include "tabledb/place_code_registry.h"

#include <cstring>
#include <memory>

#include "common/allocation_guard.h"
#include "common/number_parse.h"
#include "common/sjis_text.h"

CPlaceCodeRegistry::CPlaceCodeRegistry() {
  std::memset(prefecture_, 0, sizeof prefecture_);
  for (CStringTree*& bucket : buckets_) bucket = nullptr;
}

namespace {

// Characters first to last (1-based) of text into out (16 bytes); the
// characters are found by walking forward.
void CopyChars(const char* text, int first, int last, char* out) {
  const char* from = GetCharPtr(text, first);
  const char* to = GetCharPtr(text, last + 1);
  const size_t length = static_cast<size_t>(to - from);
  std::memcpy(out, from, length);  // at most 3 characters of 2 bytes
  out[length] = '\0';
}

}  // namespace

int CPlaceCodeRegistry::BucketOf(const char* code) {
  if (CountChars(code) < 5) return kOtherBucket;
  char head[16];
  char digits[16];
  CopyChars(code, 1, 2, head);
  CopyChars(code, 3, 5, digits);
  int32_t bucket = 0;
  if (prefecture_[0] == '\0') {
    int32_t prefecture = 0;
    if (!ParseIntInRange(head, &prefecture, 1, 47) || !ParseIntInRange(digits, &bucket, 0, 999))
      return kOtherBucket;
    std::memcpy(prefecture_, head, std::strlen(head) + 1);
    return bucket;
  }
  if (std::strcmp(head, prefecture_) == 0 && ParseIntInRange(digits, &bucket, 0, 999))
    return bucket;
  return kOtherBucket;
}

int CPlaceCodeRegistry::Register(int32_t value, const char* code) {
  if (code == nullptr || code[0] == '\0') return 0;
  // Without memory for a new tree the answer is 0.
  return CatchAllocationFailure(0, [&] {
    CStringTree*& tree = buckets_[BucketOf(code)];
    if (tree == nullptr) {
      auto created = std::make_unique<CStringTree>();
      // Without its pool the bucket stays unused, so that a later code tries again.
      if (!created->Create(kTreePoolSize, kTreePoolGrowth)) return 0;
      tree = created.release();
    }
    return tree->Insert(value, code) != CStringTree::kNone ? 1 : 0;
  });
}

int CPlaceCodeRegistry::Find(const char* code) {
  if (code == nullptr || code[0] == '\0') return 0;
  CStringTree* tree = buckets_[BucketOf(code)];
  return tree != nullptr && tree->Find(code) != CStringTree::kNone ? 1 : 0;
}

int CPlaceCodeRegistry::ResetBuckets() {
  int result = 1;
  for (CStringTree* tree : buckets_) {
    if (tree != nullptr && !tree->Reset()) result = 0;
  }
  return result;
}

void CPlaceCodeRegistry::RemoveAll() {
  std::memset(prefecture_, 0, sizeof prefecture_);
  for (CStringTree*& tree : buckets_) {
    delete tree;
    tree = nullptr;
  }
}

CStringTree* CPlaceCodeRegistry::GetBucket(int index) {
  return index >= 0 && index < kBucketCount ? buckets_[index] : nullptr;
}
