#!/usr/bin/env bash
# Builds kort and the sample data (build/Database/住所), writes a sample
# address-matching job (kind 3000, CP932, CR LF) into a temporary folder,
# runs kort on it and prints the result and status files in UTF-8; then
# the same for a hierarchy listing job (kind 1000).
# runs kort on it and prints the result and status files in UTF-8; then the
# same for a reverse-geocoding job (kind 4000) and a postal-code job (kind 2000).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 4)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Lines: kind, address, match flags, number-unit value, 推定機能フラグ,
# 検索文字列区分, 出力測地系, 出力座標書式, 出力字丁目書式, 出力数字書式,
# 出力よみ書式, flags word (8: the extended dataset), dataset line.
printf '%s\r\n' 3000 "東京都千代田区丸の内一丁目" 0 1 0 1 1 1 1 1 1 8 x |
  iconv -f UTF-8 -t CP932 >"$work/job.txt"

./build/kort "$work/job.txt" "$work/result.txt" "$work/status.txt"

echo "== result ($work/result.txt)"
if [ -f "$work/result.txt" ]; then iconv -f CP932 -t UTF-8 "$work/result.txt"; else echo "(none)"; fi
echo "== status ($work/status.txt)"
if [ -f "$work/status.txt" ]; then iconv -f CP932 -t UTF-8 "$work/status.txt"; else echo "(none)"; fi

# A hierarchy listing job (kind 1000): the municipalities of 東京都. Lines:
# kind, names, maximum number of lines (-1: no limit), 検索文字列区分,
# 出力測地系, 出力座標書式, flags word, dataset line.
printf '%s\r\n' 1000 "東京都" -1 1 1 1 8 x | iconv -f UTF-8 -t CP932 >"$work/list_job.txt"
./build/kort "$work/list_job.txt" "$work/list_result.txt" "$work/list_status.txt"
echo "== listing result ($work/list_result.txt)"
if [ -f "$work/list_result.txt" ]; then iconv -f CP932 -t UTF-8 "$work/list_result.txt"; else echo "(none)"; fi
echo "== listing status ($work/list_status.txt)"
if [ -f "$work/list_status.txt" ]; then iconv -f CP932 -t UTF-8 "$work/list_status.txt"; else echo "(none)"; fi
# A keyword search (kind 1): type 2 (aza and chome rows), text 丸の内, no row
# limit, 検索文字列区分 and the output options 1, flags word 8, dataset line.
printf '%s\r\n' 1 2 "丸の内" -1 1 1 1 1 1 1 8 x | iconv -f UTF-8 -t CP932 >"$work/keyword.txt"
./build/kort "$work/keyword.txt" "$work/keyword_result.txt" "$work/keyword_status.txt"
echo "== keyword search result"
if [ -f "$work/keyword_result.txt" ]; then iconv -f CP932 -t UTF-8 "$work/keyword_result.txt"; else echo "(none)"; fi
echo "== keyword search status"
if [ -f "$work/keyword_status.txt" ]; then iconv -f CP932 -t UTF-8 "$work/keyword_status.txt"; else echo "(none)"; fi
# Prints a job's result and status files (CP932) in UTF-8.
show_job() {
  echo "== $1 result ($work/$2)"
  if [ -f "$work/$2" ]; then iconv -f CP932 -t UTF-8 "$work/$2"; else echo "(none)"; fi
  echo "== $1 status ($work/$3)"
  if [ -f "$work/$3" ]; then iconv -f CP932 -t UTF-8 "$work/$3"; else echo "(none)"; fi
}

# Reverse geocoding (kind 4000) of a point inside 丸の内一丁目. Lines: kind,
# latitude, longitude (milliseconds of arc), 入力測地系 (1 Tokyo datum),
# 入力座標書式 (1 milliseconds), 出力字丁目書式, 出力数字書式, 出力よみ書式,
# flags word (8: the extended dataset, which reverse geocoding needs), dataset line.
printf '%s\r\n' 4000 128446464 503165554 1 1 1 1 1 8 x |
  iconv -f UTF-8 -t CP932 >"$work/job4000.txt"
./build/kort "$work/job4000.txt" "$work/result4000.txt" "$work/status4000.txt"
show_job "kind 4000" result4000.txt status4000.txt

# Postal-code search (kind 2000) for 〒100-0005. Lines: kind, postal code,
# 出力測地系, 出力座標書式, 出力字丁目書式, 出力数字書式, 出力よみ書式, flags
# word, dataset line.
printf '%s\r\n' 2000 "〒100-0005" 1 1 1 1 1 8 x |
  iconv -f UTF-8 -t CP932 >"$work/job2000.txt"
./build/kort "$work/job2000.txt" "$work/result2000.txt" "$work/status2000.txt"
show_job "kind 2000" result2000.txt status2000.txt

# The toll library's host on the sample toll data: 東京IC (entrance 10) to
# 横浜町田IC (exit 21), vehicle class 3 (普通車), ETC (first option byte 1),
# on 2015-06-03 at 03:30 (the night discount applies to the third fee).
cmake --build build -j"$jobs" --target tollcalc sampletoll
echo "== tollcalc"
./build/tollcalc build/Database/Toll/v35 10 21 3 1 2015-06-03 03:30 | iconv -f CP932 -t UTF-8
