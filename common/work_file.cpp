#include "common/work_file.h"

#include "common/file_access.h"

namespace {

constexpr uint32_t kFillPiece = 32768;

uint8_t FillByte(int fill) { return fill == 1 ? 0xFF : 0x00; }

// The bit of flag N within its byte.
uint8_t BitMask(int64_t offset) { return static_cast<uint8_t>(0x80u >> (offset % 8)); }

}  // namespace

// ---------------------------------------------------------------------------
// CWorkFile

int CWorkFile::Create(const char* path, int32_t low, int32_t high, int fill) {
  if (high < low) return 0;
  const int64_t bytes = static_cast<int64_t>(high) - low + 1;
  if (bytes > UINT32_MAX || !path) return 0;
  Close();
  low_ = low;
  high_ = high;
  byteCount_ = static_cast<uint32_t>(bytes);
  ForgetCache();
  path_ = path;
  if (!OpenOutputFileForReadWrite(&file_, path)) {
    open_ = false;
    return 0;
  }
  if (!FillFileBytes(&file_.Stream(), FillByte(fill), byteCount_, kFillPiece)) {
    // A partly filled work file is of no use to anyone.
    file_.Discard();
    return 0;
  }
  open_ = true;
  return 1;
}

void CWorkFile::Close() {
  if (open_) file_.Discard();
  open_ = false;
  cachedValue_ = 0;
  ForgetCache();
}

int64_t CWorkFile::BytePosition(int32_t n) const {
  if (!open_ || n < low_ || n > high_) return -1;
  return (static_cast<int64_t>(n) - low_) / 8;
}

int CWorkFile::GetBit(int32_t n) {
  const int64_t at = BytePosition(n);
  if (at < 0) return 0;
  if (n == cachedNumber_) return cachedValue_;
  uint8_t b = 0;
  if (!ReadBytesFromFileAt(&file_.Stream(), static_cast<uint32_t>(at), &b, 1)) return 0;
  cachedNumber_ = n;
  cachedValue_ = (b & BitMask(static_cast<int64_t>(n) - low_)) != 0 ? 1 : 0;
  return cachedValue_;
}

int CWorkFile::SetBit(int32_t n, int value) {
  const int64_t at = BytePosition(n);
  if (at < 0) return 0;
  uint8_t b = 0;
  if (!ReadBytesFromFileAt(&file_.Stream(), static_cast<uint32_t>(at), &b, 1)) return 0;
  const uint8_t mask = BitMask(static_cast<int64_t>(n) - low_);
  b = value == 1 ? static_cast<uint8_t>(b | mask) : static_cast<uint8_t>(b & ~mask);
  if (!WriteBytesToFileAt(&file_.Stream(), static_cast<uint32_t>(at), &b, 1)) {
    // The byte on disk is unknown now.
    ForgetCache();
    return 0;
  }
  cachedNumber_ = n;
  cachedValue_ = value == 1 ? 1 : 0;
  return 1;
}

uint8_t CWorkFile::ReadByte(int32_t n) {
  const int64_t at = BytePosition(n);
  uint8_t b = 0;
  if (at < 0 || !ReadBytesFromFileAt(&file_.Stream(), static_cast<uint32_t>(at), &b, 1)) return 0;
  return b;
}

int CWorkFile::WriteByte(int32_t n, uint8_t value) {
  const int64_t at = BytePosition(n);
  if (at < 0) return 0;
  // The byte may hold the remembered flag: forget it.
  ForgetCache();
  return WriteBytesToFileAt(&file_.Stream(), static_cast<uint32_t>(at), &value, 1);
}

int CWorkFile::Fill(int fill) {
  if (!open_) return 0;
  ForgetCache();
  return FillFileBytesAt(&file_.Stream(), FillByte(fill), byteCount_, 0, kFillPiece);
}

// ---------------------------------------------------------------------------
// CWorkFileGrid

int CWorkFileGrid::Create(const char* path, int32_t xLow, int32_t xHigh, int32_t yLow,
                          int32_t yHigh, int32_t zLow, int32_t zHigh, int fill) {
  Close();
  if (xHigh < xLow || yHigh < yLow || zHigh < zLow) return 0;
  const int64_t xCount = static_cast<int64_t>(xHigh) - xLow + 1;
  const int64_t yCount = static_cast<int64_t>(yHigh) - yLow + 1;
  const int64_t zCount = static_cast<int64_t>(zHigh) - zLow + 1;
  // Flags are numbered from 0 with 32-bit numbers.
  const int64_t limit = static_cast<int64_t>(INT32_MAX) + 1;
  if (xCount > limit / yCount || zCount > limit / (xCount * yCount)) return 0;
  xLow_ = xLow;
  xHigh_ = xHigh;
  yLow_ = yLow;
  yHigh_ = yHigh;
  zLow_ = zLow;
  zHigh_ = zHigh;
  xCount_ = xCount;
  yCount_ = yCount;
  zCount_ = zCount;
  planeSize_ = xCount * yCount;
  return file_.Create(path, 0, static_cast<int32_t>(planeSize_ * zCount - 1), fill);
}

int CWorkFileGrid::GetIndex(int32_t x, int32_t y, int32_t z, int32_t* index) const {
  if (x < xLow_ || x > xHigh_ || y < yLow_ || y > yHigh_ || z < zLow_ || z > zHigh_) return 0;
  const int64_t i = (static_cast<int64_t>(x) - xLow_) +
                    (static_cast<int64_t>(y) - yLow_) * xCount_ +
                    (static_cast<int64_t>(z) - zLow_) * planeSize_;
  if (index) *index = static_cast<int32_t>(i);
  return 1;
}

int CWorkFileGrid::GetBit(int32_t x, int32_t y, int32_t z) {
  int32_t i = 0;
  return GetIndex(x, y, z, &i) ? file_.GetBit(i) : 0;
}

int CWorkFileGrid::SetBit(int32_t x, int32_t y, int32_t z, int value) {
  int32_t i = 0;
  return GetIndex(x, y, z, &i) ? file_.SetBit(i, value) : 0;
}

uint8_t CWorkFileGrid::ReadByte(int32_t x, int32_t y, int32_t z) {
  int32_t i = 0;
  return GetIndex(x, y, z, &i) ? file_.ReadByte(i) : 0;
}

int CWorkFileGrid::WriteByte(int32_t x, int32_t y, int32_t z, uint8_t value) {
  int32_t i = 0;
  return GetIndex(x, y, z, &i) ? file_.WriteByte(i, value) : 0;
}
