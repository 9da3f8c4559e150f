#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time
# (TABLOR_FUZZ_SECONDS, 60 by default) from its seed corpus. A finding fails the run; the
# crashing input is kept in build-fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${TABLOR_FUZZ_SECONDS:-60}
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTABLOR_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"$(nproc)"

mkdir -p build-fuzz/findings
total=0
for target in build-fuzz/bin/*_fuzz; do
  name=$(basename "$target")
  seeds="fuzz/corpus/${name%_fuzz}"
  work="build-fuzz/corpus/$name"
  mkdir -p "$work"
  [ -d "$seeds" ] && cp -n "$seeds"/* "$work"/ 2>/dev/null || true
  log="build-fuzz/$name.log"
  if ! "$target" "$work" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
      -print_final_stats=1 -artifact_prefix=build-fuzz/findings/"$name"- >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "$name: a finding (see build-fuzz/findings)" >&2
    exit 1
  fi
  runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
  total=$((total + ${runs:-0}))
  echo "$name: ${runs:-0} executions in ${seconds} s, no finding"
done
echo "fuzzing: $total executions in all, no finding"
