#!/usr/bin/env bash
# Builds Keldarn and starts it. Without a display it runs inside a virtual one.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting Keldarn inside Xvfb."
  exec xvfb-run -a -s '-screen 0 1600x1000x24' ./build/keldarn
fi
exec ./build/keldarn
