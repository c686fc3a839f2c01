#include "common/tokenizer.h"

#include <cstdio>
#include <cstring>

#include "common/number_parse.h"
#include "common/sjis_internal.h"
#include "common/sjis_text.h"

using sjis_internal::CharLen;

CTokenizer::CTokenizer() { Reset(); }

CTokenizer::~CTokenizer() { Reset(); }

void CTokenizer::Reset() {
  set_ = 0;
  mode_ = 0;
  text_[0] = '\0';
  delimiter_[0] = '\0';
  work_[0] = '\0';
  cursor_ = 0;
  located_ = 0;
  lastField_ = 0;
  textLength_ = 0;
  delimiterLength_ = 0;
}

int CTokenizer::Set(const char* text, const char* delimiter, int32_t mode) {
  if (!text || !delimiter) return 0;
  const std::size_t textLength = strnlen(text, kTextSize);
  const std::size_t delimiterLength = strnlen(delimiter, kMaxDelimiter + 1);
  if (textLength >= static_cast<std::size_t>(kTextSize)) return 0;
  if (delimiterLength == 0 || delimiterLength > static_cast<std::size_t>(kMaxDelimiter)) return 0;
  // The sources may be this object's own buffers.
  std::memmove(text_, text, textLength + 1);
  std::memmove(delimiter_, delimiter, delimiterLength + 1);
  textLength_ = static_cast<int32_t>(textLength);
  delimiterLength_ = static_cast<int32_t>(delimiterLength);
  mode_ = mode;
  cursor_ = 0;
  located_ = 0;
  lastField_ = 0;
  set_ = 1;
  return 1;
}

int CTokenizer::SetCommaText(const char* text) { return Set(text, ",", 0); }

int CTokenizer::SetBlankText(const char* text) { return Set(text, " ", 1); }

int CTokenizer::ResetText(const char* text) {
  if (!set_) return 0;
  return Set(text, delimiter_, mode_);
}

void CTokenizer::Assign(const CTokenizer& other) {
  if (!other.set_) return;
  Set(other.text_, other.delimiter_, other.mode_);
}

int CTokenizer::GetText(char* out) const {
  if (!out || !set_) return 0;
  std::memcpy(out, text_, static_cast<std::size_t>(textLength_) + 1);
  return 1;
}

int CTokenizer::GetDelimiter(char* out) const {
  if (!out || !set_) return 0;
  std::memcpy(out, delimiter_, static_cast<std::size_t>(delimiterLength_) + 1);
  return 1;
}

int32_t CTokenizer::GetLength() const { return set_ ? textLength_ : 0; }

int32_t CTokenizer::GetDelimiterLength() const { return set_ ? delimiterLength_ : 0; }

int CTokenizer::EqualsText(const char* text) const {
  return set_ && text && std::strcmp(text_, text) == 0 ? 1 : 0;
}

int CTokenizer::Equals(const CTokenizer& other) const {
  return set_ && other.set_ && std::strcmp(text_, other.text_) == 0 ? 1 : 0;
}

// ---- Parsing ----

bool CTokenizer::DelimiterAt(int pos) const {
  // strncmp stops at the text's NUL, so nothing beyond the text is read.
  return std::strncmp(text_ + pos, delimiter_, static_cast<std::size_t>(delimiterLength_)) == 0;
}

int CTokenizer::ParseNext() {
  if (!set_ || located_ >= kMaxFields) return 0;
  const int n = located_ + 1;
  const int start = cursor_;
  const bool quoted = text_[start] == '"';
  int previous = cursor_;
  int cur = cursor_;
  while (text_[cur] != '\0') {
    if (DelimiterAt(cur) && (!quoted || text_[previous] == '"')) {
      fieldStart_[n] = start;
      fieldLength_[n] = cur - start;
      cur += delimiterLength_;
      if (mode_ == 1) {
        while (text_[cur] != '\0' && DelimiterAt(cur)) cur += delimiterLength_;
      }
      cursor_ = cur;
      located_ = n;
      return n;
    }
    previous = cur;
    cur += CharLen(text_ + cur);
  }
  cursor_ = cur;
  if (lastField_ != 0) return 0;
  fieldStart_[n] = start;
  fieldLength_[n] = cur - start;
  located_ = n;
  lastField_ = n;
  return n;
}

int CTokenizer::ParseUpTo(int n) {
  if (n <= 0) return 0;
  if (located_ >= n) return 1;
  if (n > kMaxFields) return 0;
  for (;;) {
    const int got = ParseNext();
    if (got == n) return 1;
    if (got == 0) return 0;
  }
}

void CTokenizer::ParseAll() {
  while (ParseNext() != 0) {
  }
}

int CTokenizer::SeekField(int n) {
  if (!ParseUpTo(n)) return 0;
  located_ = n - 1;
  lastField_ = 0;
  cursor_ = fieldStart_[n];
  return 1;
}

int CTokenizer::GetFieldCount() {
  if (!set_ || textLength_ == 0) return 0;
  if (lastField_ == 0) ParseAll();
  return lastField_;
}

// ---- Reading fields ----

int CTokenizer::GetField(char* out, int n) {
  if (!out || !ParseUpTo(n)) return 0;
  std::memmove(out, text_ + fieldStart_[n], static_cast<std::size_t>(fieldLength_[n]));
  out[fieldLength_[n]] = '\0';
  return 1;
}

int CTokenizer::GetRest(char* out, int n) {
  if (!out || !ParseUpTo(n)) return 0;
  std::memmove(out, text_ + fieldStart_[n],
               static_cast<std::size_t>(textLength_ - fieldStart_[n]) + 1);
  return 1;
}

int CTokenizer::GetFieldUnquoted(char* out, int n) {
  if (!GetField(out, n)) return 0;
  StripEnclosingQuotes(out);
  return 1;
}

int CTokenizer::ReadWork(int n, bool unquoted) {
  return unquoted ? GetFieldUnquoted(work_, n) : GetField(work_, n);
}

int CTokenizer::GetFieldInt(int32_t* out, int n) {
  return out && ReadWork(n, false) && ParseIntInRange(work_, out, -2147483647, 2147483647);
}
int CTokenizer::GetFieldShort(int16_t* out, int n) {
  return out && ReadWork(n, false) && ParseShortInRange(work_, out, -32768, 32767);
}
int CTokenizer::GetFieldDouble(double* out, int n) {
  return out && ReadWork(n, false) && ParseDoubleInRange(work_, out, -1.7e308, 1.7e308);
}
int CTokenizer::GetFieldUShort(uint16_t* out, int n) {
  return out && ReadWork(n, false) && ParseUShortInRange(work_, out, 0, 65535);
}
int CTokenizer::GetFieldUInt(uint32_t* out, int n) {
  return out && ReadWork(n, false) && ParseUIntInRange(work_, out, 0, 4294967295u);
}
int CTokenizer::GetUnquotedInt(int32_t* out, int n) {
  return out && ReadWork(n, true) && ParseIntInRange(work_, out, -2147483647, 2147483647);
}
int CTokenizer::GetUnquotedShort(int16_t* out, int n) {
  return out && ReadWork(n, true) && ParseShortInRange(work_, out, -32768, 32767);
}
int CTokenizer::GetUnquotedDouble(double* out, int n) {
  return out && ReadWork(n, true) && ParseDoubleInRange(work_, out, -1.7e308, 1.7e308);
}
int CTokenizer::GetUnquotedUShort(uint16_t* out, int n) {
  return out && ReadWork(n, true) && ParseUShortInRange(work_, out, 0, 65535);
}
int CTokenizer::GetUnquotedUInt(uint32_t* out, int n) {
  return out && ReadWork(n, true) && ParseUIntInRange(work_, out, 0, 4294967295u);
}

int CTokenizer::IsFieldEmpty(int n) { return ParseUpTo(n) && fieldLength_[n] == 0 ? 1 : 0; }

int CTokenizer::IsUnquotedFieldEmpty(int n) {
  return ReadWork(n, true) && work_[0] == '\0' ? 1 : 0;
}

// ---- Editing ----

bool CTokenizer::Splice(int from, int to, const char* insert, int insertLength) {
  const int newLength = textLength_ - (to - from) + insertLength;
  if (newLength >= kTextSize) return false;
  // Built apart first: the inserted text may lie in this object's buffers.
  char result[kTextSize];
  std::memcpy(result, text_, static_cast<std::size_t>(from));
  std::memcpy(result + from, insert, static_cast<std::size_t>(insertLength));
  std::memcpy(result + from + insertLength, text_ + to,
              static_cast<std::size_t>(textLength_ - to) + 1);
  std::memcpy(text_, result, static_cast<std::size_t>(newLength) + 1);
  textLength_ = newLength;
  return true;
}

int CTokenizer::SetField(const char* text, int n) {
  if (!text || !set_) return 0;
  const std::size_t length = strnlen(text, kTextSize);
  if (mode_ == 1 && length == 0) return 0;
  if (length >= static_cast<std::size_t>(kTextSize) || !ParseUpTo(n)) return 0;
  if (!Splice(fieldStart_[n], fieldStart_[n] + fieldLength_[n], text, static_cast<int>(length)))
    return 0;
  return SeekField(n);
}

int CTokenizer::SetFieldInt(int32_t value, int n) {
  std::snprintf(work_, sizeof work_, "%d", value);
  return SetField(work_, n);
}

int CTokenizer::SetFieldShort(int16_t value, int n) {
  std::snprintf(work_, sizeof work_, "%d", static_cast<int>(value));
  return SetField(work_, n);
}

int CTokenizer::SetFieldUShort(uint16_t value, int n) {
  std::snprintf(work_, sizeof work_, "%d", static_cast<int>(value));
  return SetField(work_, n);
}

int CTokenizer::SetFieldLong(int32_t value, int n) {
  std::snprintf(work_, sizeof work_, "%ld", static_cast<long>(value));
  return SetField(work_, n);
}

int CTokenizer::SetFieldDouble(double value, int n, int decimals) {
  if (decimals < 0) return 0;
  char format[32];
  std::snprintf(format, sizeof format, "%%.%dlf", decimals);
  const int written = std::snprintf(work_, sizeof work_, format, value);
  if (written < 0 || written >= kTextSize) return 0;
  return SetField(work_, n);
}

int CTokenizer::AppendField(const char* text) {
  if (!text || !set_) return 0;
  const std::size_t length = strnlen(text, kTextSize);
  if (length >= static_cast<std::size_t>(kTextSize)) return 0;
  if (mode_ == 1) {
    if (length == 0) return 0;
    if (textLength_ >= delimiterLength_ && DelimiterAt(textLength_ - delimiterLength_)) return 0;
  }
  if (textLength_ + delimiterLength_ + static_cast<int>(length) >= kTextSize) return 0;
  char piece[kTextSize + kMaxDelimiter];
  std::memcpy(piece, delimiter_, static_cast<std::size_t>(delimiterLength_));
  std::memcpy(piece + delimiterLength_, text, length);
  const int oldLength = textLength_;
  Splice(oldLength, oldLength, piece, delimiterLength_ + static_cast<int>(length));
  if (lastField_ != 0) {
    // The old last field was located: go on with the appended one.
    cursor_ = oldLength + delimiterLength_;
    lastField_ = 0;
  }
  return 1;
}

int CTokenizer::AppendTokenizer(const CTokenizer& other) {
  if (!other.set_) return 0;
  return AppendField(other.text_);
}

int CTokenizer::InsertField(int n, const char* text) {
  if (!text || !set_) return 0;
  const std::size_t length = strnlen(text, kTextSize);
  if (mode_ == 1 && length == 0) return 0;
  if (length >= static_cast<std::size_t>(kTextSize)) return 0;
  if (n >= 1 && ParseUpTo(n)) {
    char piece[kTextSize + kMaxDelimiter];
    std::memcpy(piece, text, length);
    std::memcpy(piece + length, delimiter_, static_cast<std::size_t>(delimiterLength_));
    if (!Splice(fieldStart_[n], fieldStart_[n], piece, static_cast<int>(length) + delimiterLength_))
      return 0;
    return SeekField(n);
  }
  if (n >= 1 && n == GetFieldCount() + 1) return AppendField(text);
  return 0;
}

int CTokenizer::DeleteField(int n) {
  if (!ParseUpTo(n)) return 0;
  const int start = fieldStart_[n];
  if (lastField_ != n) {
    // A field follows (past the 512th it begins at the cursor): it moves
    // into place n.
    const int next = ParseUpTo(n + 1) ? fieldStart_[n + 1] : cursor_;
    Splice(start, next, "", 0);
    located_ = n - 1;
    lastField_ = 0;
    cursor_ = start;
    return 1;
  }
  if (n == 1) {
    Splice(0, textLength_, "", 0);
    located_ = 0;
    lastField_ = 0;
    cursor_ = 0;
    return 1;
  }
  // Cut at the end of field n - 1, with the delimiters behind it.
  const int cut = fieldStart_[n - 1] + fieldLength_[n - 1];
  Splice(cut, textLength_, "", 0);
  located_ = n - 1;
  lastField_ = n - 1;
  cursor_ = cut;
  return 1;
}

int CTokenizer::SwapFields(int a, int b) {
  char fieldA[kTextSize];
  char fieldB[kTextSize];
  if (!GetField(fieldA, a) || !GetField(fieldB, b)) return 0;
  if (mode_ == 1 && (fieldA[0] == '\0' || fieldB[0] == '\0')) return 0;
  char saved[kTextSize];
  std::memcpy(saved, text_, static_cast<std::size_t>(textLength_) + 1);
  if (SetField(fieldB, a) && SetField(fieldA, b)) return 1;
  ResetText(saved);
  return 0;
}

void CTokenizer::TrimText() {
  if (!set_) return;
  TrimBlanks(text_);
  const int32_t length = static_cast<int32_t>(std::strlen(text_));
  if (length == textLength_) return;
  textLength_ = length;
  located_ = 0;
  lastField_ = 0;
  cursor_ = 0;
  SeekField(1);
}

CTokenizer CTokenizer::Concat(const CTokenizer& other) const {
  CTokenizer result;
  result.Assign(*this);
  result.AppendTokenizer(other);
  return result;
}

CTokenizer CTokenizer::ConcatText(const char* text) const {
  CTokenizer result;
  result.Assign(*this);
  result.AppendText(text);
  return result;
}
