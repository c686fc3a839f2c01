#include "gazref/search_sink.h"

#include "common/allocation_guard.h"
#include "common/message.h"
#include "common/message_texts.h"

namespace {

constexpr char kAttachMessage[] = "アタッチに失敗しました！[%s]";

}  // namespace

int RunSearchOnSink(ResultSink&& sink, const char* label, const char* emptyMessage, char* msg,
                    const SearchIntoContext& search) {
  return CatchAllocationFailure(msg, 0, [&] {
    if (!sink.Create(msg)) return 0;
    CAdrsContext context;
    if (!sink.Attach(&context)) {
      sink.Discard();
      SetMessage(msg, kAttachMessage, label);
      return 0;
    }
    uint32_t rows = 0;
    if (!search(&context) || !sink.Close(msg) || !sink.CountRows(&rows, msg)) {
      sink.Discard();
      return 0;
    }
    if (rows == 0) {
      sink.Discard();
      SetMessage(msg, "%s", emptyMessage);
      return 0;
    }
    return 1;
  });
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
