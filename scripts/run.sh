#!/usr/bin/env bash
# Builds everything and runs the application under Wine, with the stand-in driver serving "WAV1:"
# and a headphone plugged in.
#   With $DISPLAY: the application opens on that display; lines typed here go to the stand-in
#   ("headphone off", "headphone on", "state") until the application's window is closed.
#   Without: it runs on a private display, is saved to build/screenshots/run.png and closed.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build.sh
source scripts/wine-env.sh

caption="Muntara Audio"
screenshot=build/screenshots/run.png
standin_log=build/standin.log
headless=""
[ -n "${DISPLAY:-}" ] || headless=1

fifo_dir=""
standin=""
app=""
tail_pid=""

# Ends what this run started, each by its own PID or by closing its input, then the Wine session.
finish() {
    local status=$?
    if [ -n "$app" ] && kill -0 "$app" 2>/dev/null; then
        kill "$app" 2>/dev/null || true # interrupted while the application ran
    fi
    if [ -n "$standin" ]; then
        echo quit >&4 2>/dev/null || true
        exec 4>&- # the end of its input would end the stand-in as well
        wait "$standin" 2>/dev/null || true
    fi
    [ -z "$tail_pid" ] || wait "$tail_pid" 2>/dev/null || true
    [ -z "$fifo_dir" ] || rm -rf "$fifo_dir"
    wine_finish
    exit "$status"
}
trap finish EXIT
trap 'exit 130' INT TERM
trap '' PIPE # a stand-in that quit early must not end this script mid-line

# The stand-in reads its commands from a FIFO this script holds open on fd 4, and logs to a file.
# Every other program gets 4>&-: a Wine process that inherited the write end (the desktop process
# the application starts outlives it) would keep the stand-in from seeing the end of its input.
start_standin() {
    fifo_dir=$(mktemp -d)
    mkfifo "$fifo_dir/commands"
    : >"$standin_log"
    wine build/bin/wav1-standin.exe --headphone=on <"$fifo_dir/commands" >"$standin_log" 2>&1 &
    standin=$!
    exec 4>"$fifo_dir/commands"
    for _ in $(seq 200); do # 20 s
        grep -q '^# serving' "$standin_log" && return 0
        kill -0 "$standin" 2>/dev/null || break
        sleep 0.1
    done
    cat "$standin_log" >&2
    echo "the stand-in driver did not start serving (is another one running in this prefix?)" >&2
    return 1
}

# Forwards typed lines to the stand-in until the application has ended.
forward_commands() {
    local line status
    while kill -0 "$app" 2>/dev/null; do
        if read -r -t 1 line; then
            echo "$line" >&4 2>/dev/null || true
        else
            status=$?
            [ "$status" -gt 128 ] || break # end of input: stop reading, keep waiting
        fi
    done
    wait "$app" || true
}

if [ -n "$headless" ]; then
    wine_start_display
fi
wineserver -k 2>/dev/null || true # a server left by an interrupted run of this prefix
wine_prepare_prefix
start_standin

wine build/bin/muntara.exe 4>&- &
app=$!

if [ -n "$headless" ]; then
    mkdir -p "$(dirname "$screenshot")"
    status=0
    wine build/bin/muntara-shot.exe --caption "$caption" --sheet --out "$screenshot" --close 4>&- ||
        status=$?
    wait "$app" || true
    app=""
    if [ "$status" -ne 0 ]; then
        echo "no screenshot (muntara-shot exit code $status); stand-in log: $standin_log" >&2
        exit 1
    fi
    echo "# no display: ran on a private one; screenshot: $screenshot; stand-in log: $standin_log"
else
    tail -n +1 -f --pid="$standin" "$standin_log" 4>&- & # ends after the stand-in
    tail_pid=$!
    echo "# type stand-in commands here: headphone off, headphone on, state; close the window to end"
    forward_commands
    app=""
fi
