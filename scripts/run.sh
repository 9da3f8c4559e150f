#!/usr/bin/env bash
# Tablor's main job on what ships with it: installs what is missing, builds, compares the
# two example snapshots and writes the HTML report. With a display, it also opens the window
# with the examples ready in its snapshot list.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

report="$PWD/build/shop-differences.html"
status=0
build/bin/tablor-cli compare examples/shop-v1.snp examples/shop-v2.snp --html "$report" || status=$?
if [ "$status" -gt 1 ]; then
  exit "$status"
fi
echo
echo "HTML report: $report"

if [ -x build/bin/tablor ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  home="$PWD/build/tablor-home"
  mkdir -p "$home/SnapShots"
  cp examples/shop-v1.snp examples/shop-v2.snp "$home/SnapShots/"
  cp build/bin/template.html build/bin/help.html "$home/"
  echo "Opening the window..."
  TABLOR_HOME="$home" exec build/bin/tablor
fi
