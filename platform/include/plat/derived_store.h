#pragma once
// The user's store of derived values: what a fresh process would otherwise
// derive again from data files (dictionary images, name tables, the
// prefecture look-up, a large folder's names). It lives outside the data
// folders, in $XDG_CACHE_HOME/kort (when that is an absolute path), else in
// $HOME/.cache/kort, as one LMDB environment (the files "store.mdb" and
// "store.mdb-lock"); with neither variable, or a folder or file that is not
// the user's own, there is no store and callers derive as before. Deleting
// the folder is always safe.
//
// The folder is made with mode 0700. It and the store's two files are used
// only while they are the effective user's own, no symbolic links, and
// neither group nor others can write to them; otherwise nothing there is
// read or touched. A store file that does not open as one (damaged, cut
// short, of another kind) is no store either.
//
// Every value is kept under one key scheme: its kind, the data folder it
// was derived from, the build that derived it, the format of its bytes and
// an item within them (DerivedKey). Values of other builds and formats
// stand side by side. Each Put is a write transaction of its own, replacing
// only its own key's value; readers in any number of processes read
// without locks, each within a transaction that sees one committed state.
// A writer killed at any point leaves the store as before its transaction.
//
// The store is bounded (CacheBoundBytes): when a new value would pass the
// bound, values are let go, those of other builds first, then those of
// other data folders, then the least recently used.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "plat/file_stamp.h"

namespace plat {

// The native cache folder; empty when there is none.
std::string CacheFolder();

// The store's bound in bytes: KORT_CACHE_MAX_MB in the environment (whole
// MiB, 1 to 65536), else the key CacheMaxMB of section [AdrsLib] in the
// program folder's adrslib.ini (the same range), else 256 MiB.
std::uint64_t CacheBoundBytes();

// What a value is kept under. kind: 1 to 16 letters a-z; folder: the data
// folder it was derived from (with anything all its values share); build:
// a hash of the stamp of the program that derived it; format: the version
// of the value's bytes; item: the value within the folder's kind (may be
// empty).
struct DerivedKey {
  std::string_view kind;
  std::string_view folder;
  std::uint64_t build = 0;
  std::uint32_t format = 0;
  std::string_view item;
};

// A read scope of the store. The process's store is opened on the first
// Get that finds one (a scope that gets nothing costs nothing); the values
// got stay valid, in place in the store's map, until the scope ends. A
// scope belongs to one thread. Put may be called while one is open.
class DerivedStore {
 public:
  DerivedStore();
  ~DerivedStore();
  DerivedStore(const DerivedStore&) = delete;
  DerivedStore& operator=(const DerivedStore&) = delete;

  // The value kept under key; false when there is none (or no store).
  bool Get(const DerivedKey& key, std::string_view& value);

  // Keeps value under key in a write transaction of its own (making the
  // folder and store when needed); false when there is no store or the
  // value cannot be kept (larger than half the bound, or a failure), and
  // then the store is as it was.
  static bool Put(const DerivedKey& key, std::string_view value);

 private:
  struct Scope;
  Scope* scope_ = nullptr;
};

// The stamp of the program or shared library file that holds the code at
// the address: a derived value kept in the store is tied to the build that
// derived it. False when the file cannot be told.
bool StampOfModule(const void* address, FileStamp& stamp);

}  // namespace plat
