#pragma once
// A map from text keys to values that keeps a bounded number of entries
// and lets the least recently used go first, one at a time.
//
// The entries are a list in order of use (the most recent first) and a
// hash table from key to list node, whose keys are views of the keys kept
// in the nodes: Find, Put and each entry let go are O(1). A found entry is
// moved to the front without allocating; only a new entry allocates (its
// node and its key, and the table when it grows).
//
// Not synchronised: its owner locks.

#include <cstddef>
#include <iterator>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

template <class Value>
class LruMap {
 public:
  // limit: the number of entries Trim keeps at most (1 or more).
  // The table grows with its entries (reserving room for the limit up front
  // would cost a process that asks for a few entries a zeroed table).
  explicit LruMap(std::size_t limit) : limit_(limit < 1 ? 1 : limit) {}
  LruMap(const LruMap&) = delete;
  LruMap& operator=(const LruMap&) = delete;

  std::size_t size() const { return order_.size(); }
  std::size_t limit() const { return limit_; }

  // The key's value, now the most recently used; null when absent.
  Value* Find(std::string_view key) {
    const auto it = index_.find(key);
    if (it == index_.end()) return nullptr;
    order_.splice(order_.begin(), order_, it->second);
    return &it->second->value;
  }

  // Sets the key's value and makes it the most recently used.
  Value& Put(std::string_view key, Value value) {
    if (Value* found = Find(key)) {
      *found = std::move(value);
      return *found;
    }
    order_.push_front(Entry{std::string(key), std::move(value)});
    index_.emplace(std::string_view(order_.front().key), order_.begin());
    return order_.front().value;
  }

  // Lets the least recently used entries go, one at a time, until no more
  // than the limit are left, passing over those that keep(value) holds on
  // to and the most recently used one. Returns the number let go.
  template <class Keep>
  std::size_t Trim(Keep keep) {
    std::size_t dropped = 0;
    if (order_.size() <= limit_) return dropped;
    auto it = std::prev(order_.end());
    while (order_.size() > limit_ && it != order_.begin()) {
      const auto older = std::prev(it);
      if (!keep(static_cast<const Value&>(it->value))) {
        index_.erase(std::string_view(it->key));
        order_.erase(it);
        ++dropped;
      }
      it = older;
    }
    return dropped;
  }
  std::size_t Trim() {
    return Trim([](const Value&) { return false; });
  }

  void Clear() {
    index_.clear();
    order_.clear();
  }

 private:
  struct Entry {
    std::string key;
    Value value;
  };
  std::size_t limit_;
  std::list<Entry> order_;
  std::unordered_map<std::string_view, typename std::list<Entry>::iterator> index_;
};
