#!/usr/bin/env bash
# Installs every Debian 12 package that the build, the tests and the program need.
# Idempotent: packages already present are left as they are.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config git
  qt6-base-dev qt6-serialport-dev qt6-5compat-dev libqt6opengl6-dev libgl-dev
  qt6-qpa-plugins
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base
  gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly
  gstreamer1.0-libav gstreamer1.0-tools
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev
  libxlsxwriter-dev libjpeg62-turbo-dev fonts-wqy-microhei qt6-translations-l10n
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth libgl1-mesa-dri libglx-mesa0 poppler-utils unzip
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

SUDO=
if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
fi

echo "Installing: ${missing[*]}"
$SUDO apt-get update -o DPkg::Lock::Timeout=600
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends \
  -o DPkg::Lock::Timeout=600 "${missing[@]}"
