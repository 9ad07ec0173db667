#!/usr/bin/env bash
# Runs a command beside a private PipeWire session: a session bus of its own,
# pipewire, wireplumber and pipewire-pulse in a temporary XDG_RUNTIME_DIR, with
# a null sink ("velquor_null", its monitor the default source), a temporary
# XDG_CONFIG_HOME and the offscreen Qt platform. Everything it started is
# stopped and the folders removed afterwards.
set -uo pipefail

tmp=$(mktemp -d /tmp/velquor-pw.XXXXXX)
export XDG_RUNTIME_DIR="$tmp/run" XDG_CONFIG_HOME="$tmp/config" HOME="$tmp/home"
export XDG_MUSIC_DIR="$tmp/home/Music" XDG_STATE_HOME="$tmp/state" XDG_DATA_HOME="$tmp/data"
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$HOME" "$XDG_STATE_HOME" "$XDG_DATA_HOME"
chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=offscreen
export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
printf 'autospawn = no\n' > "$tmp/client.conf"
export PULSE_CLIENTCONFIG="$tmp/client.conf"
export VELQUOR_TEST_PULSE=1 VELQUOR_TEST_SERVER=pipewire
# No real devices: the session has only the null sink.
export PIPEWIRE_RUNTIME_DIR="$XDG_RUNTIME_DIR" DISABLE_RTKIT=1
unset DBUS_SESSION_BUS_ADDRESS

# In a virtual machine PipeWire runs cycles of at least 1024 frames, but it tells one by
# its DMI strings, which a container hides; with the 5-10 ms cycles it picks instead, a
# late cycle now and then drops 10-30 ms of what is played or recorded. So where the CPU
# says it runs under a hypervisor, the session gets PipeWire's own VM settings.
if grep -qw hypervisor /proc/cpuinfo 2>/dev/null; then
  mkdir -p "$XDG_CONFIG_HOME/pipewire/pipewire.conf.d" "$XDG_CONFIG_HOME/pipewire/pipewire-pulse.conf.d"
  printf 'context.properties = {\n  default.clock.min-quantum = 1024\n}\n' \
    >"$XDG_CONFIG_HOME/pipewire/pipewire.conf.d/vm.conf"
  printf 'pulse.properties = {\n  pulse.min.quantum = 1024/48000\n}\n' \
    >"$XDG_CONFIG_HOME/pipewire/pipewire-pulse.conf.d/vm.conf"
fi

pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
  rm -rf "$tmp"
}
trap cleanup EXIT

dbus-daemon --session --nofork --nopidfile --address="unix:path=$tmp/bus" \
  >"$tmp/dbus.log" 2>&1 &
pids+=($!)
export DBUS_SESSION_BUS_ADDRESS="unix:path=$tmp/bus"
for _ in $(seq 1 50); do [ -S "$tmp/bus" ] && break; sleep 0.1; done

pipewire >"$tmp/pipewire.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 50); do [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] && break; sleep 0.1; done
wireplumber >"$tmp/wireplumber.log" 2>&1 &
pids+=($!)
# At level 3 it logs each stream that runs dry or overfull, with where: a test that
# hears a break or a hole quotes this log, which tells whether a player was late.
PIPEWIRE_DEBUG=3 pipewire-pulse >"$tmp/pipewire-pulse.log" 2>&1 &
pids+=($!)
export VELQUOR_SERVER_LOG="$tmp/pipewire-pulse.log"
export VELQUOR_PIPEWIRE_PULSE_PID=${pids[-1]}

for _ in $(seq 1 100); do
  pactl info >/dev/null 2>&1 && break
  sleep 0.1
done
ok=0
if pactl info >/dev/null 2>&1 &&
  pactl load-module module-null-sink sink_name=velquor_null rate=44100 \
    sink_properties=device.description=Velquor_Null_Output >/dev/null; then
  for _ in $(seq 1 50); do
    pactl list short sources | grep -q velquor_null.monitor && ok=1 && break
    sleep 0.1
  done
fi
if [ $ok = 1 ]; then
  pactl set-default-sink velquor_null
  pactl set-default-source velquor_null.monitor
else
  echo "with-pipewire: the private PipeWire session did not start; tests that need it will fail" >&2
  cat "$tmp"/*.log >&2 2>/dev/null
  export VELQUOR_TEST_PULSE_FAILED=1
fi

# A desktop's sound server runs ahead of its clients with real-time priority; where it
# may not take that (a container without CAP_SYS_NICE), the command runs below it
# instead, so that busy tests do not make the server miss a cycle and drop sound.
nice -n 10 "$@"
