#pragma once
// What the tests of the derived-value store set or ask beyond its
// interface.

#include <cstdint>
#include <string>
#include <vector>

namespace plat::detail {

// The clock of "last used" times, in seconds: 0 gives the real clock back.
void SetDerivedStoreClock(std::int64_t seconds);

// The bytes the store's values and their use records take now (pages in
// use, not the file's size); 0 without a store.
std::uint64_t DerivedStoreBytesInUse();

// A value of the store as its key names it, with its last use.
struct DerivedEntry {
  std::string kind;
  std::string folder;
  std::uint64_t build = 0;
  std::uint32_t format = 0;
  std::string item;
  std::int64_t used = 0;
  std::size_t size = 0;  // of the value
};

// Every value of the store, in the store's order; none without a store.
std::vector<DerivedEntry> DerivedStoreEntries();

// The number of the store's last committed write transaction (0 without a
// store): unchanged while nothing was written.
std::uint64_t DerivedStoreLastTransaction();

// Lets go of the process's open store, as a new process would start.
void ForgetDerivedStore();

}  // namespace plat::detail
