#!/usr/bin/env bash
# The Windows stage: installs mingw-w64 and wine from Debian when missing, cross-builds into
# build-win/ (or $WIN_BUILD_DIR) with the Win32 window (no Qt), runs the Windows suites under wine
# (headless, its prefix inside the build folder; the window's test on a virtual display of its
# own), then compares the Linux brelka-cli with brelka-cli.exe under wine on the same inputs, and
# the slot files and exports the window wrote with the Linux tool's for the same requests, byte
# for byte (build/ must hold the Linux build, or $BUILD_DIR). Ends with CTest's summary line,
# each comparison counted as one more test.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${WIN_BUILD_DIR:-$root/build-win}
linux_build=${BUILD_DIR:-$root/build}
start=$(date +%s)

bash "$root/scripts/setup.sh" packages-windows.txt || exit 1

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine-run.sh" \
  -DBRELKA_GUI=ON -DBRELKA_BENCH=OFF -DBRELKA_TESTS=ON -DBRELKA_WERROR=ON \
  -DBRELKA_CARD_DRIVE=Q: "$@" >/dev/null || exit 1
cmake --build "$build" --parallel "$(nproc)" || exit 1

export BRELKA_WINEPREFIX=$build/wineprefix
export WINEPREFIX=$BRELKA_WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Making the wine prefix in $WINEPREFIX"
  DISPLAY='' wineboot -i >/dev/null 2>&1
fi
# One server and one set of wine's own services for the whole stage, instead of one per program.
# They start here, not from a test: what a test starts inherits its output and CTest would wait.
wineserver -p 60
"$root/scripts/wine-run.sh" cmd /c exit >/dev/null 2>&1 </dev/null
# The installer's test matches the installed tool's files with the Linux tool's.
export BRELKA_LINUX_CLI=$linux_build/bin/brelka-cli
status=0
(cd "$build" && ctest --output-on-failure --timeout 600 -j "$(nproc)") || status=1

echo "== same results: brelka-cli (Linux) and brelka-cli.exe (wine)"
if bash "$root/scripts/same-results.sh" "$linux_build/bin/brelka-cli" "$build/bin/brelka-cli.exe" \
  "$build/same-results"; then
  echo "same results: passed"
else
  echo "same results: failed"
  status=1
fi
echo "== same results: the Win32 window (wine) and brelka-cli (Linux)"
if bash "$root/scripts/window-results.sh" "$linux_build/bin/brelka-cli" "$build/window-results"; then
  echo "window results: passed"
else
  echo "window results: failed"
  status=1
fi
wineserver -k 2>/dev/null
echo "windows stage: $(($(date +%s) - start)) s"
exit $status
