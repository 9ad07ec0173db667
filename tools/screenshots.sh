#!/usr/bin/env bash
# Renders docs/screenshot.png (main window recording, record list docked) and
# docs/screenshot-settings.png (settings dialog), the pictures of the README
# and of the AppStream metadata, beside a private sound server playing a tone.
# Usage: tools/screenshots.sh [build dir]   (the build folder must be configured)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-"$root/build"}
cmake --build "$dir" -j "${VELQUOR_JOBS:-2}" --target screenshot_tour velquor_skin
export QT_SCALE_FACTOR=2
"$root/scripts/with-pulse.sh" bash -c '
  # A tone into the null sink, so the level display has something to show.
  sox -n -t raw -r 44100 -e signed -b 16 -c 2 - synth 30 sine 440 vol 0.5 |
    pacat --raw --rate=44100 --channels=2 --format=s16le & tone=$!
  sleep 1
  "$1/app/screenshot_tour" "$2/docs/screenshot.png" 2
  "$1/app/screenshot_tour" --settings "$2/docs/screenshot-settings.png" 2
  kill $tone 2>/dev/null; wait $tone 2>/dev/null || true
' screenshots "$dir" "$root"
