#pragma once
// Fields of one line: fetching field N by a separator text, with or without
// double-quote handling and CSV doubled-quote escapes, typed getters, the
// comma-record field replacer and typed setters, row formatters, fixed-width
// record helpers and the template filler. Fields are numbered from 1.
//
// Out buffers belong to the caller and need room for the result: a field
// is never longer than its text. Functions that work on a copy of the text
// (kCsvWorkArea, 65,536 bytes) give "" (or leave an in-place text
// unchanged) for texts or results of that size or more.

#include <cstdint>

inline constexpr int kCsvWorkArea = 65536;

// ---- Fields by separator ----

// The N-th field of the text cut at each occurrence of the separator text
// (a whole string; empty fields kept; the part after the last separator is
// the last field). "" beyond the last field or for N < 1. An empty
// separator leaves the whole text as field 1.
char* GetDelimitedField(char* out, const char* text, const char* separator, int n);
// The field, trimmed, through the matching range-checked parser.
int GetDelimitedFieldDouble(const char* text, const char* separator, int n, double* out,
                            double lower, double upper);
int GetDelimitedFieldInt(const char* text, const char* separator, int n, int32_t* out,
                         int32_t lower, int32_t upper);
int GetDelimitedFieldUShort(const char* text, const char* separator, int n, uint16_t* out,
                            uint16_t lower, uint16_t upper);
int GetDelimitedFieldShort(const char* text, const char* separator, int n, int16_t* out,
                           int16_t lower, int16_t upper);
int GetDelimitedFieldUInt(const char* text, const char* separator, int n, uint32_t* out,
                          uint32_t lower, uint32_t upper);

// GetDelimitedField with ",".
char* ExtractCsvField(char* out, const char* record, int n);
// 1 when field N is empty (also when it does not exist).
int IsCsvFieldEmpty(const char* record, int n);

// ---- Quoted words and fields ----

// The N-th blank-separated word of the trimmed text, where a word that
// begins with a double quote runs to the next double quote and may hold
// blanks (quotes not kept, flag 1). A skipped word that opens a quote
// without closing it loses only the quote, and the rest is read on as
// further words. "" when there are fewer words; N < 1 gives "" and leaves
// the flag untouched.
char* GetQuotedWord(char* out, const char* text, int n, int32_t* quoted);
// In place: the text from the N-th word (as GetQuotedWord counts) on,
// trimmed.
char* DropQuotedWords(char* text, int n);
// The N-th field of a text cut at a one-byte separator (the first byte of
// `separator`), where a field that begins with a double quote runs to the
// next double quote (flag 1) and the byte after that quote is taken as its
// separator. With the separator '"' this is GetDelimitedField.
char* GetQuotedField(char* out, const char* text, const char* separator, int n, int32_t* quoted);
// The N-th comma field with CSV quoting: a quoted field ends at a single
// double quote, a pair of double quotes in it stands for one; the comma
// after the closing quote ends the field (bytes between them are dropped).
// An unterminated quoted field gives everything after the opening quote.
// "" for an empty record, N < 1 or a record with fewer fields.
char* GetQuotedCsvField(char* out, const char* record, int n);
// The same through a 64 KB work copy.
char* GetQuotedCsvFieldCopy(char* out, const char* record, int n);
// Compares the listed fields in order (GetQuotedCsvFieldCopy and
// CompareStrings); the first non-zero result, else 0.
int CompareCsvRecords(const char* a, const char* b, int count, const int32_t* fields);
// The text between the (2N - 1)-th and the 2N-th "@" (Shift-JIS aware: a
// trail byte 0x40 is not an "@"). 1 when found, else 0 and out = "".
int GetAtEnclosedItem(char* out, const char* text, int n);
// head = the bytes before the first blank; tail = the text from the blank's
// position + strlen(skip) on (cut at the end). No blank: head = the text,
// tail = "". 1 when a blank was found.
int SplitAtFirstBlank(const char* text, const char* skip, char* head, char* tail);

// ---- Editing a comma record ----

// The record with field N replaced by the value: N = k + 1 (k separators)
// replaces the last field, N > k + 1 adds the missing empty fields,
// N < 1 gives the record unchanged.
char* ReplaceCsvField(char* out, const char* record, const char* value, int n);
// The same in place (the caller's buffer must hold the result).
char* ReplaceCsvFieldInPlace(char* record, const char* value, int n);
char* ReplaceDelimitedField(char* out, const char* record, const char* value, const char* separator,
                            int n);
// The value written with "%d" (or FormatFloat / FormatDouble), then
// ReplaceCsvFieldInPlace. Return the record.
char* SetCsvFieldUShort(char* record, uint16_t value, int n);
char* SetCsvFieldShort(char* record, int16_t value, int n);
char* SetCsvFieldInt(char* record, int32_t value, int n);
char* SetCsvFieldUInt(char* record, uint32_t value, int n);
char* SetCsvFieldFloat(char* record, float value, int n, int width, int precision);
char* SetCsvFieldDouble(char* record, double value, int n, int width, int precision);
// record + "," + value, in place.
char* AppendCsvField(char* record, const char* value);

// ---- Row formatters ----

char* JoinCsv2(char* out, const char* a, const char* b);
char* JoinCsv3(char* out, const char* a, const char* b, const char* c);
char* JoinCsv4(char* out, const char* a, const char* b, const char* c, const char* d);
char* JoinCsv5(char* out, const char* a, const char* b, const char* c, const char* d,
               const char* e);
char* JoinCsv6(char* out, const char* a, const char* b, const char* c, const char* d, const char* e,
               const char* f);
char* JoinCsv7(char* out, const char* a, const char* b, const char* c, const char* d, const char* e,
               const char* f, const char* g);
char* FormatCsvInts1(char* out, int32_t a);
char* FormatCsvInts2(char* out, int32_t a, int32_t b);
char* FormatCsvInts3(char* out, int32_t a, int32_t b, int32_t c);
char* FormatCsvInts4(char* out, int32_t a, int32_t b, int32_t c, int32_t d);
char* FormatCsvInts5(char* out, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e);
char* FormatCsvInts6(char* out, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f);
char* FormatCsvInts7(char* out, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f,
                     int32_t g);
char* CopyText(char* out, const char* text);

// Fields first..first + count - 1 as int32 (-2147483647..2147483647) into
// values[0..count - 1]. Stops at the first field that fails and returns its
// 0-based index; count when all succeed; -1 for a null record or array,
// first < 1 or count < 1.
int ParseCsvIntFields(const char* record, int first, int count, int32_t* values);
// The same, a failing field gets the default; returns count (-1 as above).
int ParseCsvIntFieldsWithDefault(const char* record, int first, int count, int32_t* values,
                                 int32_t defaultValue);

// ---- Fixed-width records and field lists (split at a separator set) ----

// Each of the first count fields left-padded with the pad byte to its
// width and concatenated. 0 (out = "") when count < 1 or a field is longer
// than its width.
int ComposeFixedWidthRecord(char* out, const char* text, const char* separator, char pad,
                            const int32_t* widths, int count);
// Consecutive pieces of the given byte widths joined with the separator,
// trailing separators removed; "" when count < 1 or the text is empty.
char* SplitFixedWidthRecord(char* out, const char* text, const char* separator,
                            const int32_t* widths, int count);
// Every field with leading repeats of the pad text removed, joined with the
// separator, trailing separators removed.
char* StripFieldPadding(char* out, const char* text, const char* separator, const char* pad);
// 1-based number of the first field equal to the item; 0 when none; -1 for
// a null argument.
int FindFieldIndex(const char* list, const char* item, const char* separator);
// The fields of A then B, each added only when not yet in out, joined with
// the separator.
char* MergeFieldLists(char* out, const char* separator, const char* a, const char* b);

// ---- Template filler ----

// Splits the values with CBlankFieldList and reads the trimmed template as
// placeholders "%" + field number, each but the last followed by exactly
// one literal character: writes each field ("" when out of range) and its
// literal. A number that does not parse ends the filling. A template that
// is empty or holds no "%" gives "".
char* FillTemplate(char* out, const char* values, const char* templateText);

// The number parsers of common/number_parse.h on the N-th word with double-quote handling
// (GetQuotedWord: a word that begins with a double quote runs to the next
// one and may hold blanks).
int ParseQuotedWordDoubleInRange(const char* text, int n, double* out, double lower, double upper);
int ParseQuotedWordIntInRange(const char* text, int n, int32_t* out, int32_t lower, int32_t upper);
int ParseQuotedWordUShortInRange(const char* text, int n, uint16_t* out, uint16_t lower,
                                 uint16_t upper);
int ParseQuotedWordShortInRange(const char* text, int n, int16_t* out, int16_t lower,
                                int16_t upper);
int ParseQuotedWordUIntInRange(const char* text, int n, uint32_t* out, uint32_t lower,
                               uint32_t upper);
