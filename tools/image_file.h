#pragma once
// Helpers of the data builders, which build a file's whole image in a
// std::string and then write it out.

#include <cstdint>
#include <string>

#include "common/le_bytes.h"
#include "common/message.h"
#include "tools/staged_output.h"

namespace builder {

// Appends value in `bytes` (1 to 8) little-endian bytes.
inline void AppendLe(std::string* out, uint64_t value, int bytes) {
  unsigned char b[8];
  StoreLe(b, value, bytes);
  out->append(reinterpret_cast<const char*>(b), static_cast<std::size_t>(bytes));
}

// Writes image as the whole content of path: aside, then renamed over it
// (staged_output.h). On failure *error (when given) receives createError or
// writeError, and path keeps what it held (or stays absent).
inline bool WriteImageFile(const char* path, const std::string& image, std::string* error,
                           const char* createError, const char* writeError) {
  StagedFiles files;
  StageFailure failure = StageFailure::kNone;
  if (!files.Add(path, image, &failure) || !files.Commit()) {
    if (error) *error = failure == StageFailure::kCreate ? createError : writeError;
    return false;
  }
  return true;
}

// WriteImageFile with the system's messages in msg (kMessageSize bytes):
// "ファイルの作成に失敗しました！(%s)" or "ファイルへの書き込みに失敗しました!(%s)"
// with the path.
inline bool WriteImageFileWithMessage(const char* path, const std::string& image, char* msg) {
  std::string error;
  if (WriteImageFile(path, image, &error, "create", "write")) return true;
  if (error == "create") {
    SetMessage(msg, "ファイルの作成に失敗しました！(%s)", path ? path : "");
  } else {
    SetMessage(msg, "ファイルへの書き込みに失敗しました!(%s)", path);
  }
  return false;
}

}  // namespace builder
