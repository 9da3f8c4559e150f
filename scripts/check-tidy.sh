#!/usr/bin/env bash
# Fails when clang-tidy, with the project's .clang-tidy, finds anything in the program's sources:
# every folder of src (core, ODBC adapter, reader, command line, window), and the headers the
# .clang-tidy filter names. Files that BUILD_FOLDER does not compile (a build without the window
# or the adapter) are left out, as is what CMake generates (moc, resources).
# Usage: scripts/check-tidy.sh BUILD_FOLDER, a folder CMake has configured (it writes the
# compile_commands.json that gives clang-tidy each file's flags).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:?usage: scripts/check-tidy.sh BUILD_FOLDER}
if [ ! -f "$build/compile_commands.json" ]; then
  echo "No compile_commands.json in $build: configure it with CMake first." >&2
  exit 1
fi
tidy=$(command -v clang-tidy-14 || command -v clang-tidy) || {
  echo "clang-tidy is not installed (package clang-tidy)." >&2
  exit 1
}

# Every file of src that this build compiles; what CMake generates lies in the build folder.
mapfile -t files < <(sed -nE "s|^ *\"file\": *\"$PWD/(src/[^\"]+)\",?\$|\1|p" "$build/compile_commands.json" | sort -u)

# One log per file, so that two runs at once never mix their lines.
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
status=0
printf '%s\0' "${files[@]}" | xargs -0 -P2 -I{} sh -c \
  '"$0" -p "$1" --quiet "$2" >"$3/$(echo "$2" | tr / _).log" 2>&1' "$tidy" "$build" {} "$logs" ||
  status=$?

# A header's finding shows once per file that includes it; count it once.
cat "$logs"/*.log | grep -vE '^[0-9]+ (warning|error)s? generated\.$' || true
findings=$(cat "$logs"/*.log | { grep -E '^[^ ].*:[0-9]+:[0-9]+: (warning|error):' || true; } | sort -u | wc -l)
if [ "$status" -ne 0 ] || [ "$findings" -ne 0 ]; then
  echo "tidy: $findings findings in ${#files[@]} files" >&2
  exit 1
fi
echo "tidy: ${#files[@]} files clean"
