#!/bin/bash
# The guest's session, the virtual machine's only long-lived process: it readies what a run of the
# handheld half needs (the kept Wine prefix with its 32-bit half, the tests' display and prefix),
# says so, then runs the host's jobs (vm/vm.sh run) until the host asks it to stop.
set -u
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root USER=root
param() { sed -n "s/.*\bmuntara\.$1=\([^ ]*\).*/\1/p" /proc/cmdline; }
project=$(param project)
state=$(param state)
boot=$(param boot)
jobs=$boot/jobs

# What the guest wrote to the project's files reaches the host at the sync.
shut_down() {
    sync
    echo "muntara-vm: $*" >"$boot/stopped.new"
    mv "$boot/stopped.new" "$boot/stopped"
    poweroff -f
}

# /tmp and /run are the initramfs's (vm/init).
mount_memory_filesystems() {
    mkdir -p /dev/shm
    mount -t tmpfs -o mode=1777 shm /dev/shm
    mkdir -p /dev/pts
    mount -t devpts devpts /dev/pts
    # What udev would make: a shell's process substitution reads /dev/fd/N.
    ln -sfn /proc/self/fd /dev/fd
    ln -sf /proc/self/fd/0 /dev/stdin
    ln -sf /proc/self/fd/1 /dev/stdout
    ln -sf /proc/self/fd/2 /dev/stderr
}

# Each job is a script the host wrote; it runs in a session of its own, so that the host can
# cancel it whole (ID.cancel), and leaves its output (ID.out) and exit code (ID.rc).
start_job() {
    local id=${1%.job}
    mv "$1" "$id.run" || return
    (
        setsid bash "$id.run" >"$id.out" 2>&1 </dev/null &
        echo $! >"$id.pid"
        wait $!
        echo $? >"$id.rc.new"
        mv "$id.rc.new" "$id.rc"
    ) &
}

cancel_job() {
    local id=${1%.cancel} pid
    pid=$(cat "$id.pid" 2>/dev/null) && kill -KILL -- "-$pid" 2>/dev/null
    rm -f "$1"
}

serve_jobs() {
    local file
    shopt -s nullglob
    until [ -e "$jobs/stop" ]; do
        for file in "$jobs"/*.job; do
            vm_hold_session
            start_job "$file"
        done
        for file in "$jobs"/*.cancel; do cancel_job "$file"; done
        sleep 0.2
    done
}

mount_memory_filesystems
hostname muntara-vm
export WINE_BUILD_DIR=${state%/vm} MUNTARA_VM=$state
source "$project/scripts/wine-env.sh"
start=${EPOCHREALTIME/./}
vm_keep_prefix || shut_down "the kept Wine prefix could not be made"
wine_use_prefix tests
wine_begin_session || shut_down "the tests' session could not begin"
vm_hold_session
mkdir -p /run/muntara
printf 'DISPLAY=%s\nxvfb_pid=%s\n' "$DISPLAY" "$xvfb_pid" >/run/muntara/tests.session
elapsed=$((${EPOCHREALTIME/./} - start))
echo "session ready $((elapsed / 1000000)).$((elapsed / 100000 % 10)) s after the guest began" >"$boot/ready.new"
mv "$boot/ready.new" "$boot/ready"
serve_jobs
wine_finish
shut_down "stopped as asked"
