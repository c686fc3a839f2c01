#pragma once
// Files by CP932 path, in place of the framework's binary and text file
// objects. Nothing here throws: operations answer false (or a short count)
// and keep the cause for diagnostics.
//
// Text mode (flag TypeText) is Windows text mode: reading turns CR LF into
// LF (a lone CR is kept) and stops at 0x1A (the position stays on the
// mark); writing turns every LF into CR LF. Binary mode is never translated.
// Writes go straight to the file (Flush has nothing to do).

#include <cstddef>
#include <cstdint>
#include <string>

struct stat;

namespace plat {

class OutputFile;

// Open flags, with the values the system passes.
enum OpenFlag : std::uint32_t {
  ModeRead = 0x0000,
  ModeWrite = 0x0001,
  ModeReadWrite = 0x0002,
  ShareExclusive = 0x0010,  // share modes are accepted and ignored
  ShareDenyWrite = 0x0020,
  ShareDenyNone = 0x0040,
  ModeCreate = 0x1000,  // create, or truncate an existing file
  TypeText = 0x4000,
};

enum class SeekOrigin { Begin, Current, End };

enum class FileError {
  None,
  NotFound,
  BadPath,
  AccessDenied,
  IsDirectory,
  Exists,
  DiskFull,
  BadSeek,
  Io
};

// Three time stamps first (seconds since 1970), as the system clears them
// as one 24-byte block.
struct FileStatus {
  std::int64_t created = 0;
  std::int64_t modified = 0;
  std::int64_t accessed = 0;
  std::uint64_t size = 0;
  bool isDirectory = false;
};

class File {
 public:
  File() = default;
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Opens a CP932 path. Without ModeCreate the file must exist. A directory
  // never opens. Fails when already open.
  bool Open(const char* path, std::uint32_t flags);
  bool IsOpen() const { return fd_ >= 0; }
  bool IsText() const { return (flags_ & TypeText) != 0; }
  // Closes; false when the close reported an error. Closing a closed file is true.
  bool Close();

  // Positions are raw byte offsets (also in text mode). Seeking past the end
  // is allowed; a negative resulting position fails.
  bool Seek(std::int64_t offset, SeekOrigin origin);
  bool SeekToBegin() { return Seek(0, SeekOrigin::Begin); }
  bool SeekToEnd() { return Seek(0, SeekOrigin::End); }
  bool GetPosition(std::uint64_t& pos) const;
  bool GetLength(std::uint64_t& len) const;
  bool SetLength(std::uint64_t len);

  // Reads up to n bytes; the count read (short at end of data, 0 on error:
  // Failed() tells). Text mode translates.
  std::size_t Read(void* buf, std::size_t n);
  // Writes all n bytes or fails. Text mode writes LF as CR LF.
  bool Write(const void* buf, std::size_t n);
  // Binary only: writes all n bytes at the position without moving the
  // file's position (one system call); false on failure or in text mode.
  bool WriteAt(std::uint64_t position, const void* buf, std::size_t n);
  bool Flush();
  // Reads (and writes) from here on in text mode or in binary mode; the
  // position stays where it is.
  bool SetTextMode(bool text);

  // Line reads (meant for text mode).
  // fgets form: copies up to n-1 bytes, stopping after an LF (kept), then a
  // NUL. False only when nothing was read at end of data (or on error).
  bool ReadString(char* buf, std::size_t n);
  // Whole-line form: the line of any length without its LF. An empty line
  // is a line; the last line without LF is returned; false at end of data.
  bool ReadString(std::string& line);
  bool WriteString(const char* text);

  bool LockRange(std::uint64_t pos, std::uint64_t count);
  bool UnlockRange(std::uint64_t pos, std::uint64_t count);

  bool Failed() const { return lastError_ != FileError::None; }
  FileError LastError() const { return lastError_; }
  int LastErrno() const { return lastErrno_; }
  // The CP932 path given to Open.
  const std::string& Path() const { return path_; }

  // Removes a file (never a directory).
  static bool Remove(const char* path);
  // Removes the name only when it names a regular file: never a device, a
  // folder, a link or what a link points at.
  static bool RemoveRegular(const char* path);
  // The last resorts of a program whose memory has run out, by system calls
  // alone on a native (UTF-8) path (nothing is allocated). The first
  // removes the name when it names a regular file (as RemoveRegular). The
  // second writes bytes as the whole content of the path, created anew,
  // exclusively: with replace a regular file of that name is removed first;
  // anything else of that name stays (a link too), and so does a regular
  // file without replace. A file that cannot be written whole is removed
  // again.
  static bool RemoveRegularNativeWithoutMemory(const char* native);
  static bool WriteNewNativeWithoutMemory(const char* native, const void* bytes, std::size_t n,
                                          bool replace = true);
  // Renames a file; fails when the target exists.
  static bool Rename(const char* from, const char* to);
  // Status of a file or directory.
  static bool GetStatus(const char* path, FileStatus& status);

 private:
  friend class OutputFile;
  // Takes an open descriptor as the file (Open's checks: no folder, FIFO
  // or socket); the descriptor is closed when it is refused. status: the
  // descriptor's status when the caller has just taken it.
  bool Adopt(int fd, const char* path, std::uint32_t flags, const struct stat* status = nullptr);
  bool FillBuffer();
  void DropReadAhead();
  int TextGetc();  // next translated byte, -1 at end of data or error
  void SetError(FileError e, int err);
  // The descriptor's position moved by n bytes read or written.
  void Advance(std::int64_t n) {
    if (offset_ >= 0) offset_ += n;
  }

  int fd_ = -1;
  // The descriptor's position when this object knows it, else -1: known
  // for a regular file opened here (this object alone moves it: every
  // read, write and seek goes through it) until a call fails.
  std::int64_t offset_ = -1;
  std::uint32_t flags_ = 0;
  std::string path_;
  FileError lastError_ = FileError::None;
  int lastErrno_ = 0;
  // Read-ahead of text mode (and of binary reads through ReadString).
  unsigned char buf_[8192];
  std::size_t bufPos_ = 0;
  std::size_t bufLen_ = 0;
  bool eofMark_ = false;  // 0x1A seen: no more data in text mode
};

}  // namespace plat
