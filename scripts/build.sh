#!/usr/bin/env bash
# Configures and builds one build folder: scripts/build.sh [DIR] [BUILD_TYPE] [extra cmake args]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-"$root/build"}
type=${2:-RelWithDebInfo}
shift $(( $# > 2 ? 2 : $# )) || true
jobs=${VELQUOR_JOBS:-2}
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
cmake --build "$dir" -j "$jobs"
