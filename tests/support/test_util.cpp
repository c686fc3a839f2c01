#include "test_util.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

#include "plat/cp932.h"
#include "platform/src/settle_clock.h"

namespace fs = std::filesystem;

namespace testutil {

TempDir::TempDir() {
  const char* env = std::getenv("TMPDIR");
  fs::path base = (env && *env && fs::is_directory(env)) ? fs::path(env) : fs::path("/tmp");
  std::random_device rd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path p = base / ("kort-test-" + std::to_string(rd()));
    std::error_code ec;
    if (fs::create_directory(p, ec)) {
      path_ = p.string();
      return;
    }
  }
  std::abort();
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string TempDir::Native(std::string_view utf8Name) const {
  return path_ + "/" + std::string(utf8Name);
}

std::string TempDir::Sys(std::string_view cp932Name) const {
  return path_ + "\\" + std::string(cp932Name);
}

std::string ReadBytes(const std::string& nativePath) {
  std::ifstream in(nativePath, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool WriteBytes(const std::string& nativePath, std::string_view bytes) {
  std::ofstream out(nativePath, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool Exists(const std::string& nativePath) {
  std::error_code ec;
  return fs::exists(nativePath, ec);
}

std::vector<std::string> FolderNames(const std::string& nativeFolder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(nativeFolder, ec))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

FileSizeLimit::FileSizeLimit(unsigned long bytes) {
  savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = {};
  getrlimit(RLIMIT_FSIZE, &limit);
  savedCurrent_ = limit.rlim_cur;
  limit.rlim_cur = bytes;
  setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
  struct rlimit limit = {};
  getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = savedCurrent_;
  setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, savedHandler_);
}

int RunInChildWithFileSizeLimit(unsigned long bytes, const std::function<int()>& fn) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes;
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(255);
    _exit(fn() & 0xFF);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool MakeCharDevice(const std::string& nativePath, unsigned major, unsigned minor) {
  return mknod(nativePath.c_str(), S_IFCHR | 0666, makedev(major, minor)) == 0;
}

bool IsCharDevice(const std::string& nativePath, unsigned major, unsigned minor) {
  struct stat st;
  return lstat(nativePath.c_str(), &st) == 0 && S_ISCHR(st.st_mode) &&
         st.st_rdev == makedev(major, minor);
}

std::string Show(std::string_view cp932) { return plat::cp932::ToUtf8Display(cp932); }

std::string Sjis(std::u8string_view utf8) {
  std::string out;
  plat::cp932::FromUtf8(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()),
                        out);
  return out;
}

std::vector<std::string> CsvFields(const std::string& row) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = row.find(',', start);
    fields.push_back(row.substr(start, comma - start));
    if (comma == std::string::npos) return fields;
    start = comma + 1;
  }
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  if (const char* old = std::getenv(name)) {
    had_ = true;
    old_ = old;
  }
  if (value)
    setenv(name, value, 1);
  else
    unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (had_)
    setenv(name_.c_str(), old_.c_str(), 1);
  else
    unsetenv(name_.c_str());
}

SettledClock::SettledClock() { plat::detail::ShiftClockForTests(std::int64_t{3600} * 1000000000); }

SettledClock::~SettledClock() { plat::detail::ShiftClockForTests(0); }

}  // namespace testutil
