#include "common/codepage.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/allocation_guard.h"
#include "common/numeric.h"
#include "common/sjis_internal.h"
#include "common/sjis_text.h"
#include "plat/cp932.h"

using sjis_internal::CharLen;

namespace {

constexpr char16_t kReplacementUnit = 0xFFFD;
constexpr int kInPlaceUnits = 1026;  // work array of MultiByteToUtf8InPlace, 0 unit included

inline unsigned char UB(char c) { return static_cast<unsigned char>(c); }

inline char16_t SwapUnit(char16_t u) { return static_cast<char16_t>((u >> 8) | (u << 8)); }

std::size_t UnitLength(const char16_t* units) {
  std::size_t n = 0;
  while (units[n] != 0) ++n;
  return n;
}

// CP932 text to UTF-16, one unit per character; a character without a
// Unicode form gives a blank.
std::u16string SjisToUnits(const char* text) {
  std::u16string out;
  if (plat::cp932::ToUtf16(text, out)) return out;
  out.clear();
  std::u16string one;
  for (const char* p = text; *p;) {
    const int l = CharLen(p);
    if (plat::cp932::ToUtf16(std::string_view(p, static_cast<std::size_t>(l)), one) &&
        one.size() == 1)
      out += one;
    else
      out += u' ';
    p += l;
  }
  return out;
}

// UTF-16 units to CP932, each unit on its own; a unit without a CP932 form of
// 1 or 2 bytes gives a blank.
std::string UnitsToSjis(std::u16string_view units) {
  std::string out;
  if (plat::cp932::FromUtf16(units, out)) return out;
  out.clear();
  std::string one;
  for (char16_t u : units) {
    if (plat::cp932::UnitToCp932(u, one) && (one.size() == 1 || one.size() == 2))
      out += one;
    else
      out += ' ';
  }
  return out;
}

std::u16string_view SkipByteOrderMark(const char16_t* units) {
  std::u16string_view v(units, UnitLength(units));
  if (!v.empty() && (v[0] == 0xFEFF || v[0] == 0xFFFE)) v.remove_prefix(1);
  return v;
}

char* HeapText(const std::string& s) {
  char* buf = static_cast<char*>(AllocateBlock(s.size() + 1));
  std::memcpy(buf, s.c_str(), s.size() + 1);
  return buf;
}

std::u16string Utf8ToUnits(const char* text, std::size_t len) {
  const int n = DecodeUtf8(nullptr, text, static_cast<int>(len), 1, 1);
  std::u16string units(static_cast<std::size_t>(n) + 1, u'\0');
  DecodeUtf8(units.data(), text, static_cast<int>(len), 0, 1);
  units.resize(static_cast<std::size_t>(n));
  return units;
}

std::string UnitsToUtf8(const std::u16string& units) {
  const int n = EncodeUtf8(nullptr, units.data(), static_cast<int>(units.size()), 1);
  std::string out(static_cast<std::size_t>(n) + 1, '\0');
  EncodeUtf8(out.data(), units.data(), static_cast<int>(units.size()), 0);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

// ---- JIS X 0208 <-> Shift-JIS arithmetic ----

void SjisToJis(unsigned char& c1, unsigned char& c2) {
  int a = c1, b = c2;
  if (a >= 0xE0) a -= 0x40;
  a = (a - 0x81) * 2 + 0x21;
  if (b >= 0x9F) {
    a += 1;
    b -= 0x7E;
  } else {
    if (b >= 0x80) b -= 1;
    b -= 0x1F;
  }
  c1 = static_cast<unsigned char>(a);
  c2 = static_cast<unsigned char>(b);
}

void JisToSjis(unsigned char& c1, unsigned char& c2) {
  const int j1 = c1, j2 = c2;
  int s1 = (j1 - 0x21) / 2 + 0x81;
  if (s1 > 0x9F) s1 += 0x40;
  int s2;
  if (j1 & 1) {
    s2 = j2 + 0x1F;
    if (s2 >= 0x7F) s2 += 1;
  } else {
    s2 = j2 + 0x7E;
  }
  c1 = static_cast<unsigned char>(s1);
  c2 = static_cast<unsigned char>(s2);
}

inline void ConvertPairInPlace(char* p, void (*fn)(unsigned char&, unsigned char&)) {
  unsigned char a = UB(p[0]), b = UB(p[1]);
  fn(a, b);
  p[0] = static_cast<char>(a);
  p[1] = static_cast<char>(b);
}

template <typename T>
T ReverseValue(T v) {
  unsigned char b[sizeof(T)];
  std::memcpy(b, &v, sizeof(T));
  for (std::size_t i = 0; i < sizeof(T) / 2; ++i) {
    const unsigned char t = b[i];
    b[i] = b[sizeof(T) - 1 - i];
    b[sizeof(T) - 1 - i] = t;
  }
  std::memcpy(&v, b, sizeof(T));
  return v;
}

template <typename T>
void SwapValues(T* a, T* b) {
  if (!a || !b) return;
  T t;
  std::memcpy(&t, a, sizeof(T));
  std::memmove(a, b, sizeof(T));
  std::memcpy(b, &t, sizeof(T));
}

}  // namespace

// ---------------------------------------------------------------------------
// Unicode

int EncodeUtf8(char* out, const char16_t* units, int count, int countOnly) {
  if (!units || count < 0) count = 0;
  const bool write = out && !countOnly;
  int n = 0;
  for (int i = 0; i < count; ++i) {
    const unsigned u = units[i];
    if (u < 0x80) {
      if (write) out[n] = static_cast<char>(u);
      n += 1;
    } else if (u < 0x800) {
      if (write) {
        out[n] = static_cast<char>(0xC0 | (u >> 6));
        out[n + 1] = static_cast<char>(0x80 | (u & 0x3F));
      }
      n += 2;
    } else {
      if (write) {
        out[n] = static_cast<char>(0xE0 | (u >> 12));
        out[n + 1] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        out[n + 2] = static_cast<char>(0x80 | (u & 0x3F));
      }
      n += 3;
    }
  }
  if (write) out[n] = '\0';
  return n;
}

int DecodeUtf8(char16_t* out, const char* text, int byteLen, int countOnly, int hostOrder) {
  if (!text || byteLen < 0) byteLen = 0;
  const bool write = out && !countOnly;
  int n = 0;
  int i = 0;
  while (i < byteLen) {
    const unsigned b = UB(text[i]);
    char16_t u;
    if (b < 0x80) {
      u = static_cast<char16_t>(b);
      i += 1;
    } else if ((b & 0xE0) == 0xC0) {
      if (byteLen - i >= 2) {
        u = static_cast<char16_t>(((b & 0x1F) << 6) | (UB(text[i + 1]) & 0x3F));
        i += 2;
      } else {
        u = kReplacementUnit;
        i = byteLen;
      }
    } else if ((b & 0xF0) == 0xE0) {
      if (byteLen - i >= 3) {
        u = static_cast<char16_t>(((b & 0x0F) << 12) | ((UB(text[i + 1]) & 0x3F) << 6) |
                                  (UB(text[i + 2]) & 0x3F));
        i += 3;
      } else {
        u = kReplacementUnit;
        i = byteLen;
      }
    } else if ((b & 0xF8) == 0xF0) {
      u = kReplacementUnit;  // outside the Basic Multilingual Plane
      i += byteLen - i >= 4 ? 4 : byteLen - i;
    } else {
      u = kReplacementUnit;  // stray continuation byte or invalid byte
      i += 1;
    }
    if (write) out[n] = hostOrder ? u : SwapUnit(u);
    ++n;
  }
  if (write) out[n] = 0;
  return n;
}

// The converters that hand out a block answer null when memory runs out.
char* Utf16ToUtf8Alloc(const char16_t* units, int* byteCount) {
  if (byteCount) *byteCount = 0;
  if (!units) return nullptr;
  return CatchAllocationFailure(static_cast<char*>(nullptr), [&] {
    const int len = static_cast<int>(UnitLength(units));
    const int n = EncodeUtf8(nullptr, units, len, 1);
    char* buf = static_cast<char*>(AllocateBlock(static_cast<std::size_t>(n) + 1));
    EncodeUtf8(buf, units, len, 0);
    if (byteCount) *byteCount = n;
    return buf;
  });
}

char16_t* Utf8ToUtf16Alloc(const char* text, int* unitCount, int hostOrder) {
  if (unitCount) *unitCount = 0;
  if (!text) return nullptr;
  return CatchAllocationFailure(static_cast<char16_t*>(nullptr), [&] {
    const int len = static_cast<int>(std::strlen(text));
    const int n = DecodeUtf8(nullptr, text, len, 1, hostOrder);
    auto* buf =
        static_cast<char16_t*>(AllocateBlock((static_cast<std::size_t>(n) + 1) * sizeof(char16_t)));
    DecodeUtf8(buf, text, len, 0, hostOrder);
    if (unitCount) *unitCount = n;
    return buf;
  });
}

char* Utf16ToMultiByte(const char16_t* units, int* byteCount) {
  if (byteCount) *byteCount = 0;
  if (!units) return nullptr;
  return CatchAllocationFailure(static_cast<char*>(nullptr), [&] {
    const std::string s = UnitsToSjis(SkipByteOrderMark(units));
    char* buf = HeapText(s);
    if (byteCount) *byteCount = static_cast<int>(s.size());
    return buf;
  });
}

char16_t* MultiByteToUtf16(const char* text, int* byteCount) {
  if (byteCount) *byteCount = 0;
  if (!text) return nullptr;
  return CatchAllocationFailure(static_cast<char16_t*>(nullptr), [&] {
    const std::u16string units = SjisToUnits(text);
    auto* buf = static_cast<char16_t*>(AllocateBlock((units.size() + 1) * sizeof(char16_t)));
    std::memcpy(buf, units.c_str(), (units.size() + 1) * sizeof(char16_t));
    if (byteCount) *byteCount = static_cast<int>(2 * std::strlen(text));
    return buf;
  });
}

char* Utf8ToMultiByte(const char* text, int* byteCount) {
  if (byteCount) *byteCount = 0;
  if (!text) return nullptr;
  int units = 0;
  char16_t* u = Utf8ToUtf16Alloc(text, &units, 1);
  if (!u) return nullptr;
  char* r = Utf16ToMultiByte(u, byteCount);
  std::free(u);
  return r;
}

char* MultiByteToUtf8(const char* text, int* byteCount) {
  if (byteCount) *byteCount = 0;
  if (!text) return nullptr;
  int bytes = 0;
  char16_t* u = MultiByteToUtf16(text, &bytes);
  if (!u) return nullptr;
  char* r = Utf16ToUtf8Alloc(u, byteCount);
  std::free(u);
  return r;
}

char* Utf8ToMultiByteInPlace(char* text) {
  if (!text) return text;
  const std::size_t len = std::strlen(text);
  std::u16string units = Utf8ToUnits(text, len);
  const std::string s = UnitsToSjis(SkipByteOrderMark(units.c_str()));
  if (s.size() <= len) std::memcpy(text, s.c_str(), s.size() + 1);
  return text;
}

char* MultiByteToUtf8InPlace(char* text) { return MultiByteToUtf8InPlace(text, 0); }

char* MultiByteToUtf8InPlace(char* text, std::size_t textSize) {
  if (!text) return text;
  const std::u16string units = SjisToUnits(text);
  if (units.size() + 1 > static_cast<std::size_t>(kInPlaceUnits)) return text;
  const std::string s = UnitsToUtf8(units);
  if (textSize != 0 && s.size() + 1 > textSize) return text;
  std::memcpy(text, s.c_str(), s.size() + 1);
  return text;
}

// ---------------------------------------------------------------------------
// JIS and EUC

char* SjisToJisPairs(char* text) {
  if (!text) return text;
  for (char* p = text; p[0] && p[1]; p += 2) {
    if (p[0] == ' ' && p[1] == ' ') {
      p[0] = p[1] = 0x21;
      continue;
    }
    ConvertPairInPlace(p, SjisToJis);
  }
  return text;
}

char* JisPairToSjis(char* pair) {
  if (!pair || !pair[0] || !pair[1]) return pair;
  if (pair[0] == ' ' && pair[1] == ' ') pair[0] = pair[1] = 0x21;
  ConvertPairInPlace(pair, JisToSjis);
  return pair;
}

int IsJisPair(const char* p) {
  if (!p) return 0;
  const unsigned char a = UB(p[0]);
  if (a < 0x21 || a > 0x7E) return 0;
  const unsigned char b = UB(p[1]);
  return (b >= 0x21 && b <= 0x7E) ? 1 : 0;
}

char* JisToSjisPrintable(char* text) {
  if (!text) return text;
  for (char* p = text; *p;) {
    if (IsPrintableAsciiByte(UB(p[0])) && p[1]) {
      JisPairToSjis(p);
      p += 2;
    } else {
      ++p;
    }
  }
  return text;
}

char* JisToSjisPairs(char* text) {
  if (!text) return text;
  const std::size_t len = std::strlen(text);
  if (len % 2 != 0) return text;
  for (std::size_t i = 0; i < len; i += 2) JisPairToSjis(text + i);
  return text;
}

uint16_t JisCodeToSjisCode(uint16_t jis) {
  unsigned char a = static_cast<unsigned char>(jis >> 8),
                b = static_cast<unsigned char>(jis & 0xFF);
  JisToSjis(a, b);
  return static_cast<uint16_t>((a << 8) | b);
}

int IsEucLeadByte(unsigned char b) {
  return (b == 0x8E || (b >= 0x90 && b <= 0x9F) || (b >= 0xA1 && b <= 0xFE)) ? 1 : 0;
}

int IsEucUpperByte(unsigned char b) { return (b >= 0xA0 && b <= 0xFE) ? 1 : 0; }

char* EucToJis(char* text) {
  if (!text) return text;
  char* out = text;
  for (const char* p = text; *p;) {
    const unsigned char b = UB(p[0]);
    if (b == 0x8E && p[1]) {
      *out++ = p[1];
      p += 2;
    } else if (IsEucLeadByte(b) && p[1]) {
      *out++ = static_cast<char>(b & 0x7F);
      *out++ = static_cast<char>(UB(p[1]) & 0x7F);
      p += 2;
    } else {
      *out++ = *p++;
    }
  }
  *out = '\0';
  return text;
}

char* SjisToEuc(char* text) {
  if (!text) return text;
  for (char* p = text; *p;) {
    const int l = CharLen(p);
    if (l == 2) {
      ConvertPairInPlace(p, SjisToJis);
      p[0] = static_cast<char>(UB(p[0]) | 0x80);
      p[1] = static_cast<char>(UB(p[1]) | 0x80);
    }
    p += l;
  }
  return text;
}

char* EucToSjis(char* text) {
  if (!text) return text;
  char* out = text;
  for (const char* p = text; *p;) {
    const unsigned char b = UB(p[0]);
    if (b == 0x8E && p[1]) {
      *out++ = p[1];
      p += 2;
    } else if (IsEucLeadByte(b) && p[1]) {
      unsigned char a = static_cast<unsigned char>(b & 0x7F);
      unsigned char c = static_cast<unsigned char>(UB(p[1]) & 0x7F);
      JisToSjis(a, c);
      *out++ = static_cast<char>(a);
      *out++ = static_cast<char>(c);
      p += 2;
    } else {
      *out++ = *p++;
    }
  }
  *out = '\0';
  return text;
}

char* Iso2022JpToSjis(char* out, const char* text) {
  if (!out) return out;
  char* o = out;
  if (text) {
    bool jis = false;
    bool afterCr = false;  // the byte before is a carriage return
    for (std::size_t i = 0; text[i];) {
      const unsigned char c = UB(text[i]);
      if (c == 0x1B && text[i + 1] == '$' && text[i + 2] == 'B') {
        jis = true;
        afterCr = false;
        i += 3;
        continue;
      }
      if (c == 0x1B && text[i + 1] == '(' && text[i + 2] == 'B') {
        jis = false;
        afterCr = false;
        i += 3;
        continue;
      }
      if (c == '\n') {
        if (!afterCr) *o++ = '\r';
        *o++ = '\n';
        afterCr = false;
        ++i;
        continue;
      }
      afterCr = c == '\r';
      const unsigned char d = UB(text[i + 1]);
      if (jis && c > 0x20 && c != 0x7F && d > 0x20 && d != 0x7F) {
        unsigned char a = c, b = d;
        JisToSjis(a, b);
        *o++ = static_cast<char>(a);
        *o++ = static_cast<char>(b);
        i += 2;
        continue;
      }
      *o++ = static_cast<char>(c);
      ++i;
    }
  }
  *o = '\0';
  return out;
}

char* SjisToIso2022Jp(char* out, const char* text) {
  if (!out) return out;
  char* o = out;
  bool run = false;
  auto toAscii = [&] {
    if (run) {
      std::memcpy(o, "\x1B(B", 3);
      o += 3;
      run = false;
    }
  };
  if (text) {
    for (const char* p = text; *p;) {
      if (p[0] == '\r' && p[1] == '\n') {
        toAscii();
        *o++ = '\n';
        p += 2;
        continue;
      }
      const int l = CharLen(p);
      if (l == 2) {
        if (!run) {
          std::memcpy(o, "\x1B$B", 3);
          o += 3;
          run = true;
        }
        unsigned char a = UB(p[0]), b = UB(p[1]);
        SjisToJis(a, b);
        *o++ = static_cast<char>(a);
        *o++ = static_cast<char>(b);
      } else {
        toAscii();
        *o++ = *p;
      }
      p += l;
    }
  }
  toAscii();
  *o = '\0';
  return out;
}

// ---------------------------------------------------------------------------
// Byte order and value helpers

uint16_t SwapUInt16(uint16_t v) { return ReverseValue(v); }
int16_t SwapInt16(int16_t v) { return ReverseValue(v); }
int32_t SwapInt32(int32_t v) { return ReverseValue(v); }
uint32_t SwapUInt32(uint32_t v) { return ReverseValue(v); }
float SwapFloat(float v) { return ReverseValue(v); }
double SwapDouble(double v) { return ReverseValue(v); }
uint16_t SwapUInt16If(uint16_t v, unsigned char flag) { return flag ? SwapUInt16(v) : v; }
int16_t SwapInt16If(int16_t v, unsigned char flag) { return flag ? SwapInt16(v) : v; }
int32_t SwapInt32If(int32_t v, unsigned char flag) { return flag ? SwapInt32(v) : v; }
uint32_t SwapUInt32If(uint32_t v, unsigned char flag) { return flag ? SwapUInt32(v) : v; }
float SwapFloatIf(float v, unsigned char flag) { return flag ? SwapFloat(v) : v; }
double SwapDoubleIf(double v, unsigned char flag) { return flag ? SwapDouble(v) : v; }

void ByteSwap16InPlace(uint16_t* v) {
  if (v) ReverseBytes(v, 2);
}

void ReverseBytes(void* bytes, int n) {
  if (!bytes || n <= 1) return;
  auto* b = static_cast<unsigned char*>(bytes);
  for (int i = 0; i < n / 2; ++i) {
    const unsigned char t = b[i];
    b[i] = b[n - 1 - i];
    b[n - 1 - i] = t;
  }
}

void SwapTwoBytes(unsigned char* a, unsigned char* b) { SwapValues(a, b); }
void SwapShorts(int16_t* a, int16_t* b) { SwapValues(a, b); }
void SwapInts(int32_t* a, int32_t* b) { SwapValues(a, b); }
void SwapFloats(float* a, float* b) { SwapValues(a, b); }
void SwapDoubles(double* a, double* b) { SwapValues(a, b); }

// Without memory for the work block the swap answers 0.
int SwapMemory(void* a, void* b, int n) {
  const std::size_t size = static_cast<uint16_t>(n);
  if (!a || !b) return 0;
  if (size == 0) return 1;
  return CatchAllocationFailure(0, [&] {
    std::unique_ptr<unsigned char[]> work(new unsigned char[size]);
    std::memcpy(work.get(), a, size);
    std::memmove(a, b, size);
    std::memcpy(b, work.get(), size);
    return 1;
  });
}

void ReverseDoubleArray(double* values, int n) {
  if (!values || n <= 1) return;
  for (int i = 0; i < n / 2; ++i) SwapDoubles(&values[i], &values[n - 1 - i]);
}

uint8_t ReverseBits8(uint8_t v) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i)
    if (v & (1u << i)) r = static_cast<uint8_t>(r | (0x80u >> i));
  return r;
}

namespace {

// x shifted by s one way, combined with x shifted by top - s the other way
// (top: the highest bit of the width); an s outside 0..top gives x.
uint32_t ShiftCombine(uint32_t x, int s, int top, bool right) {
  if (s < 0 || s > top) return x;
  return right ? (x >> s) | (x << (top - s)) : (x << s) | (x >> (top - s));
}

}  // namespace

uint32_t ShiftCombine16Right(uint16_t v, int s) { return ShiftCombine(v, s, 15, true); }
uint32_t ShiftCombine16Left(uint16_t v, int s) { return ShiftCombine(v, s, 15, false); }
uint32_t ShiftCombine8Right(uint8_t v, int s) { return ShiftCombine(v, s, 7, true); }
uint32_t ShiftCombine8Left(uint8_t v, int s) { return ShiftCombine(v, s, 7, false); }

void SplitColor24(uint32_t value, uint8_t* low, uint8_t* middle, uint8_t* high) {
  if (low) *low = static_cast<uint8_t>(value & 0xFF);
  if (middle) *middle = static_cast<uint8_t>((value >> 8) & 0xFF);
  if (high) *high = static_cast<uint8_t>((value >> 16) & 0xFF);
}

void SplitColor32(uint32_t value, uint8_t* byte3, uint8_t* byte2, uint8_t* byte1, uint8_t* byte0) {
  if (byte3) *byte3 = static_cast<uint8_t>((value >> 24) & 0xFF);
  if (byte2) *byte2 = static_cast<uint8_t>((value >> 16) & 0xFF);
  if (byte1) *byte1 = static_cast<uint8_t>((value >> 8) & 0xFF);
  if (byte0) *byte0 = static_cast<uint8_t>(value & 0xFF);
}

void SplitColor555(uint32_t value, uint8_t* bits0, uint8_t* bits5, uint8_t* bits10) {
  if (bits0) *bits0 = static_cast<uint8_t>(value & 0x1F);
  if (bits5) *bits5 = static_cast<uint8_t>((value >> 5) & 0x1F);
  if (bits10) *bits10 = static_cast<uint8_t>((value >> 10) & 0x1F);
}

int32_t ScaleColorComponent(int32_t component, double factor) {
  const double product = static_cast<double>(component) * factor;
  int32_t v;
  if (product != product)
    v = 0;  // NaN
  else if (product >= 2147483647.0)
    v = INT32_MAX;
  else if (product <= -2147483648.0)
    v = INT32_MIN;
  else
    v = static_cast<int32_t>(product);
  ClampInt(&v, 0, 255);
  return v;
}

uint32_t ScaleColor(uint32_t value, double factor0, double factor1, double factor2) {
  const uint32_t b0 =
      static_cast<uint32_t>(ScaleColorComponent(static_cast<int32_t>(value & 0xFF), factor0));
  const uint32_t b1 = static_cast<uint32_t>(
      ScaleColorComponent(static_cast<int32_t>((value >> 8) & 0xFF), factor1));
  const uint32_t b2 = static_cast<uint32_t>(
      ScaleColorComponent(static_cast<int32_t>((value >> 16) & 0xFF), factor2));
  return b0 | (b1 << 8) | (b2 << 16);
}

uint32_t ScaleColorUniform(uint32_t value, double factor) {
  return ScaleColor(value, factor, factor, factor);
}
