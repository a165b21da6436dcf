#!/usr/bin/env bash
# scripts/handheld-install.sh [--processor N] CAB: installs a handheld's installation cabinet as
# the handheld's installer does, into the personality's picture of the handheld in $WINEPREFIX
# (default build/wineprefix; scripts/handheld-fs.sh says where its file system lies): the files
# where the control file puts them, the shortcuts as the handheld's shell keeps them, the
# registry values, and the record of the package (HKLM\SOFTWARE\Apps\NAME and
# \Windows\NAME.unload) that its list of programs shows and removes. A package of the same name
# installed before, an older version, is replaced: taken away by its record, then installed anew.
# N is the processor the handheld's kernel reports (default 586; 686 on a Pentium II or later x86,
# 2577 on a StrongARM); the installer takes only a package for that processor or for any.
#
# scripts/handheld-install.sh --remove NAME: removes the package NAME as the handheld's list of
# programs names it ("Trilbo Muntara Audio"): its files, shortcuts and registry values, the
# folders and keys it made when nothing else is left in them, then its record. What its program
# wrote itself, such as the settings, stays.
#
# cabextract unpacks the cabinet into a temporary folder; handheld-install.exe
# (tools/handheld-install) reads the control file and refuses, before it changes anything, a
# package for another processor or a newer system, or one whose control file or files are
# damaged. A cabinet cabextract cannot read whole is refused the same way. Installing over, and
# removing, a package whose program runs, or whose record is damaged, is refused too.
#
# Runs on $DISPLAY and leaves the prefix's Wine server to its caller when $DISPLAY is set;
# otherwise on a private display, waiting for the server to end, so that the registry reaches
# the disk. Exit codes: 0 installed or removed, 1 refused (nothing changed), 2 bad usage, 3 failed
# part way.
set -euo pipefail
project=$(cd "$(dirname "$0")/.." && pwd)
prefix=${WINEPREFIX:-}
source "$project/scripts/wine-env.sh"
[ -z "$prefix" ] || export WINEPREFIX=$prefix
source "$project/scripts/handheld-fs.sh"

usage() {
    echo "usage: scripts/handheld-install.sh [--processor N] CAB | --remove NAME" >&2
    exit 2
}
processor=()
remove=""
case ${1:-} in
--processor)
    [ $# -ge 2 ] || usage
    processor=(--processor "$2")
    shift 2
    ;;
--remove)
    [ $# -eq 2 ] || usage
    remove=$2
    ;;
esac
[ -n "$remove" ] || { [ $# -eq 1 ] && [ -f "$1" ]; } || usage
cabinet=${1:-}
installer=$WINE_BUILD_DIR/bin/handheld-install.exe
if [ ! -f "$installer" ] || ! command -v cabextract >/dev/null; then
    "$project/scripts/deps.sh"
    [ -f "$WINE_BUILD_DIR/CMakeCache.txt" ] || cmake --preset default -S "$project" >/dev/null
    cmake --build "$WINE_BUILD_DIR" --target handheld-install >/dev/null
fi

work=$(mktemp -d)
own_display=""
finish() {
    rm -rf "$work"
    [ -z "$own_display" ] || wine_finish
}
trap finish EXIT

refuse() {
    echo "handheld-install: ${cabinet##*/}: $1; nothing was installed" >&2
    exit 1
}

start_wine() {
    if [ -z "${DISPLAY:-}" ]; then
        wine_start_display
        own_display=1
    fi
    wine_prepare_prefix
}

status=0
if [ -n "$remove" ]; then
    start_wine
    wine "$installer" --remove "$remove" "$(handheld_wine_root)" || status=$?
    exit "$status"
fi

# The cabinet's files in its own order, and each of them whole.
if ! cabextract -l "$cabinet" >"$work/listing" 2>"$work/errors" ||
    ! cabextract -q -d "$work/files" "$cabinet" >/dev/null 2>>"$work/errors"; then
    refuse "it is not a whole cabinet (cabextract: $(sed 's|^.*/||' "$work/errors" |
        paste -sd ' ' -))"
fi
mapfile -t files < <(sed -n 's/^ *[0-9]* | [0-9.]* [0-9:]* | //p' "$work/listing")
[ ${#files[@]} -gt 0 ] || refuse "the cabinet holds no file"

start_wine
wine "$installer" "${processor[@]}" "${cabinet##*/}" "$(handheld_wine_root)" \
    "Z:${work//\//\\}\\files" "${files[@]}" || status=$?
exit "$status"
