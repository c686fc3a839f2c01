#pragma once
// Replacement pair lists made in tests, as the dictionary loaders make them
// (516-byte pair records).

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/record_array.h"
#include "tabledb/dictionaries.h"

namespace pairtest {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// Creates the list with the pairs in order.
inline void FillList(CRecordList& list, const Pairs& pairs) {
  ASSERT_EQ(list.Create(4, sizeof(PairRecord), 4), 1);
  for (const auto& [s, r] : pairs) {
    PairRecord rec{};
    std::strcpy(rec.search, s.c_str());
    std::strcpy(rec.replacement, r.c_str());
    ASSERT_EQ(list.Add(&rec), 1);
  }
}

}  // namespace pairtest
