#include "toll/toll_file.h"

#include <cstring>

TollFile::~TollFile() { close(); }

bool TollFile::open(const char* path) {
  if (file_.IsOpen() || !path) return false;
  if (!file_.Open(path, plat::ModeRead | plat::ShareDenyWrite)) return false;
  uint64_t length = 0;
  if (!file_.GetLength(length) || length >= (uint64_t{1} << 32)) {
    file_.Close();
    return false;
  }
  size_ = static_cast<uint32_t>(length);
  return true;
}

void TollFile::close() {
  file_.Close();
  size_ = 0;
}

bool TollFile::seek(int64_t offset, int origin) {
  const plat::SeekOrigin o =
      origin > 0 ? plat::SeekOrigin::Begin : origin < 0 ? plat::SeekOrigin::End : plat::SeekOrigin::Current;
  return file_.Seek(offset, o);
}

std::size_t TollFile::read(void* buffer, std::size_t count) {
  if (!file_.IsOpen()) return 0;
  return file_.Read(buffer, count);
}

bool TollFile::readAt(int64_t offset, void* buffer, std::size_t count) {
  std::memset(buffer, 0, count);
  if (offset < 0 || static_cast<uint64_t>(offset) + count > size_) return false;
  if (!seek(offset, 1)) return false;
  if (read(buffer, count) != count) {
    std::memset(buffer, 0, count);
    return false;
  }
  return true;
}
