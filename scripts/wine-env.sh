#!/usr/bin/env bash
# The project's own Wine prefix: code page 936 through the zh_CN.UTF-8 locale,
# a CJK font standing in for SimSun, no Mono/Gecko prompts.
#
#   source scripts/wine-env.sh; baudcalc_wine_env PREFIX [RECORDER_EXE]
#       exports the Wine environment for PREFIX, preparing the prefix first
#       if needed; with RECORDER_EXE, http and https open that program instead
#       of a browser (the tests use it to see what the logo link asked for).
#   scripts/wine-env.sh PREFIX [RECORDER_EXE]
#       prepares the prefix and waits for its wineserver to finish writing it.

baudcalc_wine_exports() {
  WINEPREFIX=$(realpath -m "$1")
  export WINEPREFIX
  export WINEARCH=win64
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  # Wine's ANSI code page follows the locale: zh_CN gives 936 (GBK).
  export LANG=zh_CN.UTF-8
  export LC_ALL=zh_CN.UTF-8
}

baudcalc_wine_reg() {
  wine reg add "$@" /f >/dev/null 2>&1
}

# Windows path of a Unix path, through Wine's Z: drive.
baudcalc_wine_path() {
  local p
  p=$(realpath -m "$1")
  printf 'Z:%s' "${p//\//\\}"
}

baudcalc_wine_prepare() {
  local prefix recorder=${2:-}
  prefix=$(realpath -m "$1")
  mkdir -p "$(dirname "$prefix")"
  (
    # Several test programs may ask for the same fresh prefix at once.
    flock 9
    if [ ! -f "$prefix/.baudcalc-ready" ]; then
      echo "wine-env: preparing Wine prefix $prefix" >&2
      wineboot -i >/dev/null 2>&1 || { echo "wine-env: wineboot failed" >&2; exit 1; }
      for font in '宋体' 'SimSun' '新宋体' 'NSimSun'; do
        baudcalc_wine_reg 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /d 'AR PL UMing CN'
      done
      # Without a window manager Wine draws the caption itself, and hiding a
      # window does not wait for one.
      baudcalc_wine_reg 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N
      baudcalc_wine_reg 'HKCU\Software\Wine\X11 Driver' /v Managed /d N
      baudcalc_wine_reg 'HKCU\Software\Wine\DllOverrides' /v mscoree /d ''
      baudcalc_wine_reg 'HKCU\Software\Wine\DllOverrides' /v mshtml /d ''
      # The caption buttons draw their glyphs with Marlett.
      if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
        cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/"
      fi
      touch "$prefix/.baudcalc-ready"
    fi
    if [ -n "$recorder" ] && [ "$(cat "$prefix/.baudcalc-recorder" 2>/dev/null)" != "$recorder" ]; then
      local cmd
      cmd="\"$(baudcalc_wine_path "$recorder")\" \"%1\""
      for scheme in http https; do
        baudcalc_wine_reg "HKCR\\$scheme\\shell\\open\\command" /ve /d "$cmd"
      done
      printf '%s' "$recorder" >"$prefix/.baudcalc-recorder"
    fi
  ) 9>"$prefix.lock"
}

baudcalc_wine_env() {
  baudcalc_wine_exports "$1"
  baudcalc_wine_prepare "$@"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  [ $# -ge 1 ] || { echo "usage: $0 PREFIX [RECORDER_EXE]" >&2; exit 2; }
  baudcalc_wine_env "$@"
  wineserver -w
fi
