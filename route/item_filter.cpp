#include "route/item_filter.h"

void dropNodeFlag(TmpItemAry::Item& item, std::uint32_t flag) {
  TmpItemAry::Node* node = item.node.get();
  if (!node || (node->flags & flag) == 0) return;
  const bool only = node->flags == flag;
  node->flags &= ~flag;
  if (only) item.node.reset();
}

bool CRPFLoopBase::run(TmpItemAry& items) {
  for (TmpItemAry::Item& item : items.items()) visitItem(item);
  return true;
}

void CRPFLoopBase::visitItem(TmpItemAry::Item& item) {
  if (item.node) visitNode(item.node.get());
  if (item.link) visitLink(item.link.get());
}

void CRPFLoopBase::visitNode(TmpItemAry::Node*) {}

void CRPFLoopBase::visitPoints(std::vector<TmpItemAry::Point>&) {}

void CRPFLoopBase::visitLink(TmpItemAry::Link* link) { visitPoints(link->points); }
