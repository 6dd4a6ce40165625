#!/usr/bin/env bash
# test.sh - installs what is missing, builds Pakuto with its tests and runs every test.
# Widget tests run on Qt's offscreen platform, so no display is needed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${PAKUTO_TEST_BUILD:-build-test}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPAKUTO_BUILD_TESTS=ON
cmake --build "$build" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"

# The same suite under AddressSanitizer and UndefinedBehaviorSanitizer, then each fuzz target briefly.
scripts/sanitize.sh
scripts/fuzz.sh "${PAKUTO_FUZZ_SECONDS:-30}"
