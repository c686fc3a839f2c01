#pragma once
// The node filters of the route result: which nodes stand for highway
// facilities, toll facilities, ferry terminals, interchanges, junctions and
// the route's break points, with their names, flags and fees.
//
// Terms: a link is a highway link when its bit 0 is set, ordinary
// otherwise, and a ferry link when its road type is 0. A link's distance is
// its cumulative distance at its end.

#include <cstdint>
#include <string>

#include "route/highway_data.h"
#include "route/item_filter.h"
#include "toll/toll_records.h"

// Erases facility and toll nodes that lie between two ordinary, non-ferry
// links.
class CEraseStdOnHwyNode : public CRPItemFilter {
 public:
  bool run(TmpItemAry& items) override;
};

// Copies the toll totals into the list and gives every toll node the fees
// of its toll profile: the k-th toll node of a toll facility takes the k-th
// profile of that facility (the toll engine answers one profile per toll
// point, in route order, so a toll point passed twice has its fees at each
// passage); a node beyond its facility's profiles keeps its values. A
// profile without fees makes the node a plain one (toll facility number
// 0). When the toll engine could not compute the toll (a non-zero code),
// the list keeps its code, both totals and the fees of every toll node
// become -1 (unknown), and the toll nodes stay.
class CMakeTollNode : public CRPItemFilter {
 public:
  explicit CMakeTollNode(const TollResult* tollResult) : tollResult_(tollResult) {}
  bool run(TmpItemAry& items) override;

 private:
  const TollResult* tollResult_;
};

// Names every toll node after its toll facility. TollT is the toll
// library's facade: int getName(int facility, FacilName*), 0 or more when
// found.
template <class TollT>
class CMakeTollFacilName : public CRPItemFilter {
 public:
  explicit CMakeTollFacilName(TollT* toll) : toll_(toll) {}
  bool run(TmpItemAry& items) override {
    FacilName name;
    for (TmpItemAry::Item& item : items.items()) {
      TmpItemAry::Node* node = item.node.get();
      if (!node || node->tollFacilNo == 0) continue;
      if (toll_->getName(static_cast<int>(node->tollFacilNo), &name) >= 0) node->name = name.name;
    }
    return true;
  }

 private:
  TollT* toll_;
};

// Gives every node whose facility number marks a ferry terminal (bit
// 0x8000) the ferry flag.
class CMarkFerryFacilNode : public CRPItemFilter {
 public:
  bool run(TmpItemAry& items) override;
};

// The flag that a condition node's type gives its break node: 0 kind 1,
// 1 kind 2, 2 interchange, 3 ferry terminal, else none.
std::uint32_t breakNodeFlag(std::int32_t nodeType);

// Gives the i-th break node the name of the route condition's i-th node
// and the flag of its type. ConditionT: int getNodeCnt(), getNode(i) with
// const char* getName() (null = none) and nodeType.
template <class ConditionT>
class CMakeBrkNode : public CRPItemFilter {
 public:
  explicit CMakeBrkNode(const ConditionT* condition) : condition_(condition) {}
  bool run(TmpItemAry& items) override {
    int i = 0;
    const int count = condition_->getNodeCnt();
    for (TmpItemAry::Item& item : items.items()) {
      TmpItemAry::Node* node = item.node.get();
      if (!node || (node->flags & nodeflag::kBreak) == 0) continue;
      const int index = i++;
      if (index >= count) continue;
      const auto* cn = condition_->getNode(index);
      if (!cn) continue;
      const char* name = cn->getName();
      node->name = name ? name : "";
      node->flags |= breakNodeFlag(cn->nodeType);
    }
    return true;
  }

 private:
  const ConditionT* condition_;
};

// Names the highway facility nodes from HIGHWAY.DAT, sets their
// interchange, junction, toll and kind flags and facility code from the
// facility records, and drops nodes that repeat a record already used by an
// earlier node (a repeated junction keeps only its junction and toll flags).
// A facility passed again is no repeat: when a break node lies between the
// node that used the record and this one and the route moves in between
// (it went on from a via point and came back), the record counts anew.
class CMakeHwyFacil : public CRPItemFilter {
 public:
  explicit CMakeHwyFacil(HighwayData* highway) : highway_(highway) {}
  bool run(TmpItemAry& items) override;

 private:
  HighwayData* highway_;
};

// Joins a break node with a facility or ferry node next to it.
class CEraseBreakFacilNode : public CRPItemFilter {
 public:
  bool run(TmpItemAry& items) override;
};

// Absorbs road pieces of 100 or less between two ferry links into the
// crossing and erases the nodes inside a ferry crossing.
class CEraseFerryNode : public CRPItemFilter {
 public:
  bool run(TmpItemAry& items) override;
};

// Names ferry-terminal nodes from HIGHWAY.DAT ("フェリー乗り場" when it has
// no name) and gives them the ferry flag.
class CMakeFerryNodeName : public CRPItemFilter {
 public:
  explicit CMakeFerryNodeName(HighwayData* highway) : highway_(highway) {}
  bool run(TmpItemAry& items) override;

 private:
  HighwayData* highway_;
};

// Removes the detour to a ferry terminal given as a via point and reached
// over roads, when the route passes a terminal of the same name.
class CEraseFerryLoopNode : public CRPItemFilter {
 public:
  bool run(TmpItemAry& items) override;
};

// Moves the first break interchange back onto the nearest plain
// interchange before it, and the last one (of two or more) onto the
// nearest after it, when no ordinary link lies between them.
class CMoveBreakIc : public CRPItemFilter {
 public:
  bool run(TmpItemAry& items) override;
};

// Keeps the interchange flag only at the first and the last
// interchange-like node of each highway stretch.
class CEraseNotInOutIcNode : public CRPItemFilter {
 public:
  bool run(TmpItemAry& items) override;
};

// Erases non-break nodes named after a branch, merge, start or end of a
// main line.
class CEraseNameMatchNode : public CRPItemFilter {
 public:
  bool run(TmpItemAry& items) override;
};

// Drops the toll flag of nodes whose two fees are 0.
class CEraseTollNode : public CRPItemFilter {
 public:
  bool run(TmpItemAry& items) override;
};

// Moves an interchange node within 5000 of a highway exit or entry onto
// that exit or entry, within one leg and with no other facility or break
// node in between. Items without a link are passed over when telling
// where the route leaves or enters the highway. A break node at the exit
// or entry stays, with its time; the interchange then stays where it is.
class CMoveInOutIcNode : public CRPItemFilter {
 public:
  bool run(TmpItemAry& items) override;
};

// Drops the junction flag between two highway links of the same road name.
class CEraseJctNode : public CRPItemFilter {
 public:
  bool run(TmpItemAry& items) override;
};

// Appends the goal node: the name of the condition's last node, the break
// flag only, no link. ConditionT as for CMakeBrkNode.
template <class ConditionT>
class CMakeGoalNode : public CRPItemFilter {
 public:
  explicit CMakeGoalNode(const ConditionT* condition) : condition_(condition) {}
  bool run(TmpItemAry& items) override {
    auto node = std::make_unique<TmpItemAry::Node>();
    const int count = condition_->getNodeCnt();
    if (count > 0) {
      if (const auto* cn = condition_->getNode(count - 1)) {
        const char* name = cn->getName();
        node->name = name ? name : "";
      }
    }
    node->flags = nodeflag::kBreak;
    TmpItemAry::Item item;
    item.node = std::move(node);
    items.items().push_back(std::move(item));
    return true;
  }

 private:
  const ConditionT* condition_;
};
