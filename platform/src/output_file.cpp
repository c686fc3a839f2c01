#include "plat/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "file_error.h"
#include "folder_names.h"
#include "plat/aside.h"
#include "plat/path.h"
#include "resolve_look.h"
#include "syscall_count.h"
#include "write_aside.h"

namespace plat {
namespace {

constexpr std::uint32_t kAccessMask = 0x0003;
int OpenRetrying(const std::string& native, int oflags) {
  int fd;
  do {
    fd = (detail::CountSystemCalls(), ::open)(native.c_str(), oflags, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// A new file beside target, created exclusively under the next aside name
// (plat/aside.h), with the mode (and, where allowed, the owner) of the file
// it is to replace.
int CreateAside(const std::string& target, const struct stat& replaced, std::string& aside) {
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    aside = NextAsideName(target);
    fd = OpenRetrying(aside, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return -1;
  (detail::CountSystemCalls(), ::fchmod)(fd, replaced.st_mode & 07777);
  if (replaced.st_uid != ::geteuid() || replaced.st_gid != ::getegid()) {
    // Only a privileged process may give the file away; otherwise it stays
    // the writer's own.
    if ((detail::CountSystemCalls(), ::fchown)(fd, replaced.st_uid, replaced.st_gid) == 0)
      (detail::CountSystemCalls(), ::fchmod)(fd, replaced.st_mode & 07777);
  }
  return fd;
}

}  // namespace

OutputFile::~OutputFile() {
  // A committed file is the caller's now.
  if (committed_)
    Finish();
  else
    Discard();
}

void OutputFile::Reset() {
  kind_ = Kind::None;
  target_.clear();
  aside_.clear();
  device_ = inode_ = 0;
  committed_ = false;
  throughLink_ = false;
  kept_ = false;
  keptDevice_ = keptInode_ = 0;
}

bool OutputFile::Open(const char* path, std::uint32_t flags) {
  if (file_.IsOpen()) {
    file_.SetError(FileError::Io, EBUSY);
    return false;
  }
  Finish();
  file_.SetError(FileError::None, 0);
  const std::uint32_t access = flags & kAccessMask;
  if (access != ModeWrite && access != ModeReadWrite) {
    file_.SetError(FileError::Io, EINVAL);
    return false;
  }
  std::string native;
  detail::Looked looked;
  if (!path || !detail::ResolveLooking(path, true, native, looked)) {
    file_.SetError(path ? FileError::NotFound : FileError::BadPath, ENOENT);
    return false;
  }
  const int base = O_CLOEXEC | O_NONBLOCK | (access == ModeWrite ? O_WRONLY : O_RDWR);
  int fd = -1;
  // A name that appears or goes between the look and the open is looked
  // at again.
  for (int attempt = 0; attempt < 4 && fd < 0; ++attempt) {
    // The first look is the one the resolution took of the name, if any.
    struct stat st = looked.st;
    const bool first = attempt == 0 && looked.known;
    if (first ? !looked.exists : (detail::CountSystemCalls(), ::lstat)(native.c_str(), &st) != 0) {
      if (!first && errno != ENOENT) break;
      // The asides a killed writer of the name left, among the folder's
      // names where the resolution has just read them.
      if (attempt == 0 && looked.folderNames)
        detail::RemoveAbandonedAsidesAmong(native, *looked.folderNames);
      else if (attempt == 0)
        RemoveAbandonedAsides(native);
      fd = OpenRetrying(native, base | O_CREAT | O_EXCL);
      if (fd < 0 && errno == EEXIST) continue;
      kind_ = Kind::Created;
      target_ = native;
      break;
    }
    std::string target = native;
    if (S_ISLNK(st.st_mode)) {
      char real[PATH_MAX];
      if ((detail::CountSystemCalls(), ::stat)(native.c_str(), &st) != 0 ||
          !::realpath(native.c_str(), real)) {
        // A link to nothing: the file it names is made as before, and is
        // never removed (it was not created under the name given).
        fd = OpenRetrying(native, base | O_CREAT | O_TRUNC);
        kind_ = Kind::InPlace;
        target_ = native;
        break;
      }
      target = real;
      throughLink_ = true;
    }
    if (S_ISDIR(st.st_mode)) {
      file_.SetError(FileError::IsDirectory, EISDIR);
      return false;
    }
    if (S_ISREG(st.st_mode)) {
      // A file this process may not write is not replaced either.
      if ((detail::CountSystemCalls(), ::faccessat)(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) !=
          0)
        break;
      RemoveAbandonedAsides(target);
      fd = CreateAside(target, st, aside_);
      kind_ = Kind::Aside;
      if (fd < 0 && (errno == EACCES || errno == EPERM)) {
        // A folder that takes no new file: the file is rewritten in place,
        // as it always was there, and never removed.
        aside_.clear();
        fd = OpenRetrying(target, base | O_TRUNC);
        kind_ = Kind::InPlace;
      }
    } else {
      // A device takes the content in place.
      fd = OpenRetrying(target, base | O_TRUNC);
      kind_ = Kind::InPlace;
    }
    target_ = target;
    break;
  }
  if (fd < 0) {
    const int e = errno;
    Reset();
    file_.SetError(detail::FileErrorOf(e), e);
    return false;
  }
  struct stat own;
  if ((detail::CountSystemCalls(), ::fstat)(fd, &own) != 0) {
    const int e = errno;
    (detail::CountSystemCalls(), ::close)(fd);
    Discard();
    file_.SetError(FileError::Io, e);
    return false;
  }
  device_ = static_cast<std::uint64_t>(own.st_dev);
  inode_ = static_cast<std::uint64_t>(own.st_ino);
  if (!file_.Adopt(fd, path, flags & ~static_cast<std::uint32_t>(ModeCreate), &own)) {
    const FileError cause = file_.LastError();
    const int e = file_.LastErrno();
    Discard();
    file_.SetError(cause, e);
    return false;
  }
  return true;
}

bool OutputFile::StillNamesOurs(const std::string& native) const {
  struct stat st;
  return !native.empty() && (detail::CountSystemCalls(), ::lstat)(native.c_str(), &st) == 0 &&
         S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_dev) == device_ &&
         static_cast<std::uint64_t>(st.st_ino) == inode_;
}

bool OutputFile::Commit() {
  if (kind_ == Kind::None || committed_) return false;
  if (!file_.Close()) {
    const FileError cause = file_.LastError();
    const int e = file_.LastErrno();
    Discard();
    file_.SetError(cause, e);
    return false;
  }
  if (kind_ == Kind::Aside && !PutAsideInPlace()) {
    const int e = errno;
    Discard();
    file_.SetError(FileError::Io, e);
    return false;
  }
  committed_ = true;
  return true;
}

bool OutputFile::PutAsideInPlace() {
  if (!StillNamesOurs(aside_)) return false;
  // Exchanged, the earlier file stays under the aside name until this
  // object is done: a later Discard puts it back in one step.
  if ((detail::CountSystemCalls(), ::renameat2)(AT_FDCWD, aside_.c_str(), AT_FDCWD, target_.c_str(),
                                                RENAME_EXCHANGE) == 0) {
    struct stat st;
    if ((detail::CountSystemCalls(), ::lstat)(aside_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      keptDevice_ = static_cast<std::uint64_t>(st.st_dev);
      keptInode_ = static_cast<std::uint64_t>(st.st_ino);
      kept_ = true;
      return true;
    }
    // Something other than a file took the name meanwhile: back it goes,
    // and the plain rename below refuses it.
    (detail::CountSystemCalls(), ::renameat2)(AT_FDCWD, aside_.c_str(), AT_FDCWD, target_.c_str(),
                                              RENAME_EXCHANGE);
  }
  return (detail::CountSystemCalls(), ::rename)(aside_.c_str(), target_.c_str()) == 0;
}

bool OutputFile::StillNamesKept() const {
  struct stat st;
  return kept_ && (detail::CountSystemCalls(), ::lstat)(aside_.c_str(), &st) == 0 &&
         S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_dev) == keptDevice_ &&
         static_cast<std::uint64_t>(st.st_ino) == keptInode_;
}

void OutputFile::Finish() {
  // The replacement is final: the earlier file kept aside goes.
  if (committed_ && StillNamesKept()) (detail::CountSystemCalls(), ::unlink)(aside_.c_str());
  Reset();
}

void OutputFile::Discard() {
  const FileError cause = file_.LastError();
  const int e = file_.LastErrno();
  file_.Close();
  if (committed_ && kept_) {
    // The earlier file, kept aside, takes its name back from the new one.
    if (StillNamesOurs(target_) && StillNamesKept())
      (detail::CountSystemCalls(), ::rename)(aside_.c_str(), target_.c_str());
  } else {
    // Before the commit the file of this object is the new file or the
    // file aside; after it, the file now under the target's name, unless
    // a link leads there (the target of a link is never removed).
    const std::string& own = kind_ == Kind::Aside && !committed_ ? aside_ : target_;
    const bool removable = !committed_ || !throughLink_;
    if ((kind_ == Kind::Created || kind_ == Kind::Aside) && removable && StillNamesOurs(own))
      (detail::CountSystemCalls(), ::unlink)(own.c_str());
  }
  Reset();
  file_.SetError(cause, e);
}

}  // namespace plat
