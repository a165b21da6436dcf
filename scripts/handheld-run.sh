#!/usr/bin/env bash
# Runs a program built for the handheld under the handheld personality:
#
#   scripts/handheld-run.sh PROGRAM [ARGS...]
#   scripts/handheld-run.sh --reset
#
# in $WINEPREFIX (default build/wineprefix, the person's) on $DISPLAY (a private one when unset).
# PROGRAM is a path of this machine, or one the handheld would show ("\Program Files\..." or a
# shortcut), in the personality's picture of the handheld's file system in the prefix. Exits with
# the program's exit code, or 86 when the program returned 0 but broke one of the handheld's
# contracts: each breach is a line on standard error that begins "handheld:". --reset resets the
# handheld instead: its registry comes back as a program last flushed it (RegFlushKey).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -ge 1 ] || { echo "usage: scripts/handheld-run.sh PROGRAM [ARGS...] | --reset" >&2; exit 2; }

# The personality of the handheld build: its loader, with COREDLL.dll and COMMCTRL.dll beside it.
personality=${HANDHELD_PERSONALITY:-$root/build-handheld/bin}
[ -f "$personality/handheld-loader.exe" ] || "$root/scripts/build.sh" handheld >/dev/null

source "$root/scripts/handheld-way.sh"
handheld_elsewhere "$0" "$@"

program=$1
shift

WINE_BUILD_DIR=${WINE_BUILD_DIR:-$root/build}
explicit_prefix=${WINEPREFIX:-}
source "$root/scripts/wine-env.sh"
[ -z "$explicit_prefix" ] || export WINEPREFIX=$explicit_prefix
trap wine_finish EXIT
wine_begin_session --keep-display

if [ "$program" = --reset ]; then
    wine "$personality/handheld-loader.exe" --reset
    exit
fi
if [[ $program == \\* ]]; then
    source "$root/scripts/handheld-fs.sh"
    program=$(handheld_program_path "$program")
fi
[ -f "$program" ] || { echo "no such program: $program" >&2; exit 2; }
status=0
wine "$personality/handheld-loader.exe" "$(winepath -w "$(realpath "$program")")" "$@" || status=$?
exit "$status"
