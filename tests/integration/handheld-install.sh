#!/usr/bin/env bash
# The handheld's installer (scripts/handheld-install.sh), in a Wine prefix of its own
# (build/wineprefix-install), on the tests' display:
#   handheld-install.sh BUILD_DIR refusals
#     a cabinet made by the cabinet writer from this test's table, spoilt in each way of the
#     table below: each is refused with its message, and no file of the prefix and nothing of
#     its registry changes; then the cabinet unspoilt installs its files, shortcut and values,
#     and records the package; installed again, it replaces itself under one record; removing
#     it refuses each bad input of the removals' table, changing nothing, then takes away all
#     it made, leaving the prefix's files and registry as before the first install
#   handheld-install.sh BUILD_DIR cabinet HANDHELD_BUILD_DIR
#     the cabinets as the handheld build made them, byte for byte those of the release's build
#     (build-handheld, built here when it is not up to date): cabextract lists the control file,
#     then the program; a handheld of each processor of the table installs its cabinet into a
#     fresh file system, its shortcut starting the program as built, or refuses it
set -euo pipefail
WINE_BUILD_DIR=$(realpath "$1")
mode=$2
project=$(cd "$(dirname "$0")/../.." && pwd)
source "$project/scripts/wine-env.sh"
wine_use_tests_session
wine_use_prefix install
source "$project/scripts/handheld-fs.sh"
wine_prepare_prefix

writer=$WINE_BUILD_DIR/package/muntara-cabwriter
install=$project/scripts/handheld-install.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
test_key='HKCU\Software\Muntara Install Test'

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# The registry as the prefix's files keep it once its server has ended, without the times of
# writing and what Wine writes anew at each start.
registry() {
    wineserver -w
    cat "$WINEPREFIX"/*.reg | sed -e 's/^\(\[.*\]\) [0-9]*$/\1/' -e '/^#time=/d' \
        -e '/^"DriverDateData"=/d'
}

# Every file of the prefix but its registry, with its size and time of writing, and every folder:
# the handheld's and any a climbing path would reach; not Wine's own, which Wine may rewrite as it
# starts (its system folder, the devices).
prefix_files() {
    find "$WINEPREFIX" -mindepth 1 ! -name '*.reg' ! -path "$WINEPREFIX/dosdevices*" \
        ! -path "$WINEPREFIX/drive_c/windows/*" \
        \( -type d -printf '%P/\n' -o -printf '%P %s %T@\n' \) | sort
}

# A 16-bit or 32-bit word of a file, read or written at an offset.
word() { od -An -tu"$2" -j "$3" -N "$2" "$1" | tr -d ' '; }
put_word() {
    local bytes="" n
    for ((n = 0; n < $2; n++)); do bytes+=$(printf '\\x%02x' $((($4 >> (8 * n)) & 255))); done
    printf "$bytes" | dd of="$1" bs=1 seek="$3" conv=notrunc status=none
}

cat >"$work/table.txt" <<'EOF'
appname  | Install Test
provider | Muntara Audio tests
file     | 1 | install-tool.exe | %InstallDir%\install-tool.exe
file     | 2 | notes.txt        | %CE5%\Install Test\notes.txt
shortcut | %CE11%\Install Test | 1
regvalue | HKCU\Software\Muntara Install Test | Level  | number | 7
regvalue | HKCU\Software\Muntara Install Test | Folder | string | %CE1%\Install Test
EOF
mkdir "$work/built"
printf 'MZ a program' >"$work/built/install-tool.exe"
printf 'notes' >"$work/built/notes.txt"

# make_cabinet NAME [WRITER OPTIONS...]: the test's cabinet in $work/NAME.cab, its parts in
# $work/NAME; spoil_parts, when set, spoils the parts before they are put together.
make_cabinet() {
    local name=$1 processor=586 system=4.20
    shift
    while [ $# -gt 0 ]; do
        case $1 in
        --processor) processor=$2 ;;
        --system) system=$2 ;;
        esac
        shift 2
    done
    "$writer" parts "$work/table.txt" "$work/built" "$work/$name" --product-name Test \
        --product-version 1 --processor "$processor" --system "$system"
    control=$(echo "$work/$name"/*.000)
    ${spoil_parts:-true}
    "$writer" cabinet "$work/$name.cab" "$work/$name"
}

# The spoilers: each makes $work/bad.cab.
truncated() { make_cabinet bad && truncate -s 300 "$work/bad.cab"; }
corrupt() {
    make_cabinet bad && put_word "$work/bad.cab" 1 $(($(stat -c %s "$work/bad.cab") - 3)) 0x5A
}
spoilt() { spoil_parts=$1 make_cabinet bad; }
files_past_end() { put_word "$control" 2 52 40; }                 # FILES: 40 entries
strings_outside() { put_word "$control" 4 60 60000; }             # STRINGS at offset 60000
text_past_end() { put_word "$control" 2 $(($(word "$control" 4 60) + 2)) 32767; }
no_second_file() { rm "$work/bad"/*.002; }
escape() {
    local at
    at=$(grep -obUa 'install-tool.exe' "$control" | cut -d: -f1)
    printf '..\\..\\..\\..\\evil' | dd of="$control" bs=1 seek="$at" conv=notrunc status=none
}

# name | how the cabinet is made | what the refusal says
rows=(
    "truncated cabinet|truncated|it is not a whole cabinet (cabextract: bad.cab: WARNING; file possibly truncated"
    "corrupt cabinet, a byte of its data changed|corrupt|it is not a whole cabinet (cabextract: INSTAL~1.000: checksum error"
    "FILES count past the control file's end|spoilt files_past_end|the FILES section's 40 entries at offset 233 lie outside the control file's 374 bytes"
    "STRINGS offset outside the control file|spoilt strings_outside|the STRINGS section's 5 entries at offset 60000 lie outside the control file's 374 bytes"
    "a string's length past the end|spoilt text_past_end|STRINGS entry 1's text (32767 bytes at offset 137) runs past the end of the control file's 374 bytes"
    "a file the control file names, missing|spoilt no_second_file|\\My Documents\\Install Test\\notes.txt: the cabinet has no file numbered 002"
    "a path out of the file system|spoilt escape|FILES entry 1 (..\\..\\..\\..\\evil): \"..\\..\\..\\..\\evil\" is not the name of a file or folder; the path would leave the handheld's file system or name none"
    "another processor|make_cabinet bad --processor 2577|the package is for StrongARM (processor 2577); this handheld's processor is Intel Pentium (586)"
    "a newer system|make_cabinet bad --system 5.0|the package needs version 5.00 of the system or newer; this handheld runs 4.20"
)

package='Muntara Audio tests Install Test'
unload="\\Windows\\$package.unload"

refusals() {
    rm -rf "$(handheld_root)"
    wine reg delete "$test_key" /f >/dev/null 2>&1 || true
    wine reg delete 'HKLM\SOFTWARE\Apps' /f /reg:64 >/dev/null 2>&1 || true
    registry >"$work/registry.before"
    local row name make message output status
    for row in "${rows[@]}"; do
        IFS='|' read -r name make message <<<"$row"
        rm -rf "$work/bad" "$work/bad.cab"
        $make >/dev/null
        prefix_files >"$work/files.before"
        status=0
        output=$("$install" "$work/bad.cab" 2>&1) || status=$?
        [ "$status" -eq 1 ] || fail "$name: exit code $status, not 1: $output"
        grep -qF -- "handheld-install: bad.cab: $message" <<<"$output" ||
            fail "$name: the refusal does not say \"$message\": $output"
        grep -qF 'nothing was installed' <<<"$output" || fail "$name: $output"
        prefix_files | diff "$work/files.before" - || fail "$name: the prefix's files changed"
        ! wine reg query "$test_key" >/dev/null 2>&1 || fail "$name: the registry changed"
        echo "refused: $name"
    done
    registry | diff "$work/registry.before" - >/dev/null || fail "a refusal changed the registry"

    # A file numbered 9 keeps its number in the cabinet's name (".009"), read back as 9.
    sed 's/^file     | 2 |/file     | 9 |/' "$work/table.txt" >"$work/table9.txt"
    "$writer" parts "$work/table9.txt" "$work/built" "$work/nine" --product-name Test \
        --product-version 1 --processor 586 --system 4.20 >/dev/null &&
        "$writer" cabinet "$work/nine.cab" "$work/nine" >/dev/null ||
        fail "a file numbered 9 was refused"

    # The same cabinet unspoilt installs it all.
    make_cabinet good >/dev/null
    "$install" "$work/good.cab" >/dev/null || fail "the test's cabinet was not installed"
    cmp "$work/built/install-tool.exe" \
        "$(handheld_host_path '\Program Files\Install Test\install-tool.exe')"
    cmp "$work/built/notes.txt" "$(handheld_host_path '\My Documents\Install Test\notes.txt')"
    [ "$(cat "$(handheld_host_path '\Windows\Programs\Install Test.lnk')")" = \
        '46#"\Program Files\Install Test\install-tool.exe"' ] || fail "the shortcut"
    wine reg query "$test_key" /v Level | grep -q 'REG_DWORD *0x7' || fail "Level"
    wine reg query "$test_key" /v Folder | grep -qF 'REG_SZ    \Program Files\Install Test' ||
        fail "Folder"
    wine reg query "HKLM\\SOFTWARE\\Apps\\$package" /v InstlDir /reg:64 |
        grep -qF 'REG_SZ    \Program Files\Install Test' || fail "the package's record"
    echo "installed the test's cabinet"

    # Installed again, as a newer version is: its files replaced, one record.
    printf 'newer notes' >"$work/built/notes.txt"
    make_cabinet newer >/dev/null
    "$install" "$work/newer.cab" >/dev/null || fail "the newer cabinet was not installed"
    cmp "$work/built/notes.txt" "$(handheld_host_path '\My Documents\Install Test\notes.txt')"
    [ "$(wine reg query 'HKLM\SOFTWARE\Apps' /reg:64 | grep -c 'Apps\\')" = 1 ] ||
        fail "not one record"
    echo "installed the test's cabinet again, under one record"

    # Handheld paths as scripts/handheld-fs.sh maps them: found whatever their case, a shortcut
    # followed to its program, and none outside the root.
    local path expected tool="Program Files/Install Test/install-tool.exe"
    local paths=(
        "\\program files\\INSTALL TEST\\install-tool.exe|$tool"
        "\\Windows\\Programs\\Install Test.lnk|$tool"
        "\\Program Files\\..\\..\\x|"
        "\\a\\\\b|"
        "\\a:b|"
        "Program Files|"
    )
    for row in "${paths[@]}"; do
        IFS='|' read -r path expected <<<"$row"
        output=$(handheld_program_path "$path" 2>/dev/null) || output=""
        [ "$output" = "${expected:+$(handheld_root)/$expected}" ] ||
            fail "$path maps to \"$output\", not \"$expected\""
    done
    removals
    registry | diff "$work/registry.before" - || fail "the removal left the registry changed"
    [ -z "$(find "$(handheld_root)" -mindepth 1)" ] || fail "the removal left files"
    echo "removed the test's package: the files and registry as before"
}

# The removals' spoilers: each spoils the record of the installed package, or not.
unload_line() { printf 'nonsense\n' >>"$(handheld_host_path "$unload")"; }
no_unload() { rm "$(handheld_host_path "$unload")"; }
no_instl() { wine reg delete "HKLM\\SOFTWARE\\Apps\\$package" /v Instl /f /reg:64 >/dev/null; }

# name | spoiler | the package removed | what the refusal says
removal_rows=(
    "a package not installed|true|Nobody Nothing|Nobody Nothing: no package of that name is installed"
    "an unload file with a line that is no entry|unload_line|$package|$package: its record is damaged: its unload file $unload: line 16 is not an entry of it"
    "a record without its unload file|no_unload|$package|$package: its record is damaged: its unload file $unload cannot be read"
    "a record without Instl|no_instl|$package|$package: its record is damaged: HKLM\\SOFTWARE\\Apps\\$package lacks Instl 1"
)

# Each bad input refused, changing nothing (the record is saved and put back around it); then a
# file already gone is said, and the rest removed.
removals() {
    local row name spoil name_given message output status record
    record=$(handheld_host_path "$unload")
    cp "$record" "$work/unload"
    wine reg export "HKLM\\SOFTWARE\\Apps\\$package" "$work/record.reg" /y /reg:64 >/dev/null
    for row in "${removal_rows[@]}"; do
        IFS='|' read -r name spoil name_given message <<<"$row"
        $spoil
        registry >"$work/registry.spoilt"
        prefix_files >"$work/files.before"
        status=0
        output=$("$install" --remove "$name_given" 2>&1) || status=$?
        [ "$status" -eq 1 ] || fail "removing $name: exit code $status, not 1: $output"
        grep -qF -- "handheld-install: $message; nothing was removed" <<<"$output" ||
            fail "removing $name: the refusal does not say \"$message\": $output"
        prefix_files | diff "$work/files.before" - || fail "removing $name: the files changed"
        registry | diff "$work/registry.spoilt" - || fail "removing $name: the registry changed"
        cp "$work/unload" "$record"
        wine reg import "$work/record.reg" /reg:64 >/dev/null 2>&1
        echo "refused removing: $name"
    done
    rm "$(handheld_host_path '\Program Files\Install Test\install-tool.exe')"
    output=$("$install" --remove "$package" 2>&1) || fail "removing $package: $output"
    grep -qF '\Program Files\Install Test\install-tool.exe was already gone' <<<"$output" ||
        fail "the removal does not say the file was already gone: $output"
}

# The cabinets of the tests' handheld build are those of the release's, byte for byte.
same_as_release() {
    local built=$1 release=$project/build-handheld file
    [ -f "$release/CMakeCache.txt" ] || (cd "$project" && cmake --preset handheld >/dev/null)
    cmake --build "$release" --target handheld_cabinet >/dev/null || fail "the release's build"
    for file in bin/muntara.exe muntara.586.cab muntara.686.cab; do
        cmp "$built/$file" "$release/$file" || fail "$file differs from the release's"
    done
    echo "the tests' muntara.exe and cabinets are the release's, byte for byte"
}

# the handheld's processor | its cabinet | what the refusal says, or nothing when installed
processor_rows=(
    "586|muntara.586.cab|"
    "686|muntara.686.cab|"
    "486|muntara.586.cab|the package is for Intel Pentium (processor 586); this handheld's processor is Intel 486 (486)"
    "2577|muntara.686.cab|the package is for Intel Pentium II (processor 686); this handheld's processor is StrongARM (2577)"
)

cabinet() {
    local built=$1 row processor cab message listed lnk output status
    same_as_release "$built"
    for row in "${processor_rows[@]}"; do
        IFS='|' read -r processor cab message <<<"$row"
        listed=$(cabextract -l "$built/$cab" | sed -n 's/^ *\([0-9]*\) | .* | /\1 /p')
        [[ $listed =~ ^[0-9]+\ MUNTAR~1\.000$'\n'([0-9]+)\ 0muntara\.001$ ]] &&
            [ "${BASH_REMATCH[1]}" = "$(stat -c %s "$built/bin/muntara.exe")" ] ||
            fail "cabextract lists: $listed"
        rm -rf "$(handheld_root)"
        status=0
        output=$("$install" --processor "$processor" "$built/$cab" 2>&1) || status=$?
        if [ -n "$message" ]; then
            [ "$status" -eq 1 ] && grep -qF "handheld-install: $cab: $message" <<<"$output" ||
                fail "processor $processor, $cab: $status: $output"
            echo "processor $processor: $cab refused"
            continue
        fi
        [ "$status" -eq 0 ] || fail "processor $processor: $cab was not installed: $output"
        lnk=$(handheld_host_path '\Windows\Programs\Muntara Audio.lnk')
        [ "$(cat "$lnk")" = '42#"\Program Files\Muntara Audio\muntara.exe"' ] ||
            fail "the shortcut"
        cmp "$built/bin/muntara.exe" \
            "$(handheld_program_path '\Windows\Programs\Muntara Audio.lnk')"
        "$install" --remove 'Trilbo Muntara Audio' >/dev/null || fail "removing it"
        echo "processor $processor: $cab installed, $(stat -c %s "$built/$cab") bytes;" \
            "$listed" | paste -sd ' '
    done
}

case $mode in
refusals) refusals ;;
cabinet) cabinet "$(realpath "$3")" ;;
*) fail "usage: handheld-install.sh BUILD_DIR refusals | cabinet HANDHELD_BUILD_DIR" ;;
esac
wineserver -w
