#!/usr/bin/env bash
# Installs every Debian package that the build, the program, the tests and the GUI tests need, and
# the device's udev rule. Idempotent: what is already there is not touched.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  juce-modules-source
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libudev-dev udev umockdev libumockdev-dev
  libfontconfig-dev fonts-dejavu-core fonts-droid-fallback fonts-nanum fonts-noto-cjk fonts-liberation2 fonts-urw-base35
  libfreetype-dev libx11-dev libxrandr-dev libxinerama-dev libxcursor-dev libxext-dev
  libasound2-dev libpng-dev libjpeg-dev zlib1g-dev
  xvfb xauth xdotool
  clang-14 libclang-rt-14-dev libfuzzer-14-dev llvm-14
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The device's udev rule gives the logged-in user access to its hidraw node. Only where udev runs
# (not in containers or CI), and only when the installed copy differs; devices already plugged in
# get the new permissions at once.
RULE="$(dirname "$0")/../platform/linux/udev/70-qel720.rules"
if [ -S /run/udev/control ] && ! cmp -s "$RULE" /etc/udev/rules.d/70-qel720.rules; then
  $SUDO install -m 0644 "$RULE" /etc/udev/rules.d/70-qel720.rules
  $SUDO udevadm control --reload-rules
  $SUDO udevadm trigger --subsystem-match=hidraw --action=change
  echo "Installed the QEL-720 udev rule; its hidraw node is now open to the logged-in user."
fi
