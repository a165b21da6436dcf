#!/usr/bin/env bash
# The handheld half's virtual machine, for a machine whose kernel runs no 32-bit programs: this
# machine's own kernel and files under full-system emulation (qemu), in which Wine's 32-bit half
# runs. One boot serves a whole run; its jobs are scripts in a shared folder (vm/guest.sh).
#
#   vm.sh start NAME      boots the machine NAME and waits until its session is ready
#   vm.sh run NAME CMD... runs CMD in the guest, in this folder, with this run's MUNTARA_* and
#                         GTEST_* variables; its output comes as it is written; exits with its code
#   vm.sh stop NAME       ends the session and the machine
#
# Its state lives in build/vm: the initramfs, the Wine prefix the guest keeps, and a folder for
# each machine NAME (its jobs, its console's log). MUNTARA_VM_ACCEL=tcg forces software emulation
# where the kernel offers KVM.
set -euo pipefail
project=$(cd "$(dirname "$0")/.." && pwd)
state=${MUNTARA_VM_STATE:-$project/build/vm}

usage() {
    echo "usage: vm/vm.sh start|stop NAME, vm/vm.sh run NAME CMD..." >&2
    exit 2
}
[ $# -ge 2 ] || usage
action=$1
boot=$state/$2
shift 2
jobs=$boot/jobs

say() { echo "# vm: $*" >&2; }
fail() {
    echo "vm: $*" >&2
    exit 1
}

# The newest kernel of this machine that has its modules.
kernel_version() {
    local image version
    for image in $(ls -v /boot/vmlinuz-* 2>/dev/null | tac); do
        version=${image#/boot/vmlinuz-}
        [ -d "/lib/modules/$version" ] && echo "$version" && return 0
    done
    return 1
}

# What the guest loads before it can mount the shared folders, in the order their symbols need.
readonly modules=(virtio virtio_ring virtio_pci_modern_dev virtio_pci_legacy_dev virtio_pci netfs
                  fscache 9pnet 9pnet_virtio 9p overlay)

# The initramfs: busybox, the modules and vm/init; made again when one of them changes.
make_initramfs() {
    local version=$1 image=$state/initramfs-$1.gz dir module path
    if [ -f "$image" ] && [ "$image" -nt "$project/vm/init" ] && [ "$image" -nt /bin/busybox ]; then
        return 0
    fi
    dir=$(mktemp -d)
    mkdir -p "$dir/bin" "$dir/modules" "$dir/proc" "$dir/sys" "$dir/dev"
    cp /bin/busybox "$dir/bin/busybox"
    for tool in sh mount insmod sed mkdir poweroff switch_root; do ln -s busybox "$dir/bin/$tool"; done
    for module in "${modules[@]}"; do
        path=$(modinfo -k "$version" -n "$module" 2>/dev/null) || { rm -rf "$dir"; fail "no module $module"; }
        case $path in
        *.xz) xz -dc "$path" >"$dir/modules/$module.ko" ;;
        *.zst) zstd -qdc "$path" >"$dir/modules/$module.ko" ;;
        *) cp "$path" "$dir/modules/$module.ko" ;;
        esac
        echo "$module" >>"$dir/modules/order"
    done
    cp "$project/vm/init" "$dir/init"
    (cd "$dir" && find . | cpio -o -H newc --quiet | gzip -1) >"$image.new"
    rm -rf "$dir"
    mv "$image.new" "$image"
}

# KVM where this machine offers it and a guest starts under it, else software emulation with
# every core.
accelerators() {
    if [ "${MUNTARA_VM_ACCEL:-}" != tcg ] && [ -r /dev/kvm ] && [ -w /dev/kvm ]; then
        # A nested KVM may not offer the host's capabilities register.
        echo "kvm -cpu host,-arch-capabilities"
    fi
    # SMAP emulated with -cpu max faults every Wine process in the guest's kernel.
    echo "tcg,thread=multi -cpu max,-smap"
}

qemu_pid() { cat "$boot/qemu.pid" 2>/dev/null; }
running() {
    local pid
    pid=$(qemu_pid) && [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null
}

# boot_with VERSION ACCELERATOR: the machine started; fails when the guest's first process has not
# begun within LIMIT seconds (a KVM of some nested machines never runs its guest).
boot_with() {
    local version=$1 accel=$2 limit=$3 waited=0
    rm -f "$boot/console.log" "$boot/ready" "$boot/stopped"
    say "booting $version (${accel%% *})"
    # shellcheck disable=SC2086 # the accelerator's options are words
    qemu-system-x86_64 -name muntara-vm -m "${MUNTARA_VM_MEMORY:-4G}" -smp "$(nproc)" -accel $accel \
        -kernel "/boot/vmlinuz-$version" -initrd "$state/initramfs-$version.gz" \
        -append "console=ttyS0 quiet panic=-1 muntara.project=$project muntara.state=$state muntara.boot=$boot" \
        -display none -monitor none -nic none -no-reboot -serial "file:$boot/console.log" \
        -virtfs local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap \
        -virtfs "local,path=$project,mount_tag=project,security_model=none,multidevs=remap" \
        -virtfs "local,path=$boot,mount_tag=boot,security_model=none" \
        -daemonize -pidfile "$boot/qemu.pid" >/dev/null 2>"$boot/qemu.log" || return 1
    until grep -q 'muntara-vm: init' "$boot/console.log" 2>/dev/null; do
        running && [ $waited -lt $((limit * 10)) ] || { kill "$(qemu_pid)" 2>/dev/null; return 1; }
        sleep 0.1
        waited=$((waited + 1))
    done
}

start() {
    local version started=$SECONDS accel
    command -v qemu-system-x86_64 >/dev/null || fail "qemu-system-x86_64 is not installed"
    version=$(kernel_version) || fail "no kernel with its modules in /boot (linux-image-amd64)"
    [ -x /bin/busybox ] || fail "busybox is not installed (busybox-static)"
    ! running || stop
    mkdir -p "$state"
    rm -rf "$boot"
    mkdir -p "$jobs"
    make_initramfs "$version"
    while read -r accel; do
        # A guest's first process begins within 2 s under KVM, 5 s under software emulation.
        boot_with "$version" "$accel" 10 && break
        say "the guest did not start under ${accel%% *}: $(tail -n 1 "$boot/qemu.log" 2>/dev/null)"
        accel=""
    done < <(accelerators)
    [ -n "$accel" ] || fail "the virtual machine did not start (see $boot/console.log)"
    echo "${accel%%[, ]*}" >"$boot/accel"
    until [ -f "$boot/ready" ]; do
        if ! running; then
            tail -n 20 "$boot/console.log" >&2 || true
            fail "the virtual machine stopped: $(cat "$boot/stopped" 2>/dev/null || echo "see $boot/console.log")"
        fi
        sleep 0.2
    done
    echo "${accel%%,*} ${accel#* -cpu }; booted and ready in $((SECONDS - started)) s," \
        "$(cat "$boot/ready")" >"$boot/summary"
    say "$(cat "$boot/summary")"
}

stop() {
    local pid waited=0
    running || return 0
    pid=$(qemu_pid)
    touch "$jobs/stop"
    while kill -0 "$pid" 2>/dev/null && [ $waited -lt 600 ]; do
        sleep 0.1
        waited=$((waited + 1))
    done
    kill "$pid" 2>/dev/null || true
}

# The job's script: this folder, this run's own variables and prefix, none of the guest's session
# (a test finds it through MUNTARA_TESTS_SESSION), then the command; what it wrote reaches the
# host at its end.
write_job() {
    local name
    echo "cd $(printf %q "$PWD")"
    echo "unset WINEPREFIX DISPLAY"
    echo "export MUNTARA_TESTS_SESSION=/run/muntara/tests.session"
    # The tests' time-outs bound a failing case; emulated in software, programs run 3 to 37 times
    # slower than here (copying to computing), and a bound grows with them.
    [ "$(cat "$boot/accel" 2>/dev/null)" = kvm ] || echo "export MUNTARA_WAIT_SCALE=5"
    for name in $(compgen -e); do
        case $name in
        MUNTARA_VM*) ;;
        MUNTARA_* | GTEST_* | WINEPREFIX) echo "export $name=$(printf %q "${!name}")" ;;
        esac
    done
    printf '%q ' "$@"
    echo
    echo 'status=$?'
    echo 'sync'
    echo 'exit $status'
}

job="" follower=""
end_job() {
    [ -z "$job" ] || [ -f "$job.rc" ] || touch "$job.cancel"
    [ -z "$follower" ] || kill "$follower" 2>/dev/null || true
}

run() {
    local out status
    running || fail "the virtual machine $(basename "$boot") does not run (vm/vm.sh start)"
    job=$jobs/$(date +%s%N)-$$
    out=$job.out
    write_job "$@" >"$job.new"
    : >"$out"
    trap end_job EXIT
    mv "$job.new" "$job.job"
    tail -s 0.1 -c +1 -f "$out" &
    follower=$!
    while [ ! -f "$job.rc" ]; do
        running || fail "the virtual machine stopped during the job"
        sleep 0.1
    done
    sleep 0.2
    kill "$follower" 2>/dev/null || true
    wait "$follower" 2>/dev/null || true
    follower=""
    status=$(cat "$job.rc")
    rm -f "$job".*
    job=""
    return "$status"
}

case $action in
start) start ;;
stop) stop ;;
run) run "$@" ;;
*) usage ;;
esac
