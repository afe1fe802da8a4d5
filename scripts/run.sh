#!/usr/bin/env bash
# Installs what is missing, builds Kivrel and runs it on the bundled samples: the window on a
# desktop, the headless driver's reading of a sample FITS image otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/release/src/ui/kivrel ]; then
  cd samples && exec ../build/release/src/ui/kivrel
fi
echo "No display: kivrel-cli info samples/m51_tan16.fits"
build/release/src/cli/kivrel-cli info samples/m51_tan16.fits
