#!/usr/bin/env bash
# Every test of the project, from nothing: installs what it needs, then
#   1. the core, the command-line tool and their tests (GCC, -Werror)
#   2. the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer
#   3. a bounded libFuzzer run over the calculation (clang)
#   4. the Win32 program cross-built with mingw-w64 and tested under Wine in Xvfb
# FUZZ_SECONDS (default 60) bounds step 3; SKIP_WIN=1 skips step 4.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc)

scripts/install-deps.sh --win

step() { printf '\n==== %s\n' "$*"; }

step "native build and tests"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBAUDCALC_WERROR=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

step "sanitizer build and tests"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBAUDCALC_WERROR=ON -DBAUDCALC_SANITIZE=ON
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

step "fuzzing the calculation for ${FUZZ_SECONDS:-60} s"
cmake -S . -B build-fuzz -G Ninja -DBAUDCALC_FUZZ=ON -DBAUDCALC_WERROR=ON \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
cmake --build build-fuzz -j "$jobs"
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
cp fuzz/corpus/* "$corpus"/
build-fuzz/fuzz/fuzz_calc -max_total_time="${FUZZ_SECONDS:-60}" -print_final_stats=1 \
  -artifact_prefix="$root/build-fuzz/" "$corpus" 2>&1 | tail -n 12

if [ "${SKIP_WIN:-0}" != 1 ] && [ -x scripts/test-win.sh ]; then
  step "Win32 program under Wine"
  scripts/test-win.sh -DBAUDCALC_WERROR=ON
fi
