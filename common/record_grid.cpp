#include "common/record_grid.h"

int CRecordGrid::Create(uint32_t columns, uint32_t rows, uint16_t elementSize) {
  Free();
  const uint64_t count = static_cast<uint64_t>(columns) * rows;
  if (count == 0 || count > UINT32_MAX) return 0;
  if (!records_.Create(static_cast<uint32_t>(count), elementSize)) return 0;
  columns_ = columns;
  rows_ = rows;
  elementSize_ = elementSize;
  return 1;
}

void CRecordGrid::Free() {
  columns_ = 0;
  rows_ = 0;
  elementSize_ = 0;
  records_.Free();
}

uint32_t CRecordGrid::IndexOf(uint32_t c, uint32_t r) const {
  if (c == 0 || c > columns_ || r == 0 || r > rows_) return 0;
  return c + (r - 1) * columns_;
}

int CRecordGrid::GetAt(uint32_t c, uint32_t r, void* out) const {
  const uint32_t n = IndexOf(c, r);
  return n == 0 ? 0 : records_.GetAt(n, out);
}

int CRecordGrid::SetAt(uint32_t c, uint32_t r, const void* in) {
  const uint32_t n = IndexOf(c, r);
  return n == 0 ? 0 : records_.SetAt(n, in);
}

void* CRecordGrid::GetPtr(uint32_t c, uint32_t r) {
  const uint32_t n = IndexOf(c, r);
  return n == 0 ? nullptr : records_.GetPtr(n);
}

const void* CRecordGrid::GetPtr(uint32_t c, uint32_t r) const {
  const uint32_t n = IndexOf(c, r);
  return n == 0 ? nullptr : records_.GetPtr(n);
}

template <typename T>
int CRecordGrid::GetTyped(uint32_t c, uint32_t r, T* out) const {
  if (elementSize_ != sizeof(T)) return 0;
  return GetAt(c, r, out);
}

template <typename T>
int CRecordGrid::SetTyped(uint32_t c, uint32_t r, T value) {
  if (elementSize_ != sizeof(T)) return 0;
  return SetAt(c, r, &value);
}

int CRecordGrid::GetShort(uint32_t c, uint32_t r, int16_t* out) const {
  return GetTyped(c, r, out);
}
int CRecordGrid::GetUShort(uint32_t c, uint32_t r, uint16_t* out) const {
  return GetTyped(c, r, out);
}
int CRecordGrid::GetInt(uint32_t c, uint32_t r, int32_t* out) const { return GetTyped(c, r, out); }
int CRecordGrid::GetLong(uint32_t c, uint32_t r, int32_t* out) const { return GetTyped(c, r, out); }
int CRecordGrid::GetDword(uint32_t c, uint32_t r, uint32_t* out) const {
  return GetTyped(c, r, out);
}
int CRecordGrid::GetDouble(uint32_t c, uint32_t r, double* out) const {
  return GetTyped(c, r, out);
}
int CRecordGrid::SetShort(uint32_t c, uint32_t r, int16_t value) { return SetTyped(c, r, value); }
int CRecordGrid::SetUShort(uint32_t c, uint32_t r, uint16_t value) { return SetTyped(c, r, value); }
int CRecordGrid::SetInt(uint32_t c, uint32_t r, int32_t value) { return SetTyped(c, r, value); }
int CRecordGrid::SetLong(uint32_t c, uint32_t r, int32_t value) { return SetTyped(c, r, value); }
int CRecordGrid::SetDword(uint32_t c, uint32_t r, uint32_t value) { return SetTyped(c, r, value); }
int CRecordGrid::SetDouble(uint32_t c, uint32_t r, double value) { return SetTyped(c, r, value); }
