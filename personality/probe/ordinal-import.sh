#!/usr/bin/env bash
# Makes an import library that binds one name of a library by its ordinal in the personality's
# table of it (make-exports.sh numbers a table's handheld names from 1, in order):
#
#   ordinal-import.sh TABLE LIBRARY NAME DLLTOOL OUTLIB
set -euo pipefail

table=$1 library=$2 name=$3 dlltool=$4 outlib=$5

ordinal=$(awk -v name="$name" '/^#/ || NF == 0 || $3 == "personality" { next } { ++n } $1 == name { print n; exit }' "$table")
[ -n "$ordinal" ] || { echo "ordinal-import.sh: $name is not in $table" >&2; exit 1; }
def=$outlib.def
{ echo "LIBRARY $library.dll"; echo EXPORTS; echo "    $name @$ordinal NONAME"; } >"$def"
"$dlltool" -d "$def" -D "$library.dll" -l "$outlib"
