#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the normal build, the
# AddressSanitizer + UndefinedBehaviorSanitizer build, and a short run of each fuzz target.
# Warnings are errors. Qt tests run without a display.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh
export QT_QPA_PLATFORM=offscreen
export CI="${CI:-true}"
jobs="$(nproc)"

for preset in dev asan; do
  echo "=== $preset ==="
  bench=OFF
  [ "$preset" = dev ] && bench=ON
  cmake --preset "$preset" -DKIVREL_WERROR=ON -DKIVREL_BUILD_BENCH=$bench >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done

echo "=== fuzz ==="
cmake --preset fuzz -DKIVREL_WERROR=ON >/dev/null
cmake --build --preset fuzz -j "$jobs"
ctest --test-dir build/fuzz -L fuzz --output-on-failure
