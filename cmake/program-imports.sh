#!/usr/bin/env bash
# Prints "LIBRARY NAME" for each name a linked program imports, as objdump -p lists them (each
# "DLL Name: X" with its names, "<hint> <name>").
#
#   program-imports.sh OBJDUMP PROGRAM
set -euo pipefail

"$1" -p "$2" | awk '
    /^\tDLL Name: / {dll = $3; next}
    /^\t[ \t]*vma:/ {next}
    dll && /^\t[ \t]*[0-9a-f]+[ \t]+[0-9]+[ \t]+[A-Za-z_]/ {print dll, $3; next}
    /^$/ {dll = ""}'
