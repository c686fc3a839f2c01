#pragma once
// A whole file held in one heap buffer, with byte-wise reads and writes at a
// position. An image opened for update grows by a fixed step and is written
// back to its path when it is flushed or closed.
//
// Write-back replaces the file as a whole: the data are written to a new
// file beside it, which then takes the file's place, so that a failed
// write-back leaves the file as it was.
//
// Positions and lengths are unsigned 32-bit. Every operation answers 1 for
// success and 0 for failure; nothing throws. String items inside the image
// are a 32-bit little-endian length followed by the text's bytes.

#include <cstddef>
#include <cstdint>
#include <string>

class CFileImage {
 public:
  CFileImage() = default;
  // Closes with write-back.
  ~CFileImage() { Close(1); }
  CFileImage(const CFileImage&) = delete;
  CFileImage& operator=(const CFileImage&) = delete;

  // Closes (with write-back), then reads the whole file; read-only (never
  // written back). Fails for an empty file.
  int Load(const char* path);
  // Closes, then reads the file (which must exist) into a zero-filled
  // buffer of max(size, file length) bytes; written back on close. Fails for
  // a size of 0.
  int LoadForUpdate(const char* path, uint32_t size, uint32_t growthStep);
  // Closes, then creates (or truncates) the file; an empty image with a
  // zero-filled buffer of size bytes, written back on close. Fails for a
  // size of 0.
  int Create(const char* path, uint32_t size, uint32_t growthStep);
  // The same; the message buffer is emptied first and on failure receives
  // "ファイルオープンエラー!(%s)" (loads) or "ファイルの作成に失敗しました！(%s)"
  // (create) with the path.
  int LoadWithMessage(const char* path, char* msg);
  int LoadForUpdateWithMessage(const char* path, uint32_t size, uint32_t growthStep, char* msg);
  int CreateWithMessage(const char* path, uint32_t size, uint32_t growthStep, char* msg);

  // With flush 1 the image is first written back (Flush). The buffer is
  // freed and all state cleared in any case. Answers the result of the
  // write-back (1 without one).
  int Close(int flush);
  // Writes an image opened for update back to its path (a read-only image:
  // nothing written, 1). Fails when closed.
  int Flush();

  int IsOpen() const { return open_ ? 1 : 0; }
  const char* GetPath() const { return path_.c_str(); }
  uint32_t GetPosition() const { return position_; }
  uint32_t GetLength() const { return open_ ? length_ : 0; }
  uint32_t GetCapacity() const { return open_ ? capacity_ : 0; }
  // Any position from 0 to the length (the length itself included).
  int Seek(uint32_t position);

  // The byte at the position, advancing; 0 at the end of the data (as for a
  // 0 byte).
  unsigned char ReadByte();
  // count bytes; 0 when the data end first (the position has then moved
  // over the bytes that were read).
  int Read(void* buffer, uint32_t count);
  // Stores a byte at the position and advances; at the capacity the buffer
  // first grows by the growth step (fails with step 0); writing at the
  // length extends the data by one byte.
  int WriteByte(unsigned char value);
  // count WriteBytes; 0 at the first that fails.
  int Write(const void* buffer, uint32_t count);
  int ReadAt(uint32_t position, void* buffer, uint32_t count);
  int WriteAt(uint32_t position, const void* buffer, uint32_t count);

  // Writes a string item at the end of the data; its position to *position.
  int AppendImageString(const char* text, uint32_t* position);
  // Reads the item at position into text (textSize bytes, NUL included); a
  // stored length that does not fit the buffer or the data is refused. The
  // text is emptied first.
  int ReadImageString(uint32_t position, char* text, std::size_t textSize);
  // Writes an item (length and bytes) at the position.
  int WriteImageString(uint32_t position, const char* text);
  // Overwrites the item at position when its stored length is at least the
  // new text's, else appends a new item; the item's position to *newPosition.
  int ReplaceImageString(uint32_t position, const char* text, uint32_t* newPosition);

 private:
  // The common part of the three opens: buffer of capacity bytes, zeroed.
  int TakeBuffer(uint32_t capacity);
  // Moves the bytes to a zeroed buffer of `grown` bytes; 0 without memory.
  int GrowBuffer(uint32_t grown);
  int WriteBack();

  bool open_ = false;
  unsigned char* buffer_ = nullptr;
  uint32_t capacity_ = 0;
  uint32_t length_ = 0;
  uint32_t growthStep_ = 0;
  int writeBack_ = -1;  // -1 unset, 0 read-only, 1 written back on close
  uint32_t position_ = 0;
  std::string path_;
};
