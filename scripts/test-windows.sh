#!/usr/bin/env bash
# test-windows.sh - builds the archiver library for Windows on both architectures and runs the Windows
# tests: 7-zip32.dll, sevenzip32.exe and the library's tests, cross-built with mingw-w64
# (cmake/mingw-*.cmake) over static libdeflate and minizip (scripts/windows-deps.sh). ctest then checks
# each build's exports and imports (check_pe.py) and, for x86_64, runs the tests under Wine
# (tests/windows/run_wine.py); i686 is built and inspected only, since this machine runs no 32-bit code.
#   usage: scripts/test-windows.sh [Linux sevenzip32 to compare the Windows driver's archives with]
# A compiler warning fails the build. Build folders: build-win64 and build-win32 (PAKUTO_WIN64_BUILD,
# PAKUTO_WIN32_BUILD); the dependencies' sources are fetched once into the x86_64 one.
set -euo pipefail
cd "$(dirname "$0")/.."
linux_driver=${1:+$(realpath "$1")}
win64=${PAKUTO_WIN64_BUILD:-build-win64}
win32=${PAKUTO_WIN32_BUILD:-build-win32}
export PAKUTO_WINDOWS_SRC=${PAKUTO_WINDOWS_SRC:-$win64/windows-deps-src}

for pair in "x86_64 $win64" "i686 $win32"; do
    read -r arch build <<<"$pair"
    echo "== Windows $arch: $build =="
    SECONDS=0
    scripts/windows-deps.sh "$arch" "$build"
    deps=$SECONDS
    cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-"$arch".cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DPAKUTO_WINDOWS_DEPS="$(realpath "$build")/windows-deps" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
        -DPAKUTO_LINUX_DRIVER="$linux_driver" >/dev/null
    cmake --build "$build" -j"$(nproc)"
    built=$SECONDS
    ctest --test-dir "$build" --output-on-failure
    echo "Windows $arch: dependencies $deps s, build $((built - deps)) s, tests $((SECONDS - built)) s"
done
