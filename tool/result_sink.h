#pragma once
// Where a search puts its rows: a new result file (CR LF lines), the
// caller's string array (rows appended) or the caller's buffer (rows joined
// with ";"). Every search entry takes its output as one of these sinks; the
// checks of each form and their messages live here once:
//
//   argument   "パラメータに無効な値が渡されました！(%s)" with 結果格納ファイル名,
//              結果格納配列, 結果格納バッファ or 結果格納バッファサイズ
//   creation   "ファイルの作成に失敗しました！(%s)" with the path
//   closing    "ファイルへの書き込みに失敗しました!(%s)" with the path
//   reading    "ファイルオープンエラー!(%s)", "ファイルの読み込みに失敗しました!(%s)"
//
// A file sink removes the file it made when the run is discarded, and also
// when it goes out of scope with the file still open (a run cut short by
// running out of memory), so that a failed entry leaves no half-written
// output behind. A file that was at the path before is replaced only when
// the run's file is closed whole (the rows go to a file aside until then)
// and is put back when the entry fails after that; a device named as the
// result file is written but never removed.

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/allocation_guard.h"
#include "matching/adrs_context.h"
#include "plat/output_file.h"

class ResultSink {
 public:
  virtual ~ResultSink() = default;
  ResultSink() = default;
  ResultSink(const ResultSink&) = delete;
  ResultSink& operator=(const ResultSink&) = delete;

  // The argument's name in the invalid-parameter message.
  virtual const char* Name() const = 0;
  // The caller passed no output (a null path, array or buffer).
  virtual bool Missing() const = 0;
  // 1 when the argument can take rows; else 0 with its message.
  virtual int Check(char* message) const;
  // Makes the output ready (the file created or emptied; the message is
  // cleared first); 0 with its message. The caller's array and buffer are
  // ready as they are.
  virtual int Create(char*) { return 1; }
  // Points the context's channel at the output; 0 when there is none.
  virtual int Attach(CAdrsContext* context) = 0;
  // Ends a run that succeeded (the file closed); 0 with its message.
  virtual int Close(char*) { return 1; }
  // Ends a run that failed: a file is closed and the file the sink made
  // is removed; the rows a run added to the caller's array or buffer stay.
  virtual void Discard() {}
  // The rows now in the output (after Close); 0 with its message when a
  // file cannot be counted.
  virtual int CountRows(uint32_t* rows, char* message) const = 0;
  // The first row (after Close); 0 with its message.
  virtual int FirstRow(std::string* row, char* message) const = 0;
  // Empties the output of this run for another; 0 with its message.
  virtual int Restart(char* message) = 0;
  // Sorts the rows by the field (tool/csv_sort.h); 0 with its message.
  virtual int Sort(int32_t field, char* message) = 0;
};

class FileSink final : public ResultSink {
 public:
  explicit FileSink(const char* path) : path_(path) {}
  ~FileSink() override;
  const char* Name() const override { return "結果格納ファイル名"; }
  bool Missing() const override { return path_ == nullptr; }
  int Create(char* message) override;
  int Attach(CAdrsContext* context) override { return context->SetOutputFile(&file_.Stream()); }
  int Close(char* message) override;
  void Discard() override;
  int CountRows(uint32_t* rows, char* message) const override;
  int FirstRow(std::string* row, char* message) const override;
  int Restart(char* message) override;
  int Sort(int32_t field, char* message) override;

 private:
  const char* path_;
  plat::OutputFile file_;
};

class ArraySink final : public ResultSink {
 public:
  explicit ArraySink(CStringArray* array) : array_(array) {}
  const char* Name() const override { return "結果格納配列"; }
  bool Missing() const override { return array_ == nullptr; }
  int Attach(CAdrsContext* context) override { return context->SetOutputArray(array_); }
  int CountRows(uint32_t* rows, char* message) const override;
  int FirstRow(std::string* row, char* message) const override;
  // Removes the first row.
  int Restart(char* message) override;
  int Sort(int32_t field, char* message) override;

 private:
  CStringArray* array_;
};

class BufferSink final : public ResultSink {
 public:
  BufferSink(char* buffer, int32_t size) : buffer_(buffer), size_(size) {}
  const char* Name() const override { return "結果格納バッファ"; }
  bool Missing() const override { return buffer_ == nullptr; }
  // Also refuses a size below 1 (結果格納バッファサイズ).
  int Check(char* message) const override;
  int Attach(CAdrsContext* context) override { return context->SetOutputBuffer(buffer_, size_); }
  int CountRows(uint32_t* rows, char* message) const override;
  int FirstRow(std::string* row, char* message) const override;
  // Empties the buffer.
  int Restart(char* message) override;
  int Sort(int32_t field, char* message) override;

 private:
  char* buffer_;
  int32_t size_;
};

// The common frame of the search entries: the argument checked, the output
// created, run(context) on a fresh context writing to it, then (when the
// run answered 1) the output closed and after() run on it (to sort it, say).
// The entry answers 1 when all of them did; otherwise the output is
// discarded. Running out of memory in the run or in after() fails the entry
// with the memory message.
template <typename Run, typename After>
int RunOnSink(ResultSink& sink, char* message, Run run, After after) {
  if (!sink.Check(message) || !sink.Create(message)) return 0;
  int result = CatchAllocationFailure(message, 0, [&] {
    CAdrsContext context;
    sink.Attach(&context);
    return run(&context);
  });
  if (result) result = sink.Close(message);
  if (result) result = CatchAllocationFailure(message, 0, after);
  if (!result) sink.Discard();
  return result;
}

template <typename Run>
int RunOnSink(ResultSink& sink, char* message, Run run) {
  return RunOnSink(sink, message, run, [] { return 1; });
}
