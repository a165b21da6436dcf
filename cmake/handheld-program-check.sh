#!/usr/bin/env bash
# Fails, naming each, when the linked handheld program imports from a library other than the
# handheld's two, or a name the handheld's API list does not give as exported.
#
#   handheld-program-check.sh LIST OBJDUMP PROGRAM
set -euo pipefail

list=$1 objdump=$2 program=$3

exported=$(awk '/^# exported/ {s = 1; next} /^#/ {s = 0} s && NF' "$list")
imports=$("$(dirname "$0")/program-imports.sh" "$objdump" "$program")

failed=0
while read -r dll name; do
    case "$dll" in
    COREDLL.dll | COMMCTRL.dll) ;;
    *) echo "handheld program: imports $name from $dll, not a library of the handheld" >&2; failed=1; continue ;;
    esac
    grep -qx -- "$name" <<<"$exported" ||
        { echo "handheld program: imports $name, which the handheld does not export" >&2; failed=1; }
done <<<"$imports"
[ -n "$imports" ] || { echo "handheld program: no imports found in $program" >&2; exit 1; }
exit "$failed"
