#include "common/buffered_file.h"

#include <cstdlib>
#include <cstring>

#include "common/allocation_guard.h"
#include "common/file_access.h"
#include "common/le_bytes.h"

namespace {

// Reads a value's bytes through ReadByte, as the typed reads do.
template <typename T>
int ReadLeValue(CBufferedFile* file, T* out) {
  unsigned char bytes[sizeof(T)];
  if (!out || !file->Read(bytes, sizeof(T))) return 0;
  *out = LoadLeValue<T>(bytes);
  return 1;
}

}  // namespace

int CBufferedFile::OpenRead(const char* path, uint32_t windowSize) {
  return Open(path, windowSize, plat::ModeRead);
}

int CBufferedFile::Open(const char* path, uint32_t windowSize, uint32_t openFlags) {
  Close();
  if (windowSize == 0 || !IsNonBlankPath(path)) return 0;
  // Running out of memory for the window throws std::bad_alloc to the
  // caller's entry (the reader stays closed): it is never answered as a
  // file that does not open.
  window_ = static_cast<unsigned char*>(AllocateBlock(windowSize));
  windowSize_ = windowSize;
  if (!file_.Open(path, openFlags) || Refill() == 0) {
    Close();
    return 0;
  }
  return 1;
}

void CBufferedFile::Close() {
  std::free(window_);
  window_ = nullptr;
  file_.Close();
  windowSize_ = 0;
  fill_ = 0;
  position_ = 0;
  windowStart_ = 0;
}

uint32_t CBufferedFile::Refill() {
  uint64_t filePosition = 0;
  fill_ = 0;
  position_ = 0;
  if (!file_.GetPosition(filePosition)) return 0;
  windowStart_ = static_cast<uint32_t>(filePosition);
  const std::size_t got = file_.Read(window_, windowSize_);
  if (file_.Failed()) return 0;
  fill_ = static_cast<uint32_t>(got);
  return fill_;
}

int CBufferedFile::ReadByte(uint8_t* out) {
  if (!window_ || !out) return 0;
  if (position_ >= fill_ && Refill() == 0) return 0;
  *out = window_[position_++];
  return 1;
}

uint32_t CBufferedFile::ReadUpTo(void* buffer, uint32_t count) {
  if (!window_ || !buffer) return 0;
  unsigned char* out = static_cast<unsigned char*>(buffer);
  uint32_t done = 0;
  while (done < count && ReadByte(&out[done])) ++done;
  return done;
}

int CBufferedFile::Read(void* buffer, uint32_t count) {
  return ReadUpTo(buffer, count) == count ? 1 : 0;
}

int CBufferedFile::ReadFromWindow(void* buffer, uint32_t count) {
  if (!window_ || (!buffer && count > 0)) return 0;
  if (count > fill_ - position_) return 0;
  if (count > 0) std::memcpy(buffer, window_ + position_, count);
  position_ += count;
  return 1;
}

int CBufferedFile::ReadChar(char* out) {
  uint8_t b = 0;
  if (!out || !ReadByte(&b)) return 0;
  *out = static_cast<char>(b);
  return 1;
}

int CBufferedFile::ReadShort(int16_t* out) { return ReadLeValue(this, out); }
int CBufferedFile::ReadWord(uint16_t* out) { return ReadLeValue(this, out); }
int CBufferedFile::ReadInt(int32_t* out) { return ReadLeValue(this, out); }
int CBufferedFile::ReadDword(uint32_t* out) { return ReadLeValue(this, out); }
int CBufferedFile::ReadDouble(double* out) { return ReadLeValue(this, out); }

int CBufferedFile::Seek(uint32_t position) {
  if (!window_) return 0;
  if (position >= windowStart_ && position - windowStart_ <= fill_) {
    position_ = position - windowStart_;
    return 1;
  }
  // Nothing is left to fill a window at or past the end: refuse with the
  // window as it was.
  if (position >= GetLength()) return 0;
  uint64_t reached = 0;
  if (!file_.Seek(position, plat::SeekOrigin::Begin) || !file_.GetPosition(reached) ||
      reached != position) {
    // Keep the file where the window ends, so that the next refill reads on.
    file_.Seek(static_cast<int64_t>(windowStart_) + fill_, plat::SeekOrigin::Begin);
    return 0;
  }
  return Refill() > 0 ? 1 : 0;
}

uint32_t CBufferedFile::GetLength() const {
  uint64_t length = 0;
  if (!window_ || !file_.GetLength(length)) return 0;
  return static_cast<uint32_t>(length);
}
