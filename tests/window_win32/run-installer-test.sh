#!/usr/bin/env bash
# run-installer-test.sh <installer test .exe> <build folder>: makes the Linux tool's reference
# files for the installed tool to match (a Heavy import and its export of the same tone), then
# runs the installer test under wine in a fresh prefix of its own, on a virtual display.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
exe=$1
build=$2
linux_cli=${BRELKA_LINUX_CLI:-$root/build/bin/brelka-cli}
work=$build/installer-results
if [ ! -x "$linux_cli" ]; then
  echo "the Linux brelka-cli is missing ($linux_cli): build the Linux side first" >&2
  exit 1
fi
rm -rf "$work"
mkdir -p "$work/reference"
sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 0.5 sine 440 sine 660 2>/dev/null || exit 1
"$linux_cli" -q import "$work/reference" 6 "$work/tone.wav" --quality heavy || exit 1
"$linux_cli" -q export "$work/reference" 6 "$work/reference/slot06.wav" || exit 1
export BRELKA_WINEPREFIX=$build/installer-prefix
rm -rf "$BRELKA_WINEPREFIX-window" "$BRELKA_WINEPREFIX-window-pulse"
"$root/scripts/wine-window-run.sh" "$exe"
status=$?
rm -rf "$work/long"
exit $status
