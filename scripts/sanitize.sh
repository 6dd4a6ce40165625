#!/usr/bin/env bash
# sanitize.sh - builds the whole project with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# the test suite on it (the end-to-end tests under a display server are left to the plain build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${PAKUTO_SANITIZE_BUILD:-build-asan}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DPAKUTO_SANITIZE=ON -DPAKUTO_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
# Leaks are reported only for our own code: the suppressions cover what Qt's and fontconfig's one-time
# initialisation keeps until exit.
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=0:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp:print_suppressions=0}
# The library test defines pwrite and pread itself; that is interposition on purpose, not a wrong
# link order. The 4 GiB entry takes minutes under the sanitizers: the plain build runs it.
export ASAN_OPTIONS=$ASAN_OPTIONS:verify_asan_link_order=0
echo "sanitize.sh: the 4 GiB tests (Jobs.EntryOver4GiB, Library.Heavy4GiBEdges*) are left to the plain build (scripts/test.sh runs them)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" -LE e2e -E 'EntryOver4GiB|Heavy4GiB'

