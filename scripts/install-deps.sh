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
  # Windows build: mingw-w64 compilers with the posix thread model (std::thread), their binutils
  # (objdump checks the DLL's exports and imports), zlib for mingw, apt-get source for libdeflate and
  # minizip; wine64 runs the x86_64 tests (never wine32: this machine runs no 32-bit code, and with it
  # /usr/bin/wine picks a loader that cannot start); the locale that gives Wine code page 932
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  libz-mingw-w64-dev dpkg-dev wine64 locales
  # Wine's own fonts: Marlett draws the caption buttons of its windows, Tahoma its message boxes
  fonts-wine
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The Windows tests run Wine in ja_JP.UTF-8 so that the ANSI code page is 932; Wine needs the locale
# generated to convert names, so it is enabled in /etc/locale.gen (kept by later locale-gen runs).
if ! locale -a 2>/dev/null | grep -qix 'ja_JP\.utf-\?8'; then
  echo "install-deps: generating the ja_JP.UTF-8 locale"
  "${sudo_cmd[@]}" sed -i 's/^# *\(ja_JP\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -qx 'ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  "${sudo_cmd[@]}" locale-gen
fi
