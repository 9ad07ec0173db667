#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang in build-fuzz/ and runs
# each for SECONDS (default 60), VELQUOR_JOBS targets at a time (default 2).
# Prints executions, coverage and crashes per target; exits non-zero on any
# crash, leak, timeout or out-of-memory, and keeps the input that caused it in
# a temporary folder whose path it prints. Found inputs belong, once the fault
# is mended, in tests/fuzz/regressions/TARGET/, which the ordinary suite replays.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(ini skin headers probe)
jobs=${VELQUOR_JOBS:-2}
"$root/scripts/install-deps.sh" --test

build=$root/build-fuzz
start=$(date +%s)
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DVELQUOR_FUZZ=ON >/dev/null
cmake --build "$build" -j "$jobs" --target fuzz_programs
echo "fuzz build: $(( $(date +%s) - start )) s"

work=$(mktemp -d /tmp/velquor-fuzz.XXXXXX)
# INI keys straight from the key table, so the dictionary never lags behind it.
{
  cat "$root/tests/fuzz/dict/ini.dict"
  sed -n 's/.*Key{"\([^"]*\)", "\([^"]*\)".*/"[\1]"\n"\2="/p' "$root/settings/settings_keys.h" |
    sort -u
} >"$work/ini.dict"
for t in skin headers probe; do cp "$root/tests/fuzz/dict/$t.dict" "$work/$t.dict"; done

export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:allocator_may_return_null=1:quarantine_size_mb=64
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$root/tests/fuzz/lsan.supp
export QT_QPA_PLATFORM=offscreen

run_target() {
  local t=$1 dir=$work/$1
  mkdir -p "$dir/corpus" "$dir/found"
  cp "$root/tests/fuzz/corpus/$t"/* "$dir/corpus/"
  find "$root/tests/fuzz/regressions/$t" -type f ! -name '.*' -exec cp {} "$dir/corpus/" \;
  # -timeout and -rss_limit_mb: a hang or a runaway allocation is a finding too.
  (cd "$dir" && "$build/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -malloc_limit_mb=1024 -max_len=65536 -dict="$work/$t.dict" \
    -artifact_prefix="$dir/found/" -print_final_stats=1 "$dir/corpus" >"$dir/log" 2>&1)
}

status=0
pids=() names=()
for t in "${targets[@]}"; do
  run_target "$t" &
  pids+=($!) names+=("$t")
  if [ ${#pids[@]} -ge "$jobs" ]; then
    wait "${pids[0]}" || true
    pids=("${pids[@]:1}")
  fi
done
for p in "${pids[@]}"; do wait "$p" || true; done

printf '%-8s %12s %8s %8s  %s\n' target executions cov ft result
for t in "${targets[@]}"; do
  dir=$work/$t
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$dir/log" | tail -1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$dir/log" | tail -1 | cut -d' ' -f2)
  # Slow units (under the timeout) are reported, not failed.
  found=$(find "$dir/found" -type f ! -name 'slow-unit-*' | sort)
  slow=$(find "$dir/found" -type f -name 'slow-unit-*' | sort)
  result=ok
  [ -n "$slow" ] && result="ok (slow inputs: $(echo "$slow" | tr '\n' ' '))"
  if [ -n "$found" ] || ! grep -q '^Done [0-9]* runs' "$dir/log"; then
    result="FAILED: $(echo "$found" | tr '\n' ' ') log $dir/log"
    status=1
  fi
  printf '%-8s %12s %8s %8s  %s\n' "$t" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$result"
done
if [ $status -ne 0 ]; then
  echo "fuzzing found faults; inputs and logs are in $work"
else
  echo "fuzzing found nothing (corpora in $work)"
fi
exit $status
