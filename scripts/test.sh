#!/usr/bin/env bash
# The test command: checks every promise of the README, then runs every tier of tests (CTest under
# Wine; its "wine" fixture starts a private display and the tests' own prefix). Arguments go to
# CTest, e.g. `scripts/test.sh -L unit`. Each step is one function; `steps` runs them in order.
set -euo pipefail
cd "$(dirname "$0")/.."

readonly size_budget=$((96 * 1024))          # muntara.exe, stripped
readonly handheld_size_budget=$((44 * 1024)) # the handheld's muntara.exe, stripped

# Every C++ source as the committed .clang-format lays it out.
check_format() {
    local files
    mapfile -t files < <(git ls-files --cached --others --exclude-standard -- '*.cpp' '*.h')
    if ! clang-format --dry-run --Werror "${files[@]}"; then
        echo "clang-format would change the files above (clang-format -i FILE lays one out)" >&2
        return 1
    fi
}

# Everything with the tests, by gcc (build/).
build_default() { scripts/build.sh; }

# Prints the size of PROGRAM stripped (a copy, by STRIP) and fails when it exceeds BUDGET bytes.
check_stripped_size() {
    local program=$1 strip=$2 budget=$3 name=$4 stripped size
    stripped=$(mktemp --suffix=.exe)
    cp "$program" "$stripped"
    "$strip" "$stripped"
    size=$(stat -c %s "$stripped")
    rm -f "$stripped"
    echo "# $name stripped: $size bytes ($((size / 1024)) KiB); budget $budget bytes"
    if [ "$size" -gt "$budget" ]; then
        echo "$name is $size bytes stripped, over its budget of $budget" >&2
        return 1
    fi
}

# The programs as they ship (build-release/), and the application within its budget.
build_release() {
    scripts/build.sh release
    check_stripped_size build-release/bin/muntara.exe x86_64-w64-mingw32-strip "$size_budget" \
        muntara.exe
}

# The programs by clang and lld as well (build-clang/), warnings as errors.
build_clang() { scripts/build.sh clang; }

# The program for the handheld (build-handheld/): built, checked against the handheld's API,
# calling convention and processor as it links, and within its budget; and its installation
# cabinets, with what cabextract lists of each.
build_handheld() {
    scripts/build.sh handheld
    check_stripped_size build-handheld/bin/muntara.exe i686-w64-mingw32-strip \
        "$handheld_size_budget" "the handheld's muntara.exe"
    local cabinet
    for cabinet in build-handheld/muntara.*.cab; do
        echo "# ${cabinet##*/}: $(stat -c %s "$cabinet") bytes"
        cabextract -l "$cabinet" | sed -n 's/^\( *[0-9]* |.*\)/#   \1/p'
    done
}

# Every tier, or what the arguments select.
run_tests() { ctest --preset default "$@"; }

# The last lines: how the handheld half's 32-bit entries ran, if the run had any.
report_handheld_way() {
    local way reason
    [ -f build/handheld-way ] || return 0
    way=$(sed -n 1p build/handheld-way)
    reason=$(sed -n 2p build/handheld-way)
    case $way in
    native) echo "# the handheld half ran natively: this kernel runs 32-bit programs" ;;
    emulated)
        echo "# the handheld half ran under emulation, in a virtual machine (vm/):" \
             "$(cat build/vm/tests/summary 2>/dev/null || echo "it did not start")"
        ;;
    *) echo "# the handheld half did not run, its entries skipped: $reason" ;;
    esac
}
rm -f build/handheld-way
trap report_handheld_way EXIT

steps=(check_format build_default build_release build_clang build_handheld run_tests)

scripts/deps.sh
for step in "${steps[@]}"; do
    echo "# $step"
    start=$SECONDS
    "$step" "$@"
    echo "# $step: done in $((SECONDS - start)) s"
done
