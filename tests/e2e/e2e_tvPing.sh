#!/usr/bin/env bash
# End-to-end run of the real tvPing in a real X server with a window manager and a tray host: probe 127.0.0.1 and
# read the caption, minimise to the tray and come back by double-clicking the icon, switch to Trace and trace,
# then close and find hosts.ini rewritten. Screenshots are kept in ARTIFACTS for a person to look at.
#
#   e2e_tvPing.sh TVPING ARTIFACTS
# Exit 77 (skipped) when the X tools are missing.
set -euo pipefail
TVPING=$1
ARTIFACTS=$2
for tool in xvfb-run trayer xdotool openbox import xwininfo; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
mkdir -p "$ARTIFACTS"

if [ -z "${TAVRIK_E2E_INSIDE:-}" ]; then
    export TAVRIK_E2E_INSIDE=1
    exec xvfb-run -a -s "-screen 0 1024x600x24" "$0" "$@"
fi

work=$(mktemp -d)
cleanup() {
    kill "${PING_PID:-}" "${TRAY_PID:-}" "${WM_PID:-}" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
export TAVRIK_HOME=$work/home XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=xcb
mkdir -p "$TAVRIK_HOME" "$XDG_CONFIG_HOME"
# Spacing that a rewrite normalises, so the test can tell the file was written again.
printf '[HOST]\r\n1 = 127.0.0.1\r\n' >"$TAVRIK_HOME/hosts.ini"

fail() {
    echo "FAIL: $*"
    import -window root "$ARTIFACTS/failure.png" || true
    exit 1
}
wait_for() { # wait_for SECONDS COMMAND…: polls until the command succeeds
    local limit=$1
    shift
    for _ in $(seq $((limit * 10))); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}
visible() { xdotool search --onlyvisible --name '^Tavrik' | grep -q .; }
caption() { xdotool getwindowname "$WIN"; }

openbox & WM_PID=$!
sleep 1
trayer --edge top --align right --widthtype pixel --width 160 --height 26 & TRAY_PID=$!
sleep 1
"$TVPING" & PING_PID=$!
wait_for 10 visible || fail "the main window did not appear"
WIN=$(xdotool search --onlyvisible --name '^Tavrik' | head -1)
sleep 1

# Interval 1 s, then Ping. Coordinates are the window's own: the box and the button of the top row.
xdotool mousemove --window "$WIN" 340 21 click --repeat 3 1 key ctrl+a type 1
xdotool mousemove --window "$WIN" 400 21 click 1
# The first probe waits for the five-second start-up mark.
wait_for 15 bash -c "xdotool getwindowname $WIN | grep -q ' : [0-9]*ms$'" || fail "no reply caption: $(caption)"
echo "caption: $(caption)"
import -window root "$ARTIFACTS/1-probing.png"

xdotool windowminimize "$WIN"
wait_for 5 bash -c "! xdotool search --onlyvisible --name '^Tavrik' | grep -q ." || fail "the window stayed visible"
icon=$(xwininfo -root -tree | grep -E '"tvPing": \("tvPing" "tvPing"\)  2[0-9]x2[0-9]' | head -1)
[ -n "$icon" ] || fail "no tray icon"
read -r x y <<<"$(sed -E 's/.* \+([0-9]+)\+([0-9]+)$/\1 \2/' <<<"$icon")"
import -window root "$ARTIFACTS/2-in-tray.png"
xdotool mousemove $((x + 10)) $((y + 10)) click --repeat 2 --delay 100 1
wait_for 5 visible || fail "a double-click on the tray icon did not bring the window back"
import -window root "$ARTIFACTS/3-restored.png"

# Trace mode: the Mode check box, then Trace.
xdotool mousemove --window "$WIN" 592 21 click 1
sleep 0.5
xdotool mousemove --window "$WIN" 400 21 click 1
sleep 2
import -window root "$ARTIFACTS/4-trace.png"

xdotool windowactivate --sync "$WIN" key --clearmodifiers alt+F4
wait_for 10 bash -c "! kill -0 $PING_PID" || fail "tvPing did not close"
grep -q $'^1=127.0.0.1\r$' "$TAVRIK_HOME/hosts.ini" || fail "hosts.ini was not rewritten: $(cat -A "$TAVRIK_HOME/hosts.ini")"
echo "1 passed, 0 failed"
