#!/usr/bin/env bash
# The handheld program as a handheld's owner gets it: muntara.cab of the tests' handheld build,
# installed by the personality's installer into a fresh Wine prefix (build/wineprefix-installed),
# started from the shortcut the installer made, and taken through the acceptance sitting under
# the personality, on the tests' display.
#
#   installed.sh BUILD_DIR
set -euo pipefail
WINE_BUILD_DIR=$(realpath "$1")
project=$(cd "$(dirname "$0")/../.." && pwd)
source "$project/scripts/wine-env.sh"
wine_use_tests_session
wine_use_prefix installed
source "$project/scripts/handheld-fs.sh"

wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wine_prepare_prefix >/dev/null
trap 'wineserver -w' EXIT

"$project/scripts/handheld-install.sh" "$WINE_BUILD_DIR/handheld/muntara.586.cab"
program=$(handheld_program_path '\Windows\Programs\Muntara Audio.lnk')
echo "# the shortcut starts $program"

MUNTARA_PROGRAM=handheld MUNTARA_HANDHELD_PROGRAM=$(winepath -w "$program") \
    wine "$WINE_BUILD_DIR/bin/acceptance_tests.exe"
