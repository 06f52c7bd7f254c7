#!/usr/bin/env bash
# build/windows/runwarden.exe is one executable that needs nothing beside it: every DLL it
# imports ships with Windows (no C++ run-time, no threading or GCC support DLLs).
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh

OBJDUMP=x86_64-w64-mingw32-objdump
require_tool "$OBJDUMP"
exe=build/windows/runwarden.exe
require_built "$exe"

# Lower-case names of the system DLLs the program may use.
allowed=" kernel32.dll advapi32.dll ole32.dll oleaut32.dll mpr.dll user32.dll msvcrt.dll "

dump=$("$OBJDUMP" -p "$exe")
checks=$((checks + 1))
if ! grep -q '^Magic.*PE32+' <<<"$dump"; then
  echo "FAIL: $exe is no 64-bit Windows executable"
  failures=$((failures + 1))
fi

imports=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr 'A-Z' 'a-z')
checks=$((checks + 1))
if [[ -z $imports ]]; then
  echo "FAIL: no import table found in $exe"
  failures=$((failures + 1))
fi
for dll in $imports; do
  checks=$((checks + 1))
  if [[ $allowed != *" $dll "* ]]; then
    echo "FAIL: $exe imports $dll, which does not ship with Windows"
    failures=$((failures + 1))
  fi
done

finish
