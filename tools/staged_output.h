#pragma once
// Outputs of the data builders, written aside and moved into place only when
// complete, so that a builder that fails (a write error, memory running out)
// leaves the earlier output as it was, or none, and never a part of a new one.
//
// The asides are named and cleaned up as every writer's are (plat/aside.h):
// an aside left behind by a builder that was killed (its process is gone)
// is removed by the next builder that writes the same target.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/sjis_text.h"
#include "plat/aside.h"
#include "plat/path.h"
#include "tools/own_output.h"

namespace builder {

namespace staged_detail {

inline std::string StripNativeSeparators(std::string native) {
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  return native;
}

// The resolved path of a file to write with its last name as the builder
// gives it. Resolving chooses an existing name of another case for a new
// file (as Windows would open it); that file is not the builder's output,
// and it is kept beside the one written.
inline std::string WithExactLastName(const std::string& resolved, const std::string& exact) {
  const std::size_t r = resolved.rfind('/');
  const std::size_t e = exact.rfind('/');
  const std::string last = e == std::string::npos ? exact : exact.substr(e + 1);
  return r == std::string::npos ? last : resolved.substr(0, r + 1) + last;
}

inline bool WriteAll(int fd, const std::string& bytes) {
  const char* at = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, at, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace staged_detail

// Why a staged output failed: its file or folder could not be made (or an
// existing target is of another kind), or writing it failed.
enum class StageFailure { kNone, kCreate, kWrite };

// Files written aside, each beside its target, and renamed over their
// targets together by Commit. What is not committed is removed when the
// object goes away; the targets keep what they held.
class StagedFiles {
 public:
  StagedFiles() = default;
  ~StagedFiles() { Discard(); }
  StagedFiles(const StagedFiles&) = delete;
  StagedFiles& operator=(const StagedFiles&) = delete;

  // Writes bytes aside for path (a CP932 path whose folder exists). The
  // target is the file of exactly that name: a file whose name differs
  // only in case is someone else's and stays as it is. An existing target
  // must be a regular file (a device, folder or link named as the output
  // is refused, not replaced).
  bool Add(const char* path, const std::string& bytes, StageFailure* failure) {
    std::string target, exact;
    if (path == nullptr || !plat::path::Resolve(path, true, target) ||
        !plat::path::ToNative(path, exact)) {
      return Fail(failure, StageFailure::kCreate);
    }
    target = staged_detail::WithExactLastName(staged_detail::StripNativeSeparators(target),
                                              staged_detail::StripNativeSeparators(exact));
    struct stat st;
    if (::lstat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
      return Fail(failure, StageFailure::kCreate);
    }
    plat::RemoveAbandonedAsides(target);
    std::string aside;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
      aside = plat::NextAsideName(target);
      fd = ::open(aside.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return Fail(failure, StageFailure::kCreate);
    entries_.push_back({aside, target});
    const bool written = staged_detail::WriteAll(fd, bytes);
    if (::close(fd) != 0 || !written) {
      ::unlink(aside.c_str());
      entries_.pop_back();
      return Fail(failure, StageFailure::kWrite);
    }
    return true;
  }

  // Renames every file over its target. False when a rename fails; the
  // files not renamed by then are removed.
  bool Commit() {
    bool ok = true;
    for (const Entry& e : entries_) {
      if (ok && ::rename(e.aside.c_str(), e.target.c_str()) == 0) continue;
      ok = false;
      ::unlink(e.aside.c_str());
    }
    entries_.clear();
    return ok;
  }

  // Removes the files written aside (done when the object goes away).
  void Discard() {
    // A forked worker that unwinds leaves its parent's files alone.
    if (::getpid() == owner_) {
      for (const Entry& e : entries_) ::unlink(e.aside.c_str());
    }
    entries_.clear();
  }

 private:
  struct Entry {
    std::string aside;
    std::string target;
  };
  static bool Fail(StageFailure* failure, StageFailure why) {
    if (failure) *failure = why;
    return false;
  }

  std::vector<Entry> entries_;
  pid_t owner_ = ::getpid();
};

// A folder written aside and put in its target's place by Commit: the
// target is either the earlier folder, untouched, or the complete new one.
// A folder that is not committed is removed with its files when the object
// goes away, and so are the folders above it that Begin created.
class StagedFolder {
 public:
  StagedFolder() = default;
  ~StagedFolder() { Discard(); }
  StagedFolder(const StagedFolder&) = delete;
  StagedFolder& operator=(const StagedFolder&) = delete;

  // Creates the folders above target (a CP932 path) and an empty folder
  // beside it. An existing target must be a folder that holds nothing but
  // files: it is replaced whole by Commit (when they are all the builder's
  // own output), and a folder with folders in it is not a builder's
  // output. False with a short reason otherwise.
  bool Begin(const std::string& folder, std::string* reason) {
    Discard();
    std::string target = folder;
    while (target.size() > 1 && plat::path::EndsWithSeparator(target)) target.pop_back();
    if (target.empty()) return Reason(reason, "no folder");
    if (!MakeFoldersAbove(target, reason)) return Cleanup(false);
    std::string native;
    if (!plat::path::Resolve(target.c_str(), true, native)) {
      return Cleanup(Reason(reason, "no such folder"));
    }
    native = staged_detail::StripNativeSeparators(native);
    struct stat st;
    if (::lstat(native.c_str(), &st) == 0 && !HoldsFilesOnly(native, st, reason)) {
      return Cleanup(false);
    }
    plat::RemoveAbandonedAsides(native);
    for (int attempt = 0; attempt < 100 && aside_.empty(); ++attempt) {
      const std::string aside = plat::NextAsideName(native);
      if (::mkdir(aside.c_str(), 0777) == 0) {
        aside_ = aside;
      } else if (errno != EEXIST) {
        break;
      }
    }
    if (aside_.empty()) return Cleanup(Reason(reason, std::strerror(errno)));
    target_ = native;
    path_ = plat::path::FromNative(aside_) + "\\";
    return true;
  }

  // The aside folder as a CP932 path ending in a separator ("" before Begin).
  const std::string& path() const { return path_; }

  // Puts the aside folder in the target's place; an earlier folder there is
  // exchanged with it in one step where the file system can, and removed.
  // An earlier folder that holds other names than the builder's own output
  // (tools/own_output.h) is refused and left as it was.
  bool Commit(std::string* reason) {
    if (aside_.empty()) return Reason(reason, "nothing to commit");
    struct stat st;
    bool moved = false;
    if (::lstat(target_.c_str(), &st) != 0) {
      moved = errno == ENOENT && ::renameat2(AT_FDCWD, aside_.c_str(), AT_FDCWD, target_.c_str(),
                                             RENAME_NOREPLACE) == 0;
      if (!moved && (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP)) {
        moved = ::rename(aside_.c_str(), target_.c_str()) == 0;
      }
      if (moved) aside_.clear();
    } else if (!HoldsFilesOnly(target_, st, reason)) {
      return false;  // it has changed since Begin
    } else if (!HoldsOwnOutputOnly(target_, aside_, reason)) {
      return false;  // someone else's files would go with it
    } else {
      moved = Exchange();
    }
    if (!moved) return Reason(reason, std::strerror(errno));
    // What is aside now is the earlier folder.
    created_.clear();
    Discard();
    return true;
  }

  // Removes the aside folder and the folders Begin created (done when the
  // object goes away).
  void Discard() {
    if (::getpid() != owner_) return;  // a forked worker unwinding
    if (!aside_.empty()) plat::RemoveTree(aside_);
    aside_.clear();
    path_.clear();
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) ::rmdir(it->c_str());
    created_.clear();
  }

 private:
  static bool Reason(std::string* reason, const char* text) {
    if (reason) *reason = text;
    return false;
  }
  bool Cleanup(bool result) {
    Discard();
    return result;
  }

  // Every separator that begins a character ends a folder above the target;
  // the walk goes forward, so a 0x5C trail byte is never taken for one.
  bool MakeFoldersAbove(const std::string& target, std::string* reason) {
    for (std::size_t i = 0; i < target.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(target[i]);
      if (IsLeadByte(c)) {
        ++i;
        continue;
      }
      if ((c != '\\' && c != '/') || i == 0) continue;
      const std::string head = target.substr(0, i);
      std::string native;
      if (plat::path::Resolve(head.c_str(), false, native)) {
        if (!plat::path::IsDirectory(head.c_str())) return Reason(reason, "not a folder");
        continue;
      }
      if (!plat::path::MakeDir(head.c_str()) || !plat::path::Resolve(head.c_str(), false, native)) {
        return Reason(reason, std::strerror(errno));
      }
      created_.push_back(staged_detail::StripNativeSeparators(native));
    }
    return true;
  }

  static bool HoldsFilesOnly(const std::string& native, const struct stat& st,
                             std::string* reason) {
    if (!S_ISDIR(st.st_mode)) return Reason(reason, "not a folder");
    DIR* dir = ::opendir(native.c_str());
    if (dir == nullptr) return Reason(reason, std::strerror(errno));
    bool filesOnly = true;
    while (const struct dirent* entry = ::readdir(dir)) {
      if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
      struct stat e;
      const std::string path = native + "/" + entry->d_name;
      if (::lstat(path.c_str(), &e) != 0 || !S_ISREG(e.st_mode)) filesOnly = false;
    }
    ::closedir(dir);
    return filesOnly || Reason(reason, "the folder holds other than files");
  }

  // Exchanges the aside folder and the target (aside_ then names the
  // earlier folder). Where the file system cannot exchange, the target is
  // renamed to a second aside name first and put back if the new folder
  // cannot follow it.
  bool Exchange() {
    if (::renameat2(AT_FDCWD, aside_.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE) == 0) {
      return true;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
    std::string earlier;
    for (int attempt = 0; attempt < 100 && earlier.empty(); ++attempt) {
      const std::string name = plat::NextAsideName(target_);
      struct stat st;
      if (::lstat(name.c_str(), &st) != 0 && errno == ENOENT) earlier = name;
    }
    if (earlier.empty() || ::rename(target_.c_str(), earlier.c_str()) != 0) return false;
    if (::rename(aside_.c_str(), target_.c_str()) != 0) {
      const int saved = errno;
      ::rename(earlier.c_str(), target_.c_str());
      errno = saved;
      return false;
    }
    aside_ = earlier;
    return true;
  }

  std::string target_;  // native, without a separator at its end
  std::string aside_;   // native
  std::string path_;    // CP932, ending in a separator
  std::vector<std::string> created_;
  pid_t owner_ = ::getpid();
};

}  // namespace builder
