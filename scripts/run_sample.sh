#!/usr/bin/env bash
# Builds kort and the sample data (build/Database/住所) and nothing else (no
# tests, no benchmarks: GoogleTest and Google Benchmark are not needed),
# writes a sample address-matching job (kind 3000, CP932, CR LF) into a new
# folder, runs kort on it and prints the result and status files in UTF-8.
# The folder and its three files are kept for a look afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 4)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs" --target kort sampledata

work=$(mktemp -d "${TMPDIR:-/tmp}/kort-sample.XXXXXX")

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
echo "== the job, result and status files are kept in $work"
