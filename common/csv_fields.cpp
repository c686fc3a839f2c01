#include "common/csv_fields.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "common/copy_out.h"
#include "common/field_split.h"
#include "common/number_format.h"
#include "common/number_parse.h"
#include "common/sjis_internal.h"
#include "common/sjis_text.h"

using sjis_internal::CharLen;
using sjis_internal::TrimmedBlanks;

namespace {

constexpr std::size_t kWorkLimit = static_cast<std::size_t>(kCsvWorkArea);

// Copies a finished result into out; "" when it reaches the work area.
char* Store(char* out, const std::string& s) { return CopyWholeOrEmpty(out, kWorkLimit, s); }

// Byte offsets of the non-overlapping occurrences of the separator text,
// found character by character.
std::vector<std::size_t> FindSeparators(const char* text, const char* separator) {
  std::vector<std::size_t> found;
  if (!separator || !*separator) return found;
  const std::size_t sepLen = std::strlen(separator);
  for (const char* p = text; *p;) {
    if (std::strncmp(p, separator, sepLen) == 0) {
      found.push_back(static_cast<std::size_t>(p - text));
      p += sepLen;
    } else {
      p += CharLen(p);
    }
  }
  return found;
}

// The N-th field cut at the separator text; false when there is none.
bool DelimitedField(const char* text, const char* separator, int n, std::string* field) {
  if (!text || n < 1) return false;
  const std::vector<std::size_t> seps = FindSeparators(text, separator);
  if (static_cast<std::size_t>(n) > seps.size() + 1) return false;
  const std::size_t sepLen = separator ? std::strlen(separator) : 0;
  const std::size_t begin = n == 1 ? 0 : seps[n - 2] + sepLen;
  const std::size_t end =
      static_cast<std::size_t>(n) == seps.size() + 1 ? std::strlen(text) : seps[n - 1];
  field->assign(text + begin, text + end);
  return true;
}

template <typename T, typename Parse>
int DelimitedTyped(const char* text, const char* separator, int n, T* out, T lower, T upper,
                   Parse parse) {
  if (!text || std::strlen(text) >= kWorkLimit) return 0;
  std::string field;
  DelimitedField(text, separator, n, &field);
  return parse(TrimmedBlanks(field).c_str(), out, lower, upper);
}

// Offset of the next single-byte character c at or after `from`, by
// characters; npos when none.
std::size_t FindChar(const std::string& s, std::size_t from, char c) {
  for (std::size_t i = from; i < s.size();) {
    if (s[i] == c) return i;
    i += static_cast<std::size_t>(CharLen(s.c_str() + i));
  }
  return std::string::npos;
}

// Removes the first word as GetQuotedWord skips it; the text is trimmed.
void DropOneQuotedWord(std::string& w) {
  if (w.empty()) return;
  if (w[0] == '"') {
    const std::size_t close = FindChar(w, 1, '"');
    w.erase(0, close == std::string::npos ? 1 : close + 1);
  } else {
    const std::size_t blank = FindChar(w, 0, ' ');
    if (blank == std::string::npos)
      w.clear();
    else
      w.erase(0, blank);
  }
}

// Field N with CSV quoting; false when the record has fewer fields.
bool QuotedCsvField(const char* record, int n, std::string* field) {
  if (!record || !*record || n < 1) return false;
  const char* p = record;
  for (int k = 1;; ++k) {
    std::string value;
    if (*p == '"') {
      ++p;
      for (;;) {
        if (*p == '\0') break;  // unterminated: everything after the quote
        if (*p == '"') {
          if (p[1] == '"') {
            value += '"';
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        const int cl = CharLen(p);
        value.append(p, static_cast<std::size_t>(cl));
        p += cl;
      }
      while (*p && *p != ',') p += CharLen(p);
    } else {
      while (*p && *p != ',') {
        const int cl = CharLen(p);
        value.append(p, static_cast<std::size_t>(cl));
        p += cl;
      }
    }
    if (k == n) {
      *field = value;
      return true;
    }
    if (*p != ',') return false;
    ++p;
  }
}

std::string ReplaceField(const char* record, const char* value, const char* separator, int n) {
  const std::string rec = record;
  if (n < 1) return rec;
  const std::vector<std::size_t> seps = FindSeparators(record, separator);
  const std::size_t k = seps.size();
  const std::string sep = separator ? separator : "";
  const std::string val = value ? value : "";
  const std::size_t un = static_cast<std::size_t>(n);
  if (un == k + 1) return rec.substr(0, k == 0 ? 0 : seps[k - 1] + sep.size()) + val;
  if (un > k + 1) {
    std::string r = rec;
    for (std::size_t i = 0; i < un - k - 1; ++i) r += sep;
    return r + val;
  }
  const std::size_t begin = un == 1 ? 0 : seps[un - 2] + sep.size();
  return rec.substr(0, begin) + val + sep + rec.substr(seps[un - 1] + sep.size());
}

std::unique_ptr<CSeparatorSplitter> NewSplitter(const char* text, const char* separator) {
  auto s = std::make_unique<CSeparatorSplitter>();
  if (!s->Split(text, separator)) s.reset();
  return s;
}

std::string SplitterField(const CSeparatorSplitter& s, int n, std::size_t room) {
  std::string f(room + 1, '\0');
  s.GetField(f.data(), n);
  f.resize(std::strlen(f.c_str()));
  return f;
}

std::string Join(std::initializer_list<const char*> parts) {
  std::string r;
  bool first = true;
  for (const char* p : parts) {
    if (!first) r += ',';
    first = false;
    if (p) r += p;
  }
  return r;
}

std::string JoinInts(std::initializer_list<int32_t> values) {
  std::string r;
  char buf[16];
  bool first = true;
  for (int32_t v : values) {
    if (!first) r += ',';
    first = false;
    std::snprintf(buf, sizeof buf, "%d", v);
    r += buf;
  }
  return r;
}

// Copies into out without a work-area limit (the caller sized out).
char* StoreAll(char* out, const std::string& s) {
  if (!out) return out;
  std::memcpy(out, s.c_str(), s.size() + 1);
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------
// Fields by separator

char* GetDelimitedField(char* out, const char* text, const char* separator, int n) {
  if (!out) return out;
  std::string field;
  if (!text || std::strlen(text) >= kWorkLimit || !DelimitedField(text, separator, n, &field))
    field.clear();
  return Store(out, field);
}

int GetDelimitedFieldDouble(const char* text, const char* separator, int n, double* out,
                            double lower, double upper) {
  return DelimitedTyped(text, separator, n, out, lower, upper, ParseDoubleInRange);
}
int GetDelimitedFieldInt(const char* text, const char* separator, int n, int32_t* out,
                         int32_t lower, int32_t upper) {
  return DelimitedTyped(text, separator, n, out, lower, upper, ParseIntInRange);
}
int GetDelimitedFieldUShort(const char* text, const char* separator, int n, uint16_t* out,
                            uint16_t lower, uint16_t upper) {
  return DelimitedTyped(text, separator, n, out, lower, upper, ParseUShortInRange);
}
int GetDelimitedFieldShort(const char* text, const char* separator, int n, int16_t* out,
                           int16_t lower, int16_t upper) {
  return DelimitedTyped(text, separator, n, out, lower, upper, ParseShortInRange);
}
int GetDelimitedFieldUInt(const char* text, const char* separator, int n, uint32_t* out,
                          uint32_t lower, uint32_t upper) {
  return DelimitedTyped(text, separator, n, out, lower, upper, ParseUIntInRange);
}

char* ExtractCsvField(char* out, const char* record, int n) {
  return GetDelimitedField(out, record, ",", n);
}

int IsCsvFieldEmpty(const char* record, int n) {
  std::string field;
  if (!record || std::strlen(record) >= kWorkLimit || !DelimitedField(record, ",", n, &field))
    return 1;
  return field.empty() ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Quoted words and fields

char* GetQuotedWord(char* out, const char* text, int n, int32_t* quoted) {
  if (!out) return out;
  out[0] = '\0';
  if (!text || n < 1) return out;
  std::string w = TrimmedBlanks(text);
  for (int i = 1; i < n; ++i) {
    w = TrimmedBlanks(w);
    if (w.empty()) break;
    DropOneQuotedWord(w);
  }
  w = TrimmedBlanks(w);
  std::string word;
  int32_t flag = 0;
  if (!w.empty() && w[0] == '"') {
    const std::size_t close = FindChar(w, 1, '"');
    word = w.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    flag = 1;
  } else {
    word = TrimmedBlanks(w.substr(0, FindChar(w, 0, ' ')));
  }
  if (quoted) *quoted = flag;
  return StoreAll(out, word);
}

char* DropQuotedWords(char* text, int n) {
  if (!text) return text;
  std::string w = TrimmedBlanks(text);
  for (int i = 1; i < n; ++i) {
    w = TrimmedBlanks(w);
    if (w.empty()) break;
    DropOneQuotedWord(w);
  }
  return StoreAll(text, TrimmedBlanks(w));
}

char* GetQuotedField(char* out, const char* text, const char* separator, int n, int32_t* quoted) {
  if (!out) return out;
  out[0] = '\0';
  if (!text || n < 1) return out;
  const char sep = separator ? separator[0] : '\0';
  if (sep == '"') {
    if (quoted) *quoted = 0;
    return GetDelimitedField(out, text, "\"", n);
  }
  const char* p = text;
  for (int k = 1;; ++k) {
    const char* begin = nullptr;
    const char* end = nullptr;
    int32_t flag = 0;
    bool last = false;
    if (*p == '"') {
      begin = p + 1;
      end = begin;
      while (*end && *end != '"') end += CharLen(end);
      flag = 1;
      if (*end == '\0' || end[1] == '\0') {
        last = true;
        p = end;
      } else {
        // Whatever follows the closing quote separates (a whole character).
        p = end + 1;
        p += CharLen(p);
      }
    } else {
      begin = p;
      end = p;
      while (*end && !(sep != '\0' && *end == sep)) end += CharLen(end);
      last = *end == '\0';
      p = last ? end : end + 1;
    }
    if (k == n) {
      if (quoted) *quoted = flag;
      return StoreAll(out, std::string(begin, end));
    }
    if (last) return out;
  }
}

char* GetQuotedCsvField(char* out, const char* record, int n) {
  if (!out) return out;
  std::string field;
  if (!QuotedCsvField(record, n, &field)) field.clear();
  return StoreAll(out, field);
}

char* GetQuotedCsvFieldCopy(char* out, const char* record, int n) {
  if (!out) return out;
  std::string field;
  if (!record || std::strlen(record) >= kWorkLimit || !QuotedCsvField(record, n, &field))
    field.clear();
  return Store(out, field);
}

int CompareCsvRecords(const char* a, const char* b, int count, const int32_t* fields) {
  if (count <= 0 || !fields || !a || !b) return 0;
  std::vector<char> fa(std::strlen(a) + 1), fb(std::strlen(b) + 1);
  for (int i = 0; i < count; ++i) {
    GetQuotedCsvFieldCopy(fa.data(), a, fields[i]);
    GetQuotedCsvFieldCopy(fb.data(), b, fields[i]);
    const int r = CompareStrings(fa.data(), fb.data());
    if (r != 0) return r;
  }
  return 0;
}

int GetAtEnclosedItem(char* out, const char* text, int n) {
  if (out) out[0] = '\0';
  if (!out || !text || n < 1) return 0;
  const std::string t = text;
  int seen = 0;
  std::size_t open = 0;
  for (std::size_t i = FindChar(t, 0, '@'); i != std::string::npos; i = FindChar(t, i + 1, '@')) {
    ++seen;
    if (seen == 2 * n - 1) open = i;
    if (seen == 2 * n) {
      StoreAll(out, t.substr(open + 1, i - open - 1));
      return 1;
    }
  }
  return 0;
}

int SplitAtFirstBlank(const char* text, const char* skip, char* head, char* tail) {
  if (!text) {
    if (head) head[0] = '\0';
    if (tail) tail[0] = '\0';
    return 0;
  }
  const std::string t = text;
  const std::size_t blank = FindChar(t, 0, ' ');
  if (blank == std::string::npos) {
    if (head) StoreAll(head, t);
    if (tail) tail[0] = '\0';
    return 0;
  }
  std::size_t from = blank + (skip ? std::strlen(skip) : 0);
  if (from > t.size()) from = t.size();
  if (head) StoreAll(head, t.substr(0, blank));
  if (tail) StoreAll(tail, t.substr(from));
  return 1;
}

// ---------------------------------------------------------------------------
// Editing a comma record

char* ReplaceCsvField(char* out, const char* record, const char* value, int n) {
  return ReplaceDelimitedField(out, record, value, ",", n);
}

char* ReplaceDelimitedField(char* out, const char* record, const char* value, const char* separator,
                            int n) {
  if (!out) return out;
  if (!record || std::strlen(record) >= kWorkLimit) return Store(out, std::string());
  return Store(out, ReplaceField(record, value, separator, n));
}

char* ReplaceCsvFieldInPlace(char* record, const char* value, int n) {
  if (!record || std::strlen(record) >= kWorkLimit) return record;
  const std::string r = ReplaceField(record, value, ",", n);
  if (r.size() < kWorkLimit) std::memcpy(record, r.c_str(), r.size() + 1);
  return record;
}

char* SetCsvFieldUShort(char* record, uint16_t value, int n) {
  return SetCsvFieldInt(record, value, n);
}
char* SetCsvFieldShort(char* record, int16_t value, int n) {
  return SetCsvFieldInt(record, value, n);
}
char* SetCsvFieldInt(char* record, int32_t value, int n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%d", value);
  return ReplaceCsvFieldInPlace(record, buf, n);
}
char* SetCsvFieldUInt(char* record, uint32_t value, int n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%u", value);
  return ReplaceCsvFieldInPlace(record, buf, n);
}
char* SetCsvFieldFloat(char* record, float value, int n, int width, int precision) {
  char buf[kSjisWorkArea];
  return ReplaceCsvFieldInPlace(record, FormatFloat(buf, value, width, precision), n);
}
char* SetCsvFieldDouble(char* record, double value, int n, int width, int precision) {
  char buf[kSjisWorkArea];
  return ReplaceCsvFieldInPlace(record, FormatDouble(buf, value, width, precision), n);
}

char* AppendCsvField(char* record, const char* value) {
  if (!record) return record;
  const std::size_t len = std::strlen(record);
  record[len] = ',';
  std::strcpy(record + len + 1, value ? value : "");
  return record;
}

// ---------------------------------------------------------------------------
// Row formatters

char* JoinCsv2(char* out, const char* a, const char* b) { return StoreAll(out, Join({a, b})); }
char* JoinCsv3(char* out, const char* a, const char* b, const char* c) {
  return StoreAll(out, Join({a, b, c}));
}
char* JoinCsv4(char* out, const char* a, const char* b, const char* c, const char* d) {
  return StoreAll(out, Join({a, b, c, d}));
}
char* JoinCsv5(char* out, const char* a, const char* b, const char* c, const char* d,
               const char* e) {
  return StoreAll(out, Join({a, b, c, d, e}));
}
char* JoinCsv6(char* out, const char* a, const char* b, const char* c, const char* d, const char* e,
               const char* f) {
  return StoreAll(out, Join({a, b, c, d, e, f}));
}
char* JoinCsv7(char* out, const char* a, const char* b, const char* c, const char* d, const char* e,
               const char* f, const char* g) {
  return StoreAll(out, Join({a, b, c, d, e, f, g}));
}

char* FormatCsvInts1(char* out, int32_t a) { return StoreAll(out, JoinInts({a})); }
char* FormatCsvInts2(char* out, int32_t a, int32_t b) { return StoreAll(out, JoinInts({a, b})); }
char* FormatCsvInts3(char* out, int32_t a, int32_t b, int32_t c) {
  return StoreAll(out, JoinInts({a, b, c}));
}
char* FormatCsvInts4(char* out, int32_t a, int32_t b, int32_t c, int32_t d) {
  return StoreAll(out, JoinInts({a, b, c, d}));
}
char* FormatCsvInts5(char* out, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e) {
  return StoreAll(out, JoinInts({a, b, c, d, e}));
}
char* FormatCsvInts6(char* out, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f) {
  return StoreAll(out, JoinInts({a, b, c, d, e, f}));
}
char* FormatCsvInts7(char* out, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f,
                     int32_t g) {
  return StoreAll(out, JoinInts({a, b, c, d, e, f, g}));
}

char* CopyText(char* out, const char* text) {
  if (!out) return out;
  return StoreAll(out, text ? text : "");
}

int ParseCsvIntFields(const char* record, int first, int count, int32_t* values) {
  if (!record || !values || first < 1 || count < 1) return -1;
  for (int i = 0; i < count; ++i) {
    if (!GetDelimitedFieldInt(record, ",", first + i, &values[i], -2147483647, 2147483647))
      return i;
  }
  return count;
}

int ParseCsvIntFieldsWithDefault(const char* record, int first, int count, int32_t* values,
                                 int32_t defaultValue) {
  if (!record || !values || first < 1 || count < 1) return -1;
  for (int i = 0; i < count; ++i) {
    if (!GetDelimitedFieldInt(record, ",", first + i, &values[i], -2147483647, 2147483647))
      values[i] = defaultValue;
  }
  return count;
}

// ---------------------------------------------------------------------------
// Fixed-width records and field lists

int ComposeFixedWidthRecord(char* out, const char* text, const char* separator, char pad,
                            const int32_t* widths, int count) {
  if (out) out[0] = '\0';
  if (!out || !text || !widths || count < 1) return 0;
  auto s = NewSplitter(text, separator);
  if (!s) return 0;
  const std::size_t room = std::strlen(text);
  std::string r;
  for (int i = 0; i < count; ++i) {
    const std::string f = SplitterField(*s, i + 1, room);
    if (widths[i] < 0 || f.size() > static_cast<std::size_t>(widths[i])) return 0;
    r.append(static_cast<std::size_t>(widths[i]) - f.size(), pad);
    r += f;
    if (r.size() >= kWorkLimit) return 0;
  }
  Store(out, r);
  return 1;
}

char* SplitFixedWidthRecord(char* out, const char* text, const char* separator,
                            const int32_t* widths, int count) {
  if (!out) return out;
  out[0] = '\0';
  if (!text || !*text || !widths || count < 1) return out;
  const std::string t = text;
  const std::string sep = separator ? separator : "";
  std::string r;
  std::size_t pos = 0;
  for (int i = 0; i < count; ++i) {
    const std::size_t w = widths[i] > 0 ? static_cast<std::size_t>(widths[i]) : 0;
    if (i > 0) r += sep;
    if (pos < t.size()) r += t.substr(pos, w);
    pos = pos + w < t.size() ? pos + w : t.size();
    if (r.size() >= kWorkLimit) return out;
  }
  std::vector<char> buf(r.begin(), r.end());
  buf.push_back('\0');
  TrimTrailingPattern(sep.c_str(), buf.data());
  return StoreAll(out, buf.data());
}

char* StripFieldPadding(char* out, const char* text, const char* separator, const char* pad) {
  if (!out) return out;
  out[0] = '\0';
  if (!text) return out;
  auto s = NewSplitter(text, separator);
  if (!s) return out;
  const std::size_t room = std::strlen(text);
  const std::string sep = separator ? separator : "";
  std::vector<char> buf(room + 1);
  std::string r;
  for (int i = 1; i <= s->GetSeparatorCount() + 1; ++i) {
    s->GetField(buf.data(), i);
    TrimLeadingPattern(pad ? pad : "", buf.data());
    if (i > 1) r += sep;
    r += buf.data();
  }
  std::vector<char> result(r.begin(), r.end());
  result.push_back('\0');
  TrimTrailingPattern(sep.c_str(), result.data());
  return StoreAll(out, result.data());
}

int FindFieldIndex(const char* list, const char* item, const char* separator) {
  if (!list || !item || !separator) return -1;
  auto s = NewSplitter(list, separator);
  if (!s) return 0;
  std::vector<char> buf(std::strlen(list) + 1);
  for (int i = 1; i <= s->GetSeparatorCount() + 1; ++i) {
    s->GetField(buf.data(), i);
    if (std::strcmp(buf.data(), item) == 0) return i;
  }
  return 0;
}

char* MergeFieldLists(char* out, const char* separator, const char* a, const char* b) {
  if (!out) return out;
  out[0] = '\0';
  if (!separator) return out;
  std::string r;
  for (const char* list : {a, b}) {
    if (!list) continue;
    auto s = NewSplitter(list, separator);
    if (!s) continue;
    std::vector<char> buf(std::strlen(list) + 1);
    for (int i = 1; i <= s->GetSeparatorCount() + 1; ++i) {
      s->GetField(buf.data(), i);
      if (FindFieldIndex(r.c_str(), buf.data(), separator) != 0) continue;
      if (!r.empty()) r += separator;
      r += buf.data();
    }
  }
  return Store(out, r);
}

// ---------------------------------------------------------------------------
// Template filler

char* FillTemplate(char* out, const char* values, const char* templateText) {
  if (!out) return out;
  out[0] = '\0';
  if (!values || !templateText) return out;
  auto fields = std::make_unique<CBlankFieldList>();
  fields->Split(values);
  const std::string t = TrimmedBlanks(templateText);
  std::size_t p = FindChar(t, 0, '%');
  if (p == std::string::npos) return out;
  std::string r;
  std::vector<char> field(std::strlen(values) + 1);
  for (;;) {
    const std::size_t q = FindChar(t, p + 1, '%');
    std::string number, literal;
    if (q == std::string::npos) {
      number = t.substr(p + 1);
    } else {
      number = t.substr(p + 1, q - p - 1);
      // The literal is the segment's last character (found walking forward).
      std::size_t lastStart = 0;
      for (std::size_t i = 0; i < number.size();)
        lastStart = i, i += static_cast<std::size_t>(CharLen(number.c_str() + i));
      literal = number.substr(lastStart);
      number.erase(lastStart);
    }
    int32_t n = 0;
    if (!ParseIntInRange(number.c_str(), &n, INT32_MIN, INT32_MAX)) break;
    fields->GetField(field.data(), n);
    r += field.data();
    r += literal;
    if (r.size() >= kWorkLimit) return out;
    if (q == std::string::npos) break;
    p = q;
  }
  return Store(out, r);
}

// ---- Wrappers on a word with double-quote handling ----

#define KORT_QUOTED_WORD_PARSER(Name, Parser, T)                \
  int Name(const char* text, int n, T* out, T lower, T upper) { \
    if (!text) return 0;                                        \
    std::vector<char> piece(std::strlen(text) + 1, '\0');       \
    GetQuotedWord(piece.data(), text, n, nullptr);              \
    return Parser(piece.data(), out, lower, upper);             \
  }

KORT_QUOTED_WORD_PARSER(ParseQuotedWordDoubleInRange, ParseDoubleInRange, double)
KORT_QUOTED_WORD_PARSER(ParseQuotedWordIntInRange, ParseIntInRange, int32_t)
KORT_QUOTED_WORD_PARSER(ParseQuotedWordUShortInRange, ParseUShortInRange, uint16_t)
KORT_QUOTED_WORD_PARSER(ParseQuotedWordShortInRange, ParseShortInRange, int16_t)
KORT_QUOTED_WORD_PARSER(ParseQuotedWordUIntInRange, ParseUIntInRange, uint32_t)
#undef KORT_QUOTED_WORD_PARSER
