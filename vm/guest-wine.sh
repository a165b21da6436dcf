# Sourced by scripts/wine-env.sh in the handheld half's virtual machine ($MUNTARA_VM, the state
# folder on the host, shared with the guest): the guest's Wine prefixes and its held session.
#
# The guest makes one prefix with Wine's 32-bit half once and keeps it in the state folder; every
# prefix a run asks for (build/wineprefix-tests, ...) is then an overlay on it with a writable
# layer in the guest's memory, mounted at the prefix's own path in the guest only. What a run
# writes there goes when the machine stops, as a test's prefix may; the person's settings
# (user.reg) are read from the host's prefix when the layer is made.

vm_kept_prefix=$MUNTARA_VM/wineprefix
vm_kept_prefix_kind="with the 32-bit half, unmanaged windows, no device bus"

# The kept prefix, made in the guest on first use, and again when it was made of another kind.
vm_keep_prefix() {
    [ "$(cat "$vm_kept_prefix/.muntara-ready" 2>/dev/null)" = "$vm_kept_prefix_kind" ] && return 0
    local made=$vm_kept_prefix.new
    echo "# making the virtual machine's Wine prefix, with its 32-bit half (once)"
    rm -rf "$made" "$vm_kept_prefix"
    (
        export WINEPREFIX=$made
        wineboot --init >/dev/null 2>&1 || true
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        # The device bus polls for devices the programs never use, a fifth of a core emulated.
        wine reg add 'HKLM\System\CurrentControlSet\Services\winebus' /v Start /t REG_DWORD \
            /d 4 /f >/dev/null 2>&1
        wineserver -w
        cp /usr/share/wine/fonts/marlett.ttf "$made/drive_c/windows/Fonts/"
    )
    [ -f "$made/drive_c/windows/syswow64/kernel32.dll" ] || return 1
    echo "$vm_kept_prefix_kind" >"$made/.muntara-ready"
    mv "$made" "$vm_kept_prefix"
    sync
}

vm_layer_dir() { echo "/run/muntara/layers/$(echo "$WINEPREFIX" | md5sum | cut -c1-16)"; }

# The current prefix as a layer over the kept one, made once a boot; with --empty, without the
# host's settings.
vm_layer_prefix() {
    mountpoint -q "$WINEPREFIX" && return 0
    local layer
    layer=$(vm_layer_dir)
    mkdir -p "$layer/upper" "$layer/work" "$WINEPREFIX"
    [ "${1:-}" = --empty ] || [ ! -f "$WINEPREFIX/user.reg" ] || cp "$WINEPREFIX/user.reg" "$layer/upper/"
    mount -t overlay -o "lowerdir=$vm_kept_prefix,upperdir=$layer/upper,workdir=$layer/work" \
        prefix "$WINEPREFIX"
}

vm_unlayer_prefix() {
    mountpoint -q "$WINEPREFIX" || return 0
    umount "$WINEPREFIX"
    rm -rf "$(vm_layer_dir)"
}

# Under emulation a Wine program's start costs ~10 s in a cold session and under 1 s in one whose
# server and desktop process already run: a holder, a console program waiting on input that never
# comes, keeps the tests' session up between programs. The desktop process is started first, by a
# call that asks for the desktop: started by a test's program instead, it would inherit that
# program's handles, and a test reading the program's output to its end would wait forever.
vm_holder_pid=/run/muntara/holder.pid

vm_hold_session() {
    local pid
    pid=$(cat "$vm_holder_pid" 2>/dev/null) && kill -0 "$pid" 2>/dev/null && return 0
    mkdir -p "$(dirname "$vm_holder_pid")"
    setsid bash -c 'sleep infinity | "$WINELOADER" cmd.exe >/dev/null 2>&1' &
    echo $! >"$vm_holder_pid"
    wine rundll32.exe user32.dll,GetDesktopWindow >/dev/null 2>&1 || true
}

# The holder ended, so that the server can end when the last program does.
vm_release_session() {
    local pid
    pid=$(cat "$vm_holder_pid" 2>/dev/null) || return 0
    kill -- "-$pid" 2>/dev/null || true
    rm -f "$vm_holder_pid"
}
