#pragma once
// What the search entries share around their core: the three outputs (a
// result file, a string array, a caller buffer) as a context channel, and
// the checked setting of the caller's options.
//
// Messages (kMessageSize bytes): "パラメータに無効な値が渡されました！(%s)"
// with 結果格納ファイル名, 結果格納配列, 結果格納バッファ, 結果格納バッファサイズ
// or the refused option's name; "ファイルの作成に失敗しました！(%s)" and
// "ファイルへの書き込みに失敗しました!(%s)" with the result file.

#include <cstdint>
#include <initializer_list>

#include "common/file_access.h"
#include "common/message.h"
#include "common/path_util.h"
#include "matching/adrs_context.h"
#include "plat/file.h"

inline constexpr char kInvalidParameterMessage[] = "パラメータに無効な値が渡されました！(%s)";

// One caller option: the context's setter, the value, its Japanese name.
struct ContextOption {
  int (CAdrsContext::*set)(int32_t);
  int32_t value;
  const char* name;
};

// Sets the options in order; the first refused ends with its message and 0.
inline int SetContextOptions(CAdrsContext* context, std::initializer_list<ContextOption> options,
                             char* message) {
  for (const ContextOption& option : options) {
    if (!(context->*option.set)(option.value)) {
      SetMessage(message, kInvalidParameterMessage, option.name);
      return 0;
    }
  }
  return 1;
}

// The result file around a run on a context: created first, closed after,
// deleted again when the run answers 0 (or the file cannot be completed).
template <typename Run>
int WithResultFile(const char* resultFile, char* message, Run run) {
  if (!resultFile) {
    SetMessage(message, kInvalidParameterMessage, "結果格納ファイル名");
    return 0;
  }
  plat::File file;
  if (!OpenNewTextFileForWrite(&file, resultFile)) {
    SetMessage(message, "ファイルの作成に失敗しました！(%s)", resultFile);
    return 0;
  }
  int result = 0;
  {
    CAdrsContext context;
    context.SetOutputFile(&file);
    result = run(&context);
  }
  if (!file.Close() && result) {
    SetMessage(message, "ファイルへの書き込みに失敗しました!(%s)", resultFile);
    result = 0;
  }
  if (!result) RemoveFile(resultFile);
  return result;
}

template <typename Run>
int WithResultArray(CStringArray* array, char* message, Run run) {
  if (!array) {
    SetMessage(message, kInvalidParameterMessage, "結果格納配列");
    return 0;
  }
  CAdrsContext context;
  context.SetOutputArray(array);
  return run(&context);
}

template <typename Run>
int WithResultBuffer(char* buffer, int32_t bufferSize, char* message, Run run) {
  if (!buffer) {
    SetMessage(message, kInvalidParameterMessage, "結果格納バッファ");
    return 0;
  }
  if (bufferSize <= 0) {
    SetMessage(message, kInvalidParameterMessage, "結果格納バッファサイズ");
    return 0;
  }
  CAdrsContext context;
  context.SetOutputBuffer(buffer, bufferSize);
  return run(&context);
}
