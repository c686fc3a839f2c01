#pragma once
// Helpers shared by the unit tests: scratch folders, raw file access and
// readable output for CP932 texts.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Skips a test that sets an address-space limit: a sanitizer reserves more
// address space at start than such a limit leaves.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SKIP_UNDER_A_SANITIZER() \
  GTEST_SKIP() << "a sanitizer cannot run under an address-space limit"
#else
#define SKIP_UNDER_A_SANITIZER() static_cast<void>(0)
#endif

namespace testutil {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it
// when the object goes away. Its name is ASCII, so the native path and the
// CP932 path are the same bytes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }  // no trailing '/'
  // path() + "/" + name, name given in UTF-8 (the form on disk).
  std::string Native(std::string_view utf8Name) const;
  // path() + "\" + name, name given in CP932: the form the system builds.
  std::string Sys(std::string_view cp932Name) const;

 private:
  std::string path_;
};

// While it lives, every file counts as settled (plat::StampIsSettled): the
// clock of the racy-stamp rule runs an hour ahead, for tests of what is
// kept for files they have just written. Tests of the rule itself go
// without it.
class SettledClock {
 public:
  SettledClock();
  ~SettledClock();
  SettledClock(const SettledClock&) = delete;
  SettledClock& operator=(const SettledClock&) = delete;
};

// Raw bytes of a file by native path; "" when it does not exist.
std::string ReadBytes(const std::string& nativePath);
bool WriteBytes(const std::string& nativePath, std::string_view bytes);
bool Exists(const std::string& nativePath);
// The names in a folder (native path), sorted; files aside show here too.
std::vector<std::string> FolderNames(const std::string& nativeFolder);

// While it lives, files of this process cannot grow past `bytes` (writes
// beyond fail as on a full disk; SIGXFSZ is ignored meanwhile).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(unsigned long bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  unsigned long savedCurrent_ = 0;
  void (*savedHandler_)(int) = nullptr;
};

// Runs fn in a forked child whose files cannot grow past `bytes` (writes
// beyond fail as on a full disk; SIGXFSZ is ignored). The answer is fn's
// answer (0..255) as the child's exit status, or -1 when the child did not
// exit by itself.
int RunInChildWithFileSizeLimit(unsigned long bytes, const std::function<int()>& fn);

// Makes a character device node with the given numbers (1, 3 are those of
// /dev/null, 1, 7 those of /dev/full); false when the system does not
// allow it (a process without the right to make device nodes).
bool MakeCharDevice(const std::string& nativePath, unsigned major, unsigned minor);
// True when the name (not followed) is a character device with those numbers.
bool IsCharDevice(const std::string& nativePath, unsigned major, unsigned minor);

// CP932 bytes shown as UTF-8 (for failure messages).
std::string Show(std::string_view cp932);
// UTF-8 text (e.g. a u8"" literal) as CP932 bytes.
std::string Sjis(std::u8string_view utf8);

// The comma-separated fields of a row (no quoting), empty ones included.
std::vector<std::string> CsvFields(const std::string& row);

// Sets an environment variable (value null: unsets it) while it lives, then
// puts back what was there.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool had_ = false;
  std::string old_;
};

}  // namespace testutil
