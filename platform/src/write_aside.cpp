#include "write_aside.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "syscall_count.h"

namespace plat::detail {

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

bool WriteAside(const std::string& path, const std::string& bytes) {
  std::string aside = path + ".XXXXXX";
  CountSystemCalls();
  const int fd = mkstemp(aside.data());
  if (fd < 0) return false;
  bool ok = WriteAllAndClose(fd, bytes);
  if (ok && std::rename(aside.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) std::remove(aside.c_str());
  return ok;
}

}  // namespace plat::detail
