#include "plat/cache_file.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "syscall_count.h"
#include "write_aside.h"

namespace plat {
namespace detail {

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
  std::string aside = path + ".XXXXXX";
  CountSystemCalls();
  const int fd = mkstemp(aside.data());
  if (fd < 0) return false;
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
  if (ok && std::rename(aside.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) std::remove(aside.c_str());
  return ok;
}

}  // namespace detail

namespace {

bool PlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// Removes the oldest files of the folder beyond kMaxCacheFiles, never the
// one just written.
void TrimCacheFolder(const std::string& folder, const std::string& kept) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  std::vector<std::pair<std::int64_t, std::string>> files;  // (modified, path)
  while (const dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (!PlainName(name) || name == kept) continue;
    const std::string path = folder + "/" + name;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    files.emplace_back(
        static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec, path);
  }
  closedir(dir);
  if (files.size() < kMaxCacheFiles) return;
  std::sort(files.begin(), files.end());
  for (std::size_t i = 0; i + kMaxCacheFiles <= files.size(); ++i)
    std::remove(files[i].second.c_str());
}

}  // namespace

std::string CacheFolder() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg && xdg[0] == '/') return std::string(xdg) + "/kort";
  const char* home = std::getenv("HOME");
  if (!home || home[0] != '/') return std::string();
  return std::string(home) + "/.cache/kort";
}

bool ReadCacheFile(const std::string& name, std::string& bytes, std::size_t maxSize) {
  bytes.clear();
  const std::string folder = CacheFolder();
  if (folder.empty() || !PlainName(name)) return false;
  detail::CountSystemCalls();
  // Not blocking: whatever stands in the file's place is checked first.
  const int fd = open((folder + "/" + name).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  detail::CountSystemCalls();
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
            static_cast<std::uint64_t>(st.st_size) <= maxSize;
  if (ok) {
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
      detail::CountSystemCalls();
      const ssize_t r =
          pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0)
        ok = false;
      else
        done += static_cast<std::size_t>(r);
    }
  }
  detail::CountSystemCalls();
  close(fd);
  if (!ok) bytes.clear();
  return ok;
}

bool WriteCacheFile(const std::string& name, const std::string& bytes) {
  const std::string folder = CacheFolder();
  if (folder.empty() || !PlainName(name) || !detail::MakeFolderAndParent(folder)) return false;
  if (!detail::WriteAside(folder + "/" + name, bytes)) return false;
  TrimCacheFolder(folder, name);
  return true;
}

bool StampOfModule(const void* address, FileStamp& stamp) {
  Dl_info info{};
  if (dladdr(address, &info) == 0) return false;
  // The program itself may be named as it was started (relative, or by
  // the bare name found on the search path).
  const bool absolute = info.dli_fname != nullptr && info.dli_fname[0] == '/';
  return StampOfNative(absolute ? std::string(info.dli_fname) : std::string("/proc/self/exe"),
                       stamp);
}

}  // namespace plat
