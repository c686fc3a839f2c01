#pragma once
// Where a library address search puts its rows: a new result file (CR LF
// lines) or the caller's string array. Each search adds the few steps of
// its own (the first row, a restart, the text quoted in a message) in a
// class derived from one of these.

#include <cstdint>

#include "common/file_access.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/path_util.h"
#include "common/record_array.h"
#include "matching/adrs_context.h"
#include "plat/file.h"
#include "tool/csv_sort.h"

class ResultFileOutput {
 public:
  explicit ResultFileOutput(const char* path) : path_(path) {}
  const char* Name() const { return "結果格納ファイル名"; }
  bool Missing() const { return path_ == nullptr; }
  int Create(char* message) {
    if (OpenNewTextFileForWrite(&file_, path_)) return 1;
    SetMessage(message, kMsgFileCreate, path_);
    return 0;
  }
  void Select(CAdrsContext* context) { context->SetOutputFile(&file_); }
  void Close() { file_.Close(); }
  void Discard() {
    file_.Close();
    RemoveFile(path_);
  }
  int Sort(int32_t field, char* message) { return SortCsvFile(path_, field, message); }

 protected:
  const char* path_;
  plat::File file_;
};

class ResultArrayOutput {
 public:
  explicit ResultArrayOutput(CStringArray* array) : array_(array) {}
  const char* Name() const { return "結果格納配列"; }
  bool Missing() const { return array_ == nullptr; }
  int Create(char*) { return 1; }
  void Select(CAdrsContext* context) { context->SetOutputArray(array_); }
  void Close() {}
  void Discard() {}
  int Sort(int32_t field, char* message) { return SortCsvArray(array_, field, message); }

 protected:
  CStringArray* array_;
};
