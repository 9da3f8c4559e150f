#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: first a normal build, then one
# under AddressSanitizer and UndefinedBehaviorSanitizer, then one under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs=$(nproc)
passed=0
failed=0

# Runs CTest in a build folder and adds its counts to the totals.
run_ctest() {
  local folder=$1
  shift
  local log
  log=$(mktemp)
  local status=0
  (cd "$folder" && env "$@" ctest --output-on-failure -j"$jobs" --timeout 900) 2>&1 | tee "$log" || status=$?
  local line
  line=$(grep -E '[0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  rm -f "$log"
  if [ -z "$line" ]; then
    echo "CTest in $folder reported no result" >&2
    exit 1
  fi
  local total bad
  bad=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
  total=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/')
  passed=$((passed + total - bad))
  failed=$((failed + bad))
  return "$status"
}
trap 'echo "tests: $passed passed, $failed failed"' EXIT

echo "== Formatting"
scripts/check-format.sh

echo "== Build and test"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
echo "== clang-tidy over every folder of src"
scripts/check-tidy.sh build
run_ctest build

echo "== Package"
scripts/check-package.sh build

# The build options each leave out a part; every combination must build and pass its tests.
echo "== Build and test without the live-database adapter"
cmake -S . -B build-noodbc -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTABLOR_BUILD_ODBC=OFF -DTABLOR_BUILD_BENCH=OFF
cmake --build build-noodbc -j"$jobs"
run_ctest build-noodbc

echo "== Build and test without the window"
cmake -S . -B build-nogui -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTABLOR_BUILD_GUI=OFF -DTABLOR_BUILD_BENCH=OFF
cmake --build build-nogui -j"$jobs"
run_ctest build-nogui

if [ "${TABLOR_SANITIZERS:-on}" != "off" ]; then
  echo "== Build and test under AddressSanitizer and UndefinedBehaviorSanitizer"
  cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTABLOR_SANITIZE=ON -DTABLOR_BUILD_BENCH=OFF
  cmake --build build-sanitize -j"$jobs"
  run_ctest build-sanitize ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1

  # Without the window: Qt is not built for ThreadSanitizer. The readers and the command line
  # the tests start are built with it too; their reports are written to files, since a reader's
  # output reaches only the program that reads it. atexit_sleep_ms=0: ThreadSanitizer would
  # otherwise hold every threaded process a second at its exit, which the Ctrl-C test times.
  echo "== Build and test under ThreadSanitizer"
  cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTABLOR_BUILD_GUI=OFF -DTABLOR_BUILD_BENCH=OFF \
    -DTABLOR_TSAN=ON
  cmake --build build-tsan -j"$jobs"
  reports=$PWD/build-tsan/tsan-reports
  rm -rf "$reports"
  mkdir -p "$reports"
  tsan_status=0
  run_ctest build-tsan \
    TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:atexit_sleep_ms=0:log_path=$reports/report" ||
    tsan_status=$?
  if compgen -G "$reports/*" >/dev/null; then
    cat "$reports"/*
    echo "ThreadSanitizer reported in $(find "$reports" -type f | wc -l) processes" >&2
    exit 1
  fi
  [ "$tsan_status" -eq 0 ] || exit "$tsan_status"
fi

if [ "${TABLOR_FUZZ_SECONDS:-60}" != "0" ]; then
  echo "== Fuzzing"
  scripts/fuzz.sh
fi
