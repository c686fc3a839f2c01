#!/usr/bin/env bash
# Builds kort, the sample address and facility data (build/Database/住所,
# build/Database/施設), libGazref.so and its
# host gazref_host, and nothing else (no tests, no benchmarks: GoogleTest and
# Google Benchmark are not needed), writes one job of each kind (CP932,
# CR LF) into a new folder, runs kort on each and prints the result and
# status files in UTF-8; last, a few calls of libGazref.so through
# gazref_host; then the toll library's host tollcalc and the route library's
# host tvxroute. The folder and its files are kept for a look afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 4)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Only what this script runs: kort, the sample data, libGazref.so and its host.
cmake --build build -j"$jobs" --target kort sampledata facilitydata_folder Gazref gazref_host

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

# The reference library libGazref.so, driven by gazref_host through dlopen:
# the first call of a setter answers the initial value, the two total names
# are one function, and the border code of a point inside 丸の内一丁目 and
# of one at sea (latitude and longitude in thousandths of a second of arc);
# the municipalities of 京都府, the analysis of an address, a multi-level
# search with no prefecture for a text that stops inside a town name, and
# the facilities within 600 m of 東京駅.
echo "== gazref_host"
GAZREF_DATA="$PWD/build/Database/住所" GAZREF_FACILITY="$PWD/build/Database/施設" \
  ./build/gazref_host <<'SCRIPT'
GZR_SetAddr_AnalyzeExClass 2
.same GZR_GetAddrTotal GZR_GetAddrFwTotal
GZR_Border_GetCode buf 128446464 503165554 "${GAZREF_DATA}" buf
GZR_Border_GetCode buf 120000000 500000000 "${GAZREF_DATA}" buf
GZR_Jyusyo_FindListFirst "京都府" "${GAZREF_DATA}" -1 0 buf
.rows addr
GZR_SetAddr_AnalyzeExClass 4
GZR_Jyusyo_Analyze "東京都千代田区丸の内二丁目３" "${GAZREF_DATA}" buf
.rows fw
GZR_TVX_Jyusyo_FindListFirst2_EX "" "京都府中京区亀屋" "${GAZREF_DATA}" -1 0 buf
.rows fw
GZR_Shisetsu_FindListFirst "" "" "" "" "" 128446800 503167200 600 "${GAZREF_FACILITY}" 100 0 buf
.rows shisetsu
SCRIPT

# The toll library's host on the sample toll data: 東京IC (entrance 10) to
# 横浜町田IC (exit 21), vehicle class 3 (普通車), ETC (first option byte 1),
# on 2015-06-03 at 03:30 (the night discount applies to the third fee).
cmake --build build -j"$jobs" --target tollcalc sampletoll
echo "== tollcalc"
./build/tollcalc build/Database/Toll/v35 10 21 3 1 2015-06-03 03:30 | iconv -f CP932 -t UTF-8

# The route library's host on the sample road map with the sample toll data
# beside it (Database/Road): from 東京IC by way of 横浜青葉IC (a time there
# starts the second leg) over the 東名 and out at 厚木IC to 旭町, departing
# on 2015-06-03 at 10:00, each point on the road that the route engine finds
# near it (--road 1).
cmake --build build -j"$jobs" --target tvxroute sampleroute
echo
echo "== tvxroute"
./build/tvxroute build/Database/Road 139.6272,35.6207@2015-06-03T10:00 139.5240,35.5630@2015-06-03T10:30 \
  139.3300,35.4450 --road 1 | iconv -f CP932 -t UTF-8

echo
echo "== the job, result and status files are kept in $work"
