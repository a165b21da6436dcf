#!/usr/bin/env bash
# Builds everything and runs every benchmark under the build's Wine prefix on a private display,
# then prints their figures as one table. Arguments go to app_traffic.exe and idle_bench.exe
# (e.g. --reps=10 --seconds=10) and startup_bench.exe (--runs=N).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build.sh
source scripts/wine-env.sh
wine_use_prefix bench
trap wine_finish EXIT
wineserver -k 2>/dev/null || true # a server left by an interrupted run of this prefix
wine_start_display
wine_prepare_prefix

rows=$(mktemp)
trap 'rm -f "$rows"; wine_finish' EXIT

# Each benchmark's own lines go to the terminal as they come; its table rows are kept.
run() {
    echo "# $*" >&2
    wine "build/bin/$1" "${@:2}" | tr -d '\r' | tee /dev/stderr | grep '^| ' >>"$rows" || true
}

stripped=$(mktemp --suffix=.exe)
for exe in muntara floor_sheet; do
    cp "build/bin/$exe.exe" "$stripped"
    x86_64-w64-mingw32-strip "$stripped"
    echo "| size of $exe.exe | $(stat -c %s "$stripped") bytes stripped, $(stat -c %s "build/bin/$exe.exe") as built | x86_64-w64-mingw32-strip of a copy |" >>"$rows"
done
rm -f "$stripped"

# route_roundtrip prints lines of its own: "what: median ... (n sends, f failed)".
echo "# route_roundtrip.exe" >&2
wine build/bin/route_roundtrip.exe | tr -d '\r' | tee /dev/stderr |
    sed -n 's/^\([^:]*\): *\(median.*\)   (\(.*\))$/| route round trip, \1 | \2 | \3 |/p' >>"$rows" || true
run startup_bench.exe "$@"
run idle_bench.exe "$@"
run app_traffic.exe "$@"

echo
echo "| Figure | Value | How |"
echo "|---|---|---|"
cat "$rows"
