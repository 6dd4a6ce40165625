#!/usr/bin/env bash
# test.sh - installs what is missing, builds Pakuto with its tests and runs every test, on Linux and,
# for the archiver library, on Windows under Wine.
# Widget tests run on Qt's offscreen platform, so no display is needed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${PAKUTO_TEST_BUILD:-build-test}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPAKUTO_BUILD_TESTS=ON
cmake --build "$build" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"

# The archiver library cross-built for Windows (x86_64 and i686), its tests under Wine, the driver's
# archives compared with the Linux library's (scripts/test-windows.sh).
scripts/test-windows.sh "$build/bin/sevenzip32"

# The same suite under AddressSanitizer and UndefinedBehaviorSanitizer, then each fuzz target briefly.
scripts/sanitize.sh
scripts/fuzz.sh "${PAKUTO_FUZZ_SECONDS:-30}"
