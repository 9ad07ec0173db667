#!/usr/bin/env bash
# Runs a command in a desktop session of its own, as a screen reader user has
# one: an X server (Xvfb), a session bus, and the accessibility bus with its
# registry (at-spi2-core's launcher). Qt programs started by the command use
# X (xcb) and always talk to the accessibility bus. Everything it started is
# stopped afterwards; the command's exit status is the script's.
set -uo pipefail

tmp=$(mktemp -d /tmp/velquor-desktop.XXXXXX)
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$tmp"
}
trap cleanup EXIT

# Bounded waits: a part that does not come up fails the run with its log.
wait_for_file() {
  for _ in $(seq 1 100); do [ -s "$1" ] && return 0; sleep 0.1; done
  echo "desktop_session: $2 did not start" >&2
  cat "$tmp"/*.log >&2 2>/dev/null
  exit 1
}

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" >"$tmp/xvfb.log" 2>&1 &
pids+=($!)
wait_for_file "$tmp/display" "Xvfb"
export DISPLAY=":$(head -n1 "$tmp/display")"

dbus-daemon --session --nofork --print-address=3 3>"$tmp/bus" >"$tmp/dbus.log" 2>&1 &
pids+=($!)
wait_for_file "$tmp/bus" "the session bus"
DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$tmp/bus")
export DBUS_SESSION_BUS_ADDRESS

launcher=/usr/libexec/at-spi-bus-launcher
[ -x "$launcher" ] || launcher=/usr/lib/at-spi2-core/at-spi-bus-launcher
"$launcher" --launch-immediately >"$tmp/atspi.log" 2>&1 &
pids+=($!)
# The registry must answer before a program starts: one that finds none is
# never listed on the desktop readers look at.
a11y_bus=""
for _ in $(seq 1 100); do
  a11y_bus=$(dbus-send --session --dest=org.a11y.Bus --print-reply=literal /org/a11y/bus \
    org.a11y.Bus.GetAddress 2>/dev/null | tr -d ' ')
  [ -n "$a11y_bus" ] && dbus-send --bus="$a11y_bus" --dest=org.a11y.atspi.Registry --print-reply \
    /org/a11y/atspi/accessible/root org.freedesktop.DBus.Properties.Get \
    string:org.a11y.atspi.Accessible string:ChildCount >/dev/null 2>&1 && break
  sleep 0.1
done
if [ -z "$a11y_bus" ]; then
  echo "desktop_session: the accessibility bus did not start" >&2
  cat "$tmp/atspi.log" >&2
  exit 1
fi

export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
"$@"
