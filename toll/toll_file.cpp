#include "toll/toll_file.h"

#include <cstring>

#include "common/be_bytes.h"

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
  const plat::SeekOrigin o = origin > 0   ? plat::SeekOrigin::Begin
                             : origin < 0 ? plat::SeekOrigin::End
                                          : plat::SeekOrigin::Current;
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

bool TollFile::searchRecords(int64_t first, int64_t count, int recordSize, int key,
                             unsigned char* record, int64_t* index) {
  int64_t low = 0;
  int64_t high = count - 1;
  while (low <= high) {
    const int64_t middle = (low + high) / 2;
    if (!readAt(first + middle * recordSize, record, static_cast<std::size_t>(recordSize)))
      return false;
    const int found = static_cast<int>(LoadBe(record, 2));
    if (found == key) {
      if (index) *index = middle;
      return true;
    }
    if (found < key)
      low = middle + 1;
    else
      high = middle - 1;
  }
  return false;
}

bool TollFile::readVersionAndDay(int* version, uint32_t* day) {
  unsigned char h[12];
  if (!readAt(0, h, sizeof h)) return false;
  *version = static_cast<int>(LoadBe(h + 2, 2));
  *day = static_cast<uint32_t>(LoadBe(h + 8, 4));
  return true;
}
