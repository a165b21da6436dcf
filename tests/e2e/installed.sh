#!/usr/bin/env bash
# The handheld program's whole life as a handheld's owner has it, under the personality in a fresh
# Wine prefix (build/wineprefix-installed), on the tests' display: muntara.586.cab of the tests'
# handheld build installed, started from the shortcut the installer made and taken through the
# acceptance sitting, which leaves own modes and levels; a cabinet of a newer version installed
# over it, which replaces the program under one record and keeps the settings, started from its
# shortcut and finding the sitting's modes and levels; its removal refused while it runs; then
# removed, leaving the handheld's files and records as before the first install, and the settings.
#
#   installed.sh BUILD_DIR
set -euo pipefail
WINE_BUILD_DIR=$(realpath "$1")
project=$(cd "$(dirname "$0")/../.." && pwd)
source "$project/scripts/wine-env.sh"
wine_use_tests_session
wine_use_prefix installed
source "$project/scripts/handheld-fs.sh"

wine_new_prefix >/dev/null
work=$(mktemp -d)
trap 'wineserver -w; rm -rf "$work"' EXIT

install=$project/scripts/handheld-install.sh
package='Trilbo Muntara Audio'
shortcut='\Windows\Programs\Muntara Audio.lnk'
settings='HKCU\ControlPanel\Trilbo Audio'

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# What the handheld keeps of its packages: its files, and its records of them.
handheld_state() {
    find "$(handheld_root)" -mindepth 1 -printf '%P\n' 2>/dev/null | sort
    wine reg query 'HKLM\SOFTWARE\Apps' /s /reg:64 2>/dev/null || true
}

sitting() {
    MUNTARA_PROGRAM=handheld \
        MUNTARA_HANDHELD_PROGRAM=$(winepath -w "$(handheld_program_path "$shortcut")") \
        wine "$WINE_BUILD_DIR/bin/acceptance_tests.exe" "$@"
}

# A cabinet of version 1.0.3.0: the program with its version record's numbers (after the
# record's signature, 0xFEEF04BD: the file's and the product's version, each as two words) raised.
newer_cabinet() {
    local at
    mkdir "$work/newer"
    cp "$WINE_BUILD_DIR/handheld/bin/muntara.exe" "$work/newer/muntara.exe"
    at=$(LC_ALL=C grep -m1 -obUaP '\xbd\x04\xef\xfe' "$work/newer/muntara.exe" | cut -d: -f1)
    printf '\x00\x00\x03\x00' | dd of="$work/newer/muntara.exe" bs=1 seek=$((at + 12)) \
        conv=notrunc status=none
    printf '\x00\x00\x03\x00' | dd of="$work/newer/muntara.exe" bs=1 seek=$((at + 20)) \
        conv=notrunc status=none
    "$WINE_BUILD_DIR/package/muntara-cabwriter" parts "$project/package/install-table.txt" \
        "$work/newer" "$work/parts" --product-name 'Muntara Audio' --product-version 1.0.3.0 \
        --processor 586 --system 4.20 >/dev/null
    "$WINE_BUILD_DIR/package/muntara-cabwriter" cabinet "$work/muntara-1.0.3.0.cab" \
        "$work/parts" >/dev/null
}

before=$(handheld_state)
"$install" "$WINE_BUILD_DIR/handheld/muntara.586.cab"
echo "# the shortcut starts $(handheld_program_path "$shortcut")"
sitting

newer_cabinet
kept=$(wine reg query "$settings" /s)
"$install" "$work/muntara-1.0.3.0.cab"
cmp "$work/newer/muntara.exe" "$(handheld_program_path "$shortcut")" ||
    fail "the newer cabinet did not replace the program"
[ "$(wine reg query 'HKLM\SOFTWARE\Apps' /reg:64 | grep -c 'Apps\\')" = 1 ] ||
    fail "not one record: $(wine reg query 'HKLM\SOFTWARE\Apps' /reg:64)"
[ "$(wine reg query "$settings" /s)" = "$kept" ] || fail "the upgrade changed the settings"
echo "# the newer version replaced the program under one record; the settings kept"

mark=$work/running
MUNTARA_RUNNING_MARK=$(winepath -w "$mark") sitting --gtest_also_run_disabled_tests \
    --gtest_filter='AfterUpgradeTest.*' &
running=$!
for ((tries = 0; tries < 600; tries++)); do
    [ ! -f "$mark" ] || break
    sleep 0.1
done
[ -f "$mark" ] || fail "the program did not start from its shortcut"
status=0
output=$("$install" --remove "$package" 2>&1) || status=$?
rm "$mark"
wait "$running" || fail "the program after the upgrade"
[ "$status" -eq 1 ] &&
    grep -qF "is in use: close the program first; nothing was removed" <<<"$output" ||
    fail "removing the running program: $status: $output"
echo "# removing it while it runs is refused"

"$install" --remove "$package"
[ "$(handheld_state)" = "$before" ] || fail "the removal left: $(handheld_state)"
[ "$(wine reg query "$settings" /s)" = "$kept" ] || fail "the removal changed the settings"
echo "# removed: the handheld's files and records as before, the settings kept"
