# Sourced by the scripts that run the build's programs: a Wine prefix of the build's own and one
# display for every Wine process of a run.
#
# The person's prefix, build/wineprefix, serves scripts/run.sh and the stand-in started by hand.
# The tests, the benchmarks and the screenshots delete and rewrite the settings key at will, so
# each calls wine_use_prefix for one of its own and never touches the person's settings.
#
# Measured facts this respects: a new prefix takes ~12 s, so it is made once and kept in the
# build tree; without a window manager, hiding a captioned window stalls its thread ~2 s unless
# the X11 driver is unmanaged; a Wine process started without DISPLAY while the wineserver runs
# breaks later GUI processes; HKCU reaches user.reg only when the wineserver ends cleanly.

WINE_BUILD_DIR=${WINE_BUILD_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}
export WINEPREFIX=$WINE_BUILD_DIR/wineprefix
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="

# Every program starts through Wine's 64-bit loader: Debian's `wine` starts even a 64-bit program
# through the 32-bit one once Wine's 32-bit half is installed, and a kernel that runs no 32-bit
# programs fails it. A 64-bit process still finds the 32-bit loader beside this one for a 32-bit
# program (the handheld's), where the kernel runs it.
export WINELOADER=/usr/lib/wine/wine64
wine() { "$WINELOADER" "$@"; }
wineboot() { "$WINELOADER" wineboot.exe "$@"; }
winepath() { "$WINELOADER" winepath.exe "$@"; }
export -f wine wineboot winepath
# A program started in the background is started by a loader itself, so that its PID is the
# program's and not that of a shell around it; a 32-bit one (the handheld's) by the 32-bit loader,
# since the 64-bit one would run it in a child of start.exe, which a kill misses.
wine32_loader=/usr/lib/wine/wine

xvfb_pid=""

# wine_use_prefix ROLE: build/wineprefix-ROLE instead of the person's prefix.
wine_use_prefix() {
    export WINEPREFIX=$WINE_BUILD_DIR/wineprefix-$1
}

wine_prepare_prefix() {
    if [ -n "${MUNTARA_VM:-}" ]; then
        vm_layer_prefix
        return
    fi
    wine_mend_prefix
    if [ ! -f "$WINEPREFIX/.muntara-ready" ]; then
        echo "# creating the Wine prefix $WINEPREFIX"
        mkdir -p "$(dirname "$WINEPREFIX")"
        wineboot --init >/dev/null 2>&1 || true
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        wineserver -w
        touch "$WINEPREFIX/.muntara-ready"
    fi
    wine_add_caption_font
}

# A prefix made before Wine's 32-bit half was installed, or where the kernel could not run it, has
# an empty syswow64, where no 32-bit program starts. Where the kernel runs the half, updating the
# prefix fills it (about 15 s) and keeps its settings; where it cannot, nothing is tried.
wine_mend_prefix() {
    [ -f "$WINEPREFIX/.muntara-ready" ] && /usr/lib/wine/wine --version >/dev/null 2>&1 || return 0
    [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ] || return 0
    echo "# updating the Wine prefix $WINEPREFIX for Wine's 32-bit half"
    rm -f "$WINEPREFIX/.update-timestamp"
    wineboot -u >/dev/null 2>&1 || true
    wineserver -w
}

# wine_new_prefix: the current prefix made anew, empty of what a run left.
wine_new_prefix() {
    wineserver -k 2>/dev/null || true
    if [ -n "${MUNTARA_VM:-}" ]; then
        vm_unlayer_prefix
        vm_layer_prefix --empty
        return
    fi
    rm -rf "$WINEPREFIX"
    wine_prepare_prefix
}

# Caption buttons are glyphs of Marlett. This Wine does not load the fonts of its own folder
# (fonts-wine's /usr/share/wine/fonts), so they showed as "0", "1" and "r" in another font; it
# loads a font in the prefix's Fonts folder. Prefixes made before get it on their next use.
wine_add_caption_font() {
    local fonts=$WINEPREFIX/drive_c/windows/Fonts
    [ -f "$fonts/marlett.ttf" ] || cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
}

# Starts a private X server for the run's Wine processes.
wine_start_display() {
    # Xvfb picks a free display itself and writes its number to fd 3: a display is taken when its
    # lock file or its abstract socket exists, and the socket does not show in another /tmp.
    local dir n=""
    dir=$(mktemp -d)
    mkfifo "$dir/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" </dev/null >/dev/null 2>&1 &
    xvfb_pid=$!
    read -r -t 10 n <"$dir/display" || true
    rm -rf "$dir"
    if [ -z "$n" ]; then
        echo "Xvfb did not start" >&2
        return 1
    fi
    export DISPLAY=":$n"
}

# wine_begin_session [--keep-display]: the start of every run of the build's programs, in the
# current prefix. Ends a server of the prefix that an interrupted run left, starts a private
# display (with --keep-display only when $DISPLAY is not set) and makes the prefix on first use.
# The caller's EXIT trap calls wine_finish.
wine_begin_session() {
    wineserver -k 2>/dev/null || true
    if [ "${1:-}" != --keep-display ] || [ -z "${DISPLAY:-}" ]; then
        wine_start_display
    fi
    wine_prepare_prefix
}

# The tests' session, which CTest's "wine" fixture (tests/wine-session.sh) starts and ends: the
# tests' prefix, and the display and X server PID it recorded.
tests_session_file=${MUNTARA_TESTS_SESSION:-$WINE_BUILD_DIR/wineprefix-tests.session}

wine_use_tests_session() {
    wine_use_prefix tests
    if [ ! -f "$tests_session_file" ]; then
        echo "no display for the tests: CTest's fixture starts one (ctest --test-dir build)" >&2
        return 1
    fi
    source "$tests_session_file"
    export DISPLAY
}

# wine_end_server: the prefix's server ended cleanly, once its last program has, so that the
# registry reaches the disk.
wine_end_server() {
    [ -z "${MUNTARA_VM:-}" ] || vm_release_session
    wineserver -w
}

# Waits for the prefix's wineserver to end cleanly, so that the registry reaches the disk, then
# stops the X server this run started.
wine_finish() {
    wine_end_server 2>/dev/null || true
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
        xvfb_pid=""
    fi
}

# In the handheld half's virtual machine (vm/), every prefix is a layer in the guest's memory over
# the prefix the guest made once and keeps (build/vm/wineprefix): a prefix with Wine's 32-bit half
# takes minutes to make under emulation, a layer a fraction of a second.
[ -z "${MUNTARA_VM:-}" ] || source "$(dirname "${BASH_SOURCE[0]}")/../vm/guest-wine.sh"
