#!/usr/bin/env bash
# Builds the release programs (build-release/) and runs every benchmark on them, in the benchmarks'
# Wine prefix (build/wineprefix-bench) on a private display, then prints their figures as one
# table. Arguments go to app_traffic.exe and idle_bench.exe (e.g. --reps=10 --seconds=10) and
# startup_bench.exe (--runs=N).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build.sh release
bin=build-release/bin
source scripts/wine-env.sh
wine_use_prefix bench
rows=$(mktemp)
trap 'rm -f "$rows"; wine_finish' EXIT
wine_begin_session

# Each benchmark's own lines go to the terminal as they come (appended: stderr may be a log file,
# which a plain tee would empty); its table rows are kept.
run() {
    echo "# $*" >&2
    wine "$bin/$1" "${@:2}" | tr -d '\r' | tee -a /dev/stderr | grep '^| ' >>"$rows" || true
}

stripped=$(mktemp --suffix=.exe)
declare -A size
for exe in muntara floor_sheet; do
    cp "$bin/$exe.exe" "$stripped"
    x86_64-w64-mingw32-strip "$stripped"
    size[$exe]=$(stat -c %s "$stripped")
    echo "| size of $exe.exe | ${size[$exe]} bytes stripped ($((size[$exe] / 1024)) KiB), $(stat -c %s "$bin/$exe.exe") as built | x86_64-w64-mingw32-strip of a copy of the release build |" >>"$rows"
done
rm -f "$stripped"
echo "| size muntara / floor | $(awk "BEGIN { printf \"%.2f\", ${size[muntara]} / ${size[floor_sheet]} }") | stripped sizes; the floor holds the device route for its query |" >>"$rows"

# route_roundtrip prints lines of its own: "what: median ... (n sends, f failed)".
echo "# route_roundtrip.exe" >&2
wine "$bin/route_roundtrip.exe" | tr -d '\r' | tee -a /dev/stderr |
    sed -n 's/^\([^:]*\): *\(median.*\)   (\(.*\))$/| route round trip, \1 | \2 | \3 |/p' >>"$rows" || true
run startup_bench.exe "$@"
run idle_bench.exe "$@"
run app_traffic.exe "$@"

echo
echo "| Figure | Value | How |"
echo "|---|---|---|"
cat "$rows"
