#pragma once
// Run-time number readers with the 32-bit behaviour the system expects:
// results saturate at the 32-bit limits, and nothing depends on the
// process locale.

#include <cstddef>
#include <cstdint>

namespace plat::crt {

// atoi/atol of a 32-bit run time: leading blanks, sign, decimal digits.
std::int32_t AtoI32(const char* text);
inline std::int32_t AtoL32(const char* text) { return AtoI32(text); }
// strtol/strtoul with 32-bit long (base 0 understands 0x and leading 0).
// strtoul of "-1" gives 0xFFFFFFFF as the run time does.
std::int32_t StrToL32(const char* text, char** end, int base);
std::uint32_t StrToUL32(const char* text, char** end, int base);
// Decimal only (no hex, inf, nan), always with '.' as the decimal point.
// "0x1A" reads as 0 with *end on the 'x'; "inf" and "nan" read nothing
// (0, *end = text).
double StrToD(const char* text, char** end);

// Seconds since 1970, cut to 32 bits.
std::uint32_t TimeLow32();

// The id of this process, as the run time's _getpid gives it.
std::int32_t ProcessId();

// Makes sure that the calling thread's stack can grow `bytes` below the
// caller's frame. Where the address space is limited (RLIMIT_AS), a stack
// that cannot grow ends the process with a signal, out of reach of any
// handler: so the room is checked first and the stack grown now. False
// when the limit leaves no room for it (the caller then fails for want of
// memory before it starts). Without a limit nothing is done.
bool EnsureStackRoom(std::size_t bytes);

}  // namespace plat::crt
