#pragma once
// Sequential and positioned reads of a file through one heap window of a
// size the caller chooses, so that the file is touched once per window
// rather than once per value.
//
// The reader is open exactly while it holds a window. Positions and lengths
// are unsigned 32-bit file offsets. Every operation answers 1 (or a count)
// for success and 0 for failure; nothing throws but running out of memory
// for the window when a file opens (std::bad_alloc, as any allocation does:
// common/allocation_guard.h). Typed values are read as stored,
// little-endian.

#include <cstdint>

#include "plat/file.h"

class CBufferedFile {
 public:
  CBufferedFile() = default;
  ~CBufferedFile() { Close(); }
  CBufferedFile(const CBufferedFile&) = delete;
  CBufferedFile& operator=(const CBufferedFile&) = delete;

  // Closes any earlier file, then opens the file (OpenRead: for reading;
  // Open: with the caller's open flags) and fills the window from the
  // file's position. Fails for a window size of 0, a file that does not
  // open and a file that yields no byte (an empty file does not open); a
  // failed open leaves the reader closed.
  int OpenRead(const char* path, uint32_t windowSize);
  int Open(const char* path, uint32_t windowSize, uint32_t openFlags);
  // Frees the window, closes the file and clears all state.
  void Close();
  int IsOpen() const { return window_ != nullptr ? 1 : 0; }

  // The next byte; refills the window when it is used up. 0 at the end of
  // the file (or when closed).
  int ReadByte(uint8_t* out);
  // Up to count bytes; the number read (0 for count 0 or a closed reader).
  uint32_t ReadUpTo(void* buffer, uint32_t count);
  // 1 only when all count bytes were read.
  int Read(void* buffer, uint32_t count);
  // Copies count bytes straight from the window at the read position and
  // advances over them, only when they all lie within the window's filled
  // bytes; never refills.
  int ReadFromWindow(void* buffer, uint32_t count);

  int ReadChar(char* out);
  int ReadShort(int16_t* out);
  int ReadWord(uint16_t* out);
  int ReadInt(int32_t* out);
  int ReadDword(uint32_t* out);
  int ReadDouble(double* out);

  // A target inside the window (its filled bytes, the end included) only
  // moves the read position; any other target moves the file and refills
  // the window there, which fails when no byte is left at the target (a
  // target at or past the end of the file).
  int Seek(uint32_t position);

  uint32_t GetPosition() const { return windowStart_ + position_; }
  // The file's length; 0 when closed.
  uint32_t GetLength() const;
  // The window's first byte and the window byte at the read position (null
  // when closed).
  const unsigned char* GetWindow() const { return window_; }
  const unsigned char* GetCurrentPointer() const {
    return window_ != nullptr ? window_ + position_ : nullptr;
  }

 private:
  // Window start = file position, then up to a window of bytes; the fill.
  uint32_t Refill();

  plat::File file_;
  unsigned char* window_ = nullptr;
  uint32_t windowSize_ = 0;
  uint32_t fill_ = 0;
  uint32_t position_ = 0;
  uint32_t windowStart_ = 0;
};
