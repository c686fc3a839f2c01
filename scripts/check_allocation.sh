#!/usr/bin/env bash
# The check of the one rule for running out of memory (docs/errors.md):
# memory is taken with new and the standard containers, and only an entry
# point turns std::bad_alloc into its failure, through CatchAllocationFailure
# (common/allocation_guard.h). The forms that break the rule:
#   - new (std::nothrow) and a test of the pointer;
#   - malloc, calloc or realloc and a test of the pointer (a block released
#     with free is taken with AllocateBlock or AllocateZeroedBlock);
#   - a catch of std::bad_alloc of its own.
# Only common/allocation_guard.h, which holds the one catch and the two
# block allocators, may use them. Comments do not count.
#
#   check_allocation.sh <source root>
#       Scans the .h/.cpp files of the source folders and prints one line per
#       forbidden form; exits 1 when there is any.
#   check_allocation.sh --self-test <source root>
#       Runs the check on a copy of the source folders, then plants each
#       forbidden form in the copy and expects the check to catch it. Exits 1
#       when the check misses one.
set -uo pipefail

# The folders that the rule covers.
folders=(platform common tabledb matching tool gazref outside toll route tools)
# The one file that may hold the forms.
allowed_file=common/allocation_guard.h

check() {  # root
  local root=$1 folder found
  local -a dirs=()
  for folder in "${folders[@]}"; do
    [ -d "$root/$folder" ] && dirs+=("$root/$folder")
  done
  [ ${#dirs[@]} -gt 0 ] || return 0
  # grep lists every line that names a form; awk drops the comment part of
  # the line, tests the code part again and names the form it breaks.
  found=$(grep -rHnE --include='*.h' --include='*.cpp' --include='*.hpp' --include='*.c' \
            'nothrow|bad_alloc|malloc|calloc|realloc' "${dirs[@]}" |
          awk -v root="$root/" -v allowed="$allowed_file" '
            {
              first = index($0, ":")
              path = substr($0, 1, first - 1)
              rest = substr($0, first + 1)
              second = index(rest, ":")
              line = substr(rest, 1, second - 1)
              code = substr(rest, second + 1)
              rel = substr(path, length(root) + 1)
              if (rel == allowed) next
              sub(/\/\/.*/, "", code)
              what = ""
              if (code ~ /nothrow/) what = "new (std::nothrow)"
              else if (code ~ /(^|[^A-Za-z0-9_])(malloc|calloc|realloc)[[:space:]]*\(/) what = "malloc/calloc/realloc"
              else if (code ~ /catch[[:space:]]*\([^)]*bad_alloc/) what = "catch of std::bad_alloc"
              if (what != "") printf "%s:%s: %s (see docs/errors.md)\n", rel, line, what
            }')
  if [ -n "$found" ]; then
    echo "$found"
    return 1
  fi
  return 0
}

if [ "${1:-}" = "--self-test" ]; then
  root=$2
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  for folder in "${folders[@]}"; do
    [ -d "$root/$folder" ] && cp -r "$root/$folder" "$work/$folder"
  done
  mkdir -p "$work/tabledb" "$work/route" "$work/tools"
  if ! out=$(check "$work"); then
    echo "self-test: the unchanged copy fails the check:"
    echo "$out"
    exit 1
  fi
  # Each planted form must make the check fail and be named with its file.
  expect_caught() {  # file text
    local out
    printf '%s\n' "$2" >"$work/$1"
    if out=$(check "$work") || ! grep -q "^$1:" <<<"$out"; then
      echo "self-test: a planted form was not caught: $1: $2"
      exit 1
    fi
    rm "$work/$1"
  }
  expect_caught tabledb/planted_nothrow.cpp '  char* p = new (std::nothrow) char[n];'
  expect_caught route/planted_malloc.cpp 'void* p = std::malloc(n); if (!p) return 0;'
  expect_caught tools/planted_calloc.h 'auto* p = static_cast<int*>(calloc(n, 4));'
  expect_caught tabledb/planted_catch.cpp '  } catch (const std::bad_alloc&) {'
  # A comment that names a form is no form.
  printf '%s\n' '// The block is freed with free(), not taken with malloc(n).' >"$work/tabledb/planted_comment.cpp"
  if ! out=$(check "$work"); then
    echo "self-test: a comment was taken for a form:"
    echo "$out"
    exit 1
  fi
  echo "self-test: planted nothrow new, malloc, calloc and catch of std::bad_alloc caught"
  exit 0
fi

root=${1:?usage: check_allocation.sh <source root>}
if check "$root"; then
  echo "allocation: no nothrow new, malloc, calloc or catch of std::bad_alloc outside the guard"
  exit 0
fi
exit 1
