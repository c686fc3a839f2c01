#pragma once
// A map from text keys to values that keeps a bounded number of entries
// and lets the least recently used go first, one at a time.
//
// Each entry carries the tick of its last use: a found entry only has its
// tick set, which touches the entry alone (no list of use to relink, whose
// neighbours would be other entries' memory), so that a look-up in a large
// map costs the table's slot, the entry and its key. Only a new entry
// allocates. Trim, which runs when the map has grown past its limit, puts
// the entries in order of use then.
//
// Not synchronised: its owner locks.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

template <class Value>
class LruMap {
 public:
  // limit: the number of entries Trim keeps at most (1 or more).
  // The table grows with its entries (reserving room for the limit up front
  // would cost a process that asks for a few entries a zeroed table).
  explicit LruMap(std::size_t limit) : limit_(limit < 1 ? 1 : limit) {}
  LruMap(const LruMap&) = delete;
  LruMap& operator=(const LruMap&) = delete;

  std::size_t size() const { return entries_.size(); }
  std::size_t limit() const { return limit_; }

  // The key's value, now the most recently used; null when absent.
  Value* Find(std::string_view key) {
    const auto it = entries_.find(key);
    if (it == entries_.end()) return nullptr;
    it->second.used = ++clock_;
    return &it->second.value;
  }

  // Sets the key's value and makes it the most recently used.
  Value& Put(std::string_view key, Value value) {
    if (Value* found = Find(key)) {
      *found = std::move(value);
      return *found;
    }
    auto [it, added] = entries_.emplace(std::string(key), Entry{std::move(value), ++clock_});
    return it->second.value;
  }

  // Lets the least recently used entries go, one at a time, until no more
  // than the limit are left, passing over those that keep(value) holds on
  // to and the most recently used one. Returns the number let go.
  template <class Keep>
  std::size_t Trim(Keep keep) {
    std::size_t dropped = 0;
    if (entries_.size() <= limit_) return dropped;
    std::vector<std::pair<std::uint64_t, typename Map::iterator>> byUse;
    byUse.reserve(entries_.size());
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
      byUse.emplace_back(it->second.used, it);
    std::sort(byUse.begin(), byUse.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    byUse.pop_back();  // the most recently used stays
    for (const auto& [used, it] : byUse) {
      if (entries_.size() <= limit_) break;
      if (keep(static_cast<const Value&>(it->second.value))) continue;
      entries_.erase(it);
      ++dropped;
    }
    return dropped;
  }
  std::size_t Trim() {
    return Trim([](const Value&) { return false; });
  }

  void Clear() { entries_.clear(); }

 private:
  struct Entry {
    Value value;
    std::uint64_t used;
  };
  // Looked up by views without making a string of them.
  struct KeyHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view key) const {
      return std::hash<std::string_view>{}(key);
    }
  };
  using Map = std::unordered_map<std::string, Entry, KeyHash, std::equal_to<>>;
  std::size_t limit_;
  std::uint64_t clock_ = 0;
  Map entries_;
};
