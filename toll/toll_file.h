#pragma once
// A small read-only file of the toll data: the base of the readers of
// FACIL.DAT and TOLL.DAT. Every lookup seeks and reads the few bytes it
// needs; nothing is loaded whole.

#include <cstddef>
#include <cstdint>

#include "plat/file.h"

class TollFile {
 public:
  TollFile() = default;
  virtual ~TollFile();
  TollFile(const TollFile&) = delete;
  TollFile& operator=(const TollFile&) = delete;

  // Opens a CP932 path for reading; false when it cannot be opened or is
  // 4 GB or larger.
  bool open(const char* path);
  bool isOpen() const { return file_.IsOpen(); }
  void close();

  // origin: 1 = from the start, -1 = from the end, 0 = from the current position.
  bool seek(int64_t offset, int origin);
  // The bytes read (short at the end of the file), 0 on failure.
  std::size_t read(void* buffer, std::size_t count);

  uint32_t size() const { return size_; }

  // Reads exactly count bytes at offset. When the file ends first (or the
  // offset is negative) the buffer is cleared and the answer is false, so a
  // truncated file never hands out bytes that were not in it.
  bool readAt(int64_t offset, void* buffer, std::size_t count);

  // Format version (offset 2) and conversion day (offset 8), which both
  // toll data files keep in the same place; false when the file is too short.
  bool readVersionAndDay(int* version, uint32_t* day);

  // Binary search over count records of recordSize bytes from offset first,
  // sorted by the big-endian 16-bit key in their first two bytes: low 0,
  // high count-1, middle (low+high)/2, equal ends the search. The record
  // goes to record (recordSize bytes) and its position to index. False when
  // absent or when a record lies outside the file.
  bool searchRecords(int64_t first, int64_t count, int recordSize, int key, unsigned char* record,
                     int64_t* index);

 private:
  plat::File file_;
  uint32_t size_ = 0;
};
