#!/usr/bin/env bash
# Compares the export table of a kensaku DLL with its export lists, and checks that the DLL is the
# image its machine says (PE32 i386, or PE32+ x86-64) and imports only DLLs that ship with Windows.
#   check-exports.sh DLL LIST...
# A LIST is a .def (rows "name[@bytes] [@ordinal]") or a .map (its kensaku_ names). The DLL must
# export every name listed, at the ordinal given where one is, and nothing else: kensaku.dll is
# checked against kensaku.def alone, kensaku64.dll against kensaku.def and kensaku.map.
set -eu
dll=$1
shift

# The machine field of the PE header, whose offset is at 0x3C.
pe=$(od -An -t u4 -j 60 -N 4 "$dll" | tr -d ' ')
machine=$(od -An -t x2 -j $((pe + 4)) -N 2 "$dll" | tr -d ' ')
case $machine in
  014c) objdump=${OBJDUMP:-i686-w64-mingw32-objdump} magic='010b.*(PE32)' arch='i386' ;;
  8664) objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump} magic='020b.*(PE32+)' arch='i386:x86-64' ;;
  *) echo "$dll: machine $machine, neither i386 nor x86-64"; exit 1 ;;
esac

dump=$("$objdump" -p "$dll")
grep -q "^Magic.*$magic" <<<"$dump" || { echo "not the image its machine ($arch) says"; exit 1; }
"$objdump" -f "$dll" | grep -q "architecture: $arch," || { echo "not $arch"; exit 1; }

# "ordinal name" rows, "- name" for a name with no fixed ordinal.
want=$(for list in "$@"; do
  case $list in
    *.map) sed 's|/\*.*\*/||g' "$list" | grep -o '\bkensaku_[a-z0-9_]*' | sed 's/^/- /' ;;
    *) sed -n 's/^ *\([A-Za-z_][A-Za-z0-9_]*\)\(@[0-9]*\)\? *@\([0-9]*\).*/\3 \1/p
               s/^ *\([A-Za-z_][A-Za-z0-9_]*\) *\(;.*\)\?$/- \1/p' "$list" |
         grep -v -e '^- EXPORTS$' ;;
  esac
done | sort -u)
[ -n "$want" ] || { echo "no exports in $*"; exit 1; }
# The name pointer table lists "[ordinal - base] name" rows.
base=$(sed -n 's/^Ordinal Base\s*\([0-9]*\).*/\1/p' <<<"$dump")
got=$(awk -v base="${base:-1}" '/\[Ordinal\/Name Pointer\] Table/ {t=1; next}
        t && /^[ \t]*\[/ { gsub(/[\[\]]/, " "); print $1 + base, $2; next } t {t=0}' <<<"$dump")
# A name listed without an ordinal may have any.
fixed=$(grep -v '^- ' <<<"$want" || true)
loose=$(sed -n 's/^- //p' <<<"$want")
got_fixed=$(awk 'NR == FNR { loose[$1] = 1; next } !($2 in loose)' <(echo "$loose") <(echo "$got") |
            sort -n)
got_loose=$(awk 'NR == FNR { loose[$1] = 1; next } ($2 in loose) { print $2 }' <(echo "$loose") \
            <(echo "$got") | sort)
if [ "$(sort -n <<<"$fixed")" != "$got_fixed" ] || [ "$(sort <<<"$loose")" != "$got_loose" ]; then
  echo "export table differs from $*"
  diff <(sort -n <<<"$fixed"; sort <<<"$loose") <(echo "$got_fixed"; echo "$got_loose")
  exit 1
fi

allowed='^(KERNEL32|USER32|GDI32|msvcrt|ADVAPI32|SHELL32|COMCTL32|ntdll)\.dll$'
bad=$(sed -n 's/^\s*DLL Name: //p' <<<"$dump" | grep -viE "$allowed" || true)
if [ -n "$bad" ]; then echo "unexpected imports: $bad"; exit 1; fi
echo "$arch: $(grep -c . <<<"$fixed") exports at their ordinals" \
     "and $(grep -c . <<<"$loose" || true) by name match;" \
     "imports: $(sed -n 's/^\s*DLL Name: //p' <<<"$dump" | tr '\n' ' ')"
