// The bounded map that lets its least recently used entries go first, one
// at a time.
#include "common/lru_map.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// The keys of the map that are still there, of those asked about (asking
// makes each the most recently used, so the order of the names matters).
std::vector<std::string> Present(LruMap<int>& map, const std::vector<std::string>& keys) {
  std::vector<std::string> present;
  for (const std::string& key : keys) {
    if (map.Find(key)) present.push_back(key);
  }
  return present;
}

TEST(LruMap, TheLeastRecentlyUsedGoesFirstOneAtATime) {
  LruMap<int> map(3);
  map.Put("a", 1);
  map.Put("b", 2);
  map.Put("c", 3);
  EXPECT_EQ(map.Trim(), 0u) << "at the limit nothing goes";
  ASSERT_NE(map.Find("a"), nullptr);  // a is now the most recent: b is the oldest
  EXPECT_EQ(*map.Find("a"), 1);
  map.Put("d", 4);
  EXPECT_EQ(map.size(), 4u) << "Put alone lets nothing go";
  EXPECT_EQ(map.Trim(), 1u) << "one entry goes, not all";
  EXPECT_EQ(map.size(), 3u);
  EXPECT_EQ(map.Find("b"), nullptr) << "the least recently used went";
  // The order is now c (oldest), a, d: the next one in goes c.
  map.Put("e", 5);
  EXPECT_EQ(map.Trim(), 1u);
  EXPECT_EQ(Present(map, {"c", "a", "d", "e"}), (std::vector<std::string>{"a", "d", "e"}));
}

TEST(LruMap, PutOnAKeptKeyReplacesItsValueAndMakesItTheMostRecent) {
  LruMap<int> map(2);
  map.Put("a", 1);
  map.Put("b", 2);
  EXPECT_EQ(map.Put("a", 10), 10);
  EXPECT_EQ(map.size(), 2u);
  map.Put("c", 3);
  map.Trim();
  EXPECT_EQ(Present(map, {"b", "a", "c"}), (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(*map.Find("a"), 10);
}

// Entries the owner holds on to are passed over, however old; the one put
// last is never let go, even when every other entry is held.
TEST(LruMap, HeldEntriesArePassedOverAndTheNewestStays) {
  LruMap<std::shared_ptr<int>> map(2);
  const auto held = std::make_shared<int>(1);
  map.Put("held", held);
  map.Put("b", std::make_shared<int>(2));
  map.Put("c", std::make_shared<int>(3));
  auto inUse = [](const std::shared_ptr<int>& value) { return value.use_count() > 1; };
  EXPECT_EQ(map.Trim(inUse), 1u);
  ASSERT_NE(map.Find("held"), nullptr) << "the oldest is held: the next oldest goes";
  EXPECT_EQ(map.Find("b"), nullptr);
  EXPECT_NE(map.Find("c"), nullptr);

  LruMap<std::shared_ptr<int>> all(1);
  const auto first = std::make_shared<int>(1);
  const auto second = std::make_shared<int>(2);
  all.Put("first", first);
  all.Put("second", second);
  all.Put("third", std::make_shared<int>(3));
  EXPECT_EQ(all.Trim(inUse), 0u) << "the others are held, the newest stays";
  EXPECT_EQ(all.size(), 3u);
  EXPECT_NE(all.Find("third"), nullptr);
}

TEST(LruMap, KeysAreCopiedAndClearEmptiesIt) {
  LruMap<int> map(4);
  {
    std::string key(40, 'k');  // longer than a short string's own room
    map.Put(key, 7);
    key.assign(40, 'x');
  }
  ASSERT_NE(map.Find(std::string(40, 'k')), nullptr);
  EXPECT_EQ(map.Find(std::string(40, 'x')), nullptr);
  map.Clear();
  EXPECT_EQ(map.size(), 0u);
  EXPECT_EQ(map.Find(std::string(40, 'k')), nullptr);
  map.Put("again", 1);
  EXPECT_EQ(*map.Find("again"), 1);
}

}  // namespace
