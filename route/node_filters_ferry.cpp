// Ferry, interchange and junction node filters.

#include <cstring>
#include <iterator>
#include <vector>

#include "route/node_filters.h"

using Items = std::list<TmpItemAry::Item>;

namespace {

bool Has(const TmpItemAry::Item& item, std::uint32_t flags) {
  return item.node && (item.node->flags & flags) == flags;
}

}  // namespace

bool CMarkFerryFacilNode::run(TmpItemAry& items) {
  for (TmpItemAry::Item& item : items.items())
    if (item.node && (item.node->facilNo & 0x8000)) item.node->flags |= nodeflag::kFerry;
  return true;
}

bool CEraseFerryNode::run(TmpItemAry& items) {
  Items& list = items.items();
  if (list.size() <= 2) return true;
  for (auto a = list.begin(), b = std::next(a), c = std::next(b); c != list.end();
       a = b, b = c, ++c) {
    if (!b->link || !isFerryLink(*a) || isFerryLink(*b) || !isFerryLink(*c)) continue;
    if (linkDistance(*b) - linkDistance(*a) <= 100) b->link->roadType = 0;
  }
  for (auto a = list.begin(), b = std::next(a); b != list.end(); a = b++)
    if (b->node && isFerryLink(*a) && isFerryLink(*b)) b->node.reset();
  return true;
}

bool CMakeFerryNodeName::run(TmpItemAry& items) {
  for (TmpItemAry::Item& item : items.items()) {
    TmpItemAry::Node* node = item.node.get();
    if (!node || node->facilNo == 0 || (node->facilNo & 0x8000) == 0) continue;
    node->flags |= nodeflag::kFerry;
    node->name = highway_->getFacilityName(node->facilNo).name;
    if (node->name.empty()) node->name = "フェリー乗り場";
  }
  return true;
}

bool CEraseFerryLoopNode::run(TmpItemAry& items) {
  Items& list = items.items();
  if (list.empty()) return true;
  auto b = std::next(list.begin());
  for (; b != list.end(); ++b)
    if (Has(*b, nodeflag::kFerry | nodeflag::kBreak) && !isFerryLink(*b) &&
        !isFerryLink(*std::prev(b)))
      break;
  if (b == list.end()) return true;
  const std::string& name = b->node->name;
  auto sameTerminal = [&](const TmpItemAry::Item& x) {
    return x.node && (x.node->flags & nodeflag::kFerry) && !(x.node->flags & nodeflag::kBreak) &&
           x.node->name == name;
  };
  for (auto x = list.begin(); x != b; ++x)
    if (sameTerminal(*x)) {
      list.erase(x, b);
      return true;
    }
  for (auto x = std::next(b); x != list.end(); ++x)
    if (sameTerminal(*x)) {
      x->node = std::move(b->node);
      list.erase(b, x);
      return true;
    }
  return true;
}

namespace {

// One walk of the break-interchange move, over [first, last) in the
// iterator's order.
template <class It>
void MoveBreakIcWalk(It first, It last) {
  TmpItemAry::Item* candidate = nullptr;
  for (It i = first; i != last; ++i) {
    if (!isHighwayLink(*i)) candidate = nullptr;
    if (!Has(*i, nodeflag::kInterchange)) continue;
    if (i->node->flags & nodeflag::kBreak) {
      if (candidate) {
        candidate->node->flags |= nodeflag::kBreak;
        candidate->node->name = i->node->name;
        i->node.reset();
      }
      return;
    }
    candidate = &*i;
  }
}

}  // namespace

bool CMoveBreakIc::run(TmpItemAry& items) {
  Items& list = items.items();
  if (list.empty()) return true;
  int n = 0;
  for (const TmpItemAry::Item& item : list)
    if (Has(item, nodeflag::kInterchange | nodeflag::kBreak)) ++n;
  if (n > 0) MoveBreakIcWalk(list.begin(), list.end());
  if (n > 1) MoveBreakIcWalk(list.rbegin(), list.rend());
  return true;
}

bool CEraseNotInOutIcNode::run(TmpItemAry& items) {
  Items& list = items.items();
  if (list.empty()) return true;
  bool h = isHighwayLink(list.front());
  bool keep = !h;
  std::vector<TmpItemAry::Item*> candidates;
  for (TmpItemAry::Item& item : list) {
    const bool b = isHighwayLink(item);
    // Entering a highway comes first, so that the entry's own node is the
    // one kept at the start of the stretch. This follows the rule the step
    // exists for (on each highway stretch only the first and the last
    // interchange-like node keep the interchange flag) rather than the
    // order in which its walk is usually told: testing the node before
    // noting the entry would keep the entry's node and the one after it.
    if (b != h && b) {
      h = b;
      keep = true;
    }
    if (b && (Has(item, nodeflag::kBreak | nodeflag::kInterchange) ||
              (item.node && item.node->facilNo != 0))) {
      if (keep)
        keep = false;
      else
        candidates.push_back(&item);
    }
    if (b != h) {
      h = b;
      if (!candidates.empty()) candidates.pop_back();
    }
  }
  for (auto c = candidates.rbegin(); c != candidates.rend(); ++c) {
    TmpItemAry::Item& item = **c;
    if (!item.node || (item.node->flags & nodeflag::kBreak)) continue;
    dropNodeFlag(item, nodeflag::kInterchange);
  }
  return true;
}

bool CEraseNameMatchNode::run(TmpItemAry& items) {
  static const char* const kNames[] = {"本線上分岐", "本線分岐", "本線合流", "起点", "終点"};
  for (TmpItemAry::Item& item : items.items()) {
    if (!item.node || (item.node->flags & nodeflag::kBreak)) continue;
    for (const char* name : kNames)
      if (item.node->name == name) {
        item.node.reset();
        break;
      }
  }
  return true;
}

namespace {

// An interchange node becomes the anchor, placed at the end of the link
// before it; another facility node in between clears it.
void Follow(TmpItemAry::Item& item, const TmpItemAry::Item& before, TmpItemAry::Item*& anchor,
            std::int64_t& anchorPos) {
  if (!item.node) return;
  if (item.node->flags & nodeflag::kInterchange) {
    anchorPos = linkDistance(before);
    anchor = &item;
  } else if (item.node->facilNo != 0) {
    anchor = nullptr;
  }
}

}  // namespace

bool CMoveInOutIcNode::run(TmpItemAry& items) {
  Items& list = items.items();
  if (list.empty()) return true;
  constexpr std::int64_t kReach = 5000;
  {
    TmpItemAry::Item* anchor = nullptr;
    std::int64_t anchorPos = 0;
    for (auto p = list.begin(), i = std::next(p); i != list.end(); p = i++) {
      Follow(*i, *p, anchor, anchorPos);
      if (isHighwayLink(*p) && !isHighwayLink(*i) && anchor && anchor != &*i &&
          linkDistance(*p) - anchorPos <= kReach)
        i->node = std::move(anchor->node);
    }
  }
  {
    TmpItemAry::Item* anchor = nullptr;
    std::int64_t anchorPos = 0;
    for (auto e = std::prev(list.end()); e != list.begin(); --e) {
      auto c = std::prev(e);
      Follow(*e, *c, anchor, anchorPos);
      if (isHighwayLink(*e) && !isHighwayLink(*c) && anchor && anchor != &*e &&
          anchorPos - linkDistance(*c) <= kReach)
        e->node = std::move(anchor->node);
    }
  }
  return true;
}

bool CEraseJctNode::run(TmpItemAry& items) {
  Items& list = items.items();
  if (list.empty()) return true;
  for (auto p = list.begin(), i = std::next(p); i != list.end(); p = i++)
    if (Has(*i, nodeflag::kJunction) && isHighwayLink(*p) && isHighwayLink(*i) &&
        p->link->roadNameIdx == i->link->roadNameIdx)
      dropNodeFlag(*i, nodeflag::kJunction);
  return true;
}
