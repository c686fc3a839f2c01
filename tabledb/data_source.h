#pragma once
// CDataSource: one positioned read/write interface over five kinds of
// storage, so that readers of the index files need not know where their
// bytes come from:
//   1  a file read through a window (CBufferedFile), read only;
//   2  a plain file, opened for update;
//   3  a whole-file image (CFileImage), read only or for update (written
//      back to its path on Close);
//   4  a memory block of its own (freed by Close), read only or for update
//      (growing by a step);
//   5  the caller's memory block, read only (only forgotten by Close);
//   6  the file's shared image (tabledb/file_cache.h), read only: filled
//      once per process while the file is unchanged.
//
// Every operation answers 1 (or a value) for success and 0 for failure;
// nothing throws and no message is written. Every open first closes what
// was open; a failed open leaves the source closed. Positions and sizes are
// unsigned 32-bit; the size itself is a valid position for every kind.

#include <cstdint>
#include <memory>

#include "common/buffered_file.h"
#include "common/file_image.h"
#include "plat/file.h"

class CCachedFile;

class CDataSource {
 public:
  CDataSource() = default;
  ~CDataSource() { Close(); }
  CDataSource(const CDataSource&) = delete;
  CDataSource& operator=(const CDataSource&) = delete;

  // ---- Opens ----

  // Kind 1, read: through a window of windowSize bytes (an empty file does
  // not open); OpenBuffered opens with the caller's flags.
  int OpenBufferedRead(const char* path, uint32_t windowSize);
  int OpenBuffered(const char* path, uint32_t windowSize, uint32_t openFlags);
  // Kind 3, read: the whole file as an image (never written back).
  int LoadImage(const char* path);
  // Kind 6, read: the file's shared image (an empty file opens, with size
  // 0).
  int OpenSharedImage(const char* path);
  // Kind 4, read: a copy of the bytes; fails for null or length 0.
  int CopyFromMemory(const void* bytes, uint32_t length);
  // Kind 5, read: the caller's block as it is (it must outlive the source);
  // fails for null or length 0.
  int AttachMemory(const void* bytes, uint32_t length);
  // Kind 2, update: an existing file (OpenSharedFileForUpdate: others may
  // read and write it too), or a file created or truncated.
  int OpenFileForUpdate(const char* path);
  int OpenSharedFileForUpdate(const char* path);
  int CreateFileForUpdate(const char* path);
  // Kind 3, update: an image of an existing file in a buffer of at least
  // bufferSize bytes, or of a new empty file; growing by growthStep bytes.
  int LoadImageForUpdate(const char* path, uint32_t bufferSize, uint32_t growthStep);
  int CreateImage(const char* path, uint32_t bufferSize, uint32_t growthStep);
  // Kind 4, update: a copy of the bytes (size = capacity = length; fails for
  // null or length 0), or an empty block of the capacity (size 0; fails for
  // capacity 0). growthStep 0: the block cannot grow.
  int CopyFromMemoryForUpdate(const void* bytes, uint32_t length, uint32_t growthStep);
  int CreateMemory(uint32_t capacity, uint32_t growthStep);
  // Kind 4, read: the whole file (opened for reading, others may only read)
  // in a block of its own; size = capacity = file length (an empty file
  // does not load).
  int LoadFile(const char* path);

  // ---- Access ----

  // Any position from 0 to the size (the size included).
  int Seek(uint32_t position);
  // Exactly count bytes from the position, or failure.
  int Read(void* buffer, uint32_t count);
  // Refused for kind 1 and in read mode. A memory block that is too small
  // grows (see CreateMemory); the size rises to the end of the write when
  // that lies beyond it.
  int Write(const void* buffer, uint32_t count);
  int ReadAt(uint32_t position, void* buffer, uint32_t count);
  int WriteAt(uint32_t position, const void* buffer, uint32_t count);

  uint32_t GetPosition();
  uint32_t GetSize() const { return size_; }
  // The shared image a source opened on a file's image reads; null for
  // every other kind of source.
  const std::shared_ptr<CCachedFile>& GetSharedImage() const { return shared_; }
  // The own block of kind 4; null for every other kind.
  void* GetMemory() { return kind_ == kOwnMemory ? block_ : nullptr; }
  // Takes the size from the file's length (kinds 1 to 3); the memory kinds
  // and the shared image keep theirs. 0 when nothing is open or the length cannot be had.
  int RefreshSize();

  // Kinds 4 and 5 only: creates (or truncates) the file and writes size
  // bytes of the block, then closes the source, whether the write succeeded
  // or not (a file that could not be written whole is removed). 0 for
  // another kind (the source stays open), when the file cannot be created
  // (the source stays open) or when the write fails.
  int SaveToFile(const char* path);

  // Closes the backend (an image opened for update is written back to its
  // path), frees an own block and returns to the closed state. 0 when the
  // write-back or the file's close failed; 1 otherwise.
  int Close();

 private:
  enum Kind {
    kNone = 0,
    kBufferedFile = 1,
    kPlainFile = 2,
    kImage = 3,
    kOwnMemory = 4,
    kCallerMemory = 5,
    kSharedImage = 6
  };
  enum Mode { kModeNone = 0, kModeRead = 1, kModeUpdate = 2 };

  int Opened(Kind kind, Mode mode);
  int OpenPlainFile(int (*open)(plat::File*, const char*), const char* path);
  int TakeCopy(const void* bytes, uint32_t length, uint32_t growthStep, Mode mode);
  int GrowFor(uint64_t end);

  Kind kind_ = kNone;
  Mode mode_ = kModeNone;
  uint32_t size_ = 0;
  // Memory kinds: the data (own block or the caller's), position, capacity
  // and growth step.
  unsigned char* block_ = nullptr;  // own block (kind 4)
  const unsigned char* data_ = nullptr;
  uint32_t position_ = 0;
  uint32_t capacity_ = 0;
  uint32_t growthStep_ = 0;
  // Kind 1: the source stands at its size while the reader's window lies
  // elsewhere (the reader itself cannot stand at the end of its file).
  bool atEnd_ = false;

  CBufferedFile buffered_;
  plat::File file_;
  CFileImage image_;
  std::shared_ptr<CCachedFile> shared_;
};
