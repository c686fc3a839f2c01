#pragma once
// The user's cache files of the system: values derived from data files that
// a fresh process would otherwise derive again from scratch. They live
// outside the data folders, in $XDG_CACHE_HOME/kort (when that is an
// absolute path), else in $HOME/.cache/kort; with neither, or a folder that
// cannot be made or written, there is no cache and callers derive as
// before. Deleting the folder (or any file in it) is always safe.
//
// A file is replaced whole (written aside, then renamed over the old one),
// so that a reader sees the old or the new file, never a part. Its content
// is the caller's: the caller checks what it reads (it may be damaged or
// come from another version) and ignores what does not check. The folder
// keeps at most kMaxCacheFiles files: writing one more removes the ones
// written longest ago.

#include <cstddef>
#include <string>

#include "plat/file_stamp.h"

namespace plat {

inline constexpr std::size_t kMaxCacheFiles = 64;

// The native cache folder; empty when there is none.
std::string CacheFolder();

// The content of the cache file (a plain name, no separator) into bytes;
// false when it is missing, unreadable or larger than maxSize.
bool ReadCacheFile(const std::string& name, std::string& bytes, std::size_t maxSize);

// Replaces the cache file with bytes (making the folder when needed); false
// when that cannot be done, and then nothing is left behind.
bool WriteCacheFile(const std::string& name, const std::string& bytes);

// The stamp of the program or shared library file that holds the code at
// the address: a derived value kept in a cache file is tied to the build
// that derived it. False when the file cannot be told.
bool StampOfModule(const void* address, FileStamp& stamp);

}  // namespace plat
