#!/usr/bin/env bash
# Checks that each library or program binds every symbol when it is loaded
# (linked with -z now): its dynamic section carries BIND_NOW in FLAGS or NOW
# in FLAGS_1. Lazy binding would resolve a symbol at its first call, in the
# middle of whatever the call was doing. A statically linked program has
# no dynamic section and binds nothing while it runs.
#
#   immediate_binding.sh <file>...
#
# Prints one line per file that binds lazily (or cannot be read) and exits 1
# when there is any.
set -uo pipefail
[ $# -gt 0 ] || { echo "usage: immediate_binding.sh <file>..."; exit 2; }
failed=0
for file in "$@"; do
  if ! dynamic=$(readelf -d "$file" 2>&1); then
    echo "$file: not readable as an ELF file: $dynamic"
    failed=1
    continue
  fi
  # A statically linked program has no dynamic section: nothing is bound
  # while it runs.
  if grep -q 'There is no dynamic section' <<<"$dynamic"; then continue; fi
  if ! grep -Eq '\(FLAGS\)[[:space:]].*BIND_NOW|\(FLAGS_1\)[[:space:]].*[[:space:]]NOW([[:space:]]|$)' \
      <<<"$dynamic"; then
    echo "$file: binds its symbols lazily (not linked with -z now)"
    failed=1
  fi
done
exit $failed
