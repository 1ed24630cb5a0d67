#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/ (or
# $ASAN_BUILD_DIR) and runs the whole test suite there. Any sanitizer report fails the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ASAN_BUILD_DIR:-$root/build-asan}
cc=${ASAN_CC:-gcc}
cxx=${ASAN_CXX:-g++}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" -DBRELKA_SANITIZE=ON \
  -DBRELKA_TESTS=ON -DBRELKA_BENCH=ON "$@" >/dev/null
cmake --build "$build" --parallel "$(nproc)"

# Leaks count as failures; reports go to stderr, where ctest shows them.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
(cd "$build" && ctest --output-on-failure --timeout 900 -j "$(nproc)")
