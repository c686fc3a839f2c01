#pragma once
// The user's store of derived values: what a fresh process would otherwise
// derive again from data files (dictionary images, name tables, the
// prefecture look-up, a large folder's names). It lives outside the data
// folders, in $XDG_CACHE_HOME/kort (when that is an absolute path), else in
// $HOME/.cache/kort, as one LMDB environment (the files "store.mdb" and
// "store.mdb-lock"); with neither variable, a folder or file that is not
// the user's own, or a folder on a network file system, there is no store
// and callers derive as before. Deleting the folder is always safe.
//
// The folder is made with mode 0700. It and the store's two files are used
// only while they are the effective user's own, no symbolic links, and
// neither group nor others can write to them; otherwise nothing there is
// read or touched.
//
// A value is kept under one key scheme: the build that derived it (one
// identity per program or library file, DerivedBuild), the data folder it
// was derived from (the folder itself, whatever its spelling), its kind,
// the format of its bytes and an item within them (DerivedKey). With it
// go the stamps of the files it was derived from (DerivedSources): this
// store alone decides whether a value is still valid. A value is kept only
// under settled stamps (plat::StampIsSettled) and answers only while the
// files have exactly those stamps again.
//
// A cache is treated as one: every value and every use record carries its
// length and a checksum, checked before any byte of it is used. A record
// that fails its check, has the wrong size, or any error of the store
// other than "not found" marks the store damaged: nothing more is read
// from it or written into it, callers derive from the data, and the next
// writer puts a new store in its place (a process that still maps the old
// one finishes on it).
//
// Writing: the values a call puts are written when the call ends (the
// outermost StampScope of the thread), all in one write transaction (one
// flush to the disk); outside any scope a put is written at once. A writer
// killed at any point leaves the store as before its transaction.
//
// The store is bounded (CacheBoundBytes): its values are kept to three
// quarters of the bound. When new values would pass that, values are let
// go first, in transactions of their own, by whole groups in key order:
// those of other builds, then those of other data folders, then the least
// recently used of this folder. A store that cannot make room, or whose
// file has grown past its bound, is replaced by a new one.

#include <cstdint>
#include <memory>
#include <span>
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

// The data folder a value was derived from: the folder itself, by its
// device and inode (the same folder under any spelling: relative, through
// a link, in another letter case), and a native path of it, which the
// store keeps beside for whoever looks at its values.
struct DerivedFolder {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::string_view path;
  bool Known() const { return inode != 0; }
};

// The folder of a stamp of it (FileStamp of a folder) and its path.
inline DerivedFolder DerivedFolderOf(const FileStamp& stamp, std::string_view path) {
  if (!stamp.isDirectory) return {};
  return {stamp.device, stamp.inode, path};
}

// The folder at a native path, stamped as WatchedStampOfNative stamps it
// (no system call when the current scope has stamped it already); an
// unknown folder (Known() false) when it is none.
DerivedFolder DerivedFolderAt(const std::string& native);

// What a value is kept under. kind: 1 to 16 letters a-z; folder: the data
// folder it was derived from; format: the version of the value's bytes;
// item: the value within the folder's kind (may be empty). The build is
// the store's own (DerivedBuild).
struct DerivedKey {
  std::string_view kind;
  DerivedFolder folder;
  std::uint32_t format = 0;
  std::string_view item;
};

// The stamps of the files a value was derived from, in an order of the
// kind's own; a file that is absent is a default FileStamp.
using DerivedSources = std::span<const FileStamp>;

// A value's bytes: valid, and 8-byte aligned, while hold lives.
struct DerivedBytes {
  std::string_view bytes;
  std::shared_ptr<const void> hold;
};

// The value kept under key for files that have the stamps of sources now;
// false when there is none (or no store, or a damaged one, or a source
// not settled). Within a call (a StampScope) every value is read from one
// state of the store.
bool GetDerived(const DerivedKey& key, DerivedSources sources, DerivedBytes& value);

// Keeps value under key for sources: within a call when the call ends
// (with the call's other values, in one transaction), outside any call at
// once. False when it will not be kept: no store, a value larger than half
// the bound, a source not settled, an unknown build or folder, or (written
// at once) a failure; the store is then as it was.
bool PutDerived(const DerivedKey& key, DerivedSources sources, std::string_view value);
// The same, taking the value's bytes over (no copy).
bool PutDerived(const DerivedKey& key, DerivedSources sources, std::string&& value);
// The same for bytes that stay as they are while value.hold lives (not
// copied: read where they stand when the values are written).
bool PutDerived(const DerivedKey& key, DerivedSources sources, DerivedBytes value);
inline bool PutDerived(const DerivedKey& key, DerivedSources sources, const char* value) {
  return PutDerived(key, sources, std::string_view(value));
}

// Writes what the thread has put and not written yet (and the uses it
// noted), in one transaction.
void WriteDerivedValues();

// For a process that runs one job and ends (kort): from now on the values
// it gets are used in place in the store's map for the rest of its life
// (no copy), and what it puts is written only by WriteDerivedValues, which
// the job calls once when it is done.
void UseDerivedValuesInPlace();

// The identity of the build this code is part of: a hash of the stamp of
// the program or shared library file that holds it; 0 when it cannot be
// told (then nothing is kept or read).
std::uint64_t DerivedBuild();

// Whether a CP932 path names one of the store's two files in the cache
// folder (whether or not the file exists yet): a result written there
// would be taken for the store.
bool NamesDerivedStoreFile(const char* path);

// The stamp of the program or shared library file that holds the code at
// the address. False when the file cannot be told.
bool StampOfModule(const void* address, FileStamp& stamp);

}  // namespace plat
