#!/usr/bin/env bash
# Builds everything and starts the program. Without a display it starts under Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh"
bin=${BUILD_DIR:-$root/build}/bin
if [ -x "$bin/brelka" ]; then
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: starting under Xvfb (xvfb-run)."
    exec xvfb-run -a "$bin/brelka" "$@"
  fi
  exec "$bin/brelka" "$@"
fi
exec "$bin/brelka-cli" --help
