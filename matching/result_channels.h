#pragma once
// The three output channels of the search entries around a run on a fresh
// context: a result file (created first, closed after, deleted again when
// the run answers 0 or the file cannot be completed), a string array (not
// emptied) and a caller buffer (rows joined by ";"). A missing target fails
// with "パラメータに無効な値が渡されました！(%s)" naming it.

#include <cstdint>

#include "common/file_access.h"
#include "common/message.h"
#include "common/path_util.h"
#include "matching/adrs_context.h"
#include "plat/file.h"

template <typename Run>
int WithResultFile(const char* resultFile, char* message, Run run) {
  if (!resultFile) {
    SetMessage(message, "パラメータに無効な値が渡されました！(%s)", "結果格納ファイル名");
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
    SetMessage(message, "パラメータに無効な値が渡されました！(%s)", "結果格納配列");
    return 0;
  }
  CAdrsContext context;
  context.SetOutputArray(array);
  return run(&context);
}

template <typename Run>
int WithResultBuffer(char* buffer, int32_t bufferSize, char* message, Run run) {
  if (!buffer) {
    SetMessage(message, "パラメータに無効な値が渡されました！(%s)", "結果格納バッファ");
    return 0;
  }
  if (bufferSize <= 0) {
    SetMessage(message, "パラメータに無効な値が渡されました！(%s)", "結果格納バッファサイズ");
    return 0;
  }
  CAdrsContext context;
  context.SetOutputBuffer(buffer, bufferSize);
  return run(&context);
}
