#pragma once
// Names in the shape of a postal list's towns of a large city (1,280 of
// them): each under the name of a former municipality, so that many keys
// share their first four characters or more. For the name tables' tests
// and benchmark.

#include <string>
#include <vector>

namespace testutil {

inline std::vector<std::string> LongPrefixNames() {
  const char* formers[] = {"八尾町", "婦中町", "大沢野", "大山", "水橋", "呉羽", "山田", "細入"};
  const char* places[] = {"高野", "松田", "桐谷", "井田", "黒瀬", "小竹", "岩木", "石田",
                          "宮島", "杉原", "富川", "長沢", "下条", "新屋", "吉岡", "田島"};
  const char* tails[] = {"", "新", "北", "南", "中島", "新町", "一丁目", "野々上", "ケ丘", "本郷"};
  std::vector<std::string> names;
  for (const char* former : formers) {
    for (const char* place : places) {
      for (const char* tail : tails) names.push_back(std::string(former) + place + tail);
    }
  }
  return names;
}

}  // namespace testutil
