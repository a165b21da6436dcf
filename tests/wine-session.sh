#!/usr/bin/env bash
# CTest's "wine" fixture: `start BUILD_DIR` ends what an interrupted run left, starts the tests'
# private display and makes their Wine prefix (build/wineprefix-tests) before the first entry of a
# run; `end BUILD_DIR` waits for the prefix's server to end, so that the registry reaches the disk,
# and stops the display. The display and its server's PID are kept in
# build/wineprefix-tests.session for the tests' emulator (scripts/wine-run.sh --tests).
set -euo pipefail
action=$1
WINE_BUILD_DIR=$(realpath "$2")
source "$(dirname "$0")/../scripts/wine-env.sh"
wine_use_prefix tests

# The X server a run of this build recorded, if it still runs.
recorded_xvfb() {
    [ -f "$tests_session_file" ] || return 0
    local pid
    pid=$(sed -n 's/^xvfb_pid=//p' "$tests_session_file")
    [ -n "$pid" ] && grep -qa '^Xvfb' "/proc/$pid/cmdline" 2>/dev/null && echo "$pid"
    return 0
}

case $action in
start)
    stale_xvfb=$(recorded_xvfb)
    rm -f "$tests_session_file"
    [ -z "$stale_xvfb" ] || kill "$stale_xvfb" 2>/dev/null || true
    wine_begin_session
    printf 'DISPLAY=%s\nxvfb_pid=%s\n' "$DISPLAY" "$xvfb_pid" >"$tests_session_file"
    echo "# tests' display $DISPLAY (Xvfb $xvfb_pid), prefix $WINEPREFIX"
    ;;
end)
    xvfb_pid=$(recorded_xvfb)
    rm -f "$tests_session_file"
    # A program a failed test left running would keep the server up: it is ended after a minute.
    timeout 60 wineserver -w 2>/dev/null || wineserver -k 2>/dev/null || true
    wine_finish
    ;;
*)
    echo "usage: wine-session.sh start|end BUILD_DIR" >&2
    exit 2
    ;;
esac
