#include "gazref/facility_tree.h"

#include <cstring>

TreeChain::TreeChain(CTagDb* tree, uint32_t first)
    : tree_(tree), next_(first), stepsLeft_(tree->GetLength() / kTagNodeSize + 1) {}

int TreeChain::Next(uint32_t* node, std::string* name, TagNode* record) {
  if (failed_ || next_ == 0) return 0;
  if (stepsLeft_ == 0) {
    failed_ = true;
    return 0;
  }
  --stepsLeft_;
  char text[kTreeNameSize];
  if (!tree_->GetName(next_, text, sizeof text, record)) {
    failed_ = true;
    return 0;
  }
  *node = next_;
  name->assign(text);
  next_ = record->next;
  return 1;
}

int FindTreeChild(CTagDb* tree, uint32_t first, const char* name, TagNode* record, int* found) {
  *found = 0;
  TreeChain chain(tree, first);
  uint32_t node = 0;
  std::string text;
  while (chain.Next(&node, &text, record)) {
    if (std::strcmp(text.c_str(), name) == 0) {
      *found = 1;
      return 1;
    }
  }
  return chain.Failed() ? 0 : 1;
}

int FindTreeGroup(CTagDb* tree, const char* group, TagNode* record, int* found) {
  *found = 0;
  TagNode root;
  TagNode first;
  const uint32_t top = tree->GetFirstTopNode();
  if (top == 0) return 1;
  if (!tree->ReadNode(top, &root)) return 0;
  if (root.firstChild == 0) return 1;
  if (!tree->ReadNode(root.firstChild, &first)) return 0;
  return FindTreeChild(tree, first.firstChild, group, record, found);
}
