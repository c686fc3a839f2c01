#pragma once
// Reading the facility tree files (分類.TDB, 施設検索.TDB): below the first
// top-level node and its first child lies a group node ("INDEX" or
// "STRING") whose descendants are the category levels, one sibling chain
// per level.
//
// A sibling chain is walked at most as many steps as the file can hold
// nodes, so a chain that loops in a damaged file ends the walk as a read
// failure, never a hang. Node names longer than kTreeNameSize - 1 bytes are
// a read failure too.

#include <cstddef>
#include <cstdint>
#include <string>

#include "tabledb/tag_db.h"

// Longest node name kept, NUL included.
inline constexpr std::size_t kTreeNameSize = 1024;

// One sibling chain, from its first node.
class TreeChain {
 public:
  TreeChain(CTagDb* tree, uint32_t first);

  // The next node of the chain: 1 with its position, name and record; 0 at
  // the end of the chain or on a read failure (Failed tells).
  int Next(uint32_t* node, std::string* name, TagNode* record);
  bool Failed() const { return failed_; }

 private:
  CTagDb* tree_;
  uint32_t next_;
  uint64_t stepsLeft_;
  bool failed_ = false;
};

// The first child of the top-level node's first child that is named
// `group`: 1 with its record (found 1), 1 with found 0 when there is none,
// 0 on a read failure.
int FindTreeGroup(CTagDb* tree, const char* group, TagNode* record, int* found);

// The node named `name` (byte-wise equal) in the chain from `first`: 1 with
// its record (found 1), 1 with found 0 when there is none, 0 on a read
// failure.
int FindTreeChild(CTagDb* tree, uint32_t first, const char* name, TagNode* record, int* found);
