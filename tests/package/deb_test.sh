#!/usr/bin/env bash
# Makes the .deb with cpack, checks its control fields and contents, installs it with dpkg into a
# private root, runs the tool from there and builds a consumer against it with pkg-config.
#   deb_test.sh BUILD_DIR SOURCE_DIR C_COMPILER
set -eu
build=$(cd "$1" && pwd) src=$(cd "$2" && pwd) cc=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
# shellcheck source=readme.sh
. "$src/tests/package/readme.sh"

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log"; fail "cpack"; }
deb=$work/out/kensaku_1.1.0-1_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { ls "$work/out"; fail "no $(basename "$deb")"; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kensaku ] || fail "Package"
[ "$(field Version)" = 1.1.0-1 ] || fail "Version"
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] ||
  fail "Maintainer '$(field Maintainer)'"
[ "$(field Description | head -n 1)" = "Japanese-aware text search for Shift_JIS text" ] ||
  fail "Description"
[ "$(field Description | wc -l)" -gt 1 ] || fail "no long description"
# Dependencies come from dpkg-shlibdeps: the C and C++ runtimes, with versions.
depends=$(field Depends)
grep -Eq '(^|, )libc6 \(>= [0-9.]+\)' <<<"$depends" || fail "Depends '$depends' lacks libc6"
grep -Eq '(^|, )libstdc\+\+6 \(>= [0-9.]+\)' <<<"$depends" ||
  fail "Depends '$depends' lacks libstdc++6"
dpkg-deb --info "$deb" shlibs | grep -qx 'libkensaku 1 kensaku (>= 1.1.0-1)' || fail "shlibs"

dpkg-deb -c "$deb" | awk '{print $6 ($7 ? " " $7 " " $8 : "")}' >"$work/list"
for want in ./usr/bin/kensaku ./usr/include/kensaku.h ./usr/lib/libkensaku.so.1.1.0 \
            "./usr/lib/libkensaku.so.1 -> libkensaku.so.1.1.0" \
            "./usr/lib/libkensaku.so -> libkensaku.so.1" ./usr/lib/pkgconfig/kensaku.pc \
            ./usr/lib/cmake/kensaku/kensakuConfig.cmake \
            ./usr/lib/cmake/kensaku/kensakuConfigVersion.cmake ./usr/share/man/man1/kensaku.1; do
  grep -qxF "$want" "$work/list" || { cat "$work/list"; fail "missing $want"; }
done
if grep -vE '^\./usr/(|bin/.*|include/.*|lib/.*|share/.*)$' "$work/list"; then
  fail "files outside /usr"
fi

# dpkg -i into a private root and database, so this machine is left alone; the maintainer
# scripts run outside the root, with a stand-in ldconfig that records its call.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$work/bin"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
printf '#!/bin/sh\necho called >>"%s"\n' "$work/ldconfig.calls" >"$work/bin/ldconfig"
chmod +x "$work/bin/ldconfig"
PATH=$work/bin:$PATH dpkg --root="$root" --force-not-root --force-depends \
     --force-script-chrootless --log=/dev/null -i "$deb" >"$work/dpkg.log" 2>&1 ||
  { cat "$work/dpkg.log"; fail "dpkg -i"; }
dpkg --root="$root" -s kensaku | grep -qx 'Status: install ok installed' || fail "not installed"
[ -s "$work/ldconfig.calls" ] || fail "installing the library did not run ldconfig"
readelf -S "$root/usr/lib/libkensaku.so.1.1.0" | grep -q '\.symtab' && fail "library not stripped"
grep -qx 'prefix=/usr' "$root/usr/lib/pkgconfig/kensaku.pc" || fail "kensaku.pc prefix"
"$root/usr/bin/kensaku" --version | grep -q "^kensaku 1\.1\.0" || fail "kensaku --version"
out=$("$root/usr/bin/kensaku" -n --ignore-width ケンサク "$src/samples/sample.sjis.txt") ||
  fail "installed tool"
[ "$(wc -l <<<"$out")" -ge 1 ] || fail "installed tool found nothing"

export PKG_CONFIG_SYSROOT_DIR=$root PKG_CONFIG_LIBDIR=$root/usr/lib/pkgconfig PKG_CONFIG_PATH=
# shellcheck disable=SC2046
"$cc" -o "$work/consumer" "$src/tests/package/consumer/consumer.c" \
      $(pkg-config --cflags --libs kensaku) || fail "build against the package"
LD_LIBRARY_PATH=$root/usr/lib "$work/consumer" || fail "consumer of the package"
# The README's example, with the package's files where dpkg put them.
mkdir -p "$work/readme/samples"
cp "$src/samples/sample.sjis.txt" "$work/readme/samples/"
readme_block "$src" app.c >"$work/readme/app.c"
readme_block "$src" deb >"$work/readme/example.sh"
out=$(cd "$work/readme" && PATH=$root/usr/bin:$PATH LD_LIBRARY_PATH=$root/usr/lib \
      bash -e example.sh) || fail "README example (.deb)"
# The tool writes UTF-8 wherever its output goes (the file is Shift_JIS).
grep -q '検索' <<<"$(head -n 1 <<<"$out")" &&
  [ "$(tail -n 1 <<<"$out")" = 1 ] ||
  fail "README example (.deb) printed: $out"
echo "$(basename "$deb"): fields, contents, dpkg -i, tool and consumer: ok"
