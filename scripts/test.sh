#!/usr/bin/env bash
# Builds everything and runs every test under Wine, on a private display.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build.sh
source scripts/wine-env.sh
wine_use_prefix tests
trap wine_finish EXIT
wineserver -k 2>/dev/null || true # a server left by an interrupted run of this prefix
wine_start_display
wine_prepare_prefix
ctest --preset default "$@"
