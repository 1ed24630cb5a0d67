#!/usr/bin/env bash
# Runs a Windows program under wine, headless, in the prefix of the Windows build
# ($BRELKA_WINEPREFIX, by default build-win/wineprefix): the emulator of the cross build's tests.
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${BRELKA_WINEPREFIX:-$root/build-win/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# The arguments reach the program as UTF-16 from the locale's encoding.
export LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
# Drive Q: is the root of an empty folder beside the prefix: a card at a drive's root.
if [ -d "$WINEPREFIX/dosdevices" ] && [ ! -e "$WINEPREFIX/dosdevices/q:" ]; then
  mkdir -p "$WINEPREFIX/../card-drive"
  ln -sfn "$(cd "$WINEPREFIX/.." && pwd)/card-drive" "$WINEPREFIX/dosdevices/q:"
fi
exec wine "$@"
