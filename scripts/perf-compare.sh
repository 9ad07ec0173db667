#!/usr/bin/env bash
# Start-up and recording cost side by side with their references, in one run,
# under Xvfb with the private sound server of scripts/with-pulse.sh:
#   - exec to a shown main window (startup_probe) against a bare Qt window
#     (bare_window_probe), median of RUNS alternating runs each;
#   - CPU per minute recording MP3 (defaults, main window shown) against
#     ffmpeg's pulse input + libmp3lame at 128 kbit/s on the same monitor,
#     both recording at once for SECONDS.
# Prints both ratios. Usage: scripts/perf-compare.sh [RUNS] [SECONDS]
# Needs a release build in build/ (scripts/build.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export PERF_RUNS=${1:-15} PERF_SECONDS=${2:-60} PERF_BIN="$root/build/app"

inner() {
  set -euo pipefail
  display=":$((90 + RANDOM % 800))"
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  trap 'kill $xvfb $player 2>/dev/null || true; rm -rf "$out"' EXIT
  player=
  out=$(mktemp -d)
  export DISPLAY=$display QT_QPA_PLATFORM=xcb
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

  python3 - "$PERF_BIN" "$PERF_RUNS" <<'PY'
import statistics, subprocess, sys, time
bin_dir, runs = sys.argv[1], int(sys.argv[2])
def once(name):
    t = time.perf_counter()
    subprocess.run([f"{bin_dir}/{name}"], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return (time.perf_counter() - t) * 1000
for name in ("bare_window_probe", "startup_probe"):
    once(name)  # warm the page cache
times = {"bare_window_probe": [], "startup_probe": []}
for _ in range(runs):
    for name in times:
        times[name].append(once(name))
bare = statistics.median(times["bare_window_probe"])
velquor = statistics.median(times["startup_probe"])
print(f"start-up: velquor {velquor:.1f} ms, bare Qt window {bare:.1f} ms, ratio {velquor / bare:.2f} (target <= 1.50)")
PY

  tone="$out/tone.raw"
  sox -n -r 44100 -c 2 -b 16 -e signed -t raw "$tone" synth $((PERF_SECONDS + 30)) sine 1013 vol 0.5
  paplay --raw --device=velquor_null --rate=44100 --channels=2 --format=s16le "$tone" &
  player=$!
  sleep 1
  /usr/bin/time -f "%U %S" -o "$out/ffmpeg.time" \
    ffmpeg -loglevel error -f pulse -i velquor_null.monitor -t "$PERF_SECONDS" -c:a libmp3lame \
    -b:a 128k "$out/ffmpeg.mp3" &
  ff=$!
  line=$("$PERF_BIN/record_soak" "$PERF_SECONDS" 0 "$out")
  wait $ff
  python3 - "$line" "$out/ffmpeg.time" "$PERF_SECONDS" <<'PY'
import sys
fields = dict(kv.split("=", 1) for kv in sys.argv[1].split())
u, s = map(float, open(sys.argv[2]).read().split()[-2:])
ffmpeg = (u + s) / (float(sys.argv[3]) / 60)
velquor = float(fields["cpu_per_min_s"])
print(f"recording: velquor {velquor:.2f} s CPU per minute, ffmpeg {ffmpeg:.2f} s, ratio {velquor / ffmpeg:.2f} (target <= 0.50); discontinuities {fields['discontinuities']}")
PY
}

export -f inner
exec "$root/scripts/with-pulse.sh" bash -c inner
