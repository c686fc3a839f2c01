#!/usr/bin/env bash
# The layering check: every source folder includes (and its libraries link)
# only its own layer and the layers below it.
#
#   check_layers.sh <source root> [<links file>]
#       Scans the .h/.cpp files of the layer folders for #include "x/..." and
#       reads the links file (lines "folder target dependency dependency-folder",
#       written by cmake/KortLayers.cmake at configure time). Prints one line per
#       upward include or link and exits 1 when there is any.
#   check_layers.sh --self-test <source root>
#       Runs the check on a copy of the layer folders, then plants an upward
#       include and an upward link in the copy and expects the check to catch
#       both. Exits 1 when the check misses one.
set -uo pipefail

# The folders each folder may include from and link to (its own first).
declare -A allowed=(
  [platform]="platform"
  [common]="common platform"
  [tabledb]="tabledb common platform"
  [matching]="matching tabledb common platform"
  [tool]="tool matching tabledb common platform"
  [gazref]="gazref tool matching tabledb common platform"
  [outside]="outside platform"
  [toll]="toll outside platform common"
  [route]="route toll outside platform common"
)
# Include prefixes that belong to a folder of ours ("plat/" is platform's).
declare -A prefix_folder=(
  [plat]=platform [common]=common [tabledb]=tabledb [matching]=matching [tool]=tool
  [gazref]=gazref [outside]=outside [toll]=toll [route]=route [tools]=tools [tests]=tests
  [bench]=bench
)

is_allowed() {  # folder dependency-folder
  local a
  for a in ${allowed[$1]}; do [ "$a" = "$2" ] && return 0; done
  return 1
}

check() {  # root [links-file]
  local root=$1 links=${2:-} bad=0 folder file line prefix dep target depfolder
  for folder in "${!allowed[@]}"; do
    [ -d "$root/$folder" ] || continue
    while IFS= read -r -d '' file; do
      while IFS= read -r line; do
        prefix=${line#*#include \"}
        prefix=${prefix%%/*}
        dep=${prefix_folder[$prefix]:-}
        [ -n "$dep" ] || continue
        if ! is_allowed "$folder" "$dep"; then
          echo "upward include: ${file#"$root"/}: $line (${folder}/ may use: ${allowed[$folder]})"
          bad=1
        fi
      done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[A-Za-z_]+/' "$file" |
               sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*/#include /')
    done < <(find "$root/$folder" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.hpp' \) -print0)
  done
  if [ -n "$links" ]; then
    if [ ! -f "$links" ]; then
      echo "missing links file: $links"
      return 1
    fi
    while read -r folder target dep depfolder; do
      [ -n "${allowed[$folder]:-}" ] || continue
      [ -n "${allowed[$depfolder]:-}" ] || [ -n "${prefix_folder[$depfolder]:-}" ] || continue
      if ! is_allowed "$folder" "$depfolder"; then
        echo "upward link: $target ($folder/) links $dep ($depfolder/)"
        bad=1
      fi
    done <"$links"
  fi
  return $bad
}

if [ "${1:-}" = "--self-test" ]; then
  root=$2
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  for folder in "${!allowed[@]}"; do
    [ -d "$root/$folder" ] && cp -r "$root/$folder" "$work/$folder"
  done
  mkdir -p "$work/tabledb"
  : >"$work/links.txt"
  if ! out=$(check "$work" "$work/links.txt"); then
    echo "self-test: the unchanged copy fails the check:"
    echo "$out"
    exit 1
  fi
  # The check on the copy must fail and name what was planted.
  expect_caught() {  # what pattern
    local out
    if out=$(check "$work" "$work/links.txt") || ! grep -q "$2" <<<"$out"; then
      echo "self-test: a planted upward $1 was not caught"
      exit 1
    fi
  }
  # An upward include from the table database to the search services.
  printf '#include "tool/planted.h"\n' >"$work/tabledb/planted_upward.cpp"
  expect_caught include 'tabledb/planted_upward.cpp'
  rm "$work/tabledb/planted_upward.cpp"
  # An upward link.
  echo "tabledb tabledb matching matching" >"$work/links.txt"
  expect_caught link 'upward link: tabledb'
  echo "self-test: planted upward include and link caught"
  exit 0
fi

root=${1:?usage: check_layers.sh <source root> [<links file>]}
if check "$root" "${2:-}"; then
  echo "layers: every include and link goes to the folder's own layer or below"
  exit 0
fi
exit 1
