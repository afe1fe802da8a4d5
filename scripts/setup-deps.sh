#!/usr/bin/env bash
# Installs the Debian 12 packages Kivrel needs to build, run and test, when they are missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git python3
  qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev
  nlohmann-json3-dev libcli11-dev libpng-dev
  libgraphicsmagick1-dev graphicsmagick
  libgtest-dev libgmock-dev libbenchmark-dev libcfitsio-dev wcslib-dev
  liberfa-dev zlib1g-dev qt6-translations-l10n fonts-dejavu-core
  clang libclang-rt-14-dev xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
