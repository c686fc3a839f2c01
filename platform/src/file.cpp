#include "plat/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#include "file_error.h"
#include "plat/path.h"
#include "resolve_look.h"
#include "syscall_count.h"

namespace plat {
namespace {

constexpr unsigned char kCtrlZ = 0x1A;
constexpr std::uint32_t kAccessMask = 0x0003;
constexpr std::uint32_t kShareMask = 0x0070;
constexpr std::uint32_t kKnownFlags = kAccessMask | kShareMask | ModeCreate | TypeText;

// Writes every byte or reports the errno of the failure.
bool WriteAll(int fd, const unsigned char* p, std::size_t n, int& err) {
  while (n > 0) {
    ssize_t w = (::plat::detail::CountSystemCalls(), ::write)(
        fd, p, std::min<std::size_t>(n, std::numeric_limits<ssize_t>::max()));
    if (w < 0) {
      if (errno == EINTR) continue;
      err = errno;
      return false;
    }
    if (w == 0) {
      err = ENOSPC;
      return false;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

}  // namespace

File::~File() { Close(); }

void File::SetError(FileError e, int err) {
  lastError_ = e;
  lastErrno_ = err;
}

bool File::Open(const char* path, std::uint32_t flags) {
  if (fd_ >= 0) {
    SetError(FileError::Io, EBUSY);
    return false;
  }
  SetError(FileError::None, 0);
  if (!path) {
    SetError(FileError::BadPath, EINVAL);
    return false;
  }
  if ((flags & ~kKnownFlags) != 0 || (flags & kAccessMask) == kAccessMask) {
    SetError(FileError::Io, EINVAL);
    return false;
  }
  const bool create = (flags & ModeCreate) != 0;
  std::string native;
  if (!path::ToNative(path, native)) {
    SetError(FileError::BadPath, ENOENT);
    return false;
  }
  int oflags = O_CLOEXEC | O_NONBLOCK;  // no wait on a FIFO; cleared below
  switch (flags & kAccessMask) {
    case ModeRead:
      oflags |= O_RDONLY;
      break;
    case ModeWrite:
      oflags |= O_WRONLY;
      break;
    default:
      oflags |= O_RDWR;
      break;
  }
  if (create) oflags |= O_CREAT | O_TRUNC;
  auto openNative = [&] {
    int opened;
    do {
      opened = (::plat::detail::CountSystemCalls(), ::open)(native.c_str(), oflags, 0666);
    } while (opened < 0 && errno == EINTR);
    return opened;
  };
  // A file that opens under its exact name is the one the name resolves to
  // (the exact name comes first); anything else resolves the name first.
  int fd = create ? -1 : openNative();
  if (fd < 0) {
    if (!path::Resolve(path, create, native)) {
      SetError(FileError::NotFound, ENOENT);
      return false;
    }
    fd = openNative();
  }
  if (fd < 0) {
    int e = errno;
    SetError(detail::FileErrorOf(e), e);
    return false;
  }
  return Adopt(fd, path, flags);
}

bool File::Adopt(int fd, const char* path, std::uint32_t flags, const struct stat* status) {
  SetError(FileError::None, 0);
  struct stat st;
  if (status)
    st = *status;
  else if ((::plat::detail::CountSystemCalls(), ::fstat)(fd, &st) != 0) {
    int e = errno;
    (::plat::detail::CountSystemCalls(), ::close)(fd);
    SetError(FileError::Io, e);
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    (::plat::detail::CountSystemCalls(), ::close)(fd);
    SetError(FileError::IsDirectory, EISDIR);
    return false;
  }
  if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) {
    (::plat::detail::CountSystemCalls(), ::close)(fd);
    SetError(FileError::AccessDenied, ENXIO);
    return false;
  }
  // Reads and writes of a regular file never wait, with or without the flag.
  if (!S_ISREG(st.st_mode)) {
    int fl = (::plat::detail::CountSystemCalls(), ::fcntl)(fd, F_GETFL);
    if (fl >= 0) (::plat::detail::CountSystemCalls(), ::fcntl)(fd, F_SETFL, fl & ~O_NONBLOCK);
  }
  fd_ = fd;
  flags_ = flags;
  path_ = path;
  bufPos_ = bufLen_ = 0;
  eofMark_ = false;
  // A regular file opened afresh stands at its start.
  offset_ = S_ISREG(st.st_mode) ? 0 : -1;
  return true;
}

bool File::Close() {
  if (fd_ < 0) return true;
  int r = (::plat::detail::CountSystemCalls(), ::close)(fd_);
  int e = errno;
  fd_ = -1;
  offset_ = -1;
  flags_ = 0;
  path_.clear();
  bufPos_ = bufLen_ = 0;
  eofMark_ = false;
  // After EINTR the descriptor is gone on Linux; nothing was lost.
  if (r != 0 && e != EINTR) {
    SetError(FileError::Io, e);
    return false;
  }
  SetError(FileError::None, 0);
  return true;
}

bool File::Seek(std::int64_t offset, SeekOrigin origin) {
  if (fd_ < 0) {
    SetError(FileError::Io, EBADF);
    return false;
  }
  SetError(FileError::None, 0);
  std::int64_t base = 0;
  if (origin == SeekOrigin::Current) {
    std::uint64_t pos;
    if (!GetPosition(pos)) {
      SetError(FileError::BadSeek, errno);
      return false;
    }
    base = static_cast<std::int64_t>(pos);
  } else if (origin == SeekOrigin::End) {
    std::uint64_t len;
    if (!GetLength(len)) {
      SetError(FileError::BadSeek, errno);
      return false;
    }
    base = static_cast<std::int64_t>(len);
  }
  std::int64_t target;
  if (__builtin_add_overflow(base, offset, &target) || target < 0) {
    SetError(FileError::BadSeek, EINVAL);
    return false;
  }
  // An absolute seek: the read-ahead needs no winding back.
  bufPos_ = bufLen_ = 0;
  eofMark_ = false;
  const off_t reached =
      (::plat::detail::CountSystemCalls(), ::lseek)(fd_, static_cast<off_t>(target), SEEK_SET);
  if (reached < 0) {
    offset_ = -1;
    SetError(FileError::BadSeek, errno);
    return false;
  }
  if (offset_ >= 0) offset_ = reached;  // known for a regular file only
  return true;
}

bool File::GetPosition(std::uint64_t& pos) const {
  if (fd_ < 0) return false;
  // The file's own position is asked only when this object does not know it.
  off_t raw = offset_ >= 0 ? static_cast<off_t>(offset_)
                           : (::plat::detail::CountSystemCalls(), ::lseek)(fd_, 0, SEEK_CUR);
  if (raw < 0) return false;
  std::uint64_t unread = bufLen_ - bufPos_;
  if (static_cast<std::uint64_t>(raw) < unread) return false;
  pos = static_cast<std::uint64_t>(raw) - unread;
  return true;
}

bool File::GetLength(std::uint64_t& len) const {
  if (fd_ < 0) return false;
  struct stat st;
  if ((::plat::detail::CountSystemCalls(), ::fstat)(fd_, &st) != 0) return false;
  len = static_cast<std::uint64_t>(st.st_size);
  return true;
}

bool File::SetLength(std::uint64_t len) {
  if (fd_ < 0) {
    SetError(FileError::Io, EBADF);
    return false;
  }
  SetError(FileError::None, 0);
  if (len > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
    SetError(FileError::BadSeek, EINVAL);
    return false;
  }
  DropReadAhead();
  if ((::plat::detail::CountSystemCalls(), ::ftruncate)(fd_, static_cast<off_t>(len)) != 0) {
    int e = errno;
    SetError(e == EINVAL ? FileError::AccessDenied : detail::FileErrorOf(e), e);
    return false;
  }
  return true;
}

bool File::FillBuffer() {
  // Only called with the read-ahead used up.
  ssize_t r;
  do {
    r = (::plat::detail::CountSystemCalls(), ::read)(fd_, buf_, sizeof buf_);
  } while (r < 0 && errno == EINTR);
  if (r < 0) {
    int e = errno;
    offset_ = -1;
    SetError(detail::FileErrorOf(e), e);
    return false;
  }
  Advance(r);
  if (r == 0) return false;
  bufPos_ = 0;
  bufLen_ = static_cast<std::size_t>(r);
  return true;
}

void File::DropReadAhead() {
  std::size_t unread = bufLen_ - bufPos_;
  if (unread > 0) {
    const off_t reached =
        (::plat::detail::CountSystemCalls(), ::lseek)(fd_, -static_cast<off_t>(unread), SEEK_CUR);
    if (offset_ >= 0) offset_ = reached < 0 ? -1 : reached;
  }
  bufPos_ = bufLen_ = 0;
  eofMark_ = false;
}

int File::TextGetc() {
  if (eofMark_) return -1;
  if (bufPos_ == bufLen_ && !FillBuffer()) return -1;
  unsigned char c = buf_[bufPos_];
  if (!IsText()) {
    ++bufPos_;
    return c;
  }
  if (c == kCtrlZ) {
    // The mark stays unread: the position stays on it.
    eofMark_ = true;
    return -1;
  }
  ++bufPos_;
  if (c != '\r') return c;
  // One byte of look-ahead, across a refill when the CR ended the buffer.
  if (bufPos_ == bufLen_ && !FillBuffer()) return Failed() ? -1 : '\r';
  if (buf_[bufPos_] == '\n') {
    ++bufPos_;
    return '\n';
  }
  return '\r';
}

std::size_t File::Read(void* buf, std::size_t n) {
  if (fd_ < 0) {
    SetError(FileError::Io, EBADF);
    return 0;
  }
  SetError(FileError::None, 0);
  if (n == 0) return 0;
  if (!buf) {
    SetError(FileError::Io, EINVAL);
    return 0;
  }
  auto* out = static_cast<unsigned char*>(buf);
  std::size_t got = 0;
  if (IsText()) {
    while (got < n && !eofMark_) {
      if (bufPos_ == bufLen_ && !FillBuffer()) break;
      unsigned char c = buf_[bufPos_];
      if (c == '\r' || c == kCtrlZ) {
        int t = TextGetc();
        if (t < 0) break;
        out[got++] = static_cast<unsigned char>(t);
        continue;
      }
      // Copy the run up to the next CR or 0x1A as it stands.
      std::size_t lim = std::min(n - got, bufLen_ - bufPos_);
      std::size_t k = 0;
      while (k < lim && buf_[bufPos_ + k] != '\r' && buf_[bufPos_ + k] != kCtrlZ) ++k;
      std::memcpy(out + got, buf_ + bufPos_, k);
      got += k;
      bufPos_ += k;
    }
    return Failed() ? 0 : got;
  }
  // Binary: first what a line read left in the read-ahead, then the file.
  std::size_t avail = std::min(n, bufLen_ - bufPos_);
  if (avail > 0) {
    std::memcpy(out, buf_ + bufPos_, avail);
    bufPos_ += avail;
    got = avail;
  }
  while (got < n) {
    ssize_t r = (::plat::detail::CountSystemCalls(), ::read)(
        fd_, out + got, std::min<std::size_t>(n - got, std::numeric_limits<ssize_t>::max()));
    if (r < 0) {
      if (errno == EINTR) continue;
      int e = errno;
      offset_ = -1;
      SetError(detail::FileErrorOf(e), e);
      return 0;
    }
    if (r == 0) break;
    Advance(r);
    got += static_cast<std::size_t>(r);
  }
  return got;
}

bool File::WriteAt(std::uint64_t position, const void* buf, std::size_t n) {
  if (fd_ < 0 || IsText()) {
    SetError(FileError::Io, fd_ < 0 ? EBADF : EINVAL);
    return false;
  }
  SetError(FileError::None, 0);
  if (n == 0) return true;
  if (!buf || position > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
    SetError(FileError::Io, EINVAL);
    return false;
  }
  const auto* p = static_cast<const unsigned char*>(buf);
  std::size_t done = 0;
  while (done < n) {
    const ssize_t w = (::plat::detail::CountSystemCalls(), ::pwrite)(
        fd_, p + done, n - done, static_cast<off_t>(position + done));
    if (w < 0) {
      if (errno == EINTR) continue;
      const int e = errno;
      SetError(detail::FileErrorOf(e), e);
      return false;
    }
    if (w == 0) {
      SetError(FileError::DiskFull, ENOSPC);
      return false;
    }
    done += static_cast<std::size_t>(w);
  }
  return true;
}

bool File::Write(const void* buf, std::size_t n) {
  if (fd_ < 0) {
    SetError(FileError::Io, EBADF);
    return false;
  }
  SetError(FileError::None, 0);
  if (n == 0) return true;
  if (!buf) {
    SetError(FileError::Io, EINVAL);
    return false;
  }
  DropReadAhead();
  const auto* p = static_cast<const unsigned char*>(buf);
  int err = 0;
  if (!IsText()) {
    if (WriteAll(fd_, p, n, err)) {
      Advance(static_cast<ssize_t>(n));
      return true;
    }
    offset_ = -1;
    SetError(detail::FileErrorOf(err), err);
    return false;
  }
  // Text: every LF goes out as CR LF, straight to the file.
  unsigned char out[8192];
  std::size_t k = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (k + 2 > sizeof out) {
      if (!WriteAll(fd_, out, k, err)) {
        offset_ = -1;
        SetError(detail::FileErrorOf(err), err);
        return false;
      }
      Advance(static_cast<ssize_t>(k));
      k = 0;
    }
    if (p[i] == '\n') out[k++] = '\r';
    out[k++] = p[i];
  }
  if (!WriteAll(fd_, out, k, err)) {
    offset_ = -1;
    SetError(detail::FileErrorOf(err), err);
    return false;
  }
  Advance(static_cast<ssize_t>(k));
  return true;
}

bool File::Flush() {
  // Writes go straight to the file: nothing is held back here.
  if (fd_ < 0) {
    SetError(FileError::Io, EBADF);
    return false;
  }
  SetError(FileError::None, 0);
  return true;
}

bool File::SetTextMode(bool text) {
  if (fd_ < 0) {
    SetError(FileError::Io, EBADF);
    return false;
  }
  SetError(FileError::None, 0);
  // What was read ahead in one mode is read again in the other.
  DropReadAhead();
  if (text)
    flags_ |= TypeText;
  else
    flags_ &= ~static_cast<std::uint32_t>(TypeText);
  return true;
}

bool File::ReadString(char* buf, std::size_t n) {
  if (fd_ < 0) {
    SetError(FileError::Io, EBADF);
    return false;
  }
  SetError(FileError::None, 0);
  if (!buf || n == 0) return false;
  std::size_t k = 0;
  while (k + 1 < n) {
    int c = TextGetc();
    if (c < 0) break;
    buf[k++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  buf[k] = '\0';
  if (Failed()) return false;
  return k > 0;
}

bool File::ReadString(std::string& line) {
  line.clear();
  if (fd_ < 0) {
    SetError(FileError::Io, EBADF);
    return false;
  }
  SetError(FileError::None, 0);
  bool any = false;
  for (;;) {
    int c = TextGetc();
    if (c < 0) break;
    any = true;
    if (c == '\n') break;
    line.push_back(static_cast<char>(c));
  }
  if (Failed()) return false;
  return any;
}

bool File::WriteString(const char* text) {
  if (!text) {
    SetError(FileError::Io, EINVAL);
    return false;
  }
  return Write(text, std::strlen(text));
}

namespace {

bool SetLock(int fd, short type, std::uint64_t pos, std::uint64_t count, int& err) {
  constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
  if (count == 0 || pos > kMax || count > kMax - pos) {
    err = EINVAL;
    return false;
  }
  struct flock fl;
  std::memset(&fl, 0, sizeof fl);
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(pos);
  fl.l_len = static_cast<off_t>(count);
  if ((::plat::detail::CountSystemCalls(), ::fcntl)(fd, F_OFD_SETLK, &fl) == 0) return true;
  err = errno;
  return false;
}

}  // namespace

bool File::LockRange(std::uint64_t pos, std::uint64_t count) {
  if (fd_ < 0) {
    SetError(FileError::Io, EBADF);
    return false;
  }
  SetError(FileError::None, 0);
  // A write lock needs a descriptor open for writing.
  short type = (flags_ & kAccessMask) == ModeRead ? F_RDLCK : F_WRLCK;
  int err = 0;
  if (SetLock(fd_, type, pos, count, err)) return true;
  SetError(err == EINVAL ? FileError::BadSeek : FileError::AccessDenied, err);
  return false;
}

bool File::UnlockRange(std::uint64_t pos, std::uint64_t count) {
  if (fd_ < 0) {
    SetError(FileError::Io, EBADF);
    return false;
  }
  SetError(FileError::None, 0);
  int err = 0;
  if (SetLock(fd_, F_UNLCK, pos, count, err)) return true;
  SetError(err == EINVAL ? FileError::BadSeek : FileError::AccessDenied, err);
  return false;
}

bool File::Remove(const char* path) {
  std::string native;
  if (!path || !path::ToNative(path, native)) return false;
  // unlink refuses a directory (EISDIR). The exact name comes first when
  // the name is resolved, so a file removed under it is the one meant.
  if ((::plat::detail::CountSystemCalls(), ::unlink)(native.c_str()) == 0) return true;
  if (!path::Resolve(path, false, native)) return false;
  return (::plat::detail::CountSystemCalls(), ::unlink)(native.c_str()) == 0;
}

bool File::RemoveRegular(const char* path) {
  std::string native;
  detail::Looked looked;
  if (!path || !detail::ResolveLooking(path, false, native, looked)) return false;
  // The status the resolution took of the name, else one taken now.
  struct stat& st = looked.st;
  if (!looked.known && (::plat::detail::CountSystemCalls(), ::lstat)(native.c_str(), &st) != 0)
    return false;
  if ((looked.known && !looked.exists) || !S_ISREG(st.st_mode)) return false;
  return (::plat::detail::CountSystemCalls(), ::unlink)(native.c_str()) == 0;
}

bool File::RemoveRegularNativeWithoutMemory(const char* native) {
  struct stat st;
  if (!native || !*native || (::plat::detail::CountSystemCalls(), ::lstat)(native, &st) != 0 ||
      !S_ISREG(st.st_mode))
    return false;
  return (::plat::detail::CountSystemCalls(), ::unlink)(native) == 0;
}

bool File::WriteNewNativeWithoutMemory(const char* native, const void* bytes, std::size_t n,
                                       bool replace) {
  if (!native || !*native) return false;
  struct stat st;
  if ((::plat::detail::CountSystemCalls(), ::lstat)(native, &st) == 0 &&
      (!replace || !RemoveRegularNativeWithoutMemory(native)))
    return false;
  int fd;
  do {
    fd = (::plat::detail::CountSystemCalls(), ::open)(
        native, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  int err = 0;
  const bool written = WriteAll(fd, static_cast<const unsigned char*>(bytes), n, err);
  if ((::plat::detail::CountSystemCalls(), ::close)(fd) != 0 || !written) {
    (::plat::detail::CountSystemCalls(), ::unlink)(native);
    return false;
  }
  return true;
}

bool File::Rename(const char* from, const char* to) {
  std::string src, dst;
  if (!from || !to) return false;
  if (!path::Resolve(from, false, src)) return false;
  // A target that exists under another case resolves to that name, and then
  // counts as existing.
  if (!path::Resolve(to, true, dst)) return false;
  struct stat st;
  if ((::plat::detail::CountSystemCalls(), ::lstat)(dst.c_str(), &st) == 0) return false;
  if ((::plat::detail::CountSystemCalls(), ::renameat2)(AT_FDCWD, src.c_str(), AT_FDCWD,
                                                        dst.c_str(), RENAME_NOREPLACE) == 0)
    return true;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
  // A file system without RENAME_NOREPLACE: link fails on an existing target.
  if ((::plat::detail::CountSystemCalls(), ::link)(src.c_str(), dst.c_str()) != 0) return false;
  if ((::plat::detail::CountSystemCalls(), ::unlink)(src.c_str()) == 0) return true;
  (::plat::detail::CountSystemCalls(), ::unlink)(dst.c_str());
  return false;
}

bool File::GetStatus(const char* path, FileStatus& status) {
  std::string native;
  if (!path || !path::Resolve(path, false, native)) return false;
  struct statx sx;
  if ((::plat::detail::CountSystemCalls(), ::statx)(AT_FDCWD, native.c_str(), 0,
                                                    STATX_BASIC_STATS | STATX_BTIME, &sx) == 0) {
    status.modified = sx.stx_mtime.tv_sec;
    status.accessed = sx.stx_atime.tv_sec;
    status.created = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : sx.stx_mtime.tv_sec;
    status.size = sx.stx_size;
    status.isDirectory = S_ISDIR(sx.stx_mode);
    return true;
  }
  if (errno != ENOSYS) return false;
  struct stat st;
  if ((::plat::detail::CountSystemCalls(), ::stat)(native.c_str(), &st) != 0) return false;
  status.modified = st.st_mtime;
  status.accessed = st.st_atime;
  status.created = st.st_mtime;
  status.size = static_cast<std::uint64_t>(st.st_size);
  status.isDirectory = S_ISDIR(st.st_mode);
  return true;
}

namespace detail {

FileError FileErrorOf(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      return FileError::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case EBADF:
    case EAGAIN:
      return FileError::AccessDenied;
    case EISDIR:
      return FileError::IsDirectory;
    case EEXIST:
      return FileError::Exists;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return FileError::DiskFull;
    case ENAMETOOLONG:
    case ELOOP:
      return FileError::BadPath;
    default:
      return FileError::Io;
  }
}

}  // namespace detail
}  // namespace plat
