#!/usr/bin/env bash
# The window's caption as X11 shows it (the title a window manager draws): exactly the product
# name, " Ver." and the file version, with nothing that the toolkit might append.
# Usage: caption_x11.sh <brelka program> <expected caption>
set -euo pipefail
program=$1
expected=$2
for tool in xvfb-run xwininfo xprop; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/packages.txt)"; exit 1; }
done
export BRELKA_PROGRAM=$program QT_QPA_PLATFORM=xcb
# In the sanitizer build: libxkbcommon-x11 (on the X11 connection's start) copies key names
# with strndup from buffers without a terminating zero; strndup reads only within bounds, but
# AddressSanitizer's strict string checks look for the zero and stop the program.
if [ -n "${ASAN_OPTIONS:-}" ]; then export ASAN_OPTIONS="$ASAN_OPTIONS:strict_string_checks=0"; fi
# Inside a fresh X server: start the program, wait for its window, read the titles of its
# top-level windows (those with a class), and end the program again.
titles=$(xvfb-run -a bash -c '
  "$BRELKA_PROGRAM" >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 1 200); do
    xwininfo -root -tree 2>/dev/null | grep -q "Ver\." && break
    sleep 0.1
  done
  for id in $(xwininfo -root -tree | grep -F "(\"" | awk "{print \$1}"); do
    xprop -id "$id" _NET_WM_NAME | sed -n "s/^_NET_WM_NAME(UTF8_STRING) = \"\(.*\)\"$/\1/p"
  done
  kill "$pid"
  wait "$pid" 2>/dev/null || true
')
echo "top-level window titles: [$titles]"
if [ "$titles" != "$expected" ]; then
  echo "expected exactly one window titled [$expected]"
  exit 1
fi
