#!/usr/bin/env bash
# The real orn window on a fresh X server inside a network namespace made
# here, run by an unprivileged user (nobody) without any capability and
# capturing through the capture helper, which alone holds cap_net_raw: a
# click on Start, UDP datagrams from a second namespace across a veth pair,
# rows in the packet list (their colours on the screen) and entries in the
# log, a click on Stop, a click on End and a clean exit. The screenshot is
# kept. Both namespaces are removed whatever happens.
#   orn_end_to_end.sh ORN_PROGRAM SCREENSHOT.png
# The capture helper is taken from beside ORN_PROGRAM.
# Exits 77 (skipped) without root or without Xvfb, xdotool or ImageMagick.
set -euo pipefail

if [ "${1:-}" = --inside ]; then
  # In namespace a, with DISPLAY set by xvfb.sh.
  shift
  work=$1 shot=$2 b=$3 address=$4
  # The stored filter set is this machine's or the user's; the test wants the
  # defaults (accept everything). The mount stays in this namespace's own
  # view; the user's store is the test's own.
  if [ -d /var/lib/orn ]; then mount -t tmpfs tmpfs /var/lib/orn; fi
  # The X server takes clients without a cookie (-ac): root's is not nobody's.
  env -u XAUTHORITY HOME="$work/home" XDG_RUNTIME_DIR="$work/xdg" QT_QPA_PLATFORM=xcb \
    setpriv --reuid=65534 --regid=65534 --clear-groups --inh-caps=-all \
    "$work/orn" >"$work/orn.out" 2>&1 &
  pid=$!
  echo "$pid" >"$work/orn.pid"
  wid=""
  for _ in $(seq 100); do
    wid=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | tail -n 1 || true)
    [ -n "$wid" ] && break
    sleep 0.1
  done
  [ -n "$wid" ] || { echo "the window did not appear"; cat "$work/orn.out"; exit 1; }
  sleep 0.5
  # The window's process holds no capability at all.
  caps=$(awk '/^Cap(Eff|Prm):/ {print $2}' "/proc/$pid/status" | sort -u)
  [ "$caps" = 0000000000000000 ] || { echo "orn holds capabilities: $caps"; exit 1; }
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  echo "window $wid at $X,$Y (${WIDTH}x$HEIGHT)"
  [ "$WIDTH" = 480 ] && [ "$HEIGHT" = 358 ] || { echo "unexpected window size"; exit 1; }
  # Button centres from the template: x 36 units, Start at 28, Stop at 44,
  # End at 108 units down.
  click() { xdotool mousemove $((X + 54)) $((Y + $1)) sleep 0.2 click 1 sleep 0.3; }

  click 45  # Start listening
  sent=0
  for round in $(seq 20); do
    ip netns exec "$b" bash -c "for i in 1 2 3 4 5; do echo \"orn-e2e $round.\$i\" >/dev/udp/$address/47300; done"
    sent=$((sent + 5))
    sleep 0.3
    if grep -rqs "orn-e2e" "$work/Log"; then break; fi
  done
  grep -rqs "orn-e2e" "$work/Log" || { echo "no datagram reached the log after $sent sent"; exit 1; }
  sleep 0.3
  import -window root "$shot"
  # The list's first two rows (list at 132, 54 in the window; rows 14 pixels
  # high): the even and the odd row colour, where an empty list shows only
  # its background.
  colours=$(convert "$shot" -crop 280x28+$((X + 136))+$((Y + 55)) +repage -format %c histogram:info:-)
  for rgb in "101,101,152" "101,101,202"; do
    echo "$colours" | grep -q "($rgb)" || { echo "no row of colour $rgb in the list"; echo "$colours"; exit 1; }
  done
  echo "rows shown after $sent datagrams"

  click 71   # Stop listening
  sleep 0.5
  click 175  # End
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then echo "orn did not end"; exit 1; fi
  wait "$pid" && status=0 || status=$?
  [ "$status" = 0 ] || { echo "orn ended with status $status"; cat "$work/orn.out"; exit 1; }
  echo "orn ended"
  exit 0
fi

orn=$1
shot=$2
if [ "$(id -u)" != 0 ]; then echo "needs root (network namespaces); skipping"; exit 77; fi
for tool in Xvfb xdotool import convert ip; do
  command -v "$tool" >/dev/null 2>&1 || { echo "$tool is not installed; skipping"; exit 77; }
done

a=orn-e2e-$$-a
b=orn-e2e-$$-b
net=10.203.$(($$ % 250 + 1))
work=$(mktemp -d /tmp/orn-e2e.XXXXXX)
cleanup() {
  if [ -s "$work/orn.pid" ]; then kill "$(cat "$work/orn.pid")" 2>/dev/null || true; fi
  ip netns del "$a" 2>/dev/null || true
  ip netns del "$b" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

. "$(dirname "$0")/../../scripts/lib/netns-pair.sh"
make_netns_pair "$a" "$b" "$net"

# A copy of the program and its helper, so that its "Log" beside it is the
# test's own; the helper copy alone gets the capability.
cp "$orn" "$work/orn"
cp "$(dirname "$orn")/orn-capture" "$work/orn-capture"
setcap cap_net_raw+ep "$work/orn-capture"
ln -s "$(dirname "$orn")/help" "$work/help"
mkdir -m 700 "$work/xdg" "$work/home"
chown 65534:65534 "$work" "$work/xdg" "$work/home"
mkdir -p "$(dirname "$shot")"
XDG_RUNTIME_DIR=$work/xdg ip netns exec "$a" \
  "$(dirname "$0")/xvfb.sh" "-ac -screen 0 800x600x24" "$0" --inside "$work" "$shot" "$b" "$net.1"
