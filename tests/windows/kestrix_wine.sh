#!/bin/sh
# kestrix.exe under Wine against the module simulator: the program starts,
# lists the COM port Wine maps to the simulator's pseudo-terminal, says "No
# COM Port selected" before a selection, opens its About dialog, and with the
# port selected switches the module's autostart off to the success message
# while its window stays responsive. The windows are saved as PNG files
# beside the Linux screenshots (build/screenshots, or the second argument).
#
# Usage: tests/windows/kestrix_wine.sh [windows-build-dir [screenshot-dir]]
#   CFCSIM  the simulator (default build/default/tools/cfcsim)
# Needs Xvfb when no X display is set (skipped, with the reason, without).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
shots="${2:-$root/build/screenshots}"
cfcsim="${CFCSIM:-$root/build/default/tools/cfcsim}"
. "$here/wine_env.sh"
port=COM3
mkdir -p "$shots"
shots=$(cd "$shots" && pwd)

work=$(mktemp -d)
# Each step runs whatever the one before it met.
cleanup() {
    wine_end
    if [ -n "${sim_pid:-}" ]; then kill "$sim_pid" 2>/dev/null || true; fi
    if [ -n "${x_pid:-}" ]; then kill "$x_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ] && ! command -v Xvfb >/dev/null; then
    echo "SKIP: kestrix.exe needs an X display for its windows, and there is neither" \
        "DISPLAY nor Xvfb"
    exit 0
fi
if [ -z "${DISPLAY:-}" ]; then
    # Xvfb names the display it took on descriptor 3.
    Xvfb -displayfd 3 -screen 0 1024x768x24 3>"$work/display" >/dev/null 2>&1 &
    x_pid=$!
    for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    DISPLAY=":$(cat "$work/display")"
    export DISPLAY
fi

# The simulator prints its terminal's path first and runs until killed.
mkfifo "$work/sim_in"
"$cfcsim" --mode=at <"$work/sim_in" >"$work/sim_out" 2>"$work/sim_err" &
sim_pid=$!
exec 4>"$work/sim_in"
for _ in $(seq 100); do [ -s "$work/sim_out" ] && break; sleep 0.1; done
pty=$(head -n 1 "$work/sim_out")
[ -n "$pty" ] || { echo "FAIL: the simulator gave no terminal"; exit 1; }

# Wine reads its port map when its server starts. Without a window manager
# Wine draws the windows' frames itself, so the screenshots show them.
wine reg add 'HKLM\Software\Wine\Ports' /v "$port" /d "$pty" /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
wine_fonts
wine_restart

gui="$build/frontends/gui"
status=0
wine "$gui/kestrix_drive.exe" "$(winepath -w "$gui/kestrix.exe")" "$port" \
    "$(winepath -w "$shots")" || status=$?
python3 "$here/bmp_to_png.py" "$shots"/kestrix-win32-*.bmp 2>/dev/null || true
exit "$status"
