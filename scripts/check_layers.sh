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
  local root=$1 links=${2:-} bad=0 folder target dep depfolder
  local -a dirs=()
  for folder in "${!allowed[@]}"; do
    [ -d "$root/$folder" ] && dirs+=("$root/$folder")
  done
  # One pass over every include line of every layer folder: grep lists the
  # lines "path:#include ...", awk judges each against the allowed table.
  local table="" key
  for key in "${!allowed[@]}"; do table+="allowed ${key} ${allowed[$key]}"$'\n'; done
  for key in "${!prefix_folder[@]}"; do table+="prefix ${key} ${prefix_folder[$key]}"$'\n'; done
  if [ ${#dirs[@]} -gt 0 ]; then
    local upward
    upward=$(grep -rHE --include='*.h' --include='*.cpp' --include='*.hpp' \
               '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[A-Za-z_]+/' "${dirs[@]}" |
             awk -v root="$root/" -v table="$table" '
               BEGIN {
                 n = split(table, rows, "\n")
                 for (i = 1; i <= n; i++) {
                   m = split(rows[i], f, " ")
                   if (f[1] == "allowed") { list[f[2]] = ""; for (j = 3; j <= m; j++) { ok[f[2], f[j]] = 1; list[f[2]] = list[f[2]] (j > 3 ? " " : "") f[j] } }
                   else if (f[1] == "prefix") owner[f[2]] = f[3]
                 }
               }
               {
                 colon = index($0, ":")
                 path = substr($0, 1, colon - 1)
                 line = substr($0, colon + 1)
                 sub(/^[[:space:]]*#[[:space:]]*include[[:space:]]*/, "#include ", line)
                 rel = substr(path, length(root) + 1)
                 folder = rel; sub(/\/.*/, "", folder)
                 prefix = line; sub(/^#include "/, "", prefix); sub(/\/.*/, "", prefix)
                 if (!(prefix in owner)) next
                 dep = owner[prefix]
                 if (!((folder, dep) in ok))
                   printf "upward include: %s: %s (%s/ may use: %s)\n", rel, line, folder, list[folder]
               }')
    if [ -n "$upward" ]; then
      echo "$upward"
      bad=1
    fi
  fi
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
