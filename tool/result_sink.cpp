#include "tool/result_sink.h"

#include <cstring>

#include "common/file_access.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/text_file_ops.h"
#include "tool/csv_sort.h"

int ResultSink::Check(char* message) const {
  if (!Missing()) return 1;
  SetMessage(message, kMsgInvalidParameter, Name());
  return 0;
}

// ---- File ----

FileSink::~FileSink() {
  if (file_.IsOpen()) Discard();
}

int FileSink::Create(char* message) { return OpenOutputTextFileWithError(&file_, path_, message); }

int FileSink::Close(char* message) {
  if (!file_.IsOpen() || file_.Commit()) return 1;
  SetMessage(message, kMsgFileWrite, path_);
  return 0;
}

void FileSink::Discard() { file_.Discard(); }

int FileSink::CountRows(uint32_t* rows, char* message) const {
  if (CountTextFileLines(path_, rows)) return 1;
  SetMessage(message, kMsgFileOpen, path_);
  return 0;
}

int FileSink::FirstRow(std::string* row, char* message) const {
  plat::File in;
  if (!OpenTextFileForReadDenyWrite(&in, path_)) {
    SetMessage(message, kMsgFileOpen, path_);
    return 0;
  }
  if (!in.ReadString(*row)) {
    SetMessage(message, kMsgFileRead, path_);
    return 0;
  }
  return 1;
}

int FileSink::Restart(char* message) {
  file_.Discard();
  if (OpenOutputTextFile(&file_, path_)) return 1;
  SetMessage(message, kMsgFileCreate, path_);
  return 0;
}

int FileSink::Sort(int32_t field, char* message) { return SortCsvFile(path_, field, message); }

// ---- Array ----

int ArraySink::CountRows(uint32_t* rows, char*) const {
  *rows = static_cast<uint32_t>(array_->size());
  return 1;
}

int ArraySink::FirstRow(std::string* row, char*) const {
  *row = array_->empty() ? std::string() : array_->front();
  return 1;
}

int ArraySink::Restart(char*) {
  if (!array_->empty()) array_->erase(array_->begin());
  return 1;
}

int ArraySink::Sort(int32_t field, char* message) { return SortCsvArray(array_, field, message); }

// ---- Buffer: rows joined by ";", which is never part of a character ----

int BufferSink::Check(char* message) const {
  if (!ResultSink::Check(message)) return 0;
  if (size_ > 0) return 1;
  SetMessage(message, kMsgInvalidParameter, "結果格納バッファサイズ");
  return 0;
}

int BufferSink::CountRows(uint32_t* rows, char*) const {
  *rows = 0;
  if (buffer_[0] == '\0') return 1;
  *rows = 1;
  for (const char* p = buffer_; *p; ++p) *rows += *p == ';' ? 1 : 0;
  return 1;
}

int BufferSink::FirstRow(std::string* row, char*) const {
  row->assign(buffer_, std::strcspn(buffer_, ";"));
  return 1;
}

int BufferSink::Restart(char*) {
  buffer_[0] = '\0';
  return 1;
}

int BufferSink::Sort(int32_t field, char* message) { return SortCsvList(buffer_, field, message); }
