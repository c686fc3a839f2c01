#pragma once
// A two-dimensional array of fixed-size records addressed by column and row
// (both 1-based). A row's records are adjacent: the record at column c,
// row r is array record c + (r - 1) x columns.

#include <cstdint>

#include "common/record_array.h"

class CRecordGrid {
 public:
  CRecordGrid() = default;
  ~CRecordGrid() { Free(); }
  CRecordGrid(const CRecordGrid&) = delete;
  CRecordGrid& operator=(const CRecordGrid&) = delete;

  // Frees, then allocates columns x rows records; 0 for a zero argument or
  // when memory runs out (the grid then stays empty).
  int Create(uint32_t columns, uint32_t rows, uint16_t elementSize);
  void Free();

  // 0 when c is outside 1..columns or r outside 1..rows.
  int GetAt(uint32_t c, uint32_t r, void* out) const;
  int SetAt(uint32_t c, uint32_t r, const void* in);
  void* GetPtr(uint32_t c, uint32_t r);
  const void* GetPtr(uint32_t c, uint32_t r) const;

  uint32_t GetColumns() const { return columns_; }
  uint32_t GetRows() const { return rows_; }
  uint32_t GetByteSize() const { return records_.GetByteSize(); }

  // Typed access: 0 (nothing copied) unless the element size equals the
  // width of the type. "Long" is the 4-byte signed integer.
  int GetShort(uint32_t c, uint32_t r, int16_t* out) const;
  int GetUShort(uint32_t c, uint32_t r, uint16_t* out) const;
  int GetInt(uint32_t c, uint32_t r, int32_t* out) const;
  int GetLong(uint32_t c, uint32_t r, int32_t* out) const;
  int GetDword(uint32_t c, uint32_t r, uint32_t* out) const;
  int GetDouble(uint32_t c, uint32_t r, double* out) const;
  int SetShort(uint32_t c, uint32_t r, int16_t value);
  int SetUShort(uint32_t c, uint32_t r, uint16_t value);
  int SetInt(uint32_t c, uint32_t r, int32_t value);
  int SetLong(uint32_t c, uint32_t r, int32_t value);
  int SetDword(uint32_t c, uint32_t r, uint32_t value);
  int SetDouble(uint32_t c, uint32_t r, double value);

 private:
  // Array record number of (c, r), or 0 outside the grid.
  uint32_t IndexOf(uint32_t c, uint32_t r) const;
  template <typename T>
  int GetTyped(uint32_t c, uint32_t r, T* out) const;
  template <typename T>
  int SetTyped(uint32_t c, uint32_t r, T value);

  uint32_t elementSize_ = 0;
  uint32_t columns_ = 0;
  uint32_t rows_ = 0;
  CRecordArray records_;
};
