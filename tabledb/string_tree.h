#pragma once
// A search tree of texts whose nodes and keys live in one growing block pool.
//
// Nodes refer to each other by offsets from the start of the pool's buffer,
// never by pointers, so that the links survive the pool moving its buffer
// when it grows. The node handles given to callers are such offsets as well
// (the offset of the node's 24-byte block); kNone (-1) means none. A handle
// stays valid until its node is removed or the tree is cleared, reset or
// freed.
//
// Keys compare by unsigned bytes. A key greater than a node's goes right, a
// key equal to or less than it goes left, so equal keys may stand in the
// tree more than once. Whenever the count reaches a multiple of 2,048, the
// chains of one-sided nodes are halved from the root down, so that a tree
// built from sorted keys does not degenerate into one long chain.

#include <cstdint>

#include "common/block_pool.h"

// One node as it lies in the pool: six 32-bit fields, -1 meaning none.
struct StringTreeNode {
  int32_t inUse;   // 1 while the node stands in the tree
  int32_t value;   // the caller's value
  int32_t key;     // offset of the key text (its own block, length + 1 bytes)
  int32_t parent;  // offset of the parent node
  int32_t left;    // offset of the left child
  int32_t right;   // offset of the right child
};
static_assert(sizeof(StringTreeNode) == 24, "a string-tree node is six 32-bit fields");

class CStringTree {
 public:
  static constexpr int32_t kNone = -1;
  static constexpr int32_t kRebalanceInterval = 2048;

  CStringTree() = default;
  ~CStringTree() { Free(); }
  CStringTree(const CStringTree&) = delete;
  CStringTree& operator=(const CStringTree&) = delete;

  // Empties the tree and creates its pool (initial size and growth step in
  // bytes); 1/0.
  int Create(uint32_t size, uint32_t growthStep);
  // Empties the tree; the pool keeps its buffer. 0 when there is no pool.
  int Reset();
  // Empties the tree and frees the pool.
  void Free();

  // Adds a node for key with value; its handle, or kNone for a null or
  // empty key or when memory runs out.
  int32_t Insert(int32_t value, const char* key);
  // The first node on the search path whose key equals key, or kNone.
  int32_t Find(const char* key);
  // Unlinks and frees the node; 0 when the handle is not a node of the tree.
  int Remove(int32_t node);
  // Removes the node that Find gives; 0 when there is none.
  int RemoveKey(const char* key);
  // Frees every node and key; the tree is empty afterwards.
  void Clear();

  int32_t GetRoot() const { return root_; }
  int32_t GetCount() const { return count_; }
  // Sum of the spans of the pool's blocks.
  uint32_t GetPoolCapacity() { return pool_.GetBlockCapacity(); }
  // Copies the node's six fields; 0 when the handle is not a live node.
  int GetNode(int32_t node, StringTreeNode* out);
  // Copies the node's key into buffer; 0 (buffer "") when the handle is not
  // a live node or the key and its NUL do not fit in size bytes.
  int GetKey(int32_t node, char* buffer, uint32_t size);

 private:
  enum Field { kInUse = 0, kValue, kKey, kParent, kLeft, kRight };

  unsigned char* Base() { return static_cast<unsigned char*>(pool_.GetBuffer()); }
  int32_t ToOffset(const void* p);
  int HoldsBytes(int32_t offset, uint32_t count) const;
  int32_t Get(int32_t node, Field field);
  void Set(int32_t node, Field field, int32_t value);
  const char* KeyText(int32_t node);
  int IsLiveNode(int32_t node);
  // Puts replacement where child hung under parent (under the root when the
  // parent is none); the replacement's parent link is set as well.
  void ReplaceChild(int32_t parent, int32_t child, int32_t replacement);
  void Rebalance(int32_t node);
  // Halves the chain of nodes reached from node's near child along near
  // links while a node has no far child.
  void HalveChain(int32_t node, Field nearSide, Field farSide);
  void FreeNode(int32_t node);

  int32_t count_ = 0;
  int32_t interval_ = kRebalanceInterval;
  int32_t scratch_ = 0;  // length of the chain last measured by a rebalance
  CBlockPool pool_;
  int32_t root_ = kNone;
};
