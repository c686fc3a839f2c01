#pragma once
// Shift-JIS (code page 932) text basics: lead bytes and character stepping,
// byte and character positions, substring editing, character-aware search,
// blank-separated words, trimming and padding, replace-all, byte-order
// comparison and a fixed-size string.
//
// Texts are NUL-terminated CP932 byte strings owned by the caller. A byte in
// 0x81-0x9F or 0xE0-0xFF starts a two-byte character; its second byte is
// taken as it stands. A lead byte directly before the terminating NUL is a
// one-byte character: no function steps over the terminator.
//
// Positions are 1-based byte positions unless a function says "character";
// positions and counts below 1 are refused (neutral result). Searches start
// only at character boundaries, and trailing trims find character starts by
// walking forward from the beginning of the text.
//
// Work-area limits (results that would exceed them are refused: the text
// stays unchanged, an out buffer receives ""):
//   - kSjisWorkArea (1,024): results built by the insert, replace, pad,
//     prepend, append, quote and concatenate helpers must be shorter than
//     1,024 bytes;
//   - kReplaceWorkArea (2,048): ReplaceAll and the functions built on it
//     handle texts and results shorter than 2,048 bytes;
//   - kCountWorkArea (16,384): CountOccurrences handles texts shorter than
//     16,384 bytes (CountOccurrencesAlloc has no limit);
//   - kWordWorkArea (65,536): the blank-separated word functions handle texts
//     shorter than 65,536 bytes;
//   - CFixedString holds texts shorter than 4,096 bytes.
// An in-place function that can lengthen a text needs a caller buffer that
// holds the result; ReplaceAll also has a form that takes the buffer size.

#include <cstddef>
#include <cstdint>

inline constexpr int kSjisWorkArea = 1024;
inline constexpr int kReplaceWorkArea = 2048;
inline constexpr int kCountWorkArea = 16384;
inline constexpr int kWordWorkArea = 65536;
// One row of a text table: search text (256 bytes), replacement (256 bytes)
// and a 4-byte flag word.
inline constexpr int kTextTableRowSize = 516;
inline constexpr int kTextTableFieldSize = 256;

// ---- Lead bytes, characters and positions ----

int IsLeadByte(unsigned char b);            // 1 for 0x81-0x9F and 0xE0-0xFF
int IsPrintableAsciiByte(unsigned char b);  // 1 for 0x20-0x7E
int CountChars(const char* text);
// Counts single-byte and double-byte characters; returns the total.
int CountCharKinds(const char* text, int* singleCount, int* doubleCount);
// 0 empty, 1 single-byte characters only, 2 double-byte only, 3 mixed.
int GetCharWidthClass(const char* text);
// The N-th character (1-based); the text for N <= 1, the NUL when shorter.
const char* GetCharPtr(const char* text, int n);
char* GetCharPtr(char* text, int n);
// Start of the last character; the text itself when empty.
const char* GetLastCharPtr(const char* text);
char* GetLastCharPtr(char* text);
// 1-based byte position of the N-th character; -1 when there is none.
int GetCharBytePos(const char* text, int n);
// Copies the character at byte position pos (1 or 2 bytes) into out (3
// bytes); returns the position of the next character, 0 when that lies
// beyond the text or pos is outside it (out is then "").
int GetCharAt(const char* text, char* out, int pos);
// Copies the N-th character into out (3 bytes); "" when there is none.
char* GetNthChar(char* out, const char* text, int n);
// Leading bytes both texts share; a double-byte character counts only whole.
int CommonPrefixLength(const char* a, const char* b);
// Smallest and largest unsigned byte; 255 and 0 for an empty text.
void GetByteValueRange(const char* text, int* minValue, int* maxValue);

// ---- Editing by position ----

// count bytes from pos (cut at the end); "" when pos is outside or count < 1.
char* CopySubstring(char* out, const char* text, int pos, int count);
char* DeleteSubstring(char* text, int pos, int count);
// Inserts at byte position pos (1 = front, length + 1 = end); other positions
// leave the text unchanged. The caller's buffer must hold the result.
char* InsertAtBytePos(char* text, const char* insert, int pos);
// Replaces the character at pos by the replacement text; null text gives null.
char* ReplaceCharAtBytePos(char* text, int pos, const char* replacement);
char* DeleteCharAtBytePos(char* text, int pos);
int DeleteNthChar(char* text, int n);  // 1 on success
int DeleteFirstChar(char* text);       // 1 also for an empty text
int DeleteLastChar(char* text);
char* RemoveLastChar(char* text);
// Inserts before the N-th character; 0 when N < 1 or there are fewer.
int InsertBeforeNthChar(char* text, int n, const char* insert);
// Puts a one-character text in place of the N-th character; 0 when refused.
int ReplaceNthChar(char* text, int n, const char* newChar);
// head = characters before the N-th, tail = the rest, both trimmed of
// blanks; returns tail. N < 1 gives "" in both. head and tail each need room
// for the text.
char* SplitAtChar(const char* text, int n, char* head, char* tail);
// The same cut at the 1-based byte position N.
char* SplitAtBytePos(const char* text, int n, char* head, char* tail);
char* ReverseChars(char* text);
char* RotateLeftByte(char* text);
char* RotateRightByte(char* text);

// ---- Search (pattern first, text second) ----

// 1-based byte position of the first occurrence, 0 when absent; an empty
// pattern gives 1.
int FindSubstring(const char* pattern, const char* text);
// Searches after the first N bytes; the match's 0-based byte offset in the
// whole text, N - 1 when there is none.
int FindSubstringFrom(const char* pattern, const char* text, int n);
// Searches from byte position pos; the match's 1-based position, 0 if none.
int FindSubstringAt(const char* pattern, const char* text, int pos);
// 1-based character index of the first occurrence, 0 when absent.
int FindCharIndex(const char* pattern, const char* text);
// FindSubstring with the first N bytes of the pattern; 0 when N < 1.
int FindPrefixOf(const char* pattern, const char* text, int n);
// Position of the N-th occurrence; each further search starts one character
// after the start of the previous match, so occurrences may overlap.
int FindNthOccurrence(const char* pattern, const char* text, int n);
// Non-overlapping occurrences; 0 for an empty pattern.
int CountOccurrences(const char* pattern, const char* text);
int CountOccurrencesAlloc(const char* pattern, const char* text);
// Byte-wise (a trail byte counts): whether / how often the byte occurs.
int ContainsByte(unsigned char b, const char* text);
int CountByte(unsigned char b, const char* text);
// head = bytes before the first occurrence, tail = bytes after it; 1 when
// found, else head = the text, tail = "" and 0.
int SplitAtPattern(const char* pattern, const char* text, char* head, char* tail);
const char* PointerAfterPattern(const char* pattern, const char* text);
char* PointerAfterPattern(const char* pattern, char* text);
// The byte after the blank that ends the first word; null when there is none.
const char* SkipFirstWord(const char* text);
char* SkipFirstWord(char* text);

// ---- Blank-separated words (blank = 0x20 only) ----

// The N-th word into out (which needs room for the text); "" when missing.
char* GetBlankSeparatedWord(char* out, const char* text, int n);
int CountBlankSeparatedWords(const char* text);
// start = byte after the previous word (1 for the first word), end = the
// word's last byte; 0 when the word does not exist.
int GetWordBounds(const char* text, int n, int* start, int* end);
char* CopyWord(char* out, const char* text, int n);
char* DropFirstWords(char* text, int n);
char* ReplaceWord(char* text, int n, const char* newWord);
int IsWordEqual(const char* expected, const char* text, int n, int upper);
int IsHelpSwitch(const char* text, int n);

// ---- Trimming, padding and case ----

char* TrimLeftBlanks(char* text);
char* TrimRightBlanks(char* text);
char* TrimBlanks(char* text);
char* RemoveTrailingNewline(char* text);
int IsBlankString(const char* text);
char* RemoveAllBlanks(char* text);  // every "　" and every blank
// Whole repeats of the pattern at the start / end / both; an empty pattern
// leaves the text. The trailing pass removes only repeats that start on a
// character boundary after byte 1.
char* TrimLeadingPattern(const char* pattern, char* text);
char* TrimTrailingPattern(const char* pattern, char* text);
char* TrimPattern(const char* pattern, char* text);
// Removes every character that occurs in the set, from the start / end / both.
char* TrimLeadingChars(const char* charSet, char* text);
char* TrimTrailingChars(const char* charSet, char* text);
char* TrimChars(const char* charSet, char* text);
char* TrimAllBlanks(char* text);  // blank and "　"
char* StripEnclosingQuotes(char* text);
char* StripQuotes(char* text);
char* QuoteText(char* out, const char* text);
char* RemoveLeadingSemicolon(char* text);
char* PadLeftWith(const char* pad, char* text, int width);
char* PadRightWith(const char* pad, char* text, int width);
char* PadLeftWithZeros(char* text, int width);
char* PadLeftWithBlanks(char* text, int width);
char* PadRightWithZeros(char* text, int width);
char* PadRightWithBlanks(char* text, int width);
char* PadLeftWithChar(char* text, char pad, int width);
char* ZeroPadLeft(char* text, int width);
char* ZeroPadLeftByFormat(char* text, int width);
// out = (width - length) copies of the whole pad text + text (or text +
// copies).
char* RepeatPadLeft(char* out, const char* text, int width, const char* pad);
char* RepeatPadRight(char* out, const char* text, int width, const char* pad);
char* PrependText(char* text, const char* prefix);
char* ConcatTexts(char* out, const char* first, const char* second);
char* AppendLine(char* text, const char* line);
char* AppendBackslash(char* path);
char* AppendSlash(char* path);
char* ClearString(char* text);
int IsEmptyString(const char* text);
char* ToUpperAscii(char* text);
unsigned char ToUpperCharByte(unsigned char b);

// ---- Replace ----

// Replaces every occurrence left to right; a replacement is never searched
// again. Texts and results must be shorter than 2,048 bytes; the sized form
// also refuses a result that does not fit textSize bytes (NUL included).
char* ReplaceAll(char* text, const char* search, const char* replacement);
char* ReplaceAll(char* text, const char* search, const char* replacement, std::size_t textSize);
char* ReplaceSuffix(char* text, const char* search, const char* replacement);
char* ReplaceAtChar(char* text, int n, const char* search, const char* replacement);
// ReplaceAll for every row of (search, replacement) pairs in row order (the
// reverse forms swap the columns). All rows or none: a row that would
// exceed the work area leaves the text as it was.
char* ReplaceAllByTable(char* text, const char* const table[][2], int rowCount);
char* ReplaceAllByTableReverse(char* text, const char* const table[][2], int rowCount);
// The same over rows of kTextTableRowSize bytes.
char* ReplaceAllByTextTable(char* text, const void* table, int rowCount);
char* ReplaceAllByTextTableReverse(char* text, const void* table, int rowCount);

// ---- Range tests and fixed-length strings ----

int IsInRangeDouble(double value, double lower, double upper);
int IsInRangeFloat(float value, float lower, float upper);
int IsInRangeUShort(uint16_t value, uint16_t lower, uint16_t upper);
int IsInRangeByte(uint8_t value, uint8_t lower, uint8_t upper);
int32_t MinInt(int32_t a, int32_t b);
// out: 256 bytes, byte 0 = length (at most 255), the text, blanks after it.
char* CToPascalString(const char* text, char* out);
// out: 256 bytes.
char* PascalToCString(const char* pascal, char* out);

// ---- Comparison (unsigned bytes) ----

int CompareStrings(const char* a, const char* b);
int CompareLengthFirst(const char* a, const char* b);
int CompareSuffix(const char* a, const char* b, int n);

// A string object that is one 4,096-byte buffer.
class CFixedString {
 public:
  static constexpr int kSize = 4096;

  CFixedString() { text_[0] = '\0'; }
  // Copied only when it fits; otherwise the object stays empty.
  CFixedString(const char* text);  // NOLINT(google-explicit-constructor)
  CFixedString(const CFixedString& other) = default;
  CFixedString& operator=(const CFixedString& other) = default;
  CFixedString& operator=(const char* text);
  CFixedString& operator=(char ch);

  void Clear() { text_[0] = '\0'; }
  int IsEmpty() const { return text_[0] == '\0' ? 1 : 0; }
  int GetLength() const;
  void Delete(int pos, int count);  // as DeleteSubstring
  void TrimBlanks();
  const char* GetText() const { return text_; }
  char* GetBuffer() { return text_; }

  // A result that does not fit is empty.
  CFixedString operator+(const CFixedString& other) const;
  CFixedString operator+(char ch) const;
  bool operator==(const CFixedString& other) const;
  bool operator==(const char* text) const;

 private:
  char text_[kSize];
};
