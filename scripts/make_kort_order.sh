#!/usr/bin/env bash
# Writes tool/kort.order: the order in which the linker (lld, through
# --symbol-ordering-file; see tool/CMakeLists.txt) lays out the functions of
# kort. kort runs once per job, and every page of program text a job
# touches for the first time costs the job a page fault; with the functions
# that jobs execute packed together at the start of the text, a job touches
# a few pages instead of pages spread over the whole program.
#
# The order changes the speed of a job, never a result. A name that no
# longer exists is skipped by the link and a new function missing from the
# file is merely laid out further away, so an old file is harmless.
# Regenerate the file, and commit it, after changes to what a job runs
# (functions renamed, added or split, a new compiler or C library), when the
# page faults of a job (`perf stat -e page-faults build/kort <job> ...`)
# have grown.
#
#   make_kort_order.sh <build folder> [<order file>]
#
# The build folder must be a Release build (the build whose speed counts:
# other build types name the compiler's copies of functions differently).
# The script builds kort and the sample data there; when the folder holds
# the national-shape set (target national_data) it copies kort beside it.
# The order file defaults to tool/kort.order of this tree. KORT_BUILD_JOBS:
# the number of build jobs (default 3).
#
# The jobs: one of each kind on the sample data (address matching, the
# hierarchy listing, the keyword search, the postal-code search, reverse
# geocoding; address matching also to a block and without the prefecture),
# and address matching on the national-shape set with and without the
# prefecture when the folder has it. Each runs once to fill a
# private cache folder, as a job in use finds it, and again under callgrind,
# which records the functions executed under the names the linker knows
# (mangled, with the compiler's copies such as .constprop.0, .isra.0 and
# .part.0). A job that does not succeed stops the script.
#
# Valgrind's processor lacks instructions that this machine may have
# (AVX-512), so the C library picks other variants of memcpy, strlen and the
# like under valgrind than on the machine. gdb reads the variant that each
# of the program's indirect functions picked in both; the machine's
# variant takes the place of valgrind's, and valgrind's goes to the end of
# the list (for machines that pick it).
#
# The order: the functions of the first job, then those of the second job
# that are not listed yet, and so on, in the order of the jobs below
# (address matching first); within a job, the functions that execute the
# most instructions first.
#
# Needs valgrind (with vgdb) and gdb besides the build's tools; only this
# script uses them, so scripts/setup.sh does not install them.
set -euo pipefail

usage="usage: $0 <Release build folder> [<order file>]"
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -lt 1 ] || [ $# -gt 2 ]; then echo "$usage" >&2; exit 2; fi
[ -f "$1/CMakeCache.txt" ] || { echo "$0: $1 is not a CMake build folder" >&2; exit 2; }
build=$(cd "$1" && pwd)
out=${2:-$root/tool/kort.order}

for program in valgrind vgdb gdb nm readelf iconv cmake; do
  command -v "$program" >/dev/null 2>&1 || { echo "$0: $program is needed" >&2; exit 1; }
done
if ! grep -qx 'CMAKE_BUILD_TYPE:STRING=Release' "$build/CMakeCache.txt"; then
  echo "$0: $build is not a Release build (CMAKE_BUILD_TYPE=Release)" >&2
  exit 1
fi

cmake --build "$build" -j"${KORT_BUILD_JOBS:-3}" --target kort sampledata >/dev/null
kort=$build/kort
national=$build/national
have_national=0
if [ -d "$national/Database" ] && [ -f "$national/addresses_with_prefecture.txt" ]; then
  have_national=1
  cmp -s "$kort" "$national/kort" || cp "$kort" "$national/kort"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/kort-order.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME=$work/cache

# The jobs, in the order their functions are listed: "<name> <program>".
jobs=()
add_job() {  # name program line... (the job's lines in UTF-8)
  local name=$1 program=$2
  shift 2
  printf '%s\r\n' "$@" | iconv -f UTF-8 -t CP932 >"$work/$name.job"
  jobs+=("$name $program")
}
first_address() {  # list file (CP932, one address a line): its first address in UTF-8
  head -n 1 "$1" | tr -d '\r\n' | iconv -f CP932 -t UTF-8
}
add_job match_sample "$kort" 3000 "東京都千代田区丸の内一丁目" 0 1 0 1 1 1 1 1 1 8 x
if [ $have_national -eq 1 ]; then
  add_job match_national "$national/kort" \
    3000 "$(first_address "$national/addresses_with_prefecture.txt")" 0 1 0 1 1 1 1 1 1 8 x
  add_job match_national_without_prefecture "$national/kort" \
    3000 "$(first_address "$national/addresses_without_prefecture.txt")" 0 1 0 1 1 1 1 1 1 8 x
fi
add_job match_sample_block "$kort" 3000 "東京都千代田区丸の内二丁目３" 0 1 0 1 1 1 1 1 1 8 x
add_job match_sample_without_prefecture "$kort" 3000 "千代田区丸の内一丁目" 0 1 0 1 1 1 1 1 1 8 x
add_job listing "$kort" 1000 "東京都" -1 1 1 1 8 x
add_job keyword "$kort" 1 2 "丸の内" -1 1 1 1 1 1 1 8 x
add_job postal "$kort" 2000 "〒100-0005" 1 1 1 1 1 8 x
add_job reverse "$kort" 4000 128446464 503165554 1 1 1 1 1 8 x

# Each job's functions, one a line: "<instructions> <name>".
for job in "${jobs[@]}"; do
  read -r name program <<<"$job"
  run=("$program" "$work/$name.job" "$work/result.txt" "$work/status.txt")
  "${run[@]}"
  if [ "$(head -n 1 "$work/status.txt" 2>/dev/null | tr -d '\r')" != 1 ]; then
    echo "$0: the job $name did not succeed; its status file:" >&2
    iconv -f CP932 -t UTF-8 "$work/status.txt" >&2 || true
    exit 1
  fi
  valgrind --tool=callgrind --demangle=no --show-below-main=yes \
    --callgrind-out-file="$work/$name.callgrind" "${run[@]}" 2>"$work/$name.valgrind.log" ||
    { cat "$work/$name.valgrind.log" >&2; exit 1; }
  # fn= starts a function's costs, calls= precedes the inclusive cost of a
  # call (not the function's own); a name is spelt out at its first use
  # only, "(<id>) <name>", and by "(<id>)" after that.
  awk '
    function named(s,   id) {
      id = s; sub(/\).*/, "", id)
      if (sub(/^\([0-9]+\) /, "", s)) name[id] = s
      return name[id]
    }
    /^fn=/ { fn = named(substr($0, 4)); seen[fn] = 1; call = 0; next }
    /^cfn=/ { named(substr($0, 5)); next }
    /^calls=/ { call = 1; next }
    /^[0-9+*-]/ { if (!call) cost[fn] += $2; call = 0 }
    END { for (f in seen) print cost[f] + 0, f }
  ' "$work/$name.callgrind" | sort -k1,1nr -k2,2 >"$work/$name.functions"
done

# The program's function symbols, "<address> <name>", for names that
# callgrind gives as an address and for the variants gdb reports.
nm --defined-only "$kort" | awk '$2 ~ /^[TtWwi]$/ { print $1, $3 }' | sort >"$work/symbols"

# The variant each indirect function's slot holds on entry to main: on this
# machine, then under valgrind. "<slot> <address>", addresses as nm writes them.
slots=$(readelf -rW "$kort" | awk '$3 == "R_X86_64_IRELATIVE" { print "0x" $1 }')
reads=()
for slot in $slots; do reads+=(-ex "x/gx $slot"); done
read_slots() {  # the output of gdb's x/gx commands
  awk '/^0x[0-9a-f]+.*:/ { s = $1; sub(/:$/, "", s); v = $NF; sub(/^0x/, "", v)
         while (length(v) < 16) v = "0" v; print s, v }'
}
: >"$work/machine.slots"
: >"$work/valgrind.slots"
if [ -n "$slots" ]; then
  gdb -batch -nx -ex 'break main' -ex run "${reads[@]}" -ex kill --args "$kort" 2>/dev/null |
    read_slots >"$work/machine.slots"
  valgrind --tool=none --vgdb=yes --vgdb-error=0 --vgdb-prefix="$work/vgdb" "$kort" \
    >"$work/vgdb.log" 2>&1 &
  valgrind_pid=$!
  gdb -batch -nx -ex "target remote | vgdb --vgdb-prefix=$work/vgdb --pid=$valgrind_pid --wait=60" \
    -ex 'break main' -ex continue "${reads[@]}" -ex kill "$kort" 2>/dev/null |
    read_slots >"$work/valgrind.slots"
  wait "$valgrind_pid" 2>/dev/null || true
  count=$(wc -w <<<"$slots")
  if [ "$(wc -l <"$work/machine.slots")" -ne "$count" ] ||
     [ "$(wc -l <"$work/valgrind.slots")" -ne "$count" ]; then
    echo "$0: gdb did not read the $count indirect-function slots of $kort" >&2
    exit 1
  fi
fi

# The list: each job's functions not listed yet; a name callgrind gives as an
# address becomes the symbol there; valgrind's variant of an indirect function
# becomes the machine's, and valgrind's goes to the end.
{
  echo "# The order in which the linker lays out kort's functions (lld"
  echo "# --symbol-ordering-file): the functions kort jobs execute, packed together"
  echo "# so that a job touches few pages of program text. It changes speed only,"
  echo "# never results. Written by scripts/make_kort_order.sh, which says when to"
  echo "# regenerate it; do not edit by hand."
  for job in "${jobs[@]}"; do
    read -r name program <<<"$job"
    awk '{ print FILENAME, $0 }' "$work/$name.functions"
  done | awk -v symbols="$work/symbols" -v machine="$work/machine.slots" \
             -v valgrind="$work/valgrind.slots" '
    BEGIN {
      while ((getline line < symbols) > 0) {
        split(line, f, " ")
        if (!(f[2] in address)) address[f[2]] = f[1]
        names[f[1]] = (f[1] in names) ? names[f[1]] " " f[2] : f[2]
      }
      while ((getline line < machine) > 0) { split(line, f, " "); here[f[1]] = f[2] }
      while ((getline line < valgrind) > 0) {
        split(line, f, " ")
        if (here[f[1]] != f[2]) instead[f[2]] = here[f[1]]
      }
    }
    # Every name of the function at an address (the linker knows an
    # indirect function by the name of its selector, callgrind by another).
    function add(a,   i, k, all) {
      if (a in listed) return
      listed[a] = 1
      k = split(names[a], all, " ")
      for (i = 1; i <= k; i++) print all[i]
    }
    {
      n = $3
      sub(/\047[0-9]+$/, "", n)                # the suffix of a recursion level
      if (n ~ /^0x[0-9a-f]+$/) {
        a = substr(n, 3); while (length(a) < 16) a = "0" a
      } else if (n in address) {
        a = address[n]
      } else {
        next                                   # not a symbol of the program
      }
      if (!(a in names)) next
      if (a in instead) {
        later[++late] = a
        a = instead[a]
      }
      add(a)
    }
    END { for (i = 1; i <= late; i++) add(later[i]) }
  '
} >"$work/kort.order"
mv "$work/kort.order" "$out"
echo "$out: $(grep -vc '^#' "$out") functions from ${#jobs[@]} jobs"
