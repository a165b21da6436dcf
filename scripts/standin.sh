# Sourced, after wine-env.sh, by the scripts that run the application: the stand-in driver, its
# commands on a FIFO this shell holds open on fd 4, its log in a file.
#
# Start every other program with 4>&-: a Wine process that inherited the write end (the desktop
# process the application starts outlives it) keeps the stand-in from seeing the end of its input.

standin_pid=""
standin_dir=""
# The folder of the programs the sourcing script runs; it may set it before starting the stand-in.
bin=${bin:-build/bin}

# standin_start LOG [OPTION...]: starts the stand-in and waits until it serves the pipe.
standin_start() {
    local log=$1
    shift
    standin_dir=$(mktemp -d)
    mkfifo "$standin_dir/commands"
    : >"$log"
    "$WINELOADER" "$bin/wav1-standin.exe" "$@" <"$standin_dir/commands" >"$log" 2>&1 &
    standin_pid=$!
    exec 4>"$standin_dir/commands"
    for _ in $(seq $((200 * ${MUNTARA_WAIT_SCALE:-1}))); do # 20 s, longer on a slow machine
        grep -q '^# serving' "$log" && return 0
        kill -0 "$standin_pid" 2>/dev/null || break
        sleep 0.1
    done
    cat "$log" >&2
    echo "the stand-in driver did not start serving (is another one running in this prefix?)" >&2
    return 1
}

# Passes one command line; a stand-in that has already quit is no error.
standin_send() {
    echo "$1" >&4 2>/dev/null || true
}

# Tells the stand-in to quit, closes its input and waits for it.
standin_stop() {
    [ -n "$standin_pid" ] || return 0
    standin_send quit
    exec 4>&-
    wait "$standin_pid" 2>/dev/null || true
    standin_pid=""
    rm -rf "$standin_dir"
}
