#!/usr/bin/env bash
# Fails, naming each, on code of the handheld program that the handheld would not run as built:
#
#   handheld-code-check.sh PROCESSOR OBJDUMP DUMPDIR PROGRAM MAP OBJECT_OR_ARCHIVE...
#
# - A function of the system's objects that removes its own arguments (ret $N). The handheld's
#   calls and callbacks leave them to the caller, so the handheld calling such a function (a
#   callback, the entry, a call its headers make inline) would find its stack short. Member
#   functions alone take them off (their object comes in a register, the rest on the stack): only
#   the program calls them, never the handheld. The compiler says which functions are members, in
#   its account of each function (-fdump-tree-optimized, found under DUMPDIR): their first
#   parameter is the object ("this", or a lambda's "__closure").
# - An instruction newer than PROCESSOR (a Pentium's): the P6's cmov, fcmov, fcomi, fucomi,
#   rdpmc, sysenter and sysexit, fxsave and fxrstor, its multi-byte nop, and everything later (MMX
#   and SSE registers and instructions, fences, prefetches, popcnt, lzcnt, tzcnt, BMI, movbe,
#   crc32, rdrand, xsave, endbr32). Looked for in the system's objects, which name the function,
#   and in the linked PROGRAM, which also holds what the toolchain linked in (libgcc); the link
#   map MAP names the input that holds such an address.
set -euo pipefail

processor=$1 objdump=$2 dumpdir=$3 program=$4 map=$5
shift 5

demangle="${objdump%objdump}c++filt"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# "FILE<TAB>SYMBOL<TAB>INSTRUCTION" for every instruction of the objects.
"$objdump" -d --no-show-raw-insn "$@" | awk -F'\t' '
    /^In archive / {archive = $0; sub(/^In archive /, "", archive); sub(/:$/, "", archive); next}
    /file format/ {member = $0; sub(/:.*/, "", member)
                   file = archive == "" ? member : archive "[" member "]"; next}
    /^[0-9a-f]+ <.*>:$/ {symbol = $0; sub(/^[0-9a-f]+ </, "", symbol); sub(/>:$/, "", symbol); next}
    NF >= 2 && $1 ~ /^ *[0-9a-f]+:$/ {instruction = $2; gsub(/ +/, " ", instruction)
                                      print file "\t" symbol "\t" instruction}' >"$work/objects"

# Members, by the name the compiler gave each function (the symbol without its underscore).
# Each function's account opens with ";; Function PRETTY (NAME, funcdef_no=...", and its
# declaration follows, after the compiler's notes: "TYPE PRETTY (PARAMETERS)".
find "$dumpdir" -name '*.optimized' -exec awk '
    /^;; Function / {match($0, /\([^ ,()]+, funcdef_no=/)
                     name = substr($0, RSTART + 1, RLENGTH - 14)
                     declaration = substr($0, 13, RSTART - 13) "("; next}
    declaration != "" && index($0, declaration) {
        if ($0 ~ /[*] const (this|__closure)[,)]/) {
            print name
            # A constructor or destructor of the whole object is the same code as the base
            # object'"'"'s, and may be known by either name.
            if (match(name, /[CD][12]E/)) {
                print substr(name, 1, RSTART) "1" substr(name, RSTART + 2)
                print substr(name, 1, RSTART) "2" substr(name, RSTART + 2)
            }
        }
        declaration = ""}' {} + |
    sort -u >"$work/members"

# The handheld's calls leave the arguments to the caller: a function that removes its own is one
# of the program's members, or a fault.
awk -F'\t' '$3 ~ /^ret \$/' "$work/objects" | sort -u |
    while IFS=$'\t' read -r file symbol instruction; do
        grep -qxF -- "${symbol#_}" "$work/members" ||
            echo "handheld convention: $("$demangle" "$symbol") removes its own arguments ($instruction), which the handheld leaves to the caller (${file##*/})"
    done >"$work/faults"

# An instruction newer than a Pentium, if it is one: its mnemonic after any prefixes.
newer_than_pentium='
    function newer(instruction,    words, n, i, mnemonic, operands) {
        n = split(instruction, words, / +/)
        for (i = 1; i < n && words[i] ~ /^(lock|rep|repz|repnz|repe|repne|data16|addr16|[c-gs]s)$/; ++i) {}
        mnemonic = words[i]
        operands = i < n ? words[i + 1] : ""
        # The P6: conditional moves, compares into the flags, its counters and fast system calls,
        # saving the FPU state, the multi-byte nop.
        if (mnemonic ~ /^f?cmov/ || mnemonic ~ /^fu?comip?$/) return mnemonic
        if (mnemonic ~ /^(rdpmc|sysenter|sysexit|fxsave|fxrstor)$/) return mnemonic
        if (mnemonic ~ /^nop[lw]$/ || (mnemonic == "nop" && operands != "")) return mnemonic " (a multi-byte nop)"
        # MMX, SSE and AVX with their registers, and what came with them.
        if (instruction ~ /%([xyz]?mm[0-9]|k[0-7]([^0-9]|$)|bnd)/) return mnemonic " (MMX, SSE or later)"
        if (mnemonic ~ /^(emms|femms|[lsm]fence|movnti|ldmxcsr|stmxcsr|fisttp|monitor|mwait)$/) return mnemonic
        if (mnemonic ~ /^(prefetch|clflush)/) return mnemonic
        # Later still: bit counts and bit fields, moves that swap bytes, checksums, random numbers,
        # the extended state, control-flow marks.
        if (mnemonic ~ /^(popcnt|lzcnt|tzcnt|andn|bextr|blsi|blsmsk|blsr|bzhi|pdep|pext)$/) return mnemonic
        if (mnemonic ~ /^(rorx|sarx|shlx|shrx|mulx|adcx|adox|movbe|crc32|rdrand|rdseed|rdtscp)$/) return mnemonic
        if (mnemonic ~ /^(xgetbv|endbr32)$/ || mnemonic ~ /^(xsave|xrstor)/) return mnemonic
        return ""
    }'

awk -F'\t' "$newer_than_pentium"'
    {found = newer($3); if (found != "") print $1 "\t" $2 "\t" found}' "$work/objects" | sort -u |
    while IFS=$'\t' read -r file symbol found; do
        echo "handheld processor: $("$demangle" "$symbol") holds $found, newer than $processor (${file##*/})"
    done >"$work/newer"

# The linked program: what the objects do not hold comes from the toolchain's code.
if [ ! -s "$work/newer" ]; then
    "$objdump" -d --no-show-raw-insn "$program" | awk -F'\t' "$newer_than_pentium"'
        NF >= 2 && $1 ~ /^ *[0-9a-f]+:$/ {found = newer($2); address = $1; gsub(/[ :]/, "", address)
                                          if (found != "") print address "\t" found}' |
        while IFS=$'\t' read -r address found; do
            # The input section of the link map whose range holds the address.
            input=$([ ! -f "$map" ] || awk -v at=$((16#$address)) '
                function value(hex,    i, n) {
                    n = 0; hex = tolower(substr(hex, 3))
                    for (i = 1; i <= length(hex); ++i) n = n * 16 + index("0123456789abcdef", substr(hex, i, 1)) - 1
                    return n
                }
                /^ \.text/ && NF == 1 {pending = 1; next}
                (/^ \.text/ && NF >= 4) || (pending && /^ +0x/) {
                    i = pending ? 1 : 2; pending = 0
                    if (at >= value($i) && at < value($i) + value($(i + 1))) {print $(i + 2); exit}
                    next}
                {pending = 0}' "$map")
            echo "handheld processor: the program holds $found at 0x$address, newer than $processor (${input:-an input the link map does not name})"
        done >"$work/newer"
fi

cat "$work/faults" "$work/newer" >&2
[ ! -s "$work/faults" ] && [ ! -s "$work/newer" ] || exit 1
echo "handheld code: only members remove their own arguments; nothing newer than $processor"
