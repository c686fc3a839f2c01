#!/usr/bin/env bash
# The set-up step of scripts/run_sample.sh, scripts/test.sh and .ci/run:
# finds the programs, headers and packages the build needs and installs the
# missing ones with apt-get (Debian, Ubuntu).
#
#   setup.sh [sample|all]
#       sample: what scripts/run_sample.sh needs (the compiler, CMake, the
#       build tool, the boost headers, glibc's iconv with its CP932 module,
#       lld, which links kort: without it the default linker does; LMDB,
#       the store of derived values, found through pkg-config; the xxHash
#       header, the checksums of the store's records);
#       all (the default): that and what the tests and the benchmarks need
#       (GoogleTest, Google Benchmark, the C compiler, binutils).
#       When everything is present it installs nothing and prints one line.
#       Otherwise it runs apt-get update once and apt-get install -y with the
#       missing packages, as root or through sudo; where neither can install
#       (not root and no sudo, no apt-get, a refused sudo) it prints the
#       install command to run and exits 1.
#   setup.sh --list
#       Prints the package list, one package a line: the package, the use
#       (sample or all), how it is found and what of the build it answers
#       (package:<find_package name>, header:<header>, cmd:<program>,
#       pkgconfig:<module>). The test that keeps the list complete reads it.
#
# KORT_SKIP_SETUP=1 skips the step (a machine that manages its own
# packages): nothing is checked and nothing is printed.
set -euo pipefail

# One line a package: <package> <use> <how it is found> [<what it answers>...].
# The first check decides whether the package is present; the fields after
# it are the other things the build asks for that the package brings.
# Checks: cmd:<program> (on PATH), header:<path> (under /usr/include or
# /usr/local/include), iconv:<charset> (glibc's iconv converts to it),
# package:<name> (what find_package(<name>) finds; no check of its own).
packages=(
  "g++ sample cmd:g++"
  "cmake sample cmd:cmake"
  "bash sample cmd:bash"
  "libc6-dev sample header:pthread.h package:Threads"
  "libc-bin sample cmd:iconv"
  "libc6 sample iconv:CP932"
  "libboost-dev sample header:boost/shared_ptr.hpp package:Boost"
  "lld sample cmd:ld.lld"
  "gcc all cmd:cc cmd:gcc"
  "binutils all cmd:readelf cmd:nm cmd:c++filt"
  "pkg-config sample cmd:pkg-config package:PkgConfig"
  "libgtest-dev all header:gtest/gtest.h package:GTest"
  "libbenchmark-dev all header:benchmark/benchmark.h package:benchmark"
  "liblmdb-dev sample header:lmdb.h pkgconfig:lmdb"
  "libxxhash-dev sample header:xxhash.h"
)
# The build tool of CMake's generator (CMAKE_GENERATOR, else Unix Makefiles).
case ${CMAKE_GENERATOR:-} in
  *Ninja*) packages+=("ninja-build sample cmd:ninja") ;;
  *) packages+=("make sample cmd:make") ;;
esac

if [ "${1:-}" = --list ]; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi
[ "${KORT_SKIP_SETUP:-}" = 1 ] && exit 0

use=${1:-all}
case $use in
  sample) need="the build and the sample run need" ;;
  all) need="the build, the tests and the benchmarks need" ;;
  *) echo "usage: $0 [sample|all] | --list" >&2; exit 2 ;;
esac

present() {  # check
  local what=${1#*:}
  case $1 in
    cmd:*) command -v "$what" >/dev/null 2>&1 ;;
    header:*) [ -f "/usr/include/$what" ] || [ -f "/usr/local/include/$what" ] ;;
    iconv:*) command -v iconv >/dev/null 2>&1 && iconv -f UTF-8 -t "$what" </dev/null >/dev/null 2>&1 ;;
    *) echo "$0: unknown check $1" >&2; exit 2 ;;
  esac
}

missing=()
find_missing() {
  missing=()
  local line package pkg_use check rest
  for line in "${packages[@]}"; do
    read -r package pkg_use check rest <<<"$line"
    [ "$use" = sample ] && [ "$pkg_use" != sample ] && continue
    present "$check" || missing+=("$package")
  done
}

find_missing
if [ ${#missing[@]} -eq 0 ]; then
  echo "Set-up: everything $need is present (KORT_SKIP_SETUP=1 skips this check)"
  exit 0
fi

install_command="apt-get update && apt-get install -y ${missing[*]}"
give_up() {  # reason
  echo "Set-up: missing ${missing[*]}; $1." >&2
  echo "Install them as root with" >&2
  echo "    $install_command" >&2
  echo "(or set KORT_SKIP_SETUP=1 where the machine has them another way)." >&2
  exit 1
}
command -v apt-get >/dev/null 2>&1 || give_up "there is no apt-get to install them with"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null 2>&1 || give_up "not root and there is no sudo"
  as_root=(sudo)
fi

echo "Set-up: installing ${missing[*]} (what $need) with apt-get"
apt() { "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -q "$@"; }
apt update || give_up "apt-get update failed"
apt install -y "${missing[@]}" || give_up "apt-get install failed"

find_missing
if [ ${#missing[@]} -gt 0 ]; then
  echo "Set-up: still missing after the install: ${missing[*]}" >&2
  exit 1
fi
echo "Set-up: done"
