#pragma once
// Two fixed-size field splitters that need no heap: CSeparatorSplitter cuts
// a text at every character of a separator set (no quoting, empty fields
// kept), CBlankFieldList cuts a trimmed text at blanks and understands
// double-quoted fields. Both copy the text, so the caller's text may change
// after Split. Fields are numbered from 1.
//
// Limits: texts of 65,536 bytes or more are refused (Split returns 0 and
// the object is empty); CSeparatorSplitter records at most 32,768
// separators (more: refused the same way); CBlankFieldList keeps the first
// 1,024 fields (Split returns 0 when it had to drop some). Positions are
// 32-bit, so every field of an accepted text is reachable.
//
// Both objects are large (about 192 KB and 76 KB): keep them off small
// thread stacks.

#include <cstdint>
#include <string>

class CSeparatorSplitter {
 public:
  static constexpr int kTextSize = 65536;
  static constexpr int kMaxSeparators = 32768;

  CSeparatorSplitter() { Clear(); }
  void Clear();

  // Copies the text and records the 1-based position of every character
  // that occurs in `separators` (double-byte characters compared whole).
  // 1 when split, 0 when refused (null or over-long text, too many
  // separators); a refused split leaves the object empty.
  int Split(const char* text, const char* separators);

  // Copies field N into out (which needs room for the text); "" for N
  // outside 1..count + 1. Returns out.
  char* GetField(char* out, int n) const;
  // Field N through the range-checked parsers; 1 on success.
  int GetDouble(double* out, int n, double lower, double upper) const;
  int GetInt(int32_t* out, int n, int32_t lower, int32_t upper) const;
  int GetShort(int16_t* out, int n, int16_t lower, int16_t upper) const;

  int GetSeparatorCount() const { return separatorCount_; }

 private:
  // Byte range [begin, end) of field N; false when there is none.
  bool FieldRange(int n, int* begin, int* end) const;
  std::string FieldString(int n) const;

  uint32_t skipWidth_;
  int32_t separatorCount_;
  char text_[kTextSize];
  int32_t positions_[kMaxSeparators];
};

class CBlankFieldList {
 public:
  static constexpr int kTextSize = 65536;
  static constexpr int kMaxFields = 1024;

  CBlankFieldList() { Clear(); }
  void Clear();

  // Trims the text (blanks only) and cuts it into fields: a field that
  // begins with a double quote runs to the next double quote (the quotes
  // are not part of it, blanks inside are), any other field to the next
  // blank; runs of blanks separate once; a field right after a closing
  // quote starts a new field. A quoted field without its closing quote is
  // dropped. An empty text gives one empty field. 1 when split, 0 when the
  // text was refused or fields beyond the 1,024th were dropped.
  int Split(const char* text);

  int GetCount() const { return count_; }
  // Field N for 1 <= N <= count, else "". out needs room for the text.
  char* GetField(char* out, int n) const;
  // GetField and the field's quoted flag (untouched when N is out of range).
  char* GetFieldQuoted(char* out, int n, int32_t* quoted) const;

  int GetDouble(double* out, int n, double lower, double upper) const;
  int GetInt(int32_t* out, int n, int32_t lower, int32_t upper) const;
  int GetShort(int16_t* out, int n, int16_t lower, int16_t upper) const;
  int GetUShort(uint16_t* out, int n, uint16_t lower, uint16_t upper) const;
  int GetUInt(uint32_t* out, int n, uint32_t lower, uint32_t upper) const;
  int GetByte(uint8_t* out, int n, uint8_t lower, uint8_t upper) const;

 private:
  bool AddField(int start, int length, int quoted);
  std::string FieldString(int n) const;
  template <typename T, typename Parse>
  int GetTyped(T* out, int n, T lower, T upper, Parse parse) const;

  int32_t count_;
  char text_[kTextSize];
  int32_t starts_[kMaxFields];
  int32_t lengths_[kMaxFields];
  int32_t quoted_[kMaxFields];
};
