#include "plat/cp932.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "sjis_walk.h"

namespace plat::cp932 {
namespace {

// The tables of the C library's CP932 converter, made at build time
// (platform/gen): kSingleUnit, kLeadRow, kPairUnit, kEncodeBlock, kForm.
#include "cp932_tables.inc"

constexpr char16_t kNoUnit = 0xFFFF;
constexpr unsigned short kNoForm = 0xFFFF;

// The unit of the character at s[i] and its length in bytes; false when the
// bytes there are no character (an invalid byte, a lead byte without a
// trail that makes one).
bool DecodeAt(std::string_view s, std::size_t i, char16_t& unit, std::size_t& length) {
  const auto b = static_cast<unsigned char>(s[i]);
  if (kSingleUnit[b] != kNoUnit) {
    unit = kSingleUnit[b];
    length = 1;
    return true;
  }
  const unsigned row = kLeadRow[b];
  if (row == 0xFF || i + 1 >= s.size()) return false;
  unit = kPairUnit[row * 256u + static_cast<unsigned char>(s[i + 1])];
  length = 2;
  return unit != kNoUnit;
}

// Appends the CP932 form of one unit; false when it has none.
bool EncodeUnit(char16_t unit, std::string& out) {
  const unsigned block = kEncodeBlock[unit >> 8];
  if (block == 0) return false;
  const unsigned short form = kForm[(block - 1) * 256u + (unit & 0xFFu)];
  if (form == kNoForm) return false;
  if (form > 0xFF) out.push_back(static_cast<char>(form >> 8));
  out.push_back(static_cast<char>(form & 0xFF));
  return true;
}

// One code point from UTF-8 at s[i] (strict: no overlong form, no surrogate,
// nothing above U+10FFFF, nothing cut short); false when invalid.
bool DecodeUtf8At(std::string_view s, std::size_t i, char32_t& cp, std::size_t& length) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    cp = b0;
    length = 1;
    return true;
  }
  char32_t min = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
    cp = b0 & 0x1Fu;
    min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    cp = b0 & 0x0Fu;
    min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    cp = b0 & 0x07u;
    min = 0x10000;
  } else {
    return false;
  }
  if (i + length > s.size()) return false;
  for (std::size_t k = 1; k < length; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return false;
    cp = cp << 6 | (b & 0x3Fu);
  }
  return cp >= min && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
}

void AppendUtf8(char16_t unit, std::string& out) {
  if (unit < 0x80) {
    out.push_back(static_cast<char>(unit));
  } else if (unit < 0x800) {
    out.push_back(static_cast<char>(0xC0 | unit >> 6));
    out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | unit >> 12));
    out.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
  }
}

bool IsSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDFFF; }

// ASCII is the same bytes in CP932 and UTF-8.
bool IsAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

}  // namespace

bool ToUtf16(std::string_view cp932, std::u16string& out) {
  out.clear();
  out.reserve(cp932.size());
  char16_t unit = 0;
  std::size_t length = 0;
  for (std::size_t i = 0; i < cp932.size(); i += length) {
    if (!DecodeAt(cp932, i, unit, length)) return false;
    out.push_back(unit);
  }
  return true;
}

bool FromUtf16(std::u16string_view utf16, std::string& out) {
  out.clear();
  out.reserve(utf16.size() * 2);
  for (const char16_t unit : utf16) {
    // Nothing outside the BMP has a CP932 form, and a lone surrogate is
    // no character.
    if (IsSurrogate(unit) || !EncodeUnit(unit, out)) return false;
  }
  return true;
}

bool ToUtf8(std::string_view cp932, std::string& out) {
  if (IsAscii(cp932)) {
    out.assign(cp932.data(), cp932.size());
    return true;
  }
  out.clear();
  out.reserve(cp932.size() * 3 / 2 + 1);
  char16_t unit = 0;
  std::size_t length = 0;
  for (std::size_t i = 0; i < cp932.size(); i += length) {
    if (!DecodeAt(cp932, i, unit, length)) return false;
    AppendUtf8(unit, out);
  }
  return true;
}

bool FromUtf8(std::string_view utf8, std::string& out) {
  if (IsAscii(utf8)) {
    out.assign(utf8.data(), utf8.size());
    return true;
  }
  out.clear();
  out.reserve(utf8.size());
  char32_t cp = 0;
  std::size_t length = 0;
  for (std::size_t i = 0; i < utf8.size(); i += length) {
    if (!DecodeUtf8At(utf8, i, cp, length) || cp > 0xFFFF ||
        !EncodeUnit(static_cast<char16_t>(cp), out))
      return false;
  }
  return true;
}

bool IsUtf8(std::string_view s) {
  char32_t cp = 0;
  std::size_t length = 0;
  for (std::size_t i = 0; i < s.size(); i += length)
    if (!DecodeUtf8At(s, i, cp, length)) return false;
  return true;
}

namespace {

bool IsTrailByte(unsigned char b) { return b >= 0x40 && b != 0x7F && b <= 0xFC; }

// Marks each 0x5C of a native name that is the second byte of a CP932
// character: in every element ('/' to '/') that is no UTF-8, walked
// forward from its start as CP932. A '/' is never a trail byte, so an
// element's walk starts at a character.
std::vector<bool> TrailBackslashes(std::string_view name) {
  std::vector<bool> trail;
  for (std::size_t start = 0; start < name.size();) {
    std::size_t end = name.find('/', start);
    if (end == std::string_view::npos) end = name.size();
    const std::string_view element = name.substr(start, end - start);
    if (element.find('\\') != std::string_view::npos && !IsUtf8(element)) {
      if (trail.empty()) trail.resize(name.size());
      for (std::size_t i = 0; i < element.size(); ++i) {
        if (!IsLeadByte(static_cast<unsigned char>(element[i])) || i + 1 >= element.size() ||
            !IsTrailByte(static_cast<unsigned char>(element[i + 1])))
          continue;
        ++i;
        trail[start + i] = element[i] == '\\';
      }
    }
    start = end + 1;
  }
  return trail;
}

}  // namespace

std::string FromNativeName(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  const std::vector<bool> trail = TrailBackslashes(utf8);
  std::string out;
  out.reserve(utf8.size() + 8);
  char32_t cp = 0;
  std::size_t length = 0;
  for (std::size_t i = 0; i < utf8.size(); i += length) {
    if (!trail.empty() && trail[i]) {
      // It belongs to the character before it: carried, never a separator.
      out.push_back(static_cast<char>(kCarryLead));
      out.push_back('\\');
      length = 1;
      continue;
    }
    if (DecodeUtf8At(utf8, i, cp, length)) {
      const std::size_t mark = out.size();
      char16_t back = 0;
      std::size_t formLength = 0;
      if (cp <= 0xFFFF && EncodeUnit(static_cast<char16_t>(cp), out) &&
          DecodeAt(out, mark, back, formLength) && back == cp && mark + formLength == out.size())
        continue;
      out.resize(mark);
    } else {
      length = 1;  // a byte that starts no character: carried alone
    }
    for (std::size_t k = i; k < i + length; ++k) {
      const auto b = static_cast<unsigned char>(utf8[k]);
      if (b >= 0x80) out.push_back(static_cast<char>(kCarryLead));
      out.push_back(static_cast<char>(b));
    }
  }
  return out;
}

bool ToNativeName(std::string_view cp932, std::string& out) {
  if (ToUtf8(cp932, out)) return true;  // carried bytes never decode
  out.clear();
  char16_t unit = 0;
  std::size_t length = 0;
  for (std::size_t i = 0; i < cp932.size(); i += length) {
    if (static_cast<unsigned char>(cp932[i]) == kCarryLead && i + 1 < cp932.size() &&
        (static_cast<unsigned char>(cp932[i + 1]) >= 0x80 || cp932[i + 1] == '\\')) {
      out.push_back(cp932[i + 1]);
      length = 2;
      continue;
    }
    if (!DecodeAt(cp932, i, unit, length)) return false;
    AppendUtf8(unit, out);
  }
  return true;
}

bool UnitToCp932(char16_t unit, std::string& out) {
  out.clear();
  return !IsSurrogate(unit) && EncodeUnit(unit, out);
}

std::string FromUtf16Lossy(std::u16string_view utf16, char replacement) {
  std::string out;
  out.reserve(utf16.size() * 2);
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    const char16_t u = utf16[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      out.push_back(replacement);  // nothing outside the BMP exists in CP932
      ++i;
      continue;
    }
    if (IsSurrogate(u) || !EncodeUnit(u, out)) out.push_back(replacement);
  }
  return out;
}

std::string FromUtf16LeBytes(const void* bytes, std::size_t byteLen, char replacement) {
  const unsigned char* p = static_cast<const unsigned char*>(bytes);
  std::u16string units(byteLen / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
  return FromUtf16Lossy(units, replacement);
}

std::string ToUtf8Display(std::string_view cp932) {
  std::string out;
  std::string piece;
  std::size_t i = 0;
  while (i < cp932.size()) {
    const std::size_t n = detail::CharLen(cp932, i);
    if (ToUtf8(cp932.substr(i, n), piece)) {
      out += piece;
    } else {
      for (std::size_t k = 0; k < n; ++k) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(cp932[i + k]));
        out += hex;
      }
    }
    i += n;
  }
  return out;
}

}  // namespace plat::cp932
