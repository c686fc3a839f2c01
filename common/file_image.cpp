#include "common/file_image.h"

#include <cstdlib>
#include <cstring>

#include "common/allocation_guard.h"
#include "common/file_access.h"
#include "common/le_bytes.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/sjis_text.h"
#include "plat/file.h"
#include "plat/output_file.h"

namespace {

// The length of a string item's text, or -1 when it does not fit 32 bits.
int64_t ItemTextLength(const char* text) {
  const std::size_t len = std::strlen(text);
  return len > UINT32_MAX - 4 ? -1 : static_cast<int64_t>(len);
}

}  // namespace

int CFileImage::TakeBuffer(uint32_t capacity) {
  // Without memory the image stays without a buffer and the answer is 0.
  return CatchAllocationFailure(0, [&] {
    buffer_ = static_cast<unsigned char*>(AllocateZeroedBlock(capacity));
    capacity_ = capacity;
    return 1;
  });
}

int CFileImage::Load(const char* path) {
  Close(1);
  plat::File file;
  uint64_t length = 0;
  if (!OpenFileForReadDenyWrite(&file, path)) return 0;
  if (!file.GetLength(length) || length == 0 || length > UINT32_MAX) return 0;
  if (!TakeBuffer(static_cast<uint32_t>(length))) return 0;
  if (!ReadBytesFromFile(&file, buffer_, static_cast<uint32_t>(length))) {
    Close(0);
    return 0;
  }
  open_ = true;
  length_ = static_cast<uint32_t>(length);
  writeBack_ = 0;
  position_ = 0;
  path_ = path;
  return 1;
}

int CFileImage::LoadForUpdate(const char* path, uint32_t size, uint32_t growthStep) {
  Close(1);
  if (size == 0) return 0;
  plat::File file;
  uint64_t length = 0;
  if (!OpenFileForReadWrite(&file, path)) return 0;
  if (!file.GetLength(length) || length > UINT32_MAX) return 0;
  if (!TakeBuffer(length > size ? static_cast<uint32_t>(length) : size)) return 0;
  if (length > 0 && !ReadBytesFromFile(&file, buffer_, static_cast<uint32_t>(length))) {
    Close(0);
    return 0;
  }
  open_ = true;
  length_ = static_cast<uint32_t>(length);
  growthStep_ = growthStep;
  writeBack_ = 1;
  position_ = 0;
  path_ = path;
  return 1;
}

int CFileImage::Create(const char* path, uint32_t size, uint32_t growthStep) {
  Close(1);
  if (size == 0) return 0;
  plat::File file;
  if (!OpenNewFileForReadWrite(&file, path)) return 0;
  file.Close();
  if (!TakeBuffer(size)) return 0;
  open_ = true;
  length_ = 0;
  growthStep_ = growthStep;
  writeBack_ = 1;
  position_ = 0;
  path_ = path;
  return 1;
}

int CFileImage::LoadWithMessage(const char* path, char* msg) {
  ClearString(msg);
  if (Load(path)) return 1;
  SetMessage(msg, kMsgFileOpen, path ? path : "");
  return 0;
}

int CFileImage::LoadForUpdateWithMessage(const char* path, uint32_t size, uint32_t growthStep,
                                         char* msg) {
  ClearString(msg);
  if (LoadForUpdate(path, size, growthStep)) return 1;
  SetMessage(msg, kMsgFileOpen, path ? path : "");
  return 0;
}

int CFileImage::CreateWithMessage(const char* path, uint32_t size, uint32_t growthStep, char* msg) {
  ClearString(msg);
  if (Create(path, size, growthStep)) return 1;
  SetMessage(msg, kMsgFileCreate, path ? path : "");
  return 0;
}

int CFileImage::Close(int flush) {
  const int result = (flush == 1 && open_) ? Flush() : 1;
  std::free(buffer_);
  buffer_ = nullptr;
  open_ = false;
  capacity_ = 0;
  length_ = 0;
  growthStep_ = 0;
  writeBack_ = -1;
  position_ = 0;
  path_.clear();
  return result;
}

int CFileImage::Flush() {
  if (!open_ || path_.empty()) return 0;
  if (writeBack_ != 1) return 1;
  return WriteBack();
}

// The data go to a new file beside the old one, which takes the old file's
// name only when it is complete (plat/output_file.h): a failure leaves the
// old file under its name, and a new file made for the image is removed
// again. A device named as the image is written in place.
int CFileImage::WriteBack() {
  plat::OutputFile file;
  if (!OpenOutputFileForReadWrite(&file, path_.c_str())) return 0;
  if (WriteBytesToFile(&file.Stream(), buffer_, length_) && file.Commit()) return 1;
  file.Discard();
  return 0;
}

int CFileImage::Seek(uint32_t position) {
  if (!open_ || position > length_) return 0;
  position_ = position;
  return 1;
}

unsigned char CFileImage::ReadByte() {
  if (!open_ || position_ >= length_) return 0;
  return buffer_[position_++];
}

int CFileImage::Read(void* buffer, uint32_t count) {
  if (!open_ || (!buffer && count > 0)) return 0;
  unsigned char* out = static_cast<unsigned char*>(buffer);
  for (uint32_t i = 0; i < count; ++i) {
    if (position_ >= length_) return 0;
    out[i] = buffer_[position_++];
  }
  return 1;
}

int CFileImage::GrowBuffer(uint32_t grown) {
  // Without memory the buffer stays as it was and the answer is 0.
  return CatchAllocationFailure(0, [&] {
    unsigned char* block = static_cast<unsigned char*>(AllocateZeroedBlock(grown));
    std::memcpy(block, buffer_, capacity_);
    std::free(buffer_);
    buffer_ = block;
    capacity_ = grown;
    return 1;
  });
}

int CFileImage::WriteByte(unsigned char value) {
  if (!open_) return 0;
  if (position_ >= capacity_) {
    if (growthStep_ == 0 || growthStep_ > UINT32_MAX - capacity_) return 0;
    if (!GrowBuffer(capacity_ + growthStep_)) return 0;
  }
  if (position_ == length_) ++length_;
  buffer_[position_++] = value;
  return 1;
}

int CFileImage::Write(const void* buffer, uint32_t count) {
  if (!open_ || (!buffer && count > 0)) return 0;
  const unsigned char* in = static_cast<const unsigned char*>(buffer);
  for (uint32_t i = 0; i < count; ++i) {
    if (!WriteByte(in[i])) return 0;
  }
  return 1;
}

int CFileImage::ReadAt(uint32_t position, void* buffer, uint32_t count) {
  return Seek(position) && Read(buffer, count) ? 1 : 0;
}

int CFileImage::WriteAt(uint32_t position, const void* buffer, uint32_t count) {
  return Seek(position) && Write(buffer, count) ? 1 : 0;
}

int CFileImage::AppendImageString(const char* text, uint32_t* position) {
  if (!open_ || !text) return 0;
  const uint32_t start = length_;
  if (!WriteImageString(start, text)) return 0;
  if (position) *position = start;
  return 1;
}

int CFileImage::ReadImageString(uint32_t position, char* text, std::size_t textSize) {
  if (!text || textSize == 0) return 0;
  text[0] = '\0';
  unsigned char stored[4];
  if (!ReadAt(position, stored, 4)) return 0;
  const uint32_t length = static_cast<uint32_t>(LoadLe(stored, 4));
  if (static_cast<uint64_t>(length) + 1 > textSize || length > length_ - position_) return 0;
  if (!Read(text, length)) {
    text[0] = '\0';
    return 0;
  }
  text[length] = '\0';
  return 1;
}

int CFileImage::WriteImageString(uint32_t position, const char* text) {
  if (!open_ || !text) return 0;
  const int64_t length = ItemTextLength(text);
  if (length < 0) return 0;
  unsigned char stored[4];
  StoreLe(stored, static_cast<uint64_t>(length), 4);
  return WriteAt(position, stored, 4) && Write(text, static_cast<uint32_t>(length)) ? 1 : 0;
}

int CFileImage::ReplaceImageString(uint32_t position, const char* text, uint32_t* newPosition) {
  if (!open_ || !text) return 0;
  const int64_t length = ItemTextLength(text);
  unsigned char stored[4];
  if (length < 0 || !ReadAt(position, stored, 4)) return 0;
  if (LoadLe(stored, 4) >= static_cast<uint64_t>(length)) {
    if (!WriteImageString(position, text)) return 0;
    if (newPosition) *newPosition = position;
    return 1;
  }
  return AppendImageString(text, newPosition);
}
