#pragma once
// Hand-built item lists for the route filter tests.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "route/item_list.h"

namespace itemtest {

inline std::unique_ptr<TmpItemAry::Node> Node(std::uint32_t flags, std::uint32_t facilNo = 0,
                                              const std::string& name = {}) {
  auto n = std::make_unique<TmpItemAry::Node>();
  n->flags = flags;
  n->facilNo = facilNo;
  n->name = name;
  return n;
}

inline std::unique_ptr<TmpItemAry::Link> Link(bool highway, std::int32_t roadType,
                                              std::int32_t distance) {
  auto l = std::make_unique<TmpItemAry::Link>();
  l->flags = highway ? 1 : 0;
  l->roadType = roadType;
  l->distance = distance;
  l->points = {{0, 0, -1}, {1, 1, -1}};
  return l;
}
inline std::unique_ptr<TmpItemAry::Link> Road(std::int32_t distance = -1) {
  return Link(false, 3, distance);
}
inline std::unique_ptr<TmpItemAry::Link> Hwy(std::int32_t distance = -1) {
  return Link(true, 1, distance);
}
inline std::unique_ptr<TmpItemAry::Link> Ferry(std::int32_t distance = -1) {
  return Link(false, 0, distance);
}

inline TmpItemAry::Item& Push(TmpItemAry& list, std::unique_ptr<TmpItemAry::Node> node,
                              std::unique_ptr<TmpItemAry::Link> link) {
  list.items().push_back(TmpItemAry::Item{std::move(node), std::move(link)});
  return list.items().back();
}

inline std::vector<TmpItemAry::Item*> At(TmpItemAry& list) {
  std::vector<TmpItemAry::Item*> out;
  for (auto& item : list.items()) out.push_back(&item);
  return out;
}

// The list's shape: per item the node's flags in hex (or "-"), a slash and
// the link's kind (H highway, F ferry, R ordinary, - none); items joined
// by spaces. "84/H -/R" is an interchange break node on a highway link,
// then a road link without a node.
inline std::string Shape(const TmpItemAry& list) {
  std::string out;
  for (const auto& item : list.items()) {
    if (!out.empty()) out += ' ';
    if (item.node) {
      char buf[16];
      std::snprintf(buf, sizeof buf, "%x", static_cast<unsigned>(item.node->flags));
      out += buf;
    } else {
      out += '-';
    }
    out += '/';
    if (!item.link)
      out += '-';
    else if (item.link->flags & 1)
      out += 'H';
    else if (item.link->roadType == 0)
      out += 'F';
    else
      out += 'R';
  }
  return out;
}

}  // namespace itemtest
