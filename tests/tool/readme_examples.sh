#!/usr/bin/env bash
# Runs the kort job examples of the README and compares what kort writes
# with what the README shows, so that the manual cannot drift from the
# program:
#
#   readme_examples.sh <README.md> <kort>
#
# An example is a fenced block after a line "<!-- kort-example: NAME -->"
# (the job lines, in UTF-8), then a fenced block after
# "<!-- kort-result: NAME -->" (the result file) and/or one after
# "<!-- kort-status: NAME -->" (the status file). Without a status block the
# job must succeed (status 1, 0, empty message); without a result block it
# must leave no result file. Every job kind (1, 1000, 2000, 3000, 4000) must
# have an example.
set -uo pipefail
readme=$1
kort=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Writes each marked block to $work/NAME.job, NAME.result or NAME.status.
awk -v dir="$work" '
  match($0, /^<!-- kort-(example|result|status): [A-Za-z0-9_-]+ -->$/) {
    split($0, parts, /[ :]+/)
    kind = parts[2]; sub(/^kort-/, "", kind); name = parts[3]
    ext = kind == "example" ? "job" : kind
    file = dir "/" name "." ext
    if (seen[file]++) { print "README: two " kind " blocks for " name > "/dev/stderr"; bad = 1 }
    want = 1
    next
  }
  want && /^```/ { want = 0; inside = 1; printf "" > file; next }
  inside && /^```/ { inside = 0; close(file); next }
  inside { print > file }
  END { exit bad }
' "$readme" || exit 1

fail=0
kinds=""
for job in "$work"/*.job; do
  [ -e "$job" ] || { echo "no kort examples found in $readme"; exit 1; }
  name=$(basename "$job" .job)
  failed=$fail
  fail=0
  kinds="$kinds $(head -n 1 "$job")"
  # The job as kort reads it: CP932, CR LF.
  sed 's/$/\r/' "$job" | iconv -f UTF-8 -t CP932 >"$work/$name.job.cp932" || { fail=1; continue; }
  rm -f "$work/out.result" "$work/out.status"
  "$kort" "$work/$name.job.cp932" "$work/out.result" "$work/out.status"
  # What kort wrote, in UTF-8 without the CRs.
  actual_status=$(iconv -f CP932 -t UTF-8 "$work/out.status" 2>/dev/null | tr -d '\r')
  expected_status=$(printf '1\n0\n')
  [ -f "$work/$name.status" ] && expected_status=$(cat "$work/$name.status")
  if [ "$actual_status" != "$expected_status" ]; then
    echo "example $name: status file differs from the README:"
    diff <(echo "$expected_status") <(echo "$actual_status")
    fail=1
  fi
  if [ -f "$work/$name.result" ]; then
    if [ ! -f "$work/out.result" ]; then
      echo "example $name: no result file"
      fail=1
    elif ! diff <(cat "$work/$name.result") <(iconv -f CP932 -t UTF-8 "$work/out.result" | tr -d '\r'); then
      echo "example $name: result file differs from the README (above: < README, > kort)"
      fail=1
    fi
  elif [ -f "$work/out.result" ]; then
    echo "example $name: a result file was written, the README shows none"
    fail=1
  fi
  [ $fail -eq 0 ] && echo "example $name: as shown"
  [ $failed -ne 0 ] && fail=1
done
for kind in 1 1000 2000 3000 4000; do
  if ! grep -qw -- "$kind" <<<"$kinds"; then
    echo "no README example of job kind $kind"
    fail=1
  fi
done
exit $fail
