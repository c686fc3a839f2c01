#include "tabledb/string_tree.h"

#include <cstring>
#include <vector>

#include "common/allocation_guard.h"
#include "common/sjis_text.h"

namespace {

constexpr uint32_t kNodeSize = sizeof(StringTreeNode);
constexpr uint32_t kMaxKeyLength = INT32_MAX - 1;

int32_t LoadInt(const unsigned char* p) {
  int32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

void StoreInt(unsigned char* p, int32_t v) { std::memcpy(p, &v, sizeof v); }

}  // namespace

int CStringTree::Create(uint32_t size, uint32_t growthStep) {
  root_ = kNone;
  count_ = 0;
  return pool_.Create(size, growthStep);
}

int CStringTree::Reset() {
  root_ = kNone;
  count_ = 0;
  if (Base() == nullptr) return 0;
  pool_.Reset();
  return 1;
}

void CStringTree::Free() {
  root_ = kNone;
  count_ = 0;
  pool_.Free();
}

// ---- Offsets and node fields ----

int32_t CStringTree::ToOffset(const void* p) {
  const unsigned char* base = Base();
  const auto* q = static_cast<const unsigned char*>(p);
  if (q == nullptr || base == nullptr || q < base) return kNone;
  return static_cast<int32_t>(q - base);
}

int CStringTree::HoldsBytes(int32_t offset, uint32_t count) const {
  return offset >= 0 && static_cast<uint64_t>(offset) + count <= pool_.GetSize() ? 1 : 0;
}

int32_t CStringTree::Get(int32_t node, Field field) {
  if (!HoldsBytes(node, kNodeSize)) return kNone;
  return LoadInt(Base() + node + 4 * field);
}

void CStringTree::Set(int32_t node, Field field, int32_t value) {
  if (!HoldsBytes(node, kNodeSize)) return;
  StoreInt(Base() + node + 4 * field, value);
}

// The pool never hands out its last byte, which stays 0, so a key read from
// any offset inside the buffer ends inside it.
const char* CStringTree::KeyText(int32_t node) {
  const int32_t key = Get(node, kKey);
  if (!HoldsBytes(key, 1)) return "";
  return reinterpret_cast<const char*>(Base() + key);
}

int CStringTree::IsLiveNode(int32_t node) {
  constexpr auto kHeader = static_cast<int32_t>(CBlockPool::kHeaderSize);
  if (node < kHeader || !HoldsBytes(node, kNodeSize)) return 0;
  // The pool header before the block says how many bytes are in use.
  if (LoadInt(Base() + node - kHeader) != static_cast<int32_t>(kNodeSize)) return 0;
  if (Get(node, kInUse) != 1) return 0;
  return HoldsBytes(Get(node, kKey), 1);
}

int CStringTree::GetNode(int32_t node, StringTreeNode* out) {
  if (out == nullptr || !IsLiveNode(node)) return 0;
  out->inUse = Get(node, kInUse);
  out->value = Get(node, kValue);
  out->key = Get(node, kKey);
  out->parent = Get(node, kParent);
  out->left = Get(node, kLeft);
  out->right = Get(node, kRight);
  return 1;
}

int CStringTree::GetKey(int32_t node, char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return 0;
  buffer[0] = '\0';
  if (!IsLiveNode(node)) return 0;
  const char* key = KeyText(node);
  const size_t length = std::strlen(key);
  if (length >= size) return 0;
  std::memcpy(buffer, key, length + 1);
  return 1;
}

// ---- Insert and search ----

int32_t CStringTree::Insert(int32_t value, const char* key) {
  if (key == nullptr || key[0] == '\0' || Base() == nullptr) return kNone;
  const size_t length = std::strlen(key);
  if (length > kMaxKeyLength) return kNone;

  // Each allocation may move the buffer: keep offsets only.
  const int32_t node = ToOffset(pool_.Alloc(kNodeSize));
  if (node == kNone) return kNone;
  void* keyBlock = pool_.Alloc(static_cast<uint32_t>(length + 1));
  if (keyBlock == nullptr) {
    pool_.FreeBlock(Base() + node);
    return kNone;
  }
  std::memcpy(keyBlock, key, length + 1);
  const int32_t keyOffset = ToOffset(keyBlock);
  Set(node, kInUse, 1);
  Set(node, kValue, value);
  Set(node, kKey, keyOffset);
  Set(node, kParent, kNone);
  Set(node, kLeft, kNone);
  Set(node, kRight, kNone);

  if (root_ == kNone) {
    root_ = node;
  } else {
    int32_t at = root_;
    // A path never holds more nodes than the tree; a longer walk means a
    // damaged tree, which takes no new node.
    for (int32_t steps = 0;; ++steps) {
      if (steps > count_ || !HoldsBytes(at, kNodeSize)) {
        FreeNode(node);
        return kNone;
      }
      const Field side = CompareStrings(key, KeyText(at)) > 0 ? kRight : kLeft;
      const int32_t next = Get(at, side);
      if (next == kNone) {
        Set(at, side, node);
        Set(node, kParent, at);
        break;
      }
      at = next;
    }
  }
  ++count_;
  if (count_ % interval_ == 0) Rebalance(root_);
  return node;
}

int32_t CStringTree::Find(const char* key) {
  if (key == nullptr || key[0] == '\0' || Base() == nullptr) return kNone;
  int32_t at = root_;
  for (int32_t steps = 0; at != kNone && steps <= count_; ++steps) {
    if (!HoldsBytes(at, kNodeSize)) return kNone;
    const int c = CompareStrings(key, KeyText(at));
    if (c == 0) return at;
    at = Get(at, c > 0 ? kRight : kLeft);
  }
  return kNone;
}

// ---- Rebalancing ----

void CStringTree::HalveChain(int32_t node, Field nearSide, Field farSide) {
  const int32_t first = Get(node, nearSide);
  int32_t length = 0;
  for (int32_t at = first; at != kNone && Get(at, farSide) == kNone && length <= count_;
       at = Get(at, nearSide)) {
    ++length;
  }
  scratch_ = length;
  if (length <= 2) return;
  // The middle node m (at position (length + 1) / 2, never the first) takes
  // the chain's place; the part above it becomes its far subtree.
  int32_t middle = first;
  for (int32_t i = 1; i < (length + 1) / 2; ++i) middle = Get(middle, nearSide);
  Set(Get(middle, kParent), nearSide, kNone);
  Set(middle, farSide, first);
  Set(first, kParent, middle);
  Set(node, nearSide, middle);
  Set(middle, kParent, node);
}

// Each node rebalanced hands on at most one node of its left subtree and one
// of its right; the two subtrees share nothing, so a work list takes the
// place of recursion (a deep tree cannot exhaust the stack).
void CStringTree::Rebalance(int32_t node) {
  // Out of memory for the work list: the tree stays as far as it got,
  // sound if less even.
  CatchAllocationFailure(0, [&] {
    std::vector<int32_t> pending;
    pending.push_back(node);
    while (!pending.empty()) {
      const int32_t n = pending.back();
      pending.pop_back();
      if (!HoldsBytes(n, kNodeSize) || (Get(n, kLeft) == kNone && Get(n, kRight) == kNone))
        continue;
      HalveChain(n, kLeft, kRight);
      HalveChain(n, kRight, kLeft);
      int32_t next[2] = {kNone, kNone};
      const Field sides[2][2] = {{kLeft, kRight}, {kRight, kLeft}};
      for (int s = 0; s < 2; ++s) {
        const Field nearSide = sides[s][0];
        const Field farSide = sides[s][1];
        int32_t at = Get(n, nearSide);
        for (int32_t steps = 0; at != kNone && steps <= count_; ++steps) {
          if (Get(at, farSide) != kNone) {
            next[s] = at;
            break;
          }
          at = Get(at, nearSide);
        }
      }
      // The left side first, as a recursion would take them.
      if (next[1] != kNone) pending.push_back(next[1]);
      if (next[0] != kNone) pending.push_back(next[0]);
      if (pending.size() > static_cast<size_t>(count_) + 1) break;
    }
    return 1;
  });
}

// ---- Removal ----

void CStringTree::ReplaceChild(int32_t parent, int32_t child, int32_t replacement) {
  if (parent == kNone) {
    root_ = replacement;
  } else if (Get(parent, kLeft) == child) {
    Set(parent, kLeft, replacement);
  } else {
    Set(parent, kRight, replacement);
  }
  if (replacement != kNone) Set(replacement, kParent, parent);
}

void CStringTree::FreeNode(int32_t node) {
  const int32_t key = Get(node, kKey);
  Set(node, kInUse, 0);
  if (HoldsBytes(key, 1)) pool_.FreeBlock(Base() + key);
  pool_.FreeBlock(Base() + node);
}

int CStringTree::Remove(int32_t node) {
  if (!IsLiveNode(node)) return 0;
  const int32_t parent = Get(node, kParent);
  const int32_t left = Get(node, kLeft);
  const int32_t right = Get(node, kRight);
  // A node of this tree hangs where its parent link says.
  if (parent == kNone ? root_ != node : Get(parent, kLeft) != node && Get(parent, kRight) != node)
    return 0;

  if (left == kNone) {
    ReplaceChild(parent, node, right);
  } else if (right == kNone) {
    ReplaceChild(parent, node, left);
  } else {
    // The left subtree goes under the leftmost node of the right subtree,
    // then the right child takes the node's place.
    int32_t leftmost = right;
    for (int32_t steps = 0; Get(leftmost, kLeft) != kNone && steps <= count_; ++steps)
      leftmost = Get(leftmost, kLeft);
    Set(leftmost, kLeft, left);
    Set(left, kParent, leftmost);
    ReplaceChild(parent, node, right);
  }
  FreeNode(node);
  if (count_ > 0) --count_;
  return 1;
}

int CStringTree::RemoveKey(const char* key) {
  const int32_t node = Find(key);
  return node == kNone ? 0 : Remove(node);
}

// Frees leaf after leaf, climbing back by the parent links: no work list.
void CStringTree::Clear() {
  int32_t at = root_;
  // Every node is entered once from above and left once upwards.
  for (int64_t steps = 0; at != kNone && steps <= 2 * static_cast<int64_t>(count_) + 2; ++steps) {
    if (!HoldsBytes(at, kNodeSize)) break;
    const int32_t left = Get(at, kLeft);
    const int32_t right = Get(at, kRight);
    if (left != kNone) {
      at = left;
    } else if (right != kNone) {
      at = right;
    } else {
      const int32_t parent = Get(at, kParent);
      if (parent != kNone) Set(parent, Get(parent, kLeft) == at ? kLeft : kRight, kNone);
      FreeNode(at);
      at = parent;
    }
  }
  root_ = kNone;
  count_ = 0;
}
