#include "route/road_name.h"

#include <cstdio>
#include <vector>

namespace {

const char* CategoryWord(std::int32_t category) {
  switch (category) {
    case 1:
      return "国道";
    case 2:
      return "都道";
    case 3:
      return "道道";
    case 4:
      return "府道";
    case 5:
      return "県道";
    default:
      return nullptr;
  }
}

const char* ClassWord(std::int32_t linkClass) {
  switch (linkClass) {
    case 0:
      return "高速道";
    case 1:
      return "国道";
    case 2:
      return "主要地方道";
    case 3:
      return "都道府県道";
    case 4:
    case 5:
      return "一般道";
    case 6:
      return "フェリー航路";
    default:
      return nullptr;
  }
}

struct CacheRecord {
  std::int32_t linkClass;
  std::int32_t roadNo;
  std::int32_t nameNo;
  std::int32_t index;
};

}  // namespace

std::string formatRoadName(const TmpItemAry::Link& link, HighwayData& highway) {
  std::string name;
  if (link.roadNo > 0) {
    if (const char* word = CategoryWord((link.roadNo >> 13) & 7)) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%s%d号", word, static_cast<int>(link.roadNo & 0x1FFF));
      name = buf;
    }
  }
  if (name.empty()) {
    if (const char* word = ClassWord(link.linkClass)) name = word;
  }
  if (link.nameNo >= 0) {
    const std::string table = highway.getName(link.nameNo / 2);
    if (!table.empty()) {
      if ((link.flags & 1) != 0 ||
          (link.linkClass != 1 && link.linkClass != 2 && link.linkClass != 3))
        name = table;
      else
        name += "(" + table + ")";
    }
  }
  return name;
}

bool CMakeRoadNameIdx::run(TmpItemAry& items) {
  std::vector<std::string> table;
  std::vector<CacheRecord> cache;
  for (auto& item : items.items()) {
    TmpItemAry::Link* link = item.link.get();
    if (!link) continue;
    std::int32_t index = -1;
    for (const CacheRecord& c : cache)
      if (c.linkClass == link->linkClass && c.roadNo == link->roadNo && c.nameNo == link->nameNo) {
        index = c.index;
        break;
      }
    if (index < 0) {
      const std::string name = formatRoadName(*link, highway_);
      for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i] == name) {
          index = static_cast<std::int32_t>(i);
          break;
        }
      if (index < 0) {
        index = static_cast<std::int32_t>(table.size());
        table.push_back(name);
        cache.push_back({link->linkClass, link->roadNo, link->nameNo, index});
      }
    }
    link->roadNameIdx = index;
  }
  items.roadNames().swap(table);
  return true;
}
