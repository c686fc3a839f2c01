// Ferry, interchange and junction node filters.

#include <cstddef>
#include <cstring>
#include <iterator>
#include <vector>

#include "route/node_filters.h"
#include "route/route_times.h"

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
        // The break node moves whole: its flag, its name and its time.
        TmpItemAry::Node& to = *candidate->node;
        const TmpItemAry::Node& from = *i->node;
        to.flags |= nodeflag::kBreak;
        to.name = from.name;
        setNodeTime(to, nodeTime(from));
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

// The interchange that a highway exit or entry may take: its item, the
// distance at which its node stands (the end of the nearest link before
// it) and the leg that distance counts in.
struct IcAnchor {
  TmpItemAry::Item* item = nullptr;
  std::int64_t pos = 0;
  std::int32_t leg = 0;
};

// An interchange node becomes the anchor, standing where the link `before`
// (the nearest item before it with a link) ends. Another facility node in
// between clears it, and so does a break node: the interchange would
// otherwise move past a facility or to the other side of a stop.
void Follow(TmpItemAry::Item& item, const TmpItemAry::Item& before, IcAnchor& anchor) {
  if (!item.node) return;
  if (item.node->flags & nodeflag::kInterchange) {
    anchor.item = &item;
    anchor.pos = before.link->distance;
    anchor.leg = before.link->leg;
  } else if (item.node->facilNo != 0 || (item.node->flags & nodeflag::kBreak)) {
    anchor.item = nullptr;
  }
}

// The anchor's node takes the place of the target's node. A break node is
// never given up: the interchange then stays where it is.
void MoveOnto(IcAnchor& anchor, TmpItemAry::Item& target) {
  if (target.node && (target.node->flags & nodeflag::kBreak)) return;
  target.node = std::move(anchor.item->node);
}

}  // namespace

bool CMoveInOutIcNode::run(TmpItemAry& items) {
  Items& list = items.items();
  if (list.empty()) return true;
  constexpr std::int64_t kReach = 5000;
  // The items in order and, for each, the nearest item before it with a
  // link (-1: none). An item without a link is passed over: whether the
  // route is on a highway there is told by the links around it, and its
  // node stands where the link before it ends.
  std::vector<TmpItemAry::Item*> at;
  at.reserve(list.size());
  for (TmpItemAry::Item& item : list) at.push_back(&item);
  std::vector<std::ptrdiff_t> linkedBefore(at.size(), -1);
  for (std::size_t k = 1; k < at.size(); ++k)
    linkedBefore[k] = at[k - 1]->link ? static_cast<std::ptrdiff_t>(k - 1) : linkedBefore[k - 1];
  // Distances are compared only within one leg.
  auto within = [&](const IcAnchor& anchor, const TmpItemAry::Item& linked, std::int64_t length) {
    return anchor.leg == linked.link->leg && length <= kReach;
  };
  {
    // Forward: the route leaves the highway where a link follows the last
    // highway link and is not one.
    IcAnchor anchor;
    for (std::size_t k = 1; k < at.size(); ++k) {
      if (linkedBefore[k] < 0) continue;
      TmpItemAry::Item& i = *at[k];
      const TmpItemAry::Item& p = *at[static_cast<std::size_t>(linkedBefore[k])];
      Follow(i, p, anchor);
      if (i.link && isHighwayLink(p) && !isHighwayLink(i) && anchor.item && anchor.item != &i &&
          within(anchor, p, p.link->distance - anchor.pos))
        MoveOnto(anchor, i);
    }
  }
  {
    // Backward: the route gets onto the highway at a highway link whose
    // nearest link before it is not one.
    IcAnchor anchor;
    for (std::size_t k = at.size(); k-- > 1;) {
      if (linkedBefore[k] < 0) continue;
      TmpItemAry::Item& e = *at[k];
      const TmpItemAry::Item& c = *at[static_cast<std::size_t>(linkedBefore[k])];
      Follow(e, c, anchor);
      if (isHighwayLink(e) && !isHighwayLink(c) && anchor.item && anchor.item != &e &&
          within(anchor, c, anchor.pos - c.link->distance))
        MoveOnto(anchor, e);
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
