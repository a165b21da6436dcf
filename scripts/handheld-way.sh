# Sourced by what runs the handheld half's 32-bit programs (the handheld program under the
# personality): how this machine runs them.
#
#   native    the kernel runs 32-bit programs: Wine's 32-bit half runs here
#   emulated  it does not (or MUNTARA_HANDHELD_WAY=emulated asks for it): they run in the virtual
#             machine of vm/, under full-system emulation of this machine's own kernel and files
#   none      neither can work here; handheld_way_reason says why
#
# MUNTARA_HANDHELD_WAY=native|emulated forces a way.

# A 32-bit x86 program of 96 bytes that exits with 0: the kernel's own answer, whatever is
# installed.
kernel_runs_32bit() {
    local probe status=0
    probe=$(mktemp)
    printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0' >"$probe"
    printf '\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\140\0\0\0\140\0\0\0\5\0\0\0\0\20\0\0' >>"$probe"
    printf '\61\333\270\1\0\0\0\315\200\220\220\220' >>"$probe"
    chmod +x "$probe"
    "$probe" 2>/dev/null || status=1
    rm -f "$probe"
    return $status
}

# The parts the emulated way needs: qemu, a kernel with its modules, busybox.
emulation_missing() {
    command -v qemu-system-x86_64 >/dev/null || echo "qemu-system-x86 is not installed"
    ls /boot/vmlinuz-* >/dev/null 2>&1 || echo "no kernel in /boot (linux-image-amd64)"
    [ -x /bin/busybox ] || echo "busybox-static is not installed"
}

# decide_handheld_way: sets handheld_way (native, emulated or none) and, for none,
# handheld_way_reason.
decide_handheld_way() {
    local missing
    handheld_way=none
    handheld_way_reason=""
    case ${MUNTARA_HANDHELD_WAY:-} in
    native | emulated)
        handheld_way=$MUNTARA_HANDHELD_WAY
        return
        ;;
    "") ;;
    *)
        handheld_way_reason="MUNTARA_HANDHELD_WAY is native or emulated, not $MUNTARA_HANDHELD_WAY"
        return
        ;;
    esac
    if kernel_runs_32bit; then
        handheld_way=native
        return
    fi
    missing=$(emulation_missing)
    if [ -z "$missing" ]; then
        handheld_way=emulated
    else
        handheld_way_reason="this kernel runs no 32-bit programs, and ${missing//$'\n'/, }"
    fi
}

# handheld_vm_run NAME COMMAND...: COMMAND in a virtual machine NAME of its own (vm/), booted for
# it and stopped after it; exits with COMMAND's exit code.
handheld_vm_run() {
    local vm status=0
    vm=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/vm/vm.sh
    "$vm" start "$1" || return
    "$vm" run "$@" || status=$?
    "$vm" stop "$1"
    return $status
}

# handheld_elsewhere COMMAND...: where this machine's kernel runs no 32-bit programs, runs COMMAND
# (the calling script again) in a virtual machine and exits with its code; where neither way
# works, fails with the reason. Returns where the script runs here, natively or in the guest.
handheld_elsewhere() {
    [ -z "${MUNTARA_VM:-}" ] || return 0
    decide_handheld_way
    case $handheld_way in
    native) return 0 ;;
    emulated)
        echo "# this kernel runs no 32-bit programs: the handheld program runs in a virtual machine" \
             "(vm/), without a display of this machine's" >&2
        local status=0
        handheld_vm_run run "$@" || status=$?
        exit $status
        ;;
    *)
        echo "the handheld program cannot run here: $handheld_way_reason" >&2
        exit 1
        ;;
    esac
}
