#!/usr/bin/env bash
# The check that the set-up step (scripts/setup.sh) installs what the CMake
# configuration asks for: every find_package (and find_dependency of the
# package configuration files), every find_program and find_path with
# REQUIRED, every header of check_include_file(s)/_cxx and every module of
# pkg_check_modules/pkg_search_module in the tree's CMakeLists.txt, *.cmake
# and *.cmake.in files (the build folders left out) must be
# answered by a line of `setup.sh --list` (package:<name>, cmd:<program>,
# header:<header>, pkgconfig:<module>). The packages the tree makes itself
# (a <name>Config.cmake written by configure_package_config_file) are found
# by the tests' host projects and need nothing. Comments do not count.
#
#   check_setup.sh <source root>
#       Prints one line per request that the list does not answer; exits 1
#       when there is any.
#   check_setup.sh --self-test <source root>
#       Runs the check on a copy of the CMake files and the set-up script,
#       then plants requests without a package in the copy (and takes a
#       package out of its list) one at a time and expects the check to catch
#       each. Exits 1 when the check misses one.
set -uo pipefail

# The CMake files of the tree, one a line.
cmake_files() {  # root
  find "$1" \( -name .git -o -path "$1/build*" \) -prune -o \
    -type f \( -name CMakeLists.txt -o -name '*.cmake' -o -name '*.cmake.in' \) -print | sort
}

# The calls of interest in the files, one a line: "<file> <command> <arg>
# <arg>...", the file relative to the root, the command in lower case, comments dropped and calls that span lines
# joined.
calls() {  # root files...
  local root=$1 f
  shift
  for f in "$@"; do
    sed 's/#.*//' "$f" | tr '\n\t' '  ' |
      grep -oiE '\b(find_package|find_dependency|find_program|find_path|check_include_files?|check_include_file_cxx|pkg_check_modules|pkg_search_module|configure_package_config_file)[[:space:]]*\([^)]*\)' |
      sed -E 's/[[:space:]]*\(/ /; s/\)$//; s/"//g; s/[[:space:]]+/ /g' |
      awk -v file="${f#"$root"/}" '{ $1 = tolower($1); print file, $0 }'
  done
}

# The names after NAMES (or the one name after the variable) of a
# find_program or find_path call, given its arguments after the variable.
names_of() {
  local -a out=()
  if [ "${1:-}" = NAMES ]; then
    shift
    while [ $# -gt 0 ] && ! [[ $1 =~ ^[A-Z_]+$ ]]; do out+=("$1"); shift; done
  else
    out=("${1:-}")
  fi
  echo "${out[*]}"
}

check() {  # root
  local root=$1 answered own line cmd bad=0 name h any
  local -a files args wanted
  answered=$(bash "$root/scripts/setup.sh" --list | awk '{ for (i = 3; i <= NF; i++) print $i }') ||
    { echo "scripts/setup.sh --list failed"; return 1; }
  mapfile -t files < <(cmake_files "$root")
  local all
  all=$(calls "$root" "${files[@]}")
  own=$(grep -E '^[^ ]+ configure_package_config_file ' <<<"$all" |
        grep -oE '[A-Za-z0-9_]+Config\.cmake' | sed 's/Config\.cmake$//' | sort -u)
  has() { grep -qxF -- "$1" <<<"$answered"; }
  missing() {  # request what
    echo "$file: $1 is not answered by scripts/setup.sh --list (wants $2)"
    bad=1
  }
  local file
  while read -r file cmd line; do
    [ -n "$cmd" ] || continue
    read -r -a args <<<"$line"
    case $cmd in
      find_package | find_dependency)
        name=${args[0]}
        grep -qxF -- "$name" <<<"$own" && continue
        has "package:$name" || missing "$cmd($name)" "package:$name"
        ;;
      find_program | find_path)
        [[ " $line " == *" REQUIRED "* ]] || continue
        read -r -a wanted <<<"$(names_of "${args[@]:1}")"
        any=0
        for name in "${wanted[@]}"; do
          if [ "$cmd" = find_program ]; then has "cmd:$name" && any=1; else has "header:$name" && any=1; fi
        done
        if [ $any -eq 0 ]; then
          [ "$cmd" = find_program ] && missing "$cmd(${args[*]})" "cmd:${wanted[0]}"
          [ "$cmd" = find_path ] && missing "$cmd(${args[*]})" "header:${wanted[0]}"
        fi
        ;;
      check_include_file | check_include_file_cxx | check_include_files)
        for h in ${args[0]//;/ }; do
          has "header:$h" || missing "$cmd($h)" "header:$h"
        done
        ;;
      pkg_check_modules | pkg_search_module)
        any=0
        wanted=()
        for name in "${args[@]:1}"; do
          [[ $name =~ ^[A-Z_]+$ ]] && continue
          name=${name%%[<>=]*}
          wanted+=("$name")
          if has "pkgconfig:$name"; then
            any=1
          elif [ "$cmd" = pkg_check_modules ]; then
            missing "$cmd($name)" "pkgconfig:$name"
          fi
        done
        [ "$cmd" = pkg_search_module ] && [ $any -eq 0 ] &&
          missing "$cmd(${wanted[*]})" "pkgconfig:${wanted[0]:-}"
        ;;
    esac
  done <<<"$all"
  [ $bad -eq 0 ] && echo "scripts/setup.sh answers every package request of $(echo "${files[@]}" | wc -w) CMake files"
  return $bad
}

self_test() {  # root
  local root=$1 work f fails=0
  work=$(mktemp -d "${TMPDIR:-/tmp}/check_setup.XXXXXX") || return 1
  trap 'rm -rf "$work"' RETURN
  fresh() {  # a clean copy of the CMake files and the set-up script in $work/tree
    rm -rf "$work/tree"
    mkdir -p "$work/tree/scripts"
    cp "$root/scripts/setup.sh" "$work/tree/scripts/"
    while read -r f; do
      mkdir -p "$work/tree/$(dirname "${f#"$root"/}")"
      cp "$f" "$work/tree/${f#"$root"/}"
    done < <(cmake_files "$root")
  }
  expect() {  # description word-that-must-be-named
    local out
    if out=$(check "$work/tree"); then
      echo "missed: $1"
      fails=1
    elif ! grep -qF -- "$2" <<<"$out"; then
      echo "caught $1 but did not name $2: $out"
      fails=1
    else
      echo "caught: $1"
    fi
  }
  fresh
  if ! check "$work/tree" >/dev/null; then
    echo "the copy of the tree fails before anything is planted:"
    check "$work/tree"
    return 1
  fi
  # A comment does not count.
  printf '# find_package(ZLIB REQUIRED)\n' >>"$work/tree/toll/CMakeLists.txt"
  if ! check "$work/tree" >/dev/null; then
    echo "a find_package in a comment was counted"
    fails=1
  fi
  fresh
  printf 'find_package(\n  ZLIB\n  REQUIRED)\n' >>"$work/tree/toll/CMakeLists.txt"
  expect "a find_package over three lines" "find_package(ZLIB)"
  fresh
  printf 'FIND_PACKAGE(OpenSSL)\n' >>"$work/tree/cmake/KortPackaging.cmake"
  expect "a FIND_PACKAGE in upper case in cmake/" "find_package(OpenSSL)"
  fresh
  printf 'find_dependency(ZLIB)\n' >>"$work/tree/toll/TollConfig.cmake.in"
  expect "a find_dependency of a package configuration file" "find_dependency(ZLIB)"
  fresh
  printf 'include(CheckIncludeFileCXX)\ncheck_include_file_cxx(zstd.h KORT_HAVE_ZSTD)\n' >>"$work/tree/platform/CMakeLists.txt"
  expect "a header of check_include_file_cxx" "header:zstd.h"
  fresh
  printf 'pkg_check_modules(ZSTD REQUIRED IMPORTED_TARGET libzstd>=1.4)\n' >>"$work/tree/platform/CMakeLists.txt"
  expect "a module of pkg_check_modules" "pkgconfig:libzstd"
  fresh
  printf 'find_program(KORT_XXD NAMES xxd REQUIRED)\n' >>"$work/tree/tests/CMakeLists.txt"
  expect "a required find_program" "cmd:xxd"
  fresh
  sed -i '/^  "libboost-dev /d' "$work/tree/scripts/setup.sh"
  expect "the boost headers taken out of the list" "find_package(Boost)"
  return $fails
}

if [ "${1:-}" = --self-test ]; then
  self_test "${2:?usage: $0 --self-test <source root>}"
else
  check "${1:?usage: $0 <source root>}"
fi
