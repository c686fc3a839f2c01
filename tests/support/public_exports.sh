#!/usr/bin/env bash
# Checks that a shared library has a versioned SONAME (lib<name>.so.<major>),
# stays loaded when closed (all but the message queue's), and exports its
# public interface and nothing else (no std or boost internals, no private
# classes or helpers):
#
#   public_exports.sh <library> <api marker> <header>... [-- <expected>...]
#
# With the marker GZR_ the defined dynamic symbols must be exactly the GZR_
# functions declared in the headers. With a class marker (TOLL_API,
# TVXROUTE_API, PLAT_EXPORT) every defined dynamic symbol, demangled, must
# be a member (or the vtable or typeinfo) of a class the headers declare
# with that marker, or a function of a namespace of the headers that the
# headers declare. The names after -- must each be exported.
set -uo pipefail
lib=$1 marker=$2
shift 2
headers=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do headers+=("$1"); shift; done
[ $# -gt 0 ] && shift
expected=("$@")

soname=$(readelf -d "$lib" | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')
if ! [[ $soname =~ ^lib[A-Za-z_]+\.so\.[0-9]+$ ]]; then
  echo "$lib: SONAME '$soname' is not versioned"
  exit 1
fi
# The system's libraries keep process-wide state for the life of the
# process, so a host that closes one leaves it loaded.
if [ "$marker" != PLAT_EXPORT ] && ! readelf -d "$lib" | grep -q 'FLAGS_1.*NODELETE'; then
  echo "$lib: is not marked to stay loaded when closed (NODELETE)"
  exit 1
fi
symbols=$(nm -D --defined-only "$lib" | awk '{ print $3 }' | sort -u) || exit 1
if [ -z "$symbols" ]; then
  echo "$lib: exports nothing"
  exit 1
fi
bad=0

if [ "$marker" = "GZR_" ]; then
  declared=$(cat "${headers[@]}" | grep -oE '\bGZR_[A-Za-z0-9_]+[[:space:]]*\(' | tr -d '( \t' | sort -u)
  extra=$(comm -23 <(echo "$symbols") <(echo "$declared"))
  missing=$(comm -13 <(echo "$symbols") <(echo "$declared"))
  [ -n "$extra" ] && { echo "exported but not declared:"; echo "$extra"; bad=1; }
  [ -n "$missing" ] && { echo "declared but not exported:"; echo "$missing"; bad=1; }
  [ $bad -eq 0 ] && echo "$lib: the $(echo "$declared" | wc -l) declared GZR_ functions and nothing else"
  exit $bad
fi

# Classes declared with the marker, the namespaces of the headers, and the
# headers' text (for free functions).
classes=$(cat "${headers[@]}" | grep -oE "(class|struct)[[:space:]]+$marker[[:space:]]+[A-Za-z_][A-Za-z0-9_]*" |
          awk '{ print $3 }' | sort -u)
namespaces=$(cat "${headers[@]}" | grep -oE '^namespace[[:space:]]+[A-Za-z_][A-Za-z0-9_]*' | awk '{ print $2 }' | sort -u)
text=$(cat "${headers[@]}")

demangled=$(echo "$symbols" | c++filt)
while IFS= read -r sym; do
  name=$sym
  kind=function
  case $name in
    "vtable for "*|"typeinfo for "*|"typeinfo name for "*|"VTT for "*)
      name=${name#* for }
      kind=data ;;
  esac
  # The qualified name: up to the parameter list, without a const suffix.
  qual=${name%%(*}
  IFS=':' read -r -a parts <<<"${qual//::/:}"
  ok=1
  last=$((${#parts[@]} - 1))
  [ "$kind" = data ] && last=${#parts[@]}
  in_class=0
  for ((i = 0; i < last; i++)); do
    p=${parts[$i]}
    if grep -qxF -- "$p" <<<"$classes"; then
      in_class=1
    elif ! grep -qxF -- "$p" <<<"$namespaces"; then
      ok=0
    fi
  done
  if [ "$kind" = data ]; then
    # The object itself must be a declared class.
    grep -qxF -- "${parts[$((last - 1))]}" <<<"$classes" || ok=0
  elif [ $in_class -eq 0 ]; then
    # A free function: a namespace's function that the headers declare.
    fn=${parts[$last]}
    [ $last -ge 1 ] && grep -qE "\\b${fn}[[:space:]]*\\(" <<<"$text" || ok=0
  fi
  if [ $ok -eq 0 ]; then
    echo "not public: $sym"
    bad=1
  fi
done <<<"$demangled"

for e in "${expected[@]}"; do
  if ! grep -qF -- "$e" <<<"$demangled"; then
    echo "not exported: $e"
    bad=1
  fi
done
[ $bad -eq 0 ] && echo "$lib: $(echo "$symbols" | wc -l) symbols, all of the public interface"
exit $bad
