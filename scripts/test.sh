#!/usr/bin/env bash
# Builds everything and runs every test: the normal build, then the sanitizer build and the
# fuzz targets when their scripts are present.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh"
build=${BUILD_DIR:-$root/build}
(cd "$build" && ctest --output-on-failure --timeout 600 -j "$(nproc)")
if [ -f "$root/scripts/sanitize.sh" ]; then bash "$root/scripts/sanitize.sh"; fi
if [ -f "$root/scripts/fuzz.sh" ]; then bash "$root/scripts/fuzz.sh"; fi
