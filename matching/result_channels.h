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

// The six output options of the search entries (検索文字列区分, 出力測地系,
// 出力座標書式, 出力字丁目書式, 出力数字書式, 出力よみ書式) stored in this order
// through the context's setters; the first one out of range is named in
// "パラメータに無効な値が渡されました！(%s)" and gives 0.
inline int SetOutputOptions(CAdrsContext* context, char* message, int32_t searchTextKind,
                            int32_t datum, int32_t coordinateFormat, int32_t chomeFormat,
                            int32_t numberFormat, int32_t readingFormat) {
  const struct {
    int (CAdrsContext::*set)(int32_t);
    int32_t value;
    const char* name;
  } options[] = {
      {&CAdrsContext::SetSearchTextKind, searchTextKind, "検索文字列区分"},
      {&CAdrsContext::SetDatum, datum, "出力測地系"},
      {&CAdrsContext::SetCoordinateFormat, coordinateFormat, "出力座標書式"},
      {&CAdrsContext::SetChomeFormat, chomeFormat, "出力字丁目書式"},
      {&CAdrsContext::SetNumberFormat, numberFormat, "出力数字書式"},
      {&CAdrsContext::SetReadingFormat, readingFormat, "出力よみ書式"},
  };
  for (const auto& option : options) {
    if (!(context->*option.set)(option.value)) {
      SetMessage(message, "パラメータに無効な値が渡されました！(%s)", option.name);
      return 0;
    }
  }
  return 1;
}
