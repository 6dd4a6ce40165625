#!/usr/bin/env bash
# install-deps.sh - installs, with apt-get and only when missing, every Debian package that building,
# running, testing and benchmarking Pakuto needs. Safe to run again: it does nothing when all are present.
set -euo pipefail

packages=(
  # build
  build-essential cmake pkg-config
  qt6-base-dev libgl-dev
  libdeflate-dev libminizip-dev zlib1g-dev
  libgtest-dev googletest
  clang libclang-rt-14-dev
  # runtime: a font that draws the Japanese captions
  fonts-noto-cjk
  # tests: independent archive readers, a virtual display, input moved on it
  unzip zip libarchive-tools python3 xvfb xdotool x11-utils
  # end-to-end test: the GTK 3 drag source; screenshots of the virtual display (scripts/screenshot.sh)
  python3-gi gir1.2-gtk-3.0 imagemagick
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
