#!/usr/bin/env bash
# Fails, naming each, when the linked handheld program imports from a library other than the
# handheld's two, a name their export lists lack, or a name that COREDLL.dll exports only from an
# image with a system component outside COMPONENTS, those the program asks of the handheld's
# image (a comma-separated list). Prints each component it needs with the imports that need it.
#
#   handheld-program-check.sh COREDLL_LIST LIST COMPONENTS OBJDUMP PROGRAM
#
# COREDLL_LIST holds "NAME<TAB>CONDITION" a line: "-" for every image, else components joined by
# "&" (all of them), "|", "||" or "OR" (either), a component after "!" or in "NOT(...)" absent.
set -euo pipefail

coredll_list=$1 list=$2 components=$3 objdump=$4 program=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

commctrl=$(awk '/^# COMMCTRL.dll/ {s = 1; next} /^#/ {s = 0} s && NF' "$list")
imports=$("$(dirname "$0")/program-imports.sh" "$objdump" "$program")
[ -n "$imports" ] || { echo "handheld program: no imports found in $program" >&2; exit 1; }

failed=0
while read -r dll name; do
    case "$dll" in
    COREDLL.dll) echo "$name" ;;
    COMMCTRL.dll)
        grep -qx -- "$name" <<<"$commctrl" ||
            { echo "handheld program: imports $name, which COMMCTRL.dll does not export" >&2; failed=1; } ;;
    *) echo "handheld program: imports $name from $dll, not a library of the handheld" >&2; failed=1 ;;
    esac
done <<<"$imports" >"$work/coredll-imports"

# Each COREDLL.dll import: the components of the first alternative of its condition that lies
# within COMPONENTS ("needs COMPONENT NAME" lines), or the whole condition when none does.
awk -F'\t' -v allowed="$components" '
    BEGIN { n = split(allowed, list, ","); for (i = 1; i <= n; ++i) ok[list[i]] = 1 }
    NR == FNR { if (!/^#/ && NF) condition[$1] = $2; next }
    !($1 in condition) { print "missing " $1; next }
    {
        text = condition[$1]
        gsub(/\|\||[ ]OR[ ]/, "|", text); gsub(/NOT\(/, "!", text); gsub(/[() ]/, "", text)
        alternatives = split(text, alternative, "|")
        for (a = 1; a <= alternatives; ++a) {
            terms = split(alternative[a], term, "&"); within = 1; needed = ""
            for (t = 1; t <= terms; ++t)
                if (term[t] != "-" && term[t] !~ /^!/) { within = within && (term[t] in ok); needed = needed " " term[t] }
            if (within) { n = split(needed, component, " "); for (c = 1; c <= n; ++c) print "needs " component[c] " " $1; next }
        }
        print "optional " $1 " " condition[$1]
    }' "$coredll_list" "$work/coredll-imports" >"$work/components"

while read -r kind name rest; do
    case "$kind" in
    missing) echo "handheld program: imports $name, which COREDLL.dll of version 4.20 does not export" >&2; failed=1 ;;
    optional) echo "handheld program: imports $name, which only an image with $rest exports, a component the program does not ask for" >&2; failed=1 ;;
    esac
done <"$work/components"
awk '$1 == "needs" {calls[$2] = calls[$2] " " $3} END {for (c in calls) print "handheld program: needs " c ":" calls[c]}' \
    "$work/components" | sort
exit "$failed"
