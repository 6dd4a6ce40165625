#!/usr/bin/env bash
# screenshot.sh - takes the README's picture of the main window: starts a virtual display, runs the
# built tool on it with a throw-away settings file, and saves the window as docs/pakuto-window.png.
#   usage: scripts/screenshot.sh [BUILD_DIR]   (default build)
# With --windows, the picture of the Win32 window under Wine instead: the Windows end-to-end test saves
# it after its last drop (Japanese names) as docs/pakuto-window-win.png.
#   usage: scripts/screenshot.sh --windows [WIN64_BUILD_DIR]   (default build-win64, built with its tests)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = --windows ]; then
  version=$(sed -n 's/^project(Pakuto VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
  PAKUTO_WINE_SCREENSHOT=$PWD/docs/pakuto-window-win.png \
    python3 tests/windows/wine_drop_test.py "${2:-build-win64}/bin" "$version"
  echo "saved docs/pakuto-window-win.png"
  exit 0
fi
build=$(realpath "${1:-build}")
work=$(mktemp -d)
xvfb_pid=""
tool_pid=""
cleanup() {
  [ -n "$tool_pid" ] && kill "$tool_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A copy of the installed layout, so the settings file it writes lands in the throw-away folder.
mkdir -p "$work/bin" "$work/lib"
cp "$build/bin/pakuto" "$work/bin/"
cp "$build/lib/lib7-zip32.so" "$work/lib/"

exec 3<> "$work/display"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"

QT_QPA_PLATFORM=xcb "$work/bin/pakuto" &
tool_pid=$!
window=$(timeout 20 xdotool search --sync --name "Pakuto Ver" | head -n1)
sleep 1  # let the first paint finish
mkdir -p docs
import -window "$window" docs/pakuto-window.png
echo "saved docs/pakuto-window.png"
