#pragma once
// CTokenizer: one line of Shift-JIS text cut into numbered fields at a
// delimiter, located lazily and remembered; typed field getters with range
// checks; field editing.
//
// The line is shorter than 4,096 bytes, the delimiter 1 to 64 bytes. Fields
// are numbered from 1; at most 512 can be located. Mode 0: every delimiter
// separates two fields; mode 1: a run of adjacent delimiters counts as one
// (so an empty field cannot be written in mode 1). A field that begins with
// a double quote ends only at a delimiter that follows a double quote; the
// quotes stay part of the field (GetFieldUnquoted removes one pair). A
// delimiter byte inside a double-byte character never separates.
//
// Everything lives in the object (no heap); field positions are offsets into
// its own text, so a copy reads correctly on its own. Out buffers of the
// text and field getters must hold kTextSize bytes. All operations return 1
// for success and 0 for failure unless said otherwise; a failed edit leaves
// the text and the parse state unchanged.

#include <cstdint>

class CTokenizer {
 public:
  static constexpr int kTextSize = 4096;
  static constexpr int kMaxDelimiter = 64;
  static constexpr int kMaxFields = 512;

  CTokenizer();
  ~CTokenizer();

  // ---- The whole line ----
  void Reset();
  int Set(const char* text, const char* delimiter, int32_t mode);
  int SetCommaText(const char* text);  // delimiter ",", mode 0
  int SetBlankText(const char* text);  // delimiter " ", mode 1
  int ResetText(const char* text);     // current delimiter and mode
  void Assign(const CTokenizer& other);
  const char* GetTextPtr() const { return text_; }
  int GetText(char* out) const;
  int GetDelimiter(char* out) const;
  int32_t GetLength() const;
  int32_t GetDelimiterLength() const;
  int32_t GetMode() const { return mode_; }
  int IsTextEmpty() const { return text_[0] == '\0' ? 1 : 0; }
  int EqualsText(const char* text) const;
  int Equals(const CTokenizer& other) const;

  // ---- Fields ----
  int GetField(char* out, int n);
  int GetRest(char* out, int n);  // field n and everything behind it
  int GetFieldUnquoted(char* out, int n);
  int GetFieldInt(int32_t* out, int n);  // -2147483647..2147483647
  int GetFieldShort(int16_t* out, int n);
  int GetFieldDouble(double* out, int n);  // -1.7e308..1.7e308
  int GetFieldUShort(uint16_t* out, int n);
  int GetFieldUInt(uint32_t* out, int n);
  int GetUnquotedInt(int32_t* out, int n);
  int GetUnquotedShort(int16_t* out, int n);
  int GetUnquotedDouble(double* out, int n);
  int GetUnquotedUShort(uint16_t* out, int n);
  int GetUnquotedUInt(uint32_t* out, int n);
  int IsFieldEmpty(int n);
  int IsUnquotedFieldEmpty(int n);
  // 0 without text and for the empty text; otherwise the number of fields
  // (a text that ends in a delimiter has a final empty field).
  int GetFieldCount();

  // ---- Parse control ----
  int ParseNext();  // number of the field located, 0 when none is left
  int ParseUpTo(int n);
  void ParseAll();
  int SeekField(int n);

  // ---- Editing (results must stay shorter than kTextSize bytes) ----
  int SetField(const char* text, int n);
  int SetFieldInt(int32_t value, int n);
  int SetFieldShort(int16_t value, int n);
  int SetFieldUShort(uint16_t value, int n);
  int SetFieldLong(int32_t value, int n);
  int SetFieldDouble(double value, int n, int decimals);
  int AppendField(const char* text);
  int AppendText(const char* text) { return AppendField(text); }
  int AppendTokenizer(const CTokenizer& other);
  int InsertField(int n, const char* text);
  int DeleteField(int n);
  int SwapFields(int a, int b);
  void TrimText();

  CTokenizer Concat(const CTokenizer& other) const;
  CTokenizer ConcatText(const char* text) const;

 private:
  int ReadWork(int n, bool unquoted);
  bool DelimiterAt(int pos) const;
  // Replaces the bytes [from, to) of the text by `insert`; false when the
  // result would not fit.
  bool Splice(int from, int to, const char* insert, int insertLength);

  int32_t set_ = 0;
  int32_t mode_ = 0;
  char text_[kTextSize];
  char delimiter_[kMaxDelimiter + 1];
  int32_t cursor_ = 0;
  int32_t fieldStart_[kMaxFields + 1];
  char work_[kTextSize];
  int32_t fieldLength_[kMaxFields + 1];
  int32_t located_ = 0;
  int32_t lastField_ = 0;
  int32_t textLength_ = 0;
  int32_t delimiterLength_ = 0;
};
