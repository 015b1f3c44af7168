#!/usr/bin/env bash
# Runs clang-tidy with the repository's .clang-tidy over our own sources
# (src/, tests/, bench/) using the compile commands of a configured build.
# Fails on any finding.  Usage: scripts/tidy.sh [BUILD_DIR] [JOBS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
jobs=${2:-$(nproc)}
if [ ! -f "$build/compile_commands.json" ]; then
  echo "tidy: $build/compile_commands.json is missing; build first" >&2
  exit 2
fi
# Only what this build compiles (the sanitizer build's own files are not).
git ls-files 'src/*.cpp' 'tests/*.cpp' 'bench/*.cpp' |
  while read -r f; do
    if grep -qF "\"file\": \"$PWD/$f\"" "$build/compile_commands.json"; then echo "$f"; fi
  done |
  xargs -P "$jobs" -n 4 clang-tidy -p "$build" --quiet \
    2> >(grep -v -E '^[0-9]+ (warning|error)s?( and [0-9]+ errors?)? generated\.$' >&2)
