#include "common/file_access.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/allocation_guard.h"
#include "common/codepage.h"
#include "common/file_status.h"
#include "common/heap_buffer.h"
#include "common/le_bytes.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/number_format.h"
#include "common/number_parse.h"
#include "common/sjis_text.h"

namespace {

constexpr char kSizeErrorMessage[] = "ファイルサイズの取得に失敗しました！(%s)";
constexpr char kEmptyFileMessage[] = "ファイルサイズが０バイトです！(%s)";

constexpr unsigned char kEndOfFileMark = 0x1A;
constexpr uint32_t kCopyPieceSize = 4096;
constexpr uint32_t kCountPieceSize = 8192;
constexpr int kNumberLineSize = 8192;

// The flag words of the open helpers.
constexpr uint32_t kReadWrite = plat::ModeReadWrite;                                     // 0x0002
constexpr uint32_t kSharedReadWrite = plat::ModeReadWrite | plat::ShareDenyNone;         // 0x0042
constexpr uint32_t kRead = plat::ModeRead | plat::ShareDenyNone;                         // 0x0040
constexpr uint32_t kReadDenyWrite = plat::ModeRead | plat::ShareDenyWrite;               // 0x0020
constexpr uint32_t kNewReadWrite = plat::ModeCreate | plat::ModeReadWrite;               // 0x1002
constexpr uint32_t kTextReadWrite = plat::TypeText | plat::ModeReadWrite;                // 0x4002
constexpr uint32_t kTextRead = plat::TypeText | plat::ModeRead | plat::ShareDenyNone;    // 0x4040
constexpr uint32_t kTextReadDenyWrite = plat::TypeText | plat::ShareDenyWrite;           // 0x4020
constexpr uint32_t kNewTextWrite = plat::TypeText | plat::ModeCreate | plat::ModeWrite;  // 0x5001

int OpenWith(plat::File* file, const char* path, uint32_t flags) {
  if (!file || !IsNonBlankPath(path)) return 0;
  return file->Open(path, flags) ? 1 : 0;
}

// Empties the message, runs the open and writes the message on failure.
int OpenWithMessage(int (*open)(plat::File*, const char*), plat::File* file, const char* path,
                    char* msg, const char* message) {
  ClearString(msg);
  if (open(file, path)) return 1;
  SetMessage(msg, message, path ? path : "");
  return 0;
}

int OpenAt(int (*open)(plat::File*, const char*), plat::File* file, const char* path,
           uint32_t position) {
  if (!open(file, path)) return 0;
  return SeekFileTo(file, position);
}

int OpenPair(int (*open)(plat::File*, const char*, char*), plat::File* first, const char* firstPath,
             plat::File* second, const char* secondPath, char* msg) {
  if (!open(first, firstPath, msg)) return 0;
  if (open(second, secondPath, msg)) return 1;
  first->Close();
  return 0;
}

template <typename T>
int WriteLe(plat::File* file, T value) {
  unsigned char b[sizeof(T)];
  StoreLeValue(b, value);
  return WriteBytesToFile(file, b, sizeof(T));
}

template <typename T>
int ReadLe(plat::File* file, T* value) {
  unsigned char b[sizeof(T)];
  if (!value || !ReadBytesFromFile(file, b, sizeof(T))) return 0;
  *value = LoadLeValue<T>(b);
  return 1;
}

// A value read little-endian, then byte-swapped: the big-endian reading.
template <typename T>
int ReadSwapped(plat::File* file, T* value, T (*swap)(T)) {
  T v;
  if (!value || !ReadLe(file, &v)) return 0;
  *value = swap(v);
  return 1;
}

// Writes a text built in the work buffer; snprintf's count n tells whether
// it fitted.
int WriteWorkText(plat::File* file, const char* work, int n) {
  if (n < 0 || n >= kTextWorkSize) return 0;
  return WriteTextToFile(file, work);
}

int WithNewLine(plat::File* file, int written) { return written ? WriteNewLineToFile(file) : 0; }

}  // namespace

int IsNonBlankPath(const char* path) {
  if (!path) return 0;
  for (const char* p = path; *p; ++p) {
    if (*p != ' ') return 1;
  }
  return 0;
}

// ---- Open helpers ----

int OpenFileForReadWrite(plat::File* file, const char* path) {
  return OpenWith(file, path, kReadWrite);
}
int OpenFileForSharedReadWrite(plat::File* file, const char* path) {
  return OpenWith(file, path, kSharedReadWrite);
}
int OpenFileForRead(plat::File* file, const char* path) { return OpenWith(file, path, kRead); }
int OpenFileForReadDenyWrite(plat::File* file, const char* path) {
  return OpenWith(file, path, kReadDenyWrite);
}
int OpenNewFileForReadWrite(plat::File* file, const char* path) {
  return OpenWith(file, path, kNewReadWrite);
}
int OpenTextFileForReadWrite(plat::File* file, const char* path) {
  return OpenWith(file, path, kTextReadWrite);
}
int OpenTextFileForRead(plat::File* file, const char* path) {
  return OpenWith(file, path, kTextRead);
}
int OpenTextFileForReadDenyWrite(plat::File* file, const char* path) {
  return OpenWith(file, path, kTextReadDenyWrite);
}
int OpenNewTextFileForWrite(plat::File* file, const char* path) {
  return OpenWith(file, path, kNewTextWrite);
}

int OpenOutputTextFile(plat::OutputFile* file, const char* path) {
  if (!file || !IsNonBlankPath(path)) return 0;
  return file->Open(path, kNewTextWrite) ? 1 : 0;
}

int OpenOutputTextFileWithError(plat::OutputFile* file, const char* path, char* msg) {
  ClearString(msg);
  if (OpenOutputTextFile(file, path)) return 1;
  SetMessage(msg, kMsgFileCreate, path ? path : "");
  return 0;
}

int OpenOutputFileForReadWrite(plat::OutputFile* file, const char* path) {
  if (!file || !IsNonBlankPath(path)) return 0;
  return file->Open(path, kNewReadWrite) ? 1 : 0;
}

int OpenFileForReadWriteWithError(plat::File* file, const char* path, char* msg) {
  return OpenWithMessage(OpenFileForReadWrite, file, path, msg, kMsgFileOpen);
}
int OpenFileForReadDenyWriteWithError(plat::File* file, const char* path, char* msg) {
  return OpenWithMessage(OpenFileForReadDenyWrite, file, path, msg, kMsgFileOpen);
}
int OpenNewFileForReadWriteWithError(plat::File* file, const char* path, char* msg) {
  return OpenWithMessage(OpenNewFileForReadWrite, file, path, msg, kMsgFileCreate);
}
int OpenTextFileForReadWriteWithError(plat::File* file, const char* path, char* msg) {
  return OpenWithMessage(OpenTextFileForReadWrite, file, path, msg, kMsgFileOpen);
}
int OpenTextFileForReadWithError(plat::File* file, const char* path, char* msg) {
  return OpenWithMessage(OpenTextFileForRead, file, path, msg, kMsgFileOpen);
}
int OpenNewTextFileForWriteWithError(plat::File* file, const char* path, char* msg) {
  return OpenWithMessage(OpenNewTextFileForWrite, file, path, msg, kMsgFileCreate);
}

int OpenFileForReadWriteAt(plat::File* file, const char* path, uint32_t position) {
  return OpenAt(OpenFileForReadWrite, file, path, position);
}
int OpenFileForReadWriteAtWithError(plat::File* file, const char* path, uint32_t position,
                                    char* msg) {
  ClearString(msg);
  if (OpenFileForReadWriteAt(file, path, position)) return 1;
  SetMessage(msg, kMsgFileOpen, path ? path : "");
  return 0;
}
int OpenFileForReadDenyWriteAt(plat::File* file, const char* path, uint32_t position) {
  return OpenAt(OpenFileForReadDenyWrite, file, path, position);
}
int OpenFileForReadDenyWriteAtWithError(plat::File* file, const char* path, uint32_t position,
                                        char* msg) {
  ClearString(msg);
  if (OpenFileForReadDenyWriteAt(file, path, position)) return 1;
  SetMessage(msg, kMsgFileOpen, path ? path : "");
  return 0;
}

int OpenFilePairForReadWrite(plat::File* first, const char* firstPath, plat::File* second,
                             const char* secondPath, char* msg) {
  return OpenPair(OpenFileForReadWriteWithError, first, firstPath, second, secondPath, msg);
}
int OpenFilePairForReadDenyWrite(plat::File* first, const char* firstPath, plat::File* second,
                                 const char* secondPath, char* msg) {
  return OpenPair(OpenFileForReadDenyWriteWithError, first, firstPath, second, secondPath, msg);
}

int OpenTextFileForAppend(plat::File* file, const char* path) {
  if (!file || !IsNonBlankPath(path)) return 0;
  bool endsWithMark = false;
  {
    plat::File binary;
    if (!binary.Open(path, kReadWrite)) return 0;
    uint64_t length = 0;
    if (!binary.GetLength(length)) return 0;
    if (length > 0) {
      unsigned char last = 0;
      if (!binary.Seek(-1, plat::SeekOrigin::End) || binary.Read(&last, 1) != 1) return 0;
      endsWithMark = last == kEndOfFileMark;
    }
    // The binary object closes here.
  }
  if (!file->Open(path, kTextReadWrite)) return 0;
  const bool placed = endsWithMark ? file->Seek(-1, plat::SeekOrigin::End) : file->SeekToEnd();
  if (!placed) {
    file->Close();
    return 0;
  }
  return 1;
}

int OpenTextFileForAppendOrCreate(plat::File* file, const char* path) {
  if (FileExists(path)) return OpenTextFileForAppend(file, path);
  return OpenNewTextFileForWrite(file, path);
}

// ---- Operations ----

int SeekFileTo(plat::File* file, uint32_t position) {
  return file && file->Seek(position, plat::SeekOrigin::Begin) ? 1 : 0;
}
int SeekFileToEnd(plat::File* file) { return file && file->SeekToEnd() ? 1 : 0; }
int SeekFileToBegin(plat::File* file) { return file && file->SeekToBegin() ? 1 : 0; }

int SeekFileToEndGetPos(plat::File* file, uint32_t* position) {
  if (!file || !position || !file->SeekToEnd()) return 0;
  return GetFilePosition(file, position);
}

int SeekFileBy(plat::File* file, int32_t offset) {
  return file && file->Seek(offset, plat::SeekOrigin::Current) ? 1 : 0;
}

int GetFilePosition(plat::File* file, uint32_t* position) {
  uint64_t pos = 0;
  if (!file || !position || !file->GetPosition(pos)) return 0;
  *position = static_cast<uint32_t>(pos);
  return 1;
}

int LockFileRange(plat::File* file, uint32_t position, uint32_t count) {
  return file && file->LockRange(position, count) ? 1 : 0;
}
int UnlockFileRange(plat::File* file, uint32_t position, uint32_t count) {
  return file && file->UnlockRange(position, count) ? 1 : 0;
}

int WriteBytesToFile(plat::File* file, const void* data, uint32_t count) {
  if (!file || (!data && count > 0)) return 0;
  return file->Write(data, count) ? 1 : 0;
}

int WriteBytesToFileAt(plat::File* file, uint32_t position, const void* data, uint32_t count) {
  return SeekFileTo(file, position) && WriteBytesToFile(file, data, count) ? 1 : 0;
}

int ReadBytesFromFile(plat::File* file, void* data, uint32_t count) {
  if (!file || (!data && count > 0)) return 0;
  const std::size_t got = file->Read(data, count);
  return got == count && !file->Failed() ? 1 : 0;
}

int ReadBytesFromFileAt(plat::File* file, uint32_t position, void* data, uint32_t count) {
  return SeekFileTo(file, position) && ReadBytesFromFile(file, data, count) ? 1 : 0;
}

int WriteTextToFile(plat::File* file, const char* text) {
  if (!file || !text) return 0;
  return file->WriteString(text) ? 1 : 0;
}

int ReadLineFromFile(plat::File* file, char* buffer, int size) {
  if (!file || !buffer || size < 1) return 0;
  if (!file->ReadString(buffer, static_cast<std::size_t>(size))) return 0;
  const std::size_t len = std::strlen(buffer);
  if (len > 0 && buffer[len - 1] == '\n') buffer[len - 1] = '\0';
  return 1;
}

int CopyFileContents(plat::File* target, plat::File* source) {
  if (!target || !source || target == source) return 0;
  unsigned char piece[kCopyPieceSize];
  for (;;) {
    const std::size_t got = source->Read(piece, sizeof piece);
    // A failed read is no end of the data.
    if (source->Failed()) return 0;
    if (got == 0) return 1;
    if (!WriteBytesToFile(target, piece, static_cast<uint32_t>(got))) return 0;
  }
}

// ---- Typed binary values ----

int WriteByteToFile(plat::File* file, int32_t value) {
  return WriteLe(file, static_cast<uint8_t>(value));
}
int ReadByteFromFile(plat::File* file, uint8_t* value) { return ReadLe(file, value); }

int WriteShortToFile(plat::File* file, int16_t value) { return WriteLe(file, value); }
int ReadShortFromFile(plat::File* file, int16_t* value) { return ReadLe(file, value); }
int ReadShortFromFileSwapped(plat::File* file, int16_t* value) {
  return ReadSwapped(file, value, SwapInt16);
}

int WriteUShortToFile(plat::File* file, uint16_t value) { return WriteLe(file, value); }
int ReadUShortFromFile(plat::File* file, uint16_t* value) { return ReadLe(file, value); }
int ReadUShortFromFileSwapped(plat::File* file, uint16_t* value) {
  return ReadSwapped(file, value, SwapUInt16);
}

int WriteLongToFile(plat::File* file, int32_t value) { return WriteLe(file, value); }
int ReadLongFromFile(plat::File* file, int32_t* value) { return ReadLe(file, value); }
int ReadLongFromFileSwapped(plat::File* file, int32_t* value) {
  return ReadSwapped(file, value, SwapInt32);
}

int WriteULongToFile(plat::File* file, uint32_t value) { return WriteLe(file, value); }
int ReadULongFromFile(plat::File* file, uint32_t* value) { return ReadLe(file, value); }
int ReadULongFromFileSwapped(plat::File* file, uint32_t* value) {
  return ReadSwapped(file, value, SwapUInt32);
}

int WriteFloatToFile(plat::File* file, float value) { return WriteLe(file, value); }
int ReadFloatFromFile(plat::File* file, float* value) { return ReadLe(file, value); }
int ReadFloatFromFileSwapped(plat::File* file, float* value) {
  return ReadSwapped(file, value, SwapFloat);
}

int WriteDoubleToFile(plat::File* file, double value) { return WriteLe(file, value); }
int ReadDoubleFromFile(plat::File* file, double* value) { return ReadLe(file, value); }
int ReadDoubleFromFileSwapped(plat::File* file, double* value) {
  return ReadSwapped(file, value, SwapDouble);
}

// ---- Text writers ----

int WriteLineToFile(plat::File* file, const char* text) {
  if (!file || !text) return 0;
  // The line and its end go to the file in one write.
  std::string line(text);
  line.push_back('\n');
  return file->Write(line.data(), line.size()) ? 1 : 0;
}

int WriteNewLineToFile(plat::File* file) { return WriteTextToFile(file, "\n"); }

int WriteDoubleToTextFile(plat::File* file, double value, int width, int decimals) {
  if (width < decimals || decimals < 0) return 0;
  char work[kSjisWorkArea];
  FormatDouble(work, value, width, decimals);
  if (work[0] == '\0') return 0;
  return WriteWorkText(file, work, static_cast<int>(std::strlen(work)));
}

int WriteShortToTextFile(plat::File* file, int16_t value, int width) {
  if (width < 0) return 0;
  char format[32];
  std::snprintf(format, sizeof format, "%%%dd", width);
  char work[kTextWorkSize];
  return WriteWorkText(file, work,
                       std::snprintf(work, sizeof work, format, static_cast<int>(value)));
}

int WriteLongToTextFile(plat::File* file, int32_t value, int width) {
  if (width < 0) return 0;
  char format[32];
  std::snprintf(format, sizeof format, "%%%dld", width);
  char work[kTextWorkSize];
  return WriteWorkText(file, work,
                       std::snprintf(work, sizeof work, format, static_cast<long>(value)));
}

int WriteIntToTextFile(plat::File* file, int32_t value, int width) {
  if (width < 0) return 0;
  char format[32];
  std::snprintf(format, sizeof format, "%%%dd", width);
  char work[kTextWorkSize];
  return WriteWorkText(file, work,
                       std::snprintf(work, sizeof work, format, static_cast<int>(value)));
}

int WritePaddedTextToFile(plat::File* file, const char* text, int width) {
  if (!text || width < 0) return 0;
  const std::size_t len = std::strlen(text);
  const std::size_t padded =
      len < static_cast<std::size_t>(width) ? static_cast<std::size_t>(width) : len;
  if (padded >= static_cast<std::size_t>(kTextWorkSize)) return 0;
  char work[kTextWorkSize];
  std::memcpy(work, text, len);
  std::memset(work + len, ' ', padded - len);
  work[padded] = '\0';
  return WriteTextToFile(file, work);
}

int WriteDoubleLineToTextFile(plat::File* file, double value, int width, int decimals) {
  return WithNewLine(file, WriteDoubleToTextFile(file, value, width, decimals));
}
int WriteShortLineToTextFile(plat::File* file, int16_t value, int width) {
  return WithNewLine(file, WriteShortToTextFile(file, value, width));
}
int WriteLongLineToTextFile(plat::File* file, int32_t value, int width) {
  return WithNewLine(file, WriteLongToTextFile(file, value, width));
}
int WriteIntLineToTextFile(plat::File* file, int32_t value, int width) {
  return WithNewLine(file, WriteIntToTextFile(file, value, width));
}
int WritePaddedTextLineToFile(plat::File* file, const char* text, int width) {
  return WithNewLine(file, WritePaddedTextToFile(file, text, width));
}

int ReadIntLineFromFile(plat::File* file, int32_t* value, int32_t lower, int32_t upper) {
  char line[kNumberLineSize];
  if (!value || !ReadLineFromFile(file, line, sizeof line)) return 0;
  return ParseIntInRange(line, value, lower, upper);
}

// ---- File tests and measures ----

int FileExists(const char* path) {
  plat::File file;
  return OpenFileForReadDenyWrite(&file, path);
}

int FileExistsWithError(const char* path, char* msg) {
  if (FileExists(path)) return 1;
  SetMessage(msg, kMsgFileOpen, path ? path : "");
  return 0;
}

int BothFilesExist(const char* first, const char* second, char* msg) {
  ClearString(msg);
  return FileExistsWithError(first, msg) && FileExistsWithError(second, msg) ? 1 : 0;
}

int AllThreeFilesExist(const char* first, const char* second, const char* third, char* msg) {
  ClearString(msg);
  return FileExistsWithError(first, msg) && FileExistsWithError(second, msg) &&
                 FileExistsWithError(third, msg)
             ? 1
             : 0;
}

int CanOpenFileForRead(const char* path) {
  plat::File file;
  return OpenFileForReadDenyWrite(&file, path);
}

int CanOpenFileForReadWrite(const char* path) {
  plat::File file;
  return OpenFileForReadWrite(&file, path);
}

int CanCreateFile(const char* path) {
  if (FileExists(path)) return 1;
  // Only a file made for the test is removed again.
  plat::OutputFile file;
  if (!OpenOutputFileForReadWrite(&file, path)) return 0;
  file.Discard();
  return 1;
}

int GetFileLength(const char* path, uint32_t* length) {
  if (!length) return 0;
  *length = 0;
  plat::File file;
  if (!OpenFileForReadDenyWrite(&file, path)) return 0;
  uint64_t len = 0;
  if (!file.GetLength(len)) return 0;
  *length = static_cast<uint32_t>(len);
  return 1;
}

int CountByteInFile(const char* path, uint8_t value, uint32_t* count) {
  if (!count) return 0;
  *count = 0;
  plat::File file;
  if (!OpenFileForReadDenyWrite(&file, path)) return 0;
  unsigned char piece[kCountPieceSize];
  uint32_t found = 0;
  for (;;) {
    const std::size_t got = file.Read(piece, sizeof piece);
    if (file.Failed()) return 0;
    if (got == 0) break;
    for (std::size_t i = 0; i < got; ++i) found += piece[i] == value ? 1u : 0u;
  }
  *count = found;
  return 1;
}

int GetFileStatus(const char* path, plat::FileStatus* status) {
  if (!status || !IsNonBlankPath(path)) return 0;
  return plat::File::GetStatus(path, *status) ? 1 : 0;
}

int GetFileTimes(const char* path, uint32_t* created, uint32_t* modified, uint32_t* accessed) {
  plat::FileStatus status;
  ClearFileStatusTimes(&status);
  if (!GetFileStatus(path, &status)) return 0;
  if (created) *created = static_cast<uint32_t>(status.created);
  if (modified) *modified = static_cast<uint32_t>(status.modified);
  if (accessed) *accessed = static_cast<uint32_t>(status.accessed);
  return 1;
}

// ---- Whole-file loads ----

int ReadWholeFile(const char* path, void* buffer, uint32_t bufferSize, char* msg) {
  plat::File file;
  if (!OpenFileForReadDenyWriteWithError(&file, path, msg)) return 0;
  uint64_t length = 0;
  if (!file.GetLength(length)) return 0;
  if (length == 0) {
    SetMessage(msg, kEmptyFileMessage, path);
    return 0;
  }
  if (!buffer || length > bufferSize) return 0;
  return ReadBytesFromFile(&file, buffer, static_cast<uint32_t>(length));
}

int LoadWholeFileWithLength(const char* path, char** buffer, uint32_t* length, char* msg) {
  if (!buffer) return 0;
  *buffer = nullptr;
  uint32_t size = 0;
  if (!GetFileLength(path, &size)) {
    SetMessage(msg, kSizeErrorMessage, path ? path : "");
    return 0;
  }
  if (size == 0) {
    SetMessage(msg, kEmptyFileMessage, path);
    return 0;
  }
  // Without memory for the block: the memory message and 0.
  return CatchAllocationFailure(msg, 0, [&] {
    char* block = static_cast<char*>(AllocateBlock(size));
    if (!ReadWholeFile(path, block, size, msg)) {
      std::free(block);
      return 0;
    }
    *buffer = block;
    if (length) *length = size;
    return 1;
  });
}

int LoadWholeFile(const char* path, char** buffer, char* msg) {
  return LoadWholeFileWithLength(path, buffer, nullptr, msg);
}

// ---- Byte filling and length-prefixed strings ----

int FillFileBytes(plat::File* file, uint8_t value, uint32_t total, uint32_t pieceSize) {
  if (!file || pieceSize == 0) return 0;
  if (total == 0) return 1;
  const uint32_t piece = total < pieceSize ? total : pieceSize;
  CHeapBuffer heap;
  void* block = heap.Allocate(piece, 1);
  if (!block) return 0;
  std::memset(block, value, piece);
  for (uint32_t left = total; left > 0;) {
    const uint32_t n = left < piece ? left : piece;
    if (!WriteBytesToFile(file, block, n)) return 0;
    left -= n;
  }
  return 1;
}

int FillFileBytesAt(plat::File* file, uint8_t value, uint32_t total, uint32_t position,
                    uint32_t pieceSize) {
  if (!SeekFileTo(file, position)) return 0;
  return FillFileBytes(file, value, total, pieceSize);
}

int AppendLengthPrefixedString(plat::File* file, const char* text, uint32_t* offset) {
  if (!file || !text) return 0;
  uint32_t start = 0;
  if (!SeekFileToEndGetPos(file, &start)) return 0;
  const std::size_t len = std::strlen(text);
  if (len > INT32_MAX) return 0;
  if (!WriteLongToFile(file, static_cast<int32_t>(len))) return 0;
  if (len > 0 && !WriteBytesToFile(file, text, static_cast<uint32_t>(len))) return 0;
  if (offset) *offset = start;
  return 1;
}

int ReadDwordLengthString(plat::File* file, uint32_t offset, char* text, std::size_t textSize) {
  if (!text || textSize == 0) return 0;
  text[0] = '\0';
  if (!file || !SeekFileTo(file, offset)) return 0;
  uint32_t length = 0;
  if (!ReadULongFromFile(file, &length)) return 0;
  if (length == 0) return 1;
  if (static_cast<uint64_t>(length) + 1 > textSize) return 0;
  if (!ReadBytesFromFile(file, text, length)) {
    text[0] = '\0';
    return 0;
  }
  text[length] = '\0';
  return 1;
}
