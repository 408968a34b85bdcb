#!/usr/bin/env bash
# End-to-end run of the real tvPing in a real X server with a window manager and a tray host: probe 127.0.0.1 and
# read the caption, minimise to the tray, hover the icon for its tooltip and come back by double-clicking it, open
# the analysis window on the minute just logged, trace the route to a host two namespaces away, then close and
# find hosts.ini rewritten. Screenshots are kept in ARTIFACTS for a person to look at.
#
# As root, tvPing runs in a network namespace of its own that has no route out: its probes, its trace and the
# name lookups of the hops stay inside the lab (client -> router -> target). Without root the trace goes to
# 127.0.0.1 instead.
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
tag=$$
# The lab is a chain of namespaces, each link a /24 of its own:
#   client 10.250.N.1 - 10.250.N.2 edge 10.251.N.1 - 10.251.N.2 core 10.252.N.1 - 10.252.N.2 target
# A trace begins at TTL 2, past the first router, so the core router is the first hop it shows.
CHAIN=(tve2e-c$tag tve2e-e$tag tve2e-k$tag tve2e-t$tag)
CLIENT=${CHAIN[0]} CORE=${CHAIN[2]} TARGET=${CHAIN[3]}
lab=0
cleanup() {
    kill "${PING_PID:-}" "${TRAY_PID:-}" "${WM_PID:-}" 2>/dev/null || true
    if [ "$lab" = 1 ]; then
        for ns in "${CHAIN[@]}"; do ip netns del "$ns" 2>/dev/null || true; done
        rm -rf "/etc/netns/$CLIENT"
    fi
    rm -rf "$work"
}
trap cleanup EXIT
export TAVRIK_HOME=$work/home XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=xcb
mkdir -p "$TAVRIK_HOME" "$XDG_CONFIG_HOME"

in_ns() { # in_ns NS COMMAND…
    ip netns exec "$@"
}
make_lab() {
    local n=$((tag % 250)) i left right
    lab=1
    for ns in "${CHAIN[@]}"; do
        ip netns add "$ns"
        in_ns "$ns" ip link set lo up
    done
    for i in 0 1 2; do
        left=${CHAIN[$i]} right=${CHAIN[$((i + 1))]}
        ip link add e2e$i-$tag type veth peer name e2e$i-$tag-b
        ip link set e2e$i-$tag netns "$left"
        ip link set e2e$i-$tag-b netns "$right"
        in_ns "$left" ip addr add 10.25$i.$n.1/24 dev e2e$i-$tag
        in_ns "$right" ip addr add 10.25$i.$n.2/24 dev e2e$i-$tag-b
        in_ns "$left" ip link set e2e$i-$tag up
        in_ns "$right" ip link set e2e$i-$tag-b up
    done
    in_ns "$CLIENT" ip route add 10.0.0.0/8 via 10.250.$n.2
    in_ns "${CHAIN[1]}" ip route add 10.252.$n.0/24 via 10.251.$n.2
    in_ns "$CORE" ip route add 10.250.$n.0/24 via 10.251.$n.1
    in_ns "$TARGET" ip route add default via 10.252.$n.1
    in_ns "${CHAIN[1]}" sysctl -qw net.ipv4.ip_forward=1
    in_ns "$CORE" sysctl -qw net.ipv4.ip_forward=1
    # Names for the hops, read by lookups made inside the client namespace; no name server is asked.
    mkdir -p "/etc/netns/$CLIENT"
    printf '127.0.0.1 localhost\n10.251.%s.2 core.lab.nl\n10.252.%s.2 target.lab.de\n' "$n" "$n" \
        >"/etc/netns/$CLIENT/hosts"
    : >"/etc/netns/$CLIENT/resolv.conf"
    TRACE_HOST=10.252.$n.2
}
icmp_count() { # icmp_count NS FIELD: a counter of the namespace's ICMP statistics
    in_ns "$1" awk -v f="$2" '/^Icmp:/ { if (!n) { for (i = 1; i <= NF; i++) col[$i] = i; n = 1 } else print $col[f] }' \
        /proc/net/snmp
}
RUN=()
TRACE_HOST=127.0.0.1
if [ "$(id -u)" -eq 0 ] && command -v ip >/dev/null; then
    make_lab
    RUN=(ip netns exec "$CLIENT")
else
    echo "not root: the trace goes to 127.0.0.1 instead of a namespace route"
fi
# Spacing that a rewrite normalises, so the test can tell the file was written again.
printf '[HOST]\r\n1 = 127.0.0.1\r\n2 = %s\r\n' "$TRACE_HOST" >"$TAVRIK_HOME/hosts.ini"

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
"${RUN[@]}" "$TVPING" & PING_PID=$!
wait_for 10 visible || fail "the main window did not appear"
WIN=$(xdotool search --onlyvisible --name '^Tavrik' | head -1)
sleep 1

# Interval 1 s, then Ping. Coordinates are the window's own: the box and the button of the top row.
xdotool mousemove --window "$WIN" 360 21 click --repeat 3 1 key ctrl+a type 1
xdotool mousemove --window "$WIN" 436 21 click 1
# The first probe waits for the five-second start-up mark.
wait_for 15 bash -c "xdotool getwindowname $WIN | grep -q ' : [0-9]*ms$'" || fail "no reply caption: $(caption)"
echo "caption: $(caption)"
import -window root "$ARTIFACTS/1-probing.png"

xdotool windowminimize "$WIN"
wait_for 5 bash -c "! xdotool search --onlyvisible --name '^Tavrik' | grep -q ." || fail "the window stayed visible"
icon=$(xwininfo -root -tree | grep -E '"tvPing": \("tvPing" "tvPing"\)  2[0-9]x2[0-9]' | head -1)
[ -n "$icon" ] || fail "no tray icon"
read -r x y <<<"$(sed -E 's/.* \+([0-9]+)\+([0-9]+)$/\1 \2/' <<<"$icon")"
# Resting the pointer on the icon shows the caption as its tooltip, in a window of its own.
# A tooltip only follows a pointer that comes to rest on the icon, so each try moves in from outside it.
windows_before=$(xdotool search --onlyvisible --class tvPing | wc -l)
tooltip=0
for _ in 1 2 3; do
    xdotool mousemove $((x + 10)) $((y + 60))
    sleep 0.3
    xdotool mousemove $((x + 10)) $((y + 10))
    if wait_for 4 bash -c "[ \$(xdotool search --onlyvisible --class tvPing | wc -l) -gt $windows_before ]"; then
        tooltip=1
        break
    fi
done
[ "$tooltip" = 1 ] || fail "no tooltip over the tray icon"
import -window root "$ARTIFACTS/2-in-tray.png"
xdotool click --repeat 2 --delay 100 1
wait_for 5 visible || fail "a double-click on the tray icon did not bring the window back"
import -window root "$ARTIFACTS/3-restored.png"

# The analysis window opens on the current minute, which holds the probes of the last seconds (probing went on
# in the tray); not in a minute's first seconds, which hold none yet.
while [ "$(date +%S)" -lt 5 ]; do sleep 1; done
xdotool mousemove --window "$WIN" 372 303 click 1
wait_for 10 bash -c "xdotool search --onlyvisible --name '^Analyses of the logged data$' | grep -q ." ||
    fail "the analysis window did not open"
GRAPH=$(xdotool search --onlyvisible --name '^Analyses of the logged data$' | head -1)
[ -s "$TAVRIK_HOME/Analyze/ALL.TXT" ] || fail "the analysis read no copy of the main log"
sleep 1
import -window root "$ARTIFACTS/4-analysis.png"
xdotool windowminimize "$GRAPH"

# Trace mode: pick the host, the Mode check box, then Trace.
xdotool mousemove --window "$WIN" 100 21 click --repeat 3 1 key ctrl+a type "$TRACE_HOST"
xdotool mousemove --window "$WIN" 620 21 click 1
sleep 0.5
xdotool mousemove --window "$WIN" 436 21 click 1
if [ "$lab" = 1 ]; then
    # The core router turned away a probe whose TTL ran out, and the target answered one.
    export -f in_ns icmp_count
    wait_for 30 bash -c "[ \$(icmp_count $CORE OutTimeExcds) -gt 0 ]" || fail "the core router saw no probe with a short TTL"
    wait_for 30 bash -c "[ \$(icmp_count $TARGET InEchos) -gt 0 ]" || fail "no probe reached the target"
fi
sleep 3
import -window root "$ARTIFACTS/5-trace.png"

xdotool windowactivate --sync "$WIN" key --clearmodifiers alt+F4
wait_for 10 bash -c "! kill -0 $PING_PID" || fail "tvPing did not close"
grep -q $'^1=127.0.0.1\r$' "$TAVRIK_HOME/hosts.ini" || fail "hosts.ini was not rewritten: $(cat -A "$TAVRIK_HOME/hosts.ini")"
grep -q "^2=$TRACE_HOST"$'\r$' "$TAVRIK_HOME/hosts.ini" || fail "hosts.ini lost a host: $(cat -A "$TAVRIK_HOME/hosts.ini")"
echo "1 passed, 0 failed"
