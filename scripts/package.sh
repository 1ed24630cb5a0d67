#!/usr/bin/env bash
# Builds the release packages into dist/: the Debian package brelka_<version>_amd64.deb (a build
# of the product alone in build-pkg/, installed under /usr), and the Windows archive when the
# Windows build script is there. Usage: scripts/package.sh [--deb-only]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PKG_BUILD_DIR:-$root/build-pkg}
dist=${DIST_DIR:-$root/dist}
bash "$root/scripts/setup.sh"

# Debian's hardening flags (stack protector, fortified calls, read-only relocations, bind now).
flags="$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CPPFLAGS) \
$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS)"
ldflags=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
  -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" -DCMAKE_MODULE_LINKER_FLAGS="$ldflags" \
  -DBRELKA_TESTS=OFF -DBRELKA_BENCH=OFF -DBRELKA_GUI=ON >/dev/null
cmake --build "$build" --parallel "$(nproc)"
(cd "$build" && cpack -G DEB >/dev/null)
mkdir -p "$dist"
deb=$(ls "$build"/brelka_*_amd64.deb)
cp "$deb" "$dist/"
echo "$dist/$(basename "$deb")"

if [ "${1:-}" != "--deb-only" ] && [ -f "$root/scripts/package-windows.sh" ]; then
  bash "$root/scripts/package-windows.sh" "$dist"
fi
