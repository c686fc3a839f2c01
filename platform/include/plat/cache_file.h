#pragma once
// The user's cache files of the system: values derived from data files that
// a fresh process would otherwise derive again from scratch. They live
// outside the data folders, in $XDG_CACHE_HOME/kort (when that is an
// absolute path), else in $HOME/.cache/kort; with neither, or a folder that
// cannot be made or written, there is no cache and callers derive as
// before. Deleting the folder (or any file in it) is always safe.
//
// The folder is made with mode 0700. It is used only while it is a folder
// (not a link to one) of the effective user that neither group nor others
// can write to; a cache file likewise is read or replaced only when it is a
// regular file (not a link) of the effective user that only the user can
// write. Otherwise there is no cache, and nothing there is touched.
//
// A file is replaced whole (written aside, then renamed over the old one),
// so that a reader sees the old or the new file, never a part. Its content
// is the caller's: the caller checks what it reads (it may be damaged or
// come from another version) and ignores what does not check. Cache files
// have names of one form (CacheFileName); the folder keeps at most
// kMaxCacheFiles of them: writing one more removes the ones written longest
// ago. Files of other names in the folder are never removed.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "plat/file_stamp.h"

namespace plat {

inline constexpr std::size_t kMaxCacheFiles = 64;

// The native cache folder; empty when there is none.
std::string CacheFolder();

// The name of the cache file of a kind of derived value (1 to 32 letters
// a-z) for a key (a hash of what it is derived from) written by a build (a
// hash of the writing program's stamp and the file's format):
// "<kind>-<key>-<build>", each number 16 lowercase hexadecimal digits. So
// the files of different builds or formats sharing the folder stand side by
// side instead of replacing each other.
std::string CacheFileName(std::string_view kind, std::uint64_t key, std::uint64_t build);

// Whether name is of the form CacheFileName gives.
bool IsCacheFileName(std::string_view name);

// The content of the cache file (a name of the cache's form) into bytes;
// false when it is missing, unreadable, not the user's own, writable by
// others or larger than maxSize.
bool ReadCacheFile(const std::string& name, std::string& bytes, std::size_t maxSize);

// A cache file opened for reading in parts, with the checks of
// ReadCacheFile (a regular file of the user's own that only the user can
// write, no larger than maxSize); for a file of which a reader needs a few
// parts only. The file read is the one opened, whatever replaces it later.
class CacheFileReader {
 public:
  CacheFileReader() = default;
  ~CacheFileReader();
  CacheFileReader(const CacheFileReader&) = delete;
  CacheFileReader& operator=(const CacheFileReader&) = delete;

  // False when the file is missing or does not pass the checks.
  bool Open(const std::string& name, std::size_t maxSize);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  // The size of the file as opened.
  std::uint64_t Size() const { return size_; }
  // The size bytes at offset into bytes; false when they lie (partly)
  // beyond the end or cannot be read.
  bool Read(std::uint64_t offset, std::size_t size, std::string& bytes) const;

 private:
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

// Replaces the cache file with bytes (making the folder when needed); false
// when that cannot be done (a name not of the cache's form, a folder or a
// file in its place that is not the user's own), and then nothing is left
// behind.
bool WriteCacheFile(const std::string& name, const std::string& bytes);

// The stamp of the program or shared library file that holds the code at
// the address: a derived value kept in a cache file is tied to the build
// that derived it. False when the file cannot be told.
bool StampOfModule(const void* address, FileStamp& stamp);

}  // namespace plat
