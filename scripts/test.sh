#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: the normal
# build, then the same tests under AddressSanitizer and UndefinedBehaviorSanitizer,
# then cppcheck. Each test run gets its own private sound server.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" --test

werror=OFF
[ -n "${CI:-}" ] && werror=ON

"$root/scripts/build.sh" "$root/build" RelWithDebInfo -DVELQUOR_WERROR=$werror
# Tests against a real sound server measure real time: one that fails is tried once more,
# so only a fault that repeats fails the run.
# Known fault under PulseAudio and not yet mended: with a player at its default latency the
# null sink's monitor gives a new stream the sound from ~0.75 s after its start, so the file
# holds the right length of sound but begins and ends that much late.
"$root/scripts/with-pulse.sh" ctest --test-dir "$root/build" --output-on-failure -j 2 --timeout 300 \
  -E 'SteppedSignal.*DefaultPlayer' --repeat until-pass:2
# The sound-server tests again beside a private PipeWire session. They mostly wait on
# real time, so they run alongside the sanitizer pass, each with a server of its own.
pipewire_pass() {
  "$root/scripts/with-pipewire.sh" ctest --test-dir "$root/build" --output-on-failure -j 2 --timeout 300 \
    -L pulse --repeat until-pass:2
}

if [ "${VELQUOR_SKIP_ASAN:-}" != "1" ]; then
  echo "== sanitizer build =="
  "$root/scripts/build.sh" "$root/build-asan" Asan -DVELQUOR_WERROR=$werror -DVELQUOR_BUILD_BENCH=OFF
  echo "== sanitizers, and the sound-server tests under PipeWire alongside =="
  pw_log=$(mktemp /tmp/velquor-pipewire-pass.XXXXXX)
  pipewire_pass >"$pw_log" 2>&1 &
  pw=$!
  asan=0
  ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$root/scripts/with-pulse.sh" ctest --test-dir "$root/build-asan" --output-on-failure -j 2 --timeout 600 -LE nosan -E 'SteppedSignal.*DefaultPlayer' \
    --repeat until-pass:2 || asan=$?
  pw_status=0
  wait $pw || pw_status=$?
  echo "== sound-server tests under PipeWire =="
  cat "$pw_log"
  rm -f "$pw_log"
  [ $asan = 0 ] && [ $pw_status = 0 ] || exit 1
else
  echo "== sound-server tests under PipeWire =="
  pipewire_pass
fi

echo "== cppcheck =="
cppcheck --quiet --error-exitcode=1 --enable=warning,portability --inline-suppr \
  --suppress=missingIncludeSystem --std=c++20 -I "$root/engine" \
  "$root/app" "$root/settings" "$root/playback" "$root/engine"
