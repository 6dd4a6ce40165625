#!/usr/bin/env bash
# fuzz.sh - builds the libFuzzer targets with clang and runs each for a bounded time.
#   usage: scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 20; CI uses the default, run longer locally)
# A crash leaves its input in the build folder's fuzz-artifacts/ and fails the script; turn such inputs
# into tests.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
build=${PAKUTO_FUZZ_BUILD:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPAKUTO_FUZZ=ON -DPAKUTO_BUILD_TESTS=OFF >/dev/null
targets=$(grep -o '^add_fuzz_target([a-z_0-9]*' fuzz/CMakeLists.txt | sed 's/add_fuzz_target(//')
if [ -z "$targets" ]; then
  echo "fuzz.sh: no fuzz targets defined" >&2
  exit 1
fi
# shellcheck disable=SC2086
cmake --build "$build" -j"$(nproc)" --target $targets
mkdir -p "$build/fuzz-artifacts"
for t in $targets; do
  corpus="$build/fuzz-corpus/$t"
  mkdir -p "$corpus"
  [ -d "fuzz/seeds/$t" ] && cp -n fuzz/seeds/"$t"/* "$corpus"/ 2>/dev/null || true
  echo "fuzz.sh: $t for ${seconds}s"
  "$build/bin/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$build/fuzz-artifacts/$t-" "$corpus" 2>"$build/fuzz-artifacts/$t.log" || {
      echo "fuzz.sh: $t found a failure; see $build/fuzz-artifacts/$t.log" >&2
      tail -n 30 "$build/fuzz-artifacts/$t.log" >&2
      exit 1
    }
  grep -E '^Done|stat::number_of_executed_units' "$build/fuzz-artifacts/$t.log" | tail -n 1 || true
done
