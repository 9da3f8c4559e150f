#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: first a normal build, then one
# under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs=$(nproc)

echo "== Build and test"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs" --timeout 600)

if [ "${TABLOR_SANITIZERS:-on}" != "off" ]; then
  echo "== Build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
  cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTABLOR_SANITIZE=ON -DTABLOR_BUILD_BENCH=OFF
  cmake --build build-sanitize -j"$jobs"
  (cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j"$jobs" --timeout 900)
fi

if [ "${TABLOR_FUZZ_SECONDS:-60}" != "0" ]; then
  echo "== Fuzzing"
  scripts/fuzz.sh
fi
