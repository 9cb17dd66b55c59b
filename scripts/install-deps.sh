#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine.
#   scripts/install-deps.sh          native core, command-line tool, tests
#   scripts/install-deps.sh --win    also the Win32 cross build and Wine
set -euo pipefail
want_win=0
[ "${1:-}" = "--win" ] && want_win=1

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive

native=(cmake ninja-build g++ clang libclang-rt-14-dev googletest libgtest-dev
        libcli11-dev nlohmann-json3-dev libbenchmark-dev hyperfine)
win=(g++-mingw-w64-x86-64 mingw-w64-tools xvfb xauth imagemagick x11-utils
     fonts-arphic-uming locales)

missing=()
for p in "${native[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
if [ "$want_win" = 1 ]; then
  for p in "${win[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
fi
win_wine=0
if [ "$want_win" = 1 ] && ! dpkg -s wine64 >/dev/null 2>&1; then win_wine=1; fi

if [ "${#missing[@]}" -gt 0 ] || [ "$win_wine" = 1 ]; then
  $SUDO apt-get update
  [ "${#missing[@]}" -gt 0 ] && $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
  # Wine keeps its recommends: they bring its fonts and X libraries.
  [ "$win_wine" = 1 ] && $SUDO apt-get install -y wine wine64
fi

if [ "$want_win" = 1 ] && ! locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
  $SUDO sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  $SUDO locale-gen
fi
