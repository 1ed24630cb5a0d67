#!/usr/bin/env bash
# Makes the Windows release: the installer brelka-<version>-setup.exe and the archive
# brelka-<version>-windows-x64.zip, both of the same files: brelka.exe (the window),
# brelka-cli.exe, its play module brelka-play.dll, qmx.dll, README.md and LICENSE, from a cross
# build in build-win/ (or $WIN_BUILD_DIR; built here, without the tests, when it is missing). They
# land in that build folder, or in $1 when given.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${WIN_BUILD_DIR:-$root/build-win}
for p in mingw-w64 zip nsis librsvg2-bin python3; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$p" >/dev/null
  fi
done
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DBRELKA_GUI=ON >/dev/null
elif ! grep -q '^BRELKA_GUI:BOOL=ON' "$build/CMakeCache.txt"; then
  # An existing build without the window gets it.
  cmake -B "$build" -DBRELKA_GUI=ON >/dev/null
else
  # An existing build configured before makensis was there finds it now.
  cmake -B "$build" >/dev/null
fi
# The files in one folder and the installer made of them (packaging/CMakeLists.txt).
cmake --build "$build" --parallel "$(nproc)" --target brelka_setup
version=$(sed -nE 's/^project\(brelka VERSION ([0-9.]+).*/\1/p' "$root/CMakeLists.txt")
name=brelka-$version-windows-x64
out=${1:-$build}
mkdir -p "$out"
rm -f "$out/$name.zip"
(cd "$build/package" && zip -q -r -X "$(cd "$out" && pwd)/$name.zip" "$name")
if [ "$(cd "$out" && pwd)" != "$(cd "$build/package" && pwd)" ]; then
  cp "$build/package/brelka-$version-setup.exe" "$out/"
fi
echo "$out/brelka-$version-setup.exe"
echo "$out/$name.zip"
