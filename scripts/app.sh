# Sourced, after wine-env.sh and standin.sh, by the scripts that run the application with the
# stand-in: starts it in the background, the desktop program or the handheld program under the
# handheld personality, waits for its end and, for the handheld program, says whether it kept the
# handheld's contracts; and ends the run.
#
# Under the personality the program runs inside the loader's process, so that is the process
# watched. Its standard error goes to a file rather than a pipe: once the loader has ended, all it
# wrote is in the file, whichever Wine process it started still holds it open.

app=""           # the running application's Wine process
app_loader=""    # set by app_use_handheld: the personality's loader,
app_program=""   # the handheld program as Wine names it,
app_errors=""    # and the file of the program's standard error
app_errors_tail=""
app_exit_command=:

# app_use_handheld ERRORS_FILE: app_start runs build-handheld's program under the personality from
# now on. Call it after wine_begin_session: winepath is a Wine process.
app_use_handheld() {
    app_loader=build-handheld/bin/handheld-loader.exe
    app_program=$(winepath -w "$(realpath build-handheld/bin/muntara.exe)" 4>&-)
    app_errors=$1
}

# app_use_desktop: app_start runs the desktop program again.
app_use_desktop() { app_loader=""; }

# app_start DESKTOP_PROGRAM: starts the application; its standard error shows here as it comes.
app_start() {
    if [ -z "$app_loader" ]; then
        "$WINELOADER" "$1" 4>&- &
        app=$!
        return
    fi
    : >"$app_errors"
    "$wine32_loader" "$app_loader" "$app_program" 4>&- 2>"$app_errors" &
    app=$!
    tail -n +1 -s 0.2 -f --pid="$app" "$app_errors" >&2 4>&- &
    app_errors_tail=$!
}

# app_wait: waits for the application to end. The handheld program fails here when it broke a
# contract of the handheld: each breach is a "handheld:" line, and the loader's exit code is 86.
app_wait() {
    local status=0
    [ -n "$app" ] || return 0
    wait "$app" || status=$?
    app=""
    [ -n "$app_loader" ] || return 0
    [ -z "$app_errors_tail" ] || wait "$app_errors_tail" 2>/dev/null || true
    app_errors_tail=""
    if grep -q '^handheld:' "$app_errors" || [ "$status" -eq 86 ]; then
        echo "the handheld program broke the handheld's contracts (loader exit code $status):" >&2
        grep '^handheld:' "$app_errors" >&2 || true
        return 1
    fi
}

# app_on_exit [COMMAND]: the end of the run, whatever ends it: the application ended by its PID if
# it still runs, the stand-in by the end of its input, then COMMAND, then the Wine session. The run
# keeps its exit status; an interrupt ends it with 130.
app_on_exit() {
    app_exit_command=${1:-:}
    trap app_exit EXIT
    trap 'exit 130' INT TERM
    trap '' PIPE # a stand-in that quit early must not end the script mid-line
}

app_exit() {
    local status=$?
    app_stop
    standin_stop
    $app_exit_command
    wine_finish
    exit "$status"
}

# app_stop: ends the application by its PID if it still runs (a run interrupted, or a window the
# screenshot tool did not close).
app_stop() {
    if [ -n "$app" ] && kill -0 "$app" 2>/dev/null; then
        kill "$app" 2>/dev/null || true
    fi
    [ -z "$app_errors_tail" ] || wait "$app_errors_tail" 2>/dev/null || true
    app_errors_tail=""
}
