#!/usr/bin/env bash
# windows-deps.sh - static libdeflate and minizip for the Windows build, from Debian's own sources.
#   usage: scripts/windows-deps.sh <x86_64|i686> <build folder>
# mingw-w64 has zlib in Debian (libz-mingw-w64-dev) but neither libdeflate nor minizip. This fetches
# the source packages of the versions the Linux build links (libdeflate-dev, libminizip-dev) with
# `apt-get source`, through a private deb-src list made from the machine's configured Debian mirrors
# and private apt state, so the system's apt set-up is never touched, and cross-builds them as static
# libraries (cmake/windows-deps) into <build folder>/windows-deps: include/, lib/, lib/pkgconfig/.
# Sources are kept in $PAKUTO_WINDOWS_SRC (default <build folder>/windows-deps-src) and a finished
# staging folder is reused while the versions and the recipe stay the same.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:?usage: windows-deps.sh <x86_64|i686> <build folder>}
build=${2:?usage: windows-deps.sh <x86_64|i686> <build folder>}
case "$arch" in x86_64 | i686) ;; *) echo "windows-deps: unknown architecture $arch" >&2; exit 2 ;; esac
mkdir -p "$build"
build=$(cd "$build" && pwd)
staging=$build/windows-deps
src=${PAKUTO_WINDOWS_SRC:-$build/windows-deps-src}
mkdir -p "$src"
src=$(cd "$src" && pwd)

# The source package and version behind each binary package the Linux build uses.
source_of() { dpkg-query -W -f='${source:Package}=${source:Version}' "$1"; }
deflate=$(source_of libdeflate-dev)
minizip=$(source_of libminizip-dev)
recipe=$(cat "$root/cmake/windows-deps/CMakeLists.txt" "$root/cmake/mingw-$arch.cmake" "$root/cmake/mingw-common.cmake" \
    "$root/cmake/mingw-static-libraries.cmake" "$0" | sha256sum | cut -c1-16)
stamp="$deflate $minizip $recipe"
if [ "$(cat "$staging/.stamp" 2>/dev/null)" = "$stamp" ]; then
    exit 0
fi

# The upstream part of a source package's version: 1:1.2.13.dfsg-1 -> 1.2.13.dfsg.
upstream() {
    local version=${1#*=}
    version=${version#*:}
    echo "${version%-*}"
}

# Fetches one source package into $src/<name>-<version> (once).
fetch() {
    local name=${1%%=*} version=${1#*=}
    local dir
    dir=$src/$name-$(upstream "$1")
    if [ -f "$dir/.fetched" ]; then echo "$dir"; return; fi
    local apt=$src/apt
    if [ ! -f "$apt/.updated" ]; then
        rm -rf "$apt"
        mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial"
        # deb-src lines for every Debian repository apt is configured with (same mirror, suites, components).
        apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT)' 'Origin: Debian' 'Identifier: Packages' |
            sort -u | awk 'NF == 3 { print "deb-src " $1 " " $2 " " $3 }' >"$apt/sources.list"
        if [ ! -s "$apt/sources.list" ]; then
            echo "windows-deps: no Debian repository configured for apt" >&2
            exit 1
        fi
        apt_private update
        touch "$apt/.updated"
    fi
    rm -rf "$src/work" && mkdir -p "$src/work"
    (cd "$src/work" && apt_private source "$name=$version")
    local unpacked
    unpacked=$(find "$src/work" -mindepth 1 -maxdepth 1 -type d | head -n1)
    [ -n "$unpacked" ] || { echo "windows-deps: apt-get source $name=$version unpacked nothing" >&2; exit 1; }
    rm -rf "$dir" && mv "$unpacked" "$dir" && rm -rf "$src/work"
    touch "$dir/.fetched"
    echo "$dir"
}
apt_private() {
    local apt=$src/apt sandbox=()
    # As root apt would hand downloads to the _apt user, who may not reach this folder.
    if [ "$(id -u)" -eq 0 ]; then sandbox=(-o APT::Sandbox::User=root); fi
    if ! apt-get -q "${sandbox[@]}" -o Dir::Etc::SourceList="$apt/sources.list" \
        -o Dir::Etc::SourceParts="$apt/sources.list.d" -o Dir::State::Lists="$apt/lists" \
        -o Dir::Cache="$apt/cache" "$@" >"$apt/last.log" 2>&1; then
        cat "$apt/last.log" >&2
        echo "windows-deps: apt-get $* failed" >&2
        exit 1
    fi
}

deflate_dir=$(fetch "$deflate")
minizip_dir=$(fetch "$minizip")

work=$build/windows-deps-build
rm -rf "$work" "$staging"
cmake -S "$root/cmake/windows-deps" -B "$work" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" -DCMAKE_INSTALL_PREFIX="$staging" \
    -DLIBDEFLATE_SOURCE="$deflate_dir" -DMINIZIP_SOURCE="$minizip_dir" \
    -DLIBDEFLATE_VERSION="$(upstream "$deflate")" -DMINIZIP_VERSION="$(upstream "$minizip")" >/dev/null
cmake --build "$work" -j2 >/dev/null
cmake --install "$work" >/dev/null
rm -rf "$work"
echo "$stamp" >"$staging/.stamp"
echo "windows-deps: $arch static ${deflate%%=*} ${deflate#*=}, ${minizip%%=*} ${minizip#*=} in $staging"
