#include "common/byte_cursor.h"

#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little,
              "stored values are read in little-endian byte order");

int CByteCursor::Bind(void* block, uint32_t size) {
  if (block == nullptr || size == 0) return 0;
  start_ = static_cast<unsigned char*>(block);
  size_ = size;
  position_ = 0;
  return 1;
}

int CByteCursor::CanAccess(uint32_t count) const {
  return static_cast<uint64_t>(position_) + count <= size_ ? 1 : 0;
}

int CByteCursor::GetBytes(void* out, uint32_t count) {
  if (!CanAccess(count) || (out == nullptr && count != 0)) return 0;
  if (count != 0) std::memcpy(out, start_ + position_, count);
  position_ += count;
  return 1;
}

int CByteCursor::GetChar(char* out) { return GetBytes(out, sizeof *out); }
int CByteCursor::GetShort(int16_t* out) { return GetBytes(out, sizeof *out); }
int CByteCursor::GetInt(int32_t* out) { return GetBytes(out, sizeof *out); }
int CByteCursor::GetUint(uint32_t* out) { return GetBytes(out, sizeof *out); }
int CByteCursor::GetFloat(float* out) { return GetBytes(out, sizeof *out); }
int CByteCursor::GetDouble(double* out) { return GetBytes(out, sizeof *out); }

int CByteCursor::PutBytes(const void* in, uint32_t count) {
  if (!CanAccess(count) || (in == nullptr && count != 0)) return 0;
  if (count != 0) std::memmove(start_ + position_, in, count);
  position_ += count;
  return 1;
}

int CByteCursor::PutChar(char value) { return PutBytes(&value, sizeof value); }
int CByteCursor::PutShort(int16_t value) { return PutBytes(&value, sizeof value); }
int CByteCursor::PutInt(int32_t value) { return PutBytes(&value, sizeof value); }
int CByteCursor::PutUint(uint32_t value) { return PutBytes(&value, sizeof value); }
int CByteCursor::PutFloat(float value) { return PutBytes(&value, sizeof value); }
int CByteCursor::PutDouble(double value) { return PutBytes(&value, sizeof value); }

void* CByteCursor::Skip(uint32_t count) {
  if (start_ == nullptr || !CanAccess(count)) return nullptr;
  void* skipped = start_ + position_;
  position_ += count;
  return skipped;
}

int CByteCursor::Seek(uint32_t position) {
  if (position >= size_) return 0;
  position_ = position;
  return 1;
}
