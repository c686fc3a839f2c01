#include "common/number_format.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "common/field_split.h"
#include "common/number_parse.h"
#include "common/sjis_internal.h"
#include "common/sjis_text.h"

using sjis_internal::CharLen;
using sjis_internal::TrimmedBlanks;

namespace {

// Widths beyond this cannot fit the work area anyway.
constexpr int kMaxWidth = kSjisWorkArea;

char* Fail(char* out) {
  if (out) out[0] = '\0';
  return out;
}

// Copies a formatted text (n = snprintf's count) or fails when it did not
// fit the work area.
char* Commit(char* out, const char* buf, int n) {
  if (n < 0 || n >= kSjisWorkArea) return Fail(out);
  std::memcpy(out, buf, static_cast<std::size_t>(n) + 1);
  return out;
}

bool WidthOk(int width) { return width > -kMaxWidth && width < kMaxWidth; }
bool PrecisionOk(int precision) { return precision >= 0 && precision < kMaxWidth; }

void TrimFractionZeros(std::string& s) {
  if (s.find('.') == std::string::npos) return;
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
}

int HexDigit(unsigned char c) {
  if (c >= 'a' && c <= 'f') c = static_cast<unsigned char>(c - 'a' + 'A');
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads "$" + hex digits of 2..maxLength bytes in all, accumulating in 32 bits.
bool ParseHex(const char* text, std::size_t maxLength, uint32_t* value) {
  if (!text) return false;
  const std::string t = TrimmedBlanks(text);
  if (t.size() < 2 || t.size() > maxLength || t[0] != '$') return false;
  uint32_t v = 0;
  for (std::size_t i = 1; i < t.size(); ++i) {
    const int d = HexDigit(static_cast<unsigned char>(t[i]));
    if (d < 0) return false;
    v = (v << 4) | static_cast<uint32_t>(d);
  }
  *value = v;
  return true;
}

std::unique_ptr<CSeparatorSplitter> SplitThreeParts(const char* text, const char* separator) {
  auto s = std::make_unique<CSeparatorSplitter>();
  if (!s->Split(text, separator) || s->GetSeparatorCount() != 2) s.reset();
  return s;
}

}  // namespace

char* FormatDouble(char* out, double value, int width, int precision) {
  if (!out) return out;
  if (!WidthOk(width) || !PrecisionOk(precision)) return Fail(out);
  char buf[kSjisWorkArea];
  return Commit(out, buf, std::snprintf(buf, sizeof buf, "%*.*f", width, precision, value));
}

char* FormatFloat(char* out, float value, int width, int precision) {
  return FormatDouble(out, static_cast<double>(value), width, precision);
}

char* FormatIntWidth(char* out, int32_t value, int width) {
  if (!out) return out;
  if (!WidthOk(width)) return Fail(out);
  char buf[kSjisWorkArea];
  return Commit(out, buf, std::snprintf(buf, sizeof buf, "%*d", width, value));
}

char* FormatLongWidth(char* out, int32_t value, int width) {
  if (!out) return out;
  if (!WidthOk(width)) return Fail(out);
  char buf[kSjisWorkArea];
  return Commit(out, buf, std::snprintf(buf, sizeof buf, "%*ld", width, static_cast<long>(value)));
}

char* FormatIntZeroPadded(char* out, int32_t value, int width) {
  if (!out) return out;
  char buf[kSjisWorkArea];
  FormatIntWidth(buf, value, width);
  std::string s = TrimmedBlanks(buf);
  if (width > 0 && s.size() < static_cast<std::size_t>(width))
    s.insert(0, static_cast<std::size_t>(width) - s.size(), '0');
  return Commit(out, s.c_str(), static_cast<int>(s.size()));
}

char* FormatExponent(char* out, double value, int width) {
  if (!out) return out;
  if (!WidthOk(width)) return Fail(out);
  const int precision = width - 8 < 0 ? 0 : width - 8;
  char buf[kSjisWorkArea];
  const char sign = value < 0 ? '-' : ' ';
  const double magnitude = value < 0 ? -value : value;
  return Commit(out, buf, std::snprintf(buf, sizeof buf, "%c%7.*e", sign, precision, magnitude));
}

char* FormatDoubleTrimmed(char* out, double value, int width, int precision) {
  if (!out) return out;
  FormatDouble(out, value, width, precision);
  std::string s = out;
  TrimFractionZeros(s);
  std::memcpy(out, s.c_str(), s.size() + 1);
  return out;
}

char* FormatDoubleShortest(char* out, double value) {
  if (!out) return out;
  char buf[kSjisWorkArea];
  const int n = std::snprintf(buf, sizeof buf, "%f", value);
  if (n < 0 || n >= kSjisWorkArea) return Fail(out);
  std::string s = TrimmedBlanks(buf);
  TrimFractionZeros(s);
  return Commit(out, s.c_str(), static_cast<int>(s.size()));
}

char* InsertThousandsSeparators(char* text) {
  if (!text) return text;
  const std::size_t len = std::strlen(text);
  if (len <= 3) return text;
  for (const char* p = text; *p; p += CharLen(p))
    if (CharLen(p) == 2) return text;
  std::string s = text;
  std::string sign;
  if (s[0] == '+' || s[0] == '-') {
    sign = s.substr(0, 1);
    s.erase(0, 1);
  }
  std::string r;
  const std::size_t head = s.size() % 3;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (i > 0 && (i + 3 - head) % 3 == 0) r += ',';
    r += s[i];
  }
  r.insert(0, sign);
  if (r.size() >= static_cast<std::size_t>(kSjisWorkArea)) return text;
  std::memcpy(text, r.c_str(), r.size() + 1);
  return text;
}

// ---------------------------------------------------------------------------
// Number chains

int FormatNumberChain(char* out, int32_t a, int32_t b, int32_t c) {
  if (!out || a <= 0) return 0;
  if (b > 0 && c > 0)
    std::snprintf(out, 36, "%d-%d-%d", a, b, c);
  else if (b > 0)
    std::snprintf(out, 24, "%d-%d", a, b);
  else
    std::snprintf(out, 12, "%d", a);
  return 1;
}

int ParseNumberChain(const char* text, int32_t* a, int32_t* b, int32_t* c) {
  if (!text) return 0;
  std::string t = text;
  for (char& ch : t)
    if (ch == '-') ch = ' ';
  // '-' is never a trail byte, so the byte-wise rewrite keeps every character.
  std::string word(t.size() + 1, '\0');
  auto wordAt = [&](int n) {
    GetBlankSeparatedWord(word.data(), t.c_str(), n);
    return std::string(word.c_str());
  };
  int32_t va = 0, vb = 0, vc = 0;
  if (!ParseIntInRange(wordAt(1).c_str(), &va, 1, INT32_MAX)) return 0;
  const std::string w2 = wordAt(2), w3 = wordAt(3);
  if (!w2.empty() && !ParseIntInRange(w2.c_str(), &vb, 1, INT32_MAX)) return 0;
  if (!w3.empty() && (w2.empty() || !ParseIntInRange(w3.c_str(), &vc, 1, INT32_MAX))) return 0;
  if (a) *a = va;
  if (b) *b = vb;
  if (c) *c = vc;
  return 1;
}

int IsNumberChain(const char* text) {
  if (!text) return 0;
  for (const char* p = text; *p; ++p)
    if (!((*p >= '0' && *p <= '9') || *p == '-')) return 0;
  int32_t a = 0, b = 0, c = 0;
  return ParseNumberChain(text, &a, &b, &c);
}

// ---------------------------------------------------------------------------
// Hexadecimal "$" notation

char* FormatHexByte(char* out, int32_t value) {
  if (!out) return out;
  std::snprintf(out, 4, "$%02X", static_cast<unsigned>(value) & 0xFFu);
  return out;
}

char* FormatHexShort(char* out, int32_t value) {
  if (!out) return out;
  std::snprintf(out, 6, "$%04X", static_cast<unsigned>(value) & 0xFFFFu);
  return out;
}

int ParseHexByte(const char* text, uint8_t* out) {
  uint32_t v = 0;
  if (!out || !ParseHex(text, 3, &v)) return 0;
  *out = static_cast<uint8_t>(v);
  return 1;
}

int ParseHexShort(const char* text, uint16_t* out) {
  uint32_t v = 0;
  if (!out || !ParseHex(text, 5, &v)) return 0;
  *out = static_cast<uint16_t>(v);
  return 1;
}

int ParseHexInt(const char* text, int32_t* out) {
  uint32_t v = 0;
  if (!out || !ParseHex(text, 9, &v)) return 0;
  *out = static_cast<int32_t>(v);
  return 1;
}

// ---------------------------------------------------------------------------
// Time texts

int ParseTimeText(const char* text, int32_t* seconds) {
  if (!text || !seconds) return 0;
  auto s = SplitThreeParts(text, ":");
  if (!s) return 0;
  int32_t part[3];
  for (int i = 0; i < 3; ++i)
    if (!s->GetInt(&part[i], i + 1, 0, INT32_MAX)) return 0;
  const int64_t total = int64_t{part[0]} * 3600 + int64_t{part[1]} * 60 + part[2];
  if (total > INT32_MAX) return 0;
  *seconds = static_cast<int32_t>(total);
  return 1;
}

int ParseDashTime(const char* text, double* seconds) {
  if (!text || !seconds) return 0;
  auto s = SplitThreeParts(text, "-");
  if (!s) return 0;
  double part[3];
  for (int i = 0; i < 3; ++i)
    if (!s->GetDouble(&part[i], i + 1, -1.7e308, 1.7e308)) return 0;
  *seconds = part[0] * 3600 + part[1] * 60 + part[2];
  return 1;
}

int ParseDashTimePair(const char* text, double* first, double* second) {
  if (!text || !first || !second) return 0;
  const char* p = text;
  while (*p && *p != ',') p += CharLen(p);
  if (*p != ',') return 0;
  const std::string head(text, p);
  double a = 0, b = 0;
  if (!ParseDashTime(head.c_str(), &a) || !ParseDashTime(p + 1, &b)) return 0;
  *first = a;
  *second = b;
  return 1;
}

// ---------------------------------------------------------------------------
// Era years

char* YearToEraCode(char* out, int32_t year) {
  if (!out) return nullptr;
  char era = 0;
  int32_t n = 0;
  if (year >= 1989) {
    era = 'H';
    n = year - 1988;
    if (n >= 100) return nullptr;
  } else if (year >= 1926) {
    era = 'S';
    n = year - 1925;
  } else if (year >= 1912) {
    era = 'T';
    n = year - 1911;
  } else if (year >= 1868) {
    era = 'M';
    n = year - 1867;
  } else {
    return nullptr;
  }
  std::snprintf(out, 4, "%c%02d", era, static_cast<int>(n));
  return out;
}
