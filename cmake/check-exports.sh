#!/usr/bin/env bash
# Compares the export table of kensaku.dll with kensaku.def (names and ordinals), and checks that
# the DLL is PE32 i386 and imports only DLLs that ship with Windows.
set -eu
dll=$1
def=$2
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}

dump=$("$objdump" -p "$dll")
grep -q '^Magic.*010b.*(PE32)' <<<"$dump" || { echo "not a PE32 image"; exit 1; }
"$objdump" -f "$dll" | grep -q 'architecture: i386' || { echo "not i386"; exit 1; }

want=$(sed -n 's/^ *\([A-Za-z_][A-Za-z0-9_]*\)@[0-9]* *@\([0-9]*\).*/\2 \1/p' "$def" | sort -n)
# The name pointer table lists "[ordinal - base] name" rows.
base=$(sed -n 's/^Ordinal Base\s*\([0-9]*\).*/\1/p' <<<"$dump")
got=$(awk -v base="${base:-1}" '/\[Ordinal\/Name Pointer\] Table/ {t=1; next}
        t && /^[ \t]*\[/ { gsub(/[\[\]]/, " "); print $1 + base, $2; next } t {t=0}' <<<"$dump" | sort -n)
if [ "$want" != "$got" ]; then
  echo "export table differs from $def"; diff <(echo "$want") <(echo "$got"); exit 1
fi

allowed='^(KERNEL32|USER32|GDI32|msvcrt|ADVAPI32|SHELL32|COMCTL32|ntdll)\.dll$'
bad=$(sed -n 's/^\s*DLL Name: //p' <<<"$dump" | grep -viE "$allowed" || true)
if [ -n "$bad" ]; then echo "unexpected imports: $bad"; exit 1; fi
echo "$(wc -l <<<"$want") exports match; imports: $(sed -n 's/^\s*DLL Name: //p' <<<"$dump" | tr '\n' ' ')"
