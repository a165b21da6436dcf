#!/usr/bin/env bash
# Builds the release programs (build-release/) and runs the application under Wine, in the
# person's prefix (build/wineprefix), with the stand-in driver serving "WAV1:"
# and a headphone plugged in.
#   scripts/run.sh [--handheld]
#   --handheld: the handheld program (build-handheld/) under the handheld personality instead; the
#   run fails, showing them, when it broke a contract of the handheld ("handheld:" lines).
#   With $DISPLAY: the application opens on that display; lines typed here go to the stand-in
#   ("headphone off", "headphone on", "state") until the application's window is closed.
#   Without: it runs on a private display, is saved to build/screenshots/run.png and closed.
#   Where the kernel runs no 32-bit programs, the handheld program runs in a virtual machine
#   (vm/), always as without a display.
set -euo pipefail
cd "$(dirname "$0")/.."

handheld=""
case "$*" in
"") ;;
--handheld) handheld=1 ;;
*)
    echo "usage: scripts/run.sh [--handheld]" >&2
    exit 2
    ;;
esac

# In the handheld half's virtual machine the programs are already built.
if [ -z "${MUNTARA_VM:-}" ]; then
    scripts/build.sh release
    [ -z "$handheld" ] || scripts/build.sh handheld
fi
if [ -n "$handheld" ]; then
    source scripts/handheld-way.sh
    handheld_elsewhere scripts/run.sh --handheld
fi
bin=build-release/bin # the stand-in and the screenshot tool, for either program
mkdir -p build # the person's prefix, the stand-in's log and the screenshot stay in build/
source scripts/wine-env.sh
source scripts/standin.sh
source scripts/app.sh

screenshot=build/screenshots/run.png
standin_log=build/standin.log
tail_pid=""

# The stand-in's log shown here ends after the stand-in.
await_log() { [ -z "$tail_pid" ] || wait "$tail_pid" 2>/dev/null || true; }
app_on_exit await_log

# Forwards typed lines to the stand-in until the application has ended. A read that times out
# mid-line keeps what it read in $line; that part waits for the rest of its line.
forward_commands() {
    local line partial="" status
    while kill -0 "$app" 2>/dev/null; do
        read -r -t 1 line && status=0 || status=$?
        partial+=$line
        if [ "$status" -eq 0 ]; then
            standin_send "$partial"
            partial=""
        elif [ "$status" -le 128 ]; then # end of input: stop reading, keep waiting
            [ -z "$partial" ] || standin_send "$partial"
            break
        fi
    done
    app_wait
}

# No display: a private one, a screenshot, and the application closed again.
screenshot_and_close() {
    local status=0 kept=0
    mkdir -p "$(dirname "$screenshot")"
    wine "$bin/muntara-shot.exe" --caption "Muntara Audio" --sheet --out "$screenshot" \
        --close --timeout $((20 * ${MUNTARA_WAIT_SCALE:-1})) 4>&- || status=$?
    [ "$status" -eq 0 ] || app_stop # not closed by the tool: it would be waited for forever
    app_wait || kept=$?
    if [ "$status" -ne 0 ]; then
        echo "no screenshot (muntara-shot exit code $status); stand-in log: $standin_log" >&2
        return 1
    fi
    [ "$kept" -eq 0 ] || return 1
    echo "# no display: ran on a private one; screenshot: $screenshot; stand-in log: $standin_log"
}

wine_begin_session --keep-display
[ -z "$handheld" ] || app_use_handheld build/handheld-stderr.log
standin_start "$standin_log" --headphone=on
app_start "$bin/muntara.exe"

if [ -n "$xvfb_pid" ]; then
    screenshot_and_close
else
    # The log without the page's once-a-second headphone queries; tail ends after the stand-in.
    tail -n +1 -f --pid="$standin_pid" "$standin_log" 4>&- |
        grep --line-buffered -v '^[0-9]* 123 ' 4>&- &
    tail_pid=$!
    echo "# type stand-in commands here: headphone off, headphone on, state; close the window to end"
    forward_commands
fi
