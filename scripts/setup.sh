#!/usr/bin/env bash
# Installs every Debian package that the build, the program, the tests and the GUI tests need.
# Idempotent: when everything is already there it returns without touching apt.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  juce-modules-source
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libudev-dev udev umockdev libumockdev-dev
  libfontconfig-dev fonts-dejavu-core fonts-droid-fallback fonts-nanum fonts-noto-cjk fonts-liberation2
  libfreetype-dev libx11-dev libxrandr-dev libxinerama-dev libxcursor-dev libxext-dev
  libasound2-dev libpng-dev libjpeg-dev zlib1g-dev
  xvfb xauth xdotool
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
