#include "common/text_file_ops.h"

#include <cstring>
#include <string>

#include "common/file_access.h"
#include "common/message.h"
#include "common/message_texts.h"
#include "common/number_parse.h"
#include "common/partition_sort.h"
#include "common/path_util.h"
#include "common/sjis_text.h"
#include "common/work_memory.h"
#include "plat/file.h"
#include "plat/output_file.h"
#include "plat/path.h"

namespace {

constexpr int kCountPiece = 4096;
constexpr int kCopyPiece = 4096;
constexpr int kSkipPiece = 1024;
constexpr int kLengthPiece = 8192;
constexpr int kLabelPiece = 512;

constexpr char kBadValueMessage[] = "ラベル(%s)で定義した値が範囲外です！ (%s)";
constexpr char kNoLabelMessage[] = "ラベル(%s)がみつかりません！ (%s)";

// The next piece of a line into buffer: 1 for a piece, 0 at the end of the
// file, -1 when the read failed.
int ReadPiece(plat::File* file, char* buffer, int size) {
  if (ReadLineFromFile(file, buffer, size)) return 1;
  return file->Failed() ? -1 : 0;
}

// An output file that is discarded unless it is kept: a file this
// operation made is removed again, an earlier file at the path stays as it
// was (the new content goes aside and replaces it only when kept).
class OutputFile {
 public:
  explicit OutputFile(const char* path) : path_(path) {}
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  int Create() { return OpenOutputTextFile(&file_, path_); }
  int WriteLine(const char* text) { return WriteLineToFile(&file_.Stream(), text); }
  // Closes the file and puts it in place; a failed close discards it.
  int Keep() { return file_.IsOpen() && file_.Commit() ? 1 : 0; }
  // Closes and discards the file; answers 0 for use as a failure result.
  int Discard() {
    file_.Discard();
    return 0;
  }

 private:
  const char* path_;
  plat::OutputFile file_;
};

// 1 when the output would name the input: the same path by IsSamePath, or
// another spelling (separators, letter case) of the same file on disk.
// Creating the output would empty such an input before it is read.
bool NamesInput(const char* output, const char* input) {
  if (!output || !input || IsSamePath(output, input)) return true;
  std::string in, out;
  return plat::path::Resolve(input, false, in) && plat::path::Resolve(output, true, out) &&
         in == out;
}

// Copies every piece of the input to the output, trimmed when asked, except
// the piece numbered skip (1-based; 0 skips none). 0 when the read or a
// write fails.
int CopyPieces(plat::File* input, OutputFile* output, int pieceSize, int32_t skip, bool trim) {
  std::string piece(static_cast<std::size_t>(pieceSize), '\0');
  int32_t number = 0;
  for (;;) {
    const int r = ReadPiece(input, piece.data(), pieceSize);
    if (r <= 0) return r == 0 ? 1 : 0;
    ++number;
    if (number == skip) continue;
    if (trim) TrimBlanks(piece.data());
    if (!output->WriteLine(piece.data())) return 0;
  }
}

// ---- Line sort ----

// The comparisons of the two line sorts: string(n) against the pivot (a
// copy kept in this object) and against each other; the strings move
// between the entries by SwapStrings.
class LineSortOps {
 public:
  LineSortOps(CWorkMemory& memory, int direction) : memory_(memory), direction_(direction) {}

  void LoadPivot(int64_t n) { pivot_ = Text(n); }
  bool BelowPivot(int64_t n) { return Compare(Text(n), pivot_.c_str()) < 0; }
  bool AbovePivot(int64_t n) { return Compare(Text(n), pivot_.c_str()) > 0; }
  void Swap(int64_t a, int64_t b) { memory_.SwapStrings(Entry(a), Entry(b)); }
  void OrderPair(int64_t a, int64_t b) {
    if (Compare(Text(a), Text(b)) > 0) Swap(a, b);
  }

 private:
  static int32_t Entry(int64_t n) { return static_cast<int32_t>(n); }
  const char* Text(int64_t n) const {
    const char* s = memory_.GetString(Entry(n));
    return s ? s : "";
  }
  // Ascending order is CompareStrings; descending turns every comparison.
  int Compare(const char* a, const char* b) const { return direction_ * CompareStrings(a, b); }

  CWorkMemory& memory_;
  const int direction_;
  std::string pivot_;
};

void SortLines(CWorkMemory* memory, int32_t first, int32_t last, int direction) {
  if (!memory || first < 1 || last < 1) return;
  LineSortOps ops(*memory, direction);
  PartitionSort(ops, first, last);
}

// Loads the input's lines into the work memory and writes them sorted.
int SortTextFile(const char* output, const char* input, int direction) {
  if (!CanOpenFileForReadWrite(input)) return 0;
  if (NamesInput(output, input)) return 0;
  if (!CanCreateFile(output)) return 0;
  uint32_t lines = 0, bytes = 0;
  if (!CountTextFileLinesAndBytes(input, &lines, &bytes)) return 0;
  OutputFile out(output);
  if (!out.Create()) return 0;
  if (lines == 0) return out.Keep();

  const uint64_t poolBytes = static_cast<uint64_t>(bytes) + lines;
  if (lines == UINT32_MAX || poolBytes > UINT32_MAX) return out.Discard();
  CWorkMemory memory;
  if (!memory.Create(lines + 1, static_cast<uint32_t>(poolBytes))) return out.Discard();
  {
    plat::File in;
    if (!OpenTextFileForReadWrite(&in, input)) return out.Discard();
    char piece[kCountPiece];
    for (;;) {
      const int r = ReadPiece(&in, piece, kCountPiece);
      if (r < 0) return out.Discard();
      if (r == 0) break;
      if (!memory.AddString(piece)) return out.Discard();
    }
  }
  SortLines(&memory, 1, static_cast<int32_t>(memory.GetCount()), direction);
  // The list order is the entry order: the sort moved only the strings.
  for (int32_t n = memory.GetFirst(); n != 0;) {
    WorkMemoryEntry e;
    if (!memory.GetEntry(static_cast<uint32_t>(n), &e)) return out.Discard();
    const char* s = memory.GetString(n);
    if (!out.WriteLine(s ? s : "")) return out.Discard();
    n = e.next;
  }
  return out.Keep();
}

// ---- Labelled values ----

// Finds the first line whose label matches and copies that line. The result
// code: kLabelFound (line copied), kLabelFileError or kLabelNotFound.
int FindLabelLine(const char* path, const char* label, char* line) {
  plat::File file;
  if (!OpenTextFileForReadWrite(&file, path)) return kLabelFileError;
  if (!label) return kLabelNotFound;
  char word[kLabelPiece];
  for (;;) {
    const int r = ReadPiece(&file, line, kLabelPiece);
    if (r < 0) return kLabelFileError;
    if (r == 0) return kLabelNotFound;
    GetBlankSeparatedWord(word, line, 1);
    ToUpperAscii(word);
    if (std::strcmp(word, label) == 0) return kLabelFound;
  }
}

// The value words of the labelled line: word N + 1, N + 2 ... (count of
// them) into words (each kLabelPiece bytes).
int ReadLabelledWords(const char* path, const char* label, int n, int count,
                      char (*words)[kLabelPiece]) {
  char line[kLabelPiece];
  const int code = FindLabelLine(path, label, line);
  if (code != kLabelFound) return code;
  for (int i = 0; i < count; ++i) {
    GetBlankSeparatedWord(words[i], line, n + 1 + i);
  }
  return kLabelFound;
}

// Word N + 1 as a double within lower..upper.
int ReadLabelledNumber(const char* path, const char* label, int n, double* value, double lower,
                       double upper) {
  char word[1][kLabelPiece];
  const int code = ReadLabelledWords(path, label, n, 1, word);
  if (code != kLabelFound) return code;
  double parsed = 0;
  if (word[0][0] == '\0' || !ParseDoubleInRange(word[0], &parsed, lower, upper)) {
    return kLabelBadValue;
  }
  *value = parsed;
  return kLabelFound;
}

}  // namespace

// ---- Counting ----

int CountTextFileLinesAndBytes(const char* path, uint32_t* lines, uint32_t* bytes) {
  plat::File file;
  if (!OpenTextFileForReadDenyWrite(&file, path)) return 0;
  char piece[kCountPiece];
  uint32_t n = 0;
  uint64_t total = 0;
  for (;;) {
    const int r = ReadPiece(&file, piece, kCountPiece);
    if (r < 0) return 0;
    if (r == 0) break;
    ++n;
    total += std::strlen(piece);
    if (n == UINT32_MAX || total > UINT32_MAX) return 0;
  }
  if (lines) *lines = n;
  if (bytes) *bytes = static_cast<uint32_t>(total);
  return 1;
}

int CountTextFileLines(const char* path, uint32_t* count) {
  return CountTextFileLinesAndBytes(path, count, nullptr);
}

int CountNonBlankLines(const char* path, uint32_t* count) {
  plat::File file;
  if (!OpenTextFileForReadWrite(&file, path)) return 0;
  char piece[kCountPiece];
  uint32_t n = 0;
  for (;;) {
    const int r = ReadPiece(&file, piece, kCountPiece);
    if (r < 0) return 0;
    if (r == 0) break;
    if (*TrimBlanks(piece) != '\0') ++n;
  }
  if (count) *count = n;
  return 1;
}

int32_t GetMaxLineLength(const char* path, int wordNumber) {
  plat::File file;
  if (!OpenTextFileForReadWrite(&file, path)) return 0;
  char piece[kLengthPiece];
  char word[kLengthPiece];
  int32_t longest = 0;
  while (ReadPiece(&file, piece, kLengthPiece) == 1) {
    const char* measured = piece;
    if (wordNumber > 0) measured = GetBlankSeparatedWord(word, piece, wordNumber);
    const int32_t len = static_cast<int32_t>(std::strlen(measured));
    if (len > longest) longest = len;
  }
  return longest;
}

// ---- Sorting and copying ----

int SortTextFileAscending(const char* output, const char* input) {
  return SortTextFile(output, input, 1);
}

int SortTextFileDescending(const char* output, const char* input) {
  return SortTextFile(output, input, -1);
}

void SortWorkMemoryAscending(CWorkMemory* memory, int32_t first, int32_t last) {
  SortLines(memory, first, last, 1);
}

void SortWorkMemoryDescending(CWorkMemory* memory, int32_t first, int32_t last) {
  SortLines(memory, first, last, -1);
}

int CopyTextFileTrimmed(const char* output, const char* input) {
  plat::File in;
  if (!OpenTextFileForReadWrite(&in, input)) return 0;
  if (NamesInput(output, input)) return 0;
  OutputFile out(output);
  if (!out.Create()) return 0;
  if (!CopyPieces(&in, &out, kCopyPiece, 0, true)) return out.Discard();
  return out.Keep();
}

int CopyTextFileSkippingLine(const char* input, const char* output, int32_t lineNumber) {
  plat::File in;
  if (!OpenTextFileForReadWrite(&in, input)) return 0;
  if (NamesInput(output, input)) return 0;
  OutputFile out(output);
  if (!out.Create()) return 0;
  if (!CopyPieces(&in, &out, kSkipPiece, lineNumber, false)) return out.Discard();
  return out.Keep();
}

int ConcatenateTextFiles(const char* output, const char* first, const char* second) {
  if (!FileExists(first) || !FileExists(second)) return 0;
  if (NamesInput(output, first) || NamesInput(output, second)) return 0;
  OutputFile out(output);
  if (!out.Create()) return 0;
  for (const char* input : {first, second}) {
    plat::File in;
    if (!OpenTextFileForReadWrite(&in, input)) return out.Discard();
    if (!CopyPieces(&in, &out, kCopyPiece, 0, false)) return out.Discard();
  }
  return out.Keep();
}

// ---- Labelled values ----

int ReadLabelledDouble(const char* path, const char* label, int n, double* out, double lower,
                       double upper) {
  double value = 0;
  const int code = ReadLabelledNumber(path, label, n, &value, lower, upper);
  if (code == kLabelFound && out) *out = value;
  return code;
}

int ReadLabelledShort(const char* path, const char* label, int n, int16_t* out, int16_t lower,
                      int16_t upper) {
  double value = 0;
  const int code = ReadLabelledNumber(path, label, n, &value, lower, upper);
  if (code == kLabelFound && out) *out = static_cast<int16_t>(value);
  return code;
}

int ReadLabelledInt(const char* path, const char* label, int n, int32_t* out, int32_t lower,
                    int32_t upper) {
  double value = 0;
  const int code = ReadLabelledNumber(path, label, n, &value, lower, upper);
  if (code == kLabelFound && out) *out = static_cast<int32_t>(value);
  return code;
}

int ReadLabelledUInt(const char* path, const char* label, int n, uint32_t* out, uint32_t lower,
                     uint32_t upper) {
  double value = 0;
  const int code = ReadLabelledNumber(path, label, n, &value, lower, upper);
  if (code == kLabelFound && out) *out = static_cast<uint32_t>(value);
  return code;
}

int ReadLabelledColor(const char* path, const char* label, int n, uint32_t* out) {
  char words[3][kLabelPiece];
  const int code = ReadLabelledWords(path, label, n, 3, words);
  if (code != kLabelFound) return code;
  uint32_t color = 0;
  for (int i = 0; i < 3; ++i) {
    int32_t part = 0;
    if (words[i][0] == '\0' || !ParseIntInRange(words[i], &part, 0, 255)) return kLabelBadValue;
    color |= static_cast<uint32_t>(part) << (8 * i);
  }
  if (out) *out = color;
  return kLabelFound;
}

int ReadLabelledText(const char* path, const char* label, int n, char* out, std::size_t outSize) {
  char word[1][kLabelPiece];
  const int code = ReadLabelledWords(path, label, n, 1, word);
  if (code != kLabelFound) return code;
  const std::size_t len = std::strlen(word[0]);
  if (!out || len + 1 > outSize) {
    if (out && outSize > 0) out[0] = '\0';
    return kLabelBadValue;
  }
  std::memcpy(out, word[0], len + 1);
  return kLabelFound;
}

void FormatLabelMessage(char* out, int code, const char* path, const char* label) {
  ClearString(out);
  if (!path) path = "";
  if (!label) label = "";
  switch (code) {
    case kLabelFileError:
      SetMessage(out, kMsgFileOpen, path);
      break;
    case kLabelBadValue:
      SetMessage(out, kBadValueMessage, label, path);
      break;
    case kLabelNotFound:
      SetMessage(out, kNoLabelMessage, label, path);
      break;
    default:
      break;
  }
}
