#include "common/message_texts.h"
#include "gazref/search_sink.h"

#include "common/file_access.h"
#include "common/message.h"
#include "common/path_util.h"
#include "common/text_file_ops.h"

namespace {

constexpr char kAttachMessage[] = "アタッチに失敗しました！[%s]";

}  // namespace

int RunSearchToFile(const char* resultPath, const char* label, const char* emptyMessage, char* msg,
                    const SearchIntoContext& search) {
  plat::File file;
  if (!OpenNewTextFileForWriteWithError(&file, resultPath, msg)) return 0;
  CAdrsContext context;
  if (!context.SetOutputFile(&file)) {
    file.Close();
    RemoveFile(resultPath);
    SetMessage(msg, kAttachMessage, label);
    return 0;
  }
  if (!search(&context)) {
    file.Close();
    RemoveFile(resultPath);
    return 0;
  }
  const bool closed = file.Close();
  uint32_t lines = 0;
  if (!closed || !CountTextFileLines(resultPath, &lines)) {
    RemoveFile(resultPath);
    SetMessage(msg, kMsgFileOpen, resultPath);
    return 0;
  }
  if (lines == 0) {
    RemoveFile(resultPath);
    SetMessage(msg, "%s", emptyMessage);
    return 0;
  }
  return 1;
}

int RunSearchToArray(CStringArray* array, const char* label, const char* emptyMessage, char* msg,
                     const SearchIntoContext& search) {
  CAdrsContext context;
  if (!context.SetOutputArray(array)) {
    SetMessage(msg, kAttachMessage, label);
    return 0;
  }
  if (!search(&context)) return 0;
  if (array->empty()) {
    SetMessage(msg, "%s", emptyMessage);
    return 0;
  }
  return 1;
}

RowOutcome WriteCountedRow(CAdrsContext* output, const char* row, int64_t* count, int32_t maximum,
                           int32_t* overflow, const char* label, char* msg) {
  if (++*count > maximum) {
    *overflow = 1;
    return kRowOverflow;
  }
  if (!output || !output->WriteLine(row)) {
    SetMessage(msg, "検索結果の登録に失敗しました！[%s]", label);
    return kRowFailed;
  }
  return kRowWritten;
}
