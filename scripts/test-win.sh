#!/usr/bin/env bash
# Cross-builds baudcalc.exe with mingw-w64 and runs the window tests under
# Wine in a virtual X display; leaves a screenshot of the window in
# build-win/artifacts/. Needs `scripts/install-deps.sh --win` first.
#
#   scripts/test-win.sh [--update-docs] [CMAKE_OPTION...]
#     --update-docs   also copy the screenshot to docs/screenshot.png
#     e.g. scripts/test-win.sh -DBAUDCALC_WERROR=ON
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BAUDCALC_WIN_BUILD:-$root/build-win}
update_docs=0
if [ "${1:-}" = "--update-docs" ]; then
  update_docs=1
  shift
fi
exec </dev/null

for tool in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres wine wineserver Xvfb import cmake ninja; do
  if ! command -v "$tool" >/dev/null; then
    echo "test-win: $tool is missing; run scripts/install-deps.sh --win" >&2
    exit 2
  fi
done

echo "== configure and build ($build)"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" "$@"
cmake --build "$build"

exe=$build/baudcalc.exe
stripped=$build/artifacts/baudcalc-stripped.exe
mkdir -p "$build/artifacts"
x86_64-w64-mingw32-strip -o "$stripped" "$exe"
echo "baudcalc.exe: $(stat -c %s "$exe") bytes, $(stat -c %s "$stripped") bytes stripped"

# A display of our own, whatever display the caller has.
fdfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
xvfb_pid=$!
source "$root/scripts/wine-env.sh"
server_started=0
cleanup() {
  if [ "$server_started" = 1 ]; then wineserver -k >/dev/null 2>&1 || true; fi
  kill "$xvfb_pid" 2>/dev/null || true
  rm -f "$fdfile"
}
trap cleanup EXIT
for _ in $(seq 100); do
  [ -s "$fdfile" ] && break
  sleep 0.1
done
[ -s "$fdfile" ] || { echo "test-win: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$fdfile")
echo "== Xvfb on $DISPLAY"

# One Wine server for the whole run: otherwise every test waits for Wine's
# helper processes to start and stop.
baudcalc_wine_env "$build/wine-test" "$build/wintest/recorder.exe"
wineserver -w
wineserver -p >/dev/null 2>&1 || true
server_started=1
wine wineboot >/dev/null 2>&1

status=0
echo "== tests"
ctest --test-dir "$build" --output-on-failure --timeout 300 || status=1

echo "== screenshot"
shot=$build/artifacts/screenshot.png
wine "$exe" &
app_pid=$!
if geometry=$(wine "$build/wintest/winprobe.exe" | tr -d '\r') && [ -n "$geometry" ]; then
  import -window root -crop "$geometry" +repage "$shot"
  echo "window $geometry -> $shot"
  [ "$update_docs" = 1 ] && cp "$shot" "$root/docs/screenshot.png"
  wine "$build/wintest/winprobe.exe" --close >/dev/null
else
  echo "test-win: the window did not appear" >&2
  status=1
fi
if wait "$app_pid"; then
  echo "baudcalc.exe exited with status 0"
else
  echo "test-win: baudcalc.exe exited with status $?" >&2
  status=1
fi

[ "$status" = 0 ] && echo "== all Win32 tests passed" || echo "== Win32 tests FAILED" >&2
exit "$status"
