#!/usr/bin/env bash
# baudcalc.exe must run as one file: it may import only DLLs every Windows has.
set -euo pipefail
exe=$1
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '[:upper:]' '[:lower:]' | sort -u)
[ -n "$dlls" ] || { echo "no imports found in $exe"; exit 1; }
status=0
for dll in $dlls; do
  case $dll in
    kernel32.dll | user32.dll | gdi32.dll | comctl32.dll | shell32.dll | msvcrt.dll | advapi32.dll) echo "ok   $dll" ;;
    *) echo "FAIL $dll is not a system DLL"; status=1 ;;
  esac
done
exit $status
