#!/usr/bin/env bash
# Builds kort, the sample address and facility data (build/Database/住所,
# build/Database/施設), libGazref.so and its host gazref_host, the toll
# library's host tollcalc with the sample toll data and the route library's
# host tvxroute with the sample road map, and nothing else (no tests, no
# benchmarks: GoogleTest and Google Benchmark are not needed). Then it
# writes one job of each kind (CP932, CR LF) into a new folder, runs kort on
# each and prints the result and status files in UTF-8, each under a line
# that names its columns; last, a few calls of libGazref.so through
# gazref_host, a toll with tollcalc and a route with tvxroute, each
# explained. The folder and its files are kept for a look afterwards.
#
# First the set-up step (scripts/setup.sh sample) installs what the build
# and the run need where something is missing (KORT_SKIP_SETUP=1 skips it).
#
# KORT_BUILD_JOBS: the number of build jobs (default: every core). The build
# output goes to build.log in that folder and is printed only when the
# build fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh sample
jobs=${KORT_BUILD_JOBS:-$(nproc 2>/dev/null || echo 4)}

work=$(mktemp -d "${TMPDIR:-/tmp}/kort-sample.XXXXXX")
log=$work/build.log
echo "Building with $jobs jobs (KORT_BUILD_JOBS); build output in $log"
# Only what this script runs.
if ! { cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
       cmake --build build -j"$jobs" --target kort sampledata facilitydata_folder Gazref gazref_host \
         tollcalc sampletoll tvxroute sampleroute; } >"$log" 2>&1; then
  cat "$log"
  echo "The build failed; its output is above and in $log" >&2
  exit 1
fi
echo

# Runs kort on the job lines given (UTF-8, written as CP932 with CR LF) and
# prints its result and status files in UTF-8: run_job NAME COLUMNS LINE...
run_job() {
  local name=$1 columns=$2
  shift 2
  printf '%s\r\n' "$@" | iconv -f UTF-8 -t CP932 >"$work/$name.job.txt"
  ./build/kort "$work/$name.job.txt" "$work/$name.result.txt" "$work/$name.status.txt"
  echo "== $name: result file ($work/$name.result.txt)"
  echo "   columns: $columns"
  if [ -f "$work/$name.result.txt" ]; then iconv -f CP932 -t UTF-8 "$work/$name.result.txt"; else echo "(none)"; fi
  echo "== $name: status file: result code (1 success), interrupted flag (1: cut at the maximum), message (empty on success)"
  if [ -f "$work/$name.status.txt" ]; then iconv -f CP932 -t UTF-8 "$work/$name.status.txt"; else echo "(none)"; fi
  echo
}

# Coordinates below are milliseconds of arc (1/1000 second) on the Tokyo
# datum: 出力測地系 1, 出力座標書式 1.
coords="latitude, longitude (milliseconds of arc, Tokyo datum)"

# Address matching (kind 3000). Lines: kind, address, match flags,
# number-unit switch, 推定機能フラグ, 検索文字列区分, 出力測地系, 出力座標書式,
# 出力字丁目書式, 出力数字書式, 出力よみ書式, flags word (8: the extended
# dataset), dataset line.
run_job match "prefecture, municipality, its reading, oaza, reading, aza/chome, reading, block, lot, $coords, address code, status, level (4: aza/chome), whole-input flag (1: all matched), unmatched rest, postal code" \
  3000 "東京都千代田区丸の内一丁目" 0 1 0 1 1 1 1 1 1 8 x

# Hierarchy listing (kind 1000): the municipalities of 東京都. Lines: kind,
# names, maximum number of lines (-1: no limit), 検索文字列区分, 出力測地系,
# 出力座標書式, flags word, dataset line.
run_job listing "name, reading, $coords, code, status, children flag (1: has rows below it); sorted by reading" \
  1000 "東京都" -1 1 1 1 8 x

# Keyword search (kind 1): type 2 (aza and chome rows), text 丸の内, no row
# limit, 検索文字列区分 and the output options 1, flags word 8, dataset line.
run_job keyword "prefecture, municipality, its reading, oaza, reading, aza/chome, reading, block, lot, $coords, address code, status, postal code" \
  1 2 "丸の内" -1 1 1 1 1 1 1 8 x

# Reverse geocoding (kind 4000) of a point inside 丸の内一丁目. Lines: kind,
# latitude, longitude, 入力測地系 (1 Tokyo datum), 入力座標書式 (1
# milliseconds of arc), 出力字丁目書式, 出力数字書式, 出力よみ書式, flags word
# (8: the extended dataset, which reverse geocoding needs), dataset line.
run_job reverse "prefecture, municipality, its reading, oaza, reading, aza/chome, reading, address code of the area holding the point" \
  4000 128446464 503165554 1 1 1 1 1 8 x

# Postal-code search (kind 2000) for 〒100-0005. Lines: kind, postal code,
# 出力測地系, 出力座標書式, 出力字丁目書式, 出力数字書式, 出力よみ書式, flags
# word, dataset line.
run_job postal "prefecture, municipality, its reading, oaza, reading, aza/chome, reading, address code, $coords" \
  2000 "〒100-0005" 1 1 1 1 1 8 x

# The reference library libGazref.so, driven by gazref_host through dlopen.
# Runs one gazref_host script (standard input) under a heading.
gazref() {
  echo "-- $1"
  GAZREF_DATA="$PWD/build/Database/住所" GAZREF_FACILITY="$PWD/build/Database/施設" ./build/gazref_host
  echo
}
echo "== gazref_host: calls of libGazref.so. Each call is echoed after '> '; '= ' is its"
echo "   return value; '#n:' is what the call left in its n-th argument (an out buffer"
echo "   or flag); '.rows' prints the row total and each loaded row. Latitudes and"
echo "   longitudes are milliseconds of arc, Tokyo datum."
echo
gazref "The first call of a setter answers the initial value (4); the two total names are one function" <<'SCRIPT'
GZR_SetAddr_AnalyzeExClass 2
.same GZR_GetAddrTotal GZR_GetAddrFwTotal
SCRIPT
gazref "Border code of a point inside 丸の内一丁目 (= 1, #1: its address code), then of a point at sea, which is expected to fail (= 0, #5: the message)" <<'SCRIPT'
GZR_Border_GetCode buf 128446464 503165554 "${GAZREF_DATA}" buf
GZR_Border_GetCode buf 120000000 500000000 "${GAZREF_DATA}" buf
SCRIPT
gazref "The municipalities of 京都府 (#4: interrupted flag, #5: message); rows: name, reading, latitude, longitude, code" <<'SCRIPT'
GZR_Jyusyo_FindListFirst "京都府" "${GAZREF_DATA}" -1 0 buf
.rows addr
SCRIPT
gazref "Analysis of an address (#1: the text as analysed, #3: message); row: prefecture, municipality, reading, oaza, reading, aza/chome, reading, block, lot, latitude, longitude, code, status, level (6: block)" <<'SCRIPT'
GZR_SetAddr_AnalyzeExClass 4
GZR_Jyusyo_Analyze "東京都千代田区丸の内二丁目３" "${GAZREF_DATA}" buf
.rows fw
SCRIPT
gazref "Multi-level search without a prefecture for a text that stops inside a town name (#5: interrupted flag, #6: message); rows as above, the last field is the number at the head of the code, read as a 32-bit number: an 11-digit code saturates at 2147483647" <<'SCRIPT'
GZR_TVX_Jyusyo_FindListFirst2_EX "" "京都府中京区亀屋" "${GAZREF_DATA}" -1 0 buf
.rows fw
SCRIPT
gazref "Facilities within 600 m of 東京駅 (#11: overflow flag, #12: message), ordered by the folder's display priority; rows: name, reading, latitude, longitude, prefecture, municipality, municipality code, three categories, distance in whole metres" <<'SCRIPT'
GZR_Shisetsu_FindListFirst "" "" "" "" "" 128446800 503167200 600 "${GAZREF_FACILITY}" 100 0 buf
.rows shisetsu
SCRIPT

# The toll library's host on the sample toll data: 東京IC (entrance 10) to
# 横浜町田IC (exit 21), vehicle class 3 (普通車), ETC (first option byte 1),
# on 2015-06-03 at 03:30 (the night discount applies to the third fee).
echo "== tollcalc: 東京IC (10) to 横浜町田IC (21), class 3, ETC, 2015-06-03 03:30 (fees in yen)"
echo "   code: 0 = success; total: undiscounted, second and third fee (the third with the night discount)"
echo "   section: entrance -> exit: undiscounted fee, second fee (its discount id), third fee (its discount id;"
echo "            0x40000 + rule key: a discount rule, here 0x40102 the night discount)"
echo "   point <facility> <kind flags: 0x02 entrance, 0x01 exit>: first fee [discount ids] second fee"
echo "            [discount ids] third fee, the fees charged at that point; -1: none (nothing is paid at the entrance)"
./build/tollcalc build/Database/Toll/v35 10 21 3 1 2015-06-03 03:30 | iconv -f CP932 -t UTF-8

# The route library's host on the sample road map with the sample toll data
# beside it (Database/Road): from 東京IC by way of 横浜青葉IC (a time there
# starts the second leg) over the 東名 and out at 厚木IC to 旭町, departing
# on 2015-06-03 at 10:00, each point on the road that the route engine finds
# near it (--road 1).
echo
echo "== tvxroute: from 瀬田 on the 国道246号 onto the 東名 at 東京IC, a stop at 海老名JCT, out at 厚木IC and through the crossing 旭町 (positions in degrees, Tokyo datum)"
echo "   error: 0 = a route was found; summary: toll after discounts, undiscounted (yen)"
echo "   link: road class (0 expressway, 1 national road, 2 main local road, 3 prefectural road, 4-5 other road,"
echo "         6 ferry), distance (m), time (s), node index, road-name index, number of shape points"
echo "   node: position, kind (0 named crossing, 1 to 4 highway facilities with 4 a junction, 5 toll point, 7 other points), break (1 start,"
echo "         3 via point, 2 goal, 0 none), fee and first fee (yen), facility code, facility flag, time, name"
./build/tvxroute build/Database/Road 139.6330,35.6240@2015-06-03T10:00 139.3886,35.4338@2015-06-03T10:30 \
  139.3300,35.4450 --road 1 | iconv -f CP932 -t UTF-8

echo
echo "== the job, result and status files and the build log are kept in $work"
