#include "plat/crt.h"

#include <fcntl.h>
#include <locale.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <string>

namespace plat::crt {
namespace {

// The blanks of the "C" locale's isspace.
bool IsBlank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

int DigitValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

struct Integer {
  bool negative = false;
  bool overflow = false;  // the magnitude went past `limit`
  std::uint64_t magnitude = 0;
};

// The strtol/strtoul reading: blanks, sign, base prefix, digits. `end`
// gets the first byte not read, or the start of the text when no digit was.
bool ReadInteger(const char* text, char** end, int base, std::uint64_t limit, Integer& out) {
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  while (IsBlank(*s)) ++s;
  if (*s == '+' || *s == '-') {
    out.negative = *s == '-';
    ++s;
  }
  const bool hexPrefix = s[0] == '0' && (s[1] == 'x' || s[1] == 'X') && DigitValue(s[2]) < 16;
  if (base == 0) {
    if (hexPrefix) {
      base = 16;
      s += 2;
    } else {
      base = s[0] == '0' ? 8 : 10;
    }
  } else if (base == 16 && hexPrefix) {
    s += 2;
  }
  if (base < 2 || base > 36) {
    errno = EINVAL;
    if (end) *end = const_cast<char*>(text);
    return false;
  }
  bool any = false;
  for (int d; (d = DigitValue(*s)) < base; ++s) {
    any = true;
    if (out.overflow) continue;
    out.magnitude = out.magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(d);
    if (out.magnitude > limit) out.overflow = true;
  }
  if (end) *end = const_cast<char*>(any ? reinterpret_cast<const char*>(s) : text);
  return any;
}

locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c;
}

}  // namespace

std::int32_t AtoI32(const char* text) {
  if (!text) return 0;
  return StrToL32(text, nullptr, 10);
}

std::int32_t StrToL32(const char* text, char** end, int base) {
  if (!text) {
    if (end) *end = nullptr;
    return 0;
  }
  Integer v;
  // A negative number may reach one further than a positive one.
  const char* s = text;
  while (IsBlank(static_cast<unsigned char>(*s))) ++s;
  const std::uint64_t limit = *s == '-' ? 0x80000000u : 0x7FFFFFFFu;
  if (!ReadInteger(text, end, base, limit, v)) return 0;
  if (v.overflow) {
    errno = ERANGE;
    return v.negative ? INT32_MIN : INT32_MAX;
  }
  std::int64_t r = static_cast<std::int64_t>(v.magnitude);
  return static_cast<std::int32_t>(v.negative ? -r : r);
}

std::uint32_t StrToUL32(const char* text, char** end, int base) {
  if (!text) {
    if (end) *end = nullptr;
    return 0;
  }
  Integer v;
  if (!ReadInteger(text, end, base, 0xFFFFFFFFu, v)) return 0;
  if (v.overflow) {
    errno = ERANGE;
    return 0xFFFFFFFFu;
  }
  // Like the run time, a negative number is the negated magnitude ("-1" is
  // 0xFFFFFFFF).
  std::uint32_t m = static_cast<std::uint32_t>(v.magnitude);
  return v.negative ? 0u - m : m;
}

// Only decimal text is read: blanks, sign, digits with an optional '.', an
// optional exponent. "0x1A" reads as 0 ending at the 'x'; "inf" and "nan"
// read nothing (0, end at the start).
double StrToD(const char* text, char** end) {
  if (!text) {
    if (end) *end = nullptr;
    return 0.0;
  }
  const char* s = text;
  while (IsBlank(static_cast<unsigned char>(*s))) ++s;
  const char* start = s;
  if (*s == '+' || *s == '-') ++s;
  std::size_t digits = 0;
  while (IsDigit(static_cast<unsigned char>(*s))) ++s, ++digits;
  if (*s == '.') {
    ++s;
    while (IsDigit(static_cast<unsigned char>(*s))) ++s, ++digits;
  }
  if (digits == 0) {
    if (end) *end = const_cast<char*>(text);
    return 0.0;
  }
  if (*s == 'e' || *s == 'E') {
    const char* e = s + 1;
    if (*e == '+' || *e == '-') ++e;
    if (IsDigit(static_cast<unsigned char>(*e))) {
      while (IsDigit(static_cast<unsigned char>(*e))) ++e;
      s = e;
    }
  }
  // The text is checked to be decimal; the C locale's reader does the
  // correctly rounded conversion (and sets ERANGE as strtod does).
  std::string number(start, s);
  locale_t c = CLocale();
  double v = c ? strtod_l(number.c_str(), nullptr, c) : strtod(number.c_str(), nullptr);
  if (end) *end = const_cast<char*>(s);
  return v;
}

std::uint32_t TimeLow32() { return static_cast<std::uint32_t>(std::time(nullptr)); }

std::int32_t ProcessId() { return static_cast<std::int32_t>(::getpid()); }

namespace {

// The address space the process has mapped, in bytes (the first field of
// /proc/self/statm, in pages); 0 when it cannot be read.
std::uint64_t MappedBytes() {
  const int fd = ::open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  char text[64];
  ssize_t got;
  do {
    got = ::read(fd, text, sizeof text - 1);
  } while (got < 0 && errno == EINTR);
  ::close(fd);
  if (got <= 0) return 0;
  std::uint64_t pages = 0;
  for (ssize_t i = 0; i < got && IsDigit(static_cast<unsigned char>(text[i])); ++i)
    pages = pages * 10 + static_cast<std::uint64_t>(text[i] - '0');
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  return pages * static_cast<std::uint64_t>(pageSize > 0 ? pageSize : 4096);
}

// Touches `bytes` of stack below the caller, a page at a time, so that the
// kernel maps them now.
constexpr std::size_t kTouchStep = 4096;
[[gnu::noinline]] void TouchStack(std::size_t bytes) {
  char step[kTouchStep];
  volatile char* const touch = step;
  touch[0] = 0;
  if (bytes > kTouchStep) TouchStack(bytes - kTouchStep);
  touch[kTouchStep - 1] = 0;  // after the call: it cannot become a jump
}

}  // namespace

bool EnsureStackRoom(std::size_t bytes) {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return true;
  const std::uint64_t mapped = MappedBytes();
  if (mapped == 0 || mapped + bytes > static_cast<std::uint64_t>(limit.rlim_cur)) return false;
  TouchStack(bytes);
  return true;
}

}  // namespace plat::crt
