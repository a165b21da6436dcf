#!/usr/bin/env bash
# Makes the pictures in docs/screenshots/ on a private display, each from a fresh start of the
# application with fresh settings and a stand-in driver of its own; the last two are the handheld
# program under the handheld personality, and the desktop program on a 144 DPI screen.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build.sh
scripts/build.sh handheld
source scripts/wine-env.sh
wine_use_prefix shots
source scripts/standin.sh
source scripts/app.sh

out=docs/screenshots
standin_log=build/screenshots/standin.log
app_on_exit

shot() {
    wine build/bin/muntara-shot.exe --caption "Muntara Audio" "$@" 4>&-
}

# fresh_start on|off: no settings key, a stand-in with the headphone plugged in or not, and the
# application.
fresh_start() {
    wine reg delete 'HKCU\ControlPanel\Trilbo Audio' /f >/dev/null 2>&1 || true
    standin_start "$standin_log" --headphone="$1"
    app_start build/bin/muntara.exe
}

# Waits for the closed application to end, then ends its stand-in.
await_end() {
    app_wait
    standin_stop
}

wine_begin_session # a private display even when $DISPLAY is set: nothing may cover the windows
mkdir -p "$out" "$(dirname "$standin_log")"

fresh_start on
shot --sheet --tab 0 --out "$out/equalizer.png" --close
await_end

fresh_start off
shot --message --close
shot --sheet --tab 0 --out "$out/equalizer-no-headphone.png" --close
await_end

fresh_start off
shot --message --out "$out/prompt.png" --close
shot --sheet --close
await_end

fresh_start on
shot --sheet --tab 1 --out "$out/mic.png" --close
await_end

# The handheld program's Equalizer page, under the handheld personality.
app_use_handheld build/screenshots/handheld-stderr.log
fresh_start on
shot --sheet --tab 0 --out "$out/handheld.png" --close
await_end
app_use_desktop

# The Equalizer page on a 144 DPI screen, in a prefix of its own: Wine reads the screen's DPI when
# its server starts, so the setting is made with the server of that prefix ended before and after.
wineserver -w
wine_use_prefix shots-144dpi
wineserver -k 2>/dev/null || true
wine_prepare_prefix
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null
wineserver -w

fresh_start on
shot --sheet --tab 0 --out "$out/equalizer-144dpi.png" --close
await_end

echo "# made: $out/equalizer.png equalizer-no-headphone.png prompt.png mic.png handheld.png" \
    "equalizer-144dpi.png"
