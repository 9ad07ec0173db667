#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: the normal build
# beside PulseAudio, its sound-server tests beside PipeWire, then the same tests
# under AddressSanitizer and UndefinedBehaviorSanitizer, then the fuzz targets for
# 20 s each (VELQUOR_SKIP_FUZZ=1 skips them), then cppcheck. Each test run gets a
# private sound server of its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" --test

# How long each step took, printed at the end: the run has a time budget.
times=() step_start=$SECONDS
step_done() {
  times+=("$1: $((SECONDS - step_start)) s")
  step_start=$SECONDS
}
print_times() { printf '%s\n' "-- steps --" "${times[@]}"; }
trap print_times EXIT

werror=OFF
[ -n "${CI:-}" ] && werror=ON

"$root/scripts/build.sh" "$root/build" RelWithDebInfo -DVELQUOR_WERROR=$werror
step_done "install and build"

# No test is tried twice: one that fails now and then has a fault to find, and a
# retry would hide it.
ctest_args=(--output-on-failure -j 2)

# The sound-server tests mostly wait on real time, one at a time per server. So a run is
# split in two halves of about the same time (scripts/split-halves.py) that go at once,
# each beside a private server of its own; the logs are printed when both are done.
# Usage: start_half TITLE WRAPPER BUILD_DIR HALF CTEST_ARGS... (HALF 1 or 2), then finish_halves.
titles=() logs=() pids=()
start_half() {
  local title=$1 wrapper=$2 dir=$3 half=$4
  shift 4
  local filters=() prev="" arg tests
  for arg in "$@"; do
    case $prev in -L | -LE) filters+=("$prev" "$arg") ;; esac
    prev=$arg
  done
  tests=$(python3 "$root/scripts/split-halves.py" "$dir" "$half" "${filters[@]}")
  titles+=("$title")
  logs+=("$(mktemp /tmp/velquor-half.XXXXXX)")
  "$root/scripts/$wrapper" ctest --test-dir "$dir" -I "$tests" "$@" >"${logs[-1]}" 2>&1 &
  pids+=($!)
}
finish_halves() {
  local status=0 i
  for i in "${!pids[@]}"; do
    if wait "${pids[i]}"; then titles[i]+=": passed"; else titles[i]+=": FAILED"; status=1; fi
  done
  for i in "${!pids[@]}"; do
    echo "-- ${titles[i]} --"
    cat "${logs[i]}"
    rm -f "${logs[i]}"
  done
  for i in "${!pids[@]}"; do echo "${titles[i]}"; done
  titles=() logs=() pids=()
  return $status
}

echo "== tests beside PulseAudio =="
for half in 1 2; do
  start_half "PulseAudio, half $half of 2" with-pulse.sh "$root/build" $half "${ctest_args[@]}" \
    --timeout 300
done
finish_halves
step_done "tests beside PulseAudio"
# After, not beside: playback under PipeWire breaks up when the CPU-bound tests of the
# other run take both cores.
echo "== sound-server tests beside PipeWire =="
for half in 1 2; do
  start_half "PipeWire, half $half of 2" with-pipewire.sh "$root/build" $half "${ctest_args[@]}" \
    --timeout 300 -L pulse
done
finish_halves
step_done "tests beside PipeWire"

if [ "${VELQUOR_SKIP_ASAN:-}" != "1" ]; then
  echo "== sanitizer build =="
  "$root/scripts/build.sh" "$root/build-asan" Asan -DVELQUOR_WERROR=$werror -DVELQUOR_BUILD_BENCH=OFF
  step_done "sanitizer build"
  # On its own: the sanitizers take the CPU that real-time tests beside them would miss.
  echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer =="
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
  for half in 1 2; do
    start_half "sanitizers, half $half of 2" with-pulse.sh "$root/build-asan" $half \
      "${ctest_args[@]}" --timeout 600 -LE nosan
  done
  finish_halves
  step_done "tests under the sanitizers"
fi

# The fuzz targets, 20 s each, after the sanitizer pass: its own clang build
# (build-fuzz/); a crash, leak, hang or runaway allocation fails the run.
if [ "${VELQUOR_SKIP_FUZZ:-}" != "1" ]; then
  echo "== fuzzing =="
  "$root/scripts/fuzz.sh" 20
  step_done "fuzzing"
fi

echo "== cppcheck =="
cppcheck --quiet --error-exitcode=1 --enable=warning,portability --inline-suppr \
  --suppress=missingIncludeSystem --std=c++20 -I "$root/engine" \
  "$root/app" "$root/settings" "$root/playback" "$root/engine"
step_done "cppcheck"
