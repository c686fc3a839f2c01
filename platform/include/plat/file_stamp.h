#pragma once
// What the layers above need to read a file once and reuse what they read
// while the file stays as it was:
//  - a file's stamp: size, modification and status-change times (in
//    nanoseconds), device and inode. A file that is rewritten, replaced or
//    renamed over gets a different stamp (a rewrite of the same size within
//    the file system's clock tick keeps the times, but then the status
//    change and the size are all that could tell, as for any reader);
//  - a folder's listing, kept while the folder's own stamp is unchanged (a
//    name added, removed or renamed changes the folder), so that asking
//    whether many names exist costs one stamp check. Its names are read only
//    when a lookup needs them: a name that exists exactly as asked is found
//    by a status call while few have been asked. The names of a large
//    folder are kept in a cache file (plat/cache_file.h) for later
//    processes, used while the folder keeps its stamp;
//  - a change watch that answers a stamp check without a status call while
//    nothing changed (WatchedStampOfNative, StampScope);
//  - a read-only file read at positions (pread, no seek);
//  - a count of the system calls this layer has made, for the benchmarks.
//
// Names are found as File::Open finds them: exactly, then under ASCII case
// folding, then under the raw CP932 bytes.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace plat {

struct FileStamp {
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;
  std::int64_t changedNs = 0;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool isDirectory = false;
  bool operator==(const FileStamp&) const = default;
};

// The stamp of a native (UTF-8) path; false when it does not exist.
bool StampOfNative(const std::string& native, FileStamp& stamp);

// The same answer for an absolute native path, kept between calls while
// the process's change watch (inotify) reports nothing in the folder that
// holds the path (nor in the path itself when it is a folder) and no
// folder above them was moved or removed: a check then costs one read of
// the watch instead of a status call that walks the path. Every report
// empties what was kept, and so does a second passed since it was last
// emptied (changes the watch cannot see, such as a symbolic link above the
// folder pointed elsewhere or a file system of another machine, are
// noticed by then). Without a watch (none available, a relative path, a
// folder that cannot be watched) it is StampOfNative. The watch is set up
// only once a scope has ended in the process (a process that makes one
// call does not pay for it); until then a check is StampOfNative, kept for
// the rest of its scope.
bool WatchedStampOfNative(const std::string& native, FileStamp& stamp);

// Stamps files of one absolute native folder (names without a separator)
// for the rest of the current scope, as WatchedStampOfNative would stamp
// each now: the scope's later checks of "<folder>/<name>" make no call.
// The folder is opened once and each file stamped through it (a look-up of
// one name instead of the whole path). Outside a scope, with the change
// watch, or where the folder does not open, nothing is done, and later
// checks stamp as before.
void StampFolderFilesInScope(const std::string& folder, const std::vector<std::string>& names);

// Inside a scope (one per thread, nested scopes count as one) the watch is
// read once, at the first check: the stamps are those of the moment the
// scope looked first, as if every file had been checked then. An entry
// point opens one so that a call costs one read of the watch.
class StampScope {
 public:
  StampScope();
  ~StampScope();
  StampScope(const StampScope&) = delete;
  StampScope& operator=(const StampScope&) = delete;
};
// Resolves a CP932 path as File::Open does, then stamps it; false when it
// does not exist.
bool StampOfPath(const char* path, std::string& native, FileStamp& stamp);
// The same, with the stamp of the folder that holds the file: the folder
// of the name, or of the real path of the file a symbolic link names.
// False when the name names nothing.
bool StampOfPathAndFolder(const char* path, FileStamp& stamp, FileStamp& folder);

// The names in one folder at the time of its stamp. The names themselves
// are read when a lookup first needs them: until then (for the first few
// names asked) a name that exists exactly as asked is found by one status
// call, which answers as the listing would. Names are read at most once;
// while the folder cannot be read (out of file descriptors, say), a name
// is found only as it stands, and a later lookup tries to read it again.
class FolderListing {
 public:
  FolderListing();
  ~FolderListing();
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;

  // The native path of the entry that a CP932 name (without a separator)
  // opens, when it is listed and is not a folder.
  bool Find(const char* name, std::string& native) const;
  bool Contains(const char* name) const {
    std::string native;
    return Find(name, native);
  }
  const std::string& NativeFolder() const { return folder_; }
  const FileStamp& Stamp() const { return stamp_; }

 private:
  friend std::shared_ptr<const FolderListing> GetFolderListing(const char* folder);
  struct Names;

  // The folder's names, read on the first call that can read them; null
  // while the folder does not open.
  const Names* ReadNames() const;
  // Find without the memo; byCall is set when a system call decided the
  // answer.
  bool Look(const char* name, std::string& native, bool& byCall) const;

  std::string folder_;  // native, without a trailing '/'
  FileStamp stamp_;
  // The answers of Find that a system call decided, by name (the listing
  // does not change).
  mutable std::mutex memoMutex_;
  mutable std::unordered_map<std::string, std::pair<bool, std::string>> memo_;
  // Lookups answered by a status call so far (a budget: past it the names
  // are read, which then answer every lookup).
  mutable std::atomic<int> statusLookups_{0};
  mutable std::mutex namesMutex_;  // held while the names are read
  mutable std::atomic<const Names*> names_{nullptr};
};

// The listing of a CP932 folder (a trailing separator is allowed): one
// watched stamp check (WatchedStampOfNative) when the kept listing is still
// valid, else the folder is read again. Null when the folder does not exist or cannot be read. Safe
// from several threads.
std::shared_ptr<const FolderListing> GetFolderListing(const char* folder);

// A file opened for reading by its native path, read at positions.
class ReadOnlyFile {
 public:
  ReadOnlyFile() = default;
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // Opens a native path (not a folder, FIFO or socket) and stamps the open
  // file. False when it does not open.
  bool Open(const std::string& native);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  const FileStamp& Stamp() const { return stamp_; }
  // Exactly n bytes at the position, or false.
  bool ReadAt(std::uint64_t position, void* buffer, std::size_t n) const;

 private:
  int fd_ = -1;
  FileStamp stamp_;
};

// How many files the process may hold open at once (its soft limit of
// descriptors); 0 when it cannot be told or has no limit.
std::size_t OpenFileLimit();

// System calls made by this layer's file, path, folder and configuration
// services since the process started.
std::uint64_t SystemCallCount();

}  // namespace plat
