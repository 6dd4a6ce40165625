#!/usr/bin/env bash
# release.sh - builds the release files into dist/ and checks them:
#   dist/Pakuto-<version>-win64.zip, dist/Pakuto-<version>-win32.zip  Pakuto.exe, 7-zip32.dll,
#       sevenzip32.exe and readme.txt in a folder Pakuto-<version>-<arch>, from Release builds cross-built
#       with mingw-w64 (no settings file: Pakuto.ini is made beside Pakuto.exe when it first closes);
#       each program stripped, importing only system DLLs (tests/windows/check_pe.py)
#   dist/pakuto_<version>_amd64.deb  the Linux Release build as `cmake --install` lays it out under /usr
#       (CPack, the top-level CMakeLists.txt), checked to hold exactly the installed files, to install
#       into a scratch root with dpkg --root (its sevenzip32 then archives a file there) and to leave
#       nothing behind when purged.
#   usage: scripts/release.sh   (build folders under build-release/, or $PAKUTO_RELEASE_BUILDS)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
version=$(sed -n 's/^project(Pakuto VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
builds=${PAKUTO_RELEASE_BUILDS:-build-release}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p dist "$builds"
builds=$(realpath "$builds")

for pair in "x86_64 win64" "i686 win32"; do
    read -r arch name <<<"$pair"
    build=$builds/$name
    echo "== $name: $build =="
    scripts/windows-deps.sh "$arch" "$build"
    cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-"$arch".cmake -DCMAKE_BUILD_TYPE=Release \
        -DPAKUTO_BUILD_TESTS=OFF -DPAKUTO_WINDOWS_DEPS="$build/windows-deps" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
        >/dev/null
    cmake --build "$build" -j"$(nproc)" --target pakuto_win32 sevenzip32 sevenzip32_library
    folder=$work/Pakuto-$version-$name
    mkdir -p "$folder"
    for file in Pakuto.exe 7-zip32.dll sevenzip32.exe; do
        "$arch-w64-mingw32-strip" -o "$folder/$file" "$build/bin/$file"
    done
    # UTF-8 with a byte order mark and CRLF line ends, so Notepad reads it right under any code page.
    { printf '\xef\xbb\xbf'; sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$name/" -e 's/$/\r/' packaging/windows-readme.txt; } \
        >"$folder/readme.txt"
    python3 tests/windows/check_pe.py "$arch-w64-mingw32-objdump" "$folder/7-zip32.dll" "$folder/Pakuto.exe" \
        "$folder/sevenzip32.exe"
    rm -f "dist/Pakuto-$version-$name.zip"
    (cd "$work" && zip -qrX "$OLDPWD/dist/Pakuto-$version-$name.zip" "Pakuto-$version-$name")
    unzip -Z1 "dist/Pakuto-$version-$name.zip"
done

echo "== Linux: $builds/linux =="
cmake -S . -B "$builds/linux" -DCMAKE_BUILD_TYPE=Release -DPAKUTO_BUILD_TESTS=OFF >/dev/null
cmake --build "$builds/linux" -j"$(nproc)"
(cd "$builds/linux" && cpack -G DEB -B "$work/cpack" >/dev/null)
deb=dist/pakuto_${version}_amd64.deb
mv "$work/cpack/pakuto_${version}_amd64.deb" "$deb"
dpkg-deb -f "$deb" Package Version Architecture Maintainer Depends

# Exactly what `cmake --install` installs, files and links, as the package holds them.
DESTDIR=$work/installed cmake --install "$builds/linux" --prefix /usr >/dev/null
(cd "$work/installed" && find . ! -type d | sed 's|^\.||' | sort) >"$work/installed.txt"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\.||' | sort >"$work/packaged.txt"
diff "$work/installed.txt" "$work/packaged.txt" || { echo "release: the package differs from the install" >&2; exit 1; }

# Installed into a scratch root (its dependencies are the machine's, so not asked for there; its
# maintainer scripts, ldconfig for lib7-zip32.so, run outside it, having no shell there), used, purged.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
dpkg --root="$root" --force-depends --force-script-chrootless --log=/dev/null -i "$deb" >/dev/null 2>&1
echo "data" >"$work/a.txt"
"$root/usr/bin/sevenzip32" "a -tzip -mx=9 \"$work/a.zip\" \"$work/\" \"a.txt\"" >/dev/null
unzip -tqq "$work/a.zip"
dpkg --root="$root" --force-script-chrootless --log=/dev/null -P pakuto >/dev/null
left=$(find "$root" -path "$root/var/lib/dpkg" -prune -o ! -type d -print)
[ -z "$left" ] || { echo "release: left after purging: $left" >&2; exit 1; }
echo "release: $deb installs as cmake --install does, works from a scratch root and purges cleanly"
ls -l dist/
