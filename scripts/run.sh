#!/usr/bin/env bash
# run.sh - installs what is missing, builds Pakuto and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DPAKUTO_BUILD_TESTS=OFF
cmake --build build -j"$(nproc)"
exec build/bin/pakuto
