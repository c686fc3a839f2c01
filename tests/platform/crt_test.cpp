#include "plat/crt.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

using namespace plat::crt;

TEST(Crt, AtoI32SaturatesAtThirtyTwoBits) {
  struct Case {
    const char* text;
    std::int32_t want;
  } cases[] = {
      {"123", 123},
      {"  -45x", -45},
      {"+7", 7},
      {"abc", 0},
      {"", 0},
      {"0x10", 0},
      {"010", 10},
      {"2147483647", INT32_MAX},
      {"2147483648", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"-99999999999", INT32_MIN},
  };
  for (const Case& c : cases) EXPECT_EQ(AtoI32(c.text), c.want) << c.text;
  EXPECT_EQ(AtoI32(nullptr), 0);
  EXPECT_EQ(AtoL32("4294967296"), INT32_MAX);
}

TEST(Crt, StrToL32AndStrToUL32WithThirtyTwoBitLong) {
  struct Case {
    const char* text;
    int base;
    std::int64_t want;
    std::ptrdiff_t end;
    bool range;
    bool isUnsigned;
  } cases[] = {
      {"0x10", 0, 16, 4, false, false},
      {"010", 0, 8, 3, false, false},
      {"09", 0, 0, 1, false, false},
      {"0x", 0, 0, 1, false, false},
      {"  -0x1F z", 0, -31, 7, false, false},
      {"0x10", 10, 0, 1, false, false},
      {"0x1f", 16, 31, 4, false, false},
      {"zz", 36, 1295, 2, false, false},
      {"  ", 0, 0, 0, false, false},
      {"+", 0, 0, 0, false, false},
      {"2147483647", 0, INT32_MAX, 10, false, false},
      {"4294967296", 0, INT32_MAX, 10, true, false},
      {"-2147483648", 0, INT32_MIN, 11, false, false},
      {"-2147483649", 0, INT32_MIN, 11, true, false},
      {"-1", 0, 0xFFFFFFFF, 2, false, true},
      {"-0x10", 0, 0xFFFFFFF0, 5, false, true},
      {"4294967295", 0, 0xFFFFFFFF, 10, false, true},
      {"4294967296", 0, 0xFFFFFFFF, 10, true, true},
      {"99999999999999999999999", 10, 0xFFFFFFFF, 23, true, true},
      {"010", 0, 8, 3, false, true},
  };
  for (const Case& c : cases) {
    char* end = nullptr;
    errno = 0;
    std::int64_t got = c.isUnsigned ? std::int64_t{StrToUL32(c.text, &end, c.base)}
                                    : std::int64_t{StrToL32(c.text, &end, c.base)};
    EXPECT_EQ(got, c.want) << c.text;
    EXPECT_EQ(end - c.text, c.end) << c.text;
    EXPECT_EQ(errno == ERANGE, c.range) << c.text;
  }
}

TEST(Crt, StrToDReadsDecimalOnly) {
  struct Case {
    const char* text;
    double want;
    std::ptrdiff_t end;
  } cases[] = {
      {"1.5", 1.5, 3},
      {" -2.25e2x", -225.0, 8},
      {"0x1A", 0.0, 1},
      {"inf", 0.0, 0},
      {"-inf", 0.0, 0},
      {"nan", 0.0, 0},
      {".", 0.0, 0},
      {".5", 0.5, 2},
      {"5.", 5.0, 2},
      {"1e", 1.0, 1},
      {"1e+", 1.0, 1},
      {"1,5", 1.0, 1},
      {"35.681236", 35.681236, 9},
  };
  for (const Case& c : cases) {
    char* end = nullptr;
    EXPECT_EQ(StrToD(c.text, &end), c.want) << c.text;
    EXPECT_EQ(end - c.text, c.end) << c.text;
  }
  errno = 0;
  EXPECT_TRUE(std::isinf(StrToD("1e999", nullptr)));
  EXPECT_EQ(errno, ERANGE);
}

TEST(Crt, TimeLow32IsTheClockCutToThirtyTwoBits) {
  const auto before = static_cast<std::uint32_t>(std::time(nullptr));
  const std::uint32_t t = TimeLow32();
  EXPECT_LE(t - before, 2u);
}

namespace {

// Uses nearly 6 MiB of stack (in a frame of its own, so that the caller's
// frame does not map it first).
[[gnu::noinline]] bool TouchDeepStack() {
  volatile char deep[5 * 1024 * 1024 + 512 * 1024];
  deep[0] = 1;
  return deep[0] == 1;
}

}  // namespace

// Under an address-space limit the stack is grown now where the limit leaves
// room for it, and refused (without a signal) where it does not; without a
// limit nothing is asked. Each case runs in a child process of its own.
TEST(Crt, EnsureStackRoomGrowsTheStackOrRefusesUnderAnAddressSpaceLimit) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer cannot run under an address-space limit";
#endif
  // More than the test program's stack has been before, within the stack
  // limit (8 MiB).
  constexpr std::size_t kRoom = 6 * 1024 * 1024;
  // The child's answer: 1 room made (and the stack mapped that far), 0 refused.
  const auto inChild = [](long extraBytes) {
    const pid_t pid = fork();
    if (pid == 0) {
      long pages = 0;
      if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
        std::fclose(statm);
      }
      if (pages <= 0) _exit(3);
      if (extraBytes >= 0) {
        const rlim_t size = static_cast<rlim_t>(pages * sysconf(_SC_PAGESIZE) + extraBytes);
        struct rlimit limit = {size, RLIM_INFINITY};
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(3);
      }
      if (!EnsureStackRoom(kRoom)) _exit(0);
      // The rest of the address space taken, the stack still reaches that
      // far: it was mapped before.
      while (extraBytes >= 0 && mmap(nullptr, 4096, PROT_READ | PROT_WRITE,
                                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) != MAP_FAILED) {
      }
      _exit(TouchDeepStack() ? 1 : 3);
    }
    int status = -1;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
  };
  EXPECT_EQ(inChild(-1), 1);                                     // no limit
  EXPECT_EQ(inChild(64 * 1024), 0);                              // no room
  EXPECT_EQ(inChild(static_cast<long>(kRoom) + 256 * 1024), 1);  // room
}
