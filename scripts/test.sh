#!/usr/bin/env bash
# Builds everything, also for the handheld's 32-bit word (build-i686/: built as the check, since
# this machine cannot run 32-bit programs), and runs every test under Wine, on a private display.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build.sh
scripts/build.sh i686
source scripts/wine-env.sh
wine_use_prefix tests
trap wine_finish EXIT
wineserver -k 2>/dev/null || true # a server left by an interrupted run of this prefix
wine_start_display
wine_prepare_prefix
ctest --preset default "$@"
