#!/usr/bin/env bash
# Builds everything and runs every test twice: a normal build, then a build
# with AddressSanitizer and UBSan (leaks included), both with warnings as
# errors. Last, the threaded tests alone are built and run under
# ThreadSanitizer. First the set-up step (scripts/setup.sh) installs what
# the build and the tests need where something is missing
# (KORT_SKIP_SETUP=1 skips it).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 4)
# A compiler cache, where the machine has one, makes the second build cheap.
if command -v ccache >/dev/null 2>&1; then export CMAKE_CXX_COMPILER_LAUNCHER=ccache; fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORT_WERROR=ON
cmake --build build -j"$jobs"
ctest --test-dir build -j"$jobs" --output-on-failure --timeout 600

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKORT_SANITIZE=ON -DKORT_WERROR=ON
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan -j"$jobs" --output-on-failure --timeout 1200

# Only the test programs that run threads: the platform layer (the store of
# derived values read and written from several threads), its kept folder
# names, the message queue, the toll library and its facade, the
# multi-level address search stopped from another thread, and the route
# library's facade.
tsan_tests=(test_platform test_plat_threads test_plat_msg test_toll test_toll_lib test_gazref_stop test_tvxroute)
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DKORT_SANITIZE_THREAD=ON
cmake --build build-tsan -j"$jobs" --target "${tsan_tests[@]}"
for t in "${tsan_tests[@]}"; do
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 build-tsan/tests/"$t"
done
