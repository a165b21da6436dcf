#!/usr/bin/env bash
# Makes the handheld program's import libraries from the handheld's API lists, and fails, naming
# each, on a call of the program's objects that the handheld does not export, and on a symbol
# that carries a desktop's stdcall decoration.
#
#   handheld-imports.sh COREDLL_LIST LIST NM DLLTOOL LIBGCC OUTDIR OBJECT_OR_ARCHIVE...
#
# COREDLL_LIST is COREDLL.dll's exports ("NAME<TAB>COMPONENTS" a line, platform/coredll-exports.txt),
# LIST the rest of the API (platform/handheld-api.txt): COMMCTRL.dll's exports and the names the
# handheld's headers define inline.
#
# A call of the objects is an import slot (__imp__Name) or a direct call of a C library function
# (_name) that none of the objects defines, nor the compiler's own helpers (LIBGCC: 64-bit division,
# the stack probe), nor the link itself (the table of static constructors). Names the handheld's
# headers define inline must be defined by the objects themselves (platform/HandheldInline.cpp).
# The handheld's calls and callbacks leave their
# arguments to the caller (its headers define __stdcall as __cdecl), so no name carries the byte
# count of its arguments (Name@N): one that does was built for a desktop's convention, and the
# call or callback would leave the stack unbalanced. The import libraries hold the plain names.
set -euo pipefail

coredll_list=$1 list=$2 nm=$3 dlltool=$4 libgcc=$5 outdir=$6
shift 6

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

awk -F'\t' '!/^#/ && NF {print $1}' "$coredll_list" | sort -u >"$work/coredll"
awk '/^# COMMCTRL.dll/ {s = "c"; next} /^# defined inline/ {s = "i"; next} /^#/ || NF == 0 {next}
     s == "c" {print > "'"$work"'/commctrl"} s == "i" {print > "'"$work"'/inline"}' "$list"
sort -u -o "$work/commctrl" "$work/commctrl"
sort -u -o "$work/inline" "$work/inline"

# "FILE: SYMBOL" for each undefined symbol, and every defined symbol.
"$nm" -A -P -u "$@" | awk '{sub(/:$/, "", $1); print $1 " " $2}' | sort -u -k2 >"$work/undefined"
{
    "$nm" -P --defined-only "$@" "$libgcc" 2>/dev/null | awk 'NF >= 2 && $2 != "U" {print $1}'
    echo ___CTOR_LIST__
} | sort -u >"$work/defined"
awk 'NR == FNR {defined[$1] = 1; next} !($2 in defined)' "$work/defined" "$work/undefined" \
    >"$work/calls"

# Every symbol, defined or called, that a desktop's stdcall decorated.
"$nm" -A -P "$@" | awk '{sub(/:$/, "", $1)} $2 ~ /@[0-9]+$/ {print $1 " " $2}' | sort -u \
    >"$work/decorated"
if [ -s "$work/decorated" ]; then
    while read -r file symbol; do
        echo "handheld convention: $symbol removes its own arguments, as a desktop's stdcall does (${file##*/})" >&2
    done <"$work/decorated"
    exit 1
fi

: >"$work/COREDLL.def.body"
: >"$work/COMMCTRL.def.body"
missing=0
while read -r file symbol; do
    name=${symbol#__imp__}
    [ "$name" = "$symbol" ] && name=${symbol#_}
    if grep -qx -- "$name" "$work/inline"; then
        echo "handheld API: $name is defined inline by the handheld's headers, and nothing here defines it (${file##*/})" >&2
        missing=1
    elif grep -qx -- "$name" "$work/coredll"; then
        echo "$name" >>"$work/COREDLL.def.body"
    elif grep -qx -- "$name" "$work/commctrl"; then
        echo "$name" >>"$work/COMMCTRL.def.body"
    else
        echo "handheld API: $name is not on the handheld (${file##*/})" >&2
        missing=1
    fi
done <"$work/calls"
[ "$missing" = 0 ] || exit 1
echo "handheld API: $(wc -l <"$work/calls") calls, each exported by the handheld"

mkdir -p "$outdir"
for library in COREDLL COMMCTRL; do
    { echo "LIBRARY $library.dll"; echo EXPORTS; sort -u "$work/$library.def.body"; } \
        >"$outdir/$library.def"
    "$dlltool" -d "$outdir/$library.def" -D "$library.dll" -l "$outdir/lib$library.a"
done
