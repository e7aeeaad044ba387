#!/bin/sh
# Builds the libFuzzer targets with clang in build-fuzz and runs each for
# the given number of seconds (default 60). Fails on the first crash.
set -eu
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
jobs=${FUZZ_JOBS:-2}
"$root/tools/install-deps.sh"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
  -DKELVO_FUZZ=ON -DKELVO_BUILD_TESTS=OFF -DKELVO_BUILD_BENCH=OFF -DKELVO_BUILD_APP=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer" >/dev/null
ninja -C "$build" -j"$jobs" fuzz_history fuzz_styled

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen

status=0
for target in history styled; do
  work="$build/corpus/$target"
  mkdir -p "$work" "$build/artifacts/$target"
  log="$build/fuzz_$target.log"
  dict=""
  [ -f "$root/fuzz/$target.dict" ] && dict="-dict=$root/fuzz/$target.dict"
  echo "== fuzz_$target for ${seconds}s"
  if "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$build/artifacts/$target/" $dict \
      "$work" "$root/fuzz/corpus/$target" >"$log" 2>&1; then
    result=ok
  else
    result=FAILED
    status=1
    grep -E "ERROR|runtime error|SUMMARY|Test unit written" "$log" || tail -n 30 "$log"
  fi
  # The last status line carries the executions and the coverage figures.
  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
  echo "fuzz_$target: $result; $last"
  grep -E '^Done [0-9]+ runs' "$log" || true
done
exit $status
