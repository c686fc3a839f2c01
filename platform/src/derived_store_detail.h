#pragma once
// What the rest of the layer and the tests of the derived-value store ask
// of it beyond its interface.

#include <cstdint>
#include <string>
#include <vector>

namespace plat::detail {

// Called when the outermost StampScope of a thread ends: the end of a
// call. The thread's read state of the store ends and what it put is
// written.
void DerivedStoreCallEnded();

// The clock of "last used" times, in seconds: 0 gives the real clock back.
void SetDerivedStoreClock(std::int64_t seconds);

// The build the store keys this process's values by: 0 gives the real one
// back (DerivedBuild).
void SetDerivedStoreBuild(std::uint64_t build);

// The file system type the cache folder is taken to be on (a statfs
// f_type): 0 gives the real one back.
void SetCacheFileSystemType(std::int64_t type);

// Whether values are kept on a file system of that type (local ones).
bool StoreAllowedOnFileSystem(std::int64_t type);

// The bytes the store's values and their use records take now (pages in
// use, not the file's size); 0 without a store.
std::uint64_t DerivedStoreBytesInUse();

// A value of the store as its key names it, with its last use.
struct DerivedEntry {
  std::string kind;
  std::string folder;  // the path kept with it
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t build = 0;
  std::uint32_t format = 0;
  std::string item;
  std::int64_t used = 0;
  std::size_t size = 0;  // of the value
};

// Every sound value of the store, in the store's order; none without a
// store.
std::vector<DerivedEntry> DerivedStoreEntries();

// The number of the store's last committed write transaction (0 without a
// store): unchanged while nothing was written.
std::uint64_t DerivedStoreLastTransaction();

// Whether the process found the store it has open damaged.
bool DerivedStoreFoundDamaged();

// Lets go of the process's open store and of the thread's read state and
// unwritten values, as a new process would start.
void ForgetDerivedStore();

}  // namespace plat::detail
