#!/usr/bin/env bash
# Takes the picture of the browser dialog shown in the README (docs/dialog.png): the program
# started under Xvfb on a bundled FITS sample, the dialog saved as PNG once the file is shown,
# with the fonts of a fresh Debian 12 (DejaVu alone) whatever else this machine has.
#
#   scripts/screenshot.sh [BUILD_DIR [OUT.png]]     (defaults: build/dev, docs/dialog.png)
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir="${1:-build/dev}"
out="${2:-docs/dialog.png}"
program="$build_dir/src/ui/kivrel"
if [ ! -x "$program" ]; then
  echo "screenshot.sh: $program is missing; build the 'kivrel' target first" >&2
  exit 1
fi
mkdir -p "$(dirname "$out")"
# A plain X server at 96 dots per inch; the program leaves the remembered folder alone here.
env -u QT_QPA_PLATFORM FONTCONFIG_FILE="$PWD/tests/ui/fonts-dejavu-only.conf" xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" \
  "$program" --open samples/m51_tan16.fits --screenshot "$out"
echo "wrote $out"
