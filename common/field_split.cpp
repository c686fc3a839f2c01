#include "common/field_split.h"

#include <cstring>
#include <string>

#include "common/number_parse.h"
#include "common/sjis_internal.h"
#include "common/sjis_text.h"

using sjis_internal::CharLen;
using sjis_internal::FindByteChar;

namespace {

// Whether the character at p (of length len) is one of the set's characters.
bool IsInCharSet(const char* p, int len, const char* set) {
  for (const char* s = set; *s;) {
    const int sl = CharLen(s);
    if (sl == len && std::memcmp(s, p, static_cast<std::size_t>(len)) == 0) return true;
    s += sl;
  }
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// CSeparatorSplitter

void CSeparatorSplitter::Clear() {
  skipWidth_ = 0;
  separatorCount_ = 0;
  text_[0] = '\0';
}

int CSeparatorSplitter::Split(const char* text, const char* separators) {
  Clear();
  if (!text) return 0;
  const std::size_t len = std::strlen(text);
  if (len >= static_cast<std::size_t>(kTextSize)) return 0;
  std::memcpy(text_, text, len + 1);
  const char* set = separators ? separators : "";
  skipWidth_ = static_cast<uint32_t>(std::strlen(set));
  int count = 0;
  for (const char* p = text_; *p;) {
    const int cl = CharLen(p);
    if (IsInCharSet(p, cl, set)) {
      if (count == kMaxSeparators) {
        Clear();
        return 0;
      }
      positions_[count++] = static_cast<int32_t>(p - text_) + 1;
    }
    p += cl;
  }
  separatorCount_ = count;
  return 1;
}

bool CSeparatorSplitter::FieldRange(int n, int* begin, int* end) const {
  const int count = separatorCount_;
  if (n < 1 || n > count + 1) return false;
  // A field starts after the whole separator character that ends the one
  // before it.
  auto after = [this](int index) {
    const int offset = positions_[index] - 1;
    return offset + CharLen(text_ + offset);
  };
  *begin = n == 1 ? 0 : after(n - 2);
  *end = n == count + 1 ? static_cast<int>(std::strlen(text_)) : positions_[n - 1] - 1;
  return true;
}

char* CSeparatorSplitter::GetField(char* out, int n) const {
  if (!out) return out;
  int b = 0, e = 0;
  if (!FieldRange(n, &b, &e) || e <= b) {
    out[0] = '\0';
    return out;
  }
  std::memmove(out, text_ + b, static_cast<std::size_t>(e - b));
  out[e - b] = '\0';
  return out;
}

std::string CSeparatorSplitter::FieldString(int n) const {
  int b = 0, e = 0;
  if (!FieldRange(n, &b, &e) || e <= b) return std::string();
  return std::string(text_ + b, text_ + e);
}

int CSeparatorSplitter::GetDouble(double* out, int n, double lower, double upper) const {
  return ParseDoubleInRange(FieldString(n).c_str(), out, lower, upper);
}
int CSeparatorSplitter::GetInt(int32_t* out, int n, int32_t lower, int32_t upper) const {
  return ParseIntInRange(FieldString(n).c_str(), out, lower, upper);
}
int CSeparatorSplitter::GetShort(int16_t* out, int n, int16_t lower, int16_t upper) const {
  return ParseShortInRange(FieldString(n).c_str(), out, lower, upper);
}

// ---------------------------------------------------------------------------
// CBlankFieldList

void CBlankFieldList::Clear() {
  count_ = 0;
  text_[0] = '\0';
}

bool CBlankFieldList::AddField(int start, int length, int quoted) {
  if (count_ >= kMaxFields) return false;
  starts_[count_] = start;
  lengths_[count_] = length;
  quoted_[count_] = quoted;
  ++count_;
  return true;
}

int CBlankFieldList::Split(const char* text) {
  Clear();
  if (!text) return 0;
  const std::size_t len = std::strlen(text);
  if (len >= static_cast<std::size_t>(kTextSize)) return 0;
  std::memcpy(text_, text, len + 1);
  TrimBlanks(text_);
  const int textLen = static_cast<int>(std::strlen(text_));

  int off = 0;
  bool openQuote = false;  // ended on a quoted field without its closing quote
  bool atEnd = false;      // the text ended right after a separator
  for (;;) {
    int start = 0, length = 0, quoted = 0, next = 0;
    if (text_[off] == '"') {
      const int close = FindByteChar(text_, off + 1, '"');
      if (close < 0) {
        openQuote = true;
        break;
      }
      start = off + 1;
      length = close - start;
      quoted = 1;
      next = close + 1;
    } else {
      const int blank = FindByteChar(text_, off, ' ');
      if (blank < 0) break;
      start = off;
      length = blank - off;
      next = blank + 1;
    }
    if (!AddField(start, length, quoted)) return 0;
    off = next;
    if (text_[off] == '\0') {
      atEnd = true;
      break;
    }
    while (text_[off] == ' ') ++off;
  }
  if (!openQuote && !atEnd && !AddField(off, textLen - off, 0)) return 0;
  return 1;
}

char* CBlankFieldList::GetField(char* out, int n) const {
  if (!out) return out;
  if (n < 1 || n > count_) {
    out[0] = '\0';
    return out;
  }
  const int length = lengths_[n - 1];
  std::memmove(out, text_ + starts_[n - 1], static_cast<std::size_t>(length));
  out[length] = '\0';
  return out;
}

char* CBlankFieldList::GetFieldQuoted(char* out, int n, int32_t* quoted) const {
  GetField(out, n);
  if (quoted && n >= 1 && n <= count_) *quoted = quoted_[n - 1];
  return out;
}

std::string CBlankFieldList::FieldString(int n) const {
  if (n < 1 || n > count_) return std::string();
  return std::string(text_ + starts_[n - 1], static_cast<std::size_t>(lengths_[n - 1]));
}

template <typename T, typename Parse>
int CBlankFieldList::GetTyped(T* out, int n, T lower, T upper, Parse parse) const {
  return parse(FieldString(n).c_str(), out, lower, upper);
}

int CBlankFieldList::GetDouble(double* out, int n, double lower, double upper) const {
  return GetTyped(out, n, lower, upper, ParseDoubleInRange);
}
int CBlankFieldList::GetInt(int32_t* out, int n, int32_t lower, int32_t upper) const {
  return GetTyped(out, n, lower, upper, ParseIntInRange);
}
int CBlankFieldList::GetShort(int16_t* out, int n, int16_t lower, int16_t upper) const {
  return GetTyped(out, n, lower, upper, ParseShortInRange);
}
int CBlankFieldList::GetUShort(uint16_t* out, int n, uint16_t lower, uint16_t upper) const {
  return GetTyped(out, n, lower, upper, ParseUShortInRange);
}
int CBlankFieldList::GetUInt(uint32_t* out, int n, uint32_t lower, uint32_t upper) const {
  return GetTyped(out, n, lower, upper, ParseUIntInRange);
}
int CBlankFieldList::GetByte(uint8_t* out, int n, uint8_t lower, uint8_t upper) const {
  return GetTyped(out, n, lower, upper, ParseByteInRange);
}
