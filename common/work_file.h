#pragma once
// On/off flags kept in a work file on disk instead of memory.
//
// CWorkFile holds one flag per number low..high. The work file is created
// filled with 0x00 (all clear) or 0xFF (all set), flags are read and written
// one at a time through the file, and the file is deleted when the table is
// closed. A file that was at the path before is left as it was (the work
// file goes beside it), and a device named as the work file is never
// removed. The file is high - low + 1 bytes long; flag N lives in byte
// (N - low) / 8 under the mask 0x80 >> ((N - low) mod 8), so only the first
// (high - low + 8) / 8 bytes carry flags. The flag last read or written is
// remembered, which makes reading it again free.
//
// CWorkFileGrid lays a three-dimensional grid (x, y, z ranges) over one
// CWorkFile.
//
// Every failure answers 0; operations on a table that is not open answer 0.

#include <cstdint>
#include <string>

#include "plat/output_file.h"

class CWorkFile {
 public:
  CWorkFile() = default;
  ~CWorkFile() { Close(); }
  CWorkFile(const CWorkFile&) = delete;
  CWorkFile& operator=(const CWorkFile&) = delete;

  // Fails (nothing changed) when high < low. Otherwise closes any earlier
  // table and creates the work file filled with 0xFF (fill 1) or 0x00 (any
  // other value); a file that cannot be filled is deleted again.
  int Create(const char* path, int32_t low, int32_t high, int fill);
  // Closes and deletes the work file.
  void Close();
  int IsOpen() const { return open_ ? 1 : 0; }

  // 1 when flag N is set.
  int GetBit(int32_t n);
  // Sets flag N (value 1) or clears it (any other value).
  int SetBit(int32_t n, int value);
  // The stored byte that holds flag N; 0 when not open, out of range or
  // unreadable.
  uint8_t ReadByte(int32_t n);
  // Writes the byte that holds flag N.
  int WriteByte(int32_t n, uint8_t value);
  uint32_t GetByteCount() const { return open_ ? byteCount_ : 0; }
  // Rewrites every byte with 0xFF (fill 1) or 0x00 (any other value).
  int Fill(int fill);

 private:
  // The file position of the byte holding flag N, or -1 when N is outside.
  int64_t BytePosition(int32_t n) const;
  void ForgetCache() { cachedNumber_ = static_cast<int64_t>(low_) - 1; }

  bool open_ = false;
  int cachedValue_ = 0;
  std::string path_;
  uint32_t byteCount_ = 0;
  int32_t low_ = 1;
  int32_t high_ = -1;
  int64_t cachedNumber_ = 0;  // low - 1 when none
  plat::OutputFile file_;
};

class CWorkFileGrid {
 public:
  CWorkFileGrid() = default;
  ~CWorkFileGrid() { Close(); }
  CWorkFileGrid(const CWorkFileGrid&) = delete;
  CWorkFileGrid& operator=(const CWorkFileGrid&) = delete;

  // Closes, then fails when any high is below its low (or the grid has more
  // cells than a work file numbers); creates the work file with flags
  // 0 .. x count x y count x z count - 1.
  int Create(const char* path, int32_t xLow, int32_t xHigh, int32_t yLow, int32_t yHigh,
             int32_t zLow, int32_t zHigh, int fill);
  // index = (x - x low) + (y - y low) x x count + (z - z low) x plane size;
  // 0 when a coordinate lies outside its range.
  int GetIndex(int32_t x, int32_t y, int32_t z, int32_t* index) const;

  int GetBit(int32_t x, int32_t y, int32_t z);
  int SetBit(int32_t x, int32_t y, int32_t z, int value);
  uint8_t ReadByte(int32_t x, int32_t y, int32_t z);
  int WriteByte(int32_t x, int32_t y, int32_t z, uint8_t value);

  int IsOpen() const { return file_.IsOpen(); }
  uint32_t GetByteCount() const { return file_.GetByteCount(); }
  int Fill(int fill) { return file_.Fill(fill); }
  void Close() { file_.Close(); }

 private:
  int32_t xLow_ = 0, xHigh_ = -1;
  int32_t yLow_ = 0, yHigh_ = -1;
  int32_t zLow_ = 0, zHigh_ = -1;
  int64_t xCount_ = 0, yCount_ = 0, zCount_ = 0;
  int64_t planeSize_ = 0;
  CWorkFile file_;
};
