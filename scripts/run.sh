#!/usr/bin/env bash
# Builds the release programs (build-release/) and runs the application under Wine, in the
# person's prefix (build/wineprefix), with the stand-in driver serving "WAV1:"
# and a headphone plugged in.
#   With $DISPLAY: the application opens on that display; lines typed here go to the stand-in
#   ("headphone off", "headphone on", "state") until the application's window is closed.
#   Without: it runs on a private display, is saved to build/screenshots/run.png and closed.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build.sh release
bin=build-release/bin
mkdir -p build # the person's prefix, the stand-in's log and the screenshot stay in build/
source scripts/wine-env.sh
source scripts/standin.sh

screenshot=build/screenshots/run.png
standin_log=build/standin.log
app=""
tail_pid=""

# Ends what this run started, each by its own PID or by closing its input, then the Wine session.
finish() {
    local status=$?
    if [ -n "$app" ] && kill -0 "$app" 2>/dev/null; then
        kill "$app" 2>/dev/null || true # interrupted while the application ran
    fi
    standin_stop
    [ -z "$tail_pid" ] || wait "$tail_pid" 2>/dev/null || true
    wine_finish
    exit "$status"
}
trap finish EXIT
trap 'exit 130' INT TERM
trap '' PIPE # a stand-in that quit early must not end this script mid-line

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
    wait "$app" || true
    app=""
}

# No display: a private one, a screenshot, and the application closed again.
screenshot_and_close() {
    local status=0
    mkdir -p "$(dirname "$screenshot")"
    wine "$bin/muntara-shot.exe" --caption "Muntara Audio" --sheet --out "$screenshot" \
        --close 4>&- || status=$?
    wait "$app" || true
    app=""
    if [ "$status" -ne 0 ]; then
        echo "no screenshot (muntara-shot exit code $status); stand-in log: $standin_log" >&2
        return 1
    fi
    echo "# no display: ran on a private one; screenshot: $screenshot; stand-in log: $standin_log"
}

wine_begin_session --keep-display
standin_start "$standin_log" --headphone=on
wine "$bin/muntara.exe" 4>&- &
app=$!

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
