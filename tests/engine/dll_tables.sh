#!/usr/bin/env bash
# dll_tables.sh <objdump> <qmx.dll> <program.exe>...: the engine exports exactly QMX_Setting,
# QMX_Begin, QMX_Exec and QMX_End, undecorated, and none of the files imports a DLL that a
# Windows PC does not have (the C++ runtime, libgcc and winpthread must be linked in).
set -euo pipefail
objdump=$1
dll=$2
shift 2
status=0
exports=$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  sed -nE 's/^\s*\[\s*[0-9]+\]\s+(\S+)$/\1/p' | sort | tr '\n' ' ')
if [ "$exports" != "QMX_Begin QMX_End QMX_Exec QMX_Setting " ]; then
  echo "qmx.dll exports: $exports"
  status=1
fi
for f in "$dll" "$@"; do
  while read -r name; do
    case "${name,,}" in
    kernel32.dll | msvcrt.dll | user32.dll | shell32.dll | advapi32.dll | ws2_32.dll | winmm.dll) ;;
    *)
      echo "$(basename "$f") imports $name"
      status=1
      ;;
    esac
  done < <("$objdump" -p "$f" | sed -nE 's/^\s*DLL Name: (\S+)$/\1/p')
done
[ "$status" -eq 0 ] && echo "exports: $exports; imports: system DLLs only"
exit $status
