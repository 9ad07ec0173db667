#!/usr/bin/env bash
# Runs a command beside a private PulseAudio server with a null sink
# ("velquor_null", its monitor the default source), in a temporary
# XDG_RUNTIME_DIR, with a temporary XDG_CONFIG_HOME and the offscreen Qt
# platform. The server is stopped and the folders removed afterwards.
set -uo pipefail

tmp=$(mktemp -d /tmp/velquor-test.XXXXXX)
export XDG_RUNTIME_DIR="$tmp/run" XDG_CONFIG_HOME="$tmp/config" HOME="$tmp/home"
export XDG_MUSIC_DIR="$tmp/home/Music"
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=offscreen
export PULSE_SERVER="unix:$XDG_RUNTIME_DIR/pulse/native"
printf 'autospawn = no\n' > "$tmp/client.conf"
export PULSE_CLIENTCONFIG="$tmp/client.conf"
export VELQUOR_TEST_PULSE=1
# The test server never takes a name on a session bus it did not start.
unset DBUS_SESSION_BUS_ADDRESS

cat > "$tmp/server.pa" <<'PA'
load-module module-native-protocol-unix
load-module module-null-sink sink_name=velquor_null rate=44100 sink_properties=device.description=Velquor_Null_Output
set-default-sink velquor_null
set-default-source velquor_null.monitor
PA

pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
  --system=no -F "$tmp/server.pa" --log-target=file:"$tmp/pulse.log" &
pa_pid=$!

cleanup() {
  kill "$pa_pid" 2>/dev/null
  wait "$pa_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

for _ in $(seq 1 100); do
  pactl info >/dev/null 2>&1 && break
  sleep 0.1
done
if ! pactl info >/dev/null 2>&1; then
  echo "with-pulse: the private PulseAudio server did not start; tests that need it will fail" >&2
  cat "$tmp/pulse.log" >&2 2>/dev/null
  export VELQUOR_TEST_PULSE_FAILED=1
fi

# A desktop's sound server runs ahead of its clients with real-time priority; where it
# may not take that (a container without CAP_SYS_NICE), the command runs below it
# instead, so that busy tests do not make the server miss a cycle and drop sound.
nice -n 10 "$@"
