#pragma once
// The process's shared images of read-only data files.
//
// Readers that open a data file only to read it (the table database, the
// address and code indexes, the change files) take its image from here
// instead of reading the file at every open: the image of a path is kept
// and handed out again while the file's stamp (size, modification and
// status-change time, device, inode; plat/file_stamp.h) is unchanged, which
// is checked through the change watch (plat::WatchedStampOfNative), and
// the stamp was settled when the image was opened (plat::StampIsSettled:
// the stamp then tells any later change). An image of a file changed more
// recently answers only within the scope (the call) that opened it: the
// next call opens the file again. A changed file gets a new image; readers
// that hold the old one keep reading the bytes they opened.
//
// An image is filled on demand, block by block, from the file it was
// opened on (the file stays open while the image lives), so that a reader
// that touches a few records of a large file reads only those blocks, and
// each block only once in the process. Files of 4 GiB or more are refused
// (positions are 32-bit).
//
// Up to CachedFileLimit() images are kept: beyond that the one asked for
// least recently is let go, one at a time, passing over the images readers
// still hold (they stay kept).
//
// Safe from several threads: an image is shared read-only and its blocks
// are filled under its lock.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "plat/file_stamp.h"

class CCachedFile {
 public:
  CCachedFile() = default;
  ~CCachedFile();
  CCachedFile(const CCachedFile&) = delete;
  CCachedFile& operator=(const CCachedFile&) = delete;

  uint32_t GetSize() const { return size_; }
  const plat::FileStamp& GetStamp() const { return file_.Stamp(); }
  // The native path the image was opened on.
  const std::string& GetNative() const { return native_; }
  // 1 while the file the image was opened on is as it was and the image
  // may answer now (the check AcquireCachedFile makes before it hands a
  // kept image out again).
  int IsCurrent() const;
  // Whether the image may answer the current call (see above).
  bool MayAnswer() const { return trust_.Holds(); }
  // The count bytes at the position, filled from the file when they are not
  // yet in the image; null when they lie beyond the end or cannot be read.
  // Valid as long as the image. (Bytes within one block already filled,
  // the most common case by far, are answered here without a call.)
  [[gnu::always_inline]] const unsigned char* Bytes(uint32_t position, uint32_t count) {
    // (The fixed members are taken before the acquiring load, which later
    // loads may not pass.)
    unsigned char* const data = data_;
    const uint64_t end = static_cast<uint64_t>(position) + count;
    if (count > 0 && end <= size_ && (position >> kBlockShift) == ((end - 1) >> kBlockShift) &&
        filled_[position >> kBlockShift].load(std::memory_order_acquire))
      return data + position;
    return FilledBytes(position, count);
  }
  // The bytes from the position to the end of its block (or of the file)
  // when that block is filled already, their count in *count; null
  // otherwise (Bytes then fills it). Valid as long as the image.
  [[gnu::always_inline]] const unsigned char* FilledRun(uint32_t position, uint32_t* count) {
    unsigned char* const data = data_;
    const uint32_t size = size_;
    if (position >= size || !filled_[position >> kBlockShift].load(std::memory_order_acquire))
      return nullptr;
    const uint64_t blockEnd = (static_cast<uint64_t>(position >> kBlockShift) + 1) << kBlockShift;
    *count = static_cast<uint32_t>((blockEnd < size ? blockEnd : size) - position);
    return data + position;
  }
  // Copies them out; 0 on failure.
  int ReadAt(uint32_t position, void* buffer, uint32_t count);

  // A value its reader derives from the bytes once per image (the table
  // directory of a database), kept with the image; null until set. The
  // first value set stays.
  std::shared_ptr<const void> GetDerived() const;
  std::shared_ptr<const void> SetDerived(std::shared_ptr<const void> value);
  // Further derived values by name, as above (the first value set under a
  // name stays).
  std::shared_ptr<const void> GetDerived(const std::string& name) const;
  std::shared_ptr<const void> SetDerived(const std::string& name,
                                         std::shared_ptr<const void> value);
  // A number of its own for the image, never given to another image of
  // the process.
  uint64_t GetId() const { return id_; }

 private:
  friend std::shared_ptr<CCachedFile> AcquireCachedFile(const char* path);
  static constexpr uint32_t kBlockShift = 13;  // 8 KiB blocks: a job touches few pages of each
  static constexpr uint32_t kBlockSize = 1u << kBlockShift;

  int Open(const std::string& native);
  int FillBlocks(uint32_t first, uint32_t last);
  // Bytes for every other case: empty, across blocks, not yet filled.
  const unsigned char* FilledBytes(uint32_t position, uint32_t count);

  plat::ReadOnlyFile file_;
  plat::KeptTrust trust_;
  std::string native_;
  uint32_t size_ = 0;
  unsigned char* data_ = nullptr;
  uint32_t blockCount_ = 0;
  std::unique_ptr<std::atomic<uint8_t>[]> filled_;
  std::mutex fillMutex_;
  mutable std::mutex derivedMutex_;
  std::shared_ptr<const void> derived_;
  std::map<std::string, std::shared_ptr<const void>> derivedByName_;
  uint64_t id_ = 0;
};

// The image of the CP932 path as the file stands now (see above). Null when
// the file does not exist, is a folder, is 4 GiB or larger or does not
// open. Running out of memory for the image throws std::bad_alloc, as any
// allocation does (common/allocation_guard.h): a file there that cannot be
// held is a memory failure, not a missing file.
std::shared_ptr<CCachedFile> AcquireCachedFile(const char* path);

// The number of images the cache keeps: room for several national-size
// data folders (about a hundred images each) where the process may open
// enough files (each image keeps its file open): half its limit of open
// files, from 512 to 1024.
std::size_t CachedFileLimit();

// Images kept by the cache (for tests).
std::size_t CachedFileCount();
