#include "plat/cache_file.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>
#include <utility>
#include <vector>

#include "program_path.h"
#include "syscall_count.h"
#include "write_aside.h"

namespace plat {

namespace {

constexpr std::size_t kMaxKindLength = 32;
constexpr std::size_t kKeyDigits = 16;
constexpr std::size_t kAsideDigits = 6;
constexpr char kAsideAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

bool LowerHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

// The length of the cache file name that begins name
// ("<kind>-<key>-<build>"), or 0.
std::size_t CacheNameLength(std::string_view name) {
  std::size_t at = 0;
  while (at < name.size() && name[at] >= 'a' && name[at] <= 'z') ++at;
  if (at == 0 || at > kMaxKindLength) return 0;
  for (int part = 0; part < 2; ++part) {
    if (at == name.size() || name[at] != '-') return 0;
    ++at;
    for (std::size_t d = 0; d < kKeyDigits; ++d, ++at) {
      if (at == name.size() || !LowerHexDigit(name[at])) return 0;
    }
  }
  return at;
}

// A file being written (or left by a writer that died): the cache file's
// name, a dot and six letters or digits.
bool AsideName(std::string_view name) {
  const std::size_t n = CacheNameLength(name);
  if (n == 0 || name.size() != n + 1 + kAsideDigits || name[n] != '.') return false;
  return name.find_first_not_of(kAsideAlphabet, n + 1) == std::string_view::npos;
}

// The user's own (the effective user, as asked once per use of the
// folder), and nobody else may write to it.
bool OwnAndClosed(const struct stat& st, uid_t user) {
  return st.st_uid == user && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) {
      detail::CountSystemCalls();
      close(fd_);
    }
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// The cache folder, opened when it is a folder (not a link to one) of the
// effective user (given in user) that nobody else can write to; -1
// otherwise. With make, a missing folder (and its parent) is made first.
int OpenOwnFolder(bool make, uid_t& user) {
  const std::string folder = CacheFolder();
  if (folder.empty() || (make && !detail::MakeFolderAndParent(folder))) return -1;
  detail::CountSystemCalls();
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  detail::CountSystemCalls();
  user = geteuid();
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && OwnAndClosed(st, user)) return fd;
  detail::CountSystemCalls();
  close(fd);
  return -1;
}

// Six letters or digits for a file aside; O_EXCL settles a clash.
std::string AsideSuffix() {
  static std::atomic<std::uint64_t> calls{0};
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  std::uint64_t mix = static_cast<std::uint64_t>(now.tv_nsec) ^
                      (static_cast<std::uint64_t>(now.tv_sec) << 30) ^
                      (static_cast<std::uint64_t>(getpid()) << 20) ^
                      (calls.fetch_add(1, std::memory_order_relaxed) * 0x9E3779B97F4A7C15ull);
  mix ^= mix >> 33;
  mix *= 0xff51afd7ed558ccdull;
  mix ^= mix >> 33;
  std::string suffix(kAsideDigits, 'A');
  for (char& c : suffix) {
    c = kAsideAlphabet[mix % (sizeof kAsideAlphabet - 1)];
    mix /= sizeof kAsideAlphabet - 1;
  }
  return suffix;
}

// Writes bytes to a new file beside name in the folder and renames it over
// name; on failure the file aside is removed.
bool WriteAsideIn(int folder, const std::string& name, const std::string& bytes) {
  std::string aside;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
    aside = name + "." + AsideSuffix();
    detail::CountSystemCalls();
    fd = openat(folder, aside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = detail::WriteAllAndClose(fd, bytes);
  if (ok && renameat(folder, aside.c_str(), folder, name.c_str()) != 0) ok = false;
  if (!ok) {
    detail::CountSystemCalls();
    unlinkat(folder, aside.c_str(), 0);
  }
  return ok;
}

// Removes the oldest cache files of the folder beyond kMaxCacheFiles, never
// the one just written. Only regular files of the cache's own naming (and
// files aside of that naming) that belong to the user are counted and
// removed; whatever else stands in the folder is left alone.
void TrimCacheFolder(int folder, const std::string& kept, uid_t user) {
  detail::CountSystemCalls();
  const int listed = dup(folder);
  if (listed < 0) return;
  DIR* dir = fdopendir(listed);
  if (!dir) {
    close(listed);
    return;
  }
  std::vector<std::pair<std::int64_t, std::string>> files;  // (modified, name)
  while (const dirent* e = readdir(dir)) {
    const std::string_view name = e->d_name;
    if (name == kept || !(IsCacheFileName(name) || AsideName(name))) continue;
    struct stat st;
    detail::CountSystemCalls();
    if (fstatat(folder, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != user)
      continue;
    files.emplace_back(
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
        std::string(name));
  }
  closedir(dir);
  if (files.size() < kMaxCacheFiles) return;
  std::sort(files.begin(), files.end());
  for (std::size_t i = 0; i + kMaxCacheFiles <= files.size(); ++i) {
    detail::CountSystemCalls();
    unlinkat(folder, files[i].second.c_str(), 0);
  }
}

}  // namespace

std::string CacheFolder() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg && xdg[0] == '/') return std::string(xdg) + "/kort";
  const char* home = std::getenv("HOME");
  if (!home || home[0] != '/') return std::string();
  return std::string(home) + "/.cache/kort";
}

std::string CacheFileName(std::string_view kind, std::uint64_t key, std::uint64_t build) {
  char digits[2 * kKeyDigits + 3];
  std::snprintf(digits, sizeof digits, "-%016llx-%016llx", static_cast<unsigned long long>(key),
                static_cast<unsigned long long>(build));
  return std::string(kind) + digits;
}

bool IsCacheFileName(std::string_view name) {
  const std::size_t n = CacheNameLength(name);
  return n != 0 && n == name.size();
}

bool ReadCacheFile(const std::string& name, std::string& bytes, std::size_t maxSize) {
  bytes.clear();
  if (!IsCacheFileName(name)) return false;
  uid_t user = 0;
  const Descriptor folder(OpenOwnFolder(false, user));
  if (folder.get() < 0) return false;
  detail::CountSystemCalls();
  // Not blocking, not through a link: whatever stands in the file's place
  // is checked first.
  const Descriptor file(
      openat(folder.get(), name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
  if (file.get() < 0) return false;
  struct stat st;
  detail::CountSystemCalls();
  bool ok = fstat(file.get(), &st) == 0 && S_ISREG(st.st_mode) && OwnAndClosed(st, user) &&
            static_cast<std::uint64_t>(st.st_size) <= maxSize;
  if (ok) {
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
      detail::CountSystemCalls();
      const ssize_t r =
          pread(file.get(), bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0)
        ok = false;
      else
        done += static_cast<std::size_t>(r);
    }
  }
  if (!ok) bytes.clear();
  return ok;
}

CacheFileReader::~CacheFileReader() { Close(); }

void CacheFileReader::Close() {
  if (fd_ >= 0) {
    detail::CountSystemCalls();
    close(fd_);
  }
  fd_ = -1;
  size_ = 0;
}

bool CacheFileReader::Open(const std::string& name, std::size_t maxSize) {
  Close();
  if (!IsCacheFileName(name)) return false;
  uid_t user = 0;
  const Descriptor folder(OpenOwnFolder(false, user));
  if (folder.get() < 0) return false;
  detail::CountSystemCalls();
  const int fd = openat(folder.get(), name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
  if (fd < 0) return false;
  struct stat st;
  detail::CountSystemCalls();
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !OwnAndClosed(st, user) ||
      static_cast<std::uint64_t>(st.st_size) > maxSize) {
    detail::CountSystemCalls();
    close(fd);
    return false;
  }
  fd_ = fd;
  size_ = static_cast<std::uint64_t>(st.st_size);
  return true;
}

bool CacheFileReader::Read(std::uint64_t offset, std::size_t size, std::string& bytes) const {
  bytes.clear();
  if (fd_ < 0 || offset > size_ || size > size_ - offset) return false;
  bytes.resize(size);
  std::size_t done = 0;
  while (done < size) {
    detail::CountSystemCalls();
    const ssize_t r =
        pread(fd_, bytes.data() + done, size - done, static_cast<off_t>(offset + done));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) {
      bytes.clear();
      return false;
    }
    done += static_cast<std::size_t>(r);
  }
  return true;
}

bool WriteCacheFile(const std::string& name, const std::string& bytes) {
  if (!IsCacheFileName(name)) return false;
  uid_t user = 0;
  const Descriptor folder(OpenOwnFolder(true, user));
  if (folder.get() < 0) return false;
  // What already stands in the file's place and is not a file of the
  // user's own that only the user can write is left as it is.
  struct stat st;
  detail::CountSystemCalls();
  if (fstatat(folder.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (!S_ISREG(st.st_mode) || !OwnAndClosed(st, user)) return false;
  } else if (errno != ENOENT) {
    return false;
  }
  if (!WriteAsideIn(folder.get(), name, bytes)) return false;
  TrimCacheFolder(folder.get(), name, user);
  return true;
}

namespace {

// The running program's file, by the name the system gave for it when the
// process first asked (as a shared library is stamped by the name it was
// loaded from), and by the system's link itself when that name is gone.
bool StampOfProgram(FileStamp& stamp) {
  const std::string* program = detail::ProgramNativePath();
  if (program && StampOfNative(*program, stamp)) return true;
  return StampOfNative("/proc/self/exe", stamp);
}

}  // namespace

bool StampOfModule(const void* address, FileStamp& stamp) {
  Dl_info info{};
  // A statically linked program has no module table: the address is then
  // the program's own. The program itself may also be named as it was
  // started (relative, or by the bare name found on the search path).
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr || info.dli_fname[0] != '/')
    return StampOfProgram(stamp);
  return StampOfNative(std::string(info.dli_fname), stamp);
}

}  // namespace plat
