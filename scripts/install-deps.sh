#!/usr/bin/env bash
# Installs the Debian 12 packages Parlorix needs to build, generate its content, test and run.
# Only missing packages are installed; uses sudo when not run as root.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config git
  libsdl2-dev libsdl2-mixer-dev libmodplug-dev libfreetype-dev zlib1g-dev libjpeg62-turbo-dev libgif-dev
  libvorbis-dev libogg-dev
  fonts-dejavu-core fonts-comfortaa
  libgtest-dev libgmock-dev
  xvfb xauth xdotool clang libclang-rt-14-dev
  openbox x11-utils weston libweston-10-dev libx11-dev
  clang-format cppcheck
  dpkg-dev lintian desktop-file-utils appstream mandoc groff-base gzip
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "All packages present."
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
