#!/usr/bin/env bash
# run-window-test.sh <window test .exe> <build folder> [test arguments]: runs the Win32 window
# test under wine on its own virtual display, then turns the screenshots it took into PNG files
# for review (window-main.png, window-open-dialog.png, window-scale-<dpi>.png in the build folder).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
exe=$1
build=$2
shift 2
"$root/scripts/wine-window-run.sh" "$exe" "$@"
status=$?
for shot in "$build"/window-*.bmp; do
  [ -f "$shot" ] || continue
  python3 "$root/scripts/bmp2png.py" "$shot" "${shot%.bmp}.png" && rm -f "$shot"
done
exit $status
