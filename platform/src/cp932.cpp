#include "plat/cp932.h"

#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "sjis_walk.h"

static_assert(std::endian::native == std::endian::little, "UTF-16LE is host order here");

namespace plat::cp932 {
namespace {

// One conversion descriptor per direction and thread, opened on first use
// and reset before every conversion: iconv_t keeps shift state and is not
// shareable between threads, and opening one costs more than most
// conversions here.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(Descriptor(to, from)) {}
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts the whole input; false on any invalid or unconvertible sequence.
  bool Run(const char* in, std::size_t inLen, std::string& out) {
    out.clear();
    if (!ok()) return false;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in);
    std::size_t left = inLen;
    char buf[1024];
    while (left > 0) {
      char* dst = buf;
      std::size_t room = sizeof buf;
      std::size_t r = iconv(cd_, &src, &left, &dst, &room);
      out.append(buf, static_cast<std::size_t>(dst - buf));
      if (r == static_cast<std::size_t>(-1)) {
        if (errno == E2BIG) continue;
        return false;
      }
      // glibc reports irreversible conversions as a positive count; CP932 has
      // none we accept silently.
      if (r != 0) return false;
    }
    char* dst = buf;
    std::size_t room = sizeof buf;
    if (iconv(cd_, nullptr, nullptr, &dst, &room) == static_cast<std::size_t>(-1)) return false;
    out.append(buf, static_cast<std::size_t>(dst - buf));
    return true;
  }

 private:
  static iconv_t Descriptor(const char* to, const char* from) {
    struct Kept {
      std::string to, from;
      iconv_t cd;
    };
    struct Cache {
      std::vector<Kept> kept;
      ~Cache() {
        for (const Kept& k : kept)
          if (k.cd != reinterpret_cast<iconv_t>(-1)) iconv_close(k.cd);
      }
    };
    thread_local Cache cache;
    for (const Kept& k : cache.kept)
      if (k.to == to && k.from == from) return k.cd;
    cache.kept.push_back({to, from, iconv_open(to, from)});
    return cache.kept.back().cd;
  }

  iconv_t cd_;
};

std::u16string BytesToU16(const std::string& bytes) {
  std::u16string s(bytes.size() / 2, u'\0');
  if (!s.empty()) std::memcpy(s.data(), bytes.data(), s.size() * 2);
  return s;
}

}  // namespace

bool ToUtf16(std::string_view cp932, std::u16string& out) {
  Converter c("UTF-16LE", "CP932");
  std::string bytes;
  if (!c.Run(cp932.data(), cp932.size(), bytes)) return false;
  out = BytesToU16(bytes);
  return true;
}

bool FromUtf16(std::u16string_view utf16, std::string& out) {
  Converter c("CP932", "UTF-16LE");
  return c.Run(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2, out);
}

// ASCII is the same bytes in CP932 and UTF-8.
static bool IsAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

bool ToUtf8(std::string_view cp932, std::string& out) {
  if (IsAscii(cp932)) {
    out.assign(cp932.data(), cp932.size());
    return true;
  }
  Converter c("UTF-8", "CP932");
  return c.Run(cp932.data(), cp932.size(), out);
}

bool FromUtf8(std::string_view utf8, std::string& out) {
  if (IsAscii(utf8)) {
    out.assign(utf8.data(), utf8.size());
    return true;
  }
  Converter c("CP932", "UTF-8");
  return c.Run(utf8.data(), utf8.size(), out);
}

bool UnitToCp932(char16_t unit, std::string& out) {
  if (unit >= 0xD800 && unit <= 0xDFFF) return false;
  return FromUtf16(std::u16string_view(&unit, 1), out);
}

std::string FromUtf16Lossy(std::u16string_view utf16, char replacement) {
  std::string out;
  std::string one;
  Converter c("CP932", "UTF-16LE");
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char16_t u = utf16[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      out.push_back(replacement);  // nothing outside the BMP exists in CP932
      ++i;
      continue;
    }
    if (u >= 0xD800 && u <= 0xDFFF) {
      out.push_back(replacement);
      continue;
    }
    if (c.Run(reinterpret_cast<const char*>(&u), 2, one))
      out += one;
    else
      out.push_back(replacement);
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
