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
"$root/scripts/with-pulse.sh" ctest --test-dir "$root/build" --output-on-failure -j 2 --timeout 300 \
  --repeat until-pass:2
echo "== sound-server tests under PipeWire =="
"$root/scripts/with-pipewire.sh" ctest --test-dir "$root/build" --output-on-failure -j 2 --timeout 300 \
  -L pulse --repeat until-pass:2

if [ "${VELQUOR_SKIP_ASAN:-}" != "1" ]; then
  echo "== sanitizers =="
  "$root/scripts/build.sh" "$root/build-asan" Asan -DVELQUOR_WERROR=$werror -DVELQUOR_BUILD_BENCH=OFF
  ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$root/scripts/with-pulse.sh" ctest --test-dir "$root/build-asan" --output-on-failure -j 2 --timeout 600 -LE nosan \
    --repeat until-pass:2
fi

echo "== cppcheck =="
cppcheck --quiet --error-exitcode=1 --enable=warning,portability --inline-suppr \
  --suppress=missingIncludeSystem --std=c++20 -I "$root/engine" \
  "$root/app" "$root/settings" "$root/playback" "$root/engine"
