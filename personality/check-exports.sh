#!/usr/bin/env bash
# Fails, naming each, when a handheld program imports a name that the personality's library of
# that name does not export, so that the build, not a run, finds what the personality lacks.
#
#   check-exports.sh OBJDUMP STAMP PROGRAM LIBRARY.dll...
set -euo pipefail

objdump=$1 stamp=$2 program=$3
shift 3

# "LIBRARY NAME" for each import of the program, and for each export of the libraries.
imports=$("$(dirname "$0")/../cmake/program-imports.sh" "$objdump" "$program" |
    awk '{print toupper($1), $2}')
exports=$(for library in "$@"; do
    "$objdump" -p "$library" | awk -v dll="$(basename "$library" | tr a-z A-Z)" '
        /^\[Ordinal\/Name Pointer\] Table/ {table = 1; next}
        table && /^\t\[ *[0-9]+\] / {print dll, $3; next}
        table {table = 0}'
done)

missing=$(comm -23 <(sort -u <<<"$imports") <(sort -u <<<"$exports"))
if [ -n "$missing" ]; then
    while read -r library name; do
        echo "handheld personality: $library has no $name, which $(basename "$program") imports" >&2
    done <<<"$missing"
    exit 1
fi
touch "$stamp"
