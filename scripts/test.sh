#!/usr/bin/env bash
# Builds everything, and the program for the handheld (build-handheld/: built and checked against
# the handheld's API, never run, since this machine runs no 32-bit program), and runs every test
# under Wine, on a private display.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build.sh
scripts/build.sh handheld
source scripts/wine-env.sh
wine_use_prefix tests
trap wine_finish EXIT
wineserver -k 2>/dev/null || true # a server left by an interrupted run of this prefix
wine_start_display
wine_prepare_prefix
ctest --preset default "$@"
