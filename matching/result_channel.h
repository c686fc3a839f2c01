#pragma once
// The three output forms of the search entries: a run on a fresh search
// context whose channel is a new result file, a caller's string array or a
// caller's buffer. The output argument is checked first ("パラメータに無効な
// 値が渡されました！(%s)" with 結果格納ファイル名, 結果格納配列, 結果格納バッファ
// or 結果格納バッファサイズ; "ファイルの作成に失敗しました！(%s)" for a file that
// cannot be created). A result file is closed after the run; whenever the
// entry answers 0 the file it made is removed again, while a file that was
// at the path before stays as it was (the rows go to a file aside until
// the close, and the earlier file is put back when a later step fails) and
// a device named as the result file is never removed.

#include <cstdint>
#include <initializer_list>

#include "common/allocation_guard.h"
#include "common/file_access.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/path_util.h"
#include "matching/adrs_context.h"
#include "plat/file.h"
#include "plat/output_file.h"

namespace result_channel {
inline constexpr const char* kInvalidParameter = kMsgInvalidParameter;
inline constexpr const char* kCreateFailed = kMsgFileCreate;
inline constexpr const char* kCloseFailed = kMsgFileWrite;
}  // namespace result_channel

// run(context) on a context writing to the new file; afterClose() runs on
// the closed file when the run succeeded (e.g. to sort it). 1 when both
// answered 1; otherwise the file is gone.
template <typename Run, typename AfterClose>
int WithResultFile(const char* resultFile, char* message, Run run, AfterClose afterClose) {
  if (!resultFile) {
    SetMessage(message, result_channel::kInvalidParameter, "結果格納ファイル名");
    return 0;
  }
  plat::OutputFile file;
  if (!OpenOutputTextFile(&file, resultFile)) {
    SetMessage(message, result_channel::kCreateFailed, resultFile);
    return 0;
  }
  int result = 0;
  {
    CAdrsContext context;
    context.SetOutputFile(&file.Stream());
    result = CatchAllocationFailure(message, 0, [&] { return run(&context); });
  }
  if (result && !file.Commit()) {
    SetMessage(message, result_channel::kCloseFailed, resultFile);
    result = 0;
  }
  if (result && !afterClose()) result = 0;
  if (!result) file.Discard();
  return result;
}

template <typename Run>
int WithResultFile(const char* resultFile, char* message, Run run) {
  return WithResultFile(resultFile, message, run, [] { return 1; });
}

template <typename Run>
int WithResultArray(CStringArray* array, char* message, Run run) {
  if (!array) {
    SetMessage(message, result_channel::kInvalidParameter, "結果格納配列");
    return 0;
  }
  CAdrsContext context;
  context.SetOutputArray(array);
  return CatchAllocationFailure(message, 0, [&] { return run(&context); });
}

template <typename Run>
int WithResultBuffer(char* buffer, int32_t bufferSize, char* message, Run run) {
  if (!buffer) {
    SetMessage(message, result_channel::kInvalidParameter, "結果格納バッファ");
    return 0;
  }
  if (bufferSize <= 0) {
    SetMessage(message, result_channel::kInvalidParameter, "結果格納バッファサイズ");
    return 0;
  }
  CAdrsContext context;
  context.SetOutputBuffer(buffer, bufferSize);
  return CatchAllocationFailure(message, 0, [&] { return run(&context); });
}

// One caller option: the context's setter, the value, its Japanese name.
struct ContextOption {
  int (CAdrsContext::*set)(int32_t);
  int32_t value;
  const char* name;
};

// Sets the options in order; the first one refused is named in
// "パラメータに無効な値が渡されました！(%s)" and gives 0.
inline int SetContextOptions(CAdrsContext* context, std::initializer_list<ContextOption> options,
                             char* message) {
  for (const ContextOption& option : options) {
    if (!(context->*option.set)(option.value)) {
      SetMessage(message, result_channel::kInvalidParameter, option.name);
      return 0;
    }
  }
  return 1;
}

// The six output options of the search entries (検索文字列区分, 出力測地系,
// 出力座標書式, 出力字丁目書式, 出力数字書式, 出力よみ書式) stored in this order.
inline int SetOutputOptions(CAdrsContext* context, char* message, int32_t searchTextKind,
                            int32_t datum, int32_t coordinateFormat, int32_t chomeFormat,
                            int32_t numberFormat, int32_t readingFormat) {
  return SetContextOptions(context,
                           {{&CAdrsContext::SetSearchTextKind, searchTextKind, "検索文字列区分"},
                            {&CAdrsContext::SetDatum, datum, "出力測地系"},
                            {&CAdrsContext::SetCoordinateFormat, coordinateFormat, "出力座標書式"},
                            {&CAdrsContext::SetChomeFormat, chomeFormat, "出力字丁目書式"},
                            {&CAdrsContext::SetNumberFormat, numberFormat, "出力数字書式"},
                            {&CAdrsContext::SetReadingFormat, readingFormat, "出力よみ書式"}},
                           message);
}
