#!/usr/bin/env bash
# Builds kort and the sample data (build/Database/住所) and nothing else (no
# tests, no benchmarks: GoogleTest and Google Benchmark are not needed),
# writes one job of each kind (CP932, CR LF) into a new folder, runs kort on
# each and prints the result and status files in UTF-8. The folder and its
# files are kept for a look afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 4)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs" --target kort sampledata

work=$(mktemp -d "${TMPDIR:-/tmp}/kort-sample.XXXXXX")

# Runs kort on the job lines given (UTF-8, written as CP932 with CR LF) and
# prints its result and status files in UTF-8: run_job NAME LINE...
run_job() {
  local name=$1
  shift
  printf '%s\r\n' "$@" | iconv -f UTF-8 -t CP932 >"$work/$name.job.txt"
  ./build/kort "$work/$name.job.txt" "$work/$name.result.txt" "$work/$name.status.txt"
  echo "== $name: result ($work/$name.result.txt)"
  if [ -f "$work/$name.result.txt" ]; then iconv -f CP932 -t UTF-8 "$work/$name.result.txt"; else echo "(none)"; fi
  echo "== $name: status"
  if [ -f "$work/$name.status.txt" ]; then iconv -f CP932 -t UTF-8 "$work/$name.status.txt"; else echo "(none)"; fi
  echo
}

# Address matching (kind 3000). Lines: kind, address, match flags,
# number-unit value, 推定機能フラグ, 検索文字列区分, 出力測地系, 出力座標書式,
# 出力字丁目書式, 出力数字書式, 出力よみ書式, flags word (8: the extended
# dataset), dataset line.
run_job match 3000 "東京都千代田区丸の内一丁目" 0 1 0 1 1 1 1 1 1 8 x

# Hierarchy listing (kind 1000): the municipalities of 東京都. Lines: kind,
# names, maximum number of lines (-1: no limit), 検索文字列区分, 出力測地系,
# 出力座標書式, flags word, dataset line.
run_job listing 1000 "東京都" -1 1 1 1 8 x

# Keyword search (kind 1): type 2 (aza and chome rows), text 丸の内, no row
# limit, 検索文字列区分 and the output options 1, flags word 8, dataset line.
run_job keyword 1 2 "丸の内" -1 1 1 1 1 1 1 8 x

# Reverse geocoding (kind 4000) of a point inside 丸の内一丁目. Lines: kind,
# latitude, longitude (milliseconds of arc), 入力測地系 (1 Tokyo datum),
# 入力座標書式 (1 milliseconds), 出力字丁目書式, 出力数字書式, 出力よみ書式,
# flags word (8: the extended dataset, which reverse geocoding needs),
# dataset line.
run_job reverse 4000 128446464 503165554 1 1 1 1 1 8 x

# Postal-code search (kind 2000) for 〒100-0005. Lines: kind, postal code,
# 出力測地系, 出力座標書式, 出力字丁目書式, 出力数字書式, 出力よみ書式, flags
# word, dataset line.
run_job postal 2000 "〒100-0005" 1 1 1 1 1 8 x

echo "== the job, result and status files are kept in $work"
