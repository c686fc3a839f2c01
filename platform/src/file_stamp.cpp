#include "plat/file_stamp.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>

#include "plat/cp932.h"
#include "plat/path.h"
#include "sjis_walk.h"
#include "syscall_count.h"

namespace plat {
namespace {

void FromStat(const struct stat& st, FileStamp& stamp) {
  stamp.size = static_cast<std::uint64_t>(st.st_size);
  stamp.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  stamp.changedNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  stamp.device = static_cast<std::uint64_t>(st.st_dev);
  stamp.inode = static_cast<std::uint64_t>(st.st_ino);
  stamp.isDirectory = S_ISDIR(st.st_mode);
}

std::string JoinNative(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

// The kept listings by CP932 folder text.
struct ListingCache {
  std::mutex mutex;
  std::map<std::string, std::shared_ptr<const FolderListing>> byFolder;
};

ListingCache& Listings() {
  static ListingCache* cache = new ListingCache;  // never destroyed: used until exit
  return *cache;
}

}  // namespace

bool StampOfNative(const std::string& native, FileStamp& stamp) {
  struct stat st;
  detail::CountSystemCalls();
  if (::stat(native.c_str(), &st) != 0) return false;
  FromStat(st, stamp);
  return true;
}

bool StampOfPath(const char* path, std::string& native, FileStamp& stamp) {
  if (!path || !path::Resolve(path, false, native)) return false;
  return StampOfNative(native, stamp);
}

// ASCII folding of every byte (both UTF-8 and CP932 fold their ASCII
// letters only; a double-byte CP932 character whose trail byte is a letter
// is not folded, see Folded).
static std::string FoldAll(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(detail::FoldAscii(static_cast<unsigned char>(c)));
  return out;
}

const FolderListing::Entry* FolderListing::Exact(const std::string& s) const {
  const auto it = byName_.find(s);
  return it == byName_.end() ? nullptr : &entries_[it->second];
}

const FolderListing::Entry* FolderListing::Folded(const std::string& s, bool utf8) const {
  // Every entry equal under either folding has the same byte-wise folded
  // name: the candidates are tested in listing order.
  const auto it = byFoldedName_.find(FoldAll(s));
  if (it == byFoldedName_.end()) return nullptr;
  for (const std::size_t i : it->second) {
    const Entry& e = entries_[i];
    if (utf8 ? detail::EqualNoCaseUtf8(e.name, s) : detail::EqualNoCaseSjis(e.name, s)) return &e;
  }
  return nullptr;
}

bool FolderListing::Find(const char* name, std::string& native) const {
  if (!name || !*name) return false;
  const std::string raw = name;
  std::string utf8;
  const bool decoded = cp932::ToUtf8(raw, utf8);
  if (!decoded) utf8 = raw;
  // As a folder scan finds it: the decoded name exactly, then under ASCII
  // folding, then the raw CP932 bytes exactly and under folding.
  const Entry* found = Exact(utf8);
  if (!found) found = Folded(utf8, decoded);
  if (!found && decoded && raw != utf8) {
    found = Exact(raw);
    if (!found) found = Folded(raw, false);
  }
  if (!found || found->directory) return false;
  native = JoinNative(folder_, found->name);
  return true;
}

std::shared_ptr<const FolderListing> GetFolderListing(const char* folder) {
  if (!folder || !*folder) return nullptr;
  ListingCache& cache = Listings();
  const std::string key = folder;
  std::shared_ptr<const FolderListing> kept;
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    auto it = cache.byFolder.find(key);
    if (it != cache.byFolder.end()) kept = it->second;
  }
  if (kept) {
    FileStamp now;
    if (StampOfNative(kept->folder_, now) && now == kept->stamp_) return kept;
  }
  auto fresh = std::make_shared<FolderListing>();
  if (!path::Resolve(folder, false, fresh->folder_)) return nullptr;
  while (fresh->folder_.size() > 1 && fresh->folder_.back() == '/') fresh->folder_.pop_back();
  // The stamp is taken before the names: a change while they are read
  // makes the next call read them again.
  if (!StampOfNative(fresh->folder_, fresh->stamp_) || !fresh->stamp_.isDirectory) return nullptr;
  detail::CountSystemCalls();
  DIR* d = ::opendir(fresh->folder_.c_str());
  if (!d) return nullptr;
  while (const dirent* ent = ::readdir(d)) {
    detail::CountSystemCalls();
    const std::string name = ent->d_name;
    if (name == "." || name == "..") continue;
    bool directory = ent->d_type == DT_DIR;
    if (ent->d_type == DT_UNKNOWN || ent->d_type == DT_LNK) {
      struct stat st;
      detail::CountSystemCalls();
      directory = ::fstatat(::dirfd(d), ent->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    }
    fresh->byName_.emplace(name, fresh->entries_.size());
    fresh->byFoldedName_[FoldAll(name)].push_back(fresh->entries_.size());
    fresh->entries_.push_back({name, directory});
  }
  detail::CountSystemCalls();
  ::closedir(d);
  std::lock_guard<std::mutex> lock(cache.mutex);
  cache.byFolder[key] = fresh;
  return fresh;
}

ReadOnlyFile::~ReadOnlyFile() { Close(); }

bool ReadOnlyFile::Open(const std::string& native) {
  Close();
  int fd;
  do {
    detail::CountSystemCalls();
    fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  struct stat st;
  detail::CountSystemCalls();
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    detail::CountSystemCalls();
    ::close(fd);
    return false;
  }
  FromStat(st, stamp_);
  fd_ = fd;
  return true;
}

void ReadOnlyFile::Close() {
  if (fd_ < 0) return;
  detail::CountSystemCalls();
  ::close(fd_);
  fd_ = -1;
  stamp_ = FileStamp{};
}

bool ReadOnlyFile::ReadAt(std::uint64_t position, void* buffer, std::size_t n) const {
  if (fd_ < 0 || (!buffer && n > 0)) return false;
  auto* out = static_cast<unsigned char*>(buffer);
  std::size_t got = 0;
  while (got < n) {
    detail::CountSystemCalls();
    const ssize_t r = ::pread(fd_, out + got, n - got, static_cast<off_t>(position + got));
    if (r < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (r == 0) return false;
    got += static_cast<std::size_t>(r);
  }
  return true;
}

std::uint64_t SystemCallCount() { return detail::systemCalls.load(std::memory_order_relaxed); }

}  // namespace plat
