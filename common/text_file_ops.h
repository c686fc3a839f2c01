#pragma once
// Whole-file operations on line-oriented Shift-JIS text files: counting
// lines, sorting the lines of a file into another, copying with changes,
// concatenating, and reading labelled values from a configuration text.
//
// Lines are read in pieces of a fixed size per operation (4,096, 1,024,
// 8,192 or 512 bytes, the line feed not counted); a longer line arrives as
// several pieces, each counted and handled as a line of its own. Lines are
// written as the text and a line feed (text mode).
//
// An operation that writes an output file leaves what the output path
// named before when a later step fails: a file it made is removed again,
// and an earlier file is replaced only when the new content is complete
// (it is written aside first), so that a failed operation never leaves a
// partly written result. An output path that names one of the inputs (IsSamePath, or
// another spelling of the same file on disk) is refused before anything is
// created; inputs are never changed.

#include <cstddef>
#include <cstdint>

class CWorkMemory;

// ---- Counting (0 when the file does not open or a read fails) ----

// Pieces of 4,096 bytes.
int CountTextFileLines(const char* path, uint32_t* count);
// The same, and the sum of the pieces' lengths without line feeds.
int CountTextFileLinesAndBytes(const char* path, uint32_t* lines, uint32_t* bytes);
// Pieces of 4,096 bytes that are not empty after trimming blanks.
int CountNonBlankLines(const char* path, uint32_t* count);
// The greatest length of a line (pieces of 8,192 bytes) or, for a word
// number N > 0, of the N-th blank-separated word of each line; 0 when the
// file does not open.
int32_t GetMaxLineLength(const char* path, int wordNumber);

// ---- Sorting and copying (1 on success, 0 on failure) ----

// The lines of the input (pieces of 4,096 bytes) in ascending / descending
// CompareStrings order (unsigned bytes, a prefix before the longer text).
// The order of equal lines follows the quicksort below. An empty input
// gives an empty output.
int SortTextFileAscending(const char* output, const char* input);
int SortTextFileDescending(const char* output, const char* input);
// Quicksort of the strings of entries first..last (entry numbers): the
// strings are exchanged between the entries (SwapStrings); links and
// caller fields stay. Not stable.
void SortWorkMemoryAscending(CWorkMemory* memory, int32_t first, int32_t last);
void SortWorkMemoryDescending(CWorkMemory* memory, int32_t first, int32_t last);
// Every line of the input (pieces of 4,096 bytes) with blanks trimmed at
// both ends.
int CopyTextFileTrimmed(const char* output, const char* input);
// Every line except the N-th (1-based; pieces of 1,024 bytes counted as
// lines); N = 0 copies every line.
int CopyTextFileSkippingLine(const char* input, const char* output, int32_t lineNumber);
// The lines of the first input, then those of the second (pieces of 4,096
// bytes).
int ConcatenateTextFiles(const char* output, const char* first, const char* second);

// ---- Labelled values ----
//
// Each line of the file is a run of blank-separated words: the first is the
// label, the words after it are the values 1, 2, 3 ... The first line (read
// in pieces of 512 bytes) whose label, with ASCII letters made upper case,
// equals the label as given counts; labels are therefore passed in upper
// case. The value N is word N + 1 of that line. Results:

enum : int {
  kLabelFound = 0,      // value found and valid
  kLabelFileError = 1,  // the file does not open
  kLabelBadValue = 2,   // the value word is missing or out of range
  kLabelNotFound = 3,   // no line carries the label
};

// A value within lower..upper (ParseDoubleInRange). The out value is set
// only for kLabelFound.
int ReadLabelledDouble(const char* path, const char* label, int n, double* out, double lower,
                       double upper);
// The same, then truncated toward zero.
int ReadLabelledShort(const char* path, const char* label, int n, int16_t* out, int16_t lower,
                      int16_t upper);
int ReadLabelledInt(const char* path, const char* label, int n, int32_t* out, int32_t lower,
                    int32_t upper);
int ReadLabelledUInt(const char* path, const char* label, int n, uint32_t* out, uint32_t lower,
                     uint32_t upper);
// Words N + 1, N + 2 and N + 3, each an integer 0..255 (ParseIntInRange):
// out = first + second x 256 + third x 65536.
int ReadLabelledColor(const char* path, const char* label, int n, uint32_t* out);
// Word N + 1 into the out text (outSize bytes, NUL included); empty when the
// line has fewer words. A word that does not fit is kLabelBadValue.
int ReadLabelledText(const char* path, const char* label, int n, char* out, std::size_t outSize);
// The message of a result code into out (a message buffer), replacing what
// was there: nothing for kLabelFound, "ファイルオープンエラー!(%s)" with the
// path, "ラベル(%s)で定義した値が範囲外です！ (%s)" or "ラベル(%s)がみつかりません！ (%s)"
// with the label and the path.
void FormatLabelMessage(char* out, int code, const char* path, const char* label);
