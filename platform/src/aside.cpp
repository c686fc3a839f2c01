#include "plat/aside.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "folder_names.h"
#include "plat/file_stamp.h"
#include "syscall_count.h"
#include "write_aside.h"

namespace plat {
namespace {

// The part of a name kept in an aside name.
constexpr std::size_t kAsideNameKeep = 200;

std::string NameOf(const std::string& native) {
  const std::size_t slash = native.rfind('/');
  return slash == std::string::npos ? native : native.substr(slash + 1);
}

// ".<name>.tmp-": the start of every aside name of a target.
std::string AsidePrefix(const std::string& nativeTarget) {
  return "." + NameOf(nativeTarget).substr(0, kAsideNameKeep) + ".tmp-";
}

// Removes everything in an open folder, its folders with their contents.
bool RemoveFolderContents(int folder, int depth) {
  alignas(struct dirent64) char buffer[4096];
  // Passes from the start until one finds nothing left: removing entries
  // while reading on could skip some.
  for (bool removedAny = true; removedAny;) {
    removedAny = false;
    bool empty = true;
    if (::lseek(folder, 0, SEEK_SET) != 0) return false;
    for (;;) {
      const ssize_t got = (detail::CountSystemCalls(), ::getdents64)(folder, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return false;
      if (got == 0) break;
      for (ssize_t at = 0; at < got;) {
        const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + at);
        at += entry->d_reclen;
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        empty = false;
        if ((detail::CountSystemCalls(), ::unlinkat)(folder, name, 0) == 0) {
          removedAny = true;
          continue;
        }
        if (errno != EISDIR || depth >= 16) continue;
        const int sub = (detail::CountSystemCalls(), ::openat)(
            folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (sub < 0) continue;
        RemoveFolderContents(sub, depth + 1);
        (detail::CountSystemCalls(), ::close)(sub);
        if ((detail::CountSystemCalls(), ::unlinkat)(folder, name, AT_REMOVEDIR) == 0)
          removedAny = true;
      }
    }
    if (empty) return true;
  }
  return false;
}

}  // namespace

std::string NextAsideName(const std::string& nativeTarget) {
  static std::atomic<unsigned> counter{0};
  const std::string folder = detail::FolderOfNative(nativeTarget);
  return (folder == "/" ? "" : folder) + "/" + AsidePrefix(nativeTarget) +
         std::to_string(static_cast<long>(::getpid())) + "-" +
         std::to_string(counter.fetch_add(1, std::memory_order_relaxed));
}

bool IsAsideOf(const std::string& name, const std::string& nativeTarget, long* writer) {
  const std::string prefix = AsidePrefix(nativeTarget);
  if (name.compare(0, prefix.size(), prefix) != 0) return false;
  // "<pid>-<n>" and nothing else.
  const char* digits = name.c_str() + prefix.size();
  if (*digits < '1' || *digits > '9') return false;
  char* end = nullptr;
  errno = 0;
  const long pid = std::strtol(digits, &end, 10);
  if (errno != 0 || *end != '-' || pid <= 0) return false;
  const char* n = end + 1;
  if (*n == '\0' || std::strspn(n, "0123456789") != std::strlen(n)) return false;
  if (writer) *writer = pid;
  return true;
}

void RemoveAbandonedAsides(const std::string& nativeTarget) {
  const std::string folder = detail::FolderOfNative(nativeTarget);
  std::shared_ptr<const detail::FolderNames> names;
  FileStamp stamp;
  if (detail::IsPlainAbsolute(folder)) {
    if (StampOfNative(folder, stamp)) names = detail::NamesOfFolder(folder, stamp);
  } else {
    names = detail::ReadFolderNamesNow(folder, 0);
  }
  if (names) detail::RemoveAbandonedAsidesAmong(nativeTarget, *names);
}

bool RemoveTree(const std::string& native) {
  if ((detail::CountSystemCalls(), ::unlink)(native.c_str()) == 0) return true;
  if (errno == ENOENT) return true;
  if (errno != EISDIR) return false;
  const int folder = (detail::CountSystemCalls(), ::open)(
      native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (folder < 0) return false;
  RemoveFolderContents(folder, 0);
  (detail::CountSystemCalls(), ::close)(folder);
  return (detail::CountSystemCalls(), ::rmdir)(native.c_str()) == 0;
}

namespace detail {

namespace {

// Writes every byte to fd and closes it; false when a write or the close
// fails.
bool WriteAllAndClose(int fd, const std::string& bytes) {
  bool ok = true;
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    CountSystemCalls();
    const ssize_t w = write(fd, bytes.data() + done, bytes.size() - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0)
      ok = false;
    else
      done += static_cast<std::size_t>(w);
  }
  CountSystemCalls(2);
  if (close(fd) != 0) ok = false;
  return ok;
}

}  // namespace

bool MakeFolderAndParent(const std::string& folder) {
  auto make = [](const std::string& path) {
    CountSystemCalls();
    return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
  };
  const std::size_t parentSlash = folder.rfind('/');
  if (parentSlash != std::string::npos && parentSlash > 0 && !make(folder.substr(0, parentSlash)))
    return false;
  return make(folder);
}

bool WriteAside(const std::string& path, const std::string& bytes) {
  RemoveAbandonedAsides(path);
  std::string aside;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    aside = NextAsideName(path);
    CountSystemCalls();
    fd = ::open(aside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = WriteAllAndClose(fd, bytes);
  CountSystemCalls();
  if (ok && ::rename(aside.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    CountSystemCalls();
    ::unlink(aside.c_str());
  }
  return ok;
}

void RemoveAbandonedAsidesAmong(const std::string& nativeTarget, const FolderNames& names) {
  const std::string folder = detail::FolderOfNative(nativeTarget);
  const long self = static_cast<long>(::getpid());
  std::vector<std::string> abandoned;
  for (const FolderNames::Entry& e : names.list) {
    const std::string_view name = names.Name(e);
    long pid = 0;
    if (name.empty() || name[0] != '.' || !IsAsideOf(std::string(name), nativeTarget, &pid) ||
        pid == self)
      continue;
    // A process that runs (or that this one may not signal) keeps its
    // aside.
    if ((CountSystemCalls(), ::kill)(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    abandoned.push_back(JoinNative(folder, name));
  }
  for (const std::string& path : abandoned) RemoveTree(path);
}

}  // namespace detail

}  // namespace plat
