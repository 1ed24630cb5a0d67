#!/usr/bin/env bash
# Runs a Windows program that opens windows under wine on a virtual display of its own (Xvfb),
# in a wine prefix of its own beside the build's ($BRELKA_WINEPREFIX-window), so the headless
# prefix of the other tests is left as it is. Ends the prefix's wine server before returning,
# so nothing started here outlives the test.
root=$(cd "$(dirname "$0")/.." && pwd)
base=${BRELKA_WINEPREFIX:-$root/build-win/wineprefix}
export WINEPREFIX=$base-window
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export LC_ALL=C.UTF-8
unset WAYLAND_DISPLAY
run() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 </dev/null
  fi
  # The server runs on its own, its output not tied to the caller's.
  wineserver -p 30 </dev/null >/dev/null 2>&1
  # A virtual desktop of wine's own: it draws the windows' frames and captions, as a
  # window manager would.
  wine explorer /desktop=brelka-test,1024x768 "$@"
  local status=$?
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  return $status
}
if [ "${1:-}" = "--inside" ]; then
  shift
  run "$@"
  exit $?
fi
exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" --inside "$@"
