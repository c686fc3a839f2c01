#pragma once
// A position in a caller's memory block with bounds-checked typed reads and
// writes. The cursor does not own the block. Values are copied in the
// machine's byte order (little-endian). Every read, write and skip first
// checks that its bytes lie inside the block and fails (0 or null, the
// position unchanged) otherwise.

#include <cstdint>

class CByteCursor {
 public:
  CByteCursor() = default;

  // Fails for a null block or a size of 0; position 0.
  int Bind(void* block, uint32_t size);
  // 1 when position + count does not exceed the size.
  int CanAccess(uint32_t count) const;

  int GetBytes(void* out, uint32_t count);
  int GetChar(char* out);
  int GetShort(int16_t* out);
  int GetInt(int32_t* out);
  int GetUint(uint32_t* out);
  int GetFloat(float* out);
  int GetDouble(double* out);

  int PutBytes(const void* in, uint32_t count);
  int PutChar(char value);
  int PutShort(int16_t value);
  int PutInt(int32_t value);
  int PutUint(uint32_t value);
  int PutFloat(float value);
  int PutDouble(double value);

  // Advance over count bytes; the pointer to them, or null when they do
  // not fit.
  void* Skip(uint32_t count);
  void* SkipChar() { return Skip(1); }
  void* SkipShort() { return Skip(2); }
  void* SkipInt() { return Skip(4); }
  void* SkipDouble() { return Skip(8); }

  // Fails when the position is not below the size.
  int Seek(uint32_t position);
  uint32_t GetPosition() const { return position_; }
  void* GetPointer() const { return start_ == nullptr ? nullptr : start_ + position_; }
  // 1 when the position is at or beyond the size.
  int AtEnd() const { return position_ >= size_ ? 1 : 0; }

 private:
  unsigned char* start_ = nullptr;
  uint32_t size_ = 0;
  uint32_t position_ = 0;
};
