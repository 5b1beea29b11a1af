#!/usr/bin/env bash
# Makes the Windows .zip with cpack and checks what it holds: the stripped DLL with the .def's
# export table and its version, both import libraries with every export, the headers, the tool
# and the README; a MinGW program built through its CMake package runs under Wine. The same for
# the 32-bit kensaku.dll (kensaku-VERSION-win32.zip) and the 64-bit kensaku64.dll (-win64.zip).
#   zip_test.sh BUILD_DIR SOURCE_DIR DLL_NAME TOOLCHAIN_FILE
set -eu
build=$(cd "$1" && pwd) src=$(cd "$2" && pwd) name=$3 toolchain=$4
if [ "$name" = kensaku64 ]; then
  bits=64 triplet=x86_64-w64-mingw32 format=pei-x86-64 under=""
else
  bits=32 triplet=i686-w64-mingw32 format=pei-i386 under=_  # stdcall names are _xSet@4
fi
objdump=${OBJDUMP:-$triplet-objdump}
nm=${NM:-$triplet-nm}
llvm_nm=${LLVM_NM:-$(command -v llvm-nm || command -v llvm-nm-14)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
# shellcheck source=readme.sh
. "$src/tests/package/readme.sh"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
(cd "$build" && cpack -G ZIP -B "$work/out" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log"; fail "cpack"; }
zip=$work/out/kensaku-$version-win$bits.zip
[ -f "$zip" ] || { ls "$work/out"; fail "no $(basename "$zip")"; }
unzip -Z1 "$zip" | grep -v '/$' | sed "s|^kensaku-$version-win$bits/||" | sort >"$work/list"
for want in README.txt "bin/$name.dll" bin/kensaku.exe include/kensaku.h include/kensaku_search.h \
            "lib/$name.def" "lib/$name.lib" "lib/lib$name.dll.a" \
            lib/cmake/kensaku/kensakuConfig.cmake lib/cmake/kensaku/kensakuConfigVersion.cmake \
            lib/pkgconfig/kensaku.pc; do
  grep -qxF "$want" "$work/list" || { cat "$work/list"; fail "missing $want"; }
done
grep -E 'test|gtest|gmock' "$work/list" && fail "test files in the package"
unzip -q "$zip" -d "$work/x"
top=$work/x/kensaku-$version-win$bits
for header in kensaku.h kensaku_search.h; do
  cmp -s "$src/include/$header" "$top/include/$header" || fail "$header differs"
done

# The DLL: the .def's exports and imports of system DLLs only, no debug sections, no symbols.
# kensaku.dll's .def is the source's; kensaku64.dll's, made from kensaku.def and kensaku.map,
# must give what they say.
dll=$top/bin/$name.dll
bash "$src/cmake/check-exports.sh" "$dll" "$top/lib/$name.def" || fail "export table"
if [ $bits = 32 ]; then
  cmp -s "$src/src/capi/kensaku.def" "$top/lib/kensaku.def" || fail "kensaku.def differs"
else
  bash "$src/cmake/check-exports.sh" "$dll" "$src/src/capi/kensaku.def" \
       "$src/src/capi/kensaku.map" || fail "kensaku64.def is not kensaku.def and kensaku.map"
fi
for image in "$dll" "$top/bin/kensaku.exe"; do
  "$objdump" -h "$image" | grep -q '\.debug_' && fail "$(basename "$image") has debug sections"
  "$objdump" -t "$image" | grep -q '^\[' && fail "$(basename "$image") has a symbol table"
done
"$objdump" -f "$top/bin/kensaku.exe" | grep -q "file format $format" ||
  fail "kensaku.exe not $format"
# The image version in the PE header, from the CMake project.
major=$("$objdump" -p "$dll" | sed -n 's/^MajorImageVersion\s*//p')
minor=$("$objdump" -p "$dll" | sed -n 's/^MinorImageVersion\s*//p')
[ "$major.$minor" = "${version%.*}" ] || fail "image version $major.$minor, project $version"
# A version resource, when the build has one, carries the same version: VS_FIXEDFILEINFO
# follows its signature bd 04 ef fe with the structure version, then FileVersion MS and LS.
if "$objdump" -h "$dll" | grep -q '\.rsrc'; then
  at=$(LC_ALL=C grep -obUaP '\xbd\x04\xef\xfe' "$dll" | head -n 1 | cut -d: -f1)
  [ -n "$at" ] || fail "no VS_FIXEDFILEINFO in the resources"
  read -r ms ls < <(od -An -t u4 -j $((at + 8)) -N 8 "$dll")
  got="$((ms >> 16)).$((ms & 0xFFFF)).$((ls >> 16))"
  [ "$got" = "$version" ] || fail "VERSIONINFO $got, project $version"
  echo "version resource: $got"
fi

# Both import libraries define every .def export under its C name (stdcall-decorated on 32-bit:
# _xSet@4; plain on x64: xSet), and its __imp_ slot.
sed -n '1,/^EXPORTS/d; s/^ *\([A-Za-z_][A-Za-z0-9_]*\(@[0-9]*\)\?\)\( *@[0-9]*\)\? *$/\1/p' \
  "$top/lib/$name.def" | sort >"$work/def"
[ -s "$work/def" ] || fail "no exports in $name.def"
check_implib() {
  local lib=$1 tool=$2 sym
  "$tool" "$lib" 2>/dev/null | awk '{print $NF}' | sort -u >"$work/syms"
  while read -r sym; do
    grep -qxF "$under$sym" "$work/syms" && grep -qxF "__imp_$under$sym" "$work/syms" ||
      fail "$(basename "$lib") lacks $under$sym or __imp_$under$sym"
  done <"$work/def"
}
check_implib "$top/lib/lib$name.dll.a" "$nm"
check_implib "$top/lib/$name.lib" "$llvm_nm"

# The CMake package and kensaku.pc are relocatable: they work from wherever the .zip is unpacked.
pc_cflags=$(PKG_CONFIG_LIBDIR=$top/lib/pkgconfig PKG_CONFIG_PATH= pkg-config --cflags kensaku)
pc_include=${pc_cflags#-I}
[ "$(cd "${pc_include% }" && pwd)" = "$top/include" ] || fail "kensaku.pc: $pc_cflags"
cmake -S "$src/tests/package/consumer" -B "$work/cm" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -Dkensaku_DIR="$top/lib/cmake/kensaku" >"$work/cm.log" 2>&1 &&
  cmake --build "$work/cm" >>"$work/cm.log" 2>&1 || { cat "$work/cm.log"; fail "MinGW consumer"; }
cp "$dll" "$work/cm/"
ran=0
KENSAKU_WINEPREFIX=$build/wineprefix timeout 120 bash "$src/cmake/wine-run.sh" \
  "$work/cm/consumer.exe" >"$work/consumer.out" || ran=$?
# A machine that cannot run this DLL's programs (see wine-run.sh): what was checked above holds,
# and the test says it did not run them.
[ $ran = 77 ] && exit 77
tr -d '\r' <"$work/consumer.out" | grep -qx 'kensaku consumer: ok' ||
  fail "MinGW consumer built with find_package"

grep -q "^kensaku $version for $bits-bit Windows" "$top/README.txt" || fail "README.txt version"
grep -q "lib\\\\$name.lib" "$top/README.txt" || fail "README.txt does not name $name.lib"
grep -q $'\r$' "$top/README.txt" || fail "README.txt without CR LF"
# The README's example: app.c built against the unpacked .zip with MinGW, run under Wine.
readme_block "$src" app.c >"$work/out/app.c"
readme_block "$src" "zip$([ $bits = 64 ] && echo 64)" >"$work/out/example.sh"
# "wine" there is the test runner's wine-run.sh, with the build's Wine prefix.
mkdir "$work/bin"
printf '#!/bin/sh\nPATH="%s" KENSAKU_WINEPREFIX="%s" exec bash "%s" "$@"\n' \
       "$PATH" "$build/wineprefix" "$src/cmake/wine-run.sh" >"$work/bin/wine"
chmod +x "$work/bin/wine"
out=$(cd "$work/out" && PATH=$work/bin:$PATH timeout 120 bash -e example.sh 2>&1) ||
  fail "README example (.zip): $out"
[ "$(tail -n 1 <<<"$out" | tr -d '\r')" = 1 ] || fail "README example (.zip) printed: $out"

echo "$(basename "$zip"): $(wc -l <"$work/def") exports in the DLL and both import libraries;" \
     "DLL $(stat -c %s "$dll") bytes, no debug sections: ok"
