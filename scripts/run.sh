#!/usr/bin/env bash
# Opens the calculator window. On Linux it runs under Wine, in a Wine prefix
# of its own under build-win/; what it needs (mingw-w64, Wine, a CJK font, the
# zh_CN locale) is installed first, and baudcalc.exe is built if needed.
# On Windows, run build-win/baudcalc.exe (or any copy of it) as it is.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BAUDCALC_WIN_BUILD:-$root/build-win}

"$root/scripts/install-deps.sh" --win

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
fi
cmake --build "$build" --target baudcalc >/dev/null

source "$root/scripts/wine-env.sh"
baudcalc_wine_env "$build/wine-run"

exe=$build/baudcalc.exe
if [ -n "${DISPLAY:-}" ]; then
  # A desktop's window manager frames and moves the window.
  baudcalc_wine_reg 'HKCU\Software\Wine\X11 Driver' /v Decorated /d Y
  baudcalc_wine_reg 'HKCU\Software\Wine\X11 Driver' /v Managed /d Y
  exec wine "$exe"
fi

echo "run: no X display (DISPLAY is not set), so the window cannot be seen here." >&2
echo "run: it now runs in a virtual display (xvfb-run); set DISPLAY to see it." >&2
baudcalc_wine_reg 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N
baudcalc_wine_reg 'HKCU\Software\Wine\X11 Driver' /v Managed /d N
exec xvfb-run -a -s "-screen 0 1280x800x24" wine "$exe"
