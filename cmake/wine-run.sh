#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine, in the test prefix of the
# build tree that holds the program (found by walking up to CMakeCache.txt).
set -euo pipefail
exe=$1
dir=$(cd "$(dirname "$exe")" && pwd)
build=$dir
while [ "$build" != / ] && [ ! -f "$build/CMakeCache.txt" ]; do build=$(dirname "$build"); done
if [ ! -f "$build/CMakeCache.txt" ]; then
  echo "wine-run.sh: $exe is not inside a build tree" >&2
  exit 2
fi
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../scripts/wine-env.sh
source "$here/../scripts/wine-env.sh"
baudcalc_wine_env "$build/wine-test" "$build/wintest/recorder.exe"
# Wine's console ends lines with CR LF; CTest and gtest discovery want LF.
set +e
wine "$@" | tr -d '\r'
status=${PIPESTATUS[0]}
exit "$status"
