#pragma once
// Road names of the route result's links: each link's name is formed from
// its road number (category word, number, "号"), its class word and its
// HIGHWAY.DAT name; the names go into the item list's road-name table once
// each and every link gets the index of its name.

#include <string>

#include "route/highway_data.h"
#include "route/item_filter.h"
#include "route/item_list.h"

std::string formatRoadName(const TmpItemAry::Link& link, HighwayData& highway);

// The step that builds the road-name table of an item list.
class CMakeRoadNameIdx : public CRPItemFilter {
 public:
  explicit CMakeRoadNameIdx(HighwayData& highway) : highway_(highway) {}
  // Replaces the list's road-name table and sets every link's index.
  bool run(TmpItemAry& items) override;

 private:
  HighwayData& highway_;
};
