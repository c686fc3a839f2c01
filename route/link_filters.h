#pragma once
// The link filters of the route result: merging neighbour links, pulling
// break points off junctions, completing and clearing name numbers, link
// classes and repeated shape points.
//
// A link is highway-like when its road type is 10, 11 or 12 or its highway
// flag (bit 0) is set; a ferry link has road type 0.

#include <cstdint>

#include "route/item_filter.h"

bool isHighwayLike(const TmpItemAry::Link& link);

// Merges node-less neighbour links: while the item after an item has no
// node and canMerge holds for the two links, the later link's points are
// appended to the earlier link (the joint point then stands twice), the
// earlier link takes the later one's cumulative distance and time, and the
// later item goes.
class CMergeLinkBase : public CRPItemFilter {
 public:
  bool run(TmpItemAry& items) override;
  virtual bool canMerge(const TmpItemAry::Link& a, const TmpItemAry::Link& b) = 0;
};

// Merges links of equal road type, name number, road number and highway
// flag.
class CMergeLink2 : public CMergeLinkBase {
 public:
  bool canMerge(const TmpItemAry::Link& a, const TmpItemAry::Link& b) override;
};

// Merges links of equal road-name index and class.
class CMergeLink : public CMergeLinkBase {
 public:
  bool canMerge(const TmpItemAry::Link& a, const TmpItemAry::Link& b) override;
};

// Moves the point shared by a node's link and the link before it 50 units
// off the junction (or halfway, when that segment is 60 or shorter in both
// axes): backward into the earlier link at kind-1 and kind-2 nodes, into
// the road link at a boundary between a ferry link and a road link. Both
// links need two points or more.
class CShiftBreakPoint : public CRPItemFilter {
 public:
  bool run(TmpItemAry& items) override;
};

// Fills zero name numbers inside runs of highway-like links: from the
// nearest link after them in the run, or else from the nearest before.
class CFillHwyRoadNo : public CRPItemFilter {
 public:
  bool run(TmpItemAry& items) override;
};

// The class of a road type: 0 ferry 6; 2, 3: 5; 7: 3; 8: 2; 9: 1;
// 10-12: 0; any other 4.
std::int32_t linkClassOf(std::int32_t roadType);

// Sets every link's class from its road type.
class CConvLinkClass : public CRPFLoopBase {
 public:
  void visitLink(TmpItemAry::Link* link) override;
};

// Clears the name numbers of a run of node-less ordinary links that share
// one non-zero road number when their name numbers disagree.
class CClearMixedRoadNo : public CRPItemFilter {
 public:
  bool run(TmpItemAry& items) override;
};

// Reduces each run of consecutive points with equal coordinates to its
// first point; a link of exactly two points is left as it is.
class CEraseDupPoint : public CRPItemFilter {
 public:
  bool run(TmpItemAry& items) override;
};
