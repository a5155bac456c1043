#!/usr/bin/env bash
# Checks a built Windows binary: 32-bit x86, imports only from the system modules an
# administrator's machine always has, and (for the plug-in) exactly the host's entry points.
#   check-pe.sh FILE [--dll EXPORT...]
set -euo pipefail
file=$1; shift
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
allowed_imports="KERNEL32.dll USER32.dll msvcrt.dll"
failures=0
fail() { echo "check-pe: $file: $*" >&2; failures=$((failures + 1)); }

[ -f "$file" ] || { echo "check-pe: $file does not exist" >&2; exit 1; }
headers=$("$objdump" -p "$file")

grep -q "file format pei-i386" <<<"$headers" || fail "not a 32-bit x86 PE image"

while read -r module; do
  case " $allowed_imports " in
    *" $module "*) ;;
    *) fail "imports from $module" ;;
  esac
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$headers")

if [ "${1:-}" = "--dll" ]; then
  shift
  characteristics=$(sed -n 's/^Characteristics\s\+0x\([0-9a-fA-F]*\).*/\1/p' <<<"$headers")
  (( (16#$characteristics & 0x2000) != 0 )) || fail "is not a DLL (characteristics 0x$characteristics)"
  exported=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | sed -n 's/^\s*\[\s*[0-9]*\]\s\+//p' | sort)
  expected=$(printf '%s\n' "$@" | sort)
  [ "$exported" = "$expected" ] || fail "exports differ from the expected list:
$(diff <(echo "$expected") <(echo "$exported") || true)"
fi

[ "$failures" -eq 0 ] || exit 1
echo "check-pe: $file: ok"
