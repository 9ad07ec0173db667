#!/usr/bin/env bash
# Soak runs of a real recording against the private sound server, with a
# continuous 1013 Hz tone playing into its null sink:
#   record-soak.sh cpu [SECONDS]      Velquor (MP3 defaults) and ffmpeg's own
#                                     pulse + libmp3lame recorder side by side,
#                                     CPU seconds per minute recorded
#   record-soak.sh lossless [SECONDS] WAV, checked sample by sample for lost
#                                     or repeated audio, calm and with a busy
#                                     user-interface thread
#   record-soak.sh rollover [SECONDS] [LIMIT]
#                                     WAV with a length limit of LIMIT s (60)
#                                     and a new file each time (1800 s: 30
#                                     files): joined sample by sample, total
#                                     length against the time between the clicks
# Run from the repository after a build (scripts/build.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
mode=${1:-cpu}
seconds=${2:-60}
limit=${3:-60}
bin=${VELQUOR_SOAK_BIN:-"$root/build/app/record_soak"}

inner() {
  out=$(mktemp -d)
  tone="$out/tone.raw"
  sox -n -r 44100 -c 2 -b 16 -e signed -t raw "$tone" synth $((seconds + 30)) sine 1013 vol 0.5
  paplay --raw --device=velquor_null --rate=44100 --channels=2 --format=s16le "$tone" &
  player=$!
  sleep 1
  case "$mode" in
    cpu)
      /usr/bin/time -f "ffmpeg: cpu_s=%U+%S wall_s=%e" \
        ffmpeg -loglevel error -f pulse -i velquor_null.monitor -t "$seconds" -c:a libmp3lame -b:a 128k \
        "$out/ffmpeg.mp3" &
      ff=$!
      echo "velquor: $("$bin" "$seconds" 0 "$out")"
      wait $ff
      ;;
    rollover)
      echo "rollover: $("$bin" "$seconds" 2 "$out" --limit "$limit")"
      ;;
    lossless)
      echo "calm: $("$bin" "$seconds" 2 "$out")"
      echo "busy: $("$bin" "$seconds" 2 "$out" --busy)"
      ;;
  esac
  kill $player 2>/dev/null || true
  rm -rf "$out"
}

export -f inner
export mode seconds limit bin
exec "$root/scripts/with-pulse.sh" bash -c inner
