#include "tabledb/data_source.h"

#include <cstdlib>
#include <cstring>

#include "common/allocation_guard.h"
#include "common/file_access.h"
#include "tabledb/file_cache.h"

// ---------------------------------------------------------------------------
// Opens

int CDataSource::Opened(Kind kind, Mode mode) {
  kind_ = kind;
  mode_ = mode;
  position_ = 0;
  atEnd_ = false;
  if (kind == kOwnMemory || kind == kCallerMemory || kind == kSharedImage) return 1;
  if (RefreshSize()) return 1;
  Close();
  return 0;
}

int CDataSource::OpenBufferedRead(const char* path, uint32_t windowSize) {
  Close();
  if (!buffered_.OpenRead(path, windowSize)) return 0;
  return Opened(kBufferedFile, kModeRead);
}

int CDataSource::OpenBuffered(const char* path, uint32_t windowSize, uint32_t openFlags) {
  Close();
  if (!buffered_.Open(path, windowSize, openFlags)) return 0;
  return Opened(kBufferedFile, kModeRead);
}

int CDataSource::LoadImage(const char* path) {
  Close();
  if (!image_.Load(path)) return 0;
  return Opened(kImage, kModeRead);
}

int CDataSource::OpenSharedImage(const char* path) {
  Close();
  shared_ = AcquireCachedFile(path);
  if (!shared_) return 0;
  size_ = shared_->GetSize();
  capacity_ = size_;
  return Opened(kSharedImage, kModeRead);
}

int CDataSource::TakeCopy(const void* bytes, uint32_t length, uint32_t growthStep, Mode mode) {
  Close();
  if (!bytes || length == 0) return 0;
  // Without memory for the copy the source stays closed and the answer is 0.
  return CatchAllocationFailure(0, [&] {
    block_ = static_cast<unsigned char*>(AllocateBlock(length));
    std::memcpy(block_, bytes, length);
    data_ = block_;
    size_ = length;
    capacity_ = length;
    growthStep_ = growthStep;
    return Opened(kOwnMemory, mode);
  });
}

int CDataSource::CopyFromMemory(const void* bytes, uint32_t length) {
  return TakeCopy(bytes, length, 0, kModeRead);
}

int CDataSource::CopyFromMemoryForUpdate(const void* bytes, uint32_t length, uint32_t growthStep) {
  return TakeCopy(bytes, length, growthStep, kModeUpdate);
}

int CDataSource::AttachMemory(const void* bytes, uint32_t length) {
  Close();
  if (!bytes || length == 0) return 0;
  data_ = static_cast<const unsigned char*>(bytes);
  size_ = length;
  capacity_ = length;
  return Opened(kCallerMemory, kModeRead);
}

int CDataSource::OpenPlainFile(int (*open)(plat::File*, const char*), const char* path) {
  Close();
  if (!open(&file_, path)) return 0;
  return Opened(kPlainFile, kModeUpdate);
}

int CDataSource::OpenFileForUpdate(const char* path) {
  return OpenPlainFile(OpenFileForReadWrite, path);
}

int CDataSource::OpenSharedFileForUpdate(const char* path) {
  return OpenPlainFile(OpenFileForSharedReadWrite, path);
}

int CDataSource::CreateFileForUpdate(const char* path) {
  return OpenPlainFile(OpenNewFileForReadWrite, path);
}

int CDataSource::LoadImageForUpdate(const char* path, uint32_t bufferSize, uint32_t growthStep) {
  Close();
  if (!image_.LoadForUpdate(path, bufferSize, growthStep)) return 0;
  return Opened(kImage, kModeUpdate);
}

int CDataSource::CreateImage(const char* path, uint32_t bufferSize, uint32_t growthStep) {
  Close();
  if (!image_.Create(path, bufferSize, growthStep)) return 0;
  return Opened(kImage, kModeUpdate);
}

int CDataSource::CreateMemory(uint32_t capacity, uint32_t growthStep) {
  Close();
  if (capacity == 0) return 0;
  // Without memory for the block the source stays closed and the answer is 0.
  return CatchAllocationFailure(0, [&] {
    block_ = static_cast<unsigned char*>(AllocateZeroedBlock(capacity));
    data_ = block_;
    size_ = 0;
    capacity_ = capacity;
    growthStep_ = growthStep;
    return Opened(kOwnMemory, kModeUpdate);
  });
}

int CDataSource::LoadFile(const char* path) {
  Close();
  char* block = nullptr;
  uint32_t length = 0;
  if (!LoadWholeFileWithLength(path, &block, &length, nullptr)) return 0;
  block_ = reinterpret_cast<unsigned char*>(block);
  data_ = block_;
  size_ = length;
  capacity_ = length;
  return Opened(kOwnMemory, kModeRead);
}

// ---------------------------------------------------------------------------
// Access

int CDataSource::RefreshSize() {
  uint64_t length = 0;
  switch (kind_) {
    case kBufferedFile: {
      if (!buffered_.IsOpen()) return 0;
      size_ = buffered_.GetLength();
      return 1;
    }
    case kPlainFile:
      if (!file_.GetLength(length) || length > UINT32_MAX) return 0;
      size_ = static_cast<uint32_t>(length);
      return 1;
    case kImage:
      if (!image_.IsOpen()) return 0;
      size_ = image_.GetLength();
      return 1;
    case kOwnMemory:
    case kCallerMemory:
    case kSharedImage:
      return 1;
    case kNone:
      break;
  }
  return 0;
}

int CDataSource::Seek(uint32_t position) {
  if (kind_ == kNone || position > size_) return 0;
  switch (kind_) {
    case kBufferedFile:
      atEnd_ = false;
      if (buffered_.Seek(position)) return 1;
      // The reader refuses to stand at the end of its file unless its
      // window reaches there; the source stands there on its own.
      if (position == size_) {
        atEnd_ = true;
        return 1;
      }
      return 0;
    case kPlainFile:
      return SeekFileTo(&file_, position);
    case kImage:
      return image_.Seek(position);
    case kOwnMemory:
    case kCallerMemory:
    case kSharedImage:
      position_ = position;
      return 1;
    case kNone:
      break;
  }
  return 0;
}

int CDataSource::Read(void* buffer, uint32_t count) {
  if (!buffer && count > 0) return 0;
  switch (kind_) {
    case kBufferedFile:
      if (atEnd_) return count == 0 ? 1 : 0;
      return buffered_.Read(buffer, count);
    case kPlainFile:
      if (mode_ != kModeUpdate) return 0;
      return ReadBytesFromFile(&file_, buffer, count);
    case kImage:
      return image_.Read(buffer, count);
    case kOwnMemory:
    case kCallerMemory:
      if (static_cast<uint64_t>(position_) + count > size_) return 0;
      if (count > 0) std::memcpy(buffer, data_ + position_, count);
      position_ += count;
      return 1;
    case kSharedImage:
      if (!shared_->ReadAt(position_, buffer, count)) return 0;
      position_ += count;
      return 1;
    case kNone:
      break;
  }
  return 0;
}

int CDataSource::GrowFor(uint64_t end) {
  if (end <= capacity_) return 1;
  if (growthStep_ == 0) return 0;
  if (growthStep_ < end - capacity_) growthStep_ = static_cast<uint32_t>(end - capacity_);
  const uint64_t grown = static_cast<uint64_t>(capacity_) + growthStep_;
  if (grown > UINT32_MAX) return 0;
  // Without memory the block stays as it was and the answer is 0.
  return CatchAllocationFailure(0, [&] {
    auto* bigger = static_cast<unsigned char*>(AllocateZeroedBlock(static_cast<size_t>(grown)));
    std::memcpy(bigger, block_, size_);
    std::free(block_);
    block_ = bigger;
    data_ = block_;
    capacity_ = static_cast<uint32_t>(grown);
    return 1;
  });
}

int CDataSource::Write(const void* buffer, uint32_t count) {
  if (mode_ != kModeUpdate || (!buffer && count > 0)) return 0;
  switch (kind_) {
    case kPlainFile:
      if (!WriteBytesToFile(&file_, buffer, count)) return 0;
      return RefreshSize();
    case kImage:
      if (!image_.Write(buffer, count)) return 0;
      return RefreshSize();
    case kOwnMemory: {
      const uint64_t end = static_cast<uint64_t>(position_) + count;
      if (!GrowFor(end)) return 0;
      if (count > 0) std::memcpy(block_ + position_, buffer, count);
      position_ = static_cast<uint32_t>(end);
      if (position_ > size_) size_ = position_;
      return 1;
    }
    case kBufferedFile:
    case kCallerMemory:
    case kSharedImage:
    case kNone:
      break;
  }
  return 0;
}

int CDataSource::ReadAt(uint32_t position, void* buffer, uint32_t count) {
  return Seek(position) && Read(buffer, count) ? 1 : 0;
}

int CDataSource::WriteAt(uint32_t position, const void* buffer, uint32_t count) {
  return Seek(position) && Write(buffer, count) ? 1 : 0;
}

uint32_t CDataSource::GetPosition() {
  uint32_t position = 0;
  switch (kind_) {
    case kBufferedFile:
      return atEnd_ ? size_ : buffered_.GetPosition();
    case kPlainFile:
      return GetFilePosition(&file_, &position) ? position : 0;
    case kImage:
      return image_.GetPosition();
    case kOwnMemory:
    case kCallerMemory:
    case kSharedImage:
      return position_;
    case kNone:
      break;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Saving and closing

int CDataSource::SaveToFile(const char* path) {
  if (kind_ != kOwnMemory && kind_ != kCallerMemory) return 0;
  plat::File out;
  if (!OpenNewFileForReadWrite(&out, path)) return 0;
  const bool written = WriteBytesToFile(&out, data_, size_) == 1;
  const bool closed = out.Close();
  if (!(written && closed)) plat::File::Remove(path);
  Close();
  return written && closed ? 1 : 0;
}

int CDataSource::Close() {
  int result = 1;
  switch (kind_) {
    case kBufferedFile:
      buffered_.Close();
      break;
    case kPlainFile:
      result = file_.Close() ? 1 : 0;
      break;
    case kImage:
      result = image_.Close(1);
      break;
    case kOwnMemory:
    case kCallerMemory:
    case kSharedImage:
    case kNone:
      break;
  }
  shared_.reset();
  std::free(block_);
  block_ = nullptr;
  data_ = nullptr;
  kind_ = kNone;
  mode_ = kModeNone;
  size_ = 0;
  position_ = 0;
  capacity_ = 0;
  growthStep_ = 0;
  atEnd_ = false;
  return result;
}
